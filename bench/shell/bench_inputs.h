// What the whole-program benchmarks share: a photograph-like picture to encode, the median of
// their runs, and a run's peak memory.
#pragma once

#include <fcntl.h>
#include <sys/ptrace.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

// A picture with smooth shapes and grain, rows top first, RGB.
inline std::vector<std::uint8_t> Photo(std::uint32_t w, std::uint32_t h) {
    std::vector<std::uint8_t> v(std::size_t(w) * h * 3);
    std::uint32_t r = 12345;
    auto grain = [&r] {
        r = r * 1103515245u + 12345u;
        return int((r >> 16) % 41) - 20;
    };
    auto clamp = [](int x) { return std::uint8_t(std::clamp(x, 0, 255)); };
    for (std::uint32_t y = 0; y < h; ++y) {
        for (std::uint32_t x = 0; x < w; ++x) {
            std::uint8_t* p = v.data() + (std::size_t(y) * w + x) * 3;
            p[0] = clamp(int(128 + 100 * std::sin(x / 37.0) * std::cos(y / 53.0)) + grain());
            p[1] = clamp(int(128 + 90 * std::sin((x + y) / 71.0)) + grain());
            p[2] = std::uint8_t((x * 255 / w) ^ (y * 255 / h));
        }
    }
    return v;
}

inline double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// The high-water mark of a stopped process's memory, in MiB.
inline double PeakOf(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024;
    return 0;
}

// One run's peak resident memory in MiB (negative when it failed), read as it exits (traced,
// stopped at its exit): a child's ru_maxrss would count this process's own memory, which the
// child shares until its exec. Its output goes to /dev/null.
inline double PeakOfRun(std::vector<std::string> args, std::vector<std::string> env) {
    std::vector<char*> argv, envp;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        if (null < 0 || dup2(null, 1) < 0 || dup2(null, 2) < 0) _exit(127);
        ptrace(PTRACE_TRACEME, 0, nullptr, nullptr);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    if (pid < 0) return -1;
    int status = 0;
    bool started = false;
    double peak = -1;
    while (waitpid(pid, &status, 0) == pid) {
        if (WIFEXITED(status) || WIFSIGNALED(status)) break;
        if (!WIFSTOPPED(status)) continue;
        int signal = WSTOPSIG(status);
        if (signal == SIGTRAP && !started) {  // stopped at its exec
            started = true;
            ptrace(PTRACE_SETOPTIONS, pid, nullptr, PTRACE_O_TRACEEXIT);
            signal = 0;
        } else if (status >> 8 == (SIGTRAP | (PTRACE_EVENT_EXIT << 8))) {
            peak = PeakOf(pid);
            signal = 0;
        }
        ptrace(PTRACE_CONT, pid, nullptr, reinterpret_cast<void*>(std::intptr_t(signal)));
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? peak : -1;
}

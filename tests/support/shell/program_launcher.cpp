#include "support/shell/program_launcher.h"

#include <errno.h>
#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <mutex>
#include <thread>
#include <utility>

extern char** environ;

namespace fvt::test {

namespace {

// What the failed runs of the current test said: printed when the test ends, and only when it
// failed. A run the test means to fail, whose message it asserts, leaves the log quiet.
std::mutex g_failedRunsLock;
std::vector<std::string> g_failedRuns;

class FailedRunsPrinter : public testing::EmptyTestEventListener {
    void OnTestEnd(const testing::TestInfo& test) override {
        std::vector<std::string> runs;
        {
            std::lock_guard<std::mutex> l(g_failedRunsLock);
            runs.swap(g_failedRuns);
        }
        if (!test.result() || !test.result()->Failed()) return;
        for (const std::string& run : runs) std::cerr << run;
    }
};

void NoteFailedRun(std::string text) {
    static const bool listening = [] {
        testing::UnitTest::GetInstance()->listeners().Append(new FailedRunsPrinter);
        return true;
    }();
    (void)listening;
    std::lock_guard<std::mutex> l(g_failedRunsLock);
    g_failedRuns.push_back(std::move(text));
}

constexpr uid_t kNobody = 65534;

// The name part of "NAME=value", with its '='.
std::string NameOf(const std::string& line) {
    return line.substr(0, line.find('=') + 1);
}

bool StartsWith(const std::string& s, const std::string& prefix) {
    return s.compare(0, prefix.size(), prefix) == 0;
}

std::vector<std::string> Environment(const LaunchOptions& options) {
    std::vector<std::string> dropped = {"FOLIVANT_", "DISPLAY=", "WAYLAND_DISPLAY="};
    dropped.insert(dropped.end(), options.dropInherited.begin(), options.dropInherited.end());
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string line = *e;
        // Kept: a tool that falls back on a default device then makes a fresh one, as in any
        // test process, and never touches the user's.
        bool drop = false;
        for (const std::string& prefix : dropped) drop = drop || StartsWith(line, prefix);
        drop = drop && !StartsWith(line, "FOLIVANT_TEST_BINARY=");
        if (!drop) env.push_back(line);
    }
    for (const std::string& line : options.env) {
        const std::string name = NameOf(line);
        std::erase_if(env, [&name](const std::string& e) { return StartsWith(e, name); });
        env.push_back(line);
    }
    return env;
}

// A stream's file: the named one, emptied, or one in memory.
int StreamFile(const std::string& path, const char* memoryName) {
    if (!path.empty()) return open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    return memfd_create(memoryName, MFD_CLOEXEC);
}

std::string ReadAll(int fd) {
    std::string text;
    if (fd < 0) return text;
    char buffer[8192];
    off_t at = 0;
    for (;;) {
        const ssize_t n = pread(fd, buffer, sizeof buffer, at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        text.append(buffer, static_cast<size_t>(n));
        at += n;
    }
    return text;
}

std::string Describe(const LaunchOptions& options) {
    std::string text = options.program;
    for (const std::string& a : options.args) text += " " + a;
    return text;
}

}  // namespace

std::string ProgramResult::Describe() const {
    std::string text;
    if (!started)
        text = "did not start";
    else if (timedOut)
        text = "hung: killed at the time limit";
    else if (signal != 0)
        text = "ended by signal " + std::to_string(signal);
    else
        text = "exit status " + std::to_string(status);
    constexpr size_t kTail = 2000;
    if (!err.empty())
        text += "; standard error" + std::string(err.size() > kTail ? " (end)" : "") + ":\n" +
                (err.size() > kTail ? err.substr(err.size() - kTail) : err);
    return text;
}

LaunchedProgram::LaunchedProgram(const LaunchOptions& options)
    : description_(fvt::test::Describe(options)), limitSeconds_(options.limitSeconds) {
    outFd_ = StreamFile(options.outFile, "program-out");
    errFd_ = StreamFile(options.errFile, "program-err");
    std::vector<std::string> env = Environment(options);
    std::vector<char*> envp;
    for (std::string& v : env) envp.push_back(v.data());
    envp.push_back(nullptr);
    std::string program = options.program;
    std::vector<std::string> args = options.args;
    std::vector<char*> argv{program.data()};
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    startedAt_ = std::chrono::steady_clock::now();
    if (outFd_ < 0 || errFd_ < 0) return;
    if (options.unprivileged && geteuid() == 0) {
        // posix_spawn cannot change the user: a fork that does only what is safe after one.
        pid_ = fork();
        if (pid_ == 0) {
            if (dup2(outFd_, 1) < 0 || dup2(errFd_, 2) < 0) _exit(kCannotDrop);
            if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0)
                _exit(kCannotDrop);
            execve(program.c_str(), argv.data(), envp.data());
            _exit(127);
        }
    } else {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, outFd_, 1);
        posix_spawn_file_actions_adddup2(&actions, errFd_, 2);
        if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    started_ = pid_ > 0;
    if (!started_) pid_ = -1;
}

LaunchedProgram::LaunchedProgram(LaunchedProgram&& other) noexcept
    : description_(std::move(other.description_)),
      limitSeconds_(other.limitSeconds_),
      pid_(std::exchange(other.pid_, -1)),
      outFd_(std::exchange(other.outFd_, -1)),
      errFd_(std::exchange(other.errFd_, -1)),
      started_(other.started_),
      waited_(other.waited_),
      startedAt_(other.startedAt_),
      result_(std::move(other.result_)) {}

LaunchedProgram::~LaunchedProgram() {
    Kill();
    if (outFd_ >= 0) close(outFd_);
    if (errFd_ >= 0) close(errFd_);
}

void LaunchedProgram::Kill() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    while (waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
}

bool LaunchedProgram::Running() const {
    if (pid_ <= 0) return false;
    siginfo_t info{};
    // WNOWAIT: the status stays for Wait.
    if (waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) != 0)
        return false;
    return info.si_pid == 0;
}

ProgramResult LaunchedProgram::Wait() {
    if (waited_) return result_;
    waited_ = true;
    result_.started = started_;
    if (started_) {
        const auto deadline = startedAt_ + std::chrono::seconds(limitSeconds_);
        int status = 0;
        bool ended = false;
        while (!ended) {
            const pid_t done = waitpid(pid_, &status, WNOHANG);
            if (done == pid_) {
                ended = true;
            } else if (done < 0 && errno != EINTR) {
                break;
            } else if (std::chrono::steady_clock::now() >= deadline) {
                result_.timedOut = true;
                kill(pid_, SIGKILL);
                while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
                }
                ended = true;
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        }
        pid_ = -1;
        if (ended && WIFEXITED(status) && !result_.timedOut) result_.status = WEXITSTATUS(status);
        if (ended && WIFSIGNALED(status)) result_.signal = WTERMSIG(status);
    }
    result_.out = ReadAll(outFd_);
    result_.err = ReadAll(errFd_);
    // What a failed run said goes to the test's own log, where a person looks first (a
    // sanitizer's report among it), when the test fails.
    if (result_.status != 0)
        NoteFailedRun("[ program  ] " + description_ + ": " + result_.Describe() + "\n");
    return result_;
}

ProgramResult RunProgram(const LaunchOptions& options) {
    return LaunchedProgram(options).Wait();
}

std::string ReaderProgram() {
    return FOLIVANT_PROGRAM;
}

LaunchOptions ReaderOn(const std::string& root, std::vector<std::string> args,
                       const std::string& driver, const std::vector<std::string>& env) {
    LaunchOptions options;
    options.program = ReaderProgram();
    options.args = std::move(args);
    options.env = {"FOLIVANT_DEVICE=" + root, "FOLIVANT_DISPLAY=headless"};
    if (!driver.empty()) options.env.push_back("FOLIVANT_DRIVER=" + driver);
    options.env.insert(options.env.end(), env.begin(), env.end());
    return options;
}

LaunchedProgram StartReader(const TempDevice& device, std::vector<std::string> args,
                            const std::string& driver, const std::string& errFile,
                            const std::vector<std::string>& env) {
    LaunchOptions options = ReaderOn(device.root(), std::move(args), driver, env);
    options.errFile = errFile;
    return LaunchedProgram(options);
}

ProgramResult RunSteps(const TempDevice& device, std::vector<std::string> args,
                       const std::string& steps, const std::vector<std::string>& env) {
    const std::string script = WriteScript(device, "steps.txt", steps);
    return StartReader(device, std::move(args), script, device.outside() + "/errors.txt", env)
        .Wait();
}

std::string WriteScript(const TempDevice& device, const std::string& name,
                        const std::string& text) {
    std::filesystem::create_directories(device.outside());
    const std::string path = device.outside() + "/" + name;
    std::ofstream(path) << text;
    return path;
}

}  // namespace fvt::test

// Runs the program in a process of its own on a temporary device, headless, under a driver
// script; for tests that check what a person does through the program.
#pragma once

#include <png.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/platform/temp_device.h"

extern char** environ;

namespace fvt::test {

class ProgramRun {
public:
    ProgramRun(const TempDevice& device, const std::string& program)
        : device_(device), program_(program) {}

    // Writes `steps` as the driver script, runs the program on `args` (with extra settings
    // "FOLIVANT_X=value") and waits for it; its exit status, or -1.
    int Run(const std::vector<std::string>& args, const std::string& steps,
            const std::vector<std::string>& extraEnv = {}) {
        std::filesystem::create_directories(device_.outside());
        const std::string script =
            device_.outside() + "/steps-" + std::to_string(++runs_) + ".txt";
        std::ofstream(script) << steps;
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e) {
            const std::string v = *e;
            if (v.rfind("FOLIVANT_", 0) == 0 || v.rfind("DISPLAY=", 0) == 0 ||
                v.rfind("WAYLAND_DISPLAY=", 0) == 0)
                continue;
            env.push_back(v);
        }
        env.push_back("FOLIVANT_DEVICE=" + device_.root());
        env.push_back("FOLIVANT_DISPLAY=headless");
        env.push_back("FOLIVANT_DRIVER=" + script);
        for (const std::string& v : extraEnv) env.push_back(v);
        std::vector<char*> envp;
        for (auto& v : env) envp.push_back(v.data());
        envp.push_back(nullptr);
        std::string program = program_;
        std::vector<std::string> copies = args;
        std::vector<char*> argv{program.data()};
        for (auto& a : copies) argv.push_back(a.data());
        argv.push_back(nullptr);
        pid_t pid = -1;
        if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), envp.data()) != 0)
            return -1;
        int status = 0;
        if (waitpid(pid, &status, 0) != pid) return -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // A file outside the device (books given by host path, screenshots).
    std::string Outside(const std::string& name) const { return device_.outside() + "/" + name; }
    void WriteOutside(const std::string& name, const std::string& bytes) const {
        std::filesystem::create_directories(device_.outside());
        std::ofstream(Outside(name), std::ios::binary) << bytes;
    }

private:
    const TempDevice& device_;
    std::string program_;
    int runs_ = 0;
};

// A screenshot's pixels as 0xRRGGBB, row by row; false when it cannot be read.
inline bool ReadScreenshot(const std::string& path, int& w, int& h,
                           std::vector<std::uint32_t>& pixels) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
    image.format = PNG_FORMAT_BGRA;
    w = static_cast<int>(image.width);
    h = static_cast<int>(image.height);
    pixels.assign(static_cast<std::size_t>(w) * h, 0);
    bool ok = png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr) != 0;
    for (auto& p : pixels) p &= 0xFFFFFF;
    return ok;
}

}  // namespace fvt::test

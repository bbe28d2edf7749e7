// Runs the program of this build in a process of its own on a temporary device, headless,
// under a driver script, and reads back the screenshots it saved.
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

// Runs the program with the script's lines and the extra environment; its exit status, or -1.
inline int RunProgram(const TempDevice& device, const std::string& script,
                      const std::vector<std::string>& args = {},
                      const std::vector<std::string>& extraEnv = {}) {
    std::filesystem::create_directories(device.outside());
    static int serial = 0;
    const std::string path = device.outside() + "/steps" + std::to_string(++serial) + ".txt";
    std::ofstream(path) << script;
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string v = *e;
        if (v.rfind("FOLIVANT_", 0) == 0 || v.rfind("DISPLAY=", 0) == 0 ||
            v.rfind("WAYLAND_DISPLAY=", 0) == 0)
            continue;
        env.push_back(v);
    }
    env.push_back("FOLIVANT_DEVICE=" + device.root());
    env.push_back("FOLIVANT_DISPLAY=headless");
    env.push_back("FOLIVANT_DRIVER=" + path);
    for (const auto& e : extraEnv) env.push_back(e);
    std::vector<char*> envp;
    for (auto& v : env) envp.push_back(v.data());
    envp.push_back(nullptr);
    std::string program = FOLIVANT_PROGRAM;
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

// A screenshot's pixels as 0xRRGGBB.
struct Screen {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;

    bool Read(const std::string& path) {
        png_image image;
        std::memset(&image, 0, sizeof image);
        image.version = PNG_IMAGE_VERSION;
        if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
        image.format = PNG_FORMAT_BGRA;
        width = static_cast<int>(image.width);
        height = static_cast<int>(image.height);
        pixels.assign(static_cast<size_t>(width) * height, 0);
        const bool ok = png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr) != 0;
        for (auto& p : pixels) p &= 0xFFFFFF;
        return ok;
    }
    std::uint32_t At(int x, int y) const {
        return x >= 0 && y >= 0 && x < width && y < height
                   ? pixels[static_cast<size_t>(y) * width + x]
                   : 0xFFFFFFFFu;
    }
    // Pixels of the rectangle that are not the colour given.
    int CountOther(int x, int y, int w, int h, std::uint32_t colour) const {
        int n = 0;
        for (int j = y; j < y + h; ++j)
            for (int i = x; i < x + w; ++i) n += At(i, j) != colour ? 1 : 0;
        return n;
    }
    int CountOf(int x, int y, int w, int h, std::uint32_t colour) const {
        return w * h - CountOther(x, y, w, h, colour);
    }
};

}  // namespace fvt::test

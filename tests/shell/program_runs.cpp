#include "shell/program_runs.h"

#include <fcntl.h>
#include <png.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

extern char** environ;

namespace fvt::test {

std::string Program() { return FOLIVANT_PROGRAM; }

Child::~Child() {
    if (pid > 0 && waitpid(pid, nullptr, WNOHANG) == 0) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
}

int Child::Wait() {
    int status = 0;
    if (pid <= 0 || waitpid(pid, &status, 0) != pid) return -1;
    pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

pid_t Start(const TempDevice& device, const std::vector<std::string>& args,
            const std::string& driver, const std::string& errors,
            const std::vector<std::string>& extra) {
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
    if (!driver.empty()) env.push_back("FOLIVANT_DRIVER=" + driver);
    for (const std::string& v : extra) env.push_back(v);
    std::vector<char*> envp;
    for (auto& v : env) envp.push_back(v.data());
    envp.push_back(nullptr);
    std::string program = Program();
    std::vector<std::string> copies = args;
    std::vector<char*> argv{program.data()};
    for (auto& a : copies) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!errors.empty())
        posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
    const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

std::string WriteScript(const TempDevice& device, const std::string& name,
                        const std::string& text) {
    std::filesystem::create_directories(device.outside());
    const std::string path = device.outside() + "/" + name;
    std::ofstream(path) << text;
    return path;
}

bool IsPng(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    char head[8] = {};
    in.read(head, 8);
    return in && std::string(head + 1, 3) == "PNG";
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<std::string> ReadLines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string all;
    for (const std::string& l : lines) all += l + "\n";
    return all;
}

HWND WaitForInstance() {
    for (int i = 0; i < 600; ++i) {
        if (HWND w = FindWindowW(u"Folivant Reader", nullptr)) return w;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return nullptr;
}

bool Picture::RowsDiffer(const Picture& other, int top, int bottom) const {
    if (width != other.width || height != other.height) return true;
    for (int y = std::max(top, 0); y < std::min(bottom, height); ++y)
        for (int x = 0; x < width; ++x)
            if (At(x, y) != other.At(x, y)) return true;
    return false;
}

Picture ReadPicture(const std::string& path) {
    Picture out;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return out;
    image.format = PNG_FORMAT_RGBA;
    std::vector<uint32_t> pixels(static_cast<size_t>(image.width) * image.height);
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
        png_image_free(&image);
        return out;
    }
    out.width = static_cast<int>(image.width);
    out.height = static_cast<int>(image.height);
    out.pixels = std::move(pixels);
    return out;
}

int RunScript(const TempDevice& device, const std::vector<std::string>& args,
              const std::string& steps, const std::vector<std::string>& env) {
    const std::string script = WriteScript(device, "steps.txt", steps);
    Child child{Start(device, args, script, device.outside() + "/errors.txt", env)};
    if (child.pid <= 0) return -1;
    return child.Wait();
}

}  // namespace fvt::test

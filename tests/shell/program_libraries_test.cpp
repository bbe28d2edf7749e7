// What the program and the tools map: a headless run, and every dump tool, load no display,
// window-system or sound-server library; a window loads the display module beside the program.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/window/window.h"
#include "support/platform/temp_device.h"

extern char** environ;

namespace fvt::test {
namespace {

struct Spawned {
    pid_t pid = -1;
    ~Spawned() {
        if (pid > 0 && waitpid(pid, nullptr, WNOHANG) == 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
    int Wait() {
        int status = 0;
        if (pid <= 0 || waitpid(pid, &status, 0) != pid) return -1;
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
};

// Runs a program with this process's environment less the device's and the display's, plus
// `extra`; standard output goes to `out` when given.
pid_t Launch(const std::string& program, const std::vector<std::string>& args,
          const std::vector<std::string>& extra, const std::string& out = {}) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string v = *e;
        if (v.rfind("FOLIVANT_", 0) == 0 || v.rfind("DISPLAY=", 0) == 0 ||
            v.rfind("WAYLAND_DISPLAY=", 0) == 0 || v.rfind("SDL_", 0) == 0 ||
            v.rfind("LD_", 0) == 0)
            continue;
        env.push_back(v);
    }
    env.insert(env.end(), extra.begin(), extra.end());
    std::vector<char*> envp;
    for (auto& v : env) envp.push_back(v.data());
    envp.push_back(nullptr);
    std::string path = program;
    std::vector<std::string> copies = args;
    std::vector<char*> argv{path.data()};
    for (auto& a : copies) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!out.empty())
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
    pid_t pid = -1;
    if (posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The display, window-system and sound-server libraries named in a maps or loader listing.
std::vector<std::string> DisplayLibraries(const std::string& listing) {
    static const char* const kNames[] = {"libSDL2",   "libX11",  "libxcb",         "libwayland",
                                         "libpulse",  "libXext", "libdecor",       "libasound",
                                         "libdbus",   "libGL",   "folivant-display"};
    std::vector<std::string> found;
    for (const char* name : kNames)
        if (listing.find(name) != std::string::npos) found.push_back(name);
    return found;
}

std::string JoinNames(const std::vector<std::string>& names) {
    std::string s;
    for (const auto& n : names) s += n + " ";
    return s;
}

HWND WaitForInstance() {
    for (int i = 0; i < 600; ++i) {
        if (HWND w = FindWindowW(u"Folivant Reader", nullptr)) return w;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return nullptr;
}

// A running headless instance, once with the display chosen away and once with none to find.
TEST(ProgramLibraries, AHeadlessRunMapsNoDisplayLibrary) {
    for (const char* choice : {"FOLIVANT_DISPLAY=headless", "FOLIVANT_UNUSED=1"}) {
        TempDevice device;
        ASSERT_TRUE(device.ok());
        std::vector<std::string> env{"FOLIVANT_DEVICE=" + device.root(), choice};
        Spawned running{Launch(FOLIVANT_PROGRAM, {}, env)};
        ASSERT_GT(running.pid, 0);
        ASSERT_NE(WaitForInstance(), nullptr);
        const std::string maps = ReadFile("/proc/" + std::to_string(running.pid) + "/maps");
        EXPECT_NE(maps.find("folivant"), std::string::npos);  // the listing is the program's
        EXPECT_EQ(JoinNames(DisplayLibraries(maps)), "") << choice;
        Spawned quit{Launch(FOLIVANT_PROGRAM, {"/quit"}, env)};
        EXPECT_EQ(quit.Wait(), 0);
        EXPECT_EQ(running.Wait(), 0);
    }
}

// The loader's own listing of what each tool needs, without running it.
TEST(ProgramLibraries, TheDumpToolsLinkNoDisplayLibrary) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    std::filesystem::create_directories(device.outside());
    for (const char* tool : {FOLIVANT_BOOKDUMP, FOLIVANT_AUDIODUMP, FOLIVANT_IMAGEDUMP}) {
        const std::string out = device.outside() + "/needed.txt";
        Spawned listing{Launch(tool, {}, {"LD_TRACE_LOADED_OBJECTS=1"}, out)};
        ASSERT_EQ(listing.Wait(), 0) << tool;
        const std::string needed = ReadFile(out);
        EXPECT_NE(needed.find("libc.so"), std::string::npos) << tool;
        EXPECT_EQ(JoinNames(DisplayLibraries(needed)), "") << tool;
    }
}

// A window (SDL's offscreen driver stands in for a desktop) loads the module beside the program
// and shows the device screen: the driver's screenshot is read back from the window.
TEST(ProgramLibraries, AWindowLoadsTheDisplayModule) {
    const std::string module =
        std::filesystem::path(FOLIVANT_PROGRAM).parent_path() / "folivant-display.so";
    if (!std::filesystem::exists(module)) GTEST_SKIP() << "built without SDL2";
    TempDevice device;
    ASSERT_TRUE(device.ok());
    std::filesystem::create_directories(device.outside());
    const std::string shot = device.outside() + "/window.png";
    const std::string script = device.outside() + "/steps.txt";
    std::ofstream(script) << "idle\nscreenshot " << shot << "\nquit\n";
    Spawned run{Launch(FOLIVANT_PROGRAM, {},
                    {"FOLIVANT_DEVICE=" + device.root(), "FOLIVANT_DISPLAY=sdl",
                     "SDL_VIDEODRIVER=dummy", "FOLIVANT_DRIVER=" + script, "LD_DEBUG=files",
                     "LD_DEBUG_OUTPUT=" + device.outside() + "/loaded"})};
    ASSERT_GT(run.pid, 0);
    const pid_t pid = run.pid;
    EXPECT_EQ(run.Wait(), 0);
    const std::string loaded = ReadFile(device.outside() + "/loaded." + std::to_string(pid));
    EXPECT_NE(loaded.find("folivant-display.so"), std::string::npos);
    EXPECT_NE(loaded.find("libSDL2"), std::string::npos);
    const std::string png = ReadFile(shot);
    ASSERT_GT(png.size(), 24u);
    EXPECT_EQ(png.substr(1, 3), "PNG");
    // 240x320 device pixels, whatever the window's scale.
    auto be32 = [&](std::size_t at) {
        return (static_cast<unsigned char>(png[at]) << 24) |
               (static_cast<unsigned char>(png[at + 1]) << 16) |
               (static_cast<unsigned char>(png[at + 2]) << 8) |
               static_cast<unsigned char>(png[at + 3]);
    };
    EXPECT_EQ(be32(16), 240u);
    EXPECT_EQ(be32(20), 320u);
}

}  // namespace
}  // namespace fvt::test

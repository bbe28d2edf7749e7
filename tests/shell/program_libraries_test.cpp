// What the program and the tools map: a headless run, and every dump tool, load no display,
// window-system or sound-server library; a window loads the display module beside the program.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/platform/temp_device.h"
#include "program_runs.h"
#include "support/shell/program_launch.h"

namespace fvt::test {
namespace {

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

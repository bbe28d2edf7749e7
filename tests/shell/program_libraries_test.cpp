// What the program and the tools map: a headless run, and every dump tool, load no display,
// window-system or sound-server library; a window loads the display module beside the program.
#include <elf.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "program_runs.h"
#include "support/platform/temp_device.h"
#include "support/shell/program_launcher.h"

namespace fvt::test {
namespace {

// What the libraries loaded depend on is not inherited from the suite: SDL's choices and the
// loader's own settings.
const std::vector<std::string> kDrop = {"SDL_", "LD_"};

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
        // Not the reader's usual launch: the display is left unchosen in one of the two.
        const std::vector<std::string> env{"FOLIVANT_DEVICE=" + device.root(), choice};
        LaunchedProgram running({.program = ReaderProgram(), .env = env, .dropInherited = kDrop});
        ASSERT_GT(running.Pid(), 0);
        ASSERT_NE(WaitForInstance(), nullptr);
        const std::string maps = ReadFile("/proc/" + std::to_string(running.Pid()) + "/maps");
        EXPECT_NE(maps.find("folivant"), std::string::npos);  // the listing is the program's
        EXPECT_EQ(JoinNames(DisplayLibraries(maps)), "") << choice;
        EXPECT_EQ(
            RunProgram(
                {.program = ReaderProgram(), .args = {"/quit"}, .env = env, .dropInherited = kDrop})
                .status,
            0);
        EXPECT_EQ(running.Wait().status, 0);
    }
}

// The shared libraries a maps listing names, by file name.
std::vector<std::string> SharedLibraries(const std::string& maps) {
    std::vector<std::string> found;
    for (size_t at = 0; at < maps.size();) {
        size_t end = maps.find('\n', at);
        if (end == std::string::npos) end = maps.size();
        const std::string line = maps.substr(at, end - at);
        at = end + 1;
        const size_t slash = line.rfind('/');
        if (slash == std::string::npos) continue;
        const std::string name = line.substr(slash + 1);
        if (name.find(".so") != std::string::npos &&
            std::find(found.begin(), found.end(), name) == found.end())
            found.push_back(name);
    }
    return found;
}

// A start is held to a text browser's, and most of a small one was the loader's: mapping and
// relocating a dozen libraries and looking up thousands of symbols. Outside sanitizer builds
// the C++ runtime and the outside libraries (fonts, pictures, sound) are linked in, and a
// headless run maps the C library and nothing else beside the program.
TEST(ProgramLibraries, AHeadlessRunMapsTheCLibraryAlone) {
    if (!FOLIVANT_PROGRAM_ARCHIVED) GTEST_SKIP() << "a sanitizer build links shared libraries";
    TempDevice device;
    ASSERT_TRUE(device.ok());
    const std::vector<std::string> env{"FOLIVANT_DEVICE=" + device.root(),
                                       "FOLIVANT_DISPLAY=headless"};
    LaunchedProgram running({.program = ReaderProgram(), .env = env, .dropInherited = kDrop});
    ASSERT_GT(running.Pid(), 0);
    ASSERT_NE(WaitForInstance(), nullptr);
    const std::string maps = ReadFile("/proc/" + std::to_string(running.Pid()) + "/maps");
    std::vector<std::string> others;
    for (const std::string& name : SharedLibraries(maps))
        if (name.rfind("libc.so", 0) != 0 && name.rfind("libm.so", 0) != 0 &&
            name.rfind("ld-linux", 0) != 0)
            others.push_back(name);
    EXPECT_EQ(JoinNames(others), "");
    EXPECT_EQ(RunProgram({.program = ReaderProgram(), .args = {"/quit"}, .env = env,
                          .dropInherited = kDrop})
                  .status,
              0);
    EXPECT_EQ(running.Wait().status, 0);
}

// The program headers of an executable: whether it asks for a loader (PT_INTERP) or holds a
// dynamic section (PT_DYNAMIC). False when the file is no 64-bit ELF executable.
bool ReadLinkKind(const std::string& path, bool* interp, bool* dynamic) {
    const std::string bytes = ReadFile(path);
    Elf64_Ehdr header;
    if (bytes.size() < sizeof header) return false;
    std::memcpy(&header, bytes.data(), sizeof header);
    if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
        header.e_ident[EI_CLASS] != ELFCLASS64 || header.e_phentsize != sizeof(Elf64_Phdr))
        return false;
    *interp = *dynamic = false;
    for (unsigned i = 0; i < header.e_phnum; ++i) {
        const std::size_t at = header.e_phoff + std::size_t(i) * sizeof(Elf64_Phdr);
        if (at + sizeof(Elf64_Phdr) > bytes.size()) return false;
        Elf64_Phdr ph;
        std::memcpy(&ph, bytes.data() + at, sizeof ph);
        if (ph.p_type == PT_INTERP) *interp = true;
        if (ph.p_type == PT_DYNAMIC) *dynamic = true;
    }
    return true;
}

// The loader's own listing of what each tool needs, without running it. The image and sound
// dumps are linked statically outside sanitizer builds: then nothing at all is loaded with them.
TEST(ProgramLibraries, TheDumpToolsLinkNoDisplayLibrary) {
    for (const char* tool : {FOLIVANT_BOOKDUMP, FOLIVANT_AUDIODUMP, FOLIVANT_IMAGEDUMP}) {
        bool interp = false, dynamic = false;
        ASSERT_TRUE(ReadLinkKind(tool, &interp, &dynamic)) << tool;
        if (!interp) {
            EXPECT_FALSE(dynamic) << tool << ": no loader, yet a dynamic section";
            continue;
        }
        const ProgramResult listing = RunProgram(
            {.program = tool, .env = {"LD_TRACE_LOADED_OBJECTS=1"}, .dropInherited = kDrop});
        ASSERT_EQ(listing.status, 0) << tool;
        const std::string& needed = listing.out;
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
    LaunchedProgram run(
        {.program = ReaderProgram(),
         .env = {"FOLIVANT_DEVICE=" + device.root(), "FOLIVANT_DISPLAY=sdl",
                 "SDL_VIDEODRIVER=dummy", "FOLIVANT_DRIVER=" + script, "LD_DEBUG=files",
                 "LD_DEBUG_OUTPUT=" + device.outside() + "/loaded"},
         .dropInherited = kDrop});
    ASSERT_GT(run.Pid(), 0);
    const pid_t pid = run.Pid();
    EXPECT_EQ(run.Wait().status, 0);
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

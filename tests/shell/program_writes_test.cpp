// What a whole run writes: a start that changes nothing writes nothing but its run marker, and a
// change is written.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>
#include <chrono>
#include <thread>

#include "program_runs.h"
#include "support/bookfiles/book_builder.h"
#include "support/platform/temp_device.h"
#include "support/shell/program_launcher.h"

namespace fvt::test {
namespace {

namespace fs = std::filesystem;

struct FileState {
    std::string bytes;
    fs::file_time_type time;
};

// Every file of the device (the registry included) with its contents and modification time.
std::map<std::string, FileState> Snapshot(const TempDevice& device) {
    std::map<std::string, FileState> files;
    for (auto& e : fs::recursive_directory_iterator(device.root()))
        if (e.is_regular_file())
            files[fs::relative(e.path(), device.root()).string()] = {ReadFile(e.path().string()),
                                                                     e.last_write_time()};
    return files;
}

std::string Changed(const std::map<std::string, FileState>& a,
                    const std::map<std::string, FileState>& b) {
    std::string out;
    for (const auto& [name, state] : b) {
        auto it = a.find(name);
        if (it == a.end())
            out += "new " + name + "; ";
        else if (it->second.bytes != state.bytes)
            out += "rewritten " + name + " (from byte " +
                   std::to_string(std::mismatch(it->second.bytes.begin(), it->second.bytes.end(),
                                                state.bytes.begin(), state.bytes.end())
                                      .first -
                                  it->second.bytes.begin()) +
                   "); ";
        else if (it->second.time != state.time)
            out += "touched " + name + "; ";
    }
    for (const auto& [name, state] : a)
        if (!b.count(name)) out += "gone " + name + "; ";
    return out;
}

const std::string kConfig = "Windows/FVT_global_configuration.fvt";

// The configuration file is written in place twice a run, its run marker set and cleared: a
// file whose bytes came back is taken as untouched.
void ForgetTheMarker(const std::map<std::string, FileState>& before,
                     std::map<std::string, FileState>& now) {
    auto was = before.find(kConfig);
    auto is = now.find(kConfig);
    if (was != before.end() && is != now.end() && was->second.bytes == is->second.bytes)
        is->second.time = was->second.time;
}

// Where the run marker lies in the configuration file: the word at 300 of record 0's data.
std::size_t MarkerPlace(const std::string& config) {
    auto u32 = [&](std::size_t at) {
        return static_cast<std::size_t>(static_cast<unsigned char>(config[at]) << 24 |
                                        static_cast<unsigned char>(config[at + 1]) << 16 |
                                        static_cast<unsigned char>(config[at + 2]) << 8 |
                                        static_cast<unsigned char>(config[at + 3]));
    };
    return u32(78) + 8 + 300;
}

// The configuration file while a run with nothing to do is going: the run marker is the only
// change, and it is written in place.
std::string ConfigurationWhileRunning(const TempDevice& device) {
    const std::string o = device.outside() + "/";
    fs::remove(o + "shown.txt");
    fs::remove(o + "go-on");
    const std::string script = WriteScript(
        device, "steps.txt",
        "idle\npagetext " + o + "shown.txt\nwait-file " + o + "go-on\nquit\n");
    LaunchedProgram running = StartReader(device, {}, script);
    for (int i = 0; i < 800 && !fs::exists(o + "shown.txt"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    const std::string config = device.ReadHost(kConfig);
    std::ofstream(o + "go-on") << "\n";
    EXPECT_EQ(running.Wait().status, 0);
    return config;
}

// Twice the same run: the second writes no file and touches none, but for the run marker of the
// configuration file, set while it runs and cleared at its end. With a book open at its saved
// page only the book's side file changes (it counts the openings); turning a page is a change of
// the side file alone too.
TEST(ProgramWrites, AStartThatChangesNothingWritesNothing) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    BookBuilder book;
    std::string text;
    for (int i = 0; text.size() < 6000; ++i) text += "Line " + std::to_string(i) + " of the book. ";
    book.text.assign(text.begin(), text.end());
    book.fullName = "Alpha";
    const Bytes bytes = book.Build();
    device.WriteHost("storage/eBooks/Alpha.prc", std::string(bytes.begin(), bytes.end()));

    ASSERT_EQ(RunSteps(device, {}, "idle\nquit\n").status, 0);
    auto first = Snapshot(device);
    EXPECT_TRUE(first.count("Windows/FVT_global_configuration.fvt"));
    EXPECT_TRUE(first.count("Windows/FolivantCache.fvt"));
    const std::string running = ConfigurationWhileRunning(device);
    const std::string& before = first[kConfig].bytes;
    ASSERT_EQ(running.size(), before.size());
    const std::size_t marker = MarkerPlace(before);
    ASSERT_LT(marker + 4, before.size());
    EXPECT_EQ(before.substr(marker, 4), std::string("\0\0\0\0", 4));
    EXPECT_EQ(running.substr(marker, 4), std::string("\0\0\0\1", 4));
    EXPECT_EQ(running.substr(0, marker), before.substr(0, marker));
    EXPECT_EQ(running.substr(marker + 4), before.substr(marker + 4));
    auto second = Snapshot(device);
    ForgetTheMarker(first, second);
    EXPECT_EQ(Changed(first, second), "");

    // Open the book from the library and turn a page; the next start reopens it there.
    const std::string side = "storage/eBooks/Alpha.fvt";
    ASSERT_EQ(RunSteps(device, {}, "idle\nkey 0x0d\nidle\nkey 0x22\nidle\nquit\n").status, 0);
    auto withBook = Snapshot(device);
    ASSERT_TRUE(withBook.count(side));
    for (const char* steps : {"idle\nquit\n", "idle\nkey 0x22\nidle\nquit\n"}) {
        ASSERT_EQ(RunSteps(device, {}, steps).status, 0);
        auto now = Snapshot(device);
        ForgetTheMarker(withBook, now);
        EXPECT_NE(now[side].bytes, withBook[side].bytes) << steps;
        now.erase(side);
        withBook.erase(side);
        EXPECT_EQ(Changed(withBook, now), "") << steps;
        withBook = Snapshot(device);
    }
}

}  // namespace
}  // namespace fvt::test

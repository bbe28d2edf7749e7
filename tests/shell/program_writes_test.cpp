// What a whole run writes: a start that changes nothing writes nothing, and a change is written.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

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

// Twice the same run: the second writes no file and touches none. With a book open at its
// saved page only the book's side file changes (it counts the openings); turning a page is a
// change of the side file alone too.
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
    ASSERT_EQ(RunSteps(device, {}, "idle\nquit\n").status, 0);
    EXPECT_EQ(Changed(first, Snapshot(device)), "");

    // Open the book from the library and turn a page; the next start reopens it there.
    const std::string side = "storage/eBooks/Alpha.fvt";
    ASSERT_EQ(RunSteps(device, {}, "idle\nkey 0x0d\nidle\nkey 0x22\nidle\nquit\n").status, 0);
    auto withBook = Snapshot(device);
    ASSERT_TRUE(withBook.count(side));
    for (const char* steps : {"idle\nquit\n", "idle\nkey 0x22\nidle\nquit\n"}) {
        ASSERT_EQ(RunSteps(device, {}, steps).status, 0);
        auto now = Snapshot(device);
        EXPECT_NE(now[side].bytes, withBook[side].bytes) << steps;
        now.erase(side);
        withBook.erase(side);
        EXPECT_EQ(Changed(withBook, now), "") << steps;
        withBook = Snapshot(device);
    }
}

}  // namespace
}  // namespace fvt::test

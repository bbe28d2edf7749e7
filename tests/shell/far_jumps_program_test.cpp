// Far jumps in a markup book across sessions, in the program itself: a session that jumps far
// leaves the book's checkpoints in the data folder (a small file), and End and Go to page in a
// later session, which start reading from them, show the pages reading from the first page
// shows. A kept file that is damaged, or that was made for another version of the book, changes
// nothing that is shown.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "program_runs.h"
#include "support/bookfiles/book_builder.h"
#include "support/document/seeded_words.h"
#include "support/platform/temp_device.h"
#include "support/shell/program_launcher.h"

namespace fvt::test {
namespace {

namespace fs = std::filesystem;

// About `bytes` of a manual's markup: chapters with a heading, paragraphs with inline styles, a
// nested list, a definition list and a listing with breaks; markup after the last words.
// `variant` changes the lists' nesting (another version of the book).
std::string ManualMarkup(std::size_t bytes, int variant) {
    static const char* const kWords[] = {"cipher", "block", "mode",   "the",    "key",
                                         "length", "of",    "a",      "digest", "counter",
                                         "nonce",  "tag",   "stream", "round",  "state"};
    SeededWords seeded(kWords, 5 + static_cast<std::uint32_t>(variant));
    auto words = [&](int n) { return seeded.Words(n); };
    std::string h = "<html><head><title>Manual</title></head><body>";
    for (int c = 1; h.size() < bytes; ++c) {
        h += "<h2>" + std::to_string(c) + " Chapter</h2><p>" + words(40) + " <i>" + words(3) +
             "</i> " + words(30) + "</p><ul><li>" + words(6) + "<ul>";
        for (int i = 0; i < 3 + variant; ++i) h += "<li>" + words(9) + "</li>";
        h += "</ul></li><li>" + words(7) + "</li></ul><dl><dt>" + words(2) + "</dt><dd>" +
             words(25) + "</dd></dl><pre>" + words(4) + "<br>\n  " + words(5) + "\n    " +
             words(3) + "\n</pre><p>" + words(45) + "</p>\n";
    }
    return h + "<p>" + words(12) + "</p><div class=\"footer\"><hr></div></body></html>";
}

std::string MarkupBook(int variant) {
    BookBuilder book;
    const std::string text = ManualMarkup(1500000, variant);
    book.text.assign(text.begin(), text.end());
    book.compression = 2;
    book.type = 2;
    const Bytes bytes = book.Build();
    return std::string(bytes.begin(), bytes.end());
}

class FarJumpsProgram : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(device.ok()); }

    void WriteBook(int variant) {
        device.WriteHost("storage/eBooks/manual.prc", MarkupBook(variant));
    }
    fs::path KeptFolder() const { return device.Host("Windows/FolivantCheckpoints"); }
    std::vector<fs::path> KeptFiles() const {
        std::vector<fs::path> out;
        if (fs::exists(KeptFolder()))
            for (const auto& f : fs::directory_iterator(KeptFolder())) out.push_back(f.path());
        return out;
    }
    // End, two PageUps; Go to page 300 and a PageDown: the pages each showed, in a session that
    // starts at the first page.
    std::vector<std::string> Jumps(const std::string& tag) {
        fs::remove(device.Host("storage/eBooks/manual.fvt"));
        std::string steps = "idle\nkey 0x23\nidle\n";
        std::vector<std::string> files;
        auto show = [&](const std::string& what) {
            files.push_back(device.OutsidePath(tag + "-" + what + ".txt"));
            steps += "pagetext " + files.back() + "\n";
        };
        show("end");
        steps += "key 0x21\nidle\nkey 0x21\nidle\n";
        show("up");
        steps += "text 300\nanswer 0\nmenu 40092\nidle\n";
        show("goto");
        steps += "key 0x22\nidle\n";
        show("down");
        const ProgramResult run =
            RunSteps(device, {"\\storage\\eBooks\\manual.prc"}, steps + "quit\n");
        EXPECT_EQ(run.status, 0) << run.Describe();
        std::vector<std::string> pages;
        for (const std::string& f : files) {
            pages.push_back(Joined(ReadLines(f)));
            EXPECT_FALSE(pages.back().empty()) << f;
        }
        return pages;
    }
    // The pages with no checkpoint kept: each jump reads from the first page.
    std::vector<std::string> JumpsReadingEverything(const std::string& tag) {
        fs::remove_all(KeptFolder());
        std::vector<std::string> pages = Jumps(tag);
        return pages;
    }

    TempDevice device;
};

TEST_F(FarJumpsProgram, ALaterSessionJumpsFromKeptCheckpointsToThePagesReadingShows) {
    WriteBook(0);
    const std::vector<std::string> reading = JumpsReadingEverything("reading");
    const std::vector<fs::path> kept = KeptFiles();
    ASSERT_EQ(kept.size(), 1u) << "a far jump keeps the book's checkpoints";
    EXPECT_GT(fs::file_size(kept[0]), 64u);
    EXPECT_LT(fs::file_size(kept[0]), 16u << 10) << "checkpoints of a 1.5 MB book";
    EXPECT_EQ(Jumps("kept"), reading);
    // A second later session finds the same file (nothing new to keep) and the same pages.
    const auto written = fs::last_write_time(kept[0]);
    EXPECT_EQ(Jumps("again"), reading);
    EXPECT_EQ(fs::last_write_time(kept[0]), written);
}

TEST_F(FarJumpsProgram, ADamagedOrStaleKeptFileChangesNothingShown) {
    WriteBook(0);
    const std::vector<std::string> reading = JumpsReadingEverything("reading");
    const std::vector<fs::path> kept = KeptFiles();
    ASSERT_EQ(kept.size(), 1u);
    std::string bytes;
    {
        std::ifstream in(kept[0], std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    ASSERT_GT(bytes.size(), 200u);
    auto keep = [&](const std::string& b) { std::ofstream(kept[0], std::ios::binary) << b; };
    std::string flipped = bytes;
    flipped[flipped.size() / 2] ^= 0x5A;
    keep(flipped);
    EXPECT_EQ(Jumps("flipped"), reading);
    keep(bytes.substr(0, bytes.size() * 2 / 3));
    EXPECT_EQ(Jumps("cut"), reading);
    keep(std::string(bytes.size(), '\0'));
    EXPECT_EQ(Jumps("zeros"), reading);
    // Another version of the book under the same name: the file kept for the old one is not
    // this one's.
    WriteBook(1);
    const std::vector<std::string> newer = JumpsReadingEverything("newer");
    ASSERT_NE(newer, reading);
    keep(bytes);
    EXPECT_EQ(Jumps("stale"), newer);
}

}  // namespace
}  // namespace fvt::test

// Far jumps in a markup book across sessions, in the program itself: a session that jumps far
// leaves the book's checkpoints in the data folder (a small file), and End and Go to page in a
// later session, which start reading from them, show the pages reading from the first page
// shows. A kept file that is damaged, or that was made for another version of the book, changes
// nothing that is shown.
#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
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
        h += "<h2>" + std::to_string(c) + " Chapter</h2><p>" + words(40) + " <i>";
        h += words(3) + "</i> ";
        h += words(30) + "</p><ul><li>";
        h += words(6) + "<ul>";
        for (int i = 0; i < 3 + variant; ++i) h += "<li>" + words(9) + "</li>";
        h += "</ul></li><li>" + words(7) + "</li></ul><dl><dt>";
        h += words(2) + "</dt><dd>";
        h += words(25) + "</dd></dl><pre>";
        h += words(4) + "<br>\n  ";
        h += words(5) + "\n    ";
        h += words(3) + "\n</pre><p>";
        h += words(45) + "</p>\n";
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
    // starts at the first page, with the book in `folder` of the device.
    std::vector<std::string> Jumps(const std::string& tag,
                                   const std::string& folder = "storage/eBooks") {
        fs::remove(device.Host(folder + "/manual.fvt"));
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
        std::string book = "\\" + folder + "\\manual.prc";
        std::replace(book.begin(), book.end(), '/', '\\');
        const ProgramResult run = RunSteps(device, {book}, steps + "quit\n");
        EXPECT_EQ(run.status, 0) << run.Describe();
        return ShownPages(files);
    }
    // The page texts the run wrote to `files`; each page showed some text.
    static std::vector<std::string> ShownPages(const std::vector<std::string>& files) {
        std::vector<std::string> empty;
        std::vector<std::string> pages = ReadPageTextFiles(files, empty);
        EXPECT_TRUE(empty.empty()) << "no page text in " << ::testing::PrintToString(empty);
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

// A book deleted from the library it gave way to takes the checkpoints kept for it along with its
// side file; another book's stay.
TEST_F(FarJumpsProgram, DeletingABookDeletesItsKeptCheckpoints) {
    WriteBook(0);
    device.WriteHost("storage/eBooks/other.prc", MarkupBook(1));
    fs::remove_all(KeptFolder());
    for (const char* book : {"\\storage\\eBooks\\other.prc", "\\storage\\eBooks\\manual.prc"})
        ASSERT_EQ(RunSteps(device, {book}, "idle\nkey 0x23\nidle\nquit\n").status, 0);
    ASSERT_EQ(KeptFiles().size(), 2u);
    const std::vector<fs::path> before = KeptFiles();
    const std::string rows = device.OutsidePath("rows.txt");
    const ProgramResult run = RunSteps(
        device, {"\\storage\\eBooks\\manual.prc"},
        "idle\ntap 45 307\nidle\nanswer-tap 65 189\nmenu 40023\nidle\nlisttext " + rows +
            "\nquit\n");
    ASSERT_EQ(run.status, 0) << run.Describe();
    ASSERT_FALSE(device.HostExists("storage/eBooks/manual.prc")) << ReadFile(rows);
    EXPECT_FALSE(device.HostExists("storage/eBooks/manual.fvt"));
    const std::vector<fs::path> after = KeptFiles();
    ASSERT_EQ(after.size(), 1u) << "the deleted book's checkpoints go";
    EXPECT_NE(std::find(before.begin(), before.end(), after[0]), before.end());
    EXPECT_EQ(RunSteps(device, {"\\storage\\eBooks\\other.prc"}, "idle\nquit\n").status, 0);
    EXPECT_EQ(KeptFiles(), after);
}

// A book moved to a storage card from the library (held on its row, the card chosen) takes the
// checkpoints kept for it along: none is left under its old path, and far jumps in the moved
// book show the pages reading shows, starting from them (nothing new to keep).
TEST_F(FarJumpsProgram, MovingABookMovesItsKeptCheckpoints) {
    WriteBook(0);
    const std::vector<std::string> reading = JumpsReadingEverything("reading");
    const std::vector<fs::path> before = KeptFiles();
    ASSERT_EQ(before.size(), 1u);
    const ProgramResult run =
        RunSteps(device, {"\\storage\\eBooks\\manual.prc"},
                 "idle\ninsert-card Storage Card\nidle\ntap 45 307\nidle\nanswer 10031\n"
                 "down 60 53\nadvance 1500\nup 60 53\nidle\nquit\n");
    ASSERT_EQ(run.status, 0) << run.Describe();
    ASSERT_TRUE(device.HostExists("Storage Card/ebooks/manual.prc"));
    ASSERT_FALSE(device.HostExists("storage/eBooks/manual.prc"));
    const std::vector<fs::path> moved = KeptFiles();
    ASSERT_EQ(moved.size(), 1u) << "the old path's checkpoints do not stay behind";
    EXPECT_NE(moved[0], before[0]);
    const auto written = fs::last_write_time(moved[0]);
    EXPECT_EQ(Jumps("moved", "Storage Card/ebooks"), reading);
    EXPECT_EQ(KeptFiles(), moved);
    EXPECT_EQ(fs::last_write_time(moved[0]), written);
}

// A book too large to read from its first page at a far jump: about `bytes` of chapters that
// close what they open (a heading, paragraphs with inline styles, a nested list, a listing with
// breaks), markup after the last words. With `openAcross`, a listing and then a list each stay
// open across `openAcross` bytes around the middle of the last fifth. Every word is numbered:
// a lost or repeated word shows.
struct NumberedBook {
    std::string markup;
    std::vector<std::string> words;  // in reading order
};

NumberedBook NumberedMarkup(std::size_t bytes, std::size_t openAcross) {
    static const char* const kWords[] = {"harbour", "keeper", "lantern", "stone", "quiet",
                                         "evening", "ship",   "light",   "tide",  "rope"};
    SeededWords seeded(kWords, 11);
    NumberedBook book;
    auto words = [&](int n) {
        std::string out;
        for (int i = 0; i < n; ++i) {
            book.words.push_back(std::string(seeded.WordOf(seeded.Draw())) +
                                 std::to_string(book.words.size()));
            out += (i ? " " : "") + book.words.back();
        }
        return out;
    };
    std::string& h = book.markup;
    h = "<html><head><title>Numbered</title></head><body>";
    const std::size_t openAt = openAcross ? bytes * 9 / 10 - openAcross / 2 : bytes;
    for (int c = 1; h.size() < bytes; ++c) {
        if (h.size() >= openAt) {
            h += "<pre>";
            for (const std::size_t end = h.size() + openAcross / 2; h.size() < end;) {
                h += words(3) + "\n    ";
                h += words(4) + "\n";
            }
            h += "</pre><ul>";
            for (const std::size_t end = h.size() + openAcross / 2; h.size() < end;)
                h += "<li>" + words(12) + "</li>";
            h += "</ul>";
            openAcross = 0;
            continue;
        }
        // One piece after another: the words are numbered in reading order.
        const std::pair<const char*, int> pieces[] = {
            {"<h2>", 2},          {"</h2><p>", 40},
            {" <i>", 3},          {"</i> ", 30},
            {"</p><ul><li>", 6},  {"<ul><li>", 9},
            {"</li><li>", 9},     {"</li></ul></li></ul><pre>", 4},
            {"<br>\n  ", 5},      {"\n</pre><p>", 45}};
        for (const auto& [markup, n] : pieces) h += markup + words(n);
        h += "</p>\n";
    }
    h += "<p>" + words(12);
    h += "</p><div class=\"footer\"><hr></div></body></html>";
    return book;
}

std::string BuiltBook(const std::string& text) {
    BookBuilder book;
    book.text.assign(text.begin(), text.end());
    book.compression = 2;
    book.type = 2;
    const Bytes bytes = book.Build();
    return std::string(bytes.begin(), bytes.end());
}

// The words shown on a page, in order.
std::vector<std::string> WordsOf(const std::string& page) {
    std::vector<std::string> out;
    std::string word;
    for (char ch : page + " ") {
        if (ch == ' ' || ch == '\n' || ch == '\t') {
            if (!word.empty()) out.push_back(word);
            word.clear();
        } else {
            word += ch;
        }
    }
    return out;
}

class FarJumpsInABigBook : public FarJumpsProgram {
protected:
    // Runs the steps in a session starting at the first page; the page texts each `pagetext`
    // of them asked for.
    std::vector<std::string> Pages(const std::string& tag, const std::vector<std::string>& steps,
                                   const std::string& book = "manual.prc") {
        const std::string base = book.substr(0, book.rfind('.'));
        fs::remove(device.Host("storage/eBooks/" + base + ".fvt"));
        std::string script = "idle\n";
        std::vector<std::string> files;
        for (const std::string& step : steps) {
            if (step == "pagetext") {
                files.push_back(device.OutsidePath(tag + "-" + std::to_string(files.size())));
                script += "pagetext " + files.back() + "\n";
            } else {
                script += step + "\nidle\n";
            }
        }
        const ProgramResult run =
            RunSteps(device, {"\\storage\\eBooks\\" + book}, script + "quit\n");
        EXPECT_EQ(run.status, 0) << run.Describe();
        return ShownPages(files);
    }
    static std::string GoTo(int page) {
        return "text " + std::to_string(page) + "\nanswer 0\nmenu 40092";
    }
};

// End, a PageUp and Go to page near the end of a 2.6 MB book (about 400 positions a page) in a
// session with nothing kept show the pages that reading its markup from the first page shows
// (the same markup as an HTML file, which is always read so).
TEST_F(FarJumpsInABigBook, FarJumpsWithNothingKeptShowThePagesReadingFromTheStartShows) {
    const std::string markup = NumberedMarkup(2600000, 0).markup;
    device.WriteHost("storage/eBooks/manual.prc", BuiltBook(markup));
    device.WriteHost("storage/eBooks/manual.html", markup);
    const std::vector<std::string> jumps = {"key 0x23", "pagetext", "key 0x21", "pagetext",
                                            GoTo(6000), "pagetext", "key 0x22", "pagetext"};
    fs::remove_all(KeptFolder());
    const std::vector<std::string> rebuilt = Pages("rebuilt", jumps);
    const std::vector<std::string> reading = Pages("reading", jumps, "manual.html");
    ASSERT_EQ(reading.size(), 4u);
    EXPECT_EQ(rebuilt, reading);
}

// A listing and then a list each open across 400 KB, Go to page's target far inside each: the
// page and the pages after it show the book's words in order, none lost or repeated.
TEST_F(FarJumpsInABigBook, AListingOrListOpenAcrossAFarJumpLosesNoWords) {
    const NumberedBook book = NumberedMarkup(2600000, 800000);
    device.WriteHost("storage/eBooks/manual.prc", BuiltBook(book.markup));
    fs::remove_all(KeptFolder());
    for (const int page : {5600, 6600}) {
        std::vector<std::string> steps = {GoTo(page), "pagetext"};
        for (int i = 0; i < 4; ++i) steps.insert(steps.end(), {"key 0x22", "pagetext"});
        std::vector<std::string> shown;
        for (const std::string& text : Pages("open" + std::to_string(page), steps))
            for (const std::string& w : WordsOf(text)) shown.push_back(w);
        ASSERT_GT(shown.size(), 40u) << "page " << page;
        auto at = std::find(book.words.begin(), book.words.end(), shown.front());
        ASSERT_NE(at, book.words.end()) << shown.front();
        const std::vector<std::string> expected(
            at, at + std::min<std::ptrdiff_t>(book.words.end() - at, shown.size()));
        EXPECT_EQ(shown, expected) << "page " << page;
    }
}

// Go to page 6000 typed into the box faster than the reader takes the keys, in a session with
// nothing kept, shows the page that typing the digits one by one shows (the reader then follows
// 6, 60, 600 and 6000 in turn), and reads only for the number the keys make: the checkpoints
// the session keeps are fewer than those the reading for the numbers on the way leaves.
TEST_F(FarJumpsInABigBook, GoToPageTypedQuicklyReadsOnlyForTheNumberTyped) {
    device.WriteHost("storage/eBooks/manual.prc", BuiltBook(NumberedMarkup(2600000, 0).markup));
    auto session = [&](const std::string& tag, const std::string& steps, std::uintmax_t& kept) {
        fs::remove_all(KeptFolder());
        const std::vector<std::string> pages = Pages(tag, {steps, "pagetext"});
        const std::vector<fs::path> files = KeptFiles();
        EXPECT_EQ(files.size(), 1u) << tag;
        kept = files.empty() ? 0 : fs::file_size(files[0]);
        return pages;
    };
    std::uintmax_t quickly = 0, oneByOne = 0;
    const std::vector<std::string> typed =
        session("quickly", "text 6000\nanswer 0\nmenu 40092", quickly);
    // A key at a time, each taken before the next: the box shows 6, 60, 600, then 6000.
    const std::vector<std::string> slowly =
        session("one-by-one",
                "menu 40092\nchar 6\nidle\nchar 0\nidle\nchar 0\nidle\nchar 0\nanswer 0", oneByOne);
    ASSERT_EQ(typed.size(), 1u);
    EXPECT_EQ(typed, slowly);
    EXPECT_GT(quickly, 0u);
    EXPECT_LT(quickly, oneByOne) << "the quick session kept what reading for 600 left";
}

}  // namespace
}  // namespace fvt::test

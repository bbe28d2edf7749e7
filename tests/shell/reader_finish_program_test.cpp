// What a reader starts finishes right, seen through the program (third round): the annotations
// list numbers pages as the reader does, a cover's menu acts or is greyed, "Full justify text"
// justifies paragraphs, and any key stops the reading aloud. Every step is a person's: keys,
// taps and menus.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "bookfiles/book_header.h"
#include "shell/program_runs.h"
#include "support/bookfiles/book_builder.h"
#include "support/media/image/picture_fixtures.h"
#include "support/media/sound_fixtures.h"
#include "support/platform/temp_device.h"
#include "support/shell/program_launcher.h"

namespace fvt::test {
namespace {

bool Contains(const std::string& s, const std::string& part) {
    return s.find(part) != std::string::npos;
}

void WriteBook(const TempDevice& device, const std::string& name, BookBuilder& book) {
    const Bytes bytes = book.Build();
    device.WriteHost("storage/eBooks/" + name, std::string(bytes.begin(), bytes.end()));
}

void WriteHtmlBook(const TempDevice& device, const std::string& name, const std::string& html) {
    BookBuilder book;
    book.text.assign(html.begin(), html.end());
    book.fullName = "Finishing";
    WriteBook(device, name, book);
}

// ---- The annotations list --------------------------------------------------------------------

// Paragraphs of plain words: a short book of a few pages on the 240x320 screen.
std::string ShortBook(int paragraphs) {
    std::string html = "<html><body>";
    for (int i = 0; i < paragraphs; ++i)
        html += "<p>" + SampleText(300, 11 + static_cast<std::uint32_t>(i)) + "</p>";
    return html + "</body></html>";
}

// The number in " (n)" at the end of a list row; -1 without one.
int PageOfRow(const std::string& row) {
    const size_t open = row.rfind(" ("), close = row.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open) return -1;
    return std::atoi(row.substr(open + 2, close - open - 2).c_str());
}

// A bookmark on every page, each page reached by PageDown from the first: the list gives each
// the number of the page it was made on, as Go to page and the reader number them.
TEST(AnnotationPages, EveryPageOfAShortBookIsListedAsTheReaderNumbersIt) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    WriteHtmlBook(device, "short.prc", ShortBook(6));
    const std::string o = device.outside() + "/";
    std::string steps = "idle\n";
    for (int i = 0; i < 6; ++i)
        steps +=
            "pagetext " + o + "p" + std::to_string(i) + ".txt\nmenu 40079\nidle\nkey 0x22\nidle\n";
    steps += "pagetext " + o + "p6.txt\nmenu 40076\nidle\nlisttext " + o + "rows.txt\nquit\n";
    ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\short.prc"}, steps).status, 0)
        << ReadFile(o + "errors.txt");
    // Six pages, the last one repeated by the last PageDown.
    std::vector<std::string> pages;
    for (int i = 0; i < 6; ++i) {
        const std::string text = ReadFile(o + "p" + std::to_string(i) + ".txt");
        ASSERT_TRUE(pages.empty() || text != pages.back()) << "page " << i + 1 << " repeats";
        pages.push_back(text);
    }
    ASSERT_EQ(ReadFile(o + "p6.txt"), pages.back()) << "more than six pages";
    std::vector<int> listed;
    for (const std::string& row : ReadLines(o + "rows.txt"))
        if (PageOfRow(row) > 0) listed.push_back(PageOfRow(row));
    std::vector<int> expected;
    for (size_t i = 0; i < pages.size(); ++i) expected.push_back(static_cast<int>(i) + 1);
    EXPECT_EQ(listed, expected) << ReadFile(o + "rows.txt");
}

// In a longer book, bookmarks on pages 3 and 30 (reached by PageDown) are listed on 3 and 30.
TEST(AnnotationPages, PagesFarIntoALongerBookAreListedAsTheReaderNumbersThem) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    WriteHtmlBook(device, "longer.prc", ShortBook(60));
    const std::string o = device.outside() + "/";
    std::string steps = "idle\n";
    for (int page = 1; page <= 30; ++page) {
        if (page == 3 || page == 30) steps += "menu 40079\nidle\n";
        steps += "key 0x22\nidle\n";
    }
    steps += "menu 40076\nidle\nlisttext " + o + "rows.txt\nquit\n";
    ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\longer.prc"}, steps).status, 0)
        << ReadFile(o + "errors.txt");
    std::vector<int> listed;
    for (const std::string& row : ReadLines(o + "rows.txt")) listed.push_back(PageOfRow(row));
    EXPECT_EQ(listed, (std::vector<int>{3, 30})) << ReadFile(o + "rows.txt");
}

// Past what is counted (a text over 1 MiB), a bookmark on the page Go to page shows as page 300
// is listed on page 300, also when that page is no longer laid out (after a restart on the
// first page): the list and Go to page go by the same estimate.
TEST(AnnotationPages, PastTheCountTheListAndGoToPageAgree) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    WriteHtmlBook(device, "large.prc", ShortBook(3800));
    const std::string o = device.outside() + "/";
    const std::string book = "\\storage\\eBooks\\large.prc";
    ASSERT_EQ(RunSteps(device, {book},
                       "idle\ntext 300\nanswer 1\nmenu 40092\nidle\nshelllog " + o +
                           "log.txt\nmenu 40079\nidle\nmenu 40076\nidle\nlisttext " + o +
                           "shown.txt\nkey 0x1b\nidle\nkey 0x24\nidle\nquit\n")
                  .status,
              0)
        << ReadFile(o + "errors.txt");
    ASSERT_EQ(
        RunSteps(device, {book}, "idle\nmenu 40076\nidle\nlisttext " + o + "later.txt\nquit\n")
            .status,
        0)
        << ReadFile(o + "errors.txt");
    const std::vector<std::string> shown = ReadLines(o + "shown.txt"),
                                   later = ReadLines(o + "later.txt");
    ASSERT_EQ(shown.size(), 1u) << ReadFile(o + "log.txt");
    EXPECT_EQ(PageOfRow(shown[0]), 300) << shown[0];
    ASSERT_EQ(later.size(), 1u);
    EXPECT_EQ(PageOfRow(later[0]), 300) << later[0];
}

// ---- A cover's menu --------------------------------------------------------------------------

// A book that opens on its cover (a grey picture), then a few pages of text.
void WriteCoverBook(const TempDevice& device) {
    std::vector<std::uint8_t> pixels(120 * 160 * 3, 128);
    BookBuilder book;
    const std::string html =
        "<html><body><p>The text after the cover.</p>" + ShortBook(4).substr(12);
    book.text.assign(html.begin(), html.end());
    book.fullName = "Covered";
    book.resources = {WriteJpeg(120, 160, 3, pixels, 90)};
    book.exth = {{Exth::kCoverOffset, std::vector<std::uint8_t>{0, 0, 0, 0}}};
    WriteBook(device, "covered.prc", book);
}

// Each item chosen on the cover does what it does on a page: Library and Annotations show their
// lists, Options its sheet, Page number the Go to page box; none is greyed (the menu would close
// with nothing chosen, "items => 0").
TEST(CoverMenu, LibraryAnnotationsOptionsAndPageNumberActFromTheCover) {
    struct Item {
        const char* id;
        const char* answer;  // queued for the box the item opens
        const char* shown;   // what the shell log then holds
    };
    const Item items[] = {{"40075", "", "items => 40075"},
                          {"40076", "", "items => 40076"},
                          {"40041", "answer 2\n", "dialog Options\n"},
                          {"40092", "answer 2\n", "dialog Go to page"}};
    for (const Item& item : items) {
        TempDevice device;
        ASSERT_TRUE(device.ok());
        WriteCoverBook(device);
        const std::string o = device.outside() + "/";
        const std::string steps = "idle\n" + std::string(item.answer) + "menu " + item.id +
                                  "\nidle\nshelllog " + o + "log.txt\nlisttext " + o +
                                  "rows.txt\nquit\n";
        ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\covered.prc"}, steps).status, 0)
            << item.id << ": " << ReadFile(o + "errors.txt");
        const std::string log = ReadFile(o + "log.txt");
        EXPECT_TRUE(Contains(log, item.shown)) << item.id << ":\n" << log;
        EXPECT_FALSE(Contains(log, "items => 0\n")) << item.id << ":\n" << log;
        if (std::string(item.id) == "40075") {
            EXPECT_TRUE(Contains(ReadFile(o + "rows.txt"), "Covered")) << "no library shown";
        }
    }
}

// Page number on the cover: OK shows the page chosen (the first, as the box opens on it);
// Cancel leaves the cover shown.
TEST(CoverMenu, GoToPageFromTheCoverShowsThePageChosenOrKeepsTheCover) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    WriteCoverBook(device);
    const std::string o = device.outside() + "/";
    std::string steps = "idle\npagetext " + o + "cover.txt\n";
    steps += "answer 2\nmenu 40092\nidle\npagetext " + o + "cancelled.txt\n";
    steps += "answer 1\nmenu 40092\nidle\npagetext " + o + "chosen.txt\n";
    steps += "shelllog " + o + "log.txt\nquit\n";
    ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\covered.prc"}, steps).status, 0)
        << ReadFile(o + "errors.txt");
    EXPECT_EQ(ReadFile(o + "cancelled.txt"), ReadFile(o + "cover.txt"));
    EXPECT_EQ(FirstLine(o + "chosen.txt"), "The text after the cover.") << ReadFile(o + "log.txt");
}

// Rotate and Full screen from the cover change the screen: the picture is laid out turned,
// then the soft-key bar goes.
TEST(CoverMenu, FullScreenAndRotateActFromTheCover) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    WriteCoverBook(device);
    const std::string o = device.outside() + "/";
    const std::string steps = "idle\nscreenshot " + o + "cover.png\nmenu 40085\nidle\nscreenshot " +
                              o + "turned.png\nmenu 40084\nidle\nscreenshot " + o +
                              "full.png\nshelllog " + o + "log.txt\nquit\n";
    ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\covered.prc"}, steps).status, 0)
        << ReadFile(o + "errors.txt");
    const std::string log = ReadFile(o + "log.txt");
    EXPECT_TRUE(Contains(log, "items => 40084")) << log;
    EXPECT_TRUE(Contains(log, "items => 40085")) << log;
    const Picture cover = ReadPicture(o + "cover.png"), full = ReadPicture(o + "full.png"),
                  turned = ReadPicture(o + "turned.png");
    ASSERT_GT(cover.width, 0);
    EXPECT_TRUE(cover.RowsDiffer(turned, 0, cover.height)) << "the cover did not turn";
    // The bar's strip at the foot of the screen shows the picture's ground instead.
    EXPECT_TRUE(turned.RowsDiffer(full, turned.height - 20, turned.height)) << "still the bar";
}

// ---- Justified text --------------------------------------------------------------------------

bool Dark(std::uint32_t v) {
    return (v & 0xFF) < 128 && ((v >> 8) & 0xFF) < 128 && ((v >> 16) & 0xFF) < 128;
}

// The rightmost dark column of each line of text (runs of rows holding ink) in [top, bottom).
std::vector<int> LineEnds(const Picture& p, int top, int bottom) {
    std::vector<int> ends;
    int end = -1;
    for (int y = top; y < bottom && y < p.height; ++y) {
        int right = -1;
        for (int x = 0; x < p.width; ++x)
            if (Dark(p.At(x, y))) right = x;
        if (right >= 0) {
            end = std::max(end, right);
        } else if (end >= 0) {
            ends.push_back(end);
            end = -1;
        }
    }
    if (end >= 0) ends.push_back(end);
    return ends;
}

// The lines of a paragraph that reach within two pixels of its widest line.
int LinesAtTheRight(const std::vector<int>& ends) {
    const int widest = ends.empty() ? 0 : *std::max_element(ends.begin(), ends.end());
    return static_cast<int>(
        std::count_if(ends.begin(), ends.end(), [widest](int e) { return e >= widest - 2; }));
}

// Options, Display (the list's fourth row), "Full justify text" toggled, OK, OK.
const char kToggleJustify[] =
    "answer-key 0x34\nanswer-tap 20 111\nanswer 1\nanswer 508\nmenu 40041\nidle\n";

// Ticked by default the paragraph's lines but its last reach the right margin; unticked the
// edge is ragged, at once and after a restart; ticked again, justified again.
TEST(JustifiedText, TheOptionJustifiesParagraphsAtOnceAndAfterARestart) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    WriteHtmlBook(device, "plain.prc",
                  "<html><body><p>" + SampleText(900, 5) + "</p></body></html>");
    const std::string o = device.outside() + "/";
    const std::string book = "\\storage\\eBooks\\plain.prc";
    ASSERT_EQ(RunSteps(device, {book},
                       "idle\nscreenshot " + o + "ticked.png\n" + kToggleJustify + "screenshot " +
                           o + "unticked.png\nquit\n")
                  .status,
              0)
        << ReadFile(o + "errors.txt");
    ASSERT_EQ(RunSteps(device, {book},
                       "idle\nscreenshot " + o + "restarted.png\n" + kToggleJustify +
                           "screenshot " + o + "again.png\nquit\n")
                  .status,
              0)
        << ReadFile(o + "errors.txt");
    // The page's text, above the soft-key bar.
    auto ends = [&](const char* name) { return LineEnds(ReadPicture(o + name), 28, 292); };
    const std::vector<int> ticked = ends("ticked.png"), unticked = ends("unticked.png"),
                           restarted = ends("restarted.png"), again = ends("again.png");
    ASSERT_GE(ticked.size(), 8u);
    // A page full of one paragraph: every line reaches the margin when justified.
    EXPECT_GE(LinesAtTheRight(ticked), static_cast<int>(ticked.size()) - 1);
    EXPECT_GE(LinesAtTheRight(again), static_cast<int>(again.size()) - 1);
    EXPECT_LT(LinesAtTheRight(unticked), static_cast<int>(unticked.size()) / 2);
    EXPECT_LT(LinesAtTheRight(restarted), static_cast<int>(restarted.size()) / 2);
}

// ---- Reading aloud ---------------------------------------------------------------------------

// Back (Escape), the left soft key (F1: "Library") and a tap on the bar's Menu button, each
// pressed while the book is read aloud, stop the reading and do nothing else: the sound written
// ends there, the book stays open on its page, no menu opens. Pressed again, each does its work.
TEST(ReadingAloudStops, BackTheSoftKeysAndTheBarOnlyStopTheSpeech) {
    struct Input {
        const char* step;
        const char* name;
    };
    for (const Input input : {Input{"key 0x1b", "Back"}, Input{"key 0x70", "F1"},
                              Input{"tap 180 307", "the Menu button"}}) {
        SCOPED_TRACE(input.name);
        TempDevice device;
        ASSERT_TRUE(device.ok());
        std::string html = "<html><body><p><a onclick=\"voice.read()\">READ ALOUD</a></p>";
        for (std::uint32_t p = 0; p < 4; ++p) html += "<p>" + SampleText(240, 70 + p) + "</p>";
        WriteHtmlBook(device, "aloud.prc", html + "</body></html>");
        const std::string o = device.outside() + "/";
        const std::string wav = o + "speech.wav";
        std::string steps = "idle\ntap 60 44\nidle\nadvance 3000\npagetext " + o + "before.txt\n";
        steps += std::string(input.step) + "\nidle\nadvance 20000\npagetext " + o + "after.txt\n";
        steps += "listtext " + o + "rows.txt\nshelllog " + o + "log.txt\n";
        // Again, with nothing read aloud: the input does its work.
        steps += std::string(input.step) + "\nidle\nshelllog " + o + "again.txt\nlisttext " + o +
                 "again-rows.txt\nquit\n";
        ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\aloud.prc"}, steps,
                           {"FOLIVANT_CLOCK=virtual", "FOLIVANT_AUDIO=wav:" + wav})
                      .status,
                  0)
            << ReadFile(o + "errors.txt");
        std::uint32_t rate = 0, channels = 0;
        std::vector<std::int16_t> samples;
        ASSERT_TRUE(fixtures::ReadWav(wav, &rate, &channels, &samples));
        ASSERT_GT(rate, 0u);
        // Some 3 s were spoken before the input; the rest of the text would take most of a
        // minute.
        EXPECT_LT(samples.size(), static_cast<size_t>(8 * rate * channels));
        EXPECT_EQ(ReadFile(o + "after.txt"), ReadFile(o + "before.txt")) << "the page changed";
        EXPECT_TRUE(ReadFile(o + "rows.txt").empty()) << "the book was left";
        EXPECT_FALSE(Contains(ReadFile(o + "log.txt"), "menu ")) << "a menu opened";
        if (std::string(input.step) == "tap 180 307")
            EXPECT_TRUE(Contains(ReadFile(o + "again.txt"), "menu ")) << "the menu never opens";
        else
            EXPECT_FALSE(ReadFile(o + "again-rows.txt").empty()) << "the library never shows";
    }
}

}  // namespace
}  // namespace fvt::test

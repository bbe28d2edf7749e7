// The reader's menus and the book's own keys in the program itself: items greyed by the view
// shown, and the handlers a book binds to keys and to Find. Each test drives the real program
// headless on a fixture device and reads the shell log, the page text or the screen.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "bookfiles/book_header.h"
#include "shell/program_runs.h"
#include "support/bookfiles/book_builder.h"
#include "support/media/image/picture_fixtures.h"
#include "support/platform/temp_device.h"
#include "support/shell/program_launcher.h"

namespace fvt::test {
namespace {

void WriteBook(const TempDevice& device, const std::string& name, const Bytes& bytes) {
    device.WriteHost("storage/eBooks/" + name, std::string(bytes.begin(), bytes.end()));
}

// A book that opens on its cover (a grey picture), then one page of text.
void WriteCoverBook(const TempDevice& device) {
    std::vector<std::uint8_t> pixels(120 * 160 * 3, 128);
    BookBuilder book;
    const std::string html = "<html><body><p>The text after the cover.</p></body></html>";
    book.text.assign(html.begin(), html.end());
    book.fullName = "Covered";
    book.resources = {WriteJpeg(120, 160, 3, pixels, 90)};
    book.exth = {{Exth::kCoverOffset, std::vector<std::uint8_t>{0, 0, 0, 0}}};
    WriteBook(device, "covered.prc", book.Build());
}

size_t Count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

// Options needs no page: chosen on the cover it opens the options sheet, as it does on the page
// of text after it (each sheet closed by the driver's answer).
TEST(ProgramMenus, OptionsActsOnTheCoverAsOnTheTextPage) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    WriteCoverBook(device);
    const std::string o = device.outside() + "/";
    const std::string steps = "idle\nmenu 40041\nidle\nshelllog " + o + "cover.txt\nkey 0x22\nidle\n"
                              "pagetext " + o + "text.txt\nmenu 40041\nidle\nshelllog " + o +
                              "page.txt\nquit\n";
    ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\covered.prc"}, steps).status, 0)
        << ReadFile(o + "errors.txt");
    const std::string cover = ReadFile(o + "cover.txt");
    // The item was chosen, not greyed, and the sheet shown.
    EXPECT_EQ(cover.find("items => 0"), std::string::npos) << cover;
    EXPECT_NE(cover.find("items => 40041"), std::string::npos) << cover;
    EXPECT_EQ(Count(cover, "dialog Options\n"), 1u) << cover;
    EXPECT_EQ(FirstLine(o + "text.txt"), "The text after the cover.");
    const std::string page = ReadFile(o + "page.txt");
    EXPECT_EQ(Count(page, "items => 40041"), 2u) << page;
    EXPECT_EQ(Count(page, "dialog Options\n"), 2u) << page;
}


// The menu shows the state of the page it opens on, however the reader got there: Options acts
// on the cover, on the text page turned to, and on the cover turned back to, each time once.
TEST(ProgramMenus, TheMenuFollowsThePagesTurnedBetweenItsOpenings) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    WriteCoverBook(device);
    const std::string o = device.outside() + "/";
    const std::string steps = "idle\nmenu 40041\nidle\nkey 0x22\nidle\nmenu 40041\nidle\n"
                              "key 0x21\nidle\nmenu 40041\nidle\n"
                              "shelllog " + o + "log.txt\nquit\n";
    ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\covered.prc"}, steps).status, 0)
        << ReadFile(o + "errors.txt");
    const std::string log = ReadFile(o + "log.txt");
    const size_t chosen = log.find("items => 40041"), dialog = log.find("dialog Options\n");
    ASSERT_NE(chosen, std::string::npos) << log;
    EXPECT_LT(chosen, dialog) << log;
    // Each opening chose the item and showed one sheet; none closed with nothing.
    EXPECT_EQ(Count(log, "items => 40041"), 3u) << log;
    EXPECT_EQ(Count(log, "items => 0\n"), 0u) << log;
    EXPECT_EQ(Count(log, "dialog Options\n"), 3u) << log;
}
// The driver chooses an item by its action's name as by its number: Options by name opens the
// sheet as its number does, and Zoom in by name gives the page Zoom in by number gives.
TEST(ProgramMenus, ItemsAreChosenByTheirActionsNamesAsByTheirNumbers) {
    // Each run on a device of its own: the text size chosen is kept in the settings.
    TempDevice named, numbered, plain;
    for (TempDevice* device : {&named, &numbered, &plain}) {
        ASSERT_TRUE(device->ok());
        WriteCoverBook(*device);
    }
    const std::vector<std::string> book = {"\\storage\\eBooks\\covered.prc"};
    auto run = [&book](TempDevice& device, const std::string& zoom) {
        const std::string o = device.outside() + "/";
        std::string steps = "idle\nkey 0x22\nidle\n";
        if (!zoom.empty()) steps += "menu " + zoom + "\nidle\n";
        steps += "pagetext " + o + "page.txt\nscreenshot " + o + "page.png\n";
        if (!zoom.empty()) steps += "menu options\nidle\nshelllog " + o + "log.txt\n";
        const ProgramResult result = RunSteps(device, book, steps + "quit\n");
        EXPECT_EQ(result.status, 0) << result.Describe();
    };
    run(named, "zoom-in");
    run(numbered, "40082");
    run(plain, "");
    auto file = [](TempDevice& device, const std::string& name) {
        return device.outside() + "/" + name;
    };
    // The same words, on more lines once the text grew.
    auto words = [&file](TempDevice& device) {
        std::string all;
        for (const std::string& line : ReadLines(file(device, "page.txt")))
            all += (all.empty() ? "" : " ") + line;
        return all;
    };
    EXPECT_EQ(words(named), "The text after the cover.");
    EXPECT_EQ(words(plain), words(named));
    EXPECT_EQ(ReadLines(file(named, "page.txt")), ReadLines(file(numbered, "page.txt")));
    const Picture byName = ReadPicture(file(named, "page.png")),
                  byNumber = ReadPicture(file(numbered, "page.png")),
                  unzoomed = ReadPicture(file(plain, "page.png"));
    ASSERT_FALSE(byName.pixels.empty());
    EXPECT_TRUE(byName.pixels == byNumber.pixels);
    EXPECT_FALSE(byName.pixels == unzoomed.pixels);  // the text grew
    for (TempDevice* device : {&named, &numbered}) {
        const std::string log = ReadFile(file(*device, "log.txt"));
        EXPECT_EQ(Count(log, "items => 40082"), 1u) << log;
        EXPECT_EQ(Count(log, "items => 40041"), 1u) << log;
        EXPECT_EQ(Count(log, "dialog Options\n"), 1u) << log;
    }
}

// A page whose first line links to a chapter pages further on.
std::string LinkedChapters() {
    std::string html = "<html><body><p><a href=\"#far\">To the far chapter</a></p>";
    for (int i = 0; i < 40; ++i)
        html += "<p>Paragraph " + std::to_string(i) + " of the book, with words enough for a line or two.</p>";
    return html + "<h2><a name=\"far\">Far chapter</a></h2><p>The far text.</p></body></html>";
}

// The soft-key bar's strip at the foot of a screenshot.
std::vector<uint32_t> BarStrip(const Picture& p) {
    const int top = p.height - 26;
    return std::vector<uint32_t>(p.pixels.begin() + static_cast<std::ptrdiff_t>(top) * p.width,
                                 p.pixels.end());
}

// Followed in full screen, where the bar is hidden, a link gives the left key "Back" all the
// same: the bar shown again reads as the bar of a link followed with the bar on screen.
TEST(ProgramMenus, TheBarShownAfterFullScreenReadsWhatHappenedMeanwhile) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    device.WriteHost("storage/eBooks/linked.html", LinkedChapters());
    const std::string o = device.outside() + "/";
    const std::vector<std::string> book = {"\\storage\\eBooks\\linked.html"};
    const std::string sideFile = device.Host("storage/eBooks/linked.fvt");
    ProgramResult run = RunSteps(device, book,
                                 "idle\nscreenshot " + o + "start.png\ntap 30 40\nidle\npagetext " +
                                     o + "shown.txt\nscreenshot " + o + "shown.png\nquit\n");
    ASSERT_EQ(run.status, 0) << run.Describe();
    std::filesystem::remove(sideFile);
    run = RunSteps(device, book,
                   "idle\nmenu 40084\nidle\ntap 30 10\nidle\nkey 0x70\nidle\npagetext " + o +
                       "hidden.txt\nscreenshot " + o + "hidden.png\nquit\n");
    ASSERT_EQ(run.status, 0) << run.Describe();
    ASSERT_FALSE(ReadLines(o + "shown.txt").empty());
    EXPECT_EQ(ReadLines(o + "shown.txt")[0], "Far chapter");
    EXPECT_EQ(ReadLines(o + "hidden.txt"), ReadLines(o + "shown.txt"));
    const Picture start = ReadPicture(o + "start.png"), shown = ReadPicture(o + "shown.png"),
                  hidden = ReadPicture(o + "hidden.png");
    ASSERT_GT(start.height, 26);
    ASSERT_EQ(shown.height, start.height);
    ASSERT_EQ(hidden.height, start.height);
    EXPECT_NE(BarStrip(shown), BarStrip(start));  // "Back" where "Library" was
    EXPECT_EQ(BarStrip(hidden), BarStrip(shown));
}

// A book of ten paragraphs over several pages whose frame set, from the start of the text, binds
// keys and Find to links of its script: "3" and Find go to the last page, PageUp to the first.
// The handlers' links stand at the end of the text.
void WriteKeyedBook(const TempDevice& device) {
    std::string html = "<html><body>";
    for (int i = 0; i < 10; ++i)
        html += "<p>Paragraph " + std::to_string(i) + " " +
                SampleText(300, static_cast<std::uint32_t>(i + 1)) + "</p>";
    const auto keys = static_cast<std::uint32_t>(html.size());
    html += "<p><a name=\"key3\" onclick=\"document.goto_last_page()\">To the end</a> "
            "<a name=\"key_prev\" onclick=\"document.goto_first_page()\">To the start</a> "
            "<a name=\"find\" onclick=\"document.goto_last_page()\">Seek</a></p></body></html>";
    // The root with the frame "main" at the reading position and the key handlers' node.
    Bytes tree = TreeNode(0x0041, 0, 0, 0xFFFFFFFF, 2, 6);
    const auto names = static_cast<std::uint32_t>(tree.size()) + 24;
    auto append = [&tree](const Bytes& b) { tree.insert(tree.end(), b.begin(), b.end()); };
    append(TreeNode(0x0002, 3, 1, names));
    append(TreeNode(0x0014, 0, 0, names + 6));
    for (const char* n : {"main", "keys"}) {
        PutU16(tree, static_cast<std::uint32_t>(std::string(n).size()));
        PutText(tree, n);
    }
    BookBuilder book;
    book.text = ToBytes(html);
    book.fullName = "Keyed";
    book.framesets = {FramesetSpec{0, tree, {2, 0, keys}}};
    WriteBook(device, "keyed.prc", book.Build());
}

// The book's handlers run on their keys and on Find; a key it does not bind (PageDown) keeps
// the reader's meaning, and Find shows no dialog of its own.
TEST(ProgramBookKeys, HandlersRunOnTheirKeysAndOnFind) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    WriteKeyedBook(device);
    const std::string o = device.outside() + "/";
    auto text = [&o](const std::string& name) { return "pagetext " + o + name + ".txt\n"; };
    const std::string steps = "idle\n" + text("first") + "char 3\nidle\n" + text("three") +
                              "screenshot " + o + "three.png\nkey 0x21\nidle\n" + text("prev") +
                              "key 0x22\nidle\n" + text("next") + "menu 40078\nidle\n" +
                              text("find") + "screenshot " + o + "find.png\nshelllog " + o +
                              "log.txt\nquit\n";
    ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\keyed.prc"}, steps).status, 0)
        << ReadFile(o + "errors.txt");
    const std::string first = Joined(ReadLines(o + "first.txt"));
    const std::string last = Joined(ReadLines(o + "three.txt"));
    ASSERT_NE(first.find("Paragraph 0"), std::string::npos) << first;
    // "3" ran the handler: the last page, where the handlers' links stand.
    EXPECT_NE(last.find("To the end"), std::string::npos) << last;
    EXPECT_EQ(Joined(ReadLines(o + "prev.txt")), first);
    const std::string next = Joined(ReadLines(o + "next.txt"));
    EXPECT_NE(next, first);
    EXPECT_NE(next, last);
    EXPECT_EQ(Joined(ReadLines(o + "find.txt")), last);
    const std::string log = ReadFile(o + "log.txt");
    EXPECT_NE(log.find("items => 40078"), std::string::npos) << log;
    // The same screen as after "3": no Find dialog over the page.
    const Picture three = ReadPicture(o + "three.png"), found = ReadPicture(o + "find.png");
    ASSERT_FALSE(three.pixels.empty());
    EXPECT_TRUE(three.pixels == found.pixels);
}

// A book whose frame set puts a strip sized to its content above the reading frame: the strip
// shows the book's title line from its own text position (at the end of the text).
void WriteTitledBook(const TempDevice& device, bool measured) {
    std::string html = "<html><body>";
    for (int i = 0; i < 4; ++i)
        html += "<p>Paragraph " + std::to_string(i) + " " +
                SampleText(200, static_cast<std::uint32_t>(i + 1)) + "</p>";
    const auto title = static_cast<std::uint32_t>(html.size());
    html += "<p>The title strip</p></body></html>";
    Bytes tree = TreeNode(0x0041, 0, 0, 0xFFFFFFFF, 2, 6);
    const auto names = static_cast<std::uint32_t>(tree.size()) + 24;
    auto append = [&tree](const Bytes& b) { tree.insert(tree.end(), b.begin(), b.end()); };
    append(TreeNode(measured ? 0x000A : 0x0002, 1, 0, names));
    append(TreeNode(0x0002, 3, 1, names + 7));
    for (const char* n : {"title", "main"}) {
        PutU16(tree, static_cast<std::uint32_t>(std::string(n).size()));
        PutText(tree, n);
    }
    BookBuilder book;
    book.text = ToBytes(html);
    book.fullName = "Titled";
    book.framesets = {FramesetSpec{0, tree, {2, title, 0}}};
    WriteBook(device, "titled.prc", book.Build());
}

// The first row at or below `from` with ink (a pixel other than the page colour at its left).
int InkRow(const Picture& p, int from) {
    for (int y = from; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
            if (p.At(x, y) != p.At(0, y)) return y;
    return p.height;
}

// The strip was given no height at all, as the frames had nothing to measure it with; now it
// takes the height of its line and the reading frame's page moves down by as much, whole.
TEST(ProgramFrames, AFrameSizedToItsContentShowsItAboveTheReadingFrame) {
    std::vector<Picture> shots;
    for (bool measured : {false, true}) {
        TempDevice device;
        ASSERT_TRUE(device.ok());
        WriteTitledBook(device, measured);
        const std::string o = device.outside() + "/";
        const std::string steps =
            "idle\npagetext " + o + "page.txt\nscreenshot " + o + "page.png\nquit\n";
        ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\titled.prc"}, steps).status, 0)
            << ReadFile(o + "errors.txt");
        const std::string page = Joined(ReadLines(o + "page.txt"));
        EXPECT_EQ(page.rfind("Paragraph 0", 0), 0u) << page;
        shots.push_back(ReadPicture(o + "page.png"));
        ASSERT_FALSE(shots.back().pixels.empty());
    }
    const Picture &plain = shots[0], &fitted = shots[1];
    ASSERT_EQ(plain.height, fitted.height);
    int page = 0;  // the first row of the page, below the caption
    while (page < plain.height && plain.At(0, page) != plain.At(0, plain.height / 2)) ++page;
    const int text = InkRow(plain, page);
    ASSERT_LT(text + 40, plain.height);
    int shift = 0;
    for (int d = 1; d < plain.height / 2 && shift == 0; ++d) {
        bool same = true;
        for (int y = text; y < text + 40 && same; ++y)
            for (int x = 0; x < plain.width && same; ++x)
                same = plain.At(x, y) == fitted.At(x, y + d);
        if (same) shift = d;
    }
    EXPECT_GT(shift, 0) << "the reading frame's page is not found lower down";
    EXPECT_LT(InkRow(fitted, page), text + shift) << "nothing is drawn in the strip";
}

}  // namespace
}  // namespace fvt::test

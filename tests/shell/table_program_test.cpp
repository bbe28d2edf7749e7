// Tables in the program itself: a cell taller than the page is read to its end by paging, and
// paged back to its start, without a line passed over.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/program_runs.h"
#include "support/platform/temp_device.h"
#include "support/shell/program_launcher.h"

namespace fvt::test {
namespace {

constexpr int kSentences = 60;
constexpr int kTurns = 14;

// One cell of sixty sentences, then a paragraph after the table.
void WriteTallCell(const TempDevice& device) {
    std::string html = "<html><body><table border=\"1\"><tr><td>";
    for (int i = 1; i <= kSentences; ++i)
        html += "Item " + std::to_string(i) + " is here and the cell goes on. ";
    html += "</td></tr></table><p>After the table.</p></body></html>";
    device.WriteHost("storage/eBooks/tall.htm", html);
}

std::string Expected() {
    std::string text;
    for (int i = 1; i <= kSentences; ++i)
        text += "Item " + std::to_string(i) + " is here and the cell goes on. ";
    return text + "After the table.";
}

// The pages' lines read one after another, a page's first lines dropped where they repeat the
// end of the page before (a view of the cell's end may go back over a few lines): the text
// so read, which is to be the whole text when no line was passed over. Empty when a page does
// not go on from where the one before stopped.
std::string ReadOn(const std::vector<std::vector<std::string>>& pages) {
    const std::string whole = Expected();
    std::string read;
    for (const std::vector<std::string>& page : pages) {
        bool goesOn = false;
        for (size_t skip = 0; skip <= page.size() && !goesOn; ++skip) {
            std::string next = read;
            for (size_t k = skip; k < page.size(); ++k) next += (next.empty() ? "" : " ") + page[k];
            if (whole.compare(0, next.size(), next) != 0) continue;
            read = next;
            goesOn = true;
        }
        if (!goesOn) return {};
    }
    return read;
}

bool HasAfter(const std::vector<std::string>& lines) {
    for (const std::string& l : lines)
        if (l.find("After the table.") != std::string::npos) return true;
    return false;
}

// Pixels of a 240x320 screenshot's columns [x0, x1) in the body of the page (below the title
// bar and above the menu bar) that differ from the page's colour.
int BodyInk(const Picture& shot, int x0, int x1) {
    const int top = 30, bottom = 280;
    const uint32_t page = shot.At(120, bottom - 1);
    int n = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = x0; x < x1; ++x) n += shot.At(x, y) != page;
    return n;
}

// The page text of one HTML page on the screen (240x320 by default), opened on a fresh device.
std::vector<std::string> PageLinesOf(const std::string& html,
                                     const std::string& screen = "240x320") {
    TempDevice device;
    EXPECT_TRUE(device.ok());
    device.WriteHost("storage/eBooks/cells.htm", html);
    const std::string o = device.outside() + "/";
    EXPECT_EQ(RunSteps(device, {"\\storage\\eBooks\\cells.htm"},
                       "idle\npagetext " + o + "cells.txt\nquit\n", {"FOLIVANT_SCREEN=" + screen})
                  .status,
              0)
        << ReadFile(o + "errors.txt");
    return ReadLines(o + "cells.txt");
}

class ProgramTableCells : public ::testing::TestWithParam<const char*> {};

// A NOWRAP cell keeps its text (the tag was dropped whole, its text run into the cell before
// or lost), and a CAPTION's text shows above its table, even when its end tag is missing.
TEST_P(ProgramTableCells, NowrapCellsAndCaptionsKeepTheirText) {
    const std::string screen = GetParam();
    EXPECT_EQ(PageLinesOf("<html><body><p>Start.</p><table border=\"1\"><caption>Prices of the "
                          "week</caption><tr><td>plain a</td><td nowrap>nw b</td></tr><tr><td "
                          "nowrap>short</td><td>x</td></tr></table><p>After the table.</p>"
                          "</body></html>",
                          screen),
              (std::vector<std::string>{"Start.", "Prices of the week", "plain a", "nw b", "short",
                                        "x", "After the table."}));
    EXPECT_EQ(PageLinesOf("<html><body><table><caption>Open caption<tr><td>one</td><td>two</td>"
                          "</tr></table><p>After.</p></body></html>",
                          screen),
              (std::vector<std::string>{"Open caption", "one", "two", "After."}));
}

// A NOWRAP cell is one line where the table has the room (the same words wrap in a plain
// cell), and wraps where the line is wider than the page, never making the table wider.
TEST_P(ProgramTableCells, ANowrapCellIsOneLineWhereItFits) {
    const std::string screen = GetParam();
    const std::string beside = "<td>Beside it a cell of many words to wrap</td></tr></table>";
    const std::string tooLong = "<table border=\"1\"><tr><td nowrap>A nowrap cell whose text is "
                                "too long for one line</td><td>y</td></tr></table>";
    const std::vector<std::string> kept = PageLinesOf(
        "<html><body><table border=\"1\"><tr><td nowrap>Keep us together</td>" + beside +
        tooLong + "<p>After the table.</p></body></html>",
        screen);
    ASSERT_FALSE(kept.empty());
    EXPECT_EQ(kept.front(), "Keep us together");
    const std::vector<std::string> plain = PageLinesOf(
        "<html><body><table border=\"1\"><tr><td>Keep us together</td>" + beside +
        "</body></html>",
        screen);
    ASSERT_FALSE(plain.empty());
    EXPECT_NE(plain.front(), "Keep us together");
    // The long one: every word, over more than one line, and no scrolling cut.
    std::string text;
    size_t from = 0, lines = 0;
    while (from < kept.size() && kept[from].rfind("A nowrap", 0) != 0) ++from;
    for (size_t i = from; i < kept.size() && kept[i] != "y"; ++i, ++lines)
        text += (text.empty() ? "" : " ") + kept[i];
    EXPECT_EQ(text, "A nowrap cell whose text is too long for one line");
    EXPECT_GT(lines, 1u);
    EXPECT_EQ(kept.back(), "After the table.");
}

INSTANTIATE_TEST_SUITE_P(Screens, ProgramTableCells, ::testing::Values("240x320", "480x640@192"));

TEST(ProgramTables, ACellTallerThanThePageIsReadWholeForwardAndBack) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    WriteTallCell(device);
    const std::string o = device.outside() + "/";
    const std::string steps = "idle\n" + Presses("0x22", kTurns, "f", PageTextIn(o)) +
                              Presses("0x21", kTurns, "b", PageTextIn(o));
    ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\tall.htm"}, steps + "quit\n").status, 0)
        << ReadFile(o + "errors.txt");

    // Forward: every line of the cell in order, then the text after the table.
    std::vector<std::vector<std::string>> forward;
    for (int i = 0; i < kTurns; ++i) {
        forward.push_back(ReadLines(o + "f" + std::to_string(i) + ".txt"));
        if (HasAfter(forward.back())) break;
    }
    ASSERT_GT(forward.size(), 2u) << "the cell needs more than one page";
    EXPECT_EQ(ReadOn(forward), Expected());

    // Back from the text after the table to the first page: read in the order of the document,
    // the same whole text.
    const std::vector<std::string> first = forward.front();
    std::vector<std::vector<std::string>> back;
    for (int i = 0; i < kTurns; ++i) {
        back.insert(back.begin(), ReadLines(o + "b" + std::to_string(i) + ".txt"));
        if (back.front() == first) break;
    }
    ASSERT_EQ(back.front(), first) << "paging back never reached the first page";
    EXPECT_EQ(ReadOn(back), Expected());
}

// A table wider than the page: its cells are drawn in the view between the arrow columns, so
// at its start the left column is blank and the right one holds the arrow, never cell text.
TEST(ProgramTables, TheScrollArrowsSitBesideTheCellsText) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    std::string html = "<html><body><table border=\"1\"><tr>";
    for (int i = 0; i < 6; ++i) html += "<td>Wednesday northwesterly springtide</td>";
    device.WriteHost("storage/eBooks/wide.htm", html + "</tr></table></body></html>");
    const std::string o = device.outside() + "/";
    ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\wide.htm"},
                       "idle\nscreenshot " + o + "wide.png\nquit\n")
                  .status,
              0)
        << ReadFile(o + "errors.txt");
    Picture shot = ReadPicture(o + "wide.png");
    ASSERT_EQ(shot.width, 240);
    auto ink = [&](int x0, int x1) { return BodyInk(shot, x0, x1); };
    EXPECT_GT(ink(18, 222), 0);   // the cells
    EXPECT_EQ(ink(0, 18), 0);     // no arrow at the start, and no text under one
    EXPECT_GT(ink(222, 240), 0);  // the right arrow
}

// A rule inside a cell is as wide as its cell, not as the page: a table whose words fit the
// page stays within it, with no scroll arrows and the rule drawn inside the table's frame.
TEST(ProgramTables, ARuleInACellTakesTheCellsWidth) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    device.WriteHost("storage/eBooks/rule.htm",
                     "<html><body><table border=\"1\"><tr><td>North<hr>South</td>"
                     "<td>East</td><td>West</td></tr></table><p>After the table.</p>"
                     "</body></html>");
    const std::string o = device.outside() + "/";
    ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\rule.htm"},
                       "idle\nscreenshot " + o + "rule.png\npagetext " + o + "rule.txt\nquit\n")
                  .status,
              0)
        << ReadFile(o + "errors.txt");
    // The cells' lines in order; the rule, written as [WxH], is about as wide as "North".
    const auto lines = ReadLines(o + "rule.txt");
    ASSERT_GE(lines.size(), 5u) << Joined(lines);
    EXPECT_EQ(lines[0], "North");
    ASSERT_EQ(lines[1].front(), '[') << Joined(lines);
    EXPECT_LT(std::stoi(lines[1].substr(1)), 80) << lines[1];
    EXPECT_EQ(lines[2], "South");
    EXPECT_EQ(lines[3], "East");
    EXPECT_EQ(lines[4], "West");
    Picture shot = ReadPicture(o + "rule.png");
    ASSERT_EQ(shot.width, 240);
    auto ink = [&](int x0, int x1) { return BodyInk(shot, x0, x1); };
    // Nothing at the page's right side: no scroll arrow, no cell running off the page.
    EXPECT_EQ(ink(200, 240), 0);
}

// A two-column list as a documentation generator writes it (file names beside what they hold,
// no CELLPADDING): the columns keep a pixel of a normal screen on each side of their text, so a
// dense screen, which draws everything twice as large, draws them as the same list with a
// padding of two; there "Xtransutil.c" and "Collection" once read as one word.
TEST(ProgramTables, ColumnsKeepTheirSpaceOnADenseScreen) {
    auto list = [](const std::string& padding) {
        std::string html =
            "<html><body><p>The source files are listed below.</p><div "
            "class=\"variablelist\"><table border=\"0\" " +
            padding + "><colgroup><col align=\"left\" /><col /></colgroup><tbody>";
        for (const char* row : {"Xtrans.h|Function prototypes and defines.",
                                "Xtransutil.c|Collection of utility functions."}) {
            const std::string r = row;
            html += "<tr><td><p><span class=\"term\"><code>" + r.substr(0, r.find('|')) +
                    "</code></span></p></td><td><p>\n" + r.substr(r.find('|') + 1) +
                    "\n    </p></td></tr>";
        }
        return html + "</tbody></table></div><p>After the list.</p></body></html>";
    };
    auto shot = [&](const std::string& screen, const std::string& padding) {
        TempDevice device;
        EXPECT_TRUE(device.ok());
        device.WriteHost("storage/eBooks/list.htm", list(padding));
        const std::string o = device.outside() + "/";
        EXPECT_EQ(
            RunSteps(device, {"\\storage\\eBooks\\list.htm"},
                     "idle\nscreenshot " + o + "list.png\nquit\n", {"FOLIVANT_SCREEN=" + screen})
                .status,
            0)
            << ReadFile(o + "errors.txt");
        return ReadPicture(o + "list.png");
    };
    const Picture dense = shot("480x640@192", "");
    ASSERT_EQ(dense.width, 480);
    EXPECT_FALSE(dense.RowsDiffer(shot("480x640@192", "cellpadding=\"2\""), 0, dense.height));
    EXPECT_TRUE(dense.RowsDiffer(shot("480x640@192", "cellpadding=\"1\""), 0, dense.height));
    const Picture normal = shot("240x320", "");
    ASSERT_EQ(normal.width, 240);
    EXPECT_FALSE(normal.RowsDiffer(shot("240x320", "cellpadding=\"1\""), 0, normal.height));
}

}  // namespace
}  // namespace fvt::test

// Tables read view by view in the program, at both screen sizes, on pages shaped like real
// manuals: a body column a few pixels wider than the view is read once, not again in a cut
// second strip; the text after a wide table shows once each way; Find opens the view that holds
// a match inside such a table and selects it; a row of thousands of cells opens and ends.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "shell/program_runs.h"
#include "support/media/image/picture_fixtures.h"
#include "support/platform/temp_device.h"
#include "support/shell/program_launcher.h"

namespace fvt::test {
namespace {

const char* const kScreens[] = {"240x320", "480x640@192"};
const std::vector<std::string> kBook = {"\\storage\\eBooks\\manual.html"};

std::vector<std::string> On(const std::string& screen) {
    return {"FOLIVANT_SCREEN=" + screen};
}

// The words of the given form (a letter, a number, "w", a number) a page text shows.
std::set<std::string> Marks(const std::vector<std::string>& lines, char letter) {
    static const std::regex mark("\\b[a-z]\\d+w\\d+\\b");
    std::set<std::string> out;
    for (const std::string& line : lines)
        for (auto it = std::sregex_iterator(line.begin(), line.end(), mark);
             it != std::sregex_iterator(); ++it)
            if (it->str()[0] == letter) out.insert(it->str());
    return out;
}

// The page texts of a walk up to the first that repeats the one before (the key moved no more).
std::vector<std::vector<std::string>> UntilStill(std::vector<std::vector<std::string>> pages) {
    for (size_t i = 1; i < pages.size(); ++i)
        if (pages[i] == pages[i - 1]) {
            pages.resize(i);
            break;
        }
    return pages;
}

// How many of the pages show each mark of the letter.
std::map<std::string, int> TimesShown(const std::vector<std::vector<std::string>>& pages,
                                      char letter) {
    std::map<std::string, int> n;
    for (const auto& page : pages)
        for (const std::string& m : Marks(page, letter)) ++n[m];
    return n;
}

// A wide picture in the body, as a manual's diagram: drawn scaled to the column, it makes the
// column a few pixels wider than the table's view.
std::string Diagram() {
    GifSpec gif;
    gif.width = 633;
    gif.height = 197;
    gif.palette = {{255, 255, 255}, {0, 0, 128}};
    gif.pixels.assign(size_t{gif.width} * gif.height, 0);
    for (size_t i = 0; i < gif.pixels.size(); i += 7) gif.pixels[i] = 1;
    const std::vector<std::uint8_t> bytes = WriteGif(gif);
    return std::string(bytes.begin(), bytes.end());
}

constexpr int kParagraphs = 8;
constexpr int kPerParagraph = 24;

// A manual laid out as the libxslt pages are: a menu column of fixed width in nested tables
// beside a body column of prose (long words the lines break inside), with a diagram or not, each
// body word numbered bPwN.
std::string Manual(bool diagram = true) {
    static const char* const kWords[] = {"transformation", "documentation", "stylesheets",
                                         "compilation",    "interpretation", "considerably",
                                         "namespaces",     "extensions",     "processing",
                                         "templates"};
    std::string h =
        "<html><head><title>Library internals</title></head><body bgcolor=\"#8b7765\">"
        "<table border=\"0\" cellpadding=\"4\" cellspacing=\"0\" width=\"100%\"><tr>"
        "<td bgcolor=\"#8b7765\"><table border=\"0\" cellspacing=\"0\" cellpadding=\"2\" "
        "width=\"100%\"><tr><td valign=\"top\" width=\"200\" bgcolor=\"#8b7765\">"
        "<table border=\"0\" cellspacing=\"0\" cellpadding=\"1\" width=\"100%\" "
        "bgcolor=\"#000000\"><tr><td><table width=\"100%\" border=\"0\" cellspacing=\"1\" "
        "cellpadding=\"3\"><tr><td bgcolor=\"#eecfa1\" align=\"center\"><b>Main Menu</b></td>"
        "</tr><tr><td bgcolor=\"#fffacd\"><ul>";
    for (int i = 1; i <= 12; ++i)
        h += "<li><a href=\"m" + std::to_string(i) + ".html\">Menu m" + std::to_string(i) +
             "w1</a></li>";
    h += "<li><a href=\"bin.html\">Solaris binaries</a></li></ul></td></tr></table></td></tr>"
         "</table></td><td valign=\"top\" bgcolor=\"#8b7765\"><table border=\"0\" "
         "cellspacing=\"0\" cellpadding=\"1\" width=\"100%\"><tr><td><table border=\"0\" "
         "cellspacing=\"0\" cellpadding=\"1\" width=\"100%\" bgcolor=\"#000000\"><tr><td>"
         "<table border=\"0\" cellpadding=\"3\" cellspacing=\"1\" width=\"100%\"><tr>"
         "<td bgcolor=\"#fffacd\">";
    for (int p = 1; p <= kParagraphs; ++p) {
        h += "<p>";
        for (int w = 1; w <= kPerParagraph; ++w)
            h += "b" + std::to_string(p) + "w" + std::to_string(w) + " " +
                 kWords[(p * 7 + w) % 10] + " ";
        if (diagram && p == 3) h += "<img src=\"diagram.gif\" alt=\"A diagram\">";
        h += "</p>";
    }
    return h + "</td></tr></table></td></tr></table></td></tr></table></td></tr></table></td>"
               "</tr></table></body></html>";
}

struct Device {
    TempDevice device;
    std::string out;
    explicit Device(const std::string& html) {
        EXPECT_TRUE(device.ok());
        device.WriteHost("storage/eBooks/manual.html", html);
        device.WriteHost("storage/eBooks/diagram.gif", Diagram());
        out = device.outside() + "/";
    }
    void Run(const std::string& steps, const std::string& screen) {
        const ProgramResult run = RunSteps(device, kBook, steps + "quit\n", On(screen));
        EXPECT_EQ(run.status, 0) << ReadFile(out + "errors.txt");
    }
};

TEST(ProgramTableViews, AColumnAFewPixelsWiderThanTheViewIsReadOnce) {
    constexpr int kTurns = 50;
    for (const char* screen : kScreens) {
        SCOPED_TRACE(screen);
        Device d(Manual());
        d.Run("idle\n" + Presses("0x22", kTurns, "f", PageTextIn(d.out)), screen);
        const auto pages = UntilStill(ReadPageTexts(d.out, "f", kTurns));
        ASSERT_LT(pages.size(), size_t{kTurns}) << "PageDown never reached the end";
        const std::map<std::string, int> shown = TimesShown(pages, 'b');
        EXPECT_EQ(shown.size(), size_t{kParagraphs * kPerParagraph});
        std::vector<std::string> twice;
        for (const auto& [word, n] : shown)
            if (n > 1) twice.push_back(word);
        EXPECT_TRUE(twice.empty()) << twice.size() << " body words shown more than once, the first "
                                   << (twice.empty() ? "" : twice.front());
        // Each menu item too, once.
        for (const auto& [word, n] : TimesShown(pages, 'm')) EXPECT_EQ(n, 1) << word;
    }
}

// Device pixels to a screen pixel.
int ScaleOf(const std::string& screen) {
    return screen == "240x320" ? 1 : 2;
}

// Whether the screen's right edge, between the caption and the soft keys, shows anything but
// one ground: where the table's right arrows would be.
bool RightEdgeBare(const Picture& p, int scale) {
    const int top = 32 * scale, bottom = p.height - 32 * scale;
    const uint32_t ground = p.At(p.width - 1, top);
    for (int y = top; y < bottom; ++y)
        for (int x = p.width - 16 * scale; x < p.width; ++x)
            if (p.At(x, y) != ground) return false;
    return true;
}

// The body column's text sits in tables nested in the layout's body cell: laid out within that
// cell, its last view reaches the table's right edge, so no right arrow stays there, and each
// word shows once on the way.
TEST(ProgramTableViews, TheLastViewOfANestedBodyTableReachesItsRightEdge) {
    constexpr int kTurns = 50;
    for (const char* screen : kScreens) {
        SCOPED_TRACE(screen);
        Device d(Manual(false));
        d.Run("idle\n" + Presses("0x22", kTurns, "f", PageTextIn(d.out)) + "screenshot " + d.out +
                  "last.png\n",
              screen);
        const auto pages = UntilStill(ReadPageTexts(d.out, "f", kTurns));
        ASSERT_LT(pages.size(), size_t{kTurns}) << "PageDown never reached the end";
        const std::map<std::string, int> shown = TimesShown(pages, 'b');
        EXPECT_EQ(shown.size(), size_t{kParagraphs * kPerParagraph});
        for (const auto& [word, n] : shown) EXPECT_EQ(n, 1) << word;
        EXPECT_TRUE(RightEdgeBare(ReadPicture(d.out + "last.png"), ScaleOf(screen)))
            << "the last view keeps its right arrows: " << Joined(pages.back());
    }
}

// A timetable row wider than the screen, then a paragraph: the paragraph shows on one page
// going forward and on one going back, not beside each view of the row.
std::string WideRowThenParagraph() {
    std::string h = "<html><body><p>Tides of the week.</p><table border=\"1\"><tr>";
    for (int c = 1; c <= 30; ++c)
        h += "<td>c" + std::to_string(c) + "w1 springtide</td>";
    h += "</tr></table><p>";
    for (int w = 1; w <= 40; ++w) h += "a1w" + std::to_string(w) + " ";
    return h + "</p><p>The end.</p></body></html>";
}

TEST(ProgramTableViews, TheTextAfterAWideTableShowsOnceEachWay) {
    constexpr int kTurns = 40;
    for (const char* screen : kScreens) {
        SCOPED_TRACE(screen);
        Device d(WideRowThenParagraph());
        d.Run("idle\n" + Presses("0x22", kTurns, "f", PageTextIn(d.out)) +
                  Presses("0x21", kTurns, "b", PageTextIn(d.out)),
              screen);
        const auto forward = UntilStill(ReadPageTexts(d.out, "f", kTurns));
        const auto back = UntilStill(ReadPageTexts(d.out, "b", kTurns));
        ASSERT_LT(forward.size(), size_t{kTurns});
        for (const auto& walk : {forward, back}) {
            const std::map<std::string, int> after = TimesShown(walk, 'a');
            EXPECT_EQ(after.size(), 40u);
            for (const auto& [word, n] : after) EXPECT_EQ(n, 1) << word;
            // Every cell of the row is read.
            EXPECT_EQ(TimesShown(walk, 'c').size(), 30u);
        }
    }
}

// The steps that open Find, type the text and tap "Find next", then write the page.
std::string FindSteps(const std::string& text, const std::string& screen, const std::string& page,
                      const std::string& shot) {
    std::string steps = "menu 40078\nidle\n";
    for (char c : text) steps += std::string("char ") + c + "\n";
    const int k = ScaleOf(screen);
    return steps + "tap " + std::to_string(120 * k) + " " + std::to_string(91 * k) +
           "\nidle\npagetext " + page + "\nscreenshot " + shot + "\n";
}

// A selection is drawn by inverting the words: somewhere on the page a row of the inverted
// cell colour runs as wide as a short word, which text drawn plainly never does.
bool ShowsASelection(const Picture& p, int scale) {
    for (int y = 30; y < p.height - 30; ++y) {
        int run = 0;
        for (int x = 0; x < p.width; ++x) {
            const uint32_t v = p.At(x, y);
            const bool dark = (v & 0xFF) < 64 && (v >> 8 & 0xFF) < 40 && (v >> 16 & 0xFF) < 64;
            run = dark ? run + 1 : 0;
            if (run >= 24 * scale) return true;
        }
    }
    return false;
}

TEST(ProgramTableViews, FindOpensTheViewOfATableThatHoldsTheMatch) {
    struct Case {
        std::string html, text;
    };
    const Case cases[] = {{Manual(), "b7w20"},          // far down the body column
                          {Manual(), "Solaris"},        // at the menu's foot
                          {Manual(), "b1w3"},           // at the body's top
                          {WideRowThenParagraph(), "c27w1"}};  // far along a wide row
    for (const char* screen : kScreens) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(screen) + " " + c.text);
            Device d(c.html);
            d.Run("idle\n" + FindSteps(c.text, screen, d.out + "found.txt", d.out + "found.png"),
                  screen);
            const std::vector<std::string> found = ReadLines(d.out + "found.txt");
            EXPECT_NE(Joined(found).find(c.text), std::string::npos) << Joined(found);
            EXPECT_TRUE(ShowsASelection(ReadPicture(d.out + "found.png"), ScaleOf(screen)));
        }
    }
}

// A manual's home page laid out as the libxslt pages are: a menu cell 200 pixels wide (a search
// form, then links whose titles wrap, justified to the cell's side) beside a body cell, each in
// tables nested for their frames. With its insets the menu column is a few pixels wider than
// the view. Menu words are numbered mIwK, body words bPwN.
std::string MenuPage() {
    std::string h =
        "<html><head><title>Library</title></head><body bgcolor=\"#8b7765\">"
        "<table border=\"0\" cellpadding=\"4\" cellspacing=\"0\" width=\"100%\"><tr>"
        "<td bgcolor=\"#8b7765\"><table border=\"0\" cellspacing=\"0\" cellpadding=\"2\" "
        "width=\"100%\"><tr><td valign=\"top\" width=\"200\" bgcolor=\"#8b7765\">"
        "<table border=\"0\" cellspacing=\"0\" cellpadding=\"1\" width=\"100%\" "
        "bgcolor=\"#000000\"><tr><td><table width=\"100%\" border=\"0\" cellspacing=\"1\" "
        "cellpadding=\"3\"><tr><td bgcolor=\"#eecfa1\" align=\"center\"><b>Main Menu</b></td>"
        "</tr><tr><td bgcolor=\"#fffacd\"><form action=\"search.php\" method=\"get\">"
        "<input name=\"query\" type=\"text\" size=\"20\" value=\"\">"
        "<input name=\"submit\" type=\"submit\" value=\"Search ...\"></form><ul>";
    for (int i = 1; i <= 10; ++i) {
        h += "<li><a href=\"m" + std::to_string(i) + ".html\">";
        for (int k = 1; k <= 2 + i % 5; ++k)
            h += "m" + std::to_string(i) + "w" + std::to_string(k) + " ";
        h += "</a></li>";
    }
    h += "</ul></td></tr></table></td></tr></table></td><td valign=\"top\" bgcolor=\"#8b7765\">"
         "<table border=\"0\" cellspacing=\"0\" cellpadding=\"1\" width=\"100%\"><tr><td>"
         "<table border=\"0\" cellspacing=\"0\" cellpadding=\"1\" width=\"100%\" "
         "bgcolor=\"#000000\"><tr><td><table border=\"0\" cellpadding=\"3\" cellspacing=\"1\" "
         "width=\"100%\"><tr><td bgcolor=\"#fffacd\">";
    for (int p = 1; p <= 3; ++p) {
        h += "<p>";
        for (int w = 1; w <= 12; ++w)
            h += "b" + std::to_string(p) + "w" + std::to_string(w) + " stylesheets ";
        h += "</p>";
    }
    return h +
           "</td></tr></table></td></tr></table></td></tr></table></td></tr></table></td>"
           "</tr></table></body></html>";
}

TEST(ProgramTableViews, AMenuColumnAFewPixelsWiderThanTheViewShowsEachWordOnce) {
    constexpr int kTurns = 30;
    for (const char* screen : kScreens) {
        SCOPED_TRACE(screen);
        Device d(MenuPage());
        d.Run("idle\n" + Presses("0x22", kTurns, "f", PageTextIn(d.out)), screen);
        const auto pages = UntilStill(ReadPageTexts(d.out, "f", kTurns));
        ASSERT_LT(pages.size(), size_t{kTurns}) << "PageDown never reached the end";
        // Every word of the menu, those its justified lines end with too, once.
        const std::map<std::string, int> menu = TimesShown(pages, 'm');
        int words = 0;
        for (int i = 1; i <= 10; ++i) words += 2 + i % 5;
        EXPECT_EQ(menu.size(), static_cast<size_t>(words));
        for (const auto& [word, n] : menu) EXPECT_EQ(n, 1) << word;
        const std::map<std::string, int> body = TimesShown(pages, 'b');
        EXPECT_EQ(body.size(), 36u);
        for (const auto& [word, n] : body) EXPECT_EQ(n, 1) << word;
    }
}

// Where a row of the screen crosses a text field: the white of its inside from `from` on, and
// whether a dark border closes it on the right before the screen's edge.
bool FieldClosedOnTheRight(const Picture& p, int scale) {
    auto white = [&](int x, int y) { return (p.At(x, y) & 0xFFFFFF) == 0xFFFFFF; };
    auto dark = [&](int x, int y) {
        const uint32_t v = p.At(x, y);
        return (v & 0xFF) < 64 && (v >> 8 & 0xFF) < 64 && (v >> 16 & 0xFF) < 64;
    };
    for (int y = 20 * scale; y < p.height / 2; ++y) {
        int x = p.width / 4;
        if (!white(x, y)) continue;
        // A white stretch from a quarter to past the middle of the screen: the field's inside.
        while (x < p.width && white(x, y)) ++x;
        if (x < p.width * 3 / 4) continue;
        return x < p.width && dark(x, y);
    }
    return false;
}

TEST(ProgramTableViews, ASearchFieldInAMenuCellShowsWholeInsideIt) {
    for (const char* screen : kScreens) {
        SCOPED_TRACE(screen);
        Device d(MenuPage());
        d.Run("idle\nscreenshot " + d.out + "menu.png\n", screen);
        EXPECT_TRUE(FieldClosedOnTheRight(ReadPicture(d.out + "menu.png"), ScaleOf(screen)))
            << "the search field runs past the view";
    }
}

// One row of thousands of cells: End shows its last cells, PageUp the ones before, Home the
// first, as soon as the row is read in views (its work grows with the cells, not faster).
TEST(ProgramTableViews, ARowOfThousandsOfCellsOpensAndEnds) {
    constexpr int kCells = 20000;
    std::string h = "<html><body><table border=\"1\"><tr>";
    for (int c = 1; c <= kCells; ++c) h += "<td>r" + std::to_string(c) + "w1</td>";
    h += "</tr></table></body></html>";
    for (const char* screen : kScreens) {
        SCOPED_TRACE(screen);
        Device d(h);
        d.Run("idle\npagetext " + d.out + "first.txt\nkey 0x23\nidle\npagetext " + d.out +
                  "end.txt\nkey 0x21\nidle\npagetext " + d.out + "up.txt\nkey 0x24\nidle\n"
                  "pagetext " + d.out + "home.txt\n",
              screen);
        const auto first = Marks(ReadLines(d.out + "first.txt"), 'r');
        const auto end = Marks(ReadLines(d.out + "end.txt"), 'r');
        const auto up = Marks(ReadLines(d.out + "up.txt"), 'r');
        EXPECT_TRUE(first.count("r1w1"));
        EXPECT_TRUE(end.count("r" + std::to_string(kCells) + "w1")) << Joined(ReadLines(d.out + "end.txt"));
        // PageUp shows cells before End's (the last view, flush with the row's end, may share
        // a cell with the one before it).
        auto number = [](const std::string& m) { return std::stoi(m.substr(1)); };
        ASSERT_FALSE(up.empty());
        ASSERT_FALSE(end.empty());
        int lowestEnd = kCells;
        for (const std::string& m : end) lowestEnd = std::min(lowestEnd, number(m));
        int lowestUp = kCells;
        for (const std::string& m : up) lowestUp = std::min(lowestUp, number(m));
        EXPECT_LT(lowestUp, lowestEnd);
        EXPECT_EQ(Marks(ReadLines(d.out + "home.txt"), 'r'), first);
    }
}

}  // namespace
}  // namespace fvt::test

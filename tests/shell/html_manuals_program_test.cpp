// HTML as the manuals installed with a system write it, read through the program on a headless
// device at both screen sizes: pages without HTML or BODY, heads without BODY, MENU and DIR lists,
// headings in capitals. Fixtures are written here; pages are read back as text or pictures.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "shell/program_runs.h"
#include "support/media/image/picture_fixtures.h"
#include "support/platform/temp_device.h"
#include "support/shell/program_launcher.h"

namespace fvt::test {
namespace {

const char* const kScreens[] = {"240x320", "480x640@192"};

std::vector<std::string> On(const std::string& screen) {
    return {"FOLIVANT_SCREEN=" + screen};
}

// The first page of the HTML file as text.
std::vector<std::string> FirstPage(const std::string& html, const std::string& screen) {
    TempDevice device;
    EXPECT_TRUE(device.ok());
    device.WriteHost("storage/eBooks/manual.html", html);
    const std::string o = device.outside() + "/";
    const ProgramResult run = RunSteps(device, {"\\storage\\eBooks\\manual.html"},
                                       "idle\npagetext " + o + "p.txt\nquit\n", On(screen));
    EXPECT_EQ(run.status, 0) << ReadFile(o + "errors.txt");
    return ReadLines(o + "p.txt");
}

std::string Words(const std::vector<std::string>& lines) {
    std::string all;
    for (const std::string& l : lines) all += (all.empty() ? "" : " ") + l;
    return all;
}

// The first screen of the HTML file.
Picture FirstScreen(const std::string& html, const std::string& screen) {
    TempDevice device;
    EXPECT_TRUE(device.ok());
    device.WriteHost("storage/eBooks/manual.html", html);
    const std::string o = device.outside() + "/";
    const ProgramResult run = RunSteps(device, {"\\storage\\eBooks\\manual.html"},
                                       "idle\nscreenshot " + o + "shot.png\nquit\n", On(screen));
    EXPECT_EQ(run.status, 0) << ReadFile(o + "errors.txt");
    return ReadPicture(o + "shot.png");
}

// Pixels within a few steps of the colour (the screen's depth rounds colours).
int CountNear(const Picture& p, uint32_t rgb) {
    auto near = [](int a, int b) { return a - b <= 8 && b - a <= 8; };
    int n = 0;
    for (uint32_t v : p.pixels)
        n += near(v & 0xFF, rgb >> 16 & 0xFF) && near(v >> 8 & 0xFF, rgb >> 8 & 0xFF) &&
             near(v >> 16 & 0xFF, rgb & 0xFF);
    return n;
}

bool HasLine(const std::vector<std::string>& lines, const std::string& line) {
    for (const std::string& l : lines)
        if (l == line) return true;
    return false;
}

// "no html or body tagsse-cond": the paragraphs were dropped and their words ran together.
TEST(ProgramHtmlManuals, ParagraphsWithoutHtmlOrBodyAreParagraphs) {
    for (const char* screen : kScreens) {
        const auto page = FirstPage("<p>no html or body tags</p><p>second</p>", screen);
        EXPECT_TRUE(HasLine(page, "no html or body tags")) << screen << ": " << Words(page);
        EXPECT_TRUE(HasLine(page, "second")) << screen << ": " << Words(page);
    }
}

TEST(ProgramHtmlManuals, TextBeforeAnyElementIsLaidOutAsBodyText) {
    for (const char* screen : kScreens) {
        const auto page = FirstPage(
            "Loose words first<br>then a break<h2>A heading</h2><ul><li>one</li><li>two</li></ul>"
            "<table inline=1><tr><td>cell</td></tr></table>last",
            screen);
        EXPECT_TRUE(HasLine(page, "Loose words first")) << screen << ": " << Words(page);
        EXPECT_TRUE(HasLine(page, "then a break")) << screen << ": " << Words(page);
        EXPECT_TRUE(HasLine(page, "A heading")) << screen << ": " << Words(page);
        EXPECT_EQ(Words(page).find("onetwo"), std::string::npos) << screen << ": " << Words(page);
        EXPECT_EQ(Words(page).find("celllast"), std::string::npos) << Words(page);
    }
}

// Tags the nesting rules drop still part the words around them.
TEST(ProgramHtmlManuals, ADroppedBlockTagStillPartsTheWords) {
    for (const char* screen : kScreens) {
        const auto page =
            FirstPage("<html><body><p>alpha</td><td>beta</tr>gamma</li>delta</p></body></html>",
                      screen);
        const std::string text = Words(page);
        EXPECT_NE(text.find("alpha beta gamma delta"), std::string::npos) << screen << ": " << text;
    }
}

TEST(ProgramHtmlManuals, TheHeadNeverShowsWithoutABody) {
    for (const char* screen : kScreens) {
        const auto page = FirstPage(
            "<html><head><title>Secret Title</title><meta name=x content=y></head>"
            "<p>Visible text.</p></html>",
            screen);
        const std::string text = Words(page);
        EXPECT_EQ(text.find("Secret"), std::string::npos) << screen << ": " << text;
        EXPECT_NE(text.find("Visible text."), std::string::npos) << screen << ": " << text;
        const auto bare = FirstPage("<title>Bare Title</title><p>Only this.</p>", screen);
        EXPECT_EQ(Words(bare).find("Bare"), std::string::npos) << screen << ": " << Words(bare);
        EXPECT_NE(Words(bare).find("Only this."), std::string::npos) << Words(bare);
    }
}

TEST(ProgramHtmlManuals, TheHeadNeverShowsWithABody) {
    for (const char* screen : kScreens) {
        const auto page = FirstPage(
            "<html><head><title>Secret Title</title></head><body><p>Visible text.</p></body></html>",
            screen);
        EXPECT_EQ(Words(page).find("Secret"), std::string::npos) << screen << ": " << Words(page);
        EXPECT_NE(Words(page).find("Visible text."), std::string::npos);
    }
}

// A table of contents written with MENU was one paragraph: "onetwo".
TEST(ProgramHtmlManuals, MenuAndDirListTheirItemsAsUlDoes) {
    for (const char* screen : kScreens) {
        const auto ul = FirstPage("<html><body><ul><li>one</li><li>two</li></ul></body></html>",
                                  screen);
        const auto menu =
            FirstPage("<html><body><menu><li>one</li><li>two</li></menu></body></html>", screen);
        const auto dir =
            FirstPage("<html><body><dir><li>one</li><li>two</li></dir></body></html>", screen);
        ASSERT_GE(ul.size(), 2u) << Words(ul);
        EXPECT_EQ(menu, ul) << screen << ": " << Words(menu);
        EXPECT_EQ(dir, ul) << screen << ": " << Words(dir);
    }
}

// "CONDI-TIONS", "GENE-RAL PUBLIC LICENSE": names and headings read broken.
TEST(ProgramHtmlManuals, WordsInCapitalsAreNotHyphenated) {
    const std::vector<std::string> words = {"TERMS",   "AND", "CONDITIONS", "OF",          "THE",
                                            "GENERAL", "PUBLIC", "LICENSE", "FOR", "DISTRIBUTION"};
    std::string html = "<html><body><p>";
    for (int i = 0; i < 12; ++i)
        for (const std::string& w : words) html += w + " ";
    html += "</p></body></html>";
    for (const char* screen : kScreens) {
        const auto page = FirstPage(html, screen);
        ASSERT_GT(page.size(), 5u) << screen;
        for (const std::string& line : page) {
            size_t start = 0;
            while (start < line.size()) {
                size_t end = line.find(' ', start);
                if (end == std::string::npos) end = line.size();
                const std::string word = line.substr(start, end - start);
                bool whole = false;
                for (const std::string& w : words) whole = whole || w == word;
                EXPECT_TRUE(whole) << screen << ": \"" << word << "\" in \"" << line << "\"";
                start = end + 1;
            }
        }
    }
}

// French manuals set a space before ; : ! ? and inside brackets: the mark is a word of its own,
// and a line never begins with a closing mark nor ends with an opening one.
TEST(ProgramHtmlManuals, MarksSetApartStayWithTheirWords) {
    const std::string closing = ";:!?),.]}", opening = "([{";
    for (const char mark : closing + opening) {
        const std::string m(1, mark);
        // Words of many lengths, so that lines end at every kind of place.
        static const char* const kWords[] = {"a",     "le",      "mot",      "voir",
                                             "suite", "comment", "toujours", "programme",
                                             "ou",    "lecture", "enfin",    "extraordinaire"};
        std::string html = "<html><body><p>";
        uint32_t seed = 7;
        for (int i = 0; i < 90; ++i) {
            seed = seed * 1103515245u + 12345u;
            html += std::string(kWords[(seed >> 16) % 12]) + " " + m + " ";
        }
        html += "</p></body></html>";
        const bool closes = closing.find(mark) != std::string::npos;
        for (const char* screen : kScreens) {
            const auto page = FirstPage(html, screen);
            ASSERT_GT(page.size(), 4u) << screen;
            for (const std::string& line : page) {
                ASSERT_FALSE(line.empty()) << screen;
                EXPECT_NE(closes ? line.front() : line.back(), mark) << screen << ": " << line;
            }
        }
    }
}

// A manual's coloured rows showed white: the row's BGCOLOR was never painted.
TEST(ProgramHtmlManuals, ARowsColourFillsItsCellsThatHaveNone) {
    for (const char* screen : kScreens) {
        const Picture shot = FirstScreen(
            "<html><body><table border=\"1\"><tr bgcolor=\"#00c000\"><td>Name</td>"
            "<td bgcolor=\"#0000c0\">Own</td></tr><tr><td>plain</td><td>row</td></tr></table>"
            "</body></html>",
            screen);
        ASSERT_GT(shot.width, 0);
        // Two cells' worth of green: more than a frame's outline.
        EXPECT_GT(CountNear(shot, 0x00C000), 200) << screen;
        EXPECT_GT(CountNear(shot, 0x0000C0), 100) << screen;
    }
}

TEST(ProgramHtmlManuals, BodysTextColourIsTheTextsColour) {
    for (const char* screen : kScreens) {
        const Picture shot = FirstScreen(
            "<html><body text=\"#c00000\"><h2>Heading</h2><p>Some words in the body colour."
            "<font color=\"#0000c0\">Blue</font></p><table><tr><td>Cell words</td></tr></table>"
            "</body></html>",
            screen);
        ASSERT_GT(shot.width, 0);
        EXPECT_GT(CountNear(shot, 0xC00000), 30) << screen;
        EXPECT_GT(CountNear(shot, 0x0000C0), 5) << screen;
        EXPECT_LT(CountNear(shot, 0x000000), 10) << screen << ": text still black";
    }
}

// The ink (dark grey to black) of the page's first line of text below a row: per column its top and bottom
// row, -1 where the column has none.
struct LineInk {
    std::vector<int> top, bottom;
    int firstColumn = -1;
};
LineInk FirstLineInk(const Picture& p, int below) {
    auto ink = [&](int x, int y) {
        const uint32_t v = p.At(x, y);
        return (v & 0xFF) < 100 && (v >> 8 & 0xFF) < 100 && (v >> 16 & 0xFF) < 100;
    };
    auto rowHasInk = [&](int y) {
        for (int x = 0; x < p.width; ++x)
            if (ink(x, y)) return true;
        return false;
    };
    int y0 = below;
    while (y0 < p.height && !rowHasInk(y0)) ++y0;
    int y1 = y0;
    while (y1 < p.height && rowHasInk(y1)) ++y1;
    LineInk out;
    out.top.assign(static_cast<size_t>(p.width), -1);
    out.bottom.assign(static_cast<size_t>(p.width), -1);
    for (int x = 0; x < p.width; ++x)
        for (int y = y0; y < y1; ++y)
            if (ink(x, y)) {
                if (out.top[x] < 0) out.top[x] = y;
                out.bottom[x] = y;
                if (out.firstColumn < 0) out.firstColumn = x;
            }
    return out;
}

// Superscripts were drawn on the baseline at the text's size.
TEST(ProgramHtmlManuals, SuperscriptsAreRaisedAndSubscriptsLoweredAndSmaller) {
    for (const char* screen : kScreens) {
        const int scale = std::string(screen) == "240x320" ? 1 : 2;
        for (const bool sup : {true, false}) {
            const std::string tag = sup ? "sup" : "sub";
            const LineInk line = FirstLineInk(FirstScreen(
                "<html><body><p>HHHH<" + tag + ">HHHH</" + tag + "></p><p>Next line</p></body></html>",
                screen), 28 * scale);  // below the title bar
            ASSERT_GE(line.firstColumn, 0) << screen;
            // The plain letters: the first ones; the marked ones: well past the fourth H.
            int plainTop = 1 << 20, plainBottom = -1, markTop = 1 << 20, markBottom = -1;
            for (int x = line.firstColumn; x < static_cast<int>(line.top.size()); ++x) {
                if (line.top[x] < 0) continue;
                const bool plain = x < line.firstColumn + 8 * scale;
                const bool marked = x > line.firstColumn + 60 * scale;
                if (plain) plainTop = std::min(plainTop, line.top[x]);
                if (plain) plainBottom = std::max(plainBottom, line.bottom[x]);
                if (marked) markTop = std::min(markTop, line.top[x]);
                if (marked) markBottom = std::max(markBottom, line.bottom[x]);
            }
            ASSERT_GE(markBottom, 0) << screen << " " << tag;
            EXPECT_LT(markBottom - markTop, plainBottom - plainTop) << screen << " " << tag;
            if (sup) {
                EXPECT_LT(markTop, plainTop - scale) << screen;
                EXPECT_LT(markBottom, plainBottom - scale) << screen;
            } else {
                EXPECT_GT(markBottom, plainBottom + scale) << screen;
            }
        }
    }
}

// A line drawing: white, a one-pixel frame and one-pixel rules across it, black.
struct Drawing {
    int width = 460, height = 497;
    std::vector<uint8_t> ink;  // 1 black, 0 white; rows top first
    Drawing() : ink(static_cast<size_t>(460 * 497), 0) {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const bool frame = x == 0 || y == 0 || x == width - 1 || y == height - 1;
                const bool rule = (y % 71 == 35 && x > 20 && x < width - 20) || x % 97 == 48;
                ink[static_cast<size_t>(y * width + x)] = frame || rule;
            }
    }
    // The grey (0-255) the area of output pixel (ox, oy) covers, the drawing shrunk to w x h:
    // the reference scaler, a plain area average.
    double Shrunk(int ox, int oy, int w, int h) const {
        const double x0 = double(ox) * width / w, x1 = double(ox + 1) * width / w;
        const double y0 = double(oy) * height / h, y1 = double(oy + 1) * height / h;
        double sum = 0;
        for (int y = int(y0); y < height && y < y1; ++y)
            for (int x = int(x0); x < width && x < x1; ++x) {
                const double wx = std::min<double>(x + 1, x1) - std::max<double>(x, x0);
                const double wy = std::min<double>(y + 1, y1) - std::max<double>(y, y0);
                sum += wx * wy * (ink[static_cast<size_t>(y * width + x)] ? 0 : 255);
            }
        return sum / ((x1 - x0) * (y1 - y0));
    }
};

// A thin-line diagram shrunk to the page lost its box sides and separators: every n-th pixel
// was kept, and the lines fell between them.
TEST(ProgramHtmlManuals, APictureShrunkToThePageKeepsItsThinLines) {
    const Drawing drawing;
    BmpSpec bmp;
    bmp.width = drawing.width;
    bmp.height = drawing.height;
    bmp.bits = 8;
    bmp.palette = {{255, 255, 255}, {0, 0, 0}};
    bmp.pixels = drawing.ink;
    const std::vector<std::uint8_t> bytes = WriteBmp(bmp);
    for (const char* screen : kScreens) {
        const int scale = std::string(screen) == "240x320" ? 1 : 2;
        TempDevice device;
        ASSERT_TRUE(device.ok());
        device.WriteHost("storage/eBooks/diagram.bmp", std::string(bytes.begin(), bytes.end()));
        device.WriteHost("storage/eBooks/manual.html",
                         "<html><body><p><img src=\"diagram.bmp\"></p></body></html>");
        const std::string o = device.outside() + "/";
        ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\manual.html"},
                           "idle\nscreenshot " + o + "shot.png\nquit\n", On(screen))
                      .status,
                  0);
        const Picture shot = ReadPicture(o + "shot.png");
        ASSERT_GT(shot.width, 0);
        // The picture: what is not white between the title bar and the soft keys.
        auto grey = [&](int x, int y) { return int(shot.At(x, y) >> 8 & 0xFF); };
        int left = shot.width, right = -1, top = shot.height, bottom = -1;
        for (int y = 28 * scale; y < shot.height - 30 * scale; ++y)
            for (int x = 0; x < shot.width; ++x)
                if (grey(x, y) < 245) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                    top = std::min(top, y);
                    bottom = std::max(bottom, y);
                }
        ASSERT_GT(right, left) << screen;
        const int w = right - left + 1, h = bottom - top + 1;
        // Shrunk to fit, its shape kept.
        EXPECT_LT(w, drawing.width) << screen;
        EXPECT_NEAR(double(h) / w, double(drawing.height) / drawing.width, 0.03) << screen;
        int off = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (std::abs(grey(left + x, top + y) - drawing.Shrunk(x, y, w, h)) > 24) ++off;
        EXPECT_LT(off, w * h / 100) << screen << ": " << off << " pixels off the reference of "
                                    << w * h;
        // Every line is still there: where each rule falls, grey well below white (a line
        // between two pixels shades both).
        for (int x = 48; x < drawing.width; x += 97) {
            const int sx = left + x * w / drawing.width;
            int darkest = 255;
            for (int d = -1; d <= 1; ++d) darkest = std::min(darkest, grey(sx + d, top + h / 2));
            EXPECT_LT(darkest, 200) << screen << ": the rule at x " << x;
        }
        for (int y = 35; y < drawing.height; y += 71) {
            const int sy = top + y * h / drawing.height;
            int darkest = 255;
            for (int d = -1; d <= 1; ++d) darkest = std::min(darkest, grey(left + w / 4, sy + d));
            EXPECT_LT(darkest, 200) << screen << ": the rule at y " << y;
        }
    }
}

// A manual laid out as a table: a narrow menu column holding a search form (`formAfter` menu
// items above it) beside a wide body column. The first screen, and the screen after PageDown.
std::pair<Picture, Picture> LayoutTableScreens(int formAfter, const std::string& screen) {
    std::string menu;
    for (int i = 0; i < 30; ++i) {
        if (i == formAfter)
            menu += "<form action=\"search.html\"><input type=\"text\" name=\"q\" size=\"8\">"
                    "<input type=\"submit\" value=\"Search\"></form>";
        menu += "<a href=\"p" + std::to_string(i) + ".html\">Menu " + std::to_string(i) + "</a><br>";
    }
    std::string body;
    for (int i = 0; i < 150; ++i) body += "Body word" + std::to_string(i) + " of the manual. ";
    const std::string html = "<html><body><table border=\"0\"><tr><td width=\"110\" valign=\"top\">" +
                             menu + "</td><td width=\"600\" valign=\"top\"><h1>Manual</h1><p>" +
                             body + "</p></td></tr></table></body></html>";
    TempDevice device;
    EXPECT_TRUE(device.ok());
    device.WriteHost("storage/eBooks/manual.html", html);
    const std::string o = device.outside() + "/";
    const ProgramResult run =
        RunSteps(device, {"\\storage\\eBooks\\manual.html"},
                 "idle\nscreenshot " + o + "a.png\nkey 0x22\nidle\nscreenshot " + o + "b.png\nquit\n",
                 On(screen));
    EXPECT_EQ(run.status, 0) << ReadFile(o + "errors.txt");
    return {ReadPicture(o + "a.png"), ReadPicture(o + "b.png")};
}

// The rows of the page area where the search button's grey shows.
std::vector<int> ButtonRows(const Picture& p, int scale) {
    std::vector<int> rows;
    for (int y = 28 * scale; y < p.height - 30 * scale; ++y) {
        int n = 0;
        for (int x = 0; x < p.width / 2; ++x) {
            const uint32_t v = p.At(x, y);
            n += std::abs(int(v & 0xFF) - 198) <= 6 && std::abs(int(v >> 8 & 0xFF) - 195) <= 6 &&
                 std::abs(int(v >> 16 & 0xFF) - 198) <= 6;
        }
        if (n >= 10 * scale) rows.push_back(y);
    }
    return rows;
}

// The search field and its button stayed where they were laid out while the menu scrolled
// beneath them, drawn over its text.
TEST(ProgramHtmlManuals, FormControlsInAScrolledCellMoveWithItOrHide) {
    for (const char* screen : kScreens) {
        const int scale = std::string(screen) == "240x320" ? 1 : 2;
        // At the top of the menu: shown on the first screen, scrolled out after PageDown.
        auto [first, second] = LayoutTableScreens(0, screen);
        ASSERT_GT(first.width, 0);
        EXPECT_FALSE(ButtonRows(first, scale).empty()) << screen;
        EXPECT_TRUE(ButtonRows(second, scale).empty()) << screen << ": the button stayed";
        // Below the first screen: shown once PageDown brings its part of the menu up.
        auto [before, after] = LayoutTableScreens(14, screen);
        EXPECT_TRUE(ButtonRows(before, scale).empty()) << screen;
        EXPECT_FALSE(ButtonRows(after, scale).empty()) << screen << ": the button did not come up";
    }
}

// Opens the host page, then goes back to the library: its rows.
std::vector<std::string> OpenThenList(TempDevice& device, const std::string& hostPage) {
    const std::string list = device.outside() + "/library.txt";
    const ProgramResult run = RunSteps(device, {hostPage},
                                       "idle\nkey 0x1b\nidle\nlisttext " + list + "\nquit\n");
    EXPECT_EQ(run.status, 0) << run.Describe();
    return ReadLines(list);
}

// Opening a manual's index page listed every page and folder it links to as a book of its own
// ("index", "APIchunk0", ...).
TEST(ProgramHtmlManuals, TheLibraryListsThePageOpenedNotTheFilesItBrought) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    const std::string host = device.outside() + "/usr/share/doc/libfoo/html";
    std::filesystem::create_directories(host + "/api");
    std::filesystem::create_directories(host + "/pics");
    auto write = [](const std::string& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    };
    write(host + "/index.html",
          "<html><head><title>Foo Manual</title></head><body><h1>Foo Manual</h1>"
          "<p><img src=\"pics/logo.bmp\"></p><ul><li><a href=\"intro.html\">Introduction</a>"
          "<li><a href=\"api/chunk0.html\">API index</a><li><a href=\"notes.txt\">Notes</a>"
          "</ul></body></html>");
    write(host + "/intro.html", "<html><body><p>The introduction.</p></body></html>");
    write(host + "/api/chunk0.html", "<html><body><p>Functions.</p></body></html>");
    write(host + "/notes.txt", "Release notes.");
    BmpSpec bmp;
    bmp.width = 16;
    bmp.height = 8;
    bmp.bits = 8;
    bmp.palette = {{0, 0, 0}, {255, 255, 255}};
    bmp.pixels.assign(16 * 8, 0);
    const std::vector<std::uint8_t> logo = WriteBmp(bmp);
    write(host + "/pics/logo.bmp", std::string(logo.begin(), logo.end()));

    const std::string page = device.outside() + "/page.txt";
    ASSERT_EQ(RunSteps(device, {host + "/index.html"}, "idle\npagetext " + page + "\nquit\n").status,
              0);
    EXPECT_NE(Words(ReadLines(page)).find("Introduction"), std::string::npos);
    ASSERT_TRUE(device.HostExists("storage/eBooks/api/chunk0.html"));
    auto rows = OpenThenList(device, host + "/index.html");
    ASSERT_EQ(rows.size(), 1u) << ::testing::PrintToString(rows);
    EXPECT_NE(rows[0].find("index"), std::string::npos) << rows[0];

    // A linked page opened by itself is a book: listed beside the first, and opening the index
    // again does not take it back.
    rows = OpenThenList(device, host + "/intro.html");
    EXPECT_EQ(rows.size(), 2u) << ::testing::PrintToString(rows);
    rows = OpenThenList(device, host + "/index.html");
    EXPECT_EQ(rows.size(), 2u) << ::testing::PrintToString(rows);
}

}  // namespace
}  // namespace fvt::test

// A manual's page laid out as a table wider than the screen, read in the program at both screen
// sizes: a narrow menu column holding a search form beside a body column with the text. PageDown
// alone goes down the menu, then across to the body and down it to its last word; PageUp goes
// back over the same views, Home and End show the first and last, and reopening shows the view
// left; words cut at the view's side show whole letters; the form's controls move with the view
// and are cut at its side.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "shell/program_runs.h"
#include "support/bookfiles/book_builder.h"
#include "support/media/image/picture_fixtures.h"
#include "support/platform/temp_device.h"
#include "support/shell/program_launcher.h"

namespace fvt::test {
namespace {

const char* const kScreens[] = {"240x320", "480x640@192"};
constexpr int kMenuItems = 24;
constexpr int kParagraphs = 12;
constexpr int kWordsPerParagraph = 30;
constexpr int kTurns = 60;

constexpr const char* kSearchForm =
    "<form action=\"search.php\" method=\"get\"><input name=\"query\" type=\"text\" "
    "size=\"18\" value=\"\"><input name=\"submit\" type=\"submit\" value=\"Search ...\">"
    "</form>";

std::vector<std::string> On(const std::string& screen) {
    return {"FOLIVANT_SCREEN=" + screen};
}

// Device pixels to a screen pixel.
int ScaleOf(const std::string& screen) {
    return screen == "240x320" ? 1 : 2;
}

const std::vector<std::string> kManualBook = {"\\storage\\eBooks\\manual.html"};

// The first screen the program shows of `html` as the manual.
void FirstScreen(const std::string& html, const std::string& screen, Picture& shown) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    device.WriteHost("storage/eBooks/manual.html", html);
    const std::string shot = device.OutsidePath("a.png");
    ASSERT_EQ(
        RunSteps(device, kManualBook, "idle\nscreenshot " + shot + "\nquit\n", On(screen)).status,
        0);
    shown = ReadPicture(shot);
}

std::string BodyWord(int paragraph, int word) {
    return "b" + std::to_string(paragraph) + "w" + std::to_string(word);
}

// As the manuals of a system's documentation are written: a search form over the menu (after
// `formAfter` of its items) in a column of fixed width, the text in the column beside it, and a
// link after the table.
std::string Manual(int formAfter = 0, const std::string& form = kSearchForm,
                   const std::string& after = "") {
    std::string html =
        "<html><head><title>Reference</title></head><body bgcolor=\"#8b7765\">"
        "<table border=\"0\" width=\"100%\" cellpadding=\"4\" cellspacing=\"0\"><tr>"
        "<td valign=\"top\" width=\"200\" bgcolor=\"#eecfa1\"><center><b>Main Menu</b></center>"
        "<ul>";
    for (int i = 1; i <= kMenuItems; ++i) {
        if (i == formAfter + 1) html += "</ul>" + form + "<ul>";
        html += "<li><a href=\"m" + std::to_string(i) + ".html\">Menu " + std::to_string(i) +
                "</a></li>";
    }
    html += "</ul></td><td valign=\"top\" bgcolor=\"#fffacd\"><h2>Reference</h2>";
    for (int p = 1; p <= kParagraphs; ++p) {
        html += "<p>";
        for (int w = 1; w <= kWordsPerParagraph; ++w) html += BodyWord(p, w) + " ";
        html += "</p>";
    }
    return html + "</td></tr></table>" + after +
           "<p><a href=\"index.html\">Home</a></p></body></html>";
}

std::vector<std::string> WordsOf(const std::vector<std::string>& lines) {
    std::vector<std::string> words;
    for (const std::string& line : lines) {
        std::istringstream in(line);
        for (std::string w; in >> w;) words.push_back(w);
    }
    return words;
}

bool IsBodyWord(const std::string& w) {
    return w.size() > 3 && w[0] == 'b' && w.find('w') != std::string::npos &&
           std::all_of(w.begin() + 1, w.end(), [](char c) { return c == 'w' || isdigit(c); });
}

// The order of a body word in the text.
int RankOf(const std::string& w) {
    const size_t at = w.find('w');
    return std::stoi(w.substr(1, at - 1)) * 1000 + std::stoi(w.substr(at + 1));
}

struct Reading {
    std::vector<std::vector<std::string>> forward;  // the page text after each PageDown
    std::vector<std::vector<std::string>> back;     // then after each PageUp
};

// Pages the manual forward kTurns times, then back as many times, writing each page's text.
Reading Read(const std::string& screen) {
    TempDevice device;
    EXPECT_TRUE(device.ok());
    device.WriteHost("storage/eBooks/manual.html", Manual());
    const std::string o = device.outside() + "/";
    const std::string steps = "idle\n" + Presses("0x22", kTurns, "f", PageTextIn(o)) +
                              Presses("0x21", kTurns, "b", PageTextIn(o));
    const ProgramResult run = RunSteps(device, kManualBook, steps + "quit\n", On(screen));
    EXPECT_EQ(run.status, 0) << ReadFile(o + "errors.txt");
    return {ReadPageTexts(o, "f", kTurns), ReadPageTexts(o, "b", kTurns)};
}

TEST(ProgramWideTables, PageDownReadsTheMenuThenTheWholeBodyAndPageUpRetracesIt) {
    for (const char* screen : kScreens) {
        SCOPED_TRACE(screen);
        const Reading r = Read(screen);
        // Forward until PageDown changes nothing more (the last view of the last page).
        size_t end = 0;
        while (end + 1 < r.forward.size() && r.forward[end + 1] != r.forward[end]) ++end;
        ASSERT_LT(end + 1, r.forward.size()) << "PageDown never reached the end";
        // Every view shows something, and no step shows the same as the one before.
        for (size_t i = 0; i <= end; ++i) EXPECT_FALSE(r.forward[i].empty()) << "view " << i;

        // Every word of the body is shown whole, first in the order of the text.
        std::map<std::string, size_t> firstSeen;
        for (size_t i = 0; i <= end; ++i)
            for (const std::string& w : WordsOf(r.forward[i]))
                if (IsBodyWord(w)) firstSeen.emplace(w, i);
        std::vector<std::string> missing;
        for (int p = 1; p <= kParagraphs; ++p)
            for (int w = 1; w <= kWordsPerParagraph; ++w)
                if (!firstSeen.count(BodyWord(p, w))) missing.push_back(BodyWord(p, w));
        EXPECT_TRUE(missing.empty()) << missing.size() << " body words never shown, the first "
                                     << (missing.empty() ? "" : missing.front());
        std::vector<std::pair<int, size_t>> order;
        for (const auto& [w, view] : firstSeen) order.emplace_back(RankOf(w), view);
        std::sort(order.begin(), order.end());
        for (size_t k = 1; k < order.size(); ++k)
            EXPECT_LE(order[k - 1].second, order[k].second) << "word " << order[k].first;
        // The menu comes first: its last item shows before the body's first word.
        size_t menuEnd = r.forward.size();
        for (size_t i = 0; i <= end && menuEnd == r.forward.size(); ++i)
            for (const std::string& line : r.forward[i])
                if (line.find("Menu " + std::to_string(kMenuItems)) != std::string::npos)
                    menuEnd = i;
        ASSERT_LT(menuEnd, r.forward.size()) << "the menu's last item never shown";
        ASSERT_FALSE(order.empty());
        EXPECT_LE(menuEnd, order.front().second);

        // PageUp from the end goes back over the same views to the first.
        ASSERT_GT(r.back.size(), end + 1);
        for (size_t k = 0; k <= end; ++k)
            EXPECT_EQ(r.back[k], r.forward[end - k]) << "PageUp " << k;
    }
}

// Home shows the first view PageDown started from, End the last one it reaches.
TEST(ProgramWideTables, HomeAndEndShowTheFirstAndLastViewsPageDownReaches) {
    for (const char* screen : kScreens) {
        SCOPED_TRACE(screen);
        TempDevice device;
        ASSERT_TRUE(device.ok());
        device.WriteHost("storage/eBooks/manual.html", Manual());
        const std::string o = device.outside() + "/";
        std::string steps = "idle\npagetext " + o + "first.txt\n";
        for (int i = 0; i < kTurns; ++i) steps += "key 0x22\nidle\n";
        steps += "pagetext " + o +
                 "last.txt\nkey 0x21\nidle\nkey 0x21\nidle\nkey 0x24\nidle\n"
                 "pagetext " +
                 o + "home.txt\nkey 0x23\nidle\npagetext " + o + "end.txt\nquit\n";
        ASSERT_EQ(RunSteps(device, kManualBook, steps, On(screen)).status, 0)
            << ReadFile(o + "errors.txt");
        const auto first = ReadLines(o + "first.txt"), last = ReadLines(o + "last.txt");
        ASSERT_NE(first, last);
        EXPECT_EQ(ReadLines(o + "home.txt"), first);
        EXPECT_EQ(ReadLines(o + "end.txt"), last);
    }
}

// A book opened for the first time and read view by view through the table on its first
// page: reopened, it shows the view the reader left (the first one came back: paging through
// the table's views did not count as moving, so the place was never written).
TEST(ProgramWideTables, ReopenedOnAViewOfTheFirstPageItShowsThatView) {
    for (const char* screen : kScreens) {
        for (int downs : {1, 3}) {
            SCOPED_TRACE(std::string(screen) + ", PageDowns: " + std::to_string(downs));
            TempDevice device;
            ASSERT_TRUE(device.ok());
            device.WriteHost("storage/eBooks/manual.html", Manual());
            const std::string left = device.OutsidePath("left.txt");
            const std::string back = device.OutsidePath("back.txt");
            ASSERT_EQ(RunSteps(device, kManualBook,
                               "idle\n" +
                                   Presses("0x22", downs, "",
                                           [](const std::string&) { return std::string(); }) +
                                   "pagetext " + left + "\nquit\n",
                               On(screen))
                          .status,
                      0);
            ASSERT_EQ(
                RunSteps(device, kManualBook, "idle\npagetext " + back + "\nquit\n", On(screen))
                    .status,
                0);
            const std::vector<std::string> shown = ReadLines(left);
            ASSERT_FALSE(shown.empty());
            EXPECT_EQ(ReadLines(back), shown);
        }
    }
}

// The notes after a manual's table: enough paragraphs for pages of their own.
std::string Notes() {
    std::string html = "<h3>Notes</h3>";
    for (int p = 1; p <= 8; ++p) {
        html += "<p>";
        for (int w = 1; w <= 40; ++w)
            html += "n" + std::to_string(p) + "x" + std::to_string(w) + " ";
        html += "</p>";
    }
    return html;
}

// The position bar's page number: the bar's right end, above the soft-key bar.
bool NumbersDiffer(const Picture& a, const Picture& b) {
    const int scale = a.width / 240;
    for (int y = a.height - 44 * scale; y < a.height - 26 * scale; ++y)
        for (int x = a.width - 30 * scale; x < a.width; ++x)
            if (a.At(x, y) != b.At(x, y)) return true;
    return false;
}

// Each view PageDown shows of the table counts as a page: with the position bar on, PageDown
// and PageUp show a new number at every step (it stayed 1 through the views), the pages after
// the table go on counting, and Go to page n shows the view n - 1 PageDowns reach, numbered
// as then; a number past the count shows the last page, as End does.
TEST(ProgramWideTables, EachViewPageDownShowsIsAPageForThePositionBarAndGoToPage) {
    for (const char* screen : kScreens) {
        SCOPED_TRACE(screen);
        TempDevice device;
        ASSERT_TRUE(device.ok());
        device.WriteHost("storage/eBooks/manual.html", Manual(0, kSearchForm, Notes()));
        const std::string o = device.outside() + "/";
        auto shot = [&](const std::string& name) {
            return "screenshot " + o + name + ".png\npagetext " + o + name + ".txt\n";
        };
        std::string steps = "idle\nmenu 40172\nidle\n" + Presses("0x22", kTurns, "f", shot) +
                            Presses("0x21", kTurns, "b", shot);
        for (int n : {2, 5, 9, 9999})
            steps += "text " + std::to_string(n) + "\nanswer 0\nmenu 40092\nidle\n" +
                     shot("g" + std::to_string(n));
        steps += "key 0x23\nidle\n" + shot("end");
        ASSERT_EQ(RunSteps(device, kManualBook, steps + "quit\n", On(screen)).status, 0)
            << ReadFile(o + "errors.txt");
        auto text = [&](const std::string& name) { return ReadLines(o + name + ".txt"); };
        auto picture = [&](const std::string& name) { return ReadPicture(o + name + ".png"); };
        // Forward to the last page's foot, where PageDown changes nothing more.
        std::vector<Picture> forward;
        size_t end = 0;
        while (end + 1 < static_cast<size_t>(kTurns) &&
               text("f" + std::to_string(end + 1)) != text("f" + std::to_string(end)))
            ++end;
        ASSERT_LT(end + 1, static_cast<size_t>(kTurns)) << "PageDown never reached the end";
        for (size_t i = 0; i <= end; ++i) forward.push_back(picture("f" + std::to_string(i)));
        ASSERT_GT(forward.front().width, 0);
        // The table's views and the notes' pages after them.
        size_t views = 0;
        while (views <= end &&
               Joined(text("f" + std::to_string(views))).find("n1x1") == std::string::npos)
            ++views;
        ASSERT_GT(views, 3u) << "the table is read in a few views";
        ASSERT_LT(views, end) << "the notes come after the table";
        for (size_t i = 1; i <= end; ++i)
            EXPECT_TRUE(NumbersDiffer(forward[i - 1], forward[i])) << "PageDown " << i;
        // Back over the same pages, each with the number it had.
        for (size_t k = 0; k <= end; ++k) {
            ASSERT_EQ(text("b" + std::to_string(k)), text("f" + std::to_string(end - k)));
            EXPECT_FALSE(NumbersDiffer(picture("b" + std::to_string(k)), forward[end - k]))
                << "PageUp " << k;
        }
        for (size_t n : {2u, 5u, 9u}) {
            ASSERT_LE(n, end + 1);
            EXPECT_EQ(text("g" + std::to_string(n)), text("f" + std::to_string(n - 1)))
                << "Go to page " << n;
            EXPECT_FALSE(NumbersDiffer(picture("g" + std::to_string(n)), forward[n - 1]))
                << "Go to page " << n;
        }
        EXPECT_EQ(text("g9999"), text("end"));
        EXPECT_FALSE(NumbersDiffer(picture("g9999"), picture("end")));
        EXPECT_FALSE(NumbersDiffer(picture("end"), forward[end])) << "End";
    }
}

// In a long book, where the page count is an estimate, Go to page n reaches the view of the
// table on its first page that n - 1 PageDowns reach, numbered as then (page n was looked for
// at the estimate of its place in the text, inside the table or past it).
TEST(ProgramWideTables, GoToPageReachesATablesViewInALongBook) {
    std::string notes;
    for (int p = 0; p < 40; ++p) notes += Notes();
    for (const char* screen : kScreens) {
        SCOPED_TRACE(screen);
        TempDevice device;
        ASSERT_TRUE(device.ok());
        device.WriteHost("storage/eBooks/manual.html", Manual(0, kSearchForm, notes));
        const std::string o = device.outside() + "/";
        auto shot = [&](const std::string& name) {
            return "screenshot " + o + name + ".png\npagetext " + o + name + ".txt\n";
        };
        constexpr int kSteps = 8;
        std::string steps = "idle\nmenu 40172\nidle\n" + Presses("0x22", kSteps, "f", shot);
        for (int n : {5, 3, 8})
            steps += "text " + std::to_string(n) + "\nanswer 0\nmenu 40092\nidle\n" +
                     shot("g" + std::to_string(n));
        ASSERT_EQ(RunSteps(device, kManualBook, steps + "quit\n", On(screen)).status, 0)
            << ReadFile(o + "errors.txt");
        auto text = [&](const std::string& name) { return ReadLines(o + name + ".txt"); };
        ASSERT_EQ(Joined(text("f" + std::to_string(kSteps - 1))).find("n1x1"), std::string::npos)
            << "the table is read in more views";
        for (int n : {5, 3, 8}) {
            const std::string g = "g" + std::to_string(n), f = "f" + std::to_string(n - 1);
            EXPECT_EQ(text(g), text(f)) << "Go to page " << n;
            EXPECT_FALSE(NumbersDiffer(ReadPicture(o + g + ".png"), ReadPicture(o + f + ".png")))
                << "Go to page " << n;
        }
    }
}

// A column of words wider than the view (more than a few pixels wider: such a column's view is
// slid to fit it): the words cut at the view's side show their whole letters, so no letter's
// ink reaches the view's last columns (a letter cut in half did).
TEST(ProgramWideTables, AWordCutAtTheViewsSideShowsOnlyWholeLetters) {
    std::string words;
    const char* const kWords[] = {"Wax", "hex", "vow", "zig", "max", "box", "fix", "jinx", "oxen"};
    for (int i = 0; i < 300; ++i) words += std::string(kWords[i % 9]) + " ";
    for (const char* screen : kScreens) {
        SCOPED_TRACE(screen);
        TempDevice device;
        ASSERT_TRUE(device.ok());
        device.WriteHost(
            "storage/eBooks/wide.html",
            "<html><body bgcolor=\"#8b7765\"><table cellpadding=\"4\" cellspacing=\"0\">"
            "<tr><td valign=\"top\" width=\"480\" bgcolor=\"#fffacd\">" +
                words + "</td><td valign=\"top\">Beside</td></tr></table></body></html>");
        const std::string o = device.outside() + "/";
        ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\wide.html"},
                           "idle\nscreenshot " + o + "wide.png\nquit\n", On(screen))
                      .status,
                  0)
            << ReadFile(o + "errors.txt");
        const Picture p = ReadPicture(o + "wide.png");
        ASSERT_GT(p.width, 0);
        const int scale = p.width / 240;
        auto is = [&](int x, int y, uint32_t rgb) {
            const uint32_t v = p.At(x, y);
            auto near = [](int a, int b) { return a - b <= 8 && b - a <= 8; };
            return near(v & 0xFF, rgb >> 16 & 0xFF) && near(v >> 8 & 0xFF, rgb >> 8 & 0xFF) &&
                   near(v >> 16 & 0xFF, rgb & 0xFF);
        };
        // The view's right edge: the last column of the cell's colour.
        int edge = -1;
        for (int x = p.width - 1; x >= 0 && edge < 0; --x)
            if (is(x, p.height / 2, 0xFFFACD)) edge = x;
        ASSERT_GT(edge, p.width / 2);
        int cut = 0, ink = 0;
        for (int y = 30 * scale; y < p.height - 30 * scale; ++y) {
            for (int x = edge - scale; x <= edge; ++x) cut += is(x, y, 0x000000);
            for (int x = 0; x < edge; ++x) ink += is(x, y, 0x000000);
        }
        EXPECT_GT(ink, 1000) << "the words are drawn";
        EXPECT_EQ(cut, 0) << "letters reach the view's side";
    }
}

// The rows of the page's left half where the search field's white shows, and where it lies
// across on its middle row.
struct Field {
    std::vector<int> rows;
    int left = 0, right = 0;
    int Middle() const { return rows[rows.size() / 2]; }
};

Field FieldOn(const Picture& p) {
    Field f;
    auto white = [&](int x, int y) {
        const uint32_t v = p.At(x, y);
        return (v & 0xFF) >= 250 && (v >> 8 & 0xFF) >= 250 && (v >> 16 & 0xFF) >= 250;
    };
    // The page, between the title bar and the menu bar.
    const int scale = p.width / 240;
    for (int y = 30 * scale; y < p.height - 30 * scale; ++y) {
        int n = 0;
        for (int x = 0; x < p.width / 2; ++x) n += white(x, y);
        // The first band of such rows (the button below has a white edge).
        if (n >= p.width / 8 && (f.rows.empty() || f.rows.back() == y - 1))
            f.rows.push_back(y);
        else if (!f.rows.empty())
            break;
    }
    if (f.rows.empty()) return f;
    const int y = f.Middle();
    f.left = p.width;
    for (int x = 0; x < p.width; ++x)
        if (white(x, y)) f.left = std::min(f.left, x), f.right = std::max(f.right, x);
    return f;
}

// Dark pixels (typed letters) inside the field's rows and columns.
int InkIn(const Picture& p, const Field& f) {
    int n = 0;
    for (int y : f.rows)
        for (int x = f.left; x <= f.right; ++x) {
            const uint32_t v = p.At(x, y);
            n += (v & 0xFF) < 100 && (v >> 8 & 0xFF) < 100 && (v >> 16 & 0xFF) < 100;
        }
    return n;
}

// The first screen and the screen after PageDown, with the form after `formAfter` menu items.
std::pair<Picture, Picture> FirstTwoScreens(int formAfter, const std::string& screen) {
    TempDevice device;
    EXPECT_TRUE(device.ok());
    device.WriteHost("storage/eBooks/manual.html", Manual(formAfter));
    const std::string o = device.outside() + "/";
    const ProgramResult run = RunSteps(
        device, kManualBook,
        "idle\nscreenshot " + o + "a.png\nkey 0x22\nidle\nscreenshot " + o + "b.png\nquit\n",
        On(screen));
    EXPECT_EQ(run.status, 0) << ReadFile(o + "errors.txt");
    return {ReadPicture(o + "a.png"), ReadPicture(o + "b.png")};
}

// The search field placed across the bottom of the menu's first view shows cut at the view's
// side (it was hidden); PageDown brings it up, and a tap then reaches it where it shows, not
// where it was.
TEST(ProgramWideTables, AFieldInTheMenuIsCutAtTheViewAndItsTapsFollowIt) {
    for (const char* screen : kScreens) {
        SCOPED_TRACE(screen);
        // The field is placed lower and lower down the menu until the view's bottom cuts it.
        std::vector<std::pair<Field, Field>> screens;
        size_t whole = 0;
        for (int k = 0; k < kMenuItems; ++k) {
            auto [a, b] = FirstTwoScreens(k, screen);
            ASSERT_GT(a.width, 0);
            screens.emplace_back(FieldOn(a), FieldOn(b));
            whole = std::max(whole, screens.back().first.rows.size());
        }
        const int scale = ScaleOf(screen);
        int formAfter = -1;
        for (int k = 0; k < kMenuItems && formAfter < 0; ++k) {
            const auto& [a, b] = screens[static_cast<size_t>(k)];
            if (!a.rows.empty() && a.rows.size() < whole &&
                b.rows.size() >= static_cast<size_t>(6 * scale))
                formAfter = k;
        }
        ASSERT_GE(formAfter, 0) << "the field never showed cut at the bottom of the view";
        const Field before = screens[static_cast<size_t>(formAfter)].first;
        const Field after = screens[static_cast<size_t>(formAfter)].second;
        // Moved up with the view.
        EXPECT_LT(after.rows.front(), before.rows.front());

        // After PageDown: a tap where the field was, a letter; a tap where it is, a letter.
        TempDevice device;
        ASSERT_TRUE(device.ok());
        device.WriteHost("storage/eBooks/manual.html", Manual(formAfter));
        const std::string o = device.outside() + "/";
        const std::string x = std::to_string(after.right - 6);
        const std::string steps = "idle\nkey 0x22\nidle\nscreenshot " + o + "b.png\ntap " + x +
                                  " " + std::to_string(before.Middle()) +
                                  "\nidle\nchar q\nidle\nscreenshot " + o + "c.png\ntap " + x +
                                  " " + std::to_string(after.Middle()) +
                                  "\nidle\nchar w\nidle\nscreenshot " + o + "d.png\nquit\n";
        ASSERT_EQ(RunSteps(device, kManualBook, steps, On(screen)).status, 0)
            << ReadFile(o + "errors.txt");
        const Picture b = ReadPicture(o + "b.png"), c = ReadPicture(o + "c.png"),
                      d = ReadPicture(o + "d.png");
        ASSERT_GT(d.width, 0);
        EXPECT_EQ(FieldOn(b).rows, after.rows);
        EXPECT_EQ(InkIn(c, after), InkIn(b, after)) << "the tap where the field was reached it";
        EXPECT_GT(InkIn(d, after), InkIn(c, after) + 5) << "the tap on the field missed it";
    }
}

// A check box and, on the line under it, a drop-down in the menu, in place of the search form.
constexpr const char* kChoiceForm =
    "<form action=\"search.php\"><input type=\"checkbox\" name=\"all\" value=\"1\"><br>"
    "<select name=\"part\"><option>One</option><option>Two</option></select></form>";

// The dark grey of a control's frame (the links' blue is not it), and the white inside it (the
// menu's cell has a colour of its own).
bool Ink(uint32_t v) {
    const int r = v & 0xFF, g = v >> 8 & 0xFF, b = v >> 16 & 0xFF;
    return std::max({r, g, b}) < 110 && std::max({r, g, b}) - std::min({r, g, b}) < 40;
}
bool White(uint32_t v) {
    return (v & 0xFF) >= 250 && (v >> 8 & 0xFF) >= 250 && (v >> 16 & 0xFF) >= 250;
}

// The longest run of white along row y within [from, to), as [left, right).
std::pair<int, int> WhiteRun(const Picture& p, int y, int from, int to) {
    std::pair<int, int> best{0, 0};
    for (int x = from; x < to;) {
        int end = x;
        while (end < to && White(p.At(end, y))) ++end;
        if (end - x > best.second - best.first) best = {x, end};
        x = end + 1;
    }
    return best;
}

// The white inside a control's frame on a screen, and whether the view cuts the control with
// enough of it left to tap: its white shows `tappable` rows down and no frame closes it below.
struct Frame {
    int top = -1, bottom = -1, left = 0, right = 0;
    bool cut = false;
    bool Found() const { return top >= 0; }
};

// The first white `least` to `most` wide in the rows [fromY, toY) and the columns [0, toX).
Frame FrameIn(const Picture& p, int fromY, int toY, int toX, int least, int most, int tappable) {
    Frame f;
    for (int y = fromY; y < toY && !f.Found(); ++y) {
        const auto [l, r] = WhiteRun(p, y, 0, toX);
        if (r - l >= least && r - l <= most) f = Frame{y, y, l, r, false};
    }
    if (!f.Found()) return f;
    // Down its white left side to the frame under it, or to the view's foot.
    while (f.bottom + 1 < toY && White(p.At(f.left, f.bottom + 1))) ++f.bottom;
    f.cut = f.bottom >= f.top + tappable && !(f.bottom + 1 < toY && Ink(p.At(f.left, f.bottom + 1)));
    return f;
}

// The check box on a screen, and the drop-down under it.
std::pair<Frame, Frame> ChoicesOn(const Picture& p) {
    const int scale = p.width / 240, top = 30 * scale, bottom = p.height - 26 * scale;
    const Frame box = FrameIn(p, top, bottom, p.width / 2, 6 * scale, 20 * scale, 4 * scale);
    const int below = box.Found() ? box.bottom + 1 : top;
    return {box, FrameIn(p, below, bottom, p.width / 2, 30 * scale, 150 * scale, 5 * scale)};
}

// Pixels that differ in the rows [top, bottom) between columns [left, right).
int Changed(const Picture& a, const Picture& b, int top, int bottom, int left, int right) {
    int n = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x) n += a.At(x, y) != b.At(x, y);
    return n;
}

// With the form after `formAfter` menu items: how many pixels inside the frame's shown part
// change with a tap on it, a third of the way across and two rows down.
int ChangedByATap(int formAfter, const Frame& f, const std::string& screen) {
    TempDevice device;
    EXPECT_TRUE(device.ok());
    device.WriteHost("storage/eBooks/manual.html", Manual(formAfter, kChoiceForm));
    const std::string o = device.outside() + "/";
    const int scale = ScaleOf(screen);
    const std::string at = std::to_string(f.left + (f.right - f.left) / 3) + " " +
                           std::to_string(f.top + 2 * scale);
    const ProgramResult run = RunSteps(
        device, kManualBook,
        "idle\nscreenshot " + o + "a.png\ntap " + at + "\nidle\nscreenshot " + o + "b.png\nquit\n",
        On(screen));
    EXPECT_EQ(run.status, 0) << ReadFile(o + "errors.txt");
    const Picture a = ReadPicture(o + "a.png"), b = ReadPicture(o + "b.png");
    if (a.width == 0 || b.width != a.width) return -1;
    return Changed(a, b, f.top, f.bottom + 1, f.left, f.right);
}

// A drop-down and a check box placed across the bottom of the menu's first view show the part
// of them the view holds, and a tap where they show reaches them (they were hidden from taps):
// the box is ticked, the drop-down takes the focus.
TEST(ProgramWideTables, ADropDownAndACheckBoxCutByTheViewTakeTapsWhereTheyShow) {
    for (const char* screen : kScreens) {
        SCOPED_TRACE(screen);
        // The form placed lower and lower down the menu until the view's bottom cuts each.
        int listAfter = -1, boxAfter = -1;
        Frame list, box;
        for (int k = 0; k < kMenuItems && (listAfter < 0 || boxAfter < 0); ++k) {
            Picture p;
            ASSERT_NO_FATAL_FAILURE(FirstScreen(Manual(k, kChoiceForm), screen, p));
            ASSERT_GT(p.width, 0);
            const auto [b, l] = ChoicesOn(p);
            if (listAfter < 0 && l.cut) listAfter = k, list = l;
            if (boxAfter < 0 && b.cut) boxAfter = k, box = b;
        }
        ASSERT_GE(listAfter, 0) << "the drop-down never showed cut by the view";
        ASSERT_GE(boxAfter, 0) << "the check box never showed cut by the view";
        EXPECT_GT(ChangedByATap(boxAfter, box, screen), 4)
            << "the tap on the box where it shows did not tick it";
        EXPECT_GT(ChangedByATap(listAfter, list, screen), 20)
            << "the tap on the drop-down where it shows did not reach it";
    }
}

// A list of six options shown four rows at a time in place, in the menu's search form.
constexpr const char* kListForm =
    "<form action=\"search.php\"><select name=\"part\" size=\"4\"><option>One</option>"
    "<option>Two</option><option>Three</option><option>Four</option><option>Five</option>"
    "<option>Six</option></select></form>";

// The selected row's colour.
bool Highlight(uint32_t v) {
    const int r = v & 0xFF, b = v >> 16 & 0xFF;
    return r < 100 && b > r + 60;
}

// A list shown in place on a screen, in the rows [fromY, toY) and the columns [0, toX): the
// rows where white and the selected row's colour fill most of its width (its options' letters
// aside), and whether the view cuts it (no frame closes it below).
Frame ListIn(const Picture& p, int fromY, int toY, int toX, int least, int tappable) {
    const int scale = p.width / 240;
    auto isListRow = [&](int y) {
        int white = 0, marked = 0;
        for (int x = 0; x < toX; ++x) white += White(p.At(x, y)), marked += Highlight(p.At(x, y));
        return white >= 10 * scale && white + marked >= least;
    };
    Frame f;
    for (int y = fromY; y < toY && !f.Found(); ++y)
        if (isListRow(y)) f.top = f.bottom = y;
    if (!f.Found()) return f;
    while (f.bottom + 1 < toY && isListRow(f.bottom + 1)) ++f.bottom;
    const int y = (f.top + f.bottom) / 2;
    f.left = toX;
    for (int x = 0; x < toX; ++x)
        if (White(p.At(x, y)) || Highlight(p.At(x, y)))
            f.left = std::min(f.left, x), f.right = std::max(f.right, x);
    const int middle = (f.left + f.right) / 2;
    f.cut = f.bottom >= f.top + tappable && !Ink(p.At(middle, f.bottom + 1));
    return f;
}

// How many menu items come before the list the first time the first view's bottom cuts it in
// its second row, and where it shows then; -1 when it never does.
int CutListPlacement(const std::string& screen, Frame& list) {
    const int scale = ScaleOf(screen);
    for (int k = 0; k < kMenuItems; ++k) {
        Picture p;
        FirstScreen(Manual(k, kListForm), screen, p);
        if (p.width == 0) return -1;
        list = ListIn(p, 30 * scale, p.height - 26 * scale, p.width / 2, 30 * scale, 26 * scale);
        if (list.cut) return k;
    }
    return -1;
}

// A list shown in place across the bottom of the menu's first view shows the part of it the
// view holds (it was hidden), a tap on a row where it shows selects that row, and a tap where
// the view cuts it off does not.
TEST(ProgramWideTables, AListShownInPlaceCutByTheViewTakesTapsWhereItShows) {
    for (const char* screen : kScreens) {
        SCOPED_TRACE(screen);
        const int scale = ScaleOf(screen);
        Frame list;
        const int listAfter = CutListPlacement(screen, list);
        ASSERT_GE(listAfter, 0) << "the list never showed cut by the view";
        // A tap just under the view, where the list would go on uncut, then one on its second
        // row, where the view shows it.
        TempDevice device;
        ASSERT_TRUE(device.ok());
        device.WriteHost("storage/eBooks/manual.html", Manual(listAfter, kListForm));
        const std::string o = device.outside() + "/";
        const std::string x = std::to_string(list.left + (list.right - list.left) / 3);
        const int row = list.bottom - 3 * scale;
        ASSERT_EQ(RunSteps(device, kManualBook,
                           "idle\nscreenshot " + o + "a.png\ntap " + x + " " +
                               std::to_string(list.bottom + 2 * scale) + "\nidle\nscreenshot " + o +
                               "b.png\ntap " + x + " " + std::to_string(row) +
                               "\nidle\nscreenshot " + o + "c.png\nquit\n",
                           On(screen))
                      .status,
                  0)
            << ReadFile(o + "errors.txt");
        const Picture a = ReadPicture(o + "a.png"), b = ReadPicture(o + "b.png"),
                      c = ReadPicture(o + "c.png");
        ASSERT_GT(c.width, 0);
        EXPECT_EQ(Changed(a, b, list.top, list.bottom + 1, list.left, list.right), 0)
            << "a tap outside the view reached the list";
        EXPECT_GT(Changed(b, c, list.top, list.bottom + 1, list.left, list.right), 20)
            << "the tap on the list where it shows selected nothing";
    }
}

// A picture of one colour.
std::vector<std::uint8_t> SolidGif(int width, int height, Rgb colour) {
    GifSpec gif;
    gif.width = static_cast<std::uint32_t>(width);
    gif.height = static_cast<std::uint32_t>(height);
    gif.palette = {colour, {0xFF, 0xFF, 0xFF}};
    gif.pixels.assign(static_cast<size_t>(width * height), 0);
    return WriteGif(gif);
}

const Rgb kFigureColours[] = {{0xE0, 0x10, 0x10}, {0x10, 0xB0, 0x10}, {0x10, 0x10, 0xE0},
                              {0xC0, 0x10, 0xC0}, {0x10, 0xC0, 0xC0}, {0xF0, 0x90, 0x00}};
constexpr int kFigureHeight = 70;

bool IsColour(uint32_t v, Rgb c) {
    auto near = [](int a, int b) { return a - b <= 12 && b - a <= 12; };
    return near(v & 0xFF, c.r) && near(v >> 8 & 0xFF, c.g) && near(v >> 16 & 0xFF, c.b);
}

// The tallest band of rows on a screen holding the colour.
int TallestBand(const Picture& p, Rgb c) {
    int best = 0, run = 0;
    for (int y = 0; y < p.height; ++y) {
        bool found = false;
        for (int x = 0; x < p.width && !found; x += 2) found = IsColour(p.At(x, y), c);
        run = found ? run + 1 : 0;
        best = std::max(best, run);
    }
    return best;
}

// A manual's figures, each alone on its line between the body's paragraphs, and the menu's
// list shown in place where the first view cuts it: PageDown stops at such lines as at lines
// of words, so each figure and the list show whole in a view (a figure or the list cut at a
// view's foot was passed over, cut again at the next view's top), and no step shows what the
// one before showed.
TEST(ProgramWideTables, PicturesAndControlsAloneOnTheirLinesAreReadWhole) {
    for (const char* screen : kScreens) {
        SCOPED_TRACE(screen);
        const int scale = ScaleOf(screen);
        Frame cut;
        const int listAfter = CutListPlacement(screen, cut);
        ASSERT_GE(listAfter, 0) << "the list never showed cut by the view";
        TempDevice device;
        ASSERT_TRUE(device.ok());
        std::string html = Manual(listAfter, kListForm);
        std::string figures;
        for (size_t i = 0; i < std::size(kFigureColours); ++i) {
            const std::string name = "fig" + std::to_string(i) + ".gif";
            const std::vector<std::uint8_t> gif = SolidGif(60, kFigureHeight, kFigureColours[i]);
            device.WriteHost("storage/eBooks/" + name, std::string(gif.begin(), gif.end()));
            // After every other paragraph of the body.
            const std::string para = "<p>" + BodyWord(static_cast<int>(2 * i + 2), 1) + " ";
            html.replace(html.find(para), 0, "<p><img src=\"" + name + "\"></p>");
        }
        device.WriteHost("storage/eBooks/manual.html", html);
        const std::string o = device.outside() + "/";
        auto shot = [&](const std::string& name) { return "screenshot " + o + name + ".png\n"; };
        const std::string steps = "idle\n" + Presses("0x22", kTurns, "v", shot);
        ASSERT_EQ(RunSteps(device, kManualBook, steps + "quit\n", On(screen)).status, 0)
            << ReadFile(o + "errors.txt");
        std::vector<Picture> views;
        for (int i = 0; i < kTurns; ++i)
            views.push_back(ReadPicture(o + "v" + std::to_string(i) + ".png"));
        size_t end = 0;
        while (end + 1 < views.size() && views[end + 1].pixels != views[end].pixels) ++end;
        ASSERT_LT(end + 1, views.size()) << "PageDown never reached the end";
        ASSERT_GT(views.front().width, 0);
        for (size_t i = 0; i < std::size(kFigureColours); ++i) {
            int tallest = 0;
            for (size_t v = 0; v <= end; ++v)
                tallest = std::max(tallest, TallestBand(views[v], kFigureColours[i]));
            EXPECT_GE(tallest, kFigureHeight) << "figure " << i << " never shown whole";
        }
        bool listWhole = false;
        for (size_t v = 0; v <= end && !listWhole; ++v) {
            const Frame f = ListIn(views[v], 30 * scale, views[v].height - 26 * scale,
                                   views[v].width / 2, 30 * scale, 26 * scale);
            listWhole = f.Found() && !f.cut && f.bottom - f.top >= cut.bottom - cut.top;
        }
        EXPECT_TRUE(listWhole) << "the list never shown whole";
    }
}

// Words numbered through a book: word n reads "wn".
struct NumberedWords {
    int word = 0;
    std::string operator()(int n) {
        std::string out;
        for (int i = 0; i < n; ++i) out += (i ? " w" : "w") + std::to_string(++word);
        return out;
    }
};

// Table t of a reference: two short paragraphs, a line of three words, then a table of five
// columns (a heading row and rows of values) wider than the screen; the cell of row r, column c
// reads "cellt_r_c".
std::string ParagraphsAndWideTable(int t, NumberedWords& words) {
    std::string html;
    for (int p = 0; p < 2; ++p) html += "<p>" + words(20 + (p * 13 + t * 5) % 50) + "</p>";
    html += "<p>" + words(3) + "</p><table border=\"1\"><tr>";
    for (int c = 0; c < 5; ++c)
        html += "<th>Heading" + std::to_string(t) + "x" + std::to_string(c) + "</th>";
    html += "</tr>";
    for (int r = 0; r < 9 + t % 3; ++r) {
        html += "<tr>";
        for (int c = 0; c < 5; ++c)
            html += "<td>cell" + std::to_string(t) + "_" + std::to_string(r) + "_" +
                    std::to_string(c) + " value</td>";
        html += "</tr>";
    }
    return html + "</table>";
}

// A reference of five such tables between paragraphs, and a closing paragraph.
std::string ParagraphsAndWideTables() {
    std::string html = "<html><body>";
    NumberedWords words;
    for (int t = 0; t < 5; ++t) html += ParagraphsAndWideTable(t, words);
    return html + "<p>" + words(40) + "</p></body></html>";
}

// What each of `turns` presses of `key` shows, after the steps `start`, in a first session
// with the book: the page text, and the screen when asked for.
struct Shown {
    std::vector<std::vector<std::string>> text;
    std::vector<Picture> screens;
};

Shown Press(const std::string& html, const std::string& screen, const std::string& start,
            const std::string& key, int turns, bool screens = false) {
    TempDevice device;
    EXPECT_TRUE(device.ok());
    device.WriteHost("storage/eBooks/tables.html", html);
    const std::string o = device.outside() + "/";
    auto view = [&](const std::string& name) {
        return (screens ? "screenshot " + o + name + ".png\n" : "") + "pagetext " + o + name +
               ".txt\n";
    };
    const std::string steps = "idle\n" + start + Presses(key, turns, "p", view);
    const ProgramResult run =
        RunSteps(device, {"\\storage\\eBooks\\tables.html"}, steps + "quit\n", On(screen));
    EXPECT_EQ(run.status, 0) << ReadFile(o + "errors.txt");
    Shown shown;
    for (int i = 0; i < turns; ++i) {
        const std::string name = o + "p" + std::to_string(i);
        shown.text.push_back(ReadLines(name + ".txt"));
        if (screens) shown.screens.push_back(ReadPicture(name + ".png"));
    }
    return shown;
}

// PageUp after PageDown through the whole book shows the views PageDown showed, in reverse,
// also once the pages are far behind (a page holding the text before a table and its first rows
// came back as a page starting at the table, its rows split elsewhere). Going back from End the
// pages may split elsewhere, but every word and cell PageDown showed still shows.
TEST(ProgramWideTables, PageUpRetracesTheViewsOfTablesBetweenParagraphs) {
    constexpr int kSteps = 100;
    for (const char* screen : kScreens) {
        SCOPED_TRACE(screen);
        const std::string html = ParagraphsAndWideTables();
        std::string down;
        for (int i = 0; i < kSteps; ++i) down += "key 0x22\nidle\n";
        const auto forward = Press(html, screen, "", "0x22", kSteps).text;
        const auto back = Press(html, screen, down, "0x21", kSteps).text;
        size_t end = 0;
        while (end + 1 < forward.size() && forward[end + 1] != forward[end]) ++end;
        ASSERT_LT(end + 1, forward.size()) << "PageDown never reached the end";
        ASSERT_GT(end, 20u) << "the tables are read in views";
        for (size_t k = 0; k <= end; ++k)
            ASSERT_EQ(back[k], forward[end - k]) << "PageUp " << k << " of " << end;

        const auto fromEnd = Press(html, screen, "key 0x23\nidle\n", "0x21", kSteps).text;
        std::set<std::string> shown;
        for (const auto& page : fromEnd)
            for (const std::string& w : WordsOf(page)) shown.insert(w);
        for (size_t i = 0; i <= end; ++i)
            for (const std::string& w : WordsOf(forward[i]))
                EXPECT_TRUE(shown.count(w)) << w << " of view " << i << " never shown from End";
    }
}

// Tables wider and taller than the screen, their cells on a ground of their own, read view by
// view across and down, PageDown from the first page and PageUp from End: no view shows a line
// cut at its top or foot.
TEST(ProgramWideTables, NoViewAcrossOrDownShowsALineCutAtItsTopOrFoot) {
    constexpr int kSteps = 100;
    // Each table's second row holds a note of many lines in its third column.
    std::string html = ParagraphsAndWideTables();
    for (size_t at = 0; (at = html.find("<table border=\"1\">", at)) != std::string::npos;)
        html.replace(at, 18, "<table bgcolor=\"#fffacd\">");
    for (int t = 0; t < 5; ++t) {
        const std::string cell = "cell" + std::to_string(t) + "_1_2 value";
        std::string note;
        for (int i = 0; i < 40; ++i)
            note += "<br>note" + std::to_string(t) + "x" + std::to_string(i);
        html.replace(html.find(cell) + cell.size(), 0, note);
    }
    for (const char* screen : kScreens) {
        for (const auto& [way, start, key] :
             {std::tuple<std::string, std::string, std::string>{"PageDown", "", "0x22"},
              {"PageUp", "key 0x23\nidle\n", "0x21"}}) {
            SCOPED_TRACE(std::string(screen) + " " + way);
            const Shown shown = Press(html, screen, start, key, kSteps, true);
            size_t end = 0;
            while (end + 1 < shown.text.size() && shown.text[end + 1] != shown.text[end]) ++end;
            ASSERT_LT(end + 1, shown.text.size()) << way << " never reached the end";
            ASSERT_GT(end, 20u) << "the tables are read in views";
            for (size_t i = 0; i <= end; ++i) {
                ASSERT_GT(shown.screens[i].width, 0) << "view " << i;
                const std::vector<int> cut = RowsCuttingText(shown.screens[i], 0xFFFACD);
                EXPECT_TRUE(cut.empty()) << "view " << i << " cuts a line at row " << cut.front();
            }
        }
    }
}

// A long manual, far more pages than a search going back lays out from its first page: sections
// of a heading and paragraphs, then sections whose paragraphs are each followed by a table of
// five columns wider than the screen, then a closing paragraph. Word n reads "wn", the cell of
// table t, row r, column c "cellt_r_c".
std::string LongManualWithWideTables() {
    std::string html = "<html><body><h1>Manual</h1>";
    NumberedWords words;
    for (int s = 0; s < 160; ++s) {
        html += "<h2>Section " + std::to_string(s) + "</h2>";
        for (int p = 0; p < 2 + s % 4; ++p)
            html += "<p>" + words(20 + (s * 7 + p * 13) % 50) + "</p>";
    }
    for (int t = 0; t < 5; ++t) {
        html += "<h2>Table section " + std::to_string(t) + "</h2>";
        html += ParagraphsAndWideTable(t, words);
    }
    return html + "<p>" + words(40) + "</p></body></html>";
}

// Far into a long book, the pages PageUp shows from End over tables wider than the screen are
// pages PageDown shows: PageDown from the last of them shows each view again, in the other order
// (the views of a page found going back split its rows as paging forward from there does, and
// each page ends where the one after it starts), and PageUp then shows them again. Every cell of
// the tables shows on the way back.
void ExpectPagingBackOverTablesRetraced(const std::string& file, const std::string& bytes) {
    constexpr int kSteps = 150;
    TempDevice device;
    ASSERT_TRUE(device.ok());
    device.WriteHost("storage/eBooks/" + file, bytes);
    const std::string o = device.outside() + "/";
    const std::string steps = "idle\nkey 0x23\nidle\n" +
                              Presses("0x21", kSteps + 1, "u", PageTextIn(o)) +
                              Presses("0x22", kSteps + 1, "d", PageTextIn(o)) +
                              Presses("0x21", kSteps + 1, "v", PageTextIn(o));
    const ProgramResult run =
        RunSteps(device, {"\\storage\\eBooks\\" + file}, steps + "quit\n", On("240x320"));
    ASSERT_EQ(run.status, 0) << ReadFile(o + "errors.txt");
    // Each press is noted before it: u0 is End's page, uk the page k PageUps reach; d0 the page
    // kSteps + 1 PageUps reach, dk the page k PageDowns from there reach.
    const auto up = ReadPageTexts(o, "u", kSteps + 1);
    const auto down = ReadPageTexts(o, "d", kSteps + 1);
    const auto again = ReadPageTexts(o, "v", kSteps + 1);
    for (int k = 1; k <= kSteps; ++k) {
        ASSERT_EQ(down[k], up[kSteps + 1 - k]) << "PageDown " << k << " after the PageUps";
        ASSERT_EQ(again[k], down[kSteps + 1 - k]) << "PageUp " << k << " after the PageDowns";
    }
    std::set<std::string> shown;
    for (const auto& page : up)
        for (const std::string& w : WordsOf(page)) shown.insert(w);
    ASSERT_TRUE(shown.count("cell0_0_0")) << "the walk back did not reach the first table";
    for (int t = 0; t < 5; ++t)
        for (int r = 0; r < 9 + t % 3; ++r)
            for (int c = 0; c < 5; ++c) {
                const std::string cell =
                    "cell" + std::to_string(t) + "_" + std::to_string(r) + "_" + std::to_string(c);
                EXPECT_TRUE(shown.count(cell)) << cell << " never shown going back";
            }
}

TEST(ProgramWideTables, FarIntoALongBookPagingBackOverTablesRetracesAsPagingForward) {
    const std::string html = LongManualWithWideTables();
    {
        SCOPED_TRACE("an HTML file");
        ExpectPagingBackOverTablesRetraced("tables.html", html);
    }
    // The same manual as a book, whose pages start anywhere: a page far into it has its open
    // elements rebuilt from the text before it.
    SCOPED_TRACE("a book");
    BookBuilder book;
    book.text.assign(html.begin(), html.end());
    book.fullName = "Tables";
    const Bytes bytes = book.Build();
    ExpectPagingBackOverTablesRetraced("tables.prc", std::string(bytes.begin(), bytes.end()));
}

// An API reference as its generator writes it, each function a section: a heading with a
// link, a "History" table of versions and changes whose code names make it wider than the
// screen, the parameters, a sentence and a listing of a varying number of lines. Its markup
// carries long attributes (as generated pages do), so that the text holds far more positions
// than it shows words. The table of function f holds the cells "vR.F.0", "noAssertf" and
// "uint32AnyMoreValueR" of its rows R.
std::string ApiReferenceWithHistoryTables(int functions) {
    const std::string pad = " data-note=\"" + std::string(1500, 'n') + "\"";
    std::string html = "<html><head><title>Buffer</title></head><body><h1>Buffer</h1>";
    for (int f = 0; f < functions; ++f) {
        const std::string n = std::to_string(f);
        html += "<h3" + pad + ">buf.writeValue" + n + "(value[, offset])<a href=\"#w" + n +
                "\">#</a></h3><div class=\"api_metadata\"><details class=\"changelog\">"
                "<summary>History</summary><table><tbody><tr><th>Version</th><th>Changes</th>"
                "</tr>";
        for (int r = 0; r < 2 + f % 3; ++r)
            html += "<tr" + pad + "><td>v" + std::to_string(10 + r) + "." + std::to_string(f % 7) +
                    ".0</td><td><p>Removed <code>noAssert" + n +
                    "</code> and no implicit coercion of the offset to <code>uint32AnyMoreValue" +
                    std::to_string(r) + "</code> now.</p></td></tr>";
        html +=
            "</tbody></table></details></div><ul><li><code>value</code> <a href=\"#i\">"
            "&lt;integer&gt;</a> Number " +
            n + " to be written to <code>buf</code>.</li>";
        html +=
            "<li><code>offset</code> <a href=\"#i\">&lt;integer&gt;</a> Number of bytes to "
            "skip before starting to write.</li></ul><p>Writes <code>value</code> to "
            "<code>buf</code> at the specified <code>offset</code> as number " +
            n + ".</p>";
        html += "<pre><code>import { Buffer } from 'node:buffer';\n\n";
        for (int k = 0; k < 2 + (f * 7) % 9; ++k)
            html += "buf.writeValue" + n + "(0x" + std::to_string(k * 11) + ", " +
                    std::to_string(k) + ");\n";
        html += "\nconsole.log(buf);\n// Prints: &lt;Buffer " + n + "&gt;</code></pre>";
    }
    return html + "</body></html>";
}

// The cells of history tables a page shows, in reading order (none: the page shows no table).
std::vector<std::string> HistoryCells(const std::vector<std::string>& page) {
    std::vector<std::string> cells;
    for (const std::string& w : WordsOf(page)) {
        const bool version =
            w.size() > 4 && w[0] == 'v' && w.ends_with(".0") &&
            std::all_of(w.begin() + 1, w.end(), [](char c) { return c == '.' || isdigit(c); });
        if (version || w.starts_with("noAssert") || w.starts_with("uint32AnyMoreValue"))
            cells.push_back(w);
    }
    return cells;
}

// Far into a long reference, PageUp from End shows each history table's rows split into views
// as PageDown from the first page does: the same rows on each page, the views across them in
// the other order. (Pages going back laid out from a stretch before each table started their
// pages elsewhere, and split the tables' rows otherwise: the row of a page's foot going forward
// came at the top of the page going back, its heading on the page before.) At 240x320, with
// the normal and the larger font.
TEST(ProgramWideTables, FarIntoAReferencePagingBackSplitsTablesAsPagingForward) {
    constexpr int kPresses = 300;
    const std::string html = ApiReferenceWithHistoryTables(40);
    for (int larger : {0, 1}) {
        SCOPED_TRACE(larger ? "larger font" : "normal font");
        // The cells of each page showing a table, paging forward from the first page or back
        // from End (opened afresh, as a reader does who goes to the end first), the pages going
        // back in reading order. The walks stop at the last and the first page, which show
        // again with each press after.
        auto tablePages = [&](const std::string& start, const char* key) {
            TempDevice device;
            EXPECT_TRUE(device.ok());
            device.WriteHost("storage/eBooks/manual.html", html);
            const std::string o = device.outside() + "/";
            std::string steps = "idle\n";
            for (int i = 0; i < larger; ++i) steps += "menu 40082\nidle\n";
            steps += start + Presses(key, kPresses, "p", PageTextIn(o)) + "quit\n";
            const ProgramResult run = RunSteps(device, kManualBook, steps, On("240x320"));
            EXPECT_EQ(run.status, 0) << ReadFile(o + "errors.txt");
            auto pages = ReadPageTexts(o, "p", kPresses);
            while (pages.size() >= 2 && pages.back() == pages[pages.size() - 2]) pages.pop_back();
            EXPECT_LT(pages.size(), static_cast<size_t>(kPresses)) << key << ": no end reached";
            std::vector<std::vector<std::string>> cells;
            for (const auto& page : pages)
                if (auto c = HistoryCells(page); !c.empty()) cells.push_back(c);
            return cells;
        };
        const auto forward = tablePages("", "0x22");
        auto back = tablePages("key 0x23\nidle\n", "0x21");
        std::reverse(back.begin(), back.end());
        ASSERT_GT(forward.size(), 100u);
        size_t k = 0;
        while (k < forward.size() && k < back.size() && back[k] == forward[k]) ++k;
        EXPECT_TRUE(k == forward.size() && k == back.size())
            << back.size() << " views of tables going back, " << forward.size() << " forward; view "
            << k << " going back shows " << (k < back.size() ? Joined(back[k]) : "nothing")
            << ", forward " << (k < forward.size() ? Joined(forward[k]) : "nothing");
    }
}

// A reference ending in its tables: short paragraphs, each group followed by a table of five
// columns wider than the screen, the last table closing the text. Words are numbered from
// 100001, so that two fill a line.
std::string ReferenceEndingInWideTables() {
    std::string html = "<html><body>";
    NumberedWords words{100000};
    for (int p = 0; p < 10; ++p) html += "<p>" + words(20 + (p * 13) % 50) + "</p>";
    for (int t = 0; t < 12; ++t) html += ParagraphsAndWideTable(t, words);
    return html;
}

// End on a text that closes with a table wider than the screen shows the last view across its
// rows, as PageDown's last steps do: only cells of its last column (a page found going back that
// started where the table's start tag ends laid its rows out as plain lines, a line to a cell).
TEST(ProgramWideTables, EndOnATextEndingInAWideTableShowsItsLastView) {
    const auto end =
        Press(ReferenceEndingInWideTables(), "240x320", "key 0x23\nidle\n", "0x21", 1).text;
    ASSERT_EQ(end.size(), 1u);
    int cells = 0;
    for (const std::string& w : WordsOf(end.front())) {
        if (w.rfind("cell", 0) != 0) continue;
        ++cells;
        EXPECT_EQ(w.back(), '4') << w << " shown in End's view";
    }
    EXPECT_GT(cells, 0) << "End shows no row of the table";
}

// A page that starts after a table whose first row is a row of headings draws its words in the
// weight they were laid out in: paging forward drew them bold, glued one to the next (the
// heading's style stayed with the page after), where the same page laid out afresh going back
// drew them plain. Each view PageDown shows and PageUp shows again is the same on the screen.
TEST(ProgramWideTables, ThePageAfterATableOfHeadingsShowsItsWordsPlain) {
    constexpr int kSteps = 100;
    for (const char* screen : kScreens) {
        SCOPED_TRACE(screen);
        const std::string html = ParagraphsAndWideTables();
        std::string down;
        for (int i = 0; i < kSteps; ++i) down += "key 0x22\nidle\n";
        const Shown forward = Press(html, screen, "", "0x22", kSteps, true);
        const Shown back = Press(html, screen, down, "0x21", kSteps, true);
        size_t end = 0;
        while (end + 1 < forward.text.size() && forward.text[end + 1] != forward.text[end]) ++end;
        ASSERT_LT(end + 1, forward.text.size()) << "PageDown never reached the end";
        ASSERT_GT(forward.screens.front().width, 0);
        for (size_t k = 0; k <= end; ++k)
            EXPECT_TRUE(back.screens[k].pixels == forward.screens[end - k].pixels)
                << "PageUp " << k << " shows " << Joined(back.text[k]).substr(0, 40);
    }
}

// A reference manual's functions as its generator writes them: a sentence, the synopsis, then a
// table of the one parameter, its name beside a description naming a function in code. Each
// description's code name is a little longer than the one before, so that in some of them the
// description column runs a few pixels past the view's side: its words there are cut at the
// side, none wholly beyond it.
constexpr int kFunctions = 24;

std::string ParameterWord(int function, int word) {
    return "p" + std::to_string(function) + "w" + std::to_string(word);
}

std::string ParameterTablesManual() {
    std::string html = "<html><head><title>Input</title></head><body><h1>Input extension</h1>";
    const std::string longest = "XGetDeviceMotionEvents";
    for (int f = 0; f < kFunctions; ++f) {
        const std::string n = std::to_string(f);
        const std::string function = "XGet" + n;
        html += "<p>To find the events of device " + n + " use <code class=\"function\">" +
                function + "</code>.</p><div class=\"funcsynopsis\"><p><code class=\"funcdef\">"
                "int <strong class=\"fsfunc\">" + function + "</strong>(</code>Display<var "
                "class=\"pdparam\"> *display</var>);</p></div><div class=\"variablelist\">"
                "<table border=\"0\" class=\"variablelist\"><colgroup><col align=\"left\" "
                "valign=\"top\" /><col /></colgroup><tbody><tr><td><p><span class=\"term\">"
                "<span class=\"emphasis\"><em>display</em></span></span></p></td><td><p>";
        for (int w = 1; w <= 8; ++w) {
            html += ParameterWord(f, w) + " ";
            if (w == 3)
                html += "<code class=\"function\">" + longest.substr(0, 8 + f % 15) + "Ev" + n +
                        "</code> ";
        }
        html += "</p></td></tr></tbody></table></div><p>The call returns the events of device " +
                n + ".</p>";
    }
    return html + "</body></html>";
}

// No word of a table wider than its view is only ever shown cut at the view's side: a column
// starting in the view's left half whose words run past the side is read whole in a view across
// of its own, whether or not a word lies wholly beyond the side. PageDown from the first page
// and PageUp from End show every word of every description whole, at both screen sizes and
// with the larger font.
TEST(ProgramWideTables, EveryWordOfAParameterTableShowsWholeForwardAndBack) {
    struct Setting {
        const char* screen;
        int larger;  // font steps up
    };
    constexpr int kPresses = 120;
    for (const Setting& setting :
         {Setting{"240x320", 0}, Setting{"480x640@192", 0}, Setting{"240x320", 2}}) {
        SCOPED_TRACE(std::string(setting.screen) + (setting.larger ? ", larger font" : ""));
        TempDevice device;
        ASSERT_TRUE(device.ok());
        device.WriteHost("storage/eBooks/manual.html", ParameterTablesManual());
        const std::string o = device.outside() + "/";
        std::string steps = "idle\n";
        for (int i = 0; i < setting.larger; ++i) steps += "menu 40082\nidle\n";
        steps += Presses("0x22", kPresses, "f", PageTextIn(o)) + "key 0x23\nidle\n" +
                 Presses("0x21", kPresses, "b", PageTextIn(o));
        const ProgramResult run =
            RunSteps(device, kManualBook, steps + "quit\n", On(setting.screen));
        ASSERT_EQ(run.status, 0) << ReadFile(o + "errors.txt");
        for (const char* way : {"f", "b"}) {
            std::set<std::string> shown;
            for (const std::vector<std::string>& page : ReadPageTexts(o, way, kPresses))
                for (const std::string& w : WordsOf(page)) shown.insert(w);
            // Each description's first word starts its column: the walk passed every table.
            ASSERT_TRUE(shown.count(ParameterWord(0, 1)) &&
                        shown.count(ParameterWord(kFunctions - 1, 1)))
                << way << ": the walk did not pass every table";
            std::vector<std::string> missing;
            for (int f = 0; f < kFunctions; ++f)
                for (int w = 1; w <= 8; ++w)
                    if (!shown.count(ParameterWord(f, w))) missing.push_back(ParameterWord(f, w));
            EXPECT_TRUE(missing.empty())
                << (*way == 'f' ? "PageDown" : "PageUp") << " never shows whole " << missing.size()
                << " words, the first " << missing.front();
        }
    }
}

// A symbol index laid out as the manuals' pages are: the menu column beside a body column wider
// than the screen (a row of letter links set wide), whose cell keeps a few pixels of padding,
// listing symbols one to a line under their letters, the longest first, wider than the screen.
// The view across that reaches the body stops at its column's edge, and the one
// after it would go on to the first letters of the lines cut at its side, a padding's width on.
std::string SymbolIndex() {
    std::string body = "<h2>Symbols</h2><table width=\"600\"><tr><td>";
    for (char letter : std::string("ABCX"))
        body += "<a href=\"#" + std::string(1, letter) + "\">" + std::string(1, letter) + "</a> ";
    body += "</td></tr></table><a href=\"s.html#long\">xsltRegisterExtensionModuleFull</a><br />";
    for (char letter : std::string("ABCX")) {
        body += "<h3>Letter " + std::string(1, letter) + ":</h3>";
        for (int i = 1; i <= 6; ++i) {
            const std::string name = std::string(1, letter) + "symbol" + std::to_string(i);
            body += "<a href=\"s.html#" + name + "\">" + name + "</a><br />";
        }
    }
    std::string html =
        "<html><head><title>Symbols</title></head><body bgcolor=\"#8b7765\">"
        "<table border=\"0\" width=\"100%\" cellpadding=\"4\" cellspacing=\"0\"><tr>"
        "<td valign=\"top\" width=\"200\" bgcolor=\"#eecfa1\"><ul>";
    for (int i = 1; i <= 8; ++i)
        html += "<li><a href=\"m" + std::to_string(i) + ".html\">Menu " + std::to_string(i) +
                "</a></li>";
    return html + "</ul></td><td valign=\"top\" bgcolor=\"#fffacd\">" + body +
           "</td></tr></table><p><a href=\"index.html\">Home</a></p></body></html>";
}

// Every PageDown through the index shows something new: no view across moves by a cell's
// padding alone to show the same words again.
TEST(ProgramWideTables, NoViewAcrossMovesByACellsPaddingAlone) {
    constexpr int kPresses = 40;
    for (const char* screen : kScreens) {
        SCOPED_TRACE(screen);
        const Shown shown = Press(SymbolIndex(), screen, "", "0x22", kPresses);
        ASSERT_EQ(shown.text.size(), static_cast<size_t>(kPresses));
        // Only at the book's end does PageDown show what it showed before.
        for (int i = 0; i + 1 < kPresses; ++i) {
            if (shown.text[i] == shown.text[i + 1]) {
                EXPECT_EQ(shown.text[i], shown.text.back()) << "press " << i + 2 << " repeats";
            }
        }
        std::set<std::string> words;
        for (const std::vector<std::string>& page : shown.text)
            for (const std::string& w : WordsOf(page)) words.insert(w);
        EXPECT_TRUE(words.count("Xsymbol6") && words.count("Home")) << "the walk did not end";
    }
}

}  // namespace
}  // namespace fvt::test

// Rows taller than the page in the program itself, as generated manuals lay pages out: a menu
// column beside a body column of listing lines, after paragraphs of unequal length, so that
// at any screen size some table starts a few lines above a page's foot. PageDown from the first
// page and PageUp from End each reach the other end in whole views: no step shows the text of
// the step before, and none shows again more than one line of it (the last view of a tall cell
// too). Manuals whose last row ends a little below a page's foot end on a page with text. A
// view of a tall cell ends on a whole line: no line shows cut by the view's top or foot.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "shell/program_runs.h"
#include "support/platform/temp_device.h"
#include "support/shell/program_launcher.h"

namespace fvt::test {
namespace {

using Page = std::vector<std::string>;

constexpr int kSections = 12;
constexpr int kMostSteps = 400;

// Words that each appear once in the book: a word and a running number.
class NumberedWords {
public:
    std::string Next(int n) {
        static const char* const kWords[] = {"harbour", "lantern", "evening", "quiet",
                                             "ships",   "under",   "keeper",  "stone"};
        std::string out;
        for (int i = 0; i < n; ++i) {
            if (i) out += ' ';
            out += kWords[count_ % 8] + std::to_string(count_);
            ++count_;
        }
        return out;
    }

private:
    int count_ = 0;
};

// Sections whose paragraphs grow by a few lines each, each followed by a table whose one row
// is taller than any page: a menu of links beside thirty listing lines.
std::string TallRowsHtml() {
    NumberedWords w;
    std::string h = "<html><head><title>Manual</title></head><body>";
    for (int s = 0; s < kSections; ++s) {
        h += "<h3>Section" + std::to_string(s) + "</h3><p>" + w.Next(10 + 7 * s) + "</p>";
        h += "<table border=\"1\"><tr><td valign=\"top\"><a href=\"#m\">Menu" +
             std::to_string(s) + "</a><br><a href=\"#i\">Index" + std::to_string(s) +
             "</a></td><td>";
        for (int i = 0; i < 30; ++i) h += w.Next(2) + "<br>";
        h += "</td></tr></table>";
    }
    return h + "<p>closing words.</p></body></html>";
}

bool Holds(const Page& page, const std::string& text) {
    for (const std::string& line : page)
        if (line.find(text) != std::string::npos) return true;
    return false;
}

// The lines of `before` that show again on `after` (a line counts when one of its numbered
// words does), but for the lines both begin with: the lines above a table stay in place while
// a step moves the table's view under them.
int LinesAgain(const Page& before, const Page& after) {
    size_t kept = 0;
    while (kept < before.size() && kept < after.size() && before[kept] == after[kept]) ++kept;
    std::set<std::string> shown;
    for (size_t k = kept; k < after.size(); ++k)
        for (const std::string& word : Split(after[k])) shown.insert(word);
    int again = 0;
    for (size_t k = kept; k < before.size(); ++k) {
        const std::string& line = before[k];
        for (const std::string& word : Split(line)) {
            if (word.find_first_of("0123456789") == std::string::npos || !shown.count(word))
                continue;
            ++again;
            break;
        }
    }
    return again;
}

class ProgramTallRows : public ::testing::TestWithParam<const char*> {
protected:
    // The screen and, after a '+', menu steps run before the walk (the larger font).
    std::vector<std::string> Env() const {
        const std::string p = GetParam();
        return {"FOLIVANT_SCREEN=" + p.substr(0, p.find('+'))};
    }
    std::string SettingSteps() const {
        const std::string p = GetParam();
        return p.find('+') == std::string::npos ? "" : "menu 40082\nidle\n";
    }
    // The page shown after `start`, then after each of kMostSteps presses of `key`, on a device
    // of its own (the font size and the place in the book are the program's to keep).
    std::vector<Page> Walk(const std::string& html, const std::string& start,
                           const std::string& key, const std::string& name) {
        TempDevice device;
        EXPECT_TRUE(device.ok());
        device.WriteOutside("book.html", html);
        const std::string book = device.OutsidePath("book.html");
        const std::string folder = device.outside() + "/" + name;
        std::filesystem::create_directories(folder);
        std::string steps = "idle\n" + SettingSteps() + start;
        for (int i = 0; i < kMostSteps; ++i) {
            char file[16];
            std::snprintf(file, sizeof file, "/p%03d.txt", i);
            steps += "pagetext " + folder + file + "\n" + key + "\nidle\n";
        }
        const ProgramResult run = RunSteps(device, {book}, steps + "quit\n", Env());
        EXPECT_EQ(run.status, 0) << run.Describe();
        std::vector<Page> pages;
        for (int i = 0; i < kMostSteps; ++i) {
            char file[16];
            std::snprintf(file, sizeof file, "/p%03d.txt", i);
            pages.push_back(ReadLines(folder + file));
        }
        return pages;
    }
    // Up to the first page that holds `last`: each step shows other text than the step before,
    // and at most one line of it again.
    void ExpectWholeViews(const std::vector<Page>& pages, const std::string& last,
                          const std::string& way) {
        size_t end = 0;
        while (end < pages.size() && !Holds(pages[end], last)) ++end;
        ASSERT_LT(end, pages.size()) << way << " does not reach \"" << last << "\" in "
                                     << kMostSteps << " steps";
        for (size_t k = 1; k <= end; ++k) {
            EXPECT_NE(pages[k], pages[k - 1])
                << way << " step " << k << " shows the text of the step before, from "
                << (pages[k].empty() ? std::string("nothing") : pages[k].front());
            EXPECT_LE(LinesAgain(pages[k - 1], pages[k]), 1)
                << way << " step " << k << " shows lines again; it begins "
                << (pages[k].empty() ? std::string("nothing") : pages[k].front());
        }
    }
};

TEST_P(ProgramTallRows, PageDownAndPageUpStepThroughTallRowsByWholeViews) {
    const std::string book = TallRowsHtml();
    ExpectWholeViews(Walk(book, "", "key 0x22", "down"), "closing words.", "PageDown");
    ExpectWholeViews(Walk(book, "key 0x23\nidle\n", "key 0x21", "up"), "Section0", "PageUp");
}

// A generated manual's pages: a menu column beside a body column, the body nested five tables
// deep with a navigation table inside (one level more than a table may nest), its text taller
// than a page, and a second such page after it.
std::string NestedManualHtml() {
    NumberedWords w;
    std::string h = "<html><body>";
    for (int part = 0; part < 2; ++part) {
        h += "<table width=\"100%\"><tr><td><table><tr><td valign=\"top\" width=\"30%\">"
             "<a href=\"#m\">Menu" + std::to_string(part) + "</a></td><td>";
        for (int level = 0; level < 3; ++level) h += "<table width=\"100%\"><tr><td>";
        h += "<table class=\"navigation\"><tr><td><a href=\"#p\">Prev" + std::to_string(part) +
             "</a></td><th><a href=\"#u\">Up" + std::to_string(part) + "</a></th></tr></table>";
        for (int i = 0; i < 30; ++i) h += "<h3>Macro" + std::to_string(part * 100 + i) + "</h3><pre>#define " + w.Next(1) + "</pre><p></p>";
        h += "<p>Author" + std::to_string(part) + "</p>";
        for (int level = 0; level < 5; ++level) h += "</td></tr></table>";
    }
    return h + "</body></html>";
}

// A cell whose text ends in a run of empty paragraphs, longer than a page.
std::string BlankTailHtml() {
    NumberedWords w;
    std::string h = "<html><body><table border=\"1\"><tr><td>";
    for (int i = 0; i < 40; ++i) h += w.Next(2) + "<br>";
    for (int i = 0; i < 60; ++i) h += "<p></p>";
    return h + "</td></tr></table></body></html>";
}

// A reference's enum tables as gtk-doc writes them: each member's name beside its description,
// a cell taller than any page with a ground of its own, holding paragraphs, a listing and a
// list.
std::string EnumTablesHtml() {
    NumberedWords w;
    std::string h = "<html><head><title>Utils</title></head><body><h2>Enumerations</h2>";
    for (int e = 0; e < 2; ++e) {
        const std::string n = std::to_string(e);
        h += "<div class=\"refsect2\"><h3>enum Codes" + n + "</h3><p>" + w.Next(20) + "</p>";
        h += "<table class=\"informaltable\" width=\"100%\" border=\"0\"><colgroup>"
             "<col width=\"30%\"><col></colgroup><tbody>";
        for (int m = 0; m < 2; ++m) {
            const std::string name = "CODE_" + n + "_" + std::to_string(m);
            h += "<tr><td class=\"enum_member_name\"><p><a name=\"" + name + "\"></a><code>" +
                 name + "</code></p></td><td bgcolor=\"#fffacd\">";
            for (int p = 0; p < 4; ++p) h += "<p>" + w.Next(9 + 5 * p) + "</p>";
            h += "<pre class=\"programlisting\">";
            for (int i = 0; i < 8; ++i) h += "call(" + w.Next(1) + ");\n";
            h += "</pre><ul>";
            for (int i = 0; i < 5; ++i) h += "<li><p>" + w.Next(5) + "</p></li>";
            h += "</ul></td></tr>";
        }
        h += "</tbody></table></div>";
    }
    return h + "<p>closing words.</p></body></html>";
}

// PageDown from the first page and PageUp from End, through descriptions taller than a page:
// no view shows a line cut at its top or foot on the description's ground.
TEST_P(ProgramTallRows, NoViewOfATallCellShowsALineCutAtItsEdge) {
    const std::string book = EnumTablesHtml();
    for (const auto& [way, start, key] :
         {std::tuple<std::string, std::string, std::string>{"PageDown", "", "0x22"},
          {"PageUp", "key 0x23\nidle\n", "0x21"}}) {
        SCOPED_TRACE(way);
        TempDevice device;
        ASSERT_TRUE(device.ok());
        device.WriteOutside("book.html", book);
        const std::string o = device.outside() + "/";
        auto shot = [&](const std::string& name) {
            return "screenshot " + o + name + ".png\npagetext " + o + name + ".txt\n";
        };
        constexpr int kTurns = 60;
        const std::string steps =
            "idle\n" + SettingSteps() + start + Presses(key, kTurns, "v", shot);
        const ProgramResult run =
            RunSteps(device, {device.OutsidePath("book.html")}, steps + "quit\n", Env());
        ASSERT_EQ(run.status, 0) << run.Describe();
        const std::string end = way == "PageDown" ? "closing words." : "Enumerations";
        int reached = -1;
        for (int i = 0; i < kTurns && reached < 0; ++i) {
            const std::string name = o + "v" + std::to_string(i);
            if (Holds(ReadLines(name + ".txt"), end)) reached = i;
            const Picture p = ReadPicture(name + ".png");
            ASSERT_GT(p.width, 0) << "view " << i;
            const std::vector<int> cut = RowsCuttingText(p, 0xFFFACD);
            EXPECT_TRUE(cut.empty()) << "view " << i << " cuts a line at row " << cut.front();
        }
        EXPECT_GE(reached, 8) << "the descriptions are read in views";
    }
}

INSTANTIATE_TEST_SUITE_P(Screens, ProgramTallRows,
                         ::testing::Values("240x320", "480x640@192", "240x320+larger",
                                           "480x640@192+larger"));

// Every page PageDown shows up to the book's end holds text, and End shows one that does.
TEST_P(ProgramTallRows, NoPageDownOrEndShowsAPageWithoutText) {
    const std::vector<std::pair<std::string, std::string>> books = {
        {"nested", NestedManualHtml()}, {"blank", BlankTailHtml()}};
    for (const auto& [name, book] : books) {
        const std::vector<Page> pages = Walk(book, "", "key 0x22", name + "-down");
        size_t end = pages.size() - 1;
        while (end > 0 && pages[end] == pages[end - 1]) --end;
        ASSERT_LT(end, pages.size() - 1) << name << ": PageDown does not reach the end";
        for (size_t k = 0; k <= end; ++k) {
            bool text = false;
            for (const std::string& line : pages[k]) text = text || !Split(line).empty();
            EXPECT_TRUE(text) << name << ": PageDown " << k << " shows a page without text";
        }
        const std::vector<Page> last = Walk(book, "key 0x23\nidle\n", "idle", name + "-end");
        EXPECT_EQ(last.front(), pages[end]) << name << ": End shows another page";
    }
}

}  // namespace
}  // namespace fvt::test

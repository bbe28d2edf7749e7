// A manual's page laid out as a table wider than the screen, read in the program at both screen
// sizes: a narrow menu column holding a search form beside a body column with the text. PageDown
// alone goes down the menu, then across to the body and down it to its last word; PageUp goes
// back over the same views; the form's controls move with the view and are cut at its side.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "shell/program_runs.h"
#include "support/platform/temp_device.h"
#include "support/shell/program_launcher.h"

namespace fvt::test {
namespace {

const char* const kScreens[] = {"240x320", "480x640@192"};
constexpr int kMenuItems = 24;
constexpr int kParagraphs = 12;
constexpr int kWordsPerParagraph = 30;
constexpr int kTurns = 60;

std::vector<std::string> On(const std::string& screen) {
    return {"FOLIVANT_SCREEN=" + screen};
}

std::string BodyWord(int paragraph, int word) {
    return "b" + std::to_string(paragraph) + "w" + std::to_string(word);
}

// As the manuals of a system's documentation are written: logos and a search form over the
// menu in a column of fixed width, the text in the column beside it, and a link after the
// table.
std::string Manual() {
    std::string html =
        "<html><head><title>Reference</title></head><body bgcolor=\"#8b7765\">"
        "<table border=\"0\" width=\"100%\" cellpadding=\"4\" cellspacing=\"0\"><tr>"
        "<td valign=\"top\" width=\"200\" bgcolor=\"#eecfa1\"><center><b>Main Menu</b></center>"
        "<form action=\"search.php\" method=\"get\"><input name=\"query\" type=\"text\" "
        "size=\"12\" value=\"\"><input name=\"submit\" type=\"submit\" value=\"Search ...\">"
        "</form><ul>";
    for (int i = 1; i <= kMenuItems; ++i)
        html += "<li><a href=\"m" + std::to_string(i) + ".html\">Menu " + std::to_string(i) +
                "</a></li>";
    html += "</ul></td><td valign=\"top\" bgcolor=\"#fffacd\"><h2>Reference</h2>";
    for (int p = 1; p <= kParagraphs; ++p) {
        html += "<p>";
        for (int w = 1; w <= kWordsPerParagraph; ++w) html += BodyWord(p, w) + " ";
        html += "</p>";
    }
    return html + "</td></tr></table><p><a href=\"index.html\">Home</a></p></body></html>";
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
    std::string steps = "idle\n";
    for (int i = 0; i < kTurns; ++i)
        steps += "pagetext " + o + "f" + std::to_string(i) + ".txt\nkey 0x22\nidle\n";
    for (int i = 0; i < kTurns; ++i)
        steps += "pagetext " + o + "b" + std::to_string(i) + ".txt\nkey 0x21\nidle\n";
    const ProgramResult run =
        RunSteps(device, {"\\storage\\eBooks\\manual.html"}, steps + "quit\n", On(screen));
    EXPECT_EQ(run.status, 0) << ReadFile(o + "errors.txt");
    Reading r;
    for (int i = 0; i < kTurns; ++i) {
        r.forward.push_back(ReadLines(o + "f" + std::to_string(i) + ".txt"));
        r.back.push_back(ReadLines(o + "b" + std::to_string(i) + ".txt"));
    }
    return r;
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

}  // namespace
}  // namespace fvt::test

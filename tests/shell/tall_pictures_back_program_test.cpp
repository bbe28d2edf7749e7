// Paging back beside pictures taller than half the screen, in the program: every page PageUp
// shows is about as full as a page PageDown shows (a picture counting for the lines its height
// takes), no page repeats more than a few lines of the page after it, and the pages tile the
// text. Checked at both screen sizes and with a larger font.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "shell/program_runs.h"
#include "support/document/seeded_words.h"
#include "support/media/image/picture_fixtures.h"
#include "support/platform/temp_device.h"
#include "support/shell/program_launcher.h"

namespace fvt::test {
namespace {

using Page = std::vector<std::string>;

// A library's notes on its internals as its manual writes them: sections of prose with terms in
// bold, each ending in a sentence that introduces a figure centred in a paragraph of its own
// (taller than half the screen); after it a paragraph that goes on about the figure, often a
// list of the kinds it shows, more prose. Links and a rule after the last word.
std::string InternalsHtml(std::uint32_t seed, int figures) {
    static const char* const kWords[] = {"the",       "node",    "tree",     "is",
                                         "built",     "from",    "a",        "parser",
                                         "context",   "holds",   "each",     "element",
                                         "of",        "its",     "children", "and",
                                         "result",    "stack",   "XPath",    "evaluation",
                                         "stylesheet", "compiled", "template", "pointer"};
    SeededWords words(kWords, seed);
    auto pick = [&](std::uint32_t n) { return static_cast<int>((words.Draw() >> 16) % n); };
    std::string h = "<html><head><title>Internals</title></head><body><h1>Internals</h1>\n";
    int item = 0;
    for (int f = 0; f < figures; ++f) {
        const std::string n = std::to_string(f);
        h += "<h3><a name=\"s" + n + "\">Section " + n + "</a></h3>\n";
        for (int p = 1 + pick(3); p > 0; --p)
            h += "<p>" + words.Words(20 + pick(50)) + " <strong>" + words.Words(1) + "</strong> " +
                 words.Words(10 + pick(30)) + ".</p>\n";
        h += "<p>" + words.Words(12 + pick(40)) + " as the figure shows:</p>\n\n";
        h += "<p align=\"center\"><img src=\"figure" + std::to_string(f % 3) +
             ".jpg\"\nalt=\"figure " + n + "\"></p>\n\n";
        h += "<p>Figure" + n + " " + words.Words(6 + pick(30)) + " <strong>" + words.Words(1) +
             "</strong> " + words.Words(4 + pick(12)) + ":</p>\n";
        if (pick(3) != 0) {
            h += "<ul>\n";
            for (int i = 2 + pick(5); i > 0; --i)
                h += "  <li>kind" + std::to_string(++item) + " " + words.Words(1 + pick(3)) +
                     "</li>\n";
            h += "</ul>\n";
        }
        for (int p = 1 + pick(3); p > 0; --p)
            h += "<p>" + words.Words(15 + pick(60)) + ".</p>\n";
    }
    return h + "<p>The end of the notes.</p>\n<hr>\n<p><a href=\"index.html\"></a></p>\n"
               "</body>\n</html>\n";
}

std::vector<std::string> ShownLines(const Page& page) {
    std::vector<std::string> out;
    for (const std::string& line : page)
        if (line.find_first_not_of(' ') != std::string::npos) out.push_back(line);
    return out;
}

// How many of a page's last lines are the first lines of the page after it.
size_t Repeated(const std::vector<std::string>& a, const std::vector<std::string>& b) {
    for (size_t m = std::min(a.size(), b.size()); m > 0; --m)
        if (std::equal(a.end() - static_cast<std::ptrdiff_t>(m), a.end(), b.begin())) return m;
    return 0;
}

using Setting = ScreenSetting;
constexpr auto& Name = ScreenSettingName;

class ProgramBesideTallPictures : public ::testing::TestWithParam<Setting> {
protected:
    void SetUp() override {
        const std::uint32_t heights[] = {376, 430, 330};
        for (int i = 0; i < 3; ++i) {
            const std::vector<std::uint8_t> jpeg =
                WriteJpeg(398, heights[i], 3, Gradient(398, heights[i]), 90);
            besides_.push_back({"figure" + std::to_string(i) + ".jpg",
                                std::string(jpeg.begin(), jpeg.end())});
        }
    }

    // The pages shown after `start`, then after each press of `key`, up to the first that
    // repeats the one before (the key no longer moves).
    std::vector<Page> Walk(const std::string& html, const std::string& start,
                           const std::string& key, const std::string& name) {
        constexpr int kSteps = 500;
        TempDevice device;
        EXPECT_TRUE(device.ok());
        device.WriteOutside(name + ".html", html);
        for (const auto& [file, bytes] : besides_) device.WriteOutside(file, bytes);
        const std::string book = device.OutsidePath(name + ".html");
        const std::string folder = device.outside() + "/" + name;
        std::filesystem::create_directories(folder);
        std::string steps = "idle\n";
        for (int i = 0; i < GetParam().larger; ++i) steps += "menu 40082\nidle\n";
        steps += start;
        steps += PageWalkSteps(folder, key, kSteps);
        const ProgramResult run = RunSteps(device, {book}, steps + "quit\n",
                                           {std::string("FOLIVANT_SCREEN=") + GetParam().screen});
        EXPECT_EQ(run.status, 0) << run.Describe();
        std::vector<Page> pages = ReadPageWalk(folder, kSteps);
        EXPECT_LT(pages.size(), static_cast<size_t>(kSteps)) << "the walk did not reach the end";
        return pages;
    }

    std::vector<std::pair<std::string, std::string>> besides_;
};

// Going back from End, the pages beside each figure hold as much as pages paging forward shows:
// not the few lines between a figure and the page after them (the figure does not fit above
// them), and not a page paging forward shows that repeats most of the page after it.
TEST_P(ProgramBesideTallPictures, PagesGoingBackAreFullAndRepeatAFewLinesAtMost) {
    const int screenHeight = std::string(GetParam().screen).rfind("480", 0) == 0 ? 640 : 320;
    size_t figures = 0;
    for (std::uint32_t seed : {7u, 19u, 31u}) {
        const std::string name = "internals" + std::to_string(seed);
        const std::string html = InternalsHtml(seed, 16);
        const std::vector<Page> forward = Walk(html, "", "key 0x22", name + "-down");
        std::vector<Page> back = Walk(html, "key 0x23\nidle\n", "key 0x21", name + "-up");
        std::reverse(back.begin(), back.end());
        ASSERT_GT(forward.size(), 20u);
        ASSERT_GT(back.size(), 20u);
        std::vector<size_t> sizes;
        for (const Page& p : forward) sizes.push_back(ShownLines(p).size());
        std::sort(sizes.begin(), sizes.end());
        const size_t full = sizes[sizes.size() / 2];
        // The pages going back, less what each repeats of the page after it, read as the pages
        // going forward do.
        std::vector<std::string> down, up;
        for (const Page& p : forward)
            for (const std::string& l : ShownLines(p)) down.push_back(l);
        for (size_t k = 0; k < back.size(); ++k) {
            std::vector<std::string> lines = ShownLines(back[k]);
            const size_t repeated =
                k + 1 < back.size() ? Repeated(lines, ShownLines(back[k + 1])) : 0;
            // Page 1 is shown as paging forward shows it, and so is the page after it: that one
            // may repeat the first lines of the page after it.
            if (k > 1 || (k == 1 && back[1] != forward[1])) {
                EXPECT_LE(repeated, 3u)
                    << name << ": going back, page " << k + 1 << " of " << back.size()
                    << " repeats " << repeated << " lines of the page after it; it begins \""
                    << lines.front() << "\"";
            }
            lines.resize(lines.size() - repeated);
            up.insert(up.end(), lines.begin(), lines.end());
        }
        EXPECT_EQ(up, down) << name << ": the pages going back do not tile the text";
        for (size_t k = 1; k + 1 < back.size(); ++k) {
            // A figure ("[398x376]") counts as the lines its height takes.
            size_t room = 0;
            for (const std::string& l : ShownLines(back[k])) {
                int w = 0, h = 0;
                if (std::sscanf(l.c_str(), "[%dx%d]", &w, &h) == 2) {
                    ++figures;
                    room += static_cast<size_t>(h) * full / static_cast<size_t>(screenHeight);
                } else {
                    ++room;
                }
            }
            if (std::find(forward.begin(), forward.end(), back[k]) != forward.end()) continue;
            EXPECT_GE(room * 2, full)
                << name << ": going back, page " << k + 1 << " of " << back.size() << " holds "
                << ShownLines(back[k]).size() << " lines; it begins \"" << back[k].front()
                << "\"";
        }
    }
    EXPECT_GT(figures, 30u);
}

INSTANTIATE_TEST_SUITE_P(Screens, ProgramBesideTallPictures,
                         ::testing::Values(Setting{"240x320", 0}, Setting{"480x640@192", 0},
                                           Setting{"240x320", 1}, Setting{"480x640@192", 1}),
                         Name);

}  // namespace
}  // namespace fvt::test

// Paging both ways over documents shaped like real ones (a texinfo manual with a rule before
// every node, a plain text file, an API reference of small tables, long listings, prose with
// pictures), in the program itself, at both screens and with the larger font. Every page shown
// is a page laid out forward from its start, so pages tile both ways:
//  - the lines PageUp shows from End, read in reading order, are those PageDown shows from the
//    first page: none lost, none shown twice (a page may repeat one line of the page after it);
//  - going back, between two places from which paging forward is known (page 1, a page that
//    starts at a forced break) at most one page is short, but a page paging forward shows too;
//  - Go to page 2 to 5 shows the page that 1 to 4 PageDowns from the first page show;
//  - the first PageUp after a jump (Go to page 10, Find, reopening the book where it was left)
//    shows the page ending where the page shown starts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "shell/program_runs.h"
#include "support/document/shaped_documents.h"
#include "support/media/image/picture_fixtures.h"
#include "support/platform/temp_device.h"
#include "support/shell/program_launcher.h"

namespace fvt::test {
namespace {

using Page = std::vector<std::string>;

// A page's lines as read: blank lines left out, each without its leading and trailing blanks
// (a listing line's indent can differ by a blank at a page's top).
std::vector<std::string> Shown(const Page& page) {
    std::vector<std::string> out;
    for (const std::string& line : page) {
        const size_t from = line.find_first_not_of(' ');
        if (from == std::string::npos) continue;
        out.push_back(line.substr(from, line.find_last_not_of(' ') + 1 - from));
    }
    return out;
}

// Whether lines shared by two pages are text of the document's (a numbered word) rather than
// lines any two pages can start with ("}", "Returns").
bool HoldsText(std::vector<std::string>::const_iterator from,
               std::vector<std::string>::const_iterator to) {
    return std::any_of(from, to, [](const std::string& line) {
        return line.find_first_of("0123456789") != std::string::npos;
    });
}

// The lines of a walk's pages (in reading order) each read once: a table wider than the screen
// is read view by view, each view showing the page's lines above and below the table again
// (they count in the first view and the last). `continues` tells the pages that are a view of
// the page before them.
std::vector<std::vector<std::string>> ReadOnce(const std::vector<Page>& pages,
                                               std::vector<bool>& continues) {
    std::vector<std::vector<std::string>> shown, out;
    for (const Page& p : pages) shown.push_back(Shown(p));
    continues.assign(pages.size(), false);
    for (size_t k = 0; k < shown.size(); ++k) {
        const std::vector<std::string>& page = shown[k];
        size_t above = 0, below = 0;
        if (k > 0) {
            const std::vector<std::string>& before = shown[k - 1];
            while (above + 1 < std::min(page.size(), before.size()) &&
                   page[above] == before[above])
                ++above;
            if (!HoldsText(page.begin(), page.begin() + static_cast<long>(above))) above = 0;
        }
        if (k + 1 < shown.size()) {
            const std::vector<std::string>& after = shown[k + 1];
            while (below + above < page.size() && below < after.size() &&
                   page[page.size() - 1 - below] == after[after.size() - 1 - below])
                ++below;
        }
        if (above) continues[k] = true;
        if (below) continues[k + 1] = true;
        out.emplace_back(page.begin() + static_cast<long>(above),
                         page.end() - static_cast<long>(below));
    }
    return out;
}

std::string Quoted(const std::vector<std::string>& lines, size_t at) {
    return at < lines.size() ? "\"" + lines[at] + "\"" : "(none)";
}

// A document of the suite: its file's name and bytes, the files beside it (pictures), and the
// start of the first line of a page that follows a forced page break ("" where none does).
struct Shape {
    std::string file;
    std::string bytes;
    std::vector<std::pair<std::string, std::string>> besides;
    std::string breakLine;
    int steps;  // presses that reach the far end of a walk at every setting
};

std::string AsString(const std::vector<std::uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

Shape MakeShape(const std::string& kind) {
    if (kind == "texinfo") return {"manual.html", TexinfoShapedManual(18), {}, "Next:", 400};
    if (kind == "plain") return {"notes.txt", PlainTextShaped(50), {}, "", 400};
    if (kind == "api") return {"reference.html", ApiReferenceShaped(3, 5), {}, "Module", 400};
    if (kind == "listings") return {"listings.html", ListingsShaped(14), {}, "", 400};
    // Pictures a few lines tall: a photograph, a drawing of few colours, a small icon.
    const std::string names[3] = {"photo.jpg", "drawing.gif", "icon.jpg"};
    GifSpec gif;
    gif.width = 90;
    gif.height = 40;
    gif.palette = {{0xFF, 0xFF, 0xFF}, {0x20, 0x40, 0xA0}};
    for (std::uint32_t y = 0; y < gif.height; ++y)
        for (std::uint32_t x = 0; x < gif.width; ++x)
            gif.pixels.push_back(static_cast<std::uint8_t>((x / 10 + y / 10) % 2));
    return {"album.html",
            PicturesShaped(16, names),
            {{names[0], AsString(WriteJpeg(120, 56, 3, Gradient(120, 56), 90))},
             {names[1], AsString(WriteGif(gif))},
             {names[2], AsString(WriteJpeg(32, 32, 3, Gradient(32, 32), 90))}},
            "",
            400};
}

using Param = std::tuple<const char*, ScreenSetting>;

std::string ParamName(const ::testing::TestParamInfo<Param>& info) {
    return std::string(std::get<0>(info.param)) + "_" +
           ScreenSettingName({std::get<1>(info.param), info.index});
}

class ProgramPagingProperties : public ::testing::TestWithParam<Param> {
protected:
    void SetUp() override { shape_ = MakeShape(std::get<0>(GetParam())); }
    const ScreenSetting& Setting() const { return std::get<1>(GetParam()); }

    // A device of its own holding the book and its pictures, the book's name for the program.
    std::unique_ptr<TempDevice> NewDevice() {
        auto device = std::make_unique<TempDevice>();
        EXPECT_TRUE(device->ok());
        device->WriteHost("storage/eBooks/" + shape_.file, shape_.bytes);
        for (const auto& [name, bytes] : shape_.besides)
            device->WriteHost("storage/eBooks/" + name, bytes);
        return device;
    }
    std::string Book() const { return "\\storage\\eBooks\\" + shape_.file; }
    std::vector<std::string> Env() const {
        return {std::string("FOLIVANT_SCREEN=") + Setting().screen};
    }
    // The steps that make the font larger, on a new device.
    std::string Larger() const {
        std::string steps;
        for (int i = 0; i < Setting().larger; ++i) steps += "menu 40082\nidle\n";
        return steps;
    }
    void Run(const TempDevice& device, const std::string& steps) {
        const ProgramResult run = RunSteps(device, {Book()}, steps + "quit\n", Env());
        EXPECT_EQ(run.status, 0) << run.Describe();
    }

    // The pages shown after `start`, then after each press of `key`, to the far end.
    std::vector<Page> Walk(const std::string& start, const std::string& key,
                           const std::string& name) {
        const std::unique_ptr<TempDevice> device = NewDevice();
        const std::string folder = device->outside() + "/" + name;
        std::filesystem::create_directories(folder);
        Run(*device, "idle\n" + Larger() + start + PageWalkSteps(folder, key, shape_.steps));
        std::vector<Page> pages = ReadPageWalk(folder, shape_.steps);
        EXPECT_LT(pages.size(), static_cast<size_t>(shape_.steps))
            << name << ": the walk did not reach the end";
        return pages;
    }

    // The walks every check compares with, taken once for the tests of a document and setting
    // that run in one process.
    void WalkBothWays() {
        static std::map<std::string, std::pair<std::vector<Page>, std::vector<Page>>> walked;
        const std::string key = ::testing::UnitTest::GetInstance()->current_test_info()->value_param();
        auto it = walked.find(key);
        if (it == walked.end()) {
            std::vector<Page> forward = Walk("", "key 0x22", "down");
            std::vector<Page> back = Walk("key 0x23\nidle\n", "key 0x21", "up");
            std::reverse(back.begin(), back.end());
            it = walked.emplace(key, std::make_pair(std::move(forward), std::move(back))).first;
        }
        forward_ = it->second.first;
        back_ = it->second.second;
        forwardOnce_ = ReadOnce(forward_, forwardViews_);
        backOnce_ = ReadOnce(back_, backViews_);
        for (const std::vector<std::string>& p : forwardOnce_)
            lines_.insert(lines_.end(), p.begin(), p.end());
        for (const std::string& line : lines_)
            for (const std::string& word : Split(line))
                if (!word.empty()) words_.push_back(word);
        letters_ = Letters(lines_, &letterStarts_);
    }

    // Whether the page's first line of text (below the rule that starts it, drawn as "[WxH]")
    // is one that follows a forced break.
    bool StartsAtBreak(const Page& page) const {
        if (shape_.breakLine.empty()) return false;
        for (const std::string& line : Shown(page))
            if (line.front() != '[') return line.rfind(shape_.breakLine, 0) == 0;
        return false;
    }

    // Where in the forward lines `page` (its lines as read) starts, looking near `hint` first:
    // the first line of the page found there with as many of the lines after it as agree; -1
    // when its first line is no line paging forward showed.
    long Locate(const std::vector<std::string>& page, size_t hint) const {
        if (page.empty()) return -1;
        long best = -1;
        size_t bestAgree = 0;
        for (size_t i = 0; i < lines_.size(); ++i) {
            if (lines_[i] != page.front()) continue;
            size_t agree = 1;
            while (agree < page.size() && i + agree < lines_.size() &&
                   lines_[i + agree] == page[agree])
                ++agree;
            const auto distance = [hint](size_t at) { return at > hint ? at - hint : hint - at; };
            if (best < 0 || agree > bestAgree ||
                (agree == bestAgree && distance(i) < distance(static_cast<size_t>(best)))) {
                best = static_cast<long>(i);
                bestAgree = agree;
            }
        }
        return best;
    }

    static std::vector<std::string> WordsOf(const Page& page) {
        std::vector<std::string> out;
        for (const std::string& line : Shown(page))
            for (const std::string& word : Split(line))
                if (!word.empty()) out.push_back(word);
        return out;
    }

    // The letters of lines without their blanks, as one string: a word cut at a line's end
    // (wherever it was cut) reads whole again. `starts` gets where each word or piece starts.
    static std::string Letters(const std::vector<std::string>& lines,
                               std::vector<bool>* starts = nullptr) {
        std::string out;
        for (const std::string& line : lines)
            for (const std::string& word : Split(line)) {
                if (word.empty()) continue;
                if (starts) {
                    starts->resize(out.size() + word.size(), false);
                    (*starts)[out.size()] = true;
                }
                out += word;
            }
        return out;
    }

    // The page PageUp showed (`up`) after a jump to `shown` ends where `shown` starts: the
    // letters of its last line run on into the first letters of the page shown, none repeated
    // and none left out. (Only the two ends are compared: a table read view by view shows a
    // part of its rows on a page.) Returns 1 on a fault.
    int ExpectTiles(const Page& shown, const Page& up, const std::string& jump) const {
        const std::string a = Letters(Shown(shown)), b = Letters(Shown(up));
        if (a.empty() || b.empty()) {
            ADD_FAILURE() << jump << ": no page shown (" << a.size() << " and " << b.size()
                          << " letters)";
            return 1;
        }
        const std::string head = a.substr(0, 40), tail = b.substr(b.size() - std::min<size_t>(40, b.size()));
        const size_t j = letters_.find(head), i = letters_.find(tail);
        if (j == std::string::npos || i == std::string::npos) {
            ADD_FAILURE() << jump << ": the page " << (j == std::string::npos ? "shown" : "PageUp showed")
                          << " holds text paging forward did not show: \""
                          << (j == std::string::npos ? head : tail) << "\"";
            return 1;
        }
        const size_t end = i + tail.size();
        auto lines = [](const std::vector<std::string>& page, size_t letters, bool fromEnd) {
            size_t n = 0, counted = 0;
            for (size_t k = 0; k < page.size() && counted < letters; ++k, ++n)
                counted += Letters({page[fromEnd ? page.size() - 1 - k : k]}).size();
            return n;
        };
        if (end > j) {
            ADD_FAILURE() << jump << ": the first PageUp shows " << end - j << " letters ("
                          << lines(Shown(shown), end - j, false)
                          << " lines) of the page shown again; the page shown starts \""
                          << Shown(shown).front() << "\"";
            return 1;
        }
        if (end < j) {
            ADD_FAILURE() << jump << ": the first PageUp leaves out " << j - end
                          << " letters before the page shown: \"" << letters_.substr(end, j - end)
                          << "\"";
            return 1;
        }
        if (!letterStarts_[j]) {
            ADD_FAILURE() << jump << ": the page shown starts inside a word: \""
                          << Shown(shown).front() << "\"";
            return 1;
        }
        return 0;
    }

    void ExpectAtMostOneShortPageBetweenKnownPlaces() const;

    Shape shape_;
    std::vector<Page> forward_, back_;  // both in reading order
    std::vector<std::vector<std::string>> forwardOnce_, backOnce_;  // their lines read once
    std::vector<bool> forwardViews_, backViews_;  // which continue the page before, as views

    // Whether page k of a walk is one of the views of a table wider than the screen.
    static bool Viewed(const std::vector<bool>& continues, size_t k) {
        return continues[k] || (k + 1 < continues.size() && continues[k + 1]);
    }
    std::vector<std::string> lines_;    // the lines PageDown showed, as read
    std::vector<std::string> words_;    // and their words
    std::string letters_;               // and their letters (see Letters)
    std::vector<bool> letterStarts_;
};

// The lines paging back shows from End are those paging forward shows from the first page, in
// the same order: going back, no page starts before the end of the page before it by more than
// a line, and none after it; and the pages are as full as the screen allows (see below).
TEST_P(ProgramPagingProperties, PagingBackShowsTheLinesPagingForwardShowedOnFullPages) {
    WalkBothWays();
    ASSERT_GT(forward_.size(), 20u);
    ASSERT_GT(back_.size(), 20u);
    EXPECT_EQ(back_.front(), forward_.front()) << "the last PageUp does not show page 1";
    size_t at = 0;  // the forward line the next page going back should start on
    int repeatingPages = 0, losingPages = 0, differing = 0;
    size_t mostRepeated = 0, lost = 0;
    for (size_t k = 0; k < back_.size(); ++k) {
        const std::vector<std::string>& page = backOnce_[k];
        if (page.empty()) continue;
        const long found = Locate(page, at);
        if (found < 0) {
            ADD_FAILURE() << "going back, page " << k + 1 << " of " << back_.size()
                          << " starts with a line paging forward never showed: "
                          << Quoted(page, 0);
            ++differing;
            continue;
        }
        const size_t start = static_cast<size_t>(found);
        if (start < at) {
            const size_t repeated = at - start;
            mostRepeated = std::max(mostRepeated, repeated);
            if (repeated > 1) {
                ++repeatingPages;
                ADD_FAILURE() << "going back, page " << k << " of " << back_.size()
                              << " repeats " << repeated << " lines of the page after it, from "
                              << Quoted(page, 0);
            }
        } else if (start > at) {
            ++losingPages;
            lost += start - at;
            ADD_FAILURE() << "going back, " << start - at << " lines between page " << k
                          << " and page " << k + 1 << " of " << back_.size()
                          << " are on no page, from " << Quoted(lines_, at);
        }
        size_t i = 0;
        while (i < page.size() && start + i < lines_.size() && lines_[start + i] == page[i]) ++i;
        if (i < page.size()) {
            ++differing;
            ADD_FAILURE() << "going back, page " << k + 1 << " of " << back_.size() << " shows "
                          << Quoted(page, i) << " where paging forward showed "
                          << Quoted(lines_, start + i);
        }
        at = std::max(at, start + i);
    }
    EXPECT_EQ(at, lines_.size()) << "going back, the lines from " << Quoted(lines_, at)
                                 << " are on no page";
    // One line in a summary, for the report of a failing run.
    EXPECT_TRUE(repeatingPages == 0 && losingPages == 0 && differing == 0)
        << "over " << back_.size() << " pages going back (" << forward_.size()
        << " forward): " << repeatingPages << " repeat more than a line (at most "
        << mostRepeated << "), " << losingPages << " leave " << lost << " lines out, "
        << differing << " show lines otherwise";
    ExpectAtMostOneShortPageBetweenKnownPlaces();
}

// Going back, pages are as full as the screen allows: between two places paging forward is
// known from (page 1, a page starting at a forced break) at most one page is short, not
// counting a page paging forward shows as well (a node's last, before a rule) and the views of
// a table wider than the screen.
void ProgramPagingProperties::ExpectAtMostOneShortPageBetweenKnownPlaces() const {
    std::vector<size_t> sizes;
    for (const Page& p : forward_) sizes.push_back(Shown(p).size());
    std::sort(sizes.begin(), sizes.end());
    const size_t full = sizes[sizes.size() * 3 / 4];
    auto isShort = [full](const Page& p) { return Shown(p).size() * 5 < full * 3; };
    size_t known = 0;  // the page the stretch going back starts at
    std::vector<size_t> shortPages;
    int stretches = 0, failing = 0;
    auto close = [&]() {
        ++stretches;
        if (shortPages.size() <= 1) return;
        ++failing;
        std::string which;
        for (size_t k : shortPages)
            which += " " + std::to_string(k + 1) + " (" + std::to_string(Shown(back_[k]).size()) +
                     " lines, from \"" + Shown(back_[k]).front() + "\")";
        ADD_FAILURE() << "going back, between page " << known + 1 << " and the next known place "
                      << shortPages.size() << " pages are short (a full page holds " << full
                      << " lines):" << which;
    };
    for (size_t k = 0; k < back_.size(); ++k) {
        if (k > 0 && StartsAtBreak(back_[k])) {
            close();
            known = k;
            shortPages.clear();
        }
        if (k + 1 < back_.size() && isShort(back_[k]) && !Shown(back_[k]).empty() &&
            !Viewed(backViews_, k) &&
            std::find(forward_.begin(), forward_.end(), back_[k]) == forward_.end())
            shortPages.push_back(k);
    }
    close();
    EXPECT_EQ(failing, 0) << failing << " of " << stretches
                          << " stretches between known places hold more than one short page";
}

// Go to page N, for the pages near the first, shows the page N - 1 PageDowns reach (the views
// of a table wider than the screen one page); and the
// first PageUp after a jump (Go to page 10, Find of a word far in, reopening the book where it
// was left) shows the page that ends where the page shown starts.
TEST_P(ProgramPagingProperties, JumpsShowPagesThatTileWithThePageBefore) {
    WalkBothWays();
    ASSERT_GT(forward_.size(), 20u);
    // A numbered word three quarters in, found nowhere else, on a page of no table's views
    // (Find shows the view holding it).
    std::string all;
    for (const std::string& w : words_) all += " " + w;
    std::string target;
    for (size_t k = forward_.size() * 3 / 4; k < forward_.size() && target.empty(); ++k) {
        if (Viewed(forwardViews_, k)) continue;
        for (const std::string& w : WordsOf(forward_[k])) {
            if (w.size() < 6 || w.find_first_of("0123456789") == std::string::npos ||
                w.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789") != std::string::npos)
                continue;
            const size_t first = all.find(w);
            if (first != std::string::npos && all.find(w, first + 1) == std::string::npos) {
                target = w;
                break;
            }
        }
    }
    ASSERT_FALSE(target.empty());

    const std::unique_ptr<TempDevice> device = NewDevice();
    const std::string o = device->outside() + "/";
    std::string steps = "idle\n" + Larger();
    for (int n = 2; n <= 5; ++n)
        steps += "key 0x24\nidle\ntext " + std::to_string(n) + "\nanswer 0\nmenu 40092\nidle\n"
                 "pagetext " + o + "goto" + std::to_string(n) + ".txt\n";
    steps += "text 10\nanswer 0\nmenu 40092\nidle\npagetext " + o + "goto10.txt\nkey 0x21\nidle\n"
             "pagetext " + o + "goto10-up.txt\n";
    steps += "text " + target + "\nanswer 0\nmenu 40078\nidle\npagetext " + o + "find.txt\n"
             "key 0x21\nidle\npagetext " + o + "find-up.txt\n";
    // Left a few pages on from a jump, where no page was paged to from the first.
    steps += "text 12\nanswer 0\nmenu 40092\nidle\nkey 0x22\nidle\nkey 0x22\nidle\n"
             "pagetext " + o + "left.txt\n";
    Run(*device, steps);
    Run(*device, "idle\npagetext " + o + "reopened.txt\nkey 0x21\nidle\npagetext " + o +
                     "reopened-up.txt\n");

    // The pages PageDown reaches: each view of a table read view by view is a page of its own,
    // numbered as PageDown steps through it.
    ASSERT_GT(forward_.size(), 5u);
    int wrongPages = 0;
    for (int n = 2; n <= 5; ++n) {
        const Page shown = ReadLines(o + "goto" + std::to_string(n) + ".txt");
        const size_t downs = static_cast<size_t>(n - 1);
        const Page& paged = forward_[downs];
        if (shown == paged) continue;
        ++wrongPages;
        const std::vector<std::string> a = Shown(shown), b = Shown(paged);
        ADD_FAILURE() << "Go to page " << n << " shows the page from " << Quoted(a, 0) << " ("
                      << a.size() << " lines), " << downs << " PageDowns the page from "
                      << Quoted(b, 0) << " (" << b.size() << " lines)";
    }
    EXPECT_EQ(wrongPages, 0) << wrongPages << " of 4 pages Go to page shows are not those "
                             << "PageDown reaches";

    EXPECT_EQ(ReadLines(o + "reopened.txt"), ReadLines(o + "left.txt"))
        << "reopened elsewhere than where the book was left";
    // A shape whose tables are read view by view shows parts of their rows on a page: its
    // jumps land on views whose letters do not run on as the pages' letters do (the walks
    // above check its pages).
    if (std::string(std::get<0>(GetParam())) == "api") return;
    const std::vector<std::string> found = Shown(ReadLines(o + "find.txt"));
    EXPECT_TRUE(std::any_of(found.begin(), found.end(), [&target](const std::string& l) {
        return l.find(target) != std::string::npos;
    })) << "Find did not show " << target;
    int faults = 0;
    for (const char* jump : {"goto10", "find", "reopened"})
        faults += ExpectTiles(ReadLines(o + jump + ".txt"), ReadLines(o + jump + "-up.txt"), jump);
    EXPECT_EQ(faults, 0) << "the first PageUp after " << faults << " of 3 jumps repeats or loses";
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, ProgramPagingProperties,
    ::testing::Combine(::testing::Values("texinfo", "plain", "api", "listings", "pictures"),
                       ::testing::Values(ScreenSetting{"240x320", 0},
                                         ScreenSetting{"480x640@192", 0},
                                         ScreenSetting{"240x320", 2})),
    ParamName);

}  // namespace
}  // namespace fvt::test

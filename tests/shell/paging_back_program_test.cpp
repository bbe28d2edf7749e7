// Paging back in the program itself, on the kinds of books that paged back badly: chapters that
// each start a new page, contents and lists of short lines, long listings, a cell taller than
// the page, a page laid out as one table, a plain text, and a FOLV book (not replayed, so a page
// reached by a jump must rebuild its open elements). From End, PageUp after PageUp, each page's
// text is taken; read in reading order they must hold every word PageDown showed, at most one
// line shown again across a step, every line as PageDown laid it out, the last step on page 1
// and the first on the last page PageDown ends on.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "shell/program_runs.h"
#include "support/bookfiles/book_builder.h"
#include "support/platform/temp_device.h"
#include "support/shell/program_launcher.h"

namespace fvt::test {
namespace {

// Words that each appear once in a book: a word and a running number.
class UniqueWords {
public:
    std::string Next(int n) {
        static const char* const kWords[] = {"harbour", "lantern", "evening", "quiet",
                                             "ships",   "under",   "keeper",  "stone",
                                             "water",   "climbed", "light",   "the"};
        std::string out;
        for (int i = 0; i < n; ++i) {
            r_ = r_ * 1103515245u + 12345u;
            if (i) out += ' ';
            out += kWords[(r_ >> 16) % 12] + std::to_string(++count_);
        }
        return out;
    }

private:
    uint32_t r_ = 7;
    int count_ = 0;
};

// Chapters headed by H1 (each starts a page), a contents list of short lines, lists of short
// items, paragraphs longer than a page and listings with brackets.
std::string ChaptersHtml() {
    UniqueWords w;
    std::string h = "<html><head><title>Chapters</title></head><body><h1>Contents</h1>";
    for (int c = 1; c <= 6; ++c) h += "<b>Part" + std::to_string(c) + " entry</b><br>";
    for (int c = 1; c <= 6; ++c) {
        h += "<h1>Part" + std::to_string(c) + " heading</h1>";
        for (int p = 0; p < 2; ++p) h += "<p>" + w.Next(45) + "</p>";
        h += "<ul>";
        for (int i = 0; i < 10; ++i) h += "<li>" + w.Next(1) + "</li>";
        h += "</ul><pre>";
        for (int i = 0; i < 24; ++i)
            h += "  code" + std::to_string(c) + "x" + std::to_string(i) + " &lt;tag" +
                 std::to_string(c * 100 + i) + "&gt;\n";
        h += "</pre><p>" + w.Next(30) + "</p>";
    }
    return h + "</body></html>";
}

// A page-wide table of one cell holding many paragraphs, a bordered cell taller than the page
// beside a short one, and a table of many rows.
std::string TablesHtml() {
    UniqueWords w;
    std::string h = "<html><body><p>" + w.Next(20) + "</p><table width=\"100%\"><tr><td>";
    for (int i = 0; i < 12; ++i) h += "<p><b>call" + std::to_string(i) + "</b> " + w.Next(30) + "</p>";
    h += "</td></tr></table><table border=\"1\"><tr><td>" + w.Next(260) +
         "</td><td>side</td></tr></table><table width=\"100%\">";
    for (int r = 0; r < 40; ++r)
        h += "<tr><td>row" + std::to_string(r) + "</td><td>" + w.Next(10) + "</td></tr>";
    return h + "</table><p>" + w.Next(20) + "</p></body></html>";
}

std::string PlainText() {
    UniqueWords w;
    std::string t;
    for (int p = 0; p < 40; ++p) {
        t += w.Next(10 + (p * 7) % 50) + "\n";
        if (p % 5 == 0) t += "\n";
        if (p % 9 == 0)
            for (int i = 0; i < 5; ++i) t += "  " + w.Next(1) + "\n";
    }
    return t;
}

// A FOLV book of lists with nested indents and listings: a page reached by a jump keeps them.
std::string ListsBookHtml() {
    UniqueWords w;
    std::string h = "<html><head><title>Lists</title></head><body>";
    for (int c = 0; c < 6; ++c) {
        h += "<h2>Section" + std::to_string(c) + "</h2><p>" + w.Next(25) + "</p><ul>";
        for (int i = 0; i < 6; ++i) {
            h += "<li>" + w.Next(14) + "<ul><li>";
            h += w.Next(12) + "</li></ul></li>";
        }
        h += "</ul><pre>";
        for (int i = 0; i < 16; ++i)
            h += "    listing" + std::to_string(c) + "x" + std::to_string(i) + " = value;\n";
        h += "</pre>";
    }
    return h + "</body></html>";
}

// A manual whose last bytes are markup after the last word, as generated manuals end: a footer
// of empty blocks and a script longer than a page.
std::string TrailingMarkupHtml() {
    UniqueWords w;
    std::string h = "<html><head><title>Manual</title></head><body>";
    for (int c = 0; c < 6; ++c) {
        h += "<h2>Chapter" + std::to_string(c) + "</h2>";
        for (int p = 0; p < 3; ++p) h += "<p>" + w.Next(60) + "</p>";
    }
    h += "<p>closing" + std::to_string(0) + " words.</p><div class=\"footer\">";
    for (int i = 0; i < 400; ++i) h += "<div class=\"x\"><span></span></div>\n";
    h += "</div><script>";
    for (int i = 0; i < 300; ++i) h += "var a = 1;\n";
    return h + "</script></body></html>";
}

// A manual of function synopses: listings whose lines end in <br/>, blank lines between
// the calls.
std::string SynopsesHtml() {
    UniqueWords w;
    std::string h = "<html><body>";
    for (int c = 0; c < 10; ++c) {
        h += "<h3>Section" + std::to_string(c) + "</h3><p>" + w.Next(15) + "</p><pre>";
        for (int i = 0; i < 4 + (c * 7) % 11; ++i) {
            const std::string n = std::to_string(c * 100 + i);
            h += "<b>int</b> fn" + n + "(<i>int</i> a" + n + ",<br/>        <i>char</i> *b" + n +
                 ");<br/>";
            if ((c + i) % 3 == 0) h += "<br/>";
        }
        h += "</pre>";
    }
    return h + "</body></html>";
}

// A short story of a few pages, with a heading and paragraphs of unequal length.
std::string ShortStoryHtml() {
    UniqueWords w;
    std::string h = "<html><head><title>Story</title></head><body><h1>Story</h1>";
    for (int p = 0; p < 9; ++p) h += "<p>" + w.Next(12 + (p * 17) % 40) + "</p>";
    return h + "</body></html>";
}

// A long listing of short lines: its pages hold fewer positions than the estimate counts, so
// the count Go to page offers is reached well before the end.
std::string ShortLinesHtml() {
    std::string h = "<html><body><pre>";
    for (int i = 0; i < 6000; ++i) h += "x" + std::to_string(i) + "\n";
    return h + "closing words</pre></body></html>";
}

using Page = std::vector<std::string>;

// The pages a run wrote, in order, up to the first that repeats the one before (the key did not
// move).
std::vector<Page> ReadPages(const std::string& folder, int count) {
    std::vector<Page> pages;
    for (int i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "/p%03d.txt", i);
        Page p = ReadLines(folder + name);
        if (!pages.empty() && p == pages.back()) break;
        pages.push_back(p);
    }
    return pages;
}

// Runs the reader on the book: the page shown first (after `start`), then after each of
// `count` presses of `key`.
std::vector<Page> Walk(const TempDevice& device, const std::string& book, const std::string& start,
                       const std::string& key, int count, const std::string& name,
                       const std::vector<std::string>& env = {}) {
    const std::string folder = device.outside() + "/" + name;
    std::filesystem::create_directories(folder);
    std::string steps = "idle\n" + start;
    for (int i = 0; i < count; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "/p%03d.txt", i);
        steps += "pagetext " + folder + name + "\n" + key + "\nidle\n";
    }
    const ProgramResult run = RunSteps(device, {book}, steps + "quit\n", env);
    EXPECT_EQ(run.status, 0) << run.Describe();
    return ReadPages(folder, count);
}

// Checks the pages PageUp showed (in the order shown, from the last page) against those PageDown
// showed (from the first).
void ExpectBackwardTilesForward(const std::vector<Page>& forward, std::vector<Page> backward) {
    ASSERT_GT(forward.size(), 3u);
    ASSERT_GT(backward.size(), 3u);
    // Pages compared by their lines' words (see below for the blanks).
    auto words = [](const Page& page) {
        std::vector<std::vector<std::string>> lines;
        for (const std::string& line : page) lines.push_back(Split(line));
        return lines;
    };
    // End's page is filled upward from the page before: it ends with the lines of the last
    // page PageDown shows, and shows more of them when that page is short.
    const auto endLines = words(backward.front()), lastLines = words(forward.back());
    ASSERT_GE(endLines.size(), lastLines.size()) << "End shows a page shorter than PageDown's last";
    EXPECT_TRUE(std::equal(lastLines.begin(), lastLines.end(),
                           endLines.end() - static_cast<std::ptrdiff_t>(lastLines.size())))
        << "End's page does not end with the lines of the last page PageDown shows";
    std::reverse(backward.begin(), backward.end());
    EXPECT_EQ(words(backward.front()), words(forward.front()))
        << "the last PageUp does not reach page 1";

    // Where each word that appears once stands in the text PageDown showed; and each line
    // PageDown laid out, by its first such word.
    std::map<std::string, int> order;
    std::set<std::string> repeated;
    std::map<std::string, std::string> lineOf;
    int n = 0;
    for (const Page& p : forward)
        for (const std::string& line : p) {
            const std::vector<std::string> words = Split(line);
            for (const std::string& word : words)
                if (!order.emplace(word, n++).second) repeated.insert(word);
            if (!words.empty()) lineOf.emplace(words.front(), line);
        }
    for (const std::string& word : repeated) order.erase(word);
    auto span = [&](const std::string& line, int& lo, int& hi) {
        lo = hi = -1;
        for (const std::string& word : Split(line)) {
            auto it = order.find(word);
            if (it == order.end()) continue;
            if (lo < 0 || it->second < lo) lo = it->second;
            hi = std::max(hi, it->second);
        }
        return lo >= 0;
    };

    std::vector<bool> shown(static_cast<size_t>(n), false);
    int previousEnd = -1;
    const Page* previous = nullptr;
    for (size_t k = 0; k < backward.size(); ++k) {
        const Page& page = backward[k];
        int first = -1, last = -1;
        for (const std::string& line : page) {
            int lo = 0, hi = 0;
            if (!span(line, lo, hi)) continue;
            if (first < 0) first = lo;
            last = std::max(last, hi);
            for (int i = lo; i <= hi; ++i) shown[static_cast<size_t>(i)] = true;
            // A line starting where a line PageDown showed starts reads the same (its
            // words; a listing line's leading blanks are one fewer inside a page than at its
            // top, going either way).
            auto same = lineOf.find(Split(line).front());
            if (same != lineOf.end() && order.count(same->first)) {
                EXPECT_EQ(Split(line), Split(same->second))
                    << "page " << k << " of " << backward.size();
            }
        }
        if (first < 0) continue;
        // A page at a forced break (or after page 1) is shown as PageDown shows it, and may
        // repeat the first lines of the page after it.
        const bool forwardPage =
            previous && std::find(forward.begin(), forward.end(), *previous) != forward.end();
        if (previous && !forwardPage) {
            int again = 0;
            for (const std::string& line : *previous) {
                int lo = 0, hi = 0;
                if (span(line, lo, hi) && hi >= first) ++again;
            }
            EXPECT_LE(again, 1) << "page " << k << " repeats " << again << " lines; it begins "
                                << page.front();
        }
        previousEnd = std::max(previousEnd, last);
        previous = &page;
    }
    int lost = 0;
    std::string firstLost;
    for (const auto& [word, at] : order)
        if (!shown[static_cast<size_t>(at)] && lost++ == 0) firstLost = word;
    EXPECT_EQ(lost, 0) << "words no PageUp showed, among them " << firstLost;
}

class ProgramPagingBack : public ::testing::Test {
protected:
    void Check(const std::string& book, const std::string& name, int count,
               const std::vector<std::string>& env = {}) {
        const std::vector<Page> forward =
            Walk(device, book, "", "key 0x22", count, name + "-down", env);
        const std::vector<Page> backward =
            Walk(device, book, "key 0x23\nidle\n", "key 0x21", count, name + "-up", env);
        ASSERT_LT(forward.size(), static_cast<size_t>(count)) << "the walk did not reach the end";
        ASSERT_LT(backward.size(), static_cast<size_t>(count));
        ExpectBackwardTilesForward(forward, backward);
    }
    std::string Outside(const std::string& name, const std::string& bytes) {
        device.WriteOutside(name, bytes);
        return device.OutsidePath(name);
    }
    TempDevice device;
};

TEST_F(ProgramPagingBack, ChaptersListsAndListingsInHtml) {
    ASSERT_TRUE(device.ok());
    Check(Outside("chapters.html", ChaptersHtml()), "chapters", 160);
}

TEST_F(ProgramPagingBack, TallCellsAndPagesLaidOutAsOneTable) {
    ASSERT_TRUE(device.ok());
    Check(Outside("tables.html", TablesHtml()), "tables", 200);
}

TEST_F(ProgramPagingBack, PlainText) {
    ASSERT_TRUE(device.ok());
    Check(Outside("plain.txt", PlainText()), "plain", 160);
}

// The FOLV book is not replayed: pages reached from End rebuild the lists and the listings
// open at their start, and show them as PageDown does.
TEST_F(ProgramPagingBack, AFolvBookKeepsItsListsAndListings) {
    ASSERT_TRUE(device.ok());
    const std::string html = ListsBookHtml();
    BookBuilder book;
    book.text.assign(html.begin(), html.end());
    book.fullName = "Lists";
    const Bytes bytes = book.Build();
    device.WriteHost("storage/eBooks/Lists.prc", std::string(bytes.begin(), bytes.end()));
    Check("\\storage\\eBooks\\Lists.prc", "folv", 160);
    // The listings keep their lines and indents going back too: every listing line is a line
    // of its own, indented.
    int listingLines = 0;
    for (const Page& p : ReadPages(device.outside() + "/folv-up", 160))
        for (const std::string& line : p) {
            if (line.find("listing") == std::string::npos) continue;
            ++listingLines;
            EXPECT_EQ(line.rfind("  ", 0), 0u) << line;
            EXPECT_EQ(line.find("listing", line.find("listing") + 1), std::string::npos) << line;
        }
    EXPECT_GE(listingLines, 6 * 16);
}

// End and Go to page on a manual that ends in markup: End shows the last words PageDown ends on,
// not the remains of a tag; a page number past the last words (the dialog keeps the number
// within the count it offers) shows that page too, and PageUp from it moves back through text.
class ProgramPagingToTheEnd : public ProgramPagingBack,
                              public ::testing::WithParamInterface<const char*> {};

TEST_P(ProgramPagingToTheEnd, AManualEndingInMarkupShowsItsLastWords) {
    ASSERT_TRUE(device.ok());
    const std::string book = Outside("trailing.html", TrailingMarkupHtml());
    const std::vector<std::string> env = {std::string("FOLIVANT_SCREEN=") + GetParam()};
    Check(book, "trailing", 200, env);
    const std::vector<Page> end = ReadPages(device.outside() + "/trailing-up", 1);
    ASSERT_EQ(end.size(), 1u);
    const std::vector<Page> jumped = Walk(device, book, "text 9999\nanswer 0\nmenu 40092\nidle\n",
                                          "key 0x21", 4, "trailing-goto", env);
    ASSERT_EQ(jumped.size(), 4u) << "PageUp from the page Go to page shows does not move";
    EXPECT_EQ(jumped.front(), end.front());
    for (const Page& p : jumped) {
        ASSERT_FALSE(p.empty());
        EXPECT_EQ(p.front().find("script"), std::string::npos) << p.front();
    }
}

INSTANTIATE_TEST_SUITE_P(Screens, ProgramPagingToTheEnd,
                         ::testing::Values("240x320", "480x640@192"));

// Every line of a listing is on a page going back, its blank lines too: a page found going
// back ends where the page after it starts, with the blank lines above that start.
class ProgramPagingListings : public ProgramPagingBack,
                              public ::testing::WithParamInterface<const char*> {};

TEST_P(ProgramPagingListings, SynopsesWithBreaksLoseNoLineGoingBack) {
    ASSERT_TRUE(device.ok());
    const std::string book = Outside("synopses.html", SynopsesHtml());
    Check(book, "synopses", 200, {std::string("FOLIVANT_SCREEN=") + GetParam()});
    // Lines compared without their leading blanks (one fewer at a page's top).
    auto lines = [](const std::vector<Page>& pages) {
        std::multiset<std::string> out;
        for (const Page& p : pages)
            for (const std::string& line : p) {
                const size_t text = line.find_first_not_of(' ');
                out.insert(text == std::string::npos ? std::string() : line.substr(text));
            }
        return out;
    };
    const std::multiset<std::string> forward =
        lines(ReadPages(device.outside() + "/synopses-down", 200));
    const std::multiset<std::string> backward =
        lines(ReadPages(device.outside() + "/synopses-up", 200));
    // A blank line that paging forward dropped at a page's end may show going back.
    EXPECT_GE(backward.count(""), forward.count("")) << "blank lines PageUp lost";
    for (auto it = forward.begin(); it != forward.end(); it = forward.upper_bound(*it))
        if (!it->empty()) {
            EXPECT_EQ(forward.count(*it), backward.count(*it)) << *it;
        }
}

INSTANTIATE_TEST_SUITE_P(Screens, ProgramPagingListings,
                         ::testing::Values("240x320", "480x640@192"));

// A short text is numbered as paging forward numbers it: Go to page n shows the page n - 1
// PageDowns reach, and a number past the count shows the last page, End's.
class ProgramPageNumbers : public ProgramPagingBack,
                           public ::testing::WithParamInterface<const char*> {};

TEST_P(ProgramPageNumbers, GoToPageInAShortStoryShowsThePagesPageDownShows) {
    ASSERT_TRUE(device.ok());
    const std::string book = Outside("story.html", ShortStoryHtml());
    const std::vector<std::string> env = {std::string("FOLIVANT_SCREEN=") + GetParam()};
    const std::vector<Page> forward = Walk(device, book, "", "key 0x22", 40, "story-down", env);
    ASSERT_GE(forward.size(), 3u);
    ASSERT_LT(forward.size(), 40u);
    const std::string folder = device.outside() + "/story-goto";
    std::filesystem::create_directories(folder);
    std::string steps = "idle\n";
    for (size_t n = 1; n <= forward.size() + 1; ++n)
        steps += "text " + std::to_string(n == forward.size() + 1 ? 9999 : n) +
                 "\nanswer 0\nmenu 40092\nidle\npagetext " + folder + "/g" + std::to_string(n) +
                 ".txt\n";
    steps += "key 0x23\nidle\npagetext " + folder + "/end.txt\nquit\n";
    ASSERT_EQ(RunSteps(device, {book}, steps, env).status, 0);
    for (size_t n = 1; n <= forward.size(); ++n)
        EXPECT_EQ(ReadLines(folder + "/g" + std::to_string(n) + ".txt"), forward[n - 1])
            << "Go to page " << n;
    EXPECT_EQ(ReadLines(folder + "/g" + std::to_string(forward.size() + 1) + ".txt"),
              forward.back())
        << "a number past the count";
    EXPECT_EQ(ReadLines(folder + "/end.txt"), forward.back()) << "End";
}

INSTANTIATE_TEST_SUITE_P(Screens, ProgramPageNumbers, ::testing::Values("240x320", "480x640@192"));

// The count Go to page offers is the last page's number: a number at or past it shows the
// page End shows, however far before the end the estimate puts that page's start.
TEST_P(ProgramPagingToTheEnd, TheCountGoToPageOffersShowsTheLastPage) {
    ASSERT_TRUE(device.ok());
    const std::string book = Outside("lines.html", ShortLinesHtml());
    const std::vector<std::string> env = {std::string("FOLIVANT_SCREEN=") + GetParam()};
    const std::vector<Page> end =
        Walk(device, book, "key 0x23\nidle\n", "key 0x21", 2, "lines-end", env);
    ASSERT_FALSE(end.empty());
    ASSERT_FALSE(end.front().empty());
    EXPECT_EQ(end.front().back(), "closing words");
    const std::vector<Page> jumped = Walk(device, book, "text 9999\nanswer 0\nmenu 40092\nidle\n",
                                          "key 0x21", 2, "lines-goto", env);
    ASSERT_FALSE(jumped.empty());
    EXPECT_EQ(jumped.front(), end.front());
}

}  // namespace
}  // namespace fvt::test

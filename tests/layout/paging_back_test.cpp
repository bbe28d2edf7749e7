// Paging back is the inverse of paging forward, with the real layout and fonts: after any jump
// (the last page, Go to page, a found word, a reopened saved page) each PageUp shows the page
// that ends where the current one starts, at most one line repeated and nothing skipped, with
// its styles, and repeated PageUps reach the first page. Books (pages start anywhere) and HTML
// files (replayed from the start) alike.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/byte_stream.h"
#include "core/file.h"
#include "core/text.h"
#include "document/markup/html_tokenizer.h"
#include "document/markup/plain_text_token_source.h"
#include "document/sources/text_file_document.h"
#include "document/location/location.h"
#include "layout/inline_objects.h"
#include "layout/page_layout.h"
#include "support/layout/layout_host.h"
#include "support/layout/paging_fixtures.h"
#include "support/layout/picture_data.h"
#include "support/platform/window_fixture.h"

namespace {

using fvt::test::LayoutHost;

std::u16string Num(int n) {
    std::string s = std::to_string(n);
    return std::u16string(s.begin(), s.end());
}

// Headings, a contents list of bold lines, paragraphs, lists and small tables.
std::u16string Book(int chapters = 10) {
    static const char16_t* const kWords[] = {u"harbour", u"lantern", u"evening", u"quiet",
                                             u"ships",   u"under",   u"the",     u"keeper",
                                             u"stone",   u"water",   u"climbed", u"light"};
    std::u16string h = u"<html><head><title>Paging</title></head><body><h1>Contents</h1>";
    for (int c = 1; c <= chapters; ++c) h += u"<b>Chapter " + Num(c) + u"</b><br>";
    uint32_t r = 11;
    for (int c = 1; c <= chapters; ++c) {
        h += u"<h2>Chapter " + Num(c) + u"</h2>";
        for (int p = 0; p < 4; ++p) {
            h += u"<p>";
            for (int w = 0; w < 45; ++w) {
                r = r * 1103515245u + 12345u;
                h += kWords[(r >> 16) % 12];
                h += u' ';
            }
            h += u"w" + Num(c * 100 + p) + u".</p>";
        }
        h += u"<ul><li>first item " + Num(c) + u"</li><li>second item</li><li>third</li></ul>";
        if (c % 3 == 0)
            h += u"<table border=1><tr><td>cell a" + Num(c) +
                 u"</td><td>cell b</td></tr><tr><td>row two</td><td>end</td></tr></table>";
    }
    return h + u"</body></html>";
}

struct Page {
    uint32_t start = 0;
    uint32_t end = 0;
    std::vector<uint32_t> lineStarts;
    std::vector<std::string> lines;
    std::vector<Rect> boxes;
    std::vector<uint32_t> lastText;  // where each line's last word starts
};

class PagingBack : public fvt::test::WindowTest {
public:
    void Open(bool seekable, int chapters = 10) {
        host = std::make_unique<LayoutHost>(Book(chapters), 240, 320, 12, true, seekable, 0x51u);
        layout().SetViewport(Rect{0, 0, 240, 320});
        ASSERT_TRUE(layout().Start());
    }
    PageLayout& layout() { return host->Layout(); }
    void TearDown() override {
        host.reset();
        WindowTest::TearDown();
    }

    // The current page as shown: its range and its lines with where each starts.
    Page Shown() { return ShownBy(layout()); }
    static Page ShownBy(PageLayout& layout) {
        Page p;
        p.start = layout.CurrentPageStart();
        int32_t s = -1;
        EXPECT_TRUE(layout.LayoutPageAt(p.start, false, &s));
        PageRecord* r = layout.FindPageRecord(p.start, PageStepCode::kSamePage);
        EXPECT_NE(r, nullptr);
        if (!r || s < 0) return p;
        p.end = r->end;
        BlockContents& b = layout.Slot(s).contents;
        p.lines = fvt::test::LineTexts(b, &p.boxes);
        BlockCursor c;
        c.Init(&b, true);
        bool waiting = false;
        for (; !c.AtEnd(); c.Next()) {
            if (c.Kind() == kItemLine && b.Line(c.counts[kItemLine])->height > 0) waiting = true;
            const BlockItem* item = b.ItemAt(c.position);
            if (waiting && c.Kind() != kItemLine && item->HasPosition()) {
                p.lineStarts.push_back(item->Position());
                p.lastText.push_back(item->Position());
                waiting = false;
            }
            if (!p.lastText.empty() && c.Kind() == kItemTextRun && item->HasPosition())
                p.lastText.back() = item->Position();
        }
        return p;
    }

    std::vector<Page> Forward() {
        std::vector<Page> pages;
        shownWhole_.clear();
        EXPECT_TRUE(layout().GoToPage(1));
        bool afterBreak = false;
        for (int i = 0; i < 400; ++i) {
            pages.push_back(Shown());
            if (i == 1 || afterBreak) shownWhole_[pages.back().start] = pages.back().end;
            afterBreak = layout().CurrentPageEndsWithBreak();
            if (!layout().GoToPosition(layout().CurrentPageStart(), PageStepCode::kNextPage)) break;
        }
        return pages;
    }
    // Going back, a page that paging forward starts after a forced break or after the first
    // page is shown as paging forward shows it (the last Forward walk's), and may end past
    // where the page after it starts.
    bool ShownWhole(const Page& p) const {
        auto it = shownWhole_.find(p.start);
        return it != shownWhole_.end() && it->second == p.end;
    }
    std::map<uint32_t, uint32_t> shownWhole_;

    // Lines of `before` that hold text at or after `start` (the cells of a table row side by
    // side count once).
    static int RepeatedLines(const Page& before, uint32_t start) {
        std::vector<int32_t> tops;
        for (size_t i = 0; i < before.lastText.size() && i < before.boxes.size(); ++i) {
            int32_t top = before.boxes[i].y;
            if (before.lastText[i] >= start && std::find(tops.begin(), tops.end(), top) == tops.end())
                tops.push_back(top);
        }
        return static_cast<int>(tops.size());
    }
    static std::string Describe(const Page& p) {
        std::string out;
        for (size_t i = 0; i < p.lines.size(); ++i)
            out += std::to_string(i < p.lineStarts.size() ? p.lineStarts[i] : 0) + " h" +
                   std::to_string(i < p.boxes.size() ? p.boxes[i].height : 0) + " " +
                   p.lines[i] + "\n";
        return out;
    }
    // PageUp until it refuses: every page ends where the one after it starts (or at most one
    // line later), and lines that start where the forward walk's did read the same (styles
    // kept). Returns the number of steps; the last page reached is the first.
    int PageBackToTheStart(const std::map<uint32_t, std::string>& forwardLines,
                           int maxSteps = 1000) {
        Page cur = Shown();
        int steps = 0;
        const bool failedBefore = ::testing::Test::HasFailure();
        while (steps < maxSteps &&
               layout().GoToPosition(cur.start, PageStepCode::kPageEndingHere)) {
            ++steps;
            Page before = Shown();
            EXPECT_LT(before.start, cur.start);
            EXPECT_GE(before.end, cur.start) << "text skipped before " << cur.start;
            // The first page may end later: the text before a page is not always a page; so
            // may a page at a boundary.
            if (before.start != layout().FirstPageStart() && !ShownWhole(before)) {
                EXPECT_LE(RepeatedLines(before, cur.start), 1)
                    << "page at " << before.start << " ends at " << before.end
                    << ", the next starts at " << cur.start << "\n"
                    << Describe(before);
            }
            for (size_t i = 0; i < before.lineStarts.size() && i < before.lines.size(); ++i) {
                auto it = forwardLines.find(before.lineStarts[i]);
                if (it != forwardLines.end()) {
                    EXPECT_EQ(before.lines[i], it->second) << "line at " << before.lineStarts[i];
                }
            }
            if (!failedBefore && ::testing::Test::HasFailure()) return steps;
            cur = before;
        }
        EXPECT_EQ(cur.start, layout().FirstPageStart()) << "the first page was not reached";
        return steps;
    }

    static std::map<uint32_t, std::string> LinesByStart(const std::vector<Page>& pages) {
        std::map<uint32_t, std::string> m;
        for (const Page& p : pages)
            for (size_t i = 0; i < p.lineStarts.size() && i < p.lines.size(); ++i)
                m[p.lineStarts[i]] = p.lines[i];
        return m;
    }

    std::unique_ptr<LayoutHost> host;
};

TEST_F(PagingBack, AfterForwardPagesBackwardRetracesThem) {
    for (bool seekable : {true, false}) {
        SCOPED_TRACE(seekable ? "book" : "html");
        Open(seekable, 3);  // as many pages as are remembered
        std::vector<Page> forward = Forward();
        ASSERT_GT(forward.size(), 4u);
        ASSERT_LE(forward.size(), static_cast<size_t>(PageLayout::kMaxRecords));
        for (size_t i = 1; i < forward.size(); ++i) ASSERT_EQ(forward[i].start, forward[i - 1].end);
        std::vector<uint32_t> back{layout().CurrentPageStart()};
        while (layout().GoToPosition(layout().CurrentPageStart(), PageStepCode::kPageEndingHere)) {
            back.push_back(layout().CurrentPageStart());
            ASSERT_LT(back.size(), 1000u);
        }
        ASSERT_EQ(back.size(), forward.size());
        for (size_t i = 0; i < forward.size(); ++i)
            EXPECT_EQ(back[forward.size() - 1 - i], forward[i].start);
    }
}

TEST_F(PagingBack, FromTheLastPageAfterAJump) {
    for (bool seekable : {true, false}) {
        SCOPED_TRACE(seekable ? "book" : "html");
        Open(seekable);
        std::vector<Page> forward = Forward();
        std::map<uint32_t, std::string> lines = LinesByStart(forward);
        Open(seekable);  // nothing known but the first page
        ASSERT_TRUE(layout().GoToPage(PageLayout::kNone));
        EXPECT_EQ(Shown().end, layout().TextLength());
        int steps = PageBackToTheStart(lines);
        // Every PageUp goes back about a page: no more steps than the forward walk, give or
        // take the pages cut where the jump landed.
        EXPECT_LE(steps, static_cast<int>(forward.size()) + 1);
        EXPECT_GE(steps, static_cast<int>(forward.size()) - 2);
    }
}

TEST_F(PagingBack, AfterGoToPageAndAfterAFoundWord) {
    for (bool seekable : {true, false}) {
        SCOPED_TRACE(seekable ? "book" : "html");
        Open(seekable);
        std::vector<Page> forward = Forward();
        std::map<uint32_t, std::string> lines = LinesByStart(forward);

        Open(seekable);
        ASSERT_TRUE(layout().GoToPage(static_cast<uint32_t>(forward.size() / 2)));
        PageBackToTheStart(lines);

        // A found word: its page is shown starting at the word's own page, or at the word.
        std::u16string text = Book();
        uint32_t word = static_cast<uint32_t>(text.find(u"w701."));
        ASSERT_NE(word, std::u16string::npos);
        Open(seekable);
        ASSERT_TRUE(layout().GoToPageContaining(word));
        PageBackToTheStart(lines);
        Open(seekable);
        ASSERT_TRUE(layout().GoToPositionAsPageStart(word));
        PageBackToTheStart(lines);
    }
}

// The page shown by PageUp is the longest that reaches the current start: it ends there (it
// stops there when more would fit), and the page one line earlier would stop short of it
// (plain paragraphs, where the search can tell that from the lines' heights without laying
// that page out).
TEST_F(PagingBack, ThePageFoundIsTheLongestThatReachesTheStart) {
    std::u16string html = u"<html><body>";
    uint32_t r = 5;
    static const char16_t* const kWords[] = {u"a", u"harbour", u"lantern", u"of", u"quiet",
                                             u"evening", u"ships", u"the"};
    for (int p = 0; p < 40; ++p) {
        if (p % 3 == 0) html += u"<h3>Part " + Num(p) + u"</h3>";
        html += u"<p>";
        for (int w = 0; w < 20 + p % 7 * 9; ++w) {
            r = r * 1103515245u + 12345u;
            html += kWords[(r >> 16) % 8];
            html += u' ';
        }
        html += u"</p>";
    }
    html += u"</body></html>";
    for (bool seekable : {true, false}) {
        SCOPED_TRACE(seekable ? "book" : "html");
        host = std::make_unique<LayoutHost>(html, 240, 320, 12, true, seekable, 0x51u);
        layout().SetViewport(Rect{0, 0, 240, 320});
        ASSERT_TRUE(layout().Start());
        std::vector<Page> forward = Forward();
        std::vector<uint32_t> starts;
        for (const Page& p : forward)
            starts.insert(starts.end(), p.lineStarts.begin(), p.lineStarts.end());
        ASSERT_GT(forward.size(), 6u);
        int checked = 0;
        for (size_t k = 3; k + 1 < forward.size(); ++k) {
            // A jump to a line of the k-th page, then PageUp.
            uint32_t target = forward[k].lineStarts[forward[k].lineStarts.size() / 2];
            host = std::make_unique<LayoutHost>(html, 240, 320, 12, true, seekable, 0x51u);
            layout().SetViewport(Rect{0, 0, 240, 320});
            ASSERT_TRUE(layout().Start());
            ASSERT_TRUE(layout().GoToPositionAsPageStart(target));
            ASSERT_TRUE(layout().GoToPosition(target, PageStepCode::kPageEndingHere));
            Page found = Shown();
            ASSERT_GE(found.end, target);
            auto at = std::find(starts.begin(), starts.end(), found.start);
            ASSERT_NE(at, starts.end()) << "the page found starts inside a line";
            if (at == starts.begin()) continue;
            ASSERT_TRUE(layout().GoToPositionAsPageStart(*(at - 1)));
            EXPECT_LT(Shown().end, target) << "a page one line earlier reaches " << target;
            ++checked;
        }
        EXPECT_GT(checked, 0);
    }
}

TEST_F(PagingBack, AfterReopeningAtASavedPage) {
    for (bool seekable : {true, false}) {
        SCOPED_TRACE(seekable ? "book" : "html");
        Open(seekable);
        std::vector<Page> forward = Forward();
        std::map<uint32_t, std::string> lines = LinesByStart(forward);
        Open(seekable);
        ASSERT_TRUE(layout().GoToPage(static_cast<uint32_t>(forward.size() * 2 / 3)));
        uint32_t number = 0, start = 0;
        ByteStream state;
        ASSERT_TRUE(layout().SaveCurrentPageState(number, start, state));
        Open(seekable);
        state.SetReadPosition(0);
        ASSERT_TRUE(layout().RestorePageState(number, start, state));
        EXPECT_EQ(layout().CurrentPageStart(), start);
        PageBackToTheStart(lines);
    }
}

// The page after the current one is laid out ahead once, and not past the last page.
TEST_F(PagingBack, LayingOutAheadStopsAtTheLastPage) {
    Open(true, 3);
    ASSERT_TRUE(layout().GoToPage(1));
    Shown();
    EXPECT_TRUE(layout().CanStepForward());
    ASSERT_TRUE(layout().PrerenderAhead());
    EXPECT_FALSE(layout().CanStepForward());  // already laid out
    uint32_t next = layout().PageStartRelative(2);
    ASSERT_TRUE(layout().GoToPosition(layout().CurrentPageStart(), PageStepCode::kNextPage));
    EXPECT_EQ(layout().CurrentPageStart(), next);
    ASSERT_TRUE(layout().GoToPage(PageLayout::kNone));
    Shown();
    EXPECT_FALSE(layout().CanStepForward());
}

// Chapters that each begin a page (H1), a contents list of short lines and long listings: from
// the last page, which is the one paging forward ends on, PageUp retraces the pages with none
// of their lines shown twice, and no page but the first starts inside the first page.
TEST_F(PagingBack, ChaptersThatStartAPageRetraceExactly) {
    std::u16string html = u"<html><body><h1>Contents</h1>";
    for (int c = 1; c <= 6; ++c) html += u"<b>Part " + Num(c) + u"</b><br>";
    uint32_t r = 9;
    static const char16_t* const kWords[] = {u"harbour", u"lantern", u"evening", u"quiet",
                                             u"ships",   u"under",   u"the",     u"keeper"};
    for (int c = 1; c <= 6; ++c) {
        html += u"<h1>Part " + Num(c) + u"</h1><p>";
        for (int w = 0; w < 90; ++w) {
            r = r * 1103515245u + 12345u;
            html += kWords[(r >> 16) % 8];
            html += u' ';
        }
        html += u"</p><pre>";
        for (int i = 0; i < 18; ++i) html += u"  line " + Num(i) + u" &lt;x&gt;\n";
        html += u"</pre>";
    }
    html += u"</body></html>";
    for (bool seekable : {true, false}) {
        SCOPED_TRACE(seekable ? "book" : "html");
        host = std::make_unique<LayoutHost>(html, 240, 320, 12, true, seekable, 0x51u);
        layout().SetViewport(Rect{0, 0, 240, 320});
        ASSERT_TRUE(layout().Start());
        std::vector<Page> forward = Forward();
        ASSERT_GT(forward.size(), 8u);
        std::map<uint32_t, std::string> lines = LinesByStart(forward);
        host = std::make_unique<LayoutHost>(html, 240, 320, 12, true, seekable, 0x51u);
        layout().SetViewport(Rect{0, 0, 240, 320});
        ASSERT_TRUE(layout().Start());
        ASSERT_TRUE(layout().GoToPage(PageLayout::kNone));
        Page cur = Shown();
        EXPECT_EQ(cur.start, forward.back().start) << "End shows another last page";
        const uint32_t firstEnd = forward.front().end;
        int steps = 0;
        while (layout().GoToPosition(cur.start, PageStepCode::kPageEndingHere) && steps < 100) {
            ++steps;
            Page before = Shown();
            ASSERT_LT(before.start, cur.start);
            if (!ShownWhole(before)) {
                EXPECT_EQ(before.end, cur.start) << "page at " << before.start << "\n"
                                                 << Describe(before);
                EXPECT_EQ(RepeatedLines(before, cur.start), 0) << Describe(before);
            }
            if (before.start != layout().FirstPageStart()) {
                EXPECT_GE(before.start, firstEnd) << "a page inside the first page";
            }
            for (size_t i = 0; i < before.lineStarts.size() && i < before.lines.size(); ++i) {
                auto it = lines.find(before.lineStarts[i]);
                if (it != lines.end()) {
                    EXPECT_EQ(before.lines[i], it->second);
                }
            }
            cur = before;
        }
        EXPECT_EQ(cur.start, layout().FirstPageStart());
        EXPECT_LE(steps, static_cast<int>(forward.size()) + 1);
    }
}

// A text file read by positions: the lowest position asked for since the last reset.
class WatchedTextFile : public TextFileDocument {
public:
    bool ReadPage(uint32_t position, PageBuffer& out, uint32_t section, uint32_t flag) override {
        lowest = std::min(lowest, position);
        return TextFileDocument::ReadPage(position, out, section, flag);
    }
    uint32_t lowest = 0xFFFFFFFFu;
};

struct OpenedTextFile {
    OpenedTextFile(const std::u16string& devicePath, uint32_t mode, uint32_t codePage = 1252) {
        Text path;
        path.FromWide(devicePath.c_str(), static_cast<int32_t>(devicePath.size()));
        file = std::make_unique<File>(path, File::kOpenForReading);
        doc.Open(file.get(), String(u"long"), codePage, 65002, false, 0, 0xFFFFFFFFu);
        doc.SetMode(mode);
        if (mode == 1) {
            source = std::make_unique<PlainTextTokenSource>();
        } else {
            source = std::make_unique<HtmlTokenizer>(true);
        }
        source->Attach(&doc, 0);
        layout.SetSource(source.get());
        LayoutSettings settings;
        settings.baseFontSize = 12;
        layout.Configure(settings);
        layout.SetViewport(Rect{0, 0, 240, 320});
    }
    std::unique_ptr<File> file;
    WatchedTextFile doc;
    std::unique_ptr<TokenSource> source;
    // A key of its own, as the reader gives a file: its saved page states are its own.
    fvt::test::FixedTraits traits{0x51u};
    PageLayout layout{&traits};
};

// A plain text opens no elements, so a late page is started where it lies: End, and reopening
// at a saved late page, read nothing near the text's start (in a text too long to count its
// pages). An HTML file is replayed.
TEST_F(PagingBack, APlainTextFileIsNotReplayed) {
    std::string text;
    for (int line = 0; text.size() < 300000; ++line)
        text += "line " + std::to_string(line) + " of the keeper's long quiet evening log\n";
    device_.WriteHost("long.txt", text);
    const uint32_t half = static_cast<uint32_t>(text.size() / 2);

    uint32_t number = 0, start = 0;
    ByteStream state;
    {
        OpenedTextFile o(u"\\long.txt", 1);
        ASSERT_TRUE(o.layout.Start());
        o.layout.Pages().SetCountLimit(1000);
        o.doc.lowest = 0xFFFFFFFFu;
        ASSERT_TRUE(o.layout.GoToPage(PageLayout::kNone));
        ASSERT_TRUE(o.layout.LayoutPageAt(o.layout.CurrentPageStart(), false));
        EXPECT_GT(o.doc.lowest, half);
        EXPECT_GT(o.layout.CurrentPageStart(), half);
        ASSERT_TRUE(
            o.layout.GoToPosition(o.layout.CurrentPageStart(), PageStepCode::kPageEndingHere));
        ASSERT_TRUE(o.layout.SaveCurrentPageState(number, start, state));
    }
    {
        OpenedTextFile o(u"\\long.txt", 1);
        ASSERT_TRUE(o.layout.Start());
        o.layout.Pages().SetCountLimit(1000);
        o.doc.lowest = 0xFFFFFFFFu;
        state.SetReadPosition(0);
        ASSERT_TRUE(o.layout.RestorePageState(number, start, state));
        ASSERT_TRUE(o.layout.LayoutPageAt(o.layout.CurrentPageStart(), false));
        EXPECT_EQ(o.layout.CurrentPageStart(), start);
        EXPECT_GT(o.doc.lowest, half);
    }
    {
        OpenedTextFile o(u"\\long.txt", 2);
        ASSERT_TRUE(o.layout.Start());
        o.doc.lowest = 0xFFFFFFFFu;
        ASSERT_TRUE(o.layout.GoToPage(PageLayout::kNone));
        EXPECT_LT(o.doc.lowest, half);
    }
}

// Every line paging forward shows of the book, laid out in a narrow column (as on a small
// screen, where words and listing lines are cut), starts a page as shown: a page may start on
// any of them, as one found going back or reopened does, and from there its first line is that
// line as paging forward showed it, never with characters of the line before or after.
void ExpectEveryLineStartsAPageAsShown(const std::u16string& path, uint32_t codePage) {
    const Rect column{0, 0, 120, 320};
    OpenedTextFile forward(path, 2, codePage);
    forward.layout.SetViewport(column);
    ASSERT_TRUE(forward.layout.Start());
    ASSERT_TRUE(forward.layout.GoToPage(1));
    std::vector<std::pair<uint32_t, std::string>> lines;
    for (int i = 0; i < 400; ++i) {
        const Page p = PagingBack::ShownBy(forward.layout);
        for (size_t k = 0; k < p.lineStarts.size() && k < p.lines.size(); ++k)
            lines.emplace_back(p.lineStarts[k], p.lines[k]);
        const uint32_t at = forward.layout.CurrentPageStart();
        if (!forward.layout.GoToPosition(at, PageStepCode::kNextPage) ||
            forward.layout.CurrentPageStart() == at)
            break;
    }
    ASSERT_GT(lines.size(), 400u);
    OpenedTextFile again(path, 2, codePage);
    again.layout.SetViewport(column);
    ASSERT_TRUE(again.layout.Start());
    for (const auto& [start, text] : lines) {
        int32_t slot = -1;
        ASSERT_NE(again.layout.EnsureRecord(PageLayout::kNone, start, false), nullptr);
        ASSERT_TRUE(again.layout.LayoutPageAt(start, false, &slot));
        ASSERT_GE(slot, 0);
        const std::vector<std::string> shown =
            fvt::test::LineTexts(again.layout.Slot(slot).contents);
        ASSERT_FALSE(shown.empty());
        EXPECT_EQ(shown.front(), text) << "a page starting at " << start;
    }
}

// A contents list of long code names in links, in a UTF-8 file: the names are cut at line ends,
// some of them across the end of a stretch the file is read in (where positions, counted in
// bytes, no longer follow from characters within the stretch).
TEST_F(PagingBack, EveryLineOfCutNamesStartsAPageAsShownAcrossTheFilesStretches) {
    static const char* const kObjects[] = {"deserializer", "serializer", "promiseHooks"};
    static const char* const kMethods[] = {"getWireFormatVersion", "transferArrayBuffer",
                                           "readRawBytes", "setTreatArrayBufferViews"};
    std::string html =
        "<html><head><meta charset=\"utf-8\"></head><body><h1>V8 \xE2\x80\x94 contents</h1><ul>";
    for (int i = 0; html.size() < 14000; ++i) {
        const std::string n = std::to_string(i);
        html += "<li><a href=\"#m" + n + "\"><code>" + kObjects[i % 3] + "." + kMethods[i % 4] + n +
                "()</code></a></li>\n";
    }
    device_.WriteHost("toc.html", html + "</ul><p>closing words.</p></body></html>");
    constexpr uint32_t kUtf8 = 65001;
    ExpectEveryLineStartsAPageAsShown(u"\\toc.html", kUtf8);
}

// A page fitted to its content is as tall as its lines and margins; a full page stays within
// the height it was given.
TEST_F(PagingBack, FittingTheHeightToTheContent) {
    host = std::make_unique<LayoutHost>(u"<html><body><p>one line</p></body></html>", 240, 320,
                                        12, true, true, 0x51u);
    layout().SetViewport(Rect{0, 0, 240, 320});
    layout().SetMargins(4, 6, 4, 6, true);
    ASSERT_TRUE(layout().Start());
    ASSERT_TRUE(layout().GoToPage(1));
    Size fitted = layout().FitHeightToContent(Size{200, 400});
    EXPECT_EQ(fitted.width, 200);
    EXPECT_GT(fitted.height, 12);
    EXPECT_LT(fitted.height, 60);
    // Asked again at the fitted width, the same answer without a new layout.
    EXPECT_EQ(layout().FitHeightToContent(Size{200, fitted.height}).height, fitted.height);

    Open(true, 3);
    ASSERT_TRUE(layout().GoToPage(1));
    Size full = layout().FitHeightToContent(Size{240, 200});
    EXPECT_GT(full.height, 150);
    EXPECT_LE(full.height, 201);
}

// Stepping to a line: the page reached starts on the line of the next page that lies at the
// height asked for; below every line it is the page after the next.
TEST_F(PagingBack, SteppingToALineOfTheNextPage) {
    Open(true, 3);
    ASSERT_TRUE(layout().GoToPage(1));
    Page first = Shown();
    ASSERT_TRUE(layout().GoToPosition(first.start, PageStepCode::kNextPage));
    Page second = Shown();
    ASSERT_GE(second.lineStarts.size(), 6u);
    ASSERT_TRUE(layout().GoToPage(1));
    Shown();
    ASSERT_TRUE(layout().StepPage(second.boxes[5].y, PageStepCode::kNextPage));
    EXPECT_EQ(layout().CurrentPageStart(), second.lineStarts[5]);
    Page reached = Shown();
    ASSERT_FALSE(reached.lines.empty());
    EXPECT_EQ(reached.lines.front(), second.lines[5]);
    ASSERT_TRUE(layout().GoToPage(1));
    Shown();
    ASSERT_TRUE(layout().StepPage(10000, PageStepCode::kNextPage));
    EXPECT_EQ(layout().CurrentPageStart(), second.end);
    (void)first;
}

// Paragraphs, headings, lists, pictures (taller than a line, and than a page), tables with a
// tall cell, preformatted text and page breaks.
std::u16string MixedBook() {
    static const char16_t* const kWords[] = {u"harbour", u"lantern", u"evening", u"quiet",
                                             u"ships",   u"under",   u"the",     u"keeper"};
    std::u16string h = u"<html><head><title>Mixed</title></head><body><h1>Contents</h1>";
    uint32_t r = 3;
    auto words = [&](int n) {
        std::u16string w;
        for (int i = 0; i < n; ++i) {
            r = r * 1103515245u + 12345u;
            w += kWords[(r >> 16) % 8];
            w += u' ';
        }
        return w;
    };
    for (int c = 1; c <= 8; ++c) {
        h += u"<h2>Part " + Num(c) + u"</h2><p>" + words(40 + c * 7) + u"</p>";
        switch (c % 4) {
            case 0:
                h += u"<p>" + words(12) + u"<img src=\"small.gif\"> ";
                h += words(20) + u"</p><p><img src=\"" + (c == 4 ? u"huge" : u"tall") +
                     u".gif\"></p>";
                break;
            case 1:
                h += u"<table border=1><tr><td>" + words(70) +
                     u"</td><td>side</td></tr><tr><td>row two</td><td>";
                h += words(6) + u"</td></tr></table>";
                break;
            case 2:
                h += u"<pre>int main() {\n    return  0;\n}\n\n    indented  line " + Num(c) +
                     u"\n</pre>";
                break;
            default:
                // A long nested list: pages and checkpoints fall inside it.
                h += u"<fvt:pagebreak/><ul><li>" + words(9) + u"<ul>";
                for (int i = 0; i < 6; ++i) h += u"<li>" + words(25) + u"</li>";
                h += u"</ul></li><li>" + words(15) + u"</li></ul>";
                break;
        }
        h += u"<p>" + words(30) + u"<br><br>";
        h += words(25) + u"</p>";
    }
    return h + u"</body></html>";
}

class MixedPictures : public ImageDataOpener {
public:
    DataHandle* OpenImageData(const Location& location) override {
        String text;
        location.ToString(text, true);
        int32_t height = 14;
        if (text.Find(String(u"tall")) < text.Length()) height = 150;
        if (text.Find(String(u"huge")) < text.Length()) height = 500;
        return new fvt::test::PictureHandle(fvt::test::GifOfSize(60, height));
    }
};

// The search for the page before a jump's page takes shortcuts (the page holding the target
// laid out only down to a little past it, replays resumed from checkpoints left near the
// last target). With and without them the same pages are found: PageUps and a LineUp after
// jumps to page starts and to lines inside pages, and after the last page.
TEST_F(PagingBack, ShortcutsFindTheSamePagesAsTheLongWay) {
    const std::u16string html = MixedBook();
    MixedPictures pictures;
    auto open = [&](bool seekable, bool quick) {
        host = std::make_unique<LayoutHost>(html, 240, 320, 12, true, seekable, 0x51u);
        host->Settings().opener = &pictures;
        host->Reconfigure();
        layout().SetViewport(Rect{0, 0, 240, 320});
        layout().SetQuickSearch(quick);
        EXPECT_TRUE(layout().Start());
    };
    // The pages shown after a jump to target (kNone: the last page): three PageUps, one
    // LineUp, and a PageUp again.
    auto walk = [&](uint32_t target) {
        std::vector<Page> seen;
        bool jumped = target == PageLayout::kNone ? layout().GoToPage(PageLayout::kNone)
                                                  : layout().GoToPositionAsPageStart(target);
        EXPECT_TRUE(jumped);
        if (!jumped) return seen;
        seen.push_back(Shown());
        for (PageStepCode step : {PageStepCode::kPageEndingHere, PageStepCode::kPageEndingHere,
                                  PageStepCode::kPageEndingHere, PageStepCode::kPageBefore,
                                  PageStepCode::kPageEndingHere}) {
            if (!layout().GoToPosition(layout().CurrentPageStart(), step)) break;
            seen.push_back(Shown());
        }
        return seen;
    };
    for (bool seekable : {true, false}) {
        SCOPED_TRACE(seekable ? "book" : "html");
        open(seekable, true);
        std::vector<Page> forward = Forward();
        ASSERT_GT(forward.size(), 12u);
        std::vector<uint32_t> targets{PageLayout::kNone};
        for (size_t k = 2; k < forward.size(); ++k) {
            targets.push_back(forward[k].start);
            const std::vector<uint32_t>& lines = forward[k].lineStarts;
            if (lines.size() > 2) targets.push_back(lines[lines.size() / 3]);
            if (lines.size() > 4) targets.push_back(lines[lines.size() - 2]);
        }
        int compared = 0;
        for (uint32_t target : targets) {
            SCOPED_TRACE("target " + std::to_string(target));
            open(seekable, true);
            std::vector<Page> quick = walk(target);
            open(seekable, false);
            std::vector<Page> slow = walk(target);
            ASSERT_EQ(quick.size(), slow.size());
            for (size_t i = 0; i < quick.size(); ++i) {
                EXPECT_EQ(quick[i].start, slow[i].start) << "step " << i;
                EXPECT_EQ(quick[i].end, slow[i].end) << "step " << i;
                EXPECT_EQ(quick[i].lines, slow[i].lines) << "step " << i << "\n"
                                                         << Describe(quick[i]) << "--\n"
                                                         << Describe(slow[i]);
                // Where each line sits (indents and heights come from the open elements).
                ASSERT_EQ(quick[i].boxes.size(), slow[i].boxes.size()) << "step " << i;
                for (size_t k = 0; k < quick[i].boxes.size(); ++k) {
                    const Rect& a = quick[i].boxes[k];
                    const Rect& b = slow[i].boxes[k];
                    EXPECT_TRUE(a.x == b.x && a.y == b.y && a.width == b.width &&
                                a.height == b.height)
                        << "step " << i << " line " << k;
                }
            }
            compared += static_cast<int>(quick.size());
            if (::testing::Test::HasFailure()) return;
        }
        EXPECT_GT(compared, 100);
    }
}

}  // namespace

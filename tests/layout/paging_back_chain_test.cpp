// Long runs of PageUp from the last page, over more pages than the layout keeps records of:
// every page shown is one paging forward shows (chapters that start a page, lists, listings,
// tables, plain text), PageDown from the first page shows them again, and a PageUp lays out
// a bounded number of pages. The engine's own block and line layout measures with box metrics.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "document/markup/html_tokenizer.h"
#include "document/markup/plain_text_token_source.h"
#include "layout/page_layout.h"
#include "support/document/memory_document.h"
#include "support/layout/paging_fixtures.h"

namespace {

const char16_t* const kWords[] = {u"harbour", u"lantern", u"evening", u"quiet", u"ships",
                                  u"under",   u"the",     u"keeper",  u"stone", u"light"};

std::u16string Num(int n) {
    std::string s = std::to_string(n);
    return std::u16string(s.begin(), s.end());
}

std::u16string Words(uint32_t& r, int n) { return fvt::test::PseudoWords(kWords, r, n); }

// Chapters under H2 headings, every third after a page break, with paragraphs, a list, a
// listing and every other one a table.
std::u16string ChapterBook(int chapters) {
    std::u16string h = u"<html><head><title>Chain</title></head><body>";
    uint32_t r = 17;
    for (int c = 1; c <= chapters; ++c) {
        if (c % 3 == 0) h += u"<fvt:pagebreak/>";
        h += u"<h2>Chapter " + Num(c) + u"</h2><p>" + Words(r, 40 + c % 5 * 13) + u"</p><ul>";
        for (int i = 0; i < 4; ++i) h += u"<li>" + Words(r, 6 + i * 3) + u"</li>";
        h += u"</ul><pre>for (;;) {\n    wait(" + Num(c) + u");\n}\n</pre>";
        if (c % 2 == 0) {
            h += u"<table border=1><tr><td>" + Words(r, 12) + u"</td><td>side</td></tr><tr><td>";
            h += Words(r, 5) + u"</td><td>end " + Num(c) + u"</td></tr></table>";
        }
        h += u"<p>" + Words(r, 30) + u"</p>";
    }
    return h + u"</body></html>";
}

std::u16string PlainText(int paragraphs) {
    std::u16string t;
    uint32_t r = 5;
    for (int p = 0; p < paragraphs; ++p) t += Words(r, 20 + p % 7 * 11) + u"\n\n";
    return t;
}

struct OpenBook : fvt::test::PagingBook {
    OpenBook(const std::u16string& text, bool seekable, bool plain)
        : PagingBook(text, seekable, plain) {
        EXPECT_TRUE(layout.Start());
    }
    uint32_t Start() const { return layout.CurrentPageStart(); }
    // The page shown is laid out, as the reader draws it.
    bool Show() { return layout.LayoutPageAt(layout.CurrentPageStart(), false); }
};

// The forward walk from the first page: each page's start, and whether it follows a forced
// page break.
struct Walk {
    std::vector<uint32_t> starts;
    std::vector<bool> afterBreak;
};

Walk ForwardWalk(OpenBook& b) {
    Walk w;
    EXPECT_TRUE(b.layout.GoToPage(1));
    bool breakBefore = false;
    for (int i = 0; i < 1000; ++i) {
        EXPECT_TRUE(b.Show());
        w.starts.push_back(b.Start());
        w.afterBreak.push_back(breakBefore);
        breakBefore = b.layout.CurrentPageEndsWithBreak();
        if (!b.layout.GoToPosition(b.Start(), PageStepCode::kNextPage)) break;
    }
    return w;
}

struct Kind {
    const char* name;
    std::u16string text;
    bool seekable;
    bool plain;
};

// Whether the page from start to end is one that going back is shown whole, as paging forward
// shows it, though it ends past where the page after it starts: the page after a forced page
// break, or after the first page.
bool ShownWholeAtABoundary(const Kind& kind, uint32_t start, uint32_t end) {
    OpenBook f(kind.text, kind.seekable, kind.plain);
    if (!f.layout.GoToPage(1) || !f.Show()) return false;
    bool boundary = false;
    for (int page = 1; f.Start() < start; ++page) {
        boundary = page == 1 || f.layout.CurrentPageEndsWithBreak();
        if (!f.layout.GoToPosition(f.Start(), PageStepCode::kNextPage) || !f.Show()) return false;
    }
    return f.Start() == start && boundary && f.layout.CurrentPageEnd() == end;
}

// PageUp from the last page until it refuses: the starts shown, last page first. Every page
// shown ends exactly where the page after it starts, and PageDown from it shows that page
// again (then PageUp the same page again); but a page shown whole at a boundary, from which
// PageDown goes on as paging forward does.
std::vector<uint32_t> BackFromTheEnd(OpenBook& b, const Kind& kind, size_t most) {
    std::vector<uint32_t> back;
    const bool failedBefore = ::testing::Test::HasFailure();
    EXPECT_TRUE(b.layout.GoToPage(PageLayout::kNone));
    EXPECT_TRUE(b.Show());
    back.push_back(b.Start());
    while (back.size() <= most && b.layout.GoToPosition(b.Start(), PageStepCode::kPageEndingHere)) {
        EXPECT_TRUE(b.Show());
        const uint32_t start = b.Start();
        const uint32_t end = b.layout.CurrentPageEnd();
        const bool whole = end != back.back() && ShownWholeAtABoundary(kind, start, end);
        if (!whole) {
            EXPECT_EQ(end, back.back()) << "the page at " << start << " ends at " << end
                                        << ", the page after it starts at " << back.back();
        }
        EXPECT_LT(start, back.back());
        EXPECT_TRUE(b.layout.CheckInvariants());
        EXPECT_TRUE(b.layout.GoToPosition(start, PageStepCode::kNextPage));
        EXPECT_TRUE(b.Show());
        EXPECT_EQ(b.Start(), whole ? end : back.back()) << "PageDown from " << start;
        EXPECT_TRUE(b.layout.GoToPosition(b.Start(), PageStepCode::kPageEndingHere));
        EXPECT_TRUE(b.Show());
        EXPECT_EQ(b.Start(), start) << "PageUp again from " << back.back();
        back.push_back(start);
        if (!failedBefore && ::testing::Test::HasFailure()) break;
    }
    EXPECT_EQ(b.Start(), b.layout.FirstPageStart()) << "the first page was not reached";
    return back;
}

std::vector<Kind> Kinds() {
    return {{"html file", ChapterBook(30), false, false},
            {"markup book", ChapterBook(30), true, false},
            {"plain text", PlainText(100), true, true}};
}

// From the last page back to the first, over more pages than there are records: each page
// ends where the one after it starts (PageDown from it shows that page again), and the pages
// that paging forward starts after a forced break are shown too. The pages found are those
// the search finds without its shortcuts. (Going back, a page is the longest that ends where
// the next starts: where a page paging forward ends early, before a picture, a table or a
// blank line, the pages going back are not those paging forward shows.)
TEST(PagingBackChain, FromTheLastPageToTheFirst) {
    for (const Kind& kind : Kinds()) {
        SCOPED_TRACE(kind.name);
        Walk forward;
        {
            OpenBook b(kind.text, kind.seekable, kind.plain);
            forward = ForwardWalk(b);
        }
        // Far more pages than records, and few enough that End pages forward from the start.
        ASSERT_GT(forward.starts.size(), static_cast<size_t>(3 * PageLayout::kMaxRecords));
        ASSERT_LT(forward.starts.size(), 48u);
        const size_t most = 2 * forward.starts.size();
        OpenBook b(kind.text, kind.seekable, kind.plain);
        std::vector<uint32_t> back = BackFromTheEnd(b, kind, most);
        if (::testing::Test::HasFailure()) return;
        EXPECT_EQ(back.front(), forward.starts.back());
        for (size_t i = 0; i < forward.starts.size(); ++i) {
            if (!forward.afterBreak[i]) continue;
            EXPECT_NE(std::find(back.begin(), back.end(), forward.starts[i]), back.end())
                << "the page after a break at " << forward.starts[i] << " is not shown";
        }
        // The long way: no pages passed over by their known lines, no probes.
        OpenBook slow(kind.text, kind.seekable, kind.plain);
        slow.layout.SetQuickSearch(false);
        EXPECT_EQ(BackFromTheEnd(slow, kind, most), back);
    }
}

// Back some pages, forward a few and back again, over and over: PageDown retraces the pages
// PageUp showed, PageUp over them again shows them again, and each new page going back ends
// where the page after it starts.
TEST(PagingBackChain, TurningAroundOnTheWayBack) {
    for (const Kind& kind : Kinds()) {
        SCOPED_TRACE(kind.name);
        OpenBook b(kind.text, kind.seekable, kind.plain);
        ASSERT_TRUE(b.layout.GoToPage(PageLayout::kNone));
        ASSERT_TRUE(b.Show());
        std::vector<uint32_t> seen{b.Start()};  // the pages shown going back, last page first
        size_t at = 0;
        for (int round = 0; round < 5; ++round) {
            for (int i = 0; i < 7; ++i, ++at) {
                ASSERT_TRUE(b.layout.GoToPosition(b.Start(), PageStepCode::kPageEndingHere));
                ASSERT_TRUE(b.Show());
                if (at + 1 < seen.size()) {
                    ASSERT_EQ(b.Start(), seen[at + 1]) << "PageUp to " << at + 1;
                } else {
                    const uint32_t end = b.layout.CurrentPageEnd();
                    if (end != seen.back()) {
                        ASSERT_TRUE(ShownWholeAtABoundary(kind, b.Start(), end));
                    }
                    seen.push_back(b.Start());
                }
            }
            for (int i = 0; i < 3; ++i, --at) {
                const uint32_t from = b.Start(), end = b.layout.CurrentPageEnd();
                ASSERT_TRUE(b.layout.GoToPosition(from, PageStepCode::kNextPage));
                ASSERT_TRUE(b.Show());
                if (end != seen[at - 1]) {
                    // A page shown whole at a boundary: PageDown goes on as paging forward
                    // does, and PageUp comes back to it.
                    ASSERT_EQ(b.Start(), end);
                    ASSERT_TRUE(b.layout.GoToPosition(end, PageStepCode::kPageEndingHere));
                    ASSERT_TRUE(b.Show());
                    ASSERT_EQ(b.Start(), from);
                    break;
                }
                ASSERT_EQ(b.Start(), seen[at - 1]) << "PageDown to " << at - 1;
            }
        }
        EXPECT_GE(seen.size(), 5u * 4 + 4);
    }
}

// A long run of PageUps lays out a bounded number of pages per PageUp: the pages a search
// goes through are not laid out again by the PageUps after it.
TEST(PagingBackChain, PagesLaidOutPerPageUp) {
    const Kind kinds[] = {{"html file", ChapterBook(400), false, false},
                          {"plain text", PlainText(2000), true, true}};
    for (const Kind& kind : kinds) {
        SCOPED_TRACE(kind.name);
        OpenBook b(kind.text, kind.seekable, kind.plain);
        ASSERT_TRUE(b.layout.GoToPage(PageLayout::kNone));
        ASSERT_TRUE(b.Show());
        constexpr int kSteps = 60;
        const uint64_t before = b.layout.PagesLaidOut();
        for (int i = 0; i < kSteps; ++i) {
            ASSERT_TRUE(b.layout.GoToPosition(b.Start(), PageStepCode::kPageEndingHere));
            ASSERT_TRUE(b.Show());
        }
        const double perPageUp =
            static_cast<double>(b.layout.PagesLaidOut() - before) / kSteps;
        // One to show the page, one to find where it starts, and a part of one to cut it
        // (about five before the pages a search goes through were kept); at a chapter's start
        // also the page paging forward shows from there, to hold the page found against it.
        EXPECT_LE(perPageUp, 5.0);
        EXPECT_GE(perPageUp, 1.0);
    }
}

// In long books a search starts a few pages back from an estimate and probes only the top of
// the page holding its target; the pages it keeps are gone again after a relayout, or pushed
// out by paging elsewhere. Whatever came before, PageUp shows the pages the search finds
// without its shortcuts, and each ends where the page after it starts.
TEST(PagingBackChain, LongBooksAfterJumpsRelayoutAndEviction) {
    const Kind kinds[] = {{"html file", ChapterBook(300), false, false},
                          {"markup book", ChapterBook(300), true, false},
                          {"plain text", PlainText(1500), true, true}};
    // PageUps from where the book is, each page checked against the page after it.
    // (A page jumped to starts where the estimate put it, inside a line: the page before it
    // ends with that line, and shows no gap.)
    const Kind* kind = nullptr;
    auto back = [&kind](OpenBook& b, int n, std::vector<uint32_t>& out, bool fromJump = false) {
        for (int i = 0; i < n; ++i) {
            const uint32_t after = b.Start();
            ASSERT_TRUE(b.layout.GoToPosition(after, PageStepCode::kPageEndingHere));
            ASSERT_TRUE(b.Show());
            ASSERT_LT(b.Start(), after);
            const uint32_t end = b.layout.CurrentPageEnd();
            if ((fromJump && i == 0) ||
                (end != after && ShownWholeAtABoundary(*kind, b.Start(), end)))
                ASSERT_GE(end, after);
            else
                ASSERT_EQ(end, after) << "the page at " << b.Start() << ", PageUp " << out.size();
            out.push_back(b.Start());
        }
    };
    // The same script with and without the shortcuts: the End, a jump into the middle, a
    // relayout halfway through a run of PageUps, and a return after paging from the first
    // page (which pushes the kept pages out).
    auto script = [&](OpenBook& b, std::vector<uint32_t>& out) {
        ASSERT_TRUE(b.layout.GoToPage(PageLayout::kNone));
        ASSERT_TRUE(b.Show());
        back(b, 9, out);
        ASSERT_TRUE(b.layout.GoToPage(b.layout.PageCount() / 2));
        ASSERT_TRUE(b.Show());
        out.push_back(b.Start());
        back(b, 6, out, true);
        b.layout.Relayout();
        ASSERT_TRUE(b.Show());
        back(b, 6, out);
        const uint32_t resume = b.Start();
        ASSERT_TRUE(b.layout.GoToPage(1));
        for (int i = 0; i < 2 * PageLayout::kMaxRecords; ++i) {
            ASSERT_TRUE(b.Show());
            ASSERT_TRUE(b.layout.GoToPosition(b.Start(), PageStepCode::kNextPage));
        }
        ASSERT_TRUE(b.layout.GoToPosition(resume, PageStepCode::kSamePage));
        ASSERT_TRUE(b.Show());
        ASSERT_EQ(b.Start(), resume);
        back(b, 6, out);
    };
    for (const Kind& k : kinds) {
        kind = &k;
        SCOPED_TRACE(k.name);
        std::vector<uint32_t> quick, slow;
        {
            OpenBook b(k.text, k.seekable, k.plain);
            script(b, quick);
            EXPECT_TRUE(b.layout.CheckInvariants());
        }
        if (::testing::Test::HasFatalFailure()) return;
        OpenBook b(k.text, k.seekable, k.plain);
        b.layout.SetQuickSearch(false);
        script(b, slow);
        if (::testing::Test::HasFatalFailure()) return;
        EXPECT_EQ(quick, slow);
    }
}

// Plain text with paragraphs of one to many lines, one to three blank lines apart. Going back,
// the first line tried for a page allows for the blank lines right before the page after it,
// which a page stopped there leaves out; the page found is still the longest that ends where
// the next starts: the page from the last line of the page before it falls short of that.
TEST(PagingBackChain, PagesGoingBackAreTheLongest) {
    std::u16string text;
    uint32_t r = 9;
    for (int p = 0; text.size() < 120000; ++p)
        text += Words(r, 1 + p % 5 * 9) + std::u16string(1 + p % 3 + (p % 7 == 0), u'\n');
    OpenBook b(text, true, true);
    // The search itself, not the pages of a count from the first page.
    b.layout.Pages().SetCountLimit(1000);
    // The start of the last line shown on the current page.
    auto lastLine = [&]() {
        for (int32_t s = 0; s < 2; ++s) {
            PageSlot& slot = b.layout.Slot(s);
            if (!slot.record || slot.record->start != b.Start()) continue;
            uint32_t last = PageRecord::kNone;
            bool waiting = false;
            for (int32_t i = 0; i < slot.contents.Count(); ++i) {
                const BlockItem* item = slot.contents.ItemAt(i);
                if (item->kind == kItemLine) waiting = true;
                else if (waiting && item->HasPosition()) {
                    last = item->Position();
                    waiting = false;
                }
            }
            return last;
        }
        return PageRecord::kNone;
    };
    auto visible = [&](uint32_t from, uint32_t to) {
        for (uint32_t p = from; p < to && p < text.size(); ++p)
            if (text[p] != u' ' && text[p] != u'\n') return true;
        return false;
    };
    ASSERT_TRUE(b.layout.GoToPage(PageLayout::kNone));
    ASSERT_TRUE(b.Show());
    std::vector<uint32_t> starts{b.Start()}, lastLines{lastLine()};
    for (int i = 0; i < 40; ++i) {
        ASSERT_TRUE(b.layout.GoToPosition(b.Start(), PageStepCode::kPageEndingHere));
        ASSERT_TRUE(b.Show());
        ASSERT_EQ(b.layout.CurrentPageEnd(), starts.back());
        starts.push_back(b.Start());
        lastLines.push_back(lastLine());
    }
    OpenBook check(text, true, true);
    for (size_t k = 1; k + 1 < starts.size(); ++k) {
        const uint32_t from = lastLines[k + 1];
        ASSERT_NE(from, PageRecord::kNone);
        ASSERT_LT(from, starts[k]);
        // A blank line starts no page: paging forward never starts one there.
        if (text[from] == u'\n') continue;
        ASSERT_TRUE(check.layout.GoToPositionAsPageStart(from));
        ASSERT_TRUE(check.Show());
        ASSERT_EQ(check.Start(), from);
        const uint32_t end = check.layout.CurrentPageEnd();
        EXPECT_TRUE(end < starts[k - 1] && visible(end, starts[k - 1]))
            << "the page from " << from << " ends at " << end << ": the page at " << starts[k]
            << " could start there and still end at " << starts[k - 1];
    }
}

}  // namespace

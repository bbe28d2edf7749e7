// Page estimates of markup: the census counts what the markup shows (not its tags, comments,
// scripts or head) the same wherever the document's pages break; the page count of a file with
// much markup per word comes near the count paging finds; page numbers and positions map onto
// each other; and a page reached by estimate or by a position starts on a line paging forward
// makes.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "layout/page_layout.h"
#include "layout/text_census.h"
#include "support/document/memory_document.h"
#include "support/layout/context_canvas.h"
#include "support/layout/markup_engine.h"
#include "support/layout/paging_fixtures.h"
#include "support/platform/window_fixture.h"

namespace {

using fvt::test::SeekableDocument;

std::u16string Num(int n) {
    std::string s = std::to_string(n);
    return std::u16string(s.begin(), s.end());
}

const char16_t* const kWords[] = {u"the",   u"reader", u"turns",   u"a",     u"page",
                                  u"while", u"light",  u"falls",   u"on",    u"quiet",
                                  u"of",    u"an",     u"harbour", u"ships", u"lantern"};

std::u16string Words(uint32_t& r, int n) {
    return fvt::test::PseudoWords(kWords, r, n);
}

// An API reference's shape: a navigation list of single words, then entries whose terms sit in
// tables of short cells with classes and links, a sentence or two of prose each, and a listing.
std::u16string Reference(int entries) {
    uint32_t r = 3;
    std::u16string h =
        u"<html><head><title>Reference</title><style>td { padding: 0 }</style>"
        u"<script>var a = '<p>' + b;</script></head><body><ul class=\"nav\">";
    for (int i = 0; i < 40; ++i)
        h += u"<li class=\"nav-item\"><a class=\"nav-link\" href=\"#e" + Num(i) + u"\">" +
             Words(r, 1) + u"</a></li>\n";
    h += u"</ul>";
    for (int e = 0; e < entries; ++e) {
        h += u"<h3 id=\"e" + Num(e) + u"\"><a class=\"anchor\" href=\"#e" + Num(e) + u"\">entry" +
             Num(e) + u"</a></h3><!-- entry " + Num(e) + u" -->\n";
        h += u"<table class=\"terms\" border=\"1\">";
        for (int row = 0; row < 4; ++row)
            h += u"<tr class=\"row\"><td class=\"name\"><code><a href=\"#t" + Num(row) + u"\">" +
                 Words(r, 1) + u"</a></code></td><td class=\"type\"><span class=\"t\">" +
                 Words(r, 1) + u"</span></td></tr>\n";
        h += u"</table><p class=\"desc\">" + Words(r, 18) + u"&lt;" + Words(r, 3) + u"&gt;</p>";
        h += u"<pre class=\"code\"><span class=\"k\">const</span> x = f(<span class=\"s\">" +
             Words(r, 2) + u"</span>);\n<span class=\"k\">return</span> x;\n</pre>\n";
    }
    return h + u"</body></html>";
}

// Paragraphs and lists of prose, no tables: every line starts where paging forward starts it.
std::u16string Prose(int chapters) {
    uint32_t r = 11;
    std::u16string h = u"<html><body>";
    for (int c = 0; c < chapters; ++c) {
        h += u"<h2>Chapter " + Num(c) + u"</h2><p>" + Words(r, 120) + u"</p><p><i>" + Words(r, 30) +
             u"</i> " + Words(r, 60) + u"</p><ul>";
        for (int i = 0; i < 4; ++i) h += u"<li>" + Words(r, 14) + u"</li>";
        h += u"</ul>";
    }
    return h + u"</body></html>";
}

TextCensus CensusOf(MemoryDocument& doc) {
    TextCensus census;
    EXPECT_TRUE(census.Build(doc));
    return census;
}

// --- The census ---------------------------------------------------------------------------------

TEST(TextCensus, CountsWhatTheMarkupShows) {
    const std::u16string html =
        u"<html><head><title>Title</title><style>p { x: '>' }</style></head><body>"
        u"<!-- a <p>comment</p> --><p class=\"a>b\">a &amp; b</p>"
        u"<script>if (x < y) s = \"</p>\";</script>\n<p>cd  \n  <b>ef</b></p><?pi x?>"
        u"<pre>g h\n  i</pre>< j</body></html>";
    MemoryDocument doc(html, 4096);
    TextCensus census = CensusOf(doc);
    // "a & b", "cd ef", "g h", "  i", "< j": a reference counts one, a run of blanks one (a
    // listing's each), blanks at a line's start none.
    EXPECT_EQ(census.Total(), 5u + 5u + 3u + 3u + 3u);
    EXPECT_EQ(census.Lines(), 5u);
    EXPECT_EQ(census.Length(), html.size());
    const uint32_t a = static_cast<uint32_t>(html.find(u"a &amp;"));
    EXPECT_EQ(census.CountBefore(a), 0u);
    EXPECT_EQ(census.CountBefore(a + 1), 1u);
    EXPECT_EQ(census.CountBefore(a + 3), 3u) << "the reference counts at its '&'";
    EXPECT_EQ(census.CountBefore(a + 7), 3u) << "and nothing after";
    EXPECT_EQ(census.CountBefore(static_cast<uint32_t>(html.size())), census.Total());
}

// The scanner's state crosses the document's pages: pages of 7 positions count as one page of
// the whole; the weight before every position and the position of every weight agree.
TEST(TextCensus, CountsTheSameWhereverPagesBreak) {
    const std::u16string html = Reference(12);
    MemoryDocument whole(html, 1 << 20), small(html, 7);
    TextCensus one = CensusOf(whole), many = CensusOf(small);
    ASSERT_EQ(one.Total(), many.Total());
    ASSERT_EQ(one.Lines(), many.Lines());
    EXPECT_GT(one.Lines(), 12u * 6);
    // Most of the positions are markup.
    EXPECT_LT(one.Total() * 3, one.Length());
    const uint32_t line = 9;
    uint64_t last = 0;
    for (uint32_t p = 0; p <= one.Length(); ++p) {
        const uint64_t w = one.WeightBefore(p, line);
        ASSERT_EQ(w, many.WeightBefore(p, line)) << "at " << p;
        ASSERT_GE(w, last);
        last = w;
    }
    for (uint64_t w = 1; w <= one.TotalWeight(line); w += 5) {
        const uint32_t p = many.PositionOfWeight(w, line);
        ASSERT_EQ(p, one.PositionOfWeight(w, line));
        // The first position the weight is reached before.
        ASSERT_GE(one.WeightBefore(p, line), w);
        ASSERT_LT(one.WeightBefore(p - 1, line), w);
    }
    EXPECT_EQ(one.PositionOfWeight(one.TotalWeight(line) + 1, line), one.Length());
}

// --- Estimates against paging
// ---------------------------------------------------------------------

using PageEstimates = fvt::test::WindowTest;

struct Engine : fvt::test::MarkupEngine<SeekableDocument> {
    Engine(const std::u16string& html, fvt::test::ContextCanvas* canvas)
        : fvt::test::MarkupEngine<SeekableDocument>(html, canvas, 4096, 240) {}
    // The pages paging forward shows from the first, each page's lines' starts.
    size_t PageForward(std::vector<uint32_t>* lineStarts = nullptr) {
        EXPECT_TRUE(layout->GoToPage(1));
        size_t pages = 1;
        for (;;) {
            int32_t slot = -1;
            if (lineStarts && layout->LayoutPageAt(layout->CurrentPageStart(), false, &slot) &&
                slot >= 0)
                TopLevelLineStarts(layout->Slot(slot).contents, *lineStarts);
            if (pages > 5000 ||
                !layout->GoToPosition(layout->CurrentPageStart(), PageStepCode::kNextPage))
                break;
            ++pages;
        }
        return pages;
    }
    static void TopLevelLineStarts(const BlockContents& contents, std::vector<uint32_t>& out) {
        bool waiting = false;
        int32_t lines = 0;
        for (int32_t i = 0; i < contents.Count(); ++i) {
            const BlockItem* item = contents.ItemAt(i);
            if (item->kind == kItemLine) {
                const LineRecord* l = contents.Line(lines++);
                waiting = l && l->height > 0;
            } else if (waiting && item->HasPosition()) {
                out.push_back(item->Position());
                waiting = false;
            }
        }
    }
};

// A file with far more markup than words: the count offered before any paging is within 15% of
// the pages paging forward finds.
TEST_F(PageEstimates, AMarkupHeavyFileIsOfferedAboutThePagesPagingFinds) {
    fvt::test::ContextCanvas* canvas = fvt::test::NewContextCanvas(200, 240);
    for (int entries : {30, 120}) {
        Engine e(Reference(entries), canvas);
        ASSERT_TRUE(e.started);
        const uint32_t offered = e.layout->PageCount();
        const size_t paged = e.PageForward();
        // Counted by its positions, the file would be offered half as many again or more.
        EXPECT_GT(e.layout->TextLength() / e.layout->CharsPerPageEstimate(), paged * 3 / 2);
        EXPECT_GT(paged, 20u);
        EXPECT_LE(offered, paged * 115 / 100) << entries << " entries";
        EXPECT_GE(offered, paged * 85 / 100) << entries << " entries";
    }
    fvt::test::DeleteContextCanvas(canvas);
}

// Page n's estimated position is numbered n again, positions grow with n, and past the text
// they lie at or past its end.
TEST_F(PageEstimates, PageNumbersAndPositionsMapOntoEachOther) {
    fvt::test::ContextCanvas* canvas = fvt::test::NewContextCanvas(200, 240);
    Engine e(Reference(40), canvas);
    ASSERT_TRUE(e.started);
    PageLayout& layout = *e.layout;
    const uint32_t length = layout.TextLength();
    const uint32_t count = layout.EstimatePageNumber(length);
    ASSERT_GT(count, 20u);
    EXPECT_EQ(layout.PositionOfPage(1), layout.FirstPageStart());
    uint32_t last = layout.PositionOfPage(1);
    for (uint32_t n = 2; n <= count + 3; ++n) {
        const uint32_t p = layout.PositionOfPage(n);
        EXPECT_GT(p, last) << "page " << n;
        last = p;
        if (p < length)
            EXPECT_EQ(layout.EstimatePageNumber(p), n);
        else
            EXPECT_GE(n, count);
    }
    fvt::test::DeleteContextCanvas(canvas);
}

// Go to page and a position's page (what Find and the position bar open when no known page
// holds it) start on a line paging forward from the first page makes, the one that holds the
// position: never inside a word.
TEST_F(PageEstimates, FarPagesStartOnTheLinesPagingForwardMakes) {
    fvt::test::ContextCanvas* canvas = fvt::test::NewContextCanvas(200, 240);
    const std::u16string html = Prose(12);
    std::vector<uint32_t> starts;
    {
        Engine forward(html, canvas);
        ASSERT_TRUE(forward.started);
        forward.PageForward(&starts);
    }
    ASSERT_GT(starts.size(), 200u);
    std::sort(starts.begin(), starts.end());
    auto holding = [&](uint32_t p) {
        auto it = std::upper_bound(starts.begin(), starts.end(), p);
        return it == starts.begin() ? 0u : *(it - 1);
    };
    Engine e(html, canvas);
    ASSERT_TRUE(e.started);
    const uint32_t length = e.layout->TextLength();
    int inside = 0;
    for (uint32_t p = length / 7; p < length - 200; p += length / 9) {
        const uint32_t line = e.layout->LineStartHolding(p);
        EXPECT_EQ(line, holding(p)) << "at " << p;
        inside += std::binary_search(starts.begin(), starts.end(), p) ? 0 : 1;
    }
    EXPECT_GT(inside, 4) << "positions inside lines";
    const uint32_t count = e.layout->PageCount();
    ASSERT_GT(count, 12u);
    for (uint32_t n : {count / 4, count / 2, count * 3 / 4}) {
        Engine go(html, canvas);
        ASSERT_TRUE(go.layout->GoToPage(n));
        const uint32_t start = go.layout->CurrentPageStart();
        EXPECT_TRUE(std::binary_search(starts.begin(), starts.end(), start))
            << "page " << n << " at " << start;
        EXPECT_EQ(go.layout->CurrentPageNumber(), n);
    }
    for (uint32_t p : {length / 3 + 5, length / 2 + 17}) {
        Engine at(html, canvas);
        ASSERT_TRUE(at.layout->GoToPageContaining(p));
        EXPECT_EQ(at.layout->CurrentPageStart(), holding(p)) << "position " << p;
    }
    fvt::test::DeleteContextCanvas(canvas);
}

}  // namespace

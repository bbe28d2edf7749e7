// Far pages of markup: End, Go to page and a page reopened late start from what reading the
// markup before them builds (the open elements, their styles, the scan state), not from the
// first page's. The reading passes over the text far before the target; the state it builds,
// and the pages shown from it, are those of reading every token, and a page reopened from its
// saved state is the page paging forward showed.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/byte_stream.h"
#include "document/markup/html_tokenizer.h"
#include "document/markup/keyword_tree.h"
#include "layout/page_layout.h"
#include "support/layout/context_canvas.h"
#include "support/layout/layout_host.h"
#include "support/layout/markup_engine.h"
#include "support/layout/paging_fixtures.h"
#include "support/platform/window_fixture.h"

namespace {

using fvt::test::SeekableDocument;

const char16_t* const kWords[] = {u"the",   u"evening",  u"light", u"fell",   u"on",
                                  u"quiet", u"harbours", u"and",   u"ships",  u"keeper",
                                  u"a",     u"lantern",  u"over",  u"stones", u"extraordinarily"};

std::u16string Words(uint32_t& r, int n) {
    return fvt::test::PseudoWords(kWords, r, n);
}

std::u16string Num(int n) {
    std::string s = std::to_string(n);
    return std::u16string(s.begin(), s.end());
}

// A manual's shape: a head with a script and a style, a menu column beside the body column,
// chapters with comments, references, nested lists, quotations, listings and data tables, and
// elements (a division, a list, a table) open across many pages.
std::u16string Manual(bool listings = true, int chapters = 14) {
    uint32_t r = 5;
    std::u16string h =
        u"<html><head><title>Manual</title><script>if (a < b && c > d) { s = \"<p>\"; }"
        u"</script><style>p { margin: 0 }</style></head><body><div class=\"book\">";
    h += u"<table width=\"100%\"><tr><td width=\"30%\"><ul>";
    for (int i = 1; i <= 6; ++i)
        h += u"<li><a href=\"#c" + Num(i) + u"\">Chapter " + Num(i) + u"</a></li>";
    h += u"</ul></td><td><p>" + Words(r, 40) + u"</p></td></tr></table>";
    for (int c = 1; c <= chapters; ++c) {
        h += u"<h2 id=\"c" + Num(c) + u"\">Chapter " + Num(c) + u"</h2><!--" +
             std::u16string(300 + 40 * c, u'-') + u" note -->";
        h += u"<p>" + Words(r, 50) + u" &amp; ";
        h += Words(r, 10) + u" a &lt; b, c < d ";
        h += Words(r, 30) + u"</p>";
        h += u"<ul><li>" + Words(r, 20) + u"<ol><li>";
        h += Words(r, 25) + u"</li><li><b>";
        h += Words(r, 12) + u"</b>";
        h += Words(r, 12) + u"</li></ol></li><li>";
        h += Words(r, 18) + u"</li></ul>";
        h += u"<blockquote><div><p><i>" + Words(r, 40) + u"</i></p></div></blockquote>";
        if (listings)
            h += u"<pre>int main() {\n\treturn " + Num(c) +
                 u";\n}\n\t1\tCARD8\t\tid of the device named in the change request\n"
                 u"\t2\tCARD16\t\tsequence number\n</pre>";
        h += u"<table border=\"1\">";
        for (int row = 0; row < 6; ++row)
            h += u"<tr><td>name" + Num(row) + u"</td><td>" + Words(r, 9) + u"</td></tr>";
        h += u"</table>";
        if (c % 5 == 2) {
            // A list and a table each longer than the spacing of the checkpoints.
            h += u"<ul>";
            for (int i = 0; i < 60; ++i) h += u"<li>" + Words(r, 24) + u"</li>";
            h += u"</ul><table border=\"1\">";
            for (int row = 0; row < 70; ++row)
                h += u"<tr><td>entry" + Num(row) + u"</td><td>" + Words(r, 20) + u"</td></tr>";
            h += u"</table>";
        }
    }
    return h + u"<p>The end of the manual.</p></div></body></html>";
}

// Pages of 240 pixels from records of 4096 bytes; `kept`: the checkpoints an earlier session
// kept, loaded before the first page.
template <class Doc>
struct Session : fvt::test::MarkupEngine<Doc> {
    Session(const std::u16string& html, fvt::test::ContextCanvas* canvas,
            ByteStream* kept = nullptr)
        : fvt::test::MarkupEngine<Doc>(html, canvas, 4096, 240, kept) {
        // The estimates count the shown text once, in one pass over every page (no token is
        // read): taken here, its pages are told apart from those the jumps read.
        const uint32_t before = this->doc.reads;
        this->layout->EstimatePageNumber(this->layout->TextLength());
        countReads = this->doc.reads - before;
    }
    // The pages read but for the count.
    uint32_t JumpReads() const { return this->doc.reads - countReads; }
    uint32_t countReads = 0;
};

// What a jump shows and the state its page starts from.
struct Reached {
    uint32_t start = 0;
    std::vector<std::string> lines;
    std::vector<uint8_t> scanState;
    bool operator==(const Reached& o) const {
        return start == o.start && lines == o.lines && scanState == o.scanState;
    }
};

template <class Doc>
Reached Take(Session<Doc>& s, const ElementStack** elements = nullptr) {
    Reached r;
    r.start = s.layout->CurrentPageStart();
    r.lines = s.Lines();
    if (PageRecord* record = s.Current()) {
        const ByteStream& state = record->scanState;
        r.scanState.assign(state.Data(), state.Data() + state.Size());
        if (elements) *elements = &record->elements;
    }
    return r;
}

// End, three PageUps from it, and Go to page in the middle and at three quarters, each in a
// new session.
template <class Doc>
std::vector<Reached> Jumps(const std::u16string& html, fvt::test::ContextCanvas* canvas,
                           std::vector<std::unique_ptr<Session<Doc>>>& sessions,
                           ByteStream* kept = nullptr) {
    std::vector<Reached> out;
    auto fresh = [&]() -> Session<Doc>& {
        sessions.push_back(std::make_unique<Session<Doc>>(html, canvas, kept));
        return *sessions.back();
    };
    Session<Doc>& end = fresh();
    if (!end.started || !end.layout->GoToPage(PageLayout::kNone)) return out;
    out.push_back(Take(end));
    for (int i = 0; i < 3; ++i) {
        if (!end.layout->GoToPosition(end.layout->CurrentPageStart(),
                                      PageStepCode::kPageEndingHere))
            break;
        out.push_back(Take(end));
    }
    for (int quarters = 2; quarters <= 3; ++quarters) {
        Session<Doc>& go = fresh();
        uint32_t count = go.layout->PageCount();
        if (!go.started || !go.layout->GoToPage(count * quarters / 4)) return out;
        out.push_back(Take(go));
    }
    return out;
}

template <class Doc>
void ExpectJumpsAsReadingEveryToken() {
    fvt::test::ContextCanvas* canvas = fvt::test::NewContextCanvas(200, 240);
    const std::u16string html = Manual();
    ASSERT_GT(html.size(), 60000u);
    std::vector<std::unique_ptr<Session<Doc>>> skipping, reading;
    // Every token read and every element's entry made as it is read.
    HtmlTokenizer::skipText = false;
    PageLayout::noteFarElements = false;
    std::vector<Reached> every = Jumps<Doc>(html, canvas, reading);
    HtmlTokenizer::skipText = true;
    PageLayout::noteFarElements = true;
    std::vector<Reached> tags = Jumps<Doc>(html, canvas, skipping);
    ASSERT_EQ(every.size(), 6u);
    ASSERT_EQ(tags.size(), every.size());
    for (size_t i = 0; i < every.size(); ++i) {
        EXPECT_GT(every[i].start, 20000u) << "jump " << i;
        EXPECT_FALSE(every[i].lines.empty()) << "jump " << i;
        EXPECT_TRUE(tags[i] == every[i]) << "jump " << i << " at " << every[i].start;
    }
    // The open elements and their styles too.
    const ElementStack* a = nullptr;
    const ElementStack* b = nullptr;
    Take(*reading[0], &a);
    Take(*skipping[0], &b);
    ASSERT_TRUE(a && b);
    EXPECT_TRUE(a->Equals(*b));
    fvt::test::DeleteContextCanvas(canvas);
}

using FarJumps = fvt::test::WindowTest;

TEST_F(FarJumps, ABookJumpsToTheStateReadingEveryTokenBuilds) {
    ExpectJumpsAsReadingEveryToken<SeekableDocument>();
}

TEST_F(FarJumps, AFileJumpsToTheStateReadingEveryTokenBuilds) {
    ExpectJumpsAsReadingEveryToken<MemoryDocument>();
}

// A new session starting from the checkpoints an earlier one kept: End, the PageUps from it and
// Go to page show the pages, and start from the state, that reading every token gives, reading
// a small part of the tokens; the checkpoints it kept are not written again. Kept checkpoints
// that do not read back whole are refused, all of them.
TEST_F(FarJumps, KeptCheckpointsJumpToTheStateReadingEveryTokenBuilds) {
    fvt::test::ContextCanvas* canvas = fvt::test::NewContextCanvas(200, 240);
    const std::u16string html = Manual(true, 120);
    ASSERT_GT(html.size(), 8 * PageLayout::kKeptSpacing);
    std::vector<std::unique_ptr<Session<SeekableDocument>>> reading, kept;
    const std::vector<Reached> every = Jumps<SeekableDocument>(html, canvas, reading);
    ASSERT_EQ(every.size(), 6u);
    ByteStream saved;
    ASSERT_TRUE(reading[0]->layout->SaveKeptCheckpoints(saved));
    EXPECT_LT(saved.Size(), 16u << 10);
    const std::vector<Reached> fromKept = Jumps<SeekableDocument>(html, canvas, kept, &saved);
    ASSERT_EQ(fromKept.size(), every.size());
    for (size_t i = 0; i < every.size(); ++i)
        EXPECT_TRUE(fromKept[i] == every[i]) << "jump " << i << " at " << every[i].start;
    ASSERT_TRUE(kept[0]->loaded);
    EXPECT_GE(kept[0]->layout->KeptCheckpointCount(), 8u);
    const ElementStack* a = nullptr;
    const ElementStack* b = nullptr;
    Take(*reading[0], &a);
    Take(*kept[0], &b);
    ASSERT_TRUE(a && b);
    EXPECT_TRUE(a->Equals(*b));
    EXPECT_LT(kept[0]->JumpReads() * 4, reading[0]->JumpReads()) << "pages of text read";
    ByteStream again;
    EXPECT_FALSE(kept[0]->layout->SaveKeptCheckpoints(again)) << "nothing new to keep";

    auto refused = [&](ByteStream& damaged) {
        Session<SeekableDocument> s(html, canvas, &damaged);
        return !s.loaded && s.layout->KeptCheckpointCount() == 0;
    };
    ByteStream cut;
    cut.WriteBytes(saved.Data(), saved.Size() - 5);
    EXPECT_TRUE(refused(cut));
    ByteStream longer;
    longer.WriteBytes(saved.Data(), saved.Size());
    longer.WriteWord32BE(0);
    EXPECT_TRUE(refused(longer));
    ByteStream backwards;  // the second checkpoint's position before the first's
    backwards.WriteBytes(saved.Data(), saved.Size());
    const uint32_t firstBlocks = 4 + 4;
    uint32_t at = firstBlocks;
    for (int block = 0; block < 2; ++block) {
        const uint8_t* p = saved.Data() + at;
        const uint32_t length = uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | p[2] << 8 | p[3];
        at += 4 + (length + 3) / 4 * 4;
    }
    ASSERT_TRUE(backwards.PatchWord32BE(at, 1));
    EXPECT_TRUE(refused(backwards));
    fvt::test::DeleteContextCanvas(canvas);
}

// Every third page of an HTML file past the first 20,000 positions, saved as the reader saves it
// and reopened in a new session: the page and the two after it are those paging forward showed,
// pages starting at a table's row included. Pages outside tables and listings reopen reading the
// document near the page only; the others are read again from the first page, the tags alone
// far from it.
struct SavedPage {
    uint32_t number = 0;
    uint32_t start = 0;
    bool inTable = false;
    bool inListing = false;
    ByteStream state;
};

template <class Doc>
void ExpectLatePagesReopen(bool tablePages) {
    fvt::test::ContextCanvas* canvas = fvt::test::NewContextCanvas(200, 240);
    const std::u16string html = Manual();
    Session<Doc> forward(html, canvas);
    ASSERT_TRUE(forward.started && forward.layout->GoToPage(1));
    std::map<uint32_t, std::vector<std::string>> shown;
    std::vector<uint32_t> order;
    std::vector<std::unique_ptr<SavedPage>> saved;
    for (int page = 1; page < 3000; ++page) {
        const uint32_t start = forward.layout->CurrentPageStart();
        shown[start] = forward.Lines();
        order.push_back(start);
        PageRecord* record = forward.Current();
        const bool inTable = (record && record->elements.FindTag(kTagTable) >= 0) ||
                             html.compare(start, 4, u"<tr>") == 0;
        if (start > 20000 && page % 3 == 0 && (tablePages || !inTable)) {
            saved.push_back(std::make_unique<SavedPage>());
            SavedPage& s = *saved.back();
            s.inTable = inTable;
            s.inListing = record && record->elements.FindTag(kTagPre) >= 0;
            ASSERT_TRUE(forward.layout->SaveCurrentPageState(s.number, s.start, s.state));
        }
        if (!forward.layout->CanStep(PageStepCode::kNextPage) ||
            !forward.layout->GoToPosition(start, PageStepCode::kNextPage))
            break;
    }
    ASSERT_GT(saved.size(), 10u);
    size_t plain = 0, nearOnly = 0;
    for (const std::unique_ptr<SavedPage>& s : saved) {
        Session<Doc> reopened(html, canvas);
        ASSERT_TRUE(reopened.started);
        const uint32_t readsBefore = reopened.doc.reads;
        ASSERT_TRUE(s->state.SetReadPosition(0));
        ASSERT_TRUE(reopened.layout->RestorePageState(s->number, s->start, s->state));
        ASSERT_EQ(reopened.layout->CurrentPageStart(), s->start);
        EXPECT_EQ(reopened.Lines(), shown[s->start]) << "page at " << s->start;
        if (!s->inTable && !s->inListing) {
            ++plain;
            if (reopened.doc.reads - readsBefore < 4) ++nearOnly;
        }
        size_t at = 0;
        while (at < order.size() && order[at] != s->start) ++at;
        for (size_t next = at + 1; next < order.size() && next <= at + 2; ++next) {
            ASSERT_TRUE(reopened.layout->GoToPosition(reopened.layout->CurrentPageStart(),
                                                      PageStepCode::kNextPage));
            ASSERT_EQ(reopened.layout->CurrentPageStart(), order[next]);
            EXPECT_EQ(reopened.Lines(), shown[order[next]]) << "page at " << order[next];
        }
    }
    // A page in a table also reads the table's first rows, whose widths every part of it takes.
    EXPECT_GT(nearOnly * 2, plain);
    fvt::test::DeleteContextCanvas(canvas);
}

TEST_F(FarJumps, ALateFilePageReopensAsPagingForwardShowedIt) {
    ExpectLatePagesReopen<MemoryDocument>(true);
}

// A book's page inside a table comes back with its rows laid out in the continued table.
TEST_F(FarJumps, ALateBookPageReopensAsPagingForwardShowedIt) {
    ExpectLatePagesReopen<SeekableDocument>(true);
}

// A manual too large to read from its first page at a far jump. `bookDivision` off: nothing
// stays open from one chapter to the next.
std::u16string LargeManual(bool bookDivision) {
    std::u16string html = Manual(true, 330);
    if (bookDivision) return html;
    const std::u16string open = u"<div class=\"book\">", close = u"</div></body>";
    html.erase(html.find(open), open.size());
    html.replace(html.rfind(close), close.size(), u"</body>");
    return html;
}

// Pages can start anywhere and nothing stays open across chapters: End, the PageUps from it and
// Go to page far from the first page show the pages and start from the state that reading every
// token from the first page gives, reading no more than a stretch before each target.
TEST_F(FarJumps, ABigBookRebuildsAFarPageFromTheStretchBeforeIt) {
    fvt::test::ContextCanvas* canvas = fvt::test::NewContextCanvas(200, 240);
    const std::u16string html = LargeManual(false);
    ASSERT_GT(html.size(), PageLayout::kExactLength + 2 * PageLayout::kRebuildStretch);
    std::vector<std::unique_ptr<Session<MemoryDocument>>> reading;
    std::vector<std::unique_ptr<Session<SeekableDocument>>> rebuilding;
    const std::vector<Reached> every = Jumps<MemoryDocument>(html, canvas, reading);
    const std::vector<Reached> rebuilt = Jumps<SeekableDocument>(html, canvas, rebuilding);
    ASSERT_EQ(every.size(), 6u);
    ASSERT_EQ(rebuilt.size(), every.size());
    for (size_t i = 0; i < every.size(); ++i)
        EXPECT_TRUE(rebuilt[i] == every[i]) << "jump " << i << " at " << every[i].start;
    const uint32_t stretchPages = PageLayout::kRebuildStretch / 4096;
    // The first session is End and three PageUps: a PageUp that needs lines before those End
    // laid out reads the stretch before them too (once for the three).
    for (size_t i = 0; i < rebuilding.size(); ++i)
        EXPECT_LT(rebuilding[i]->JumpReads(), (i == 0 ? 8 : 4) * stretchPages) << "session " << i;
    fvt::test::DeleteContextCanvas(canvas);
}

// Checkpoints of a rebuilt reading kept by one session: a later session of the book starts its
// jumps from them and shows the same pages; a document read from its first page never starts
// from them (a division open across the whole manual is on its stack).
TEST_F(FarJumps, RebuiltCheckpointsAreKeptApartFromExactOnes) {
    fvt::test::ContextCanvas* canvas = fvt::test::NewContextCanvas(200, 240);
    const std::u16string html = LargeManual(true);
    std::vector<std::unique_ptr<Session<SeekableDocument>>> first, later;
    const std::vector<Reached> shown = Jumps<SeekableDocument>(html, canvas, first);
    ASSERT_EQ(shown.size(), 6u);
    ByteStream saved;
    ASSERT_TRUE(first[0]->layout->SaveKeptCheckpoints(saved));
    EXPECT_EQ(Jumps<SeekableDocument>(html, canvas, later, &saved), shown);
    ASSERT_TRUE(later[0]->loaded);
    EXPECT_GT(later[0]->layout->KeptRebuiltCount(), 0u);
    EXPECT_EQ(later[0]->layout->KeptRebuiltCount(), later[0]->layout->KeptCheckpointCount());

    std::vector<std::unique_ptr<Session<MemoryDocument>>> reading, readingKept;
    const std::vector<Reached> every = Jumps<MemoryDocument>(html, canvas, reading);
    EXPECT_EQ(Jumps<MemoryDocument>(html, canvas, readingKept, &saved), every);
    const ElementStack* exact = nullptr;
    const ElementStack* kept = nullptr;
    const ElementStack* rebuilt = nullptr;
    Take(*reading[0], &exact);
    Take(*readingKept[0], &kept);
    Take(*first[0], &rebuilt);
    ASSERT_TRUE(exact && kept && rebuilt);
    EXPECT_TRUE(kept->Equals(*exact));
    uint16_t division = 0;
    ASSERT_TRUE(KeywordTree::FindMarkupName(u"DIV", 3, &division));
    EXPECT_GE(exact->FindTag(division), 0);
    EXPECT_LT(rebuilt->FindTag(division), 0) << "the division opened before the stretch";
    fvt::test::DeleteContextCanvas(canvas);
}

}  // namespace

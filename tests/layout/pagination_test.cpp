// Pagination and the page cache: pages tile the text forward and backward, far pages come by
// estimate, the cache keeps the current page, hostile cases end instead of looping, and the
// side file of a book is never wiped for want of a key.
#include "layout/page_layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "bookfiles/annotation_file.h"
#include "document/markup/html_tokenizer.h"
#include "document/markup/plain_text_token_source.h"
#include "document/sources/layout_services.h"
#include "platform/gdi/gdi_layer.h"
#include "support/document/memory_document.h"
#include "support/layout/layout_host.h"
#include "support/layout/paging_fixtures.h"
#include "support/layout/word_page_layout.h"
#include "support/platform/temp_device.h"
#include "support/platform/window_fixture.h"

namespace {

using fvt::test::FixedTraits;
using fvt::test::SeekableDocument;

constexpr uint32_t kNone = PageLayout::kNone;

struct Counting : PageLayoutListener {
    int changed = 0;
    int relayouts = 0;
    void OnPageChanged(const PageRecord*) override { ++changed; }
    void OnRelayout() override { ++relayouts; }
};

// English words of varied length, a line break now and then.
std::u16string MakeText(int words, int seed = 1) {
    static const char* const kWords[] = {"the",     "reader", "turns", "a",     "page",  "while",
                                         "evening", "light",  "falls", "on",    "quiet", "chapters",
                                         "of",      "an",     "old",   "story", "about", "ships"};
    std::u16string out;
    uint32_t r = static_cast<uint32_t>(seed);
    for (int i = 0; i < words; ++i) {
        r = r * 1103515245u + 12345u;
        const char* w = kWords[(r >> 16) % 18];
        for (const char* c = w; *c; ++c) out.push_back(static_cast<char16_t>(*c));
        out.push_back((r >> 8) % 23 == 0 ? u'\n' : u' ');
    }
    return out;
}

struct Span {
    uint32_t start;
    uint32_t end;
};

class Paging : public ::testing::Test {
protected:
    void Open(std::u16string text, bool seekable = false, BookLayoutTraits* traits = nullptr,
              bool html = false) {
        layout_.reset();
        source_.reset();
        doc_ = seekable ? std::make_unique<SeekableDocument>(std::move(text), 512)
                        : std::make_unique<MemoryDocument>(std::move(text), 512);
        if (html)
            source_ = std::make_unique<HtmlTokenizer>();
        else
            source_ = std::make_unique<PlainTextTokenSource>();
        ASSERT_TRUE(source_->Attach(doc_.get(), 0));
        layout_ = std::make_unique<PageLayout>(traits);
        layout_->SetSource(source_.get());
        layout_->SetContentLayout(&content_);
        layout_->SetListener(&listener_);
        layout_->Configure(fvt::test::SettingsAt(12));
        layout_->SetViewport(Rect{0, 0, 120, 60});
        ASSERT_TRUE(layout_->Start());
        ASSERT_TRUE(layout_->GoToPage(1));
    }

    Span Current() {
        uint32_t start = layout_->CurrentPageStart();
        EXPECT_TRUE(layout_->LayoutPageAt(start, false));
        uint32_t length = layout_->CurrentPageLength();
        return Span{start, length == kNone ? layout_->TextLength() : start + length};
    }

    std::vector<Span> WalkForward() {
        std::vector<Span> pages{Current()};
        for (int guard = 0; guard < 10000; ++guard) {
            if (!layout_->GoToPosition(layout_->CurrentPageStart(), PageStepCode::kNextPage)) break;
            pages.push_back(Current());
            EXPECT_TRUE(layout_->CheckInvariants());
        }
        return pages;
    }

    std::unique_ptr<MemoryDocument> doc_;
    std::unique_ptr<TokenSource> source_;
    WordPageLayout content_;
    Counting listener_;
    std::unique_ptr<PageLayout> layout_;
};

// --- Tiling -------------------------------------------------------------------------------------

TEST_F(Paging, ForwardPagesTileTheTextExactly) {
    Open(MakeText(400));
    std::vector<Span> pages = WalkForward();
    ASSERT_GT(pages.size(), 10u);
    EXPECT_EQ(pages.front().start, layout_->FirstPageStart());
    for (size_t i = 1; i < pages.size(); ++i) {
        EXPECT_EQ(pages[i].start, pages[i - 1].end) << "page " << i;
        EXPECT_LT(pages[i].start, pages[i].end);
    }
    EXPECT_EQ(pages.back().end, layout_->TextLength());
    EXPECT_FALSE(layout_->CanStep(PageStepCode::kNextPage));
    EXPECT_EQ(layout_->PageCount(), pages.size());
}

TEST_F(Paging, BackwardStepsRetraceTheForwardPages) {
    Open(MakeText(300), true);
    std::vector<Span> forward = WalkForward();
    std::vector<uint32_t> back{layout_->CurrentPageStart()};
    while (layout_->GoToPosition(layout_->CurrentPageStart(), PageStepCode::kPageBefore)) {
        back.push_back(layout_->CurrentPageStart());
        ASSERT_TRUE(layout_->CheckInvariants());
        ASSERT_LT(back.size(), 1000u);
    }
    ASSERT_EQ(back.size(), forward.size());
    for (size_t i = 0; i < forward.size(); ++i)
        EXPECT_EQ(back[forward.size() - 1 - i], forward[i].start);
    EXPECT_FALSE(layout_->CanStep(PageStepCode::kPageBefore));
}

TEST_F(Paging, BackwardStepsFromAFarPageLeaveNoGap) {
    // Far beyond the backward reach, so pages before are found from a fresh start.
    Open(MakeText(3000), true);
    ASSERT_TRUE(layout_->GoToPage(-1));
    Span cur = Current();
    EXPECT_EQ(cur.end, layout_->TextLength());
    for (int i = 0; i < 5000 && layout_->GoToPosition(cur.start, PageStepCode::kPageBefore); ++i) {
        Span before = Current();
        EXPECT_LT(before.start, cur.start);
        EXPECT_GE(before.end, cur.start) << "text skipped before " << cur.start;
        ASSERT_TRUE(layout_->CheckInvariants());
        cur = before;
    }
    EXPECT_EQ(cur.start, layout_->FirstPageStart());
}

TEST_F(Paging, PagesEndingWhereTheCurrentStartsLeaveNoGap) {
    Open(MakeText(3000, 5), false);
    ASSERT_TRUE(layout_->GoToPage(60));
    Span cur = Current();
    for (int i = 0; i < 30 && layout_->GoToPosition(cur.start, PageStepCode::kPageEndingHere);
         ++i) {
        Span before = Current();
        EXPECT_LT(before.start, cur.start);
        EXPECT_GE(before.end, cur.start) << "text skipped before " << cur.start;
        cur = before;
    }
    EXPECT_LT(cur.start, layout_->PositionOfPage(40));
}

TEST_F(Paging, PageEndingAtAPositionNeverSkipsText) {
    Open(MakeText(2000), true);
    uint32_t length = layout_->TextLength();
    for (uint32_t target : {length / 7, length / 3, length / 2, length - 5}) {
        PageRecord* r = nullptr;
        ASSERT_TRUE(layout_->LayoutPageEndingAt(target, 30, r)) << target;
        ASSERT_NE(r, nullptr);
        EXPECT_LT(r->start, target);
        uint32_t start = r->start;
        ASSERT_TRUE(layout_->LayoutPageAt(start, false));
        PageRecord* again = layout_->FindPageRecord(start, PageStepCode::kSamePage);
        ASSERT_NE(again, nullptr);
        EXPECT_GE(again->end, target) << "gap before " << target;
        EXPECT_GE(again->pageNumber, 2u);
    }
}

TEST_F(Paging, ReplayedDocumentsPageTheSameAsSeekableOnes) {
    std::u16string text = MakeText(500, 7);
    Open(text, true);
    std::vector<Span> seekable = WalkForward();
    Open(text, false);
    std::vector<Span> replayed = WalkForward();
    ASSERT_EQ(seekable.size(), replayed.size());
    for (size_t i = 0; i < seekable.size(); ++i) EXPECT_EQ(seekable[i].start, replayed[i].start);
    // A far page is replayed and lands on the same start as the walk found.
    ASSERT_TRUE(layout_->GoToPageContaining(replayed[replayed.size() / 2].start));
    EXPECT_EQ(layout_->CurrentPageStart(), replayed[replayed.size() / 2].start);
}

TEST_F(Paging, AFarPageReplaysFromTheNearestCheckpoint) {
    Open(MakeText(30000, 3), false);  // about 180,000 characters, replayed from the start
    uint32_t length = layout_->TextLength();
    ASSERT_TRUE(layout_->GoToPageContaining(length - 1000));
    uint32_t before = doc_->reads;
    ASSERT_TRUE(layout_->GoToPageContaining(length - 3000));
    uint32_t reread = doc_->reads - before;
    // Without checkpoints the whole text would be read again: length / 512 pages.
    EXPECT_LT(reread, length / 512 / 4);
    // And the page is the one a replay from the first page finds.
    uint32_t start = layout_->CurrentPageStart();
    Open(MakeText(30000, 3), false);
    ASSERT_TRUE(layout_->GoToPageContaining(length - 3000));
    EXPECT_EQ(layout_->CurrentPageStart(), start);
}

// --- Page numbers
// ---------------------------------------------------------------------------------

TEST_F(Paging, PageZeroAndOneAreTheFirstPage) {
    Open(MakeText(300));
    ASSERT_TRUE(layout_->GoToPosition(layout_->CurrentPageStart(), PageStepCode::kNextPage));
    ASSERT_TRUE(layout_->GoToPage(0));
    EXPECT_EQ(layout_->CurrentPageStart(), layout_->FirstPageStart());
    EXPECT_EQ(layout_->CurrentPageNumber(), 1u);
    ASSERT_TRUE(layout_->GoToPage(1));
    EXPECT_EQ(layout_->CurrentPageNumber(), 1u);
}

TEST_F(Paging, MinusOneIsTheLastPageNotTheFirst) {
    Open(MakeText(600), true);
    ASSERT_FALSE(layout_->IsLastPageKnown());
    ASSERT_TRUE(layout_->GoToPage(kNone));
    Span last = Current();
    EXPECT_EQ(last.end, layout_->TextLength());
    EXPECT_GT(layout_->CurrentPageNumber(), 1u);
    // Known now: the same page again.
    ASSERT_TRUE(layout_->IsLastPageKnown());
    ASSERT_TRUE(layout_->GoToPage(1));
    ASSERT_TRUE(layout_->GoToPage(kNone));
    EXPECT_EQ(layout_->CurrentPageStart(), last.start);
}

TEST_F(Paging, PageNumberPastTheEndGivesTheLastPage) {
    Open(MakeText(600), true);
    for (uint32_t n : {1000000u, 0x7FFFFFFFu, 0xFFFFFFF0u}) {
        ASSERT_TRUE(layout_->GoToPage(n)) << n;
        Span last = Current();
        EXPECT_EQ(last.end, layout_->TextLength()) << n;
        EXPECT_LT(last.start, last.end);
        EXPECT_LT(layout_->CurrentPageNumber(), 1000u);
        EXPECT_LT(layout_->PageCount(), 1000u);
    }
}

// (In a text too long to count its pages at the first need.)
TEST_F(Paging, AFarPageComesByEstimate) {
    Open(MakeText(3000), true);
    layout_->Pages().SetCountLimit(1000);
    uint32_t before = content_.layouts;
    ASSERT_TRUE(layout_->GoToPage(40));
    EXPECT_EQ(layout_->CurrentPageNumber(), 40u);
    EXPECT_LE(layout_->CurrentPageStart(), layout_->PositionOfPage(40) + 20);
    Current();
    EXPECT_LT(content_.layouts - before, 5u);
}

TEST_F(Paging, EstimatesFollowTheFirstPageAndTheColumn) {
    Open(MakeText(100));
    uint32_t f = layout_->FirstPageStart();
    EXPECT_EQ(layout_->EstimatePageNumber(f), 1u);
    EXPECT_EQ(layout_->EstimatePageNumber(f + 1), 2u);
    // 120 x 60 at 12 px: (240 / 12) x (60 / 12).
    EXPECT_EQ(layout_->CharsPerPageEstimate(), 100u);
    EXPECT_EQ(layout_->PositionOfPage(3), f + 200);
    layout_->SetViewport(Rect{0, 0, 5, 60});
    layout_->Relayout();
    EXPECT_EQ(layout_->CharsPerPageEstimate(), 1u);
}

TEST_F(Paging, ColumnsShareTheWidthWithAGap) {
    Open(MakeText(100));
    layout_->SetViewport(Rect{0, 0, 240, 320});
    layout_->SetMargins(10, 5, 30, 5, true);
    layout_->SetColumnCount(2);
    int32_t w = layout_->ComputeColumns();
    EXPECT_EQ(layout_->ColumnGap(), 20);
    EXPECT_EQ(w, (200 - 20) / 2);
    EXPECT_EQ(layout_->Column(0).x, 10);
    EXPECT_EQ(layout_->Column(1).x - layout_->Column(0).x, 20 + w);
    Rect found;
    EXPECT_EQ(layout_->FindColumn(Rect{layout_->Column(1).x + 1, 10, 4, 4}, found), 1);
    EXPECT_EQ(layout_->FindColumn(Rect{500, 10, 4, 4}, found), -1);
}

TEST_F(Paging, HostileColumnSettingsStayWithinThePage) {
    Open(MakeText(100));
    layout_->SetColumnCount(0);
    EXPECT_EQ(layout_->ColumnCount(), 1u);
    layout_->SetColumnCount(9);
    EXPECT_EQ(layout_->ColumnCount(), 4u);
    layout_->SetMargins(400, 400, 400, 400, true);
    layout_->ComputeColumns();
    EXPECT_GE(layout_->Column(0).width, 1);
    EXPECT_GE(layout_->Column(0).height, 1);
    layout_->Configure(fvt::test::SettingsAt(0));
    EXPECT_GE(layout_->CharsPerPageEstimate(), 1u);
}

// --- The cache
// ------------------------------------------------------------------------------------

TEST_F(Paging, TheCacheHoldsEightRecordsAndKeepsTheCurrentOne) {
    Open(MakeText(900), true);
    for (int i = 0;
         i < 20 && layout_->GoToPosition(layout_->CurrentPageStart(), PageStepCode::kNextPage);
         ++i) {
        EXPECT_LE(layout_->StoredRecordCount(), PageLayout::kMaxRecords);
        EXPECT_NE(layout_->FindPageRecord(layout_->CurrentPageStart(), PageStepCode::kSamePage),
                  nullptr);
        ASSERT_TRUE(layout_->CheckInvariants());
    }
    uint32_t cur = layout_->CurrentPageStart();
    while (layout_->FreeMemory()) {
    }
    EXPECT_EQ(layout_->CurrentPageStart(), cur);
    EXPECT_EQ(layout_->StoredRecordCount(), 1);
}

TEST_F(Paging, TheNinthRecordEvictsTheLeastRecentlyReturned) {
    Open(MakeText(900), true);
    std::vector<uint32_t> starts;
    for (int i = 0;
         i < 8 && layout_->GoToPosition(layout_->CurrentPageStart(), PageStepCode::kNextPage); ++i)
        starts.push_back(layout_->CurrentPageStart());
    ASSERT_EQ(layout_->StoredRecordCount(), 8);
    // Touch all but the oldest stored page, then make a ninth.
    uint32_t oldest = starts[0];
    for (size_t i = 1; i < starts.size(); ++i)
        layout_->FindPageRecord(starts[i], PageStepCode::kSamePage);
    ASSERT_TRUE(layout_->GoToPosition(layout_->CurrentPageStart(), PageStepCode::kNextPage));
    EXPECT_EQ(layout_->FindPageRecord(oldest, PageStepCode::kSamePage), nullptr);
    EXPECT_NE(layout_->FindPageRecord(layout_->CurrentPageStart(), PageStepCode::kSamePage),
              nullptr);
}

TEST_F(Paging, RelativeStartsOutsideTwoStepsAreNone) {
    Open(MakeText(300));
    EXPECT_EQ(layout_->PageStartRelative(3), kNone);
    EXPECT_EQ(layout_->PageStartRelative(-3), kNone);
    EXPECT_EQ(layout_->PageStartRelative(0), layout_->CurrentPageStart());
    EXPECT_TRUE(layout_->CanStep(PageStepCode::kSamePage));
    EXPECT_FALSE(layout_->CanStep(PageStepCode::kPageBefore));
}

TEST_F(Paging, ARelayoutForgetsTheOldEnd) {
    Open(MakeText(300));
    Current();
    ASSERT_NE(layout_->CurrentPageLength(), kNone);
    layout_->SetViewport(Rect{0, 0, 60, 60});
    layout_->Relayout();
    EXPECT_EQ(layout_->CurrentPageLength(), kNone);
    Span shorter = Current();
    EXPECT_LT(shorter.end - shorter.start, 100u);
}

// --- Faults met without looping
// ---------------------------------------------------------------------

TEST_F(Paging, APageThatDoesNotAdvanceFailsTheStep) {
    Open(MakeText(300), true);
    ASSERT_TRUE(layout_->GoToPosition(layout_->CurrentPageStart(), PageStepCode::kNextPage));
    uint32_t second = layout_->CurrentPageStart();
    ASSERT_TRUE(layout_->GoToPosition(second, PageStepCode::kNextPage));
    uint32_t third = layout_->CurrentPageStart();
    layout_->Invalidate(1);
    content_.stallAt = third;
    EXPECT_FALSE(layout_->GoToPosition(third, PageStepCode::kNextPage));
    EXPECT_EQ(layout_->CurrentPageStart(), third);
    // Backward from beyond the stalled page ends too.
    ASSERT_TRUE(layout_->GoToPage(kNone) || true);
    EXPECT_TRUE(layout_->CheckInvariants());
}

TEST_F(Paging, AMoveThatFailsKeepsTheOldPageAndTellsNobody) {
    Open(MakeText(40));
    int changed = listener_.changed;
    uint32_t cur = layout_->CurrentPageStart();
    EXPECT_FALSE(layout_->GoToPosition(cur, PageStepCode::kPageBefore));
    EXPECT_FALSE(layout_->GoToPositionAsPageStart(layout_->TextLength()));
    EXPECT_FALSE(layout_->GoToPageContaining(layout_->TextLength() + 5));
    EXPECT_EQ(layout_->CurrentPageStart(), cur);
    EXPECT_EQ(listener_.changed, changed);
}

TEST_F(Paging, AStepWithNoRecordLaysThePageOutAtThePosition) {
    Open(MakeText(300), true);
    ASSERT_TRUE(layout_->GoToPosition(200, PageStepCode::kSamePage));
    EXPECT_GE(layout_->CurrentPageStart(), 200u);
    EXPECT_FALSE(layout_->MoveToPosition(200, StepFromValue(7)));
}

TEST_F(Paging, GoingToThePageContainingAPositionShowsIt) {
    Open(MakeText(600), true);
    std::vector<Span> pages = WalkForward();
    const Span& mid = pages[pages.size() / 2];
    ASSERT_TRUE(layout_->GoToPage(1));
    ASSERT_TRUE(layout_->GoToPageContaining(mid.start));
    EXPECT_EQ(layout_->CurrentPageStart(), mid.start);
    ASSERT_TRUE(layout_->GoToPageContaining(2));
    EXPECT_EQ(layout_->CurrentPageStart(), layout_->FirstPageStart());
}

TEST_F(Paging, AdvancingReachesThePageOfARange) {
    Open(MakeText(600), true);
    std::vector<Span> pages = WalkForward();
    ASSERT_TRUE(layout_->GoToPage(1));
    const Span& target = pages[4];
    ASSERT_TRUE(layout_->AdvanceToPosition(target.start + 1, target.start + 3));
    EXPECT_EQ(layout_->CurrentPageStart(), target.start);
}

// --- The first page
// -------------------------------------------------------------------------------

TEST_F(Paging, HtmlWithATitleShowsItsBody) {
    Open(u"<html><head><title>T</title></head><body>Hello there</body></html>", false, nullptr,
         true);
    uint32_t f = layout_->FirstPageStart();
    EXPECT_GT(f, 30u);
    Current();
    EXPECT_EQ(layout_->CurrentPageNumber(), 1u);
}

TEST_F(Paging, HtmlWithoutABodyShowsItsText) {
    Open(u"<p>hi there</p><p>second</p>", false, nullptr, true);
    EXPECT_EQ(layout_->FirstPageStart(), 0u);
    Span page = Current();
    EXPECT_EQ(page.end, layout_->TextLength());
}

TEST_F(Paging, ALongHeadStillFindsTheBody) {
    std::u16string head = u"<html><head><title>Long</title>";
    for (int i = 0; i < 20; ++i) head += u"<meta name=\"k\" content=\"v\">";
    Open(head + u"</head><body>words here</body></html>", false, nullptr, true);
    Current();
    EXPECT_EQ(layout_->CurrentPageNumber(), 1u);
    EXPECT_GT(layout_->CurrentPageLength(), 0u);
}

// --- Document keys and the side file
// -----------------------------------------------------------------

class SideFile : public Paging {
protected:
    AnnotationFile* OpenNotes() {
        auto* f = new AnnotationFile;
        EXPECT_EQ(f->OpenOrCreate("\\book.prc", "Book", 4, 0, 1, 1), 0);
        return f;
    }
    fvt::test::TempDevice device_;
};

TEST_F(SideFile, AFileWithoutAnIdTakesTheBooksKey) {
    FixedTraits traits(0x1234);
    Open(MakeText(50), true, &traits);
    AnnotationFile* f = OpenNotes();
    ASSERT_EQ(f->GetBookId(), 0xFFFFFFFFu);
    ASSERT_GE(f->AddBookmark(1, 5, 9, 0, 0, 0, 0), 0);
    EXPECT_TRUE(layout_->SetAnnotations(f));
    EXPECT_EQ(f->GetBookId(), 0x1234u);
    EXPECT_EQ(f->BookmarkCount(), 1u);
    f->Release();
}

TEST_F(SideFile, ASwappedKeyIsTheSameBook) {
    FixedTraits traits(0x11223344);
    Open(MakeText(50), true, &traits);
    AnnotationFile* f = OpenNotes();
    f->SetBookId(0x44332211);
    ASSERT_GE(f->AddBookmark(1, 5, 9, 0, 0, 0, 0), 0);
    EXPECT_TRUE(layout_->SetAnnotations(f));
    EXPECT_EQ(f->BookmarkCount(), 1u);
    f->Release();
}

TEST_F(SideFile, ADocumentWithoutAKeyNeverWipesTheFile) {
    FixedTraits none(0);
    Open(MakeText(50), true, &none);
    AnnotationFile* f = OpenNotes();
    f->SetBookId(77);
    ASSERT_GE(f->AddBookmark(1, 5, 9, 0, 0, 0, 0), 0);
    EXPECT_TRUE(layout_->SetAnnotations(f));
    EXPECT_EQ(f->BookmarkCount(), 1u);
    EXPECT_EQ(f->GetBookId(), 77u);
    f->Release();
}

TEST_F(SideFile, AnotherBooksFileIsSetAsideBeforeItIsEmptied) {
    {
        AnnotationFile* f = OpenNotes();
        f->SetBookId(77);
        ASSERT_GE(f->AddBookmark(1, 5, 9, 0, 0, 0, 0), 0);
        f->Release();  // written
    }
    ASSERT_TRUE(device_.HostExists("book.fvt"));
    FixedTraits traits(0x1234);
    Open(MakeText(50), true, &traits);
    AnnotationFile* f = OpenNotes();
    ASSERT_EQ(f->BookmarkCount(), 1u);
    EXPECT_TRUE(layout_->SetAnnotations(f));
    EXPECT_EQ(f->BookmarkCount(), 0u);
    EXPECT_EQ(f->GetBookId(), 0x1234u);
    EXPECT_TRUE(device_.HostExists("book.fvt.book-changed"));
    f->Release();
}

// A file whose key follows its content changed (it grew, or lost its end): what still falls
// inside the text stays, the rest goes, and the whole old file is kept aside.
TEST_F(SideFile, AChangedFileKeepsTheAnnotationsInsideItsText) {
    const std::u16string text = MakeText(50);
    const uint32_t length = static_cast<uint32_t>(text.size());
    {
        AnnotationFile* f = OpenNotes();
        f->SetBookId(77);
        ASSERT_GE(f->AddBookmark(1, 5, 9, 0, 0, 0, 0), 0);
        ASSERT_GE(f->AddBookmark(4, length - 4, length + 10, 0, 0, 0, 0), 0);
        f->Release();  // written
    }
    FixedTraits traits(0x1234, true);
    Open(text, true, &traits);
    AnnotationFile* f = OpenNotes();
    ASSERT_EQ(f->BookmarkCount(), 2u);
    EXPECT_TRUE(layout_->SetAnnotations(f));
    EXPECT_EQ(f->BookmarkCount(), 1u);
    EXPECT_EQ(f->GetBookId(), 0x1234u);
    EXPECT_EQ(f->TakeChangedAside(), "\\book.fvt.book-changed");
    EXPECT_FALSE(device_.HostExists("book.fvt.damaged"));
    f->Release();
}

TEST_F(Paging, DocumentsWithoutAKeyGetOneForTheSession) {
    Open(MakeText(50));
    uint32_t key = layout_->CurrentDocumentKey();
    EXPECT_NE(key, kNone);
    EXPECT_EQ(layout_->CurrentDocumentKey(), key);
    EXPECT_EQ(listener_.relayouts, 1);
}

}  // namespace

// --- Over the block and line layout
// ---------------------------------------------------------------

namespace {

std::u16string Chapter() {
    std::u16string html = u"<html><head><title>Chapters</title></head><body>";
    std::u16string words = MakeText(1400, 11);
    size_t cut = 0;
    for (int p = 0; cut < words.size(); ++p) {
        size_t next = std::min(words.size(), cut + 300 + (p % 5) * 90);
        while (next < words.size() && words[next] != u' ') ++next;
        html += p % 7 == 3 ? u"<h2>" : u"<p>";
        html += words.substr(cut, next - cut);
        html += p % 7 == 3 ? u"</h2>" : u"</p>";
        cut = next;
    }
    return html + u"</body></html>";
}

class RealPages : public fvt::test::WindowTest {
protected:
    static Span Shown(PageLayout& layout) {
        uint32_t start = layout.CurrentPageStart();
        EXPECT_TRUE(layout.LayoutPageAt(start, false));
        uint32_t length = layout.CurrentPageLength();
        return Span{start, length == kNone ? layout.TextLength() : start + length};
    }
};

TEST_F(RealPages, StepsBothWaysTileTheTextAsTheLayoutPagesIt) {
    fvt::test::LayoutHost host(Chapter(), 240, 320, 12);
    std::vector<fvt::test::LaidOutPage> reference;
    ASSERT_TRUE(host.Paginate(reference));
    ASSERT_GT(reference.size(), 5u);

    PageLayout& layout = host.Layout();
    layout.SetViewport(Rect{0, 0, 240, 320});
    ASSERT_TRUE(layout.Start());
    ASSERT_TRUE(layout.GoToPage(1));
    std::vector<Span> forward{Shown(layout)};
    while (layout.GoToPosition(layout.CurrentPageStart(), PageStepCode::kNextPage)) {
        forward.push_back(Shown(layout));
        ASSERT_TRUE(layout.CheckInvariants());
        ASSERT_LT(forward.size(), 1000u);
    }
    // The reference starts at the very beginning (its first page shows the head's text too),
    // so only the page count is compared.
    EXPECT_LE(
        std::max(forward.size(), reference.size()) - std::min(forward.size(), reference.size()),
        1u);
    for (size_t i = 1; i < forward.size(); ++i)
        EXPECT_EQ(forward[i].start, forward[i - 1].end) << "page " << i;
    EXPECT_EQ(forward.back().end, layout.TextLength());

    // Back again, page by page, over the same starts.
    for (size_t i = forward.size() - 1; i > 0; --i) {
        ASSERT_TRUE(layout.GoToPosition(layout.CurrentPageStart(), PageStepCode::kPageBefore))
            << "page " << i;
        EXPECT_EQ(layout.CurrentPageStart(), forward[i - 1].start);
    }
    EXPECT_FALSE(layout.CanStep(PageStepCode::kPageBefore));
}

// One slot serves page after page, its storage kept: every page, laid out after any other
// (a longer one, a table, a listing, the last page), equals it laid out in a fresh slot.
TEST_F(RealPages, ASlotReusedInAnyOrderLaysOutEveryPageAsAFreshOne) {
    std::u16string html = Chapter();
    const std::u16string extra =
        u"<table border=1><tr><td>cell one</td><td>cell two words</td></tr>"
        u"<tr><td>three</td><td>four</td></tr></table>"
        u"<pre>listing line one\n  indented line two\n\nafter a blank</pre>"
        u"<ul><li>first item</li><li><b>bold</b> and <i>italic</i> words</li></ul><p>";
    for (size_t at = html.find(u"<p>", html.size() / 4); at != std::u16string::npos;
         at = html.find(u"<p>", at + extra.size() + 2000))
        html.replace(at, 3, extra);
    fvt::test::LayoutHost host(html, 240, 320, 12);
    std::vector<fvt::test::LaidOutPage> reference;
    ASSERT_TRUE(host.Paginate(reference));
    ASSERT_GT(reference.size(), 8u);
    PageLayout& layout = host.Layout();

    auto expectSame = [&](const PageSlot& slot, const PageRecord& page, size_t i) {
        const fvt::test::LaidOutPage& r = reference[i];
        std::vector<Rect> boxes;
        EXPECT_EQ(fvt::test::LineTexts(slot.contents, &boxes), r.lines) << "page " << i;
        ASSERT_EQ(boxes.size(), r.lineBoxes.size()) << "page " << i;
        for (size_t k = 0; k < boxes.size(); ++k)
            EXPECT_TRUE(boxes[k] == r.lineBoxes[k]) << "page " << i << " line " << k;
        EXPECT_EQ(slot.contentHeight, r.contentHeight) << "page " << i;
        EXPECT_EQ(slot.contents.KindCount(kItemTable), r.tables) << "page " << i;
        EXPECT_EQ(page.start, r.start) << "page " << i;
        EXPECT_EQ(page.end, r.end) << "page " << i;
    };
    // What a page leaves to the next lies at or after the next page's start.
    auto expectCarriedOn = [](const PageRecord& next, size_t i) {
        ASSERT_TRUE(next.block);
        for (int32_t k = 0; k < next.block->Count(); ++k) {
            const BlockItem* item = next.block->ItemAt(k);
            if (item->HasPosition()) {
                EXPECT_GE(item->Position(), next.start) << "page " << i << " item " << k;
            }
        }
    };

    PageSlot slot;
    std::vector<std::unique_ptr<PageRecord>> records;
    records.push_back(std::make_unique<PageRecord>());
    for (size_t i = 0; i < reference.size(); ++i) {
        slot.record = records[i].get();
        auto next = std::make_unique<PageRecord>();
        bool more = false;
        ASSERT_TRUE(layout.LayoutIntoSlot(slot, *next, more, false)) << "page " << i;
        expectSame(slot, *records[i], i);
        EXPECT_TRUE(slot.contents.CheckInvariants());
        EXPECT_EQ(more, i + 1 < reference.size());
        expectCarriedOn(*next, i);
        records.push_back(std::move(next));
    }

    const size_t last = reference.size() - 1;
    const size_t order[] = {last, 0, last / 2, 1, last - 1, 2, last, last / 3};
    // One record, too, takes what each page leaves to the next, over what the one before left.
    PageRecord next;
    for (size_t i : order) {
        slot.record = records[i].get();
        bool more = false;
        ASSERT_TRUE(layout.LayoutIntoSlot(slot, next, more, false)) << "page " << i;
        expectSame(slot, *records[i], i);
        EXPECT_EQ(next.start, records[i + 1]->start) << "page " << i;
        expectCarriedOn(next, i);
        EXPECT_TRUE(next.elements.Equals(records[i + 1]->elements)) << "page " << i;
        EXPECT_EQ(next.block->Count(), records[i + 1]->block->Count()) << "page " << i;
    }
}

TEST_F(RealPages, TheLastPageAndBackWithoutGaps) {
    fvt::test::LayoutHost host(Chapter(), 240, 320, 12);
    PageLayout& layout = host.Layout();
    layout.SetViewport(Rect{0, 0, 240, 320});
    ASSERT_TRUE(layout.Start());
    ASSERT_TRUE(layout.GoToPage(kNone));
    Span cur = Shown(layout);
    EXPECT_EQ(cur.end, layout.TextLength());
    for (int i = 0; i < 200 && layout.GoToPosition(cur.start, PageStepCode::kPageBefore); ++i) {
        Span before = Shown(layout);
        EXPECT_LT(before.start, cur.start);
        EXPECT_GE(before.end, cur.start) << "text skipped before " << cur.start;
        cur = before;
    }
    EXPECT_EQ(cur.start, layout.FirstPageStart());
}

}  // namespace

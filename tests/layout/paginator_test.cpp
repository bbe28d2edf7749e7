// The paginator's own rules: how a record's link answers a step, which record a full cache
// gives up, which slot a new page takes, and what a step that fails leaves behind.
#include "layout/paginator.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "document/markup/plain_text_token_source.h"
#include "layout/page_layout.h"
#include "support/document/memory_document.h"
#include "support/layout/paging_fixtures.h"
#include "support/layout/word_page_layout.h"

namespace {

constexpr uint32_t kNone = Paginator::kNone;

// Words of one length, so that every page holds about as much text.
std::u16string Words(int n) {
    std::u16string out;
    for (int i = 0; i < n; ++i) out += u"word ";
    return out;
}

class PaginatorTest : public ::testing::Test {
protected:
    void SetUp() override {
        doc_ = std::make_unique<MemoryDocument>(Words(1500), 512);
        ASSERT_TRUE(source_.Attach(doc_.get(), 0));
        layout_.SetSource(&source_);
        layout_.SetContentLayout(&content_);
        layout_.Configure(fvt::test::SettingsAt(12));
        layout_.SetViewport(Rect{0, 0, 120, 60});
        ASSERT_TRUE(layout_.Start());
        ASSERT_TRUE(layout_.GoToPage(1));
    }

    Paginator& pages() { return layout_.Pages(); }

    // Pages forward by whole pages; the starts reached, the first page's included.
    std::vector<uint32_t> Forward(int n) {
        std::vector<uint32_t> starts{pages().Current()};
        for (int i = 0; i < n; ++i) {
            PageRecord* r =
                pages().MoveToPosition(pages().Current(), PageStepCode::kNextPage, kNoPageMark);
            if (!r) break;
            starts.push_back(r->start);
        }
        return starts;
    }

    std::unique_ptr<MemoryDocument> doc_;
    PlainTextTokenSource source_;
    WordPageLayout content_;
    PageLayout layout_;
};

TEST(PageRecordLink, AStepAnswersOnlyFromTheEndOfTheLinkItLeavesFrom) {
    PageRecord r;
    r.used = true;
    r.start = 500;
    r.linkOrigin = 300;
    r.linkStep = StepValue(PageStepCode::kNextPage);
    EXPECT_EQ(r.Follow(300, 2), 500u);   // forward along the link
    EXPECT_EQ(r.Follow(500, -2), 300u);  // back along it
    EXPECT_EQ(r.Follow(500, 0), 500u);   // the record's own start
    EXPECT_EQ(r.Follow(300, 1), kNone);  // another step from the origin is another page
    EXPECT_EQ(r.Follow(500, 2), kNone);
    EXPECT_EQ(r.Follow(400, 0), kNone);
    r.used = false;
    EXPECT_EQ(r.Follow(500, 0), kNone);  // an unused record answers nothing
}

TEST_F(PaginatorTest, ThreeStepsFollowThreeSingleStepLinksInARow) {
    std::vector<uint32_t> starts{pages().Current()};
    for (int i = 0; i < 3; ++i) {
        PageRecord* r =
            pages().MoveToPosition(pages().Current(), PageStepCode::kSingleStep, kNoPageMark);
        ASSERT_NE(r, nullptr);
        starts.push_back(r->start);
    }
    PageRecord* back = pages().FindPageRecord(starts[3], PageStepCode::kThreePagesBefore);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->start, starts[0]);
    PageRecord* on = pages().FindPageRecord(starts[0], PageStepCode::kThreeSingleSteps);
    ASSERT_NE(on, nullptr);
    EXPECT_EQ(on->start, starts[3]);
    // A single step is not a whole page: the page before by a whole page is not known.
    EXPECT_EQ(pages().FindPageRecord(starts[3], PageStepCode::kPageEndingHere), nullptr);
}

TEST_F(PaginatorTest, AFullCacheNeverGivesUpTheCurrentPageNorAPageInASlot) {
    const std::vector<uint32_t> starts = Forward(Paginator::kMaxRecords + 4);
    ASSERT_GT(starts.size(), static_cast<size_t>(Paginator::kMaxRecords));
    const uint32_t current = pages().Current();
    ASSERT_TRUE(pages().LayoutPageAt(current, false));
    // Make every other record more recent than the current page's.
    for (const PageRecord& r : pages().Records())
        if (r.IsUsed() && r.start != current)
            pages().FindPageRecord(r.start, PageStepCode::kSamePage);
    for (int i = 0; i < 3; ++i) {
        PageRecord fresh;
        fresh.used = true;
        fresh.pageNumber = 50 + i;
        fresh.start = layout_.TextLength() - 10 - static_cast<uint32_t>(i);
        fresh.linkOrigin = kNone;
        fresh.useStamp = pages().NextStamp();
        ASSERT_NE(pages().StoreRecord(fresh), nullptr);
        EXPECT_NE(pages().FindPageRecord(current, PageStepCode::kSamePage), nullptr);
        EXPECT_GE(pages().SlotOf(current), 0);
        EXPECT_TRUE(pages().CheckInvariants());
    }
    EXPECT_EQ(pages().StoredRecordCount(), Paginator::kMaxRecords);
}

TEST_F(PaginatorTest, ARecordStoredAtAKnownStartReplacesItAndKeepsItsStop) {
    const std::vector<uint32_t> starts = Forward(2);
    ASSERT_EQ(starts.size(), 3u);
    PageRecord* known = pages().FindPageRecord(starts[2], PageStepCode::kSamePage);
    ASSERT_NE(known, nullptr);
    known->stopAt = starts[2] + 7;
    const int32_t stored = pages().StoredRecordCount();
    PageRecord again;
    ASSERT_TRUE(again.CopyFrom(*known));
    again.used = true;
    again.stopAt = kNone;
    PageRecord* kept = pages().StoreRecord(again);
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(pages().StoredRecordCount(), stored);
    // A page found going back keeps its stop when paging forward reaches it again.
    EXPECT_EQ(kept->stopAt, starts[2] + 7);
}

TEST_F(PaginatorTest, ANewLinkFromTheSameOriginAndStepCutsTheOldOne) {
    const std::vector<uint32_t> starts = Forward(2);
    ASSERT_EQ(starts.size(), 3u);
    // Another page after the second one by the same step (as a page found going back would
    // be): the old page keeps its record but no longer follows from there.
    PageRecord other;
    other.used = true;
    other.pageNumber = 3;
    other.start = starts[2] - 3;
    other.linkOrigin = starts[1];
    other.linkStep = StepValue(PageStepCode::kNextPage);
    other.useStamp = pages().NextStamp();
    ASSERT_NE(pages().StoreRecord(other), nullptr);
    PageRecord* next = pages().FindPageRecord(starts[1], PageStepCode::kNextPage);
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(next->start, starts[2] - 3);
    EXPECT_NE(pages().FindPageRecord(starts[2], PageStepCode::kSamePage), nullptr);
}

TEST_F(PaginatorTest, ANewPageNeverTakesTheSlotOfTheCurrentPage) {
    const std::vector<uint32_t> starts = Forward(3);
    ASSERT_EQ(starts.size(), 4u);
    const uint32_t current = pages().Current();
    ASSERT_TRUE(pages().LayoutPageAt(current, false));
    ASSERT_TRUE(pages().LayoutPageAt(starts[1], false));
    const int32_t held = pages().SlotOf(current);
    ASSERT_GE(held, 0);
    // The current page was stamped first, so it is the older one; still it keeps its slot.
    pages().FindPageRecord(starts[1], PageStepCode::kSamePage);
    const int32_t chosen = pages().ChooseSlot();
    EXPECT_NE(chosen, held);
    EXPECT_EQ(pages().SlotOf(current), held);
}

TEST_F(PaginatorTest, ARefusedStepLeavesTheCurrentPageAndItsMark) {
    ASSERT_EQ(pages().Current(), pages().First().start);
    pages().CurrentRecord()->markIndex = 2;
    // Nothing comes before the first page of a book without sections.
    EXPECT_EQ(pages().MoveToPosition(pages().Current(), PageStepCode::kPageEndingHere, 4), nullptr);
    EXPECT_EQ(pages().Current(), pages().First().start);
    // Steps beyond three either way are refused.
    EXPECT_EQ(pages().MoveToPosition(pages().Current(), StepFromValue(4), kNoPageMark), nullptr);
    EXPECT_EQ(pages().Current(), pages().First().start);
    EXPECT_EQ(pages().CurrentRecord()->markIndex, 2);
}

TEST_F(PaginatorTest, AMoveSetsTheMarkItIsGivenOrClearsIt) {
    PageRecord* r = pages().MoveToPosition(pages().Current(), PageStepCode::kNextPage, 3);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->markIndex, 3);
    r = pages().MoveToPosition(pages().Current(), PageStepCode::kNextPage, kNoPageMark);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->markIndex, -1);
}

TEST_F(PaginatorTest, DroppingTheLaidOutPagesKeepsTheCurrentRecordWithoutItsEnd) {
    Forward(4);
    const uint32_t current = pages().Current();
    ASSERT_TRUE(pages().LayoutPageAt(current, false));
    pages().DropLaidOut();
    EXPECT_EQ(pages().StoredRecordCount(), 1);
    EXPECT_EQ(pages().SlotOf(current), -1);
    const PageRecord* r = pages().CurrentRecord();
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->start, current);
    EXPECT_EQ(r->end, kNone);  // measured at the old size
    EXPECT_EQ(pages().FindPageRecord(current, PageStepCode::kPageEndingHere), nullptr);
    EXPECT_TRUE(pages().CheckInvariants());
}

}  // namespace

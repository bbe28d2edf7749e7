// Queries over laid-out pages (how far down a position lies, a page ending with a page break),
// re-measuring a saved block after a font change, and the walk over a book's annotations.
#include <gtest/gtest.h>

#include <memory>

#include "bookfiles/annotation_file.h"
#include "layout/annotation_cursor.h"
#include "layout/page_layout.h"
#include "support/layout/layout_host.h"
#include "support/platform/temp_device.h"
#include "support/platform/window_fixture.h"

namespace {

using fvt::test::LaidOutPage;
using fvt::test::LayoutHost;

class PageQueries : public fvt::test::WindowTest {
public:
    void Lay(const std::u16string& html, int32_t w = 60, int32_t h = 100) {
        host = std::make_unique<LayoutHost>(html, w, h, 12);
        ASSERT_TRUE(host->Paginate(pages));
    }
    void TearDown() override {
        host.reset();
        WindowTest::TearDown();
    }
    std::unique_ptr<LayoutHost> host;
    std::vector<LaidOutPage> pages;
};

TEST_F(PageQueries, PositionFractionFollowsTheLines) {
    // Four lines of 12 pixels in a 100-pixel column.
    Lay(u"<html><body>aaaa bbbb cccc dddd eeee ffff gggg hhhh</body></html>", 60);
    BlockContents& b = const_cast<BlockContents&>(host->PageContents(0));
    uint32_t f = 0;
    uint32_t first = b.ItemAt(1)->Position();
    ASSERT_TRUE(host->Layout().PositionFraction(b, first, f));
    EXPECT_EQ(f, 0u);
    uint32_t start = 0;
    b.GetStart(start);
    // The word on the third line: y 24 of 100.
    uint32_t third = 0;
    for (int32_t i = 0; i < b.KindCount(kItemTextRun); ++i)
        if (b.Run(i)->text == String(u"eeee")) third = b.Run(i)->y;
    EXPECT_EQ(third, 24u + 9u);
    uint32_t position = 0;
    BlockCursor c;
    c.Init(&b, true);
    for (; !c.AtEnd(); c.Next())
        if (c.Kind() == kItemTextRun && b.Run(c.counts[kItemTextRun])->text == String(u"eeee"))
            position = b.ItemAt(c.position)->Position();
    ASSERT_TRUE(host->Layout().PositionFraction(b, position, f));
    EXPECT_EQ(f, 24u * 256 / 100);
    ASSERT_TRUE(host->Layout().PositionFraction(b, b.EndPosition(), f));
    EXPECT_EQ(f, 255u);
    EXPECT_FALSE(host->Layout().PositionFraction(b, b.EndPosition() + 1, f));
    EXPECT_FALSE(host->Layout().PositionFraction(b, 0, f));  // before the block's text
}

TEST_F(PageQueries, APageEndingInAPageBreakIsRecognised) {
    BlockContents b;
    EXPECT_FALSE(PageLayout::EndsWithTypeZeroMark(b));
    FlowMark m;
    m.type = kMarkPageBreak;
    ASSERT_TRUE(b.Append(m, 0));
    EXPECT_TRUE(PageLayout::EndsWithTypeZeroMark(b));
    m.type = kMarkBlockEnd;
    ASSERT_TRUE(b.Append(m, 1));
    EXPECT_FALSE(PageLayout::EndsWithTypeZeroMark(b));
}

TEST_F(PageQueries, RemeasuringKeepsZeroWidthBreaksAtZero) {
    Lay(u"<html><body>ab \u4e00\u4e01</body></html>", 240);
    PageRecord record;
    record.block = std::make_unique<BlockContents>();
    ASSERT_TRUE(record.block->CopyFrom(host->PageContents(0)));
    host->Settings().baseFontSize = 24;
    host->Reconfigure();
    host->Layout().RemeasureRecord(record);
    BlockContents& b = *record.block;
    int spaces = 0, gaps = 0;
    for (int32_t i = 0; i < b.KindCount(kItemFlowMark); ++i) {
        if (b.Mark(i)->type != kMarkSpace) continue;
        if (b.Mark(i)->width == 0) ++gaps;
        else {
            ++spaces;
            EXPECT_EQ(b.Mark(i)->width, 12);
        }
    }
    EXPECT_EQ(spaces, 1);
    EXPECT_EQ(gaps, 2);  // before each CJK character
    EXPECT_EQ(b.Run(0)->width, 24);
}

class Annotations : public ::testing::Test {
public:
    void SetUp() override {
        file = new AnnotationFile;
        ASSERT_EQ(file->OpenOrCreate("\\book.prc", "Book", 4, 0, 1, 1), 0);
    }
    void TearDown() override {
        cursor = AnnotationCursor{};
        file->Release();
    }
    fvt::test::TempDevice device;
    AnnotationFile* file = nullptr;
    AnnotationCursor cursor;
};

TEST_F(Annotations, AHighlightOpensAndClosesAtItsRange) {
    ASSERT_GE(file->AddBookmark(AnnotationFile::kHighlight, 10, 20, 0, 0, 3, 0), 0);
    cursor.Start(file, 0);
    EXPECT_FALSE(cursor.Advance(0, false));
    EXPECT_EQ(cursor.nextChange, 10u);
    EXPECT_FALSE(cursor.Advance(5, false));
    EXPECT_TRUE(cursor.Advance(10, false));
    EXPECT_EQ(cursor.highlightStyle, 3u);
    EXPECT_EQ(cursor.nextChange, 20u);
    EXPECT_FALSE(cursor.Advance(15, false));
    EXPECT_TRUE(cursor.Advance(20, false));
    EXPECT_EQ(cursor.highlightStyle, AnnotationCursor::kNone);
    EXPECT_EQ(cursor.nextChange, AnnotationCursor::kNone);
}

TEST_F(Annotations, AHighlightAndANoteOverlapAndTheNoteLinks) {
    ASSERT_GE(file->AddBookmark(AnnotationFile::kHighlight, 10, 40, 0, 0, 1, 0), 0);
    int32_t note = file->AddBookmark(AnnotationFile::kNote, 12, 18, 0, 0, 0x21, 0);
    ASSERT_GE(note, 0);
    cursor.Start(file, 0);
    EXPECT_TRUE(cursor.Advance(10, true));
    EXPECT_EQ(cursor.nextChange, 12u);
    EXPECT_TRUE(cursor.Advance(12, true));
    EXPECT_EQ(cursor.markStyle, 0x21u);
    ASSERT_TRUE(cursor.link);
    EXPECT_EQ(cursor.link->number, static_cast<uint32_t>(note));
    EXPECT_TRUE(cursor.TakePending());
    EXPECT_FALSE(cursor.TakePending());
    // The note closes at its own end, before the longer highlight.
    EXPECT_EQ(cursor.nextChange, 18u);
    EXPECT_TRUE(cursor.Advance(18, true));
    EXPECT_EQ(cursor.markStyle, AnnotationCursor::kNone);
    EXPECT_EQ(cursor.highlightStyle, 1u);
    EXPECT_FALSE(cursor.link);
}

TEST_F(Annotations, AThirdAnnotationAtTheSameStartOpensAtTheNextChange) {
    ASSERT_GE(file->AddBookmark(AnnotationFile::kHighlight, 10, 30, 0, 0, 1, 0), 0);
    ASSERT_GE(file->AddBookmark(AnnotationFile::kNote, 10, 30, 0, 0, 2, 0), 0);
    ASSERT_GE(file->AddBookmark(AnnotationFile::kHighlight, 10, 50, 0, 0, 5, 0), 0);
    cursor.Start(file, 0);
    EXPECT_TRUE(cursor.Advance(10, false));
    EXPECT_EQ(cursor.highlightStyle, 1u);
    EXPECT_TRUE(cursor.Advance(30, false));
    EXPECT_EQ(cursor.highlightStyle, 5u);
}

TEST_F(Annotations, NoFileChangesNothing) {
    cursor.Start(nullptr, 0);
    EXPECT_FALSE(cursor.Advance(0, true));
    EXPECT_FALSE(cursor.Advance(1000, true));
}

}  // namespace

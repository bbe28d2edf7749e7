// Page drawing: alignment and justification arithmetic, what a page draws in which order
// (recorded), the drawing bracket on every path, pictures drawn in their pass, the bookmark
// corner, and a page of English and French text kept as a PNG golden drawn with the box font.
#include "layout/page_drawing.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "bookfiles/annotation_file.h"
#include "core/color.h"
#include "document/markup/plain_text_token_source.h"
#include "document/sources/layout_services.h"
#include "layout/page_canvas.h"
#include "layout/page_layout.h"
#include "platform/gdi/gdi_layer.h"
#include "support/document/memory_document.h"
#include "support/layout/golden_canvas.h"
#include "support/layout/paging_fixtures.h"
#include "support/layout/recording_canvas.h"
#include "support/layout/word_page_layout.h"
#include "support/platform/temp_device.h"
#include "support/platform/window_fixture.h"

namespace {

using namespace PageDrawing;
using fvt::test::Op;
using Recorder = fvt::test::RecordingCanvas;

// --- Arithmetic
// ------------------------------------------------------------------------------------

TEST(Justification, TenPixelsOverThreeGapsGoThreeThreeFour) {
    int32_t carry = 0;
    EXPECT_EQ(NextJustifyShare(10, 3, carry), 3);
    EXPECT_EQ(NextJustifyShare(10, 3, carry), 3);
    EXPECT_EQ(NextJustifyShare(10, 3, carry), 4);
    EXPECT_EQ(carry, 0);
}

TEST(Justification, NothingToShareGivesNothing) {
    int32_t carry = 0;
    EXPECT_EQ(NextJustifyShare(10, 0, carry), 0);
    EXPECT_EQ(NextJustifyShare(10, -1, carry), 0);
    EXPECT_EQ(NextJustifyShare(-4, 2, carry), 0);
    EXPECT_EQ(carry, 0);
}

TEST(Alignment, TheLastLineOfAJustifiedParagraphIsLeftAligned) {
    EXPECT_EQ(LineAlignment(kAlignJustify, kAlignLeft, false, false), kAlignLeft);
    EXPECT_EQ(LineAlignment(kAlignJustify, kAlignLeft, true, false), kAlignJustify);
    EXPECT_EQ(LineAlignment(0, kAlignCenter, false, false), kAlignCenter);
}

TEST(Alignment, PoetryIsSetRightUnlessFramed) {
    EXPECT_EQ(LineAlignment(kAlignPoetry, kAlignLeft, true, false), kAlignRight);
    EXPECT_EQ(LineAlignment(kAlignPoetry, kAlignLeft, false, true), kAlignLeft);
    EXPECT_EQ(LineAlignment(kAlignPoetry, kAlignLeft, true, true), kAlignPoetry);
}

TEST(Alignment, CentringHalvesDownAndRightTakesAll) {
    EXPECT_EQ(AlignmentOffset(kAlignCenter, 7), 3);
    EXPECT_EQ(AlignmentOffset(kAlignRight, 7), 7);
    EXPECT_EQ(AlignmentOffset(kAlignLeft, 7), 0);
    EXPECT_EQ(AlignmentOffset(kAlignRight, -5), 0);
}

TEST(FontSizes, NestedStepsStayDrawable) {
    EXPECT_EQ(FontSize(12, 4), 16);
    EXPECT_EQ(FontSize(12, -100), 4);
    EXPECT_EQ(FontSize(12, 127), 127);
}

// --- A recorded page
// --------------------------------------------------------------------------------

class Picture : public InlineObject {
public:
    Picture(bool late, int id) : late_(late), id_(id) {}
    bool Draw(GraphicsContext*, const Rect&, const Rect*) override { return true; }
    bool MeasureSimple(Size& s, uint8_t& f) override {
        s = Size{10, 10};
        f = 0;
        return true;
    }
    uint32_t Query2() override { return late_ ? 1 : 0; }
    int Id() const { return id_; }

private:
    bool late_;
    int id_;
};

class Drawing : public ::testing::Test {
protected:
    void Open(std::u16string text, uint32_t alignment = 0) {
        content_.alignment = alignment;
        layout_.reset();
        source_.reset();
        doc_ = std::make_unique<MemoryDocument>(std::move(text), 512);
        source_ = std::make_unique<PlainTextTokenSource>();
        source_->Attach(doc_.get(), 0);
        layout_ = std::make_unique<PageLayout>();
        layout_->SetSource(source_.get());
        layout_->SetContentLayout(&content_);
        layout_->SetCanvas(&canvas_);
        layout_->Configure(fvt::test::SettingsAt(10));
        layout_->SetViewport(Rect{0, 0, 120, 60});
        ASSERT_TRUE(layout_->Start());
        ASSERT_TRUE(layout_->GoToPage(1));
    }
    std::unique_ptr<MemoryDocument> doc_;
    std::unique_ptr<PlainTextTokenSource> source_;
    WordPageLayout content_;
    Recorder canvas_;
    std::unique_ptr<PageLayout> layout_;
};

TEST_F(Drawing, APageWithoutASlotPaintsOnlyTheBackground) {
    Open(u"one two three");
    EXPECT_FALSE(layout_->DrawPage(false));
    ASSERT_EQ(canvas_.ops.size(), 1u);
    EXPECT_EQ(canvas_.ops[0].kind, 'F');
    EXPECT_EQ(canvas_.ops[0].colour, 0xFFFFFFu);
    EXPECT_EQ(canvas_.depth, 0);
}

TEST_F(Drawing, TheBracketIsBalancedOnEveryPath) {
    Open(u"one two three");
    layout_->DrawPage(false);
    ASSERT_TRUE(layout_->PaintCurrentPage(false));
    layout_->DrawPage(false, 12345);
    EXPECT_EQ(canvas_.begins, 3);
    EXPECT_EQ(canvas_.depth, 0);
}

TEST_F(Drawing, WordsFollowEachOtherOnTheBaseline) {
    Open(u"one two three");
    ASSERT_TRUE(layout_->PaintCurrentPage(false));
    std::vector<Op> words = canvas_.Of('T');
    ASSERT_EQ(words.size(), 3u);
    EXPECT_EQ(words[0].text, u"one");
    EXPECT_EQ(words[0].rect.x, 0);
    EXPECT_EQ(words[1].rect.x, 24);  // "one" and a space at 6 px
    EXPECT_EQ(words[2].rect.x, 48);
    EXPECT_EQ(words[0].rect.y, 8);
}

TEST_F(Drawing, JustifiedLinesReachTheRightEdgeButTheLastDoesNot) {
    // 120 px hold 20 characters: "aaa bbb ccc ddd eee" (19) then a wrapped word.
    Open(u"aaa bbb ccc ddd eee eeeeeeeeee ff", kAlignJustify);
    ASSERT_TRUE(layout_->PaintCurrentPage(false));
    std::vector<Op> words = canvas_.Of('T');
    ASSERT_EQ(words.size(), 7u);
    // Six free pixels over four gaps: 1, 2, 1, 2 (the remainder carried); the space left at
    // the end of the line takes no share, or the shares would be 1, 1, 1, 1.
    EXPECT_EQ(words[1].rect.x, 25);
    EXPECT_EQ(words[2].rect.x, 51);
    EXPECT_EQ(words[3].rect.x, 76);
    EXPECT_EQ(words[4].rect.x, 102);
    EXPECT_EQ(words[4].rect.x + words[4].rect.width, 120);
    // The last line of the paragraph starts at the left with plain spaces.
    EXPECT_EQ(words[5].rect.x, 0);
    EXPECT_EQ(words[6].rect.x, 66);
}

TEST_F(Drawing, TheBaselineSitsBelowTheSpaceAboveTheLine) {
    Open(u"one two");
    ASSERT_TRUE(layout_->LayoutPageAt(layout_->CurrentPageStart(), false));
    PageSlot& slot = layout_->Slot(layout_->Slot(0).record ? 0 : 1);
    LineRecord* line = slot.contents.Line(0);
    ASSERT_NE(line, nullptr);
    line->extraAbove = 6;
    line->height += 6;
    ASSERT_TRUE(layout_->DrawPage(false));
    EXPECT_EQ(canvas_.Of('T')[0].rect.y, 6 + 8);
}

TEST_F(Drawing, CentredAndRightAlignedLines) {
    Open(u"abc", kAlignCenter);
    ASSERT_TRUE(layout_->PaintCurrentPage(false));
    EXPECT_EQ(canvas_.Of('T')[0].rect.x, (120 - 18) / 2);
    Open(u"abc", kAlignRight);
    canvas_.ops.clear();
    ASSERT_TRUE(layout_->PaintCurrentPage(false));
    EXPECT_EQ(canvas_.Of('T')[0].rect.x, 102);
}

TEST_F(Drawing, ItemsLeftAfterTheLastLineDoNotLosePictures) {
    Open(u"one two");
    ASSERT_TRUE(layout_->LayoutPageAt(layout_->CurrentPageStart(), false));
    PageSlot& slot = layout_->Slot(layout_->Slot(0).record ? 0 : 1);
    InlineBox late, early;
    late.rect = Rect{50, 20, 10, 10};
    late.flags = InlineBox::kAlignmentGiven;
    late.object = ObjectRef(new Picture(true, 1));
    early.rect = Rect{70, 20, 10, 10};
    early.flags = InlineBox::kAlignmentGiven;
    early.object = ObjectRef(new Picture(false, 2));
    ASSERT_TRUE(slot.contents.Append(late, 4));
    ASSERT_TRUE(slot.contents.Append(early, 5));
    FlowMark trailing;
    trailing.type = kMarkBlockEnd;
    ASSERT_TRUE(slot.contents.Append(trailing, 7));
    ASSERT_TRUE(layout_->DrawPage(false));
    std::vector<Op> objects = canvas_.Of('O');
    ASSERT_EQ(objects.size(), 2u);
    // The picture that asks to be drawn late comes after the other.
    EXPECT_EQ(objects[0].rect.x, 70);
    EXPECT_EQ(objects[1].rect.x, 50);
}

TEST_F(Drawing, ZeroSizedObjectsAreSkipped) {
    Open(u"one");
    ASSERT_TRUE(layout_->LayoutPageAt(layout_->CurrentPageStart(), false));
    PageSlot& slot = layout_->Slot(layout_->Slot(0).record ? 0 : 1);
    InlineBox empty;
    empty.rect = Rect{5, 5, 0, 10};
    empty.flags = InlineBox::kAlignmentGiven;
    empty.object = ObjectRef(new Picture(false, 3));
    ASSERT_TRUE(slot.contents.Append(empty, 1));
    ASSERT_TRUE(layout_->DrawPage(false));
    EXPECT_TRUE(canvas_.Of('O').empty());
}

class Corner : public Drawing {
protected:
    AnnotationFile* Notes(uint32_t kind) {
        auto* f = new AnnotationFile;
        EXPECT_EQ(f->OpenOrCreate("\\book.prc", "Book", 4, 0, 1, 1), 0);
        EXPECT_GE(f->AddBookmark(kind, 2, 3, 0, 0, 0, 0), 0);
        return f;
    }
    fvt::test::TempDevice device_;
};

TEST_F(Corner, ABookmarkOnThePageDrawsTheCorner) {
    Open(u"one two three");
    AnnotationFile* f = Notes(1);
    layout_->SetAnnotations(f);
    ASSERT_TRUE(layout_->PaintCurrentPage(false));
    Rect r = layout_->CornerRect();
    EXPECT_EQ(r.width, 7);
    EXPECT_EQ(r.x + r.width, 120 - 2);
    EXPECT_EQ(r.y, 2);
    std::vector<Op> lines = canvas_.Of('L');
    ASSERT_EQ(lines.size(), 7u + 3u);
    EXPECT_EQ(lines[0].colour, Color::Pack(148, 156, 169));
    EXPECT_EQ(lines[9].colour, 0u);
    layout_->SetAnnotations(nullptr);
    f->Release();
}

TEST_F(Corner, ANoteDrawsNoCorner) {
    Open(u"one two three");
    AnnotationFile* f = Notes(AnnotationFile::kNote);
    layout_->SetAnnotations(f);
    ASSERT_TRUE(layout_->PaintCurrentPage(false));
    EXPECT_TRUE(canvas_.Of('L').empty());
    layout_->SetAnnotations(nullptr);
    f->Release();
}

// --- The golden page
// -----------------------------------------------------------------------------------

using GoldenPage = fvt::test::WindowTest;

TEST_F(GoldenPage, APageOfEnglishAndFrenchText) {
    fvt::test::GoldenCanvas canvas(160, 120);

    MemoryDocument doc(
        u"The evening light fell on the old harbour while the ships came home.\n"
        u"Le soir tombait sur le vieux port; les navires rentraient \u00e0 quai.");
    PlainTextTokenSource source;
    source.Attach(&doc, 0);
    WordPageLayout content;
    content.lineHeight = 12;
    content.charWidth = 5;
    content.alignment = kAlignJustify;
    PageLayout layout;
    layout.SetSource(&source);
    layout.SetContentLayout(&content);
    layout.SetCanvas(canvas.Canvas());
    layout.Configure(fvt::test::SettingsAt(10));
    layout.SetViewport(Rect{0, 0, 160, 120});
    layout.SetMargins(6, 6, 6, 6, true);
    ASSERT_TRUE(layout.Start());
    ASSERT_TRUE(layout.GoToPage(1));
    ASSERT_TRUE(layout.PaintCurrentPage(false));
    EXPECT_EQ(canvas.Depth(), 0);
    std::string message;
    EXPECT_TRUE(canvas.Matches("layout_page", &message)) << message;
}

}  // namespace

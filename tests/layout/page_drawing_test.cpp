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
#include "graphics/core/node.h"
#include "layout/annotation_cursor.h"
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
    uint32_t DrawsLate() override { return late_ ? 1 : 0; }
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
    late.object = RefPtr<InlineObject>::Adopt(new Picture(true, 1));
    early.rect = Rect{70, 20, 10, 10};
    early.flags = InlineBox::kAlignmentGiven;
    early.object = RefPtr<InlineObject>::Adopt(new Picture(false, 2));
    ASSERT_TRUE(slot.contents.Append(late, 4));
    ASSERT_TRUE(slot.contents.Append(early, 5));
    FlowMark trailing;
    trailing.type = kMarkBlockEnd;
    ASSERT_TRUE(slot.contents.Append(trailing, 7));
    ASSERT_TRUE(layout_->DrawPage(false));
    std::vector<Op> objects = canvas_.Of('O');
    ASSERT_EQ(objects.size(), 2u);
    // The picture that asks to be drawn late comes after the other; both follow the line's
    // text ("one two" ends at 42), each with its one-pixel spacing, at the height given.
    EXPECT_EQ(objects[0].rect.x, 43 + 10 + 2);
    EXPECT_EQ(objects[1].rect.x, 43);
    EXPECT_EQ(objects[0].rect.y, 20);
}

TEST_F(Drawing, PicturesMoveWithTheLineAndTheTextAfterThemMakesRoom) {
    Open(u"abc", kAlignCenter);
    ASSERT_TRUE(layout_->LayoutPageAt(layout_->CurrentPageStart(), false));
    PageSlot& slot = layout_->Slot(layout_->Slot(0).record ? 0 : 1);
    // A picture without ALIGN (its place in the line settled by the layout) and a word after.
    InlineBox picture;
    picture.rect = Rect{0, 3, 10, 10};
    picture.flags = InlineBox::kAlignmentGiven;
    picture.object = RefPtr<InlineObject>::Adopt(new Picture(false, 1));
    ASSERT_TRUE(slot.contents.Append(picture, 3));
    TextRun after;
    after.width = 12;
    after.text = String(u"de");
    ASSERT_TRUE(slot.contents.Append(after, 4));
    ASSERT_TRUE(layout_->DrawPage(false));
    std::vector<Op> words = canvas_.Of('T');
    std::vector<Op> objects = canvas_.Of('O');
    ASSERT_EQ(words.size(), 2u);
    ASSERT_EQ(objects.size(), 1u);
    EXPECT_EQ(words[0].rect.x, (120 - 18) / 2);
    EXPECT_EQ(objects[0].rect.x, 51 + 18 + 1);  // centred with the text
    EXPECT_EQ(objects[0].rect.y, 3);
    EXPECT_EQ(words[1].rect.x, 70 + 10 + 1);  // not drawn over the picture
}

TEST_F(Drawing, ZeroSizedObjectsAreSkipped) {
    Open(u"one");
    ASSERT_TRUE(layout_->LayoutPageAt(layout_->CurrentPageStart(), false));
    PageSlot& slot = layout_->Slot(layout_->Slot(0).record ? 0 : 1);
    InlineBox empty;
    empty.rect = Rect{5, 5, 0, 10};
    empty.flags = InlineBox::kAlignmentGiven;
    empty.object = RefPtr<InlineObject>::Adopt(new Picture(false, 3));
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

// --- Annotations under the text
// ---------------------------------------------------------------------------------------------

TEST(RunStyles, AHighlightPaintsYellowOrItsColourOrChangesTheFont) {
    AnnotationCursor walk;
    PositionRecord run, out;
    run.color = Color::kNone;
    run.background = Color::kNone;
    walk.highlightStyle = 0;
    walk.StyleRun(run, 0xFFFFFF, 0, out);
    EXPECT_EQ(out.background, Color::Pack(255, 255, 0));
    walk.highlightStyle = 2;
    walk.StyleRun(run, 0xFFFFFF, 0, out);
    EXPECT_EQ(out.background, Color::Pack(0, 255, 0));
    walk.highlightStyle = 15 | (Color::Pack(1, 2, 3) << 8);
    walk.StyleRun(run, 0xFFFFFF, 0, out);
    EXPECT_EQ(out.background, Color::Pack(1, 2, 3));
    walk.highlightStyle = 64 | 3;
    walk.StyleRun(run, 0xFFFFFF, 0, out);
    EXPECT_EQ(out.background, Color::kNone);
    EXPECT_EQ(out.style & 0x0F, kStyleStrike);
    walk.highlightStyle = 128;
    walk.StyleRun(run, 0xFFFFFF, 0, out);
    EXPECT_EQ(out.style & 0x0F, kStyleUnderline);
}

TEST(RunStyles, ANoteTintsTheBackgroundTowardsTheText) {
    AnnotationCursor walk;
    walk.markStyle = 0;  // the default mark style: a tint
    PositionRecord run, out;
    run.color = Color::Pack(0, 0, 0);
    run.background = Color::kNone;
    walk.StyleRun(run, Color::Pack(255, 255, 255), 0, out);
    // (14 x 255 + 0) / 15 = 238 per channel.
    EXPECT_EQ(out.background, Color::Pack(238, 238, 238));
    EXPECT_EQ(out.color, Color::Pack(0, 0, 0));
}

TEST(RunStyles, ALinkedNoteReadsAsAnUnderlinedRedLink) {
    AnnotationCursor walk;
    walk.markStyle = 0x10;
    walk.linked = 3;
    PositionRecord run, out;
    run.color = Color::kNone;
    walk.StyleRun(run, 0xFFFFFF, 0, out);
    EXPECT_EQ(out.color, Color::Pack(255, 0, 0));
    EXPECT_EQ(out.style & 0x0F, kStyleUnderline);
    EXPECT_EQ(out.background, run.background);
}

TEST(RunStyles, AMarkColourIndexColoursTheText) {
    AnnotationCursor walk;
    walk.markStyle = 3;
    PositionRecord run, out;
    walk.StyleRun(run, 0xFFFFFF, 0, out);
    EXPECT_EQ(out.color, Color::Pack(0, 0, 255));
    walk.markStyle = 15 | (Color::Pack(9, 8, 7) << 8);
    walk.StyleRun(run, 0xFFFFFF, 0, out);
    EXPECT_EQ(out.color, Color::Pack(9, 8, 7));
}

class Annotated : public Drawing {
protected:
    void Mark(uint32_t kind, uint32_t start, uint32_t end, uint32_t style) {
        if (!file_) {
            file_ = new AnnotationFile;
            ASSERT_EQ(file_->OpenOrCreate("\\book.prc", "Book", 4, 0, 1, 1), 0);
        }
        ASSERT_GE(file_->AddBookmark(kind, start, end, 0, 0, style, 0), 0);
        layout_->SetAnnotations(file_);
    }
    void TearDown() override {
        if (layout_) layout_->SetAnnotations(nullptr);
        if (file_) file_->Release();
    }
    std::vector<Op> FillsOf(uint32_t colour) const {
        std::vector<Op> out;
        for (const Op& o : canvas_.Of('F'))
            if (o.colour == colour) out.push_back(o);
        return out;
    }
    AnnotationFile* file_ = nullptr;
    fvt::test::TempDevice device_;
};

TEST_F(Annotated, AHighlightedWordIsPaintedYellowBehindItsTextOnly) {
    Open(u"one two three");
    Mark(AnnotationFile::kHighlight, 4, 7, 0);
    ASSERT_TRUE(layout_->PaintCurrentPage(false));
    std::vector<Op> yellow = FillsOf(Color::Pack(255, 255, 0));
    ASSERT_EQ(yellow.size(), 1u);
    EXPECT_EQ(yellow[0].rect.x, 24);
    EXPECT_EQ(yellow[0].rect.width, 18);  // "two", not the space after it
    // The background goes down before the words.
    size_t fill = 0, word = 0;
    for (size_t i = 0; i < canvas_.ops.size(); ++i) {
        if (canvas_.ops[i].kind == 'F' && canvas_.ops[i].colour == yellow[0].colour) fill = i;
        if (canvas_.ops[i].kind == 'T' && canvas_.ops[i].text == u"two") word = i;
    }
    EXPECT_LT(fill, word);
}

TEST_F(Annotated, AHighlightAcrossWordsCoversTheSpacesBetween) {
    Open(u"one two three four");
    Mark(AnnotationFile::kHighlight, 4, 13, 2);
    ASSERT_TRUE(layout_->PaintCurrentPage(false));
    std::vector<Op> green = FillsOf(Color::Pack(0, 255, 0));
    ASSERT_EQ(green.size(), 1u);
    EXPECT_EQ(green[0].rect.x, 24);
    EXPECT_EQ(green[0].rect.width, 24 + 30);
}

TEST_F(Annotated, ANoteTintsItsTextAndPutsAMarkAtItsStart) {
    Open(u"one two three");
    Mark(AnnotationFile::kNote, 8, 13, 0);
    ASSERT_TRUE(layout_->PaintCurrentPage(false));
    std::vector<Op> tint = FillsOf(Color::Pack(238, 238, 238));
    ASSERT_EQ(tint.size(), 1u);
    EXPECT_EQ(tint[0].rect.x, 48);
    // A square frame in the first mark colour (red) where the note starts.
    std::vector<Op> lines = canvas_.Of('L');
    ASSERT_EQ(lines.size(), 4u);
    for (const Op& l : lines) EXPECT_EQ(l.colour, Color::Pack(255, 0, 0));
    EXPECT_EQ(lines[0].rect.x, 48);
}

TEST_F(Annotated, ANoteGivesOneMarkerAreaLinkedToIt) {
    Open(u"one two three four");
    Mark(AnnotationFile::kNote, 8, 13, 0);
    Mark(AnnotationFile::kNote, 8, 13, 0);  // a second note at the same place
    ASSERT_TRUE(layout_->PaintCurrentPage(false));
    AreaArray* marks = nullptr;
    ASSERT_TRUE(layout_->GetCurrentBlockMarks(marks));
    ASSERT_EQ(marks->Count(), 1);
    Rect r;
    marks->At(0)->GetBounds(r);
    EXPECT_EQ(r.x, 48);
    EXPECT_EQ(r.width, 7);
    const LinkTarget* link = marks->At(0)->link.Get();
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(link->objectKind, 25);
    EXPECT_EQ(link->methodId, 71);
}

TEST_F(Annotated, AHighlightGivesNoMark) {
    Open(u"one two three");
    Mark(AnnotationFile::kHighlight, 4, 7, 0);
    ASSERT_TRUE(layout_->PaintCurrentPage(false));
    AreaArray* marks = nullptr;
    ASSERT_TRUE(layout_->GetCurrentBlockMarks(marks));
    EXPECT_EQ(marks->Count(), 0);
}

TEST_F(Annotated, NoAnnotationsDrawNoBackgrounds) {
    Open(u"one two three");
    ASSERT_TRUE(layout_->PaintCurrentPage(false));
    EXPECT_EQ(canvas_.Of('F').size(), 1u);  // the page
}

// --- Frames and tables
// ---------------------------------------------------------------------------------------------

PageSlot& LaidOut(PageLayout& layout) {
    EXPECT_TRUE(layout.LayoutPageAt(layout.CurrentPageStart(), false));
    return layout.Slot(layout.Slot(0).record ? 0 : 1);
}

TEST_F(Drawing, AFramedLineHasItsSideEdgesAndTheTopEdgeWhenAsked) {
    Open(u"one two");
    LineRecord* line = LaidOut(*layout_).contents.Line(0);
    ASSERT_NE(line, nullptr);
    line->flags |= LineRecord::kFramed | LineRecord::kTopEdge;
    line->leftIndent = 2;
    line->rightIndent = 2;
    // As the layout places a framed line: its x holds the indent.
    int32_t column = line->x;
    line->x += 2;
    ASSERT_TRUE(layout_->DrawPage(false));
    std::vector<Op> edges = canvas_.Of('L');
    ASSERT_EQ(edges.size(), 3u);
    EXPECT_EQ(edges[0].rect.x, column);                    // left, downwards
    EXPECT_EQ(edges[1].rect.x, column + line->width - 1);  // right
    EXPECT_EQ(edges[2].rect.y, line->y);                   // top
    // The text keeps to the inside of the frame.
    EXPECT_EQ(canvas_.Of('T')[0].rect.x, column + 2);
}

// Remembers the font size each word was drawn in.
class SizedRecorder : public Recorder {
public:
    void DrawText(const String& t, Point p, uint32_t c) override {
        sizes.push_back(size);
        Recorder::DrawText(t, p, c);
    }
    std::vector<int32_t> sizes;
};

TEST_F(Drawing, ASizeChangeWithinALineSetsTheFontEvenWithTheSameFlags) {
    Open(u"one two");
    PageSlot& slot = LaidOut(*layout_);
    // A heading's larger size, then its end back to the body's, flags unchanged.
    PositionRecord large, body;
    large.size = 4;
    TextRun big, small;
    big.text = String(u"big", 3);
    small.text = String(u"small", 5);
    ASSERT_TRUE(slot.contents.Append(large, 7));
    ASSERT_TRUE(slot.contents.Append(big, 8));
    ASSERT_TRUE(slot.contents.Append(body, 11));
    ASSERT_TRUE(slot.contents.Append(small, 12));
    SizedRecorder canvas;
    layout_->SetCanvas(&canvas);
    ASSERT_TRUE(layout_->DrawPage(false));
    layout_->SetCanvas(&canvas_);
    std::vector<Op> words = canvas.Of('T');
    ASSERT_EQ(words.size(), 4u);
    EXPECT_EQ(words[2].text, u"big");
    EXPECT_EQ(canvas.sizes[0], 10);
    EXPECT_EQ(canvas.sizes[2], 14);
    EXPECT_EQ(canvas.sizes[3], 10);  // "small" is drawn at the size it was measured at
}

TEST_F(Drawing, AnUnframedLineDrawsNoEdges) {
    Open(u"one two");
    LaidOut(*layout_);
    ASSERT_TRUE(layout_->DrawPage(false));
    EXPECT_TRUE(canvas_.Of('L').empty());
}

TEST_F(Drawing, CellsAreFilledAndFramedBeforeTheirText) {
    Open(u"one two");
    PageSlot& slot = LaidOut(*layout_);
    TableRecord table;
    table.attributes.background = Color::Pack(10, 20, 30);
    table.box = Rect{0, 30, 100, 20};
    table.content = Size{100, 20};
    CellRecord bordered, plain;
    bordered.rect = Rect{10, 30, 40, 20};
    for (int32_t& b : bordered.borders) b = 16;
    plain.rect = Rect{60, 30, 40, 20};
    plain.attributes.background = Color::Pack(200, 0, 0);
    FlowMark end;
    end.type = kMarkTableEnd;
    ASSERT_TRUE(slot.contents.Append(table, 7));
    ASSERT_TRUE(slot.contents.Append(bordered, 7));
    ASSERT_TRUE(slot.contents.Append(plain, 7));
    ASSERT_TRUE(slot.contents.Append(end, 7));
    ASSERT_TRUE(layout_->DrawPage(false));
    std::vector<Op> fills = canvas_.Of('F');
    ASSERT_EQ(fills.size(), 3u);
    // The bordered cell takes the table's colour and grows by its border.
    EXPECT_EQ(fills[1].colour, Color::Pack(10, 20, 30));
    EXPECT_EQ(fills[1].rect.x, 9);
    EXPECT_EQ(fills[1].rect.width, 42);
    EXPECT_EQ(fills[2].colour, Color::Pack(200, 0, 0));
    EXPECT_EQ(fills[2].rect.x, 60);
    std::vector<Op> edges = canvas_.Of('L');
    ASSERT_EQ(edges.size(), 8u);
    EXPECT_EQ(edges[0].colour, 0u);                      // the border in the text colour
    EXPECT_EQ(edges[4].colour, Color::Pack(200, 0, 0));  // the other outlined in its own
}

TEST_F(Drawing, AScrollableTableKeepsItsOffsetsWithinItsContent) {
    Open(u"one two");
    PageSlot& slot = LaidOut(*layout_);
    TableRecord table;
    table.box = Rect{0, 30, 100, 20};
    table.content = Size{160, 20};
    CellRecord cell;
    cell.rect = Rect{100, 30, 60, 20};
    cell.attributes.background = Color::Pack(0, 0, 200);
    FlowMark end;
    end.type = kMarkTableEnd;
    ASSERT_TRUE(slot.contents.Append(table, 7));
    ASSERT_TRUE(slot.contents.Append(cell, 7));
    ASSERT_TRUE(slot.contents.Append(end, 7));
    slot.record->tables.push_back(TableScrollEntry{7, 500, 9});
    ASSERT_TRUE(layout_->DrawPage(false));
    ASSERT_EQ(slot.record->tables.size(), 1u);
    EXPECT_EQ(slot.record->tables[0].x, 60);
    EXPECT_EQ(slot.record->tables[0].y, 0);
    // The content moved left by the offset.
    std::vector<Op> fills = canvas_.Of('F');
    ASSERT_EQ(fills.size(), 2u);
    EXPECT_EQ(fills[1].rect.x, 40);
}

// A table in the box (0, 30, 100, 20), holding a picture when one is given.
void AppendTable(PageSlot& slot, Size content, const InlineBox* picture = nullptr) {
    TableRecord table;
    table.box = Rect{0, 30, 100, 20};
    table.content = content;
    FlowMark end;
    end.type = kMarkTableEnd;
    ASSERT_TRUE(slot.contents.Append(table, 7));
    if (picture) {
        ASSERT_TRUE(slot.contents.Append(*picture, 7));
    }
    ASSERT_TRUE(slot.contents.Append(end, 7));
}

std::u16string LinkText(const Area& a) {
    const LinkTarget* link = a.link.Get();
    if (!link) return u"";
    return std::u16string(link->text.Data(), static_cast<size_t>(link->text.Length()));
}

TEST_F(Drawing, AScrollableTableGetsAnArrowMarkOnEachSide) {
    Open(u"one two");
    AppendTable(LaidOut(*layout_), Size{160, 20});
    ASSERT_TRUE(layout_->DrawPage(false));
    AreaArray* marks = nullptr;
    ASSERT_TRUE(layout_->GetCurrentBlockMarks(marks));
    ASSERT_EQ(marks->Count(), 2);
    EXPECT_EQ(LinkText(*marks->At(0)), u"move_table(7,-40)");
    EXPECT_EQ(LinkText(*marks->At(1)), u"move_table(7,40)");
    Rect left, right;
    marks->At(0)->GetBounds(left);
    marks->At(1)->GetBounds(right);
    EXPECT_EQ(left.x, 0);
    EXPECT_EQ(right.x + right.width, 100);
    EXPECT_EQ(left.width, 15);  // three times the narrow mark
    EXPECT_EQ(left.y, 30);
    EXPECT_EQ(left.height, 20);
}

// A page with a table wider than its 100-pixel view, scrolled by x, drawn.
class Scroller : public Drawing {
protected:
    PageSlot& WideTableAt(int32_t x) {
        Open(u"one two");
        PageSlot& slot = LaidOut(*layout_);
        AppendTable(slot, Size{160, 20});
        TableScrollEntry e;
        e.position = 7;
        e.x = x;
        slot.record->tables.push_back(e);
        EXPECT_TRUE(layout_->DrawPage(false));
        return slot;
    }
    std::vector<Op> IconsAt(PageSlot& slot, int32_t x) {
        canvas_.ops.clear();
        slot.record->tables[0].x = x;
        EXPECT_TRUE(layout_->DrawPage(true));
        return canvas_.Of('I');
    }
};

TEST_F(Scroller, ArrowsShowOnlyTheSidesWhereMoreOfTheTableLies) {
    canvas_.iconSize = Size{8, 6};
    PageSlot& slot = WideTableAt(0);
    std::vector<Op> icons = canvas_.Of('I');
    // At the start only the right arrow: three copies fit the 20-pixel column. The columns
    // are 8 + 2 pixels wide beside an 80-pixel view, so the arrows cover no cell text.
    ASSERT_EQ(icons.size(), 3u);
    for (const Op& o : icons) EXPECT_EQ(o.colour, 223u);
    EXPECT_EQ(icons[0].rect.x, 90 + (10 - 8) / 2);

    icons = IconsAt(slot, 30);
    ASSERT_EQ(icons.size(), 6u);
    EXPECT_EQ(icons[0].colour, 222u);
    EXPECT_EQ(icons[0].rect.x, (10 - 8) / 2);
    EXPECT_EQ(icons[5].colour, 223u);

    icons = IconsAt(slot, 80);  // the end of the 160-pixel content: nothing more to the right
    ASSERT_EQ(icons.size(), 3u);
    for (const Op& o : icons) EXPECT_EQ(o.colour, 222u);
}

TEST_F(Scroller, AScrollerTooLowForTwoIconsShowsOneCentred) {
    canvas_.iconSize = Size{8, 12};
    WideTableAt(0);
    std::vector<Op> icons = canvas_.Of('I');
    ASSERT_EQ(icons.size(), 1u);
    EXPECT_EQ(icons[0].rect.y, 30 + (20 - 12) / 2);
}

TEST_F(Scroller, ACanvasWithoutIconsDrawsNoArrows) {
    WideTableAt(30);
    EXPECT_TRUE(canvas_.Of('I').empty());
}

TEST_F(Scroller, OnlyTheSelectedTableIsFramedInRed) {
    PageSlot& slot = WideTableAt(0);
    auto redLines = [&] {
        std::vector<Op> red;
        for (const Op& o : canvas_.Of('L'))
            if (o.colour == Color::Pack(255, 0, 0)) red.push_back(o);
        return red;
    };
    EXPECT_TRUE(redLines().empty());
    slot.record->tables[0].selected = 1;
    IconsAt(slot, 0);
    std::vector<Op> red = redLines();
    ASSERT_EQ(red.size(), 4u);
    // The frame runs round the table's view: top edge from its corner to the other.
    EXPECT_EQ(red[0].rect.x, 0);
    EXPECT_EQ(red[0].rect.y, 30);
    EXPECT_EQ(red[0].rect.width, 99);  // the line's end point
    EXPECT_EQ(red[1].rect.height, 49);
}

TEST_F(Drawing, AKeyScrollMovesTheDrawnTableByStepsUpToItsContentsEnd) {
    Open(u"one two");
    AppendTable(LaidOut(*layout_), Size{160, 20});
    EXPECT_FALSE(layout_->ScrollTables(Point{40, 0}));  // not drawn: no entries yet
    ASSERT_TRUE(layout_->DrawPage(false));
    PageSlot* slot = layout_->CurrentPageSlot();
    ASSERT_NE(slot, nullptr);
    ASSERT_EQ(slot->record->tables.size(), 1u);
    TableScrollEntry& e = slot->record->tables[0];
    EXPECT_FALSE(layout_->ScrollTables(Point{-40, 0}));  // already at the left edge
    EXPECT_FALSE(layout_->ScrollTables(Point{0, 40}));   // as high as its view: no vertical
    layout_->ResetTableCells();
    EXPECT_TRUE(layout_->ScrollTables(Point{40, 0}));
    EXPECT_EQ(e.x, 40);
    EXPECT_EQ(e.savedX, 0);
    EXPECT_TRUE(layout_->ScrollTables(Point{40, 0}));
    EXPECT_EQ(e.x, 60);  // 160 wide in a 100-pixel view
    EXPECT_FALSE(layout_->ScrollTables(Point{40, 0}));
    EXPECT_EQ(e.y, 0);
}

TEST_F(Drawing, ATapFindsTheScrollableTableAndItsSelection) {
    Open(u"one two");
    AppendTable(LaidOut(*layout_), Size{160, 20});
    ASSERT_TRUE(layout_->DrawPage(false));
    uint32_t id = 0;
    bool found = true;
    EXPECT_FALSE(layout_->TableAt(Point{50, 10}, id, found));  // above the table
    EXPECT_FALSE(found);
    EXPECT_FALSE(layout_->TableAt(Point{50, 40}, id, found));
    EXPECT_TRUE(found);
    EXPECT_EQ(id, 7u);
    ASSERT_TRUE(layout_->SelectTable(7));
    EXPECT_TRUE(layout_->TableAt(Point{50, 40}, id, found));
    // Once selected, only that table moves.
    ASSERT_TRUE(layout_->ScrollTables(Point{40, 0}));
    EXPECT_EQ(layout_->CurrentPageSlot()->record->tables[0].x, 40);
    EXPECT_FALSE(layout_->SelectTable(8));  // no such table
}

TEST_F(Drawing, ATableThatFitsCannotBeScrolledOrFound) {
    Open(u"one two");
    AppendTable(LaidOut(*layout_), Size{100, 20});
    ASSERT_TRUE(layout_->DrawPage(false));
    EXPECT_FALSE(layout_->ScrollTables(Point{40, 0}));
    uint32_t id = 0;
    bool found = true;
    layout_->TableAt(Point{50, 40}, id, found);
    EXPECT_FALSE(found);
}

InlineBox PlacedPicture(Rect r, int id) {
    InlineBox box;
    box.rect = r;
    box.flags = InlineBox::kAlignmentGiven;
    box.object = RefPtr<InlineObject>::Adopt(new Picture(false, id));
    return box;
}

TEST_F(Drawing, PicturesInAScrolledTableAreClippedToItsBox) {
    Open(u"one two");
    PageSlot& slot = LaidOut(*layout_);
    // The picture lies across the view's right edge; another follows the table.
    InlineBox inside = PlacedPicture(Rect{90, 32, 30, 10}, 1);
    AppendTable(slot, Size{160, 20}, &inside);
    ASSERT_TRUE(slot.contents.Append(PlacedPicture(Rect{10, 52, 10, 5}, 2), 10));
    ASSERT_TRUE(layout_->DrawPage(false));
    ASSERT_EQ(canvas_.objectClips.size(), 2u);
    EXPECT_EQ(canvas_.objectClips[0], (Rect{0, 30, 100, 20}));
    EXPECT_TRUE(canvas_.objectClips[1].IsEmpty());  // after the table: unclipped
}

TEST_F(Drawing, PicturesInATableThatFitsAreNotClipped) {
    Open(u"one two");
    InlineBox inside = PlacedPicture(Rect{10, 32, 10, 10}, 1);
    AppendTable(LaidOut(*layout_), Size{100, 20}, &inside);
    ASSERT_TRUE(layout_->DrawPage(false));
    ASSERT_EQ(canvas_.objectClips.size(), 1u);
    EXPECT_TRUE(canvas_.objectClips[0].IsEmpty());
}

TEST_F(Drawing, ATableThatFitsGetsNoMarks) {
    Open(u"one two");
    AppendTable(LaidOut(*layout_), Size{100, 20});
    ASSERT_TRUE(layout_->DrawPage(false));
    AreaArray* marks = nullptr;
    ASSERT_TRUE(layout_->GetCurrentBlockMarks(marks));
    EXPECT_EQ(marks->Count(), 0);
}

// --- Native controls among the marks
// ---------------------------------------------------------------------------------------------

class ControlNode : public Node {
public:
    void Focus() override { log += "focus;"; }
    void Blur() override { log += "blur;"; }
    bool Show(bool show) override {
        log += show ? "show;" : "hide;";
        return true;
    }
    Rect& AdjustRect(Rect& out, const Rect& in) override { return out = in; }
    int32_t ZOrder() const override { return 0; }
    std::string log;
};

class Control : public InlineObject {
public:
    explicit Control(ControlNode* node) : node_(node) {}
    bool Draw(GraphicsContext*, const Rect&, const Rect*) override { return true; }
    bool MeasureSimple(Size& s, uint8_t& f) override {
        s = Size{20, 10};
        f = 0;
        return true;
    }
    bool IsControl() override { return true; }
    Node* GetNode() override { return node_; }

private:
    ControlNode* node_;
};

// A page with one control placed on it, painted, with its marks built.
void PageWithControl(std::unique_ptr<PageLayout>& layout, ControlNode& node, AreaArray*& marks) {
    PageSlot& slot = LaidOut(*layout);
    InlineBox box;
    box.rect = Rect{60, 20, 20, 10};
    box.flags = InlineBox::kAlignmentGiven;
    box.object = RefPtr<InlineObject>::Adopt(new Control(&node));
    ASSERT_TRUE(slot.contents.Append(box, 4));
    ASSERT_TRUE(layout->PaintCurrentPage(false));
    ASSERT_TRUE(layout->GetCurrentBlockMarks(marks));
}

TEST_F(Drawing, AControlsMarkMovesTheFocusAndIsNeverInverted) {
    Open(u"one two");
    ControlNode node;
    AreaArray* marks = nullptr;
    PageWithControl(layout_, node, marks);
    ASSERT_NE(marks, nullptr);
    ASSERT_EQ(marks->Count(), 1);
    EXPECT_NE(ControlMark::Of(*marks->At(0)), nullptr);
    node.log.clear();
    canvas_.ops.clear();
    layout_->SetCurrentMark(0, false, true);
    layout_->SetCurrentMark(0xFFFFFFFFu, false, true);
    EXPECT_EQ(node.log, "focus;blur;");
    EXPECT_TRUE(canvas_.Of('H').empty());
    EXPECT_TRUE(canvas_.Of('A').empty());
    // Without the notice the focus stays where it is.
    layout_->SetCurrentMark(0, false, false);
    EXPECT_EQ(node.log, "focus;blur;");
    layout_.reset();  // before the control's node goes
}

// The page view's stand-in: regaining the focus brings back the remembered mark, as the
// view does.
class ViewNode : public ControlNode {
public:
    void Focus() override {
        log += "focus;";
        if (layout) layout->RestoreRememberedMark();
    }
    PageLayout* layout = nullptr;
};

TEST_F(Scroller, AMarkWithoutAControlTakesTheFocusBackForTheView) {
    WideTableAt(0);  // its two arrow marks have no control
    AreaArray* marks = nullptr;
    ASSERT_TRUE(layout_->GetCurrentBlockMarks(marks));
    ASSERT_EQ(marks->Count(), 2);
    ViewNode view;
    view.layout = layout_.get();
    layout_->SetFocusNode(&view);
    // Mark 1 current, then the focus lost (remembering it), then mark 0 chosen.
    layout_->SetCurrentMark(1, false, false);
    layout_->SetCurrentMark(0xFFFFFFFFu, true, false);
    layout_->SetCurrentMark(0, false, true);
    EXPECT_EQ(view.log, "focus;");
    EXPECT_EQ(layout_->CurrentMarkIndex(), 0u);  // not the remembered one
    // Without the notice nobody is told.
    layout_->SetCurrentMark(1, false, false);
    EXPECT_EQ(view.log, "focus;");
}

TEST_F(Drawing, AControlsMarkKeepsTheFocusFromTheView) {
    Open(u"one two");
    ControlNode node;
    AreaArray* marks = nullptr;
    PageWithControl(layout_, node, marks);
    ViewNode view;
    layout_->SetFocusNode(&view);
    node.log.clear();
    layout_->SetCurrentMark(0, false, true);
    EXPECT_EQ(node.log, "focus;");
    EXPECT_EQ(view.log, "");
    layout_.reset();
}

TEST_F(Drawing, ControlsHideAndShowWithTheirPage) {
    Open(u"one two");
    ControlNode node;
    AreaArray* marks = nullptr;
    PageWithControl(layout_, node, marks);
    ASSERT_NE(marks, nullptr);
    node.log.clear();
    layout_->SetPageVisibility(layout_->CurrentPageStart(), kPageHidden);
    layout_->SetPageVisibility(layout_->CurrentPageStart(), kPageShown);
    EXPECT_EQ(node.log, "hide;show;");
    layout_.reset();
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

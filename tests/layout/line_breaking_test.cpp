// Line machines: the column box arithmetic, indents, line heights for text and aligned
// objects, the mark tables and the choice of a break.
#include "layout/line_breaking.h"

#include <gtest/gtest.h>

#include "document/markup/length.h"

namespace {

TEST(Columns, AFullColumnHasNothingLeft) {
    ColumnBox c;
    c.Set(Rect{5, 7, 100, 50});
    EXPECT_EQ(c.Remaining(), 50);
    c.pending[0] = 10;
    c.pending[1] = 12;
    EXPECT_EQ(c.Bottom(), 12);
    LineRecord line;
    c.PlaceLine(line, 3);
    EXPECT_EQ(line.x, 8);
    EXPECT_EQ(line.y, 19);
    c.Advance(2);
    EXPECT_EQ(c.used, 14);
    EXPECT_EQ(c.Remaining(), 36);
    c.MarkFull();
    EXPECT_EQ(c.Remaining(), 0);
    c.SetUsed(60);
    c.full = false;
    EXPECT_EQ(c.Remaining(), -10);
}

TEST(Indents, MarginsResolveAndNeverGoNegative) {
    BoxRecord box;
    box.leftMargin = Length::Make(2, Length::kMultiple);
    box.rightMargin = Length::Make(10, Length::kPercent);
    box.firstIndent = Length::Make(5, Length::kAbsolute);
    LineIndents in;
    in.width = 200;
    in.Set(box, false, 8, 200);
    EXPECT_EQ(in.left, 16);
    EXPECT_EQ(in.right, 20);
    EXPECT_EQ(in.Available(), 164);
    in.Set(box, true, 8, 200);
    EXPECT_EQ(in.left, 21);
    in.flags = LineIndents::kFramed;
    EXPECT_EQ(in.Available(), 155);
    in.width = 30;
    EXPECT_EQ(in.Available(), 0);
    EXPECT_EQ(in.Reset(30), 26);  // indents dropped when nothing would be left
    EXPECT_EQ(in.left, 0);
}

// A line holding text of ascent 9 and descent 3.
LineMetrics TextLine(int32_t spacing) {
    LineMetrics m;
    m.spacing = spacing;
    m.AddText(9, 3);
    m.NoteText(String(u"x"));
    return m;
}

TEST(Metrics, TextOnly) {
    LineMetrics m;
    m.AddText(9, 3);
    m.AddText(7, 4);
    m.NoteText(String(u"ab"));
    m.Compute();
    EXPECT_EQ(m.height, 13);
    EXPECT_EQ(m.baseline, 9);
}

TEST(Metrics, BlankTextIsHidden) {
    LineMetrics m;
    m.AddText(9, 3);
    m.NoteText(String(u"  \u00a0"));
    EXPECT_FALSE(m.flags & LineMetrics::kHasText);
    m.Compute();
    EXPECT_EQ(m.height, 0);
}

TEST(Metrics, TopAlignedObjectOfTwentyWithSpaceTwo) {
    LineMetrics m;
    m.AddObject(0, 20, 0, 2);
    EXPECT_EQ(m.aligned, 24);
    EXPECT_EQ(m.Placement(), 1u);
    m.Compute();
    EXPECT_EQ(m.height, 24);
    EXPECT_EQ(m.baseline, 0);
}

TEST(Metrics, BottomAndMiddleObjectsBesideText) {
    LineMetrics m = TextLine(0);
    m.AddObject(10, 30, 0, 0);
    m.Compute();
    EXPECT_EQ(m.height, 30);
    EXPECT_EQ(m.baseline, 27);
    LineMetrics mid = TextLine(0);
    mid.AddObject(9, 30, 0, 0);
    mid.Compute();
    EXPECT_EQ(mid.baseline, 9 + (30 - 12) / 2);
}

TEST(Metrics, BaselineObjectsAndAlignmentOne) {
    LineMetrics m = TextLine(0);
    m.AddObject(3, 20, 2, 1);  // 19 above, 3 below
    m.Compute();
    EXPECT_EQ(m.baseline, 19);
    EXPECT_EQ(m.height, 22);
    LineMetrics one = TextLine(0);
    one.AddObject(1, 30, 0, 0);
    one.Compute();
    // half = (30 - 3 + 9) / 2 = 18 above, 12 below.
    EXPECT_EQ(one.baseline, 18);
    EXPECT_EQ(one.height, 30);
}

TEST(Metrics, SpacingPutsTheLargerHalfAbove) {
    LineMetrics m = TextLine(1);
    m.Compute();
    EXPECT_EQ(m.height, 15);
    EXPECT_EQ(m.baseline, 11);
    LineMetrics n = TextLine(-1);
    n.Compute();
    // -12 >> 2 is -3 (arithmetic); -3 - (-3 >> 1) = -1.
    EXPECT_EQ(n.height, 9);
    EXPECT_EQ(n.baseline, 8);
}

TEST(Metrics, ExtraPixelsAndSpaceAreAdded) {
    LineMetrics m = TextLine(0);
    m.flags |= LineMetrics::kExtraAbove | LineMetrics::kExtraBelow;
    m.extraBelow = 4;
    m.Compute();
    EXPECT_EQ(m.height, 18);
    EXPECT_EQ(m.ExtraBelow(), 5);
    EXPECT_EQ(m.ExtraAbove(), 1);
}

TEST(Metrics, ResetKeepsThePlacement) {
    LineMetrics m;
    m.AddObject(10, 5, 0, 0);
    m.Reset();
    EXPECT_EQ(m.aligned, 0);
    EXPECT_EQ(m.Placement(), 2u);
}

TEST(MarkTables, FirstAndLastEntriesAreFoundAndNeighboursMissed) {
    EXPECT_TRUE(LineMarks::IsClosing(u'!'));
    EXPECT_TRUE(LineMarks::IsClosing(0xFF63));
    EXPECT_FALSE(LineMarks::IsClosing(u' '));
    EXPECT_FALSE(LineMarks::IsClosing(0xFF64));
    EXPECT_FALSE(LineMarks::IsClosing(u'"'));
    EXPECT_TRUE(LineMarks::IsClosing(0x3001));
    EXPECT_TRUE(LineMarks::IsClosing(0x3002));
    EXPECT_TRUE(LineMarks::IsClosing(0xFF0C));
    EXPECT_TRUE(LineMarks::IsOpening(u'('));
    EXPECT_TRUE(LineMarks::IsOpening(0xFF62));
    EXPECT_FALSE(LineMarks::IsOpening(u')'));
    EXPECT_FALSE(LineMarks::IsOpening(0x0027));
    const uint16_t none[1] = {5};
    EXPECT_FALSE(LineMarks::Find(none, 0, 5));
}

TEST(MarkTables, TheMarksBelow128AreTheseAndNoOthers) {
    const std::u16string closing = u"!),.:;?]}", opening = u"([{";
    for (char16_t c = 0; c < 128; ++c) {
        EXPECT_EQ(LineMarks::IsClosing(c), closing.find(c) != std::u16string::npos) << int(c);
        EXPECT_EQ(LineMarks::IsOpening(c), opening.find(c) != std::u16string::npos) << int(c);
    }
    EXPECT_TRUE(LineMarks::IsClosing(0x00BB));
    EXPECT_TRUE(LineMarks::IsOpening(0x00AB));
    EXPECT_FALSE(LineMarks::IsClosing(0x00AB));
    EXPECT_FALSE(LineMarks::IsOpening(0x0080));
}

class Ring : public ::testing::Test {
public:
    void SetUp() override {
        // The candidates must stand on text runs for the mark tests to apply.
        for (int i = 0; i < 4; ++i) {
            TextRun r;
            r.text = String(u"w");
            block.Append(r, static_cast<uint32_t>(i));
        }
    }
    BreakCandidate At(int item, char16_t first, char16_t last, bool placeholder = false) {
        BreakCandidate c;
        c.cursor.Init(&block, true);
        for (int i = 0; i < item; ++i) c.cursor.Next();
        c.first = first;
        c.last = last;
        c.placeholder = placeholder ? 1 : 0;
        return c;
    }
    BlockContents block;
    BreakRing ring;
};

TEST_F(Ring, ACommaStartPassesToThePreviousOpportunity) {
    ring.Push(At(0, u'a', u'a', true));
    ring.Push(At(1, u'b', u'b'));
    ring.Push(At(2, u',', u','));
    BreakCandidate out;
    ASSERT_TRUE(ring.ChooseBreak(out));
    EXPECT_EQ(out.cursor.position, 1);
}

TEST_F(Ring, AnOpeningMarkIsNotLeftAtTheEnd) {
    ring.Push(At(0, u'a', u'a', true));
    ring.Push(At(1, u'(', u'('));
    ring.Push(At(2, u'(', u'x'));
    BreakCandidate out;
    ASSERT_TRUE(ring.ChooseBreak(out));
    // c0 would leave "(" ending the line; c1 may begin a line after "a".
    EXPECT_EQ(out.cursor.position, 1);
}

TEST_F(Ring, WhenAllFailTheOldestThatMayBeginIsTaken) {
    ring.Push(At(0, u'a', u'('));
    ring.Push(At(1, u'b', u'('));
    ring.Push(At(2, u'c', u'('));
    ring.Push(At(3, u')', u'('));
    BreakCandidate out;
    ASSERT_TRUE(ring.ChooseBreak(out));
    EXPECT_EQ(out.cursor.position, 0);
}

TEST_F(Ring, OnlyAPlaceholderGivesNoCut) {
    ring.Push(At(0, u'a', u'a', true));
    BreakCandidate out;
    EXPECT_FALSE(ring.ChooseBreak(out));
    BreakRing empty;
    EXPECT_FALSE(empty.ChooseBreak(out));
}

// The marks are of text: a picture or a mark standing where a candidate is cut is no mark.
TEST_F(Ring, MarksCountOnlyWhereTheCandidateStandsOnText) {
    FlowMark space;
    space.type = kMarkSpace;
    block.Append(space, 4);
    // A cut before the comma's word would begin a line with it: the mark may begin one.
    ring.Push(At(0, u'a', u'a', true));
    ring.Push(At(4, u',', u'x'));
    ring.Push(At(1, u',', u'b'));
    BreakCandidate out;
    ASSERT_TRUE(ring.ChooseBreak(out));
    EXPECT_EQ(out.cursor.position, 4);
    // The word after the mark may begin a line: the mark may end the one before.
    BreakRing after;
    after.Push(At(0, u'a', u'a', true));
    after.Push(At(4, u'x', u'('));
    after.Push(At(2, u'c', u'c'));
    ASSERT_TRUE(after.ChooseBreak(out));
    EXPECT_EQ(out.cursor.position, 2);
}

TEST_F(Ring, TheRingHoldsTheNewestFour) {
    for (int i = 0; i < 6; ++i) ring.Push(At(i % 4, u'a', u'a'));
    EXPECT_EQ(ring.Count(), 4);
    ring.SetLastChar(u'z');
    EXPECT_EQ(ring.Candidate(0).last, u'z');
    EXPECT_EQ(ring.Candidate(0).cursor.position, 1);
    EXPECT_EQ(ring.Candidate(3).cursor.position, 2);
}

}  // namespace

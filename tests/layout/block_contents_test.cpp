// Block contents: the index and the per-kind arrays stay in step through append, insert,
// removal and splits; starts and ends of split blocks meet; references are released.
#include "layout/block_contents.h"

#include <gtest/gtest.h>

#include <new>
#include <string>

#include "document/markup/attribute_value.h"
#include "support/document/tag_source.h"

namespace {

TextRun MakeRun(const char16_t* s) {
    TextRun r;
    r.text = String(s);
    return r;
}

FlowMark Space(int32_t w) {
    FlowMark m;
    m.type = kMarkSpace;
    m.width = w;
    return m;
}

// "a b c" at positions 0, 1, 2, 3, 4.
void Fill(BlockContents& b) {
    ASSERT_TRUE(b.Append(MakeRun(u"a"), 0));
    ASSERT_TRUE(b.Append(Space(3), 1));
    ASSERT_TRUE(b.Append(MakeRun(u"b"), 2));
    ASSERT_TRUE(b.Append(Space(3), 3));
    ASSERT_TRUE(b.Append(MakeRun(u"c"), 4));
    b.SetEndPosition(5);
}

std::string Texts(const BlockContents& b) {
    std::string s;
    for (int32_t i = 0; i < b.KindCount(kItemTextRun); ++i)
        s += static_cast<char>(b.Run(i)->text[0]);
    return s;
}

class CountedObject : public InlineObject {
public:
    explicit CountedObject(int* alive) : alive_(alive) { ++*alive_; }
    ~CountedObject() override { --*alive_; }
    bool Draw(GraphicsContext*, const Rect&, const Rect*) override { return true; }
    bool MeasureSimple(Size& s, uint8_t& f) override {
        s = Size{10, 10};
        f = 1;
        return true;
    }

private:
    int* alive_;
};

TEST(BlockIndex, AppendKeepsKindsInStep) {
    BlockContents b;
    Fill(b);
    EXPECT_EQ(b.Count(), 5);
    EXPECT_EQ(b.KindCount(kItemTextRun), 3);
    EXPECT_EQ(b.KindCount(kItemFlowMark), 2);
    EXPECT_TRUE(b.CheckInvariants());
    EXPECT_EQ(Texts(b), "abc");
}

TEST(BlockIndex, PositionsBeyondThirtyOneBitsKeepTheFlagApart) {
    BlockContents b;
    ASSERT_TRUE(b.Append(MakeRun(u"x"), 0xFFFFFFFFu, true));
    EXPECT_FALSE(b.ItemAt(0)->HasPosition());
    uint32_t start = 0;
    EXPECT_FALSE(b.GetStart(start));  // every entry flagged, end 0
    b.SetEndPosition(9);
    EXPECT_TRUE(b.GetStart(start));
    EXPECT_EQ(start, 9u);
}

TEST(BlockIndex, InsertBeforeTheCursorKeepsOrder) {
    BlockContents b;
    Fill(b);
    BlockCursor c;
    c.Init(&b, true);
    c.Next();
    c.Next();  // on "b"
    ASSERT_TRUE(b.Insert(c, MakeRun(u"z"), 2));
    EXPECT_EQ(Texts(b), "azbc");
    EXPECT_TRUE(b.CheckInvariants());
    LineRecord line;
    line.height = 7;
    ASSERT_TRUE(b.Insert(c, line, 2, true));
    EXPECT_EQ(c.Kind(), uint32_t{kItemLine});
    EXPECT_EQ(b.Line(0)->height, 7);
    EXPECT_TRUE(b.CheckInvariants());
}

TEST(BlockIndex, RemovingARunKeepsTheOthersInOrder) {
    BlockContents b;
    Fill(b);
    BlockCursor c;
    c.Init(&b, true);
    c.Next();
    c.Next();
    b.RemoveAt(c);
    EXPECT_EQ(Texts(b), "ac");
    EXPECT_EQ(b.Count(), 4);
    EXPECT_TRUE(b.CheckInvariants());
    EXPECT_EQ(c.Kind(), uint32_t{kItemFlowMark});
}

TEST(BlockIndex, RemoveRangeDropsEveryKindBetween) {
    BlockContents b;
    Fill(b);
    BlockCursor from, to;
    from.Init(&b, true);
    from.Next();
    to = from;
    to.Next();
    to.Next();
    to.Next();  // on "c"
    b.RemoveRange(from, to);
    EXPECT_EQ(Texts(b), "ac");
    EXPECT_EQ(b.KindCount(kItemFlowMark), 0);
    EXPECT_TRUE(b.CheckInvariants());
}

TEST(BlockIndex, RemovedBoxesReleaseTheirObjects) {
    int alive = 0;
    {
        BlockContents b;
        InlineBox box;
        box.object = RefPtr<InlineObject>::Adopt(new CountedObject(&alive));
        ASSERT_TRUE(b.Append(box, 0));
        box.object.Reset();
        EXPECT_EQ(alive, 1);
        BlockContents copy;
        ASSERT_TRUE(copy.CopyFrom(b));
        BlockCursor c;
        c.Init(&b, true);
        b.RemoveAt(c);
        EXPECT_EQ(alive, 1);  // the copy still holds it
    }
    EXPECT_EQ(alive, 0);
}

// A block read to its end, then walked as the line filler walks it: a line record inserted
// before every line's items, the spaces that end lines removed. What that moves per line must
// not grow with what follows in the block (it did: every later item moved for each line).
double MovesPerLine(int32_t words) {
    BlockContents b;
    for (int32_t i = 0; i < words; ++i) {
        EXPECT_TRUE(b.Append(MakeRun(u"w"), static_cast<uint32_t>(2 * i)));
        EXPECT_TRUE(b.Append(Space(3), static_cast<uint32_t>(2 * i + 1)));
    }
    uint64_t before = b.MovedItems();
    int32_t lines = 0;
    BlockCursor c;
    c.Init(&b, true);
    while (!c.AtEnd()) {
        LineRecord line;
        EXPECT_TRUE(b.Insert(c, line, b.PositionAt(c), true));
        ++lines;
        c.Next();
        for (int32_t k = 0; k < 10 && !c.AtEnd(); ++k) c.Next();
        if (!c.AtEnd() && c.Kind() == kItemFlowMark) b.RemoveAt(c);
    }
    EXPECT_TRUE(b.CheckInvariants());
    EXPECT_EQ(b.KindCount(kItemLine), lines);
    return static_cast<double>(b.MovedItems() - before) / lines;
}

TEST(BlockIndex, LinesInsertedAlongABlockMoveAConstantEach) {
    double small = MovesPerLine(1000);
    double large = MovesPerLine(30000);
    EXPECT_LT(small, 32.0);
    EXPECT_LT(large, 32.0);
}

TEST(BlockIndex, ItemsKeepTheirAddressesWhileOthersComeAndGo) {
    BlockContents b;
    Fill(b);
    TextRun* c = b.Run(2);
    BlockCursor at;
    at.Init(&b, true);
    LineRecord line;
    ASSERT_TRUE(b.Insert(at, line, 0, true));
    at.Next();
    ASSERT_TRUE(b.Insert(at, MakeRun(u"y"), 0));
    at.Next();
    b.RemoveAt(at);  // "a"
    EXPECT_EQ(Texts(b), "ybc");
    EXPECT_EQ(b.Run(2), c);
    EXPECT_EQ(c->text[0], u'c');
}

// Cursors kept from an earlier look at a block are checked against its serial: every change of
// its items or its end moves it on, reads leave it, and no two blocks ever show the same one.
TEST(BlockSerial, EveryChangeMovesItOnAndNoTwoBlocksShareOne) {
    BlockContents b, other, split;
    EXPECT_NE(b.Serial(), other.Serial());
    Fill(b);
    ASSERT_TRUE(other.AssignFrom(b));
    EXPECT_NE(b.Serial(), other.Serial());
    BlockCursor c;
    c.Init(&b, true);
    c.Next();
    auto changes = [&](auto&& change) {
        const uint64_t before = b.Serial();
        change();
        return b.Serial() != before;
    };
    EXPECT_FALSE(changes([&] { b.PositionAt(c), b.KindCount(kItemTextRun), b.CheckInvariants(); }));
    EXPECT_TRUE(changes([&] { b.SetEndPosition(6); }));
    EXPECT_TRUE(changes([&] { b.Insert(c, Space(2), 1); }));
    EXPECT_TRUE(changes([&] { b.RemoveAt(c); }));
    EXPECT_TRUE(changes([&] { b.Append(MakeRun(u"d"), 5); }));
    EXPECT_TRUE(changes([&] { ASSERT_TRUE(b.SplitAt(c, b, split, true)); }));
    EXPECT_TRUE(changes([&] { b.MoveFrom(split); }));
    EXPECT_TRUE(changes([&] { ASSERT_TRUE(b.AssignFrom(other)); }));
    EXPECT_TRUE(changes([&] { ASSERT_TRUE(b.CopyFrom(other)); }));
    EXPECT_TRUE(changes([&] { b.Clear(); }));
    // A block made where another was freed starts from a serial of its own.
    const uint64_t was = b.Serial();
    b.~BlockContents();
    new (&b) BlockContents();
    EXPECT_NE(b.Serial(), was);
}

TEST(BlockCursors, BackUndoesNext) {
    BlockContents b;
    Fill(b);
    BlockCursor end;
    end.Init(&b, false);
    EXPECT_TRUE(end.AtEnd());
    EXPECT_EQ(end.counts[kItemTextRun], 3);
    BlockCursor c = end;
    for (int i = 0; i < 5; ++i) c.Back();
    BlockCursor start;
    start.Init(&b, true);
    EXPECT_EQ(c.position, 0);
    for (uint32_t k = 0; k < kItemKindCount; ++k) EXPECT_EQ(c.counts[k], 0);
    c.Back();  // stays at the start
    EXPECT_EQ(c.position, 0);
    EXPECT_EQ(b.PositionAt(end), 5u);
}

TEST(BlockSplit, InTheMiddleTheFirstEndsWhereTheSecondStarts) {
    BlockContents b, first, second;
    Fill(b);
    BlockCursor c;
    c.Init(&b, true);
    c.Next();
    c.Next();
    ASSERT_TRUE(b.SplitAt(c, first, second));
    EXPECT_EQ(Texts(first), "a");
    EXPECT_EQ(Texts(second), "bc");
    uint32_t start = 0;
    ASSERT_TRUE(second.GetStart(start));
    EXPECT_EQ(first.EndPosition(), start);
    EXPECT_EQ(start, 2u);
    EXPECT_EQ(second.EndPosition(), 5u);
    EXPECT_TRUE(first.CheckInvariants());
    EXPECT_TRUE(second.CheckInvariants());
}

TEST(BlockSplit, IntoItselfAsTheSecond) {
    BlockContents b, first;
    Fill(b);
    BlockCursor c;
    c.Init(&b, true);
    c.Next();
    c.Next();
    c.Next();
    ASSERT_TRUE(b.SplitAt(c, first, b));
    EXPECT_EQ(Texts(first), "ab");
    EXPECT_EQ(Texts(b), "c");
    EXPECT_EQ(first.EndPosition(), 3u);
}

TEST(BlockSplit, AtTheStartTheFirstIsEmptyAndEndsAtTheStart) {
    BlockContents b, second;
    ASSERT_TRUE(b.Append(MakeRun(u"a"), 40));
    b.SetEndPosition(41);
    BlockCursor c;
    c.Init(&b, true);
    // The source is the first: its start is read before it is emptied.
    ASSERT_TRUE(b.SplitAt(c, b, second));
    EXPECT_EQ(b.Count(), 0);
    EXPECT_EQ(b.EndPosition(), 40u);
    EXPECT_EQ(Texts(second), "a");
}

TEST(BlockSplit, AtTheEndTheSecondIsUntouched) {
    BlockContents b, first, second;
    Fill(b);
    ASSERT_TRUE(second.Append(MakeRun(u"q"), 99));
    BlockCursor c;
    c.Init(&b, false);
    ASSERT_TRUE(b.SplitAt(c, first, second));
    EXPECT_EQ(Texts(first), "abc");
    EXPECT_EQ(first.EndPosition(), 5u);
    EXPECT_EQ(Texts(second), "q");
}

// A block filled page after page in its own storage: what it held before never shows through.
TEST(BlockReuse, AssignReplacesALargerBlockAndReleasesWhatItHeld) {
    int alive = 0;
    BlockContents source, reused;
    Fill(source);
    source.SetContinuation(7);
    {
        InlineBox box;
        box.object = RefPtr<InlineObject>::Adopt(new CountedObject(&alive));
        for (int32_t i = 0; i < 40; ++i) {
            ASSERT_TRUE(reused.Append(MakeRun(u"z"), 100 + i));
            ASSERT_TRUE(reused.Append(box, 200 + i));
            ASSERT_TRUE(reused.Append(LineRecord{}, 300 + i));
        }
    }
    reused.SetEndPosition(999);
    reused.SetContinuation(3);
    EXPECT_EQ(alive, 1);
    ASSERT_TRUE(reused.AssignFrom(source));
    EXPECT_EQ(alive, 0);
    EXPECT_EQ(Texts(reused), "abc");
    EXPECT_EQ(reused.Count(), 5);
    EXPECT_EQ(reused.KindCount(kItemLine), 0);
    EXPECT_EQ(reused.EndPosition(), 5u);
    EXPECT_EQ(reused.Continuation(), 7u);
    EXPECT_EQ(reused.ItemAt(2)->Position(), 2u);
    EXPECT_TRUE(reused.CheckInvariants());
    EXPECT_EQ(Texts(source), "abc");  // the source is only read
}

TEST(ElementAlignment, KeywordsInAnyCase) {
    struct Case {
        std::u16string align;
        uint32_t alignment;
        bool flag;
    } cases[] = {{u"right", 1, true}, {u"LEFT", 1, true}, {u"absmiddle", 9, true},
                 {u"char", 3, false}, {u"Center", 3, false}, {u"top", 0, true}};
    for (const Case& c : cases) {
        TagSource tag(50, {{kAttrAlign, c.align}});
        InlineBox box;
        GetElementAlignment(box, tag);
        EXPECT_EQ(box.alignment, c.alignment) << std::string(c.align.begin(), c.align.end());
        EXPECT_EQ((box.flags & InlineBox::kAlignmentGiven) != 0, c.flag);
    }
    TagSource none(50, {});
    InlineBox box;
    GetElementAlignment(box, none);
    EXPECT_EQ(box.alignment, 3u);
    EXPECT_TRUE(box.flags & InlineBox::kAlignmentGiven);
}

TEST(MarkBoxes, ColourZeroReadsAsRed) {
    EXPECT_EQ(MarkBox::Colour(0), 0x0000FFu);
    EXPECT_EQ(MarkBox::Colour(1), 0x0000FFu);
    EXPECT_EQ(MarkBox::Colour(6), 0x00FFFFu);
    EXPECT_EQ(MarkBox::Colour(15), 0u);
}

TEST(MarkBoxes, CollectMergesOnlyZigZagsOfOneColumn) {
    MarkBox open;
    MarkBox next{{10, 0, 20, 5}, 1, 0x21};
    EXPECT_TRUE(MarkBox::Collect(open, next));  // open was empty
    EXPECT_EQ(open.rect, (Rect{10, 0, 20, 5}));
    MarkBox below{{10, 5, 20, 5}, 1, 0x21};
    EXPECT_TRUE(MarkBox::Collect(open, below));
    EXPECT_EQ(open.rect, (Rect{10, 0, 20, 10}));
    MarkBox other{{0, 20, 5, 5}, 2, 0x21};
    EXPECT_FALSE(MarkBox::Collect(open, other));
    EXPECT_EQ(open.lineKey, 2u);  // swapped: the caller draws the old one
    EXPECT_EQ(other.lineKey, 1u);
    MarkBox frame{{0, 0, 1, 1}, 3, 0x01};
    EXPECT_FALSE(MarkBox::Collect(open, frame));
    EXPECT_EQ(open.lineKey, 2u);
}

}  // namespace

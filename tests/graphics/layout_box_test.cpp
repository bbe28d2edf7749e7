// Layout boxes: rows and columns with margin and spacing, cross-axis alignment, nesting, and
// measuring again without growth.
#include <gtest/gtest.h>

#include "graphics/widgets/layout_box.h"

namespace {

TEST(LayoutBox, RowMeasuresEntriesSpacingAndMargins) {
    Rect a{0, 0, 10, 4}, b{0, 0, 20, 6};
    LayoutItem ia(&a), ib(&b);
    LayoutBox row(2, 3, false);
    ASSERT_TRUE(row.Add(&ia, LayoutBox::kCentre));
    ASSERT_TRUE(row.Add(&ib, LayoutBox::kCentre));
    row.Measure();
    EXPECT_EQ(*row.GetSize(), (Size{37, 10}));
    row.Place(Point{100, 50});
    EXPECT_EQ(a.x, 102);
    EXPECT_EQ(a.y, 53);  // (10 - 4) / 2
    EXPECT_EQ(b.x, 115);  // 102 + 10 + 3
    EXPECT_EQ(b.y, 52);
}

TEST(LayoutBox, MeasuringTwiceGivesTheSameSize) {
    Rect a{0, 0, 10, 4};
    LayoutItem ia(&a);
    LayoutBox row(2, 3, false);
    row.Add(&ia, LayoutBox::kStart);
    row.Measure();
    Size first = *row.GetSize();
    row.Measure();
    EXPECT_EQ(*row.GetSize(), first);
    EXPECT_EQ(first, (Size{14, 8}));
}

TEST(LayoutBox, AlignmentsStartAndEndKeepTheMargin) {
    Rect a{0, 0, 10, 4}, b{0, 0, 10, 20}, c{0, 0, 10, 4};
    LayoutItem ia(&a), ib(&b), ic(&c);
    LayoutBox row(2, 0, false);
    row.Add(&ia, LayoutBox::kStart);
    row.Add(&ib, LayoutBox::kCentre);
    row.Add(&ic, LayoutBox::kEnd);
    row.Measure();
    row.Place(Point{0, 0});
    EXPECT_EQ(a.y, 2);
    EXPECT_EQ(c.y, 24 - 4 - 2);
    EXPECT_EQ(c.y + c.height, 24 - 2);
}

TEST(LayoutBox, OtherAlignmentsFollowThePreviousEntryAndTheFirstStarts) {
    Rect a{0, 0, 10, 4}, b{0, 0, 10, 8}, c{0, 0, 10, 2};
    LayoutItem ia(&a), ib(&b), ic(&c);
    LayoutBox row(1, 0, false);
    row.Add(&ia, 7);
    row.Add(&ib, LayoutBox::kEnd);
    row.Add(&ic, 9);
    row.Measure();
    row.Place(Point{0, 0});
    EXPECT_EQ(a.y, 1);
    EXPECT_EQ(b.y, 1);  // 10 - 8 - 1
    EXPECT_EQ(c.y, b.y);
}

TEST(LayoutBox, BoxesNest) {
    Rect title{0, 0, 100, 12}, bar{0, 0, 60, 6}, time{0, 0, 30, 12};
    LayoutItem it(&title), ib(&bar), iz(&time);
    LayoutBox outer(4, 5, true);
    LayoutBox row(0, 5, false);
    outer.Add(&it, LayoutBox::kStart);
    outer.Add(&row, LayoutBox::kCentre);
    row.Add(&ib, LayoutBox::kCentre);
    row.Add(&iz, LayoutBox::kCentre);
    outer.Measure();
    EXPECT_EQ(*row.GetSize(), (Size{95, 12}));
    EXPECT_EQ(*outer.GetSize(), (Size{108, 4 + 12 + 5 + 12 + 4}));
    outer.Place(Point{0, 0});
    EXPECT_EQ(*row.GetPosition(), (Point{(108 - 95) / 2, 21}));
    EXPECT_EQ(bar.x, 6);
    EXPECT_EQ(bar.y, 21 + 3);
    EXPECT_EQ(time.x, 6 + 60 + 5);
}

TEST(LayoutBox, EmptyBoxMeasuresItsMarginsNeverNegative) {
    LayoutBox empty(3, 10, false);
    empty.Measure();
    EXPECT_EQ(*empty.GetSize(), (Size{6, 6}));
    LayoutBox none(0, 10, true);
    none.Measure();
    EXPECT_EQ(*none.GetSize(), (Size{0, 0}));
    none.Place(Point{5, 5});
    EXPECT_EQ(*none.GetPosition(), (Point{5, 5}));
}

}  // namespace

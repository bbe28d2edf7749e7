// Scrollable tables: limits of a step, repeated key scrolls, selection, the view and its arrow
// columns, the content offset, and the arrow marks' script calls.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "layout/table_scroll.h"

using namespace TableScroll;

namespace {

TableScrollEntry Entry(uint32_t id, int32_t largestX, int32_t largestY) {
    TableScrollEntry e;
    e.position = id;
    e.largestX = largestX;
    e.largestY = largestY;
    return e;
}

Geometry Icons() {
    Geometry g;
    g.haveIcons = true;
    g.leftIcon = Size{8, 10};
    g.rightIcon = Size{8, 10};
    g.leftMargin = 2;
    g.rightMargin = 2;
    return g;
}

}  // namespace

TEST(TableScrollMoves, StepsStayWithinZeroAndTheLargestOffset) {
    TableScrollEntry e = Entry(5, 100, -1);
    Point m = ComputeScroll(e, Point{40, 40}, false);
    EXPECT_EQ(m.x, 40);
    EXPECT_EQ(m.y, 0);  // a negative largest: that axis never moves
    e.x = 80;
    m = ComputeScroll(e, Point{40, 0}, false);
    EXPECT_EQ(m.x, 20);
    e.x = 0;
    m = ComputeScroll(e, Point{-40, 0}, false);
    EXPECT_EQ(m.x, 0);
    e.savedX = 60;
    m = ComputeScroll(e, Point{-40, 0}, true);
    EXPECT_EQ(m.x, 20);  // from the saved offsets
}

// A page turn's last view of a tall table may lie below the largest offset (its last lines at
// the top, room below them): a key scroll down from there stays, one up moves up from there.
TEST(TableScrollMoves, AnOffsetPastTheLargestIsNotPulledBackByAStepOn) {
    TableScrollEntry e = Entry(5, -1, 300);
    e.y = 350;
    EXPECT_EQ(ComputeScroll(e, Point{0, 40}, false).y, 0);
    EXPECT_EQ(ComputeScroll(e, Point{0, -40}, false).y, -40);
    // Drawing keeps such an offset within the content, and one of a table that fits at 0.
    EXPECT_EQ(VerticalOffsetWithin(350, 500, 200), 350);
    EXPECT_EQ(VerticalOffsetWithin(900, 500, 200), 499);
    EXPECT_EQ(VerticalOffsetWithin(-5, 500, 200), 0);
    EXPECT_EQ(VerticalOffsetWithin(9, 200, 200), 0);
}

TEST(TableScrollMoves, RepeatedKeyScrollsAccumulate) {
    std::vector<TableScrollEntry> tables{Entry(5, 200, -1)};
    for (int i = 0; i < 3; ++i) {
        ResetTableCells(tables);
        EXPECT_TRUE(ScrollTables(tables, Point{kStep, 0}, kSelectedTables));
    }
    EXPECT_EQ(tables[0].x, 120);
    EXPECT_EQ(tables[0].savedX, 80);
    tables[0].x = 0;
    std::vector<uint32_t> moved;
    EXPECT_FALSE(ScrollTables(tables, Point{-kStep, 0}, kSelectedTables, &moved));
    EXPECT_TRUE(moved.empty());  // at 0 going left: nothing moves, nothing to redraw
}

TEST(TableScrollMoves, TheSelectedTableMovesAloneElseEveryOne) {
    std::vector<TableScrollEntry> tables{Entry(5, 200, -1), Entry(9, 200, -1)};
    std::vector<uint32_t> moved;
    EXPECT_TRUE(ScrollTables(tables, Point{kStep, 0}, kSelectedTables, &moved));
    EXPECT_EQ(moved, (std::vector<uint32_t>{5, 9}));
    std::vector<uint32_t> changed;
    SelectTable(tables, 9, changed);
    EXPECT_EQ(changed, (std::vector<uint32_t>{9}));
    moved.clear();
    EXPECT_TRUE(ScrollTables(tables, Point{kStep, 0}, kSelectedTables, &moved));
    EXPECT_EQ(moved, (std::vector<uint32_t>{9}));
    EXPECT_EQ(tables[0].x, 40);
    EXPECT_EQ(tables[1].x, 80);
    moved.clear();
    EXPECT_TRUE(ScrollTables(tables, Point{kStep, 0}, 5, &moved));
    EXPECT_EQ(moved, (std::vector<uint32_t>{5}));
}

TEST(TableScrollMoves, SelectingAllFollowsTheFirstAndNoTablesIsNothing) {
    std::vector<TableScrollEntry> none;
    std::vector<uint32_t> changed{1};
    SelectTable(none, kAllTables, changed);
    EXPECT_TRUE(changed.empty());
    std::vector<TableScrollEntry> tables{Entry(5, 0, 0), Entry(9, 0, 0)};
    tables[1].selected = 1;
    SelectTable(tables, kAllTables, changed);
    EXPECT_EQ(changed, (std::vector<uint32_t>{5}));
    EXPECT_TRUE(tables[0].selected && tables[1].selected);
    SelectTable(tables, kAllTables, changed);
    EXPECT_EQ(changed.size(), 2u);
    EXPECT_FALSE(tables[0].selected || tables[1].selected);
    SelectTable(tables, 77, changed);
    EXPECT_TRUE(changed.empty());
}

TEST(TableScrollMoves, ExtentsGrowOnlyWhenAsked) {
    TableScrollEntry e = Entry(1, 50, 50);
    SetTableExtent(e, Size{30, 80}, true);
    EXPECT_EQ(e.largestX, 50);
    EXPECT_EQ(e.largestY, 80);
    SetTableExtent(e, Size{30, -5}, false);
    EXPECT_EQ(e.largestX, 30);
    EXPECT_EQ(e.largestY, -5);
}

TEST(TableScrollGeometry, TheViewLeavesRoomForTheArrowsButNeverGrows) {
    Rect view;
    Geometry none;
    EXPECT_FALSE(GetTableViewRect(none, Rect{0, 0, 100, 50}, view));
    Geometry g = Icons();
    ASSERT_TRUE(GetTableViewRect(g, Rect{10, 20, 100, 50}, view));
    EXPECT_EQ(view.x, 10 + 8);
    EXPECT_EQ(view.width, 100 - 8 - 8);
    g.rightMargin = 30;  // wide margins: no room is taken, and none is added
    g.leftMargin = 30;
    g.columns = 2;
    ASSERT_TRUE(GetTableViewRect(g, Rect{10, 20, 100, 50}, view));
    EXPECT_EQ(view.x, 10);
    EXPECT_EQ(view.width, 100);
    Rect v, left, area, right;
    g = Icons();
    ASSERT_TRUE(GetTableScrollGeometry(g, Rect{0, 0, 100, 3}, v, left, area, right));
    EXPECT_EQ(left.height, kMinArrowHeight);
    EXPECT_GE(left.width, g.leftIcon.width + 2);
    EXPECT_EQ(right.x, v.x + v.width);
}

TEST(TableScrollGeometry, ContentOffsetFollowsTheScroll) {
    Geometry g = Icons();
    std::vector<TableScrollEntry> tables{Entry(5, 200, 0)};
    tables[0].x = 40;
    Rect view;
    Point offset;
    ASSERT_TRUE(GetTableContentOffset(g, tables, Rect{10, 20, 100, 50}, 5, view, offset));
    EXPECT_EQ(offset.x, 8 - 40);
    EXPECT_EQ(offset.y, 0);
    ASSERT_TRUE(GetTableContentOffset(g, tables, Rect{10, 20, 100, 50}, 6, view, offset));
    EXPECT_EQ(offset.x, 8);
}

TEST(TableScrollGeometry, IconColumnsHoldAtMostThreeOrOneCentred) {
    std::vector<int32_t> tops;
    IconColumnPlaces(Rect{0, 0, 10, 100}, 10, kMaxIcons, tops);
    EXPECT_EQ(tops.size(), 3u);
    IconColumnPlaces(Rect{0, 0, 10, 25}, 10, kMaxIcons, tops);
    EXPECT_EQ(tops.size(), 2u);
    IconColumnPlaces(Rect{0, 0, 10, 6}, 10, kMaxIcons, tops);
    ASSERT_EQ(tops.size(), 1u);
    EXPECT_EQ(tops[0], -2);  // centred on a column too low for it
    IconColumnPlaces(Rect{0, 0, 10, 100}, 0, kMaxIcons, tops);
    EXPECT_TRUE(tops.empty());  // an icon without height: nothing, no division
}

TEST(TableScrollGeometry, ArrowsShowWhereMoreLies) {
    TableScrollEntry e = Entry(1, 80, -1);
    bool left = true, right = false;
    ArrowsShown(e, left, right);
    EXPECT_FALSE(left);
    EXPECT_TRUE(right);
    e.x = 80;
    ArrowsShown(e, left, right);
    EXPECT_TRUE(left);
    EXPECT_FALSE(right);
}

TEST(TableScrollMarks, ScriptCallsOfTheArrows) {
    String s;
    MoveTableCall(1234, 0, s);
    EXPECT_EQ(s, String(u"move_table(1234)"));
    MoveTableCall(1234, -kStep, s);
    EXPECT_EQ(s, String(u"move_table(1234,-40)"));
    MoveTableCall(1234, kStep, s);
    EXPECT_EQ(s, String(u"move_table(1234,40)"));
}

TEST(TableScrollMarks, ATapFindsTheScrollableTableUnderIt) {
    BlockContents block;
    TableRecord t;
    t.box = Rect{10, 20, 100, 50};
    ASSERT_TRUE(block.Append(t, 300));
    std::vector<TableScrollEntry> tables{Entry(300, 100, -1)};
    uint32_t id = 0;
    bool found = false;
    EXPECT_FALSE(TableAt(Icons(), block, tables, Point{50, 40}, id, found));
    EXPECT_TRUE(found);
    EXPECT_EQ(id, 300u);
    tables[0].selected = 1;
    EXPECT_TRUE(TableAt(Icons(), block, tables, Point{50, 40}, id, found));
    EXPECT_FALSE(TableAt(Icons(), block, tables, Point{5, 40}, id, found));
    EXPECT_FALSE(found);
}

TEST(TableScrollGeometry, StripsUncoveredByABlitLieWhereTheContentCameFrom) {
    std::vector<Rect> strips;
    Rect view{10, 20, 100, 50};
    UncoveredStrips(view, Point{40, 0}, strips);
    ASSERT_EQ(strips.size(), 1u);
    EXPECT_EQ(strips[0].x, 70);
    EXPECT_EQ(strips[0].width, 40);
    EXPECT_EQ(strips[0].height, 50);
    UncoveredStrips(view, Point{-40, 40}, strips);
    ASSERT_EQ(strips.size(), 2u);
    EXPECT_EQ(strips[0].x, 10);
    EXPECT_EQ(strips[1].y, 30);  // from the bottom: 20 + 50 - 40
    EXPECT_EQ(strips[1].height, 40);
    UncoveredStrips(view, Point{500, 0}, strips);
    ASSERT_EQ(strips.size(), 1u);
    EXPECT_EQ(strips[0].width, 100);  // never wider than the view
    UncoveredStrips(view, Point{0, 0}, strips);
    EXPECT_TRUE(strips.empty());
}

TEST(TableScrollGeometry, OnlyALineTheViewsTopOrFootCutsIsCut) {
    const Rect view{10, 100, 200, 300};  // rows 100 .. 399
    Rect rest;
    EXPECT_FALSE(LineCutByView(view, 100, 20, rest));  // its first line
    EXPECT_FALSE(LineCutByView(view, 380, 20, rest));  // its last
    EXPECT_FALSE(LineCutByView(view, 400, 20, rest));  // below it
    EXPECT_FALSE(LineCutByView(view, 80, 20, rest));   // above it
    EXPECT_FALSE(LineCutByView(view, 90, 320, rest));  // taller than the view
    ASSERT_TRUE(LineCutByView(view, 390, 20, rest));   // at its foot: the rows above it show
    EXPECT_EQ(rest.y, 100);
    EXPECT_EQ(rest.height, 290);
    EXPECT_EQ(rest.x, 10);
    EXPECT_EQ(rest.width, 200);
    ASSERT_TRUE(LineCutByView(view, 95, 20, rest));  // at its top: the rows below it show
    EXPECT_EQ(rest.y, 115);
    EXPECT_EQ(rest.height, 285);
}

TEST(TableScrollGeometry, TheArrowIconsGiveTheScrollerItsSizes) {
    TableIcons none;
    Geometry g = Icons();
    none.Describe(g);
    EXPECT_FALSE(g.haveIcons);  // not loaded: no scroller
    Rect view;
    EXPECT_FALSE(GetTableViewRect(g, Rect{0, 0, 100, 50}, view));
    TableIcons icons;
    ASSERT_TRUE(icons.Load(IconHost{nullptr, 96}));
    ASSERT_NE(icons.Left(), nullptr);
    icons.Describe(g);
    EXPECT_TRUE(g.haveIcons);
    EXPECT_GT(g.leftIcon.width, 0);
    EXPECT_GT(g.rightIcon.height, 0);
    EXPECT_TRUE(GetTableViewRect(g, Rect{0, 0, 100, 50}, view));
}

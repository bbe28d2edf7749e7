// The views PageDown shows of a table larger than its room: across it column by column, each
// read down before the next, and back over the same views.
#include "layout/table_views.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using TableViews::Frame;
using TableViews::Line;
using TableViews::Word;

// A menu column [0, 100) of 10 lines beside a body column [110, 200) of 30 lines, 20 high each.
std::vector<Line> MenuAndBody() {
    std::vector<Line> lines;
    for (int i = 0; i < 10; ++i) lines.push_back(Line{i * 20, i * 20 + 20, {Word{4, 60, {0}}}, {}});
    for (int i = 0; i < 30; ++i)
        lines.push_back(
            Line{i * 20, i * 20 + 20, {Word{114, 150, {110}}, Word{154, 196, {110}}}, {}});
    return lines;
}

TEST(TableViews, ViewsAcrossStartAtTheCellWhoseWordsDidNotShowWhole) {
    // A view 120 wide shows the menu and the body's first words; the body comes next, from
    // its cell's left edge.
    const Frame f{120, 100, 80, 500};
    EXPECT_EQ(TableViews::ColumnStops(MenuAndBody(), f), (std::vector<int32_t>{0, 80}));
    // A table that fits across has one view across.
    EXPECT_EQ(TableViews::ColumnStops(MenuAndBody(), Frame{200, 100, -1, 500}),
              (std::vector<int32_t>{0}));
    // Inside a cell wider than the view the next view starts at the first word cut.
    std::vector<Line> wide{
        Line{0, 20, {Word{0, 50, {0}}, Word{60, 110, {0}}, Word{120, 170, {0}}}, {}}};
    EXPECT_EQ(TableViews::ColumnStops(wide, Frame{100, 100, 70, -1}),
              (std::vector<int32_t>{0, 60, 70}));
    // A word cut at the side of the first column, which the view can hold whole: the first view
    // slides by the few pixels it overhangs, and the next view is the column beside it.
    std::vector<Line> overhang{Line{0, 20, {Word{10, 125, {0, 8}}, Word{200, 260, {0, 200}}}, {}}};
    EXPECT_EQ(TableViews::ColumnStops(overhang, Frame{120, 100, 140, -1}),
              (std::vector<int32_t>{5, 140}));
    // Going on inside such a column (a line of code wider than the view), the next view starts
    // at the word cut at the side, so that it shows whole once.
    std::vector<Line> code{
        Line{0, 20, {Word{10, 150, {0, 2}}, Word{160, 250, {0, 2}}, Word{260, 300, {0, 2}}}, {}}};
    EXPECT_EQ(TableViews::ColumnStops(code, Frame{200, 100, 200, -1}),
              (std::vector<int32_t>{0, 160}));
}

TEST(TableViews, AViewAcrossTheNextOneShowsAllOfIsNoStepOfItsOwn) {
    // The body's cell starts at 210 and its words a padding of 7 further on; the line of its
    // longest word is cut by the view at the cell's edge. The body is read from its words, not
    // from its edge and then again 7 pixels on.
    std::vector<Line> lines{Line{0, 20, {Word{10, 60, {0}}, Word{217, 411, {0, 210}}}, {}},
                            Line{20, 40, {Word{10, 60, {0}}, Word{217, 300, {0, 210}}}, {}}};
    EXPECT_EQ(TableViews::ColumnStops(lines, Frame{200, 100, 222, -1}),
              (std::vector<int32_t>{0, 217}));
    // A word between the edge and the words: the column is a pixel wider than the view, and
    // the view slides by that pixel to show all of it, rather than read it at the edge and
    // again from its words.
    lines[1].words.push_back(Word{211, 215, {0, 210}});
    EXPECT_EQ(TableViews::ColumnStops(lines, Frame{200, 100, 222, -1}),
              (std::vector<int32_t>{0, 211}));
    // The first view too: a table's one column a pixel wider than the view is one view, from
    // its words on.
    const std::vector<Line> inset{Line{0, 20, {Word{7, 201, {0}}}, {}}};
    EXPECT_EQ(TableViews::ColumnStops(inset, Frame{200, 100, 20, -1}), (std::vector<int32_t>{7}));
}

TEST(TableViews, AFirstColumnAFewPixelsWiderThanTheViewIsFittedNotCut) {
    // A page's menu column [0, 208) with its lines' last words reaching 204 beside a body column
    // from 210, in a view 200 wide: the first view slides by 4 so that every menu word shows
    // whole, and the body is read from its own edge, not after a second strip of the menu.
    std::vector<Line> lines;
    for (int i = 0; i < 8; ++i) {
        const std::vector<Word> words{Word{26, 120, {0, 7}}, Word{130, i % 2 ? 204 : 180, {0, 7}}};
        lines.push_back(Line{i * 20, i * 20 + 20, words, {}});
    }
    // The search field above them, 192 wide.
    lines.front().objects.push_back(Word{11, 203, {0, 7}});
    for (int i = 0; i < 20; ++i)
        lines.push_back(
            Line{i * 20, i * 20 + 20, {Word{216, 300, {0, 210}}, Word{306, 404, {0, 210}}}, {}});
    const Frame f{200, 100, 220, 300};
    EXPECT_EQ(TableViews::ColumnStops(lines, f), (std::vector<int32_t>{4, 210}));
    // Every menu word is read whole in the first view, and only there.
    const std::vector<Point> views = TableViews::ViewSequence(lines, f);
    ASSERT_FALSE(views.empty());
    EXPECT_EQ(views.front(), (Point{4, 0}));
    for (int i = 0; i < 8; ++i)
        EXPECT_TRUE(TableViews::WordShows(130, i % 2 ? 204 : 180, views.front().x, f.width));
}

TEST(TableViews, TheLastViewGoesOnToTheRightEdgeWhereItKeepsItsWords) {
    // Columns from 0 and 150, a view 200 wide; the table's right edge lies 30 pixels past the
    // last words (the insets of the tables around it). The last view reaches it: no arrow says
    // more lies to the right.
    const std::vector<Line> lines{
        Line{0, 20, {Word{4, 140, {0, 2}}, Word{154, 290, {0, 150}}}, {}}};
    EXPECT_EQ(TableViews::ColumnStops(lines, Frame{200, 100, 120, -1}),
              (std::vector<int32_t>{0, 120}));
    // Where reaching it would cut the last column's first word, the view stays at the column.
    EXPECT_EQ(TableViews::ColumnStops(lines, Frame{200, 100, 160, -1}),
              (std::vector<int32_t>{0, 150}));
}

TEST(TableViews, EachColumnIsReadDownBeforeTheNextAndPagingBackRetracesIt) {
    const Frame f{100, 100, 100, 500};
    const std::vector<Point> views = TableViews::ViewSequence(MenuAndBody(), f);
    // The menu (200 high) in two views, then the body (600 high) in six, from its top.
    const std::vector<Point> expected{{0, 0},     {0, 100},   {100, 0},   {100, 100},
                                      {100, 200}, {100, 300}, {100, 400}, {100, 500}};
    EXPECT_EQ(views, expected);
    Point at = views.front(), to;
    for (size_t k = 1; k < views.size(); ++k) {
        ASSERT_TRUE(TableViews::StepView(views, at, 1, to));
        EXPECT_EQ(to, views[k]);
        at = to;
    }
    EXPECT_FALSE(TableViews::StepView(views, at, 1, to));
    for (size_t k = views.size() - 1; k > 0; --k) {
        ASSERT_TRUE(TableViews::StepView(views, at, -1, to));
        EXPECT_EQ(to, views[k - 1]);
        at = to;
    }
    EXPECT_FALSE(TableViews::StepView(views, at, -1, to));
    // A table scrolled by hand steps on to the nearest view on that side.
    ASSERT_TRUE(TableViews::StepView(views, Point{40, 0}, 1, to));
    EXPECT_EQ(to, (Point{100, 0}));
    ASSERT_TRUE(TableViews::StepView(views, Point{40, 0}, -1, to));
    EXPECT_EQ(to, (Point{0, 100}));
}

TEST(TableViews, ALineOfAControlAloneIsAStopDownButNoViewAcross) {
    // Under the menu a line holding only a search field wider than the view, reaching into
    // the body's column.
    std::vector<Line> lines = MenuAndBody();
    lines.push_back(Line{200, 260, {}, {Word{4, 130, {0}}}});
    const Frame f{100, 100, 100, 500};
    EXPECT_EQ(TableViews::ColumnStops(lines, f), (std::vector<int32_t>{0, 100}));
    // The menu's views go down to the field's line (it was passed over), and the field is the
    // menu's: the body is read as before.
    const std::vector<Point> expected{{0, 0},     {0, 100},   {0, 200},   {100, 0},  {100, 100},
                                      {100, 200}, {100, 300}, {100, 400}, {100, 500}};
    EXPECT_EQ(TableViews::ViewSequence(lines, f), expected);
}

TEST(TableViews, TheViewReadingAWordIsTheOneItsColumnAndLineAreReadIn) {
    const Frame f{100, 100, 100, 500};
    const std::vector<Line> lines = MenuAndBody();
    const std::vector<Point> views = TableViews::ViewSequence(lines, f);
    size_t view = 0;
    // The body's word on its line 25 (top 500): the body's last view.
    ASSERT_TRUE(TableViews::ViewReading(lines, f, views, Word{154, 196, {110}}, 500, view));
    EXPECT_EQ(views[view], (Point{100, 500}));
    // On its line 7 (top 140): the view from 100 down.
    ASSERT_TRUE(TableViews::ViewReading(lines, f, views, Word{114, 150, {110}}, 140, view));
    EXPECT_EQ(views[view], (Point{100, 100}));
    // The menu's word on its line 5 (top 100).
    ASSERT_TRUE(TableViews::ViewReading(lines, f, views, Word{4, 60, {0}}, 100, view));
    EXPECT_EQ(views[view], (Point{0, 100}));
}

TEST(TableViews, ARowOfThousandsOfCellsIsReadCellByCellAcross) {
    // One row of 32,000 cells, each a word 40 wide in a cell 50 wide: every word shows whole
    // in exactly one view across, in order, and no view is left out or taken twice.
    constexpr int kCells = 32000;
    std::vector<Line> lines(1, Line{0, 20, {}, {}});
    for (int i = 0; i < kCells; ++i)
        lines[0].words.push_back(Word{i * 50 + 5, i * 50 + 45, {0, i * 50}});
    const Frame f{200, 20, kCells * 50 - 200, -1};
    const std::vector<Point> views = TableViews::ViewSequence(lines, f);
    ASSERT_GT(views.size(), size_t{kCells / 4} - 1);
    std::vector<int> seen(kCells, 0);
    int32_t before = -1;
    for (const Point& v : views) {
        EXPECT_GT(v.x, before);
        before = v.x;
        for (int i = v.x / 50; i < kCells && i * 50 < v.x + 200; ++i)
            if (TableViews::WordShows(i * 50 + 5, i * 50 + 45, v.x, 200)) ++seen[i];
    }
    for (int i = 0; i < kCells; ++i) ASSERT_GE(seen[i], 1) << "cell " << i;
    // The last view reaches the row's right edge.
    EXPECT_EQ(views.back().x, f.largestX);
}

TEST(TableViews, OnlyWholeWordsShowUnlessAWordIsWiderThanTheView) {
    EXPECT_TRUE(TableViews::WordShows(10, 50, 10, 40));
    EXPECT_FALSE(TableViews::WordShows(9, 40, 10, 40));
    EXPECT_FALSE(TableViews::WordShows(20, 51, 10, 40));
    EXPECT_TRUE(TableViews::WordShows(0, 100, 10, 40));
    EXPECT_FALSE(TableViews::WordShows(0, 100, 100, 40));
}

}  // namespace

// Column widths: the share-out of a table's width, the grid of spans, the column pass with
// spanning cells, and the hostile spans and widths that must not break it.
#include "layout/table_widths.h"

#include <gtest/gtest.h>

#include <vector>

#include "document/markup/length.h"

namespace {

TableSizeArray Of(std::vector<uint32_t> v) {
    TableSizeArray a;
    for (uint32_t x : v) a.Append(x);
    return a;
}

std::vector<int32_t> Values(const TableSizeArray& a) {
    std::vector<int32_t> v;
    for (int32_t i = 0; i < a.Count(); ++i) v.push_back(static_cast<int32_t>(a.Get(i)));
    return v;
}

constexpr uint32_t A = TableSizeArray::kAuto;

TEST(Distribution, TotalEqualToTheMinimumsGivesTheMinimums) {
    TableSizeArray out;
    ASSERT_TRUE(DistributeColumnWidths(60, Of({10, 20, 30}), Of({A | 50, 90, A | 70}), out, 3));
    EXPECT_EQ(Values(out), (std::vector<int32_t>{10, 20, 30}));
}

TEST(Distribution, ThreeFixedFiftiesInTwoHundred) {
    TableSizeArray out;
    ASSERT_TRUE(DistributeColumnWidths(200, Of({0, 0, 0}), Of({50, 50, 50}), out, 3));
    EXPECT_EQ(Values(out), (std::vector<int32_t>{66, 66, 68}));
}

TEST(Distribution, FixedHundredAndAutoFiftyInThreeHundred) {
    TableSizeArray out;
    ASSERT_TRUE(DistributeColumnWidths(300, Of({0, 10}), Of({100, A | 50}), out, 2));
    EXPECT_EQ(Values(out), (std::vector<int32_t>{100, 200}));
}

TEST(Distribution, AFixedColumnKeepsItsMinimum) {
    TableSizeArray out;
    ASSERT_TRUE(DistributeColumnWidths(300, Of({200, 10}), Of({50, A | 50}), out, 2));
    EXPECT_GE(Values(out)[0], 200);
    EXPECT_EQ(Values(out)[0] + Values(out)[1], 300);
}

TEST(Distribution, FixedWidthsOverTheTotalLeaveNoColumnNegative) {
    TableSizeArray out;
    ASSERT_TRUE(DistributeColumnWidths(100, Of({5, 5, 5}), Of({80, 80, A | 40}), out, 3));
    for (int32_t v : Values(out)) EXPECT_GE(v, 0);
    EXPECT_EQ(Values(out)[2], 5);  // the undecided auto column takes its minimum
}

TEST(Distribution, HugeWantedWidthsDoNotOverflow) {
    TableSizeArray out;
    ASSERT_TRUE(DistributeColumnWidths(1000, Of({1, 1}), Of({A | 0x3FFFFFFF, A | 0x3FFFFFFF}), out, 2));
    std::vector<int32_t> v = Values(out);
    EXPECT_EQ(v[0] + v[1], 1000);
    EXPECT_GE(v[0], 0);
    EXPECT_GE(v[1], 0);
}

TEST(Distribution, ClampTableWidthCases) {
    EXPECT_EQ(ClampTableWidth(200, true, 150, 50), 150);   // auto fits: what it wants
    EXPECT_EQ(ClampTableWidth(200, false, 150, 50), 200);  // fixed keeps its width
    EXPECT_EQ(ClampTableWidth(100, true, 300, 150), 150);  // too narrow: at least the minimum
    EXPECT_EQ(ClampTableWidth(100, false, 300, 50), 100);
}

TableCell Cell(int32_t minContent, int32_t want, uint32_t colSpan = 1, uint32_t rowSpan = 1) {
    TableCell c;
    c.minContent = minContent;
    c.wantContent = want;
    c.colSpan = colSpan;
    c.rowSpan = rowSpan;
    c.contentHeight = 10;
    return c;
}

TEST(Grid, RowSpansPushLaterCellsRight) {
    TableWidths t;
    t.AddRow();
    t.AddCell(Cell(10, 10, 1, 2));
    t.AddCell(Cell(10, 10));
    t.AddRow();
    t.AddCell(Cell(10, 10));
    ASSERT_TRUE(t.Finish());
    EXPECT_EQ(t.Columns(), 2);
    EXPECT_EQ(t.Rows(), 2);
    EXPECT_EQ(t.Cell(2)->gridColumn, 1);
    EXPECT_EQ(t.Cell(2)->gridRow, 1);
}

TEST(Grid, AnEmptyTableHasNoGrid) {
    TableWidths t;
    EXPECT_FALSE(t.Finish());
    t.AddRow();
    EXPECT_FALSE(t.Finish());
}

TEST(Grid, HugeSpansAreClampedOrRefused) {
    TableWidths t;
    t.AddRow();
    t.AddCell(Cell(1, 1, 0xFFFFFFFFu, 0xFFFFFFFFu));
    ASSERT_TRUE(t.Finish());
    EXPECT_EQ(t.Cell(0)->colSpan, TableWidths::kMaxColSpan);
    EXPECT_EQ(t.Cell(0)->rowSpan, 1u);  // no more rows than the table has
    TableWidths wide;
    for (int r = 0; r < 2000; ++r) {
        wide.AddRow();
        wide.AddCell(Cell(1, 1, 1000));
    }
    EXPECT_FALSE(wide.Finish());  // two million slots: over the budget
}

// A caption's cell reaches across every column the rows make, and makes none of its own.
TEST(Grid, ACaptionSpansTheColumnsOfTheRows) {
    TableWidths t;
    t.AddRow();
    TableCell caption = Cell(30, 90);
    caption.spansTable = true;
    t.AddCell(caption);
    for (int r = 0; r < 2; ++r) {
        t.AddRow();
        for (int c = 0; c < 3; ++c) t.AddCell(Cell(10, 20));
    }
    ASSERT_TRUE(t.Finish());
    EXPECT_EQ(t.Columns(), 3);
    EXPECT_EQ(t.Cell(0)->gridColumn, 0);
    EXPECT_EQ(t.Cell(0)->colSpan, 3u);
    int32_t width = 0;
    ASSERT_TRUE(t.LayoutWidth(0x40000000u, width, 8, 300));
    EXPECT_EQ(t.Cell(0)->cellWidth, width);
}

// A NOWRAP cell's column takes the width of its lines while the table has room for them over
// the other columns' minimums, and no more than that room past it.
TEST(Columns, ANowrapCellKeepsItsLinesWhileThereIsRoom) {
    auto columns = [](int32_t available) {
        TableWidths t;
        t.AddRow();
        TableCell nowrap = Cell(20, 120);
        nowrap.keepWhole = 120;
        t.AddCell(nowrap);
        t.AddCell(Cell(30, 200));
        EXPECT_TRUE(t.Finish());
        TableSizeArray mn, want, borders;
        EXPECT_TRUE(t.ComputeColumnWidths(mn, want, borders, 8, available));
        return Values(mn);
    };
    EXPECT_EQ(columns(300), (std::vector<int32_t>{120, 30}));
    EXPECT_EQ(columns(150), (std::vector<int32_t>{120, 30}));
    EXPECT_EQ(columns(100), (std::vector<int32_t>{70, 30}));  // wraps in what is left
    EXPECT_EQ(columns(40), (std::vector<int32_t>{20, 30}));   // no room: its widest word
}

TEST(Columns, EveryRowStartingWithASpanStillGivesEveryColumn) {
    TableWidths t;
    for (int r = 0; r < 2; ++r) {
        t.AddRow();
        t.AddCell(Cell(40, 40, 2));
        t.AddCell(Cell(10, 10));
    }
    ASSERT_TRUE(t.Finish());
    TableSizeArray mn, want, borders;
    ASSERT_TRUE(t.ComputeColumnWidths(mn, want, borders, 8, 200));
    ASSERT_EQ(mn.Count(), 3);
    EXPECT_EQ(Values(mn), (std::vector<int32_t>{20, 20, 10}));
}

TEST(Columns, ASpanningMinimumIsSharedHalfToTheEarlierColumn) {
    TableWidths t;
    t.AddRow();
    t.AddCell(Cell(10, 10));
    t.AddCell(Cell(10, 10));
    t.AddRow();
    t.AddCell(Cell(40, 40, 2));
    ASSERT_TRUE(t.Finish());
    TableSizeArray mn, want, borders;
    ASSERT_TRUE(t.ComputeColumnWidths(mn, want, borders, 8, 200));
    // 40 needs 20 more than 10 + 10: 10 goes to the first column, 10 to the second.
    EXPECT_EQ(Values(mn), (std::vector<int32_t>{20, 20}));
}

TEST(Columns, AnAutoTableThatFitsIsExactlyWhatItWants) {
    TableWidths t;
    t.AddRow();
    TableCell a = Cell(10, 30);
    a.borders[0] = a.borders[1] = 16;
    t.AddCell(a);
    t.AddCell(Cell(10, 50));
    ASSERT_TRUE(t.Finish());
    int32_t width = 0;
    ASSERT_TRUE(t.LayoutWidth(0x40000000u, width, 8, 300));
    EXPECT_EQ(width, 30 + 50 + 2);
    EXPECT_EQ(t.Cell(0)->x, 1);
    EXPECT_EQ(t.Cell(0)->cellWidth, 30);
    EXPECT_EQ(t.Cell(1)->x, 32);
    EXPECT_EQ(t.Cell(1)->cellWidth, 50);
}

TEST(Columns, AFixedTableKeepsItsWidthAndANarrowOneItsMinimum) {
    TableWidths t;
    t.AddRow();
    t.AddCell(Cell(10, 30));
    t.AddCell(Cell(10, 50));
    ASSERT_TRUE(t.Finish());
    int32_t width = 0;
    ASSERT_TRUE(t.LayoutWidth(Length::Make(200, Length::kAbsolute), width, 8, 300));
    EXPECT_EQ(width, 200);
    EXPECT_EQ(t.Cell(0)->cellWidth + t.Cell(1)->cellWidth, 200);
    ASSERT_TRUE(t.LayoutWidth(Length::Make(5, Length::kAbsolute), width, 8, 300));
    EXPECT_EQ(width, 20);
}

TEST(Columns, NegativeAndPercentWidthsStayInBounds) {
    TableWidths t;
    t.AddRow();
    TableCell c = Cell(10, 10);
    c.width = Length::Make(-50, Length::kAbsolute);
    t.AddCell(c);
    TableCell d = Cell(10, 10);
    d.width = Length::Make(50, Length::kPercent);
    t.AddCell(d);
    ASSERT_TRUE(t.Finish());
    int32_t width = 0;
    ASSERT_TRUE(t.LayoutWidth(0x40000000u, width, 8, 200));
    EXPECT_GE(t.Cell(0)->cellWidth, 10);
    EXPECT_GE(t.Cell(1)->cellWidth, 100);
}

// Rows of a later part of a table take the widths measured from its first rows, whatever their
// own cells want; a column the measure did not reach is sized from the cells.
TEST(Columns, AMeasureOfTheFirstRowsSizesEveryPart) {
    TableWidths first;
    first.AddRow();
    first.AddCell(Cell(60, 60));
    first.AddCell(Cell(20, 140));
    ASSERT_TRUE(first.Finish());
    TableColumnMeasure measure;
    ASSERT_TRUE(first.MeasureColumns(measure, 8, 200));
    int32_t measuredWidth = 0;
    ASSERT_TRUE(first.LayoutWidth(0x40000000u, measuredWidth, 8, 200));

    TableWidths later;
    later.AddRow();
    later.AddCell(Cell(10, 10));
    later.AddCell(Cell(30, 190));
    later.AddCell(Cell(15, 15));
    ASSERT_TRUE(later.Finish());
    later.UseColumnMeasure(&measure);
    int32_t width = 0;
    ASSERT_TRUE(later.LayoutWidth(0x40000000u, width, 8, 300));
    EXPECT_EQ(later.Cell(0)->cellWidth, first.Cell(0)->cellWidth);
    EXPECT_EQ(later.Cell(1)->cellWidth, first.Cell(1)->cellWidth);
    EXPECT_EQ(later.Cell(2)->cellWidth, 15);
    EXPECT_EQ(width, measuredWidth + 15);
}

TEST(Rows, HeightsFollowTheTallestCellAndRowSpansShare) {
    TableWidths t;
    t.AddRow();
    TableCell tall = Cell(5, 5, 1, 2);
    tall.contentHeight = 50;
    t.AddCell(tall);
    t.AddCell(Cell(5, 5));
    t.AddRow();
    t.AddCell(Cell(5, 5));
    ASSERT_TRUE(t.Finish());
    int32_t height = 0;
    ASSERT_TRUE(t.LayoutHeight(0x40000000u, height, 8, 300));
    EXPECT_EQ(height, 50);
    EXPECT_EQ(t.Cell(0)->cellHeight, 50);
    EXPECT_EQ(t.Cell(2)->y, t.Cell(1)->cellHeight);
    ASSERT_TRUE(t.LayoutHeight(Length::Make(80, Length::kAbsolute), height, 8, 300));
    EXPECT_EQ(height, 80);
}

TEST(Rows, PoppedCellsAndRowsAreForgotten) {
    TableWidths t;
    t.AddRow();
    t.AddCell(Cell(5, 5));
    t.AddRow();
    t.AddCell(Cell(5, 5));
    t.AddCell(Cell(5, 5));
    t.PopCell();
    EXPECT_EQ(t.CellCount(), 2);
    t.PopRow();
    EXPECT_EQ(t.CellCount(), 1);
    EXPECT_EQ(t.RowCount(), 1);
}

TEST(Parsers, PaletteAndDigits) {
    EXPECT_EQ(PaletteIndexOfColour(0x0000FF), 5);
    EXPECT_EQ(PaletteIndexOfColour(0x123456), -1);
    EXPECT_EQ(PaletteColour(13), 0xFF0000u);
    EXPECT_EQ(PaletteColour(16), 0u);
    EXPECT_EQ(PaletteColour(-1), 0u);
    uint32_t v = 0;
    EXPECT_TRUE(HexDigitValue(u'f', v));
    EXPECT_EQ(v, 15u);
    EXPECT_FALSE(HexDigitValue(u'g', v));
    EXPECT_TRUE(ParseDecimal(u"4294967295", 10, v));
    EXPECT_EQ(v, 4294967295u);
    EXPECT_FALSE(ParseDecimal(u"4294967296", 10, v));
    EXPECT_FALSE(ParseDecimal(u"12a", 3, v));
    EXPECT_FALSE(ParseDecimal(u"", 0, v));
    const char16_t* p = u" \t12\r\n";
    int32_t n = 6;
    TrimWhitespace(p, n, true, false);
    EXPECT_EQ(n, 4);
    TrimWhitespace(p, n, false, true);
    EXPECT_EQ(n, 2);
    EXPECT_EQ(p[0], u'1');
}

}  // namespace

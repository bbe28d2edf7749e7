#include "gdi_fixture.h"

using namespace gdi_test;

namespace {

// Selects a pen and a brush for the scope.
struct Tools {
    HDC dc;
    HPEN pen;
    HBRUSH brush;
    HGDIOBJ oldPen, oldBrush;
    Tools(HDC d, HPEN p, HBRUSH b) : dc(d), pen(p), brush(b) {
        oldPen = SelectObject(dc, pen);
        oldBrush = SelectObject(dc, brush);
    }
    ~Tools() {
        SelectObject(dc, oldPen);
        SelectObject(dc, oldBrush);
        DeleteObject(pen);
        DeleteObject(brush);
    }
};

}  // namespace

TEST(Shapes, PolylineLeavesOutItsEndPoint) {
    Canvas c(8, 1);
    Tools t(c.dc(), CreatePen(PS_SOLID, 1, kRed), CreateSolidBrush(kBlue));
    POINT line[2] = {{0, 0}, {5, 0}};
    Polyline(c.dc(), line, 2);
    EXPECT_EQ(c.Row(0, kRed), "#####...");
    // Drawing a line the way the graphics context does: the end pixel set afterwards.
    SetPixel(c.dc(), 5, 0, kRed);
    EXPECT_EQ(c.Row(0, kRed), "######..");
}

TEST(Shapes, LineToLeavesOutItsEndPointInAnyDirection) {
    Canvas c(5, 5);
    Tools t(c.dc(), CreatePen(PS_SOLID, 1, kRed), CreateSolidBrush(kBlue));
    MoveToEx(c.dc(), 4, 4, nullptr);
    LineTo(c.dc(), 0, 0);
    EXPECT_EQ(c.Count(kRed), 4);
    EXPECT_EQ(c.At(0, 0), kWhite);
    EXPECT_EQ(c.At(4, 4), kRed);
    EXPECT_EQ(c.At(2, 2), kRed);
}

TEST(Shapes, RectangleHasExclusiveRightAndBottomEdges) {
    Canvas c(6, 5);
    Tools t(c.dc(), CreatePen(PS_SOLID, 1, kRed), CreateSolidBrush(kBlue));
    Rectangle(c.dc(), 1, 1, 5, 4);
    EXPECT_EQ(c.Row(0, kWhite), "######");
    EXPECT_EQ(c.Row(1, kRed), ".####.");
    EXPECT_EQ(c.Row(2, kRed), ".#..#.");
    EXPECT_EQ(c.Row(2, kBlue), "..##..");
    EXPECT_EQ(c.Row(3, kRed), ".####.");
    EXPECT_EQ(c.Row(4, kWhite), "######");
}

TEST(Shapes, NullPenFillsTheWholeRectangleWithTheBrush) {
    Canvas c(4, 3);
    Tools t(c.dc(), CreatePen(PS_NULL, 1, kRed), CreateSolidBrush(kBlue));
    Rectangle(c.dc(), 0, 0, 3, 2);
    EXPECT_EQ(c.Row(0, kBlue), "###.");
    EXPECT_EQ(c.Row(1, kBlue), "###.");
    EXPECT_EQ(c.Count(kRed), 0);
}

TEST(Shapes, NullBrushLeavesTheInsideAlone) {
    Canvas c(4, 4);
    HPEN pen = CreatePen(PS_SOLID, 1, kRed);
    HGDIOBJ oldPen = SelectObject(c.dc(), pen);
    HGDIOBJ oldBrush = SelectObject(c.dc(), GetStockObject(NULL_BRUSH));
    Rectangle(c.dc(), 0, 0, 4, 4);
    EXPECT_EQ(c.Count(kWhite), 4);
    SelectObject(c.dc(), oldPen);
    SelectObject(c.dc(), oldBrush);
    DeleteObject(pen);
}

TEST(Shapes, InvertingTwiceRestoresEveryPixel) {
    Canvas c(10, 8);
    c.Clear(RGB(10, 200, 30));
    Tools t(c.dc(), CreatePen(PS_SOLID, 1, kBlack), CreateSolidBrush(kBlack));
    SetROP2(c.dc(), R2_NOT);
    // The outline the graphics context draws: a closed 5-point polyline.
    POINT outline[5] = {{1, 1}, {7, 1}, {7, 6}, {1, 6}, {1, 1}};
    Polyline(c.dc(), outline, 5);
    EXPECT_EQ(c.At(1, 1), RGB(245, 55, 225));
    EXPECT_EQ(c.At(7, 6), RGB(245, 55, 225));
    Polyline(c.dc(), outline, 5);
    Rectangle(c.dc(), 0, 0, 9, 7);
    Rectangle(c.dc(), 0, 0, 9, 7);
    Rectangle(c.dc(), 2, 2, 3, 3);
    Rectangle(c.dc(), 2, 2, 3, 3);
    EXPECT_EQ(c.Count(RGB(10, 200, 30)), 80);
    RECT r{1, 1, 4, 4};
    InvertRect(c.dc(), &r);
    EXPECT_EQ(c.At(1, 1), RGB(245, 55, 225));
    InvertRect(c.dc(), &r);
    EXPECT_EQ(c.Count(RGB(10, 200, 30)), 80);
}

TEST(Shapes, FillRectIgnoresThePenModeAndClipsToTheSurface) {
    Canvas c(4, 2);
    SetROP2(c.dc(), R2_NOT);
    HBRUSH red = CreateSolidBrush(kRed);
    RECT r{2, -5, 100, 1};
    EXPECT_EQ(FillRect(c.dc(), &r, red), 1);
    EXPECT_EQ(c.Row(0, kRed), "..##");
    EXPECT_EQ(c.Row(1, kRed), "....");
    DeleteObject(red);
}

TEST(Shapes, EllipseStaysInsideItsBoxAndIsSymmetric) {
    Canvas c(12, 10);
    Tools t(c.dc(), CreatePen(PS_SOLID, 1, kRed), CreateSolidBrush(kBlue));
    Ellipse(c.dc(), 1, 1, 11, 9);
    EXPECT_EQ(c.InkBox(kWhite), (RECT{1, 1, 11, 9}));
    for (int y = 1; y < 9; ++y)
        for (int x = 1; x < 11; ++x) EXPECT_EQ(c.At(x, y), c.At(11 - x, y)) << x << "," << y;
    for (int x = 1; x < 11; ++x) EXPECT_EQ(c.At(x, 1), c.At(x, 8));
    EXPECT_EQ(c.At(6, 4), kBlue);
    EXPECT_EQ(c.At(1, 1), kWhite);
    EXPECT_EQ(c.At(1, 4), kRed);
}

TEST(Shapes, RoundRectCutsItsCornersOnly) {
    Canvas c(12, 10);
    Tools t(c.dc(), CreatePen(PS_SOLID, 1, kRed), CreateSolidBrush(kBlue));
    RoundRect(c.dc(), 0, 0, 12, 10, 6, 6);
    EXPECT_EQ(c.InkBox(kWhite), (RECT{0, 0, 12, 10}));
    EXPECT_EQ(c.At(0, 0), kWhite);
    EXPECT_EQ(c.At(11, 9), kWhite);
    EXPECT_EQ(c.At(6, 0), kRed);
    EXPECT_EQ(c.At(0, 5), kRed);
    EXPECT_EQ(c.At(6, 5), kBlue);
}

TEST(Shapes, WidePensGrowInsideTheRectangle) {
    Canvas c(6, 6);
    Tools t(c.dc(), CreatePen(PS_SOLID, 2, kRed), CreateSolidBrush(kBlue));
    Rectangle(c.dc(), 0, 0, 6, 6);
    EXPECT_EQ(c.Row(1, kRed), "######");
    EXPECT_EQ(c.Row(2, kRed), "##..##");
    EXPECT_EQ(c.Row(2, kBlue), "..##..");
}

TEST(Shapes, HugeShapesAreRefused) {
    Canvas c(4, 4);
    EXPECT_FALSE(Ellipse(c.dc(), -2000000000, 0, 2000000000, 10));
    EXPECT_FALSE(Rectangle(c.dc(), 0, -2000000000, 10, 2000000000));
    EXPECT_EQ(c.Count(kWhite), 16);
}

TEST(PatternBrush, TilesFromTheBrushOrigin) {
    // A 2x1 pattern: red, blue.
    DibInfo info = MakeInfo(2, 1, 32);
    struct Packed {
        BITMAPINFOHEADER h;
        std::uint32_t px[2];
    } packed{info.header, {0xFF0000, 0x0000FF}};
    HBRUSH brush = CreateDIBPatternBrushPt(&packed, DIB_RGB_COLORS);
    ASSERT_NE(brush, nullptr);
    Canvas c(5, 1);
    HGDIOBJ old = SelectObject(c.dc(), brush);
    SetBrushOrgEx(c.dc(), 1, 0, nullptr);
    PatBlt(c.dc(), 0, 0, 5, 1, PATCOPY);
    EXPECT_EQ(c.Row(0, kRed), ".#.#.");
    EXPECT_EQ(c.Row(0, kBlue), "#.#.#");
    // A picture tiled at a point lands there under any viewport origin.
    c.Clear(kWhite);
    SetViewportOrgEx(c.dc(), 2, 0, nullptr);
    SetBrushOrgEx(c.dc(), 1, 0, nullptr);
    PatBlt(c.dc(), 1, 0, 2, 1, PATCOPY);
    EXPECT_EQ(c.Row(0, kRed), "...#.");
    EXPECT_EQ(c.Row(0, kBlue), "....#");
    SelectObject(c.dc(), old);
    DeleteObject(brush);
    EXPECT_EQ(CreateDIBPatternBrushPt(nullptr, DIB_RGB_COLORS), nullptr);
}

TEST(PatternBrush, PatBltRefusesOperationsThatNeedASource) {
    Canvas c(2, 2);
    EXPECT_FALSE(PatBlt(c.dc(), 0, 0, 2, 2, SRCCOPY));
    EXPECT_TRUE(PatBlt(c.dc(), 0, 0, 2, 2, BLACKNESS));
    EXPECT_EQ(c.Count(kBlack), 4);
    EXPECT_TRUE(PatBlt(c.dc(), 0, 0, 1, 2, DSTINVERT));
    EXPECT_EQ(c.Row(0, kWhite), "#.");
}

TEST(Shapes, ExtremeCoordinatesAreClippedNotOverflowed) {
    Canvas c(8, 8);
    Tools t(c.dc(), CreatePen(PS_SOLID, 1, kRed), CreateSolidBrush(kBlue));
    // A line to the far corner of the coordinate space only walks the visible part.
    MoveToEx(c.dc(), 0, 0, nullptr);
    EXPECT_TRUE(LineTo(c.dc(), INT32_MAX, INT32_MAX));
    EXPECT_EQ(c.Count(kRed), 8);
    POINT far[2] = {{INT32_MIN, 3}, {INT32_MAX, 3}};
    EXPECT_TRUE(Polyline(c.dc(), far, 2));
    EXPECT_EQ(c.Row(3, kRed), "########");
    // The "infinite" rectangle fills everything.
    RECT all{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};
    EXPECT_EQ(FillRect(c.dc(), &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH))), 1);
    EXPECT_EQ(c.Count(kBlack), 64);
    EXPECT_TRUE(InvertRect(c.dc(), &all));
    EXPECT_EQ(c.Count(kWhite), 64);
    EXPECT_TRUE(PatBlt(c.dc(), INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX, BLACKNESS));
    SetViewportOrgEx(c.dc(), INT32_MAX, INT32_MIN, nullptr);
    EXPECT_EQ(SetPixel(c.dc(), INT32_MAX, 0, kRed), CLR_INVALID);
    EXPECT_TRUE(Rectangle(c.dc(), INT32_MAX - 10, 0, INT32_MAX, 10));
    EXPECT_TRUE(Ellipse(c.dc(), INT32_MIN, INT32_MIN, INT32_MIN + 10, INT32_MIN + 10));
    EXPECT_EQ(IntersectClipRect(c.dc(), INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX), SIMPLEREGION);
    EXPECT_EQ(c.Count(kWhite), 64);
}

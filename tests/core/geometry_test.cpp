#include "core/geometry.h"

#include <gtest/gtest.h>

#include "core/color.h"
#include "core/transform.h"

namespace {

TEST(RectHit, ContainsIsHalfOpen) {
    Rect r{10, 20, 5, 5};
    EXPECT_TRUE(Rect::Contains(r, Point{10, 20}));
    EXPECT_TRUE(Rect::Contains(r, Point{14, 24}));
    EXPECT_FALSE(Rect::Contains(r, Point{15, 20}));
    EXPECT_FALSE(Rect::Contains(r, Point{10, 25}));
    EXPECT_FALSE(Rect::Contains(Rect{0, 0, 0, 5}, Point{0, 0}));
}

TEST(RectHit, IntersectAndEmptyRectangles) {
    Rect out;
    EXPECT_TRUE(Rect::Intersect(Rect{0, 0, 10, 10}, Rect{5, 5, 10, 10}, out));
    EXPECT_EQ(out, (Rect{5, 5, 5, 5}));
    EXPECT_FALSE(Rect::Intersect(Rect{0, 0, 10, 10}, Rect{10, 0, 5, 5}, out));
    EXPECT_EQ(out.width, 0);
    EXPECT_GE(out.height, 0);
    EXPECT_FALSE(Rect::Intersects(Rect{0, 0, 10, 10}, Rect{2, 2, 0, 4}));
    EXPECT_TRUE(Rect::ContainsRect(Rect{0, 0, 10, 10}, Rect{0, 0, 10, 10}));
    EXPECT_FALSE(Rect::ContainsRect(Rect{0, 0, 10, 10}, Rect{1, 1, 10, 1}));
}

TEST(RectHit, UnionWithEmptyRectangles) {
    Rect r{0, 0, 0, 0};
    Rect::Union(r, Rect{5, 5, 2, 2});
    EXPECT_EQ(r, (Rect{5, 5, 2, 2}));
    Rect::Union(r, Rect{100, 100, 0, 3});
    EXPECT_EQ(r, (Rect{5, 5, 2, 2}));
    Rect::Union(r, Rect{0, 6, 1, 10});
    EXPECT_EQ(r, (Rect{0, 5, 7, 11}));
}

TEST(RectPlace, CornersAreInclusiveAndPlacementStaysInside) {
    Rect control{10, 10, 20, 8};
    Point bl = Rect::Corner(control, 3);
    EXPECT_EQ(bl, (Point{10, 17}));
    EXPECT_EQ(Rect::Corner(control, 2), (Point{29, 17}));
    Rect popup{0, 0, 50, 30};
    Rect screen{0, 0, 240, 320};
    Rect::PlaceWithin(popup, 0, Point{bl.x, bl.y + 1}, screen);
    EXPECT_EQ(popup, (Rect{10, 18, 50, 30}));
    Rect::PlaceWithin(popup, 3, Point{230, 5}, screen);  // above the anchor: pushed down inside
    EXPECT_EQ(popup, (Rect{190, 0, 50, 30}));
    Rect huge{0, 0, 500, 500};
    Rect::PlaceWithin(huge, 0, Point{10, 10}, screen);
    EXPECT_EQ(huge, screen);
    Rect big{0, 0, 300, 10};
    EXPECT_FALSE(Rect::MoveInside(big, screen));
}

TEST(RectPlace, StripsCutsAndSplits) {
    Rect r{0, 0, 10, 10};
    EXPECT_EQ(Rect::EdgeStrip(r, 2, 3), (Rect{7, 0, 3, 10}));
    EXPECT_EQ(Rect::EdgeStrip(r, 3, 30), (Rect{0, 0, 10, 10}));
    Rect cut = Rect::CutSide(r, 0, 4);
    EXPECT_EQ(cut, (Rect{0, 0, 10, 4}));
    EXPECT_EQ(r, (Rect{0, 4, 10, 6}));
    Rect pieces[4];
    Rect::SplitAround(Rect{0, 0, 10, 10}, Rect{2, 3, 4, 5}, pieces);
    EXPECT_EQ(pieces[0], (Rect{0, 0, 10, 3}));
    EXPECT_EQ(pieces[1], (Rect{0, 3, 2, 5}));
    EXPECT_EQ(pieces[2], (Rect{6, 3, 4, 5}));
    EXPECT_EQ(pieces[3], (Rect{0, 8, 10, 2}));
    Rect inf;
    Rect::SetInfinite(inf);
    EXPECT_EQ(inf, (Rect{-8192, -8192, 16384, 16384}));
    Rect unset;
    MakeUnsetRect(unset);
    EXPECT_TRUE(IsUnsetRect(unset));
    struct {
        int32_t left, top, right, bottom;
    } win{1, 2, 11, 22};
    EXPECT_EQ(Rect::FromWinRect(win), (Rect{1, 2, 10, 20}));
}

TEST(SizeAndSpan, ShrinkAndIntersect) {
    EXPECT_EQ(Size::ShrinkToFit(Size{400, 100}, Size{200, 200}, false), (Size{200, 100}));
    EXPECT_EQ(Size::ShrinkToFit(Size{400, 100}, Size{200, 200}, true), (Size{200, 50}));
    EXPECT_EQ(Size::ShrinkToFit(Size{0, 100}, Size{200, 200}, true), (Size{0, 0}));
    EXPECT_EQ(Size::ShrinkToFit(Size{10, 100}, Size{0, 200}, true), (Size{0, 0}));
    Span s = Span::Intersect(Span{0, 10}, Span{5, 10});
    EXPECT_EQ(s.start, 5);
    EXPECT_EQ(s.length, 5);
    EXPECT_EQ(Span::Intersect(Span{0, 5}, Span{7, 2}).length, 0);
}

// Screen-to-page maps of a w x h page for each orientation stay inside the page.
TEST(TransformRotation, ScreenToPageStaysInsideThePage) {
    const int32_t w = 240, h = 320;
    const Point t[4] = {{0, 0}, {0, 1 - w}, {1 - h, 0}, {1 - w, 1 - h}};
    for (int o = 0; o < 4; ++o) {
        Transform m;
        Transform::Compose(Transform::Translation(t[o].x, t[o].y), Transform::FromOrientation(o),
                           m);
        Rect screen = (o == 1 || o == 2) ? Rect{0, 0, h, w} : Rect{0, 0, w, h};
        Rect page = Transform::MapRect(m, screen);
        EXPECT_EQ(page, (Rect{0, 0, w, h})) << o;
        Transform inv;
        ASSERT_TRUE(Transform::Invert(m, inv));
        EXPECT_EQ(Transform::MapRect(inv, page), screen) << o;
        Point p{17, 33};
        EXPECT_EQ(Transform::MapPoint(inv, Transform::MapPoint(m, p)), p);
    }
    Transform m;
    Transform::Compose(Transform::Translation(1 - w, 1 - h), Transform::FromOrientation(3), m);
    EXPECT_EQ(Transform::MapPoint(m, Point{0, 0}), (Point{w - 1, h - 1}));
    EXPECT_EQ(Transform::MapVector(m, Point{1, 0}), (Point{-1, 0}));
}

TEST(TransformRotation, QuarterTurnDirections) {
    EXPECT_EQ(Transform::MapPoint(Transform::FromOrientation(1), Point{2, 3}), (Point{-3, 2}));
    EXPECT_EQ(Transform::MapPoint(Transform::FromOrientation(2), Point{2, 3}), (Point{3, -2}));
    Transform scale = Transform::Identity();
    scale.m11 = 2;
    Transform out;
    EXPECT_FALSE(Transform::Invert(scale, out));
}

TEST(Colors, PackMixAndNone) {
    uint32_t c = Color::Pack(1, 2, 3);
    EXPECT_EQ(c, 0x030201u);
    uint8_t r, g, b;
    Color::Unpack(c, r, g, b);
    EXPECT_EQ(b, 3);
    uint32_t m;
    Color::Mix(m, Color::Pack(0, 0, 0), Color::Pack(200, 100, 50), 1, 2);
    EXPECT_EQ(m, Color::Pack(100, 50, 25));
    Color::Mix(m, 0x123456, 0xFFFFFF, 3, 0);
    EXPECT_EQ(m, 0x123456u);
    uint32_t none;
    Color::SetNone(none);
    EXPECT_TRUE(Color::IsNone(none));
    EXPECT_TRUE(Color::SameRgb(0x00ABCDEF, 0xFFABCDEF));
}

TEST(Colors, PaletteCountIsClampedToTheBytesPresent) {
    uint8_t pal[6] = {10, 20, 30, 40, 50, 60};
    uint8_t dest[256 * 4] = {};
    EXPECT_EQ(PaletteToRgbQuad(PaletteKind::kRgb3, pal, sizeof(pal), 100000, dest), 2);
    EXPECT_EQ(dest[0], 30);
    EXPECT_EQ(dest[2], 10);
    EXPECT_EQ(dest[3], 0);
    EXPECT_EQ(PaletteToRgbQuad(PaletteKind::kNone, pal, sizeof(pal), 2, dest), 0);
}

}  // namespace

// Areas: hit tests of every shape with tolerances, bounds and end points, the row-wise XOR of
// rectangle sets (with aliasing), moving and copying with their counted links, the paged array
// whose entries never move, area maps, and drawing by inversion.
#include <gtest/gtest.h>

#include <memory>

#include "core/string.h"
#include "graphics/core/drawing_surface.h"
#include "graphics/widgets/area.h"
#include "support/graphics/surface_window.h"

namespace {

LinkTarget* NewLink(const char16_t* name) {
    auto* t = new LinkTarget();
    t->name = String(name);
    return t;
}

class FakeValue : public AreaLinkValue {
public:
    FakeValue(bool has, uint32_t v) : has_(has), v_(v) {}
    bool HasValue() const override { return has_; }
    uint32_t Value() const override { return v_; }

private:
    bool has_;
    uint32_t v_;
};

RectList* ListOf(std::initializer_list<Rect> rects) {
    RectList* list = nullptr;
    for (const Rect& r : rects) EXPECT_TRUE(RectLists::Add(list, r));
    return list;
}

std::vector<Rect> RectsOf(const Area& a) {
    std::vector<Rect> out;
    if (a.kind == Area::kRect) out.push_back(a.shape);
    if (a.rects)
        for (int32_t i = 0; i < a.rects->Count(); ++i) out.push_back((*a.rects)[i]);
    return out;
}

// ---- Hit tests --------------------------------------------------------------------------------

TEST(AreaHitTest, RectangleIsHalfOpenAndToleranceGrowsIt) {
    Area a;
    a.SetRect(Rect{10, 10, 20, 10});
    EXPECT_TRUE(a.HitTest(Point{10, 10}, 0));
    EXPECT_TRUE(a.HitTest(Point{29, 19}, 0));
    EXPECT_FALSE(a.HitTest(Point{30, 15}, 0));
    EXPECT_FALSE(a.HitTest(Point{15, 20}, 0));
    EXPECT_TRUE(a.HitTest(Point{30, 15}, 2));
    EXPECT_TRUE(a.HitTest(Point{8, 8}, 2));
    EXPECT_FALSE(a.HitTest(Point{7, 15}, 2));
}

TEST(AreaHitTest, PointsOutsideTheBoundsNeverHit) {
    Area a;
    a.SetRect(Rect{0, 0, 100, 100});
    a.bounds = Rect{0, 0, 50, 50};
    EXPECT_TRUE(a.HitTest(Point{49, 49}, 0));
    EXPECT_FALSE(a.HitTest(Point{60, 10}, 0));
}

TEST(AreaHitTest, CircleAtItsRadiusAndWithTolerance) {
    Area a;
    a.SetCircle(Point{50, 50}, 10);
    EXPECT_TRUE(a.HitTest(Point{60, 50}, 0));
    EXPECT_FALSE(a.HitTest(Point{61, 50}, 0));
    EXPECT_TRUE(a.HitTest(Point{61, 50}, 1));
    EXPECT_TRUE(a.HitTest(Point{56, 58}, 0));  // 36 + 64 = 100
}

TEST(AreaHitTest, FarCircleDoesNotOverflow) {
    Area a;
    a.bounds = Rect{-2000000000, -2000000000, 2100000000, 2100000000};
    a.SetCircle(Point{-1000000000, -1000000000}, 5);
    EXPECT_FALSE(a.HitTest(Point{90000000, 90000000}, 0));
    EXPECT_TRUE(a.HitTest(Point{-1000000003, -1000000004}, 0));
}

TEST(AreaHitTest, RectangleListWithTolerance) {
    Area a;
    a.SetRectList(ListOf({Rect{0, 0, 10, 10}, Rect{20, 0, 10, 10}}));
    EXPECT_TRUE(a.HitTest(Point{25, 5}, 0));
    EXPECT_FALSE(a.HitTest(Point{15, 5}, 0));
    EXPECT_TRUE(a.HitTest(Point{11, 5}, 2));
    EXPECT_FALSE(a.HitTest(Point{10, 5}, 0));
}

TEST(AreaHitTest, PolygonEvenOddWithNegativeCoordinates) {
    auto* pts = new PointList();
    for (Point p : {Point{-20, -20}, Point{20, -20}, Point{0, 20}}) pts->Append(p);
    Area a;
    a.SetPolygon(pts);
    EXPECT_EQ(a.shape, (Rect{-20, -20, 40, 40}));
    EXPECT_EQ(a.polygon->Count(), 4);  // closed
    EXPECT_TRUE(a.HitTest(Point{0, 0}, 0));
    EXPECT_TRUE(a.HitTest(Point{-15, -18}, 0));
    EXPECT_FALSE(a.HitTest(Point{-15, 10}, 0));
    EXPECT_FALSE(a.HitTest(Point{0, 25}, 0));
}

TEST(AreaHitTest, PolygonWithAHoleByEvenOdd) {
    // An outer square and an inner one drawn as one outline: the inner counts twice.
    auto* pts = new PointList();
    for (Point p : {Point{0, 0}, Point{40, 0}, Point{40, 40}, Point{0, 40}, Point{0, 0},
                    Point{10, 10}, Point{30, 10}, Point{30, 30}, Point{10, 30}, Point{10, 10}})
        pts->Append(p);
    Area a;
    a.SetPolygon(pts);
    EXPECT_TRUE(a.HitTest(Point{5, 20}, 0));
    EXPECT_FALSE(a.HitTest(Point{20, 20}, 0));
}

TEST(AreaHitTest, EmptyAndEmptyPolygonNeverHit) {
    Area a;
    EXPECT_FALSE(a.HitTest(Point{0, 0}, 5));
    a.SetPolygon(new PointList());
    EXPECT_FALSE(a.HitTest(Point{0, 0}, 0));
    EXPECT_TRUE(a.shape.IsEmpty());
    a.SetPolygon(nullptr);
    EXPECT_FALSE(a.HitTest(Point{0, 0}, 0));
}

// ---- Bounds and end points --------------------------------------------------------------------

TEST(AreaGeometry, BoundsOfEachKind) {
    Area a;
    Rect out{1, 1, 1, 1};
    a.GetBounds(out);
    EXPECT_EQ(out, Rect{});
    a.SetCircle(Point{10, 20}, 5);
    a.GetBounds(out);
    EXPECT_EQ(out, (Rect{5, 15, 10, 10}));
    a.SetRectList(ListOf({Rect{0, 0, 0, 0}, Rect{10, 10, 5, 5}, Rect{30, 0, 5, 5}}));
    a.GetBounds(out);
    EXPECT_EQ(out, (Rect{10, 0, 25, 15}));  // the empty rectangle adds nothing
}

TEST(AreaGeometry, EndPoints) {
    Area a;
    Point p{9, 9};
    a.EndPoint(p);
    EXPECT_EQ(p, Point{});
    a.SetRect(Rect{10, 10, 5, 3});
    a.EndPoint(p);
    EXPECT_EQ(p, (Point{14, 12}));
    a.SetRectList(nullptr);
    a.EndPoint(p);
    EXPECT_EQ(p, Point{});
    a.SetRectList(ListOf({Rect{0, 0, 5, 5}, Rect{20, 30, 4, 2}}));
    a.EndPoint(p);
    EXPECT_EQ(p, (Point{23, 31}));
}

// ---- Combine ----------------------------------------------------------------------------------

TEST(AreaCombine, OverlappingSpansOfARowLeaveTheirDifference) {
    Area a, b, out;
    a.SetRect(Rect{0, 0, 10, 5});
    b.SetRect(Rect{5, 0, 10, 5});
    ASSERT_TRUE(Area::Combine(a, b, out));
    EXPECT_EQ(out.kind, static_cast<uint32_t>(Area::kRectList));
    EXPECT_EQ(RectsOf(out), (std::vector<Rect>{Rect{0, 0, 5, 5}, Rect{10, 0, 5, 5}}));
}

TEST(AreaCombine, WithItselfIsEmpty) {
    Area a, out;
    a.SetRectList(ListOf({Rect{0, 0, 10, 5}, Rect{0, 5, 20, 5}}));
    ASSERT_TRUE(Area::Combine(a, a, out));
    EXPECT_TRUE(out.IsEmpty());
}

TEST(AreaCombine, DifferentHeightsAreNeverMerged) {
    Area a, b, out;
    a.SetRect(Rect{0, 0, 10, 5});
    b.SetRect(Rect{5, 0, 10, 6});
    ASSERT_TRUE(Area::Combine(a, b, out));
    EXPECT_EQ(RectsOf(out), (std::vector<Rect>{Rect{0, 0, 10, 5}, Rect{5, 0, 10, 6}}));
}

TEST(AreaCombine, DisjointSpansStaySeparate) {
    Area a, b, out;
    a.SetRect(Rect{20, 0, 5, 5});
    b.SetRect(Rect{0, 0, 5, 5});
    ASSERT_TRUE(Area::Combine(a, b, out));
    EXPECT_EQ(RectsOf(out), (std::vector<Rect>{Rect{0, 0, 5, 5}, Rect{20, 0, 5, 5}}));
}

TEST(AreaCombine, ThreeOverlapsInARowEmitNoNegativeWidths) {
    Area a, b, out;
    a.SetRectList(ListOf({Rect{0, 0, 10, 5}, Rect{2, 0, 2, 5}}));
    b.SetRect(Rect{3, 0, 9, 5});
    ASSERT_TRUE(Area::Combine(a, b, out));
    for (const Rect& r : RectsOf(out)) EXPECT_GT(r.width, 0);
}

TEST(AreaCombine, OutMayBeEitherInput) {
    Area a, b;
    a.SetRect(Rect{0, 0, 10, 5});
    b.SetRect(Rect{5, 0, 10, 5});
    ASSERT_TRUE(Area::Combine(a, b, a));
    EXPECT_EQ(RectsOf(a), (std::vector<Rect>{Rect{0, 0, 5, 5}, Rect{10, 0, 5, 5}}));
    Area c;
    c.SetRect(Rect{0, 0, 5, 5});
    ASSERT_TRUE(Area::Combine(c, a, a));
    EXPECT_EQ(RectsOf(a), (std::vector<Rect>{Rect{10, 0, 5, 5}}));
}

TEST(AreaCombine, EmptySidesCopyTheOtherWithItsLinks) {
    Area a, empty, out;
    a.SetRect(Rect{0, 0, 4, 4});
    a.link = RefPtr<LinkTarget>::Adopt(NewLink(u"x"));
    ASSERT_TRUE(Area::Combine(a, empty, out));
    EXPECT_EQ(out.shape, a.shape);
    EXPECT_EQ(out.link.Get(), a.link.Get());
    Area out2;
    ASSERT_TRUE(Area::Combine(empty, a, out2));
    EXPECT_EQ(out2.link.Get(), a.link.Get());
    EXPECT_EQ(RectsOf(out2), (std::vector<Rect>{Rect{0, 0, 4, 4}}));
    EXPECT_EQ(a.link->RefCount(), 3);
}

// ---- Moving, copying, links -------------------------------------------------------------------

TEST(AreaLinks, MoveTakesListsAndLinks) {
    Area from, to;
    from.SetRectList(ListOf({Rect{1, 2, 3, 4}}));
    from.link = RefPtr<LinkTarget>::Adopt(NewLink(u"go"));
    from.secondLink = RefPtr<AreaLinkValue>::Adopt(new FakeValue(true, 42));
    to.bounds = Rect{0, 0, 5, 5};
    LinkTarget* link = from.link.Get();
    to.MoveFrom(from);
    EXPECT_EQ(to.kind, static_cast<uint32_t>(Area::kRectList));
    EXPECT_EQ(to.rects->Count(), 1);
    EXPECT_EQ(from.rects, nullptr);
    EXPECT_FALSE(from.link);
    EXPECT_EQ(to.link.Get(), link);
    EXPECT_EQ(link->RefCount(), 1);
    EXPECT_EQ(to.bounds, (Rect{0, 0, 5, 5}));  // the bounds stay the destination's
    EXPECT_EQ(to.LinkValue(), 42u);
    to.MoveFrom(to);
    EXPECT_EQ(to.rects->Count(), 1);
}

TEST(AreaLinks, CopyIsDeepAndCountsLinks) {
    Area from, to;
    from.SetRectList(ListOf({Rect{1, 2, 3, 4}}));
    from.link = RefPtr<LinkTarget>::Adopt(NewLink(u"go"));
    ASSERT_TRUE(to.CopyFrom(from));
    EXPECT_NE(to.rects, from.rects);
    EXPECT_EQ((*to.rects)[0], (Rect{1, 2, 3, 4}));
    EXPECT_EQ(from.link->RefCount(), 2);
    EXPECT_TRUE(to.CopyFrom(to));
}

TEST(AreaLinks, LinkTextAndValue) {
    Area a;
    String s;
    EXPECT_FALSE(a.GetLinkText(&s));
    EXPECT_EQ(a.LinkValue(), 0u);
    a.link = RefPtr<LinkTarget>::Adopt(NewLink(u""));
    EXPECT_FALSE(a.GetLinkText(&s));
    a.link->name = String(u"chapter");
    EXPECT_TRUE(a.GetLinkText(&s));
    EXPECT_TRUE(a.GetLinkText(nullptr));
    EXPECT_EQ(s, String(u"chapter"));
    a.secondLink = RefPtr<AreaLinkValue>::Adopt(new FakeValue(false, 7));
    EXPECT_EQ(a.LinkValue(), 0u);
}

// ---- The paged array and maps -----------------------------------------------------------------

TEST(AreaArray, EntriesKeepTheirAddressesAsItGrows) {
    AreaArray arr;
    ASSERT_TRUE(arr.Reserve(3));
    EXPECT_EQ(arr.Allocated(), 16);
    Area* first = arr.At(0);
    ASSERT_NE(first, nullptr);
    first->SetRect(Rect{1, 1, 1, 1});
    ASSERT_TRUE(arr.Reserve(300));
    EXPECT_EQ(arr.Allocated(), 304);
    EXPECT_EQ(arr.At(0), first);
    EXPECT_EQ(arr.At(0)->shape, (Rect{1, 1, 1, 1}));
    EXPECT_EQ(arr.Count(), 1);
    ASSERT_NE(arr.At(299), nullptr);
    EXPECT_EQ(arr.Count(), 300);
}

TEST(AreaArray, AtBeyondTheReservedEntriesIsNull) {
    AreaArray arr;
    EXPECT_EQ(arr.At(0), nullptr);
    ASSERT_TRUE(arr.Reserve(1));
    EXPECT_EQ(arr.At(16), nullptr);
    EXPECT_EQ(arr.At(-1), nullptr);
    EXPECT_EQ(arr.Count(), 0);
}

TEST(AreaArray, FailedPageKeepsThePagesMade) {
    AreaArray arr;
    AreaArray::FailPagesAfterForTesting(2);
    EXPECT_FALSE(arr.Reserve(40));
    AreaArray::FailPagesAfterForTesting(-1);
    EXPECT_EQ(arr.Allocated(), 32);
    EXPECT_NE(arr.At(31), nullptr);
    EXPECT_EQ(arr.At(32), nullptr);
    EXPECT_TRUE(arr.Reserve(40));
    arr.Clear();
    EXPECT_EQ(arr.Count(), 0);
    EXPECT_EQ(arr.Allocated(), 0);
}

TEST(AreaArray, ClearReleasesTheLinks) {
    RefPtr<LinkTarget> link = RefPtr<LinkTarget>::Adopt(NewLink(u"x"));
    {
        AreaArray arr;
        ASSERT_TRUE(arr.Reserve(20));
        arr.At(17)->link.Assign(link);
        EXPECT_EQ(link->RefCount(), 2);
        arr.Clear();
        EXPECT_EQ(link->RefCount(), 1);
    }
}

TEST(AreaMap, HitTestTakesTheLastOverlappingAreaThenTheDefault) {
    AreaMap* map = new AreaMap();
    RefPtr<LinkTarget> first = RefPtr<LinkTarget>::Adopt(NewLink(u"first"));
    RefPtr<LinkTarget> second = RefPtr<LinkTarget>::Adopt(NewLink(u"second"));
    RefPtr<LinkTarget> fallback = RefPtr<LinkTarget>::Adopt(NewLink(u"default"));
    Area a, b;
    a.SetRect(Rect{0, 0, 50, 50});
    a.link.Assign(first);
    b.SetRect(Rect{25, 25, 50, 50});
    b.link.Assign(second);
    ASSERT_TRUE(map->Add(a));
    ASSERT_TRUE(map->Add(b));
    EXPECT_TRUE(a.IsEmpty() || !a.link);  // moved, not copied
    EXPECT_FALSE(b.link);
    EXPECT_EQ(map->HitTest(Point{30, 30}), second.Get());
    EXPECT_EQ(map->HitTest(Point{10, 10}), first.Get());
    EXPECT_EQ(map->HitTest(Point{90, 90}), nullptr);
    map->SetDefault(fallback.Get());
    EXPECT_EQ(map->HitTest(Point{90, 90}), fallback.Get());
    EXPECT_EQ(second->RefCount(), 2);
    map->Release();
    EXPECT_EQ(second->RefCount(), 1);
    EXPECT_EQ(fallback->RefCount(), 1);
}

// ---- Drawing ----------------------------------------------------------------------------------

class AreaDrawTest : public fvt::test::SurfaceWindowTest {
protected:
    void SetUp() override {
        SurfaceWindowTest::SetUp();
        OpenSurface(100, 100);
        GraphicsContext* gc = surface->BeginDraw(false, nullptr);
        gc->SetPenColor(0x00FF00);
        gc->SetBrushColor(0x00FF00);
        gc->FillRect(Rect{0, 0, 100, 100});
        gc->SetBrushColor(0x0000FF);
        gc->FillRect(Rect{0, 0, 50, 100});
        surface->EndDraw();
    }
    std::vector<uint32_t> Snapshot() { return SurfaceWindowTest::Snapshot(100, 100); }
    void Draw(const Area& a) {
        GraphicsContext* gc = surface->BeginDraw(false, nullptr);
        a.Draw(*gc, true);
        surface->EndDraw();
    }
};

TEST_F(AreaDrawTest, DrawingTwiceRestoresTheScreen) {
    std::vector<uint32_t> before = Snapshot();
    Area a;
    a.SetRectList(ListOf({Rect{10, 10, 60, 10}, Rect{10, 20, 30, 10}}));
    Draw(a);
    EXPECT_EQ(Pixel(15, 15), 0x00FFFFu);  // red inverted
    EXPECT_EQ(Pixel(65, 15), 0xFF00FFu);  // green inverted
    EXPECT_EQ(Pixel(45, 25), 0xFF0000u);  // outside: red as it was
    Draw(a);
    EXPECT_EQ(Snapshot(), before);
}

TEST_F(AreaDrawTest, DrawingIsClippedToTheBounds) {
    Area a;
    a.SetRect(Rect{0, 0, 100, 100});
    a.bounds = Rect{20, 20, 10, 10};
    Draw(a);
    EXPECT_EQ(Pixel(25, 25), 0x00FFFFu);
    EXPECT_EQ(Pixel(35, 25), 0xFF0000u);
}

TEST_F(AreaDrawTest, FailedPushDrawsNothingAndKeepsTheCallersState) {
    Area a;
    a.SetRect(Rect{0, 0, 10, 10});
    GraphicsContext* gc = surface->BeginDraw(false, nullptr);
    ASSERT_TRUE(gc->PushState());
    gc->IntersectClip(Rect{0, 0, 60, 60});
    Rect clip = gc->ClipRect();
    GraphicsContext::FailPushStateAfterForTesting(0);
    a.Draw(*gc, true);
    GraphicsContext::FailPushStateAfterForTesting(-1);
    EXPECT_EQ(gc->ClipRect(), clip);
    gc->PopState();
    surface->EndDraw();
    EXPECT_EQ(Pixel(5, 5), 0xFF0000u);
}

}  // namespace

// Pop-up overlays over a painted page: the pixels beneath are saved once and put back exactly,
// showing one overlay hides the others (self-deleting ones included, without skipping a
// sibling), focus leaves the page while shown and comes back, hit tests and placement.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "graphics/core/drawing_surface.h"
#include "graphics/widgets/overlay_widget.h"
#include "support/graphics/surface_window.h"

namespace {

constexpr int kW = 160;
constexpr int kH = 120;

class Striped : public fvt::test::PlainNode {
public:
    void Redraw(const Rect*) override {
        DrawScope scope(this);
        if (!scope) return;
        for (int y = 0; y < kH; y += 8) {
            uint32_t c = (y / 8) % 2 ? 0x00C000 : 0xC00000;
            scope.Context()->SetPenColor(c);
            scope.Context()->SetBrushColor(c);
            scope.Context()->DrawRectangle(Rect{0, y, kW, 8}, true);
        }
        scope.Context()->SetBrushColor(0x0000FF);
        scope.Context()->DrawRectangle(Rect{10, 10, 50, 50}, true);
    }
    void SetActive(bool active) override { activity.push_back(active); }
    std::vector<bool> activity;
};

class Popup : public OverlayWidget {
public:
    Popup(DrawingSurface* target, bool deleteWhenHidden, uint32_t colour)
        : OverlayWidget(target, deleteWhenHidden, false), colour(colour) {}
    void Redraw(const Rect*) override {
        DrawScope scope(this);
        if (!scope) return;
        scope.Context()->SetPenColor(colour);
        scope.Context()->SetBrushColor(colour);
        scope.Context()->DrawRectangle(Rectangle(), true);
        ++draws;
    }
    uint32_t colour;
    int draws = 0;
};

// A plain child after the overlays, to see that none is skipped.
class Probe : public fvt::test::PlainNode {
public:
    Probe() : PlainNode(-128) {}
    bool HitTest(const Rect&) override { return false; }
    void SetActive(bool active) override { activity.push_back(active); }
    std::vector<bool> activity;
};

class OverlayTest : public fvt::test::SurfaceWindowTest {
protected:
    void SetUp() override {
        SurfaceWindowTest::SetUp();
        OpenSurface(kW, kH);
        page.SetParent(surface.get());
        Repaint();
        before = Snapshot();
    }
    void TearDown() override {
        page.Detach();
        SurfaceWindowTest::TearDown();
    }
    std::vector<uint32_t> Snapshot() { return SurfaceWindowTest::Snapshot(kW, kH); }
    Striped page;
    std::vector<uint32_t> before;
};

TEST_F(OverlayTest, HidingPutsBackExactlyThePixelsBeneath) {
    Popup popup(surface.get(), false, 0xFFFFFF);
    popup.SetRectangle(Rect{20, 30, 70, 40});
    ASSERT_TRUE(popup.Show(true));
    EXPECT_TRUE(popup.IsShown());
    EXPECT_EQ(Pixel(25, 35), 0xFFFFFFu);
    EXPECT_NE(Snapshot(), before);
    popup.Show(false);
    EXPECT_FALSE(popup.IsShown());
    EXPECT_EQ(Snapshot(), before);
}

TEST_F(OverlayTest, ShowingTwiceSavesTheScreenOnce) {
    Popup popup(surface.get(), false, 0xFFFFFF);
    popup.SetRectangle(Rect{20, 30, 70, 40});
    popup.Show(true);
    popup.Show(true);
    EXPECT_EQ(popup.draws, 1);
    popup.Show(false);
    popup.Show(false);
    EXPECT_EQ(Snapshot(), before);
}

TEST_F(OverlayTest, MovedWhileShownStillRestoresWhereItWas) {
    Popup popup(surface.get(), false, 0xFFFFFF);
    popup.SetRectangle(Rect{20, 30, 70, 40});
    popup.Show(true);
    popup.SetRectangle(Rect{0, 0, 10, 10});
    popup.Show(false);
    EXPECT_EQ(Snapshot(), before);
}

TEST_F(OverlayTest, ShowingOneHidesAndDeletesTheOther) {
    auto* first = new Popup(surface.get(), true, 0xFFFFFF);
    first->SetRectangle(Rect{0, 0, 40, 40});
    NodeRef firstRef(first);
    first->Show(true);
    Popup second(surface.get(), false, 0x808080);
    second.SetRectangle(Rect{100, 60, 40, 40});
    second.Show(true);
    EXPECT_FALSE(firstRef.IsAlive());
    EXPECT_TRUE(second.IsShown());
    second.Show(false);
    EXPECT_EQ(Snapshot(), before);
}

TEST_F(OverlayTest, DeactivatingTheSurfaceHidesOverlaysWithoutSkippingASibling) {
    auto* doomed = new Popup(surface.get(), true, 0xFFFFFF);
    doomed->SetRectangle(Rect{0, 0, 40, 40});
    NodeRef ref(doomed);
    Probe probe;
    probe.SetParent(surface.get());
    doomed->Show(true);
    probe.activity.clear();
    page.activity.clear();
    surface->SetActive(false);
    EXPECT_FALSE(ref.IsAlive());
    EXPECT_EQ(probe.activity, (std::vector<bool>{false}));
    EXPECT_EQ(page.activity, (std::vector<bool>{false}));
    EXPECT_EQ(Snapshot(), before);
    EXPECT_TRUE(surface->CheckInvariants());
    probe.Detach();
}

TEST_F(OverlayTest, FocusLeavesThePageWhileShownAndComesBack) {
    surface->FocusChild(&page);
    ASSERT_EQ(surface->FocusedNode(), &page);
    Popup popup(surface.get(), false, 0xFFFFFF);
    popup.SetRectangle(Rect{20, 30, 70, 40});
    popup.Show(true);
    EXPECT_NE(surface->FocusedNode(), &page);
    popup.Focus();
    EXPECT_EQ(surface->FocusedNode(), &popup);
    popup.Show(false);
    // A hidden overlay keeps no focus (it would swallow the keys).
    EXPECT_EQ(surface->FocusedNode(), &page);
    EXPECT_TRUE(surface->CheckInvariants());
}

TEST_F(OverlayTest, HitsOnlyInsideWhileShown) {
    Popup popup(surface.get(), false, 0xFFFFFF);
    popup.SetRectangle(Rect{20, 30, 70, 40});
    EXPECT_FALSE(popup.HitTest(Rect{25, 35, 1, 1}));
    popup.Show(true);
    EXPECT_TRUE(popup.HitTest(Rect{25, 35, 1, 1}));
    EXPECT_FALSE(popup.HitTest(Rect{90, 35, 1, 1}));
    EXPECT_FALSE(popup.HitTest(Rect{19, 29, 1, 1}));
    Rect r;
    EXPECT_TRUE(popup.GetRect(r));
    EXPECT_EQ(r, (Rect{20, 30, 70, 40}));
    EXPECT_EQ(popup.ZOrder(), -128);
    EXPECT_TRUE(popup.IsModal());
    popup.Show(false);
    EXPECT_FALSE(popup.GetRect(r));
}

TEST_F(OverlayTest, DestroyingAShownOverlayRestoresTheScreen) {
    {
        Popup popup(surface.get(), false, 0xFFFFFF);
        popup.SetRectangle(Rect{20, 30, 70, 40});
        popup.Show(true);
    }
    EXPECT_EQ(Snapshot(), before);
    EXPECT_TRUE(surface->CheckInvariants());
}

class Shifted : public Widget {
public:
    void GetTransform(Transform& out, bool) const override { out = Transform::Translation(30, 20); }
};

TEST_F(OverlayTest, PlacementAndClientAreaFollowTheNodesTransform) {
    Shifted panel;
    panel.SetParent(surface.get());
    Probe inner;
    inner.SetParent(&panel);
    Popup popup(surface.get(), false, 0xFFFFFF);
    popup.PlaceFrom(Rect{5, 5, 10, 10}, &inner, true);
    EXPECT_EQ(popup.Rectangle(), (Rect{35, 25, 10, 10}));
    Rect area;
    ASSERT_TRUE(popup.ClientAreaIn(area, &inner));
    EXPECT_EQ(area, (Rect{-30, -20, kW, kH}));
    inner.Detach();
    panel.Detach();
}

}  // namespace

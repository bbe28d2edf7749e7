// The simple widgets together in one window, as a reader window holds them: the position bar
// docked at the bottom, the cover in the rest, a status panel laid over it; then the whole
// turned a quarter by the display surface, and a tap on the turned cover leaving it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "graphics/core/display_surface.h"
#include "graphics/widgets/cover_view.h"
#include "graphics/widgets/position_bar.h"
#include "graphics/widgets/status_panel.h"
#include "support/graphics/fake_controllers.h"
#include "support/graphics/surface_window.h"

namespace {

using fvt::test::FakeDocumentController;
using fvt::test::FakeReaderController;

constexpr int kW = 240;
constexpr int kH = 280;

class WidgetsWindowTest : public fvt::test::SurfaceWindowTest {
protected:
    void SetUp() override {
        SurfaceWindowTest::SetUp();
        OpenSurface(kW, kH);
        controller.document = &document;
        controller.surface = surface.get();
        document.length = 20000;
        document.pageStart = 12000;
        document.pageNumber = 42;
        bar = std::make_unique<PositionBar>(&controller);
        bar->SetVisible(true);
        cover = std::make_unique<CoverView>(surface.get(), &controller);
        cover->SetParent(surface.get());
        cover->SetBackgroundColor(0);
        // Magenta stays exact in 16-bit buffers too.
        cover->SetPicture(new fvt::test::SolidPicture(300, 400, 0xFF00FF));
        timers = std::make_unique<TimerList>();
        panel = std::make_unique<StatusPanel>(timers.get());
        panel->SetParent(surface.get());
        panel->SetTextStyle(FontStyle{-12, 0, 1}, false);
        panel->SetBackgroundColor(0x202020, false);
        panel->SetTextColor(0xFFFFFF, false);
        panel->SetFirstLabel(String(u"Cover"), false);
        panel->SetSecondLabel(String(u"Chapter 3"), false);
        panel->SetProgress(60, 100, false);
        Layout();
    }
    void TearDown() override {
        panel.reset();
        cover.reset();
        bar.reset();
        display.reset();
        SurfaceWindowTest::TearDown();
        timers.reset();
    }
    // The surface's size (turned for quarter turns) goes to the bar first, the rest to the
    // cover; the panel lies over the cover's top.
    void Layout() {
        Size size{kW, kH};
        if (display && (display->Orientation() == 1 || display->Orientation() == 2))
            size = Size{kH, kW};
        Rect rest, out;
        bar->AdjustRect(rest, Rect{0, 0, size.width, size.height});
        cover->AdjustRect(out, rest);
        panel->AdjustRect(out, Rect{20, 10, size.width - 40, 0});
    }
    void Shot(const char* name) {
        if (const char* dir = std::getenv("FOLIVANT_WIDGET_SHOTS"))
            fvt::SaveScreenshot(std::string(dir) + "/" + name + ".png");
    }
    FakeDocumentController document;
    FakeReaderController controller;
    std::unique_ptr<TimerList> timers;
    std::unique_ptr<PositionBar> bar;
    std::unique_ptr<CoverView> cover;
    std::unique_ptr<StatusPanel> panel;
    std::unique_ptr<DisplaySurface> display;
};

TEST_F(WidgetsWindowTest, BarCoverAndPanelShareTheWindow) {
    Repaint();
    panel->Redraw(nullptr);  // over the cover, as a view's panel is
    Shot("widgets_upright");
    EXPECT_EQ(bar->GetStrip(), (Rect{0, kH - 12, kW, 12}));
    EXPECT_EQ(cover->Rectangle(), (Rect{0, 0, kW, kH - 12}));
    // 300 x 400 fitted into 240 x 268: the height decides.
    EXPECT_EQ(cover->View().scaledHeight, kH - 12);
    EXPECT_EQ(cover->View().scaledWidth, 300 * (kH - 12) / 400);
    const int left = cover->View().offsetX;
    EXPECT_EQ(Pixel(left - 1, 150), 0x000000u);  // the frame
    EXPECT_EQ(Pixel(left + 5, 150), 0xFF00FFu);  // the picture
    EXPECT_EQ(Pixel(2, 150), 0x000000u);         // the background
    EXPECT_EQ(Pixel(22, 12), 0x202020u);         // the panel
    PositionBar::Geometry g = bar->ComputeGeometry();
    EXPECT_EQ(Pixel(g.Map(6000), kH - 12 + 6), 0x9F9FFFu);  // read
    EXPECT_EQ(Pixel(g.Map(18000), kH - 12 + 6), 0xE9E9E9u);  // unread
}

TEST_F(WidgetsWindowTest, TurnedAQuarterAndTappedOnTheCover) {
    display = std::make_unique<DisplaySurface>();
    display->Attach(surface.get(), &controller, kW, kH, false);
    display->OnCommand(78);
    ASSERT_EQ(display->Orientation(), 1);
    Layout();
    surface->InvalidateRect(nullptr);
    fvt::RunUntilIdle();
    Shot("widgets_turned");
    EXPECT_EQ(cover->Rectangle(), (Rect{0, 0, kH, kW - 12}));
    // The bar's strip runs down the screen's side.
    Rect strip = display->MapRect(bar->GetStrip(), false);
    EXPECT_EQ(strip.width, 12);
    EXPECT_EQ(strip.height, kH);
    Point centre = display->MapPoint(Point{kH / 2, (kW - 12) / 2}, false);
    EXPECT_EQ(Pixel(centre.x, centre.y), 0xFF00FFu);
    fvt::Tap(work.x + centre.x, work.y + centre.y);
    fvt::RunUntilIdle();
    EXPECT_EQ(document.calls, (std::vector<std::string>{"refresh"}));
}

}  // namespace

// The rotatable display surface in a host window: the page drawn turned through the four
// orientations pixel for pixel, page and screen mapping of points, rectangles, keys and taps,
// auto-scroll on the virtual clock with the idle time-out and backlight always given back,
// the partial copies while scrolling, and a back buffer that cannot be made.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/platform_helpers.h"
#include "graphics/core/display_surface.h"
#include "graphics/core/drawing_surface.h"
#include "support/graphics/fake_controllers.h"
#include "support/graphics/surface_window.h"

namespace {

using fvt::test::FakeDocumentController;
using fvt::test::FakeReaderController;

constexpr int kClientW = 160;
constexpr int kClientH = 120;

// A page with marks that tell every corner apart; it reads its size from the display surface.
class PageNode : public fvt::test::PlainNode {
public:
    explicit PageNode(const DisplaySurface* display) : display_(display) {}
    static uint32_t Colour(int x, int y, int w, int h) {
        if (x < 20 && y < 10) return 0x0000FF;                    // red
        if (x >= w - 10 && y >= h - 30) return 0xFF0000;          // blue
        if (x >= 30 && x < 35 && y >= 40 && y < 45) return 0x00FF00;  // green
        return 0xFFFFFF;
    }
    void Redraw(const Rect*) override {
        DrawScope scope(this);
        if (!scope) return;
        GraphicsContext& gc = *scope.Context();
        Size s = display_->PageSize();
        auto fill = [&](Rect r, uint32_t c) {
            gc.SetPenColor(c);
            gc.SetBrushColor(c);
            gc.FillRect(r);
        };
        fill(Rect{0, 0, s.width, s.height}, 0xFFFFFF);
        fill(Rect{0, 0, 20, 10}, 0x0000FF);
        fill(Rect{s.width - 10, s.height - 30, 10, 30}, 0xFF0000);
        fill(Rect{30, 40, 5, 5}, 0x00FF00);
        ++draws;
    }
    bool HandleEvent(InputEvent& e) override {
        if (e.IsPen()) pens.push_back(e.point);
        codes.push_back(e.Code());
        return true;
    }
    int draws = 0;
    std::vector<Point> pens;
    std::vector<uint32_t> codes;

private:
    const DisplaySurface* display_;
};

// Screen colour (0xRRGGBB) of a colour r | g << 8 | b << 16.
uint32_t OnScreen(uint32_t c) {
    return (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF);
}

int32_t IdleTimeout() {
    return ExchangeSystemSetting(-1);
}

class DisplaySurfaceTest : public fvt::test::SurfaceWindowTest {
protected:
    void SetUp() override {
        SurfaceWindowTest::SetUp();
        display = std::make_unique<DisplaySurface>();
        DisplaySurface* d = display.get();
        OpenSurface(kClientW, kClientH, [d](HWND, UINT msg, WPARAM w, LPARAM, bool& handled) -> LRESULT {
            handled = msg == WM_TIMER && w == DisplaySurface::kTimerId;
            if (handled) d->ScrollStep();
            return 0;
        }, false);
        page = std::make_unique<PageNode>(display.get());
        page->SetParent(surface.get());
        document.view = Rect{0, 0, kClientW, 100};
        controller.document = &document;
        controller.surface = surface.get();
        display->Attach(surface.get(), &controller, kClientW, kClientH, false);
        fvt::RunUntilIdle();
    }
    void TearDown() override {
        page.reset();
        display.reset();
        SurfaceWindowTest::TearDown();
    }
    // Every screen pixel shows the page pixel the display surface maps it to.
    void ExpectTurnedPage() {
        Size s = display->PageSize();
        int wrong = 0;
        for (int y = 0; y < kClientH; ++y)
            for (int x = 0; x < kClientW; ++x) {
                Point p = display->MapPoint(Point{x, y}, true);
                if (Pixel(x, y) != OnScreen(PageNode::Colour(p.x, p.y, s.width, s.height))) {
                    if (wrong == 0)
                        ADD_FAILURE() << "first at screen " << x << "," << y << " page " << p.x
                                      << "," << p.y << " is " << std::hex << Pixel(x, y);
                    ++wrong;
                }
            }
        EXPECT_EQ(wrong, 0) << "orientation " << display->Orientation();
    }
    void Tick(int times = 1) {
        for (int i = 0; i < times; ++i) {
            fvt::AdvanceClock(display->ScrollPeriod());
            fvt::RunUntilIdle();
        }
    }
    bool LogHas(const std::string& line) {
        for (const std::string& s : fvt::ShellLog())
            if (s == line) return true;
        return false;
    }

    FakeDocumentController document;
    FakeReaderController controller;
    std::unique_ptr<DisplaySurface> display;
    std::unique_ptr<PageNode> page;
};

// ---- Rotation ---------------------------------------------------------------------------------

TEST_F(DisplaySurfaceTest, PageIsShownTurnedInEveryOrientation) {
    const uint32_t commands[] = {78, 77, 76, 75};
    const int orientations[] = {1, 2, 3, 0};
    for (int i = 0; i < 4; ++i) {
        display->OnCommand(commands[i]);
        fvt::RunUntilIdle();
        ASSERT_EQ(display->Orientation(), orientations[i]);
        EXPECT_EQ(controller.orientationSetting, orientations[i]);
        Size s = display->PageSize();
        bool quarter = orientations[i] == 1 || orientations[i] == 2;
        EXPECT_EQ(s, quarter ? (Size{kClientH, kClientW}) : (Size{kClientW, kClientH}));
        if (orientations[i] != 0) ExpectTurnedPage();
    }
    EXPECT_FALSE(display->HasBackBuffer());  // upright needs none
}

TEST_F(DisplaySurfaceTest, RotateCommandCyclesThroughTheOrientations) {
    std::vector<int> seen;
    for (int i = 0; i < 4; ++i) {
        display->OnCommand(Cmd::kRotate);
        seen.push_back(display->Orientation());
    }
    EXPECT_EQ(seen, (std::vector<int>{2, 3, 1, 0}));
    fvt::RunUntilIdle();
    ExpectTurnedPage();
}

TEST_F(DisplaySurfaceTest, WholePageMapsToWholeScreen) {
    for (uint32_t command : {78u, 77u, 76u}) {
        display->OnCommand(command);
        Size s = display->PageSize();
        EXPECT_EQ(display->MapRect(Rect{0, 0, s.width, s.height}, false),
                  (Rect{0, 0, kClientW, kClientH}));
        EXPECT_EQ(display->MapRect(Rect{0, 0, kClientW, kClientH}, true),
                  (Rect{0, 0, s.width, s.height}));
        Point corner = display->MapPoint(Point{0, 0}, false);
        Point back = display->MapPoint(corner, true);
        EXPECT_EQ(back, Point{});
        Transform t;
        display->GetTransform(t);
        EXPECT_EQ(Transform::MapPoint(t, Point{0, 0}), corner);
    }
    display->OnCommand(78);  // orientation 1: the page's top-left is at the screen's bottom-left
    EXPECT_EQ(display->MapPoint(Point{0, 0}, false), (Point{0, kClientH - 1}));
    EXPECT_EQ(display->MapVector(Point{0, -5}, false), (Point{-5, 0}));
}

TEST_F(DisplaySurfaceTest, ResizedWindowGivesATurnedPageSizeAndTellsTheController) {
    display->OnCommand(78);
    controller.popupRects.clear();
    display->Resize(100, 90);
    EXPECT_EQ(display->PageSize(), (Size{90, 100}));
    EXPECT_EQ(controller.popupRects, (std::vector<Rect>{Rect{0, 0, 90, 100}}));
    EXPECT_EQ(display->BackBuffer().size, (Size{90, 100}));
    display->Resize(100, 90);
    EXPECT_EQ(controller.popupRects.size(), 1u);  // unchanged: nothing to tell
    EXPECT_EQ(display->MapRect(Rect{0, 0, 90, 100}, false), (Rect{0, 0, 100, 90}));
}

TEST_F(DisplaySurfaceTest, TapsReachThePageInPageCoordinates) {
    display->OnCommand(78);
    fvt::RunUntilIdle();
    Point screen = display->MapPoint(Point{31, 42}, false);
    fvt::Tap(work.x + screen.x, work.y + screen.y);
    fvt::RunUntilIdle();
    ASSERT_FALSE(page->pens.empty());
    EXPECT_EQ(page->pens.front(), (Point{31, 42}));
}

TEST_F(DisplaySurfaceTest, RotationRefusedByTheCommandStatesWaitsForTheSettings) {
    controller.rotationAllowed = false;
    display->OnCommand(76);
    EXPECT_EQ(display->Orientation(), 0);
    EXPECT_EQ(display->RequestedOrientation(), 3);
    display->OverlayCommit();
    EXPECT_EQ(display->Orientation(), 0);
    controller.rotationAllowed = true;
    display->OverlayCommit();
    EXPECT_EQ(display->Orientation(), 3);
    fvt::RunUntilIdle();
    ExpectTurnedPage();
}

TEST_F(DisplaySurfaceTest, BackBufferFailureFallsBackUprightAndSaysSoAfterwards) {
    DisplaySurface::FailBuffersAfterForTesting(0);
    display->OnCommand(77);
    DisplaySurface::FailBuffersAfterForTesting(-1);
    EXPECT_EQ(display->Orientation(), 0);
    EXPECT_EQ(display->PageSize(), (Size{kClientW, kClientH}));
    EXPECT_EQ(controller.messages, (std::vector<int32_t>{5034}));
    EXPECT_EQ(controller.orientationSetting, 0);
    EXPECT_TRUE(display->IsActive());
}

TEST_F(DisplaySurfaceTest, InactiveSurfaceOnlyRemembersTheRequestedOrientation) {
    display->OnCommand(78);
    controller.surfaceAllowed = false;
    display->OverlayCommit();
    EXPECT_FALSE(display->IsActive());
    EXPECT_EQ(display->Orientation(), DisplaySurface::kInactive);
    EXPECT_FALSE(display->HasBackBuffer());
    EXPECT_EQ(display->MapRect(Rect{1, 2, 3, 4}, false), (Rect{1, 2, 3, 4}));
    display->OnCommand(77);
    EXPECT_EQ(display->RequestedOrientation(), 2);
    EXPECT_EQ(display->Orientation(), DisplaySurface::kInactive);
    controller.surfaceAllowed = true;
    display->OverlayCommit();
    EXPECT_TRUE(display->IsActive());
    EXPECT_EQ(display->Orientation(), 2);
    fvt::RunUntilIdle();
    ExpectTurnedPage();
}

// ---- Keys -------------------------------------------------------------------------------------

TEST_F(DisplaySurfaceTest, DirectionKeysFollowTheOrientation) {
    EXPECT_EQ(display->MapDirectionKey(1), 1u);
    display->OnCommand(76);  // 3
    EXPECT_EQ(display->MapDirectionKey(1), 2u);
    EXPECT_EQ(display->MapDirectionKey(3 | kKeyShift), 4u | kKeyShift);
    EXPECT_EQ(display->MapDirectionKey(9), 2u);
    display->OnCommand(78);  // 1
    EXPECT_EQ(display->MapDirectionKey(9), 2u);
    EXPECT_EQ(display->MapDirectionKey(1), 4u);
    EXPECT_EQ(display->MapDirectionKey(0x1234), 0x234u);
    EXPECT_EQ(display->MapDirectionKey(11 | kKeyCtrl), 11u | kKeyCtrl);
    display->OnCommand(77);  // 2
    EXPECT_EQ(display->MapDirectionKey(4), 1u);
}

TEST_F(DisplaySurfaceTest, PickForDirectionAgreesWithTheKeyMap) {
    const int orientations[] = {0, 1, 2, 3};
    const uint32_t commands[] = {75, 78, 77, 76};
    for (int i = 0; i < 4; ++i) {
        display->OnCommand(commands[i]);
        ASSERT_EQ(display->Orientation(), orientations[i]);
        for (uint32_t code : {1u, 2u, 3u, 4u, 9u, 10u}) {
            uint32_t mapped = display->MapDirectionKey(code);
            uint32_t picked = display->PickForDirection(code, 1, 2, 3, 4, 9, 10);
            uint32_t want = code <= 4 ? picked : (picked == 9 ? 1u : 2u);
            EXPECT_EQ(want, mapped) << "code " << code << " orientation " << i;
        }
        EXPECT_EQ(display->PickForDirection(5, 1, 2, 3, 4, 9, 10), 0u);
    }
}

TEST(DisplaySurfaceTables, NextOrientationAndCommands) {
    EXPECT_EQ(DisplaySurface::NextOrientation(0), 2);
    EXPECT_EQ(DisplaySurface::NextOrientation(1), 0);
    EXPECT_EQ(DisplaySurface::NextOrientation(2), 3);
    EXPECT_EQ(DisplaySurface::NextOrientation(3), 1);
    EXPECT_EQ(DisplaySurface::NextOrientation(255), 255);
    EXPECT_EQ(DisplaySurface::CommandForOrientation(0), 75u);
    EXPECT_EQ(DisplaySurface::CommandForOrientation(1), 78u);
    EXPECT_EQ(DisplaySurface::CommandForOrientation(2), 77u);
    EXPECT_EQ(DisplaySurface::CommandForOrientation(3), 76u);
    EXPECT_EQ(DisplaySurface::CommandForOrientation(9), 0xFFFFFFu);
    DisplaySurface detached;
    EXPECT_EQ(detached.MapDirectionKey(1), 1u);
    detached.OnCommand(79);  // nothing to scroll
    EXPECT_FALSE(detached.IsScrolling());
}

// ---- Auto-scroll ------------------------------------------------------------------------------

TEST_F(DisplaySurfaceTest, AutoScrollStepsThePageAndScrollsOnTheClock) {
    const int32_t idle = IdleTimeout();
    display->OnCommand(Cmd::kStartAutoScroll);
    ASSERT_TRUE(display->IsScrolling());
    EXPECT_EQ(IdleTimeout(), DisplaySurface::kScrollIdleTimeout);
    EXPECT_TRUE(LogHas("power BKL1: 0 1"));
    EXPECT_TRUE(display->HasBackBuffer());
    EXPECT_EQ(display->RemainingScroll(), 100);
    Tick();
    EXPECT_EQ(document.calls, (std::vector<std::string>{"step 2 0 255"}));
    EXPECT_EQ(display->RemainingScroll(), 99);
    Tick(4);
    EXPECT_EQ(display->RemainingScroll(), 95);
    display->OnCommand(Cmd::kStopAutoScroll);
    EXPECT_FALSE(display->IsScrolling());
    EXPECT_FALSE(display->IsTimerRunning());
    EXPECT_EQ(IdleTimeout(), idle);
    EXPECT_TRUE(LogHas("power released"));
    Tick(3);
    EXPECT_EQ(document.calls.size(), 1u);
}

TEST_F(DisplaySurfaceTest, ScrollTurnsToTheNextPageWhenThePageIsThrough) {
    display->OnCommand(Cmd::kStartAutoScroll);
    // Faster steps: period down to 1, then the step grows.
    InputEvent faster = InputEvent::Key(kKeyFaster);
    for (int i = 0; i < 12; ++i) ASSERT_TRUE(display->OnEvent(faster));
    EXPECT_EQ(display->ScrollPeriod(), 1);
    EXPECT_GT(display->ScrollStepPixels(), 1);
    EXPECT_LE(display->ScrollStepPixels(), kClientH / 2);
    for (int i = 0; i < 200 && document.calls.size() < 2; ++i) Tick();
    EXPECT_EQ(document.calls.size(), 2u);  // the first page step, then the next page
    EXPECT_EQ(display->RemainingScroll(), 100);
    display->OnCommand(Cmd::kStopAutoScroll);
}

// A page whose lines end 12 pixels above the view's bottom is followed by the next page's first
// line, not by the blank rest of the view: the next page scrolls in from right below its last
// line, and stopping keeps the place by the distance actually scrolled.
TEST_F(DisplaySurfaceTest, TheNextPageFollowsTheLastLineOfThePageBefore) {
    document.spans = {{2, 88}, {4, 96}, {4, 96}};
    display->OnCommand(Cmd::kStartAutoScroll);
    EXPECT_EQ(display->RemainingScroll(), 100);
    Tick();
    // 88 - 4 to go, less the tick's step.
    EXPECT_EQ(display->RemainingScroll(), 83);
    Tick(3);
    display->OnCommand(Cmd::kStopAutoScrollKeep);
    EXPECT_EQ(document.calls.back(), "scroll 4 -2");
    // Without the lines' places the pages stand a view apart, as before.
    document.spans.clear();
    document.calls.clear();
    display->OnCommand(Cmd::kStartAutoScroll);
    Tick();
    EXPECT_EQ(display->RemainingScroll(), 99);
    display->OnCommand(Cmd::kStopAutoScroll);
}

TEST_F(DisplaySurfaceTest, EndOfBookStopsTheScrollAndRestoresTheIdleTimeout) {
    const int32_t idle = IdleTimeout();
    document.stepsLeft = 0;
    display->OnCommand(Cmd::kStartAutoScroll);
    Tick();
    EXPECT_FALSE(display->IsScrolling());
    EXPECT_EQ(IdleTimeout(), idle);
    EXPECT_FALSE(display->IsTimerRunning());
}

TEST_F(DisplaySurfaceTest, ToggleTwiceAndStartTwiceKeepTheUsersIdleTimeout) {
    const int32_t idle = IdleTimeout();
    display->OnCommand(Cmd::kToggleAutoScroll);
    EXPECT_TRUE(display->IsScrolling());
    display->OnCommand(Cmd::kToggleAutoScroll);
    EXPECT_FALSE(display->IsScrolling());
    EXPECT_EQ(IdleTimeout(), idle);
    display->OnCommand(Cmd::kStartAutoScroll);
    display->OnCommand(Cmd::kStartAutoScroll);
    EXPECT_EQ(display->SavedIdleTimeout(), idle);
    display->OnCommand(Cmd::kStopAutoScroll);
    EXPECT_EQ(IdleTimeout(), idle);
}

TEST_F(DisplaySurfaceTest, DetachAndDestructionDuringScrollGiveEverythingBack) {
    const int32_t idle = IdleTimeout();
    display->OnCommand(Cmd::kStartAutoScroll);
    display->Detach();
    EXPECT_EQ(IdleTimeout(), idle);
    EXPECT_TRUE(LogHas("power released"));
    EXPECT_EQ(surface->Display(), nullptr);
    display->Attach(surface.get(), &controller, kClientW, kClientH, false);
    display->OnCommand(Cmd::kStartAutoScroll);
    fvt::ClearShellLog();
    display.reset();
    EXPECT_EQ(IdleTimeout(), idle);
    EXPECT_TRUE(LogHas("power released"));
    EXPECT_EQ(surface->Display(), nullptr);
}

TEST_F(DisplaySurfaceTest, OrientationChangeStopsTheScroll) {
    const int32_t idle = IdleTimeout();
    display->OnCommand(Cmd::kStartAutoScroll);
    display->OnCommand(78);
    EXPECT_FALSE(display->IsScrolling());
    EXPECT_EQ(IdleTimeout(), idle);
}

TEST_F(DisplaySurfaceTest, NoScrollWithoutADocumentOrAView) {
    const int32_t idle = IdleTimeout();
    controller.document = nullptr;
    display->OnCommand(Cmd::kStartAutoScroll);
    EXPECT_FALSE(display->IsScrolling());
    controller.document = &document;
    document.view = Rect{0, 0, 100, 0};
    display->OnCommand(Cmd::kStartAutoScroll);
    EXPECT_FALSE(display->IsScrolling());
    EXPECT_EQ(IdleTimeout(), idle);
}

TEST_F(DisplaySurfaceTest, SpeedKeysStayWithinTheirBounds) {
    display->OnCommand(Cmd::kStartAutoScroll);
    InputEvent slower = InputEvent::Key(kKeySlower);
    for (int i = 0; i < 30; ++i) display->OnEvent(slower);
    EXPECT_EQ(display->ScrollPeriod(), DisplaySurface::kMaxPeriod);
    EXPECT_EQ(display->ScrollStepPixels(), 1);
    InputEvent faster = InputEvent::Key(kKeyFaster);
    for (int i = 0; i < 200; ++i) display->OnEvent(faster);
    EXPECT_EQ(display->ScrollPeriod(), 1);
    EXPECT_EQ(display->ScrollStepPixels(), kClientH / 2);
    for (int i = 0; i < 200; ++i) display->OnEvent(slower);
    EXPECT_EQ(display->ScrollStepPixels(), 1);
    EXPECT_EQ(display->ScrollPeriod(), DisplaySurface::kMaxPeriod);
    display->OnCommand(Cmd::kStopAutoScroll);
}

TEST_F(DisplaySurfaceTest, KeyRowsReadTheAutoScrollColumnAndOtherKeysStopKeepingThePosition) {
    display->OnCommand(Cmd::kStartAutoScroll);
    Tick(6);
    const int32_t period = display->ScrollPeriod();
    fvt::Key(VK_UP);  // column 3 of the up row: faster
    fvt::RunUntilIdle();
    EXPECT_LT(display->ScrollPeriod(), period);
    EXPECT_TRUE(display->IsScrolling());
    const int32_t scrolled = 100 - display->RemainingScroll();
    fvt::Key(VK_RETURN);  // column 3 of Enter is a command, not a speed key
    fvt::RunUntilIdle();
    EXPECT_FALSE(display->IsScrolling());
    EXPECT_EQ(document.calls.back(), "scroll " + std::to_string(scrolled) + " -2");
    // Stopped, the surface lets keys pass again.
    size_t calls = document.calls.size();
    fvt::Key(VK_DOWN);
    fvt::RunUntilIdle();
    EXPECT_FALSE(display->IsScrolling());
    EXPECT_EQ(document.calls.size(), calls);
}

TEST_F(DisplaySurfaceTest, CopiesWhileScrollingArePartialUntilThePageIsThrough) {
    std::vector<bool> partialAtStep;
    document.onStep = [&] { partialAtStep.push_back(display->IsPartial()); };
    display->OnCommand(Cmd::kStartAutoScroll);
    Tick(3);
    display->InvalidateRect(nullptr, false);
    display->FlushDirty();
    EXPECT_TRUE(display->IsPartial());
    InputEvent faster = InputEvent::Key(kKeyFaster);
    for (int i = 0; i < 40; ++i) display->OnEvent(faster);
    for (int i = 0; i < 50 && partialAtStep.size() < 2; ++i) Tick();
    // The page was through before the next one was asked for: the whole page was copied.
    EXPECT_EQ(partialAtStep, (std::vector<bool>{false, false}));
    display->OnCommand(Cmd::kStopAutoScroll);
    fvt::RunUntilIdle();
    // Upright again and unbuffered: the window shows the page.
    EXPECT_EQ(Pixel(5, 5), OnScreen(0x0000FF));
    EXPECT_EQ(Pixel(kClientW - 5, kClientH - 5), OnScreen(0xFF0000));
}

TEST_F(DisplaySurfaceTest, ScrolledRowsShowTheNextPageBelowTheOld) {
    display->OnCommand(76);  // half turn, so the back buffer is kept
    document.onStep = [this] { surface->InvalidateRect(nullptr); };
    page->draws = 0;
    display->OnCommand(Cmd::kStartAutoScroll);
    Tick(11);  // the page step, then ten rows of it
    EXPECT_EQ(display->RemainingScroll(), 89);
    EXPECT_GE(page->draws, 1);
    // Page row 99 - 10 .. 99 shows the new page's top rows: its red mark at page x < 20.
    Point redOnScreen = display->MapPoint(Point{5, 95}, false);
    EXPECT_EQ(Pixel(redOnScreen.x, redOnScreen.y), OnScreen(0x0000FF));
    display->OnCommand(Cmd::kStopAutoScroll);
}

}  // namespace

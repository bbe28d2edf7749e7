// The drawing surface in a host window on the headless device: painting with and without the
// paint buffer, drawing order, focus and the window's focus messages, pen routing and capture,
// key rows read in the column of the input state, and the display-surface link.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/platform_helpers.h"
#include "graphics/core/drawing_surface.h"
#include "graphics/widgets/overlay_widget.h"
#include "support/graphics/surface_host.h"
#include "support/platform/driver_script.h"

namespace {

using fvt::test::WindowTest;

constexpr uint32_t kRed = 0x0000FF;   // r | g << 8 | b << 16
constexpr uint32_t kBlue = 0xFF0000;

struct Seen {
    uint32_t code;
    Point point;
};

class Box : public Node {
public:
    Box(Rect r, uint32_t colour, int32_t z = 0) : rect(r), colour(colour), z(z) {}
    Rect& AdjustRect(Rect& out, const Rect& in) override {
        out = in;
        adjusted = in;
        return out;
    }
    int32_t ZOrder() const override { return z; }
    bool HitTest(const Rect& area) override { return Rect::Intersects(rect, area); }
    bool GetRect(Rect& out) override {
        out = rect;
        return true;
    }
    void Redraw(const Rect*) override {
        DrawScope scope(this);
        if (!scope) return;
        scope.Context()->SetBrushColor(colour);
        scope.Context()->FillRect(rect);
        ++draws;
    }
    bool HandleEvent(InputEvent& e) override {
        seen.push_back(Seen{e.Code(), e.point});
        if (onEvent) return onEvent(e);
        return takes;
    }
    Rect rect;
    uint32_t colour;
    int32_t z;
    bool takes = true;
    int draws = 0;
    Rect adjusted{};
    std::vector<Seen> seen;
    std::function<bool(InputEvent&)> onEvent;
};

class Panel : public Widget {
public:
    explicit Panel(Point offset) : offset(offset) {}
    void GetTransform(Transform& out, bool) const override {
        out = Transform::Translation(offset.x, offset.y);
    }
    bool HandleEvent(InputEvent& e) override {
        seen.push_back(Seen{e.Code(), e.point});
        return takes;
    }
    Point offset;
    bool takes = false;
    std::vector<Seen> seen;
};

class FakeDisplay : public DisplayLink {
public:
    bool IsActive() const override { return active; }
    bool HasBackBuffer() const override { return buffer.dc != nullptr; }
    HDC BufferDC() override { return active ? buffer.dc : nullptr; }
    void GetTransform(Transform& out) const override { out = Transform::Translation(7, 0); }
    Rect MapRect(const Rect& r, bool toPage) const override {
        Rect m = r;
        m.x += toPage ? -7 : 7;
        return m;
    }
    int Orientation() const override { return orientation; }
    bool IsScrolling() const override { return scrolling; }
    void InvalidateRect(const Rect* r, bool fromDrawing) override {
        changed.push_back(r ? *r : Rect{-1, -1, -1, -1});
        lastFromDrawing = fromDrawing;
    }
    void InvalidatePage(const Rect* r) override { pages.push_back(r ? *r : Rect{}); }
    void FlushDirty() override { ++flushes; }
    void Repaint(const Rect*) override {}
    bool OnEvent(InputEvent& e) override {
        offered.push_back(e.Code());
        return takesEvents;
    }
    void OnCommand(uint32_t code) override { commands.push_back(code); }
    void Resize(int32_t, int32_t) override {}
    void OverlayCommit() override {}

    bool active = true;
    bool scrolling = false;
    bool takesEvents = false;
    bool lastFromDrawing = false;
    int orientation = 0;
    int flushes = 0;
    OffscreenBitmap buffer;
    std::vector<Rect> changed, pages;
    std::vector<uint32_t> offered, commands;
};

class DrawingSurfaceTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        GdiUseSyntheticFonts(true);
        ASSERT_TRUE(Screen::GetWorkArea(work));
        hwnd = Make(work.x, work.y, 240, 200);
        ASSERT_NE(hwnd, nullptr);
        surface = std::make_unique<DrawingSurface>(nullptr);
        surface->SetWindow(hwnd);
        On(hwnd, fvt::test::SurfaceHost(surface.get()));
    }
    void TearDown() override {
        Unhost();
        surface.reset();
        GdiUseSyntheticFonts(false);
        WindowTest::TearDown();
    }
    // The host stops forwarding (the surface may be gone).
    void Unhost() {
        On(hwnd, [](HWND, UINT, WPARAM, LPARAM, bool& handled) -> LRESULT {
            handled = false;
            return 0;
        });
    }
    void Key(UINT vk) {
        fvt::Key(vk);
        fvt::RunUntilIdle();
    }
    void Repaint() {
        surface->InvalidateRect(nullptr);
        fvt::RunUntilIdle();
    }
    // Screen pixels and pen positions from client coordinates.
    uint32_t Pixel(int x, int y) { return ScreenPixel(work.x + x, work.y + y); }
    void Tap(int x, int y) {
        fvt::Tap(work.x + x, work.y + y);
        fvt::RunUntilIdle();
    }
    void PenDown(int x, int y) {
        fvt::PenDown(work.x + x, work.y + y);
        fvt::RunUntilIdle();
    }
    void PenMove(int x, int y) {
        fvt::PenMove(work.x + x, work.y + y);
        fvt::RunUntilIdle();
    }
    void PenUp(int x, int y) {
        fvt::PenUp(work.x + x, work.y + y);
        fvt::RunUntilIdle();
    }
    Rect work{};
    HWND hwnd = nullptr;
    std::unique_ptr<DrawingSurface> surface;
};

// ---- Painting ---------------------------------------------------------------------------------

TEST_F(DrawingSurfaceTest, PaintsTheTreeThroughThePaintBuffer) {
    Box box(Rect{10, 10, 20, 20}, kRed);
    box.SetParent(surface.get());
    Repaint();
    EXPECT_EQ(box.draws, 1);
    EXPECT_EQ(Pixel(15, 15), 0xFF0000u);  // the screen reads 0xRRGGBB
    EXPECT_TRUE(surface->DoubleBuffering());
}

TEST_F(DrawingSurfaceTest, PaintsDirectlyWithoutTheBuffer) {
    surface->SetDoubleBuffering(false);
    Box box(Rect{0, 0, 8, 8}, kBlue);
    box.SetParent(surface.get());
    Repaint();
    EXPECT_EQ(Pixel(3, 3), 0x0000FFu);
}

TEST_F(DrawingSurfaceTest, FailingPaintBufferSwitchesDoubleBufferingOffForGood) {
    Box box(Rect{0, 0, 8, 8}, kRed);
    box.SetParent(surface.get());
    DrawingSurface::FailNextPaintBufferForTesting();
    Repaint();
    EXPECT_FALSE(surface->DoubleBuffering());
    EXPECT_EQ(Pixel(3, 3), 0xFF0000u);
    box.colour = kBlue;
    Repaint();
    EXPECT_FALSE(surface->DoubleBuffering());
    EXPECT_EQ(Pixel(3, 3), 0x0000FFu);
}

TEST_F(DrawingSurfaceTest, ResizedWindowGetsANewPaintBufferAtTheNextPaint) {
    Box box(Rect{0, 0, 8, 8}, kRed);
    box.SetParent(surface.get());
    Repaint();
    EXPECT_EQ(surface->PaintBufferSize(), (Size{240, 200}));
    MoveWindow(hwnd, work.x, work.y, 100, 50, TRUE);
    Repaint();
    EXPECT_EQ(surface->PaintBufferSize(), (Size{100, 50}));
    EXPECT_EQ(Pixel(3, 3), 0xFF0000u);
}

TEST_F(DrawingSurfaceTest, LaterChildrenAreDrawnOnTop) {
    Box under(Rect{0, 0, 20, 20}, kRed, 5);
    Box over(Rect{10, 10, 20, 20}, kBlue, 1);
    over.SetParent(surface.get());
    under.SetParent(surface.get());
    Repaint();
    EXPECT_EQ(Pixel(5, 5), 0xFF0000u);
    EXPECT_EQ(Pixel(15, 15), 0x0000FFu);
}

TEST_F(DrawingSurfaceTest, OnlyTheUpdateAreaIsDrawn) {
    Box a(Rect{0, 0, 10, 10}, kRed), b(Rect{100, 100, 10, 10}, kBlue);
    a.SetParent(surface.get());
    b.SetParent(surface.get());
    Repaint();
    Rect area{0, 0, 20, 20};
    surface->InvalidateRect(&area);
    fvt::RunUntilIdle();
    EXPECT_EQ(a.draws, 2);
    EXPECT_EQ(b.draws, 1);
}

TEST_F(DrawingSurfaceTest, SizeChangesReachTheChildren) {
    Box a(Rect{0, 0, 10, 10}, kRed);
    a.SetParent(surface.get());
    MoveWindow(hwnd, work.x, work.y, 200, 100, TRUE);
    fvt::RunUntilIdle();
    EXPECT_EQ(a.adjusted, (Rect{0, 0, 200, 100}));
}

TEST_F(DrawingSurfaceTest, DrawScopeBracketsOnlyWithAContext) {
    Box loose(Rect{0, 0, 4, 4}, kRed);
    {
        DrawScope scope(&loose);
        EXPECT_FALSE(scope);
    }
    loose.SetParent(surface.get());
    {
        DrawScope scope(&loose);
        ASSERT_TRUE(scope);
        EXPECT_EQ(surface->DrawDepth(), 1);
    }
    EXPECT_EQ(surface->DrawDepth(), 0);
}

TEST_F(DrawingSurfaceTest, NestedDeferredDrawingDoesNotFlush) {
    FakeDisplay display;
    surface->AttachDisplaySurface(&display);
    surface->BeginDraw(true, nullptr);
    surface->BeginDraw(false, nullptr);
    surface->EndDraw();
    surface->EndDraw();
    EXPECT_EQ(display.flushes, 0);
    surface->BeginDraw(false, nullptr);
    surface->BeginDraw(true, nullptr);  // only an inner defer: the outermost end flushes
    surface->EndDraw();
    surface->EndDraw();
    EXPECT_EQ(display.flushes, 1);
    surface->AttachDisplaySurface(nullptr);
}

// ---- Focus ------------------------------------------------------------------------------------

TEST_F(DrawingSurfaceTest, FocusingANodeFocusesTheWindowWithoutRestoringTheOldNode) {
    Box a(Rect{0, 0, 5, 5}, kRed), b(Rect{5, 5, 5, 5}, kRed);
    a.SetParent(surface.get());
    b.SetParent(surface.get());
    HWND other = Make(0, 0, 10, 10);
    a.Focus();
    EXPECT_EQ(GetFocus(), hwnd);
    SetFocus(other);  // WM_KILLFOCUS: a is remembered
    EXPECT_FALSE(a.IsFocused());
    b.Focus();        // WM_SETFOCUS during FocusChild must not bring a back
    EXPECT_TRUE(b.IsFocused());
    EXPECT_FALSE(a.IsFocused());
    EXPECT_FALSE(surface->FocusInProgress());
}

TEST_F(DrawingSurfaceTest, FocusComingBackFromAnotherWindowRestoresTheNode) {
    Box a(Rect{0, 0, 5, 5}, kRed);
    a.SetParent(surface.get());
    HWND other = Make(0, 0, 10, 10);
    a.Focus();
    SetFocus(other);
    EXPECT_FALSE(a.IsFocused());
    SetFocus(hwnd);
    EXPECT_TRUE(a.IsFocused());
}

// ---- Pen --------------------------------------------------------------------------------------

TEST_F(DrawingSurfaceTest, TapReachesTheTopmostNodeInItsOwnCoordinates) {
    Panel panel(Point{100, 50});
    Box inside(Rect{0, 0, 20, 20}, kRed);
    Box beneath(Rect{100, 50, 20, 20}, kBlue, 9);
    beneath.SetParent(surface.get());
    panel.SetParent(surface.get());
    inside.SetParent(&panel);
    Tap(105, 57);
    ASSERT_EQ(inside.seen.size(), 2u);
    EXPECT_EQ(inside.seen[0].code, static_cast<uint32_t>(kPenDown));
    EXPECT_EQ(inside.seen[0].point, (Point{5, 7}));
    EXPECT_EQ(inside.seen[1].code, static_cast<uint32_t>(kPenUp));
    EXPECT_TRUE(beneath.seen.empty());
    EXPECT_EQ(surface->PenHolder(), nullptr);
}

TEST_F(DrawingSurfaceTest, UntakenPenDownClimbsToTheParent) {
    Panel panel(Point{0, 0});
    panel.takes = true;
    Box inside(Rect{0, 0, 20, 20}, kRed);
    inside.takes = false;
    panel.SetParent(surface.get());
    inside.SetParent(&panel);
    PenDown(3, 4);
    ASSERT_EQ(panel.seen.size(), 1u);
    EXPECT_EQ(surface->PenHolder(), &panel);
    EXPECT_EQ(GetCapture(), hwnd);
    PenUp(3, 4);
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(DrawingSurfaceTest, NodeHoldingThePenGetsEveryMoveAndTheUp) {
    Box a(Rect{0, 0, 20, 20}, kRed), b(Rect{50, 50, 20, 20}, kBlue);
    a.SetParent(surface.get());
    b.SetParent(surface.get());
    PenDown(5, 5);
    PenMove(55, 55);
    PenUp(56, 56);
    ASSERT_EQ(a.seen.size(), 3u);
    EXPECT_EQ(a.seen[1].code, static_cast<uint32_t>(kPenMove));
    EXPECT_EQ(a.seen[2].point, (Point{56, 56}));
    EXPECT_TRUE(b.seen.empty());
}

TEST_F(DrawingSurfaceTest, TapOnNothingIsNotTaken) {
    Box a(Rect{0, 0, 20, 20}, kRed);
    a.SetParent(surface.get());
    Tap(200, 200);
    EXPECT_TRUE(a.seen.empty());
    EXPECT_EQ(GetCapture(), nullptr);
}

// A shown pop-up is modal: a tap beside it is taken by the surface and reaches nothing beneath,
// while a tap on it goes to the node inside; once hidden, the page beneath takes taps again.
TEST_F(DrawingSurfaceTest, ShownModalPopUpKeepsThePenFromThePageBeneath) {
    Box page(Rect{0, 0, 240, 200}, kBlue);
    page.SetParent(surface.get());
    OverlayWidget popup(surface.get(), false, false);
    popup.SetRectangle(Rect{20, 20, 60, 40});
    Box row(Rect{20, 20, 60, 20}, kRed);
    row.SetParent(&popup);
    ASSERT_TRUE(popup.Show(true));

    // A tap beside it closes the pop-up and reaches nothing else.
    Tap(150, 150);
    EXPECT_TRUE(page.seen.empty());
    EXPECT_TRUE(row.seen.empty());
    EXPECT_EQ(surface->PenHolder(), nullptr);
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_FALSE(popup.IsShown());

    ASSERT_TRUE(popup.Show(true));
    Tap(30, 25);
    ASSERT_EQ(row.seen.size(), 2u);
    EXPECT_TRUE(page.seen.empty());

    Tap(30, 50);  // inside the pop-up but on no node of it
    EXPECT_TRUE(page.seen.empty());
    EXPECT_TRUE(popup.IsShown());

    popup.Show(false);
    Tap(150, 150);
    EXPECT_EQ(page.seen.size(), 2u);
}

TEST_F(DrawingSurfaceTest, APopUpWithoutTheFocusClosesWithoutAKeyReachingThePage) {
    Box page(Rect{0, 0, 240, 200}, kBlue);
    page.SetParent(surface.get());
    page.Focus();
    OverlayWidget popup(surface.get(), false, false);
    popup.SetTakeFocusOnShow(false);
    popup.SetRectangle(Rect{20, 20, 60, 40});
    ASSERT_TRUE(popup.Show(true));
    Tap(150, 150);
    EXPECT_FALSE(popup.IsShown());
    EXPECT_TRUE(page.seen.empty());  // neither the pen nor a close key
}

TEST_F(DrawingSurfaceTest, NodeDestroyedByItsPenHandlerIsForgotten) {
    auto* a = new Box(Rect{0, 0, 20, 20}, kRed);
    a->SetParent(surface.get());
    a->onEvent = [&](InputEvent&) {
        delete a;
        return true;
    };
    PenDown(5, 5);
    EXPECT_EQ(surface->PenHolder(), nullptr);
    PenUp(5, 5);
    EXPECT_EQ(surface->ChildCount(), 0);
}

TEST_F(DrawingSurfaceTest, LostCaptureForgetsThePenHolder) {
    Box a(Rect{0, 0, 20, 20}, kRed);
    a.SetParent(surface.get());
    PenDown(5, 5);
    HWND other = Make(100, 100, 10, 10);
    ::SetCapture(other);
    EXPECT_EQ(surface->PenHolder(), nullptr);
    ReleaseCapture();
}

// ---- Keys -------------------------------------------------------------------------------------

TEST_F(DrawingSurfaceTest, KeyRowsAreReadInTheColumnOfTheInputState) {
    Box a(Rect{0, 0, 5, 5}, kRed);
    a.SetParent(surface.get());
    a.Focus();
    Key(VK_DOWN);
    surface->SetInputState(InputState::kTextEntry);
    Key(VK_DOWN);
    surface->SetInputState(InputState::kPopup);
    Key(VK_RETURN);
    ASSERT_EQ(a.seen.size(), 3u);
    EXPECT_EQ(a.seen[0].code, static_cast<uint32_t>(kKeyPageDown));
    EXPECT_EQ(a.seen[1].code, 0x40Du);
    EXPECT_EQ(a.seen[2].code, static_cast<uint32_t>(kKeyActivate));
}

TEST_F(DrawingSurfaceTest, DriverScriptTapsAndKeysReachTheirNodes) {
    Box a(Rect{0, 0, 40, 40}, kRed), b(Rect{100, 100, 40, 40}, kBlue);
    a.SetParent(surface.get());
    b.SetParent(surface.get());
    b.Focus();
    std::ostringstream script;
    script << "tap " << work.x + 10 << " " << work.y + 10 << "\n"
           << "key 0x28\n"
           << "char x\n"
           << "idle\n";
    std::istringstream in(script.str());
    ASSERT_EQ(fvt::test::RunDriverScript(in), 0);
    ASSERT_EQ(a.seen.size(), 2u);
    EXPECT_EQ(a.seen[0].code, static_cast<uint32_t>(kPenDown));
    ASSERT_EQ(b.seen.size(), 2u);
    EXPECT_EQ(b.seen[0].code, static_cast<uint32_t>(kKeyPageDown));
    EXPECT_EQ(b.seen[1].code, static_cast<uint32_t>(kKeyCharacter));
}

TEST_F(DrawingSurfaceTest, KeysWithoutAFocusedNodeAreNotTaken) {
    InputEvent e = InputEvent::Key(kKeyDown);
    EXPECT_FALSE(surface->HandleEvent(e));
}

// ---- The display-surface link -----------------------------------------------------------------

TEST_F(DrawingSurfaceTest, TheDisplaySurfaceSeesEveryEventFirst) {
    FakeDisplay display;
    surface->AttachDisplaySurface(&display);
    Box a(Rect{0, 0, 5, 5}, kRed);
    a.SetParent(surface.get());
    a.Focus();
    display.takesEvents = true;
    InputEvent e = InputEvent::Key(kKeyDown);
    EXPECT_TRUE(surface->HandleEvent(e));
    EXPECT_TRUE(a.seen.empty());
    display.takesEvents = false;
    display.scrolling = true;
    InputEvent row = InputEvent::Row(fvt::test::kRowUp);
    surface->HandleEvent(row);
    ASSERT_EQ(a.seen.size(), 1u);
    EXPECT_EQ(a.seen[0].code, static_cast<uint32_t>(kKeyFaster));
    surface->AttachDisplaySurface(nullptr);
}

TEST_F(DrawingSurfaceTest, DrawingMarksChangesAndTheOutermostEndFlushes) {
    FakeDisplay display;
    surface->AttachDisplaySurface(&display);
    GraphicsContext* gc = surface->BeginDraw(false, nullptr);
    ASSERT_NE(gc, nullptr);
    gc->SetViewportOrigin(Point{3, 4});
    gc->SetPenColor(0);
    gc->DrawRectangle(Rect{1, 1, 5, 5}, false);
    surface->EndDraw();
    ASSERT_EQ(display.changed.size(), 1u);
    EXPECT_EQ(display.changed[0], (Rect{4, 5, 5, 5}));
    EXPECT_TRUE(display.lastFromDrawing);
    EXPECT_EQ(display.flushes, 1);
    surface->BeginDraw(true, nullptr);
    surface->EndDraw();
    EXPECT_EQ(display.flushes, 1);  // deferred
    surface->AttachDisplaySurface(nullptr);
}

TEST_F(DrawingSurfaceTest, InvalidatingMarksThePageAndTheMappedWindowArea) {
    FakeDisplay display;
    surface->AttachDisplaySurface(&display);
    Rect area{10, 10, 5, 5};
    ValidateRect(hwnd, nullptr);
    surface->InvalidateRect(&area);
    ASSERT_EQ(display.pages.size(), 1u);
    EXPECT_EQ(display.pages[0], area);
    RECT update{};
    ASSERT_TRUE(GetUpdateRect(hwnd, &update, FALSE));
    EXPECT_EQ(update.left, 17);
    Transform t;
    surface->GetTransform(t, false);
    EXPECT_EQ(t, Transform::Translation(7, 0));
    surface->GetTransform(t, true);
    EXPECT_EQ(t, Transform::Identity());
    surface->DisplayCommand(79);
    EXPECT_EQ(display.commands, (std::vector<uint32_t>{79}));
    ValidateRect(hwnd, nullptr);
    surface->AttachDisplaySurface(nullptr);
}

TEST_F(DrawingSurfaceTest, ClientSizeIsTurnedForQuarterTurns) {
    FakeDisplay display;
    display.orientation = 1;
    surface->AttachDisplaySurface(&display);
    Size s;
    ASSERT_TRUE(surface->GetClientSize(s, false));
    EXPECT_EQ(s, (Size{200, 240}));
    ASSERT_TRUE(surface->GetClientSize(s, true));
    EXPECT_EQ(s, (Size{240, 200}));
    surface->AttachDisplaySurface(nullptr);
}

// ---- Lifetime ---------------------------------------------------------------------------------

TEST_F(DrawingSurfaceTest, ChildrenMayOutliveTheSurface) {
    auto child = std::make_unique<Box>(Rect{0, 0, 5, 5}, kRed);
    child->SetParent(surface.get());
    child->Focus();
    Unhost();
    surface.reset();
    EXPECT_EQ(child->Parent(), nullptr);
    EXPECT_FALSE(child->IsFocused());
}

TEST_F(DrawingSurfaceTest, OwnWindowIsMadeOnceTheClassExists) {
    DrawingSurface popup(nullptr);
    ASSERT_TRUE(popup.CreateWindow(true, surface.get(), Rect{10, 10, 50, 40}, false));
    HWND first = popup.Window();
    ASSERT_TRUE(popup.CreateWindow(true, surface.get(), Rect{10, 10, 50, 40}, false));
    EXPECT_FALSE(IsWindow(first));
    EXPECT_TRUE(IsWindow(popup.Window()));
    EXPECT_TRUE(popup.Show(true));
    EXPECT_TRUE(popup.IsShown());
}

}  // namespace

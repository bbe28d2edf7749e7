// The root of a reader window's node tree and, in the same object, its graphics context: the
// window it draws into, painting with an optional off-screen buffer, pointer capture and keyboard
// focus, events entering the tree, and the link to the rotatable display surface.
//
// The main window procedure drives it (a test host window stands in for it until the main frame
// exists): WM_PAINT goes to OnPaint, WM_SETFOCUS / WM_KILLFOCUS to OnSetFocus / OnKillFocus,
// WM_CAPTURECHANGED to OnCaptureChanged, WM_SIZE to OnSize, the pen messages to OnPen and key
// events to HandleEvent.
//
// Pen input: a pen-down travels down the tree by hit test (last child first, since later children
// lie on top) to the deepest node under the pen, which receives it in its own coordinates; when
// that node does not take it, its ancestors are offered it in turn. The node that took the pen-down
// holds the pen: moves and the pen-up go to it alone, and the window holds the capture meanwhile.
// While a modal pop-up is shown, a pen-down outside it closes the pop-up and reaches nothing else.
//
// Keys: an event carrying a key row is stamped with the column of the surface's current input
// state before it enters the tree (auto-scroll while the display surface scrolls, else the state
// the views set). The display surface sees every event first.
#pragma once

#include <cstdint>
#include <memory>

#include "core/text.h"
#include "graphics/core/graphics_context.h"
#include "graphics/core/node.h"
#include "media/image/image_bitmap.h"
#include "platform/window/window.h"

class DrawingSurface : public Widget, public GraphicsContext {
public:
    static constexpr const WCHAR* kClassName = u"folivantDrawingSurface";

    explicit DrawingSurface(const FaceTable* faces);
    ~DrawingSurface() override;

    // Node and Widget slots.
    void SetCapture(bool capture) override;
    bool Show(bool show) override;
    bool IsShown() const override;
    bool HandleEvent(InputEvent& event) override;
    void Redraw(const Rect* area) override;
    GraphicsContext* BeginDraw(bool defer, const Rect* area) override;
    bool EndDraw() override;
    void GetTransform(Transform& out, bool withoutRotation) const override;
    bool IsFocusScope() const override { return true; }
    bool FocusChild(Node* node) override;
    void AfterRedraw() override {}
    virtual void BeginCapture();
    virtual void EndCapture();

    void SetWindow(HWND window) { window_ = window; }
    HWND Window() const { return window_; }

    // The display surface and the operations forwarded to it (nothing without one).
    void AttachDisplaySurface(DisplayLink* display) { display_ = display; }
    DisplayLink* Display() const { return display_; }
    void DisplayCommand(uint32_t code);
    void InvalidateBackBuffer(const Rect& r);
    void FlushDisplay();
    void OverlayCommit();
    Rect MapRectToScreen(const Rect& r, bool toPage) const;
    // Drawn into the current target (the back buffer while buffered) and marked changed, so the
    // display surface's flush brings it to the window turned.
    void BlitMapped(const OffscreenBitmap& record, Point from, const Rect& to);
    void DrawLineMapped(Point from, Point to);
    void ResizeDisplay(int32_t width, int32_t height);

    // Marks a page area for drawing and invalidates the window where it shows (null: all).
    void InvalidateRect(const Rect* r);
    void BeginPaintBuffer(HDC paintDC);
    void EndPaintBuffer();
    bool DoubleBuffering() const { return doubleBuffering_; }
    Size PaintBufferSize() const { return bufferSize_; }
    void SetDoubleBuffering(bool on) { doubleBuffering_ = on; }
    void ClientToScreenTransform(Transform& out) const;
    // A window of the surface's own (pop-up or child of the parent surface's window).
    bool CreateWindow(bool popup, DrawingSurface* parent, const Rect& r, bool disabled);
    void SetTitle(const Text& title) { title_ = title; }

    // What the main window procedure calls. OnWindowMessage does it for paint, focus, capture,
    // size and pen messages in one place; true when the message is answered (with 0), false when
    // it goes on to the default handling (WM_SIZE and WM_CAPTURECHANGED too, after the surface
    // has seen them).
    bool OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnPaint();
    void OnSetFocus();
    void OnKillFocus();
    void OnCaptureChanged(HWND newHolder);
    // The pen capture ended without a pen-up: the node holding the pen is forgotten.
    void OnCaptureLost();
    void OnSize();
    // WM_LBUTTONDOWN, WM_MOUSEMOVE, WM_LBUTTONUP with client coordinates in lParam.
    bool OnPen(UINT message, LPARAM lParam);

    // Input states (which column of a key row the tree reads). The state follows the focus: a
    // shown pop-up or the focused node decides (WantedInputState); otherwise the state set here
    // (reading, unless set otherwise).
    void SetInputState(InputState state) { inputState_ = state; }
    InputState CurrentInputState();
    // A pop-up (a drop-down, a menu, a note) is shown over the page and has the keys.
    bool HasShownPopup() { return ShownModalChild() != nullptr; }
    bool FocusInProgress() const { return focusInProgress_; }
    Node* PenHolder() const { return penHolder_.Get(); }

    // The surface as the owner that display bitmaps draw through.
    DrawSurface* AsDrawSurface();

    // The next paint buffer cannot be made (double buffering then goes off for good).
    static void FailNextPaintBufferForTesting();

    static LRESULT WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

private:
    Node* PickAt(Point page);
    Node* ShownModalChild();
    void DismissModal(Node* modal);
    bool DeliverPen(InputEvent& event, Node* target, Point page);

    bool doubleBuffering_ = true;
    HBITMAP buffer_ = nullptr;
    Size bufferSize_{};
    HDC bufferDC_ = nullptr;
    HGDIOBJ bufferOld_ = nullptr;
    HDC realPaintDC_ = nullptr;
    bool ownWindow_ = false;
    bool focusInProgress_ = false;
    bool topLevel_ = false;
    Text title_;
    InputState inputState_ = InputState::kReading;
    NodeRef penHolder_;
    // Display bitmaps open their owner through this (BeginDraw gives the DC).
    class DrawAdapter : public DrawSurface {
    public:
        explicit DrawAdapter(DrawingSurface* surface) : surface_(surface) {}
        HDC BeginDraw() override;
        void EndDraw() override;

    private:
        DrawingSurface* surface_;
    };
    DrawAdapter drawAdapter_{this};
};

#include "graphics/core/drawing_surface.h"

#include <algorithm>

#include "core/platform_helpers.h"
#include "media/image/image_bitmap.h"
#include "platform/last_error.h"

namespace {

// Class style of the surface's own windows, and the drop shadow of systems from 5.1 on.
constexpr UINT kSurfaceClassStyle = 0x800;
constexpr UINT kClassDropShadow = 0x00020000;
constexpr int kSurfaceWindowExtra = 32;

bool gFailNextPaintBuffer = false;

Point PointFromLParam(LPARAM lParam) {
    return Point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
}

}  // namespace

DrawingSurface::DrawingSurface(const FaceTable* faces) : GraphicsContext(faces) {}

DrawingSurface::~DrawingSurface() {
    // Children leave while the whole surface still stands, so nothing they do on the way
    // reaches a half-destroyed root.
    while (ChildCount() > 0) {
        Node* child = ChildAt(ChildCount() - 1);
        child->Detach();
        if (ChildCount() > 0 && ChildAt(ChildCount() - 1) == child) break;
    }
    if (ownWindow_ && window_ && IsWindow(window_)) {
        SetWindowLongPtrW(window_, GWL_USERDATA, 0);
        DestroyWindow(window_);
    }
    window_ = nullptr;
    if (bufferDC_) {
        if (bufferOld_) SelectObject(bufferDC_, bufferOld_);
        DeleteDC(bufferDC_);
    }
    if (buffer_) DeleteObject(buffer_);
}

void DrawingSurface::FailNextPaintBufferForTesting() {
    gFailNextPaintBuffer = true;
}

DrawSurface* DrawingSurface::AsDrawSurface() {
    return &drawAdapter_;
}

HDC DrawingSurface::DrawAdapter::BeginDraw() {
    GraphicsContext* gc = surface_->BeginDraw(false, nullptr);
    return gc ? gc->CurrentDC() : nullptr;
}

void DrawingSurface::DrawAdapter::EndDraw() {
    surface_->EndDraw();
}

// ---- Node slots -------------------------------------------------------------------------------

void DrawingSurface::SetCapture(bool capture) {
    if (!window_) return;
    if (capture)
        ::SetCapture(window_);
    else
        ReleaseCapture();
}

void DrawingSurface::BeginCapture() {
    SetCapture(true);
}

void DrawingSurface::EndCapture() {
    if (window_ && GetCapture() == window_) SetCapture(false);
}

bool DrawingSurface::Show(bool show) {
    if (!window_) return true;
    if (topLevel_) {
        ShowWindow(window_, show ? SW_SHOWNORMAL : SW_HIDE);
        if (show) SetWindowPos(window_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    } else {
        ShowWindow(window_, show ? SW_SHOWNA : SW_HIDE);
    }
    return true;
}

bool DrawingSurface::IsShown() const {
    return window_ && IsWindowVisible(window_);
}

GraphicsContext* DrawingSurface::BeginDraw(bool defer, const Rect* area) {
    return GraphicsContext::BeginDraw(defer, area);
}

bool DrawingSurface::EndDraw() {
    return GraphicsContext::EndDraw();
}

void DrawingSurface::Redraw(const Rect* area) {
    BeginDraw(false, area);
    Widget::Redraw(area);
    EndDraw();
}

void DrawingSurface::GetTransform(Transform& out, bool withoutRotation) const {
    if (display_ && display_->IsActive() && !withoutRotation)
        display_->GetTransform(out);
    else
        out = Transform::Identity();
}

bool DrawingSurface::FocusChild(Node* node) {
    if (!node) return false;
    // SetFocus sends WM_SETFOCUS at once; the flag keeps OnSetFocus from restoring the old node.
    focusInProgress_ = true;
    NodeRef self(this);
    if (window_) SetFocus(window_);
    bool result = true;
    if (self.IsAlive() && !node->IsFocused()) result = Widget::FocusChild(node);
    if (self.IsAlive()) focusInProgress_ = false;
    return result;
}

// ---- Events -----------------------------------------------------------------------------------

InputState DrawingSurface::CurrentInputState() {
    if (display_ && display_->IsScrolling()) return InputState::kAutoScroll;
    InputState wanted = inputState_;
    // A shown pop-up has the keys (plain directions, Esc closes) unless it says otherwise.
    if (Node* modal = ShownModalChild()) return modal->WantedInputState(wanted) ? wanted : InputState::kPopup;
    for (Node* n = FocusedDescendant(); n && n != this; n = n->Parent())
        if (n->WantedInputState(wanted)) return wanted;
    return inputState_;
}

bool DrawingSurface::HandleEvent(InputEvent& event) {
    event.column = static_cast<uint8_t>(CurrentInputState());
    NodeRef self(this);
    if (display_ && display_->OnEvent(event)) return true;
    if (!self.IsAlive()) return false;
    if (!event.IsPen()) return Widget::HandleEvent(event);

    Point page = event.point;
    if (event.code == kPenDown) {
        penHolder_.Reset();
        Node* target = PickAt(page);
        // While a modal pop-up is shown, the pen belongs to it: a tap anywhere else closes the
        // pop-up as its close key would, and goes no further, so nothing beneath it reacts.
        if (Node* modal = ShownModalChild()) {
            if (!target || (target != modal && !modal->IsAncestorOf(target))) {
                DismissModal(modal);
                return true;
            }
        }
        return target && DeliverPen(event, target, page);
    }
    Node* holder = penHolder_.Get();
    if (!holder) return false;
    holder->MapPoint(event.point, true, true, this, page, false);
    bool handled = holder->HandleEvent(event);
    if (self.IsAlive() && event.code == kPenUp) {
        penHolder_.Reset();
        EndCapture();
    }
    return handled;
}

void DrawingSurface::DismissModal(Node* modal) {
    // When the pop-up holds the focus, the close key reaches it (or its focused part), so its
    // owner closes it the usual way (a select's list closes without a choice); the key never goes
    // to the page beneath. One that is still shown is deactivated, which hides it. Either may
    // delete it.
    NodeRef popup(modal);
    NodeRef self(this);
    Node* focused = FocusedDescendant();
    if (focused && (focused == modal || modal->IsAncestorOf(focused))) {
        InputEvent close = InputEvent::Key(kKeyClose);
        close.column = static_cast<uint8_t>(CurrentInputState());
        Widget::HandleEvent(close);
        if (!self.IsAlive()) return;
    }
    if (Node* still = popup.Get(); still && still->IsShown()) still->SetActive(false);
}

Node* DrawingSurface::ShownModalChild() {
    // Pop-ups stand last among the children (they are drawn on top): the last shown modal one.
    for (int32_t i = ChildCount() - 1; i >= 0; --i) {
        Node* c = ChildAt(i);
        if (c->IsModal() && c->IsShown()) return c;
    }
    return nullptr;
}

Node* DrawingSurface::PickAt(Point page) {
    Widget* w = this;
    Point p = page;
    for (;;) {
        Node* hit = nullptr;
        Point inHit{};
        for (int32_t i = w->ChildCount() - 1; i >= 0; --i) {
            Node* c = w->ChildAt(i);
            Transform t, inverse;
            c->GetTransform(t, true);
            Point pc = Transform::Invert(t, inverse) ? Transform::MapPoint(inverse, p) : p;
            if (c->HitTest(Rect{pc.x, pc.y, 1, 1})) {
                hit = c;
                inHit = pc;
                break;
            }
        }
        if (!hit) return w == this ? nullptr : w;
        Widget* hw = hit->AsWidget();
        if (!hw || hw->ChildCount() == 0) return hit;
        w = hw;
        p = inHit;
    }
}

bool DrawingSurface::DeliverPen(InputEvent& event, Node* target, Point page) {
    NodeRef self(this);
    for (Node* n = target; n && n != this;) {
        n->MapPoint(event.point, true, true, this, page, false);
        NodeRef watch(n);
        if (n->HandleEvent(event)) {
            if (!self.IsAlive()) return true;
            if (watch.IsAlive()) {
                penHolder_.Set(n);
                BeginCapture();
            }
            return true;
        }
        if (!self.IsAlive() || !watch.IsAlive()) return false;
        n = n->Parent();
    }
    return false;
}

bool DrawingSurface::OnPen(UINT message, LPARAM lParam) {
    uint32_t code = 0;
    if (message == WM_LBUTTONDOWN)
        code = kPenDown;
    else if (message == WM_MOUSEMOVE)
        code = kPenMove;
    else if (message == WM_LBUTTONUP)
        code = kPenUp;
    else
        return false;
    Point client = PointFromLParam(lParam);
    Point page = client;
    if (display_ && display_->IsActive()) {
        Rect r = display_->MapRect(Rect{client.x, client.y, 1, 1}, true);
        page = Point{r.x, r.y};
    }
    InputEvent e = InputEvent::Pen(code, page);
    return HandleEvent(e);
}

// ---- Display surface --------------------------------------------------------------------------

void DrawingSurface::DisplayCommand(uint32_t code) {
    if (display_) display_->OnCommand(code);
}

void DrawingSurface::InvalidateBackBuffer(const Rect& r) {
    if (display_) display_->InvalidateRect(&r, false);
}

void DrawingSurface::FlushDisplay() {
    if (display_) display_->FlushDirty();
}

void DrawingSurface::OverlayCommit() {
    if (display_) display_->OverlayCommit();
}

Rect DrawingSurface::MapRectToScreen(const Rect& r, bool toPage) const {
    return display_ ? display_->MapRect(r, toPage) : r;
}

void DrawingSurface::BlitMapped(const OffscreenBitmap& record, Point from, const Rect& to) {
    Blit(record, from, to);
    MarkChanged(&to);
}

void DrawingSurface::DrawLineMapped(Point from, Point to) {
    DrawLine(from, to);
    Rect box = Rect::FromLtrb(std::min(from.x, to.x), std::min(from.y, to.y),
                              std::max(from.x, to.x) + 1, std::max(from.y, to.y) + 1);
    MarkChanged(&box);
}

void DrawingSurface::ResizeDisplay(int32_t width, int32_t height) {
    if (display_) display_->Resize(width, height);
}

void DrawingSurface::InvalidateRect(const Rect* r) {
    if (display_) display_->InvalidatePage(r);
    if (!window_) return;
    if (!r) {
        ::InvalidateRect(window_, nullptr, FALSE);
        return;
    }
    Rect screen = display_ && display_->IsActive() ? display_->MapRect(*r, false) : *r;
    RECT rc;
    Rect::ToWinRect(screen, rc);
    ::InvalidateRect(window_, &rc, FALSE);
}

// ---- Painting ---------------------------------------------------------------------------------

void DrawingSurface::BeginPaintBuffer(HDC paintDC) {
    realPaintDC_ = paintDC;
    SetPaintDC(paintDC);
    if (!doubleBuffering_ || !paintDC || !window_) return;
    RECT rc{};
    GetClientRect(window_, &rc);
    Size size{std::max<int32_t>(rc.right - rc.left, 1), std::max<int32_t>(rc.bottom - rc.top, 1)};
    if (buffer_ && !(size == bufferSize_)) {
        DeleteObject(buffer_);
        buffer_ = nullptr;
    }
    if (!buffer_) {
        buffer_ = gFailNextPaintBuffer ? nullptr
                                       : CreateCompatibleBitmap(paintDC, size.width, size.height);
        gFailNextPaintBuffer = false;
        if (!buffer_) {
            // For good: a device that cannot spare the buffer once will not later either.
            doubleBuffering_ = false;
            return;
        }
        bufferSize_ = size;
    }
    bufferDC_ = CreateCompatibleDC(paintDC);
    if (!bufferDC_) return;
    bufferOld_ = SelectObject(bufferDC_, buffer_);
    SetPaintDC(bufferDC_);
}

void DrawingSurface::EndPaintBuffer() {
    if (bufferDC_) {
        BitBlt(realPaintDC_, 0, 0, bufferSize_.width, bufferSize_.height, bufferDC_, 0, 0, SRCCOPY);
        if (bufferOld_) SelectObject(bufferDC_, bufferOld_);
        DeleteDC(bufferDC_);
        bufferDC_ = nullptr;
        bufferOld_ = nullptr;
    }
    SetPaintDC(nullptr);
    realPaintDC_ = nullptr;
}

void DrawingSurface::OnPaint() {
    if (!window_) return;
    PAINTSTRUCT ps{};
    HDC dc = BeginPaint(window_, &ps);
    if (!dc) return;
    Rect update = Rect::FromWinRect(ps.rcPaint);
    NodeRef self(this);
    if (display_ && display_->IsActive() && display_->HasBackBuffer()) {
        // The back buffer holds the page: the screen's update area is taken to the page first.
        // It is copied straight to the window: a paint buffer would put back stale pixels where
        // the copy is cut (while scrolling).
        SetPaintDC(dc);
        Rect page = display_->MapRect(update, true);
        display_->InvalidateRect(&page, false);
        display_->FlushDirty();
        if (!self.IsAlive()) return;
        SetPaintDC(nullptr);
    } else {
        BeginPaintBuffer(dc);
        Redraw(&update);
        if (!self.IsAlive()) return;
        EndPaintBuffer();
    }
    EndPaint(window_, &ps);
}

// ---- Focus, capture, size ---------------------------------------------------------------------

void DrawingSurface::OnSetFocus() {
    if (!focusInProgress_) RestoreFocus(nullptr);
}

void DrawingSurface::OnKillFocus() {
    ClearFocus();
}

void DrawingSurface::OnCaptureChanged(HWND newHolder) {
    // Another window took the capture: ours is already gone, so only the pen holder is
    // forgotten (releasing now would take the capture from the new holder).
    if (newHolder != window_) OnCaptureLost();
}

bool DrawingSurface::OnWindowMessage(UINT message, WPARAM /*wParam*/, LPARAM lParam) {
    switch (message) {
        case WM_PAINT:
            OnPaint();
            return true;
        case WM_SETFOCUS:
            OnSetFocus();
            return true;
        case WM_KILLFOCUS:
            OnKillFocus();
            return true;
        case WM_CAPTURECHANGED:
            OnCaptureChanged(reinterpret_cast<HWND>(lParam));
            return false;
        case WM_SIZE:
            OnSize();
            return false;
        case WM_LBUTTONDOWN:
        case WM_MOUSEMOVE:
        case WM_LBUTTONUP:
            OnPen(message, lParam);
            return true;
        default:
            return false;
    }
}

void DrawingSurface::OnCaptureLost() {
    penHolder_.Reset();
}

void DrawingSurface::OnSize() {
    Size size;
    if (!GetClientSize(size, false)) return;
    Rect out;
    AdjustRect(out, Rect{0, 0, size.width, size.height});
}

void DrawingSurface::ClientToScreenTransform(Transform& out) const {
    POINT p{0, 0};
    if (window_ && ClientToScreen(window_, &p))
        out = Transform::Translation(p.x, p.y);
    else
        out = Transform::Identity();
}

// ---- Own window -------------------------------------------------------------------------------

bool DrawingSurface::CreateWindow(bool popup, DrawingSurface* parent, const Rect& r, bool disabled) {
    if (ownWindow_ && window_ && IsWindow(window_)) {
        SetWindowLongPtrW(window_, GWL_USERDATA, 0);
        DestroyWindow(window_);
    }
    window_ = nullptr;
    ownWindow_ = false;
    WNDCLASSW wc{};
    wc.style = kSurfaceClassStyle | (IsOsVersionAtLeast51() ? kClassDropShadow : 0);
    wc.lpfnWndProc = &DrawingSurface::WindowProc;
    wc.cbWndExtra = kSurfaceWindowExtra;
    wc.lpszClassName = kClassName;
    // Registered each time; a class already there is the one wanted.
    if (!RegisterClassW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;

    DWORD style = (popup ? WS_POPUP : WS_CHILD) | (disabled ? WS_DISABLED : 0);
    HWND parentWindow = parent ? parent->Window() : nullptr;
    topLevel_ = popup && !parentWindow;
    Rect place = r;
    if (popup && parentWindow) {
        POINT p{place.x, place.y};
        ClientToScreen(parentWindow, &p);
        place.x = p.x;
        place.y = p.y;
    }
    if (topLevel_) {
        DWORD pos = GetMessagePos();
        place.x = GET_X_LPARAM(pos);
        place.y = GET_Y_LPARAM(pos);
    }
    Rect work;
    if (popup && Screen::GetWorkArea(work))
        Rect::PlaceWithin(place, 0, Point{place.x, place.y}, work);
    const char16_t* title = topLevel_ && !title_.IsEmpty() ? title_.WideCStr() : u"";
    HWND hwnd = CreateWindowExW(topLevel_ ? WS_EX_TOPMOST : 0, kClassName, title, style, place.x,
                                place.y, place.width, place.height,
                                topLevel_ ? nullptr : parentWindow, nullptr, nullptr, this);
    if (!hwnd) return false;
    if (topLevel_)
        SetWindowLongW(hwnd, GWL_STYLE,
                       static_cast<LONG>(GetWindowLongW(hwnd, GWL_STYLE) & ~WS_CAPTION));
    window_ = hwnd;
    ownWindow_ = true;
    return true;
}

LRESULT DrawingSurface::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
        auto* surface = static_cast<DrawingSurface*>(cs->lpCreateParams);
        SetWindowLongPtrW(window, GWL_USERDATA, reinterpret_cast<LONG_PTR>(surface));
        if (surface) surface->window_ = window;
        return DefWindowProcW(window, message, wParam, lParam);
    }
    auto* surface = reinterpret_cast<DrawingSurface*>(GetWindowLongPtrW(window, GWL_USERDATA));
    if (!surface) return DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_DESTROY) return 0;
    if (surface->OnWindowMessage(message, wParam, lParam)) return 0;
    return DefWindowProcW(window, message, wParam, lParam);
}

// The control classes, their shared helpers, and the small controls: static, button, up-down,
// trackbar, progress bar and status bar.
#include "platform/controls/controls.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <set>

#include "platform/controls/controls_internal.h"
#include "platform/kernel/system_info.h"
#include "platform/kernel/device.h"
#include "platform/resources/device_resources.h"

namespace fvt::ctl {

int Px(int v) {
    return v * fvt::Profile().dpi / 96;
}

std::u16string WindowText(HWND hwnd) {
    int n = GetWindowTextLengthW(hwnd);
    std::u16string s(static_cast<size_t>(std::max(n, 0)) + 1, u'\0');
    n = GetWindowTextW(hwnd, s.data(), static_cast<int>(s.size()));
    s.resize(static_cast<size_t>(std::max(n, 0)));
    return s;
}

LRESULT Command(HWND hwnd, WORD notice) {
    HWND parent = GetParent(hwnd);
    if (!parent) return 0;
    auto id = static_cast<WORD>(GetWindowLongPtrW(hwnd, GWL_ID));
    return SendMessageW(parent, WM_COMMAND, MAKEWPARAM(id, notice), reinterpret_cast<LPARAM>(hwnd));
}

LRESULT Notify(HWND hwnd, NMHDR* header, int code) {
    header->hwndFrom = hwnd;
    header->idFrom = static_cast<UINT_PTR>(GetWindowLongPtrW(hwnd, GWL_ID));
    header->code = code;
    HWND parent = GetParent(hwnd);
    return parent ? SendMessageW(parent, WM_NOTIFY, header->idFrom,
                                 reinterpret_cast<LPARAM>(header))
                  : 0;
}

void Fill(HDC dc, const RECT& r, COLORREF color) {
    HBRUSH b = CreateSolidBrush(color);
    FillRect(dc, &r, b);
    DeleteObject(b);
}

void Frame(HDC dc, const RECT& r, COLORREF color) {
    Fill(dc, RECT{r.left, r.top, r.right, r.top + 1}, color);
    Fill(dc, RECT{r.left, r.bottom - 1, r.right, r.bottom}, color);
    Fill(dc, RECT{r.left, r.top, r.left + 1, r.bottom}, color);
    Fill(dc, RECT{r.right - 1, r.top, r.right, r.bottom}, color);
}

namespace {
// The control being painted, and the controls whose text did not fit at their last paint.
thread_local HWND t_painting = nullptr;
std::mutex g_overflowLock;
std::set<HWND>& Overflowing() {
    static auto* set = new std::set<HWND>;
    return *set;
}
}  // namespace

void Text(HDC dc, const std::u16string& text, RECT r, UINT format, COLORREF color) {
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, color);
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, format | DT_NOPREFIX);
    // Text cut off without an ellipsis is noted for the layout check.
    if (!t_painting || text.empty() || (format & (DT_END_ELLIPSIS | DT_CALCRECT))) return;
    RECT need = r;
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &need,
              (format & ~(DT_VCENTER | DT_BOTTOM | DT_CENTER | DT_RIGHT)) | DT_NOPREFIX |
                  DT_CALCRECT);
    if (need.right - need.left > r.right - r.left || need.bottom - need.top > r.bottom - r.top) {
        std::lock_guard<std::mutex> l(g_overflowLock);
        Overflowing().insert(t_painting);
    }
}

int TextWidth(HDC dc, const std::u16string& text) {
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    return size.cx;
}

int LineHeight(HDC dc) {
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    return tm.tmHeight > 0 ? tm.tmHeight : Px(13);
}

HFONT CreateDefaultFont() {
    LOGFONTW lf{};
    lf.lfHeight = -Px(11);
    lf.lfWeight = 400;
    std::memcpy(lf.lfFaceName, u"Tahoma", sizeof(u"Tahoma"));
    return CreateFontIndirectW(&lf);
}

void RegisterLayerClass(const WCHAR* name, WNDPROC proc, int extraBytes) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = proc;
    wc.cbWndExtra = extraBytes;
    wc.lpszClassName = name;
    RegisterClassW(&wc);
}

void PaintPanel(HDC dc, const RECT& r) {
    Fill(dc, r, RGB(255, 255, 255));
    Frame(dc, r, RGB(0, 0, 0));
}

bool FontMessage(Common* s, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& out) {
    if (msg == WM_SETFONT) {
        s->font = reinterpret_cast<HFONT>(wParam);
        if (LOWORD(static_cast<DWORD_PTR>(lParam))) InvalidateRect(hwnd, nullptr, TRUE);
        out = 0;
        return true;
    }
    if (msg == WM_GETFONT) {
        // Without a font of its own a control paints with the default one: callers that
        // measure its text with the answer measure what is drawn (at every screen density).
        if (!s->font && !s->shownDefault) s->shownDefault = CreateDefaultFont();
        out = reinterpret_cast<LRESULT>(s->font ? s->font : s->shownDefault);
        return true;
    }
    return false;
}

Common::~Common() {
    if (shownDefault) DeleteObject(shownDefault);
}

FontDC::FontDC(HWND hwnd, HFONT font) : hwnd_(hwnd), dc_(GetDC(hwnd)) {
    if (!font) font = made_ = CreateDefaultFont();
    if (dc_) old_ = SelectObject(dc_, font);
}

FontDC::~FontDC() {
    if (dc_) {
        SelectObject(dc_, old_);
        ReleaseDC(hwnd_, dc_);
    }
    if (made_) DeleteObject(made_);
}

Painter::Painter(HWND hwnd, HFONT font) : hwnd_(hwnd), outer_(t_painting) {
    t_painting = hwnd;
    {
        std::lock_guard<std::mutex> l(g_overflowLock);
        Overflowing().erase(hwnd);
    }
    dc_ = BeginPaint(hwnd, &ps_);
    GetClientRect(hwnd, &client_);
    if (!dc_) return;
    if (!font) font = made_ = CreateDefaultFont();
    old_ = SelectObject(dc_, font);
}

Painter::~Painter() {
    t_painting = outer_;
    if (!dc_) return;
    SelectObject(dc_, old_);
    if (made_) DeleteObject(made_);
    EndPaint(hwnd_, &ps_);
}

namespace {

int Clamp(int v, int lo, int hi) {
    return v < lo ? lo : (v > hi ? hi : v);
}

// The colours a static or button is drawn in: the parent's answer to WM_CTLCOLORSTATIC sets the
// text colour on the DC and gives the background brush.
HBRUSH AskColors(HWND hwnd, HDC dc, UINT message) {
    SetTextColor(dc, RGB(0, 0, 0));
    SetBkColor(dc, RGB(255, 255, 255));
    HWND parent = GetParent(hwnd);
    LRESULT brush = parent ? SendMessageW(parent, message, reinterpret_cast<WPARAM>(dc),
                                          reinterpret_cast<LPARAM>(hwnd))
                           : 0;
    return reinterpret_cast<HBRUSH>(brush);
}

// Pen messages that a control without its own use for them hands to its parent, as if the
// pen had met the parent (labels are transparent to the pen on the device).
bool ForwardPen(HWND hwnd, UINT msg, LPARAM lParam, WPARAM wParam) {
    if (msg != WM_LBUTTONDOWN && msg != WM_LBUTTONUP && msg != WM_MOUSEMOVE) return false;
    HWND parent = GetParent(hwnd);
    if (!parent) return false;
    POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    MapWindowPoints(hwnd, parent, &p, 1);
    SendMessageW(parent, msg, wParam, MAKELPARAM(p.x, p.y));
    return true;
}

// Static.
struct StaticState : Common {
    HANDLE image = nullptr;
    UINT imageType = 0;
};

}  // namespace

LRESULT StaticProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* s = State<StaticState>(hwnd);
    LRESULT out = 0;
    if (CommonMessage(hwnd, msg, wParam, lParam, s, out)) return out;
    switch (msg) {
        case STM_SETIMAGE: {
            if (!s) return 0;
            HANDLE old = s->image;
            s->image = reinterpret_cast<HANDLE>(lParam);
            s->imageType = static_cast<UINT>(wParam);
            InvalidateRect(hwnd, nullptr, TRUE);
            return reinterpret_cast<LRESULT>(old);
        }
        case STM_GETIMAGE:
            return s ? reinterpret_cast<LRESULT>(s->image) : 0;
        case WM_SETTEXT: {
            LRESULT r = DefWindowProcW(hwnd, msg, wParam, lParam);
            InvalidateRect(hwnd, nullptr, TRUE);
            return r;
        }
        case WM_PAINT: {
            Painter p(hwnd, s ? s->font : nullptr);
            if (!p.dc()) return 0;
            HBRUSH brush = AskColors(hwnd, p.dc(), WM_CTLCOLORSTATIC);
            COLORREF textColor = GetTextColor(p.dc());
            if (brush)
                FillRect(p.dc(), &p.client(), brush);
            else
                Fill(p.dc(), p.client(), GetBkColor(p.dc()));
            DWORD style = static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE));
            if (s && s->image && s->imageType == IMAGE_ICON) {
                DrawIconEx(p.dc(), 0, 0, reinterpret_cast<HICON>(s->image), 0, 0, 0, nullptr, 3);
                return 0;
            }
            DWORD kind = style & 0x1F;
            UINT format = kind == SS_CENTER ? DT_CENTER : kind == SS_RIGHT ? DT_RIGHT : DT_LEFT;
            format |= kind == SS_LEFTNOWORDWRAP ? DT_SINGLELINE : DT_WORDBREAK;
            if (style & SS_CENTERIMAGE) format |= DT_SINGLELINE | DT_VCENTER;
            Text(p.dc(), WindowText(hwnd), p.client(), format, textColor);
            return 0;
        }
        case WM_LBUTTONUP:
            if (GetWindowLongW(hwnd, GWL_STYLE) & SS_NOTIFY) {
                Command(hwnd, STN_CLICKED);
                return 0;
            }
            break;
        default:
            break;
    }
    if (!(GetWindowLongW(hwnd, GWL_STYLE) & SS_NOTIFY) && ForwardPen(hwnd, msg, lParam, wParam))
        return 0;
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

namespace {

struct ButtonState : Common {
    UINT check = BST_UNCHECKED;
    bool pushed = false;
    // The key that went down on this button: only its release clicks it, not the release of a
    // key pressed before the button had the focus (the Enter that opened its page).
    WPARAM keyDown = 0;
};

DWORD ButtonKind(HWND hwnd) {
    return static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE)) & BS_TYPEMASK;
}

bool IsCheckKind(DWORD kind) {
    return kind == BS_CHECKBOX || kind == BS_AUTOCHECKBOX || kind == BS_3STATE ||
           kind == BS_AUTO3STATE || kind == BS_RADIOBUTTON || kind == BS_AUTORADIOBUTTON;
}

void Click(HWND hwnd, ButtonState* s) {
    DWORD kind = ButtonKind(hwnd);
    if (kind == BS_AUTOCHECKBOX) s->check = s->check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
    if (kind == BS_AUTO3STATE) s->check = (s->check + 1) % 3;
    if (kind == BS_AUTORADIOBUTTON) {
        // The other automatic radio buttons of the parent lose their mark.
        for (HWND c = GetWindow(GetParent(hwnd), GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
            WCHAR cls[16];
            if (c != hwnd && GetClassNameW(c, cls, 16) && ButtonKind(c) == BS_AUTORADIOBUTTON)
                SendMessageW(c, BM_SETCHECK, BST_UNCHECKED, 0);
        }
        s->check = BST_CHECKED;
    }
    InvalidateRect(hwnd, nullptr, TRUE);
    Command(hwnd, BN_CLICKED);
}

void PaintButton(HWND hwnd, ButtonState* s) {
    Painter p(hwnd, s->font);
    if (!p.dc()) return;
    DWORD kind = ButtonKind(hwnd);
    bool enabled = IsWindowEnabled(hwnd) != FALSE;
    COLORREF ink = enabled ? RGB(0, 0, 0) : RGB(128, 128, 128);
    RECT r = p.client();
    std::u16string text = WindowText(hwnd);
    DWORD style = static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE));
    UINT wrap = (style & BS_MULTILINE) ? DT_WORDBREAK : DT_SINGLELINE | DT_VCENTER;
    if (IsCheckKind(kind)) {
        HBRUSH brush = AskColors(hwnd, p.dc(), WM_CTLCOLORSTATIC);
        if (brush)
            FillRect(p.dc(), &r, brush);
        else
            Fill(p.dc(), r, RGB(255, 255, 255));
        int box = std::min<int>(Px(11), r.bottom - r.top);
        int top = (style & BS_MULTILINE) ? r.top : r.top + (r.bottom - r.top - box) / 2;
        RECT b{r.left, top, r.left + box, top + box};
        Fill(p.dc(), b, RGB(255, 255, 255));
        Frame(p.dc(), b, ink);
        if (s->check == BST_CHECKED) {
            RECT mark{b.left + Px(3), b.top + Px(3), b.right - Px(3), b.bottom - Px(3)};
            Fill(p.dc(), mark, ink);
        } else if (s->check == BST_INDETERMINATE) {
            RECT mark{b.left + Px(3), b.top + Px(3), b.right - Px(3), b.bottom - Px(3)};
            Fill(p.dc(), mark, RGB(160, 160, 160));
        }
        RECT t{b.right + Px(4), r.top, r.right, r.bottom};
        Text(p.dc(), text, t, DT_LEFT | wrap, ink);
        // The focus: the box drawn bold, so that Space ticks a box a person saw marked.
        if (GetFocus() == hwnd)
            Frame(p.dc(), RECT{b.left + 1, b.top + 1, b.right - 1, b.bottom - 1}, ink);
        return;
    }
    if (kind == BS_GROUPBOX) {
        Frame(p.dc(), RECT{r.left, r.top + Px(6), r.right, r.bottom}, RGB(128, 128, 128));
        Text(p.dc(), text, RECT{r.left + Px(6), r.top, r.right, r.top + Px(13)}, DT_LEFT, ink);
        return;
    }
    bool down = s->pushed;
    Fill(p.dc(), r, down ? RGB(0, 0, 0) : RGB(255, 255, 255));
    Frame(p.dc(), r, ink);
    // The focus: a second frame inside the first.
    if (GetFocus() == hwnd && !down)
        Frame(p.dc(), RECT{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1}, ink);
    // The text keeps clear of the frame: a label touching both borders counts as not fitting.
    const RECT inside{r.left + Px(3), r.top, r.right - Px(3), r.bottom};
    Text(p.dc(), text, inside, DT_CENTER | wrap, down ? RGB(255, 255, 255) : ink);
}

}  // namespace

LRESULT ButtonProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* s = State<ButtonState>(hwnd);
    LRESULT out = 0;
    if (CommonMessage(hwnd, msg, wParam, lParam, s, out)) return out;
    if (!s) return DefWindowProcW(hwnd, msg, wParam, lParam);
    switch (msg) {
        case BM_GETCHECK:
            return IsCheckKind(ButtonKind(hwnd)) ? s->check : BST_UNCHECKED;
        case BM_SETCHECK:
            if (IsCheckKind(ButtonKind(hwnd))) {
                s->check = static_cast<UINT>(wParam) <= BST_INDETERMINATE
                               ? static_cast<UINT>(wParam)
                               : BST_UNCHECKED;
                InvalidateRect(hwnd, nullptr, TRUE);
            }
            return 0;
        case BM_GETSTATE:
            return (IsCheckKind(ButtonKind(hwnd)) ? s->check : 0) | (s->pushed ? BST_PUSHED : 0) |
                   (GetFocus() == hwnd ? BST_FOCUS : 0);
        case BM_SETSTATE:
            s->pushed = wParam != 0;
            InvalidateRect(hwnd, nullptr, TRUE);
            return 0;
        case BM_SETSTYLE:
            SetWindowLongW(hwnd, GWL_STYLE,
                           static_cast<LONG>((GetWindowLongW(hwnd, GWL_STYLE) & ~0xFFFF) |
                                             (wParam & 0xFFFF)));
            if (LOWORD(static_cast<DWORD_PTR>(lParam))) InvalidateRect(hwnd, nullptr, TRUE);
            return 0;
        case BM_CLICK:
            Click(hwnd, s);
            return 0;
        case WM_SETTEXT: {
            LRESULT r = DefWindowProcW(hwnd, msg, wParam, lParam);
            InvalidateRect(hwnd, nullptr, TRUE);
            return r;
        }
        case WM_LBUTTONDOWN:
            s->pressed = true;
            s->pushed = true;
            SetCapture(hwnd);
            InvalidateRect(hwnd, nullptr, TRUE);
            return 0;
        case WM_LBUTTONUP: {
            bool was = s->pressed;
            s->pressed = s->pushed = false;
            if (GetCapture() == hwnd) ReleaseCapture();
            InvalidateRect(hwnd, nullptr, TRUE);
            RECT r;
            GetClientRect(hwnd, &r);
            POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            if (was && PtInRect(&r, pt)) Click(hwnd, s);
            return 0;
        }
        case WM_KEYDOWN:
            // A repeat (bit 30: already down) is not a new press.
            if ((wParam == 0x20 /* space */ || wParam == 0x0D) && !(lParam & (1 << 30)))
                s->keyDown = wParam;
            return 0;
        case WM_KEYUP:
            if ((wParam == 0x20 || wParam == 0x0D) && s->keyDown == wParam) {
                s->keyDown = 0;
                Click(hwnd, s);
            }
            return 0;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
        case WM_ENABLE:
            s->keyDown = 0;
            InvalidateRect(hwnd, nullptr, TRUE);
            return 0;
        case WM_PAINT:
            PaintButton(hwnd, s);
            return 0;
        default:
            return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

namespace {

// A range and a position shared by the up-down, trackbar and progress bar.
struct RangeState : Common {
    int low = 0;
    int high = 100;
    int pos = 0;
    int step = 10;
    int line = 1;
    int page = 0;
    HWND buddy = nullptr;
};

int Span(const RangeState* s) {
    return s->high > s->low ? s->high - s->low : 1;
}

}  // namespace

LRESULT ProgressProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* s = State<RangeState>(hwnd);
    LRESULT out = 0;
    if (CommonMessage(hwnd, msg, wParam, lParam, s, out)) return out;
    if (!s) return DefWindowProcW(hwnd, msg, wParam, lParam);
    int old = s->pos;
    auto set = [&](int v) {
        s->pos = Clamp(v, s->low, s->high);
        if (s->pos != old) InvalidateRect(hwnd, nullptr, FALSE);
        return static_cast<LRESULT>(old);
    };
    switch (msg) {
        case PBM_SETRANGE:
        case PBM_SETRANGE32: {
            LRESULT previous = MAKELPARAM(s->low, s->high);
            s->low = msg == PBM_SETRANGE ? LOWORD(static_cast<DWORD_PTR>(lParam))
                                         : static_cast<int>(wParam);
            s->high = msg == PBM_SETRANGE ? HIWORD(static_cast<DWORD_PTR>(lParam))
                                          : static_cast<int>(lParam);
            if (s->high < s->low) s->high = s->low;
            set(s->pos);
            InvalidateRect(hwnd, nullptr, FALSE);
            return previous;
        }
        case PBM_GETRANGE:
            return wParam ? s->low : s->high;
        case PBM_SETPOS:
            return set(static_cast<int>(wParam));
        case PBM_DELTAPOS:
            return set(s->pos + static_cast<int>(wParam));
        case PBM_SETSTEP: {
            int previous = s->step;
            s->step = static_cast<int>(wParam);
            return previous;
        }
        case PBM_STEPIT: {
            // The position wraps to the bottom when a step passes the top.
            int v = s->pos + s->step;
            if (v > s->high) v = s->low + (v - s->high);
            return set(v);
        }
        case PBM_GETPOS:
            return s->pos;
        case WM_PAINT: {
            Painter p(hwnd, s->font);
            if (!p.dc()) return 0;
            RECT r = p.client();
            Fill(p.dc(), r, RGB(255, 255, 255));
            Frame(p.dc(), r, RGB(0, 0, 0));
            long long inner = r.right - r.left - 2;
            RECT bar{r.left + 1, r.top + 1,
                     r.left + 1 + static_cast<int>(inner * (s->pos - s->low) / Span(s)),
                     r.bottom - 1};
            Fill(p.dc(), bar, RGB(0, 0, 160));
            return 0;
        }
        default:
            return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

namespace {

void SendScroll(HWND hwnd, RangeState* s, WORD code) {
    DWORD style = static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE));
    HWND parent = GetParent(hwnd);
    if (!parent) return;
    WPARAM w = MAKEWPARAM(code, (code == TB_THUMBTRACK || code == TB_THUMBPOSITION) ? s->pos : 0);
    SendMessageW(parent, (style & TBS_VERT) ? WM_VSCROLL : WM_HSCROLL, w,
                 reinterpret_cast<LPARAM>(hwnd));
}

int TrackPosAt(HWND hwnd, RangeState* s, int x) {
    RECT r;
    GetClientRect(hwnd, &r);
    int thumb = Px(8);
    int width = std::max<int>(1, r.right - r.left - thumb);
    long long v = static_cast<long long>(x - thumb / 2) * Span(s) / width + s->low;
    return Clamp(static_cast<int>(v), s->low, s->high);
}

}  // namespace

LRESULT TrackbarProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* s = State<RangeState>(hwnd);
    LRESULT out = 0;
    if (CommonMessage(hwnd, msg, wParam, lParam, s, out)) return out;
    if (!s) return DefWindowProcW(hwnd, msg, wParam, lParam);
    auto redraw = [&](bool yes) {
        if (yes) InvalidateRect(hwnd, nullptr, FALSE);
    };
    switch (msg) {
        case TBM_GETPOS:
            return s->pos;
        case TBM_GETRANGEMIN:
            return s->low;
        case TBM_GETRANGEMAX:
            return s->high;
        case TBM_SETPOS:
            s->pos = Clamp(static_cast<int>(lParam), s->low, s->high);
            redraw(wParam != 0);
            return 0;
        case TBM_SETRANGE:
            s->low = static_cast<short>(LOWORD(static_cast<DWORD_PTR>(lParam)));
            s->high = static_cast<short>(HIWORD(static_cast<DWORD_PTR>(lParam)));
            if (s->high < s->low) s->high = s->low;
            s->pos = Clamp(s->pos, s->low, s->high);
            redraw(wParam != 0);
            return 0;
        case TBM_SETRANGEMIN:
            s->low = std::min(static_cast<int>(lParam), s->high);
            s->pos = Clamp(s->pos, s->low, s->high);
            redraw(wParam != 0);
            return 0;
        case TBM_SETRANGEMAX:
            s->high = std::max(static_cast<int>(lParam), s->low);
            s->pos = Clamp(s->pos, s->low, s->high);
            redraw(wParam != 0);
            return 0;
        case TBM_SETPAGESIZE: {
            int previous = s->page ? s->page : std::max(1, Span(s) / 5);
            s->page = static_cast<int>(lParam);
            return previous;
        }
        case TBM_GETPAGESIZE:
            return s->page ? s->page : std::max(1, Span(s) / 5);
        case TBM_SETLINESIZE: {
            int previous = s->line;
            s->line = static_cast<int>(lParam);
            return previous;
        }
        case TBM_GETLINESIZE:
            return s->line;
        case WM_LBUTTONDOWN:
        case WM_MOUSEMOVE:
            if (msg == WM_MOUSEMOVE && !s->pressed) return 0;
            if (msg == WM_LBUTTONDOWN) {
                s->pressed = true;
                SetCapture(hwnd);
                SetFocus(hwnd);
            }
            s->pos = TrackPosAt(hwnd, s, GET_X_LPARAM(lParam));
            InvalidateRect(hwnd, nullptr, FALSE);
            SendScroll(hwnd, s, TB_THUMBTRACK);
            return 0;
        case WM_LBUTTONUP:
            if (!s->pressed) return 0;
            s->pressed = false;
            if (GetCapture() == hwnd) ReleaseCapture();
            SendScroll(hwnd, s, TB_THUMBPOSITION);
            SendScroll(hwnd, s, TB_ENDTRACK);
            return 0;
        case WM_KEYDOWN: {
            // Left and Up lower the value, Right and Down raise it, by a line; PageUp and
            // PageDown by a page; Home and End go to the ends.
            const int page = s->page ? s->page : std::max(1, Span(s) / 5);
            int v = s->pos;
            WORD code;
            switch (wParam) {
                case 0x25:  // Left
                case 0x26:  // Up
                    v -= s->line;
                    code = TB_LINEUP;
                    break;
                case 0x27:  // Right
                case 0x28:  // Down
                    v += s->line;
                    code = TB_LINEDOWN;
                    break;
                case 0x21:  // PageUp
                    v -= page;
                    code = TB_PAGEUP;
                    break;
                case 0x22:  // PageDown
                    v += page;
                    code = TB_PAGEDOWN;
                    break;
                case 0x24:  // Home
                    v = s->low;
                    code = TB_TOP;
                    break;
                case 0x23:  // End
                    v = s->high;
                    code = TB_BOTTOM;
                    break;
                default:
                    return 0;
            }
            s->pos = Clamp(v, s->low, s->high);
            InvalidateRect(hwnd, nullptr, FALSE);
            SendScroll(hwnd, s, code);
            SendScroll(hwnd, s, TB_ENDTRACK);
            return 0;
        }
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            InvalidateRect(hwnd, nullptr, FALSE);
            return 0;
        case WM_PAINT: {
            Painter p(hwnd, s->font);
            if (!p.dc()) return 0;
            RECT r = p.client();
            Fill(p.dc(), r, RGB(255, 255, 255));
            int mid = (r.top + r.bottom) / 2;
            Fill(p.dc(), RECT{r.left + Px(4), mid - 1, r.right - Px(4), mid + 1}, RGB(96, 96, 96));
            int thumb = Px(8);
            long long travel = r.right - r.left - thumb;
            int x = r.left + static_cast<int>(travel * (s->pos - s->low) / Span(s));
            Fill(p.dc(), RECT{x, r.top + 1, x + thumb, r.bottom - 1}, RGB(0, 0, 160));
            // The focus: a frame round the slider, so that a person sees where the keys go.
            if (GetFocus() == hwnd) Frame(p.dc(), r, RGB(0, 0, 0));
            return 0;
        }
        default:
            return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

namespace {

bool IsClass(HWND hwnd, const char16_t* name) {
    WCHAR buffer[32] = {};
    if (!GetClassNameW(hwnd, buffer, 32)) return false;
    std::u16string a(buffer), b(name);
    auto lower = [](std::u16string s) {
        for (auto& c : s)
            if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
        return s;
    };
    return lower(a) == lower(b);
}

// Puts the up-down beside its buddy (on the right by default) and takes its height.
void PlaceBeside(HWND hwnd, HWND buddy) {
    DWORD style = static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE));
    if (!buddy || !(style & (UDS_ALIGNRIGHT | UDS_ALIGNLEFT))) return;
    HWND parent = GetParent(hwnd);
    RECT b;
    GetWindowRect(buddy, &b);
    POINT corners[2] = {{b.left, b.top}, {b.right, b.bottom}};
    MapWindowPoints(nullptr, parent, corners, 2);
    int h = corners[1].y - corners[0].y;
    int w = Px(2 * 12);
    int bw = std::max<int>(0, corners[1].x - corners[0].x - w);
    if (style & UDS_ALIGNLEFT) {
        MoveWindow(hwnd, corners[0].x, corners[0].y, w, h, TRUE);
        MoveWindow(buddy, corners[0].x + w, corners[0].y, bw, h, TRUE);
    } else {
        MoveWindow(buddy, corners[0].x, corners[0].y, bw, h, TRUE);
        MoveWindow(hwnd, corners[0].x + bw, corners[0].y, w, h, TRUE);
    }
}

// One step of the up-down: asks the parent (UDN_DELTAPOS may refuse), then moves its own
// position and the buddy: a list box's selection, or the number an edit shows.
void Step(HWND hwnd, RangeState* s, int delta) {
    DWORD style = static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE));
    NMUPDOWN n{};
    n.iPos = s->pos;
    n.iDelta = delta;
    if (Notify(hwnd, &n.hdr, UDN_DELTAPOS) != 0) return;
    delta = n.iDelta;
    if (s->buddy && IsClass(s->buddy, WC_LISTBOX)) {
        int count = static_cast<int>(SendMessageW(s->buddy, LB_GETCOUNT, 0, 0));
        if (count <= 0) return;
        int cur = static_cast<int>(SendMessageW(s->buddy, LB_GETCURSEL, 0, 0));
        int next = cur < 0 ? 0 : cur + delta;
        if (next < 0 || next >= count) {
            if (!(style & UDS_WRAP)) return;
            next = ((next % count) + count) % count;
        }
        SendMessageW(s->buddy, LB_SETCURSEL, static_cast<WPARAM>(next), 0);
        Command(s->buddy, LBN_SELCHANGE);
        return;
    }
    int lo = std::min(s->low, s->high), hi = std::max(s->low, s->high);
    int v = s->pos + (s->low <= s->high ? delta : -delta);
    if (v < lo || v > hi) {
        if (!(style & UDS_WRAP)) return;
        v = v < lo ? hi : lo;
    }
    s->pos = v;
    if (s->buddy && (style & UDS_SETBUDDYINT)) {
        std::u16string text;
        for (char c : std::to_string(v)) text.push_back(static_cast<char16_t>(c));
        SendMessageW(s->buddy, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    HWND parent = GetParent(hwnd);
    if (parent)
        SendMessageW(parent, (style & UDS_HORZ) ? WM_HSCROLL : WM_VSCROLL,
                     MAKEWPARAM(TB_THUMBPOSITION, v), reinterpret_cast<LPARAM>(hwnd));
}

}  // namespace

LRESULT UpDownProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* s = State<RangeState>(hwnd);
    LRESULT out = 0;
    if (CommonMessage(hwnd, msg, wParam, lParam, s, out)) return out;
    if (msg == WM_CREATE) {
        s->high = 0;
        s->low = 100;  // the platform's default range runs down
        if (GetWindowLongW(hwnd, GWL_STYLE) & UDS_AUTOBUDDY) {
            // The buddy is the window made just before: the next one down the z-order.
            s->buddy = GetWindow(hwnd, GW_HWNDNEXT);
            PlaceBeside(hwnd, s->buddy);
        }
        return 0;
    }
    if (!s) return DefWindowProcW(hwnd, msg, wParam, lParam);
    DWORD style = static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE));
    switch (msg) {
        case UDM_SETBUDDY: {
            HWND old = s->buddy;
            s->buddy = reinterpret_cast<HWND>(wParam);
            PlaceBeside(hwnd, s->buddy);
            return reinterpret_cast<LRESULT>(old);
        }
        case UDM_GETBUDDY:
            return reinterpret_cast<LRESULT>(s->buddy);
        case UDM_SETRANGE:
            s->high = static_cast<short>(LOWORD(static_cast<DWORD_PTR>(lParam)));
            s->low = static_cast<short>(HIWORD(static_cast<DWORD_PTR>(lParam)));
            return 0;
        case UDM_GETRANGE:
            return MAKELONG(static_cast<WORD>(s->high), static_cast<WORD>(s->low));
        case UDM_SETRANGE32:
            s->low = static_cast<int>(wParam);
            s->high = static_cast<int>(lParam);
            return 0;
        case UDM_GETRANGE32:
            if (wParam) *reinterpret_cast<int*>(wParam) = s->low;
            if (lParam) *reinterpret_cast<int*>(lParam) = s->high;
            return 0;
        case UDM_SETPOS:
        case UDM_SETPOS32: {
            int old = s->pos;
            int v = msg == UDM_SETPOS ? static_cast<short>(LOWORD(static_cast<DWORD_PTR>(lParam)))
                                      : static_cast<int>(lParam);
            s->pos = Clamp(v, std::min(s->low, s->high), std::max(s->low, s->high));
            return old;
        }
        case UDM_GETPOS:
        case UDM_GETPOS32:
            return s->pos;
        case WM_LBUTTONUP: {
            RECT r;
            GetClientRect(hwnd, &r);
            POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            bool first = (style & UDS_HORZ) ? pt.x < (r.left + r.right) / 2
                                            : pt.y < (r.top + r.bottom) / 2;
            // Horizontal: left is down; vertical: the top arrow is up.
            int delta = (style & UDS_HORZ) ? (first ? -1 : 1) : (first ? 1 : -1);
            Step(hwnd, s, delta);
            return 0;
        }
        case WM_PAINT: {
            Painter p(hwnd, s->font);
            if (!p.dc()) return 0;
            RECT r = p.client();
            Fill(p.dc(), r, RGB(255, 255, 255));
            bool horz = (style & UDS_HORZ) != 0;
            RECT a = r, b = r;
            if (horz)
                a.right = b.left = (r.left + r.right) / 2;
            else
                a.bottom = b.top = (r.top + r.bottom) / 2;
            Frame(p.dc(), a, RGB(0, 0, 0));
            Frame(p.dc(), b, RGB(0, 0, 0));
            Text(p.dc(), horz ? u"\u25C4" : u"\u25B2", a, DT_CENTER | DT_VCENTER | DT_SINGLELINE,
                 RGB(0, 0, 0));
            Text(p.dc(), horz ? u"\u25BA" : u"\u25BC", b, DT_CENTER | DT_VCENTER | DT_SINGLELINE,
                 RGB(0, 0, 0));
            return 0;
        }
        default:
            return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

namespace {

struct StatusState : Common {
    std::vector<int> parts{-1};
    std::vector<std::u16string> texts{u""};
    bool simple = false;
    std::u16string simpleText;
};

void Dock(HWND hwnd) {
    HWND parent = GetParent(hwnd);
    DWORD style = static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE));
    if (!parent || (style & CCS_NORESIZE)) return;
    RECT r;
    GetClientRect(parent, &r);
    int h = Px(18);
    bool top = (style & CCS_BOTTOM) == CCS_TOP;
    MoveWindow(hwnd, 0, top ? 0 : r.bottom - h, r.right, h, TRUE);
}

}  // namespace

LRESULT StatusBarProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* s = State<StatusState>(hwnd);
    LRESULT out = 0;
    if (CommonMessage(hwnd, msg, wParam, lParam, s, out)) return out;
    if (msg == WM_CREATE) {
        Dock(hwnd);
        return 0;
    }
    if (!s) return DefWindowProcW(hwnd, msg, wParam, lParam);
    switch (msg) {
        case WM_SIZE:
            Dock(hwnd);
            return 0;
        case SB_SETPARTS: {
            int n = static_cast<int>(wParam);
            if (n < 1 || n > 255 || !lParam) return FALSE;
            const int* edges = reinterpret_cast<const int*>(lParam);
            s->parts.assign(edges, edges + n);
            s->texts.resize(static_cast<size_t>(n));
            InvalidateRect(hwnd, nullptr, TRUE);
            return TRUE;
        }
        case SB_GETPARTS: {
            int n = static_cast<int>(s->parts.size());
            int* out = reinterpret_cast<int*>(lParam);
            for (int i = 0; out && i < std::min(n, static_cast<int>(wParam)); ++i)
                out[i] = s->parts[static_cast<size_t>(i)];
            return n;
        }
        case SB_SETTEXTW: {
            size_t part = wParam & 0xFF;
            LPCWSTR text = reinterpret_cast<LPCWSTR>(lParam);
            if (part == 0xFF) {
                s->simpleText = text ? text : u"";
            } else {
                if (part >= s->texts.size()) return FALSE;
                s->texts[part] = text ? text : u"";
            }
            InvalidateRect(hwnd, nullptr, TRUE);
            return TRUE;
        }
        case SB_GETTEXTLENGTHW:
        case SB_GETTEXTW: {
            size_t part = wParam & 0xFF;
            if (part >= s->texts.size()) return 0;
            const std::u16string& t = s->texts[part];
            if (msg == SB_GETTEXTW && lParam) {
                auto* out = reinterpret_cast<LPWSTR>(lParam);
                std::copy(t.begin(), t.end(), out);
                out[t.size()] = 0;
            }
            return static_cast<LRESULT>(t.size());
        }
        case SB_GETBORDERS: {
            int* out = reinterpret_cast<int*>(lParam);
            if (!out) return FALSE;
            out[0] = 0;      // horizontal border
            out[1] = Px(2);  // vertical border
            out[2] = Px(2);  // between parts
            return TRUE;
        }
        case SB_SIMPLE:
            s->simple = wParam != 0;
            InvalidateRect(hwnd, nullptr, TRUE);
            return 0;
        case SB_ISSIMPLE:
            return s->simple;
        case WM_PAINT: {
            Painter p(hwnd, s->font);
            if (!p.dc()) return 0;
            RECT r = p.client();
            Fill(p.dc(), r, RGB(224, 224, 224));
            Fill(p.dc(), RECT{r.left, r.top, r.right, r.top + 1}, RGB(128, 128, 128));
            if (s->simple) {
                RECT t{r.left + Px(2), r.top, r.right, r.bottom};
                Text(p.dc(), s->simpleText, t, DT_SINGLELINE | DT_VCENTER, RGB(0, 0, 0));
                return 0;
            }
            int left = r.left;
            for (size_t i = 0; i < s->parts.size(); ++i) {
                int right = s->parts[i] < 0 ? r.right : std::min<int>(s->parts[i], r.right);
                RECT t{left + Px(2), r.top, right - Px(2), r.bottom};
                Text(p.dc(), s->texts[i], t, DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS,
                     RGB(0, 0, 0));
                left = right;
            }
            return 0;
        }
        default:
            return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

}  // namespace fvt::ctl

void fvt::RegisterControlClasses() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct Entry {
            const WCHAR* name;
            WNDPROC proc;
        };
        const Entry entries[] = {
            {WC_STATIC, ctl::StaticProc},         {WC_BUTTON, ctl::ButtonProc},
            {WC_EDIT, ctl::EditProc},             {WC_LISTBOX, ctl::ListBoxProc},
            {WC_COMBOBOX, ctl::ComboBoxProc},     {UPDOWN_CLASSW, ctl::UpDownProc},
            {TRACKBAR_CLASSW, ctl::TrackbarProc}, {PROGRESS_CLASSW, ctl::ProgressProc},
            {STATUSCLASSNAMEW, ctl::StatusBarProc}, {WC_LISTVIEWW, ctl::ListViewProc},
        };
        for (const Entry& e : entries)
            ctl::RegisterLayerClass(e.name, e.proc, static_cast<int>(sizeof(void*)));
    });
}

bool fvt::ControlTextOverflows(HWND control) {
    std::lock_guard<std::mutex> l(ctl::g_overflowLock);
    return ctl::Overflowing().count(control) != 0;
}

void fvt::ForgetControlText(HWND control) {
    std::lock_guard<std::mutex> l(ctl::g_overflowLock);
    ctl::Overflowing().erase(control);
}

extern "C" void InitCommonControls() {
    fvt::RegisterControlClasses();
}

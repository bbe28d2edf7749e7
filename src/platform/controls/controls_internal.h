// Helpers shared by the control procedures (not for the layer's users).
#pragma once

#include <string>
#include <vector>

#include "platform/controls/controls.h"

namespace fvt::ctl {

// A control's state object, kept in its first extra bytes from WM_CREATE to WM_DESTROY.
template <class T>
T* State(HWND hwnd) {
    return reinterpret_cast<T*>(GetWindowLongPtrW(hwnd, 0));
}
template <class T>
T* Attach(HWND hwnd) {
    T* state = new T;
    SetWindowLongPtrW(hwnd, 0, reinterpret_cast<LONG_PTR>(state));
    return state;
}
template <class T>
void Detach(HWND hwnd) {
    delete State<T>(hwnd);
    SetWindowLongPtrW(hwnd, 0, 0);
    ForgetControlText(hwnd);
}

// Fields every control keeps: its font (not owned) and whether the pen went down on it.
struct Common {
    Common() = default;
    Common(const Common&) = delete;
    Common& operator=(const Common&) = delete;
    ~Common();
    HFONT font = nullptr;
    bool pressed = false;
    // The default font WM_GETFONT answered while none was set (owned).
    HFONT shownDefault = nullptr;
};

// Handles WM_SETFONT/WM_GETFONT; false for other messages.
bool FontMessage(Common* s, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& out);

// What every control procedure does first: its state is made at WM_CREATE (the procedure may
// add to it) and deleted at WM_DESTROY, and the font messages are answered. True with `out`
// when the message needs nothing more.
template <class T>
bool CommonMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, T*& s, LRESULT& out) {
    out = 0;
    if (msg == WM_CREATE) {
        s = Attach<T>(hwnd);
        return false;
    }
    if (msg == WM_DESTROY) {
        if (s) Detach<T>(hwnd);
        s = nullptr;
        return true;
    }
    return s && FontMessage(s, hwnd, msg, wParam, lParam, out);
}

// A device context on `hwnd` (null: the screen) with `font` selected, or the default font made
// for it; for measuring outside painting.
class FontDC {
public:
    FontDC(HWND hwnd, HFONT font);
    ~FontDC();
    FontDC(const FontDC&) = delete;
    FontDC& operator=(const FontDC&) = delete;
    HDC dc() const { return dc_; }

private:
    HWND hwnd_;
    HDC dc_;
    HFONT made_ = nullptr;
    HGDIOBJ old_ = nullptr;
};

// Registers one of the layer's own window classes (again is harmless).
void RegisterLayerClass(const WCHAR* name, WNDPROC proc, int extraBytes = 0);
// The plain look of a box or menu: white, with a black frame.
void PaintPanel(HDC dc, const RECT& r);

// The control's pixels for `v` pixels at 96 dpi.
int Px(int v);
std::u16string WindowText(HWND hwnd);
// WM_COMMAND (id, notice; control) to the parent.
LRESULT Command(HWND hwnd, WORD notice);
// WM_NOTIFY to the parent; fills the header first.
LRESULT Notify(HWND hwnd, NMHDR* header, int code);
void Fill(HDC dc, const RECT& r, COLORREF color);
void Frame(HDC dc, const RECT& r, COLORREF color);
void Text(HDC dc, const std::u16string& text, RECT r, UINT format, COLORREF color);
int TextWidth(HDC dc, const std::u16string& text);
int LineHeight(HDC dc);
// A font for drawing when the control was given none: the system's UI face at 8 points.
HFONT CreateDefaultFont();

// BeginPaint with the control's font selected (its own or a default made for the paint).
class Painter {
public:
    Painter(HWND hwnd, HFONT font);
    ~Painter();
    Painter(const Painter&) = delete;
    Painter& operator=(const Painter&) = delete;
    HDC dc() const { return dc_; }
    const RECT& client() const { return client_; }

private:
    HWND hwnd_;
    HWND outer_;  // the control painting when this one began (a paint within a paint)
    PAINTSTRUCT ps_{};
    HDC dc_ = nullptr;
    HFONT made_ = nullptr;
    HGDIOBJ old_ = nullptr;
    RECT client_{};
};

// The items of a list box or combo box.
struct ListItem {
    std::u16string text;
    LRESULT data = 0;
    bool selected = false;
};
struct ItemList {
    std::vector<ListItem> items;
    int current = -1;
    bool sorted = false;
    // LB_/CB_ operations shared by both controls; false when `message` is not one of them.
    bool Handle(UINT message, WPARAM wParam, LPARAM lParam, bool combo, LRESULT& result);
    int Count() const { return static_cast<int>(items.size()); }
};

LRESULT StaticProc(HWND, UINT, WPARAM, LPARAM);
LRESULT ButtonProc(HWND, UINT, WPARAM, LPARAM);
LRESULT EditProc(HWND, UINT, WPARAM, LPARAM);
LRESULT ListBoxProc(HWND, UINT, WPARAM, LPARAM);
LRESULT ComboBoxProc(HWND, UINT, WPARAM, LPARAM);
LRESULT UpDownProc(HWND, UINT, WPARAM, LPARAM);
LRESULT TrackbarProc(HWND, UINT, WPARAM, LPARAM);
LRESULT ProgressProc(HWND, UINT, WPARAM, LPARAM);
LRESULT StatusBarProc(HWND, UINT, WPARAM, LPARAM);
LRESULT ListViewProc(HWND, UINT, WPARAM, LPARAM);

}  // namespace fvt::ctl

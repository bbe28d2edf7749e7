#include "shell_ui/colour_picker.h"

#include "core/platform_helpers.h"
#include "platform/dialog/dialog.h"
#include "platform/dialog/dialog_template.h"
#include "platform/gdi.h"

namespace {

struct PickerState {
    int32_t palette = 0;
    COLORREF current = 0;
    COLORREF chosen = 0;
    POINT at{};
    HWND owner = nullptr;
};

int32_t Border() {
    return IsHighResolution() ? 2 : 1;
}

// The cell under a point of the pop-up's client area; false outside the 8 x 8 cells.
bool CellAt(POINT p, int32_t& x, int32_t& y) {
    int32_t inset = Border();
    int32_t cell = ColourPicker::CellSize();
    if (p.x < inset || p.y < inset) return false;
    x = (p.x - inset) / cell;
    y = (p.y - inset) / cell;
    return x < ColourPicker::kCells && y < ColourPicker::kCells;
}

void Line(HDC dc, int x0, int y0, int x1, int y1) {
    MoveToEx(dc, x0, y0, nullptr);
    LineTo(dc, x1, y1);
}

void Paint(HWND window, const PickerState& s) {
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(window, &paint);
    if (!dc) return;
    int32_t inset = Border();
    int32_t cell = ColourPicker::CellSize();
    HPEN shadow = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW));
    HPEN light = CreatePen(PS_SOLID, 1, RGB(255, 255, 255));
    HGDIOBJ oldPen = SelectObject(dc, shadow);
    for (int32_t y = 0; y < ColourPicker::kCells; ++y) {
        for (int32_t x = 0; x < ColourPicker::kCells; ++x) {
            RECT r{inset + x * cell, inset + y * cell, inset + (x + 1) * cell, inset + (y + 1) * cell};
            COLORREF colour = ColourPicker::PaletteColour(s.palette, x, y);
            bool current = colour == s.current;
            HBRUSH back = GetSysColorBrush(current ? COLOR_HIGHLIGHT : COLOR_BTNFACE);
            FillRect(dc, &r, back);
            if (current) {  // a sunken edge
                SelectObject(dc, shadow);
                Line(dc, r.left, r.bottom - 1, r.left, r.top);
                Line(dc, r.left, r.top, r.right - 1, r.top);
                SelectObject(dc, light);
                Line(dc, r.right - 1, r.top, r.right - 1, r.bottom - 1);
                Line(dc, r.right - 1, r.bottom - 1, r.left, r.bottom - 1);
                SelectObject(dc, shadow);
            }
            HBRUSH fill = CreateSolidBrush(colour);
            HGDIOBJ oldBrush = SelectObject(dc, fill);
            int32_t d = inset + 1;
            Rectangle(dc, r.left + d, r.top + d, r.right - d, r.bottom - d);
            SelectObject(dc, oldBrush);
            DeleteObject(fill);
        }
    }
    SelectObject(dc, oldPen);
    DeleteObject(shadow);
    DeleteObject(light);
    EndPaint(window, &paint);
}

INT_PTR PickerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* s = reinterpret_cast<PickerState*>(lParam);
        SetWindowLongPtrW(window, DWL_USER, lParam);
        int32_t side = ColourPicker::PopupSize();
        // Moved left or up so that the whole pop-up stays inside the owner.
        RECT bounds{};
        if (s->owner && GetWindowRect(s->owner, &bounds)) {
            if (s->at.x + side > bounds.right) s->at.x = bounds.right - side;
            if (s->at.y + side > bounds.bottom) s->at.y = bounds.bottom - side;
            if (s->at.x < bounds.left) s->at.x = bounds.left;
            if (s->at.y < bounds.top) s->at.y = bounds.top;
        }
        MoveWindow(window, s->at.x, s->at.y, side, side, TRUE);
        return 1;
    }
    auto* s = reinterpret_cast<PickerState*>(GetWindowLongPtrW(window, DWL_USER));
    if (!s) return 0;
    switch (message) {
        case WM_PAINT:
            Paint(window, *s);
            return 1;
        case WM_LBUTTONUP: {
            int32_t x = 0, y = 0;
            POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            if (!CellAt(p, x, y)) {
                EndDialog(window, 0);
                return 1;
            }
            s->chosen = ColourPicker::PaletteColour(s->palette, x, y);
            EndDialog(window, 1);
            return 1;
        }
        case WM_ACTIVATE:
            if (LOWORD(wParam) == WA_INACTIVE) EndDialog(window, 0);
            return 0;
        case WM_KILLFOCUS:
        case WM_CLOSE:
            EndDialog(window, 0);
            return 1;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDOK) EndDialog(window, 0);
            return 1;
        default:
            return 0;
    }
}

}  // namespace

COLORREF ColourPicker::PaletteColour(int32_t palette, int32_t x, int32_t y) {
    int32_t r = 0, g = 0, b = 0;
    if (palette == 0) {
        r = x * 255 / 3;
        g = y * 255 / 3;
        b = (x / 4 + y / 2) * 255 / 3;
    } else {
        if (x == 0 && y == 0) return RGB(0, 0, 0);
        r = (x + 1) * 255 / 4;
        g = (y + 1) * 255 / 4;
        // A full 510 is raised so that its low byte is white.
        if (r == 510) r = 511;
        if (g == 510) g = 511;
        b = ((x + 1) / 4 + y / 2) * 127 / 4 + 128;
    }
    return RGB(r & 0xFF, g & 0xFF, b & 0xFF);
}

int32_t ColourPicker::CellSize() {
    return IsHighResolution() ? 36 : 18;
}

int32_t ColourPicker::PopupSize() {
    return kCells * CellSize() + (IsHighResolution() ? 4 : 2);
}

bool ColourPicker::Choose(HWND owner, POINT at, int32_t palette, COLORREF current, COLORREF& chosen) {
    fvt::DialogTemplate t;
    t.style = WS_POPUP | WS_BORDER;
    t.cx = 10;
    t.cy = 10;
    std::vector<BYTE> record = fvt::BuildDialogTemplate(t);
    PickerState s;
    s.palette = palette;
    s.current = current;
    s.at = at;
    s.owner = owner;
    INT_PTR result = DialogBoxIndirectParamW(nullptr, reinterpret_cast<LPCDLGTEMPLATEW>(record.data()),
                                             owner, PickerProc, reinterpret_cast<LPARAM>(&s));
    if (result != 1) return false;
    chosen = s.chosen;
    return true;
}

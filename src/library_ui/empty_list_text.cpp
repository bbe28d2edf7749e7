#include "library_ui/empty_list_text.h"

#include "core/string.h"
#include "platform/controls/controls.h"
#include "shell_ui/dialog_helpers.h"

EmptyListText::~EmptyListText() {
    Detach();
}

void EmptyListText::Attach(HWND list, uint32_t stringId) {
    text_ = stringId;
    if (!list || list == list_) return;
    Detach();
    list_ = list;
    SetWindowLongPtrW(list, GWL_USERDATA, reinterpret_cast<LONG_PTR>(this));
    previous_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(list, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(&Proc)));
}

void EmptyListText::Detach() {
    if (list_ && IsWindow(list_) && previous_) {
        SetWindowLongPtrW(list_, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(previous_));
        SetWindowLongPtrW(list_, GWL_USERDATA, 0);
    }
    list_ = nullptr;
    previous_ = nullptr;
}

LRESULT EmptyListText::Proc(HWND list, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<EmptyListText*>(GetWindowLongPtrW(list, GWL_USERDATA));
    if (!self || !self->previous_) return DefWindowProcW(list, message, wParam, lParam);
    WNDPROC previous = self->previous_;
    if (message == WM_DESTROY) {
        // The hook object may outlive the control: unhook before the control goes.
        self->Detach();
        return CallWindowProcW(previous, list, message, wParam, lParam);
    }
    LRESULT result = CallWindowProcW(previous, list, message, wParam, lParam);
    if (message == WM_PAINT && SendMessageW(list, LVM_GETITEMCOUNT, 0, 0) == 0) self->Paint(list);
    return result;
}

void EmptyListText::Paint(HWND list) const {
    HDC dc = GetDC(list);
    if (!dc) return;
    RECT client{};
    GetClientRect(list, &client);
    String text = ResString(text_);
    auto font = reinterpret_cast<HFONT>(SendMessageW(list, WM_GETFONT, 0, 0));
    HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
    SetTextColor(dc, RGB(0, 0, 0));
    SetBkMode(dc, TRANSPARENT);
    DrawTextW(dc, text.Data(), text.Length(), &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    if (old) SelectObject(dc, old);
    ReleaseDC(list, dc);
}

#include "shell_ui/soft_key_bar.h"

#include "core/resources.h"
#include "platform/window/keys.h"

namespace {
constexpr UINT kBackKey = 0x1B;
}

HWND CreateDialogMenuBar(HWND window, uint32_t menuId) {
    SHMENUBARINFO info{};
    info.cbSize = sizeof(info);
    info.hwndParent = window;
    info.nToolBarId = menuId;
    info.dwFlags = menuId == 0 ? SHCMBF_EMPTYBAR : 0;
    if (!SHCreateMenuBar(&info) || !info.hwndMB) return nullptr;
    SendMessageW(info.hwndMB, SHCMBM_OVERRIDEKEY, kBackKey,
                 MAKELPARAM(SHMBOF_NODEFAULT | SHMBOF_NOTIFY, SHMBOF_NODEFAULT | SHMBOF_NOTIFY));
    return info.hwndMB;
}

SoftKeyBar::~SoftKeyBar() {
    Destroy();
}

bool SoftKeyBar::Create(HWND owner, uint32_t menuId, void* ownerObject) {
    Destroy();
    owner_ = owner;
    ownerObject_ = ownerObject;
    bar_ = CreateDialogMenuBar(owner, menuId);
    if (!bar_) return false;
    ShowWindow(bar_, SW_HIDE);
    shown_ = false;
    return true;
}

void SoftKeyBar::Destroy() {
    // The platform closes a bar with its owner: the handle may already be gone.
    if (bar_ && IsWindow(bar_)) DestroyWindow(bar_);
    bar_ = nullptr;
    shown_ = false;
}

void SoftKeyBar::Show(bool show) {
    shown_ = show;
    if (bar_ && IsWindow(bar_)) ShowWindow(bar_, show ? SW_SHOW : SW_HIDE);
}

HMENU SoftKeyBar::GetButtonMenu(uint32_t buttonId) const {
    if (!bar_) return nullptr;
    TBBUTTONINFOW info{};
    info.cbSize = sizeof(info);
    info.dwMask = TBIF_LPARAM;
    if (SendMessageW(bar_, TB_GETBUTTONINFOW, buttonId, reinterpret_cast<LPARAM>(&info)) < 0)
        return nullptr;
    return reinterpret_cast<HMENU>(info.lParam);
}

bool SoftKeyBar::SetButtonText(uint32_t buttonId, uint32_t stringId) {
    if (!bar_) return false;
    const char16_t* text = stringId ? LoadResString(stringId) : u"";
    if (!text) text = u"";
    TBBUTTONINFOW info{};
    info.cbSize = sizeof(info);
    info.dwMask = TBIF_TEXT;
    info.pszText = const_cast<LPWSTR>(text);
    if (SendMessageW(bar_, TB_SETBUTTONINFOW, buttonId, reinterpret_cast<LPARAM>(&info)) != TRUE)
        return false;
    if (HMENU menu = GetButtonMenu(buttonId)) {
        MENUITEMINFOW item{};
        item.cbSize = sizeof(item);
        item.fMask = MIIM_STRING;
        item.dwTypeData = const_cast<LPWSTR>(text);
        SetMenuItemInfoW(menu, buttonId, FALSE, &item);
    }
    return true;
}

bool SoftKeyBar::ButtonText(uint32_t buttonId, char16_t* out, int size) const {
    if (!bar_ || !out || size < 1) return false;
    out[0] = 0;
    TBBUTTONINFOW info{};
    info.cbSize = sizeof(info);
    info.dwMask = TBIF_TEXT;
    info.pszText = out;
    info.cchText = size;
    return SendMessageW(bar_, TB_GETBUTTONINFOW, buttonId, reinterpret_cast<LPARAM>(&info)) >= 0;
}

bool SoftKeyBar::CheckItem(uint32_t buttonId, uint32_t item, bool checked) {
    HMENU menu = GetButtonMenu(buttonId);
    if (!menu) return false;
    DWORD previous = CheckMenuItem(menu, item, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
    return previous != static_cast<DWORD>(-1) && (previous & MF_CHECKED) != 0;
}

bool SoftKeyBar::CheckRadioItem(uint32_t buttonId, uint32_t first, uint32_t last, uint32_t item) {
    HMENU menu = GetButtonMenu(buttonId);
    return menu && CheckMenuRadioItem(menu, first, last, item, MF_BYCOMMAND);
}

bool SoftKeyBar::EnableItem(uint32_t buttonId, uint32_t item, bool enabled) {
    HMENU menu = GetButtonMenu(buttonId);
    bool done = menu && EnableMenuItem(menu, item, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED)) != -1;
    if (bar_ && SendMessageW(bar_, TB_GETBUTTONINFOW, item, 0) != -1) EnableButton(item, enabled);
    return done;
}

bool SoftKeyBar::InsertItem(uint32_t buttonId, uint32_t position, uint32_t item, const char16_t* text) {
    HMENU menu = GetButtonMenu(buttonId);
    return menu && InsertMenuW(menu, position, MF_BYPOSITION | MF_STRING, item, text);
}

bool SoftKeyBar::DeleteItem(uint32_t buttonId, uint32_t item) {
    HMENU menu = GetButtonMenu(buttonId);
    return menu && DeleteMenu(menu, item, MF_BYCOMMAND);
}

bool SoftKeyBar::IsButtonEnabled(uint32_t buttonId) const {
    return bar_ && SendMessageW(bar_, TB_ISBUTTONENABLED, buttonId, 0) != 0;
}

bool SoftKeyBar::EnableButton(uint32_t buttonId, bool enabled) {
    if (!bar_) return false;
    if (IsButtonEnabled(buttonId) == enabled) return true;
    return SendMessageW(bar_, TB_ENABLEBUTTON, buttonId, MAKELPARAM(enabled ? 1 : 0, 0)) != 0;
}

#include "library/list_window_bar.h"

#include <algorithm>

#include "core/resources.h"
#include "platform/kernel/modules.h"
#include "platform/menu/menu_bar.h"
#include "platform/resources/resources.h"
#include "shell/ui/list_window.h"

ListWindowBar::~ListWindowBar() {
    if (bar_ && IsWindow(bar_)) DestroyWindow(bar_);
    if (menu_ && owned_) DestroyMenu(menu_);
}

bool ListWindowBar::Create(HWND owner, uint32_t menuId) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    SHMENUBARINFO info{};
    info.cbSize = sizeof(info);
    info.hwndParent = owner;
    info.dwFlags = SHCMBF_HIDDEN;
    info.nToolBarId = menuId;
    info.hInstRes = instance;
    // The bar owns the menu it loads.
    if (owner && SHCreateMenuBar(&info)) {
        bar_ = info.hwndMB;
        menu_ = reinterpret_cast<HMENU>(SendMessageW(bar_, SHCMBM_GETMENU, 0, 0));
    }
    if (!menu_) {
        menu_ = LoadMenuW(instance, MAKEINTRESOURCEW(static_cast<WORD>(menuId)));
        owned_ = menu_ != nullptr;
    }
    return menu_ != nullptr;
}

void ListWindowBar::Show(bool show) {
    if (bar_ && IsWindow(bar_)) ShowWindow(bar_, show ? SW_SHOW : SW_HIDE);
}

HMENU ListWindowBar::SubMenu(int position) const {
    HMENU popup = menu_ ? GetSubMenu(menu_, 1) : nullptr;
    return popup ? GetSubMenu(popup, position) : nullptr;
}

bool ListWindowBar::SetButtonText(uint32_t buttonId, uint32_t stringId) {
    if (!bar_) return false;
    const char16_t* s = LoadResString(stringId);
    std::u16string text = s ? s : u"";
    TBBUTTONINFOW info{};
    info.cbSize = sizeof(info);
    info.dwMask = TBIF_TEXT;
    info.pszText = text.data();
    return SendMessageW(bar_, TB_SETBUTTONINFOW, buttonId, reinterpret_cast<LPARAM>(&info)) >= 0;
}

std::u16string ListWindowBar::ButtonText(uint32_t buttonId) const {
    if (!bar_) return {};
    char16_t text[64] = {};
    TBBUTTONINFOW info{};
    info.cbSize = sizeof(info);
    info.dwMask = TBIF_TEXT;
    info.pszText = text;
    info.cchText = 64;
    SendMessageW(bar_, TB_GETBUTTONINFOW, buttonId, reinterpret_cast<LPARAM>(&info));
    return text;
}

void ListWindowBar::SetItemText(uint32_t item, bool byPosition, uint32_t stringId, HMENU in) {
    HMENU target = in ? in : menu_;
    if (!target) return;
    const char16_t* s = LoadResString(stringId);
    std::u16string text = s ? s : u"";
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_STRING;
    info.dwTypeData = text.data();
    SetMenuItemInfoW(target, item, byPosition ? TRUE : FALSE, &info);
}

int PlaceTitleStrip(TitleStrip& strip, bool shown, int left, int top, int right) {
    if (!strip.Window() || !shown) return 0;
    RECT r{};
    GetWindowRect(strip.Window(), &r);
    int height = std::max<int>(r.bottom - r.top, 1);
    MoveWindow(strip.Window(), left, top, right - left, height, TRUE);
    strip.FitParts();
    return height;
}

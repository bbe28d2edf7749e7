#include "library/list_window_bar.h"

#include <algorithm>

#include "core/resources.h"
#include "platform/kernel/modules.h"
#include "platform/menu/menu_bar.h"
#include "platform/resources/resources.h"
#include "library/library_view.h"
#include "reader/reader_controller.h"
#include "reader/reader_settings.h"

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

void ListWindowWithBar::Layout(int left, int top, int right, int bottom) {
    area = RECT{left, top, right, bottom};
    int stripHeight = 0;
    if (titleStrip.Window() && titleStripShown && visible) {
        RECT r{};
        GetWindowRect(titleStrip.Window(), &r);
        stripHeight = std::max<int>(r.bottom - r.top, 1);
        MoveWindow(titleStrip.Window(), left, top, right - left, stripHeight, TRUE);
        titleStrip.FitParts();
    }
    ListWindow::Layout(left, top + stripHeight, right, bottom);
}

void ListWindowWithBar::RelayoutInParent() {
    if (area.right > area.left) Layout(area.left, area.top, area.right, area.bottom);
}

void ListWindowWithBar::ToggleTitleStrip() {
    titleStripShown = titleStripShown ? 0 : 1;
    titleStrip.Show(visible && titleStripShown);
    RelayoutInParent();
}

void ListWindowWithBar::RenewFonts() {
    ReaderSettings* settings = controller ? controller->GetSettings() : nullptr;
    Text face;
    if (settings && settings->GetFontFace(face, false)) SetFonts(face.WideCStr());
    else SetFonts(nullptr);
}

void ListWindowWithBar::RunOptions() {
    if (!services || !services->ShowOptions(parent)) return;
    ReaderSettings* settings = controller ? controller->GetSettings() : nullptr;
    if (settings) settings->ApplyToView();
    RenewFonts();
}

bool ListWindowWithBar::OnMenuCommand(uint32_t command, LRESULT& result) {
    result = 0;
    if (ListWindow::OnMenuCommand(command, result)) return true;
    return OnCommand(command & 0xFFFF);
}

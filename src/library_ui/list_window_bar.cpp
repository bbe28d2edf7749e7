#include "library_ui/list_window_bar.h"

#include <algorithm>

#include "core/resources.h"
#include "library_ui/library_view.h"
#include "platform/kernel/modules.h"
#include "platform/menu/menu_bar.h"
#include "platform/window/keys.h"
#include "platform/resources/device_resources.h"
#include "reader/menu_items.h"
#include "reader/reader_controller.h"
#include "reader/reader_settings.h"

ListWindowBar::~ListWindowBar() {
    if (ownMenu_) DestroyMenu(ownMenu_);
}

bool ListWindowBar::Create(HWND owner, uint32_t menuId) {
    if (owner && SoftKeyBar::Create(owner, menuId, nullptr) && Menu()) return true;
    ownMenu_ = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(static_cast<WORD>(menuId)));
    return ownMenu_ != nullptr;
}

HMENU ListWindowBar::Menu() const {
    // The bar owns the menu it loaded.
    if (Window() && IsWindow(Window()))
        return reinterpret_cast<HMENU>(SendMessageW(Window(), SHCMBM_GETMENU, 0, 0));
    return ownMenu_;
}

HMENU ListWindowBar::SubMenu(int position) const {
    HMENU menu = Menu();
    HMENU popup = menu ? GetSubMenu(menu, 1) : nullptr;
    return popup ? GetSubMenu(popup, position) : nullptr;
}

std::u16string ListWindowBar::ButtonText(uint32_t buttonId) const {
    char16_t text[64] = {};
    if (!SoftKeyBar::ButtonText(buttonId, text, 64)) return {};
    return text;
}

void ListWindowBar::SetItemText(uint32_t item, bool byPosition, uint32_t stringId, HMENU in) {
    HMENU target = in ? in : Menu();
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

bool ListWindowWithBar::HandleMessage(NMHDR* notice, LRESULT& result) {
    constexpr UINT kCmdDelete = MenuItem::kDelete;  // Delete in the menus of both list windows
    if (notice && notice->hwndFrom == list && notice->code == LVN_KEYDOWN &&
        reinterpret_cast<NMLVKEYDOWN*>(notice)->wVKey == VK_DELETE && GetSelectedData()) {
        MENUITEMINFOW item{};
        item.cbSize = sizeof(item);
        item.fMask = MIIM_STATE;
        HMENU menu = bar.Menu();
        if (menu && GetMenuItemInfoW(menu, kCmdDelete, FALSE, &item) &&
            !(item.fState & MFS_GRAYED))
            // Posted: the confirmation and the deletion come after the list's own key handling.
            PostMessageW(Host(), WM_COMMAND, kCmdDelete, 0);
        result = 0;
        return true;
    }
    return ListWindow::HandleMessage(notice, result);
}

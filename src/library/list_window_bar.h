// The soft-key bar of a list window: the bar of a menu resource over the owner window, whose
// menu the list window edits (texts, checks, added items). Without an owner the menu is loaded
// alone, so the commands still have their menu.
#pragma once

#include <cstdint>
#include <string>

#include "platform/menu/menu.h"
#include "platform/window/window.h"

class TitleStrip;

class ListWindowBar {
public:
    ListWindowBar() = default;
    ~ListWindowBar();
    ListWindowBar(const ListWindowBar&) = delete;
    ListWindowBar& operator=(const ListWindowBar&) = delete;

    // False when the menu resource is missing.
    bool Create(HWND owner, uint32_t menuId);
    void Show(bool show);
    HMENU Menu() const { return menu_; }
    HWND Window() const { return bar_; }
    // The pop-up at a position of the right button's menu (the bar's second item).
    HMENU SubMenu(int position) const;
    bool SetButtonText(uint32_t buttonId, uint32_t stringId);
    std::u16string ButtonText(uint32_t buttonId) const;
    // The menu item's text from a string.
    void SetItemText(uint32_t item, bool byPosition, uint32_t stringId, HMENU in = nullptr);

private:
    HWND bar_ = nullptr;
    HMENU menu_ = nullptr;
    bool owned_ = false;
};

// Puts a shown title strip at the top of the area; its height (0 when hidden).
int PlaceTitleStrip(TitleStrip& strip, bool shown, int left, int top, int right);

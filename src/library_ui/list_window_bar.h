// The soft-key bar of a list window: the toolkit's bar of a menu resource over the owner window,
// whose menu the list window edits (texts, checks, added items). Without an owner the menu is
// loaded alone, so the commands still have their menu.
#pragma once

#include <cstdint>
#include <string>

#include "platform/menu/menu.h"
#include "platform/window/window.h"
#include "shell_ui/list_window.h"
#include "shell_ui/soft_key_bar.h"

class LibraryViewServices;
class ReaderController;

class ListWindowBar : public SoftKeyBar {
public:
    ListWindowBar() = default;
    ~ListWindowBar() override;

    // False when the menu resource is missing.
    bool Create(HWND owner, uint32_t menuId);
    // The bar's whole menu (its buttons' items).
    HMENU Menu() const;
    // The pop-up at a position of the right button's menu (the bar's second item).
    HMENU SubMenu(int position) const;
    using SoftKeyBar::ButtonText;
    std::u16string ButtonText(uint32_t buttonId) const;
    // The menu item's text from a string.
    void SetItemText(uint32_t item, bool byPosition, uint32_t stringId, HMENU in = nullptr);

private:
    HMENU ownMenu_ = nullptr;  // the menu loaded alone when there is no owner
};

// A list window of the library: its soft-key bar, and its title strip above the list.
class ListWindowWithBar : public ListWindow {
public:
    void Layout(int left, int top, int right, int bottom) override;
    // Commands of its bar and menus; false when the command is not the window's.
    virtual bool OnCommand(uint32_t id) = 0;
    bool OnMenuCommand(uint32_t command, LRESULT& result) override;
    // The Delete key on a selected row is the menu's Delete, while the menu offers it.
    bool HandleMessage(NMHDR* notice, LRESULT& result) override;
    const TitleStrip& Strip() const { return titleStrip; }

protected:
    ListWindowWithBar(ReaderController* readerController, LibraryViewServices* shellServices)
        : controller(readerController), services(shellServices) {}
    // The last layout again (after the strip came or went).
    void RelayoutInParent();
    void ToggleTitleStrip();
    // The fonts of the settings' face.
    void RenewFonts();
    // The options sheet; after OK the settings reach the reader view and the fonts are renewed.
    void RunOptions();

    ReaderController* controller;
    LibraryViewServices* services;
    ListWindowBar bar;
    TitleStrip titleStrip;
    uint8_t titleStripShown = 1;

private:
    RECT area{0, 0, 0, 0};
};

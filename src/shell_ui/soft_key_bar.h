// A soft-key menu bar: two buttons under the screen, made from a menu resource whose top-level
// items are the buttons (a command, or a pop-up menu). The bar window belongs to the platform
// and goes with its owner window; the object destroys it first when it still exists.
#pragma once

#include <cstdint>

#include "platform/menu/menu_bar.h"

class SoftKeyBar {
public:
    SoftKeyBar() = default;
    virtual ~SoftKeyBar();
    SoftKeyBar(const SoftKeyBar&) = delete;
    SoftKeyBar& operator=(const SoftKeyBar&) = delete;

    // The bar of menu `menuId` over `owner`, hidden; false (no bar) when the menu is missing.
    // Menu 0 makes an empty bar. The Back key is left to the owner (it gets the hot key).
    bool Create(HWND owner, uint32_t menuId, void* ownerObject);
    void Destroy();
    virtual void Show(bool show);
    bool IsShown() const { return shown_; }
    HWND Window() const { return bar_; }
    HWND Owner() const { return owner_; }

    // The pop-up menu of a button; null when the button has none.
    HMENU GetButtonMenu(uint32_t buttonId) const;
    // The button's text from a string (0: empty), and the same text on the item of that id in
    // the button's menu.
    bool SetButtonText(uint32_t buttonId, uint32_t stringId);
    bool ButtonText(uint32_t buttonId, char16_t* out, int size) const;
    // The previous checked state; false when the item is not there.
    bool CheckItem(uint32_t buttonId, uint32_t item, bool checked);
    bool CheckRadioItem(uint32_t buttonId, uint32_t first, uint32_t last, uint32_t item);
    // Grays or enables the item in the button's menu, and a button of the same id with it.
    bool EnableItem(uint32_t buttonId, uint32_t item, bool enabled);
    bool InsertItem(uint32_t buttonId, uint32_t position, uint32_t item, const char16_t* text);
    bool DeleteItem(uint32_t buttonId, uint32_t item);
    // Only sends when the state changes, so the bar is not repainted for nothing.
    bool EnableButton(uint32_t buttonId, bool enabled);
    bool IsButtonEnabled(uint32_t buttonId) const;

protected:
    HWND owner_ = nullptr;
    bool shown_ = false;
    void* ownerObject_ = nullptr;
    HWND bar_ = nullptr;
};

// SHCreateMenuBar for a window with a menu (0: an empty bar), the Back key overridden so that the
// window is told of it and nothing else happens. The bar window; null when it cannot be made.
HWND CreateDialogMenuBar(HWND window, uint32_t menuId);

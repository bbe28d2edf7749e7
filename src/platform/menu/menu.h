// Menus as data: items with a type, state, command id, text, application data and an optional
// sub-menu. Menu bars and pop-up display come with the dialogs; these calls only build, read and
// change the menus they show.
//
// Handles come from the kernel's handle table, so a destroyed menu's handle is refused
// (ERROR_INVALID_MENU_HANDLE) even when its slot is reused. An item is addressed by position in
// the given menu (MF_BYPOSITION) or by command id (MF_BYCOMMAND), in which case the sub-menus are
// searched too, depth first in item order; a pop-up item answers to its own id only when nothing
// inside it does. A menu can never become its own sub-menu, directly or further down.
#pragma once

#include <string>
#include <vector>

#include "platform/types.h"

FVT_DECLARE_HANDLE(HMENU);

constexpr DWORD ERROR_INVALID_MENU_HANDLE = 1401;
constexpr DWORD ERROR_MENU_ITEM_NOT_FOUND = 1456;

// AppendMenuW, InsertMenuW, EnableMenuItem and CheckMenuItem flags.
constexpr UINT MF_BYCOMMAND = 0x0000;
constexpr UINT MF_BYPOSITION = 0x0400;
constexpr UINT MF_STRING = 0x0000;
constexpr UINT MF_SEPARATOR = 0x0800;
constexpr UINT MF_POPUP = 0x0010;
constexpr UINT MF_ENABLED = 0x0000;
constexpr UINT MF_GRAYED = 0x0001;
constexpr UINT MF_DISABLED = 0x0002;
constexpr UINT MF_UNCHECKED = 0x0000;
constexpr UINT MF_CHECKED = 0x0008;
constexpr UINT MFT_RADIOCHECK = 0x0200;

// TrackPopupMenuEx.
constexpr UINT TPM_LEFTALIGN = 0x0000;
constexpr UINT TPM_CENTERALIGN = 0x0004;
constexpr UINT TPM_RIGHTALIGN = 0x0008;
constexpr UINT TPM_TOPALIGN = 0x0000;
constexpr UINT TPM_VCENTERALIGN = 0x0010;
constexpr UINT TPM_BOTTOMALIGN = 0x0020;
constexpr UINT TPM_NONOTIFY = 0x0080;
constexpr UINT TPM_RETURNCMD = 0x0100;

// MENUITEMINFOW fields.
constexpr UINT MIIM_STATE = 0x0001;
constexpr UINT MIIM_ID = 0x0002;
constexpr UINT MIIM_SUBMENU = 0x0004;
constexpr UINT MIIM_TYPE = 0x0010;  // fType, and the text of a string item
constexpr UINT MIIM_DATA = 0x0020;
constexpr UINT MIIM_STRING = 0x0040;
constexpr UINT MFT_STRING = MF_STRING;
constexpr UINT MFT_SEPARATOR = MF_SEPARATOR;
constexpr UINT MFS_ENABLED = 0x0000;
constexpr UINT MFS_GRAYED = 0x0003;
constexpr UINT MFS_DISABLED = MFS_GRAYED;
constexpr UINT MFS_UNCHECKED = 0x0000;
constexpr UINT MFS_CHECKED = MF_CHECKED;

// cbSize must be sizeof(MENUITEMINFOW). On reading a text, dwTypeData (when not null) receives at
// most cch - 1 characters and a terminator, and cch receives the whole text's length, so a
// result of cch or more means the text was cut. On writing, the text is read up to its
// terminator (null reads as empty) and cch is ignored.
struct MENUITEMINFOW {
    UINT cbSize;
    UINT fMask;
    UINT fType;
    UINT fState;
    UINT wID;
    HMENU hSubMenu;
    DWORD_PTR dwItemData;
    LPWSTR dwTypeData;
    UINT cch;
};

extern "C" {
HMENU CreateMenu();
HMENU CreatePopupMenu();
// Destroys the menu and every sub-menu reachable from it.
BOOL DestroyMenu(HMENU menu);
// MF_STRING (text; null is empty), MF_SEPARATOR, or MF_POPUP with the sub-menu's handle as
// `idNewItem`; MF_GRAYED, MF_DISABLED and MF_CHECKED set the first state. Unknown flags are
// refused (ERROR_INVALID_FLAGS).
BOOL AppendMenuW(HMENU menu, UINT flags, UINT_PTR idNewItem, LPCWSTR text);
// Inserts before the item at `position` (MF_BYPOSITION; past the end appends) or before the item
// with that command id, in whichever menu holds it.
BOOL InsertMenuW(HMENU menu, UINT position, UINT flags, UINT_PTR idNewItem, LPCWSTR text);
// -1 for a bad handle.
int GetMenuItemCount(HMENU menu);
// The sub-menu of the item at `position`; null when the item has none or does not exist.
HMENU GetSubMenu(HMENU menu, int position);
BOOL GetMenuItemInfoW(HMENU menu, UINT item, BOOL byPosition, MENUITEMINFOW* info);
// Checks every field before changing any, so a refused call leaves the item as it was.
BOOL SetMenuItemInfoW(HMENU menu, UINT item, BOOL byPosition, const MENUITEMINFOW* info);
// MF_ENABLED, MF_GRAYED or MF_DISABLED; the previous MF_GRAYED | MF_DISABLED bits, or -1.
BOOL EnableMenuItem(HMENU menu, UINT item, UINT flags);
// MF_CHECKED or MF_UNCHECKED; the previous MF_CHECKED bit, or (DWORD)-1.
DWORD CheckMenuItem(HMENU menu, UINT item, UINT flags);
// Checks `check` with a radio mark and clears the marks of the others in first..last; all three
// are positions (MF_BYPOSITION) or command ids in one menu. `check` must lie in the range.
BOOL CheckMenuRadioItem(HMENU menu, UINT first, UINT last, UINT check, UINT flags);
// Removes the item; DeleteMenu also destroys its sub-menu, RemoveMenu leaves it to the caller.
BOOL DeleteMenu(HMENU menu, UINT position, UINT flags);
BOOL RemoveMenu(HMENU menu, UINT position, UINT flags);
// A menu from the program's menu resources (RT_MENU): a bar whose pop-up items hold the
// sub-menus. Texts given as string ids are taken in the system's language.
HMENU LoadMenuW(HINSTANCE instance, LPCWSTR name);
// Shows the pop-up menu at the screen point and tracks it until an item is chosen or the menu
// is dismissed. With TPM_RETURNCMD the chosen id is returned (0: none) and nothing is posted;
// otherwise the choice reaches the owner as WM_COMMAND(id, 0) and the result is TRUE. In tests
// the choice comes from the answer queue (see dialog/answers.h) and is logged.
BOOL TrackPopupMenuEx(HMENU menu, UINT flags, int x, int y, HWND owner, const void* params);
}

namespace fvt {
// A read-only copy of a menu's items, for the layer's own drawing (bars, pop-ups, combo boxes).
struct MenuItemView {
    UINT type;
    UINT state;
    UINT id;
    HMENU subMenu;
    std::u16string text;
};
std::vector<MenuItemView> MenuItems(HMENU menu);
// A menu built from a compiled menu resource (see rescomp); null for a malformed one.
HMENU MenuFromResource(const BYTE* data, DWORD size);
// What is wrong with the layout of the pop-up menu shown in `menuWindow` and of its open
// sub-menus: a label cut, a menu over the soft-key bar. Empty when all is well.
std::vector<std::string> PopupMenuLayoutProblems(HWND menuWindow);
}  // namespace fvt

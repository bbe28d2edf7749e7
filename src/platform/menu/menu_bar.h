// The soft-key menu bar (SHCreateMenuBar): a bar in the bottom strip made from a menu resource
// whose top-level items are its buttons, a command or a pop-up each. A command button posts
// WM_COMMAND(id, 0) to the owner; a pop-up button sends WM_INITMENUPOPUP, tracks its menu and
// posts WM_COMMAND(item, 0) for the choice. The soft keys press the active bar's buttons unless
// the bar overrides them (SHCMBM_OVERRIDEKEY).
#pragma once

#include "platform/controls/controls.h"
#include "platform/menu/menu.h"

constexpr DWORD SHCMBF_EMPTYBAR = 0x0001;
constexpr DWORD SHCMBF_HIDDEN = 0x0002;
constexpr DWORD SHCMBF_HIDESIPBUTTON = 0x0004;
constexpr DWORD SHCMBF_COLORBK = 0x0008;
constexpr DWORD SHCMBF_HMENU = 0x0010;
struct SHMENUBARINFO {
    DWORD cbSize;
    HWND hwndParent;
    DWORD dwFlags;
    UINT nToolBarId;
    HINSTANCE hInstRes;
    int nBmpId;
    int cBmpImages;
    HWND hwndMB;
    COLORREF clrBk;
};

constexpr UINT SHCMBM_GETSUBMENU = WM_USER + 401;
constexpr UINT SHCMBM_GETMENU = WM_USER + 402;
constexpr UINT SHCMBM_OVERRIDEKEY = WM_USER + 403;
constexpr DWORD SHMBOF_NODEFAULT = 0x1;
constexpr DWORD SHMBOF_NOTIFY = 0x2;

constexpr UINT TB_ENABLEBUTTON = WM_USER + 1;
constexpr UINT TB_ISBUTTONENABLED = WM_USER + 9;
constexpr UINT TB_DELETEBUTTON = WM_USER + 22;
constexpr UINT TB_BUTTONCOUNT = WM_USER + 24;
constexpr UINT TB_SETBUTTONINFOW = WM_USER + 64;
constexpr UINT TB_GETBUTTONINFOW = WM_USER + 63;
constexpr UINT TB_INSERTBUTTONW = WM_USER + 67;
constexpr DWORD TBIF_IMAGE = 0x01;
constexpr DWORD TBIF_TEXT = 0x02;
constexpr DWORD TBIF_STATE = 0x04;
constexpr DWORD TBIF_STYLE = 0x08;
constexpr DWORD TBIF_LPARAM = 0x10;
constexpr DWORD TBIF_COMMAND = 0x20;
constexpr DWORD TBIF_SIZE = 0x40;
constexpr BYTE TBSTATE_ENABLED = 0x04;
constexpr BYTE TBSTATE_HIDDEN = 0x08;
constexpr BYTE TBSTYLE_BUTTON = 0x00;
constexpr BYTE TBSTYLE_SEP = 0x01;
constexpr BYTE TBSTYLE_DROPDOWN = 0x08;
struct TBBUTTONINFOW {
    UINT cbSize;
    DWORD dwMask;
    int idCommand;
    int iImage;
    BYTE fsState;
    BYTE fsStyle;
    WORD cx;
    DWORD_PTR lParam;
    LPWSTR pszText;
    int cchText;
};
struct TBBUTTON {
    int iBitmap;
    int idCommand;
    BYTE fsState;
    BYTE fsStyle;
    BYTE bReserved[6];
    DWORD_PTR dwData;
    INT_PTR iString;
};

extern "C" {
// Fills hwndMB; FALSE when the menu resource is missing or malformed (no bar is made).
BOOL SHCreateMenuBar(SHMENUBARINFO* info);
}

namespace fvt {
// A bar goes with its owner: called when a window is destroyed.
void CloseMenuBarsOf(HWND owner);
// Puts every bar, shown or hidden, in the bottom strip of the screen as it is now: the shell
// calls it when the screen turns, since bars are not resized with the other windows.
void PlaceMenuBars();
// The bar in front: the shown bar of the active window (or of its owner), else the last shown.
HWND ActiveMenuBar();
// The bar that takes the soft keys now: the active bar, when it belongs to `keyOwner` (the modal
// window that has the keys, if any); null when none does.
HWND MenuBarForKeys(HWND keyOwner);
// Presses button `index` (0 left, 1 right) of the active bar; false when there is none.
bool PressMenuBarButton(int index);
// Chooses `item` from the active bar: presses the button that holds it (its own id or an item
// of its pop-up menu), the pop-up taking the item as its answer. False when no button holds it.
bool ChooseMenuBarItem(UINT item);
}  // namespace fvt

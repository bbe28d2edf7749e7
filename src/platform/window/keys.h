// Keys: virtual-key codes, key state, hot keys and the application-button association.
#pragma once

#include "platform/resources/device_resources.h"
#include "platform/window/window.h"

constexpr UINT VK_BACK = 0x08;
constexpr UINT VK_TAB = 0x09;
constexpr UINT VK_RETURN = 0x0D;
constexpr UINT VK_SHIFT = 0x10;
constexpr UINT VK_CONTROL = 0x11;
constexpr UINT VK_MENU = 0x12;
constexpr UINT VK_ESCAPE = 0x1B;
constexpr UINT VK_SPACE = 0x20;
constexpr UINT VK_PRIOR = 0x21;
constexpr UINT VK_NEXT = 0x22;
constexpr UINT VK_END = 0x23;
constexpr UINT VK_HOME = 0x24;
constexpr UINT VK_LEFT = 0x25;
constexpr UINT VK_UP = 0x26;
constexpr UINT VK_RIGHT = 0x27;
constexpr UINT VK_DOWN = 0x28;
constexpr UINT VK_DELETE = 0x2E;
constexpr UINT VK_F1 = 0x70;
constexpr UINT VK_F2 = 0x71;
constexpr UINT VK_F8 = 0x77;  // '*' on the keypad of the device
constexpr UINT VK_F9 = 0x78;  // '#'
constexpr UINT VK_LSHIFT = 0xA0;
constexpr UINT VK_RSHIFT = 0xA1;
constexpr UINT VK_LCONTROL = 0xA2;
constexpr UINT VK_RCONTROL = 0xA3;
constexpr UINT VK_APP1 = 0xC1;  // hardware buttons 1..6 = 0xC1..0xC6
constexpr UINT VK_OEM_PLUS = 0xBB;
constexpr UINT VK_OEM_MINUS = 0xBD;

constexpr UINT MOD_ALT = 0x0001;
constexpr UINT MOD_CONTROL = 0x0002;
constexpr UINT MOD_SHIFT = 0x0004;
constexpr UINT MOD_WIN = 0x0008;
constexpr UINT MOD_KEYUP = 0x1000;  // on the second WM_HOTKEY of a press

constexpr LPARAM kKeyPreviousDown = 1 << 30;
constexpr LPARAM kKeyTransitionUp = static_cast<LPARAM>(1u << 31);

extern "C" {
// 0x8000 = down now (as of the messages retrieved so far), 1 = toggled.
short GetKeyState(int vk);
short GetAsyncKeyState(int vk);
BOOL RegisterHotKey(HWND window, int id, UINT modifiers, UINT vk);
BOOL UnregisterHotKey(HWND window, int id);
// Takes a key away from the system's own use, so that it can be registered.
BOOL UnregisterFunc1(UINT modifiers, UINT vk);
BOOL SHSetAppKeyWndAssoc(BYTE vk, HWND window);
BOOL SHSendBackToFocusWindow(UINT message, WPARAM wParam, LPARAM lParam);
// A null table (the program has none) translates nothing.
int TranslateAcceleratorW(HWND window, HACCEL table, MSG* msg);
}

namespace fvt {
// A key the active menu bar overrides: with notify, it reaches the owner as two WM_HOTKEY.
// The override is `bar`'s: while another bar is shown in front (the library's over a hidden
// reader bar), that bar's keys are its own.
void SetKeyOverride(HWND owner, UINT vk, bool notify, HWND bar = nullptr);
void ClearKeyOverrides(HWND owner);
// While a pop-up menu, a message box or a modal dialog runs, its window owns the keys (the
// innermost one): keys go to it or its focused child, and no hot key or override of a window
// behind it fires.
void PushKeyOwner(HWND window);
void PopKeyOwner(HWND window);
HWND KeyOwner();
// Gives the system back its own function of a key that UnregisterFunc1 took (a program does so
// at exit: on the device the button stays dead until a reset otherwise). True when it was taken.
bool RestoreKeyFunction(UINT vk);
bool IsKeyFunctionTaken(UINT vk);
}  // namespace fvt

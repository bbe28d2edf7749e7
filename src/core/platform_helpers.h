// Questions about the device and small actions on it.
#pragma once

#include <cstdint>

#include "core/geometry.h"
#include "platform/menu/menu.h"
#include "platform/types.h"

class Text;

// The program language: 12 when the system default language is French, else 9.
int GetProgramLanguage();
// 1 Pocket PC, 2 Smartphone (or when the query is refused), 0 neither.
int GetPlatformType();
// The OS version; false (nothing written) unless the system is the handheld one.
bool GetOsVersion(uint32_t& major, uint32_t& minor);
bool IsOsVersionAtLeast51();
// True when the screen has 130 or more dots per inch (LOGPIXELSX).
bool IsHighResolution();
// The value when the screen has 8, 16, 24 or 32 bits per pixel, else 0.
int32_t CheckDisplayDepth(int32_t value);
// Sets the battery idle time-out and returns the previous one; -1 when it cannot be read, in
// which case nothing is written. A value of -1 is never written.
int32_t ExchangeSystemSetting(int32_t value);

// Screen orientation codes of the program: 0 normal, 1 90 degrees right, 2 90 degrees left,
// 3 180 degrees.
// True when the OS is 4.21 or later and the display reports orientation support; false when
// the display-settings function is missing.
bool CanRotateScreen();
inline bool GetDisplayOrientation() {
    return CanRotateScreen();
}
// The current orientation code, or -1 when it cannot be read.
int GetScreenOrientation();
// Turns the screen; false when the display refuses or cannot rotate.
bool SetScreenOrientation(int code);

namespace InputPanel {
// Shows or hides the input panel; false when the device has none.
bool Show(bool show);
// Whether the panel is shown; the panel's own rectangle goes to out when given.
bool GetInfo(Rect* out);
}  // namespace InputPanel

// The Done button of a dialog's title bar (SHDoneButton 1 to show, 2 to hide).
bool ShowDoneButton(HWND window, bool show);
// A notification bubble with string resources as text and caption (informational, 5 seconds).
bool ShowNotification(uint32_t notificationId, uint32_t textId, uint32_t captionId);
bool RemoveNotification(uint32_t notificationId);

// One row of a menu's text table: the item (command id, or position when byPosition) and the
// string resource that names it.
struct MenuTextRow {
    uint32_t item;
    uint32_t stringId;
    bool byPosition;
};
// Gives each listed item its text in the program language, row by row. An item whose string is
// missing keeps the text it had; true when every row was set.
bool SetMenuTextsRes(HMENU menu, const MenuTextRow* rows, int32_t count);
// One item's text from a Text (false, nothing changed, when the Text holds an error).
bool SetMenuTextsRes(HMENU menu, uint32_t item, bool byPosition, const Text& text);

namespace Screen {
// 0 when either side is below 240; 2 from 480x640 (either way round); else 1.
int SizeClass(int32_t width, int32_t height);
// The class of the device's screen.
int SizeClass();
// The work area (the screen without the task and menu bars); false when it cannot be read.
bool GetWorkArea(Rect& out);
}  // namespace Screen

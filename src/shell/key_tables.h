// Keys of the main window: the key rows (one key code per input state of the drawing surface),
// the named hardware buttons with the actions a user can assign to them, and the translation of
// key-down, key-up and character messages into the surface's key events.
//
// Everything here is a pure function of the message and a KeyContext, so the tables can be
// checked without a window; MainFrame fills the context from its settings and the screen.
#pragma once

#include <cstdint>

#include "graphics/core/input_event.h"
#include "platform/types.h"

class ReaderSettings;

namespace KeyRows {
extern const uint32_t kUp[4][kKeyRowColumns];    // by arrow mode 0-3
extern const uint32_t kDown[4][kKeyRowColumns];  // by arrow mode 0-3
extern const uint32_t kLeft[kKeyRowColumns];
extern const uint32_t kRight[kKeyRowColumns];
extern const uint32_t kEnter[kKeyRowColumns];
extern const uint32_t kSpace[kKeyRowColumns];
extern const uint32_t kEscape[kKeyRowColumns];
extern const uint32_t kBackspace[kKeyRowColumns];
// Keypad characters: "0"-"9", "*", "#", "-", "+", and the second rows of "0", "-" and "+".
extern const uint32_t kDigits[10][kKeyRowColumns];
extern const uint32_t kStar[kKeyRowColumns];
extern const uint32_t kHash[kKeyRowColumns];
extern const uint32_t kMinus[kKeyRowColumns];
extern const uint32_t kPlus[kKeyRowColumns];
extern const uint32_t kZeroSecond[kKeyRowColumns];
extern const uint32_t kMinusSecond[kKeyRowColumns];
extern const uint32_t kPlusSecond[kKeyRowColumns];
}  // namespace KeyRows

// One assignable action of a hardware button.
struct ButtonAction {
    uint16_t stringId = 0;
    uint16_t iconId = 0;
    uint32_t actionBit = 0;
    uint32_t command = 0;
};

struct NamedButton {
    const char16_t* name;
    uint16_t virtualKey;
};

namespace HardwareButtons {
constexpr int kButtonCount = 16;
constexpr int kActionCount = 17;
extern const NamedButton kButtons[kButtonCount];
extern const ButtonAction kActions[kActionCount];

// `keyTable` is the settings' 12 action bits, one per button of the list (65535: none).
// Registers the buttons as hot keys of the window: all of them, or only the assigned ones when
// `onlyAssigned` is set (the others are released). Missing functions do nothing.
void Register(HWND window, const uint32_t* keyTable, bool onlyAssigned);
void UnregisterAll(HWND window);
// At exit: the system gets back its own functions of the buttons Register took.
void RestoreFunctions();
// True and the command when `vk` is a named button whose assigned action is in the table.
bool CommandForKey(uint32_t vk, const uint32_t* keyTable, int32_t& command);
}  // namespace HardwareButtons

// What the key translation reads besides the message.
struct KeyContext {
    bool shift = false;
    bool ctrl = false;
    uint32_t arrowMode = 1;
    bool enterTogglesFullScreen = false;
    uint32_t tapAction = 0;
    // The display surface's page orientation (0 upright; 1-3 as the display surface turns).
    int orientation = 0;
    const uint32_t* keyTable = nullptr;  // 12 entries, or null (no button assigned)
};

namespace KeyTranslation {
// WM_KEYDOWN; false when the key gives no event.
bool KeyDown(uint32_t vk, const KeyContext& context, InputEvent& out);
// WM_CHAR (characters above the space only); false when the character gives no event, among
// them an assigned named button, which its key-up handles.
bool Character(char16_t c, const KeyContext& context, InputEvent& out);
// WM_KEYUP: an event (code 26 and the command) when the key was down before and is an assigned
// named button.
bool KeyUp(uint32_t vk, LPARAM lParam, const KeyContext& context, InputEvent& out);
// The command of the default tap action.
int32_t TapActionCommand(uint32_t tapAction);
// A direction (1 up, 2 down, 3 left, 4 right) as the page sees it when the display surface
// shows it turned.
uint32_t RotateDirection(uint32_t direction, int orientation);
}  // namespace KeyTranslation

#include "shell/key_tables.h"

#include "core/optional_api.h"
#include "graphics/core/command_ids.h"
#include "platform/window/keys.h"
#include "reader/actions.h"

namespace KeyRows {
// Columns: the drawing surface's input states 0-11.
const uint32_t kUp[4][kKeyRowColumns] = {
    {kKeyPageUp, kKeyPageUp, kKeyUp, kKeyFaster, kKeyPageUp, kKeyFocusPreviousLine,
     kKeyFocusPreviousLine, kKeyFocusPreviousLine, kKeyFocusPrevious, kKeyFocusPrevious, kKeyUp,
     kKeyUp},
    {kKeyFocusPrevious, kKeyFocusPrevious, kKeyUp, kKeyFaster, kKeyFocusPrevious,
     kKeyFocusPreviousLine, kKeyFocusPreviousLine, kKeyFocusPreviousLine, kKeyFocusPrevious,
     kKeyFocusPrevious, kKeyUp, kKeyUp},
    {kKeyLineUp, kKeyPageUp, kKeyUp, kKeyFaster, kKeyLineUp, kKeyFocusPreviousLine,
     kKeyFocusPreviousLine, kKeyFocusPreviousLine, kKeyFocusPreviousLine, kKeyFocusPrevious, kKeyUp,
     kKeyUp},
    {kKeyFocusPreviousLine, kKeyFocusPreviousLine, kKeyUp, kKeyFaster, kKeyFocusPreviousLine,
     kKeyFocusPreviousLine, kKeyFocusPreviousLine, kKeyFocusPreviousLine, kKeyFocusPreviousLine,
     kKeyFocusPreviousLine, kKeyUp, kKeyUp},
};
const uint32_t kDown[4][kKeyRowColumns] = {
    {kKeyPageDown, kKeyPageDown, kKeyDown, kKeySlower, kKeyPageDown, kKeyFocusNextLine,
     kKeyFocusNextLine, kKeyFocusNextLine, kKeyFocusNext, kKeyFocusNext, kKeyDown, kKeyDown},
    {kKeyFocusNext, kKeyFocusNext, kKeyDown, kKeySlower, kKeyFocusNext, kKeyFocusNextLine,
     kKeyFocusNextLine, kKeyFocusNextLine, kKeyFocusNext, kKeyFocusNext, kKeyDown, kKeyDown},
    {kKeyLineDown, kKeyLineDown, kKeyDown, kKeySlower, kKeyLineDown, kKeyFocusNextLine,
     kKeyFocusNextLine, kKeyFocusNextLine, kKeyFocusNextLine, kKeyFocusNextLine, kKeyDown,
     kKeyDown},
    {kKeyFocusNextLine, kKeyFocusNextLine, kKeyDown, kKeySlower, kKeyFocusNextLine,
     kKeyFocusNextLine, kKeyFocusNextLine, kKeyFocusNextLine, kKeyFocusNextLine, kKeyFocusNextLine,
     kKeyDown, kKeyDown},
};
const uint32_t kLeft[kKeyRowColumns] = {kKeyPageUp, kKeyPageUp, kKeyLeft, kKeySlower,
                                        kKeyLeft,   kKeyLeft,   kKeyLeft, kKeyLeft,
                                        kKeyPageUp, kKeyPageUp, kKeyLeft, kKeyLeft};
const uint32_t kRight[kKeyRowColumns] = {kKeyPageDown, kKeyPageDown, kKeyRight, kKeyFaster,
                                         kKeyRight,    kKeyRight,    kKeyRight, kKeyRight,
                                         kKeyPageDown, kKeyPageDown, kKeyRight, kKeyRight};
const uint32_t kEnter[kKeyRowColumns] = {kKeyCommand,  kKeyActivate, kKeyActivate, kKeyCommand,
                                         kKeyActivate, kKeyActivate, kKeyActivate, kKeyActivate,
                                         kKeyActivate, kKeyActivate, kKeyCommand,  kKeyActivate};
const uint32_t kSpace[kKeyRowColumns] = {kKeyPageDown, kKeyPageDown,  kKeyPageDown,  kKeyCharacter,
                                         kKeyActivate, kKeyCharacter, kKeyCharacter, kKeyCharacter,
                                         kKeyActivate, kKeyCharacter, kKeyCharacter, kKeyActivate};
const uint32_t kEscape[kKeyRowColumns] = {kKeyCommand, kKeyCommand, kKeyClose,   kKeyCommand,
                                          kKeyCommand, kKeyClose,   kKeyCommand, kKeyCommand,
                                          kKeyCommand, kKeyCommand, kKeyCommand, kKeyCommand};
const uint32_t kBackspace[kKeyRowColumns] = {kKeyCommand, kKeyCommand,   kKeyCommand, kKeyCommand,
                                             kKeyCommand, kKeyBackspace, kKeyCommand, kKeyCommand,
                                             kKeyCommand, kKeyBackspace, kKeyCommand, kKeyCommand};
// The keypad's rows: one code in every state but text entry (a character) and the image view.
#define FVT_KEYPAD_ROW(plain, image) \
    { plain, plain, plain, plain, plain, kKeyCharacter, plain, plain, plain, plain, image, plain }
const uint32_t kDigits[10][kKeyRowColumns] = {
    FVT_KEYPAD_ROW(kKeyCommand, kKeyCommand), FVT_KEYPAD_ROW(kKeyCommand, kKeyUpLeft),
    FVT_KEYPAD_ROW(kKeyCommand, kKeyUp),      FVT_KEYPAD_ROW(kKeyCommand, kKeyUpRight),
    FVT_KEYPAD_ROW(kKeyCommand, kKeyLeft),    FVT_KEYPAD_ROW(kKeyCharacter, kKeyCommand),
    FVT_KEYPAD_ROW(kKeyCharacter, kKeyRight), FVT_KEYPAD_ROW(kKeyCharacter, kKeyDownLeft),
    FVT_KEYPAD_ROW(kKeyCommand, kKeyDown),    FVT_KEYPAD_ROW(kKeyCommand, kKeyDownRight),
};
const uint32_t kStar[kKeyRowColumns] = FVT_KEYPAD_ROW(kKeyCommand, kKeyCommand);
const uint32_t kHash[kKeyRowColumns] = FVT_KEYPAD_ROW(kKeyCommand, kKeyNone);
#undef FVT_KEYPAD_ROW
const uint32_t kMinus[kKeyRowColumns] = {kKeyCommand, kKeyCommand,   kKeyCommand, kKeySlower,
                                         kKeyCommand, kKeyCharacter, kKeyCommand, kKeyCommand,
                                         kKeyCommand, kKeyCommand,   kKeyNone,    kKeyCommand};
const uint32_t kPlus[kKeyRowColumns] = {kKeyCommand, kKeyCommand,   kKeyCommand, kKeyFaster,
                                        kKeyCommand, kKeyCharacter, kKeyCommand, kKeyCommand,
                                        kKeyCommand, kKeyCommand,   kKeyNone,    kKeyCommand};
const uint32_t kZeroSecond[kKeyRowColumns] = {
    Cmd::kToggleAutoScroll, Cmd::kToggleAutoScroll, Cmd::kToggleAutoScroll, Cmd::kToggleAutoScroll,
    Cmd::kToggleAutoScroll, Cmd::kToggleAutoScroll, Cmd::kToggleAutoScroll, Cmd::kToggleAutoScroll,
    Cmd::kToggleAutoScroll, Cmd::kToggleAutoScroll, Cmd::kImageZoomOut,     Cmd::kToggleAutoScroll};
const uint32_t kMinusSecond[kKeyRowColumns] = {
    Cmd::kZoomOut, Cmd::kZoomOut, Cmd::kZoomOut, Cmd::kZoomOut, Cmd::kZoomOut,      Cmd::kZoomOut,
    Cmd::kZoomOut, Cmd::kZoomOut, Cmd::kZoomOut, Cmd::kZoomOut, Cmd::kImageZoomOut, Cmd::kZoomOut};
const uint32_t kPlusSecond[kKeyRowColumns] = {
    Cmd::kZoomIn, Cmd::kZoomIn, Cmd::kZoomIn, Cmd::kZoomIn, Cmd::kZoomIn,      Cmd::kZoomIn,
    Cmd::kZoomIn, Cmd::kZoomIn, Cmd::kZoomIn, Cmd::kZoomIn, Cmd::kImageZoomIn, Cmd::kZoomIn};
}  // namespace KeyRows

namespace HardwareButtons {
const NamedButton kButtons[kButtonCount] = {
    {u"Button 1", 0xC1}, {u"Button 2", 0xC2}, {u"Button 3", 0xC3}, {u"Button 4", 0xC4},
    {u"1", 0x31},        {u"2", 0x32},        {u"3", 0x33},        {u"4", 0x34},
    {u"5", 0x35},        {u"6", 0x36},        {u"7", 0x37},        {u"8", 0x38},
    {u"9", 0x39},        {u"0", 0x30},        {u"*", 0x77},        {u"#", 0x78},
};

namespace {
// A row of the Buttons page: the action's label, icon and bit, from the action table.
constexpr ButtonAction Row(int32_t command) {
    const Action* a = Actions::Find(command);
    return a ? ButtonAction{static_cast<uint16_t>(a->labelId), a->iconId, a->buttonBit,
                            static_cast<uint32_t>(a->id)}
             : ButtonAction{};
}
}  // namespace

// The Buttons page's order.
constexpr ButtonAction kActions[kActionCount] = {
    Row(Cmd::kLibrary),        Row(Cmd::kProperties),    Row(Cmd::kAnnotations),
    Row(Cmd::kOnlineBookstore), Row(Cmd::kContents),      Row(Cmd::kRotate),
    Row(Cmd::kToggleAutoScroll), Row(Cmd::kFind),         Row(Cmd::kFindDialog),
    Row(Cmd::kZoomIn),         Row(Cmd::kToggleBookmark), Row(Cmd::kPreviousPage),
    Row(Cmd::kNextPage),       Row(Cmd::kFullScreen),    Row(Cmd::kOptions),
    Row(Cmd::kBack),           Row(Cmd::kForward),
};
// Every row names an action that a button can take.
static_assert([] {
    for (const ButtonAction& row : kActions)
        if (row.actionBit == 0 || row.stringId == 0) return false;
    return true;
}());

namespace {
constexpr uint32_t kUnassigned = 65535;

bool IsApplicationButton(uint32_t vk) { return vk >= 0xC0 && vk <= 0xCF; }

uint32_t EntryFor(const uint32_t* keyTable, int index) {
    // Only the first 12 buttons have a settings entry.
    if (!keyTable || index < 0 || index >= 12) return kUnassigned;
    return keyTable[index];
}
}  // namespace

void Register(HWND window, const uint32_t* keyTable, bool onlyAssigned) {
    for (int i = 0; i < kButtonCount; ++i) {
        const uint32_t vk = kButtons[i].virtualKey;
        const bool wanted = !onlyAssigned || EntryFor(keyTable, i) != kUnassigned;
        if (IsApplicationButton(vk)) {
            bool done;
            if (wanted) {
                OptionalApi::UnregisterFunc1(MOD_WIN, vk);
                // The hot-key id is the virtual key, so a release finds it again.
                done = OptionalApi::RegisterHotKey(window, static_cast<int>(vk), MOD_WIN, vk);
            } else {
                done = OptionalApi::UnregisterHotKey(window, static_cast<int>(vk));
            }
            if (done) continue;
        }
        OptionalApi::SHSetAppKeyWndAssoc(static_cast<BYTE>(vk), wanted ? window : nullptr);
    }
}

void UnregisterAll(HWND window) {
    for (const NamedButton& button : kButtons) {
        const uint32_t vk = button.virtualKey;
        if (IsApplicationButton(vk) &&
            OptionalApi::UnregisterHotKey(window, static_cast<int>(vk)))
            continue;
        OptionalApi::SHSetAppKeyWndAssoc(static_cast<BYTE>(vk), nullptr);
    }
}

void RestoreFunctions() {
    for (const NamedButton& button : kButtons)
        if (IsApplicationButton(button.virtualKey)) fvt::RestoreKeyFunction(button.virtualKey);
}

bool CommandForKey(uint32_t vk, const uint32_t* keyTable, int32_t& command) {
    for (int i = 0; i < kButtonCount; ++i) {
        if (kButtons[i].virtualKey != vk) continue;
        const uint32_t entry = EntryFor(keyTable, i);
        if (entry == kUnassigned) return false;
        for (const ButtonAction& action : kActions) {
            if (action.actionBit == entry) {
                command = static_cast<int32_t>(action.command);
                return true;
            }
        }
        return false;
    }
    return false;
}
}  // namespace HardwareButtons

namespace KeyTranslation {
namespace {
InputEvent RowEvent(const uint32_t* row, uint32_t command = kNoCommand, uint16_t character = 0) {
    return InputEvent::Row(row, command, character);
}

InputEvent TwoRowEvent(const uint32_t* row, const uint32_t* second, uint16_t character) {
    InputEvent e = InputEvent::Row(row, kNoCommand, character);
    e.flags |= InputEvent::kHasSecondRow;
    e.secondRow = second;
    return e;
}

bool ArrowEvent(uint32_t direction, const KeyContext& context, InputEvent& out) {
    const uint32_t turned = RotateDirection(direction, context.orientation);
    if (context.shift || context.ctrl) {
        out = InputEvent::Key(turned + (context.shift ? kKeyShift : kKeyCtrl));
        return true;
    }
    const uint32_t mode = context.arrowMode <= 3 ? context.arrowMode : 1;
    const uint32_t* rows[4] = {KeyRows::kUp[mode], KeyRows::kDown[mode], KeyRows::kLeft,
                               KeyRows::kRight};
    out = RowEvent(rows[turned - 1]);
    return true;
}
}  // namespace

uint32_t RotateDirection(uint32_t direction, int orientation) {
    if (direction < 1 || direction > 4) return direction;
    // Index: up, down, left, right; the display surface's own mapping of a turned page.
    static const uint32_t kTurned[4][4] = {
        {1, 2, 3, 4},
        {4, 3, 1, 2},
        {3, 4, 2, 1},
        {2, 1, 4, 3},
    };
    if (orientation < 0 || orientation > 3) orientation = 0;
    return kTurned[orientation][direction - 1];
}

int32_t TapActionCommand(uint32_t tapAction) {
    switch (tapAction) {
        case 1: return Cmd::kTapHighlights;
        case 2: return Cmd::kTapLooksUp;
        case 3: return Cmd::kTapAddsNote;
        case 4: return Cmd::kTapModifies;
        case 7: return Cmd::kTapCopies;
        default: return Cmd::kTapShowsPopup;
    }
}

bool KeyDown(uint32_t vk, const KeyContext& context, InputEvent& out) {
    switch (vk) {
        case VK_BACK: out = RowEvent(KeyRows::kBackspace, Cmd::kBack); return true;
        case VK_TAB:
            out = InputEvent::Key(context.shift ? kKeyFocusPrevious : kKeyFocusNext);
            return true;
        case VK_RETURN:
            out = RowEvent(KeyRows::kEnter, context.enterTogglesFullScreen
                                                ? uint32_t{Cmd::kFullScreen}
                                                : kNoCommand);
            return true;
        case VK_ESCAPE: out = RowEvent(KeyRows::kEscape, Cmd::kBack); return true;
        case VK_SPACE: out = RowEvent(KeyRows::kSpace, kNoCommand, 32); return true;
        case VK_PRIOR: out = InputEvent::Key(kKeyPageUp); return true;
        case VK_NEXT: out = InputEvent::Key(kKeyPageDown); return true;
        case VK_END:
            out = InputEvent::Key(context.shift ? kKeyShift | kKeyEnd : uint32_t{kKeyEnd});
            return true;
        case VK_HOME:
            out = InputEvent::Key(context.shift ? kKeyShift | kKeyHome : uint32_t{kKeyHome});
            return true;
        case VK_LEFT: return ArrowEvent(kKeyLeft, context, out);
        case VK_UP: return ArrowEvent(kKeyUp, context, out);
        case VK_RIGHT: return ArrowEvent(kKeyRight, context, out);
        case VK_DOWN: return ArrowEvent(kKeyDown, context, out);
        case VK_DELETE: out = InputEvent::Key(kKeyDelete); return true;
        case 'P':
            if (!context.ctrl) return false;
            out = InputEvent::Key(kKeyCommand, Cmd::kCopyPosition);
            return true;
        default: return false;
    }
}

namespace {
// The command of the action keyed to a keypad character; none when no action is.
uint32_t KeypadCommand(char16_t c) {
    const Action* action = Actions::ForKey(c);
    return action ? static_cast<uint32_t>(action->id) : kNoCommand;
}
}  // namespace

bool Character(char16_t c, const KeyContext& context, InputEvent& out) {
    if (c <= 32) return false;
    int32_t command = 0;
    if (HardwareButtons::CommandForKey(c, context.keyTable, command)) return false;
    const uint16_t ch = static_cast<uint16_t>(c);
    if (c >= u'0' && c <= u'9') {
        const int digit = c - u'0';
        if (digit == 0) {
            out = TwoRowEvent(KeyRows::kDigits[0], KeyRows::kZeroSecond, ch);
            return true;
        }
        // "9" asks for the default tap action; the other digits for the action keyed to them.
        uint32_t cmd = KeypadCommand(c);
        if (digit == 9) cmd = static_cast<uint32_t>(TapActionCommand(context.tapAction));
        out = RowEvent(KeyRows::kDigits[digit], cmd, ch);
        return true;
    }
    switch (c) {
        case u'*': out = RowEvent(KeyRows::kStar, KeypadCommand(c), ch); return true;
        case u'#': out = RowEvent(KeyRows::kHash, KeypadCommand(c), ch); return true;
        case u'-': out = TwoRowEvent(KeyRows::kMinus, KeyRows::kMinusSecond, ch); return true;
        case u'+': out = TwoRowEvent(KeyRows::kPlus, KeyRows::kPlusSecond, ch); return true;
        default: out = InputEvent::Key(kKeyCharacter, kNoCommand, ch); return true;
    }
}

bool KeyUp(uint32_t vk, LPARAM lParam, const KeyContext& context, InputEvent& out) {
    if (!(lParam & kKeyPreviousDown)) return false;
    int32_t command = 0;
    if (!HardwareButtons::CommandForKey(vk, context.keyTable, command)) return false;
    out = InputEvent::Key(kKeyCommand, static_cast<uint32_t>(command));
    return true;
}
}  // namespace KeyTranslation

#include "shell/key_tables.h"

#include "core/optional_api.h"
#include "platform/window/keys.h"

namespace KeyRows {
// Columns: the drawing surface's input states 0-11.
const uint32_t kUp[4][kKeyRowColumns] = {
    {0xc, 0xc, 1, 0x15, 0xc, 0x40e, 0x40e, 0x40e, 0x40c, 0x40c, 1, 1},
    {0x40c, 0x40c, 1, 0x15, 0x40c, 0x40e, 0x40e, 0x40e, 0x40c, 0x40c, 1, 1},
    {0xe, 0xc, 1, 0x15, 0xe, 0x40e, 0x40e, 0x40e, 0x40e, 0x40c, 1, 1},
    {0x40e, 0x40e, 1, 0x15, 0x40e, 0x40e, 0x40e, 0x40e, 0x40e, 0x40e, 1, 1},
};
const uint32_t kDown[4][kKeyRowColumns] = {
    {0xb, 0xb, 2, 0x16, 0xb, 0x40d, 0x40d, 0x40d, 0x40b, 0x40b, 2, 2},
    {0x40b, 0x40b, 2, 0x16, 0x40b, 0x40d, 0x40d, 0x40d, 0x40b, 0x40b, 2, 2},
    {0xd, 0xd, 2, 0x16, 0xd, 0x40d, 0x40d, 0x40d, 0x40d, 0x40d, 2, 2},
    {0x40d, 0x40d, 2, 0x16, 0x40d, 0x40d, 0x40d, 0x40d, 0x40d, 0x40d, 2, 2},
};
const uint32_t kLeft[kKeyRowColumns] = {0xc, 0xc, 3, 0x16, 3, 3, 3, 3, 0xc, 0xc, 3, 3};
const uint32_t kRight[kKeyRowColumns] = {0xb, 0xb, 4, 0x15, 4, 4, 4, 4, 0xb, 0xb, 4, 4};
const uint32_t kEnter[kKeyRowColumns] = {0x1a, 0x17, 0x17, 0x1a, 0x17, 0x17,
                                         0x17, 0x17, 0x17, 0x17, 0x1a, 0x17};
const uint32_t kSpace[kKeyRowColumns] = {0xb, 0xb, 0xb, 0x19, 0x17, 0x19,
                                         0x19, 0x19, 0x17, 0x19, 0x19, 0x17};
const uint32_t kEscape[kKeyRowColumns] = {0x1a, 0x1a, 0x18, 0x1a, 0x1a, 0x18,
                                          0x1a, 0x1a, 0x1a, 0x1a, 0x1a, 0x1a};
const uint32_t kBackspace[kKeyRowColumns] = {0x1a, 0x1a, 0x1a, 0x1a, 0x1a, 0x13,
                                             0x1a, 0x1a, 0x1a, 0x13, 0x1a, 0x1a};
#define FVT_KEYPAD_ROW(plain, image) {plain, plain, plain, plain, plain, 0x19, \
                                      plain, plain, plain, plain, image, plain}
const uint32_t kDigits[10][kKeyRowColumns] = {
    FVT_KEYPAD_ROW(0x1a, 0x1a), FVT_KEYPAD_ROW(0x1a, 5), FVT_KEYPAD_ROW(0x1a, 1),
    FVT_KEYPAD_ROW(0x1a, 7),    FVT_KEYPAD_ROW(0x1a, 3), FVT_KEYPAD_ROW(0x19, 0x1a),
    FVT_KEYPAD_ROW(0x19, 4),    FVT_KEYPAD_ROW(0x19, 6), FVT_KEYPAD_ROW(0x1a, 2),
    FVT_KEYPAD_ROW(0x1a, 8),
};
const uint32_t kStar[kKeyRowColumns] = FVT_KEYPAD_ROW(0x1a, 0x1a);
const uint32_t kHash[kKeyRowColumns] = FVT_KEYPAD_ROW(0x1a, 0);
#undef FVT_KEYPAD_ROW
const uint32_t kMinus[kKeyRowColumns] = {0x1a, 0x1a, 0x1a, 0x16, 0x1a, 0x19,
                                         0x1a, 0x1a, 0x1a, 0x1a, 0, 0x1a};
const uint32_t kPlus[kKeyRowColumns] = {0x1a, 0x1a, 0x1a, 0x15, 0x1a, 0x19,
                                        0x1a, 0x1a, 0x1a, 0x1a, 0, 0x1a};
const uint32_t kZeroSecond[kKeyRowColumns] = {0x52, 0x52, 0x52, 0x52, 0x52, 0x52,
                                              0x52, 0x52, 0x52, 0x52, 0x20, 0x52};
const uint32_t kMinusSecond[kKeyRowColumns] = {0xc, 0xc, 0xc, 0xc, 0xc, 0xc,
                                               0xc, 0xc, 0xc, 0xc, 0x20, 0xc};
const uint32_t kPlusSecond[kKeyRowColumns] = {0xb, 0xb, 0xb, 0xb, 0xb, 0xb,
                                              0xb, 0xb, 0xb, 0xb, 0x1e, 0xb};
}  // namespace KeyRows

namespace HardwareButtons {
const NamedButton kButtons[kButtonCount] = {
    {u"Button 1", 0xC1}, {u"Button 2", 0xC2}, {u"Button 3", 0xC3}, {u"Button 4", 0xC4},
    {u"1", 0x31},        {u"2", 0x32},        {u"3", 0x33},        {u"4", 0x34},
    {u"5", 0x35},        {u"6", 0x36},        {u"7", 0x37},        {u"8", 0x38},
    {u"9", 0x39},        {u"0", 0x30},        {u"*", 0x77},        {u"#", 0x78},
};

const ButtonAction kActions[kActionCount] = {
    {5063, 151, 8, 0},     {5448, 179, 16384, 1},  {5366, 127, 2048, 15}, {5020, 149, 512, 9},
    {5204, 154, 4, 24},    {5396, 152, 16, 74},    {5004, 153, 32, 82},   {5402, 200, 1024, 4},
    {5043, 201, 65536, 113}, {5335, 150, 2, 11},   {5002, 202, 4096, 16}, {5289, 197, 256, 67},
    {5288, 198, 128, 66},  {5202, 199, 64, 55},    {5135, 205, 8192, 6},  {5005, 155, 1, 23},
    {5210, 208, 32768, 22},
};

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
        case 1: return 57;
        case 2: return 59;
        case 3: return 58;
        case 4: return 60;
        case 7: return 63;
        default: return 56;
    }
}

bool KeyDown(uint32_t vk, const KeyContext& context, InputEvent& out) {
    switch (vk) {
        case VK_BACK: out = RowEvent(KeyRows::kBackspace, 23); return true;
        case VK_TAB: out = InputEvent::Key(kKeyTab + (context.shift ? 12 : 11)); return true;
        case VK_RETURN:
            out = RowEvent(KeyRows::kEnter, context.enterTogglesFullScreen ? 55 : kNoCommand);
            return true;
        case VK_ESCAPE: out = RowEvent(KeyRows::kEscape, 23); return true;
        case VK_SPACE: out = RowEvent(KeyRows::kSpace, kNoCommand, 32); return true;
        case VK_PRIOR: out = InputEvent::Key(kKeyPageUp); return true;
        case VK_NEXT: out = InputEvent::Key(kKeyPageDown); return true;
        case VK_END: out = InputEvent::Key(context.shift ? 0x112u : uint32_t{kKeyEnd}); return true;
        case VK_HOME: out = InputEvent::Key(context.shift ? 0x111u : uint32_t{kKeyHome}); return true;
        case VK_LEFT: return ArrowEvent(kKeyLeft, context, out);
        case VK_UP: return ArrowEvent(kKeyUp, context, out);
        case VK_RIGHT: return ArrowEvent(kKeyRight, context, out);
        case VK_DOWN: return ArrowEvent(kKeyDown, context, out);
        case VK_DELETE: out = InputEvent::Key(kKeyDelete); return true;
        case 'P':
            if (!context.ctrl) return false;
            out = InputEvent::Key(kKeyCommand, 120);
            return true;
        default: return false;
    }
}

bool Character(char16_t c, const KeyContext& context, InputEvent& out) {
    if (c <= 32) return false;
    int32_t command = 0;
    if (HardwareButtons::CommandForKey(c, context.keyTable, command)) return false;
    const uint16_t ch = static_cast<uint16_t>(c);
    static const uint32_t kDigitCommands[10] = {kNoCommand, 0, 15, 21, 11,
                                                30, kNoCommand, kNoCommand, 6, 0};
    if (c >= u'0' && c <= u'9') {
        const int digit = c - u'0';
        if (digit == 0) {
            out = TwoRowEvent(KeyRows::kDigits[0], KeyRows::kZeroSecond, ch);
            return true;
        }
        uint32_t cmd = kDigitCommands[digit];
        if (digit == 9) cmd = static_cast<uint32_t>(TapActionCommand(context.tapAction));
        out = RowEvent(KeyRows::kDigits[digit], cmd, ch);
        return true;
    }
    switch (c) {
        case u'*': out = RowEvent(KeyRows::kStar, 55, ch); return true;
        case u'#': out = RowEvent(KeyRows::kHash, 74, ch); return true;
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

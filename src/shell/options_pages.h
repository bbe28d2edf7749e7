// The options sheet: six pages (General, Fonts, Colors, Display, Buttons, Library) over the
// reader window's settings. A page writes the settings only on its OK; what the user did not
// touch is left as it was (the chosen dictionary, colours outside the 16 named ones, custom
// margins, the font face).
#pragma once

#include <cstdint>
#include <vector>

#include "core/string.h"
#include "core/text.h"
#include "shell/key_tables.h"
#include "shell_ui/dialog_page.h"

class Library;
class ReaderController;
class ReaderSettings;

// The pages' rules, free of windows.
namespace OptionRules {
// Rows of the tap-action list: Ask, Highlight, Lookup, Add note, Modify, Copy, None.
int32_t TapActionRow(uint32_t tapAction);
// The command of a row; no selection (-1) runs "Ask".
int32_t TapActionCommand(int32_t row);
// Size rows Smallest..Largest for size s between lo and hi around the normal size n; -1 when
// s lies above hi.
int32_t FontSizeRow(int32_t s, int32_t lo, int32_t n, int32_t d, int32_t hi);
// The size of a row, kept within [lo, hi]; false for no row.
bool FontSizeOfRow(int32_t row, int32_t lo, int32_t n, int32_t d, int32_t hi, int32_t& out);
// Orientation rows Normal, 90 right, 90 left, 180 give the commands 75, 78, 77, 76.
int32_t OrientationCommand(int32_t row);
// The file-type mask of the Library page: other types (8) always.
uint32_t LibraryMask(bool text, bool html, bool palmDoc);
// The view's toggles that make its mask match, in the order 2, 1, 4, 8.
std::vector<uint32_t> LibraryToggles(uint32_t viewMask, uint32_t newMask);
// The Buttons page: the button with the command loses it when it had it, else takes it from
// whichever button had it.
void AssignButton(uint32_t (&pending)[HardwareButtons::kButtonCount], int32_t button,
                  uint32_t command);
// The action bit stored for a pending command (ReaderSettings::kUnassignedKey for none), and
// the command of a stored bit.
uint32_t ActionBitOf(uint32_t command);
uint32_t CommandOfBit(uint32_t bit);
}  // namespace OptionRules

// The program's list of the library view's file-type toggles, which the Library page runs.
class LibraryTypeToggles {
public:
    virtual uint32_t FileTypeMask() const = 0;
    virtual void ToggleFileType(uint32_t bit) = 0;

protected:
    ~LibraryTypeToggles() = default;
};

class OptionsSheet : public PropertySheet {
public:
    static constexpr uint32_t kNoCommand = 0xFFFFFF;

    // dictionaries: the catalogue of dictionaries (may be null); toggles: the library view's
    // (may be null). pendingGiven/pendingFullScreen: the caller's own full-screen state.
    OptionsSheet(ReaderController* controller, Library* dictionaries, LibraryTypeToggles* toggles,
                 bool pendingGiven, bool pendingFullScreen);
    // The page index the last opened page recorded (the sheet starts there).
    static int32_t LastPage();
    static void SetLastPage(int32_t index);
};

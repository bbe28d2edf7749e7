// What the reader does with its command ids (graphics/core/command_ids.h): the ranges that go to
// the window part, the view and the display surface, the menu tables, the tap popup (item id =
// command + 50000) and the default tap actions; ReaderController::OnCommand runs them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "graphics/core/command_ids.h"
#include "reader/menu_items.h"

namespace Commands {
// Popup menu items carry the command + this.
constexpr int32_t kPopupItemBase = static_cast<int32_t>(MenuItem::kPopupBase);

// Ids that go to the document controller's window part before the command table.
bool IsWindowPartRange(int32_t id);
// Ids whose meaning lies in the current view; they reach the window part the same way.
bool IsViewCommand(int32_t id);
// The drawing surface's display commands.
bool IsDisplayCommand(int32_t id);

struct MenuCommand {
    uint32_t item;
    int32_t command;
};
// Reader frame (menu 103), audio frame (menu 1116) and image zoom view (menu 109): which action
// (reader/actions.h) each item of the bar asks for.
constexpr std::size_t kReaderMenuCount = 38;
constexpr std::size_t kAudioMenuCount = 14;
constexpr std::size_t kZoomMenuCount = 5;
extern const MenuCommand kReaderMenu[kReaderMenuCount];
extern const MenuCommand kAudioMenu[kAudioMenuCount];
extern const MenuCommand kZoomMenu[kZoomMenuCount];
// The command of a menu item, or -1.
int32_t CommandForMenuItem(const MenuCommand* table, std::size_t count, uint32_t item);

// The tap popup's commands and their string resources (16 shows 5228 when a bookmark is there).
struct PopupEntry {
    int32_t command;
    uint32_t stringId;
};
constexpr std::size_t kTapPopupCount = 10;
extern const PopupEntry kTapPopup[kTapPopupCount];
constexpr uint32_t kRemoveBookmarkString = 5228;  // "Remove bookmark"

// Default tap actions. The command 56-65 gives the stored value and the view command that
// follows (-1: none); false for other ids.
bool TapActionForCommand(int32_t command, uint32_t& action, int32_t& viewCommand);
// What a tap does for a stored value: the command to run, kTapResetOnly for 9 and -1 (show
// the tap popup) for 0 and every unknown value.
constexpr int32_t kTapResetOnly = -2;
int32_t CommandForTapAction(uint32_t action);
}  // namespace Commands

// The reader's one space of command ids (0 to 120), shared by the menus and soft keys, the
// hardware-key tables, the popup menus (item id = command + 50000), book actions, the main
// window's private messages and the command queue; ReaderController::OnCommand runs them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Cmd {
enum Id : int32_t {
    kLibrary = 0,
    kProperties = 1,
    kViewRequest = 2,
    kBackToOtherDocument = 3,
    kFind = 4,
    kHelp = 5,
    kOptions = 6,
    kAbout = 7,
    kBeam = 8,
    kOnlineBookstore = 9,
    kExit = 10,
    kZoomIn = 11,
    kZoomOut = 12,
    kViewCommand13 = 13,
    kViewCommand14 = 14,
    kAnnotations = 15,
    kToggleBookmark = 16,
    kVoiceRecorder = 17,
    kCover = 18,
    kStart = 19,
    kGoToPage = 20,
    kFirstPage = 21,
    kForward = 22,
    kBack = 23,
    kContents = 24,
    kFileOpen = 25,
    kWindowPartFirst = 26,
    kWindowPartLast = 39,
    kViewCommand40 = 40,
    kDeleteHighlight = 41,
    kHighlight = 42,
    kAddNote = 43,
    kModify = 44,
    kLookup = 45,
    kLookup46 = 46,
    kLookup47 = 47,
    kImageMode = 48,
    kCopy = 49,
    kEditNote = 50,
    kEditModification = 51,
    kAddLink = 53,
    kSetLinkTarget = 54,
    kFullScreen = 55,
    kTapActionFirst = 56,
    kTapActionLast = 65,
    kViewCommand66 = 66,
    kViewCommand67 = 67,
    kViewCommand73 = 73,
    kDisplayFirst = 74,
    kRotate = 74,
    kNormalOrientation = 75,
    kDisplayLast = 82,
    kMakerPage = 84,
    kViewCommand85 = 85,
    kViewCommand86 = 86,
    kViewCommand87 = 87,
    kActivateFocus = 90,
    kViewCommand88 = 88,
    kViewCommand89 = 89,
    kWindowPart2First = 91,
    kWindowPart2Last = 100,
    kWordList = 101,
    kSearchHistory = 102,
    kWindowPart3First = 103,
    kWindowPart3Last = 105,
    kViewCommand106 = 106,
    kViewCommand107 = 107,
    kViewCommand109 = 109,
    kPlayerPosition = 110,
    kPlayerTrackChanging = 111,
    kPlayerPlayingChanged = 112,
    kFindDialog = 113,
    kZoomNormal = 114,
    kProgressBar = 115,
    kNextTrack = 116,
    kPlayPause = 117,
    kPrevTrack = 118,
    kVolume = 119,
    kCopyPosition = 120,
    kLast = 120,
};
}  // namespace Cmd

namespace Commands {
// Popup menu items carry the command + this.
constexpr int32_t kPopupItemBase = 50000;

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
// Reader frame (menu 103) and audio frame (menu 1116).
constexpr std::size_t kReaderMenuCount = 38;
constexpr std::size_t kAudioMenuCount = 14;
extern const MenuCommand kReaderMenu[kReaderMenuCount];
extern const MenuCommand kAudioMenu[kAudioMenuCount];
// The command of a menu item, or -1.
int32_t CommandForMenuItem(const MenuCommand* table, std::size_t count, uint32_t item);

// The tap popup's commands and their string resources (16 shows 5228 when a bookmark is there).
struct PopupEntry {
    int32_t command;
    uint32_t stringId;
};
constexpr std::size_t kTapPopupCount = 10;
extern const PopupEntry kTapPopup[kTapPopupCount];
constexpr uint32_t kRemoveBookmarkString = 5228;

// Default tap actions. The command 56-65 gives the stored value and the view command that
// follows (-1: none); false for other ids.
bool TapActionForCommand(int32_t command, uint32_t& action, int32_t& viewCommand);
// What a tap does for a stored value: the command to run, kTapResetOnly for 9 and -1 (show
// the tap popup) for 0 and every unknown value.
constexpr int32_t kTapResetOnly = -2;
int32_t CommandForTapAction(uint32_t action);
}  // namespace Commands

// The reader's one space of command ids (0 to 120): menus and soft keys, the hardware-key
// tables, the popup menus, book actions, the main window's private messages and the command
// queue. It sits in graphics, the lowest layer that runs any of them: the list control pages by
// 66-71 and 106, the display surface runs 74-82, and the page view and the reader above answer
// for the rest. The reader's actions (each command's name, label, keys and menu items) are in
// reader/actions.h, the menu items' own ids in reader/menu_items.h.
//
// kReservedCommandNN: ids that do nothing in the reader, so they are named by number; only
// the menu tables, the enable tests and the list of view commands name them.
#pragma once

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
    // The current view's zoom: text size in the page and list views, the picture in the image
    // view.
    kViewZoomIn = 13,
    kViewZoomOut = 14,
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
    // 26-39 go to the window part; the image view gives them their meaning.
    kWindowPartFirst = 26,
    kImagePenZoomIn = 26,
    kImagePenZoomOut = 27,
    kImageFitToView = 28,
    kImageActualSize = 29,
    kImageZoomIn = 30,
    kImageFitWidth = 31,
    kImageZoomOut = 32,
    kImagePan = 37,
    kImageScrollable = 39,  // no action: enabled while the picture is larger than the view
    kWindowPartLast = 39,
    // The text focus box: 40 selects a range (the first Enter fixes the anchor), 87 a word.
    kFocusBoxRange = 40,
    kDeleteHighlight = 41,
    kHighlight = 42,
    kAddNote = 43,
    kModify = 44,
    // Dictionary lookup of the selection: any dictionary, bilingual ones, monolingual ones.
    kLookup = 45,
    kLookupBilingual = 46,
    kLookupMonolingual = 47,
    kImageMode = 48,
    kCopy = 49,
    kEditNote = 50,
    kEditModification = 51,
    kReservedCommand52 = 52,
    kAddLink = 53,
    kSetLinkTarget = 54,
    kFullScreen = 55,
    // The default tap action: each stores its value in the settings.
    kTapActionFirst = 56,
    kTapShowsPopup = 56,
    kTapHighlights = 57,
    kTapAddsNote = 58,
    kTapLooksUp = 59,
    kTapModifies = 60,
    kTapAddsLink = 61,
    kTapSetsLinkTarget = 62,
    kTapCopies = 63,
    kTapDeletesHighlight = 64,
    kTapResetsView = 65,
    kTapActionLast = 65,
    // Moves of the current view: a page (a screen of the page view), one or three rows (one
    // layout page in the page view).
    kNextPage = 66,
    kPreviousPage = 67,
    kScrollForward = 68,
    kScrollBack = 69,
    kScrollForwardThree = 70,
    kScrollBackThree = 71,
    kReservedCommand73 = 73,
    // The drawing surface's display commands.
    kDisplayFirst = 74,
    kRotate = 74,
    kNormalOrientation = 75,
    kHalfTurnOrientation = 76,
    kQuarterLeftOrientation = 77,
    kQuarterRightOrientation = 78,
    kStartAutoScroll = 79,
    kStopAutoScroll = 80,
    kStopAutoScrollKeep = 81,  // keeps the scrolled position
    kToggleAutoScroll = 82,
    kDisplayLast = 82,
    kReservedCommand83 = 83,
    kMakerPage = 84,
    // Reading aloud: from the current page; the next chunk (posted when one was spoken).
    kSpeakFromPage = 85,
    kSpeakNextChunk = 86,
    kFocusBoxWord = 87,
    kReservedCommand88 = 88,
    kReservedCommand89 = 89,
    // A link gained the focus (a tap, a focus move past the page): follow it, or after a page
    // step move the focus onto the page's first or last link.
    kActivateFocus = 90,
    // 91-100 and 103-105 go to the window part; the word-list and search-history windows give
    // them their meaning.
    kWindowPart2First = 91,
    kAddWordToList = 92,
    kSetRowMark0 = 93,
    kSetRowMark1 = 94,
    kSetRowMark2 = 95,
    kCycleRowMark = 96,
    kDeleteRow = 97,
    kAskWord = 98,
    kShowWordListOfLanguage = 99,
    kWindowPart2Last = 100,
    kWordList = 101,
    kSearchHistory = 102,
    kWindowPart3First = 103,
    kClearSearchHistory = 104,
    kWindowPart3Last = 105,
    kResetList = 106,
    kShowStatus = 107,  // the list window's status text, briefly as the busy text
    kReservedCommand108 = 108,
    kReservedCommand109 = 109,
    // The audio player's notices, posted as commands.
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

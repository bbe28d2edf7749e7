// The ids of menu items, soft keys and dialog keys: the numbers the menu resources
// (resources/menus.txt) give the items and WM_COMMAND carries. Each number is named here once;
// stored settings, the Buttons page and the driver's `menu N` step keep using the numbers.
//
// The reader's command ids (0-120) are graphics/core/command_ids.h; which command an item runs
// is the action table's (reader/actions.h). One number may name different items in different
// windows (40106 is a default tap action in the reader's menu and the bookmarks filter of the
// annotations list): each meaning gets its own name with the same value.
#pragma once

#include <cstdint>

namespace MenuItem {
enum Id : uint32_t {
    // The bars' buttons: the left soft key (Back or Library in the reader, Close over a picture,
    // Read in the library) and the key that opens the menu.
    kLeftKey = 40167,
    kMenuKey = 40176,
    kAudioLeftKey = 40204,
    kAudioMenuKey = 40053,

    // The reader's menu (menu 103), the audio player's (1116) and the zoom view's (109).
    kLibrary = 40075,
    kAnnotations = 40076,
    kAddBookmark = 40079,
    kFind = 40078,
    kFindNext = 40168,
    kOptions = 40041,
    kFullScreen = 40084,
    kRotate = 40085,
    kNormalOrientation = 40173,
    kAutoscroll = 40086,
    kProgressBar = 40172,
    kZoomIn = 40082,
    kZoomOut = 40083,
    kZoomNormal = 40170,
    kExit = 40048,
    kProperties = 40093,
    kAbout = 40040,
    kHelp = 40035,
    kBeam = 40025,
    kOnlineBookstore = 40100,
    kBack = 40089,
    kFirstPage = 40090,
    kLastPage = 40091,
    kGoToPage = 40092,
    kReservedItem40080 = 40080,
    kReservedItem40081 = 40081,
    kPlayPause = 40087,
    kPreviousTrack = 40174,
    kNextTrack = 40175,
    kVolume = 40088,
    kZoomToFit = 40156,
    kActualSize = 40157,
    // The default tap action.
    kTapHighlights = 40103,
    kTapLooksUp = 40104,
    kTapCopies = 40105,
    kTapAddsNote = 40106,
    kTapModifies = 40107,
    kTapAddsLink = 40108,
    kTapSetsLinkTarget = 40193,

    // The library view (menu 104). Read is the left key; Open and Open selection are the list's.
    kRead = kLeftKey,
    kOpenBook = 40024,
    kOpenSelection = 40204,
    kDelete = 40023,
    kBookProperties = 40022,
    kStore = 40043,
    kRescan = 40042,
    kMemory = 40166,
    kBrowse = 40071,
    kTitleStrip = 40072,
    kSortAscending = 40060,
    kSortDescending = 40061,
    kSortByTitle = 40030,
    kSortByAuthor = 40031,
    kSortBySize = 40032,
    kSortByDate = 40033,
    kSortByLastRead = 40034,
    kSortByRating = 40062,
    kShowAll = 40001,
    kShowEBooks = 40011,
    kShowENews = 40012,
    kShowEDocs = 40013,
    kShowEAudio = 40014,
    kShowHtml = 40067,
    kShowText = 40068,
    kShowPalmDoc = 40069,
    kShowOtherFiles = 40070,
    kUnfiled = 40073,
    kEditLists = 40074,

    // The annotations list (menu 108): the filter by kind, and Modify.
    kShowBookmarks = 40106,
    kShowNotes = 40107,
    kShowHighlights = 40108,
    kShowLinks = 40158,
    kShowModifications = 40159,
    kShowDrawings = 40160,
    kModify = 40171,

    // Dialogs: the default bar's keys (menu 214), the Close button of the small dialogs.
    kDialogOk = 40177,
    kDialogCancel = 40178,
    kDialogClose = 40169,
};

// Pop-up menus number their items command + kPopupBase; the reader's Navigate menu, the audio
// player's tracks and the recent documents number theirs from their own bases.
constexpr uint32_t kPopupBase = 50000;
constexpr uint32_t kNavigationBase = 51000;
constexpr uint32_t kTrackBase = 52000;
constexpr uint32_t kRecentBase = 53000;
// The audio bar's toolbar button that UpdateItems refreshes.
constexpr uint32_t kAudioToolbarButton = 50117;

// The pop-up item of a command.
constexpr uint32_t PopupItem(int32_t command) {
    return kPopupBase + static_cast<uint32_t>(command);
}
}  // namespace MenuItem

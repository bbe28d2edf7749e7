#include "reader/reader_command_ids.h"

#include "reader/actions.h"

namespace Commands {

bool IsWindowPartRange(int32_t id) {
    return (id >= Cmd::kWindowPartFirst && id <= Cmd::kWindowPartLast) ||
           (id >= Cmd::kWindowPart2First && id <= Cmd::kWindowPart2Last) ||
           (id >= Cmd::kWindowPart3First && id <= Cmd::kWindowPart3Last);
}

bool IsViewCommand(int32_t id) {
    static constexpr int32_t kViewIds[] = {
        Cmd::kViewZoomIn,          Cmd::kViewZoomOut,       Cmd::kBack,
        Cmd::kFocusBoxRange,       Cmd::kNextPage,          Cmd::kPreviousPage,
        Cmd::kReservedCommand73,   Cmd::kSpeakFromPage,     Cmd::kSpeakNextChunk,
        Cmd::kFocusBoxWord,        Cmd::kReservedCommand88, Cmd::kReservedCommand89,
        Cmd::kActivateFocus,       Cmd::kResetList,         Cmd::kShowStatus,
        Cmd::kReservedCommand109,  Cmd::kPlayerPosition,    Cmd::kPlayerTrackChanging,
        Cmd::kPlayerPlayingChanged};
    for (int32_t v : kViewIds)
        if (v == id) return true;
    return false;
}

bool IsDisplayCommand(int32_t id) {
    return id >= Cmd::kDisplayFirst && id <= Cmd::kDisplayLast;
}

namespace I = MenuItem;

const MenuCommand kReaderMenu[kReaderMenuCount] = {
    {I::kLeftKey, Cmd::kBack},
    {I::kProperties, Cmd::kProperties},
    {I::kOptions, Cmd::kOptions},
    {I::kLibrary, Cmd::kLibrary},
    {I::kAnnotations, Cmd::kAnnotations},
    {I::kAbout, Cmd::kAbout},
    {I::kFind, Cmd::kFind},
    {I::kFindNext, Cmd::kFindDialog},
    {I::kAddBookmark, Cmd::kToggleBookmark},
    {I::kExit, Cmd::kExit},
    {I::kGoToPage, Cmd::kGoToPage},
    {I::kFirstPage, Cmd::kFirstPage},
    {I::kBack, Cmd::kBack},
    {I::kZoomIn, Cmd::kZoomIn},
    {I::kZoomOut, Cmd::kZoomOut},
    {I::kZoomNormal, Cmd::kZoomNormal},
    {I::kFullScreen, Cmd::kFullScreen},
    {I::kOnlineBookstore, Cmd::kOnlineBookstore},
    {I::kBeam, Cmd::kBeam},
    {I::kReservedItem40080, Cmd::kReservedCommand52},
    {I::kRotate, Cmd::kRotate},
    {I::kNormalOrientation, Cmd::kNormalOrientation},
    {I::kProgressBar, Cmd::kProgressBar},
    {I::kHelp, Cmd::kHelp},
    {I::PopupItem(Cmd::kCover), Cmd::kCover},
    {I::PopupItem(Cmd::kStart), Cmd::kStart},
    {I::PopupItem(Cmd::kPreviousPage), Cmd::kPreviousPage},
    {I::PopupItem(Cmd::kNextPage), Cmd::kNextPage},
    {I::PopupItem(Cmd::kContents), Cmd::kContents},
    {I::PopupItem(Cmd::kZoomIn), Cmd::kZoomIn},
    {I::PopupItem(Cmd::kForward), Cmd::kForward},
    {I::kTapHighlights, Cmd::kTapHighlights},
    {I::kTapLooksUp, Cmd::kTapLooksUp},
    {I::kTapCopies, Cmd::kTapCopies},
    {I::kTapAddsNote, Cmd::kTapAddsNote},
    {I::kTapModifies, Cmd::kTapModifies},
    {I::kTapAddsLink, Cmd::kTapAddsLink},
    {I::kTapSetsLinkTarget, Cmd::kTapSetsLinkTarget},
};

const MenuCommand kAudioMenu[kAudioMenuCount] = {
    {I::kProperties, Cmd::kProperties},   {I::kOptions, Cmd::kOptions},
    {I::kLibrary, Cmd::kLibrary},         {I::kAnnotations, Cmd::kAnnotations},
    {I::kAbout, Cmd::kAbout},             {I::kExit, Cmd::kExit},
    {I::kBack, Cmd::kBack},               {I::kOnlineBookstore, Cmd::kOnlineBookstore},
    {I::kBeam, Cmd::kBeam},               {I::kHelp, Cmd::kHelp},
    {I::kNextTrack, Cmd::kNextTrack},     {I::kPreviousTrack, Cmd::kPrevTrack},
    {I::kPlayPause, Cmd::kPlayPause},     {I::kVolume, Cmd::kVolume},
};

const MenuCommand kZoomMenu[kZoomMenuCount] = {
    {I::kBack, Cmd::kBackToOtherDocument}, {I::kZoomIn, Cmd::kImageZoomIn},
    {I::kZoomOut, Cmd::kImageZoomOut},     {I::kZoomToFit, Cmd::kImageFitToView},
    {I::kActualSize, Cmd::kImageActualSize},
};

int32_t CommandForMenuItem(const MenuCommand* table, std::size_t count, uint32_t item) {
    for (std::size_t i = 0; i < count; ++i)
        if (table[i].item == item) return table[i].command;
    return -1;
}

// The tap pop-up's entries are labelled as their actions are.
namespace {
constexpr PopupEntry Entry(int32_t command) {
    return {command, Actions::LabelOf(command)};
}
}  // namespace

const PopupEntry kTapPopup[kTapPopupCount] = {
    Entry(Cmd::kLookup),          Entry(Cmd::kCopy),    Entry(Cmd::kHighlight),
    Entry(Cmd::kDeleteHighlight), Entry(Cmd::kAddNote), Entry(Cmd::kModify),
    Entry(Cmd::kToggleBookmark),  Entry(Cmd::kAddLink), Entry(Cmd::kSetLinkTarget),
    Entry(Cmd::kImageMode),
};

bool TapActionForCommand(int32_t command, uint32_t& action, int32_t& viewCommand) {
    // Commands 56-65 in order; 58 and 59 swap their values.
    static constexpr uint32_t kValues[10] = {0, 1, 3, 2, 4, 5, 6, 7, 8, 9};
    if (command < Cmd::kTapActionFirst || command > Cmd::kTapActionLast) return false;
    action = kValues[command - Cmd::kTapActionFirst];
    if (command == Cmd::kTapResetsView)
        viewCommand = -1;
    else
        viewCommand = command == Cmd::kTapLooksUp ? Cmd::kFocusBoxWord : Cmd::kFocusBoxRange;
    return true;
}

int32_t CommandForTapAction(uint32_t action) {
    switch (action) {
        case 1:
            return Cmd::kHighlight;
        case 2:
            return Cmd::kLookup;
        case 3:
            return Cmd::kAddNote;
        case 4:
            return Cmd::kModify;
        case 5:
            return Cmd::kAddLink;
        case 6:
            return Cmd::kSetLinkTarget;
        case 7:
            return Cmd::kCopy;
        case 8:
            return Cmd::kDeleteHighlight;
        case 9:
            return kTapResetOnly;
        default:
            return -1;
    }
}

}  // namespace Commands

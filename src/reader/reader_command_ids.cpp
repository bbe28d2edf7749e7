#include "reader/reader_command_ids.h"

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

const MenuCommand kReaderMenu[kReaderMenuCount] = {
    {40167, Cmd::kBack},           {40093, Cmd::kProperties},
    {40041, Cmd::kOptions},        {40075, Cmd::kLibrary},
    {40076, Cmd::kAnnotations},    {40040, Cmd::kAbout},
    {40078, Cmd::kFind},           {40168, Cmd::kFindDialog},
    {40079, Cmd::kToggleBookmark}, {40048, Cmd::kExit},
    {40092, Cmd::kGoToPage},       {40090, Cmd::kFirstPage},
    {40089, Cmd::kBack},           {40082, Cmd::kZoomIn},
    {40083, Cmd::kZoomOut},        {40170, Cmd::kZoomNormal},
    {40084, Cmd::kFullScreen},     {40100, Cmd::kOnlineBookstore},
    {40025, Cmd::kBeam},           {40080, Cmd::kReservedCommand52},
    {40085, Cmd::kRotate},         {40173, Cmd::kNormalOrientation},
    {40172, Cmd::kProgressBar},    {40035, Cmd::kHelp},
    {50018, Cmd::kCover},          {50019, Cmd::kStart},
    {50067, Cmd::kPreviousPage},   {50066, Cmd::kNextPage},
    {50024, Cmd::kContents},       {50011, Cmd::kZoomIn},
    {50022, Cmd::kForward},        {40103, Cmd::kTapHighlights},
    {40104, Cmd::kTapLooksUp},     {40105, Cmd::kTapCopies},
    {40106, Cmd::kTapAddsNote},    {40107, Cmd::kTapModifies},
    {40108, Cmd::kTapAddsLink},    {40193, Cmd::kTapSetsLinkTarget},
};

const MenuCommand kAudioMenu[kAudioMenuCount] = {
    {40093, Cmd::kProperties},  {40041, Cmd::kOptions},         {40075, Cmd::kLibrary},
    {40076, Cmd::kAnnotations}, {40040, Cmd::kAbout},           {40048, Cmd::kExit},
    {40089, Cmd::kBack},        {40100, Cmd::kOnlineBookstore}, {40025, Cmd::kBeam},
    {40035, Cmd::kHelp},        {40175, Cmd::kNextTrack},       {40174, Cmd::kPrevTrack},
    {40087, Cmd::kPlayPause},   {40088, Cmd::kVolume},
};

int32_t CommandForMenuItem(const MenuCommand* table, std::size_t count, uint32_t item) {
    for (std::size_t i = 0; i < count; ++i)
        if (table[i].item == item) return table[i].command;
    return -1;
}

const PopupEntry kTapPopup[kTapPopupCount] = {
    {Cmd::kLookup, 5091},          {Cmd::kCopy, 5087},    {Cmd::kHighlight, 5086},
    {Cmd::kDeleteHighlight, 5088}, {Cmd::kAddNote, 5084}, {Cmd::kModify, 5090},
    {Cmd::kToggleBookmark, 5002},  {Cmd::kAddLink, 5093}, {Cmd::kSetLinkTarget, 5094},
    {Cmd::kImageMode, 5089},
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

// The reader's actions: one row per command a person or a book can ask for, holding its command
// id, its name, its label's string id, the keypad key and hardware-button bit that ask for it,
// the script call that asks for it, and the test of whether it can act now. Every way of asking
// finds its command here: the soft-key bars and their menus (through the item bindings below),
// the pop-up menus (item = command + 50000), the keypad and the Buttons page, book scripts' calls
// and the driver's `menu NAME` step. ReaderController::OnCommand runs the command.
//
// The table is constexpr, so the fixed tables that other layers keep (the button
// actions of the key tables, the tap pop-up) are built from it when the program is compiled.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "graphics/core/command_ids.h"
#include "reader/book_actions.h"
#include "reader/menu_items.h"
#include "reader/reader_command_ids.h"

// Whether an action can act now, beyond the current view's command-enabled test.
enum class CanActKind : uint8_t {
    kWhenEnabled,     // the view (or the controller's history) enables it
    kNotOnFirstPage,  // and the page shown is not the first
    kNotOnLastPage,   // and the page shown is not known to be the last
};

// What the can-act test reads of the reader window.
class ActionState {
public:
    // The window part's command-enabled test for the current view.
    virtual bool IsCommandEnabled(int32_t command) = 0;
    // 1-based current page and page count; below 1 when unknown.
    virtual int32_t CurrentPage() = 0;
    virtual int32_t PageCount() = 0;
    // The page count is exact only once the last page has been laid out.
    virtual bool IsPageCountKnown() = 0;

protected:
    ~ActionState() = default;
};

struct ScriptCall {
    uint32_t objectKind = 0;  // ReaderObjects; 0: no script call asks for it
    uint32_t methodId = 0;    // ReaderMethods
};

struct Action {
    int32_t id;             // Cmd::Id
    const char* name;       // the driver's name, lower case with hyphens
    uint32_t labelId;       // string id of its label (0: none)
    char16_t key;           // the keypad character that asks for it (0: none)
    uint32_t buttonBit;     // its bit on the Buttons page (0: a button cannot take it)
    uint16_t iconId;        // the Buttons page's icon
    ScriptCall script{};    // the script call that asks for it without arguments
    CanActKind canAct = CanActKind::kWhenEnabled;
};

namespace Actions {
namespace M = ReaderMethods;
namespace O = ReaderObjects;

// Sorted by command id; each id once (the unit tests check both).
inline constexpr Action kTable[] = {
    {Cmd::kLibrary, "library", 5063, u'1', 8, 151},
    {Cmd::kProperties, "properties", 5448, 0, 16384, 179},
    {Cmd::kBackToOtherDocument, "back-to-other-document", 5191, 0, 0, 0},
    {Cmd::kFind, "find", 5402, 0, 1024, 200, {O::kDocument, M::kSearch}},
    {Cmd::kHelp, "help", 5049, 0, 0, 0},
    {Cmd::kOptions, "options", 5135, u'8', 8192, 205},
    {Cmd::kAbout, "about", 5083, 0, 0, 0},
    {Cmd::kBeam, "beam", 0, 0, 0, 0},
    {Cmd::kOnlineBookstore, "bookstore", 5020, 0, 512, 149},
    {Cmd::kExit, "exit", 5311, 0, 0, 0},
    {Cmd::kZoomIn, "zoom-in", 5335, u'4', 2, 150},
    {Cmd::kZoomOut, "zoom-out", 5314, 0, 0, 0},
    {Cmd::kAnnotations, "annotations", 5366, u'2', 2048, 127},
    {Cmd::kToggleBookmark, "bookmark", 5002, 0, 4096, 202, {O::kBookmarks, M::kAdd}},
    {Cmd::kCover, "cover", 5351, 0, 0, 0},
    {Cmd::kStart, "start", 0, 0, 0, 0},
    {Cmd::kGoToPage, "go-to-page", 5121, 0, 0, 0, {O::kDocument, M::kGoToPage}},
    {Cmd::kFirstPage, "first-page", 5044, u'3', 0, 0},
    {Cmd::kForward, "forward", 5210, 0, 32768, 208},
    {Cmd::kBack, "back", 5005, 0, 1, 155},
    {Cmd::kContents, "contents", 5204, 0, 4, 154},
    {Cmd::kFileOpen, "open-file", 0, 0, 0, 0, {O::kWindow, M::kBrowseFiles}},
    {Cmd::kImageFitToView, "zoom-to-fit", 5208, 0, 0, 0},
    {Cmd::kImageActualSize, "actual-size", 5209, 0, 0, 0},
    {Cmd::kImageZoomIn, "image-zoom-in", 5206, u'5', 0, 0},
    {Cmd::kImageZoomOut, "image-zoom-out", 5207, 0, 0, 0},
    {Cmd::kDeleteHighlight, "delete-highlight", 5088, 0, 0, 0},
    {Cmd::kHighlight, "highlight", 5086, 0, 0, 0, {O::kSelection, M::kHighlightSelection}},
    {Cmd::kAddNote, "add-note", 5084, 0, 0, 0, {O::kSelection, M::kAnnotateSelection}},
    {Cmd::kModify, "modify", 5090, 0, 0, 0},
    {Cmd::kLookup, "lookup", 5091, 0, 0, 0, {O::kSelection, M::kLookUpSelection}},
    {Cmd::kImageMode, "image-mode", 5089, 0, 0, 0},
    {Cmd::kCopy, "copy", 5087, 0, 0, 0, {O::kSelection, M::kCopySelection}},
    {Cmd::kAddLink, "add-link", 5093, 0, 0, 0},
    {Cmd::kSetLinkTarget, "set-link-target", 5094, 0, 0, 0},
    {Cmd::kFullScreen, "full-screen", 5202, u'*', 64, 199},
    {Cmd::kTapShowsPopup, "tap-shows-menu", 0, 0, 0, 0},
    {Cmd::kTapHighlights, "tap-highlights", 0, 0, 0, 0},
    {Cmd::kTapAddsNote, "tap-adds-note", 0, 0, 0, 0},
    {Cmd::kTapLooksUp, "tap-looks-up", 0, 0, 0, 0},
    {Cmd::kTapModifies, "tap-modifies", 0, 0, 0, 0},
    {Cmd::kTapAddsLink, "tap-adds-link", 0, 0, 0, 0},
    {Cmd::kTapSetsLinkTarget, "tap-sets-link-target", 0, 0, 0, 0},
    {Cmd::kTapCopies, "tap-copies", 0, 0, 0, 0},
    {Cmd::kNextPage, "next-page", 5288, 0, 128, 198, {}, CanActKind::kNotOnLastPage},
    {Cmd::kPreviousPage, "previous-page", 5289, 0, 256, 197, {}, CanActKind::kNotOnFirstPage},
    {Cmd::kRotate, "rotate", 5396, u'#', 16, 152},
    {Cmd::kNormalOrientation, "normal-orientation", 5480, 0, 0, 0},
    {Cmd::kStartAutoScroll, "start-autoscroll", 0, 0, 0, 0, {O::kWindow, M::kScroll}},
    {Cmd::kToggleAutoScroll, "autoscroll", 5004, 0, 32, 153},
    {Cmd::kFindDialog, "find-next", 5043, 0, 65536, 201},
    {Cmd::kZoomNormal, "zoom-normal", 5315, 0, 0, 0},
    {Cmd::kProgressBar, "progress-bar", 5214, 0, 0, 0},
    {Cmd::kNextTrack, "next-track", 5210, 0, 0, 0},
    {Cmd::kPlayPause, "play-pause", 5286, 0, 0, 0},
    {Cmd::kPrevTrack, "previous-track", 5005, 0, 0, 0},
    {Cmd::kVolume, "volume", 5280, 0, 0, 0},
    {Cmd::kCopyPosition, "copy-position", 0, 0, 0, 0},
};
inline constexpr std::size_t kCount = sizeof kTable / sizeof kTable[0];

// The action of a command id; null when none.
constexpr const Action* Find(int32_t id) {
    for (const Action& a : kTable)
        if (a.id == id) return &a;
    return nullptr;
}
// The action of a name (exactly as written in the table); null when none.
const Action* FindByName(std::string_view name);
// The action the keypad character asks for; null when none.
constexpr const Action* ForKey(char16_t key) {
    if (key == 0) return nullptr;
    for (const Action& a : kTable)
        if (a.key == key) return &a;
    return nullptr;
}
// The action a script call without arguments asks for; null when none.
constexpr const Action* ForScript(uint32_t objectKind, uint32_t methodId) {
    for (const Action& a : kTable)
        if (a.script.objectKind == objectKind && a.script.methodId == methodId && objectKind != 0)
            return &a;
    return nullptr;
}
// The label of a command's action (0 when it has none).
constexpr uint32_t LabelOf(int32_t id) {
    const Action* a = Find(id);
    return a ? a->labelId : 0;
}
// The command a script call runs; -1 when it asks for no action.
constexpr int32_t CommandForScript(uint32_t objectKind, uint32_t methodId) {
    const Action* a = ForScript(objectKind, methodId);
    return a ? a->id : -1;
}

// Whether the action can act now.
bool CanAct(const Action& action, ActionState& state);
bool CanAct(int32_t id, ActionState& state);

// The soft-key bars. Their menus bind items to actions through the item tables of
// reader/reader_command_ids.h (the reader's, the audio player's and the zoom view's).
enum Bar : uint8_t { kReaderBar, kAudioBar, kZoomBar };
// The command an item of that bar runs; -1 when the bar binds no action to it.
int32_t CommandForItem(Bar bar, uint32_t item);
// The items of that bar that run the action, up to `max`; the count.
std::size_t ItemsFor(Bar bar, int32_t id, uint32_t* items, std::size_t max);
}  // namespace Actions

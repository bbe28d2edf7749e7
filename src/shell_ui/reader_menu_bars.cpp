#include "shell_ui/reader_menu_bars.h"

#include <algorithm>
#include <array>
#include <string>

#include "core/platform_helpers.h"
#include "core/resources.h"
#include "core/string.h"
#include "database/resource.h"
#include "document/location/location.h"
#include "document/sources/document_loader.h"
#include "graphics/core/drawing_surface.h"
#include "layout/page_layout.h"
#include "media/audio/audio_player.h"
#include "platform/window/keys.h"
#include "reader/book_document_controller.h"
#include "reader/document_controller.h"
#include "reader/opening_rules.h"
#include "reader/reader_controller.h"
#include "reader/reader_settings.h"
#include "shell_ui/dialog_helpers.h"

namespace {

namespace I = MenuItem;
constexpr uint32_t kLeftButton = I::kLeftKey;
constexpr uint32_t kMenuButton = I::kMenuKey;
constexpr uint32_t kAudioLeftButton = I::kAudioLeftKey;
constexpr uint32_t kAudioMenuButton = I::kAudioMenuKey;

constexpr uint32_t kBackString = 5005;
constexpr uint32_t kLibraryString = 5063;
constexpr uint32_t kMenuString = 5417;
constexpr uint32_t kCloseString = 5191;
constexpr uint32_t kAddBookmarkString = 5002;
constexpr uint32_t kNavigateString = 5383;

constexpr MenuTextRow kReaderTexts[] = {
    {I::kLibrary, 5063, false},   {I::kAnnotations, 5366, false},
    {3, 5383, true},              {I::kAddBookmark, 5002, false},
    {I::kFind, 5402, false},      {I::kOptions, 5395, false},
    {8, 5343, true},              {I::kFullScreen, 5202, false},
    {I::kRotate, 5128, false},    {I::kNormalOrientation, 5480, false},
    {I::kAutoscroll, 5004, false}, {I::kProgressBar, 5214, false},
    {9, 5312, true},              {I::kZoomIn, 5313, false},
    {I::kZoomOut, 5314, false},   {I::kZoomNormal, 5315, false},
    {I::kExit, 5311, false},
};
constexpr MenuTextRow kAudioTexts[] = {
    {I::kLibrary, 5063, false},   {I::kOnlineBookstore, 5020, false},
    {I::kAbout, 5083, false},     {I::kHelp, 5049, false},
    {I::kOptions, 5135, false},   {I::kPlayPause, 5286, false},
    {I::kPreviousTrack, 5005, false}, {I::kNextTrack, 5210, false},
    {I::kVolume, 5280, false},    {0, 5120, true},
    {1, 5383, true},              {8, 5049, true},
    {I::kExit, 5311, false},
};
constexpr MenuTextRow kZoomTexts[] = {
    {I::kZoomIn, 5206, false},
    {I::kZoomOut, 5207, false},
    {I::kZoomToFit, 5208, false},
    {I::kActualSize, 5209, false},
};

template <std::size_t N>
int32_t Count(const MenuTextRow (&)[N]) {
    return static_cast<int32_t>(N);
}

// The submenu at the position the texts table gives for the Navigate string.
HMENU NavigateMenu(HMENU menu, const MenuTextRow* rows, int32_t count) {
    if (!menu) return nullptr;
    for (int32_t i = 0; i < count; ++i)
        if (rows[i].byPosition && rows[i].stringId == kNavigateString)
            return GetSubMenu(menu, static_cast<int>(rows[i].item));
    return nullptr;
}

void EmptyMenu(HMENU menu) {
    for (int n = GetMenuItemCount(menu); n > 0; --n) DeleteMenu(menu, 0, MF_BYPOSITION);
}

bool AppendString(HMENU menu, uint32_t id, const String& text) {
    return AppendMenuW(menu, MF_STRING, id, Terminated(text).c_str());
}

bool AppendRes(HMENU menu, uint32_t id, uint32_t stringId) {
    const char16_t* text = LoadResString(stringId);
    return AppendMenuW(menu, MF_STRING, id, text ? text : u"");
}

// "Back" when command 23 has somewhere to go, else "Library"; the key does the same.
int32_t LeftKeyCommand(ReaderBarState* state) {
    return state->IsCommandEnabled(Cmd::kBack) ? Cmd::kBack : Cmd::kLibrary;
}

uint32_t LeftLabel(ReaderBarState* state) {
    return LeftKeyCommand(state) == Cmd::kBack ? kBackString : kLibraryString;
}

}  // namespace

namespace MenuBars {
const ItemState kReaderStates[kReaderStateCount] = {
    {I::kLibrary, 3},
    {I::kProperties, 1},
    {I::PopupItem(Cmd::kForward), 3},
    {I::kAnnotations, 3},
    {I::kOnlineBookstore, 3},
    {I::PopupItem(Cmd::kContents), 3},
    {I::kRotate, 1},
    {I::kAutoscroll, 1},
    {I::kFind, 1},
    {I::kFindNext, 1},
    {I::PopupItem(Cmd::kZoomIn), 3},
    {I::kAddBookmark, 1},
    {I::PopupItem(Cmd::kPreviousPage), 3},
    {I::PopupItem(Cmd::kNextPage), 3},
    {I::kFullScreen, 1},
    {I::kOptions, 3},
    {I::kBack, 3},
};
}  // namespace MenuBars

BookDocumentController* ShownTextPage(ReaderController* controller) {
    DocumentController* document = controller ? controller->GetDocumentController() : nullptr;
    auto* book = dynamic_cast<BookDocumentController*>(document);
    if (!book || !book->Page().Layout() || !book->CurrentLocation()) return nullptr;
    return book->CurrentView() == BookDocumentController::kTextPage ? book : nullptr;
}

// ControllerBarState.

bool ControllerBarState::IsCommandEnabled(int32_t command) {
    // The document controller knows the history (Back, Forward) and asks the view shown for the rest.
    return controller_->IsCommandEnabled(command);
}

int32_t ControllerBarState::CurrentPage() {
    DocumentController* document = controller_->GetDocumentController();
    return document ? document->GetPageNumber() : 0;
}

int32_t ControllerBarState::PageCount() {
    BookDocumentController* book = ShownTextPage(controller_);
    return book ? static_cast<int32_t>(book->Page().Layout()->PageCount()) : 0;
}

bool ControllerBarState::IsPageCountKnown() {
    BookDocumentController* book = ShownTextPage(controller_);
    return book && book->Page().Layout()->IsLastPageKnown();
}

int32_t ControllerBarState::RecentCount() {
    const DocumentLoader* loader = controller_->GetDocumentLoader();
    if (!loader) return 0;
    return static_cast<int32_t>(std::min<size_t>(loader->GetRecentList().size(), MenuBars::kMaxListItems));
}

bool ControllerBarState::RecentTitle(int32_t index, String& title) {
    const DocumentLoader* loader = controller_->GetDocumentLoader();
    if (!loader || index < 0 || index >= RecentCount()) return false;
    String text;
    if (!loader->GetRecentList()[static_cast<size_t>(index)].ToString(text, false)) return false;
    // The file's name, without its folders.
    int32_t start = 0;
    for (int32_t i = 0; i < text.Length(); ++i)
        if (text[i] == u'\\' || text[i] == u'/') start = i + 1;
    title.AssignSub(text, start, text.Length() - start);
    return !title.IsEmpty();
}

void ControllerBarState::OpenRecent(int32_t index) {
    const DocumentLoader* loader = controller_->GetDocumentLoader();
    DocumentController* document = controller_->GetDocumentController();
    if (!loader || !document || index < 0 || index >= RecentCount()) return;
    String text;
    if (loader->GetRecentList()[static_cast<size_t>(index)].ToString(text, false))
        document->ActivateLink(text);
}

void ControllerBarState::GoToLastPage() {
    // The layout lays the text out to its end when the last page is not known yet.
    if (BookDocumentController* book = ShownTextPage(controller_)) book->GoToPage(PageLayout::kNone);
}

bool ControllerBarState::HasCoverPage() {
    auto* book = dynamic_cast<BookDocumentController*>(controller_->GetDocumentController());
    Resource* document = book ? book->Document() : nullptr;
    return document && OpeningRules::HasCover(document->GetDocument());
}

bool ControllerBarState::HasBookmarkAtPage() {
    return controller_->GetDocumentController() && controller_->BookmarkAtPage() >= 0;
}

bool ControllerBarState::IsFullScreen() {
    ReaderSettings* settings = controller_->GetSettings();
    return settings && settings->fullScreen != 0;
}

bool ControllerBarState::ShowsProgressBar() {
    ReaderSettings* settings = controller_->GetSettings();
    return settings && settings->progressBar != 0;
}

int32_t ControllerBarState::TrackCount() {
    return tracks_ ? static_cast<int32_t>(tracks_->Count()) : 0;
}

bool ControllerBarState::TrackTitle(int32_t index, String& title) {
    if (!tracks_ || index < 0 || index >= TrackCount()) return false;
    tracks_->GetTitle(static_cast<uint32_t>(index), title);
    return true;
}

void ControllerBarState::SelectTrack(int32_t index) {
    if (index >= 0 && index < TrackCount()) controller_->Player().Play(static_cast<uint32_t>(index), false, 0);
}

void ControllerBarState::RunCommand(int32_t command) {
    controller_->OnCommand(command, false);
}

HWND ControllerBarState::ViewWindow() {
    DrawingSurface* surface = controller_->GetDrawingSurface();
    return surface ? surface->Window() : nullptr;
}

void ControllerBarState::PostViewNotice(UINT message) {
    if (HWND w = ViewWindow()) PostMessageW(w, message, 0, 0);
}

// ReaderMenuBar.

ReaderMenuBar::~ReaderMenuBar() {
    if (popup_) DestroyMenu(popup_);
}

bool ReaderMenuBar::Create(HWND owner) {
    applied_.reset();
    if (!SoftKeyBar::Create(owner, 103, state_)) return false;
    mode_ = 1;
    if (!popup_) popup_ = CreatePopupMenu();
    SetMenuTextsRes(GetButtonMenu(kMenuButton), kReaderTexts, Count(kReaderTexts));
    SetButtonText(kMenuButton, kMenuString);
    SetButtonText(kLeftButton, kBackString);
    return true;
}

void ReaderMenuBar::SetMode(int32_t mode) {
    mode_ = (mode == 1 || mode == 2) ? mode : 0;
    UpdateItems();
}

void ReaderMenuBar::Show(bool show) {
    if (show) {
        UpdateItems();
        RebuildNavigateMenu();
    }
    SoftKeyBar::Show(show);
}

void ReaderMenuBar::UpdateShownItems() {
    // Of what a page turn changes, the bar shows the left key's text; the rest (the page items,
    // the bookmark item) shows only in the menu, whose items are asked for as it opens.
    if (!applied_ || applied_->bar != Window()) {
        UpdateItems();
        return;
    }
    itemsWaiting_ = true;
    const uint32_t label = LeftLabel(state_);
    if (applied_->leftLabel == label) return;
    SetButtonText(kLeftButton, label);
    applied_->leftLabel = label;
}

void ReaderMenuBar::UpdateItems() {
    itemsWaiting_ = false;
    Applied next;
    next.bar = Window();
    next.menu = GetButtonMenu(kMenuButton);
    next.mode = mode_;
    next.fullScreen = state_->IsFullScreen();
    next.progressBar = state_->ShowsProgressBar();
    next.bookmarkLabel = state_->HasBookmarkAtPage() ? Commands::kRemoveBookmarkString
                                                     : Actions::LabelOf(Cmd::kToggleBookmark);
    next.leftLabel = LeftLabel(state_);
    // The command of each row, looked up once.
    static const auto kCommands = [] {
        std::array<int32_t, MenuBars::kReaderStateCount> commands{};
        for (std::size_t i = 0; i < commands.size(); ++i)
            commands[i] =
                Actions::CommandForItem(Actions::kReaderBar, MenuBars::kReaderStates[i].item);
        return commands;
    }();
    for (std::size_t i = 0; i < MenuBars::kReaderStateCount; ++i) {
        const MenuBars::ItemState& row = MenuBars::kReaderStates[i];
        const int32_t command = kCommands[i];
        const bool disabled = command >= 0 && !Actions::CanAct(command, *state_);
        next.enabled[i] = !disabled && (row.modeMask & mode_) != 0;
    }
    // Only this bar sets these items, so a page turn that changed none of them (most) needs no
    // menu walks; Create and RebuildNavigateMenu forget what was applied.
    if (applied_ && *applied_ == next) return;
    CheckItem(kMenuButton, I::kFullScreen, next.fullScreen);
    CheckItem(kMenuButton, I::kProgressBar, next.progressBar);
    for (std::size_t i = 0; i < MenuBars::kReaderStateCount; ++i) {
        enabled_[i] = next.enabled[i];
        EnableItem(kMenuButton, MenuBars::kReaderStates[i].item, enabled_[i]);
    }
    if (mode_ == 1) {
        for (uint32_t item :
             {I::kFind, I::kAddBookmark, I::kReservedItem40080, I::kReservedItem40081}) {
            EnableItem(kMenuButton, item, true);
            for (std::size_t i = 0; i < MenuBars::kReaderStateCount; ++i)
                if (MenuBars::kReaderStates[i].item == item) enabled_[i] = true;
        }
    }
    // The bookmark item hangs on the reader's own menu.
    if (HMENU menu = GetButtonMenu(kMenuButton)) {
        MenuTextRow row{I::kAddBookmark, next.bookmarkLabel, false};
        SetMenuTextsRes(menu, &row, 1);
    }
    SetButtonText(kLeftButton, next.leftLabel);
    applied_ = next;
}

bool ReaderMenuBar::IsItemEnabled(uint32_t item) {
    if (itemsWaiting_) UpdateItems();
    for (std::size_t i = 0; i < MenuBars::kReaderStateCount; ++i)
        if (MenuBars::kReaderStates[i].item == item) return enabled_[i];
    return false;
}

void ReaderMenuBar::RebuildNavigateMenu() {
    applied_.reset();
    HMENU menu = NavigateMenu(GetButtonMenu(kMenuButton), kReaderTexts, Count(kReaderTexts));
    if (!menu) return;
    EmptyMenu(menu);
    AppendRes(menu, I::kFirstPage, Actions::LabelOf(Cmd::kFirstPage));
    AppendRes(menu, I::kGoToPage, Actions::LabelOf(Cmd::kGoToPage));
    if (state_->HasCoverPage())
        AppendRes(menu, I::PopupItem(Cmd::kCover), Actions::LabelOf(Cmd::kCover));
    int32_t n = state_->NavigationCount();
    if (n > MenuBars::kMaxListItems) n = MenuBars::kMaxListItems;
    if (n > 0) AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    for (int32_t i = 0; i < n; ++i) {
        String title;
        if (state_->NavigationTitle(i, title) && !title.IsEmpty())
            AppendString(menu, I::kNavigationBase + static_cast<uint32_t>(i), title);
    }
    // The documents read lately, most recent last, each opened by its item.
    const int32_t recent = state_->RecentCount();
    if (recent > 0) AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    for (int32_t i = 0; i < recent; ++i) {
        String title;
        if (state_->RecentTitle(i, title))
            AppendString(menu, I::kRecentBase + static_cast<uint32_t>(i), title);
    }
}

void ReaderMenuBar::OverrideLeftKey(bool fullScreen) {
    if (!Window()) return;
    const WORD both = SHMBOF_NODEFAULT | SHMBOF_NOTIFY;
    SendMessageW(Window(), SHCMBM_OVERRIDEKEY, VK_F1, MAKELPARAM(both, fullScreen ? both : 0));
}

bool ReaderMenuBar::RouteCommand(int32_t id) {
    if (!IsShown() || id < 0) return false;
    uint32_t item = static_cast<uint32_t>(id);
    if (item == I::kLastPage) {
        state_->GoToLastPage();
        return true;
    }
    int32_t command = -1;
    if (item == I::kAutoscroll) {
        // The window paints first (the menu's area is still to be drawn again) and then
        // starts or stops the scroll; starting it here would scroll the menu's picture along.
        state_->PostViewNotice(MenuBars::kAutoscrollNotice);
        return true;
    } else if (item >= I::kNavigationBase && item < I::kNavigationBase + MenuBars::kMaxListItems) {
        int32_t i = static_cast<int32_t>(item - I::kNavigationBase);
        if (i >= state_->NavigationCount()) return false;
        state_->OpenNavigation(i);
        return true;
    } else if (item >= I::kRecentBase && item < I::kRecentBase + MenuBars::kMaxListItems) {
        int32_t i = static_cast<int32_t>(item - I::kRecentBase);
        if (i >= state_->RecentCount()) return false;
        state_->OpenRecent(i);
        return true;
    } else if (item == kLeftButton || item == kAudioLeftButton) {
        // The left key reads "Library" when there is nowhere to go back to.
        command = LeftKeyCommand(state_);
    } else {
        command = Actions::CommandForItem(Actions::kReaderBar, item);
    }
    if (command < 0) return false;
    state_->RunCommand(command);
    return true;
}

const String& ReaderMenuBar::LastSearch() const {
    static const String empty;
    return lastSearch_ ? *lastSearch_ : empty;
}

void ReaderMenuBar::SetLastSearch(const String& text) {
    if (!lastSearch_) lastSearch_ = std::make_unique<String>();
    lastSearch_->Assign(text);
}

// AudioMenuBar.

bool AudioMenuBar::Create(HWND owner) {
    if (!SoftKeyBar::Create(owner, 1116, state_)) return false;
    SetMenuTextsRes(GetButtonMenu(kAudioMenuButton), kAudioTexts, Count(kAudioTexts));
    SetButtonText(kAudioLeftButton, kBackString);
    SetButtonText(kAudioMenuButton, kMenuString);
    return true;
}

void AudioMenuBar::Show(bool show) {
    if (show) {
        UpdateItems();
        RebuildNavigateMenu();
    }
    SoftKeyBar::Show(show);
}

void AudioMenuBar::UpdateItems() {
    EnableButton(I::kAudioToolbarButton, false);
    EnableButton(I::kAudioToolbarButton, true);
    SetButtonText(kAudioLeftButton, LeftKeyCommand(state_) == Cmd::kBack ? kBackString : kLibraryString);
}

void AudioMenuBar::RebuildNavigateMenu() {
    HMENU menu = NavigateMenu(GetButtonMenu(kAudioMenuButton), kAudioTexts, Count(kAudioTexts));
    if (!menu) return;
    EmptyMenu(menu);
    int32_t n = state_->TrackCount();
    if (n > MenuBars::kMaxAudioTracks) n = MenuBars::kMaxAudioTracks;
    for (int32_t i = 0; i < n; ++i) {
        String title;
        state_->TrackTitle(i, title);
        AppendString(menu, I::kTrackBase + static_cast<uint32_t>(i), title);
    }
}

bool AudioMenuBar::RouteCommand(int32_t id) {
    if (!IsShown() || id < 0) return false;
    uint32_t item = static_cast<uint32_t>(id);
    if (item >= I::kTrackBase && item < I::kTrackBase + MenuBars::kMaxListItems) {
        int32_t i = static_cast<int32_t>(item - I::kTrackBase);
        if (i >= state_->TrackCount()) return false;
        state_->SelectTrack(i);
        return true;
    }
    int32_t command = item == kAudioLeftButton
                          ? LeftKeyCommand(state_)
                          : Actions::CommandForItem(Actions::kAudioBar, item);
    if (command < 0) return false;
    state_->RunCommand(command);
    return true;
}

// ZoomMenuBar.

bool ZoomMenuBar::Create(HWND owner) {
    applied_.reset();
    if (!SoftKeyBar::Create(owner, 109, state_)) return false;
    SetMenuTextsRes(GetButtonMenu(kMenuButton), kZoomTexts, Count(kZoomTexts));
    SetButtonText(kLeftButton, kCloseString);
    SetButtonText(kMenuButton, kMenuString);
    UpdateItems();
    return true;
}

void ZoomMenuBar::Show(bool show) {
    if (show) UpdateItems();
    SoftKeyBar::Show(show);
}

void ZoomMenuBar::UpdateItems() {
    Applied next;
    next.bar = Window();
    next.menu = GetButtonMenu(kMenuButton);
    for (std::size_t i = 0; i < MenuBars::kZoomMenuCount; ++i)
        next.enabled[i] = Actions::CanAct(Commands::kZoomMenu[i].command, *state_);
    // Only this bar sets its items: every page turn asks, and most change none of them.
    if (applied_ && *applied_ == next) return;
    for (std::size_t i = 0; i < MenuBars::kZoomMenuCount; ++i)
        EnableItem(kMenuButton, Commands::kZoomMenu[i].item, next.enabled[i]);
    applied_ = next;
}

bool ZoomMenuBar::RouteCommand(int32_t id) {
    if (!IsShown()) return false;
    if (id == 1 || id == static_cast<int32_t>(kLeftButton)) {
        state_->RunCommand(Cmd::kBackToOtherDocument);
        return true;
    }
    int32_t command = Actions::CommandForItem(Actions::kZoomBar, static_cast<uint32_t>(id));
    if (command < 0) return false;
    state_->RunCommand(command);
    return true;
}

// MenuBarFactory.

namespace {
struct StateHolder {
    std::unique_ptr<ControllerBarState> ownedState;
};
// A bar that owns the state it reads.
template <class BarT>
class OwningBar : private StateHolder, public BarT {
public:
    using BarT::Create;
    explicit OwningBar(ReaderController* controller)
        : StateHolder{std::make_unique<ControllerBarState>(controller)}, BarT(StateHolder::ownedState.get()) {}
    ControllerBarState* State() { return ownedState.get(); }
};

template <class BarT>
std::unique_ptr<ReaderBar> MakeBar(ReaderController* controller) {
    auto bar = std::make_unique<OwningBar<BarT>>(controller);
    HWND owner = bar->State()->ViewWindow();
    if (!owner || !bar->Create(owner)) return nullptr;
    return bar;
}
}  // namespace

std::unique_ptr<ReaderBar> MenuBarFactory::CreateBar(Bar kind, ReaderController* controller) {
    if (!controller) return nullptr;
    switch (kind) {
        case Bar::kReader:
            return MakeBar<ReaderMenuBar>(controller);
        case Bar::kAudio:
            return MakeBar<AudioMenuBar>(controller);
        case Bar::kZoom:
            return MakeBar<ZoomMenuBar>(controller);
    }
    return nullptr;
}

std::unique_ptr<ReaderListWindow> MenuBarFactory::CreateListWindow(List kind, ReaderController* controller, HWND parent) {
    return lists_ ? lists_->CreateListWindow(kind, controller, parent) : nullptr;
}

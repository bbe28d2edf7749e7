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

using MenuBars::kAudioLeftButton;
using MenuBars::kAudioMenuButton;
using MenuBars::kLeftButton;
using MenuBars::kMenuButton;

constexpr uint32_t kBackString = 5005;
constexpr uint32_t kLibraryString = 5063;
constexpr uint32_t kMenuString = 5417;
constexpr uint32_t kCloseString = 5191;
constexpr uint32_t kAddBookmarkString = 5002;
constexpr uint32_t kNavigateString = 5383;

constexpr MenuTextRow kReaderTexts[] = {
    {40075, 5063, false}, {40076, 5366, false}, {3, 5383, true},     {40079, 5002, false},
    {40078, 5402, false}, {40041, 5395, false}, {8, 5343, true},     {40084, 5202, false},
    {40085, 5128, false}, {40173, 5480, false}, {40086, 5004, false}, {40172, 5214, false},
    {9, 5312, true},      {40082, 5313, false}, {40083, 5314, false}, {40170, 5315, false},
    {40048, 5311, false},
};
constexpr MenuTextRow kAudioTexts[] = {
    {40075, 5063, false}, {40100, 5020, false}, {40040, 5083, false}, {40035, 5049, false},
    {40041, 5135, false}, {40087, 5286, false}, {40174, 5005, false}, {40175, 5210, false},
    {40088, 5280, false}, {0, 5120, true},      {1, 5383, true},      {8, 5049, true},
    {40048, 5311, false},
};
constexpr MenuTextRow kZoomTexts[] = {
    {40082, 5206, false}, {40083, 5207, false}, {40156, 5208, false}, {40157, 5209, false},
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
    {40075, 3, 8},     {40093, 1, 16384}, {50022, 3, 32768}, {40076, 3, 2048}, {40100, 3, 512},
    {50024, 3, 4},     {40085, 1, 16},    {40086, 1, 32},    {40078, 1, 1024}, {40168, 1, 65536},
    {50011, 3, 2},     {40079, 1, 4096},  {50067, 3, 256},   {50066, 3, 128},  {40084, 1, 64},
    {40041, 3, 8192},  {40089, 3, 1},
};
const Commands::MenuCommand kZoomMenu[kZoomMenuCount] = {
    {40089, Cmd::kBackToOtherDocument}, {40082, Cmd::kImageZoomIn},     {40083, Cmd::kImageZoomOut},
    {40156, Cmd::kImageFitToView},      {40157, Cmd::kImageActualSize},
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
    int32_t page = state_->CurrentPage();
    bool atFirst = page == 1;
    // The count is an estimate until the last page is laid out.
    bool atLast = state_->IsPageCountKnown() && page >= 1 && page == state_->PageCount();
    Applied next;
    next.bar = Window();
    next.menu = GetButtonMenu(kMenuButton);
    next.mode = mode_;
    next.fullScreen = state_->IsFullScreen();
    next.progressBar = state_->ShowsProgressBar();
    next.bookmarkLabel = state_->HasBookmarkAtPage() ? Commands::kRemoveBookmarkString : kAddBookmarkString;
    next.leftLabel = LeftLabel(state_);
    // The command of each row, looked up once.
    static const auto kCommands = [] {
        std::array<int32_t, MenuBars::kReaderStateCount> commands{};
        for (std::size_t i = 0; i < commands.size(); ++i)
            commands[i] = Commands::CommandForMenuItem(Commands::kReaderMenu, Commands::kReaderMenuCount,
                                                       MenuBars::kReaderStates[i].item);
        return commands;
    }();
    for (std::size_t i = 0; i < MenuBars::kReaderStateCount; ++i) {
        const MenuBars::ItemState& row = MenuBars::kReaderStates[i];
        const int32_t command = kCommands[i];
        bool disabled = command >= 0 && !state_->IsCommandEnabled(command);
        if (row.item == Commands::kPopupItemBase + Cmd::kPreviousPage && atFirst) disabled = true;
        if (row.item == Commands::kPopupItemBase + Cmd::kNextPage && atLast) disabled = true;
        next.enabled[i] = !disabled && (row.modeMask & mode_) != 0;
    }
    // Only this bar sets these items, so a page turn that changed none of them (most) needs no
    // menu walks; Create and RebuildNavigateMenu forget what was applied.
    if (applied_ && *applied_ == next) return;
    CheckItem(kMenuButton, 40084, next.fullScreen);
    CheckItem(kMenuButton, 40172, next.progressBar);
    for (std::size_t i = 0; i < MenuBars::kReaderStateCount; ++i) {
        enabled_[i] = next.enabled[i];
        EnableItem(kMenuButton, MenuBars::kReaderStates[i].item, enabled_[i]);
    }
    if (mode_ == 1) {
        for (uint32_t item : {40078u, 40079u, 40080u, 40081u}) {
            EnableItem(kMenuButton, item, true);
            for (std::size_t i = 0; i < MenuBars::kReaderStateCount; ++i)
                if (MenuBars::kReaderStates[i].item == item) enabled_[i] = true;
        }
    }
    // The bookmark item hangs on the reader's own menu.
    if (HMENU menu = GetButtonMenu(kMenuButton)) {
        MenuTextRow row{MenuBars::kBookmarkItem, next.bookmarkLabel, false};
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
    AppendRes(menu, MenuBars::kFirstPageItem, 5044);
    AppendRes(menu, MenuBars::kPageNumberItem, 5121);
    if (state_->HasCoverPage()) AppendRes(menu, Commands::kPopupItemBase + Cmd::kCover, 5351);
    int32_t n = state_->NavigationCount();
    if (n > MenuBars::kMaxListItems) n = MenuBars::kMaxListItems;
    if (n > 0) AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    for (int32_t i = 0; i < n; ++i) {
        String title;
        if (state_->NavigationTitle(i, title) && !title.IsEmpty())
            AppendString(menu, MenuBars::kNavigationBase + static_cast<uint32_t>(i), title);
    }
    // The documents read lately, most recent last, each opened by its item.
    const int32_t recent = state_->RecentCount();
    if (recent > 0) AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    for (int32_t i = 0; i < recent; ++i) {
        String title;
        if (state_->RecentTitle(i, title))
            AppendString(menu, MenuBars::kRecentBase + static_cast<uint32_t>(i), title);
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
    if (item == MenuBars::kContentsItem) {
        state_->GoToLastPage();
        return true;
    }
    int32_t command = -1;
    if (item == MenuBars::kAutoscrollItem) {
        // The window paints first (the menu's area is still to be drawn again) and then
        // starts or stops the scroll; starting it here would scroll the menu's picture along.
        state_->PostViewNotice(MenuBars::kAutoscrollNotice);
        return true;
    } else if (item >= MenuBars::kNavigationBase && item < MenuBars::kNavigationBase + MenuBars::kMaxListItems) {
        int32_t i = static_cast<int32_t>(item - MenuBars::kNavigationBase);
        if (i >= state_->NavigationCount()) return false;
        state_->OpenNavigation(i);
        return true;
    } else if (item >= MenuBars::kRecentBase && item < MenuBars::kRecentBase + MenuBars::kMaxListItems) {
        int32_t i = static_cast<int32_t>(item - MenuBars::kRecentBase);
        if (i >= state_->RecentCount()) return false;
        state_->OpenRecent(i);
        return true;
    } else if (item == kLeftButton || item == kAudioLeftButton) {
        // The left key reads "Library" when there is nowhere to go back to.
        command = LeftKeyCommand(state_);
    } else if (item == MenuBars::kFirstPageItem) {
        command = Cmd::kFirstPage;
    } else {
        command = Commands::CommandForMenuItem(Commands::kReaderMenu, Commands::kReaderMenuCount, item);
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
    EnableButton(50117, false);
    EnableButton(50117, true);
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
        AppendString(menu, MenuBars::kTrackBase + static_cast<uint32_t>(i), title);
    }
}

bool AudioMenuBar::RouteCommand(int32_t id) {
    if (!IsShown() || id < 0) return false;
    uint32_t item = static_cast<uint32_t>(id);
    if (item >= MenuBars::kTrackBase && item < MenuBars::kTrackBase + MenuBars::kMaxListItems) {
        int32_t i = static_cast<int32_t>(item - MenuBars::kTrackBase);
        if (i >= state_->TrackCount()) return false;
        state_->SelectTrack(i);
        return true;
    }
    int32_t command = item == kAudioLeftButton
                          ? LeftKeyCommand(state_)
                          : Commands::CommandForMenuItem(Commands::kAudioMenu, Commands::kAudioMenuCount, item);
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
        next.enabled[i] = state_->IsCommandEnabled(MenuBars::kZoomMenu[i].command);
    // Only this bar sets its items: every page turn asks, and most change none of them.
    if (applied_ && *applied_ == next) return;
    for (std::size_t i = 0; i < MenuBars::kZoomMenuCount; ++i)
        EnableItem(kMenuButton, MenuBars::kZoomMenu[i].item, next.enabled[i]);
    applied_ = next;
}

bool ZoomMenuBar::RouteCommand(int32_t id) {
    if (!IsShown()) return false;
    if (id == 1 || id == static_cast<int32_t>(kLeftButton)) {
        state_->RunCommand(Cmd::kBackToOtherDocument);
        return true;
    }
    int32_t command = Commands::CommandForMenuItem(MenuBars::kZoomMenu, MenuBars::kZoomMenuCount,
                                                   static_cast<uint32_t>(id));
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
ReaderBar* MakeBar(ReaderController* controller) {
    auto bar = std::make_unique<OwningBar<BarT>>(controller);
    HWND owner = bar->State()->ViewWindow();
    if (!owner || !bar->Create(owner)) return nullptr;
    return bar.release();
}
}  // namespace

ReaderBar* MenuBarFactory::CreateBar(Bar kind, ReaderController* controller) {
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

ReaderListWindow* MenuBarFactory::CreateListWindow(List kind, ReaderController* controller, HWND parent) {
    return lists_ ? lists_->CreateListWindow(kind, controller, parent) : nullptr;
}

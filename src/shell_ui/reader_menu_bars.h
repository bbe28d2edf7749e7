// The reader window's three soft-key bars (reading, audio player, image zoom): menu items become
// command ids through fixed pair tables, and the items are enabled, checked and relabelled from
// the reader's state each time a bar is shown or the state changes. The bars read that state
// through ReaderBarState, which ControllerBarState answers over a ReaderController.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "reader/actions.h"
#include "reader/reader_command_ids.h"
#include "reader/reader_views.h"
#include "shell_ui/soft_key_bar.h"

class BookDocumentController;
class ReaderController;
class String;
class TrackList;

// The window's book controller while it shows a laid-out text page; null otherwise (no
// document, another kind of controller, the cover, the audio or image view).
BookDocumentController* ShownTextPage(ReaderController* controller);

// What the bars ask of the reader window; whether an item's action can act is asked through
// the ActionState part.
class ReaderBarState : public ActionState {
public:
    virtual ~ReaderBarState() = default;
    virtual bool HasBookmarkAtPage() = 0;
    virtual bool IsFullScreen() = 0;
    virtual bool ShowsProgressBar() = 0;
    virtual bool HasCoverPage() = 0;
    virtual int32_t NavigationCount() = 0;
    // False when the entry has no title (it is then left out of the menu).
    virtual bool NavigationTitle(int32_t index, String& title) = 0;
    virtual void OpenNavigation(int32_t index) = 0;
    virtual void GoToLastPage() = 0;
    virtual int32_t RecentCount() = 0;
    virtual bool RecentTitle(int32_t index, String& title) = 0;
    virtual void OpenRecent(int32_t index) = 0;
    virtual int32_t TrackCount() = 0;
    virtual bool TrackTitle(int32_t index, String& title) = 0;
    virtual void SelectTrack(int32_t index) = 0;
    // ReaderController::OnCommand, not from the queue.
    virtual void RunCommand(int32_t command) = 0;
    // The autoscroll repaint notice to the view window.
    virtual void PostViewNotice(UINT message) = 0;
    virtual HWND ViewWindow() = 0;
};

// ReaderBarState over a reader controller and its document controller. Page numbers come from
// the book's page layout; where the reader core offers no answer yet it answers
// conservatively: every command enabled, no navigation entries, no recent list.
class ControllerBarState : public ReaderBarState {
public:
    explicit ControllerBarState(ReaderController* controller) : controller_(controller) {}
    bool IsCommandEnabled(int32_t command) override;
    int32_t CurrentPage() override;
    int32_t PageCount() override;
    bool IsPageCountKnown() override;
    bool HasBookmarkAtPage() override;
    bool IsFullScreen() override;
    bool ShowsProgressBar() override;
    bool HasCoverPage() override;
    int32_t NavigationCount() override { return 0; }
    bool NavigationTitle(int32_t, String&) override { return false; }
    void OpenNavigation(int32_t) override {}
    void GoToLastPage() override;
    // The loader's recent documents.
    int32_t RecentCount() override;
    bool RecentTitle(int32_t index, String& title) override;
    void OpenRecent(int32_t index) override;
    int32_t TrackCount() override;
    bool TrackTitle(int32_t index, String& title) override;
    void SelectTrack(int32_t index) override;
    void RunCommand(int32_t command) override;
    void PostViewNotice(UINT message) override;
    HWND ViewWindow() override;
    void SetTrackList(TrackList* list) { tracks_ = list; }

private:
    ReaderController* controller_;
    TrackList* tracks_ = nullptr;
};

namespace MenuBars {
// Navigation and recent lists stay below the next range.
constexpr int32_t kMaxListItems = 1000;
constexpr int32_t kMaxAudioTracks = 9;
constexpr UINT kAutoscrollNotice = 0x8003;

// An item whose state the bar sets, and the modes it is enabled in; the item's action (its
// command in the reader's item table) says whether it can act.
struct ItemState {
    uint32_t item;
    uint8_t modeMask;
};
constexpr std::size_t kReaderStateCount = 17;
extern const ItemState kReaderStates[kReaderStateCount];
using Commands::kZoomMenuCount;
}  // namespace MenuBars

// The reading view's bar (menu 103).
class ReaderMenuBar : public SoftKeyBar, public ReaderBar {
public:
    explicit ReaderMenuBar(ReaderBarState* state) : state_(state) {}
    ~ReaderMenuBar() override;
    bool Create(HWND owner);
    // 1 or 2, else 0; the items follow.
    void SetMode(int32_t mode);
    int32_t Mode() const { return mode_; }
    void Show(bool show) override;
    bool IsVisible() const override { return IsShown(); }
    void UpdateItems() override;
    // The left button's text now; the menu's items when it opens or are asked about.
    void UpdateShownItems() override;
    void OnMenuOpening() override { UpdateItems(); }
    // The state UpdateItems gave one of the state rows' items (also those the menu lacks).
    bool IsItemEnabled(uint32_t item);
    // Empties and fills the Navigate submenu (before it opens).
    void RebuildNavigateMenu();
    bool RouteCommand(int32_t id) override;
    void OverrideLeftKey(bool fullScreen) override;
    // The search text the find dialog starts with next time.
    const String& LastSearch() const;
    void SetLastSearch(const String& text);

private:
    ReaderBarState* state_;
    int32_t mode_ = 1;
    HMENU popup_ = nullptr;
    bool enabled_[MenuBars::kReaderStateCount] = {};
    // What UpdateItems last set on the bar, with the bar and menu it set it on.
    struct Applied {
        HWND bar = nullptr;
        HMENU menu = nullptr;
        int32_t mode = 0;
        bool fullScreen = false;
        bool progressBar = false;
        uint32_t bookmarkLabel = 0;
        uint32_t leftLabel = 0;
        bool enabled[MenuBars::kReaderStateCount] = {};
        bool operator==(const Applied&) const = default;
    };
    std::optional<Applied> applied_;
    // The state changed since the menu's items were last set.
    bool itemsWaiting_ = false;
    std::unique_ptr<String> lastSearch_;
};

// The audio player's bar (menu 1116).
class AudioMenuBar : public SoftKeyBar, public ReaderBar {
public:
    explicit AudioMenuBar(ReaderBarState* state) : state_(state) {}
    bool Create(HWND owner);
    void Show(bool show) override;
    bool IsVisible() const override { return IsShown(); }
    void UpdateItems() override;
    void RebuildNavigateMenu();
    bool RouteCommand(int32_t id) override;

private:
    ReaderBarState* state_;
};

// The image zoom view's bar (menu 109).
class ZoomMenuBar : public SoftKeyBar, public ReaderBar {
public:
    explicit ZoomMenuBar(ReaderBarState* state) : state_(state) {}
    bool Create(HWND owner);
    void Show(bool show) override;
    bool IsVisible() const override { return IsShown(); }
    void UpdateItems() override;
    bool RouteCommand(int32_t id) override;

private:
    ReaderBarState* state_;
    // What UpdateItems last set on the bar, with the bar and menu it set it on.
    struct Applied {
        HWND bar = nullptr;
        HMENU menu = nullptr;
        bool enabled[MenuBars::kZoomMenuCount] = {};
        bool operator==(const Applied&) const = default;
    };
    std::optional<Applied> applied_;
};

// Makes the bars for a reader controller (each over its own ControllerBarState) and passes the
// list windows on to the factory of the library, when there is one.
class MenuBarFactory : public ReaderViewFactory {
public:
    explicit MenuBarFactory(ReaderViewFactory* lists = nullptr) : lists_(lists) {}
    virtual ~MenuBarFactory() = default;
    std::unique_ptr<ReaderBar> CreateBar(Bar kind, ReaderController* controller) override;
    std::unique_ptr<ReaderListWindow> CreateListWindow(List kind, ReaderController* controller,
                                       HWND parent) override;

private:
    ReaderViewFactory* lists_;
};

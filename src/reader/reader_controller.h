// The per-window object that turns a command id into an action. Every source of commands meets
// here: menus and soft keys, hardware keys, popup menus, book actions, the main window's private
// messages and the controller's own command queue.
//
// Re-entrancy. A command may destroy the window, and with it this controller, while it runs
// (Exit, a link that closes a window, a script). OnCommand and the queue loop therefore hold a
// ListIterator guard on the controller's guard list and touch nothing of `this` once it reads
// dead. A view or frame controller that a command replaces is never deleted while its own
// method may be on the stack: the document controller parks it in the queue (Queue().Park) and the next
// queue drain frees it.
//
// Threads. Everything runs on the window's thread. The audio player calls its listener only
// from AudioPlayer::DeliverNotices on this thread; its driver thread only posts
// kAudioNoticeMessage to the main window (PostMessageW is thread-safe), whose procedure calls
// Player().DeliverNotices(). Nothing on another thread touches the queue or the timers.
//
// The queue itself is a room of its own (command_queue.h); its invariant is the controller's
// CheckInvariants.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/geometry.h"
#include "core/list.h"
#include "core/segmented_array.h"
#include "core/string.h"
#include "bookfiles/book_document.h"
#include "core/timer_list.h"
#include "graphics/core/reader_links.h"
#include "media/audio/audio_player.h"
#include "platform/types.h"
#include "reader/command_queue.h"
#include "reader/font_list.h"
#include "reader/reader_host.h"
#include "reader/reader_views.h"
#include "reader/settings_commands.h"

class AnnotationFile;
class BookActionHost;
class AppPaths;
class DictionaryCatalogue;
class DictionaryLookups;
class HistoryTable;
class LinkTarget;
class LookupListPages;
class WordListAdder;
struct DictionaryTables;
struct LookupEntry;
struct LookupMatch;
class ConfigurationStore;
class DocumentController;
class DocumentLoader;
class DrawingSurface;
class IndexSource;
class Location;
class PositionBar;
class ReaderSettings;
class SortedRecordDatabase;
class Text;

class ReaderController : private TimerCallback, private AudioListener, private AudioNoticePoster,
                         private CommandRunner {
public:
    static constexpr uint32_t kSystemFontEntry = 3;
    static constexpr uint32_t kBitmapFontEntry = 4;
    // The main window's private message that delivers the audio player's notices.
    static constexpr UINT kAudioNoticeMessage = 0x8010;
    static constexpr uint32_t kBusyString = 5108;
    // Annotation kinds and their text-entry modes.
    static constexpr uint32_t kBookmark = 1;
    static constexpr uint32_t kNote = 2;
    static constexpr uint32_t kHighlight = 4;
    static constexpr uint32_t kModification = 16;
    // A note without a selection covers this much from the page's value.
    static constexpr uint32_t kNoteSpan = 50;
    static constexpr const char* kInteractionsCart = "interactions";
    // Pop-up texts: the note's links, the busy popup's layout flags.
    static constexpr uint32_t kEditString = 5011;
    static constexpr uint32_t kDeleteString = 5008;
    static constexpr uint32_t kBusyTextFlags = 128;
    static constexpr uint32_t kNoteTextFlags = 32;
    static constexpr uint32_t kNoteLinkFlags = 148;
    static constexpr uint32_t kNoteSeparatorFlags = 144;
    // The view-change state of reading a page (the only one with the position bar), and of a
    // view that offers the system Done button.
    static constexpr int32_t kReadingState = 1;
    static constexpr int32_t kDoneState = 3;
    // A list window or a view without the position bar.
    static constexpr int32_t kOtherViewState = 0;
    // The reading-position bar's font size (the settings keep none).
    static constexpr int8_t kPositionBarFontSize = SettingsCommands::kPositionBarFontSize;
    // The voice recorder's note.
    static constexpr const char16_t* kRecordingPath = u"\\My Documents\\fvt_rec.wav";

    ReaderController();
    ~ReaderController() override;
    ReaderController(const ReaderController&) = delete;
    ReaderController& operator=(const ReaderController&) = delete;

    // Wiring by the reader window.
    void SetPaths(const AppPaths* paths) { paths_ = paths; }
    void SetConfigurationStore(ConfigurationStore* store) { store_ = store; }
    void SetLogDatabase(SortedRecordDatabase* log) { log_ = log; }
    void SetDocumentLoader(DocumentLoader* loader) { loader_ = loader; }
    DocumentLoader* GetDocumentLoader() const { return loader_; }
    void SetSettings(ReaderSettings* settings) { settingsCommands_.SetSettings(settings); }
    void SetDocumentController(DocumentController* controller) { document_ = controller; }
    // A new surface (or none) drops the position bar and pop-ups made on the old one.
    void SetDrawingSurface(DrawingSurface* surface);
    void SetShell(ReaderShell* shell) { shell_ = shell; }
    ReaderShell* Shell() const { return shell_; }
    void SetViewFactory(ReaderViewFactory* factory) { viewFactory_ = factory; }
    void SetPopupFactory(TextPopupFactory* factory) { popupFactory_ = factory; }
    // The window the timers run on and the main window (WM_CLOSE, audio notices).
    // A new host drops the old one's timers; waiting commands get a timer on the new one.
    void SetTimerHost(TimerHost* host);
    void SetMainWindow(HWND window) { mainWindow_ = window; }
    // The final set-up: the player reports to this controller, the popup lock is cleared.
    void InitPopupCallbacks();

    DocumentController* GetDocumentController() const { return document_; }
    // What the display surface and the widgets call back.
    ReaderControllerLink* GetLink() { return &link_; }
    DrawingSurface* GetDrawingSurface() const { return surface_; }
    ReaderSettings* GetSettings() const { return settingsCommands_.Settings(); }
    const Location* GetCurrentLocation() const;
    FontList& Fonts() { return fonts_; }
    TimerList& Timers() { return timers_; }
    AudioPlayer& Player() { return player_; }
    // The playlist's last track has played to its end.
    bool PlaylistEnded() const { return playlistEnded_; }
    // The sound playlist (the audio view sets it); its count bounds the track steps.
    void SetTrackList(TrackList* list);

    // Commands. True when the id has a case here or goes on to the view or the display surface
    // (the ids of the action table all do); false for ids without one, which only the
    // document controller's notice sees.
    bool OnCommand(int32_t id, bool fromQueue);
    // The queue index, or -1 when the id could not be queued.
    int32_t PostCommand(int32_t id);
    // The command queue (command_queue.h): queued calls, objects parked until the next drain.
    CommandQueue& Queue() { return queue_; }
    const CommandQueue& Queue() const { return queue_; }
    void OnActivate(bool active);
    // Three flags for what the view allows (the display surface turns the page only when the
    // first and third are set): all false while a picture is zoomed (view modes 2 and 3).
    void GetCommandStates(bool& a, bool& b, bool& c) const;
    // Whether the document controller can run the command now; Back (23) asks this, not the
    // view's flags: its key reads "Back" only when the history has a step back.
    bool IsCommandEnabled(int32_t id) const;

    bool SetTableEntry(uint32_t n, uint8_t flag, const Text& face);

    // Messages: kinds 0-3 (MessageKind); true when the user pressed OK. Caption -1: none.
    bool MessageBoxById(int32_t captionId, uint32_t textId, MessageKind kind);
    // The text with "%1".."%9" replaced by the arguments.
    bool MessageBoxByIdArgs(int32_t captionId, uint32_t textId, MessageKind kind,
                            const String* args, uint32_t count);
    bool ShowMessage(int32_t captionId, const String& text, MessageKind kind);
    bool AskText(String& text, uint32_t mode);

    // Turning the system's own screen (orientation codes 0-3). A turned screen shows the page
    // upright, so the settings' page orientation goes back to 0. True when the screen turned.
    bool SetDisplayOrientation(int code);
    // Tries the next orientations in turn, up to all four, from the current one.
    bool RotateToNextOrientation();

    // The area popups keep clear.
    void SetPopupRect(const Rect& r, bool force);
    const Rect& PopupRect() const { return popupRect_; }
    void LockPopupRect();
    void UnlockPopupRect();
    // Gives the drawing surface the area popups keep clear.
    void RefreshSurface();

    // Pop-ups. One busy popup at a time (a second show replaces it); the timed ones are hidden
    // by a timer of the controller, so nothing waits. Without a popup factory or a surface the
    // text goes to the shell's passing note.
    bool ShowBusyPopup(uint32_t stringId);
    bool ShowBusyPopupText(const String& text);
    void HideBusyPopup();
    bool ShowTextFor(uint32_t stringId, uint32_t milliseconds);
    bool ShowBusyText(const String& text, uint32_t milliseconds);
    bool HasBusyPopup() const { return busyPopup_ != nullptr; }
    // For whoever loads from slow media: show calls ShowBusyPopup(kBusyString), hide
    // HideBusyPopup. Both null until InitPopupCallbacks.
    BookHostInterface* BusyShowCallback() { return callbacksReady_ ? &busyShow_ : nullptr; }
    BookHostInterface* BusyHideCallback() { return callbacksReady_ ? &busyHide_ : nullptr; }
    int32_t BusyTimerId() const { return busyTimer_; }
    // The note of an annotation with its Edit and Delete links; false when it has no text.
    bool ShowNotePopup(int32_t index, Point anchor);
    // placement TextPopup::kCentred centres it on the surface's client area.
    bool ShowPopupPage(const String& text, uint32_t placement, Point anchor);
    void HidePopupPage();

    // Bars and list windows (made by the view factory).
    bool CreateViewWindows();
    void ShowLibrary();
    void ShowAnnotations();
    void ShowReaderView();
    void UpdateWindowTitle();
    // True when a list window took the message.
    bool RouteMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool RouteCommand(int32_t id);
    void LayoutListWindows(const Rect& r);
    void FocusActiveList();
    // A view was shown (null: the page) in a state; kReadingState allows the position bar.
    void OnViewChanged(const ReaderView* view, int32_t state);
    void OnDeactivate();
    void UpdateMenuBars();
    // The same for the bars on screen only: after a key or a page move.
    void UpdateShownMenuBars();
    // A menu of the window is about to open.
    void OnMenuOpening();
    // After the settings changed: the position bar follows the progress-bar flag.
    void UpdateViewState();
    PositionBar* GetPositionBar() const { return positionBar_.get(); }
    ReaderBar* GetReaderBar() const { return readerBar_.get(); }
    ReaderBar* GetAudioBar() const { return audioBar_.get(); }
    ReaderBar* GetZoomBar() const { return zoomBar_.get(); }
    ReaderListWindow* GetLibraryView() const { return library_.get(); }
    ReaderListWindow* GetAnnotationsWindow() const { return annotationsWindow_.get(); }
    const String& LibraryBook() const { return libraryBook_; }
    bool IsFullScreen() const { return fullScreen_; }
    // Full screen on or off: the bars hidden or shown, the left soft key overridden, the window
    // over the whole screen or the work area. persist stores the state in the settings;
    // activate gives the window the focus.
    void ToggleFullScreen(bool persist, bool activate);

    // Annotations on the current book.
    // The bookmark lying in the current page range; -1 when none (menus read it too).
    int32_t BookmarkAtPage();
    bool ToggleBookmarkAtPage();
    bool AddAnnotation(uint32_t kind);
    bool EditAnnotationAt(uint32_t kind);
    bool EditAnnotation(int32_t index);
    // index -1 adds; otherwise the annotation's text is replaced, or deleted when empty.
    bool CreateAnnotation(uint32_t kind, const String& text, int32_t index, uint32_t start,
                          uint32_t end);
    bool DeleteAnnotation(const String& bookPath, int32_t index);
    bool DeleteAllAnnotations(const String& bookPath);

    // Carts: the log database keeps one, made with the first name asked for; later requests
    // get it whatever name they give. Each false without a cart.
    bool AddToCart(const String& cartName, const String& id, const String& text);
    bool RemoveFromCart(const String& cartName, int32_t index);
    bool ClearCart(const String& cartName);
    // Books name the file: it lands in the data folder; absolute paths and ".." are refused.
    bool WriteCartXml(const String& cartName, const String& fileName);
    // The interactions cart's submission page; false for any other cart.
    bool SubmitInteractionsCart(const String& cartName, const String& title);

    // The look-up room (dictionary_lookups.h): the tap, dictionary look-ups with their pop-ups
    // and pages, the search history and the word-list pages.
    DictionaryLookups& Lookups() { return *lookups_; }
    const DictionaryLookups& Lookups() const { return *lookups_; }
    // The look-ups the window is known by; the room carries them out.
    bool LookupCommand(int32_t id);
    bool LookupSelection(const String& word, Point anchor, const String& path, uint32_t language,
                         uint32_t second, int32_t id, bool quiet);
    std::shared_ptr<DictionaryTables> OpenDictionaryTables(DictionaryCatalogue& catalogue,
                                                           uint32_t dictionary);
    std::unique_ptr<TextPopup> ShowLookupResultsPopup(const String& word,
                                                      DictionaryCatalogue& catalogue,
                                                      const std::vector<LookupEntry>& entries,
                                                      const std::vector<LookupMatch>& matches,
                                                      bool compact);
    std::unique_ptr<TextPopup> ShowLookupPage(const DictionaryTables& tables,
                                              const std::vector<LookupMatch>& matches,
                                              const String& reference, const String& query,
                                              bool byName);
    bool OpenLookupResult(const std::vector<LookupMatch>& matches, const String& word,
                          const String& reference, Point anchor, bool byName);
    bool AddLookupEntryToWordList(uint32_t entry, const String& databaseName,
                                  const DictionaryTables& tables);
    bool OpenIndexEntry(uint32_t entry, Point anchor, std::shared_ptr<DictionaryTables> tables,
                        const String& location, const String& query);
    void OnTapAction(uint32_t start, uint32_t end, const String& word, uint16_t language,
                     Point point, bool image);
    // The look-up pop-up shown; null when none.
    TextPopup* PagePopup() const { return pagePopup_.get(); }

    // Test hook: false when an invariant is broken.
    bool CheckInvariants() const;

private:
    // Where pop-ups shown centred go: the pop-up rectangle, else the whole client area (before
    // the window has given one).
    Rect CentredPopupArea() const;
    // TimerCallback: the busy popup's timer.
    void OnTimer(TimerList& list, int32_t id) override;
    // CommandRunner: an id taken from the queue.
    void RunQueuedCommand(int32_t id) override { OnCommand(id, true); }
    // AudioListener: each notice becomes a queued command.
    void OnPosition(AudioPlayer* player, uint32_t track, uint32_t seconds) override;
    void OnEndOfTrack(AudioPlayer* player) override;
    void OnTrackChanging(AudioPlayer* player) override;
    void OnPlayingChanged(bool playing) override;
    // AudioNoticePoster: from the driver's thread.
    void PostNotices(AudioPlayer* player) override;

    // One function per command group; true when the id belongs to the group.
    bool AddWithText(AnnotationFile& file, uint32_t kind, uint32_t start, uint32_t end,
                     uint32_t style, const String& text);
    bool RunNavigationCommand(int32_t id);
    bool RunShellCommand(int32_t id);
    bool RunAnnotationCommand(int32_t id);
    bool RunAudioCommand(int32_t id);
    bool OpenUrl(const char16_t* url);
    bool StepTrack(int32_t step);
    bool CopyCommand();
    bool CopyPositionCommand();
    bool ContentsCommand();
    bool AddLinkCommand();
    // The caption window: the surface's, else the main window.
    HWND CaptionWindow() const;
    void SetCaption(const String& caption);
    void ShowBars(bool reader, bool audio, bool zoom);
    void UpdatePositionBar();
    bool ShowMessageFlags(int32_t captionId, const String& text, uint32_t flags);

    // The widgets' view of this controller.
    class Link final : public ReaderControllerLink {
    public:
        explicit Link(ReaderController* owner) : owner_(owner) {}
        DocumentControllerLink* GetDocumentController() override;
        DrawingSurface* GetSurface() override;
        void GetCommandStates(bool& first, bool& second, bool& third) override;
        void SetPopupRect(const Rect& r, bool forced) override;
        int32_t MessageBoxById(int32_t captionId, int32_t textId, uint32_t style) override;
        void OnCommand(uint32_t command, uint32_t argument) override;
        bool RotateToNextOrientation() override;
        bool SetDisplayOrientation(int orientation) override;
        bool DisplaySurfaceAllowed() override;
        void SetOrientationSetting(int orientation) override;
        uint32_t GetTextColour() override;
        uint32_t GetBackgroundColour() override;
        int8_t PositionBarFontSize() override;
        const AppPaths* Paths() override;

    private:
        ReaderController* owner_;
    };

    class BusyCallback final : public BookHostInterface {
    public:
        BusyCallback(ReaderController* owner, bool show) : owner_(owner), show_(show) {}
        void Notify() override;

    private:
        ReaderController* owner_;
        bool show_;
    };

    FontList fonts_;
    List guards_;
    const AppPaths* paths_ = nullptr;
    TimerList timers_;
    TrackList* tracks_ = nullptr;
    AudioPlayer player_;
    // The last track of the playlist has played to its end (until a track is opened again).
    bool playlistEnded_ = false;
    CommandQueue queue_{timers_, *this};
    DocumentController* document_ = nullptr;
    DrawingSurface* surface_ = nullptr;
    DocumentLoader* loader_ = nullptr;
    // What the settings room asks of the window, and the room.
    class SettingsSide;
    std::unique_ptr<SettingsSide> settingsSide_;
    SettingsCommands settingsCommands_;
    ConfigurationStore* store_ = nullptr;
    SortedRecordDatabase* log_ = nullptr;
    ReaderShell* shell_ = nullptr;
    HWND mainWindow_ = nullptr;
    Rect popupRect_{};
    bool popupLocked_ = false;
    bool linkNotificationShown_ = false;
    Link link_{this};
    BusyCallback busyShow_{this, true};
    BusyCallback busyHide_{this, false};
    bool callbacksReady_ = false;
    ReaderViewFactory* viewFactory_ = nullptr;
    TextPopupFactory* popupFactory_ = nullptr;
    std::unique_ptr<ReaderListWindow> library_;
    std::unique_ptr<ReaderListWindow> annotationsWindow_;
    std::unique_ptr<ReaderBar> readerBar_;
    std::unique_ptr<ReaderBar> audioBar_;
    std::unique_ptr<ReaderBar> zoomBar_;
    std::unique_ptr<PositionBar> positionBar_;
    std::unique_ptr<TextPopup> busyPopup_;
    std::unique_ptr<TextPopup> pagePopup_;
    int32_t busyTimer_ = -1;
    int32_t viewState_ = kReadingState;
    bool barSuppressed_ = false;
    bool fullScreen_ = false;
    String libraryBook_;
    // What the look-up room asks of the window, and the room.
    class LookupSide;
    std::unique_ptr<LookupSide> lookupSide_;
    std::unique_ptr<DictionaryLookups> lookups_;
    // Performs the links of the controller's pop-ups (the look-up's, a note's Edit and Delete).
    TextBoxOwner* LinkPerformer();
};

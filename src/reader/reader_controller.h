// The per-window object that turns a command id into an action. Every source of commands meets
// here: menus and soft keys, hardware keys, popup menus, book actions, the main window's private
// messages and the controller's own command queue.
//
// Re-entrancy. A command may destroy the window, and with it this controller, while it runs
// (Exit, a link that closes a window, a script). OnCommand and the queue loop therefore hold a
// ListIterator guard on the controller's guard list and touch nothing of `this` once it reads
// dead. A view or frame controller that a command replaces is never deleted while its own
// method may be on the stack: the document controller parks it here (ParkObject) and the next
// queue drain frees it.
//
// Threads. Everything runs on the window's thread. The audio player calls its listener only
// from AudioPlayer::DeliverNotices on this thread; its driver thread only posts
// kAudioNoticeMessage to the main window (PostMessageW is thread-safe), whose procedure calls
// DeliverAudioNotices. Nothing on another thread touches the queue or the timers.
//
// Invariant (CheckInvariants): between messages the queue timer exists exactly while ids wait
// or objects are parked.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/geometry.h"
#include "core/list.h"
#include "core/segmented_array.h"
#include "core/string.h"
#include "core/timer_list.h"
#include "media/audio/audio_player.h"
#include "platform/types.h"
#include "reader/font_list.h"
#include "reader/reader_host.h"

class AnnotationFile;
class AppPaths;
class ConfigurationStore;
class DocumentController;
class DocumentLoader;
class DrawingSurface;
class Location;
class ReaderSettings;
class SortedRecordDatabase;
class Text;

// An object freed from the next queue drain instead of at once.
class ParkedObject {
public:
    virtual ~ParkedObject() = default;
};

class ReaderController : private TimerCallback, private AudioListener, private AudioNoticePoster {
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

    ReaderController();
    ~ReaderController() override;
    ReaderController(const ReaderController&) = delete;
    ReaderController& operator=(const ReaderController&) = delete;

    // Wiring by the reader window.
    void SetPaths(const AppPaths* paths) { paths_ = paths; }
    void SetConfigurationStore(ConfigurationStore* store) { store_ = store; }
    void SetLogDatabase(SortedRecordDatabase* log) { log_ = log; }
    void SetDocumentLoader(DocumentLoader* loader) { loader_ = loader; }
    void SetSettings(ReaderSettings* settings) { settings_ = settings; }
    void SetDocumentController(DocumentController* controller) { document_ = controller; }
    void SetDrawingSurface(DrawingSurface* surface) { surface_ = surface; }
    void SetShell(ReaderShell* shell) { shell_ = shell; }
    // The window the timers run on and the main window (WM_CLOSE, audio notices).
    void SetTimerHost(TimerHost* host) { timers_.SetHost(host); }
    void SetMainWindow(HWND window) { mainWindow_ = window; }
    // The final set-up: the player reports to this controller, the popup lock is cleared.
    void InitPopupCallbacks();

    DocumentController* GetDocumentController() const { return document_; }
    DrawingSurface* GetDrawingSurface() const { return surface_; }
    ReaderSettings* GetSettings() const { return settings_; }
    const Location* GetCurrentLocation() const;
    FontList& Fonts() { return fonts_; }
    TimerList& Timers() { return timers_; }
    AudioPlayer& Player() { return player_; }
    // The sound playlist (the audio view sets it); its count bounds the track steps.
    void SetTrackList(TrackList* list);

    // Commands.
    void OnCommand(int32_t id, bool fromQueue);
    // The queue index, or -1 when the id could not be queued.
    int32_t PostCommand(int32_t id);
    void ParkObject(std::unique_ptr<ParkedObject> object);
    void OnActivate(bool active);
    void GetCommandStates(bool& a, bool& b, bool& c) const;
    // On kAudioNoticeMessage.
    void DeliverAudioNotices() { player_.DeliverNotices(); }

    bool SetTableEntry(uint32_t n, uint8_t flag, const Text& face);

    // Messages: kinds 0-3 (MessageKind); true when the user pressed OK. Caption -1: none.
    bool MessageBoxById(int32_t captionId, uint32_t textId, MessageKind kind);
    // The text with "%1".."%9" replaced by the arguments.
    bool MessageBoxByIdArgs(int32_t captionId, uint32_t textId, MessageKind kind,
                            const String* args, uint32_t count);
    bool ShowMessage(int32_t captionId, const String& text, MessageKind kind);
    bool AskText(String& text, uint32_t mode);

    // The area popups keep clear.
    void SetPopupRect(const Rect& r, bool force);
    const Rect& PopupRect() const { return popupRect_; }
    void LockPopupRect();
    void UnlockPopupRect();
    // Gives the drawing surface the area popups keep clear.
    void RefreshSurface();

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
    // The style word of a new annotation of a kind.
    uint32_t StyleFor(uint32_t kind) const;

    // Carts: the log database keeps one, made with the first name asked for; later requests
    // get it whatever name they give. Each false without a cart.
    bool AddToCart(const String& cartName, const String& id, const String& text);
    bool RemoveFromCart(const String& cartName, int32_t index);
    bool ClearCart(const String& cartName);
    // Books name the file: it lands in the data folder; absolute paths and ".." are refused.
    bool WriteCartXml(const String& cartName, const String& fileName);
    // The interactions cart's submission page; false for any other cart.
    bool SubmitInteractionsCart(const String& cartName, const String& title);

    // The word under the last tap without a selection.
    void SetLastWord(const String& word, uint16_t language) {
        lastWord_.Assign(word);
        lastWordLanguage_ = language;
    }
    const String& LastWord() const { return lastWord_; }

    bool IsQueueEmpty() const { return queue_.Count() == 0; }
    int32_t QueueTimerId() const { return queueTimer_; }
    // Test hook: false when an invariant is broken.
    bool CheckInvariants() const;

private:
    // TimerCallback: the queue timer.
    void OnTimer(TimerList& list, int32_t id) override;
    void RunQueuedCommands(int32_t timerId);
    void StartQueueTimer();
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
    bool RunTextSizeCommand(int32_t id);
    bool RunTapActionCommand(int32_t id);
    bool RunAudioCommand(int32_t id);
    bool OpenUrl(const char16_t* url);
    bool StepTrack(int32_t step);
    bool CopyCommand();
    bool CopyPositionCommand();
    bool ContentsCommand();
    bool AddLinkCommand();

    FontList fonts_;
    List guards_;
    const AppPaths* paths_ = nullptr;
    TimerList timers_;
    TrackList* tracks_ = nullptr;
    AudioPlayer player_;
    SegArray<int32_t> queue_;
    int32_t queueTimer_ = -1;
    bool draining_ = false;
    std::vector<std::unique_ptr<ParkedObject>> parked_;
    DocumentController* document_ = nullptr;
    DrawingSurface* surface_ = nullptr;
    DocumentLoader* loader_ = nullptr;
    ReaderSettings* settings_ = nullptr;
    ConfigurationStore* store_ = nullptr;
    SortedRecordDatabase* log_ = nullptr;
    ReaderShell* shell_ = nullptr;
    HWND mainWindow_ = nullptr;
    Rect popupRect_{};
    bool popupLocked_ = false;
    String lastWord_;
    uint16_t lastWordLanguage_ = 0;
    bool linkNotificationShown_ = false;
};

// Book actions: the link kinds a LinkTarget carries out and the table of reader methods that a
// command record runs, by object kind and method id. The document controller is reached through
// BookActionHost (it implements the operations); anything that would leave the reader for the
// shell (start a program, dial, write a file outside the data folder, close the window) is asked
// of one ShellActionPolicy first.
#pragma once

#include <cstdint>
#include <memory>

#include "core/geometry.h"
#include "core/string.h"
#include "layout/page_step.h"
#include "reader/command_record.h"
#include "script/script_value.h"

class LinkTarget;
class ScriptHeap;
class ScriptObject;

// Object kinds of the command record (vocabulary ids of the object names).
namespace ReaderObjects {
constexpr uint32_t kDocument = 23;
constexpr uint32_t kBookmarks = 24;
constexpr uint32_t kWindow = 25;
constexpr uint32_t kHistory = 26;
constexpr uint32_t kCart = 27;
constexpr uint32_t kSelection = 28;
constexpr uint32_t kLocation = 29;
constexpr uint32_t kHash = 30;
constexpr uint32_t kVoice = 31;
constexpr uint32_t kIndex = 32;
constexpr uint32_t kAudio = 33;
}  // namespace ReaderObjects

// Method ids of the command record (vocabulary ids of the method names). One id names
// one operation for scripts and links; an id that two object kinds take (close, add, remove) does
// that kind's form of it. Where a constant is not named after its script name, its comment starts
// with that name.
namespace ReaderMethods {
enum Id : uint32_t {
    kOpen = 46,   // a URL, or a URL in a named target window
    kClose = 47,  // document: back to the other document; window: close it
    kIncreaseFont = 48,
    kDecreaseFont = 49,
    kGoToPage = 50,  // page n, or the go-to-page dialog
    kGoToPageRelative = 51,
    kGoToFirstPage = 52,
    kGoToLastPage = 53,
    kGoToContents = 54,           // goto_toc
    kRunNamedAction = 55,         // goto_guide
    kSearch = 56,                 // the find dialog
    kAdd = 57,                    // bookmarks: the page's bookmark; cart: an item
    kDisplayAnnotationList = 58,  // display_list
    kPreviousAnnotation = 59,     // previous
    kNextAnnotation = 60,         // next
    kHistoryBack = 61,            // back
    kHistoryForward = 62,         // forward
    kGoToAnnotation = 63,         // goto
    kBrowseFiles = 64,            // browse: the file-open dialog
    kDisplayTip = 65,
    kPlayMusic = 66,  // a playlist file
    kStartRecorder = 67,
    kPlayMusicEx = 68,  // the playlist, then the recorder
    kIndexSearch = 69,
    kMoveTable = 70,           // select a scrollable table, or scroll it sideways
    kDisplayBookmarkTip = 71,  // the note of an annotation
    kFilteredIndexSearch = 72,
    kEditAnnotation = 73,  // edit
    kRemove = 74,          // Remove: bookmarks: an annotation; cart: an item
    kGoToPosition = 75,    // no script name: a link's request to open at a text position
    kDial = 76,
    kResetCart = 77,   // reset
    kSubmitCart = 78,  // submit
    kCondIndexSearch = 79,
    kOpenAnnotationLink = 80,  // no script name: links only
    kCopySelection = 81,       // copy
    kHighlightSelection = 82,  // highlight
    kAnnotateSelection = 83,   // annotate
    kLookUpSelection = 84,     // lookup
    kStartPopupViewer = 85,    // the file with the program it is associated with
    kStartExternalApp = 86,
    kOpenSync = 87,  // accepted, does nothing
    kGoToRandomEntry = 88,
    // 89 and 94 (send_to_pda, register) are window methods with no
    // effect: a script may call them and nothing runs.
    kSendToPda = 89,
    kStartWebBrowser = 90,
    kSetCheckpoint = 91,
    kGoToCheckpoint = 92,    // answers a boolean
    kRearrangeWindows = 93,  // rearrange
    kRegister = 94,
    kAlert = 95,
    kSqlSearch = 96,
    kSqlBulletSearch = 97,
    kExportCart = 99,  // export: the cart as XML in the data folder
    kScroll = 100,
    kReadAloud = 101,          // read
    kSay = 102,                // speak the text
    kSystemPlay = 103,         // accepted, does nothing
    kSeekIndex = 106,          // seek
    kCurrentIndexEntry = 107,  // answers the table entry's record set
    kDisplayWordList = 109,
    kFlashMessage = 110,
    kAddToWordList = 111,
    kAddEntryToWordList = 112,
    kClearHistory = 113,     // Clear
    kReplaceLocation = 114,  // replace
    kDisplaySearchHistory = 115,
    kPlaySounds = 116,  // play
    kStopSound = 117,   // stop
    kSetVolume = 118,
    kIdeogramSearch = 130,
    kDebugAlert = 131,       // accepted, does nothing
    kPauseAudio = 132,       // pause
    kResumeAudio = 133,      // resume
    kShowAudioPlayer = 134,  // show
    kGoToTrack = 135,
};
}  // namespace ReaderMethods

// What book content may ask of the shell.
enum class ShellAction : uint32_t {
    kStartProgram,  // start_external_app, start_popup_viewer
    kDial,
    kWebBrowser,
    kPlaylist,  // play_music, play_music_ex
    kRecorder,
    kWriteFile,  // cart export
    kCloseWindow,
};

// The one hook every such request passes; the document controller's answer (it asks the user).
class ShellActionPolicy {
public:
    virtual bool Allow(ShellAction action, const String& subject) = 0;

protected:
    ~ShellActionPolicy() = default;
};

// An export name a book may give: a plain file name, placed in the data folder. No folder
// separators, drive, or "..", so that a book cannot write anywhere else.
bool IsPlainExportName(const String& name);

// A word-list entry (link kind 10).
struct WordListEntry {
    String key;        // the target's second text
    String headword;   // the target's name
    String link;       // "oeb:redirect?title=" + the short id
    String shortName;  // the part before the grave accent
    uint32_t language = 0;
    uint32_t number = 0;
};

// The document controller's operations that book actions call. Each default does nothing and
// answers false, so that a controller overrides what it has.
class BookActionHost {
public:
    // Null: every shell request is refused.
    virtual ShellActionPolicy* ShellPolicy() { return nullptr; }
    // Expires when the controller is destroyed (for state put back after a navigation).
    virtual std::weak_ptr<void> Lifetime() { return {}; }

    // ReaderController::OnCommand with the id and 0.
    virtual bool RunCommand(int32_t) { return false; }
    virtual bool ActivateLink(const String&) { return false; }
    // Opens the location (its "oeb:" text) with the record.
    virtual bool OpenRequest(const String&, const CommandRecord&) { return false; }
    // Reopens the current location with the record.
    virtual bool ReopenWithRecord(const CommandRecord&) { return false; }
    virtual bool GoToTextPosition(uint32_t) { return false; }
    virtual bool DispatchWidgetEvent(const String&, uint32_t, String*) { return false; }
    virtual bool OpenIndexEntry(uint32_t, const String&, uint32_t, const String&) { return false; }
    virtual bool OpenLookupResult(const LinkTarget&, uint32_t, bool) { return false; }
    virtual bool AddToWordList(const WordListEntry&) { return false; }

    // document
    virtual bool BackToOtherDocument() { return false; }
    virtual bool GoToPage(uint32_t) { return false; }
    virtual bool StepPage(PageStepCode, PageMarkIndex) { return false; }
    virtual bool GoFirstPage() { return false; }
    virtual bool GoLastPage() { return false; }
    virtual bool GoToContents() { return false; }
    virtual bool RunNamedAction(uint32_t) { return false; }
    virtual bool OpenRandomTableEntry(const String*) { return false; }

    // bookmarks
    virtual bool SelectionText(String&) { return false; }
    virtual bool PreviousAnnotation() { return false; }
    virtual bool NextAnnotation() { return false; }
    virtual bool OpenAnnotationAt(const String&, uint32_t) { return false; }
    virtual bool EditAnnotation(uint32_t) { return false; }
    virtual bool DeleteAnnotation(uint32_t) { return false; }
    virtual bool OpenAnnotationLink(uint32_t) { return false; }

    // window
    virtual bool OpenInTarget(const String&, const String&, const Rect&, bool) { return false; }
    virtual bool CloseWindow() { return false; }
    virtual bool ChangeFontSize(int32_t) { return false; }
    virtual bool ShowPopupPage(const String&, uint32_t) { return false; }
    virtual bool PlayPlaylist(const String&, bool) { return false; }
    virtual bool StartRecorder() { return false; }
    virtual bool SetPositionView(uint32_t) { return false; }
    // move_table with a table id and a step, which is negative towards the left.
    virtual bool SelectRange(uint32_t, int32_t) { return false; }
    virtual bool ShowNotePopup(uint32_t) { return false; }
    virtual bool Dial(const String&) { return false; }
    virtual bool OpenWithAssociatedApp(const String&, bool, uint32_t, uint32_t) { return false; }
    virtual bool OpenWithApplication(const String&, const String&) { return false; }
    virtual bool StartWebBrowser(const String&) { return false; }
    virtual bool TileWindows(uint32_t, uint32_t) { return false; }
    virtual bool ShowBusyText(const String&, uint32_t) { return false; }
    // The "table=" index query's record set as a new script object, the caller's to hand to
    // a script heap or delete; null when none.
    virtual ScriptObject* OpenTableEntry(const String*) { return nullptr; }
    // The window controller's history mode word.
    virtual uint32_t HistoryMode() { return 0; }
    // The language of the book shown (a language code), 0 when it names none.
    virtual uint32_t BookLanguage() { return 0; }
    virtual void SetHistoryMode(uint32_t) {}

    // history
    virtual bool HistoryBack() { return false; }
    virtual bool HistoryForward() { return false; }
    virtual bool SetCheckpoint() { return false; }
    virtual bool HistoryToLast() { return false; }
    virtual bool ClearHistory() { return false; }

    // cart
    virtual bool AddToCart(const String&, const String&, const String&) { return false; }
    virtual bool RemoveFromCart(const String&, uint32_t) { return false; }
    virtual bool ClearCart(const String&) { return false; }
    virtual bool SubmitInteractionsCart(const String&, const String&) { return false; }
    virtual bool WriteCartXml(const String&, const String&) { return false; }

    // voice, index, audio
    virtual void SetSpeechLanguage(uint32_t) {}
    virtual bool ReadAloud() { return false; }
    virtual bool StartSpeech(const String&) { return false; }
    virtual bool ViewSearchText(const String&) { return false; }
    virtual bool PlaySoundList(const String&) { return false; }
    virtual bool StopSound() { return false; }
    virtual bool SetSoundVolume(uint32_t) { return false; }
    virtual bool PauseAudio() { return false; }
    virtual bool ResumeAudio() { return false; }
    virtual bool PlayTrack(uint32_t) { return false; }

protected:
    ~BookActionHost() = default;
};

// Runs a command record. 0 when nothing was done (a kind or method not listed, a wrong count or
// argument type, a refused shell request), else 1. `out` receives a value for the methods that
// return one (kGoToCheckpoint, kCurrentIndexEntry) and is left alone otherwise; `heap` may be null
// when no script asks.
uint32_t RunReaderCommand(const CommandRecord& record, BookActionHost& host, ScriptHeap* heap,
                          ScriptValue* out);

// Carries out a link target; false without a target or when nothing was done.
bool PerformAction(const LinkTarget* target, BookActionHost& host, uint32_t argument,
                   String* result);

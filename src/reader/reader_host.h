// What the reader asks of the application shell, which implements these: the shell's event
// sink of the main window's controllers, and the shell functions and dialogs the commands use.
#pragma once

#include <cstdint>

class DocumentController;
class ReaderWindow;
class String;
struct Point;
struct Rect;

// The shell's event sink of the main window's controller: the command notice, the document
// ready after each open and page move, and an annotation deleted or changed.
class AppShellEvents {
public:
    virtual void OnCommandNotice(DocumentController* controller, int32_t id, uint32_t cookie) = 0;
    virtual void OnDocumentReady(DocumentController* controller, uint32_t cookie) {
        (void)controller;
        (void)cookie;
    }
    virtual void OnAnnotationNotice(DocumentController* controller, uint32_t cookie, int32_t index) {
        (void)controller;
        (void)cookie;
        (void)index;
    }

protected:
    ~AppShellEvents() = default;
};

// Message-box kinds of ReaderController::MessageBoxById.
enum class MessageKind : uint8_t { kInformation = 0, kWarning = 1, kError = 2, kQuestion = 3 };

// An item of a pop-up menu: a command and the string id of its text. The separator command
// makes a separator; the skipped string id leaves the entry out.
struct PopupMenuEntry {
    static constexpr uint32_t kSeparator = 0xFFFFFF;
    static constexpr uint32_t kSkipped = 0xFFFFFFFF;
    uint32_t command;
    uint32_t stringId;
};

// Dialogs and shell functions. Each false when the user cancelled or the function is missing.
class ReaderShell {
public:
    // MessageBoxW flags: 64 information, 48 warning, 16 error, 33 question with OK and Cancel.
    // True when the user pressed OK. A null caption shows none.
    virtual bool MessageBox(const String* caption, const String& text, uint32_t flags) = 0;
    // The text-entry dialog in a mode; true and the edited text when confirmed.
    virtual bool AskText(String& text, uint32_t mode) = 0;
    virtual bool ShowFind() = 0;
    virtual bool ShowFindDialog() = 0;
    // Hides the modeless find dialog when it is visible.
    virtual void HideFindDialog() = 0;
    virtual bool ShowOptions() = 0;
    virtual bool ShowAbout() = 0;
    virtual bool ShowGoToPage() = 0;
    virtual bool ShowVolume() = 0;
    // The file-open dialog with the reader's filters; the chosen path.
    virtual bool ChooseFile(String& path) = 0;
    virtual bool ShowProperties(const String& fileName) = 0;
    virtual bool Beam(const String& path) = 0;
    virtual bool OpenWithShell(const String& url) = 0;
    virtual bool ToggleFullScreen() = 0;
    virtual bool StartRecorder(const String& path) = 0;
    virtual bool CopyToClipboard(const String& text) = 0;
    // A passing note (the busy popup's text, shown a while).
    virtual void ShowText(const String& text, uint32_t milliseconds) = 0;
    // Full screen on or off (without touching the settings); false when it cannot change.
    virtual bool SetFullScreen(bool) { return false; }
    // Brings the modeless find dialog back to the front when it exists.
    virtual void ActivateFindDialog() {}
    // The pop-up menu at a point of the view window (client coordinates); the chosen entry's
    // command runs. False when nothing was chosen.
    virtual bool ShowPopupMenu(const Point&, const PopupMenuEntry*, uint32_t) { return false; }
    // The same menu at a point of the screen, for a caller that runs the command itself: the
    // command of the entry chosen ("Back to normal display" in full screen included), -1 for
    // none.
    virtual int32_t ChoosePopupCommand(const Point&, const PopupMenuEntry*, uint32_t) { return -1; }

    // What book actions ask of the shell, after the user agreed. The text "name#1;3,4" names a
    // book of the current book's folder (empty: the current book) and its tracks, written as a
    // playlist for the device's music player; with `record` the voice recorder starts as well.
    virtual bool PlayTracks(const String&, bool) { return false; }
    virtual bool Dial(const String&) { return false; }
    // A file of the current book's folder opened with its program.
    virtual bool OpenBookFile(const String&) { return false; }
    // A device program started with a file of the current book's folder (or none).
    virtual bool OpenWithApplication(const String&, const String&) { return false; }

protected:
    ~ReaderShell() = default;
};

// The shell's frame windows for the reader windows a link opens.
class ReaderFrameHost {
public:
    // Makes and shows a frame window for the reader window, which the frame then owns (closing
    // the frame deletes the reader window). False on failure: the reader window stays the
    // caller's. r and caption may be null (the platform's default place, no caption).
    virtual bool OpenFrame(ReaderWindow* window, const Rect* r, const String* caption,
                           bool layout, bool topmost) = 0;
    // Closes the frame that owns the reader window, deleting both; false when no frame owns it.
    virtual bool CloseFrame(ReaderWindow* window) = 0;

protected:
    ~ReaderFrameHost() = default;
};

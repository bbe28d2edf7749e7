// The application: one running instance per device, the reader core, the main window and the
// message loop. The shell is the main window's frame and the event sink of its document
// controller.
//
// Lifetime: the shell is deleted by its window's WM_DESTROY (after the core is closed), and its
// destructor posts the quit message that ends the loop. When Run fails (result 3) the caller
// deletes it, and the destructor closes whatever part of the core was made.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "core/string.h"
#include "paths/app_paths.h"
#include "reader/reader_host.h"
#include "reader/text_popup_adapter.h"
#include "shell/idle_document_controller.h"
#include "shell/main_frame.h"

class DocumentLoader;
class EmbeddedLibrary;
class LibraryDictionaries;
class Text;
class BookDocumentController;
class ReaderCore;
class ReaderViewFactory;
class TextPopupFactory;

// True when `path` lies in `folder` (which ends in '\\'), letters compared without case.
bool IsUnderFolder(const String& path, const String& folder);

class AppShell : public MainFrame,
                 public AppShellEvents,
                 public AppShellWindow,
                 public ReaderFrameHost,
                 private FrameServices {
public:
    enum RunResult : int {
        kRanLoop = 0,
        kHosted = 1,
        kRaisedOther = 2,
        kFailed = 3,
        kQuit = 4,
    };
    static constexpr uint16_t kIconId = 126;
    static constexpr uint16_t kAcceleratorsId = 211;
    // How long a second start waits for a running instance to close.
    static constexpr uint32_t kCloseWaitMs = 10000;
    // The command notice that refreshes the audio bar (the player's state changed).
    static constexpr int32_t kAudioStateCommand = 112;

    AppShell();
    ~AppShell() override;

    int Run(HINSTANCE instance, String& commandLine, HWND parent);
    bool CreateCore(bool withStore);
    bool RegisterWindowClass();
    int MessageLoop();
    // Input for a window of the reader's other than its frame (the soft-key bar and its keys
    // F1 and F2) while the book is read aloud: the speech stops and the input is dropped, as
    // the frame does with its own. True when the message was taken.
    bool TakeBargeIn(const MSG& msg);
    void Destroy() override;

    // The makers of the reader windows' bars, list windows and text pop-ups; given before Run.
    // Pop-ups default to the widgets' pop-up windows.
    void SetViewFactories(ReaderViewFactory* views, TextPopupFactory* popups) {
        viewFactory_ = views;
        popupFactory_ = popups;
    }

    // The dialogs and shell functions the reader's commands use (none: they fail); before Run.
    void SetReaderShell(ReaderShell* shell) { readerShell_ = shell; }
    // The maker of the windows' document controllers (null: the idle stand-in); before Run.
    void SetDocumentFactory(DocumentControllerFactory* factory) { documentFactory_ = factory; }

    ReaderCore* Core() const { return core_.get(); }
    EmbeddedLibrary* Catalogue() const { return library_.get(); }

    // AppShellEvents.
    void OnCommandNotice(DocumentController* controller, int32_t id, uint32_t cookie) override;
    void OnDocumentReady(DocumentController* controller, uint32_t cookie) override;
    void OnAnnotationNotice(DocumentController* controller, uint32_t cookie, int32_t index) override;
    // AppShellWindow.
    HWND MainWindow() const override { return Window(); }
    // ReaderFrameHost: the windows a link opens get frames of their own.
    bool OpenFrame(ReaderWindow* window, const Rect* r, const String* caption, bool layout,
                   bool topmost) override;
    bool CloseFrame(ReaderWindow* window) override;
    // The link-target frames still open.
    int32_t FrameCount();
    // Every reader window whose book's file the test accepts turns to the library.
    void ReleaseBooks(const std::function<bool(String&)>& matches);

private:
    void SaveMainPosition();
    // FrameServices: storage-card notices go to the loader, which tells the catalogue.
    void OnMediaInserted(const String& path) override;
    void OnMediaRemoved(const String& path) override;
    void OnDriveRemoved(const String& path) override;
    void OnDriveAdded(const String& path, const String& item) override;
    void ReleaseBooksUnder(const String& folder) override;
    void ShowLibrary(const String& folder) override;
    // The soft keys' hot keys and losing the screen in full screen.
    void ToggleFullScreen() override;
    // Speech in the main window's document (none without a plug-in: then nothing happens).
    bool IsSpeaking() override;
    void StopSpeech() override;
    // The plug-in's sentence callback.
    void ToggleSpeech() override;
    BookDocumentController* SpeakingDocument() const;
    DocumentLoader* Loader() const;
    void TellLoader(void (DocumentLoader::*notice)(const Text&), const String& path);
    void CloseCore();

    // The release of a press TakeBargeIn took (a bar's button acts on it): dropped as well.
    struct Release {
        HWND window = nullptr;
        UINT message = 0;
        WPARAM key = 0;
    } bargeRelease_;

    std::unique_ptr<ReaderCore> core_;
    // The catalogue the loader embeds; goes before the core (its cache needs the paths).
    std::unique_ptr<EmbeddedLibrary> library_;
    // The catalogue's dictionaries as the main window's look-ups ask for them; goes first.
    std::unique_ptr<LibraryDictionaries> dictionaries_;
    HINSTANCE instance_ = nullptr;
    IdleDocumentControllerFactory documents_;
    DocumentControllerFactory* documentFactory_ = nullptr;
    ReaderShell* readerShell_ = nullptr;
    ReaderViewFactory* viewFactory_ = nullptr;
    TextPopupFactory* popupFactory_ = nullptr;
    // Without a maker of its own the reader's pop-ups are the widgets' (their links act on no
    // controller: the busy text and passing notes need none).
    WidgetTextPopupFactory widgetPopups_{nullptr};
    // Link-target frames; a frame the user closed is dropped when found gone.
    std::vector<HWND> frames_;
};

// The command line as the program received it: a surrounding pair of double quotes is dropped.
void ParseCommandLine(String& out);
// The line number of the FOLIVANT_DRIVER script that could not be read or done (0: none, -1: the
// script could not run at all); DriverScript::FailureReason() says why.
int AppShellDriverResult();
// AppShell::TakeBargeIn of the shell whose message loop runs (the driver's loop asks it too).
bool TakeSpeechBargeIn(const MSG& msg);
// The program: parses the command line, runs the shell, and returns its status (0, or 1 when
// it could not start, the book it was given could not be opened or a file could not be saved).
int WinMain(HINSTANCE instance, HINSTANCE previous, const char16_t* commandLine, int show);

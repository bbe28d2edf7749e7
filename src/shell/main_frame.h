// The object behind a top-level reader window: it owns the window and the ReaderWindow it
// serves, and its window procedure turns paint, size, focus, timers, keys, hardware buttons,
// storage-card notices and the private messages 0x8001-0x8009 into work for the reader objects.
//
// The object is bound to its window through GWL_USERDATA from WM_CREATE to WM_DESTROY. On
// WM_DESTROY the frame is destroyed and deleted (for the application shell this ends the message
// loop); nothing of the object is touched afterwards, and messages that still arrive go to the
// default handling. Everything runs on the GUI thread; other threads reach the window only by
// posting the private messages.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/string.h"
#include "core/timer_list.h"
#include "platform/window/window.h"
#include "shell/key_tables.h"

class ReaderWindow;
struct FILECHANGENOTIFY;

// What the main window needs of parts built above or beside the reader core: the loader's
// storage-card notices, releasing the books under a removed card, and speech. Any may be left
// to the defaults, which do nothing.
class FrameServices {
public:
    virtual void OnMediaInserted(const String& /*path*/) {}
    virtual void OnMediaRemoved(const String& /*path*/) {}
    virtual void OnDriveRemoved(const String& /*path*/) {}
    virtual void OnDriveAdded(const String& /*path*/, const String& /*item*/) {}
    // Open and cached books whose path starts with `folder` (which ends in '\', compared without
    // case) are let go, so nothing reads from a medium that is gone.
    virtual void ReleaseBooksUnder(const String& /*folder*/) {}
    // After a card change, when the settings ask for the library.
    virtual void ShowLibrary(const String& /*folder*/) {}
    virtual bool IsSpeaking() { return false; }
    virtual void StopSpeech() {}
    virtual void ToggleSpeech() {}
    virtual void ToggleFullScreen() {}

protected:
    ~FrameServices() = default;
};

// The link that opens a command-line argument: for an existing file, its file location with the
// name escaped; false (the argument is taken as a link) otherwise.
bool LinkForArgument(const String& argument, String& link);

class MainFrame {
public:
    static constexpr const WCHAR* kClassName = u"Folivant Reader";
    static constexpr UINT kPrivateState0 = 0x8001;
    static constexpr UINT kPrivateState1 = 0x8002;
    static constexpr UINT kRepaintNow = 0x8003;
    static constexpr UINT kAfterRepaint = 0x8004;
    static constexpr UINT kSpeakNextChunk = 0x8005;  // runs command 86
    static constexpr UINT kSpeechCallback = 0x8006;
    static constexpr UINT kShowBusy = 0x8007;
    static constexpr UINT kHideBusy = 0x8008;
    static constexpr UINT kNothing = 0x8009;
    static constexpr UINT_PTR kCardTimer = 133;
    static constexpr UINT kCardTimerMs = 1000;
    // SHChangeNotifyRegister's mask: media inserted and removed, drive removed and added.
    static constexpr DWORD kCardNoticeMask = 0x1E0;

    explicit MainFrame(ReaderWindow* readerWindow = nullptr);
    virtual ~MainFrame();
    MainFrame(const MainFrame&) = delete;
    MainFrame& operator=(const MainFrame&) = delete;

    // Creates the window; true when it exists. `area` null or empty: the default position.
    bool Create(const RECT* area, const String* caption, bool layout, bool topmost, HWND parent);
    void SetCaption(const String& caption);
    // Opens the command line's book (or the library when there is none or it cannot be opened)
    // and shows the window. Always true.
    bool ShowAndStart(const String* commandLine, bool maximise, bool noDefault);

    virtual void ShowAndFocus(bool show);
    virtual void Move(int32_t left, int32_t top, int32_t right, int32_t bottom);
    virtual void Destroy();
    virtual void OnCreate();
    virtual void OnKey(uint32_t vk);
    virtual void OnPaint();
    virtual void OnTimer(UINT_PTR id);
    virtual void OnPrivateState(int state) { (void)state; }
    virtual void OnSize();
    virtual bool OnCommand(WPARAM wParam, LPARAM lParam) {
        (void)wParam;
        (void)lParam;
        return false;
    }
    virtual bool GetClientRect(RECT& out) const;
    // The window's state hook: 1 when it is made, 0 when it goes. Empty here.
    virtual void OnWindowState(int state) { (void)state; }

    static LRESULT WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND Window() const { return window_; }
    ReaderWindow* GetReaderWindow() const { return readerWindow_.get(); }
    // Takes the window over: it goes with the frame's window.
    void SetReaderWindow(ReaderWindow* window);
    // Hands the window back undeleted (a frame that never came up, a start that failed).
    ReaderWindow* ReleaseReaderWindow() { return readerWindow_.release(); }
    void SetServices(FrameServices* services) { services_ = services; }
    // Card folders noted since the last run of timer 133.
    const std::vector<String>& NotedPaths() const { return notedPaths_; }
    // The key context from the settings, the modifier keys and the screen.
    KeyContext MakeKeyContext() const;

    // Handles a storage-card notice (lParam of WM_FILECHANGEINFO); the notice is always freed.
    void OnCardNotice(FILECHANGENOTIFY* notice);

protected:
    uint32_t style_ = WS_VISIBLE;
    HWND window_ = nullptr;
    bool layoutEnabled_ = true;
    bool shellFlag_ = false;
    std::unique_ptr<ReaderWindow> readerWindow_;
    bool layoutPending_ = false;
    FrameServices* services_ = nullptr;

private:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnPrivateMessage(UINT message);
    LRESULT OnHotKey(WPARAM wParam, LPARAM lParam);
    // The reader controller's list windows, then (for WM_COMMAND) its windows and bars by
    // command id; true when one took the message.
    bool RouteToViewWindows(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // True when a shown list window took the focus.
    bool FocusListWindow();
    void OnActivate(WPARAM wParam, LPARAM lParam);
    void SendKeyEvent(InputEvent& event);
    bool RunBookKey(uint32_t index);
    bool BackspaceInOwnEdit();
    void EndOwnedDialogs();
    void RestartCardTimer();

    std::vector<String> notedPaths_;
    bool cardNoticesRegistered_ = false;
    bool closePending_ = false;
};

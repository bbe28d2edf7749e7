// The shell side of the reader's and the library view's dialogs and hand-offs: message boxes,
// the text entry, find, go to page, volume, options and About, full screen, beaming, opening
// with other programs, the voice recorder and the clipboard. They act for the main reader
// window, looked up at each call since the core comes and goes with the main window.
#pragma once

#include <memory>

#include "library/library_view.h"
#include "reader/reader_host.h"

class AppShell;
class FindDialog;
class Library;
class ReaderController;
class ControllerDialogState;

class ShellServices final : public ReaderShell, public LibraryViewServices {
public:
    explicit ShellServices(AppShell* app);
    ~ShellServices();
    ShellServices(const ShellServices&) = delete;
    ShellServices& operator=(const ShellServices&) = delete;

    // ReaderShell.
    bool MessageBox(const String* caption, const String& text, uint32_t flags) override;
    bool AskText(String& text, uint32_t mode) override;
    bool ShowFind() override;
    bool ShowFindDialog() override;
    void HideFindDialog() override;
    bool ShowOptions() override;
    bool ShowAbout() override;
    bool ShowGoToPage() override;
    bool ShowVolume() override;
    bool ChooseFile(String& path) override;
    bool ShowProperties(const String& fileName) override;
    bool Beam(const String& path) override;
    bool OpenWithShell(const String& url) override;
    bool ToggleFullScreen() override;
    bool StartRecorder(const String& path) override;
    bool CopyToClipboard(const String& text) override;
    void ShowText(const String& text, uint32_t milliseconds) override;
    bool SetFullScreen(bool on) override;
    void ActivateFindDialog() override;

    // LibraryViewServices.
    bool ShowOptions(HWND owner) override;
    bool ShowAbout(HWND owner) override;
    bool ShowMemoryInfo(HWND owner) override;
    bool Beam(const Text& path) override;
    bool HasOnlineAccount() const override { return false; }
    BookReleaser* Releaser() override { return nullptr; }

private:
    ReaderController* Controller() const;
    HWND Owner() const;
    Library* Dictionaries() const;
    // Runs the options sheet; after OK the view takes the settings and full screen follows them.
    bool RunOptions(HWND owner, bool pendingGiven, bool pendingFullScreen);

    AppShell* app_;
    std::unique_ptr<ControllerDialogState> state_;
    std::unique_ptr<FindDialog> find_;
};

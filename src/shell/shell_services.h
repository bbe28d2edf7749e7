// The shell side of the reader's and the library view's dialogs and hand-offs: message boxes,
// the text entry, find, go to page, volume, options and About, full screen, beaming, opening
// with other programs, the voice recorder and the clipboard. They act for the main reader
// window, looked up at each call since the core comes and goes with the main window.
#pragma once

#include <memory>
#include <string>

#include "library_ui/library_view.h"
#include "paths/storage.h"
#include "reader/reader_host.h"
#include "shell/options_pages.h"

class AppShell;
class FindDialog;
class Library;
class ReaderController;
class ControllerDialogState;

// The library view's file-type toggles for the options sheet's Library page (none until the
// reader made the view).
class LibraryViewToggles final : public LibraryTypeToggles {
public:
    explicit LibraryViewToggles(AppShell* app) : app_(app) {}
    LibraryView* View() const;
    uint32_t FileTypeMask() const override;
    void ToggleFileType(uint32_t bit) override;

private:
    AppShell* app_;
};

// Lets a book go before the library moves or deletes it: every reader window showing it turns
// to the library; false while the loader still holds the file.
class ReaderBookReleaser final : public BookReleaser {
public:
    explicit ReaderBookReleaser(AppShell* app) : app_(app) {}
    bool ReleaseBook(const Text& bookPath) override;

private:
    AppShell* app_;
};

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
    bool ShowPopupMenu(const Point& at, const PopupMenuEntry* entries, uint32_t count) override;
    int32_t ChoosePopupCommand(const Point& screen, const PopupMenuEntry* entries,
                               uint32_t count) override;
    bool PlayTracks(const String& argument, bool record) override;
    bool Dial(const String& number) override;
    bool OpenBookFile(const String& name) override;
    bool OpenWithApplication(const String& program, const String& parameters) override;

    // LibraryViewServices.
    bool ShowOptions(HWND owner) override;
    bool ShowAbout(HWND owner) override;
    bool ShowMemoryInfo(HWND owner) override;
    bool Beam(const Text& path) override;
    bool HasOnlineAccount() const override { return false; }
    BookReleaser* Releaser() override { return &releaser_; }

private:
    ReaderController* Controller() const;
    HWND Owner() const;
    Library* Dictionaries() const;
    // The current book's file and its folder; false for the reader's own pages.
    bool CurrentBookFile(std::u16string& file, std::u16string& folder) const;
    // Runs the options sheet; after OK the view takes the settings and full screen follows them.
    bool RunOptions(HWND owner, bool pendingGiven, bool pendingFullScreen);

    AppShell* app_;
    LibraryViewToggles toggles_;
    ReaderBookReleaser releaser_;
    std::unique_ptr<ControllerDialogState> state_;
    std::unique_ptr<FindDialog> find_;
    // The controller the Find dialog was made for: one dialog per controller, kept between
    // showings with its text and direction.
    ReaderController* findController_ = nullptr;
};

#include "shell/shell_services.h"

#include <string>

#include "core/optional_api.h"
#include "library/embedded_library.h"
#include "platform/dialog/dialog.h"
#include "platform/shell/shell.h"
#include "platform/window/window.h"
#include "reader/reader_controller.h"
#include "reader/reader_core.h"
#include "reader/reader_settings.h"
#include "reader/reader_window.h"
#include "shell/app_shell.h"
#include "shell/options_pages.h"
#include "shell/shell_functions.h"
#include "shell/ui/about_sheet.h"
#include "shell/ui/small_dialogs.h"

namespace {

std::u16string Wide(const String& s) {
    return std::u16string(s.Data(), static_cast<size_t>(s.Length()));
}

}  // namespace

ShellServices::ShellServices(AppShell* app) : app_(app) {}

ShellServices::~ShellServices() = default;

ReaderController* ShellServices::Controller() const {
    ReaderCore* core = app_ ? app_->Core() : nullptr;
    ReaderWindow* window = core ? core->MainWindow() : nullptr;
    return window ? window->Controller() : nullptr;
}

HWND ShellServices::Owner() const { return app_ ? app_->MainWindow() : nullptr; }

Library* ShellServices::Dictionaries() const {
    EmbeddedLibrary* library = app_ ? app_->Catalogue() : nullptr;
    return library ? &library->Catalogue() : nullptr;
}

bool ShellServices::MessageBox(const String* caption, const String& text, uint32_t flags) {
    const std::u16string body = Wide(text);
    const std::u16string title = caption ? Wide(*caption) : std::u16string();
    const int answer = MessageBoxW(Owner(), body.c_str(), caption ? title.c_str() : nullptr, flags);
    return answer == IDOK || answer == IDYES;
}

bool ShellServices::AskText(String& text, uint32_t mode) {
    ControllerDialogState state(Controller());
    TextEntryDialog dialog(&state, mode, text);
    return dialog.Run(Owner(), Controller(), true);
}

bool ShellServices::ShowFind() { return ShowFindDialog(); }

// The find dialog's window goes with every OK or Cancel, so each showing makes a new one.
bool ShellServices::ShowFindDialog() {
    find_.reset();
    state_ = std::make_unique<ControllerDialogState>(Controller());
    find_ = std::make_unique<FindDialog>(state_.get(), nullptr);
    return find_->Run(Owner(), Controller(), false);
}

void ShellServices::HideFindDialog() {
    if (find_ && find_->Window() && IsWindow(find_->Window())) ShowWindow(find_->Window(), SW_HIDE);
}

void ShellServices::ActivateFindDialog() {
    if (find_ && find_->Window() && IsWindow(find_->Window())) DialogPage::ReactivateModeless();
}

bool ShellServices::RunOptions(HWND owner, bool pendingGiven, bool pendingFullScreen) {
    ReaderController* controller = Controller();
    OptionsSheet sheet(controller, Dictionaries(), nullptr, pendingGiven, pendingFullScreen);
    const bool ok = sheet.RunModal(owner, controller, true);
    ReaderSettings* settings = controller ? controller->GetSettings() : nullptr;
    if (ok && settings) {
        settings->ApplyToView();
        controller->RefreshSurface();
    }
    if (settings && controller->IsFullScreen() != (settings->fullScreen != 0))
        SetFullScreen(settings->fullScreen != 0);
    return ok;
}

bool ShellServices::ShowOptions() { return RunOptions(Owner(), false, false); }

bool ShellServices::ShowOptions(HWND owner) {
    ReaderController* controller = Controller();
    return RunOptions(owner ? owner : Owner(), true, controller && controller->IsFullScreen());
}

bool ShellServices::ShowAbout() { return ShowAbout(Owner()); }

bool ShellServices::ShowAbout(HWND owner) {
    AboutSheet sheet;
    return sheet.Show(owner ? owner : Owner(), Controller());
}

bool ShellServices::ShowGoToPage() {
    ControllerDialogState state(Controller());
    GoToPageDialog dialog(&state);
    return dialog.Run(Owner(), Controller(), true);
}

bool ShellServices::ShowVolume() {
    ControllerDialogState state(Controller());
    VolumeDialog dialog(&state);
    return dialog.Run(Owner(), Controller(), true);
}

bool ShellServices::ShowMemoryInfo(HWND owner) {
    ControllerDialogState state(Controller());
    MemoryInfoDialog dialog(&state);
    return dialog.Run(owner ? owner : Owner(), Controller(), true);
}

bool ShellServices::ChooseFile(String&) { return false; }

bool ShellServices::ShowProperties(const String&) { return false; }

bool ShellServices::Beam(const String& path) {
    return ShellFunctions::BeamAvailable() && ShellFunctions::BeamSendFile(Owner(), Wide(path));
}

bool ShellServices::Beam(const Text& path) {
    String wide;
    return path.ToWide(wide) && Beam(wide);
}

bool ShellServices::OpenWithShell(const String& url) {
    return ShellFunctions::OpenDocument(Owner(), Wide(url));
}

bool ShellServices::ToggleFullScreen() {
    ReaderController* controller = Controller();
    ReaderSettings* settings = controller ? controller->GetSettings() : nullptr;
    if (!settings) return false;
    settings->fullScreen = settings->fullScreen ? 0 : 1;
    return SetFullScreen(settings->fullScreen != 0);
}

bool ShellServices::SetFullScreen(bool on) {
    return ShellFunctions::SetFullScreenWindow(Owner(), on);
}

bool ShellServices::StartRecorder(const String&) {
    return OptionalApi::VoiceRecorder_Create(nullptr) != nullptr;
}

bool ShellServices::CopyToClipboard(const String& text) {
    return ShellFunctions::CopyTextToClipboard(Owner(), Wide(text));
}

// Passing notes are the reader's own pop-ups; the shell has no other place for them.
void ShellServices::ShowText(const String&, uint32_t) {}

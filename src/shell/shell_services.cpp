#include "shell/shell_services.h"

#include <string>

#include "core/optional_api.h"
#include "core/ref_counted.h"
#include "core/resources.h"
#include "database/resource.h"
#include "document/location/location.h"
#include "document/sources/document_loader.h"
#include "library/embedded_library.h"
#include "library_ui/book_properties_dialog.h"
#include "library_ui/library_list_windows.h"
#include "library_ui/memory_info_state.h"
#include "platform/dialog/dialog.h"
#include "platform/shell/shell.h"
#include "platform/window/window.h"
#include "reader/book_document_controller.h"
#include "reader/menu_items.h"
#include "reader/reader_controller.h"
#include "reader/reader_core.h"
#include "reader/reader_settings.h"
#include "reader/reader_window.h"
#include "shell/app_shell.h"
#include "shell/options_pages.h"
#include "shell/shell_functions.h"
#include "shell_ui/about_sheet.h"
#include "shell_ui/dialog_helpers.h"
#include "shell_ui/reader_menu_bars.h"
#include "shell_ui/small_dialogs.h"

namespace {

std::u16string Wide(const String& s) {
    return std::u16string(s.Data(), static_cast<size_t>(s.Length()));
}

// The passing note's bubble (one at a time) and how long it stays without a time of its own.
constexpr DWORD kPassingNoteId = 0x5EED;
constexpr uint32_t kPassingNoteMs = 3000;

// Addresses the reader cannot open: caption and texts.
constexpr uint32_t kErrorCaption = 5018, kSecureWebRefused = 5535, kNoProgramOpens = 5536;

// The library view's commands that toggle its file types 1, 2, 4 and 8.
uint32_t FileTypeCommand(uint32_t bit) {
    switch (bit) {
        case 1: return MenuItem::kShowHtml;
        case 2: return MenuItem::kShowText;
        case 4: return MenuItem::kShowPalmDoc;
        case 8: return MenuItem::kShowOtherFiles;
        default: return 0;
    }
}

ReaderController* MainController(AppShell* app) {
    ReaderCore* core = app ? app->Core() : nullptr;
    ReaderWindow* window = core ? core->MainWindow() : nullptr;
    return window ? window->Controller() : nullptr;
}

}  // namespace

LibraryView* LibraryViewToggles::View() const {
    ReaderController* controller = MainController(app_);
    return controller ? LibraryViewOf(controller->GetLibraryView()) : nullptr;
}

uint32_t LibraryViewToggles::FileTypeMask() const {
    LibraryView* view = View();
    return view ? view->FileTypes() : 15;
}

void LibraryViewToggles::ToggleFileType(uint32_t bit) {
    LibraryView* view = View();
    if (const uint32_t command = FileTypeCommand(bit); view && command) view->OnCommand(command);
}

bool ReaderBookReleaser::ReleaseBook(const Text& bookPath) {
    ReaderCore* core = app_ ? app_->Core() : nullptr;
    String wanted;
    if (!core || !bookPath.ToWide(wanted) || !wanted.ToLower()) return true;
    app_->ReleaseBooks([&wanted](String& path) { return path.ToLower() && path == wanted; });
    DocumentLoader* loader = core->Loader();
    return !loader || !loader->IsFileInUse(bookPath, false);
}

ShellServices::ShellServices(AppShell* app) : app_(app), toggles_(app), releaser_(app) {}

ShellServices::~ShellServices() = default;

ReaderController* ShellServices::Controller() const { return MainController(app_); }

bool ShellServices::CurrentBookFile(std::u16string& file, std::u16string& folder) const {
    ReaderController* controller = Controller();
    const Location* location = controller ? controller->GetCurrentLocation() : nullptr;
    Text name;
    String wide;
    if (!location || location->IsInternal() || location->IsBuiltInPage() ||
        !location->ToFileName(name) || !name.ToWide(wide) || wide.IsEmpty())
        return false;
    file = Wide(wide);
    const size_t slash = file.find_last_of(u'\\');
    folder = slash == std::u16string::npos ? std::u16string(u"\\") : file.substr(0, slash + 1);
    return true;
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

// A book may take "find" itself (its handler of that name); otherwise the find dialog.
bool ShellServices::ShowFind() {
    ReaderController* controller = Controller();
    auto* book = controller ? dynamic_cast<BookDocumentController*>(
                                  controller->GetDocumentController())
                            : nullptr;
    if (book && book->RunNamedHandler(String(u"find"))) return true;
    return ShowFindDialog();
}

// The find dialog's window goes with every OK or Cancel; the dialog itself stays with its
// controller, so the next showing has the last text (kept by the reader bar) and direction.
bool ShellServices::ShowFindDialog() {
    ReaderController* controller = Controller();
    if (!find_ || findController_ != controller) {
        find_.reset();
        state_ = std::make_unique<ControllerDialogState>(controller);
        auto* bar = controller ? dynamic_cast<ReaderMenuBar*>(controller->GetReaderBar()) : nullptr;
        find_ = std::make_unique<FindDialog>(state_.get(), bar);
        findController_ = controller;
    }
    return find_->Run(Owner(), controller, false);
}

void ShellServices::HideFindDialog() {
    if (find_ && find_->Window() && IsWindow(find_->Window())) ShowWindow(find_->Window(), SW_HIDE);
}

void ShellServices::ActivateFindDialog() {
    if (find_ && find_->Window() && IsWindow(find_->Window())) DialogPage::ReactivateModeless();
}

bool ShellServices::RunOptions(HWND owner, bool pendingGiven, bool pendingFullScreen) {
    ReaderController* controller = Controller();
    OptionsSheet sheet(controller, Dictionaries(), toggles_.View() ? &toggles_ : nullptr,
                       pendingGiven, pendingFullScreen);
    const bool ok = sheet.RunModal(owner, controller, true);
    ReaderSettings* settings = controller ? controller->GetSettings() : nullptr;
    if (ok && settings) {
        settings->ApplyToView();
        controller->RefreshSurface();
    }
    if (settings && controller->IsFullScreen() != (settings->fullScreen != 0)) {
        // Over a page, as the full-screen key does: the reader's bar goes too. A list window
        // (the caller with a pending value) keeps its own bar and shows the change itself.
        if (pendingGiven)
            SetFullScreen(settings->fullScreen != 0);
        else
            controller->ToggleFullScreen(true, true);
    }
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
    // The storages and book totals are the library's.
    LibraryMemoryState state(Controller(), Dictionaries());
    MemoryInfoDialog dialog(&state);
    return dialog.Run(owner ? owner : Owner(), Controller(), true);
}

bool ShellServices::ChooseFile(String& path) { return ShellFunctions::ChooseBookFile(Owner(), path); }

// The library's Properties sheet of the book, when the catalogue knows it.
bool ShellServices::ShowProperties(const String& fileName) {
    Library* library = Dictionaries();
    Text path;
    if (!library || !path.FromString(fileName)) return false;
    LibraryBook* book = nullptr;
    if (!library->FindBookByPath(path, &book) &&
        (!library->Refresh() || !library->FindBookByPath(path, &book)))
        return false;
    if (!book) return false;
    LibraryRow row(book);
    BookPropertiesSheet sheet(&row, library);
    return sheet.RunModal(Owner(), Controller(), false);
}

bool ShellServices::Beam(const String& path) {
    return ShellFunctions::BeamAvailable() && ShellFunctions::BeamSendFile(Owner(), Wide(path));
}

bool ShellServices::Beam(const Text& path) {
    String wide;
    return path.ToWide(wide) && Beam(wide);
}

bool ShellServices::OpenWithShell(const String& url) {
    const std::u16string target = Wide(url);
    // What cannot be opened is said, with its address, rather than left to show nothing.
    String lower(url);
    lower.ToLower();
    uint32_t why = Wide(lower).rfind(u"https:", 0) == 0 ? kSecureWebRefused : 0;
    if (!why && ShellFunctions::OpenDocument(Owner(), target)) return true;
    if (!why) why = kNoProgramOpens;
    const char16_t* caption = LoadResString(kErrorCaption);
    const char16_t* text = LoadResString(why);
    String message(text ? text : u"%1");
    ReplaceAll(message, u"%1", url);
    MessageBoxText(Owner(), String(caption ? caption : u""), message, MB_OK | MB_ICONERROR);
    return false;
}

bool ShellServices::ToggleFullScreen() {
    ReaderController* controller = Controller();
    if (!controller || !controller->GetSettings()) return false;
    const bool before = controller->IsFullScreen();
    controller->ToggleFullScreen(true, true);
    return controller->IsFullScreen() != before;
}

bool ShellServices::SetFullScreen(bool on) {
    return ShellFunctions::SetFullScreenWindow(Owner(), on);
}

bool ShellServices::StartRecorder(const String& path) {
    return ShellFunctions::StartRecorder(Owner(), Wide(path));
}

bool ShellServices::CopyToClipboard(const String& text) {
    return ShellFunctions::CopyTextToClipboard(Owner(), Wide(text));
}

// A passing note is a bubble of the shell that goes by itself; a new one replaces it.
void ShellServices::ShowText(const String& text, uint32_t milliseconds) {
    SHNotificationRemove(nullptr, kPassingNoteId);
    if (text.IsEmpty()) return;
    // The bubble shows markup: the text's own characters are escaped.
    std::u16string html = ShellFunctions::EscapeMarkup(Wide(text));
    for (size_t at = html.find(u'\n'); at != std::u16string::npos; at = html.find(u'\n', at))
        html.replace(at, 1, u"<br>");
    const uint32_t ms = milliseconds ? milliseconds : kPassingNoteMs;
    SHNOTIFICATIONDATA note{};
    note.cbStruct = sizeof note;
    note.dwID = kPassingNoteId;
    note.csDuration = (ms + 999) / 1000;
    note.hwndSink = Owner();
    note.pszHTML = html.c_str();
    SHNotificationAdd(&note);
}

bool ShellServices::ShowPopupMenu(const Point& at, const PopupMenuEntry* entries, uint32_t count) {
    POINT screen{at.x, at.y};
    if (HWND owner = Owner()) ClientToScreen(owner, &screen);
    const int32_t command = ChoosePopupCommand(Point{screen.x, screen.y}, entries, count);
    if (command < 0) return false;
    ReaderController* controller = Controller();
    if (!controller) return false;
    controller->OnCommand(command, false);
    return true;
}

int32_t ShellServices::ChoosePopupCommand(const Point& screen, const PopupMenuEntry* entries,
                                          uint32_t count) {
    ReaderController* controller = Controller();
    if (!controller || !entries || count == 0) return -1;
    ReaderSettings* settings = controller->GetSettings();
    // The menu runs its own message loop, in which the book or the window may change: what
    // the chosen command acts on is looked up again once the menu has gone.
    const auto disabled = [this](int32_t command) {
        ReaderController* now = Controller();
        auto* book =
            now ? dynamic_cast<BookDocumentController*>(now->GetDocumentController()) : nullptr;
        return book && !book->IsCommandEnabled(command);
    };
    POINT at{screen.x, screen.y};
    if (HWND owner = Owner()) ScreenToClient(owner, &at);
    return ShellFunctions::RunPopupMenu(Owner(), at.x, at.y, entries, count,
                                        settings && settings->fullScreen != 0, disabled);
}

bool ShellServices::PlayTracks(const String& argument, bool record) {
    const ShellFunctions::PlaylistArgument playlist =
        ShellFunctions::ParsePlaylistArgument(Wide(argument));
    std::u16string current, folder, path;
    ReaderCore* core = app_ ? app_->Core() : nullptr;
    DocumentLoader* loader = core ? core->Loader() : nullptr;
    if (!loader || !CurrentBookFile(current, folder)) return false;
    if (playlist.name.empty())
        path = current;
    else if (!ShellFunctions::ResolveBookFile(folder, playlist.name, path))
        return false;
    Location location;
    RefPtr<Resource> book;
    if (location.Parse(String(path.c_str()), false))
        book = RefPtr<Resource>::Adopt(loader->Open(location, nullptr, nullptr));
    const std::u16string name = playlist.name.empty() ? current : playlist.name;
    std::u16string written;
    const bool ok =
        ShellFunctions::WriteBookPlaylist(Owner(), book.Get(), name, playlist.tracks, written);
    book.Reset();
    if (!ok || !ShellFunctions::OpenPlaylist(Owner(), written)) return false;
    if (record) ShellFunctions::StartRecorder(Owner(), ReaderController::kRecordingPath);
    return true;
}

bool ShellServices::Dial(const String& number) { return ShellFunctions::PhoneCall(Wide(number)); }

bool ShellServices::OpenBookFile(const String& name) {
    std::u16string current, folder;
    return CurrentBookFile(current, folder) &&
           ShellFunctions::OpenWithAssociatedApp(Owner(), folder, Wide(name));
}

bool ShellServices::OpenWithApplication(const String& program, const String& parameters) {
    std::u16string current, folder;
    if (!CurrentBookFile(current, folder) && !parameters.IsEmpty()) return false;
    return ShellFunctions::OpenWithApplication(Owner(), folder, Wide(program), Wide(parameters));
}

#include "shell/app_shell.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <new>
#include <thread>

#include "core/resources.h"
#include "core/text.h"
#include "document/location/location.h"
#include "document/sources/document_loader.h"
#include "library/embedded_library.h"
#include "library_ui/library_dictionaries.h"
#include "library_ui/library_list_windows.h"
#include "platform/dialog/answers.h"
#include "platform/dialog/dialog.h"
#include "platform/kernel/system_info.h"
#include "platform/last_error.h"
#include "platform/menu/menu_bar.h"
#include "platform/resources/device_resources.h"
#include "platform/window/keys.h"
#include "reader/book_document_controller.h"
#include "reader/book_document_controller_factory.h"
#include "reader/dictionary_lookups.h"
#include "reader/reader_controller.h"
#include "reader/reader_core.h"
#include "reader/reader_window.h"
#include "shell/driver_script.h"
#include "shell/native_search_field.h"
#include "shell/program_status.h"
#include "shell/shell_services.h"
#include "shell/tts/speech_plugin.h"
#include "shell_ui/dialog_page.h"
#include "shell_ui/reader_menu_bars.h"

namespace {
int driverResult = 0;
}  // namespace

void IdleDocumentController::NotifyCommand(int32_t id) {
    if (sink_) sink_->OnCommandNotice(this, id, cookie_);
}

DocumentController* IdleDocumentControllerFactory::CreateDocumentController(ScriptHeap*) {
    return new (std::nothrow) IdleDocumentController();
}

bool IsUnderFolder(const String& path, const String& folder) {
    if (folder.IsEmpty() || path.Length() < folder.Length()) return false;
    String head, wanted(folder);
    head.AssignSub(path, 0, folder.Length());
    return head.ToLower() && wanted.ToLower() && head == wanted;
}

AppShell::AppShell() {
    services_ = this;
    shellFlag_ = true;
    // The first paint only lays the view out.
    layoutPending_ = true;
}

namespace {
// The shell whose loop runs, for the speech's barge-in; the shell is deleted with its window,
// which can go while the loop still runs (a second start takes the book over).
AppShell* loopShell = nullptr;
}  // namespace

AppShell::~AppShell() {
    if (loopShell == this) loopShell = nullptr;
    // Whatever part of the core a failed start made is closed here too.
    // A start that failed leaves the main window to the core, which closes it.
    ReleaseReaderWindow();
    CloseCore();
    PostQuitMessage(0);
}

void AppShell::CloseCore() {
    ReaderWindow* main = core_ ? core_->MainWindow() : nullptr;
    if (main && main->Controller()) main->Controller()->Lookups().SetDictionaries(nullptr);
    dictionaries_.reset();
    library_.reset();
    if (core_) {
        core_->Close();
        core_.reset();
    }
}

void AppShell::Destroy() {
    // The link-target frames own their reader windows: they go before the core closes the
    // windows it still lists.
    std::vector<HWND> frames;
    frames.swap(frames_);
    for (HWND frame : frames)
        if (IsWindow(frame)) DestroyWindow(frame);
    MainFrame::Destroy();
    CloseCore();
}

namespace {
MainFrame* FrameOf(HWND window) {
    if (!IsWindow(window)) return nullptr;
    return reinterpret_cast<MainFrame*>(GetWindowLongPtrW(window, GWL_USERDATA));
}
}  // namespace

bool AppShell::OpenFrame(ReaderWindow* window, const Rect* r, const String* caption, bool layout,
                         bool topmost) {
    if (!window || !window_) return false;
    auto made = std::make_unique<MainFrame>(window);
    RECT area{};
    if (r) area = RECT{r->x, r->y, r->x + r->width, r->y + r->height};
    if (!made->Create(r ? &area : nullptr, caption, layout, topmost, nullptr)) {
        // Never bound to a window: the reader window stays the caller's.
        made->ReleaseReaderWindow();
        return false;
    }
    // Its window owns it from here: WM_DESTROY deletes it.
    MainFrame* frame = made.release();
    frames_.push_back(frame->Window());
    // The link that opened it fills it: no default view.
    frame->ShowAndStart(nullptr, false, true);
    return true;
}

bool AppShell::CloseFrame(ReaderWindow* window) {
    for (size_t i = 0; i < frames_.size(); ++i) {
        MainFrame* frame = FrameOf(frames_[i]);
        if (!frame || frame->GetReaderWindow() != window) continue;
        HWND handle = frames_[i];
        frames_.erase(frames_.begin() + static_cast<std::ptrdiff_t>(i));
        // WM_DESTROY deletes the frame and its reader window.
        DestroyWindow(handle);
        return true;
    }
    return false;
}

int32_t AppShell::FrameCount() {
    // Frames the user closed have left their window list entry behind.
    frames_.erase(std::remove_if(frames_.begin(), frames_.end(),
                                 [](HWND w) { return FrameOf(w) == nullptr; }),
                  frames_.end());
    return static_cast<int32_t>(frames_.size());
}

DocumentLoader* AppShell::Loader() const { return core_ ? core_->Loader() : nullptr; }

void AppShell::TellLoader(void (DocumentLoader::*notice)(const Text&), const String& path) {
    Text p;
    if (DocumentLoader* loader = Loader(); loader && p.FromString(path)) (loader->*notice)(p);
}

void AppShell::OnMediaInserted(const String& path) {
    TellLoader(&DocumentLoader::RefreshLocation, path);
}

void AppShell::OnMediaRemoved(const String& path) {
    TellLoader(&DocumentLoader::RefreshLocationBooks, path);
}

void AppShell::OnDriveRemoved(const String& path) {
    TellLoader(&DocumentLoader::RemoveLocation, path);
}

// The catalogue names the card after its folder itself.
void AppShell::OnDriveAdded(const String& path, const String& /*item*/) {
    TellLoader(&DocumentLoader::AddLocation, path);
}

void AppShell::ReleaseBooksUnder(const String& folder) {
    // A book on the screen goes when its card went.
    ReleaseBooks([&folder](String& path) { return IsUnderFolder(path, folder); });
}

void AppShell::ReleaseBooks(const std::function<bool(String&)>& matches) {
    // In every reader window (a link's window may show one too); the library takes its place.
    if (!core_) return;
    for (int32_t i = 0; i < core_->WindowCount(); ++i) {
        ReaderWindow* window = core_->WindowAt(i);
        DocumentController* document = window ? window->Document() : nullptr;
        const Location* location = document ? document->CurrentLocation() : nullptr;
        Text file;
        String path;
        if (location && location->ToFileName(file) && file.ToWide(path)) {
            String shown(path);
            if (matches(path)) document->OpenLibrary(shown, true);
        }
        // Back passes the pages of a book that is gone by rather than failing to open them.
        if (auto* book = dynamic_cast<BookDocumentController*>(window ? window->Document() : nullptr))
            book->History().DropFiles(matches);
    }
}

void AppShell::ShowLibrary(const String& /*folder*/) {
    DocumentController* document = readerWindow_ ? readerWindow_->Document() : nullptr;
    if (document) document->ActivateLink(String(u"oeb:library"));
}

void AppShell::ToggleFullScreen() {
    if (readerShell_) readerShell_->ToggleFullScreen();
}

BookDocumentController* AppShell::SpeakingDocument() const {
    DocumentController* document = readerWindow_ ? readerWindow_->Document() : nullptr;
    return dynamic_cast<BookDocumentController*>(document);
}

bool AppShell::IsSpeaking() {
    BookDocumentController* document = SpeakingDocument();
    return document && document->Speech().IsSpeaking();
}

void AppShell::StopSpeech() {
    if (BookDocumentController* document = SpeakingDocument()) document->Speech().Stop();
}

void AppShell::ToggleSpeech() {
    if (BookDocumentController* document = SpeakingDocument()) document->Speech().Pause();
}

bool AppShell::CreateCore(bool withStore) {
    core_.reset(new (std::nothrow) ReaderCore());
    if (!core_) return false;
    core_->SetHost(this, readerShell_);
    core_->SetDocumentControllerFactory(documentFactory_ ? documentFactory_ : &documents_);
    core_->SetViewFactories(viewFactory_, popupFactory_ ? popupFactory_ : &widgetPopups_);
    core_->SetFrameHost(this);
    if (core_->Open(withStore) != 0) {
        // Nothing can be shown yet: the one line on standard error says what stopped the start.
        if (!core_->StoreFailure().empty())
            std::fprintf(stderr, "folivant: cannot use the configuration file %s\n",
                         core_->StoreFailure().c_str());
        return false;
    }
    if (core_->CreateLoader(0) != 0) return false;
    if (core_->Loader()) library_.reset(new (std::nothrow) EmbeddedLibrary(*core_->Loader()));
    ReaderWindow* main = core_->MainWindow();
    if (library_) dictionaries_.reset(new (std::nothrow) LibraryDictionaries(library_->Catalogue()));
    if (main && main->Controller()) main->Controller()->Lookups().SetDictionaries(dictionaries_.get());
    SetReaderWindow(main);
    if (main && main->Document()) main->Document()->SetEventSink(this, 0);
    style_ = WS_VISIBLE;
    return RegisterWindowClass();
}

bool AppShell::RegisterWindowClass() {
    WNDCLASSW wc{};
    wc.style = 3;  // CS_HREDRAW | CS_VREDRAW
    wc.lpfnWndProc = &MainFrame::WindowProc;
    wc.hInstance = instance_;
    wc.hIcon = LoadIconW(instance_, MAKEINTRESOURCEW(kIconId));
    wc.lpszClassName = kClassName;
    if (RegisterClassW(&wc)) return true;
    // A class left by an earlier shell of this process is the same class.
    return GetLastError() == 1410;
}

namespace {
// How long a second start waits for the first reader to close: 20 seconds of real time (the
// other process keeps its own clock), the first half of it for the first to take the close.
constexpr auto kHandOverTime = std::chrono::seconds(20);
constexpr UINT kCloseTakenMs = 10000;
constexpr auto kHandOverStep = std::chrono::milliseconds(100);

enum class HandOver { kGone, kStayed, kSilent };

// Asks the reader running on the device to close (ending a box or dialog it shows first) and
// waits, boundedly, for it to go. One that gives no answer is never taken for gone: its device
// stays its own.
HandOver CloseRunningReader(HWND other, const WCHAR* className) {
    const auto deadline = std::chrono::steady_clock::now() + kHandOverTime;
    DWORD_PTR ignored = 0;
    const bool answered =
        SendMessageTimeoutW(other, WM_CLOSE, 0, 0, SMTO_NORMAL, kCloseTakenMs, &ignored) != 0;
    // Gone once its process has ended: it still writes the settings and the books' side files
    // after its window closes, and two readers writing them at once lose one of the writes.
    while (FindWindowW(className, nullptr) || fvt::DeviceHeldByAnotherProcess()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return answered ? HandOver::kStayed : HandOver::kSilent;
        std::this_thread::sleep_for(kHandOverStep);
    }
    return HandOver::kGone;
}

void TellNotOpened(HandOver handOver) {
    std::fprintf(stderr, "folivant: the reader already running on this device %s; the book is "
                         "not opened\n",
                 handOver == HandOver::kSilent ? "does not answer" : "did not close");
}
}  // namespace

int AppShell::Run(HINSTANCE instance, String& commandLine, HWND parent) {
    instance_ = instance;
    if (!parent) {
        HWND other = FindWindowW(kClassName, nullptr);
        // A driven run never hands its book to another instance nor closes it: the script
        // would run against nothing, or against a person's reading.
        if (other && DriverScript::Driven()) {
            DriverScript::SetFailure("another instance of the reader runs on this device");
            driverResult = -1;
            return kRaisedOther;
        }
        if (other && commandLine.IsEmpty()) {
            if (SetForegroundWindow(other) || GetLastError() != ERROR_TIMEOUT) return kRaisedOther;
            std::fprintf(stderr, "folivant: the reader already running on this device does not "
                                 "answer\n");
            return kFailed;
        }
        // The other instance closes; this one starts once it has gone. One that stays (it cannot
        // close, or does not answer) keeps the device: this one says so.
        if (other) {
            const HandOver handOver = CloseRunningReader(other, kClassName);
            if (handOver != HandOver::kGone) {
                TellNotOpened(handOver);
                return kFailed;
            }
        }
        String lower(commandLine);
        lower.ToLower();
        if (lower.EqualsAscii("/quit")) return kQuit;
        if (lower.EqualsAscii("/restart")) commandLine.SetEmpty();
    }
    if (!CreateCore(parent == nullptr)) return kFailed;
    const String caption(u"Folivant Reader");
    if (!Create(nullptr, &caption, true, false, parent)) return kFailed;
    if (!ShowAndStart(&commandLine, false, false)) return kFailed;
    if (parent) return kHosted;
    // The shell is deleted when its window goes; nothing of it is touched after the loop.
    MessageLoop();
    return kRanLoop;
}

namespace {
bool IsUserInput(UINT message) {
    return (message >= WM_KEYDOWN && message <= 0x108) ||
           (message >= WM_LBUTTONDOWN && message <= 0x20A);
}
}  // namespace

bool AppShell::TakeBargeIn(const MSG& msg) {
    if (!IsUserInput(msg.message)) return false;
    if (bargeRelease_.message && msg.message == bargeRelease_.message &&
        msg.hwnd == bargeRelease_.window &&
        (msg.message != WM_KEYUP || msg.wParam == bargeRelease_.key)) {
        bargeRelease_ = Release();
        return true;
    }
    // A new press: a release still awaited is no longer the one that ends the press taken.
    if (msg.message == WM_LBUTTONDOWN || msg.message == WM_KEYDOWN) bargeRelease_ = Release();
    // The frame's own input stops the speech in its window procedure.
    if (!msg.hwnd || !window_ || msg.hwnd == window_) return false;
    // The soft-key bar in front stands apart from the windows, its owner's all the same.
    const HWND bar = fvt::ActiveMenuBar();
    bool ours = false;
    HWND w = msg.hwnd;
    for (int depth = 0; w && !ours && depth < 32; ++depth) {
        ours = w == window_ || w == bar;
        HWND parent = GetParent(w);
        w = parent ? parent : GetWindow(w, GW_OWNER);
    }
    if (!ours || !IsSpeaking()) return false;
    StopSpeech();
    if (msg.message == WM_LBUTTONDOWN)
        bargeRelease_ = Release{msg.hwnd, WM_LBUTTONUP, 0};
    else if (msg.message == WM_KEYDOWN)
        bargeRelease_ = Release{msg.hwnd, WM_KEYUP, msg.wParam};
    return true;
}

bool TakeSpeechBargeIn(const MSG& msg) {
    return loopShell && loopShell->TakeBargeIn(msg);
}

int AppShell::MessageLoop() {
    // Read once: the object is gone by the time the loop ends.
    HWND window = window_;
    loopShell = this;
    HACCEL table = LoadAcceleratorsW(instance_, MAKEINTRESOURCEW(kAcceleratorsId));
    const int bad = DriverScript::RunFromEnvironment();
    if (bad != 0) driverResult = bad;
    // Ends the program the ordinary way, so what it keeps is saved. A script that ran to its end
    // leaves the program to the person at the window; headless, nobody is left to end it.
    if (IsWindow(window) && DriverScript::Driven() && (bad != 0 || !fvt::AnswersFromUser()))
        PostMessageW(window, WM_CLOSE, 0, 0);
    MSG msg;
    BOOL got;
    while ((got = GetMessageW(&msg, nullptr, 0, 0)) != 0) {
        if (got == -1) break;
        // Find, the modeless dialog, takes its Enter (Find next), Escape and Tab.
        if (fvt::TakeModelessDialogKey(msg)) continue;
        if (TakeSpeechBargeIn(msg)) continue;
        if (TranslateAcceleratorW(window, table, &msg) == 0) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    loopShell = nullptr;
    return got;
}

int AppShellDriverResult() { return driverResult; }

void AppShell::OnCommandNotice(DocumentController* /*controller*/, int32_t id,
                               uint32_t /*cookie*/) {
    // A command that saved to a device that refused it is told at once.
    ReportWriteFailures(Window());
    // The player's state changed: the audio bar's play and pause items follow it.
    if (id != kAudioStateCommand) return;
    ReaderController* controller = readerWindow_ ? readerWindow_->Controller() : nullptr;
    if (ReaderBar* bar = controller ? controller->GetAudioBar() : nullptr) bar->UpdateItems();
}

// The reading position is kept as the reader goes, not only when the book closes: a device
// that loses power keeps the page last shown.
void AppShell::SaveMainPosition() {
    ReaderController* controller = readerWindow_ ? readerWindow_->Controller() : nullptr;
    DocumentController* document = controller ? controller->GetDocumentController() : nullptr;
    if (document) document->SaveReadingPosition(false);
}

void AppShell::OnDocumentReady(DocumentController* /*controller*/, uint32_t /*cookie*/) {
    SaveMainPosition();
}

void AppShell::OnAnnotationNotice(DocumentController* /*controller*/, uint32_t /*cookie*/,
                                  int32_t /*index*/) {
    SaveMainPosition();
}

void ParseCommandLine(String& out) {
    const WCHAR* line = GetCommandLineW();
    out.SetEmpty();
    if (!line) return;
    String text(line);
    // Only a real pair of quotes is dropped: a lone quote or a quoted part followed by more
    // text stays as it is.
    if (text.Length() >= 2 && text[0] == u'"' && text[text.Length() - 1] == u'"')
        out.AssignSub(text, 1, text.Length() - 2);
    else
        out.Assign(text);
}

namespace {

// The library's list windows (the library view and the annotations list) over the catalogue the
// shell embeds; the soft-key bars' factory hands them on here.
class LibraryListFactory final : public ReaderViewFactory {
public:
    std::unique_ptr<ReaderBar> CreateBar(Bar, ReaderController*) override { return nullptr; }
    std::unique_ptr<ReaderListWindow> CreateListWindow(List kind, ReaderController* controller,
                                                       HWND parent) override {
        EmbeddedLibrary* catalogue = shell ? shell->Catalogue() : nullptr;
        return CreateLibraryListWindow(kind, controller, parent,
                                       catalogue ? &catalogue->Catalogue() : nullptr, services);
    }
    AppShell* shell = nullptr;
    LibraryViewServices* services = nullptr;
};

}  // namespace

int WinMain(HINSTANCE instance, HINSTANCE /*previous*/, const char16_t* /*commandLine*/,
            int /*show*/) {
    String commandLine;
    ParseCommandLine(commandLine);
    Resources::SetInstance(instance);
    // Documents open through the reader's document controller; it outlives the shell, which the
    // window's destruction deletes inside the loop.
    BookDocumentControllerFactory books;
    // Speech through the text-to-speech plug-in, when one is installed.
    SpeechPluginFactory speech;
    books.SetSpeechClients(&speech);
    // Record-set pages type into the window's own edit control.
    NativeSearchFields searchFields;
    books.SetSearchFields(&searchFields);
    // The soft-key bars of the reader's views, and the library's list windows.
    LibraryListFactory lists;
    MenuBarFactory bars(&lists);
    std::unique_ptr<AppShell> shell(new (std::nothrow) AppShell());
    if (!shell) return 1;  // nothing started: a failure, not a clean exit
    lists.shell = shell.get();
    // The dialogs and hand-offs of the reader and the library view; they outlive the shell.
    ShellServices services(shell.get());
    lists.services = &services;
    shell->SetReaderShell(&services);
    DialogPage::SetShell(&services);
    shell->SetDocumentFactory(&books);
    shell->SetViewFactories(&bars, nullptr);
    const int result = shell->Run(instance, commandLine, nullptr);
    // After the loop the window's destruction has deleted the shell already.
    if (result == AppShell::kRanLoop)
        (void)shell.release();
    else
        shell.reset();
    DialogPage::SetShell(nullptr);
    if (result == AppShell::kFailed) NoteProgramFailure();
    // What the shut-down could not save.
    ReportWriteFailures(nullptr);
    return ProgramStatus();
}

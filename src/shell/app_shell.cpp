#include "shell/app_shell.h"

#include <new>

#include "core/resources.h"
#include "core/text.h"
#include "document/location/location.h"
#include "document/sources/document_loader.h"
#include "library/embedded_library.h"
#include "platform/kernel/system_info.h"
#include "platform/last_error.h"
#include "platform/resources/resources.h"
#include "platform/window/keys.h"
#include "reader/reader_core.h"
#include "reader/reader_window.h"
#include "shell/driver_script.h"

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

AppShell::~AppShell() {
    // Whatever part of the core a failed start made is closed here too.
    SetReaderWindow(nullptr);
    CloseCore();
    PostQuitMessage(0);
}

void AppShell::CloseCore() {
    library_.reset();
    if (core_) {
        core_->Close();
        core_.reset();
    }
}

void AppShell::Destroy() {
    MainFrame::Destroy();
    CloseCore();
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
    // The book on the screen goes when its card went; the library takes its place.
    DocumentController* document = readerWindow_ ? readerWindow_->Document() : nullptr;
    const Location* location = document ? document->CurrentLocation() : nullptr;
    Text file;
    String path;
    if (location && location->ToFileName(file) && file.ToWide(path) && IsUnderFolder(path, folder))
        document->ActivateLink(String(u"oeb:library"));
}

void AppShell::ShowLibrary(const String& /*folder*/) {
    DocumentController* document = readerWindow_ ? readerWindow_->Document() : nullptr;
    if (document) document->ActivateLink(String(u"oeb:library"));
}

bool AppShell::CreateCore(bool withStore) {
    core_.reset(new (std::nothrow) ReaderCore());
    if (!core_) return false;
    core_->SetHost(this, nullptr);
    core_->SetDocumentControllerFactory(&documents_);
    if (core_->Open(withStore) != 0) return false;
    if (core_->CreateLoader(0) != 0) return false;
    if (core_->Loader()) library_.reset(new (std::nothrow) EmbeddedLibrary(*core_->Loader()));
    ReaderWindow* main = core_->MainWindow();
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

int AppShell::Run(HINSTANCE instance, String& commandLine, HWND parent) {
    instance_ = instance;
    if (!parent) {
        HWND other = FindWindowW(kClassName, nullptr);
        if (other && commandLine.IsEmpty()) {
            SetForegroundWindow(other);
            return kRaisedOther;
        }
        // The other instance has closed when this returns.
        if (other) SendMessageW(other, WM_CLOSE, 0, 0);
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

int AppShell::MessageLoop() {
    // Read once: the object is gone by the time the loop ends.
    HWND window = window_;
    HACCEL table = LoadAcceleratorsW(instance_, MAKEINTRESOURCEW(kAcceleratorsId));
    const int bad = DriverScript::RunFromEnvironment();
    if (bad != 0) {
        driverResult = bad;
        // Ends the program the ordinary way, so what it keeps is saved.
        if (IsWindow(window)) PostMessageW(window, WM_CLOSE, 0, 0);
    }
    MSG msg;
    BOOL got;
    while ((got = GetMessageW(&msg, nullptr, 0, 0)) != 0) {
        if (got == -1) break;
        if (TranslateAcceleratorW(window, table, &msg) == 0) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return got;
}

int AppShellDriverResult() { return driverResult; }

void AppShell::OnCommandNotice(DocumentController* /*controller*/, int32_t /*id*/,
                               uint32_t /*cookie*/) {
    // The audio soft-key bar (command 112) is refreshed here once the bars exist.
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

int WinMain(HINSTANCE instance, HINSTANCE /*previous*/, const char16_t* /*commandLine*/,
            int /*show*/) {
    String commandLine;
    ParseCommandLine(commandLine);
    Resources::SetInstance(instance);
    AppShell* shell = new (std::nothrow) AppShell();
    if (!shell) return 0;
    const int result = shell->Run(instance, commandLine, nullptr);
    // With result 0 the window's destruction already deleted the shell.
    if (result != AppShell::kRanLoop) delete shell;
    return 0;
}

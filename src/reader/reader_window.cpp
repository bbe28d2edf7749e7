#include "reader/reader_window.h"

#include <new>

#include "core/geometry.h"
#include "graphics/core/drawing_surface.h"
#include "platform/window/window.h"
#include "reader/document_controller.h"
#include "reader/reader_controller.h"
#include "reader/reader_core.h"
#include "reader/reader_host.h"
#include "reader/reader_settings.h"

ReaderWindow::ReaderWindow(ReaderCore* core) : core_(core) {}

ReaderWindow::~ReaderWindow() {
    if (document_) {
        document_->Shutdown();
        if (controller_) controller_->SetDocumentController(nullptr);
        if (settings_) settings_->SetDocumentController(nullptr);
        document_.reset();
    }
    display_.Detach();
    if (surface_) surface_->AttachDisplaySurface(nullptr);
    // The surface (and the messages and timers it serves) goes before the controller it calls.
    DestroySurface();
    controller_.reset();
    timerHost_.reset();
    if (settings_) {
        settings_->SetReaderController(nullptr);
        // Only the main window writes the global record.
        if (IsMain() && !settings_->Save()) settings_->NoteUnsaved();
        settings_.reset();
    }
    if (core_) core_->RemoveWindow(this);
    core_ = nullptr;
    display_.FreeBuffers();
}

bool ReaderWindow::IsMain() const {
    return core_ && core_->MainWindow() == this;
}

bool ReaderWindow::NameFromAddress(const char* prefix) {
    String name;
    if (!name.AppendAscii(prefix)) return false;
    if (!name.AppendUnsigned(reinterpret_cast<uintptr_t>(this), 16)) return false;
    name_.Assign(name);
    return true;
}

int ReaderWindow::Open(int) {
    if (core_) core_->AddWindow(this);
    controller_.reset(new (std::nothrow) ReaderController());
    if (!controller_) return 1;
    if (core_) {
        controller_->SetPaths(core_->Paths());
        controller_->SetConfigurationStore(core_->Store());
        controller_->SetShell(core_->Shell());
        controller_->SetViewFactory(core_->ViewFactory());
        controller_->SetPopupFactory(core_->PopupFactory());
    }
    return OnOpened() != 0 ? 1 : 0;
}

int ReaderWindow::CreateController(HWND window) {
    if (!core_ || !controller_) return 1;
    settings_.reset(new (std::nothrow) ReaderSettings());
    if (!settings_) return 1;
    settings_->SetReaderController(controller_.get());
    settings_->SetPaths(core_->Paths());
    if (core_->Store()) settings_->SetConfigurationStore(core_->Store());
    if (!settings_->Load(core_->Store() == nullptr)) return 1;
    settings_->RestoreProfile();
    if (CreateSurface(window) != 0) return 1;

    DocumentControllerFactory* factory = core_->Factory();
    document_.reset(factory ? factory->CreateDocumentController(core_->Heap()) : nullptr);
    if (!document_) return 1;
    document_->SetLogDatabase(core_->LogDatabase());
    document_->SetDocumentLoader(core_->Loader());
    document_->SetSettings(settings_.get());
    document_->SetDrawingSurface(surface_.get());
    document_->SetReaderController(controller_.get());
    document_->SetReaderWindow(this);
    if (IsMain()) document_->SetRunMarkerStore(core_->Store());

    controller_->SetLogDatabase(core_->LogDatabase());
    controller_->SetPaths(core_->Paths());
    controller_->SetDocumentLoader(core_->Loader());
    controller_->SetConfigurationStore(core_->Store());
    controller_->SetSettings(settings_.get());
    controller_->SetDocumentController(document_.get());
    controller_->SetDrawingSurface(surface_.get());
    controller_->InitPopupCallbacks();
    settings_->SetDrawingSurface(surface_.get());
    settings_->SetDocumentController(document_.get());
    if (IsMain()) core_->ReportSetAside();
    return OnControllerCreated() != 0 ? 1 : 0;
}

int ReaderWindow::CreateSurface(HWND window) {
    if (!controller_) return 1;
    surface_.reset(new (std::nothrow) DrawingSurface(&controller_->Fonts()));
    if (!surface_) return 1;
    surface_->SetWindow(window);
    if (settings_) surface_->SetClearType(settings_->clearType != 0);
    return 0;
}

void ReaderWindow::DestroySurface() {
    display_.StopTimer();
    if (!surface_) return;
    if (controller_) controller_->SetDrawingSurface(nullptr);
    if (settings_) settings_->SetDrawingSurface(nullptr);
    surface_.reset();
}

void ReaderWindow::PlaceWindow(const Rect& r) {
    if (surface_ && surface_->Window())
        SetWindowPos(surface_->Window(), nullptr, r.x, r.y, r.width, r.height, SWP_NOZORDER);
}

bool ReaderWindow::AttachToWindow(HWND window) {
    if (!surface_ || !controller_ || !window) return false;
    surface_->SetWindow(window);
    std::unique_ptr<WindowTimers> host(new (std::nothrow) WindowTimers(window));
    if (!host) return false;
    controller_->SetTimerHost(host.get());
    timerHost_ = std::move(host);
    // Its own frame gets its close request and its player's notices, also for a window a
    // link opened (the program's main window would be the wrong one).
    controller_->SetMainWindow(window);
    Size client;
    surface_->GetClientSize(client, true);
    display_.Attach(surface_.get(), controller_->GetLink(), client.width, client.height, true);
    return true;
}

ReaderWindow* ReaderWindow::OpenTarget(ReaderCore* core, String& target, const Rect* r,
                                       const String* caption, bool layout, bool topmost) {
    if (!core || !core->FrameHost()) return nullptr;
    std::unique_ptr<ReaderWindow> window(new (std::nothrow) ReaderWindow(core));
    if (!window) return nullptr;
    // A window that did not come up whole is closed, not shown half made.
    if (window->Open(0) != 0 || window->CreateController(nullptr) != 0) return nullptr;
    if (target.EqualsAscii("_blank")) {
        if (!window->NameFromAddress("wnd")) return nullptr;
    } else {
        window->SetName(target);
    }
    String title;
    if (!caption && window->Document() && window->Document()->GetTitle(title)) caption = &title;
    if (!core->FrameHost()->OpenFrame(window.get(), r, caption, layout, topmost)) return nullptr;
    target.Assign(window->Name());
    return window.release();  // the frame's now
}

// The application core: the objects every reader window shares (application paths, script heap,
// document loader, log database, configuration store) and the list of reader windows, made at
// start-up by the shell and taken down in order at exit.
//
// Start-up: Open (temporary files swept, paths, the stores, the script heap, the main window and
// its reader controller), then CreateLoader (the loader and the main window's settings, surface
// and document controller). Each step returns 0 or 1; what was made before a failure stays in
// the core and Close frees it. Close runs windows, loader, script heap, store, log database and
// paths, in that order.
//
// A configuration file that could not be read is set aside by the store before a fresh one is
// made; the user is told once the main window's controller exists (kSetAsideMessage).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "core/segmented_array.h"
#include "core/string.h"
#include "document/sources/loader_services.h"

class AppPaths;
class AppShellWindow;
class ConfigurationStore;
class DocumentController;
class DocumentControllerFactory;
class DocumentLoader;
class ReaderFrameHost;
class ReaderShell;
class ReaderViewFactory;
class TextPopupFactory;
class ReaderWindow;
class ScriptHeap;
class SortedRecordDatabase;

class ReaderCore : private LoaderMessages {
public:
    static constexpr uint32_t kSetAsideMessage = 5520;
    static constexpr int32_t kErrorCaption = 5018;

    ReaderCore();
    // Closes what is still open.
    virtual ~ReaderCore();
    ReaderCore(const ReaderCore&) = delete;
    ReaderCore& operator=(const ReaderCore&) = delete;

    // What the shell gives before Open: its window (for the paths and metrics), its dialogs
    // and shell functions, the library catalogue for the loader and the maker of document
    // controllers. Any may be null.
    void SetHost(const AppShellWindow* window, ReaderShell* shell) {
        shellWindow_ = window;
        shell_ = shell;
    }
    void SetCatalogue(LoaderCatalogue* catalogue) { catalogue_ = catalogue; }
    void SetDocumentControllerFactory(DocumentControllerFactory* factory) { factory_ = factory; }
    // The makers of the windows' bars, list windows and text pop-ups; either may be null.
    void SetViewFactories(ReaderViewFactory* views, TextPopupFactory* popups) {
        viewFactory_ = views;
        popupFactory_ = popups;
    }
    // The maker of frame windows for link-target windows; none: no such window opens.
    void SetFrameHost(ReaderFrameHost* host) { frameHost_ = host; }
    ReaderFrameHost* FrameHost() const { return frameHost_; }
    ReaderViewFactory* ViewFactory() const { return viewFactory_; }
    TextPopupFactory* PopupFactory() const { return popupFactory_; }

    // 0 on success, 1 on failure.
    int Open(bool withStore);
    int CreateLoader(int flag);
    void Close();
    // Opens the store for a core opened without it, and gives it to every window.
    int OpenConfigurationStore();

    void AddWindow(ReaderWindow* window);
    void RemoveWindow(ReaderWindow* window);
    // The first listed window's controller whose name equals the name exactly.
    DocumentController* FindControllerByName(const String& name) const;

    // A non-zero result fails the start-up.
    virtual int OnPathsReady() { return 0; }
    // Before the main window repaints for a deferred repaint.
    virtual void OnDeferredRepaint() {}

    ScriptHeap* Heap() const { return heap_.get(); }
    const AppPaths* Paths() const { return paths_.get(); }
    DocumentLoader* Loader() const { return loader_.get(); }
    SortedRecordDatabase* LogDatabase() const { return log_.get(); }
    ConfigurationStore* Store() const { return store_.get(); }
    ReaderWindow* MainWindow() const { return main_; }
    int32_t WindowCount() const { return windows_.Count(); }
    ReaderWindow* WindowAt(int32_t i) const;
    ReaderShell* Shell() const { return shell_; }
    const AppShellWindow* ShellWindow() const { return shellWindow_; }
    DocumentControllerFactory* Factory() const { return factory_; }
    // Why the configuration file could not be opened ("<device path>: <reason>"), empty when it
    // was.
    const std::string& StoreFailure() const { return storeFailure_; }
    // True when the last store open set a damaged file aside and the user was not told yet.
    bool StoreWasSetAside() const { return setAsidePending_; }
    // Tells the user about a set-aside file once (by the main window's controller).
    void ReportSetAside();

private:
    int OpenStore();
    void GiveLoaderOptions();
    // LoaderMessages: the loader's failures, told through the main window.
    void ShowMessage(uint32_t textId) override;
    void ShowFileMessage(uint32_t textId, const Text& path) override;

    std::string storeFailure_;
    const AppShellWindow* shellWindow_ = nullptr;
    ReaderShell* shell_ = nullptr;
    LoaderCatalogue* catalogue_ = nullptr;
    DocumentControllerFactory* factory_ = nullptr;
    ReaderViewFactory* viewFactory_ = nullptr;
    ReaderFrameHost* frameHost_ = nullptr;
    TextPopupFactory* popupFactory_ = nullptr;
    std::unique_ptr<ScriptHeap> heap_;
    std::unique_ptr<AppPaths> paths_;
    std::unique_ptr<DocumentLoader> loader_;
    std::unique_ptr<SortedRecordDatabase> log_;
    std::unique_ptr<ConfigurationStore> store_;
    SegArray<ReaderWindow*> windows_;
    ReaderWindow* main_ = nullptr;
    bool setAsidePending_ = false;
};

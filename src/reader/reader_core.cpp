#include "reader/reader_core.h"
#include "core/text.h"
#include "reader/file_messages.h"

#include <new>

#include "bookfiles/configuration_store.h"
#include "bookfiles/record_store.h"
#include "bookfiles/sorted_record_database.h"
#include "core/file.h"
#include "platform/storage/files.h"
#include "document/sources/document_loader.h"
#include "paths/app_paths.h"
#include "reader/reader_device_path.h"
#include "reader/reader_host.h"
#include "reader/reader_controller.h"
#include "reader/reader_settings.h"
#include "reader/reader_window.h"
#include "script/script_heap.h"

namespace {

// Why the configuration file cannot be used, in a few words.
std::string StoreFailureReason(const std::string& path, int error) {
    switch (error) {
        case 1:
            return "it is another kind of file";
        case 12:
            return "not enough memory";
        case 13:
            return "it was written by a newer version of the reader";
        default:
            break;
    }
    Text text;
    const char16_t* wide =
        text.AssignUtf8(path.c_str(), path.size()) ? text.WideCStr() : nullptr;
    const DWORD attributes = wide ? GetFileAttributesW(wide) : INVALID_FILE_ATTRIBUTES;
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return "a folder stands at its name";
    if (attributes != INVALID_FILE_ATTRIBUTES) return "it cannot be read or written";
    return "it cannot be made";
}

}  // namespace

ReaderCore::ReaderCore() = default;

ReaderCore::~ReaderCore() {
    Close();
}

int ReaderCore::Open(bool withStore) {
    // Temporary files a crash left behind.
    Files::TempFolderPattern();
    if (AppPaths::Create(shellWindow_, paths_) != 0) return 1;
    if (OnPathsReady() != 0) return 1;
    // Copies into the books folder that a crash cut short before their rename.
    Text books;
    if (AppPaths::BooksFolder(books)) Files::RemoveCopyLeftovers(books);
    if (withStore) {
        Text logPath;
        std::string utf8;
        log_.reset(new (std::nothrow) SortedRecordDatabase());
        // A log database that cannot be had is no failure.
        if (!log_ || !paths_->LibraryFile(logPath) || !reader_detail::ToUtf8Path(logPath, utf8) ||
            log_->OpenDefault(utf8.c_str(), true) != 0)
            log_.reset();
        if (OpenStore() != 0) return 1;
    }
    heap_.reset(new (std::nothrow) ScriptHeap());
    if (!heap_) return 1;
    main_ = new (std::nothrow) ReaderWindow(this);
    if (!main_) return 1;
    main_->NameFromAddress("main");
    main_->Open(0);
    return 0;
}

int ReaderCore::OpenStore() {
    Text path;
    std::string utf8;
    if (!paths_ || !paths_->GlobalConfigFile(path) || !reader_detail::ToUtf8Path(path, utf8))
        return 1;
    store_.reset(new (std::nothrow) ConfigurationStore());
    if (!store_) return 1;
    // Create flag 1 makes a missing file, and sets a damaged one aside before making a fresh
    // one; an unopenable file is left alone and fails.
    storeFailure_.clear();
    std::string keptAside;
    if (store_->OpenDefault(utf8.c_str(), false) != 0) {
        int error = store_->OpenDefault(utf8.c_str(), true);
        if (error == 13) {
            // A version this reader cannot use (a newer reader's, or a damaged version word):
            // kept aside as a damaged file is, and the reader runs with the defaults.
            keptAside = RecordStoreFiles::SetAside(utf8);
            if (!keptAside.empty()) error = store_->OpenDefault(utf8.c_str(), true);
        }
        if (error != 0) {
            storeFailure_ = utf8 + ": " + StoreFailureReason(utf8, error);
            return 1;
        }
    }
    setAsidePending_ = !store_->SetAsidePath().empty() || !keptAside.empty();
    return 0;
}

void ReaderCore::ReportSetAside() {
    if (!setAsidePending_ || !main_ || !main_->Controller()) return;
    setAsidePending_ = false;
    main_->Controller()->MessageBoxById(-1, kSetAsideMessage, MessageKind::kWarning);
}

int ReaderCore::CreateLoader(int) {
    loader_.reset(new (std::nothrow) DocumentLoader());
    if (!loader_ || !main_ || !main_->Controller()) return 1;
    GiveLoaderOptions();
    return main_->CreateController(nullptr);
}

int ReaderCore::OpenConfigurationStore() {
    if (store_) return 0;
    if (OpenStore() != 0) {
        store_.reset();
        return 1;
    }
    if (loader_) GiveLoaderOptions();
    for (int32_t i = 0; i < windows_.Count(); ++i) {
        ReaderWindow* window = windows_[i];
        if (window->Controller()) window->Controller()->SetConfigurationStore(store_.get());
        ReaderSettings* settings = window->Settings();
        if (!settings) continue;
        settings->SetConfigurationStore(store_.get());
        if (settings->Load(false)) {
            settings->RestoreProfile();
            settings->ApplyToView();
        }
    }
    ReportSetAside();
    return 0;
}

void ReaderCore::Close() {
    if (main_) {
        ReaderWindow* window = main_;
        delete window;  // leaves the list and clears main_
        main_ = nullptr;
    }
    while (windows_.Count() > 0) {
        int32_t last = windows_.Count() - 1;
        ReaderWindow* window = windows_[last];
        if (!frameHost_ || !frameHost_->CloseFrame(window)) delete window;
        // A window always removes itself; never loop on one that did not.
        if (windows_.Count() > last) windows_.Remove(last, 1);
    }
    windows_.Clear();
    loader_.reset();
    heap_.reset();
    store_.reset();
    log_.reset();
    AppPaths::Destroy(paths_);
}

void ReaderCore::AddWindow(ReaderWindow* window) {
    if (window) windows_.Append(window);
}

void ReaderCore::RemoveWindow(ReaderWindow* window) {
    for (int32_t i = 0; i < windows_.Count(); ++i) {
        if (windows_[i] == window) {
            windows_.Remove(i, 1);
            break;
        }
    }
    if (main_ == window) main_ = nullptr;
}

ReaderWindow* ReaderCore::WindowAt(int32_t i) const {
    ReaderWindow** slot = windows_.Get(i);
    return slot ? *slot : nullptr;
}

DocumentController* ReaderCore::FindControllerByName(const String& name) const {
    for (int32_t i = 0; i < windows_.Count(); ++i)
        if (windows_[i]->Name() == name) return windows_[i]->Document();
    return nullptr;
}

void ReaderCore::GiveLoaderOptions() {
    loader_->SetOptions(paths_.get(), store_.get(), log_.get());
    loader_->SetCatalogue(catalogue_);
    loader_->SetMessages(this);
}

void ReaderCore::ShowMessage(uint32_t textId) {
    if (main_ && main_->Controller())
        main_->Controller()->MessageBoxById(kErrorCaption, textId, MessageKind::kError);
}

void ReaderCore::ShowFileMessage(uint32_t textId, const Text& path) {
    if (!main_ || !main_->Controller()) return;
    String name;
    path.ToWide(name);
    main_->Controller()->ShowMessage(kErrorCaption, FileMessages::Format(textId, name),
                                     MessageKind::kError);
}

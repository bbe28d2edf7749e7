#include "reader/reader_controller.h"

#include <new>

#include "bookfiles/annotation_file.h"
#include "core/charset.h"
#include "core/platform_helpers.h"
#include "core/resources.h"
#include "document/location/location.h"
#include "document/sources/document_loader.h"
#include "document/sources/interaction_pages.h"
#include "graphics/core/drawing_surface.h"
#include "graphics/widgets/position_bar.h"
#include "paths/app_paths.h"
#include "platform/window/window.h"
#include "reader/book_action_bridge.h"
#include "reader/book_document_controller.h"
#include "reader/dictionary_lookups.h"
#include "reader/list_pages.h"
#include "reader/reader_command_ids.h"
#include "reader/reader_device_path.h"
#include "reader/document_controller.h"
#include "reader/reader_settings.h"

namespace {

uint32_t MessageFlags(MessageKind kind) {
    switch (kind) {
        case MessageKind::kInformation:
            return 64;
        case MessageKind::kWarning:
            return 48;
        case MessageKind::kError:
            return 16;
        case MessageKind::kQuestion:
            return 33;
    }
    return 64;
}

// A field value for a URL: its UTF-8 bytes, every one outside the unreserved set as %XX, so a
// '&', '#', '$', '?' or '%' in a title cannot break the URL apart.
bool AppendPercentEncoded(String& out, const String& value) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (int32_t i = 0; i < value.Length();) {
        uint32_t c;
        i += Utf16::Decode(value.Data() + i, static_cast<size_t>(value.Length() - i), c);
        bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                     c == '-' || c == '_' || c == '.' || c == '~';
        if (plain) {
            if (!out.AppendChar(static_cast<char16_t>(c))) return false;
            continue;
        }
        uint8_t bytes[4];
        int n = Utf8::Encode(c, bytes);
        for (int k = 0; k < n; ++k) {
            const char16_t esc[3] = {u'%', static_cast<char16_t>(kHex[bytes[k] >> 4]),
                                     static_cast<char16_t>(kHex[bytes[k] & 15])};
            if (!out.AppendChars(esc, 3)) return false;
        }
    }
    return true;
}

}  // namespace

class ReaderController::SettingsSide final : public SettingsHost {
public:
    explicit SettingsSide(ReaderController& owner) : owner_(owner) {}
    void ChangeFontSize(int32_t step) override {
        if (owner_.document_) owner_.document_->ChangeFontSize(step);
    }
    void SaveViewState() override {
        if (owner_.document_) owner_.document_->SaveViewState();
    }
    void RunViewCommand(int32_t id) override {
        if (owner_.document_) owner_.document_->ExecuteCommand(id);
    }
    const AppPaths* Paths() override { return owner_.paths_; }
    void InvalidateSurface() override {
        if (owner_.surface_) owner_.surface_->InvalidateRect(nullptr);
    }
    void RefreshSurface() override { owner_.RefreshSurface(); }

private:
    ReaderController& owner_;
};

ReaderController::ReaderController()
    : settingsSide_(std::make_unique<SettingsSide>(*this)),
      settingsCommands_(*settingsSide_),
      lookupSide_(std::make_unique<LookupSide>(*this)),
      lookups_(std::make_unique<DictionaryLookups>(*lookupSide_)) {
    player_.Init();
}

ReaderController::~ReaderController() {
    player_.Stop();
    player_.SetListener(nullptr);
    player_.SetNoticePoster(nullptr);
    library_.reset();
    annotationsWindow_.reset();
    readerBar_.reset();
    zoomBar_.reset();
    audioBar_.reset();
    HideBusyPopup();
    // The document controller may be gone: the pop-up's going does not reach it.
    if (pagePopup_) pagePopup_->SetOnHidden(nullptr);
    HidePopupPage();
    positionBar_.reset();
    // guards_ goes with the object: a running queue loop or OnCommand sees it dead and stops.
}

void ReaderController::SetDrawingSurface(DrawingSurface* surface) {
    if (surface == surface_) return;
    // What lives on the old surface goes while it still stands.
    HideBusyPopup();
    HidePopupPage();
    positionBar_.reset();
    surface_ = surface;
}

void ReaderController::SetTimerHost(TimerHost* host) {
    timers_.SetHost(host);
    if (busyTimer_ != -1) {
        busyTimer_ = -1;
        HideBusyPopup();
    }
    queue_.OnTimerHostChanged();
}

void ReaderController::InitPopupCallbacks() {
    player_.SetListener(this);
    player_.SetNoticePoster(this);
    callbacksReady_ = true;
    popupLocked_ = false;
}

const Location* ReaderController::GetCurrentLocation() const {
    return document_ ? document_->CurrentLocation() : nullptr;
}

void ReaderController::SetTrackList(TrackList* list) {
    tracks_ = list;
    player_.SetPlaylist(list);
}

// ---- The executor and the queue -------------------------------------------------------------

bool ReaderController::OnCommand(int32_t id, bool fromQueue) {
    if (!fromQueue) OnActivate(false);
    // Any command a person gives (Back, a soft key, a menu) ends a running auto-scroll first,
    // keeping the place it reached; only the scroll's own commands leave it to the surface.
    if (!fromQueue && surface_ && !Commands::IsDisplayCommand(id))
        surface_->DisplayCommand(Cmd::kStopAutoScrollKeep);
    ListIterator guard;
    guard.Attach(&guards_);
    DocumentController* document = document_;
    bool taken = true;
    if (Commands::IsWindowPartRange(id) || Commands::IsViewCommand(id)) {
        if (document) document->ExecuteCommand(id);
    } else if (Commands::IsDisplayCommand(id)) {
        if (surface_) surface_->DisplayCommand(static_cast<uint32_t>(id));
    } else if (id >= 0 && id <= Cmd::kLast) {
        taken = RunNavigationCommand(id) || RunShellCommand(id) || RunAnnotationCommand(id) ||
                settingsCommands_.RunCommand(id) || RunAudioCommand(id);
    } else {
        taken = false;
    }
    // The command may have closed the window and this controller with it.
    if (!guard.IsAlive()) return taken;
    if (document_) document_->NotifyCommand(id);
    return taken;
}

int32_t ReaderController::PostCommand(int32_t id) {
    return queue_.Post(id);
}

void ReaderController::OnTimer(TimerList&, int32_t id) {
    if (id != -1 && id == busyTimer_) {
        busyTimer_ = -1;  // a one-shot timer is gone once it fired
        HideBusyPopup();
    }
}

bool ReaderController::CheckInvariants() const {
    return queue_.CheckInvariants();
}

void ReaderController::OnActivate(bool active) {
    if (!active) {
        if (shell_) shell_->HideFindDialog();
        if (InputPanel::GetInfo(nullptr)) InputPanel::Show(false);
    }
    if (surface_) surface_->SetActive(active);
}

void ReaderController::GetCommandStates(bool& a, bool& b, bool& c) const {
    uint32_t mode = document_ ? document_->ViewMode() : 1;
    a = b = c = !(mode == 2 || mode == 3);
}

bool ReaderController::IsCommandEnabled(int32_t id) const {
    return document_ && document_->IsCommandEnabled(id);
}

bool ReaderController::SetTableEntry(uint32_t n, uint8_t flag, const Text& face) {
    bool ok = fonts_.SetEntry(n, flag, face);
    if (surface_ && n <= 255) surface_->ReleaseCachedObjects(static_cast<uint8_t>(n));
    return ok;
}

// ---- Audio notices ----------------------------------------------------------------------------

void ReaderController::OnPosition(AudioPlayer*, uint32_t, uint32_t) {
    PostCommand(Cmd::kPlayerPosition);
}

void ReaderController::OnEndOfTrack(AudioPlayer* player) {
    // Past the last track the playlist ends (an audio book does not start over by itself); the
    // audio page shows its end rather than a time line stopped at the last whole second.
    if (tracks_ && player && player->GetTrack() + 1 >= tracks_->Count()) {
        playlistEnded_ = true;
        PostCommand(Cmd::kPlayerPosition);
        return;
    }
    PostCommand(Cmd::kNextTrack);
}

void ReaderController::OnTrackChanging(AudioPlayer*) {
    playlistEnded_ = false;
    PostCommand(Cmd::kPlayerTrackChanging);
}

void ReaderController::OnPlayingChanged(bool) {
    PostCommand(Cmd::kPlayerPlayingChanged);
}

void ReaderController::PostNotices(AudioPlayer*) {
    if (mainWindow_) PostMessageW(mainWindow_, kAudioNoticeMessage, 0, 0);
}

// ---- Messages and popups -----------------------------------------------------------------------

bool ReaderController::ShowMessage(int32_t captionId, const String& text, MessageKind kind) {
    return ShowMessageFlags(captionId, text, MessageFlags(kind));
}

bool ReaderController::ShowMessageFlags(int32_t captionId, const String& text, uint32_t flags) {
    if (!shell_) return false;
    String caption;
    const String* captionPtr = nullptr;
    if (captionId >= 0) {
        const char16_t* units = LoadResString(static_cast<uint32_t>(captionId));
        if (units) {
            caption = String(units);
            captionPtr = &caption;
        }
    }
    return shell_->MessageBox(captionPtr, text, flags);
}

bool ReaderController::MessageBoxById(int32_t captionId, uint32_t textId, MessageKind kind) {
    const char16_t* units = LoadResString(textId);
    return ShowMessage(captionId, String(units ? units : u""), kind);
}

bool ReaderController::MessageBoxByIdArgs(int32_t captionId, uint32_t textId, MessageKind kind,
                                          const String* args, uint32_t count) {
    const char16_t* units = LoadResString(textId);
    String pattern(units ? units : u"");
    String text;
    for (int32_t i = 0; i < pattern.Length(); ++i) {
        char16_t c = pattern[i];
        if (c == u'%' && i + 1 < pattern.Length() && pattern[i + 1] >= u'1' &&
            pattern[i + 1] <= u'9') {
            uint32_t n = static_cast<uint32_t>(pattern[i + 1] - u'1');
            ++i;
            if (args && n < count && !text.Append(args[n])) return false;
            continue;
        }
        if (!text.AppendChar(c)) return false;
    }
    return ShowMessage(captionId, text, kind);
}

bool ReaderController::AskText(String& text, uint32_t mode) {
    if (!shell_) return false;
    String copy(text);
    if (!shell_->AskText(copy, mode)) return false;
    text = copy;
    return true;
}

void ReaderController::SetPopupRect(const Rect& r, bool force) {
    if (popupLocked_ && !force) return;
    if (r == popupRect_ && !force) return;
    popupRect_ = r;
    RefreshSurface();
}

void ReaderController::LockPopupRect() {
    popupLocked_ = true;
    if (surface_) surface_->OverlayCommit();
}

void ReaderController::UnlockPopupRect() {
    popupLocked_ = false;
    if (surface_) surface_->OverlayCommit();
}

void ReaderController::RefreshSurface() {
    if (surface_) surface_->SetVisibleArea(popupRect_);
}

// ---- Annotations -------------------------------------------------------------------------------

int32_t ReaderController::BookmarkAtPage() {
    AnnotationFile* file = document_ ? document_->CurrentAnnotationFile() : nullptr;
    uint32_t start = 0, end = 0;
    if (!file || !document_->PageRange(start, end)) return -1;
    // The range ends before the start of the page two on.
    if (end > start) --end;
    BookmarkIterator it;
    file->StartIterator(&it, kBookmark, start, end);
    int32_t found = file->FindNext(&it);
    return found >= 0 ? found : -1;
}

bool ReaderController::ToggleBookmarkAtPage() {
    AnnotationFile* file = document_ ? document_->CurrentAnnotationFile() : nullptr;
    uint32_t start = 0, end = 0;
    if (!file || !document_->PageRange(start, end)) return false;
    int32_t found = BookmarkAtPage();
    if (found >= 0) {
        if (!file->DeleteBookmark(found)) return false;
        document_->ReloadAnnotations();
        document_->NotifyAnnotation(found);
        return true;
    }
    String text;
    uint32_t selStart = 0, selEnd = 0;
    if (!document_->GetSelection(text, selStart, selEnd) || text.IsEmpty())
        document_->PageBookmarkText(text);
    return AddWithText(*file, kBookmark, start, start, 0, text);
}

bool ReaderController::AddWithText(AnnotationFile& file, uint32_t kind, uint32_t start,
                                   uint32_t end, uint32_t style, const String& text) {
    // The page shown is kept with the annotation: opening it brings that page back.
    uint32_t word = 0, position = 0;
    std::vector<uint8_t> state;
    if (!document_ || !document_->PageStateForAnnotation(word, position, state)) {
        word = position = 0;
        state.clear();
    }
    int32_t added = file.AddBookmark(kind, start, end, word, position, style, 0);
    if (added < 0) return false;
    // A record without its text is not kept.
    if ((!text.IsEmpty() &&
         file.SetBookmarkText(added, text.Data(), static_cast<uint32_t>(text.Length())) != 0) ||
        (!state.empty() &&
         file.SetBookmarkState(added, state.data(), static_cast<uint32_t>(state.size())) != 0)) {
        file.DeleteBookmark(added);
        return false;
    }
    if (document_) {
        document_->ReloadAnnotations();
        document_->NotifyAnnotation(added);
    }
    return true;
}

bool ReaderController::AddAnnotation(uint32_t kind) {
    if (!document_) return false;
    String selected;
    uint32_t start = 0, end = 0;
    document_->GetSelection(selected, start, end);
    if (start >= end) {
        if (kind != kNote) return false;
        int64_t page = document_->CurrentPageValue();
        if (page < 0) return false;
        start = static_cast<uint32_t>(page);
        end = start + kNoteSpan;
    }
    String text;
    document_->AnnotationStartText(kind, start, end, text);
    if (kind == kHighlight) return CreateAnnotation(kind, text, -1, start, end);
    ListIterator guard;
    guard.Attach(&guards_);
    bool confirmed = AskText(text, kind);
    if (!guard.IsAlive() || !confirmed) return false;
    if (!CreateAnnotation(kind, text, -1, start, end)) return false;
    // The selection has become the note: drawn over it, it would hide the note's own marks.
    if (document_) document_->ResetViewElement();
    return true;
}

bool ReaderController::EditAnnotationAt(uint32_t kind) {
    if (!document_) return false;
    AnnotationFile* file = document_->CurrentAnnotationFile();
    if (!file) return false;
    String selected;
    uint32_t start = 0, end = 0;
    bool inSelection = (kind & (kNote | kHighlight | kModification | 32)) != 0;
    if (inSelection) document_->GetSelection(selected, start, end);
    if (!inSelection || start >= end) {
        int64_t page = document_->CurrentPageValue();
        if (page < 0) return false;
        start = static_cast<uint32_t>(page);
        end = start + kNoteSpan;
    }
    BookmarkIterator it;
    file->StartIterator(&it, kind, start, end);
    int32_t index = file->FindNext(&it);
    if (index < 0) return false;
    return EditAnnotation(index);
}

bool ReaderController::EditAnnotation(int32_t index) {
    if (!document_) return false;
    AnnotationFile* file = document_->CurrentAnnotationFile();
    if (!file || index < 0 || file->GetBookmarkKind(index) == 0) return false;
    uint32_t kind = file->GetBookmarkKind(index);
    uint32_t length = 0;
    const char16_t* units = file->GetBookmarkText(index, &length);
    String text(units ? units : u"", units ? static_cast<int32_t>(length) : 0);
    ListIterator guard;
    guard.Attach(&guards_);
    bool confirmed = AskText(text, kind);
    if (!guard.IsAlive() || !confirmed) return false;
    return CreateAnnotation(kind, text, index, 0, 0);
}

bool ReaderController::CreateAnnotation(uint32_t kind, const String& text, int32_t index,
                                        uint32_t start, uint32_t end) {
    if (!document_) return false;
    AnnotationFile* file = document_->CurrentAnnotationFile();
    if (!file) return false;
    if (index < 0) {
        // An empty text for a new note or modification cancels it; it never removes the other
        // annotations of the range without asking.
        if (text.IsEmpty() && kind != kHighlight) return false;
        return AddWithText(*file, kind, start, end, settingsCommands_.StyleFor(kind), text);
    }
    if (file->GetBookmarkKind(index) == 0) return false;  // no annotation there
    if (text.IsEmpty()) {
        if (!file->DeleteBookmark(index)) return false;
        document_->ResetViewElement();
        document_->ReloadAnnotations();
        document_->NotifyAnnotation(index);
        return true;
    }
    uint32_t length = 0;
    const char16_t* old = file->GetBookmarkText(index, &length);
    if (old && String(old, static_cast<int32_t>(length)) == text) return true;
    if (file->SetBookmarkText(index, text.Data(), static_cast<uint32_t>(text.Length())) != 0)
        return false;
    document_->NotifyAnnotationChanged(index);
    return true;
}

namespace {

// The side file of a book: the one the loader holds open when there is one (a second handle
// would write over the first one's changes), else a private one for the call.
class SideFileHandle {
public:
    SideFileHandle(DocumentLoader* loader, const String& bookPath) {
        Text path;
        std::string utf8;
        if (!path.FromString(bookPath) || !reader_detail::ToUtf8Path(path, utf8)) return;
        if (loader) file_ = loader->FindAnnotationFile(utf8);
        if (file_) return;
        if (own_.OpenExisting(utf8, false) == 0) file_ = &own_;
    }
    ~SideFileHandle() {
        if (file_ == &own_ && own_.Close() != 0) own_.NoteUnsaved();
    }
    AnnotationFile* Get() const { return file_; }
    bool Private() const { return file_ == &own_; }

private:
    AnnotationFile own_;
    AnnotationFile* file_ = nullptr;
};

}  // namespace

bool ReaderController::DeleteAnnotation(const String& bookPath, int32_t index) {
    SideFileHandle handle(loader_, bookPath);
    AnnotationFile* file = handle.Get();
    if (!file || !file->DeleteBookmark(index)) return false;
    if (handle.Private() && file->Flush() != 0) return false;
    if (document_) document_->ReloadAnnotations();
    // The open book's own side file: the shell keeps its reading position with it.
    if (document_ && !handle.Private()) document_->NotifyAnnotation(index);
    return true;
}

bool ReaderController::DeleteAllAnnotations(const String& bookPath) {
    SideFileHandle handle(loader_, bookPath);
    AnnotationFile* file = handle.Get();
    if (!file || !file->DeleteAllBookmarks()) return false;
    if (handle.Private() && file->Flush() != 0) return false;
    if (document_) document_->ReloadAnnotations();
    if (document_ && !handle.Private()) document_->NotifyAnnotation(-1);
    return true;
}

namespace {

constexpr uint32_t kConfirmationCaption = 5017;
constexpr uint32_t kItemAdded = 5139;
constexpr uint32_t kDrugAdded = 5140;

// A file name a book may write: no drive or root, no ".." step.
bool IsSafeExportName(const String& name) {
    if (name.IsEmpty() || name[0] == u'\\' || name[0] == u'/' || name.IndexOf(u':') < name.Length())
        return false;
    int32_t start = 0;
    for (int32_t i = 0; i <= name.Length(); ++i) {
        if (i < name.Length() && name[i] != u'\\' && name[i] != u'/') continue;
        if (i - start == 2 && name[start] == u'.' && name[start + 1] == u'.') return false;
        start = i + 1;
    }
    return true;
}

}  // namespace

bool ReaderController::AddToCart(const String& cartName, const String& id, const String& text) {
    Cart* cart = CartStore::From(log_, cartName);
    if (!cart || !Cart::AddItem(cart, id, text)) return false;
    bool interactions = cart->Name().EqualsAscii(kInteractionsCart);
    MessageBoxById(kConfirmationCaption, interactions ? kDrugAdded : kItemAdded,
                   MessageKind::kInformation);
    return true;
}

bool ReaderController::RemoveFromCart(const String& cartName, int32_t index) {
    Cart* cart = CartStore::From(log_, cartName);
    if (!cart || !Cart::RemoveItem(cart, index)) return false;
    if (document_) document_->Reload();
    return true;
}

bool ReaderController::ClearCart(const String& cartName) {
    Cart* cart = CartStore::From(log_, cartName);
    if (!cart) return false;
    if (cart->Count() == 0) return true;
    Cart::Clear(cart);
    if (document_) document_->Reload();
    return true;
}

bool ReaderController::WriteCartXml(const String& cartName, const String& fileName) {
    Cart* cart = CartStore::From(log_, cartName);
    if (!cart || !IsSafeExportName(fileName)) return false;
    return Cart::WriteXml(cart, fileName);
}

bool ReaderController::SubmitInteractionsCart(const String& cartName, const String& title) {
    if (!cartName.EqualsAscii(kInteractionsCart)) return false;
    if (!document_) return false;
    String url(u"oeb:cart?name=interactions&action=submit&title=");
    if (!AppendPercentEncoded(url, title)) return false;
    document_->ActivateLink(url);
    return true;
}

// ---- Look-ups: the look-up room does the work -------------------------------------------------

class ReaderController::LookupSide final : public LookupHost {
public:
    explicit LookupSide(ReaderController& owner) : owner_(owner) {}
    DocumentController* Document() override { return owner_.document_; }
    DocumentLoader* Loader() override { return owner_.loader_; }
    TimerList& Timers() override { return owner_.timers_; }
    std::unique_ptr<TextPopup> CreatePopup(TextBoxOwner* owner) override {
        if (!owner_.popupFactory_ || !owner_.surface_) return nullptr;
        return owner_.popupFactory_->CreateTextPopupFor(owner_.surface_, owner);
    }
    TextPopup* PagePopup() override { return owner_.pagePopup_.get(); }
    void HidePopupPage() override { owner_.HidePopupPage(); }
    void KeepPopupPage(std::unique_ptr<TextPopup> popup) override {
        owner_.pagePopup_ = std::move(popup);
    }
    Rect PopupRect() override { return owner_.popupRect_; }
    Rect CentredPopupArea() override { return owner_.CentredPopupArea(); }
    bool ClientArea(Rect& area) override {
        Size client;
        if (!owner_.surface_ || !owner_.surface_->GetClientSize(client, false)) return false;
        area = Rect{0, 0, client.width, client.height};
        return true;
    }
    bool ShowBusyPopup(uint32_t stringId) override { return owner_.ShowBusyPopup(stringId); }
    void RunCommand(int32_t id) override { owner_.OnCommand(id, false); }
    int32_t PostCommand(int32_t id) override { return owner_.PostCommand(id); }
    bool PostCall(std::unique_ptr<QueuedCall> call) override {
        return owner_.queue_.PostCall(std::move(call));
    }
    int32_t BookmarkAtPage() override { return owner_.BookmarkAtPage(); }
    uint32_t TapAction() override { return owner_.settingsCommands_.TapAction(); }
    String ChosenDictionary() override { return owner_.settingsCommands_.ChosenDictionary(); }
    HWND MenuOwner() override { return owner_.CaptionWindow(); }
    ReaderShell* Shell() override { return owner_.shell_; }
    std::unique_ptr<BookActionBridge> MakeBookActions(BookDocumentController* document) override {
        return std::make_unique<BookActionBridge>(document, &owner_);
    }
    std::unique_ptr<LookupListPages> MakeListPages() override {
        return std::make_unique<LookupListPages>(&owner_, owner_.loader_);
    }

private:
    ReaderController& owner_;
};

TextBoxOwner* ReaderController::LinkPerformer() { return lookups_->LinkPerformer(); }

bool ReaderController::LookupCommand(int32_t id) { return lookups_->LookupCommand(id); }

bool ReaderController::LookupSelection(const String& word, Point anchor, const String& path,
                                       uint32_t language, uint32_t second, int32_t id,
                                       bool quiet) {
    return lookups_->LookupSelection(word, anchor, path, language, second, id, quiet);
}

std::shared_ptr<DictionaryTables> ReaderController::OpenDictionaryTables(
    DictionaryCatalogue& catalogue, uint32_t dictionary) {
    return lookups_->OpenDictionaryTables(catalogue, dictionary);
}

std::unique_ptr<TextPopup> ReaderController::ShowLookupResultsPopup(
    const String& word, DictionaryCatalogue& catalogue, const std::vector<LookupEntry>& entries,
    const std::vector<LookupMatch>& matches, bool compact) {
    return lookups_->ShowLookupResultsPopup(word, catalogue, entries, matches, compact);
}

std::unique_ptr<TextPopup> ReaderController::ShowLookupPage(
    const DictionaryTables& tables, const std::vector<LookupMatch>& matches,
    const String& reference, const String& query, bool byName) {
    return lookups_->ShowLookupPage(tables, matches, reference, query, byName);
}

bool ReaderController::OpenLookupResult(const std::vector<LookupMatch>& matches,
                                        const String& word, const String& reference, Point anchor,
                                        bool byName) {
    return lookups_->OpenLookupResult(matches, word, reference, anchor, byName);
}

bool ReaderController::AddLookupEntryToWordList(uint32_t entry, const String& databaseName,
                                                const DictionaryTables& tables) {
    return lookups_->AddLookupEntryToWordList(entry, databaseName, tables);
}

bool ReaderController::OpenIndexEntry(uint32_t entry, Point anchor,
                                      std::shared_ptr<DictionaryTables> tables,
                                      const String& location, const String& query) {
    return lookups_->OpenIndexEntry(entry, anchor, std::move(tables), location, query);
}

void ReaderController::OnTapAction(uint32_t start, uint32_t end, const String& word,
                                   uint16_t language, Point point, bool image) {
    lookups_->OnTapAction(start, end, word, language, point, image);
}

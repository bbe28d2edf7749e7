#include "reader/book_action_bridge.h"

#include <new>

#include "core/geometry.h"
#include "core/lang_name.h"
#include "core/platform_helpers.h"
#include "database/resource.h"
#include "document/markup/token_source.h"
#include "document/location/location.h"
#include "graphics/core/command_ids.h"
#include "layout/page_layout.h"
#include "reader/book_document_controller.h"
#include "reader/command_record.h"
#include "reader/database_view.h"
#include "reader/dictionary_lookups.h"
#include "reader/reader_controller.h"
#include "reader/record_set_page.h"
#include "script/script_engine.h"
#include "script/script_heap.h"

namespace {
constexpr uint32_t kScriptParseError = 5037;

// Navigations kept from a script, run from the queue while the bridge still lives.
class LaterNavigations final : public QueuedCall {
public:
    LaterNavigations(std::weak_ptr<void> bridge, std::vector<std::function<bool()>> steps)
        : bridge_(std::move(bridge)), steps_(std::move(steps)) {}
    void Run() override {
        for (auto& step : steps_) {
            // The bridge goes with its controller (a closed window): nothing is left to move.
            if (bridge_.expired()) return;
            step();
        }
    }

private:
    std::weak_ptr<void> bridge_;
    std::vector<std::function<bool()>> steps_;
};
}  // namespace

class BookActionBridge::ScriptRun {
public:
    explicit ScriptRun(BookActionBridge& bridge) : bridge_(bridge), life_(bridge.life_) {
        ++bridge_.running_;
    }
    ~ScriptRun() {
        if (life_.expired()) return;
        --bridge_.running_;
        bridge_.EndScript();
    }
    ScriptRun(const ScriptRun&) = delete;
    ScriptRun& operator=(const ScriptRun&) = delete;

private:
    BookActionBridge& bridge_;
    std::weak_ptr<void> life_;
};

bool BookActionBridge::Navigate(Navigation step) {
    if (running_ == 0) return step();
    try {
        pending_.push_back(std::move(step));
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void BookActionBridge::EndScript() {
    if (running_ > 0 || pending_.empty()) return;
    std::vector<Navigation> steps;
    steps.swap(pending_);
    RunLater(std::move(steps));
}

bool BookActionBridge::RunLater(std::vector<Navigation> steps) {
    if (!reader_) {
        std::weak_ptr<void> alive = life_;
        bool ok = true;
        for (Navigation& step : steps) {
            if (alive.expired()) return false;
            ok = step() && ok;
        }
        return ok;
    }
    return reader_->Queue().PostCall(std::make_unique<LaterNavigations>(life_, std::move(steps)));
}

bool BookActionBridge::RunHandler(ScriptObject* self, const String& text, String* result) {
    if (!document_) return false;
    ScriptRun run(*this);
    return ::DispatchWidgetEvent(*this, document_->Scripting().Context(), self, text, result) == 0;
}

bool BookActionBridge::RunMarkScript(const String& text) {
    ScriptContext* book = document_ ? document_->Scripting().Context() : nullptr;
    if (!book) return false;
    ScriptCode unit;
    ScriptError error;
    String name;
    name.AppendAscii("__page_mark");
    if (!ScriptEngine::CompileText(text, &unit, name, &error)) {
        // A book's link script that does not compile says so, as a form's handler does.
        ShowScriptError();
        return false;
    }
    ScriptRun run(*this);
    ScriptHeap* heap = book->Heap();
    ScriptValue value = ScriptHeap::NewUndefined();
    // In the book's own context, as a form's handler runs: its timers are the window's, and a
    // plain setTimeout outlives the run.
    int code = ScriptEngine::Run(book, &unit, nullptr, ScriptHeap::NewUndefined(), &value, &error);
    heap->Release(value);
    return code == 0;
}

bool BookActionBridge::OpenLinkLater(const String& text) {
    if (!document_) return false;
    String url(text);
    BookDocumentController* document = document_;
    std::vector<Navigation> steps;
    try {
        // Resolved against the document shown when it runs (an absolute link stays as it is).
        steps.push_back([document, url] { return document->ActivateLink(url); });
    } catch (const std::bad_alloc&) {
        return false;
    }
    return RunLater(std::move(steps));
}

BookActionBridge::BookActionBridge(BookDocumentController* document, ReaderController* reader)
    : document_(document),
      reader_(reader),
      policy_(reader),
      script_(this, nullptr),
      life_(std::make_shared<int>(0)) {}

BookActionBridge::~BookActionBridge() = default;

void BookActionBridge::SetDatabaseHost(ScriptObject* database) {
    script_.SetDatabaseHost(database);
}

bool BookActionBridge::RunCommand(int32_t id) {
    if (!reader_) return false;
    reader_->OnCommand(id, false);
    return true;
}

bool BookActionBridge::ActivateLink(const String& url) {
    if (!document_) return false;
    BookDocumentController* document = document_;
    return Navigate([document, url] { return document->ActivateLink(url); });
}

// Requests: the location is resolved against the document shown when the request runs, which is
// once the script has returned, like any other navigation.
bool BookActionBridge::OpenRequest(const String& url, const CommandRecord& record) {
    BookDocumentController* document = document_;
    if (!document) return false;
    return Navigate([document, url, record] {
        Location target;
        return target.Resolve(url, document->CurrentLocation()) &&
               document->OpenWithRequest(target, record);
    });
}

ScriptObject* BookActionBridge::OpenTableEntry(const String* name) {
    return document_ ? document_->OpenTableEntry(name) : nullptr;
}

uint32_t BookActionBridge::HistoryMode() {
    return document_ ? document_->History().GetMode() : 0;
}

void BookActionBridge::SetHistoryMode(uint32_t mode) {
    if (document_) document_->History().SetMode(mode);
}

bool BookActionBridge::GoToTextPosition(uint32_t position) {
    return document_ && document_->GoToPosition(position);
}

bool BookActionBridge::DispatchWidgetEvent(const String& text, uint32_t, String* result) {
    return RunHandler(nullptr, text, result);
}

bool BookActionBridge::BackToOtherDocument() {
    if (!document_) return false;
    BookDocumentController* document = document_;
    return Navigate([document] { return document->BackToOtherDocument(); });
}

bool BookActionBridge::OpenIndexEntry(uint32_t entry, const String& location, uint32_t argument,
                                      const String& query) {
    return reader_ && reader_->Lookups().LookupLinks().OpenIndexEntry(entry, location, argument, query);
}

bool BookActionBridge::OpenLookupResult(const LinkTarget& target, uint32_t argument, bool byName) {
    return reader_ && reader_->Lookups().LookupLinks().OpenLookupResult(target, argument, byName);
}

bool BookActionBridge::AddToWordList(const WordListEntry& entry) {
    return reader_ && reader_->Lookups().LookupLinks().AddToWordList(entry);
}

bool BookActionBridge::RunNamedAction(uint32_t n) {
    if (!document_) return false;
    BookDocumentController* document = document_;
    return Navigate([document, n] { return document->References().RunGuideEntry(n); });
}

bool BookActionBridge::CloseWindow() {
    // The window closes from its own message, after the script has returned.
    return RunCommand(Cmd::kExit);
}

bool BookActionBridge::SetCheckpoint() {
    if (!document_) return false;
    // The entry saved when the page is next left is the one history.goto_checkpoint returns to.
    document_->History().MarkNext();
    return true;
}

bool BookActionBridge::ViewSearchText(const String& text) {
    RecordSetPage* page =
        document_ && document_->CurrentView() == BookDocumentController::kRecordSetView
            ? document_->Records().Page()
            : nullptr;
    if (!page) return false;
    page->View().SetSearchText(text);
    return true;
}

bool BookActionBridge::GoToPage(uint32_t n) {
    return document_ && document_->GoToPage(n);
}

bool BookActionBridge::StepPage(PageStepCode step, PageMarkIndex mark) {
    return document_ && document_->StepPage(step, mark);
}

bool BookActionBridge::GoFirstPage() {
    return document_ && document_->GoToFirstPage();
}

bool BookActionBridge::GoLastPage() {
    return document_ && document_->GoToLastPage();
}

bool BookActionBridge::GoToContents() {
    if (!document_) return false;
    BookDocumentController* document = document_;
    return Navigate([document] { return document->GoToContents(); });
}

bool BookActionBridge::OpenAnnotationAt(const String& location, uint32_t n) {
    if (!document_ || n > INT32_MAX) return false;
    BookDocumentController* document = document_;
    const String where(location);
    return Navigate([document, where, n] {
        // Another book is opened first; an empty location or the book shown stays.
        String here;
        const Location* current = document->CurrentLocation();
        bool shown = where.IsEmpty() || (current && current->ToString(here, true) && here == where);
        if (!shown && !document->ActivateLink(where)) return false;
        return document->OpenAnnotation(static_cast<int32_t>(n));
    });
}

bool BookActionBridge::SelectionText(String& out) {
    uint32_t start = 0, end = 0;
    return document_ && document_->GetSelection(out, start, end);
}

bool BookActionBridge::OpenAnnotationLink(uint32_t n) {
    if (!document_ || n > INT32_MAX) return false;
    BookDocumentController* document = document_;
    return Navigate([document, n] { return document->OpenAnnotationLink(static_cast<int32_t>(n)); });
}

bool BookActionBridge::OpenRandomTableEntry(const String* name) {
    return document_ && document_->OpenRandomTableEntry(name);
}

bool BookActionBridge::PreviousAnnotation() {
    return document_ && document_->OpenPreviousAnnotation();
}

bool BookActionBridge::NextAnnotation() {
    return document_ && document_->OpenNextAnnotation();
}

bool BookActionBridge::TileWindows(uint32_t vertical, uint32_t skipUnnamed) {
    if (!document_) return false;
    document_->TileWindows(vertical != 0, skipUnnamed != 0);
    return true;
}

bool BookActionBridge::EditAnnotation(uint32_t n) {
    return reader_ && reader_->EditAnnotation(static_cast<int32_t>(n));
}

bool BookActionBridge::DeleteAnnotation(uint32_t n) {
    AnnotationFile* file = document_ ? document_->CurrentAnnotationFile() : nullptr;
    if (!file || n > INT32_MAX || file->GetBookmarkKind(static_cast<int32_t>(n)) == 0) return false;
    if (!file->DeleteBookmark(static_cast<int32_t>(n))) return false;
    // The pop-up that offered it shows an annotation that is gone.
    if (reader_) reader_->HidePopupPage();
    document_->ReloadAnnotations();
    document_->NotifyAnnotation(static_cast<int32_t>(n));
    return true;
}

bool BookActionBridge::ChangeFontSize(int32_t step) {
    return document_ && document_->ChangeFontSize(step);
}

bool BookActionBridge::ShowPopupPage(const String& url, uint32_t kind) {
    return reader_ && reader_->ShowPopupPage(url, kind, Point{});
}

bool BookActionBridge::ShowNotePopup(uint32_t n) {
    return reader_ && reader_->ShowNotePopup(static_cast<int32_t>(n), Point{});
}

bool BookActionBridge::SetPositionView(uint32_t id) {
    PageLayout* layout = document_ ? document_->Page().Layout() : nullptr;
    if (!layout || !layout->SelectTable(id)) return false;
    // The frame changes colour at the next drawing of the page.
    document_->Invalidate(true);
    return true;
}

bool BookActionBridge::SelectRange(uint32_t id, int32_t step) {
    PageLayout* layout = document_ ? document_->Page().Layout() : nullptr;
    if (!layout) return false;
    // The arrow that was tapped does not stay the current mark: drawn inverted, it would turn
    // the arrow column black.
    bool hadMark = layout->CurrentMarkIndex() != PageLayout::kNone;
    layout->SetCurrentMark(PageLayout::kNone, false, false);
    if (!layout->ScrollTables(Point{step, 0}, id)) {
        if (hadMark) document_->Invalidate(true);
        return false;
    }
    // The marks inside the table moved with its content: they are made again with the page.
    layout->ClearCurrentBlockMarks();
    document_->Invalidate(true);
    return true;
}

bool BookActionBridge::ShowBusyText(const String& text, uint32_t ms) {
    return reader_ && reader_->ShowBusyText(text, ms);
}

// The shell's hand-offs; the user agreed to each before it gets here.
bool BookActionBridge::PlayPlaylist(const String& argument, bool record) {
    ReaderShell* shell = reader_ ? reader_->Shell() : nullptr;
    return shell && shell->PlayTracks(argument, record);
}

bool BookActionBridge::StartRecorder() {
    ReaderShell* shell = reader_ ? reader_->Shell() : nullptr;
    return shell && shell->StartRecorder(String(ReaderController::kRecordingPath));
}

bool BookActionBridge::Dial(const String& number) {
    ReaderShell* shell = reader_ ? reader_->Shell() : nullptr;
    return shell && shell->Dial(number);
}

bool BookActionBridge::OpenWithAssociatedApp(const String& name, bool, uint32_t, uint32_t) {
    ReaderShell* shell = reader_ ? reader_->Shell() : nullptr;
    return shell && shell->OpenBookFile(name);
}

bool BookActionBridge::OpenWithApplication(const String& program, const String& parameters) {
    ReaderShell* shell = reader_ ? reader_->Shell() : nullptr;
    return shell && shell->OpenWithApplication(program, parameters);
}

bool BookActionBridge::StartWebBrowser(const String& url) {
    ReaderShell* shell = reader_ ? reader_->Shell() : nullptr;
    return shell && shell->OpenWithShell(url);
}

bool BookActionBridge::HistoryBack() {
    if (!document_) return false;
    BookDocumentController* document = document_;
    return Navigate([document] { return document->HistoryBack(false); });
}

bool BookActionBridge::HistoryForward() {
    if (!document_) return false;
    BookDocumentController* document = document_;
    return Navigate([document] { return document->HistoryForward(); });
}

bool BookActionBridge::HistoryToLast() {
    if (!document_) return false;
    BookDocumentController* document = document_;
    return Navigate([document] { return document->HistoryToLast(); });
}

bool BookActionBridge::ClearHistory() {
    if (!document_) return false;
    document_->ClearHistory();
    return true;
}

bool BookActionBridge::AddToCart(const String& cart, const String& item, const String& extra) {
    return reader_ && reader_->AddToCart(cart, item, extra);
}

bool BookActionBridge::RemoveFromCart(const String& cart, uint32_t n) {
    return reader_ && reader_->RemoveFromCart(cart, static_cast<int32_t>(n));
}

bool BookActionBridge::ClearCart(const String& cart) {
    return reader_ && reader_->ClearCart(cart);
}

bool BookActionBridge::SubmitInteractionsCart(const String& cart, const String& title) {
    return reader_ && reader_->SubmitInteractionsCart(cart, title);
}

bool BookActionBridge::WriteCartXml(const String& cart, const String& file) {
    return reader_ && reader_->WriteCartXml(cart, file);
}

void BookActionBridge::SetSpeechLanguage(uint32_t language) {
    if (document_) document_->Speech().SetLanguage(language);
}

bool BookActionBridge::ReadAloud() {
    return document_ && document_->ExecuteCommand(Cmd::kSpeakFromPage);
}

bool BookActionBridge::StartSpeech(const String& text) {
    return document_ && document_->Speech().Start(text);
}

bool BookActionBridge::PlaySoundList(const String& text) {
    return document_ && document_->Views().PlaySoundList(text, false);
}

bool BookActionBridge::StopSound() {
    if (!document_) return false;
    document_->Views().StopSound();
    return true;
}

bool BookActionBridge::SetSoundVolume(uint32_t level) {
    if (!reader_) return false;
    reader_->Player().SetVolume(level & 0xFFFF);
    return true;
}

bool BookActionBridge::PauseAudio() {
    if (!reader_) return false;
    reader_->Player().Pause();
    return true;
}

bool BookActionBridge::ResumeAudio() {
    if (!reader_) return false;
    reader_->Player().Restart();
    return true;
}

bool BookActionBridge::PlayTrack(uint32_t track) {
    return reader_ && reader_->Player().Play(track, false, 0);
}

bool BookActionBridge::ReopenWithRecord(const CommandRecord& record) {
    BookDocumentController* document = document_;
    if (!document) return false;
    // Like any navigation, the page replaces the current one only once the script has returned.
    String list;
    // audio.show(list [, position]).
    if (record.objectKind == ReaderObjects::kAudio &&
        record.methodId == ReaderMethods::kShowAudioPlayer) {
        return record.GetText(0, list) &&
               Navigate([document, list] { return document->ShowSoundList(list); });
    }
    // The other requests (index and query searches) open their pages over the current book.
    return Navigate([document, record] { return document->ReopenWithRequest(record); });
}

bool BookActionBridge::OpenInTarget(const String& url, const String& target, const Rect& rect,
                                    bool layout) {
    BookDocumentController* document = document_;
    if (!document) return false;
    // An empty rectangle: a new window takes the work area.
    const bool sized = rect.width > 0 && rect.height > 0;
    return Navigate([document, url, target, rect, sized, layout] {
        return document->OpenInTarget(url, target, sized ? &rect : nullptr, layout);
    });
}

uint32_t BookActionBridge::BookLanguage() {
    Resource* resource = document_ ? document_->Document() : nullptr;
    DocumentSource* source = resource ? resource->GetDocument() : nullptr;
    return source ? source->GetLanguage() & 0xFFFF : 0;
}

bool BookActionBridge::GetSelectionOrLastWord(String& text, String& language) {
    text.SetEmpty();
    language.SetEmpty();
    // The selection, else the word looked up last (a tap without a selection keeps it).
    uint32_t code = 0;
    if (!document_ || !document_->GetSelectionLanguage(text, code)) {
        if (!reader_ || reader_->Lookups().LastWord().IsEmpty()) return false;
        text = reader_->Lookups().LastWord();
        code = reader_->Lookups().LastWordLanguage();
    }
    // A page that names no language (an HTML page without one) is read in the book's, else in
    // the device's.
    if ((code & 1023) == 0) code = BookLanguage();
    if ((code & 1023) == 0) code = static_cast<uint32_t>(GetProgramLanguage());
    if (const char* name = code ? LangName::Name(static_cast<uint16_t>(code)) : nullptr)
        language.AppendAscii(name);
    return true;
}

bool BookActionBridge::CurrentLocationText(String& href, String& query) {
    const Location* location = document_ ? document_->CurrentLocation() : nullptr;
    if (!location || !location->ToString(href, true)) return false;
    if (!location->GetQuery(query, false)) query.SetEmpty();
    return true;
}

int32_t BookActionBridge::HistoryPosition() {
    return document_ ? static_cast<int32_t>(document_->HistoryPosition()) : 0;
}

bool BookActionBridge::GoToReference(const String& name) {
    if (!document_) return false;
    // Where a '#name' link goes: the book's named references, else a NAME or ID of its markup.
    String link;
    const bool marked = !name.IsEmpty() && name[0] == u'#';
    if ((!marked && !link.AppendChar(u'#')) || !link.Append(name)) return false;
    BookDocumentController* document = document_;
    return Navigate([document, link] { return document->ActivateLink(link); });
}

void BookActionBridge::ShowScriptError() {
    if (reader_) reader_->MessageBoxById(-1, kScriptParseError, MessageKind::kError);
}

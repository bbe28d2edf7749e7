// The document controller's requests: command records whose method opens a view (a text page at
// a place, an index table, a query, a word list or the search history, the audio view) and the
// generated pages they show. The entries those pages open are RecordRequests'.
#include <climits>

#include <new>
#include <optional>

#include "bookfiles/document_source.h"
#include "core/path.h"
#include "database/book_index_source.h"
#include "database/index_query.h"
#include "database/resource.h"
#include "document/sources/document_loader.h"
#include "graphics/core/command_ids.h"
#include "graphics/core/drawing_surface.h"
#include "layout/page_canvas.h"
#include "layout/page_layout.h"
#include "platform/shell/shell.h"
#include "reader/audio_player_view.h"
#include "reader/book_document_controller.h"
#include "reader/command_record.h"
#include "reader/dictionary_lookups.h"
#include "reader/generated_pages.h"
#include "reader/list_pages.h"
#include "reader/lookup_window.h"
#include "reader/reader_controller.h"
#include "reader/reader_settings.h"

namespace {

constexpr uint32_t kGoToToc = 54;
constexpr uint32_t kGoToPosition = 75;
constexpr uint32_t kDisplayWordList = 109;
constexpr uint32_t kAddToWordList = 111;
constexpr uint32_t kAddEntryToWordList = 112;
constexpr uint32_t kDisplaySearchHistory = 115;
constexpr uint32_t kShow = 134;
constexpr uint32_t kAudioObject = 33;
constexpr uint32_t kWindowObject = 25;
constexpr uint32_t kWordListDatabase = 7;
constexpr uint32_t kNamedTarget = 0;
constexpr uint32_t kTableTarget = 4;
constexpr uint32_t kKeyTableTarget = 5;

// Every argument's text (numbers in decimal), in order.
std::vector<String> ArgumentTexts(const CommandRecord& record) {
    std::vector<String> out;
    for (uint32_t i = 0; i < record.Count(); ++i) out.push_back(record.arguments.Get(i)->text);
    return out;
}

bool FindTarget(DocumentSource* document, const String& name, uint32_t kind, TargetRecord& out) {
    return document && !name.IsEmpty() &&
           document->FindMetadata(name.Data(), name.Length(), kind, out);
}

}  // namespace

// --- opening with a request -----------------------------------------------------------------

bool BookDocumentController::OpenWithRequest(Location& location, const CommandRecord& record) {
    return OpenRequestAt(location, record, true);
}

bool BookDocumentController::OpenListDatabase(Location& location) {
    CommandRecord request(location.ResourceId() == kWordListDatabase ? kDisplayWordList
                                                                     : kDisplaySearchHistory,
                          kWindowObject);
    return OpenRequestAt(location, request, true);
}

bool BookDocumentController::OpenListLocation(const String& anchor) {
    String link;
    link.AssignSub(anchor, 1, -1);
    CommandRecord request;
    return LookupListPages::RequestForLink(link, request) && OpenListRequest(request);
}

bool BookDocumentController::ReopenWithRequest(const CommandRecord& record) {
    if (!resource_.Get()) return false;
    Location target;
    target.CopyFrom(location_);
    target.SetAnchor(String());
    return OpenRequestAt(target, record, true);
}

bool BookDocumentController::OpenRequestAt(Location& location, const CommandRecord& record,
                                           bool report) {
    FreeRetired();
    Location remembered;
    if (resource_.Get()) remembered.CopyFrom(location_);
    const uint32_t oldMode = history_.Entries().GetMode();
    const bool setMode = oldMode == NavigationHistory::kRecord;
    if (setMode) history_.Entries().SetMode(NavigationHistory::kRecordNext);
    bool pushed = false;
    PushHistoryAndNotify(pushed);
    bool shown = false;
    uint8_t handled = 0;
    if (loader_ && !location.IsBuiltInPage()) {
        if (location.IsInternal()) CloseDocument();
        auto document = RefPtr<Resource>::Adopt(
            loader_->Open(location, resource_ ? &remembered : nullptr, &handled));
        if (document) {
            const bool changed = document.Get() != resource_.Get();
            if (SetDocument(document.Get())) {
                bool replaced = false;
                bool restore = true;
                shown = OpenRequest(record, changed, replaced, restore, true);
                if (!shown) CloseDocument();
            }
        }
    }
    if (setMode) history_.Entries().SetMode(oldMode);
    if (shown) {
        if (reader_) reader_->ShowReaderView();
        Invalidate(true);
        return true;
    }
    if (report && !handled) ReportFailure(location);
    if (pushed) history_.Entries().UndoPush();
    return false;
}

bool BookDocumentController::OpenRequest(const CommandRecord& record, bool fresh,
                                         bool& viewReplaced, bool& restorePosition,
                                         bool /*notify*/) {
    viewReplaced = false;
    restorePosition = true;
    if (!resource_.Get()) return false;
    if (!fresh) {
        if (view_ == kTextPage && current_.IsEmpty()) SaveReadingPosition(false);
        if (view_ == kAudioView) views_.SaveAudioPlace(sideFile_);
        // Replaced views are parked: the one that asked may still be running.
        views_.LeaveCover();
        LeaveRecordSet();
        views_.LeaveImage();
    }
    current_.SetEmpty();
    view_ = kTextPage;
    int64_t target = -1;
    bool ok = false;
    switch (record.methodId) {
        case kGoToToc: {
            restorePosition = false;
            DocumentSource* document = resource_->GetDocument();
            TargetRecord toc;
            if (document && document->FindMetadata(u"toc", 3, 2, toc) && toc.position >= 0)
                target = toc.position;
            ok = true;
            break;
        }
        case kGoToPosition: {
            uint32_t position = 0;
            ok = record.Count() >= 1 && record.GetUnsigned(0, position) && position <= INT32_MAX;
            target = position;
            restorePosition = false;
            break;
        }
        case GeneratedPages::kIndexSearch:
        case GeneratedPages::kFilteredIndexSearch:
        case GeneratedPages::kCondIndexSearch:
        case GeneratedPages::kIdeogramSearch:
            ok = OpenIndexRequest(record);
            break;
        case GeneratedPages::kSqlSearch:
        case GeneratedPages::kSqlBulletSearch:
            ok = OpenQueryRequest(record);
            break;
        case kDisplayWordList:
        case kAddToWordList:
        case kAddEntryToWordList:
        case kDisplaySearchHistory:
            ok = OpenListRequest(record);
            break;
        case kShow: {
            if (record.objectKind != kAudioObject || record.Count() < 1) break;
            AudioRequest audio;
            audio.soundList = record.arguments.Get(0)->text;
            if (record.Count() >= 2) {
                const String name = record.arguments.Get(1)->text;
                audio.startPosition = ResolvePositionArgument(&name);
            }
            requests_.SetRequestedAudio(audio);
            // The audio page over the list (its tracks load paused, as the page starts).
            if (!OpenLocation(String(u"$audio"), false, true) || !views_.AudioView()) break;
            views_.AudioView()->SetSoundList(audio.soundList);
            ok = true;
            break;
        }
        default:
            break;
    }
    if (!ok) {
        current_.SetEmpty();
        view_ = kTextPage;
        return false;
    }
    viewReplaced = view_ != kTextPage;
    if (view_ == kTextPage && target >= 0 && page_.Layout())
        GoToPosition(static_cast<uint32_t>(target));
    return true;
}

int64_t BookDocumentController::ResolvePositionArgument(const String* text) {
    if (text && !text->IsEmpty()) {
        uint32_t number = 0;
        if (text->ParseUnsigned(10, number)) return number;
        TargetRecord found;
        if (!resource_.Get() || !FindTarget(resource_->GetDocument(), *text, kNamedTarget, found) ||
            found.position < 0)
            return -1;
        return found.position;
    }
    // The start of the page shown (a position, as every caller uses the value).
    if (!page_.Layout()) return -1;
    const uint32_t start = page_.Layout()->CurrentPageStart();
    return start == PageLayout::kNone ? -1 : static_cast<int64_t>(start);
}

// --- generated pages of a request -----------------------------------------------------------

bool BookDocumentController::OpenIndexRequest(const CommandRecord& record) {
    GeneratedPages::IndexRequest request;
    if (!GeneratedPages::ReadIndexRequest(record.methodId, ArgumentTexts(record), request))
        return false;
    DocumentSource* document = resource_->GetDocument();
    TargetRecord table;
    // No table name (a dictionary's manual search): the book's default table.
    if (request.tableName.IsEmpty()) table.position = GeneratedPages::kNoTableId;
    else if (!FindTarget(document, request.tableName, kTableTarget, table) || table.position < 0)
        return false;
    int32_t keyTable = -1;
    int32_t keyTag = -1;
    int32_t entry = -1;
    if (!request.secondTableName.IsEmpty()) {
        // The key table's target: the table, the entry of the first table whose keys are
        // listed, and the tag holding them.
        TargetRecord keys;
        if (!FindTarget(document, request.secondTableName, kKeyTableTarget, keys) ||
            keys.position < 0)
            return false;
        keyTable = keys.position;
        entry = keys.numbers[0];
        keyTag = keys.numbers[1];
    }
    auto tables = std::make_unique<RecordPages::Tables>(resource_.Get());
    if (!request.lookupKey.IsEmpty()) {
        // The entry whose key is the lookup key (the table's entry at or after it else).
        String designation;
        designation.AppendAscii("tableid=");
        designation.AppendUnsigned(static_cast<uint32_t>(table.position), 10);
        auto first = RefPtr<IndexSource>::Adopt(tables->OpenIndex(designation));
        if (!first) return false;
        entry = first->LowerBound(request.lookupKey);
    }
    String location;
    std::unique_ptr<DatabaseView> view = GeneratedPages::OpenIndexTable(
        tables.get(), table.position, keyTable, keyTag, entry, request.ideographic,
        request.searchText, request.flags, location);
    if (!view) return false;
    // A manual search names no title: the book's own heads the page rather than an empty strip.
    String title = request.title;
    if (title.IsEmpty() && !GetTitle(title)) title = String();
    view->SetTemplates(title, String());
    view->SetStartPosition(ResolvePositionArgument(&request.startPosition));
    view->SetExtraTexts(request.extra[0], request.extra[1]);
    return ShowRequestedView(std::move(tables), std::move(view), location);
}

bool BookDocumentController::OpenQueryRequest(const CommandRecord& record) {
    GeneratedPages::QueryRequest request;
    if (!GeneratedPages::ReadQueryRequest(record.methodId, ArgumentTexts(record), request))
        return false;
    auto tables = std::make_unique<RecordPages::Tables>(resource_.Get());
    String location;
    std::unique_ptr<DatabaseView> view = GeneratedPages::OpenQueryPage(
        request.query, tables.get(), request.displayCode, request.flagByte, request.title,
        request.number, location);
    if (!view) return false;
    view->SetStartPosition(ResolvePositionArgument(&request.startPosition));
    view->SetExtraTexts(request.extra, String());
    return ShowRequestedView(std::move(tables), std::move(view), location);
}

bool BookDocumentController::ShowRequestedView(std::unique_ptr<RecordPages::Tables> tables,
                                               std::unique_ptr<DatabaseView> view,
                                               const String& location) {
    if (!records_.ShowView(std::move(tables), std::move(view), RecordPagePlace())) return false;
    current_ = location;
    view_ = kRecordSetView;
    return true;
}

bool BookDocumentController::OpenListRequest(const CommandRecord& record) {
    String location;
    if (!records_.OpenList(resource_.Get(), record, location)) return false;
    current_ = location;
    view_ = record.methodId == kDisplaySearchHistory ? kSearchHistoryView : kWordListView;
    return true;
}

void BookDocumentController::SetReaderController(ReaderController* controller) {
    reader_ = controller;
    records_.SetListPages(controller ? controller->Lookups().ListPages() : nullptr);
}

bool BookDocumentController::ExecuteListPageCommand(int32_t id) {
    if (!reader_ || !records_.ListPageShown() ||
        !((id >= Cmd::kWindowPart2First && id <= Cmd::kWindowPart2Last) ||
          id == Cmd::kClearSearchHistory))
        return false;
    LookupListPages* pages = reader_->Lookups().ListPages();
    if (id != Cmd::kShowWordListOfLanguage) return pages->ExecuteCommand(id);
    // 99 shows the list of the page's language again, over the current database.
    LookupWindow* page = pages->Page();
    if (view_ != kWordListView || !page || page->ViewKind() != WordListWindow::kWordListKind)
        return false;
    CommandRecord request(kDisplayWordList, kWindowObject);
    const String code = static_cast<WordListWindow*>(page)->LanguageCode();
    if (!code.IsEmpty() && !request.AppendText(code)) return false;
    return ReopenWithRequest(request);
}

// --- the page's questions ----------------------------------------------------------------

RecordPages::Place BookDocumentController::RecordPagePlace() {
    RecordPages::Place place;
    if (surface_ && page_.Gc() == surface_) {
        place.surface = surface_;
        place.area = page_.Viewport();
        page_.SurfaceViewport(place.area);
    }
    place.search = settings_ ? &settings_->rememberedSearch : nullptr;
    place.preview = settings_ && settings_->previewPane;
    if (page_.View() && page_.View()->Parent()) place.textPage = page_.View();
    if (!GetTitle(place.title)) place.title = String();
    return place;
}

// --- the book script's table entry ----------------------------------------------------------

ScriptObject* BookDocumentController::OpenTableEntry(const String* name) {
    if (!resource_.Get()) return nullptr;
    String designation;
    if (name) {
        designation.AppendAscii("table=");
        designation.Append(*name);
    } else {
        designation.AppendAscii("special_table=default");
    }
    ResourceIndexResolver tables(resource_.Get());
    auto table = RefPtr<IndexSource>::Adopt(tables.OpenIndex(designation));
    if (!table) return nullptr;
    auto query = RefPtr<IndexQuery>::Adopt(IndexQuery::FromTable(table.Get()));
    table.Reset();
    if (!query) return nullptr;
    auto set = std::make_unique<IndexRecordSetObject>(
        query.Get(), RecordPosition::At(RecordPosition::kBeforeFirst));
    query.Reset();
    set->SetBookLocation(resource_->GetLocation().text);
    if (DocumentSource* document = resource_->GetDocument()) {
        String databaseName, shortId;
        document->GetDatabaseName(databaseName);
        document->GetShortName(shortId);
        set->SetBookNames(databaseName, shortId);
    }
    return set.release();  // the script's now
}

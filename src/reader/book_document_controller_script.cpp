// The document controller's book script: its context over the window's script heap, book actions,
// and the record sets a query leaves to the script.
#include "reader/book_document_controller_wiring.h"

// --- record sets ---------------------------------------------------------------------------

ScriptContext* BookDocumentController::BookScript() {
    if (!script_ && heap_) {
        if (!actions_) actions_.reset(new (std::nothrow) BookActionBridge(this, reader_));
        if (!databaseHost_) {
            databases_.reset(new (std::nothrow) Databases(loader_));
            if (databases_) databaseHost_.reset(new (std::nothrow) DatabaseScriptHost(databases_.get()));
            if (databaseHost_) databaseHost_->SetQueryResource(resource_);
        }
        script_.reset(new (std::nothrow) ScriptContext(heap_));
        if (!actions_ || !databaseHost_ || !script_ || !script_->Create()) {
            script_.reset();
            return nullptr;
        }
        // sql_execute, OpenDatabase and the TYPE_ constants; set before the face is entered,
        // which tells the database host the heap.
        actions_->SetDatabaseHost(databaseHost_.get());
        // The form list and the controller's script face, as the book's scripts address them.
        actions_->Script().SetContext(script_.get());
        if (!script_->Hosts().AppendObject(&forms_.List(), 0) ||
            !script_->Hosts().AppendObject(&actions_->Script(), 1)) {
            script_.reset();
            return nullptr;
        }
        if (reader_) ScriptGlobal::SetTimerOwner(script_.get(), &reader_->Timers(), this);
    }
    return script_.get();
}

BookActionBridge* BookDocumentController::Actions() {
    BookScript();
    return script_ ? actions_.get() : nullptr;
}

bool BookDocumentController::PerformAction(const LinkTarget* target, uint32_t argument) {
    BookActionBridge* actions = target ? Actions() : nullptr;
    return actions && ::PerformAction(target, *actions, argument, nullptr);
}

namespace {
constexpr char16_t kGlobalRecordSetName[] = u"__global_recordset";
constexpr uint32_t kGlobalRecordSetLength = 18;
}  // namespace

bool BookDocumentController::RunIndexQuery(IndexRecordSet* query, RecordPosition at) {
    if (!query) return false;
    ScriptContext* script = BookScript();
    auto* set = script ? new (std::nothrow) IndexRecordSetObject(query, at) : nullptr;
    query->Release();
    if (!set) return false;
    // What href, url and the word-list record need of the book whose tables answered.
    if (resource_) {
        set->SetBookLocation(resource_->GetLocation().text);
        if (DocumentSource* document = resource_->GetDocument()) {
            String databaseName, shortId;
            document->GetDatabaseName(databaseName);
            document->GetShortName(shortId);
            set->SetBookNames(databaseName, shortId);
        }
    }
    ScriptValue value = ScriptValues::kUndefined;
    if (heap_->NewObject(set, &value) != 0) {
        delete set;
        return false;
    }
    bool assigned = heap_->SetProperty(script->Global(), kGlobalRecordSetName,
                                   kGlobalRecordSetLength, value) == 0;
    heap_->Release(value);  // the global object holds its own reference
    return assigned;
}

bool BookDocumentController::OpenIndexQuery(const String& text) {
    if (!resource_) return false;
    IndexQuery* query = nullptr;
    if (SqlParser::Parse(text, resource_, query) != 0 || !query) return false;
    return RunIndexQuery(query);
}

bool BookDocumentController::RunEntryQuery(IndexSource* table, uint32_t entry,
                                           const String& query) {
    // Over the plain table row i is entry i: the record set stands on the entry.
    IndexQuery* set = table ? IndexQuery::FromTable(table) : nullptr;
    if (!set || entry >= set->Count()) {
        if (set) set->Release();
        return false;
    }
    return RunWithRecordSet(set, entry, query);
}

bool BookDocumentController::RunWithRecordSet(IndexRecordSet* set, uint32_t entry,
                                              const String& script) {
    if (!RunIndexQuery(set, RecordPosition::At(static_cast<int32_t>(entry)))) return false;
    // The script calls a function of the book's script that reads the record set.
    if (BookActionBridge* actions = Actions()) actions->DispatchWidgetEvent(script, 0, nullptr);
    ClearGlobalRecordSet();
    return true;
}

bool BookDocumentController::ClearGlobalRecordSet() {
    ScriptContext* script = script_.get();
    if (!script) return false;
    return heap_->SetProperty(script->Global(), kGlobalRecordSetName, kGlobalRecordSetLength,
                              ScriptValues::kUndefined) == 0;
}


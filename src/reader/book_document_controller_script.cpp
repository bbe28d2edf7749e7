// The document controller's book script side: book actions, and the record sets a query leaves
// to the script (the context itself is BookScripting's).
#include "reader/book_document_controller.h"

#include <memory>

#include "bookfiles/document_source.h"
#include "database/index_query.h"
#include "database/resource.h"
#include "database/sql_parser.h"
#include "reader/book_action_bridge.h"
#include "reader/file_messages.h"
#include "script/script_engine.h"

// --- record sets ---------------------------------------------------------------------------

bool BookDocumentController::PerformAction(const LinkTarget* target, uint32_t argument) {
    return scripting_.PerformAction(target, argument);
}

namespace {
constexpr char16_t kGlobalRecordSetName[] = u"__global_recordset";
constexpr uint32_t kGlobalRecordSetLength = 18;
}  // namespace

bool BookDocumentController::RunIndexQuery(RefPtr<IndexRecordSet> query, RecordPosition at) {
    if (!query) return false;
    ScriptContext* script = scripting_.Context();
    if (!script) return false;
    auto set = std::make_unique<IndexRecordSetObject>(query.Get(), at);
    query.Reset();
    // What href, url and the word-list record need of the book whose tables answered.
    if (resource_.Get()) {
        set->SetBookLocation(resource_->GetLocation().text);
        if (DocumentSource* document = resource_->GetDocument()) {
            String databaseName, shortId;
            document->GetDatabaseName(databaseName);
            document->GetShortName(shortId);
            set->SetBookNames(databaseName, shortId);
        }
    }
    ScriptValue value = ScriptValues::kUndefined;
    if (scripting_.Heap()->NewObject(set.get(), &value) != 0) return false;
    set.release();  // the heap's now
    bool assigned = scripting_.Heap()->SetProperty(script->Global(), kGlobalRecordSetName,
                                   kGlobalRecordSetLength, value) == 0;
    scripting_.Heap()->Release(value);  // the global object holds its own reference
    return assigned;
}

bool BookDocumentController::OpenIndexQuery(const String& text) {
    if (!resource_.Get()) return false;
    IndexQuery* query = nullptr;
    if (SqlParser::Parse(text, resource_.Get(), query) != 0 || !query) return false;
    return RunIndexQuery(RefPtr<IndexRecordSet>::Adopt(query));
}

bool BookDocumentController::RunEntryQuery(IndexSource* table, uint32_t entry,
                                           const String& query) {
    // Over the plain table row i is entry i: the record set stands on the entry.
    auto set = RefPtr<IndexQuery>::Adopt(table ? IndexQuery::FromTable(table) : nullptr);
    if (!set || entry >= set->Count()) return false;
    return RunWithRecordSet(RefPtr<IndexRecordSet>(set.Get()), entry, query);
}

bool BookDocumentController::RunWithRecordSet(RefPtr<IndexRecordSet> set, uint32_t entry,
                                              const String& script) {
    if (!RunIndexQuery(std::move(set), RecordPosition::At(static_cast<int32_t>(entry)))) return false;
    // The script calls a function of the book's script that reads the record set.
    if (BookActionBridge* actions = scripting_.Actions())
        actions->DispatchWidgetEvent(script, 0, nullptr);
    ClearGlobalRecordSet();
    return true;
}

bool BookDocumentController::ClearGlobalRecordSet() {
    ScriptContext* script = scripting_.Made();
    if (!script) return false;
    return scripting_.Heap()->SetProperty(script->Global(), kGlobalRecordSetName, kGlobalRecordSetLength,
                              ScriptValues::kUndefined) == 0;
}


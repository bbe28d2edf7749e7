#include "database/database_object.h"

#include <algorithm>
#include <memory>
#include <new>

#include "bookfiles/document_source.h"
#include "bookfiles/palm_database.h"
#include "core/code_pages.h"
#include "core/text.h"
#include "database/index_query.h"
#include "database/sql_parser.h"
#include "database/table_record_set.h"
#include "platform/storage/files.h"
#include "script/script_heap.h"
#include "script/script_names.h"

namespace {

using namespace ScriptNames::Ids;

}  // namespace

// ---------------------------------------------------------------- FolderDatabaseOpener

FolderDatabaseOpener::~FolderDatabaseOpener() {
    for (Database* db : cache_) db->SetOwner(nullptr);
}

void FolderDatabaseOpener::RemoveCached(Resource* resource) {
    auto it = std::find(cache_.begin(), cache_.end(), resource);
    if (it != cache_.end()) cache_.erase(it);
}

Database* FolderDatabaseOpener::OpenDatabase(const String& name) {
    lastError_ = 0;
    String stem;
    if (Database::MakeFileStem(name, stem) != 0) {
        lastError_ = Database::kMissing;
        return nullptr;
    }
    std::string path = folder_ + "\\";
    for (int32_t i = 0; i < stem.Length(); ++i) path += static_cast<char>(stem[i]);
    path += ".ebase";
    for (Database* db : cache_)
        if (db->FilePath() == path) return TableRef(db).TakePointer();
    Database* db = nullptr;
    int error = 0;
    std::unique_ptr<PalmDatabase> file(
        PalmDatabase::Open(path.c_str(), 41, nullptr, nullptr, &error));
    if (file) {
        if (file->GetType() != PalmCode("DUMP")) {
            error = Database::kMalformed;
        } else {
            error = Database::OpenFile(file.get(), db);
        }
        file.reset();
        if (db) {
            db->SetFilePath(path);
            db->SetName(stem);
            // A file the user marked read-only is not written over.
            Text wide;
            if (wide.AssignUtf8(path.c_str()) && wide.ConvertTo(CodePages::kUtf16)) {
                DWORD attributes = GetFileAttributesW(reinterpret_cast<LPCWSTR>(wide.WideCStr()));
                if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
                    db->SetReadOnly(true);
            }
        }
    } else if (error == Database::kMissing) {
        // A database that was never saved starts empty; Save creates its file.
        db = new (std::nothrow) Database();
        if (!db) error = Database::kOutOfMemory;
        if (db) {
            db->SetName(stem);
            db->SetFilePath(path);
            error = 0;
        }
    }
    if (!db) {
        lastError_ = error ? error : Database::kMalformed;
        return nullptr;
    }
    try {
        cache_.push_back(db);
        db->SetOwner(this);
    } catch (const std::bad_alloc&) {
    }
    return db;
}

// ---------------------------------------------------------------- DatabaseObject

DatabaseObject::DatabaseObject(Database* db) : db_(db) {}

DatabaseObject::~DatabaseObject() {
    ScriptHeap::DetachObject(heap_, this);
}

int DatabaseObject::ToScript(DatabaseObject* object, ScriptHeap* heap, ScriptValue* out) {
    if (!object) {
        *out = ScriptValues::kNull;
        return 0;
    }
    return heap->NewObject(std::unique_ptr<DatabaseObject>(object), out);
}

void DatabaseObject::Notify(int event, ScriptHeap* heap) {
    if (event == 0) {
        heap_ = heap;
    } else {
        heap_ = nullptr;
        delete this;
    }
}

int DatabaseObject::Resolve(int* err, const ScriptName& name, ScriptMemberRef* ref, bool) {
    if (ref->IsBound()) return Done(err, ScriptErrors::kMemberUnknown);
    switch (name.id) {
        case kOpenTable:
        case kCreateTable:
        case kDropTable:
        case kCloseTable:
        case kSave:
        case kName:
        case kCount:
            return BindMember(err, ref, name.id);
        default:
            return Done(err, ScriptErrors::kMemberUnknown);
    }
}

int DatabaseObject::Call(int* err, ScriptMemberRef* ref, int argc, const ScriptValue* stack,
                         ScriptValue* result) {
    *result = ScriptValues::kUndefined;
    Database* db = db_.Get();
    if (!heap_ || ref->code == kName || ref->code == kCount)
        return Done(err, ScriptErrors::kInvalidType);
    auto boolean = [&](bool b) {
        *result = b ? ScriptValues::kTrue : ScriptValues::kFalse;
        return Done(err, 0);
    };
    if (ref->code == kSave) {
        if (argc != 0) return Done(err, ScriptErrors::kBadParameterCount);
        return boolean(db && db->Save());
    }
    if (argc != 1) return Done(err, ScriptErrors::kBadParameterCount);
    if (ref->code == kCloseTable) {
        RecordSetObject* rs = nullptr;
        ScriptObject* o = heap_->GetObject(stack[0]);
        if (o && o->Kind() == RecordSetObject::kKind) rs = static_cast<RecordSetObject*>(o);
        if (rs) rs->Close();
        return boolean(true);
    }
    String name;
    int rc = heap_->ToString(stack[0], &name);
    if (rc) return Done(err, rc);
    if (!db) return boolean(false);
    if (ref->code == kDropTable) return boolean(db->DropTable(name));
    int32_t index = ref->code == kOpenTable ? db->FindTable(name) : db->CreateTable(name);
    if (index < 0) {
        *result = ScriptValues::kNull;
        return Done(err, 0);
    }
    DbTable* table = db->TableAt(index);
    RecordPosition first =
        RecordPosition::At(table->RowCount() > 0 ? 0 : RecordPosition::kAfterLast);
    RecordSetObject* rs = new (std::nothrow) RecordSetObject(db, table, first);
    if (!rs) return Done(err, ScriptErrors::kOutOfMemory);
    return Done(err, RecordSetObject::ToScript(rs, heap_, result));
}

int DatabaseObject::GetValue(int* err, ScriptMemberRef* ref, ScriptHeap* heap,
                             ScriptValue* result) {
    *result = ScriptValues::kUndefined;
    Database* db = db_.Get();
    if (ref->code == kName) return Done(err, heap->NewString(db ? db->Name() : String(), result));
    if (ref->code == kCount) return Done(err, heap->NewNumber(db ? db->TableCount() : 0, result));
    return Done(err, ScriptErrors::kCannotGet);
}

int DatabaseObject::DefaultValue(int* err, ScriptHeap* heap, int, ScriptValue* result) {
    return Done(err, heap->NewStringAscii("[object Database]", result));
}

// ---------------------------------------------------------------- DatabaseScriptHost

DatabaseScriptHost::~DatabaseScriptHost() {
    ScriptHeap::DetachObject(heap_, this);
}

void DatabaseScriptHost::SetQueryResource(Resource* resource) {
    queryResource_.Assign(resource);
}

void DatabaseScriptHost::Notify(int event, ScriptHeap* heap) {
    heap_ = event == 0 ? heap : nullptr;
}

int DatabaseScriptHost::Resolve(int* err, const ScriptName& name, ScriptMemberRef* ref, bool) {
    if (ref->IsBound()) return Done(err, ScriptErrors::kMemberUnknown);
    if (name.id != kOpenDatabase && name.id != kSqlExecute && !(name.id >= 38 && name.id <= 41))
        return Done(err, ScriptErrors::kMemberUnknown);
    return BindMember(err, ref, name.id);
}

int DatabaseScriptHost::GetValue(int* err, ScriptMemberRef* ref, ScriptHeap* heap,
                                 ScriptValue* result) {
    *result = ScriptValues::kUndefined;
    static const int kTypes[4] = {DbTable::kText, DbTable::kPooledText, DbTable::kSmallNumber,
                                  DbTable::kNumber};
    if (ref->code >= 38 && ref->code <= 41)
        return Done(err, heap->NewNumber(kTypes[ref->code - 38], result));
    return Done(err, ScriptErrors::kCannotGet);
}

int DatabaseScriptHost::Call(int* err, ScriptMemberRef* ref, int argc, const ScriptValue* stack,
                             ScriptValue* result) {
    *result = ScriptValues::kUndefined;
    if (ref->code == kSqlExecute && heap_) return Done(err, Execute(argc, stack, result));
    if (ref->code != kOpenDatabase || !heap_) return Done(err, ScriptErrors::kInvalidType);
    if (argc != 1) return Done(err, ScriptErrors::kBadParameterCount);
    String name;
    int rc = heap_->ToString(stack[0], &name);
    if (rc) return Done(err, rc);
    TableRef db = TableRef::Adopt(opener_ ? opener_->OpenDatabase(name) : nullptr);
    if (!db) {
        *result = ScriptValues::kNull;
        return Done(err, 0);
    }
    DatabaseObject* o = new (std::nothrow) DatabaseObject(db.Get());
    if (!o) return Done(err, ScriptErrors::kOutOfMemory);
    return Done(err, DatabaseObject::ToScript(o, heap_, result));
}

// The query's first match as an entry object; a query that does not compile gives null and its
// compiler code (19 syntax, 20 unknown name, 1 memory) as the error.
int DatabaseScriptHost::Execute(int argc, const ScriptValue* stack, ScriptValue* result) {
    if (argc != 1) return ScriptErrors::kBadParameterCount;
    String text;
    int rc = heap_->ToString(stack[0], &text);
    if (rc) return rc;
    IndexQuery* parsed = nullptr;
    rc = SqlParser::Parse(text, queryResource_.Get(), parsed);
    RefPtr<IndexQuery> query = RefPtr<IndexQuery>::Adopt(parsed);
    if (rc) {
        *result = ScriptValues::kNull;
        return rc;
    }
    std::unique_ptr<IndexRecordSetObject> entry(new (std::nothrow) IndexRecordSetObject(
        query.Get(), RecordPosition::At(RecordPosition::kBeforeFirst)));
    if (!entry) return ScriptErrors::kOutOfMemory;
    // What href, url and the word-list record need of the book (whose tables answered).
    entry->SetBookLocation(queryResource_->GetLocation().text);
    if (DocumentSource* doc = queryResource_->GetDocument()) {
        String databaseName, shortId;
        doc->GetDatabaseName(databaseName);
        doc->GetShortName(shortId);
        entry->SetBookNames(databaseName, shortId);
    }
    return heap_->NewObject(std::move(entry), result);
}

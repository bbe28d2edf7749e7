#include "database/table_record_set.h"

#include <cmath>
#include <memory>
#include <new>

#include "core/random.h"
#include "script/script_heap.h"
#include "script/script_names.h"

namespace {

using namespace ScriptNames::Ids;
// Columns read as properties get codes from here up.
constexpr int kColumnBase = 0x10000;

bool IsMethod(int id) {
    switch (id) {
        case kMoveNext:
        case kMovePrevious:
        case kMoveFirst:
        case kMoveLast:
        case kMoveRandom:
        case kAddNew:
        case kDelete:
        case kFindFirst:
        case kFindNext:
        case kValue:
        case kAddField:
        case kRemoveField:
            return true;
        default:
            return false;
    }
}

bool IsProperty(int id) {
    return id == kBof || id == kEof || id == kCount || id == kFields || id == kName;
}

// Column types from a script: the codes themselves, or TYPE_STRING (38), TYPE_POOLED_STRING
// (39), TYPE_UBYTE (40), TYPE_UINT (41).
int32_t ColumnTypeFromScript(int32_t v) {
    switch (v) {
        case 38:
            return DbTable::kText;
        case 39:
            return DbTable::kPooledText;
        case 40:
            return DbTable::kSmallNumber;
        case 41:
            return DbTable::kNumber;
        default:
            return DbTable::IsValidType(static_cast<uint32_t>(v)) ? v : -1;
    }
}

}  // namespace

// ---------------------------------------------------------------- TableRecordSet

TableRecordSet::TableRecordSet(Database* db, DbTable* table) : db_(db), table_(table) {}

TableRecordSet::~TableRecordSet() = default;

uint32_t TableRecordSet::Count() {
    return table_ ? static_cast<uint32_t>(table_->RowCount()) : 0;
}

bool TableRecordSet::CellText(int32_t row, int32_t col, String& out) const {
    if (!table_) return false;
    const DbValue* v = table_->Cell(row, col);
    if (!v || v->type == DbValue::kEmpty) return false;
    if (v->IsNumber()) {
        out.Release();
        return out.AppendUnsigned(v->number1, 10);
    }
    out.Assign(v->text);
    return true;
}

RecordPosition TableRecordSet::FindKey(TableRecordSet* set, const String& column,
                                       const String& key) {
    if (!set) return RecordPosition::At(RecordPosition::kAfterLast);
    return set->FindNext(column, key, RecordPosition::At(RecordPosition::kBeforeFirst));
}

RecordPosition TableRecordSet::FindNext(const String& column, const String& key,
                                        const RecordPosition& pos) {
    RecordPosition none = RecordPosition::At(RecordPosition::kAfterLast);
    if (!table_ || pos.afterLast) return none;
    int32_t col = table_->FindColumn(column);
    if (col < 0) return none;
    bool number = table_->IsNumberColumn(col);
    uint32_t wanted = 0;
    if (number && !key.ParseUnsigned(10, wanted)) return none;
    int32_t start = pos.beforeFirst ? 0 : static_cast<int32_t>(pos.value) + 1;
    String text;
    for (int32_t r = start; r < table_->RowCount(); ++r) {
        const DbValue* v = table_->Cell(r, col);
        if (v->type == DbValue::kEmpty) continue;
        if (number ? v->number1 == wanted : v->text == key) return RecordPosition::At(r);
    }
    return none;
}

bool TableRecordSet::TextOf(int32_t row, const char* column, String& out) const {
    if (!table_) return false;
    String name;
    name.AppendAscii(column);
    int32_t col = table_->FindColumn(name);
    return col >= 0 && table_->IsTextColumn(col) && table_->GetText(row, col, out) &&
           !out.IsEmpty();
}

int32_t TableRecordSet::FirstTextColumn() const {
    for (int32_t c = 0; table_ && c < table_->ColumnCount(); ++c)
        if (table_->IsTextColumn(c)) return c;
    return -1;
}

bool TableRecordSet::GetText(const RecordPosition& pos, String& out) {
    if (!ValidRow(pos)) return false;
    int32_t row = static_cast<int32_t>(pos.value);
    if (TextOf(row, "orth", out)) return true;
    int32_t col = FirstTextColumn();
    return col >= 0 && table_->GetText(row, col, out);
}

bool TableRecordSet::GetDisplayText(const RecordPosition& pos, String& out) {
    if (!ValidRow(pos)) return false;
    if (TextOf(static_cast<int32_t>(pos.value), "formatted", out)) return true;
    return GetText(pos, out);
}

bool TableRecordSet::GetShortId(const RecordPosition& pos, String& out) {
    return ValidRow(pos) && TextOf(static_cast<int32_t>(pos.value), "shortid", out);
}

uint32_t TableRecordSet::GetIcon(const RecordPosition& pos) {
    if (!ValidRow(pos)) return 0;
    String name;
    name.AppendAscii("icon");
    uint32_t mark = 0;
    if (!table_->GetNumber(static_cast<int32_t>(pos.value), table_->FindColumn(name), mark))
        return 0;
    return mark == 1 ? 225 : mark == 2 ? 230 : 0;
}

bool TableRecordSet::GetTableName(String& out, bool next) {
    if (!table_) return false;
    if (!next) {
        out.Assign(table_->Name());
        return !out.IsEmpty();
    }
    Database* db = table_->Owner();
    const String& own = table_->Name();
    if (!db || own.Length() < 3) return false;
    for (int32_t i = 0; i < db->TableCount(); ++i) {
        DbTable* t = db->TableAt(i);
        if (t == table_.Get() || t->Name().Length() < 3) continue;
        if (t->Name().CompareN(own.Data(), 3, true) == 0) {
            out.Assign(t->Name());
            return true;
        }
    }
    return false;
}

ScriptObject* TableRecordSet::MakeScriptObject(const RecordPosition& pos) {
    RecordSetObject* o = new (std::nothrow) RecordSetObject(db_.Get(), table_.Get(), pos);
    return o ? static_cast<ScriptObject*>(o) : nullptr;
}

// ---------------------------------------------------------------- RecordSetObject

RecordSetObject::RecordSetObject(Database* db, DbTable* table, const RecordPosition& current)
    : TableRecordSet(db, table), current_(current) {
    if (table_) table_->AddObserver(this);
    randomState_ = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(this) >> 4) | 1u;
}

RecordSetObject::~RecordSetObject() {
    Close();
    ScriptHeap::DetachObject(heap_, this);
}

void RecordSetObject::Close() {
    if (!table_) return;
    table_->RemoveObserver(this);
    table_.Reset();
    db_.Assign(nullptr);
    current_.Assign(RecordPosition::kAfterLast);
}

int RecordSetObject::ToScript(RecordSetObject* object, ScriptHeap* heap, ScriptValue* out) {
    if (!object) {
        *out = ScriptValues::kNull;
        return 0;
    }
    // The heap value adopts the creator's reference.
    return heap->NewObject(RefPtr<RecordSetObject>::Adopt(object), out);
}

void RecordSetObject::Notify(int event, ScriptHeap* heap) {
    if (event == 0) {
        heap_ = heap;
    } else {
        heap_ = nullptr;
        RefCounted::Release();
    }
}

void RecordSetObject::RowDeleted(int32_t row) {
    if (!current_.IsRow()) return;
    int32_t cur = static_cast<int32_t>(current_.value);
    if (cur > row) {
        current_.Assign(cur - 1);
    } else if (cur == row && cur >= table_->RowCount()) {
        current_.Assign(RecordPosition::kAfterLast);
    }
}

void RecordSetObject::RowsCleared() {
    current_.Assign(RecordPosition::kAfterLast);
}

int RecordSetObject::Resolve(int* err, const ScriptName& name, ScriptMemberRef* ref, bool) {
    if (ref->IsBound()) return Done(err, ScriptErrors::kMemberUnknown);
    int id = name.id;
    if (IsMethod(id) || IsProperty(id)) return BindMember(err, ref, id);
    if (table_) {
        int32_t col = table_->FindColumn(name.Text());
        if (col >= 0) return BindMember(err, ref, kColumnBase + col);
    }
    return Done(err, ScriptErrors::kMemberUnknown);
}

int RecordSetObject::ReadCell(ScriptHeap* heap, int32_t col, ScriptValue* out) const {
    *out = ScriptValues::kNull;
    if (!table_ || !current_.IsRow()) return 0;
    const DbValue* v = table_->Cell(static_cast<int32_t>(current_.value), col);
    if (!v || v->type == DbValue::kEmpty) return 0;
    if (v->IsNumber()) return heap->NewNumber(v->number1, out);
    return heap->NewString(v->text, out);
}

int RecordSetObject::WriteCell(ScriptHeap* heap, int32_t col, ScriptValue value) {
    if (!table_ || !current_.IsRow() || col < 0 || col >= table_->ColumnCount())
        return ScriptErrors::kCannotSet;
    int32_t row = static_cast<int32_t>(current_.value);
    uint32_t tag = ScriptValues::Tag(value);
    bool ok = false;
    if (value == ScriptValues::kNull || tag == ScriptTag::kUndefined) {
        ok = table_->SetNull(row, col);
    } else if (table_->IsTextColumn(col)) {
        String text;
        int rc = heap->ToString(value, &text);
        if (rc) return rc;
        ok = table_->SetText(row, col, text);
    } else {
        double d = 0;
        int rc = heap->ToNumber(value, &d);
        if (rc) return rc;
        // Number columns hold whole numbers from 0; anything else is a type mismatch.
        if (!(d >= 0 && d <= 4294967295.0) || std::floor(d) != d) return ScriptErrors::kInvalidType;
        ok = table_->SetNumber(row, col, static_cast<uint32_t>(d));
        if (!ok && table_->ColumnType(col) == DbTable::kSmallNumber && d > 255)
            return ScriptErrors::kInvalidType;
    }
    return ok ? 0 : ScriptErrors::kCannotSet;
}

int RecordSetObject::FindColumnArg(ScriptValue v, int32_t* col) const {
    *col = -1;
    if (!table_) return ScriptErrors::kMemberUnknown;
    uint32_t tag = ScriptValues::Tag(v);
    if (tag == ScriptTag::kNumber || tag == ScriptTag::kWord) {
        int32_t i = -1;
        int rc = heap_->ToInteger(v, &i);
        if (rc) return rc;
        if (i < 0 || i >= table_->ColumnCount()) return ScriptErrors::kMemberUnknown;
        *col = i;
        return 0;
    }
    String name;
    int rc = heap_->ToString(v, &name);
    if (rc) return rc;
    *col = table_->FindColumn(name);
    return *col < 0 ? ScriptErrors::kMemberUnknown : 0;
}

int RecordSetObject::Call(int* err, ScriptMemberRef* ref, int argc, const ScriptValue* stack,
                          ScriptValue* result) {
    *result = ScriptValues::kUndefined;
    int id = ref->code;
    if (!IsMethod(id)) return Done(err, ScriptErrors::kInvalidType);
    if (!heap_) return Done(err, ScriptErrors::kInvalidType);
    auto want = [&](int n) { return argc == n; };
    auto boolean = [&](bool b) {
        *result = b ? ScriptValues::kTrue : ScriptValues::kFalse;
        return Done(err, 0);
    };
    uint32_t n = Count();
    switch (id) {
        case kMoveFirst:
        case kMoveLast:
        case kMoveNext:
        case kMovePrevious:
        case kMoveRandom:
            if (!want(0)) return Done(err, ScriptErrors::kBadParameterCount);
            if (id == kMoveFirst) current_ = Next(RecordPosition::At(RecordPosition::kBeforeFirst));
            if (id == kMoveLast)
                current_ = Previous(RecordPosition::At(RecordPosition::kAfterLast));
            if (id == kMoveNext) current_ = Next(current_);
            if (id == kMovePrevious) current_ = Previous(current_);
            if (id == kMoveRandom) {
                if (n == 0) {
                    current_.Assign(RecordPosition::kAfterLast);
                } else {
                    randomState_ = randomState_ * 1664525u + 1013904223u;
                    current_.Assign(static_cast<int32_t>((randomState_ >> 8) % n));
                }
            }
            return boolean(current_.IsRow());
        case kAddNew: {
            if (!want(0)) return Done(err, ScriptErrors::kBadParameterCount);
            int32_t row = table_ ? table_->AddRecord() : -1;
            if (row >= 0) current_.Assign(row);
            return boolean(row >= 0);
        }
        case kDelete: {
            if (!want(0)) return Done(err, ScriptErrors::kBadParameterCount);
            if (!table_ || !current_.IsRow()) return boolean(false);
            // The observer call moves current to the row that took its place.
            return boolean(table_->DeleteRecord(static_cast<int32_t>(current_.value)));
        }
        case kFindFirst:
        case kFindNext: {
            if (!want(2)) return Done(err, ScriptErrors::kBadParameterCount);
            String field, key;
            int rc = heap_->ToString(stack[0], &field);
            if (!rc) rc = heap_->ToString(stack[1], &key);
            if (rc) return Done(err, rc);
            RecordPosition found =
                id == kFindFirst ? FindKey(this, field, key) : FindNext(field, key, current_);
            if (found.IsRow()) current_ = found;
            return boolean(found.IsRow());
        }
        case kValue: {
            if (!want(1)) return Done(err, ScriptErrors::kBadParameterCount);
            int32_t col = -1;
            int rc = FindColumnArg(stack[0], &col);
            if (rc) return Done(err, rc);
            return Done(err, ReadCell(heap_, col, result));
        }
        case kAddField: {
            if (!want(2)) return Done(err, ScriptErrors::kBadParameterCount);
            String name;
            int32_t type = -1;
            int rc = heap_->ToString(stack[0], &name);
            if (!rc) rc = heap_->ToInteger(stack[1], &type);
            if (rc) return Done(err, rc);
            int32_t t = ColumnTypeFromScript(type);
            return boolean(table_ && t >= 0 &&
                           table_->AddColumn(name, static_cast<uint32_t>(t)) >= 0);
        }
        case kRemoveField: {
            if (!want(1)) return Done(err, ScriptErrors::kBadParameterCount);
            String name;
            int rc = heap_->ToString(stack[0], &name);
            if (rc) return Done(err, rc);
            return boolean(table_ && table_->RemoveColumn(name));
        }
        default:
            return Done(err, ScriptErrors::kInvalidType);
    }
}

int RecordSetObject::GetValue(int* err, ScriptMemberRef* ref, ScriptHeap* heap,
                              ScriptValue* result) {
    *result = ScriptValues::kUndefined;
    int id = ref->code;
    if (id >= kColumnBase) return Done(err, ReadCell(heap, id - kColumnBase, result));
    switch (id) {
        case kBof:
        case kEof: {
            bool empty = Count() == 0;
            bool at = id == kBof ? current_.beforeFirst != 0 : current_.afterLast != 0;
            *result = empty || at ? ScriptValues::kTrue : ScriptValues::kFalse;
            return Done(err, 0);
        }
        case kCount:
            return Done(err, heap->NewNumber(Count(), result));
        case kName: {
            String name;
            if (table_) name.Assign(table_->Name());
            return Done(err, heap->NewString(name, result));
        }
        case kFields: {
            std::unique_ptr<RecordSetProperty> p(new (std::nothrow) RecordSetProperty(this));
            if (!p) return Done(err, ScriptErrors::kOutOfMemory);
            return Done(err, heap->NewObject(std::move(p), result));
        }
        default:
            return Done(err, ScriptErrors::kCannotGet);
    }
}

int RecordSetObject::SetValue(int* err, ScriptMemberRef* ref, ScriptHeap* heap, ScriptValue value) {
    if (ref->code < kColumnBase) return Done(err, ScriptErrors::kCannotSet);
    return Done(err, WriteCell(heap, ref->code - kColumnBase, value));
}

int RecordSetObject::DefaultValue(int* err, ScriptHeap* heap, int, ScriptValue* result) {
    return Done(err, heap->NewStringAscii("[object RecordSet]", result));
}

// ---------------------------------------------------------------- RecordSetProperty

RecordSetProperty::RecordSetProperty(RecordSetObject* set) : set_(set) {}

RecordSetProperty::~RecordSetProperty() {
    ScriptHeap::DetachObject(heap_, this);
}

void RecordSetProperty::Notify(int event, ScriptHeap* heap) {
    if (event == 0) {
        heap_ = heap;
    } else {
        heap_ = nullptr;
        delete this;
    }
}

int RecordSetProperty::Resolve(int* err, const ScriptName& name, ScriptMemberRef* ref, bool) {
    if (ref->IsBound()) return Done(err, ScriptErrors::kMemberUnknown);
    DbTable* table = set_->Table();
    ref->object = this;
    ref->index = -1;
    if (name.id == kCount || name.id == kValue) {
        ref->code = name.id;
        return Done(err, 0);
    }
    if (!table) return Done(err, ScriptErrors::kMemberUnknown);
    // Fields[2] and Fields["orth"] / Fields.orth.
    String text = name.Text();
    uint32_t index = 0;
    int32_t col = -1;
    if (text.ParseUnsigned(10, index))
        col =
            index < static_cast<uint32_t>(table->ColumnCount()) ? static_cast<int32_t>(index) : -1;
    else
        col = table->FindColumn(text);
    if (col < 0) return Done(err, ScriptErrors::kMemberUnknown);
    ref->code = kColumnBase + col;
    return Done(err, 0);
}

int RecordSetProperty::GetValue(int* err, ScriptMemberRef* ref, ScriptHeap* heap,
                                ScriptValue* result) {
    *result = ScriptValues::kUndefined;
    if (ref->code == kCount) {
        DbTable* t = set_->Table();
        return Done(err, heap->NewNumber(t ? t->ColumnCount() : 0, result));
    }
    DbTable* table = set_->Table();
    int32_t col = ref->code - kColumnBase;
    if (ref->code < kColumnBase || !table || col >= table->ColumnCount())
        return Done(err, ScriptErrors::kCannotGet);
    std::unique_ptr<RecordSetField> f(new (std::nothrow)
                                          RecordSetField(set_.Get(), table->ColumnName(col)));
    if (!f) return Done(err, ScriptErrors::kOutOfMemory);
    return Done(err, heap->NewObject(std::move(f), result));
}

int RecordSetProperty::Call(int* err, ScriptMemberRef* ref, int argc, const ScriptValue* stack,
                            ScriptValue* result) {
    // Fields.Value(i) / Fields.Value("name") reads like Fields[i].
    *result = ScriptValues::kUndefined;
    if (ref->code != kValue || !heap_) return Done(err, ScriptErrors::kInvalidType);
    if (argc != 1) return Done(err, ScriptErrors::kBadParameterCount);
    ScriptMemberRef r;
    String text;
    int rc = heap_->ToString(stack[0], &text);
    if (rc) return Done(err, rc);
    ScriptName n;
    n.chars = text.Data();
    n.length = static_cast<uint32_t>(text.Length());
    rc = Resolve(nullptr, n, &r, false);
    if (rc) return Done(err, rc);
    return GetValue(err, &r, heap_, result);
}

// ---------------------------------------------------------------- RecordSetField

RecordSetField::RecordSetField(RecordSetObject* set, const String& column)
    : set_(set), column_(column) {}

RecordSetField::~RecordSetField() {
    ScriptHeap::DetachObject(heap_, this);
}

void RecordSetField::Notify(int event, ScriptHeap* heap) {
    if (event == 0) {
        heap_ = heap;
    } else {
        heap_ = nullptr;
        delete this;
    }
}

int RecordSetField::Resolve(int* err, const ScriptName& name, ScriptMemberRef* ref, bool) {
    if (ref->IsBound()) return Done(err, ScriptErrors::kMemberUnknown);
    int id = name.id;
    if (id != kName && id != kType && id != kValue && id != kValueLower)
        return Done(err, ScriptErrors::kMemberUnknown);
    return BindMember(err, ref, id == kValue ? kValueLower : id);
}

int RecordSetField::GetValue(int* err, ScriptMemberRef* ref, ScriptHeap* heap,
                             ScriptValue* result) {
    *result = ScriptValues::kUndefined;
    DbTable* table = set_->Table();
    int32_t col = table ? table->FindColumn(column_) : -1;
    switch (ref->code) {
        case kName:
            return Done(err, heap->NewString(column_, result));
        case kType:
            if (col < 0) return Done(err, ScriptErrors::kCannotGet);
            return Done(err, heap->NewNumber(table->ColumnType(col), result));
        case kValueLower:
            if (col < 0) return Done(err, ScriptErrors::kCannotGet);
            return Done(err, set_->ReadCell(heap, col, result));
        default:
            return Done(err, ScriptErrors::kCannotGet);
    }
}

int RecordSetField::SetValue(int* err, ScriptMemberRef* ref, ScriptHeap* heap, ScriptValue value) {
    DbTable* table = set_->Table();
    int32_t col = table ? table->FindColumn(column_) : -1;
    if (ref->code != kValueLower || col < 0) return Done(err, ScriptErrors::kCannotSet);
    return Done(err, set_->WriteCell(heap, col, value));
}

int RecordSetField::DefaultValue(int* err, ScriptHeap* heap, int, ScriptValue* result) {
    DbTable* table = set_->Table();
    int32_t col = table ? table->FindColumn(column_) : -1;
    if (col < 0) return Done(err, heap->NewString(String(), result));
    return Done(err, set_->ReadCell(heap, col, result));
}

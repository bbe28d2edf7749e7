// A record set over one table of a database, and its script face ("RecordSet"): a current
// row that moves, reads and writes cells, and follows rows deleted by anyone.
#pragma once

#include <cstdint>

#include "database/database.h"
#include "database/record_set.h"
#include "script/script_object.h"

class ScriptHeap;

class TableRecordSet : public OrdinalRecordSet {
public:
    // Holds the database and the table (a reference to each).
    TableRecordSet(Database* db, DbTable* table);

    DbTable* Table() const { return table_.Get(); }
    Database* GetDatabase() const { return db_.Get(); }

    // The first row whose column equals the key (text columns exactly, number columns by
    // decimal value), or after-last (-2) when none or the column is unknown.
    static RecordPosition FindKey(TableRecordSet* set, const String& column, const String& key);
    // The same, from the row after pos.
    RecordPosition FindNext(const String& column, const String& key, const RecordPosition& pos);

    // Row texts for lists: the display text is "formatted" when set, else "orth", else the
    // first text column; the text "orth" else the first text column; the label "shortid"; the
    // icon from the "icon" mark (1 a check, 2 a cross).
    bool GetText(const RecordPosition& pos, String& out) override;
    bool GetDisplayText(const RecordPosition& pos, String& out) override;
    uint32_t GetIcon(const RecordPosition& pos) override;
    bool GetShortId(const RecordPosition& pos, String& out) override;
    uint32_t Count() override;
    ScriptObject* MakeScriptObject(const RecordPosition& pos) override;
    bool GetTableName(String& out, bool next) override;

    // Text of a cell whatever its kind (numbers in decimal); false for null or out of range.
    bool CellText(int32_t row, int32_t col, String& out) const;

protected:
    ~TableRecordSet() override;
    bool TextOf(int32_t row, const char* column, String& out) const;
    int32_t FirstTextColumn() const;

    TableRef db_;
    RefPtr<DbTable> table_;
};

// The script object over a table: kind 6, class name "RecordSet".
class RecordSetObject : public TableRecordSet, public ScriptObject, private TableObserver {
public:
    static constexpr int kKind = 6;

    RecordSetObject(Database* db, DbTable* table, const RecordPosition& current);

    const RecordPosition& Current() const { return current_; }
    void SetCurrent(const RecordPosition& pos) { current_ = pos; }
    // Lets the table go (CloseTable); the object then acts as an empty set.
    void Close();

    // Hands a new object to a script: the heap value adopts the creator's reference and lets
    // it go when the last value goes (also for objects from MakeScriptObject).
    static int ToScript(RecordSetObject* object, ScriptHeap* heap, ScriptValue* out);

    int Kind() override { return kKind; }
    int Resolve(int* err, const ScriptName& name, ScriptMemberRef* ref, bool create) override;
    int Call(int* err, ScriptMemberRef* ref, int argc, const ScriptValue* stack,
             ScriptValue* result) override;
    int SetValue(int* err, ScriptMemberRef* ref, ScriptHeap* heap, ScriptValue value) override;
    int GetValue(int* err, ScriptMemberRef* ref, ScriptHeap* heap, ScriptValue* result) override;
    int DefaultValue(int* err, ScriptHeap* heap, int hint, ScriptValue* result) override;
    void Notify(int event, ScriptHeap* heap) override;

    // Shared with the field objects: a cell as a script value, and a script value into a cell.
    int ReadCell(ScriptHeap* heap, int32_t col, ScriptValue* out) const;
    int WriteCell(ScriptHeap* heap, int32_t col, ScriptValue value);
    ScriptHeap* Heap() const { return heap_; }

protected:
    ~RecordSetObject() override;

private:
    void RowDeleted(int32_t row) override;
    void RowsCleared() override;
    int FindColumnArg(ScriptValue v, int32_t* col) const;

    RecordPosition current_;
    ScriptHeap* heap_ = nullptr;
    uint32_t randomState_ = 0;
};

// The field collection of a record set (kind 9): Count, and fields by index or name.
class RecordSetProperty : public ScriptObject {
public:
    static constexpr int kKind = 9;
    explicit RecordSetProperty(RecordSetObject* set);
    ~RecordSetProperty() override;
    int Kind() override { return kKind; }
    int Resolve(int* err, const ScriptName& name, ScriptMemberRef* ref, bool create) override;
    int GetValue(int* err, ScriptMemberRef* ref, ScriptHeap* heap, ScriptValue* result) override;
    int Call(int* err, ScriptMemberRef* ref, int argc, const ScriptValue* stack,
             ScriptValue* result) override;
    void Notify(int event, ScriptHeap* heap) override;

private:
    RefPtr<RecordSetObject> set_;
    ScriptHeap* heap_ = nullptr;
};

// One column of a record set (kind 8): name, type and the current row's value.
class RecordSetField : public ScriptObject {
public:
    static constexpr int kKind = 8;
    RecordSetField(RecordSetObject* set, const String& column);
    ~RecordSetField() override;
    int Kind() override { return kKind; }
    int Resolve(int* err, const ScriptName& name, ScriptMemberRef* ref, bool create) override;
    int GetValue(int* err, ScriptMemberRef* ref, ScriptHeap* heap, ScriptValue* result) override;
    int SetValue(int* err, ScriptMemberRef* ref, ScriptHeap* heap, ScriptValue value) override;
    int DefaultValue(int* err, ScriptHeap* heap, int hint, ScriptValue* result) override;
    void Notify(int event, ScriptHeap* heap) override;

private:
    RefPtr<RecordSetObject> set_;
    String column_;
    ScriptHeap* heap_ = nullptr;
};

#include "database/history_table.h"

#include <new>

#include "database/database_object.h"

namespace {

String Ascii(const char* s) {
    String r;
    r.AppendAscii(s);
    return r;
}

}  // namespace

HistoryTable::~HistoryTable() = default;

DbTable* HistoryTable::OpenIfNeeded(DatabaseOpener* opener) {
    if (table_) return table_.Get();
    String name = Ascii("folivant_history");
    TableRef opened = TableRef::Adopt(opener ? opener->OpenDatabase(name) : nullptr);
    if (!opened) {
        opened = TableRef::Adopt(new (std::nothrow) Database());
        if (!opened) return nullptr;
        opened->SetName(name);
    }
    db_ = std::move(opened);
    Database* db = db_.Get();
    int32_t index = db->FindTable(name);
    if (index < 0) index = db->CreateTable(name);
    DbTable* table = db->TableAt(index);
    if (!table) return nullptr;
    int32_t ent = table->AddColumn(Ascii("ent"), DbTable::kNumber);
    int32_t book = table->AddColumn(Ascii("book"), DbTable::kPooledText);
    int32_t tab = table->AddColumn(Ascii("tab"), DbTable::kNumber);
    // A table whose columns have other types is left alone.
    if (ent < 0 || book < 0 || tab < 0) return nullptr;
    entCol_ = ent;
    bookCol_ = book;
    tabCol_ = tab;
    table_.Assign(table);
    return table;
}

bool HistoryTable::Save() {
    Database* db = db_.Get();
    return db && db->Save();
}

void HistoryTable::NoteUnsaved() const {
    if (const Database* db = db_.Get()) db->NoteUnsaved();
}

bool HistoryTable::GetRow(int32_t row, String& book, uint32_t& table, uint32_t& entry) const {
    // Columns may have been removed by a script since opening.
    if (!table_ || table_->FindColumn(Ascii("ent")) != entCol_ ||
        table_->FindColumn(Ascii("book")) != bookCol_ ||
        table_->FindColumn(Ascii("tab")) != tabCol_)
        return false;
    return table_->GetText(row, bookCol_, book) && table_->GetNumber(row, tabCol_, table) &&
           table_->GetNumber(row, entCol_, entry);
}

bool HistoryTable::AddEntry(const String& book, uint32_t table, uint32_t entry) {
    if (!table_) return false;
    int32_t rows = table_->RowCount();
    String b;
    uint32_t t = 0, e = 0;
    if (rows > 0 && GetRow(rows - 1, b, t, e) && b == book && t == table && e == entry) return true;
    for (int32_t r = rows - 1; r >= 0; --r) {
        if (GetRow(r, b, t, e) && b == book && t == table && e == entry) {
            if (!table_->DeleteRecord(r)) return false;
            break;
        }
    }
    int32_t row = table_->AddRecord();
    if (row < 0) return false;
    if (!table_->SetText(row, bookCol_, book) || !table_->SetNumber(row, tabCol_, table) ||
        !table_->SetNumber(row, entCol_, entry)) {
        table_->DeleteRecord(row);
        return false;
    }
    while (table_->RowCount() > kMaxRows)
        if (!table_->DeleteRecord(0)) break;
    return true;
}

bool HistoryTable::Clear() {
    return table_ && table_->DeleteAllRecords();
}

void HistoryTable::ReleaseCursors() {
    if (resolver_) resolver_->ReleaseCursors();
}

bool HistoryTable::GetFieldText(int32_t row, int mode, String& out) {
    String book;
    uint32_t table = 0, entry = 0;
    out.Release();
    if (!GetRow(row, book, table, entry)) return false;
    switch (mode) {
        case 0:
            if (resolver_ && resolver_->Headword(book, table, entry, out) && !out.IsEmpty())
                return true;
            out.Assign(book);
            return true;
        case 1:
            return resolver_ && resolver_->ShortId(book, out);
        case 2:
            return resolver_ && resolver_->LinkText(book, table, entry, out);
        default:
            return false;
    }
}

uint32_t HistoryTable::Count() {
    return table_ ? static_cast<uint32_t>(table_->RowCount()) : 0;
}

bool HistoryTable::GetText(const RecordPosition& pos, String& out) {
    return ValidRow(pos) && GetFieldText(static_cast<int32_t>(pos.value), 2, out);
}

bool HistoryTable::GetDisplayText(const RecordPosition& pos, String& out) {
    return ValidRow(pos) && GetFieldText(static_cast<int32_t>(pos.value), 0, out);
}

bool HistoryTable::GetShortId(const RecordPosition& pos, String& out) {
    return ValidRow(pos) && GetFieldText(static_cast<int32_t>(pos.value), 1, out);
}

bool HistoryTable::GetTableName(String& out, bool next) {
    if (next || !table_) return false;
    out.Assign(table_->Name());
    return true;
}

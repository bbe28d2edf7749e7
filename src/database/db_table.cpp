#include "database/db_table.h"

#include <algorithm>
#include <new>

#include "database/database.h"

DbTable::DbTable(Database* owner, const String& name) : owner_(owner), name_(name) {}

int32_t DbTable::FindColumn(const String& name) const {
    for (size_t i = 0; i < columns_.size(); ++i)
        if (columns_[i].name == name) return static_cast<int32_t>(i);
    return -1;
}

bool DbTable::Writable() const {
    return !owner_ || !owner_->IsReadOnly();
}

void DbTable::Touch() {
    if (owner_) owner_->SetDirty();
}

int32_t DbTable::AddColumn(const String& name, uint32_t type) {
    if (name.IsEmpty() || !IsValidType(type) || !Writable()) return -1;
    int32_t existing = FindColumn(name);
    if (existing >= 0) return columns_[existing].type == type ? existing : -1;
    try {
        for (auto& row : rows_) row.reserve(columns_.size() + 1);
        columns_.push_back(Column{name, static_cast<uint8_t>(type)});
        for (auto& row : rows_) row.emplace_back();
    } catch (const std::bad_alloc&) {
        if (columns_.size() > 0 && columns_.back().name == name) columns_.pop_back();
        for (auto& row : rows_) row.resize(columns_.size());
        return -1;
    }
    Touch();
    return ColumnCount() - 1;
}

bool DbTable::RemoveColumn(const String& name) {
    int32_t col = FindColumn(name);
    if (col < 0 || !Writable()) return false;
    columns_.erase(columns_.begin() + col);
    for (auto& row : rows_) row.erase(row.begin() + col);
    Touch();
    return true;
}

bool DbTable::IsTextColumn(int32_t col) const {
    return col >= 0 && col < ColumnCount() &&
           (columns_[col].type == kText || columns_[col].type == kPooledText);
}

bool DbTable::IsNumberColumn(int32_t col) const {
    return col >= 0 && col < ColumnCount() &&
           (columns_[col].type == kNumber || columns_[col].type == kSmallNumber);
}

bool DbTable::IsNull(int32_t row, int32_t col) const {
    return !ValidCell(row, col) || rows_[row][col].type == DbValue::kEmpty;
}

const DbValue* DbTable::Cell(int32_t row, int32_t col) const {
    return ValidCell(row, col) ? &rows_[row][col] : nullptr;
}

bool DbTable::GetText(int32_t row, int32_t col, String& out) const {
    if (!IsTextColumn(col) || IsNull(row, col)) return false;
    out.Assign(rows_[row][col].text);
    return true;
}

bool DbTable::GetNumber(int32_t row, int32_t col, uint32_t& out) const {
    if (!IsNumberColumn(col) || IsNull(row, col)) return false;
    out = rows_[row][col].number1;
    return true;
}

int32_t DbTable::AddRecord() {
    if (!Writable() || rows_.size() >= 0x7FFFFFF0u) return -1;
    try {
        rows_.emplace_back(columns_.size());
    } catch (const std::bad_alloc&) {
        return -1;
    }
    Touch();
    return RowCount() - 1;
}

bool DbTable::SetText(int32_t row, int32_t col, const String& text) {
    if (!Writable() || !ValidCell(row, col) || !IsTextColumn(col)) return false;
    DbValue& v = rows_[row][col];
    v.Init();
    v.type = DbValue::kText;
    v.text.Assign(text);
    if (columns_[col].type == kPooledText) v.flags = 1;
    Touch();
    return true;
}

bool DbTable::SetNumber(int32_t row, int32_t col, uint32_t n) {
    if (!Writable() || !ValidCell(row, col) || !IsNumberColumn(col)) return false;
    bool small = columns_[col].type == kSmallNumber;
    if (small && n > 255) return false;
    DbValue& v = rows_[row][col];
    v.Init();
    v.type = small ? DbValue::kByte : DbValue::kUnsigned;
    v.number1 = n;
    Touch();
    return true;
}

bool DbTable::SetNull(int32_t row, int32_t col) {
    if (!Writable() || !ValidCell(row, col)) return false;
    rows_[row][col].Init();
    Touch();
    return true;
}

bool DbTable::DeleteRecord(int32_t row) {
    if (!Writable() || row < 0 || row >= RowCount()) return false;
    rows_.erase(rows_.begin() + row);
    Touch();
    // Observers may remove themselves while told.
    std::vector<TableObserver*> told = observers_;
    for (TableObserver* o : told) o->RowDeleted(row);
    return true;
}

bool DbTable::DeleteAllRecords() {
    if (!Writable()) return false;
    if (rows_.empty()) return true;
    rows_.clear();
    Touch();
    std::vector<TableObserver*> told = observers_;
    for (TableObserver* o : told) o->RowsCleared();
    return true;
}

void DbTable::AddObserver(TableObserver* o) {
    observers_.push_back(o);
}

void DbTable::RemoveObserver(TableObserver* o) {
    auto it = std::find(observers_.begin(), observers_.end(), o);
    if (it != observers_.end()) observers_.erase(it);
}

bool DbTable::AppendLoadedRow(std::vector<DbValue>&& cells) {
    if (cells.size() != columns_.size()) return false;
    try {
        rows_.push_back(std::move(cells));
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

// One table of a database: named, typed columns and rows of cells. Tables are reference
// counted so that a record set keeps a dropped table alive until it lets it go; record sets
// that keep positions watch the table for deleted rows.
#pragma once

#include <cstdint>
#include <vector>

#include "core/ref_counted.h"
#include "core/string.h"
#include "database/db_value.h"

class Database;

// Told when rows go away, so that positions after them can move up.
class TableObserver {
public:
    virtual void RowDeleted(int32_t row) = 0;
    virtual void RowsCleared() = 0;

protected:
    ~TableObserver() = default;
};

class DbTable : public RefCounted {
public:
    // Column types: 0 text, 2 number, 5 small number (0-255), 6 pooled text.
    enum ColumnType : uint8_t { kText = 0, kNumber = 2, kSmallNumber = 5, kPooledText = 6 };
    static bool IsValidType(uint32_t type) {
        return type == kText || type == kNumber || type == kSmallNumber || type == kPooledText;
    }

    DbTable(Database* owner, const String& name);

    const String& Name() const { return name_; }
    // The database the table belongs to; null once dropped.
    Database* Owner() const { return owner_; }
    void Detach() { owner_ = nullptr; }

    int32_t ColumnCount() const { return static_cast<int32_t>(columns_.size()); }
    const String& ColumnName(int32_t col) const { return columns_[col].name; }
    uint8_t ColumnType(int32_t col) const { return columns_[col].type; }
    // The column's index, or -1 (exact, case-sensitive).
    int32_t FindColumn(const String& name) const;
    // The new column's index; an existing column of that name and type gives its index. -1 for
    // an empty name, another type, a name taken with another type or a read-only database.
    // Existing rows get null cells.
    int32_t AddColumn(const String& name, uint32_t type);
    bool RemoveColumn(const String& name);
    bool IsTextColumn(int32_t col) const;
    bool IsNumberColumn(int32_t col) const;

    int32_t RowCount() const { return static_cast<int32_t>(rows_.size()); }
    // Cell reads: false for a row or column out of range, a null cell or another column kind.
    bool IsNull(int32_t row, int32_t col) const;
    bool GetText(int32_t row, int32_t col, String& out) const;
    bool GetNumber(int32_t row, int32_t col, uint32_t& out) const;
    // The cell itself, or null out of range.
    const DbValue* Cell(int32_t row, int32_t col) const;

    // The new row's index (all cells null), or -1.
    int32_t AddRecord();
    // Writes refuse a read-only database, a bad row or column and another column kind; a
    // small-number column takes 0-255 only.
    bool SetText(int32_t row, int32_t col, const String& text);
    bool SetNumber(int32_t row, int32_t col, uint32_t n);
    bool SetNull(int32_t row, int32_t col);
    bool DeleteRecord(int32_t row);
    bool DeleteAllRecords();

    void AddObserver(TableObserver* o);
    void RemoveObserver(TableObserver* o);

    // For loading: a row of cells put in place without checks of the database state.
    bool AppendLoadedRow(std::vector<DbValue>&& cells);

private:
    struct Column {
        String name;
        uint8_t type;
    };
    bool Writable() const;
    void Touch();
    bool ValidCell(int32_t row, int32_t col) const {
        return row >= 0 && row < RowCount() && col >= 0 && col < ColumnCount();
    }

    Database* owner_;
    String name_;
    std::vector<Column> columns_;
    std::vector<std::vector<DbValue>> rows_;
    std::vector<TableObserver*> observers_;
};

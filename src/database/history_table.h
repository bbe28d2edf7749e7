// The reading and search history: table "folivant_history" of the database of that name, with
// the columns "ent" (entry number), "book" (the book's location text) and "tab" (the book's table
// number), oldest row first and at most 100 rows.
#pragma once

#include <cstdint>

#include "database/database.h"
#include "database/record_set.h"

class DatabaseOpener;

class HistoryTable : public OrdinalRecordSet {
public:
    static constexpr int32_t kMaxRows = 100;
    // The table number a row gives for a book's default table, which has no number of its own.
    static constexpr uint32_t kDefaultTable = 65535;

    // What only the book side can say about a row: the entry's headword, the book's short
    // identifier and the link to the entry (book + "##-pos" + P + "-tableid" + tab + "-entry" +
    // ent). The book side may keep books open for that until ReleaseCursors.
    class Resolver {
    public:
        virtual bool Headword(const String& book, uint32_t table, uint32_t entry, String& out) = 0;
        virtual bool ShortId(const String& book, String& out) = 0;
        virtual bool LinkText(const String& book, uint32_t table, uint32_t entry, String& out) = 0;
        virtual void ReleaseCursors() = 0;

    protected:
        ~Resolver() = default;
    };

    HistoryTable() = default;

    // Opens or creates the history database through the opener (shared with every window), or
    // in memory without one; finds or creates the table and its columns. The table, or null.
    DbTable* OpenIfNeeded(DatabaseOpener* opener);
    bool IsOpen() const { return static_cast<bool>(table_); }
    Database* GetDatabase() const { return db_.Get(); }
    // Saves the database when it is open.
    [[nodiscard]] bool Save();
    // Names the history's file to the user as one not saved (after a failed Save).
    void NoteUnsaved() const;

    // Appends (book, table, entry). A row equal to the last one changes nothing; an equal older
    // row moves to the end; the oldest rows go while there are more than 100.
    bool AddEntry(const String& book, uint32_t table, uint32_t entry);
    // Empties the table.
    bool Clear();
    // The fields of a row; false for a row out of range or missing cells.
    bool GetRow(int32_t row, String& book, uint32_t& table, uint32_t& entry) const;
    // Mode 0 the headword (else the book text), 1 the book's short identifier, 2 the link text.
    bool GetFieldText(int32_t row, int mode, String& out);

    void SetResolver(Resolver* resolver) { resolver_ = resolver; }
    void ReleaseCursors();

    uint32_t Count() override;
    bool GetText(const RecordPosition& pos, String& out) override;
    bool GetDisplayText(const RecordPosition& pos, String& out) override;
    bool GetShortId(const RecordPosition& pos, String& out) override;
    bool GetTableName(String& out, bool next) override;

protected:
    ~HistoryTable() override;

private:
    TableRef db_;
    RefPtr<DbTable> table_;
    int32_t entCol_ = -1, bookCol_ = -1, tabCol_ = -1;
    Resolver* resolver_ = nullptr;
};

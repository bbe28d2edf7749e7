// An index table of a book given out as a data handle (kind 257), and the two entry queries a
// resource answers from the book's entry-key table (header field 2).
#pragma once

#include <cstdint>

#include "bookfiles/index_table_handle.h"
#include "core/string.h"
#include "database/resource.h"

class BookDocument;
class PalmDatabase;

// The handle has no bytes: it only carries the table (with the book's inflection and naming
// tables) to whoever asks for an index table.
class IndexTableDataHandle : public DataHandle {
public:
    static constexpr uint32_t kKind = 257;

    explicit IndexTableDataHandle(Resource* owner) : DataHandle(owner) {}

    bool Open(PalmDatabase* database, uint32_t table, uint32_t inflectionTable,
              uint32_t namingTable) {
        return tables_.Open(database, table, inflectionTable, namingTable);
    }
    bool OpenInBook(const BookDocument& book, uint32_t table) {
        return tables_.OpenInBook(book, table);
    }
    const IndexTableHandle& Tables() const { return tables_; }
    const IndexTable& Table() const { return tables_.Table(); }

    // Never the handle of an id; its name is the designation it was opened by (unnamed
    // handles match no name).
    int32_t CompareId(int32_t) override { return 1; }
    int32_t CompareName(const String& name) override;
    void SetName(const String& designation) { name_ = designation; }
    bool GetData(const uint8_t*& data, uint32_t& length) override;
    bool Prepare() override { return true; }
    uint32_t GetSize() override { return 0; }
    bool ReadRaw(uint32_t, void*, uint32_t) override { return false; }
    uint32_t GetHandleKind() override { return kKind; }
    const IndexTableHandle* GetIndexTables() override {
        return tables_.Table().IsOpen() ? &tables_ : nullptr;
    }

    // The index table behind a handle, with a new reference, or null; the caller's reference
    // to the handle is released either way.
    static IndexTableDataHandle* From(DataHandle* handle);

private:
    IndexTableHandle tables_;
    String name_;
};

// Entry n of the resource's entry-key table: its key and, when it has tag 7, the key of the
// entry tag 7 numbers (else linked is emptied). False for a negative entry, an entry past the
// table, or no table.
bool GetEntryKeyAndLink(Resource& resource, String& key, String& linked, int32_t entry);
// The entry found by key (when key is not null) or by number in the same table; when it has
// tag 6, the key of the entry tag 6 numbers goes to out. False when no entry, no tag 6 or an
// unusable link was found.
bool GetEntryTag6Text(Resource& resource, String& out, const String* key, int32_t entry);

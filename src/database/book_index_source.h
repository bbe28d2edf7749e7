// Index tables of a book as queries read them: an `IndexSource` over the book files' index
// reader, and resolvers of table designations over a book resource or a book's Palm database.
#pragma once

#include <cstdint>
#include <vector>

#include "bookfiles/index_table_handle.h"
#include "database/index_query.h"
#include "database/resource.h"

class PalmDatabase;
class Resource;

class BookIndexSource : public IndexSource {
public:
    static constexpr uint32_t kNone = IndexTableHandle::kNone;

    // Null when the table cannot be opened. The database must outlive the source.
    static BookIndexSource* Open(PalmDatabase* database, uint32_t table,
                                 uint32_t inflectionTable = kNone, uint32_t namingTable = kNone);
    // Over the table a data handle carries (kind 257). Takes over the caller's reference to the
    // handle, which the source keeps (and with it the handle's resource) until it goes; null,
    // the reference released, when the handle carries no open table.
    static BookIndexSource* FromHandle(DataHandle* handle);

    const IndexTable& Table() const { return tables_->Table(); }

    uint32_t EntryCount() const override;
    bool Key(uint32_t entry, String& out) const override;
    int32_t LowerBound(const String& key) const override;
    // Runs in the table's own order: its weights and ligatures, or its key bytes.
    bool PrefixRuns(const String& prefix, EntryRuns& out) const override;
    bool TagValues(uint32_t entry, uint32_t tag, std::vector<uint32_t>& out) const override;
    bool Headword(uint32_t entry, String& out) const override;
    bool Name(String& out) const override;
    uint32_t Language() const override;
    int32_t TableNumber() const override;
    // Tag 40: entries of the inflection table, their keys joined with ", ".
    bool InflectedForms(uint32_t entry, String& out) const override;
    // Tag 8, else tag 6: texts of the table's text records.
    bool EntryText(uint32_t entry, String& out) const override;
    bool InflectionEntries(const String& word, std::vector<uint32_t>& out) const override;
    bool SpellingCandidates(const String& word, uint32_t limit,
                            std::vector<uint32_t>& out) const override;

protected:
    ~BookIndexSource() override;

private:
    BookIndexSource() = default;
    IndexTableHandle own_;
    const IndexTableHandle* tables_ = &own_;
    RefPtr<DataHandle> holder_;  // the handle tables_ belongs to, when not own_
};

// Resolves designations the way a book resource answers them: `Resource::OpenDataByName`, and
// the index table of the handle when it is one (`DataHandle::AsIndexTable`). The resource must
// outlive the resolver; the sources it opens keep their handles, and so the resource, alive.
class ResourceIndexResolver : public IndexSourceResolver {
public:
    explicit ResourceIndexResolver(Resource* resource) : resource_(resource) {}
    IndexSource* OpenIndex(const String& designation) override;

private:
    Resource* resource_;
};

// Resolves "tableid=N" (the N-th table added), "table=NAME" (by the table's name) and
// "special_table=default" (the first table) over a book's tables.
class BookIndexResolver : public IndexSourceResolver {
public:
    explicit BookIndexResolver(PalmDatabase* database,
                               uint32_t inflectionTable = BookIndexSource::kNone,
                               uint32_t namingTable = BookIndexSource::kNone)
        : database_(database), inflection_(inflectionTable), naming_(namingTable) {}
    // Registers a table by its header record.
    void AddTable(uint32_t headerRecord) { tables_.push_back(headerRecord); }
    IndexSource* OpenIndex(const String& designation) override;

private:
    PalmDatabase* database_;
    uint32_t inflection_, naming_;
    std::vector<uint32_t> tables_;
};

// A table database: a resource (kind 1) holding named tables, saved whole into record 0 of a
// Palm database of type "DUMP" (an ".ebase" file).
//
// Record 0 ("dump"), numbers big-endian:
//   "FVDB", u16 version 1, u16 flags (bit 0 read-only), u32 table count, then one block per
//   table (u32 length, bytes, zero padding to 4). A table block is a string-pooled stream with a
//   fresh pool: name; varint column count; per column name and a type byte (0, 2, 5, 6); varint
//   row count; per row one tagged cell per column (tag 0 null, 1 value: text pooled, type 2 four
//   bytes, type 5 one byte); tag 2 ends the table.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/byte_stream.h"
#include "core/ref_counted.h"
#include "core/string.h"
#include "database/db_table.h"
#include "database/resource.h"

class PalmDatabase;

class Database : public Resource {
public:
    // Result codes of OpenFile and Decode.
    enum : int {
        kOk = 0,
        kMalformed = 10,
        kMissing = 11,
        kOutOfMemory = 12,
        kUnsupported = 13,
    };
    static constexpr uint16_t kFormatVersion = 1;

    // A new, empty, writable database without a file.
    Database();

    // The file stem of a database name: ASCII letters and digits kept, every other character
    // replaced by '_', at most the first 32 characters. Non-zero (and an empty stem) when the
    // name holds no letter or digit.
    static int MakeFileStem(const String& name, String& stem);

    // Loads the dump in record 0 of the source: 0, 11 without record 0, 10 malformed, 13 newer
    // version, 12 out of memory. out is set only on success (a new reference).
    static int OpenFile(const PalmDatabase* source, Database*& out);
    // Writes the whole database into record 0 of its file, replacing the file through a
    // temporary file (a failure leaves the old file whole). False when read-only, without a
    // file or when writing failed; true without writing when nothing changed.
    [[nodiscard]] static bool Save(Database* database);
    [[nodiscard]] bool Save() { return Save(this); }

    // The database when the resource is one, else null.
    static Database* FromResource(Resource* resource);

    // The dump record as bytes, and back. Decode fills an empty database.
    bool Encode(ByteStream& out) const;
    int Decode(const uint8_t* bytes, size_t length);

    // The name (shown as the title) and the file (a device path in UTF-8; empty for none).
    const String& Name() const { return name_; }
    void SetName(const String& name) { name_.Assign(name); }
    const std::string& FilePath() const { return filePath_; }
    // Names the database's file to the user as one not saved (after a failed Save); nothing
    // for a database that has no file or is only read.
    void NoteUnsaved() const;
    void SetFilePath(const std::string& path) { filePath_ = path; }

    // Tables. CreateTable answers the new index, or -1 for an empty or existing name (or a
    // read-only database); FindTable the index or -1.
    int32_t CreateTable(const String& name);
    int32_t FindTable(const String& name) const;
    int32_t TableCount() const { return static_cast<int32_t>(tables_.size()); }
    DbTable* TableAt(int32_t i) const {
        return i >= 0 && i < TableCount() ? tables_[i].Get() : nullptr;
    }
    // Unlinks the table; record sets holding it keep it until they let go.
    bool DropTable(const String& name);

    bool IsReadOnly() const { return readOnly_; }
    void SetReadOnly(bool readOnly) { readOnly_ = readOnly; }
    bool IsDirty() const { return dirty_; }
    void SetDirty() { dirty_ = true; }
    void ClearDirty() { dirty_ = false; }

    // Resource slots.
    bool GetTitle(String& out) override;
    bool IsBinary() override { return true; }
    DataHandle* OpenDataByIndex(int32_t, const DbValue*) override { return nullptr; }
    DocumentSource* GetDocument() override { return nullptr; }
    bool CreateLayout(TokenSource*& source, PageLayout** layout) override;
    void DestroyLayout(TokenSource*, PageLayout*) override {}
    Searcher* CreateSearcher() override { return nullptr; }
    uint32_t GetKind() override { return 1; }

protected:
    ~Database() override;

private:
    String name_;
    std::string filePath_;
    std::vector<RefPtr<DbTable>> tables_;
    bool readOnly_ = false;
    bool dirty_ = false;
};

// A counted reference to a database.
using TableRef = RefPtr<Database>;

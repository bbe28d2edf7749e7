// Stores of tagged records in a Palm database: each record is a four-byte tag, a big-endian
// data length and the data. Records refer to each other by unique id (0 none). The whole store
// is held in memory and written back through a temporary file and a rename, so a failure while
// writing leaves the previous file whole; a damaged file is renamed aside, never deleted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "bookfiles/byte_order.h"
#include "bookfiles/palm_database.h"

class RecordStoreBase {
public:
    static constexpr std::uint32_t kNoRef = 0;

    RecordStoreBase() = default;
    virtual ~RecordStoreBase();
    RecordStoreBase(const RecordStoreBase&) = delete;
    RecordStoreBase& operator=(const RecordStoreBase&) = delete;

    // Opens the store at `path` (a device path). With `create`, a missing file is made, and a
    // damaged one is renamed aside and made afresh; `readOnly` never writes. 0, or a book error
    // code: 1 another kind of file, 10 damaged, 11 missing, 13 written by a newer version, 14
    // cannot open.
    virtual int OpenDefault(const char* path, bool create);
    virtual int Open(const char* path, bool readOnly, bool create);
    // A store over a copy of a database's bytes, in memory only (no file); empty bytes make a
    // new store unless read-only. 0 or an error code as Open.
    int OpenInMemory(const std::uint8_t* bytes, std::size_t size, bool readOnly);
    // A new store in memory only, holding what is still whole of a damaged database's bytes.
    // 0 or an error code.
    int OpenSalvaged(const std::uint8_t* bytes, std::size_t size);
    // Writes the default records of a new store; false on failure.
    virtual bool InitialiseNew() = 0;
    // Writes the store back when changed; 0 or non-zero.
    [[nodiscard]] virtual int Flush();
    [[nodiscard]] virtual int Close();

    // Names the store's file to the user as one not saved (after a failed Flush or Close).
    void NoteUnsaved() const;

    bool IsOpen() const { return db_ != nullptr; }
    bool IsReadOnly() const { return readOnly_; }
    const std::string& GetPath() const { return path_; }
    // Where a damaged file was put aside by the last open (empty when none).
    const std::string& SetAsidePath() const { return setAside_; }
    // The records of the damaged file that the last open kept (0 when none was set aside).
    std::uint32_t SalvagedCount() const { return salvaged_; }
    PalmDatabase* Database() const { return db_.get(); }

    std::uint32_t RecordCount() const;
    std::uint32_t TagOf(std::uint32_t index) const;
    // The record's data when it is a well-formed tagged record.
    bool GetData(std::uint32_t index, ByteSpan* out) const;
    std::int32_t FindRecord(std::uint32_t tag, std::uint32_t from = 0) const;
    std::uint32_t ReadU32(std::uint32_t index, std::uint32_t offset,
                          std::uint32_t fallback = 0) const;
    // Writes a word into a record's data, growing the data with zeros when needed.
    bool WriteU32(std::uint32_t index, std::uint32_t offset, std::uint32_t value);
    // A whole tagged record, at `index` (0xFFFF appends); its index, or -1.
    std::int32_t WriteRecord(std::uint32_t tag, const void* data, std::uint32_t length,
                             std::uint32_t index = 0xFFFF);
    bool ReplaceData(std::uint32_t index, const void* data, std::uint32_t length);
    bool DeleteRecord(std::uint32_t index);

    // References: the unique id of a record, and the record a reference names when it carries
    // the expected tag (-1 otherwise).
    std::uint32_t RefOf(std::uint32_t index) const;
    std::int32_t Resolve(std::uint32_t ref, std::uint32_t tag) const;
    // Sub-records held by a word of a main record: replaced, created, or (empty) deleted.
    bool WriteSubRecord(std::uint32_t owner, std::uint32_t field, std::uint32_t tag,
                        const void* data, std::uint32_t length);
    bool ReadSubRecord(std::uint32_t owner, std::uint32_t field, std::uint32_t tag,
                       ByteSpan* out) const;
    // A UTF-16 sub-record as units (null when absent or empty).
    const char16_t* ReadSubText(std::uint32_t owner, std::uint32_t field, std::uint32_t tag,
                                std::uint32_t* length) const;
    // Texts held as whole records of their own tag (TITL, AUTH, CATE of a side file).
    const char16_t* ReadTextRecord(std::int32_t index, std::uint32_t* length) const;

    // Category records ("CATE"), in record order; index or -1.
    std::int32_t FirstCategory() const { return FindRecord(FourCC("CATE")); }
    std::int32_t NextCategory(std::int32_t index) const;
    const char16_t* ReadCategory(std::int32_t index, std::uint32_t* length) const;
    bool DeleteCategory(std::int32_t index);

protected:
    // The store's kind; Validate checks the main record (0 sound, else an error code) and may
    // upgrade an older one in place.
    virtual const char* StoreType() const = 0;
    virtual int Validate() = 0;
    // The database name a new store gets.
    virtual std::string NewStoreName() const;
    // Copies what is still whole of a damaged file (its bytes) into the new store made in its
    // place; the number of records kept.
    virtual std::uint32_t Salvage(const std::vector<std::uint8_t>& /*damaged*/) { return 0; }
    // Whether every record can be read whole; a store opened to be written that cannot is
    // salvaged rather than used with gaps.
    virtual bool IsWhole() const { return true; }
    // The ending of the new store's name while it is written beside the file it replaces.
    static constexpr const char* kSalvagedEnding = ".salvaged";
    // Makes the store afresh in place of the file `from` with what is whole of the pending
    // bytes: written whole first, then `from` set aside (when `setAside`; else it
    // already is), then the new file renamed in. 0 or an error code.
    int Remake(const std::string& from, bool setAside);
    // Fills the open, empty database as a new store with what is whole of `salvage`, and
    // writes it; false on failure (the database is then closed).
    bool MakeFresh(const std::vector<std::uint8_t>& salvage);
    // Bytes of a file set aside before the open, to salvage when the new store is made.
    std::vector<std::uint8_t> pendingSalvage_;
    void MarkDirty() { dirty_ = true; }
    // A store of a newer version is set aside and made afresh like a damaged one.
    bool remakeNewer_ = false;

    std::unique_ptr<PalmDatabase> db_;
    std::string path_;
    std::string setAside_;
    std::uint32_t salvaged_ = 0;
    bool readOnly_ = false;
    bool dirty_ = false;
};

namespace RecordStoreFiles {
// Why a file is set aside, the ending of its new name.
inline constexpr const char* kDamaged = ".damaged";
inline constexpr const char* kBookChanged = ".book-changed";
// Renames a file to "<path><why>" (or "<path><why>2", ...): "<path>.damaged" for a damaged
// file. The new name, or empty.
std::string SetAside(const std::string& path, const char* why = kDamaged);
bool Exists(const std::string& path);
// The last name SetAside gave for `path` that exists ("<path><why>", "<path><why>2", ...);
// empty when none.
std::string LastSetAside(const std::string& path, const char* why = kDamaged);
bool Rename(const std::string& from, const std::string& to);
// Test hook: the process is killed here when FOLIVANT_TEST_KILL_AT names this step.
void StepForTesting(const char* step);

// A record of a damaged store that is still whole: its unique id as the record list gives it,
// its tag and its data.
struct WholeRecord {
    std::uint32_t ref = 0;
    std::uint32_t tag = 0;
    std::vector<std::uint8_t> data;
};
// The tagged records of a damaged database's bytes whose tag is one of `tags` and whose data
// lies whole inside the bytes, in list order. A record the list misplaces is looked for where
// the one before it ends, since records are written one after the other.
std::vector<WholeRecord> WholeRecords(const std::uint8_t* bytes, std::size_t size,
                                      const std::uint32_t* tags, std::size_t tagCount);
}  // namespace RecordStoreFiles

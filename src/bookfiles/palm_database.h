// Palm database files: a 78-byte header, a record list and the records.
//
// Three forms share one interface: read-only over a mapped file (or over bytes the caller
// keeps), read-write resident (the whole database in memory, written back to its file through a
// temporary file and a rename, so a failure leaves the old file whole), and in memory only.
// Records are addressed by index; each also has a 24-bit unique id that survives inserts and
// deletes. Record pointers stay valid until the record or the list is changed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

class Text;

class PalmDatabase {
public:
    static constexpr std::uint32_t kHeaderSize = 78;
    static constexpr std::uint32_t kAppend = 0xFFFF;
    static constexpr std::uint16_t kAttrReadOnly = 0x0002;
    static constexpr std::uint16_t kAttrBackup = 0x0008;
    static constexpr std::uint32_t kOpenReadOnly = 41;

    // The open flags callers use (any other value fails):
    //   41  existing file, read-only, mapped (books, PalmDOC, fonts, the catalogue's header read)
    //   297 as 41, and the file's type and creator must be the ones given (library cache)
    //   11  existing file, read-write (configuration store)
    //   23  read-write; created when missing, kept when present (configuration store, pages)
    //   15  as 23 (the "LogF" form-data store)
    //   151 read-write, always starting empty; replaces the file when written (generated pages)
    //   791 as 151, type and creator written (library cache)
    // Creating opens write the given creator and type into the header. `error` (may be null)
    // receives 0 or a book error code: 1 type or creator differ, 10 malformed file, 11 missing,
    // 12 out of memory, 14 cannot be opened (also for unknown flags).
    static PalmDatabase* Open(const char* path, std::uint32_t flags, const char* creator,
                              const char* type, int* error);
    static PalmDatabase* Open(const Text& path, std::uint32_t flags, const char* creator,
                              const char* type, int* error);
    // Read-only over bytes that the caller keeps alive and unchanged.
    static PalmDatabase* OpenView(const std::uint8_t* bytes, std::size_t size, int* error);
    // Read-write, in memory only (no file): empty, or a copy of a database's bytes.
    static PalmDatabase* CreateInMemory(const char* creator, const char* type);
    static PalmDatabase* LoadInMemory(const std::uint8_t* bytes, std::size_t size, int* error);

    virtual ~PalmDatabase() = default;

    // Writes a changed read-write database back to its file. False when that failed (the file
    // on disk is then the previous version).
    [[nodiscard]] virtual bool Flush() { return true; }
    // Flushes and releases; the object stays usable only for deletion.
    [[nodiscard]] virtual bool Close() { return true; }
    // Closes without writing and deletes the file (an unfinished database); false for a
    // read-only database, whose file is kept.
    virtual bool Destroy() { return true; }

    // Header.
    const char* GetName() const { return name_; }
    virtual bool SetName(const char* bytes, std::size_t length);
    std::uint16_t GetAttributes() const { return attributes_; }
    virtual bool SetAttributes(std::uint16_t attributes);
    std::uint32_t GetType() const { return type_; }
    std::uint32_t GetCreator() const { return creator_; }
    const std::string& GetPath() const { return path_; }
    virtual bool IsReadOnly() const = 0;

    // Reading records.
    virtual std::uint32_t GetRecordCount() const = 0;
    // The record's bytes (never null for an existing record, even an empty one), or null.
    virtual const std::uint8_t* GetRecord(std::uint32_t index, std::uint32_t* length) const = 0;
    std::uint32_t GetRecordLength(std::uint32_t index) const;
    // Copies up to `count` bytes from `offset`; false when the record is missing or the offset
    // lies past its end.
    bool ReadRecord(std::uint32_t index, std::uint32_t offset, void* destination,
                    std::uint32_t count, std::uint32_t* got) const;
    virtual std::uint32_t GetUniqueId(std::uint32_t index) const = 0;
    virtual std::uint8_t GetRecordAttributes(std::uint32_t index) const = 0;
    // Index of the record with that unique id (the first one when ids repeat), or -1. Looked
    // up in an index of the ids built on the first call after the list changed.
    std::int32_t FindByUniqueId(std::uint32_t uniqueId) const;

    // Writing records (false on a read-only database).
    // New zero-filled record of `size` bytes at `index` (kAppend appends); its index goes to
    // `newIndex` (may be null).
    virtual bool NewRecord(std::uint32_t index, std::uint32_t size, std::uint32_t* newIndex);
    virtual bool ResizeRecord(std::uint32_t index, std::uint32_t size);
    virtual bool DeleteRecord(std::uint32_t index);
    virtual bool WriteRecord(std::uint32_t index, std::uint32_t offset, const void* bytes,
                             std::uint32_t count);
    // Writable bytes of a record; pair with ReleaseRecord, dirty when they were changed.
    virtual std::uint8_t* GetRecordForWrite(std::uint32_t index, std::uint32_t* length);
    virtual void ReleaseRecord(std::uint32_t index, bool dirty);
    virtual std::uint32_t GetRecordCapacity(std::uint32_t index) const;

    // The record-source questions of a book: whether opening large decoders should tell the
    // user to wait (files read on demand), whether the file is held open, and whether it may be
    // let go meanwhile.
    virtual bool WantsBusyNotice() const { return false; }
    virtual bool IsHeld() const { return false; }
    virtual bool MayRelease() const { return false; }

    // The database as file bytes.
    bool Serialize(std::vector<std::uint8_t>* out) const;

protected:
    PalmDatabase() = default;
    void SetHeader(const std::uint8_t* header);
    // Kept up by the writable form: a record appended at the end extends the id index, any
    // other change to the list drops it until the next look-up.
    void NoteAppended(std::uint32_t index);
    void DropIdIndex();

private:
    // Unique id -> record index, built on demand (a side file of 60,000 records is looked up
    // once per row by the annotations list). One reader at a time, as for the records.
    mutable std::unordered_map<std::uint32_t, std::uint32_t> idIndex_;
    mutable bool idIndexValid_ = false;

protected:

    char name_[32] = {};
    std::uint16_t attributes_ = 0;
    std::uint16_t version_ = 0;
    std::uint32_t created_ = 0;
    std::uint32_t modified_ = 0;
    std::uint32_t backedUp_ = 0;
    std::uint32_t modificationNumber_ = 0;
    std::uint32_t type_ = 0;
    std::uint32_t creator_ = 0;
    std::uint32_t uniqueIdSeed_ = 0;
    std::string path_;
};

// The type and creator codes given as four-character texts (null or short: 0).
std::uint32_t PalmCode(const char* fourChars);

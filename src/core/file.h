// Files and folders under device paths ("\storage\eBooks\a.prc"): a file handle object with mode
// bits, existence tests, moves, temporary files and their clean-up, folders and the folder walk.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "core/containers.h"
#include "core/string.h"
#include "core/text.h"

class File {
public:
    // Mode bits. 41 = read | share-read | open-existing opens an existing file for reading.
    enum : uint32_t {
        kRead = 1,
        kWrite = 2,
        kCreateIfMissing = 4,
        kShareRead = 8,
        kShareWrite = 16,
        kOpenExisting = 32,
        kCreateAlways = 512,  // create or replace (truncate)
        kDeleteOnClose = 1024,
    };
    static constexpr uint32_t kOpenForReading = kRead | kShareRead | kOpenExisting;
    static constexpr uint32_t kCreateForWriting = kWrite | kShareRead | kCreateAlways;
    // Temporary files are named with this prefix; the start-up clean-up removes them.
    static constexpr const char16_t* kTempPrefix = u"fvk";

    File() = default;
    File(const Text& path, uint32_t mode) { Open(path, mode); }
    ~File() { Close(); }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    File(File&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }
    File& operator=(File&& other) noexcept;

    bool Open(const Text& path, uint32_t mode);
    // A temporary file in the temp folder, read/write, deleted when closed.
    bool CreateTemp();
    bool IsOpen() const { return handle_ != nullptr; }
    // The count read (0 at the end or on failure).
    uint32_t Read(void* buffer, uint32_t count);
    // The count written.
    [[nodiscard]] uint32_t Write(const void* bytes, uint32_t count);
    bool Seek(uint64_t offset);
    // The size in bytes, or -1.
    int64_t Size() const;
    void Close();
    void* Handle() const { return handle_; }

private:
    void* handle_ = nullptr;
};

namespace Files {
// True when a file (not a folder) exists at the path and its size fits in 32 bits; the size goes
// to size and its last-write time (Unix seconds) to writeTime when given, from one look at the
// file. Paths holding wildcards never exist.
bool Exists(const Text& path, uint32_t* size = nullptr, uint32_t* writeTime = nullptr);
// The storage cards: "\" + name of each root folder that is marked temporary. False when none.
bool Find(TextList& list);
// Moves the file into folder under its own name; newPath gets the target. With deleteFirst an
// existing file of that name is replaced, and restored should the move fail. True when moved or
// when source and target are the same path; false for an empty folder.
bool Move(const Text& path, const Text& folder, Text& newPath, bool deleteFirst);
// Deletes every file (not folder) of the folder whose name matches the pattern; the count.
int32_t CleanTemp(const Text& folder, const Text& pattern);
// Deletes the program's temporary files left in the temp folder (by a crash).
void TempFolderPattern();
// Deletes what copies into the folder tree left when cut short before their rename: every
// "<name>.<extension>.tmp" (a bare "<name>.tmp" may be the user's own and stays; hidden folders
// are not walked). The count deleted.
int32_t RemoveCopyLeftovers(const Text& folder);
// Reads a whole small file into bytes; false when it cannot be read or exceeds maxBytes.
bool ReadAll(const Text& path, ByteArray& out, uint32_t maxBytes);
}  // namespace Files

namespace Folders {
bool Exists(const Text& path);
// True when the folder exists afterwards; missing parents are created too.
bool Ensure(const Text& path);
// "\storage\eBooks", created when missing; true when it exists afterwards.
bool Books(Text& out);
}  // namespace Folders

// The files of folders, each folder listed once. Telling that a file is missing costs the device
// a listing of its folder (names match without case), so a walk that asks after many files of a
// few folders asks this instead. It answers for each folder as it was when first asked about:
// keep one only while nothing is added to or removed from those folders.
class FolderListing {
public:
    // True when a file (not a folder) of that device path was in its folder.
    bool Contains(std::u16string_view path);
    bool ContainsUtf8(std::string_view path);
    // Folders listed so far.
    size_t FolderCount() const { return folders_.size(); }

private:
    std::unordered_map<std::u16string, std::unordered_set<std::u16string>> folders_;
};

// The folder for application data, with a trailing backslash.
bool GetAppDataFolder(Text& out);

// Last-write and creation times of a file in Unix seconds; 0 on failure.
uint32_t FileTimeUnixSeconds(const Text& path);
uint32_t FileTimeUnixSecondsEx(const Text& path);
// The current UTC time as a FILETIME number, and in whole minutes since 1970.
uint64_t NowFileTimeUtc();
uint32_t NowUnixMinutesUtc();
// The date in the system's short date format.
bool FormatFileDate(uint32_t unixSeconds, Text& out);

// A depth-first walk of a folder for files with given extensions, one file per call.
class LibraryScan {
public:
    static constexpr int kMaxDepth = 32;
    static constexpr int32_t kMaxPath = 260;

    LibraryScan() = default;
    ~LibraryScan() { CloseAll(); }
    LibraryScan(const LibraryScan&) = delete;
    LibraryScan& operator=(const LibraryScan&) = delete;

    using Filter = bool (*)(const Text& path, void* context);
    // With first, path is the folder to walk. Returns false with path set to the next file
    // whose extension (without case, no dot: "prc") is in extensions; true when the walk is
    // complete and every search is closed. Folders named in excluded, hidden folders, paths
    // longer than kMaxPath and levels deeper than kMaxDepth are not descended.
    bool ScanFolder(Text& path, const TextList& excluded, const TextList& extensions,
                    bool recursive, bool first, Filter filter = nullptr, void* context = nullptr);
    void CloseAll();
    int32_t Depth() const { return levels_.Count(); }

private:
    struct Level {
        void* find;
        void* data;           // the level's find data
        int32_t folderChars;  // characters of the level's folder path
        bool fresh;           // the first entry is still in data, not yet looked at
    };
    bool OpenLevel();
    void PopLevel();
    SegArray<Level, 3> levels_;
    String folder_;  // the folder of the innermost level
};

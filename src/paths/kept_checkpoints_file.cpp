#include "paths/kept_checkpoints_file.h"

#include <string>
#include <vector>

#include "bookfiles/database_file.h"
#include "core/code_pages.h"
#include "core/file.h"
#include "paths/app_paths.h"

namespace {

constexpr uint32_t kMagic = 0x46564B43u;  // "FVKC"
constexpr uint32_t kVersion = 1;
constexpr uint32_t kHeadWords = 9;
// Far above what the layout's kept checkpoints take.
constexpr uint32_t kMaxFileBytes = 4u << 20;

// The head's words by place.
enum Head : uint32_t {
    kMagicWord, kVersionWord, kSizeWord, kWriteTimeWord, kRecordsWord, kTextLengthWord,
    kPathUnitsWord, kLengthWord, kChecksumWord
};

uint32_t Checksum(const uint8_t* bytes, size_t n) {
    uint32_t h = 2166136261u;
    for (size_t i = 0; i < n; ++i) h = (h ^ bytes[i]) * 16777619u;
    return h;
}

// The path as big-endian UTF-16 units.
void WritePath(const String& path, ByteStream& out) {
    for (int32_t i = 0; i < path.Length(); ++i) out.WriteWord16BE(path[i]);
    out.PadToAlignment(4);
}

bool ReadPath(ByteStream& in, uint32_t units, String& out) {
    out = String();
    for (uint32_t i = 0; i < units; ++i) {
        uint16_t unit = 0;
        if (!in.ReadWord16BE(unit)) return false;
        out.AppendChar(static_cast<char16_t>(unit));
    }
    return in.AlignReadPosition(4);
}

bool ReadFile(const Text& path, ByteStream& out) {
    File file(path, File::kOpenForReading);
    const int64_t size = file.IsOpen() ? file.Size() : -1;
    if (size <= 0 || size > kMaxFileBytes) return false;
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    if (file.Read(bytes.data(), static_cast<uint32_t>(size)) != size) return false;
    return out.WriteBytes(bytes.data(), bytes.size()) && out.SetReadPosition(0);
}

// The book a kept file names and the checkpoints it holds; false when its bytes do not add up.
bool Parse(ByteStream& in, KeptCheckpointsFile::BookIdentity& book, ByteStream& checkpoints) {
    uint32_t head[kHeadWords] = {};
    if (!in.ReadWords32BE(head, kHeadWords) || head[kMagicWord] != kMagic ||
        head[kVersionWord] != kVersion || head[kPathUnitsWord] > kMaxFileBytes / 2 ||
        !ReadPath(in, head[kPathUnitsWord], book.path))
        return false;
    book.size = head[kSizeWord];
    book.writeTime = head[kWriteTimeWord];
    book.records = head[kRecordsWord];
    book.textLength = head[kTextLengthWord];
    const uint32_t length = head[kLengthWord];
    const uint8_t* bytes = in.Data() + in.ReadPosition();
    return length == in.Remaining() && Checksum(bytes, length) == head[kChecksumWord] &&
           checkpoints.WriteBytes(bytes, length) && checkpoints.SetReadPosition(0);
}

bool SameBook(const KeptCheckpointsFile::BookIdentity& a,
              const KeptCheckpointsFile::BookIdentity& b) {
    return a.size == b.size && a.writeTime == b.writeTime && a.records == b.records &&
           a.textLength == b.textLength && a.path == b.path;
}

bool RemoveFile(const Text& path) {
    std::string utf8;
    Text converted(path);
    if (!converted.ConvertTo(CodePages::kUtf8)) return false;
    utf8.assign(reinterpret_cast<const char*>(converted.Bytes()),
                static_cast<size_t>(converted.ByteLength()));
    return DatabaseFile::Remove(utf8.c_str());
}

bool Folder(Text& out) {
    return GetAppDataFolder(out) && out.AppendAscii("FolivantCheckpoints") &&
           out.EnsureTrailingBackslash();
}

}  // namespace

namespace KeptCheckpointsFile {

bool Read(const Text& bookPath, const BookIdentity& book, ByteStream& checkpoints) {
    Text path;
    ByteStream in, kept;
    BookIdentity named;
    if (!AppPaths::KeptCheckpointsFile(bookPath, path) || !ReadFile(path, in) ||
        !Parse(in, named, kept) || !SameBook(named, book))
        return false;
    return checkpoints.WriteBytes(kept.Data(), kept.Size()) && checkpoints.SetReadPosition(0);
}

bool Write(const Text& bookPath, const BookIdentity& book, const ByteStream& checkpoints) {
    Text path, folder;
    if (!AppPaths::KeptCheckpointsFile(bookPath, path) || !Folder(folder) ||
        !Folders::Ensure(folder))
        return false;
    ByteStream out;
    const uint32_t head[kHeadWords] = {kMagic,
                                       kVersion,
                                       book.size,
                                       book.writeTime,
                                       book.records,
                                       book.textLength,
                                       static_cast<uint32_t>(book.path.Length()),
                                       checkpoints.Size(),
                                       Checksum(checkpoints.Data(), checkpoints.Size())};
    out.WriteWords32BE(head, kHeadWords);
    WritePath(book.path, out);
    out.WriteBytes(checkpoints.Data(), checkpoints.Size());
    if (!out.Ok()) return false;
    // A write cut short leaves a file whose checksum fails: it is ignored and written anew.
    File file(path, File::kCreateForWriting);
    return file.IsOpen() && file.Write(out.Data(), out.Size()) == out.Size();
}

bool Move(const Text& from, const Text& to) {
    Text oldFile, newFile;
    if (!AppPaths::KeptCheckpointsFile(from, oldFile) || !Files::Exists(oldFile)) return true;
    ByteStream in, checkpoints;
    BookIdentity book;
    String fromPath;
    // What was kept for the old path, now naming the new one.
    bool written = true;
    if (from.ToWide(fromPath) && ReadFile(oldFile, in) && Parse(in, book, checkpoints) &&
        book.path == fromPath && to.ToWide(book.path) && book.path.Length() > 0)
        written = Write(to, book, checkpoints);
    if (AppPaths::KeptCheckpointsFile(to, newFile) && newFile.EqualsDefault(oldFile)) return written;
    // The old path's file names a book no longer there.
    return RemoveFile(oldFile) && written;
}

}  // namespace KeptCheckpointsFile

#include "reader/kept_checkpoints.h"

#include <vector>

#include "bookfiles/book_document.h"
#include "bookfiles/byte_order.h"
#include "core/byte_stream.h"
#include "core/file.h"
#include "layout/page_layout.h"
#include "paths/app_paths.h"

namespace {

constexpr uint32_t kMagic = 0x46564B43u;  // "FVKC"
constexpr uint32_t kVersion = 1;
constexpr uint32_t kHeadWords = 9;
// Far above what PageLayout::kMaxKeptCheckpoints of them take.
constexpr uint32_t kMaxFileBytes = 4u << 20;

// What tells this book, as it is now, from another or from another version of it.
struct BookIdentity {
    uint32_t size = 0;
    uint32_t writeTime = 0;
    uint32_t records = 0;
    uint32_t textLength = 0;
    String path;
};

bool IdentityOf(const Text& bookPath, DocumentSource* document, BookIdentity& out) {
    if (!document || !Files::Exists(bookPath, &out.size, &out.writeTime) ||
        !bookPath.ToWide(out.path) || out.path.Length() == 0)
        return false;
    const auto* book = dynamic_cast<const BookDocument*>(document);
    out.records = book ? book->GetRecordCount() : 0;
    out.textLength = document->GetLength();
    return true;
}

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

bool SamePath(const String& path, ByteStream& in, uint32_t units) {
    if (units != static_cast<uint32_t>(path.Length())) return false;
    for (uint32_t i = 0; i < units; ++i) {
        uint16_t unit = 0;
        if (!in.ReadWord16BE(unit) || unit != path[static_cast<int32_t>(i)]) return false;
    }
    return in.AlignReadPosition(4);
}

bool Folder(Text& out) {
    return GetAppDataFolder(out) && out.AppendAscii("FolivantCheckpoints") &&
           out.EnsureTrailingBackslash();
}

bool ReadFile(const Text& path, ByteStream& out) {
    File file(path, File::kOpenForReading);
    const int64_t size = file.IsOpen() ? file.Size() : -1;
    if (size <= 0 || size > kMaxFileBytes) return false;
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    if (file.Read(bytes.data(), static_cast<uint32_t>(size)) != size) return false;
    return out.WriteBytes(bytes.data(), bytes.size()) && out.SetReadPosition(0);
}

}  // namespace

namespace KeptCheckpoints {

bool PathFor(const Text& bookPath, Text& out) {
    return AppPaths::KeptCheckpointsFile(bookPath, out);
}

bool Load(const Text& bookPath, DocumentSource* document, PageLayout& layout) {
    BookIdentity book;
    Text path;
    ByteStream in;
    if (!IdentityOf(bookPath, document, book) || !PathFor(bookPath, path) || !ReadFile(path, in))
        return false;
    uint32_t head[kHeadWords] = {};
    if (!in.ReadWords32BE(head, kHeadWords) || head[0] != kMagic || head[1] != kVersion ||
        head[2] != book.size || head[3] != book.writeTime || head[4] != book.records ||
        head[5] != book.textLength || !SamePath(book.path, in, head[6]))
        return false;
    const uint32_t length = head[7];
    if (length != in.Remaining() || Checksum(in.Data() + in.ReadPosition(), length) != head[8])
        return false;
    ByteStream payload;
    if (!payload.WriteBytes(in.Data() + in.ReadPosition(), length) || !payload.SetReadPosition(0))
        return false;
    return layout.LoadKeptCheckpoints(payload);
}

bool Save(const Text& bookPath, DocumentSource* document, PageLayout& layout) {
    BookIdentity book;
    Text path;
    ByteStream payload;
    if (!IdentityOf(bookPath, document, book) || !layout.SaveKeptCheckpoints(payload) ||
        !PathFor(bookPath, path))
        return false;
    Text folder;
    if (!Folder(folder) || !Folders::Ensure(folder)) return false;
    ByteStream out;
    const uint32_t head[kHeadWords] = {kMagic,
                                       kVersion,
                                       book.size,
                                       book.writeTime,
                                       book.records,
                                       book.textLength,
                                       static_cast<uint32_t>(book.path.Length()),
                                       payload.Size(),
                                       Checksum(payload.Data(), payload.Size())};
    out.WriteWords32BE(head, kHeadWords);
    WritePath(book.path, out);
    out.WriteBytes(payload.Data(), payload.Size());
    if (!out.Ok()) return false;
    // A write cut short leaves a file whose checksum fails: it is ignored and written anew.
    File file(path, File::kCreateForWriting);
    return file.IsOpen() && file.Write(out.Data(), out.Size()) == out.Size();
}

}  // namespace KeptCheckpoints

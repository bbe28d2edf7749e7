#include "library_ui/memory_info_state.h"

#include <string>

#include "library/library.h"
#include "library/library_book.h"
#include "platform/storage/files.h"

namespace {
// Books, news and documents: the types the library lists.
constexpr int32_t kLastListedType = 767;
}  // namespace

int32_t LibraryMemoryState::StorageCount() {
    return library_ ? library_->GetLocationCount() : 0;
}

bool LibraryMemoryState::StorageInfo(int32_t index, String& name, uint64_t& freeBytes,
                                     uint64_t& totalBytes) {
    freeBytes = totalBytes = 0;
    LibraryLocation location;
    if (!library_ || !library_->GetLocation(index, location)) return false;
    String root;
    if (!location.path.ToWide(root)) return false;
    const std::u16string path(root.Data(), static_cast<size_t>(root.Length()));
    ULARGE_INTEGER available{}, total{}, free{};
    if (!GetDiskFreeSpaceExW(path.c_str(), &available, &total, &free)) return false;
    freeBytes = available.QuadPart;
    totalBytes = total.QuadPart;
    return location.name.ToWide(name);
}

void LibraryMemoryState::BookTotals(uint32_t& count, uint64_t& bytes) {
    count = 0;
    bytes = 0;
    for (int32_t i = 0; library_ && i < library_->GetEntryCount(); ++i) {
        const LibraryBook* book = library_->GetEntry(i);
        if (!book || !book->IsPresent() || book->GetType() < 0 || book->GetType() > kLastListedType)
            continue;
        ++count;
        bytes += book->GetFileSize();
    }
}

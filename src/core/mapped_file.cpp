#include "core/mapped_file.h"

#include "core/text.h"
#include "platform/kernel/handles.h"
#include "platform/storage/files.h"

bool MappedFile::Open(const Text& path) {
    Close();
    HANDLE file = CreateFileForMappingW(path.WideCStr(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE || !file) return false;
    DWORD high = 0;
    DWORD low = GetFileSize(file, &high);
    if (high != 0 || low == 0 || low == INVALID_FILE_SIZE) {
        CloseHandle(file);
        return false;
    }
    HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    CloseHandle(file);  // the mapping keeps what it needs
    if (!mapping) return false;
    void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
    CloseHandle(mapping);
    if (!view) return false;
    data_ = static_cast<const uint8_t*>(view);
    size_ = low;
    return true;
}

void MappedFile::Close() {
    if (data_) UnmapViewOfFile(data_);
    data_ = nullptr;
    size_ = 0;
}

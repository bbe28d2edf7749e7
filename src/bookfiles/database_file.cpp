#include "bookfiles/database_file.h"

#include <cstring>
#include <string>

#include "core/charset.h"
#include "platform/kernel/handles.h"
#include "platform/last_error.h"
#include "platform/storage/files.h"

namespace DatabaseFile {
namespace {

long long g_failAfter = -1;
long long g_replaceCount = 0;

// Device paths arrive as UTF-8; the device layer takes UTF-16.
std::u16string Wide(const char* path) {
    std::size_t n = std::char_traits<char>::length(path);
    std::u16string out(n + 1, u'\0');
    std::int32_t units =
        Utf8::DecodeToUtf16(reinterpret_cast<const std::uint8_t*>(path), n, out.data(), out.size());
    out.resize(units < 0 ? 0 : static_cast<std::size_t>(units));
    return out;
}

// Where Replace writes before the rename.
std::u16string TempPath(const std::u16string& target) {
    return target + u".tmp";
}

int ErrorFromLastError() {
    DWORD e = GetLastError();
    if (e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND) return 11;
    if (e == ERROR_NOT_ENOUGH_MEMORY || e == ERROR_OUTOFMEMORY) return 12;
    return 14;
}

// Writes everything, or fails; honours the test hook.
bool WriteFully(HANDLE file, const std::uint8_t* bytes, std::size_t size) {
    while (size > 0) {
        std::size_t chunk = size > 0x10000000 ? 0x10000000 : size;
        if (g_failAfter >= 0) {
            if (g_failAfter == 0) return false;
            if (static_cast<long long>(chunk) > g_failAfter)
                chunk = static_cast<std::size_t>(g_failAfter);
        }
        DWORD written = 0;
        if (!WriteFile(file, bytes, static_cast<DWORD>(chunk), &written, nullptr) || written == 0) {
            return false;
        }
        if (g_failAfter >= 0) g_failAfter -= written;
        bytes += written;
        size -= written;
    }
    return true;
}

}  // namespace

Mapping::~Mapping() {
    Close();
}

void Mapping::Close() {
    if (mapped_) UnmapViewOfFile(data_);
    data_ = nullptr;
    size_ = 0;
    mapped_ = false;
}

int Mapping::Open(const char* path) {
    Close();
    std::u16string wide = Wide(path);
    if (wide.empty()) return 11;
    HANDLE file = CreateFileForMappingW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return ErrorFromLastError();
    DWORD high = 0;
    DWORD low = GetFileSize(file, &high);
    if ((low == INVALID_FILE_SIZE && GetLastError() != ERROR_SUCCESS) || high != 0) {
        CloseHandle(file);
        return 14;
    }
    if (low == 0) {
        // An empty file maps to an empty view.
        CloseHandle(file);
        return 0;
    }
    HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (!mapping) {
        int rc = ErrorFromLastError();
        CloseHandle(file);
        return rc == 11 ? 14 : rc;
    }
    void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
    int rc = view ? 0 : ErrorFromLastError();
    CloseHandle(mapping);
    CloseHandle(file);
    if (!view) return rc == 11 ? 14 : rc;
    data_ = static_cast<const std::uint8_t*>(view);
    size_ = low;
    mapped_ = true;
    return 0;
}

bool Exists(const char* path) {
    std::u16string wide = Wide(path);
    DWORD attributes = wide.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(wide.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

int ReadAll(const char* path, std::vector<std::uint8_t>* out) {
    out->clear();
    std::u16string wide = Wide(path);
    if (wide.empty()) return 11;
    HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        // A missing folder is not a file that could be created.
        return GetLastError() == ERROR_PATH_NOT_FOUND ? 14 : ErrorFromLastError();
    }
    DWORD high = 0;
    DWORD size = GetFileSize(file, &high);
    if ((size == INVALID_FILE_SIZE && GetLastError() != ERROR_SUCCESS) || high != 0) {
        CloseHandle(file);
        return 14;
    }
    try {
        out->resize(size);
    } catch (...) {
        CloseHandle(file);
        return 12;
    }
    DWORD got = 0;
    bool ok = size == 0 || (ReadFile(file, out->data(), size, &got, nullptr) && got == size);
    CloseHandle(file);
    if (!ok) {
        out->clear();
        return 14;
    }
    return 0;
}

bool Replace(const char* path, const std::uint8_t* bytes, std::size_t size) {
    ++g_replaceCount;
    std::u16string target = Wide(path);
    if (target.empty()) return false;
    std::u16string temp = TempPath(target);
    // Temporary until renamed: the rename syncs the folder, so its creation need not.
    HANDLE file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_TEMPORARY, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool ok = WriteFully(file, bytes, size) && FlushFileBuffers(file);
    ok = CloseHandle(file) && ok;
    // The replacing move is atomic: the old file stays whole until the new one is complete.
    if (ok) ok = MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING);
    if (!ok) DeleteFileW(temp.c_str());
    return ok;
}

bool PatchInPlace(const char* path, const std::vector<std::uint8_t>& before,
                  const std::vector<std::uint8_t>& after, bool sync) {
    if (before.size() != after.size() || before.size() > 0x7FFFFFFF) return false;
    std::size_t first = 0, last = before.size();
    while (first < before.size() && before[first] == after[first]) ++first;
    if (first == before.size()) return true;
    while (last > first && before[last - 1] == after[last - 1]) --last;
    std::vector<std::uint8_t> now;
    if (ReadAll(path, &now) != 0 || now != before) return false;
    std::u16string wide = Wide(path);
    HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool ok = SetFilePointer(file, static_cast<LONG>(first), nullptr, FILE_BEGIN) !=
                  INVALID_SET_FILE_POINTER &&
              WriteFully(file, after.data() + first, last - first) &&
              (!sync || FlushFileBuffers(file));
    return CloseHandle(file) && ok;
}

bool ReplaceDatabase(const char* path, const std::uint8_t* bytes, std::size_t size,
                     bool* written) {
    if (written) *written = false;
    // Creation, modification and backup dates, then the change counter: stamps, not contents.
    constexpr std::size_t kStampsFrom = 36, kStampsTo = 52, kHeader = 78;
    std::vector<std::uint8_t> old;
    if (size >= kHeader && ReadAll(path, &old) == 0 && old.size() == size &&
        std::memcmp(old.data(), bytes, kStampsFrom) == 0 &&
        std::memcmp(old.data() + kStampsTo, bytes + kStampsTo, size - kStampsTo) == 0)
        return true;
    if (!Replace(path, bytes, size)) return false;
    if (written) *written = true;
    return true;
}

bool ReplaceIfChanged(const char* path, const std::uint8_t* bytes, std::size_t size,
                      bool* written) {
    if (written) *written = false;
    std::vector<std::uint8_t> old;
    if (ReadAll(path, &old) == 0 && old.size() == size &&
        (size == 0 || std::memcmp(old.data(), bytes, size) == 0))
        return true;
    if (!Replace(path, bytes, size)) return false;
    if (written) *written = true;
    return true;
}

bool Remove(const char* path) {
    std::u16string wide = Wide(path);
    return !wide.empty() && DeleteFileW(wide.c_str());
}

bool RemoveLeftover(const char* path) {
    std::u16string target = Wide(path);
    if (target.empty()) return true;
    std::u16string temp = TempPath(target);
    DWORD attributes = GetFileAttributesW(temp.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return true;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return false;  // not ours to remove
    return DeleteFileW(temp.c_str());
}

void FailWritesAfterForTesting(long long bytes) {
    g_failAfter = bytes;
}

long long ReplaceCountForTesting() {
    return g_replaceCount;
}

}  // namespace DatabaseFile

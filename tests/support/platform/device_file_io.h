// Whole small files written and read through the device's own calls, for storage tests.
#pragma once

#include <string>

#include "platform/storage/files.h"

namespace fvt::test {

// Creates or replaces the file; false when any step fails or the write comes up short.
inline bool WriteDeviceFile(LPCWSTR path, const std::string& text) {
    HANDLE h = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
              written == text.size();
    return CloseHandle(h) && ok;
}

// The file's first 256 bytes; `missing` when it cannot be opened for reading.
inline std::string ReadDeviceFile(LPCWSTR path, const std::string& missing = "<missing>") {
    HANDLE h = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return missing;
    char buffer[256];
    DWORD n = 0;
    ReadFile(h, buffer, sizeof buffer, &n, nullptr);
    CloseHandle(h);
    return std::string(buffer, n);
}

}  // namespace fvt::test

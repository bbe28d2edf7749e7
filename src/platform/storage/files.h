// Files and folders under device paths: create, read, write, seek, size, times, attributes,
// find-first/next with wildcards, move, delete, folders, temp files, read-only mapped files and
// disk space.
#pragma once

#include <string>
#include <vector>

#include "platform/kernel/handles.h"
#include "platform/kernel/kernel_sync.h"
#include "platform/kernel/system_time.h"
#include "platform/storage/device_path.h"
#include "platform/types.h"

constexpr DWORD GENERIC_READ = 0x80000000;
constexpr DWORD GENERIC_WRITE = 0x40000000;

constexpr DWORD FILE_SHARE_READ = 0x1;
constexpr DWORD FILE_SHARE_WRITE = 0x2;

constexpr DWORD CREATE_NEW = 1;
constexpr DWORD CREATE_ALWAYS = 2;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD OPEN_ALWAYS = 4;
constexpr DWORD TRUNCATE_EXISTING = 5;

constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x1;
constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x2;
constexpr DWORD FILE_ATTRIBUTE_SYSTEM = 0x4;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x20;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
constexpr DWORD FILE_ATTRIBUTE_TEMPORARY = 0x100;
constexpr DWORD FILE_FLAG_WRITE_THROUGH = 0x80000000;
constexpr DWORD FILE_FLAG_RANDOM_ACCESS = 0x10000000;
constexpr DWORD FILE_FLAG_SEQUENTIAL_SCAN = 0x08000000;
constexpr DWORD FILE_FLAG_DELETE_ON_CLOSE = 0x04000000;
constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;

constexpr DWORD FILE_BEGIN = 0;
constexpr DWORD FILE_CURRENT = 1;
constexpr DWORD FILE_END = 2;
constexpr DWORD INVALID_SET_FILE_POINTER = 0xFFFFFFFF;
constexpr DWORD INVALID_FILE_SIZE = 0xFFFFFFFF;

constexpr DWORD MOVEFILE_REPLACE_EXISTING = 0x1;
constexpr DWORD MOVEFILE_COPY_ALLOWED = 0x2;

constexpr DWORD PAGE_READONLY = 0x02;
constexpr DWORD FILE_MAP_READ = 0x0004;

struct OVERLAPPED;
using LPOVERLAPPED = OVERLAPPED*;

struct WIN32_FIND_DATAW {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwOID;
    WCHAR cFileName[MAX_PATH];
};
using LPWIN32_FIND_DATAW = WIN32_FIND_DATAW*;

union ULARGE_INTEGER {
    struct {
        DWORD LowPart;
        DWORD HighPart;
    } u;
    std::uint64_t QuadPart;
};
using PULARGE_INTEGER = ULARGE_INTEGER*;

extern "C" {
HANDLE CreateFileW(LPCWSTR fileName, DWORD desiredAccess, DWORD shareMode,
                   LPSECURITY_ATTRIBUTES attributes, DWORD creationDisposition,
                   DWORD flagsAndAttributes, HANDLE templateFile);
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytesToRead, DWORD* bytesRead,
              LPOVERLAPPED overlapped);
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, DWORD* bytesWritten,
               LPOVERLAPPED overlapped);
DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD moveMethod);
DWORD GetFileSize(HANDLE file, DWORD* fileSizeHigh);
BOOL SetEndOfFile(HANDLE file);
BOOL FlushFileBuffers(HANDLE file);
BOOL GetFileTime(HANDLE file, LPFILETIME creation, LPFILETIME lastAccess, LPFILETIME lastWrite);
BOOL SetFileTime(HANDLE file, const FILETIME* creation, const FILETIME* lastAccess,
                 const FILETIME* lastWrite);

DWORD GetFileAttributesW(LPCWSTR fileName);
BOOL SetFileAttributesW(LPCWSTR fileName, DWORD attributes);
BOOL DeleteFileW(LPCWSTR fileName);
// Fails with ERROR_ALREADY_EXISTS when the target exists; between file systems the file is
// copied, then the source removed, so a failure leaves the source in place.
BOOL MoveFileW(LPCWSTR existingName, LPCWSTR newName);
// MOVEFILE_REPLACE_EXISTING replaces a file atomically (the crash-safe save).
BOOL MoveFileExW(LPCWSTR existingName, LPCWSTR newName, DWORD flags);
BOOL CopyFileW(LPCWSTR existingName, LPCWSTR newName, BOOL failIfExists);
BOOL CreateDirectoryW(LPCWSTR pathName, LPSECURITY_ATTRIBUTES attributes);
BOOL RemoveDirectoryW(LPCWSTR pathName);

HANDLE FindFirstFileW(LPCWSTR fileName, LPWIN32_FIND_DATAW findData);
BOOL FindNextFileW(HANDLE find, LPWIN32_FIND_DATAW findData);
BOOL FindClose(HANDLE find);

DWORD GetTempPathW(DWORD bufferLength, LPWSTR buffer);
UINT GetTempFileNameW(LPCWSTR pathName, LPCWSTR prefix, UINT unique, LPWSTR tempFileName);

BOOL GetDiskFreeSpaceExW(LPCWSTR directoryName, PULARGE_INTEGER freeBytesAvailable,
                         PULARGE_INTEGER totalBytes, PULARGE_INTEGER totalFreeBytes);

// Read-only mapped files: a view is stable until unmapped, even after the handles are closed.
HANDLE CreateFileForMappingW(LPCWSTR fileName, DWORD desiredAccess, DWORD shareMode,
                             LPSECURITY_ATTRIBUTES attributes, DWORD creationDisposition,
                             DWORD flagsAndAttributes, HANDLE templateFile);
HANDLE CreateFileMappingW(HANDLE file, LPSECURITY_ATTRIBUTES attributes, DWORD protect,
                          DWORD maximumSizeHigh, DWORD maximumSizeLow, LPCWSTR name);
LPVOID MapViewOfFile(HANDLE mapping, DWORD desiredAccess, DWORD offsetHigh, DWORD offsetLow,
                     size_t bytesToMap);
BOOL UnmapViewOfFile(LPCVOID baseAddress);
}

namespace fvt {

// FindFirstFileW for callers that look at names and the directory and hidden attributes only:
// a pattern's entries come from the folder's listing alone, without a stat of each (their
// size, times and read-only attribute are 0). A plain name is found as by FindFirstFileW.
// FindNextFileW and FindClose go on with the handle.
HANDLE FindFirstNamesW(LPCWSTR fileName, LPWIN32_FIND_DATAW findData);
// Matches a name against a pattern of '*' and '?' without case ("*.*" also matches names
// without a dot, as on the device).
bool MatchesPattern(std::u16string_view pattern, std::u16string_view name);
// Tests: the next copy between files (CopyFileW, a move across file systems) fails with
// ERROR_DISK_FULL after its temp file is partly written.
void FailNextCopyForTesting();
// Tests: the disk takes `bytes` more (file writes and copies together), then refuses as a full
// disk does: a write is cut short, the next fails with ERROR_DISK_FULL. -1 lifts the limit.
// A program reads FOLIVANT_TEST_DISK_FREE (bytes) at its first write.
void LimitDiskForTesting(long long bytes);

// The device path of the first file that could not be written (refused, read-only or full) since
// the last call, and true; false when every write went through. The program tells its user.
bool TakeWriteFailure(std::u16string& devicePath);
// Every file that could not be written since the last call, each once, in order; false when
// every write went through.
bool TakeWriteFailures(std::vector<std::u16string>& devicePaths);
// A save the program could not make though the device refused no write (a folder or another
// kind of file holds the name): told as a refused write.
void NoteUnsavedFile(const std::u16string& devicePath);
}  // namespace fvt

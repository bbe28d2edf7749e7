#include "platform/storage/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <vector>

#include "platform/kernel/device.h"
#include "platform/kernel/wide.h"
#include "platform/last_error.h"
#include "platform/storage/open_files.h"

namespace fvt {

namespace {

struct OpenTable {
    std::mutex lock;
    std::vector<FileObject*> files;
};

OpenTable& Opened() {
    static OpenTable* table = new OpenTable;
    return *table;
}

void Unregister(FileObject* file) {
    OpenTable& t = Opened();
    std::lock_guard<std::mutex> guard(t.lock);
    std::erase(t.files, file);
}

}  // namespace

FileObject::~FileObject() {
    if (fd >= 0) close(fd);
}

void FileObject::OnClose() {
    Unregister(this);
    if (deleteOnClose) unlink(host.c_str());
}

void RegisterOpenFile(FileObject* file) {
    OpenTable& t = Opened();
    std::lock_guard<std::mutex> guard(t.lock);
    t.files.push_back(file);
}

bool IsOpenInProcess(dev_t dev, ino_t ino) {
    OpenTable& t = Opened();
    std::lock_guard<std::mutex> guard(t.lock);
    for (auto* f : t.files) {
        if (f->dev == dev && f->ino == ino) return true;
    }
    return false;
}

bool ShareConflict(dev_t dev, ino_t ino, DWORD access, DWORD share) {
    OpenTable& t = Opened();
    std::lock_guard<std::mutex> guard(t.lock);
    for (auto* f : t.files) {
        if (f->dev != dev || f->ino != ino) continue;
        if ((access & GENERIC_READ) && !(f->share & FILE_SHARE_READ)) return true;
        if ((access & GENERIC_WRITE) && !(f->share & FILE_SHARE_WRITE)) return true;
        if ((f->access & GENERIC_READ) && !(share & FILE_SHARE_READ)) return true;
        if ((f->access & GENERIC_WRITE) && !(share & FILE_SHARE_WRITE)) return true;
    }
    return false;
}

std::shared_ptr<FileObject> LookupFile(HANDLE handle) {
    return LookupHandleAs<FileObject>(handle, ObjectKind::File);
}

DWORD ErrorFromErrno(int error, DWORD fallback) {
    switch (error) {
        case ENOENT:
            return ERROR_FILE_NOT_FOUND;
        case ENOTDIR:
            return ERROR_PATH_NOT_FOUND;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:
        case ELOOP:
            return ERROR_ACCESS_DENIED;
        case EEXIST:
            return ERROR_ALREADY_EXISTS;
        case ENOSPC:
        case EDQUOT:
            return ERROR_DISK_FULL;
        case ENAMETOOLONG:
            return ERROR_FILENAME_EXCED_RANGE;
        case ENOTEMPTY:
            return ERROR_DIR_NOT_EMPTY;
        case EXDEV:
            return ERROR_NOT_SAME_DEVICE;
        case EBUSY:
        case ETXTBSY:
            return ERROR_SHARING_VIOLATION;
        case EMFILE:
        case ENFILE:
            return ERROR_TOO_MANY_OPEN_FILES;
        case ENOMEM:
            return ERROR_NOT_ENOUGH_MEMORY;
        default:
            return fallback;
    }
}

namespace {

BOOL FailErrno(DWORD fallback = ERROR_GEN_FAILURE) {
    SetLastError(ErrorFromErrno(errno, fallback));
    return FALSE;
}

// Copies a host file to a fresh name in the target's folder, then links it in under the target's
// name without replacing anything. The source is left alone.
bool CopyHostFile(const std::string& from, const std::string& toFolder, const std::string& to,
                  bool replace) {
    int in = open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (in < 0) return FailErrno();
    struct stat st;
    fstat(in, &st);
    std::string temp = toFolder + "/.fvt-copy-XXXXXX";
    std::vector<char> name(temp.begin(), temp.end());
    name.push_back(0);
    int out = mkostemp(name.data(), O_CLOEXEC);
    if (out < 0) {
        close(in);
        return FailErrno();
    }
    temp = name.data();
    bool ok = true;
    std::vector<char> buffer(1 << 16);
    for (;;) {
        ssize_t n = read(in, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            ok = FailErrno(ERROR_READ_FAULT);
            break;
        }
        if (n == 0) break;
        for (ssize_t done = 0; done < n;) {
            ssize_t w = write(out, buffer.data() + done, static_cast<size_t>(n - done));
            if (w < 0 && errno == EINTR) continue;
            if (w < 0) {
                ok = FailErrno(ERROR_WRITE_FAULT);
                break;
            }
            done += w;
        }
        if (!ok) break;
    }
    if (ok) {
        fchmod(out, st.st_mode & 07777);
        struct timespec times[2] = {st.st_atim, st.st_mtim};
        futimens(out, times);
        if (fsync(out) != 0) ok = FailErrno(ERROR_WRITE_FAULT);
    }
    close(in);
    if (close(out) != 0 && ok) ok = FailErrno(ERROR_WRITE_FAULT);
    if (ok) {
        int r = replace ? rename(temp.c_str(), to.c_str())
                        : renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE);
        if (r != 0 && !replace && errno == EINVAL) {
            // File systems without the no-replace rename: a hard link refuses an existing name.
            r = link(temp.c_str(), to.c_str());
        }
        if (r != 0) ok = FailErrno();
    }
    unlink(temp.c_str());
    return ok;
}

// The shared part of MoveFileW/MoveFileExW.
BOOL MoveHost(LPCWSTR existingName, LPCWSTR newName, bool replace) {
    ResolvedPath from, to;
    if (!ResolveDevicePath(existingName, from)) return FALSE;
    if (!from.exists) return Fail(ERROR_FILE_NOT_FOUND, FALSE);
    if (from.isRoot || from.isCardRoot) return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (!ResolveDevicePath(newName, to)) return FALSE;
    if (to.isRoot || to.isCardRoot) return Fail(ERROR_ALREADY_EXISTS, FALSE);
    bool isFolder = S_ISDIR(from.info.st_mode);
    if (IsOpenInProcess(from.info.st_dev, from.info.st_ino)) {
        return Fail(ERROR_SHARING_VIOLATION, FALSE);
    }
    bool sameFile =
        to.exists && to.info.st_dev == from.info.st_dev && to.info.st_ino == from.info.st_ino;
    if (sameFile) {
        // Only the case of the name changes (or nothing at all).
        std::string target = to.hostParent + "/" + WideToUtf8(to.givenName);
        if (target == from.host) return TRUE;
        if (rename(from.host.c_str(), target.c_str()) != 0) return FailErrno();
        return TRUE;
    }
    if (to.exists) {
        if (!replace || isFolder || S_ISDIR(to.info.st_mode)) {
            return Fail(ERROR_ALREADY_EXISTS, FALSE);
        }
        if (IsOpenInProcess(to.info.st_dev, to.info.st_ino)) {
            return Fail(ERROR_SHARING_VIOLATION, FALSE);
        }
    }
    if (isFolder && (to.host + "/").rfind(from.host + "/", 0) == 0) {
        return Fail(ERROR_ACCESS_DENIED, FALSE);  // into itself
    }
    int r = replace ? rename(from.host.c_str(), to.host.c_str())
                    : renameat2(AT_FDCWD, from.host.c_str(), AT_FDCWD, to.host.c_str(),
                                RENAME_NOREPLACE);
    if (r == 0) return TRUE;
    if (errno == EINVAL && !replace && !isFolder) {
        if (link(from.host.c_str(), to.host.c_str()) == 0) {
            unlink(from.host.c_str());
            return TRUE;
        }
    }
    if (errno == EEXIST) return Fail(ERROR_ALREADY_EXISTS, FALSE);
    if (errno != EXDEV) return FailErrno();
    // Between main memory and a card: copy, then remove the source only once the copy is whole.
    if (isFolder) return Fail(ERROR_NOT_SAME_DEVICE, FALSE);
    if (!CopyHostFile(from.host, to.hostParent, to.host, replace)) return FALSE;
    if (unlink(from.host.c_str()) != 0) {
        DWORD error = ErrorFromErrno(errno);
        unlink(to.host.c_str());
        return Fail(error, FALSE);
    }
    return TRUE;
}

}  // namespace

}  // namespace fvt

using namespace fvt;

extern "C" HANDLE CreateFileW(LPCWSTR fileName, DWORD desiredAccess, DWORD shareMode,
                              LPSECURITY_ATTRIBUTES, DWORD creationDisposition,
                              DWORD flagsAndAttributes, HANDLE) {
    ResolvedPath path;
    if (!ResolveDevicePath(fileName, path)) return INVALID_HANDLE_VALUE;
    if (path.isRoot || path.isCardRoot || (path.exists && S_ISDIR(path.info.st_mode))) {
        return Fail(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);
    }
    if (creationDisposition < CREATE_NEW || creationDisposition > TRUNCATE_EXISTING) {
        return Fail(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
    }
    if (creationDisposition == TRUNCATE_EXISTING && !(desiredAccess & GENERIC_WRITE)) {
        return Fail(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
    }
    bool existed = path.exists;
    if (!existed &&
        (creationDisposition == OPEN_EXISTING || creationDisposition == TRUNCATE_EXISTING)) {
        return Fail(ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);
    }
    if (existed && creationDisposition == CREATE_NEW) {
        return Fail(ERROR_FILE_EXISTS, INVALID_HANDLE_VALUE);
    }
    if (existed && ShareConflict(path.info.st_dev, path.info.st_ino, desiredAccess, shareMode)) {
        return Fail(ERROR_SHARING_VIOLATION, INVALID_HANDLE_VALUE);
    }
    bool writing = (desiredAccess & GENERIC_WRITE) != 0;
    bool reading = (desiredAccess & GENERIC_READ) != 0;
    int flags = O_CLOEXEC | O_NOFOLLOW;
    flags |= writing ? (reading ? O_RDWR : O_WRONLY) : O_RDONLY;
    bool truncate = existed && (creationDisposition == CREATE_ALWAYS ||
                                creationDisposition == TRUNCATE_EXISTING);
    if (truncate) {
        if (!writing) return Fail(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);
        flags |= O_TRUNC;
    }
    if (!existed) flags |= O_CREAT | O_EXCL;
    mode_t mode = (flagsAndAttributes & FILE_ATTRIBUTE_READONLY) ? 0444 : 0644;
    int fd = open(path.host.c_str(), flags, mode);
    if (fd < 0) {
        DWORD error = ErrorFromErrno(errno);
        if (error == ERROR_ALREADY_EXISTS) error = ERROR_FILE_EXISTS;
        return Fail(error, INVALID_HANDLE_VALUE);
    }
    auto file = std::make_shared<FileObject>();
    file->fd = fd;
    file->host = path.host;
    file->access = desiredAccess;
    file->share = shareMode;
    file->deleteOnClose = (flagsAndAttributes & FILE_FLAG_DELETE_ON_CLOSE) != 0;
    struct stat st;
    fstat(fd, &st);
    file->dev = st.st_dev;
    file->ino = st.st_ino;
    RegisterOpenFile(file.get());
    HANDLE handle = InsertHandle(file);
    if (!handle) {
        file->OnClose();
        return INVALID_HANDLE_VALUE;
    }
    bool reportsExisting =
        existed && (creationDisposition == CREATE_ALWAYS || creationDisposition == OPEN_ALWAYS);
    SetLastError(reportsExisting ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
}

extern "C" HANDLE CreateFileForMappingW(LPCWSTR fileName, DWORD desiredAccess, DWORD shareMode,
                                        LPSECURITY_ATTRIBUTES attributes, DWORD creationDisposition,
                                        DWORD flagsAndAttributes, HANDLE templateFile) {
    return CreateFileW(fileName, desiredAccess, shareMode, attributes, creationDisposition,
                       flagsAndAttributes, templateFile);
}

extern "C" BOOL ReadFile(HANDLE handle, LPVOID buffer, DWORD bytesToRead, DWORD* bytesRead,
                         LPOVERLAPPED) {
    if (bytesRead) *bytesRead = 0;
    auto file = LookupFile(handle);
    if (!file) return FALSE;
    if (!(file->access & GENERIC_READ)) return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (!buffer && bytesToRead) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    std::lock_guard<std::mutex> guard(file->lock);
    DWORD total = 0;
    auto* out = static_cast<char*>(buffer);
    while (total < bytesToRead) {
        ssize_t n = read(file->fd, out + total, bytesToRead - total);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return Fail(ErrorFromErrno(errno, ERROR_READ_FAULT), FALSE);
        if (n == 0) break;
        total += static_cast<DWORD>(n);
        if (bytesRead) *bytesRead = total;
    }
    return TRUE;
}

extern "C" BOOL WriteFile(HANDLE handle, LPCVOID buffer, DWORD bytesToWrite, DWORD* bytesWritten,
                          LPOVERLAPPED) {
    if (bytesWritten) *bytesWritten = 0;
    auto file = LookupFile(handle);
    if (!file) return FALSE;
    if (!(file->access & GENERIC_WRITE)) return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (!buffer && bytesToWrite) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    std::lock_guard<std::mutex> guard(file->lock);
    DWORD total = 0;
    auto* in = static_cast<const char*>(buffer);
    while (total < bytesToWrite) {
        ssize_t n = write(file->fd, in + total, bytesToWrite - total);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return Fail(ErrorFromErrno(errno, ERROR_WRITE_FAULT), FALSE);
        total += static_cast<DWORD>(n);
        if (bytesWritten) *bytesWritten = total;
    }
    return TRUE;
}

extern "C" DWORD SetFilePointer(HANDLE handle, LONG distance, LONG* distanceHigh,
                                DWORD moveMethod) {
    auto file = LookupFile(handle);
    if (!file) return INVALID_SET_FILE_POINTER;
    std::int64_t offset =
        distanceHigh ? static_cast<std::int64_t>(
                           (static_cast<std::uint64_t>(static_cast<DWORD>(*distanceHigh)) << 32) |
                           static_cast<DWORD>(distance))
                     : distance;
    std::lock_guard<std::mutex> guard(file->lock);
    off_t base;
    switch (moveMethod) {
        case FILE_BEGIN:
            base = 0;
            break;
        case FILE_CURRENT:
            base = lseek(file->fd, 0, SEEK_CUR);
            break;
        case FILE_END: {
            struct stat st;
            base = fstat(file->fd, &st) == 0 ? st.st_size : -1;
            break;
        }
        default:
            return Fail(ERROR_INVALID_PARAMETER, INVALID_SET_FILE_POINTER);
    }
    if (base < 0) return Fail(ERROR_GEN_FAILURE, INVALID_SET_FILE_POINTER);
    if ((offset < 0 && base + offset < 0) || (offset > 0 && base > INT64_MAX - offset)) {
        return Fail(ERROR_NEGATIVE_SEEK, INVALID_SET_FILE_POINTER);
    }
    std::int64_t target = base + offset;
    if (!distanceHigh && target > 0xFFFFFFFE) {
        return Fail(ERROR_INVALID_PARAMETER, INVALID_SET_FILE_POINTER);
    }
    if (lseek(file->fd, target, SEEK_SET) < 0) {
        return Fail(ErrorFromErrno(errno), INVALID_SET_FILE_POINTER);
    }
    if (distanceHigh) *distanceHigh = static_cast<LONG>(static_cast<std::uint64_t>(target) >> 32);
    SetLastError(ERROR_SUCCESS);  // a low word of 0xFFFFFFFF is then told from a failure
    return static_cast<DWORD>(target);
}

extern "C" DWORD GetFileSize(HANDLE handle, DWORD* fileSizeHigh) {
    auto file = LookupFile(handle);
    if (!file) return INVALID_FILE_SIZE;
    struct stat st;
    if (fstat(file->fd, &st) != 0) return Fail(ErrorFromErrno(errno), INVALID_FILE_SIZE);
    auto size = static_cast<std::uint64_t>(st.st_size);
    if (fileSizeHigh) *fileSizeHigh = static_cast<DWORD>(size >> 32);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(size);
}

extern "C" BOOL SetEndOfFile(HANDLE handle) {
    auto file = LookupFile(handle);
    if (!file) return FALSE;
    if (!(file->access & GENERIC_WRITE)) return Fail(ERROR_ACCESS_DENIED, FALSE);
    std::lock_guard<std::mutex> guard(file->lock);
    off_t at = lseek(file->fd, 0, SEEK_CUR);
    if (at < 0 || ftruncate(file->fd, at) != 0) return FailErrno();
    return TRUE;
}

extern "C" BOOL FlushFileBuffers(HANDLE handle) {
    auto file = LookupFile(handle);
    if (!file) return FALSE;
    if (fsync(file->fd) != 0 && errno != EINVAL) return FailErrno(ERROR_WRITE_FAULT);
    return TRUE;
}

extern "C" BOOL GetFileTime(HANDLE handle, LPFILETIME creation, LPFILETIME lastAccess,
                            LPFILETIME lastWrite) {
    auto file = LookupFile(handle);
    if (!file) return FALSE;
    struct stat st;
    if (fstat(file->fd, &st) != 0) return FailErrno();
    if (creation) *creation = MakeFileTime(StatCreationFileTime(file->host, st));
    if (lastAccess) *lastAccess = MakeFileTime(ToFileTime(st.st_atim));
    if (lastWrite) *lastWrite = MakeFileTime(ToFileTime(st.st_mtim));
    return TRUE;
}

extern "C" BOOL SetFileTime(HANDLE handle, const FILETIME*, const FILETIME* lastAccess,
                            const FILETIME* lastWrite) {
    auto file = LookupFile(handle);
    if (!file) return FALSE;
    if (!(file->access & GENERIC_WRITE)) return Fail(ERROR_ACCESS_DENIED, FALSE);
    auto toSpec = [](const FILETIME* t) {
        struct timespec ts = {0, UTIME_OMIT};
        if (!t) return ts;
        std::uint64_t v = FileTimeValue(*t);
        std::uint64_t since = v > kUnixEpochFileTime ? v - kUnixEpochFileTime : 0;
        ts.tv_sec = static_cast<time_t>(since / 10000000ULL);
        ts.tv_nsec = static_cast<long>(since % 10000000ULL * 100);
        return ts;
    };
    // The creation time is the file system's own; it cannot be set here.
    struct timespec times[2] = {toSpec(lastAccess), toSpec(lastWrite)};
    if (futimens(file->fd, times) != 0) return FailErrno();
    return TRUE;
}

extern "C" DWORD GetFileAttributesW(LPCWSTR fileName) {
    ResolvedPath path;
    if (!ResolveDevicePath(fileName, path)) return INVALID_FILE_ATTRIBUTES;
    if (!path.exists) return Fail(ERROR_FILE_NOT_FOUND, INVALID_FILE_ATTRIBUTES);
    return AttributesOf(path);
}

extern "C" BOOL SetFileAttributesW(LPCWSTR fileName, DWORD attributes) {
    ResolvedPath path;
    if (!ResolveDevicePath(fileName, path)) return FALSE;
    if (!path.exists) return Fail(ERROR_FILE_NOT_FOUND, FALSE);
    if (path.isRoot || path.isCardRoot) return Fail(ERROR_ACCESS_DENIED, FALSE);
    // Only read-only is kept by the host; hidden follows the name, the rest is not stored.
    mode_t mode = path.info.st_mode & 07777;
    mode = (attributes & FILE_ATTRIBUTE_READONLY) ? (mode & ~0222) : (mode | S_IWUSR);
    if (chmod(path.host.c_str(), mode) != 0) return FailErrno();
    return TRUE;
}

extern "C" BOOL DeleteFileW(LPCWSTR fileName) {
    ResolvedPath path;
    if (!ResolveDevicePath(fileName, path)) return FALSE;
    if (!path.exists) return Fail(ERROR_FILE_NOT_FOUND, FALSE);
    if (path.isRoot || path.isCardRoot || S_ISDIR(path.info.st_mode)) {
        return Fail(ERROR_ACCESS_DENIED, FALSE);
    }
    if (!(path.info.st_mode & S_IWUSR)) return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (IsOpenInProcess(path.info.st_dev, path.info.st_ino)) {
        return Fail(ERROR_SHARING_VIOLATION, FALSE);
    }
    if (unlink(path.host.c_str()) != 0) return FailErrno();
    return TRUE;
}

extern "C" BOOL MoveFileW(LPCWSTR existingName, LPCWSTR newName) {
    return MoveHost(existingName, newName, false);
}

extern "C" BOOL MoveFileExW(LPCWSTR existingName, LPCWSTR newName, DWORD flags) {
    if (flags & ~(MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED)) {
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    }
    return MoveHost(existingName, newName, (flags & MOVEFILE_REPLACE_EXISTING) != 0);
}

extern "C" BOOL CopyFileW(LPCWSTR existingName, LPCWSTR newName, BOOL failIfExists) {
    ResolvedPath from, to;
    if (!ResolveDevicePath(existingName, from)) return FALSE;
    if (!from.exists) return Fail(ERROR_FILE_NOT_FOUND, FALSE);
    if (S_ISDIR(from.info.st_mode)) return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (!ResolveDevicePath(newName, to)) return FALSE;
    if (to.isRoot || to.isCardRoot) return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (to.exists) {
        if (failIfExists) return Fail(ERROR_FILE_EXISTS, FALSE);
        if (S_ISDIR(to.info.st_mode) || !(to.info.st_mode & S_IWUSR)) {
            return Fail(ERROR_ACCESS_DENIED, FALSE);
        }
        if (to.info.st_dev == from.info.st_dev && to.info.st_ino == from.info.st_ino) {
            return Fail(ERROR_SHARING_VIOLATION, FALSE);
        }
        if (IsOpenInProcess(to.info.st_dev, to.info.st_ino)) {
            return Fail(ERROR_SHARING_VIOLATION, FALSE);
        }
    }
    return CopyHostFile(from.host, to.hostParent, to.host, !failIfExists) ? TRUE : FALSE;
}

extern "C" BOOL CreateDirectoryW(LPCWSTR pathName, LPSECURITY_ATTRIBUTES) {
    ResolvedPath path;
    if (!ResolveDevicePath(pathName, path)) return FALSE;
    if (path.exists || path.isRoot) return Fail(ERROR_ALREADY_EXISTS, FALSE);
    if (mkdir(path.host.c_str(), 0755) != 0) return FailErrno();
    return TRUE;
}

extern "C" BOOL RemoveDirectoryW(LPCWSTR pathName) {
    ResolvedPath path;
    if (!ResolveDevicePath(pathName, path)) return FALSE;
    if (!path.exists) return Fail(ERROR_FILE_NOT_FOUND, FALSE);
    if (path.isRoot || path.isCardRoot) return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (!S_ISDIR(path.info.st_mode)) return Fail(ERROR_DIRECTORY, FALSE);
    if (rmdir(path.host.c_str()) != 0) {
        return Fail(errno == EEXIST ? ERROR_DIR_NOT_EMPTY : ErrorFromErrno(errno), FALSE);
    }
    return TRUE;
}

extern "C" DWORD GetTempPathW(DWORD bufferLength, LPWSTR buffer) {
    static const std::u16string kTemp = u"\\Temp\\";
    // The folder is made on first use, as the device keeps it.
    ResolvedPath path;
    if (ResolveDevicePath(u"\\Temp", path) && !path.exists) mkdir(path.host.c_str(), 0755);
    if (!buffer || bufferLength <= kTemp.size()) return static_cast<DWORD>(kTemp.size() + 1);
    CopyWide(kTemp, buffer, bufferLength);
    return static_cast<DWORD>(kTemp.size());
}

extern "C" UINT GetTempFileNameW(LPCWSTR pathName, LPCWSTR prefix, UINT unique,
                                 LPWSTR tempFileName) {
    if (!pathName || !tempFileName) return Fail(ERROR_INVALID_PARAMETER, 0u);
    std::u16string base(WideView(pathName));
    if (base.empty() || (base.back() != u'\\' && base.back() != u'/')) base += u'\\';
    std::u16string lead(WideView(prefix).substr(0, 3));
    auto nameFor = [&](UINT n) {
        static const char16_t digits[] = u"0123456789ABCDEF";
        std::u16string hex;
        for (int shift = 12; shift >= 0; shift -= 4) hex += digits[(n >> shift) & 0xF];
        return base + lead + hex + u".tmp";
    };
    unique &= 0xFFFF;
    if (unique != 0) {
        std::u16string name = nameFor(unique);
        if (name.size() >= MAX_PATH) return Fail(ERROR_FILENAME_EXCED_RANGE, 0u);
        CopyWide(name, tempFileName, MAX_PATH);
        return unique;
    }
    static std::atomic<UINT> counter{static_cast<UINT>(getpid())};
    for (int attempt = 0; attempt < 0x10000; ++attempt) {
        UINT n = (counter++ & 0xFFFF);
        if (n == 0) continue;
        std::u16string name = nameFor(n);
        if (name.size() >= MAX_PATH) return Fail(ERROR_FILENAME_EXCED_RANGE, 0u);
        HANDLE h = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            CloseHandle(h);
            CopyWide(name, tempFileName, MAX_PATH);
            SetLastError(ERROR_SUCCESS);
            return n;
        }
        if (GetLastError() != ERROR_FILE_EXISTS) return 0;
    }
    return Fail(ERROR_FILE_EXISTS, 0u);
}

extern "C" BOOL GetDiskFreeSpaceExW(LPCWSTR directoryName, PULARGE_INTEGER freeBytesAvailable,
                                    PULARGE_INTEGER totalBytes, PULARGE_INTEGER totalFreeBytes) {
    ResolvedPath path;
    if (!ResolveDevicePath(directoryName ? directoryName : u"\\", path)) return FALSE;
    if (!path.exists) return Fail(ERROR_PATH_NOT_FOUND, FALSE);
    const DeviceProfile& profile = Profile();
    std::uint64_t freeBytes, total, available;
    if (profile.diskTotal != 0) {
        freeBytes = available = profile.diskFree;
        total = profile.diskTotal;
    } else {
        struct statvfs vfs;
        if (statvfs(path.host.c_str(), &vfs) != 0) return FailErrno();
        total = static_cast<std::uint64_t>(vfs.f_blocks) * vfs.f_frsize;
        freeBytes = static_cast<std::uint64_t>(vfs.f_bfree) * vfs.f_frsize;
        available = static_cast<std::uint64_t>(vfs.f_bavail) * vfs.f_frsize;
    }
    if (freeBytesAvailable) freeBytesAvailable->QuadPart = available;
    if (totalBytes) totalBytes->QuadPart = total;
    if (totalFreeBytes) totalFreeBytes->QuadPart = freeBytes;
    return TRUE;
}

#include "platform/storage/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "platform/kernel/device.h"
#include "platform/kernel/wide.h"
#include "platform/last_error.h"
#include "platform/storage/open_files.h"
#include "platform/storage/sync_log.h"

namespace fvt {

namespace {

struct OpenEntry {
    const void* owner;
    dev_t dev;
    ino_t ino;
    DWORD access;
    DWORD share;
    bool mapped;
};

struct OpenTable {
    std::mutex lock;
    std::vector<OpenEntry> entries;
};

OpenTable& Opened() {
    static OpenTable* table = new OpenTable;
    return *table;
}

}  // namespace

FileObject::~FileObject() {
    if (fd >= 0) close(fd);
}

void FileObject::OnClose() {
    UnregisterOpen(this);
    if (!deleteOnClose || !folder.Valid()) return;
    // Only this very file, if it is still under its name, and not once made read-only: a file
    // that took the name meanwhile, or the entry of a folder moved away, is left alone.
    struct stat st;
    if (fstatat(folder.Get(), hostName.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return;
    if (!S_ISREG(st.st_mode) || st.st_dev != dev || st.st_ino != ino) return;
    if (!(st.st_mode & S_IWUSR)) return;
    unlinkat(folder.Get(), hostName.c_str(), 0);
}

void RegisterOpen(const void* owner, dev_t dev, ino_t ino, DWORD access, DWORD share,
                  bool mapped) {
    OpenTable& t = Opened();
    std::lock_guard<std::mutex> guard(t.lock);
    t.entries.push_back({owner, dev, ino, access, share, mapped});
}

void UnregisterOpen(const void* owner) {
    OpenTable& t = Opened();
    std::lock_guard<std::mutex> guard(t.lock);
    std::erase_if(t.entries, [&](const OpenEntry& e) { return e.owner == owner; });
}

bool IsOpenInProcess(dev_t dev, ino_t ino) {
    OpenTable& t = Opened();
    std::lock_guard<std::mutex> guard(t.lock);
    for (auto& e : t.entries) {
        if (!e.mapped && e.dev == dev && e.ino == ino) return true;
    }
    return false;
}

bool IsMapped(dev_t dev, ino_t ino) {
    OpenTable& t = Opened();
    std::lock_guard<std::mutex> guard(t.lock);
    for (auto& e : t.entries) {
        if (e.mapped && e.dev == dev && e.ino == ino) return true;
    }
    return false;
}

bool ShareConflict(dev_t dev, ino_t ino, DWORD access, DWORD share, bool truncating) {
    OpenTable& t = Opened();
    std::lock_guard<std::mutex> guard(t.lock);
    for (auto& f : t.entries) {
        if (f.dev != dev || f.ino != ino) continue;
        if (truncating && f.mapped) return true;
        if ((access & GENERIC_READ) && !(f.share & FILE_SHARE_READ)) return true;
        if ((access & GENERIC_WRITE) && !(f.share & FILE_SHARE_WRITE)) return true;
        if ((f.access & GENERIC_READ) && !(share & FILE_SHARE_READ)) return true;
        if ((f.access & GENERIC_WRITE) && !(share & FILE_SHARE_WRITE)) return true;
    }
    return false;
}

std::shared_ptr<FileObject> LookupFile(HANDLE handle) {
    return LookupHandleAs<FileObject>(handle, ObjectKind::File);
}

bool SyncFolder(const ResolvedPath& entry) {
    HostFd folder(openat(entry.folder.Get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder.Valid()) return false;
    bool ok = fsync(folder.Get()) == 0 || errno == EINVAL;
    RecordSync(entry.FolderDevicePath(), true);
    return ok;
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
        case ENXIO:
        case EOPNOTSUPP:
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

struct WriteFailures {
    std::mutex lock;
    // Each file refused since the last look, once, in the order they failed.
    std::vector<std::u16string> files;

    void Note(const std::u16string& device) {
        // Bounded: a device that refuses everything would otherwise grow this for ever.
        constexpr std::size_t kMost = 64;
        if (files.size() >= kMost || std::find(files.begin(), files.end(), device) != files.end())
            return;
        files.push_back(device);
    }
};

WriteFailures& Failures() {
    static WriteFailures* failures = new WriteFailures;
    return *failures;
}

// Only what the device refused (permissions, a read-only or full disk): a name that is a link or
// a folder is the caller's mistake, not a failed save.
void NoteWriteFailure(int error, const std::u16string& device) {
    if (error != EACCES && error != EPERM && error != EROFS && error != ENOSPC && error != EDQUOT)
        return;
    WriteFailures& f = Failures();
    std::lock_guard<std::mutex> guard(f.lock);
    f.Note(device);
}

BOOL FailErrno(DWORD fallback = ERROR_GEN_FAILURE) {
    SetLastError(ErrorFromErrno(errno, fallback));
    return FALSE;
}

// Opens an entry for reading or writing: never blocking on a FIFO, never following a link, and
// only a regular file. -1 with the last error set otherwise.
int OpenRegular(const ResolvedPath& path, int flags, mode_t mode = 0) {
    int fd = path.OpenAt(flags | O_NONBLOCK, mode);
    if (fd < 0) {
        DWORD error = ErrorFromErrno(errno);
        return Fail(error == ERROR_ALREADY_EXISTS ? ERROR_FILE_EXISTS : error, -1);
    }
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return Fail(ERROR_ACCESS_DENIED, -1);
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

// Copies in flight in this process, by folder and temp name: the stale-copy sweep leaves them be.
struct CopiesInFlight {
    std::mutex lock;
    std::vector<std::pair<ino_t, std::string>> names;
};

CopiesInFlight& InFlight() {
    static CopiesInFlight* copies = new CopiesInFlight;
    return *copies;
}

constexpr char kCopyPrefix[] = ".fvt-copy-";

bool IsInFlight(ino_t folder, const std::string& name) {
    CopiesInFlight& c = InFlight();
    std::lock_guard<std::mutex> guard(c.lock);
    for (auto& n : c.names) {
        if (n.first == folder && n.second == name) return true;
    }
    return false;
}

// Removes the temp copies that a crash left in a folder. A copy being made holds a lock on its
// temp file, so one another process is still writing is never taken.
void SweepStaleCopies(int folder, ino_t folderId) {
    HostFd listed(openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!listed.Valid()) return;
    DIR* dir = fdopendir(listed.Get());
    if (!dir) return;
    listed.Release();
    std::vector<std::string> stale;
    while (dirent* d = readdir(dir)) {
        std::string name = d->d_name;
        if (name.size() != sizeof kCopyPrefix - 1 + 6 || name.rfind(kCopyPrefix, 0) != 0) continue;
        if (!IsInFlight(folderId, name)) stale.push_back(name);
    }
    for (auto& name : stale) {
        HostFd fd(openat(dirfd(dir), name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        struct stat st;
        if (!fd.Valid() || fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        if (flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) continue;
        struct stat now;
        if (fstatat(dirfd(dir), name.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 &&
            now.st_dev == st.st_dev && now.st_ino == st.st_ino) {
            unlinkat(dirfd(dir), name.c_str(), 0);
        }
    }
    closedir(dir);
}

// A fresh temp file in a folder, locked while the copy is made; -1 on failure (errno set).
int CreateCopyTemp(int folder, ino_t folderId, std::string& name) {
    static const char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    for (int attempt = 0; attempt < 64; ++attempt) {
        unsigned char bytes[6];
        if (getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes)) {
            auto mix = static_cast<std::uint64_t>(std::chrono::steady_clock::now()
                                                      .time_since_epoch()
                                                      .count()) ^
                       (static_cast<std::uint64_t>(attempt) << 48);
            for (auto& b : bytes) b = static_cast<unsigned char>(mix >>= 7);
        }
        name = kCopyPrefix;
        for (unsigned char b : bytes) name += kDigits[b % 36];
        {
            CopiesInFlight& c = InFlight();
            std::lock_guard<std::mutex> guard(c.lock);
            c.names.emplace_back(folderId, name);
        }
        int fd = openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                        0600);
        if (fd >= 0) {
            flock(fd, LOCK_EX | LOCK_NB);
            return fd;
        }
        int error = errno;
        {
            CopiesInFlight& c = InFlight();
            std::lock_guard<std::mutex> guard(c.lock);
            std::erase(c.names, std::make_pair(folderId, name));
        }
        errno = error;
        if (error != EEXIST) return -1;
    }
    errno = EEXIST;
    return -1;
}

void EndCopy(ino_t folderId, const std::string& name) {
    CopiesInFlight& c = InFlight();
    std::lock_guard<std::mutex> guard(c.lock);
    std::erase(c.names, std::make_pair(folderId, name));
}

std::atomic<bool> g_failNextCopy{false};

// The test's stand-in for a nearly full disk: bytes still writable, -1 without limit.
constexpr long long kDiskUnread = -2;
std::atomic<long long> g_diskFree{kDiskUnread};

long long DiskFree() {
    long long free = g_diskFree.load();
    if (free != kDiskUnread) return free;
    long long limit = -1;
    if (const char* env = std::getenv("FOLIVANT_TEST_DISK_FREE"); env && *env) {
        char* end = nullptr;
        long long n = std::strtoll(env, &end, 10);
        if (end && *end == '\0' && n >= 0) limit = n;
    }
    g_diskFree.compare_exchange_strong(free, limit);
    return g_diskFree.load();
}

// How many of `want` bytes the disk takes; 0 sets errno as a full disk does.
size_t DiskGrant(size_t want) {
    long long free = DiskFree();
    for (;;) {
        if (free < 0) return want;
        size_t give = static_cast<size_t>(std::min<long long>(free, static_cast<long long>(want)));
        if (g_diskFree.compare_exchange_weak(free, free - static_cast<long long>(give))) {
            if (give == 0 && want > 0) errno = ENOSPC;
            return give;
        }
    }
}

// write(), short of what the disk has room for.
ssize_t DiskWrite(int fd, const void* data, size_t size) {
    size_t granted = DiskGrant(size);
    if (granted == 0 && size > 0) return -1;
    return write(fd, data, granted);
}

bool WriteAll(int fd, const char* data, size_t size) {
    for (size_t done = 0; done < size;) {
        ssize_t w = DiskWrite(fd, data + done, size - done);
        if (w < 0 && errno == EINTR) continue;
        if (w < 0) return false;
        done += static_cast<size_t>(w);
    }
    return true;
}

// Copies a regular file to a fresh temp name in the target's folder, flushes it, then links it in
// under the target's name (replacing only when asked). The source is left alone, and the temp
// file never outlives the call; those a crash left behind go at the next copy into the folder.
bool CopyHostFile(const ResolvedPath& from, const ResolvedPath& to, bool replace) {
    HostFd in(OpenRegular(from, O_RDONLY));
    if (!in.Valid()) return false;
    struct stat st;
    if (fstat(in.Get(), &st) != 0) return FailErrno();
    struct stat folderInfo;
    if (fstat(to.folder.Get(), &folderInfo) != 0) return FailErrno();
    SweepStaleCopies(to.folder.Get(), folderInfo.st_ino);
    std::string temp;
    HostFd out(CreateCopyTemp(to.folder.Get(), folderInfo.st_ino, temp));
    if (!out.Valid()) return FailErrno();
    bool ok = true;
    std::vector<char> buffer(1 << 16);
    for (;;) {
        ssize_t n = read(in.Get(), buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            ok = FailErrno(ERROR_READ_FAULT);
            break;
        }
        if (n == 0) break;
        if (!WriteAll(out.Get(), buffer.data(), static_cast<size_t>(n))) {
            ok = FailErrno(ERROR_WRITE_FAULT);
            break;
        }
        if (g_failNextCopy.exchange(false)) {
            ok = Fail(ERROR_DISK_FULL, false);
            break;
        }
    }
    if (ok) {
        fchmod(out.Get(), st.st_mode & 07777);
        struct timespec times[2] = {st.st_atim, st.st_mtim};
        futimens(out.Get(), times);
        if (fsync(out.Get()) != 0) ok = FailErrno(ERROR_WRITE_FAULT);
        RecordSync(to.device, false);
    }
    if (close(out.Release()) != 0 && ok) ok = FailErrno(ERROR_WRITE_FAULT);
    bool tempGone = false;
    if (ok) {
        int folder = to.folder.Get();
        const char* target = to.hostName.c_str();
        int r = replace ? renameat(folder, temp.c_str(), folder, target)
                        : renameat2(folder, temp.c_str(), folder, target, RENAME_NOREPLACE);
        if (r == 0) {
            tempGone = true;
        } else if (!replace && errno == EINVAL) {
            // File systems without the no-replace rename: a hard link refuses an existing name.
            r = linkat(folder, temp.c_str(), folder, target, 0);
        }
        if (r != 0) ok = FailErrno();
    }
    if (!tempGone) unlinkat(to.folder.Get(), temp.c_str(), 0);
    EndCopy(folderInfo.st_ino, temp);
    if (ok) SyncFolder(to);
    return ok;
}

bool SameFolder(const ResolvedPath& a, const ResolvedPath& b) {
    struct stat x, y;
    return fstat(a.folder.Get(), &x) == 0 && fstat(b.folder.Get(), &y) == 0 &&
           x.st_dev == y.st_dev && x.st_ino == y.st_ino;
}

// After a move: the target's folder, and the source's when it is another one.
void SyncMoved(const ResolvedPath& from, const ResolvedPath& to) {
    SyncFolder(to);
    if (!SameFolder(from, to)) SyncFolder(from);
}

}  // namespace

void FailNextCopyForTesting() {
    g_failNextCopy = true;
}

void LimitDiskForTesting(long long bytes) {
    g_diskFree = bytes < 0 ? -1 : bytes;
}

namespace {

// The shared part of MoveFileW/MoveFileExW.
BOOL MoveHost(LPCWSTR existingName, LPCWSTR newName, bool replace) {
    ResolvedPath from, to;
    if (!ResolveDevicePath(existingName, from)) return FALSE;
    if (from.isRoot || from.isCardRoot) return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (!from.exists) return Fail(from.MissingError(), FALSE);
    if (!ResolveDevicePath(newName, to)) return FALSE;
    if (to.isRoot || to.isCardRoot) return Fail(ERROR_ALREADY_EXISTS, FALSE);
    if (to.blocked) return Fail(ERROR_ACCESS_DENIED, FALSE);
    bool isFolder = S_ISDIR(from.info.st_mode);
    if (IsOpenInProcess(from.info.st_dev, from.info.st_ino)) {
        return Fail(ERROR_SHARING_VIOLATION, FALSE);
    }
    bool sameFile =
        to.exists && to.info.st_dev == from.info.st_dev && to.info.st_ino == from.info.st_ino;
    if (sameFile && to.hostName == from.hostName && SameFolder(from, to)) {
        // The same entry: only the case of the name changes (or nothing at all).
        std::string target = WideToUtf8(to.givenName);
        if (target == from.hostName) return TRUE;
        if (renameat(from.folder.Get(), from.hostName.c_str(), to.folder.Get(), target.c_str()) !=
            0) {
            return FailErrno();
        }
        SyncFolder(to);
        return TRUE;
    }
    if (to.exists) {
        if (!replace || isFolder || S_ISDIR(to.info.st_mode)) {
            return Fail(ERROR_ALREADY_EXISTS, FALSE);
        }
        if (IsOpenInProcess(to.info.st_dev, to.info.st_ino)) {
            return Fail(ERROR_SHARING_VIOLATION, FALSE);
        }
        if (sameFile) {
            // Two links of one file: a host rename would do nothing, so the source name goes.
            if (unlinkat(from.folder.Get(), from.hostName.c_str(), 0) != 0) return FailErrno();
            SyncFolder(from);
            return TRUE;
        }
    }
    if (isFolder && (to.host + "/").rfind(from.host + "/", 0) == 0) {
        return Fail(ERROR_ACCESS_DENIED, FALSE);  // into itself
    }
    int fromFolder = from.folder.Get(), toFolder = to.folder.Get();
    const char* source = from.hostName.c_str();
    const char* target = to.hostName.c_str();
    int r = replace ? renameat(fromFolder, source, toFolder, target)
                    : renameat2(fromFolder, source, toFolder, target, RENAME_NOREPLACE);
    if (r == 0) {
        SyncMoved(from, to);
        return TRUE;
    }
    if (errno == EINVAL && !replace && !isFolder) {
        if (linkat(fromFolder, source, toFolder, target, 0) == 0) {
            unlinkat(fromFolder, source, 0);
            SyncMoved(from, to);
            return TRUE;
        }
    }
    if (errno == EEXIST) return Fail(ERROR_ALREADY_EXISTS, FALSE);
    if (errno != EXDEV) return FailErrno();
    // Between main memory and a card: copy, then remove the source only once the copy is whole.
    if (isFolder) return Fail(ERROR_NOT_SAME_DEVICE, FALSE);
    if (!CopyHostFile(from, to, replace)) return FALSE;
    if (unlinkat(fromFolder, source, 0) != 0) {
        DWORD error = ErrorFromErrno(errno);
        unlinkat(toFolder, target, 0);
        return Fail(error, FALSE);
    }
    SyncFolder(from);
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
    bool creating = creationDisposition != OPEN_EXISTING && creationDisposition != TRUNCATE_EXISTING;
    if (!existed && (path.special || (path.blocked && creating))) {
        return Fail(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);
    }
    if (!existed && !creating) return Fail(ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);
    if (existed && creationDisposition == CREATE_NEW) {
        return Fail(ERROR_FILE_EXISTS, INVALID_HANDLE_VALUE);
    }
    bool writing = (desiredAccess & GENERIC_WRITE) != 0;
    bool reading = (desiredAccess & GENERIC_READ) != 0;
    int flags = writing ? (reading ? O_RDWR : O_WRONLY) : O_RDONLY;
    bool truncate = existed && (creationDisposition == CREATE_ALWAYS ||
                                creationDisposition == TRUNCATE_EXISTING);
    if (truncate && !writing) return Fail(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);
    if (!existed) flags |= O_CREAT | O_EXCL;
    mode_t mode = (flagsAndAttributes & FILE_ATTRIBUTE_READONLY) ? 0444 : 0644;
    // The sharing rules are checked on the file actually opened, and only then is it truncated.
    errno = 0;
    HostFd fd(OpenRegular(path, flags, mode));
    if (!fd.Valid()) {
        if (writing) NoteWriteFailure(errno, path.device);
        return INVALID_HANDLE_VALUE;
    }
    struct stat st;
    if (fstat(fd.Get(), &st) != 0) return Fail(ErrorFromErrno(errno), INVALID_HANDLE_VALUE);
    if (existed && ShareConflict(st.st_dev, st.st_ino, desiredAccess, shareMode, truncate)) {
        return Fail(ERROR_SHARING_VIOLATION, INVALID_HANDLE_VALUE);
    }
    if (truncate && ftruncate(fd.Get(), 0) != 0) {
        return Fail(ErrorFromErrno(errno), INVALID_HANDLE_VALUE);
    }
    // A temporary file's entry need not outlive a crash: one that is kept is renamed into
    // place, and the rename syncs the folder.
    if (!existed && !(flagsAndAttributes & FILE_ATTRIBUTE_TEMPORARY)) SyncFolder(path);
    auto file = std::make_shared<FileObject>();
    file->fd = fd.Release();
    file->device = path.device;
    file->access = desiredAccess;
    file->share = shareMode;
    file->deleteOnClose = (flagsAndAttributes & FILE_FLAG_DELETE_ON_CLOSE) != 0;
    if (file->deleteOnClose) {
        file->folder = HostFd(fcntl(path.folder.Get(), F_DUPFD_CLOEXEC, 0));
        file->hostName = path.hostName;
    }
    file->dev = st.st_dev;
    file->ino = st.st_ino;
    RegisterOpen(file.get(), st.st_dev, st.st_ino, desiredAccess, shareMode, false);
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
        ssize_t n = DiskWrite(file->fd, in + total, bytesToWrite - total);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            NoteWriteFailure(errno, file->device);
            return Fail(ErrorFromErrno(errno, ERROR_WRITE_FAULT), FALSE);
        }
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
    if (at < 0) return FailErrno();
    // Cutting pages from under a view of the file would fault its reader.
    struct stat st;
    if (fstat(file->fd, &st) == 0 && at < st.st_size && IsMapped(file->dev, file->ino)) {
        return Fail(ERROR_SHARING_VIOLATION, FALSE);
    }
    if (ftruncate(file->fd, at) != 0) return FailErrno();
    return TRUE;
}

extern "C" BOOL FlushFileBuffers(HANDLE handle) {
    auto file = LookupFile(handle);
    if (!file) return FALSE;
    if (fsync(file->fd) != 0 && errno != EINVAL) return FailErrno(ERROR_WRITE_FAULT);
    RecordSync(file->device, false);
    return TRUE;
}

extern "C" BOOL GetFileTime(HANDLE handle, LPFILETIME creation, LPFILETIME lastAccess,
                            LPFILETIME lastWrite) {
    auto file = LookupFile(handle);
    if (!file) return FALSE;
    struct stat st;
    if (fstat(file->fd, &st) != 0) return FailErrno();
    if (creation) *creation = MakeFileTime(StatCreationFileTime(file->fd, "", st));
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
    if (!path.exists) return Fail(path.MissingError(), INVALID_FILE_ATTRIBUTES);
    return AttributesOf(path);
}

extern "C" BOOL SetFileAttributesW(LPCWSTR fileName, DWORD attributes) {
    ResolvedPath path;
    if (!ResolveDevicePath(fileName, path)) return FALSE;
    if (path.isRoot || path.isCardRoot) return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (!path.exists) return Fail(path.MissingError(), FALSE);
    // Only read-only is kept by the host; hidden follows the name, the rest is not stored.
    mode_t mode = path.info.st_mode & 07777;
    mode = (attributes & FILE_ATTRIBUTE_READONLY) ? (mode & ~0222) : (mode | S_IWUSR);
    if (fchmodat(path.folder.Get(), path.hostName.c_str(), mode, AT_SYMLINK_NOFOLLOW) != 0) {
        return FailErrno();
    }
    return TRUE;
}

extern "C" BOOL DeleteFileW(LPCWSTR fileName) {
    ResolvedPath path;
    if (!ResolveDevicePath(fileName, path)) return FALSE;
    if (path.isRoot || path.isCardRoot) return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (!path.exists) return Fail(path.MissingError(), FALSE);
    if (S_ISDIR(path.info.st_mode)) return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (!(path.info.st_mode & S_IWUSR)) return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (IsOpenInProcess(path.info.st_dev, path.info.st_ino)) {
        return Fail(ERROR_SHARING_VIOLATION, FALSE);
    }
    if (unlinkat(path.folder.Get(), path.hostName.c_str(), 0) != 0) return FailErrno();
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
    if (from.isRoot || from.isCardRoot) return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (!from.exists) return Fail(from.MissingError(), FALSE);
    if (S_ISDIR(from.info.st_mode)) return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (!ResolveDevicePath(newName, to)) return FALSE;
    if (to.isRoot || to.isCardRoot || to.blocked) return Fail(ERROR_ACCESS_DENIED, FALSE);
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
    return CopyHostFile(from, to, !failIfExists) ? TRUE : FALSE;
}

extern "C" BOOL CreateDirectoryW(LPCWSTR pathName, LPSECURITY_ATTRIBUTES) {
    ResolvedPath path;
    if (!ResolveDevicePath(pathName, path)) return FALSE;
    if (path.exists || path.isRoot) return Fail(ERROR_ALREADY_EXISTS, FALSE);
    // A link, a special file or a removed card's folder holds the name: no twin beside it.
    if (path.blocked) return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (mkdirat(path.folder.Get(), path.hostName.c_str(), 0755) != 0) return FailErrno();
    SyncFolder(path);
    return TRUE;
}

extern "C" BOOL RemoveDirectoryW(LPCWSTR pathName) {
    ResolvedPath path;
    if (!ResolveDevicePath(pathName, path)) return FALSE;
    if (path.isRoot || path.isCardRoot) return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (!path.exists) return Fail(path.MissingError(), FALSE);
    if (!S_ISDIR(path.info.st_mode)) return Fail(ERROR_DIRECTORY, FALSE);
    if (unlinkat(path.folder.Get(), path.hostName.c_str(), AT_REMOVEDIR) != 0) {
        return Fail(errno == EEXIST ? ERROR_DIR_NOT_EMPTY : ErrorFromErrno(errno), FALSE);
    }
    return TRUE;
}

extern "C" DWORD GetTempPathW(DWORD bufferLength, LPWSTR buffer) {
    static const std::u16string kTemp = u"\\Temp\\";
    // The folder is made on first use, as the device keeps it.
    ResolvedPath path;
    if (ResolveDevicePath(u"\\Temp", path) && !path.exists && !path.blocked) {
        mkdirat(path.folder.Get(), path.hostName.c_str(), 0755);
    }
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
        if (fstatvfs(path.folder.Get(), &vfs) != 0) return FailErrno();
        total = static_cast<std::uint64_t>(vfs.f_blocks) * vfs.f_frsize;
        freeBytes = static_cast<std::uint64_t>(vfs.f_bfree) * vfs.f_frsize;
        available = static_cast<std::uint64_t>(vfs.f_bavail) * vfs.f_frsize;
    }
    if (freeBytesAvailable) freeBytesAvailable->QuadPart = available;
    if (totalBytes) totalBytes->QuadPart = total;
    if (totalFreeBytes) totalFreeBytes->QuadPart = freeBytes;
    return TRUE;
}

void fvt::NoteUnsavedFile(const std::u16string& devicePath) {
    WriteFailures& f = Failures();
    std::lock_guard<std::mutex> guard(f.lock);
    f.Note(devicePath);
}

bool fvt::TakeWriteFailure(std::u16string& devicePath) {
    std::vector<std::u16string> files;
    if (!TakeWriteFailures(files)) return false;
    devicePath = files.front();
    return true;
}

bool fvt::TakeWriteFailures(std::vector<std::u16string>& devicePaths) {
    WriteFailures& f = Failures();
    std::lock_guard<std::mutex> guard(f.lock);
    devicePaths.swap(f.files);
    f.files.clear();
    return !devicePaths.empty();
}

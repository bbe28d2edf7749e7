#include "platform/storage/device_path.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <vector>

#if __has_include(<linux/openat2.h>)
#include <linux/openat2.h>
#endif

#include "platform/kernel/device.h"
#include "platform/kernel/kernel_clock.h"
#include "platform/kernel/wide.h"
#include "platform/last_error.h"
#include "platform/storage/storage_cards.h"

namespace fvt {

namespace {

constexpr size_t kMaxComponent = 255;

bool IsSeparator(char16_t c) {
    return c == u'\\' || c == u'/';
}

// ERROR_SUCCESS when the component is a valid name (or pattern when allowed).
DWORD CheckComponent(std::u16string_view part, bool allowPattern) {
    if (part.size() > kMaxComponent) return ERROR_FILENAME_EXCED_RANGE;
    for (char16_t c : part) {
        if (c < 0x20 || c == u':' || c == u'"' || c == u'<' || c == u'>' || c == u'|') {
            return ERROR_INVALID_NAME;
        }
        if ((c == u'*' || c == u'?') && !allowPattern) return ERROR_INVALID_NAME;
    }
    return ERROR_SUCCESS;
}

bool Shown(const struct stat& st) {
    return S_ISREG(st.st_mode) || S_ISDIR(st.st_mode);
}

// What a folder holds under a device name.
struct Entry {
    std::string found;      // host name of the regular file or folder shown under the name
    struct stat info = {};  // its status
    bool exists = false;
    bool blocked = false;  // some other host entry answers to the name
    bool special = false;  // and it is a FIFO, socket or device node
};

void Note(Entry& e, const std::string& hostName, const struct stat& st) {
    if (Shown(st)) {
        e.found = hostName;
        e.info = st;
        e.exists = true;
    } else {
        e.blocked = true;
        e.special = e.special || !S_ISLNK(st.st_mode);
    }
}

// Finds `name` in a folder without case, the exact spelling first.
Entry FindEntry(int folder, std::u16string_view name) {
    Entry e;
    std::string exact = WideToUtf8(name);
    struct stat st;
    if (fstatat(folder, exact.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        Note(e, exact, st);
        if (e.exists) return e;
    }
    int listed = openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listed < 0) return e;
    DIR* dir = fdopendir(listed);
    if (!dir) {
        close(listed);
        return e;
    }
    while (dirent* d = readdir(dir)) {
        std::string entry = d->d_name;
        if (entry == exact || !IsDeviceName(entry)) continue;
        if (!EqualsNoCase(Utf8ToWide(entry), name)) continue;
        if (fstatat(dirfd(dir), entry.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        Note(e, entry, st);
        if (e.exists) break;
    }
    closedir(dir);
    return e;
}

// A card's folder, opened afresh at every call: its last part must still be a folder, not a link.
int OpenCardFolder(int root, const std::string& rootPath, std::string hostFolder) {
    while (hostFolder.size() > 1 && hostFolder.back() == '/') hostFolder.pop_back();
    size_t slash = hostFolder.rfind('/');
    if (slash == std::string::npos) return -1;
    std::string parentPath = slash == 0 ? "/" : hostFolder.substr(0, slash);
    std::string last = hostFolder.substr(slash + 1);
    if (parentPath == rootPath) return OpenFolderAt(root, last.c_str());
    HostFd parent(open(parentPath.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!parent.Valid()) return -1;
    return OpenFolderAt(parent.Get(), last.c_str());
}

}  // namespace

void HostFd::Reset(int fd) {
    if (fd_ >= 0) close(fd_);
    fd_ = fd;
}

namespace {
std::atomic<bool> g_noOpenat2{false};
}  // namespace

void UseOpenat2ForTesting(bool use) {
    g_noOpenat2 = !use;
}

int OpenFolderAt(int folder, const char* name) {
#if defined(SYS_openat2) && defined(RESOLVE_BENEATH)
    if (!g_noOpenat2.load(std::memory_order_relaxed)) {
        struct open_how how = {};
        how.flags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
        how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
        // EAGAIN: a rename elsewhere raced the look-up; a few tries, then the plain call.
        for (int attempt = 0; attempt < 3; ++attempt) {
            long fd = syscall(SYS_openat2, folder, name, &how, sizeof how);
            if (fd >= 0) return static_cast<int>(fd);
            if (errno == ENOSYS || errno == EPERM) {
                g_noOpenat2.store(true, std::memory_order_relaxed);  // older kernel or a filter
                break;
            }
            if (errno != EAGAIN) return -1;
        }
    }
#endif
    return openat(folder, name, O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

bool IsDeviceName(std::string_view hostName) {
    if (hostName.empty() || hostName == "." || hostName == ".." || !IsValidUtf8(hostName)) {
        return false;
    }
    std::u16string wide = Utf8ToWide(hostName);
    if (CheckComponent(wide, false) != ERROR_SUCCESS) return false;
    return wide.find_first_of(u"\\/") == std::u16string::npos;
}

int ResolvedPath::OpenAt(int flags, mode_t mode) const {
    if (isRoot || isCardRoot) return openat(folder.Get(), ".", flags | O_CLOEXEC, mode);
    return openat(folder.Get(), hostName.c_str(), flags | O_NOFOLLOW | O_CLOEXEC, mode);
}

DWORD ResolvedPath::MissingError() const {
    return special ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND;
}

std::u16string ResolvedPath::FolderDevicePath() const {
    size_t slash = device.rfind(u'\\');
    if (isRoot || isCardRoot || slash == std::u16string::npos) return device;
    return slash == 0 ? std::u16string(u"\\") : device.substr(0, slash);
}

bool ResolveDevicePath(LPCWSTR path, ResolvedPath& out, bool allowPattern) {
    out = ResolvedPath();
    if (!path) return Fail(ERROR_INVALID_PARAMETER, false);
    std::u16string_view text = WideView(path);
    if (text.size() >= MAX_PATH) return Fail(ERROR_FILENAME_EXCED_RANGE, false);
    if (text.empty()) return Fail(ERROR_PATH_NOT_FOUND, false);

    // The device has no current folder: every path is taken from the root.
    std::vector<std::u16string> parts;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && IsSeparator(text[i])) ++i;
        size_t start = i;
        while (i < text.size() && !IsSeparator(text[i])) ++i;
        std::u16string_view part = text.substr(start, i - start);
        if (part.empty() || part == u".") continue;
        if (part == u"..") {
            if (parts.empty()) return Fail(ERROR_INVALID_NAME, false);
            parts.pop_back();
            continue;
        }
        parts.emplace_back(part);
    }
    for (size_t k = 0; k < parts.size(); ++k) {
        bool last = k + 1 == parts.size();
        DWORD error = CheckComponent(parts[k], allowPattern && last);
        if (error != ERROR_SUCCESS) return Fail(error, false);
    }

    std::string rootPath = DeviceRoot();
    HostFd folder(open(rootPath.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!folder.Valid()) return Fail(ERROR_PATH_NOT_FOUND, false);
    std::string host = rootPath;
    out.device.assign(1, u'\\');
    if (parts.empty()) {
        out.host = host;
        out.hostName.assign(1, '.');
        out.isRoot = true;
        out.exists = fstat(folder.Get(), &out.info) == 0;
        out.folder = std::move(folder);
        return true;
    }
    for (size_t k = 0; k < parts.size(); ++k) {
        const std::u16string& part = parts[k];
        bool last = k + 1 == parts.size();
        bool isPattern = last && allowPattern && part.find_first_of(u"*?") != std::u16string::npos;
        StorageCard card;
        if (k == 0 && !isPattern && FindStorageCard(part, card)) {
            HostFd cardFolder(OpenCardFolder(folder.Get(), rootPath, card.hostFolder));
            if (!cardFolder.Valid()) return Fail(ERROR_PATH_NOT_FOUND, false);
            host = card.hostFolder;
            out.device = u"\\" + card.name;
            if (last) {
                out.host = host;
                out.hostName.assign(1, '.');
                out.name = card.name;
                out.givenName = part;
                out.isCardRoot = true;
                out.exists = fstat(cardFolder.Get(), &out.info) == 0;
                out.folder = std::move(cardFolder);
                return true;
            }
            folder = std::move(cardFolder);
            continue;
        }
        Entry entry;
        if (isPattern) {
            // Looked up by the listing, not here.
        } else if (k == 0 && IsRemovedCardFolder(part)) {
            entry.blocked = true;  // out of sight while the card is out
        } else {
            entry = FindEntry(folder.Get(), part);
        }
        std::u16string name = entry.exists ? Utf8ToWide(entry.found) : part;
        if (out.device.size() > 1) out.device += u'\\';
        out.device += name;
        std::string hostName = entry.exists ? entry.found : WideToUtf8(part);
        if (!last) {
            if (!entry.exists || !S_ISDIR(entry.info.st_mode)) {
                return Fail(ERROR_PATH_NOT_FOUND, false);
            }
            HostFd next(OpenFolderAt(folder.Get(), hostName.c_str()));
            if (!next.Valid()) return Fail(ERROR_PATH_NOT_FOUND, false);  // swapped meanwhile
            folder = std::move(next);
            host += "/" + hostName;
            continue;
        }
        out.host = host + "/" + hostName;
        out.hostName = hostName;
        out.name = name;
        out.givenName = part;
        out.exists = entry.exists;
        out.blocked = entry.blocked && !entry.exists;
        out.special = out.blocked && entry.special;
        out.info = entry.info;
        out.folder = std::move(folder);
    }
    return true;
}

bool IsHiddenName(std::u16string_view name) {
    if (!name.empty() && name[0] == u'.') return true;
    for (auto& h : Profile().hidden) {
        if (EqualsNoCase(h, name)) return true;
    }
    return false;
}

DWORD AttributesOf(const ResolvedPath& path) {
    constexpr DWORD kReadOnly = 0x1, kHidden = 0x2, kDirectory = 0x10, kArchive = 0x20,
                    kTemporary = 0x100;
    if (path.isRoot) return kDirectory;
    if (path.isCardRoot) return kDirectory | kTemporary;
    DWORD attributes = S_ISDIR(path.info.st_mode) ? kDirectory : kArchive;
    if (!(path.info.st_mode & S_IWUSR)) attributes |= kReadOnly;
    if (IsHiddenName(path.name)) attributes |= kHidden;
    return attributes;
}

std::uint64_t ToFileTime(const struct timespec& time) {
    if (time.tv_sec < 0) return kUnixEpochFileTime;
    return kUnixEpochFileTime + static_cast<std::uint64_t>(time.tv_sec) * 10000000ULL +
           static_cast<std::uint64_t>(time.tv_nsec) / 100;
}

std::uint64_t StatCreationFileTime(int folder, const char* name, const struct stat& info) {
    // Under the virtual clock no host time may show on the device: a file's birth on the host is
    // the real day it was written, which a test cannot set, while its modification time can be.
    if (IsVirtualClock()) return ToFileTime(info.st_mtim);
    struct statx sx;
    int flags = AT_SYMLINK_NOFOLLOW | (*name ? 0 : AT_EMPTY_PATH);
    if (statx(folder, name, flags, STATX_BTIME, &sx) == 0 && (sx.stx_mask & STATX_BTIME)) {
        struct timespec birth = {static_cast<time_t>(sx.stx_btime.tv_sec),
                                 static_cast<long>(sx.stx_btime.tv_nsec)};
        return ToFileTime(birth);
    }
    return ToFileTime(info.st_mtim);
}

}  // namespace fvt

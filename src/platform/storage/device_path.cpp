#include "platform/storage/device_path.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <vector>

#include "platform/kernel/clock.h"
#include "platform/kernel/device.h"
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

}  // namespace

bool FindEntryNoCase(const std::string& hostFolder, std::u16string_view name, std::string& found) {
    std::string exact = WideToUtf8(name);
    struct stat st;
    if (lstat((hostFolder + "/" + exact).c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
        found = exact;
        return true;
    }
    DIR* dir = opendir(hostFolder.c_str());
    if (!dir) return false;
    bool ok = false;
    while (dirent* e = readdir(dir)) {
        std::string entry = e->d_name;
        if (entry == "." || entry == ".." || !IsValidUtf8(entry)) continue;
        if (!EqualsNoCase(Utf8ToWide(entry), name)) continue;
        if (lstat((hostFolder + "/" + entry).c_str(), &st) != 0 || S_ISLNK(st.st_mode)) continue;
        found = entry;
        ok = true;
        break;
    }
    closedir(dir);
    return ok;
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

    std::string host = DeviceRoot();
    out.device.assign(1, u'\\');
    if (parts.empty()) {
        out.host = host;
        out.isRoot = true;
        out.exists = stat(host.c_str(), &out.info) == 0;
        return true;
    }
    for (size_t k = 0; k < parts.size(); ++k) {
        const std::u16string& part = parts[k];
        bool last = k + 1 == parts.size();
        bool isPattern = last && allowPattern && part.find_first_of(u"*?") != std::u16string::npos;
        std::string parent = host;
        std::u16string name = part;
        bool exists = false;
        bool cardRoot = false;
        StorageCard card;
        if (isPattern) {
            host = parent + "/" + WideToUtf8(part);
        } else if (k == 0 && FindStorageCard(part, card)) {
            host = card.hostFolder;
            name = card.name;
            exists = true;
            cardRoot = true;
        } else if (k == 0 && IsRemovedCardFolder(part)) {
            host = parent + "/" + WideToUtf8(part);
        } else {
            std::string found;
            if (FindEntryNoCase(parent, part, found)) {
                host = parent + "/" + found;
                name = Utf8ToWide(found);
                exists = true;
            } else {
                host = parent + "/" + WideToUtf8(part);
            }
        }
        struct stat st = {};
        if (exists && stat(host.c_str(), &st) != 0) exists = false;
        if (!last && (!exists || !S_ISDIR(st.st_mode))) return Fail(ERROR_PATH_NOT_FOUND, false);
        if (out.device.size() > 1) out.device += u'\\';
        out.device += name;
        if (last) {
            out.host = host;
            out.hostParent = cardRoot ? std::string() : parent;
            out.name = name;
            out.givenName = part;
            out.exists = exists;
            out.isCardRoot = cardRoot;
            out.info = st;
        }
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

std::uint64_t StatCreationFileTime(const std::string& host, const struct stat& info) {
    struct statx sx;
    if (statx(AT_FDCWD, host.c_str(), AT_SYMLINK_NOFOLLOW, STATX_BTIME, &sx) == 0 &&
        (sx.stx_mask & STATX_BTIME)) {
        struct timespec birth = {static_cast<time_t>(sx.stx_btime.tv_sec),
                                 static_cast<long>(sx.stx_btime.tv_nsec)};
        return ToFileTime(birth);
    }
    return ToFileTime(info.st_mtim);
}

}  // namespace fvt

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "platform/kernel/wide.h"
#include "platform/last_error.h"
#include "platform/storage/files.h"
#include "platform/storage/storage_cards.h"

namespace fvt {

namespace {

class FindObject : public KernelObject {
public:
    FindObject() : KernelObject(ObjectKind::Find) {}
    std::vector<WIN32_FIND_DATAW> entries;
    size_t next = 0;
    std::mutex lock;
};

bool MatchFrom(std::u16string_view p, std::u16string_view n) {
    // Iterative '*' matching with one back-tracking point: linear in practice, never recursive.
    size_t pi = 0, ni = 0, star = std::u16string_view::npos, mark = 0;
    while (ni < n.size()) {
        if (pi < p.size() && (p[pi] == u'?' || FoldCase(p[pi]) == FoldCase(n[ni]))) {
            ++pi;
            ++ni;
        } else if (pi < p.size() && p[pi] == u'*') {
            star = pi++;
            mark = ni;
        } else if (star != std::u16string_view::npos) {
            pi = star + 1;
            ni = ++mark;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == u'*') ++pi;
    return pi == p.size();
}

void FillEntry(const struct stat& st, std::uint64_t created, std::u16string_view name, bool isCard,
               WIN32_FIND_DATAW& data) {
    data = WIN32_FIND_DATAW{};
    ResolvedPath entry;
    entry.info = st;
    entry.name = std::u16string(name);
    entry.exists = true;
    entry.isCardRoot = isCard;
    data.dwFileAttributes = AttributesOf(entry);
    data.ftCreationTime = MakeFileTime(created);
    data.ftLastAccessTime = MakeFileTime(ToFileTime(st.st_atim));
    data.ftLastWriteTime = MakeFileTime(ToFileTime(st.st_mtim));
    auto size = S_ISDIR(st.st_mode) ? 0 : static_cast<std::uint64_t>(st.st_size);
    data.nFileSizeHigh = static_cast<DWORD>(size >> 32);
    data.nFileSizeLow = static_cast<DWORD>(size);
    CopyWide(name, data.cFileName, MAX_PATH);
}

// A card's entry at the root, its folder resolved afresh.
bool FillCard(const StorageCard& card, WIN32_FIND_DATAW& data) {
    ResolvedPath path;
    if (!ResolveDevicePath((u"\\" + card.name).c_str(), path) || !path.isCardRoot) return false;
    FillEntry(path.info, StatCreationFileTime(path.folder.Get(), "", path.info), card.name, true,
              data);
    return true;
}

}  // namespace

bool MatchesPattern(std::u16string_view pattern, std::u16string_view name) {
    // "*.*" (and any pattern ending in ".*") also takes names without an extension.
    if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == u".*" &&
        name.find(u'.') == std::u16string_view::npos) {
        return MatchFrom(pattern.substr(0, pattern.size() - 2), name);
    }
    return MatchFrom(pattern, name);
}

namespace {

// An entry known from the listing alone: a file or a folder by the listing's own type.
bool FillFromListing(const dirent& e, std::u16string_view name, WIN32_FIND_DATAW& data) {
    constexpr DWORD kHidden = 0x2, kDirectory = 0x10, kArchive = 0x20;
    if (e.d_type != DT_REG && e.d_type != DT_DIR) return false;
    data = WIN32_FIND_DATAW{};
    data.dwFileAttributes = e.d_type == DT_DIR ? kDirectory : kArchive;
    if (IsHiddenName(name)) data.dwFileAttributes |= kHidden;
    CopyWide(name, data.cFileName, MAX_PATH);
    return true;
}

}  // namespace

HANDLE FindFirst(LPCWSTR fileName, LPWIN32_FIND_DATAW findData, bool namesOnly);

HANDLE FindFirstNamesW(LPCWSTR fileName, LPWIN32_FIND_DATAW findData) {
    return FindFirst(fileName, findData, true);
}

}  // namespace fvt

using namespace fvt;

extern "C" HANDLE FindFirstFileW(LPCWSTR fileName, LPWIN32_FIND_DATAW findData) {
    return FindFirst(fileName, findData, false);
}

HANDLE fvt::FindFirst(LPCWSTR fileName, LPWIN32_FIND_DATAW findData, bool namesOnly) {
    if (!findData) return Fail(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
    ResolvedPath target;
    if (!ResolveDevicePath(fileName, target, true)) return INVALID_HANDLE_VALUE;
    if (target.isRoot) return Fail(ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);
    auto find = std::make_shared<FindObject>();
    bool isPattern = target.name.find_first_of(u"*?") != std::u16string::npos;
    if (!isPattern) {
        // A plain name: the entry itself, if it is there.
        if (!target.exists) return Fail(target.MissingError(), INVALID_HANDLE_VALUE);
        WIN32_FIND_DATAW data;
        if (target.isCardRoot) {
            FillEntry(target.info, StatCreationFileTime(target.folder.Get(), "", target.info),
                      target.name, true, data);
        } else {
            FillEntry(target.info,
                      StatCreationFileTime(target.folder.Get(), target.hostName.c_str(),
                                           target.info),
                      target.name, false, data);
        }
        find->entries.push_back(data);
    } else {
        bool atRoot = target.device.find(u'\\', 1) == std::u16string::npos;
        std::vector<StorageCard> cards = atRoot ? StorageCards() : std::vector<StorageCard>{};
        int listed = openat(target.folder.Get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        DIR* dir = listed >= 0 ? fdopendir(listed) : nullptr;
        if (!dir) {
            DWORD error = errno == EACCES ? ERROR_ACCESS_DENIED : ERROR_PATH_NOT_FOUND;
            if (listed >= 0) close(listed);
            return Fail(error, INVALID_HANDLE_VALUE);
        }
        while (dirent* e = readdir(dir)) {
            std::string entry = e->d_name;
            // Names the device could not spell ("a\\..\\b", "x*") are not shown, so nothing
            // that lists a folder can be led to act on another file.
            if (!IsDeviceName(entry)) continue;
            std::u16string name = Utf8ToWide(entry);
            if (!MatchesPattern(target.name, name)) continue;
            if (atRoot) {
                bool shadowed = IsRemovedCardFolder(name);
                for (auto& c : cards) shadowed = shadowed || EqualsNoCase(c.name, name);
                if (shadowed) continue;
            }
            WIN32_FIND_DATAW data;
            // A book folder of thousands: each file is looked at once by whoever needs more.
            if (namesOnly && FillFromListing(*e, name, data)) {
                find->entries.push_back(data);
                continue;
            }
            struct stat st;
            if (fstatat(dirfd(dir), entry.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
            if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) continue;  // links, FIFOs, devices
            FillEntry(st, StatCreationFileTime(dirfd(dir), entry.c_str(), st), name, false, data);
            find->entries.push_back(data);
        }
        closedir(dir);
        for (auto& c : cards) {
            WIN32_FIND_DATAW data;
            if (MatchesPattern(target.name, c.name) && FillCard(c, data)) {
                find->entries.push_back(data);
            }
        }
        // Host folders list in no set order; a fixed one keeps scans repeatable. The names are
        // folded once and sorted with their places: the entries themselves are large to move.
        std::vector<std::pair<std::u16string, size_t>> order;
        order.reserve(find->entries.size());
        for (size_t i = 0; i < find->entries.size(); ++i) {
            std::u16string folded = find->entries[i].cFileName;
            for (char16_t& c : folded) c = FoldCase(c);
            order.emplace_back(std::move(folded), i);
        }
        std::sort(order.begin(), order.end(), [](const auto& a, const auto& b) {
            // Shorter first where one name begins the other; ties keep the listing's order.
            return a.first != b.first ? a.first < b.first : a.second < b.second;
        });
        std::vector<WIN32_FIND_DATAW> sorted;
        sorted.reserve(order.size());
        for (const auto& [name, i] : order) sorted.push_back(find->entries[i]);
        find->entries.swap(sorted);
    }
    if (find->entries.empty()) return Fail(ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);
    *findData = find->entries[0];
    find->next = 1;
    HANDLE handle = InsertHandle(find);
    if (!handle) return INVALID_HANDLE_VALUE;
    SetLastError(ERROR_SUCCESS);
    return handle;
}

extern "C" BOOL FindNextFileW(HANDLE handle, LPWIN32_FIND_DATAW findData) {
    auto find = LookupHandleAs<FindObject>(handle, ObjectKind::Find);
    if (!find) return FALSE;
    if (!findData) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    std::lock_guard<std::mutex> guard(find->lock);
    if (find->next >= find->entries.size()) return Fail(ERROR_NO_MORE_FILES, FALSE);
    *findData = find->entries[find->next++];
    return TRUE;
}

extern "C" BOOL FindClose(HANDLE handle) {
    return RemoveHandle(handle, ObjectKind::Find) ? TRUE : FALSE;
}

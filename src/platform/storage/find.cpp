#include <dirent.h>
#include <sys/stat.h>

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

bool FillEntry(const std::string& host, std::u16string_view name, bool isCard,
               WIN32_FIND_DATAW& data) {
    struct stat st;
    if (stat(host.c_str(), &st) != 0) return false;
    data = WIN32_FIND_DATAW{};
    ResolvedPath entry;
    entry.info = st;
    entry.name = std::u16string(name);
    entry.exists = true;
    entry.isCardRoot = isCard;
    data.dwFileAttributes = AttributesOf(entry);
    data.ftCreationTime = MakeFileTime(StatCreationFileTime(host, st));
    data.ftLastAccessTime = MakeFileTime(ToFileTime(st.st_atim));
    data.ftLastWriteTime = MakeFileTime(ToFileTime(st.st_mtim));
    auto size = S_ISDIR(st.st_mode) ? 0 : static_cast<std::uint64_t>(st.st_size);
    data.nFileSizeHigh = static_cast<DWORD>(size >> 32);
    data.nFileSizeLow = static_cast<DWORD>(size);
    CopyWide(name, data.cFileName, MAX_PATH);
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

}  // namespace fvt

using namespace fvt;

extern "C" HANDLE FindFirstFileW(LPCWSTR fileName, LPWIN32_FIND_DATAW findData) {
    if (!findData) return Fail(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
    ResolvedPath target;
    if (!ResolveDevicePath(fileName, target, true)) return INVALID_HANDLE_VALUE;
    if (target.isRoot) return Fail(ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);
    auto find = std::make_shared<FindObject>();
    bool isPattern = target.name.find_first_of(u"*?") != std::u16string::npos;
    if (!isPattern) {
        // A plain name: the entry itself, if it is there.
        WIN32_FIND_DATAW data;
        if (target.exists && FillEntry(target.host, target.name, target.isCardRoot, data)) {
            find->entries.push_back(data);
        }
    } else {
        std::string folder = target.hostParent;
        bool atRoot = target.device.find(u'\\', 1) == std::u16string::npos;
        std::vector<StorageCard> cards = atRoot ? StorageCards() : std::vector<StorageCard>{};
        DIR* dir = opendir(folder.c_str());
        if (!dir) {
            DWORD error = errno == EACCES ? ERROR_ACCESS_DENIED : ERROR_PATH_NOT_FOUND;
            return Fail(error, INVALID_HANDLE_VALUE);
        }
        while (dirent* e = readdir(dir)) {
            std::string entry = e->d_name;
            if (entry == "." || entry == ".." || !IsValidUtf8(entry)) continue;
            std::u16string name = Utf8ToWide(entry);
            if (!MatchesPattern(target.name, name)) continue;
            if (atRoot) {
                bool shadowed = IsRemovedCardFolder(name);
                for (auto& c : cards) shadowed = shadowed || EqualsNoCase(c.name, name);
                if (shadowed) continue;
            }
            std::string host = folder + "/" + entry;
            struct stat st;
            if (lstat(host.c_str(), &st) != 0 || S_ISLNK(st.st_mode)) continue;
            WIN32_FIND_DATAW data;
            if (FillEntry(host, name, false, data)) find->entries.push_back(data);
        }
        closedir(dir);
        for (auto& c : cards) {
            WIN32_FIND_DATAW data;
            if (MatchesPattern(target.name, c.name) &&
                FillEntry(c.hostFolder, c.name, true, data)) {
                find->entries.push_back(data);
            }
        }
        // Host folders list in no set order; a fixed one keeps scans repeatable.
        std::sort(find->entries.begin(), find->entries.end(),
                  [](const WIN32_FIND_DATAW& a, const WIN32_FIND_DATAW& b) {
                      std::u16string_view x = a.cFileName, y = b.cFileName;
                      for (size_t i = 0; i < x.size() && i < y.size(); ++i) {
                          char16_t fx = FoldCase(x[i]), fy = FoldCase(y[i]);
                          if (fx != fy) return fx < fy;
                      }
                      return x.size() < y.size();
                  });
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

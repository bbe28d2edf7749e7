#include "core/file.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "core/containers.h"
#include "core/dates.h"
#include "core/path.h"
#include "core/platform_helpers.h"
#include "platform/kernel/kernel_sync.h"
#include "platform/kernel/wide.h"
#include "platform/kernel/system_info.h"
#include "platform/kernel/system_time.h"
#include "platform/last_error.h"
#include "platform/storage/files.h"

namespace {

bool HasWildcard(const char16_t* p) {
    for (; *p; ++p)
        if (*p == '*' || *p == '?') return true;
    return false;
}

// The last path component of a wide path.
const char16_t* NamePart(const char16_t* p) {
    const char16_t* name = p;
    for (const char16_t* q = p; *q; ++q)
        if (*q == '\\' || *q == '/') name = q + 1;
    return name;
}

bool FindOne(const Text& path, WIN32_FIND_DATAW& data) {
    const char16_t* w = path.WideCStr();
    if (!*w || HasWildcard(w)) return false;
    HANDLE h = FindFirstFileW(w, &data);
    if (h == INVALID_HANDLE_VALUE) return false;
    FindClose(h);
    return true;
}

uint64_t FileTimeNumber(const FILETIME& t) {
    return static_cast<uint64_t>(t.dwHighDateTime) << 32 | t.dwLowDateTime;
}

Text WideText(const char16_t* w) {
    Text t;
    t.FromWide(w);
    return t;
}

}  // namespace

// ---- File -------------------------------------------------------------------------------------

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = other.handle_;
        other.handle_ = nullptr;
    }
    return *this;
}

bool File::Open(const Text& path, uint32_t mode) {
    Close();
    DWORD access = 0;
    if (mode & kRead) access |= GENERIC_READ;
    if (mode & kWrite) access |= GENERIC_WRITE;
    DWORD share = 0;
    if (mode & kShareRead) share |= FILE_SHARE_READ;
    if (mode & kShareWrite) share |= FILE_SHARE_WRITE;
    DWORD disposition = OPEN_EXISTING;
    if (mode & kCreateAlways)
        disposition = CREATE_ALWAYS;
    else if (mode & kCreateIfMissing)
        disposition = OPEN_ALWAYS;
    DWORD flags = FILE_ATTRIBUTE_NORMAL;
    if (mode & kDeleteOnClose) flags |= FILE_FLAG_DELETE_ON_CLOSE;
    const char16_t* w = path.WideCStr();
    if (!*w) return false;
    HANDLE h = CreateFileW(w, access, share, nullptr, disposition, flags, nullptr);
    if (h == INVALID_HANDLE_VALUE || !h) return false;
    handle_ = h;
    return true;
}

bool File::CreateTemp() {
    Close();
    char16_t folder[MAX_PATH + 1];
    char16_t name[MAX_PATH + 1];
    DWORD n = GetTempPathW(MAX_PATH, folder);
    if (n == 0 || n > MAX_PATH) return false;
    if (GetTempFileNameW(folder, kTempPrefix, 0, name) == 0) return false;
    HANDLE h = CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE || !h) {
        DeleteFileW(name);
        return false;
    }
    handle_ = h;
    return true;
}

uint32_t File::Read(void* buffer, uint32_t count) {
    if (!handle_ || !buffer || count == 0) return 0;
    DWORD got = 0;
    if (!ReadFile(handle_, buffer, count, &got, nullptr)) return 0;
    return got;
}

uint32_t File::Write(const void* bytes, uint32_t count) {
    if (!handle_ || !bytes || count == 0) return 0;
    DWORD put = 0;
    if (!WriteFile(handle_, bytes, count, &put, nullptr)) return 0;
    return put;
}

bool File::Seek(uint64_t offset) {
    if (!handle_ || offset > 0x7FFFFFFFFFFFull) return false;
    LONG high = static_cast<LONG>(offset >> 32);
    SetLastError(ERROR_SUCCESS);
    DWORD low = SetFilePointer(handle_, static_cast<LONG>(offset & 0xFFFFFFFFu), &high, FILE_BEGIN);
    return !(low == INVALID_SET_FILE_POINTER && GetLastError() != ERROR_SUCCESS);
}

int64_t File::Size() const {
    if (!handle_) return -1;
    DWORD high = 0;
    SetLastError(ERROR_SUCCESS);
    DWORD low = GetFileSize(handle_, &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != ERROR_SUCCESS) return -1;
    return static_cast<int64_t>(static_cast<uint64_t>(high) << 32 | low);
}

void File::Close() {
    if (handle_) CloseHandle(handle_);
    handle_ = nullptr;
}

// ---- Files ------------------------------------------------------------------------------------

bool Files::Exists(const Text& path, uint32_t* size, uint32_t* writeTime) {
    WIN32_FIND_DATAW data;
    if (!FindOne(path, data)) return false;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return false;
    if (data.nFileSizeHigh != 0) return false;  // 4 GB and more count as absent
    if (size) *size = data.nFileSizeLow;
    if (writeTime) *writeTime = FileTimeToUnixSeconds(FileTimeNumber(data.ftLastWriteTime));
    return true;
}

bool Files::Find(TextList& list) {
    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileW(u"\\*", &data);
    if (h == INVALID_HANDLE_VALUE) return false;
    bool any = false;
    do {
        DWORD want = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_TEMPORARY;
        if ((data.dwFileAttributes & want) != want) continue;
        Text card;
        card.FromWide(u"\\");
        card.AppendWide(data.cFileName,
                        static_cast<int32_t>(std::char_traits<char16_t>::length(data.cFileName)));
        if (list.Add(card) < 0) break;
        any = true;
    } while (FindNextFileW(h, &data));
    FindClose(h);
    return any;
}

bool Files::Move(const Text& path, const Text& folder, Text& newPath, bool deleteFirst) {
    if (folder.IsEmpty() || path.IsEmpty()) return false;
    Text target(CodePages::kUtf16);
    if (!target.AppendText(folder) ||
        !target.AppendPathComponent(WideText(NamePart(path.WideCStr()))))
        return false;
    newPath = target;
    if (target.EqualsDefault(path)) return true;  // already there (names compare without case)
    const char16_t* from = path.WideCStr();
    const char16_t* to = target.WideCStr();
    DWORD attributes = GetFileAttributesW(to);
    bool targetExists = attributes != INVALID_FILE_ATTRIBUTES;
    if (targetExists && !deleteFirst) return false;
    if (!targetExists) return MoveFileW(from, to) != 0;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return false;
    // Keep the old target under a backup name until the move has worked.
    Text backup = target;
    backup.AppendAscii(".fvbak");
    const char16_t* bak = backup.WideCStr();
    DeleteFileW(bak);
    if (!MoveFileW(to, bak)) return false;
    if (MoveFileW(from, to)) {
        DeleteFileW(bak);
        return true;
    }
    MoveFileW(bak, to);
    return false;
}

int32_t Files::CleanTemp(const Text& folder, const Text& pattern) {
    Text spec = folder;
    if (!spec.AppendPathComponent(pattern)) return 0;
    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileW(spec.WideCStr(), &data);
    if (h == INVALID_HANDLE_VALUE) return 0;
    int32_t count = 0;
    do {
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        // A listed name is one plain name; anything that could climb elsewhere is not ours.
        std::u16string_view name = data.cFileName;
        if (name.find_first_of(u"\\/") != std::u16string_view::npos) continue;
        Text file = folder;
        if (file.AppendPathComponent(WideText(data.cFileName)) && DeleteFileW(file.WideCStr()))
            ++count;
    } while (FindNextFileW(h, &data));
    FindClose(h);
    return count;
}

void Files::TempFolderPattern() {
    char16_t folder[MAX_PATH + 1];
    DWORD n = GetTempPathW(MAX_PATH, folder);
    if (n == 0 || n > MAX_PATH) return;
    Text dir = WideText(folder);
    Files::CleanTemp(dir, WideText(u"fvk*.tmp"));
    Files::CleanTemp(dir, WideText(u"fvq*.tmp"));  // the older prefix
}

bool Files::ReadAll(const Text& path, ByteArray& out, uint32_t maxBytes) {
    out.Clear();
    File f(path, File::kOpenForReading);
    int64_t size = f.Size();
    if (size < 0 || static_cast<uint64_t>(size) > maxBytes) return false;
    if (size == 0) return true;
    if (!out.Reserve(static_cast<int32_t>(size))) return false;
    uint8_t buf[4096];
    int64_t left = size;
    while (left > 0) {
        uint32_t want = left > 4096 ? 4096u : static_cast<uint32_t>(left);
        uint32_t got = f.Read(buf, want);
        if (got == 0) return false;
        for (uint32_t i = 0; i < got; ++i)
            if (out.Append(buf[i]) < 0) return false;
        left -= got;
    }
    return true;
}

// ---- Text::LoadFile ---------------------------------------------------------------------------

bool Text::LoadFile(const Text& path) {
    constexpr int64_t kMaxFile = 32 * 1024 * 1024;
    Free();
    codePage_ = CodePages::kUtf16;
    File f(path, File::kOpenForReading);
    int64_t size = f.Size();
    if (size < 0) return false;
    if (size > kMaxFile) return Fail(kErrMemory);
    auto* bytes = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(size) + 1));
    if (!bytes) return Fail(kErrMemory);
    uint32_t total = 0;
    while (total < size) {
        uint32_t got = f.Read(bytes + total, static_cast<uint32_t>(size - total));
        if (got == 0) break;
        total += got;
    }
    const uint8_t* p = bytes;
    uint32_t n = total;
    int cp = CodePages::kWindows1252;
    bool swap = false;
    if (n >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) {
        cp = CodePages::kUtf8;
        p += 3;
        n -= 3;
    } else if (n >= 2 && p[0] == 0xFF && p[1] == 0xFE) {
        cp = CodePages::kUtf16;
        p += 2;
        n -= 2;
    } else if (n >= 2 && p[0] == 0xFE && p[1] == 0xFF) {
        cp = CodePages::kUtf16;  // big-endian: swapped into the internal order below
        swap = true;
        p += 2;
        n -= 2;
    }
    if (swap) {
        for (uint32_t i = 0; i + 1 < n; i += 2) {
            uint8_t t = bytes[(p - bytes) + i];
            bytes[(p - bytes) + i] = bytes[(p - bytes) + i + 1];
            bytes[(p - bytes) + i + 1] = t;
        }
    }
    bool ok = AssignBytes(p, n, cp);
    std::free(bytes);
    return ok;
}

// ---- Folders ----------------------------------------------------------------------------------

bool Folders::Exists(const Text& path) {
    DWORD a = GetFileAttributesW(path.WideCStr());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool Folders::Ensure(const Text& path) {
    if (path.IsEmpty()) return false;
    if (Exists(path)) return true;
    String w;
    if (!path.ToWide(w)) return false;
    // Create each missing folder from the root down; on a failure part-way, the folders made
    // here go again (deepest first), so nothing half made is left behind.
    std::vector<Text> made;
    for (int32_t i = 1; i <= w.Length(); ++i) {
        if (i < w.Length() && w.At(i) != '\\') continue;
        String part;
        part.AssignSub(w, 0, i);
        Text t;
        if (!part.ToText(t)) break;
        if (!Exists(t) && CreateDirectoryW(t.WideCStr(), nullptr)) made.push_back(t);
    }
    if (Exists(path)) return true;
    for (auto it = made.rbegin(); it != made.rend(); ++it) RemoveDirectoryW(it->WideCStr());
    return false;
}

bool Folders::Books(Text& out) {
    out.FromWide(u"\\storage\\eBooks");
    return Ensure(out);
}

bool GetAppDataFolder(Text& out) {
    out.FromWide(u"\\Windows\\");
    if (GetPlatformType() == 2) {
        char16_t folder[MAX_PATH + 1] = {};
        if (SHGetSpecialFolderPath(nullptr, folder, CSIDL_APPDATA, FALSE) && folder[0]) {
            out.FromWide(folder);
            out.EnsureTrailingBackslash();
        }
    }
    return out.IsValid();
}

// ---- Times ------------------------------------------------------------------------------------

uint32_t FileTimeUnixSeconds(const Text& path) {
    WIN32_FIND_DATAW data;
    if (!FindOne(path, data)) return 0;
    return FileTimeToUnixSeconds(FileTimeNumber(data.ftLastWriteTime));
}

uint32_t FileTimeUnixSecondsEx(const Text& path) {
    WIN32_FIND_DATAW data;
    if (!FindOne(path, data)) return 0;
    return FileTimeToUnixSeconds(FileTimeNumber(data.ftCreationTime));
}

uint64_t NowFileTimeUtc() {
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    return FileTimeNumber(ft);
}

uint32_t NowUnixMinutesUtc() {
    return FileTimeToUnixSeconds(NowFileTimeUtc()) / 60;
}

bool FormatFileDate(uint32_t unixSeconds, Text& out) {
    uint64_t value = UnixSecondsToFileTime(unixSeconds);
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(value);
    ft.dwHighDateTime = static_cast<DWORD>(value >> 32);
    SYSTEMTIME st;
    out.Clear();
    if (!FileTimeToSystemTime(&ft, &st)) return false;
    char16_t buf[80];
    int n = GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, buf, 80);
    if (n <= 0) return false;
    return out.FromWide(buf, n - 1);
}

// ---- LibraryScan ------------------------------------------------------------------------------

void LibraryScan::PopLevel() {
    int32_t last = levels_.Count() - 1;
    if (last < 0) return;
    Level& l = levels_[last];
    if (l.find) FindClose(l.find);
    std::free(l.data);
    levels_.Remove(last, 1);
    if (levels_.Count() > 0) {
        String parent;
        parent.AssignSub(folder_, 0, levels_[levels_.Count() - 1].folderChars);
        folder_ = parent;
    }
}

void LibraryScan::CloseAll() {
    while (levels_.Count() > 0) PopLevel();
}

// Opens a search of folder_ + "\*".
bool LibraryScan::OpenLevel() {
    if (levels_.Count() >= kMaxDepth || folder_.Length() + 2 >= kMaxPath) return false;
    auto* data = static_cast<WIN32_FIND_DATAW*>(std::malloc(sizeof(WIN32_FIND_DATAW)));
    if (!data) return false;
    String spec = folder_;
    if (!spec.AppendChars(u"\\*", 2)) {
        std::free(data);
        return false;
    }
    Text t;
    spec.ToText(t);
    // Names and folders are all a walk looks at: no file is looked into while listing.
    HANDLE h = fvt::FindFirstNamesW(t.WideCStr(), data);
    if (h == INVALID_HANDLE_VALUE) {
        std::free(data);
        return false;
    }
    if (levels_.Append(Level{h, data, folder_.Length(), true}) < 0) {
        FindClose(h);
        std::free(data);
        return false;
    }
    return true;
}

int32_t Files::RemoveCopyLeftovers(const Text& folder) {
    if (folder.IsEmpty()) return 0;
    TextList extensions, excluded;
    Text tmp;
    tmp.AssignAscii("tmp");
    extensions.Append(tmp);
    // Walked first: deleting while a folder search runs could skip entries.
    std::vector<std::u16string> leftovers;
    LibraryScan scan;
    Text path = folder;
    for (bool first = true; !scan.ScanFolder(path, excluded, extensions, true, first);
         first = false) {
        String name;
        if (!path.ToWide(name)) continue;
        const std::u16string units(name.Data(), static_cast<size_t>(name.Length()));
        const size_t slash = units.find_last_of(u'\\');
        const std::u16string leaf = units.substr(slash == std::u16string::npos ? 0 : slash + 1);
        // "<name>.<extension>.tmp", with something on both sides of the inner dot.
        if (leaf.size() < 4) continue;
        const size_t dot = leaf.find_last_of(u'.', leaf.size() - 5);
        if (dot == std::u16string::npos || dot == 0 || dot + 1 >= leaf.size() - 4) continue;
        leftovers.push_back(units);
    }
    int32_t removed = 0;
    for (const std::u16string& file : leftovers) removed += DeleteFileW(file.c_str()) ? 1 : 0;
    return removed;
}

bool LibraryScan::ScanFolder(Text& path, const TextList& excluded, const TextList& extensions,
                             bool recursive, bool first, Filter filter, void* context) {
    if (first) {
        CloseAll();
        if (!path.ToWide(folder_)) return true;
        while (folder_.Length() > 0 && folder_.At(folder_.Length() - 1) == '\\')
            folder_.Erase(folder_.Length() - 1, 1);
        if (!OpenLevel()) return true;
    }
    while (levels_.Count() > 0) {
        Level& level = levels_[levels_.Count() - 1];
        auto* data = static_cast<WIN32_FIND_DATAW*>(level.data);
        if (!level.fresh && !FindNextFileW(level.find, data)) {
            PopLevel();
            continue;
        }
        level.fresh = false;
        const char16_t* name = data->cFileName;
        int32_t nameLength = static_cast<int32_t>(std::char_traits<char16_t>::length(name));
        if (folder_.Length() + 1 + nameLength >= kMaxPath) continue;  // too long: skipped
        Text nameText = WideText(name);
        if (data->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (!recursive || (data->dwFileAttributes & FILE_ATTRIBUTE_HIDDEN)) continue;
            if (nameText.EqualsWide(u".") || nameText.EqualsWide(u"..")) continue;
            bool skip = false;
            for (int32_t i = 0; i < excluded.Count() && !skip; ++i)
                skip = nameText.EqualsDefault(excluded[i]);
            if (skip) continue;
            int32_t keep = folder_.Length();
            if (!folder_.AppendChar(u'\\') || !folder_.AppendChars(name, nameLength)) {
                folder_.Erase(keep, -1);
                continue;
            }
            if (!OpenLevel()) folder_.Erase(keep, -1);
            continue;
        }
        Text ext = nameText;
        Path::Extension(ext);
        bool wanted = false;
        for (int32_t i = 0; i < extensions.Count() && !wanted; ++i)
            wanted = ext.EqualsDefault(extensions[i]);
        if (!wanted) continue;
        String full = folder_;
        if (!full.AppendChar(u'\\') || !full.AppendChars(name, nameLength)) continue;
        Text fullText;
        if (!full.ToText(fullText)) continue;
        if (filter && !filter(fullText, context)) continue;
        path = fullText;
        return false;
    }
    return true;
}

// ---- FolderListing ----------------------------------------------------------------------------

namespace {

std::u16string FoldedName(std::u16string_view name) {
    std::u16string out(name);
    for (char16_t& c : out) c = fvt::FoldCase(c);
    return out;
}

}  // namespace

bool FolderListing::Contains(std::u16string_view path) {
    size_t slash = path.find_last_of(u"\\/");
    if (slash == std::u16string_view::npos || slash + 1 >= path.size()) return false;
    std::u16string folder = FoldedName(path.substr(0, slash));
    auto it = folders_.find(folder);
    if (it == folders_.end()) {
        std::unordered_set<std::u16string> names;
        std::u16string pattern(path.substr(0, slash));
        pattern += u"\\*";
        WIN32_FIND_DATAW data;
        HANDLE find = fvt::FindFirstNamesW(pattern.c_str(), &data);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                    names.insert(FoldedName(data.cFileName));
            } while (FindNextFileW(find, &data));
            FindClose(find);
        }
        it = folders_.emplace(std::move(folder), std::move(names)).first;
    }
    return it->second.count(FoldedName(path.substr(slash + 1))) != 0;
}

bool FolderListing::ContainsUtf8(std::string_view path) {
    return Contains(fvt::Utf8ToWide(path));
}

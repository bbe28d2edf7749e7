#include "library/library_scan.h"

#include <string>
#include <vector>

#include "core/containers.h"
#include "core/file.h"
#include "library/library.h"
#include "library/linked_pages.h"
#include "paths/app_paths.h"
#include "paths/storage.h"
#include "platform/last_error.h"
#include "platform/storage/files.h"
#include "platform/window/cursor.h"

#include <string>

namespace {

// Compared without case, in this order.
constexpr const char* kBookExtensions[] = {"prc", "pdb", "txt", "html", "htm", "folv"};

struct RootFolder {
    const char16_t* suffix;
    bool recursive;
};

constexpr RootFolder kRootFolders[] = {
    {u"", false},
    {u"\\eBooks", true},
    {u"\\enews", true},
    {u"\\Palm\\Launcher", false},
    {u"\\Palm\\Programs\\MSFiles", false},
    {u"\\Palm\\Programs\\MSFiles\\eBooks", false},
    {u"\\Palm\\Applications", false},
};

Text WithoutTrailingBackslash(const Text& path) {
    String s;
    path.ToWide(s);
    int32_t n = s.Length();
    while (n > 0 && s.At(n - 1) == u'\\') --n;
    Text out;
    out.FromWide(s.Data(), n);
    return out;
}

void AddFolder(std::vector<ScanFolderEntry>& out, const Text& path, bool recursive) {
    for (const ScanFolderEntry& e : out)
        if (e.path.EqualsDefault(path) && e.recursive == recursive) return;
    out.push_back({path, recursive});
}

void AddRoot(std::vector<ScanFolderEntry>& out, const Text& root) {
    Text base = WithoutTrailingBackslash(root);
    for (const RootFolder& f : kRootFolders) {
        Text folder(base);
        folder.AppendWide(f.suffix, static_cast<int32_t>(std::char_traits<char16_t>::length(f.suffix)));
        AddFolder(out, folder, f.recursive);
    }
}

// False for a folder that is there but cannot be listed (its books would go unseen); true
// for one that can, or that is not there at all.
bool Readable(const Text& folder) {
    String pattern;
    if (folder.IsEmpty() || !folder.ToWide(pattern) || !pattern.AppendChars(u"\\*", 2))
        return true;
    const std::u16string units(pattern.Data(), static_cast<size_t>(pattern.Length()));
    WIN32_FIND_DATAW data;
    HANDLE find = fvt::FindFirstNamesW(units.c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        FindClose(find);
        return true;
    }
    return GetLastError() != ERROR_ACCESS_DENIED;
}

// The books folder must be there to be listed: the first folder on its way that is no folder
// (a plain file at its name) or that cannot be listed; empty when the way is clear (or the
// folder is merely missing, which a scan finds empty).
Text FolderAtFault(const Text& folder) {
    String wide;
    if (folder.IsEmpty() || !folder.ToWide(wide)) return Text();
    const std::u16string path(wide.Data(), static_cast<size_t>(wide.Length()));
    Text fault;
    size_t end = 0;
    while (end < path.size()) {
        end = path.find(u'\\', end + 1);
        if (end == std::u16string::npos) end = path.size();
        const std::u16string part = path.substr(0, end);
        const DWORD attributes = GetFileAttributesW(part.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            // A folder above that cannot be searched hides this one; else it is just missing.
            if (GetLastError() == ERROR_ACCESS_DENIED) return fault;
            return !fault.IsEmpty() && !Readable(fault) ? fault : Text();
        }
        fault.FromWide(part.data(), static_cast<int32_t>(part.size()));
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return fault;
        if (end == path.size() && !Readable(fault)) return fault;
    }
    return Text();
}

}  // namespace

bool ListScanFolders(const Text* locationPath, std::vector<ScanFolderEntry>& out) {
    out.clear();
    Text books;
    AppPaths::BooksFolder(books);
    books = WithoutTrailingBackslash(books);
    if (!locationPath) {
        AddFolder(out, books, true);
        TextList cards;
        if (Files::Find(cards))
            for (int32_t i = 0; i < cards.Count(); ++i) AddRoot(out, cards[i]);
        return true;
    }
    if (locationPath->IsEmpty()) return true;
    Text location = WithoutTrailingBackslash(*locationPath);
    if (location.EqualsDefault(books)) {
        AddFolder(out, books, true);
        return true;
    }
    AddRoot(out, location);
    // Main memory also holds the program's own books folder, which lies outside the root's
    // folders when main memory is the device root.
    Text main;
    if (Storage::MainMemoryPath(main) && WithoutTrailingBackslash(main).EqualsDefault(location))
        AddFolder(out, books, true);
    return true;
}

int ScanBookFolders(const AppPaths* paths, Library* library, const Text* locationPath) {
    if (!paths || !library) return 0;
    HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    std::vector<ScanFolderEntry> folders;
    ListScanFolders(locationPath, folders);
    TextList extensions, excluded;
    for (const char* e : kBookExtensions) {
        Text t;
        t.AssignAscii(e);
        extensions.Append(t);
    }
    // What HTML pages brought along is theirs, not a book of its own.
    const std::vector<std::u16string> linked = LinkedPages::Read();
    Text books;
    AppPaths::BooksFolder(books);
    books = WithoutTrailingBackslash(books);
    for (const ScanFolderEntry& folder : folders) {
        if (folder.path.EqualsDefault(books)) {
            const Text fault = FolderAtFault(folder.path);
            if (!fault.IsEmpty()) library->NoteUnreadableFolder(fault);
        } else if (!Readable(folder.path)) {
            library->NoteUnreadableFolder(folder.path);
        }
        LibraryScan scan;
        Text path = folder.path;
        bool first = true;
        // ScanFolder answers false with the next file, true once the walk is over.
        while (!scan.ScanFolder(path, excluded, extensions, folder.recursive, first)) {
            first = false;
            if (!linked.empty()) {
                String wide;
                if (path.ToWide(wide) &&
                    LinkedPages::Contains(linked, std::u16string(wide.Data(), static_cast<size_t>(wide.Length()))))
                    continue;
            }
            library->AddFile(path, false);
        }
    }
    SetCursor(previous);
    return 0;
}

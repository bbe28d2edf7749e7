#include "paths/storage.h"

#include <string>

#include "bookfiles/annotation_file.h"
#include "core/code_pages.h"
#include "core/containers.h"
#include "core/file.h"
#include "core/platform_helpers.h"
#include "core/resources.h"

namespace {

bool ToUtf8(const Text& t, std::string& out) {
    Text utf8(t);
    if (!utf8.ConvertTo(CodePages::kUtf8)) return false;
    out.assign(reinterpret_cast<const char*>(utf8.Bytes()), static_cast<size_t>(utf8.ByteLength()));
    return true;
}

bool FromUtf8(const std::string& s, Text& out) {
    out.Clear();
    return out.AssignUtf8(s.data(), s.size());
}

// The file name after the last backslash.
bool FileName(const Text& path, Text& out) {
    Text folder(path);
    folder.RemoveFileName();
    out.Assign(path);
    out.SetViewChars(folder.CharCount(), -1);
    return !out.IsEmpty();
}

}  // namespace

bool Storage::MainMemoryPath(Text& out) {
    uint32_t major = 0, minor = 0;
    bool old = GetOsVersion(major, minor) && major < 5;
    out.Clear();
    return out.AssignAscii(old ? "\\Storage" : "\\");
}

bool Storage::FindBookFolders(LocationList& library) {
    library.ClearLocations();
    Text main, name;
    MainMemoryPath(main);
    LoadResStringTo(kMainMemoryName, name);
    library.AddLocation(main, name, false);
    TextList cards;
    if (!Files::Find(cards)) return true;
    bool rootMain = main.EqualsAscii("\\");
    for (int32_t i = 0; i < cards.Count(); ++i) {
        const Text& card = cards[i];
        if (card.EqualsDefault(main)) continue;
        Text display(card);
        if (rootMain) display.SetViewChars(1, -1);
        library.AddLocation(card, display, true);
    }
    return true;
}

bool Storage::MoveBookToEbooks(Text& bookPath, const Text& locationFolder, BookReleaser* releaser) {
    std::string book8, side8;
    bool sideExists = false;
    if (!ToUtf8(bookPath, book8) || !AnnotationFile::PathForBook(book8, &side8, &sideExists))
        return false;
    Text side, target, folderName;
    FromUtf8(side8, side);
    // One backslash between the location and the folder, whichever way the location ends.
    target.Assign(locationFolder);
    folderName.AssignAscii(kBooksFolderName);
    if (!target.AppendPathComponent(folderName) || !target.IsValid()) return false;

    if (releaser && !releaser->ReleaseBook(bookPath)) return false;
    if (!Folders::Ensure(target)) return false;

    // Nothing of another book may be replaced: both names must be free at the target.
    Text bookName, sideName, targetBook, targetSide;
    if (!FileName(bookPath, bookName)) return false;
    targetBook.Assign(target);
    targetBook.AppendPathComponent(bookName);
    if (Files::Exists(targetBook)) return false;
    if (sideExists) {
        FileName(side, sideName);
        targetSide.Assign(target);
        targetSide.AppendPathComponent(sideName);
        if (Files::Exists(targetSide)) return false;
    }

    Text sourceFolder(bookPath);
    sourceFolder.RemoveFileName();
    Text movedBook;
    if (!Files::Move(bookPath, target, movedBook, false)) return false;
    if (sideExists) {
        Text movedSide;
        if (!Files::Move(side, target, movedSide, false)) {
            Text back;
            Files::Move(movedBook, sourceFolder, back, false);
            return false;
        }
    }
    bookPath.Assign(movedBook);
    return true;
}

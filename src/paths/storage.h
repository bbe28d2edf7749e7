// The storage locations the library scans, and moving a book with its side file into the books
// folder of a location.
#pragma once

#include <cstdint>

#include "core/text.h"

// The library's list of locations (the library implements it).
class LocationList {
public:
    virtual void ClearLocations() = 0;
    virtual bool AddLocation(const Text& path, const Text& displayName, bool removable) = 0;

protected:
    ~LocationList() = default;
};

// What the move needs of the reader: the book let go of, wherever it is open or cached (the
// document controller's library opening with force). False when it is still in use.
class BookReleaser {
public:
    virtual bool ReleaseBook(const Text& bookPath) = 0;

protected:
    ~BookReleaser() = default;
};

namespace Storage {
// The string of the move's failure message.
constexpr uint32_t kMoveFailedMessage = 5059;
constexpr uint32_t kMainMemoryName = 5390;
constexpr const char* kBooksFolderName = "ebooks";

// Main memory ("\", or "\Storage" below OS 5) and every storage card. True.
bool FindBookFolders(LocationList& library);
// The main-memory location's path.
bool MainMemoryPath(Text& out);
// Moves the book, and its side file when there is one, into the location's books folder. A
// book or side file of that name already there refuses the move before anything is touched; a
// side file that cannot follow brings the book back. True (and the new path in bookPath) when
// moved.
bool MoveBookToEbooks(Text& bookPath, const Text& locationFolder, BookReleaser* releaser);
}  // namespace Storage

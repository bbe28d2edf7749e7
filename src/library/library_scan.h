// The folder scanner: walks the folders where books are expected and hands every file with a
// book extension to the catalogue. Blocks the GUI thread for the walk (the wait cursor shows).
#pragma once

#include <vector>

#include "core/text.h"

class AppPaths;
class Library;

struct ScanFolderEntry {
    Text path;  // no trailing backslash; empty for the device root
    bool recursive = false;
};

// The folders of a scan in walking order. locationPath null: the books folder and every card;
// the books folder itself: that tree only; any other path: that root; empty: nothing.
bool ListScanFolders(const Text* locationPath, std::vector<ScanFolderEntry>& out);

// The books of the folders go to Library::AddFile (check-exists off). 0.
int ScanBookFolders(const AppPaths* paths, Library* library, const Text* locationPath);

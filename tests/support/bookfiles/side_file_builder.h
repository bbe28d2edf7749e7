// Builds a book's side file in memory for tests and benchmarks: its main record naming the
// book, then `count` bookmarks in range order, each with a text of its own.
#pragma once

#include <string>

#include "support/bookfiles/pdb_builder.h"

// The side file of the book named `bookFileName` (its file name, without folder) holding
// `count` bookmarks, bookmark i over [i * 16, i * 16 + 8) with the text "Mark <i>".
Bytes SideFileWithBookmarks(const std::u16string& bookFileName, int count);
// The place in the file of record `index`'s bytes (its tag first).
std::size_t SideFileRecordAt(const Bytes& file, std::size_t index);

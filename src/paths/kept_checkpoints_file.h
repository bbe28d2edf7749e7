// The file that keeps a book's far-jump checkpoints across sessions, in the device's data folder
// ("FolivantCheckpoints\<hash of the book's path>.fvc"): a head naming the book it was made for
// (its path, size, last-write time, text-record count and text length), then the checkpoints'
// bytes with their checksum. What the checkpoints hold is the page layout's business; this is
// only the file around them.
#pragma once

#include <cstdint>

#include "core/byte_stream.h"
#include "core/string.h"
#include "core/text.h"

namespace KeptCheckpointsFile {

// What tells a book, as it is now, from another or from another version of it.
struct BookIdentity {
    uint32_t size = 0;
    uint32_t writeTime = 0;
    uint32_t records = 0;
    uint32_t textLength = 0;
    String path;
};

// The checkpoints kept for the book at `bookPath`; false when there is no file, or it names
// another book or another version of it, or its bytes do not add up.
bool Read(const Text& bookPath, const BookIdentity& book, ByteStream& checkpoints);
// Writes the file for the book at `bookPath` (making the folder when needed); false when nothing
// was written.
[[nodiscard]] bool Write(const Text& bookPath, const BookIdentity& book, const ByteStream& checkpoints);
// A book moved from `from` to `to`: its file is named for the new path and names it. A file
// that does not read as the old path's goes. True when no file of the old path is left.
[[nodiscard]] bool Move(const Text& from, const Text& to);

}  // namespace KeptCheckpointsFile

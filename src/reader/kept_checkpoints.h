// The checkpoints of a book's far jumps, kept across sessions in a small file of their own in
// the device's data folder ("FolivantCheckpoints\<hash of the book's path>.fvc"), so that the
// first End or Go to page of a new session starts reading near its target instead of at the
// first page. The file names the book it was made for (its path, size, last-write time, text
// record count and text length); one that names another book or another version of it, or
// whose bytes do not add up, is ignored and written anew. It only ever saves reading: what it
// holds is what reading from the first page gives, or, in a section of their own, what reading
// a stretch before a far target gave in a book whose pages can start anywhere (a later session
// starts from those and shows the same pages; an exact reading never does).
#pragma once

#include <cstdint>

#include "core/text.h"

class DocumentSource;
class PageLayout;

namespace KeptCheckpoints {

// Gives the layout the checkpoints kept for the book at `bookPath`; false when there are none
// that are this book's (the layout then has none).
bool Load(const Text& bookPath, DocumentSource* document, PageLayout& layout);
// Names the book's kept-checkpoints file to the user as one not saved (after a failed Save).
void NoteUnsaved(const Text& bookPath);
// Writes the layout's checkpoints for the book when its replays added any; false when they
// could not be written (true when there was nothing to write).
[[nodiscard]] bool Save(const Text& bookPath, DocumentSource* document, PageLayout& layout);
// The file kept for a book (in the data folder); false when no name can be formed.
bool PathFor(const Text& bookPath, Text& out);

}  // namespace KeptCheckpoints

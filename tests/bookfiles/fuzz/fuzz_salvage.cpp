// Side files salvaged from any bytes, as the reader does with a damaged one: the new file holds
// only whole records, reads back as a sound side file, and keeps every annotation that a file
// which was not damaged at all had.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "bookfiles/annotation_file.h"
#include "read_side_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::uint32_t had = 0;
    bool sound = false;
    {
        AnnotationFile* original = new AnnotationFile;
        // Not damaged at all: it opens, and every annotation has a kind and references that lead
        // to records (an annotation of no kind is left out of a salvage: it can never be listed).
        sound = original->OpenInMemory(data, size, 1) == 0 && original->IsWhole();
        if (sound) had = original->BookmarkCount();
        original->Release();
    }
    AnnotationFile* f = new AnnotationFile;
    if (f->OpenSalvaged(data, size) != 0) {
        f->Release();
        return 0;
    }
    ReadEveryPart(*f);
    if (sound && f->BookmarkCount() < had) __builtin_trap();
    std::vector<std::uint8_t> bytes;
    if (!f->Database()->Serialize(&bytes)) __builtin_trap();
    AnnotationFile* again = new AnnotationFile;
    if (again->OpenInMemory(bytes.data(), bytes.size(), 1) != 0) __builtin_trap();
    if (again->BookmarkCount() != f->BookmarkCount()) __builtin_trap();
    // Still a file the reader edits.
    std::int32_t i = f->AddBookmark(1, 10, 20, 0, 0, 0, 0);
    f->SetBookmarkText(i, u"x", 1);
    f->DeleteAllBookmarks();
    again->Release();
    f->Release();
    return 0;
}

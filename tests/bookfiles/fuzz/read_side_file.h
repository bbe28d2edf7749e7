// Every read of a side file: its positions and states, the book's names and each annotation's
// parts, as the fuzz targets of side files walk them.
#pragma once

#include <cstdint>
#include <vector>

#include "bookfiles/annotation_file.h"

inline void ReadEveryPart(AnnotationFile& f) {
    std::uint32_t a = 0, b = 0, n = 0;
    std::vector<std::uint8_t> state;
    f.GetReadingPosition(&a, &b, &state);
    f.GetAudioPosition(&a, &b, &state);
    f.GetFormState(&state);
    f.GetAuthor(&n);
    f.GetTitle(&n);
    f.GetCategories(&n);
    BookmarkIterator it;
    f.StartIterator(&it, 0, 0, 0xFFFFFFFF);
    for (std::int32_t i; (i = f.FindNext(&it)) >= 0;) {
        f.GetBookmarkText(i, &n);
        f.GetBookmarkNote(i, &n);
        f.GetBookmarkUrl(i, &n);
        f.GetBookmarkState(i, &state);
        f.GetLinkedBookmark(i);
    }
}

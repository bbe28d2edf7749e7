// Side files read from any bytes: every accessor and the annotation walk, then edits.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "bookfiles/annotation_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    for (int readOnly = 1; readOnly >= 0; --readOnly) {
        AnnotationFile* f = new AnnotationFile;
        if (f->OpenInMemory(data, size, readOnly) == 0) {
            std::uint32_t a = 0, b = 0, n = 0;
            std::vector<std::uint8_t> state;
            f->GetReadingPosition(&a, &b, &state);
            f->GetAudioPosition(&a, &b, &state);
            f->GetFormState(&state);
            f->GetAuthor(&n);
            f->GetTitle(&n);
            f->GetCategories(&n);
            BookmarkIterator it;
            f->StartIterator(&it, 0, 0, 0xFFFFFFFF);
            for (std::int32_t i; (i = f->FindNext(&it)) >= 0;) {
                f->GetBookmarkText(i, &n);
                f->GetBookmarkNote(i, &n);
                f->GetBookmarkUrl(i, &n);
                f->GetBookmarkState(i, &state);
                f->GetLinkedBookmark(i);
            }
            if (!readOnly) {
                std::int32_t i = f->AddBookmark(1, 10, 20, 0, 0, 0, 0);
                f->SetBookmarkText(i, u"x", 1);
                f->SetReadingPosition(1, 2, "abcd", 4);
                f->Reset();
            }
        }
        f->Release();
    }
    return 0;
}

#include "reader/kept_checkpoints.h"

#include "bookfiles/book_document.h"
#include "core/byte_stream.h"
#include "core/file.h"
#include "layout/page_layout.h"
#include "paths/app_paths.h"
#include "paths/kept_checkpoints_file.h"
#include "platform/storage/files.h"

namespace {

using KeptCheckpointsFile::BookIdentity;

bool IdentityOf(const Text& bookPath, DocumentSource* document, BookIdentity& out) {
    if (!document || !Files::Exists(bookPath, &out.size, &out.writeTime) ||
        !bookPath.ToWide(out.path) || out.path.Length() == 0)
        return false;
    const auto* book = dynamic_cast<const BookDocument*>(document);
    out.records = book ? book->GetRecordCount() : 0;
    out.textLength = document->GetLength();
    return true;
}

}  // namespace

namespace KeptCheckpoints {

bool PathFor(const Text& bookPath, Text& out) {
    return AppPaths::KeptCheckpointsFile(bookPath, out);
}

bool Load(const Text& bookPath, DocumentSource* document, PageLayout& layout) {
    BookIdentity book;
    ByteStream checkpoints;
    return IdentityOf(bookPath, document, book) &&
           KeptCheckpointsFile::Read(bookPath, book, checkpoints) &&
           layout.LoadKeptCheckpoints(checkpoints);
}

void NoteUnsaved(const Text& bookPath) {
    Text kept;
    String wide;
    if (AppPaths::KeptCheckpointsFile(bookPath, kept) && kept.ToWide(wide))
        fvt::NoteUnsavedFile(std::u16string(wide.Data(), static_cast<size_t>(wide.Length())));
}

bool Save(const Text& bookPath, DocumentSource* document, PageLayout& layout) {
    BookIdentity book;
    ByteStream checkpoints;
    // No file behind the book, or no checkpoints its replays added: nothing to write.
    if (!IdentityOf(bookPath, document, book) || !layout.SaveKeptCheckpoints(checkpoints))
        return true;
    return KeptCheckpointsFile::Write(bookPath, book, checkpoints);
}

}  // namespace KeptCheckpoints

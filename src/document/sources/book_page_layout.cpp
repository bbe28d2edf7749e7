#include "document/sources/book_page_layout.h"

#include <cstring>
#include <string>

#include "bookfiles/book_document.h"
#include "bookfiles/palm_database.h"
#include "document/sources/text_file_resource.h"

bool BookPageLayoutTraits::SourceFlag() {
    return book_ && book_->GetBookKind() != 1 && book_->GetRecordCount() != 1;
}

uint32_t BookPageLayoutTraits::DocumentKey() {
    if (!book_) return 0;
    if (book_->Header().isFolv) return book_->GetOption();
    // A PalmDOC book has no unique id: like a file, it is known by where it lies (its database
    // name when it lies nowhere) and its size, the same on every opening.
    const PalmDatabase* db = book_->NextRecord();
    if (!db) return 0;
    const std::string& path = db->GetPath();
    std::string where =
        path.empty() ? std::string(db->GetName(), strnlen(db->GetName(), 32)) : path;
    String location;
    for (char c : where) location.AppendChar(static_cast<unsigned char>(c));
    int64_t size = 0;
    for (uint32_t i = 0; i < db->GetRecordCount(); ++i) size += db->GetRecordLength(i);
    return TextFileResource::FileKey(location, size);
}

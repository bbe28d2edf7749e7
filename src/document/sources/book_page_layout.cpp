#include "document/sources/book_page_layout.h"

#include "bookfiles/book_document.h"

bool BookPageLayoutTraits::SourceFlag() {
    return book_ && book_->GetBookKind() != 1 && book_->GetRecordCount() != 1;
}

uint32_t BookPageLayoutTraits::DocumentKey() { return book_ ? book_->GetOption() : 0; }

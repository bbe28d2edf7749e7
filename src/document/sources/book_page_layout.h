// What the page layout of a book asks of the book: whether its text is split over several
// records, and the key that ties the book's side file to it.
#pragma once

#include <cstdint>

#include "document/sources/layout_services.h"

class BookDocument;

class BookPageLayoutTraits : public BookLayoutTraits {
public:
    explicit BookPageLayoutTraits(BookDocument* book) : book_(book) {}
    // False for a plain-text book or a book of a single text record.
    bool SourceFlag() override;
    // A FOLV book's unique id, which its side file stores: a foreign side file is reset. A
    // PalmDOC book has none and is keyed by its location and size, as a text file is.
    uint32_t DocumentKey() override;

private:
    BookDocument* book_;
};

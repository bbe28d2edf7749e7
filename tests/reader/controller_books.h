// The fixture books of the document-controller tests, written onto a temporary device (kept in
// a file of their own: the book builder's byte type and the core's byte helpers share a name).
#pragma once

#include <string>

namespace fvt::test {
class TempDevice;

// books/a.prc (long), books/b.prc (short), books/covered.prc (a 40 x 60 red cover, no "start"),
// books/started.prc (a cover and a "start" reference at position 2000).
void WriteControllerBooks(const TempDevice& device);
// books/places.prc: a long book whose table "places" (the default table) holds two entries at
// text position 4000 and whose table "nowhere" holds an entry without a position.
void WritePlacesBook(const TempDevice& device);
// books/linked.prc: a long book that opens with a link to text position 4000 and a link to
// books/b.prc.
void WriteLinkedBook(const TempDevice& device);
// books/accents.prc: a UTF-8 book of one paragraph (given as UTF-8).
void WriteAccentedBook(const TempDevice& device, const std::string& paragraph);
}  // namespace fvt::test

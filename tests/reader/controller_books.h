// The fixture books of the document-controller tests, written onto a temporary device (kept in
// a file of their own: the book builder's byte type and the core's byte helpers share a name).
#pragma once

#include <cstdint>
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
// books/requests.prc: a long book with the table "words" (the default; named by a kind-4 target
// "words") holding apple (position 4000), bank (5000; its tag 7 lists both entries of the table
// "keys"), cat (100, in the book tag 41 numbers 1) and dog (linked to apple); the key-table
// target "bankkeys" (entry 1, tag 7); the named target "chapter" at 3000 and "toc" at 2500.
// The records of the two tables go to `tables`.
void WriteRequestsBook(const TempDevice& device, unsigned* tables = nullptr);
// books/scripted.prc: a long book that opens with a link whose script goes to the last page.
void WriteScriptLinkBook(const TempDevice& device);
// books/framed.prc: a long book whose frameset, from position 100, has the rows "title" (at
// text position 300), "main" (the reading position) and "foot" (at 600), and key handlers: a
// link "key1" to position 5000 at the start of the text. Returns the links' position.
std::uint32_t WriteFramedBook(const TempDevice& device);
// books/framebar.prc: a long book that opens with a link to text position 5000 and, in the next
// paragraph, a link to books/b.prc; its frameset, from position 100, has the rows "bar" (40 px,
// from the first link), "main" (the reading position) and "foot" (30 px, from the second
// link). Returns the first link's position; *foot (may be null) receives the second's.
std::uint32_t WriteFrameBarBook(const TempDevice& device, std::uint32_t* foot = nullptr);
// books/accents.prc: a UTF-8 book of one paragraph (given as UTF-8).
void WriteAccentedBook(const TempDevice& device, const std::string& paragraph);
}  // namespace fvt::test

// Trailing entries at the end of a book's text records.
//
// The header's trailing-entry flags say what follows the text of each record. Every set bit from
// 1 to 15 is one extra entry, the outermost for the highest bit; the last two bytes of such an
// entry are its total size. Bit 0 is the multibyte entry right after the text: the bytes of a
// UTF-8 character that continues into the next record, then one byte whose low 4 bits count them.
#pragma once

#include <cstdint>

struct TrailingEntries {
    std::uint32_t textLength = 0;   // bytes of (possibly compressed) text at the record start
    std::uint32_t carryLength = 0;  // multibyte bytes that follow the text (0..3)
};

// False when the entries do not fit the record or a multibyte count is above 3: the record is
// corrupt. `multibyte` says whether bit 0 is honoured (UTF-8 text only).
bool StripTrailingEntries(const std::uint8_t* record, std::uint32_t length, std::uint32_t flags,
                          bool multibyte, TrailingEntries* out);

// Code-page decisions and block conversion for document pages.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/charset.h"

namespace CodePage {

// The code page a document's pages are given in.
uint32_t Choose(uint32_t detected, uint32_t requested);
// Whether positions need a map from characters back to source bytes (a multi-byte source).
bool NeedsConversion(uint32_t from, uint32_t to, bool allowed);
// Converts one block to UTF-16 (to must be CodePages::kUtf16) into out (room for count + 4
// units); posMap, when given, receives each unit's byte offset in the block. The units written;
// 0 on failure.
uint32_t Decode(char16_t* out, size_t outCap, const uint8_t* bytes, size_t count, uint32_t from,
                bool bigEndian, uint32_t to, CharsetState* state, bool allowed,
                uint32_t* posMap);

// The code page an HTML file declares in a META tag (charset="..." or content="...;
// charset=..."), looked for in the bytes given (the caller passes the first kilobyte); 0 when
// there is none or it names a code page this program cannot read.
uint32_t Declared(const uint8_t* bytes, size_t count);

// Tells, block after block, whether a file's bytes are UTF-8 holding at least one character
// of more than one byte: such a file is read as UTF-8 even without a byte-order mark.
class Utf8Check {
public:
    // False as soon as the bytes cannot be UTF-8.
    bool Feed(const uint8_t* bytes, size_t count);
    bool IsUtf8() const { return ok_ && need_ == 0 && multiByte_; }

private:
    bool ok_ = true;
    bool multiByte_ = false;
    int need_ = 0;  // continuation bytes still to come
    uint8_t low_ = 0x80, high_ = 0xBF;
};

}  // namespace CodePage

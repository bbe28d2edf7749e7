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
// Converts one block to UTF-16 (to must be 65002) into out (room for count + 4 units); posMap,
// when given, receives each unit's byte offset in the block. The units written; 0 on failure.
uint32_t Decode(char16_t* out, size_t outCap, const uint8_t* bytes, size_t count, uint32_t from,
                bool bigEndian, uint32_t to, CharsetState* state, bool allowed,
                uint32_t* posMap);

}  // namespace CodePage

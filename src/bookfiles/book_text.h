// Decoding a book's text bytes into UTF-16: code pages 1252, UTF-8 (with a map from characters
// back to byte positions) and UTF-16 little-endian (CodePages::kUtf16).
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/code_pages.h"

namespace BookText {

bool IsSupported(std::uint32_t codePage);
// Bytes per position: 2 for UTF-16, else 1.
std::uint32_t UnitSize(std::uint32_t codePage);

char16_t Decode1252(std::uint8_t byte);

// Decodes `count` bytes into `out` (room for `capacity` units, at least `count` + 1). For UTF-8,
// `positions` (may be null; room for `capacity` + 1) receives, per unit written, the offset of
// the byte its character starts at, and finally `count`. Malformed sequences give U+FFFD per
// byte. Returns the units written.
std::size_t Decode(std::uint32_t codePage, const std::uint8_t* bytes, std::size_t count,
                   char16_t* out, std::size_t capacity, std::uint32_t* positions);

}  // namespace BookText

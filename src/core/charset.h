// Code pages and conversions to and from UTF-16. UTF-8, UTF-16 and Windows-1252 are converted
// here; other code pages go through the host's converter.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/code_pages.h"

// 65002, the code page number that marks UTF-16 text.
int GetUnicodeCodePage();
// The code page that 0 stands for (1252 unless the host says otherwise).
int SystemCodePage();
void SetSystemCodePage(int codePage);
// Most bytes one character takes: 2 for the double-byte code pages, 4 for UTF-8 and 54936.
int MaxBytesPerChar(int codePage);
// True when the code page can be converted at all.
bool IsKnownCodePage(int codePage);

namespace Cp1252 {
// Bytes 0x80-0x9F; the five unassigned bytes map to themselves.
// clang-format off
inline constexpr char16_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};
// clang-format on
// The character of byte b (the five unassigned bytes map to themselves). Inline: text decoding
// calls it for every byte.
inline char16_t ToUnicode(uint8_t b) {
    return (b & 0xE0) == 0x80 ? kHigh[b - 0x80] : static_cast<char16_t>(b);
}
// The byte of c, or -1 when 1252 has none.
int FromUnicode(char16_t c);
}  // namespace Cp1252

namespace Utf16 {
// Writes the code point as one unit or a surrogate pair; invalid values (surrogates, above
// U+10FFFF) become U+FFFD. The count of units written.
int Encode(uint32_t codePoint, char16_t* units);
inline bool IsHigh(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
inline bool IsLow(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}
// Decodes one code point at p (n > 0 units); lone surrogates become U+FFFD. The units used.
int Decode(const char16_t* p, size_t n, uint32_t& codePoint);
}  // namespace Utf16

namespace Utf8 {
bool IsValid(const uint8_t* p, size_t n);
// Decodes one code point (n > 0); an invalid or truncated sequence gives U+FFFD and consumes
// one byte (or the bytes of the maximal valid prefix). The bytes used.
int Decode(const uint8_t* p, size_t n, uint32_t& codePoint);
// Bytes written (1 to 4); invalid code points are written as U+FFFD.
int Encode(uint32_t codePoint, uint8_t* out);
// Whole-buffer conversions; the units or bytes written (never past the capacity), or -1 when
// the capacity is too small.
int32_t DecodeToUtf16(const uint8_t* in, size_t n, char16_t* out, size_t outCap);
int32_t EncodeFromUtf16(const char16_t* in, size_t n, uint8_t* out, size_t outCap);
// Units the UTF-16 form of n UTF-8 bytes needs at most.
inline size_t MaxUtf16Units(size_t n) {
    return n;
}
}  // namespace Utf8

// Carry-over state of the continuing converter. A zeroed state is a fresh one.
struct CharsetState {
    uint8_t pending[4];
    uint8_t count;    // bytes waiting in pending
    uint8_t needed;   // bytes the pending sequence needs in all
    uint8_t started;  // 0 until the first block; a first block skips stray continuation bytes
    uint8_t reserved;
};

namespace Charset {
// Bytes of carry-over state the code page needs (0 for single-byte ones).
int StateSize(int codePage);
// True when b begins a two-byte character in a double-byte code page (932, 936, 949, 950,
// 1361); false for every byte of any other code page.
bool IsLeadByte(int codePage, uint8_t b);
// Units one call may write at most for n input bytes.
inline size_t MaxOutput(size_t n) {
    return n + 4;
}
// Converts one block of a stream into UTF-16. A sequence cut at the end of a block is carried
// over in state and finished by the next block; on a final block an incomplete sequence becomes
// U+FFFD, like invalid ones. posMap (optional, outCap entries) receives, for each unit written,
// the byte offset in this block where its character starts (0 for one carried in). A fresh
// state skips continuation bytes at the start of the block (the tail of a character that the
// previous block already produced). The units written, or -1 when outCap < MaxOutput(n) or the
// code page is unknown.
int32_t Continue(CharsetState* state, int codePage, const uint8_t* in, size_t n, char16_t* out,
                 size_t outCap, uint32_t* posMap, bool final);
// Whole-buffer conversions to and from UTF-16 for any code page (kUtf16 = UTF-16LE bytes).
// ToUtf16: units written or -1; out must have room for n units (n / 2 for kUtf16). Unconvertible
// bytes become U+FFFD.
int32_t ToUtf16(int codePage, const uint8_t* in, size_t n, char16_t* out, size_t outCap);
// FromUtf16: bytes written or -1 (capacity); characters the code page lacks become '?' and set
// lossy when given.
int32_t FromUtf16(int codePage, const char16_t* in, size_t n, uint8_t* out, size_t outCap,
                  bool* lossy = nullptr);
// Bytes FromUtf16 may need at most.
inline size_t MaxBytes(int codePage, size_t units) {
    return units * (codePage == CodePages::kUtf8 ? 3 : (codePage == CodePages::kUtf16 ? 2 : 4)) + 4;
}
}  // namespace Charset

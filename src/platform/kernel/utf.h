// The program's one UTF-8 / UTF-16 codec, one code point at a time. Every code point from
// U+0000 to U+10FFFF converts both ways; an unpaired surrogate, or bytes that are not UTF-8,
// become U+FFFD: never dropped, never passed on. Inline, for the text decoders call it for
// every character. Whole strings: Utf8ToWide and WideToUtf8 in wide.h.
#pragma once

#include <cstddef>
#include <cstdint>

namespace fvt::utf {

constexpr std::uint32_t kReplacement = 0xFFFD;

inline bool IsHighSurrogate(std::uint32_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
inline bool IsLowSurrogate(std::uint32_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

// Bytes of the sequence that `lead` begins: 1 to 4, or 0 for a byte that begins none.
inline int SequenceLength(std::uint8_t lead) {
    if (lead < 0x80) return 1;
    if (lead < 0xC2) return 0;
    if (lead < 0xE0) return 2;
    if (lead < 0xF0) return 3;
    if (lead < 0xF5) return 4;
    return 0;
}

// Whether b may stand at `index` (1 to 3) of the sequence `lead` begins. Overlong forms,
// surrogates and values past U+10FFFF are refused at the second byte, so that a bad sequence
// is known as early as it can be.
inline bool Continues(std::uint8_t lead, int index, std::uint8_t b) {
    if ((b & 0xC0) != 0x80) return false;
    if (index != 1) return true;
    if (lead == 0xE0) return b >= 0xA0;
    if (lead == 0xED) return b < 0xA0;
    if (lead == 0xF0) return b >= 0x90;
    if (lead == 0xF4) return b < 0x90;
    return true;
}

// The code point of a whole sequence of `len` (2 to 4) bytes that Continues accepted.
inline std::uint32_t Combine(const std::uint8_t* p, int len) {
    switch (len) {
        case 2:
            return (p[0] & 0x1Fu) << 6 | (p[1] & 0x3Fu);
        case 3:
            return (p[0] & 0x0Fu) << 12 | (p[1] & 0x3Fu) << 6 | (p[2] & 0x3Fu);
        default:
            return (p[0] & 0x07u) << 18 | (p[1] & 0x3Fu) << 12 | (p[2] & 0x3Fu) << 6 |
                   (p[3] & 0x3Fu);
    }
}

// Decodes one code point at p (n > 0 bytes). A byte that begins no sequence, or a sequence cut
// short, gives U+FFFD and uses the bytes of its longest valid beginning (at least one); `valid`
// (when given) then reads false, which tells it from an encoded U+FFFD. The bytes used.
inline int DecodeUtf8(const std::uint8_t* p, std::size_t n, std::uint32_t& cp,
                      bool* valid = nullptr) {
    const std::uint8_t lead = p[0];
    const int len = SequenceLength(lead);
    int used = 1;
    if (len == 1) {
        cp = lead;
    } else if (len > 1) {
        while (used < len && static_cast<std::size_t>(used) < n && Continues(lead, used, p[used]))
            ++used;
        cp = used == len ? Combine(p, len) : kReplacement;
    } else {
        cp = kReplacement;
    }
    if (valid) *valid = len > 0 && used == len;
    return used;
}

// Writes 1 to 4 bytes; surrogates and values past U+10FFFF are written as U+FFFD.
inline int EncodeUtf8(std::uint32_t cp, std::uint8_t* out) {
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = kReplacement;
    if (cp < 0x80) {
        out[0] = static_cast<std::uint8_t>(cp);
        return 1;
    }
    if (cp < 0x800) {
        out[0] = static_cast<std::uint8_t>(0xC0 | cp >> 6);
        out[1] = static_cast<std::uint8_t>(0x80 | (cp & 0x3F));
        return 2;
    }
    if (cp < 0x10000) {
        out[0] = static_cast<std::uint8_t>(0xE0 | cp >> 12);
        out[1] = static_cast<std::uint8_t>(0x80 | ((cp >> 6) & 0x3F));
        out[2] = static_cast<std::uint8_t>(0x80 | (cp & 0x3F));
        return 3;
    }
    out[0] = static_cast<std::uint8_t>(0xF0 | cp >> 18);
    out[1] = static_cast<std::uint8_t>(0x80 | ((cp >> 12) & 0x3F));
    out[2] = static_cast<std::uint8_t>(0x80 | ((cp >> 6) & 0x3F));
    out[3] = static_cast<std::uint8_t>(0x80 | (cp & 0x3F));
    return 4;
}

// Decodes one code point at p (n > 0 units): a surrogate pair is one; an unpaired surrogate
// gives U+FFFD. The units used.
inline int DecodeUtf16(const char16_t* p, std::size_t n, std::uint32_t& cp) {
    const char16_t c = p[0];
    if (IsHighSurrogate(c) && n > 1 && IsLowSurrogate(p[1])) {
        cp = 0x10000 + ((c - 0xD800u) << 10) + (p[1] - 0xDC00u);
        return 2;
    }
    cp = (c >= 0xD800 && c <= 0xDFFF) ? kReplacement : c;
    return 1;
}

// Writes one unit or a surrogate pair; surrogates and values past U+10FFFF become U+FFFD.
inline int EncodeUtf16(std::uint32_t cp, char16_t* out) {
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = kReplacement;
    if (cp < 0x10000) {
        out[0] = static_cast<char16_t>(cp);
        return 1;
    }
    cp -= 0x10000;
    out[0] = static_cast<char16_t>(0xD800 + (cp >> 10));
    out[1] = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    return 2;
}

}  // namespace fvt::utf

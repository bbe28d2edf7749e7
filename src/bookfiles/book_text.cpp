#include "bookfiles/book_text.h"

#include <cstring>

namespace BookText {
namespace {

// Windows-1252 bytes 0x80-0x9F; the five undefined ones map to themselves.
constexpr char16_t k1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

}  // namespace

bool IsSupported(std::uint32_t codePage) {
    return codePage == kCodePage1252 || codePage == kCodePageUtf8 || codePage == kCodePageUtf16;
}

std::uint32_t UnitSize(std::uint32_t codePage) { return codePage == kCodePageUtf16 ? 2 : 1; }

char16_t Decode1252(std::uint8_t byte) {
    return byte >= 0x80 && byte < 0xA0 ? k1252High[byte - 0x80] : static_cast<char16_t>(byte);
}

std::uint32_t Utf8SequenceLength(std::uint8_t b) {
    if (b < 0x80) return 1;
    if (b >= 0xC2 && b < 0xE0) return 2;
    if (b >= 0xE0 && b < 0xF0) return 3;
    if (b >= 0xF0 && b < 0xF5) return 4;
    return 0;
}

std::size_t Decode(std::uint32_t codePage, const std::uint8_t* bytes, std::size_t count,
                   char16_t* out, std::size_t capacity, std::uint32_t* positions) {
    std::size_t n = 0;
    if (codePage == kCodePageUtf16) {
        std::size_t units = count / 2;
        if (units > capacity) units = capacity;
        for (std::size_t i = 0; i < units; ++i) {
            out[i] = static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
        }
        return units;
    }
    if (codePage != kCodePageUtf8) {
        if (count > capacity) count = capacity;
        for (std::size_t i = 0; i < count; ++i) out[i] = Decode1252(bytes[i]);
        return count;
    }
    std::size_t i = 0;
    while (i < count && n < capacity) {
        std::uint8_t b = bytes[i];
        std::uint32_t length = Utf8SequenceLength(b);
        std::uint32_t cp = 0xFFFD;
        std::uint32_t used = 1;
        if (length == 1) {
            cp = b;
        } else if (length > 1 && i + length <= count) {
            cp = b & (0xFF >> (length + 1));
            bool ok = true;
            for (std::uint32_t k = 1; k < length; ++k) {
                std::uint8_t c = bytes[i + k];
                if ((c & 0xC0) != 0x80) {
                    ok = false;
                    break;
                }
                cp = (cp << 6) | (c & 0x3F);
            }
            // Overlong forms, surrogates and values past U+10FFFF are malformed.
            if (ok && !((length == 3 && cp < 0x800) || (length == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
                        (cp >= 0xD800 && cp < 0xE000))) {
                used = length;
            } else {
                cp = 0xFFFD;
            }
        }
        if (cp >= 0x10000) {
            if (n + 2 > capacity) break;
            cp -= 0x10000;
            if (positions) positions[n] = positions[n + 1] = static_cast<std::uint32_t>(i);
            out[n++] = static_cast<char16_t>(0xD800 + (cp >> 10));
            out[n++] = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            if (positions) positions[n] = static_cast<std::uint32_t>(i);
            out[n++] = static_cast<char16_t>(cp);
        }
        i += used;
    }
    if (positions) positions[n] = static_cast<std::uint32_t>(i);
    return n;
}

}  // namespace BookText

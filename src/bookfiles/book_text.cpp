#include "bookfiles/book_text.h"

#include "core/charset.h"

namespace BookText {

bool IsSupported(std::uint32_t codePage) {
    return codePage == CodePages::kWindows1252 || codePage == CodePages::kUtf8 ||
           codePage == CodePages::kUtf16;
}

std::uint32_t UnitSize(std::uint32_t codePage) {
    return codePage == CodePages::kUtf16 ? 2 : 1;
}

char16_t Decode1252(std::uint8_t byte) {
    return Cp1252::ToUnicode(byte);
}

std::size_t Decode(std::uint32_t codePage, const std::uint8_t* bytes, std::size_t count,
                   char16_t* out, std::size_t capacity, std::uint32_t* positions) {
    if (codePage == CodePages::kUtf16) {
        std::size_t units = count / 2;
        if (units > capacity) units = capacity;
        for (std::size_t i = 0; i < units; ++i) {
            out[i] = static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
        }
        return units;
    }
    if (codePage != CodePages::kUtf8) {
        if (count > capacity) count = capacity;
        for (std::size_t i = 0; i < count; ++i) out[i] = Cp1252::ToUnicode(bytes[i]);
        return count;
    }
    // UTF-8 one character at a time, so that every unit knows the byte it came from.
    std::size_t n = 0;
    std::size_t i = 0;
    while (i < count) {
        std::uint32_t codePoint = 0;
        int used = Utf8::Decode(bytes + i, count - i, codePoint);
        char16_t units[2];
        int written = Utf16::Encode(codePoint, units);
        if (used <= 0 || n + static_cast<std::size_t>(written) > capacity) break;
        for (int k = 0; k < written; ++k) {
            if (positions) positions[n] = static_cast<std::uint32_t>(i);
            out[n++] = units[k];
        }
        i += static_cast<std::size_t>(used);
    }
    if (positions) positions[n] = static_cast<std::uint32_t>(i);
    return n;
}

}  // namespace BookText

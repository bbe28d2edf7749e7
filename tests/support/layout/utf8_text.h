// UTF-8 of layout texts, so that test failures print words as they read.
#pragma once

#include <string>

#include "core/string.h"

namespace fvt::test {

// Appends the UTF-8 of n UTF-16 units to out.
inline void AppendUtf8(std::string& out, const char16_t* s, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        char32_t c = s[i];
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
            continue;
        }
        // A surrogate pair is one character of four bytes.
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[++i] - 0xDC00);
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
}

inline std::string Utf8(const std::u16string& s) {
    std::string out;
    AppendUtf8(out, s.data(), s.size());
    return out;
}

inline std::string Utf8(const String& s) {
    return Utf8(std::u16string(s.Data(), static_cast<size_t>(s.Length())));
}

}  // namespace fvt::test

// UTF-8 of layout texts, so that test failures print words as they read.
#pragma once

#include <string>

#include "core/string.h"

namespace fvt::test {

inline std::string Utf8(const std::u16string& s) {
    std::string out;
    for (char16_t c : s) {
        if (c < 0x80) {
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
    return out;
}

inline std::string Utf8(const String& s) {
    return Utf8(std::u16string(s.Data(), static_cast<size_t>(s.Length())));
}

}  // namespace fvt::test

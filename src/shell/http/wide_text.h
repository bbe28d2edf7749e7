// Private to the HTTP client: Text to and from the UTF-16 strings the device functions take.
#pragma once

#include <string>

#include "core/text.h"

namespace web {

inline std::u16string Wide(const Text& text) {
    return std::u16string(text.WideCStr());
}

inline Text ToText(std::u16string_view s) {
    Text t;
    t.FromWide(s.data(), static_cast<int32_t>(s.size()));
    return t;
}

// ASCII letters compared without case.
inline bool StartsWithNoCase(std::u16string_view s, std::u16string_view prefix) {
    if (s.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        char16_t a = s[i], b = prefix[i];
        if (a >= u'A' && a <= u'Z') a = static_cast<char16_t>(a + 32);
        if (b >= u'A' && b <= u'Z') b = static_cast<char16_t>(b + 32);
        if (a != b) return false;
    }
    return true;
}

}  // namespace web

// Text conversions shared inside the library (private to it).
#pragma once

#include <string>

#include "core/string.h"
#include "core/text.h"

namespace library_text {

// The UTF-16 units of a text (empty when it cannot be converted).
inline std::u16string Wide(const Text& text) {
    String s;
    if (!text.ToWide(s)) return {};
    return std::u16string(s.Data(), static_cast<size_t>(s.Length()));
}

// A device path in UTF-8, the form side files and databases take (empty on failure).
inline std::string Utf8Path(const Text& path) {
    Text t(path);
    if (!t.ConvertTo(CodePages::kUtf8) || t.IsEmpty()) return {};
    return std::string(reinterpret_cast<const char*>(t.Bytes()), static_cast<size_t>(t.ByteLength()));
}

}  // namespace library_text

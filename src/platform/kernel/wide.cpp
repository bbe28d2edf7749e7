#include "platform/kernel/wide.h"

#include <locale.h>
#include <wctype.h>

#include <cstdint>

#include "platform/kernel/utf.h"

namespace fvt {

size_t WideLength(LPCWSTR text) {
    size_t n = 0;
    if (text) {
        while (text[n]) ++n;
    }
    return n;
}

std::u16string_view WideView(LPCWSTR text) {
    return {text ? text : u"", WideLength(text)};
}

std::u16string Utf8ToWide(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    const auto* p = reinterpret_cast<const std::uint8_t*>(text.data());
    size_t i = 0;
    while (i < text.size()) {
        std::uint32_t cp;
        bool valid;
        int used = utf::DecodeUtf8(p + i, text.size() - i, cp, &valid);
        // The device's converter replaces a bad sequence byte by byte.
        i += valid ? static_cast<size_t>(used) : 1;
        char16_t units[2];
        out.append(units, static_cast<size_t>(utf::EncodeUtf16(cp, units)));
    }
    return out;
}

bool IsValidUtf8(std::string_view text) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(text.data());
    size_t i = 0;
    while (i < text.size()) {
        std::uint32_t cp;
        bool valid;
        i += static_cast<size_t>(utf::DecodeUtf8(p + i, text.size() - i, cp, &valid));
        if (!valid) return false;
    }
    return true;
}

void AppendUtf8(std::string& out, std::u16string_view text) {
    out.reserve(out.size() + text.size());
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] < 0x80) {
            out.push_back(static_cast<char>(text[i++]));
            continue;
        }
        std::uint32_t cp;
        i += static_cast<size_t>(utf::DecodeUtf16(text.data() + i, text.size() - i, cp));
        std::uint8_t bytes[4];
        out.append(reinterpret_cast<const char*>(bytes),
                   static_cast<size_t>(utf::EncodeUtf8(cp, bytes)));
    }
}

std::string WideToUtf8(std::u16string_view text) {
    std::string out;
    AppendUtf8(out, text);
    return out;
}

char16_t FoldCase(char16_t c) {
    if (c < 0x80) return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
    if (c >= 0xD800 && c <= 0xDFFF) return c;
    // The C.UTF-8 locale's table is fixed and independent of the user's locale settings.
    static locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    if (!utf8) return c;
    wint_t lower = towlower_l(static_cast<wint_t>(c), utf8);
    return lower <= 0xFFFF ? static_cast<char16_t>(lower) : c;
}

bool EqualsNoCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i] && FoldCase(a[i]) != FoldCase(b[i])) return false;
    }
    return true;
}

bool CopyWide(std::u16string_view text, LPWSTR buffer, size_t capacity) {
    if (!buffer || capacity <= text.size()) return false;
    text.copy(buffer, text.size());
    buffer[text.size()] = 0;
    return true;
}

}  // namespace fvt

#include "core/letter_order.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "core/char_props.h"

namespace {

// The plain letters of U+00C0 to U+017F, in small letters; "" for a character that is not a
// letter there (the multiplication and division signs).
constexpr const char* kLatin1[64] = {
    "a", "a", "a", "a", "a", "a", "ae", "c", "e", "e", "e", "e", "i", "i", "i", "i",   // C0
    "d", "n", "o", "o", "o", "o", "o",  "",  "o", "u", "u", "u", "u", "y", "th", "ss",  // D0
    "a", "a", "a", "a", "a", "a", "ae", "c", "e", "e", "e", "e", "i", "i", "i", "i",   // E0
    "d", "n", "o", "o", "o", "o", "o",  "",  "o", "u", "u", "u", "u", "y", "th", "y",   // F0
};
// Latin Extended-A by ranges: first code point, last, plain letters.
struct Range {
    char16_t first, last;
    const char* letters;
};
constexpr Range kExtendedA[] = {
    {0x0100, 0x0105, "a"},  {0x0106, 0x010D, "c"}, {0x010E, 0x0111, "d"}, {0x0112, 0x011B, "e"},
    {0x011C, 0x0123, "g"},  {0x0124, 0x0127, "h"}, {0x0128, 0x0131, "i"}, {0x0132, 0x0133, "ij"},
    {0x0134, 0x0135, "j"},  {0x0136, 0x0138, "k"}, {0x0139, 0x0142, "l"}, {0x0143, 0x0148, "n"},
    {0x0149, 0x0149, "n"},  {0x014A, 0x014B, "n"}, {0x014C, 0x0151, "o"}, {0x0152, 0x0153, "oe"},
    {0x0154, 0x0159, "r"},  {0x015A, 0x0161, "s"}, {0x0162, 0x0167, "t"}, {0x0168, 0x0173, "u"},
    {0x0174, 0x0175, "w"},  {0x0176, 0x0178, "y"}, {0x0179, 0x017E, "z"}, {0x017F, 0x017F, "s"},
};

const char* PlainLetters(uint32_t c) {
    if (c >= 0xC0 && c < 0x100) return kLatin1[c - 0xC0][0] ? kLatin1[c - 0xC0] : nullptr;
    if (c >= 0x100 && c < 0x180)
        for (const Range& r : kExtendedA)
            if (c >= r.first && c <= r.last) return r.letters;
    return nullptr;
}

uint32_t Small(uint32_t c) {
    return c < 0x10000 ? CharProps::ToLower(static_cast<char16_t>(c)) : c;
}

// The text's code points three ways: its plain letters (the order's first word), its small
// letters (accents), and as it is (case).
struct Keys {
    std::vector<uint32_t> plain, small, exact;
};

Keys KeysOf(const Text& t) {
    Keys k;
    TextReader r(t);
    uint32_t c;
    while (r.Next(c)) {
        k.exact.push_back(c);
        const uint32_t s = Small(c);
        k.small.push_back(s);
        if (const char* letters = PlainLetters(c)) {
            for (const char* l = letters; *l; ++l) k.plain.push_back(static_cast<uint8_t>(*l));
        } else {
            k.plain.push_back(s);
        }
    }
    return k;
}

int Order(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
        if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

}  // namespace

std::u32string LetterOrderKey(const Text& t) {
    // The three keys one after the other. The first two, their code points raised by one, end in
    // 0, so that a key that is the start of another sorts first; the third, whose order is the
    // reverse, is turned round (kTop - c) and ends above every code point turned round, so that
    // there the longer text sorts first.
    constexpr uint32_t kTop = 0x110001;
    const Keys k = KeysOf(t);
    std::u32string key;
    key.reserve(k.plain.size() + k.small.size() + k.exact.size() + 3);
    for (uint32_t c : k.plain) key.push_back(static_cast<char32_t>(c + 1));
    key.push_back(0);
    for (uint32_t c : k.small) key.push_back(static_cast<char32_t>(c + 1));
    key.push_back(0);
    for (uint32_t c : k.exact) key.push_back(static_cast<char32_t>(kTop - std::min(c, kTop)));
    key.push_back(static_cast<char32_t>(kTop + 1));
    return key;
}

int CompareByLetters(const Text& a, const Text& b) {
    const Keys x = KeysOf(a), y = KeysOf(b);
    if (int c = Order(x.plain, y.plain)) return c;
    if (int c = Order(x.small, y.small)) return c;
    // Capitals sort after the small letters, as in a dictionary ("rose" before "Rose").
    return -Order(x.exact, y.exact);
}

#include "document/sources/code_page.h"

#include <cstdio>

#include <cstring>
#include <string>

#include "core/code_pages.h"

namespace CodePage {

namespace {

// Windows-1252, the code page of every text file without a mark, decoded straight into the
// page: each run of ASCII (found eight bytes at a time) is widened in one simple loop the
// compiler vectorizes, and the other bytes go through a table made from the core's own mapping.
uint32_t Decode1252(char16_t* out, const uint8_t* bytes, size_t count) {
    static const struct Table {
        Table() {
            for (int b = 0; b < 256; ++b) chars[b] = Cp1252::ToUnicode(static_cast<uint8_t>(b));
        }
        char16_t chars[256];
    } table;
    size_t i = 0;
    while (i < count) {
        size_t run = i;
        for (uint64_t w; count - run >= 8; run += 8) {
            std::memcpy(&w, bytes + run, 8);
            if (w & 0x8080808080808080ull) break;
        }
        while (run < count && bytes[run] < 0x80) ++run;
        for (; i < run; ++i) out[i] = bytes[i];
        if (i < count) {
            out[i] = table.chars[bytes[i]];
            ++i;
        }
    }
    return static_cast<uint32_t>(count);
}

char Lower(uint8_t c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); }

// Where the lower-case word starts at or after from, or count.
size_t Find(const uint8_t* b, size_t from, size_t count, const char* word) {
    size_t n = std::strlen(word);
    for (size_t i = from; i + n <= count; ++i) {
        size_t k = 0;
        while (k < n && Lower(b[i + k]) == word[k]) ++k;
        if (k == n) return i;
    }
    return count;
}

// The code page of a charset name, or 0.
uint32_t FromName(const std::string& name) {
    static const struct {
        const char* name;
        uint32_t codePage;
    } kNames[] = {
        {"utf-8", CodePages::kUtf8},
        {"utf8", CodePages::kUtf8},
        {"unicode-1-1-utf-8", CodePages::kUtf8},
        // Latin-1 and ASCII texts are read as 1252, which holds them and what they usually
        // mean by 0x80-0x9F.
        {"iso-8859-1", CodePages::kWindows1252},
        {"iso8859-1", CodePages::kWindows1252},
        {"iso_8859-1", CodePages::kWindows1252},
        {"latin1", CodePages::kWindows1252},
        {"l1", CodePages::kWindows1252},
        {"us-ascii", CodePages::kWindows1252},
        {"ascii", CodePages::kWindows1252},
        {"cp1252", CodePages::kWindows1252},
        {"x-cp1252", CodePages::kWindows1252},
        {"koi8-r", CodePages::kKoi8R},
        {"koi8-u", CodePages::kKoi8U},
        {"shift_jis", CodePages::kShiftJis},
        {"shift-jis", CodePages::kShiftJis},
        {"sjis", CodePages::kShiftJis},
        {"x-sjis", CodePages::kShiftJis},
        {"windows-31j", CodePages::kShiftJis},
        {"ms_kanji", CodePages::kShiftJis},
        {"gb2312", CodePages::kGbk},
        {"gbk", CodePages::kGbk},
        {"x-gbk", CodePages::kGbk},
        {"ms936", CodePages::kGbk},
        {"euc-kr", CodePages::kKorean},
        {"ks_c_5601-1987", CodePages::kKorean},
        {"big5", CodePages::kBig5},
        {"macintosh", CodePages::kMacRoman},
        {"x-mac-roman", CodePages::kMacRoman},
        {"ibm866", CodePages::kIbm866},
        {"cp866", CodePages::kIbm866},
        {"cp850", CodePages::kIbm850},
        {"ibm850", CodePages::kIbm850},
    };
    for (const auto& n : kNames)
        if (name == n.name) return n.codePage;
    unsigned number = 0;
    char tail = 0;
    // windows-1250 ... windows-1258 (and cp1250 ...), iso-8859-2 ... iso-8859-16.
    if ((std::sscanf(name.c_str(), "windows-%u%c", &number, &tail) == 1 ||
         std::sscanf(name.c_str(), "cp%u%c", &number, &tail) == 1 ||
         std::sscanf(name.c_str(), "x-cp%u%c", &number, &tail) == 1) &&
        number >= CodePages::kWindowsFirst && number <= CodePages::kWindowsLast)
        return number;
    if ((std::sscanf(name.c_str(), "iso-8859-%u%c", &number, &tail) == 1 ||
         std::sscanf(name.c_str(), "iso8859-%u%c", &number, &tail) == 1 ||
         std::sscanf(name.c_str(), "iso_8859-%u%c", &number, &tail) == 1) &&
        number >= 2 && number <= 16)
        return CodePages::kLatin1 - 1 + number;
    return 0;
}

}  // namespace

uint32_t Declared(const uint8_t* bytes, size_t count) {
    if (!bytes) return 0;
    for (size_t at = Find(bytes, 0, count, "<meta"); at < count;
         at = Find(bytes, at + 5, count, "<meta")) {
        size_t end = at + 5;
        while (end < count && bytes[end] != '>') ++end;
        size_t c = Find(bytes, at + 5, end, "charset");
        if (c >= end) continue;
        size_t i = c + 7;
        while (i < end && (bytes[i] == ' ' || bytes[i] == '\t' || bytes[i] == '\r' ||
                           bytes[i] == '\n'))
            ++i;
        if (i >= end || bytes[i] != '=') continue;
        ++i;
        while (i < end && (bytes[i] == ' ' || bytes[i] == '"' || bytes[i] == '\''))
            ++i;
        std::string name;
        while (i < end && name.size() < 40) {
            char ch = Lower(bytes[i]);
            bool part = (ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9') || ch == '-' ||
                        ch == '_' || ch == '.' || ch == ':';
            if (!part) break;
            name += ch;
            ++i;
        }
        uint32_t cp = FromName(name);
        // The first declaration decides, as it does in a browser; one this program cannot
        // convert is no declaration.
        return cp && IsKnownCodePage(static_cast<int>(cp)) ? cp : 0;
    }
    return 0;
}

bool Utf8Check::Feed(const uint8_t* b, size_t count) {
    for (size_t i = 0; ok_ && i < count;) {
        if (need_ > 0) {
            if (b[i] < low_ || b[i] > high_) {
                ok_ = false;
                break;
            }
            low_ = 0x80;
            high_ = 0xBF;
            if (--need_ == 0) multiByte_ = true;
            ++i;
            continue;
        }
        // ASCII runs, thirty-two bytes at a time, then eight.
        for (uint64_t w[4]; count - i >= 32; i += 32) {
            std::memcpy(w, b + i, 32);
            if ((w[0] | w[1] | w[2] | w[3]) & 0x8080808080808080ull) break;
        }
        for (uint64_t w; count - i >= 8; i += 8) {
            std::memcpy(&w, b + i, 8);
            if (w & 0x8080808080808080ull) break;
        }
        if (i >= count) break;
        uint8_t c = b[i++];
        if (c < 0x80) continue;
        if (c >= 0xC2 && c <= 0xDF) {
            need_ = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            need_ = 2;
            if (c == 0xE0) low_ = 0xA0;   // no overlong forms
            if (c == 0xED) high_ = 0x9F;  // no surrogates
        } else if (c >= 0xF0 && c <= 0xF4) {
            need_ = 3;
            if (c == 0xF0) low_ = 0x90;
            if (c == 0xF4) high_ = 0x8F;  // nothing above U+10FFFF
        } else {
            ok_ = false;
        }
    }
    return ok_;
}

// A request that stands over text found to be in the ANSI page.
constexpr uint32_t kOverridesAnsi = 65020;

uint32_t Choose(uint32_t detected, uint32_t requested) {
    if (requested == CodePages::kUtf16 || detected == CodePages::kUtf16 ||
        detected == CodePages::kUtf8 ||
        (detected == CodePages::kWindows1252 && requested == kOverridesAnsi))
        return requested;
    return detected;
}

bool NeedsConversion(uint32_t from, uint32_t to, bool allowed) {
    if (!allowed || from == to) return false;
    if (from != CodePages::kUtf16 && MaxBytesPerChar(static_cast<int>(from)) > 1) return true;
    return to != CodePages::kUtf16 && MaxBytesPerChar(static_cast<int>(to)) > 1;
}

uint32_t Decode(char16_t* out, size_t outCap, const uint8_t* bytes, size_t count, uint32_t from,
                bool bigEndian, uint32_t to, CharsetState* state, bool allowed,
                uint32_t* posMap) {
    if (!allowed || to != CodePages::kUtf16) return 0;
    if (from == CodePages::kUtf16) {
        size_t n = count / 2;
        if (n > outCap) return 0;
        for (size_t i = 0; i < n; ++i) {
            uint8_t a = bytes[2 * i], b = bytes[2 * i + 1];
            out[i] = bigEndian ? static_cast<char16_t>(a << 8 | b) : static_cast<char16_t>(b << 8 | a);
            if (posMap) posMap[i] = static_cast<uint32_t>(2 * i);
        }
        return static_cast<uint32_t>(n);
    }
    if (MaxBytesPerChar(static_cast<int>(from)) > 1) {
        CharsetState fresh{};
        int32_t n = Charset::Continue(state ? state : &fresh, static_cast<int>(from), bytes, count,
                                      out, outCap, posMap, true);
        return n < 0 ? 0 : static_cast<uint32_t>(n);
    }
    int32_t n = from == CodePages::kWindows1252 && count <= outCap
                    ? static_cast<int32_t>(Decode1252(out, bytes, count))
                    : Charset::ToUtf16(static_cast<int>(from), bytes, count, out, outCap);
    if (n < 0) return 0;
    if (posMap)
        for (int32_t i = 0; i < n; ++i) posMap[i] = static_cast<uint32_t>(i);
    return static_cast<uint32_t>(n);
}

}  // namespace CodePage

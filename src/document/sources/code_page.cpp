#include "document/sources/code_page.h"

#include <cstring>

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

}  // namespace

uint32_t Choose(uint32_t detected, uint32_t requested) {
    if (requested == 65002 || detected == 65002 || detected == 65001 ||
        (detected == 1252 && requested == 65020))
        return requested;
    return detected;
}

bool NeedsConversion(uint32_t from, uint32_t to, bool allowed) {
    if (!allowed || from == to) return false;
    if (from != 65002 && MaxBytesPerChar(static_cast<int>(from)) > 1) return true;
    return to != 65002 && MaxBytesPerChar(static_cast<int>(to)) > 1;
}

uint32_t Decode(char16_t* out, size_t outCap, const uint8_t* bytes, size_t count, uint32_t from,
                bool bigEndian, uint32_t to, CharsetState* state, bool allowed,
                uint32_t* posMap) {
    if (!allowed || to != 65002) return 0;
    if (from == 65002) {
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
    int32_t n = from == 1252 && count <= outCap
                    ? static_cast<int32_t>(Decode1252(out, bytes, count))
                    : Charset::ToUtf16(static_cast<int>(from), bytes, count, out, outCap);
    if (n < 0) return 0;
    if (posMap)
        for (int32_t i = 0; i < n; ++i) posMap[i] = static_cast<uint32_t>(i);
    return static_cast<uint32_t>(n);
}

}  // namespace CodePage

#include "core/charset.h"

#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>

#include "platform/kernel/utf.h"

namespace {

int g_systemCodePage = CodePages::kWindows1252;


int Resolve(int codePage) {
    return codePage == CodePages::kSystem ? g_systemCodePage : codePage;
}

bool IsDoubleByte(int cp) {
    return cp == CodePages::kShiftJis || cp == CodePages::kGbk || cp == CodePages::kKorean ||
           cp == CodePages::kBig5 || cp == CodePages::kJohab;
}

// Pages with shift states or of up to four bytes a character: no byte table, only whole
// buffers through the host converter.
bool ConvertsWholeBuffers(int cp) {
    return cp == CodePages::kGb18030 || cp == CodePages::kIso2022Jp || cp == CodePages::kUtf7 ||
           cp == CodePages::kUtf16Le || cp == CodePages::kUtf16Be;
}

// Host converter name of a code page, or null.
bool IconvName(int cp, char* name, size_t cap) {
    const char* fixed = nullptr;
    switch (cp) {
        case CodePages::kAscii:
            fixed = "ASCII";
            break;
        case CodePages::kIso2022Jp:
            fixed = "ISO-2022-JP";
            break;
        case CodePages::kEucJp:
            fixed = "EUC-JP";
            break;
        case CodePages::kEucKr:
            fixed = "EUC-KR";
            break;
        case CodePages::kGb18030:
            fixed = "GB18030";
            break;
        case CodePages::kUtf16Le:
            fixed = "UTF-16LE";
            break;
        case CodePages::kUtf16Be:
            fixed = "UTF-16BE";
            break;
        case CodePages::kUtf7:
            fixed = "UTF-7";
            break;
        case CodePages::kJohab:
            fixed = "JOHAB";
            break;
        case CodePages::kKoi8R:
            fixed = "KOI8-R";
            break;
        case CodePages::kKoi8U:
            fixed = "KOI8-U";
            break;
        case CodePages::kMacRoman:
            fixed = "MACINTOSH";
            break;
        default:
            break;
    }
    if (fixed) {
        std::snprintf(name, cap, "%s", fixed);
        return true;
    }
    if (cp >= CodePages::kLatin1 && cp <= CodePages::kIso8859Last) {
        int part = cp - CodePages::kLatin1 + 1;
        if (part == 10 || part == 12 || part == 14) return false;
        std::snprintf(name, cap, "ISO-8859-%d", part);
        return true;
    }
    if (cp > 0 && cp < 2000) {
        std::snprintf(name, cap, "CP%d", cp);
        return true;
    }
    return false;
}

// Decoding tables built once per code page from the host converter: 256 entries for the single
// bytes, and for double-byte pages 65536 entries for lead byte << 8 | trail byte. 0 = none.
struct Table {
    int codePage = 0;
    bool doubleByte = false;
    bool leadByte[256] = {};
    bool pairLead[256] = {};  // a lead byte that begins at least one character
    char16_t single[256] = {};
    std::unique_ptr<char16_t[]> pairs;
    std::unique_ptr<uint16_t[]> reverse;  // UTF-16 unit -> bytes (hi byte = lead, 0 = none)
};

std::mutex g_tableLock;
std::unique_ptr<Table> g_tables[16];
int g_tableCount = 0;

char16_t ConvertOne(iconv_t cd, const uint8_t* bytes, size_t n) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char in[2] = {static_cast<char>(bytes[0]), n > 1 ? static_cast<char>(bytes[1]) : '\0'};
    char16_t out[4];
    char* ip = in;
    char* op = reinterpret_cast<char*>(out);
    size_t il = n, ol = sizeof(out);
    if (iconv(cd, &ip, &il, &op, &ol) == static_cast<size_t>(-1) || il != 0) return 0;
    if (sizeof(out) - ol != 2) return 0;  // unmapped or more than one unit
    return out[0];
}

const Table* GetTable(int cp) {
    std::lock_guard<std::mutex> lock(g_tableLock);
    for (int i = 0; i < g_tableCount; ++i)
        if (g_tables[i]->codePage == cp) return g_tables[i].get();
    if (g_tableCount == 16) return nullptr;
    char name[32];
    if (!IconvName(cp, name, sizeof(name))) return nullptr;
    if (ConvertsWholeBuffers(cp)) return nullptr;
    iconv_t cd = iconv_open("UTF-16LE", name);
    if (cd == reinterpret_cast<iconv_t>(-1)) return nullptr;
    std::unique_ptr<Table> t(new (std::nothrow) Table);
    if (!t) {
        iconv_close(cd);
        return nullptr;
    }
    t->codePage = cp;
    t->doubleByte = IsDoubleByte(cp);
    for (int b = 0; b < 256; ++b) {
        uint8_t byte = static_cast<uint8_t>(b);
        t->single[b] = ConvertOne(cd, &byte, 1);
        if (t->doubleByte && b >= 0x81 && t->single[b] == 0) t->leadByte[b] = true;
    }
    if (t->doubleByte) {
        t->pairs.reset(new (std::nothrow) char16_t[65536]());
        if (!t->pairs) {
            iconv_close(cd);
            return nullptr;
        }
        for (int lead = 0x81; lead < 256; ++lead) {
            if (!t->leadByte[lead]) continue;
            for (int trail = 0x40; trail < 256; ++trail) {
                uint8_t pair[2] = {static_cast<uint8_t>(lead), static_cast<uint8_t>(trail)};
                t->pairs[lead << 8 | trail] = ConvertOne(cd, pair, 2);
                if (t->pairs[lead << 8 | trail]) t->pairLead[lead] = true;
            }
        }
    }
    iconv_close(cd);
    t->reverse.reset(new (std::nothrow) uint16_t[65536]());
    if (t->reverse) {
        if (t->doubleByte) {
            for (int i = 0xFFFF; i >= 0x8100; --i)
                if (t->pairs[i]) t->reverse[t->pairs[i]] = static_cast<uint16_t>(i);
        }
        for (int b = 255; b >= 1; --b)
            if (t->single[b]) t->reverse[t->single[b]] = static_cast<uint16_t>(b);
    }
    g_tables[g_tableCount] = std::move(t);
    return g_tables[g_tableCount++].get();
}

// Whole-buffer conversion through the host converter for the pages without a table.
int32_t IconvConvert(const char* from, const char* to, const uint8_t* in, size_t n, uint8_t* out,
                     size_t outCap) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return -1;
    char* ip = const_cast<char*>(reinterpret_cast<const char*>(in));
    char* op = reinterpret_cast<char*>(out);
    size_t il = n, ol = outCap;
    bool fail = false;
    while (il > 0) {
        if (iconv(cd, &ip, &il, &op, &ol) != static_cast<size_t>(-1)) break;
        if (errno == E2BIG) {
            fail = true;
            break;
        }
        // Invalid or incomplete input: skip one byte and write a replacement.
        ++ip;
        --il;
        if (ol < 2) {
            fail = true;
            break;
        }
        op[0] = static_cast<char>(0xFD);
        op[1] = static_cast<char>(0xFF);
        op += 2;
        ol -= 2;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    iconv_close(cd);
    return fail ? -1 : static_cast<int32_t>(outCap - ol);
}

}  // namespace

int GetUnicodeCodePage() {
    return CodePages::kUtf16;
}
int SystemCodePage() {
    return g_systemCodePage;
}
void SetSystemCodePage(int codePage) {
    if (codePage != CodePages::kSystem && IsKnownCodePage(codePage)) g_systemCodePage = codePage;
}

int MaxBytesPerChar(int codePage) {
    int cp = Resolve(codePage);
    if (IsDoubleByte(cp)) return 2;
    if (cp == CodePages::kUtf8 || cp == CodePages::kGb18030) return 4;
    return 1;
}

bool IsKnownCodePage(int codePage) {
    int cp = Resolve(codePage);
    if (cp == CodePages::kUtf8 || cp == CodePages::kUtf16 || cp == CodePages::kWindows1252 ||
        cp == CodePages::kLatin1 || cp == CodePages::kAscii)
        return true;
    char name[32];
    if (!IconvName(cp, name, sizeof(name))) return false;
    iconv_t cd = iconv_open("UTF-16LE", name);
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    iconv_close(cd);
    return true;
}

int Cp1252::FromUnicode(char16_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return c;
    for (int i = 0; i < 32; ++i)
        if (Cp1252::kHigh[i] == c) return 0x80 + i;
    return -1;
}

int Utf16::Encode(uint32_t codePoint, char16_t* units) {
    return fvt::utf::EncodeUtf16(codePoint, units);
}

int Utf16::Decode(const char16_t* p, size_t n, uint32_t& codePoint) {
    return fvt::utf::DecodeUtf16(p, n, codePoint);
}

int Utf8::Decode(const uint8_t* p, size_t n, uint32_t& codePoint) {
    return fvt::utf::DecodeUtf8(p, n, codePoint);
}

bool Utf8::IsValid(const uint8_t* p, size_t n) {
    size_t i = 0;
    while (i < n) {
        uint32_t cp;
        if (p[i] < 0x80) {
            ++i;
            continue;
        }
        bool valid;
        i += fvt::utf::DecodeUtf8(p + i, n - i, cp, &valid);
        if (!valid) return false;
    }
    return true;
}

int Utf8::Encode(uint32_t cp, uint8_t* out) {
    return fvt::utf::EncodeUtf8(cp, out);
}

int32_t Utf8::DecodeToUtf16(const uint8_t* in, size_t n, char16_t* out, size_t outCap) {
    CharsetState state{};
    state.started = 1;
    if (outCap < Charset::MaxOutput(n)) {
        // Small buffers: decode one by one with a bound check.
        size_t o = 0, i = 0;
        while (i < n) {
            uint32_t cp;
            i += Decode(in + i, n - i, cp);
            if (o + (cp >= 0x10000 ? 2 : 1) > outCap) return -1;
            o += fvt::utf::EncodeUtf16(cp, out + o);
        }
        return static_cast<int32_t>(o);
    }
    return Charset::Continue(&state, CodePages::kUtf8, in, n, out, outCap, nullptr, true);
}

int32_t Utf8::EncodeFromUtf16(const char16_t* in, size_t n, uint8_t* out, size_t outCap) {
    size_t o = 0, i = 0;
    while (i < n) {
        char16_t c = in[i];
        if (c < 0x80) {
            if (o >= outCap) return -1;
            out[o++] = static_cast<uint8_t>(c);
            ++i;
            continue;
        }
        uint32_t cp;
        i += Utf16::Decode(in + i, n - i, cp);
        uint8_t buf[4];
        int len = Encode(cp, buf);
        if (o + len > outCap) return -1;
        std::memcpy(out + o, buf, len);
        o += len;
    }
    return static_cast<int32_t>(o);
}

int Charset::StateSize(int codePage) {
    int cp = Resolve(codePage);
    if (cp == CodePages::kUtf8 || IsDoubleByte(cp)) return static_cast<int>(sizeof(CharsetState));
    return 0;
}

bool Charset::IsLeadByte(int codePage, uint8_t b) {
    int cp = Resolve(codePage);
    if (!IsDoubleByte(cp)) return false;
    const Table* t = GetTable(cp);
    return t && t->pairLead[b];
}

int32_t Charset::Continue(CharsetState* state, int codePage, const uint8_t* in, size_t n,
                          char16_t* out, size_t outCap, uint32_t* posMap, bool final) {
    int cp = Resolve(codePage);
    if (outCap < MaxOutput(n) || (n > 0 && !in)) return -1;
    CharsetState scratch{};
    if (!state) {
        state = &scratch;
        scratch.started = 1;
    }
    size_t i = 0, o = 0;
    if (cp == CodePages::kUtf8) {
        if (!state->started) {
            while (i < n && i < 3 && (in[i] & 0xC0) == 0x80) ++i;
            state->started = 1;
        }
        // Finish a sequence carried over from the previous block.
        while (state->count > 0) {
            if (i < n && fvt::utf::Continues(state->pending[0], state->count, in[i])) {
                state->pending[state->count++] = in[i++];
                if (state->count == state->needed) {
                    uint32_t c = fvt::utf::Combine(state->pending, state->needed);
                    if (posMap) posMap[o] = posMap[o + (c >= 0x10000)] = 0;
                    o += fvt::utf::EncodeUtf16(c, out + o);
                    state->count = 0;
                }
            } else if (i < n || final) {
                if (posMap) posMap[o] = 0;
                out[o++] = 0xFFFD;  // cut short by a byte that cannot continue it
                state->count = 0;
            } else {
                return static_cast<int32_t>(o);  // block ended inside it again
            }
        }
        while (i < n) {
            // ASCII runs, eight bytes at a time.
            if (!posMap) {
                while (i + 8 <= n) {
                    uint64_t w;
                    std::memcpy(&w, in + i, 8);
                    if (w & 0x8080808080808080ull) break;
                    for (int k = 0; k < 8; ++k) out[o + k] = in[i + k];
                    o += 8;
                    i += 8;
                }
                if (i >= n) break;
            }
            uint8_t lead = in[i];
            if (lead < 0x80) {
                if (posMap) posMap[o] = static_cast<uint32_t>(i);
                out[o++] = lead;
                ++i;
                continue;
            }
            int len = fvt::utf::SequenceLength(lead);
            size_t start = i;
            if (len == 0) {
                if (posMap) posMap[o] = static_cast<uint32_t>(start);
                out[o++] = 0xFFFD;
                ++i;
                continue;
            }
            int k = 1;
            while (k < len && i + k < n && fvt::utf::Continues(lead, k, in[i + k])) ++k;
            if (k == len) {
                uint32_t c = fvt::utf::Combine(in + i, len);
                if (posMap) {
                    posMap[o] = static_cast<uint32_t>(start);
                    if (c >= 0x10000) posMap[o + 1] = static_cast<uint32_t>(start);
                }
                o += fvt::utf::EncodeUtf16(c, out + o);
                i += len;
            } else if (i + k == n && !final) {
                std::memcpy(state->pending, in + i, k);
                state->count = static_cast<uint8_t>(k);
                state->needed = static_cast<uint8_t>(len);
                i = n;
            } else {
                if (posMap) posMap[o] = static_cast<uint32_t>(start);
                out[o++] = 0xFFFD;
                i += k;
            }
        }
        return static_cast<int32_t>(o);
    }
    if (cp == CodePages::kUtf16) {
        // UTF-16LE bytes: an odd byte is carried over.
        if (state->count == 1 && n > 0) {
            if (posMap) posMap[o] = 0;
            out[o++] = static_cast<char16_t>(state->pending[0] | in[0] << 8);
            state->count = 0;
            i = 1;
        }
        for (; i + 1 < n; i += 2) {
            if (posMap) posMap[o] = static_cast<uint32_t>(i);
            out[o++] = static_cast<char16_t>(in[i] | in[i + 1] << 8);
        }
        if (i < n) {
            if (final) {
                if (posMap) posMap[o] = static_cast<uint32_t>(i);
                out[o++] = 0xFFFD;
            } else {
                state->pending[0] = in[i];
                state->count = 1;
            }
        }
        return static_cast<int32_t>(o);
    }
    if (cp == CodePages::kWindows1252 || cp == CodePages::kLatin1 || cp == CodePages::kAscii) {
        for (; i < n; ++i) {
            uint8_t b = in[i];
            char16_t c = b;
            if (b >= 0x80) {
                if (cp == CodePages::kWindows1252)
                    c = Cp1252::ToUnicode(b);
                else if (cp == CodePages::kAscii)
                    c = 0xFFFD;
            }
            if (posMap) posMap[o] = static_cast<uint32_t>(i);
            out[o++] = c;
        }
        return static_cast<int32_t>(o);
    }
    const Table* t = GetTable(cp);
    if (!t) {
        // No table (stateful or four-byte pages): whole-buffer conversion, no position map.
        if (posMap || !ConvertsWholeBuffers(cp)) return -1;
        char name[32];
        if (!IconvName(cp, name, sizeof(name))) return -1;
        int32_t bytes =
            IconvConvert(name, "UTF-16LE", in, n, reinterpret_cast<uint8_t*>(out), outCap * 2);
        return bytes < 0 ? -1 : bytes / 2;
    }
    if (t->doubleByte && state->count == 1) {
        if (n == 0 && !final) return 0;
        if (posMap) posMap[o] = 0;
        char16_t c = n > 0 ? t->pairs[state->pending[0] << 8 | in[0]] : 0;
        out[o++] = c ? c : 0xFFFD;
        state->count = 0;
        if (c) i = 1;
    }
    while (i < n) {
        uint8_t b = in[i];
        if (posMap) posMap[o] = static_cast<uint32_t>(i);
        if (t->doubleByte && t->leadByte[b]) {
            if (i + 1 == n) {
                if (final) {
                    out[o++] = 0xFFFD;
                } else {
                    state->pending[0] = b;
                    state->count = 1;
                }
                ++i;
                continue;
            }
            char16_t c = t->pairs[b << 8 | in[i + 1]];
            out[o++] = c ? c : 0xFFFD;
            i += c ? 2 : 1;
            continue;
        }
        char16_t c = t->single[b];
        out[o++] = (c || b == 0) ? c : 0xFFFD;
        ++i;
    }
    return static_cast<int32_t>(o);
}

int32_t Charset::ToUtf16(int codePage, const uint8_t* in, size_t n, char16_t* out, size_t outCap) {
    int cp = Resolve(codePage);
    if (n > 0 && !in) return -1;
    if (cp == CodePages::kUtf16) {
        size_t units = n / 2 + (n & 1);
        if (outCap < units) return -1;
        for (size_t i = 0; i + 1 < n; i += 2)
            out[i / 2] = static_cast<char16_t>(in[i] | in[i + 1] << 8);
        if (n & 1) out[n / 2] = 0xFFFD;
        return static_cast<int32_t>(units);
    }
    if (cp == CodePages::kUtf8) return Utf8::DecodeToUtf16(in, n, out, outCap);
    if (ConvertsWholeBuffers(cp)) {
        char name[32];
        if (!IconvName(cp, name, sizeof(name))) return -1;
        int32_t bytes =
            IconvConvert(name, "UTF-16LE", in, n, reinterpret_cast<uint8_t*>(out), outCap * 2);
        return bytes < 0 ? -1 : bytes / 2;
    }
    if (outCap < MaxOutput(n)) {
        char16_t* tmp = static_cast<char16_t*>(std::malloc(sizeof(char16_t) * MaxOutput(n)));
        if (!tmp) return -1;
        int32_t r = ToUtf16(cp, in, n, tmp, MaxOutput(n));
        if (r >= 0 && static_cast<size_t>(r) > outCap) r = -1;
        if (r > 0) std::memcpy(out, tmp, sizeof(char16_t) * r);
        std::free(tmp);
        return r;
    }
    CharsetState state{};
    state.started = 1;
    return Continue(&state, cp, in, n, out, outCap, nullptr, true);
}

int32_t Charset::FromUtf16(int codePage, const char16_t* in, size_t n, uint8_t* out, size_t outCap,
                           bool* lossy) {
    int cp = Resolve(codePage);
    if (lossy) *lossy = false;
    if (n > 0 && !in) return -1;
    if (cp == CodePages::kUtf16) {
        if (outCap < n * 2) return -1;
        for (size_t i = 0; i < n; ++i) {
            out[2 * i] = static_cast<uint8_t>(in[i]);
            out[2 * i + 1] = static_cast<uint8_t>(in[i] >> 8);
        }
        return static_cast<int32_t>(n * 2);
    }
    if (cp == CodePages::kUtf8) return Utf8::EncodeFromUtf16(in, n, out, outCap);
    const Table* t = nullptr;
    if (cp != CodePages::kWindows1252 && cp != CodePages::kLatin1 && cp != CodePages::kAscii) {
        t = GetTable(cp);
        if (!t) {
            char name[32];
            if (!IconvName(cp, name, sizeof(name))) return -1;
            return IconvConvert("UTF-16LE", name, reinterpret_cast<const uint8_t*>(in), n * 2, out,
                                outCap);
        }
    }
    size_t o = 0;
    for (size_t i = 0; i < n; ++i) {
        char16_t c = in[i];
        int bytes = -1;
        if (cp == CodePages::kWindows1252)
            bytes = Cp1252::FromUnicode(c);
        else if (cp == CodePages::kLatin1)
            bytes = c < 0x100 ? c : -1;
        else if (cp == CodePages::kAscii)
            bytes = c < 0x80 ? c : -1;
        else if (c == 0)
            bytes = 0;
        else if (t->reverse && t->reverse[c])
            bytes = t->reverse[c];
        if (bytes < 0) {
            if (lossy) *lossy = true;
            if (Utf16::IsHigh(c) && i + 1 < n && Utf16::IsLow(in[i + 1])) ++i;
            bytes = '?';
        }
        if (bytes > 0xFF) {
            if (o + 2 > outCap) return -1;
            out[o++] = static_cast<uint8_t>(bytes >> 8);
            out[o++] = static_cast<uint8_t>(bytes);
        } else {
            if (o + 1 > outCap) return -1;
            out[o++] = static_cast<uint8_t>(bytes);
        }
    }
    return static_cast<int32_t>(o);
}

#include "platform/kernel/char_conversion.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

#include "platform/kernel/wide.h"
#include "platform/last_error.h"

namespace fvt {

namespace {

// The device's ANSI code page, and the double-byte pages the layer converts through iconv.
constexpr UINT kAnsiCodePage = 1252;
constexpr UINT kShiftJis = 932;
constexpr UINT kGbk = 936;
constexpr UINT kKorean = 949;
constexpr UINT kBig5 = 950;

// Bytes 0x80-0x9F of Windows-1252; the five unassigned bytes map to the same C1 code points.
const char16_t k1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

const char* IconvName(UINT codePage) {
    switch (codePage) {
        case kShiftJis:
            return "CP932";
        case kGbk:
            return "CP936";
        case kKorean:
            return "CP949";
        case kBig5:
            return "CP950";
        default:
            return nullptr;
    }
}

UINT Normalise(UINT codePage) {
    return codePage == CP_ACP || codePage == CP_OEMCP ? kAnsiCodePage : codePage;
}

// Converts through iconv one character at a time where the input is bad, so that the rest of
// the text survives. False when the code page is unavailable or (strict) the input is bad.
bool IconvToWide(const char* name, std::string_view in, bool strict, std::u16string& out) {
    iconv_t cd = iconv_open("UTF-16LE", name);
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    out.clear();
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char buffer[1024];
    bool ok = true;
    while (srcLeft > 0) {
        char* dst = buffer;
        size_t dstLeft = sizeof buffer;
        size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        for (char* p = buffer; p + 1 < dst; p += 2) {
            out.push_back(static_cast<char16_t>(static_cast<unsigned char>(p[0]) |
                                                (static_cast<unsigned char>(p[1]) << 8)));
        }
        if (r == static_cast<size_t>(-1)) {
            if (errno == E2BIG) continue;
            if (strict) {
                ok = false;
                break;
            }
            out.push_back(0xFFFD);  // an invalid or cut-off sequence: skip one byte
            ++src;
            --srcLeft;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    iconv_close(cd);
    return ok;
}

bool IconvFromWide(const char* name, std::u16string_view in, char fallback, bool& usedDefault,
                   std::string& out) {
    iconv_t cd = iconv_open(name, "UTF-16LE");
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    std::string bytes;
    for (char16_t c : in) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>(c >> 8));
    }
    out.clear();
    char* src = bytes.data();
    size_t srcLeft = bytes.size();
    char buffer[1024];
    while (srcLeft > 0) {
        char* dst = buffer;
        size_t dstLeft = sizeof buffer;
        size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buffer, static_cast<size_t>(dst - buffer));
        if (r == static_cast<size_t>(-1)) {
            if (errno == E2BIG) continue;
            // A character the page lacks (or a lone surrogate): the default character.
            out.push_back(fallback);
            usedDefault = true;
            size_t skip = 2;
            if (errno != EINVAL && srcLeft >= 4) {
                char16_t first = static_cast<char16_t>(static_cast<unsigned char>(src[0]) |
                                                       (static_cast<unsigned char>(src[1]) << 8));
                if (first >= 0xD800 && first <= 0xDBFF) skip = 4;
            }
            skip = std::min(skip, srcLeft);
            src += skip;
            srcLeft -= skip;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    iconv_close(cd);
    return true;
}

bool ToWide(UINT codePage, std::string_view in, bool strict, std::u16string& out) {
    codePage = Normalise(codePage);
    if (codePage == kAnsiCodePage) {
        out.clear();
        for (unsigned char b : in) out.push_back(b >= 0x80 && b < 0xA0 ? k1252High[b - 0x80] : b);
        return true;
    }
    if (codePage == CP_UTF8) {
        if (strict && !IsValidUtf8(in)) return false;
        out = Utf8ToWide(in);
        return true;
    }
    const char* name = IconvName(codePage);
    return name && IconvToWide(name, in, strict, out);
}

bool FromWide(UINT codePage, std::u16string_view in, char fallback, bool& usedDefault,
              std::string& out) {
    codePage = Normalise(codePage);
    if (codePage == kAnsiCodePage) {
        out.clear();
        for (char16_t c : in) {
            if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
                out.push_back(static_cast<char>(c));
                continue;
            }
            const char16_t* hit = std::find(std::begin(k1252High), std::end(k1252High), c);
            if (hit != std::end(k1252High)) {
                out.push_back(static_cast<char>(0x80 + (hit - k1252High)));
            } else {
                out.push_back(fallback);
                usedDefault = true;
            }
        }
        return true;
    }
    if (codePage == CP_UTF8) {
        out = WideToUtf8(in);
        return true;
    }
    const char* name = IconvName(codePage);
    return name && IconvFromWide(name, in, fallback, usedDefault, out);
}

}  // namespace

}  // namespace fvt

using namespace fvt;

extern "C" int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR multiByte,
                                   int multiByteLength, LPWSTR wide, int wideLength) {
    if (!multiByte || multiByteLength < -1 || multiByteLength == 0 || wideLength < 0 ||
        (wideLength > 0 && !wide)) {
        return Fail(ERROR_INVALID_PARAMETER, 0);
    }
    size_t length =
        multiByteLength == -1 ? std::strlen(multiByte) + 1 : static_cast<size_t>(multiByteLength);
    std::u16string out;
    if (!IsValidCodePage(Normalise(codePage))) return Fail(ERROR_INVALID_PARAMETER, 0);
    if (!ToWide(codePage, std::string_view(multiByte, length), flags & MB_ERR_INVALID_CHARS, out)) {
        return Fail(ERROR_NO_UNICODE_TRANSLATION, 0);
    }
    if (out.size() > 0x7FFFFFFF) return Fail(ERROR_NOT_ENOUGH_MEMORY, 0);
    if (wideLength == 0) return static_cast<int>(out.size());
    if (out.size() > static_cast<size_t>(wideLength)) return Fail(ERROR_INSUFFICIENT_BUFFER, 0);
    std::memcpy(wide, out.data(), out.size() * sizeof(char16_t));
    return static_cast<int>(out.size());
}

extern "C" int WideCharToMultiByte(UINT codePage, DWORD, LPCWSTR wide, int wideLength,
                                   LPSTR multiByte, int multiByteLength, LPCSTR defaultChar,
                                   LPBOOL usedDefaultChar) {
    if (!wide || wideLength < -1 || wideLength == 0 || multiByteLength < 0 ||
        (multiByteLength > 0 && !multiByte)) {
        return Fail(ERROR_INVALID_PARAMETER, 0);
    }
    if (Normalise(codePage) == CP_UTF8 && (defaultChar || usedDefaultChar)) {
        return Fail(ERROR_INVALID_PARAMETER, 0);
    }
    if (!IsValidCodePage(Normalise(codePage))) return Fail(ERROR_INVALID_PARAMETER, 0);
    size_t length = wideLength == -1 ? WideLength(wide) + 1 : static_cast<size_t>(wideLength);
    bool used = false;
    std::string out;
    if (!FromWide(codePage, std::u16string_view(wide, length), defaultChar ? *defaultChar : '?',
                  used, out)) {
        return Fail(ERROR_INVALID_PARAMETER, 0);
    }
    if (usedDefaultChar) *usedDefaultChar = used ? TRUE : FALSE;
    if (out.size() > 0x7FFFFFFF) return Fail(ERROR_NOT_ENOUGH_MEMORY, 0);
    if (multiByteLength == 0) return static_cast<int>(out.size());
    if (out.size() > static_cast<size_t>(multiByteLength)) {
        return Fail(ERROR_INSUFFICIENT_BUFFER, 0);
    }
    std::memcpy(multiByte, out.data(), out.size());
    return static_cast<int>(out.size());
}

extern "C" BOOL IsValidCodePage(UINT codePage) {
    if (codePage == kAnsiCodePage || codePage == CP_UTF8) return TRUE;
    const char* name = IconvName(codePage);
    if (!name) return FALSE;
    iconv_t cd = iconv_open("UTF-16LE", name);
    if (cd == reinterpret_cast<iconv_t>(-1)) return FALSE;
    iconv_close(cd);
    return TRUE;
}

extern "C" UINT GetACP() {
    return kAnsiCodePage;
}

extern "C" HRESULT ConvertINetMultiByteToUnicode(DWORD* mode, DWORD encoding, LPCSTR source,
                                                 int* sourceSize, LPWSTR destination,
                                                 int* destinationSize) {
    (void)mode;  // no state is carried between calls: each call converts whole characters
    if (!sourceSize || !destinationSize || (!source && *sourceSize != 0) || *sourceSize < -1 ||
        *destinationSize < 0) {
        return E_INVALIDARG;
    }
    size_t length = *sourceSize == -1 ? std::strlen(source) : static_cast<size_t>(*sourceSize);
    std::u16string out;
    if (length > 0 && (!IsValidCodePage(encoding) ||
                       !ToWide(encoding, std::string_view(source, length), false, out))) {
        return E_FAIL;
    }
    *sourceSize = static_cast<int>(length);
    if (!destination) {
        *destinationSize = static_cast<int>(out.size());
        return S_OK;
    }
    // What does not fit is cut at a whole character (never half a surrogate pair).
    size_t fit = std::min(out.size(), static_cast<size_t>(*destinationSize));
    if (fit < out.size() && fit > 0 && out[fit - 1] >= 0xD800 && out[fit - 1] <= 0xDBFF) --fit;
    std::memcpy(destination, out.data(), fit * sizeof(char16_t));
    *destinationSize = static_cast<int>(fit);
    return S_OK;
}

// Cracking and combining URLs (RFC 3986: generic syntax, reference resolution, dot segments).
#include "platform/inet/url.h"

#include <algorithm>

#include "platform/kernel/wide.h"
#include "platform/last_error.h"

namespace fvt::inet {

namespace {

bool IsAlpha(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}
bool IsDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

int HexValue(char16_t c) {
    if (IsDigit(c)) return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

struct SchemeName {
    const char16_t* name;
    int number;
    INTERNET_PORT port;
};
constexpr SchemeName kSchemes[] = {
    {u"ftp", INTERNET_SCHEME_FTP, 21},      {u"gopher", INTERNET_SCHEME_GOPHER, 70},
    {u"http", INTERNET_SCHEME_HTTP, 80},    {u"https", INTERNET_SCHEME_HTTPS, 443},
    {u"file", INTERNET_SCHEME_FILE, 0},     {u"news", INTERNET_SCHEME_NEWS, 0},
    {u"mailto", INTERNET_SCHEME_MAILTO, 0}, {u"socks", INTERNET_SCHEME_SOCKS, 1080},
};

// Removes "." and ".." segments (RFC 3986 5.2.4).
std::u16string RemoveDotSegments(std::u16string in) {
    std::u16string out;
    while (!in.empty()) {
        if (in.rfind(u"../", 0) == 0) {
            in.erase(0, 3);
        } else if (in.rfind(u"./", 0) == 0) {
            in.erase(0, 2);
        } else if (in.rfind(u"/./", 0) == 0) {
            in.erase(0, 2);
        } else if (in == u"/.") {
            in = u"/";
        } else if (in.rfind(u"/../", 0) == 0 || in == u"/..") {
            in = in.size() == 3 ? std::u16string(u"/") : in.substr(3);
            auto slash = out.rfind(u'/');
            out.erase(slash == std::u16string::npos ? 0 : slash);
        } else if (in == u"." || in == u"..") {
            in.clear();
        } else {
            size_t next = in.find(u'/', 1);
            if (next == std::u16string::npos) next = in.size();
            out += in.substr(0, next);
            in.erase(0, next);
        }
    }
    return out;
}

// The parts of a reference (RFC 3986 appendix B); a part that is absent is marked so.
struct Reference {
    bool hasScheme = false, hasAuthority = false, hasQuery = false, hasFragment = false;
    std::u16string scheme, authority, path, query, fragment;
};

Reference Split(std::u16string_view s) {
    Reference r;
    size_t i = 0;
    size_t colon = s.find(u':');
    if (colon != std::u16string_view::npos && colon > 0 && IsAlpha(s[0])) {
        bool ok = true;
        for (size_t k = 1; k < colon; ++k) {
            char16_t c = s[k];
            if (!IsAlpha(c) && !IsDigit(c) && c != u'+' && c != u'-' && c != u'.') ok = false;
        }
        if (ok) {
            r.hasScheme = true;
            r.scheme.assign(s.substr(0, colon));
            i = colon + 1;
        }
    }
    if (s.substr(i, 2) == u"//") {
        r.hasAuthority = true;
        size_t end = s.find_first_of(u"/?#", i + 2);
        // A device path after "file://" starts with a backslash; it is not part of a host.
        size_t back = s.find(u'\\', i + 2);
        if (back != std::u16string_view::npos && (end == std::u16string_view::npos || back < end)) {
            end = back;
        }
        if (end == std::u16string_view::npos) end = s.size();
        r.authority.assign(s.substr(i + 2, end - i - 2));
        i = end;
    }
    size_t end = s.find_first_of(u"?#", i);
    if (end == std::u16string_view::npos) end = s.size();
    r.path.assign(s.substr(i, end - i));
    i = end;
    if (i < s.size() && s[i] == u'?') {
        r.hasQuery = true;
        end = s.find(u'#', i);
        if (end == std::u16string_view::npos) end = s.size();
        r.query.assign(s.substr(i + 1, end - i - 1));
        i = end;
    }
    if (i < s.size() && s[i] == u'#') {
        r.hasFragment = true;
        r.fragment.assign(s.substr(i + 1));
    }
    return r;
}

std::u16string Join(const Reference& r) {
    std::u16string out;
    if (r.hasScheme) out += r.scheme + u":";
    if (r.hasAuthority) out += u"//" + r.authority;
    out += r.path;
    if (r.hasQuery) out += u"?" + r.query;
    if (r.hasFragment) out += u"#" + r.fragment;
    return out;
}

// Merges a relative path with the base path (RFC 3986 5.2.3); device paths in file URLs use
// backslashes, which count as separators too.
std::u16string Merge(const Reference& base, const std::u16string& path) {
    if (base.hasAuthority && base.path.empty()) return u"/" + path;
    size_t last = base.path.find_last_of(u"/\\");
    if (last == std::u16string::npos) return path;
    return base.path.substr(0, last + 1) + path;
}

bool NeedsEscape(char16_t c) {
    return c <= 0x20 || c == 0x7F || c == u'"' || c == u'<' || c == u'>';
}

std::u16string Escape(std::u16string_view s) {
    static const char16_t kHex[] = u"0123456789ABCDEF";
    std::u16string out;
    for (char16_t c : s) {
        if (NeedsEscape(c)) {
            out += u'%';
            out += kHex[(c >> 4) & 0xF];
            out += kHex[c & 0xF];
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace

std::u16string PercentDecode(std::u16string_view s) {
    std::string bytes;
    std::u16string out;
    auto flush = [&] {
        if (!bytes.empty()) out += Utf8ToWide(bytes);
        bytes.clear();
    };
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == u'%' && i + 2 < s.size() && HexValue(s[i + 1]) >= 0 &&
            HexValue(s[i + 2]) >= 0) {
            bytes += static_cast<char>(HexValue(s[i + 1]) * 16 + HexValue(s[i + 2]));
            i += 2;
        } else {
            flush();
            out += s[i];
        }
    }
    flush();
    return out;
}

int SchemeNumber(std::u16string_view scheme) {
    for (auto& s : kSchemes) {
        if (EqualsNoCase(scheme, s.name)) return s.number;
    }
    return INTERNET_SCHEME_UNKNOWN;
}

INTERNET_PORT DefaultPort(int scheme) {
    for (auto& s : kSchemes) {
        if (s.number == scheme) return s.port;
    }
    return 0;
}

bool Crack(std::u16string_view url, CrackedUrl& out) {
    Reference r = Split(url);
    if (!r.hasScheme) return Fail(ERROR_INTERNET_UNRECOGNIZED_SCHEME, false);
    out = CrackedUrl{};
    out.scheme = r.scheme;
    out.schemeNumber = SchemeNumber(r.scheme);
    out.port = DefaultPort(out.schemeNumber);
    size_t authorityStart = r.scheme.size() + 1 + (r.hasAuthority ? 2 : 0);
    std::u16string_view authority = r.authority;
    out.hostOffset = authorityStart;
    size_t at = authority.rfind(u'@');
    if (at != std::u16string_view::npos) {
        std::u16string_view userInfo = authority.substr(0, at);
        size_t colon = userInfo.find(u':');
        out.user.assign(userInfo.substr(0, colon));
        out.userOffset = authorityStart;
        if (colon != std::u16string_view::npos) {
            out.password.assign(userInfo.substr(colon + 1));
            out.passwordOffset = authorityStart + colon + 1;
        }
        authority.remove_prefix(at + 1);
        out.hostOffset = authorityStart + at + 1;
    }
    size_t colon = authority.rfind(u':');
    if (colon != std::u16string_view::npos &&
        authority.find(u']', colon) == std::u16string_view::npos) {
        std::u16string_view digits = authority.substr(colon + 1);
        uint32_t port = 0;
        for (char16_t c : digits) {
            if (!IsDigit(c)) return Fail(ERROR_INTERNET_INVALID_URL, false);
            port = port * 10 + (c - u'0');
            if (port > 65535) return Fail(ERROR_INTERNET_INVALID_URL, false);
        }
        if (!digits.empty()) out.port = static_cast<INTERNET_PORT>(port);
        authority = authority.substr(0, colon);
    }
    out.host.assign(authority);
    out.pathOffset = authorityStart + r.authority.size();
    out.path = r.path;
    if (r.hasQuery) out.extra += u"?" + r.query;
    if (r.hasFragment) out.extra += u"#" + r.fragment;
    out.extraOffset = out.pathOffset + out.path.size();
    if ((out.schemeNumber == INTERNET_SCHEME_HTTP || out.schemeNumber == INTERNET_SCHEME_HTTPS) &&
        out.host.empty()) {
        return Fail(ERROR_INTERNET_INVALID_URL, false);
    }
    return true;
}

bool Combine(std::u16string_view base, std::u16string_view relative, DWORD flags,
             std::u16string& out) {
    Reference b = Split(base);
    Reference r = Split(relative);
    Reference t;
    if (r.hasScheme && !(b.hasScheme && EqualsNoCase(r.scheme, b.scheme) && !r.hasAuthority &&
                         (flags & ICU_BROWSER_MODE) && !r.path.empty() && r.path[0] != u'/')) {
        t = r;
        t.path = RemoveDotSegments(r.path);
    } else {
        if (r.hasScheme) r.hasScheme = false;  // "http:page.htm" against an http base
        if (!b.hasScheme && !relative.empty() && base.empty()) {
            t = r;
        } else if (r.hasAuthority) {
            t = r;
            t.path = RemoveDotSegments(r.path);
        } else {
            t.hasAuthority = b.hasAuthority;
            t.authority = b.authority;
            if (r.path.empty()) {
                t.path = b.path;
                t.hasQuery = r.hasQuery ? true : b.hasQuery;
                t.query = r.hasQuery ? r.query : b.query;
            } else {
                bool absolute = r.path[0] == u'/' || r.path[0] == u'\\';
                t.path = RemoveDotSegments(absolute ? r.path : Merge(b, r.path));
                t.hasQuery = r.hasQuery;
                t.query = r.query;
            }
        }
        t.hasScheme = b.hasScheme;
        t.scheme = b.scheme;
        t.hasFragment = r.hasFragment;
        t.fragment = r.fragment;
    }
    if (!t.hasScheme) return Fail(ERROR_INTERNET_INVALID_URL, false);
    out = Join(t);
    if (flags & ICU_BROWSER_MODE) {
        while (!out.empty() && (out.back() == u' ' || out.back() == u'\t')) out.pop_back();
    }
    if (flags & ICU_DECODE) out = PercentDecode(out);
    if (!(flags & ICU_NO_ENCODE) && !(flags & ICU_DECODE)) {
        // Browser mode leaves what follows '?' or '#' as given.
        size_t stop = (flags & ICU_BROWSER_MODE) ? out.find_first_of(u"?#") : std::u16string::npos;
        if (stop == std::u16string::npos) stop = out.size();
        out = Escape(std::u16string_view(out).substr(0, stop)) + out.substr(stop);
    }
    return true;
}

}  // namespace fvt::inet

using namespace fvt;

namespace {

// Hands one part back as the caller asked: a pointer into the URL, a copy, or nothing.
bool Deliver(LPCWSTR url, size_t offset, const std::u16string& value, bool fromUrl, LPWSTR* pointer,
             DWORD* length) {
    if (*length == 0) return true;
    if (!*pointer) {
        if (fromUrl) {
            *pointer = const_cast<LPWSTR>(url + offset);
            *length = static_cast<DWORD>(value.size());
        } else {
            *length = 0;  // decoded parts have no place in the URL
        }
        return true;
    }
    if (value.size() + 1 > *length) {
        *length = static_cast<DWORD>(value.size() + 1);
        return Fail(ERROR_INSUFFICIENT_BUFFER, false);
    }
    std::copy(value.begin(), value.end(), *pointer);
    (*pointer)[value.size()] = 0;
    *length = static_cast<DWORD>(value.size());
    return true;
}

}  // namespace

extern "C" BOOL InternetCrackUrlW(LPCWSTR url, DWORD urlLength, DWORD flags, URL_COMPONENTSW* c) {
    if (!url || !c || c->dwStructSize < sizeof(URL_COMPONENTSW)) {
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    }
    std::u16string_view view = urlLength ? std::u16string_view(url, urlLength) : WideView(url);
    inet::CrackedUrl parts;
    if (!inet::Crack(view, parts)) return FALSE;
    // Decoded parts no longer match the URL's characters: they can only be copied.
    bool raw = (flags & ICU_DECODE) == 0;
    if (!raw) {
        parts.user = inet::PercentDecode(parts.user);
        parts.password = inet::PercentDecode(parts.password);
        parts.path = inet::PercentDecode(parts.path);
        parts.extra = inet::PercentDecode(parts.extra);
    }
    c->nScheme = parts.schemeNumber;
    c->nPort = parts.port;
    bool ok = Deliver(url, 0, parts.scheme, true, &c->lpszScheme, &c->dwSchemeLength);
    ok = Deliver(url, parts.hostOffset, parts.host, true, &c->lpszHostName, &c->dwHostNameLength) &&
         ok;
    ok = Deliver(url, parts.userOffset, parts.user, raw, &c->lpszUserName, &c->dwUserNameLength) &&
         ok;
    ok = Deliver(url, parts.passwordOffset, parts.password, raw, &c->lpszPassword,
                 &c->dwPasswordLength) &&
         ok;
    ok =
        Deliver(url, parts.pathOffset, parts.path, raw, &c->lpszUrlPath, &c->dwUrlPathLength) && ok;
    ok = Deliver(url, parts.extraOffset, parts.extra, raw, &c->lpszExtraInfo,
                 &c->dwExtraInfoLength) &&
         ok;
    return ok ? TRUE : Fail(ERROR_INSUFFICIENT_BUFFER, FALSE);
}

extern "C" BOOL InternetCombineUrlW(LPCWSTR base, LPCWSTR relative, LPWSTR buffer,
                                    DWORD* bufferLength, DWORD flags) {
    if (!base || !relative || !bufferLength) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    std::u16string out;
    if (!inet::Combine(WideView(base), WideView(relative), flags, out)) return FALSE;
    if (!buffer || *bufferLength < out.size() + 1) {
        *bufferLength = static_cast<DWORD>(out.size() + 1);
        return Fail(ERROR_INSUFFICIENT_BUFFER, FALSE);
    }
    std::copy(out.begin(), out.end(), buffer);
    buffer[out.size()] = 0;
    *bufferLength = static_cast<DWORD>(out.size());
    return TRUE;
}

// The HTTP requests and URL handles of the internet functions.
#include <algorithm>

#include "platform/inet/internet_object.h"
#include "platform/inet/url.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/wide.h"
#include "platform/last_error.h"
#include "platform/storage/files.h"

namespace fvt::inet {
namespace {

// "file:///My%20Documents/a.htm" and "file://\My Documents\a.htm" => "\My Documents\a.htm".
std::u16string FileUrlPath(std::u16string_view url) {
    std::u16string path = PercentDecode(url.substr(5));
    size_t start = path.find_first_not_of(u"/");
    if (path.rfind(u"//", 0) == 0 && start != std::u16string::npos && start > 2) {
        path = path.substr(start - 1);  // file:/// keeps one root slash
    } else if (path.rfind(u"//", 0) == 0) {
        path = path.substr(2);
    }
    std::replace(path.begin(), path.end(), u'/', u'\\');
    if (path.empty() || path[0] != u'\\') path.insert(path.begin(), u'\\');
    return path;
}

BOOL HttpQueryNumber(const std::string& value, void* buffer, DWORD* length) {
    uint64_t n = 0;
    if (!ParseDecimal(value, n) || n > 0xFFFFFFFFu)
        return Fail(ERROR_HTTP_INVALID_SERVER_RESPONSE, FALSE);
    if (*length < sizeof(DWORD)) {
        *length = sizeof(DWORD);
        return Fail(ERROR_INSUFFICIENT_BUFFER, FALSE);
    }
    *static_cast<DWORD*>(buffer) = static_cast<DWORD>(n);
    *length = sizeof(DWORD);
    return TRUE;
}

}  // namespace
}  // namespace fvt::inet

using namespace fvt;
using namespace fvt::inet;

extern "C" HINTERNET HttpOpenRequestW(HINTERNET connect, LPCWSTR verb, LPCWSTR object, LPCWSTR,
                                      LPCWSTR, LPCWSTR*, DWORD flags, DWORD_PTR) {
    auto c = Find(connect, Kind::kConnection);
    if (!c) return nullptr;
    // No TLS on this device: an https request is refused here, before anything is sent.
    if (flags & INTERNET_FLAG_SECURE) {
        return Fail(ERROR_INTERNET_SECURITY_CHANNEL_ERROR, HINTERNET{nullptr});
    }
    auto r = NewChild(Kind::kRequest, c);
    r->verb = verb && *verb ? Narrow(verb) : "GET";
    r->target = Narrow(object);
    if (r->target.empty() || r->target[0] != '/') r->target.insert(r->target.begin(), '/');
    // The target travels in the request line: no blank or line break may split it.
    std::string safe;
    for (char ch : r->target) {
        if (ch == ' ') {
            safe += "%20";
        } else if (ch == '\r' || ch == '\n' || ch == '\0') {
            return Fail(ERROR_INTERNET_INVALID_URL, HINTERNET{nullptr});
        } else {
            safe += ch;
        }
    }
    r->target = safe;
    for (char ch : r->verb) {
        if (ch < 'A' || ch > 'Z') return Fail(ERROR_INVALID_PARAMETER, HINTERNET{nullptr});
    }
    r->flags = flags;
    return Register(std::move(r));
}

extern "C" BOOL HttpSendRequestW(HINTERNET request, LPCWSTR headers, DWORD headersLength,
                                 void* optional, DWORD optionalLength) {
    auto r = Find(request, Kind::kRequest);
    if (!r) return FALSE;
    if (!SendRequest(*r, HeaderText(headers, headersLength), optional, optionalLength,
                     r->verb == "POST")) {
        return FALSE;
    }
    return ReadHead(*r) ? TRUE : FALSE;
}

extern "C" BOOL HttpSendRequestExW(HINTERNET request, INTERNET_BUFFERSW* in, INTERNET_BUFFERSW*,
                                   DWORD, DWORD_PTR) {
    auto r = Find(request, Kind::kRequest);
    if (!r) return FALSE;
    if (in && in->dwStructSize < sizeof(INTERNET_BUFFERSW))
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    std::string headers = in ? HeaderText(in->lpcszHeader, in->dwHeadersLength) : std::string();
    const void* body = in ? in->lpvBuffer : nullptr;
    DWORD length = in && body ? in->dwBufferLength : 0;
    return SendRequest(*r, headers, body, length, true) ? TRUE : FALSE;
}

extern "C" BOOL HttpEndRequestW(HINTERNET request, INTERNET_BUFFERSW*, DWORD, DWORD_PTR) {
    auto r = Find(request, Kind::kRequest);
    if (!r) return FALSE;
    if (!r->sent || r->headRead) return Fail(ERROR_INTERNET_INCORRECT_HANDLE_STATE, FALSE);
    return ReadHead(*r) ? TRUE : FALSE;
}

extern "C" BOOL HttpQueryInfoW(HINTERNET request, DWORD level, void* buffer, DWORD* bufferLength,
                               DWORD* index) {
    auto r = Find(request, Kind::kRequest);
    if (!r) return FALSE;
    if (!bufferLength || (!buffer && *bufferLength)) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    if (!r->headRead) return Fail(ERROR_INTERNET_INCORRECT_HANDLE_STATE, FALSE);
    const char* name = nullptr;
    switch (level & 0xFFFF) {
        case HTTP_QUERY_CONTENT_TYPE:
            name = "content-type";
            break;
        case HTTP_QUERY_CONTENT_LENGTH:
            name = "content-length";
            break;
        case HTTP_QUERY_LOCATION:
            name = "location";
            break;
        case HTTP_QUERY_CONTENT_DISPOSITION:
            name = "content-disposition";
            break;
        case HTTP_QUERY_STATUS_CODE:
            break;
        default:
            return Fail(ERROR_INVALID_PARAMETER, FALSE);
    }
    std::string value;
    if (name) {
        const std::string* found = HeaderValue(*r, name, index ? *index : 0);
        if (!found) return Fail(ERROR_HTTP_HEADER_NOT_FOUND, FALSE);
        value = *found;
    } else {
        value = std::to_string(r->status);
    }
    if (level & HTTP_QUERY_FLAG_NUMBER) {
        if (!HttpQueryNumber(value, buffer, bufferLength)) return FALSE;
    } else {
        std::u16string wide = Utf8ToWide(value);
        DWORD need = static_cast<DWORD>((wide.size() + 1) * sizeof(char16_t));
        if (*bufferLength < need) {
            *bufferLength = need;
            return Fail(ERROR_INSUFFICIENT_BUFFER, FALSE);
        }
        auto* out = static_cast<char16_t*>(buffer);
        std::copy(wide.begin(), wide.end(), out);
        out[wide.size()] = 0;
        *bufferLength = need - sizeof(char16_t);
    }
    if (index && name) ++*index;
    return TRUE;
}

extern "C" BOOL InternetReadFile(HINTERNET file, void* buffer, DWORD toRead, DWORD* read) {
    if (!read || (!buffer && toRead)) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    *read = 0;
    auto o = Find(file);
    if (!o) return Fail(ERROR_INVALID_HANDLE, FALSE);
    if (o->kind == Kind::kFile) return ReadFile(o->file, buffer, toRead, read, nullptr);
    if (o->kind != Kind::kRequest) return Fail(ERROR_INTERNET_INCORRECT_HANDLE_TYPE, FALSE);
    if (!o->headRead) return Fail(ERROR_INTERNET_INCORRECT_HANDLE_STATE, FALSE);
    DWORD got = 0;
    if (!ReadBody(*o, static_cast<uint8_t*>(buffer), toRead, got)) return FALSE;
    *read = got;
    return TRUE;
}

extern "C" HINTERNET InternetOpenUrlW(HINTERNET internet, LPCWSTR url, LPCWSTR headers,
                                      DWORD headersLength, DWORD flags, DWORD_PTR) {
    auto s = Find(internet, Kind::kSession);
    if (!s) return nullptr;
    if (!url) return Fail(ERROR_INVALID_PARAMETER, HINTERNET{nullptr});
    CrackedUrl parts;
    if (!Crack(WideView(url), parts)) return nullptr;
    if (parts.schemeNumber == INTERNET_SCHEME_FILE) {
        auto f = NewChild(Kind::kFile, s);
        std::u16string path = FileUrlPath(WideView(url));
        f->file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
        if (f->file == INVALID_HANDLE_VALUE) {
            f->file = nullptr;
            return nullptr;
        }
        return Register(std::move(f));
    }
    if (parts.schemeNumber == INTERNET_SCHEME_HTTPS) {
        return Fail(ERROR_INTERNET_SECURITY_CHANNEL_ERROR, HINTERNET{nullptr});
    }
    if (parts.schemeNumber != INTERNET_SCHEME_HTTP) {
        return Fail(ERROR_INTERNET_UNRECOGNIZED_SCHEME, HINTERNET{nullptr});
    }
    auto c = NewChild(Kind::kConnection, s);
    c->host = WideToUtf8(parts.host);
    c->port = parts.port;
    c->user = WideToUtf8(parts.user);
    c->password = WideToUtf8(parts.password);
    auto r = NewChild(Kind::kRequest, c);
    r->verb = "GET";
    r->target = WideToUtf8(parts.path.empty() ? u"/" : parts.path);
    std::u16string extra = parts.extra.substr(0, parts.extra.find(u'#'));
    r->target += WideToUtf8(extra);
    r->flags = flags;
    if (!SendRequest(*r, HeaderText(headers, headersLength), nullptr, 0, false) || !ReadHead(*r)) {
        return nullptr;
    }
    return Register(std::move(r));
}

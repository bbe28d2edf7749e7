// Internet handles and HTTP/1.1 requests over sockets. Each request uses its own connection
// ("Connection: close"), which keeps the reading of a body simple and a cancelled read final.
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/inet/inet.h"
#include "platform/inet/url.h"
#include "platform/kernel/device.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/modules.h"
#include "platform/kernel/wide.h"
#include "platform/last_error.h"
#include "platform/storage/files.h"

namespace fvt::inet {
namespace {

constexpr DWORD kDefaultTimeoutMs = 60000;
constexpr size_t kMaxHeadBytes = 64 * 1024;
constexpr size_t kMaxChunkLineBytes = 1024;

enum class Kind { kSession, kConnection, kRequest, kFile };
enum class Body { kNone, kLength, kChunked, kUntilClose };

struct Object {
    Kind kind;
    std::shared_ptr<Object> parent;
    std::atomic<bool> closed{false};
    DWORD timeouts[3] = {kDefaultTimeoutMs, kDefaultTimeoutMs,
                         kDefaultTimeoutMs};  // connect, send, receive

    // Session.
    DWORD accessType = INTERNET_OPEN_TYPE_PRECONFIG;
    std::string proxyHost;
    INTERNET_PORT proxyPort = 80;
    // Connection (and request, for the proxy credentials).
    std::string host;
    INTERNET_PORT port = 80;
    std::string user, password, proxyUser, proxyPassword;
    // Request.
    std::string verb, target;
    DWORD flags = 0;
    DWORD securityFlags = 0;
    std::atomic<int> fd{-1};
    bool sent = false;
    bool headRead = false;
    int status = 0;
    std::vector<std::pair<std::string, std::string>> headers;  // names lower-case
    std::string pending;  // bytes received and not yet consumed
    Body body = Body::kNone;
    uint64_t remaining = 0;  // of the body (kLength) or of the current chunk (kChunked)
    bool bodyDone = false;
    // A file URL.
    HANDLE file = nullptr;

    explicit Object(Kind k) : kind(k) {}
    ~Object() {
        if (fd >= 0) ::close(fd);
        if (file) CloseHandle(file);
    }
};

struct Registry {
    std::mutex lock;
    std::map<uintptr_t, std::shared_ptr<Object>> objects;
    uintptr_t next = 0x10000;
};

Registry& R() {
    static Registry* r = new Registry;
    return *r;
}

HINTERNET Register(std::shared_ptr<Object> object) {
    Registry& r = R();
    std::lock_guard<std::mutex> l(r.lock);
    uintptr_t id = r.next++;
    r.objects[id] = std::move(object);
    return reinterpret_cast<HINTERNET>(id);
}

std::shared_ptr<Object> Find(HINTERNET h) {
    Registry& r = R();
    std::lock_guard<std::mutex> l(r.lock);
    auto it = r.objects.find(reinterpret_cast<uintptr_t>(h));
    if (it == r.objects.end()) return nullptr;
    return it->second;
}

std::shared_ptr<Object> Find(HINTERNET h, Kind kind) {
    auto o = Find(h);
    if (!o) return Fail(ERROR_INVALID_HANDLE, std::shared_ptr<Object>());
    if (o->kind != kind)
        return Fail(ERROR_INTERNET_INCORRECT_HANDLE_TYPE, std::shared_ptr<Object>());
    return o;
}

// Wakes a read or write blocked on the object's socket; the socket itself is closed by the
// last holder, so that its number cannot be reused under a blocked call.
void MarkClosed(Object& o) {
    o.closed = true;
    int fd = o.fd.load();
    if (fd >= 0) ::shutdown(fd, SHUT_RDWR);
}

bool IsBelow(const Object& o, const Object* ancestor) {
    for (Object* p = o.parent.get(); p; p = p->parent.get()) {
        if (p == ancestor) return true;
    }
    return false;
}

std::string Lower(std::string s) {
    for (auto& c : s) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return s;
}

std::string Trim(const std::string& s) {
    size_t a = s.find_first_not_of(" \t");
    if (a == std::string::npos) return {};
    size_t b = s.find_last_not_of(" \t\r");
    return s.substr(a, b - a + 1);
}

std::string Base64(const std::string& in) {
    static const char kDigits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < in.size(); i += 3) {
        uint32_t n = static_cast<uint8_t>(in[i]) << 16;
        if (i + 1 < in.size()) n |= static_cast<uint8_t>(in[i + 1]) << 8;
        if (i + 2 < in.size()) n |= static_cast<uint8_t>(in[i + 2]);
        out += kDigits[(n >> 18) & 63];
        out += kDigits[(n >> 12) & 63];
        out += i + 1 < in.size() ? kDigits[(n >> 6) & 63] : '=';
        out += i + 2 < in.size() ? kDigits[n & 63] : '=';
    }
    return out;
}

std::string Narrow(LPCWSTR text) {
    return text ? WideToUtf8(WideView(text)) : std::string();
}

bool Offline() {
    return Lower(Profile().Value("internet", "lan")) == "offline";
}

// Waits for the socket; false with the last error set on time-out, failure or close.
bool WaitFor(Object& r, short events, DWORD timeoutMs) {
    pollfd p{r.fd.load(), events, 0};
    int timeout = timeoutMs > 0x7FFFFFFF ? -1 : static_cast<int>(timeoutMs);
    for (;;) {
        if (r.closed) return Fail(ERROR_INTERNET_OPERATION_CANCELLED, false);
        int n = ::poll(&p, 1, timeout);
        if (n > 0) return true;
        if (n == 0) return Fail(ERROR_INTERNET_TIMEOUT, false);
        if (errno != EINTR) return Fail(ERROR_INTERNET_CONNECTION_RESET, false);
    }
}

bool Connect(Object& r, const std::string& host, INTERNET_PORT port) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    std::string service = std::to_string(port);
    if (host.empty() || ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found) != 0) {
        return Fail(ERROR_INTERNET_NAME_NOT_RESOLVED, false);
    }
    DWORD error = ERROR_INTERNET_CANNOT_CONNECT;
    for (addrinfo* a = found; a; a = a->ai_next) {
        int fd =
            ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol);
        if (fd < 0) continue;
        r.fd = fd;
        if (r.closed) {  // closed while we were starting: the closer may not have seen the socket
            error = ERROR_INTERNET_OPERATION_CANCELLED;
            break;
        }
        if (::connect(fd, a->ai_addr, a->ai_addrlen) == 0 ||
            (errno == EINPROGRESS && WaitFor(r, POLLOUT, r.timeouts[0]))) {
            int soError = 0;
            socklen_t len = sizeof soError;
            ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &len);
            if (soError == 0) {
                ::freeaddrinfo(found);
                return true;
            }
        } else if (GetLastError() == ERROR_INTERNET_TIMEOUT ||
                   GetLastError() == ERROR_INTERNET_OPERATION_CANCELLED) {
            error = GetLastError();
        }
        r.fd = -1;
        ::close(fd);
    }
    ::freeaddrinfo(found);
    return Fail(error, false);
}

bool SendAll(Object& r, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        if (!WaitFor(r, POLLOUT, r.timeouts[1])) return false;
        ssize_t n = ::send(r.fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        if (n <= 0) {
            return Fail(
                r.closed ? ERROR_INTERNET_OPERATION_CANCELLED : ERROR_INTERNET_CONNECTION_RESET,
                false);
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

// Reads more bytes into pending. False at the end of the stream (last error 0) or on failure.
bool Fill(Object& r) {
    if (r.fd < 0) return Fail(ERROR_SUCCESS, false);  // bytes given whole: their end is the end
    char block[4096];
    for (;;) {
        if (!WaitFor(r, POLLIN, r.timeouts[2])) return false;
        ssize_t n = ::recv(r.fd, block, sizeof block, 0);
        if (n > 0) {
            r.pending.append(block, static_cast<size_t>(n));
            return true;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        if (r.closed) return Fail(ERROR_INTERNET_OPERATION_CANCELLED, false);
        return Fail(n == 0 ? ERROR_SUCCESS : ERROR_INTERNET_CONNECTION_RESET, false);
    }
}

// Takes one line (without its end) from pending, reading as needed; false with last error 0
// when the stream ends first.
bool ReadLine(Object& r, std::string& line, size_t limit) {
    for (;;) {
        size_t end = r.pending.find('\n');
        if (end != std::string::npos) {
            line = r.pending.substr(0, end);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            r.pending.erase(0, end + 1);
            return true;
        }
        if (r.pending.size() > limit) return Fail(ERROR_HTTP_INVALID_SERVER_RESPONSE, false);
        if (!Fill(r)) return false;  // the last error stays 0 at the end of the stream
    }
}

const std::string* HeaderValue(const Object& r, const std::string& name, DWORD index = 0) {
    for (auto& [n, v] : r.headers) {
        if (n == name && index-- == 0) return &v;
    }
    return nullptr;
}

bool ParseDecimal(const std::string& text, uint64_t& value) {
    if (text.empty() || text.size() > 18) return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    return true;
}

bool ReadHeadLines(Object& r);

// Reads the status line and the header lines; interim 1xx answers are skipped.
bool ReadHead(Object& r) {
    if (ReadHeadLines(r)) return true;
    if (GetLastError() == ERROR_SUCCESS) SetLastError(ERROR_HTTP_INVALID_SERVER_RESPONSE);
    return false;
}

bool ReadHeadLines(Object& r) {
    for (;;) {
        std::string line;
        size_t budget = kMaxHeadBytes;
        if (!ReadLine(r, line, budget)) return false;
        if (line.rfind("HTTP/1.", 0) != 0 || line.size() < 12 || line[8] != ' ') {
            return Fail(ERROR_HTTP_INVALID_SERVER_RESPONSE, false);
        }
        uint64_t status = 0;
        if (!ParseDecimal(line.substr(9, 3), status) || status < 100) {
            return Fail(ERROR_HTTP_INVALID_SERVER_RESPONSE, false);
        }
        r.headers.clear();
        for (;;) {
            if (!ReadLine(r, line, budget)) return false;
            if (line.size() + 2 > budget) return Fail(ERROR_HTTP_INVALID_SERVER_RESPONSE, false);
            budget -= line.size() + 2;
            if (line.empty()) break;
            size_t colon = line.find(':');
            if (colon == std::string::npos || colon == 0) continue;
            r.headers.emplace_back(Lower(Trim(line.substr(0, colon))),
                                   Trim(line.substr(colon + 1)));
        }
        if (status >= 200) {
            r.status = static_cast<int>(status);
            break;
        }
    }
    r.headRead = true;
    const std::string* encoding = HeaderValue(r, "transfer-encoding");
    const std::string* length = HeaderValue(r, "content-length");
    if (r.verb == "HEAD" || r.status == 204 || r.status == 304) {
        r.body = Body::kNone;
    } else if (encoding && Lower(*encoding).find("chunked") != std::string::npos) {
        r.body = Body::kChunked;
    } else if (length) {
        if (!ParseDecimal(*length, r.remaining))
            return Fail(ERROR_HTTP_INVALID_SERVER_RESPONSE, false);
        r.body = Body::kLength;
    } else {
        r.body = Body::kUntilClose;
    }
    r.bodyDone = r.body == Body::kNone || (r.body == Body::kLength && r.remaining == 0);
    return true;
}

// Builds and sends the request head and body; the target goes absolute through a proxy.
bool SendRequest(Object& r, const std::string& extraHeaders, const void* body, DWORD bodyLength,
                 bool withLength) {
    if (r.sent) return Fail(ERROR_INTERNET_INCORRECT_HANDLE_STATE, false);
    if (Offline()) return Fail(ERROR_INTERNET_DISCONNECTED, false);
    Object& c = *r.parent;
    Object& s = *c.parent;
    bool proxied = s.accessType == INTERNET_OPEN_TYPE_PROXY && !s.proxyHost.empty();
    r.sent = true;
    if (!Connect(r, proxied ? s.proxyHost : c.host, proxied ? s.proxyPort : c.port)) return false;
    std::string hostField = c.host;
    if (hostField.find(':') != std::string::npos) hostField = "[" + hostField + "]";
    if (c.port != 80) hostField += ":" + std::to_string(c.port);
    std::string head = r.verb + " ";
    if (proxied) head += "http://" + hostField;
    head += r.target + " HTTP/1.1\r\nHost: " + hostField + "\r\n";
    if (!c.user.empty())
        head += "Authorization: Basic " + Base64(c.user + ":" + c.password) + "\r\n";
    std::string proxyUser = r.proxyUser.empty() ? c.proxyUser : r.proxyUser;
    std::string proxyPassword = r.proxyUser.empty() ? c.proxyPassword : r.proxyPassword;
    if (proxied && !proxyUser.empty()) {
        head += "Proxy-Authorization: Basic " + Base64(proxyUser + ":" + proxyPassword) + "\r\n";
    }
    head += extraHeaders;
    if (!extraHeaders.empty() && extraHeaders.back() != '\n') head += "\r\n";
    if (withLength || bodyLength) head += "Content-Length: " + std::to_string(bodyLength) + "\r\n";
    head += "Connection: close\r\n\r\n";
    if (bodyLength) head.append(static_cast<const char*>(body), bodyLength);
    return SendAll(r, head);
}

std::string HeaderText(LPCWSTR headers, DWORD length) {
    if (!headers) return {};
    if (length == 0xFFFFFFFF || length == 0) return Narrow(headers);
    return WideToUtf8(std::u16string_view(headers, length));
}

// The next bytes of a chunked body; false on a malformed chunk or a cut stream.
bool NextChunk(Object& r) {
    std::string line;
    if (!ReadLine(r, line, kMaxChunkLineBytes)) return false;
    line = Trim(line.substr(0, line.find(';')));
    if (line.empty() || line.size() > 15) return Fail(ERROR_HTTP_INVALID_SERVER_RESPONSE, false);
    uint64_t size = 0;
    for (char ch : line) {
        int v = ch >= '0' && ch <= '9'   ? ch - '0'
                : ch >= 'a' && ch <= 'f' ? ch - 'a' + 10
                : ch >= 'A' && ch <= 'F' ? ch - 'A' + 10
                                         : -1;
        if (v < 0) return Fail(ERROR_HTTP_INVALID_SERVER_RESPONSE, false);
        size = size * 16 + static_cast<uint64_t>(v);
    }
    if (size == 0) {  // the trailer runs to an empty line
        size_t budget = kMaxHeadBytes;
        do {
            if (!ReadLine(r, line, budget)) return false;
            if (line.size() + 2 > budget) return Fail(ERROR_HTTP_INVALID_SERVER_RESPONSE, false);
            budget -= line.size() + 2;
        } while (!line.empty());
        r.bodyDone = true;
    }
    r.remaining = size;
    return true;
}

// A cut stream is a failure here, not a short success, so callers cannot mistake it.
bool Truncated() {
    if (GetLastError() == ERROR_SUCCESS) SetLastError(ERROR_INTERNET_CONNECTION_RESET);
    return false;
}

bool ReadBody(Object& r, uint8_t* out, DWORD want, DWORD& got) {
    got = 0;
    if (want == 0) return true;
    while (!r.bodyDone) {
        if (r.body == Body::kChunked && r.remaining == 0) {
            if (!NextChunk(r)) return Truncated();
            continue;
        }
        if (r.pending.empty() && !Fill(r)) {
            if (r.body == Body::kUntilClose && GetLastError() == ERROR_SUCCESS) {
                r.bodyDone = true;
                break;
            }
            return Truncated();
        }
        size_t n = std::min<size_t>(want, r.pending.size());
        if (r.body != Body::kUntilClose) n = std::min<uint64_t>(n, r.remaining);
        std::copy_n(r.pending.data(), n, out);
        r.pending.erase(0, n);
        got = static_cast<DWORD>(n);
        if (r.body != Body::kUntilClose) r.remaining -= n;
        if (r.body == Body::kLength && r.remaining == 0) r.bodyDone = true;
        if (r.body == Body::kChunked && r.remaining == 0) {
            std::string end;  // the CRLF after the chunk's data
            if (!ReadLine(r, end, 2) || !end.empty()) return Truncated();
        }
        return true;
    }
    return true;
}

std::shared_ptr<Object> NewChild(Kind kind, const std::shared_ptr<Object>& parent) {
    auto o = std::make_shared<Object>(kind);
    o->parent = parent;
    std::copy(std::begin(parent->timeouts), std::end(parent->timeouts), o->timeouts);
    return o;
}

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

bool ReadResponseBytes(const std::string& bytes, bool head, int& status, std::string& body) {
    Object r(Kind::kRequest);
    r.verb = head ? "HEAD" : "GET";
    r.pending = bytes;
    if (!ReadHead(r)) return false;
    status = r.status;
    body.clear();
    uint8_t block[512];
    for (;;) {
        DWORD got = 0;
        if (!ReadBody(r, block, sizeof block, got)) return false;
        if (got == 0) return true;
        body.append(reinterpret_cast<const char*>(block), got);
    }
}

}  // namespace fvt::inet

using namespace fvt;
using namespace fvt::inet;

extern "C" HINTERNET InternetOpenA(const char*, DWORD accessType, const char* proxy, const char*,
                                   DWORD) {
    auto s = std::make_shared<Object>(Kind::kSession);
    s->accessType = accessType;
    if (accessType == INTERNET_OPEN_TYPE_PROXY && proxy) {
        std::u16string wide = Utf8ToWide(proxy);
        InternetProxyTarget(wide, s->proxyHost, s->proxyPort);
    }
    return Register(std::move(s));
}

extern "C" HINTERNET InternetConnectW(HINTERNET internet, LPCWSTR server, INTERNET_PORT port,
                                      LPCWSTR user, LPCWSTR password, DWORD service, DWORD,
                                      DWORD_PTR) {
    auto s = Find(internet, Kind::kSession);
    if (!s) return nullptr;
    if (!server || !*server) return Fail(ERROR_INTERNET_INVALID_URL, HINTERNET{nullptr});
    if (service != INTERNET_SERVICE_HTTP) return Fail(ERROR_NOT_SUPPORTED, HINTERNET{nullptr});
    auto c = NewChild(Kind::kConnection, s);
    c->host = Narrow(server);
    c->port = port ? port : 80;
    c->user = Narrow(user);
    c->password = Narrow(password);
    return Register(std::move(c));
}

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

extern "C" BOOL InternetSetOptionW(HINTERNET internet, DWORD option, void* buffer,
                                   DWORD bufferLength) {
    auto o = Find(internet);
    if (!o) return Fail(ERROR_INVALID_HANDLE, FALSE);
    if (!buffer) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    switch (option) {
        case INTERNET_OPTION_CONNECT_TIMEOUT:
        case INTERNET_OPTION_SEND_TIMEOUT:
        case INTERNET_OPTION_RECEIVE_TIMEOUT: {
            if (bufferLength < sizeof(DWORD)) return Fail(ERROR_INSUFFICIENT_BUFFER, FALSE);
            int slot = option == INTERNET_OPTION_CONNECT_TIMEOUT ? 0
                       : option == INTERNET_OPTION_SEND_TIMEOUT  ? 1
                                                                 : 2;
            o->timeouts[slot] = *static_cast<DWORD*>(buffer);
            return TRUE;
        }
        case INTERNET_OPTION_SECURITY_FLAGS:
            if (o->kind != Kind::kRequest) return Fail(ERROR_INTERNET_INCORRECT_HANDLE_TYPE, FALSE);
            if (bufferLength < sizeof(DWORD)) return Fail(ERROR_INSUFFICIENT_BUFFER, FALSE);
            o->securityFlags = *static_cast<DWORD*>(buffer);
            return TRUE;
        case INTERNET_OPTION_PROXY: {
            if (o->kind != Kind::kSession) return Fail(ERROR_INTERNET_INCORRECT_HANDLE_TYPE, FALSE);
            if (bufferLength < sizeof(INTERNET_PROXY_INFO))
                return Fail(ERROR_INSUFFICIENT_BUFFER, FALSE);
            auto* info = static_cast<INTERNET_PROXY_INFO*>(buffer);
            o->accessType = info->dwAccessType;
            o->proxyHost.clear();
            o->proxyPort = 80;
            if (info->dwAccessType == INTERNET_OPEN_TYPE_PROXY && info->lpszProxy) {
                InternetProxyTarget(WideView(info->lpszProxy), o->proxyHost, o->proxyPort);
            }
            return TRUE;
        }
        case INTERNET_OPTION_PROXY_USERNAME:
        case INTERNET_OPTION_PROXY_PASSWORD:
            if (o->kind == Kind::kSession) return Fail(ERROR_INTERNET_INCORRECT_HANDLE_TYPE, FALSE);
            (option == INTERNET_OPTION_PROXY_USERNAME ? o->proxyUser : o->proxyPassword) =
                Narrow(static_cast<LPCWSTR>(buffer));
            return TRUE;
        default:
            return Fail(ERROR_INTERNET_INVALID_OPTION, FALSE);
    }
}

extern "C" BOOL InternetQueryOptionW(HINTERNET internet, DWORD option, void* buffer,
                                     DWORD* bufferLength) {
    auto o = Find(internet);
    if (!o) return Fail(ERROR_INVALID_HANDLE, FALSE);
    if (!bufferLength) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    DWORD value = 0;
    switch (option) {
        case INTERNET_OPTION_CONNECT_TIMEOUT:
            value = o->timeouts[0];
            break;
        case INTERNET_OPTION_SEND_TIMEOUT:
            value = o->timeouts[1];
            break;
        case INTERNET_OPTION_RECEIVE_TIMEOUT:
            value = o->timeouts[2];
            break;
        case INTERNET_OPTION_SECURITY_FLAGS:
            if (o->kind != Kind::kRequest) return Fail(ERROR_INTERNET_INCORRECT_HANDLE_TYPE, FALSE);
            value = o->securityFlags;
            break;
        default:
            return Fail(ERROR_INTERNET_INVALID_OPTION, FALSE);
    }
    if (!buffer || *bufferLength < sizeof(DWORD)) {
        *bufferLength = sizeof(DWORD);
        return Fail(ERROR_INSUFFICIENT_BUFFER, FALSE);
    }
    *static_cast<DWORD*>(buffer) = value;
    *bufferLength = sizeof(DWORD);
    return TRUE;
}

extern "C" BOOL InternetGetConnectedState(DWORD* flags, DWORD) {
    std::string state = Lower(Profile().Value("internet", "lan"));
    DWORD f = state == "modem"     ? INTERNET_CONNECTION_MODEM
              : state == "proxy"   ? INTERNET_CONNECTION_PROXY | INTERNET_CONNECTION_LAN
              : state == "offline" ? 0
                                   : INTERNET_CONNECTION_LAN;
    if (flags) *flags = f;
    return f ? TRUE : FALSE;
}

extern "C" BOOL InternetCloseHandle(HINTERNET internet) {
    Registry& r = R();
    std::vector<std::shared_ptr<Object>> closing;  // released outside the lock
    {
        std::lock_guard<std::mutex> l(r.lock);
        auto it = r.objects.find(reinterpret_cast<uintptr_t>(internet));
        if (it == r.objects.end()) return Fail(ERROR_INVALID_HANDLE, FALSE);
        Object* top = it->second.get();
        for (auto o = r.objects.begin(); o != r.objects.end();) {
            if (o->second.get() == top || IsBelow(*o->second, top)) {
                MarkClosed(*o->second);
                closing.push_back(std::move(o->second));
                o = r.objects.erase(o);
            } else {
                ++o;
            }
        }
    }
    return TRUE;
}

namespace fvt {

size_t OpenInternetHandleCount() {
    Registry& r = R();
    std::lock_guard<std::mutex> l(r.lock);
    return r.objects.size();
}

namespace inet {
// "host:port", "http=host:port" or "http://host:port"; the port is 80 when none is given.
void InternetProxyTarget(std::u16string_view text, std::string& host, INTERNET_PORT& port) {
    std::u16string t(text);
    size_t eq = t.find(u'=');
    if (eq != std::u16string::npos) t = t.substr(eq + 1);
    size_t slashes = t.find(u"//");
    if (slashes != std::u16string::npos) t = t.substr(slashes + 2);
    t = t.substr(0, t.find_first_of(u"/; "));
    port = 80;
    size_t colon = t.rfind(u':');
    if (colon != std::u16string::npos) {
        uint64_t n = 0;
        if (ParseDecimal(WideToUtf8(t.substr(colon + 1)), n) && n > 0 && n < 65536) {
            port = static_cast<INTERNET_PORT>(n);
        }
        t = t.substr(0, colon);
    }
    host = WideToUtf8(t);
}
}  // namespace inet

}  // namespace fvt

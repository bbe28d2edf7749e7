// HTTP/1.1 on the wire. Each request uses its own connection ("Connection: close"), which
// keeps the reading of a body simple and a cancelled read final.
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/inet/internet_object.h"
#include "platform/kernel/wide.h"
#include "platform/last_error.h"

namespace fvt::inet {
namespace {

constexpr size_t kMaxHeadBytes = 64 * 1024;
constexpr size_t kMaxChunkLineBytes = 1024;

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

std::atomic<CannedAnswer> g_answer{nullptr};
std::atomic<void*> g_answerContext{nullptr};

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

}  // namespace

const std::string* HeaderValue(const Object& r, const std::string& name, DWORD index) {
    for (auto& [n, v] : r.headers) {
        if (n == name && index-- == 0) return &v;
    }
    return nullptr;
}

bool ReadHead(Object& r) {
    if (ReadHeadLines(r)) return true;
    if (GetLastError() == ERROR_SUCCESS) SetLastError(ERROR_HTTP_INVALID_SERVER_RESPONSE);
    return false;
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
    if (CannedAnswer answer = g_answer.load()) {
        // No socket: the answer's bytes are all the server sends, then it closes.
        r.pending = answer(head, g_answerContext.load());
        return true;
    }
    if (!Connect(r, proxied ? s.proxyHost : c.host, proxied ? s.proxyPort : c.port)) return false;
    return SendAll(r, head);
}

void AnswerRequestsForTesting(CannedAnswer answer, void* context) {
    g_answerContext = context;
    g_answer = answer;
}

std::string HeaderText(LPCWSTR headers, DWORD length) {
    if (!headers) return {};
    if (length == 0xFFFFFFFF || length == 0) return Narrow(headers);
    return WideToUtf8(std::u16string_view(headers, length));
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

// Private to the internet area: what a handle stands for, the handle table, and the steps of
// a request on the wire, shared by the exported functions.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/inet/inet.h"

namespace fvt::inet {

constexpr DWORD kDefaultTimeoutMs = 60000;

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
    ~Object();  // closes the socket or file
};

// The handle table. Find gives null (last error set) for an unknown handle or, with a kind,
// for a handle of another kind.
HINTERNET Register(std::shared_ptr<Object> object);
std::shared_ptr<Object> Find(HINTERNET h);
std::shared_ptr<Object> Find(HINTERNET h, Kind kind);
// A new object below parent, with the parent's time-outs.
std::shared_ptr<Object> NewChild(Kind kind, const std::shared_ptr<Object>& parent);

std::string Lower(std::string s);
std::string Narrow(LPCWSTR text);
bool ParseDecimal(const std::string& text, uint64_t& value);
// The profile says the device is off line: nothing is sent.
bool Offline();
// A proxy given as "host:port", "http=host:port" or "http://host:port" (port 80 by default).
void InternetProxyTarget(std::u16string_view text, std::string& host, INTERNET_PORT& port);

// The wire. Each is false with the last error set.
// Connects and sends the request head and body; a request is sent once.
bool SendRequest(Object& r, const std::string& extraHeaders, const void* body, DWORD bodyLength,
                 bool withLength);
// Reads the status line and the header lines; interim 1xx answers are skipped.
bool ReadHead(Object& r);
// The next bytes of the body (0 at its end); a body cut short is a failure.
bool ReadBody(Object& r, uint8_t* out, DWORD want, DWORD& got);
// The index-th header of that (lower-case) name, or null.
const std::string* HeaderValue(const Object& r, const std::string& name, DWORD index = 0);
// Caller's headers given as wide text, with or without a length.
std::string HeaderText(LPCWSTR headers, DWORD length);
// Reads a response from bytes as if a server had sent them and closed the connection: the
// parser without a socket (for the fuzz target and tests). False when the response is bad.
bool ReadResponseBytes(const std::string& bytes, bool head, int& status, std::string& body);
// Tests and fuzz targets: every request sent is answered by `answer` (given the request's head
// and body) instead of a server; its bytes are the whole response. Null: the network again.
using CannedAnswer = std::string (*)(const std::string& request, void* context);
void AnswerRequestsForTesting(CannedAnswer answer, void* context);

}  // namespace fvt::inet

#include "support/platform/loopback_http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace fvt::test {

namespace {

using Clock = std::chrono::steady_clock;

std::string Lower(std::string s) {
    for (auto& c : s) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return s;
}

bool SendAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// Reads one request (head and a Content-Length body); false when the peer sends none in time.
bool ReadRequest(int fd, HttpExchange& out) {
    std::string data;
    auto deadline = Clock::now() + std::chrono::seconds(5);
    size_t headEnd = std::string::npos;
    size_t bodyLength = 0;
    for (;;) {
        if (headEnd == std::string::npos) {
            headEnd = data.find("\r\n\r\n");
            if (headEnd != std::string::npos) {
                size_t lineEnd = data.find("\r\n");
                std::string line = data.substr(0, lineEnd);
                size_t a = line.find(' '), b = line.rfind(' ');
                if (a == std::string::npos || b == a) return false;
                out.method = line.substr(0, a);
                out.target = line.substr(a + 1, b - a - 1);
                out.version = line.substr(b + 1);
                size_t pos = lineEnd + 2;
                while (pos < headEnd) {
                    size_t end = data.find("\r\n", pos);
                    std::string h = data.substr(pos, end - pos);
                    size_t colon = h.find(':');
                    if (colon != std::string::npos) {
                        size_t v = h.find_first_not_of(' ', colon + 1);
                        out.headers.emplace_back(h.substr(0, colon),
                                                 v == std::string::npos ? "" : h.substr(v));
                    }
                    pos = end + 2;
                }
                std::string length = out.Header("Content-Length");
                bodyLength = std::strtoul(length.c_str(), nullptr, 10);
            }
        }
        if (headEnd != std::string::npos && data.size() >= headEnd + 4 + bodyLength) {
            out.body = data.substr(headEnd + 4, bodyLength);
            return true;
        }
        if (data.size() > (1 << 20) || Clock::now() > deadline) return false;
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0) continue;
        char block[4096];
        ssize_t n = ::recv(fd, block, sizeof block, 0);
        if (n <= 0) return false;
        data.append(block, static_cast<size_t>(n));
    }
}

const char* Reason(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 301:
            return "Moved Permanently";
        case 302:
            return "Found";
        case 303:
            return "See Other";
        case 304:
            return "Not Modified";
        case 401:
            return "Unauthorized";
        case 404:
            return "Not Found";
        case 407:
            return "Proxy Authentication Required";
        default:
            return "Status";
    }
}

}  // namespace

std::string HttpExchange::Header(const std::string& name) const {
    for (auto& [n, v] : headers) {
        if (Lower(n) == Lower(name)) return v;
    }
    return {};
}

HttpReply HttpReply::Text(int status, std::string body, std::string type) {
    HttpReply r;
    r.status = status;
    r.body = std::move(body);
    if (!type.empty()) r.headers.emplace_back("Content-Type", std::move(type));
    return r;
}

HttpReply HttpReply::Cut(size_t size, size_t sent, bool chunked) {
    HttpReply r = Text(200, std::string(size, 'c'));
    r.cutAfter = sent;
    r.chunked = chunked;
    r.pieceBytes = 1000;
    return r;
}

HttpReply HttpReply::Stalled(size_t size, size_t sent) {
    HttpReply r = Text(200, std::string(size, 's'));
    r.cutAfter = sent;
    r.holdAfterCut = true;
    return r;
}

HttpReply& HttpReply::With(std::string name, std::string value) {
    headers.emplace_back(std::move(name), std::move(value));
    return *this;
}

LoopbackHttpServer::LoopbackHttpServer(Handler handler, int maxConnections, int lifetimeMs)
    : handler_(std::move(handler)), maxConnections_(maxConnections), lifetimeMs_(lifetimeMs) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);  // 127.0.0.1 only
    address.sin_port = 0;                              // an ephemeral port
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 16) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(fd);
        return;
    }
    listener_ = fd;
    port_ = ntohs(address.sin_port);
    acceptor_ = std::thread([this] { Run(); });
}

LoopbackHttpServer::~LoopbackHttpServer() {
    {
        std::lock_guard<std::mutex> l(lock_);
        stopping_ = true;
        released_ = true;
    }
    changed_.notify_all();
    if (acceptor_.joinable()) acceptor_.join();
    for (auto& w : workers_) w.join();
    if (listener_ >= 0) ::close(listener_);
}

std::string LoopbackHttpServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::u16string LoopbackHttpServer::WideUrl(const std::string& path) const {
    std::string url = Url(path);
    return std::u16string(url.begin(), url.end());
}

std::vector<HttpExchange> LoopbackHttpServer::Exchanges() const {
    std::lock_guard<std::mutex> l(lock_);
    return exchanges_;
}

size_t LoopbackHttpServer::ExchangeCount() const {
    std::lock_guard<std::mutex> l(lock_);
    return exchanges_.size();
}

bool LoopbackHttpServer::WaitUntilHeld(int ms) {
    std::unique_lock<std::mutex> l(lock_);
    return changed_.wait_for(l, std::chrono::milliseconds(ms), [&] { return held_ > 0; });
}

void LoopbackHttpServer::Release() {
    {
        std::lock_guard<std::mutex> l(lock_);
        released_ = true;
    }
    changed_.notify_all();
}

void LoopbackHttpServer::Run() {
    auto deadline = Clock::now() + std::chrono::milliseconds(lifetimeMs_);
    int accepted = 0;
    while (accepted < maxConnections_ && Clock::now() < deadline) {
        {
            std::lock_guard<std::mutex> l(lock_);
            if (stopping_) break;
        }
        pollfd p{listener_, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        ++accepted;
        std::lock_guard<std::mutex> l(lock_);
        workers_.emplace_back([this, fd] { Serve(fd); });
    }
}

void LoopbackHttpServer::Serve(int fd) {
    HttpExchange request;
    if (!ReadRequest(fd, request)) {
        ::close(fd);
        return;
    }
    {
        std::lock_guard<std::mutex> l(lock_);
        exchanges_.push_back(request);
    }
    HttpReply reply = handler_(request);
    if (!reply.raw.empty()) {
        SendAll(fd, reply.raw);
        ::close(fd);
        return;
    }
    std::string head =
        "HTTP/1.1 " + std::to_string(reply.status) + " " + Reason(reply.status) + "\r\n";
    for (auto& [n, v] : reply.headers) head += n + ": " + v + "\r\n";
    if (reply.chunked) {
        head += "Transfer-Encoding: chunked\r\n";
    } else if (reply.sendLength) {
        head += "Content-Length: " + std::to_string(reply.body.size()) + "\r\n";
    }
    head += "Connection: close\r\n\r\n";
    bool ok = SendAll(fd, head);
    bool headOnly = request.method == "HEAD";
    size_t limit = std::min(reply.cutAfter, reply.body.size());
    size_t piece = reply.pieceBytes ? reply.pieceBytes : (limit ? limit : 1);
    for (size_t at = 0; ok && !headOnly && at < limit; at += piece) {
        if (reply.pauseMs > 0) {
            std::unique_lock<std::mutex> l(lock_);
            if (changed_.wait_for(l, std::chrono::milliseconds(reply.pauseMs),
                                  [&] { return stopping_; })) {
                break;
            }
        }
        std::string part = reply.body.substr(at, std::min(piece, limit - at));
        if (reply.chunked) {
            char size[32];
            std::snprintf(size, sizeof size, "%zx\r\n", part.size());
            part = size + part + "\r\n";
        }
        ok = SendAll(fd, part);
    }
    if (ok && !headOnly && reply.chunked && limit == reply.body.size()) SendAll(fd, "0\r\n\r\n");
    if (reply.holdAfterCut) {
        std::unique_lock<std::mutex> l(lock_);
        ++held_;
        changed_.notify_all();
        changed_.wait_for(l, std::chrono::seconds(10), [&] { return released_; });
        --held_;
    }
    ::shutdown(fd, SHUT_WR);
    // Lets the client read everything before the socket goes (no reset on unread bytes).
    pollfd p{fd, POLLIN, 0};
    char sink[512];
    for (int i = 0; i < 20 && ::poll(&p, 1, 50) > 0 && ::recv(fd, sink, sizeof sink, 0) > 0; ++i) {
    }
    ::close(fd);
}

}  // namespace fvt::test

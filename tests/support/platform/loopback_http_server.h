// A small HTTP/1.1 server for tests: it listens on 127.0.0.1 at a port the system picks, answers
// each connection with what the test's handler returns, and stops by itself after a bounded
// number of connections or a bounded time, whichever comes first (and always when destroyed).
// Responses can be slow (pieces with pauses), chunked, cut short or held open until released.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace fvt::test {

struct HttpExchange {
    std::string method, target, version;
    std::vector<std::pair<std::string, std::string>> headers;  // as sent
    std::string body;
    // The first header of that name (compared without case), or "".
    std::string Header(const std::string& name) const;
};

struct HttpReply {
    int status = 200;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    bool sendLength = true;      // a Content-Length header for the body
    bool chunked = false;        // the body in chunks of pieceBytes (no Content-Length)
    size_t cutAfter = SIZE_MAX;  // close the connection after this many body bytes
    size_t pieceBytes = 0;       // send the body in pieces of this size (0: at once) ...
    int pauseMs = 0;             // ... with this pause before each piece
    bool holdAfterCut = false;   // at the cut, wait for Release() (bounded) before closing
    std::string raw;             // when set, sent as it is instead of building the response

    static HttpReply Text(int status, std::string body, std::string type = "text/plain");
    // A 200 of `size` bytes that stops after `sent` of them: closed (in pieces of 1000,
    // chunked or with a length), or held open until Release().
    static HttpReply Cut(size_t size, size_t sent, bool chunked = false);
    static HttpReply Stalled(size_t size, size_t sent);
    HttpReply& With(std::string name, std::string value);
};

class LoopbackHttpServer {
public:
    using Handler = std::function<HttpReply(const HttpExchange&)>;

    explicit LoopbackHttpServer(Handler handler, int maxConnections = 64, int lifetimeMs = 20000);
    ~LoopbackHttpServer();
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    bool ok() const { return listener_ >= 0; }
    uint16_t Port() const { return port_; }
    // "http://127.0.0.1:<port>" + path.
    std::string Url(const std::string& path = "/") const;
    std::u16string WideUrl(const std::string& path = "/") const;

    std::vector<HttpExchange> Exchanges() const;
    size_t ExchangeCount() const;
    // Waits (bounded by ms) until a held reply has reached its cut; true when one has.
    bool WaitUntilHeld(int ms);
    // Lets held replies close their connections.
    void Release();

private:
    void Run();
    void Serve(int fd);

    Handler handler_;
    int maxConnections_;
    int lifetimeMs_;
    int listener_ = -1;
    uint16_t port_ = 0;
    mutable std::mutex lock_;
    std::condition_variable changed_;
    std::vector<HttpExchange> exchanges_;
    std::vector<std::thread> workers_;
    bool stopping_ = false;
    bool released_ = false;
    int held_ = 0;
    std::thread acceptor_;
};

}  // namespace fvt::test

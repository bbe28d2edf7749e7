// One request of a WebConnector, from its registration (construction) to its end
// (destruction). Its handles are guarded by the client's lock, so that another thread may close
// them while the owner blocks in a read.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "shell/http/web_connector.h"

class HttpRequest {
public:
    explicit HttpRequest(WebConnector& owner);
    ~HttpRequest();
    HttpRequest(const HttpRequest&) = delete;
    HttpRequest& operator=(const HttpRequest&) = delete;

    // GET, or HEAD when headOnly is set; redirects come back here. mode 0 requires a
    // Content-Type; other modes go on without one.
    uint32_t Get(UrlPair& pair, WebSink& sink, WebResponse& response, uint32_t mode,
                 Text* fileName);
    uint32_t Post(const UrlPair& url, const uint8_t* formData, uint32_t length, WebSink& sink,
                  WebResponse& response);

    // Request state, set by the client before a run.
    WebCredentials* credentials = nullptr;
    const uint64_t* ifModifiedSince = nullptr;  // FILETIME
    const char16_t* userAgent = nullptr;
    bool headOnly = false;
    int32_t timeout = -1;
    ProgressTask* task = nullptr;  // this request's own, never shared between requests

private:
    friend class WebConnector;

    struct Target {
        std::u16string url, host, user, password, object;
        int32_t scheme = kSchemeUnknown;
        uint32_t port = 0;
    };
    // Combines and cracks the pair, checks where a redirect may lead, applies the
    // credentials; a result code, or 0.
    uint32_t Prepare(const UrlPair& pair, WebResponse& response, Target& target);
    // Connection and request handles for an http(s) target; a result code, or 0.
    uint32_t Open(const Target& target, const char16_t* verb, DWORD flags);
    std::u16string Headers() const;
    // The request handle, null once another thread closed it.
    HINTERNET Handle() const;
    // A query that failed because another thread closed the request is no missing header.
    bool WasClosed() const;

    WebConnector& owner_;
    HINTERNET connection_ = nullptr;
    HINTERNET request_ = nullptr;
    bool closed_ = false;
    bool fileUrl_ = false;  // the handle reads a file: it has no status  // closed by Shutdown or
                            // the watch: handles are not to be kept
    std::atomic<uint32_t> bytesReceived_{0};
    uint32_t startTick_;
    uint32_t checkTick_;  // when the watch looks at the rate next
    uint32_t redirectCount_ = 0;
    uint32_t id_ = 0xFFFFFFFF;
    // Where the request started: credentials go nowhere else.
    std::u16string originHost_;
    int32_t originScheme_ = kSchemeUnknown;
    uint32_t originPort_ = 0;
    bool originSet_ = false;
};

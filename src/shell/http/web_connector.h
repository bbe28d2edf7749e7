// A small synchronous HTTP client over the device's internet functions (looked up by name, so
// that a device without them gives failures, never crashes). GET, HEAD and form POST into a
// caller's sink, with redirects followed here (at most five, only to http or https, and
// credentials only to the host they were given for), conditional requests, proxy settings,
// credentials callbacks, a connectivity test, the connection state and dial-up.
//
// Threads: a request runs on its caller's thread. Another thread may Shutdown() the client,
// which closes the requests in flight (their reads fail and they end with 123 or 128); the
// client's own watch thread closes a request that moves under 256 bytes a second, checked
// every 10 seconds from its start. The destructor waits for requests in flight; a derived
// client whose MayContinue reads its own members calls Shutdown() in its own destructor.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/text.h"
#include "platform/inet/inet.h"
#include "shell/http/web_sink.h"

class ProgressTask;
class HttpRequest;

// Result codes of every request.
enum WebResult : uint32_t {
    kWebOk = 0,
    kWebBadUrl = 118,         // the URL could not be combined
    kWebNoRequest = 119,      // no request handle
    kWebProxyAuth = 120,      // HTTP 407
    kWebShortWrite = 121,     // the sink did not take every byte
    kWebMissingHeader = 122,  // a needed header is missing
    kWebFailed = 123,         // redirects, send, cancel, status, read or a cut body
    kWebNotFound = 124,       // HTTP 404
    kWebAuth = 125,           // HTTP 401
    kWebStatus430 = 126,      // HTTP 430, a status no standard assigns: named by its number
    kWebShuttingDown = 127,
    kWebCancelledBySystem = 128,  // the read was cancelled (error 12017)
    kWebTooEarly = 129,           // HTTP 425: the server asks for a later retry
    kWebNotModified = 130,        // HTTP 304
};

// The client's scheme codes (the device's numbers differ).
enum WebScheme : int32_t {
    kSchemeUnknown = 0,
    kSchemeHttp = 1,
    kSchemeHttps = 2,
    kSchemeFtp = 3,
    kSchemeGopher = 4,
    kSchemeMailto = 5,
    kSchemeFile = 6,
    kSchemeNews = 7,
    kSchemeSocks = 8,
};

struct ProxySettings {
    uint32_t mode = 1;  // 0 direct, 1 preconfigured, 2 named proxy
    Text name, user, password;
    uint32_t word = 0;
};

struct WebResponse {
    uint32_t contentLength = 0;  // 0 when unknown
    Text finalUrl;
    Text mimeType;
};

// A request's address: the relative part resolved against the base; either may be empty.
struct UrlPair {
    Text base;
    Text relative;
};

struct WebCredentials {
    Text user;
    Text password;
};

class WebConnector {
public:
    // phase 1: before a request that carries these credentials (context: the credentials);
    // phase 0: after the server asked for them (context: HandleError's, or the client).
    // True asks for another attempt.
    using AuthCallback = bool (*)(void* context, uint32_t phase, void* data);

    WebConnector();
    virtual ~WebConnector();
    WebConnector(const WebConnector&) = delete;
    WebConnector& operator=(const WebConnector&) = delete;

    // Asked after every block read (reason 3); false cancels the request.
    virtual bool MayContinue(uint32_t reason);

    // Every later request returns 127; those in flight are closed.
    void Shutdown();
    void SetProxy(const ProxySettings& settings);
    const ProxySettings& Proxy() const { return proxy_; }
    void SetAuthCallback(AuthCallback callback, void* data);
    void SetProxyAuthCallback(AuthCallback callback, void* data);
    // Connect, send and receive time-outs of the session, and the default of each request.
    void SetTimeouts(int32_t ms);

    // timeout < 0 keeps the session's. fileName (when given) gets a sanitised file name from
    // the Content-Disposition header, or stays empty.
    uint32_t Download(const UrlPair& url, WebSink& sink, WebResponse& response,
                      bool headOnly = false, int32_t timeout = -1,
                      WebCredentials* credentials = nullptr, const char16_t* userAgent = nullptr,
                      const uint64_t* ifModifiedSince = nullptr, Text* fileName = nullptr);
    uint32_t Head(const UrlPair& url, WebSink& sink, WebResponse& response, int32_t timeout = -1,
                  WebCredentials* credentials = nullptr, const char16_t* userAgent = nullptr,
                  const uint64_t* ifModifiedSince = nullptr);
    // Reports the body to the task: total = content length, start, one advance per block,
    // finish. A cancelled task stops the download (123).
    uint32_t DownloadTracked(const UrlPair& url, WebSink& sink, ProgressTask* task);
    // A form POST ("application/x-www-form-urlencoded"); the answer goes to the sink.
    uint32_t Post(const UrlPair& url, const uint8_t* formData, uint32_t length, WebSink& sink,
                  WebResponse& response, WebCredentials* credentials = nullptr,
                  const char16_t* userAgent = nullptr);

    // Requests the check address directly; the answer carries mode 0 when that worked and
    // mode 1 (preconfigured) when not. The client's own settings are kept.
    ProxySettings CheckConnection();
    void SetCheckConnectionUrl(const Text& url) { checkUrl_ = url; }
    // 2 LAN, 1 modem, 4 proxy, 0 none.
    uint32_t GetConnectedState();
    // Dials the phone-book entry "folv" with its saved parameters; true when connected.
    bool DialUp();
    // Whether to try again: 125 and 120 ask their callbacks; 123, 128 and 129 retry once.
    bool HandleError(uint32_t result, uint32_t attempt, void* context);

    static bool HasScheme(const Text& text);
    static bool CombineUrl(const UrlPair& pair, Text& out, bool keepFragment);
    // Decoded and without a leading "file://", for device paths.
    static bool CombineUrlToPath(const UrlPair& pair, Text& out, bool keepFragment);
    static bool CrackUrl(const Text& url, int32_t& scheme, Text& host, Text& path, Text& user,
                         Text& password, Text& extra, uint32_t& port);

    // Requests registered and not yet ended (for tests and the destructor).
    size_t RequestCount() const;

private:
    friend class HttpRequest;

    void Register(HttpRequest& request);
    // Closes both handles and unregisters; the request's owner does this once, at its end.
    void EndRequest(HttpRequest& request);
    // Closes a request's handles (nulled under the lock) without ending it.
    void CloseHandlesLocked(HttpRequest& request);
    // Stores a handle just opened; false (and the handle closed) when the request was closed.
    bool KeepHandle(HttpRequest& request, HINTERNET handle, bool connection);
    uint32_t Fetch(UrlPair& pair, WebSink& sink, WebResponse& response, HttpRequest& state,
                   uint32_t mode, Text* fileName);
    uint32_t ReadBody(HttpRequest& state, WebSink& sink, uint32_t contentLength);
    void ReportError(const std::u16string& url);
    void Watch();

    ProxySettings proxy_;
    std::vector<HttpRequest*> requests_;
    mutable std::mutex lock_;
    std::condition_variable changed_;
    uint32_t nextId_ = 0;
    AuthCallback auth_ = nullptr;
    void* authData_ = nullptr;
    AuthCallback proxyAuth_ = nullptr;
    void* proxyAuthData_ = nullptr;
    int32_t defaultTimeout_ = -1;
    bool active_ = true;
    bool stopWatch_ = false;
    HINTERNET session_ = nullptr;
    HRASCONN dialConnection_ = nullptr;
    Text checkUrl_;
    std::thread watch_;
};

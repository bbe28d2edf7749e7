#include "shell/http/web_connector.h"

#include <algorithm>
#include <chrono>

#include "core/clock.h"
#include "core/optional_api.h"
#include "platform/kernel/system_info.h"
#include "shell/http/http_request.h"
#include "shell/http/progress_tracker.h"
#include "shell/http/wide_text.h"

using web::StartsWithNoCase;
using web::ToText;
using web::Wide;

namespace {

constexpr DWORD kBrowserMode = 0x2000000;
constexpr DWORD kDecodeNoEncode = 0x30000000;
constexpr uint32_t kMinBytesPerSecond = 256;
constexpr uint32_t kCheckPeriodMs = 10000;
constexpr const char16_t* kDefaultCheckUrl = u"http://www.folivant.com/";

// The device's scheme numbers as the client's codes.
int32_t SchemeCode(int systemScheme) {
    static const int32_t kCodes[] = {kSchemeUnknown, kSchemeFtp,    kSchemeGopher,
                                     kSchemeHttp,    kSchemeHttps,  kSchemeFile,
                                     kSchemeNews,    kSchemeMailto, kSchemeSocks};
    return systemScheme >= 1 && systemScheme <= 8 ? kCodes[systemScheme] : kSchemeUnknown;
}

bool Combine(const UrlPair& pair, DWORD flags, std::u16string& out) {
    std::u16string base = Wide(pair.base), relative = Wide(pair.relative);
    WCHAR probe[1];
    DWORD length = 1;
    if (OptionalApi::InternetCombineUrlW(base.c_str(), relative.c_str(), probe, &length, flags)) {
        out.clear();  // only an empty result fits a one-character buffer
        return true;
    }
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || length == 0) return false;
    out.assign(length, u'\0');
    DWORD size = length;
    if (!OptionalApi::InternetCombineUrlW(base.c_str(), relative.c_str(), out.data(), &size,
                                          flags)) {
        return false;
    }
    out.resize(std::min<size_t>(size, out.size()));
    return true;
}

// The fragment goes unless kept; "&amp;" left by a page's markup becomes "&".
void Tidy(std::u16string& url, bool keepFragment) {
    if (!keepFragment) url = url.substr(0, url.find(u'#'));
    for (size_t at = 0; (at = url.find(u'&', at)) != std::u16string::npos; ++at) {
        if (StartsWithNoCase(std::u16string_view(url).substr(at), u"&amp;")) url.erase(at + 1, 4);
    }
}

}  // namespace

WebConnector::WebConnector() {
    session_ =
        OptionalApi::InternetOpenA(nullptr, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    checkUrl_ = ToText(kDefaultCheckUrl);
    watch_ = std::thread([this] { Watch(); });
}

WebConnector::~WebConnector() {
    Shutdown();
    {
        std::unique_lock<std::mutex> l(lock_);
        changed_.wait(l, [&] { return requests_.empty(); });
        stopWatch_ = true;
    }
    changed_.notify_all();
    watch_.join();
    if (session_) OptionalApi::InternetCloseHandle(session_);
    if (dialConnection_) OptionalApi::RasHangUp(dialConnection_);
}

bool WebConnector::MayContinue(uint32_t) {
    return true;
}

void WebConnector::Shutdown() {
    std::lock_guard<std::mutex> l(lock_);
    active_ = false;
    for (HttpRequest* r : requests_) {
        r->closed_ = true;
        CloseHandlesLocked(*r);
    }
}

void WebConnector::SetProxy(const ProxySettings& settings) {
    proxy_ = settings;
    if (settings.mode > 2) return;  // no defined access type: the session keeps its own
    std::u16string name = Wide(settings.name);
    INTERNET_PROXY_INFO info{};
    info.dwAccessType = settings.mode == 0   ? INTERNET_OPEN_TYPE_DIRECT
                        : settings.mode == 1 ? INTERNET_OPEN_TYPE_PRECONFIG
                                             : INTERNET_OPEN_TYPE_PROXY;
    info.lpszProxy = settings.mode == 2 ? name.c_str() : nullptr;
    info.lpszProxyBypass = nullptr;
    OptionalApi::InternetSetOptionW(session_, INTERNET_OPTION_PROXY, &info, sizeof info);
}

void WebConnector::SetAuthCallback(AuthCallback callback, void* data) {
    std::lock_guard<std::mutex> l(lock_);
    auth_ = callback;
    authData_ = data;
}

void WebConnector::SetProxyAuthCallback(AuthCallback callback, void* data) {
    std::lock_guard<std::mutex> l(lock_);
    proxyAuth_ = callback;
    proxyAuthData_ = data;
}

void WebConnector::SetTimeouts(int32_t ms) {
    DWORD value = static_cast<DWORD>(ms);
    for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                         INTERNET_OPTION_RECEIVE_TIMEOUT}) {
        OptionalApi::InternetSetOptionW(session_, option, &value, sizeof value);
    }
    defaultTimeout_ = ms;
}

uint32_t WebConnector::Download(const UrlPair& url, WebSink& sink, WebResponse& response,
                                bool headOnly, int32_t timeout, WebCredentials* credentials,
                                const char16_t* userAgent, const uint64_t* ifModifiedSince,
                                Text* fileName) {
    HttpRequest state(*this);
    state.headOnly = headOnly;
    state.timeout = timeout;
    state.credentials = credentials;
    state.userAgent = userAgent;
    state.ifModifiedSince = ifModifiedSince;
    UrlPair pair = url;
    WebResponse result;
    uint32_t code = state.Get(pair, sink, result, 0, fileName);
    response.contentLength = result.contentLength;
    response.finalUrl = result.finalUrl;
    response.mimeType = result.mimeType;
    return code;
}

uint32_t WebConnector::Head(const UrlPair& url, WebSink& sink, WebResponse& response,
                            int32_t timeout, WebCredentials* credentials, const char16_t* userAgent,
                            const uint64_t* ifModifiedSince) {
    return Download(url, sink, response, true, timeout, credentials, userAgent, ifModifiedSince);
}

uint32_t WebConnector::DownloadTracked(const UrlPair& url, WebSink& sink, ProgressTask* task) {
    HttpRequest state(*this);
    state.task = task;
    UrlPair pair = url;
    WebResponse response;
    return state.Get(pair, sink, response, 0, nullptr);
}

uint32_t WebConnector::Post(const UrlPair& url, const uint8_t* formData, uint32_t length,
                            WebSink& sink, WebResponse& response, WebCredentials* credentials,
                            const char16_t* userAgent) {
    HttpRequest state(*this);
    state.credentials = credentials;
    state.userAgent = userAgent;
    return state.Post(url, formData, length, sink, response);
}

ProxySettings WebConnector::CheckConnection() {
    ProxySettings saved = proxy_;
    ProxySettings direct = saved;
    direct.mode = 0;
    SetProxy(direct);
    NullSink sink;
    WebResponse response;
    UrlPair pair;
    pair.relative = checkUrl_;
    uint32_t result = Download(pair, sink, response, false, -1, nullptr, u"FoliVant NetTender");
    SetProxy(saved);  // the check must not leave the session direct
    if (result != kWebOk) direct.mode = 1;
    return direct;
}

uint32_t WebConnector::GetConnectedState() {
    DWORD flags = 0;
    if (!OptionalApi::InternetGetConnectedState(&flags, 0)) return 0;
    if (flags & INTERNET_CONNECTION_LAN) return INTERNET_CONNECTION_LAN;
    if (flags & INTERNET_CONNECTION_MODEM) return INTERNET_CONNECTION_MODEM;
    if (flags & INTERNET_CONNECTION_PROXY) return INTERNET_CONNECTION_PROXY;
    return 0;
}

bool WebConnector::DialUp() {
    RASDIALPARAMSW params{};
    params.dwSize = sizeof params;
    std::u16string_view entry = u"folv";
    std::copy(entry.begin(), entry.end(), params.szEntryName);
    BOOL hasPassword = FALSE;
    if (OptionalApi::RasGetEntryDialParams(nullptr, &params, &hasPassword) != 0) return false;
    std::lock_guard<std::mutex> l(lock_);
    if (dialConnection_) return true;
    HRASCONN connection = nullptr;
    if (OptionalApi::RasDial(nullptr, nullptr, &params, 0, nullptr, &connection) == 0 &&
        connection) {
        dialConnection_ = connection;
        return true;
    }
    // A failed dial still leaves a connection behind; keeping it would read as connected.
    if (connection) OptionalApi::RasHangUp(connection);
    return false;
}

bool WebConnector::HandleError(uint32_t result, uint32_t attempt, void* context) {
    AuthCallback callback = nullptr;
    void* data = nullptr;
    {
        std::lock_guard<std::mutex> l(lock_);
        if (result == kWebAuth) {
            callback = auth_;
            data = authData_;
        } else if (result == kWebProxyAuth) {
            callback = proxyAuth_;
            data = proxyAuthData_;
            context = this;
        }
    }
    if (result == kWebAuth || result == kWebProxyAuth)
        return callback && callback(context, 0, data);
    if (result == kWebFailed || result == kWebCancelledBySystem || result == kWebTooEarly) {
        return attempt == 0;
    }
    return false;
}

bool WebConnector::HasScheme(const Text& text) {
    std::u16string s = Wide(text);
    auto letter = [](char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); };
    if (s.empty() || !(letter(s[0]) || s[0] == u'_')) return false;
    for (size_t i = 1; i < s.size(); ++i) {
        char16_t c = s[i];
        if (c == u':') return true;
        if (!letter(c) && !(c >= u'0' && c <= u'9') && c != u'_' && c != u'-') return false;
    }
    return false;
}

bool WebConnector::CombineUrl(const UrlPair& pair, Text& out, bool keepFragment) {
    std::u16string url;
    if (!Combine(pair, kBrowserMode, url)) return false;
    Tidy(url, keepFragment);
    out = ToText(url);
    return out.IsValid();
}

bool WebConnector::CombineUrlToPath(const UrlPair& pair, Text& out, bool keepFragment) {
    std::u16string url;
    if (!Combine(pair, kDecodeNoEncode, url)) return false;
    Tidy(url, keepFragment);
    if (StartsWithNoCase(url, u"file://")) url.erase(0, 7);
    out = ToText(url);
    return out.IsValid();
}

bool WebConnector::CrackUrl(const Text& url, int32_t& scheme, Text& host, Text& path, Text& user,
                            Text& password, Text& extra, uint32_t& port) {
    std::u16string text = Wide(url);
    URL_COMPONENTSW c{};
    c.dwStructSize = sizeof c;
    c.dwSchemeLength = c.dwHostNameLength = c.dwUserNameLength = c.dwPasswordLength =
        c.dwUrlPathLength = c.dwExtraInfoLength = 1;  // every part, as pointers into the text
    if (!OptionalApi::InternetCrackUrlW(text.c_str(), 0, 0, &c)) return false;
    auto part = [](LPWSTR p, DWORD n) { return p ? ToText(std::u16string_view(p, n)) : Text(); };
    scheme = SchemeCode(c.nScheme);
    host = part(c.lpszHostName, c.dwHostNameLength);
    path = part(c.lpszUrlPath, c.dwUrlPathLength);
    user = part(c.lpszUserName, c.dwUserNameLength);
    password = part(c.lpszPassword, c.dwPasswordLength);
    extra = part(c.lpszExtraInfo, c.dwExtraInfoLength);
    port = c.nPort;
    return true;
}

size_t WebConnector::RequestCount() const {
    std::lock_guard<std::mutex> l(lock_);
    return requests_.size();
}

void WebConnector::Register(HttpRequest& request) {
    std::lock_guard<std::mutex> l(lock_);
    request.id_ = nextId_++;
    requests_.push_back(&request);
    changed_.notify_all();
}

void WebConnector::EndRequest(HttpRequest& request) {
    {
        std::lock_guard<std::mutex> l(lock_);
        CloseHandlesLocked(request);
        requests_.erase(std::remove(requests_.begin(), requests_.end(), &request), requests_.end());
    }
    changed_.notify_all();
}

void WebConnector::CloseHandlesLocked(HttpRequest& request) {
    if (request.request_) OptionalApi::InternetCloseHandle(request.request_);
    if (request.connection_) OptionalApi::InternetCloseHandle(request.connection_);
    request.request_ = nullptr;
    request.connection_ = nullptr;
}

bool WebConnector::KeepHandle(HttpRequest& request, HINTERNET handle, bool connection) {
    std::lock_guard<std::mutex> l(lock_);
    if (request.closed_ || !active_) {
        if (handle) OptionalApi::InternetCloseHandle(handle);
        return false;
    }
    (connection ? request.connection_ : request.request_) = handle;
    return handle != nullptr;
}

void WebConnector::ReportError(const std::u16string& url) {
    // The user part of the URL stays out of the log.
    std::u16string shown = url;
    size_t start = shown.find(u"://");
    if (start != std::u16string::npos) {
        size_t end = shown.find_first_of(u"/?#", start + 3);
        size_t at = shown.rfind(u'@', end == std::u16string::npos ? shown.size() : end);
        if (at != std::u16string::npos && at > start) shown.erase(start + 3, at - start - 2);
    }
    std::u16string line = u"##### Web Connector Error: " + shown + u"##### \n";
    OutputDebugStringW(line.c_str());
}

void WebConnector::Watch() {
    std::unique_lock<std::mutex> l(lock_);
    while (!stopWatch_) {
        // Idle without requests; a registration or the destructor wakes it.
        if (requests_.empty()) {
            changed_.wait(l);
            continue;
        }
        changed_.wait_for(l, std::chrono::milliseconds(50));
        uint32_t now = TickCount();
        for (HttpRequest* r : requests_) {
            if (r->closed_ || static_cast<int32_t>(now - r->checkTick_) < 0) continue;
            uint32_t ms = now - r->startTick_;
            uint64_t rate = ms ? static_cast<uint64_t>(r->bytesReceived_) * 1000 / ms : 0;
            if (rate < kMinBytesPerSecond) {
                r->closed_ = true;
                CloseHandlesLocked(*r);
            } else {
                r->checkTick_ = now + kCheckPeriodMs;
            }
        }
    }
}

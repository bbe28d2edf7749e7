#include "shell/http/http_request.h"

#include "core/clock.h"
#include "core/dates.h"
#include "core/html.h"
#include "core/optional_api.h"
#include "shell/http/progress_tracker.h"
#include "shell/http/wide_text.h"

using web::StartsWithNoCase;
using web::ToText;
using web::Wide;

namespace {

constexpr DWORD kGetFlags = 0x4600800;
// The no-auto-redirect bit too: a POST's redirect is followed here, as a GET.
constexpr DWORD kPostFlags = 0x4400800 | INTERNET_FLAG_NO_AUTO_REDIRECT;
constexpr DWORD kKeepConnection = 0x400000;
constexpr uint32_t kMaxRedirects = 5;
constexpr uint32_t kBlockBytes = 4096;
constexpr DWORD kMaxDispositionChars = 256;
constexpr DWORD kErrorCancelled = 12017;

// The HTTP status codes the client tells apart. 430 has no standard meaning but a result of its
// own, so it is named by its number.
enum HttpStatus : DWORD {
    kHttpOk = 200,
    kHttpMovedPermanently = 301,
    kHttpFound = 302,
    kHttpSeeOther = 303,
    kHttpNotModified = 304,
    kHttpUnauthorized = 401,
    kHttpNotFound = 404,
    kHttpProxyAuthRequired = 407,
    kHttpTooEarly = 425,
    kHttpStatus430 = 430,
};
constexpr uint32_t kCheckPeriodMs = 10000;

// The connection service of a scheme code.
DWORD Service(int32_t scheme) {
    switch (scheme) {
        case kSchemeHttp:
        case kSchemeHttps:
            return INTERNET_SERVICE_HTTP;
        case kSchemeFtp:
            return INTERNET_SERVICE_FTP;
        case kSchemeGopher:
            return INTERNET_SERVICE_GOPHER;
        default:
            return 0;
    }
}

// A text header; the buffer grows when the first one is too small. False when absent.
bool QueryText(HINTERNET request, DWORD level, std::u16string& out, DWORD maxChars) {
    DWORD bytes = 128 * sizeof(char16_t);
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::u16string buffer(bytes / sizeof(char16_t) + 1, u'\0');
        DWORD length = bytes;
        if (OptionalApi::HttpQueryInfoW(request, level, buffer.data(), &length, nullptr)) {
            out.assign(buffer.data(), length / sizeof(char16_t));
            return true;
        }
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || length <= bytes ||
            length > (maxChars + 1) * sizeof(char16_t)) {
            return false;
        }
        bytes = length;
    }
    return false;
}

bool QueryNumber(HINTERNET request, DWORD level, DWORD& value) {
    DWORD length = sizeof value;
    return OptionalApi::HttpQueryInfoW(request, level | HTTP_QUERY_FLAG_NUMBER, &value, &length,
                                       nullptr) != FALSE;
}

// The file name of a Content-Disposition value, made safe to use as a name in a folder: no
// quotes, parameters, folders, "..", control or reserved characters. Empty when unusable.
std::u16string DispositionFileName(const std::u16string& header) {
    size_t at = header.find(u"filename=");
    while (at != std::u16string::npos && at + 8 < 10) at = header.find(u"filename=", at + 1);
    if (at == std::u16string::npos) return {};
    std::u16string value = header.substr(at + 9);
    if (!value.empty() && value[0] == u'"') {
        value = value.substr(1, value.find(u'"', 1) - 1);
    } else {
        value = value.substr(0, value.find_first_of(u" ;\t"));
    }
    size_t slash = value.find_last_of(u"/\\");
    if (slash != std::u16string::npos) value = value.substr(slash + 1);
    if (value.empty() || value == u"." || value == u"..") return {};
    for (char16_t c : value) {
        if (c < 0x20 || c == 0x7F ||
            std::u16string_view(u"<>:\"|?*").find(c) != std::u16string::npos) {
            return {};
        }
    }
    return value;
}

// MIME type of a file URL, from its extension.
Text TypeFromExtension(const std::u16string& url) {
    std::u16string path = url.substr(0, url.find_first_of(u"?#"));
    size_t name = path.find_last_of(u"/\\");
    size_t dot = path.rfind(u'.');
    if (dot == std::u16string::npos || (name != std::u16string::npos && dot < name)) return Text();
    std::u16string ext = path.substr(dot + 1);
    for (auto& c : ext) {
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
    }
    const char16_t* type = nullptr;
    if (ext == u"gif") {
        type = u"image/gif";
    } else if (ext == u"jpg" || ext == u"jpe" || ext == u"jpeg") {
        type = u"image/jpeg";
    } else if (ext == u"png") {
        type = u"image/png";
    } else if (ext == u"htm" || ext == u"html") {
        type = u"text/html";
    }
    return type ? ToText(type) : Text();
}

}  // namespace

HttpRequest::HttpRequest(WebConnector& owner) : owner_(owner) {
    startTick_ = TickCount();
    checkTick_ = startTick_ + kCheckPeriodMs;
    owner_.Register(*this);
}

HttpRequest::~HttpRequest() {
    owner_.EndRequest(*this);
}

bool HttpRequest::WasClosed() const {
    std::lock_guard<std::mutex> l(owner_.lock_);
    return closed_ || !request_;
}

HINTERNET HttpRequest::Handle() const {
    std::lock_guard<std::mutex> l(owner_.lock_);
    return request_;
}

std::u16string HttpRequest::Headers() const {
    std::u16string headers;
    if (userAgent) headers += u"User-Agent: " + std::u16string(userAgent) + u"\r\n";
    if (ifModifiedSince) {
        Text date;
        if (HttpDate::Format(*ifModifiedSince, date)) {
            headers += u"If-Modified-Since: " + Wide(date) + u"\r\n";
        }
    }
    return headers;
}

uint32_t HttpRequest::Prepare(const UrlPair& pair, WebResponse& response, Target& target) {
    if (!WebConnector::CombineUrl(pair, response.finalUrl, false)) return kWebBadUrl;
    {
        std::lock_guard<std::mutex> l(owner_.lock_);
        if (!owner_.active_) return kWebShuttingDown;
    }
    Text host, path, user, password, extra;
    if (!WebConnector::CrackUrl(response.finalUrl, target.scheme, host, path, user, password, extra,
                                target.port)) {
        return kWebBadUrl;
    }
    target.url = Wide(response.finalUrl);
    target.host = Wide(host);
    target.user = Wide(user);
    target.password = Wide(password);
    target.object = Wide(path) + Wide(extra);
    // A server may send us anywhere; never to local files or other schemes.
    if (redirectCount_ > 0 && target.scheme != kSchemeHttp && target.scheme != kSchemeHttps) {
        owner_.ReportError(target.url);
        return kWebFailed;
    }
    if (!originSet_) {
        originSet_ = true;
        originScheme_ = target.scheme;
        originHost_ = target.host;
        originPort_ = target.port;
    }
    if (credentials) {
        WebConnector::AuthCallback callback;
        void* data;
        {
            std::lock_guard<std::mutex> l(owner_.lock_);
            callback = owner_.auth_;
            data = owner_.authData_;
        }
        if (callback) callback(credentials, 1, data);
        // Credentials were given for the first host; a redirect elsewhere goes without them.
        bool sameOrigin = target.scheme == originScheme_ && target.port == originPort_ &&
                          target.host.size() == originHost_.size() &&
                          StartsWithNoCase(target.host, originHost_);
        if (sameOrigin) {
            if (target.user.empty()) target.user = Wide(credentials->user);
            if (target.password.empty()) target.password = Wide(credentials->password);
        }
    }
    return kWebOk;
}

uint32_t HttpRequest::Open(const Target& target, const char16_t* verb, DWORD flags) {
    HINTERNET connection = OptionalApi::InternetConnectW(
        owner_.session_, target.host.c_str(), static_cast<INTERNET_PORT>(target.port),
        target.user.empty() ? nullptr : target.user.c_str(),
        target.password.empty() ? nullptr : target.password.c_str(), Service(target.scheme),
        kKeepConnection, 0);
    if (!owner_.KeepHandle(*this, connection, true)) return kWebNoRequest;
    std::u16string proxyUser = Wide(owner_.proxy_.user);
    std::u16string proxyPassword = Wide(owner_.proxy_.password);
    if (!proxyUser.empty()) {
        OptionalApi::InternetSetOptionW(connection, INTERNET_OPTION_PROXY_USERNAME,
                                        proxyUser.data(), static_cast<DWORD>(proxyUser.size()));
    }
    if (!proxyPassword.empty()) {
        OptionalApi::InternetSetOptionW(connection, INTERNET_OPTION_PROXY_PASSWORD,
                                        proxyPassword.data(),
                                        static_cast<DWORD>(proxyPassword.size()));
    }
    if (target.scheme == kSchemeHttps) flags |= INTERNET_FLAG_SECURE;
    // Certificate errors are not waived: the security flags are left as the device sets them.
    HINTERNET request = OptionalApi::HttpOpenRequestW(connection, verb, target.object.c_str(),
                                                      u"HTTP/1.1", nullptr, nullptr, flags, 0);
    if (!owner_.KeepHandle(*this, request, false)) return kWebNoRequest;
    if (timeout >= 0) {
        DWORD ms = static_cast<DWORD>(timeout);
        for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                             INTERNET_OPTION_RECEIVE_TIMEOUT}) {
            OptionalApi::InternetSetOptionW(request, option, &ms, sizeof ms);
        }
    }
    return kWebOk;
}

uint32_t HttpRequest::Get(UrlPair& pair, WebSink& sink, WebResponse& response, uint32_t mode,
                          Text* fileName) {
    if (redirectCount_ > kMaxRedirects) return kWebFailed;
    {
        std::lock_guard<std::mutex> l(owner_.lock_);
        owner_.CloseHandlesLocked(*this);
    }
    Target target;
    if (uint32_t result = Prepare(pair, response, target)) return result;
    std::u16string headers = Headers();
    fileUrl_ = target.scheme == kSchemeFile;
    if (!fileUrl_) {
        if (uint32_t result = Open(target, headOnly ? u"HEAD" : u"GET", kGetFlags)) return result;
        if (!OptionalApi::HttpSendRequestW(Handle(), headers.c_str(),
                                           static_cast<DWORD>(headers.size()), nullptr, 0)) {
            owner_.ReportError(target.url);
            return kWebFailed;
        }
    } else {
        Text url = response.finalUrl;
        Html::DecodeEntities(url);
        std::u16string wide = Wide(url);
        HINTERNET file =
            OptionalApi::InternetOpenUrlW(owner_.session_, wide.c_str(), headers.c_str(),
                                          static_cast<DWORD>(headers.size()), 0, 0);
        if (!owner_.KeepHandle(*this, file, false)) return kWebNoRequest;
    }
    return owner_.Fetch(pair, sink, response, *this, mode, fileName);
}

uint32_t HttpRequest::Post(const UrlPair& url, const uint8_t* formData, uint32_t length,
                           WebSink& sink, WebResponse& response) {
    Target target;
    if (uint32_t result = Prepare(url, response, target)) return result;
    if (target.scheme == kSchemeFile) return kWebNoRequest;
    if (uint32_t result = Open(target, u"POST", kPostFlags)) return result;
    std::u16string headers = u"Content-type: application/x-www-form-urlencoded\r\n";
    if (userAgent) headers += u"User-Agent: " + std::u16string(userAgent) + u"\r\n";
    INTERNET_BUFFERSW buffers{};
    buffers.dwStructSize = sizeof buffers;
    buffers.lpcszHeader = headers.c_str();
    buffers.dwHeadersLength = static_cast<DWORD>(headers.size());
    buffers.lpvBuffer = const_cast<uint8_t*>(formData);
    buffers.dwBufferLength = formData ? length : 0;
    buffers.dwBufferTotal = buffers.dwBufferLength;
    if (!OptionalApi::HttpSendRequestExW(Handle(), &buffers, nullptr, 0, 0) ||
        !OptionalApi::HttpEndRequestW(Handle(), nullptr, 0, 0)) {
        owner_.ReportError(target.url);
        return kWebFailed;
    }
    UrlPair pair = url;
    return owner_.Fetch(pair, sink, response, *this, 0, nullptr);
}

uint32_t WebConnector::Fetch(UrlPair& pair, WebSink& sink, WebResponse& response,
                             HttpRequest& state, uint32_t mode, Text* fileName) {
    response.mimeType.Clear();
    response.contentLength = 0;
    HINTERNET request = state.Handle();
    DWORD status = 0;
    bool hasStatus = QueryNumber(request, HTTP_QUERY_STATUS_CODE, status);
    if (!hasStatus) {
        // Only a file has no status; an HTTP request without one was closed under us.
        if (!state.fileUrl_ || state.WasClosed()) return kWebFailed;
        status = kHttpOk;
    }
    switch (status) {
        case kHttpOk:
            break;
        case kHttpNotFound:
            return kWebNotFound;
        case kHttpMovedPermanently:
        case kHttpFound:
        case kHttpSeeOther: {
            std::u16string location;
            if (!QueryText(request, HTTP_QUERY_LOCATION, location, 0xFFFF)) {
                return state.WasClosed() ? kWebFailed : kWebMissingHeader;
            }
            pair.base = response.finalUrl;
            pair.relative = ToText(location);
            ++state.redirectCount_;
            return state.Get(pair, sink, response, mode, fileName);
        }
        case kHttpNotModified:
            return kWebNotModified;
        case kHttpUnauthorized:
            return kWebAuth;
        case kHttpProxyAuthRequired:
            return kWebProxyAuth;
        case kHttpTooEarly:
            return kWebTooEarly;
        case kHttpStatus430:
            return kWebStatus430;
        default:
            ReportError(Wide(response.finalUrl));
            return kWebFailed;
    }
    DWORD length = 0;
    if (QueryNumber(request, HTTP_QUERY_CONTENT_LENGTH, length)) response.contentLength = length;
    std::u16string disposition;
    if (fileName) fileName->Clear();
    if (fileName &&
        QueryText(request, HTTP_QUERY_CONTENT_DISPOSITION, disposition, kMaxDispositionChars)) {
        *fileName = ToText(DispositionFileName(disposition));
    }
    // The type is settled before the sink hears of a body, so that it never keeps one that
    // ends as a failure.
    if (!hasStatus) {
        response.mimeType = TypeFromExtension(Wide(response.finalUrl));
    } else {
        std::u16string type;
        if (QueryText(request, HTTP_QUERY_CONTENT_TYPE, type, 0xFFFF)) {
            response.mimeType = ToText(type);
        } else if (mode == 0 || state.WasClosed()) {
            uint32_t result = state.WasClosed() ? kWebFailed : kWebMissingHeader;
            if (!state.headOnly) sink.End(result);
            return result;
        }
    }
    if (state.headOnly) return kWebOk;
    if (state.task) state.task->SetTotal(response.contentLength);
    sink.Begin(response.contentLength);
    uint32_t result = ReadBody(state, sink, response.contentLength);
    sink.End(result);
    return result;
}

uint32_t WebConnector::ReadBody(HttpRequest& state, WebSink& sink, uint32_t contentLength) {
    ProgressTask* task = state.task;
    if (task && task->Start(0)) return kWebFailed;
    HINTERNET request = state.Handle();
    uint8_t block[kBlockBytes];
    uint64_t received = 0;
    for (;;) {
        DWORD n = 0;
        if (!OptionalApi::InternetReadFile(request, block, kBlockBytes, &n)) {
            // A failure without a code is no success either.
            return GetLastError() == kErrorCancelled ? kWebCancelledBySystem : kWebFailed;
        }
        if (n == 0) break;
        if (sink.Write(block, n) != n) return kWebShortWrite;
        if (!MayContinue(3)) return kWebFailed;
        received += n;
        state.bytesReceived_ += n;
        if (task && task->Advance(n)) return kWebFailed;
    }
    // A body that stopped short of its announced length is cut, not complete.
    if (contentLength && received != contentLength) return kWebFailed;
    if (task) task->Finish();
    return kWebOk;
}

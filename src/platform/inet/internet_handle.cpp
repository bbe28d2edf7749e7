// The handle table, sessions, connections and their options.
#include <sys/socket.h>
#include <unistd.h>

#include <map>
#include <mutex>

#include "platform/inet/internet_object.h"
#include "platform/kernel/device.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/wide.h"
#include "platform/last_error.h"

namespace fvt::inet {
namespace {

struct Registry {
    std::mutex lock;
    std::map<uintptr_t, std::shared_ptr<Object>> objects;
    uintptr_t next = 0x10000;
};

Registry& R() {
    static Registry* r = new Registry;
    return *r;
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

}  // namespace

Object::~Object() {
    if (fd >= 0) ::close(fd);
    if (file) CloseHandle(file);
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

std::shared_ptr<Object> NewChild(Kind kind, const std::shared_ptr<Object>& parent) {
    auto o = std::make_shared<Object>(kind);
    o->parent = parent;
    std::copy(std::begin(parent->timeouts), std::end(parent->timeouts), o->timeouts);
    return o;
}

std::string Lower(std::string s) {
    for (auto& c : s) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return s;
}

std::string Narrow(LPCWSTR text) {
    return text ? WideToUtf8(WideView(text)) : std::string();
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

bool Offline() {
    return Lower(Profile().Value("internet", "lan")) == "offline";
}

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

}  // namespace fvt

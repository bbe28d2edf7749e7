// Windows of another process on the same device root: the first process to show a top-level
// window listens on a local socket named after the device root; FindWindowW in a second process
// asks it, and gets a proxy handle that serves SetForegroundWindow and a synchronous
// SendMessageW (plain numbers only: nothing that points into the sender's memory).
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>

#include "platform/kernel/device.h"
#include "platform/kernel/wide.h"
#include "platform/last_error.h"
#include "platform/window/window_internal.h"

namespace fvt::win {
namespace {

// An abstract socket address (no file to leave behind) derived from the device root.
socklen_t Address(sockaddr_un& addr) {
    std::string root = fvt::DeviceRoot();
    char resolved[PATH_MAX];
    if (realpath(root.c_str(), resolved)) root = resolved;
    std::size_t h = std::hash<std::string>{}(root);
    std::memset(&addr, 0, sizeof(addr));
    addr.sun_family = AF_UNIX;
    std::string name = "folivant-instance-" + std::to_string(h);
    std::memcpy(addr.sun_path + 1, name.data(), name.size());
    return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
}

bool ReadLine(int fd, std::string& line) {
    line.clear();
    char c;
    while (line.size() < 4096) {
        ssize_t n = read(fd, &c, 1);
        if (n <= 0) return !line.empty();
        if (c == '\n') return true;
        line.push_back(c);
    }
    return false;
}

bool WriteAll(int fd, const std::string& s) {
    size_t done = 0;
    while (done < s.size()) {
        ssize_t n = send(fd, s.data() + done, s.size() - done, MSG_NOSIGNAL);
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// One request, one answer line; "" when no instance answers.
std::string Ask(const std::string& request) {
    sockaddr_un addr;
    socklen_t len = Address(addr);
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return {};
    std::string answer;
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), len) == 0 && WriteAll(fd, request + "\n"))
        ReadLine(fd, answer);
    close(fd);
    return answer;
}

void Serve(int fd) {
    std::string line;
    if (!ReadLine(fd, line)) return;
    // "FIND <class>", "FOREGROUND <class>", "SEND <message> <wParam> <lParam> <class>".
    std::string verb = line.substr(0, line.find(' '));
    std::string rest = line.size() > verb.size() ? line.substr(verb.size() + 1) : std::string();
    std::string answer = "0";
    if (verb == "FIND" || verb == "FOREGROUND") {
        std::u16string cls = fvt::Utf8ToWide(rest);
        HWND h = FindWindowLocal(cls.c_str(), nullptr);
        if (h && verb == "FOREGROUND") SetForegroundWindow(h);
        answer = h ? "1" : "0";
    } else if (verb == "SEND") {
        unsigned long long msg = 0, wParam = 0;
        long long lParam = 0;
        int used = 0;
        if (std::sscanf(rest.c_str(), "%llu %llu %lld %n", &msg, &wParam, &lParam, &used) >= 3) {
            std::u16string cls = fvt::Utf8ToWide(rest.substr(static_cast<size_t>(used)));
            HWND h = FindWindowLocal(cls.c_str(), nullptr);
            LRESULT r = h ? SendMessageW(h, static_cast<UINT>(msg), static_cast<WPARAM>(wParam),
                                         static_cast<LPARAM>(lParam))
                          : 0;
            answer = std::to_string(static_cast<long long>(r));
        }
    }
    WriteAll(fd, answer + "\n");
}

struct Server {
    std::uint64_t generation = 0;
    int fd = -1;
};
Server g_server;

}  // namespace

void StartInstanceServer() {
    std::uint64_t gen = fvt::DeviceGeneration();
    {
        std::lock_guard<std::mutex> l(Lock());
        if (g_server.generation == gen) return;
        if (g_server.fd >= 0) {
            shutdown(g_server.fd, SHUT_RDWR);  // the old device's listener ends
            g_server.fd = -1;
        }
        g_server.generation = gen;
    }
    sockaddr_un addr;
    socklen_t len = Address(addr);
    // Bound at once when free; another process may hold the name a little longer (it is
    // closing), then the listener keeps trying.
    auto tryBind = [addr, len]() -> int {
        int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) return -1;
        if (bind(fd, reinterpret_cast<const sockaddr*>(&addr), len) == 0 && listen(fd, 8) == 0)
            return fd;
        close(fd);
        return -1;
    };
    int first = tryBind();
    std::thread([tryBind, first, gen] {
        int fd = first;
        while (fd < 0) {
            usleep(250 * 1000);
            if (fvt::DeviceGeneration() != gen) return;
            fd = tryBind();
        }
        {
            std::lock_guard<std::mutex> l(Lock());
            if (g_server.generation != gen) {
                close(fd);
                return;
            }
            g_server.fd = fd;
        }
        for (;;) {
            int c = accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
            if (c < 0) break;
            Serve(c);
            close(c);
        }
        close(fd);
    }).detach();
}

HWND FindRemoteWindow(LPCWSTR className) {
    if (!className || reinterpret_cast<std::uintptr_t>(className) < 0x10000) return nullptr;
    std::string cls = fvt::WideToUtf8(fvt::WideView(className));
    if (Ask("FIND " + cls) != "1") return nullptr;
    std::lock_guard<std::mutex> l(Lock());
    Window* w = NewProxyWindow();
    if (!w) return nullptr;
    w->remoteClass = cls;
    return w->handle;
}

bool RemoteForeground(const std::string& cls) {
    return Ask("FOREGROUND " + cls) == "1";
}

LRESULT RemoteSend(const std::string& cls, UINT message, WPARAM wParam, LPARAM lParam) {
    std::string answer = Ask("SEND " + std::to_string(message) + " " + std::to_string(wParam) +
                             " " + std::to_string(static_cast<long long>(lParam)) + " " + cls);
    return answer.empty() ? 0 : static_cast<LRESULT>(std::strtoll(answer.c_str(), nullptr, 10));
}

}  // namespace fvt::win

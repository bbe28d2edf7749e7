// Windows of another process on the same device root: the first process to show a top-level
// window listens on a local socket named after the device root; FindWindowW in a second process
// asks it, and gets a proxy handle that serves SetForegroundWindow and a synchronous
// SendMessageW (plain numbers only: nothing that points into the sender's memory). Every
// question but an unlimited send waits a bounded time: a process that is stopped or hung does
// not stop the one that asks.
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
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

// How long a question may wait for its answer when the asker sets no limit of its own. A reader
// that runs answers at once: its listener is a thread of its own.
constexpr UINT kAnswerMs = 2000;

// Waits of `ms` (0: none) for each connect, send and read on the socket.
void LimitWaits(int fd, UINT ms) {
    if (ms == 0) return;
    timeval limit{};
    limit.tv_sec = static_cast<time_t>(ms / 1000);
    limit.tv_usec = static_cast<suseconds_t>((ms % 1000) * 1000);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
}

// A wait that ran out, as against a refusal or an end: the other side is there and silent.
bool TimedOut(int error) {
    return error == EAGAIN || error == EWOULDBLOCK || error == EINTR || error == ETIMEDOUT;
}

// Nobody listens on the device (or the process ended before it answered); or a listener is
// there but gave no answer in time (a process stopped or hung, whose queue may even be full); or
// an answer line.
enum class Reach { kNobody, kSilent, kAnswered };
struct Reply {
    Reach reach = Reach::kNobody;
    std::string line;
};

// One request, one answer line, waiting at most `ms` (0: as long as it takes) for each step.
Reply Ask(const std::string& request, UINT ms) {
    sockaddr_un addr;
    socklen_t len = Address(addr);
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return {};
    LimitWaits(fd, ms);
    Reply reply;
    errno = 0;
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), len) == 0 &&
        WriteAll(fd, request + "\n") && ReadLine(fd, reply.line))
        reply.reach = Reach::kAnswered;
    else
        reply.reach = TimedOut(errno) ? Reach::kSilent : Reach::kNobody;
    close(fd);
    return reply;
}

// The asker has hung up (it gave up waiting): its question is no longer wanted. A process
// stopped for a while finds such questions queued when it goes on; acting on them late would
// close a reader whose hand-over has long failed.
bool AskerGone(int fd) {
    pollfd p{fd, POLLRDHUP, 0};
    return poll(&p, 1, 0) > 0 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0;
}

// The answer to a send: the window's result, or "-" when it did not take the message in time.
std::string ServeSend(const std::string& rest) {
    unsigned long long msg = 0, wParam = 0;
    long long lParam = 0;
    unsigned limitMs = 0;
    int used = 0;
    if (std::sscanf(rest.c_str(), "%u %llu %llu %lld %n", &limitMs, &msg, &wParam, &lParam,
                    &used) < 4)
        return "0";
    std::u16string cls = fvt::Utf8ToWide(rest.substr(static_cast<size_t>(used)));
    HWND h = FindWindowLocal(cls.c_str(), nullptr);
    LRESULT r = 0;
    if (h && !Send(h, static_cast<UINT>(msg), static_cast<WPARAM>(wParam),
                   static_cast<LPARAM>(lParam), limitMs, r))
        return "-";
    return std::to_string(static_cast<long long>(r));
}

void Serve(int fd) {
    // An asker that never finishes its line does not hold the listener.
    LimitWaits(fd, kAnswerMs);
    std::string line;
    if (!ReadLine(fd, line) || AskerGone(fd)) return;
    // "FIND <class>", "FOREGROUND <class>",
    // "SEND <limit ms, 0: none> <message> <wParam> <lParam> <class>".
    std::string verb = line.substr(0, line.find(' '));
    std::string rest = line.size() > verb.size() ? line.substr(verb.size() + 1) : std::string();
    std::string answer = "0";
    if (verb == "FIND" || verb == "FOREGROUND") {
        std::u16string cls = fvt::Utf8ToWide(rest);
        HWND h = FindWindowLocal(cls.c_str(), nullptr);
        if (h && verb == "FOREGROUND") SetForegroundWindow(h);
        answer = h ? "1" : "0";
    } else if (verb == "SEND") {
        answer = ServeSend(rest);
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

bool HeldElsewhere() {
    {
        std::lock_guard<std::mutex> l(Lock());
        if (g_server.generation == fvt::DeviceGeneration() && g_server.fd >= 0) return false;
    }
    sockaddr_un addr;
    socklen_t len = Address(addr);
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    // A listener on the name is another process's, alive: the name goes with the process.
    const bool held = connect(fd, reinterpret_cast<sockaddr*>(&addr), len) == 0;
    close(fd);
    return held;
}

HWND FindRemoteWindow(LPCWSTR className) {
    if (!className || reinterpret_cast<std::uintptr_t>(className) < 0x10000) return nullptr;
    std::string cls = fvt::WideToUtf8(fvt::WideView(className));
    const Reply reply = Ask("FIND " + cls, kAnswerMs);
    // A process that listens and does not answer holds the device all the same: its windows are
    // not taken for gone. Messages to the handle wait for it as they would for any window.
    if (reply.reach == Reach::kNobody || (reply.reach == Reach::kAnswered && reply.line != "1"))
        return nullptr;
    std::lock_guard<std::mutex> l(Lock());
    Window* w = NewProxyWindow();
    if (!w) return nullptr;
    w->remoteClass = cls;
    return w->handle;
}

bool RemoteForeground(const std::string& cls) {
    const Reply reply = Ask("FOREGROUND " + cls, kAnswerMs);
    if (reply.reach == Reach::kSilent) return fvt::Fail(ERROR_TIMEOUT, false);
    if (reply.reach == Reach::kAnswered && reply.line == "1") return true;
    return fvt::Fail(ERROR_INVALID_WINDOW_HANDLE, false);
}

bool RemoteSend(const std::string& cls, UINT message, WPARAM wParam, LPARAM lParam, UINT limitMs,
                LRESULT& result) {
    result = 0;
    const Reply reply =
        Ask("SEND " + std::to_string(limitMs) + " " + std::to_string(message) + " " +
                std::to_string(wParam) + " " + std::to_string(static_cast<long long>(lParam)) +
                " " + cls,
            limitMs);
    // The process went before it answered: the message has no result.
    if (reply.reach == Reach::kNobody) return true;
    char* end = nullptr;
    const long long value = std::strtoll(reply.line.c_str(), &end, 10);
    if (reply.reach == Reach::kSilent || reply.line.empty() || *end != '\0')
        return fvt::Fail(ERROR_TIMEOUT, false);
    result = static_cast<LRESULT>(value);
    return true;
}

}  // namespace fvt::win

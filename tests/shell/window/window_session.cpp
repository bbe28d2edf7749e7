#include "shell/window/window_session.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/XKBlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

extern char** environ;

namespace fvt::test {

namespace {

// Bounded waits: generous, for sanitizer builds on a busy machine; never a measure of speed.
constexpr auto kWindowWait = std::chrono::seconds(120);
constexpr auto kChangeWait = std::chrono::seconds(30);
constexpr auto kPoll = std::chrono::milliseconds(20);

// A window that went away between two requests is no reason to end the test process (the
// default handler would): the request just fails.
int IgnoreXError(Display*, XErrorEvent*) {
    return 0;
}

bool Exists(const std::string& path) {
    return access(path.c_str(), F_OK) == 0;
}

}  // namespace

PrivateXServer::PrivateXServer() {
    if (access("/usr/bin/Xvfb", X_OK) != 0) return;
    int fds[2];
    if (pipe(fds) != 0) return;
    std::vector<std::string> args = {"/usr/bin/Xvfb", "-displayfd", std::to_string(fds[1]),
                                     "-screen",       "0",          "640x480x24",
                                     "-nolisten",     "tcp",        "-noreset"};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    // The server's notes on the display numbers it tried first are not the test's.
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, 2, "/dev/null", O_WRONLY, 0);
    if (posix_spawn(&pid_, argv[0], &quiet, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&quiet);
    close(fds[1]);
    // Xvfb writes the number it took once it listens.
    std::string number;
    char c;
    while (pid_ > 0 && read(fds[0], &c, 1) == 1 && c != '\n') number.push_back(c);
    close(fds[0]);
    if (!number.empty()) name_ = ":" + number;
}

PrivateXServer::~PrivateXServer() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
}

int WindowPicture::CountNot(int left, int top, int right, int bottom, std::uint32_t colour) const {
    int n = 0;
    for (int y = std::max(0, top); y < std::min(bottom, height); ++y)
        for (int x = std::max(0, left); x < std::min(right, width); ++x)
            if (At(x, y) != colour) ++n;
    return n;
}

struct WindowSession::X {
    Display* display = nullptr;
    Window window = 0;
    ~X() {
        if (display) XCloseDisplay(display);
    }
};

WindowSession::WindowSession(const PrivateXServer& server, const TempDevice& device,
                             std::vector<std::string> args, const std::string& after,
                             const std::vector<std::string>& env)
    : device_(device), x_(std::make_unique<X>()) {
    if (server.Name().empty()) {
        why_ = "no X server";
        return;
    }
    const std::string o = device.outside() + "/";
    // The marks of an earlier session on the same device are not this one's.
    unlink((o + "ready").c_str());
    unlink((o + "done").c_str());
    const std::string script =
        "shelllog " + o + "ready\nwait-file " + o + "done\n" + after + "\nquit\n";
    const std::string driver = WriteScript(device, "window-steps.txt", script);
    std::vector<std::string> all = {"DISPLAY=" + server.Name(), "FOLIVANT_DISPLAY=sdl",
                                    "FOLIVANT_SCALE=1", "SDL_VIDEODRIVER=x11",
                                    "SDL_AUDIODRIVER=dummy",
                                    // The desktop libraries SDL loads keep some memory to the end.
                                    "ASAN_OPTIONS=detect_leaks=0"};
    all.insert(all.end(), env.begin(), env.end());
    program_ = std::make_unique<LaunchedProgram>(
        StartReader(device, std::move(args), driver, o + "errors.txt", all));
    XSetErrorHandler(IgnoreXError);
    x_->display = XOpenDisplay(server.Name().c_str());
    if (!x_->display) why_ = "the X server cannot be reached";
}

WindowSession::~WindowSession() {
    if (finished_ || !program_) return;
    // A test that stopped half-way: the script is let go, and a program still held by a box the
    // person left open is ended after a while.
    std::ofstream(device_.outside() + "/done").put('\n');
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (program_->Running() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(kPoll);
    program_.reset();
}

bool WindowSession::FindWindow() {
    Display* d = x_->display;
    Atom pidAtom = XInternAtom(d, "_NET_WM_PID", True);
    if (pidAtom == None) return false;
    Window root = DefaultRootWindow(d), parent = 0, *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(d, root, &root, &parent, &children, &count)) return false;
    for (unsigned int i = 0; i < count && !x_->window; ++i) {
        XWindowAttributes attributes{};
        if (!XGetWindowAttributes(d, children[i], &attributes) ||
            attributes.map_state != IsViewable)
            continue;
        Atom type = 0;
        int format = 0;
        unsigned long items = 0, rest = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(d, children[i], pidAtom, 0, 1, False, XA_CARDINAL, &type, &format,
                               &items, &rest, &data) == Success &&
            data && items == 1 && format == 32) {
            const long pid = *reinterpret_cast<long*>(data);
            if (pid == program_->Pid()) x_->window = children[i];
        }
        if (data) XFree(data);
    }
    if (children) XFree(children);
    return x_->window != 0;
}

bool WindowSession::Ready() {
    if (!why_.empty()) return false;
    if (!program_ || !program_->Started()) {
        why_ = "the program did not start";
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + kWindowWait;
    const std::string ready = device_.outside() + "/ready";
    while (!(Exists(ready) && FindWindow())) {
        if (!program_->Running()) {
            why_ = "the program ended: " + program_->Wait().Describe();
            return false;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            why_ = "no window came";
            return false;
        }
        std::this_thread::sleep_for(kPoll);
    }
    // The keys go to the window, and the pointer rests over it for the wheel.
    XSetInputFocus(x_->display, x_->window, RevertToParent, CurrentTime);
    XWarpPointer(x_->display, None, x_->window, 0, 0, 0, 0, 120, 160);
    XSync(x_->display, False);
    Settle();
    return true;
}

WindowPicture WindowSession::Picture() {
    WindowPicture picture;
    XWindowAttributes attributes{};
    if (!x_->window || !XGetWindowAttributes(x_->display, x_->window, &attributes)) return picture;
    XImage* image =
        XGetImage(x_->display, x_->window, 0, 0, static_cast<unsigned>(attributes.width),
                  static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
    if (!image) return picture;
    picture.width = attributes.width;
    picture.height = attributes.height;
    picture.pixels.resize(static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height));
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x)
            picture.pixels[static_cast<size_t>(y) * static_cast<size_t>(picture.width) +
                           static_cast<size_t>(x)] =
                static_cast<std::uint32_t>(XGetPixel(image, x, y) & 0xFFFFFF);
    XDestroyImage(image);
    return picture;
}

void WindowSession::Settle() {
    // Looks a little apart that agree for a while: the program has drawn what it had to, also
    // what a closed menu's choice opens next (a dialog), on a busy machine too.
    WindowPicture last = Picture();
    const auto deadline = std::chrono::steady_clock::now() + kChangeWait;
    for (int same = 0; same < 5 && std::chrono::steady_clock::now() < deadline;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        WindowPicture now = Picture();
        same = now == last ? same + 1 : 0;
        last = std::move(now);
    }
}

bool WindowSession::WaitForChange(const WindowPicture& before) {
    const auto deadline = std::chrono::steady_clock::now() + kChangeWait;
    while (Picture() == before) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(kPoll);
    }
    Settle();
    return true;
}

void WindowSession::SendKey(const std::string& key) {
    Display* d = x_->display;
    const KeySym sym = XStringToKeysym(key.c_str());
    const KeyCode code = sym == NoSymbol ? 0 : XKeysymToKeycode(d, sym);
    if (!code) return;
    XTestFakeKeyEvent(d, code, True, CurrentTime);
    XTestFakeKeyEvent(d, code, False, CurrentTime);
    XSync(d, False);
}

bool WindowSession::Press(const std::string& key) {
    const WindowPicture before = Picture();
    SendKey(key);
    return WaitForChange(before);
}

bool WindowSession::ChooseFromMenu(int downs) {
    if (!Press("F2")) return false;
    for (int i = 0; i < downs; ++i)
        if (!Press("Down")) return false;
    return Press("Return");
}

void WindowSession::PressOnly(const std::string& key) {
    SendKey(key);
    Settle();
}

void WindowSession::PressWith(const std::string& modifier, const std::string& key) {
    Display* d = x_->display;
    const KeyCode held = XKeysymToKeycode(d, XStringToKeysym(modifier.c_str()));
    const KeySym sym = XStringToKeysym(key.c_str());
    const KeyCode code = sym == NoSymbol ? 0 : XKeysymToKeycode(d, sym);
    if (!held || !code) return;
    XTestFakeKeyEvent(d, held, True, CurrentTime);
    XTestFakeKeyEvent(d, code, True, CurrentTime);
    XTestFakeKeyEvent(d, code, False, CurrentTime);
    XTestFakeKeyEvent(d, held, False, CurrentTime);
    XSync(d, False);
    Settle();
}

void WindowSession::Type(const std::string& utf8) {
    Display* d = x_->display;
    const KeyCode shift = XKeysymToKeycode(d, XK_Shift_L);
    int low = 0, high = 0;
    XDisplayKeycodes(d, &low, &high);
    for (size_t i = 0; i < utf8.size();) {
        // One character of the text.
        char32_t c = static_cast<unsigned char>(utf8[i]);
        int more = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        if (more) c &= 0x3Fu >> more;
        for (++i; more > 0 && i < utf8.size(); --more, ++i)
            c = (c << 6) | (static_cast<unsigned char>(utf8[i]) & 0x3F);
        // Latin-1 characters are their own key symbols; the others are Unicode's.
        const KeySym sym = c < 0x100 ? static_cast<KeySym>(c) : 0x1000000 + static_cast<KeySym>(c);
        KeyCode code = XKeysymToKeycode(d, sym);
        bool shifted = false;
        if (code) {
            shifted = XkbKeycodeToKeysym(d, code, 0, 0) != sym &&
                      XkbKeycodeToKeysym(d, code, 0, 1) == sym;
        } else {
            // A key code that carries nothing takes the character, as a keyboard layout would.
            for (int k = high; k >= low && !code; --k) {
                int per = 0;
                KeySym* now = XGetKeyboardMapping(d, static_cast<KeyCode>(k), 1, &per);
                bool empty = true;
                for (int j = 0; now && j < per; ++j) empty = empty && now[j] == NoSymbol;
                if (now) XFree(now);
                if (empty) code = static_cast<KeyCode>(k);
            }
            if (!code) continue;
            KeySym both[2] = {sym, sym};
            XChangeKeyboardMapping(d, code, 2, both, 1);
            XSync(d, False);
            // The program hears of the new layout before the key comes.
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
        }
        if (shifted) XTestFakeKeyEvent(d, shift, True, CurrentTime);
        XTestFakeKeyEvent(d, code, True, CurrentTime);
        XTestFakeKeyEvent(d, code, False, CurrentTime);
        if (shifted) XTestFakeKeyEvent(d, shift, False, CurrentTime);
        XSync(d, False);
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }
    Settle();
}

void WindowSession::Drag(int fromX, int fromY, int toX, int toY) {
    Display* d = x_->display;
    auto moveTo = [&](int x, int y) {
        int rootX = 0, rootY = 0;
        Window child = 0;
        XTranslateCoordinates(d, x_->window, DefaultRootWindow(d), x, y, &rootX, &rootY, &child);
        XTestFakeMotionEvent(d, DefaultScreen(d), rootX, rootY, CurrentTime);
    };
    moveTo(fromX, fromY);
    XTestFakeButtonEvent(d, 1, True, CurrentTime);
    XSync(d, False);
    constexpr int kSteps = 8;
    for (int step = 1; step <= kSteps; ++step) {
        moveTo(fromX + (toX - fromX) * step / kSteps, fromY + (toY - fromY) * step / kSteps);
        XSync(d, False);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    XTestFakeButtonEvent(d, 1, False, CurrentTime);
    XSync(d, False);
    Settle();
}

bool WindowSession::Tap(int x, int y) {
    const WindowPicture before = Picture();
    Display* d = x_->display;
    int rootX = 0, rootY = 0;
    Window child = 0;
    XTranslateCoordinates(d, x_->window, DefaultRootWindow(d), x, y, &rootX, &rootY, &child);
    XTestFakeMotionEvent(d, DefaultScreen(d), rootX, rootY, CurrentTime);
    XTestFakeButtonEvent(d, 1, True, CurrentTime);
    XTestFakeButtonEvent(d, 1, False, CurrentTime);
    XSync(d, False);
    return WaitForChange(before);
}

void WindowSession::PointAt(int x, int y) {
    Display* d = x_->display;
    int rootX = 0, rootY = 0;
    Window child = 0;
    XTranslateCoordinates(d, x_->window, DefaultRootWindow(d), x, y, &rootX, &rootY, &child);
    XTestFakeMotionEvent(d, DefaultScreen(d), rootX, rootY, CurrentTime);
    XSync(d, False);
}

bool WindowSession::Wheel(int notches) {
    const WindowPicture before = Picture();
    Display* d = x_->display;
    // X reports the wheel as buttons 4 (up) and 5 (down).
    const unsigned int button = notches > 0 ? 4 : 5;
    for (int n = notches > 0 ? notches : -notches; n > 0; --n) {
        XTestFakeButtonEvent(d, button, True, CurrentTime);
        XTestFakeButtonEvent(d, button, False, CurrentTime);
    }
    XSync(d, False);
    return WaitForChange(before);
}

std::string WindowSession::Title() {
    std::string title;
    Display* d = x_->display;
    Atom name = XInternAtom(d, "_NET_WM_NAME", False);
    Atom utf8 = XInternAtom(d, "UTF8_STRING", False);
    Atom type = 0;
    int format = 0;
    unsigned long items = 0, rest = 0;
    unsigned char* data = nullptr;
    if (x_->window &&
        XGetWindowProperty(d, x_->window, name, 0, 256, False, utf8, &type, &format, &items, &rest,
                           &data) == Success &&
        data)
        title.assign(reinterpret_cast<const char*>(data), items);
    if (data) XFree(data);
    return title;
}

std::string WindowSession::DesktopClipboard() {
    Display* d = x_->display;
    const Atom clipboard = XInternAtom(d, "CLIPBOARD", False);
    const Atom utf8 = XInternAtom(d, "UTF8_STRING", False);
    const Atom into = XInternAtom(d, "FVT_CLIPBOARD", False);
    // A window of the test's own receives the text.
    const Window asker = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0);
    XConvertSelection(d, clipboard, utf8, into, asker, CurrentTime);
    XFlush(d);
    std::string text;
    const auto deadline = std::chrono::steady_clock::now() + kChangeWait;
    while (std::chrono::steady_clock::now() < deadline) {
        XEvent event;
        if (XCheckTypedWindowEvent(d, asker, SelectionNotify, &event)) {
            if (event.xselection.property == None) break;
            Atom type = 0;
            int format = 0;
            unsigned long items = 0, rest = 0;
            unsigned char* data = nullptr;
            if (XGetWindowProperty(d, asker, into, 0, 65536, True, AnyPropertyType, &type,
                                   &format, &items, &rest, &data) == Success &&
                data)
                text.assign(reinterpret_cast<const char*>(data), items);
            if (data) XFree(data);
            break;
        }
        std::this_thread::sleep_for(kPoll);
    }
    XDestroyWindow(d, asker);
    return text;
}

ProgramResult WindowSession::Finish() {
    if (finished_) return result_;
    finished_ = true;
    std::ofstream(device_.outside() + "/done").put('\n');
    if (program_) result_ = program_->Wait();
    return result_;
}

}  // namespace fvt::test

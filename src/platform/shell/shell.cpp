// The shell: task bar, work area, full screen, input panel, notices, rotation, hand-offs,
// clipboard.
#include "platform/shell/shell.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>

#include "platform/controls/controls.h"
#include "platform/controls/controls_internal.h"
#include "platform/menu/menu_bar.h"
#include "platform/gdi.h"
#include "platform/kernel/char_conversion.h"
#include "platform/kernel/device.h"
#include "platform/kernel/modules.h"
#include "platform/kernel/kernel_sync.h"
#include "platform/kernel/system_info.h"
#include "platform/kernel/wide.h"
#include "platform/last_error.h"
#include "platform/storage/registry.h"
#include "platform/storage/storage_cards.h"
#include "platform/window/keys.h"
#include "platform/window/window_layer.h"
#include "platform/window/window_internal.h"

namespace fvt::win {
void OnKeysWindowDestroyed(HWND window);
}
namespace fvt {
void PostCardNotice(const std::u16string& name, bool inserted);
}

namespace {

using namespace fvt::win;

struct ShellState {
    std::uint64_t generation = 0;
    bool taskBarShown = true;
    bool sipShown = false;
    DWORD orientation = DMDO_0;
    HWND taskBar = nullptr;
    HWND sip = nullptr;
    bool makingChrome = false;
    std::vector<std::string> log;
    std::map<HWND, DWORD> noticeWindows;  // window => event mask
    std::set<FILECHANGENOTIFY*> notices;  // handed out, not yet freed
    std::set<HANDLE> power;
    std::uintptr_t nextPower = 0x100;
    struct Notification {
        std::u16string title;
        std::u16string text;  // the markup reduced to plain text
        HWND bubble = nullptr;
        HWND sink = nullptr;
        LPARAM lParam = 0;
    };
    std::map<DWORD, Notification> notifications;
    // Clipboard.
    HWND clipboardOwner = nullptr;
    DWORD clipboardThread = 0;
    bool clipboardOpen = false;
    HANDLE clipboardText = nullptr;
    std::set<HLOCAL> blocks;  // LocalAlloc blocks alive
    std::uint64_t idleResets = 0;
};

ShellState& S() {
    static ShellState* s = new ShellState;
    return *s;
}

std::mutex& ShellLock() {
    static std::mutex* m = new std::mutex;
    return *m;
}

void Log(std::string line) {
    std::lock_guard<std::mutex> l(ShellLock());
    S().log.push_back(std::move(line));
}

std::string Narrow(LPCWSTR s) {
    return fvt::WideToUtf8(fvt::WideView(s));
}

int Scale(int v) {
    return v * fvt::Profile().dpi / 96;
}

// A device that turns its screen keeps the turn in its registry, so it comes back turned after
// a restart, whatever program turned it.
constexpr const WCHAR* kRotationKey = u"System\\GDI\\Rotation";
constexpr const WCHAR* kRotationAngle = u"Angle";

int SavedRotation() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRotationKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    DWORD angle = 0, type = 0, size = sizeof angle;
    LSTATUS read = RegQueryValueExW(key, kRotationAngle, nullptr, &type,
                                    reinterpret_cast<BYTE*>(&angle), &size);
    RegCloseKey(key);
    if (read != ERROR_SUCCESS || type != REG_DWORD || size != sizeof angle) return 0;
    // Anything else was not written by a turn: upright.
    return angle == 90 || angle == 180 || angle == 270 ? static_cast<int>(angle) : 0;
}

void SaveRotation(int degrees) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kRotationKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return;
    const DWORD angle = static_cast<DWORD>(degrees);
    RegSetValueExW(key, kRotationAngle, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&angle),
                   sizeof angle);
    RegCloseKey(key);
}

DWORD OrientationOf(int degrees) {
    return degrees == 90 ? DMDO_90 : degrees == 180 ? DMDO_180 : degrees == 270 ? DMDO_270 : DMDO_0;
}

int ScreenW() {
    auto s = GdiScreenSurface();
    return s ? s->Width() : 0;
}
int ScreenH() {
    auto s = GdiScreenSurface();
    return s ? s->Height() : 0;
}

RECT SipRect() {
    int bottom = ScreenH() - fvt::MenuBarHeight();
    return RECT{0, bottom - Scale(80), ScreenW(), bottom};
}

// Sends to this thread's top-level windows, posts to other threads' (never blocks on them).
void Broadcast(UINT message, WPARAM wParam, LPARAM lParam) {
    std::vector<HWND> targets;
    std::vector<bool> own;
    {
        std::lock_guard<std::mutex> l(Lock());
        for (Window* w : Desktop()->children) {
            if (w->chrome || w->destroying) continue;
            targets.push_back(w->handle);
            own.push_back(w->queue && w->queue->threadId == GetCurrentThreadId());
        }
    }
    for (size_t i = 0; i < targets.size(); ++i) {
        if (own[i])
            SendMessageW(targets[i], message, wParam, lParam);
        else
            PostMessageW(targets[i], message, wParam, lParam);
    }
}

LRESULT TaskBarProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg != WM_PAINT) return DefWindowProcW(hwnd, msg, wParam, lParam);
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    if (!dc) return 0;
    RECT r;
    GetClientRect(hwnd, &r);
    HBRUSH brush = CreateSolidBrush(RGB(0, 32, 96));
    FillRect(dc, &r, brush);
    DeleteObject(brush);
    WCHAR caption[128] = {};
    HWND active = GetActiveWindow();
    if (active) GetWindowTextW(active, caption, 128);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    // The caption at the same size on every screen: 8 points, scaled with the dpi.
    LOGFONTW lf{};
    lf.lfHeight = -Scale(11);
    lf.lfWeight = 400;
    std::memcpy(lf.lfFaceName, u"Tahoma", sizeof(u"Tahoma"));
    HFONT font = CreateFontIndirectW(&lf);
    HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
    r.left += Scale(4);
    r.right -= Scale(4);
    // A caption wider than the strip ends in an ellipsis, so that it does not read as whole.
    DrawTextW(dc, caption, -1, &r,
              DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_NOPREFIX | DT_END_ELLIPSIS);
    if (font) {
        SelectObject(dc, old);
        DeleteObject(font);
    }
    EndPaint(hwnd, &ps);
    return 0;
}

// The input panel's keys: four rows of ten; the last row ends with space and backspace.
const char16_t* const kSipRows[4] = {u"1234567890", u"qwertyuiop", u"asdfghjkl-",
                                     u"zxcvbnm.  "};

char16_t SipKeyAt(const RECT& r, POINT p) {
    if (!PtInRect(&r, p) || r.right <= r.left || r.bottom <= r.top) return 0;
    int row = static_cast<int>((p.y - r.top) * 4 / (r.bottom - r.top));
    int col = static_cast<int>((p.x - r.left) * 10 / (r.right - r.left));
    if (row == 3 && col == 9) return u'\b';
    return kSipRows[row][col];
}

LRESULT SipProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_LBUTTONUP) {
        RECT r;
        GetClientRect(hwnd, &r);
        char16_t c = SipKeyAt(r, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        if (c) fvt::Character(c);
        return 0;
    }
    if (msg != WM_PAINT) return DefWindowProcW(hwnd, msg, wParam, lParam);
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    if (!dc) return 0;
    RECT r;
    GetClientRect(hwnd, &r);
    HBRUSH back = CreateSolidBrush(RGB(208, 208, 208));
    HBRUSH line = CreateSolidBrush(RGB(96, 96, 96));
    FillRect(dc, &r, back);
    // A plain key grid: four rows of ten keys.
    for (int row = 0; row <= 4; ++row) {
        RECT h{0, r.bottom * row / 4, r.right, r.bottom * row / 4 + 1};
        FillRect(dc, &h, line);
    }
    for (int col = 0; col <= 10; ++col) {
        RECT v{r.right * col / 10, 0, r.right * col / 10 + 1, r.bottom};
        FillRect(dc, &v, line);
    }
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0, 0, 0));
    // The labels in the controls' font, which grows with the dpi (the DC's own stayed at the
    // small screen's size).
    HFONT font = fvt::ctl::CreateDefaultFont();
    HGDIOBJ oldFont = font ? SelectObject(dc, font) : nullptr;
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 10; ++col) {
            RECT key{r.right * col / 10, r.bottom * row / 4, r.right * (col + 1) / 10,
                     r.bottom * (row + 1) / 4};
            const char16_t* label = row == 3 && col == 9 ? u"\u2190" : row == 3 && col == 8 ? u"\u2423" : nullptr;
            char16_t one[2] = {kSipRows[row][col], 0};
            DrawTextW(dc, label ? label : one, -1, &key, DT_SINGLELINE | DT_VCENTER | DT_CENTER | DT_NOPREFIX);
        }
    if (font) {
        SelectObject(dc, oldFont);
        DeleteObject(font);
    }
    DeleteObject(back);
    DeleteObject(line);
    EndPaint(hwnd, &ps);
    return 0;
}

// The bubble shows the markup as plain text: tags dropped, the common entities decoded.
std::u16string PlainText(LPCWSTR html) {
    std::u16string out;
    bool inTag = false;
    for (; html && *html; ++html) {
        char16_t c = *html;
        if (inTag) {
            inTag = c != u'>';
            continue;
        }
        if (c == u'<') {
            inTag = true;
            if (!out.empty() && out.back() != u' ') out.push_back(u' ');
            continue;
        }
        if (c == u'&') {
            static const std::pair<std::u16string, char16_t> kEntities[] = {{u"&amp;", u'&'},
                                                                            {u"&lt;", u'<'},
                                                                            {u"&gt;", u'>'},
                                                                            {u"&quot;", u'"'},
                                                                            {u"&nbsp;", u' '}};
            bool decoded = false;
            for (auto& [name, ch] : kEntities) {
                if (std::u16string_view(html).substr(0, name.size()) == name) {
                    out.push_back(ch);
                    html += name.size() - 1;
                    decoded = true;
                    break;
                }
            }
            if (decoded) continue;
        }
        out.push_back(c == u'\n' || c == u'\r' || c == u'\t' ? u' ' : c);
    }
    while (!out.empty() && out.back() == u' ') out.pop_back();
    size_t start = out.find_first_not_of(u' ');
    return start == std::u16string::npos ? std::u16string() : out.substr(start);
}

constexpr UINT_PTR kBubbleTimer = 1;

LRESULT BubbleProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    DWORD id = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_USERDATA));
    if (msg == WM_TIMER && wParam == kBubbleTimer) {
        KillTimer(hwnd, kBubbleTimer);
        SHNotificationRemove(nullptr, id);  // its time is up
        return 0;
    }
    if (msg == WM_LBUTTONUP) {
        // A tap dismisses the bubble; its sink hears of it first.
        HWND sink = nullptr;
        LPARAM data = 0;
        {
            std::lock_guard<std::mutex> l(ShellLock());
            auto it = S().notifications.find(id);
            if (it != S().notifications.end() && it->second.bubble == hwnd) {
                sink = it->second.sink;
                data = it->second.lParam;
            }
        }
        Log("notification " + std::to_string(id) + " tapped");
        if (sink && IsWindow(sink)) {
            NMSHN n{};
            n.hwndFrom = hwnd;
            n.idFrom = id;
            n.code = SHNN_DISMISS;
            n.lParam = data;
            n.fTimeout = FALSE;
            SendMessageW(sink, WM_NOTIFY, id, reinterpret_cast<LPARAM>(&n));
        }
        SHNotificationRemove(nullptr, id);
        return 0;
    }
    if (msg != WM_PAINT) return DefWindowProcW(hwnd, msg, wParam, lParam);
    std::u16string title, text;
    {
        std::lock_guard<std::mutex> l(ShellLock());
        auto it = S().notifications.find(id);
        if (it != S().notifications.end() && it->second.bubble == hwnd) {
            title = it->second.title;
            text = it->second.text;
        }
    }
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    if (!dc) return 0;
    RECT r;
    GetClientRect(hwnd, &r);
    HBRUSH frame = CreateSolidBrush(RGB(64, 64, 64));
    HBRUSH back = CreateSolidBrush(RGB(255, 255, 225));
    FillRect(dc, &r, frame);
    RECT inner{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1};
    FillRect(dc, &inner, back);
    DeleteObject(frame);
    DeleteObject(back);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0, 0, 0));
    RECT line{inner.left + Scale(4), inner.top + Scale(2), inner.right - Scale(4), inner.bottom};
    if (!title.empty()) {
        RECT measured = line;
        DrawTextW(dc, title.c_str(), -1, &measured, DT_SINGLELINE | DT_NOPREFIX | DT_CALCRECT);
        DrawTextW(dc, title.c_str(), -1, &line, DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
        line.top = measured.bottom + Scale(2);
    }
    DrawTextW(dc, text.c_str(), -1, &line, DT_WORDBREAK | DT_NOPREFIX);
    EndPaint(hwnd, &ps);
    return 0;
}

// Hides a bubble from any thread: its own thread destroys it, another is asked to.
void CloseBubble(HWND bubble) {
    if (!IsWindow(bubble)) return;
    if (GetWindowThreadProcessId(bubble, nullptr) == GetCurrentThreadId())
        DestroyWindow(bubble);
    else
        PostMessageW(bubble, WM_CLOSE, 0, 0);
}

void RegisterChromeClasses() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = TaskBarProc;
    wc.lpszClassName = u"HHTaskBar";
    RegisterClassW(&wc);
    wc.lpfnWndProc = SipProc;
    wc.lpszClassName = u"SipWndClass";
    RegisterClassW(&wc);
    wc.lpfnWndProc = BubbleProc;
    wc.lpszClassName = fvt::kNotificationBubbleClass;
    RegisterClassW(&wc);
}

void PlaceChrome() {
    ShellState& s = S();
    if (IsWindow(s.taskBar))
        SetWindowPos(s.taskBar, HWND_TOPMOST, 0, 0, ScreenW(), fvt::TaskBarHeight(),
                     SWP_NOACTIVATE | (s.taskBarShown ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
    if (IsWindow(s.sip)) {
        RECT r = SipRect();
        SetWindowPos(s.sip, HWND_TOPMOST, r.left, r.top, r.right - r.left, r.bottom - r.top,
                     SWP_NOACTIVATE | (s.sipShown ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
    }
}

HWND MakeChrome(LPCWSTR cls, bool shown, RECT r) {
    HWND h = CreateWindowExW(WS_EX_TOPMOST, cls, u"", WS_POPUP, r.left, r.top, r.right - r.left,
                             r.bottom - r.top, nullptr, nullptr, nullptr, nullptr);
    if (!h) return nullptr;
    {
        std::lock_guard<std::mutex> l(Lock());
        if (Window* w = Find(h)) w->chrome = true;
    }
    if (shown) ShowWindow(h, SW_SHOWNA);
    return h;
}

// Forgets chrome windows whose thread has ended (tests run on many threads).
bool Usable(HWND h) {
    std::lock_guard<std::mutex> l(Lock());
    Window* w = Find(h);
    if (!w) return false;
    if (w->queue && w->queue->alive) return true;
    w->style &= ~WS_VISIBLE;
    ExposeScreen(gdi::RectList{w->rect});
    return false;
}

}  // namespace

namespace fvt::win {

// The shell's answers (work area, card notices, functions by name); made again for each device
// opened, since a test may have replaced a handler meanwhile.
void RegisterShell() {
    fvt::SetSystemParameterHandler(SPI_GETWORKAREA, [](UINT, LPVOID p, UINT) -> BOOL {
        if (!p) return fvt::Fail(ERROR_INVALID_PARAMETER, FALSE);
        fvt::win::SyncDevice();
        *static_cast<RECT*>(p) = fvt::WorkArea();
        return TRUE;
    });
    fvt::SetSystemParameterHandler(SPI_GETSIPINFO, [](UINT, LPVOID p, UINT) -> BOOL {
        return SipGetInfo(static_cast<SIPINFO*>(p));
    });
    fvt::SetStorageCardListener(
        [](const std::u16string& name, bool inserted) { fvt::PostCardNotice(name, inserted); });
    using fvt::RegisterModuleFunction;
    RegisterModuleFunction(u"aygshell", u"SHFullScreen", &SHFullScreen);
    RegisterModuleFunction(u"aygshell", u"SHDoneButton", &SHDoneButton);
    RegisterModuleFunction(u"aygshell", u"SHNotificationAdd", &SHNotificationAdd);
    RegisterModuleFunction(u"aygshell", u"SHNotificationRemove", &SHNotificationRemove);
    RegisterModuleFunction(u"aygshell", u"SHChangeNotifyRegister", &SHChangeNotifyRegister);
    RegisterModuleFunction(u"aygshell", u"SHChangeNotifyDeregister", &SHChangeNotifyDeregister);
    RegisterModuleFunction(u"aygshell", u"SHChangeNotifyFree", &SHChangeNotifyFree);
    RegisterModuleFunction(u"aygshell", u"SHSetAppKeyWndAssoc", &SHSetAppKeyWndAssoc);
    RegisterModuleFunction(u"aygshell", u"SHSendBackToFocusWindow", &SHSendBackToFocusWindow);
    RegisterModuleFunction(u"coredll", u"SipShowIM", &SipShowIM);
    RegisterModuleFunction(u"coredll", u"SipGetInfo", &SipGetInfo);
    RegisterModuleFunction(u"coredll", u"RegisterHotKey", &RegisterHotKey);
    RegisterModuleFunction(u"coredll", u"UnregisterHotKey", &UnregisterHotKey);
    RegisterModuleFunction(u"coredll", u"UnregisterFunc1", &UnregisterFunc1);
    RegisterModuleFunction(u"coredll", u"SetPowerRequirement", &SetPowerRequirement);
    RegisterModuleFunction(u"coredll", u"ReleasePowerRequirement", &ReleasePowerRequirement);
    RegisterModuleFunction(u"coredll", u"ChangeDisplaySettingsEx", &ChangeDisplaySettingsEx);
    RegisterModuleFunction(u"coredll", u"SystemIdleTimerReset", &SystemIdleTimerReset);
    RegisterModuleFunction(u"coredll", u"PostMessageW", &PostMessageW);
    RegisterModuleFunction(u"coredll", u"SendMessageW", &SendMessageW);
    RegisterModuleFunction(u"coredll", u"ShellExecuteEx", &ShellExecuteEx);
    RegisterModuleFunction(u"cellcore", u"tapiRequestMakeCallW", &tapiRequestMakeCallW);
    RegisterModuleFunction(u"voicectl", u"VoiceRecorder_Create", &VoiceRecorder_Create);
}

void SyncDevice() {
    ShellState& s = S();
    std::uint64_t gen = fvt::DeviceGeneration();
    if (s.generation == gen) return;
    s.generation = gen;
    RegisterShell();
    s.taskBarShown = true;
    s.sipShown = false;
    s.orientation = DMDO_0;
    if (fvt::Profile().canRotate) {
        const int degrees = SavedRotation();
        const fvt::DeviceProfile& p = fvt::Profile();
        const bool swap = degrees == 90 || degrees == 270;
        if (degrees != 0 && GdiSetScreenSize(swap ? p.screenHeight : p.screenWidth,
                                             swap ? p.screenWidth : p.screenHeight))
            s.orientation = OrientationOf(degrees);
    }
    {
        std::lock_guard<std::mutex> l(Lock());
        Desktop()->rect = RECT{0, 0, ScreenW(), ScreenH()};
        ExposeScreen(gdi::RectList{Desktop()->rect});
    }
    PlaceChrome();
}

void EnsureChrome() {
    ShellState& s = S();
    if (s.makingChrome) return;
    s.makingChrome = true;
    SyncDevice();
    RegisterChromeClasses();
    fvt::RegisterControlClasses();
    if (!Usable(s.taskBar))
        s.taskBar =
            MakeChrome(u"HHTaskBar", s.taskBarShown, RECT{0, 0, ScreenW(), fvt::TaskBarHeight()});
    if (!Usable(s.sip)) s.sip = MakeChrome(u"SipWndClass", s.sipShown, SipRect());
    s.makingChrome = false;
}

void OnWindowDestroyed(HWND window) {
    OnKeysWindowDestroyed(window);
    fvt::CloseMenuBarsOf(window);
    std::lock_guard<std::mutex> l(ShellLock());
    S().noticeWindows.erase(window);
    if (S().clipboardOwner == window) S().clipboardOwner = nullptr;
}

void PaintDesktopRegion(const gdi::RectList& region) {
    HDC dc = GdiCreateScreenDC();
    if (!dc) return;
    HRGN rgn = CreateRectRgn(0, 0, 0, 0);
    for (const RECT& r : region) {
        HRGN part = CreateRectRgnIndirect(&r);
        CombineRgn(rgn, rgn, part, RGN_OR);
        DeleteObject(part);
    }
    GdiSetDCVisibleRegion(dc, rgn);
    DeleteObject(rgn);
    RECT all{0, 0, ScreenW(), ScreenH()};
    HBRUSH back = CreateSolidBrush(RGB(255, 255, 255));
    FillRect(dc, &all, back);
    DeleteObject(back);
    // The menu-bar strip: bars are windows placed on it.
    RECT bar{0, ScreenH() - fvt::MenuBarHeight(), ScreenW(), ScreenH()};
    HBRUSH strip = CreateSolidBrush(RGB(224, 224, 224));
    FillRect(dc, &bar, strip);
    DeleteObject(strip);
    DeleteDC(dc);
}

}  // namespace fvt::win

namespace fvt {

int TaskBarHeight() {
    return Scale(26);
}
int MenuBarHeight() {
    return Scale(26);
}
RECT WorkArea() {
    return RECT{0, TaskBarHeight(), ScreenW(), ScreenH() - MenuBarHeight()};
}
bool IsTaskBarShown() {
    return S().taskBarShown;
}
bool IsInputPanelShown() {
    return S().sipShown;
}

std::vector<std::string> ShellLog() {
    std::lock_guard<std::mutex> l(ShellLock());
    return S().log;
}
void AppendShellLog(std::string line) {
    Log(std::move(line));
}

std::string LogText(const std::u16string& text) {
    return Narrow(text.c_str());
}

void ClearShellLog() {
    std::lock_guard<std::mutex> l(ShellLock());
    S().log.clear();
}

}  // namespace fvt

namespace {
std::atomic<void (*)(const std::u16string&)> g_desktopClipboard{nullptr};
}  // namespace

extern "C" {

BOOL SHFullScreen(HWND window, DWORD flags) {
    if (!IsWindow(window)) return fvt::Fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    ShellState& s = S();
    EnsureChrome();
    if (flags & SHFS_HIDETASKBAR) s.taskBarShown = false;
    if (flags & SHFS_SHOWTASKBAR) s.taskBarShown = true;
    // The program moves its own window; only the bar itself changes here.
    if (IsWindow(s.taskBar)) ShowWindow(s.taskBar, s.taskBarShown ? SW_SHOWNA : SW_HIDE);
    Log("SHFullScreen " + std::to_string(flags));
    return TRUE;
}

BOOL SHDoneButton(HWND window, DWORD state) {
    if (!IsWindow(window)) return fvt::Fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    Log("SHDoneButton " + std::to_string(state));
    return TRUE;
}

BOOL SipShowIM(DWORD flags) {
    ShellState& s = S();
    bool show = (flags & SIPF_ON) != 0;
    EnsureChrome();
    if (s.sipShown == show) return TRUE;
    s.sipShown = show;
    if (IsWindow(s.sip)) {
        RECT r = SipRect();
        SetWindowPos(s.sip, HWND_TOPMOST, r.left, r.top, r.right - r.left, r.bottom - r.top,
                     SWP_NOACTIVATE | (show ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
    }
    Broadcast(WM_SETTINGCHANGE, SPI_SETSIPINFO, 0);
    return TRUE;
}

BOOL SipGetInfo(SIPINFO* info) {
    if (!info || info->cbSize == 0) return fvt::Fail(ERROR_INVALID_PARAMETER, FALSE);
    ShellState& s = S();
    fvt::win::SyncDevice();
    RECT work = fvt::WorkArea();
    RECT sip = SipRect();
    info->fdwFlags = s.sipShown ? SIPF_ON : SIPF_OFF;
    info->rcSipRect = sip;
    info->rcVisibleDesktop = work;
    if (s.sipShown) info->rcVisibleDesktop.bottom = sip.top;
    info->dwImDataSize = 0;
    info->pvImData = nullptr;
    return TRUE;
}

LRESULT SHNotificationAdd(SHNOTIFICATIONDATA* data) {
    constexpr LRESULT kInvalidArg = static_cast<LRESULT>(static_cast<int32_t>(0x80070057u));
    if (!data || !data->pszHTML) return kInvalidArg;
    Log("notification " + std::to_string(data->dwID) + " " + Narrow(data->pszTitle) + ": " +
        Narrow(data->pszHTML));
    EnsureChrome();
    // A plain bubble across the top of the work area, above the program's windows.
    RECT work = fvt::WorkArea();
    int margin = Scale(8);
    RECT r{work.left + margin, work.top + Scale(4), work.right - margin, work.top + Scale(64)};
    // As tall as its title and text need (laid out as the bubble paints them), so that a notice
    // is never cut before its end, within the work area.
    if (HDC measure = GetDC(nullptr)) {
        const std::u16string title = data->pszTitle ? data->pszTitle : u"";
        const std::u16string text = PlainText(data->pszHTML);
        RECT line{0, 0, r.right - r.left - 2 - 2 * Scale(4), 0};
        int need = 2 + Scale(2);
        if (!title.empty()) {
            RECT t = line;
            DrawTextW(measure, title.c_str(), -1, &t, DT_SINGLELINE | DT_NOPREFIX | DT_CALCRECT);
            need += t.bottom - t.top + Scale(2);
        }
        RECT body = line;
        DrawTextW(measure, text.c_str(), -1, &body, DT_WORDBREAK | DT_NOPREFIX | DT_CALCRECT);
        need += body.bottom - body.top + Scale(4);
        ReleaseDC(nullptr, measure);
        r.bottom = std::max<LONG>(r.bottom, std::min<LONG>(r.top + need, work.bottom));
    }
    HWND bubble = MakeChrome(fvt::kNotificationBubbleClass, false, r);
    if (bubble) SetWindowLongPtrW(bubble, GWL_USERDATA, static_cast<LONG_PTR>(data->dwID));
    HWND replaced = nullptr;
    {
        std::lock_guard<std::mutex> l(ShellLock());
        ShellState::Notification& n = S().notifications[data->dwID];
        replaced = n.bubble;
        n.title = data->pszTitle ? data->pszTitle : u"";
        n.text = PlainText(data->pszHTML);
        n.bubble = bubble;
        n.sink = data->hwndSink;
        n.lParam = data->lParam;
    }
    CloseBubble(replaced);  // the same id shown again replaces its bubble
    if (bubble) {
        // A duration of 0 or -1 (seconds) keeps it until it is removed.
        if (data->csDuration != 0 && data->csDuration != 0xFFFFFFFFu)
            SetTimer(bubble, kBubbleTimer, std::min<DWORD>(data->csDuration, 86400u) * 1000u,
                     nullptr);
        ShowWindow(bubble, SW_SHOWNA);
    }
    return 0;
}

LRESULT SHNotificationRemove(const void*, DWORD id) {
    HWND bubble = nullptr;
    {
        std::lock_guard<std::mutex> l(ShellLock());
        auto it = S().notifications.find(id);
        if (it == S().notifications.end())
            return static_cast<LRESULT>(static_cast<int32_t>(0x80004005u));
        bubble = it->second.bubble;
        S().notifications.erase(it);
        S().log.push_back("notification removed " + std::to_string(id));
    }
    CloseBubble(bubble);
    return 0;
}

BOOL SHChangeNotifyRegister(HWND window, SHCHANGENOTIFYENTRY* entry) {
    if (!IsWindow(window)) return fvt::Fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    std::lock_guard<std::mutex> l(ShellLock());
    S().noticeWindows[window] = entry ? entry->dwEventMask : 0xFFFFFFFF;
    return TRUE;
}

BOOL SHChangeNotifyDeregister(HWND window) {
    std::lock_guard<std::mutex> l(ShellLock());
    return S().noticeWindows.erase(window) ? TRUE : FALSE;
}

void SHChangeNotifyFree(FILECHANGENOTIFY* notice) {
    std::lock_guard<std::mutex> l(ShellLock());
    // Only notices handed out and not yet freed: a second free or a stray pointer is ignored.
    if (!S().notices.erase(notice)) return;
    std::free(reinterpret_cast<void*>(notice->fci.dwItem1));
    std::free(notice);
}

LONG ChangeDisplaySettingsEx(LPCWSTR, DEVMODEW* mode, HWND, DWORD flags, void*) {
    if (!mode) return DISP_CHANGE_FAILED;
    fvt::win::SyncDevice();
    ShellState& s = S();
    bool canRotate = fvt::Profile().canRotate;
    if (flags & CDS_TEST) {
        if (mode->dmFields & DM_DISPLAYQUERYORIENTATION)
            mode->dmDisplayQueryOrientation = canRotate ? (DMDO_90 | DMDO_180 | DMDO_270) : 0;
        if (mode->dmFields & DM_DISPLAYORIENTATION) mode->dmDisplayOrientation = s.orientation;
        return DISP_CHANGE_SUCCESSFUL;
    }
    if (!(mode->dmFields & DM_DISPLAYORIENTATION)) return DISP_CHANGE_SUCCESSFUL;
    DWORD o = mode->dmDisplayOrientation;
    if (o != DMDO_0 && o != DMDO_90 && o != DMDO_180 && o != DMDO_270) return DISP_CHANGE_BADMODE;
    if (!canRotate) return DISP_CHANGE_BADMODE;
    int degrees = o == DMDO_0 ? 0 : o == DMDO_90 ? 90 : o == DMDO_180 ? 180 : 270;
    return fvt::RotateScreen(degrees) ? DISP_CHANGE_SUCCESSFUL : DISP_CHANGE_FAILED;
}

HANDLE SetPowerRequirement(LPCWSTR device, int state, ULONG flags, void*, ULONG) {
    std::lock_guard<std::mutex> l(ShellLock());
    HANDLE h = reinterpret_cast<HANDLE>(S().nextPower++);
    S().power.insert(h);
    S().log.push_back("power " + Narrow(device) + " " + std::to_string(state) + " " +
                      std::to_string(flags));
    return h;
}

DWORD ReleasePowerRequirement(HANDLE request) {
    std::lock_guard<std::mutex> l(ShellLock());
    if (!S().power.erase(request)) return ERROR_INVALID_PARAMETER;
    S().log.push_back("power released");
    return ERROR_SUCCESS;
}

void SystemIdleTimerReset() {
    std::lock_guard<std::mutex> l(ShellLock());
    ++S().idleResets;
}

BOOL ShellExecuteEx(SHELLEXECUTEINFO* info) {
    if (!info || !info->lpFile) return fvt::Fail(ERROR_INVALID_PARAMETER, FALSE);
    std::string line = "ShellExecuteEx " + Narrow(info->lpVerb ? info->lpVerb : u"open") + " " +
                       Narrow(info->lpFile);
    if (info->lpParameters && info->lpParameters[0]) {
        line += ' ';
        line += Narrow(info->lpParameters);
    }
    Log(line);
    // The profile may refuse hand-offs (a device without the other program).
    if (fvt::Profile().Value("shell_execute", "1") == "0")
        return fvt::Fail(ERROR_FILE_NOT_FOUND, FALSE);
    return TRUE;
}

LONG tapiRequestMakeCallW(LPCWSTR number, LPCWSTR, LPCWSTR, LPCWSTR) {
    Log("call " + Narrow(number));
    return fvt::Profile().Value("phone", "1") == "0" ? -2 : 0;
}

HLOCAL LocalAlloc(UINT flags, size_t bytes) {
    if (bytes > (size_t{1} << 30)) return fvt::Fail<HLOCAL>(ERROR_NOT_ENOUGH_MEMORY, nullptr);
    auto* block = static_cast<size_t*>(std::malloc(bytes + sizeof(size_t) * 2));
    if (!block) return fvt::Fail<HLOCAL>(ERROR_NOT_ENOUGH_MEMORY, nullptr);
    block[0] = bytes;
    void* p = block + 2;
    if (flags & LMEM_ZEROINIT) std::memset(p, 0, bytes);
    std::lock_guard<std::mutex> l(ShellLock());
    S().blocks.insert(p);
    return p;
}

HLOCAL LocalFree(HLOCAL memory) {
    if (!memory) return nullptr;
    std::lock_guard<std::mutex> l(ShellLock());
    if (!S().blocks.erase(memory)) return fvt::Fail(ERROR_INVALID_HANDLE, memory);
    std::free(static_cast<size_t*>(memory) - 2);
    return nullptr;
}

size_t LocalSize(HLOCAL memory) {
    std::lock_guard<std::mutex> l(ShellLock());
    if (!S().blocks.count(memory)) return 0;
    return (static_cast<size_t*>(memory) - 2)[0];
}

BOOL OpenClipboard(HWND owner) {
    std::lock_guard<std::mutex> l(ShellLock());
    ShellState& s = S();
    if (s.clipboardOpen && s.clipboardThread != GetCurrentThreadId())
        return fvt::Fail(ERROR_ACCESS_DENIED, FALSE);
    s.clipboardOpen = true;
    s.clipboardThread = GetCurrentThreadId();
    s.clipboardOwner = owner;
    return TRUE;
}

BOOL CloseClipboard() {
    std::lock_guard<std::mutex> l(ShellLock());
    ShellState& s = S();
    if (!s.clipboardOpen || s.clipboardThread != GetCurrentThreadId())
        return fvt::Fail(ERROR_ACCESS_DENIED, FALSE);
    s.clipboardOpen = false;
    return TRUE;
}

BOOL EmptyClipboard() {
    HANDLE old;
    {
        std::lock_guard<std::mutex> l(ShellLock());
        ShellState& s = S();
        if (!s.clipboardOpen || s.clipboardThread != GetCurrentThreadId())
            return fvt::Fail(ERROR_ACCESS_DENIED, FALSE);
        old = s.clipboardText;
        s.clipboardText = nullptr;
    }
    LocalFree(old);
    return TRUE;
}

HANDLE SetClipboardData(UINT format, HANDLE data) {
    HANDLE old;
    {
        std::lock_guard<std::mutex> l(ShellLock());
        ShellState& s = S();
        if (!s.clipboardOpen || s.clipboardThread != GetCurrentThreadId())
            return fvt::Fail<HANDLE>(ERROR_ACCESS_DENIED, nullptr);
        // Only text is kept, and only a block from LocalAlloc (the system frees it later).
        if (format != CF_UNICODETEXT || !s.blocks.count(data))
            return fvt::Fail<HANDLE>(ERROR_INVALID_PARAMETER, nullptr);
        old = s.clipboardText;
        s.clipboardText = data;
    }
    if (old && old != data) LocalFree(old);
    if (auto copy = g_desktopClipboard.load()) copy(fvt::ClipboardText());
    return data;
}

HANDLE GetClipboardData(UINT format) {
    std::lock_guard<std::mutex> l(ShellLock());
    ShellState& s = S();
    if (!s.clipboardOpen || format != CF_UNICODETEXT) return nullptr;
    return s.clipboardText;
}

BOOL IsClipboardFormatAvailable(UINT format) {
    std::lock_guard<std::mutex> l(ShellLock());
    return format == CF_UNICODETEXT && S().clipboardText ? TRUE : FALSE;
}

}  // extern "C"

namespace fvt {

void SetDesktopClipboard(void (*copy)(const std::u16string& text)) {
    g_desktopClipboard = copy;
}

std::u16string ClipboardText() {
    std::lock_guard<std::mutex> l(ShellLock());
    HANDLE h = S().clipboardText;
    if (!h) return {};
    size_t bytes = (static_cast<size_t*>(h) - 2)[0];
    const char16_t* p = static_cast<const char16_t*>(h);
    size_t n = 0;
    while (n < bytes / 2 && p[n]) ++n;  // never past the block, terminated or not
    return std::u16string(p, n);
}

void PostCardNotice(const std::u16string& name, bool inserted) {
    std::vector<std::pair<HWND, DWORD>> targets;
    {
        std::lock_guard<std::mutex> l(ShellLock());
        for (auto& [w, mask] : S().noticeWindows) targets.emplace_back(w, mask);
    }
    LONG event = inserted ? SHCNE_DRIVEADD : SHCNE_DRIVEREMOVED;
    std::u16string path = u"\\" + name;
    for (auto& [w, mask] : targets) {
        if (!(mask & static_cast<DWORD>(event))) continue;
        auto* notice = static_cast<FILECHANGENOTIFY*>(std::calloc(1, sizeof(FILECHANGENOTIFY)));
        auto* item = static_cast<char16_t*>(std::calloc(path.size() + 1, sizeof(char16_t)));
        if (!notice || !item) {
            std::free(notice);
            std::free(item);
            continue;
        }
        std::memcpy(item, path.c_str(), path.size() * sizeof(char16_t));
        notice->dwRefCount = 1;
        notice->fci.cbSize = sizeof(FILECHANGEINFO);
        notice->fci.wEventId = event;
        notice->fci.uFlags = SHCNF_PATH;
        notice->fci.dwItem1 = reinterpret_cast<DWORD_PTR>(item);
        notice->fci.dwAttributes = 0x110;
        {
            std::lock_guard<std::mutex> l(ShellLock());
            S().notices.insert(notice);
        }
        if (!PostMessageW(w, WM_FILECHANGEINFO, 0, reinterpret_cast<LPARAM>(notice)))
            SHChangeNotifyFree(notice);
    }
}

bool InsertCard(const std::u16string& name) {
    return InsertStorageCard(name);
}

bool RemoveCard(const std::u16string& name) {
    return RemoveStorageCard(name);
}

bool RotateScreen(int degrees) {
    win::SyncDevice();
    ShellState& s = S();
    const DeviceProfile& p = Profile();
    bool swap = degrees == 90 || degrees == 270;
    int w = swap ? p.screenHeight : p.screenWidth;
    int h = swap ? p.screenWidth : p.screenHeight;
    RECT oldWork = WorkArea();
    RECT oldScreen{0, 0, ScreenW(), ScreenH()};
    if (!GdiSetScreenSize(w, h)) return false;
    s.orientation = OrientationOf(degrees);
    if (p.canRotate) SaveRotation(degrees);
    RECT newWork = WorkArea();
    RECT newScreen{0, 0, w, h};
    std::vector<std::pair<HWND, RECT>> moves;
    {
        std::lock_guard<std::mutex> l(win::Lock());
        win::Desktop()->rect = newScreen;
        for (win::Window* t : win::Desktop()->children) {
            if (t->chrome || t->destroying) continue;
            RECT r = t->rect;
            auto same = [](const RECT& a, const RECT& b) {
                return a.left == b.left && a.top == b.top && a.right == b.right &&
                       a.bottom == b.bottom;
            };
            if (same(r, oldWork))
                r = newWork;
            else if (same(r, oldScreen))
                r = newScreen;
            else {
                r.right = std::min(r.right, r.left + w);
                r.bottom = std::min(r.bottom, r.top + h);
            }
            moves.emplace_back(t->handle, r);
        }
    }
    for (auto& [hwnd, r] : moves)
        SetWindowPos(hwnd, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    PlaceChrome();
    fvt::PlaceMenuBars();
    Broadcast(WM_SETTINGCHANGE, 0, 0);
    {
        std::lock_guard<std::mutex> l(win::Lock());
        win::ExposeScreen(gdi::RectList{newScreen});
    }
    win::RepaintDesktopNow();
    Log("rotate " + std::to_string(degrees));
    return true;
}

}  // namespace fvt

// Registered when the layer is linked in (the build keeps this file in every program).
extern "C" void fvt_shell_anchor() {}

namespace {
struct Registrar {
    Registrar() { fvt::win::RegisterShell(); }
} g_registrar;
}  // namespace

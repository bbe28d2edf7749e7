// A small window program for the layer's own tests.
//   window_demo run ROOT SCRIPT     a demo window driven by a driver script (see driver_script.h);
//                                   the screen is saved at the end when FOLIVANT_SCREENSHOT is set
//   window_demo instance ROOT [CLASS]  a window of class "Folivant Reader" (or CLASS, UTF-8) that
//                                   other processes find; prints "ready", writes ROOT/closed when
//                                   WM_CLOSE arrives
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "platform/kernel/device.h"
#include "platform/kernel/wide.h"
#include "platform/window/keys.h"
#include "platform/window/window.h"
#include "platform/window/window_layer.h"
#include "support/platform/driver_script.h"

namespace {

std::string g_root;
POINT g_mark{-1, -1};
std::u16string g_typed;
bool g_dark = false;

LRESULT DemoProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            RECT r;
            GetClientRect(hwnd, &r);
            HBRUSH back = CreateSolidBrush(g_dark ? RGB(0, 0, 128) : RGB(192, 224, 255));
            FillRect(dc, &r, back);
            DeleteObject(back);
            if (g_mark.x >= 0) {
                RECT m{g_mark.x - 10, g_mark.y - 10, g_mark.x + 10, g_mark.y + 10};
                HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
                FillRect(dc, &m, red);
                DeleteObject(red);
            }
            SetBkMode(dc, TRANSPARENT);
            RECT text{4, 4, r.right - 4, 40};
            DrawTextW(dc, g_typed.c_str(), static_cast<int>(g_typed.size()), &text, DT_LEFT);
            EndPaint(hwnd, &ps);
            return 0;
        }
        case WM_LBUTTONDOWN:
            g_mark = POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            InvalidateRect(hwnd, nullptr, TRUE);
            return 0;
        case WM_CHAR:
            if (wParam >= 32) g_typed.push_back(static_cast<char16_t>(wParam));
            InvalidateRect(hwnd, nullptr, TRUE);
            return 0;
        case WM_KEYUP:
            if (wParam == VK_APP1) {
                g_dark = !g_dark;
                InvalidateRect(hwnd, nullptr, TRUE);
            }
            return 0;
        case WM_CLOSE:
            if (!g_root.empty()) std::ofstream(g_root + "/closed") << "closed\n";
            DestroyWindow(hwnd);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

HWND MakeWindow(LPCWSTR cls) {
    WNDCLASSW wc{};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = DemoProc;
    wc.lpszClassName = cls;
    RegisterClassW(&wc);
    HWND hwnd = CreateWindowExW(0, cls, u"Demo", WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, nullptr, nullptr);
    if (hwnd) {
        SetFocus(hwnd);
        UpdateWindow(hwnd);
    }
    return hwnd;
}

int Loop() {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "instance") == 0) {
        g_root = argv[2];
        if (!fvt::OpenDevice(g_root, "")) return 2;
        const std::u16string cls = argc >= 4 ? fvt::Utf8ToWide(argv[3]) : u"Folivant Reader";
        if (!MakeWindow(cls.c_str())) return 3;
        std::printf("ready\n");
        std::fflush(stdout);
        return Loop();
    }
    if (argc >= 4 && std::strcmp(argv[1], "run") == 0) {
        if (!fvt::OpenDevice(argv[2], "", true)) return 2;
        fvt::UseDisplayFromEnvironment();
        if (!MakeWindow(u"Folivant Demo")) return 3;
        std::ifstream script(argv[3]);
        if (!script) return 4;
        int bad = fvt::test::RunDriverScript(script);
        if (bad) {
            std::fprintf(stderr, "window_demo: line %d not understood\n", bad);
            return 5;
        }
        return Loop();
    }
    std::fprintf(stderr, "usage: window_demo run ROOT SCRIPT | instance ROOT [CLASS]\n");
    return 1;
}

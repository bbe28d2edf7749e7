// Windows: classes, creation, words, destruction, focus, activation, capture, painting.
#include <gtest/gtest.h>

#include "platform/last_error.h"
#include "support/platform/window_fixture.h"

namespace fvt::test {
namespace {

constexpr std::uint32_t kRed = 0xFF0000, kBlue = 0x0000FF, kGreen = 0x00FF00, kWhite = 0xFFFFFF;

LRESULT Plain(HWND h, UINT m, WPARAM w, LPARAM l) {
    return DefWindowProcW(h, m, w, l);
}

TEST(WindowClasses, SecondRegistrationFailsWithAlreadyExists) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = Plain;
    wc.lpszClassName = u"Folivant Reader Twice";
    ASSERT_NE(RegisterClassW(&wc), 0);
    wc.lpszClassName = u"FOLIVANT reader twice";  // names compare without case
    EXPECT_EQ(RegisterClassW(&wc), 0);
    EXPECT_EQ(GetLastError(), ERROR_CLASS_ALREADY_EXISTS);
}

using Windows = WindowTest;

TEST_F(Windows, CreateDeliversCreateParamsBeforeReturning) {
    int marker = 0;
    void* seen = nullptr;
    bool returned = false;
    // The handler sees WM_CREATE while CreateWindowExW is still running.
    HWND hwnd = nullptr;
    Watch({WM_CREATE});
    hwnd = Make(0, 26, 100, 100, WS_VISIBLE, nullptr, &marker);
    returned = true;
    ASSERT_NE(hwnd, nullptr);
    auto log = Log();
    ASSERT_EQ(log.size(), 1u);
    seen = reinterpret_cast<CREATESTRUCTW*>(log[0].lParam) ? &marker : nullptr;
    EXPECT_EQ(seen, &marker);
    EXPECT_TRUE(returned);
}

TEST_F(Windows, UnknownClassFailsWithItsError) {
    EXPECT_EQ(CreateWindowExW(0, u"No Such Class", u"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr,
                              nullptr),
              nullptr);
    EXPECT_EQ(GetLastError(), ERROR_CANNOT_FIND_WND_CLASS);
}

TEST_F(Windows, UserDataHoldsAWholePointer) {
    HWND hwnd = Make(0, 26, 50, 50);
    auto big = static_cast<LONG_PTR>(0x123456789ABCDEF0LL);
    SetWindowLongPtrW(hwnd, GWL_USERDATA, big);
    EXPECT_EQ(GetWindowLongPtrW(hwnd, GWL_USERDATA), big);
    EXPECT_EQ(SetWindowLongPtrW(hwnd, GWL_USERDATA, 0), big);
}

TEST_F(Windows, StyleChangesTakeEffect) {
    HWND hwnd = Make(0, 26, 50, 50);
    EXPECT_TRUE(IsWindowVisible(hwnd));
    SetWindowLongW(hwnd, GWL_STYLE,
                   GetWindowLongW(hwnd, GWL_STYLE) & ~static_cast<LONG>(WS_VISIBLE));
    EXPECT_FALSE(IsWindowVisible(hwnd));
    SetWindowLongW(hwnd, GWL_STYLE,
                   GetWindowLongW(hwnd, GWL_STYLE) | static_cast<LONG>(WS_VISIBLE) | 0x20);
    EXPECT_TRUE(IsWindowVisible(hwnd));
    EXPECT_EQ(GetWindowLongW(hwnd, GWL_STYLE) & 0x20, 0x20);
}

TEST_F(Windows, SubclassingCallsThePreviousProcedure) {
    HWND hwnd = Make(0, 26, 50, 50);
    static WNDPROC previous;
    static int calls;
    calls = 0;
    previous = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
        hwnd, GWL_WNDPROC,
        reinterpret_cast<LONG_PTR>(+[](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
            if (m == WM_USER + 1) return 0x46565457;
            ++calls;
            return CallWindowProcW(previous, h, m, w, l);
        })));
    Watch({WM_USER + 2});
    EXPECT_EQ(SendMessageW(hwnd, WM_USER + 1, 0, 0), 0x46565457);
    SendMessageW(hwnd, WM_USER + 2, 0, 0);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(Messages(), std::vector<UINT>{WM_USER + 2});
}

TEST_F(Windows, MoveSendsSizeWithTheClientSize) {
    HWND hwnd = Make(0, 26, 50, 50);
    Watch({WM_SIZE});
    // Inclusive corners make width r - l + 1.
    MoveWindow(hwnd, 10, 30, 101, 61, TRUE);
    auto log = Log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(LOWORD(log[0].lParam), 101);
    EXPECT_EQ(HIWORD(log[0].lParam), 61);
    RECT r;
    GetWindowRect(hwnd, &r);
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.bottom, 91);
}

TEST_F(Windows, DestroyReachesTheWindowThenItsChildren) {
    HWND parent = Make(0, 26, 100, 100);
    HWND child = Make(0, 0, 10, 10, WS_CHILD | WS_VISIBLE, parent);
    Watch({WM_DESTROY});
    ASSERT_TRUE(DestroyWindow(parent));
    auto log = Log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].hwnd, parent);
    EXPECT_EQ(log[1].hwnd, child);
    EXPECT_FALSE(IsWindow(child));
}

TEST_F(Windows, DestroyingAgainFromWmDestroyIsHarmless) {
    HWND parent = Make(0, 26, 100, 100);
    HWND child = Make(0, 0, 10, 10, WS_CHILD | WS_VISIBLE, parent);
    int destroys = 0;
    On(child, [&](HWND h, UINT m, WPARAM, LPARAM, bool& handled) -> LRESULT {
        handled = m == WM_DESTROY;
        if (handled) {
            ++destroys;
            DestroyWindow(parent);  // the parent is already going
            DestroyWindow(h);
        }
        return 0;
    });
    On(parent, [&](HWND h, UINT m, WPARAM, LPARAM, bool& handled) -> LRESULT {
        handled = m == WM_DESTROY;
        if (handled) DestroyWindow(h);
        return 0;
    });
    EXPECT_TRUE(DestroyWindow(parent));
    EXPECT_EQ(destroys, 1);
    EXPECT_FALSE(IsWindow(parent));
    EXPECT_FALSE(IsWindow(child));
}

TEST_F(Windows, DestroyedWindowsRefuseMessagesAndTimers) {
    HWND hwnd = Make(0, 26, 50, 50);
    PostMessageW(hwnd, WM_USER, 0, 0);
    SetTimer(hwnd, 7, 0, nullptr);
    Watch({WM_USER, WM_TIMER});
    DestroyWindow(hwnd);
    RunUntilIdle();  // the pending post and timer went with the window
    EXPECT_FALSE(PostMessageW(hwnd, WM_USER, 0, 0));
    EXPECT_EQ(SendMessageW(hwnd, WM_USER, 0, 0), 0);
    EXPECT_EQ(SetTimer(hwnd, 1, 10, nullptr), 0u);
    EXPECT_FALSE(KillTimer(hwnd, 7));
    EXPECT_TRUE(Log().empty());
}

TEST_F(Windows, FocusChangesNotifyBothWindowsAtOnce) {
    HWND a = Make(0, 26, 100, 100);
    HWND ca = Make(0, 0, 10, 10, WS_CHILD | WS_VISIBLE, a);
    HWND cb = Make(20, 0, 10, 10, WS_CHILD | WS_VISIBLE, a);
    SetFocus(ca);
    Watch({WM_SETFOCUS, WM_KILLFOCUS});
    EXPECT_EQ(SetFocus(cb), ca);
    auto log = Log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].hwnd, ca);
    EXPECT_EQ(log[0].message, WM_KILLFOCUS);
    EXPECT_EQ(log[0].wParam, reinterpret_cast<WPARAM>(cb));
    EXPECT_EQ(log[1].hwnd, cb);
    EXPECT_EQ(log[1].message, WM_SETFOCUS);
    EXPECT_EQ(log[1].wParam, reinterpret_cast<WPARAM>(ca));
    EXPECT_EQ(GetFocus(), cb);
}

TEST_F(Windows, ActivationNamesTheOtherWindow) {
    HWND a = Make(0, 26, 100, 100);
    HWND b = Make(0, 26, 100, 100, 0);
    EXPECT_EQ(GetActiveWindow(), a);
    Watch({WM_ACTIVATE});
    SetActiveWindow(b);
    auto log = Log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].hwnd, a);
    EXPECT_EQ(LOWORD(log[0].wParam), WA_INACTIVE);
    EXPECT_EQ(log[0].lParam, reinterpret_cast<LPARAM>(b));
    EXPECT_EQ(log[1].hwnd, b);
    EXPECT_NE(LOWORD(log[1].wParam), WA_INACTIVE);
    EXPECT_EQ(HIWORD(log[1].wParam), 0);
    EXPECT_EQ(log[1].lParam, reinterpret_cast<LPARAM>(a));
    EXPECT_EQ(GetFocus(), b);  // the default handling gives it the focus
}

TEST_F(Windows, CaptureChangesTellTheLoserWhoTookIt) {
    HWND a = Make(0, 26, 50, 50);
    HWND b = Make(60, 26, 50, 50);
    SetCapture(a);
    Watch({WM_CAPTURECHANGED});
    EXPECT_EQ(SetCapture(b), a);
    ReleaseCapture();
    auto log = Log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].hwnd, a);
    EXPECT_EQ(log[0].lParam, reinterpret_cast<LPARAM>(b));
    EXPECT_EQ(log[1].hwnd, b);
    EXPECT_EQ(log[1].lParam, 0);
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(Windows, PaintingIsClippedToTheVisibleRegion) {
    HWND below = Make(0, 40, 100, 100);
    HWND above = Make(50, 90, 100, 100);
    On(below, PaintWith(RGB(255, 0, 0)));
    On(above, PaintWith(RGB(0, 0, 255)));
    RunUntilIdle();
    EXPECT_EQ(ScreenPixel(10, 50), kRed);
    EXPECT_EQ(ScreenPixel(60, 100), kBlue);
    // Drawing into the lower window, even through GetDC, leaves the upper one alone.
    HDC dc = GetDC(below);
    RECT all{0, 0, 100, 100};
    HBRUSH green = CreateSolidBrush(RGB(0, 255, 0));
    FillRect(dc, &all, green);
    DeleteObject(green);
    ReleaseDC(below, dc);
    EXPECT_EQ(ScreenPixel(10, 50), kGreen);
    EXPECT_EQ(ScreenPixel(60, 100), kBlue);
    EXPECT_EQ(ScreenPixel(120, 120), kBlue);
}

TEST_F(Windows, PaintDcCoversOnlyTheUpdateRegion) {
    HWND hwnd = Make(0, 40, 100, 100);
    On(hwnd, PaintWith(RGB(255, 0, 0)));
    RunUntilIdle();
    On(hwnd, PaintWith(RGB(0, 0, 255)));
    RECT part{0, 0, 10, 10};
    InvalidateRect(hwnd, &part, FALSE);
    UpdateWindow(hwnd);
    EXPECT_EQ(ScreenPixel(5, 45), kBlue);
    EXPECT_EQ(ScreenPixel(50, 90), kRed);
    // A sent WM_PAINT with nothing invalid gets an empty rectangle.
    RECT seen{1, 1, 1, 1};
    On(hwnd, [&](HWND h, UINT m, WPARAM, LPARAM, bool& handled) -> LRESULT {
        handled = m == WM_PAINT;
        if (handled) {
            PAINTSTRUCT ps;
            BeginPaint(h, &ps);
            seen = ps.rcPaint;
            EndPaint(h, &ps);
        }
        return 0;
    });
    SendMessageW(hwnd, WM_PAINT, 0, 0);
    EXPECT_TRUE(IsRectEmpty(&seen));
}

// Each paint's DC starts as a new DC does, whatever the paint before left in its DC, and what
// that paint selected is let go at its EndPaint.
TEST_F(Windows, EachPaintStartsWithAFreshDc) {
    HWND hwnd = Make(0, 40, 100, 100);
    LOGFONTW lf{};
    lf.lfHeight = 20;
    HFONT font = CreateFontIndirectW(&lf);
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    struct Seen {
        COLORREF text = 1;
        int mode = 0;
        HGDIOBJ brush = nullptr, font = nullptr;
        POINT origin{1, 1};
        RECT clip{};
    } seen;
    On(hwnd, [&](HWND h, UINT m, WPARAM, LPARAM, bool& handled) -> LRESULT {
        handled = m == WM_PAINT;
        if (handled) {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(h, &ps);
            seen = Seen{GetTextColor(dc), GetBkMode(dc), GetCurrentObject(dc, OBJ_BRUSH),
                        GetCurrentObject(dc, OBJ_FONT), {1, 1}, {}};
            GetViewportOrgEx(dc, &seen.origin);
            GetClipBox(dc, &seen.clip);
            // Left behind on purpose: a saved state, objects, colours, an origin and a clip.
            SaveDC(dc);
            SelectObject(dc, font);
            SelectObject(dc, red);
            SetTextColor(dc, RGB(0, 0, 255));
            SetBkMode(dc, TRANSPARENT);
            SetViewportOrgEx(dc, 30, 30, nullptr);
            HRGN corner = CreateRectRgn(0, 0, 5, 5);
            SelectClipRgn(dc, corner);
            DeleteObject(corner);
            EndPaint(h, &ps);
        }
        return 0;
    });
    RunUntilIdle();
    // The paint's font and brush are no longer selected anywhere.
    EXPECT_TRUE(DeleteObject(font));
    EXPECT_TRUE(DeleteObject(red));
    InvalidateRect(hwnd, nullptr, FALSE);
    UpdateWindow(hwnd);
    EXPECT_EQ(seen.text, RGB(0, 0, 0));
    EXPECT_EQ(seen.mode, OPAQUE);
    EXPECT_EQ(seen.brush, GetStockObject(WHITE_BRUSH));
    EXPECT_EQ(seen.font, GetStockObject(SYSTEM_FONT));
    EXPECT_EQ(seen.origin.x, 0);
    EXPECT_EQ(seen.origin.y, 0);
    EXPECT_EQ(seen.clip.left, 0);
    EXPECT_EQ(seen.clip.right, 100);
    EXPECT_EQ(seen.clip.bottom, 100);
    // It draws where a new DC draws: the window's own top-left corner.
    On(hwnd, PaintWith(RGB(0, 255, 0)));
    InvalidateRect(hwnd, nullptr, FALSE);
    UpdateWindow(hwnd);
    EXPECT_EQ(ScreenPixel(2, 42), kGreen);
    EXPECT_EQ(ScreenPixel(90, 130), kGreen);
}

TEST_F(Windows, ScreenReadsBackAfterAMove) {
    HWND hwnd = Make(0, 40, 50, 50);
    On(hwnd, PaintWith(RGB(0, 255, 0)));
    RunUntilIdle();
    EXPECT_EQ(ScreenPixel(10, 50), kGreen);
    MoveWindow(hwnd, 100, 150, 50, 50, TRUE);
    RunUntilIdle();
    EXPECT_EQ(ScreenPixel(110, 160), kGreen);
    EXPECT_EQ(ScreenPixel(10, 50), kWhite);  // the desktop shows again where it was
    // A DC on the window reads what is on the screen there.
    HDC dc = GetDC(hwnd);
    EXPECT_EQ(GetPixel(dc, 5, 5), RGB(0, 255, 0));
    ReleaseDC(hwnd, dc);
}

TEST_F(Windows, HidingUncoversTheWindowBelow) {
    HWND below = Make(0, 40, 100, 100);
    HWND above = Make(0, 40, 100, 100);
    On(below, PaintWith(RGB(255, 0, 0)));
    On(above, PaintWith(RGB(0, 0, 255)));
    RunUntilIdle();
    EXPECT_EQ(ScreenPixel(50, 80), kBlue);
    ShowWindow(above, SW_HIDE);
    RunUntilIdle();
    EXPECT_EQ(ScreenPixel(50, 80), kRed);
}

TEST_F(Windows, MetricsFollowTheScreen) {
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 240);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 320);
    RECT work;
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
    EXPECT_EQ(work.top, 26);
    EXPECT_EQ(work.bottom, 320 - 26);
    EXPECT_EQ(work.right, 240);
}

}  // namespace
}  // namespace fvt::test

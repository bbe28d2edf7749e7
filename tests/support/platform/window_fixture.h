// A test window class that records what its windows receive, on a fresh device with a virtual
// clock. Every window made through the fixture is destroyed afterwards.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/kernel/kernel_clock.h"
#include "platform/kernel/system_info.h"
#include "platform/shell/shell.h"
#include "platform/window/window.h"
#include "platform/window/window_layer.h"
#include "support/platform/temp_device.h"

namespace fvt::test {

struct Received {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

using Handler = std::function<LRESULT(HWND, UINT, WPARAM, LPARAM, bool& handled)>;

class WindowTest : public ::testing::Test {
protected:
    static constexpr const WCHAR* kClass = u"FvtTestWindow";

    explicit WindowTest(const std::string& profile = "clock = virtual\n") : device_(profile) {}

    void SetUp() override {
        ASSERT_TRUE(device_.ok());
        fvt::UseVirtualClock();
        Current() = this;
        GetDesktopWindow();  // the layer takes up the new device
        WNDCLASSW wc{};
        wc.lpfnWndProc = &WindowTest::Proc;
        wc.lpszClassName = kClass;
        RegisterClassW(&wc);  // fails harmlessly after the first test
        ClearShellLog();
    }
    void TearDown() override {
        for (auto it = made_.rbegin(); it != made_.rend(); ++it)
            if (IsWindow(*it)) DestroyWindow(*it);
        RunUntilIdle();
        Current() = nullptr;
    }

    HWND Make(int x, int y, int w, int h, DWORD style = WS_VISIBLE, HWND parent = nullptr,
              LPVOID param = nullptr) {
        HWND hwnd =
            CreateWindowExW(0, kClass, u"", style, x, y, w, h, parent, nullptr, nullptr, param);
        if (hwnd) made_.push_back(hwnd);
        return hwnd;
    }

    // Messages to record (all when empty).
    void Watch(std::vector<UINT> messages) {
        std::lock_guard<std::mutex> l(lock_);
        watched_ = std::move(messages);
        received_.clear();
    }
    std::vector<Received> Log() {
        std::lock_guard<std::mutex> l(lock_);
        return received_;
    }
    std::vector<UINT> Messages() {
        std::vector<UINT> out;
        for (auto& r : Log()) out.push_back(r.message);
        return out;
    }
    void Clear() {
        std::lock_guard<std::mutex> l(lock_);
        received_.clear();
    }
    void On(HWND hwnd, Handler handler) { handlers_[hwnd] = std::move(handler); }

    static std::uint32_t ScreenPixel(int x, int y) {
        return GdiScreenSurface()->GetPixel(x, y) & 0xFFFFFF;
    }

    TempDevice device_;

private:
    static WindowTest*& Current() {
        static WindowTest* current = nullptr;
        return current;
    }
    static LRESULT Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        WindowTest* t = Current();
        if (t) {
            {
                std::lock_guard<std::mutex> l(t->lock_);
                bool want = t->watched_.empty();
                for (UINT m : t->watched_) want = want || m == msg;
                if (want) t->received_.push_back(Received{hwnd, msg, wParam, lParam});
            }
            auto it = t->handlers_.find(hwnd);
            if (it != t->handlers_.end()) {
                bool handled = true;
                LRESULT r = it->second(hwnd, msg, wParam, lParam, handled);
                if (handled) return r;
            }
        }
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }

    std::mutex lock_;
    std::vector<UINT> watched_;
    std::vector<Received> received_;
    std::map<HWND, Handler> handlers_;
    std::vector<HWND> made_;
};

// Paints the whole client area of `hwnd` in one colour on WM_PAINT.
inline Handler PaintWith(COLORREF color) {
    return [color](HWND hwnd, UINT msg, WPARAM, LPARAM, bool& handled) -> LRESULT {
        handled = msg == WM_PAINT;
        if (!handled) return 0;
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT r;
        GetClientRect(hwnd, &r);
        HBRUSH b = CreateSolidBrush(color);
        FillRect(dc, &r, b);
        DeleteObject(b);
        EndPaint(hwnd, &ps);
        return 0;
    };
}

}  // namespace fvt::test

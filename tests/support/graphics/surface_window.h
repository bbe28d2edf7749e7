// A drawing surface in a host window at the top-left of the work area, for tests that look at
// what widgets draw: pixels are read in client coordinates. Derived fixtures call OpenSurface
// from SetUp, free their own nodes in TearDown and then call this TearDown.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/platform_helpers.h"
#include "graphics/core/drawing_surface.h"
#include "platform/gdi/gdi_layer.h"
#include "support/graphics/surface_host.h"

namespace fvt::test {

// A node that takes the whole rectangle it is given (remembered in `given`) and is hit
// everywhere in it; tests override what they watch.
class PlainNode : public Node {
public:
    explicit PlainNode(int32_t z = 0) : z_(z) {}
    Rect& AdjustRect(Rect& out, const Rect& in) override {
        given = in;
        out = in;
        return out;
    }
    int32_t ZOrder() const override { return z_; }
    bool HitTest(const Rect&) override { return true; }
    Rect given{};

private:
    int32_t z_;
};

class SurfaceWindowTest : public WindowTest {
protected:
    explicit SurfaceWindowTest(const std::string& profile = "clock = virtual\n")
        : WindowTest(profile) {}

    // A window of the given client size with its surface hosted; extra (when given) sees every
    // message first and may answer it (handled true).
    void OpenSurface(int width, int height, Handler extra = nullptr, bool syntheticFonts = true) {
        synthetic_ = syntheticFonts;
        if (synthetic_) GdiUseSyntheticFonts(true);
        ASSERT_TRUE(Screen::GetWorkArea(work));
        hwnd = Make(work.x, work.y, width, height);
        ASSERT_NE(hwnd, nullptr);
        surface = std::make_unique<DrawingSurface>(nullptr);
        surface->SetWindow(hwnd);
        Handler host = SurfaceHost(surface.get());
        On(hwnd, [host, extra](HWND h, UINT msg, WPARAM w, LPARAM l, bool& handled) -> LRESULT {
            if (extra) {
                handled = false;
                LRESULT r = extra(h, msg, w, l, handled);
                if (handled) return r;
            }
            return host(h, msg, w, l, handled);
        });
    }
    void TearDown() override {
        // The host stops forwarding first: the surface goes now.
        if (hwnd)
            On(hwnd, [](HWND, UINT, WPARAM, LPARAM, bool& handled) -> LRESULT {
                handled = false;
                return 0;
            });
        surface.reset();
        if (synthetic_) GdiUseSyntheticFonts(false);
        WindowTest::TearDown();
    }
    // The whole window painted from the tree.
    void Repaint() {
        surface->InvalidateRect(nullptr);
        fvt::RunUntilIdle();
    }
    uint32_t Pixel(int x, int y) { return ScreenPixel(work.x + x, work.y + y); }
    std::vector<uint32_t> Snapshot(int width, int height) {
        std::vector<uint32_t> v;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) v.push_back(Pixel(x, y));
        return v;
    }

    Rect work{};
    HWND hwnd = nullptr;
    std::unique_ptr<DrawingSurface> surface;

private:
    bool synthetic_ = false;
};

}  // namespace fvt::test

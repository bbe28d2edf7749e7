// A drawing surface in a host window on the headless device, for tests of nodes that draw and
// take input: keys go through the device's own input, pixels are read back from the screen, and
// a timer list runs on the window (virtual clock).
#pragma once

#include <cstdlib>
#include <memory>
#include <string>

#include "core/platform_helpers.h"
#include "core/timer_list.h"
#include "graphics/core/drawing_surface.h"
#include "support/graphics/surface_host.h"

namespace fvt::test {

class SurfaceTest : public WindowTest {
protected:
    explicit SurfaceTest(const std::string& profile = "clock = virtual\n") : WindowTest(profile) {}
    void SetUp() override {
        WindowTest::SetUp();
        GdiUseSyntheticFonts(true);
        ASSERT_TRUE(Screen::GetWorkArea(work));
        hwnd = Make(work.x, work.y, 240, 200);
        ASSERT_NE(hwnd, nullptr);
        surface = std::make_unique<DrawingSurface>(nullptr);
        surface->SetWindow(hwnd);
        On(hwnd, SurfaceHost(surface.get()));
    }
    void TearDown() override {
        On(hwnd, [](HWND, UINT, WPARAM, LPARAM, bool& handled) -> LRESULT {
            handled = false;
            return 0;
        });
        surface.reset();
        GdiUseSyntheticFonts(false);
        WindowTest::TearDown();
    }
    // An event straight into the surface (stamped with the surface's input state).
    bool Send(uint32_t code, uint16_t character = 0) {
        InputEvent e = InputEvent::Key(code, kNoCommand, character);
        return surface->HandleEvent(e);
    }
    bool SendRow(const uint32_t* row) {
        InputEvent e = InputEvent::Row(row);
        return surface->HandleEvent(e);
    }
    void Type(const char* text) {
        for (const char* p = text; *p; ++p) Send(kKeyCharacter, static_cast<uint8_t>(*p));
    }
    void Repaint() {
        surface->InvalidateRect(nullptr);
        fvt::RunUntilIdle();
    }
    // A client pixel as a colour of the graphics context (r | g << 8 | b << 16; the screen reads
    // 0xRRGGBB).
    uint32_t Pixel(int x, int y) {
        uint32_t p = ScreenPixel(work.x + x, work.y + y);
        return (p >> 16 & 0xFF) | (p & 0xFF00) | (p & 0xFF) << 16;
    }
    // Screen pixels of a rectangle of the client area with the given colour.
    int CountPixels(const Rect& r, uint32_t colour) {
        int n = 0;
        for (int y = r.y; y < r.Bottom(); ++y)
            for (int x = r.x; x < r.Right(); ++x) n += Pixel(x, y) == colour;
        return n;
    }
    void Tap(int x, int y) {
        fvt::Tap(work.x + x, work.y + y);
        fvt::RunUntilIdle();
    }
    // With FOLIVANT_SNAPSHOTS set, keeps a picture of the screen beside the test binary.
    void Snapshot(const std::string& name) {
        if (std::getenv("FOLIVANT_SNAPSHOTS")) fvt::SaveScreenshot(name + ".png");
    }

    Rect work{};
    HWND hwnd = nullptr;
    std::unique_ptr<DrawingSurface> surface;
};

}  // namespace fvt::test

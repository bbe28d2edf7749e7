// A drawing surface in a host window on the headless device, for tests of nodes that draw and
// take input: keys go through the device's own input, pixels are read back from the screen, and
// a timer list runs on the window (virtual clock).
#pragma once

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "core/platform_helpers.h"
#include "core/timer_list.h"
#include "graphics/core/drawing_surface.h"
#include "support/graphics/surface_host.h"

namespace fvt::test {

// A display that keeps the page in a back buffer, as the rotatable display surface does: the
// tree draws into the buffer, and only what the drawing marked changed (or what was asked to be
// drawn again) is copied to the window when the outermost drawing ends. Unturned.
class BackBufferDisplay : public DisplayLink {
public:
    explicit BackBufferDisplay(DrawingSurface* owner) : owner_(owner) {
        Size size;
        if (owner_->GetClientSize(size, true)) owner_->CreateOffscreen(back_, size);
        page_ = Rect{0, 0, size.width, size.height};
        owner_->AttachDisplaySurface(this);
    }
    ~BackBufferDisplay() {
        owner_->AttachDisplaySurface(nullptr);
        back_.Free();
    }
    bool IsActive() const override { return true; }
    bool HasBackBuffer() const override { return !back_.IsEmpty(); }
    HDC BufferDC() override { return copying_ ? nullptr : back_.dc; }
    void GetTransform(Transform& out) const override { out = Transform::Identity(); }
    Rect MapRect(const Rect& r, bool) const override { return r; }
    int Orientation() const override { return 0; }
    bool IsScrolling() const override { return false; }
    void InvalidateRect(const Rect* r, bool) override {
        if (!copying_) Rect::Union(changed_, r ? *r : page_);
    }
    void InvalidatePage(const Rect* r) override { Rect::Union(redraw_, r ? *r : page_); }
    void FlushDirty() override {
        if (copying_) return;
        if (!redraw_.IsEmpty()) {
            Rect r = redraw_;
            redraw_ = Rect{};
            if (owner_->BeginDraw(true, &r)) {
                owner_->Redraw(&r);
                owner_->EndDraw();
            }
            Rect::Union(changed_, r);
        }
        Rect area;
        if (!Rect::Intersect(changed_, page_, area)) return;
        changed_ = Rect{};
        copying_ = true;
        if (GraphicsContext* gc = owner_->BeginDraw(true, nullptr)) {
            gc->Blit(back_, Point{area.x, area.y}, area);
            owner_->EndDraw();
        }
        copying_ = false;
    }
    void Repaint(const Rect* r) override { InvalidateRect(r, false); }
    bool OnEvent(InputEvent&) override { return false; }
    void OnCommand(uint32_t) override {}
    void Resize(int32_t, int32_t) override {}
    void OverlayCommit() override {}

private:
    DrawingSurface* owner_;
    OffscreenBitmap back_;
    Rect page_{};
    Rect changed_{};
    Rect redraw_{};
    bool copying_ = false;
};

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
    // The screen pixels of a rectangle of the client area, row by row.
    std::vector<uint32_t> Pixels(const Rect& r) {
        std::vector<uint32_t> out;
        for (int y = r.y; y < r.Bottom(); ++y)
            for (int x = r.x; x < r.Right(); ++x) out.push_back(Pixel(x, y));
        return out;
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

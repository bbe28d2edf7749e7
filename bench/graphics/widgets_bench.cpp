// The display surface's flush through a quarter turn against a plain copy of the same pixels
// (the goal: within 3x), and a pop-up shown and hidden over a full page against two plain copies
// of its area (the goal: about those two copies, and no redraw of the page beneath).
#include <benchmark/benchmark.h>

#include <chrono>

#include "graphics/core/drawing_surface.h"
#include "graphics/widgets/overlay_widget.h"
#include "platform/gdi.h"

namespace {

constexpr int kWidth = 240;
constexpr int kHeight = 320;

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

// A screen-sized bitmap that the surface draws into instead of a window.
struct Screen {
    explicit Screen(GraphicsContext& gc) {
        ok = gc.CreateOffscreen(bitmap, Size{kWidth, kHeight});
    }
    ~Screen() { bitmap.Free(); }
    OffscreenBitmap bitmap;
    bool ok = false;
};

void BM_QuarterTurnFlush(benchmark::State& state) {
    DrawingSurface surface(nullptr);
    Screen screen(surface);
    OffscreenBitmap page;
    // The page is the screen turned: 320 wide, 240 high.
    if (!screen.ok || !surface.CreateOffscreen(page, Size{kHeight, kWidth})) {
        state.SkipWithError("no bitmaps");
        return;
    }
    surface.SetExternalTarget(&screen.bitmap);
    const Rect all{0, 0, kWidth, kHeight};
    double plain = 0, turned = 0;
    for (auto _ : state) {
        surface.BeginDraw(false, nullptr);
        auto t0 = Clock::now();
        BitBlt(screen.bitmap.dc, 0, 0, kWidth, kHeight, page.dc, 0, 0, SRCCOPY);
        auto t1 = Clock::now();
        surface.CopyRotated(page, Point{}, all, 1);
        auto t2 = Clock::now();
        surface.EndDraw();
        plain += Seconds(t0, t1);
        turned += Seconds(t1, t2);
    }
    state.counters["flush_us"] = turned / static_cast<double>(state.iterations()) * 1e6;
    state.counters["turned_over_plain"] = turned / plain;
    surface.ClearExternalTarget();
    page.Free();
}
BENCHMARK(BM_QuarterTurnFlush)->Unit(benchmark::kMicrosecond);

class FullPage : public Node {
public:
    Rect& AdjustRect(Rect& out, const Rect& in) override {
        out = in;
        return out;
    }
    int32_t ZOrder() const override { return 0; }
    void Redraw(const Rect*) override { ++draws; }
    int draws = 0;
};

class Popup : public OverlayWidget {
public:
    explicit Popup(DrawingSurface* target) : OverlayWidget(target, false, false) {}
};

void BM_PopupShowHide(benchmark::State& state) {
    DrawingSurface surface(nullptr);
    Screen screen(surface);
    if (!screen.ok) {
        state.SkipWithError("no bitmap");
        return;
    }
    surface.SetExternalTarget(&screen.bitmap);
    FullPage page;
    page.SetParent(&surface);
    Popup popup(&surface);
    const Rect area{20, 60, 200, 160};
    popup.SetRectangle(area);
    OffscreenBitmap saved;
    surface.BeginDraw(false, nullptr);
    surface.CaptureArea(saved, area);
    surface.EndDraw();
    double copies = 0, overlay = 0;
    for (auto _ : state) {
        surface.BeginDraw(false, nullptr);
        auto t0 = Clock::now();
        BitBlt(saved.dc, 0, 0, area.width, area.height, screen.bitmap.dc, area.x, area.y, SRCCOPY);
        BitBlt(screen.bitmap.dc, area.x, area.y, area.width, area.height, saved.dc, 0, 0, SRCCOPY);
        auto t1 = Clock::now();
        surface.EndDraw();
        auto t2 = Clock::now();
        popup.Show(true);
        popup.Show(false);
        auto t3 = Clock::now();
        copies += Seconds(t0, t1);
        overlay += Seconds(t2, t3);
    }
    state.counters["show_hide_over_two_copies"] = overlay / copies;
    state.counters["page_redraws"] = page.draws;
    saved.Free();
    popup.Detach();
    page.Detach();
    surface.ClearExternalTarget();
}
BENCHMARK(BM_PopupShowHide)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

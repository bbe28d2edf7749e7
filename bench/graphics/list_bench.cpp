// A list over a 100,000-row record set against the same list over 2,000 rows (enough for the
// hundred pages): opening it, paging down 100 times and jumping to the end. Rows are laid out for
// the visible page only, so each step should cost about the same over both sets (the goal: under
// 1 ms a step, ratio near 1).
#include <benchmark/benchmark.h>

#include <chrono>

#include "graphics/core/drawing_surface.h"
#include "graphics/widgets/list_control.h"
#include "platform/gdi.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

class Numbered : public OrdinalRecordSet {
public:
    explicit Numbered(uint32_t n) : n_(n) {}
    bool GetDisplayText(const RecordPosition& pos, String& out) override {
        if (!ValidRow(pos)) return false;
        char text[24];
        int len = snprintf(text, sizeof text, "Entry number %u", pos.value);
        for (int i = 0; i < len; ++i) out.AppendChar(static_cast<char16_t>(text[i]));
        return true;
    }
    uint32_t Count() override { return n_; }
    uint32_t PositionToRow(const RecordPosition& pos) override { return pos.value; }

private:
    uint32_t n_;
};

struct Steps {
    double open = 0, page = 0, end = 0;
};

// One run over a set of n rows: the time of opening, of one page-down and of the jump.
bool Run(uint32_t n, Steps& out) {
    DrawingSurface surface(nullptr);
    OffscreenBitmap screen;
    if (!surface.CreateOffscreen(screen, Size{240, 320})) return false;
    surface.SetExternalTarget(&screen);
    auto* rows = new Numbered(n);
    {
        ListControl list(nullptr, nullptr, IconHost{nullptr, 96});
        list.SetStyle(1);
        list.SetParent(&surface);
        auto t0 = Clock::now();
        list.SetRowSource(rows);
        Rect rest{};
        list.AdjustRect(rest, Rect{0, 0, 240, 300});
        list.Show(true);
        list.Redraw(nullptr);
        auto t1 = Clock::now();
        for (int i = 0; i < 100; ++i) list.ExecuteCommand(Cmd::kNextPage, 0);
        auto t2 = Clock::now();
        list.ShowRecord(nullptr, RecordPosition::At(static_cast<int32_t>(n - 1)), true);
        auto t3 = Clock::now();
        out.open += Seconds(t0, t1);
        out.page += Seconds(t1, t2) / 100;
        out.end += Seconds(t2, t3);
        list.Detach();
    }
    rows->Release();
    surface.ClearExternalTarget();
    screen.Free();
    return true;
}

void BM_ListOverLargeSet(benchmark::State& state) {
    Steps large, small;
    for (auto _ : state) {
        if (!Run(100000, large) || !Run(2000, small)) {
            state.SkipWithError("no bitmap");
            return;
        }
    }
    double n = static_cast<double>(state.iterations());
    state.counters["open_us"] = large.open / n * 1e6;
    state.counters["page_us"] = large.page / n * 1e6;
    state.counters["end_us"] = large.end / n * 1e6;
    state.counters["open_ratio"] = large.open / small.open;
    state.counters["page_ratio"] = large.page / small.page;
    state.counters["end_ratio"] = large.end / small.end;
}
BENCHMARK(BM_ListOverLargeSet)->Iterations(20);

}  // namespace

BENCHMARK_MAIN();

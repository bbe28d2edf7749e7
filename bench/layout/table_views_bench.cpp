// A table of one row of 8,000, 16,000 and 32,000 cells, as the reader meets it: opening its page
// (laid out, its views across worked out), End (its last view) and ten PageUps back through its
// views. Each figure against the 8,000 cells' in the same run: near 2 and 4 when the work grows
// with the cells, as it must (a row whose views are worked out view by view over every word
// grows with their cube). Without a graphics context: the layout's box metrics stand in for
// the font.
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

#include "document/markup/html_tokenizer.h"
#include "layout/page_layout.h"
#include "support/document/memory_document.h"

namespace {

std::u16string Row(int cells) {
    std::u16string s = u"<html><body><p>The timetable.</p><table border=\"1\"><tr>";
    for (int i = 0; i < cells; ++i) {
        s += u"<td>tide";
        for (char c : std::to_string(i)) s += static_cast<char16_t>(c);
        s += u"</td>";
    }
    return s + u"</tr></table></body></html>";
}

using Clock = std::chrono::steady_clock;

// Seconds to open the row's page, go to End and page back ten views.
double OpenEndAndBack(int cells) {
    MemoryDocument doc(Row(cells), 4096);
    HtmlTokenizer source;
    source.Attach(&doc, 0);
    source.SetTableNeedsInline(false);
    PageLayout layout;
    layout.SetSource(&source);
    LayoutSettings s;
    s.baseFontSize = 12;
    layout.Configure(s);
    layout.SetViewport(Rect{0, 0, 240, 320});
    const auto a = Clock::now();
    bool ok = layout.Start() && layout.GoToPage(1) && layout.GoToPage(PageLayout::kNone);
    for (int i = 0; ok && i < 10; ++i) ok = layout.PageThroughTables(-1);
    const double t = std::chrono::duration<double>(Clock::now() - a).count();
    return ok ? t : -1;
}

double Best(int cells, int reps) {
    double best = 1e9;
    for (int i = 0; i < reps; ++i) {
        const double t = OpenEndAndBack(cells);
        if (t < 0) return -1;
        if (t < best) best = t;
    }
    return best;
}

void BM_RowOfCellsOpenEndAndBack(benchmark::State& state) {
    double base = 0, twice = 0, four = 0;
    for (auto _ : state) {
        base = Best(8000, 3);
        twice = Best(16000, 3);
        four = Best(32000, 3);
    }
    state.counters["ms_8000"] = base * 1000;
    state.counters["ratio_16000"] = base > 0 ? twice / base : -1;
    state.counters["ratio_32000"] = base > 0 ? four / base : -1;
}
BENCHMARK(BM_RowOfCellsOpenEndAndBack)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

// Pagination over a 5 MB HTML file, each move as a ratio to laying out one page from a known
// start (the baseline, measured in the same run): the first page, the next and previous pages
// (also PageUp right after a jump, with the number of page layouts it takes), going to the
// middle and then to the last page, and drawing a laid-out page. The page content is set by the
// test stand-in for the line layout, so the figures are the pagination's own; the next page and
// PageUp after a jump are also measured with the engine's own line layout (`WithLines`).
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "document/markup/html_tokenizer.h"
#include "layout/page_canvas.h"
#include "layout/page_layout.h"
#include "support/document/memory_document.h"
#include "support/layout/word_page_layout.h"

namespace {

LayoutSettings Settings(int32_t baseFontSize) {
    LayoutSettings s;
    s.baseFontSize = baseFontSize;
    return s;
}

std::u16string Book() {
    static const char16_t* const kWords[] = {u"the",   u"evening",  u"light", u"fell", u"on",
                                             u"quiet", u"harbours", u"and",   u"ships"};
    std::u16string text = u"<html><head><title>Bench</title></head><body>";
    uint32_t r = 7;
    while (text.size() < 5u * 1024 * 1024 / 2) {
        text += u"<p>";
        for (int i = 0; i < 60; ++i) {
            r = r * 1103515245u + 12345u;
            text += kWords[(r >> 16) % 9];
            text += u' ';
        }
        text += u"</p>\n";
    }
    return text + u"</body></html>";
}

struct Engine {
    Engine() : doc(Book(), 4096) {
        source.Attach(&doc, 0);
        layout.SetSource(&source);
        layout.SetContentLayout(&content);
        layout.Configure(Settings(12));
        layout.SetViewport(Rect{0, 0, 240, 320});
        content.lineHeight = 14;
    }
    MemoryDocument doc;
    HtmlTokenizer source;
    WordPageLayout content;
    PageLayout layout;
};

Engine& Shared() {
    static Engine* engine = new Engine;
    return *engine;
}

// The same book through the engine's own block and line layout (box metrics, no graphics
// context): what a page turn and a PageUp after a jump cost with real lines.
struct LineEngine {
    LineEngine() : doc(Book(), 4096) {
        source.Attach(&doc, 0);
        source.SetTableNeedsInline(false);
        layout.SetSource(&source);
        layout.Configure(Settings(12));
        layout.SetViewport(Rect{0, 0, 240, 320});
    }
    MemoryDocument doc;
    HtmlTokenizer source;
    PageLayout layout;
};

LineEngine& SharedLines() {
    static LineEngine* engine = new LineEngine;
    return *engine;
}

void Baseline(benchmark::State& state) {
    Engine& e = Shared();
    e.layout.Start();
    e.layout.GoToPage(1);
    for (auto _ : state) {
        e.layout.Invalidate(1);
        benchmark::DoNotOptimize(e.layout.LayoutPageAt(e.layout.CurrentPageStart(), false));
    }
}
BENCHMARK(Baseline);

void FirstPage(benchmark::State& state) {
    Engine& e = Shared();
    for (auto _ : state) {
        e.layout.SetSource(&e.source);
        benchmark::DoNotOptimize(e.layout.Start() && e.layout.GoToPage(1));
        e.layout.LayoutPageAt(e.layout.CurrentPageStart(), false);
    }
}
BENCHMARK(FirstPage);

// Page after page, from the first again at the end.
void TurnPages(benchmark::State& state, PageLayout& layout) {
    layout.Start();
    layout.GoToPage(1);
    for (auto _ : state) {
        if (!layout.GoToPosition(layout.CurrentPageStart(), PageStepCode::kNextPage))
            layout.GoToPage(1);
        layout.LayoutPageAt(layout.CurrentPageStart(), false);
    }
}

// PageUp after a jump: the page that ends where the current one starts. With `layouts`, the
// number of page layouts each one takes is counted.
void PageUpAfterJumps(benchmark::State& state, PageLayout& layout,
                      const uint32_t* layouts = nullptr) {
    layout.Start();
    double taken = 0;
    for (auto _ : state) {
        state.PauseTiming();
        layout.GoToPage(200);
        layout.Invalidate(1);
        state.ResumeTiming();
        const uint32_t before = layouts ? *layouts : 0;
        benchmark::DoNotOptimize(
            layout.GoToPosition(layout.CurrentPageStart(), PageStepCode::kPageEndingHere));
        layout.LayoutPageAt(layout.CurrentPageStart(), false);
        if (layouts) taken += *layouts - before;
    }
    if (layouts)
        state.counters["layouts"] = benchmark::Counter(taken, benchmark::Counter::kAvgIterations);
}

void NextPage(benchmark::State& state) { TurnPages(state, Shared().layout); }
BENCHMARK(NextPage);

void PreviousPage(benchmark::State& state) {
    Engine& e = Shared();
    e.layout.Start();
    for (auto _ : state) {
        state.PauseTiming();
        e.layout.GoToPage(200);
        e.layout.Invalidate(1);
        state.ResumeTiming();
        benchmark::DoNotOptimize(
            e.layout.GoToPosition(e.layout.CurrentPageStart(), PageStepCode::kPageBefore));
    }
}
BENCHMARK(PreviousPage);

void PreviousPageAfterJump(benchmark::State& state) {
    Engine& e = Shared();
    PageUpAfterJumps(state, e.layout, &e.content.layouts);
}
BENCHMARK(PreviousPageAfterJump);

void NextPageWithLines(benchmark::State& state) { TurnPages(state, SharedLines().layout); }
BENCHMARK(NextPageWithLines);

void PreviousPageAfterJumpWithLines(benchmark::State& state) {
    PageUpAfterJumps(state, SharedLines().layout);
}
BENCHMARK(PreviousPageAfterJumpWithLines);

void HalfThenLast(benchmark::State& state) {
    Engine& e = Shared();
    e.layout.Start();
    for (auto _ : state) {
        e.layout.Invalidate(1);
        benchmark::DoNotOptimize(e.layout.GoToPageContaining(e.layout.TextLength() / 2));
        benchmark::DoNotOptimize(e.layout.GoToPage(PageLayout::kNone));
    }
}
BENCHMARK(HalfThenLast);

class NullCanvas : public PageCanvas {
public:
    bool Begin() override { return true; }
    void End() override {}
    void FillRect(const Rect&, uint32_t) override {}
    void DrawLine(Point, Point, uint32_t) override {}
    void SetFont(const CanvasFont&) override {}
    void DrawText(const String&, Point, uint32_t) override {}
    void DrawUnderline(Point, int32_t, uint32_t) override {}
    bool DrawObject(InlineObject*, const Rect&, const Rect*) override { return true; }
    void SetClip(const Rect*) override {}
    void DrawArea(const Area&, bool) override {}
};

void DrawLaidOutPage(benchmark::State& state) {
    Engine& e = Shared();
    NullCanvas canvas;
    e.layout.SetCanvas(&canvas);
    e.layout.Start();
    e.layout.GoToPage(1);
    e.layout.LayoutPageAt(e.layout.CurrentPageStart(), false);
    for (auto _ : state) benchmark::DoNotOptimize(e.layout.DrawPage(false));
    e.layout.SetCanvas(nullptr);
}
BENCHMARK(DrawLaidOutPage);

}  // namespace

BENCHMARK_MAIN();

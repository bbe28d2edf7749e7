// Laying out one page: plain paragraphs, a 100-row table, and a page of short words at a tiny
// font, 10,000 words against 1,000 in the same run (the ratio shows whether any step grows
// faster than the words do); the same for an index page's tall table cell (8 times the entries)
// and for tables nested in paragraphs (4 times as deep). Measured without a graphics context: the layout's own box
// metrics stand in for the font, so the figures are the layout's work alone.
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <string>

#include "bookfiles/document_source.h"
#include "document/markup/html_tokenizer.h"
#include "layout/page_layout.h"

namespace {

// The document text in memory, one page buffer for all of it.
class TextDocument : public DocumentSource {
public:
    explicit TextDocument(std::u16string text) : text_(std::move(text)) {}
    void Close() override {}
    bool ReadPage(uint32_t position, PageBuffer& out, uint32_t section, uint32_t flag) override {
        if (section || flag || position >= text_.size()) return false;
        uint32_t n = static_cast<uint32_t>(text_.size());
        out = PageBuffer{0, text_.data(), n, 0, 0, n, 1};
        return true;
    }
    void ReleasePage(uint16_t) override {}
    uint32_t Advance(uint32_t p, int32_t n, uint32_t) override { return p + n; }
    int32_t Distance(uint32_t a, uint32_t b, uint32_t) override { return static_cast<int32_t>(b - a); }
    uint32_t GetLength() override { return static_cast<uint32_t>(text_.size()); }
    uint32_t GetCodePage() override { return 65002; }
    uint32_t GetKind() override { return 2; }
    uint32_t GetLanguage() override { return 0; }

private:
    std::u16string text_;
};

struct Setup {
    Setup(const std::u16string& html, int32_t width, int32_t height, int32_t em)
        : doc(html), tokenizer(true) {
        tokenizer.Attach(&doc, 0);
        tokenizer.SetTableNeedsInline(false);
        LayoutSettings s;
        s.baseFontSize = em;
        layout.SetSource(&tokenizer);
        layout.Configure(s);
        Rect column{0, 0, width, height};
        layout.SetColumns(&column, 1);
    }
    bool FirstPage() {
        PageRecord first, next;
        PageSlot slot;
        slot.record = &first;
        bool more = false;
        return layout.LayoutIntoSlot(slot, next, more, false);
    }
    TextDocument doc;
    HtmlTokenizer tokenizer;
    PageLayout layout;
};

std::u16string Paragraphs() {
    std::u16string s = u"<html><body>";
    for (int p = 0; p < 20; ++p) {
        s += u"<p>";
        for (int w = 0; w < 60; ++w) s += u"reading words on a page ";
        s += u"</p>";
    }
    return s + u"</body></html>";
}

std::u16string Table() {
    std::u16string s = u"<html><body><table border=\"1\">";
    for (int r = 0; r < 100; ++r) s += u"<tr><td>row</td><td>a cell of text</td><td>42</td></tr>";
    return s + u"</table></body></html>";
}

std::u16string ShortWords(int n) {
    std::u16string s = u"<html><body>";
    for (int i = 0; i < n; ++i) s += u"ab ";
    return s + u"</body></html>";
}

void BM_ParagraphPage(benchmark::State& state) {
    std::u16string html = Paragraphs();
    for (auto _ : state) {
        Setup setup(html, 240, 320, 12);
        benchmark::DoNotOptimize(setup.FirstPage());
    }
}
BENCHMARK(BM_ParagraphPage)->Unit(benchmark::kMicrosecond);

void BM_TablePage(benchmark::State& state) {
    std::u16string html = Table();
    for (auto _ : state) {
        Setup setup(html, 240, 320, 12);
        benchmark::DoNotOptimize(setup.FirstPage());
    }
}
BENCHMARK(BM_TablePage)->Unit(benchmark::kMicrosecond);

using Clock = std::chrono::steady_clock;

double TimeWords(const std::u16string& html, int reps) {
    double best = 1e9;
    for (int i = 0; i < reps; ++i) {
        Setup setup(html, 1000, 2000, 4);
        auto a = Clock::now();
        benchmark::DoNotOptimize(setup.FirstPage());
        double t = std::chrono::duration<double>(Clock::now() - a).count();
        if (t < best) best = t;
    }
    return best;
}

// The whole page at a 4-pixel em holds all 10,000 words; the ratio should stay near 10.
void BM_WordsTenThousandAgainstOneThousand(benchmark::State& state) {
    std::u16string small = ShortWords(1000);
    std::u16string large = ShortWords(10000);
    double ratio = 0;
    for (auto _ : state) {
        double a = TimeWords(small, 5);
        double b = TimeWords(large, 5);
        ratio = b / a;
    }
    state.counters["ratio"] = ratio;
}
BENCHMARK(BM_WordsTenThousandAgainstOneThousand)->Iterations(3)->Unit(benchmark::kMillisecond);

// An index page's layout table: links beside a tall cell of entries.
std::u16string TallCell(int entries) {
    std::u16string s = u"<html><body><table width=\"100%\"><tr><td colspan=\"2\"><b>Index</b>"
                       u"</td></tr><tr><td valign=\"top\">";
    for (int i = 0; i < 20; ++i) s += u"<a href=\"#p\">pkg</a><br>";
    s += u"</td><td valign=\"top\"><dl>";
    for (int i = 0; i < entries; ++i)
        s += u"<dt><a href=\"#m\"><code>get()</code></a></dt><dd>tells what the method returns "
             u"and when it fails</dd>";
    return s + u"</dl></td></tr></table><p>after</p></body></html>";
}

std::u16string Nested(int depth) {
    std::u16string s = u"<html><body>";
    for (int i = 0; i < depth; ++i) s += u"<p><table><tr><td>";
    return s + u"deep text here</body></html>";
}

// The first pages of the document, laid out one after the other as paging does; the time of
// the fastest of reps runs.
double TimePages(const std::u16string& html, int pages, int reps, int32_t height = 320) {
    double best = 1e9;
    for (int i = 0; i < reps; ++i) {
        Setup setup(html, 240, height, 12);
        auto a = Clock::now();
        PageRecord records[2];
        bool more = true;
        for (int p = 0; p < pages && more; ++p) {
            PageSlot slot;
            slot.record = &records[p % 2];
            if (!setup.layout.LayoutIntoSlot(slot, records[(p + 1) % 2], more, false)) break;
        }
        double t = std::chrono::duration<double>(Clock::now() - a).count();
        if (t < best) best = t;
    }
    return best;
}

// Two pages: the head row, then the tall row laid out from the items the first page read.
// Cost in proportion to the entries gives a ratio near 8; moving every later item for each
// line inserted gave one that grew with the entries.
void BM_TallCellEightTimesTheEntries(benchmark::State& state) {
    std::u16string small = TallCell(250);
    std::u16string large = TallCell(2000);
    double ratio = 0, ms = 0;
    for (auto _ : state) {
        double a = TimePages(small, 2, 3);
        double b = TimePages(large, 2, 3);
        ratio = b / a;
        ms = b * 1000;
    }
    state.counters["ratio"] = ratio;
    state.counters["large_ms"] = ms;
}
BENCHMARK(BM_TallCellEightTimesTheEntries)->Iterations(3)->Unit(benchmark::kMillisecond);

// The first page of tables nested in paragraphs, 4,000 levels against 1,000, on a page tall
// enough for all of it: near 4 when the cost follows the page's content whatever its depth.
void BM_NestingFourTimesAsDeep(benchmark::State& state) {
    std::u16string small = Nested(1000);
    std::u16string large = Nested(4000);
    double ratio = 0, ms = 0;
    for (auto _ : state) {
        double a = TimePages(small, 1, 3, 1 << 24);
        double b = TimePages(large, 1, 3, 1 << 24);
        ratio = b / a;
        ms = b * 1000;
    }
    state.counters["ratio"] = ratio;
    state.counters["large_ms"] = ms;
}
BENCHMARK(BM_NestingFourTimesAsDeep)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

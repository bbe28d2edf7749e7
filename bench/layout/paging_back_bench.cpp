// Paging back and jumping, as paired ratios measured in the same loop:
// - PageUp against PageDown on each kind of book (an HTML file, which is replayed; a markup
//   book, whose open elements are rebuilt after a jump; a plain text; a page laid out as one
//   long table): per iteration, K PageDowns from the first page and K PageUps from the last,
//   each with the layout of the page shown. Counter `up_over_down`.
// - A 13 MB text file: reopening it at a saved late page, End and Go to page (the middle)
//   against opening it at page 1, each from a fresh layout. Counters `reopen_over_first`,
//   `end_over_first`, `goto_over_first`. The same (reopening, End) for a 2.3 MB HTML file:
//   `JumpsInAnHtmlFile`; and for a 10 MB markup book: `JumpsInAMarkupBook`.
// - One PageUp onto a page of a table wider than the screen (read view by view), early in a long
//   book and far into it, each from a fresh layout: `near_pageup_ms`, `far_pageup_ms`, the pages
//   laid out for each (`near_layouts_per_up`, `far_layouts_per_up`) and `far_over_near`.
// The engine's own block and line layout measures with box metrics (no graphics context).
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <string>

#include "core/byte_stream.h"
#include "core/file.h"
#include "document/markup/html_tokenizer.h"
#include "document/markup/plain_text_token_source.h"
#include "document/sources/layout_services.h"
#include "document/sources/text_file_document.h"
#include "layout/page_layout.h"
#include "support/document/device_files.h"
#include "support/document/memory_document.h"
#include "support/layout/paging_fixtures.h"

namespace {

using Clock = std::chrono::steady_clock;

const char16_t* const kWords[] = {u"the",   u"evening",  u"light", u"fell",  u"on",
                                  u"quiet", u"harbours", u"and",   u"ships", u"keeper"};

std::u16string Words(uint32_t& r, int n) { return fvt::test::PseudoWords(kWords, r, n); }

// About `chars` of markup: chapters with headings, paragraphs, lists and a listing.
std::u16string Markup(size_t chars) {
    std::u16string h = u"<html><head><title>Bench</title></head><body>";
    uint32_t r = 7;
    for (int c = 1; h.size() < chars; ++c) {
        h += u"<h2>Part</h2><p>" + Words(r, 70) + u"</p><ul>";
        for (int i = 0; i < 5; ++i) h += u"<li>" + Words(r, 8) + u"</li>";
        h += u"</ul><pre>int main() {\n    return 0;\n}\n</pre><p>" + Words(r, 50) + u"</p>\n";
    }
    return h + u"</body></html>";
}

// A page whose body is one table of many rows, as an API index.
std::u16string TablePage(size_t chars) {
    std::u16string h = u"<html><body><table width=\"100%\">";
    uint32_t r = 11;
    while (h.size() < chars) h += u"<tr><td>name</td><td>" + Words(r, 14) + u"</td></tr>\n";
    return h + u"</table></body></html>";
}

std::u16string PlainText(size_t chars) {
    std::u16string t;
    uint32_t r = 3;
    while (t.size() < chars) t += Words(r, 60) + u"\n\n";
    return t;
}

struct Book : fvt::test::PagingBook {
    Book(std::u16string text, bool seekable, bool plain)
        : PagingBook(std::move(text), seekable, plain) {
        layout.Start();
    }
};

double Seconds(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

constexpr int kSteps = 20;

void PageUpOverPageDown(benchmark::State& state, Book& book) {
    PageLayout& layout = book.layout;
    double down = 0, up = 0, downLayouts = 0, upLayouts = 0;
    for (auto _ : state) {
        layout.Invalidate(1);
        layout.GoToPage(1);
        layout.LayoutPageAt(layout.CurrentPageStart(), false);
        const uint64_t l0 = layout.PagesLaidOut();
        Clock::time_point t0 = Clock::now();
        for (int i = 0; i < kSteps; ++i) {
            if (!layout.GoToPosition(layout.CurrentPageStart(), PageStepCode::kNextPage)) break;
            layout.LayoutPageAt(layout.CurrentPageStart(), false);
        }
        Clock::time_point t1 = Clock::now();
        const uint64_t l1 = layout.PagesLaidOut();
        layout.Invalidate(1);
        layout.GoToPage(PageLayout::kNone);
        layout.LayoutPageAt(layout.CurrentPageStart(), false);
        Clock::time_point t2 = Clock::now();
        const uint64_t l2 = layout.PagesLaidOut();
        for (int i = 0; i < kSteps; ++i) {
            if (!layout.GoToPosition(layout.CurrentPageStart(), PageStepCode::kPageEndingHere))
                break;
            layout.LayoutPageAt(layout.CurrentPageStart(), false);
        }
        Clock::time_point t3 = Clock::now();
        downLayouts += static_cast<double>(l1 - l0);
        upLayouts += static_cast<double>(layout.PagesLaidOut() - l2);
        down += Seconds(t0, t1);
        up += Seconds(t2, t3);
    }
    state.counters["up_over_down"] = down > 0 ? up / down : 0;
    // Page layouts per step: where the time goes.
    state.counters["layouts_per_up"] = downLayouts > 0 ? upLayouts / downLayouts : 0;
    state.counters["pageup_us"] = benchmark::Counter(
        up * 1e6 / kSteps, benchmark::Counter::kAvgIterations);
    state.counters["pagedown_us"] = benchmark::Counter(
        down * 1e6 / kSteps, benchmark::Counter::kAvgIterations);
}

void PageUpHtml(benchmark::State& state) {
    static Book* book = new Book(Markup(2u << 20), false, false);
    PageUpOverPageDown(state, *book);
}
BENCHMARK(PageUpHtml)->Unit(benchmark::kMillisecond);

void PageUpMarkupBook(benchmark::State& state) {
    static Book* book = new Book(Markup(2u << 20), true, false);
    PageUpOverPageDown(state, *book);
}
BENCHMARK(PageUpMarkupBook)->Unit(benchmark::kMillisecond);

void PageUpPlainText(benchmark::State& state) {
    static Book* book = new Book(PlainText(2u << 20), true, true);
    PageUpOverPageDown(state, *book);
}
BENCHMARK(PageUpPlainText)->Unit(benchmark::kMillisecond);

void PageUpTablePage(benchmark::State& state) {
    static Book* book = new Book(TablePage(256u << 10), false, false);
    PageUpOverPageDown(state, *book);
}
BENCHMARK(PageUpTablePage)->Unit(benchmark::kMillisecond);

// Prose with a table of five columns (wider than the screen) every few pages' worth of text.
std::u16string ProseWithWideTables(size_t chars) {
    std::u16string h = u"<html><body>";
    uint32_t r = 13;
    for (int t = 0; h.size() < chars; ++t) {
        for (int p = 0; p < 12; ++p) h += u"<p>" + Words(r, 30 + (p * 7) % 25) + u"</p>";
        h += u"<table border=\"1\">";
        for (int row = 0; row < 12; ++row) {
            h += u"<tr>";
            for (int c = 0; c < 5; ++c) h += u"<td>" + Words(r, 3) + u"</td>";
            h += u"</tr>";
        }
        h += u"</table>\n";
    }
    return h + u"</body></html>";
}

// The time and the pages laid out for one PageUp from the page that starts at a row of the
// first table at or after `at` (the page before it holds the table's first rows).
void PageUpOntoAWideTable(PageLayout& layout, const std::u16string& text, size_t at,
                          double& seconds, double& layouts) {
    const size_t row = text.find(u"<tr>", text.find(u"<table", at) + 200);
    layout.Invalidate(1);
    layout.GoToPageContaining(static_cast<uint32_t>(row));
    layout.LayoutPageAt(layout.CurrentPageStart(), false);
    const uint64_t l0 = layout.PagesLaidOut();
    Clock::time_point t0 = Clock::now();
    layout.GoToPosition(layout.CurrentPageStart(), PageStepCode::kPageEndingHere);
    layout.LayoutPageAt(layout.CurrentPageStart(), false);
    seconds += Seconds(t0, Clock::now());
    layouts += static_cast<double>(layout.PagesLaidOut() - l0);
}

void PageUpOntoWideTables(benchmark::State& state) {
    static const std::u16string* text = new std::u16string(ProseWithWideTables(2u << 20));
    static Book* book = new Book(*text, false, false);
    double near = 0, far = 0, nearLayouts = 0, farLayouts = 0;
    for (auto _ : state) {
        // About 140 pages in and about 1900, both run up to from the first page: each pass
        // starts afresh, as the first PageUp onto a table there does (later ones run up from
        // a page the first run kept, a few pages before their table).
        PageUpOntoAWideTable(book->layout, *text, 120u << 10, near, nearLayouts);
        PageUpOntoAWideTable(book->layout, *text, 1600u << 10, far, farLayouts);
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["near_pageup_ms"] = near * 1e3 / n;
    state.counters["far_pageup_ms"] = far * 1e3 / n;
    state.counters["near_layouts_per_up"] = nearLayouts / n;
    state.counters["far_layouts_per_up"] = farLayouts / n;
    state.counters["far_over_near"] = near > 0 ? far / near : 0;
}
BENCHMARK(PageUpOntoWideTables)->Unit(benchmark::kMillisecond)->Iterations(5);

// A document key that stays from layout to layout, as a file's does in the reader: a saved
// page state is taken back only under the key it was saved with.
struct FixedKey : BookLayoutTraits {
    bool SourceFlag() override { return true; }
    uint32_t DocumentKey() override { return 0x2A5E17; }
};

// The 13 MB text file on a device of its own, opened as the reader opens a text file.
struct TextFile {
    TextFile() {
        std::u16string text = PlainText(13u << 20);
        std::string bytes(text.begin(), text.end());
        std::u16string device = files.Write("big.txt", bytes);
        path.FromWide(device.c_str());
    }
    DeviceFiles files;
    Text path;
};

struct OpenText {
    explicit OpenText(const Text& path) : file(path, File::kOpenForReading) {
        doc.Open(&file, String(u"big.txt"), 1252, 65002, false, 0, 0xFFFFFFFFu);
        doc.SetMode(1);
        source.Attach(&doc, 0);
        layout.SetSource(&source);
        layout.Configure(fvt::test::SettingsAt(12));
        layout.SetViewport(Rect{0, 0, 240, 320});
        layout.Start();
    }
    File file;
    TextFileDocument doc;
    PlainTextTokenSource source;
    FixedKey key;
    PageLayout layout{&key};
};

void JumpsInABigText(benchmark::State& state) {
    static TextFile* text = new TextFile;
    // A late page's saved state, as the reader keeps it in the side file.
    uint32_t number = 0, start = 0;
    ByteStream saved;
    {
        OpenText o(text->path);
        o.layout.GoToPage(PageLayout::kNone);
        o.layout.GoToPosition(o.layout.CurrentPageStart(), PageStepCode::kPageEndingHere);
        o.layout.SaveCurrentPageState(number, start, saved);
    }
    double first = 0, reopen = 0, end = 0, middle = 0;
    for (auto _ : state) {
        Clock::time_point t0 = Clock::now();
        {
            OpenText o(text->path);
            o.layout.GoToPage(1);
            benchmark::DoNotOptimize(o.layout.LayoutPageAt(o.layout.CurrentPageStart(), false));
        }
        Clock::time_point t1 = Clock::now();
        {
            OpenText o(text->path);
            saved.SetReadPosition(0);
            if (!o.layout.RestorePageState(number, start, saved) ||
                o.layout.CurrentPageStart() != start)
                return state.SkipWithError("the saved page was not restored");
            benchmark::DoNotOptimize(o.layout.LayoutPageAt(o.layout.CurrentPageStart(), false));
        }
        Clock::time_point t2 = Clock::now();
        {
            OpenText o(text->path);
            o.layout.GoToPage(PageLayout::kNone);
            benchmark::DoNotOptimize(o.layout.LayoutPageAt(o.layout.CurrentPageStart(), false));
        }
        Clock::time_point t3 = Clock::now();
        {
            OpenText o(text->path);
            o.layout.GoToPage(o.layout.PageCount() / 2);
            benchmark::DoNotOptimize(o.layout.LayoutPageAt(o.layout.CurrentPageStart(), false));
        }
        Clock::time_point t4 = Clock::now();
        first += Seconds(t0, t1);
        reopen += Seconds(t1, t2);
        end += Seconds(t2, t3);
        middle += Seconds(t3, t4);
    }
    state.counters["reopen_over_first"] = first > 0 ? reopen / first : 0;
    state.counters["end_over_first"] = first > 0 ? end / first : 0;
    state.counters["goto_over_first"] = first > 0 ? middle / first : 0;
    state.counters["first_ms"] =
        benchmark::Counter(first * 1e3, benchmark::Counter::kAvgIterations);
}
BENCHMARK(JumpsInABigText)->Unit(benchmark::kMillisecond)->Iterations(5);

// The same for markup: a 2.3 MB HTML file, opened as the reader opens one (replayed: its open
// elements are rebuilt from where reading starts), each layout fresh, as a new session.
struct HtmlFile {
    HtmlFile() {
        std::u16string text = Markup(2300u << 10);
        std::string bytes(text.begin(), text.end());
        std::u16string device = files.Write("big.html", bytes);
        path.FromWide(device.c_str());
    }
    DeviceFiles files;
    Text path;
};

struct OpenHtml {
    explicit OpenHtml(const Text& path) : file(path, File::kOpenForReading), source(true) {
        doc.Open(&file, String(u"big.html"), 1252, 65002, false, 0, 0xFFFFFFFFu);
        doc.SetMode(2);
        source.Attach(&doc, 0);
        layout.SetSource(&source);
        layout.Configure(fvt::test::SettingsAt(12));
        layout.SetViewport(Rect{0, 0, 240, 320});
        layout.Start();
    }
    File file;
    TextFileDocument doc;
    HtmlTokenizer source;
    FixedKey key;
    PageLayout layout{&key};
};

void JumpsInAnHtmlFile(benchmark::State& state) {
    static HtmlFile* html = new HtmlFile;
    uint32_t number = 0, start = 0;
    ByteStream saved;
    {
        OpenHtml o(html->path);
        o.layout.GoToPage(PageLayout::kNone);
        o.layout.GoToPosition(o.layout.CurrentPageStart(), PageStepCode::kPageEndingHere);
        o.layout.SaveCurrentPageState(number, start, saved);
    }
    double first = 0, reopen = 0, end = 0;
    for (auto _ : state) {
        Clock::time_point t0 = Clock::now();
        {
            OpenHtml o(html->path);
            o.layout.GoToPage(1);
            benchmark::DoNotOptimize(o.layout.LayoutPageAt(o.layout.CurrentPageStart(), false));
        }
        Clock::time_point t1 = Clock::now();
        {
            OpenHtml o(html->path);
            saved.SetReadPosition(0);
            if (!o.layout.RestorePageState(number, start, saved) ||
                o.layout.CurrentPageStart() != start)
                return state.SkipWithError("the saved page was not restored");
            benchmark::DoNotOptimize(o.layout.LayoutPageAt(o.layout.CurrentPageStart(), false));
        }
        Clock::time_point t2 = Clock::now();
        {
            OpenHtml o(html->path);
            o.layout.GoToPage(PageLayout::kNone);
            benchmark::DoNotOptimize(o.layout.LayoutPageAt(o.layout.CurrentPageStart(), false));
        }
        Clock::time_point t3 = Clock::now();
        first += Seconds(t0, t1);
        reopen += Seconds(t1, t2);
        end += Seconds(t2, t3);
    }
    state.counters["reopen_over_first"] = first > 0 ? reopen / first : 0;
    state.counters["end_over_first"] = first > 0 ? end / first : 0;
    state.counters["first_ms"] =
        benchmark::Counter(first * 1e3, benchmark::Counter::kAvgIterations);
}
BENCHMARK(JumpsInAnHtmlFile)->Unit(benchmark::kMillisecond)->Iterations(5);

// A 10 MB markup book (pages start anywhere; its open elements are rebuilt from the nearest
// checkpoint after a jump): End and Go to page (the middle) in a new session against opening
// it at page 1, and reopening it late (its saved state carries the scan state).
struct OpenMarkupBook {
    explicit OpenMarkupBook(const std::u16string& text) : doc(text, 4096), source(true) {
        source.SetTableNeedsInline(false);
        source.Attach(&doc, 0);
        layout.SetSource(&source);
        layout.Configure(fvt::test::SettingsAt(12));
        layout.SetViewport(Rect{0, 0, 240, 320});
        layout.Start();
    }
    fvt::test::SeekableDocument doc;
    HtmlTokenizer source;
    FixedKey key;
    PageLayout layout{&key};
};

void JumpsInAMarkupBook(benchmark::State& state) {
    static const std::u16string* text = new std::u16string(Markup(10u << 20));
    uint32_t number = 0, start = 0;
    ByteStream saved;
    {
        OpenMarkupBook o(*text);
        o.layout.GoToPage(PageLayout::kNone);
        o.layout.GoToPosition(o.layout.CurrentPageStart(), PageStepCode::kPageEndingHere);
        o.layout.SaveCurrentPageState(number, start, saved);
    }
    double first = 0, reopen = 0, end = 0, middle = 0;
    for (auto _ : state) {
        Clock::time_point t0 = Clock::now();
        {
            OpenMarkupBook o(*text);
            o.layout.GoToPage(1);
            benchmark::DoNotOptimize(o.layout.LayoutPageAt(o.layout.CurrentPageStart(), false));
        }
        Clock::time_point t1 = Clock::now();
        {
            OpenMarkupBook o(*text);
            saved.SetReadPosition(0);
            if (!o.layout.RestorePageState(number, start, saved) ||
                o.layout.CurrentPageStart() != start)
                return state.SkipWithError("the saved page was not restored");
            benchmark::DoNotOptimize(o.layout.LayoutPageAt(o.layout.CurrentPageStart(), false));
        }
        Clock::time_point t2 = Clock::now();
        {
            OpenMarkupBook o(*text);
            o.layout.GoToPage(PageLayout::kNone);
            benchmark::DoNotOptimize(o.layout.LayoutPageAt(o.layout.CurrentPageStart(), false));
        }
        Clock::time_point t3 = Clock::now();
        {
            OpenMarkupBook o(*text);
            o.layout.GoToPage(o.layout.PageCount() / 2);
            benchmark::DoNotOptimize(o.layout.LayoutPageAt(o.layout.CurrentPageStart(), false));
        }
        Clock::time_point t4 = Clock::now();
        first += Seconds(t0, t1);
        reopen += Seconds(t1, t2);
        end += Seconds(t2, t3);
        middle += Seconds(t3, t4);
    }
    state.counters["reopen_over_first"] = first > 0 ? reopen / first : 0;
    state.counters["end_over_first"] = first > 0 ? end / first : 0;
    state.counters["goto_over_first"] = first > 0 ? middle / first : 0;
    state.counters["first_ms"] =
        benchmark::Counter(first * 1e3, benchmark::Counter::kAvgIterations);
}
BENCHMARK(JumpsInAMarkupBook)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();

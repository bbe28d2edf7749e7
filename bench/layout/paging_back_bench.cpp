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
// - PageUp against PageDown per key, on prose and on an 8 MB API reference of small tables, at
//   240x320 and at 480x640 with the larger font, each key's thread CPU time on its own:
//   `PageUpPerKey`: K PageUps from End against K PageDowns over the same stretch (from the
//   page the PageUps reached); `PageUpAfterAJump`: one PageUp as the first key after a jump
//   onto a page holding a table's end, at each eighth of the book, against one PageDown from
//   there. Counters `up_over_down`, `layouts_per_up`, `max_pageup_ms`, `ms_per_up`,
//   `ms_per_down` (and End's `end_ms`).
// - The memory of those walks (`PageUpMemory`, `PageUpMemoryAfterAJump`), each walk in a
//   process of its own: its peak resident size less its size before the walk. Counters
//   `back_mem_over_forward`, `back_mb`, `forward_mb`.
// The engine's own block and line layout measures with box metrics (no graphics context).
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "../shell/prose_html.h"
#include "core/byte_stream.h"
#include "core/file.h"
#include "document/markup/html_tokenizer.h"
#include "document/markup/plain_text_token_source.h"
#include "document/sources/layout_services.h"
#include "document/sources/text_file_document.h"
#include "layout/page_layout.h"
#include "support/document/device_files.h"
#include "support/document/memory_document.h"
#include "support/document/seeded_words.h"
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

// --- PageUp per key on prose and on a large API reference --------------------------------

// About `chars` of an API reference as documentation generators write one, many modules in one
// file: per module a rule, a side menu in a table beside the module's title and summary, and a
// synopsis of its functions; per function a rule, a heading, the signature in a listing, a
// few paragraphs, a small table of its parameters (name, type, description) whose cells hold
// long identifiers, and a definition list of what it returns and since when.
std::u16string ApiReference(size_t chars) {
    static const char* const kPrefixes[] = {"xmlSec",  "xslt",    "xml",
                                            "htmlDoc", "gtkText", "gdkPixbuf"};
    static const char* const kParts[] = {
        "Transform",  "Ctx",    "Binary",   "Execute", "Node",      "Key",    "Data",
        "Buffer",     "Attr",   "Template", "Parser",  "Read",      "Write",  "Get",
        "Set",        "Free",   "Create",   "Element", "Namespace", "Cursor", "Iter",
        "Stylesheet", "Output", "Base64",   "Digest",  "Signature", "List",   "Chain"};
    static const char* const kProse[] = {
        "the",    "transform", "context", "returns", "pointer", "to",    "a",     "new",
        "buffer", "of",        "which",   "caller",  "must",    "free",  "when",  "done",
        "node",   "is",        "checked", "against", "key",     "data",  "and",   "list",
        "in",     "case",      "an",      "error",   "occurs",  "value", "chain", "for"};
    static const char* const kBaseTypes[] = {
        "int", "const xmlChar *", "void *", "xmlSecSize", "unsigned int", "double", "xmlChar **"};
    fvt::test::SeededWords prefix(kPrefixes, 5), part(kParts, 17), prose(kProse, 29),
        base(kBaseTypes, 31);
    auto identifier = [&](int parts) {
        std::string id = prefix.Words(1);
        for (int i = 0; i < parts; ++i) id += part.Words(1);
        return id;
    };
    auto type = [&]() {
        return (prose.Draw() >> 16) % 3 == 0 ? base.Words(1) : identifier(2) + "Ptr";
    };
    auto sentence = [&](int n) { return prose.Words(n) + "."; };

    std::string h = "<html><head><title>API reference</title></head><body>\n";
    for (int module = 1; h.size() < chars; ++module) {
        const std::string moduleName = identifier(1);
        // The module's functions, named first for its menu and synopsis.
        std::vector<std::string> names;
        for (int f = 0; f < 40; ++f) names.push_back(identifier(2 + f % 3));
        h += "<hr><table width=\"100%\"><tr><td width=\"30%\" valign=\"top\"><b>API Menu</b><ul>";
        for (int i = 0; i < 6; ++i)
            h += "<li><a href=\"#" + names[i] + "\">" + names[i] + "</a></li>";
        h += "</ul></td><td valign=\"top\"><h1>Module " + moduleName + "</h1><p>" + sentence(40) +
             "</p></td></tr></table>\n<h2>Synopsis</h2><pre>";
        for (const std::string& n : names) h += type() + "\t" + n + "\t(" + type() + " ctx);\n";
        h += "</pre>\n<h2>Description</h2><p>" + sentence(60) + "</p><p>" + sentence(45) +
             "</p>\n<h2>Details</h2>\n";
        for (const std::string& n : names) {
            const int params = 1 + static_cast<int>((prose.Draw() >> 16) % 4);
            std::vector<std::string> pnames, ptypes;
            for (int p = 0; p < params; ++p) {
                pnames.push_back(prose.Words(1) + std::to_string(p));
                ptypes.push_back(type());
            }
            h += "<hr><h3><a name=\"" + n + "\"></a>" + n + " ()</h3>\n<pre>" + type() + "\t" + n +
                 "\t(";
            for (int p = 0; p < params; ++p)
                h += (p ? ",\n\t\t\t\t " : "") + ptypes[p] + " " + pnames[p];
            h +=
                ");</pre>\n<p>" + sentence(25 + static_cast<int>((prose.Draw() >> 16) % 40)) +
                "</p>\n<table border=\"1\"><tr><th>name</th><th>type</th><th>description</th></tr>";
            for (int p = 0; p < params; ++p)
                h += "<tr><td><i>" + pnames[p] + "</i></td><td>" + ptypes[p] + "</td><td>" +
                     sentence(6 + p * 3) + " See " + identifier(3) + ".</td></tr>";
            h += "</table>\n<dl><dt>Returns</dt><dd>" + sentence(12) + "</dd><dt>Since</dt><dd>1." +
                 std::to_string(module % 9) + "." + std::to_string(params) + "</dd></dl>\n<p>" +
                 sentence(30) + "</p>\n";
        }
    }
    h += "</body></html>";
    return std::u16string(h.begin(), h.end());
}

const std::u16string& ApiReferenceText() {
    static const std::u16string* text = new std::u16string(ApiReference(8u << 20));
    return *text;
}

const std::u16string& ProseText() {
    static const std::u16string* text = [] {
        const std::string html = ProseHtml(2300000);
        return new std::u16string(html.begin(), html.end());
    }();
    return *text;
}

struct Screen {
    int32_t width, height, fontSize;
};
constexpr Screen kSmallScreen{240, 320, 12};
// The double-resolution screen with the larger font (a quarter over the doubled 12).
constexpr Screen kLargeScreen{480, 640, 30};

// An HTML file (replayed, as the reader reads one) on a fresh layout.
struct ScreenBook : fvt::test::PagingBook {
    ScreenBook(const std::u16string& text, const Screen& screen) : PagingBook(text, false, false) {
        layout.Configure(fvt::test::SettingsAt(screen.fontSize));
        layout.SetViewport(Rect{0, 0, screen.width, screen.height});
        layout.Start();
    }
};

double ThreadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

struct KeyWalk {
    int keys = 0;
    double cpu = 0, maxKey = 0;
    uint64_t layouts = 0;

    void Add(const KeyWalk& w) {
        keys += w.keys;
        cpu += w.cpu;
        maxKey = std::max(maxKey, w.maxKey);
        layouts += w.layouts;
    }
};

// The page a key moves to and its layout for the screen, as the reader does on the key.
bool PageKey(PageLayout& layout, PageStepCode step) {
    if (!layout.GoToPosition(layout.CurrentPageStart(), step)) return false;
    layout.LayoutPageAt(layout.CurrentPageStart(), false);
    return true;
}

KeyWalk PageKeys(PageLayout& layout, PageStepCode step, int k) {
    KeyWalk w;
    for (int i = 0; i < k; ++i) {
        const uint64_t l0 = layout.PagesLaidOut();
        const double t0 = ThreadCpuSeconds();
        const bool moved = PageKey(layout, step);
        const double t = ThreadCpuSeconds() - t0;
        if (!moved) break;
        ++w.keys;
        w.cpu += t;
        w.maxKey = std::max(w.maxKey, t);
        w.layouts += layout.PagesLaidOut() - l0;
    }
    return w;
}

// PageUp's CPU time per key against PageDown's, page layouts per key, the slowest PageUp.
bool SetKeyCounters(benchmark::State& state, const KeyWalk& up, const KeyWalk& down) {
    if (up.keys == 0 || down.keys == 0) {
        state.SkipWithError("the book did not page");
        return false;
    }
    const double perUp = up.cpu / up.keys, perDown = down.cpu / down.keys;
    state.counters["up_over_down"] = perDown > 0 ? perUp / perDown : 0;
    state.counters["layouts_per_up"] = static_cast<double>(up.layouts) / up.keys;
    state.counters["layouts_per_down"] = static_cast<double>(down.layouts) / down.keys;
    state.counters["max_pageup_ms"] = up.maxKey * 1e3;
    state.counters["ms_per_up"] = perUp * 1e3;
    state.counters["ms_per_down"] = perDown * 1e3;
    return true;
}

// End, as on opening: the last page and its layout.
void GoToEnd(PageLayout& layout) {
    layout.GoToPage(PageLayout::kNone);
    layout.LayoutPageAt(layout.CurrentPageStart(), false);
}

void GoToPageHolding(PageLayout& layout, uint32_t position) {
    layout.GoToPageContaining(position);
    layout.LayoutPageAt(layout.CurrentPageStart(), false);
}

// Each key's CPU time and page layouts: K PageUps from End, then K PageDowns from the page
// they reached, each walk on a fresh layout.
void PageUpPerKey(benchmark::State& state, const std::u16string& (*text)(), Screen screen, int k) {
    KeyWalk up, down;
    double end = 0;
    for (auto _ : state) {
        uint32_t from = 0;
        {
            ScreenBook book(text(), screen);
            const double t0 = ThreadCpuSeconds();
            GoToEnd(book.layout);
            end += ThreadCpuSeconds() - t0;
            up.Add(PageKeys(book.layout, PageStepCode::kPageEndingHere, k));
            from = book.layout.CurrentPageStart();
        }
        ScreenBook book(text(), screen);
        GoToPageHolding(book.layout, from);
        down.Add(PageKeys(book.layout, PageStepCode::kNextPage, k));
    }
    if (!SetKeyCounters(state, up, down)) return;
    state.counters["end_ms"] = end * 1e3 / static_cast<double>(state.iterations());
}

// Where the jumps of `PageUpAfterAJump` land: a page holding the end of a table (in or right
// after it), at each eighth of the book; in a book without tables, the eighth itself.
std::vector<uint32_t> JumpTargets(const std::u16string& text) {
    std::vector<uint32_t> at;
    for (size_t eighth = 1; eighth < 8; ++eighth) {
        const size_t from = text.size() * eighth / 8;
        const size_t table = text.find(u"</table>", from);
        at.push_back(static_cast<uint32_t>(table == std::u16string::npos ? from : table));
    }
    return at;
}

// A single PageUp (and, against it, a PageDown) as the first key after a jump (Go to page, a
// link, reopening), onto the page before one that holds a table's end, at each eighth of the
// book, each on a fresh layout.
void PageUpAfterAJump(benchmark::State& state, const std::u16string& (*text)(), Screen screen) {
    const std::vector<uint32_t> targets = JumpTargets(text());
    KeyWalk up, down;
    for (auto _ : state) {
        for (uint32_t target : targets) {
            {
                ScreenBook book(text(), screen);
                GoToPageHolding(book.layout, target);
                up.Add(PageKeys(book.layout, PageStepCode::kPageEndingHere, 1));
            }
            ScreenBook book(text(), screen);
            GoToPageHolding(book.layout, target);
            down.Add(PageKeys(book.layout, PageStepCode::kNextPage, 1));
        }
    }
    SetKeyCounters(state, up, down);
}

// A field of /proc/self/status in kB ("VmRSS", "VmHWM"); -1 when it cannot be read.
long StatusKb(const char* field) {
    std::ifstream in("/proc/self/status");
    const size_t n = std::strlen(field);
    for (std::string line; std::getline(in, line);)
        if (line.compare(0, n, field) == 0 && line.size() > n && line[n] == ':')
            return std::strtol(line.c_str() + n + 1, nullptr, 10);
    return -1;
}

// Sets the peak resident size back to the present one, so that the peak read later is the
// walk's and not the benchmark's before it (false where the kernel does not allow it).
bool ResetPeak() {
    std::ofstream out("/proc/self/clear_refs");
    out << "5";
    out.flush();
    return static_cast<bool>(out);
}

// The walks whose memory is measured, each in a process of its own: started afresh (exec'd),
// so that what the benchmark allocated and freed before does not lend the walk its pages.
// A child is asked for one walk as "--paging-walk BOOK SCREEN FROM STEP KEYS FD": on the book
// ("prose", "api"), at the screen ("small", "large"), from End ("end") or from the page holding
// a position, KEYS steps ("up", "down"); its answer goes to the pipe FD.
constexpr const char* kWalkChild = "--paging-walk";

struct WalkMemory {
    long before = -1, peak = -1;  // kB
    uint32_t endedAt = 0;
};

struct WalkRequest {
    bool api = false, large = false, up = false;
    uint32_t from = PageLayout::kNone;  // kNone: from End
    int keys = 0;
};

const std::u16string& TextOf(const WalkRequest& w) {
    return w.api ? ApiReferenceText() : ProseText();
}

// The child's side: the walk on a fresh layout, its peak resident size counted from just
// before it.
int RunWalkChild(char** argv) {
    WalkRequest w;
    w.api = std::strcmp(argv[2], "api") == 0;
    w.large = std::strcmp(argv[3], "large") == 0;
    w.from = std::strcmp(argv[4], "end") == 0
                 ? PageLayout::kNone
                 : static_cast<uint32_t>(std::strtoul(argv[4], nullptr, 10));
    w.up = std::strcmp(argv[5], "up") == 0;
    w.keys = std::atoi(argv[6]);
    const int fd = std::atoi(argv[7]);
    WalkMemory m;
    {
        ScreenBook book(TextOf(w), w.large ? kLargeScreen : kSmallScreen);
        // The peak so far is the book's making; without a reset it would stand for the walk's.
        if (ResetPeak()) {
            m.before = StatusKb("VmRSS");
            if (w.from == PageLayout::kNone)
                GoToEnd(book.layout);
            else
                GoToPageHolding(book.layout, w.from);
            PageKeys(book.layout, w.up ? PageStepCode::kPageEndingHere : PageStepCode::kNextPage,
                     w.keys);
            m.peak = StatusKb("VmHWM");
            m.endedAt = book.layout.CurrentPageStart();
        }
    }
    return write(fd, &m, sizeof m) == static_cast<ssize_t>(sizeof m) ? 0 : 1;
}

// The parent's side: the walk run in a child, its figures read back through a pipe.
bool MemoryOfWalk(const WalkRequest& w, WalkMemory& out) {
    int fds[2];
    if (pipe(fds) != 0) return false;
    const std::string from = w.from == PageLayout::kNone ? "end" : std::to_string(w.from);
    const std::string keys = std::to_string(w.keys), fd = std::to_string(fds[1]);
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        const char* args[] = {"paging_back_bench",
                              kWalkChild,
                              w.api ? "api" : "prose",
                              w.large ? "large" : "small",
                              from.c_str(),
                              w.up ? "up" : "down",
                              keys.c_str(),
                              fd.c_str(),
                              nullptr};
        execv("/proc/self/exe", const_cast<char* const*>(args));
        _exit(127);
    }
    close(fds[1]);
    WalkMemory m;
    const bool got = pid > 0 && read(fds[0], &m, sizeof m) == static_cast<ssize_t>(sizeof m);
    close(fds[0]);
    int status = 0;
    if (pid > 0) waitpid(pid, &status, 0);
    if (!got || !WIFEXITED(status) || WEXITSTATUS(status) != 0 || m.before < 0 || m.peak < 0)
        return false;
    out = m;
    return true;
}

double PeakMb(const WalkMemory& m) {
    return static_cast<double>(std::max(0L, m.peak - m.before)) / 1024;
}

void SetMemoryCounters(benchmark::State& state, double back, double forward) {
    state.counters["back_mb"] = back;
    state.counters["forward_mb"] = forward;
    state.counters["back_mem_over_forward"] = forward > 0 ? back / forward : 0;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// The memory of the walks of `PageUpPerKey`: End and K PageUps against K PageDowns over the
// same stretch, from the page the PageUps reached. Medians over the iterations: a fresh
// process's peak moves by a few pages from run to run.
void PageUpMemory(benchmark::State& state, bool api, bool large, int k) {
    std::vector<double> back, forward;
    for (auto _ : state) {
        WalkMemory up, down;
        WalkRequest w{api, large, true, PageLayout::kNone, k};
        if (!MemoryOfWalk(w, up)) return state.SkipWithError("the walk back failed in its child");
        w.up = false;
        w.from = up.endedAt;
        if (!MemoryOfWalk(w, down))
            return state.SkipWithError("the walk forward failed in its child");
        back.push_back(PeakMb(up));
        forward.push_back(PeakMb(down));
    }
    SetMemoryCounters(state, Median(back), Median(forward));
}

// The memory of `PageUpAfterAJump`'s keys: the jump and a PageUp against the jump and a
// PageDown, each in a child of its own; the largest over the jumps of each one's median.
void PageUpMemoryAfterAJump(benchmark::State& state, bool api, bool large) {
    const std::vector<uint32_t> targets = JumpTargets(api ? ApiReferenceText() : ProseText());
    std::vector<std::vector<double>> back(targets.size()), forward(targets.size());
    for (auto _ : state) {
        for (size_t i = 0; i < targets.size(); ++i) {
            WalkMemory up, down;
            if (!MemoryOfWalk(WalkRequest{api, large, true, targets[i], 1}, up) ||
                !MemoryOfWalk(WalkRequest{api, large, false, targets[i], 1}, down))
                return state.SkipWithError("a jump failed in its child");
            back[i].push_back(PeakMb(up));
            forward[i].push_back(PeakMb(down));
        }
    }
    double b = 0, f = 0;
    for (size_t i = 0; i < targets.size(); ++i) {
        b = std::max(b, Median(back[i]));
        f = std::max(f, Median(forward[i]));
    }
    SetMemoryCounters(state, b, f);
}

// K: about the PageUps the slow walks of a large book were measured over.
constexpr int kKeys = 120;

BENCHMARK_CAPTURE(PageUpPerKey, prose_240x320, &ProseText, kSmallScreen, kKeys)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK_CAPTURE(PageUpPerKey, prose_480x640, &ProseText, kLargeScreen, kKeys)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK_CAPTURE(PageUpPerKey, api_reference_240x320, &ApiReferenceText, kSmallScreen, kKeys)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK_CAPTURE(PageUpPerKey, api_reference_480x640, &ApiReferenceText, kLargeScreen, kKeys)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK_CAPTURE(PageUpAfterAJump, prose_240x320, &ProseText, kSmallScreen)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK_CAPTURE(PageUpAfterAJump, prose_480x640, &ProseText, kLargeScreen)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK_CAPTURE(PageUpAfterAJump, api_reference_240x320, &ApiReferenceText, kSmallScreen)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK_CAPTURE(PageUpAfterAJump, api_reference_480x640, &ApiReferenceText, kLargeScreen)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK_CAPTURE(PageUpMemory, prose_240x320, false, false, kKeys)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(9);
BENCHMARK_CAPTURE(PageUpMemory, prose_480x640, false, true, kKeys)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(9);
BENCHMARK_CAPTURE(PageUpMemory, api_reference_240x320, true, false, kKeys)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK_CAPTURE(PageUpMemory, api_reference_480x640, true, true, kKeys)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK_CAPTURE(PageUpMemoryAfterAJump, prose_240x320, false, false)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
BENCHMARK_CAPTURE(PageUpMemoryAfterAJump, prose_480x640, false, true)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
BENCHMARK_CAPTURE(PageUpMemoryAfterAJump, api_reference_240x320, true, false)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK_CAPTURE(PageUpMemoryAfterAJump, api_reference_480x640, true, true)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
}  // namespace

int main(int argc, char** argv) {
    if (argc == 8 && std::strcmp(argv[1], kWalkChild) == 0) return RunWalkChild(argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

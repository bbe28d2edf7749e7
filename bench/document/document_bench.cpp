// Tokenizing about 2 MB of HTML end to end, next to a plain scan of the same characters for
// '<'; and a million keyword lookups. Two samples: a dense one (short words, a tag every few
// words, references and attributes) and one shaped like a novel's HTML (paragraphs of prose,
// the odd italic, curly quotes and dashes as Windows-1252 bytes).
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "core/charset.h"
#include "document/location/location.h"
#include "document/markup/html_tokenizer.h"
#include "document/markup/keyword_tree.h"
#include "document/sources/text_file_resource.h"
#include "support/document/device_files.h"
#include "support/document/memory_document.h"

namespace {

const std::u16string& Html() {
    static std::u16string text = [] {
        std::u16string s = u"<html><head><title>Bench</title></head><body>";
        const char16_t* para =
            u"<p class=\"body\">It was the best of times, it was the worst of times, it was the "
            u"age of <i>wisdom</i>, it was the age of <b>foolishness</b> &amp; of belief &#8212; "
            u"<a href=\"chapter2.htm#top\" name=\"x\">the epoch</a> of incredulity.</p>\n";
        while (s.size() < (2u << 20) / 2) s += para;  // 2 MB of UTF-16
        s += u"</body></html>";
        return s;
    }();
    return text;
}

void BM_ScanForLessThan(benchmark::State& state) {
    const std::u16string& s = Html();
    for (auto _ : state) {
        size_t n = 0;
        for (char16_t c : s) n += c == u'<';
        benchmark::DoNotOptimize(n);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * s.size() * 2);
}
BENCHMARK(BM_ScanForLessThan)->Unit(benchmark::kMillisecond);

void BM_TokenizeHtml(benchmark::State& state) {
    const std::u16string& s = Html();
    MemoryDocument doc(s);
    size_t tokens = 0;
    for (auto _ : state) {
        HtmlTokenizer t;
        t.Attach(&doc, 0);
        t.Start(0, false);
        uint32_t k;
        while ((k = t.NextToken()) != kTokenEnd) {
            ++tokens;
            if (k == kTokenTag) t.ReleaseBuffers();
        }
    }
    benchmark::DoNotOptimize(tokens);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * s.size() * 2);
}
BENCHMARK(BM_TokenizeHtml)->Unit(benchmark::kMillisecond);

// The same text as a 2 MB Windows-1252 file, read through its content resource.
struct HtmlFile {
    HtmlFile() {
        const std::u16string& s = Html();
        for (char16_t c : s) bytes.push_back(static_cast<char>(c));
        while (bytes.size() < (2u << 20)) bytes += bytes.substr(bytes.find("<p"), 300);
        path = files.Write("bench.htm", bytes);
    }
    explicit HtmlFile(std::string content) : bytes(std::move(content)) {
        path = files.Write("book.htm", bytes);
    }
    DeviceFiles files;
    std::string bytes;
    std::u16string path;
};

HtmlFile& File2MB() {
    static HtmlFile file;
    return file;
}

void BM_ScanFileBytesForLessThan(benchmark::State& state) {
    const std::string& b = File2MB().bytes;
    for (auto _ : state) {
        size_t n = 0;
        for (char c : b) n += c == '<';
        benchmark::DoNotOptimize(n);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * b.size());
}
BENCHMARK(BM_ScanFileBytesForLessThan)->Unit(benchmark::kMillisecond);

void TokenizeFile(benchmark::State& state, HtmlFile& f) {
    Location l;
    l.Parse(String(f.path.c_str()), false);
    size_t tokens = 0;
    for (auto _ : state) {
        TextFileResource* r = TextFileResource::Create(l, TextFileResource::kHtml, 1252, 65002);
        TokenSource* t = nullptr;
        if (!r || !r->CreateLayout(t, nullptr)) {
            state.SkipWithError("cannot open the file");
            break;
        }
        t->Start(0, false);
        uint32_t k;
        while ((k = t->NextToken()) != kTokenEnd) {
            ++tokens;
            if (k == kTokenTag) t->ReleaseBuffers();
        }
        r->DestroyLayout(t, nullptr);
        r->Release();
    }
    benchmark::DoNotOptimize(tokens);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * f.bytes.size());
}

void BM_TokenizeHtmlFile(benchmark::State& state) {
    TokenizeFile(state, File2MB());
}
BENCHMARK(BM_TokenizeHtmlFile)->Unit(benchmark::kMillisecond);

// Prose of ordinary English word lengths in paragraphs, as a converted novel is.
std::string BookBytes() {
    const std::u16string chapter =
        u"<h2>Chapter Four</h2>\n"
        u"<p>The morning came slowly over the harbour, grey at first and then silver, and "
        u"Margaret stood at the window for a long while before she went down. Nobody else was "
        u"awake. The kitchen still smelled of last night\u2019s fire, and somewhere above her a "
        u"door moved in the draught and settled again.</p>\n"
        u"<p>\u201CYou\u2019re up early,\u201D said her brother from the stairs. He had his "
        u"coat over his arm and the look of someone who had not slept at all.</p>\n"
        u"<p>\u201CSo are you.\u201D She poured the water and waited for the kettle, watching "
        u"him in the small mirror by the shelf. \u201CAre you going out to the boats?\u201D</p>\n"
        u"<p>He shrugged. There was a letter in his pocket, she was certain of it now, and he "
        u"had read it more than once; the paper had gone soft at the folds. <i>Whatever it "
        u"says,</i> she thought, <i>he will tell me when he is ready, and not before.</i></p>\n"
        u"<p class=\"indent\">Outside, the gulls were arguing over something on the quay, and "
        u"a cart went past with its wheels complaining on the cobbles \u2014 the first of the "
        u"day\u2019s traffic towards the market. Everything was exactly as it had been "
        u"yesterday, and the day before that, and she found that she minded it less than she "
        u"had expected to.</p>\n";
    std::string bytes = "<html><head><title>Bench</title></head><body>\n";
    while (bytes.size() < (2u << 20)) {
        for (char16_t c : chapter) bytes.push_back(static_cast<char>(Cp1252::FromUnicode(c)));
    }
    bytes.resize(2u << 20);
    return bytes;
}

HtmlFile& BookFile2MB() {
    static HtmlFile file(BookBytes());
    return file;
}

void BM_ScanBookFileBytesForLessThan(benchmark::State& state) {
    const std::string& b = BookFile2MB().bytes;
    for (auto _ : state) {
        size_t n = 0;
        for (char c : b) n += c == '<';
        benchmark::DoNotOptimize(n);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * b.size());
}
BENCHMARK(BM_ScanBookFileBytesForLessThan)->Unit(benchmark::kMillisecond);

void BM_TokenizeBookFile(benchmark::State& state) {
    TokenizeFile(state, BookFile2MB());
}
BENCHMARK(BM_TokenizeBookFile)->Unit(benchmark::kMillisecond);

void BM_MillionKeywordLookups(benchmark::State& state) {
    std::vector<std::u16string> names = {u"html", u"TD", u"blockquote", u"href", u"fvt:ignore",
                                         u"Xyz", u"dc:language", u"b", u"bo", u"onclick"};
    for (auto _ : state) {
        uint32_t sum = 0;
        for (int i = 0; i < 1000000; ++i) {
            const std::u16string& n = names[i % names.size()];
            uint16_t id = 0;
            KeywordTree::FindMarkupName(n.data(), n.size(), &id);
            sum += id;
        }
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_MillionKeywordLookups)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

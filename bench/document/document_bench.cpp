// Tokenizing about 2 MB of HTML end to end, next to a plain scan of the same characters for
// '<'; and a million keyword lookups.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

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

void BM_TokenizeHtmlFile(benchmark::State& state) {
    HtmlFile& f = File2MB();
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
BENCHMARK(BM_TokenizeHtmlFile)->Unit(benchmark::kMillisecond);

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

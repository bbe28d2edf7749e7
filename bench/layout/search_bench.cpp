// Searching a 5 MB book (2.5 million characters of English prose in 4096-character pages) for
// a word that is not there, forward and backward, with and without whole words; against a
// plain scan of the same characters for one of them in the same run, so the ratio shows the
// matcher's cost per character. Bytes per second are reported (two bytes a character): the
// goal is at least 50 MB/s. Also: hyphenating the words of a page.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "bookfiles/document_source.h"
#include "layout/block_contents.h"
#include "layout/hyphenation.h"
#include "layout/layout_fonts.h"
#include "layout/searcher.h"

namespace {

class PagedText : public DocumentSource {
public:
    explicit PagedText(std::u16string text) : text_(std::move(text)) {}
    void Close() override {}
    bool ReadPage(uint32_t position, PageBuffer& out, uint32_t section, uint32_t flag) override {
        if (section || flag || position >= text_.size()) return false;
        uint32_t start = position - position % kPage;
        uint32_t n = static_cast<uint32_t>(text_.size()) - start;
        if (n > kPage) n = kPage;
        out = PageBuffer{start, text_.data() + start, n, start, 0, n, 1};
        return true;
    }
    void ReleasePage(uint16_t) override {}
    uint32_t Advance(uint32_t p, int32_t n, uint32_t) override { return p + n; }
    int32_t Distance(uint32_t a, uint32_t b, uint32_t) override {
        return static_cast<int32_t>(b - a);
    }
    uint32_t GetLength() override { return static_cast<uint32_t>(text_.size()); }
    uint32_t GetCodePage() override { return 65002; }
    uint32_t GetKind() override { return 1; }
    uint32_t GetLanguage() override { return 0; }
    const std::u16string& Text() const { return text_; }

private:
    static constexpr uint32_t kPage = 4096;
    std::u16string text_;
};

PagedText& Book() {
    static PagedText* book = [] {
        const char16_t* words[] = {u"the ",     u"harbour ", u"was ",   u"quiet ",    u"when ",
                                   u"Ishmael ", u"walked ",  u"down, ", u"thinking ", u"of ",
                                   u"whales ",  u"and ",     u"the ",   u"sea. "};
        std::u16string text;
        text.reserve(2'500'000 + 16);
        for (size_t i = 0; text.size() < 2'500'000; ++i) text += words[i % 14];
        return new PagedText(std::move(text));
    }();
    return *book;
}

void BM_PlainScanBaseline(benchmark::State& state) {
    const std::u16string& text = Book().Text();
    for (auto _ : state) {
        size_t hits = 0;
        for (char16_t c : text) hits += c == u'Z';
        benchmark::DoNotOptimize(hits);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(text.size() * 2));
}
BENCHMARK(BM_PlainScanBaseline)->Unit(benchmark::kMillisecond);

void BM_SearchAbsentWord(benchmark::State& state) {
    PlainSearcher s;
    s.SetSource(&Book());
    String pattern(u"leviathan");
    bool wholeWord = state.range(0) != 0;
    bool backward = state.range(1) != 0;
    for (auto _ : state) {
        uint32_t mode = backward ? kSearchLast : kSearchFirst;
        uint32_t start = 0, end = 0xFFFFFFFFu, found = 0;
        benchmark::DoNotOptimize(s.Search(pattern, start, end, found, wholeWord, true, mode));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(Book().GetLength()) * 2);
}
BENCHMARK(BM_SearchAbsentWord)
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({0, 1})
    ->Unit(benchmark::kMillisecond);

// The worst case of a restarting matcher: "aaa...ab" over "aaaa...".
void BM_SearchRepetitivePattern(benchmark::State& state) {
    static PagedText text(std::u16string(1'000'000, u'a'));
    PlainSearcher s;
    s.SetSource(&text);
    String pattern(std::u16string(99, u'a').append(u"b").c_str());
    for (auto _ : state) {
        uint32_t ms = 0, me = 0;
        benchmark::DoNotOptimize(s.Find(pattern, 0, 0xFFFFFFFFu, ms, me, false, false));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 2'000'000);
}
BENCHMARK(BM_SearchRepetitivePattern)->Unit(benchmark::kMillisecond);

// "Find" backward against forward through marked-up text with no tag in it (2 MB and 4 MB
// of it), each run with a new searcher, alternately in one loop: `back_over_forward` near 1
// when a backward step starts reading at a known token boundary (it read on to the next tag,
// the document's end, on every page before), and `four_over_two` near 2 when it is linear.
class TaglessHtml : public PagedText {
public:
    using PagedText::PagedText;
    uint32_t GetKind() override { return 2; }
};

TaglessHtml& Tagless(int megabytes) {
    static std::map<int, TaglessHtml*> made;
    TaglessHtml*& t = made[megabytes];
    if (!t) {
        const std::u16string& prose = Book().Text();
        const size_t n = static_cast<size_t>(megabytes) * 1'000'000 / 2;  // two bytes a character
        std::u16string text;
        text.reserve(n);
        while (text.size() < n) text.append(prose, 0, std::min(prose.size(), n - text.size()));
        t = new TaglessHtml(std::move(text));
    }
    return *t;
}

double FindMs(TaglessHtml& doc, bool backward) {
    IndexedSearcher s;
    s.SetSource(&doc);
    String pattern(u"leviathan");
    uint32_t mode = backward ? kSearchLast : kSearchFirst;
    uint32_t start = 0, end = 0xFFFFFFFFu, found = 0;
    auto t0 = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(s.Search(pattern, start, end, found, false, true, mode));
    auto t1 = std::chrono::steady_clock::now();
    return std::chrono::duration<double, std::milli>(t1 - t0).count();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

void BM_FindBackwardAgainstForwardWithoutTags(benchmark::State& state) {
    TaglessHtml& two = Tagless(2);
    TaglessHtml& four = Tagless(4);
    std::vector<double> back2, fwd2, back4;
    for (auto _ : state) {
        fwd2.push_back(FindMs(two, false));
        back2.push_back(FindMs(two, true));
        back4.push_back(FindMs(four, true));
    }
    state.counters["back_over_forward"] = Median(back2) / Median(fwd2);
    state.counters["four_over_two"] = Median(back4) / Median(back2);
    state.counters["back_ms"] = Median(back2);
    state.counters["forward_ms"] = Median(fwd2);
}
BENCHMARK(BM_FindBackwardAgainstForwardWithoutTags)->Unit(benchmark::kMillisecond)->Iterations(7);

// A page of long words (about 40 lines of 40 characters), each split once at a line end.
void BM_HyphenatePage(benchmark::State& state) {
    const char16_t* words[] = {u"extraordinary", u"gouvernement", u"establishment",
                               u"boulangerie",   u"photography",  u"accomplishment"};
    LayoutFonts fonts;
    for (auto _ : state) {
        int splits = 0;
        for (int line = 0; line < 40; ++line) {
            BlockContents block;
            TextRun run;
            run.text = String(words[line % 6]);
            run.width = 6 * run.text.Length();
            block.Append(run, 0);
            BlockCursor from, to;
            from.Init(&block, true);
            to.Init(&block, false);
            WordSplitter split(block, fonts, nullptr);
            int32_t available = 50;
            BlockCursor after;
            splits += split.HyphenateRun(9, from, to, available, after) ? 1 : 0;
        }
        benchmark::DoNotOptimize(splits);
    }
}
BENCHMARK(BM_HyphenatePage)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

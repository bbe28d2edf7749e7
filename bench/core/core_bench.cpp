// Conversions against the C library's iconv, and String / SegArray against the standard
// containers doing the same work. Compare the pairs' rates within one run.
#include <benchmark/benchmark.h>
#include <iconv.h>

#include <string>
#include <vector>

#include "core/charset.h"
#include "core/containers.h"
#include "core/segmented_array.h"
#include "core/string.h"

namespace {

// About 1 MB of French-like UTF-8 with some CJK, as a book would hold.
const std::string& Utf8Input() {
    static const std::string text = [] {
        std::string s;
        const std::string para =
            "Il \xC3\xA9tait une fois, dans un ch\xC3\xA2teau tr\xC3\xA8s ancien, une reine "
            "qui lisait \xC2\xAB Les Mis\xC3\xA9rables \xC2\xBB \xE2\x80\x94 et \xE4\xB8\xAD"
            "\xE6\x96\x87 aussi. ";
        while (s.size() < (1u << 20)) s += para;
        return s;
    }();
    return text;
}

const std::string& Cp1252Input() {
    static const std::string text = [] {
        std::string s;
        const std::string para =
            "Il \xE9tait une fois, dans un ch\xE2teau tr\xE8s ancien, une reine qui lisait "
            "\xAB Les Mis\xE9rables \xBB \x97 \x93vraiment\x94 \x80 12. ";
        while (s.size() < (1u << 20)) s += para;
        return s;
    }();
    return text;
}

void RunIconv(benchmark::State& state, const char* from, const std::string& in) {
    iconv_t cd = iconv_open("UTF-16LE", from);
    std::vector<char16_t> out(in.size() + 16);
    for (auto _ : state) {
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        char* ip = const_cast<char*>(in.data());
        size_t il = in.size();
        char* op = reinterpret_cast<char*>(out.data());
        size_t ol = out.size() * 2;
        iconv(cd, &ip, &il, &op, &ol);
        benchmark::DoNotOptimize(out.data());
    }
    iconv_close(cd);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * in.size());
}

void RunCore(benchmark::State& state, int cp, const std::string& in) {
    std::vector<char16_t> out(Charset::MaxOutput(in.size()));
    for (auto _ : state) {
        int32_t n = Charset::ToUtf16(cp, reinterpret_cast<const uint8_t*>(in.data()), in.size(),
                                     out.data(), out.size());
        benchmark::DoNotOptimize(n);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * in.size());
}

void BM_Utf8_Core(benchmark::State& s) {
    RunCore(s, 65001, Utf8Input());
}
void BM_Utf8_Iconv(benchmark::State& s) {
    RunIconv(s, "UTF-8", Utf8Input());
}
void BM_Cp1252_Core(benchmark::State& s) {
    RunCore(s, 1252, Cp1252Input());
}
void BM_Cp1252_Iconv(benchmark::State& s) {
    RunIconv(s, "CP1252", Cp1252Input());
}
BENCHMARK(BM_Utf8_Core);
BENCHMARK(BM_Utf8_Iconv);
BENCHMARK(BM_Cp1252_Core);
BENCHMARK(BM_Cp1252_Iconv);

constexpr int kWords = 4096;
const char16_t kWord[] = u"word ";

void BM_Append_String(benchmark::State& state) {
    for (auto _ : state) {
        String s;
        for (int i = 0; i < kWords; ++i) {
            s.AppendChars(kWord, 5);
            s.AppendChar(u',');
        }
        benchmark::DoNotOptimize(s.Data());
    }
    state.SetItemsProcessed(state.iterations() * kWords * 2);
}
void BM_Append_StdU16(benchmark::State& state) {
    for (auto _ : state) {
        std::u16string s;
        for (int i = 0; i < kWords; ++i) {
            s.append(kWord, 5);
            s.push_back(u',');
        }
        benchmark::DoNotOptimize(s.data());
    }
    state.SetItemsProcessed(state.iterations() * kWords * 2);
}
BENCHMARK(BM_Append_String);
BENCHMARK(BM_Append_StdU16);

// Taking a 24-character piece out of a page: a shared view here, a copy for std::u16string.
void BM_SubView_String(benchmark::State& state) {
    String page;
    for (int i = 0; i < 1000; ++i) page.AppendChars(u"some page text ", 15);
    String piece;
    int32_t pos = 0;
    for (auto _ : state) {
        piece.AssignSub(page, pos, 24);
        pos = (pos + 7) % 10000;
        benchmark::DoNotOptimize(piece.Data());
    }
    state.SetItemsProcessed(state.iterations());
}
void BM_SubView_StdU16(benchmark::State& state) {
    std::u16string page;
    for (int i = 0; i < 1000; ++i) page.append(u"some page text ", 15);
    std::u16string piece;
    size_t pos = 0;
    for (auto _ : state) {
        piece = page.substr(pos, 24);
        pos = (pos + 7) % 10000;
        benchmark::DoNotOptimize(piece.data());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SubView_String);
BENCHMARK(BM_SubView_StdU16);

void BM_Compare_String(benchmark::State& state) {
    String a(u"the quick brown fox jumps over the lazy dog, twice over");
    String b(u"the quick brown fox jumps over the lazy dog, twice over!");
    String c;
    c.AssignSub(b, 0, a.Length());
    for (auto _ : state) {
        benchmark::DoNotOptimize(a.CompareWith(b));
        benchmark::DoNotOptimize(a.CompareWith(c));
    }
    state.SetItemsProcessed(state.iterations() * 2);
}
void BM_Compare_StdU16(benchmark::State& state) {
    std::u16string a(u"the quick brown fox jumps over the lazy dog, twice over");
    std::u16string b(u"the quick brown fox jumps over the lazy dog, twice over!");
    std::u16string c = b.substr(0, a.size());
    for (auto _ : state) {
        benchmark::DoNotOptimize(a.compare(b));
        benchmark::DoNotOptimize(a.compare(c));
    }
    state.SetItemsProcessed(state.iterations() * 2);
}
BENCHMARK(BM_Compare_String);
BENCHMARK(BM_Compare_StdU16);

constexpr int kElements = 1 << 16;

void BM_ArrayAppend_SegArray(benchmark::State& state) {
    for (auto _ : state) {
        U32Array a;
        for (uint32_t i = 0; i < kElements; ++i) a.Append(i);
        benchmark::DoNotOptimize(a.Get(0));
    }
    state.SetItemsProcessed(state.iterations() * kElements);
}
void BM_ArrayAppend_Vector(benchmark::State& state) {
    for (auto _ : state) {
        std::vector<uint32_t> a;
        for (uint32_t i = 0; i < kElements; ++i) a.push_back(i);
        benchmark::DoNotOptimize(a.data());
    }
    state.SetItemsProcessed(state.iterations() * kElements);
}
BENCHMARK(BM_ArrayAppend_SegArray);
BENCHMARK(BM_ArrayAppend_Vector);

void BM_ArrayIndex_SegArray(benchmark::State& state) {
    U32Array a;
    for (uint32_t i = 0; i < kElements; ++i) a.Append(i);
    for (auto _ : state) {
        uint32_t sum = 0;
        for (int32_t i = 0; i < kElements; i += 3) sum += *a.Get(i);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * (kElements / 3));
}
void BM_ArrayIndex_Vector(benchmark::State& state) {
    std::vector<uint32_t> a;
    for (uint32_t i = 0; i < kElements; ++i) a.push_back(i);
    for (auto _ : state) {
        uint32_t sum = 0;
        for (size_t i = 0; i < kElements; i += 3) sum += a.at(i);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * (kElements / 3));
}
BENCHMARK(BM_ArrayIndex_SegArray);
BENCHMARK(BM_ArrayIndex_Vector);

// Scattered lookups, as a layout index or catalogue is read.
std::vector<int32_t> ScatteredIndexes() {
    std::vector<int32_t> v(4096);
    uint32_t x = 12345;
    for (auto& i : v) {
        x = x * 1664525u + 1013904223u;
        i = static_cast<int32_t>(x % kElements);
    }
    return v;
}
void BM_ArrayLookup_SegArray(benchmark::State& state) {
    U32Array a;
    for (uint32_t i = 0; i < kElements; ++i) a.Append(i);
    std::vector<int32_t> idx = ScatteredIndexes();
    for (auto _ : state) {
        uint32_t sum = 0;
        for (int32_t i : idx) sum += *a.Get(i);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * idx.size());
}
void BM_ArrayLookup_Vector(benchmark::State& state) {
    std::vector<uint32_t> a;
    for (uint32_t i = 0; i < kElements; ++i) a.push_back(i);
    std::vector<int32_t> idx = ScatteredIndexes();
    for (auto _ : state) {
        uint32_t sum = 0;
        for (int32_t i : idx) sum += a.at(static_cast<size_t>(i));
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * idx.size());
}
BENCHMARK(BM_ArrayLookup_SegArray);
BENCHMARK(BM_ArrayLookup_Vector);

}  // namespace

BENCHMARK_MAIN();

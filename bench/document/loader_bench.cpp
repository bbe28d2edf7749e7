// The document loader: opening a location that is already cached, next to comparing two
// locations (the cache's own step); and opening a 10 MB book through the loader until its
// first tokens are ready, next to reading the same file's bytes once; and telling a 5 MB text
// book from a markup one, next to decoding its first page.
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

#include "bookfiles/book_document.h"
#include "bookfiles/palm_database.h"
#include "document/markup/html_tokenizer.h"
#include "core/text.h"
#include "document/markup/token_source.h"
#include "document/sources/document_loader.h"
#include "support/bookfiles/book_builder.h"
#include "support/platform/temp_device.h"

namespace {

struct Books {
    Books() {
        BookBuilder b;
        b.text = ToBytes("<html><body>" + SampleText(10u << 20) + "</body></html>");
        Bytes bytes = b.Build();
        device.WriteHost("big.prc", std::string(bytes.begin(), bytes.end()));
        device.WriteHost("small.htm", "<p>small</p>");
    }
    fvt::test::TempDevice device;
};

Books& Files() {
    static Books books;
    return books;
}

Location At(const char16_t* path) {
    Location l;
    l.Resolve(String(path), nullptr);
    return l;
}

void BM_CompareLocations(benchmark::State& state) {
    Files();
    Location a = At(u"\\small.htm"), b = At(u"\\small.htm");
    for (auto _ : state) benchmark::DoNotOptimize(Location::Compare(a, b));
}
BENCHMARK(BM_CompareLocations);

void BM_OpenCachedLocation(benchmark::State& state) {
    Files();
    DocumentLoader loader(1);
    Location first = At(u"\\small.htm");
    Resource* held = loader.Open(first, nullptr, nullptr);
    for (auto _ : state) {
        Location l = At(u"\\small.htm#anchor");
        Resource* r = loader.Open(l, nullptr, nullptr);
        benchmark::DoNotOptimize(r);
        if (r) r->Release();
    }
    if (held) held->Release();
}
BENCHMARK(BM_OpenCachedLocation);

void BM_ReadBookFileOnce(benchmark::State& state) {
    Files();
    Text path;
    path.FromWide(u"\\big.prc");
    for (auto _ : state) {
        int error = 0;
        PalmDatabase* db = PalmDatabase::Open(path, 41, nullptr, nullptr, &error);
        uint64_t sum = 0;
        for (uint32_t i = 0; db && i < db->GetRecordCount(); ++i) {
            uint32_t n = 0;
            const uint8_t* p = db->GetRecord(i, &n);
            for (uint32_t k = 0; p && k < n; k += 64) sum += p[k];
        }
        benchmark::DoNotOptimize(sum);
        delete db;
    }
}
BENCHMARK(BM_ReadBookFileOnce)->Unit(benchmark::kMillisecond);

void BM_OpenBookToFirstTokens(benchmark::State& state) {
    Files();
    DocumentLoader loader(1);
    for (auto _ : state) {
        Location l = At(u"\\big.prc");
        Resource* book = loader.Open(l, nullptr, nullptr);
        TokenSource* ts = nullptr;
        if (book && book->CreateLayout(ts, nullptr)) {
            for (int i = 0; i < 16; ++i) benchmark::DoNotOptimize(ts->NextToken());
            book->DestroyLayout(ts, nullptr);
        }
        if (book) book->Release();
    }
}
BENCHMARK(BM_OpenBookToFirstTokens)->Unit(benchmark::kMillisecond);

// The kind probe reads a bounded start of a book without markup: its cost is a few pages'
// decoding, whatever the book's length.
void BM_KindOfALargeTextBook(benchmark::State& state) {
    BookBuilder b;
    b.text = ToBytes(SampleText(5u << 20));
    b.compression = 2;
    Bytes bytes = b.Build();
    int error = 0;
    PalmDatabase* db = PalmDatabase::LoadInMemory(bytes.data(), bytes.size(), &error);
    BookDocument book;
    if (!db || book.Open(db, 1, 1252, 65002) != 0) {
        state.SkipWithError("the book did not open");
        return;
    }
    HtmlTokenizer installsTheProbe(true);
    using Clock = std::chrono::steady_clock;
    double kind = 0, page = 0;
    for (auto _ : state) {
        auto t0 = Clock::now();
        benchmark::DoNotOptimize(book.GetKind());
        auto t1 = Clock::now();
        PageBuffer first;
        if (book.ReadPage(0, first, 0, 0)) book.ReleasePage(first.pageId);
        auto t2 = Clock::now();
        kind += std::chrono::duration<double>(t1 - t0).count();
        page += std::chrono::duration<double>(t2 - t1).count();
    }
    state.counters["kind_us"] = kind / state.iterations() * 1e6;
    state.counters["kind_over_first_page"] = kind / page;
}
BENCHMARK(BM_KindOfALargeTextBook)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

// A device holding 2,000 books (in main memory and on a card): a refresh with no cache (every
// header read), a refresh from the cache of the previous run, and as the baseline a bare walk
// of the same folders that only lists the files.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>

#include "core/containers.h"
#include "core/file.h"
#include "library/library.h"
#include "library/library_scan.h"
#include "support/library/library_fixture.h"

namespace {

constexpr int kBooks = 2000;

fvt::test::LibraryDevice& Device() {
    static auto* dev = [] {
        auto* d = new fvt::test::LibraryDevice();
        BookBuilder book = fvt::test::MakeBook("Bench");
        book.text = ToBytes(SampleText(2000));
        Bytes bytes = book.Build();
        for (int i = 0; i < kBooks; ++i) {
            std::string folder = i % 2 ? "eBooks/" : "Storage Card/eBooks/";
            d->PutBytes(folder + "shelf" + std::to_string(i % 20) + "/book" + std::to_string(i) +
                            ".prc",
                        bytes);
        }
        return d;
    }();
    return *dev;
}

void RemoveCache() {
    std::filesystem::remove(Device().device().Host("Windows/FolivantCache.fvt"));
}

void BM_WalkOnly(benchmark::State& state) {
    auto& dev = Device();
    for (auto _ : state) {
        int files = 0;
        for (const char16_t* root : {u"\\eBooks", u"\\Storage Card\\eBooks"}) {
            LibraryScan scan;
            TextList none, extensions;
            Text prc;
            prc.AssignAscii("prc");
            extensions.Append(prc);
            Text path = fvt::test::Dev(root);
            for (bool first = true; !scan.ScanFolder(path, none, extensions, true, first);
                 first = false)
                ++files;
        }
        benchmark::DoNotOptimize(files);
    }
    (void)dev;
}

void BM_RefreshCold(benchmark::State& state) {
    auto& dev = Device();
    for (auto _ : state) {
        state.PauseTiming();
        RemoveCache();
        state.ResumeTiming();
        auto library = std::make_unique<Library>(&dev.host);
        library->Refresh();
        benchmark::DoNotOptimize(library->GetEntryCount());
        state.PauseTiming();
        library.reset();  // writes the cache
        state.ResumeTiming();
    }
}

void BM_RefreshFromCache(benchmark::State& state) {
    auto& dev = Device();
    {
        Library first(&dev.host);
        first.Refresh();
    }
    for (auto _ : state) {
        auto library = std::make_unique<Library>(&dev.host);
        library->Refresh();
        benchmark::DoNotOptimize(library->GetEntryCount());
        state.PauseTiming();
        library.reset();
        state.ResumeTiming();
    }
}

}  // namespace

BENCHMARK(BM_WalkOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RefreshCold)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RefreshFromCache)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();

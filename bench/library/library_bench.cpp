// A device holding 2,000 books (in main memory and on a card): a refresh with no cache (every
// header read), a refresh from the cache of the previous run, and as the baseline a bare walk
// of the same folders that only lists the files. Then a start that grows with the library: a
// refresh from the cache of 2,000 books in one folder against 1,000, alternately in one run
// (near 2 when each book costs the same whatever the folder holds).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

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

namespace fs = std::filesystem;

// One folder of books whose second half is moved in and out of the books folder between runs;
// each size keeps its own cache file.
class OneFolder {
public:
    static constexpr int kHalf = 1000;
    OneFolder() : dev_("") {
        BookBuilder book = fvt::test::MakeBook("Bench");
        book.text = ToBytes(SampleText(2000));
        Bytes bytes = book.Build();
        for (int i = 0; i < 2 * kHalf; ++i)
            dev_.PutBytes((i < kHalf ? "storage/eBooks/" : "aside/") + Name(i), bytes);
    }
    // Seconds of a refresh from the cache with `books` books in the folder.
    double Refresh(int books) {
        Place(books > kHalf);
        std::string kept = dev_.device().Host("cache" + std::to_string(books));
        std::string cache = dev_.device().Host("Windows/FolivantCache.fvt");
        std::error_code ignored;
        fs::remove(cache, ignored);
        if (fs::exists(kept)) fs::copy_file(kept, cache, ignored);
        auto library = std::make_unique<Library>(&dev_.host);
        auto start = std::chrono::steady_clock::now();
        library->Refresh();
        double t = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        benchmark::DoNotOptimize(library->GetEntryCount());
        library.reset();  // writes the cache of this size
        fs::copy_file(cache, kept, fs::copy_options::overwrite_existing, ignored);
        return t;
    }

private:
    static std::string Name(int i) { return "book" + std::to_string(i) + ".prc"; }
    void Place(bool all) {
        if (all == placed_) return;
        for (int i = kHalf; i < 2 * kHalf; ++i) {
            std::string in = dev_.device().Host("storage/eBooks/" + Name(i));
            std::string out = dev_.device().Host("aside/" + Name(i));
            std::error_code ignored;
            fs::rename(all ? out : in, all ? in : out, ignored);
        }
        placed_ = all;
    }
    fvt::test::LibraryDevice dev_;
    bool placed_ = false;
};

void BM_StartTwiceTheBooksInOneFolder(benchmark::State& state) {
    OneFolder folder;
    folder.Refresh(OneFolder::kHalf);  // the caches of both sizes
    folder.Refresh(2 * OneFolder::kHalf);
    std::vector<double> ratios, small, large;
    for (auto _ : state) {
        double a = folder.Refresh(OneFolder::kHalf);
        double b = folder.Refresh(2 * OneFolder::kHalf);
        small.push_back(a);
        large.push_back(b);
        ratios.push_back(b / a);
    }
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v.empty() ? 0.0 : v[v.size() / 2];
    };
    state.counters["ratio"] = median(ratios);
    state.counters["ms_1000"] = median(small) * 1000;
    state.counters["ms_2000"] = median(large) * 1000;
}

}  // namespace

BENCHMARK(BM_StartTwiceTheBooksInOneFolder)->Iterations(9)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WalkOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RefreshCold)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RefreshFromCache)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();

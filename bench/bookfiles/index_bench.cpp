// Index and side-file speed, as ratios against baselines in the same run:
//   a look-up in a 200,000-entry dictionary next to std::lower_bound over the same keys held
//   in a sorted std::vector<std::string>; opening a side file with 1,000 annotations and
//   walking one page's annotations next to reading the bare file.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "bookfiles/annotation_file.h"
#include "bookfiles/database_file.h"
#include "bookfiles/index_table.h"
#include "bookfiles/palm_database.h"
#include "platform/kernel/device.h"
#include "support/bookfiles/index_fixture.h"

namespace {

constexpr std::uint32_t kEntries = 200000;

std::string KeyOf(std::uint32_t i) {
    // Spread-out keys of dictionary-like lengths.
    static const char* syllables[] = {"ka", "lo", "mi", "ne", "ru", "sta", "ter", "von", "wi", "za"};
    std::string s;
    std::uint32_t v = i * 2654435761u;
    for (int k = 0; k < 3 + static_cast<int>(i % 3); ++k) {
        s += syllables[v % 10];
        v /= 10;
    }
    return s + std::to_string(i);
}

struct Dictionary {
    Bytes bytes;
    std::unique_ptr<PalmDatabase> db;
    IndexTable table;
    std::vector<std::string> sorted;
    std::vector<std::u16string> queries;
};

Dictionary& Dict() {
    static Dictionary d = [] {
        Dictionary out;
        IndexWriter w;
        PdbBuilder pdb;
        pdb.Add(ToBytes("book"));
        for (std::uint32_t i = 0; i < kEntries; ++i) {
            std::string k = KeyOf(i);
            w.Add(IndexWriter::Entry{k, {{1, {i}}}, {}});
            out.sorted.push_back(k);
        }
        std::sort(out.sorted.begin(), out.sorted.end());
        std::uint32_t id = 0;
        AddIndexTable(w, &pdb, &id);
        out.bytes = pdb.Build();
        out.db.reset(PalmDatabase::OpenView(out.bytes.data(), out.bytes.size(), nullptr));
        out.table.Open(out.db.get(), id);
        for (std::uint32_t i = 0; i < 1024; ++i) {
            std::string k = KeyOf((i * 7919u) % kEntries);
            out.queries.emplace_back(k.begin(), k.end());
        }
        return out;
    }();
    return d;
}

void BM_LowerBoundBaseline(benchmark::State& state) {
    Dictionary& d = Dict();
    std::size_t i = 0;
    for (auto _ : state) {
        const std::u16string& q = d.queries[i++ & 1023];
        std::string key(q.begin(), q.end());  // the same conversion the table makes
        auto it = std::lower_bound(d.sorted.begin(), d.sorted.end(), key);
        benchmark::DoNotOptimize(it);
    }
}
BENCHMARK(BM_LowerBoundBaseline);

void BM_IndexLookup(benchmark::State& state) {
    Dictionary& d = Dict();
    if (!d.table.IsOpen()) {
        state.SkipWithError("no table");
        return;
    }
    std::size_t i = 0;
    for (auto _ : state) {
        const std::u16string& q = d.queries[i++ & 1023];
        IndexPosition p;
        if (!d.table.Lookup(q.data(), q.size(), &p, 0)) {
            state.SkipWithError("not found");
            return;
        }
        benchmark::DoNotOptimize(p);
    }
}
BENCHMARK(BM_IndexLookup);

std::string SideFileBook() {
    static std::string book = [] {
        std::string f = MakeTempFolder();
        fvt::OpenDevice(f);
        AnnotationFile* side = new AnnotationFile;
        if (side->OpenOrCreate("\\bench.prc", "bench", 5, 0, 1, 1) == 0) {
            for (std::uint32_t i = 0; i < 1000; ++i) {
                std::uint32_t start = (i * 7919u) % 1000000;
                std::int32_t at = side->AddBookmark(1u << (i % 6), start, start + 40, 0, 0, 0, i);
                if (i % 3 == 0) side->SetBookmarkText(at, u"a note on this passage", 22);
            }
        }
        side->Close();
        side->Release();
        return std::string("\\bench.prc");
    }();
    return book;
}

void BM_ReadSideFileBaseline(benchmark::State& state) {
    SideFileBook();
    for (auto _ : state) {
        std::vector<std::uint8_t> bytes;
        benchmark::DoNotOptimize(DatabaseFile::ReadAll("\\bench.fvt", &bytes));
    }
}
BENCHMARK(BM_ReadSideFileBaseline)->Unit(benchmark::kMicrosecond);

void BM_OpenSideFileAndWalkAPage(benchmark::State& state) {
    std::string book = SideFileBook();
    for (auto _ : state) {
        AnnotationFile* side = new AnnotationFile;
        if (side->OpenExisting(book, 0) != 0) {
            state.SkipWithError("open failed");
            side->Release();
            return;
        }
        BookmarkIterator it;
        side->StartIterator(&it, 0, 500000, 504095);
        int n = 0;
        while (side->FindNext(&it) >= 0) ++n;
        benchmark::DoNotOptimize(n);
        side->Close();
        side->Release();
    }
}
BENCHMARK(BM_OpenSideFileAndWalkAPage)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

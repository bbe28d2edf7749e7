// Type-ahead in a record-set view over a 200,000-entry index table: one keystroke (the new
// text, the lookup and the page of rows read again) against the bare key lookup under it.
#include <benchmark/benchmark.h>

#include <memory>

#include "bookfiles/palm_database.h"
#include "database/book_index_source.h"
#include "reader/database_view.h"
#include "support/bookfiles/index_fixture.h"

namespace {

struct BigTable {
    Bytes bytes;
    std::unique_ptr<PalmDatabase> db;
    IndexSource* table = nullptr;
    BigTable() {
        std::uint32_t id = 0;
        bytes = NumberedKeysBook(200000, &id);
        int error = 0;
        db.reset(PalmDatabase::OpenView(bytes.data(), bytes.size(), &error));
        BookIndexResolver tables(db.get());
        tables.AddTable(id);
        String designation;
        designation.AppendAscii("tableid=0");
        table = tables.OpenIndex(designation);
    }
};

BigTable& Table() {
    static BigTable* t = new BigTable();
    return *t;
}

void BM_KeyLookup(benchmark::State& state) {
    String key;
    key.AppendAscii("k01234");
    IndexSource* table = Table().table;
    for (auto _ : state) benchmark::DoNotOptimize(table->LowerBound(key));
}
BENCHMARK(BM_KeyLookup)->Unit(benchmark::kMicrosecond);

// Each iteration types one character of "k0123456", starting a new text after the last.
void BM_TypeAheadKeystroke(benchmark::State& state) {
    DatabaseView view;
    view.SetRowsPerPage(16);
    view.AttachSource(Table().table, nullptr, 0);
    const char* text = "k0123456";
    int i = 0;
    for (auto _ : state) {
        if (text[i] == 0) {
            view.OnTypeAheadTimer();
            i = 0;
        }
        view.HandleEvent(text[i++]);
        benchmark::DoNotOptimize(view.TopEntry());
    }
}
BENCHMARK(BM_TypeAheadKeystroke)->Unit(benchmark::kMicrosecond);

// A page forward and back again.
void BM_PageForwardAndBack(benchmark::State& state) {
    DatabaseView view;
    view.SetRowsPerPage(16);
    view.AttachSource(Table().table, nullptr, 0);
    view.SetSearchText(String(u"k01"));
    for (auto _ : state) {
        view.ExecuteCommand(66);
        view.ExecuteCommand(67);
        benchmark::DoNotOptimize(view.TopEntry());
    }
}
BENCHMARK(BM_PageForwardAndBack)->Unit(benchmark::kMicrosecond);

}  // namespace
BENCHMARK_MAIN();

// Key queries over a 200,000-entry index table written by the book files' index writer and
// read through its reader: the first match and 1,000 matches stepped, against the bare key
// lookup.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>

#include "bookfiles/palm_database.h"
#include "database/book_index_source.h"
#include "support/bookfiles/index_fixture.h"

namespace {

struct BigBook {
    Bytes bytes;
    std::unique_ptr<PalmDatabase> db;
    BookIndexResolver* tables = nullptr;
    BigBook() {
        PdbBuilder pdb;
        pdb.Add(ToBytes("record zero"));
        IndexWriter w;
        w.name = "words";
        char buf[16];
        for (int i = 0; i < 200000; ++i) {
            std::snprintf(buf, sizeof buf, "k%07d", i);
            std::u16string key(buf, buf + 8);
            w.Add(key, {{1, {static_cast<std::uint32_t>(i)}}});
        }
        std::uint32_t id = 0;
        AddIndexTable(w, &pdb, &id);
        bytes = pdb.Build();
        int error = 0;
        db.reset(PalmDatabase::OpenView(bytes.data(), bytes.size(), &error));
        tables = new BookIndexResolver(db.get());
        tables->AddTable(id);
    }
};

BigBook& Book() {
    static BigBook* book = new BigBook();
    return *book;
}

String Ascii(const char* s) {
    String r;
    r.AppendAscii(s);
    return r;
}

void BM_BookLowerBound(benchmark::State& state) {
    IndexSource* s = Book().tables->OpenIndex(Ascii("tableid=0"));
    String key = Ascii("k01");
    for (auto _ : state) benchmark::DoNotOptimize(s->LowerBound(key));
    s->Release();
}
BENCHMARK(BM_BookLowerBound)->Unit(benchmark::kMicrosecond);

void BM_BookCompileAndFirstMatch(benchmark::State& state) {
    String text = Ascii("SELECT * FROM '$tableid=0' AS tab WHERE tab LIKE 'k01%'");
    for (auto _ : state) {
        IndexQuery* q = nullptr;
        SqlParser::Parse(text, Book().tables, q);
        benchmark::DoNotOptimize(q->Next(RecordPosition::At(-1)));
        q->Release();
    }
}
BENCHMARK(BM_BookCompileAndFirstMatch)->Unit(benchmark::kMicrosecond);

void BM_BookStep1000(benchmark::State& state) {
    IndexQuery* q = nullptr;
    SqlParser::Parse(Ascii("SELECT * FROM '$tableid=0' AS tab WHERE tab LIKE 'k01%'"),
                     Book().tables, q);
    for (auto _ : state) {
        RecordPosition p = q->Next(RecordPosition::At(-1));
        for (int i = 1; i < 1000; ++i) p = q->Next(p);
        benchmark::DoNotOptimize(p);
    }
    q->Release();
}
BENCHMARK(BM_BookStep1000)->Unit(benchmark::kMicrosecond);

}  // namespace

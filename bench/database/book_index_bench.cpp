// Key queries over a 200,000-entry index table written by the book files' index writer and
// read through its reader: the first match (with the table resolved by the book's tables or
// through a book resource's data handle) and 1,000 matches stepped, against the bare key lookup.
#include <benchmark/benchmark.h>

#include <memory>

#include "bookfiles/palm_database.h"
#include "database/book_index_source.h"
#include "database/resource.h"
#include "support/bookfiles/index_fixture.h"

namespace {

// A book resource whose "tableid=0" designation gives a kind-257 handle over the table.
class BookTables : public Resource {
public:
    BookTables(PalmDatabase* db, std::uint32_t table) : db_(db), table_(table) {}
    bool IsBinary() override { return true; }
    DataHandle* OpenDataByName(const String& name, const DbValue*) override;
    DataHandle* OpenDataByIndex(int32_t, const DbValue*) override { return nullptr; }
    DocumentSource* GetDocument() override { return nullptr; }
    bool CreateLayout(TokenSource*&, PageLayout**) override { return false; }
    void DestroyLayout(TokenSource*, PageLayout*) override {}
    uint32_t GetKind() override { return 0; }

private:
    PalmDatabase* db_;
    std::uint32_t table_;
};

class TableHandle : public DataHandle {
public:
    explicit TableHandle(Resource* owner) : DataHandle(owner) {}
    const IndexTableHandle* GetIndexTables() override { return &tables; }
    uint32_t GetHandleKind() override { return 257; }
    int32_t CompareId(int32_t) override { return 1; }
    int32_t CompareName(const String&) override { return 1; }
    bool GetData(const uint8_t*&, uint32_t&) override { return false; }
    bool Prepare() override { return true; }
    uint32_t GetSize() override { return 0; }
    bool ReadRaw(uint32_t, void*, uint32_t) override { return false; }
    IndexTableHandle tables;
};

DataHandle* BookTables::OpenDataByName(const String&, const DbValue*) {
    auto* h = new TableHandle(this);
    AddHandle(h);
    if (h->tables.Open(db_, table_, IndexTableHandle::kNone, IndexTableHandle::kNone)) return h;
    h->Release();
    return nullptr;
}

struct BigBook {
    Bytes bytes;
    std::unique_ptr<PalmDatabase> db;
    BookIndexResolver* tables = nullptr;
    BookTables* resource = nullptr;
    BigBook() {
        std::uint32_t id = 0;
        bytes = NumberedKeysBook(200000, &id);
        int error = 0;
        db.reset(PalmDatabase::OpenView(bytes.data(), bytes.size(), &error));
        tables = new BookIndexResolver(db.get());
        tables->AddTable(id);
        resource = new BookTables(db.get(), id);
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

void BM_ResourceCompileAndFirstMatch(benchmark::State& state) {
    String text = Ascii("SELECT * FROM '$tableid=0' AS tab WHERE tab LIKE 'k01%'");
    for (auto _ : state) {
        IndexQuery* q = nullptr;
        SqlParser::Parse(text, static_cast<Resource*>(Book().resource), q);
        benchmark::DoNotOptimize(q->Next(RecordPosition::At(-1)));
        q->Release();
    }
}
BENCHMARK(BM_ResourceCompileAndFirstMatch)->Unit(benchmark::kMicrosecond);

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

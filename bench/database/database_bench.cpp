// Dumps of a 10,000-row word list: encoding, decoding, saving to a file and loading from it,
// against copying the same bytes.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bookfiles/palm_database.h"
#include "database/database.h"
#include "database/fake_index.h"
#include "support/platform/temp_device.h"

namespace {

String Ascii(const std::string& s) {
    String r;
    r.AppendAscii(s.c_str());
    return r;
}

Database* MakeWordList(int rows) {
    Database* db = new Database();
    db->SetName(Ascii("bench"));
    DbTable* t = db->TableAt(db->CreateTable(Ascii("wl_en")));
    t->AddColumn(Ascii("orth"), DbTable::kText);
    t->AddColumn(Ascii("dict"), DbTable::kPooledText);
    t->AddColumn(Ascii("icon"), DbTable::kSmallNumber);
    t->AddColumn(Ascii("formatted"), DbTable::kText);
    t->AddColumn(Ascii("ent"), DbTable::kNumber);
    t->AddColumn(Ascii("shortid"), DbTable::kText);
    String dict = Ascii("oeb:redirect?title=English_Dictionary$table=main");
    String shortid = Ascii("EngDict");
    for (int i = 0; i < rows; ++i) {
        int32_t r = t->AddRecord();
        t->SetText(r, 0, Ascii("headword" + std::to_string(i)));
        t->SetText(r, 1, dict);
        t->SetNumber(r, 2, static_cast<uint32_t>(i % 3));
        if (i % 4 == 0) t->SetText(r, 3, Ascii("Headword " + std::to_string(i)));
        t->SetNumber(r, 4, static_cast<uint32_t>(i * 7));
        t->SetText(r, 5, shortid);
    }
    return db;
}

constexpr int kRows = 10000;

void BM_CopyDumpBytes(benchmark::State& state) {
    Database* db = MakeWordList(kRows);
    ByteStream s;
    db->Encode(s);
    std::vector<uint8_t> copy(s.Size());
    for (auto _ : state) {
        std::memcpy(copy.data(), s.Data(), s.Size());
        benchmark::DoNotOptimize(copy.data());
    }
    state.counters["bytes"] = s.Size();
    db->Release();
}
BENCHMARK(BM_CopyDumpBytes)->Unit(benchmark::kMicrosecond);

void BM_Encode10k(benchmark::State& state) {
    Database* db = MakeWordList(kRows);
    ByteStream s;
    for (auto _ : state) {
        db->Encode(s);
        benchmark::DoNotOptimize(s.Data());
    }
    db->Release();
}
BENCHMARK(BM_Encode10k)->Unit(benchmark::kMicrosecond);

void BM_Decode10k(benchmark::State& state) {
    Database* db = MakeWordList(kRows);
    ByteStream s;
    db->Encode(s);
    db->Release();
    for (auto _ : state) {
        Database* back = new Database();
        if (back->Decode(s.Data(), s.Size()) != 0) state.SkipWithError("decode failed");
        back->Release();
    }
}
BENCHMARK(BM_Decode10k)->Unit(benchmark::kMicrosecond);

void BM_Save10k(benchmark::State& state) {
    fvt::test::TempDevice device;
    Database* db = MakeWordList(kRows);
    db->SetFilePath("\\bench.ebase");
    for (auto _ : state) {
        db->SetDirty();
        if (!db->Save()) state.SkipWithError("save failed");
    }
    db->Release();
}
BENCHMARK(BM_Save10k)->Unit(benchmark::kMicrosecond);

void BM_Load10k(benchmark::State& state) {
    fvt::test::TempDevice device;
    Database* db = MakeWordList(kRows);
    db->SetFilePath("\\bench.ebase");
    if (!db->Save()) state.SkipWithError("the word list was not saved");
    db->Release();
    for (auto _ : state) {
        int error = 0;
        std::unique_ptr<PalmDatabase> file(
            PalmDatabase::Open("\\bench.ebase", 41, nullptr, nullptr, &error));
        Database* back = nullptr;
        if (!file || Database::OpenFile(file.get(), back) != 0) {
            state.SkipWithError("load failed");
            break;
        }
        back->Release();
    }
}
BENCHMARK(BM_Load10k)->Unit(benchmark::kMicrosecond);

// A 200,000-entry index table and a key query over it.
FakeBook* MakeBook() {
    static FakeBook* book = [] {
        std::vector<std::string> keys;
        keys.reserve(200000);
        char buf[16];
        for (int i = 0; i < 200000; ++i) {
            std::snprintf(buf, sizeof buf, "k%07d", i);
            keys.emplace_back(buf);
        }
        FakeBook* b = new FakeBook();
        b->tables.push_back(new FakeIndex(std::move(keys), "words"));
        return b;
    }();
    return book;
}

IndexQuery* KeyQuery() {
    IndexQuery* q = new IndexQuery();
    q->Compile(Ascii("SELECT * FROM words WHERE orth LIKE 'k01%'"), MakeBook());
    return q;
}

void BM_IndexLowerBound(benchmark::State& state) {
    FakeBook* b = MakeBook();
    String key = Ascii("k01");
    for (auto _ : state) benchmark::DoNotOptimize(b->tables[0]->LowerBound(key));
}
BENCHMARK(BM_IndexLowerBound)->Unit(benchmark::kMicrosecond);

void BM_WhereKeyFirstMatch(benchmark::State& state) {
    IndexQuery* q = KeyQuery();
    for (auto _ : state) benchmark::DoNotOptimize(q->Next(RecordPosition::At(-1)));
    q->Release();
}
BENCHMARK(BM_WhereKeyFirstMatch)->Unit(benchmark::kMicrosecond);

void BM_WhereKeyStep1000(benchmark::State& state) {
    IndexQuery* q = KeyQuery();
    for (auto _ : state) {
        RecordPosition p = q->Next(RecordPosition::At(-1));
        for (int i = 1; i < 1000; ++i) p = q->Next(p);
        benchmark::DoNotOptimize(p);
    }
    q->Release();
}
BENCHMARK(BM_WhereKeyStep1000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

// Book-file speed, as ratios against baselines in the same run:
//   PalmDOC decoding next to memcpy of the same output bytes; HUFF/CDIC decoding likewise;
//   opening a book (header, metadata, first page) for a 1 MB and a 10 MB book, next to opening
//   and closing the bare file.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "bookfiles/book_document.h"
#include "bookfiles/database_file.h"
#include "bookfiles/huff_cdic.h"
#include "bookfiles/palm_database.h"
#include "bookfiles/palm_doc.h"
#include "platform/kernel/device.h"
#include "support/bookfiles/book_builder.h"
#include "support/bookfiles/book_compressors.h"

namespace {

constexpr std::size_t kRecords = 256;  // 1 MB of text

std::vector<Bytes> PlainRecords() {
    static std::vector<Bytes> records = [] {
        std::string text = SampleText(kRecords * 4096, 11);
        std::vector<Bytes> out;
        for (std::size_t i = 0; i < kRecords; ++i) {
            out.emplace_back(text.begin() + i * 4096, text.begin() + (i + 1) * 4096);
        }
        return out;
    }();
    return records;
}

void BM_MemcpyBaseline(benchmark::State& state) {
    std::vector<Bytes> records = PlainRecords();
    Bytes out(4096);
    for (auto _ : state) {
        for (const Bytes& r : records) {
            std::memcpy(out.data(), r.data(), r.size());
            benchmark::DoNotOptimize(out.data());
            benchmark::ClobberMemory();
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kRecords * 4096));
}
BENCHMARK(BM_MemcpyBaseline);

void BM_PalmDocDecode(benchmark::State& state) {
    std::vector<Bytes> packed;
    for (const Bytes& r : PlainRecords()) packed.push_back(PalmDocCompress(r.data(), r.size()));
    Bytes out(4096);
    for (auto _ : state) {
        for (const Bytes& p : packed) {
            std::size_t n = 0;
            PalmDoc::Decompress(p.data(), p.size(), out.data(), out.size(), &n);
            benchmark::DoNotOptimize(n);
            benchmark::ClobberMemory();
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kRecords * 4096));
}
BENCHMARK(BM_PalmDocDecode);

void BM_HuffCdicDecode(benchmark::State& state) {
    HuffTables t = HuffCompress(PlainRecords(),
                                {"the ", "reader ", "page ", "quiet ", "words ", "and "}, false);
    std::vector<ByteSpan> cdics;
    for (const Bytes& c : t.cdics)
        cdics.push_back(ByteSpan{c.data(), static_cast<std::uint32_t>(c.size())});
    HuffCdicDecoder decoder;
    if (!decoder.Load(ByteSpan{t.huff.data(), static_cast<std::uint32_t>(t.huff.size())}, cdics)) {
        state.SkipWithError("tables refused");
        return;
    }
    Bytes out(4096);
    for (auto _ : state) {
        for (const Bytes& r : t.records) {
            std::size_t n = 0;
            decoder.Decode(r.data(), r.size(), out.data(), out.size(), &n);
            benchmark::DoNotOptimize(n);
            benchmark::ClobberMemory();
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kRecords * 4096));
}
BENCHMARK(BM_HuffCdicDecode);

// A device path of a book of that size, written once into a temporary device.
std::string BookFile(std::size_t megabytes) {
    static std::string folder = [] {
        std::string f = MakeTempFolder();
        fvt::OpenDevice(f);
        return f;
    }();
    std::string name = "book" + std::to_string(megabytes) + ".prc";
    std::string path = "\\" + name;
    if (!DatabaseFile::Exists(path.c_str())) {
        BookBuilder b;
        b.compression = 2;
        b.text = ToBytes(SampleText(megabytes * 1024 * 1024, 5));
        b.fullName = "A Book of Some Size";
        b.exth = {{100, ToBytes("An Author")}, {201, Bytes{0, 0, 0, 0}}};
        b.resources = {ToBytes("GIF89a")};
        WriteFileBytes(folder + "/" + name, b.Build());
    }
    return path;
}

void BM_OpenFileBaseline(benchmark::State& state) {
    std::string path = BookFile(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        DatabaseFile::Mapping mapping;
        benchmark::DoNotOptimize(mapping.Open(path.c_str()));
    }
}
BENCHMARK(BM_OpenFileBaseline)->Arg(1)->Arg(10)->Unit(benchmark::kMicrosecond);

void BM_OpenBook(benchmark::State& state) {
    std::string path = BookFile(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        std::unique_ptr<PalmDatabase> db(
            PalmDatabase::Open(path.c_str(), 41, nullptr, nullptr, nullptr));
        BookDocument book;
        if (!db || book.Open(db.get(), 0, 1252, 65002) != 0) {
            state.SkipWithError("open failed");
            return;
        }
        String title;
        book.GetTitle(title);
        PageBuffer page;
        if (!book.ReadPage(0, page, 0, 0)) {
            state.SkipWithError("no first page");
            return;
        }
        benchmark::DoNotOptimize(page.text[0]);
        book.ReleasePage(page.pageId);
    }
}
BENCHMARK(BM_OpenBook)->Arg(1)->Arg(10)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

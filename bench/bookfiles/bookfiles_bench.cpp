// Book-file speed, as ratios against baselines in the same run:
//   PalmDOC decoding next to memcpy of the same output bytes; HUFF/CDIC decoding likewise;
//   opening a book (header, metadata, first page) for a 1 MB and a 10 MB book, next to opening
//   and closing the bare file; a 10 MB book's whole text page by page next to decoding its
//   records; saving an unchanged side file next to saving a changed one; salvaging a damaged
//   side file next to opening it whole.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "bookfiles/annotation_file.h"
#include "bookfiles/book_document.h"
#include "bookfiles/database_file.h"
#include "bookfiles/huff_cdic.h"
#include "bookfiles/palm_database.h"
#include "bookfiles/palm_doc.h"
#include "platform/kernel/device.h"
#include "support/bookfiles/book_builder.h"
#include "support/bookfiles/book_compressors.h"
#include "support/bookfiles/side_file_builder.h"

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

// The whole text of a 10 MB book read page by page as bookdump --text reads it (pages, code
// page to UTF-16), next to decoding the same PalmDOC records alone in the same loop: what the
// dump does beyond the decoder itself.
void BM_WholeTextOverDecode(benchmark::State& state) {
    std::string path = BookFile(10);
    std::unique_ptr<PalmDatabase> db(PalmDatabase::Open(path.c_str(), 41, nullptr, nullptr, nullptr));
    BookDocument book;
    if (!db || book.Open(db.get(), 0, 1252, 65002) != 0) {
        state.SkipWithError("open failed");
        return;
    }
    using Clock = std::chrono::steady_clock;
    Bytes out(8192);
    double pages = 0, decode = 0;
    for (auto _ : state) {
        auto t0 = Clock::now();
        std::size_t units = 0;
        for (std::uint32_t position = 0; position < book.GetLength();) {
            PageBuffer page;
            if (!book.ReadPage(position, page, 0, 0)) break;
            units += page.length;
            position = page.start + page.spanLength;
            book.ReleasePage(page.pageId);
        }
        benchmark::DoNotOptimize(units);
        auto t1 = Clock::now();
        for (std::uint32_t r = 1; r <= book.Header().textRecordCount; ++r) {
            std::uint32_t length = 0;
            const std::uint8_t* data = db->GetRecord(r, &length);
            std::size_t n = 0;
            if (data) PalmDoc::Decompress(data, length, out.data(), out.size(), &n);
            benchmark::DoNotOptimize(n);
        }
        benchmark::ClobberMemory();
        auto t2 = Clock::now();
        pages += std::chrono::duration<double>(t1 - t0).count();
        decode += std::chrono::duration<double>(t2 - t1).count();
    }
    state.counters["text_over_decode"] = pages / decode;
    state.counters["decode_ms"] = decode / state.iterations() * 1e3;
}
BENCHMARK(BM_WholeTextOverDecode)->Unit(benchmark::kMillisecond);

// Saving a side file whose records did not change (compared, not written) next to saving one
// change (written, flushed to the disk and renamed), alternating in the same loop.
void BM_SaveUnchangedSideFile(benchmark::State& state) {
    static std::string folder = [] {
        std::string f = MakeTempFolder();
        fvt::OpenDevice(f);
        return f;
    }();
    const char* path = "\\side.fvt";
    {
        std::unique_ptr<PalmDatabase> db(PalmDatabase::Open(path, 23, "FOLV", "GPAR", nullptr));
        if (!db) {
            state.SkipWithError("cannot make the side file");
            return;
        }
        for (int i = 0; i < 40; ++i) {
            std::uint32_t at = 0;
            db->NewRecord(PalmDatabase::kAppend, 200, &at);
        }
        db->Close();
    }
    using Clock = std::chrono::steady_clock;
    double same = 0, changed = 0;
    std::uint8_t byte = 0;
    for (auto _ : state) {
        std::unique_ptr<PalmDatabase> db(PalmDatabase::Open(path, 11, nullptr, nullptr, nullptr));
        if (!db) {
            state.SkipWithError("cannot open the side file");
            return;
        }
        std::uint32_t length = 0;
        const std::uint8_t* first = db->GetRecord(0, &length);
        std::uint8_t old = first ? first[0] : 0;
        auto t0 = Clock::now();
        db->WriteRecord(0, 0, &old, 1);  // marks it changed, holding the same
        bool a = db->Flush();
        auto t1 = Clock::now();
        ++byte;
        db->WriteRecord(0, 0, &byte, 1);
        bool b = db->Flush();
        auto t2 = Clock::now();
        if (!a || !b) {
            state.SkipWithError("a save failed");
            return;
        }
        same += std::chrono::duration<double>(t1 - t0).count();
        changed += std::chrono::duration<double>(t2 - t1).count();
    }
    state.counters["unchanged_over_written"] = same / changed;
    state.counters["unchanged_us"] = same / state.iterations() * 1e6;
}
BENCHMARK(BM_SaveUnchangedSideFile)->Unit(benchmark::kMicrosecond);

// Opening a side file damaged in its middle (salvaged into a new one and set aside) next to
// opening the same file undamaged, for 1,200 and 12,000 bookmarks: the ratio stays the same
// when the salvage takes time in step with the file's size.
void BM_SalvageSideFile(benchmark::State& state) {
    static std::string folder = [] {
        std::string f = MakeTempFolder();
        fvt::OpenDevice(f);
        return f;
    }();
    const int count = static_cast<int>(state.range(0));
    const Bytes whole = SideFileWithBookmarks(u"salvage.prc", count);
    Bytes damaged = whole;
    damaged[SideFileRecordAt(damaged, 1 + static_cast<std::size_t>(count) / 2)] ^= 0x20;
    const char* book = "\\salvage.prc";
    const char* side = "\\salvage.fvt";
    const char* aside = "\\salvage.fvt.damaged";
    using Clock = std::chrono::steady_clock;
    double salvage = 0, open = 0;
    for (auto _ : state) {
        double* into[2] = {&open, &salvage};
        const Bytes* bytes[2] = {&whole, &damaged};
        for (int k = 0; k < 2; ++k) {
            DatabaseFile::Remove(aside);
            if (!DatabaseFile::Replace(side, bytes[k]->data(), bytes[k]->size())) {
                state.SkipWithError("cannot write the side file");
                return;
            }
            auto t0 = Clock::now();
            AnnotationFile* file = new AnnotationFile;
            const int rc = file->OpenOrCreate(book, "salvage", 7, false, true, true);
            const std::uint32_t kept = file->BookmarkCount();
            file->Release();
            *into[k] += std::chrono::duration<double>(Clock::now() - t0).count();
            if (rc != 0 || kept + k != static_cast<std::uint32_t>(count)) {
                state.SkipWithError("the side file did not open with its bookmarks");
                return;
            }
        }
    }
    state.counters["salvage_over_open"] = salvage / open;
    state.counters["salvage_ms"] = salvage / state.iterations() * 1e3;
}
BENCHMARK(BM_SalvageSideFile)->Arg(1200)->Arg(12000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

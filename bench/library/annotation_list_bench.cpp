// The annotations list of a side file holding ten times the bookmarks (32,000 with a text each,
// 64,000 records, near the most a side file holds) against 3,200, refilled alternately in one
// run: the ratio is near 10 when each row costs the same whatever the file holds. Each row
// reads its text through the reference its bookmark keeps (a record looked up by unique id).
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <string>

#include "bookfiles/annotation_file.h"
#include "core/resources.h"
#include "library_ui/annotation_list_window.h"
#include "platform/window/window_layer.h"
#include "reader/reader_controller.h"
#include "reader/reader_settings.h"
#include "support/platform/temp_device.h"
#include "support/reader/reader_fakes.h"

namespace {

struct Pages : AnnotationPages {
    int32_t EstimatePage(uint32_t position) override { return static_cast<int32_t>(position / 900); }
};

// One side file of `count` bookmarks in reading order, each with a text of its own.
AnnotationFile* MakeFile(const char* path, int count) {
    auto* file = new AnnotationFile();
    if (file->OpenOrCreate(path, "Book", 4, 0, 1, 1) != 0) return file;
    for (int i = 0; i < count; ++i) {
        std::uint8_t d[AnnotationFile::kBookmarkSize] = {};
        const std::uint32_t start = 100u + 37u * static_cast<std::uint32_t>(i);
        BigEndian::PutU32(d, 1);
        BigEndian::PutU32(d + 4, start);
        BigEndian::PutU32(d + 8, start + 12);
        // Appended in reading order: what adding them one by one while reading gives.
        std::int32_t at = file->WriteRecord(FourCC("BKMK"), d, sizeof d);
        std::u16string text = u"Bookmark number " + std::u16string(1, u'A' + i % 26);
        for (char c : std::to_string(i)) text += static_cast<char16_t>(c);
        file->SetBookmarkText(at, text.data(), static_cast<std::uint32_t>(text.size()));
    }
    return file;
}

struct List {
    List(AnnotationFile* file, HWND frame, ReaderSettings* settings, fvt::test::FakeShell* shell) {
        document.annotations = file;
        controller = std::make_unique<ReaderController>();
        controller->SetDocumentController(&document);
        controller->SetSettings(settings);
        controller->SetShell(shell);
        window = std::make_unique<AnnotationListWindow>(controller.get(), nullptr);
        window->SetPageEstimator(&pages);
        window->Create(frame);
    }
    double RefillMs() {
        auto t0 = std::chrono::steady_clock::now();
        window->Refill();
        auto t1 = std::chrono::steady_clock::now();
        return std::chrono::duration<double, std::milli>(t1 - t0).count();
    }
    fvt::test::FakeDocumentController document;
    Pages pages;
    std::unique_ptr<ReaderController> controller;
    std::unique_ptr<AnnotationListWindow> window;
};

void BM_AnnotationListTenTimesTheBookmarks(benchmark::State& state) {
    fvt::test::TempDevice device{"language = en\n"};
    ReaderSettings settings;
    settings.Load(true);
    fvt::test::FakeShell shell;
    GetDesktopWindow();
    HWND frame = CreateWindowExW(0, u"STATIC", u"", WS_VISIBLE, 0, 0, 240, 300, nullptr, nullptr,
                                 nullptr, nullptr);
    AnnotationFile* small = MakeFile("\\small.prc", 3200);
    AnnotationFile* large = MakeFile("\\large.prc", 32000);
    {
        List a(small, frame, &settings, &shell), b(large, frame, &settings, &shell);
        std::vector<double> ratios, smallMs, largeMs;
        for (auto _ : state) {
            double s = a.RefillMs();
            double l = b.RefillMs();
            smallMs.push_back(s);
            largeMs.push_back(l);
            ratios.push_back(l / s);
            benchmark::DoNotOptimize(b.window->GetItemCount());
        }
        auto median = [](std::vector<double> v) {
            std::sort(v.begin(), v.end());
            return v.empty() ? 0.0 : v[v.size() / 2];
        };
        state.counters["ratio"] = median(ratios);
        state.counters["small_ms"] = median(smallMs);
        state.counters["large_ms"] = median(largeMs);
        state.counters["rows"] = b.window->GetItemCount();
    }
    if (IsWindow(frame)) DestroyWindow(frame);
    small->Release();
    large->Release();
    Resources::FlushCache();
}
BENCHMARK(BM_AnnotationListTenTimesTheBookmarks)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();

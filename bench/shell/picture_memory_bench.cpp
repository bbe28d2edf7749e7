// The peak memory of the program showing a page with one large picture: a 4000x3000
// progressive JPEG (2x2 chroma, as a camera writes) drawn in a column of 224 or 464 pixels,
// and the same picture as a baseline JPEG, against the same page without it, each run a
// process of its own on the same device, the two alternating in one loop. The peak is the process's VmHWM read as it exits (traced, stopped at
// its exit). Figures are medians of the iterations:
//   peak_mb            the page with the picture
//   page_mb            the page without it
//   picture_mb         what the picture adds (peak_mb - page_mb)
//   picture_over_rgb   that against the picture's pixels as 24-bit RGB (34.3 MiB): below 1
//                      when the picture is not decoded whole
// And the time of decoding the picture at 1/8 (as those pages draw it) through the image object
// in this process, the progressive file against the baseline one in the same loop:
//   progressive_ms, baseline_ms   medians
//   progressive_over_baseline     their ratio
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/ptrace.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <utility>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "media/image/cx_image.h"
#include "support/media/image/picture_fixtures.h"

#include "bench_inputs.h"

namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t kWidth = 4000, kHeight = 3000;

// The photograph as a progressive or a baseline JPEG (2x2 chroma, quality 90).
const std::vector<std::uint8_t>& Encoded(bool progressive) {
    static const std::vector<std::uint8_t> photo = Photo(kWidth, kHeight);
    static const std::vector<std::uint8_t> files[2] = {
        fvt::test::WriteJpeg(kWidth, kHeight, 3, photo, 90, true, false),
        fvt::test::WriteJpeg(kWidth, kHeight, 3, photo, 90, true, true)};
    return files[progressive ? 1 : 0];
}

// A device holding both pages and the picture, and the steps that show the first page.
struct Stand {
    std::string root, steps;
    bool ok = false;
    Stand() {
        char pattern[] = "/tmp/fvt-picture-bench-XXXXXX";
        root = mkdtemp(pattern) ? pattern : "";
        if (root.empty()) return;
        const std::string books = root + "/device/storage/eBooks/";
        fs::create_directories(books);
        const std::string text = "<p>A photograph of the harbour at dusk, as the keeper saw it.</p>";
        for (bool progressive : {true, false}) {
            const std::string name = progressive ? "progressive" : "baseline";
            const std::vector<std::uint8_t>& jpeg = Encoded(progressive);
            std::ofstream(books + name + ".jpg", std::ios::binary)
                .write(reinterpret_cast<const char*>(jpeg.data()), std::streamsize(jpeg.size()));
            std::ofstream(books + name + ".htm") << "<html><body>" << text << "<p><img src=\""
                                                 << name << ".jpg\"></p>" << text
                                                 << "</body></html>";
        }
        std::ofstream(books + "plain.htm") << "<html><body>" << text << text << "</body></html>";
        steps = root + "/steps.txt";
        std::ofstream(steps) << "idle\nquit\n";
        ok = fs::file_size(books + "progressive.jpg") > 0 && fs::file_size(books + "baseline.jpg") > 0;
    }
    ~Stand() {
        if (!root.empty()) fs::remove_all(root);
    }

    // The peak of one run showing `page` on `screen`; negative when the run failed.
    double Peak(const std::string& page, const std::string& screen) const {
        std::vector<std::string> args{FOLIVANT_PROGRAM, "\\storage\\eBooks\\" + page};
        std::vector<std::string> env{"FOLIVANT_DEVICE=" + root + "/device",
                                     "FOLIVANT_DISPLAY=headless", "FOLIVANT_DRIVER=" + steps,
                                     "FOLIVANT_SCREEN=" + screen, "PATH=/usr/bin:/bin"};
        return PeakOfRun(std::move(args), std::move(env));
    }
};

const Stand& Shared() {
    static Stand stand;
    return stand;
}

void PageWithAPhoto(benchmark::State& state, const char* page, const char* screen) {
    const Stand& stand = Shared();
    if (!stand.ok) return state.SkipWithError("the device could not be made");
    std::vector<double> with, without;
    for (auto _ : state) {
        const double a = stand.Peak(page, screen);
        const double b = stand.Peak("plain.htm", screen);
        if (a < 0 || b < 0) return state.SkipWithError("a run failed");
        with.push_back(a);
        without.push_back(b);
    }
    const double rgbMb = double(kWidth) * kHeight * 3 / (1 << 20);
    state.counters["peak_mb"] = Median(with);
    state.counters["page_mb"] = Median(without);
    state.counters["picture_mb"] = Median(with) - Median(without);
    state.counters["picture_over_rgb"] = (Median(with) - Median(without)) / rgbMb;
}

void BM_ProgressivePhoto240(benchmark::State& state) {
    PageWithAPhoto(state, "progressive.htm", "240x320");
}
BENCHMARK(BM_ProgressivePhoto240)->Iterations(5)->UseRealTime();

void BM_ProgressivePhoto480(benchmark::State& state) {
    PageWithAPhoto(state, "progressive.htm", "480x640@192");
}
BENCHMARK(BM_ProgressivePhoto480)->Iterations(5)->UseRealTime();

void BM_BaselinePhoto240(benchmark::State& state) {
    PageWithAPhoto(state, "baseline.htm", "240x320");
}
BENCHMARK(BM_BaselinePhoto240)->Iterations(5)->UseRealTime();

double Seconds() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// The seconds of one decode at 1/8 through the image object; negative when it failed.
double DecodeEighth(const std::vector<std::uint8_t>& jpeg) {
    const double start = Seconds();
    CxImage image;
    image.SetJpegScale(8);
    if (!image.DecodeMemory(jpeg.data(), std::uint32_t(jpeg.size()), CXIMAGE_FORMAT_JPG))
        return -1;
    return Seconds() - start;
}

void BM_PhotoDecodedAtAnEighth(benchmark::State& state) {
    const std::vector<std::uint8_t>& progressive = Encoded(true);
    const std::vector<std::uint8_t>& baseline = Encoded(false);
    std::vector<double> p, b;
    for (auto _ : state) {
        const double a = DecodeEighth(progressive), c = DecodeEighth(baseline);
        if (a < 0 || c < 0) return state.SkipWithError("a decode failed");
        p.push_back(a);
        b.push_back(c);
    }
    state.counters["progressive_ms"] = Median(p) * 1000;
    state.counters["baseline_ms"] = Median(b) * 1000;
    state.counters["progressive_over_baseline"] = Median(p) / Median(b);
}
BENCHMARK(BM_PhotoDecodedAtAnEighth)->Iterations(9)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();

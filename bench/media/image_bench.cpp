// Picture decoding speed: GIF and 8-bit BMP at 1024x768 (megapixels per second), JPEG through
// the image object against libjpeg called directly on the same 2-megapixel photo, and the
// scaled-down decode for a 240x320 screen against the full one.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "media/image/cx_image.h"
#include "media/image/cx_image_jpg.h"
#include "media/image/image_decoder.h"
#include "support/media/image/picture_fixtures.h"

extern "C" {
#include <jpeglib.h>
}

namespace {

constexpr std::uint32_t kW = 1024, kH = 768;

// Photo-like content: smooth gradients with a little sensor noise.
std::vector<std::uint8_t> Photo(std::uint32_t w, std::uint32_t h) {
    auto rgb = fvt::test::Gradient(w, h);
    std::uint32_t seed = 12345;
    for (auto& v : rgb) {
        seed = seed * 1103515245u + 12345u;
        int n = int(v) + int((seed >> 16) % 5) - 2;
        v = std::uint8_t(n < 0 ? 0 : n > 255 ? 255 : n);
    }
    return rgb;
}

std::vector<std::uint8_t> Indices(std::uint32_t w, std::uint32_t h) {
    auto rgb = Photo(w, h);
    std::vector<std::uint8_t> idx(std::size_t(w) * h);
    for (std::size_t i = 0; i < idx.size(); ++i) {
        idx[i] = std::uint8_t((rgb[3 * i] & 0xE0) | ((rgb[3 * i + 1] & 0xE0) >> 3) |
                              (rgb[3 * i + 2] >> 6));
    }
    return idx;
}

std::vector<fvt::test::Rgb> Palette256() {
    std::vector<fvt::test::Rgb> p;
    for (int i = 0; i < 256; ++i)
        p.push_back({std::uint8_t(i & 0xE0), std::uint8_t((i << 3) & 0xE0), std::uint8_t(i << 6)});
    return p;
}

void DecodeTo8(benchmark::State& state, const std::vector<std::uint8_t>& file) {
    std::vector<std::uint8_t> target(std::size_t(kW) * kH);
    for (auto _ : state) {
        ImageDecoder d(file.data(), std::uint32_t(file.size()));
        d.SetFormat(kW, kH, 8, target.data(), 0, nullptr, nullptr, false);
        if (d.Decode(0, 0) != 0) state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(target.data());
    }
    state.counters["MP/s"] =
        benchmark::Counter(kW * kH / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_Bmp8_1024x768(benchmark::State& state) {
    fvt::test::BmpSpec s;
    s.width = kW;
    s.height = kH;
    s.palette = Palette256();
    s.pixels = Indices(kW, kH);
    DecodeTo8(state, fvt::test::WriteBmp(s));
}
BENCHMARK(BM_Bmp8_1024x768)->Unit(benchmark::kMillisecond);

void BM_Gif_1024x768(benchmark::State& state) {
    fvt::test::GifSpec s;
    s.width = kW;
    s.height = kH;
    s.palette = Palette256();
    s.pixels = Indices(kW, kH);
    DecodeTo8(state, fvt::test::WriteGif(s));
}
BENCHMARK(BM_Gif_1024x768)->Unit(benchmark::kMillisecond);

constexpr std::uint32_t kPhotoW = 1632, kPhotoH = 1224;  // 2.0 megapixels

const std::vector<std::uint8_t>& PhotoJpeg() {
    static const std::vector<std::uint8_t> jpeg =
        fvt::test::WriteJpeg(kPhotoW, kPhotoH, 3, Photo(kPhotoW, kPhotoH), 85, true);
    return jpeg;
}

void BM_Jpeg2MP_LibjpegDirect(benchmark::State& state) {
    const auto& jpeg = PhotoJpeg();
    std::vector<std::uint8_t> out(std::size_t(kPhotoW) * kPhotoH * 3);
    for (auto _ : state) {
        jpeg_decompress_struct cinfo;
        jpeg_error_mgr jerr;
        cinfo.err = jpeg_std_error(&jerr);
        jpeg_create_decompress(&cinfo);
        jpeg_mem_src(&cinfo, jpeg.data(), jpeg.size());
        jpeg_read_header(&cinfo, TRUE);
        jpeg_start_decompress(&cinfo);
        while (cinfo.output_scanline < cinfo.output_height) {
            JSAMPROW row = out.data() + std::size_t(cinfo.output_scanline) * kPhotoW * 3;
            jpeg_read_scanlines(&cinfo, &row, 1);
        }
        jpeg_finish_decompress(&cinfo);
        jpeg_destroy_decompress(&cinfo);
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_Jpeg2MP_LibjpegDirect)->Unit(benchmark::kMillisecond);

void BM_Jpeg2MP_CxImage(benchmark::State& state) {
    const auto& jpeg = PhotoJpeg();
    for (auto _ : state) {
        CxImage image;
        if (!image.DecodeMemory(jpeg.data(), std::uint32_t(jpeg.size()), CXIMAGE_FORMAT_JPG))
            state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(image.GetBits());
    }
}
BENCHMARK(BM_Jpeg2MP_CxImage)->Unit(benchmark::kMillisecond);

// As the image view shows it on a 240x320 screen: DCT scaling to the smallest size still
// covering the box, then the nearest pixel down to 240x180.
void BM_Jpeg2MP_CxImageFit240x320(benchmark::State& state) {
    const auto& jpeg = PhotoJpeg();
    for (auto _ : state) {
        CxImage image;
        image.SetJpegScale(4);
        image.SetCodecOption(CxImageJPG::kNoFancyUpsampling);
        if (!image.DecodeMemory(jpeg.data(), std::uint32_t(jpeg.size()), CXIMAGE_FORMAT_JPG) ||
            !image.Resample(240, 180, 1, nullptr))
            state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(image.GetBits());
    }
}
BENCHMARK(BM_Jpeg2MP_CxImageFit240x320)->Unit(benchmark::kMillisecond);

void BM_Jpeg2MP_Size(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(PhotoJpeg().size());
    state.counters["kB"] = double(PhotoJpeg().size()) / 1024;
}
BENCHMARK(BM_Jpeg2MP_Size);

void BM_Jpeg2MP_Scale4Only(benchmark::State& state) {
    const auto& jpeg = PhotoJpeg();
    for (auto _ : state) {
        CxImage image;
        image.SetJpegScale(4);
        image.DecodeMemory(jpeg.data(), std::uint32_t(jpeg.size()), CXIMAGE_FORMAT_JPG);
        benchmark::DoNotOptimize(image.GetBits());
    }
}
BENCHMARK(BM_Jpeg2MP_Scale4Only)->Unit(benchmark::kMillisecond);

}  // namespace
BENCHMARK_MAIN();

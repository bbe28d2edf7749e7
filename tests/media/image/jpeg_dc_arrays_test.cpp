// Multi-scan JPEGs decoded at 1/8 through compact coefficient arrays: the pixels are libjpeg's
// own, for every kind of multi-scan file and for damaged ones, and a picture whose whole
// coefficient arrays are beyond the decoder's memory limit still decodes at 1/8.
#include <gtest/gtest.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "media/image/cx_image.h"
#include "media/image/jpeg_dc_arrays.h"

extern "C" {
#include <jpeglib.h>
}

namespace {

using Bytes = std::vector<std::uint8_t>;

enum class Scans { kBaseline, kProgressive, kProgressiveArithmetic, kSequentialOnePerComponent };

struct Kind {
    int components;        // 1 grey, 3 colour
    int hSample, vSample;  // of the first component; the others 1x1
    Scans scans;
};

std::string Name(const Kind& k) {
    const char* scans[] = {"baseline", "progressive", "progressive-arithmetic",
                           "sequential-multi-scan"};
    return std::to_string(k.components) + "c " + std::to_string(k.hSample) + "x" +
           std::to_string(k.vSample) + " " + scans[int(k.scans)];
}

// A picture with detail at every frequency, so that most blocks have many non-zero AC
// coefficients for the refinement scans to correct.
Bytes Busy(std::uint32_t w, std::uint32_t h, int components) {
    Bytes v(std::size_t(w) * h * components);
    std::uint32_t seed = 12345;
    for (std::size_t i = 0; i < v.size(); ++i) {
        seed = seed * 1103515245u + 12345u;
        const std::size_t p = i / components;
        v[i] = std::uint8_t((p % w) * 3 + (p / w) * 5 + (i % components) * 60 + (seed >> 27));
    }
    return v;
}

Bytes Encode(std::uint32_t w, std::uint32_t h, const Kind& kind, const Bytes& pixels) {
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &out, &size);
    c.image_width = w;
    c.image_height = h;
    c.input_components = kind.components;
    c.in_color_space = kind.components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 92, TRUE);
    c.comp_info[0].h_samp_factor = kind.hSample;
    c.comp_info[0].v_samp_factor = kind.vSample;
    for (int i = 1; i < kind.components; ++i)
        c.comp_info[i].h_samp_factor = c.comp_info[i].v_samp_factor = 1;
    jpeg_scan_info script[MAX_COMPONENTS];
    if (kind.scans == Scans::kSequentialOnePerComponent) {
        for (int i = 0; i < kind.components; ++i) script[i] = {1, {i}, 0, 63, 0, 0};
        c.scan_info = script;
        c.num_scans = kind.components;
    } else if (kind.scans != Scans::kBaseline) {
        // The standard script: successive approximation of DC and AC, refinement scans after.
        jpeg_simple_progression(&c);
        c.arith_code = kind.scans == Scans::kProgressiveArithmetic;
    }
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < h) {
        JSAMPROW row = const_cast<JSAMPROW>(pixels.data() +
                                            std::size_t(c.next_scanline) * w * kind.components);
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    Bytes bytes(out, out + size);
    std::free(out);
    return bytes;
}

struct Recovery {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

// The picture libjpeg decodes at 1/scale, rows top first; with `compact`, through the compact
// arrays; with `smoothing` false, without block smoothing. Empty when libjpeg fails. `warnings`
// counts libjpeg's complaints about the data (a scan read out of step would raise some).
Bytes LibjpegDecode(const Bytes& jpeg, unsigned scale, bool compact, bool smoothing = true,
                    bool* usedCompact = nullptr, long* warnings = nullptr) {
    jpeg_decompress_struct d;
    Recovery err;
    d.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = [](j_common_ptr c) {
        std::longjmp(reinterpret_cast<Recovery*>(c->err)->jump, 1);
    };
    err.pub.output_message = [](j_common_ptr) {};
    jpeg_create_decompress(&d);
    Bytes* volatile pixels = new Bytes;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&d);
        delete pixels;
        return {};
    }
    jpeg_mem_src(&d, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&d, TRUE);
    d.scale_num = 1;
    d.scale_denom = scale;
    d.do_block_smoothing = smoothing;
    const bool used = compact && KeepDcCoefficientsOnly(&d);
    if (usedCompact) *usedCompact = used;
    jpeg_start_decompress(&d);
    const std::size_t stride = std::size_t(d.output_width) * d.output_components;
    pixels->resize(stride * d.output_height);
    while (d.output_scanline < d.output_height) {
        JSAMPROW row = pixels->data() + stride * d.output_scanline;
        jpeg_read_scanlines(&d, &row, 1);
    }
    jpeg_finish_decompress(&d);
    if (warnings) *warnings = err.pub.num_warnings;
    jpeg_destroy_decompress(&d);
    Bytes result = std::move(*pixels);
    delete pixels;
    return result;
}

// The image object's picture as libjpeg's rows: top first, red first.
Bytes Rows(const CxImage& image) {
    const std::uint32_t w = image.GetWidth(), h = image.GetHeight();
    const std::uint32_t n = image.GetBpp() / 8;
    Bytes v;
    for (std::uint32_t y = 0; y < h; ++y) {
        const std::uint8_t* row = const_cast<CxImage&>(image).GetBits(h - 1 - y);
        for (std::uint32_t x = 0; x < w; ++x)
            for (std::uint32_t i = 0; i < n; ++i) v.push_back(row[x * n + (n == 3 ? 2 - i : i)]);
    }
    return v;
}

const Kind kKinds[] = {
    {1, 1, 1, Scans::kProgressive},
    {3, 1, 1, Scans::kProgressive},
    {3, 2, 2, Scans::kProgressive},
    {3, 2, 1, Scans::kProgressive},
    {1, 1, 1, Scans::kProgressiveArithmetic},
    {3, 2, 2, Scans::kProgressiveArithmetic},
    {3, 1, 1, Scans::kSequentialOnePerComponent},
    {3, 2, 2, Scans::kSequentialOnePerComponent},
};

}  // namespace

// At 1/8 the image object's pixels are exactly libjpeg's own 1/8 output, for grey and colour,
// every chroma layout (the 2x2 chroma is decoded through libjpeg's own arrays beside the compact
// luma), Huffman and arithmetic progressive files and sequential files of one scan per
// component; sizes that are no multiple of a block leave partial blocks at the edges.
TEST(JpegDcArrays, EighthScalePixelsAreLibjpegsOwn) {
    for (const Kind& kind : kKinds) {
        for (auto [w, h] : {std::pair{203u, 117u}, {64u, 48u}, {9u, 300u}}) {
            const Bytes jpeg = Encode(w, h, kind, Busy(w, h, kind.components));
            bool used = false;
            long warnings = -1, ownWarnings = -1;
            const Bytes compact = LibjpegDecode(jpeg, 8, true, true, &used, &warnings);
            EXPECT_TRUE(used) << Name(kind);
            const Bytes own = LibjpegDecode(jpeg, 8, false, true, nullptr, &ownWarnings);
            ASSERT_FALSE(own.empty()) << Name(kind);
            EXPECT_EQ(compact, own) << Name(kind) << " " << w << "x" << h;
            // The refinement scans are read in step: a coefficient the store kept as non-zero
            // takes its correction bit, as in libjpeg's arrays.
            EXPECT_EQ(warnings, 0) << Name(kind);
            EXPECT_EQ(ownWarnings, 0) << Name(kind);

            CxImage image;
            image.SetJpegScale(8);
            ASSERT_TRUE(image.DecodeMemory(jpeg.data(), std::uint32_t(jpeg.size()), 1))
                << Name(kind) << ": " << image.GetLastError();
            EXPECT_EQ(image.GetWidth(), (w + 7) / 8);
            EXPECT_EQ(image.GetHeight(), (h + 7) / 8);
            EXPECT_EQ(Rows(image), own) << Name(kind) << " " << w << "x" << h;
        }
    }
}

// Only a multi-scan file decoded one pixel per block of some component takes the compact arrays:
// a baseline file streams, and at 1/4 and larger every component's pixels need its AC
// coefficients. The image object's pixels at those scales are libjpeg's own too.
TEST(JpegDcArrays, OtherScalesAndSingleScanFilesKeepLibjpegsArrays) {
    const std::uint32_t w = 75, h = 50;
    const Bytes progressive = Encode(w, h, kKinds[2], Busy(w, h, 3));
    for (unsigned scale : {1u, 2u, 4u}) {
        bool used = true;
        const Bytes own = LibjpegDecode(progressive, scale, true, true, &used);
        EXPECT_FALSE(used) << scale;
        CxImage image;
        image.SetJpegScale(std::uint8_t(scale));
        ASSERT_TRUE(image.DecodeMemory(progressive.data(), std::uint32_t(progressive.size()), 1));
        EXPECT_EQ(Rows(image), own) << scale;
    }
    // One interleaved scan, as cameras write: libjpeg streams it without arrays.
    const Bytes baseline = Encode(w, h, {3, 2, 2, Scans::kBaseline}, Busy(w, h, 3));
    bool used = true;
    EXPECT_FALSE(LibjpegDecode(baseline, 8, true, true, &used).empty());
    EXPECT_FALSE(used);
}

// A progressive file cut anywhere, or with bytes spoiled, decodes at 1/8 as libjpeg decodes it
// without block smoothing (which only smooths the picture of scans that never came), or fails as
// libjpeg fails: the compact arrays read nothing libjpeg would not have, and write nothing
// outside their rows (the sanitizer build watches).
TEST(JpegDcArrays, DamagedFilesDecodeAsLibjpegDecodesThem) {
    const std::uint32_t w = 90, h = 70;
    for (const Kind& kind : {kKinds[2], kKinds[5]}) {
        const Bytes jpeg = Encode(w, h, kind, Busy(w, h, 3));
        std::vector<Bytes> damaged;
        for (std::size_t n = 0; n < jpeg.size(); n += jpeg.size() / 40 + 1)
            damaged.emplace_back(jpeg.begin(), jpeg.begin() + long(n));
        for (std::size_t at = 300; at < jpeg.size(); at += jpeg.size() / 30 + 1) {
            damaged.push_back(jpeg);
            damaged.back()[at] ^= 0x5A;
        }
        int decoded = 0;
        for (const Bytes& bad : damaged) {
            const Bytes own = LibjpegDecode(bad, 8, false, false);
            const Bytes compact = LibjpegDecode(bad, 8, true, true);
            EXPECT_EQ(compact, own) << Name(kind) << ", " << bad.size() << " bytes";
            CxImage image;
            image.SetJpegScale(8);
            const bool ok = image.DecodeMemory(bad.data(), std::uint32_t(bad.size()), 1);
            EXPECT_EQ(ok, !own.empty()) << Name(kind) << ", " << bad.size() << " bytes";
            if (ok) {
                EXPECT_EQ(Rows(image), own);
                ++decoded;
            } else {
                EXPECT_STRNE(image.GetLastError(), "");
            }
        }
        EXPECT_GT(decoded, 30) << Name(kind);  // cut files end with the supplied end marker
    }
}

// A progressive picture whose whole coefficient arrays (750,000 blocks: 92 MiB) are beyond the
// decoder's memory limit fails at 1/4, as it always did, and decodes at 1/8 in a tenth of that.
TEST(JpegDcArrays, APictureTooLargeForWholeArraysDecodesAtAnEighth) {
    const std::uint32_t w = 8000, h = 6000;
    Bytes grey(std::size_t(w) * h);
    for (std::size_t i = 0; i < grey.size(); ++i)
        grey[i] = std::uint8_t((i % w) / 80 + (i / w) / 60);
    const Bytes jpeg = Encode(w, h, {1, 1, 1, Scans::kProgressive}, grey);
    CxImage quarter;
    quarter.SetJpegScale(4);
    EXPECT_FALSE(quarter.DecodeMemory(jpeg.data(), std::uint32_t(jpeg.size()), 1));
    EXPECT_STRNE(quarter.GetLastError(), "");
    CxImage eighth;
    eighth.SetJpegScale(8);
    ASSERT_TRUE(eighth.DecodeMemory(jpeg.data(), std::uint32_t(jpeg.size()), 1))
        << eighth.GetLastError();
    EXPECT_EQ(eighth.GetWidth(), 1000u);
    EXPECT_EQ(eighth.GetHeight(), 750u);
    // The picture is there: the grey rises from the top-left corner to the bottom-right.
    EXPECT_LT(eighth.GetPixelIndex(0, 749), 10);
    EXPECT_GT(eighth.GetPixelIndex(999, 0), 180);
}

// JPEG decoding through the image object, against pictures made with libjpeg's compressor.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "media/image/cx_file.h"
#include "media/image/cx_image.h"
#include "media/image/cx_image_jpg.h"
#include "support/media/image/picture_fixtures.h"

namespace {

bool Near(int a, int b, int tolerance = 12) {
    return std::abs(a - b) <= tolerance;
}

}  // namespace

TEST(JpegDecoding, RgbIsBottomUpBgrWithUntouchedPadding) {
    for (std::uint32_t w : {1u, 2u, 3u, 5u, 17u}) {
        const std::uint32_t h = 9;
        auto rgb = fvt::test::Gradient(w, h);
        auto jpeg = fvt::test::WriteJpeg(w, h, 3, rgb);
        CxImage image;
        ASSERT_TRUE(image.DecodeMemory(jpeg.data(), std::uint32_t(jpeg.size()), 1)) << w;
        ASSERT_EQ(image.GetWidth(), w);
        ASSERT_EQ(image.GetHeight(), h);
        ASSERT_EQ(image.GetBpp(), 24u);
        EXPECT_EQ(image.GetType(), 1u);
        for (std::uint32_t y = 0; y < h; ++y) {
            const std::uint8_t* row = image.GetBits(h - 1 - y);
            for (std::uint32_t x = 0; x < w; ++x) {
                const std::uint8_t* want = &rgb[(y * w + x) * 3];
                EXPECT_TRUE(Near(row[3 * x + 2], want[0])) << w << " " << x << "," << y;
                EXPECT_TRUE(Near(row[3 * x + 1], want[1]));
                EXPECT_TRUE(Near(row[3 * x], want[2]));
            }
            for (std::uint32_t pad = 3 * w; pad < image.GetEffWidth(); ++pad)
                EXPECT_EQ(row[pad], 0);
        }
    }
}

TEST(JpegDecoding, GreyGetsTheGreyPalette) {
    std::vector<std::uint8_t> grey(16 * 8);
    for (std::size_t i = 0; i < grey.size(); ++i) grey[i] = std::uint8_t(i * 2);
    auto jpeg = fvt::test::WriteJpeg(16, 8, 1, grey);
    CxImage image;
    ASSERT_TRUE(image.DecodeMemory(jpeg.data(), std::uint32_t(jpeg.size()), 0));
    EXPECT_EQ(image.GetBpp(), 8u);
    EXPECT_TRUE(image.IsGrayScale());
    EXPECT_TRUE(Near(image.GetPixelIndex(5, 7), grey[5], 6));
}

TEST(JpegDecoding, CmykBecomesTwentyFourBits) {
    for (std::uint32_t w : {1u, 6u}) {
        std::vector<std::uint8_t> cmyk(w * 2 * 4, 255);  // inverted CMYK: white
        auto jpeg = fvt::test::WriteJpeg(w, 2, 4, cmyk);
        CxImage image;
        ASSERT_TRUE(image.DecodeMemory(jpeg.data(), std::uint32_t(jpeg.size()), 1));
        EXPECT_EQ(image.GetBpp(), 24u);
        EXPECT_TRUE(Near(image.GetPixelColor(0, 0).rgbRed, 255, 4));
        for (std::uint32_t pad = 3 * w; pad < image.GetEffWidth(); ++pad)
            EXPECT_EQ(image.GetBits(0)[pad], 0);
    }
}

TEST(JpegDecoding, ScaleWhileDecoding) {
    auto jpeg = fvt::test::WriteJpeg(64, 40, 3, fvt::test::Gradient(64, 40));
    for (auto [scale, w, h] :
         {std::tuple{0, 64u, 40u}, {1, 64u, 40u}, {2, 32u, 20u}, {4, 16u, 10u}, {8, 8u, 5u}}) {
        CxImage image;
        image.SetJpegScale(std::uint8_t(scale));
        ASSERT_TRUE(image.DecodeMemory(jpeg.data(), std::uint32_t(jpeg.size()), 1));
        EXPECT_EQ(image.GetWidth(), w) << scale;
        EXPECT_EQ(image.GetHeight(), h) << scale;
    }
}

// The scale a picture drawn at a given size is decoded at: the smallest whose picture still
// covers that size on both sides, one pixel short taking the next larger.
TEST(JpegDecoding, TheScaleToCoverASize) {
    EXPECT_EQ(JpegScaleToCover(4000, 3000, 224, 168), 8);
    EXPECT_EQ(JpegScaleToCover(4000, 3000, 500, 375), 8);
    EXPECT_EQ(JpegScaleToCover(4000, 3000, 501, 375), 4);
    EXPECT_EQ(JpegScaleToCover(4000, 3000, 500, 376), 4);
    EXPECT_EQ(JpegScaleToCover(4001, 3001, 501, 376), 8);  // libjpeg rounds sides up
    EXPECT_EQ(JpegScaleToCover(4000, 3000, 1000, 750), 4);
    EXPECT_EQ(JpegScaleToCover(4000, 3000, 2001, 1500), 1);
    EXPECT_EQ(JpegScaleToCover(4000, 3000, 4000, 3000), 1);
    EXPECT_EQ(JpegScaleToCover(4000, 3000, 8000, 6000), 1);  // drawn larger than it is
    EXPECT_EQ(JpegScaleToCover(0, 3000, 10, 10), 1);
    EXPECT_EQ(JpegScaleToCover(4000, 3000, 0, 10), 1);
    // What that scale decodes covers the size asked for.
    auto jpeg = fvt::test::WriteJpeg(64, 40, 3, fvt::test::Gradient(64, 40));
    CxImage image;
    image.SetJpegScale(JpegScaleToCover(64, 40, 9, 5));
    ASSERT_TRUE(image.DecodeMemory(jpeg.data(), std::uint32_t(jpeg.size()), 1));
    EXPECT_EQ(image.GetWidth(), 16u);
    EXPECT_EQ(image.GetHeight(), 10u);
}

TEST(JpegDecoding, MeasureOnly) {
    auto jpeg = fvt::test::WriteJpeg(30, 20, 3, fvt::test::Gradient(30, 20));
    CxImage image;
    image.SetEscape(-1);
    ASSERT_TRUE(image.DecodeMemory(jpeg.data(), std::uint32_t(jpeg.size()), 1));
    EXPECT_EQ(image.GetWidth(), 30u);
    EXPECT_EQ(image.GetHeight(), 20u);
    EXPECT_FALSE(image.IsValid());
}

TEST(JpegDecoding, TruncatedDataEndsWithTheSuppliedMarker) {
    auto jpeg = fvt::test::WriteJpeg(64, 64, 3, fvt::test::Gradient(64, 64));
    jpeg.resize(jpeg.size() * 2 / 3);
    CxImage image;
    ASSERT_TRUE(image.DecodeMemory(jpeg.data(), std::uint32_t(jpeg.size()), 1));
    EXPECT_EQ(image.GetHeight(), 64u);
}

TEST(JpegDecoding, FailuresCarryLibjpegMessages) {
    CxImageJPG image;
    CxMemFile empty;
    EXPECT_FALSE(image.Decode(&empty));
    EXPECT_NE(std::string(image.GetLastError()).find("mpty"), std::string::npos)
        << image.GetLastError();
    auto jpeg = fvt::test::WriteJpeg(8, 8, 3, fvt::test::Gradient(8, 8));
    // Every cut and a run of corrupted bytes: a result, no leak, no over-read.
    for (std::size_t n = 0; n < jpeg.size(); n += 7) {
        CxImage cut;
        cut.DecodeMemory(jpeg.data(), std::uint32_t(n), 1);
    }
    for (std::size_t at = 2; at < 200 && at < jpeg.size(); ++at) {
        auto bad = jpeg;
        bad[at] ^= 0x5A;
        CxImage image2;
        if (!image2.DecodeMemory(bad.data(), std::uint32_t(bad.size()), 1)) {
            EXPECT_STRNE(image2.GetLastError(), "");
        }
    }
}

TEST(JpegDecoding, HugeFrameIsRefusedBeforeAllocating) {
    auto jpeg = fvt::test::WriteJpeg(8, 8, 3, fvt::test::Gradient(8, 8));
    // Patch the frame header's size to 65500 x 65500.
    for (std::size_t i = 0; i + 9 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {
            jpeg[i + 5] = jpeg[i + 7] = 0xFF;
            jpeg[i + 6] = jpeg[i + 8] = 0xDC;
            break;
        }
    }
    CxImage image;
    EXPECT_FALSE(image.DecodeMemory(jpeg.data(), std::uint32_t(jpeg.size()), 1));
    EXPECT_STREQ(image.GetLastError(), "CXIMAGE_MAX_MEMORY exceeded");
}

TEST(JpegDecoding, EscapeStopsWithAMessage) {
    auto jpeg = fvt::test::WriteJpeg(8, 8, 3, fvt::test::Gradient(8, 8));
    CxImage image;
    image.SetEscape(1);
    EXPECT_FALSE(image.DecodeMemory(jpeg.data(), std::uint32_t(jpeg.size()), 1));
    EXPECT_STREQ(image.GetLastError(), "JPEG decoding stopped");
}

namespace {

// Keeps what a row sink is given; refuses the row numbered `refuseAt`.
struct KeptRows : CxImage::RowSink {
    bool Begin(std::uint32_t w, std::uint32_t h) override {
        width = w;
        height = h;
        ++begins;
        return refuseAt != 0;
    }
    bool Row(const std::uint8_t* rgb) override {
        if (rows.size() + 1 == refuseAt) return false;
        rows.emplace_back(rgb, rgb + width * 3);
        return true;
    }
    std::uint32_t width = 0, height = 0, begins = 0, refuseAt = ~0u;
    std::vector<std::vector<std::uint8_t>> rows;
};

}  // namespace

// A sink takes a true-colour picture's rows top first in red-green-blue, the same pixels the
// picture would have stored, and the picture holds none of them.
TEST(JpegDecoding, ARowSinkTakesTheRowsInsteadOfThePicture) {
    for (bool subsample : {false, true}) {
        const std::uint32_t w = 37, h = 11;
        auto jpeg = fvt::test::WriteJpeg(w, h, 3, fvt::test::Gradient(w, h), 90, subsample);
        CxImage stored;
        ASSERT_TRUE(stored.DecodeMemory(jpeg.data(), std::uint32_t(jpeg.size()), 1));
        KeptRows kept;
        CxImage sunk;
        sunk.SetRowSink(&kept);
        ASSERT_TRUE(sunk.DecodeMemory(jpeg.data(), std::uint32_t(jpeg.size()), 1));
        EXPECT_FALSE(sunk.IsValid());
        EXPECT_EQ(sunk.GetWidth(), w);
        EXPECT_EQ(sunk.GetHeight(), h);
        ASSERT_EQ(kept.begins, 1u);
        EXPECT_EQ(kept.width, w);
        EXPECT_EQ(kept.height, h);
        ASSERT_EQ(kept.rows.size(), h);
        for (std::uint32_t y = 0; y < h; ++y) {
            const std::uint8_t* row = stored.GetBits(h - 1 - y);
            for (std::uint32_t x = 0; x < w; ++x) {
                ASSERT_EQ(kept.rows[y][3 * x], row[3 * x + 2]) << x << "," << y;
                ASSERT_EQ(kept.rows[y][3 * x + 1], row[3 * x + 1]);
                ASSERT_EQ(kept.rows[y][3 * x + 2], row[3 * x]);
            }
        }
    }
}

// Grey pictures are stored as ever; a sink that refuses stops the decode with a message.
TEST(JpegDecoding, ARowSinkIsPassedByGreyAndItsRefusalFails) {
    std::vector<std::uint8_t> grey(8 * 8, 90);
    auto greyJpeg = fvt::test::WriteJpeg(8, 8, 1, grey);
    KeptRows kept;
    CxImage image;
    image.SetRowSink(&kept);
    ASSERT_TRUE(image.DecodeMemory(greyJpeg.data(), std::uint32_t(greyJpeg.size()), 1));
    EXPECT_TRUE(image.IsValid());
    EXPECT_EQ(image.GetBpp(), 8u);
    EXPECT_EQ(kept.begins, 0u);

    auto jpeg = fvt::test::WriteJpeg(16, 6, 3, fvt::test::Gradient(16, 6));
    for (std::uint32_t refuseAt : {0u, 4u}) {
        KeptRows refusing;
        refusing.refuseAt = refuseAt;
        CxImage failed;
        failed.SetRowSink(&refusing);
        EXPECT_FALSE(failed.DecodeMemory(jpeg.data(), std::uint32_t(jpeg.size()), 1));
        EXPECT_FALSE(failed.IsValid());
        EXPECT_STREQ(failed.GetLastError(), "JPEG: the rows were refused");
        EXPECT_EQ(refusing.rows.size(), refuseAt ? refuseAt - 1 : 0u);
    }
}

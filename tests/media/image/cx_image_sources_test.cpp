// The image object's other sources: standard palettes, a bitmap's own bits, a picture resource;
// and the transparency test. Every picture is made here.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "media/image/cx_image.h"
#include "platform/resources/device_resources.h"
#include "support/media/image/picture_fixtures.h"

namespace {

bool IsColour(RGBQUAD q, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return q.rgbRed == r && q.rgbGreen == g && q.rgbBlue == b;
}

TEST(CxImageSources, StandardPalettesForSixteenAndTwoHundredFiftySixColours) {
    CxImage small;
    ASSERT_TRUE(small.Create(2, 2, 4, 0));
    ASSERT_TRUE(small.SetStdPalette());
    EXPECT_TRUE(IsColour(small.GetPaletteColor(0), 0, 0, 0));
    EXPECT_TRUE(IsColour(small.GetPaletteColor(9), 255, 0, 0));
    EXPECT_TRUE(IsColour(small.GetPaletteColor(15), 255, 255, 255));
    CxImage large;
    ASSERT_TRUE(large.Create(2, 2, 8, 0));
    ASSERT_TRUE(large.SetStdPalette());
    EXPECT_TRUE(IsColour(large.GetPaletteColor(12), 0, 0, 255));
    EXPECT_TRUE(IsColour(large.GetPaletteColor(16), 0, 0, 0));              // the cube's first
    EXPECT_TRUE(IsColour(large.GetPaletteColor(16 + 215), 255, 255, 255));  // and last
    const RGBQUAD grey = large.GetPaletteColor(255);
    EXPECT_EQ(grey.rgbRed, grey.rgbBlue);
    EXPECT_GT(grey.rgbRed, 200);
    EXPECT_LT(grey.rgbRed, 255);
    // The nearest colour comes from the new palette at once.
    EXPECT_EQ(large.GetNearestIndex(RGBQUAD{0, 255, 255, 0}), 11);
    // Two colours and true colour have no standard palette.
    CxImage mono, deep;
    ASSERT_TRUE(mono.Create(2, 2, 1, 0));
    ASSERT_TRUE(deep.Create(2, 2, 24, 0));
    EXPECT_FALSE(mono.SetStdPalette());
    EXPECT_FALSE(deep.SetStdPalette());
    EXPECT_FALSE(CxImage().SetStdPalette());
}

TEST(CxImageSources, BitsOfEveryDepthBecomeThePictureBottomRowFirstOrFlipped) {
    // 4 bits, 3 x 2, rows padded to 4 bytes: bottom row 1 2 3, top row 4 5 6.
    const std::uint8_t nibbles[] = {0x12, 0x30, 0, 0, 0x45, 0x60, 0, 0};
    CxImage four;
    ASSERT_TRUE(four.CreateFromArray(nibbles, 3, 2, 4, 4, false));
    EXPECT_EQ(four.GetBpp(), 4u);
    EXPECT_EQ(four.GetPixelIndex(0, 0), 1);
    EXPECT_EQ(four.GetPixelIndex(2, 1), 6);
    ASSERT_TRUE(four.CreateFromArray(nibbles, 3, 2, 4, 4, true));
    EXPECT_EQ(four.GetPixelIndex(0, 0), 4);  // the first row given is now the top
    EXPECT_EQ(four.GetPixelIndex(2, 1), 3);

    const std::uint8_t bitsRow[] = {0xA0, 0x40};  // 1 bit, 3 x 2, unpadded rows
    CxImage one;
    ASSERT_TRUE(one.CreateFromArray(bitsRow, 3, 2, 1, 1, false));
    EXPECT_EQ(one.GetPixelIndex(0, 0), 1);
    EXPECT_EQ(one.GetPixelIndex(1, 0), 0);
    EXPECT_EQ(one.GetPixelIndex(1, 1), 1);

    // 24 bits: blue, green, red.
    const std::uint8_t bgr[] = {10, 20, 30, 40, 50, 60};
    CxImage rgb;
    ASSERT_TRUE(rgb.CreateFromArray(bgr, 2, 1, 24, 6, false));
    EXPECT_TRUE(IsColour(rgb.GetPixelColor(1, 0), 60, 50, 40));
    EXPECT_FALSE(rgb.IsTransparent(1, 0));
    EXPECT_EQ(rgb.AlphaGet(1, 0), 255);

    // 32 bits: the fourth byte is the alpha channel, and alpha 0 is see-through.
    const std::uint8_t bgra[] = {1, 2, 3, 255, 4, 5, 6, 0};
    CxImage rgba;
    ASSERT_TRUE(rgba.CreateFromArray(bgra, 2, 1, 32, 8, false));
    EXPECT_EQ(rgba.GetBpp(), 24u);
    EXPECT_TRUE(IsColour(rgba.GetPixelColor(1, 0), 6, 5, 4));
    EXPECT_EQ(rgba.AlphaGet(0, 0), 255);
    EXPECT_FALSE(rgba.IsTransparent(0, 0));
    EXPECT_TRUE(rgba.IsTransparent(1, 0));
    // A copy keeps the alpha channel.
    CxImage copy;
    ASSERT_TRUE(copy.Copy(rgba, true, false, true));
    EXPECT_TRUE(copy.IsTransparent(1, 0));
}

TEST(CxImageSources, BitsThatCannotBeAPictureAreRefused) {
    const std::uint8_t some[16] = {};
    CxImage image;
    EXPECT_FALSE(image.CreateFromArray(nullptr, 2, 2, 8, 4, false));
    EXPECT_FALSE(image.CreateFromArray(some, 0, 2, 8, 4, false));
    EXPECT_FALSE(image.CreateFromArray(some, 2, 2, 16, 4, false));
    // Rows shorter than the width would be read past their end.
    EXPECT_FALSE(image.CreateFromArray(some, 5, 2, 24, 12, false));
    EXPECT_FALSE(image.IsValid());
    EXPECT_FALSE(image.IsTransparent(0, 0));
}

TEST(CxImageSources, TheBackgroundIndexOrColourIsTransparentWhileSet) {
    CxImage paletted;
    ASSERT_TRUE(paletted.Create(2, 1, 8, 0));
    paletted.SetPixelIndex(0, 0, 3);
    paletted.SetPixelIndex(1, 0, 4);
    EXPECT_FALSE(paletted.IsTransparent(0, 0));
    paletted.SetBackground(3, RGBQUAD{});
    EXPECT_TRUE(paletted.IsTransparent(0, 0));
    EXPECT_FALSE(paletted.IsTransparent(1, 0));
    EXPECT_FALSE(paletted.IsTransparent(5, 0));  // outside
    CxImage rgb;
    ASSERT_TRUE(rgb.Create(1, 1, 24, 0));
    rgb.SetPixelColor(0, 0, RGBQUAD{9, 8, 7, 0});
    rgb.SetBackground(0, RGBQUAD{9, 8, 7, 0});
    EXPECT_TRUE(rgb.IsTransparent(0, 0));
    rgb.SetBackground(-1, RGBQUAD{9, 8, 7, 0});
    EXPECT_FALSE(rgb.IsTransparent(0, 0));
}

TEST(CxImageSources, APictureResourceIsDecodedAndAMissingOneSaysSo) {
    std::vector<std::uint8_t> rgb(8 * 4 * 3);
    for (std::size_t i = 0; i < rgb.size(); i += 3) rgb[i] = 200;
    const auto jpeg = fvt::test::WriteJpeg(8, 4, 3, rgb);
    const fvt::BinaryResource binaries[] = {
        {RT_RCDATA, 7, jpeg.data(), static_cast<DWORD>(jpeg.size())}};
    const fvt::ResourceTable table{nullptr, 0, binaries, 1};
    fvt::SetResourceTable(&table);
    CxImage image;
    const bool loaded = image.LoadResource(nullptr, MAKEINTRESOURCEW(7),
                                           MAKEINTRESOURCEW(RT_RCDATA), CXIMAGE_FORMAT_JPG);
    CxImage missing;
    const bool none = missing.LoadResource(nullptr, MAKEINTRESOURCEW(8),
                                           MAKEINTRESOURCEW(RT_RCDATA), CXIMAGE_FORMAT_JPG);
    fvt::SetResourceTable(nullptr);
    ASSERT_TRUE(loaded) << image.GetLastError();
    EXPECT_EQ(image.GetWidth(), 8u);
    EXPECT_GT(image.GetPixelColor(3, 2).rgbRed, 150);
    EXPECT_FALSE(none);
    EXPECT_STREQ(missing.GetLastError(), "Unable to load resource!");
}

}  // namespace

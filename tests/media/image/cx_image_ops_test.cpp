// The image object's picture operations, each on a picture made in code.
#include <gtest/gtest.h>

#include <vector>

#include "media/image/cx_image.h"

namespace {

RGBQUAD Rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return RGBQUAD{b, g, r, 0};
}

bool Same(RGBQUAD a, RGBQUAD b) {
    return a.rgbRed == b.rgbRed && a.rgbGreen == b.rgbGreen && a.rgbBlue == b.rgbBlue;
}

// A 24-bit picture whose pixel (x, y) has red x * 40 and green y * 40 (y from the bottom).
void Grid(CxImage& image, std::uint32_t w, std::uint32_t h) {
    ASSERT_TRUE(image.Create(w, h, 24, 0));
    for (std::uint32_t y = 0; y < h; ++y)
        for (std::uint32_t x = 0; x < w; ++x)
            image.SetPixelColor(std::int32_t(x), std::int32_t(y),
                                Rgb(std::uint8_t(x * 40), std::uint8_t(y * 40), 7));
}

RGBQUAD At(const CxImage& image, std::int32_t x, std::int32_t y) {
    return image.GetPixelColor(x, y);
}

TEST(CxImageOps, FlipsMirrorAndQuarterTurnsMoveEveryPixel) {
    CxImage image;
    Grid(image, 3, 2);
    CxImage flipped;
    ASSERT_TRUE(flipped.Copy(image, true, false, false));
    ASSERT_TRUE(flipped.Flip());
    EXPECT_TRUE(Same(At(flipped, 2, 0), At(image, 2, 1)));
    ASSERT_TRUE(flipped.Mirror());
    EXPECT_TRUE(Same(At(flipped, 0, 0), At(image, 2, 1)));  // flip + mirror = half turn
    CxImage half;
    ASSERT_TRUE(image.Rotate180(&half));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) EXPECT_TRUE(Same(At(half, x, y), At(flipped, x, y)));
    // A left turn puts the right column on top: 3 x 2 becomes 2 x 3.
    CxImage left;
    ASSERT_TRUE(image.RotateLeft(&left));
    ASSERT_EQ(left.GetWidth(), 2u);
    ASSERT_EQ(left.GetHeight(), 3u);
    EXPECT_TRUE(Same(At(left, 0, 2), At(image, 2, 1)));
    EXPECT_TRUE(Same(At(left, 1, 0), At(image, 0, 0)));
    // And a right turn takes it back; the source is left as it was.
    ASSERT_TRUE(left.RotateRight());
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) EXPECT_TRUE(Same(At(left, x, y), At(image, x, y)));
}

TEST(CxImageOps, PaletteTurnsKeepIndicesAndTheFreeTurnFillsWithTheBackground) {
    CxImage image;
    ASSERT_TRUE(image.Create(4, 2, 4, 0));
    image.SetGrayPalette();  // every pixel is set below
    for (int i = 0; i < 8; ++i) image.SetPixelIndex(i % 4, i / 4, std::uint8_t(i));
    CxImage right;
    ASSERT_TRUE(image.RotateRight(&right));
    EXPECT_EQ(right.GetBpp(), 4u);
    EXPECT_EQ(right.GetPixelIndex(0, 3), image.GetPixelIndex(0, 0));
    // A quarter turn by angle matches the quarter turn of a square picture.
    CxImage square, byAngle, quarter;
    Grid(square, 5, 5);
    ASSERT_TRUE(square.Rotate(90, &byAngle));
    ASSERT_TRUE(square.RotateLeft(&quarter));
    ASSERT_EQ(byAngle.GetWidth(), 5u);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 5; ++x) EXPECT_TRUE(Same(At(byAngle, x, y), At(quarter, x, y)));
    // Turned by 45 degrees the box grows and its corners are the background.
    square.SetBackground(-1, Rgb(1, 2, 3));
    CxImage tilted;
    ASSERT_TRUE(square.Rotate(45, &tilted));
    EXPECT_EQ(tilted.GetWidth(), 7u);
    EXPECT_TRUE(Same(At(tilted, 0, 0), Rgb(1, 2, 3)));
    EXPECT_TRUE(Same(At(tilted, 3, 3), At(square, 2, 2)));
}

TEST(CxImageOps, CropExpandAndThumbnail) {
    CxImage image;
    Grid(image, 4, 3);
    // Columns 1-2 of the top two rows (top-left origin).
    CxImage part;
    ASSERT_TRUE(image.Crop(1, 0, 3, 2, &part));
    ASSERT_EQ(part.GetWidth(), 2u);
    ASSERT_EQ(part.GetHeight(), 2u);
    EXPECT_TRUE(Same(At(part, 0, 1), At(image, 1, 2)));
    EXPECT_TRUE(Same(At(part, 1, 0), At(image, 2, 1)));
    EXPECT_FALSE(image.Crop(3, 1, 3, 2, &part));  // empty
    ASSERT_TRUE(image.Crop(-5, -5, 99, 99, &part));  // cut to the picture
    EXPECT_EQ(part.GetWidth(), 4u);
    // A frame of one pixel left and two at the top, filled.
    CxImage framed;
    ASSERT_TRUE(image.Expand(1, 2, 0, 0, Rgb(9, 9, 9), &framed));
    ASSERT_EQ(framed.GetWidth(), 5u);
    ASSERT_EQ(framed.GetHeight(), 5u);
    EXPECT_TRUE(Same(At(framed, 0, 0), Rgb(9, 9, 9)));
    EXPECT_TRUE(Same(At(framed, 4, 4), Rgb(9, 9, 9)));
    EXPECT_TRUE(Same(At(framed, 1, 0), At(image, 0, 0)));
    // A thumbnail keeps the proportions, centred on the canvas.
    CxImage wide;
    ASSERT_TRUE(wide.Create(40, 10, 24, 0));
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 40; ++x) wide.SetPixelColor(x, y, Rgb(200, 0, 0));
    CxImage thumb;
    ASSERT_TRUE(wide.Thumbnail(20, 20, Rgb(0, 0, 255), &thumb));
    ASSERT_EQ(thumb.GetWidth(), 20u);
    ASSERT_EQ(thumb.GetHeight(), 20u);
    EXPECT_TRUE(Same(At(thumb, 10, 10), Rgb(200, 0, 0)));
    EXPECT_TRUE(Same(At(thumb, 10, 1), Rgb(0, 0, 255)));
    EXPECT_TRUE(Same(At(thumb, 10, 18), Rgb(0, 0, 255)));
}

TEST(CxImageOps, ColourOperations) {
    CxImage image;
    Grid(image, 3, 3);
    ASSERT_TRUE(image.Negative());
    EXPECT_TRUE(Same(At(image, 1, 2), Rgb(255 - 40, 255 - 80, 248)));
    ASSERT_TRUE(image.Negative());
    ASSERT_TRUE(image.GrayScale());
    EXPECT_EQ(image.GetBpp(), 8u);
    EXPECT_EQ(image.GetPixelIndex(2, 1), CxImage::RGB2GRAY(80, 40, 7));
    // Depth up keeps every colour.
    CxImage mono;
    ASSERT_TRUE(mono.Create(9, 1, 1, 0));
    const RGBQUAD bw[2] = {Rgb(0, 0, 0), Rgb(250, 250, 250)};
    mono.SetPalette(bw, 2);
    for (int x = 0; x < 9; ++x) mono.SetPixelIndex(x, 0, 0);
    mono.SetPixelIndex(4, 0, 1);
    ASSERT_TRUE(mono.IncreaseBpp(24));
    EXPECT_EQ(mono.GetBpp(), 24u);
    EXPECT_TRUE(Same(At(mono, 4, 0), Rgb(250, 250, 250)));
    EXPECT_TRUE(Same(At(mono, 3, 0), Rgb(0, 0, 0)));
    EXPECT_FALSE(mono.IncreaseBpp(5));
    // Ordered dithering of a mid grey lights about half of the pixels, of white all of them.
    CxImage grey;
    ASSERT_TRUE(grey.Create(8, 8, 24, 0));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) grey.SetPixelColor(x, y, Rgb(128, 128, 128));
    ASSERT_TRUE(grey.Dither());
    ASSERT_EQ(grey.GetBpp(), 1u);
    int lit = 0;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) lit += grey.GetPixelIndex(x, y);
    EXPECT_EQ(lit, 32);
}

TEST(CxImageOps, PaletteBlendSwapAndLines) {
    CxImage image;
    ASSERT_TRUE(image.Create(4, 4, 1, 0));
    const RGBQUAD palette[2] = {Rgb(0, 0, 0), Rgb(200, 100, 0)};
    image.SetPalette(palette, 2);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) image.SetPixelIndex(x, y, 0);  // Create leaves them as found
    image.SetPixelIndex(1, 1, 1);
    ASSERT_TRUE(image.SwapIndex(0, 1));
    EXPECT_EQ(image.GetPixelIndex(1, 1), 0);
    EXPECT_EQ(image.GetPixelIndex(0, 0), 1);
    EXPECT_TRUE(Same(At(image, 1, 1), Rgb(200, 100, 0)));  // the same colours show
    EXPECT_FALSE(image.SwapIndex(0, 2));  // a 1-bit picture has two entries
    image.BlendPalette(Rgb(100, 100, 100), 50);
    EXPECT_TRUE(Same(image.GetPaletteColor(0), Rgb(150, 100, 50)));
    CxImage canvas;
    Grid(canvas, 5, 5);
    canvas.DrawLine(0, 0, 4, 4, Rgb(1, 1, 1));
    canvas.DrawLine(-3, 2, 10, 2, Rgb(2, 2, 2));  // cut to the picture
    for (int i = 0; i < 5; ++i) {
        if (i != 2) {
            EXPECT_TRUE(Same(At(canvas, i, i), Rgb(1, 1, 1)));
        }
        EXPECT_TRUE(Same(At(canvas, i, 2), Rgb(2, 2, 2)));
    }
}

TEST(CxImageOps, BicubicResamplingIsSmoothAndKeepsFlatColour) {
    CxImage flat;
    ASSERT_TRUE(flat.Create(6, 6, 24, 0));
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 6; ++x) flat.SetPixelColor(x, y, Rgb(90, 120, 30));
    CxImage big;
    ASSERT_TRUE(flat.Resample(15, 9, 2, &big));
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 15; ++x) EXPECT_TRUE(Same(At(big, x, y), Rgb(90, 120, 30)));
    // A black to white step becomes a ramp that only rises, with values between the two.
    CxImage step;
    ASSERT_TRUE(step.Create(4, 1, 24, 0));
    for (int x = 0; x < 4; ++x)
        step.SetPixelColor(x, 0, x < 2 ? Rgb(0, 0, 0) : Rgb(255, 255, 255));
    CxImage ramp;
    ASSERT_TRUE(step.Resample(16, 1, 2, &ramp));
    int between = 0;
    for (int x = 1; x < 16; ++x) {
        EXPECT_GE(At(ramp, x, 0).rgbRed, At(ramp, x - 1, 0).rgbRed) << x;
        const int v = At(ramp, x, 0).rgbRed;
        between += v > 10 && v < 245 ? 1 : 0;
    }
    EXPECT_GE(between, 3);
}

}  // namespace

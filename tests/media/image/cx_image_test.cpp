// The image object and the memory file.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "media/image/cx_file.h"
#include "media/image/cx_image.h"
#include "platform/gdi.h"
#include "support/platform/temp_folder.h"

TEST(CxImageCreate, BitsStrideAndHeader) {
    CxImage image;
    ASSERT_NE(image.Create(5, 2, 2, 0), nullptr);
    EXPECT_EQ(image.GetBpp(), 4u);
    EXPECT_EQ(image.GetPaletteSize(), 64u);
    ASSERT_NE(image.Create(3, 2, 16, 0), nullptr);
    EXPECT_EQ(image.GetBpp(), 24u);
    EXPECT_EQ(image.GetEffWidth(), 12u);
    EXPECT_EQ(image.GetPalette(), nullptr);
    ASSERT_NE(image.Create(33, 2, 1, 0), nullptr);
    EXPECT_EQ(image.GetEffWidth(), 8u);
    EXPECT_EQ(image.GetSize(), 40u + 8u + 16u);
    auto* head = static_cast<const BITMAPINFOHEADER*>(image.GetDIB());
    EXPECT_EQ(head->biSize, 40u);
    EXPECT_EQ(head->biClrUsed, 2u);
    EXPECT_EQ(head->biXPelsPerMeter, 3780);
    // Pixels start cleared.
    for (std::uint32_t i = 0; i < 16; ++i) EXPECT_EQ(image.GetBits()[i], 0);
}

TEST(CxImageCreate, OversizeAndZeroAreRefused) {
    CxImage image;
    EXPECT_EQ(image.Create(0, 5, 24, 0), nullptr);
    EXPECT_EQ(image.Create(65535, 65535, 24, 0), nullptr);
    EXPECT_STREQ(image.GetLastError(), "CXIMAGE_MAX_MEMORY exceeded");
    EXPECT_FALSE(image.IsValid());
    EXPECT_EQ(image.GetBits(), nullptr);
}

TEST(CxImagePixels, IndexAccessAtEachDepth) {
    for (std::uint32_t bits : {1u, 4u, 8u}) {
        CxImage image;
        ASSERT_NE(image.Create(9, 3, bits, 0), nullptr);
        std::uint8_t max = std::uint8_t((1u << bits) - 1);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 9; ++x) image.SetPixelIndex(x, y, std::uint8_t((x + y) & max));
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 9; ++x) EXPECT_EQ(image.GetPixelIndex(x, y), (x + y) & max);
        // Too wide an index never touches the neighbour.
        image.SetPixelIndex(4, 1, 0xFF);
        EXPECT_EQ(image.GetPixelIndex(3, 1), 4 & max);
        EXPECT_EQ(image.GetPixelIndex(5, 1), 6 & max);
        // Outside: the first pixel byte, or the background index.
        image.SetPixelIndex(100, 0, 1);
        EXPECT_EQ(image.GetPixelIndex(-1, 0), image.GetBits()[0]);
        image.SetBackground(1, RGBQUAD{});
        EXPECT_EQ(image.GetPixelIndex(9, 0), 1);
    }
}

TEST(CxImagePixels, RowZeroIsTheBottomRow) {
    CxImage image;
    ASSERT_NE(image.Create(2, 2, 24, 0), nullptr);
    image.SetPixelColor(1, 0, RGBQUAD{1, 2, 3, 0});
    const std::uint8_t* row0 = image.GetBits(0);
    EXPECT_EQ(row0[3], 1);
    EXPECT_EQ(row0[5], 3);
    EXPECT_EQ(image.GetBits(1), row0 + 8);
    EXPECT_EQ(image.GetBits(2), nullptr);
    RGBQUAD c = image.GetPixelColor(7, 7);  // outside, no background: pixel (0, 0)
    EXPECT_EQ(c.rgbRed, 0);
}

TEST(CxImageNearest, CacheAndFirstOfEqualDistances) {
    CxImage image;
    ASSERT_NE(image.Create(2, 2, 4, 0), nullptr);
    RGBQUAD pal[3] = {{0, 0, 10, 0}, {0, 0, 30, 0}, {0, 0, 20, 0}};
    image.SetPalette(pal, 3);
    EXPECT_EQ(image.GetNearestIndex(RGBQUAD{0, 0, 25, 0}), 1);  // 30 and 20 tie: first wins
    EXPECT_EQ(image.NearestScans(), 1u);
    EXPECT_EQ(image.GetNearestIndex(RGBQUAD{0, 0, 25, 0}), 1);
    EXPECT_EQ(image.NearestScans(), 1u);
    image.SetPaletteColor(2, RGBQUAD{0, 0, 25, 0});
    EXPECT_EQ(image.GetNearestIndex(RGBQUAD{0, 0, 25, 0}), 2);
    EXPECT_EQ(image.NearestScans(), 2u);
}

TEST(CxImageNearest, GreyPaletteAndQuantizer) {
    CxImage image;
    ASSERT_NE(image.Create(2, 2, 4, 0), nullptr);
    image.SetGrayPalette();
    EXPECT_EQ(image.GetPaletteColor(1).rgbRed, 17);
    EXPECT_EQ(image.GetPaletteColor(15).rgbBlue, 255);
    CxImage rgb;
    ASSERT_NE(rgb.Create(2, 2, 24, 0), nullptr);
    rgb.SetGrayPalette();  // no palette: nothing happens
    auto* q = new ColorQuantizer;
    image.SetQuantizer(q);
    EXPECT_EQ(image.GetNearestIndex(RGBQUAD{1, 2, 3, 0}), 255);  // empty tree: -1 as a byte
}

TEST(CxImageDepth, DecreaseToEightBitsKeepsColours) {
    CxImage image;
    ASSERT_NE(image.Create(4, 4, 24, 0), nullptr);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            image.SetPixelColor(x, y, RGBQUAD{std::uint8_t(x * 60), 0, std::uint8_t(y * 60), 0});
    ASSERT_TRUE(image.DecreaseBpp8(256));
    EXPECT_EQ(image.GetBpp(), 8u);
    RGBQUAD c = image.GetPixelColor(3, 2);
    EXPECT_EQ(c.rgbBlue, 180);
    EXPECT_EQ(c.rgbRed, 120);
}

TEST(CxImageResample, NearestTakesEveryOtherPixel) {
    CxImage image;
    ASSERT_NE(image.Create(100, 100, 8, 0), nullptr);
    RGBQUAD pal[256];
    for (int i = 0; i < 256; ++i)
        pal[i] = RGBQUAD{std::uint8_t(i), std::uint8_t(i), std::uint8_t(i), 0};
    image.SetPalette(pal, 256);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x) image.SetPixelIndex(x, y, std::uint8_t((x + 2 * y) & 0xFF));
    ASSERT_TRUE(image.Resample(50, 50, 1, nullptr));
    ASSERT_EQ(image.GetWidth(), 50u);
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 50; ++x) ASSERT_EQ(image.GetPixelIndex(x, y), (2 * x + 4 * y) & 0xFF);
    EXPECT_FALSE(image.Resample(0, 5, 1, nullptr));
    CxImage copy;
    ASSERT_TRUE(image.Resample(50, 50, 1, &copy));
    EXPECT_EQ(copy.GetPixelIndex(3, 3), image.GetPixelIndex(3, 3));
}

TEST(CxImageTransfer, ReplacesContentAndEmptiesTheSource) {
    CxImage a, b;
    ASSERT_NE(a.Create(4, 4, 24, 0), nullptr);
    ASSERT_NE(b.Create(8, 8, 8, 0), nullptr);
    ASSERT_TRUE(b.Transfer(a));  // b's old block is freed (LeakSanitizer watches)
    EXPECT_EQ(b.GetWidth(), 4u);
    EXPECT_FALSE(a.IsValid());
    EXPECT_EQ(a.GetBits(), nullptr);
}

TEST(CxImageDevice, TileAndBitmapReadBack) {
    CxImage image;
    ASSERT_NE(image.Create(3, 2, 24, 0), nullptr);
    image.SetPixelColor(0, 1, RGBQUAD{0, 0, 255, 0});  // top-left red
    image.SetPixelColor(2, 0, RGBQUAD{255, 0, 0, 0});  // bottom-right blue
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bm = CreateCompatibleBitmap(dc, 10, 10);
    HGDIOBJ old = SelectObject(dc, bm);
    PatBlt(dc, 0, 0, 10, 10, WHITENESS);
    ASSERT_TRUE(image.TileToDC(dc, 4, 5));
    EXPECT_EQ(GetPixel(dc, 4, 5), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(dc, 6, 6), RGB(0, 0, 255));
    EXPECT_EQ(GetPixel(dc, 7, 5), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(dc, 3, 5), RGB(255, 255, 255));
    EXPECT_EQ(image.MakeBitmap(dc), nullptr);
    HBITMAP copy = image.MakeBitmap(nullptr);
    ASSERT_NE(copy, nullptr);
    HDC other = CreateCompatibleDC(nullptr);
    HGDIOBJ old2 = SelectObject(other, copy);
    EXPECT_EQ(GetPixel(other, 0, 0), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(other, 2, 1), RGB(0, 0, 255));
    SelectObject(other, old2);
    DeleteObject(copy);
    DeleteDC(other);
    SelectObject(dc, old);
    DeleteObject(bm);
    DeleteDC(dc);
    image.Enable(false);
    EXPECT_FALSE(image.TileToDC(dc, 0, 0));
}

TEST(CxImageDecode, UnknownDataRestoresThePosition) {
    std::uint8_t junk[64] = {'n', 'o', 't', ' ', 'j', 'p', 'e', 'g'};
    CxMemFile file(junk, sizeof junk);
    file.Seek(3, 0);
    CxImage image;
    EXPECT_FALSE(image.Decode(&file, 0));
    EXPECT_STREQ(image.GetLastError(), "Decode: Unknown or wrong format");
    EXPECT_EQ(file.Tell(), 3);
    EXPECT_FALSE(image.Decode(&file, 7));
    EXPECT_FALSE(image.DecodeMemory(junk, sizeof junk, 1));
    EXPECT_STRNE(image.GetLastError(), "Decode: Unknown or wrong format");
}

TEST(CxMemFile, ReadSeekAndState) {
    std::uint8_t data[20];
    for (int i = 0; i < 20; ++i) data[i] = std::uint8_t(i);
    CxMemFile f(data, 20);
    ASSERT_TRUE(f.Seek(14, 0));
    std::uint8_t out[40] = {};
    EXPECT_EQ(f.Read(out, 4, 10), 1u);
    EXPECT_EQ(out[5], 19);
    EXPECT_TRUE(f.Eof());
    EXPECT_EQ(f.Error(), 0);
    EXPECT_FALSE(f.Seek(-1, 0));
    EXPECT_EQ(f.Tell(), 20);
    EXPECT_TRUE(f.Seek(0, 2));
    EXPECT_EQ(f.Tell(), 20);
    EXPECT_TRUE(f.Seek(5, 1));
    EXPECT_EQ(f.Error(), 1);
    EXPECT_EQ(f.GetC(), -1);
    EXPECT_EQ(f.Read(out, 1, 1), 0u);
    CxMemFile none(nullptr, 50);
    EXPECT_EQ(none.Size(), -1);
    EXPECT_EQ(none.Capacity(), 0);
    EXPECT_TRUE(none.Eof());
}

TEST(CxMemFile, WritesCopyABorrowedBuffer) {
    std::uint8_t data[100] = {};
    CxMemFile f(data, 100);
    ASSERT_TRUE(f.Seek(100, 0));
    EXPECT_TRUE(f.PutC(7));
    EXPECT_EQ(f.Capacity(), 4196);
    EXPECT_TRUE(f.Owned());
    EXPECT_EQ(f.Size(), 101);
    std::uint8_t small[4] = {1, 2, 3, 4};
    CxMemFile g(small, 4);
    ASSERT_EQ(g.Write("\x09", 1, 1), 1u);
    EXPECT_EQ(small[0], 1);  // the caller's bytes never change
    EXPECT_EQ(g.Data()[0], 9);
    EXPECT_EQ(g.Data()[3], 4);
    CxMemFile owned;
    EXPECT_EQ(owned.Write("abc", 1, 3), 3u);
    EXPECT_EQ(owned.Size(), 3);
    EXPECT_TRUE(owned.Seek(0, 0));
    EXPECT_EQ(owned.GetC(), 'a');
}

// A stream's size past 2 GB is refused (-1), never wrapped into a small or negative size that
// a reader would take for the whole file. The file is sparse: nothing is written to the disk.
TEST(CxIOFile, SizeIsRefusedPastTheThirtyTwoBitRange) {
    fvt::test::TempFolder folder;
    ASSERT_FALSE(folder.Path().empty());
    const std::string path = folder.File("cx_io_file_size.bin");
    std::FILE* stream = std::fopen(path.c_str(), "w+b");
    ASSERT_NE(stream, nullptr);
    CxIOFile file(stream, true);
    ASSERT_EQ(file.Write("abc", 1, 3), 3u);
    ASSERT_TRUE(file.Flush());
    EXPECT_EQ(file.Size(), 3);
    EXPECT_EQ(file.Tell(), 3);  // the position is kept
    for (off_t size : {off_t(0x7FFFFFFF), off_t(0x80000000), off_t(5) << 30}) {
        ASSERT_EQ(ftruncate(fileno(stream), size), 0);
        EXPECT_EQ(file.Size(), size > 0x7FFFFFFF ? -1 : std::int32_t(size)) << size;
    }
    file.Close();
}

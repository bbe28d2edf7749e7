#include <cstdint>

#include "gdi_fixture.h"
#include "platform/last_error.h"

using namespace gdi_test;

namespace {

struct Dib {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ old = nullptr;
    std::uint8_t* bits = nullptr;
    explicit Dib(const DibInfo& info) {
        dc = CreateCompatibleDC(nullptr);
        void* p = nullptr;
        bitmap = CreateDIBSection(dc, AsInfo(info), DIB_RGB_COLORS, &p, nullptr, 0);
        bits = static_cast<std::uint8_t*>(p);
        if (bitmap) old = SelectObject(dc, bitmap);
    }
    ~Dib() {
        if (bitmap) {
            SelectObject(dc, old);
            DeleteObject(bitmap);
        }
        DeleteDC(dc);
    }
};

DibInfo WithMasks(DibInfo info, DWORD r, DWORD g, DWORD b) {
    DWORD* masks = reinterpret_cast<DWORD*>(info.colors);
    masks[0] = r;
    masks[1] = g;
    masks[2] = b;
    return info;
}

}  // namespace

TEST(DibSection, RowOrderFollowsTheSignOfTheHeight) {
    Dib bottomUp(MakeInfo(3, 2, 32));
    Dib topDown(MakeInfo(3, -2, 32));
    ASSERT_TRUE(bottomUp.bitmap && topDown.bitmap);
    SetPixel(bottomUp.dc, 0, 0, RGB(1, 2, 3));
    SetPixel(topDown.dc, 0, 0, RGB(1, 2, 3));
    // Bottom-up: row 0 is stored last. Pixels are B, G, R, X.
    EXPECT_EQ(bottomUp.bits[12 + 0], 3);
    EXPECT_EQ(bottomUp.bits[12 + 2], 1);
    EXPECT_EQ(topDown.bits[0], 3);
    EXPECT_EQ(topDown.bits[2], 1);
}

TEST(DibSection, BitsAreSharedWithTheDc) {
    Dib dib(MakeInfo(2, -2, 24));
    ASSERT_TRUE(dib.bitmap);
    // Stride of 2 pixels of 3 bytes is rounded up to 8.
    std::uint8_t* row1 = dib.bits + 8;
    row1[3] = 0x30;  // blue of (1, 1)
    row1[4] = 0x20;
    row1[5] = 0x10;
    EXPECT_EQ(GetPixel(dib.dc, 1, 1), RGB(0x10, 0x20, 0x30));
    BITMAP bm{};
    ASSERT_EQ(GetObjectW(dib.bitmap, sizeof(bm), &bm), static_cast<int>(sizeof(bm)));
    EXPECT_EQ(bm.bmWidthBytes, 8);
    EXPECT_EQ(bm.bmBits, dib.bits);
}

TEST(DibSection, PalettedFormatsStoreIndexes) {
    DibInfo info = MakeInfo(9, -1, 1);
    info.colors[0] = RGBQUAD{0, 0, 0, 0};
    info.colors[1] = RGBQUAD{0, 0, 255, 0};  // red
    Dib mono(info);
    ASSERT_TRUE(mono.bitmap);
    SetPixel(mono.dc, 0, 0, RGB(250, 0, 0));
    SetPixel(mono.dc, 8, 0, RGB(255, 0, 0));
    EXPECT_EQ(mono.bits[0], 0x80);
    EXPECT_EQ(mono.bits[1], 0x80);
    EXPECT_EQ(GetPixel(mono.dc, 0, 0), kRed);

    DibInfo info4 = MakeInfo(3, -1, 4, BI_RGB, 3);
    info4.colors[2] = RGBQUAD{255, 0, 0, 0};  // blue
    Dib nibble(info4);
    ASSERT_TRUE(nibble.bitmap);
    SetPixel(nibble.dc, 1, 0, kBlue);
    EXPECT_EQ(nibble.bits[0], 0x02);

    DibInfo info8 = MakeInfo(4, -1, 8, BI_RGB, 2);
    info8.colors[1] = RGBQUAD{0, 255, 0, 0};
    Dib byte(info8);
    ASSERT_TRUE(byte.bitmap);
    byte.bits[3] = 1;
    EXPECT_EQ(GetPixel(byte.dc, 3, 0), RGB(0, 255, 0));
    RGBQUAD table[2]{};
    EXPECT_EQ(GetDIBColorTable(byte.dc, 0, 2, table), 2u);
    EXPECT_EQ(table[1].rgbGreen, 255);
    RGBQUAD red{0, 0, 255, 0};
    EXPECT_EQ(SetDIBColorTable(byte.dc, 1, 1, &red), 1u);
    EXPECT_EQ(GetPixel(byte.dc, 3, 0), kRed);
}

TEST(DibSection, SixteenBitLayoutsFollowTheMasks) {
    Dib rgb565(WithMasks(MakeInfo(1, -1, 16, BI_BITFIELDS), 0xF800, 0x07E0, 0x001F));
    Dib rgb555(MakeInfo(1, -1, 16));
    ASSERT_TRUE(rgb565.bitmap && rgb555.bitmap);
    SetPixel(rgb565.dc, 0, 0, RGB(255, 0, 0));
    SetPixel(rgb555.dc, 0, 0, RGB(255, 0, 0));
    EXPECT_EQ(rgb565.bits[0] | (rgb565.bits[1] << 8), 0xF800);
    EXPECT_EQ(rgb555.bits[0] | (rgb555.bits[1] << 8), 0x7C00);
    SetPixel(rgb565.dc, 0, 0, RGB(0, 255, 0));
    EXPECT_EQ(rgb565.bits[0] | (rgb565.bits[1] << 8), 0x07E0);
    EXPECT_EQ(GetPixel(rgb565.dc, 0, 0), RGB(0, 255, 0));
    // Fills and copies into 16-bit surfaces encode the same way.
    RECT r{0, 0, 1, 1};
    FillRect(rgb565.dc, &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    EXPECT_EQ(rgb565.bits[0] | (rgb565.bits[1] << 8), 0xFFFF);
    BitBlt(rgb555.dc, 0, 0, 1, 1, rgb565.dc, 0, 0, SRCCOPY);
    EXPECT_EQ(rgb555.bits[0] | (rgb555.bits[1] << 8), 0x7FFF);
}

TEST(DibSection, ImpossibleHeadersAreRefused) {
    void* bits = reinterpret_cast<void*>(1);
    auto refused = [&](DibInfo info) {
        bits = reinterpret_cast<void*>(1);
        HBITMAP b = CreateDIBSection(nullptr, AsInfo(info), DIB_RGB_COLORS, &bits, nullptr, 0);
        bool ok = b == nullptr && bits == nullptr;
        if (b) DeleteObject(b);
        return ok;
    };
    EXPECT_TRUE(refused(MakeInfo(0, 4, 32)));
    EXPECT_TRUE(refused(MakeInfo(-4, 4, 32)));
    EXPECT_TRUE(refused(MakeInfo(4, 0, 32)));
    EXPECT_TRUE(refused(MakeInfo(4, 4, 7)));
    EXPECT_TRUE(refused(MakeInfo(4, 4, 8, BI_RGB, 257)));
    EXPECT_TRUE(refused(MakeInfo(4, 4, 1, BI_RGB, 3)));
    EXPECT_TRUE(refused(MakeInfo(4, 4, 24, BI_BITFIELDS)));
    EXPECT_TRUE(refused(WithMasks(MakeInfo(4, 4, 16, BI_BITFIELDS), 0xF000, 0x0F00, 0x00FF)));
    EXPECT_TRUE(refused(MakeInfo(1 << 20, 1 << 20, 32)));
    EXPECT_TRUE(refused(MakeInfo(0x7FFFFFFF, 1, 32)));
    DibInfo planes = MakeInfo(4, 4, 32);
    planes.header.biPlanes = 2;
    EXPECT_TRUE(refused(planes));
    DibInfo tiny = MakeInfo(4, 4, 32);
    tiny.header.biSize = 12;
    EXPECT_TRUE(refused(tiny));
    EXPECT_EQ(CreateDIBSection(nullptr, nullptr, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
}

TEST(DibSection, TheImageRowHeaderOfAPalettedPicture) {
    // A one-row 8-bit DIB with a 256-entry table, as picture decoders build.
    DibInfo info = MakeInfo(5, 1, 8, BI_RGB, 2);
    info.colors[0] = RGBQUAD{0, 0, 0, 0};
    info.colors[1] = RGBQUAD{255, 255, 255, 0};
    static_assert(sizeof(DibInfo) == 1064);
    Dib row(info);
    ASSERT_TRUE(row.bitmap);
    row.bits[2] = 1;
    EXPECT_EQ(GetPixel(row.dc, 2, 0), kWhite);
    EXPECT_EQ(GetPixel(row.dc, 1, 0), kBlack);
}

TEST(CompatibleBitmap, BadSizesFail) {
    EXPECT_EQ(CreateCompatibleBitmap(nullptr, 0, 10), nullptr);
    EXPECT_EQ(CreateCompatibleBitmap(nullptr, 10, -1), nullptr);
    EXPECT_EQ(CreateCompatibleBitmap(nullptr, 100000, 100000), nullptr);
    HBITMAP b = CreateCompatibleBitmap(nullptr, 3, 2);
    ASSERT_NE(b, nullptr);
    BITMAP bm{};
    GetObjectW(b, sizeof(bm), &bm);
    EXPECT_EQ(bm.bmWidth, 3);
    EXPECT_EQ(bm.bmHeight, 2);
    EXPECT_EQ(bm.bmBitsPixel, 32);
    EXPECT_TRUE(DeleteObject(b));
}

TEST(CompatibleBitmap, MonochromeBitmapFromBits) {
    const std::uint8_t rows[4] = {0xA0, 0x00, 0x40, 0x00};  // 16-bit padded rows
    HBITMAP b = CreateBitmap(3, 2, 1, 1, rows);
    ASSERT_NE(b, nullptr);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, b);
    EXPECT_EQ(GetPixel(dc, 0, 0), kWhite);
    EXPECT_EQ(GetPixel(dc, 1, 0), kBlack);
    EXPECT_EQ(GetPixel(dc, 1, 1), kWhite);
    SelectObject(dc, old);
    DeleteObject(b);
    DeleteDC(dc);
}

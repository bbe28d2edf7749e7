#include <algorithm>
#include <string>
#include <vector>

#include "gdi_fixture.h"
#include "platform/gdi/gdi_layer.h"
#include "support/platform/temp_device.h"

using namespace gdi_test;

namespace {

// A memory DC over a DIB section of any format.
struct Source {
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ old;
    void* bits = nullptr;
    explicit Source(const DibInfo& info) {
        dc = CreateCompatibleDC(nullptr);
        bitmap = CreateDIBSection(dc, AsInfo(info), DIB_RGB_COLORS, &bits, nullptr, 0);
        old = SelectObject(dc, bitmap);
    }
    ~Source() {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
};

}  // namespace

TEST(Blit, CopiesFromEveryFormatIntoTheScreenFormat) {
    DibInfo pal = MakeInfo(2, -1, 8, BI_RGB, 2);
    pal.colors[1] = RGBQUAD{0, 0, 255, 0};
    Source p8(pal);
    static_cast<std::uint8_t*>(p8.bits)[1] = 1;
    DibInfo info565 = MakeInfo(2, -1, 16, BI_BITFIELDS);
    reinterpret_cast<DWORD*>(info565.colors)[0] = 0xF800;
    reinterpret_cast<DWORD*>(info565.colors)[1] = 0x07E0;
    reinterpret_cast<DWORD*>(info565.colors)[2] = 0x001F;
    Source p16(info565);
    static_cast<std::uint16_t*>(p16.bits)[1] = 0xF800;
    Source p24(MakeInfo(2, -1, 24));
    static_cast<std::uint8_t*>(p24.bits)[5] = 0xFF;
    DibInfo mono = MakeInfo(2, -1, 1);
    mono.colors[1] = RGBQUAD{255, 255, 255, 0};
    Source p1(mono);
    static_cast<std::uint8_t*>(p1.bits)[0] = 0x40;

    Canvas c(2, 4);
    c.Clear(kBlue);
    EXPECT_TRUE(BitBlt(c.dc(), 0, 0, 2, 1, p8.dc, 0, 0, SRCCOPY));
    EXPECT_TRUE(BitBlt(c.dc(), 0, 1, 2, 1, p16.dc, 0, 0, SRCCOPY));
    EXPECT_TRUE(BitBlt(c.dc(), 0, 2, 2, 1, p24.dc, 0, 0, SRCCOPY));
    EXPECT_TRUE(BitBlt(c.dc(), 0, 3, 2, 1, p1.dc, 0, 0, SRCCOPY));
    for (int y = 0; y < 3; ++y) EXPECT_EQ(c.Row(y, kRed), ".#") << y;
    EXPECT_EQ(c.Row(3, kWhite), ".#");
    EXPECT_EQ(c.Row(3, kBlack), "#.");
}

TEST(Blit, IntoAPalettedDibPicksTheNearestEntry) {
    DibInfo pal = MakeInfo(2, -1, 4, BI_RGB, 2);
    pal.colors[0] = RGBQUAD{0, 0, 0, 0};
    pal.colors[1] = RGBQUAD{255, 255, 255, 0};
    Source p4(pal);
    Canvas c(2, 1);
    SetPixel(c.dc(), 0, 0, RGB(30, 30, 30));
    SetPixel(c.dc(), 1, 0, RGB(220, 220, 220));
    BitBlt(p4.dc, 0, 0, 2, 1, c.dc(), 0, 0, SRCCOPY);
    EXPECT_EQ(static_cast<std::uint8_t*>(p4.bits)[0], 0x01);
}

TEST(Blit, NeverWritesOutsideTheDestinationOrReadsOutsideTheSource) {
    Canvas src(3, 3);
    src.Clear(kRed);
    Canvas c(4, 4);
    EXPECT_TRUE(BitBlt(c.dc(), -2, -2, 100, 100, src.dc(), 0, 0, SRCCOPY));
    EXPECT_EQ(c.Row(0, kRed), "#...");
    EXPECT_EQ(c.Row(1, kRed), "....");
    c.Clear(kWhite);
    EXPECT_TRUE(BitBlt(c.dc(), 0, 0, 4, 4, src.dc(), 2, -1, SRCCOPY));
    EXPECT_EQ(c.Row(0, kRed), "....");
    EXPECT_EQ(c.Row(1, kRed), "#...");
    EXPECT_EQ(c.Row(3, kRed), "#...");
}

TEST(Blit, OverlappingCopiesWithinOneSurfaceReadTheOriginal) {
    Canvas c(5, 1);
    for (int x = 0; x < 5; ++x) SetPixel(c.dc(), x, 0, RGB(x, 0, 0));
    BitBlt(c.dc(), 1, 0, 4, 1, c.dc(), 0, 0, SRCCOPY);
    for (int x = 1; x < 5; ++x) EXPECT_EQ(c.At(x, 0), RGB(x - 1, 0, 0));
}

TEST(Blit, MissingSourceFailsAndDrawsNothing) {
    Canvas c(2, 2);
    EXPECT_FALSE(BitBlt(c.dc(), 0, 0, 2, 2, nullptr, 0, 0, SRCCOPY));
    EXPECT_FALSE(BitBlt(nullptr, 0, 0, 2, 2, c.dc(), 0, 0, SRCCOPY));
    EXPECT_EQ(c.Count(kWhite), 4);
}

TEST(Blit, RasterOperationsCombineSourceAndDestination) {
    Canvas src(3, 1);
    src.Clear(RGB(0x0F, 0xF0, 0x00));
    Canvas c(3, 1);
    c.Clear(RGB(0xFF, 0x0F, 0x00));
    BitBlt(c.dc(), 0, 0, 1, 1, src.dc(), 0, 0, SRCINVERT);
    BitBlt(c.dc(), 1, 0, 1, 1, src.dc(), 0, 0, SRCAND);
    BitBlt(c.dc(), 2, 0, 1, 1, src.dc(), 0, 0, NOTSRCCOPY);
    EXPECT_EQ(c.At(0, 0), RGB(0xF0, 0xFF, 0x00));
    EXPECT_EQ(c.At(1, 0), RGB(0x0F, 0x00, 0x00));
    EXPECT_EQ(c.At(2, 0), RGB(0xF0, 0x0F, 0xFF));
}

TEST(Stretch, NearestPixelDoublesAndHalves) {
    Canvas src(2, 1);
    SetPixel(src.dc(), 1, 0, kRed);
    Canvas c(4, 2);
    EXPECT_TRUE(StretchBlt(c.dc(), 0, 0, 4, 2, src.dc(), 0, 0, 2, 1, SRCCOPY));
    EXPECT_EQ(c.Row(0, kRed), "..##");
    EXPECT_EQ(c.Row(1, kRed), "..##");
    Canvas half(2, 1);
    StretchBlt(half.dc(), 0, 0, 2, 1, c.dc(), 0, 0, 4, 2, SRCCOPY);
    EXPECT_EQ(half.Row(0, kRed), ".#");
}

// Shrinking keeps one pixel in n no more: each pixel is the average of the area it covers, so
// a one-pixel line between the pixels once kept still shows.
TEST(Stretch, ShrinkingAveragesTheAreaEachPixelCovers) {
    Canvas src(6, 3);
    src.Clear(RGB(255, 255, 255));
    for (int y = 0; y < 3; ++y) SetPixel(src.dc(), 1, y, RGB(0, 0, 0));
    Canvas c(2, 1);
    EXPECT_TRUE(StretchBlt(c.dc(), 0, 0, 2, 1, src.dc(), 0, 0, 6, 3, SRCCOPY));
    // A third of the first pixel's area is black; none of the second's.
    EXPECT_EQ(GetPixel(c.dc(), 0, 0), RGB(170, 170, 170));
    EXPECT_EQ(GetPixel(c.dc(), 1, 0), RGB(255, 255, 255));
    // Not a whole number of pixels: 5 to 2, the middle pixel shared by both halves.
    Canvas odd(5, 1);
    odd.Clear(RGB(255, 255, 255));
    SetPixel(odd.dc(), 2, 0, RGB(0, 0, 0));
    Canvas two(2, 1);
    StretchBlt(two.dc(), 0, 0, 2, 1, odd.dc(), 0, 0, 5, 1, SRCCOPY);
    EXPECT_EQ(GetPixel(two.dc(), 0, 0), RGB(204, 204, 204));
    EXPECT_EQ(GetPixel(two.dc(), 1, 0), RGB(204, 204, 204));
}

TEST(Stretch, NegativeWidthMirrors) {
    Canvas src(3, 1);
    SetPixel(src.dc(), 0, 0, kRed);
    Canvas c(3, 1);
    StretchBlt(c.dc(), 3, 0, -3, 1, src.dc(), 0, 0, 3, 1, SRCCOPY);
    EXPECT_EQ(c.Row(0, kRed), "..#");
}

TEST(TransparentCopy, SkipsTheKeyColourFromADcOrABitmap) {
    Canvas src(3, 1);
    src.Clear(RGB(1, 2, 3));
    SetPixel(src.dc(), 1, 0, kRed);
    Canvas c(6, 1);
    c.Clear(kBlue);
    EXPECT_TRUE(TransparentImage(c.dc(), 0, 0, 3, 1, src.dc(), 0, 0, 3, 1, RGB(1, 2, 3)));
    EXPECT_EQ(c.Row(0, kRed), ".#....");
    EXPECT_EQ(c.Row(0, kBlue), "#.####");
    // Stretched, and the source given as a bitmap.
    Canvas bitmapSource(3, 1);
    bitmapSource.Clear(RGB(1, 2, 3));
    SetPixel(bitmapSource.dc(), 2, 0, kRed);
    c.Clear(kBlue);
    EXPECT_TRUE(
        TransparentImage(c.dc(), 0, 0, 6, 1, bitmapSource.bitmap(), 0, 0, 3, 1, RGB(1, 2, 3)));
    EXPECT_EQ(c.Row(0, kRed), "....##");
}

TEST(TransparentCopy, KeyMatchesAfterTheSourceFormatRoundsIt) {
    DibInfo info = MakeInfo(2, -1, 16);  // 555
    Source s(info);
    SetPixel(s.dc, 0, 0, RGB(255, 0, 255));
    SetPixel(s.dc, 1, 0, kRed);
    Canvas c(2, 1);
    TransparentImage(c.dc(), 0, 0, 2, 1, s.dc, 0, 0, 2, 1, RGB(253, 1, 254));
    EXPECT_EQ(c.Row(0, kRed), ".#");
    EXPECT_EQ(c.At(0, 0), kWhite);
}

TEST(Scroll, MovesPixelsInsideTheRectangleAndReportsTheUncoveredStrip) {
    Canvas c(6, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x) SetPixel(c.dc(), x, y, RGB(x, y, 9));
    RECT area{1, 0, 5, 4};
    RECT update{};
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    EXPECT_TRUE(ScrollDC(c.dc(), 0, -1, &area, &area, region, &update));
    EXPECT_EQ(c.At(2, 0), RGB(2, 1, 9));
    EXPECT_EQ(c.At(2, 2), RGB(2, 3, 9));
    EXPECT_EQ(c.At(2, 3), RGB(2, 3, 9));  // uncovered: left for the caller to redraw
    EXPECT_EQ(c.At(0, 0), RGB(0, 0, 9));  // outside the rectangle: untouched
    EXPECT_EQ(c.At(5, 0), RGB(5, 0, 9));
    EXPECT_EQ(update, (RECT{1, 3, 5, 4}));
    RECT box{};
    GetRgnBox(region, &box);
    EXPECT_EQ(box, update);
    DeleteObject(region);
}

TEST(Scroll, StaysInsideTheDcClip) {
    Canvas c(4, 1);
    for (int x = 0; x < 4; ++x) SetPixel(c.dc(), x, 0, RGB(x, 0, 0));
    IntersectClipRect(c.dc(), 0, 0, 3, 1);
    RECT update{};
    ScrollDC(c.dc(), 1, 0, nullptr, nullptr, nullptr, &update);
    EXPECT_EQ(c.At(1, 0), RGB(0, 0, 0));
    EXPECT_EQ(c.At(2, 0), RGB(1, 0, 0));
    EXPECT_EQ(c.At(3, 0), RGB(3, 0, 0));
    EXPECT_EQ(update, (RECT{0, 0, 1, 1}));
}

namespace {

// A DIB of the given depth (16 bits as 565 or 555) filled with arbitrary bytes.
DibInfo FormatInfo(int width, int height, int bits, bool is565) {
    DibInfo info = MakeInfo(width, height, bits, bits == 16 ? BI_BITFIELDS : BI_RGB);
    if (bits == 16) {
        DWORD* masks = reinterpret_cast<DWORD*>(info.colors);
        masks[0] = is565 ? 0xF800 : 0x7C00;
        masks[1] = is565 ? 0x07E0 : 0x03E0;
        masks[2] = 0x001F;
    }
    return info;
}

void Scribble(void* bits, std::size_t n, std::uint32_t seed) {
    auto* p = static_cast<std::uint8_t*>(bits);
    for (std::size_t i = 0; i < n; ++i) {
        seed = seed * 1103515245u + 12345u;
        p[i] = static_cast<std::uint8_t>(seed >> 16);
    }
}

// The screen of a device of its own, and whether a band of it shows what is expected.
struct OnScreen {
    fvt::test::TempDevice device;
    HDC dc = GdiCreateScreenDC();
    std::shared_ptr<gdi::Surface> fb = GdiScreenSurface();
    ~OnScreen() { DeleteDC(dc); }
    bool ok() const { return device.ok() && dc && fb; }
    // expected(x, y) at each of the w x h pixels from row `top` down.
    template <class Expected>
    testing::AssertionResult Shows(int top, int w, int h, Expected expected) const {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (GetPixel(dc, x, top + y) != expected(x, y))
                    return testing::AssertionFailure() << "at " << x << ", " << y;
        return testing::AssertionSuccess();
    }
};

// A page as the reader makes its pages: a 16-bit DIB section of the screen's width made without
// its bits, shown at row `top` of the screen, and a copy of what it held when last shown.
struct ShownPage {
    static constexpr int H = 60, top = 30;
    OnScreen& on;
    const int W = on.fb->Width();
    DibInfo info = FormatInfo(W, -H, 16, true);
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateDIBSection(dc, AsInfo(info), DIB_RGB_COLORS, nullptr, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, bitmap);
    Source seen{info};
    explicit ShownPage(OnScreen& screen) : on(screen) {}
    ~ShownPage() {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    // The page to the screen, remembering what it held then.
    bool Show() {
        return BitBlt(seen.dc, 0, 0, W, H, dc, 0, 0, SRCCOPY) &&
               BitBlt(on.dc, 0, top, W, H, dc, 0, 0, SRCCOPY);
    }
    // The screen shows the page as it was when last shown.
    testing::AssertionResult ScreenShowsIt() const {
        return on.Shows(top, W, H, [&](int x, int y) { return GetPixel(seen.dc, x, y); });
    }
};

}  // namespace

// Plain copies between the direct-colour formats, clipped or not, from bottom-up and top-down
// DIBs, give what the same pixels read and set one by one give.
TEST(Blit, DirectFormatCopiesMatchPixelByPixelCopies) {
    struct Format {
        int bits;
        bool is565;
    };
    const Format formats[] = {{16, true}, {16, false}, {24, false}, {32, false}};
    constexpr int W = 13, H = 7;
    for (const Format& from : formats) {
        for (const Format& to : formats) {
            for (bool clipped : {false, true}) {
                Source src(FormatInfo(W, H, from.bits, from.is565));  // bottom-up
                Source dst(FormatInfo(W, -H, to.bits, to.is565));
                Source ref(FormatInfo(W, -H, to.bits, to.is565));
                std::size_t srcBytes = static_cast<std::size_t>((W * from.bits + 31) / 32 * 4) * H;
                std::size_t dstBytes = static_cast<std::size_t>((W * to.bits + 31) / 32 * 4) * H;
                Scribble(src.bits, srcBytes, 7);
                Scribble(dst.bits, dstBytes, 99);
                std::memcpy(ref.bits, dst.bits, dstBytes);
                if (clipped) IntersectClipRect(dst.dc, 3, 1, 9, 6);
                auto inside = [&](int x, int y) {
                    bool rect = x >= 2 && x < 2 + 10 && y >= 1 && y < 1 + 5;
                    return rect && (!clipped || (x >= 3 && x < 9 && y >= 1 && y < 6));
                };
                ASSERT_TRUE(BitBlt(dst.dc, 2, 1, 10, 5, src.dc, 1, 2, SRCCOPY));
                SelectClipRgn(dst.dc, nullptr);  // to read back every pixel
                for (int y = 0; y < H; ++y)
                    for (int x = 0; x < W; ++x)
                        if (inside(x, y))
                            SetPixel(ref.dc, x, y, GetPixel(src.dc, x - 1, y + 1));
                for (int y = 0; y < H; ++y)
                    for (int x = 0; x < W; ++x)
                        ASSERT_EQ(GetPixel(dst.dc, x, y), GetPixel(ref.dc, x, y))
                            << from.bits << (from.is565 ? "/565" : "") << " to " << to.bits
                            << (to.is565 ? "/565" : "") << (clipped ? " clipped" : "") << " at "
                            << x << "," << y;
                if (to.bits == 16 && !to.is565) {
                    // 555 leaves its top bit clear in what it writes.
                    auto* px = static_cast<std::uint16_t*>(dst.bits);
                    for (int y = 1; y < 6; ++y)
                        for (int x = 3; x < 9; ++x) EXPECT_EQ(px[y * ((W * 16 + 31) / 32 * 2) + x] & 0x8000, 0);
                }
            }
        }
    }
}

// Every 565 value, in rows as wide as a page's, copies into the screen format as it reads pixel
// by pixel: each channel's top bits repeated below it.
TEST(Blit, EverySixteenBitValueWidensAsItReads) {
    constexpr int W = 256, H = 256;
    Source src(FormatInfo(W, -H, 16, true));
    Source dst(FormatInfo(W, -H, 32, false));
    auto* in = static_cast<std::uint16_t*>(src.bits);
    for (int v = 0; v < W * H; ++v) in[v] = static_cast<std::uint16_t>(v);
    ASSERT_TRUE(BitBlt(dst.dc, 0, 0, W, H, src.dc, 0, 0, SRCCOPY));
    const auto* out = static_cast<const std::uint32_t*>(dst.bits);
    auto widen = [](int c, int bits) { return (c << (8 - bits)) | (c >> (2 * bits - 8)); };
    for (int v = 0; v < W * H; ++v) {
        const int x = v % W, y = v / W;
        const std::uint32_t want = static_cast<std::uint32_t>(
            widen(v >> 11, 5) << 16 | widen((v >> 5) & 0x3F, 6) << 8 | widen(v & 0x1F, 5));
        ASSERT_EQ(out[v] & 0xFFFFFF, want) << std::hex << v;
        ASSERT_EQ(GetPixel(dst.dc, x, y), GetPixel(src.dc, x, y)) << std::hex << v;
    }
}

// Rows of every width up to a few vector groups, from odd source columns to odd destination
// columns: the groups the copy widens at a time and the pixels left over give the same pixels,
// and nothing beside the row is written.
TEST(Blit, SixteenBitRowsOfAnyWidthWidenExactly) {
    constexpr int W = 64, H = 40;
    Source src(FormatInfo(W, -H, 16, true));
    Scribble(src.bits, static_cast<std::size_t>(W) * H * 2, 11);
    for (int width = 1; width <= 40; ++width) {
        Source dst(FormatInfo(W, -H, 32, false));
        Scribble(dst.bits, static_cast<std::size_t>(W) * H * 4, 5);
        std::vector<std::uint32_t> before(static_cast<const std::uint32_t*>(dst.bits),
                                          static_cast<const std::uint32_t*>(dst.bits) + W * H);
        const int sx = width % 7, dx = 3 + width % 5, y = width - 1;
        ASSERT_TRUE(BitBlt(dst.dc, dx, y, width, 1, src.dc, sx, y, SRCCOPY));
        const auto* out = static_cast<const std::uint32_t*>(dst.bits);
        for (int x = 0; x < W; ++x) {
            if (x >= dx && x < dx + width)
                ASSERT_EQ(GetPixel(dst.dc, x, y), GetPixel(src.dc, sx + (x - dx), y))
                    << width << " at " << x;
            else
                ASSERT_EQ(out[y * W + x], before[y * W + x]) << width << " at " << x;
        }
    }
}

// A whole-surface copy between same-format surfaces of equal size is one block copy.
TEST(Blit, WholeSixteenBitPageCopiesExactly) {
    Source src(FormatInfo(9, -4, 16, true));
    Source dst(FormatInfo(9, -4, 16, true));
    std::size_t bytes = static_cast<std::size_t>((9 * 16 + 31) / 32 * 4) * 4;
    Scribble(src.bits, bytes, 3);
    ASSERT_TRUE(BitBlt(dst.dc, 0, 0, 9, 4, src.dc, 0, 0, SRCCOPY));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 9; ++x) EXPECT_EQ(GetPixel(dst.dc, x, y), GetPixel(src.dc, x, y));
}

// The screen keeps a page copied from a 16-bit surface as it came until the screen is read or
// drawn on. Whatever comes next sees exactly what copying it at once gives: a read of any kind,
// drawing over part of it, a second page over it or beside it.
TEST(Blit, APageCopiedToTheScreenReadsAsIfWidenedAtOnce) {
    OnScreen on;
    ASSERT_TRUE(on.ok());
    HDC screen = on.dc;
    auto& fb = on.fb;
    const int W = fb->Width(), H = 100, top = 26;
    Source a(FormatInfo(W, -H, 16, true)), b(FormatInfo(W, -H, 16, true));
    Scribble(a.bits, static_cast<std::size_t>(W) * H * 2, 7);
    Scribble(b.bits, static_cast<std::size_t>(W) * H * 2, 8);
    HBRUSH red = CreateSolidBrush(kRed);
    RECT band{0, 0, W, H};
    // What the screen shows: the pixels of one of the pages (or red) at each place.
    auto shows = [&](auto expected) { return on.Shows(top, W, H, expected); };
    auto of = [](Source& s) { return [&s](int x, int y) { return GetPixel(s.dc, x, y); }; };

    // Read pixel by pixel, and copied out of the screen.
    FillRect(screen, &band, red);
    ASSERT_TRUE(BitBlt(screen, 0, top, W, H, a.dc, 0, 0, SRCCOPY));
    EXPECT_TRUE(fb->HasDeferredCopy());
    Source copy(FormatInfo(W, -H, 32, false));
    ASSERT_TRUE(BitBlt(copy.dc, 0, 0, W, H, screen, 0, top, SRCCOPY));
    EXPECT_FALSE(fb->HasDeferredCopy());
    for (int y = 0; y < H; y += 7)
        for (int x = 0; x < W; x += 3) ASSERT_EQ(GetPixel(copy.dc, x, y), GetPixel(a.dc, x, y));
    EXPECT_TRUE(shows(of(a)));

    // Drawn on across part of it: the rest of the page stays.
    ASSERT_TRUE(BitBlt(screen, 0, top, W, H, b.dc, 0, 0, SRCCOPY));
    RECT stripe{10, top + 40, 30, top + 45};
    FillRect(screen, &stripe, red);
    EXPECT_TRUE(shows([&](int x, int y) {
        return x >= 10 && x < 30 && y >= 40 && y < 45 ? kRed : GetPixel(b.dc, x, y);
    }));

    // A page over a page kept before: only the last shows. One that covers part of a kept
    // page: the rest of that one shows beside it.
    ASSERT_TRUE(BitBlt(screen, 0, top, W, H, a.dc, 0, 0, SRCCOPY));
    ASSERT_TRUE(BitBlt(screen, 0, top, W, H, b.dc, 0, 0, SRCCOPY));
    ASSERT_TRUE(BitBlt(screen, 5, top + 10, 40, 20, a.dc, 5, 10, SRCCOPY));
    EXPECT_TRUE(shows([&](int x, int y) {
        return x >= 5 && x < 45 && y >= 10 && y < 30 ? GetPixel(a.dc, x, y) : GetPixel(b.dc, x, y);
    }));

    // Read as the whole screen's memory (screenshots, the window).
    ASSERT_TRUE(BitBlt(screen, 0, top, W, H, b.dc, 0, 0, SRCCOPY));
    const std::uint8_t* bits = fb->Bits();
    std::uint32_t word;
    std::memcpy(&word, bits + static_cast<std::size_t>(top + 3) * fb->Stride() + 4 * 4, 4);
    EXPECT_EQ(word & 0xFFFFFF, fb->GetPixel(4, top + 3));
    EXPECT_EQ(gdi::RgbFromColorref(GetPixel(b.dc, 4, 3)), word & 0xFFFFFF);
    DeleteObject(red);
}

// A page whose memory nobody was given (a DIB section made without its bits, as pages are) is
// lent to the screen rather than copied. Whatever is drawn on the page afterwards (a part of it,
// the whole of it, round after round, or through its bits once they are asked for) leaves the
// screen showing the page as it was when it was copied, and the page as drawn.
TEST(Blit, APageLentToTheScreenStaysAsItWasCopied) {
    OnScreen on;
    ASSERT_TRUE(on.ok());
    ShownPage shown(on);
    ASSERT_TRUE(shown.bitmap);
    HDC page = shown.dc;
    const int W = shown.W, H = ShownPage::H;
    Source a(shown.info), b(shown.info);
    Scribble(a.bits, static_cast<std::size_t>(W) * H * 2, 3);
    Scribble(b.bits, static_cast<std::size_t>(W) * H * 2, 4);
    HBRUSH red = CreateSolidBrush(kRed);
    HBRUSH white = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    const RECT all{0, 0, W, H}, stripe{20, 10, 50, 14};
    for (int round = 0; round < 3; ++round) {
        Source& from = round % 2 ? b : a;
        ASSERT_TRUE(BitBlt(page, 0, 0, W, H, from.dc, 0, 0, SRCCOPY));
        ASSERT_TRUE(shown.Show());
        FillRect(page, &stripe, red);  // a part of the page
        EXPECT_EQ(GetPixel(page, 20, 10), kRed);
        EXPECT_EQ(GetPixel(page, 19, 10), GetPixel(from.dc, 19, 10));
        EXPECT_TRUE(shown.ScreenShowsIt()) << round;
        ASSERT_TRUE(shown.Show());
        FillRect(page, &all, white);  // the whole page, as a new page's background
        EXPECT_EQ(GetPixel(page, 20, 10), kWhite);
        EXPECT_EQ(GetPixel(page, 0, H - 1), kWhite);
        EXPECT_TRUE(shown.ScreenShowsIt()) << round;
    }
    // Its bits asked for while the screen holds the page: writes through them stay off it.
    ASSERT_TRUE(BitBlt(page, 0, 0, W, H, a.dc, 0, 0, SRCCOPY));
    ASSERT_TRUE(shown.Show());
    DIBSECTION ds{};
    ASSERT_EQ(GetObjectW(shown.bitmap, sizeof(ds), &ds), static_cast<int>(sizeof(ds)));
    std::memset(ds.dsBm.bmBits, 0, static_cast<std::size_t>(W) * 2 * 5);
    EXPECT_EQ(GetPixel(page, 7, 2), kBlack);
    EXPECT_TRUE(shown.ScreenShowsIt());
    // From then on the page is copied.
    ASSERT_TRUE(shown.Show());
    std::memset(ds.dsBm.bmBits, 0xFF, static_cast<std::size_t>(W) * 2 * 5);
    EXPECT_EQ(GetPixel(page, 7, 2), kWhite);
    EXPECT_TRUE(shown.ScreenShowsIt());
    DeleteObject(red);
}

// Pages drawn in turn into one page surface shown on the screen (its memory lent, so that the
// page is drawn into its two memories in turn), each filled whole before its text: a fill over
// a page of text alone covers only what the text reached. Each page, a plain page with some
// text, with other drawing between (a stripe, a pixel), in another background, text further
// right than the page before or not at all, equals the same steps on a page whose memory was
// handed out (that knows nothing of its pixels), and the screen shows it as it was copied.
TEST(Blit, APageFilledOverTextAloneEqualsAPageFilledWhole) {
    OnScreen on;
    ASSERT_TRUE(on.ok());
    ShownPage shown(on);
    ASSERT_TRUE(shown.bitmap);
    HDC page = shown.dc;
    const int W = shown.W, H = ShownPage::H;
    Source handedOut(shown.info);
    LOGFONTW lf{};
    lf.lfHeight = -14;
    lf.lfQuality = ANTIALIASED_QUALITY;
    const std::u16string face = u"DejaVu Sans";
    std::copy(face.begin(), face.end(), lf.lfFaceName);
    HFONT font = CreateFontIndirectW(&lf);
    struct Step {
        COLORREF ground;
        int textX, textY;  // no text where textX < 0
        bool stripe, pixel;
    };
    const Step steps[] = {
        {kWhite, 2, 2, false, false},   {kWhite, 30, 20, false, false},
        {kWhite, 1, 40, false, false},  {kWhite, -1, 0, false, false},
        {kWhite, 60, 5, true, false},   {kWhite, 3, 30, false, false},
        {kWhite, 10, 10, false, true},  {RGB(250, 240, 200), 5, 5, false, false},
        {RGB(250, 240, 200), 40, 25, false, false}, {kWhite, 8, 12, false, false},
        {kWhite, 100, 44, false, false}, {kWhite, 0, 0, false, false},
    };
    int round = 0;
    for (const Step& step : steps) {
        for (HDC dc : {page, handedOut.dc}) {
            HBRUSH ground = CreateSolidBrush(step.ground);
            const RECT all{0, 0, W, H}, stripe{20, 10, 50, 14};
            FillRect(dc, &all, ground);
            DeleteObject(ground);
            HGDIOBJ was = SelectObject(dc, font);
            SetBkMode(dc, TRANSPARENT);
            SetTextColor(dc, RGB(20, 20, 60));
            if (step.textX >= 0)
                ExtTextOutW(dc, step.textX, step.textY, 0, nullptr, u"Words of a page, Wa fj",
                            22, nullptr);
            SelectObject(dc, was);
            if (step.stripe) {
                HBRUSH red = CreateSolidBrush(kRed);
                FillRect(dc, &stripe, red);
                DeleteObject(red);
            }
            if (step.pixel) SetPixel(dc, 12, 14, kRed);
        }
        if (round > 0) {
            EXPECT_TRUE(shown.ScreenShowsIt()) << "round " << round;
        }
        int differing = 0;
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                differing += GetPixel(page, x, y) != GetPixel(handedOut.dc, x, y);
        EXPECT_EQ(differing, 0) << "round " << round;
        // Shown: the screen takes the page's memory, the next page is drawn into the other.
        ASSERT_TRUE(shown.Show());
        ++round;
    }
    EXPECT_TRUE(shown.ScreenShowsIt());
    DeleteObject(font);
}

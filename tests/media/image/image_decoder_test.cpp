// The GIF/BMP decoder: exact pixels against pictures written in code, and hostile input.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "media/image/cx_image.h"
#include "media/image/image_decoder.h"
#include "support/media/image/picture_fixtures.h"

using fvt::test::BmpSpec;
using fvt::test::GifSpec;
using fvt::test::Rgb;

namespace {

std::vector<Rgb> Palette(int n) {
    std::vector<Rgb> p;
    for (int i = 0; i < n; ++i)
        p.push_back(Rgb{std::uint8_t(i * 3), std::uint8_t(255 - i), std::uint8_t(i * 7)});
    return p;
}

std::vector<std::uint8_t> Pattern(std::uint32_t w, std::uint32_t h, int colours) {
    std::vector<std::uint8_t> v(std::size_t(w) * h);
    for (std::uint32_t i = 0; i < v.size(); ++i) v[i] = std::uint8_t((i * 7 + i / w) % colours);
    return v;
}

// Decodes at depth 8 into a buffer filled with `fill`; returns the Decode result.
int Decode8(const std::vector<std::uint8_t>& file, std::vector<std::uint8_t>& out,
            std::uint8_t fill = 0xEE, bool honourTransparency = true) {
    ImageDecoder d(file.data(), std::uint32_t(file.size()));
    if (!d.IsValid()) return -1;
    out.assign(std::size_t(d.Width()) * d.Height(), fill);
    d.SetOptions(true, true, honourTransparency, true);
    if (d.SetFormat(d.Width(), d.Height(), 8, out.data(), 0, nullptr, nullptr, false)) return -2;
    return d.Decode(0, 0);
}

GifSpec Gif(std::uint32_t w, std::uint32_t h, int colours) {
    GifSpec s;
    s.width = w;
    s.height = h;
    s.palette = Palette(colours);
    s.pixels = Pattern(w, h, colours);
    return s;
}

}  // namespace

TEST(GifDecoding, ExactPixelsAtSeveralPaletteSizes) {
    for (int colours : {2, 4, 16, 256}) {
        GifSpec s = Gif(37, 11, colours);
        auto file = fvt::test::WriteGif(s);
        std::vector<std::uint8_t> out;
        ASSERT_EQ(Decode8(file, out), 0) << colours;
        EXPECT_EQ(out, s.pixels) << colours;
        ImageDecoder d(file.data(), std::uint32_t(file.size()));
        EXPECT_EQ(d.Type(), ImageDecoder::kGif);
        EXPECT_EQ(d.PaletteCount(), std::uint32_t(colours < 2 ? 2 : colours));
        RGBQUAD q[256];
        PaletteToRgbQuad(d, q);
        EXPECT_EQ(q[1].rgbRed, s.palette[1].r);
        EXPECT_EQ(q[1].rgbBlue, s.palette[1].b);
        EXPECT_EQ(q[1].rgbReserved, 0);
    }
}

TEST(GifDecoding, LocalPaletteReplacesGlobal) {
    GifSpec s = Gif(8, 4, 16);
    s.localPalette = true;
    auto file = fvt::test::WriteGif(s);
    ImageDecoder d(file.data(), std::uint32_t(file.size()));
    ASSERT_TRUE(d.IsValid());
    EXPECT_EQ(d.PaletteCount(), 16u);
    EXPECT_EQ(d.Palette()[3 * 2 + 2], s.palette[2].b);
}

TEST(GifDecoding, FullTableKeepsTwelveBitCodesUntilClear) {
    // Noise fills the 4096-entry table quickly; the writer then goes on without a clear code.
    GifSpec s = Gif(300, 200, 256);
    for (std::size_t i = 0; i < s.pixels.size(); ++i)
        s.pixels[i] = std::uint8_t((i * 2654435761u) >> 13);
    for (bool deferred : {false, true}) {
        s.deferredClear = deferred;
        std::vector<std::uint8_t> out;
        ASSERT_EQ(Decode8(fvt::test::WriteGif(s), out), 0);
        EXPECT_EQ(out, s.pixels);
    }
}

TEST(GifDecoding, RepeatedRunsUseTheStringPlusFirstCharacterCode) {
    GifSpec s = Gif(64, 3, 4);
    std::fill(s.pixels.begin(), s.pixels.end(), 2);  // KwKwK codes all along
    std::vector<std::uint8_t> out;
    ASSERT_EQ(Decode8(fvt::test::WriteGif(s), out), 0);
    EXPECT_EQ(out, s.pixels);
}

TEST(GifDecoding, InterlacedRowsLandAtTheirRows) {
    for (std::uint32_t h : {1u, 2u, 3u, 5u, 9u, 17u}) {
        GifSpec s = Gif(5, h, 16);
        s.interlaced = true;
        std::vector<std::uint8_t> out;
        ASSERT_EQ(Decode8(fvt::test::WriteGif(s), out), 0) << h;
        EXPECT_EQ(out, s.pixels) << h;
    }
}

TEST(GifDecoding, InterlacedRowOrderAndReplication) {
    GifSpec s = Gif(2, 3, 4);
    s.interlaced = true;
    auto file = fvt::test::WriteGif(s);
    ImageDecoder d(file.data(), std::uint32_t(file.size()));
    std::vector<std::uint32_t> rows;
    d.SetFormat(
        2, 3, 8, nullptr, 0,
        [](void* c, const std::uint8_t*, std::uint32_t, std::uint32_t row, const void*,
           std::uint32_t) { static_cast<std::vector<std::uint32_t>*>(c)->push_back(row); },
        &rows, false);
    ASSERT_EQ(d.Decode(0, 0), 0);
    EXPECT_EQ(rows, (std::vector<std::uint32_t>{0, 2, 1}));

    // Cut the data after the first pass of a 16-row picture: row 0 is copied to rows 1-7.
    GifSpec big = Gif(4, 16, 4);
    big.interlaced = true;
    for (std::uint32_t y = 0; y < 16; ++y)
        for (std::uint32_t x = 0; x < 4; ++x) big.pixels[y * 4 + x] = std::uint8_t(y % 4);
    std::vector<std::uint8_t> order(big.pixels.begin(), big.pixels.begin() + 4);
    order.insert(order.end(), big.pixels.begin() + 32, big.pixels.begin() + 36);
    auto cut = fvt::test::WriteGifWithData(big, fvt::test::LzwEncode(order, 2, false));
    std::vector<std::uint8_t> out;
    ASSERT_EQ(Decode8(cut, out), 0);
    for (std::uint32_t y = 0; y < 16; ++y) EXPECT_EQ(out[y * 4], y < 8 ? 0 : 0) << y;
    EXPECT_EQ(out[15 * 4], 0);  // rows 8..15 replicate row 8 (value 0)
}

TEST(GifDecoding, TransparentPixelsLeaveTheTargetAlone) {
    GifSpec s = Gif(9, 4, 4);
    s.transparent = 1;
    auto file = fvt::test::WriteGif(s);
    std::vector<std::uint8_t> out;
    ASSERT_EQ(Decode8(file, out, 0xEE), 0);
    for (std::size_t i = 0; i < out.size(); ++i) {
        EXPECT_EQ(out[i], s.pixels[i] == 1 ? 0xEE : s.pixels[i]) << i;
    }
    ASSERT_EQ(Decode8(file, out, 0xEE, false), 0);
    EXPECT_EQ(out, s.pixels);
}

TEST(GifDecoding, ControlBlockWithoutItsFlagHasNoTransparency) {
    GifSpec s = Gif(4, 2, 4);
    s.transparent = 3;
    s.transparentFlag = false;
    auto file = fvt::test::WriteGif(s);
    ImageDecoder d(file.data(), std::uint32_t(file.size()));
    EXPECT_EQ(d.TransparentIndex(), 0xFFFF);
}

TEST(GifDecoding, ApplicationBlockIsRecorded) {
    GifSpec s = Gif(4, 2, 4);
    s.fvtw = {1, 2, 3};
    s.fvtwNext = 0x5A;
    auto file = fvt::test::WriteGif(s);
    ImageDecoder d(file.data(), std::uint32_t(file.size()));
    ASSERT_TRUE(d.IsValid());
    ASSERT_NE(d.AppData(), nullptr);
    EXPECT_EQ(d.AppDataLength(), 3);
    EXPECT_EQ(std::memcmp(d.AppData(), "\1\2\3", 3), 0);
    EXPECT_EQ(d.AppDataNext(), 0x5A);
    std::vector<std::uint8_t> out;
    ASSERT_EQ(Decode8(file, out), 0);
    EXPECT_EQ(out, s.pixels);
}

TEST(GifDecoding, DataEndingMidRowKeepsEarlierRows) {
    GifSpec s = Gif(10, 3, 4);
    std::vector<std::uint8_t> part(s.pixels.begin(), s.pixels.begin() + 15);
    auto file = fvt::test::WriteGifWithData(s, fvt::test::LzwEncode(part, 2, false));
    std::vector<std::uint8_t> out;
    ASSERT_EQ(Decode8(file, out, 0xEE), 0);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(out[i], s.pixels[i]);
    for (int i = 10; i < 30; ++i) EXPECT_EQ(out[i], 0xEE);
}

TEST(GifDecoding, SurplusDataAfterTheLastRowIsIgnored) {
    GifSpec s = Gif(3, 2, 4);
    std::vector<std::uint8_t> more = s.pixels;
    more.insert(more.end(), 50, 1);
    std::vector<std::uint8_t> out;
    ASSERT_EQ(Decode8(fvt::test::WriteGifWithData(s, fvt::test::LzwEncode(more, 2, false)), out),
              0);
    EXPECT_EQ(out, s.pixels);
    s.interlaced = true;
    ASSERT_EQ(Decode8(fvt::test::WriteGifWithData(s, fvt::test::LzwEncode(more, 2, false)), out),
              0);
}

TEST(GifHostile, BadCodesFail) {
    GifSpec s = Gif(4, 4, 4);
    // A code beyond the next free one.
    auto far = fvt::test::PackCodes({{4, 3}, {1, 3}, {7, 3}});
    std::vector<std::uint8_t> out;
    EXPECT_EQ(Decode8(fvt::test::WriteGifWithData(s, far), out), 1);
    // A first code after a clear that is not a literal (the next free code).
    auto first = fvt::test::PackCodes({{4, 3}, {6, 3}, {1, 3}});
    EXPECT_EQ(Decode8(fvt::test::WriteGifWithData(s, first), out), 1);
    // Code sizes outside 2..8.
    for (int size : {1, 9, 12, 200}) {
        GifSpec t = s;
        t.codeSize = size;
        auto file = fvt::test::WriteGifWithData(t, fvt::test::PackCodes({{0, 3}}));
        EXPECT_EQ(Decode8(file, out), 1) << size;
    }
}

TEST(GifHostile, BrokenHeadersAreRefused) {
    GifSpec s = Gif(4, 4, 4);
    auto file = fvt::test::WriteGif(s);
    // Every truncation either fails to open or decodes without reading past the end.
    for (std::size_t n = 0; n < file.size(); ++n) {
        std::vector<std::uint8_t> cut(file.begin(), file.begin() + long(n));
        ImageDecoder d(cut.data(), std::uint32_t(cut.size()));
        if (!d.IsValid()) continue;
        std::vector<std::uint8_t> out(16);
        d.SetFormat(4, 4, 8, out.data(), 0, nullptr, nullptr, false);
        d.Decode(0, 0);
    }
    GifSpec zero = s;
    zero.width = 0;
    zero.pixels.clear();
    auto z = fvt::test::WriteGif(zero);
    EXPECT_FALSE(ImageDecoder(z.data(), std::uint32_t(z.size())).IsValid());
    // A global table that claims 256 entries in a short file.
    std::vector<std::uint8_t> tiny = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x87, 0, 0, 0x2C};
    EXPECT_FALSE(ImageDecoder(tiny.data(), std::uint32_t(tiny.size())).IsValid());
}

TEST(BmpDecoding, UncompressedDepthsBothDirections) {
    for (std::uint16_t bits : {1, 2, 4, 8}) {
        for (bool topDown : {false, true}) {
            BmpSpec s;
            s.width = 13;
            s.height = topDown ? -5 : 5;
            s.bits = bits;
            s.palette = Palette(1 << bits);
            s.pixels = Pattern(13, 5, 1 << bits);
            auto file = fvt::test::WriteBmp(s);
            std::vector<std::uint8_t> out;
            ASSERT_EQ(Decode8(file, out), 0) << bits;
            EXPECT_EQ(out, s.pixels) << bits << " " << topDown;
            ImageDecoder d(file.data(), std::uint32_t(file.size()));
            EXPECT_EQ(d.TopDown(), topDown);
            RGBQUAD q[256];
            PaletteToRgbQuad(d, q);
            EXPECT_EQ(q[1].rgbGreen, s.palette[1].g);
            EXPECT_EQ(q[1].rgbRed, s.palette[1].r);
        }
    }
}

TEST(BmpDecoding, TrueColourDepthsAreRefused) {
    for (std::uint16_t bits : {0, 3, 16, 24, 32}) {
        BmpSpec s;
        s.width = 2;
        s.height = 2;
        s.bits = bits;
        s.palette = Palette(2);
        s.compression = 1;
        s.rle = std::vector<std::uint8_t>(16, 0);
        auto file = fvt::test::WriteBmp(s);
        EXPECT_FALSE(ImageDecoder(file.data(), std::uint32_t(file.size())).IsValid()) << bits;
    }
}

TEST(BmpDecoding, PlanesCarryTheTransparentIndex) {
    BmpSpec s;
    s.width = 4;
    s.height = 1;
    s.palette = Palette(8);
    s.pixels = {3, 1, 3, 2};
    s.planes = 5;
    auto file = fvt::test::WriteBmp(s);
    ImageDecoder d(file.data(), std::uint32_t(file.size()));
    EXPECT_EQ(d.TransparentIndex(), 3);
    std::vector<std::uint8_t> out;
    ASSERT_EQ(Decode8(file, out, 0xEE), 0);
    EXPECT_EQ(out, (std::vector<std::uint8_t>{0xEE, 1, 0xEE, 2}));
    s.planes = 1;
    file = fvt::test::WriteBmp(s);
    EXPECT_EQ(ImageDecoder(file.data(), std::uint32_t(file.size())).TransparentIndex(), 0xFFFF);
}

TEST(BmpDecoding, Rle8EveryEscape) {
    BmpSpec s;
    s.width = 6;
    s.height = 4;
    s.palette = Palette(16);
    s.compression = 1;
    // Bottom row: run 3x5, absolute 2 7 9 (padded); end of line; delta (1, 1); run 2x4;
    // end of bitmap.
    s.rle = {3, 5, 0, 3, 2, 7, 9, 0, 0, 0, 0, 2, 1, 1, 2, 4, 0, 1};
    std::vector<std::uint8_t> out;
    ASSERT_EQ(Decode8(fvt::test::WriteBmp(s), out, 0xEE), 0);
    std::vector<std::uint8_t> want(24, 0xEE);
    std::uint8_t bottom[6] = {5, 5, 5, 2, 7, 9};
    std::memcpy(&want[18], bottom, 6);
    want[6 + 1] = 4;  // the delta moved up to the second row from the top
    want[6 + 2] = 4;
    EXPECT_EQ(out, want);
}

TEST(BmpDecoding, Rle4AlternatesNibbles) {
    BmpSpec s;
    s.width = 5;
    s.height = -1;
    s.bits = 4;
    s.palette = Palette(16);
    s.compression = 2;
    s.rle = {5, 0x12, 0, 1};
    std::vector<std::uint8_t> out;
    ASSERT_EQ(Decode8(fvt::test::WriteBmp(s), out), 0);
    EXPECT_EQ(out, (std::vector<std::uint8_t>{1, 2, 1, 2, 1}));
    s.rle = {0, 3, 0x34, 0x50, 0, 1};
    ASSERT_EQ(Decode8(fvt::test::WriteBmp(s), out), 0);
    EXPECT_EQ(std::vector<std::uint8_t>(out.begin(), out.begin() + 3),
              (std::vector<std::uint8_t>{3, 4, 5}));
}

TEST(BmpDecoding, RleSpansCarryTheirStartColumn) {
    BmpSpec s;
    s.width = 8;
    s.height = 1;
    s.palette = Palette(16);
    s.compression = 1;
    s.rle = {0, 2, 3, 0, 2, 6, 0, 1};
    auto file = fvt::test::WriteBmp(s);
    ImageDecoder d(file.data(), std::uint32_t(file.size()));
    struct Span {
        std::uint32_t start, count;
        std::uint8_t first;
    };
    std::vector<Span> spans;
    d.SetFormat(
        8, 1, 8, nullptr, 0,
        [](void* c, const std::uint8_t* row, std::uint32_t count, std::uint32_t, const void*,
           std::uint32_t start) {
            static_cast<std::vector<Span>*>(c)->push_back({start, count, row[start]});
        },
        &spans, false);
    ASSERT_EQ(d.Decode(0, 0), 0);
    ASSERT_EQ(spans.size(), 1u);
    EXPECT_EQ(spans[0].start, 3u);
    EXPECT_EQ(spans[0].count, 2u);
    EXPECT_EQ(spans[0].first, 6);
}

TEST(BmpHostile, RunsPastTheRowFail) {
    BmpSpec s;
    s.width = 4;
    s.height = 2;
    s.palette = Palette(4);
    s.compression = 1;
    std::vector<std::uint8_t> out;
    s.rle = {8, 1, 0, 1};
    EXPECT_EQ(Decode8(fvt::test::WriteBmp(s), out), 1);
    s.rle = {0, 9, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0};
    EXPECT_EQ(Decode8(fvt::test::WriteBmp(s), out), 1);
    // Up to width + 3 is tolerated but never written past the row.
    s.rle = {7, 1, 0, 1};
    EXPECT_EQ(Decode8(fvt::test::WriteBmp(s), out, 0xEE), 0);
    EXPECT_EQ(out, (std::vector<std::uint8_t>{0xEE, 0xEE, 0xEE, 0xEE, 1, 1, 1, 1}));
    // A delta that leaves the picture stops quietly.
    s.rle = {0, 2, 0, 9, 2, 1, 0, 1};
    EXPECT_EQ(Decode8(fvt::test::WriteBmp(s), out), 0);
}

TEST(BmpHostile, HeaderRangesAreChecked) {
    BmpSpec s;
    s.width = 4;
    s.height = 4;
    s.palette = Palette(4);
    s.pixels = Pattern(4, 4, 4);
    auto good = fvt::test::WriteBmp(s);
    auto patch = [&](std::size_t at, std::uint32_t v) {
        auto f = good;
        std::memcpy(&f[at], &v, 4);
        return f;
    };
    auto refused = [](const std::vector<std::uint8_t>& f) {
        return !ImageDecoder(f.data(), std::uint32_t(f.size())).IsValid();
    };
    EXPECT_FALSE(refused(good));
    EXPECT_TRUE(refused(patch(10, 0xFFFFFFF0)));  // pixel offset past the end
    EXPECT_TRUE(refused(patch(14, 0xFFFFFFF0)));  // header size wraps
    EXPECT_TRUE(refused(patch(14, 12)));          // header too small
    EXPECT_TRUE(refused(patch(46, 300)));         // palette count past the table
    EXPECT_TRUE(refused(patch(46, 200)));         // palette past the end of the file
    EXPECT_TRUE(refused(patch(18, 0)));           // zero width
    EXPECT_TRUE(refused(patch(22, 0)));           // zero height
    EXPECT_TRUE(refused(patch(22, 0x80000000)));  // INT_MIN height
    EXPECT_TRUE(refused(patch(18, 70000)));       // width beyond 16 bits
    EXPECT_TRUE(refused(patch(30, 2)));           // RLE4 on an 8-bit picture
    // Rows past the end of the file: failure, no over-read.
    auto cut = good;
    cut.resize(cut.size() - 9);
    std::vector<std::uint8_t> out;
    EXPECT_EQ(Decode8(cut, out), 1);
    // A sane header whose size is beyond the pixel limit.
    auto huge = patch(18, 65535);
    std::memcpy(&huge[22], "\xFF\xFF\0\0", 4);
    EXPECT_TRUE(refused(huge));
    for (std::size_t n = 0; n < good.size(); ++n) {
        std::vector<std::uint8_t> f(good.begin(), good.begin() + long(n));
        Decode8(f, out);
    }
}

TEST(DecoderTargets, PackingAtLowDepthsKeepsNeighbours) {
    BmpSpec s;
    s.width = 5;
    s.height = 1;
    s.palette = {{0, 0, 0}, {255, 255, 255}, {255, 0, 0}};
    s.pixels = {1, 0, 1, 2, 1};
    auto file = fvt::test::WriteBmp(s);
    ImageDecoder d(file.data(), std::uint32_t(file.size()));
    // Depth 1 at origin 2: pixels land at bits 2..6, bits 0, 1 and 7 keep their value.
    std::uint8_t one[2] = {0xC1, 0xFF};
    ASSERT_EQ(d.SetFormat(10, 1, 1, one, 0, nullptr, nullptr, false), 0);
    EXPECT_EQ(d.TargetStride(), 2u);
    ASSERT_EQ(d.Decode(2, 0), 0);
    // grey levels >> 9: white 1, black 0, red (255 + 0 + 0) >> 9 = 0
    EXPECT_EQ(one[0], 0xEB);
    EXPECT_EQ(one[1], 0xFF);
    // Depth 4 with a negative origin: the first source column is clipped away.
    std::uint8_t four[3] = {0xAA, 0xAA, 0xAA};
    ASSERT_EQ(d.SetFormat(6, 1, 4, four, 0, nullptr, nullptr, false), 0);
    ASSERT_EQ(d.Decode(-1, 0), 0);
    EXPECT_EQ(four[0], 0x0F);  // columns 0,1 = source 1,2: black, white (1020 >> 6 = 15)
    EXPECT_EQ(four[1], 0x3F);  // red 255 >> 6 = 3, white
    EXPECT_EQ(four[2], 0xAA);
    // Depth 16: RGB 5-6-5, high byte first.
    std::uint8_t sixteen[10];
    ASSERT_EQ(d.SetFormat(5, 1, 16, sixteen, 0, nullptr, nullptr, false), 0);
    EXPECT_EQ(d.TargetStride(), 10u);
    ASSERT_EQ(d.Decode(0, 0), 0);
    EXPECT_EQ(sixteen[0], 0xFF);
    EXPECT_EQ(sixteen[1], 0xFF);
    EXPECT_EQ(sixteen[6], 0xF8);
    EXPECT_EQ(sixteen[7], 0x00);
}

TEST(DecoderTargets, OverhangingOriginsAreClippedInTargetCoordinates) {
    BmpSpec s;
    s.width = 4;
    s.height = 2;
    s.palette = Palette(8);
    s.pixels = {1, 2, 3, 4, 5, 6, 7, 1};
    auto file = fvt::test::WriteBmp(s);
    ImageDecoder d(file.data(), std::uint32_t(file.size()));
    // A 3x2 target with a 4-byte stride; the picture drawn at (2, 1) overhangs right and down.
    std::vector<std::uint8_t> target(8, 0xEE);
    ASSERT_EQ(d.SetFormat(3, 2, 8, target.data(), 4, nullptr, nullptr, false), 0);
    ASSERT_EQ(d.Decode(2, 1), 0);
    EXPECT_EQ(target, (std::vector<std::uint8_t>{0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 1, 0xEE}));
    std::fill(target.begin(), target.end(), 0xEE);
    d.SetClip(1, 0, 2, 2);
    ASSERT_EQ(d.Decode(-1, 0), 0);
    EXPECT_EQ(target, (std::vector<std::uint8_t>{0xEE, 3, 0xEE, 0xEE, 0xEE, 7, 0xEE, 0xEE}));
}

TEST(DecoderTargets, ScaleMapsDropColumnsAndRows) {
    ImageDecoder d;
    EXPECT_EQ(d.SetScale(3, 2, 1, 1), 1);
    EXPECT_EQ(d.SetScale(1, 0, 1, 1), 1);
    BmpSpec s;
    s.width = 5;
    s.height = 5;
    s.palette = Palette(32);
    s.pixels.resize(25);
    for (int i = 0; i < 25; ++i) s.pixels[i] = std::uint8_t(i);
    auto file = fvt::test::WriteBmp(s);
    ImageDecoder e(file.data(), std::uint32_t(file.size()));
    EXPECT_EQ(e.SetScale(3, 2, 1, 1), 1);
    ASSERT_EQ(e.SetScale(2, 5, 2, 5), 0);
    std::vector<std::uint8_t> out(4, 0xEE);
    ASSERT_EQ(e.SetFormat(2, 2, 8, out.data(), 0, nullptr, nullptr, false), 0);
    ASSERT_EQ(e.Decode(0, 0), 0);
    // Columns and rows 1 and 3 are kept.
    EXPECT_EQ(out, (std::vector<std::uint8_t>{6, 8, 16, 18}));
}

TEST(DecoderTargets, FormatChecks) {
    ImageDecoder d;
    std::uint8_t b[4];
    EXPECT_EQ(d.SetFormat(10, 1, 3, b, 0, nullptr, nullptr, false), 1);
    EXPECT_EQ(d.SetFormat(10, 1, 8, nullptr, 0, nullptr, nullptr, false), 1);
    EXPECT_EQ(d.SetFormat(10, 1, 1, b, 0, nullptr, nullptr, false), 0);
    EXPECT_EQ(d.TargetStride(), 2u);
    EXPECT_EQ(d.SetFormat(10, 1, 16, b, 0, nullptr, nullptr, false), 0);
    EXPECT_EQ(d.TargetStride(), 20u);
    EXPECT_EQ(d.Decode(0, 0), 1);  // nothing opened
}

TEST(JpegRecognition, SizeFromTheFrameHeader) {
    auto jpeg = fvt::test::WriteJpeg(7, 5, 3, fvt::test::Gradient(7, 5));
    ImageDecoder d(jpeg.data(), std::uint32_t(jpeg.size()));
    ASSERT_TRUE(d.IsValid());
    EXPECT_EQ(d.Type(), ImageDecoder::kJpeg);
    EXPECT_EQ(d.Width(), 7u);
    EXPECT_EQ(d.Height(), 5u);
    EXPECT_EQ(d.BitsPerPixel(), 24u);
    std::vector<std::uint8_t> out(35);
    d.SetFormat(7, 5, 8, out.data(), 0, nullptr, nullptr, false);
    EXPECT_EQ(d.Decode(0, 0), 1);
    // A start-of-image marker followed by a segment that is no segment is refused.
    std::vector<std::uint8_t> bare = {0xFF, 0xD8, 0xFF, 0xDB, 0, 1};
    bare.insert(bare.end(), jpeg.begin() + 4, jpeg.end());
    EXPECT_FALSE(ImageDecoder(bare.data(), std::uint32_t(bare.size())).IsValid());
    for (std::size_t n = 0; n < 200 && n < jpeg.size(); ++n) {
        ImageDecoder t(jpeg.data(), std::uint32_t(n));
        (void)t.IsValid();
    }
}

namespace {

// The fixture without its first segment (the encoder's APP0), so that DQT follows SOI.
std::vector<std::uint8_t> WithoutApp0(const std::vector<std::uint8_t>& jpeg) {
    if (jpeg.size() < 6 || jpeg[3] != 0xE0) return {};
    std::size_t length = std::size_t(jpeg[4]) << 8 | jpeg[5];
    std::vector<std::uint8_t> out(jpeg.begin(), jpeg.begin() + 2);
    out.insert(out.end(), jpeg.begin() + 4 + std::ptrdiff_t(length), jpeg.end());
    return out;
}

}  // namespace

TEST(JpegRecognition, AnyFirstSegmentAfterTheStartOfImage) {
    auto jpeg = WithoutApp0(fvt::test::WriteJpeg(9, 4, 3, fvt::test::Gradient(9, 4)));
    ASSERT_GE(jpeg.size(), 4u);
    ASSERT_EQ(jpeg[3], 0xDB);
    ImageDecoder d(jpeg.data(), std::uint32_t(jpeg.size()));
    ASSERT_TRUE(d.IsValid());
    EXPECT_EQ(d.Type(), ImageDecoder::kJpeg);
    EXPECT_EQ(d.Width(), 9u);
    EXPECT_EQ(d.Height(), 4u);
    CxImage picture;
    ASSERT_TRUE(picture.DecodeMemory(jpeg.data(), std::uint32_t(jpeg.size()), CXIMAGE_FORMAT_JPG));
    EXPECT_EQ(picture.GetWidth(), 9u);

    // Fill bytes and marker-only segments before the frame header are stepped over.
    std::vector<std::uint8_t> padded = {0xFF, 0xD8, 0xFF, 0xFF, 0xD0};
    padded.insert(padded.end(), jpeg.begin() + 2, jpeg.end());
    ImageDecoder p(padded.data(), std::uint32_t(padded.size()));
    ASSERT_TRUE(p.IsValid());
    EXPECT_EQ(p.Width(), 9u);

    // No frame header before the scan, or none at all: not a picture.
    std::vector<std::uint8_t> noFrame = {0xFF, 0xD8, 0xFF, 0xDB, 0, 4, 0, 0, 0xFF, 0xDA, 0, 2};
    noFrame.resize(32, 0);
    EXPECT_FALSE(ImageDecoder(noFrame.data(), std::uint32_t(noFrame.size())).IsValid());
    std::vector<std::uint8_t> fills(64, 0xFF);
    fills[1] = 0xD8;
    EXPECT_FALSE(ImageDecoder(fills.data(), std::uint32_t(fills.size())).IsValid());
    for (std::size_t n = 0; n < jpeg.size(); n += 7) {
        ImageDecoder t(jpeg.data(), std::uint32_t(n));
        (void)t.IsValid();
    }
}

namespace {

// Short of memory for the whole string table, the decoder retries with half of it.
TEST(GifDecoding, ASmallerTableIsTriedWhenTheFullOneCannotBeHad) {
    GifSpec s = Gif(16, 8, 4);
    auto file = fvt::test::WriteGif(s);
    std::vector<std::uint8_t> out;
    ImageDecoder::FailTableAllocationsForTesting(2);
    ImageDecoder d(file.data(), std::uint32_t(file.size()));
    ASSERT_TRUE(d.IsValid());
    out.assign(16 * 8, 0xEE);
    d.SetOptions(true, true, true, true);
    ASSERT_EQ(d.SetFormat(16, 8, 8, out.data(), 0, nullptr, nullptr, false), 0);
    EXPECT_EQ(d.Decode(0, 0), 0);
    EXPECT_EQ(d.LastTableEntries(), 1024u);
    EXPECT_EQ(out, s.pixels);
    // A stream whose codes need more entries than the smaller table holds fails as a full one.
    GifSpec big = Gif(300, 200, 256);
    auto bigFile = fvt::test::WriteGif(big);
    ImageDecoder::FailTableAllocationsForTesting(3);
    EXPECT_NE(Decode8(bigFile, out), 0);
    // No table at all: the run fails.
    ImageDecoder::FailTableAllocationsForTesting(1000);
    EXPECT_NE(Decode8(file, out), 0);
    ImageDecoder::FailTableAllocationsForTesting(0);
    EXPECT_EQ(Decode8(file, out), 0);
}

}  // namespace

// The bitmap font: header and glyph-table refusals, face choice, measuring, and drawing with
// exact pixels into guarded buffers.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "bookfiles/palm_database.h"
#include "core/text.h"
#include "graphics/core/bitmap_font.h"
#include "support/graphics/font_fixture.h"

namespace {

constexpr uint8_t kInk = 255;

int OpenBytes(BitmapFont& font, const Bytes& bytes) {
    int error = 0;
    std::unique_ptr<PalmDatabase> db(PalmDatabase::LoadInMemory(bytes.data(), bytes.size(), &error));
    return font.OpenDatabase(std::move(db));
}

FontFaceSpec Face(const std::string& name, uint8_t size, uint8_t italic = 0, uint8_t bold = 0) {
    FontFaceSpec f;
    f.name = name;
    f.size = size;
    f.italic = italic;
    f.bold = bold;
    f.glyphs.push_back(BlockGlyph(2, 3, kInk, 3));  // 'A'
    f.glyphs.push_back(BlockGlyph(1, 1, kInk, 2));  // 'B'
    return f;
}

// An 8-bit target with guard bytes around it.
struct Target8 {
    static constexpr int kGuard = 64;
    Target8(int w, int h) : width(w), height(h), bytes(kGuard * 2 + w * h, 0) {
        for (int i = 0; i < w * h; ++i) bytes[kGuard + i] = 0;
    }
    uint8_t* pixels() { return bytes.data() + kGuard; }
    uint8_t At(int x, int y) const { return bytes[kGuard + y * width + x]; }
    std::string Row(int y) const {
        std::string s;
        for (int x = 0; x < width; ++x) s += At(x, y) ? '#' : '.';
        return s;
    }
    bool GuardsClean() const {
        for (int i = 0; i < kGuard; ++i)
            if (bytes[i] != 0 || bytes[bytes.size() - 1 - i] != 0) return false;
        return true;
    }
    int width, height;
    std::vector<uint8_t> bytes;
};

class BitmapFontTest : public ::testing::Test {
protected:
    // Opens a one-face font and selects its 10-pixel face.
    bool OpenAndSelect(const FontFaceSpec& face) {
        return OpenBytes(font, BuildFontDatabase({face})) == 0 &&
               font.SelectFace(nullptr, 10, false, false, 8) == 0;
    }
    void Attach(Target8& t) {
        font.SetTarget(t.pixels(), t.width, t.height, 8, true, true);
        font.SetColors(0x000000, 0xFFFFFF);
    }
    BitmapFont font;
};

// ---- Refusals ---------------------------------------------------------------------------------

TEST_F(BitmapFontTest, HeaderWithoutFacesIsRefused) {
    EXPECT_EQ(OpenBytes(font, BuildFontDatabase({})), 1);
    EXPECT_FALSE(font.IsOpen());
}

TEST_F(BitmapFontTest, ShortHeaderIsRefused) {
    Bytes header = FontHeader({Face("A", 10)});
    header.resize(1360 + 183);
    PdbBuilder pdb;
    pdb.Add(header);
    EXPECT_EQ(OpenBytes(font, pdb.Build()), 1);
}

TEST_F(BitmapFontTest, WrongMagicIsRefused) {
    Bytes header = FontHeader({Face("A", 10)});
    header[0] = 'X';
    PdbBuilder pdb;
    pdb.Add(header);
    pdb.Add(GlyphRecord(Face("A", 10)));
    EXPECT_EQ(OpenBytes(font, pdb.Build()), 1);
    EXPECT_EQ(OpenBytes(font, PdbBuilder{}.Build()), 1);
}

TEST_F(BitmapFontTest, WrongGlyphMagicFailsTheSelection) {
    FontFaceSpec f = Face("A", 10);
    PdbBuilder pdb;
    pdb.Add(FontHeader({f}));
    Bytes glyphs = GlyphRecord(f);
    glyphs[0] = 'X';
    pdb.Add(glyphs);
    ASSERT_EQ(OpenBytes(font, pdb.Build()), 0);
    EXPECT_EQ(font.SelectFace(nullptr, 10, false, false, 8), 1);
    EXPECT_FALSE(font.HasFace());
}

TEST_F(BitmapFontTest, GlyphTableLongerThanItsRecordIsRefused) {
    FontFaceSpec f = Face("A", 10);
    PdbBuilder pdb;
    pdb.Add(FontHeader({f}));
    Bytes glyphs = GlyphRecord(f);
    glyphs[6] = 200;  // claims 200 entries
    pdb.Add(glyphs);
    ASSERT_EQ(OpenBytes(font, pdb.Build()), 0);
    EXPECT_EQ(font.SelectFace(nullptr, 10, false, false, 8), 1);
}

TEST_F(BitmapFontTest, GlyphPixelsPastTheRecordAreRefused) {
    FontFaceSpec f = Face("A", 10);
    PdbBuilder pdb;
    pdb.Add(FontHeader({f}));
    Bytes glyphs = GlyphRecord(f);
    glyphs[8 + 12 + 4] = 250;  // glyph 'B' 250 pixels wide
    pdb.Add(glyphs);
    ASSERT_EQ(OpenBytes(font, pdb.Build()), 0);
    EXPECT_EQ(font.SelectFace(nullptr, 10, false, false, 8), 1);
}

TEST_F(BitmapFontTest, FaceNamingAMissingRecordIsRefused) {
    Bytes header = FontHeader({Face("A", 10)});
    header[1360 + 68] = 9;
    PdbBuilder pdb;
    pdb.Add(header);
    ASSERT_EQ(OpenBytes(font, pdb.Build()), 0);
    EXPECT_EQ(font.LoadFace(0), 1);
    EXPECT_EQ(font.LoadFace(-1), 1);
    EXPECT_EQ(font.LoadFace(1), 1);
}

TEST_F(BitmapFontTest, MissingFileIsRefused) {
    Text path;
    path.AssignAscii("\\nowhere\\folvtype.prc");
    EXPECT_EQ(font.Open(path), 1);
}

// ---- Face choice ------------------------------------------------------------------------------

TEST_F(BitmapFontTest, SizeChoosesTheLargestFaceNotAboveIt) {
    ASSERT_EQ(OpenBytes(font, BuildFontDatabase({Face("A", 10), Face("A", 14)})), 0);
    ASSERT_EQ(font.SelectFace(nullptr, 12, false, false, 8), 0);
    EXPECT_EQ(font.CurrentFaceIndex(), 0);
    ASSERT_EQ(font.SelectFace(nullptr, 14, false, false, 8), 0);
    EXPECT_EQ(font.CurrentFaceIndex(), 1);
    EXPECT_EQ(font.SelectFace(nullptr, 9, false, false, 8), 1);
    EXPECT_EQ(font.SelectFace(nullptr, 14, false, false, 16), 1);
}

TEST_F(BitmapFontTest, ExactSizeWithMatchingStyleWinsAtOnce) {
    ASSERT_EQ(OpenBytes(font, BuildFontDatabase({Face("A", 12, 1, 0), Face("A", 12, 0, 1),
                                                  Face("A", 12, 0, 0)})),
              0);
    ASSERT_EQ(font.SelectFace(nullptr, 12, false, true, 8), 0);
    EXPECT_EQ(font.CurrentFaceIndex(), 1);
    ASSERT_EQ(font.SelectFace(nullptr, 12, true, false, 8), 0);
    EXPECT_EQ(font.CurrentFaceIndex(), 0);
}

TEST_F(BitmapFontTest, NameChoosesAmongItsOwnFaces) {
    ASSERT_EQ(OpenBytes(font, BuildFontDatabase({Face("Serif", 10), Face("Sans", 10),
                                                  Face("Sans", 8)})),
              0);
    ASSERT_EQ(font.SelectFace("Sans", 10, false, false, 8), 0);
    EXPECT_EQ(font.CurrentFaceIndex(), 1);
    ASSERT_EQ(font.SelectFace("Sans", 9, false, false, 8), 0);
    EXPECT_EQ(font.CurrentFaceIndex(), 2);
    // An unknown name falls back to the size choice.
    ASSERT_EQ(font.SelectFace("Mono", 10, false, false, 8), 0);
    EXPECT_EQ(font.CurrentFaceIndex(), 0);
}

TEST_F(BitmapFontTest, SizeMapRefusesAZeroStep) {
    ASSERT_EQ(OpenBytes(font, BuildFontDatabase({Face("A", 10), Face("A", 14)})), 0);
    EXPECT_FALSE(font.BuildSizeMap(1, 5, 0));
    EXPECT_FALSE(font.BuildSizeMap(5, 1, 1));
    ASSERT_TRUE(font.BuildSizeMap(1, 4, 1));
    // Entry 0 is the 10-pixel face, entries 1 and up the 14-pixel one.
    ASSERT_EQ(font.SelectFace(nullptr, 1, false, false, 8), 0);
    EXPECT_EQ(font.CurrentFaceIndex(), 0);
    ASSERT_EQ(font.SelectFace(nullptr, 3, false, false, 8), 0);
    EXPECT_EQ(font.CurrentFaceIndex(), 1);
}

// ---- Measuring --------------------------------------------------------------------------------

TEST_F(BitmapFontTest, MeasureRunTakesOffTheOuterAdjustments) {
    FontFaceSpec f = Face("A", 10);
    f.glyphs[0].left = 1;
    f.glyphs[0].right = 2;
    f.glyphs[1].left = -1;
    f.glyphs[1].right = 3;
    ASSERT_TRUE(OpenAndSelect(f));
    int32_t left, width, right;
    font.MeasureRun(u"AB", 2, left, width, right);
    EXPECT_EQ(left, 1);
    EXPECT_EQ(right, 3);
    EXPECT_EQ(width, (1 + 3 + 2) + (-1 + 2 + 3) - 1 - 3);
    font.MeasureRun(u"", 0, left, width, right);
    EXPECT_EQ(width, 0);
}

TEST_F(BitmapFontTest, FitCountStopsWhereTheAdvanceExceedsTheWidth) {
    ASSERT_TRUE(OpenAndSelect(Face("A", 10)));
    EXPECT_EQ(font.FitCount(u"AAAA", 4, 9), 3);
    EXPECT_EQ(font.FitCount(u"AAAA", 4, 8), 2);
    EXPECT_EQ(font.FitCount(u"AAAA", 4, 100), 4);
    EXPECT_EQ(font.FitCount(u"A", 1, 0), 0);
}

TEST_F(BitmapFontTest, CharactersOutsideTheGlyphRangeAreSkipped) {
    FontFaceSpec f = Face("A", 10);
    ASSERT_TRUE(OpenAndSelect(f));
    int32_t left, width, right;
    // U+0141 has low byte 0x41 ('A') but is not 'A'.
    font.MeasureRun(u"\u0141\u0142@", 3, left, width, right);
    EXPECT_EQ(width, 0);
    font.MeasureRun(u"A\u0141B", 3, left, width, right);
    EXPECT_EQ(width, 5);
}

TEST_F(BitmapFontTest, FirstCodeAbove255IsReachable) {
    FontFaceSpec f = Face("A", 10);
    f.firstCode = 0x0410;
    ASSERT_TRUE(OpenAndSelect(f));
    int32_t left, width, right;
    font.MeasureRun(u"\u0410\u0411", 2, left, width, right);
    EXPECT_EQ(width, 5);
}

// ---- Drawing ----------------------------------------------------------------------------------

TEST_F(BitmapFontTest, DrawsGlyphsAtTheirPlaces) {
    ASSERT_TRUE(OpenAndSelect(Face("A", 10)));
    Target8 t(8, 4);
    Attach(t);
    font.DrawText(1, 0, u"AB", 2, false);
    EXPECT_EQ(t.Row(0), ".##.#...");
    EXPECT_EQ(t.Row(1), ".##.....");
    EXPECT_EQ(t.Row(2), ".##.....");
    EXPECT_EQ(t.Row(3), "........");
    EXPECT_EQ(t.At(1, 0), 255);  // black in the web palette
}

TEST_F(BitmapFontTest, ClippingNeverWritesOutsideTheTarget) {
    FontFaceSpec f = Face("A", 10);
    f.glyphs[0] = BlockGlyph(6, 6, kInk, 6);
    f.glyphs[0].yOffset = -3;
    f.slant = 10;
    f.lineHeight = 4;
    ASSERT_TRUE(OpenAndSelect(f));
    Target8 t(8, 4);
    Attach(t);
    for (int x = -8; x <= 9; ++x)
        for (int y = -2; y <= 5; ++y) font.DrawText(x, y, u"AAA", 3, true);
    EXPECT_TRUE(t.GuardsClean());
}

TEST_F(BitmapFontTest, GlyphPartlyLeftOfTheClipIsDrawnFromItsFirstVisibleColumn) {
    FontFaceSpec f = Face("A", 10);
    f.glyphs[0] = BlockGlyph(3, 1, kInk, 3);
    f.glyphs[0].pixels = {kInk, 0, kInk};
    ASSERT_TRUE(OpenAndSelect(f));
    Target8 t(6, 2);
    Attach(t);
    font.SetClip(2, 6, 0, 2);
    font.DrawText(0, 0, u"A", 1, false);
    EXPECT_EQ(t.Row(0), "..#...");
}

TEST_F(BitmapFontTest, RowsAboveTheTopClipAreCut) {
    FontFaceSpec f = Face("A", 10);
    f.glyphs[0] = BlockGlyph(2, 4, kInk, 2);
    f.glyphs[0].yOffset = -2;
    ASSERT_TRUE(OpenAndSelect(f));
    Target8 t(4, 4);
    Attach(t);
    font.SetClip(0, 4, 1, 4);
    font.DrawText(0, 1, u"A", 1, false);
    EXPECT_EQ(t.Row(0), "....");
    EXPECT_EQ(t.Row(1), "##..");
    EXPECT_EQ(t.Row(2), "##..");
    EXPECT_TRUE(t.GuardsClean());
}

TEST_F(BitmapFontTest, SlantMovesLowerRowsLeft) {
    FontFaceSpec f = Face("A", 10);
    f.glyphs[0] = BlockGlyph(1, 4, kInk, 1);
    f.lineHeight = 4;
    f.slant = 2;  // one pixel every two rows
    ASSERT_TRUE(OpenAndSelect(f));
    Target8 t(6, 4);
    Attach(t);
    font.DrawText(3, 0, u"A", 1, false);
    EXPECT_EQ(t.Row(0), "...#..");
    EXPECT_EQ(t.Row(1), "..#...");
    EXPECT_EQ(t.Row(2), "..#...");
    EXPECT_EQ(t.Row(3), ".#....");
}

TEST_F(BitmapFontTest, UnderlineRunsUnderTheWholeRun) {
    FontFaceSpec f = Face("A", 10);
    f.ascent = 1;
    ASSERT_TRUE(OpenAndSelect(f));
    Target8 t(8, 4);
    Attach(t);
    font.DrawText(1, 0, u"AA", 2, true);
    EXPECT_EQ(t.Row(3), ".######.");
}

TEST_F(BitmapFontTest, BackgroundLevelsLeaveThePixels) {
    FontFaceSpec f = Face("A", 10);
    f.glyphs[0] = BlockGlyph(2, 1, 0, 2);  // level 0 is the background
    ASSERT_TRUE(OpenAndSelect(f));
    Target8 t(4, 1);
    Attach(t);
    t.pixels()[0] = 77;
    font.DrawText(0, 0, u"A", 1, false);
    EXPECT_EQ(t.At(0, 0), 77);
}

TEST_F(BitmapFontTest, SixteenBitBlackOnWhiteDarkensInPlace) {
    ASSERT_TRUE(OpenAndSelect(Face("A", 10)));
    std::vector<uint16_t> px(4 * 3, 0xFFFF);
    font.SetTarget(reinterpret_cast<uint8_t*>(px.data()), 8, 3, 16, false, true);
    font.DrawText(0, 0, u"A", 1, false);
    EXPECT_EQ(px[0], 0x0000);
    EXPECT_EQ(px[2], 0xFFFF);
    font.SetColors(0x0000FF, 0xFFFFFF);  // red text
    font.DrawText(2, 0, u"B", 1, false);
    EXPECT_EQ(px[2], 0xF800);
    font.Clear(0x00FF00);
    EXPECT_EQ(px[11], 0x07E0);
}

TEST_F(BitmapFontTest, ThirtyTwoBitTargetsTakeTheMixedColourAndKeepTheBackground) {
    FontFaceSpec f = Face("A", 10);
    GlyphSpec g = BlockGlyph(3, 1, kInk, 4);
    g.pixels = {0, 128, kInk};  // background, half, ink
    f.glyphs[0] = g;
    ASSERT_TRUE(OpenAndSelect(f));
    std::vector<uint32_t> px(6 * 2, 0x123456);
    font.SetTarget(reinterpret_cast<uint8_t*>(px.data()), 6 * 4, 2, 32, false, true);
    font.SetColors(0x0000FF, 0xFFFFFF);  // red on white (r | g << 8 | b << 16)
    font.SetClip(0, 100, 0, 100);
    font.DrawText(1, 0, u"A", 1, false);
    EXPECT_EQ(px[1], 0x123456u);  // the background level leaves the pixel
    EXPECT_EQ(px[3], 0xFF0000u);  // ink: the text colour as 0x00RRGGBB
    const uint32_t half = px[2];
    EXPECT_EQ(half >> 16, 0xFFu);
    EXPECT_GT(half & 0xFF, 0x40u);
    EXPECT_LT(half & 0xFF, 0xC0u);
    EXPECT_EQ(px[4], 0x123456u);  // the clip is the target's width, not past it
    EXPECT_EQ(px[6 + 3], 0x123456u);
    font.Clear(0x00FF00);
    EXPECT_EQ(px[11], 0x00FF00u);
}

TEST_F(BitmapFontTest, NothingIsDrawnWithoutATarget) {
    ASSERT_TRUE(OpenAndSelect(Face("A", 10)));
    font.DrawText(0, 0, u"A", 1, true);
    font.Clear(0);
    int32_t h, a;
    font.Metrics(h, a);
    EXPECT_EQ(h, 10);
    EXPECT_EQ(a, 8);
    font.Close();
    font.Metrics(h, a);
    EXPECT_EQ(h, 0);
}

TEST_F(BitmapFontTest, ClearFillsOnlyTheTarget) {
    Target8 t(5, 3);
    font.SetTarget(t.pixels(), 5, 3, 8, true, true);
    font.Clear(0x000000);
    EXPECT_EQ(t.At(4, 2), 255);
    EXPECT_TRUE(t.GuardsClean());
}

// ---- The web-safe palette ---------------------------------------------------------------------

TEST(WebSafePalette, GreysAndColours) {
    EXPECT_EQ(BitmapFont::WebSafePaletteIndex(255, 255, 255), 0);
    EXPECT_EQ(BitmapFont::WebSafePaletteIndex(0, 0, 0), 255);
    // (384 + 25) * 1285 >> 16 = 8: entry 8 of the grey table.
    EXPECT_EQ(BitmapFont::WebSafePaletteIndex(128, 128, 128), 220);
    // Pure red: R level 5 -> 0, G 0 -> 5, B 0 -> 5: 5 + 6 * (2 + 0) + 108.
    EXPECT_EQ(BitmapFont::WebSafePaletteIndex(255, 0, 0), 5 + 12 + 108);
    // Pure blue: R 5, G 5, B 0: 5 + 6 * (0 + 15) = 95.
    EXPECT_EQ(BitmapFont::WebSafePaletteIndex(0, 0, 255), 95);
}

}  // namespace

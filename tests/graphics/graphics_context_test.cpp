// The graphics context over a 32-bit canvas: drawing brackets, lines and their end pixels,
// inverting, clipping and saved states, the font cache and baseline shift, text backgrounds,
// gradients and zig-zags, pictures, rotated copies and bitmap faces.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/color.h"
#include "core/text.h"
#include "graphics/core/graphics_context.h"
#include "platform/gdi/gdi_fixture.h"
#include "support/graphics/font_fixture.h"
#include "support/media/image/picture_fixtures.h"
#include "support/platform/window_fixture.h"

namespace {

using gdi_test::Canvas;

constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kRedRef = RGB(255, 0, 0);
constexpr COLORREF kBlueRef = RGB(0, 0, 255);
constexpr uint32_t kRed = 0x0000FF;
constexpr uint32_t kBlue = 0xFF0000;

class Faces : public FaceTable {
public:
    bool IsBitmapFace(uint8_t face) const override { return face == 4; }
    const Text* FaceName(uint8_t face) const override {
        return face == 4 ? &fontPath : face == 1 ? &gdiName : nullptr;
    }
    Text fontPath;
    Text gdiName;
};

class GraphicsContextTest : public fvt::test::WindowTest {
public:
    void SetUp() override {
        WindowTest::SetUp();
        GdiUseSyntheticFonts(true);
        faces.gdiName.AssignAscii("Folivant Test Box");
        gc = std::make_unique<GraphicsContext>(&faces);
    }
    void TearDown() override {
        gc.reset();
        GdiUseSyntheticFonts(false);
        WindowTest::TearDown();
    }
    // Binds the context to a canvas and begins drawing.
    void Begin(Canvas& canvas) {
        target = OffscreenBitmap{};
        target.dc = canvas.dc();
        target.bitmap = canvas.bitmap();
        target.size = Size{canvas.width(), canvas.height()};
        gc->SetExternalTarget(&target);
        ASSERT_EQ(gc->BeginDraw(false, nullptr), gc.get());
    }
    void End() {
        gc->EndDraw();
        gc->ClearExternalTarget();
    }
    Faces faces;
    OffscreenBitmap target;
    std::unique_ptr<GraphicsContext> gc;
};

// ---- Brackets ---------------------------------------------------------------------------------

TEST_F(GraphicsContextTest, NestedDrawingReleasesTheDCOnlyAtTheLastEnd) {
    Canvas c(8, 8);
    Begin(c);
    gc->BeginDraw(false, nullptr);
    gc->BeginDraw(false, nullptr);
    EXPECT_EQ(gc->DrawDepth(), 3);
    EXPECT_FALSE(gc->EndDraw());
    EXPECT_FALSE(gc->EndDraw());
    EXPECT_NE(gc->CurrentDC(), nullptr);
    EXPECT_TRUE(gc->EndDraw());
    EXPECT_EQ(gc->CurrentDC(), nullptr);
    EXPECT_FALSE(gc->EndDraw());  // one too many: nothing happens
    EXPECT_EQ(gc->DrawDepth(), 0);
}

TEST_F(GraphicsContextTest, NothingIsDrawnOutsideTheBrackets) {
    Canvas c(8, 8);
    gc->SetPenColor(0);
    gc->DrawLine(Point{0, 0}, Point{5, 0});
    gc->FillRect(Rect{0, 0, 8, 8});
    EXPECT_EQ(c.Count(kWhite), 64);
}

// ---- Lines and shapes -------------------------------------------------------------------------

TEST_F(GraphicsContextTest, LinesIncludeBothEnds) {
    Canvas c(10, 3);
    Begin(c);
    gc->SetPenColor(0);
    gc->DrawLine(Point{0, 0}, Point{5, 0});
    End();
    EXPECT_EQ(c.Row(0, kBlack), "######....");
}

TEST_F(GraphicsContextTest, InvertedLineDrawnTwiceRestoresTheCanvas) {
    Canvas c(10, 3);
    Begin(c);
    gc->SetPenColor(0);
    gc->SetDrawMode(GraphicsContext::kDrawInvert);
    gc->DrawLine(Point{1, 1}, Point{6, 1});
    EXPECT_EQ(c.Row(1, kBlack), ".######...");
    gc->DrawLine(Point{1, 1}, Point{6, 1});
    End();
    EXPECT_EQ(c.Count(kWhite), 30);
}

TEST_F(GraphicsContextTest, RectangleOutlineAndFill) {
    Canvas c(6, 6);
    Begin(c);
    gc->SetPenColor(0);
    gc->DrawRectangle(Rect{0, 0, 4, 3}, false);
    gc->SetBrushColor(kRed);
    gc->SetPenColor(kRed);
    gc->DrawRectangle(Rect{1, 4, 3, 2}, true);
    End();
    EXPECT_EQ(c.Row(0, kBlack), "####..");
    EXPECT_EQ(c.Row(1, kBlack), "#..#..");
    EXPECT_EQ(c.Row(2, kBlack), "####..");
    EXPECT_EQ(c.Row(4, kRedRef), ".###..");
    EXPECT_EQ(target.changed, (Rect{0, 0, 4, 6}));
}

TEST_F(GraphicsContextTest, ClipAndOriginShapeWhatIsDrawn) {
    Canvas c(8, 4);
    Begin(c);
    gc->SetBrushColor(kRed);
    gc->SetViewportOrigin(Point{2, 0});
    gc->SetClipRect(Rect{0, 0, 3, 2});
    gc->FillRect(Rect{-5, -5, 50, 50});
    End();
    EXPECT_EQ(c.Row(0, kRedRef), "..###...");
    EXPECT_EQ(c.Row(2, kRedRef), "........");
}

TEST_F(GraphicsContextTest, PopStateBringsBackClipAndOrigin) {
    Canvas c(8, 2);
    Begin(c);
    gc->SetBrushColor(kRed);
    gc->SetClipRect(Rect{0, 0, 4, 2});
    ASSERT_TRUE(gc->PushState());
    gc->SetViewportOrigin(Point{1, 0});
    gc->ResetClip();
    gc->PopState();
    EXPECT_EQ(gc->ViewportOrigin(), (Point{0, 0}));
    EXPECT_EQ(gc->ClipRect(), (Rect{0, 0, 4, 2}));
    gc->FillRect(Rect{0, 0, 8, 2});
    gc->PopState();  // nothing pushed: no change
    EXPECT_EQ(gc->ClipRect(), (Rect{0, 0, 4, 2}));
    End();
    EXPECT_EQ(c.Row(0, kRedRef), "####....");
}

TEST_F(GraphicsContextTest, FailedPushLeavesTheStateAsItWas) {
    Canvas c(4, 4);
    Begin(c);
    GraphicsContext::FailPushStateAfterForTesting(0);
    EXPECT_FALSE(gc->PushState());
    GraphicsContext::FailPushStateAfterForTesting(-1);
    gc->SetViewportOrigin(Point{2, 2});
    gc->PopState();
    EXPECT_EQ(gc->ViewportOrigin(), (Point{2, 2}));
    End();
}

TEST_F(GraphicsContextTest, GradientStartsAtFromAndStopsShortOfTo) {
    Canvas c(2, 4);
    Begin(c);
    gc->FillGradient(Rect{0, 0, 2, 4}, 0x000000, 0xFFFFFF, true);
    End();
    EXPECT_EQ(c.At(0, 0), kBlack);
    EXPECT_EQ(c.At(1, 3), RGB(191, 191, 191));
}

TEST_F(GraphicsContextTest, ZigZagBouncesBetweenTheEdges) {
    Canvas c(3, 7);
    Begin(c);
    gc->SetPenColor(0);
    gc->DrawZigZag(Rect{0, 0, 3, 7}, true, false, false);
    End();
    const char* rows[] = {"#..", ".#.", "..#", ".#.", "#..", ".#.", "..#"};
    for (int y = 0; y < 7; ++y) EXPECT_EQ(c.Row(y, kBlack), rows[y]) << y;
}

TEST_F(GraphicsContextTest, AlignedZigZagPiecesJoin) {
    Canvas whole(3, 8), pieces(3, 8);
    Begin(whole);
    gc->SetPenColor(0);
    gc->DrawZigZag(Rect{0, 0, 3, 8}, true, false, true);
    End();
    Begin(pieces);
    gc->SetPenColor(0);
    gc->DrawZigZag(Rect{0, 0, 3, 4}, true, false, true);
    gc->DrawZigZag(Rect{0, 4, 3, 4}, true, false, true);
    End();
    for (int y = 0; y < 8; ++y) EXPECT_EQ(pieces.Row(y, kBlack), whole.Row(y, kBlack)) << y;
}

// ---- Fonts and text ---------------------------------------------------------------------------

TEST_F(GraphicsContextTest, SixthStyleEvictsTheLeastRecentlyUsedFont) {
    Canvas c(8, 8);
    Begin(c);
    auto use = [&](int8_t size) {
        gc->SetFontStyle(FontStyle{size, 0, 1});
        gc->FontAscent();
    };
    for (int8_t s = 10; s < 15; ++s) use(s);
    use(10);  // 10 is recent again; 11 is now the oldest
    use(20);
    EXPECT_TRUE(gc->IsFontCached(FontStyle{10, 0, 1}));
    EXPECT_FALSE(gc->IsFontCached(FontStyle{11, 0, 1}));
    EXPECT_TRUE(gc->IsFontCached(FontStyle{20, 0, 1}));
    End();
    gc->ReleaseCachedObjects(1);
    EXPECT_FALSE(gc->IsFontCached(FontStyle{10, 0, 1}));
}

TEST_F(GraphicsContextTest, VerticalPositionShiftsTheBaseline) {
    Canvas c(8, 8);
    Begin(c);
    gc->SetFontStyle(FontStyle{-12, 0x60, 1});
    int32_t plainAscent = 0;
    int32_t ascent = gc->FontAscent();
    EXPECT_EQ(gc->BaselineShift(), 4);
    gc->SetFontStyle(FontStyle{-12, 0x70, 1});
    gc->FontAscent();
    EXPECT_EQ(gc->BaselineShift(), -4);
    gc->SetFontStyle(FontStyle{-12, 0x30, 1});
    plainAscent = gc->FontAscent();
    EXPECT_EQ(gc->BaselineShift(), 0);
    EXPECT_EQ(ascent, plainAscent - 4);
    End();
}

TEST_F(GraphicsContextTest, TextBackgroundFollowsTheBrush) {
    Canvas c(40, 20);
    c.Clear(kRedRef);
    Begin(c);
    gc->SetFontStyle(FontStyle{-12, 0, 1});
    gc->SetTextColor(0);
    gc->SetBrushColor(Color::kNone);
    gc->DrawText(u"MM", 2, Point{0, 0});
    EXPECT_EQ(c.Count(kBlueRef), 0);
    gc->SetBrushColor(kBlue);
    gc->DrawText(u"MM", 2, Point{0, 0});
    End();
    EXPECT_GT(c.Count(kBlueRef), 0);
}

// The context sets a text colour or font only when the DC does not already hold it; what it
// remembers must not outlive a change made behind its back, directly or by RestoreDC.
TEST_F(GraphicsContextTest, TextColourAndFontChangedBehindTheContextAreSetAgain) {
    Canvas c(60, 30);
    auto draw = [&](uint32_t colour) {
        c.Clear(kWhite);
        gc->SetFontStyle(FontStyle{-20, 0, 1});
        gc->SetTextColor(colour);
        gc->DrawText(u"MM", 2, Point{0, 0});
    };
    Begin(c);
    gc->SetBrushColor(Color::kNone);
    draw(kRed);
    const RECT ink = c.InkBox(kWhite);
    const int red = c.Count(kRedRef);
    ASSERT_GT(red, 0);
    // Set directly on the DC.
    ::SetTextColor(c.dc(), kBlueRef);
    draw(kRed);
    EXPECT_EQ(c.Count(kRedRef), red);
    EXPECT_EQ(c.Count(kBlueRef), 0);
    // Brought back by RestoreDC to what it was before the context's last change.
    int level = SaveDC(c.dc());
    draw(kBlue);
    EXPECT_GT(c.Count(kBlueRef), 0);
    RestoreDC(c.dc(), level);
    draw(kBlue);
    EXPECT_GT(c.Count(kBlueRef), 0);
    EXPECT_EQ(c.Count(kRedRef), 0);
    // Another font selected into the DC: the same style draws with the context's font again.
    HGDIOBJ mine = GetCurrentObject(c.dc(), OBJ_FONT);
    SelectObject(c.dc(), GetStockObject(SYSTEM_FONT));
    draw(kRed);
    EXPECT_EQ(GetCurrentObject(c.dc(), OBJ_FONT), mine);
    EXPECT_EQ(c.InkBox(kWhite), ink);
    EXPECT_EQ(c.Count(kRedRef), red);
    // Another DC in between (a switch of targets) and back.
    Canvas other(60, 30);
    gc->PushTargetDC(other.dc());
    gc->SetTextColor(kBlue);
    gc->PopTargetDC();
    draw(kBlue);
    EXPECT_GT(c.Count(kBlueRef), 0);
    End();
    // A new drawing bracket after the DC was changed between brackets.
    ::SetTextColor(c.dc(), kBlack);
    Begin(c);
    draw(kBlue);
    EXPECT_EQ(c.Count(kBlack), 0);
    EXPECT_GT(c.Count(kBlueRef), 0);
    End();
}

TEST_F(GraphicsContextTest, MeasuringAndFittingUseTheSelectedFont) {
    Canvas c(8, 8);
    Begin(c);
    gc->SetFontStyle(FontStyle{-12, 0, 1});
    Size one, three;
    ASSERT_TRUE(gc->MeasureText(u"M", 1, one));
    ASSERT_TRUE(gc->MeasureText(u"MMM", 3, three));
    EXPECT_GT(one.width, 0);
    EXPECT_EQ(three.width, 3 * one.width);
    EXPECT_EQ(gc->FitCount(u"MMM", 3, 2 * one.width), 2);
    End();
}

TEST_F(GraphicsContextTest, UnderlineOnlyWithTheLineFlag) {
    Canvas c(40, 30);
    Begin(c);
    gc->SetTextColor(0);
    gc->SetFontStyle(FontStyle{-12, 0, 1});
    gc->DrawUnderline(Point{0, 0}, 30);
    EXPECT_EQ(c.Count(kBlack), 0);
    gc->SetFontStyle(FontStyle{-12, FontStyle::kUnderline, 1});
    gc->DrawUnderline(Point{0, 0}, 30);
    End();
    EXPECT_GT(c.Count(kBlack), 0);
}

TEST_F(GraphicsContextTest, MultilineTextMovesDownALineAtEachBreak) {
    Canvas one(60, 60), three(60, 60);
    Begin(one);
    gc->SetTextColor(0);
    gc->SetFontStyle(FontStyle{-10, 0, 1});
    int32_t step = gc->FontAscent() + gc->FontDescent();
    gc->DrawText(u"ab", 2, Point{0, 0});
    gc->DrawText(u"c", 1, Point{0, step});
    gc->DrawText(u"d", 1, Point{0, 3 * step});
    End();
    Begin(three);
    gc->SetTextColor(0);
    gc->SetFontStyle(FontStyle{-10, 0, 1});
    gc->DrawMultilineText(u"ab\r\nc\n\rd", 9, Point{0, 0});
    End();
    for (int y = 0; y < 60; ++y) EXPECT_EQ(three.Row(y, kBlack), one.Row(y, kBlack)) << y;
}

TEST_F(GraphicsContextTest, UnderlineCoversWideGaps) {
    Canvas c(1000, 40);
    Begin(c);
    gc->SetTextColor(0);
    gc->SetFontStyle(FontStyle{-12, FontStyle::kUnderline, 1});
    gc->DrawUnderline(Point{0, 0}, 990);
    End();
    int inkAtEnd = 0;
    for (int y = 0; y < 40; ++y) inkAtEnd += c.At(985, y) == kBlack;
    EXPECT_GT(inkAtEnd, 0);
}

TEST_F(GraphicsContextTest, ReleasingTheSelectedFontPutsTheDCsOwnBack) {
    Canvas c(8, 8);
    HGDIOBJ own = GetCurrentObject(c.dc(), OBJ_FONT);
    Begin(c);
    gc->SetFontStyle(FontStyle{-12, 0, 1});
    gc->FontAscent();
    HGDIOBJ cached = GetCurrentObject(c.dc(), OBJ_FONT);
    ASSERT_NE(cached, own);
    gc->ReleaseCachedObjects(1);
    EXPECT_EQ(GetCurrentObject(c.dc(), OBJ_FONT), own);
    EXPECT_EQ(GetObjectType(cached), 0u);  // deleted, not leaked
    EXPECT_GT(gc->FontAscent(), 0);        // made again on the next use
    End();
    EXPECT_EQ(GetCurrentObject(c.dc(), OBJ_FONT), own);
}

TEST_F(GraphicsContextTest, SwitchingTargetsMidDrawKeepsEachDCsOwnObjects) {
    Canvas a(6, 2), b(6, 2);
    HGDIOBJ penA = GetCurrentObject(a.dc(), OBJ_PEN);
    HGDIOBJ penB = GetCurrentObject(b.dc(), OBJ_PEN);
    Begin(a);
    gc->SetPenColor(kRed);
    gc->DrawLine(Point{0, 0}, Point{2, 0});
    gc->PushTargetDC(b.dc());
    EXPECT_EQ(GetCurrentObject(a.dc(), OBJ_PEN), penA);
    gc->SetPenColor(kRed);
    gc->DrawLine(Point{0, 1}, Point{2, 1});
    gc->PopTargetDC();
    EXPECT_EQ(GetCurrentObject(b.dc(), OBJ_PEN), penB);
    gc->SetPenColor(kRed);
    gc->DrawLine(Point{3, 0}, Point{5, 0});
    End();
    EXPECT_EQ(GetCurrentObject(a.dc(), OBJ_PEN), penA);
    EXPECT_EQ(a.Row(0, kRedRef), "######");
    EXPECT_EQ(b.Row(1, kRedRef), "###...");
}

// ---- Bitmap faces -----------------------------------------------------------------------------

TEST_F(GraphicsContextTest, BitmapFacesMeasureFitAndDrawIntoTheirTarget) {
    FontFaceSpec face;
    face.size = 12;
    face.firstCode = 'A';
    face.glyphs.push_back(BlockGlyph(2, 3, 255, 3));
    device_.WriteHost("folvtype.prc", [&] {
        Bytes b = BuildFontDatabase({face});
        return std::string(b.begin(), b.end());
    }());
    faces.fontPath.AssignAscii("\\folvtype.prc");
    Canvas c(4, 4);
    Begin(c);
    gc->SetFontStyle(FontStyle{-12, 0, 4});
    Size s;
    ASSERT_TRUE(gc->MeasureText(u"AA", 2, s));
    EXPECT_EQ(s, (Size{6, 10}));
    EXPECT_EQ(gc->FitCount(u"AAAA", 4, 7), 2);
    EXPECT_EQ(gc->FontAscent(), 8);
    std::vector<uint8_t> pixels(16 * 4, 0);
    gc->SetBitmapFontTarget(pixels.data(), 16, 4, 8, Point{0, 0});
    gc->SetTextColor(0);
    gc->DrawText(u"A", 1, Point{-4, 0});
    End();
    EXPECT_EQ(pixels[0], 255);
    EXPECT_EQ(pixels[1], 255);
    EXPECT_EQ(pixels[2], 0);
    EXPECT_EQ(pixels[16 * 2 + 1], 255);
    EXPECT_EQ(pixels[16 * 3], 0);
}

// The page's DC has no pixel buffer handed to the context: the glyphs still reach it, at the
// pen (4 pixels in, as the faces are drawn), in the text colour, inside the clip and the origin.
TEST_F(GraphicsContextTest, BitmapFacesDrawIntoTheDcWithoutATarget) {
    FontFaceSpec face;
    face.size = 12;
    face.firstCode = 'A';
    face.glyphs.push_back(BlockGlyph(2, 3, 255, 3));
    device_.WriteHost("folvtype.prc", [&] {
        Bytes b = BuildFontDatabase({face});
        return std::string(b.begin(), b.end());
    }());
    faces.fontPath.AssignAscii("\\folvtype.prc");
    Canvas c(16, 8);
    Begin(c);
    gc->SetFontStyle(FontStyle{-12, 0, 4});
    gc->SetTextColor(kRed);
    gc->SetBrushColor(Color::kNone);
    gc->SetViewportOrigin(Point{1, 1});
    gc->DrawText(u"AA", 2, Point{0, 0});
    gc->SetClipRect(Rect{0, 0, 8, 8});
    gc->DrawText(u"AAA", 3, Point{0, 4});
    End();
    EXPECT_EQ(c.Row(0, kRedRef), "................");
    EXPECT_EQ(c.Row(1, kRedRef), ".....##.##......");
    EXPECT_EQ(c.Row(3, kRedRef), ".....##.##......");
    EXPECT_EQ(c.Row(4, kRedRef), "................");
    // The second run is cut at the clip's right edge (8, moved by the origin to 9).
    EXPECT_EQ(c.Row(5, kRedRef), ".....##.#.......");
    EXPECT_EQ(c.Count(kWhite), 16 * 8 - 4 * 3 - 3 * 3);
}

TEST_F(GraphicsContextTest, MissingBitmapFaceFallsBackToFaceOne) {
    faces.fontPath.AssignAscii("\\missing.prc");
    Canvas c(4, 4);
    Begin(c);
    gc->SetFontStyle(FontStyle{-12, 0, 4});
    EXPECT_GT(gc->FontAscent(), 0);
    EXPECT_EQ(gc->GetFontStyle().face, 1);
    End();
}

// ---- Pictures ---------------------------------------------------------------------------------

fvt::test::GifSpec TwoColourGif(uint32_t w, uint32_t h, int transparent = -1) {
    fvt::test::GifSpec g;
    g.width = w;
    g.height = h;
    g.palette = {{255, 0, 0}, {0, 0, 255}};
    g.pixels.assign(w * h, 1);
    g.pixels[0] = 0;
    g.transparent = transparent;
    return g;
}

TEST_F(GraphicsContextTest, GifIsScaledDownToTheRect) {
    Canvas c(8, 8);
    Begin(c);
    auto gif = fvt::test::WriteGif(TwoColourGif(8, 8));
    EXPECT_TRUE(gc->DrawImage(Rect{0, 0, 4, 4}, Rect{0, 0, 8, 8}, gif.data(),
                              static_cast<uint32_t>(gif.size())));
    End();
    // Each pixel averages the area it covers: the red corner is a quarter of the first.
    EXPECT_EQ(c.At(0, 0), static_cast<uint32_t>(RGB(64, 0, 191)));
    EXPECT_EQ(c.At(3, 3), kBlueRef);
    EXPECT_EQ(c.At(4, 4), kWhite);
    EXPECT_EQ(target.changed, (Rect{0, 0, 4, 4}));
}

// A Rect larger both ways, with `enlarge`, is the picture's size on a denser screen: GIF and
// BMP alike fill it, each pixel grown to a block (without it, a BMP stays centred at its own
// size, a GIF in the corner).
TEST_F(GraphicsContextTest, PalettedPicturesAreEnlargedToALargerRectWhenAsked) {
    fvt::test::BmpSpec b;
    b.width = 4;
    b.height = 4;
    b.palette = {{255, 0, 0}, {0, 0, 255}};
    b.pixels.assign(16, 1);
    b.pixels[0] = 0;
    for (const auto& data : {fvt::test::WriteGif(TwoColourGif(4, 4)), fvt::test::WriteBmp(b)}) {
        Canvas c(10, 10);
        Begin(c);
        EXPECT_TRUE(gc->DrawImage(Rect{1, 1, 8, 8}, Rect{0, 0, 10, 10}, data.data(),
                                  static_cast<uint32_t>(data.size()), nullptr, true));
        End();
        EXPECT_EQ(c.At(0, 0), kWhite);
        EXPECT_EQ(c.At(1, 1), static_cast<uint32_t>(RGB(255, 0, 0)));
        EXPECT_EQ(c.At(2, 2), static_cast<uint32_t>(RGB(255, 0, 0)));
        EXPECT_EQ(c.At(3, 3), kBlueRef);
        EXPECT_EQ(c.At(8, 8), kBlueRef);
        EXPECT_EQ(c.At(9, 9), kWhite);
    }
}

TEST_F(GraphicsContextTest, TransparentIndexTakesTheBrushColour) {
    Canvas c(4, 4);
    Begin(c);
    gc->SetBrushColor(0x00FF00);
    auto gif = fvt::test::WriteGif(TwoColourGif(4, 4, 0));
    EXPECT_TRUE(gc->DrawImage(Rect{0, 0, 4, 4}, Rect{0, 0, 4, 4}, gif.data(),
                              static_cast<uint32_t>(gif.size())));
    End();
    EXPECT_EQ(c.At(0, 0), RGB(0, 255, 0));
}

TEST_F(GraphicsContextTest, BmpLargerThanItsRectIsScaledDownToIt) {
    fvt::test::BmpSpec b;
    b.width = 12;
    b.height = 12;
    b.palette = {{255, 0, 0}, {0, 0, 255}};
    b.pixels.assign(144, 1);
    b.pixels[6 * 12 + 6] = 0;  // the centre pixel
    auto bmp = fvt::test::WriteBmp(b);
    Canvas c(6, 6);
    Begin(c);
    EXPECT_TRUE(gc->DrawImage(Rect{1, 1, 4, 4}, Rect{0, 0, 6, 6}, bmp.data(),
                              static_cast<uint32_t>(bmp.size())));
    End();
    // The whole picture in the Rect, as a GIF would be: its corners at the Rect's corners.
    EXPECT_EQ(c.At(0, 0), kWhite);
    EXPECT_EQ(c.At(1, 1), kBlueRef);
    EXPECT_EQ(c.At(4, 4), kBlueRef);
    EXPECT_EQ(c.At(5, 5), kWhite);
}

TEST_F(GraphicsContextTest, JpegIsResampledToTheRect) {
    std::vector<uint8_t> rgb(16 * 16 * 3, 0);
    for (size_t i = 0; i < rgb.size(); i += 3) rgb[i] = 255;  // red
    auto jpeg = fvt::test::WriteJpeg(16, 16, 3, rgb);
    Canvas c(10, 10);
    Begin(c);
    EXPECT_TRUE(gc->DrawImage(Rect{1, 1, 6, 6}, Rect{0, 0, 10, 10}, jpeg.data(),
                              static_cast<uint32_t>(jpeg.size())));
    End();
    COLORREF mid = c.At(4, 4);
    EXPECT_GT(GetRValue(mid), 200);
    EXPECT_LT(GetGValue(mid), 60);
    EXPECT_EQ(c.At(0, 0), kWhite);
    EXPECT_EQ(c.At(8, 8), kWhite);
}

// Every pixel of two canvases.
bool SamePixels(const Canvas& a, const Canvas& b) {
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.At(x, y) != b.At(x, y)) return false;
    return true;
}

// A kept picture draws, anywhere and through any clip, what decoding it there would draw; it
// serves only the size and fill it was decoded for.
TEST_F(GraphicsContextTest, AKeptPictureDrawsWhatADecodeWould) {
    std::vector<uint8_t> rgb(16 * 16 * 3, 0);
    for (size_t i = 0; i < rgb.size(); i += 3) rgb[i] = static_cast<uint8_t>(i * 7);
    fvt::test::BmpSpec b;
    b.width = 9;
    b.height = 9;
    b.palette = {{255, 0, 0}, {0, 0, 255}};
    b.pixels.assign(81, 1);
    b.pixels[40] = 0;
    const std::vector<std::vector<uint8_t>> pictures = {
        fvt::test::WriteGif(TwoColourGif(8, 8, 0)), fvt::test::WriteBmp(b),
        fvt::test::WriteJpeg(16, 16, 3, rgb)};
    for (const auto& data : pictures) {
        const uint32_t n = static_cast<uint32_t>(data.size());
        KeptPicture keep;
        Canvas first(12, 12), kept(12, 12), fresh(12, 12);
        Begin(first);
        gc->SetBrushColor(0x00FF00);
        ASSERT_TRUE(gc->DrawImage(Rect{0, 0, 6, 6}, Rect{0, 0, 12, 12}, data.data(), n, &keep));
        End();
        ASSERT_TRUE(keep.Holds());

        Begin(kept);
        gc->SetBrushColor(0x00FF00);
        EXPECT_FALSE(gc->DrawKeptImage(Rect{3, 4, 7, 6}, Rect{0, 0, 12, 12}, keep));  // size
        EXPECT_TRUE(gc->DrawKeptImage(Rect{3, 4, 6, 6}, Rect{4, 5, 4, 3}, keep));
        End();
        Begin(fresh);
        gc->SetBrushColor(0x00FF00);
        ASSERT_TRUE(gc->DrawImage(Rect{3, 4, 6, 6}, Rect{4, 5, 4, 3}, data.data(), n));
        End();
        EXPECT_TRUE(SamePixels(kept, fresh));
        EXPECT_EQ(target.changed, (Rect{4, 5, 4, 3}));
    }

    // The GIF's transparent entry was drawn in the brush colour: another brush decodes anew.
    KeptPicture keep;
    const auto gif = fvt::test::WriteGif(TwoColourGif(4, 4, 0));
    Canvas c(4, 4);
    Begin(c);
    gc->SetBrushColor(0x00FF00);
    ASSERT_TRUE(gc->DrawImage(Rect{0, 0, 4, 4}, Rect{0, 0, 4, 4}, gif.data(),
                              static_cast<uint32_t>(gif.size()), &keep));
    gc->SetBrushColor(0x0000FF);
    EXPECT_FALSE(gc->DrawKeptImage(Rect{0, 0, 4, 4}, Rect{0, 0, 4, 4}, keep));
    End();
    EXPECT_EQ(c.At(0, 0), RGB(0, 255, 0));
}

// Past the budget the least recently drawn pictures are released; what they hold is counted.
TEST_F(GraphicsContextTest, KeptPicturesStayWithinTheirBudget) {
    const auto gif = fvt::test::WriteGif(TwoColourGif(8, 8));
    const uint32_t n = static_cast<uint32_t>(gif.size());
    const size_t before = KeptPicture::HeldBytes();
    KeptPicture a, b, c;
    Canvas canvas(20, 20);
    Begin(canvas);
    ASSERT_TRUE(gc->DrawImage(Rect{0, 0, 8, 8}, Rect{0, 0, 20, 20}, gif.data(), n, &a));
    const size_t one = KeptPicture::HeldBytes() - before;
    EXPECT_EQ(one, 64u);
    KeptPicture::SetBudget(before + 2 * one);
    ASSERT_TRUE(gc->DrawImage(Rect{0, 0, 8, 8}, Rect{0, 0, 20, 20}, gif.data(), n, &b));
    EXPECT_TRUE(gc->DrawKeptImage(Rect{8, 8, 8, 8}, Rect{0, 0, 20, 20}, a));  // a: recent again
    ASSERT_TRUE(gc->DrawImage(Rect{0, 0, 8, 8}, Rect{0, 0, 20, 20}, gif.data(), n, &c));
    End();
    EXPECT_TRUE(a.Holds());
    EXPECT_FALSE(b.Holds());
    EXPECT_TRUE(c.Holds());
    EXPECT_EQ(KeptPicture::HeldBytes(), before + 2 * one);
    a.Release();
    c.Release();
    EXPECT_EQ(KeptPicture::HeldBytes(), before);
    KeptPicture::SetBudget(8u << 20);
}

TEST_F(GraphicsContextTest, UnreadableOrOversizePicturesAreNotDrawn) {
    Canvas c(4, 4);
    Begin(c);
    const uint8_t junk[] = {1, 2, 3, 4, 5};
    EXPECT_FALSE(gc->DrawImage(Rect{0, 0, 4, 4}, Rect{0, 0, 4, 4}, junk, sizeof(junk)));
    auto gif = fvt::test::WriteGif(TwoColourGif(4, 4));
    EXPECT_FALSE(gc->DrawImage(Rect{0, 0, 30000, 30000}, Rect{0, 0, 4, 4}, gif.data(),
                               static_cast<uint32_t>(gif.size())));
    EXPECT_TRUE(gc->DrawImage(Rect{10, 10, 4, 4}, Rect{0, 0, 4, 4}, gif.data(),
                              static_cast<uint32_t>(gif.size())));  // clipped away
    End();
    EXPECT_EQ(c.Count(kWhite), 16);
}

// ---- Off-screen bitmaps -----------------------------------------------------------------------

TEST_F(GraphicsContextTest, CapturedAreaRestoresWhatWasUnderIt) {
    Canvas c(6, 2);
    Begin(c);
    gc->SetBrushColor(kRed);
    gc->FillRect(Rect{0, 0, 3, 2});
    OffscreenBitmap saved;
    ASSERT_TRUE(gc->CaptureArea(saved, Rect{0, 0, 6, 2}));
    gc->SetBrushColor(kBlue);
    gc->FillRect(Rect{0, 0, 6, 2});
    EXPECT_FALSE(gc->RestoreOffscreen(saved, Rect{0, 0, 6, 2}, true));
    EXPECT_TRUE(saved.IsEmpty());
    EXPECT_TRUE(gc->RestoreOffscreen(saved, Rect{0, 0, 6, 2}, true));  // nothing left
    End();
    EXPECT_EQ(c.Row(0, kRedRef), "###...");
}

// The back-buffer pixel at page point p lands on the screen where the page-to-screen
// transform of the orientation takes it.
void CheckRotation(GraphicsContextTest* t, int orientation, int pageW, int pageH) {
    GraphicsContext& gc = *t->gc;
    OffscreenBitmap page;
    Canvas screen(orientation == 3 ? pageW : pageH, orientation == 3 ? pageH : pageW);
    t->Begin(screen);
    ASSERT_TRUE(gc.CreateOffscreen(page, Size{pageW, pageH}));
    HDC old = gc.CurrentDC();
    gc.PushTargetDC(page.dc);
    gc.SetBrushColor(0xFFFFFF);
    gc.FillRect(Rect{0, 0, pageW, pageH});
    gc.SetPixel(Point{pageW - 2, 1}, 0x000000);
    gc.PopTargetDC();
    EXPECT_EQ(gc.CurrentDC(), old);
    gc.CopyRotated(page, Point{0, 0}, Rect{0, 0, screen.width(), screen.height()}, orientation);
    t->End();
    Transform turn = Transform::FromOrientation(orientation), shift, m, inverse;
    shift = orientation == 1   ? Transform::Translation(0, 1 - pageW)
            : orientation == 2 ? Transform::Translation(1 - pageH, 0)
                               : Transform::Translation(1 - pageW, 1 - pageH);
    Transform::Compose(shift, turn, m);
    ASSERT_TRUE(Transform::Invert(m, inverse));
    Point expected = Transform::MapPoint(inverse, Point{pageW - 2, 1});
    EXPECT_EQ(screen.At(expected.x, expected.y), kBlack) << orientation;
    EXPECT_EQ(screen.Count(kBlack), 1) << orientation;
    page.Free();
}

TEST_F(GraphicsContextTest, RotatedCopiesFollowThePageToScreenTransform) {
    CheckRotation(this, 1, 37, 9);
    CheckRotation(this, 2, 37, 9);
    CheckRotation(this, 3, 37, 9);
}

TEST_F(GraphicsContextTest, IconIsCentredAndCutToTheClip) {
    std::vector<uint32_t> argb(4 * 4, 0xFF0000FF);  // opaque blue
    HICON icon = GdiCreateIconFromPixels(4, 4, argb.data());
    ASSERT_NE(icon, nullptr);
    Canvas c(10, 10);
    Begin(c);
    gc->DrawIcon(Rect{0, 0, 10, 10}, Rect{0, 0, 10, 10}, icon, Size{4, 4});
    gc->DrawIcon(Rect{0, 0, 10, 10}, Rect{20, 20, 5, 5}, icon, Size{4, 4});  // clipped away
    End();
    EXPECT_EQ(c.Row(3, kBlueRef), "...####...");
    EXPECT_EQ(c.Count(kBlueRef), 16);
    EXPECT_EQ(target.changed, (Rect{3, 3, 4, 4}));
    DestroyIcon(icon);
}

TEST_F(GraphicsContextTest, StretchedBitmapKeepsTheClipItFound) {
    void* bits = nullptr;
    HBITMAP source = gc->CreateScreenBitmap(Size{2, 2}, &bits);  // 16 bits per pixel
    ASSERT_NE(source, nullptr);
    auto* px = static_cast<uint16_t*>(bits);
    for (int i = 0; i < 4; ++i) px[i] = 0xF800;  // red
    Canvas c(8, 8);
    Begin(c);
    gc->SetClipRect(Rect{0, 0, 8, 6});
    Rect clip{0, 0, 3, 3};
    gc->StretchBitmap(source, Size{2, 2}, Rect{0, 0, 6, 6}, &clip);
    DeleteObject(source);
    EXPECT_EQ(gc->ClipRect(), (Rect{0, 0, 8, 6}));
    End();
    EXPECT_EQ(c.Row(2, kRedRef), "###.....");
    EXPECT_EQ(c.Row(3, kRedRef), "........");
}

TEST_F(GraphicsContextTest, TransparentCopyLeavesTheKeyColour) {
    OffscreenBitmap sprite;
    Canvas c(4, 1);
    Begin(c);
    ASSERT_TRUE(gc->CreateOffscreen(sprite, Size{4, 1}));
    gc->PushTargetDC(sprite.dc);
    gc->SetBrushColor(0x00FF00);
    gc->FillRect(Rect{0, 0, 4, 1});
    gc->SetPixel(Point{1, 0}, kRed);
    gc->PopTargetDC();
    gc->SetBackgroundColor(kBlue);
    EXPECT_FALSE(gc->DrawOffscreenTransparent(sprite, Rect{0, 0, 4, 1}, 0x00FF00));
    End();
    EXPECT_EQ(c.Row(0, kRedRef), ".#..");
    EXPECT_EQ(c.Row(0, kBlueRef), "#.##");
    sprite.Free();
}

TEST_F(GraphicsContextTest, CirclesFilledAndOutlined) {
    Canvas c(12, 12);
    Begin(c);
    gc->SetPenColor(0);
    gc->SetBrushColor(kRed);
    gc->DrawCircle(Point{6, 6}, 4, false);
    End();
    EXPECT_EQ(c.Count(kRedRef), 0);
    EXPECT_GT(c.Count(kBlack), 0);
    EXPECT_EQ(c.At(6, 6), kWhite);
    Begin(c);
    gc->SetPenColor(0);
    gc->SetBrushColor(kRed);
    gc->DrawCircle(Point{6, 6}, 4, true);
    End();
    EXPECT_EQ(c.At(6, 6), kRedRef);
}

TEST_F(GraphicsContextTest, ScreenBitmapsAreNeverEmpty) {
    void* bits = nullptr;
    HBITMAP b = gc->CreateScreenBitmap(Size{0, 0}, &bits);
    ASSERT_NE(b, nullptr);
    BITMAP info{};
    GetObjectW(b, sizeof(info), &info);
    EXPECT_EQ(info.bmWidth, 1);
    EXPECT_EQ(info.bmBitsPixel, 16);
    DeleteObject(b);
}

TEST_F(GraphicsContextTest, ChangesAreTrackedForAnExternalTarget) {
    Canvas c(10, 10);
    Begin(c);
    gc->SetViewportOrigin(Point{2, 3});
    gc->MarkChanged(nullptr);
    EXPECT_EQ(target.changed, (Rect{0, 0, 10, 10}));
    End();
}

}  // namespace

// A test page drawn through the graphics context with the box font, kept as a PNG golden: text
// in three styles, an underline, shapes, a gradient, a zig-zag and a GIF picture.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "core/color.h"
#include "core/text.h"
#include "graphics/core/graphics_context.h"
#include "platform/gdi/gdi_fixture.h"
#include "support/graphics/golden.h"
#include "support/media/image/picture_fixtures.h"
#include "support/platform/window_fixture.h"

namespace {

class BoxFace : public FaceTable {
public:
    BoxFace() { name.FromWide(kGdiTestFontFace); }
    bool IsBitmapFace(uint8_t) const override { return false; }
    const Text* FaceName(uint8_t) const override { return &name; }
    Text name;
};

class GoldenPage : public fvt::test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        GdiUseSyntheticFonts(true);
    }
    void TearDown() override {
        GdiUseSyntheticFonts(false);
        WindowTest::TearDown();
    }
};

TEST_F(GoldenPage, TestPageMatchesItsGolden) {
    gdi_test::Canvas canvas(120, 80);
    BoxFace faces;
    GraphicsContext gc(&faces);
    OffscreenBitmap target;
    target.dc = canvas.dc();
    target.bitmap = canvas.bitmap();
    target.size = Size{120, 80};
    gc.SetExternalTarget(&target);
    ASSERT_NE(gc.BeginDraw(false, nullptr), nullptr);
    gc.SetBrushColor(Color::kNone);
    gc.SetTextColor(0x000000);
    gc.SetFontStyle(FontStyle{-10, 0, 1});
    gc.DrawText(u"Plain", 5, Point{2, 2});
    gc.SetFontStyle(FontStyle{-10, FontStyle::kBold, 1});
    gc.DrawText(u"Bold", 4, Point{2, 14});
    gc.SetTextColor(0x840000);
    gc.SetFontStyle(FontStyle{-10, FontStyle::kUnderline, 1});
    gc.DrawText(u"Link", 4, Point{2, 26});
    gc.DrawUnderline(Point{2, 26}, 30);
    gc.SetPenColor(0x0000FF);
    gc.DrawRectangle(Rect{60, 2, 20, 12}, false);
    gc.SetBrushColor(0x00FF00);
    gc.DrawRoundRect(Rect{84, 2, 30, 12}, 3);
    gc.DrawLine(Point{60, 18}, Point{114, 30});
    gc.FillGradient(Rect{60, 34, 54, 10}, 0xFF0000, 0xFFFFFF, false);
    gc.SetPenColor(0x000000);
    gc.DrawZigZag(Rect{2, 48, 50, 6}, false, false, true);
    fvt::test::GifSpec gif;
    gif.width = gif.height = 8;
    gif.palette = {{255, 255, 0}, {0, 128, 0}};
    for (int i = 0; i < 64; ++i) gif.pixels.push_back(static_cast<uint8_t>((i / 8 + i) % 2));
    auto bytes = fvt::test::WriteGif(gif);
    gc.DrawImage(Rect{60, 50, 16, 16}, Rect{0, 0, 120, 80}, bytes.data(),
                 static_cast<uint32_t>(bytes.size()));
    gc.SetDrawMode(GraphicsContext::kDrawInvert);
    gc.DrawRectangle(Rect{84, 50, 30, 20}, true);
    gc.EndDraw();
    std::string message;
    EXPECT_TRUE(fvt::test::MatchesGolden("test_page", canvas.bitmap(), &message)) << message;
}

}  // namespace

#include "support/layout/golden_canvas.h"

#include "core/text.h"
#include "graphics/core/graphics_context.h"
#include "layout/page_canvas.h"
#include "platform/gdi.h"
#include "platform/gdi/gdi_layer.h"
#include "platform/gdi/gdi_fixture.h"
#include "support/graphics/golden.h"

namespace fvt::test {

namespace {

class BoxFace : public FaceTable {
public:
    BoxFace() { name.FromWide(kGdiTestFontFace); }
    bool IsBitmapFace(uint8_t) const override { return false; }
    const Text* FaceName(uint8_t) const override { return &name; }
    Text name;
};

}  // namespace

struct GoldenCanvas::Parts {
    Parts(int width, int height) : target(width, height), gc(&faces), canvas(&gc) {
        bitmap.dc = target.dc();
        bitmap.bitmap = target.bitmap();
        bitmap.size = Size{width, height};
        gc.SetExternalTarget(&bitmap);
    }
    gdi_test::Canvas target;
    BoxFace faces;
    GraphicsContext gc;
    OffscreenBitmap bitmap;
    GraphicsPageCanvas canvas;
};

GoldenCanvas::GoldenCanvas(int width, int height)
    : parts_(std::make_unique<Parts>(width, height)) {}

GoldenCanvas::~GoldenCanvas() = default;

PageCanvas* GoldenCanvas::Canvas() { return &parts_->canvas; }

int GoldenCanvas::Depth() const { return parts_->gc.DrawDepth(); }

bool GoldenCanvas::Matches(const std::string& golden, std::string* message) const {
    return MatchesGolden(golden, parts_->target.bitmap(), message);
}

bool GoldenCanvas::SavePng(const std::string& path) const {
    return GdiSavePng(parts_->target.bitmap(), path.c_str());
}

}  // namespace fvt::test

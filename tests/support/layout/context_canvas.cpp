#include "support/layout/context_canvas.h"

#include <memory>

#include "core/text.h"
#include "graphics/core/graphics_context.h"
#include "platform/gdi/gdi_fixture.h"
#include "platform/gdi/gdi_layer.h"

namespace fvt::test {

namespace {

class BoxFaces : public FaceTable {
public:
    explicit BoxFaces(bool real) { name.AssignAscii(real ? "DejaVu Sans" : "Folivant Test Box"); }
    bool IsBitmapFace(uint8_t) const override { return false; }
    const Text* FaceName(uint8_t) const override { return &name; }
    Text name;
};

}  // namespace

struct ContextCanvas {
    ContextCanvas(int w, int h, bool real) : faces(real), canvas(w, h), gc(&faces) {
        GdiUseSyntheticFonts(!real);
        target.dc = canvas.dc();
        target.bitmap = canvas.bitmap();
        target.size = Size{w, h};
        gc.SetExternalTarget(&target);
    }
    ~ContextCanvas() {
        while (gc.DrawDepth() > 0) gc.EndDraw();
        gc.ClearExternalTarget();
        target = OffscreenBitmap{};
        GdiUseSyntheticFonts(false);
    }
    BoxFaces faces;
    gdi_test::Canvas canvas;
    OffscreenBitmap target;
    GraphicsContext gc;
};

ContextCanvas* NewContextCanvas(int width, int height, bool realFonts) {
    return new ContextCanvas(width, height, realFonts);
}

void DeleteContextCanvas(ContextCanvas* canvas) {
    delete canvas;
}

GraphicsContext* CanvasContext(ContextCanvas* canvas) {
    return &canvas->gc;
}

void* CanvasBitmap(ContextCanvas* canvas) {
    return canvas->canvas.bitmap();
}

void ClearCanvas(ContextCanvas* canvas) {
    canvas->canvas.Clear(RGB(255, 255, 255));
}

bool SaveCanvasPng(ContextCanvas* canvas, const std::string& path) {
    return GdiSavePng(canvas->canvas.bitmap(), path.c_str()) != 0;
}

}  // namespace fvt::test

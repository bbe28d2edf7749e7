#include "support/layout/context_canvas.h"

#include <algorithm>
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

int CanvasCount(ContextCanvas* canvas, int x, int y, int width, int height, unsigned colour) {
    const gdi_test::Canvas& c = canvas->canvas;
    int n = 0;
    for (int j = std::max(0, y); j < std::min(c.height(), y + height); ++j)
        for (int i = std::max(0, x); i < std::min(c.width(), x + width); ++i)
            n += c.At(i, j) == static_cast<COLORREF>(colour);
    return n;
}

unsigned CanvasPixel(ContextCanvas* canvas, int x, int y) {
    return static_cast<unsigned>(canvas->canvas.At(x, y));
}

int CanvasInk(ContextCanvas* canvas, int x, int y, int width, int height) {
    int inside = std::max(0, std::min(canvas->canvas.width(), x + width) - std::max(0, x)) *
                 std::max(0, std::min(canvas->canvas.height(), y + height) - std::max(0, y));
    return inside - CanvasCount(canvas, x, y, width, height, RGB(255, 255, 255));
}

void ClearCanvas(ContextCanvas* canvas) {
    canvas->canvas.Clear(RGB(255, 255, 255));
}

bool SaveCanvasPng(ContextCanvas* canvas, const std::string& path) {
    return GdiSavePng(canvas->canvas.bitmap(), path.c_str()) != 0;
}

}  // namespace fvt::test

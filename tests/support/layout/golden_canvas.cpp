#include "support/layout/golden_canvas.h"

#include "graphics/core/graphics_context.h"
#include "layout/page_canvas.h"
#include "platform/gdi.h"
#include "support/graphics/golden.h"
#include "support/layout/context_canvas.h"

namespace fvt::test {

struct GoldenCanvas::Parts {
    Parts(int width, int height, bool realFonts)
        : target(NewContextCanvas(width, height, realFonts)), page(CanvasContext(target)) {}
    ~Parts() { DeleteContextCanvas(target); }
    ContextCanvas* target;
    GraphicsPageCanvas page;
};

GoldenCanvas::GoldenCanvas(int width, int height, bool realFonts)
    : parts_(std::make_unique<Parts>(width, height, realFonts)) {}

GoldenCanvas::~GoldenCanvas() = default;

PageCanvas* GoldenCanvas::Canvas() {
    return &parts_->page;
}

GraphicsContext* GoldenCanvas::Context() {
    return CanvasContext(parts_->target);
}

int GoldenCanvas::Depth() const {
    return CanvasContext(parts_->target)->DrawDepth();
}

bool GoldenCanvas::Matches(const std::string& golden, std::string* message) const {
    return MatchesGolden(golden, static_cast<HBITMAP>(CanvasBitmap(parts_->target)), message);
}

bool GoldenCanvas::SavePng(const std::string& path) const {
    return SaveCanvasPng(parts_->target, path);
}

}  // namespace fvt::test

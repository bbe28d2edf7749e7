#include "layout/page_canvas.h"

#include "core/color.h"
#include "core/string.h"
#include "document/sources/layout_services.h"
#include "graphics/core/graphics_context.h"
#include "graphics/widgets/area.h"

bool GraphicsPageCanvas::Begin() {
    return gc_ && gc_->BeginDraw(false, nullptr) != nullptr;
}

void GraphicsPageCanvas::End() {
    gc_->EndDraw();
}

void GraphicsPageCanvas::FillRect(const Rect& r, uint32_t colour) {
    if (r.width <= 0 || r.height <= 0) return;
    gc_->SetBrushColor(colour);
    gc_->SetPenColor(colour);
    gc_->FillRect(r);
}

void GraphicsPageCanvas::DrawLine(Point from, Point to, uint32_t colour) {
    gc_->SetPenColor(colour);
    gc_->DrawLine(from, to);
}

void GraphicsPageCanvas::SetFont(const CanvasFont& font) {
    FontStyle style;
    // A negative height asks for the character height, as the page's sizes are.
    style.size = static_cast<int8_t>(-font.size);
    style.flags = static_cast<uint8_t>((font.flags & 0x0F) | FontStyle::kPlain);
    style.face = font.face ? font.face : 1;
    gc_->SetFontStyle(style);
}

void GraphicsPageCanvas::DrawText(const String& text, Point baseline, uint32_t colour) {
    gc_->SetTextColor(colour);
    gc_->SetBrushColor(Color::kNone);
    gc_->DrawText(text.Data(), text.Length(), Point{baseline.x, baseline.y - gc_->FontAscent()});
}

void GraphicsPageCanvas::DrawUnderline(Point at, int32_t width, uint32_t colour) {
    gc_->SetPenColor(colour);
    gc_->DrawUnderline(at, width);
}

bool GraphicsPageCanvas::DrawObject(InlineObject* object, const Rect& r, const Rect* clip) {
    return object && object->Draw(gc_, r, clip);
}

void GraphicsPageCanvas::SetClip(const Rect* r) {
    if (r)
        gc_->SetClipRect(*r);
    else
        gc_->ResetClip();
}

void GraphicsPageCanvas::DrawArea(const Area& area, bool highlight) {
    area.Draw(*gc_, highlight);
}

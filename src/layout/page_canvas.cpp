#include "layout/page_canvas.h"

#include "core/color.h"
#include "core/string.h"
#include "document/sources/layout_services.h"
#include "graphics/core/graphics_context.h"
#include "graphics/widgets/area.h"
#include "layout/table_scroll.h"

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

// The page places text by its baseline; the graphics context by the top of the text. Every
// text point crosses over here, so words and the underlines between them stay on one line.
Point GraphicsPageCanvas::TextTop(Point baseline) {
    return Point{baseline.x, baseline.y - gc_->FontAscent()};
}

void GraphicsPageCanvas::DrawText(const String& text, Point baseline, uint32_t colour) {
    gc_->SetTextColor(colour);
    gc_->SetBrushColor(Color::kNone);
    gc_->DrawText(text.Data(), text.Length(), TextTop(baseline));
}

void PageCanvas::DrawTexts(const CanvasText* texts, int32_t count, uint32_t colour) {
    for (int32_t k = 0; k < count; ++k)
        DrawText(String(texts[k].text, texts[k].length), texts[k].at, colour);
}

void GraphicsPageCanvas::DrawTexts(const CanvasText* texts, int32_t count, uint32_t colour) {
    if (count <= 0) return;
    gc_->SetTextColor(colour);
    gc_->SetBrushColor(Color::kNone);
    gc_->DrawTextsOnBaseline(texts, count);
}

void GraphicsPageCanvas::DrawUnderline(Point baseline, int32_t width, uint32_t colour) {
    gc_->SetPenColor(colour);
    gc_->SetTextColor(colour);
    gc_->DrawUnderline(TextTop(baseline), width);
}

bool GraphicsPageCanvas::DrawObject(InlineObject* object, const Rect& r, const Rect* clip) {
    if (!object) return false;
    // An object draws where it was placed, whatever the clip it is told of: the context holds
    // it to the clip (a control in a scrolled table's view shows only inside the view).
    const bool held = clip && gc_->PushState();
    if (held) gc_->IntersectClip(*clip);
    const bool drawn = object->Draw(gc_, r, clip);
    if (held) gc_->PopState();
    return drawn;
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

GraphicsPageCanvas::GraphicsPageCanvas(GraphicsContext* gc) : gc_(gc) {}

GraphicsPageCanvas::~GraphicsPageCanvas() = default;

void GraphicsPageCanvas::SetIconHost(const IconHost& host) {
    auto icons = std::make_unique<TableScroll::TableIcons>();
    // Both arrows or none: one alone would say that only one way scrolls.
    icons_ = icons->Load(host) ? std::move(icons) : nullptr;
}

namespace {

const IconImage* ArrowIcon(const TableScroll::TableIcons* icons, uint16_t id) {
    if (!icons) return nullptr;
    if (id == TableScroll::TableIcons::kLeftArrow) return icons->Left();
    if (id == TableScroll::TableIcons::kRightArrow) return icons->Right();
    return nullptr;
}

}  // namespace

bool GraphicsPageCanvas::IconSize(uint16_t id, Size& out) {
    const IconImage* icon = ArrowIcon(icons_.get(), id);
    if (!icon) return false;
    out = Size{icon->Width(), icon->Height()};
    return true;
}

void GraphicsPageCanvas::DrawIcon(uint16_t id, const Rect& r, const Rect* clip) {
    const IconImage* icon = ArrowIcon(icons_.get(), id);
    if (!icon || !gc_->CurrentDC()) return;
    RECT at{r.x, r.y, r.x + r.width, r.y + r.height};
    RECT limit = clip ? RECT{clip->x, clip->y, clip->x + clip->width, clip->y + clip->height} : at;
    icon->Draw(gc_->CurrentDC(), at, &limit);
    gc_->MarkChanged(&r);
}

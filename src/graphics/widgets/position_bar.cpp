#include "graphics/widgets/position_bar.h"

#include <algorithm>

#include "bookfiles/annotation_file.h"
#include "core/color.h"
#include "core/string.h"
#include "graphics/core/drawing_surface.h"
#include "paths/app_paths.h"

namespace {

constexpr uint32_t kMetricThickness = 12;
constexpr uint32_t kMetricBarHeight = 13;
constexpr uint32_t kMetricMargin = 15;
constexpr uint8_t kBarFace = 1;
constexpr uint32_t kTickColour = Color::Pack(224, 224, 224);
constexpr uint32_t kTickAheadColour = Color::Pack(128, 128, 255);

uint8_t Channel(double v) {
    return static_cast<uint8_t>(std::clamp(v, 0.0, 255.0));
}

void HLine(GraphicsContext& gc, int32_t from, int32_t to, int32_t y) {
    gc.DrawLine(Point{from, y}, Point{to, y});
}

}  // namespace

// ---- DockBar ----------------------------------------------------------------------------------

DockBar::DockBar(ReaderControllerLink* owner) : owner_(owner) {
    if (owner_) SetSurface(owner_->GetSurface());
}

DockBar::~DockBar() {
    Detach();
}

void DockBar::SetSurface(DrawingSurface* surface) {
    surface_ = surface;
    SetParent(surface);
}

void DockBar::DrawBackground(GraphicsContext& gc, const Rect& r) {
    uint32_t c = owner_ ? owner_->GetBackgroundColour() : 0xFFFFFF;
    gc.SetPenColor(c);
    gc.SetBrushColor(c);
    gc.DrawRectangle(r, true);
}

Rect& DockBar::AdjustRect(Rect& out, const Rect& in) {
    if (!visible_) {
        out = in;
        return out;
    }
    int32_t t = Thickness(edge_, in);
    int32_t m = Margin(edge_);
    strip_ = Rect::EdgeStrip(in, static_cast<int>(edge_), t);
    outer_ = Rect::EdgeStrip(in, static_cast<int>(edge_), t + m);
    // The margin stays in the outer strip; the rest loses only the thickness.
    int32_t dimension = edge_ == kTop || edge_ == kBottom ? in.height : in.width;
    out = Rect::EdgeStrip(in, static_cast<int>(3 - edge_), std::max(dimension - t, 0));
    SetPlaced(true);
    return out;
}

bool DockBar::HitTest(const Rect& area) {
    return visible_ && Rect::Intersects(area, strip_);
}

// ---- PositionBar ------------------------------------------------------------------------------

PositionBar::PositionBar(ReaderControllerLink* owner) : DockBar(owner) {
    const AppPaths* paths = owner ? owner->Paths() : nullptr;
    barHeight_ = UiMetrics::Get(paths, kMetricBarHeight);
    capWidth_ = barHeight_ + 2;
    thickness_ = UiMetrics::Get(paths, kMetricThickness);
    margin_ = UiMetrics::Get(paths, kMetricMargin);
    edge_ = kBottom;
    (void)reserved_;
}

void PositionBar::InvalidateStrip() {
    if (visible_ && surface_) surface_->InvalidateRect(&strip_);
}

int32_t PositionBar::Geometry::Map(uint32_t position) const {
    if (length == 0) return x0;
    uint64_t p = std::min<uint64_t>(position >> shift, length);
    return x0 + static_cast<int32_t>(p * static_cast<uint32_t>(std::max(width, 0)) / length);
}

bool PositionBar::RefreshHasAnnotations() {
    hasAnnotations_ = false;
    DocumentControllerLink* doc = owner_ ? owner_->GetDocumentController() : nullptr;
    AnnotationFile* file = doc ? doc->GetAnnotationFile() : nullptr;
    if (!file) return false;
    BookmarkIterator it;
    file->StartIterator(&it, 0, 0, 0xFFFFFFFFu);
    hasAnnotations_ = file->FindNext(&it) >= 0;
    return true;
}

PositionBar::Geometry PositionBar::ComputeGeometry() {
    Geometry g;
    // Read first: the geometry depends on it.
    RefreshHasAnnotations();
    DocumentControllerLink* doc = owner_ ? owner_->GetDocumentController() : nullptr;
    uint32_t length = doc ? doc->DocumentLength() : 0;
    if (length == 0) return g;
    g.shift = length > kLongDocument ? kLongShift : 0;
    g.length = length >> g.shift;
    g.x0 = strip_.x + (hasAnnotations_ ? capWidth_ : 2);
    g.width = strip_.width - (hasAnnotations_ ? 2 * capWidth_ : g.x0 - strip_.x) - numberWidth_;
    g.drawable = g.width >= 1 && g.length > 0;
    return g;
}

void PositionBar::MeasureNumber(GraphicsContext& gc) {
    int8_t size = owner_ ? owner_->PositionBarFontSize() : 0;
    // The settings' text size, but never taller than the bar: the number would be cut.
    if (size > thickness_) size = static_cast<int8_t>(thickness_);
    // Measured again when the settings' font size changed since.
    if (numberWidth_ != 0 && size == askedSize_) return;
    askedSize_ = size;
    fontSize_ = size;
    gc.SetFaceAndSize(kBarFace, fontSize_);
    // The bar keeps the room of the settings' size...
    Size s;
    if (gc.MeasureText(u"0000000", 7, s)) numberWidth_ = s.width;
    // ...but the number is drawn so that a whole line of the font, not only its ascent, stays
    // inside the strip with room above and below: at that size the digits ran onto the soft keys.
    const int32_t room = thickness_ - 2 * NumberPad();
    while ((fontSize_ > 1 || fontSize_ < -1) && gc.FontAscent() + gc.FontDescent() > room) {
        fontSize_ = static_cast<int8_t>(fontSize_ > 0 ? fontSize_ - 1 : fontSize_ + 1);
        gc.SetFaceAndSize(kBarFace, fontSize_);
    }
}

void PositionBar::Redraw(const Rect* area) {
    if (!visible_ || strip_.IsEmpty() || (area && !Rect::Intersects(*area, strip_))) return;
    DrawScope scope(this);
    if (!scope) return;
    GraphicsContext& gc = *scope.Context();
    MeasureNumber(gc);
    DrawBackground(gc, strip_);
    Geometry g = ComputeGeometry();
    if (!g.drawable) return;
    DocumentControllerLink* doc = owner_->GetDocumentController();
    int32_t current = doc->GetPageStart();
    DrawBar(gc, g, current);
    DrawTicks(gc, g, current);
    DrawPageNumber(gc);
    // Lines and text do not mark what they change; the strip goes to the screen as a whole.
    gc.MarkChanged(&strip_);
}

void PositionBar::DrawBar(GraphicsContext& gc, const Geometry& g, int32_t current) {
    // Without a page start (no layout) nothing counts as read.
    const int32_t cx = current < 0 ? 0 : g.Map(static_cast<uint32_t>(current)) - g.x0;
    const int32_t n = barHeight_;
    for (int32_t i = 1; i < n; ++i) {
        const int32_t y = RowY(i);
        const double f = 1.0 - static_cast<double>(i) / thickness_;
        const uint8_t read = Channel(192 * f + 31);
        const uint8_t unread = Channel(64 * f + 191);
        const bool edgeRow = i == 1 || i == n - 1;
        const int32_t start = edgeRow ? g.x0 + 1 : g.x0;
        const int32_t end = edgeRow ? g.x0 + g.width : g.x0 + g.width - 1;
        const int32_t boundary = std::min(edgeRow ? g.x0 + cx + 1 : g.x0 + cx, end);
        gc.SetPenColor(Color::Pack(read, read, 255));
        if (boundary > start) HLine(gc, start, boundary, y);
        gc.SetPenColor(Color::Pack(unread, unread, unread));
        if (end > std::max(boundary, start)) HLine(gc, std::max(boundary, start), end, y);
    }
    if (hasAnnotations_) DrawCaps(gc, g);
}

void PositionBar::DrawCaps(GraphicsContext& gc, const Geometry& g) {
    const int32_t n = barHeight_;
    const int32_t k = (n - 1) / 2;
    const int32_t x0 = g.x0;
    const int32_t mirror = g.width + 2 * capWidth_;
    for (int32_t i = 1; i < n; ++i) {
        const int32_t y = RowY(i);
        const double f = 1.0 - static_cast<double>(i) / thickness_;
        const uint8_t h = Channel(64 * f + 191);
        const uint8_t red = Channel(192 * f + 31);
        const int32_t x2 = i < n / 2 ? x0 - k - i - 1 : x0 + i - k - n - 1;
        const int32_t x3 = (n / 4 < i && i < 3 * n / 4) ? x0 - 2 : x0 - k - 2;
        const bool edgeRow = i == 1 || i == n - 1;
        const int32_t x1 = edgeRow ? 3 : 2;
        const int32_t x4 = edgeRow ? x0 : x0 - 1;
        const uint32_t grey = Color::Pack(h, h, h);
        const uint32_t tip = Color::Pack(255, red, red);
        // Left cap, then the right one mirrored.
        gc.SetPenColor(grey);
        HLine(gc, x1, x2, y);
        HLine(gc, x3, x4, y);
        gc.SetPenColor(tip);
        HLine(gc, x2, x3, y);
        gc.SetPenColor(grey);
        HLine(gc, mirror + 1 - x1, mirror - 1 - x2, y);
        HLine(gc, mirror - 1 - x3, mirror - 1 - x4, y);
        gc.SetPenColor(tip);
        HLine(gc, mirror - 1 - x2, mirror - 1 - x3, y);
    }
}

void PositionBar::DrawTicks(GraphicsContext& gc, const Geometry& g, int32_t current) {
    DocumentControllerLink* doc = owner_->GetDocumentController();
    AnnotationFile* file = doc ? doc->GetAnnotationFile() : nullptr;
    if (!file) return;
    const int32_t top = strip_.y + (thickness_ - barHeight_) / 2 + 1;
    const int32_t bottom = strip_.y + (thickness_ + barHeight_) / 2 - 1;
    const uint32_t c = current < 0 ? 0 : static_cast<uint32_t>(current);
    bool ahead = false;
    BookmarkIterator it;
    file->StartIterator(&it, 0, 0, 0xFFFFFFFFu);
    for (int32_t i = file->FindNext(&it); i >= 0; i = file->FindNext(&it)) {
        uint32_t start = 0, end = 0, a = 0, b = 0, style = 0;
        if (file->GetBookmarkRange(i, &start, &end, &a, &b, &style) != 0) continue;
        uint32_t kind = file->GetBookmarkKind(i);
        if (kind == 0 || (kind & 63) != kind) continue;
        if (start > c) ahead = true;
        gc.SetPenColor(ahead ? kTickAheadColour : kTickColour);
        const int32_t x = g.Map(start);
        gc.DrawLine(Point{x + 1, top}, Point{x, top + 1});
        gc.DrawLine(Point{x, top + 1}, Point{x, bottom - 1});
        gc.DrawLine(Point{x, bottom - 1}, Point{x + 1, bottom});
    }
}

void PositionBar::DrawPageNumber(GraphicsContext& gc) {
    DocumentControllerLink* doc = owner_->GetDocumentController();
    int32_t page = doc ? doc->GetPageNumber() : 0;
    // 0 (no layout) and -1 (no page record) are not page numbers.
    if (numberWidth_ <= 2 || page <= 0) return;
    String text;
    text.AppendUnsigned(static_cast<uint32_t>(page), 10);
    gc.SetFaceAndSize(kBarFace, fontSize_);
    gc.SetTextColor(owner_->GetTextColour());
    Size size;
    if (!gc.MeasureText(text.Data(), text.Length(), size)) return;
    // Off the screen's edge by the bar's margin (2 pixels left the digits on the edge).
    const int32_t x = strip_.x + strip_.width - size.width - std::max(2, margin_);
    const int32_t y = strip_.y + (thickness_ - gc.FontAscent() - gc.FontDescent()) / 2;
    gc.DrawText(text.Data(), text.Length(), Point{x, y});
}

#include "core/geometry.h"

#include <algorithm>
#include <cstdint>

namespace {
int32_t Clamp32(int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}
}  // namespace

Size Size::ShrinkToFit(Size size, Size limit, bool keepAspect) {
    if (!keepAspect) {
        return Size{std::min(size.width, limit.width), std::min(size.height, limit.height)};
    }
    if (size.width <= 0 || size.height <= 0 || limit.width <= 0 || limit.height <= 0) return Size{};
    if (size.width <= limit.width && size.height <= limit.height) return size;
    // Scale by the tighter of the two ratios, in 64 bits.
    int64_t w = limit.width;
    int64_t h = static_cast<int64_t>(size.height) * limit.width / size.width;
    if (h > limit.height) {
        h = limit.height;
        w = static_cast<int64_t>(size.width) * limit.height / size.height;
    }
    return Size{static_cast<int32_t>(std::max<int64_t>(w, 1)),
                static_cast<int32_t>(std::max<int64_t>(h, 1))};
}

Span Span::Intersect(Span a, Span b) {
    int64_t start = std::max<int64_t>(a.start, b.start);
    int64_t end = std::min<int64_t>(static_cast<int64_t>(a.start) + a.length,
                                    static_cast<int64_t>(b.start) + b.length);
    if (end <= start) return Span{static_cast<int32_t>(start), 0};
    return Span{static_cast<int32_t>(start), static_cast<int32_t>(end - start)};
}

bool Rect::Contains(const Rect& r, Point p) {
    return p.x >= r.x && static_cast<int64_t>(p.x) < static_cast<int64_t>(r.x) + r.width &&
           p.y >= r.y && static_cast<int64_t>(p.y) < static_cast<int64_t>(r.y) + r.height;
}

bool Rect::ContainsRect(const Rect& outer, const Rect& inner) {
    if (inner.IsEmpty() || outer.IsEmpty()) return false;
    return inner.x >= outer.x && inner.y >= outer.y &&
           static_cast<int64_t>(inner.x) + inner.width <=
               static_cast<int64_t>(outer.x) + outer.width &&
           static_cast<int64_t>(inner.y) + inner.height <=
               static_cast<int64_t>(outer.y) + outer.height;
}

bool Rect::Intersect(const Rect& a, const Rect& b, Rect& out) {
    int64_t x0 = std::max<int64_t>(a.x, b.x);
    int64_t y0 = std::max<int64_t>(a.y, b.y);
    int64_t x1 =
        std::min<int64_t>(static_cast<int64_t>(a.x) + a.width, static_cast<int64_t>(b.x) + b.width);
    int64_t y1 = std::min<int64_t>(static_cast<int64_t>(a.y) + a.height,
                                   static_cast<int64_t>(b.y) + b.height);
    bool empty = a.IsEmpty() || b.IsEmpty() || x1 <= x0 || y1 <= y0;
    out.x = Clamp32(x0);
    out.y = Clamp32(y0);
    out.width = empty ? 0 : Clamp32(x1 - x0);
    out.height = empty ? 0 : Clamp32(y1 - y0);
    if (empty) {
        out.width = std::max<int32_t>(0, Clamp32(x1 - x0));
        out.height = std::max<int32_t>(0, Clamp32(y1 - y0));
    }
    return !empty;
}

bool Rect::Intersects(const Rect& a, const Rect& b) {
    Rect r;
    return Intersect(a, b, r);
}

void Rect::Union(Rect& r, const Rect& other) {
    if (other.IsEmpty()) return;
    if (r.IsEmpty()) {
        r = other;
        return;
    }
    int64_t x0 = std::min(r.x, other.x), y0 = std::min(r.y, other.y);
    int64_t x1 = std::max<int64_t>(static_cast<int64_t>(r.x) + r.width,
                                   static_cast<int64_t>(other.x) + other.width);
    int64_t y1 = std::max<int64_t>(static_cast<int64_t>(r.y) + r.height,
                                   static_cast<int64_t>(other.y) + other.height);
    r = Rect{static_cast<int32_t>(x0), static_cast<int32_t>(y0), Clamp32(x1 - x0),
             Clamp32(y1 - y0)};
}

void Rect::Inset(Rect& r, int32_t dx, int32_t dy) {
    r.x += dx;
    r.y += dy;
    r.width -= 2 * dx;
    r.height -= 2 * dy;
}

void Rect::Outset(Rect& r, int32_t dx, int32_t dy) {
    Inset(r, -dx, -dy);
}

bool Rect::MoveInside(Rect& r, const Rect& bounds) {
    if (r.width > bounds.width || r.height > bounds.height) return false;
    if (r.x < bounds.x) r.x = bounds.x;
    if (r.y < bounds.y) r.y = bounds.y;
    if (r.x + r.width > bounds.x + bounds.width) r.x = bounds.x + bounds.width - r.width;
    if (r.y + r.height > bounds.y + bounds.height) r.y = bounds.y + bounds.height - r.height;
    return true;
}

void Rect::CenterX(Rect& r, const Rect& outer) {
    r.x = outer.x + (outer.width - r.width) / 2;
}
void Rect::CenterY(Rect& r, const Rect& outer) {
    r.y = outer.y + (outer.height - r.height) / 2;
}
void Rect::CenterXAt(Rect& r, int32_t cx) {
    r.x = cx - r.width / 2;
}
void Rect::CenterYAt(Rect& r, int32_t cy) {
    r.y = cy - r.height / 2;
}

Rect Rect::EdgeStrip(const Rect& r, int side, int32_t n) {
    if (n < 0) n = 0;
    switch (side) {
        case 0:
            return Rect{r.x, r.y, r.width, std::min(n, r.height)};
        case 1:
            return Rect{r.x, r.y, std::min(n, r.width), r.height};
        case 2: {
            int32_t w = std::min(n, r.width);
            return Rect{r.x + r.width - w, r.y, w, r.height};
        }
        case 3: {
            int32_t h = std::min(n, r.height);
            return Rect{r.x, r.y + r.height - h, r.width, h};
        }
        default:
            return Rect{r.x, r.y, 0, 0};
    }
}

Rect Rect::CutSide(Rect& r, int side, int32_t n) {
    Rect strip = EdgeStrip(r, side, n);
    switch (side) {
        case 0:
            r.y += strip.height;
            r.height -= strip.height;
            break;
        case 1:
            r.x += strip.width;
            r.width -= strip.width;
            break;
        case 2:
            r.width -= strip.width;
            break;
        case 3:
            r.height -= strip.height;
            break;
        default:
            break;
    }
    return strip;
}

Point Rect::Corner(const Rect& r, int corner) {
    switch (corner) {
        case 1:
            return Point{r.x + r.width - 1, r.y};
        case 2:
            return Point{r.x + r.width - 1, r.y + r.height - 1};
        case 3:
            return Point{r.x, r.y + r.height - 1};
        default:
            return Point{r.x, r.y};
    }
}

void Rect::PlaceWithin(Rect& r, int corner, Point anchor, const Rect& bounds) {
    switch (corner) {
        case 1:
            r.x = anchor.x - r.width + 1;
            r.y = anchor.y;
            break;
        case 2:
            r.x = anchor.x - r.width + 1;
            r.y = anchor.y - r.height + 1;
            break;
        case 3:
            r.x = anchor.x;
            r.y = anchor.y - r.height + 1;
            break;
        default:
            r.x = anchor.x;
            r.y = anchor.y;
            break;
    }
    if (r.width > bounds.width) r.width = std::max(0, bounds.width);
    if (r.height > bounds.height) r.height = std::max(0, bounds.height);
    MoveInside(r, bounds);
}

void Rect::SetInfinite(Rect& r) {
    r = Rect{-8192, -8192, 16384, 16384};
}

void Rect::SplitAround(const Rect& outer, const Rect& inner, Rect pieces[4]) {
    Rect in;
    Intersect(outer, inner, in);
    if (in.IsEmpty()) in = Rect{outer.x, outer.y, 0, 0};
    int32_t top = in.y - outer.y;
    int32_t bottom = outer.y + outer.height - (in.y + in.height);
    pieces[0] = Rect{outer.x, outer.y, outer.width, std::max(0, top)};
    pieces[1] = Rect{outer.x, in.y, std::max(0, in.x - outer.x), in.height};
    pieces[2] = Rect{in.x + in.width, in.y, std::max(0, outer.x + outer.width - (in.x + in.width)),
                     in.height};
    pieces[3] = Rect{outer.x, in.y + in.height, outer.width, std::max(0, bottom)};
    if (inner.IsEmpty() || !Intersects(outer, inner)) {
        pieces[0] = outer;
        pieces[1] = pieces[2] = pieces[3] = Rect{outer.x, outer.y + outer.height, 0, 0};
    }
}

Rect Rect::FromLtrb(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    return Rect{left, top, Clamp32(static_cast<int64_t>(right) - left),
                Clamp32(static_cast<int64_t>(bottom) - top)};
}

void MakeUnsetRect(Rect& out) {
    out.x = out.y = out.width = out.height = INT32_MIN;
}

bool IsUnsetRect(const Rect& r) {
    return r.x == INT32_MIN && r.y == INT32_MIN && r.width == INT32_MIN && r.height == INT32_MIN;
}

// Integer geometry: points, sizes, spans on one axis and rectangles as (x, y, width, height).
// A rectangle is empty when its width or height is below 1. Windows-style RECTs (left, top,
// right, bottom; right and bottom exclusive) appear only where GDI is called.
#pragma once

#include <cstdint>

struct Point {
    int32_t x = 0;
    int32_t y = 0;
    bool operator==(const Point& o) const { return x == o.x && y == o.y; }
};

struct Size {
    int32_t width = 0;
    int32_t height = 0;
    bool operator==(const Size& o) const { return width == o.width && height == o.height; }
    // Fits size within limit: each side min(size, limit), or scaled down keeping the aspect.
    static Size ShrinkToFit(Size size, Size limit, bool keepAspect);
};

struct Span {
    int32_t start = 0;
    int32_t length = 0;
    // The overlap of two spans; length 0 when they do not meet.
    static Span Intersect(Span a, Span b);
};

struct Rect {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;

    bool operator==(const Rect& o) const {
        return x == o.x && y == o.y && width == o.width && height == o.height;
    }
    bool operator!=(const Rect& o) const { return !(*this == o); }
    bool IsEmpty() const { return width < 1 || height < 1; }
    int32_t Right() const { return x + width; }    // exclusive
    int32_t Bottom() const { return y + height; }  // exclusive

    // x <= px < x + width and y <= py < y + height.
    static bool Contains(const Rect& r, Point p);
    static bool ContainsRect(const Rect& outer, const Rect& inner);
    // Overlap; empty rectangles never overlap.
    static bool Intersects(const Rect& a, const Rect& b);
    // The overlap into out (width and height clamped to 0 when none); false when empty.
    static bool Intersect(const Rect& a, const Rect& b, Rect& out);
    // Grows r to include other; an empty r takes other, an empty other changes nothing.
    static void Union(Rect& r, const Rect& other);
    static void Inset(Rect& r, int32_t dx, int32_t dy);
    static void Outset(Rect& r, int32_t dx, int32_t dy);
    // Moves r inside bounds; false (r unchanged) when it cannot fit.
    static bool MoveInside(Rect& r, const Rect& bounds);
    // Centre on another rectangle, or on a coordinate.
    static void CenterX(Rect& r, const Rect& outer);
    static void CenterY(Rect& r, const Rect& outer);
    static void CenterXAt(Rect& r, int32_t cx);
    static void CenterYAt(Rect& r, int32_t cy);
    // The strip of at most n pixels along a side (0 top, 1 left, 2 right, 3 bottom).
    static Rect EdgeStrip(const Rect& r, int side, int32_t n);
    // Removes a strip of at most n pixels from that side of r and returns it.
    static Rect CutSide(Rect& r, int side, int32_t n);
    // Inclusive corner: 0 top-left, 1 top-right (x + w - 1, y), 2 bottom-right, 3 bottom-left.
    static Point Corner(const Rect& r, int corner);
    // Puts the given corner of r on anchor, then shifts it inside bounds (clipped when larger).
    static void PlaceWithin(Rect& r, int corner, Point anchor, const Rect& bounds);
    // (-8192, -8192, 16384, 16384).
    static void SetInfinite(Rect& r);
    // The four pieces of outer around inner: top, left, right, bottom (empty pieces allowed).
    static void SplitAround(const Rect& outer, const Rect& inner, Rect pieces[4]);
    // (left, top, right, bottom) with right and bottom exclusive.
    static Rect FromLtrb(int32_t left, int32_t top, int32_t right, int32_t bottom);
    // Any RECT-shaped structure (left, top, right, bottom).
    template <typename WinRect>
    static Rect FromWinRect(const WinRect& r) {
        return FromLtrb(r.left, r.top, r.right, r.bottom);
    }
    template <typename WinRect>
    static void ToWinRect(const Rect& r, WinRect& out) {
        out.left = r.x;
        out.top = r.y;
        out.right = r.x + r.width;
        out.bottom = r.y + r.height;
    }
};

// All four coordinates 0x80000000: "not set yet".
void MakeUnsetRect(Rect& out);
bool IsUnsetRect(const Rect& r);

#include "core/transform.h"

#include <algorithm>

Transform Transform::Translation(int32_t tx, int32_t ty) {
    Transform t;
    t.dx = tx;
    t.dy = ty;
    return t;
}

void Transform::SetTranslation(Transform& t, int32_t tx, int32_t ty) {
    t.dx = tx;
    t.dy = ty;
}

Transform Transform::FromOrientation(int orientation) {
    Transform t;
    switch (orientation) {
        case 1:
            t.m11 = 0;
            t.m21 = -1;
            t.m12 = 1;
            t.m22 = 0;
            break;  // (x, y) -> (-y, x)
        case 2:
            t.m11 = 0;
            t.m21 = 1;
            t.m12 = -1;
            t.m22 = 0;
            break;  // (x, y) -> (y, -x)
        case 3:
            t.m11 = -1;
            t.m22 = -1;
            break;  // (x, y) -> (-x, -y)
        default:
            break;
    }
    return t;
}

void Transform::Compose(const Transform& a, const Transform& b, Transform& out) {
    // b(a(p)): matrix B * A, translation B * ta + tb.
    Transform r;
    r.m11 = b.m11 * a.m11 + b.m21 * a.m12;
    r.m12 = b.m12 * a.m11 + b.m22 * a.m12;
    r.m21 = b.m11 * a.m21 + b.m21 * a.m22;
    r.m22 = b.m12 * a.m21 + b.m22 * a.m22;
    r.dx = b.m11 * a.dx + b.m21 * a.dy + b.dx;
    r.dy = b.m12 * a.dx + b.m22 * a.dy + b.dy;
    out = r;
}

bool Transform::Invert(const Transform& in, Transform& out) {
    int64_t det = static_cast<int64_t>(in.m11) * in.m22 - static_cast<int64_t>(in.m21) * in.m12;
    if (det != 1 && det != -1) return false;
    int32_t d = static_cast<int32_t>(det);
    Transform r;
    r.m11 = in.m22 * d;
    r.m21 = -in.m21 * d;
    r.m12 = -in.m12 * d;
    r.m22 = in.m11 * d;
    r.dx = -(r.m11 * in.dx + r.m21 * in.dy);
    r.dy = -(r.m12 * in.dx + r.m22 * in.dy);
    out = r;
    return true;
}

Point Transform::MapPoint(const Transform& t, Point p) {
    return Point{t.m11 * p.x + t.m21 * p.y + t.dx, t.m12 * p.x + t.m22 * p.y + t.dy};
}

Point Transform::MapVector(const Transform& t, Point v) {
    return Point{t.m11 * v.x + t.m21 * v.y, t.m12 * v.x + t.m22 * v.y};
}

Rect Transform::MapRect(const Transform& t, const Rect& r) {
    bool swap = t.m11 == 0;
    if (r.IsEmpty()) {
        Point p = MapPoint(t, Point{r.x, r.y});
        return swap ? Rect{p.x, p.y, r.height, r.width} : Rect{p.x, p.y, r.width, r.height};
    }
    Point a = MapPoint(t, Point{r.x, r.y});
    Point b = MapPoint(t, Point{r.x + r.width - 1, r.y + r.height - 1});
    int32_t x0 = std::min(a.x, b.x), x1 = std::max(a.x, b.x);
    int32_t y0 = std::min(a.y, b.y), y1 = std::max(a.y, b.y);
    return Rect{x0, y0, x1 - x0 + 1, y1 - y0 + 1};
}

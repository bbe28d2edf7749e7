// An integer 2x3 matrix for quarter-turn rotations and translations:
//   x' = m11 * x + m21 * y + dx,   y' = m12 * x + m22 * y + dy.
// Compose(a, b) applies a first, then b. FromOrientation(1) maps (x, y) to (-y, x),
// FromOrientation(2) to (y, -x), FromOrientation(3) to (-x, -y). With t = (0, 1 - w) for 1,
// (1 - h, 0) for 2 and (1 - w, 1 - h) for 3, Compose(Translation(t), FromOrientation(o)) maps
// a screen point into [0, w - 1] x [0, h - 1] of the page.
#pragma once

#include <cstdint>

#include "core/geometry.h"

struct Transform {
    int32_t m11 = 1, m12 = 0, m21 = 0, m22 = 1;
    int32_t dx = 0, dy = 0;

    bool operator==(const Transform& o) const {
        return m11 == o.m11 && m12 == o.m12 && m21 == o.m21 && m22 == o.m22 && dx == o.dx &&
               dy == o.dy;
    }

    static Transform Identity() { return Transform{}; }
    static Transform Translation(int32_t tx, int32_t ty);
    static void SetTranslation(Transform& t, int32_t tx, int32_t ty);
    static Transform FromOrientation(int orientation);
    // out = a, then b.
    static void Compose(const Transform& a, const Transform& b, Transform& out);
    // Exact inverse; false when the matrix part is not invertible over the integers.
    static bool Invert(const Transform& in, Transform& out);
    static Point MapPoint(const Transform& t, Point p);
    // No translation.
    static Point MapVector(const Transform& t, Point v);
    // Maps the inclusive corners, so a whole page maps to the whole screen; extents positive.
    static Rect MapRect(const Transform& t, const Rect& r);
};

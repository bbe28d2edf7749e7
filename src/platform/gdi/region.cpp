#include "platform/gdi/region.h"

#include <algorithm>

namespace gdi {

RECT Intersect(const RECT& a, const RECT& b) {
    RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
           std::min(a.bottom, b.bottom)};
    if (Empty(r)) r = RECT{0, 0, 0, 0};
    return r;
}

RectList Intersect(const RectList& a, const RECT& b) {
    RectList out;
    for (const RECT& r : a) {
        RECT i = Intersect(r, b);
        if (!Empty(i)) out.push_back(i);
    }
    return out;
}

RectList Intersect(const RectList& a, const RectList& b) {
    RectList out;
    for (const RECT& r : b) {
        RectList part = Intersect(a, r);
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

namespace {
bool Overlaps(const RectList& a, const RECT& b) {
    for (const RECT& r : a)
        if (!Empty(Intersect(r, b))) return true;
    return false;
}

// a minus b as up to four disjoint bands.
void SubtractOne(const RECT& a, const RECT& b, RectList& out) {
    RECT i = Intersect(a, b);
    if (Empty(i)) {
        out.push_back(a);
        return;
    }
    if (a.top < i.top) out.push_back(RECT{a.left, a.top, a.right, i.top});
    if (a.left < i.left) out.push_back(RECT{a.left, i.top, i.left, i.bottom});
    if (i.right < a.right) out.push_back(RECT{i.right, i.top, a.right, i.bottom});
    if (i.bottom < a.bottom) out.push_back(RECT{a.left, i.bottom, a.right, a.bottom});
}
}  // namespace

RectList Subtract(const RectList& a, const RectList& b) {
    RectList cur;
    for (const RECT& r : a)
        if (!Empty(r)) cur.push_back(r);
    for (const RECT& cut : b) {
        if (Empty(cut) || !Overlaps(cur, cut)) continue;  // a cut that misses leaves them all
        RectList next;
        for (const RECT& r : cur) SubtractOne(r, cut, next);
        cur.swap(next);
    }
    return cur;
}

void SubtractFrom(RectList& a, const RECT& cut) {
    std::erase_if(a, [](const RECT& r) { return Empty(r); });
    if (Empty(cut) || !Overlaps(a, cut)) return;
    RectList next;
    next.reserve(a.size() + 3);
    for (const RECT& r : a) SubtractOne(r, cut, next);
    a.swap(next);
}

void IntersectWith(RectList& a, const RECT& b) {
    std::size_t kept = 0;
    for (const RECT& r : a) {
        RECT i = Intersect(r, b);
        if (!Empty(i)) a[kept++] = i;
    }
    a.resize(kept);
}

RectList Union(const RectList& a, const RectList& b) {
    RectList out;
    for (const RECT& r : a)
        if (!Empty(r)) out.push_back(r);
    RectList extra = Subtract(b, out);
    out.insert(out.end(), extra.begin(), extra.end());
    return out;
}

RectList Offset(const RectList& a, int dx, int dy) {
    RectList out = a;
    for (RECT& r : out) {
        r.left += dx;
        r.right += dx;
        r.top += dy;
        r.bottom += dy;
    }
    return out;
}

RECT Bounds(const RectList& a) {
    RECT b{0, 0, 0, 0};
    bool any = false;
    for (const RECT& r : a) {
        if (Empty(r)) continue;
        if (!any) {
            b = r;
            any = true;
        } else {
            b.left = std::min(b.left, r.left);
            b.top = std::min(b.top, r.top);
            b.right = std::max(b.right, r.right);
            b.bottom = std::max(b.bottom, r.bottom);
        }
    }
    return b;
}

bool Contains(const RectList& a, int x, int y) {
    for (const RECT& r : a)
        if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) return true;
    return false;
}

int Complexity(const RectList& a) {
    int n = 0;
    for (const RECT& r : a)
        if (!Empty(r)) ++n;
    if (n == 0) return NULLREGION;
    if (n == 1) return SIMPLEREGION;
    // Several pieces may still cover exactly their bounding box.
    RECT b = Bounds(a);
    long long area = 0;
    for (const RECT& r : a)
        if (!Empty(r)) area += static_cast<long long>(r.right - r.left) * (r.bottom - r.top);
    return area == static_cast<long long>(b.right - b.left) * (b.bottom - b.top) ? SIMPLEREGION
                                                                                 : COMPLEXREGION;
}

}  // namespace gdi

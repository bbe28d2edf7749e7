// Regions as lists of disjoint rectangles: clip areas, visible and update regions.
#pragma once

#include <vector>

#include "platform/gdi/gdi_types.h"

namespace gdi {

using RectList = std::vector<RECT>;

// Coordinates are kept within this range once turned into surface coordinates, so that no
// extreme value a caller passes can overflow; it is far outside any surface.
constexpr long long kCoordLimit = (1 << 30) - 1;
inline LONG Sat(long long v) {
    return static_cast<LONG>(v < -kCoordLimit ? -kCoordLimit : v > kCoordLimit ? kCoordLimit : v);
}

inline bool Empty(const RECT& r) {
    return r.right <= r.left || r.bottom <= r.top;
}
RECT Intersect(const RECT& a, const RECT& b);
RectList Intersect(const RectList& a, const RectList& b);
RectList Intersect(const RectList& a, const RECT& b);
RectList Subtract(const RectList& a, const RectList& b);
RectList Union(const RectList& a, const RectList& b);
// In place, as a = Subtract(a, {cut}) and a = Intersect(a, b) give; nothing is made again when
// the cut misses.
void SubtractFrom(RectList& a, const RECT& cut);
void IntersectWith(RectList& a, const RECT& b);
RectList Offset(const RectList& a, int dx, int dy);
RECT Bounds(const RectList& a);
bool Contains(const RectList& a, int x, int y);
// The region kind GetClipBox and CombineRgn report: NULLREGION, SIMPLEREGION or COMPLEXREGION.
int Complexity(const RectList& a);

}  // namespace gdi

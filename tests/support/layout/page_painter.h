// Paints a laid-out block the plain way a reader would see it: runs at their places (shifted
// for right and centred lines, spread for justified ones), pictures and rules, table cell
// frames. For looking at layouts in tests; the real page drawing is the pagination's.
#pragma once

#include <cstdint>

#include "core/geometry.h"

class BlockContents;
class GraphicsContext;

namespace fvt::test {

void PaintBlock(GraphicsContext* gc, BlockContents& block, const Rect& page, int32_t em);

}  // namespace fvt::test

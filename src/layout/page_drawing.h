// The arithmetic of page drawing, apart from any canvas so that it is tested alone.
#pragma once

#include <cstdint>

namespace PageDrawing {

// Alignment modes of a line.
enum AlignmentKind : uint32_t {
    kAlignDefault = 0,
    kAlignLeft = 1,
    kAlignRight = 2,
    kAlignCenter = 3,
    kAlignJustify = 4,
    kAlignPoetry = 5,
};

// The mode a line is drawn with: its own or the default; the last line of a paragraph is not
// justified, and an unframed poetry line is set to the right.
uint32_t LineAlignment(uint32_t own, uint32_t fallback, bool continues, bool framed);

// How far the text moves right for the mode (integer halving when centred).
int32_t AlignmentOffset(uint32_t mode, int32_t freeWidth);

// The extra width of the next gap between words when freeWidth is shared over gaps; the
// remainder is carried so that the shares add up to freeWidth. 0 when there is nothing to share.
int32_t NextJustifyShare(int32_t freeWidth, int32_t gaps, int32_t& carry);

// A font size from the base and a style's signed step, kept to sizes a font can have.
int32_t FontSize(int32_t base, int32_t step);

}  // namespace PageDrawing

// The arithmetic of page drawing, apart from any canvas so that it is tested alone.
#pragma once

#include <cstdint>

struct LineRecord;

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

// A line as an inline object sees it, measured from the top of its text area (below the
// line's extra space above): the area's height, the baseline, and the top and bottom of the
// text (equal when the line holds no text).
struct LineBand {
    int32_t height = 0;
    int32_t baseline = 0;
    int32_t textTop = 0;
    int32_t textBottom = 0;
};

// The band of a laid-out line.
LineBand BandOf(const LineRecord& line);

// Where an object `height` tall with `vspace` above and below sits in the line, from the top
// of the band, by its vertical alignment: 0 at the top, 9 in the middle and 10 at the bottom
// of the line, 4 at the top of the text, 1 centred on the text (in the middle of the line when
// there is no text or it would stick out); anything else stands on the baseline, sunk by its
// descent. The line metrics make room for exactly this.
int32_t ObjectOffset(uint32_t alignment, int32_t height, int32_t vspace, int32_t descent,
                     const LineBand& line);

// A font size from the base and a style's signed step, kept to sizes a font can have.
int32_t FontSize(int32_t base, int32_t step);

}  // namespace PageDrawing

// The arithmetic of page drawing, and what the layout keeps of it: the font size of a style,
// the bookmark corner's place, and painting the current page (the painter draws it,
// page_painter.h).
#include "layout/page_drawing.h"

#include <algorithm>

#include "layout/layout_fonts.h"
#include "layout/page_layout.h"
#include "paths/app_paths.h"

namespace PageDrawing {

uint32_t LineAlignment(uint32_t own, uint32_t fallback, bool continues, bool framed) {
    uint32_t mode = own ? own : fallback;
    if (!continues && mode == kAlignJustify) mode = kAlignLeft;
    if (!continues && mode == kAlignPoetry && framed) mode = kAlignLeft;
    if (!framed && mode == kAlignPoetry) mode = kAlignRight;
    return mode;
}

int32_t AlignmentOffset(uint32_t mode, int32_t freeWidth) {
    if (freeWidth <= 0) return 0;
    if (mode == kAlignRight) return freeWidth;
    if (mode == kAlignCenter) return freeWidth / 2;
    return 0;
}

int32_t NextJustifyShare(int32_t freeWidth, int32_t gaps, int32_t& carry) {
    if (gaps <= 0 || freeWidth <= 0) return 0;
    int32_t total = freeWidth + carry;
    int32_t share = total / gaps;
    carry = total - share * gaps;
    return share;
}

LineBand BandOf(const LineRecord& line) {
    LineBand band;
    band.height = line.height - line.extraAbove - line.extraBelow;
    band.baseline = line.baseline;
    band.textTop = line.textTop;
    band.textBottom = line.textBottom;
    return band;
}

int32_t ObjectOffset(uint32_t alignment, int32_t height, int32_t vspace, int32_t descent,
                     const LineBand& line) {
    int32_t middle = (line.height - height) / 2;
    switch (alignment) {
        case kAlignTop:
            return vspace;
        case kAlignAbsMiddle:
            return middle;
        case kAlignAbsBottom:
            return line.height - height - vspace;
        case kAlignTextTop:
            return line.textTop + vspace;
        case kAlignMiddle: {
            if (line.textBottom <= line.textTop) return middle;
            // As the metrics measured it: the object and its spacing over the text's middle.
            int32_t ascent = line.baseline - line.textTop;
            int32_t below = line.textBottom - line.baseline;
            int32_t y = line.baseline - (height + 2 * vspace - below + ascent) / 2 + vspace;
            return y < 0 || y + height > line.height ? middle : y;
        }
        default:
            return line.baseline - height + descent;
    }
}

int32_t FontSize(int32_t base, int32_t step) {
    // Nested size steps add up; a page font stays within what can be drawn.
    return std::clamp(base + step, 4, 127);
}

}  // namespace PageDrawing

int32_t PageLayout::StyleFontSize(const PositionRecord& style) const {
    return LayoutFonts::ShiftedEm(style.style, PageDrawing::FontSize(settings_.baseFontSize, style.size));
}

Rect PageLayout::CornerRect() const {
    int32_t side = UiMetrics::Get(paths_, 10);
    int32_t inset = UiMetrics::Get(paths_, 11);
    return Rect{viewport_.x + viewport_.width - inset - side, viewport_.y + inset, side, side};
}

bool PageLayout::DrawPage(bool /*fill*/, uint32_t start) {
    const int32_t s = pager_.SlotOf(start == kNone ? pager_.Current() : start);
    return painter_.DrawPage(s < 0 ? nullptr : &pager_.Slot(s));
}

bool PageLayout::PaintCurrentPage(bool fill) {
    if (pager_.Current() == kNone) return false;
    // Laid out when the book opened, or again since (a relayout drops the laid-out pages).
    if (!LayOutCurrentPage()) {
        DrawPage(fill, pager_.Current());  // the background at least
        return false;
    }
    bool drawn = DrawPage(fill, pager_.Current());
    SetPageVisibility(pager_.Current(), kPageShown);
    restoredStart_ = kNone;  // shown: its place is settled
    return drawn;
}

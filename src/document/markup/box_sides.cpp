#include "document/markup/box_sides.h"

#include "core/color.h"
#include "document/markup/length.h"

void BoxSides::Merge(const BoxSides& other, uint32_t sideMask) {
    if (Color::IsNone(color)) color = other.color;
    if (second == 8) second = other.second;
    for (int i = 0; i < 4; ++i) {
        if (!(sideMask & (1u << i))) continue;
        BoxSide& mine = sides[i];
        const BoxSide& theirs = other.sides[i];
        bool stronger = theirs.Width() > mine.Width() ||
                        (theirs.Width() == mine.Width() && theirs.Style() > mine.Style());
        if (stronger) {
            mine.color = theirs.color;
            mine.styleWidth = theirs.styleWidth;
        }
    }
}

void BoxLengths::FillFlagged(uint32_t value) {
    for (uint32_t& side : sides)
        if (!Length::IsSet(side)) side = value;
}

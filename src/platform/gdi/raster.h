// The rasteriser's shared pieces: raster operations and clipped fills in surface coordinates.
#pragma once

#include <cstdint>

#include "platform/gdi/gdi_object.h"

namespace gdi {

// A ternary raster operation over pattern, source and destination colours: bit (4p + 2s + d)
// of the code gives each result bit.
inline std::uint32_t Rop3(std::uint8_t code, std::uint32_t p, std::uint32_t s, std::uint32_t d) {
    switch (code) {
        case 0xCC:
            return s;
        case 0xF0:
            return p;
        case 0xAA:
            return d;
        case 0x55:
            return ~d & 0xFFFFFF;
        case 0x00:
            return 0;
        case 0xFF:
            return 0xFFFFFF;
        default:
            break;
    }
    std::uint32_t r = 0;
    for (int i = 0; i < 8; ++i)
        if (code & (1u << i)) r |= ((i & 4) ? p : ~p) & ((i & 2) ? s : ~s) & ((i & 1) ? d : ~d);
    return r & 0xFFFFFF;
}

// The ternary code that does what a binary (pen) mode does with the pen as the pattern.
std::uint8_t Rop3FromRop2(int rop2);
constexpr std::uint8_t RopCode(DWORD rop) {
    return static_cast<std::uint8_t>((rop >> 16) & 0xFF);
}
constexpr bool RopUsesSource(std::uint8_t c) {
    return ((c >> 2) & 0x33) != (c & 0x33);
}
constexpr bool RopUsesPattern(std::uint8_t c) {
    return ((c >> 4) & 0x0F) != (c & 0x0F);
}

// Fills r (surface coordinates) inside the DC's clip with the brush under the raster operation.
void FillArea(DcObject& dc, const RECT& r, const BrushObject& brush, std::uint8_t rop);
// The brush's colours along row y from x0, in surface coordinates.
void BrushRow(const DcObject& dc, const BrushObject& brush, int y, int x0, int n,
              std::uint32_t* out);
// One pixel, clipped.
void Plot(DcObject& dc, int x, int y, std::uint32_t rgb, std::uint8_t rop);

// A solid colour as a brush, for pens drawn through FillArea.
BrushObject SolidBrush(std::uint32_t rgb);
// The brush a handle names: a brush, or a system colour index + 1 as FillRect allows.
std::shared_ptr<BrushObject> BrushFromHandle(HBRUSH brush);

}  // namespace gdi

#include "core/color.h"

void Color::Mix(uint32_t& out, uint32_t a, uint32_t b, uint32_t i, uint32_t n) {
    if (n == 0) {
        out = a;
        return;
    }
    if (i > n) i = n;
    uint32_t r = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        uint64_t ca = (a >> shift) & 0xFF, cb = (b >> shift) & 0xFF;
        uint64_t v = (cb * i + ca * (n - i)) / n;
        r |= static_cast<uint32_t>(v) << shift;
    }
    out = r;
}

int PaletteToRgbQuad(PaletteKind kind, const uint8_t* palette, size_t paletteBytes, uint32_t count,
                     uint8_t* dest) {
    if (!palette || !dest) return 0;
    size_t entry = kind == PaletteKind::kRgb3 ? 3 : (kind == PaletteKind::kBgrx4 ? 4 : 0);
    if (entry == 0) return 0;
    if (count > 256) count = 256;
    if (count > paletteBytes / entry) count = static_cast<uint32_t>(paletteBytes / entry);
    for (uint32_t k = 0; k < count; ++k) {
        const uint8_t* p = palette + k * entry;
        uint8_t* d = dest + k * 4;
        if (kind == PaletteKind::kRgb3) {
            d[0] = p[2];
            d[1] = p[1];
            d[2] = p[0];
        } else {
            d[0] = p[0];
            d[1] = p[1];
            d[2] = p[2];
        }
        d[3] = 0;
    }
    return static_cast<int>(count);
}

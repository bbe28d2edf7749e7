// Colours as r | g << 8 | b << 16; 0xFF000000 means "no colour".
#pragma once

#include <cstddef>
#include <cstdint>

namespace Color {
constexpr uint32_t kNone = 0xFF000000u;
constexpr uint32_t Pack(uint8_t r, uint8_t g, uint8_t b) {
    return static_cast<uint32_t>(r) | static_cast<uint32_t>(g) << 8 |
           static_cast<uint32_t>(b) << 16;
}
inline void Unpack(uint32_t c, uint8_t& r, uint8_t& g, uint8_t& b) {
    r = static_cast<uint8_t>(c);
    g = static_cast<uint8_t>(c >> 8);
    b = static_cast<uint8_t>(c >> 16);
}
constexpr bool IsNone(uint32_t c) {
    return c == kNone;
}
inline void SetNone(uint32_t& c) {
    c = kNone;
}
constexpr bool SameRgb(uint32_t a, uint32_t b) {
    return ((a ^ b) & 0xFFFFFFu) == 0;
}
// The colour i/n of the way from a to b, per channel; n = 0 gives a.
void Mix(uint32_t& out, uint32_t a, uint32_t b, uint32_t i, uint32_t n);
}  // namespace Color

// Palette layouts a decoder may hold.
enum class PaletteKind {
    kNone = 0,
    kRgb3 = 1 /* GIF: R, G, B */,
    kBgrx4 = 2 /* BMP: B, G, R, x */
};

// Writes palette entries as RGBQUADs (B, G, R, 0) into dest (room for 256 entries); the count is
// clamped to 256 and to the entries present in the palette bytes. The entries written.
int PaletteToRgbQuad(PaletteKind kind, const uint8_t* palette, size_t paletteBytes, uint32_t count,
                     uint8_t* dest);

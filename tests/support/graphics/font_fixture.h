// Builds bitmap-font databases in memory for tests, benchmarks and fuzz seeds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/bookfiles/pdb_builder.h"

struct GlyphSpec {
    uint8_t width = 0;
    uint8_t height = 0;
    int8_t xOffset = 0;
    int8_t yOffset = 0;
    int8_t left = 0;
    uint8_t advance = 0;
    int8_t right = 0;
    Bytes pixels;  // height rows of width palette levels
};

struct FontFaceSpec {
    std::string name = "Fixture";
    uint8_t size = 10;
    uint8_t lineHeight = 10;
    uint8_t ascent = 8;
    uint8_t slant = 0;
    uint8_t depth = 8;
    uint8_t italic = 0;
    uint8_t bold = 0;
    uint16_t firstCode = 'A';
    std::vector<GlyphSpec> glyphs;
};

// A glyph filled with one level (the last palette level is the ink).
GlyphSpec BlockGlyph(uint8_t width, uint8_t height, uint8_t level, uint8_t advance);
// The glyph record of a face ("GLYT").
Bytes GlyphRecord(const FontFaceSpec& face);
// Record 0: "CLFO", the face count, a grey palette from white (level 0) to black (the last
// level) and the face entries; face i names glyph record i + 1.
Bytes FontHeader(const std::vector<FontFaceSpec>& faces, uint8_t lastLevel = 255);
// The whole database file.
Bytes BuildFontDatabase(const std::vector<FontFaceSpec>& faces, uint8_t lastLevel = 255);

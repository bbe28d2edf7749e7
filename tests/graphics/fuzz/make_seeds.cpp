// Writes the seed corpus of the bitmap-font fuzz target from the fixture writer.
//   make_graphics_seeds FOLDER
#include <string>

#include "support/graphics/font_fixture.h"

namespace {

void PutRecord(Bytes& out, const Bytes& record) {
    out.push_back(static_cast<uint8_t>(record.size() >> 8));
    out.push_back(static_cast<uint8_t>(record.size()));
    out.insert(out.end(), record.begin(), record.end());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    FontFaceSpec plain;
    plain.size = 12;
    for (int i = 0; i < 6; ++i) plain.glyphs.push_back(BlockGlyph(2 + i % 3, 4, 255, 3));
    plain.glyphs[1].yOffset = -2;
    plain.glyphs[2].left = -1;
    FontFaceSpec slanted = plain;
    slanted.slant = 3;
    slanted.italic = 1;
    slanted.name = "Slanted";
    Bytes seed;
    PutRecord(seed, FontHeader({plain, slanted}));
    PutRecord(seed, GlyphRecord(plain));
    PutRecord(seed, GlyphRecord(slanted));
    return WriteFileBytes(std::string(argv[1]) + "/two_faces", seed) ? 0 : 1;
}

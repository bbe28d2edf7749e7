#include "support/graphics/font_fixture.h"

GlyphSpec BlockGlyph(uint8_t width, uint8_t height, uint8_t level, uint8_t advance) {
    GlyphSpec g;
    g.width = width;
    g.height = height;
    g.advance = advance;
    g.pixels.assign(static_cast<size_t>(width) * height, level);
    return g;
}

Bytes GlyphRecord(const FontFaceSpec& face) {
    Bytes b = ToBytes("GLYT");
    PutU16(b, face.firstCode);
    uint32_t count = static_cast<uint32_t>(face.glyphs.size());
    b.push_back(static_cast<uint8_t>(count));  // little-endian count
    b.push_back(static_cast<uint8_t>(count >> 8));
    uint32_t offset = 8 + 12 * count;
    for (const GlyphSpec& g : face.glyphs) {
        PutU32(b, offset);
        b.push_back(g.width);
        b.push_back(g.height);
        b.push_back(static_cast<uint8_t>(g.xOffset));
        b.push_back(static_cast<uint8_t>(g.yOffset));
        b.push_back(static_cast<uint8_t>(g.left));
        b.push_back(g.advance);
        b.push_back(static_cast<uint8_t>(g.right));
        b.push_back(0);
        offset += static_cast<uint32_t>(g.pixels.size());
    }
    for (const GlyphSpec& g : face.glyphs) b.insert(b.end(), g.pixels.begin(), g.pixels.end());
    return b;
}

Bytes FontHeader(const std::vector<FontFaceSpec>& faces, uint8_t lastLevel) {
    Bytes b(1360 + 184 * faces.size(), 0);
    b[0] = 'C';
    b[1] = 'L';
    b[2] = 'F';
    b[3] = 'O';
    SetU16(b, 328, static_cast<uint32_t>(faces.size()));
    b[333] = lastLevel;
    for (int i = 0; i < 256; ++i) {
        int grey = i >= lastLevel ? 0 : 255 - i * 255 / (lastLevel ? lastLevel : 1);
        b[336 + 4 * i] = b[337 + 4 * i] = b[338 + 4 * i] = static_cast<uint8_t>(grey);
    }
    for (size_t f = 0; f < faces.size(); ++f) {
        const FontFaceSpec& face = faces[f];
        size_t e = 1360 + 184 * f;
        for (size_t k = 0; k < face.name.size() && k < 60; ++k)
            b[e + 2 + k] = static_cast<uint8_t>(face.name[k]);
        b[e + 64] = face.lineHeight;
        b[e + 65] = face.ascent;
        b[e + 66] = face.slant;
        b[e + 67] = face.depth;
        b[e + 68] = static_cast<uint8_t>(f + 1);
        b[e + 69] = face.italic;
        b[e + 70] = face.bold;
        b[e + 174] = face.size;
    }
    return b;
}

Bytes BuildFontDatabase(const std::vector<FontFaceSpec>& faces, uint8_t lastLevel) {
    PdbBuilder pdb;
    pdb.name = "folvtype";
    pdb.type = "Font";
    pdb.creator = "FOLV";
    pdb.Add(FontHeader(faces, lastLevel));
    for (const FontFaceSpec& face : faces) pdb.Add(GlyphRecord(face));
    return pdb.Build();
}

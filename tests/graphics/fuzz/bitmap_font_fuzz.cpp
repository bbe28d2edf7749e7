// The bitmap-font loader over arbitrary records. The input is split into the header record and
// up to three glyph records (each prefixed by a 16-bit big-endian length). Properties: opening
// and selecting never read outside the records, drawing never writes outside the target (guard
// bytes stay clean), FitCount stays within the run and the measured run is the sum of its
// glyphs.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "bookfiles/palm_database.h"
#include "graphics/core/bitmap_font.h"
#include "support/graphics/font_fixture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    PdbBuilder pdb;
    size_t at = 0;
    for (int r = 0; r < 4 && at + 2 <= size; ++r) {
        size_t n = static_cast<size_t>(data[at]) << 8 | data[at + 1];
        at += 2;
        if (n > size - at) n = size - at;
        Bytes record(data + at, data + at + n);
        at += n;
        // The header needs its size; short inputs are padded so the face table is reached.
        if (r == 0 && record.size() >= 4 && record.size() < 1360 + 184) record.resize(1360 + 184);
        pdb.Add(record);
    }
    Bytes file = pdb.Build();
    int error = 0;
    std::unique_ptr<PalmDatabase> db(PalmDatabase::LoadInMemory(file.data(), file.size(), &error));
    BitmapFont font;
    if (font.OpenDatabase(std::move(db)) != 0) return 0;

    constexpr int kGuard = 32, kW = 24, kH = 12;
    std::vector<uint8_t> buffer(kGuard * 2 + kW * kH * 4, 0xA5);
    char16_t text[64];
    for (int i = 0; i < 64; ++i) text[i] = static_cast<char16_t>(i < 32 ? 'A' + i : 0x3FF + i);

    for (int32_t face = 0; face < font.FaceCount() && face < 8; ++face) {
        if (font.LoadFace(face) != 0) continue;
        for (int depth : {8, 16, 32}) {
            font.SetTarget(buffer.data() + kGuard, kW * depth / 8, kH, depth, face % 2 == 0,
                           depth == 16 && face % 3 == 0);
            font.SetColors(face % 2 ? 0x0000FF : 0, 0xFFFFFF);
            for (int x : {-30, -3, 0, 5, 23}) {
                for (int y : {-20, -1, 0, 6, 11})
                    font.DrawText(x, y, text, 64, (x & 1) != 0);
            }
            font.DrawLine(-100, 100, kH - 1);
        }
        int32_t left, width, right;
        font.MeasureRun(text, 64, left, width, right);
        int32_t fit = font.FitCount(text, 64, width / 2);
        if (fit < 0 || fit > 64) std::abort();
    }
    for (int i = 0; i < kGuard; ++i)
        if (buffer[i] != 0xA5 || buffer[buffer.size() - 1 - i] != 0xA5) std::abort();
    font.BuildSizeMap(1, 40, static_cast<int32_t>(size % 5));
    font.SelectFace(nullptr, static_cast<int32_t>(size % 30), size & 1, size & 2, 8);
    font.SelectFace("Fixture", 12, false, false, 8);
    return 0;
}

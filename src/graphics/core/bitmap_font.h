// Bitmap faces with anti-aliased glyphs, read from a font database: a Palm database whose
// record 0 holds the header (magic "CLFO", face count, palette, 184-byte face entries) and whose
// other records hold glyph tables ("GLYT"). The file is named by the settings, so everything in
// it is untrusted: a header, face or glyph table that does not fit its record is refused when it
// is opened or selected, and drawing writes only inside the target and the clip.
//
// Operations answer 0 for success and 1 for failure, as the rest of the font code does.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class PalmDatabase;
class Text;

class BitmapFont {
public:
    static constexpr uint32_t kHeaderSize = 1360;
    static constexpr uint32_t kFaceSize = 184;
    static constexpr uint32_t kGlyphEntrySize = 12;
    static constexpr int32_t kClipMax = 32767;
    static constexpr int32_t kMaxSizeMapEntries = 256;

    BitmapFont();
    ~BitmapFont();
    BitmapFont(const BitmapFont&) = delete;
    BitmapFont& operator=(const BitmapFont&) = delete;

    // Opens the font database at a device path (read-only).
    int Open(const Text& path);
    // The same over a database already open (taken over, also on failure).
    int OpenDatabase(std::unique_ptr<PalmDatabase> database);
    void Close();
    bool IsOpen() const { return header_ != nullptr; }

    // Chooses a face of the depth by name (8-bit characters, null for any) or by size and
    // style; 1 and no face when none fits.
    int SelectFace(const char* name, int32_t size, bool italic, bool bold, int depth);
    int LoadFace(int32_t index);
    bool HasFace() const { return face_ != nullptr; }
    int32_t FaceCount() const { return faceCount_; }
    int32_t CurrentFaceIndex() const { return faceIndex_; }

    // The pixel buffer drawn into: `height` rows of `stride` bytes, 8, 16 or 32 (0x00RRGGBB)
    // bits per pixel. Null pixels detach the target.
    void SetTarget(uint8_t* pixels, int32_t stride, int32_t height, int depth, bool webPalette,
                   bool nativeOrder);
    // x and y ranges; the "to" edges are exclusive. Clamped to the target.
    void SetClip(int32_t xFrom, int32_t xTo, int32_t yFrom, int32_t yTo);
    // Colours as r | g << 8 | b << 16.
    void SetColors(uint32_t text, uint32_t background);

    // (x, y) is the top-left of the line.
    void DrawText(int32_t x, int32_t y, const char16_t* text, int32_t length, bool underline);
    void DrawLine(int32_t xFrom, int32_t xTo, int32_t y);
    // The run's width without the first glyph's left and the last glyph's right adjustment,
    // which go to left and right.
    void MeasureRun(const char16_t* text, int32_t length, int32_t& left, int32_t& width,
                    int32_t& right) const;
    int32_t FitCount(const char16_t* text, int32_t length, int32_t maxWidth) const;
    void Metrics(int32_t& height, int32_t& ascent) const;
    // A map from requested sizes to upright faces; false when the range or step is unusable.
    bool BuildSizeMap(int32_t smallest, int32_t largest, int32_t step);
    // Fills the whole target with the colour.
    void Clear(uint32_t colour);

    static uint8_t WebSafePaletteIndex(uint8_t r, uint8_t g, uint8_t b);

    // The names of the font databases in a folder (a device path ending in a backslash): its
    // ".prc" files whose header opens, sorted without case. Others are passed over.
    static std::vector<std::u16string> FindDatabases(const std::u16string& folder);

private:
    struct Glyph;
    const uint8_t* Face(int32_t index) const;
    const Glyph* FindGlyph(char16_t c, Glyph& out) const;
    void BuildColorMap();
    uint16_t ValueFor(uint32_t colour) const;
    void PutPixel(uint8_t* row, int32_t x, uint8_t level);

    std::unique_ptr<PalmDatabase> database_;
    const uint8_t* header_ = nullptr;
    uint32_t headerLength_ = 0;
    int32_t faceCount_ = 0;
    uint8_t lastPaletteIndex_ = 0;
    uint32_t palette_[256] = {};

    const uint8_t* face_ = nullptr;
    int32_t faceIndex_ = -1;
    const uint8_t* glyphs_ = nullptr;  // the glyph record
    uint32_t glyphsLength_ = 0;
    uint32_t firstCode_ = 0;
    uint32_t glyphCount_ = 0;

    uint8_t* pixels_ = nullptr;
    int32_t stride_ = 0;
    int32_t width_ = 0;
    int32_t height_ = 0;
    int depth_ = 0;
    bool webPalette_ = false;
    bool nativeOrder_ = true;
    int32_t clipX0_ = 0, clipX1_ = kClipMax, clipY0_ = 0, clipY1_ = kClipMax;

    uint32_t textColour_ = 0;
    uint32_t backColour_ = 0xFFFFFF;
    bool mapDirty_ = true;
    bool useMap_ = false;
    uint16_t table16_[256] = {};
    uint16_t map_[256] = {};
    uint16_t backValue_ = 0;
    uint16_t textValue_ = 0;
    uint32_t map32_[256] = {};
    uint32_t back32_ = 0xFFFFFF;
    uint32_t text32_ = 0;

    std::vector<int32_t> sizeMap_;  // face index per entry
    int32_t sizeMapSmallest_ = 0;
    int32_t sizeMapStep_ = 1;
};

// Realised fonts: a LOGFONT turned into pixel metrics and cached glyph images, through FreeType
// over the DejaVu faces or through the built-in box font that tests choose.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/gdi/gdi_types.h"

namespace gdi {

struct Glyph {
    int left = 0;  // from the pen position
    int top = 0;   // from the top of the text cell
    int width = 0;
    int height = 0;
    int advance = 0;                     // whole pixels
    int stride = 0;                      // width rounded up to 4; the padding is zero
    std::vector<std::uint8_t> coverage;  // stride * height, 0..255
    // Names this image for caches of what it looks like drawn: unique among the glyphs fonts
    // make for the whole run (never reused after a flush); 0 for glyphs made elsewhere.
    std::uint64_t serial = 0;
    // Set with the serial: the width in whole groups of eight pixels, 0 for a glyph without
    // pixels (and for glyphs made elsewhere).
    int groups = 0;
};

class FontInstance {
public:
    virtual ~FontInstance() = default;

    int ascent = 0;
    int descent = 0;
    int height = 0;  // ascent + descent: the text cell
    int internalLeading = 0;
    int aveCharWidth = 0;
    int maxCharWidth = 0;
    int weight = FW_NORMAL;
    bool italic = false;
    bool fixedPitch = false;
    int underlineOffset = 1;  // rows below the baseline
    int lineThickness = 1;
    int strikeOffset = 1;  // rows above the baseline
    std::u16string faceName;

    // Glyphs are made once and kept; the reference stays valid while the instance lives. A
    // Latin glyph made before is found inline (text is mostly made of them).
    const Glyph& GetGlyph(char32_t c) {
        if (c < 256) {
            if (Glyph* g = low_[c].load(std::memory_order_acquire)) return *g;
        }
        return MakeGlyph(c);
    }
    // The glyph of c (below 256) if it was made before, else null.
    const Glyph* MadeLowGlyph(char16_t c) const {
        return low_[c].load(std::memory_order_acquire);
    }
    int Advance(char32_t c) { return GetGlyph(c).advance; }
    void FlushGlyphs();

protected:
    virtual void Render(char32_t c, Glyph& out) = 0;

private:
    const Glyph& MakeGlyph(char32_t c);

    std::mutex mutex_;
    // Latin glyphs are read without the lock once made; FlushGlyphs must not race with drawing.
    std::array<std::atomic<Glyph*>, 256> low_{};
    std::vector<std::unique_ptr<Glyph>> owned_;
    std::unordered_map<char32_t, std::unique_ptr<Glyph>> high_;
};

// Null only for heights beyond what the layer draws.
bool FontHeightSupported(LONG height);
std::shared_ptr<FontInstance> RealizeFont(const LOGFONTW& logFont);
void FlushGlyphCaches();
// Drops every realised font; fonts in use are realised again at their next use.
void FlushFontCache();
// Every font realises as the box font while set (deterministic test mode).
void SetSyntheticFonts(bool on);
bool SyntheticFonts();
// Changes whenever realised fonts must be made again.
unsigned FontGeneration();
void NewFontGeneration();

// Face substitution: a requested face name to a DejaVu family ("DejaVu Sans", ...).
std::u16string SubstituteFace(const std::u16string& requested);
// The logical face names EnumFontFamiliesW reports, in their fixed order.
const std::vector<std::u16string>& LogicalFaceNames();

extern const char16_t kSyntheticFaceName[];

}  // namespace gdi

#include "platform/gdi/font_engine.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <tuple>
#include <utility>

namespace gdi {

const char16_t kSyntheticFaceName[] = u"Folivant Test Box";

namespace {

constexpr int kMaxFontHeight = 2048;
constexpr int kDefaultEm = 12;

enum class Family { Sans, Mono, Serif, Box };

std::mutex& FreeTypeMutex() {
    static std::mutex m;
    return m;
}

FT_Library Library() {
    static FT_Library lib = [] {
        FT_Library l = nullptr;
        if (FT_Init_FreeType(&l) != 0) l = nullptr;
        return l;
    }();
    return lib;
}

char16_t Lower(char16_t c) {
    return (c >= u'A' && c <= u'Z') ? c + 32 : c;
}

bool SameName(const std::u16string& a, const std::u16string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

struct FaceEntry {
    const char16_t* name;
    Family family;
};

// The device's face names and what stands in for them here. "Courrier New" is a misspelling
// found in stored settings.
const FaceEntry kFaces[] = {
    {u"Tahoma", Family::Sans},        {u"Nina", Family::Sans},
    {u"Nino", Family::Sans},          {u"Frutiger Linotype", Family::Sans},
    {u"Arial", Family::Sans},         {u"Courier New", Family::Mono},
    {u"Courrier New", Family::Mono},  {u"Times New Roman", Family::Serif},
    {u"DejaVu Sans", Family::Sans},   {u"DejaVu Sans Mono", Family::Mono},
    {u"DejaVu Serif", Family::Serif},
};

Family FamilyOf(const std::u16string& face) {
    if (SameName(face, kSyntheticFaceName)) return Family::Box;
    for (const FaceEntry& e : kFaces)
        if (SameName(face, e.name)) return e.family;
    return Family::Sans;
}

std::string FontDir() {
    if (const char* d = std::getenv("FOLIVANT_FONT_DIR")) return d;
    return "/usr/share/fonts/truetype/dejavu";
}

std::string FontFile(Family f, bool bold, bool italic) {
    std::string base = f == Family::Mono    ? "DejaVuSansMono"
                       : f == Family::Serif ? "DejaVuSerif"
                                            : "DejaVuSans";
    const char* slant = f == Family::Serif ? "Italic" : "Oblique";
    std::string style;
    if (bold && italic)
        style = std::string("-Bold") + slant;
    else if (bold)
        style = "-Bold";
    else if (italic)
        style = std::string("-") + slant;
    return FontDir() + "/" + base + style + ".ttf";
}

// The installed font file (and face index) that fontconfig matches for a character the
// chosen face lacks; empty when none has it. Asked once per character for the whole program.
std::pair<std::string, int> FallbackFileFor(char32_t c) {
    static std::mutex mutex;
    static std::map<char32_t, std::pair<std::string, int>> known;
    std::lock_guard<std::mutex> lock(mutex);
    auto it = known.find(c);
    if (it != known.end()) return it->second;
    std::pair<std::string, int> found{"", 0};
    static const bool ready = [] {
        if (!FcInit()) return false;
        // Fontconfig's configuration lives until the program ends, then goes with it.
        std::atexit([] { FcFini(); });
        return true;
    }();
    if (ready) {
        FcPattern* pattern = FcPatternCreate();
        FcCharSet* set = FcCharSetCreate();
        if (pattern && set && FcCharSetAddChar(set, static_cast<FcChar32>(c))) {
            FcPatternAddCharSet(pattern, FC_CHARSET, set);
            FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
            FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
            FcDefaultSubstitute(pattern);
            FcResult result = FcResultNoMatch;
            FcPattern* match = FcFontMatch(nullptr, pattern, &result);
            FcChar8* file = nullptr;
            FcCharSet* has = nullptr;
            int index = 0;
            // The best match may still lack it: only a face that has it is taken.
            if (match && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file &&
                FcPatternGetCharSet(match, FC_CHARSET, 0, &has) == FcResultMatch && has &&
                FcCharSetHasChar(has, static_cast<FcChar32>(c))) {
                FcPatternGetInteger(match, FC_INDEX, 0, &index);
                found = {reinterpret_cast<const char*>(file), index};
            }
            if (match) FcPatternDestroy(match);
        }
        if (set) FcCharSetDestroy(set);
        if (pattern) FcPatternDestroy(pattern);
    }
    known[c] = found;
    return found;
}

// Box glyphs with fixed advances: metrics that no FreeType version changes.
class BoxFont : public FontInstance {
public:
    explicit BoxFont(int em) : em_(em) {
        ascent = em - em / 4;
        descent = em / 4;
        height = em;
        internalLeading = 0;
        aveCharWidth = maxCharWidth = (em + 1) / 2;
        fixedPitch = true;
        underlineOffset = 0;
        lineThickness = 1;
        strikeOffset = std::max(1, ascent / 2);
        faceName = kSyntheticFaceName;
    }

protected:
    void Render(char32_t c, Glyph& g) override {
        g.advance = (em_ + 1) / 2;
        if (c <= 0x20 || c == 0xA0 || (c >= 0x7F && c < 0xA0) || c == 0x3000) return;
        g.left = 0;
        g.top = ascent > 1 ? 1 : 0;
        g.width = std::max(1, g.advance - 1);
        g.height = ascent - g.top;
        g.stride = (g.width + 3) & ~3;
        g.coverage.assign(static_cast<std::size_t>(g.stride) * g.height, 0);
        for (int y = 0; y < g.height; ++y)
            std::fill_n(&g.coverage[static_cast<std::size_t>(y) * g.stride], g.width, 255);
    }

private:
    int em_;
};

class FreeTypeFont : public FontInstance {
public:
    ~FreeTypeFont() override {
        std::lock_guard<std::mutex> lock(FreeTypeMutex());
        for (auto& [file, face] : fallbacks_)
            if (face) FT_Done_Face(face);
        if (face_) FT_Done_Face(face_);
    }

    static std::shared_ptr<FontInstance> Open(const std::string& path, int lfHeight, bool mono,
                                              Family family) {
        std::lock_guard<std::mutex> lock(FreeTypeMutex());
        if (!Library()) return nullptr;
        FT_Face face = nullptr;
        if (FT_New_Face(Library(), path.c_str(), 0, &face) != 0) return nullptr;
        auto f = std::shared_ptr<FreeTypeFont>(new FreeTypeFont());
        f->face_ = face;
        f->mono_ = mono;
        double upem = face->units_per_EM ? face->units_per_EM : 2048;
        double asc = face->ascender, desc = -face->descender;
        if (asc + desc <= 0) {
            asc = upem * 0.8;
            desc = upem * 0.2;
        }
        // Negative heights give the em size, positive ones the whole cell.
        int cell = 0, em;
        if (lfHeight < 0)
            em = -lfHeight;
        else if (lfHeight > 0) {
            cell = lfHeight;
            em = std::max(1, static_cast<int>(std::lround(lfHeight * upem / (asc + desc))));
        } else
            em = kDefaultEm;
        if (FT_Set_Pixel_Sizes(face, 0, em) != 0) return nullptr;
        f->em_ = em;
        f->ascent = static_cast<int>(std::ceil(asc * em / upem - 0.01));
        f->descent = static_cast<int>(std::ceil(desc * em / upem - 0.01));
        if (cell > 0) {
            f->ascent = std::min(f->ascent, cell);
            f->descent = cell - f->ascent;
        }
        f->height = f->ascent + f->descent;
        f->internalLeading = std::max(0, f->height - em);
        f->fixedPitch = FT_IS_FIXED_WIDTH(face);
        f->maxCharWidth =
            static_cast<int>(std::ceil(face->max_advance_width * static_cast<double>(em) / upem));
        f->lineThickness =
            std::max(1, static_cast<int>(std::lround(face->underline_thickness * em / upem)));
        int under = static_cast<int>(std::lround(-face->underline_position * em / upem)) -
                    f->lineThickness / 2;
        f->underlineOffset = std::clamp(under, 0, std::max(0, f->descent - f->lineThickness));
        f->strikeOffset = std::max(1, (em * 3 + 5) / 10);
        f->faceName = family == Family::Mono    ? u"DejaVu Sans Mono"
                      : family == Family::Serif ? u"DejaVu Serif"
                                                : u"DejaVu Sans";
        return f;
    }

protected:
    void Render(char32_t c, Glyph& g) override {
        // Looked up before the FreeType lock: fontconfig takes locks of its own.
        FT_Face face = face_;
        FT_UInt index = 0;
        {
            std::lock_guard<std::mutex> lock(FreeTypeMutex());
            index = FT_Get_Char_Index(face_, c);
        }
        // A character the face lacks is drawn, and measured, from a face that has it.
        if (index == 0 && c > 0x20 && c != 0x7F) {
            std::pair<std::string, int> file = FallbackFileFor(c);
            if (!file.first.empty()) {
                std::lock_guard<std::mutex> lock(FreeTypeMutex());
                if (FT_Face other = FallbackFace(file.first, file.second)) {
                    if (FT_UInt i = FT_Get_Char_Index(other, c)) {
                        face = other;
                        index = i;
                    }
                }
            }
        }
        std::lock_guard<std::mutex> lock(FreeTypeMutex());
        FT_Int32 flags = FT_LOAD_RENDER | (mono_ ? FT_LOAD_TARGET_MONO : FT_LOAD_TARGET_NORMAL);
        if (FT_Load_Glyph(face, index, flags) != 0) return;
        FT_GlyphSlot slot = face->glyph;
        g.advance = static_cast<int>((slot->advance.x + 32) >> 6);
        const FT_Bitmap& bm = slot->bitmap;
        if (bm.width == 0 || bm.rows == 0 || !bm.buffer) return;
        g.left = slot->bitmap_left;
        g.top = ascent - slot->bitmap_top;
        g.width = static_cast<int>(bm.width);
        g.height = static_cast<int>(bm.rows);
        g.stride = (g.width + 3) & ~3;
        g.coverage.assign(static_cast<std::size_t>(g.stride) * g.height, 0);
        for (int y = 0; y < g.height; ++y) {
            const unsigned char* row = bm.buffer + static_cast<long>(y) * bm.pitch;
            std::uint8_t* out = &g.coverage[static_cast<std::size_t>(y) * g.stride];
            if (bm.pixel_mode == FT_PIXEL_MODE_MONO) {
                for (int x = 0; x < g.width; ++x)
                    out[x] = (row[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
            } else if (bm.pixel_mode == FT_PIXEL_MODE_GRAY) {
                int levels = bm.num_grays > 1 ? bm.num_grays - 1 : 255;
                for (int x = 0; x < g.width; ++x)
                    out[x] = static_cast<std::uint8_t>(row[x] * 255 / levels);
            }
        }
    }

private:
    FreeTypeFont() = default;

    // A fallback face at this font's size, opened once per file; null when it cannot be.
    // Called with the FreeType lock held.
    FT_Face FallbackFace(const std::string& file, int faceIndex) {
        auto key = std::make_pair(file, faceIndex);
        auto it = fallbacks_.find(key);
        if (it != fallbacks_.end()) return it->second;
        FT_Face face = nullptr;
        if (FT_New_Face(Library(), file.c_str(), faceIndex, &face) != 0) face = nullptr;
        if (face && FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(em_)) != 0) {
            FT_Done_Face(face);
            face = nullptr;
        }
        fallbacks_[key] = face;
        return face;
    }

    FT_Face face_ = nullptr;
    bool mono_ = false;
    int em_ = kDefaultEm;
    std::map<std::pair<std::string, int>, FT_Face> fallbacks_;
};

using Key = std::tuple<int, bool, bool, int, bool, unsigned>;

struct Cached {
    std::shared_ptr<FontInstance> font;
    unsigned long long used = 0;
};

// Realised fonts are shared by every font object of the same description; the least recently
// used is let go past this many.
constexpr std::size_t kMaxCachedFonts = 24;

struct Cache {
    std::mutex mutex;
    std::map<Key, Cached> fonts;
    unsigned long long clock = 0;
};

Cache& TheCache() {
    static Cache* cache = new Cache();
    return *cache;
}

}  // namespace

namespace {

std::uint64_t NextGlyphSerial() {
    static std::atomic<std::uint64_t> last{0};
    return last.fetch_add(1, std::memory_order_relaxed) + 1;
}

// A glyph just rendered gets the names its drawing looks it up by.
void Name(Glyph& g) {
    g.serial = NextGlyphSerial();
    g.groups = g.width > 0 && g.height > 0 ? (g.width + 7) / 8 : 0;
}

}  // namespace

const Glyph& FontInstance::MakeGlyph(char32_t c) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (c < 256) {
        if (Glyph* g = low_[c].load(std::memory_order_relaxed)) return *g;
        auto g = std::make_unique<Glyph>();
        Render(c, *g);
        Name(*g);
        Glyph* p = g.get();
        owned_.push_back(std::move(g));
        low_[c].store(p, std::memory_order_release);
        return *p;
    }
    std::unique_ptr<Glyph>& slot = high_[c];
    if (!slot) {
        auto g = std::make_unique<Glyph>();
        Render(c, *g);
        Name(*g);
        slot = std::move(g);
    }
    return *slot;
}

void FontInstance::FlushGlyphs() {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& g : low_) g.store(nullptr, std::memory_order_relaxed);
    owned_.clear();
    high_.clear();
}

bool FontHeightSupported(LONG height) {
    return height >= -kMaxFontHeight && height <= kMaxFontHeight;
}

std::shared_ptr<FontInstance> RealizeFont(const LOGFONTW& lf) {
    if (!FontHeightSupported(lf.lfHeight)) return nullptr;
    std::u16string face;
    for (int i = 0; i < LF_FACESIZE && lf.lfFaceName[i]; ++i) face.push_back(lf.lfFaceName[i]);
    Family family = SyntheticFonts() ? Family::Box : FamilyOf(face);
    bool bold = lf.lfWeight >= FW_SEMIBOLD;
    bool italic = lf.lfItalic != 0;
    bool mono = lf.lfQuality == NONANTIALIASED_QUALITY;
    Key key{static_cast<int>(family),      bold, italic,
            static_cast<int>(lf.lfHeight), mono, family == Family::Box ? 0u : 1u};
    Cache& cache = TheCache();
    std::lock_guard<std::mutex> lock(cache.mutex);
    auto it = cache.fonts.find(key);
    if (it != cache.fonts.end()) {
        it->second.used = ++cache.clock;
        return it->second.font;
    }
    std::shared_ptr<FontInstance> f;
    if (family != Family::Box) {
        f = FreeTypeFont::Open(FontFile(family, bold, italic), lf.lfHeight, mono, family);
        // A missing style file falls back to the regular face, then to the box font.
        if (!f && (bold || italic))
            f = FreeTypeFont::Open(FontFile(family, false, false), lf.lfHeight, mono, family);
    }
    if (!f) {
        int em = lf.lfHeight < 0 ? -lf.lfHeight : lf.lfHeight > 0 ? lf.lfHeight : kDefaultEm;
        f = std::make_shared<BoxFont>(em);
    }
    f->weight = bold ? FW_BOLD : FW_NORMAL;
    f->italic = italic;
    f->aveCharWidth = std::max(1, f->Advance(U'x'));
    if (cache.fonts.size() >= kMaxCachedFonts) {
        auto oldest = cache.fonts.begin();
        for (auto i = cache.fonts.begin(); i != cache.fonts.end(); ++i)
            if (i->second.used < oldest->second.used) oldest = i;
        cache.fonts.erase(oldest);
    }
    cache.fonts[key] = Cached{f, ++cache.clock};
    return f;
}

void FlushGlyphCaches() {
    Cache& cache = TheCache();
    std::lock_guard<std::mutex> lock(cache.mutex);
    for (auto& [key, entry] : cache.fonts) entry.font->FlushGlyphs();
}

void FlushFontCache() {
    {
        Cache& cache = TheCache();
        std::lock_guard<std::mutex> lock(cache.mutex);
        cache.fonts.clear();
    }
    NewFontGeneration();
}

std::u16string SubstituteFace(const std::u16string& requested) {
    switch (FamilyOf(requested)) {
        case Family::Mono:
            return u"DejaVu Sans Mono";
        case Family::Serif:
            return u"DejaVu Serif";
        case Family::Box:
            return kSyntheticFaceName;
        default:
            return u"DejaVu Sans";
    }
}

const std::vector<std::u16string>& LogicalFaceNames() {
    static const std::vector<std::u16string> names = {
        u"Arial", u"Courier New", u"Frutiger Linotype", u"Nina",
        u"Nino",  u"Tahoma",      u"Times New Roman",
    };
    return names;
}

}  // namespace gdi

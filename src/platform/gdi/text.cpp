// Fonts and text output. Measuring and drawing use the same whole-pixel advances, so a run
// drawn ends exactly where GetTextExtentExPointW said it would.
#include <algorithm>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <climits>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "platform/gdi/gdi_api.h"
#include "platform/gdi/gdi_layer.h"
#include "platform/gdi/raster.h"
#include "platform/kernel/utf.h"
#include "platform/last_error.h"

namespace gdi {
namespace {

// The selected font's instance; the DC holds it until another font is used with it.
FontInstance* FontOf(DcObject& dc) {
    const unsigned generation = FontGeneration();
    if (dc.textFont == dc.st.font && dc.textFontInstance && dc.textFontGeneration == generation)
        return dc.textFontInstance.get();
    std::shared_ptr<FontInstance> instance;
    {
        // A font object may be selected into DCs of several threads.
        static std::mutex mutex;
        std::lock_guard<std::mutex> lock(mutex);
        FontObject& f = *dc.st.font;
        if (!f.instance || f.realizedFor != generation) {
            f.instance = RealizeFont(f.logFont);
            if (!f.instance) f.instance = RealizeFont(StockFont()->logFont);
            f.realizedFor = generation;
        }
        instance = f.instance;
    }
    dc.textFont = dc.st.font;
    dc.textFontInstance = std::move(instance);
    dc.textFontGeneration = generation;
    return dc.textFontInstance.get();
}

// A run's glyphs and whole-pixel advances per UTF-16 unit; a surrogate pair's glyph and
// advance sit on its first unit.
struct Run {
    std::vector<const Glyph*> glyphs;
    std::vector<int> advances;
    long long width = 0;
};

// The text's glyphs and advances written from `glyphs` and `advances` on, one per unit (the
// second unit of a pair as no glyph and no advance); the text's width.
long long PlaceGlyphs(FontInstance& font, const WCHAR* text, int count, const Glyph** glyphs,
                      int* advances) {
    long long width = 0;
    for (int i = 0; i < count; ++i) {
        // Latin text whose glyphs were made before: a tight loop without calls.
        for (const Glyph* g; i < count && text[i] < 256 && (g = font.MadeLowGlyph(text[i])); ++i) {
            glyphs[i] = g;
            advances[i] = g->advance;
            width += g->advance;
        }
        if (i == count) break;
        std::uint32_t c;
        const bool pair = fvt::utf::DecodeUtf16(text + i, static_cast<size_t>(count - i), c) == 2;
        const Glyph& g = font.GetGlyph(c);
        glyphs[i] = &g;
        advances[i] = g.advance;
        width += g.advance;
        if (pair) {
            ++i;
            glyphs[i] = nullptr;
            advances[i] = 0;
        }
    }
    return width;
}

void Measure(FontInstance& font, const WCHAR* text, int count, Run& run) {
    run.glyphs.resize(count);
    run.advances.resize(count);
    run.width = PlaceGlyphs(font, text, count, run.glyphs.data(), run.advances.data());
}

// Coverage k of 0..255 mixes the text colour over the pixel; two channels per multiply.
inline std::uint32_t Mix(std::uint32_t text, std::uint32_t pixel, std::uint32_t k) {
    std::uint32_t inv = 255 - k;
    std::uint32_t rb = (text & 0xFF00FF) * k + (pixel & 0xFF00FF) * inv + 0x800080;
    rb = ((rb + ((rb >> 8) & 0xFF00FF)) >> 8) & 0xFF00FF;
    std::uint32_t g = ((text >> 8) & 0xFF) * k + ((pixel >> 8) & 0xFF) * inv + 0x80;
    g = ((g + (g >> 8)) >> 8) & 0xFF;
    return rb | (g << 8);
}

// Mix is exact (coverage 0 keeps the pixel, 255 gives the text colour), so rows blend
// without branches, four pixels at a time where SSE2 is there.
void BlendRow(std::uint32_t* row, const std::uint8_t* cov, int n, std::uint32_t rgb) {
    int i = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i text = _mm_unpacklo_epi8(_mm_set1_epi32(static_cast<int>(rgb)), zero);
    const __m128i full = _mm_set1_epi16(255);
    const __m128i half = _mm_set1_epi16(128);
    const __m128i low24 = _mm_set1_epi32(0xFFFFFF);
    for (; i + 4 <= n; i += 4) {
        std::uint32_t k4;
        std::memcpy(&k4, cov + i, 4);
        if (k4 == 0) continue;
        __m128i k = _mm_cvtsi32_si128(static_cast<int>(k4));
        k = _mm_unpacklo_epi8(k, k);  // k0 k0 k1 k1 ...
        k = _mm_unpacklo_epi8(k, k);  // k0 x4, k1 x4, ...
        __m128i kLo = _mm_unpacklo_epi8(k, zero), kHi = _mm_unpackhi_epi8(k, zero);
        __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i));
        __m128i dLo = _mm_unpacklo_epi8(d, zero), dHi = _mm_unpackhi_epi8(d, zero);
        __m128i lo = _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(text, kLo),
                                                 _mm_mullo_epi16(dLo, _mm_sub_epi16(full, kLo))),
                                   half);
        __m128i hi = _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(text, kHi),
                                                 _mm_mullo_epi16(dHi, _mm_sub_epi16(full, kHi))),
                                   half);
        lo = _mm_srli_epi16(_mm_add_epi16(lo, _mm_srli_epi16(lo, 8)), 8);
        hi = _mm_srli_epi16(_mm_add_epi16(hi, _mm_srli_epi16(hi, 8)), 8);
        __m128i out = _mm_and_si128(_mm_packus_epi16(lo, hi), low24);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(row + i), out);
    }
#endif
    for (; i < n; ++i)
        if (cov[i]) row[i] = Mix(rgb, row[i] & 0xFFFFFF, cov[i]);
}

#if defined(__SSE2__)
// The text colour's channels, each in every 16-bit lane.
struct Ink565 {
    __m128i r, g, b;
    explicit Ink565(std::uint32_t rgb)
        : r(_mm_set1_epi16(static_cast<short>((rgb >> 16) & 0xFF))),
          g(_mm_set1_epi16(static_cast<short>((rgb >> 8) & 0xFF))),
          b(_mm_set1_epi16(static_cast<short>(rgb & 0xFF))) {}
};

// One channel of Mix in 16-bit lanes: t * k + p * (255 - k) + 128 is at most 65153, so nothing
// is lost, and the division by 255 rounds as Mix's does.
inline __m128i MixLanes(__m128i t, __m128i p, __m128i k, __m128i inv) {
    __m128i x = _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(t, k), _mm_mullo_epi16(p, inv)),
                              _mm_set1_epi16(128));
    return _mm_srli_epi16(_mm_add_epi16(x, _mm_srli_epi16(x, 8)), 8);
}

// Eight 565 pixels under eight coverages (one per 16-bit lane): per pixel exactly
// Narrow565(Mix(rgb, Widen565(pixel), k)), so a zero coverage gives the pixel back unchanged.
inline __m128i Blend8x565(__m128i px, __m128i k, const Ink565& ink) {
    const __m128i six = _mm_set1_epi16(0x3F), five = _mm_set1_epi16(0x1F);
    __m128i r = _mm_srli_epi16(px, 11);
    __m128i g = _mm_and_si128(_mm_srli_epi16(px, 5), six);
    __m128i b = _mm_and_si128(px, five);
    r = _mm_or_si128(_mm_slli_epi16(r, 3), _mm_srli_epi16(r, 2));
    g = _mm_or_si128(_mm_slli_epi16(g, 2), _mm_srli_epi16(g, 4));
    b = _mm_or_si128(_mm_slli_epi16(b, 3), _mm_srli_epi16(b, 2));
    const __m128i inv = _mm_sub_epi16(_mm_set1_epi16(255), k);
    r = MixLanes(ink.r, r, k, inv);
    g = MixLanes(ink.g, g, k, inv);
    b = MixLanes(ink.b, b, k, inv);
    r = _mm_and_si128(_mm_slli_epi16(r, 8), _mm_set1_epi16(static_cast<short>(0xF800)));
    g = _mm_and_si128(_mm_slli_epi16(g, 3), _mm_set1_epi16(0x07E0));
    b = _mm_srli_epi16(b, 3);
    return _mm_or_si128(_mm_or_si128(r, g), b);
}

// Eight coverages from cov, zero past the n that belong to the row; bytes up to cov + 8 are
// read whole (from the padding or the next row) while they stay below covEnd.
inline __m128i CoverageOf8(const std::uint8_t* cov, const std::uint8_t* covEnd, int n) {
    std::uint64_t k8 = 0;
    if (covEnd - cov >= 8)
        std::memcpy(&k8, cov, 8);
    else
        std::memcpy(&k8, cov, static_cast<std::size_t>(std::min(n, 8)));
    if (n < 8) k8 &= (std::uint64_t{1} << (8 * n)) - 1;
    return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(&k8));
}

// A group of up to eight pixels at `at` blended in place. With `whole`, all eight lie in the
// clip and are read and written back (a zero coverage gives a pixel back unchanged); otherwise
// only the n of the group go through a copy, so that nothing outside the clip is touched.
inline void BlendGroup565(std::uint8_t* at, __m128i k, int n, bool whole, const Ink565& ink) {
    if (whole) {
        __m128i px = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(at), Blend8x565(px, k, ink));
        return;
    }
    alignas(16) std::uint8_t buffer[16] = {};
    std::memcpy(buffer, at, static_cast<std::size_t>(n) * 2);
    __m128i px = _mm_load_si128(reinterpret_cast<const __m128i*>(buffer));
    _mm_store_si128(reinterpret_cast<__m128i*>(buffer), Blend8x565(px, k, ink));
    std::memcpy(at, buffer, static_cast<std::size_t>(n) * 2);
}

// A row of n pixels, of which the first `room` lie in the clip.
void BlendRow565(std::uint8_t* row, const std::uint8_t* cov, const std::uint8_t* covEnd, int n,
                 int room, const Ink565& ink) {
    const __m128i zero = _mm_setzero_si128();
    for (int i = 0; i < n; i += 8) {
        __m128i k = CoverageOf8(cov + i, covEnd, n - i);
        if (_mm_movemask_epi8(_mm_cmpeq_epi8(k, zero)) == 0xFFFF) continue;
        BlendGroup565(row + 2 * i, _mm_unpacklo_epi8(k, zero), std::min(n - i, 8), i + 8 <= room,
                      ink);
    }
}

// Text is mostly drawn in one colour over one plain background, and a page shows the same
// glyphs again and again: each thread keeps the 565 rows of the glyphs it has drawn, blended
// over the background they were drawn on, in whole groups of eight. A group of the page that
// holds nothing but that background takes the kept pixels as they are, which are what blending
// it would give; any other group (a picture, a glyph that overlaps its neighbour) is blended.
class InkedGlyphs {
public:
    // A colour over a background, packed as the cache compares it, and where its glyphs' slots
    // start: a run's glyphs share one, worked out once for all of them. Glyphs are numbered in
    // the order they were made, so those of one look fill the slots from there on in turn.
    struct Look {
        std::uint64_t packed;
        std::uint64_t first;
        Look(std::uint32_t rgb, std::uint16_t background)
            : packed((std::uint64_t{rgb} << 16) | background),
              first((packed * 0x9E3779B97F4A7C15ull) >> 40) {}
    };

    // The kept rows of g in rgb over background, made now if they are not kept yet; null for
    // glyphs that no cache may name. Finding them is inline (most glyphs of a page were met
    // before), making them is not.
    inline const std::uint16_t* Find(const Glyph& g, std::uint32_t rgb, std::uint16_t background,
                                     const Ink565& ink) {
        return Find(g, Look(rgb, background), ink);
    }

    inline const std::uint16_t* Find(const Glyph& g, Look look, const Ink565& ink) {
        return g.serial == 0 ? nullptr : FindNamed(g, look, ink);
    }

    // The same for a glyph a font numbered (as every placed glyph is).
    inline const std::uint16_t* FindNamed(const Glyph& g, Look look, const Ink565& ink) {
        Entry& e = slots_[(g.serial + look.first) & (kSlots - 1)];
        if (e.serial == g.serial && e.look == look.packed) return e.pixels.data();
        return Make(e, g, look, ink);
    }

private:
    struct Entry {
        std::uint64_t serial = 0;
        std::uint64_t look = 0;  // as Look packs it
        std::vector<std::uint16_t> pixels;
    };

    __attribute__((noinline)) const std::uint16_t* Make(Entry& e, const Glyph& g, Look look,
                                                        const Ink565& ink) {
        const std::size_t size = static_cast<std::size_t>(g.groups) * 8 * g.height;
        if (size == 0 || size > kLargest) return nullptr;
        e.serial = g.serial;
        e.look = look.packed;
        e.pixels.resize(size);
        const __m128i under = _mm_set1_epi16(static_cast<short>(look.packed & 0xFFFF));
        const __m128i zero = _mm_setzero_si128();
        const std::uint8_t* covEnd = g.coverage.data() + g.coverage.size();
        std::uint16_t* out = e.pixels.data();
        for (int y = 0; y < g.height; ++y) {
            const std::uint8_t* cov = g.coverage.data() + static_cast<std::size_t>(y) * g.stride;
            for (int i = 0; i < g.width; i += 8, out += 8) {
                __m128i k = _mm_unpacklo_epi8(CoverageOf8(cov + i, covEnd, g.width - i), zero);
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out), Blend8x565(under, k, ink));
            }
        }
        return e.pixels.data();
    }

    static constexpr std::size_t kSlots = 1024;
    // Larger glyphs (headings of more than about 40 pixels) are blended each time; at most
    // 3 MB are kept per thread.
    static constexpr std::size_t kLargest = 32 * 48;
    std::vector<Entry> slots_ = std::vector<Entry>(kSlots);
};

InkedGlyphs& KeptGlyphs() {
    thread_local InkedGlyphs kept;
    return kept;
}

// A glyph wholly inside the clip rectangle c, drawn through the kept rows where its groups lie
// on a plain background: the page's when the caller knows it (`plain`), else the pixel under
// the glyph's top-left corner.
void BlendWholeGlyph565(Surface& s, const RECT& c, const Glyph& g, int gx, int gy,
                        std::uint32_t rgb, const Ink565& ink, const std::uint16_t* plain = nullptr) {
    InkedGlyphs& kept = KeptGlyphs();
    // The glyph's rows from its top one on, a stride apart (upwards in a bottom-up surface).
    std::uint8_t* const first = s.InkRow(gy) + static_cast<std::size_t>(gx) * 2;
    const std::ptrdiff_t stride = s.TopDown() ? s.Stride() : -s.Stride();
    std::uint16_t background;
    if (plain)
        background = *plain;
    else
        std::memcpy(&background, first, 2);
    const std::uint16_t* inked = kept.Find(g, rgb, background, ink);
    const std::uint8_t* covEnd = g.coverage.data() + g.coverage.size();
    const int room = c.right - gx;
    const int groups = (g.width + 7) / 8;
    const __m128i under = _mm_set1_epi16(static_cast<short>(background));
    const __m128i zero = _mm_setzero_si128();
    for (int y = 0; y < g.height; ++y) {
        std::uint8_t* row = first + y * stride;
        const std::uint8_t* cov = g.coverage.data() + static_cast<std::size_t>(y) * g.stride;
        for (int j = 0, i = 0; j < groups; ++j, i += 8) {
            if (inked && i + 8 <= room) {
                __m128i px = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + 2 * i));
                if (_mm_movemask_epi8(_mm_cmpeq_epi16(px, under)) == 0xFFFF) {
                    const std::uint16_t* kept8 = inked + (static_cast<std::size_t>(y) * groups + j) * 8;
                    _mm_storeu_si128(reinterpret_cast<__m128i*>(row + 2 * i),
                                     _mm_loadu_si128(reinterpret_cast<const __m128i*>(kept8)));
                    continue;
                }
            }
            __m128i k = CoverageOf8(cov + i, covEnd, g.width - i);
            if (_mm_movemask_epi8(_mm_cmpeq_epi8(k, zero)) == 0xFFFF) continue;
            BlendGroup565(row + 2 * i, _mm_unpacklo_epi8(k, zero), std::min(g.width - i, 8),
                          i + 8 <= room, ink);
        }
    }
    // Pixels past the glyph's width were given back as they were.
    s.NoteInk(gy, gy + g.height, gx + g.width);
}

// A glyph's kept rows, `groups` groups of eight pixels each, written from `at` down. Most glyphs
// of text are one or two groups wide: their rows are copied without an inner loop.
void CopyKeptRows(std::uint8_t* at, std::ptrdiff_t stride, const std::uint16_t* inked, int groups,
                  int height) {
    auto copy = [](std::uint8_t* to, const std::uint16_t* from) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to),
                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(from)));
    };
    // Four rows (one group) or two (two groups) a step: fewer steps for the same copies. A
    // group's last rows are copied by a jump into a row of copies, without a loop.
    if (groups == 1) {
        int r = 0;
        for (; r + 4 <= height; r += 4, inked += 32, at += 4 * stride) {
            copy(at, inked);
            copy(at + stride, inked + 8);
            copy(at + 2 * stride, inked + 16);
            copy(at + 3 * stride, inked + 24);
        }
        switch (height - r) {
            case 3:
                copy(at + 2 * stride, inked + 16);
                [[fallthrough]];
            case 2:
                copy(at + stride, inked + 8);
                [[fallthrough]];
            case 1:
                copy(at, inked);
                break;
            default:
                break;
        }
        return;
    }
    if (groups == 2) {
        int r = 0;
        for (; r + 2 <= height; r += 2, inked += 32, at += 2 * stride) {
            copy(at, inked);
            copy(at + 16, inked + 8);
            copy(at + stride, inked + 16);
            copy(at + stride + 16, inked + 24);
        }
        if (r < height) {
            copy(at, inked);
            copy(at + 16, inked + 8);
        }
        return;
    }
    for (int r = 0; r < height; ++r, inked += groups * 8, at += stride)
        for (int j = 0; j < groups; ++j) copy(at + 16 * j, inked + 8 * j);
}

// Where a run's glyphs go, gathered before any of them is drawn: each glyph's left end, and
// whether its box reaches back over a glyph placed before it; the glyphs' bounds, their groups'
// right end and the right end of their ink so far; their rows from the run's top.
struct Placement {
    struct Placed {
        const Glyph* glyph;
        int x;
        bool overInk;
    };
    static constexpr int kMost = 256;  // a line's glyphs, drawn as one run
    Placed placed[kMost];
    int count = 0;
    long long left = LLONG_MAX, end = LLONG_MIN, right = LLONG_MIN;
    int above = INT_MAX, below = INT_MIN;

    // The glyph g with its pen position at `at`. False for a glyph no kept rows can name (no
    // font numbered it) and past kMost glyphs: the run is then drawn glyph by glyph.
    bool Add(const Glyph& g, long long at) {
        const int groups = g.groups;
        if (groups == 0) return g.width <= 0 || g.height <= 0;  // no pixels: nothing to place
        if (count == kMost) return false;
        const long long gx = at + g.left;
        const bool overInk = gx < right;
        left = std::min(left, gx);
        right = std::max(right, gx + g.width);
        end = std::max(end, gx + 8LL * groups);
        above = std::min(above, g.top);
        below = std::max(below, g.top + g.height);
        placed[count++] = Placed{&g, static_cast<int>(gx), overInk};
        return true;
    }
};

// The placed glyphs of a run (a word, or a line's words) wholly inside the clip rectangle c,
// over a background that is plain under all of them: their area is checked once (or is known
// plain: right of the text written since the page was filled), then each glyph's kept rows are
// written as they are. What lies under a glyph when its turn comes is that background (the
// groups written before it hold background past their glyph's width), so this gives the pixels
// that blending glyph by glyph gives. A glyph whose box reaches back over ink drawn before it
// (an italic letter, a pair such as "fj") is blended over what is there, as drawing glyph by
// glyph does. False, having drawn nothing, for any other run.
bool DrawPlacedOverPlain565(Surface& s, const RECT& c, const Placement& placement, int y,
                            std::uint32_t rgb) {
    const int count = placement.count;
    const Placement::Placed* const placed = placement.placed;
    long long left = placement.left, end = placement.end;
    const long long right = placement.right;
    const int above = placement.above, below = placement.below;
    if (count == 0) return false;
    const long long top = static_cast<long long>(y) + above,
                    bottom = static_cast<long long>(y) + below;
    // Every glyph's groups inside the clip, and the area checked in whole groups too.
    if (left < c.left || end > c.right || top < c.top || bottom > c.bottom) return false;
    end = left + (end - left + 7) / 8 * 8;
    if (end > c.right) return false;
    // Rows from the top one on, a stride apart (upwards in a bottom-up surface).
    std::uint8_t* const topRow = s.InkRow(static_cast<int>(top));
    const std::ptrdiff_t stride = s.TopDown() ? s.Stride() : -s.Stride();
    auto rowAt = [&](long long row) { return topRow + (row - top) * stride; };
    std::uint16_t background;
    const bool known = s.PlainFrom(static_cast<int>(left), static_cast<int>(top),
                                   static_cast<int>(bottom), background);
    if (!known) std::memcpy(&background, topRow + left * 2, 2);
    const __m128i under = _mm_set1_epi16(static_cast<short>(background));
    for (long long row = top; row < bottom && !known; ++row) {
        const std::uint8_t* at = rowAt(row) + left * 2;
        __m128i same = _mm_set1_epi16(-1);
        for (long long px = left; px < end; px += 8, at += 16)
            same = _mm_and_si128(
                same, _mm_cmpeq_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)), under));
        if (_mm_movemask_epi8(same) != 0xFFFF) return false;
    }
    const Ink565 ink(rgb);
    InkedGlyphs& kept = KeptGlyphs();
    const InkedGlyphs::Look look(rgb, background);
    for (const Placement::Placed* p = placed; p != placed + count; ++p) {
        const Glyph& g = *p->glyph;
        const std::uint16_t* inked = p->overInk ? nullptr : kept.FindNamed(g, look, ink);
        if (!inked) {
            // Over the ink of the glyphs before it; its other groups still lie on the page's
            // background.
            BlendWholeGlyph565(s, c, g, p->x, y + g.top, rgb, ink, &background);
            continue;
        }
        CopyKeptRows(topRow + static_cast<std::ptrdiff_t>(g.top - above) * stride +
                         static_cast<std::ptrdiff_t>(p->x) * 2,
                     stride, inked, g.groups, g.height);
    }
    // Past `right` the groups gave the background back.
    s.NoteInk(static_cast<int>(top), static_cast<int>(bottom), static_cast<int>(right));
    return true;
}

bool DrawRunOverPlain565(Surface& s, const RECT& c, const Run& run, long long x, int y,
                         std::uint32_t rgb) {
    Placement placement;
    const Glyph* const* glyphs = run.glyphs.data();
    const int* advances = run.advances.data();
    long long pen = x;
    for (std::size_t i = 0, n = run.glyphs.size(); i < n; ++i) {
        if (glyphs[i] && !placement.Add(*glyphs[i], pen)) return false;
        pen += advances[i];
    }
    return DrawPlacedOverPlain565(s, c, placement, y, rgb);
}

// Strings drawn as one run from x (the first string's x on the surface), each from its own x:
// what DrawRunOverPlain565 does with the run the strings join into, with their glyphs placed
// as they are found.
bool DrawTextsOverPlain565(Surface& s, const RECT& c, FontInstance& font, const POLYTEXTW* texts,
                           int count, long long x, int y, std::uint32_t rgb) {
    Placement placement;
    for (int k = 0; k < count; ++k) {
        const POLYTEXTW& t = texts[k];
        const WCHAR* text = t.lpstr;
        const int n = static_cast<int>(t.n);
        long long pen = x + (static_cast<long long>(t.x) - texts[0].x);
        for (int i = 0; i < n; ++i) {
            const Glyph* g;
            if (text[i] >= 256 || !(g = font.MadeLowGlyph(text[i]))) {
                std::uint32_t code;
                if (fvt::utf::DecodeUtf16(text + i, static_cast<size_t>(n - i), code) == 2) ++i;
                g = &font.GetGlyph(code);
            }
            if (!placement.Add(*g, pen)) return false;
            pen += g->advance;
        }
    }
    return DrawPlacedOverPlain565(s, c, placement, y, rgb);
}
#else
// The page buffers are 565: text blends straight into their rows, with what Decode, Mix and
// Encode give pixel by pixel.
inline std::uint32_t Widen565(std::uint32_t v) {
    std::uint32_t r = (v >> 11) & 0x1F, g = (v >> 5) & 0x3F, b = v & 0x1F;
    return (((r << 3) | (r >> 2)) << 16) | (((g << 2) | (g >> 4)) << 8) | ((b << 3) | (b >> 2));
}

inline std::uint32_t Narrow565(std::uint32_t rgb) {
    return (((rgb >> 19) & 0x1F) << 11) | (((rgb >> 10) & 0x3F) << 5) | ((rgb >> 3) & 0x1F);
}

// Text is mostly drawn in one colour over one background: once a pair has been met often, the
// 565 results of blending it are kept for every coverage, and its pixels take a look-up
// instead of a mix. Over a picture no pair repeats and every pixel is mixed as it comes.
class Blend565Memo {
public:
    std::uint32_t Blend(std::uint32_t rgb, std::uint32_t raw, std::uint32_t k) {
        if (raw == background_ && rgb == rgb_) return table_[k];
        std::uint32_t v = Narrow565(Mix(rgb, Widen565(raw), k));
        if (raw != candidate_ || rgb != candidateRgb_) {
            candidate_ = raw;
            candidateRgb_ = rgb;
            seen_ = 0;
        } else if (++seen_ == kOften) {
            rgb_ = rgb;
            background_ = raw;
            const std::uint32_t under = Widen565(raw);
            for (std::uint32_t c = 0; c < 256; ++c)
                table_[c] = static_cast<std::uint16_t>(Narrow565(Mix(rgb, under, c)));
        }
        return v;
    }

private:
    static constexpr std::uint32_t kOften = 32;
    std::uint32_t rgb_ = 0, background_ = 0x10000;  // the pair table_ holds; none at first
    std::uint32_t candidateRgb_ = 0, candidate_ = 0x10000, seen_ = 0;
    std::uint16_t table_[256] = {};
};

void BlendRow565(std::uint8_t* row, const std::uint8_t* cov, int n, std::uint32_t rgb) {
    thread_local Blend565Memo memo;
    const std::uint32_t ink = Narrow565(rgb);
    for (int i = 0; i < n; ++i) {
        // Most of a glyph's box is empty: eight coverages at a time are passed over.
        if (i + 8 <= n) {
            std::uint64_t k8;
            std::memcpy(&k8, cov + i, 8);
            if (k8 == 0) {
                i += 7;
                continue;
            }
        }
        std::uint32_t k = cov[i];
        if (!k) continue;
        std::uint32_t v = ink;
        if (k != 255) {
            std::uint16_t raw;
            std::memcpy(&raw, row + 2 * i, 2);
            v = memo.Blend(rgb, raw, k);
        }
        row[2 * i] = static_cast<std::uint8_t>(v);
        row[2 * i + 1] = static_cast<std::uint8_t>(v >> 8);
    }
}
#endif

void BlendGlyph(Surface& s, const RectList& clip, const Glyph& g, int gx, int gy,
                std::uint32_t rgb) {
    if (g.width <= 0 || g.height <= 0) return;
    RECT box{gx, gy, gx + g.width, gy + g.height};
    bool fast = s.Format() == PixelFormat::Xrgb32;
    for (const RECT& c : clip) {
        RECT a{std::max(box.left, c.left), std::max(box.top, c.top), std::min(box.right, c.right),
               std::min(box.bottom, c.bottom)};
        if (a.right <= a.left || a.bottom <= a.top) continue;
        int n = a.right - a.left;
        // Whole groups of four where the zero padding and the clip allow: a zero coverage
        // leaves a pixel exactly as it was.
        int padded = (n + 3) & ~3;
        if ((a.left - gx) + padded > g.stride || a.left + padded > c.right) padded = n;
        const std::uint8_t* cov =
            &g.coverage[static_cast<std::size_t>(a.top - gy) * g.stride + (a.left - gx)];
        if (fast) {
            std::uint8_t* row = s.Row(a.top) + static_cast<std::size_t>(a.left) * 4;
            std::ptrdiff_t step = s.TopDown() ? s.Stride() : -s.Stride();
            for (int y = a.top; y < a.bottom; ++y, row += step, cov += g.stride)
                BlendRow(reinterpret_cast<std::uint32_t*>(row), cov, padded, rgb);
            continue;
        }
        if (s.Format() == PixelFormat::Rgb565) {
#if defined(__SSE2__)
            const Ink565 ink(rgb);
            if (a.left == box.left && a.top == box.top && a.right == box.right &&
                a.bottom == box.bottom) {
                BlendWholeGlyph565(s, c, g, gx, gy, rgb, ink);
                continue;
            }
            const std::uint8_t* covEnd = g.coverage.data() + g.coverage.size();
            const int room = c.right - a.left;
            for (int y = a.top; y < a.bottom; ++y, cov += g.stride)
                BlendRow565(s.Row(y) + static_cast<std::size_t>(a.left) * 2, cov, covEnd, n, room,
                            ink);
#else
            for (int y = a.top; y < a.bottom; ++y, cov += g.stride)
                BlendRow565(s.Row(y) + static_cast<std::size_t>(a.left) * 2, cov, n, rgb);
#endif
            continue;
        }
        for (int y = a.top; y < a.bottom; ++y, cov += g.stride) {
            for (int i = 0; i < n; ++i) {
                std::uint32_t k = cov[i];
                if (k)
                    s.SetPixel(a.left + i, y,
                               k == 255 ? rgb : Mix(rgb, s.GetPixel(a.left + i, y), k));
            }
        }
    }
}

void FillRects(Surface& s, const RectList& clip, const RECT& r, std::uint32_t rgb) {
    for (const RECT& c : clip) {
        RECT a = Intersect(r, c);
        s.FillRect(a.left, a.top, a.right, a.bottom, rgb);
    }
}

// Draws a run with its cell's top-left at (x, y) in surface coordinates; glyphs outside the
// clip's bounds are passed over.
void DrawRun(DcObject& dc, FontInstance& font, const Run& run, int x, int y, const RectList& clip,
             bool opaque) {
    Surface& s = *dc.surface;
    RECT box = Bounds(clip);
    if (Empty(box)) return;
    const LOGFONTW& lf = dc.st.font->logFont;
    // The run's right end, for a background or lines only: most text has neither.
    LONG right = x;
    if (opaque || lf.lfUnderline || lf.lfStrikeOut) {
        long long width = 0;
        for (int a : run.advances) width += a;
        right = Sat(x + width);
    }
    if (opaque)
        FillRects(s, clip, RECT{x, y, right, y + font.height}, RgbFromColorref(dc.st.bkColor));
    std::uint32_t rgb = RgbFromColorref(dc.st.textColor);
    bool drawn = false;
#if defined(__SSE2__)
    drawn = s.Format() == PixelFormat::Rgb565 && clip.size() == 1 &&
            DrawRunOverPlain565(s, clip.front(), run, x, y, rgb);
#endif
    long long pen = x;
    // Glyph images reach at most this far from their pen position.
    long long reach = 4LL * (font.height + font.maxCharWidth) + 16;
    for (std::size_t i = 0; !drawn && i < run.glyphs.size(); ++i) {
        const Glyph* g = run.glyphs[i];
        if (g && pen > box.left - reach && pen < box.right + reach)
            BlendGlyph(s, clip, *g, static_cast<int>(pen) + g->left, y + g->top, rgb);
        pen += run.advances[i];
    }
    if (lf.lfUnderline) {
        int top = y + font.ascent + font.underlineOffset;
        FillRects(s, clip, RECT{x, top, right, top + font.lineThickness}, rgb);
    }
    if (lf.lfStrikeOut) {
        int top = y + font.ascent - font.strikeOffset;
        FillRects(s, clip, RECT{x, top, right, top + font.lineThickness}, rgb);
    }
}

LONG Clamp32(long long v) {
    return static_cast<LONG>(std::clamp<long long>(v, INT32_MIN, INT32_MAX));
}

// Longer runs than this are refused rather than measured.
constexpr int kMaxTextUnits = 1 << 20;

bool ValidText(LPCWSTR text, int count) {
    if (count < 0 || count > kMaxTextUnits || (count > 0 && !text)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    return true;
}

int Length(LPCWSTR text) {
    int n = 0;
    while (text[n]) ++n;
    return n;
}

}  // namespace
}  // namespace gdi

using namespace gdi;

void GdiUseSyntheticFonts(bool on) {
    SetSyntheticFonts(on);
}
void GdiFlushGlyphCache() {
    FlushGlyphCaches();
}
void GdiFlushFontCache() {
    FlushFontCache();
}
unsigned GdiFontGeneration() {
    return FontGeneration();
}

HFONT CreateFontIndirectW(const LOGFONTW* logFont) {
    if (!logFont) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto f = std::make_shared<FontObject>();
    f->logFont = *logFont;
    f->logFont.lfFaceName[LF_FACESIZE - 1] = 0;
    // Realised at first use, like the device does when a font is selected and drawn.
    if (!FontHeightSupported(logFont->lfHeight)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return static_cast<HFONT>(Register(f));
}

BOOL GetTextMetricsW(HDC dc, TEXTMETRICW* tm) {
    auto d = LookupDc(dc);
    if (!d || !tm) return FALSE;
    FontInstance* f = FontOf(*d);
    const LOGFONTW& lf = d->st.font->logFont;
    *tm = TEXTMETRICW{};
    tm->tmHeight = f->height;
    tm->tmAscent = f->ascent;
    tm->tmDescent = f->descent;
    tm->tmInternalLeading = f->internalLeading;
    tm->tmExternalLeading = 0;
    tm->tmAveCharWidth = f->aveCharWidth;
    tm->tmMaxCharWidth = f->maxCharWidth;
    tm->tmWeight = f->weight;
    tm->tmDigitizedAspectX = tm->tmDigitizedAspectY = 96;
    tm->tmFirstChar = 0x20;
    tm->tmLastChar = 0xFFFC;
    tm->tmDefaultChar = 0x1F;
    tm->tmBreakChar = 0x20;
    tm->tmItalic = f->italic ? 1 : 0;
    tm->tmUnderlined = lf.lfUnderline ? 1 : 0;
    tm->tmStruckOut = lf.lfStrikeOut ? 1 : 0;
    // As the system reports it, the fixed-pitch bit is set for variable-pitch fonts.
    tm->tmPitchAndFamily = static_cast<BYTE>((f->fixedPitch ? 0 : 1) | 0x04);
    tm->tmCharSet = lf.lfCharSet;
    return TRUE;
}

int GetTextFaceW(HDC dc, int count, LPWSTR face) {
    auto d = LookupDc(dc);
    if (!d) return 0;
    const WCHAR* name = d->st.font->logFont.lfFaceName;
    int n = Length(name);
    if (!face) return n + 1;
    if (count <= 0) return 0;
    int copy = std::min(n, count - 1);
    std::memcpy(face, name, copy * sizeof(WCHAR));
    face[copy] = 0;
    return copy;
}

BOOL GetTextExtentExPointW(HDC dc, LPCWSTR text, int count, int maxExtent, int* fit, int* dx,
                           LPSIZE size) {
    auto d = LookupDc(dc);
    if (!d || !ValidText(text, count)) return FALSE;
    FontInstance* f = FontOf(*d);
    // Kept from call to call: measuring is asked for word by word.
    thread_local Run run;
    Measure(*f, text, count, run);
    long long sum = 0;
    int fitted = 0;
    for (int i = 0; i < count; ++i) {
        sum += run.advances[i];
        if (dx) dx[i] = Clamp32(sum);
        if (maxExtent < 0 || sum <= maxExtent) fitted = i + 1;
    }
    if (fit) *fit = fitted;
    if (size) *size = SIZE{Clamp32(run.width), f->height};
    return TRUE;
}

BOOL GetTextExtentPoint32W(HDC dc, LPCWSTR text, int count, LPSIZE size) {
    return GetTextExtentExPointW(dc, text, count, -1, nullptr, nullptr, size);
}

BOOL ExtTextOutW(HDC dc, int x, int y, UINT options, LPCRECT rect, LPCWSTR text, UINT count,
                 const int* dx) {
    auto d = LookupDc(dc);
    if (!d || !d->surface || !ValidText(text, count > kMaxTextUnits ? -1 : static_cast<int>(count)))
        return FALSE;
    FontInstance* f = FontOf(*d);
    int n = static_cast<int>(count);
    // Kept from call to call: pages are drawn word by word.
    thread_local Run run;
    Measure(*f, text, n, run);
    long long width = run.width, left = x, top = y;
    if (dx) {
        width = 0;
        for (int i = 0; i < n; ++i) width += (run.advances[i] = dx[i]);
    }
    UINT align = d->st.textAlign;
    if ((align & TA_CENTER) == TA_CENTER)
        left -= width / 2;
    else if (align & TA_RIGHT)
        left -= width;
    if ((align & TA_BASELINE) == TA_BASELINE)
        top -= f->ascent;
    else if (align & TA_BOTTOM)
        top -= f->height;
    int sx = d->SX(left), sy = d->SY(top);
    const RectList* clip = &d->Clip();
    RectList clipped;
    if (rect) {
        RECT r = d->ToSurface(*rect);
        if (options & ETO_OPAQUE) FillRects(*d->surface, *clip, r, RgbFromColorref(d->st.bkColor));
        if (options & ETO_CLIPPED) {
            clipped = Intersect(*clip, r);
            clip = &clipped;
        }
    }
    DrawRun(*d, *f, run, sx, sy, *clip, d->st.bkMode == OPAQUE);
    return TRUE;
}

namespace gdi {
namespace {

// Strings that can be drawn as one run: on one row, left-aligned, each plain (no rectangle,
// no widths of its own), in a font without lines over its text and without a background, so
// that nothing is drawn between them.
bool DrawnAsOneRun(const DcObject& d, const POLYTEXTW* texts, int count) {
    const LOGFONTW& lf = d.st.font->logFont;
    if (d.st.bkMode == OPAQUE || lf.lfUnderline || lf.lfStrikeOut ||
        (d.st.textAlign & TA_CENTER) != 0)
        return false;
    for (int k = 0; k < count; ++k) {
        const POLYTEXTW& t = texts[k];
        if (t.y != texts[0].y || t.uiFlags || t.pdx || t.n > static_cast<UINT>(kMaxTextUnits))
            return false;
    }
    return true;
}

// The strings' glyphs as one run from the first string's x: the last unit of each string
// advances the pen to where the next one starts.
void JoinRuns(FontInstance& font, const POLYTEXTW* texts, int count, Run& line) {
    std::size_t units = 0;
    for (int k = 0; k < count; ++k) units += texts[k].n;
    line.glyphs.resize(units);
    line.advances.resize(units);
    long long pen = texts[0].x;
    std::size_t at = 0;
    for (int k = 0; k < count; ++k) {
        const POLYTEXTW& t = texts[k];
        if (t.n == 0) continue;
        if (at > 0) line.advances[at - 1] += static_cast<int>(t.x - pen);
        pen = t.x + PlaceGlyphs(font, t.lpstr, static_cast<int>(t.n), line.glyphs.data() + at,
                                line.advances.data() + at);
        at += t.n;
    }
    line.width = pen - texts[0].x;
}

}  // namespace
}  // namespace gdi

BOOL PolyTextOutW(HDC dc, const POLYTEXTW* texts, int count) {
    auto d = LookupDc(dc);
    if (!d || !d->surface || count < 0 || (count > 0 && !texts)) return FALSE;
    for (int k = 0; k < count; ++k)
        if (!ValidText(texts[k].lpstr, texts[k].n > static_cast<UINT>(kMaxTextUnits)
                                           ? -1
                                           : static_cast<int>(texts[k].n)))
            return FALSE;
    if (count == 0) return TRUE;
    if (!DrawnAsOneRun(*d, texts, count)) {
        BOOL drawn = TRUE;
        for (int k = 0; k < count; ++k) {
            const POLYTEXTW& t = texts[k];
            drawn = ExtTextOutW(dc, t.x, t.y, t.uiFlags, &t.rcl, t.lpstr, t.n, t.pdx) && drawn;
        }
        return drawn;
    }
    FontInstance* f = FontOf(*d);
    long long top = texts[0].y;
    if ((d->st.textAlign & TA_BASELINE) == TA_BASELINE)
        top -= f->ascent;
    else if (d->st.textAlign & TA_BOTTOM)
        top -= f->height;
    const RectList& clip = d->Clip();
#if defined(__SSE2__)
    // Most lines of a page: their glyphs placed straight from the strings.
    Surface& s = *d->surface;
    if (s.Format() == PixelFormat::Rgb565 && clip.size() == 1 &&
        DrawTextsOverPlain565(s, clip.front(), *f, texts, count, d->SX(texts[0].x), d->SY(top),
                              RgbFromColorref(d->st.textColor)))
        return TRUE;
#endif
    // Kept from call to call: pages are drawn a line at a time.
    thread_local Run line;
    JoinRuns(*f, texts, count, line);
    DrawRun(*d, *f, line, d->SX(texts[0].x), d->SY(top), clip, false);
    return TRUE;
}

namespace {

struct Line {
    int start;
    int end;
    long long width;
};

}  // namespace

int DrawTextW(HDC dc, LPCWSTR text, int count, LPRECT rect, UINT format) {
    auto d = LookupDc(dc);
    if (!d || !rect) return 0;
    if (count < 0 && text) count = Length(text);
    if (!ValidText(text, count)) return 0;
    FontInstance* f = FontOf(*d);
    // Prefix characters: "&x" underlines x, "&&" is an ampersand.
    std::u16string s;
    std::vector<int> marks;
    for (int i = 0; i < count; ++i) {
        if (!(format & DT_NOPREFIX) && text[i] == u'&') {
            if (i + 1 < count && text[i + 1] != u'&') marks.push_back(static_cast<int>(s.size()));
            if (++i >= count) break;
        }
        s.push_back(text[i]);
    }
    int n = static_cast<int>(s.size());
    Run measured;
    Measure(*f, s.data(), n, measured);
    std::vector<int>& adv = measured.advances;
    int tabWidth = 8 * std::max(1, f->aveCharWidth);
    auto expandTabs = [&](int start, int end) {
        int w = 0;
        for (int i = start; i < end; ++i) {
            if (s[i] == u'\t' && (format & DT_EXPANDTABS)) {
                adv[i] = tabWidth - (w % tabWidth);
            }
            w += adv[i];
        }
    };
    auto widthOf = [&](int start, int end) {
        long long w = 0;
        for (int i = start; i < end; ++i) w += adv[i];
        return w;
    };
    long long boxWidth = static_cast<long long>(rect->right) - rect->left;
    std::vector<Line> lines;
    auto addHard = [&](int start, int end) {
        expandTabs(start, end);
        if (!(format & DT_WORDBREAK) || (format & DT_SINGLELINE)) {
            lines.push_back(Line{start, end, widthOf(start, end)});
            return;
        }
        // Greedy word wrap at spaces; a word wider than the box stands alone.
        int lineStart = start, i = start;
        while (true) {
            int lineEnd = -1, p = lineStart;
            long long w = 0;
            while (p < end) {
                int wordEnd = p;
                while (wordEnd < end && s[wordEnd] == u' ') ++wordEnd;
                while (wordEnd < end && s[wordEnd] != u' ') ++wordEnd;
                long long ww = widthOf(p, wordEnd);
                if (w + ww > boxWidth && lineEnd >= 0) break;
                if (ww > boxWidth && lineEnd < 0 && (format & DT_EDITCONTROL)) {
                    // As an edit control: a word wider than the box is broken where it
                    // reaches the edge, so that none of it is cut off.
                    int cut = p + 1;
                    long long cw = adv[p];
                    while (cut < wordEnd && cw + adv[cut] <= boxWidth) cw += adv[cut++];
                    lineEnd = cut;
                    break;
                }
                w += ww;
                lineEnd = wordEnd;
                p = wordEnd;
            }
            if (lineEnd < 0) lineEnd = end;
            int trimmed = lineEnd;
            while (trimmed > lineStart && s[trimmed - 1] == u' ') --trimmed;
            lines.push_back(Line{lineStart, trimmed, widthOf(lineStart, trimmed)});
            i = lineEnd;
            while (i < end && s[i] == u' ') ++i;
            if (i >= end) break;
            lineStart = i;
        }
    };
    if (format & DT_SINGLELINE) {
        addHard(0, n);
    } else {
        int start = 0;
        for (int i = 0; i <= n; ++i) {
            if (i == n || s[i] == u'\r' || s[i] == u'\n') {
                addHard(start, i);
                if (i < n && s[i] == u'\r' && i + 1 < n && s[i + 1] == u'\n') ++i;
                start = i + 1;
            }
        }
    }
    if ((format & DT_END_ELLIPSIS) && lines.size() == 1 && lines[0].width > boxWidth) {
        long long dots = 3LL * f->Advance(U'.');
        Line& l = lines[0];
        while (l.end > l.start && l.width + dots > boxWidth) l.width -= adv[--l.end];
        s.insert(l.end, u"...");
        for (int k = 0; k < 3; ++k) adv.insert(adv.begin() + l.end, f->Advance(U'.'));
        l.end += 3;
        l.width += dots;
        n = static_cast<int>(s.size());
    }
    int lineHeight = f->height;
    long long totalHeight =
        static_cast<long long>(lineHeight) * static_cast<long long>(lines.size());
    int total = Clamp32(totalHeight);
    if (format & DT_CALCRECT) {
        // The rectangle narrows or widens to the widest line and grows down to the last.
        long long widest = 0;
        for (const Line& l : lines) widest = std::max(widest, l.width);
        rect->right = Sat(rect->left + widest);
        rect->bottom = Sat(rect->top + totalHeight);
        return total;
    }
    long long top = rect->top;
    if (format & DT_SINGLELINE) {
        if (format & DT_VCENTER)
            top = rect->top + (static_cast<long long>(rect->bottom) - rect->top - lineHeight) / 2;
        else if (format & DT_BOTTOM)
            top = static_cast<long long>(rect->bottom) - lineHeight;
        // Placed lower in the rectangle, the result is the bottom of the text from its top.
        if (format & (DT_VCENTER | DT_BOTTOM)) total = Clamp32(top - rect->top + lineHeight);
    }
    if (!d->surface) return total;
    RectList clip = d->Clip();
    if (!(format & DT_NOCLIP)) {
        clip = Intersect(clip, d->ToSurface(*rect));
    }
    bool opaque = d->st.bkMode == OPAQUE;
    std::uint32_t rgb = RgbFromColorref(d->st.textColor);
    for (std::size_t k = 0; k < lines.size(); ++k) {
        const Line& l = lines[k];
        long long x = rect->left;
        if (format & DT_CENTER)
            x = rect->left + (boxWidth - l.width) / 2;
        else if (format & DT_RIGHT)
            x = rect->right - l.width;
        long long lineTop = top + static_cast<long long>(k) * lineHeight;
        if (lineTop + d->Dy() >= kCoordLimit) break;
        int sx = d->SX(x), sy = d->SY(lineTop);
        // Tabs and line breaks take space but draw nothing.
        std::u16string shown = s.substr(l.start, l.end - l.start);
        for (char16_t& c : shown)
            if (c == u'\t' || c == u'\r' || c == u'\n') c = u' ';
        Run run;
        Measure(*f, shown.data(), l.end - l.start, run);
        run.advances.assign(adv.begin() + l.start, adv.begin() + l.end);
        DrawRun(*d, *f, run, sx, sy, clip, opaque);
        for (int m : marks) {
            if (m < l.start || m >= l.end) continue;
            LONG mx = Sat(sx + widthOf(l.start, m));
            int my = sy + f->ascent + f->underlineOffset;
            FillRects(*d->surface, clip, RECT{mx, my, mx + adv[m], my + 1}, rgb);
        }
    }
    return total;
}

int EnumFontFamiliesW(HDC dc, LPCWSTR family, FONTENUMPROCW proc, LPARAM lParam) {
    auto d = LookupDc(dc);
    if (!d || !proc) return 0;
    int result = 1;
    for (const std::u16string& name : LogicalFaceNames()) {
        if (family) {
            std::u16string wanted(family);
            if (wanted.size() != name.size() ||
                !std::equal(wanted.begin(), wanted.end(), name.begin(), [](char16_t a, char16_t b) {
                    auto lower = [](char16_t c) { return (c >= u'A' && c <= u'Z') ? c + 32 : c; };
                    return lower(a) == lower(b);
                }))
                continue;
        }
        ENUMLOGFONTW elf{};
        LOGFONTW& lf = elf.elfLogFont;
        lf.lfHeight = -12;
        lf.lfWeight = FW_NORMAL;
        lf.lfCharSet = DEFAULT_CHARSET;
        bool mono = SubstituteFace(name) == u"DejaVu Sans Mono";
        bool serif = SubstituteFace(name) == u"DejaVu Serif";
        lf.lfPitchAndFamily = static_cast<BYTE>(
            mono ? (FIXED_PITCH | FF_MODERN) : (VARIABLE_PITCH | (serif ? FF_ROMAN : FF_SWISS)));
        std::copy(name.begin(), name.end(), lf.lfFaceName);
        std::copy(name.begin(), name.end(), elf.elfFullName);
        const char16_t regular[] = u"Regular";
        std::copy(std::begin(regular), std::end(regular), elf.elfStyle);
        auto font = RealizeFont(lf);
        NEWTEXTMETRICW ntm{};
        TEXTMETRICW& tm = ntm.tm;
        if (font) {
            tm.tmHeight = font->height;
            tm.tmAscent = font->ascent;
            tm.tmDescent = font->descent;
            tm.tmInternalLeading = font->internalLeading;
            tm.tmAveCharWidth = font->aveCharWidth;
            tm.tmMaxCharWidth = font->maxCharWidth;
            tm.tmWeight = FW_NORMAL;
            ntm.ntmSizeEM = static_cast<UINT>(font->height - font->internalLeading);
            ntm.ntmCellHeight = static_cast<UINT>(font->height);
            ntm.ntmAvgWidth = static_cast<UINT>(font->aveCharWidth);
        }
        result = proc(&lf, &tm, TRUETYPE_FONTTYPE, lParam);
        if (!result) break;
    }
    return result;
}

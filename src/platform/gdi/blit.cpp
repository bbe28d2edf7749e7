// Copies between surfaces of any formats: plain, stretched (nearest pixel), through raster
// operations, with a colour key, and scrolling inside a DC.
#include <algorithm>
#if defined(__SSE2__) || defined(__x86_64__)
#include <immintrin.h>
#endif
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <cpuid.h>
#endif
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/gdi/gdi_api.h"
#include "platform/gdi/raster.h"
#include "platform/last_error.h"

namespace gdi {
namespace {

struct BlitSpec {
    RECT dst;  // surface coordinates of the destination, normalised
    RECT src;  // source surface coordinates, normalised
    bool flipX = false;
    bool flipY = false;
    std::uint8_t rop = 0xCC;
    bool keyed = false;
    std::uint32_t key = 0;  // as read back from the source surface
};

std::vector<std::uint32_t>& Buffer(int which, std::size_t n) {
    thread_local std::vector<std::uint32_t> buffers[3];
    if (buffers[which].size() < n) buffers[which].resize(n);
    return buffers[which];
}

// The source pixels a destination column or row maps to; -1 outside the source surface.
void MapAxis(int dstStart, int dstLen, int from, int to, int srcStart, int srcLen, bool flip,
             int srcLimit, std::vector<int>& out) {
    out.resize(to - from);
    for (int v = from; v < to; ++v) {
        long long i = v - dstStart;
        long long j = srcLen == dstLen ? i : ((2 * i + 1) * srcLen) / (2LL * dstLen);
        if (flip) j = srcLen - 1 - j;
        long long s = srcStart + j;
        out[v - from] = (s >= 0 && s < srcLimit) ? static_cast<int>(s) : -1;
    }
}

// Straight copies between the formats pages and the screen use go row by row without the
// 0x00RRGGBB round trip; the conversions give exactly what ReadRow and WriteRow would.
enum class RowCopy { Same, Same555, From565, From555, To565, Convert };

RowCopy ChooseRowCopy(const Surface& src, const Surface& dst) {
    PixelFormat s = src.Format(), d = dst.Format();
    if (s == d) {
        if (s == PixelFormat::Xrgb32 || s == PixelFormat::Rgb565 || s == PixelFormat::Rgb24)
            return RowCopy::Same;
        if (s == PixelFormat::Rgb555) return RowCopy::Same555;
        return RowCopy::Convert;
    }
    if (d == PixelFormat::Xrgb32 && s == PixelFormat::Rgb565) return RowCopy::From565;
    if (d == PixelFormat::Xrgb32 && s == PixelFormat::Rgb555) return RowCopy::From555;
    if (d == PixelFormat::Rgb565 && s == PixelFormat::Xrgb32) return RowCopy::To565;
    return RowCopy::Convert;
}

inline std::uint32_t Load16(const std::uint8_t* p) {
    std::uint16_t v;  // rows are little-endian, as on the device
    std::memcpy(&v, p, 2);
    return v;
}

void Copy555(std::uint8_t* out, const std::uint8_t* in, int n) {
    // The unused top bit reads as nothing and is written as zero.
    for (int i = 0; i < n; ++i) {
        out[i * 2] = in[i * 2];
        out[i * 2 + 1] = in[i * 2 + 1] & 0x7F;
    }
}

// Every page turn widens the whole 16-bit page into the screen. A channel of n bits at the top
// of a 16-bit lane times 2^(16-n) + 2^(16-2n) keeps, in the product's high half, the channel
// shifted up to 8 bits with its top bits repeated below it: (c << 3) | (c >> 2) for 5 bits,
// (c << 2) | (c >> 4) for 6, exactly. Eight pixels take three multiplies and two interleaves.
inline void Widen565Tail(std::uint8_t* __restrict out, const std::uint8_t* __restrict in, int n) {
    for (int i = 0; i < n; ++i) {
        std::uint32_t v = Load16(in + i * 2);
        std::uint32_t r = (v >> 11) & 0x1F, g = (v >> 5) & 0x3F, b = v & 0x1F;
        std::uint32_t rgb =
            (((r << 3) | (r >> 2)) << 16) | (((g << 2) | (g >> 4)) << 8) | ((b << 3) | (b >> 2));
        std::memcpy(out + i * 4, &rgb, 4);
    }
}

void Widen565Plain(std::uint8_t* __restrict out, const std::uint8_t* __restrict in, int n) {
    int i = 0;
#if defined(__SSE2__)
    const __m128i redMask = _mm_set1_epi16(static_cast<short>(0xF800));
    const __m128i greenMask = _mm_set1_epi16(0x07E0);
    const __m128i five = _mm_set1_epi16(264);   // 0x108: (c << 11) * 264 >> 16
    const __m128i six = _mm_set1_epi16(8320);   // 0x2080: (c << 5) * 8320 >> 16
    for (; i + 8 <= n; i += 8) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i * 2));
        __m128i r = _mm_mulhi_epu16(_mm_and_si128(v, redMask), five);
        __m128i g = _mm_mulhi_epu16(_mm_and_si128(v, greenMask), six);
        __m128i b = _mm_mulhi_epu16(_mm_slli_epi16(v, 11), five);
        __m128i bg = _mm_or_si128(b, _mm_slli_epi16(g, 8));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i * 4), _mm_unpacklo_epi16(bg, r));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i * 4 + 16), _mm_unpackhi_epi16(bg, r));
    }
#endif
    Widen565Tail(out + i * 4, in + i * 2, n - i);
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
// Asked of the processor itself at the first wide row: the compiler's own check links in a
// start-up routine that reads every feature leaf before main, which under a hypervisor (each
// cpuid a trap) is a measurable share of a start.
bool HasAvx2() {
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (__get_cpuid_max(0, nullptr) < 7 || !__get_cpuid(1, &a, &b, &c, &d)) return false;
    const unsigned osxsave = 1u << 27, avx = 1u << 28;
    if ((c & (osxsave | avx)) != (osxsave | avx)) return false;
    // The system saves the vector registers' upper halves (XMM and YMM state).
    unsigned lo = 0, hi = 0;
    __asm__("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
    if ((lo & 6u) != 6u) return false;
    __cpuid_count(7, 0, a, b, c, d);
    return (b & (1u << 5)) != 0;
}

// The same sixteen pixels at a time; the interleaves work within each 128-bit half, so the
// halves are put back in order before they are stored.
__attribute__((target("avx2"))) void Widen565Avx2(std::uint8_t* __restrict out,
                                                  const std::uint8_t* __restrict in, int n) {
    int i = 0;
    const __m256i redMask = _mm256_set1_epi16(static_cast<short>(0xF800));
    const __m256i greenMask = _mm256_set1_epi16(0x07E0);
    const __m256i five = _mm256_set1_epi16(264);
    const __m256i six = _mm256_set1_epi16(8320);
    for (; i + 16 <= n; i += 16) {
        __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + i * 2));
        __m256i r = _mm256_mulhi_epu16(_mm256_and_si256(v, redMask), five);
        __m256i g = _mm256_mulhi_epu16(_mm256_and_si256(v, greenMask), six);
        __m256i b = _mm256_mulhi_epu16(_mm256_slli_epi16(v, 11), five);
        __m256i bg = _mm256_or_si256(b, _mm256_slli_epi16(g, 8));
        __m256i lo = _mm256_unpacklo_epi16(bg, r);  // pixels 0-3 and 8-11
        __m256i hi = _mm256_unpackhi_epi16(bg, r);  // pixels 4-7 and 12-15
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i * 4),
                            _mm256_permute2x128_si256(lo, hi, 0x20));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i * 4 + 32),
                            _mm256_permute2x128_si256(lo, hi, 0x31));
    }
    Widen565Tail(out + i * 4, in + i * 2, n - i);
}
#endif

}  // namespace

// The wide version is chosen once, at the first call, not by the loader: a resolver run while
// the program is being relocated runs before any runtime the build adds (sanitizers) is ready.
void WidenRow565(std::uint8_t* out, const std::uint8_t* in, int n) {
    using Widen = void (*)(std::uint8_t*, const std::uint8_t*, int);
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
    static const Widen widen = HasAvx2() ? Widen565Avx2 : Widen565Plain;
#else
    static const Widen widen = Widen565Plain;
#endif
    widen(out, in, n);
}

namespace {

void Widen555(std::uint8_t* __restrict out, const std::uint8_t* __restrict in, int n) {
    for (int i = 0; i < n; ++i) {
        std::uint32_t v = Load16(in + i * 2);
        std::uint32_t r = (v >> 10) & 0x1F, g = (v >> 5) & 0x1F, b = v & 0x1F;
        std::uint32_t rgb = (((r << 3) | (r >> 2)) << 16) | (((g << 3) | (g >> 2)) << 8) |
                            ((b << 3) | (b >> 2));
        std::memcpy(out + i * 4, &rgb, 4);
    }
}

void Narrow565(std::uint8_t* out, const std::uint8_t* in, int n) {
    for (int i = 0; i < n; ++i) {
        std::uint32_t rgb;
        std::memcpy(&rgb, in + i * 4, 4);
        std::uint32_t v = (((rgb >> 19) & 0x1F) << 11) | (((rgb >> 10) & 0x3F) << 5) |
                          ((rgb >> 3) & 0x1F);
        out[i * 2] = v & 0xFF;
        out[i * 2 + 1] = (v >> 8) & 0xFF;
    }
}

// The source pixels a destination pixel covers along one axis, with the length of each
// overlap: destination pixel i spans [i * srcLen, (i + 1) * srcLen) and source pixel k spans
// [k * dstLen, (k + 1) * dstLen), so the weights of one pixel add up to srcLen.
struct Span {
    int first = 0;
    std::vector<long long> weights;
};
Span CoveredSpan(long long i, int dstLen, int srcLen) {
    Span out;
    const long long start = i * srcLen, end = start + srcLen;
    const long long k0 = start / dstLen, k1 = (end + dstLen - 1) / dstLen;
    out.first = static_cast<int>(k0);
    for (long long k = k0; k < k1; ++k)
        out.weights.push_back(std::min(end, (k + 1) * dstLen) - std::max(start, k * dstLen));
    return out;
}

// A copy that shrinks: each destination pixel is the average of the source area it covers, so
// a line thinner than the step between the pixels kept still shows, lighter, where a pick of one
// pixel in n would drop it. Only within the source: a pixel whose area reaches outside it is
// left as it was.
void ShrinkAveraged(Surface& ds, const Surface& src, const BlitSpec& b, const RECT& a) {
    const int dw = b.dst.right - b.dst.left, dh = b.dst.bottom - b.dst.top;
    const int sw = b.src.right - b.src.left, sh = b.src.bottom - b.src.top;
    const int n = a.right - a.left;
    std::vector<Span> cols(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) cols[i] = CoveredSpan(a.left - b.dst.left + i, dw, sw);
    auto& srow = Buffer(0, src.Width());
    auto& drow = Buffer(1, n);
    std::vector<unsigned long long> sums(static_cast<std::size_t>(n) * 3);
    std::vector<bool> inside(static_cast<std::size_t>(n));
    for (int y = a.top; y < a.bottom; ++y) {
        const Span rows = CoveredSpan(y - b.dst.top, dh, sh);
        const int sy0 = b.src.top + rows.first;
        if (sy0 < 0 || sy0 + static_cast<int>(rows.weights.size()) > src.Height()) continue;
        std::fill(sums.begin(), sums.end(), 0ULL);
        for (std::size_t r = 0; r < rows.weights.size(); ++r) {
            src.ReadRow(0, sy0 + static_cast<int>(r), src.Width(), srow.data());
            const unsigned long long wy = static_cast<unsigned long long>(rows.weights[r]);
            for (int i = 0; i < n; ++i) {
                const Span& c = cols[i];
                const int sx0 = b.src.left + c.first;
                inside[i] = sx0 >= 0 && sx0 + static_cast<int>(c.weights.size()) <= src.Width();
                if (!inside[i]) continue;
                unsigned long long red = 0, green = 0, blue = 0;
                for (std::size_t k = 0; k < c.weights.size(); ++k) {
                    const std::uint32_t v = srow[sx0 + k];
                    const unsigned long long wx = static_cast<unsigned long long>(c.weights[k]);
                    red += wx * (v >> 16 & 0xFF);
                    green += wx * (v >> 8 & 0xFF);
                    blue += wx * (v & 0xFF);
                }
                sums[i * 3] += wy * red;
                sums[i * 3 + 1] += wy * green;
                sums[i * 3 + 2] += wy * blue;
            }
        }
        ds.ReadRow(a.left, y, n, drow.data());
        const unsigned long long area = static_cast<unsigned long long>(sw) * sh;
        for (int i = 0; i < n; ++i) {
            if (!inside[i]) continue;
            auto channel = [&](int c) {
                return static_cast<std::uint32_t>((sums[i * 3 + c] + area / 2) / area);
            };
            drow[i] = channel(0) << 16 | channel(1) << 8 | channel(2);
        }
        ds.WriteRow(a.left, y, n, drow.data());
    }
}

void Run(DcObject& dst, const Surface& src, const BlitSpec& b) {
    Surface& ds = *dst.surface;
    int dw = b.dst.right - b.dst.left, dh = b.dst.bottom - b.dst.top;
    int sw = b.src.right - b.src.left, sh = b.src.bottom - b.src.top;
    bool identity = dw == sw && dh == sh && !b.flipX && !b.flipY;
    std::vector<int> cols, rows;
    for (const RECT& c : dst.Clip()) {
        RECT a = Intersect(b.dst, c);
        if (Empty(a)) continue;
        if (identity && b.rop == 0xCC && !b.keyed) {
            // Straight copy: clip to the source as well, then whole rows.
            RECT s{a.left - b.dst.left + b.src.left, a.top - b.dst.top + b.src.top, 0, 0};
            s.right = s.left + (a.right - a.left);
            s.bottom = s.top + (a.bottom - a.top);
            RECT sc = Intersect(s, RECT{0, 0, src.Width(), src.Height()});
            if (Empty(sc)) continue;
            int x = a.left + (sc.left - s.left), n = sc.right - sc.left;
            RowCopy copy = ChooseRowCopy(src, ds);
            int bytes = src.BitsPerPixel() / 8;
            if (copy == RowCopy::Same && n == src.Width() && n == ds.Width() &&
                src.TopDown() == ds.TopDown() && src.Stride() == ds.Stride() && x == 0 &&
                sc.left == 0) {
                // Whole rows on both sides: one block.
                int rows = sc.bottom - sc.top, dy = a.top + (sc.top - s.top);
                int from = src.TopDown() ? sc.top : src.Height() - sc.bottom;
                int to = ds.TopDown() ? dy : ds.Height() - (dy + rows);
                std::memcpy(ds.Bits() + static_cast<std::size_t>(to) * ds.Stride(),
                            src.Bits() + static_cast<std::size_t>(from) * src.Stride(),
                            static_cast<std::size_t>(rows) * ds.Stride());
                continue;
            }
            // A page copied whole to the screen is kept as it is until the screen is looked at.
            if (copy == RowCopy::From565 && dst.Clip().size() == 1 &&
                ds.DeferCopy565(src, sc.left, sc.top, x, a.top + (sc.top - s.top), n,
                                sc.bottom - sc.top))
                continue;
            auto& row = Buffer(0, n);
            for (int sy = sc.top; sy < sc.bottom; ++sy) {
                int y = a.top + (sy - s.top);
                const std::uint8_t* in = src.Row(sy);
                std::uint8_t* out = ds.Row(y);
                switch (copy) {
                    case RowCopy::Same:
                        std::memcpy(out + x * bytes, in + sc.left * bytes,
                                    static_cast<std::size_t>(n) * bytes);
                        break;
                    case RowCopy::Same555:
                        Copy555(out + x * 2, in + sc.left * 2, n);
                        break;
                    case RowCopy::From565:
                        WidenRow565(out + x * 4, in + sc.left * 2, n);
                        break;
                    case RowCopy::From555:
                        Widen555(out + x * 4, in + sc.left * 2, n);
                        break;
                    case RowCopy::To565:
                        Narrow565(out + x * 2, in + sc.left * 4, n);
                        break;
                    case RowCopy::Convert:
                        src.ReadRow(sc.left, sy, n, row.data());
                        ds.WriteRow(x, y, n, row.data());
                        break;
                }
            }
            continue;
        }
        if (b.rop == 0xCC && !b.keyed && !b.flipX && !b.flipY && dw <= sw && dh <= sh) {
            ShrinkAveraged(ds, src, b, a);
            continue;
        }
        MapAxis(b.dst.left, dw, a.left, a.right, b.src.left, sw, b.flipX, src.Width(), cols);
        MapAxis(b.dst.top, dh, a.top, a.bottom, b.src.top, sh, b.flipY, src.Height(), rows);
        int n = a.right - a.left;
        auto& srow = Buffer(0, src.Width());
        auto& drow = Buffer(1, n);
        auto& prow = Buffer(2, n);
        bool usesPattern = RopUsesPattern(b.rop);
        int lastSy = -1;
        for (int y = a.top; y < a.bottom; ++y) {
            int sy = rows[y - a.top];
            if (sy < 0) continue;
            if (sy != lastSy) {
                src.ReadRow(0, sy, src.Width(), srow.data());
                lastSy = sy;
            }
            ds.ReadRow(a.left, y, n, drow.data());
            if (usesPattern) BrushRow(dst, *dst.st.brush, y, a.left, n, prow.data());
            for (int i = 0; i < n; ++i) {
                int sx = cols[i];
                if (sx < 0) continue;
                std::uint32_t s = srow[sx];
                if (b.keyed && s == b.key) continue;
                drow[i] = Rop3(b.rop, usesPattern ? prow[i] : 0, s, drow[i]);
            }
            ds.WriteRow(a.left, y, n, drow.data());
        }
    }
}

// The source, copied first when it is the destination's own surface (overlapping copies).
std::shared_ptr<const Surface> SafeSource(const DcObject& dst, std::shared_ptr<Surface> src) {
    if (src != dst.surface) return src;
    auto copy = Surface::Create(src->Width(), src->Height(), PixelFormat::Xrgb32);
    if (!copy) return nullptr;
    std::vector<std::uint32_t> row(src->Width());
    for (int y = 0; y < src->Height(); ++y) {
        src->ReadRow(0, y, src->Width(), row.data());
        copy->WriteRow(0, y, src->Width(), row.data());
    }
    return copy;
}

void Normalise(int& start, int& len, bool& flip) {
    if (len < 0) {
        start = Sat(static_cast<long long>(start) + len);
        len = len == INT32_MIN ? INT32_MAX : -len;
        flip = !flip;
    }
}

BOOL DoBlit(HDC dest, int x, int y, int width, int height, HANDLE src, int srcX, int srcY,
            int srcWidth, int srcHeight, DWORD rop, bool keyed, COLORREF key) {
    auto d = LookupDc(dest);
    if (!d || !d->surface) return FALSE;
    std::uint8_t code = RopCode(rop);
    if (width == 0 || height == 0) return TRUE;
    if (!keyed && !RopUsesSource(code)) {
        if (width < 0 || height < 0) return FALSE;
        return PatBlt(dest, x, y, width, height, rop);
    }
    // The source: a DC, or for colour-keyed copies also a bitmap.
    std::shared_ptr<Surface> surface;
    int sdx = 0, sdy = 0;
    if (auto sdc = LookupAs<DcObject>(src, Kind::Dc)) {
        surface = sdc->surface;
        sdx = sdc->Dx();
        sdy = sdc->Dy();
    } else if (auto sb = keyed ? LookupAs<BitmapObject>(src, Kind::Bitmap) : nullptr) {
        surface = sb->surface;
    }
    if (!surface) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (srcWidth == 0 || srcHeight == 0) return TRUE;
    long long area = static_cast<long long>(width) * height;
    if (area > (1LL << 30) || area < -(1LL << 30)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    BlitSpec b;
    b.rop = keyed ? 0xCC : code;
    b.keyed = keyed;
    if (keyed) b.key = surface->Quantize(RgbFromColorref(key));
    bool flipX = false, flipY = false;
    Normalise(x, width, flipX);
    Normalise(y, height, flipY);
    Normalise(srcX, srcWidth, flipX);
    Normalise(srcY, srcHeight, flipY);
    b.flipX = flipX;
    b.flipY = flipY;
    b.dst =
        d->ToSurface(x, y, static_cast<long long>(x) + width, static_cast<long long>(y) + height);
    b.src = RECT{Sat(static_cast<long long>(srcX) + sdx), Sat(static_cast<long long>(srcY) + sdy),
                 Sat(static_cast<long long>(srcX) + sdx + srcWidth),
                 Sat(static_cast<long long>(srcY) + sdy + srcHeight)};
    auto source = SafeSource(*d, surface);
    if (!source) return FALSE;
    Run(*d, *source, b);
    return TRUE;
}

}  // namespace
}  // namespace gdi

using namespace gdi;

BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC src, int srcX, int srcY, DWORD rop) {
    return DoBlit(dest, x, y, width, height, src, srcX, srcY, width, height, rop, false, 0);
}

BOOL StretchBlt(HDC dest, int x, int y, int width, int height, HDC src, int srcX, int srcY,
                int srcWidth, int srcHeight, DWORD rop) {
    return DoBlit(dest, x, y, width, height, src, srcX, srcY, srcWidth, srcHeight, rop, false, 0);
}

BOOL TransparentImage(HDC dest, int x, int y, int width, int height, HANDLE src, int srcX, int srcY,
                      int srcWidth, int srcHeight, COLORREF key) {
    return DoBlit(dest, x, y, width, height, src, srcX, srcY, srcWidth, srcHeight, SRCCOPY, true,
                  key);
}

BOOL ScrollDC(HDC dc, int dx, int dy, LPCRECT scroll, LPCRECT clip, HRGN update,
              LPRECT updateRect) {
    auto d = LookupDc(dc);
    if (!d || !d->surface) return FALSE;
    RegionObject* updateRegion = nullptr;
    std::shared_ptr<RegionObject> held;
    if (update) {
        held = LookupAs<RegionObject>(update, Kind::Region);
        if (!held) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        updateRegion = held.get();
    }
    RectList area = d->Clip();
    if (scroll) {
        area = Intersect(area, d->ToSurface(*scroll));
    }
    if (clip) {
        area = Intersect(area, d->ToSurface(*clip));
    }
    Surface& s = *d->surface;
    RECT box = Bounds(area);
    RectList covered;
    if (!Empty(box) && (dx || dy)) {
        // Pixels move only from inside the area to inside the area.
        int bw = box.right - box.left, bh = box.bottom - box.top;
        std::vector<std::uint32_t> copy(static_cast<std::size_t>(bw) * bh);
        for (int y = 0; y < bh; ++y)
            s.ReadRow(box.left, box.top + y, bw, &copy[std::size_t(y) * bw]);
        for (const RECT& from : area) {
            RECT moved = from;
            OffsetRect(&moved, dx, dy);
            for (const RECT& to : area) {
                RECT piece = Intersect(moved, to);
                if (Empty(piece)) continue;
                covered.push_back(piece);
                int n = piece.right - piece.left;
                for (int y = piece.top; y < piece.bottom; ++y) {
                    const std::uint32_t* srow =
                        &copy[std::size_t(y - dy - box.top) * bw + (piece.left - dx - box.left)];
                    s.WriteRow(piece.left, y, n, srow);
                }
            }
        }
    } else {
        covered = area;
    }
    RectList uncovered = Offset(Subtract(area, covered), -d->Dx(), -d->Dy());
    if (updateRegion) updateRegion->rects = uncovered;
    if (updateRect) *updateRect = Bounds(uncovered);
    return TRUE;
}

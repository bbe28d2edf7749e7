// Pixels, lines and shapes. Right and bottom edges are exclusive and a line leaves out its end
// point, so shapes drawn twice in an inverting mode give back what was there.
#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/gdi/gdi_api.h"
#include "platform/gdi/raster.h"
#include "platform/last_error.h"

namespace gdi {

std::uint8_t Rop3FromRop2(int rop2) {
    unsigned table = static_cast<unsigned>(std::clamp(rop2, R2_BLACK, R2_WHITE) - 1);
    std::uint8_t code = 0;
    for (int i = 0; i < 8; ++i) {
        int p = (i >> 2) & 1, d = i & 1;
        if ((table >> ((p << 1) | d)) & 1) code |= static_cast<std::uint8_t>(1u << i);
    }
    return code;
}

BrushObject SolidBrush(std::uint32_t rgb) {
    return BrushObject(rgb);
}

std::shared_ptr<BrushObject> BrushFromHandle(HBRUSH brush) {
    auto v = reinterpret_cast<std::uintptr_t>(brush);
    if (v >= 1 && v <= static_cast<std::uintptr_t>(COLOR_GRADIENTINACTIVECAPTION) + 1)
        brush = GetSysColorBrush(static_cast<int>(v) - 1);
    auto b = LookupAs<BrushObject>(brush, Kind::Brush);
    if (!b) SetLastError(ERROR_INVALID_HANDLE);
    return b;
}

namespace {
std::vector<std::uint32_t>& RowBuffer(int which, int n) {
    thread_local std::vector<std::uint32_t> rows[2];
    if (static_cast<int>(rows[which].size()) < n) rows[which].resize(n);
    return rows[which];
}

int Mod(int a, int m) {
    int r = a % m;
    return r < 0 ? r + m : r;
}
}  // namespace

void BrushRow(const DcObject& dc, const BrushObject& brush, int y, int x0, int n,
              std::uint32_t* out) {
    if (!brush.pattern) {
        std::fill_n(out, n, brush.rgb);
        return;
    }
    // Pattern brushes are aligned on the brush origin, taken in the same coordinates as the
    // drawing, so that a picture tiled at (x, y) lands at (x, y) whatever the viewport origin.
    const Surface& p = *brush.pattern;
    int py = Mod(y - dc.Dy() - dc.st.brushOrg.y, p.Height());
    int px = Mod(x0 - dc.Dx() - dc.st.brushOrg.x, p.Width());
    const std::uint32_t* prow = reinterpret_cast<const std::uint32_t*>(p.Row(py));
    for (int i = 0; i < n; ++i) {
        out[i] = prow[px] & 0xFFFFFF;
        if (++px == p.Width()) px = 0;
    }
}

void FillArea(DcObject& dc, const RECT& r, const BrushObject& brush, std::uint8_t rop) {
    if (!dc.surface || Empty(r) || (brush.style == BS_NULL && RopUsesPattern(rop))) return;
    Surface& s = *dc.surface;
    for (const RECT& c : dc.Clip()) {
        RECT a = Intersect(r, c);
        if (Empty(a)) continue;
        int n = a.right - a.left;
        if (!brush.pattern && (rop == 0xF0 || rop == 0x00 || rop == 0xFF)) {
            std::uint32_t v = rop == 0xF0 ? brush.rgb : (rop == 0 ? 0 : 0xFFFFFF);
            s.FillRect(a.left, a.top, a.right, a.bottom, v);
            continue;
        }
        if (rop == 0xAA) continue;
        auto& pat = RowBuffer(0, n);
        auto& dst = RowBuffer(1, n);
        for (int y = a.top; y < a.bottom; ++y) {
            BrushRow(dc, brush, y, a.left, n, pat.data());
            if (rop == 0xF0) {
                s.WriteRow(a.left, y, n, pat.data());
                continue;
            }
            s.ReadRow(a.left, y, n, dst.data());
            for (int i = 0; i < n; ++i) dst[i] = Rop3(rop, pat[i], 0, dst[i]);
            s.WriteRow(a.left, y, n, dst.data());
        }
    }
}

void Plot(DcObject& dc, int x, int y, std::uint32_t rgb, std::uint8_t rop) {
    if (!dc.surface || !Contains(dc.Clip(), x, y)) return;
    Surface& s = *dc.surface;
    s.SetPixel(x, y, rop == 0xF0 ? rgb : Rop3(rop, rgb, 0, s.GetPixel(x, y)));
}

namespace {

// A line from (x0, y0) towards (x1, y1) in surface coordinates, its end point left out. Step i
// along the major axis puts the minor coordinate at the nearest pixel; only the steps inside the
// clip's bounds are walked, so far-away end points cost nothing.
void Line(DcObject& dc, const PenObject& pen, long long x0, long long y0, long long x1,
          long long y1) {
    if (pen.style == PS_NULL) return;
    RECT box = Bounds(dc.Clip());
    if (Empty(box)) return;
    int w = pen.width;
    long long dx = x1 - x0, dy = y1 - y0;
    long long adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
    bool xMajor = adx >= ady;
    long long steps = xMajor ? adx : ady, minorLen = xMajor ? ady : adx;
    if (steps == 0) return;
    long long major0 = xMajor ? x0 : y0, minor0 = xMajor ? y0 : x0;
    int majorSign = (xMajor ? dx : dy) < 0 ? -1 : 1, minorSign = (xMajor ? dy : dx) < 0 ? -1 : 1;
    long long lo = (xMajor ? box.left : box.top) - w, hi = (xMajor ? box.right : box.bottom) + w;
    long long first = 0, last = steps;  // [first, last)
    if (majorSign > 0) {
        first = std::max(first, lo - major0);
        last = std::min(last, hi - major0);
    } else {
        first = std::max(first, major0 - hi + 1);
        last = std::min(last, major0 - lo + 1);
    }
    std::uint8_t rop = Rop3FromRop2(dc.st.rop2);
    BrushObject solid = SolidBrush(pen.rgb);
    for (long long i = first; i < last; ++i) {
        if (pen.style == PS_DASH && (i % 8) >= 6) continue;
        __int128 num = static_cast<__int128>(2) * i * minorLen + steps;
        long long minor =
            minor0 + minorSign * static_cast<long long>(num / (2 * static_cast<__int128>(steps)));
        long long major = major0 + majorSign * i;
        long long x = xMajor ? major : minor, y = xMajor ? minor : major;
        if (w <= 1) {
            if (x >= box.left && x < box.right && y >= box.top && y < box.bottom)
                Plot(dc, static_cast<int>(x), static_cast<int>(y), pen.rgb, rop);
        } else {
            FillArea(dc,
                     RECT{Sat(x - w / 2), Sat(y - w / 2), Sat(x - w / 2 + w), Sat(y - w / 2 + w)},
                     solid, rop);
        }
    }
}

struct Span {
    int x0, x1;  // [x0, x1) relative to the shape's left edge
};

// Shapes as one span per row; the border is what touches the outside.
void DrawSpans(DcObject& dc, int left, int top, const std::vector<Span>& rows) {
    const PenObject& pen = *dc.st.pen;
    const BrushObject& brush = *dc.st.brush;
    std::uint8_t rop = Rop3FromRop2(dc.st.rop2);
    bool outline = pen.style != PS_NULL;
    BrushObject penBrush = SolidBrush(pen.rgb);
    int n = static_cast<int>(rows.size());
    for (int j = 0; j < n; ++j) {
        Span s = rows[j];
        if (s.x1 <= s.x0) continue;
        int y = top + j;
        if (!outline) {
            FillArea(dc, RECT{left + s.x0, y, left + s.x1, y + 1}, brush, rop);
            continue;
        }
        Span up = j > 0 ? rows[j - 1] : Span{0, 0};
        Span down = j + 1 < n ? rows[j + 1] : Span{0, 0};
        int in0 = std::max({s.x0 + 1, up.x0, down.x0});
        int in1 = std::min({s.x1 - 1, up.x1, down.x1});
        if (in1 <= in0) {
            FillArea(dc, RECT{left + s.x0, y, left + s.x1, y + 1}, penBrush, rop);
            continue;
        }
        FillArea(dc, RECT{left + s.x0, y, left + in0, y + 1}, penBrush, rop);
        FillArea(dc, RECT{left + in0, y, left + in1, y + 1}, brush, rop);
        FillArea(dc, RECT{left + in1, y, left + s.x1, y + 1}, penBrush, rop);
    }
}

// Half the width of an ellipse of w x h at row j (pixel centres), as an inset from its box.
int EllipseInset(int w, int h, int j) {
    double ry = h / 2.0, rx = w / 2.0;
    double dy = (j + 0.5 - ry) / ry;
    if (dy <= -1.0 || dy >= 1.0) return (w + 1) / 2;
    double half = rx * std::sqrt(1.0 - dy * dy);
    int inset = static_cast<int>(std::lround(rx - half));
    return std::clamp(inset, 0, std::max(0, (w - 1) / 2));
}

RECT Normal(int left, int top, int right, int bottom) {
    return RECT{std::min(left, right), std::min(top, bottom), std::max(left, right),
                std::max(top, bottom)};
}

constexpr int kMaxShape = 1 << 15;

bool TooLarge(const RECT& r) {
    return static_cast<long long>(r.right) - r.left > kMaxShape ||
           static_cast<long long>(r.bottom) - r.top > kMaxShape;
}

// The rectangle of a shape given by two corners in any order; false, with the error set, when
// it is too large to draw.
bool ShapeRect(int left, int top, int right, int bottom, RECT& r) {
    r = Normal(left, top, right, bottom);
    if (!TooLarge(r)) return true;
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
}

}  // namespace

}  // namespace gdi

using namespace gdi;

COLORREF SetPixel(HDC dc, int x, int y, COLORREF color) {
    auto d = LookupDc(dc);
    if (!d || !d->surface) return CLR_INVALID;
    x = d->SX(x);
    y = d->SY(y);
    if (!Contains(d->Clip(), x, y)) return CLR_INVALID;
    d->surface->SetPixel(x, y, RgbFromColorref(color));
    return ColorrefFromRgb(d->surface->GetPixel(x, y));
}

COLORREF GetPixel(HDC dc, int x, int y) {
    auto d = LookupDc(dc);
    if (!d || !d->surface) return CLR_INVALID;
    x = d->SX(x);
    y = d->SY(y);
    if (!Contains(d->Clip(), x, y)) return CLR_INVALID;
    return ColorrefFromRgb(d->surface->GetPixel(x, y));
}

BOOL MoveToEx(HDC dc, int x, int y, LPPOINT previous) {
    auto d = LookupDc(dc);
    if (!d) return FALSE;
    if (previous) *previous = d->st.penPos;
    d->st.penPos = POINT{x, y};
    return TRUE;
}

BOOL LineTo(HDC dc, int x, int y) {
    auto d = LookupDc(dc);
    if (!d) return FALSE;
    Line(*d, *d->st.pen, static_cast<long long>(d->st.penPos.x) + d->Dx(),
         static_cast<long long>(d->st.penPos.y) + d->Dy(), static_cast<long long>(x) + d->Dx(),
         static_cast<long long>(y) + d->Dy());
    d->st.penPos = POINT{x, y};
    return TRUE;
}

BOOL Polyline(HDC dc, const POINT* points, int count) {
    auto d = LookupDc(dc);
    if (!d) return FALSE;
    if (!points || count < 2) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    for (int i = 0; i + 1 < count; ++i)
        Line(*d, *d->st.pen, static_cast<long long>(points[i].x) + d->Dx(),
             static_cast<long long>(points[i].y) + d->Dy(),
             static_cast<long long>(points[i + 1].x) + d->Dx(),
             static_cast<long long>(points[i + 1].y) + d->Dy());
    return TRUE;
}

BOOL Rectangle(HDC dc, int left, int top, int right, int bottom) {
    auto d = LookupDc(dc);
    RECT r;
    if (!d || !ShapeRect(left, top, right, bottom, r)) return FALSE;
    r = d->ToSurface(r);
    if (Empty(r)) return TRUE;
    const PenObject& pen = *d->st.pen;
    std::uint8_t rop = Rop3FromRop2(d->st.rop2);
    if (pen.style == PS_NULL) {
        FillArea(*d, r, *d->st.brush, rop);
        return TRUE;
    }
    // The frame lies inside the rectangle; its bands never overlap, so inverting twice restores.
    LONG w =
        std::min<LONG>(pen.width, std::min((r.right - r.left + 1) / 2, (r.bottom - r.top + 1) / 2));
    LONG bottomBand = std::max(r.bottom - w, r.top + w);
    LONG rightBand = std::max(r.right - w, r.left + w);
    FillArea(*d, RECT{r.left + w, r.top + w, r.right - w, r.bottom - w}, *d->st.brush, rop);
    BrushObject penBrush = SolidBrush(pen.rgb);
    FillArea(*d, RECT{r.left, r.top, r.right, r.top + w}, penBrush, rop);
    FillArea(*d, RECT{r.left, bottomBand, r.right, r.bottom}, penBrush, rop);
    FillArea(*d, RECT{r.left, r.top + w, r.left + w, r.bottom - w}, penBrush, rop);
    FillArea(*d, RECT{rightBand, r.top + w, r.right, r.bottom - w}, penBrush, rop);
    return TRUE;
}

BOOL Ellipse(HDC dc, int left, int top, int right, int bottom) {
    auto d = LookupDc(dc);
    RECT r;
    if (!d || !ShapeRect(left, top, right, bottom, r)) return FALSE;
    int w = r.right - r.left, h = r.bottom - r.top;
    std::vector<Span> rows(h);
    for (int j = 0; j < h; ++j) {
        int inset = EllipseInset(w, h, j);
        rows[j] = Span{inset, w - inset};
    }
    DrawSpans(*d, d->SX(r.left), d->SY(r.top), rows);
    return TRUE;
}

BOOL RoundRect(HDC dc, int left, int top, int right, int bottom, int width, int height) {
    auto d = LookupDc(dc);
    RECT r;
    if (!d || !ShapeRect(left, top, right, bottom, r)) return FALSE;
    int w = r.right - r.left, h = r.bottom - r.top;
    int ew = std::clamp(width, 0, w), eh = std::clamp(height, 0, h);
    std::vector<Span> rows(h);
    for (int j = 0; j < h; ++j) {
        int inset = 0;
        if (ew > 1 && eh > 1) {
            if (j < eh / 2)
                inset = EllipseInset(ew, eh, j);
            else if (j >= h - eh / 2)
                inset = EllipseInset(ew, eh, eh - (h - j));
        }
        rows[j] = Span{inset, w - inset};
    }
    DrawSpans(*d, d->SX(r.left), d->SY(r.top), rows);
    return TRUE;
}

int FillRect(HDC dc, LPCRECT rect, HBRUSH brush) {
    auto d = LookupDc(dc);
    if (!d) return 0;
    auto b = BrushFromHandle(brush);
    if (!b || !rect) return 0;
    RECT r = *rect;
    r = d->ToSurface(r);
    FillArea(*d, r, *b, 0xF0);
    return 1;
}

int FrameRect(HDC dc, LPCRECT rect, HBRUSH brush) {
    auto d = LookupDc(dc);
    if (!d) return 0;
    auto b = BrushFromHandle(brush);
    if (!b || !rect) return 0;
    RECT r = *rect;
    r = d->ToSurface(r);
    if (Empty(r)) return 1;
    FillArea(*d, RECT{r.left, r.top, r.right, r.top + 1}, *b, 0xF0);
    if (r.bottom - r.top > 1) FillArea(*d, RECT{r.left, r.bottom - 1, r.right, r.bottom}, *b, 0xF0);
    FillArea(*d, RECT{r.left, r.top + 1, r.left + 1, r.bottom - 1}, *b, 0xF0);
    if (r.right - r.left > 1)
        FillArea(*d, RECT{r.right - 1, r.top + 1, r.right, r.bottom - 1}, *b, 0xF0);
    return 1;
}

BOOL InvertRect(HDC dc, LPCRECT rect) {
    auto d = LookupDc(dc);
    if (!d || !rect) return FALSE;
    RECT r = *rect;
    r = d->ToSurface(r);
    FillArea(*d, r, SolidBrush(0), 0x55);
    return TRUE;
}

BOOL FillRgn(HDC dc, HRGN region, HBRUSH brush) {
    auto d = LookupDc(dc);
    if (!d) return FALSE;
    auto rg = LookupAs<RegionObject>(region, Kind::Region);
    auto b = BrushFromHandle(brush);
    if (!rg || !b) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    for (const RECT& r : rg->rects) FillArea(*d, d->ToSurface(r), *b, 0xF0);
    return TRUE;
}

BOOL PatBlt(HDC dc, int x, int y, int width, int height, DWORD rop) {
    auto d = LookupDc(dc);
    if (!d) return FALSE;
    std::uint8_t code = RopCode(rop);
    if (RopUsesSource(code)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    long long right = static_cast<long long>(x) + width,
              bottom = static_cast<long long>(y) + height;
    RECT r = d->ToSurface(std::min<long long>(x, right), std::min<long long>(y, bottom),
                          std::max<long long>(x, right), std::max<long long>(y, bottom));
    FillArea(*d, r, *d->st.brush, code);
    return TRUE;
}

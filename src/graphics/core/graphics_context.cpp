#include "graphics/core/graphics_context.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "core/color.h"
#include "core/platform_helpers.h"
#include "core/text.h"
#include "core/transform.h"
#include "media/image/cx_image.h"
#include "media/image/image_decoder.h"
#include "platform/gdi/gdi_layer.h"
#include "platform/window/window.h"

namespace {

int32_t gPushBudget = -1;

RECT ToRect(const Rect& r) {
    RECT rc;
    Rect::ToWinRect(r, rc);
    return rc;
}

Rect InfiniteRect() {
    Rect r;
    Rect::SetInfinite(r);
    return r;
}

bool IsInfinite(const Rect& r) {
    return r == InfiniteRect();
}

int32_t PositiveMod(int32_t a, int32_t m) {
    int32_t r = a % m;
    return r < 0 ? r + m : r;
}

struct DibHeader {
    BITMAPINFOHEADER header{};
    union {
        DWORD masks[3];
        RGBQUAD colors[256];
    };
    DibHeader() { std::memset(colors, 0, sizeof(colors)); }
};

}  // namespace

void OffscreenBitmap::Free() {
    if (dc && previous) SelectObject(dc, previous);
    if (bitmap) DeleteObject(bitmap);
    if (dc) DeleteDC(dc);
    *this = OffscreenBitmap{};
}

GraphicsContext::GraphicsContext(const FaceTable* faces) : faces_(faces) {
    Rect::SetInfinite(clip_);
    uint32_t major = 0, minor = 0;
    osAtLeast5_ = GetOsVersion(major, minor) && major >= 5;
}

GraphicsContext::~GraphicsContext() {
    // Drawing left open ends without flushing: the display surface may be gone already.
    display_ = nullptr;
    while (depth_ > 0) EndDraw();
    ReleaseCachedObjects(0);
    backgroundBitmap_.reset();
}

void GraphicsContext::FailPushStateAfterForTesting(int32_t n) {
    gPushBudget = n;
}

// ---- Frame and state --------------------------------------------------------------------------

GraphicsContext* GraphicsContext::BeginDraw(bool defer, const Rect* /*area*/) {
    if (defer && flushLevel_ < 0) flushLevel_ = depth_ + 1;
    if (depth_ == 0) {
        Rect::SetInfinite(clip_);
        visibleArea_ = Rect{};
        origin_ = Point{};
        if (!paintDC_ && !external_ && window_) windowDC_ = GetDC(window_);
        targetDC_ = external_ ? external_->dc : nullptr;
        HDC buffer = display_ ? display_->BufferDC() : nullptr;
        dc_ = targetDC_ ? targetDC_ : buffer ? buffer : paintDC_ ? paintDC_ : windowDC_;
        if (dc_) SetViewportOrgEx(dc_, 0, 0, nullptr);
    }
    ++depth_;
    return this;
}

bool GraphicsContext::EndDraw() {
    if (depth_ == 0) return false;
    // Noted before the level is cleared: the outermost BeginDraw asked to defer the flush.
    bool deferred = flushLevel_ == 1;
    if (flushLevel_ == depth_) flushLevel_ = -1;
    --depth_;
    if (depth_ > 0) return false;
    if (dc_) {
        SetViewportOrgEx(dc_, 0, 0, nullptr);
        origin_ = Point{};
        ResetClip();
        if (drawMode_) SetROP2(dc_, R2_COPYPEN);
    }
    drawMode_ = 0;
    RestoreInitialObjects();
    if (windowDC_) ReleaseDC(window_, windowDC_);
    windowDC_ = nullptr;
    targetDC_ = nullptr;
    dc_ = nullptr;
    if (!deferred && !paintDC_ && display_) display_->FlushDirty();
    return true;
}

void GraphicsContext::RestoreInitialObjects() {
    if (dc_) {
        if (initialFont_) SelectIntoDc(initialFont_, true);
        if (initialBrush_) SelectIntoDc(initialBrush_, false);
        if (initialPen_) SelectIntoDc(initialPen_, false);
    }
    if (brush_) DeleteObject(brush_);  // stock objects ignore this
    if (pen_) DeleteObject(pen_);
    brush_ = nullptr;
    pen_ = nullptr;
    initialFont_ = initialBrush_ = initialPen_ = nullptr;
    metricsFont_ = nullptr;
    metricsDC_ = nullptr;
    brushReady_ = penReady_ = fontReady_ = bitmapFaceReady_ = false;
    brushColour_ = penColour_ = textColour_ = kUnsetColour;
}

void GraphicsContext::SwitchDC(HDC dc) {
    if (depth_ == 0 || dc == dc_) return;
    // The old DC gets its own objects back before drawing moves on, so nothing selected in it
    // is deleted and nothing of it is put into the new one.
    RestoreInitialObjects();
    dc_ = dc;
    if (!dc_) return;
    SetViewportOrgEx(dc_, origin_.x, origin_.y, nullptr);
    SelectClipRgn(dc_, nullptr);
    if (!IsInfinite(clip_)) {
        Rect logical = clip_;
        logical.x -= origin_.x;
        logical.y -= origin_.y;
        IntersectClipRect(dc_, logical.x, logical.y, logical.Right(), logical.Bottom());
    }
    if (drawMode_) SetROP2(dc_, R2_NOT);
}

void GraphicsContext::PushTargetDC(HDC dc) {
    targetDC_ = dc;
    SwitchDC(dc);
}

void GraphicsContext::PopTargetDC() {
    targetDC_ = external_ ? external_->dc : nullptr;
    HDC buffer = display_ ? display_->BufferDC() : nullptr;
    SwitchDC(targetDC_ ? targetDC_ : buffer ? buffer : paintDC_ ? paintDC_ : windowDC_);
}

bool GraphicsContext::PushState() {
    if (gPushBudget == 0) return false;
    if (gPushBudget > 0) --gPushBudget;
    return states_.Append(SavedState{visibleArea_, clip_, origin_}) >= 0;
}

void GraphicsContext::PopState() {
    int32_t n = states_.Count();
    if (n == 0) return;
    SavedState s = states_[n - 1];
    states_.Remove(n - 1, 1);
    visibleArea_ = s.visible;
    SetViewportOrigin(Point{});
    if (IsInfinite(s.clip))
        ResetClip();
    else
        SetClipRect(s.clip);
    SetViewportOrigin(s.origin);
}

void GraphicsContext::SetViewportOrigin(Point p) {
    origin_ = p;
    if (dc_) SetViewportOrgEx(dc_, p.x, p.y, nullptr);
}

void GraphicsContext::OffsetViewport(Point delta) {
    SetViewportOrigin(Point{origin_.x + delta.x, origin_.y + delta.y});
}

void GraphicsContext::SetClipRect(const Rect& r) {
    ResetClip();
    IntersectClip(r);
}

void GraphicsContext::IntersectClip(const Rect& r) {
    if (dc_) IntersectClipRect(dc_, r.x, r.y, r.Right(), r.Bottom());
    Rect device = r;
    device.x += origin_.x;
    device.y += origin_.y;
    Rect out;
    Rect::Intersect(clip_, device, out);
    clip_ = out;
}

void GraphicsContext::ResetClip() {
    if (dc_) SelectClipRgn(dc_, nullptr);
    Rect::SetInfinite(clip_);
}

uint32_t GraphicsContext::SetDrawMode(uint32_t flags) {
    uint32_t previous = drawMode_;
    drawMode_ = flags;
    if (dc_) SetROP2(dc_, (flags & kDrawInvert) ? R2_NOT : R2_COPYPEN);
    return previous;
}

// ---- Colours ----------------------------------------------------------------------------------

bool GraphicsContext::KnowsDc() const {
    return dc_ && known_.dc == dc_ && known_.generation == GdiDcStateGeneration();
}

unsigned GraphicsContext::BeginDcChange() {
    const unsigned now = GdiDcStateGeneration();
    if (known_.dc != dc_ || known_.generation != now) known_ = KnownDcState{dc_, now};
    return now;
}

void GraphicsContext::EndDcChange(unsigned before) {
    // Anything else that moved the generation meanwhile (another thread's DC) leaves nothing
    // known; a call that failed moved nothing and is not known to have set anything either.
    const unsigned now = GdiDcStateGeneration();
    if (now == before + 1 && known_.dc == dc_ && known_.generation == before)
        known_.generation = now;
    else
        known_ = KnownDcState{};
}

HGDIOBJ GraphicsContext::SelectIntoDc(HGDIOBJ object, bool font) {
    const unsigned before = BeginDcChange();
    HGDIOBJ old = SelectObject(dc_, object);
    EndDcChange(before);
    if (font && known_.dc) known_.font = old ? object : nullptr;
    return old;
}

bool GraphicsContext::DcHoldsFont(HFONT font) {
    if (KnowsDc() && known_.font) return known_.font == font;
    const unsigned before = GdiDcStateGeneration();
    HGDIOBJ held = GetCurrentObject(dc_, OBJ_FONT);
    if (held && GdiDcStateGeneration() == before) {
        if (known_.dc != dc_ || known_.generation != before) known_ = KnownDcState{dc_, before};
        known_.font = held;
    }
    return held == font;
}

void GraphicsContext::SetTextColor(uint32_t c) {
    textColour_ = c;
    if (!dc_) return;
    const uint32_t rgb = c & 0xFFFFFF;
    if (KnowsDc() && known_.textColour == rgb) return;
    const unsigned before = BeginDcChange();
    const bool set = ::SetTextColor(dc_, rgb) != CLR_INVALID;
    EndDcChange(before);
    if (set && known_.dc) known_.textColour = rgb;
}

void GraphicsContext::SetPenColor(uint32_t c) {
    if (c == penColour_) return;
    penColour_ = c;
    penReady_ = false;
}

void GraphicsContext::SetBrushColor(uint32_t c) {
    if (c == brushColour_) return;
    brushColour_ = c;
    brushReady_ = false;
    if (!dc_) return;
    unsigned before = BeginDcChange();
    if (Color::IsNone(c)) {
        SetBkMode(dc_, TRANSPARENT);
    } else {
        SetBkMode(dc_, OPAQUE);
        EndDcChange(before);
        before = BeginDcChange();
        SetBkColor(dc_, c & 0xFFFFFF);
    }
    EndDcChange(before);
}

void GraphicsContext::SelectMade(HGDIOBJ made, HGDIOBJ& initial, HGDIOBJ& current) {
    HGDIOBJ old = SelectIntoDc(made, false);
    if (!initial) initial = old;
    if (current) DeleteObject(current);  // stock objects ignore this
    current = made;
}

void GraphicsContext::RealizePen() {
    if (penReady_ || !dc_) return;
    HPEN pen = Color::IsNone(penColour_) ? CreatePen(PS_NULL, 1, 0)
                                         : CreatePen(PS_SOLID, 1, penColour_ & 0xFFFFFF);
    if (!pen) return;
    SelectMade(pen, initialPen_, pen_);
    penReady_ = true;
}

void GraphicsContext::RealizeBrush() {
    if (brushReady_ || !dc_) return;
    HBRUSH brush = Color::IsNone(brushColour_)
                       ? static_cast<HBRUSH>(GetStockObject(NULL_BRUSH))
                       : CreateSolidBrush(brushColour_ & 0xFFFFFF);
    if (!brush) return;
    SelectMade(brush, initialBrush_, brush_);
    brushReady_ = true;
}

// ---- Fonts ------------------------------------------------------------------------------------

void GraphicsContext::SetFontStyle(const FontStyle& style) {
    style_ = style;
    fontReady_ = false;
    lineFlag_ = (style.flags & (FontStyle::kUnderline | FontStyle::kStrike)) != 0;
}

void GraphicsContext::SetFaceAndSize(uint8_t face, int8_t size) {
    SetFontStyle(FontStyle{size, FontStyle::kPlain, face});
}

void GraphicsContext::FreeCachedFont(CachedFont& entry) {
    if (!entry.font) return;
    // Never delete the font the DC holds: put the DC's own font back first.
    if (entry.font == metricsFont_) metricsFont_ = nullptr;
    if (dc_ && DcHoldsFont(entry.font)) {
        if (initialFont_) SelectIntoDc(initialFont_, true);
        initialFont_ = nullptr;
        fontReady_ = false;
    }
    DeleteObject(entry.font);
    entry = CachedFont{};
}

void GraphicsContext::ReleaseCachedObjects(uint8_t face) {
    for (CachedFont& e : fonts_)
        if (e.font && (face == 0 || e.style.face == face)) FreeCachedFont(e);
    if (face == 0 || face == bitmapFace_) {
        bitmapFont_.Close();
        bitmapFace_ = -1;
        bitmapFaceReady_ = false;
        fontReady_ = false;
    }
}

bool GraphicsContext::IsFontCached(const FontStyle& style) const {
    for (const CachedFont& e : fonts_)
        if (e.font && e.style == style) return true;
    return false;
}

HFONT GraphicsContext::FindFont(const FontStyle& style) {
    for (CachedFont& e : fonts_) {
        if (e.font && e.style == style) {
            e.stamp = ++fontCounter_;
            return e.font;
        }
    }
    LOGFONTW lf{};
    int32_t height = style.size;
    HDC screen = dc_ ? dc_ : nullptr;
    int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (dpi > 96) height = height * dpi / 96;
    lf.lfHeight = height;
    lf.lfWeight = (style.flags & FontStyle::kBold) ? FW_BOLD : 400;
    lf.lfItalic = (style.flags & FontStyle::kItalic) ? 1 : 0;
    lf.lfUnderline = (style.flags & FontStyle::kUnderline) ? 1 : 0;
    lf.lfStrikeOut = (style.flags & FontStyle::kStrike) ? 1 : 0;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfQuality = clearType_ ? CLEARTYPE_QUALITY : DEFAULT_QUALITY;
    if (faces_) {
        if (const Text* name = faces_->FaceName(style.face)) {
            const char16_t* wide = name->WideCStr();
            for (int i = 0; wide && i < 31 && wide[i]; ++i) lf.lfFaceName[i] = wide[i];
        }
    }
    auto victim = [this]() -> CachedFont* {
        CachedFont* v = nullptr;
        for (CachedFont& e : fonts_) {
            if (!e.font) return &e;
            if (!v || e.stamp < v->stamp) v = &e;
        }
        return v;
    };
    CachedFont* slot = victim();
    FreeCachedFont(*slot);
    HFONT font = CreateFontIndirectW(&lf);
    while (!font) {
        // Make room: free the least recently used entry left and try again.
        CachedFont* oldest = nullptr;
        for (CachedFont& e : fonts_)
            if (e.font && (!oldest || e.stamp < oldest->stamp)) oldest = &e;
        if (!oldest) return nullptr;
        FreeCachedFont(*oldest);
        font = CreateFontIndirectW(&lf);
    }
    slot->font = font;
    slot->style = style;
    slot->stamp = ++fontCounter_;
    return font;
}

bool GraphicsContext::RealizeFont() {
    if (fontReady_) return true;
    bitmapFaceReady_ = false;
    uint8_t v = style_.flags >> 4;
    baselineShift_ = v == 6 ? style_.size / -3 : v == 7 ? style_.size / 3 : 0;
    if (faces_ && faces_->IsBitmapFace(style_.face)) {
        if (bitmapFace_ != style_.face) {
            const Text* path = faces_->FaceName(style_.face);
            bitmapFace_ = path && bitmapFont_.Open(*path) == 0 ? style_.face : -1;
        }
        int32_t size = std::abs(static_cast<int32_t>(style_.size));
        if (bitmapFace_ == style_.face &&
            bitmapFont_.SelectFace(nullptr, size, (style_.flags & FontStyle::kItalic) != 0,
                                   (style_.flags & FontStyle::kBold) != 0, 8) == 0) {
            bitmapFaceReady_ = true;
            fontReady_ = true;
            return true;
        }
        style_.face = 1;
    }
    if (!dc_) return false;
    HFONT font = FindFont(style_);
    if (!font) return false;
    // Layout sets the style of every text run, mostly the one already selected: then the DC
    // holds the font still and metrics_ are its own.
    if (font == metricsFont_ && dc_ == metricsDC_ && initialFont_ &&
        metricsGeneration_ == GdiFontGeneration() && DcHoldsFont(font)) {
        fontReady_ = true;
        return true;
    }
    HGDIOBJ old = SelectIntoDc(font, true);
    if (!initialFont_) initialFont_ = old;
    ReadFontMetrics(font);
    metricsFont_ = font;
    metricsDC_ = dc_;
    metricsGeneration_ = GdiFontGeneration();
    fontReady_ = true;
    return true;
}

void GraphicsContext::ReadFontMetrics(HFONT font) {
    const unsigned generation = GdiFontGeneration();
    for (CachedFont& e : fonts_) {
        if (e.font != font) continue;
        if (!e.metricsRead || e.metricsGeneration != generation) {
            GetTextMetricsW(dc_, &e.metrics);
            e.metricsGeneration = generation;
            e.metricsRead = true;
        }
        metrics_ = e.metrics;
        return;
    }
    GetTextMetricsW(dc_, &metrics_);
}

int32_t GraphicsContext::ScaleForDpi(int32_t pixels) const {
    const int dpi = dc_ ? GetDeviceCaps(dc_, LOGPIXELSY) : 96;
    return dpi > 96 ? pixels * dpi / 96 : pixels;
}

int32_t GraphicsContext::FontAscent() {
    if (!RealizeFont()) return 0;
    if (bitmapFaceReady_) {
        int32_t h, a;
        bitmapFont_.Metrics(h, a);
        return a - baselineShift_;
    }
    return metrics_.tmAscent - baselineShift_;
}

int32_t GraphicsContext::FontDescent() {
    if (!RealizeFont()) return 0;
    if (bitmapFaceReady_) {
        int32_t h, a;
        bitmapFont_.Metrics(h, a);
        return h - a + baselineShift_;
    }
    return metrics_.tmDescent + baselineShift_;
}

// ---- Text -------------------------------------------------------------------------------------

void GraphicsContext::SetBitmapFontTarget(uint8_t* pixels, int32_t stride, int32_t height,
                                          int depth, Point origin) {
    fontPixels_ = pixels;
    fontOrigin_ = origin;
    bitmapFont_.SetTarget(pixels, stride, height, depth, true, true);
}

void GraphicsContext::SetBitmapFaceColours() {
    bool noBrush = Color::IsNone(brushColour_) || brushColour_ == kUnsetColour;
    uint32_t back = noBrush ? background_ : brushColour_;
    bitmapFont_.SetColors(
        Color::IsNone(textColour_) || textColour_ == kUnsetColour ? 0 : textColour_,
        back & 0xFFFFFF);
}

// Without a pixel buffer of the surface's, bitmap glyphs go through a 32-bit copy of the area
// under them: GDI copies it in and back, so the DC's origin, clip and kind of target all hold.
void GraphicsContext::DrawBitmapFaceScratch(const Rect& box, Point pen, const char16_t* text,
                                            int32_t length, int32_t lineWidth) {
    if (box.width <= 0 || box.height <= 0) return;
    auto info = std::make_unique<DibHeader>();
    info->header.biSize = sizeof(BITMAPINFOHEADER);
    info->header.biWidth = box.width;
    info->header.biHeight = -box.height;
    info->header.biPlanes = 1;
    info->header.biBitCount = 32;
    info->header.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP scratch = CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(info.get()),
                                       DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC mem = scratch && bits ? CreateCompatibleDC(dc_) : nullptr;
    if (!mem) {
        if (scratch) DeleteObject(scratch);
        return;
    }
    HGDIOBJ old = SelectObject(mem, scratch);
    BitBlt(mem, 0, 0, box.width, box.height, dc_, box.x, box.y, SRCCOPY);
    bitmapFont_.SetTarget(static_cast<uint8_t*>(bits), box.width * 4, box.height, 32, false, true);
    SetBitmapFaceColours();
    bitmapFont_.SetClip(0, box.width, 0, box.height);
    const Point at{pen.x - box.x, pen.y - box.y};
    if (text)
        bitmapFont_.DrawText(at.x, at.y, text, length, (style_.flags & FontStyle::kUnderline) != 0);
    else
        bitmapFont_.DrawLine(at.x, at.x + lineWidth, at.y);
    bitmapFont_.SetTarget(nullptr, 0, 0, 0, false, true);
    BitBlt(dc_, box.x, box.y, box.width, box.height, mem, 0, 0, SRCCOPY);
    SelectObject(mem, old);
    DeleteDC(mem);
    DeleteObject(scratch);
    MarkChanged(&box);
}

void GraphicsContext::DrawText(const char16_t* text, int32_t length, Point p) {
    if (!dc_ || !text || length <= 0) return;
    RealizeFont();
    if (bitmapFaceReady_) {
        if (!fontPixels_) {
            int32_t left = 0, width = 0, right = 0, height = 0, ascent = 0;
            bitmapFont_.MeasureRun(text, length, left, width, right);
            bitmapFont_.Metrics(height, ascent);
            // Room for glyphs that reach past their advance, lean or sit below the line.
            const int32_t margin = height + 4;
            const Rect box{p.x - margin, p.y - margin, left + width + right + 4 + 2 * margin,
                           height + 2 * margin};
            // The glyphs' origin sits 4 pixels in from the pen, as the faces were drawn for.
            DrawBitmapFaceScratch(box, Point{p.x + 4, p.y}, text, length, 0);
            return;
        }
        SetBitmapFaceColours();
        Rect c = clip_;
        bitmapFont_.SetClip(c.x - fontOrigin_.x, c.Right() - fontOrigin_.x, c.y - fontOrigin_.y,
                            c.Bottom() - fontOrigin_.y);
        // The glyphs' origin sits 4 pixels in from the pen, as the faces were drawn for.
        bitmapFont_.DrawText(p.x + origin_.x - fontOrigin_.x + 4, p.y + origin_.y - fontOrigin_.y,
                             text, length, (style_.flags & FontStyle::kUnderline) != 0);
        return;
    }
    ExtTextOutW(dc_, p.x, p.y, 0, nullptr, text, static_cast<UINT>(length), nullptr);
}

void GraphicsContext::DrawTexts(const TextPiece* pieces, int32_t count) {
    DrawPieces(pieces, count, false);
}

void GraphicsContext::DrawTextsOnBaseline(const TextPiece* pieces, int32_t count) {
    DrawPieces(pieces, count, true);
}

void GraphicsContext::DrawPieces(const TextPiece* pieces, int32_t count, bool onBaseline) {
    if (!dc_ || !pieces || count <= 0) return;
    RealizeFont();
    // A piece's text point is the top of its text: a baseline lies the font's ascent below it.
    const int32_t lift = onBaseline ? FontAscent() : 0;
    if (bitmapFaceReady_) {
        for (int32_t k = 0; k < count; ++k)
            DrawText(pieces[k].text, pieces[k].length,
                     Point{pieces[k].at.x, pieces[k].at.y - lift});
        return;
    }
    thread_local std::vector<POLYTEXTW> texts;
    texts.clear();
    for (int32_t k = 0; k < count; ++k) {
        const TextPiece& piece = pieces[k];
        if (!piece.text || piece.length <= 0) continue;
        POLYTEXTW t;
        t.x = piece.at.x;
        t.y = piece.at.y - lift;
        t.n = static_cast<UINT>(piece.length);
        t.lpstr = piece.text;
        texts.push_back(t);
    }
    PolyTextOutW(dc_, texts.data(), static_cast<int>(texts.size()));
}

void GraphicsContext::DrawTextInRect(const char16_t* text, int32_t length, const RECT& rect,
                                     UINT format) {
    if (!dc_ || !text) return;
    RealizeFont();
    RECT r = rect;
    DrawTextW(dc_, text, length, &r, format);
}

void GraphicsContext::DrawMultilineText(const char16_t* text, int32_t length, Point p) {
    if (!dc_ || !text) return;
    int32_t step = FontAscent() + FontDescent();
    int32_t start = 0;
    for (int32_t i = 0; i <= length; ++i) {
        if (i < length && text[i] != u'\r' && text[i] != u'\n') continue;
        DrawText(text + start, i - start, p);
        p.y += step;
        if (i + 1 < length && text[i] == u'\r' && text[i + 1] == u'\n') ++i;
        start = i + 1;
    }
}

void GraphicsContext::DrawUnderline(Point p, int32_t width) {
    if (!dc_ || !lineFlag_ || width <= 0) return;
    RealizeFont();
    if (bitmapFaceReady_ && !fontPixels_) {
        int32_t height = 0, ascent = 0;
        bitmapFont_.Metrics(height, ascent);
        const int32_t from = p.x - 1 >= 1 ? p.x - 1 : p.x;
        const Rect box{from, p.y, p.x + width - from, ascent + 3};
        DrawBitmapFaceScratch(box, Point{from, p.y}, nullptr, 0, p.x + width - from);
        return;
    }
    if (bitmapFaceReady_) {
        int32_t x = p.x + origin_.x - fontOrigin_.x;
        int32_t from = x - 1 >= 1 ? x - 1 : x;
        bitmapFont_.DrawLine(from, x + width, p.y + origin_.y - fontOrigin_.y);
        return;
    }
    // Enough spaces to cover the gap, so the font's own line is drawn across all of it.
    SIZE space{};
    GetTextExtentPoint32W(dc_, u" ", 1, &space);
    int32_t n = std::clamp(width / std::max<int32_t>(space.cx, 1) + 2, 64, 4096);
    std::vector<char16_t> spaces(static_cast<size_t>(n), u' ');
    RECT r{p.x, p.y, p.x + width, p.y + 1000};
    DrawTextW(dc_, spaces.data(), n, &r, DT_SINGLELINE | DT_NOPREFIX);
}

bool GraphicsContext::MeasureText(const char16_t* text, int32_t length, Size& out) {
    out = Size{};
    if (!text || length < 0) return false;
    if (!RealizeFont() && !dc_) return false;
    if (bitmapFaceReady_) {
        int32_t left, width, right, h, a;
        bitmapFont_.MeasureRun(text, length, left, width, right);
        bitmapFont_.Metrics(h, a);
        out = Size{left + width + right, h};
        return true;
    }
    SIZE s{};
    if (!GetTextExtentExPointW(dc_, text, length, 0, nullptr, nullptr, &s)) return false;
    out = Size{s.cx, s.cy};
    return true;
}

bool GraphicsContext::MeasuresByAdvances() {
    return RealizeFont() && !bitmapFaceReady_;
}

int32_t GraphicsContext::FitCount(const char16_t* text, int32_t length, int32_t maxWidth) {
    if (!text || length <= 0) return 0;
    if (!RealizeFont() && !dc_) return 0;
    if (bitmapFaceReady_) return bitmapFont_.FitCount(text, length, maxWidth);
    int fit = 0;
    SIZE s{};
    if (!GetTextExtentExPointW(dc_, text, length, maxWidth, &fit, nullptr, &s)) return 0;
    return fit;
}

// ---- Shapes -----------------------------------------------------------------------------------

void GraphicsContext::DrawRectangle(const Rect& r, bool filled) {
    if (!dc_) return;
    RealizePen();
    if (drawMode_ & kDrawInvert) {
        RealizeBrush();
        int32_t e = osAtLeast5_ ? 0 : 1;
        Rectangle(dc_, r.x - e, r.y - e, r.Right() + e, r.Bottom() + e);
    } else if (filled) {
        RealizeBrush();
        Rectangle(dc_, r.x, r.y, r.Right(), r.Bottom());
    } else {
        POINT pts[5] = {{r.x, r.y},
                        {r.Right() - 1, r.y},
                        {r.Right() - 1, r.Bottom() - 1},
                        {r.x, r.Bottom() - 1},
                        {r.x, r.y}};
        Polyline(dc_, pts, 5);
    }
    MarkChanged(&r);
}

void GraphicsContext::DrawRoundRect(const Rect& r, int32_t radius) {
    if (!dc_) return;
    RealizePen();
    RealizeBrush();
    if (drawMode_ & kDrawInvert)
        Rectangle(dc_, r.x - 1, r.y - 1, r.Right() + 1, r.Bottom() + 1);
    else
        RoundRect(dc_, r.x, r.y, r.Right(), r.Bottom(), 2 * radius, 2 * radius);
    MarkChanged(&r);
}

void GraphicsContext::DrawCircle(Point c, int32_t radius, bool filled) {
    if (!dc_) return;
    RealizePen();
    if (filled) {
        RealizeBrush();
        Ellipse(dc_, c.x - radius, c.y - radius, c.x + radius, c.y + radius);
    } else {
        HGDIOBJ old = SelectObject(dc_, GetStockObject(NULL_BRUSH));
        Ellipse(dc_, c.x - radius, c.y - radius, c.x + radius, c.y + radius);
        SelectObject(dc_, old);
    }
    Rect box{c.x - radius, c.y - radius, 2 * radius, 2 * radius};
    MarkChanged(&box);
}

void GraphicsContext::DrawLine(Point from, Point to) {
    if (!dc_) return;
    RealizePen();
    POINT pts[2] = {{from.x, from.y}, {to.x, to.y}};
    Polyline(dc_, pts, 2);
    if (Color::IsNone(penColour_) || penColour_ == kUnsetColour) return;
    // The line leaves its last point out; draw it too. Inverting inverts it, so a line drawn
    // twice restores the screen.
    if (drawMode_ & kDrawInvert)
        ::SetPixel(dc_, to.x, to.y, ~GetPixel(dc_, to.x, to.y) & 0xFFFFFF);
    else
        ::SetPixel(dc_, to.x, to.y, penColour_ & 0xFFFFFF);
}

void GraphicsContext::SetPixel(Point p, uint32_t c) {
    if (dc_) ::SetPixel(dc_, p.x, p.y, c & 0xFFFFFF);
}

void GraphicsContext::FillRect(const Rect& r) {
    if (!dc_ || r.IsEmpty()) return;
    RealizeBrush();
    if (!brush_ || Color::IsNone(brushColour_)) return;
    RECT rc = ToRect(r);
    ::FillRect(dc_, &rc, static_cast<HBRUSH>(brush_));
}

void GraphicsContext::FillBackground(const Rect& r) {
    if (!dc_) return;
    if (backgroundBitmap_ && !backgroundBitmap_->IsEmpty()) {
        Blit(*backgroundBitmap_, Point{r.x, r.y}, r);
        MarkChanged(&r);
        return;
    }
    uint32_t saved = brushColour_;
    SetBrushColor(background_);
    FillRect(r);
    MarkChanged(&r);
    SetBrushColor(saved);
}

void GraphicsContext::SetBackgroundBitmap(OffscreenBitmap* bitmap) {
    if (backgroundBitmap_.get() == bitmap) return;
    backgroundBitmap_.reset(bitmap);
}

void OffscreenBitmapFree::operator()(OffscreenBitmap* bitmap) const {
    bitmap->Free();
    delete bitmap;
}

void GraphicsContext::FillGradient(const Rect& r, uint32_t from, uint32_t to, bool vertical) {
    if (!dc_ || r.IsEmpty()) return;
    uint32_t saved = penColour_;
    int32_t n = vertical ? r.height : r.width;
    for (int32_t i = 0; i < n; ++i) {
        uint32_t c;
        Color::Mix(c, from, to, static_cast<uint32_t>(i), static_cast<uint32_t>(n));
        SetPenColor(c);
        if (vertical)
            DrawLine(Point{r.x, r.y + i}, Point{r.Right() - 1, r.y + i});
        else
            DrawLine(Point{r.x + i, r.y}, Point{r.x + i, r.Bottom() - 1});
    }
    SetPenColor(saved);
}

void GraphicsContext::DrawZigZag(const Rect& r, bool down, bool startFar, bool alignPhase) {
    if (!dc_) return;
    int32_t a = down ? r.width - 1 : r.height - 1;
    int32_t l = down ? r.height - 1 : r.width - 1;
    if (l < 1) return;
    if (a < 1) {
        DrawLine(Point{r.x, r.y}, Point{r.Right() - 1, r.Bottom() - 1});
        return;
    }
    // A triangle wave of period 2A along the run; u is the wave's phase.
    int32_t phase0 = startFar ? a : 0;
    if (alignPhase) phase0 += down ? r.y : r.x;
    auto offset = [a](int32_t u) {
        int32_t v = PositiveMod(u, 2 * a);
        return v <= a ? v : 2 * a - v;
    };
    auto at = [&](int32_t t) {
        int32_t o = offset(t + phase0);
        return down ? Point{r.x + o, r.y + t} : Point{r.x + t, r.y + o};
    };
    for (int32_t t = 0; t < l;) {
        int32_t next = std::min(l, t + (a - PositiveMod(t + phase0, a)));
        DrawLine(at(t), at(next));
        t = next;
    }
}

// ---- Bitmaps ----------------------------------------------------------------------------------

void GraphicsContext::Blit(const OffscreenBitmap& source, Point from, const Rect& to) {
    if (!dc_ || !source.dc) return;
    BitBlt(dc_, to.x, to.y, to.width, to.height, source.dc, from.x, from.y, SRCCOPY);
}

void GraphicsContext::StretchBlit(const OffscreenBitmap& source, const Rect& from, const Rect& to) {
    if (!dc_ || !source.dc) return;
    StretchBlt(dc_, to.x, to.y, to.width, to.height, source.dc, from.x, from.y, from.width,
               from.height, SRCCOPY);
}

void GraphicsContext::TransparentBlit(const OffscreenBitmap& source, const Rect& from,
                                      const Rect& to, uint32_t key) {
    if (!dc_ || !source.dc) return;
    TransparentImage(dc_, to.x, to.y, to.width, to.height, source.dc, from.x, from.y, from.width,
                     from.height, key & 0xFFFFFF);
}

void GraphicsContext::ScrollArea(const Rect& r, Point delta) {
    if (!dc_) return;
    RECT rc = ToRect(r);
    if (delta.x) ScrollDC(dc_, delta.x, 0, &rc, &rc, nullptr, nullptr);
    if (delta.y) ScrollDC(dc_, 0, delta.y, &rc, &rc, nullptr, nullptr);
}

bool GraphicsContext::CaptureArea(OffscreenBitmap& record, const Rect& r) {
    record.Free();
    if (!dc_ || r.IsEmpty()) return false;
    record.dc = CreateCompatibleDC(dc_);
    record.bitmap = record.dc ? CreateCompatibleBitmap(dc_, r.width, r.height) : nullptr;
    if (!record.bitmap) {
        record.Free();
        return false;
    }
    record.previous = SelectObject(record.dc, record.bitmap);
    record.size = Size{r.width, r.height};
    if (!BitBlt(record.dc, 0, 0, r.width, r.height, dc_, r.x, r.y, SRCCOPY)) {
        record.Free();
        return false;
    }
    return true;
}

HBITMAP GraphicsContext::CreateScreenBitmap(Size size, void** bits) {
    HDC screen = GetDC(nullptr);
    int depth = screen ? GetDeviceCaps(screen, BITSPIXEL) : 32;
    if (screen) ReleaseDC(nullptr, screen);
    if (depth != 8 && depth != 16 && depth != 24 && depth != 32) depth = 32;
    auto info = std::make_unique<DibHeader>();
    info->header.biSize = sizeof(BITMAPINFOHEADER);
    info->header.biWidth = std::max(size.width, 1);
    info->header.biHeight = -std::max(size.height, 1);
    info->header.biPlanes = 1;
    info->header.biBitCount = static_cast<WORD>(depth);
    info->header.biCompression = BI_RGB;
    if (depth == 16) {
        info->header.biCompression = BI_BITFIELDS;
        info->masks[0] = 0xF800;
        info->masks[1] = 0x07E0;
        info->masks[2] = 0x001F;
    }
    // Without `bits`, nobody writes the memory but through the drawing calls.
    return CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(info.get()),
                            DIB_RGB_COLORS, bits, nullptr, 0);
}

bool GraphicsContext::CreateOffscreen(OffscreenBitmap& record, Size size) {
    record.Free();
    record.dc = CreateCompatibleDC(dc_);
    record.bitmap = record.dc ? CreateScreenBitmap(size, nullptr) : nullptr;
    if (!record.bitmap) {
        record.Free();
        return false;
    }
    record.previous = SelectObject(record.dc, record.bitmap);
    record.size = Size{std::max(size.width, 1), std::max(size.height, 1)};
    return true;
}

bool GraphicsContext::DrawOffscreenTransparent(const OffscreenBitmap& record, const Rect& r,
                                               uint32_t key) {
    if (!dc_ || record.IsEmpty()) return true;
    FillBackground(r);
    TransparentImage(dc_, r.x, r.y, r.width, r.height, record.dc, 0, 0, r.width, r.height,
                     key & 0xFFFFFF);
    MarkChanged(&r);
    return false;
}

bool GraphicsContext::RestoreOffscreen(OffscreenBitmap& record, const Rect& r, bool free) {
    if (!dc_ || record.IsEmpty()) return true;
    bool ok = BitBlt(dc_, r.x, r.y, r.width, r.height, record.dc, 0, 0, SRCCOPY) != 0;
    if (free) record.Free();
    if (ok) MarkChanged(&r);
    return !ok;
}

void GraphicsContext::StretchBitmap(HBITMAP bitmap, Size source, const Rect& to, const Rect* clip) {
    if (!dc_ || !bitmap || to.IsEmpty()) return;
    HDC mem = CreateCompatibleDC(dc_);
    if (!mem) return;
    HGDIOBJ old = SelectObject(mem, bitmap);
    Rect saved = clip_;
    Point origin = origin_;
    IntersectClip(clip ? *clip : to);
    StretchBlt(dc_, to.x, to.y, to.width, to.height, mem, 0, 0, source.width, source.height,
               SRCCOPY);
    // Back to the previous clip, which is held in device coordinates.
    SetViewportOrigin(Point{});
    if (IsInfinite(saved))
        ResetClip();
    else
        SetClipRect(saved);
    SetViewportOrigin(origin);
    SelectObject(mem, old);
    DeleteDC(mem);
    Rect changed;
    if (Rect::Intersect(to, clip ? *clip : to, changed)) MarkChanged(&changed);
}

void GraphicsContext::DrawIcon(const Rect& r, const Rect& clip, HICON icon, Size iconSize) {
    if (!dc_ || !icon) return;
    Size box = Size::ShrinkToFit(Size{r.width, r.height}, iconSize, false);
    Rect placed{r.x + (r.width - box.width) / 2, r.y + (r.height - box.height) / 2, box.width,
                box.height};
    Rect visible;
    if (!Rect::Intersect(placed, clip, visible)) return;
    DrawIconEx(dc_, placed.x, placed.y, icon, iconSize.width, iconSize.height, 0, nullptr,
               DI_NORMAL);
    MarkChanged(&visible);
}

namespace {

struct ImageTarget {
    HBITMAP bitmap = nullptr;
    HDC dc = nullptr;
    HGDIOBJ old = nullptr;
    ~ImageTarget() {
        if (dc && old) SelectObject(dc, old);
        if (bitmap) DeleteObject(bitmap);
        if (dc) DeleteDC(dc);
    }
};

}  // namespace

// ---- Kept pictures ----

namespace {
std::mutex g_keptLock;
KeptPicture* g_oldest = nullptr;  // least recently drawn first
KeptPicture* g_newest = nullptr;
size_t g_keptBytes = 0;
size_t g_keptBudget = 8u << 20;
}  // namespace

KeptPicture::KeptPicture() = default;

KeptPicture::~KeptPicture() {
    Release();
}

void KeptPicture::Release() {
    std::lock_guard<std::mutex> guard(g_keptLock);
    ReleaseLocked();
}

void KeptPicture::ReleaseLocked() {
    if (listed_) {
        (older_ ? older_->newer_ : g_oldest) = newer_;
        (newer_ ? newer_->older_ : g_newest) = older_;
        older_ = newer_ = nullptr;
        listed_ = false;
        g_keptBytes -= bytes_;
    }
    if (bitmap_) DeleteObject(bitmap_);
    jpeg_.reset();
    bitmap_ = nullptr;
    bytes_ = 0;
}

bool KeptPicture::Holds() const {
    return bitmap_ || jpeg_;
}

void KeptPicture::SetBudget(size_t bytes) {
    std::lock_guard<std::mutex> guard(g_keptLock);
    g_keptBudget = bytes;
    while (g_oldest && g_keptBytes > g_keptBudget) g_oldest->ReleaseLocked();
}

size_t KeptPicture::HeldBytes() {
    std::lock_guard<std::mutex> guard(g_keptLock);
    return g_keptBytes;
}

// Enters the picture just made (or drawn again) as the most recent, releasing the oldest
// others while the budget is exceeded; one larger than the budget is not kept at all.
void KeptPicture::Keep(size_t bytes) {
    std::lock_guard<std::mutex> guard(g_keptLock);
    if (listed_) {
        (older_ ? older_->newer_ : g_oldest) = newer_;
        (newer_ ? newer_->older_ : g_newest) = older_;
        g_keptBytes -= bytes_;
        listed_ = false;
    }
    bytes_ = bytes;
    if (bytes > g_keptBudget) {
        ReleaseLocked();
        return;
    }
    older_ = g_newest;
    newer_ = nullptr;
    (g_newest ? g_newest->newer_ : g_oldest) = this;
    g_newest = this;
    listed_ = true;
    g_keptBytes += bytes;
    while (g_oldest != this && g_keptBytes > g_keptBudget) g_oldest->ReleaseLocked();
}

namespace {
// The colour a paletted picture's transparent entry is drawn in.
uint32_t ImageFill(uint32_t brush, uint32_t background, uint32_t unset) {
    return !Color::IsNone(brush) && brush != unset ? brush
           : !Color::IsNone(background)            ? background
                                                   : 0xFFFFFF;
}
}  // namespace

bool GraphicsContext::DrawKeptImage(const Rect& r, const Rect& clip, KeptPicture& keep) {
    if (!keep.Holds() || keep.size_.width != r.width || keep.size_.height != r.height)
        return false;
    if (keep.usesFill_ && keep.fill_ != ImageFill(brushColour_, background_, kUnsetColour))
        return false;
    Rect visible;
    if (!Rect::Intersect(r, clip, visible)) return true;
    if (!dc_) return false;
    bool ok = keep.jpeg_ ? TileJpeg(*keep.jpeg_, r, clip, visible)
                         : BlitPicture(keep.bitmap_, keep.covered_, r, visible);
    if (ok) keep.Keep(keep.bytes_);  // the most recently drawn now
    return ok;
}

bool GraphicsContext::TileJpeg(CxImage& fitted, const Rect& r, const Rect& clip,
                               const Rect& visible) {
    Rect saved = clip_;
    Point origin = origin_;
    IntersectClip(clip);
    bool ok = fitted.TileToDC(dc_, r.x, r.y);
    SetViewportOrigin(Point{});
    if (IsInfinite(saved))
        ResetClip();
    else
        SetClipRect(saved);
    SetViewportOrigin(origin);
    if (ok) MarkChanged(&visible);
    return ok;
}

bool GraphicsContext::BlitPicture(HBITMAP bitmap, Rect covered, const Rect& r,
                                  const Rect& visible) {
    covered.x += r.x;
    covered.y += r.y;
    Rect copy;
    if (!Rect::Intersect(covered, visible, copy)) return true;
    ImageTarget target;
    target.dc = CreateCompatibleDC(dc_);
    if (!target.dc) return false;
    target.old = SelectObject(target.dc, bitmap);
    bool ok = BitBlt(dc_, copy.x, copy.y, copy.width, copy.height, target.dc, copy.x - r.x,
                     copy.y - r.y, SRCCOPY);
    if (ok) MarkChanged(&copy);
    return ok;
}

bool GraphicsContext::DrawImage(const Rect& r, const Rect& clip, const uint8_t* data,
                                uint32_t length, KeptPicture* keep, bool enlarge) {
    Rect visible;
    if (!Rect::Intersect(r, clip, visible)) return true;
    if (!dc_ || !data || length == 0) return false;
    if (static_cast<uint64_t>(r.width) * static_cast<uint64_t>(r.height) > kMaxImagePixels)
        return false;
    ImageDecoder decoder;
    if (!decoder.Open(data, length, true) || !decoder.IsValid()) return false;
    if (decoder.Type() == ImageDecoder::kJpeg) {
        CxImage picture(CXIMAGE_FORMAT_UNKNOWN);
        // A photograph shown small is decoded small: at the least of the JPEG library's scales
        // whose picture still covers the Rect, never whole and then thrown away.
        picture.SetJpegScale(JpegScaleToCover(decoder.Width(), decoder.Height(), r.width, r.height));
        if (!picture.DecodeMemory(data, length, CXIMAGE_FORMAT_JPG) || !picture.IsValid())
            return false;
        auto fitted = std::make_unique<CxImage>(CXIMAGE_FORMAT_UNKNOWN);
        if (!picture.Resample(r.width, r.height, 1, fitted.get()) || !fitted->IsValid())
            return false;
        bool ok = TileJpeg(*fitted, r, clip, visible);
        if (ok && keep) {
            keep->Release();
            keep->size_ = Size{r.width, r.height};
            keep->usesFill_ = false;
            keep->jpeg_ = std::move(fitted);
            keep->Keep(static_cast<size_t>(r.width) * static_cast<size_t>(r.height) * 3);
        }
        return ok;
    }
    // Paletted pictures decode into an 8-bit DIB of the Rect's size with a full palette.
    auto info = std::make_unique<DibHeader>();
    info->header.biSize = sizeof(BITMAPINFOHEADER);
    info->header.biWidth = r.width;
    info->header.biHeight = -r.height;
    info->header.biPlanes = 1;
    info->header.biBitCount = 8;
    info->header.biClrUsed = 256;
    PaletteToRgbQuad(decoder, info->colors);
    uint32_t transparent = decoder.TransparentIndex();
    // What the picture leaves unpainted (its transparent colour, and the rows a damaged picture
    // never reaches) shows the fill: through the transparent entry, else through an entry the
    // palette leaves free.
    const uint32_t blank = transparent < 256                   ? transparent
                           : decoder.PaletteCount() < 256 ? 255
                                                          : 256;
    if (blank < 256) {
        uint32_t c = ImageFill(brushColour_, background_, kUnsetColour);
        info->colors[blank] = RGBQUAD{static_cast<BYTE>(c >> 16), static_cast<BYTE>(c >> 8),
                                      static_cast<BYTE>(c), 0};
    }
    const uint32_t fullW = decoder.Width(), fullH = decoder.Height();
    const uint32_t rw = static_cast<uint32_t>(r.width), rh = static_cast<uint32_t>(r.height);
    const bool enlarged =
        enlarge && fullW > 0 && fullH > 0 && fullW <= rw && fullH <= rh && (fullW < rw || fullH < rh);
    if ((enlarged || fullW > rw || fullH > rh) && fullW <= 65535 && fullH <= 65535 &&
        static_cast<uint64_t>(fullW) * fullH <= kMaxImagePixels) {
        // Decoded whole, then shrunk (or grown) by the device layer's stretch, which averages the
        // area each pixel covers: a decoder keeping one row and column in n drops thinner lines.
        auto full = std::make_unique<DibHeader>(*info);
        full->header.biWidth = static_cast<LONG>(fullW);
        full->header.biHeight = -static_cast<LONG>(fullH);
        ImageTarget whole;
        void* wholeBits = nullptr;
        whole.bitmap = CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(full.get()),
                                        DIB_RGB_COLORS, &wholeBits, nullptr, 0);
        if (!whole.bitmap || !wholeBits) return false;
        const uint32_t wholeStride = (fullW + 3) & ~3u;
        if (transparent < 256) std::memset(wholeBits, static_cast<int>(transparent), wholeStride * fullH);
        decoder.SetOptions(true, true, false, false);
        if (decoder.SetFormat(fullW, fullH, 8, wholeBits, wholeStride, nullptr, nullptr, false) != 0 ||
            decoder.Decode(0, 0) != 0)
            return false;
        BITMAPINFO colour{};
        colour.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        colour.bmiHeader.biWidth = r.width;
        colour.bmiHeader.biHeight = -r.height;
        colour.bmiHeader.biPlanes = 1;
        colour.bmiHeader.biBitCount = 32;
        ImageTarget shrunk;
        void* shrunkBits = nullptr;
        shrunk.bitmap = CreateDIBSection(nullptr, &colour, DIB_RGB_COLORS, &shrunkBits, nullptr, 0);
        if (!shrunk.bitmap || !shrunkBits) return false;
        const uint32_t fill = transparent < 256 ? ImageFill(brushColour_, background_, kUnsetColour) : 0;
        const int32_t sw =
            enlarged ? r.width : std::min<int32_t>(static_cast<int32_t>(fullW), r.width);
        const int32_t sh =
            enlarged ? r.height : std::min<int32_t>(static_cast<int32_t>(fullH), r.height);
        whole.dc = CreateCompatibleDC(dc_);
        shrunk.dc = CreateCompatibleDC(dc_);
        if (!whole.dc || !shrunk.dc) return false;
        whole.old = SelectObject(whole.dc, whole.bitmap);
        shrunk.old = SelectObject(shrunk.dc, shrunk.bitmap);
        if (!StretchBlt(shrunk.dc, 0, 0, sw, sh, whole.dc, 0, 0, static_cast<int>(fullW),
                        static_cast<int>(fullH), SRCCOPY))
            return false;
        SelectObject(shrunk.dc, shrunk.old);
        shrunk.old = nullptr;
        const Rect covered{0, 0, sw, sh};
        bool ok = BlitPicture(shrunk.bitmap, covered, r, visible);
        if (ok && keep) {
            keep->Release();
            keep->size_ = Size{r.width, r.height};
            keep->usesFill_ = transparent < 256;
            keep->fill_ = fill;
            keep->covered_ = covered;
            keep->bitmap_ = shrunk.bitmap;
            shrunk.bitmap = nullptr;
            keep->Keep(static_cast<size_t>(r.width) * 4 * static_cast<size_t>(r.height));
        }
        return ok;
    }
    ImageTarget target;
    void* bits = nullptr;
    target.bitmap = CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(info.get()),
                                     DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!target.bitmap || !bits) return false;
    uint32_t stride = (static_cast<uint32_t>(r.width) + 3) & ~3u;
    if (blank < 256) std::memset(bits, static_cast<int>(blank), stride * r.height);
    decoder.SetOptions(true, true, false, false);
    if (decoder.SetFormat(static_cast<uint32_t>(r.width), static_cast<uint32_t>(r.height), 8, bits,
                          stride, nullptr, nullptr, false) != 0)
        return false;
    Rect covered;
    int originX = 0, originY = 0;
    uint32_t w = decoder.Width(), h = decoder.Height();
    const bool fits = w <= static_cast<uint32_t>(r.width) && h <= static_cast<uint32_t>(r.height);
    if (decoder.Type() == ImageDecoder::kBmp && fits) {
        // At its own size, centred. One larger than the Rect is scaled down as a GIF is: cut to
        // its middle, it would show a part of the picture as if it were the whole.
        originX = (r.width - static_cast<int32_t>(w)) / 2;
        originY = (r.height - static_cast<int32_t>(h)) / 2;
        covered = Rect{originX, originY, static_cast<int32_t>(w), static_cast<int32_t>(h)};
    } else {
        uint32_t sw = std::min<uint32_t>(w, static_cast<uint32_t>(r.width));
        uint32_t sh = std::min<uint32_t>(h, static_cast<uint32_t>(r.height));
        if (w > 65535 || h > 65535 || sw == 0 || sh == 0) return false;
        decoder.SetScale(static_cast<uint16_t>(sw), static_cast<uint16_t>(w),
                         static_cast<uint16_t>(sh), static_cast<uint16_t>(h));
        covered = Rect{0, 0, static_cast<int32_t>(sw), static_cast<int32_t>(sh)};
    }
    // Data cut short or damaged: the rows decoded before the fault are shown all the same, and
    // the caller is told the picture is not whole.
    const bool whole = decoder.Decode(originX, originY) == 0;
    bool ok = BlitPicture(target.bitmap, covered, r, visible);
    if (!whole) return false;
    if (ok && keep) {
        keep->Release();
        keep->size_ = Size{r.width, r.height};
        keep->usesFill_ = transparent < 256;
        keep->fill_ = keep->usesFill_ ? ImageFill(brushColour_, background_, kUnsetColour) : 0;
        keep->covered_ = covered;
        keep->bitmap_ = target.bitmap;
        target.bitmap = nullptr;
        keep->Keep(static_cast<size_t>(stride) * static_cast<size_t>(r.height));
    }
    return ok;
}

void GraphicsContext::CopyRotated(const OffscreenBitmap& record, Point from, const Rect& to,
                                  int orientation) {
    if (!dc_ || record.IsEmpty() || to.IsEmpty()) return;
    if (orientation == 0 || orientation == 255 || orientation < 0 || orientation > 3) {
        Blit(record, from, to);
        return;
    }
    DIBSECTION ds{};
    if (GetObjectW(record.bitmap, sizeof(ds), &ds) < static_cast<int>(sizeof(DIBSECTION)) ||
        !ds.dsBm.bmBits)
        return;
    const int bpp = ds.dsBm.bmBitsPixel;
    if (bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return;
    const int32_t pageW = ds.dsBm.bmWidth;
    const int32_t pageH = ds.dsBm.bmHeight < 0 ? -ds.dsBm.bmHeight : ds.dsBm.bmHeight;
    const bool bottomUp = ds.dsBmih.biHeight > 0;
    // Rows are 4-byte aligned whatever the layer reports.
    const int32_t stride = ((pageW * bpp + 31) / 32) * 4;
    RGBQUAD colours[256]{};
    if (bpp == 8) GetDIBColorTable(record.dc, 0, 256, colours);
    const auto* src = static_cast<const uint8_t*>(ds.dsBm.bmBits);
    auto pixel = [&](int32_t x, int32_t y) -> uint32_t {
        const uint8_t* row = src + static_cast<size_t>(bottomUp ? pageH - 1 - y : y) * stride;
        switch (bpp) {
            case 8: {
                const RGBQUAD& q = colours[row[x]];
                return static_cast<uint32_t>(q.rgbRed) << 16 | q.rgbGreen << 8 | q.rgbBlue;
            }
            case 16: {
                uint16_t v;
                std::memcpy(&v, row + 2 * x, 2);
                uint32_t r = (v >> 11) & 31, g = (v >> 5) & 63, b = v & 31;
                return (r << 3 | r >> 2) << 16 | (g << 2 | g >> 4) << 8 | (b << 3 | b >> 2);
            }
            case 24:
                return static_cast<uint32_t>(row[3 * x + 2]) << 16 | row[3 * x + 1] << 8 |
                       row[3 * x];
            default: {
                uint32_t v;
                std::memcpy(&v, row + 4 * x, 4);
                return v & 0xFFFFFF;
            }
        }
    };
    // Screen to page: the translation that keeps the turned page on [0, w) x [0, h).
    Transform turn = Transform::FromOrientation(orientation);
    Transform shift = orientation == 1   ? Transform::Translation(0, 1 - pageW)
                      : orientation == 2 ? Transform::Translation(1 - pageH, 0)
                                         : Transform::Translation(1 - pageW, 1 - pageH);
    Transform screenToPage;
    Transform::Compose(shift, turn, screenToPage);
    Transform pageToScreen;
    if (!Transform::Invert(screenToPage, pageToScreen)) return;
    // The page area behind `to` starts at `from`; where it lands on the screen, moved to `to`
    // (the display surface copies lower while it scrolls).
    bool quarter = orientation == 1 || orientation == 2;
    Rect pageRect{from.x, from.y, quarter ? to.height : to.width, quarter ? to.width : to.height};
    Rect landed = Transform::MapRect(pageToScreen, pageRect);
    Point offset{to.x - landed.x, to.y - landed.y};
    // Strips of 32 screen rows, each a 32-bit DIB filled from the page and copied in one blit.
    constexpr int32_t kStrip = 32;
    auto info = std::make_unique<DibHeader>();
    info->header.biSize = sizeof(BITMAPINFOHEADER);
    info->header.biWidth = to.width;
    info->header.biHeight = -std::min(kStrip, to.height);
    info->header.biPlanes = 1;
    info->header.biBitCount = 32;
    void* bits = nullptr;
    ImageTarget strip;
    strip.bitmap = CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(info.get()),
                                    DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!strip.bitmap || !bits) return;
    strip.dc = CreateCompatibleDC(dc_);
    if (!strip.dc) return;
    strip.old = SelectObject(strip.dc, strip.bitmap);
    auto* out = static_cast<uint32_t*>(bits);
    for (int32_t top = 0; top < to.height; top += kStrip) {
        int32_t rows = std::min(kStrip, to.height - top);
        // Column by column within the strip: a screen column walks the page along one fixed
        // step, which for a quarter turn is along a page row (reads in memory order), and
        // 32-bit pages are read without conversion.
        const Point step = Transform::MapVector(screenToPage, Point{0, 1});
        for (int32_t x = 0; x < to.width; ++x) {
            Point p = Transform::MapPoint(screenToPage,
                                          Point{to.x + x - offset.x, to.y + top - offset.y});
            uint32_t* cell = out + x;
            for (int32_t y = 0; y < rows; ++y, p.x += step.x, p.y += step.y, cell += to.width) {
                bool inside = p.x >= 0 && p.y >= 0 && p.x < pageW && p.y < pageH;
                if (!inside) {
                    *cell = 0;
                } else if (bpp == 32) {
                    uint32_t v;
                    std::memcpy(&v,
                                src + static_cast<size_t>(bottomUp ? pageH - 1 - p.y : p.y) * stride +
                                    4 * static_cast<size_t>(p.x),
                                4);
                    *cell = v & 0xFFFFFF;
                } else {
                    *cell = pixel(p.x, p.y);
                }
            }
        }
        BitBlt(dc_, to.x, to.y + top, to.width, rows, strip.dc, 0, 0, SRCCOPY);
    }
}

// ---- Changed areas and the window -------------------------------------------------------------

void GraphicsContext::MarkChanged(const Rect* r) {
    if (!r) {
        if (display_) display_->InvalidateRect(nullptr, true);
        if (external_) external_->changed = Rect{0, 0, external_->size.width, external_->size.height};
        return;
    }
    Rect moved = *r;
    moved.x += origin_.x;
    moved.y += origin_.y;
    if (display_) display_->InvalidateRect(&moved, true);
    if (external_) Rect::Union(external_->changed, moved);
}

bool GraphicsContext::GetClientSize(Size& out, bool unrotated) const {
    out = Size{};
    RECT rc{};
    if (!window_ || !GetClientRect(window_, &rc)) return false;
    out = Size{rc.right - rc.left, rc.bottom - rc.top};
    if (!unrotated && display_ && display_->IsActive()) {
        int o = display_->Orientation();
        if (o == 1 || o == 2) std::swap(out.width, out.height);
    }
    return true;
}

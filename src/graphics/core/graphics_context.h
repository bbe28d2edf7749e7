// The drawing interface of a reader window: a wrapper over a device context that adds lazily
// made and cached pens, brushes and fonts, the book's bitmap faces, a clip rectangle and a
// viewport origin that can be saved and restored, off-screen bitmaps, and change tracking for the
// rotatable back buffer.
//
// Drawing state (DC, pens, brushes, fonts, clip, origin) exists only between the outermost
// BeginDraw and EndDraw; outside them every drawing operation does nothing. Rectangles are
// (x, y, width, height) in the current viewport's coordinates; Windows RECTs appear only at the
// GDI calls. Colours are r | g << 8 | b << 16, Color::kNone for none.
#pragma once

#include <cstdint>
#include <memory>

#include "core/geometry.h"
#include "core/segmented_array.h"
#include "core/transform.h"
#include "graphics/core/bitmap_font.h"
#include "graphics/core/input_event.h"
#include "graphics/core/text_piece.h"
#include "platform/gdi.h"

class CxImage;
class Text;

// A picture decoded for drawing at one size on one background, kept by the object that draws
// it so that later draws copy it instead of decoding the data again. Kept pictures share a memory
// budget: past it the least recently drawn are released, and their next draw decodes again.
// Released with its owner; drawn on one thread.
class KeptPicture {
public:
    KeptPicture();
    ~KeptPicture();
    KeptPicture(const KeptPicture&) = delete;
    KeptPicture& operator=(const KeptPicture&) = delete;
    void Release();
    bool Holds() const;
    // The budget for all kept pictures, in bytes; the memory they hold now.
    static void SetBudget(size_t bytes);
    static size_t HeldBytes();

private:
    friend class GraphicsContext;
    void Keep(size_t bytes);
    void ReleaseLocked();

    HBITMAP bitmap_ = nullptr;  // a paletted picture, covering covered_ (relative to the Rect)
    std::unique_ptr<CxImage> jpeg_;  // a JPEG fitted to the Rect
    Rect covered_{};
    Size size_{};
    bool usesFill_ = false;  // its transparent colour drawn as fill_
    uint32_t fill_ = 0;
    size_t bytes_ = 0;
    bool listed_ = false;
    KeptPicture* older_ = nullptr;
    KeptPicture* newer_ = nullptr;
};

// A memory DC with a bitmap selected and the object that bitmap replaced. With an external
// target the context also keeps what it drew there in `changed`.
struct OffscreenBitmap {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous = nullptr;
    Size size{};
    Rect changed{};
    // Re-selects the replaced object, deletes the bitmap and the DC, and zeroes the record.
    void Free();
    bool IsEmpty() const { return !dc || !bitmap; }
};

// Frees an off-screen bitmap a context owns, then the record.
struct OffscreenBitmapFree {
    void operator()(OffscreenBitmap* bitmap) const;
};

// The 3-byte font style: size (the GDI font height, negative for a character height), flags
// and face index.
struct FontStyle {
    static constexpr uint8_t kBold = 1;
    static constexpr uint8_t kItalic = 2;
    static constexpr uint8_t kUnderline = 4;
    static constexpr uint8_t kStrike = 8;
    static constexpr uint8_t kPlain = 0x30;  // normal baseline

    int8_t size = -1;
    uint8_t flags = 0;
    uint8_t face = 1;
    bool operator==(const FontStyle& o) const {
        return size == o.size && flags == o.flags && face == o.face;
    }
};

// The reader window's face table (the reader implements it): for each face index whether it is
// one of the book's bitmap faces, and the GDI face name or the font database's path.
class FaceTable {
public:
    virtual bool IsBitmapFace(uint8_t face) const = 0;
    // Null when the face has no entry.
    virtual const Text* FaceName(uint8_t face) const = 0;

protected:
    ~FaceTable() = default;
};

// What the context and the drawing surface need of the rotatable display surface, which sits
// beside the surface and implements this.
class DisplayLink {
public:
    // Attached and copying its back buffer to the window.
    virtual bool IsActive() const = 0;
    virtual bool HasBackBuffer() const = 0;
    // The DC to draw into while buffered drawing is on (its back buffer), else null.
    virtual HDC BufferDC() = 0;
    // Page to screen.
    virtual void GetTransform(Transform& out) const = 0;
    virtual Rect MapRect(const Rect& r, bool toPage) const = 0;
    virtual int Orientation() const = 0;
    virtual bool IsScrolling() const = 0;
    // The changed area of the back buffer (null: the whole page).
    virtual void InvalidateRect(const Rect* r, bool fromDrawing) = 0;
    // The page area the tree must draw again (null: the whole page).
    virtual void InvalidatePage(const Rect* r) = 0;
    virtual void FlushDirty() = 0;
    virtual void Repaint(const Rect* r) = 0;
    virtual bool OnEvent(InputEvent& e) = 0;
    virtual void OnCommand(uint32_t code) = 0;
    virtual void Resize(int32_t width, int32_t height) = 0;
    virtual void OverlayCommit() = 0;
    // The page the surface holds is no longer the one shown (a display without one: nothing).
    virtual void ForgetShownPage() {}

protected:
    ~DisplayLink() = default;
};

class GraphicsContext {
public:
    static constexpr uint32_t kUnsetColour = 0xFE000000u;
    static constexpr int kFontCacheSize = 5;
    static constexpr uint32_t kDrawInvert = 1;
    // Pictures whose decoded size would pass this are not drawn.
    static constexpr uint64_t kMaxImagePixels = 1ull << 24;

    explicit GraphicsContext(const FaceTable* faces);
    virtual ~GraphicsContext();
    GraphicsContext(const GraphicsContext&) = delete;
    GraphicsContext& operator=(const GraphicsContext&) = delete;

    // Frame and state.
    GraphicsContext* BeginDraw(bool defer, const Rect* area);
    // True when the outermost drawing ended; a call at depth 0 does nothing.
    bool EndDraw();
    int32_t DrawDepth() const { return depth_; }
    void PushTargetDC(HDC dc);
    void PopTargetDC();
    HDC CurrentDC() const { return dc_; }
    void SetViewportOrigin(Point origin);
    void OffsetViewport(Point delta);
    Point ViewportOrigin() const { return origin_; }
    void SetClipRect(const Rect& r);
    void IntersectClip(const Rect& r);
    void ResetClip();
    // In device coordinates.
    const Rect& ClipRect() const { return clip_; }
    uint32_t SetDrawMode(uint32_t flags);

    // Colours and fonts.
    void SetTextColor(uint32_t c);
    void SetPenColor(uint32_t c);
    void SetBrushColor(uint32_t c);
    void SetBackgroundColor(uint32_t c) { background_ = c; }
    uint32_t PenColor() const { return penColour_; }
    uint32_t BrushColor() const { return brushColour_; }
    void SetFontStyle(const FontStyle& style);
    const FontStyle& GetFontStyle() const { return style_; }
    // Deletes the cached fonts of a face (0: all).
    void ReleaseCachedObjects(uint8_t face);
    // Pixels given at 96 dpi in the screen's pixels, grown as the fonts are.
    int32_t ScaleForDpi(int32_t pixels) const;
    int32_t FontAscent();
    int32_t FontDescent();
    int32_t BaselineShift() const { return baselineShift_; }
    bool IsFontCached(const FontStyle& style) const;
    void SetClearType(bool on) { clearType_ = on; }

    // Text. A text point is the top-left of the text (the font's ascent above the baseline);
    // an underline takes the same point as the text it goes with.
    void DrawText(const char16_t* text, int32_t length, Point p);
    // Strings in the current font and colour, each at its point: the pixels of a DrawText
    // each, in one call (a line's words of one style).
    void DrawTexts(const TextPiece* pieces, int32_t count);
    // The same with each piece's point at the left end of its baseline.
    void DrawTextsOnBaseline(const TextPiece* pieces, int32_t count);
    void DrawTextInRect(const char16_t* text, int32_t length, const RECT& rect, UINT format);
    void DrawUnderline(Point p, int32_t width);
    bool MeasureText(const char16_t* text, int32_t length, Size& out);
    // True when MeasureText gives a text of the selected font the sum of its characters'
    // widths (each below the surrogates) and the font's one height: glyph advances added up,
    // with no kerning. A book's bitmap face adds its overhang at the text's ends instead.
    bool MeasuresByAdvances();
    int32_t FitCount(const char16_t* text, int32_t length, int32_t maxWidth);

    // Shapes.
    void DrawRectangle(const Rect& r, bool filled);
    void DrawRoundRect(const Rect& r, int32_t radius);
    void DrawCircle(Point centre, int32_t radius, bool filled);
    void DrawLine(Point from, Point to);
    void SetPixel(Point p, uint32_t c);
    void FillRect(const Rect& r);

    // Bitmaps.
    void Blit(const OffscreenBitmap& source, Point from, const Rect& to);
    void StretchBlit(const OffscreenBitmap& source, const Rect& from, const Rect& to);
    void TransparentBlit(const OffscreenBitmap& source, const Rect& from, const Rect& to,
                         uint32_t key);
    void ScrollArea(const Rect& r, Point delta);
    bool CaptureArea(OffscreenBitmap& record, const Rect& r);
    HBITMAP CreateScreenBitmap(Size size, void** bits);
    bool CreateOffscreen(OffscreenBitmap& record, Size size);
    // False when something was drawn.
    // True when there was nothing to draw.
    bool DrawOffscreenTransparent(const OffscreenBitmap& record, const Rect& r, uint32_t key);
    // True on failure (no DC, no record, failed copy).
    bool RestoreOffscreen(OffscreenBitmap& record, const Rect& r, bool free);
    void StretchBitmap(HBITMAP bitmap, Size source, const Rect& to, const Rect* clip);
    void DrawIcon(const Rect& r, const Rect& clip, HICON icon, Size iconSize);
    // A GIF, BMP or JPEG picture fitted to the Rect; false when it cannot be read or is too
    // large for memory.
    // With `keep`, the decoded picture is kept there for DrawKeptImage. A GIF or BMP smaller
    // than the Rect both ways stays its size (a BMP centred) unless `enlarge` asks it to fill
    // the Rect, as a page's picture on a denser screen does.
    bool DrawImage(const Rect& r, const Rect& clip, const uint8_t* data, uint32_t length,
                   KeptPicture* keep = nullptr, bool enlarge = false);
    // Draws the kept picture when it was decoded for this Rect's size and the current fill;
    // false (nothing drawn) when it was not, or was released.
    bool DrawKeptImage(const Rect& r, const Rect& clip, KeptPicture& keep);

    // The drawing surface's own operations (a surface is its own context).
    bool PushState();
    // Back to the last pushed state; nothing when none was pushed.
    void PopState();
    void SetVisibleArea(const Rect& r) { visibleArea_ = r; }
    const Rect& VisibleArea() const { return visibleArea_; }
    // Draws into the bitmap instead of the window (BeginDraw then never calls GetDC).
    void SetExternalTarget(OffscreenBitmap* target) { external_ = target; }
    void ClearExternalTarget() { external_ = nullptr; }
    // Replaces (and frees) the background bitmap; the context owns it.
    void SetBackgroundBitmap(OffscreenBitmap* bitmap);
    void SetFaceAndSize(uint8_t face, int8_t size);
    void DrawMultilineText(const char16_t* text, int32_t length, Point p);
    void FillBackground(const Rect& r);
    void FillGradient(const Rect& r, uint32_t from, uint32_t to, bool vertical);
    void DrawZigZag(const Rect& r, bool down, bool startFar, bool alignPhase);
    // Copies the record's pixels from `from` turned by the orientation (1 and 2 quarter turns,
    // 3 half turn; 0 and 255 a plain copy) into `to` on the screen; the record holds the page
    // (its size is the page's).
    void CopyRotated(const OffscreenBitmap& record, Point from, const Rect& to, int orientation);

    // The next n PushState calls succeed and the ones after fail (negative: never fail).
    static void FailPushStateAfterForTesting(int32_t n);

    // Grows the changed areas by r (moved by the origin); null: everything.
    void MarkChanged(const Rect* r);

    // The window's client size; with a display surface turned a quarter turn width and height
    // are swapped unless unrotated is set.
    bool GetClientSize(Size& out, bool unrotated) const;
    HWND Window() const { return window_; }

    // Bitmap faces are drawn into this pixel buffer (the surface's DIB), whose (0, 0) is the
    // given point of the viewport; null detaches it.
    void SetBitmapFontTarget(uint8_t* pixels, int32_t stride, int32_t height, int depth,
                             Point origin);
    BitmapFont& Font() { return bitmapFont_; }
    // The face table the context was made with (a temporary context draws with the same faces).
    const FaceTable* Faces() const { return faces_; }

protected:
    // The DC the drawing surface paints through (its paint buffer), or null.
    void SetPaintDC(HDC dc) { paintDC_ = dc; }
    HDC PaintDC() const { return paintDC_; }
    OffscreenBitmap* External() const { return external_; }

    HWND window_ = nullptr;
    DisplayLink* display_ = nullptr;
    Rect visibleArea_{};
    uint32_t background_ = 0xFFFFFF;
    std::unique_ptr<OffscreenBitmap, OffscreenBitmapFree> backgroundBitmap_;
    bool osAtLeast5_ = false;

private:
    // The two ways a decoded picture reaches the DC (fitted JPEG; paletted DIB).
    bool TileJpeg(CxImage& fitted, const Rect& r, const Rect& clip, const Rect& visible);
    bool BlitPicture(HBITMAP bitmap, Rect covered, const Rect& r, const Rect& visible);
    struct SavedState {
        Rect visible;
        Rect clip;
        Point origin;
    };
    struct CachedFont {
        HFONT font = nullptr;
        FontStyle style{};
        uint32_t stamp = 0;
        // The font's metrics, read once while the drawing layer's font generation stays put
        // (a font's metrics are its own, whatever DC holds it).
        TEXTMETRICW metrics{};
        unsigned metricsGeneration = 0;
        bool metricsRead = false;
    };
    // The metrics of the font just selected into the DC: read there once per font.
    void ReadFontMetrics(HFONT font);
    // What the context knows the DC holds of what it set there: the text colour and the font.
    // It holds while the drawing layer's DC state generation stays where the context's own
    // last change left it; any change from elsewhere (another caller, SaveDC/RestoreDC,
    // SelectObject) moves the generation on and the context asks or sets again.
    struct KnownDcState {
        HDC dc = nullptr;
        unsigned generation = 0;
        uint32_t textColour = kUnsetColour;
        HGDIOBJ font = nullptr;
    };
    bool KnowsDc() const;
    // Around a call that changes dc_'s state: the first drops what is known when it no longer
    // holds; the second keeps the rest known when that call was the only change.
    unsigned BeginDcChange();
    void EndDcChange(unsigned before);
    HGDIOBJ SelectIntoDc(HGDIOBJ object, bool font);
    bool DcHoldsFont(HFONT font);
    void SwitchDC(HDC dc);
    void RestoreInitialObjects();
    void RealizePen();
    void RealizeBrush();
    // Selects a new pen or brush, keeping the DC's own one the first time and deleting ours.
    void SelectMade(HGDIOBJ made, HGDIOBJ& initial, HGDIOBJ& current);
    bool RealizeFont();
    void SetBitmapFaceColours();
    // DrawTexts, with the pieces' points on their baselines when `onBaseline`.
    void DrawPieces(const TextPiece* pieces, int32_t count, bool onBaseline);
    // Draws a run of the bitmap face at pen (or, without text, its line lineWidth long) through
    // a scratch copy of box.
    void DrawBitmapFaceScratch(const Rect& box, Point pen, const char16_t* text, int32_t length,
                               int32_t lineWidth);
    HFONT FindFont(const FontStyle& style);
    void FreeCachedFont(CachedFont& entry);

    const FaceTable* faces_;
    int32_t baselineShift_ = 0;
    int32_t depth_ = 0;
    int32_t flushLevel_ = -1;
    uint32_t drawMode_ = 0;
    Rect clip_{};
    Point origin_{};

    CachedFont fonts_[kFontCacheSize];
    uint32_t fontCounter_ = static_cast<uint32_t>(-1);

    HDC dc_ = nullptr;
    HDC paintDC_ = nullptr;
    HDC windowDC_ = nullptr;
    HDC targetDC_ = nullptr;
    OffscreenBitmap* external_ = nullptr;

    FontStyle style_{};
    bool clearType_ = false;
    bool lineFlag_ = false;
    TEXTMETRICW metrics_{};
    // The font metrics_ were read from and its DC, while it stays selected there.
    HFONT metricsFont_ = nullptr;
    HDC metricsDC_ = nullptr;
    unsigned metricsGeneration_ = 0;
    uint32_t brushColour_ = kUnsetColour;
    uint32_t penColour_ = kUnsetColour;
    uint32_t textColour_ = kUnsetColour;
    KnownDcState known_{};
    HGDIOBJ initialBrush_ = nullptr;
    HGDIOBJ initialPen_ = nullptr;
    HGDIOBJ initialFont_ = nullptr;
    HGDIOBJ brush_ = nullptr;
    HGDIOBJ pen_ = nullptr;
    bool brushReady_ = false;
    bool penReady_ = false;
    bool fontReady_ = false;
    bool bitmapFaceReady_ = false;

    SegArray<SavedState, 2> states_;
    BitmapFont bitmapFont_;
    int32_t bitmapFace_ = -1;
    uint8_t* fontPixels_ = nullptr;
    Point fontOrigin_{};
};

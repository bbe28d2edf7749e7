// Drawing objects behind the handles, and the handle table. Handles carry the object's kind and a
// generation, so a stale handle or one of the wrong kind is refused instead of misused.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/gdi/font_engine.h"
#include "platform/gdi/gdi_types.h"
#include "platform/gdi/region.h"
#include "platform/gdi/surface.h"

namespace gdi {

enum class Kind : std::uint8_t { Any, Dc, Bitmap, Pen, Brush, Font, Region, Icon, ImageList };

struct Object {
    explicit Object(Kind k) : kind(k) {}
    virtual ~Object() = default;
    Kind kind;
    bool stock = false;
    void* handle = nullptr;
    std::atomic<int> selections{0};  // device contexts it is currently selected into
};

struct BitmapObject : Object {
    BitmapObject() : Object(Kind::Bitmap) {}
    std::shared_ptr<Surface> surface;
    bool dib = false;
};

struct PenObject : Object {
    PenObject() : Object(Kind::Pen) {}
    int style = PS_SOLID;
    int width = 1;
    std::uint32_t rgb = 0;
};

struct BrushObject : Object {
    BrushObject() : Object(Kind::Brush) {}
    explicit BrushObject(std::uint32_t solid) : Object(Kind::Brush), rgb(solid) {}
    UINT style = BS_SOLID;
    std::uint32_t rgb = 0;
    std::shared_ptr<Surface> pattern;  // Xrgb32 copy of the pattern bitmap
};

struct FontObject : Object {
    FontObject() : Object(Kind::Font) {}
    LOGFONTW logFont{};
    std::shared_ptr<FontInstance> instance;
    unsigned realizedFor = 0;  // font engine generation the instance belongs to
};

struct RegionObject : Object {
    RegionObject() : Object(Kind::Region) {}
    RectList rects;
};

struct IconObject : Object {
    IconObject() : Object(Kind::Icon) {}
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> argb;  // 0xAARRGGBB, straight alpha
};

struct ImageListObject : Object {
    ImageListObject() : Object(Kind::ImageList) {}
    int width = 0;
    int height = 0;
    UINT flags = 0;
    std::uint32_t bkColor = CLR_NONE;
    std::vector<std::vector<std::uint32_t>> images;  // argb per image
};

struct DcState {
    std::shared_ptr<PenObject> pen;
    std::shared_ptr<BrushObject> brush;
    std::shared_ptr<FontObject> font;
    std::shared_ptr<BitmapObject> bitmap;
    COLORREF textColor = 0;
    COLORREF bkColor = 0xFFFFFF;
    int bkMode = OPAQUE;
    int rop2 = R2_COPYPEN;
    UINT textAlign = 0;
    POINT viewportOrg{0, 0};
    POINT brushOrg{0, 0};
    POINT penPos{0, 0};
    bool hasClip = false;
    RectList clip;  // device coordinates
};

struct DcObject : Object {
    DcObject() : Object(Kind::Dc) {}
    ~DcObject() override;
    bool memory = false;
    DcState st;
    std::vector<DcState> saved;
    std::shared_ptr<Surface> surface;  // drawn into: the selected bitmap's or the screen's
    // Set by the window layer: device (0, 0) on the surface, and the visible region in surface
    // coordinates.
    POINT origin{0, 0};
    bool hasVisible = false;
    RectList visible;
    // The realised instance of the font last measured or drawn with, so that text calls take the
    // font lock only when the selected font or the font generation changed. Holding the font
    // object keeps its address from being reused by another while it is remembered.
    std::shared_ptr<FontObject> textFont;
    std::shared_ptr<FontInstance> textFontInstance;
    unsigned textFontGeneration = 0;

    // The effective clip in surface coordinates.
    const RectList& Clip();
    void ClipChanged() { clipValid_ = false; }
    // Logical to surface coordinates (origins are kept within +-2^27, so these cannot overflow).
    int Dx() const { return st.viewportOrg.x + origin.x; }
    int Dy() const { return st.viewportOrg.y + origin.y; }
    LONG SX(long long x) const { return Sat(x + Dx()); }
    LONG SY(long long y) const { return Sat(y + Dy()); }
    RECT ToSurface(const RECT& r) const {
        return RECT{SX(r.left), SY(r.top), SX(r.right), SY(r.bottom)};
    }
    RECT ToSurface(long long left, long long top, long long right, long long bottom) const {
        return RECT{SX(left), SY(top), SX(right), SY(bottom)};
    }

private:
    bool clipValid_ = false;
    RectList clip_;
};

// Handle table
void* Register(std::shared_ptr<Object> object);
std::shared_ptr<Object> Lookup(const void* handle, Kind kind = Kind::Any);
template <class T>
std::shared_ptr<T> LookupAs(const void* handle, Kind kind) {
    return std::static_pointer_cast<T>(Lookup(handle, kind));
}
bool Unregister(const void* handle);

std::shared_ptr<DcObject> LookupDc(HDC dc);
// Called by every change of a DC's text colour, background colour or mode or selected objects,
// and when a DC is made or deleted (see GdiDcStateGeneration).
void DcStateChanged();
std::shared_ptr<BitmapObject> StockBitmap();
std::shared_ptr<FontObject> StockFont();

// Selecting into a DC, shared by SelectObject and RestoreDC.
void AttachBitmap(DcObject& dc, std::shared_ptr<BitmapObject> bitmap);

}  // namespace gdi

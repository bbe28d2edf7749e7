#include "platform/gdi/gdi_object.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <thread>
#include <utility>

#include "platform/gdi/dib.h"
#include "platform/gdi/gdi_api.h"
#include "platform/gdi/gdi_layer.h"
#include "platform/gdi/screen.h"
#include "platform/last_error.h"

namespace gdi {

namespace {

// Handle layout: kind in bits 0-3, generation in bits 4-19, slot index + 1 above.
struct Slot {
    std::shared_ptr<Object> object;
    std::uint16_t generation = 0;
};

// The table's lock. Every drawing call looks its handles up here, a few loads and stores under
// the lock, so taking a free lock is one atomic exchange and releasing it a plain store; a thread
// that finds it taken spins briefly, then yields its processor until the holder is done.
class TableLock {
public:
    void lock() {
        if (held_.exchange(true, std::memory_order_acquire)) Wait();
    }
    void unlock() { held_.store(false, std::memory_order_release); }

private:
    // Out of line, so that taking a free lock leaves its caller's registers alone.
    __attribute__((noinline)) void Wait() {
        do {
            for (int spins = 0; held_.load(std::memory_order_relaxed); ++spins) {
                if (spins < 64)
                    Pause();
                else
                    std::this_thread::yield();
            }
        } while (held_.exchange(true, std::memory_order_acquire));
    }
    static void Pause() {
#if defined(__x86_64__) || defined(__i386__)
        __builtin_ia32_pause();
#endif
    }
    std::atomic<bool> held_{false};
};

struct Table {
    TableLock latch;
    std::vector<Slot> slots;
    std::vector<std::size_t> free;
};

std::atomic<unsigned> gDcStateGeneration{0};

Table& TheTable() {
    static Table* table = new Table();  // outlives every static that may still free objects
    return *table;
}

void* Encode(std::size_t index, std::uint16_t generation, Kind kind) {
    std::uintptr_t v = (static_cast<std::uintptr_t>(index + 1) << 20) |
                       (static_cast<std::uintptr_t>(generation) << 4) |
                       static_cast<std::uintptr_t>(kind);
    return reinterpret_cast<void*>(v);
}

}  // namespace

void* Register(std::shared_ptr<Object> object) {
    if (!object) return nullptr;
    Table& t = TheTable();
    std::lock_guard<TableLock> lock(t.latch);
    std::size_t index;
    if (!t.free.empty()) {
        index = t.free.back();
        t.free.pop_back();
    } else {
        index = t.slots.size();
        t.slots.emplace_back();
    }
    Slot& slot = t.slots[index];
    slot.object = object;
    object->handle = Encode(index, slot.generation, object->kind);
    return object->handle;
}

std::shared_ptr<Object> Lookup(const void* handle, Kind kind) {
    std::uintptr_t v = reinterpret_cast<std::uintptr_t>(handle);
    if (v < (1u << 20)) return nullptr;
    Kind k = static_cast<Kind>(v & 0xF);
    if (kind != Kind::Any && k != kind) return nullptr;
    std::size_t index = (v >> 20) - 1;
    std::uint16_t generation = static_cast<std::uint16_t>((v >> 4) & 0xFFFF);
    Table& t = TheTable();
    std::lock_guard<TableLock> lock(t.latch);
    if (index >= t.slots.size()) return nullptr;
    const Slot& slot = t.slots[index];
    if (!slot.object || slot.generation != generation || slot.object->kind != k) return nullptr;
    return slot.object;
}

bool Unregister(const void* handle) {
    std::shared_ptr<Object> dying;  // destroyed outside the lock
    std::uintptr_t v = reinterpret_cast<std::uintptr_t>(handle);
    if (v < (1u << 20)) return false;
    std::size_t index = (v >> 20) - 1;
    std::uint16_t generation = static_cast<std::uint16_t>((v >> 4) & 0xFFFF);
    Table& t = TheTable();
    std::lock_guard<TableLock> lock(t.latch);
    if (index >= t.slots.size()) return false;
    Slot& slot = t.slots[index];
    if (!slot.object || slot.generation != generation) return false;
    dying.swap(slot.object);
    ++slot.generation;
    t.free.push_back(index);
    return true;
}

void DcStateChanged() {
    gDcStateGeneration.fetch_add(1, std::memory_order_acq_rel);
}

std::shared_ptr<DcObject> LookupDc(HDC dc) {
    auto p = LookupAs<DcObject>(dc, Kind::Dc);
    if (!p) SetLastError(ERROR_INVALID_HANDLE);
    return p;
}

namespace {

struct Stock {
    std::vector<std::shared_ptr<Object>> objects;  // by stock index
    std::shared_ptr<BitmapObject> bitmap;
    std::vector<std::shared_ptr<BrushObject>> sysBrushes;
};

template <class T>
std::shared_ptr<T> MakeStock() {
    auto o = std::make_shared<T>();
    o->stock = true;
    return o;
}

Stock& TheStock() {
    static Stock* stock = [] {
        auto* s = new Stock();
        s->objects.resize(DEFAULT_PALETTE + 1);
        const std::uint32_t brushes[] = {0xFFFFFF, 0xC0C0C0, 0x808080, 0x404040, 0x000000};
        for (int i = 0; i <= BLACK_BRUSH; ++i) {
            auto b = MakeStock<BrushObject>();
            b->rgb = brushes[i];
            s->objects[i] = b;
        }
        auto nullBrush = MakeStock<BrushObject>();
        nullBrush->style = BS_NULL;
        s->objects[NULL_BRUSH] = nullBrush;
        auto white = MakeStock<PenObject>();
        white->rgb = 0xFFFFFF;
        s->objects[WHITE_PEN] = white;
        s->objects[BLACK_PEN] = MakeStock<PenObject>();
        auto nullPen = MakeStock<PenObject>();
        nullPen->style = PS_NULL;
        s->objects[NULL_PEN] = nullPen;
        auto font = MakeStock<FontObject>();
        font->logFont.lfHeight = -12;
        font->logFont.lfWeight = FW_NORMAL;
        const char16_t face[] = u"Tahoma";
        std::memcpy(font->logFont.lfFaceName, face, sizeof(face));
        s->objects[SYSTEM_FONT] = font;
        s->bitmap = MakeStock<BitmapObject>();
        s->bitmap->surface = Surface::Create(1, 1, PixelFormat::Xrgb32);
        for (auto& o : s->objects)
            if (o) Register(o);
        Register(s->bitmap);
        return s;
    }();
    return *stock;
}

}  // namespace

std::shared_ptr<BitmapObject> StockBitmap() {
    return TheStock().bitmap;
}
std::shared_ptr<FontObject> StockFont() {
    return std::static_pointer_cast<FontObject>(TheStock().objects[SYSTEM_FONT]);
}

DcObject::~DcObject() {
    for (Object* o : {static_cast<Object*>(st.pen.get()), static_cast<Object*>(st.brush.get()),
                      static_cast<Object*>(st.font.get()), static_cast<Object*>(st.bitmap.get())})
        if (o) --o->selections;
}

const RectList& DcObject::Clip() {
    if (!clipValid_) {
        // Worked out in the list kept from last time: a paint's clip is mostly one rectangle.
        RECT bounds{0, 0, surface ? surface->Width() : 0, surface ? surface->Height() : 0};
        if (hasVisible) {
            clip_.assign(visible.begin(), visible.end());
            IntersectWith(clip_, bounds);
        } else {
            clip_.assign(1, bounds);
        }
        if (st.hasClip && st.clip.size() == 1) {
            const RECT& r = st.clip.front();
            IntersectWith(clip_, RECT{r.left + origin.x, r.top + origin.y, r.right + origin.x,
                                      r.bottom + origin.y});
        } else if (st.hasClip) {
            clip_ = Intersect(clip_, Offset(st.clip, origin.x, origin.y));
        }
        clipValid_ = true;
    }
    return clip_;
}

void AttachBitmap(DcObject& dc, std::shared_ptr<BitmapObject> bitmap) {
    dc.surface = bitmap->surface;
    dc.st.bitmap = std::move(bitmap);
    dc.ClipChanged();
}

namespace {

template <class T>
void Swap(std::shared_ptr<T>& slot, std::shared_ptr<T> next) {
    if (next) ++next->selections;
    if (slot) --slot->selections;
    slot = std::move(next);
}

void Retain(const DcState& s, int delta) {
    for (Object* o : {static_cast<Object*>(s.pen.get()), static_cast<Object*>(s.brush.get()),
                      static_cast<Object*>(s.font.get()), static_cast<Object*>(s.bitmap.get())})
        if (o) o->selections += delta;
}

// A DC's first state: the stock pen, brush and font, the default colours and modes.
void SelectDefaults(DcObject& dc) {
    Stock& stock = TheStock();
    Retain(dc.st, -1);
    dc.st = DcState{};
    Swap(dc.st.pen, std::static_pointer_cast<PenObject>(stock.objects[BLACK_PEN]));
    Swap(dc.st.brush, std::static_pointer_cast<BrushObject>(stock.objects[WHITE_BRUSH]));
    Swap(dc.st.font, StockFont());
}

std::shared_ptr<DcObject> NewDc(bool memory, std::shared_ptr<Surface> surface) {
    Stock& stock = TheStock();
    auto dc = std::make_shared<DcObject>();
    DcStateChanged();
    dc->memory = memory;
    SelectDefaults(*dc);
    if (memory) {
        Swap(dc->st.bitmap, stock.bitmap);
        dc->surface = stock.bitmap->surface;
    } else {
        dc->surface = std::move(surface);
    }
    return dc;
}

}  // namespace

}  // namespace gdi

using namespace gdi;

HDC GdiCreateSurfaceDC(std::shared_ptr<Surface> surface) {
    if (!surface) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return static_cast<HDC>(Register(NewDc(false, std::move(surface))));
}

HDC GdiCreateScreenDC() {
    return GdiCreateSurfaceDC(ScreenSurface());
}

namespace {
constexpr int kOriginLimit = 1 << 27;
LONG Origin(long long v) {
    return static_cast<LONG>(std::clamp<long long>(v, -kOriginLimit, kOriginLimit));
}
}  // namespace

BOOL GdiSetDCOrigin(HDC dc, int x, int y) {
    auto d = LookupDc(dc);
    if (!d) return FALSE;
    d->origin = POINT{Origin(x), Origin(y)};
    d->ClipChanged();
    return TRUE;
}

BOOL GdiSetDCVisibleRegion(HDC dc, HRGN region) {
    auto d = LookupDc(dc);
    if (!d) return FALSE;
    if (!region) {
        d->hasVisible = false;
        d->visible.clear();
    } else {
        auto r = LookupAs<RegionObject>(region, Kind::Region);
        if (!r) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        d->hasVisible = true;
        d->visible = r->rects;
    }
    d->ClipChanged();
    return TRUE;
}

BOOL GdiSetDCVisibleRects(HDC dc, const RectList& rects) {
    auto d = LookupDc(dc);
    if (!d) return FALSE;
    RectList region;
    for (const RECT& r : rects) {
        RECT part{std::min(r.left, r.right), std::min(r.top, r.bottom), std::max(r.left, r.right),
                  std::max(r.top, r.bottom)};
        // One rectangle (a window's whole update, mostly) is its own region.
        if (!Empty(part)) region = region.empty() ? RectList{part} : Union(region, RectList{part});
    }
    d->hasVisible = true;
    d->visible = std::move(region);
    d->ClipChanged();
    return TRUE;
}

std::shared_ptr<Surface> GdiDCSurface(HDC dc) {
    auto d = LookupDc(dc);
    return d ? d->surface : nullptr;
}

std::shared_ptr<Surface> GdiBitmapSurface(HBITMAP bitmap) {
    auto b = LookupAs<BitmapObject>(bitmap, Kind::Bitmap);
    return b ? b->surface : nullptr;
}

HDC CreateCompatibleDC(HDC dc) {
    if (dc && !LookupDc(dc)) return nullptr;
    return static_cast<HDC>(Register(NewDc(true, nullptr)));
}

BOOL DeleteDC(HDC dc) {
    if (!LookupDc(dc)) return FALSE;
    DcStateChanged();
    return Unregister(dc) ? TRUE : FALSE;
}

namespace {
// The screen DC a thread's last paint gave back, in its first state, for the next paint: a
// window is painted on every key, and making a DC (and forgetting it) each time costs more
// than putting one back to how it was made.
struct KeptScreenDc {
    HDC dc = nullptr;
    ~KeptScreenDc() {
        if (dc) DeleteDC(dc);
    }
};
thread_local KeptScreenDc tKeptScreenDc;
}  // namespace

HDC GdiTakeScreenDC() {
    HDC dc = std::exchange(tKeptScreenDc.dc, nullptr);
    auto d = dc ? LookupDc(dc) : nullptr;
    if (!d) return GdiCreateScreenDC();
    // The framebuffer is made again when the device is reopened or the screen turned.
    d->surface = ScreenSurface();
    d->ClipChanged();
    return dc;
}

BOOL GdiGiveBackScreenDC(HDC dc) {
    auto d = LookupDc(dc);
    if (!d || d->memory || tKeptScreenDc.dc) return DeleteDC(dc);
    // What the paint selected is let go now, as deleting the DC would.
    SelectDefaults(*d);
    d->saved.clear();
    d->origin = POINT{0, 0};
    d->hasVisible = false;
    d->visible.clear();
    d->ClipChanged();
    DcStateChanged();
    tKeptScreenDc.dc = dc;
    return TRUE;
}

unsigned GdiDcStateGeneration() {
    return gDcStateGeneration.load(std::memory_order_acquire);
}

HGDIOBJ GetStockObject(int index) {
    Stock& s = TheStock();
    if (index < 0 || index >= static_cast<int>(s.objects.size()) || !s.objects[index]) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return s.objects[index]->handle;
}

HBRUSH GetSysColorBrush(int index) {
    index &= ~SYS_COLOR_INDEX_FLAG;
    if (index < 0 || index > COLOR_GRADIENTINACTIVECAPTION) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    static std::mutex mutex;
    std::lock_guard<std::mutex> lock(mutex);
    Stock& s = TheStock();
    if (s.sysBrushes.empty()) {
        for (int i = 0; i <= COLOR_GRADIENTINACTIVECAPTION; ++i) {
            auto b = MakeStock<BrushObject>();
            b->rgb = RgbFromColorref(GetSysColor(i));
            Register(b);
            s.sysBrushes.push_back(b);
        }
    }
    return static_cast<HBRUSH>(s.sysBrushes[index]->handle);
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
    auto d = LookupDc(dc);
    if (!d) return nullptr;
    auto o = Lookup(object);
    if (!o) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    void* old = nullptr;
    DcStateChanged();
    switch (o->kind) {
        case Kind::Pen:
            old = d->st.pen->handle;
            Swap(d->st.pen, std::static_pointer_cast<PenObject>(o));
            return old;
        case Kind::Brush:
            old = d->st.brush->handle;
            Swap(d->st.brush, std::static_pointer_cast<BrushObject>(o));
            return old;
        case Kind::Font:
            old = d->st.font->handle;
            Swap(d->st.font, std::static_pointer_cast<FontObject>(o));
            return old;
        case Kind::Bitmap: {
            auto b = std::static_pointer_cast<BitmapObject>(o);
            if (!d->memory) {
                SetLastError(ERROR_INVALID_PARAMETER);
                return nullptr;
            }
            if (d->st.bitmap == b) return b->handle;
            // A bitmap lives in one memory DC at a time.
            if (!b->stock && b->selections > 0) {
                SetLastError(ERROR_INVALID_PARAMETER);
                return nullptr;
            }
            old = d->st.bitmap->handle;
            Swap(d->st.bitmap, b);
            AttachBitmap(*d, d->st.bitmap);
            return old;
        }
        case Kind::Region: {
            int kind = SelectClipRgn(dc, static_cast<HRGN>(object));
            return reinterpret_cast<HGDIOBJ>(static_cast<std::intptr_t>(kind));
        }
        default:
            SetLastError(ERROR_INVALID_HANDLE);
            return nullptr;
    }
}

HGDIOBJ GetCurrentObject(HDC dc, UINT kind) {
    auto d = LookupDc(dc);
    if (!d) return nullptr;
    switch (kind) {
        case OBJ_PEN:
            return d->st.pen->handle;
        case OBJ_BRUSH:
            return d->st.brush->handle;
        case OBJ_FONT:
            return d->st.font->handle;
        case OBJ_BITMAP:
            return d->st.bitmap ? d->st.bitmap->handle : nullptr;
        default:
            return nullptr;
    }
}

BOOL DeleteObject(HGDIOBJ object) {
    auto o = Lookup(object);
    if (!o || o->kind == Kind::Dc || o->kind == Kind::Icon || o->kind == Kind::ImageList) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (o->stock) return TRUE;
    // An object still selected into a DC stays alive; the caller must select it out first.
    if (o->selections > 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return Unregister(object) ? TRUE : FALSE;
}

DWORD GetObjectType(HGDIOBJ object) {
    auto o = Lookup(object);
    if (!o) return 0;
    switch (o->kind) {
        case Kind::Pen:
            return OBJ_PEN;
        case Kind::Brush:
            return OBJ_BRUSH;
        case Kind::Font:
            return OBJ_FONT;
        case Kind::Bitmap:
            return OBJ_BITMAP;
        case Kind::Region:
            return OBJ_REGION;
        case Kind::Dc:
            return static_cast<DcObject&>(*o).memory ? OBJ_MEMDC : OBJ_DC;
        default:
            return 0;
    }
}

namespace {
int CopyOut(const void* data, int size, int bufferSize, LPVOID buffer) {
    if (!buffer) return size;
    int n = std::min(size, bufferSize);
    if (n <= 0) return 0;
    std::memcpy(buffer, data, n);
    return n;
}

DWORD FormatMasks(PixelFormat f, int i) {
    static const DWORD k565[3] = {0xF800, 0x07E0, 0x001F};
    static const DWORD k555[3] = {0x7C00, 0x03E0, 0x001F};
    static const DWORD k888[3] = {0xFF0000, 0x00FF00, 0x0000FF};
    if (f == PixelFormat::Rgb565) return k565[i];
    if (f == PixelFormat::Rgb555) return k555[i];
    if (f == PixelFormat::Xrgb32) return k888[i];
    return 0;
}
}  // namespace

int GetObjectW(HGDIOBJ object, int size, LPVOID buffer) {
    auto o = Lookup(object);
    if (!o || size < 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    switch (o->kind) {
        case Kind::Pen: {
            auto& p = static_cast<PenObject&>(*o);
            LOGPEN lp{static_cast<UINT>(p.style), POINT{p.width, 0}, ColorrefFromRgb(p.rgb)};
            return CopyOut(&lp, sizeof(lp), size, buffer);
        }
        case Kind::Brush: {
            auto& b = static_cast<BrushObject&>(*o);
            LOGBRUSH lb{b.style, ColorrefFromRgb(b.rgb), 0};
            return CopyOut(&lb, sizeof(lb), size, buffer);
        }
        case Kind::Font: {
            auto& f = static_cast<FontObject&>(*o);
            return CopyOut(&f.logFont, sizeof(f.logFont), size, buffer);
        }
        case Kind::Bitmap: {
            auto& b = static_cast<BitmapObject&>(*o);
            Surface& s = *b.surface;
            DIBSECTION ds{};
            ds.dsBm.bmWidth = s.Width();
            ds.dsBm.bmHeight = s.Height();
            ds.dsBm.bmWidthBytes = s.Stride();
            ds.dsBm.bmPlanes = 1;
            ds.dsBm.bmBitsPixel = static_cast<WORD>(s.BitsPerPixel());
            if (b.dib) s.ForbidLending();
            ds.dsBm.bmBits = b.dib ? s.Bits() : nullptr;
            if (!b.dib || size < static_cast<int>(sizeof(DIBSECTION)))
                return CopyOut(&ds.dsBm, sizeof(BITMAP), size, buffer);
            ds.dsBmih.biSize = sizeof(BITMAPINFOHEADER);
            ds.dsBmih.biWidth = s.Width();
            ds.dsBmih.biHeight = s.TopDown() ? -s.Height() : s.Height();
            ds.dsBmih.biPlanes = 1;
            ds.dsBmih.biBitCount = static_cast<WORD>(s.BitsPerPixel());
            ds.dsBmih.biCompression = s.Format() == PixelFormat::Rgb565 ? BI_BITFIELDS : BI_RGB;
            ds.dsBmih.biSizeImage = static_cast<DWORD>(s.ByteSize());
            ds.dsBmih.biClrUsed = static_cast<DWORD>(s.Palette().size());
            for (int i = 0; i < 3; ++i) ds.dsBitfields[i] = FormatMasks(s.Format(), i);
            return CopyOut(&ds, sizeof(ds), size, buffer);
        }
        default:
            SetLastError(ERROR_INVALID_HANDLE);
            return 0;
    }
}

int SaveDC(HDC dc) {
    auto d = LookupDc(dc);
    if (!d) return 0;
    d->saved.push_back(d->st);
    return static_cast<int>(d->saved.size());
}

BOOL RestoreDC(HDC dc, int saved) {
    auto d = LookupDc(dc);
    if (!d) return FALSE;
    int depth = static_cast<int>(d->saved.size());
    int level = saved < 0 ? depth + 1 + saved : saved;
    if (level < 1 || level > depth) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    DcState next = d->saved[level - 1];
    // The saved bitmap may have been selected into another DC since.
    if (next.bitmap && next.bitmap != d->st.bitmap && !next.bitmap->stock &&
        next.bitmap->selections > 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    d->saved.resize(level - 1);
    DcStateChanged();
    Retain(next, +1);
    Retain(d->st, -1);
    d->st = std::move(next);
    if (d->memory && d->st.bitmap) AttachBitmap(*d, d->st.bitmap);
    d->ClipChanged();
    return TRUE;
}

// Colours and modes

#define FVT_DC_OR(fail)    \
    auto d = LookupDc(dc); \
    if (!d) return fail;

COLORREF SetTextColor(HDC dc, COLORREF color) {
    FVT_DC_OR(CLR_INVALID)
    COLORREF old = d->st.textColor;
    d->st.textColor = color & 0xFFFFFF;
    DcStateChanged();
    return old;
}
COLORREF GetTextColor(HDC dc) {
    FVT_DC_OR(CLR_INVALID)
    return d->st.textColor;
}
COLORREF SetBkColor(HDC dc, COLORREF color) {
    FVT_DC_OR(CLR_INVALID)
    COLORREF old = d->st.bkColor;
    d->st.bkColor = color & 0xFFFFFF;
    DcStateChanged();
    return old;
}
COLORREF GetBkColor(HDC dc) {
    FVT_DC_OR(CLR_INVALID)
    return d->st.bkColor;
}
int SetBkMode(HDC dc, int mode) {
    FVT_DC_OR(0)
    if (mode != TRANSPARENT && mode != OPAQUE) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    int old = d->st.bkMode;
    d->st.bkMode = mode;
    DcStateChanged();
    return old;
}
int GetBkMode(HDC dc) {
    FVT_DC_OR(0)
    return d->st.bkMode;
}
int SetROP2(HDC dc, int mode) {
    FVT_DC_OR(0)
    if (mode < R2_BLACK || mode > R2_WHITE) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    int old = d->st.rop2;
    d->st.rop2 = mode;
    return old;
}
int GetROP2(HDC dc) {
    FVT_DC_OR(0)
    return d->st.rop2;
}
BOOL SetBrushOrgEx(HDC dc, int x, int y, LPPOINT previous) {
    FVT_DC_OR(FALSE)
    if (previous) *previous = d->st.brushOrg;
    d->st.brushOrg = POINT{Origin(x), Origin(y)};
    return TRUE;
}
UINT SetTextAlign(HDC dc, UINT align) {
    FVT_DC_OR(0xFFFFFFFF)
    UINT old = d->st.textAlign;
    d->st.textAlign = align;
    return old;
}
UINT GetTextAlign(HDC dc) {
    FVT_DC_OR(0xFFFFFFFF)
    return d->st.textAlign;
}

// Coordinates and clipping

BOOL SetViewportOrgEx(HDC dc, int x, int y, LPPOINT previous) {
    FVT_DC_OR(FALSE)
    if (previous) *previous = d->st.viewportOrg;
    d->st.viewportOrg = POINT{Origin(x), Origin(y)};
    return TRUE;
}
BOOL GetViewportOrgEx(HDC dc, LPPOINT origin) {
    FVT_DC_OR(FALSE)
    if (!origin) return FALSE;
    *origin = d->st.viewportOrg;
    return TRUE;
}
BOOL OffsetViewportOrgEx(HDC dc, int dx, int dy, LPPOINT previous) {
    FVT_DC_OR(FALSE)
    if (previous) *previous = d->st.viewportOrg;
    d->st.viewportOrg.x = Origin(static_cast<long long>(d->st.viewportOrg.x) + dx);
    d->st.viewportOrg.y = Origin(static_cast<long long>(d->st.viewportOrg.y) + dy);
    return TRUE;
}

namespace {
constexpr LONG kHuge = 1 << 28;
const RECT kEverything{-kHuge, -kHuge, kHuge, kHuge};

int ClipResult(DcObject& d) {
    return Complexity(d.Clip());
}

RECT DeviceRect(const DcObject& d, long long left, long long top, long long right,
                long long bottom) {
    const POINT& o = d.st.viewportOrg;
    return RECT{Sat(left + o.x), Sat(top + o.y), Sat(right + o.x), Sat(bottom + o.y)};
}
}  // namespace

int IntersectClipRect(HDC dc, int left, int top, int right, int bottom) {
    FVT_DC_OR(ERROR)
    RECT r = DeviceRect(*d, left, top, right, bottom);
    d->st.clip = Intersect(d->st.hasClip ? d->st.clip : RectList{kEverything}, r);
    d->st.hasClip = true;
    d->ClipChanged();
    return ClipResult(*d);
}

int ExcludeClipRect(HDC dc, int left, int top, int right, int bottom) {
    FVT_DC_OR(ERROR)
    RECT r = DeviceRect(*d, left, top, right, bottom);
    d->st.clip = Subtract(d->st.hasClip ? d->st.clip : RectList{kEverything}, RectList{r});
    d->st.hasClip = true;
    d->ClipChanged();
    return ClipResult(*d);
}

int SelectClipRgn(HDC dc, HRGN region) {
    FVT_DC_OR(ERROR)
    if (!region) {
        d->st.hasClip = false;
        d->st.clip.clear();
    } else {
        auto r = LookupAs<RegionObject>(region, Kind::Region);
        if (!r) {
            SetLastError(ERROR_INVALID_HANDLE);
            return ERROR;
        }
        d->st.hasClip = true;
        d->st.clip = r->rects;
    }
    d->ClipChanged();
    return ClipResult(*d);
}

int GetClipBox(HDC dc, LPRECT rect) {
    FVT_DC_OR(ERROR)
    if (!rect) return ERROR;
    RECT b = Bounds(d->Clip());
    if (!Empty(b)) OffsetRect(&b, -d->Dx(), -d->Dy());
    *rect = b;
    return ClipResult(*d);
}

// Regions

namespace {
std::shared_ptr<RegionObject> LookupRegion(HRGN region) {
    auto r = LookupAs<RegionObject>(region, Kind::Region);
    if (!r) SetLastError(ERROR_INVALID_HANDLE);
    return r;
}
RECT Ordered(int left, int top, int right, int bottom) {
    return RECT{std::min(left, right), std::min(top, bottom), std::max(left, right),
                std::max(top, bottom)};
}
}  // namespace

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
    auto r = std::make_shared<RegionObject>();
    RECT rc = Ordered(left, top, right, bottom);
    if (!Empty(rc)) r->rects.push_back(rc);
    return static_cast<HRGN>(Register(r));
}

HRGN CreateRectRgnIndirect(LPCRECT rect) {
    if (!rect) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return CreateRectRgn(rect->left, rect->top, rect->right, rect->bottom);
}

BOOL SetRectRgn(HRGN region, int left, int top, int right, int bottom) {
    auto r = LookupRegion(region);
    if (!r) return FALSE;
    r->rects.clear();
    RECT rc = Ordered(left, top, right, bottom);
    if (!Empty(rc)) r->rects.push_back(rc);
    return TRUE;
}

int CombineRgn(HRGN dest, HRGN src1, HRGN src2, int mode) {
    auto d = LookupRegion(dest);
    auto a = LookupRegion(src1);
    if (!d || !a) return ERROR;
    std::shared_ptr<RegionObject> b;
    if (mode != RGN_COPY) {
        b = LookupRegion(src2);
        if (!b) return ERROR;
    }
    RectList out;
    switch (mode) {
        case RGN_AND:
            out = Intersect(a->rects, b->rects);
            break;
        case RGN_OR:
            out = Union(a->rects, b->rects);
            break;
        case RGN_DIFF:
            out = Subtract(a->rects, b->rects);
            break;
        case RGN_XOR:
            out = Union(Subtract(a->rects, b->rects), Subtract(b->rects, a->rects));
            break;
        case RGN_COPY:
            out = a->rects;
            break;
        default:
            SetLastError(ERROR_INVALID_PARAMETER);
            return ERROR;
    }
    d->rects.swap(out);
    return Complexity(d->rects);
}

int OffsetRgn(HRGN region, int dx, int dy) {
    auto r = LookupRegion(region);
    if (!r) return ERROR;
    r->rects = Offset(r->rects, dx, dy);
    return Complexity(r->rects);
}

int GetRgnBox(HRGN region, LPRECT rect) {
    auto r = LookupRegion(region);
    if (!r || !rect) return ERROR;
    *rect = Bounds(r->rects);
    return Complexity(r->rects);
}

BOOL PtInRegion(HRGN region, int x, int y) {
    auto r = LookupRegion(region);
    return r && Contains(r->rects, x, y) ? TRUE : FALSE;
}

// Rectangles

BOOL SetRect(LPRECT rect, int left, int top, int right, int bottom) {
    if (!rect) return FALSE;
    *rect = RECT{left, top, right, bottom};
    return TRUE;
}
BOOL SetRectEmpty(LPRECT rect) {
    return SetRect(rect, 0, 0, 0, 0);
}
BOOL CopyRect(LPRECT dest, LPCRECT src) {
    if (!dest || !src) return FALSE;
    *dest = *src;
    return TRUE;
}
BOOL IsRectEmpty(LPCRECT rect) {
    return !rect || Empty(*rect) ? TRUE : FALSE;
}
BOOL PtInRect(LPCRECT rect, POINT p) {
    return rect && p.x >= rect->left && p.x < rect->right && p.y >= rect->top && p.y < rect->bottom
               ? TRUE
               : FALSE;
}
BOOL OffsetRect(LPRECT rect, int dx, int dy) {
    if (!rect) return FALSE;
    rect->left += dx;
    rect->right += dx;
    rect->top += dy;
    rect->bottom += dy;
    return TRUE;
}
BOOL InflateRect(LPRECT rect, int dx, int dy) {
    if (!rect) return FALSE;
    rect->left -= dx;
    rect->right += dx;
    rect->top -= dy;
    rect->bottom += dy;
    return TRUE;
}
BOOL IntersectRect(LPRECT dest, LPCRECT a, LPCRECT b) {
    if (!dest || !a || !b) return FALSE;
    *dest = Intersect(*a, *b);
    return Empty(*dest) ? FALSE : TRUE;
}
BOOL UnionRect(LPRECT dest, LPCRECT a, LPCRECT b) {
    if (!dest || !a || !b) return FALSE;
    *dest = Bounds(RectList{*a, *b});
    return Empty(*dest) ? FALSE : TRUE;
}
BOOL EqualRect(LPCRECT a, LPCRECT b) {
    return a && b && a->left == b->left && a->top == b->top && a->right == b->right &&
                   a->bottom == b->bottom
               ? TRUE
               : FALSE;
}

// Pens and brushes

HPEN CreatePen(int style, int width, COLORREF color) {
    if (style < PS_SOLID || style > 6 || width > 1024) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto p = std::make_shared<PenObject>();
    p->style = style == 6 ? PS_SOLID : style;
    p->width = std::max(width, 1);
    p->rgb = RgbFromColorref(color);
    return static_cast<HPEN>(Register(p));
}

HPEN CreatePenIndirect(const LOGPEN* pen) {
    if (!pen) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return CreatePen(static_cast<int>(pen->lopnStyle), pen->lopnWidth.x, pen->lopnColor);
}

HBRUSH CreateSolidBrush(COLORREF color) {
    auto b = std::make_shared<BrushObject>();
    b->rgb = RgbFromColorref(color);
    return static_cast<HBRUSH>(Register(b));
}

namespace {
std::shared_ptr<Surface> CopyToXrgb(const Surface& src) {
    auto s = Surface::Create(src.Width(), src.Height(), PixelFormat::Xrgb32);
    if (!s) return nullptr;
    std::vector<std::uint32_t> row(src.Width());
    for (int y = 0; y < src.Height(); ++y) {
        src.ReadRow(0, y, src.Width(), row.data());
        s->WriteRow(0, y, src.Width(), row.data());
    }
    return s;
}
}  // namespace

HBRUSH CreatePatternBrush(HBITMAP bitmap) {
    auto b = LookupAs<BitmapObject>(bitmap, Kind::Bitmap);
    if (!b) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    auto brush = std::make_shared<BrushObject>();
    brush->style = BS_PATTERN;
    brush->pattern = CopyToXrgb(*b->surface);
    if (!brush->pattern) return nullptr;
    return static_cast<HBRUSH>(Register(brush));
}

HBRUSH CreateDIBPatternBrushPt(const void* packedDib, UINT usage) {
    DibLayout layout;
    if (!packedDib || usage != DIB_RGB_COLORS ||
        !ReadDibLayout(static_cast<const BITMAPINFO*>(packedDib), layout)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto dib = MakeDibSurface(static_cast<const BITMAPINFO*>(packedDib), layout);
    if (!dib) return nullptr;
    const std::uint8_t* bits = static_cast<const std::uint8_t*>(packedDib) + layout.headerBytes;
    std::memcpy(dib->Bits(), bits, dib->ByteSize());
    auto brush = std::make_shared<BrushObject>();
    brush->style = BS_DIBPATTERNPT;
    brush->pattern = CopyToXrgb(*dib);
    if (!brush->pattern) return nullptr;
    return static_cast<HBRUSH>(Register(brush));
}

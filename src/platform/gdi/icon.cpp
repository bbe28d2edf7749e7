// Icons and image lists: pictures with transparency, drawn masked into any DC.
#include <algorithm>
#include <cstring>

#include "platform/gdi/gdi_api.h"
#include "platform/gdi/gdi_layer.h"
#include "platform/gdi/raster.h"
#include "platform/last_error.h"

namespace gdi {
namespace {

constexpr int kMaxIconExtent = 1024;

enum class Mode { Normal, Image, Mask };

// Draws argb pixels of w x h stretched into dst (surface coordinates), clipped.
void DrawPixels(DcObject& dc, const std::uint32_t* argb, int w, int h, const RECT& dst, Mode mode) {
    if (!dc.surface || w <= 0 || h <= 0) return;
    Surface& s = *dc.surface;
    int dw = dst.right - dst.left, dh = dst.bottom - dst.top;
    if (dw <= 0 || dh <= 0) return;
    for (const RECT& c : dc.Clip()) {
        RECT a = Intersect(dst, c);
        for (int y = a.top; y < a.bottom; ++y) {
            int sy = static_cast<int>((static_cast<long long>(y - dst.top) * h) / dh);
            for (int x = a.left; x < a.right; ++x) {
                int sx = static_cast<int>((static_cast<long long>(x - dst.left) * w) / dw);
                std::uint32_t p = argb[static_cast<std::size_t>(sy) * w + sx];
                std::uint32_t alpha = p >> 24;
                if (mode == Mode::Image) {
                    s.SetPixel(x, y, p & 0xFFFFFF);
                } else if (mode == Mode::Mask) {
                    s.SetPixel(x, y, alpha ? 0 : 0xFFFFFF);
                } else if (alpha == 255) {
                    s.SetPixel(x, y, p & 0xFFFFFF);
                } else if (alpha) {
                    std::uint32_t d = s.GetPixel(x, y), out = 0;
                    for (int shift = 0; shift <= 16; shift += 8) {
                        int sc = (p >> shift) & 0xFF, dc8 = (d >> shift) & 0xFF;
                        out |= static_cast<std::uint32_t>(dc8 + (sc - dc8) *
                                                                    static_cast<int>(alpha) / 255)
                               << shift;
                    }
                    s.SetPixel(x, y, out);
                }
            }
        }
    }
}

// Pixels of a bitmap as argb; the alpha comes from the mask (set = transparent), else from a
// 32-bit DIB's own alpha when it has any, else opaque.
std::vector<std::uint32_t> ReadPixels(const Surface& color, const Surface* mask, int x0, int w,
                                      int h) {
    std::vector<std::uint32_t> out(static_cast<std::size_t>(w) * h, 0);
    bool ownAlpha = false;
    if (!mask && color.Format() == PixelFormat::Xrgb32) {
        for (int y = 0; y < h && y < color.Height() && !ownAlpha; ++y)
            for (int x = x0; x < x0 + w && x < color.Width(); ++x)
                if (color.Row(y)[x * 4 + 3]) {
                    ownAlpha = true;
                    break;
                }
    }
    for (int y = 0; y < h && y < color.Height(); ++y) {
        for (int x = 0; x < w && x0 + x < color.Width(); ++x) {
            std::uint32_t rgb = color.GetPixel(x0 + x, y);
            std::uint32_t alpha = 255;
            if (ownAlpha)
                alpha = color.Row(y)[(x0 + x) * 4 + 3];
            else if (mask && x0 + x < mask->Width() && y < mask->Height() &&
                     mask->GetPixel(x0 + x, y) != 0)
                alpha = 0;
            out[static_cast<std::size_t>(y) * w + x] = (alpha << 24) | rgb;
        }
    }
    return out;
}

std::vector<std::uint32_t> Scale(const std::vector<std::uint32_t>& src, int w, int h, int nw,
                                 int nh) {
    if (w == nw && h == nh) return src;
    std::vector<std::uint32_t> out(static_cast<std::size_t>(nw) * nh);
    for (int y = 0; y < nh; ++y)
        for (int x = 0; x < nw; ++x)
            out[static_cast<std::size_t>(y) * nw + x] =
                src[static_cast<std::size_t>(y * h / nh) * w + x * w / nw];
    return out;
}

HICON RegisterIcon(int w, int h, std::vector<std::uint32_t> argb) {
    auto icon = std::make_shared<IconObject>();
    icon->width = w;
    icon->height = h;
    icon->argb = std::move(argb);
    return static_cast<HICON>(Register(icon));
}

std::shared_ptr<ImageListObject> LookupList(HIMAGELIST list) {
    auto l = LookupAs<ImageListObject>(list, Kind::ImageList);
    if (!l) SetLastError(ERROR_INVALID_HANDLE);
    return l;
}

HBITMAP BitmapFromPixels(int w, int h, const std::vector<std::uint32_t>& argb, bool mask) {
    HBITMAP b = CreateCompatibleBitmap(nullptr, w, h);
    auto s = GdiBitmapSurface(b);
    if (!s) return nullptr;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint32_t p = argb[static_cast<std::size_t>(y) * w + x];
            s->SetPixel(x, y, mask ? ((p >> 24) ? 0 : 0xFFFFFF) : (p & 0xFFFFFF));
        }
    return b;
}

}  // namespace
}  // namespace gdi

using namespace gdi;

HICON GdiCreateIconFromPixels(int width, int height, const std::uint32_t* argb) {
    if (!argb || width <= 0 || height <= 0 || width > kMaxIconExtent || height > kMaxIconExtent) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return RegisterIcon(
        width, height,
        std::vector<std::uint32_t>(argb, argb + static_cast<std::size_t>(width) * height));
}

HICON CreateIconIndirect(const ICONINFO* info) {
    if (!info) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto color = LookupAs<BitmapObject>(info->hbmColor, Kind::Bitmap);
    auto mask = LookupAs<BitmapObject>(info->hbmMask, Kind::Bitmap);
    if (!color || (info->hbmMask && !mask)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    int w = color->surface->Width(), h = color->surface->Height();
    if (w > kMaxIconExtent || h > kMaxIconExtent) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return RegisterIcon(w, h,
                        ReadPixels(*color->surface, mask ? mask->surface.get() : nullptr, 0, w, h));
}

BOOL GetIconInfo(HICON icon, ICONINFO* info) {
    auto i = LookupAs<IconObject>(icon, Kind::Icon);
    if (!i || !info) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    info->fIcon = TRUE;
    info->xHotspot = static_cast<DWORD>(i->width / 2);
    info->yHotspot = static_cast<DWORD>(i->height / 2);
    info->hbmColor = BitmapFromPixels(i->width, i->height, i->argb, false);
    info->hbmMask = BitmapFromPixels(i->width, i->height, i->argb, true);
    return info->hbmColor && info->hbmMask ? TRUE : FALSE;
}

BOOL DestroyIcon(HICON icon) {
    if (!LookupAs<IconObject>(icon, Kind::Icon)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return Unregister(icon) ? TRUE : FALSE;
}

BOOL DrawIconEx(HDC dc, int x, int y, HICON icon, int width, int height, UINT, HBRUSH flicker,
                UINT flags) {
    auto d = LookupDc(dc);
    auto i = LookupAs<IconObject>(icon, Kind::Icon);
    if (!d || !i) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (width < 0 || height < 0 || width > kMaxIconExtent * 8 || height > kMaxIconExtent * 8) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (width == 0) width = i->width;
    if (height == 0) height = i->height;
    RECT dst =
        d->ToSurface(x, y, static_cast<long long>(x) + width, static_cast<long long>(y) + height);
    if (flicker) {
        auto b = BrushFromHandle(flicker);
        if (b) FillArea(*d, dst, *b, 0xF0);
    }
    Mode mode = (flags & DI_NORMAL) == DI_NORMAL ? Mode::Normal
                : (flags & DI_IMAGE)             ? Mode::Image
                : (flags & DI_MASK)              ? Mode::Mask
                                                 : Mode::Normal;
    DrawPixels(*d, i->argb.data(), i->width, i->height, dst, mode);
    return TRUE;
}

BOOL DrawIcon(HDC dc, int x, int y, HICON icon) {
    return DrawIconEx(dc, x, y, icon, 0, 0, 0, nullptr, DI_NORMAL);
}

HIMAGELIST ImageList_Create(int width, int height, UINT flags, int initial, int grow) {
    if (width <= 0 || height <= 0 || width > kMaxIconExtent || height > kMaxIconExtent ||
        initial < 0 || grow < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto l = std::make_shared<ImageListObject>();
    l->width = width;
    l->height = height;
    l->flags = flags;
    l->images.reserve(std::min(initial, 256));
    return static_cast<HIMAGELIST>(Register(l));
}

BOOL ImageList_Destroy(HIMAGELIST list) {
    if (!LookupList(list)) return FALSE;
    return Unregister(list) ? TRUE : FALSE;
}

int ImageList_Add(HIMAGELIST list, HBITMAP image, HBITMAP mask) {
    auto l = LookupList(list);
    auto b = LookupAs<BitmapObject>(image, Kind::Bitmap);
    auto m = mask ? LookupAs<BitmapObject>(mask, Kind::Bitmap) : nullptr;
    if (!l || !b || (mask && !m)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return -1;
    }
    int count = b->surface->Width() / l->width;
    if (count <= 0) return -1;
    int first = static_cast<int>(l->images.size());
    const Surface* maskSurface = (m && (l->flags & ILC_MASK)) ? m->surface.get() : nullptr;
    for (int k = 0; k < count; ++k)
        l->images.push_back(
            ReadPixels(*b->surface, maskSurface, k * l->width, l->width, l->height));
    return first;
}

int ImageList_AddMasked(HIMAGELIST list, HBITMAP image, COLORREF key) {
    auto l = LookupList(list);
    auto b = LookupAs<BitmapObject>(image, Kind::Bitmap);
    if (!l || !b) {
        SetLastError(ERROR_INVALID_HANDLE);
        return -1;
    }
    int count = b->surface->Width() / l->width;
    if (count <= 0) return -1;
    int first = static_cast<int>(l->images.size());
    std::uint32_t k = b->surface->Quantize(RgbFromColorref(key));
    for (int n = 0; n < count; ++n) {
        auto px = ReadPixels(*b->surface, nullptr, n * l->width, l->width, l->height);
        for (auto& p : px)
            if ((p & 0xFFFFFF) == k)
                p &= 0xFFFFFF;
            else
                p |= 0xFF000000;
        l->images.push_back(std::move(px));
    }
    return first;
}

int ImageList_ReplaceIcon(HIMAGELIST list, int index, HICON icon) {
    auto l = LookupList(list);
    auto i = LookupAs<IconObject>(icon, Kind::Icon);
    if (!l || !i) {
        SetLastError(ERROR_INVALID_HANDLE);
        return -1;
    }
    if (index < -1 || index >= static_cast<int>(l->images.size())) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    auto px = Scale(i->argb, i->width, i->height, l->width, l->height);
    if (index == -1) {
        l->images.push_back(std::move(px));
        return static_cast<int>(l->images.size()) - 1;
    }
    l->images[index] = std::move(px);
    return index;
}

BOOL ImageList_Remove(HIMAGELIST list, int index) {
    auto l = LookupList(list);
    if (!l) return FALSE;
    if (index == -1) {
        l->images.clear();
        return TRUE;
    }
    if (index < 0 || index >= static_cast<int>(l->images.size())) return FALSE;
    l->images.erase(l->images.begin() + index);
    return TRUE;
}

int ImageList_GetImageCount(HIMAGELIST list) {
    auto l = LookupList(list);
    return l ? static_cast<int>(l->images.size()) : 0;
}

BOOL ImageList_GetIconSize(HIMAGELIST list, int* width, int* height) {
    auto l = LookupList(list);
    if (!l || !width || !height) return FALSE;
    *width = l->width;
    *height = l->height;
    return TRUE;
}

COLORREF ImageList_SetBkColor(HIMAGELIST list, COLORREF color) {
    auto l = LookupList(list);
    if (!l) return CLR_NONE;
    COLORREF old = l->bkColor;
    l->bkColor = color;
    return old;
}

COLORREF ImageList_GetBkColor(HIMAGELIST list) {
    auto l = LookupList(list);
    return l ? l->bkColor : CLR_NONE;
}

BOOL ImageList_Draw(HIMAGELIST list, int index, HDC dc, int x, int y, UINT style) {
    auto l = LookupList(list);
    auto d = LookupDc(dc);
    if (!l || !d) return FALSE;
    if (index < 0 || index >= static_cast<int>(l->images.size())) return FALSE;
    RECT dst = d->ToSurface(x, y, static_cast<long long>(x) + l->width,
                            static_cast<long long>(y) + l->height);
    const auto& px = l->images[index];
    if (style & ILD_MASK) {
        DrawPixels(*d, px.data(), l->width, l->height, dst, Mode::Mask);
        return TRUE;
    }
    bool masked = (l->flags & ILC_MASK) != 0;
    if (!masked) {
        DrawPixels(*d, px.data(), l->width, l->height, dst, Mode::Image);
        return TRUE;
    }
    if (l->bkColor != CLR_NONE && !(style & ILD_TRANSPARENT))
        FillArea(*d, dst, SolidBrush(RgbFromColorref(l->bkColor)), 0xF0);
    DrawPixels(*d, px.data(), l->width, l->height, dst, Mode::Normal);
    return TRUE;
}

HICON ImageList_GetIcon(HIMAGELIST list, int index, UINT) {
    auto l = LookupList(list);
    if (!l || index < 0 || index >= static_cast<int>(l->images.size())) return nullptr;
    return RegisterIcon(l->width, l->height, l->images[index]);
}

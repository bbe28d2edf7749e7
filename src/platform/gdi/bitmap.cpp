// Bitmaps and DIB sections.
#include <cstring>

#include "platform/gdi/dib.h"
#include "platform/gdi/gdi_api.h"
#include "platform/gdi/gdi_object.h"
#include "platform/last_error.h"

namespace gdi {

bool ReadDibLayout(const BITMAPINFO* info, DibLayout& layout) {
    if (!info) return false;
    const BITMAPINFOHEADER& h = info->bmiHeader;
    if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biSize > 1024) return false;
    if (h.biWidth <= 0 || h.biHeight == 0 || h.biHeight == INT32_MIN || h.biPlanes != 1)
        return false;
    layout.width = h.biWidth;
    layout.height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    layout.topDown = h.biHeight < 0;
    const std::uint8_t* base = reinterpret_cast<const std::uint8_t*>(info);
    std::size_t tableStart = h.biSize;
    DWORD masks[3] = {0, 0, 0};
    if (h.biCompression == BI_BITFIELDS) {
        // Masks follow a plain header; larger headers carry them at the same offset.
        std::memcpy(masks, base + sizeof(BITMAPINFOHEADER), sizeof(masks));
        if (h.biSize == sizeof(BITMAPINFOHEADER)) tableStart += sizeof(masks);
    } else if (h.biCompression != BI_RGB) {
        return false;
    }
    switch (h.biBitCount) {
        case 1:
            layout.format = PixelFormat::Mono1;
            break;
        case 4:
            layout.format = PixelFormat::Index4;
            break;
        case 8:
            layout.format = PixelFormat::Index8;
            break;
        case 16:
            layout.format = PixelFormat::Rgb555;
            if (h.biCompression == BI_BITFIELDS) {
                if (masks[0] == 0xF800 && masks[1] == 0x07E0 && masks[2] == 0x001F)
                    layout.format = PixelFormat::Rgb565;
                else if (!(masks[0] == 0x7C00 && masks[1] == 0x03E0 && masks[2] == 0x001F))
                    return false;
            }
            break;
        case 24:
            if (h.biCompression != BI_RGB) return false;
            layout.format = PixelFormat::Rgb24;
            break;
        case 32:
            layout.format = PixelFormat::Xrgb32;
            if (h.biCompression == BI_BITFIELDS &&
                !(masks[0] == 0xFF0000 && masks[1] == 0xFF00 && masks[2] == 0xFF))
                return false;
            break;
        default:
            return false;
    }
    if (h.biCompression == BI_BITFIELDS && h.biBitCount != 16 && h.biBitCount != 32) return false;
    int maxColors = h.biBitCount <= 8 ? 1 << h.biBitCount : 0;
    if (h.biBitCount <= 8) {
        if (h.biClrUsed > static_cast<DWORD>(maxColors)) return false;
        layout.paletteCount = h.biClrUsed ? static_cast<int>(h.biClrUsed) : maxColors;
    } else {
        // A colour table beside true-colour pixels is only an optimisation hint.
        if (h.biClrUsed > 256) return false;
        layout.paletteCount = static_cast<int>(h.biClrUsed);
    }
    layout.headerBytes = tableStart + static_cast<std::size_t>(layout.paletteCount) * 4;
    long long stride = RowStride(layout.width, h.biBitCount);
    return stride > 0;
}

std::shared_ptr<Surface> MakeDibSurface(const BITMAPINFO* info, const DibLayout& layout) {
    auto s = Surface::Create(layout.width, layout.height, layout.format, layout.topDown);
    if (!s) return nullptr;
    if (s->Paletted()) {
        const std::uint8_t* table = reinterpret_cast<const std::uint8_t*>(info) +
                                    layout.headerBytes -
                                    static_cast<std::size_t>(layout.paletteCount) * 4;
        for (int i = 0; i < layout.paletteCount; ++i) {
            const std::uint8_t* q = table + i * 4;
            s->SetPaletteEntry(i, (q[2] << 16) | (q[1] << 8) | q[0]);
        }
    }
    return s;
}

}  // namespace gdi

using namespace gdi;

HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height) {
    if (dc && !LookupDc(dc)) return nullptr;
    auto s = Surface::Create(width, height, PixelFormat::Xrgb32);
    if (!s) {
        SetLastError(width <= 0 || height <= 0 ? ERROR_INVALID_PARAMETER : ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    auto b = std::make_shared<BitmapObject>();
    b->surface = std::move(s);
    return static_cast<HBITMAP>(Register(b));
}

HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitCount, const void* bits) {
    if (planes != 1 || (bitCount != 1 && bitCount != 32)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto s =
        Surface::Create(width, height, bitCount == 1 ? PixelFormat::Mono1 : PixelFormat::Xrgb32);
    if (!s) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (bits) {
        // Device-dependent rows are padded to 16 bits only.
        std::size_t srcStride = ((static_cast<std::size_t>(width) * bitCount + 15) / 16) * 2;
        const std::uint8_t* src = static_cast<const std::uint8_t*>(bits);
        for (int y = 0; y < height; ++y)
            std::memcpy(s->Row(y), src + srcStride * y,
                        std::min<std::size_t>(srcStride, s->Stride()));
    }
    auto b = std::make_shared<BitmapObject>();
    b->surface = std::move(s);
    return static_cast<HBITMAP>(Register(b));
}

HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD offset) {
    if (bits) *bits = nullptr;
    DibLayout layout;
    if ((dc && !LookupDc(dc)) || usage != DIB_RGB_COLORS || section || offset ||
        !ReadDibLayout(info, layout)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto s = MakeDibSurface(info, layout);
    if (!s) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    auto b = std::make_shared<BitmapObject>();
    b->surface = std::move(s);
    b->dib = true;
    // Memory nobody is given the address of may be lent to the screen.
    if (bits)
        *bits = b->surface->Bits();
    else
        b->surface->AllowLending();
    return static_cast<HBITMAP>(Register(b));
}

namespace {
std::shared_ptr<Surface> SelectedDib(HDC dc) {
    auto d = LookupDc(dc);
    if (!d || !d->memory || !d->st.bitmap || !d->st.bitmap->dib) return nullptr;
    return d->st.bitmap->surface;
}
}  // namespace

UINT SetDIBColorTable(HDC dc, UINT start, UINT count, const RGBQUAD* colors) {
    auto s = SelectedDib(dc);
    if (!s || !colors || !s->Paletted()) return 0;
    UINT n = static_cast<UINT>(s->Palette().size());
    if (start >= n) return 0;
    count = std::min(count, n - start);
    for (UINT i = 0; i < count; ++i)
        s->SetPaletteEntry(static_cast<int>(start + i), (colors[i].rgbRed << 16) |
                                                            (colors[i].rgbGreen << 8) |
                                                            colors[i].rgbBlue);
    return count;
}

UINT GetDIBColorTable(HDC dc, UINT start, UINT count, RGBQUAD* colors) {
    auto s = SelectedDib(dc);
    if (!s || !colors || !s->Paletted()) return 0;
    UINT n = static_cast<UINT>(s->Palette().size());
    if (start >= n) return 0;
    count = std::min(count, n - start);
    for (UINT i = 0; i < count; ++i) {
        std::uint32_t p = s->Palette()[start + i];
        colors[i] = RGBQUAD{static_cast<BYTE>(p & 0xFF), static_cast<BYTE>((p >> 8) & 0xFF),
                            static_cast<BYTE>((p >> 16) & 0xFF), 0};
    }
    return count;
}

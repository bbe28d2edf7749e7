// Where an image object's picture can come from besides a decoder: the standard palettes, a
// bitmap's own bits, a picture resource of a module; and whether a pixel is see-through.
#include <cstdlib>
#include <cstring>

#include "media/image/cx_image.h"
#include "platform/resources/device_resources.h"

namespace {

// The sixteen colours of the standard palette, as red, green, blue.
constexpr std::uint8_t kStandard16[16][3] = {
    {0, 0, 0},     {128, 0, 0},     {0, 128, 0},     {128, 128, 0},  {0, 0, 128}, {128, 0, 128},
    {0, 128, 128}, {192, 192, 192}, {128, 128, 128}, {255, 0, 0},    {0, 255, 0}, {255, 255, 0},
    {0, 0, 255},   {255, 0, 255},   {0, 255, 255},   {255, 255, 255}};

RGBQUAD Quad(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    RGBQUAD q{};
    q.rgbRed = r;
    q.rgbGreen = g;
    q.rgbBlue = b;
    return q;
}

}  // namespace

bool CxImage::SetStdPalette() {
    if (!dib_) return false;
    RGBQUAD entries[256] = {};
    const std::uint32_t count = head_.biClrUsed;
    if (count != 16 && count != 256) return false;
    for (std::uint32_t i = 0; i < 16; ++i)
        entries[i] = Quad(kStandard16[i][0], kStandard16[i][1], kStandard16[i][2]);
    if (count == 256) {
        // Then a 6 x 6 x 6 colour cube and 24 greys between black and white.
        std::uint32_t n = 16;
        for (std::uint32_t r = 0; r < 6; ++r)
            for (std::uint32_t g = 0; g < 6; ++g)
                for (std::uint32_t b = 0; b < 6; ++b)
                    entries[n++] =
                        Quad(std::uint8_t(r * 51), std::uint8_t(g * 51), std::uint8_t(b * 51));
        for (std::uint32_t i = 0; i < 24; ++i) {
            const auto v = std::uint8_t((i + 1) * 255 / 25);
            entries[n++] = Quad(v, v, v);
        }
    }
    SetPalette(entries, count);
    return true;
}

bool CxImage::CreateFromArray(const std::uint8_t* bits, std::uint32_t width, std::uint32_t height,
                              std::uint32_t bpp, std::uint32_t bytesPerLine, bool flip) {
    if (!bits || width == 0 || height == 0) {
        SetLastError("CreateFromArray: no picture");
        return false;
    }
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32) {
        SetLastError("CreateFromArray: unsupported depth");
        return false;
    }
    // Each given row must hold the whole width.
    const std::uint64_t rowBytes = (std::uint64_t(width) * bpp + 7) / 8;
    if (bytesPerLine < rowBytes) {
        SetLastError("CreateFromArray: rows shorter than the width");
        return false;
    }
    if (!Create(width, height, bpp == 32 ? 24 : bpp, info_.type)) return false;
    if (bpp == 32) {
        alpha_ = static_cast<std::uint8_t*>(std::malloc(std::size_t(width) * height));
        if (!alpha_) {
            Destroy();
            SetLastError("CxImage::Create can't allocate memory");
            return false;
        }
    }
    for (std::uint32_t y = 0; y < height; ++y) {
        // The array's rows run bottom-up like the image's own, or top-down when flipped.
        const std::uint8_t* from = bits + std::size_t(flip ? height - 1 - y : y) * bytesPerLine;
        std::uint8_t* to = info_.image + std::size_t(y) * info_.effWidth;
        if (bpp != 32) {
            std::memcpy(to, from, std::size_t(rowBytes));
            continue;
        }
        for (std::uint32_t x = 0; x < width; ++x) {
            std::memcpy(to + 3 * x, from + 4 * x, 3);
            alpha_[std::size_t(y) * width + x] = from[4 * x + 3];
        }
    }
    return true;
}

bool CxImage::LoadResource(HMODULE module, LPCWSTR name, LPCWSTR resourceType,
                           std::uint32_t imageType) {
    HRSRC found = FindResourceW(module, name, resourceType);
    HGLOBAL loaded = found ? ::LoadResource(module, found) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    const DWORD size = found ? SizeofResource(module, found) : 0;
    if (!bytes || size == 0) {
        SetLastError("Unable to load resource!");
        return false;
    }
    return DecodeMemory(bytes, size, imageType);
}

bool CxImage::IsTransparent(std::int32_t x, std::int32_t y) const {
    if (!Inside(x, y)) return false;
    if (alpha_ && alpha_[std::size_t(y) * std::size_t(head_.biWidth) + std::size_t(x)] == 0)
        return true;
    if (info_.backgroundIndex < 0) return false;
    if (GetPalette()) return GetPixelIndex(x, y) == info_.backgroundIndex;
    const RGBQUAD c = GetPixelColor(x, y);
    const RGBQUAD& b = info_.backgroundColour;
    return c.rgbBlue == b.rgbBlue && c.rgbGreen == b.rgbGreen && c.rgbRed == b.rgbRed;
}

std::uint8_t CxImage::AlphaGet(std::int32_t x, std::int32_t y) const {
    if (!alpha_ || !Inside(x, y)) return 255;
    return alpha_[std::size_t(y) * std::size_t(head_.biWidth) + std::size_t(x)];
}

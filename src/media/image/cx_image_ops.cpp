// The image object's whole set of picture operations beyond what the drawing paths use: flips,
// mirroring, quarter, half and free rotations, negative, grey conversion, cropping, expansion,
// thumbnails, bit-depth increase, ordered dithering, palette blending and index swapping, and a
// line drawer. Each works on this image or, given a destination, leaves this one as it was.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "media/image/cx_image.h"

namespace {

// A pixel copied as it is stored: the index for palette pictures, else the colour.
void CopyPixel(const CxImage& from, std::int32_t fx, std::int32_t fy, CxImage& to,
               std::int32_t tx, std::int32_t ty) {
    if (from.GetPalette())
        to.SetPixelIndex(tx, ty, from.GetPixelIndex(fx, fy));
    else
        to.SetPixelColor(tx, ty, from.GetPixelColor(fx, fy));
}

}  // namespace

std::uint8_t CxImage::RGB2GRAY(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    return std::uint8_t((red * 306 + green * 601 + blue * 117) >> 10);
}

bool CxImage::MakeLike(CxImage& temp, std::uint32_t width, std::uint32_t height,
                       std::uint32_t bits) const {
    temp.CopySettings(*this);
    if (!temp.Create(width, height, bits ? bits : GetBpp(), info_.type)) return false;
    if (GetPalette() && temp.GetPalette()) temp.SetPalette(GetPalette(), head_.biClrUsed);
    return true;
}

bool CxImage::Finish(CxImage& temp, CxImage* destination) {
    if (destination) return destination->Transfer(temp);
    return Transfer(temp);
}

bool CxImage::Flip() {
    if (!dib_) return false;
    const std::uint32_t h = GetHeight(), stride = info_.effWidth;
    std::uint8_t* swap = static_cast<std::uint8_t*>(std::malloc(stride ? stride : 1));
    if (!swap) return false;
    for (std::uint32_t y = 0; y < h / 2; ++y) {
        std::uint8_t* a = info_.image + std::uint64_t(y) * stride;
        std::uint8_t* b = info_.image + std::uint64_t(h - 1 - y) * stride;
        std::memcpy(swap, a, stride);
        std::memcpy(a, b, stride);
        std::memcpy(b, swap, stride);
    }
    std::free(swap);
    return true;
}

bool CxImage::Mirror() {
    if (!dib_) return false;
    CxImage temp;
    if (!MakeLike(temp, GetWidth(), GetHeight())) return false;
    const std::int32_t w = std::int32_t(GetWidth()), h = std::int32_t(GetHeight());
    for (std::int32_t y = 0; y < h; ++y)
        for (std::int32_t x = 0; x < w; ++x) CopyPixel(*this, w - 1 - x, y, temp, x, y);
    return Finish(temp, nullptr);
}

// Rows count from the bottom: a left (counter-clockwise) turn takes the right column to the top
// row.
bool CxImage::RotateLeft(CxImage* destination) {
    if (!dib_) return false;
    CxImage temp;
    if (!MakeLike(temp, GetHeight(), GetWidth())) return false;
    const std::int32_t w = std::int32_t(GetWidth()), h = std::int32_t(GetHeight());
    for (std::int32_t y = 0; y < h; ++y)
        for (std::int32_t x = 0; x < w; ++x) CopyPixel(*this, x, y, temp, h - 1 - y, x);
    return Finish(temp, destination);
}

bool CxImage::RotateRight(CxImage* destination) {
    if (!dib_) return false;
    CxImage temp;
    if (!MakeLike(temp, GetHeight(), GetWidth())) return false;
    const std::int32_t w = std::int32_t(GetWidth()), h = std::int32_t(GetHeight());
    for (std::int32_t y = 0; y < h; ++y)
        for (std::int32_t x = 0; x < w; ++x) CopyPixel(*this, x, y, temp, y, w - 1 - x);
    return Finish(temp, destination);
}

bool CxImage::Rotate180(CxImage* destination) {
    if (!dib_) return false;
    CxImage temp;
    if (!MakeLike(temp, GetWidth(), GetHeight())) return false;
    const std::int32_t w = std::int32_t(GetWidth()), h = std::int32_t(GetHeight());
    for (std::int32_t y = 0; y < h; ++y)
        for (std::int32_t x = 0; x < w; ++x) CopyPixel(*this, w - 1 - x, h - 1 - y, temp, x, y);
    return Finish(temp, destination);
}

bool CxImage::Rotate(float degrees, CxImage* destination) {
    if (!dib_ || !std::isfinite(degrees)) return false;
    const double a = degrees * 3.14159265358979323846 / 180.0, c = std::cos(a), s = std::sin(a);
    const double w = GetWidth(), h = GetHeight();
    // The bounding box of the turned picture.
    const std::int32_t nw = std::int32_t(std::fabs(w * c) + std::fabs(h * s) + 0.5);
    const std::int32_t nh = std::int32_t(std::fabs(w * s) + std::fabs(h * c) + 0.5);
    if (nw <= 0 || nh <= 0) return false;
    CxImage temp;
    if (!MakeLike(temp, std::uint32_t(nw), std::uint32_t(nh))) return false;
    // Uncovered corners take the background: its index, or its colour.
    const bool palette = GetPalette() != nullptr;
    const double cx = (w - 1) / 2, cy = (h - 1) / 2, ncx = (nw - 1) / 2.0, ncy = (nh - 1) / 2.0;
    for (std::int32_t y = 0; y < nh; ++y) {
        for (std::int32_t x = 0; x < nw; ++x) {
            // Back through the inverse turn to the nearest source pixel.
            const double dx = x - ncx, dy = y - ncy;
            const std::int32_t sx = std::int32_t(std::floor(dx * c + dy * s + cx + 0.5));
            const std::int32_t sy = std::int32_t(std::floor(-dx * s + dy * c + cy + 0.5));
            if (Inside(sx, sy)) {
                CopyPixel(*this, sx, sy, temp, x, y);
            } else if (palette) {
                temp.SetPixelIndex(x, y, std::uint8_t(info_.backgroundIndex >= 0
                                                          ? info_.backgroundIndex
                                                          : 0));
            } else {
                temp.SetPixelColor(x, y, info_.backgroundColour);
            }
        }
    }
    return Finish(temp, destination);
}

bool CxImage::Negative() {
    if (!dib_) return false;
    if (RGBQUAD* palette = GetPalette()) {
        for (std::uint32_t i = 0; i < head_.biClrUsed; ++i) {
            palette[i].rgbBlue = std::uint8_t(255 - palette[i].rgbBlue);
            palette[i].rgbGreen = std::uint8_t(255 - palette[i].rgbGreen);
            palette[i].rgbRed = std::uint8_t(255 - palette[i].rgbRed);
        }
        info_.lastValid = false;
        return true;
    }
    for (std::uint32_t y = 0; y < GetHeight(); ++y) {
        std::uint8_t* row = info_.image + std::uint64_t(y) * info_.effWidth;
        for (std::uint32_t i = 0; i < GetWidth() * 3; ++i) row[i] = std::uint8_t(255 - row[i]);
    }
    return true;
}

bool CxImage::GrayScale() {
    if (!dib_) return false;
    if (RGBQUAD* palette = GetPalette()) {
        // The indices stay; their colours become grey.
        for (std::uint32_t i = 0; i < head_.biClrUsed; ++i) {
            const std::uint8_t g = RGB2GRAY(palette[i].rgbRed, palette[i].rgbGreen,
                                            palette[i].rgbBlue);
            palette[i] = RGBQUAD{g, g, g, 0};
        }
        info_.lastValid = false;
        return true;
    }
    CxImage temp;
    if (!MakeLike(temp, GetWidth(), GetHeight(), 8)) return false;
    temp.SetGrayPalette();
    for (std::int32_t y = 0; y < std::int32_t(GetHeight()); ++y) {
        for (std::int32_t x = 0; x < std::int32_t(GetWidth()); ++x) {
            const RGBQUAD p = GetPixelColor(x, y);
            temp.SetPixelIndex(x, y, RGB2GRAY(p.rgbRed, p.rgbGreen, p.rgbBlue));
        }
    }
    return Finish(temp, nullptr);
}

// left, top, right and bottom count from the top-left corner; right and bottom are excluded.
bool CxImage::Crop(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom,
                   CxImage* destination) {
    if (!dib_) return false;
    const std::int32_t w = std::int32_t(GetWidth()), h = std::int32_t(GetHeight());
    if (left < 0) left = 0;
    if (top < 0) top = 0;
    if (right > w) right = w;
    if (bottom > h) bottom = h;
    if (right <= left || bottom <= top) return false;
    CxImage temp;
    const std::int32_t nw = right - left, nh = bottom - top;
    if (!MakeLike(temp, std::uint32_t(nw), std::uint32_t(nh))) return false;
    // Stored rows count from the bottom.
    for (std::int32_t y = 0; y < nh; ++y)
        for (std::int32_t x = 0; x < nw; ++x)
            CopyPixel(*this, left + x, h - bottom + y, temp, x, y);
    return Finish(temp, destination);
}

bool CxImage::Expand(std::int32_t left, std::int32_t top, std::int32_t right,
                     std::int32_t bottom, RGBQUAD fill, CxImage* destination) {
    if (!dib_ || left < 0 || top < 0 || right < 0 || bottom < 0) return false;
    const std::int64_t nw = std::int64_t(GetWidth()) + left + right;
    const std::int64_t nh = std::int64_t(GetHeight()) + top + bottom;
    if (nw > 0xFFFF || nh > 0xFFFF) return false;
    CxImage temp;
    if (!MakeLike(temp, std::uint32_t(nw), std::uint32_t(nh))) return false;
    const bool palette = GetPalette() != nullptr;
    const std::uint8_t fillIndex = palette ? temp.GetNearestIndex(fill) : 0;
    for (std::int32_t y = 0; y < std::int32_t(nh); ++y) {
        for (std::int32_t x = 0; x < std::int32_t(nw); ++x) {
            const std::int32_t sx = x - left, sy = y - bottom;
            if (Inside(sx, sy))
                CopyPixel(*this, sx, sy, temp, x, y);
            else if (palette)
                temp.SetPixelIndex(x, y, fillIndex);
            else
                temp.SetPixelColor(x, y, fill);
        }
    }
    return Finish(temp, destination);
}

bool CxImage::Thumbnail(std::int32_t width, std::int32_t height, RGBQUAD canvas,
                        CxImage* destination) {
    if (!dib_ || width <= 0 || height <= 0) return false;
    // Shrunk (never enlarged) to fit, keeping its proportions, then centred on the canvas.
    const std::int64_t w = GetWidth(), h = GetHeight();
    std::int64_t nw = w, nh = h;
    if (nw > width || nh > height) {
        if (w * height > h * width) {
            nw = width;
            nh = h * width / w;
        } else {
            nh = height;
            nw = w * height / h;
        }
        if (nw < 1) nw = 1;
        if (nh < 1) nh = 1;
    }
    CxImage small;
    if (!Resample(std::int32_t(nw), std::int32_t(nh), GetPalette() ? 1 : 2, &small)) return false;
    const std::int32_t padX = width - std::int32_t(nw), padY = height - std::int32_t(nh);
    CxImage framed;
    if (!small.Expand(padX / 2, padY / 2, padX - padX / 2, padY - padY / 2, canvas, &framed))
        return false;
    return Finish(framed, destination);
}

bool CxImage::IncreaseBpp(std::uint32_t bits) {
    if (!dib_ || (bits != 4 && bits != 8 && bits != 24)) return false;
    if (bits <= GetBpp()) return bits == GetBpp();
    CxImage temp;
    if (!MakeLike(temp, GetWidth(), GetHeight(), bits)) return false;
    for (std::int32_t y = 0; y < std::int32_t(GetHeight()); ++y) {
        for (std::int32_t x = 0; x < std::int32_t(GetWidth()); ++x) {
            if (bits == 24)
                temp.SetPixelColor(x, y, GetPixelColor(x, y));
            else
                temp.SetPixelIndex(x, y, GetPixelIndex(x, y));
        }
    }
    return Finish(temp, nullptr);
}

bool CxImage::Dither() {
    if (!dib_) return false;
    // A 4 x 4 ordered (Bayer) threshold over the grey level, down to black and white.
    static constexpr std::uint8_t kBayer[4][4] = {
        {0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    CxImage temp;
    if (!MakeLike(temp, GetWidth(), GetHeight(), 1)) return false;
    const RGBQUAD bw[2] = {{0, 0, 0, 0}, {255, 255, 255, 0}};
    temp.SetPalette(bw, 2);
    for (std::int32_t y = 0; y < std::int32_t(GetHeight()); ++y) {
        for (std::int32_t x = 0; x < std::int32_t(GetWidth()); ++x) {
            const RGBQUAD p = GetPixelColor(x, y);
            const int level = RGB2GRAY(p.rgbRed, p.rgbGreen, p.rgbBlue);
            const int threshold = kBayer[y & 3][x & 3] * 16 + 8;
            temp.SetPixelIndex(x, y, level > threshold ? 1 : 0);
        }
    }
    return Finish(temp, nullptr);
}

void CxImage::BlendPalette(RGBQUAD colour, std::int32_t percent) {
    RGBQUAD* palette = GetPalette();
    if (!palette || percent <= 0) return;
    if (percent > 100) percent = 100;
    const std::int32_t keep = 100 - percent;
    for (std::uint32_t i = 0; i < head_.biClrUsed; ++i) {
        palette[i].rgbBlue = std::uint8_t((palette[i].rgbBlue * keep + colour.rgbBlue * percent) / 100);
        palette[i].rgbGreen =
            std::uint8_t((palette[i].rgbGreen * keep + colour.rgbGreen * percent) / 100);
        palette[i].rgbRed = std::uint8_t((palette[i].rgbRed * keep + colour.rgbRed * percent) / 100);
    }
    info_.lastValid = false;
}

bool CxImage::SwapIndex(std::uint8_t a, std::uint8_t b) {
    RGBQUAD* palette = GetPalette();
    if (!palette || a >= head_.biClrUsed || b >= head_.biClrUsed) return false;
    std::swap(palette[a], palette[b]);
    for (std::int32_t y = 0; y < std::int32_t(GetHeight()); ++y) {
        for (std::int32_t x = 0; x < std::int32_t(GetWidth()); ++x) {
            const std::uint8_t i = GetPixelIndex(x, y);
            if (i == a) SetPixelIndex(x, y, b);
            else if (i == b) SetPixelIndex(x, y, a);
        }
    }
    info_.lastValid = false;
    return true;
}

void CxImage::DrawLine(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1,
                       RGBQUAD colour) {
    if (!dib_) return;
    // Bresenham; points outside the picture are skipped by SetPixelColor.
    const std::int64_t dx = std::llabs(std::int64_t(x1) - x0), dy = -std::llabs(std::int64_t(y1) - y0);
    const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    std::int64_t error = dx + dy;
    std::int64_t x = x0, y = y0;
    while (true) {
        SetPixelColor(std::int32_t(x), std::int32_t(y), colour);
        if (x == x1 && y == y1) break;
        const std::int64_t e2 = 2 * error;
        if (e2 >= dy) {
            error += dy;
            x += sx;
        }
        if (e2 <= dx) {
            error += dx;
            y += sy;
        }
    }
}

#include "media/image/cx_image.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "media/image/cx_file.h"
#include "media/image/cx_image_jpg.h"

CxImage::CxImage(std::uint32_t type) {
    info_.type = type;
    head_.biSize = sizeof(BITMAPINFOHEADER);
    head_.biXPelsPerMeter = head_.biYPelsPerMeter = 3780;
}

CxImage::~CxImage() {
    Destroy();
}

void CxImage::SetLastError(const char* text) {
    std::snprintf(info_.lastError, sizeof info_.lastError, "%s", text ? text : "");
}

bool CxImage::Destroy() {
    if (info_.ghost) return false;
    SetQuantizer(nullptr);
    if (layers_) {
        for (std::int32_t i = 0; i < info_.layerCount; ++i) delete layers_[i];
        std::free(layers_);
        layers_ = nullptr;
    }
    info_.layerCount = 0;
    std::free(alpha_);
    std::free(selection_);
    std::free(dib_);
    alpha_ = selection_ = dib_ = nullptr;
    info_.image = nullptr;
    info_.lastValid = false;
    return true;
}

void CxImage::SetQuantizer(ColorQuantizer* quantizer) {
    if (quantizer_.get() != quantizer) quantizer_.reset(quantizer);
}

std::uint8_t* CxImage::Create(std::uint32_t width, std::uint32_t height, std::uint32_t bits,
                              std::uint32_t type) {
    if (!Destroy()) return nullptr;
    if (width == 0 || height == 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF) {
        SetLastError("CxImage::Create: wrong size");
        return nullptr;
    }
    bits = bits <= 1 ? 1 : bits <= 4 ? 4 : bits <= 8 ? 8 : 24;
    std::uint32_t colours = bits == 1 ? 2 : bits == 4 ? 16 : bits == 8 ? 256 : 0;
    std::uint64_t stride = ((std::uint64_t(width) * bits + 31) >> 5) * 4;
    std::uint64_t imageSize = stride * height;
    std::uint64_t total = 40 + std::uint64_t(colours) * 4 + imageSize;
    if (total > kCxImageMaxBytes) {
        SetLastError("CXIMAGE_MAX_MEMORY exceeded");
        return nullptr;
    }
    // Zeroed: partial pictures (truncated files, stopped operations) show no stale memory.
    dib_ = static_cast<std::uint8_t*>(std::calloc(std::size_t(total), 1));
    if (!dib_) {
        SetLastError("CxImage::Create can't allocate memory");
        return nullptr;
    }
    head_.biSize = sizeof(BITMAPINFOHEADER);
    head_.biWidth = LONG(width);
    head_.biHeight = LONG(height);
    head_.biPlanes = 1;
    head_.biBitCount = WORD(bits);
    head_.biCompression = BI_RGB;
    head_.biSizeImage = DWORD(imageSize);
    head_.biClrUsed = colours;
    head_.biClrImportant = 0;
    info_.effWidth = std::uint32_t(stride);
    info_.type = type;
    std::memcpy(dib_, &head_, sizeof head_);
    info_.image = dib_ + 40 + colours * 4;
    info_.lastValid = false;
    return dib_;
}

std::uint8_t* CxImage::GetBits(std::uint32_t row) {
    if (!dib_) return nullptr;
    if (row == 0) return info_.image;
    if (row < GetHeight()) return info_.image + std::uint64_t(row) * info_.effWidth;
    return nullptr;
}

std::uint32_t CxImage::GetSize() const {
    return 40 + GetPaletteSize() + head_.biSizeImage;
}

RGBQUAD* CxImage::GetPalette() const {
    if (!dib_ || head_.biClrUsed == 0) return nullptr;
    return reinterpret_cast<RGBQUAD*>(dib_ + 40);
}

void CxImage::SetPalette(const RGBQUAD* entries, std::uint32_t count) {
    RGBQUAD* palette = GetPalette();
    if (!palette || !entries) return;
    std::uint64_t bytes = std::uint64_t(count) * 4;
    if (bytes > GetPaletteSize()) bytes = GetPaletteSize();
    std::memcpy(palette, entries, std::size_t(bytes));
    info_.lastValid = false;
}

void CxImage::SetPaletteRGB(std::uint32_t count, const std::uint8_t* reds,
                            const std::uint8_t* greens, const std::uint8_t* blues) {
    RGBQUAD* palette = GetPalette();
    if (!palette || !reds) return;
    if (!greens) greens = reds;
    if (!blues) blues = greens;
    if (count > head_.biClrUsed) count = head_.biClrUsed;
    for (std::uint32_t i = 0; i < count; ++i) palette[i] = RGBQUAD{blues[i], greens[i], reds[i], 0};
    info_.lastValid = false;
}

void CxImage::SetGrayPalette() {
    RGBQUAD* palette = GetPalette();
    std::uint32_t colours = head_.biClrUsed;
    if (!palette || colours < 2 || colours > 256) return;
    std::uint32_t step = 255 / (colours - 1);
    for (std::uint32_t i = 0; i < colours; ++i) {
        std::uint8_t v = std::uint8_t(step * i);
        palette[i] = RGBQUAD{v, v, v, 0};
    }
    info_.lastValid = false;
}

void CxImage::SetPaletteColor(std::uint8_t index, RGBQUAD colour) {
    RGBQUAD* palette = GetPalette();
    if (!palette || index >= head_.biClrUsed) return;
    palette[index] = RGBQUAD{colour.rgbBlue, colour.rgbGreen, colour.rgbRed, 0};
    info_.lastValid = false;
}

RGBQUAD CxImage::GetPaletteColor(std::uint8_t index) const {
    RGBQUAD* palette = GetPalette();
    if (!palette || index >= head_.biClrUsed) return RGBQUAD{};
    return palette[index];
}

bool CxImage::IsGrayScale() const {
    RGBQUAD* palette = GetPalette();
    if (!palette) return false;
    for (std::uint32_t i = 0; i < head_.biClrUsed; ++i) {
        if (palette[i].rgbBlue != i || palette[i].rgbGreen != i || palette[i].rgbRed != i)
            return false;
    }
    return true;
}

std::uint8_t CxImage::GetPixelIndex(std::int32_t x, std::int32_t y) const {
    if (!dib_ || head_.biClrUsed == 0) return 0;
    if (!Inside(x, y)) {
        if (info_.backgroundIndex >= 0) return std::uint8_t(info_.backgroundIndex);
        return *info_.image;
    }
    const std::uint8_t* row = info_.image + std::uint64_t(y) * info_.effWidth;
    switch (head_.biBitCount) {
        case 8:
            return row[x];
        case 4:
            return (x & 1) ? row[x >> 1] & 15 : row[x >> 1] >> 4;
        case 1:
            return (row[x >> 3] >> (7 - (x & 7))) & 1;
        default:
            return 0;
    }
}

void CxImage::SetPixelIndex(std::int32_t x, std::int32_t y, std::uint8_t index) {
    if (!dib_ || head_.biClrUsed == 0 || !Inside(x, y)) return;
    std::uint8_t* row = info_.image + std::uint64_t(y) * info_.effWidth;
    switch (head_.biBitCount) {
        case 8:
            row[x] = index;
            break;
        case 4: {
            // Masked to the depth so a too-wide index never spills into the neighbour.
            std::uint8_t& b = row[x >> 1];
            b = (x & 1) ? std::uint8_t((b & 0xF0) | (index & 15))
                        : std::uint8_t((b & 0x0F) | ((index & 15) << 4));
            break;
        }
        case 1: {
            std::uint8_t bit = std::uint8_t(0x80 >> (x & 7));
            std::uint8_t& b = row[x >> 3];
            b = (index & 1) ? std::uint8_t(b | bit) : std::uint8_t(b & ~bit);
            break;
        }
        default:
            break;
    }
}

RGBQUAD CxImage::GetPixelColor(std::int32_t x, std::int32_t y) const {
    if (!dib_) return RGBQUAD{};
    if (!Inside(x, y)) {
        if (info_.backgroundIndex >= 0) {
            if (head_.biClrUsed) return GetPaletteColor(std::uint8_t(info_.backgroundIndex));
            return info_.backgroundColour;
        }
        x = y = 0;
    }
    if (head_.biClrUsed) {
        RGBQUAD c = GetPaletteColor(GetPixelIndex(x, y));
        c.rgbReserved = 0;
        return c;
    }
    const std::uint8_t* p = info_.image + std::uint64_t(y) * info_.effWidth + 3ull * x;
    return RGBQUAD{p[0], p[1], p[2], 0};
}

void CxImage::SetPixelColor(std::int32_t x, std::int32_t y, RGBQUAD colour) {
    if (!Inside(x, y)) return;
    if (head_.biClrUsed) {
        SetPixelIndex(x, y, GetNearestIndex(colour));
        return;
    }
    std::uint8_t* p = info_.image + std::uint64_t(y) * info_.effWidth + 3ull * x;
    p[0] = colour.rgbBlue;
    p[1] = colour.rgbGreen;
    p[2] = colour.rgbRed;
}

std::uint8_t CxImage::GetNearestIndex(RGBQUAD c) {
    RGBQUAD* palette = GetPalette();
    if (!dib_ || !palette) return 0;
    if (quantizer_) {
        int index = quantizer_->Nearest(ColorQuantizer::Color{c.rgbRed, c.rgbGreen, c.rgbBlue, 0});
        return std::uint8_t(index);
    }
    if (info_.lastValid && info_.lastColour.rgbBlue == c.rgbBlue &&
        info_.lastColour.rgbGreen == c.rgbGreen && info_.lastColour.rgbRed == c.rgbRed) {
        return info_.lastIndex;
    }
    ++nearestScans_;
    info_.lastColour = c;
    info_.lastValid = true;
    std::uint32_t n = head_.biClrImportant ? head_.biClrImportant : head_.biClrUsed;
    if (n > head_.biClrUsed) n = head_.biClrUsed;
    long best = 200000;
    std::uint8_t index = 0;
    for (std::uint32_t i = 0; i < n; ++i) {
        long db = long(palette[i].rgbBlue) - c.rgbBlue;
        long dg = long(palette[i].rgbGreen) - c.rgbGreen;
        long dr = long(palette[i].rgbRed) - c.rgbRed;
        long d = db * db + dg * dg + dr * dr;
        if (d < best) {
            best = d;
            index = std::uint8_t(i);
        }
        if (d == 0) break;
    }
    info_.lastIndex = index;
    return index;
}

void CxImage::SetXDPI(std::int32_t dpi) {
    if (dpi <= 0) dpi = 96;
    info_.xdpi = dpi;
    head_.biXPelsPerMeter = LONG(std::floor(dpi * 39.37007874015748 + 0.5));
    if (dib_) reinterpret_cast<BITMAPINFOHEADER*>(dib_)->biXPelsPerMeter = head_.biXPelsPerMeter;
}

void CxImage::SetYDPI(std::int32_t dpi) {
    if (dpi <= 0) dpi = 96;
    info_.ydpi = dpi;
    head_.biYPelsPerMeter = LONG(std::floor(dpi * 39.37007874015748 + 0.5));
    if (dib_) reinterpret_cast<BITMAPINFOHEADER*>(dib_)->biYPelsPerMeter = head_.biYPelsPerMeter;
}

void CxImage::RGBtoBGR(std::uint8_t* row, std::uint32_t length) const {
    if (!row || head_.biClrUsed != 0) return;
    if (length > info_.effWidth) length = info_.effWidth;
    for (std::uint32_t i = 0; i + 2 < length; i += 3) {
        std::uint8_t t = row[i];
        row[i] = row[i + 2];
        row[i + 2] = t;
    }
}

void CxImage::CopySettings(const CxImage& s) {
    info_.escape = s.info_.escape;
    info_.backgroundIndex = s.info_.backgroundIndex;
    info_.backgroundColour = s.info_.backgroundColour;
    info_.quality = s.info_.quality;
    info_.jpegScale = s.info_.jpegScale;
    info_.xdpi = s.info_.xdpi;
    info_.ydpi = s.info_.ydpi;
    info_.codecOptions = s.info_.codecOptions;
    info_.enabled = s.info_.enabled;
    rowSink_ = s.rowSink_;
    head_.biXPelsPerMeter = s.head_.biXPelsPerMeter;
    head_.biYPelsPerMeter = s.head_.biYPelsPerMeter;
}

void CxImage::CopyInfo(const CxImage& source) {
    if (!dib_) CopySettings(source);
}

void CxImage::SetWidthHeight(std::uint32_t width, std::uint32_t height) {
    head_.biWidth = LONG(width);
    head_.biHeight = LONG(height);
}

void CxImage::Steal(CxImage& s) {
    head_ = s.head_;
    info_ = s.info_;
    info_.ghost = nullptr;
    dib_ = s.dib_;
    alpha_ = s.alpha_;
    selection_ = s.selection_;
    layers_ = s.layers_;
    s.dib_ = s.alpha_ = s.selection_ = nullptr;
    s.layers_ = nullptr;
    s.info_.image = nullptr;
    s.info_.layerCount = 0;
    s.head_.biWidth = s.head_.biHeight = 0;
}

bool CxImage::Transfer(CxImage& source) {
    if (&source == this || info_.ghost) return false;
    // The old content goes first: replacing it must not leak it.
    Destroy();
    Steal(source);
    info_.lastValid = false;
    return true;
}

bool CxImage::Copy(const CxImage& source, bool pixels, bool selection, bool alpha) {
    if (&source == this || info_.ghost) return false;
    CopySettings(source);
    if (!source.dib_) return Destroy();
    if (!Create(source.GetWidth(), source.GetHeight(), source.GetBpp(), source.GetType()))
        return false;
    std::memcpy(dib_ + 40, source.dib_ + 40, source.GetPaletteSize());
    if (pixels) std::memcpy(info_.image, source.info_.image, head_.biSizeImage);
    std::uint64_t plane = std::uint64_t(GetWidth()) * GetHeight();
    if (selection && source.selection_) {
        selection_ = static_cast<std::uint8_t*>(std::malloc(std::size_t(plane)));
        if (selection_) std::memcpy(selection_, source.selection_, std::size_t(plane));
    }
    if (alpha && source.alpha_) {
        alpha_ = static_cast<std::uint8_t*>(std::malloc(std::size_t(plane)));
        if (alpha_) std::memcpy(alpha_, source.alpha_, std::size_t(plane));
    }
    return true;
}

bool CxImage::DecodeMemory(const void* buffer, std::uint32_t size, std::uint32_t type) {
    CxMemFile file(buffer, size);
    return Decode(&file, type);
}

bool CxImage::Decode(CxFile* file, std::uint32_t type) {
    if (!file) return false;
    if (type == CXIMAGE_FORMAT_UNKNOWN || type == CXIMAGE_FORMAT_JPG) {
        std::int32_t position = file->Tell();
        CxImageJPG jpeg;
        jpeg.CopySettings(*this);
        if (jpeg.Decode(file)) {
            Transfer(jpeg);
            return true;
        }
        if (type == CXIMAGE_FORMAT_JPG) {
            SetLastError(jpeg.GetLastError());
            return false;
        }
        if (position >= 0) file->Seek(position, 0);
    }
    SetLastError("Decode: Unknown or wrong format");
    return false;
}

bool CxImage::Resample(std::int32_t newWidth, std::int32_t newHeight, int mode,
                       CxImage* destination) {
    if (newWidth <= 0 || newHeight <= 0 || !dib_) return false;
    if (std::uint32_t(newWidth) == GetWidth() && std::uint32_t(newHeight) == GetHeight()) {
        if (destination) destination->Copy(*this, true, true, true);
        return true;
    }
    float xScale = float(GetWidth()) / float(newWidth);
    float yScale = float(GetHeight()) / float(newHeight);
    CxImage temp(info_.type);
    temp.CopySettings(*this);
    if (!temp.Create(std::uint32_t(newWidth), std::uint32_t(newHeight), GetBpp(), info_.type)) {
        SetLastError(temp.GetLastError());
        return false;
    }
    if (GetPalette()) temp.SetPalette(GetPalette(), head_.biClrUsed);
    const std::int32_t maxX = std::int32_t(GetWidth()) - 1, maxY = std::int32_t(GetHeight()) - 1;
    for (std::int32_t y = 0; y < newHeight; ++y) {
        info_.progress = std::int32_t(100ll * y / newHeight);
        if (info_.escape) break;
        float fy = y * yScale;
        for (std::int32_t x = 0; x < newWidth; ++x) {
            float fx = x * xScale;
            if (mode == 2) {
                temp.SetPixelColor(x, y, Bicubic(fx - 0.5f, fy - 0.5f));
                continue;
            }
            if (mode == 1 || head_.biClrUsed) {
                std::int32_t sx = std::int32_t(fx), sy = std::int32_t(fy);
                temp.SetPixelColor(x, y,
                                   GetPixelColor(sx > maxX ? maxX : sx, sy > maxY ? maxY : sy));
                continue;
            }
            // Bilinear between the four neighbours, clamped at the last row and column.
            std::int32_t x0 = std::int32_t(fx), y0 = std::int32_t(fy);
            if (x0 > maxX) x0 = maxX;
            if (y0 > maxY) y0 = maxY;
            std::int32_t x1 = x0 < maxX ? x0 + 1 : x0, y1 = y0 < maxY ? y0 + 1 : y0;
            float ax = fx - x0, ay = fy - y0;
            if (ax > 1) ax = 1;
            if (ay > 1) ay = 1;
            RGBQUAD a = GetPixelColor(x0, y0), b = GetPixelColor(x1, y0);
            RGBQUAD c = GetPixelColor(x0, y1), d = GetPixelColor(x1, y1);
            auto mix = [&](std::uint8_t pa, std::uint8_t pb, std::uint8_t pc, std::uint8_t pd) {
                float top = pa + (pb - pa) * ax, bottom = pc + (pd - pc) * ax;
                return std::uint8_t(top + (bottom - top) * ay + 0.5f);
            };
            temp.SetPixelColor(x, y,
                               RGBQUAD{mix(a.rgbBlue, b.rgbBlue, c.rgbBlue, d.rgbBlue),
                                       mix(a.rgbGreen, b.rgbGreen, c.rgbGreen, d.rgbGreen),
                                       mix(a.rgbRed, b.rgbRed, c.rgbRed, d.rgbRed), 0});
        }
    }
    if (destination) return destination->Transfer(temp);
    char error[sizeof info_.lastError];
    std::memcpy(error, info_.lastError, sizeof error);
    Transfer(temp);
    std::memcpy(info_.lastError, error, sizeof error);
    return true;
}

namespace {
// The cubic B-spline weight.
float Cubic(float t) {
    auto p3 = [](float u) { return u > 0 ? u * u * u : 0.0f; };
    return (p3(t + 2) - 4 * p3(t + 1) + 6 * p3(t) - 4 * p3(t - 1)) / 6;
}
}  // namespace

RGBQUAD CxImage::Bicubic(float fx, float fy) const {
    const std::int32_t ix = std::int32_t(std::floor(fx)), iy = std::int32_t(std::floor(fy));
    const float dx = fx - ix, dy = fy - iy;
    const std::int32_t maxX = std::int32_t(GetWidth()) - 1, maxY = std::int32_t(GetHeight()) - 1;
    float b = 0, g = 0, r = 0;
    for (std::int32_t m = -1; m <= 2; ++m) {
        const float wy = Cubic(m - dy);
        std::int32_t sy = iy + m;
        sy = sy < 0 ? 0 : sy > maxY ? maxY : sy;
        for (std::int32_t n = -1; n <= 2; ++n) {
            const float w = wy * Cubic(dx - n);
            std::int32_t sx = ix + n;
            sx = sx < 0 ? 0 : sx > maxX ? maxX : sx;
            const RGBQUAD c = GetPixelColor(sx, sy);
            b += w * c.rgbBlue;
            g += w * c.rgbGreen;
            r += w * c.rgbRed;
        }
    }
    auto channel = [](float v) {
        return std::uint8_t(v < 0 ? 0 : v > 255 ? 255 : std::int32_t(v + 0.5f));
    };
    return RGBQUAD{channel(b), channel(g), channel(r), 0};
}

bool CxImage::TileToDC(HDC dc, int x, int y) {
    if (!dib_ || !dc || !info_.enabled) return false;
    HBRUSH brush = CreateDIBPatternBrushPt(dib_, DIB_RGB_COLORS);
    if (!brush) return false;
    POINT old;
    SetBrushOrgEx(dc, x, y, &old);
    HGDIOBJ previous = SelectObject(dc, brush);
    BOOL ok = PatBlt(dc, x, y, head_.biWidth, head_.biHeight, PATCOPY);
    SelectObject(dc, previous);
    SetBrushOrgEx(dc, old.x, old.y, nullptr);
    DeleteObject(brush);
    return ok != FALSE;
}

HBITMAP CxImage::MakeBitmap(HDC dc) {
    if (!dib_ || dc) return nullptr;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(dib_),
                                      DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap || !bits) {
        if (bitmap) DeleteObject(bitmap);
        return nullptr;
    }
    std::memcpy(bits, info_.image, head_.biSizeImage);
    return bitmap;
}

bool CxImage::DecreaseBpp8(std::uint32_t colours) {
    if (!dib_ || head_.biBitCount != 24 || colours < 1 || colours > 256) return false;
    std::unique_ptr<ColorQuantizer> quantizer(new (std::nothrow) ColorQuantizer);
    if (!quantizer) return false;
    const std::uint32_t w = GetWidth(), h = GetHeight();
    for (std::uint32_t x = 0; x < w; ++x) {
        for (std::uint32_t y = 0; y < h; ++y) {
            const std::uint8_t* p = info_.image + std::uint64_t(y) * info_.effWidth + 3ull * x;
            quantizer->AddAndReduce(ColorQuantizer::Color{p[2], p[1], p[0], 0}, colours);
        }
    }
    std::uint8_t entries[256 * 4] = {};
    std::uint32_t n = quantizer->GetPalette(entries);
    CxImage temp(info_.type);
    temp.CopySettings(*this);
    if (!temp.Create(w, h, 8, info_.type)) {
        SetLastError(temp.GetLastError());
        return false;
    }
    RGBQUAD palette[256] = {};
    for (std::uint32_t i = 0; i < n && i < 256; ++i) {
        palette[i] = RGBQUAD{entries[4 * i + 2], entries[4 * i + 1], entries[4 * i], 0};
    }
    temp.SetPalette(palette, 256);
    temp.quantizer_ = std::move(quantizer);
    for (std::uint32_t y = 0; y < h; ++y) {
        for (std::uint32_t x = 0; x < w; ++x) {
            temp.SetPixelColor(std::int32_t(x), std::int32_t(y),
                               GetPixelColor(std::int32_t(x), std::int32_t(y)));
        }
    }
    Transfer(temp);
    quantizer_ = std::move(temp.quantizer_);
    return true;
}

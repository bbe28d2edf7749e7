#include "platform/gdi/surface.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <new>

namespace gdi {

namespace {
// Largest pixel block a surface may hold; beyond it creation fails instead of exhausting memory.
constexpr long long kMaxSurfaceBytes = 256LL * 1024 * 1024;
constexpr int kMaxExtent = 1 << 15;
}  // namespace

int BitsPerPixel(PixelFormat format) {
    switch (format) {
        case PixelFormat::Mono1:
            return 1;
        case PixelFormat::Index4:
            return 4;
        case PixelFormat::Index8:
            return 8;
        case PixelFormat::Rgb555:
        case PixelFormat::Rgb565:
            return 16;
        case PixelFormat::Rgb24:
            return 24;
        case PixelFormat::Xrgb32:
            return 32;
    }
    return 32;
}

long long RowStride(int width, int bitsPerPixel) {
    if (width <= 0 || width > kMaxExtent || bitsPerPixel <= 0 || bitsPerPixel > 32) return -1;
    return ((static_cast<long long>(width) * bitsPerPixel + 31) / 32) * 4;
}

std::shared_ptr<Surface> Surface::Create(int width, int height, PixelFormat format, bool topDown) {
    if (width <= 0 || height <= 0 || width > kMaxExtent || height > kMaxExtent) return nullptr;
    long long stride = RowStride(width, gdi::BitsPerPixel(format));
    if (stride <= 0 || stride * height > kMaxSurfaceBytes) return nullptr;
    std::shared_ptr<Surface> s(new (std::nothrow) Surface());
    if (!s) return nullptr;
    // Zeroed by the allocator: a large surface's fresh pages are zero already, and are touched
    // only where something is drawn.
    s->bits_.reset(static_cast<std::uint8_t*>(std::calloc(static_cast<std::size_t>(stride * height), 1)),
                   [](std::uint8_t* p) { std::free(p); });
    if (!s->bits_) return nullptr;
    s->width_ = width;
    s->height_ = height;
    s->stride_ = static_cast<int>(stride);
    s->topDown_ = topDown;
    s->format_ = format;
    if (s->Paletted()) {
        int n = 1 << gdi::BitsPerPixel(format);
        s->palette_.assign(n, 0);
        // A two-colour surface starts black and white, like a monochrome bitmap.
        if (n == 2) s->palette_[1] = 0xFFFFFF;
    }
    return s;
}

void Surface::SetPaletteEntry(int index, std::uint32_t rgb) {
    if (index < 0 || index >= static_cast<int>(palette_.size())) return;
    palette_[index] = rgb & 0xFFFFFF;
    lastRgb_ = 0xFFFFFFFF;
}

int Surface::NearestIndex(std::uint32_t rgb) const {
    if (palette_.empty()) return 0;
    rgb &= 0xFFFFFF;
    if (rgb == lastRgb_) return lastIndex_;
    int r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
    int best = 0;
    long bestDist = -1;
    for (std::size_t i = 0; i < palette_.size(); ++i) {
        std::uint32_t p = palette_[i];
        long dr = r - static_cast<int>((p >> 16) & 0xFF);
        long dg = g - static_cast<int>((p >> 8) & 0xFF);
        long db = b - static_cast<int>(p & 0xFF);
        long d = dr * dr + dg * dg + db * db;
        if (bestDist < 0 || d < bestDist) {
            bestDist = d;
            best = static_cast<int>(i);
            if (d == 0) break;
        }
    }
    lastRgb_ = rgb;
    lastIndex_ = best;
    return best;
}

std::uint32_t Surface::Encode(std::uint32_t rgb) const {
    std::uint32_t r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
    switch (format_) {
        case PixelFormat::Rgb565:
            return ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
        case PixelFormat::Rgb555:
            return ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
        case PixelFormat::Rgb24:
        case PixelFormat::Xrgb32:
            return rgb & 0xFFFFFF;
        default:
            return static_cast<std::uint32_t>(NearestIndex(rgb));
    }
}

std::uint32_t Surface::Decode(std::uint32_t raw) const {
    switch (format_) {
        case PixelFormat::Rgb565: {
            std::uint32_t r = (raw >> 11) & 0x1F, g = (raw >> 5) & 0x3F, b = raw & 0x1F;
            r = (r << 3) | (r >> 2);
            g = (g << 2) | (g >> 4);
            b = (b << 3) | (b >> 2);
            return (r << 16) | (g << 8) | b;
        }
        case PixelFormat::Rgb555: {
            std::uint32_t r = (raw >> 10) & 0x1F, g = (raw >> 5) & 0x1F, b = raw & 0x1F;
            r = (r << 3) | (r >> 2);
            g = (g << 3) | (g >> 2);
            b = (b << 3) | (b >> 2);
            return (r << 16) | (g << 8) | b;
        }
        case PixelFormat::Rgb24:
        case PixelFormat::Xrgb32:
            return raw & 0xFFFFFF;
        default:
            return raw < palette_.size() ? palette_[raw] : 0;
    }
}

std::uint32_t Surface::Quantize(std::uint32_t rgb) const {
    return Decode(Encode(rgb));
}

std::uint32_t Surface::GetPixel(int x, int y) const {
    const std::uint8_t* row = Row(y);
    switch (format_) {
        case PixelFormat::Xrgb32: {
            std::uint32_t v;
            std::memcpy(&v, row + x * 4, 4);
            return v & 0xFFFFFF;
        }
        case PixelFormat::Rgb24:
            return (row[x * 3 + 2] << 16) | (row[x * 3 + 1] << 8) | row[x * 3];
        case PixelFormat::Rgb555:
        case PixelFormat::Rgb565:
            return Decode(row[x * 2] | (row[x * 2 + 1] << 8));
        case PixelFormat::Index8:
            return Decode(row[x]);
        case PixelFormat::Index4:
            return Decode((x & 1) ? row[x / 2] & 0x0F : row[x / 2] >> 4);
        case PixelFormat::Mono1:
            return Decode((row[x / 8] >> (7 - (x & 7))) & 1);
    }
    return 0;
}

void Surface::SetPixel(int x, int y, std::uint32_t rgb) {
    std::uint8_t* row = Row(y);
    std::uint32_t v = Encode(rgb);
    switch (format_) {
        case PixelFormat::Xrgb32:
            std::memcpy(row + x * 4, &v, 4);
            break;
        case PixelFormat::Rgb24:
            row[x * 3] = v & 0xFF;
            row[x * 3 + 1] = (v >> 8) & 0xFF;
            row[x * 3 + 2] = (v >> 16) & 0xFF;
            break;
        case PixelFormat::Rgb555:
        case PixelFormat::Rgb565:
            row[x * 2] = v & 0xFF;
            row[x * 2 + 1] = (v >> 8) & 0xFF;
            break;
        case PixelFormat::Index8:
            row[x] = static_cast<std::uint8_t>(v);
            break;
        case PixelFormat::Index4: {
            std::uint8_t& b = row[x / 2];
            b = (x & 1) ? (b & 0xF0) | (v & 0x0F) : (b & 0x0F) | ((v & 0x0F) << 4);
            break;
        }
        case PixelFormat::Mono1: {
            std::uint8_t bit = static_cast<std::uint8_t>(0x80 >> (x & 7));
            if (v & 1)
                row[x / 8] |= bit;
            else
                row[x / 8] &= static_cast<std::uint8_t>(~bit);
            break;
        }
    }
}

void Surface::ReadRow(int x, int y, int count, std::uint32_t* out) const {
    const std::uint8_t* row = Row(y);
    switch (format_) {
        case PixelFormat::Xrgb32:
            std::memcpy(out, row + x * 4, static_cast<std::size_t>(count) * 4);
            for (int i = 0; i < count; ++i) out[i] &= 0xFFFFFF;
            return;
        case PixelFormat::Index8:
            for (int i = 0; i < count; ++i) out[i] = palette_[row[x + i]];
            return;
        case PixelFormat::Rgb24:
            for (int i = 0; i < count; ++i) {
                const std::uint8_t* p = row + (x + i) * 3;
                out[i] = (p[2] << 16) | (p[1] << 8) | p[0];
            }
            return;
        case PixelFormat::Rgb565:
        case PixelFormat::Rgb555:
            // 16-bit surfaces back the screen-depth buffers: decoded without a switch per pixel.
            for (int i = 0; i < count; ++i) {
                const std::uint8_t* p = row + (x + i) * 2;
                out[i] = Decode(p[0] | (p[1] << 8));
            }
            return;
        default:
            for (int i = 0; i < count; ++i) out[i] = GetPixel(x + i, y);
    }
}

void Surface::WriteRow(int x, int y, int count, const std::uint32_t* in) {
    if (format_ == PixelFormat::Xrgb32) {
        std::uint32_t* row = reinterpret_cast<std::uint32_t*>(Row(y)) + x;
        for (int i = 0; i < count; ++i) row[i] = in[i] & 0xFFFFFF;
        return;
    }
    if (format_ == PixelFormat::Rgb565 || format_ == PixelFormat::Rgb555) {
        std::uint8_t* row = Row(y) + x * 2;
        for (int i = 0; i < count; ++i) {
            std::uint32_t v = Encode(in[i]);
            row[i * 2] = v & 0xFF;
            row[i * 2 + 1] = (v >> 8) & 0xFF;
        }
        return;
    }
    for (int i = 0; i < count; ++i) SetPixel(x + i, y, in[i]);
}

bool Surface::DeferCopy565(const Surface& src, int srcX, int srcY, int x, int y, int w, int h) {
    if (!deferAllowed_ || format_ != PixelFormat::Xrgb32 || src.format_ != PixelFormat::Rgb565 ||
        w <= 0 || h <= 0 || x < 0 || y < 0 || w > width_ - x || h > height_ - y || srcX < 0 ||
        srcY < 0 || w > src.width_ - srcX || h > src.height_ - srcY)
        return false;
    ++changes_;
    Deferred& d = deferred_;
    // A page kept from before stays only where the new one does not cover it all; one covered
    // goes, and memory lent for it goes back to its surface.
    if (d.width > 0 && !(x <= d.x && y <= d.y && x + w >= d.x + d.width &&
                         y + h >= d.y + d.height))
        SettleDeferred();
    d.width = 0;
    d.lent.reset();
    const std::ptrdiff_t srcStep = src.topDown_ ? src.stride_ : -src.stride_;
    if (src.Lend(d.lent)) {
        d.first = src.RawRow(srcY) + static_cast<std::size_t>(srcX) * 2;
        d.step = srcStep;
    } else {
        const std::size_t rowBytes = static_cast<std::size_t>(w) * 2;
        const std::size_t need = rowBytes * static_cast<std::size_t>(h);
        if (need > d.capacity) {
            d.pixels.reset(new (std::nothrow) std::uint8_t[need]);
            d.capacity = d.pixels ? need : 0;
            if (!d.pixels) return false;
        }
        const std::uint8_t* in = src.RawRow(srcY) + static_cast<std::size_t>(srcX) * 2;
        if (srcStep == static_cast<std::ptrdiff_t>(rowBytes)) {
            std::memcpy(d.pixels.get(), in, need);
        } else {
            for (int r = 0; r < h; ++r, in += srcStep)
                std::memcpy(d.pixels.get() + r * rowBytes, in, rowBytes);
        }
        d.first = d.pixels.get();
        d.step = static_cast<std::ptrdiff_t>(rowBytes);
    }
    d.x = x;
    d.y = y;
    d.width = w;
    d.height = h;
    return true;
}

void Surface::SettleDeferred() const {
    Deferred& d = deferred_;
    const int w = d.width;
    d.width = 0;
    const std::uint8_t* in = d.first;
    for (int r = 0; r < d.height; ++r, in += d.step)
        WidenRow565(RawRow(d.y + r) + static_cast<std::size_t>(d.x) * 4, in, w);
    d.lent.reset();
}

bool Surface::Lend(std::shared_ptr<std::uint8_t[]>& out) const {
    if (!lendable_) return false;
    // The memory to move to when written is made sure of now: taking it back cannot fail.
    if (!spare_ || spare_.use_count() > 1) {
        spare_.reset(new (std::nothrow) std::uint8_t[ByteSize()]);
        spareKnown_ = false;
        if (!spare_) return false;
    }
    lent_ = true;
    out = bits_;
    return true;
}

void Surface::PrepareSlow(bool whole) {
    Deferred& d = deferred_;
    if (d.width > 0 && whole) {
        d.width = 0;
        d.lent.reset();
    }
    Settle();
    if (!lent_) return;
    lent_ = false;
    if (bits_.use_count() == 1) return;  // the screen has let go of it already
    std::shared_ptr<std::uint8_t[]> next = std::move(spare_);
    if (!whole) std::memcpy(next.get(), bits_.get(), ByteSize());
    // The lent memory is the spare once the screen lets go of it.
    spare_ = std::move(bits_);
    bits_ = std::move(next);
    // What is known of each memory's pixels goes with it; a copy holds what its source does.
    if (whole) {
        std::swap(plainKnown_, spareKnown_);
        std::swap(plain_, sparePlain_);
        inkEnd_.swap(spareInkEnd_);
    } else {
        spareKnown_ = plainKnown_;
        sparePlain_ = plain_;
        spareInkEnd_ = inkEnd_;
    }
}

namespace {
// glibc's wide fill is the widest 32-bit store loop at hand.
static_assert(sizeof(wchar_t) == 4);
void Fill32(std::uint8_t* p, std::size_t count, std::uint32_t v) {
    std::wmemset(reinterpret_cast<wchar_t*>(p), static_cast<wchar_t>(v), count);
}
}  // namespace

void Surface::NotePlain(std::uint32_t v) {
    if (!lendable_ || deferAllowed_ || format_ != PixelFormat::Rgb565) return;
    inkEnd_.assign(static_cast<std::size_t>(height_), 0);
    plain_ = static_cast<std::uint16_t>(v);
    plainKnown_ = true;
}

void Surface::FillRect(int left, int top, int right, int bottom, std::uint32_t rgb) {
    if (right <= left || bottom <= top) return;
    const bool whole = left == 0 && top == 0 && right == width_ && bottom == height_;
    // A page's background over the page before: only its text needs covering.
    if (whole && format_ == PixelFormat::Rgb565 && RefillInked(Encode(rgb))) return;
    FillArea(left, top, right, bottom, rgb);
    if (whole) NotePlain(Encode(rgb));
}

bool Surface::RefillInked(std::uint32_t v) {
    // Memory the screen holds is left to it first, as any fill of the whole surface leaves it.
    if (deferred_.width > 0 || lent_) PrepareSlow(true);
    if (!plainKnown_ || plain_ != v) return false;
    ++changes_;
    const bool oneByte = (v & 0xFF) == (v >> 8);
    // The rows from the top one on: their offsets step by the stride, upwards when bottom-up.
    const std::ptrdiff_t step = topDown_ ? stride_ : -stride_;
    std::ptrdiff_t offset = RawRow(0) - bits_.get();
    for (int& end : inkEnd_) {
        if (end > 0) {
            std::uint8_t* row = bits_.get() + offset;
            const int count = std::min(end, width_);
            if (oneByte) {
                std::memset(row, static_cast<int>(v & 0xFF), static_cast<std::size_t>(count) * 2);
            } else {
                for (int i = 0; i < count; ++i) {
                    row[i * 2] = v & 0xFF;
                    row[i * 2 + 1] = (v >> 8) & 0xFF;
                }
            }
            end = 0;
        }
        offset += step;
    }
    return true;
}

void Surface::FillArea(int left, int top, int right, int bottom, std::uint32_t rgb) {
    if (format_ == PixelFormat::Xrgb32 && left == 0 && right == width_ && stride_ == width_ * 4) {
        int first = topDown_ ? top : height_ - bottom;
        Prepare(top == 0 && bottom == height_);
        Fill32(bits_.get() + static_cast<std::size_t>(first) * stride_,
               static_cast<std::size_t>(bottom - top) * width_, rgb & 0xFFFFFF);
        return;
    }
    if ((format_ == PixelFormat::Rgb565 || format_ == PixelFormat::Rgb555) && left == 0 &&
        right == width_ && stride_ == width_ * 2) {
        // A page's background: white and black are one byte repeated, a block of whole rows.
        const std::uint32_t v = Encode(rgb);
        if ((v & 0xFF) == (v >> 8)) {
            int first = topDown_ ? top : height_ - bottom;
            Prepare(top == 0 && bottom == height_);
            std::memset(bits_.get() + static_cast<std::size_t>(first) * stride_,
                        static_cast<int>(v & 0xFF), static_cast<std::size_t>(bottom - top) * stride_);
            return;
        }
    }
    for (int y = top; y < bottom; ++y) FillRow(left, y, right - left, rgb);
}

void Surface::FillRow(int x, int y, int count, std::uint32_t rgb) {
    if (format_ == PixelFormat::Xrgb32) {
        Fill32(Row(y) + static_cast<std::size_t>(x) * 4, count, rgb & 0xFFFFFF);
        return;
    }
    if (format_ == PixelFormat::Index8) {
        std::memset(Row(y) + x, static_cast<int>(Encode(rgb)), count);
        return;
    }
    if (format_ == PixelFormat::Rgb565 || format_ == PixelFormat::Rgb555) {
        std::uint32_t v = Encode(rgb);
        std::uint8_t* row = Row(y) + x * 2;
        if ((v & 0xFF) == (v >> 8)) {
            // White and black, the page's usual backgrounds, are one byte repeated.
            std::memset(row, static_cast<int>(v & 0xFF), static_cast<std::size_t>(count) * 2);
            return;
        }
        for (int i = 0; i < count; ++i) {
            row[i * 2] = v & 0xFF;
            row[i * 2 + 1] = (v >> 8) & 0xFF;
        }
        return;
    }
    for (int i = 0; i < count; ++i) SetPixel(x + i, y, rgb);
}

}  // namespace gdi

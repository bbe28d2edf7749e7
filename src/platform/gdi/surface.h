// A pixel surface: the memory that bitmaps, DIB sections and the screen draw into. Colours cross
// this interface as 0x00RRGGBB words whatever the stored format.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace gdi {

enum class PixelFormat { Mono1, Index4, Index8, Rgb555, Rgb565, Rgb24, Xrgb32 };

int BitsPerPixel(PixelFormat format);
// Bytes per row as the handheld system lays out bitmaps: rounded up to 4 bytes; -1 on overflow.
long long RowStride(int width, int bitsPerPixel);
// n 565 pixels widened to 0x00RRGGBB words, each channel's top bits repeated below it.
void WidenRow565(std::uint8_t* out, const std::uint8_t* in, int n);

class Surface {
public:
    // A zeroed surface; null for sizes that are not positive or too large.
    static std::shared_ptr<Surface> Create(int width, int height, PixelFormat format,
                                           bool topDown = true);

    int Width() const { return width_; }
    int Height() const { return height_; }
    PixelFormat Format() const { return format_; }
    int BitsPerPixel() const { return gdi::BitsPerPixel(format_); }
    int Stride() const { return stride_; }
    bool TopDown() const { return topDown_; }
    bool Paletted() const { return format_ <= PixelFormat::Index8; }
    // The pixel memory as the caller of a DIB section sees it (the first stored row first).
    std::uint8_t* Bits() {
        Settle();
        return bits_.get();
    }
    const std::uint8_t* Bits() const {
        Settle();
        return bits_.get();
    }
    std::size_t ByteSize() const { return static_cast<std::size_t>(stride_) * height_; }
    std::uint8_t* Row(int y) {
        Settle();
        return RawRow(y);
    }
    const std::uint8_t* Row(int y) const {
        Settle();
        return RawRow(y);
    }

    // The screen takes a page copied from a 565 surface as it comes, and widens it only when
    // anything reads or draws on the screen: a reader turning pages headless, or faster than
    // the window shows them, does not pay for pages nobody sees. Only a surface that allows it
    // (the screen, used by one thread) keeps a copy so; `DeferCopy565` copies the w x h pixels
    // of src at (srcX, srcY) to (x, y) and is false, having done nothing, where it cannot keep
    // them (other formats, a rectangle outside either surface).
    void AllowDeferredCopies() { deferAllowed_ = true; }
    bool DeferCopy565(const Surface& src, int srcX, int srcY, int x, int y, int w, int h);
    bool HasDeferredCopy() const { return deferred_.width > 0; }

    // Palette entries as 0x00RRGGBB; a paletted surface always has 2^bpp entries.
    const std::vector<std::uint32_t>& Palette() const { return palette_; }
    void SetPaletteEntry(int index, std::uint32_t rgb);

    std::uint32_t GetPixel(int x, int y) const;
    void SetPixel(int x, int y, std::uint32_t rgb);
    // Rows of pixels; the caller keeps x, x + count and y inside the surface.
    void ReadRow(int x, int y, int count, std::uint32_t* out) const;
    void WriteRow(int x, int y, int count, const std::uint32_t* in);
    void FillRow(int x, int y, int count, std::uint32_t rgb);
    // A rectangle inside the surface, in one pass where its rows are contiguous.
    void FillRect(int left, int top, int right, int bottom, std::uint32_t rgb);
    // The colour a written colour reads back as in this format.
    std::uint32_t Quantize(std::uint32_t rgb) const;
    int NearestIndex(std::uint32_t rgb) const;

private:
    Surface() = default;
    std::uint8_t* RawRow(int y) const {
        return bits_.get() + static_cast<std::size_t>(topDown_ ? y : height_ - 1 - y) * stride_;
    }
    // Widens a kept copy into the pixels; every way in to the pixels passes here first.
    void Settle() const {
        if (deferred_.width > 0) [[unlikely]]
            SettleDeferred();
    }
    void SettleDeferred() const;
    std::uint32_t Encode(std::uint32_t rgb) const;
    std::uint32_t Decode(std::uint32_t raw) const;

    int width_ = 0;
    int height_ = 0;
    int stride_ = 0;
    bool topDown_ = true;
    PixelFormat format_ = PixelFormat::Xrgb32;
    std::unique_ptr<std::uint8_t[]> bits_;
    std::vector<std::uint32_t> palette_;
    bool deferAllowed_ = false;
    struct Deferred {
        std::unique_ptr<std::uint8_t[]> pixels;  // 565 rows of `width` pixels, no padding
        std::size_t capacity = 0;
        int x = 0, y = 0, width = 0, height = 0;
    };
    mutable Deferred deferred_;
    mutable std::uint32_t lastRgb_ = 0xFFFFFFFF;
    mutable int lastIndex_ = 0;
};

constexpr std::uint32_t RgbFromColorref(std::uint32_t c) {
    return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}
constexpr std::uint32_t ColorrefFromRgb(std::uint32_t rgb) {
    return RgbFromColorref(rgb);
}

}  // namespace gdi

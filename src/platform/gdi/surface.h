// A pixel surface: the memory that bitmaps, DIB sections and the screen draw into. Colours cross
// this interface as 0x00RRGGBB words whatever the stored format.
#pragma once

#include <algorithm>
#include <cstddef>
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
    // Through a non-const surface the memory is the caller's to write.
    std::uint8_t* Bits() {
        Prepare();
        return bits_.get();
    }
    const std::uint8_t* Bits() const {
        Settle();
        return bits_.get();
    }
    std::size_t ByteSize() const { return static_cast<std::size_t>(stride_) * height_; }
    // Moves on whenever the pixels may have changed (every write, and every pointer handed out
    // to write through): a window shows the screen again only when it moved.
    std::uint64_t Changes() const { return changes_; }
    std::uint8_t* Row(int y) {
        Prepare();
        return RawRow(y);
    }
    const std::uint8_t* Row(int y) const {
        Settle();
        return RawRow(y);
    }

    // The screen takes a page copied from a 565 surface as it comes, and widens it only when
    // anything reads or draws on the screen: a reader turning pages headless, or faster than
    // the window shows them, does not pay for pages nobody sees. Only a surface that allows it
    // (the screen, used by one thread) keeps pages so; `DeferCopy565` takes the w x h pixels
    // of src at (srcX, srcY) for (x, y) and is false, having done nothing, where it cannot keep
    // them (other formats, a rectangle outside either surface).
    //
    // A page surface whose memory nobody else sees (`AllowLending`: a DIB section made without
    // handing out its bits) is not even copied: the screen keeps a reference to its rows, and
    // the page surface takes other memory the first time it is written to afterwards, copying
    // its pixels into it unless the write covers it all (a page's background being filled).
    void AllowDeferredCopies() { deferAllowed_ = true; }
    bool DeferCopy565(const Surface& src, int srcX, int srcY, int x, int y, int w, int h);
    bool HasDeferredCopy() const { return deferred_.width > 0; }
    void AllowLending() { lendable_ = true; }
    // The memory is handed out (its address may be written through from now on).
    void ForbidLending() {
        Prepare();
        lendable_ = false;
    }

    // A 565 page whose memory nobody else sees knows, from its last fill as a whole, where it
    // is still that plain colour: every row right of where text written since then reached.
    // Every other write forgets it (they all pass Prepare). `PlainFrom` is true, with the
    // colour as stored, when rows top to bottom - 1 hold nothing else from x on. Text writes
    // its rows through `InkRow`, which keeps the knowledge, and tells how far it reached with
    // `NoteInk`: left of right in those rows; what it wrote past that is the plain colour.
    bool PlainFrom(int x, int top, int bottom, std::uint16_t& colour) const {
        if (!plainKnown_ || top < 0 || bottom > height_) return false;
        const int* const ends = inkEnd_.data();
        for (int y = top; y < bottom; ++y)
            if (x < ends[y]) return false;
        colour = plain_;
        return true;
    }
    std::uint8_t* InkRow(int y) {
        const bool known = plainKnown_;
        Prepare();
        plainKnown_ = known;
        return RawRow(y);
    }
    void NoteInk(int top, int bottom, int right) {
        if (!plainKnown_) return;
        // Through a local pointer and end: the row ends written cannot change them.
        int* const ends = inkEnd_.data();
        for (int y = std::max(top, 0), last = std::min(bottom, height_); y < last; ++y)
            ends[y] = std::max(ends[y], right);
    }

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
    // Widens a kept page into the pixels; every way in to the pixels passes here first.
    void Settle() const {
        if (deferred_.width > 0) [[unlikely]]
            SettleDeferred();
    }
    // Before the pixels are written: what is kept is widened, and memory the screen still
    // refers to is left to it.
    // `whole`: the write covers the whole surface, so nothing under it needs keeping.
    void Prepare(bool whole = false) {
        ++changes_;
        if (deferred_.width > 0 || lent_) [[unlikely]]
            PrepareSlow(whole);
        plainKnown_ = false;
    }
    // After a fill of the whole surface with the stored value v.
    void NotePlain(std::uint32_t v);
    // A fill of the whole surface with the stored value v where it is known plain in v but
    // for text: only what the text reached is filled. False, having filled nothing, elsewhere.
    bool RefillInked(std::uint32_t v);
    void FillArea(int left, int top, int right, int bottom, std::uint32_t rgb);
    void PrepareSlow(bool whole);
    void SettleDeferred() const;
    // The rows for the screen to keep, if this surface may lend them.
    bool Lend(std::shared_ptr<std::uint8_t[]>& out) const;
    std::uint32_t Encode(std::uint32_t rgb) const;
    std::uint32_t Decode(std::uint32_t raw) const;

    int width_ = 0;
    int height_ = 0;
    int stride_ = 0;
    bool topDown_ = true;
    PixelFormat format_ = PixelFormat::Xrgb32;
    std::shared_ptr<std::uint8_t[]> bits_;
    std::vector<std::uint32_t> palette_;
    bool deferAllowed_ = false;
    bool lendable_ = false;
    // The screen refers to bits_; spare_ is memory to move to when this surface is written.
    mutable bool lent_ = false;
    mutable std::shared_ptr<std::uint8_t[]> spare_;
    struct Deferred {
        // The 565 rows kept: the first, and the step to the next; in `pixels` (a copy, rows
        // of `width` pixels) or in the memory of the surface that lent them (`lent`).
        const std::uint8_t* first = nullptr;
        std::ptrdiff_t step = 0;
        std::shared_ptr<std::uint8_t[]> lent;
        std::unique_ptr<std::uint8_t[]> pixels;
        std::size_t capacity = 0;
        int x = 0, y = 0, width = 0, height = 0;
    };
    mutable Deferred deferred_;
    bool plainKnown_ = false;
    std::uint16_t plain_ = 0;
    std::vector<int> inkEnd_;  // by row from the top
    // The same of spare_'s pixels, the page they held when the screen took them: a page drawn
    // in turn into two memories (the screen keeping the one before) knows both.
    mutable bool spareKnown_ = false;
    std::uint16_t sparePlain_ = 0;
    std::vector<int> spareInkEnd_;
    std::uint64_t changes_ = 0;
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

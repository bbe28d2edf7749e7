// Device bitmaps for the full-screen image view: the view's picture decoded once into a bitmap
// of its full size, with an optional reduced copy for zoomed-out display.
#pragma once

#include <cstdint>

#include "platform/gdi.h"

// The picture's bytes, as the page layout's inline image object gives them: OpenData yields the
// bytes (false, or null bytes, when there are none) and ReleaseData drops what it loaded.
class ImageData {
public:
    virtual bool OpenData(const std::uint8_t** bytes, std::uint32_t* length) = 0;
    virtual void ReleaseData() = 0;

protected:
    ~ImageData() = default;
};

// The drawing surface the bitmaps are made compatible with: a device context between
// BeginDraw and EndDraw (null when there is none).
class DrawSurface {
public:
    virtual HDC BeginDraw() = 0;
    virtual void EndDraw() = 0;

protected:
    ~DrawSurface() = default;
};

class ImageBitmap {
public:
    explicit ImageBitmap(DrawSurface* owner) : owner_(owner) {}
    ~ImageBitmap() { Release(); }
    ImageBitmap(const ImageBitmap&) = delete;
    ImageBitmap& operator=(const ImageBitmap&) = delete;

    // True exactly when the full-size bitmap exists afterwards. A picture whose data breaks off
    // part-way keeps the rows decoded; the rest stays white.
    bool Load(ImageData* image);
    // Whether the last Load decoded the picture whole, and whether it wrote any of its pixels.
    bool Whole() const { return whole_; }
    bool AnyDecoded() const { return decoded_; }
    static void PutRow(void* context, const std::uint8_t* row, std::uint32_t count,
                       std::uint32_t rowNumber, const void* table, std::uint32_t startColumn);
    HDC MakeScaled(SIZE source, SIZE target);
    void ReleaseScaled();
    void Release();

    HDC FullDC() const { return fullDC_; }
    HBITMAP FullBitmap() const { return fullBitmap_; }
    HDC ScaledDC() const { return scaledDC_; }
    std::uint32_t Height() const { return height_; }
    std::uint32_t Width() const { return width_; }
    // Colours used of the last row DIB made (tests check the palette handed over).
    std::uint32_t RowColoursUsed() const { return rowColoursUsed_; }

private:
    void ReleaseRow();

    DrawSurface* owner_;
    HDC fullDC_ = nullptr;
    HBITMAP fullBitmap_ = nullptr;
    HGDIOBJ fullOld_ = nullptr;
    HDC scaledDC_ = nullptr;
    HBITMAP scaledBitmap_ = nullptr;
    HGDIOBJ scaledOld_ = nullptr;
    HDC rowDC_ = nullptr;
    HBITMAP rowBitmap_ = nullptr;
    HGDIOBJ rowOld_ = nullptr;
    std::uint8_t* rowBits_ = nullptr;
    std::uint32_t height_ = 0;
    std::uint32_t width_ = 0;
    std::uint32_t rowColoursUsed_ = 0;
    bool whole_ = false;
    bool decoded_ = false;
};

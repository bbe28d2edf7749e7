// Recognises a GIF, BMP or JPEG picture held in memory, reads its size and palette, and decodes
// GIF and BMP pixels row by row into a caller's pixel buffer (1, 2, 4, 8 or 16 bits per pixel),
// a row callback, or both. JPEG is only measured here; its pixels come from CxImage. The decoder
// never owns the picture bytes, and allocates only for the length of one Decode call.
#pragma once

#include <cstdint>

#include "platform/gdi.h"

// Pictures above this many pixels are refused when they are opened: nothing on a handheld
// screen needs more, and callers size their buffers from the header.
constexpr std::uint64_t kMaxDecoderPixels = 1ull << 25;

class ImageDecoder {
public:
    // The next `count` GIF string-table allocations fail (as when memory is short).
    static void FailTableAllocationsForTesting(int count);
    // Entries of the string table the last GIF decoding ran with (4096 unless memory was short).
    std::uint32_t LastTableEntries() const { return lastTableEntries_; }

    enum Type { kUnknown = 0, kGif = 1, kBmp = 2, kJpeg = 3 };

    // Receives each decoded row, or for RLE BMPs each span: row holds palette indices by image
    // column (one byte per pixel) and the span is [startColumn, startColumn + count). table is
    // the target depth's colour table (null at depth 8 and without translation).
    using RowCallback = void (*)(void* context, const std::uint8_t* row, std::uint32_t count,
                                 std::uint32_t rowNumber, const void* table,
                                 std::uint32_t startColumn);

    ImageDecoder();
    ImageDecoder(const void* buffer, std::uint32_t size);
    virtual ~ImageDecoder() = default;

    virtual bool Open(const void* buffer, std::uint32_t size, bool stopAtFirstImage);

    bool IsValid() const;
    int SetScale(std::uint16_t xNum, std::uint16_t xDen, std::uint16_t yNum, std::uint16_t yDen);
    void SetClip(std::int16_t x0, std::int16_t y0, std::int16_t x1, std::int16_t y1);
    void SetDestination(SIZE targetSize, const RECT& rect);
    void SetOptions(bool replicateInterlaced, bool alignBits, bool honourTransparency,
                    bool translateColours);
    // 0 when the format is usable.
    int SetFormat(std::uint32_t width, std::uint32_t height, std::uint32_t depth, void* buffer,
                  std::uint32_t stride, RowCallback callback, void* context, bool rawRows);
    // 0 on success (or an empty clipped area), 1 on any failure; rows written stay written.
    int Decode(int originX, int originY);

    int Type() const { return type_; }
    std::uint32_t Width() const { return width_; }
    std::uint32_t Height() const { return height_; }
    std::uint32_t BitsPerPixel() const { return bitsPerPixel_; }
    std::uint32_t PaletteCount() const { return paletteCount_; }
    const std::uint8_t* Palette() const { return palette_; }
    std::uint16_t TransparentIndex() const { return transparentIndex_; }
    bool Interlaced() const { return interlaced_; }
    bool TopDown() const { return topDown_; }
    std::uint32_t Compression() const { return compression_; }
    std::uint32_t TargetStride() const { return targetStride_; }
    const std::uint8_t* AppData() const { return appData_; }
    std::uint8_t AppDataLength() const { return appLength_; }
    std::uint8_t AppDataNext() const { return appNext_; }

private:
    static void* AllocateTable(std::size_t bytes);
    std::uint32_t lastTableEntries_ = 0;
    struct Run;

    bool OpenGif(bool stopAtFirstImage);
    bool OpenBmp();
    bool OpenJpeg();
    int DecodeGif(Run& run);
    int DecodeBmp(Run& run);
    int DecodeBmpRle(Run& run);
    void OutputRow(Run& run, std::uint32_t imageRow, std::uint32_t start, std::uint32_t count);
    void WriteSpan(Run& run, std::uint32_t imageRow, std::uint32_t start, std::uint32_t end);
    void WriteTargetRow(Run& run, std::int64_t targetRow, std::uint32_t start, std::uint32_t end);

    int type_ = kUnknown;
    const std::uint8_t* buffer_ = nullptr;
    std::uint32_t size_ = 0;
    std::uint16_t transparentIndex_ = 0xFFFF;
    std::uint32_t paletteCount_ = 0;
    const std::uint8_t* palette_ = nullptr;
    const std::uint8_t* pixelData_ = nullptr;
    const std::uint8_t* appData_ = nullptr;
    std::uint8_t appLength_ = 0;
    std::uint8_t appNext_ = 0;
    bool recognised_ = false;
    bool hasImage_ = false;
    bool interlaced_ = false;
    bool topDown_ = false;
    std::uint8_t lzwCodeSize_ = 0;
    std::uint32_t width_ = 0;
    std::uint32_t height_ = 0;
    std::uint32_t compression_ = 0;
    std::uint32_t bitsPerPixel_ = 0;

    std::uint32_t targetWidth_ = 0;
    std::uint32_t targetHeight_ = 0;
    std::uint32_t targetStride_ = 0;
    std::uint32_t targetDepth_ = 0;
    std::uint8_t* targetBuffer_ = nullptr;
    RowCallback callback_ = nullptr;
    void* callbackContext_ = nullptr;
    bool rawRows_ = false;
    bool formatValid_ = false;

    bool replicate_ = true;
    bool alignBits_ = true;
    bool honourTransparency_ = true;
    bool translate_ = true;

    std::uint16_t xNum_ = 1, xDen_ = 1, yNum_ = 1, yDen_ = 1;
    std::int16_t clipX0_ = 0, clipY0_ = 0, clipX1_ = 32767, clipY1_ = 32767;
};

// The decoder's palette as RGBQUAD entries (GIF R,G,B becomes B,G,R,0; BMP entries are copied
// with the fourth byte 0). Writes PaletteCount() entries; nothing for other types.
void PaletteToRgbQuad(const ImageDecoder& decoder, RGBQUAD* entries);

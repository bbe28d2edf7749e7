// The program's true-colour and palette picture: a device-independent bitmap (header, palette,
// bottom-up rows) in one heap block with its settings. Pictures reach it decoded from memory
// (JPEG); callers resample it, tile it onto a device context or make a bitmap of it.
#pragma once

#include <cstdint>
#include <memory>

#include "media/image/color_quantizer.h"
#include "platform/gdi.h"

class CxFile;

// Largest DIB block the image object allocates. A 2-megapixel photo takes 6 MB at 24 bits.
constexpr std::uint64_t kCxImageMaxBytes = 64ull << 20;

enum CxImageType : std::uint32_t { CXIMAGE_FORMAT_UNKNOWN = 0, CXIMAGE_FORMAT_JPG = 1 };

class CxImage {
public:
    explicit CxImage(std::uint32_t type = CXIMAGE_FORMAT_UNKNOWN);
    virtual ~CxImage();
    CxImage(const CxImage&) = delete;
    CxImage& operator=(const CxImage&) = delete;

    virtual std::uint8_t GetNearestIndex(RGBQUAD colour);

    std::uint8_t* Create(std::uint32_t width, std::uint32_t height, std::uint32_t bits,
                         std::uint32_t type);
    bool Destroy();
    bool DecodeMemory(const void* buffer, std::uint32_t size, std::uint32_t type);
    bool Decode(CxFile* file, std::uint32_t type);
    bool Resample(std::int32_t newWidth, std::int32_t newHeight, int mode, CxImage* destination);
    bool TileToDC(HDC dc, int x, int y);
    HBITMAP MakeBitmap(HDC dc);
    bool Transfer(CxImage& source);
    void CopyInfo(const CxImage& source);
    bool Copy(const CxImage& source, bool pixels, bool selection, bool alpha);

    bool IsValid() const { return dib_ != nullptr; }
    std::uint8_t* GetBits(std::uint32_t row = 0);
    std::uint32_t GetSize() const;
    std::uint32_t GetWidth() const { return std::uint32_t(head_.biWidth); }
    std::uint32_t GetHeight() const { return std::uint32_t(head_.biHeight); }
    std::uint32_t GetBpp() const { return head_.biBitCount; }
    std::uint32_t GetEffWidth() const { return info_.effWidth; }
    std::uint32_t GetType() const { return info_.type; }
    const BITMAPINFOHEADER& GetHeader() const { return head_; }
    const void* GetDIB() const { return dib_; }

    std::uint32_t GetPaletteSize() const { return head_.biClrUsed * 4; }
    RGBQUAD* GetPalette() const;
    void SetPalette(const RGBQUAD* entries, std::uint32_t count);
    void SetPaletteRGB(std::uint32_t count, const std::uint8_t* reds, const std::uint8_t* greens,
                       const std::uint8_t* blues);
    void SetGrayPalette();
    void SetPaletteColor(std::uint8_t index, RGBQUAD colour);
    RGBQUAD GetPaletteColor(std::uint8_t index) const;
    bool IsGrayScale() const;

    std::uint8_t GetPixelIndex(std::int32_t x, std::int32_t y) const;
    void SetPixelIndex(std::int32_t x, std::int32_t y, std::uint8_t index);
    RGBQUAD GetPixelColor(std::int32_t x, std::int32_t y) const;
    void SetPixelColor(std::int32_t x, std::int32_t y, RGBQUAD colour);

    void SetXDPI(std::int32_t dpi);
    void SetYDPI(std::int32_t dpi);
    std::int32_t GetXDPI() const { return info_.xdpi; }
    std::int32_t GetYDPI() const { return info_.ydpi; }
    void RGBtoBGR(std::uint8_t* row, std::uint32_t length) const;

    // Reduces a 24-bit picture to 8 bits with an octree palette of at most `colours` entries;
    // the quantizer stays attached to answer nearest-colour questions.
    bool DecreaseBpp8(std::uint32_t colours);
    // Takes ownership of a quantizer (null detaches and frees the old one).
    void SetQuantizer(ColorQuantizer* quantizer);

    // Picture operations. Those with a destination leave this image as it was when one is given.
    bool Flip();    // upside down
    bool Mirror();  // left to right
    bool RotateLeft(CxImage* destination = nullptr);
    bool RotateRight(CxImage* destination = nullptr);
    bool Rotate180(CxImage* destination = nullptr);
    // Counter-clockwise by an angle; the corners the picture leaves take the background.
    bool Rotate(float degrees, CxImage* destination = nullptr);
    bool Negative();
    // Palette pictures keep their indices with grey colours; true-colour ones become 8-bit grey.
    bool GrayScale();
    static std::uint8_t RGB2GRAY(std::uint8_t red, std::uint8_t green, std::uint8_t blue);
    // From the top-left corner, right and bottom excluded; cut to the picture.
    bool Crop(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom,
              CxImage* destination = nullptr);
    bool Expand(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom,
                RGBQUAD fill, CxImage* destination = nullptr);
    bool Thumbnail(std::int32_t width, std::int32_t height, RGBQUAD canvas,
                   CxImage* destination = nullptr);
    bool IncreaseBpp(std::uint32_t bits);
    // Ordered dithering to black and white (1 bit).
    bool Dither();
    void BlendPalette(RGBQUAD colour, std::int32_t percent);
    bool SwapIndex(std::uint8_t a, std::uint8_t b);
    void DrawLine(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1,
                  RGBQUAD colour);

    // The standard palette of a 16- or 256-colour image (the sixteen basic colours; for 256
    // then a 6 x 6 x 6 cube and 24 greys); false for other depths.
    bool SetStdPalette();
    // A new image from a bitmap's rows of 1, 4, 8, 24 (blue, green, red) or 32 bits (the fourth
    // byte becomes the alpha channel), bottom row first or, flipped, top row first. A palette is
    // set afterwards.
    bool CreateFromArray(const std::uint8_t* bits, std::uint32_t width, std::uint32_t height,
                         std::uint32_t bpp, std::uint32_t bytesPerLine, bool flip);
    // Decodes a picture resource of the module; "Unable to load resource!" when it is missing.
    bool LoadResource(HMODULE module, LPCWSTR name, LPCWSTR resourceType, std::uint32_t imageType);
    // A pixel is see-through when its alpha is 0 or it has the background index (or colour)
    // while one is set.
    bool IsTransparent(std::int32_t x, std::int32_t y) const;
    // 255 without an alpha channel or outside the picture.
    std::uint8_t AlphaGet(std::int32_t x, std::int32_t y) const;

    const char* GetLastError() const { return info_.lastError; }
    void SetLastError(const char* text);
    void SetEscape(std::int32_t escape) { info_.escape = escape; }
    std::int32_t GetEscape() const { return info_.escape; }
    std::int32_t GetProgress() const { return info_.progress; }
    void SetJpegScale(std::uint8_t scale) { info_.jpegScale = scale; }
    std::uint8_t GetJpegScale() const { return info_.jpegScale; }
    void SetJpegQuality(std::uint8_t quality) { info_.quality = quality; }
    std::uint8_t GetJpegQuality() const { return info_.quality; }
    void SetCodecOption(std::uint32_t options) { info_.codecOptions = options; }
    // Takes a decoded true-colour JPEG's rows as they come, in place of the picture holding
    // them: a tool writing the picture out then never holds it whole. Begin gives the size,
    // Row each row from the top, red first (width * 3 bytes); false from either stops the decode.
    // Pictures of other kinds (grey, quantized) are stored as usual, and then Begin is not
    // called. The image keeps the size but no pixels.
    class RowSink {
    public:
        virtual bool Begin(std::uint32_t width, std::uint32_t height) = 0;
        virtual bool Row(const std::uint8_t* rgb) = 0;

    protected:
        ~RowSink() = default;
    };
    void SetRowSink(RowSink* sink) { rowSink_ = sink; }
    RowSink* GetRowSink() const { return rowSink_; }
    std::uint32_t GetCodecOption() const { return info_.codecOptions; }
    void SetBackground(std::int32_t index, RGBQUAD colour) {
        info_.backgroundIndex = index;
        info_.backgroundColour = colour;
    }
    void Enable(bool enabled) { info_.enabled = enabled; }
    // Nearest-colour scans done (tests see the cache at work).
    std::uint32_t NearestScans() const { return nearestScans_; }
    static const char* GetVersion() { return "CxImage 5.99a"; }

protected:
    // Settings only: never the pixel pointer, the ghost link or the layers.
    void CopySettings(const CxImage& source);
    void SetWidthHeight(std::uint32_t width, std::uint32_t height);

private:
    struct Info {
        std::uint32_t effWidth = 0;
        std::uint8_t* image = nullptr;
        CxImage* ghost = nullptr;
        std::uint32_t type = 0;
        char lastError[256] = {};
        std::int32_t progress = 0;
        std::int32_t escape = 0;
        std::int32_t backgroundIndex = -1;
        RGBQUAD backgroundColour = {};
        std::uint8_t quality = 90;
        std::uint8_t jpegScale = 0;
        std::int32_t xdpi = 96;
        std::int32_t ydpi = 96;
        std::uint32_t codecOptions = 0;
        bool enabled = true;
        RGBQUAD lastColour = {};
        std::uint8_t lastIndex = 0;
        bool lastValid = false;
        std::int32_t layerCount = 0;
    };

    bool Inside(std::int32_t x, std::int32_t y) const {
        return dib_ && x >= 0 && y >= 0 && x < head_.biWidth && y < head_.biHeight;
    }
    void Steal(CxImage& source);
    // The B-spline weighted colour of the 4 x 4 pixels around a point (x, y from the bottom).
    RGBQUAD Bicubic(float fx, float fy) const;
    // An empty image of the given size with this one's settings, depth (or bits) and palette.
    bool MakeLike(CxImage& temp, std::uint32_t width, std::uint32_t height,
                  std::uint32_t bits = 0) const;
    // The result of an operation into the destination, or into this image.
    bool Finish(CxImage& temp, CxImage* destination);

    BITMAPINFOHEADER head_ = {};
    Info info_;
    std::uint8_t* dib_ = nullptr;
    std::uint8_t* alpha_ = nullptr;
    std::uint8_t* selection_ = nullptr;
    CxImage** layers_ = nullptr;
    std::unique_ptr<ColorQuantizer> quantizer_;
    std::uint32_t nearestScans_ = 0;
    RowSink* rowSink_ = nullptr;
};

// The JPEG scale (SetJpegScale: 1, 2, 4 or 8) that decodes a width x height picture smallest
// while its decoded picture still covers `wanted` (each side rounded up, as libjpeg scales);
// 1 when nothing smaller covers it or a size is not positive.
std::uint8_t JpegScaleToCover(std::uint32_t width, std::uint32_t height, std::int32_t wantedWidth,
                              std::int32_t wantedHeight);

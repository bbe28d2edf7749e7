// Small GIF, BMP and JPEG writers for the picture tests, benchmarks and imagedump checks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace fvt::test {

struct Rgb {
    std::uint8_t r, g, b;
};

struct GifSpec {
    std::uint32_t width = 0, height = 0;
    std::vector<Rgb> palette;          // padded to a power of two
    std::vector<std::uint8_t> pixels;  // indices, rows top first
    bool localPalette = false;
    bool interlaced = false;
    int transparent = -1;            // index, or -1
    bool transparentFlag = true;     // bit 0 of the control block (with transparent >= 0)
    std::vector<std::uint8_t> fvtw;  // "FVTW" application data, when not empty
    std::uint8_t fvtwNext = 0;       // the byte after the data
    int codeSize = 0;                // 0: from the palette size
    bool deferredClear = false;      // keep 12-bit codes when the table fills
};

// LZW code stream (unblocked) of the indices, GIF flavour.
std::vector<std::uint8_t> LzwEncode(const std::vector<std::uint8_t>& indices, int codeSize,
                                    bool deferredClear);
// Packs explicit codes of explicit widths least-significant bit first.
std::vector<std::uint8_t> PackCodes(const std::vector<std::pair<std::uint32_t, int>>& codes);
// A GIF whose image data is the given (unblocked) stream.
std::vector<std::uint8_t> WriteGif(const GifSpec& spec);
std::vector<std::uint8_t> WriteGifWithData(const GifSpec& spec,
                                           const std::vector<std::uint8_t>& data);

struct BmpSpec {
    std::int32_t width = 0, height = 0;  // negative height: top-down
    std::uint16_t bits = 8;
    std::uint16_t planes = 1;
    std::uint32_t compression = 0;
    std::vector<Rgb> palette;
    std::vector<std::uint8_t> pixels;  // indices, rows top first (uncompressed)
    std::vector<std::uint8_t> rle;     // pixel data as given (compressed)
};
std::vector<std::uint8_t> WriteBmp(const BmpSpec& spec);

// Through libjpeg's compressor: components 1 (grey), 3 (RGB) or 4 (CMYK, Adobe-inverted as
// libjpeg writes it). pixels are rows top first. subsample: 2x2 chroma as cameras write.
// progressive: libjpeg's standard scan script, as `cjpeg -progressive` writes.
std::vector<std::uint8_t> WriteJpeg(std::uint32_t width, std::uint32_t height, int components,
                                    const std::vector<std::uint8_t>& pixels, int quality = 95,
                                    bool subsample = false, bool progressive = false);

// A smooth colour picture, rows top first, 3 bytes RGB per pixel.
std::vector<std::uint8_t> Gradient(std::uint32_t width, std::uint32_t height);

std::vector<std::uint8_t> ReadFileBytes(const std::string& path);
bool WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);

}  // namespace fvt::test

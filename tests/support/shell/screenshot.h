// The screenshots a driven run of the program saved, read back as 0xRRGGBB pixels.
#pragma once

#include <png.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace fvt::test {

// A screenshot's pixels as 0xRRGGBB.
struct Screen {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;

    bool Read(const std::string& path) {
        png_image image;
        std::memset(&image, 0, sizeof image);
        image.version = PNG_IMAGE_VERSION;
        if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
        image.format = PNG_FORMAT_BGRA;
        width = static_cast<int>(image.width);
        height = static_cast<int>(image.height);
        pixels.assign(static_cast<size_t>(width) * height, 0);
        const bool ok = png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr) != 0;
        for (auto& p : pixels) p &= 0xFFFFFF;
        return ok;
    }
    std::uint32_t At(int x, int y) const {
        return x >= 0 && y >= 0 && x < width && y < height
                   ? pixels[static_cast<size_t>(y) * width + x]
                   : 0xFFFFFFFFu;
    }
    // Pixels of the rectangle that are not the colour given.
    int CountOther(int x, int y, int w, int h, std::uint32_t colour) const {
        int n = 0;
        for (int j = y; j < y + h; ++j)
            for (int i = x; i < x + w; ++i) n += At(i, j) != colour ? 1 : 0;
        return n;
    }
    int CountOf(int x, int y, int w, int h, std::uint32_t colour) const {
        return w * h - CountOther(x, y, w, h, colour);
    }
};

// A screenshot's pixels as 0xRRGGBB, row by row; false when it cannot be read.
inline bool ReadScreenshot(const std::string& path, int& w, int& h,
                           std::vector<std::uint32_t>& pixels) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
    image.format = PNG_FORMAT_BGRA;
    w = static_cast<int>(image.width);
    h = static_cast<int>(image.height);
    pixels.assign(static_cast<std::size_t>(w) * h, 0);
    bool ok = png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr) != 0;
    for (auto& p : pixels) p &= 0xFFFFFF;
    return ok;
}

}  // namespace fvt::test

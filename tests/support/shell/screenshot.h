// The screenshots a driven run of the program saved, read back as 0xRRGGBB pixels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "support/platform/screenshot_pixels.h"

namespace fvt::test {

// A screenshot's pixels as 0xRRGGBB.
struct Screen {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;

    bool Read(const std::string& path) { return ReadScreenshot(path, width, height, pixels); }
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

}  // namespace fvt::test

// A screenshot the platform wrote (FOLIVANT_SCREENSHOT, the driver's `screenshot`), read back.
#pragma once

#include <png.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace fvt::test {

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

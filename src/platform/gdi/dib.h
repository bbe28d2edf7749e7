// Reading BITMAPINFO headers: the pixel format, extents and palette they describe.
#pragma once

#include <cstddef>
#include <memory>

#include "platform/gdi/gdi_types.h"
#include "platform/gdi/surface.h"

namespace gdi {

struct DibLayout {
    PixelFormat format = PixelFormat::Xrgb32;
    int width = 0;
    int height = 0;  // rows, positive
    bool topDown = false;
    int paletteCount = 0;         // entries read from the header's colour table
    std::size_t headerBytes = 0;  // header, masks and colour table: where packed bits begin
};

// False for headers the layer cannot or must not honour: bad sizes, strides, bit counts, masks
// or palette counts.
bool ReadDibLayout(const BITMAPINFO* info, DibLayout& layout);
// A zeroed surface of that layout with the header's palette.
std::shared_ptr<Surface> MakeDibSurface(const BITMAPINFO* info, const DibLayout& layout);

}  // namespace gdi

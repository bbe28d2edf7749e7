// What the BMP and GIF fuzz targets share: decoding at every target depth, with and without the
// options that change the row path (transparency, replication, scaling, clipping), chosen by the
// flag byte.
#pragma once

#include <cstdint>
#include <vector>

#include "media/image/image_decoder.h"

inline void DecodeWithFlags(const std::vector<std::uint8_t>& bytes, std::uint8_t flags) {
    ImageDecoder decoder(bytes.data(), std::uint32_t(bytes.size()));
    if (!decoder.IsValid() || decoder.Width() * decoder.Height() > (1u << 18)) return;
    static const std::uint32_t kDepths[5] = {1, 2, 4, 8, 16};
    std::uint32_t depth = kDepths[flags % 5];
    std::uint32_t w = decoder.Width(), h = decoder.Height();
    if (flags & 0x20) decoder.SetScale(1, 2, 2, 3);
    decoder.SetOptions(flags & 0x40, flags & 0x80, flags & 0x08, true);
    std::uint32_t stride = (w * depth + 7) / 8;
    std::vector<std::uint8_t> target(std::size_t(stride) * h + 1);
    decoder.SetFormat(w, h, depth, target.data(), stride,
                      (flags & 0x10) ? [](void*, const std::uint8_t* row, std::uint32_t count,
                                          std::uint32_t, const void*, std::uint32_t start) {
                          volatile std::uint8_t sink = 0;
                          for (std::uint32_t i = 0; i < count; ++i) sink = sink + row[start + i];
                      }
                                     : nullptr,
                      nullptr, false);
    decoder.Decode((flags & 4) ? -3 : 0, (flags & 2) ? 2 : 0);
}

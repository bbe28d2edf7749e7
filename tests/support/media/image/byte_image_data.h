// A picture's bytes held in memory, as the image view and the display bitmaps read them.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "media/image/image_bitmap.h"

namespace fvt::test {

class ByteImageData : public ImageData {
public:
    explicit ByteImageData(std::vector<std::uint8_t> b) : bytes(std::move(b)) {}
    bool OpenData(const std::uint8_t** data, std::uint32_t* length) override {
        *data = bytes.empty() ? nullptr : bytes.data();
        *length = static_cast<std::uint32_t>(bytes.size());
        return true;
    }
    void ReleaseData() override { ++released; }
    std::vector<std::uint8_t> bytes;
    int released = 0;
};

}  // namespace fvt::test

// Pictures for layout tests: GIF, BMP and JPEG bytes of a chosen size held in memory, and data
// handles over them that count how often they are opened.
#pragma once

#include <cstdint>
#include <vector>

#include "document/sources/data_handles.h"
#include "support/media/image/picture_fixtures.h"

namespace fvt::test {

inline std::vector<uint8_t> GifOfSize(uint32_t width, uint32_t height) {
    GifSpec spec;
    spec.width = width;
    spec.height = height;
    spec.palette = {{0, 0, 0}, {200, 40, 40}};
    spec.pixels.assign(static_cast<size_t>(width) * height, 1);
    return WriteGif(spec);
}

inline std::vector<uint8_t> BmpOfSize(int32_t width, int32_t height) {
    BmpSpec spec;
    spec.width = width;
    spec.height = height;
    spec.palette = {{0, 0, 0}, {40, 40, 200}};
    spec.pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 1);
    return WriteBmp(spec);
}

// A memory handle that keeps its bytes and counts opens; owned by its references.
class PictureHandle : public MemoryDataHandle {
public:
    explicit PictureHandle(std::vector<uint8_t> bytes)
        : MemoryDataHandle(nullptr, nullptr, 0), bytes_(std::move(bytes)) {}
    bool GetData(const uint8_t*& data, uint32_t& length) override {
        ++opens;
        data = bytes_.data();
        length = static_cast<uint32_t>(bytes_.size());
        return !bytes_.empty();
    }
    uint32_t GetSize() override { return static_cast<uint32_t>(bytes_.size()); }
    int opens = 0;

private:
    std::vector<uint8_t> bytes_;
};

}  // namespace fvt::test

// Hostile BMP data through Open and Decode (see fuzz_decode.h).
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz_decode.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2 || size > (1u << 20)) return 0;
    std::uint8_t flags = data[0];
    std::vector<std::uint8_t> bytes(data + 1, data + size);
    if (bytes.size() >= 2) std::memcpy(bytes.data(), "BM", 2);
    if ((flags & 1) && bytes.size() >= 8) {
        // A plausible header from the first bytes, so the row and RLE paths are reached.
        const std::uint8_t* f = data + 1;
        static const std::uint16_t kBits[4] = {1, 2, 4, 8};
        std::uint16_t bits = kBits[f[2] & 3];
        std::uint32_t compression = (f[3] % 3 == 1 && bits == 8)   ? 1
                                    : (f[3] % 3 == 2 && bits == 4) ? 2
                                                                   : 0;
        std::uint32_t colours = f[4] % 17;
        std::vector<std::uint8_t> h(54 + 4 * colours, 0);
        auto put32 = [&](std::size_t at, std::uint32_t v) { std::memcpy(&h[at], &v, 4); };
        h[0] = 'B';
        h[1] = 'M';
        put32(10, std::uint32_t(h.size()));
        put32(14, 40);
        put32(18, 1 + f[0] % 64);
        put32(22, std::uint32_t(std::int32_t(std::int8_t(f[1]))));
        h[26] = f[5] & 7;
        h[28] = std::uint8_t(bits);
        put32(30, compression);
        put32(46, colours);
        h.insert(h.end(), f + 6, f + (size - 1));
        bytes.swap(h);
    }
    DecodeWithFlags(bytes, flags);
    return 0;
}

// Hostile GIF data through Open and Decode (see fuzz_decode.h).
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz_decode.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2 || size > (1u << 20)) return 0;
    std::uint8_t flags = data[0];
    std::vector<std::uint8_t> bytes(data + 1, data + size);
    if (bytes.size() >= 3) std::memcpy(bytes.data(), "GIF", 3);
    DecodeWithFlags(bytes, flags);
    return 0;
}

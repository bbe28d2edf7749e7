// HUFF/CDIC tables and text records. The input is split into a HUFF record, one CDIC record
// and a text record by two 16-bit lengths at its start.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "bookfiles/huff_cdic.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    std::size_t a = (data[0] << 8) | data[1];
    std::size_t b = (data[2] << 8) | data[3];
    data += 4;
    size -= 4;
    if (a > size) a = size;
    if (b > size - a) b = size - a;
    HuffCdicDecoder decoder;
    std::vector<ByteSpan> cdics{ByteSpan{data + a, static_cast<std::uint32_t>(b)}};
    if (!decoder.Load(ByteSpan{data, static_cast<std::uint32_t>(a)}, cdics)) return 0;
    std::uint8_t out[4096];
    std::size_t n = 0;
    decoder.Decode(data + a + b, size - a - b, out, sizeof out, &n);
    return 0;
}

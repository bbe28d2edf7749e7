// PalmDOC decompression of one record.
#include <cstddef>
#include <cstdint>

#include "bookfiles/palm_doc.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::uint8_t out[4096];
    std::size_t n = 0;
    PalmDoc::Decompress(data, size, out, sizeof out, &n);
    return n <= sizeof out ? 0 : 1;
}

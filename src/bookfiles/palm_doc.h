// PalmDOC text-record decompression (compression 2 of a book or PalmDOC database).
#pragma once

#include <cstddef>
#include <cstdint>

namespace PalmDoc {

// Decompresses `inSize` bytes into `out` (room for `outCapacity` bytes). `*outSize` receives
// the bytes produced. False when the data is corrupt: a back-reference before the start of the
// output, output beyond the capacity, or a literal run past the input; the bytes produced up to
// that point are still counted in `*outSize`.
bool Decompress(const std::uint8_t* in, std::size_t inSize, std::uint8_t* out,
                std::size_t outCapacity, std::size_t* outSize);

}  // namespace PalmDoc

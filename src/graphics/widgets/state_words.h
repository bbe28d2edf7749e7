// Private to the widgets: the 32-bit little-endian words of the saved states they write (the
// list's scroll state and the list pop-up's "LTTS" record), whatever the host's order.
#pragma once

#include <cstdint>

#include "core/byte_stream.h"

namespace StateWords {

inline void Put(ByteStream& out, uint32_t v) {
    uint8_t b[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8),
                    static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 24)};
    out.WriteBytes(b, 4);
}

// 0 after a failed read (the stream's Ok tells).
inline uint32_t Get(ByteStream& in) {
    uint8_t b[4] = {};
    if (!in.ReadBytes(b, 4)) return 0;
    return b[0] | b[1] << 8 | b[2] << 16 | static_cast<uint32_t>(b[3]) << 24;
}

}  // namespace StateWords

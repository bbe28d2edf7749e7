#include "bookfiles/palm_doc.h"

#include <cstring>

namespace PalmDoc {

bool Decompress(const std::uint8_t* in, std::size_t inSize, std::uint8_t* out,
                std::size_t outCapacity, std::size_t* outSize) {
    const std::uint8_t* inEnd = in + inSize;
    std::uint8_t* o = out;
    std::uint8_t* oEnd = out + outCapacity;
    bool ok = true;
    while (in < inEnd) {
        // Away from both ends no token can run past either: only a back-reference's distance
        // needs checking. The careful path below takes the last few bytes.
        while (inEnd - in >= 9 && oEnd - o >= 16) {
            std::uint8_t c = *in++;
            if (c >= 0xC0) {
                o[0] = ' ';
                o[1] = static_cast<std::uint8_t>(c ^ 0x80);
                o += 2;
            } else if (c >= 0x80) {
                std::uint32_t v = (static_cast<std::uint32_t>(c) << 8) | *in;
                std::size_t distance = (v >> 3) & 0x7FF;
                if (distance < 8 || distance > static_cast<std::size_t>(o - out)) {
                    --in;  // the careful path decides
                    break;
                }
                ++in;
                std::size_t length = (v & 7) + 3;
                std::uint64_t head;
                std::memcpy(&head, o - distance, 8);
                std::memcpy(o, &head, 8);
                std::uint16_t tail;
                std::memcpy(&tail, o - distance + 8, 2);
                std::memcpy(o + 8, &tail, 2);
                o += length;
            } else if (c >= 1 && c <= 8) {
                std::memcpy(o, in, 8);
                o += c;
                in += c;
            } else {
                *o++ = c;
            }
        }
        if (in >= inEnd) break;
        std::uint8_t c = *in++;
        if (c >= 0x80) {
            if (c >= 0xC0) {
                // A space followed by a character.
                if (oEnd - o < 2) {
                    ok = false;
                    break;
                }
                o[0] = ' ';
                o[1] = static_cast<std::uint8_t>(c ^ 0x80);
                o += 2;
                continue;
            }
            if (in == inEnd) {
                ok = false;
                break;
            }
            std::uint32_t v = (static_cast<std::uint32_t>(c) << 8) | *in++;
            std::size_t distance = (v >> 3) & 0x7FF;
            std::size_t length = (v & 7) + 3;
            if (distance == 0 || distance > static_cast<std::size_t>(o - out) ||
                length > static_cast<std::size_t>(oEnd - o)) {
                ok = false;
                break;
            }
            const std::uint8_t* from = o - distance;
            if (distance >= 8 && oEnd - o >= 10) {
                // Ten bytes at most: eight at once (they cannot overlap), then the last two,
                // which may repeat bytes just written, as a byte-by-byte copy would.
                std::uint64_t head;
                std::memcpy(&head, from, 8);
                std::memcpy(o, &head, 8);
                if (length > 8) {
                    std::uint16_t tail;
                    std::memcpy(&tail, from + 8, 2);
                    std::memcpy(o + 8, &tail, 2);
                }
                o += length;
            } else if (distance >= length) {
                std::memcpy(o, from, length);
                o += length;
            } else {
                // Overlapping copies repeat the last `distance` bytes.
                for (std::size_t i = 0; i < length; ++i) o[i] = from[i];
                o += length;
            }
        } else if (c >= 1 && c <= 8) {
            if (static_cast<std::size_t>(inEnd - in) < c ||
                static_cast<std::size_t>(oEnd - o) < c) {
                ok = false;
                break;
            }
            if (inEnd - in >= 8 && oEnd - o >= 8) {
                std::memcpy(o, in, 8);  // a fixed size; the bytes past c are written over next
            } else {
                std::memcpy(o, in, c);
            }
            o += c;
            in += c;
        } else {
            if (o == oEnd) {
                ok = false;
                break;
            }
            *o++ = c;
        }
    }
    *outSize = static_cast<std::size_t>(o - out);
    return ok;
}

}  // namespace PalmDoc

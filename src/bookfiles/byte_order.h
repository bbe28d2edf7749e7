// Big-endian numbers in Palm-family files, read and written over raw bytes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace BigEndian {

inline std::uint16_t U16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}
inline std::uint32_t U32(const std::uint8_t* p) {
    return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16) |
           (static_cast<std::uint32_t>(p[2]) << 8) | p[3];
}
inline void PutU16(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v >> 8);
    p[1] = static_cast<std::uint8_t>(v);
}
inline void PutU32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v >> 24);
    p[1] = static_cast<std::uint8_t>(v >> 16);
    p[2] = static_cast<std::uint8_t>(v >> 8);
    p[3] = static_cast<std::uint8_t>(v);
}

}  // namespace BigEndian

// A read-only run of bytes whose reads never leave it: a field that does not lie wholly
// inside answers the caller's default.
struct ByteSpan {
    const std::uint8_t* data = nullptr;
    std::uint32_t size = 0;

    bool Holds(std::uint32_t offset, std::uint32_t count) const {
        return offset <= size && count <= size - offset;
    }
    std::uint32_t U32At(std::uint32_t offset, std::uint32_t fallback = 0) const {
        return Holds(offset, 4) ? BigEndian::U32(data + offset) : fallback;
    }
    std::uint32_t U16At(std::uint32_t offset, std::uint32_t fallback = 0) const {
        return Holds(offset, 2) ? BigEndian::U16(data + offset) : fallback;
    }
    std::uint32_t U8At(std::uint32_t offset, std::uint32_t fallback = 0) const {
        return Holds(offset, 1) ? data[offset] : fallback;
    }
    bool TagAt(std::uint32_t offset, const char* tag) const {
        if (!Holds(offset, 4)) return false;
        for (int i = 0; i < 4; ++i) {
            if (data[offset + i] != static_cast<std::uint8_t>(tag[i])) return false;
        }
        return true;
    }
};

// Four-character codes as the big-endian number of their bytes ("BOOK" -> 0x424F4F4B).
constexpr std::uint32_t FourCC(const char (&s)[5]) {
    return (static_cast<std::uint32_t>(static_cast<unsigned char>(s[0])) << 24) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(s[1])) << 16) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(s[2])) << 8) |
           static_cast<unsigned char>(s[3]);
}

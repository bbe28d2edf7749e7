// A growable byte buffer with a read position and an ok flag, used for the state records that
// views and controls save: bytes, big-endian words, length-prefixed blocks padded to 4 bytes
// and 7-bit variable-length numbers. Any failed read or write clears ok until Clear; a read
// never runs past the end.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint32_t ByteSwap32(uint32_t w) {
    return (w >> 24) | ((w >> 8) & 0xFF00u) | ((w << 8) & 0xFF0000u) | (w << 24);
}
namespace Bytes {
constexpr uint32_t Swap32(uint32_t w) {
    return ByteSwap32(w);
}
}  // namespace Bytes
// Big-endian reads and writes of unaligned bytes.
inline uint32_t ReadBE32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
           static_cast<uint32_t>(p[2]) << 8 | p[3];
}
inline uint16_t ReadBE16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] << 8 | p[1]);
}
inline void WriteBE32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 24);
    p[1] = static_cast<uint8_t>(v >> 16);
    p[2] = static_cast<uint8_t>(v >> 8);
    p[3] = static_cast<uint8_t>(v);
}
inline void WriteBE16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v >> 8);
    p[1] = static_cast<uint8_t>(v);
}

class ByteStream {
public:
    // The largest size a stream may reach.
    static constexpr uint32_t kMaxSize = 0x7FFFFFF0u;

    ByteStream() = default;
    ~ByteStream();
    ByteStream(const ByteStream&) = delete;
    ByteStream& operator=(const ByteStream&) = delete;
    ByteStream(ByteStream&& other) noexcept { Move(other); }
    ByteStream& operator=(ByteStream&& other) noexcept {
        Move(other);
        return *this;
    }

    // Size 0, read position 0, ok set; the buffer is kept.
    void Clear();
    uint32_t Size() const { return size_; }
    uint32_t ReadPosition() const { return readPos_; }
    uint32_t Remaining() const { return size_ - readPos_; }
    bool Ok() const { return ok_; }
    void Fail() { ok_ = false; }
    const uint8_t* Data() const { return data_; }
    uint8_t* MutableData() { return data_; }
    bool Reserve(size_t n);

    // Appends bytes / reads bytes (the two names of each pair are the same operation).
    bool WriteBytes(const void* bytes, size_t n);
    bool PutBytes(const void* bytes, size_t n) { return WriteBytes(bytes, n); }
    bool ReadBytes(void* out, size_t n);
    bool GetBytes(void* out, size_t n) { return ReadBytes(out, n); }
    bool WriteByte(uint8_t b) { return WriteBytes(&b, 1); }
    bool ReadByte(uint8_t& b) { return ReadBytes(&b, 1); }

    // 32-bit words as they are in memory (callers byte-swap first for big-endian).
    bool WriteWords32Raw(const uint32_t* words, size_t n);
    bool PutWords32Raw(const uint32_t* words, size_t n) { return WriteWords32Raw(words, n); }
    bool ReadWords32Raw(uint32_t* out, size_t n);
    bool GetWords32Raw(uint32_t* out, size_t n) { return ReadWords32Raw(out, n); }
    // Big-endian words to and from host order.
    bool WriteWords32BE(const uint32_t* words, size_t n);
    bool PutWords32BE(const uint32_t* words, size_t n) { return WriteWords32BE(words, n); }
    bool ReadWords32BE(uint32_t* out, size_t n);
    bool GetWords32BE(uint32_t* out, size_t n) { return ReadWords32BE(out, n); }
    bool WriteWord32BE(uint32_t v) { return WriteWords32BE(&v, 1); }
    bool ReadWord32BE(uint32_t& v) { return ReadWords32BE(&v, 1); }
    bool WriteWord16BE(uint16_t v);
    bool ReadWord16BE(uint16_t& v);
    // Overwrites a big-endian word written earlier (a length placeholder).
    bool PatchWord32BE(uint32_t offset, uint32_t v);

    // Moves the read position; false (ok cleared) past the end.
    bool Skip(size_t n);
    bool SetReadPosition(uint32_t position);
    // Appends zero bytes until the size is a multiple of k (a power of two).
    bool PadToAlignment(uint32_t k);
    bool Align(uint32_t k) { return PadToAlignment(k); }
    bool AlignReadPosition(uint32_t k);
    // Sets the size; new bytes are zeros, and a zero byte is kept just past the end.
    bool Resize(size_t n);

    // A block: the other's length as a big-endian word, its bytes, zeros up to a multiple of 4.
    bool WriteBlock(const ByteStream& other);
    bool WriteStream(const ByteStream& other) { return WriteBlock(other); }
    // Reads a block into other (replacing its contents).
    bool ReadBlock(ByteStream& other);
    // Appends the other's bytes as they are.
    bool AppendStream(const ByteStream& other);
    // Replaces the contents with a copy of other's (read position and ok included).
    bool CopyFrom(const ByteStream& other);
    // Takes the other's contents; the other is left empty.
    void Move(ByteStream& other);

    // 7-bit groups, least significant first, high bit set on the last byte only; 1 to 5 bytes.
    bool PutVarU32(uint32_t v);
    bool GetVarU32(uint32_t& v);

private:
    bool Need(size_t n);  // room for n more bytes
    bool CanRead(size_t n);

    uint8_t* data_ = nullptr;
    uint32_t size_ = 0;
    uint32_t capacity_ = 0;
    uint32_t readPos_ = 0;
    bool ok_ = true;
};

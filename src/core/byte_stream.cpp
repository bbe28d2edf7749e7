#include "core/byte_stream.h"

#include <cstdlib>
#include <cstring>

ByteStream::~ByteStream() {
    std::free(data_);
}

void ByteStream::Clear() {
    size_ = readPos_ = 0;
    ok_ = true;
}

bool ByteStream::Reserve(size_t n) {
    if (n <= capacity_) return true;
    if (n > kMaxSize) return false;
    size_t cap = n + n / 2 + 16;
    if (cap > kMaxSize) cap = kMaxSize;
    auto* p = static_cast<uint8_t*>(std::realloc(data_, cap));
    if (!p) return false;
    data_ = p;
    capacity_ = static_cast<uint32_t>(cap);
    return true;
}

bool ByteStream::Need(size_t n) {
    if (n > kMaxSize - size_ || !Reserve(size_ + n)) {
        ok_ = false;
        return false;
    }
    return true;
}

bool ByteStream::CanRead(size_t n) {
    if (!ok_ || n > static_cast<size_t>(size_ - readPos_)) {
        ok_ = false;
        return false;
    }
    return true;
}

bool ByteStream::WriteBytes(const void* bytes, size_t n) {
    if (n == 0) return true;
    if (!bytes) {
        ok_ = false;
        return false;
    }
    // The source may be our own buffer, which growing would move.
    uintptr_t src = reinterpret_cast<uintptr_t>(bytes);
    uintptr_t base = reinterpret_cast<uintptr_t>(data_);
    if (data_ && src >= base && src < base + capacity_) {
        size_t offset = src - base;
        if (!Need(n)) return false;
        std::memmove(data_ + size_, data_ + offset, n);
    } else {
        if (!Need(n)) return false;
        std::memcpy(data_ + size_, bytes, n);
    }
    size_ += static_cast<uint32_t>(n);
    return true;
}

bool ByteStream::ReadBytes(void* out, size_t n) {
    if (n == 0) return ok_;
    if (!CanRead(n)) {
        if (out) std::memset(out, 0, n);
        return false;
    }
    std::memcpy(out, data_ + readPos_, n);
    readPos_ += static_cast<uint32_t>(n);
    return true;
}

bool ByteStream::WriteWords32Raw(const uint32_t* words, size_t n) {
    if (n > kMaxSize / 4) {
        ok_ = false;
        return false;
    }
    return WriteBytes(words, n * 4);
}

bool ByteStream::ReadWords32Raw(uint32_t* out, size_t n) {
    if (n > kMaxSize / 4) {
        ok_ = false;
        return false;
    }
    return ReadBytes(out, n * 4);
}

bool ByteStream::WriteWords32BE(const uint32_t* words, size_t n) {
    if (n > kMaxSize / 4 || !Need(n * 4)) {
        ok_ = false;
        return false;
    }
    for (size_t i = 0; i < n; ++i) WriteBE32(data_ + size_ + 4 * i, words[i]);
    size_ += static_cast<uint32_t>(n * 4);
    return true;
}

bool ByteStream::ReadWords32BE(uint32_t* out, size_t n) {
    if (n > kMaxSize / 4) {
        ok_ = false;
        return false;
    }
    if (!CanRead(n * 4)) {
        for (size_t i = 0; i < n && out; ++i) out[i] = 0;
        return false;
    }
    for (size_t i = 0; i < n; ++i) out[i] = ReadBE32(data_ + readPos_ + 4 * i);
    readPos_ += static_cast<uint32_t>(n * 4);
    return true;
}

bool ByteStream::WriteWord16BE(uint16_t v) {
    uint8_t b[2];
    WriteBE16(b, v);
    return WriteBytes(b, 2);
}

bool ByteStream::ReadWord16BE(uint16_t& v) {
    uint8_t b[2];
    if (!ReadBytes(b, 2)) {
        v = 0;
        return false;
    }
    v = ReadBE16(b);
    return true;
}

bool ByteStream::PatchWord32BE(uint32_t offset, uint32_t v) {
    if (offset > size_ || size_ - offset < 4) {
        ok_ = false;
        return false;
    }
    WriteBE32(data_ + offset, v);
    return true;
}

bool ByteStream::Skip(size_t n) {
    if (!CanRead(n)) return false;
    readPos_ += static_cast<uint32_t>(n);
    return true;
}

bool ByteStream::SetReadPosition(uint32_t position) {
    if (position > size_) {
        ok_ = false;
        return false;
    }
    readPos_ = position;
    return true;
}

bool ByteStream::PadToAlignment(uint32_t k) {
    if (k == 0 || (k & (k - 1))) {
        ok_ = false;
        return false;
    }
    uint32_t pad = (k - (size_ & (k - 1))) & (k - 1);
    if (pad == 0) return true;
    if (!Need(pad)) return false;
    std::memset(data_ + size_, 0, pad);
    size_ += pad;
    return true;
}

bool ByteStream::AlignReadPosition(uint32_t k) {
    if (k == 0 || (k & (k - 1))) {
        ok_ = false;
        return false;
    }
    return Skip((k - (readPos_ & (k - 1))) & (k - 1));
}

bool ByteStream::Resize(size_t n) {
    if (n >= kMaxSize || !Reserve(n + 1)) {
        ok_ = false;
        return false;
    }
    if (n > size_) std::memset(data_ + size_, 0, n - size_);
    size_ = static_cast<uint32_t>(n);
    data_[size_] = 0;
    if (readPos_ > size_) readPos_ = size_;
    return true;
}

bool ByteStream::WriteBlock(const ByteStream& other) {
    uint32_t length = other.size_;
    uint32_t pad = (0u - length) & 3u;
    if (&other == this) {
        ok_ = false;
        return false;
    }
    if (!Need(static_cast<size_t>(length) + 4 + pad)) return false;
    WriteBE32(data_ + size_, length);
    if (length) std::memcpy(data_ + size_ + 4, other.data_, length);
    std::memset(data_ + size_ + 4 + length, 0, pad);
    size_ += 4 + length + pad;
    return true;
}

bool ByteStream::ReadBlock(ByteStream& other) {
    other.Clear();
    uint32_t length;
    if (&other == this || !ReadWord32BE(length)) {
        ok_ = false;
        return false;
    }
    uint64_t padded = (static_cast<uint64_t>(length) + 3) & ~static_cast<uint64_t>(3);
    if (padded > Remaining()) {
        ok_ = false;
        return false;
    }
    if (!other.WriteBytes(data_ + readPos_, length)) {
        ok_ = false;
        return false;
    }
    readPos_ += static_cast<uint32_t>(padded);
    return true;
}

bool ByteStream::AppendStream(const ByteStream& other) {
    if (&other == this) {
        uint32_t n = size_;
        return WriteBytes(data_, n);
    }
    return WriteBytes(other.data_, other.size_);
}

bool ByteStream::CopyFrom(const ByteStream& other) {
    if (&other == this) return true;
    size_ = 0;
    if (!Reserve(other.size_)) {
        ok_ = false;
        return false;
    }
    if (other.size_) std::memcpy(data_, other.data_, other.size_);
    size_ = other.size_;
    readPos_ = other.readPos_;
    ok_ = other.ok_;
    return true;
}

void ByteStream::Move(ByteStream& other) {
    if (&other == this) return;
    std::free(data_);
    data_ = other.data_;
    size_ = other.size_;
    capacity_ = other.capacity_;
    readPos_ = other.readPos_;
    ok_ = other.ok_;
    other.data_ = nullptr;
    other.size_ = other.capacity_ = other.readPos_ = 0;
    other.ok_ = true;
}

bool ByteStream::PutVarU32(uint32_t v) {
    uint8_t b[5];
    int n = 0;
    while (v >= 0x80) {
        b[n++] = static_cast<uint8_t>(v & 0x7F);
        v >>= 7;
    }
    b[n++] = static_cast<uint8_t>(v | 0x80);  // the last byte carries the high bit
    return WriteBytes(b, static_cast<size_t>(n));
}

bool ByteStream::GetVarU32(uint32_t& v) {
    v = 0;
    uint64_t value = 0;
    for (int i = 0; i < 5; ++i) {
        uint8_t b;
        if (!ReadByte(b)) return false;
        value |= static_cast<uint64_t>(b & 0x7F) << (7 * i);
        if (b & 0x80) {
            if (value > 0xFFFFFFFFull) break;
            v = static_cast<uint32_t>(value);
            return true;
        }
    }
    ok_ = false;  // more than five bytes, or a value above 32 bits
    return false;
}

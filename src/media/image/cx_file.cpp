#include "media/image/cx_file.h"

#include <cstdlib>
#include <cstring>

namespace {
constexpr std::uint64_t kStep = 4096;
constexpr std::uint64_t kMaxFile = 0x7FFFFFFF;
}  // namespace

CxMemFile::CxMemFile(const void* buffer, std::uint32_t size) {
    if (buffer && size <= kMaxFile) {
        buffer_ = static_cast<std::uint8_t*>(const_cast<void*>(buffer));
        size_ = capacity_ = std::int32_t(size);
    }
    owned_ = buffer_ == nullptr;
}

CxMemFile::~CxMemFile() {
    Close();
}

bool CxMemFile::Close() {
    if (owned_ && buffer_) {
        std::free(buffer_);
        buffer_ = nullptr;
        size_ = capacity_ = 0;
        position_ = 0;
    }
    return true;
}

bool CxMemFile::Grow(std::uint64_t needed) {
    if (needed > kMaxFile) return false;
    if (owned_ && needed <= std::uint64_t(capacity_)) return true;
    std::uint64_t capacity = std::uint64_t(capacity_);
    if (needed > capacity) capacity += ((needed - capacity - 1) / kStep + 1) * kStep;
    if (capacity > kMaxFile) capacity = kMaxFile;
    std::uint8_t* grown;
    if (owned_) {
        grown = static_cast<std::uint8_t*>(std::realloc(buffer_, std::size_t(capacity)));
    } else {
        // A borrowed buffer may be read-only (a mapped book record): copy it before writing.
        grown = static_cast<std::uint8_t*>(std::malloc(std::size_t(capacity)));
        if (grown && buffer_ && size_ > 0) std::memcpy(grown, buffer_, std::size_t(size_));
    }
    if (!grown) return false;
    buffer_ = grown;
    capacity_ = std::int32_t(capacity);
    owned_ = true;
    return true;
}

std::size_t CxMemFile::Read(void* buffer, std::size_t size, std::size_t count) {
    if (!buffer_ || !buffer || size == 0 || count == 0 || position_ >= size_) return 0;
    if (count > SIZE_MAX / size) return 0;
    std::size_t n = size * count;
    std::size_t left = std::size_t(size_ - position_);
    if (n > left) n = left;
    std::memcpy(buffer, buffer_ + position_, n);
    position_ += std::int32_t(n);
    return n / size;
}

std::size_t CxMemFile::Write(const void* buffer, std::size_t size, std::size_t count) {
    if (!buffer || size == 0 || count == 0 || count > SIZE_MAX / size) return 0;
    std::uint64_t n = std::uint64_t(size) * count;
    if (!buffer_ && !owned_) return 0;
    std::uint64_t end = std::uint64_t(position_) + n;
    if (!Grow(end)) return 0;
    std::memmove(buffer_ + position_, buffer, std::size_t(n));
    if (std::int64_t(position_) > size_) {
        std::memset(buffer_ + size_, 0, std::size_t(position_ - size_));
    }
    position_ = std::int32_t(end);
    if (position_ > size_) size_ = position_;
    return count;
}

bool CxMemFile::Seek(std::int32_t offset, int origin) {
    std::int64_t base = origin == 0 ? 0 : origin == 1 ? position_ : origin == 2 ? size_ : -1;
    if (base < 0) return false;
    std::int64_t target = base + offset;
    if (target < 0 || target > std::int64_t(kMaxFile)) return false;
    position_ = std::int32_t(target);
    return true;
}

std::int32_t CxMemFile::Tell() {
    return buffer_ ? position_ : -1;
}
std::int32_t CxMemFile::Size() {
    return buffer_ ? size_ : -1;
}
bool CxMemFile::Flush() {
    return buffer_ != nullptr;
}
bool CxMemFile::Eof() {
    return !buffer_ || position_ >= size_;
}
std::int32_t CxMemFile::Error() {
    return buffer_ ? (position_ > size_ ? 1 : 0) : -1;
}

bool CxMemFile::PutC(std::uint8_t c) {
    return Write(&c, 1, 1) == 1;
}

std::int32_t CxMemFile::GetC() {
    if (!buffer_ || position_ >= size_) return -1;
    return buffer_[position_++];
}

bool CxIOFile::Open(const char* path, const char* mode) {
    Close();
    stream_ = std::fopen(path, mode);
    closes_ = stream_ != nullptr;
    return stream_ != nullptr;
}

bool CxIOFile::Close() {
    if (!stream_) return false;
    bool ok = true;
    if (closes_) ok = std::fclose(stream_) == 0;
    stream_ = nullptr;
    closes_ = false;
    return ok;
}

std::size_t CxIOFile::Read(void* buffer, std::size_t size, std::size_t count) {
    return stream_ ? std::fread(buffer, size, count, stream_) : 0;
}
std::size_t CxIOFile::Write(const void* buffer, std::size_t size, std::size_t count) {
    return stream_ ? std::fwrite(buffer, size, count, stream_) : 0;
}
bool CxIOFile::Seek(std::int32_t offset, int origin) {
    return stream_ && std::fseek(stream_, offset, origin) == 0;
}
std::int32_t CxIOFile::Tell() {
    return stream_ ? std::int32_t(std::ftell(stream_)) : -1;
}
std::int32_t CxIOFile::Size() {
    if (!stream_) return -1;
    long here = std::ftell(stream_);
    if (here < 0 || std::fseek(stream_, 0, SEEK_END) != 0) return -1;
    long size = std::ftell(stream_);
    std::fseek(stream_, here, SEEK_SET);
    // A size past the 32-bit range is no size (-1), never a wrapped one.
    return size < 0 || size > 0x7FFFFFFF ? -1 : std::int32_t(size);
}
bool CxIOFile::Flush() {
    return stream_ && std::fflush(stream_) == 0;
}
bool CxIOFile::Eof() {
    return !stream_ || std::feof(stream_) != 0;
}
std::int32_t CxIOFile::Error() {
    return stream_ ? std::ferror(stream_) : -1;
}
bool CxIOFile::PutC(std::uint8_t c) {
    return stream_ && std::fputc(c, stream_) == c;
}
std::int32_t CxIOFile::GetC() {
    return stream_ ? std::fgetc(stream_) : -1;
}

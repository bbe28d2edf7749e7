#include "document/sources/data_handles.h"

#include <cstring>
#include <new>

#include "core/file.h"

bool MemoryDataHandle::GetData(const uint8_t*& data, uint32_t& length) {
    data = data_;
    length = length_;
    return true;
}

bool MemoryDataHandle::ReadRaw(uint32_t offset, void* destination, uint32_t count) {
    if (offset > length_ || count > length_ - offset) return false;
    if (count) std::memcpy(destination, data_ + offset, count);
    return true;
}

bool FileDataHandle::GetData(const uint8_t*& data, uint32_t& length) {
    data = nullptr;
    length = 0;
    if (length_ == 0) return true;
    if (!buffer_) {
        // A whole sound file can be large: a failed allocation is a failure, not a crash.
        std::unique_ptr<uint8_t[]> b(new (std::nothrow) uint8_t[length_]);
        if (!b || !file_ || !file_->Seek(start_) ||
            file_->Read(b.get(), length_) != length_)
            return false;
        buffer_ = std::move(b);
    }
    data = buffer_.get();
    length = length_;
    return true;
}

bool FileDataHandle::ReadRaw(uint32_t offset, void* destination, uint32_t count) {
    if (offset > length_ || count > length_ - offset) return false;
    if (buffer_) {
        if (count) std::memcpy(destination, buffer_.get() + offset, count);
        return true;
    }
    if (!file_ || !file_->Seek(start_ + offset)) return false;
    return file_->Read(destination, count) == count;
}

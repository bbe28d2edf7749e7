// A read-only memory-mapped file. The view stays valid until Close.
#pragma once

#include <cstdint>

class Text;

class MappedFile {
public:
    MappedFile() = default;
    ~MappedFile() { Close(); }
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    // False for a missing or empty file, or one of 4 GB and more.
    bool Open(const Text& path);
    void Close();
    bool IsOpen() const { return data_ != nullptr; }
    const uint8_t* Data() const { return data_; }
    uint32_t Size() const { return size_; }

private:
    const uint8_t* data_ = nullptr;
    uint32_t size_ = 0;
};

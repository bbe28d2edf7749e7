// The data handles a content resource gives out: a memory block and a range of a file (book
// records and index tables are the book resource's).
#pragma once

#include <cstdint>
#include <memory>

#include "database/resource.h"

class File;

// Never matches an id or a name.
class MemoryDataHandle : public DataHandle {
public:
    MemoryDataHandle(Resource* owner, const uint8_t* data, uint32_t length)
        : DataHandle(owner), data_(data), length_(length) {}
    int32_t CompareId(int32_t) override { return -1; }
    int32_t CompareName(const String&) override { return -1; }
    bool GetData(const uint8_t*& data, uint32_t& length) override;
    bool Prepare() override { return true; }
    uint32_t GetSize() override { return length_; }
    bool ReadRaw(uint32_t offset, void* destination, uint32_t count) override;

private:
    const uint8_t* data_;
    uint32_t length_;
};

// A range of a file (not owned), read on demand; GetData loads it whole on first use.
class FileDataHandle : public DataHandle {
public:
    FileDataHandle(Resource* owner, File* file, uint32_t start, uint32_t length)
        : DataHandle(owner), file_(file), start_(start), length_(length) {}
    // Matches id 0 only.
    int32_t CompareId(int32_t id) override { return id; }
    int32_t CompareName(const String&) override { return -1; }
    bool GetData(const uint8_t*& data, uint32_t& length) override;
    bool Prepare() override { return true; }
    uint32_t GetSize() override { return length_; }
    bool ReadRaw(uint32_t offset, void* destination, uint32_t count) override;
    void DropData() override { buffer_.reset(); }

private:
    File* file_;
    uint32_t start_;
    uint32_t length_;
    std::unique_ptr<uint8_t[]> buffer_;
};


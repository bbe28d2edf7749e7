// The small file interface the image object reads pictures through: over a memory buffer
// (every picture of the reader arrives that way) or over a C runtime stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

class CxFile {
public:
    virtual ~CxFile() = default;
    virtual bool Close() = 0;
    virtual std::size_t Read(void* buffer, std::size_t size, std::size_t count) = 0;
    virtual std::size_t Write(const void* buffer, std::size_t size, std::size_t count) = 0;
    virtual bool Seek(std::int32_t offset, int origin) = 0;
    virtual std::int32_t Tell() = 0;
    virtual std::int32_t Size() = 0;
    virtual bool Flush() = 0;
    virtual bool Eof() = 0;
    virtual std::int32_t Error() = 0;
    virtual bool PutC(std::uint8_t c) { return Write(&c, 1, 1) == 1; }
    virtual std::int32_t GetC() = 0;
};

class CxMemFile : public CxFile {
public:
    // Borrows the buffer (the caller keeps it alive and it is never written); a null buffer
    // starts an owned, empty file.
    CxMemFile(const void* buffer = nullptr, std::uint32_t size = 0);
    ~CxMemFile() override;
    CxMemFile(const CxMemFile&) = delete;
    CxMemFile& operator=(const CxMemFile&) = delete;

    bool Close() override;
    std::size_t Read(void* buffer, std::size_t size, std::size_t count) override;
    std::size_t Write(const void* buffer, std::size_t size, std::size_t count) override;
    bool Seek(std::int32_t offset, int origin) override;
    std::int32_t Tell() override;
    std::int32_t Size() override;
    bool Flush() override;
    bool Eof() override;
    std::int32_t Error() override;
    bool PutC(std::uint8_t c) override;
    std::int32_t GetC() override;

    const std::uint8_t* Data() const { return buffer_; }
    std::int32_t Capacity() const { return capacity_; }
    bool Owned() const { return owned_; }

private:
    bool Grow(std::uint64_t needed);

    std::uint8_t* buffer_ = nullptr;
    std::int32_t size_ = 0;
    bool owned_ = false;
    std::int32_t position_ = 0;
    std::int32_t capacity_ = 0;
};

class CxIOFile : public CxFile {
public:
    explicit CxIOFile(std::FILE* stream = nullptr, bool closes = false)
        : stream_(stream), closes_(closes) {}
    ~CxIOFile() override { Close(); }
    CxIOFile(const CxIOFile&) = delete;
    CxIOFile& operator=(const CxIOFile&) = delete;

    bool Open(const char* path, const char* mode);
    bool Close() override;
    std::size_t Read(void* buffer, std::size_t size, std::size_t count) override;
    std::size_t Write(const void* buffer, std::size_t size, std::size_t count) override;
    bool Seek(std::int32_t offset, int origin) override;
    std::int32_t Tell() override;
    std::int32_t Size() override;
    bool Flush() override;
    bool Eof() override;
    std::int32_t Error() override;
    bool PutC(std::uint8_t c) override;
    std::int32_t GetC() override;

private:
    std::FILE* stream_;
    bool closes_;
};

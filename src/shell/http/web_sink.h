// Where a download's body goes: Begin(length), Write per block, End(result). End always comes
// last; a result other than 0 means the body is not to be kept.
#pragma once

#include <cstdint>

#include "core/file.h"

class WebSink {
public:
    // The content length, 0 when the server gave none.
    virtual void Begin(uint32_t contentLength) = 0;
    // The count taken; fewer than given stops the download.
    virtual uint32_t Write(const uint8_t* bytes, uint32_t count) = 0;
    virtual void End(uint32_t result) = 0;

protected:
    ~WebSink() = default;
};

// Takes everything and keeps nothing.
class NullSink : public WebSink {
public:
    void Begin(uint32_t) override {}
    uint32_t Write(const uint8_t*, uint32_t count) override { return count; }
    void End(uint32_t) override {}
};

// A temporary file (deleted on close) that each write appends to.
class TempFileSink : public WebSink {
public:
    void Begin(uint32_t contentLength) override;
    uint32_t Write(const uint8_t* bytes, uint32_t count) override;
    void End(uint32_t result) override { result_ = result; }

    // Back to the start of the file for reading; false when there is none.
    bool Rewind();
    uint32_t Read(void* buffer, uint32_t count) { return file_.Read(buffer, count); }
    uint32_t Result() const { return result_; }
    File& GetFile() { return file_; }

private:
    File file_;
    uint32_t result_ = 0xFFFFFFFF;  // no end yet
};

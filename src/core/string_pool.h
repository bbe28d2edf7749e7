// Strings written to a ByteStream with repeats pooled: the variable-length number 0 for the
// empty string, 2i + 1 for the i-th distinct string already written literally, else 2n followed
// by the n bytes of the UTF-8 form. Reading resolves indexes against the strings read so far.
#pragma once

#include <cstdint>

#include "core/byte_stream.h"
#include "core/containers.h"
#include "core/string.h"

class StringPool {
public:
    explicit StringPool(ByteStream& stream) : stream_(stream) {}
    ~StringPool();
    StringPool(const StringPool&) = delete;
    StringPool& operator=(const StringPool&) = delete;

    bool WriteString(const String& s);
    // False (stream ok cleared) on a truncated string, an oversize length or an index out of
    // range; invalid UTF-8 becomes U+FFFD.
    bool ReadString(String& out);
    bool PutTag(uint8_t tag) { return stream_.WriteByte(tag); }
    // True when the stream is still ok and the tag is below 3.
    bool GetTag(uint8_t& tag);
    int32_t Count() const { return strings_.Count(); }
    // Forgets the strings seen.
    void Reset();

private:
    int32_t Lookup(const String& s) const;
    bool Remember(const String& s);
    bool Rehash(int32_t size);

    ByteStream& stream_;
    StringArray strings_;
    int32_t* slots_ = nullptr;  // open addressing: index + 1, 0 = free
    int32_t slotCount_ = 0;
};

// A view's saved state inside a larger state stream: written as one block, aligned to 4 bytes,
// only when there is something to write; read back as the next block of the source.
#pragma once

#include "core/byte_stream.h"

class StateBlock {
public:
    ByteStream& Stream() { return stream_; }
    const ByteStream& Stream() const { return stream_; }
    // Nothing is written for an empty state; the target's ok flag.
    bool WriteTo(ByteStream& target) const;
    // Clears the own state, then takes the next block of the source; false when there is none
    // or it is cut short (the source's read then fails as well).
    bool ReadFrom(ByteStream& source);

private:
    ByteStream stream_;
};

// Reading the dialog and menu resources that rescomp writes. All numbers are little-endian. A
// text is a u16 count and that many UTF-16 units, or 0xFFFF and a u16 string id whose text is
// taken in the system's language when the resource is used. A read past the end clears ok().
#pragma once

#include <cstdint>
#include <string>

#include "platform/types.h"

namespace fvt {

class ResourceReader {
public:
    ResourceReader(const BYTE* data, DWORD size) : data_(data), size_(data ? size : 0) {}
    bool ok() const { return ok_; }
    bool AtEnd() const { return at_ == size_; }
    std::uint16_t U16();
    std::int16_t I16() { return static_cast<std::int16_t>(U16()); }
    std::uint32_t U32();
    std::u16string Text();

private:
    const BYTE* data_;
    DWORD size_;
    DWORD at_ = 0;
    bool ok_ = true;
};

// The text of a string resource in the system's language (French: id + 1000, else English).
std::u16string LocalString(UINT id);

}  // namespace fvt

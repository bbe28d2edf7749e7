// The faces a reader window's drawing surface and native controls look up by index: entry 0
// empty, 1 the platform's proportional face, 2 the monospace face, 3 and 4 the settings' system
// face and bitmap font file. Bitmap faces carry flag 1. Entries 0-7 are reserved; faces registered
// by name take 8-255, so an index fits in a byte.
#pragma once

#include <cstdint>
#include <vector>

#include "core/string.h"
#include "core/text.h"
#include "graphics/core/graphics_context.h"

class FontList final : public FaceTable {
public:
    static constexpr uint32_t kDataSize = 32;
    static constexpr uint32_t kFirstRegistered = 8;
    static constexpr uint32_t kMaxEntries = 256;
    struct Entry {
        uint8_t flag = 0;
        Text face;
        uint8_t data[kDataSize] = {};
    };
    // The proportional face of a platform type (GetPlatformType: 1 Pocket PC, 2 Smartphone).
    static const char16_t* PlatformFace(int platformType);
    static constexpr const char16_t* kMonospaceFace = u"Courier New";

    // Fills the three initial entries for the running platform.
    FontList();
    // Grows the list to at least n + 1 entries; false when the copy fails.
    bool SetEntry(uint32_t n, uint8_t flag, const Text& face);
    // The index of the face registered under the name (from index 8 on), made when missing; a
    // known face takes the new data when at least 32 bytes are given. 0 for an empty name, a
    // failed copy or a full list.
    uint32_t Register(const String& face, const uint8_t* data, uint32_t length);
    uint32_t Count() const { return static_cast<uint32_t>(entries_.size()); }
    const Entry* At(uint32_t n) const { return n < entries_.size() ? &entries_[n] : nullptr; }

    bool IsBitmapFace(uint8_t face) const override;
    const Text* FaceName(uint8_t face) const override;

private:
    std::vector<Entry> entries_;
};

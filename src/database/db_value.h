// The value record of a table cell, also the head of a document location.
#pragma once

#include <cstdint>

#include "core/string.h"

class DbValue {
public:
    // Cell value types: 0 text, 1 u8, 2 u32, 3 i32 (in number1), 9 empty.
    enum Type : uint32_t { kText = 0, kByte = 1, kUnsigned = 2, kSigned = 3, kEmpty = 9 };

    DbValue() = default;

    // Empty text, flags 0, type 9, both numbers 0.
    void Init();
    // Copies every field; the text buffer is shared.
    void Copy(const DbValue& other);
    bool IsNumber() const { return type >= kByte && type <= kSigned; }

    String text;
    uint32_t flags = 0;  // bit 0: pooled text
    uint32_t type = kEmpty;
    uint32_t number1 = 0;
    uint32_t number2 = 0;
};

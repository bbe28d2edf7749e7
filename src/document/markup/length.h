// Packed lengths: one 32-bit word per box value. Bits 28-29 the unit (absolute pixels, a
// multiple of a base unit, a percentage), bit 30 "not set yet", and the value in the rest:
// a magnitude in bits 0-27 with bit 31 as its sign.
#pragma once

#include <cstdint>

namespace Length {

constexpr uint32_t kUnitMask = 0x30000000u;
constexpr uint32_t kAbsolute = 0x00000000u;
constexpr uint32_t kMultiple = 0x10000000u;
constexpr uint32_t kPercent = 0x20000000u;
constexpr uint32_t kNotSet = 0x40000000u;
constexpr uint32_t kNegative = 0x80000000u;
constexpr uint32_t kMagnitudeMask = 0x0FFFFFFFu;
constexpr int32_t kMaxMagnitude = 0x0FFFFFFF;

constexpr uint32_t Unit(uint32_t length) {
    return length & kUnitMask;
}
constexpr bool IsSet(uint32_t length) {
    return (length & kNotSet) == 0;
}
// The signed value; a negative value is kept as its magnitude with the sign bit.
constexpr int32_t Value(uint32_t length) {
    int32_t m = static_cast<int32_t>(length & kMagnitudeMask);
    return (length & kNegative) ? -m : m;
}
// A set length of that unit; the value is clamped to the magnitude the word can hold.
constexpr uint32_t Make(int64_t value, uint32_t unit) {
    bool negative = value < 0;
    int64_t m = negative ? -value : value;
    if (m > kMaxMagnitude) m = kMaxMagnitude;
    uint32_t word = static_cast<uint32_t>(m) | (unit & kUnitMask);
    return negative && m != 0 ? word | kNegative : word;
}

// The length in pixels: absolute as it is, a multiple times base, a percentage of total; the
// fourth unit gives 1. Saturates at the 32-bit range. (Every line resolves its box's margins:
// inline.)
inline int32_t Resolve(uint32_t length, int32_t base, int32_t total) {
    auto saturate = [](int64_t v) {
        if (v > INT32_MAX) return INT32_MAX;
        if (v < INT32_MIN) return INT32_MIN;
        return static_cast<int32_t>(v);
    };
    const int64_t value = Value(length);
    switch (Unit(length)) {
        case kAbsolute:
            return static_cast<int32_t>(value);
        case kMultiple:
            return saturate(value * base);
        case kPercent:
            return saturate(value * total / 100);
        default:
            return 1;
    }
}
// With differing units the parent when its value is nonzero, else the rule; otherwise the sum
// of the parent's value and sign times the rule's, in that unit (the not-set bit cleared).
uint32_t Combine(uint32_t parent, uint32_t rule, int32_t sign);

}  // namespace Length

#include "document/markup/length.h"

namespace Length {

namespace {
int32_t Saturate(int64_t v) {
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(v);
}
}  // namespace

int32_t Resolve(uint32_t length, int32_t base, int32_t total) {
    int64_t value = Value(length);
    switch (Unit(length)) {
        case kAbsolute:
            return static_cast<int32_t>(value);
        case kMultiple:
            return Saturate(value * base);
        case kPercent:
            return Saturate(value * total / 100);
        default:
            return 1;
    }
}

uint32_t Combine(uint32_t parent, uint32_t rule, int32_t sign) {
    if (Unit(parent) != Unit(rule)) return Value(parent) != 0 ? parent : rule;
    // Both values are sign and magnitude: add them as numbers, not as words.
    int64_t sum = static_cast<int64_t>(Value(parent)) + static_cast<int64_t>(sign) * Value(rule);
    return Make(sum, Unit(parent));
}

}  // namespace Length

#include "document/markup/length.h"

namespace Length {

uint32_t Combine(uint32_t parent, uint32_t rule, int32_t sign) {
    if (Unit(parent) != Unit(rule)) return Value(parent) != 0 ? parent : rule;
    // Both values are sign and magnitude: add them as numbers, not as words.
    int64_t sum = static_cast<int64_t>(Value(parent)) + static_cast<int64_t>(sign) * Value(rule);
    return Make(sum, Unit(parent));
}

}  // namespace Length

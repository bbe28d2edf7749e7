#include "bookfiles/trailing_entries.h"

#include "bookfiles/byte_order.h"

bool StripTrailingEntries(const std::uint8_t* record, std::uint32_t length, std::uint32_t flags,
                          bool multibyte, TrailingEntries* out) {
    out->textLength = 0;
    out->carryLength = 0;
    std::uint32_t end = length;
    for (int bit = 15; bit >= 1; --bit) {
        if (!(flags & (1u << bit))) continue;
        if (end < 2) return false;
        std::uint32_t size = BigEndian::U16(record + end - 2);
        if (size < 2 || size > end) return false;
        end -= size;
    }
    if (multibyte && (flags & 1)) {
        if (end < 1) return false;
        std::uint32_t k = record[end - 1] & 0x0F;
        if (k > 3 || k + 1 > end) return false;
        end -= k + 1;
        out->carryLength = k;
    }
    out->textLength = end;
    return true;
}

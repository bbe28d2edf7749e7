#include "bookfiles/packed_tree.h"

#include "bookfiles/byte_order.h"
#include "bookfiles/document_source.h"

namespace {

bool Fits(const std::uint8_t* p, const std::uint8_t* end, std::uint32_t n) {
    return p && end && p <= end && static_cast<std::uint64_t>(end - p) >= n;
}

// Moves a pointer on by n bytes, stopping at the end (so it never points past its bytes).
const std::uint8_t* Step(const std::uint8_t* p, const std::uint8_t* end, std::uint64_t n) {
    if (!p || !end || p > end) return end;
    return static_cast<std::uint64_t>(end - p) >= n ? p + n : end;
}

}  // namespace

bool PackedTree::IsValid() const {
    return Fits(node, nodeEnd, 12);
}

std::uint16_t PackedTree::GetFlags() const {
    return IsValid() ? BigEndian::U16(node) : 0;
}

bool PackedTree::HasChildren() const {
    return (GetFlags() & kHasChildren) != 0;
}

bool PackedTree::GetHeader(std::uint32_t* payload, std::uint16_t* number, bool* flag) const {
    if (!IsValid()) return false;
    if (payload) *payload = BigEndian::U32(node + 4);
    if (number) *number = BigEndian::U16(node + 2);
    if (flag) *flag = (BigEndian::U16(node) & 0x0008) != 0;
    return true;
}

bool PackedTree::GetTextBytes(const std::uint8_t** bytes, std::uint32_t* count) const {
    *bytes = nullptr;
    *count = 0;
    if (!IsValid()) return false;
    std::uint32_t offset = BigEndian::U32(node + 8);
    if (offset == 0xFFFFFFFF) return true;
    if (!textArea || !Fits(textArea, textEnd, offset) || !Fits(textArea + offset, textEnd, 2)) {
        return false;
    }
    std::uint32_t length = BigEndian::U16(textArea + offset);
    if (!Fits(textArea + offset + 2, textEnd, length)) return false;
    *bytes = textArea + offset + 2;
    *count = length;
    return true;
}

bool PackedTree::GetText(String& out) const {
    const std::uint8_t* bytes = nullptr;
    std::uint32_t count = 0;
    if (!GetTextBytes(&bytes, &count)) return false;
    if (!bytes) {
        out.SetEmpty();
        return true;
    }
    return source && source->DecodeText(out, bytes, count);
}

std::uint32_t PackedTree::Payload() const {
    return Fits(value, valueEnd, 4) ? BigEndian::U32(value) : 0;
}

bool PackedTree::Descend() {
    if (!HasChildren() || !Fits(node, nodeEnd, 16)) return false;
    remaining = BigEndian::U16(node + 12);
    node += 16;
    if (value) value = Step(value, valueEnd, 4);
    return remaining > 0 && IsValid();
}

bool PackedTree::Next() {
    if (!IsValid() || remaining == 0) return false;
    if (HasChildren()) {
        if (!Fits(node, nodeEnd, 16)) return false;
        std::uint32_t words = BigEndian::U16(node + 14);
        std::uint64_t skip = 12 + 4ull * (words + 1);
        if (!Fits(node, nodeEnd,
                  static_cast<std::uint32_t>(skip > 0xFFFFFFFF ? 0xFFFFFFFF : skip))) {
            remaining = 0;
            return false;
        }
        node += skip;
        if (value) value = Step(value, valueEnd, 4ull * (1 + (Payload() & 0xFFFF)));
    } else {
        node += 12;
        if (value) value = Step(value, valueEnd, 4);
    }
    --remaining;
    return remaining > 0 && IsValid();
}

std::uint32_t PackedTree::ExtraNumber() const {
    if (!hasExtraValues || !Fits(value, valueEnd, 4)) return 0;
    std::uint64_t skip = 4ull * (1 + BigEndian::U16(value + 2));
    if (static_cast<std::uint64_t>(valueEnd - value) < skip + 4) return 0;
    return BigEndian::U32(value + skip);
}

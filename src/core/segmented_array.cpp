#include "core/segmented_array.h"

#include <cstdlib>
#include <cstring>

void SegmentedArray::InitEx(uint32_t elementSize, int shift) {
    Destroy();
    if (elementSize == 0) elementSize = 1;
    if (shift < 0) shift = 0;
    if (shift > 16) shift = 16;
    elementSize_ = elementSize;
    shift_ = shift;
    mask_ = (1 << shift) - 1;
}

void SegmentedArray::ZeroHeader() {
    blocks_ = nullptr;
    blockCount_ = tableSize_ = count_ = 0;
}

void SegmentedArray::Destroy() {
    for (int32_t i = 0; i < blockCount_; ++i) std::free(blocks_[i]);
    std::free(blocks_);
    ZeroHeader();
}

// Allocates blocks until count elements fit.
bool SegmentedArray::Grow(int32_t count) {
    if (count < 0 || count > kMaxCount) return false;
    if (static_cast<uint64_t>(count) * elementSize_ > 0x7FFFFFFFull) return false;
    int32_t needBlocks = count == 0 ? 0 : ((count - 1) >> shift_) + 1;
    if (needBlocks <= blockCount_) return true;
    if (needBlocks > tableSize_) {
        int32_t size = needBlocks + 4 > 8 ? needBlocks + 4 : 8;
        size = size > tableSize_ + tableSize_ / 2 ? size : tableSize_ + tableSize_ / 2;
        auto** table = static_cast<uint8_t**>(std::realloc(blocks_, sizeof(uint8_t*) * size));
        if (!table) return false;
        blocks_ = table;
        tableSize_ = size;
    }
    size_t blockBytes = static_cast<size_t>(elementSize_) << shift_;
    while (blockCount_ < needBlocks) {
        auto* block = static_cast<uint8_t*>(std::malloc(blockBytes));
        if (!block) return false;
        blocks_[blockCount_++] = block;
    }
    return true;
}

bool SegmentedArray::Reserve(int32_t n) {
    return Grow(n);
}

void* SegmentedArray::At(int32_t i) {
    if (i < 0 || i >= kMaxCount) return nullptr;
    if (i < count_) return Get(i);
    if (!Grow(i + 1)) return nullptr;
    // New elements start as zeros, never as whatever the block held before.
    for (int32_t k = count_; k <= i; ++k)
        std::memset(blocks_[k >> shift_] + static_cast<size_t>(k & mask_) * elementSize_, 0,
                    elementSize_);
    count_ = i + 1;
    return Get(i);
}

int32_t SegmentedArray::Append(const void* element) {
    void* p = At(count_);
    if (!p) return -1;
    if (element) std::memcpy(p, element, elementSize_);
    return count_ - 1;
}

void* SegmentedArray::AppendNew() {
    return At(count_);
}

void SegmentedArray::MoveElements(int32_t to, int32_t from, int32_t n) {
    if (n <= 0 || to == from) return;
    // Spans that stay inside one block on both sides move with one memmove each.
    auto span = [&](int32_t d, int32_t s, int32_t limit) {
        int32_t room = mask_ + 1;
        int32_t a = room - (d & mask_), b = room - (s & mask_);
        int32_t m = a < b ? a : b;
        return m < limit ? m : limit;
    };
    if (to < from) {
        for (int32_t k = 0; k < n;) {
            int32_t m = span(to + k, from + k, n - k);
            std::memmove(Get(to + k), Get(from + k), static_cast<size_t>(m) * elementSize_);
            k += m;
        }
    } else {
        // Backwards, each span ending at the last element still to move.
        for (int32_t k = n; k > 0;) {
            int32_t d = to + k - 1, s = from + k - 1;
            int32_t m = (d & mask_) + 1, ms = (s & mask_) + 1;
            if (ms < m) m = ms;
            if (k < m) m = k;
            std::memmove(Get(d - m + 1), Get(s - m + 1), static_cast<size_t>(m) * elementSize_);
            k -= m;
        }
    }
}

bool SegmentedArray::Insert(int32_t index, const void* elements, int32_t n) {
    if (index < 0 || index > count_ || n < 0) return false;
    if (n == 0) return true;
    if (n > kMaxCount - count_) return false;
    int32_t old = count_;
    if (!At(old + n - 1)) return false;
    MoveElements(index + n, index, old - index);
    const auto* src = static_cast<const uint8_t*>(elements);
    for (int32_t k = 0; k < n; ++k) {
        if (src)
            std::memcpy(Get(index + k), src + static_cast<size_t>(k) * elementSize_, elementSize_);
        else
            std::memset(Get(index + k), 0, elementSize_);
    }
    return true;
}

void SegmentedArray::Remove(int32_t index, int32_t n) {
    if (index < 0 || index >= count_ || n <= 0) return;
    if (n > count_ - index) n = count_ - index;
    MoveElements(index, index + n, count_ - index - n);
    count_ -= n;
}

bool SegmentedArray::Copy(const SegmentedArray& other) {
    if (this == &other) return true;
    if (other.elementSize_ != elementSize_ || other.shift_ != shift_) {
        InitEx(other.elementSize_, other.shift_);
    }
    count_ = 0;
    if (!Grow(other.count_)) return false;
    size_t blockBytes = static_cast<size_t>(elementSize_) << shift_;
    int32_t full = other.count_ >> shift_;
    for (int32_t b = 0; b < full; ++b) std::memcpy(blocks_[b], other.blocks_[b], blockBytes);
    int32_t rest = other.count_ & mask_;
    if (rest)
        std::memcpy(blocks_[full], other.blocks_[full], static_cast<size_t>(rest) * elementSize_);
    count_ = other.count_;
    return true;
}

void SegmentedArray::Move(SegmentedArray& other) {
    if (this == &other) return;
    Destroy();
    blocks_ = other.blocks_;
    blockCount_ = other.blockCount_;
    tableSize_ = other.tableSize_;
    count_ = other.count_;
    elementSize_ = other.elementSize_;
    shift_ = other.shift_;
    mask_ = other.mask_;
    other.ZeroHeader();
}

bool SegmentedArray::CopyRangeFrom(const SegmentedArray& other, int32_t from, int32_t n,
                                   int32_t to) {
    if (from < 0 || n < 0 || to < 0 || other.elementSize_ != elementSize_) return false;
    if (n > other.count_ - from) return false;
    if (n == 0) return true;
    if (to > kMaxCount - n || !At(to + n - 1)) return false;
    if (&other == this) {
        MoveElements(to, from, n);
        return true;
    }
    for (int32_t k = 0; k < n; ++k) std::memcpy(Get(to + k), other.Get(from + k), elementSize_);
    return true;
}

void SegmentedArray::FreeUnusedBlocks() {
    int32_t keep = count_ == 0 ? 0 : ((count_ - 1) >> shift_) + 1;
    while (blockCount_ > keep) std::free(blocks_[--blockCount_]);
    if (blockCount_ == 0) {
        std::free(blocks_);
        blocks_ = nullptr;
        tableSize_ = 0;
    }
}

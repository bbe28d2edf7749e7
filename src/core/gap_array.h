// Arrays that take insertions and removals in the middle without moving what follows each time.
//
// GapArray keeps plain values in one buffer with a gap in it: an insertion or removal where the
// gap stands only writes, one elsewhere first moves the gap there (the values in between move
// once). A gap that runs out is opened again with room in proportion to the count, so a walk
// that inserts as it goes moves each value a constant number of times on average. Appends never
// move the gap. Addresses of values are valid only until the next change.
//
// PooledArray keeps its items in a paged pool where an item never moves, and their order in a
// GapArray of slot numbers: an item's address stays valid until that item is removed, whatever is
// inserted or removed around it. A removed item is reset at once (what it holds is released) and
// its slot is used again.
//
// Both count the values their gaps moved (`Moved`, and all arrays together `GapArrayMoves`), the
// measure of what a change cost that does not depend on the machine's speed.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <type_traits>
#include <utility>

#include "core/segmented_array.h"

namespace gap_array_detail {
inline std::atomic<uint64_t> moves{0};
}  // namespace gap_array_detail

// Values moved by every gap array of the process so far.
inline uint64_t GapArrayMoves() {
    return gap_array_detail::moves.load(std::memory_order_relaxed);
}

template <typename T>
class GapArray {
    static_assert(std::is_trivially_copyable_v<T>, "GapArray holds plain values");

public:
    static constexpr int32_t kMaxCount = SegmentedArray::kMaxCount;

    GapArray() = default;
    ~GapArray() { Destroy(); }
    GapArray(const GapArray&) = delete;
    GapArray& operator=(const GapArray&) = delete;
    GapArray(GapArray&& other) noexcept { Move(other); }
    GapArray& operator=(GapArray&& other) noexcept {
        Move(other);
        return *this;
    }

    int32_t Count() const { return count_; }
    T* Get(int32_t i) const {
        if (static_cast<uint32_t>(i) >= static_cast<uint32_t>(count_)) [[unlikely]]
            return nullptr;
        return data_ + (i < gapStart_ ? i : i + gapLength_);
    }
    T& operator[](int32_t i) const { return *Get(i); }
    uint64_t Moved() const { return moved_; }

    // Room for n values in all without a further allocation.
    bool Reserve(int32_t n) {
        if (n < 0 || n > kMaxCount) return false;
        return n + gapLength_ <= capacity_ || Grow(n + gapLength_);
    }
    // Its index, or -1 when memory runs out.
    int32_t Append(const T& value) {
        if (count_ == gapStart_ && gapLength_ > 0) {
            data_[gapStart_++] = value;
            --gapLength_;
            return count_++;
        }
        if (count_ >= kMaxCount) return -1;
        if (count_ + gapLength_ == capacity_ && !Grow(capacity_ < 8 ? 16 : capacity_ * 2))
            return -1;
        data_[count_ + gapLength_] = value;
        return count_++;
    }
    // n values (zeros when null) before index; false, nothing changed, when memory runs out.
    bool Insert(int32_t index, const T* values, int32_t n) {
        if (index < 0 || index > count_ || n < 0) return false;
        if (n == 0) return true;
        if (n > kMaxCount - count_) return false;
        if (index == count_) {
            if (!Reserve(count_ + n)) return false;
            for (int32_t k = 0; k < n; ++k) Append(values ? values[k] : T{});
            return true;
        }
        if (gapLength_ < n && !Widen(index, n)) return false;
        MoveGap(index);
        for (int32_t k = 0; k < n; ++k) data_[gapStart_ + k] = values ? values[k] : T{};
        gapStart_ += n;
        gapLength_ -= n;
        count_ += n;
        return true;
    }
    // n values at index; later values follow on.
    void Remove(int32_t index, int32_t n) {
        if (index < 0 || index >= count_ || n <= 0) return;
        if (n > count_ - index) n = count_ - index;
        if (index + n == count_ && gapStart_ <= index) {
            count_ -= n;  // the last values: nothing behind them to move
            if (gapStart_ == count_) gapLength_ = 0;
            return;
        }
        MoveGap(index);
        gapLength_ += n;
        count_ -= n;
    }
    // Count 0, storage kept.
    void Clear() { count_ = gapStart_ = gapLength_ = 0; }
    void FreeBlocks() { Clear(); }
    // Closes the gap and frees the storage past the count.
    void FreeUnusedBlocks() {
        MoveGap(count_);
        gapLength_ = 0;
        if (capacity_ == count_) return;
        if (count_ == 0) {
            std::free(data_);
            data_ = nullptr;
            capacity_ = 0;
            return;
        }
        if (void* p = std::realloc(data_, sizeof(T) * static_cast<size_t>(count_))) {
            data_ = static_cast<T*>(p);
            capacity_ = count_;
        }
    }
    bool Copy(const GapArray& other) {
        if (this == &other) return true;
        Clear();
        if (!Reserve(other.count_)) return false;
        int32_t head = other.gapStart_ < other.count_ ? other.gapStart_ : other.count_;
        if (head > 0) std::memcpy(data_, other.data_, sizeof(T) * static_cast<size_t>(head));
        if (other.count_ > head)
            std::memcpy(data_ + head, other.data_ + head + other.gapLength_,
                        sizeof(T) * static_cast<size_t>(other.count_ - head));
        count_ = other.count_;
        gapStart_ = count_;
        return true;
    }
    // Takes the other's contents; the other is left empty.
    void Move(GapArray& other) {
        if (this == &other) return;
        Destroy();
        data_ = other.data_;
        count_ = other.count_;
        capacity_ = other.capacity_;
        gapStart_ = other.gapStart_;
        gapLength_ = other.gapLength_;
        moved_ = other.moved_;
        other.data_ = nullptr;
        other.count_ = other.capacity_ = other.gapStart_ = other.gapLength_ = 0;
    }
    void Destroy() {
        std::free(data_);
        data_ = nullptr;
        count_ = capacity_ = gapStart_ = gapLength_ = 0;
    }

private:
    bool Grow(int32_t capacity) {
        if (capacity <= capacity_) return true;
        if (capacity > kMaxCount + gapLength_) capacity = kMaxCount + gapLength_;
        if (capacity <= capacity_) return false;
        void* p = std::realloc(data_, sizeof(T) * static_cast<size_t>(capacity));
        if (!p) return false;
        data_ = static_cast<T*>(p);
        capacity_ = capacity;
        return true;
    }
    // Makes the gap at least n long at index, with room for a quarter of the count more.
    bool Widen(int32_t index, int32_t n) {
        int32_t room = count_ / 4 > 8 ? count_ / 4 : 8;
        if (room < n) room = n;
        int32_t extra = room - gapLength_;
        int32_t used = count_ + gapLength_;
        if (used + extra > capacity_) {
            int32_t want = capacity_ * 2 > used + extra ? capacity_ * 2 : used + extra;
            if (!Grow(want) && !Grow(used + extra)) return false;
        }
        MoveGap(index);
        int32_t after = count_ - gapStart_;
        if (after > 0)
            std::memmove(data_ + gapStart_ + gapLength_ + extra, data_ + gapStart_ + gapLength_,
                         sizeof(T) * static_cast<size_t>(after));
        NoteMoved(after);
        gapLength_ += extra;
        return true;
    }
    void NoteMoved(int32_t n) {
        moved_ += static_cast<uint64_t>(n);
        gap_array_detail::moves.fetch_add(static_cast<uint64_t>(n), std::memory_order_relaxed);
    }
    void MoveGap(int32_t to) {
        if (to == gapStart_) return;
        if (gapLength_ > 0) {
            if (to < gapStart_) {
                std::memmove(data_ + to + gapLength_, data_ + to,
                             sizeof(T) * static_cast<size_t>(gapStart_ - to));
                NoteMoved(gapStart_ - to);
            } else {
                std::memmove(data_ + gapStart_, data_ + gapStart_ + gapLength_,
                             sizeof(T) * static_cast<size_t>(to - gapStart_));
                NoteMoved(to - gapStart_);
            }
        }
        gapStart_ = to;
    }

    T* data_ = nullptr;
    int32_t count_ = 0;
    int32_t capacity_ = 0;   // values the buffer holds, gap included
    int32_t gapStart_ = 0;   // logical index where the gap stands
    int32_t gapLength_ = 0;
    uint64_t moved_ = 0;
};

template <typename T, int Shift = 4>
class PooledArray {
public:
    PooledArray() = default;
    PooledArray(const PooledArray&) = delete;
    PooledArray& operator=(const PooledArray&) = delete;

    int32_t Count() const { return order_.Count(); }
    T* Get(int32_t i) const {
        // Every slot in the order is one of the pool's: it is not checked again.
        const uint32_t* slot = order_.Get(i);
        return slot ? pool_.Held(*slot) : nullptr;
    }
    T& operator[](int32_t i) const { return *Get(i); }
    uint64_t Moved() const { return order_.Moved(); }

    bool Reserve(int32_t n) { return order_.Reserve(n) && pool_.Reserve(n); }
    int32_t Append(const T& value) {
        uint32_t slot = 0;
        if (!Take(value, slot)) return -1;
        return AppendSlot(slot);
    }
    // The value moved in (lost when memory runs out: -1).
    int32_t Append(T&& value) {
        uint32_t slot = 0;
        if (!Take(std::move(value), slot)) return -1;
        return AppendSlot(slot);
    }
    bool Insert(int32_t index, const T* values, int32_t n) {
        if (index < 0 || index > Count() || n < 0) return false;
        for (int32_t k = 0; k < n; ++k) {
            uint32_t slot = 0;
            bool taken = Take(values ? values[k] : T(), slot);
            if (!taken || !order_.Insert(index + k, &slot, 1)) {
                if (taken) Release(slot);
                Remove(index, k);  // the ones already in: all or nothing
                return false;
            }
        }
        return true;
    }
    void Remove(int32_t index, int32_t n) {
        int32_t count = Count();
        if (index < 0 || index >= count || n <= 0) return;
        if (n > count - index) n = count - index;
        // Last first: the items appended last give their slots back to the pool's end.
        for (int32_t k = n - 1; k >= 0; --k) Release(*order_.Get(index + k));
        order_.Remove(index, n);
    }
    void Clear() {
        pool_.Clear();
        free_.Clear();
        order_.Clear();
    }
    void FreeBlocks() { Clear(); }
    // Frees the storage past the count; when more slots are free than used, packs the items in
    // order first (their addresses change).
    void FreeUnusedBlocks() {
        if (free_.Count() > Count()) {
            SegArray<T, Shift> packed;
            GapArray<uint32_t> order;
            bool ok = packed.Reserve(Count()) && order.Reserve(Count());
            for (int32_t i = 0; ok && i < Count(); ++i) {
                uint32_t slot = static_cast<uint32_t>(i);
                ok = packed.Append(*Get(i)) >= 0 && order.Append(slot) >= 0;
            }
            if (ok) {
                pool_.Move(packed);
                order_.Move(order);
                free_.Clear();
            }
        }
        pool_.FreeUnusedBlocks();
        order_.FreeUnusedBlocks();
        free_.FreeUnusedBlocks();
    }
    bool Copy(const PooledArray& other) {
        if (this == &other) return true;
        Clear();
        if (!Reserve(other.Count())) return false;
        for (int32_t i = 0; i < other.Count(); ++i)
            if (Append(*other.Get(i)) < 0) return false;
        return true;
    }
    void Move(PooledArray& other) {
        if (this == &other) return;
        pool_.Move(other.pool_);
        order_.Move(other.order_);
        free_.Move(other.free_);
    }
    void Destroy() {
        pool_.Destroy();
        order_.Destroy();
        free_.Destroy();
    }

private:
    // A slot holding a copy of value (or value moved in); false when memory runs out.
    template <typename V>
    bool Take(V&& value, uint32_t& slot) {
        if (free_.Count() > 0) {
            slot = *free_.Get(free_.Count() - 1);
            *pool_.Get(static_cast<int32_t>(slot)) = std::forward<V>(value);
            free_.Remove(free_.Count() - 1, 1);
            return true;
        }
        int32_t i = pool_.Append(std::forward<V>(value));
        if (i < 0) return false;
        slot = static_cast<uint32_t>(i);
        return true;
    }
    // The slot in order at the end; -1, the slot released, when memory runs out.
    int32_t AppendSlot(uint32_t slot) {
        int32_t index = order_.Append(slot);
        if (index < 0) Release(slot);
        return index;
    }
    // The item is reset (what it holds released) and its slot kept for the next item; the
    // pool's last slot is given back to the pool.
    void Release(uint32_t slot) {
        if (static_cast<int32_t>(slot) == pool_.Count() - 1) {
            pool_.Remove(static_cast<int32_t>(slot), 1);
            return;
        }
        if (T* item = pool_.Get(static_cast<int32_t>(slot))) *item = T();
        free_.Append(slot);  // when even this fails the slot waits for the next Clear
    }

    SegArray<T, Shift> pool_;
    GapArray<uint32_t> order_;
    GapArray<uint32_t> free_;
};

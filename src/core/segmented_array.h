// A growable array of fixed-size elements kept in blocks of 2^shift elements with a block table.
// Blocks never move, so element addresses stay valid while the array grows; Insert and Remove
// shift the contents. SegmentedArray holds plain bytes; SegArray<T> constructs, copies and
// destroys its elements, so it is the one to use for String, Text and other counted objects.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <type_traits>
#include <utility>

class SegmentedArray {
public:
    // The most elements an array may hold; asking for more fails instead of allocating.
    static constexpr int32_t kMaxCount = 1 << 26;

    SegmentedArray() = default;
    SegmentedArray(uint32_t elementSize, int shift) { InitEx(elementSize, shift); }
    ~SegmentedArray() { Destroy(); }
    SegmentedArray(const SegmentedArray&) = delete;
    SegmentedArray& operator=(const SegmentedArray&) = delete;
    SegmentedArray(SegmentedArray&& other) noexcept { Move(other); }
    SegmentedArray& operator=(SegmentedArray&& other) noexcept {
        Move(other);
        return *this;
    }

    // Frees everything and sets the element size and block shift (0 to 16).
    void InitEx(uint32_t elementSize, int shift);
    void SetGeometry(uint32_t elementSize, int shift) { InitEx(elementSize, shift); }
    // Forgets the contents without freeing (for a header in zero-filled memory).
    void ZeroHeader();

    int32_t Count() const { return count_; }
    uint32_t ElementSize() const { return elementSize_; }
    int Shift() const { return shift_; }

    // Room for n elements without further allocation.
    bool Reserve(int32_t n);
    // The element's address, the count raised to i + 1 (new elements zero-filled); null for a
    // negative or oversize index or when memory runs out.
    void* At(int32_t i);
    // The element's address, or null past the count.
    void* Get(int32_t i) const {
        if (i < 0 || i >= count_) return nullptr;
        return blocks_[i >> shift_] + static_cast<size_t>(i & mask_) * elementSize_;
    }
    // Appends a copy of the element (zeros when null): its index, or -1.
    int32_t Append(const void* element);
    // Appends a zero-filled element: its address, or null.
    void* AppendNew();
    // Appends an element left as the block holds it (the caller writes all of it at once).
    void* AppendUninit() {
        if (count_ < (blockCount_ << shift_)) {
            int32_t i = count_++;
            return blocks_[i >> shift_] + static_cast<size_t>(i & mask_) * elementSize_;
        }
        return AppendNew();
    }
    // The same with the geometry known at compile time (the typed arrays).
    template <int S, size_t E>
    void* AppendUninitFixed() {
        if (count_ < (blockCount_ << S)) {
            int32_t i = count_++;
            return blocks_[i >> S] + static_cast<size_t>(i & ((1 << S) - 1)) * E;
        }
        return AppendNew();
    }
    uint8_t* const* Blocks() const { return blocks_; }
    // Inserts n elements (zeros when null) before index; false on failure.
    bool Insert(int32_t index, const void* elements, int32_t n);
    // Removes n elements at index; later elements shift down.
    void Remove(int32_t index, int32_t n);
    bool Copy(const SegmentedArray& other);
    // Takes the other's contents; the other is left empty (same geometry).
    void Move(SegmentedArray& other);
    // Copies n elements of other from index from over this array's elements from index to
    // (the count grows as needed).
    bool CopyRangeFrom(const SegmentedArray& other, int32_t from, int32_t n, int32_t to);
    // Count 0, blocks kept.
    void FreeBlocks() { count_ = 0; }
    // Frees the blocks past the count.
    void FreeUnusedBlocks();
    void Destroy();

private:
    bool Grow(int32_t count);
    void MoveElements(int32_t to, int32_t from, int32_t n);

    uint8_t** blocks_ = nullptr;
    int32_t blockCount_ = 0;  // blocks allocated
    int32_t tableSize_ = 0;   // entries of the block table
    int32_t count_ = 0;
    uint32_t elementSize_ = 1;
    int shift_ = 4;
    int32_t mask_ = 15;
};

// Typed form: elements are constructed, copied, moved and destroyed as objects.
template <typename T, int Shift = 4>
class SegArray {
public:
    SegArray() : raw_(sizeof(T), Shift) {}
    ~SegArray() { Destroy(); }
    SegArray(const SegArray& other) : raw_(sizeof(T), Shift) { Copy(other); }
    SegArray& operator=(const SegArray& other) {
        if (this != &other) Copy(other);
        return *this;
    }
    SegArray(SegArray&& other) noexcept : raw_(sizeof(T), Shift) { Move(other); }
    SegArray& operator=(SegArray&& other) noexcept {
        Move(other);
        return *this;
    }

    int32_t Count() const { return raw_.Count(); }
    bool Reserve(int32_t n) { return raw_.Reserve(n); }
    T* Get(int32_t i) const {
        uint32_t u = static_cast<uint32_t>(i);
        if (u >= static_cast<uint32_t>(raw_.Count())) [[unlikely]]
            return nullptr;
        return Held(u);
    }
    // The element at an index its owner knows to be below the count (no check).
    T* Held(uint32_t u) const {
        return reinterpret_cast<T*>(raw_.Blocks()[u >> Shift]) + (u & ((1u << Shift) - 1));
    }
    T& operator[](int32_t i) const { return *Get(i); }
    // The element, the count raised to i + 1 (new elements default-constructed); null on failure.
    T* At(int32_t i) {
        int32_t old = raw_.Count();
        if (i < old) return Get(i);
        if (!raw_.At(i)) return nullptr;
        for (int32_t k = old; k <= i; ++k) new (raw_.Get(k)) T();
        return Get(i);
    }
    int32_t Append(const T& value) {
        int32_t index = raw_.Count();
        void* p = raw_.template AppendUninitFixed<Shift, sizeof(T)>();
        if (!p) return -1;
        new (p) T(value);
        return index;
    }
    // The value moved in; when memory runs out (-1) it is left as it was.
    int32_t Append(T&& value) {
        int32_t index = raw_.Count();
        void* p = raw_.template AppendUninitFixed<Shift, sizeof(T)>();
        if (!p) return -1;
        new (p) T(std::move(value));
        return index;
    }
    int32_t Add(const T& value) { return Append(value); }
    T* AppendNew() {
        void* p = raw_.AppendNew();
        return p ? new (p) T() : nullptr;
    }
    bool Insert(int32_t index, const T* values, int32_t n) {
        if (index < 0 || index > Count() || n < 0) return false;
        if (n == 0) return true;
        int32_t old = Count();
        if (n > SegmentedArray::kMaxCount - old || !raw_.At(old + n - 1)) return false;
        for (int32_t k = old; k < old + n; ++k) new (raw_.Get(k)) T();
        for (int32_t k = old - 1; k >= index; --k) *Get(k + n) = std::move(*Get(k));
        for (int32_t k = 0; k < n; ++k) *Get(index + k) = values ? values[k] : T();
        return true;
    }
    void Remove(int32_t index, int32_t n) {
        int32_t count = Count();
        if (index < 0 || index >= count || n <= 0) return;
        if (n > count - index) n = count - index;
        if constexpr (std::is_trivially_copyable_v<T>) {
            raw_.Remove(index, n);  // block-wise memmove
            return;
        }
        for (int32_t k = index; k + n < count; ++k) *Get(k) = std::move(*Get(k + n));
        for (int32_t k = count - n; k < count; ++k) Get(k)->~T();
        raw_.Remove(count - n, n);
    }
    // Swaps the last element into index and drops the last.
    void RemoveSwapLast(int32_t index) {
        int32_t last = Count() - 1;
        if (index < 0 || index > last) return;
        if (index != last) *Get(index) = std::move(*Get(last));
        Remove(last, 1);
    }
    bool Copy(const SegArray& other) {
        if (this == &other) return true;
        Clear();
        if (!raw_.Reserve(other.Count())) return false;
        for (int32_t i = 0; i < other.Count(); ++i)
            if (Append(*other.Get(i)) < 0) return false;
        return true;
    }
    bool CopyFrom(const SegArray& other) { return Copy(other); }
    void Move(SegArray& other) {
        if (this == &other) return;
        Destroy();
        raw_.Move(other.raw_);
    }
    void MoveFrom(SegArray& other) { Move(other); }
    // Count 0; blocks kept for reuse.
    void Clear() {
        if constexpr (!std::is_trivially_destructible_v<T>) {
            for (int32_t i = 0; i < Count(); ++i) Get(i)->~T();
        }
        raw_.FreeBlocks();
    }
    void FreeBlocks() { Clear(); }
    void FreeUnusedBlocks() { raw_.FreeUnusedBlocks(); }
    void Destroy() {
        Clear();
        raw_.Destroy();
    }

private:
    SegmentedArray raw_;
};

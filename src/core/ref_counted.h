// Reference-counted objects: a count word and a virtual destructor; Release deletes at zero.
// A new object starts with one reference, owned by its creator. Used on the GUI thread only.
#pragma once

#include <cstdint>
#include <utility>

class RefCounted {
public:
    RefCounted() = default;
    RefCounted(const RefCounted&) = delete;
    RefCounted& operator=(const RefCounted&) = delete;

    void AddRef() { ++refCount_; }
    // Drops one reference; true when that was the last and the object is gone.
    bool Release() {
        if (--refCount_ == 0) {
            delete this;
            return true;
        }
        return false;
    }
    bool Unref() { return Release(); }
    int32_t RefCount() const { return refCount_; }

protected:
    virtual ~RefCounted() = default;

private:
    int32_t refCount_ = 1;
};

// A holder of one reference. Assignment adds the new reference before releasing the old one,
// so an old object holding the last reference to the new one cannot free it first.
template <typename T>
class RefPtr {
public:
    RefPtr() = default;
    // Shares p (adds a reference).
    explicit RefPtr(T* p) : p_(p) {
        if (p_) p_->AddRef();
    }
    // Takes over a reference the caller owns (a new object's first one).
    static RefPtr Adopt(T* p) {
        RefPtr r;
        r.p_ = p;
        return r;
    }
    RefPtr(const RefPtr& o) : RefPtr(o.p_) {}
    RefPtr(RefPtr&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
    RefPtr& operator=(const RefPtr& o) {
        Assign(o);
        return *this;
    }
    RefPtr& operator=(RefPtr&& o) noexcept {
        if (this != &o) {
            T* old = p_;
            p_ = o.p_;
            o.p_ = nullptr;
            if (old) old->Release();
        }
        return *this;
    }
    ~RefPtr() { Reset(); }

    void Assign(const RefPtr& source) { Assign(source.p_); }
    void Assign(T* p) {
        if (p == p_) return;
        if (p) p->AddRef();
        T* old = p_;
        p_ = p;
        if (old) old->Release();
    }
    void Reset() {
        T* old = p_;
        p_ = nullptr;
        if (old) old->Release();
    }
    // Hands the reference to the caller; the holder becomes empty.
    T* TakePointer() {
        T* p = p_;
        p_ = nullptr;
        return p;
    }
    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    T& operator*() const { return *p_; }
    explicit operator bool() const { return p_ != nullptr; }
    bool operator==(const RefPtr& o) const { return p_ == o.p_; }

private:
    T* p_ = nullptr;
};

template <typename T>
T* TakePointer(RefPtr<T>& holder) {
    return holder.TakePointer();
}

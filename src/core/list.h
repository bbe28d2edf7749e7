// Weak references. A watched object embeds a List (the anchor); a ListIterator registers with
// it, and when the anchor is destroyed every registered iterator's anchor becomes null, which
// is how the holder learns that the object is gone. Iterators detach themselves when destroyed.
#pragma once

class ListIterator;

class List {
public:
    List() { Clear(); }
    ~List() { Init(); }
    List(const List&) = delete;
    List& operator=(const List&) = delete;

    // Empties the anchor (at construction).
    void Clear() {
        head_ = nullptr;
        dead_ = false;
    }
    // Marks the anchor dead and clears every watching reference (at destruction).
    void Init();
    bool IsDead() const { return dead_; }
    bool HasWatchers() const { return head_ != nullptr; }

private:
    friend class ListIterator;
    ListIterator* head_ = nullptr;
    bool dead_ = false;
};

class ListIterator {
public:
    ListIterator() = default;
    ~ListIterator() { Detach(); }
    ListIterator(const ListIterator&) = delete;
    ListIterator& operator=(const ListIterator&) = delete;

    // Detaches, then registers with anchor; a null or dead anchor leaves the reference empty.
    void Attach(List* anchor);
    void Detach();
    // The anchor, or null once it has been destroyed.
    List* Anchor() const { return anchor_; }
    bool IsAlive() const { return anchor_ != nullptr; }

private:
    friend class List;
    ListIterator* prev_ = nullptr;
    ListIterator* next_ = nullptr;
    List* anchor_ = nullptr;
};

// A pointer that reads null once its object (which embeds the anchor) is destroyed.
template <typename T>
class WeakPtr {
public:
    WeakPtr() = default;
    void Set(T* object, List* anchor) {
        link_.Attach(object ? anchor : nullptr);
        object_ = link_.IsAlive() ? object : nullptr;
    }
    void Reset() { Set(nullptr, nullptr); }
    T* Get() const { return link_.IsAlive() ? object_ : nullptr; }

private:
    T* object_ = nullptr;
    ListIterator link_;
};

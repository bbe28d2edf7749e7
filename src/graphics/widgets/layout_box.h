// A row or a column of layout entries with a fixed spacing and margin, each aligned on the cross
// axis; boxes nest. Measure before Place: entries are placed with the sizes last measured.
#pragma once

#include <cstdint>
#include <memory>

#include "core/geometry.h"

class LayoutEntry {
public:
    virtual ~LayoutEntry() = default;
    virtual Point* GetPosition() = 0;
    virtual void Measure() = 0;
    virtual Size* GetSize() = 0;
    virtual void Place(Point p) = 0;
};

// A rectangle owned by an element: its position and size are the rectangle's.
class LayoutItem : public LayoutEntry {
public:
    explicit LayoutItem(Rect* rect) : rect_(rect) {}
    Point* GetPosition() override;
    void Measure() override {}
    Size* GetSize() override;
    void Place(Point p) override;

private:
    Rect* rect_;
    Point position_{};
    Size size_{};
};

class LayoutBox : public LayoutEntry {
public:
    // Cross-axis alignment; other values keep the previous entry's cross coordinate.
    static constexpr uint32_t kCentre = 0, kStart = 1, kEnd = 2;

    LayoutBox(int32_t margin, int32_t spacing, bool vertical);
    ~LayoutBox() override;
    LayoutBox(const LayoutBox&) = delete;
    LayoutBox& operator=(const LayoutBox&) = delete;

    // False when memory runs out. The box does not own the entry.
    bool Add(LayoutEntry* entry, uint32_t alignment);
    Point* GetPosition() override { return &position_; }
    void Measure() override;
    Size* GetSize() override { return &size_; }
    void Place(Point p) override;

private:
    struct ListNode {
        LayoutEntry* entry;
        uint32_t alignment;
        std::unique_ptr<ListNode> next;
    };
    std::unique_ptr<ListNode> head_;
    ListNode* tail_ = nullptr;
    bool vertical_;
    int32_t spacing_;
    int32_t margin_;
    Point position_{};
    Size size_{};
};

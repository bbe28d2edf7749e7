#include "graphics/widgets/layout_box.h"

#include <algorithm>
#include <new>

Point* LayoutItem::GetPosition() {
    position_ = Point{rect_->x, rect_->y};
    return &position_;
}

Size* LayoutItem::GetSize() {
    size_ = Size{rect_->width, rect_->height};
    return &size_;
}

void LayoutItem::Place(Point p) {
    rect_->x = p.x;
    rect_->y = p.y;
}

LayoutBox::LayoutBox(int32_t margin, int32_t spacing, bool vertical)
    : vertical_(vertical), spacing_(spacing), margin_(margin) {}

LayoutBox::~LayoutBox() = default;

bool LayoutBox::Add(LayoutEntry* entry, uint32_t alignment) {
    std::unique_ptr<ListNode> node(new (std::nothrow) ListNode{entry, alignment, nullptr});
    if (!node) return false;
    ListNode* added = node.get();
    (tail_ ? tail_->next : head_) = std::move(node);
    tail_ = added;
    return true;
}

void LayoutBox::Measure() {
    // From zero each time: panels measure again on every text change.
    int32_t along = 0, across = 0;
    for (ListNode* n = head_.get(); n; n = n->next.get()) {
        n->entry->Measure();
        Size s = *n->entry->GetSize();
        along += (vertical_ ? s.height : s.width) + spacing_;
        across = std::max(across, vertical_ ? s.width : s.height);
    }
    across += 2 * margin_;
    along = head_ ? along + 2 * margin_ - spacing_ : 2 * margin_;
    along = std::max(along, 0);
    across = std::max(across, 0);
    size_ = vertical_ ? Size{across, along} : Size{along, across};
}

void LayoutBox::Place(Point p) {
    position_ = p;
    const int32_t boxAcross = vertical_ ? size_.width : size_.height;
    const int32_t start = vertical_ ? p.x : p.y;
    int32_t cursor = (vertical_ ? p.y : p.x) + margin_;
    // An entry without an alignment of its own follows the previous one; the first starts.
    int32_t cross = start + margin_;
    for (ListNode* n = head_.get(); n; n = n->next.get()) {
        Size s = *n->entry->GetSize();
        int32_t along = vertical_ ? s.height : s.width;
        int32_t entryAcross = vertical_ ? s.width : s.height;
        switch (n->alignment) {
            case kCentre: cross = start + (boxAcross - entryAcross) / 2; break;
            case kStart: cross = start + margin_; break;
            case kEnd: cross = start + boxAcross - entryAcross - margin_; break;
            default: break;
        }
        n->entry->Place(vertical_ ? Point{cross, cursor} : Point{cursor, cross});
        cursor += along + spacing_;
    }
}

#include "core/list.h"

void List::Init() {
    ListIterator* it = head_;
    while (it) {
        ListIterator* next = it->next_;
        it->prev_ = it->next_ = nullptr;
        it->anchor_ = nullptr;
        it = next;
    }
    head_ = nullptr;
    dead_ = true;
}

void ListIterator::Attach(List* anchor) {
    Detach();
    if (!anchor || anchor->dead_) return;
    anchor_ = anchor;
    prev_ = nullptr;
    next_ = anchor->head_;
    if (next_) next_->prev_ = this;
    anchor->head_ = this;
}

void ListIterator::Detach() {
    if (!anchor_) return;
    if (prev_)
        prev_->next_ = next_;
    else
        anchor_->head_ = next_;
    if (next_) next_->prev_ = prev_;
    prev_ = next_ = nullptr;
    anchor_ = nullptr;
}

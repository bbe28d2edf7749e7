// Counting pages: a text short enough to lay out whole in about a second is paged from its first
// page once, when a number is first needed or a little after each paint, so that Go to page, End,
// the count and the numbers shown agree with paging forward.

#include "layout/paginator.h"

#include <algorithm>

#include "layout/page_layout.h"

bool Paginator::Countable() {
    if (!firstKnown_ && !layout_.LayoutFirstPage()) return false;
    const uint32_t length = layout_.TextLength();
    return length > first_.start && length - first_.start <= countLimit_ &&
           LowestPageStart(length) <= first_.start;
}

bool Paginator::CountPages(int32_t most) {
    if (countDone_) return true;
    if (countFailed_) return false;
    // Asked after every paint: a text that cannot be counted is not asked about again until
    // the settings change (which forgets the count).
    if (!Countable()) {
        countFailed_ = true;
        return false;
    }
    if (counted_.empty() && lastStart_ == first_.start && lastNumber_ == 1) {
        // One page, laid out already.
        counted_.push_back({first_.start, 1, std::max<uint32_t>(1, first_.steps)});
        countDone_ = true;
        return true;
    }
    if (counted_.empty()) {
        count_.Reset();
        count_.used = count_.CopyFrom(first_);
        if (!count_.used) {
            countFailed_ = true;
            return false;
        }
        countNumber_ = 1;
    }
    for (int32_t n = 0; n < most; ++n) {
        PageSlot aside;
        PageRecord next;
        bool more = false;
        count_.stopAt = kNone;
        const bool ok = LayOutAside(count_, aside, next, more);
        aside.record = nullptr;
        if (!ok) {
            countFailed_ = true;
            return false;
        }
        const uint32_t steps = std::max<uint32_t>(1, count_.steps);
        counted_.push_back({count_.start, countNumber_, steps});
        if (!more || next.start <= count_.start) {
            countDone_ = true;
            lastNumber_ = countNumber_;
            lastStart_ = count_.start;
            lastSteps_ = steps;
            count_.Reset();
            return true;
        }
        NotePage(count_.start, next.start, false);
        countNumber_ += steps;
        count_.Reset();
        count_.MoveFrom(next);
        count_.used = true;
    }
    return false;
}

const Paginator::CountedPage* Paginator::CountedHolding(uint32_t position) const {
    if (!countDone_ || counted_.empty()) return nullptr;
    auto at = std::upper_bound(counted_.begin(), counted_.end(), position,
                               [](uint32_t p, const CountedPage& c) { return p < c.start; });
    return at == counted_.begin() ? &counted_.front() : &*std::prev(at);
}

const Paginator::CountedPage* Paginator::CountedPageNumbered(uint32_t n) const {
    if (!countDone_ || counted_.empty()) return nullptr;
    auto at = std::upper_bound(counted_.begin(), counted_.end(), n,
                               [](uint32_t k, const CountedPage& c) { return k < c.number; });
    return at == counted_.begin() ? &counted_.front() : &*std::prev(at);
}

uint32_t Paginator::CountedNumber(uint32_t start) const {
    const CountedPage* c = CountedHolding(start);
    if (!c) return kNone;
    // A page starting inside a page paging forward shows comes after it.
    return c->start == start ? c->number : c->number + c->steps;
}

void Paginator::ForgetCount() {
    counted_.clear();
    count_.Reset();
    countNumber_ = 1;
    countDone_ = false;
    countFailed_ = false;
}

// What every page of a layout fuzz target promises: laid out page after page from the first, each
// page but the last ends strictly after it starts and where the next one starts, the block
// contents stay consistent, and the text ends within `maxPages` pages (a page that made no
// progress would go on for ever). A layout that fails is a clear failure, not a fault.
#pragma once

#include <cstddef>
#include <memory>

#include "layout/page_layout.h"

inline void WalkEveryPage(PageLayout& layout, size_t maxPages) {
    auto current = std::make_unique<PageRecord>();
    for (size_t page = 0; page < maxPages; ++page) {
        PageSlot slot;
        slot.record = current.get();
        auto next = std::make_unique<PageRecord>();
        bool more = false;
        if (!layout.LayoutIntoSlot(slot, *next, more, false)) return;
        if (!slot.contents.CheckInvariants()) __builtin_trap();
        if (!more) return;
        if (current->end <= current->start || next->start != current->end) __builtin_trap();
        current = std::move(next);
    }
    __builtin_trap();
}

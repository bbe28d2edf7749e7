#include "document_upper/forms/focus_order.h"

#include <algorithm>
#include <new>
#include <vector>

namespace {

struct FocusKeys {
    int32_t first;
    int32_t second;
};

FocusKeys KeysOf(const Area& area, int32_t index) {
    auto* ordered = dynamic_cast<FocusOrderedLink*>(area.secondLink.Get());
    uint32_t a = 0, b = 0;
    if (ordered && ordered->GetOrderKeys(a, b))
        return {static_cast<int32_t>(a), static_cast<int32_t>(b)};
    return {0, index};
}

int Compare(FocusKeys a, FocusKeys b) {
    if (a.first != b.first) return a.first < b.first ? -1 : 1;
    if (a.second != b.second) return a.second < b.second ? -1 : 1;
    return 0;
}

}  // namespace

int CompareFocusAreas(const Area& a, int32_t indexA, const Area& b, int32_t indexB) {
    return Compare(KeysOf(a, indexA), KeysOf(b, indexB));
}

bool SortFocusAreas(AreaArray& areas) {
    int32_t n = areas.Count();
    std::vector<FocusKeys> keys;
    std::vector<int32_t> order;
    try {
        keys.resize(static_cast<size_t>(n));
        order.resize(static_cast<size_t>(n));
    } catch (const std::bad_alloc&) {
        return false;
    }
    for (int32_t i = 0; i < n; ++i) {
        keys[static_cast<size_t>(i)] = KeysOf(*areas.At(i), i);
        order[static_cast<size_t>(i)] = i;
    }
    // Stable: a page of many links already in order costs n log n, and ties keep their place.
    std::stable_sort(order.begin(), order.end(), [&](int32_t x, int32_t y) {
        return Compare(keys[static_cast<size_t>(x)], keys[static_cast<size_t>(y)]) < 0;
    });
    bool same = true;
    for (int32_t i = 0; i < n && same; ++i) same = order[static_cast<size_t>(i)] == i;
    if (same) return true;
    AreaArray sorted;
    if (!sorted.Reserve(n)) return false;
    for (int32_t i = 0; i < n; ++i) {
        Area* from = areas.At(order[static_cast<size_t>(i)]);
        Area* to = sorted.At(i);
        to->MoveFrom(*from);
        to->bounds = from->bounds;
    }
    for (int32_t i = 0; i < n; ++i) {
        Area* to = areas.At(i);
        to->MoveFrom(*sorted.At(i));
        to->bounds = sorted.At(i)->bounds;
    }
    return true;
}

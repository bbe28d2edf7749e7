// The order in which the focus moves among a page's areas: form controls by their form's and
// their own script handles, other areas where they are.
#pragma once

#include <cstdint>

#include "graphics/widgets/area.h"

// An area's second link that knows its place in the focus order (the page layout's link to a
// form control answers the control's script handles).
class FocusOrderedLink : public AreaLinkValue {
public:
    virtual bool GetOrderKeys(uint32_t& first, uint32_t& second) = 0;
};

// Compares the keys as signed numbers, the first key first; an area whose second link gives no
// keys has (0, its index).
int CompareFocusAreas(const Area& a, int32_t indexA, const Area& b, int32_t indexB);

// Sorts the areas (stable: equal keys keep their order), rebuilding the array only when the
// order changes. False, with the array untouched, when memory runs out.
bool SortFocusAreas(AreaArray& areas);

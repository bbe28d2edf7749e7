// The steps from one page to another, as the navigation operations take them.
#pragma once

#include <cstdint>

// Forward steps lay pages out from the page they start at; backward ones find a page that
// ends at or before the current start. A step's value is also the link step a page record
// keeps (1 or 2; the first page keeps the negative of the step back to the page after it).
enum class PageStepCode : int32_t {
    // Three backward searches in a row (a screen up).
    kThreePagesBefore = -3,
    // The page that ends exactly where the current one starts (the previous page).
    kPageEndingHere = -2,
    // The page before, found by paging forward from a known page (a line up).
    kPageBefore = -1,
    kSamePage = 0,
    // A scratch layout: the page that follows keeps the page number (a line down).
    kSingleStep = 1,
    // The following page, laid out into a slot and stored (the next page).
    kNextPage = 2,
    // Three single steps in a row (a screen down).
    kThreeSingleSteps = 3,
};

// Steps are signed: this is the sign and size the records' links compare against.
constexpr int32_t StepValue(PageStepCode step) {
    return static_cast<int32_t>(step);
}
constexpr bool IsForwardStep(PageStepCode step) {
    return StepValue(step) > 0;
}
constexpr bool IsBackwardStep(PageStepCode step) {
    return StepValue(step) < 0;
}
// One of the codes above (a number from a command or a script may be none of them).
constexpr bool IsKnownStep(PageStepCode step) {
    return StepValue(step) >= StepValue(PageStepCode::kThreePagesBefore) &&
           StepValue(step) <= StepValue(PageStepCode::kThreeSingleSteps);
}
// A step code from a number given by a command or a script; unknown values stay unknown
// (moves refuse them).
constexpr PageStepCode StepFromValue(int32_t value) {
    return static_cast<PageStepCode>(value);
}

// The other arguments of a step: the mark the page reached takes (an index among its marks, or
// kNoPageMark), and for a step onto a line, how far below the viewport's top (in pixels) that
// line starts at least.
using PageMarkIndex = uint32_t;
using ViewOffset = int32_t;

// The mark argument of a move that leaves the page reached with no current mark.
inline constexpr PageMarkIndex kNoPageMark = 255;

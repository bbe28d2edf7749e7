// What a person or a book asks of the page, as one move: the step, the mark the page reached
// takes, and whether a table taller than its view is paged through first. Every way of asking
// (the page keys, the link-focus keys past the page, commands 66-69, a book's relative page
// step, the auto-scroll) finds its step here, so that one rule decides where each goes.
#pragma once

#include <cstdint>

#include "layout/page_step.h"

enum class MoveKind : uint8_t {
    // A page on or back: PageDown and PageUp, commands 66 and 67.
    kNextPage,
    kPreviousPage,
    // A line (one layout page when two columns show a screen each), a screen of three lines.
    kLineDown,
    kLineUp,
    kScreenDown,
    kScreenUp,
    // The link focus leaving the page: a page on or back, a line on or back.
    kFocusNext,
    kFocusPrevious,
    kFocusNextLine,
    kFocusPreviousLine,
    // A book's relative page step: on when the count is above 0, else back.
    kBookStep,
    // The auto-scroll's step, its value a step code.
    kScroll,
};

struct MoveRequest {
    MoveKind kind = MoveKind::kNextPage;
    // The count of kBookStep, the step code of kScroll.
    int32_t value = 0;
    // Two columns show; a line is then a whole page.
    bool twoColumns = false;
    // The page shown ends with a forced page break.
    bool endsWithPageBreak = false;
};

struct PageMove {
    PageStepCode step = PageStepCode::kSamePage;
    PageMarkIndex mark = kNoPageMark;
    // A table taller than its view is paged through before the page turns.
    bool throughTables = false;
};

// A line down onto the page after a forced page break makes its first mark current.
inline constexpr PageMarkIndex kMarkAfterPageBreak = 1;

PageMove PageMoveFor(const MoveRequest& request);

// The move a key code of the page asks for (11-16, the link-focus codes 1035-1038); false for
// any other code.
bool MoveKindForKey(uint32_t code, MoveKind& kind);
// The move a view command asks for (66-69); false for any other command.
bool MoveKindForCommand(uint32_t command, MoveKind& kind);

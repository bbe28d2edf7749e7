#include "layout/page_moves.h"

#include "graphics/core/command_ids.h"
#include "graphics/core/input_event.h"

PageMove PageMoveFor(const MoveRequest& r) {
    const bool two = r.twoColumns;
    switch (r.kind) {
        case MoveKind::kNextPage:
            return {PageStepCode::kNextPage, kNoPageMark, true};
        case MoveKind::kPreviousPage:
            return {PageStepCode::kPageEndingHere, kNoPageMark, true};
        case MoveKind::kLineDown:
            if (two) return {PageStepCode::kNextPage, kNoPageMark, false};
            // After a forced break the next page starts anew: its first mark takes the focus.
            if (r.endsWithPageBreak) return {PageStepCode::kNextPage, kMarkAfterPageBreak, false};
            return {PageStepCode::kSingleStep, kNoPageMark, false};
        case MoveKind::kLineUp:
            return {two ? PageStepCode::kPageEndingHere : PageStepCode::kPageBefore, kNoPageMark,
                    false};
        case MoveKind::kScreenDown:
            return {two ? PageStepCode::kNextPage : PageStepCode::kThreeSingleSteps, kNoPageMark,
                    true};
        case MoveKind::kScreenUp:
            return {two ? PageStepCode::kPageEndingHere : PageStepCode::kThreePagesBefore,
                    kNoPageMark, true};
        case MoveKind::kFocusNext:
            return {PageStepCode::kNextPage, kNoPageMark, false};
        case MoveKind::kFocusPrevious:
            return {PageStepCode::kPageEndingHere, kNoPageMark, false};
        case MoveKind::kFocusNextLine:
            // The focus then goes to the page's first link itself.
            return {r.endsWithPageBreak ? PageStepCode::kNextPage : PageStepCode::kSingleStep,
                    kNoPageMark, false};
        case MoveKind::kFocusPreviousLine:
            return {PageStepCode::kPageBefore, kNoPageMark, false};
        case MoveKind::kBookStep:
            // Zero steps back as well: only a positive count goes forward.
            return {r.value > 0 ? PageStepCode::kNextPage : PageStepCode::kPageEndingHere,
                    kNoPageMark, false};
        case MoveKind::kScroll:
            return {StepFromValue(r.value), kNoPageMark, false};
    }
    return {};
}

bool MoveKindForKey(uint32_t code, MoveKind& kind) {
    switch (code) {
        case kKeyPageDown: kind = MoveKind::kNextPage; return true;
        case kKeyPageUp: kind = MoveKind::kPreviousPage; return true;
        case kKeyLineDown: kind = MoveKind::kLineDown; return true;
        case kKeyLineUp: kind = MoveKind::kLineUp; return true;
        case kKeyScreenDown: kind = MoveKind::kScreenDown; return true;
        case kKeyScreenUp: kind = MoveKind::kScreenUp; return true;
        case kKeyFocusNext: kind = MoveKind::kFocusNext; return true;
        case kKeyFocusPrevious: kind = MoveKind::kFocusPrevious; return true;
        case kKeyFocusNextLine: kind = MoveKind::kFocusNextLine; return true;
        case kKeyFocusPreviousLine: kind = MoveKind::kFocusPreviousLine; return true;
        default: return false;
    }
}

bool MoveKindForCommand(uint32_t command, MoveKind& kind) {
    switch (command) {
        case Cmd::kNextPage: kind = MoveKind::kNextPage; return true;
        case Cmd::kPreviousPage: kind = MoveKind::kPreviousPage; return true;
        case Cmd::kScrollForward: kind = MoveKind::kLineDown; return true;
        case Cmd::kScrollBack: kind = MoveKind::kLineUp; return true;
        default: return false;
    }
}

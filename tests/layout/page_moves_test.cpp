// One rule from what was asked (a key, a command, a book's step, the auto-scroll) to the page's
// step: every way of asking the same move gets the same step, and the context changes only what
// it should.
#include "layout/page_moves.h"

#include <gtest/gtest.h>

#include "graphics/core/command_ids.h"
#include "graphics/core/input_event.h"

namespace {

constexpr MoveKind kAll[] = {
    MoveKind::kNextPage,     MoveKind::kPreviousPage,     MoveKind::kLineDown,
    MoveKind::kLineUp,       MoveKind::kScreenDown,       MoveKind::kScreenUp,
    MoveKind::kFocusNext,    MoveKind::kFocusPrevious,    MoveKind::kFocusNextLine,
    MoveKind::kFocusPreviousLine,
};

MoveKind ForKey(uint32_t code) {
    MoveKind kind = MoveKind::kScroll;
    EXPECT_TRUE(MoveKindForKey(code, kind)) << code;
    return kind;
}

MoveKind ForCommand(uint32_t command) {
    MoveKind kind = MoveKind::kScroll;
    EXPECT_TRUE(MoveKindForCommand(command, kind)) << command;
    return kind;
}

PageMove Move(MoveKind kind, bool two = false, bool pageBreak = false) {
    MoveRequest r{kind};
    r.twoColumns = two;
    r.endsWithPageBreak = pageBreak;
    return PageMoveFor(r);
}

TEST(PageMoves, KeysAndCommandsAskTheSameMoves) {
    EXPECT_EQ(ForKey(kKeyPageDown), ForCommand(Cmd::kNextPage));
    EXPECT_EQ(ForKey(kKeyPageUp), ForCommand(Cmd::kPreviousPage));
    EXPECT_EQ(ForKey(kKeyLineDown), ForCommand(Cmd::kScrollForward));
    EXPECT_EQ(ForKey(kKeyLineUp), ForCommand(Cmd::kScrollBack));
    MoveKind kind;
    EXPECT_FALSE(MoveKindForKey(kKeyHome, kind));
    EXPECT_FALSE(MoveKindForKey(kKeyCommand, kind));
    EXPECT_FALSE(MoveKindForCommand(Cmd::kBack, kind));
}

TEST(PageMoves, EveryMoveGoesItsWayWhateverTheContext) {
    for (MoveKind kind : kAll)
        for (bool two : {false, true})
            for (bool pageBreak : {false, true}) {
                const PageMove m = Move(kind, two, pageBreak);
                ASSERT_TRUE(IsKnownStep(m.step));
                const bool forward = kind == MoveKind::kNextPage || kind == MoveKind::kLineDown ||
                                     kind == MoveKind::kScreenDown ||
                                     kind == MoveKind::kFocusNext ||
                                     kind == MoveKind::kFocusNextLine;
                EXPECT_EQ(IsForwardStep(m.step), forward) << static_cast<int>(kind);
                EXPECT_EQ(IsBackwardStep(m.step), !forward) << static_cast<int>(kind);
            }
}

// Two columns show a screen each: a line or a screen is then a whole page.
TEST(PageMoves, InTwoColumnsLinesAndScreensArePages) {
    for (MoveKind kind : {MoveKind::kLineDown, MoveKind::kScreenDown})
        EXPECT_EQ(Move(kind, true).step, PageStepCode::kNextPage);
    for (MoveKind kind : {MoveKind::kLineUp, MoveKind::kScreenUp})
        EXPECT_EQ(Move(kind, true).step, PageStepCode::kPageEndingHere);
    EXPECT_EQ(Move(MoveKind::kLineDown).step, PageStepCode::kSingleStep);
    EXPECT_EQ(Move(MoveKind::kScreenUp).step, PageStepCode::kThreePagesBefore);
}

// Only a line down in one column past a forced break lands on the next page's first mark; the
// link focus finds its link itself.
TEST(PageMoves, OnlyALineDownPastABreakTakesTheFirstMark) {
    for (MoveKind kind : kAll)
        for (bool two : {false, true}) {
            const bool takes = kind == MoveKind::kLineDown && !two;
            EXPECT_EQ(Move(kind, two, true).mark, takes ? kMarkAfterPageBreak : kNoPageMark);
            EXPECT_EQ(Move(kind, two, false).mark, kNoPageMark);
        }
    EXPECT_EQ(Move(MoveKind::kLineDown, false, true).step, PageStepCode::kNextPage);
    EXPECT_EQ(Move(MoveKind::kFocusNextLine, false, true).step, PageStepCode::kNextPage);
    EXPECT_EQ(Move(MoveKind::kFocusNextLine).step, PageStepCode::kSingleStep);
}

// A table taller than its view is paged through by the page and screen moves only.
TEST(PageMoves, PageAndScreenMovesPageThroughTables) {
    for (MoveKind kind : kAll) {
        const bool tables = kind == MoveKind::kNextPage || kind == MoveKind::kPreviousPage ||
                            kind == MoveKind::kScreenDown || kind == MoveKind::kScreenUp;
        EXPECT_EQ(Move(kind).throughTables, tables) << static_cast<int>(kind);
    }
}

TEST(PageMoves, BooksStepOnOnlyForAPositiveCountAndTheScrollKeepsItsCode) {
    EXPECT_EQ(PageMoveFor({MoveKind::kBookStep, 5}).step, PageStepCode::kNextPage);
    EXPECT_EQ(PageMoveFor({MoveKind::kBookStep, 0}).step, PageStepCode::kPageEndingHere);
    EXPECT_EQ(PageMoveFor({MoveKind::kBookStep, -5}).step, PageStepCode::kPageEndingHere);
    EXPECT_FALSE(PageMoveFor({MoveKind::kBookStep, 5}).throughTables);
    EXPECT_EQ(PageMoveFor({MoveKind::kScroll, -2}).step, PageStepCode::kPageEndingHere);
    // A value from outside that names no step stays unknown: the layout refuses it.
    EXPECT_FALSE(IsKnownStep(PageMoveFor({MoveKind::kScroll, 9}).step));
}

}  // namespace

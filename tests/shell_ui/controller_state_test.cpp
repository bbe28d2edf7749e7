// The bars' and dialogs' answers over a real document controller: page counts, going to a page
// and searching come from the open book's page layout; without a text page they stay empty.
#include <gtest/gtest.h>

#include "document/location/location.h"
#include "layout/page_layout.h"
#include "reader/book_document_controller.h"
#include "reader/reader_command_ids.h"
#include "reader/reader_controller.h"
#include "shell_ui/reader_menu_bars.h"
#include "shell_ui/small_dialogs.h"
#include "support/reader/book_controller_fixture.h"

namespace fvt::test {
namespace {

class ControllerState : public BookControllerTest {};

TEST_F(ControllerState, WithoutABookThereAreNoPagesAndNothingToFind) {
    ControllerDialogState dialogs(&reader);
    ControllerBarState bars(&reader);
    EXPECT_EQ(dialogs.PageCount(), 0);
    EXPECT_FALSE(dialogs.GoToPage(2));
    EXPECT_FALSE(dialogs.GoToPosition(10));
    FindDirection direction = FindDirection::kFirst;
    int64_t start = 0, end = -1, hit = -1;
    EXPECT_FALSE(dialogs.Search(String(u"Paragraph"), false, false, direction, start, end, hit));
    EXPECT_EQ(bars.PageCount(), 0);
    EXPECT_FALSE(bars.IsPageCountKnown());
    EXPECT_FALSE(bars.HasCoverPage());
    bars.GoToLastPage();  // nothing to move
}

// The left key reads "Back" only when the history has a step back; the view's flags, which
// also allow turning the screen, stay set on a text page either way.
TEST_F(ControllerState, BackIsEnabledByTheHistoryNotByTheViewFlags) {
    WriteLinkedBook(device);
    ControllerBarState bars(&reader);
    ASSERT_TRUE(Open(u"\\books\\linked.prc"));
    bool a = false, b = false, c = false;
    reader.GetCommandStates(a, b, c);
    EXPECT_TRUE(a && b && c);
    EXPECT_FALSE(bars.IsCommandEnabled(Cmd::kBack));
    Location there;
    there.CopyFrom(*controller->CurrentLocation());
    ASSERT_TRUE(there.SetPositionAnchor(4000));
    ASSERT_TRUE(controller->NavigateTo(there));
    EXPECT_TRUE(bars.IsCommandEnabled(Cmd::kBack));
    ASSERT_TRUE(controller->HistoryBack(true));
    EXPECT_FALSE(bars.IsCommandEnabled(Cmd::kBack));
    reader.GetCommandStates(a, b, c);
    EXPECT_TRUE(a && b && c);
}

TEST_F(ControllerState, GoToPageMovesTheBookAndRefusesPageZero) {
    ASSERT_TRUE(OpenLongBook());
    ControllerDialogState dialogs(&reader);
    ASSERT_GT(dialogs.PageCount(), 3);
    EXPECT_EQ(dialogs.CurrentPage(), 1);
    EXPECT_TRUE(dialogs.GoToPage(3));
    EXPECT_EQ(dialogs.CurrentPage(), 3);
    EXPECT_FALSE(dialogs.GoToPage(0));
    EXPECT_EQ(dialogs.CurrentPage(), 3);
}

TEST_F(ControllerState, TheBarsLastPageIsKnownOnceReached) {
    ASSERT_TRUE(OpenLongBook());
    ControllerBarState bars(&reader);
    EXPECT_EQ(bars.CurrentPage(), 1);
    EXPECT_FALSE(bars.IsPageCountKnown());
    bars.GoToLastPage();
    EXPECT_TRUE(bars.IsPageCountKnown());
    EXPECT_GT(bars.PageCount(), 3);
    EXPECT_EQ(bars.CurrentPage(), bars.PageCount());
}

TEST_F(ControllerState, TheNavigateMenuOffersTheCoverOnlyOfACoveredBook) {
    ControllerBarState bars(&reader);
    ASSERT_TRUE(OpenLongBook());
    EXPECT_FALSE(bars.HasCoverPage());
    ASSERT_TRUE(controller->ActivateLink(String(u"\\books\\covered.prc")));
    EXPECT_TRUE(bars.HasCoverPage());
}

TEST_F(ControllerState, FindForwardThenBackwardMovesToEachHit) {
    ASSERT_TRUE(OpenLongBook());
    ControllerDialogState dialogs(&reader);
    // Book A's paragraphs start "Paragraph 0" .. "Paragraph 29".
    FindDirection direction = FindDirection::kFirst;
    int64_t start = 0, end = -1, first = -1;
    ASSERT_TRUE(dialogs.Search(String(u"paragraph 2"), false, false, direction, start, end, first));
    EXPECT_EQ(direction, FindDirection::kNext);
    EXPECT_GT(start, first);  // the search goes on after the hit
    int64_t second = -1;
    ASSERT_TRUE(dialogs.Search(String(u"paragraph 2"), false, false, direction, start, end, second));
    EXPECT_GT(second, first);  // "Paragraph 20"
    // Whole words and case count when asked.
    direction = FindDirection::kNext;
    start = second + 1;
    end = -1;
    int64_t none = -1;
    EXPECT_FALSE(dialogs.Search(String(u"Paragraph 2"), true, false, direction, start, end, none));
    direction = FindDirection::kFirst;
    start = 0;
    end = -1;
    EXPECT_FALSE(dialogs.Search(String(u"paragraph 2"), false, true, direction, start, end, none));

    direction = FindDirection::kLast;
    start = 0;
    end = -1;
    int64_t last = -1;
    ASSERT_TRUE(dialogs.Search(String(u"Paragraph 2"), false, true, direction, start, end, last));
    EXPECT_EQ(direction, FindDirection::kPrevious);
    EXPECT_GT(last, second);  // "Paragraph 29"
    EXPECT_EQ(end, last);

    ASSERT_TRUE(dialogs.GoToPosition(second));
    EXPECT_GT(dialogs.CurrentPage(), 1);
    EXPECT_LE(dialogs.PageStart(), second);
    EXPECT_FALSE(dialogs.GoToPosition(-1));
}

}  // namespace
}  // namespace fvt::test

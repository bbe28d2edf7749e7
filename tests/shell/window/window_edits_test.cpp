// Text fields, in-place edits and lists in a real window, worked from the keyboard and the wheel
// as a person works them: X test events into the reader's SDL window under a private Xvfb.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/program_runs.h"
#include "shell/window/window_session.h"
#include "support/platform/temp_device.h"
#include "support/shell/program_launcher.h"

namespace fvt::test {
namespace {

// A page with one text field holding "orig" (at 240x320: its box runs from 21, 80 to 216, 103).
constexpr const char* kFieldPage =
    "<html><body><p>Persistent form</p>"
    "<form name=\"keep\"><p>Name: <input type=\"text\" name=\"who\" size=\"12\" "
    "value=\"orig\"></p></form><p>After the form</p></body></html>";

class WindowEdits : public WindowSessionTest {
protected:
    std::string Readings() const {
        return "pagetext " + Out("page.txt") + "\nlisttext " + Out("list.txt") + "\nlistshown " +
               Out("shown.txt") + "\nshelllog " + Out("log.txt");
    }
    std::vector<std::string> FieldPage() const {
        device_.WriteOutside("form.html", kFieldPage);
        return {device_.OutsidePath("form.html")};
    }
};

// The columns of the field's box that hold ink: its letters (the blinking caret is one column).
int FieldInk(const WindowPicture& p) {
    int n = 0;
    for (int x = 24; x < 212; ++x) {
        bool ink = false;
        for (int y = 83; y < 101 && !ink; ++y) ink = (p.At(x, y) & 0xFF) < 100;
        n += ink;
    }
    return n;
}

// 2. Home and End at the ends of a text field, Left at its start and Right at its end keep the
// field: the letter typed next goes into it, and the reader stays on the page.
TEST_F(WindowEdits, MovesTheCaretCannotMakeKeepTheFieldAndTheLetterTypedGoesThere) {
    WindowSession person(server_, device_, FieldPage(), Readings());
    ASSERT_TRUE(person.Ready()) << person.Why();
    ASSERT_TRUE(person.Tap(200, 91));  // after the text: the caret at its end
    const int orig = FieldInk(person.Picture());
    person.PressOnly("End");
    person.PressOnly("Right");
    person.Type("K");
    const int withK = FieldInk(person.Picture());
    EXPECT_GT(withK, orig + 2) << "the K did not reach the field";
    person.PressOnly("Home");
    person.PressOnly("Left");
    person.Type("1");
    EXPECT_GT(FieldInk(person.Picture()), withK + 2) << "the 1 did not reach the field";
    ASSERT_EQ(person.Finish().status, 0);
    EXPECT_NE(ReadFile(Out("page.txt")).find("After the form"), std::string::npos)
        << "the reader left the page";
    EXPECT_EQ(ReadFile(Out("list.txt")), "");
}

// 5. Escape in a text field takes the keys from the field to the page and stays there, with the
// field as it was; a second Escape leaves the page as Back does.
TEST_F(WindowEdits, EscapeInAFieldGivesTheKeysToThePageAndASecondLeavesIt) {
    WindowSession person(server_, device_, FieldPage(), Readings());
    ASSERT_TRUE(person.Ready()) << person.Why();
    const WindowPicture page = person.Picture();
    ASSERT_TRUE(person.Tap(200, 91));
    ASSERT_TRUE(person.Press("Escape"));
    // The field keeps its text and the input panel has gone: the page looks as before the tap.
    EXPECT_EQ(person.Picture(), page);
    // Typed now, a letter is the page's, not the field's.
    person.PressOnly("x");
    person.Settle();
    EXPECT_EQ(FieldInk(person.Picture()), FieldInk(page));
    ASSERT_TRUE(person.Press("Escape"));
    ASSERT_EQ(person.Finish().status, 0);
    EXPECT_EQ(ReadFile(Out("page.txt")), "");
    EXPECT_NE(ReadFile(Out("list.txt")).find("form"), std::string::npos);
}

}  // namespace
}  // namespace fvt::test

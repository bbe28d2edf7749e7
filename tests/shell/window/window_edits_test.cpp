// Text fields, in-place edits and lists in a real window, worked from the keyboard and the wheel
// as a person works them: X test events into the reader's SDL window under a private Xvfb.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "shell/program_runs.h"
#include "shell/window/window_session.h"
#include "support/bookfiles/book_builder.h"
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

const std::vector<std::string> kBook = {"\\storage\\eBooks\\marked.prc"};

// A book of many pages, with a bookmark on each of its first `marks` pages (made headless, by
// the menu, as a person makes them).
void WriteMarkedBook(const TempDevice& device, int marks) {
    std::string html = "<html><body>";
    for (int i = 0; i < 40; ++i)
        html += "<p>Paragraph " + std::to_string(i) + " " +
                SampleText(160, static_cast<std::uint32_t>(i + 7)) + "</p>";
    html += "</body></html>";
    BookBuilder book;
    book.text.assign(html.begin(), html.end());
    book.fullName = "Marked";
    const Bytes bytes = book.Build();
    device.WriteHost("storage/eBooks/marked.prc", std::string(bytes.begin(), bytes.end()));
    std::string steps = "idle\n";
    for (int i = 0; i < marks; ++i) steps += "menu 40079\nidle\nkey 0x22\nidle\n";
    steps += "key 0x24\nidle\nquit\n";
    ASSERT_EQ(RunSteps(device, kBook, steps).status, 0);
}

// The annotations list from the page's menu (Library, Annotations).
void OpenAnnotations(WindowSession& person) {
    ASSERT_TRUE(person.ChooseFromMenu(2));
}

// The list's menu: Filter by, Modify, Delete.
constexpr int kModify = 2;

// 3. Escape during the rename of a bookmark cancels it: the list stays, the bookmark keeps its
// text.
TEST_F(WindowEdits, EscapeCancelsTheRenameOfABookmarkAndTheListStays) {
    WriteMarkedBook(device_, 1);
    WindowSession person(server_, device_, kBook, Readings());
    ASSERT_TRUE(person.Ready()) << person.Why();
    OpenAnnotations(person);
    const WindowPicture list = person.Picture();
    ASSERT_TRUE(person.ChooseFromMenu(kModify));
    person.Type("Renamed");
    ASSERT_TRUE(person.Press("Escape"));
    EXPECT_EQ(person.Picture(), list);
    ASSERT_EQ(person.Finish().status, 0);
    const std::string rows = ReadFile(Out("list.txt"));
    EXPECT_NE(rows.find("Paragraph 0"), std::string::npos) << rows;
    EXPECT_EQ(rows.find("Renamed"), std::string::npos) << rows;
    EXPECT_EQ(ReadFile(Out("page.txt")), "") << "the list closed";
}

// 4. The rename of the last of many bookmarks shows its edit box above the input panel, with
// the old text selected: what is typed replaces it, and Enter keeps it.
TEST_F(WindowEdits, TheRenameOfALowRowIsAboveTheInputPanelWithItsTextSelected) {
    WriteMarkedBook(device_, 14);
    WindowSession person(server_, device_, kBook, Readings());
    ASSERT_TRUE(person.Ready()) << person.Why();
    OpenAnnotations(person);
    ASSERT_TRUE(person.Press("End"));
    ASSERT_TRUE(person.ChooseFromMenu(kModify));
    const WindowPicture editing = person.Picture();
    person.Type("Zed");
    const WindowPicture typed = person.Picture();
    // The letters typed show, and above the input panel (its keys from y = 212 at 240x320).
    int top = typed.height, bottom = -1;
    for (int y = 0; y < typed.height; ++y)
        for (int x = 0; x < typed.width; ++x)
            if (typed.At(x, y) != editing.At(x, y)) {
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    ASSERT_GE(bottom, 0) << "nothing typed shows";
    EXPECT_LT(bottom, 212) << "typed under the input panel, from " << top;
    ASSERT_TRUE(person.Press("Return"));
    ASSERT_EQ(person.Finish().status, 0);
    const std::vector<std::string> rows = ReadLines(Out("list.txt"));
    ASSERT_EQ(rows.size(), 14u);
    EXPECT_NE(rows.back().find("\tZed"), std::string::npos) << ReadFile(Out("list.txt"));
    EXPECT_EQ(rows.back().find("Paragraph"), std::string::npos) << rows.back();
}

// 9. The Delete key on a selected bookmark asks what Menu > Delete asks; OK deletes it.
TEST_F(WindowEdits, TheDeleteKeyInTheAnnotationsListAsksAndDeletes) {
    WriteMarkedBook(device_, 2);
    WindowSession person(server_, device_, kBook, Readings());
    ASSERT_TRUE(person.Ready()) << person.Why();
    OpenAnnotations(person);
    ASSERT_TRUE(person.Press("Delete"));
    ASSERT_TRUE(person.Press("Tab"));  // from Cancel to OK
    ASSERT_TRUE(person.Press("Return"));
    ASSERT_EQ(person.Finish().status, 0);
    EXPECT_EQ(ReadLines(Out("list.txt")).size(), 1u) << ReadFile(Out("list.txt"));
    const std::string log = ReadFile(Out("log.txt"));
    EXPECT_NE(log.find("=> 1\n", log.find("MessageBox ")), std::string::npos) << log;
}

// 9. So does it on a selected book in the library: Escape keeps the book, OK deletes it.
TEST_F(WindowEdits, TheDeleteKeyInTheLibraryAsksAndDeletes) {
    device_.WriteHost("storage/eBooks/Alpha.txt", "The first book.\n");
    device_.WriteHost("storage/eBooks/Beta.txt", "The second book.\n");
    WindowSession person(server_, device_, {}, Readings());
    ASSERT_TRUE(person.Ready()) << person.Why();
    const WindowPicture library = person.Picture();
    ASSERT_TRUE(person.Press("Delete"));
    ASSERT_TRUE(person.Press("Escape"));
    EXPECT_EQ(person.Picture(), library);
    ASSERT_TRUE(person.Press("Delete"));
    ASSERT_TRUE(person.Press("Tab"));
    ASSERT_TRUE(person.Press("Return"));
    ASSERT_EQ(person.Finish().status, 0);
    const std::string rows = ReadFile(Out("list.txt"));
    EXPECT_EQ(rows.find("Alpha"), std::string::npos) << rows;
    EXPECT_NE(rows.find("Beta"), std::string::npos) << rows;
    EXPECT_FALSE(device_.HostExists("storage/eBooks/Alpha.txt"));
    EXPECT_TRUE(device_.HostExists("storage/eBooks/Beta.txt"));
}

// The library on a device of 300 text books, "Book 001" to "Book 300".
void WriteShelf(const TempDevice& device) {
    for (int i = 1; i <= 300; ++i) {
        std::string number = std::to_string(i);
        number.insert(0, 3 - number.size(), '0');
        device.WriteHost("storage/eBooks/Book " + number + ".txt",
                         "The text of book " + number + ".\n");
    }
}

// 1. The wheel over the library's rows scrolls them, three rows a notch, and the selection stays
// on the first book, now off the screen: no row shown is marked, and no book opens.
TEST_F(WindowEdits, TheWheelOverAListScrollsItThreeRowsANotchAndKeepsTheSelection) {
    WriteShelf(device_);
    WindowSession person(server_, device_, {}, Readings());
    ASSERT_TRUE(person.Ready()) << person.Why();
    person.PointAt(100, 150);
    ASSERT_TRUE(person.Wheel(-1));
    ASSERT_TRUE(person.Wheel(-1));
    ASSERT_TRUE(person.Wheel(-1));
    ASSERT_TRUE(person.Wheel(1));
    ASSERT_EQ(person.Finish().status, 0);
    EXPECT_EQ(ReadFile(Out("page.txt")), "") << "a book was opened";
    const std::vector<std::string> all = ReadLines(Out("list.txt"));
    ASSERT_EQ(all.size(), 300u);
    const std::vector<std::string> shown = ReadLines(Out("shown.txt"));
    ASSERT_GT(shown.size(), 5u);
    EXPECT_EQ(shown.front(), "  " + all[6]) << ReadFile(Out("shown.txt"));
    for (const std::string& row : shown) EXPECT_NE(row.rfind("> ", 0), 0u) << row;
}

// 7. While a message box is open the soft-key bar is the box's: its keys, not the library's, and
// they answer it (the right one Cancel, the left one OK); once the box is gone the library's bar
// is back.
TEST_F(WindowEdits, WhileAMessageBoxIsOpenTheSoftKeysAreTheBoxs) {
    device_.WriteHost("storage/eBooks/Alpha.txt", "The first book.\n");
    device_.WriteHost("storage/eBooks/Beta.txt", "The second book.\n");
    WindowSession person(server_, device_, {}, Readings());
    ASSERT_TRUE(person.Ready()) << person.Why();
    const WindowPicture library = person.Picture();
    // The bar: the screen's last rows.
    auto barDiffers = [&](const WindowPicture& p) {
        for (int y = library.height - 20; y < library.height; ++y)
            for (int x = 0; x < library.width; ++x)
                if (p.At(x, y) != library.At(x, y)) return true;
        return false;
    };
    // Filter by, Reading list, Sort by, eBookstore, Options..., Properties..., Delete.
    ASSERT_TRUE(person.ChooseFromMenu(7));
    EXPECT_TRUE(barDiffers(person.Picture())) << "the bar still reads Read / Menu";
    ASSERT_TRUE(person.Press("F2"));  // Cancel
    EXPECT_EQ(person.Picture(), library);
    ASSERT_TRUE(person.ChooseFromMenu(7));
    ASSERT_TRUE(person.Press("F1"));  // OK
    ASSERT_EQ(person.Finish().status, 0);
    const std::string rows = ReadFile(Out("list.txt"));
    EXPECT_EQ(rows.find("Alpha"), std::string::npos) << rows;
    EXPECT_FALSE(device_.HostExists("storage/eBooks/Alpha.txt"));
    const std::string log = ReadFile(Out("log.txt"));
    EXPECT_NE(log.find("=> 2\n", log.find("MessageBox ")), std::string::npos) << log;
}

}  // namespace
}  // namespace fvt::test

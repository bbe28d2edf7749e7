// The reader in a real window, worked from the keyboard, the pen and the wheel as a person works
// it: X test events into an SDL window under a private Xvfb. What the person did is read from the
// window itself and from what the driver script writes once the person is done (the page's text,
// the list's rows, the shell's log).
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

const std::vector<std::string> kBook = {"\\storage\\eBooks\\paged.prc"};
constexpr const char* kTitle = "The Paged Book";

// Forty paragraphs: many pages of plain text.
void WritePagedBook(const TempDevice& device) {
    std::string html = "<html><body>";
    for (int i = 0; i < 40; ++i)
        html += "<p>Paragraph " + std::to_string(i) + " " +
                SampleText(160, static_cast<std::uint32_t>(i + 3)) + "</p>";
    html += "</body></html>";
    BookBuilder book;
    book.text.assign(html.begin(), html.end());
    book.fullName = kTitle;
    const Bytes bytes = book.Build();
    device.WriteHost("storage/eBooks/paged.prc", std::string(bytes.begin(), bytes.end()));
}

// The text of the page shown after each press of `key` (PageDown unless said), from the first
// page on, as the program lays them out: read headless on a device of its own.
std::vector<std::string> PageTexts(int count, const std::string& key = "0x22") {
    TempDevice device;
    WritePagedBook(device);
    const std::string o = device.outside() + "/";
    std::string steps = "idle\n";
    for (int i = 1; i <= count; ++i) {
        steps += "pagetext " + o + "page" + std::to_string(i) + ".txt\n";
        steps += "key " + key + "\nidle\n";
    }
    steps += "quit\n";
    std::vector<std::string> pages;
    if (RunSteps(device, kBook, steps).status != 0) return pages;
    for (int i = 1; i <= count; ++i)
        pages.push_back(ReadFile(o + "page" + std::to_string(i) + ".txt"));
    return pages;
}

// The page Go to page shows for `number`, headless: the reference the window is held to (here the
// driver fills in the dialog; in the window a person does).
std::string GoToPageText(int number) {
    TempDevice device;
    WritePagedBook(device);
    const std::string o = device.outside() + "/";
    const std::string steps = "idle\ntext " + std::to_string(number) +
                              "\nanswer 0\nmenu 40092\nidle\npagetext " + o + "page.txt\nquit\n";
    if (RunSteps(device, kBook, steps).status != 0) return "(no run)";
    return ReadFile(o + "page.txt");
}

// The steps that read what the person left, run once they are done.
std::string Readings(const TempDevice& device) {
    const std::string o = device.outside() + "/";
    return "pagetext " + o + "page.txt\nlisttext " + o + "list.txt\nshelllog " + o + "log.txt\n" +
           "screenshot " + o + "end.png";
}

struct Box {
    int left = 0, top = 0, right = 0, bottom = 0;  // right and bottom exclusive; empty: all 0
    bool Empty() const { return right <= left || bottom <= top; }
};

// The rectangle that holds every pixel that differs between two pictures.
Box Changed(const WindowPicture& a, const WindowPicture& b) {
    Box box{a.width, a.height, 0, 0};
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x)
            if (a.At(x, y) != b.At(x, y)) {
                box.left = std::min(box.left, x);
                box.top = std::min(box.top, y);
                box.right = std::max(box.right, x + 1);
                box.bottom = std::max(box.bottom, y + 1);
            }
    if (box.right == 0) return Box{};
    return box;
}

bool SameIn(const WindowPicture& a, const WindowPicture& b, const Box& r) {
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            if (a.At(x, y) != b.At(x, y)) return false;
    return true;
}

class WindowKeys : public WindowSessionTest {
protected:
    void SetUp() override {
        WindowSessionTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        WritePagedBook(device_);
    }
};

// Opens the soft-key menu of the page and walks to the Navigate menu's "Page number".
void OpenGoToPage(WindowSession& person) {
    ASSERT_TRUE(person.Press("F2"));
    ASSERT_TRUE(person.Press("Down"));   // Library
    ASSERT_TRUE(person.Press("Down"));   // Annotations
    ASSERT_TRUE(person.Press("Down"));   // Navigate
    ASSERT_TRUE(person.Press("Right"));  // First page
    ASSERT_TRUE(person.Press("Down"));   // Page number
    ASSERT_TRUE(person.Press("Return"));
}

// 1. The menu a person opens takes their keys: Down moves its highlight, Escape closes it, and
// the page under it stays, with nothing of the menu left on it. A dialog takes Escape as Cancel.
TEST_F(WindowKeys, AnOpenMenuOrDialogTakesTheKeysAndEscapeLeavesThePageAsItWas) {
    const std::vector<std::string> pages = PageTexts(1);
    ASSERT_EQ(pages.size(), 1u);
    WindowSession person(server_, device_, kBook, Readings(device_));
    ASSERT_TRUE(person.Ready()) << person.Why();
    const WindowPicture page = person.Picture();
    ASSERT_TRUE(person.Tap(180, 307));  // the bar's right button, with the mouse
    ASSERT_TRUE(person.Press("Down"));
    ASSERT_TRUE(person.Press("Escape"));
    EXPECT_EQ(person.Picture(), page);
    OpenGoToPage(person);
    ASSERT_TRUE(person.Press("Escape"));
    EXPECT_EQ(person.Picture(), page);
    ASSERT_EQ(person.Finish().status, 0);
    EXPECT_EQ(ReadFile(Out("page.txt")), pages[0]);
    EXPECT_EQ(ReadFile(Out("list.txt")), "");
    const std::string log = ReadFile(Out("log.txt"));
    EXPECT_NE(log.find("items => 0"), std::string::npos) << log;
    EXPECT_NE(log.find("=> 0\n", log.find("dialog ")), std::string::npos) << log;
}

// 2. F1 and F2 are the soft keys: F2 opens the page's menu, F1 the left button ("Library"), and
// in the library F2 opens its menu too.
TEST_F(WindowKeys, F1AndF2PressTheSoftKeysOnThePageAndInTheLibrary) {
    WindowSession person(server_, device_, kBook, Readings(device_));
    ASSERT_TRUE(person.Ready()) << person.Why();
    const WindowPicture page = person.Picture();
    ASSERT_TRUE(person.Press("F2"));
    ASSERT_TRUE(person.Press("Escape"));
    EXPECT_EQ(person.Picture(), page);
    ASSERT_TRUE(person.Press("F1"));
    const WindowPicture library = person.Picture();
    ASSERT_TRUE(person.Press("F2"));
    ASSERT_TRUE(person.Press("Escape"));
    EXPECT_EQ(person.Picture(), library);
    ASSERT_EQ(person.Finish().status, 0);
    EXPECT_EQ(ReadFile(Out("page.txt")), "");
    EXPECT_NE(ReadFile(Out("list.txt")).find(kTitle), std::string::npos);
    const std::string log = ReadFile(Out("log.txt"));
    size_t menus = 0;
    for (size_t at = log.find("items => 0"); at != std::string::npos;
         at = log.find("items => 0", at + 1))
        ++menus;
    EXPECT_EQ(menus, 2u) << log;
}

// 3. Escape closes the pop-up a tap on a word opened and stays on the page; where the pop-up was,
// the page shows again.
TEST_F(WindowKeys, EscapeClosesTheTapPopUpAndThePageStays) {
    const std::vector<std::string> pages = PageTexts(1);
    ASSERT_EQ(pages.size(), 1u);
    WindowSession person(server_, device_, kBook, Readings(device_));
    ASSERT_TRUE(person.Ready()) << person.Why();
    const WindowPicture page = person.Picture();
    ASSERT_TRUE(person.Tap(90, 60));  // "page", the second word of the justified line
    const WindowPicture popup = person.Picture();
    const Box menu = Changed(page, popup);
    ASSERT_FALSE(menu.Empty());
    ASSERT_TRUE(person.Press("Escape"));
    // Below the tapped line (its word may stay marked) the page is as it was.
    const Box below{0, 75, page.width, 290};
    EXPECT_TRUE(SameIn(person.Picture(), page, below));
    ASSERT_EQ(person.Finish().status, 0);
    EXPECT_EQ(ReadFile(Out("page.txt")), pages[0]);
    EXPECT_EQ(ReadFile(Out("list.txt")), "");
}

// 4. Go to page opens with its number selected: the digit typed replaces it, and Enter goes
// there.
TEST_F(WindowKeys, GoToPageReplacesTheNumberTypedAndEnterGoesThere) {
    const std::string third = GoToPageText(3);
    WindowSession person(server_, device_, kBook, Readings(device_));
    ASSERT_TRUE(person.Ready()) << person.Why();
    OpenGoToPage(person);
    ASSERT_TRUE(person.Press("3"));
    ASSERT_TRUE(person.Press("Return"));
    ASSERT_EQ(person.Finish().status, 0);
    EXPECT_EQ(ReadFile(Out("page.txt")), third);
    EXPECT_NE(third, GoToPageText(1));
    const std::string log = ReadFile(Out("log.txt"));
    EXPECT_NE(log.find("=> 1\n", log.find("dialog ")), std::string::npos) << log;
}

// Opens Options from the page's menu and the page of the list at `row` with Enter.
void OpenOptionsPage(WindowSession& person, int row) {
    // Library, Annotations, Navigate, Add bookmark, Find..., Options...
    ASSERT_TRUE(person.ChooseFromMenu(6));
    for (int i = 0; i < row; ++i) ASSERT_TRUE(person.Press("Down"));
    ASSERT_TRUE(person.Press("Return"));
}

// 4. Find takes Enter as Find next: the words typed are found and their page shown; Escape is
// its Cancel.
TEST_F(WindowKeys, FindTakesEnterAsFindNext) {
    WindowSession person(server_, device_, kBook, Readings(device_));
    ASSERT_TRUE(person.Ready()) << person.Why();
    ASSERT_TRUE(person.ChooseFromMenu(5));  // Find...
    for (const char* key : {"p", "a", "r", "a", "g", "r", "a", "p", "h", "space", "7"})
        person.PressOnly(key);
    ASSERT_TRUE(person.Press("Return"));
    // Escape cancels Find opened again, and the page found stays.
    const WindowPicture found = person.Picture();
    ASSERT_TRUE(person.ChooseFromMenu(5));
    ASSERT_TRUE(person.Press("Escape"));
    EXPECT_EQ(person.Picture(), found);
    ASSERT_EQ(person.Finish().status, 0);
    EXPECT_NE(ReadFile(Out("page.txt")).find("Paragraph 7"), std::string::npos)
        << ReadFile(Out("page.txt"));
}

// 1. A message box takes Escape: it closes and the page stays as it was.
TEST_F(WindowKeys, AMessageBoxClosesWithEscape) {
    const std::vector<std::string> pages = PageTexts(1);
    ASSERT_EQ(pages.size(), 1u);
    WindowSession person(server_, device_, kBook, Readings(device_));
    ASSERT_TRUE(person.Ready()) << person.Why();
    const WindowPicture page = person.Picture();
    ASSERT_TRUE(person.ChooseFromMenu(2));  // Library, Annotations: the book has none
    ASSERT_TRUE(person.Press("Escape"));
    EXPECT_EQ(person.Picture(), page);
    ASSERT_EQ(person.Finish().status, 0);
    EXPECT_EQ(ReadFile(Out("page.txt")), pages[0]);
    const std::string log = ReadFile(Out("log.txt"));
    EXPECT_NE(log.find("MessageBox "), std::string::npos) << log;
}

// 5. On the Buttons page one press of a hardware button assigns it the selected action; after OK
// the button runs it, and again after a restart.
TEST_F(WindowKeys, AButtonAssignedWithOnePressWorksAfterOkAndAfterARestart) {
    const std::vector<std::string> pages = PageTexts(3);
    ASSERT_EQ(pages.size(), 3u);
    {
        WindowSession person(server_, device_, kBook, Readings(device_));
        ASSERT_TRUE(person.Ready()) << person.Why();
        OpenOptionsPage(person, 4);                                      // Buttons
        for (int i = 0; i < 12; ++i) ASSERT_TRUE(person.Press("Down"));  // "Next"
        ASSERT_TRUE(person.Press("F5"));                                 // Button 1
        ASSERT_TRUE(person.Press("Return"));                             // the page's OK
        ASSERT_TRUE(person.Press("F1"));                                 // the list's OK
        ASSERT_TRUE(person.Press("F5"));
        ASSERT_EQ(person.Finish().status, 0);
        EXPECT_EQ(ReadFile(Out("page.txt")), pages[1]);
    }
    WindowSession again(server_, device_, kBook, Readings(device_));
    ASSERT_TRUE(again.Ready()) << again.Why();
    ASSERT_TRUE(again.Press("F5"));
    ASSERT_EQ(again.Finish().status, 0);
    EXPECT_EQ(ReadFile(Out("page.txt")), pages[2]);
}

// 6. With "Clicking on page turns pages" (set from the keyboard on the General page) a tap on the
// right fifth of the page turns to the next page and one on the left fifth back.
TEST_F(WindowKeys, WithClickingOnPageTurnsPagesATapAtTheEdgeTurnsThePage) {
    const std::vector<std::string> pages = PageTexts(3);
    ASSERT_EQ(pages.size(), 3u);
    WindowSession person(server_, device_, kBook, Readings(device_));
    ASSERT_TRUE(person.Ready()) << person.Why();
    OpenOptionsPage(person, 0);  // General
    person.PressOnly("Tab");     // "Open library at startup"
    person.PressOnly("Tab");     // "Clicking on page turns pages"
    ASSERT_TRUE(person.Press("space"));
    ASSERT_TRUE(person.Press("Return"));  // the page's OK
    ASSERT_TRUE(person.Press("F1"));      // the list's OK
    ASSERT_TRUE(person.Tap(230, 160));
    ASSERT_TRUE(person.Tap(230, 160));
    ASSERT_TRUE(person.Tap(8, 160));
    ASSERT_EQ(person.Finish().status, 0);
    EXPECT_EQ(ReadFile(Out("page.txt")), pages[1]);
}

// 7. A sub-menu that has no room on the right of its menu opens on its left, and neither leaves
// the screen: the menu stays where it was beside it.
TEST_F(WindowKeys, ASubMenuWithoutRoomOnTheRightOpensOnTheLeftOnTheScreen) {
    WindowSession person(server_, device_, kBook, Readings(device_));
    ASSERT_TRUE(person.Ready()) << person.Why();
    const WindowPicture page = person.Picture();
    ASSERT_TRUE(person.Press("F2"));
    // Library, Annotations, Navigate, Add bookmark, Find..., Options..., Display
    for (int i = 0; i < 7; ++i) ASSERT_TRUE(person.Press("Down"));
    const WindowPicture menu = person.Picture();
    const Box root = Changed(page, menu);
    ASSERT_FALSE(root.Empty());
    EXPECT_EQ(root.right, page.width);  // the right button's menu, at the right edge
    ASSERT_TRUE(person.Press("Right"));
    const WindowPicture both = person.Picture();
    const Box sub = Changed(menu, both);
    ASSERT_FALSE(sub.Empty());
    // On the left, as far as the screen lets it (wider than the room there, it covers a part of
    // its menu rather than leave the screen).
    EXPECT_EQ(sub.left, 0);
    EXPECT_LT(sub.right, root.right);
    EXPECT_LE(sub.bottom, page.height);
    // The rest of the menu has not moved or changed beside its sub-menu.
    EXPECT_TRUE(
        SameIn(both, menu, Box{std::max(sub.right, root.left), root.top, root.right, root.bottom}));
    ASSERT_TRUE(person.Press("Escape"));
    ASSERT_TRUE(person.Press("Escape"));
    EXPECT_EQ(person.Picture(), page);
    ASSERT_EQ(person.Finish().status, 0);
}

// 8. In full screen the pop-up of a tap on a word ends with "Back to normal display", which
// brings the bar back; in the library after it the soft keys work ("Read" opens the book).
TEST_F(WindowKeys, FullScreensTapPopUpLeadsBackToNormalDisplayAndTheLibraryKeysWork) {
    WindowSession person(server_, device_, kBook, Readings(device_));
    ASSERT_TRUE(person.Ready()) << person.Why();
    const WindowPicture normal = person.Picture();
    const std::uint32_t bar = normal.At(2, normal.height - 2);
    ASSERT_TRUE(person.Press("F2"));
    for (int i = 0; i < 7; ++i) ASSERT_TRUE(person.Press("Down"));  // Display
    ASSERT_TRUE(person.Press("Right"));                             // Fullscreen
    ASSERT_TRUE(person.Press("Return"));
    EXPECT_NE(person.Picture().At(2, normal.height - 2), bar);
    ASSERT_TRUE(person.Tap(60, 60));
    ASSERT_TRUE(person.Press("Up"));  // from nothing, the last item
    ASSERT_TRUE(person.Press("Return"));
    EXPECT_EQ(person.Picture().At(2, normal.height - 2), bar);
    ASSERT_TRUE(person.Press("F1"));  // Library
    ASSERT_TRUE(person.Press("F1"));  // Read
    ASSERT_EQ(person.Finish().status, 0);
    EXPECT_NE(ReadFile(Out("page.txt")), "");
    EXPECT_EQ(ReadFile(Out("list.txt")), "");
    const std::string log = ReadFile(Out("log.txt"));
    EXPECT_NE(log.find("menu 4 items => 40084"), std::string::npos) << log;
}

// 9. The wheel turns the page as the direction pad does, and the desktop window carries the
// caption of the device's window (the book's title).
TEST_F(WindowKeys, TheWheelTurnsThePageAndTheTitleIsTheBooks) {
    // As the Down key turns them.
    const std::vector<std::string> pages = PageTexts(3, "0x28");
    ASSERT_EQ(pages.size(), 3u);
    WindowSession person(server_, device_, kBook, Readings(device_));
    ASSERT_TRUE(person.Ready()) << person.Why();
    EXPECT_EQ(person.Title().rfind(kTitle, 0), 0u) << person.Title();
    ASSERT_TRUE(person.Wheel(-1));
    ASSERT_TRUE(person.Wheel(-1));
    ASSERT_TRUE(person.Wheel(1));
    ASSERT_EQ(person.Finish().status, 0);
    EXPECT_EQ(ReadFile(Out("page.txt")), pages[1]);
}

}  // namespace
}  // namespace fvt::test

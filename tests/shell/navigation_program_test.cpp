// Moving through a book as a person does, in the program itself: links inside a document, Back
// and Forward, keys after dialogs, full screen, rotation, the position bar and Find. Each test
// drives the real program headless on a fixture device and reads the page text, the screen or
// the files it wrote.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "bookfiles/book_document.h"
#include "shell/program_runs.h"
#include "support/bookfiles/book_builder.h"
#include "support/platform/temp_device.h"

namespace fvt::test {
namespace {

const std::vector<std::string> kEnglish;

// Chapters of a few paragraphs each; `heading(i)` is the markup of chapter i's heading.
template <typename Heading>
std::string Chapters(int count, Heading heading) {
    std::string html;
    for (int i = 1; i <= count; ++i) {
        html += heading(i);
        for (int j = 0; j < 3; ++j)
            html += "<p>Para " + std::to_string(i) + "." + std::to_string(j) + " " +
                    SampleText(200, static_cast<std::uint32_t>(i * 10 + j)) + "</p>";
    }
    return html;
}

// Three one-line links at the top of the first page: taps at these heights reach them.
constexpr int kLinkRows[] = {44, 68, 92};

std::string Tap(int row) { return "tap 60 " + std::to_string(kLinkRows[row]) + "\nidle\n"; }

// An HTML file whose contents link to an ID, to a NAME and to a name found nowhere.
void WriteContentsFile(const TempDevice& device) {
    std::string html =
        "<html><body><p><a href=\"#c3\">Chapter three</a></p>"
        "<p><a href=\"#c9\">Chapter nine</a></p><p><a href=\"#nowhere\">Lost</a></p>";
    html += Chapters(11, [](int i) {
        const std::string n = std::to_string(i);
        return i == 9 ? "<h2><a name=\"c9\">Chapter 9</a></h2>"
                      : "<h2 id=\"c" + n + "\">Chapter " + n + "</h2>";
    });
    device.WriteHost("storage/eBooks/contents.htm", html + "</body></html>");
}

TEST(InDocumentLinks, ContentsLinksMoveToTheirTargetAndBackReturns) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    WriteContentsFile(device);
    const std::string o = device.outside() + "/";
    const std::string steps = "idle\npagetext " + o + "first.txt\n" + Tap(0) + "pagetext " + o +
                              "three.txt\nsoftkey 1\nidle\npagetext " + o + "back.txt\n" +
                              Tap(1) + "pagetext " + o + "nine.txt\nkey 0x22\nidle\nsoftkey 1\n"
                              "idle\npagetext " + o + "back2.txt\nquit\n";
    ASSERT_EQ(RunScript(device, {"\\storage\\eBooks\\contents.htm"}, steps), 0)
        << ReadFile(o + "errors.txt");
    const auto first = ReadLines(o + "first.txt");
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(first[0], "Chapter three");
    ASSERT_FALSE(ReadLines(o + "three.txt").empty());
    EXPECT_EQ(ReadLines(o + "three.txt")[0], "Chapter 3");
    EXPECT_EQ(Joined(ReadLines(o + "back.txt")), Joined(first));
    ASSERT_FALSE(ReadLines(o + "nine.txt").empty());
    EXPECT_EQ(ReadLines(o + "nine.txt")[0], "Chapter 9");
    // Back returns to where the link was followed, not to the page turned to after it.
    EXPECT_EQ(Joined(ReadLines(o + "back2.txt")), Joined(first));
}

// A name found nowhere leaves the page as it was and records no step: Back then has nothing
// but the library to go to.
TEST(InDocumentLinks, ANameFoundNowhereLeavesThePageAndTheHistoryAlone) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    WriteContentsFile(device);
    const std::string o = device.outside() + "/";
    const std::string steps = "idle\npagetext " + o + "first.txt\n" + Tap(2) + "pagetext " + o +
                              "lost.txt\nsoftkey 1\nidle\npagetext " + o + "back.txt\nquit\n";
    ASSERT_EQ(RunScript(device, {"\\storage\\eBooks\\contents.htm"}, steps), 0);
    const auto first = ReadLines(o + "first.txt");
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(Joined(ReadLines(o + "lost.txt")), Joined(first));
    EXPECT_TRUE(ReadLines(o + "back.txt").empty());  // the library
}

// In a markup book, a link reaches an ID of its text and a target record of the book.
TEST(InDocumentLinks, ABooksLinksReachItsIdsAndItsTargetRecords) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    std::string html =
        "<html><body><p><a href=\"#c4\">Fourth</a></p><p><a href=\"#sixth\">Sixth</a></p>";
    html += Chapters(8, [](int i) {
        const std::string n = std::to_string(i);
        return "<h2 id=\"c" + n + "\">Chapter " + n + "</h2>";
    });
    html += "</body></html>";
    BookBuilder book;
    book.text.assign(html.begin(), html.end());
    book.fullName = "Chapters";
    BookTargetSpec sixth;
    sixth.kind = BookDocument::kTargetGuide;
    sixth.name = "sixth";
    sixth.position = static_cast<std::int32_t>(html.find("<h2 id=\"c6\">"));
    book.targets = {sixth};
    const Bytes bytes = book.Build();
    device.WriteHost("storage/eBooks/chapters.prc", std::string(bytes.begin(), bytes.end()));
    const std::string o = device.outside() + "/";
    const std::string steps = "idle\n" + Tap(0) + "pagetext " + o + "four.txt\nsoftkey 1\nidle\n" +
                              Tap(1) + "pagetext " + o + "six.txt\nquit\n";
    ASSERT_EQ(RunScript(device, {"\\storage\\eBooks\\chapters.prc"}, steps), 0);
    ASSERT_FALSE(ReadLines(o + "four.txt").empty());
    EXPECT_EQ(ReadLines(o + "four.txt")[0], "Chapter 4");
    ASSERT_FALSE(ReadLines(o + "six.txt").empty());
    EXPECT_EQ(ReadLines(o + "six.txt")[0], "Chapter 6");
}

// A book of several pages in the books folder.
void WriteBook(const TempDevice& device, const std::string& name, int chapters = 8) {
    std::string html = "<html><body>";
    html += Chapters(chapters, [](int i) { return "<h2>Chapter " + std::to_string(i) + "</h2>"; });
    html += "</body></html>";
    BookBuilder book;
    book.text.assign(html.begin(), html.end());
    book.fullName = name;
    const Bytes bytes = book.Build();
    device.WriteHost("storage/eBooks/" + name + ".prc", std::string(bytes.begin(), bytes.end()));
}

// After each box, dialog and sheet closes, the keys reach the page again: PageDown turns it.
TEST(KeysAfterDialogs, PageDownTurnsThePageAfterEveryBoxAndDialog) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    WriteBook(device, "Keys");
    const std::string o = device.outside() + "/";
    // Go to page (cancelled), the "no annotation" box, the options sheet (cancelled).
    const std::string opens[] = {"menu 40092", "menu 40076", "menu 40041"};
    std::string steps = "idle\n";
    for (int i = 0; i < 3; ++i) {
        const std::string n = std::to_string(i);
        steps += "pagetext " + o + "before" + n + ".txt\n" + opens[i] + "\nidle\nkey 0x22\nidle\n" +
                 "pagetext " + o + "after" + n + ".txt\n";
    }
    ASSERT_EQ(RunScript(device, {"\\storage\\eBooks\\Keys.prc"}, steps + "quit\n"), 0)
        << ReadFile(o + "errors.txt");
    for (int i = 0; i < 3; ++i) {
        const std::string n = std::to_string(i);
        const auto before = ReadLines(o + "before" + n + ".txt");
        ASSERT_FALSE(before.empty()) << opens[i];
        EXPECT_NE(Joined(ReadLines(o + "after" + n + ".txt")), Joined(before)) << opens[i];
    }
}

// In the library, after the delete box is cancelled, Down and Enter open the second book.
TEST(KeysAfterDialogs, TheLibraryTakesKeysAfterItsDeleteBox) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    WriteBook(device, "Alpha", 2);
    WriteBook(device, "Beta", 2);
    ASSERT_EQ(RunScript(device, {}, "idle\nmenu 40023\nidle\nkey 0x28\nidle\nkey 0x0d\nidle\nquit\n"),
              0)
        << ReadFile(device.outside() + "/errors.txt");
    EXPECT_TRUE(device.HostExists("storage/eBooks/Alpha.prc"));
    EXPECT_TRUE(device.HostExists("storage/eBooks/Beta.fvt"));
}

// The page keys: PageDown and PageUp turn a page, Home goes to the first page, End to the last.
TEST(PageKeys, PageUpPageDownHomeAndEnd) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    WriteBook(device, "Pages");
    const std::string o = device.outside() + "/";
    auto text = [&](const std::string& name) { return "pagetext " + o + name + ".txt\n"; };
    const std::string steps = "idle\n" + text("p1") + "key 0x22\nidle\n" + text("p2") +
                              "key 0x22\nidle\nkey 0x21\nidle\n" + text("back") +
                              "key 0x23\nidle\n" + text("end") + "key 0x22\nidle\n" + text("past") +
                              "key 0x24\nidle\n" +
                              text("home") + "quit\n";
    ASSERT_EQ(RunScript(device, {"\\storage\\eBooks\\Pages.prc"}, steps), 0)
        << ReadFile(o + "errors.txt");
    const auto p1 = ReadLines(o + "p1.txt"), p2 = ReadLines(o + "p2.txt");
    ASSERT_FALSE(p1.empty());
    EXPECT_EQ(p1[0], "Chapter 1");
    ASSERT_FALSE(p2.empty());
    EXPECT_NE(Joined(p2), Joined(p1));
    EXPECT_EQ(Joined(ReadLines(o + "back.txt")), Joined(p2));
    // The last page: nothing follows it.
    const auto end = ReadLines(o + "end.txt");
    ASSERT_FALSE(end.empty());
    EXPECT_NE(Joined(end), Joined(p1));
    EXPECT_NE(Joined(end), Joined(p2));
    EXPECT_EQ(Joined(ReadLines(o + "past.txt")), Joined(end));
    EXPECT_EQ(Joined(ReadLines(o + "home.txt")), Joined(p1));
}

// A page with a form: a text field and a drop-down list, then text enough for a few pages.
std::string FormPage(const std::string& value) {
    std::string html = "<html><body><form name=\"f\"><p>Name: <input type=\"text\" name=\"q\" "
                       "value=\"" + value + "\"></p><p><select name=\"s\"><option>One</option>"
                       "<option>Two</option><option>Three</option></select></p></form>";
    for (int i = 0; i < 30; ++i)
        html += "<p>Filler paragraph " + std::to_string(i) + " with words enough to fill lines.</p>";
    return html + "</body></html>";
}

// The field is at the top of the page; the drop-down below it.
constexpr const char* kTapField = "tap 100 66\nidle\n";
constexpr const char* kTapList = "tap 70 97\nidle\n";

// In a text field the keys edit: Left moves the caret, Backspace deletes, Right moves back;
// none of them turns the page or leaves it. The field then looks as one holding the edited
// text from the start.
TEST(KeysFollowTheFocus, ATextFieldEditsWithTheKeys) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    device.WriteHost("storage/eBooks/form.htm", FormPage("abc"));
    device.WriteHost("storage/eBooks/edited.htm", FormPage("aXc"));
    const std::string o = device.outside() + "/";
    const std::string edit = std::string("idle\n") + kTapField +
                             "key 0x25\nidle\nkey 0x08\nidle\nchar X\nkey 0x27\nidle\npagetext " + o +
                             "during.txt\ntap 100 200\nidle\nscreenshot " + o + "edited.png\nquit\n";
    ASSERT_EQ(RunScript(device, {"\\storage\\eBooks\\form.htm"}, edit), 0)
        << ReadFile(o + "errors.txt");
    const auto during = ReadLines(o + "during.txt");
    ASSERT_FALSE(during.empty());  // not the library
    EXPECT_EQ(during[0], "Name:");  // not the next page
    ASSERT_EQ(RunScript(device, {"\\storage\\eBooks\\edited.htm"},
                        "idle\nscreenshot " + o + "expected.png\nquit\n"),
              0);
    ASSERT_EQ(RunScript(device, {"\\storage\\eBooks\\form.htm"},
                        "idle\nscreenshot " + o + "untouched.png\nquit\n"),
              0);
    const Picture edited = ReadPicture(o + "edited.png");
    ASSERT_GT(edited.height, 100);
    // Below the title bar, down to the drop-down.
    EXPECT_FALSE(edited.RowsDiffer(ReadPicture(o + "expected.png"), 30, 90));
    EXPECT_TRUE(edited.RowsDiffer(ReadPicture(o + "untouched.png"), 30, 90));
}

// Esc closes an open drop-down list and the page stays; Enter follows the link that has the
// focus.
TEST(KeysFollowTheFocus, EscClosesAnOpenListAndEnterFollowsTheFocusedLink) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    device.WriteHost("storage/eBooks/form.htm", FormPage("abc"));
    WriteContentsFile(device);
    const std::string o = device.outside() + "/";
    const std::string steps = std::string("idle\n") + kTapList + "key 0x0d\nidle\nscreenshot " + o +
                              "open.png\nkey 0x1b\nidle\nscreenshot " + o + "closed.png\npagetext " +
                              o + "closed.txt\nquit\n";
    ASSERT_EQ(RunScript(device, {"\\storage\\eBooks\\form.htm"}, steps), 0)
        << ReadFile(o + "errors.txt");
    const auto closed = ReadLines(o + "closed.txt");
    ASSERT_FALSE(closed.empty());
    EXPECT_EQ(closed[0], "Name:");
    // The list was open over the text below the control, and is gone.
    EXPECT_TRUE(ReadPicture(o + "open.png").RowsDiffer(ReadPicture(o + "closed.png"), 110, 170));

    ASSERT_EQ(RunScript(device, {"\\storage\\eBooks\\contents.htm"},
                        "idle\nkey 0x28\nidle\nkey 0x0d\nidle\npagetext " + o + "link.txt\nquit\n"),
              0);
    const auto link = ReadLines(o + "link.txt");
    ASSERT_FALSE(link.empty());
    EXPECT_EQ(link[0], "Chapter 3");
}

}  // namespace
}  // namespace fvt::test

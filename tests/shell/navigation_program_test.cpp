// Moving through a book as a person does, in the program itself: links inside a document, Back
// and Forward, keys after dialogs, full screen, rotation, the position bar and Find. Each test
// drives the real program headless on a fixture device and reads the page text, the screen or
// the files it wrote.
#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>
#include <string>
#include <vector>

#include "bookfiles/annotation_file.h"
#include "bookfiles/book_document.h"
#include "bookfiles/configuration_store.h"
#include "reader/reader_settings.h"
#include "shell/program_runs.h"
#include "support/bookfiles/book_builder.h"
#include "support/platform/temp_device.h"
#include "support/shell/program_launcher.h"

namespace fvt::test {
namespace {

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

TEST(ProgramInDocumentLinks, ContentsLinksMoveToTheirTargetAndBackReturns) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    WriteContentsFile(device);
    const std::string o = device.outside() + "/";
    const std::string steps = "idle\npagetext " + o + "first.txt\n" + Tap(0) + "pagetext " + o +
                              "three.txt\nsoftkey 1\nidle\npagetext " + o + "back.txt\n" +
                              Tap(1) + "pagetext " + o + "nine.txt\nkey 0x22\nidle\nsoftkey 1\n"
                              "idle\npagetext " + o + "back2.txt\nquit\n";
    ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\contents.htm"}, steps).status, 0)
        << ReadFile(o + "errors.txt");
    const auto first = ReadLines(o + "first.txt");
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(first[0], "Chapter three");
    EXPECT_EQ(FirstLine(o + "three.txt"), "Chapter 3");
    EXPECT_EQ(Joined(ReadLines(o + "back.txt")), Joined(first));
    EXPECT_EQ(FirstLine(o + "nine.txt"), "Chapter 9");
    // Back returns to where the link was followed, not to the page turned to after it.
    EXPECT_EQ(Joined(ReadLines(o + "back2.txt")), Joined(first));
}

// A name found nowhere leaves the page as it was and records no step: Back then has nothing
// but the library to go to.
TEST(ProgramInDocumentLinks, ANameFoundNowhereLeavesThePageAndTheHistoryAlone) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    WriteContentsFile(device);
    const std::string o = device.outside() + "/";
    const std::string steps = "idle\npagetext " + o + "first.txt\n" + Tap(2) + "pagetext " + o +
                              "lost.txt\nsoftkey 1\nidle\npagetext " + o + "back.txt\nquit\n";
    ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\contents.htm"}, steps).status, 0);
    const auto first = ReadLines(o + "first.txt");
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(Joined(ReadLines(o + "lost.txt")), Joined(first));
    EXPECT_TRUE(ReadLines(o + "back.txt").empty());  // the library
}

// A link whose words run on over the next pages is one there too: tapping its words at the top
// of the second page follows it, as the first page's do; the pages of plain words before it
// and after it follow nothing.
TEST(ProgramInDocumentLinks, ALinkRunningOnFromThePageBeforeIsFollowedThere) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    std::string linked;
    for (int i = 0; i < 90; ++i) linked += " linked" + std::to_string(i);
    std::string html = "<html><body><p>" + SampleText(150, 3) + "</p><p>" + SampleText(60, 4) +
                       " <a href=\"#end\">" + linked + "</a> after the link.</p>";
    for (int i = 0; i < 40; ++i)
        html += "<p>Filler " + std::to_string(i) + " " + SampleText(40, 10u + i) + "</p>";
    html += "<h2 id=\"end\">The target</h2><p>Its text.</p></body></html>";
    device.WriteHost("storage/eBooks/runon.htm", html);
    const std::string o = device.outside() + "/";
    // A tap on the top line of each of the first five pages, Home after it.
    std::string steps = "idle\n";
    for (int page = 1; page <= 5; ++page) {
        const std::string n = std::to_string(page);
        steps += "pagetext " + o + "page" + n + ".txt\ntap 60 40\nidle\npagetext " + o +
                 "tapped" + n + ".txt\nkey 0x24\nidle\n";
        for (int i = 0; i < page; ++i) steps += "key 0x22\nidle\n";
    }
    ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\runon.htm"}, steps + "quit\n").status, 0)
        << ReadFile(o + "errors.txt");
    int runOn = 0;
    for (int page = 1; page <= 5; ++page) {
        const std::string n = std::to_string(page);
        const auto shown = ReadLines(o + "page" + n + ".txt");
        const auto tapped = ReadLines(o + "tapped" + n + ".txt");
        ASSERT_FALSE(shown.empty()) << page;
        ASSERT_FALSE(tapped.empty()) << page;
        if (shown[0].rfind("linked", 0) == 0) {
            ++runOn;
            EXPECT_EQ(tapped[0], "The target") << "page " << page << " begins " << shown[0];
        } else {
            EXPECT_EQ(Joined(tapped), Joined(shown)) << "page " << page;
        }
    }
    EXPECT_GE(runOn, 1);  // the link did run on over a page's top
}

// In a markup book, a link reaches an ID of its text and a target record of the book.
TEST(ProgramInDocumentLinks, ABooksLinksReachItsIdsAndItsTargetRecords) {
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
    ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\chapters.prc"}, steps).status, 0);
    EXPECT_EQ(FirstLine(o + "four.txt"), "Chapter 4");
    EXPECT_EQ(FirstLine(o + "six.txt"), "Chapter 6");
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
TEST(ProgramKeysAfterDialogs, PageDownTurnsThePageAfterEveryBoxAndDialog) {
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
    ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\Keys.prc"}, steps + "quit\n").status, 0)
        << ReadFile(o + "errors.txt");
    for (int i = 0; i < 3; ++i) {
        const std::string n = std::to_string(i);
        const auto before = ReadLines(o + "before" + n + ".txt");
        ASSERT_FALSE(before.empty()) << opens[i];
        EXPECT_NE(Joined(ReadLines(o + "after" + n + ".txt")), Joined(before)) << opens[i];
    }
}

// In the library, after the delete box is cancelled, Down and Enter open the second book.
// Enter in the name field of a new reading list ends the name, as in a window: the list is
// made and the dialog stays open (it ends only with Cancel). A modal dialog of a driven run
// takes its keys and taps from answer steps.
TEST(ProgramKeysAfterDialogs, EnterInANewReadingListsNameKeepsTheList) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    const std::string o = device.outside() + "/";
    // The dialog's left soft key is New; Enter ends the name it gives; Cancel ends the dialog.
    const std::string steps = "idle\nanswer-tap 60 307\nanswer-key 0x0d\nscreenshot-box " + o +
                              "lists.png\nanswer 2\nmenu 40074\nidle\nshelllog " + o +
                              "shell.txt\nquit\n";
    ASSERT_EQ(RunSteps(device, {}, steps).status, 0) << ReadFile(o + "errors.txt");
    const auto log = ReadLines(o + "shell.txt");
    EXPECT_NE(std::find(log.begin(), log.end(), "dialog Add / Remove reading lists => 0"),
              log.end())
        << Joined(log);
    std::string stored;
    for (char c : device.ReadHost("Windows/FVT_global_configuration.fvt"))
        if (c != '\0') stored += c;  // UTF-16 or 8-bit text alike
    EXPECT_NE(stored.find("My Reading list"), std::string::npos);
}

TEST(ProgramKeysAfterDialogs, TheLibraryTakesKeysAfterItsDeleteBox) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    WriteBook(device, "Alpha", 2);
    WriteBook(device, "Beta", 2);
    ASSERT_EQ(RunSteps(device, {}, "idle\nmenu 40023\nidle\nkey 0x28\nidle\nkey 0x0d\nidle\nquit\n")
                  .status,
              0)
        << ReadFile(device.outside() + "/errors.txt");
    EXPECT_TRUE(device.HostExists("storage/eBooks/Alpha.prc"));
    EXPECT_TRUE(device.HostExists("storage/eBooks/Beta.fvt"));
}

// The page keys: PageDown and PageUp turn a page, Home goes to the first page, End to the last.
TEST(ProgramPageKeys, PageUpPageDownHomeAndEnd) {
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
    ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\Pages.prc"}, steps).status, 0)
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

// Turning back and forth with the keys retraces the same pages: after End, PageUp after PageUp
// and then as many PageDowns come back through the pages PageUp showed, to the last page; after
// paging forward from the first page, a turn back and forward again does the same. Pages a
// search for the page before lays out ahead of need must not change where PageDown goes.
TEST(ProgramPageKeys, BackAndForthRetraceThePages) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    std::string html = "<html><body>" + Chapters(40, [](int i) {
                           return "<h2>Chapter " + std::to_string(i) + "</h2>" +
                                  (i % 3 ? ""
                                         : "<ul><li>One item</li><li>Another item</li></ul><pre>a "
                                           "listing\n  of two lines</pre>");
                       });
    device.WriteHost("storage/eBooks/long.htm", html + "</body></html>");
    const std::string o = device.outside() + "/";
    auto text = [&](const std::string& name) { return "pagetext " + o + name + ".txt\n"; };
    constexpr int kTurns = 12;
    std::string steps = "idle\nkey 0x23\nidle\n" + text("e0");
    for (int i = 1; i <= kTurns; ++i) steps += "key 0x21\nidle\n" + text("u" + std::to_string(i));
    for (int i = kTurns - 1; i >= 0; --i)
        steps += "key 0x22\nidle\n" + text("d" + std::to_string(i));
    steps += "key 0x24\nidle\n";
    for (int i = 1; i <= kTurns; ++i) steps += "key 0x22\nidle\n" + text("f" + std::to_string(i));
    for (int i = kTurns - 1; i >= kTurns - 5; --i)
        steps += "key 0x21\nidle\n" + text("b" + std::to_string(i));
    for (int i = kTurns - 4; i <= kTurns; ++i)
        steps += "key 0x22\nidle\n" + text("g" + std::to_string(i));
    ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\long.htm"}, steps + "quit\n").status, 0)
        << ReadFile(o + "errors.txt");
    auto page = [&](const std::string& name) { return Joined(ReadLines(o + name + ".txt")); };
    // Going back from the end: every page differs from the one after it.
    std::vector<std::string> up{page("e0")};
    for (int i = 1; i <= kTurns; ++i) {
        up.push_back(page("u" + std::to_string(i)));
        ASSERT_FALSE(up.back().empty()) << "PageUp " << i;
        EXPECT_NE(up[i], up[i - 1]) << "PageUp " << i << " left the page as it was";
    }
    // Forward again: the same pages in the other order.
    for (int i = kTurns - 1; i >= 0; --i)
        EXPECT_EQ(page("d" + std::to_string(i)), up[i])
            << "PageDown back to the page of PageUp " << i;
    // From the first page forward, then five back and five forward: the pages just seen.
    std::vector<std::string> forward(kTurns + 1);
    for (int i = 1; i <= kTurns; ++i) forward[i] = page("f" + std::to_string(i));
    for (int i = kTurns - 1; i >= kTurns - 5; --i)
        EXPECT_EQ(page("b" + std::to_string(i)), forward[i]) << "PageUp to " << i;
    for (int i = kTurns - 4; i <= kTurns; ++i)
        EXPECT_EQ(page("g" + std::to_string(i)), forward[i]) << "PageDown to " << i;
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

// Opens `book` on the device and writes its first screen to `shot`; the run's exit status.
int FirstScreen(const TempDevice& device, const std::string& book, const std::string& shot) {
    return RunSteps(device, {book}, "idle\nscreenshot " + shot + "\nquit\n").status;
}

// In a text field the keys edit: Left moves the caret, Backspace deletes, Right moves back;
// none of them turns the page or leaves it. The field then looks as one holding the edited
// text from the start.
TEST(ProgramKeysFollowTheFocus, ATextFieldEditsWithTheKeys) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    device.WriteHost("storage/eBooks/form.htm", FormPage("abc"));
    device.WriteHost("storage/eBooks/edited.htm", FormPage("aXc"));
    const std::string o = device.outside() + "/";
    const std::string edit = std::string("idle\n") + kTapField +
                             "key 0x25\nidle\nkey 0x08\nidle\nchar X\nkey 0x27\nidle\npagetext " + o +
                             "during.txt\ntap 100 200\nidle\nscreenshot " + o + "edited.png\nquit\n";
    ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\form.htm"}, edit).status, 0)
        << ReadFile(o + "errors.txt");
    const auto during = ReadLines(o + "during.txt");
    ASSERT_FALSE(during.empty());  // not the library
    EXPECT_EQ(during[0], "Name:");  // not the next page
    ASSERT_EQ(FirstScreen(device, "\\storage\\eBooks\\edited.htm", o + "expected.png"), 0);
    ASSERT_EQ(FirstScreen(device, "\\storage\\eBooks\\form.htm", o + "untouched.png"), 0);
    const Picture edited = ReadPicture(o + "edited.png");
    ASSERT_GT(edited.height, 100);
    // Below the title bar, down to the drop-down.
    EXPECT_FALSE(edited.RowsDiffer(ReadPicture(o + "expected.png"), 30, 90));
    EXPECT_TRUE(edited.RowsDiffer(ReadPicture(o + "untouched.png"), 30, 90));
}

// Esc closes an open drop-down list and the page stays; Enter follows the link that has the
// focus.
TEST(ProgramKeysFollowTheFocus, EscClosesAnOpenListAndEnterFollowsTheFocusedLink) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    device.WriteHost("storage/eBooks/form.htm", FormPage("abc"));
    WriteContentsFile(device);
    const std::string o = device.outside() + "/";
    const std::string steps = std::string("idle\n") + kTapList + "key 0x0d\nidle\nscreenshot " + o +
                              "open.png\nkey 0x1b\nidle\nscreenshot " + o + "closed.png\npagetext " +
                              o + "closed.txt\nquit\n";
    ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\form.htm"}, steps).status, 0)
        << ReadFile(o + "errors.txt");
    const auto closed = ReadLines(o + "closed.txt");
    ASSERT_FALSE(closed.empty());
    EXPECT_EQ(closed[0], "Name:");
    // The list was open over the text below the control, and is gone.
    EXPECT_TRUE(ReadPicture(o + "open.png").RowsDiffer(ReadPicture(o + "closed.png"), 110, 170));

    ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\contents.htm"},
                       "idle\nkey 0x28\nidle\nkey 0x0d\nidle\npagetext " + o + "link.txt\nquit\n")
                  .status,
              0);
    const auto link = ReadLines(o + "link.txt");
    ASSERT_FALSE(link.empty());
    EXPECT_EQ(link[0], "Chapter 3");
}

// By pen alone: the options list opens a page by a tap (Enter opens the selected one), a tap on
// a drop-down's arrow opens it and a tap on an option chooses it.
TEST(ProgramPenAlone, TheOptionsListOpensPagesByTapAndEnter) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    device.WriteHost("storage/eBooks/form.htm", FormPage("abc"));
    const std::string o = device.outside() + "/";
    // The second row of the options list is Fonts; the first, selected at the start, General.
    const std::string steps = "idle\nanswer-tap 60 80\nmenu 40041\nanswer-key 0x0d\nmenu 40041\n"
                              "shelllog " + o + "log.txt\nquit\n";
    ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\form.htm"}, steps).status, 0)
        << ReadFile(o + "errors.txt");
    const std::string log = ReadFile(o + "log.txt");
    const size_t fonts = log.find("dialog Fonts\n"), general = log.find("dialog General\n");
    EXPECT_NE(fonts, std::string::npos) << log;
    EXPECT_NE(general, std::string::npos) << log;
    EXPECT_LT(fonts, general) << log;
}

TEST(ProgramPenAlone, ATapOnADropDownsOptionChoosesIt) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    device.WriteHost("storage/eBooks/form.htm", FormPage("abc"));
    std::string chosen = FormPage("abc");
    chosen.replace(chosen.find("<option>Three"), 13, "<option selected>Three");
    device.WriteHost("storage/eBooks/chosen.htm", chosen);
    const std::string o = device.outside() + "/";
    // The arrow at the right of the control opens the list; its third option lies 60 pixels
    // below the control.
    ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\form.htm"},
                       "idle\ntap 108 97\nidle\ntap 40 157\nidle\ntap 100 200\nidle\nscreenshot " +
                           o + "tapped.png\nquit\n")
                  .status,
              0)
        << ReadFile(o + "errors.txt");
    ASSERT_EQ(FirstScreen(device, "\\storage\\eBooks\\chosen.htm", o + "expected.png"), 0);
    ASSERT_EQ(FirstScreen(device, "\\storage\\eBooks\\form.htm", o + "untouched.png"), 0);
    const Picture tapped = ReadPicture(o + "tapped.png");
    ASSERT_GT(tapped.height, 120);
    EXPECT_FALSE(tapped.RowsDiffer(ReadPicture(o + "expected.png"), 30, 120));
    EXPECT_TRUE(tapped.RowsDiffer(ReadPicture(o + "untouched.png"), 30, 120));
}

// The reader's stored settings on the fixture device, as the Buttons page leaves them: hardware
// button `index` runs the action with this bit.
void AssignButton(int index, uint32_t action) {
    ConfigurationStore store;
    ASSERT_EQ(0, store.OpenDefault("\\Windows\\FVT_global_configuration.fvt", 1));
    ReaderSettings settings;
    settings.SetConfigurationStore(&store);
    ASSERT_TRUE(settings.Load(false));
    settings.SetKey(index, action);
    ASSERT_TRUE(settings.Save());
    ASSERT_EQ(store.Close(), 0);
}

// Forward goes forward in the history: after a link and Back, the button given the Forward
// action returns to the link's target.
TEST(ProgramHistory, ForwardReturnsToWhereBackCameFrom) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    WriteContentsFile(device);
    AssignButton(0, 32768);  // Button 1: "Forward"
    const std::string o = device.outside() + "/";
    const std::string steps = "idle\n" + Tap(0) + "softkey 1\nidle\npagetext " + o +
                              "back.txt\nbutton 1\nidle\npagetext " + o + "forward.txt\nquit\n";
    ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\contents.htm"}, steps).status, 0)
        << ReadFile(o + "errors.txt");
    EXPECT_EQ(FirstLine(o + "back.txt"), "Chapter three");
    EXPECT_EQ(FirstLine(o + "forward.txt"), "Chapter 3");
}

// The link that had the focus when the page was left has it again after Back: Enter follows it.
TEST(ProgramHistory, BackGivesTheFocusedLinkItsFocusAgain) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    WriteContentsFile(device);
    const std::string o = device.outside() + "/";
    // Tab twice: "Chapter nine" has the focus, and Enter follows it.
    const std::string steps = "idle\nkey 0x09\nidle\nkey 0x09\nidle\nkey 0x0d\nidle\npagetext " + o +
                              "nine.txt\nkey 0x1b\nidle\npagetext " + o +
                              "back.txt\nkey 0x0d\nidle\npagetext " + o + "again.txt\nquit\n";
    ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\contents.htm"}, steps).status, 0)
        << ReadFile(o + "errors.txt");
    EXPECT_EQ(FirstLine(o + "nine.txt"), "Chapter 9");
    EXPECT_EQ(FirstLine(o + "back.txt"), "Chapter three");
    EXPECT_EQ(FirstLine(o + "again.txt"), "Chapter 9");
}

// A link followed by a tap takes the focus from the one Tab gave it: after Back, Enter follows
// the tapped link again.
TEST(ProgramHistory, BackGivesATappedLinkTheFocus) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    WriteContentsFile(device);
    const std::string o = device.outside() + "/";
    const std::string steps = "idle\nkey 0x09\nidle\nkey 0x09\nidle\n" + Tap(0) +
                              "key 0x1b\nidle\npagetext " + o + "back.txt\nkey 0x0d\nidle\npagetext " +
                              o + "enter.txt\nquit\n";
    ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\contents.htm"}, steps).status, 0)
        << ReadFile(o + "errors.txt");
    EXPECT_EQ(FirstLine(o + "back.txt"), "Chapter three");
    EXPECT_EQ(FirstLine(o + "enter.txt"), "Chapter 3");
}

// Back walks between the book and the library; in the library with nothing before it (the
// library shown at start), Back reopens the book last read at its page.
TEST(ProgramHistory, BackFromTheLibraryReturnsToTheBookLastRead) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    WriteBook(device, "Last");
    const std::string o = device.outside() + "/";
    const std::string back = "key 0x1b\nidle\n";
    const std::string steps = "idle\nkey 0x22\nidle\npagetext " + o + "turned.txt\n" + back +
                              "pagetext " + o + "library.txt\n" + back + "pagetext " + o +
                              "again.txt\nquit\n";
    ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\Last.prc"}, steps).status, 0)
        << ReadFile(o + "errors.txt");
    const auto turned = ReadLines(o + "turned.txt");
    ASSERT_FALSE(turned.empty());
    EXPECT_TRUE(ReadLines(o + "library.txt").empty());
    EXPECT_EQ(Joined(ReadLines(o + "again.txt")), Joined(turned));

    // The settings ask for the library at start: nothing is open and the history is empty.
    {
        ConfigurationStore store;
        ASSERT_EQ(0, store.OpenDefault("\\Windows\\FVT_global_configuration.fvt", 1));
        ReaderSettings settings;
        settings.SetConfigurationStore(&store);
        ASSERT_TRUE(settings.Load(false));
        settings.libraryAtStart = 1;
        ASSERT_TRUE(settings.Save());
        ASSERT_EQ(store.Close(), 0);
    }
    ASSERT_EQ(RunSteps(device, {},
                        "idle\npagetext " + o + "start.txt\n" + back + "pagetext " + o +
                            "reopened.txt\n" + back + "pagetext " + o + "library2.txt\nquit\n").status,
              0)
        << ReadFile(o + "errors.txt");
    EXPECT_TRUE(ReadLines(o + "start.txt").empty());
    EXPECT_EQ(Joined(ReadLines(o + "reopened.txt")), Joined(turned));
    EXPECT_TRUE(ReadLines(o + "library2.txt").empty());
}

// The book last read has gone from the device since: the next start shows the library with no
// box (the reopen is a quiet try), and the run ends well.
TEST(ProgramHistory, ALastBookGoneSinceLeavesTheLibraryQuietly) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    WriteBook(device, "Gone");
    const std::string o = device.outside() + "/";
    ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\Gone.prc"}, "idle\nquit\n").status, 0);
    ASSERT_TRUE(std::filesystem::remove(device.Host("storage/eBooks/Gone.prc")));
    const ProgramResult run = RunSteps(
        device, {}, "idle\nshelllog " + o + "log.txt\npagetext " + o + "page.txt\nquit\n");
    ASSERT_EQ(run.status, 0) << run.Describe();
    EXPECT_EQ(ReadFile(o + "log.txt").find("MessageBox"), std::string::npos) << ReadFile(o + "log.txt");
    EXPECT_EQ(run.err.find("Gone.prc"), std::string::npos) << run.err;
    EXPECT_TRUE(ReadLines(o + "page.txt").empty());
}

// What the book's side file holds on the device now.
struct StoredSideFile {
    bool read = false;
    std::uint32_t bookmarks = 0;
    std::uint32_t position = 0;
    std::u16string firstText;  // the text of the first annotation
};

StoredSideFile ReadSideFile(const std::string& book) {
    StoredSideFile out;
    AnnotationFile file;
    if (file.OpenOrCreate(book, nullptr, 0, 1, 0, 0) != 0) return out;
    out.read = true;
    out.bookmarks = file.BookmarkCount();
    std::uint32_t word = 0;
    file.GetReadingPosition(&word, &out.position, nullptr);
    BookmarkIterator it;
    file.StartIterator(&it, 0, 0, 0xFFFFFFFF);
    const std::int32_t first = file.FindNext(&it);
    std::uint32_t length = 0;
    const char16_t* text = first >= 0 ? file.GetBookmarkText(first, &length) : nullptr;
    if (text) out.firstText.assign(text, length);
    return out;
}

// Runs the steps, then reads the side file while the program still runs (it waits after the
// steps), and ends it without an orderly shut-down, as a device that loses power does.
StoredSideFile SideFileBeforeTheEnd(const TempDevice& device, const std::string& book,
                                    const std::string& steps) {
    const std::string done = device.outside() + "/done.txt";
    std::filesystem::remove(done);
    const std::string script =
        WriteScript(device, "steps.txt", steps + "pagetext " + done + "\nadvance 60000\n");
    LaunchedProgram running = StartReader(device, {book}, script);
    EXPECT_GT(running.Pid(), 0);
    for (int i = 0; i < 800 && !std::filesystem::exists(done); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    EXPECT_TRUE(std::filesystem::exists(done));
    StoredSideFile stored = ReadSideFile(book);
    kill(running.Pid(), SIGKILL);
    return stored;
}

// A bookmark made, then taken away again, is in the side file on the device at once, with the
// page it was made on, not only when the reader closes the book.
TEST(ProgramSideFile, AnAnnotationMadeOrRemovedIsWrittenAtOnce) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    WriteBook(device, "Marked");
    const std::string book = "\\storage\\eBooks\\Marked.prc";
    const StoredSideFile made =
        SideFileBeforeTheEnd(device, book, "idle\nkey 0x22\nidle\nmenu 40079\nidle\n");
    ASSERT_TRUE(made.read);
    EXPECT_EQ(made.bookmarks, 1u);
    EXPECT_GT(made.position, 0u);
    const StoredSideFile removed = SideFileBeforeTheEnd(device, book, "idle\nmenu 40079\nidle\n");
    ASSERT_TRUE(removed.read);
    EXPECT_EQ(removed.bookmarks, 0u);
    EXPECT_EQ(removed.position, made.position);
}

// A note changed from its pop-up is in the side file at once, with its new text.
TEST(ProgramSideFile, AChangedNoteIsWrittenAtOnce) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    std::string lines;
    for (int i = 0; i < 200; ++i)
        lines += "Zero text line " + std::to_string(i) + " with some words to fill the page.\n";
    device.WriteHost("storage/eBooks/zero.txt", lines);
    const std::string book = "\\storage\\eBooks\\zero.txt";
    // A note on the words the focus box selects ("Add note" is item 50043 of the pop-up).
    ASSERT_EQ(RunSteps(device, {book},
                        "idle\nchar 9\nidle\nkey 0x27\nidle\nkey 0x27\nidle\nkey 0x0d\nidle\n"
                        "key 0x27\nidle\nanswer 50043\ntext My note\nanswer 1\nkey 0x0d\nidle\n"
                        "advance 300\nidle\nquit\n").status,
              0)
        << ReadFile(device.outside() + "/errors.txt");
    ASSERT_EQ(ReadSideFile(book).firstText, u"My note");
    // Its mark sits at the start of its line; "Edit" is the pop-up's first link.
    const StoredSideFile changed = SideFileBeforeTheEnd(
        device, book,
        "idle\ntap 7 37\nidle\nadvance 300\nidle\ntext Changed note\nanswer 1\ntap 10 50\n"
        "idle\nadvance 300\nidle\n");
    EXPECT_EQ(changed.firstText, u"Changed note");
}

// The position bar: the menu command shows it at once (the page is laid out again above it, one
// line shorter), it follows a page turn, and it is there at the next start.
TEST(ProgramPositionBar, ShowsWhenTurnedOnFollowsThePageAndStaysAfterARestart) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    WriteBook(device, "Bar");
    const std::string o = device.outside() + "/";
    const std::string book = "\\storage\\eBooks\\Bar.prc";
    const std::string steps = "idle\nscreenshot " + o + "off.png\npagetext " + o +
                              "off.txt\nmenu 40172\nidle\nscreenshot " + o + "on.png\npagetext " +
                              o + "on.txt\nkey 0x22\nidle\nscreenshot " + o +
                              "turned.png\nkey 0x21\nidle\nquit\n";
    ASSERT_EQ(RunSteps(device, {book}, steps).status, 0) << ReadFile(o + "errors.txt");
    ASSERT_EQ(RunSteps(device, {book}, "idle\nscreenshot " + o + "restart.png\nquit\n").status, 0);
    const Picture off = ReadPicture(o + "off.png"), on = ReadPicture(o + "on.png");
    ASSERT_EQ(off.height, 320);
    // The bar's strip lies just above the soft-key bar (at 294).
    EXPECT_TRUE(on.RowsDiffer(off, 282, 294));
    // The page number changes with the page.
    EXPECT_TRUE(ReadPicture(o + "turned.png").RowsDiffer(on, 282, 294));
    // After a restart with the setting on, the bar is there from the start.
    EXPECT_FALSE(ReadPicture(o + "restart.png").RowsDiffer(on, 282, 294));
    // The page was laid out again above the bar: its lines are the first ones of the page
    // without it (as many or fewer).
    const auto without = ReadLines(o + "off.txt"), with = ReadLines(o + "on.txt");
    ASSERT_FALSE(with.empty());
    ASSERT_LE(with.size(), without.size());
    for (size_t i = 0; i < with.size(); ++i) EXPECT_EQ(with[i], without[i]);
}

// Full screen: the soft-key bar goes and the page is laid out again over the whole screen (more
// lines, the last one above nothing); a soft key comes back from it, and so does Enter on a page
// without a focused link.
TEST(ProgramFullScreen, TheBarsGoThePageFillsTheScreenAndItComesBack) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    WriteBook(device, "Full");
    const std::string o = device.outside() + "/";
    auto shot = [&](const std::string& name) {
        return "screenshot " + o + name + ".png\npagetext " + o + name + ".txt\n";
    };
    const std::string steps = "idle\n" + shot("normal") + "menu 40084\nidle\n" + shot("full") +
                              "softkey 1\nidle\n" + shot("back") + "key 0x0d\nidle\n" +
                              shot("enter") + "key 0x0d\nidle\n" + shot("enter2") + "quit\n";
    ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\Full.prc"}, steps).status, 0)
        << ReadFile(o + "errors.txt");
    const Picture normal = ReadPicture(o + "normal.png"), full = ReadPicture(o + "full.png");
    ASSERT_EQ(normal.height, 320);
    // The soft-key bar (the bottom 26 rows) and the title strip are gone.
    EXPECT_TRUE(full.RowsDiffer(normal, 294, 320));
    const auto normalLines = ReadLines(o + "normal.txt"), fullLines = ReadLines(o + "full.txt");
    ASSERT_FALSE(normalLines.empty());
    EXPECT_GT(fullLines.size(), normalLines.size());
    for (size_t i = 0; i < normalLines.size() && i < fullLines.size(); ++i)
        EXPECT_EQ(fullLines[i], normalLines[i]);
    EXPECT_FALSE(ReadPicture(o + "back.png").RowsDiffer(normal, 0, 320));
    EXPECT_EQ(Joined(ReadLines(o + "enter.txt")), Joined(fullLines));
    EXPECT_EQ(Joined(ReadLines(o + "enter2.txt")), Joined(normalLines));
}

// Find keeps its text between showings (OK alone finds the next one), and with its options
// hidden it shows no stray control where the direction's up-down would be.
TEST(ProgramFind, KeepsItsTextAndShowsNoStrayControl) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    WriteContentsFile(device);
    const std::string o = device.outside() + "/";
    const std::string steps = "idle\ntext Para\nanswer 0\nmenu 40078\nidle\npagetext " + o +
                              "first.txt\nanswer 0\nmenu 40078\nidle\npagetext " + o +
                              "second.txt\nanswer-key 0x26\nmenu 40078\nscreenshot " + o +
                              "dialog.png\nanswer 2\nidle\nquit\n";
    ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\contents.htm"}, steps).status, 0)
        << ReadFile(o + "errors.txt");
    const auto first = ReadLines(o + "first.txt"), second = ReadLines(o + "second.txt");
    ASSERT_FALSE(first.empty());
    ASSERT_FALSE(second.empty());
    // Each match is on the page shown, below a line of what comes before it.
    auto lineStarting = [](const std::vector<std::string>& lines, const std::string& text) {
        for (size_t i = 0; i < lines.size(); ++i)
            if (lines[i].rfind(text, 0) == 0) return static_cast<int>(i);
        return -1;
    };
    EXPECT_GE(lineStarting(first, "Para 1.0"), 1) << Joined(first);
    EXPECT_GE(lineStarting(second, "Para 1.1"), 1) << Joined(second);
    // Below "More options...", down to the input panel, nothing is drawn.
    const Picture dialog = ReadPicture(o + "dialog.png");
    ASSERT_EQ(dialog.height, 320);
    const uint32_t background = dialog.At(120, 150);
    int marked = 0;
    for (int y = 130; y < 205; ++y)
        for (int x = 0; x < dialog.width; ++x) marked += dialog.At(x, y) != background;
    EXPECT_EQ(marked, 0);
}

// The settings name the book last opened as soon as it opens: a reader ended without an orderly
// shut-down (the device may end it in the background) still knows it.
TEST(ProgramHistory, TheLastBookIsStoredWhenItOpens) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    WriteBook(device, "Stored");
    LaunchedProgram running = StartReader(device, {"\\storage\\eBooks\\Stored.prc"});
    ASSERT_GT(running.Pid(), 0);
    ASSERT_NE(WaitForInstance(), nullptr);
    // The side file is made when the book opens.
    for (int i = 0; i < 200 && !device.HostExists("storage/eBooks/Stored.fvt"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    ASSERT_TRUE(device.HostExists("storage/eBooks/Stored.fvt"));
    std::string stored;
    for (int i = 0; i < 200; ++i) {
        const std::string bytes = device.ReadHost("Windows/FVT_global_configuration.fvt");
        stored.clear();
        for (char c : bytes)
            if (c != '\0') stored += c;  // UTF-16 or 8-bit text alike
        if (stored.find("Stored.prc") != std::string::npos) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    EXPECT_NE(stored.find("Stored.prc"), std::string::npos);
    kill(running.Pid(), SIGKILL);
}

// The Navigate menu lists the documents read lately: its first entry goes back to the first
// book after another one was opened from the library.
TEST(ProgramHistory, NavigateListsTheRecentBooksAndOpensThem) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    WriteContentsFile(device);
    device.WriteHost("storage/eBooks/form.htm", FormPage("abc"));
    const std::string o = device.outside() + "/";
    // Back (nothing before) shows the library; its rows: contents, form.
    const std::string steps = "idle\nsoftkey 1\nidle\nkey 0x28\nidle\nkey 0x0d\nidle\npagetext " +
                              o + "second.txt\nmenu 53000\nidle\npagetext " + o +
                              "recent.txt\nquit\n";
    ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\contents.htm"}, steps).status, 0)
        << ReadFile(o + "errors.txt");
    EXPECT_EQ(FirstLine(o + "second.txt"), "Name:");
    EXPECT_EQ(FirstLine(o + "recent.txt"), "Chapter three");
}

}  // namespace
}  // namespace fvt::test

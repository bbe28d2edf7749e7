// Selecting text with the keys in the program: "9" turns the focus box on, the arrows move it
// word by word and line by line, Enter fixes the anchor, further moves extend the selection,
// and Enter again offers what can be done with it. The box and the selection are drawn; a
// highlight made from the selection is kept in the side file and drawn after a restart.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bookfiles/annotation_file.h"
#include "graphics/core/command_ids.h"
#include "reader/reader_command_ids.h"
#include "support/bookfiles/book_builder.h"
#include "support/platform/temp_device.h"
#include "support/shell/program_launcher.h"
#include "support/shell/screenshot.h"

namespace fvt::test {
namespace {

std::string Lines(int n) {
    std::string out;
    for (int i = 0; i < n; ++i)
        out += "Zero text line " + std::to_string(i) + " with some words to fill the page.\n";
    return out;
}

struct Shot {
    int w = 0, h = 0;
    std::vector<std::uint32_t> px;
    // Pixels of the page (below the title, above the bar) that satisfy a test.
    template <typename Test>
    int Count(Test test) const {
        int n = 0;
        for (int y = 30; y < h - 30 && y < h; ++y)
            for (int x = 0; x < w; ++x) n += test(px[static_cast<std::size_t>(y) * w + x]) ? 1 : 0;
        return n;
    }
    int Dark() const {
        return Count([](std::uint32_t p) {
            return ((p >> 16) & 0xFF) < 80 && ((p >> 8) & 0xFF) < 80 && (p & 0xFF) < 80;
        });
    }
    int Yellow() const {
        return Count([](std::uint32_t p) {
            return ((p >> 16) & 0xFF) > 200 && ((p >> 8) & 0xFF) > 200 && (p & 0xFF) < 160;
        });
    }
};

Shot Read(const std::string& path) {
    Shot s;
    EXPECT_TRUE(ReadScreenshot(path, s.w, s.h, s.px)) << path;
    return s;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Answer(int32_t command) {
    return "answer " + std::to_string(Commands::kPopupItemBase + command) + "\n";
}

// Selects the first two words of the page and chooses `command` from the selection's pop-up;
// `dialog` answers the text dialog that notes and modifications open.
std::string AnnotateFirstWords(int32_t command, const std::string& dialog = {}) {
    return "char 9\nidle\nkey 0x0d\nidle\nkey 0x27\nidle\n" + Answer(command) + dialog +
           "key 0x0d\nidle\nadvance 300\nidle\n";
}

// Steps that make a custom link: "Add link" on the third and fourth words of the page ("line 0"
// on a page of lines), then `toTarget`, the steps that reach the target's page, whose text goes
// to `target`, and "Set link target" on its first words.
std::string MakeCustomLink(const std::string& toTarget, const std::string& target) {
    return "idle\nchar 9\nidle\nkey 0x27\nidle\nkey 0x27\nidle\nkey 0x0d\nidle\nkey 0x27\nidle\n" +
           Answer(Cmd::kAddLink) + "key 0x0d\nidle\nadvance 300\nidle\n" + toTarget + "pagetext " +
           target + "\n" + AnnotateFirstWords(Cmd::kSetLinkTarget) + "quit\n";
}

TEST(SelectingText, KeysSelectAHighlightThatIsKeptAndDrawnAfterARestart) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    device.WriteOutside("zero.txt", Lines(200));
    const std::string book = device.OutsidePath("zero.txt");
    const std::string plain = device.OutsidePath("plain.png"), box = device.OutsidePath("box.png"),
                      range = device.OutsidePath("range.png"),
                      after = device.OutsidePath("after.png");
    ASSERT_EQ(RunSteps(device, {book},
                       "idle\nscreenshot " + plain +
                           "\nchar 9\nidle\nkey 0x27\nidle\nkey 0x27\nidle\n"
                           "screenshot " +
                           box +
                           "\nkey 0x0d\nidle\nkey 0x27\nidle\nkey 0x28\nidle\n"
                           "screenshot " +
                           range + "\n" + Answer(Cmd::kHighlight) +
                           "key 0x0d\nidle\nadvance 300\nidle\nquit\n")
                  .status,
              0);
    // The box on one word inverts it; the selection over a line and a half inverts more.
    const int plainDark = Read(plain).Dark(), boxDark = Read(box).Dark(),
              rangeDark = Read(range).Dark();
    EXPECT_GT(boxDark, plainDark + 100);
    EXPECT_GT(rangeDark, boxDark + 500);

    {
        AnnotationFile file;
        ASSERT_EQ(file.OpenOrCreate("\\storage\\eBooks\\zero.txt", nullptr, 0, 1, 0, 0), 0);
        BookmarkIterator it;
        file.StartIterator(&it, AnnotationFile::kHighlight, 0, 0xFFFFFFFF);
        const std::int32_t i = file.FindNext(&it);
        ASSERT_GE(i, 0);
        EXPECT_LT(file.FindNext(&it), 0);
        std::uint32_t length = 0;
        const char16_t* text = file.GetBookmarkText(i, &length);
        ASSERT_NE(text, nullptr);
        EXPECT_EQ(std::u16string(text, length), u"line 0 with some");
    }

    ASSERT_EQ(RunSteps(device, {book}, "idle\nscreenshot " + after + "\nquit\n").status, 0);
    EXPECT_EQ(Read(plain).Yellow(), 0);
    EXPECT_GT(Read(after).Yellow(), 200);
}

// Esc (the Back key) while the focus box is on ends the box and leaves the page as it was; only
// the next Esc leaves the page for the library.
TEST(SelectingText, EscEndsTheFocusBoxAndStaysOnThePage) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    device.WriteOutside("zero.txt", Lines(200));
    const std::string plain = device.OutsidePath("plain.png"), box = device.OutsidePath("box.png"),
                      ended = device.OutsidePath("ended.png"), text = device.OutsidePath("ended.txt"),
                      left = device.OutsidePath("left.txt");
    ASSERT_EQ(RunSteps(device, {device.OutsidePath("zero.txt")},
                          "idle\nscreenshot " + plain +
                              "\nchar 9\nidle\nkey 0x27\nidle\n"
                              "screenshot " +
                              box + "\nkey 0x1b\nidle\nscreenshot " + ended + "\npagetext " + text +
                              "\nkey 0x1b\nidle\npagetext " + left + "\nquit\n").status,
              0);
    EXPECT_GT(Read(box).Dark(), Read(plain).Dark() + 100);
    EXPECT_EQ(Read(ended).px, Read(plain).px);
    EXPECT_EQ(ReadFile(text).rfind("Zero text line 0", 0), 0u);
    EXPECT_EQ(ReadFile(left), "");
}

// A selection over a line and a half, then the screen turned: the page is laid out again into
// the same slot from the same start, with other lines. The old selection named items of the
// page as it was and is dropped: the turned page shows as it does without one.
TEST(SelectingText, TurningTheScreenDropsTheSelectionOfThePageAsItWas) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    device.WriteOutside("zero.txt", Lines(200));
    const std::string book = device.OutsidePath("zero.txt");
    const std::string range = device.OutsidePath("range.png"),
                      turned = device.OutsidePath("turned.png"),
                      plain = device.OutsidePath("plain.png");
    ASSERT_EQ(RunSteps(device, {book},
                       "idle\nchar 9\nidle\nkey 0x27\nidle\nkey 0x0d\nidle\nkey 0x28\nidle\n"
                       "screenshot " + range + "\nrotate 90\nidle\nscreenshot " + turned +
                           "\nquit\n")
                  .status,
              0);
    ASSERT_EQ(RunSteps(device, {book}, "idle\nrotate 90\nidle\nscreenshot " + plain + "\nquit\n")
                  .status,
              0);
    const Shot selected = Read(range), after = Read(turned), fresh = Read(plain);
    ASSERT_GT(selected.Dark(), 1000);  // the selection shows before the turn
    EXPECT_EQ(after.w, fresh.w);
    EXPECT_EQ(after.Dark(), fresh.Dark());
    EXPECT_EQ(after.px, fresh.px);
}

// The notes of a book's side file, by their texts.
std::vector<std::u16string> Notes(const std::string& book) {
    std::vector<std::u16string> out;
    AnnotationFile file;
    if (file.OpenOrCreate("\\storage\\eBooks\\" + book, nullptr, 0, 1, 0, 0) != 0) return out;
    BookmarkIterator it;
    file.StartIterator(&it, AnnotationFile::kNote, 0, 0xFFFFFFFF);
    for (std::int32_t i = file.FindNext(&it); i >= 0; i = file.FindNext(&it)) {
        std::uint32_t length = 0;
        const char16_t* text = file.GetBookmarkText(i, &length);
        out.push_back(text ? std::u16string(text, length) : std::u16string());
    }
    return out;
}

// A note is written on a selection, then, after restarts, edited and deleted from the pop-up
// that a tap on its mark opens.
TEST(SelectingText, ANoteIsWrittenEditedAndDeletedFromItsPopup) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    device.WriteOutside("zero.txt", Lines(200));
    const std::string book = device.OutsidePath("zero.txt");
    ASSERT_EQ(RunSteps(device, {book},
                       "idle\nchar 9\nidle\nkey 0x27\nidle\nkey 0x27\nidle\n"
                       "key 0x0d\nidle\nkey 0x27\nidle\n" +
                           Answer(Cmd::kAddNote) +
                           "text My note\nanswer 1\nkey 0x0d\nidle\n"
                           "advance 300\nidle\nquit\n")
                  .status,
              0);
    EXPECT_EQ(Notes("zero.txt"), std::vector<std::u16string>{u"My note"});

    // The note's mark sits at the start of its line; its pop-up shows "Edit - Delete" below
    // the text.
    const std::string open = "idle\ntap 7 37\nidle\nadvance 300\nidle\n";
    ASSERT_EQ(RunSteps(device, {book},
                       open + "text Changed note\nanswer 1\ntap 10 50\nidle\n"
                              "advance 300\nidle\nquit\n")
                  .status,
              0);
    EXPECT_EQ(Notes("zero.txt"), std::vector<std::u16string>{u"Changed note"});

    ASSERT_EQ(RunSteps(device, {book}, open + "tap 55 50\nidle\nadvance 300\nidle\nquit\n").status,
              0);
    EXPECT_TRUE(Notes("zero.txt").empty());
}

// Delete highlight is offered for a selection that meets a highlight, and removes it.
TEST(SelectingText, AHighlightIsDeletedFromTheSelectionsPopup) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    device.WriteOutside("zero.txt", Lines(200));
    const std::string book = device.OutsidePath("zero.txt");
    const std::string select =
        "idle\nchar 9\nidle\nkey 0x27\nidle\nkey 0x27\nidle\nkey 0x0d\nidle\n"
        "key 0x27\nidle\n";
    ASSERT_EQ(
        RunSteps(device, {book},
                 select + Answer(Cmd::kHighlight) + "key 0x0d\nidle\nadvance 300\nidle\nquit\n")
            .status,
        0);
    AnnotationFile file;
    ASSERT_EQ(file.OpenOrCreate("\\storage\\eBooks\\zero.txt", nullptr, 0, 1, 0, 0), 0);
    EXPECT_EQ(file.BookmarkCount(), 1u);
    ASSERT_EQ(file.Close(), 0);
    ASSERT_EQ(RunSteps(device, {book},
                       select + Answer(Cmd::kDeleteHighlight) +
                           "key 0x0d\nidle\nadvance 300\nidle\nquit\n")
                  .status,
              0);
    ASSERT_EQ(file.OpenOrCreate("\\storage\\eBooks\\zero.txt", nullptr, 0, 1, 0, 0), 0);
    EXPECT_EQ(file.BookmarkCount(), 0u);
}

// A custom link: "Add link" on a selection of the first page, "Set link target" on a word two
// pages on. After a restart the linked words on the first page are a link to that page.
TEST(SelectingText, ACustomLinkIsAddedAndFollowedFromItsText) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    device.WriteOutside("zero.txt", Lines(200));
    const std::string book = device.OutsidePath("zero.txt");
    const std::string target = device.OutsidePath("target.txt"),
                      first = device.OutsidePath("first.txt"),
                      followed = device.OutsidePath("followed.txt"),
                      back = device.OutsidePath("back.txt");
    ASSERT_EQ(
        RunSteps(device, {book}, MakeCustomLink("key 0x22\nidle\nkey 0x22\nidle\n", target)).status,
        0);
    {
        AnnotationFile file;
        ASSERT_EQ(file.OpenOrCreate("\\storage\\eBooks\\zero.txt", nullptr, 0, 1, 0, 0), 0);
        BookmarkIterator it;
        file.StartIterator(&it, AnnotationFile::kLink, 0, 0xFFFFFFFF);
        const std::int32_t i = file.FindNext(&it);
        ASSERT_GE(i, 0) << "no link was made";
        std::uint32_t length = 0;
        EXPECT_NE(file.GetBookmarkUrl(i, &length), nullptr);
        EXPECT_GT(length, 0u);
    }
    // Back at the first page, a tap on the linked words ("line 0", right of the mark) follows
    // the link; Back returns.
    ASSERT_EQ(RunSteps(device, {book},
                       "idle\nkey 0x24\nidle\npagetext " + first +
                           "\ntap 132 40\nidle\nadvance 300\nidle\npagetext " + followed +
                           "\nsoftkey 1\nidle\npagetext " + back + "\nquit\n")
                  .status,
              0);
    const std::string shown = ReadFile(first);
    ASSERT_NE(shown.find("Zero text line 0"), std::string::npos) << shown;
    EXPECT_EQ(ReadFile(followed), ReadFile(target));
    EXPECT_EQ(ReadFile(back), shown);
}

// The Back key while the focus box shows ends the selection and stays on the page; pressed
// again it goes back as ever (here, to the library).
TEST(SelectingText, BackEndsTheSelectionBeforeItLeavesThePage) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    device.WriteOutside("zero.txt", Lines(200));
    const std::string book = device.OutsidePath("zero.txt");
    const std::string o = device.outside() + "/";
    ASSERT_EQ(
        RunSteps(device, {book}, "idle\nscreenshot " + o + "plain.png\npagetext " + o +
                                "plain.txt\nchar 9\nidle\nkey 0x27\nidle\nkey 0x1b\nidle\n"
                                "screenshot " +
                                o + "ended.png\npagetext " + o +
                                "ended.txt\nkey 0x1b\nidle\npagetext " + o + "left.txt\nquit\n").status,
        0);
    ASSERT_FALSE(ReadFile(o + "plain.txt").empty());
    EXPECT_EQ(ReadFile(o + "ended.txt"), ReadFile(o + "plain.txt"));
    EXPECT_EQ(Read(o + "ended.png").px, Read(o + "plain.png").px);
    EXPECT_TRUE(ReadFile(o + "left.txt").empty());
}

// Lines of a file, without their line ends.
std::vector<std::string> FileLines(const std::string& path) {
    std::vector<std::string> out;
    std::ifstream in(path, std::ios::binary);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

// The list's row of an icon (the annotation kind's), or -1.
int RowOf(const std::vector<std::string>& rows, int icon) {
    for (size_t i = 0; i < rows.size(); ++i)
        if (rows[i].rfind(std::to_string(icon) + "\t", 0) == 0) return static_cast<int>(i);
    return -1;
}

// Every kind of annotation, each made the way a person makes it (a drawing comes from a side
// file: the reader makes none), is listed with its icon and text, opens its page from the list,
// and is deleted from the list.
TEST(AnnotationsList, EveryKindIsListedOpensItsPageAndIsDeleted) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    const std::string lines = Lines(200);
    device.WriteOutside("zero.txt", lines);
    const std::string book = device.OutsidePath("zero.txt");
    const std::string o = device.outside() + "/";
    // A bookmark and a highlight on page 1, a note on page 2, a modification on page 3, a link
    // from page 4 to page 6.
    const std::string next = "key 0x22\nidle\n";
    ASSERT_EQ(
        RunSteps(device, {book}, "idle\npagetext " + o + "page1.txt\nmenu 40079\nidle\n" +
                                AnnotateFirstWords(Cmd::kHighlight) + next + "pagetext " + o +
                                "page2.txt\n" +
                                AnnotateFirstWords(Cmd::kAddNote, "text My note\nanswer 1\n") +
                                next + "pagetext " + o + "page3.txt\n" +
                                AnnotateFirstWords(Cmd::kModify, "text Changed words\nanswer 1\n") +
                                next + "pagetext " + o + "page4.txt\n" +
                                AnnotateFirstWords(Cmd::kAddLink) + next + next + "pagetext " + o +
                                "page6.txt\n" + AnnotateFirstWords(Cmd::kSetLinkTarget) + "quit\n").status,
        0);
    // Two drawings kept in the side file, one named; the one without a name is not listed.
    const std::string drawn = "Zero text line 100 ";
    const std::uint32_t at = static_cast<std::uint32_t>(lines.find(drawn));
    {
        AnnotationFile file;
        ASSERT_EQ(file.OpenOrCreate("\\storage\\eBooks\\zero.txt", nullptr, 0, 0, 0, 0), 0);
        ASSERT_EQ(file.BookmarkCount(), 5u);
        const std::int32_t named =
            file.AddBookmark(AnnotationFile::kDrawing, at, at + 20, 0, 0, 0, 0);
        ASSERT_GE(named, 0);
        ASSERT_EQ(file.SetBookmarkText(named, u"Sketch", 6), 0);
        ASSERT_GE(file.AddBookmark(AnnotationFile::kDrawing, at + 40, at + 60, 0, 0, 0, 0), 0);
        ASSERT_EQ(file.Close(), 0);
    }

    ASSERT_EQ(RunSteps(device, {book}, "idle\nmenu 40076\nidle\nlisttext " + o +
                                      "all.txt\nmenu 40160\n"
                                      "idle\nlisttext " +
                                      o + "drawings.txt\nquit\n").status,
              0);
    const std::vector<std::string> rows = FileLines(o + "all.txt");
    ASSERT_EQ(rows.size(), 6u) << ReadFile(o + "all.txt");
    // Icons: 0 bookmark, 1 note, 2 highlight, 3 link, 4 modification, 5 drawing.
    // A highlight is named by the words selected, the page's first two; a link by the words
    // selected at its target.
    auto firstWords = [&](const std::string& page) {
        std::string text;
        for (const std::string& line : FileLines(o + page)) text += line + " ";
        return text.substr(0, text.find(' ', text.find(' ') + 1));
    };
    const struct {
        int icon;
        std::string text, page;
    } kinds[] = {{0, "Zero text line", "page1.txt"},
                 {2, firstWords("page1.txt"), "page1.txt"},
                 {1, "My note", "page2.txt"},
                 {4, "Changed words", "page3.txt"},
                 {3, firstWords("page6.txt"), "page4.txt"},
                 {5, "Sketch", ""}};
    for (const auto& k : kinds) {
        SCOPED_TRACE(k.icon);
        const int row = RowOf(rows, k.icon);
        ASSERT_GE(row, 0) << ReadFile(o + "all.txt");
        EXPECT_EQ(rows[row].rfind(std::to_string(k.icon) + "\t" + k.text + " (", 0), 0u)
            << rows[row];
        // Opened from the list: the page it was made on (its first words start the page).
        std::string steps = "idle\nmenu 40076\nidle\n";
        for (int i = 0; i < row; ++i) steps += "key 0x28\nidle\n";
        const std::string opened = o + "opened" + std::to_string(k.icon) + ".txt";
        ASSERT_EQ(RunSteps(device, {book}, steps + "softkey 1\nidle\npagetext " + opened + "\nquit\n").status,
                  0);
        const std::vector<std::string> shown = FileLines(opened);
        ASSERT_FALSE(shown.empty());
        if (k.page.empty())
            EXPECT_EQ(shown[0].rfind(drawn.substr(0, drawn.size() - 1), 0), 0u) << shown[0];
        else
            EXPECT_EQ(shown, FileLines(o + k.page));
    }
    EXPECT_EQ(ReadFile(o + "drawings.txt").rfind("5\tSketch (", 0), 0u)
        << ReadFile(o + "drawings.txt");
    EXPECT_EQ(FileLines(o + "drawings.txt").size(), 1u);

    // Deleted from the list: the drawing first, then each row in turn.
    std::string steps = "idle\nmenu 40076\nidle\n";
    for (int i = 0; i < RowOf(rows, 5); ++i) steps += "key 0x28\nidle\n";
    steps += "answer 1\nmenu 40023\nidle\nlisttext " + o + "fewer.txt\n";
    for (int i = 0; i < 5; ++i) steps += "answer 1\nmenu 40023\nidle\n";
    ASSERT_EQ(RunSteps(device, {book}, steps + "listtext " + o + "none.txt\nquit\n").status, 0);
    const std::vector<std::string> fewer = FileLines(o + "fewer.txt");
    EXPECT_EQ(fewer.size(), 5u);
    EXPECT_EQ(RowOf(fewer, 5), -1);
    EXPECT_TRUE(FileLines(o + "none.txt").empty()) << ReadFile(o + "none.txt");
    AnnotationFile file;
    ASSERT_EQ(file.OpenOrCreate("\\storage\\eBooks\\zero.txt", nullptr, 0, 1, 0, 0), 0);
    // The drawing without a name was never listed, so it stays.
    EXPECT_EQ(file.BookmarkCount(), 1u);
    BookmarkIterator it;
    file.StartIterator(&it, AnnotationFile::kDrawing, 0, 0xFFFFFFFF);
    EXPECT_GE(file.FindNext(&it), 0);
}

// A note and a modification are rewritten from the list's "Modify" item, in the text dialog.
TEST(AnnotationsList, NotesAndModificationsAreRewrittenFromTheList) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    device.WriteOutside("zero.txt", Lines(200));
    const std::string book = device.OutsidePath("zero.txt");
    const std::string o = device.outside() + "/";
    ASSERT_EQ(RunSteps(device, {book},
                          "idle\n" + AnnotateFirstWords(Cmd::kAddNote, "text My note\nanswer 1\n") +
                              "key 0x22\nidle\n" +
                              AnnotateFirstWords(Cmd::kModify, "text Changed words\nanswer 1\n") +
                              "quit\n").status,
              0);
    // Rows in reading order: the note, then the modification.
    ASSERT_EQ(RunSteps(device, {book},
                          "idle\nmenu 40076\nidle\ntext Second thoughts\nanswer 1\n"
                          "menu 40171\nidle\nkey 0x28\nidle\ntext Other words\nanswer 1\n"
                          "menu 40171\nidle\nlisttext " +
                              o + "rows.txt\nquit\n").status,
              0);
    const std::vector<std::string> rows = FileLines(o + "rows.txt");
    ASSERT_EQ(rows.size(), 2u) << ReadFile(o + "rows.txt");
    EXPECT_EQ(rows[0].rfind("1\tSecond thoughts (", 0), 0u) << rows[0];
    EXPECT_EQ(rows[1].rfind("4\tOther words (", 0), 0u) << rows[1];
    EXPECT_EQ(Notes("zero.txt"), std::vector<std::u16string>{u"Second thoughts"});
}

// A drawing kept in the side file is renamed in place in the list; emptying its name asks
// whether to delete it.
TEST(AnnotationsList, ADrawingIsRenamedInPlaceAndAnEmptyNameDeletesIt) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    device.WriteOutside("zero.txt", Lines(200));
    const std::string book = device.OutsidePath("zero.txt");
    const std::string o = device.outside() + "/";
    ASSERT_EQ(RunSteps(device, {book}, "idle\nquit\n").status, 0);
    auto drawings = [] {
        std::vector<std::u16string> out;
        AnnotationFile file;
        if (file.OpenOrCreate("\\storage\\eBooks\\zero.txt", nullptr, 0, 1, 0, 0) != 0) return out;
        BookmarkIterator it;
        file.StartIterator(&it, AnnotationFile::kDrawing, 0, 0xFFFFFFFF);
        for (std::int32_t i = file.FindNext(&it); i >= 0; i = file.FindNext(&it)) {
            std::uint32_t length = 0;
            const char16_t* text = file.GetBookmarkText(i, &length);
            out.push_back(text ? std::u16string(text, length) : std::u16string());
        }
        return out;
    };
    {
        AnnotationFile file;
        ASSERT_EQ(file.OpenOrCreate("\\storage\\eBooks\\zero.txt", nullptr, 0, 0, 0, 0), 0);
        const std::int32_t i = file.AddBookmark(AnnotationFile::kDrawing, 300, 320, 0, 0, 0, 0);
        ASSERT_GE(i, 0);
        ASSERT_EQ(file.SetBookmarkText(i, u"Sketch", 6), 0);
        ASSERT_EQ(file.Close(), 0);
    }
    // Modify opens the row's name for editing; End, a character and Enter rename it.
    const std::string edit = "idle\nmenu 40076\nidle\nmenu 40171\nidle\nkey 0x23\n";
    ASSERT_EQ(
        RunSteps(device, {book}, edit + "char 2\nkey 0x0d\nidle\nlisttext " + o + "rows.txt\nquit\n").status,
        0);
    EXPECT_EQ(ReadFile(o + "rows.txt").rfind("5\tSketch2 (", 0), 0u) << ReadFile(o + "rows.txt");
    EXPECT_EQ(drawings(), std::vector<std::u16string>{u"Sketch2"});
    std::string erase;
    for (int i = 0; i < 7; ++i) erase += "key 0x08\n";
    ASSERT_EQ(RunSteps(device, {book}, edit + erase + "answer 1\nkey 0x0d\nidle\nlisttext " + o +
                                      "none.txt\nquit\n").status,
              0);
    EXPECT_TRUE(ReadFile(o + "none.txt").empty()) << ReadFile(o + "none.txt");
    EXPECT_TRUE(drawings().empty());
}

// Annotations made part-way down a page open from the list on that page as it was, not on a
// page that starts at their first word; Back returns to the list.
TEST(AnnotationsList, AnAnnotationOpensOnThePageItWasMadeOn) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    device.WriteOutside("zero.txt", Lines(200));
    const std::string book = device.OutsidePath("zero.txt");
    const std::string o = device.outside() + "/";
    // Three lines down from the page's first word, then the first two words there.
    auto lowerWords = [](int32_t command, const std::string& dialog) {
        return "char 9\nidle\nkey 0x28\nidle\nkey 0x28\nidle\nkey 0x28\nidle\nkey 0x0d\nidle\n"
               "key 0x27\nidle\n" +
               Answer(command) + dialog + "key 0x0d\nidle\nadvance 300\nidle\n";
    };
    const std::string next = "key 0x22\nidle\n";
    ASSERT_EQ(RunSteps(device, {book},
                       "idle\npagetext " + o + "page1.txt\n" + lowerWords(Cmd::kHighlight, "") +
                           next + next + "pagetext " + o + "page3.txt\n" +
                           lowerWords(Cmd::kAddNote, "text Lower note\nanswer 1\n") +
                           "key 0x24\nidle\nquit\n")
                  .status,
              0);
    ASSERT_EQ(
        RunSteps(device, {book}, "idle\nmenu 40076\nidle\nlisttext " + o + "rows.txt\nquit\n").status,
        0);
    const std::vector<std::string> rows = FileLines(o + "rows.txt");
    ASSERT_EQ(rows.size(), 2u) << ReadFile(o + "rows.txt");
    const struct {
        int icon;
        std::string page;
    } made[] = {{2, "page1.txt"}, {1, "page3.txt"}};
    for (const auto& m : made) {
        SCOPED_TRACE(m.icon);
        const int row = RowOf(rows, m.icon);
        ASSERT_GE(row, 0);
        std::string steps = "idle\nmenu 40076\nidle\n";
        for (int i = 0; i < row; ++i) steps += "key 0x28\nidle\n";
        const std::string opened = o + "opened" + std::to_string(m.icon) + ".txt",
                          back = o + "back" + std::to_string(m.icon) + ".txt";
        ASSERT_EQ(RunSteps(device, {book}, steps + "softkey 1\nidle\npagetext " + opened +
                                               "\nkey 0x1b\nidle\nlisttext " + back + "\nquit\n")
                      .status,
                  0);
        EXPECT_EQ(FileLines(opened), FileLines(o + m.page));
        EXPECT_EQ(FileLines(back), rows);
    }
}

// Laid out in a larger font since, the page kept with an annotation may end before it: the
// annotation is still shown when opened from the list.
TEST(AnnotationsList, AnAnnotationIsShownWhenItsPageNoLongerHoldsIt) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    const std::string lines = Lines(200);
    device.WriteOutside("zero.txt", lines);
    const std::string book = device.OutsidePath("zero.txt");
    const std::string o = device.outside() + "/";
    // Eleven lines down on page 3, then four font steps up.
    std::string steps = "idle\nkey 0x22\nidle\nkey 0x22\nidle\nchar 9\nidle\n";
    for (int i = 0; i < 11; ++i) steps += "key 0x28\nidle\n";
    steps += "key 0x0d\nidle\nkey 0x27\nidle\n" + Answer(Cmd::kAddNote) +
             "text Far note\nanswer 1\nkey 0x0d\nidle\nadvance 300\nidle\n";
    for (int i = 0; i < 4; ++i) steps += "menu 40082\nidle\n";
    ASSERT_EQ(RunSteps(device, {book}, steps + "key 0x24\nidle\nquit\n").status, 0);
    std::uint32_t start = 0, end = 0;
    {
        AnnotationFile file;
        ASSERT_EQ(file.OpenOrCreate("\\storage\\eBooks\\zero.txt", nullptr, 0, 1, 0, 0), 0);
        BookmarkIterator it;
        file.StartIterator(&it, AnnotationFile::kNote, 0, 0xFFFFFFFF);
        const std::int32_t i = file.FindNext(&it);
        ASSERT_GE(i, 0);
        ASSERT_EQ(file.GetBookmarkRange(i, &start, &end, nullptr, nullptr, nullptr), 0);
    }
    ASSERT_LT(end, lines.size());
    ASSERT_EQ(RunSteps(device, {book}, "idle\nmenu 40076\nidle\nsoftkey 1\nidle\npagetext " + o +
                                          "opened.txt\nquit\n")
                  .status,
              0);
    std::string shown;
    for (const std::string& line : FileLines(o + "opened.txt")) shown += line + " ";
    // On to the next line's number: "some words" alone is on every line.
    const size_t nextLine = lines.find('\n', end) + 1;
    std::string words = lines.substr(start, nextLine + 17 - start);
    for (char& c : words)
        if (c == '\n') c = ' ';
    EXPECT_NE(shown.find(words), std::string::npos) << words << " | " << shown;
}

// The same link made over words the book gives only a title: the title leads nowhere, so a
// tap on the words follows the reader's own link (the title once took the tap and did nothing).
TEST(SelectingText, ACustomLinkOverTitledWordsIsFollowed) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    std::string html = "<html><body>";
    for (int i = 0; i < 200; ++i)
        html += "<p><span title=\"A hint\">Zero text line " + std::to_string(i) +
                " with some words to fill the page.</span></p>";
    device.WriteOutside("titled.htm", html + "</body></html>");
    const std::string book = device.OutsidePath("titled.htm");
    const std::string target = device.OutsidePath("target.txt"), first = device.OutsidePath("first.txt"),
                      followed = device.OutsidePath("followed.txt");
    ASSERT_EQ(
        RunSteps(device, {book}, MakeCustomLink("key 0x22\nidle\nkey 0x22\nidle\n", target)).status,
        0);
    ASSERT_EQ(RunSteps(device, {book}, "idle\nkey 0x24\nidle\npagetext " + first +
                                      "\ntap 132 40\nidle\nadvance 300\nidle\npagetext " +
                                      followed + "\nquit\n").status,
              0);
    const std::string shown = ReadFile(first);
    ASSERT_NE(shown.find("Zero text line 0"), std::string::npos) << shown;
    ASSERT_NE(ReadFile(target), shown);
    EXPECT_EQ(ReadFile(followed), ReadFile(target));
}

// A book in the books folder whose paragraphs read "<first> text line N with some words...".
void WriteLinesBook(const TempDevice& device, const std::string& name, const std::string& first) {
    std::string html = "<html><body>";
    for (int i = 0; i < 200; ++i)
        html += "<p>" + first + " text line " + std::to_string(i) +
                " with some words to fill the page.</p>";
    html += "</body></html>";
    BookBuilder book;
    book.text.assign(html.begin(), html.end());
    book.fullName = name;
    book.databaseName = name;
    const Bytes bytes = book.Build();
    device.WriteHost("storage/eBooks/" + name + ".prc", std::string(bytes.begin(), bytes.end()));
}

// A custom link into another book: made in Alpha, its target set in Beta (opened from the
// library), it leads by Beta's name ("oeb:redirect?title=Beta") and is followed after a restart.
TEST(SelectingText, ACustomLinkLeadsIntoAnotherBookByItsName) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    WriteLinesBook(device, "Alpha", "Zero");
    WriteLinesBook(device, "Beta", "Beta");
    const std::string alpha = "\\storage\\eBooks\\Alpha.prc";
    const std::string target = device.OutsidePath("target.txt"),
                      followed = device.OutsidePath("followed.txt");
    // Back from a book opened first shows the library; its second row is Beta.
    ASSERT_EQ(
        RunSteps(device, {alpha},
                 MakeCustomLink("softkey 1\nidle\nkey 0x28\nidle\nkey 0x0d\nidle\nkey 0x22\nidle\n",
                                target))
            .status,
        0);
    {
        AnnotationFile file;
        ASSERT_EQ(file.OpenOrCreate(alpha, nullptr, 0, 1, 0, 0), 0);
        BookmarkIterator it;
        file.StartIterator(&it, AnnotationFile::kLink, 0, 0xFFFFFFFF);
        const std::int32_t i = file.FindNext(&it);
        ASSERT_GE(i, 0) << "no link was made";
        std::uint32_t length = 0;
        const char16_t* url = file.GetBookmarkUrl(i, &length);
        ASSERT_NE(url, nullptr);
        EXPECT_EQ(std::u16string(url, length).rfind(u"oeb:redirect?title=Beta", 0), 0u);
    }
    ASSERT_NE(ReadFile(target).find("Beta text line"), std::string::npos) << ReadFile(target);
    ASSERT_EQ(RunSteps(device, {alpha},
                       "idle\nkey 0x24\nidle\ntap 132 40\nidle\nadvance 300\nidle\n"
                       "pagetext " +
                           followed + "\nquit\n")
                  .status,
              0);
    EXPECT_EQ(ReadFile(followed), ReadFile(target));
}

}  // namespace
}  // namespace fvt::test

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
#include "layout/command_ids.h"
#include "reader/command_ids.h"
#include "support/bookfiles/book_builder.h"
#include "support/platform/temp_device.h"
#include "support/shell/program_runner.h"

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

TEST(SelectingText, KeysSelectAHighlightThatIsKeptAndDrawnAfterARestart) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    ProgramRun program(device, FOLIVANT_PROGRAM);
    program.WriteOutside("zero.txt", Lines(200));
    const std::string book = program.Outside("zero.txt");
    const std::string plain = program.Outside("plain.png"), box = program.Outside("box.png"),
                      range = program.Outside("range.png"), after = program.Outside("after.png");
    ASSERT_EQ(program.Run({book}, "idle\nscreenshot " + plain +
                                      "\nchar 9\nidle\nkey 0x27\nidle\nkey 0x27\nidle\n"
                                      "screenshot " +
                                      box +
                                      "\nkey 0x0d\nidle\nkey 0x27\nidle\nkey 0x28\nidle\n"
                                      "screenshot " +
                                      range + "\n" + Answer(Cmd::kHighlight) +
                                      "key 0x0d\nidle\nadvance 300\nidle\nquit\n"),
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

    ASSERT_EQ(program.Run({book}, "idle\nscreenshot " + after + "\nquit\n"), 0);
    EXPECT_EQ(Read(plain).Yellow(), 0);
    EXPECT_GT(Read(after).Yellow(), 200);
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
    ProgramRun program(device, FOLIVANT_PROGRAM);
    program.WriteOutside("zero.txt", Lines(200));
    const std::string book = program.Outside("zero.txt");
    ASSERT_EQ(program.Run({book},
                          "idle\nchar 9\nidle\nkey 0x27\nidle\nkey 0x27\nidle\n"
                          "key 0x0d\nidle\nkey 0x27\nidle\n" +
                              Answer(Cmd::kAddNote) +
                              "text My note\nanswer 1\nkey 0x0d\nidle\n"
                              "advance 300\nidle\nquit\n"),
              0);
    EXPECT_EQ(Notes("zero.txt"), std::vector<std::u16string>{u"My note"});

    // The note's mark sits at the start of its line; its pop-up shows "Edit - Delete" below
    // the text.
    const std::string open = "idle\ntap 7 37\nidle\nadvance 300\nidle\n";
    ASSERT_EQ(program.Run({book}, open + "text Changed note\nanswer 1\ntap 10 50\nidle\n"
                                         "advance 300\nidle\nquit\n"),
              0);
    EXPECT_EQ(Notes("zero.txt"), std::vector<std::u16string>{u"Changed note"});

    ASSERT_EQ(program.Run({book}, open + "tap 55 50\nidle\nadvance 300\nidle\nquit\n"), 0);
    EXPECT_TRUE(Notes("zero.txt").empty());
}

// Delete highlight is offered for a selection that meets a highlight, and removes it.
TEST(SelectingText, AHighlightIsDeletedFromTheSelectionsPopup) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    ProgramRun program(device, FOLIVANT_PROGRAM);
    program.WriteOutside("zero.txt", Lines(200));
    const std::string book = program.Outside("zero.txt");
    const std::string select =
        "idle\nchar 9\nidle\nkey 0x27\nidle\nkey 0x27\nidle\nkey 0x0d\nidle\n"
        "key 0x27\nidle\n";
    ASSERT_EQ(program.Run({book}, select + Answer(Cmd::kHighlight) +
                                      "key 0x0d\nidle\nadvance 300\nidle\nquit\n"),
              0);
    AnnotationFile file;
    ASSERT_EQ(file.OpenOrCreate("\\storage\\eBooks\\zero.txt", nullptr, 0, 1, 0, 0), 0);
    EXPECT_EQ(file.BookmarkCount(), 1u);
    file.Close();
    ASSERT_EQ(program.Run({book}, select + Answer(Cmd::kDeleteHighlight) +
                                      "key 0x0d\nidle\nadvance 300\nidle\nquit\n"),
              0);
    ASSERT_EQ(file.OpenOrCreate("\\storage\\eBooks\\zero.txt", nullptr, 0, 1, 0, 0), 0);
    EXPECT_EQ(file.BookmarkCount(), 0u);
}

// A custom link: "Add link" on a selection of the first page, "Set link target" on a word two
// pages on. After a restart the linked words on the first page are a link to that page.
TEST(SelectingText, ACustomLinkIsAddedAndFollowedFromItsText) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    ProgramRun program(device, FOLIVANT_PROGRAM);
    program.WriteOutside("zero.txt", Lines(200));
    const std::string book = program.Outside("zero.txt");
    const std::string target = program.Outside("target.txt"), first = program.Outside("first.txt"),
                      followed = program.Outside("followed.txt"),
                      back = program.Outside("back.txt");
    ASSERT_EQ(
        program.Run({book},
                    "idle\nchar 9\nidle\nkey 0x27\nidle\nkey 0x27\nidle\n"
                    "key 0x0d\nidle\nkey 0x27\nidle\n" +
                        Answer(Cmd::kAddLink) +
                        "key 0x0d\nidle\nadvance 300\nidle\n"
                        "key 0x22\nidle\nkey 0x22\nidle\npagetext " +
                        target + "\nchar 9\nidle\nkey 0x0d\nidle\nkey 0x27\nidle\n" +
                        Answer(Cmd::kSetLinkTarget) + "key 0x0d\nidle\nadvance 300\nidle\nquit\n"),
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
    ASSERT_EQ(
        program.Run({book}, "idle\nkey 0x24\nidle\npagetext " + first +
                                "\ntap 132 40\nidle\nadvance 300\nidle\npagetext " + followed +
                                "\nsoftkey 1\nidle\npagetext " + back + "\nquit\n"),
        0);
    const std::string shown = ReadFile(first);
    ASSERT_NE(shown.find("Zero text line 0"), std::string::npos) << shown;
    EXPECT_EQ(ReadFile(followed), ReadFile(target));
    EXPECT_EQ(ReadFile(back), shown);
}

// The same link made over words the book gives only a title: the title leads nowhere, so a
// tap on the words follows the reader's own link (the title once took the tap and did nothing).
TEST(SelectingText, ACustomLinkOverTitledWordsIsFollowed) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    ProgramRun program(device, FOLIVANT_PROGRAM);
    std::string html = "<html><body>";
    for (int i = 0; i < 200; ++i)
        html += "<p><span title=\"A hint\">Zero text line " + std::to_string(i) +
                " with some words to fill the page.</span></p>";
    program.WriteOutside("titled.htm", html + "</body></html>");
    const std::string book = program.Outside("titled.htm");
    const std::string target = program.Outside("target.txt"), first = program.Outside("first.txt"),
                      followed = program.Outside("followed.txt");
    ASSERT_EQ(
        program.Run({book},
                    "idle\nchar 9\nidle\nkey 0x27\nidle\nkey 0x27\nidle\n"
                    "key 0x0d\nidle\nkey 0x27\nidle\n" +
                        Answer(Cmd::kAddLink) +
                        "key 0x0d\nidle\nadvance 300\nidle\n"
                        "key 0x22\nidle\nkey 0x22\nidle\npagetext " +
                        target + "\nchar 9\nidle\nkey 0x0d\nidle\nkey 0x27\nidle\n" +
                        Answer(Cmd::kSetLinkTarget) + "key 0x0d\nidle\nadvance 300\nidle\nquit\n"),
        0);
    ASSERT_EQ(program.Run({book}, "idle\nkey 0x24\nidle\npagetext " + first +
                                      "\ntap 132 40\nidle\nadvance 300\nidle\npagetext " +
                                      followed + "\nquit\n"),
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
    ProgramRun program(device, FOLIVANT_PROGRAM);
    WriteLinesBook(device, "Alpha", "Zero");
    WriteLinesBook(device, "Beta", "Beta");
    const std::string alpha = "\\storage\\eBooks\\Alpha.prc";
    const std::string target = program.Outside("target.txt"),
                      followed = program.Outside("followed.txt");
    // Back from a book opened first shows the library; its second row is Beta.
    ASSERT_EQ(
        program.Run({alpha},
                    "idle\nchar 9\nidle\nkey 0x27\nidle\nkey 0x27\nidle\n"
                    "key 0x0d\nidle\nkey 0x27\nidle\n" +
                        Answer(Cmd::kAddLink) +
                        "key 0x0d\nidle\nadvance 300\nidle\n"
                        "softkey 1\nidle\nkey 0x28\nidle\nkey 0x0d\nidle\n"
                        "key 0x22\nidle\npagetext " +
                        target + "\nchar 9\nidle\nkey 0x0d\nidle\nkey 0x27\nidle\n" +
                        Answer(Cmd::kSetLinkTarget) + "key 0x0d\nidle\nadvance 300\nidle\nquit\n"),
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
    ASSERT_EQ(program.Run({alpha},
                          "idle\nkey 0x24\nidle\ntap 132 40\nidle\nadvance 300\nidle\n"
                          "pagetext " +
                              followed + "\nquit\n"),
              0);
    EXPECT_EQ(ReadFile(followed), ReadFile(target));
}

}  // namespace
}  // namespace fvt::test

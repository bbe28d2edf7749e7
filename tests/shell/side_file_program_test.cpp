// Side files of books that share a base name ("zero.txt", "zero.html", "zero.prc"), opened in
// the program in either order: each book keeps its own annotations and reading position, and
// nothing is renamed aside.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "bookfiles/annotation_file.h"
#include "program_runs.h"
#include "support/bookfiles/book_builder.h"
#include "support/platform/temp_device.h"
#include "support/shell/program_launcher.h"

namespace fvt::test {
namespace {

std::string Lines(const char* what, int n) {
    std::string out;
    for (int i = 0; i < n; ++i)
        out += std::string(what) + " line " + std::to_string(i) + " with a few words to fill it.\n";
    return out;
}

std::string Html(int n) {
    std::string out = "<html><body>";
    for (int i = 0; i < n; ++i)
        out += "<p>Html paragraph " + std::to_string(i) + " with a few words to fill it.</p>";
    return out + "</body></html>";
}

std::string Prc() {
    BookBuilder book;
    const std::string text = SampleText(6000);
    book.text.assign(text.begin(), text.end());
    book.fullName = "Zero";
    const Bytes bytes = book.Build();
    return std::string(bytes.begin(), bytes.end());
}

// Pages forward `pages` times and bookmarks the page.
std::string BookmarkSteps(int pages) {
    std::string steps = "idle\n";
    for (int i = 0; i < pages; ++i) steps += "key 0x22\nidle\n";
    return steps + "menu 40079\nidle\nquit\n";
}

struct SideFile {
    std::string name;  // the file's name in the books folder
    std::uint32_t bookmarks = 0;
    bool positioned = false;
};

// The side file the reader finds for a book of the device's books folder.
SideFile Read(const std::string& book) {
    SideFile out;
    AnnotationFile file;
    if (file.OpenOrCreate("\\storage\\eBooks\\" + book, nullptr, 0, 1, 0, 0) != 0) return out;
    const std::string& path = file.GetPath();
    out.name = path.substr(path.find_last_of('\\') + 1);
    out.bookmarks = file.BookmarkCount();
    std::uint32_t word = 0, position = 0;
    out.positioned = file.GetReadingPosition(&word, &position, nullptr) && position > 0;
    EXPECT_EQ(file.OwnerKind(), 1) << book;
    return out;
}

bool NothingSetAside(const TempDevice& device) {
    for (auto& e : std::filesystem::directory_iterator(device.Host("storage/eBooks")))
        if (e.path().filename().string().find(".damaged") != std::string::npos) return false;
    return true;
}

class SharedBaseName : public ::testing::TestWithParam<std::vector<std::string>> {};

// Each book of the pair is opened, paged and bookmarked; then the first again. Both keep their
// bookmark and reading position, the first book keeps "zero.fvt".
TEST_P(SharedBaseName, EachBookKeepsItsAnnotationsInEitherOrder) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    device.WriteOutside("zero.txt", Lines("Text", 400));
    device.WriteOutside("zero.html", Html(400));
    device.WriteOutside("zero.prc", Prc());
    const std::string first = GetParam()[0], second = GetParam()[1];

    ASSERT_EQ(RunSteps(device, {device.OutsidePath(first)}, BookmarkSteps(2)).status, 0);
    ASSERT_EQ(RunSteps(device, {device.OutsidePath(second)}, BookmarkSteps(1)).status, 0);
    ASSERT_EQ(RunSteps(device, {device.OutsidePath(first)}, "idle\nkey 0x22\nidle\nquit\n").status,
              0);
    ASSERT_EQ(RunSteps(device, {device.OutsidePath(second)}, "idle\nquit\n").status, 0);

    SideFile a = Read(first), b = Read(second);
    EXPECT_EQ(a.name, "zero.fvt");
    EXPECT_EQ(b.name, second + ".fvt");
    EXPECT_EQ(a.bookmarks, 1u);
    EXPECT_EQ(b.bookmarks, 1u);
    EXPECT_TRUE(a.positioned);
    EXPECT_TRUE(b.positioned);
    EXPECT_TRUE(NothingSetAside(device));
}

INSTANTIATE_TEST_SUITE_P(Pairs, SharedBaseName,
                         ::testing::Values(std::vector<std::string>{"zero.txt", "zero.html"},
                                           std::vector<std::string>{"zero.html", "zero.txt"},
                                           std::vector<std::string>{"zero.prc", "zero.txt"},
                                           std::vector<std::string>{"zero.txt", "zero.prc"}));

// A side file written before side files named their book belongs to whichever book it was made
// for: the other book of that base name leaves it as it is and gets one of its own.
TEST(SharedBaseName, AnOlderSideFileStaysWithItsBook) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    device.WriteOutside("zero.txt", Lines("Text", 400));
    device.WriteOutside("zero.html", Html(400));
    ASSERT_EQ(RunSteps(device, {device.OutsidePath("zero.txt")}, BookmarkSteps(2)).status, 0);
    {
        // Made older: the book's name goes.
        AnnotationFile file;
        ASSERT_EQ(file.Open("\\storage\\eBooks\\zero.fvt", 0, 0), 0);
        ByteSpan main;
        ASSERT_TRUE(file.GetData(0, &main));
        ASSERT_GT(main.size, AnnotationFile::kMainSize);
        const std::vector<std::uint8_t> fields(main.data, main.data + AnnotationFile::kMainSize);
        ASSERT_TRUE(file.ReplaceData(0, fields.data(), AnnotationFile::kMainSize));
        ASSERT_EQ(file.Close(), 0);
    }
    ASSERT_EQ(RunSteps(device, {device.OutsidePath("zero.html")}, BookmarkSteps(1)).status, 0);
    ASSERT_EQ(RunSteps(device, {device.OutsidePath("zero.txt")}, "idle\nquit\n").status, 0);

    SideFile a = Read("zero.txt"), b = Read("zero.html");
    EXPECT_EQ(a.name, "zero.fvt");
    EXPECT_EQ(b.name, "zero.html.fvt");
    EXPECT_EQ(a.bookmarks, 1u);
    EXPECT_EQ(b.bookmarks, 1u);
    EXPECT_TRUE(a.positioned);
    EXPECT_TRUE(NothingSetAside(device));
}

// The book a side file was made for is gone, and another book of that base name opens: the
// file is kept aside with a word, and the other book's notes are not taken for this one's.
TEST(SharedBaseName, TheFileOfABookNoLongerThereIsKeptAsideNotTakenOver) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    device.WriteOutside("zero.txt", Lines("Text", 400));
    device.WriteOutside("zero.html", Html(400));
    ASSERT_EQ(RunSteps(device, {device.OutsidePath("zero.txt")}, BookmarkSteps(2)).status, 0);
    const std::string before = device.ReadHost("storage/eBooks/zero.fvt");
    std::filesystem::remove(device.Host("storage/eBooks/zero.txt"));

    const ProgramResult run = RunSteps(device, {device.OutsidePath("zero.html")}, "idle\nquit\n");
    EXPECT_EQ(run.status, 0) << run.Describe();
    EXPECT_NE(run.err.find("The annotations file of \\storage\\eBooks\\zero.html named another "
                           "book"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(device.ReadHost("storage/eBooks/zero.fvt.damaged"), before);
    const SideFile html = Read("zero.html");
    EXPECT_EQ(html.name, "zero.fvt");
    EXPECT_EQ(html.bookmarks, 0u);
    EXPECT_FALSE(device.HostExists("storage/eBooks/zero.html.fvt"));
}

}  // namespace
}  // namespace fvt::test

namespace fvt::test {
namespace {

// The bookmarks of a side file, as (start, end) places.
std::vector<std::pair<std::uint32_t, std::uint32_t>> Marks(const std::string& book) {
    std::vector<std::pair<std::uint32_t, std::uint32_t>> out;
    AnnotationFile file;
    if (file.OpenOrCreate("\\storage\\eBooks\\" + book, nullptr, 0, 1, 0, 0) != 0) return out;
    BookmarkIterator it;
    file.StartIterator(&it, 0, 0, 0xFFFFFFFF);
    for (std::int32_t i = file.FindNext(&it); i >= 0; i = file.FindNext(&it)) {
        std::uint32_t start = 0, end = 0, a = 0, b = 0, style = 0;
        file.GetBookmarkRange(i, &start, &end, &a, &b, &style);
        out.push_back({start, end});
    }
    return out;
}

int Count(const std::string& text, const std::string& part) {
    int n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

// A text file that grew after it was bookmarked: the reader is told once, naming the book; the
// old side file is kept whole under a name that says why (not "damaged"); the bookmark, still
// inside the text, stays.
TEST(ChangedBook, AGrownTextFileKeepsItsBookmarkAndItsOldSideFileAside) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    device.WriteOutside("notes.txt", Lines("Notes", 400));
    ASSERT_EQ(RunSteps(device, {device.OutsidePath("notes.txt")}, BookmarkSteps(2)).status, 0);
    const auto marks = Marks("notes.txt");
    ASSERT_EQ(marks.size(), 1u);
    const std::string before = device.ReadHost("storage/eBooks/notes.fvt");

    device.WriteOutside("notes.txt", Lines("Notes", 400) + "One more line.\n");
    const ProgramResult run =
        RunSteps(device, {device.OutsidePath("notes.txt")}, "idle\nquit\n");
    EXPECT_EQ(run.status, 0) << run.Describe();
    EXPECT_EQ(Count(run.err, "\\storage\\eBooks\\notes.txt has changed since it was annotated"),
              1)
        << run.err;
    EXPECT_EQ(device.ReadHost("storage/eBooks/notes.fvt.book-changed"), before);
    EXPECT_TRUE(NothingSetAside(device));
    EXPECT_EQ(Marks("notes.txt"), marks);

    // Told once: the next opening is quiet and keeps the bookmark.
    const ProgramResult again =
        RunSteps(device, {device.OutsidePath("notes.txt")}, "idle\nquit\n");
    EXPECT_EQ(again.status, 0) << again.Describe();
    EXPECT_EQ(Count(again.err, "has changed"), 0) << again.err;
    EXPECT_EQ(Marks("notes.txt"), marks);
    EXPECT_FALSE(device.HostExists("storage/eBooks/notes.fvt.book-changed2"));
}

// Another book under the name of an annotated one: its notes are not this book's. They are kept
// aside whole, the reader is told, and the new book starts with none.
TEST(ChangedBook, AnotherBookOfTheSameNameStartsCleanAndTheOldNotesAreKept) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    device.WriteOutside("zero.prc", Prc());
    ASSERT_EQ(RunSteps(device, {device.OutsidePath("zero.prc")}, BookmarkSteps(1)).status, 0);
    const std::string before = device.ReadHost("storage/eBooks/zero.fvt");
    BookBuilder other;
    const std::string text = SampleText(7000, 9);
    other.text.assign(text.begin(), text.end());
    other.uniqueId = 0x0BADF00D;
    const Bytes bytes = other.Build();
    device.WriteOutside("zero.prc", std::string(bytes.begin(), bytes.end()));
    const ProgramResult run = RunSteps(device, {device.OutsidePath("zero.prc")}, "idle\nquit\n");
    EXPECT_EQ(run.status, 0) << run.Describe();
    EXPECT_EQ(Count(run.err, "\\storage\\eBooks\\zero.prc has changed since it was annotated"), 1)
        << run.err;
    EXPECT_EQ(device.ReadHost("storage/eBooks/zero.fvt.book-changed"), before);
    EXPECT_TRUE(Marks("zero.prc").empty());
}

// Another book put under the name of an annotated one, annotated in its turn, then the first
// book put back byte for byte: its annotations are listed again, with the one made on the other
// book beside them, and the reader is told.
TEST(ChangedBook, TheOriginalPutBackTakesItsAnnotationsBack) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    const std::string original = Prc();
    device.WriteOutside("zero.prc", original);
    const std::string o = device.outside() + "/";
    // Bookmarks on the first and the third page.
    ASSERT_EQ(RunSteps(device, {device.OutsidePath("zero.prc")},
                       "idle\nmenu 40079\nidle\nkey 0x22\nidle\nkey 0x22\nidle\nmenu 40079\n"
                       "idle\nquit\n")
                  .status,
              0);
    ASSERT_EQ(Marks("zero.prc").size(), 2u);
    BookBuilder other;
    const std::string text = SampleText(7000, 9);
    other.text.assign(text.begin(), text.end());
    other.uniqueId = 0x0BADF00D;
    const Bytes bytes = other.Build();
    device.WriteOutside("zero.prc", std::string(bytes.begin(), bytes.end()));
    ASSERT_EQ(RunSteps(device, {device.OutsidePath("zero.prc")}, BookmarkSteps(1)).status, 0);
    ASSERT_EQ(Marks("zero.prc").size(), 1u);

    device.WriteOutside("zero.prc", original);
    const ProgramResult run =
        RunSteps(device, {device.OutsidePath("zero.prc")},
                 "idle\nmenu 40076\nidle\nlisttext " + o + "list.txt\nquit\n");
    EXPECT_EQ(run.status, 0) << run.Describe();
    EXPECT_EQ(Count(run.err, "\\storage\\eBooks\\zero.prc is again the book its annotations"), 1)
        << run.err;
    EXPECT_EQ(Count(run.err, "has changed"), 0) << run.err;
    int rows = 0;
    for (const std::string& line : ReadLines(o + "list.txt")) rows += !line.empty();
    EXPECT_EQ(rows, 3);
    EXPECT_EQ(Marks("zero.prc").size(), 3u);
    // What was made on the other book is kept aside whole too.
    EXPECT_TRUE(device.HostExists("storage/eBooks/zero.fvt.book-changed2"));
}

// A text file that grew, then was put back as it was: its side file kept aside for the change
// comes back; the bookmark kept across the change is not doubled.
TEST(ChangedBook, ATextFilePutBackAsItWasTakesItsSideFileBack) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    const std::string original = Lines("Notes", 400);
    device.WriteOutside("notes.txt", original);
    ASSERT_EQ(RunSteps(device, {device.OutsidePath("notes.txt")}, BookmarkSteps(2)).status, 0);
    const auto marks = Marks("notes.txt");
    ASSERT_EQ(marks.size(), 1u);
    device.WriteOutside("notes.txt", original + "One more line.\n");
    ASSERT_EQ(RunSteps(device, {device.OutsidePath("notes.txt")}, "idle\nquit\n").status, 0);
    ASSERT_TRUE(device.HostExists("storage/eBooks/notes.fvt.book-changed"));

    device.WriteOutside("notes.txt", original);
    const ProgramResult run = RunSteps(device, {device.OutsidePath("notes.txt")}, "idle\nquit\n");
    EXPECT_EQ(run.status, 0) << run.Describe();
    EXPECT_EQ(Count(run.err, "\\storage\\eBooks\\notes.txt is again the book its annotations"), 1)
        << run.err;
    EXPECT_EQ(Count(run.err, "has changed"), 0) << run.err;
    EXPECT_EQ(Marks("notes.txt"), marks);
    // Told once: the next opening is quiet.
    const ProgramResult again = RunSteps(device, {device.OutsidePath("notes.txt")}, "idle\nquit\n");
    EXPECT_EQ(Count(again.err, "is again the book"), 0) << again.err;
    EXPECT_EQ(Marks("notes.txt"), marks);
}

// An HTML book changed and put back twice: the side file comes back each time and the file made
// in between, holding only what the old one holds, leaves no copy beside the book.
TEST(ChangedBook, AnHtmlBookPutBackLeavesNoStaleCopy) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    const std::string original = Html(300);
    device.WriteOutside("story.html", original);
    ASSERT_EQ(RunSteps(device, {device.OutsidePath("story.html")}, BookmarkSteps(2)).status, 0);
    const auto marks = Marks("story.html");
    ASSERT_EQ(marks.size(), 1u);
    for (int cycle = 0; cycle < 2; ++cycle) {
        device.WriteOutside("story.html", original + "<p>One more line.</p>\n");
        ASSERT_EQ(RunSteps(device, {device.OutsidePath("story.html")}, "idle\nquit\n").status, 0);
        ASSERT_TRUE(device.HostExists("storage/eBooks/story.fvt.book-changed"));
        device.WriteOutside("story.html", original);
        const ProgramResult run =
            RunSteps(device, {device.OutsidePath("story.html")}, "idle\nquit\n");
        EXPECT_EQ(run.status, 0) << run.Describe();
        EXPECT_EQ(Count(run.err, "is again the book its annotations"), 1) << run.err;
        EXPECT_EQ(Marks("story.html"), marks);
        EXPECT_FALSE(device.HostExists("storage/eBooks/story.fvt.book-changed")) << cycle;
        EXPECT_FALSE(device.HostExists("storage/eBooks/story.fvt.book-changed2")) << cycle;
    }
    EXPECT_TRUE(NothingSetAside(device));
}

}  // namespace
}  // namespace fvt::test

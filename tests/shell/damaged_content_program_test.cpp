// Books whose header does not add up: a page that can be read is shown, one that cannot says so
// ("File corrupted") and the run ends with status 1; never a blank page with status 0.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "program_runs.h"
#include "bookfiles/book_header.h"
#include "support/bookfiles/book_builder.h"
#include "support/bookfiles/pdb_builder.h"
#include "support/media/image/picture_fixtures.h"
#include "support/platform/temp_device.h"
#include "support/shell/program_launcher.h"

namespace fvt::test {
namespace {

std::size_t Record0(const std::string& book) {
    return static_cast<unsigned char>(book[78]) << 24 | static_cast<unsigned char>(book[79]) << 16 |
           static_cast<unsigned char>(book[80]) << 8 | static_cast<unsigned char>(book[81]);
}

void PutU32(std::string& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (24 - 8 * i));
}

std::string Build(BookBuilder& book, const std::string& text) {
    book.text.assign(text.begin(), text.end());
    const Bytes bytes = book.Build();
    return std::string(bytes.begin(), bytes.end());
}

// 10 KB of text after a header that counts none of it: the text is read from its records, to
// its last word.
TEST(DamagedHeaders, APalmDocBookWhoseHeaderCountsNoTextShowsItsText) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    for (std::uint32_t compression : {1u, 2u}) {
        BookBuilder book;
        book.palmDoc = true;
        book.compression = compression;
        const std::string text = SampleText(10000, 4) + " The very last words.";
        std::string bytes = Build(book, text);
        PutU32(bytes, Record0(bytes) + 4, 0);
        const std::string name = "lost" + std::to_string(compression) + ".pdb";
        device.WriteOutside(name, bytes);
        const std::string first = device.OutsidePath("first.txt");
        const std::string last = device.OutsidePath("last.txt");
        const ProgramResult run =
            RunSteps(device, {device.OutsidePath(name)},
                     "idle\npagetext " + first + "\nkey 0x23\nidle\npagetext " + last + "\nquit\n");
        EXPECT_EQ(run.status, 0) << run.Describe();
        const std::string shown = Joined(ReadLines(first));
        EXPECT_NE(shown.find(text.substr(0, 20)), std::string::npos) << shown;
        std::string end = Joined(ReadLines(last));
        for (char& c : end)
            if (c == '\n') c = ' ';
        EXPECT_NE(end.find("The very last words."), std::string::npos) << end;
    }
}

// A PalmDOC book whose text records are shorter than the record size its header states (3000
// bytes of text in each of four): End shows the book's last words, not padding between records.
TEST(DamagedHeaders, APalmDocBookWithShortRecordsShowsItsLastWordsAtEnd) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    std::string text = SampleText(20000, 6);
    text.resize(12000 - 21);
    text += " The very last words.";
    PdbBuilder pdb;
    pdb.name = "Short";
    pdb.type = "TEXt";
    pdb.creator = "REAd";
    Bytes head;
    ::PutU16(head, 1);  // uncompressed
    ::PutU16(head, 0);
    ::PutU32(head, 12000);
    ::PutU16(head, 4);
    ::PutU16(head, 4096);
    ::PutU32(head, 0);
    pdb.Add(head);
    for (std::size_t k = 0; k < 4; ++k) pdb.Add(ToBytes(text.substr(k * 3000, 3000)));
    const Bytes bytes = pdb.Build();
    device.WriteOutside("short.pdb", std::string(bytes.begin(), bytes.end()));
    const std::string first = device.OutsidePath("first.txt"), last = device.OutsidePath("last.txt");
    const ProgramResult run =
        RunSteps(device, {device.OutsidePath("short.pdb")},
                 "idle\npagetext " + first + "\nkey 0x23\nidle\npagetext " + last + "\nquit\n");
    EXPECT_EQ(run.status, 0) << run.Describe();
    EXPECT_NE(Joined(ReadLines(first)).find(text.substr(0, 20)), std::string::npos);
    std::string end = Joined(ReadLines(last));
    for (char& c : end)
        if (c == '\n') c = ' ';
    EXPECT_NE(end.find("The very last words."), std::string::npos) << end;
}

// Trailing-entry flags no record can carry: every page would be blank; the reader is told the
// book is damaged instead.
TEST(DamagedHeaders, ImpossibleTrailingEntryFlagsAreToldAsACorruptBook) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    BookBuilder book;
    book.fullName = "Flags";
    std::string bytes = Build(book, SampleText(9000, 5));
    // The FOLV header starts 16 bytes into record 0; the flags are its word at 180.
    PutU32(bytes, Record0(bytes) + 16 + 180, 0xFFFE);
    device.WriteOutside("flags.prc", bytes);
    const ProgramResult run =
        RunSteps(device, {device.OutsidePath("flags.prc")}, "idle\nquit\n");
    EXPECT_EQ(run.status, 1) << run.Describe();
    EXPECT_NE(run.err.find("folivant: Error: File corrupted \\storage\\eBooks\\flags.prc"),
              std::string::npos)
        << run.err;
}

std::string Bmp(const std::vector<Rgb>& palette, std::size_t keep = std::string::npos) {
    BmpSpec bmp;
    bmp.width = 40;
    bmp.height = 30;
    bmp.bits = 8;
    bmp.palette = palette;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) bmp.pixels.push_back(static_cast<std::uint8_t>((x / 4 + y / 4) % 2));
    const std::vector<std::uint8_t> bytes = WriteBmp(bmp);
    return std::string(bytes.begin(), bytes.end()).substr(0, keep);
}

// A picture cut short inside its pixels keeps its place on the page and shows that it is there
// (a framed placeholder), where it used to leave the same white as a blank picture.
TEST(DamagedPictures, APictureCutShortShowsAPlaceholderNotABlank) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    const std::string page =
        "<html><body><p>Before</p><p><img src=\"pic.bmp\"></p><p>After</p></body></html>";
    const Rgb white{255, 255, 255};
    struct Run {
        std::string picture, folder, shot, text;
    } runs[] = {{Bmp({{0, 0, 0}, white}, 334), "cut", "", ""},
                {Bmp({white, white}), "blank", "", ""}};
    for (Run& r : runs) {
        const std::string host = device.outside() + "/" + r.folder;
        std::filesystem::create_directories(host);
        std::ofstream(host + "/page.html", std::ios::binary) << page;
        std::ofstream(host + "/pic.bmp", std::ios::binary) << r.picture;
        r.shot = host + "/shot.png";
        r.text = host + "/text.txt";
        const ProgramResult run = RunSteps(device, {host + "/page.html"},
                                           "idle\npagetext " + r.text + "\nscreenshot " + r.shot +
                                               "\nquit\n");
        ASSERT_EQ(run.status, 0) << run.Describe();
        EXPECT_EQ(Joined(ReadLines(r.text)), "Before\n[40x30]\nAfter\n") << r.folder;
    }
    const Picture cut = ReadPicture(runs[0].shot), blank = ReadPicture(runs[1].shot);
    ASSERT_GT(cut.height, 0);
    EXPECT_TRUE(cut.RowsDiffer(blank, 0, cut.height));
}

// A book whose cover picture is cut short: the cover page shows the placeholder, not the same
// black as a cover that is black all over.
TEST(DamagedPictures, ACoverCutShortIsNotABlankPage) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    const Rgb black{0, 0, 0};
    struct Run {
        std::string cover, name, shot;
    } runs[] = {{Bmp({black, {255, 255, 255}}, 334), "cut", ""},
                {Bmp({black, black}), "black", ""}};
    for (Run& r : runs) {
        BookBuilder book;
        const std::string text = "<html><body><p>The text after the cover.</p></body></html>";
        book.text.assign(text.begin(), text.end());
        book.fullName = "Covered";
        book.resources = {Bytes(r.cover.begin(), r.cover.end())};
        book.exth = {{Exth::kCoverOffset, std::vector<std::uint8_t>{0, 0, 0, 0}}};
        const Bytes bytes = book.Build();
        device.WriteOutside(r.name + ".prc", std::string(bytes.begin(), bytes.end()));
        r.shot = device.OutsidePath(r.name + ".png");
        const ProgramResult run = RunSteps(device, {device.OutsidePath(r.name + ".prc")},
                                           "idle\nscreenshot " + r.shot + "\nquit\n");
        ASSERT_EQ(run.status, 0) << run.Describe();
    }
    const Picture cut = ReadPicture(runs[0].shot), dark = ReadPicture(runs[1].shot);
    ASSERT_GT(cut.height, 0);
    // Below the caption, above the soft keys.
    EXPECT_TRUE(cut.RowsDiffer(dark, 30, cut.height - 30));
}

// The pixels of a screenshot in the grey of the frame a damaged picture is drawn with (as the
// device's screen shows it: each channel near the middle).
int GreyPixels(const Picture& shot) {
    int n = 0;
    for (std::uint32_t p : shot.pixels) {
        bool grey = true;
        for (int channel = 0; channel < 3; ++channel) {
            const int v = static_cast<int>((p >> (8 * channel)) & 0xFF);
            grey = grey && v >= 120 && v <= 140;
        }
        n += grey;
    }
    return n;
}

// An RLE8 bitmap of 40 by 30 in stripes of the two colours, each row five runs of 8 pixels;
// with `damagedRow`, that row's first run is longer than any row.
std::string RleBmp(int damagedRow = -1) {
    BmpSpec bmp;
    bmp.width = 40;
    bmp.height = 30;
    bmp.bits = 8;
    bmp.compression = 1;
    bmp.palette = {{0, 0, 0}, {255, 255, 255}};
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 40; x += 8) {
            bmp.rle.push_back(y == damagedRow && x == 0 ? 200 : 8);
            bmp.rle.push_back(static_cast<std::uint8_t>((x / 8 + y) % 2));
        }
        bmp.rle.push_back(0);
        bmp.rle.push_back(0);  // end of the row
    }
    bmp.rle.push_back(0);
    bmp.rle.push_back(1);  // end of the picture
    const std::vector<std::uint8_t> bytes = WriteBmp(bmp);
    return std::string(bytes.begin(), bytes.end());
}

// A damaged picture opened by itself: the rows decoded before the damage show, in the grey frame
// and cross a damaged picture has inside a page (a whole picture has none); a picture of which
// nothing could be decoded (cut inside its first row) is told as one that cannot be opened, and
// the run fails. Never a white page with status 0.
TEST(DamagedPictures, APictureCutShortOpenedByItselfIsNeverASilentWhitePage) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    device.WriteOutside("cut.bmp", RleBmp(15));
    device.WriteOutside("whole.bmp", RleBmp());
    Picture shots[2];
    const char* names[2] = {"cut", "whole"};
    for (int i = 0; i < 2; ++i) {
        const std::string shot = device.OutsidePath(std::string(names[i]) + ".png");
        const ProgramResult run =
            RunSteps(device, {device.OutsidePath(std::string(names[i]) + ".bmp")},
                     "idle\nscreenshot " + shot + "\nquit\n");
        EXPECT_EQ(run.status, 0) << run.Describe();
        shots[i] = ReadPicture(shot);
        ASSERT_GT(shots[i].height, 0) << names[i];
    }
    // The frame's four sides and its two diagonals, at the picture's own size, beyond what the
    // screen shows around a whole picture.
    EXPECT_GE(GreyPixels(shots[0]), GreyPixels(shots[1]) + 2 * 40 + 2 * 30);

    // Cut short, a picture whose rows are decoded only when all are there shows none of them.
    device.WriteOutside("rows.bmp", Bmp({{0, 0, 0}, {255, 255, 255}}, 334));
    const ProgramResult run =
        RunSteps(device, {device.OutsidePath("rows.bmp")}, "idle\nquit\n");
    EXPECT_EQ(run.status, 1) << run.Describe();
    EXPECT_NE(run.err.find("folivant: Error: Could not open: \\storage\\eBooks\\rows.bmp"),
              std::string::npos)
        << run.err;
}

// ---- HTML frame sets -------------------------------------------------------------------------

// A page made only of frames shows no page of its own: the reader says so, opened by itself or
// through a link, whether its frames show the page itself or nest frame sets in frame sets.
TEST(FrameSets, APageMadeOnlyOfFramesSaysItCannotBeShown) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    device.WriteHost("storage/eBooks/self.html",
                     "<html><head><title>Self</title></head>\n<FRAMESET cols=\"30%,70%\">\n"
                     "  <frame src=\"self.html\" name=\"left\">\n"
                     "  <frame src=\"self.html\" name=\"right\">\n</FRAMESET>\n</html>\n");
    std::string nested = "<html><head><title>Nested</title></head>\n";
    for (int i = 0; i < 40; ++i) nested += "<frameset rows=\"10%,*\"><frame src=\"top.html\">\n";
    for (int i = 0; i < 40; ++i) nested += "</frameset>\n";
    device.WriteHost("storage/eBooks/nested.html", nested + "</html>\n");
    device.WriteHost("storage/eBooks/start.html",
                     "<html><body><p><a href=\"nested.html\">The manual in frames</a></p>"
                     "</body></html>\n");
    const std::string o = device.outside() + "/";
    for (const std::string name : {"self", "nested"}) {
        const ProgramResult run = RunSteps(device, {"\\storage\\eBooks\\" + name + ".html"},
                                           "shelllog " + o + name + ".log\nquit\n");
        EXPECT_EQ(run.status, 0) << run.err;
        const std::string log = ReadFile(o + name + ".log");
        EXPECT_NE(log.find("MessageBox Error: \\storage\\eBooks\\" + name +
                           ".html is made of frames, which the reader cannot show."),
                  std::string::npos)
            << name << ":\n" << log;
    }
    // Reached by a link from another page.
    const ProgramResult run = RunSteps(device, {"\\storage\\eBooks\\start.html"},
                                       "key 0x28\nkey 0x0d\nshelllog " + o + "link.log\nquit\n");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(ReadFile(o + "link.log").find("nested.html is made of frames"), std::string::npos)
        << ReadFile(o + "link.log");
}

// A frame set with its own text for readers without frames shows that text, and nothing more
// is said.
TEST(FrameSets, AFrameSetWithTextInPlaceOfItsFramesShowsThatText) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    device.WriteHost("storage/eBooks/framed.html",
                     "<html><frameset cols=\"50%,50%\"><frame src=\"a.html\"><frame src=\"b.html\">"
                     "<noframes><body><p>Contents without frames</p></body></noframes>"
                     "</frameset></html>\n");
    const std::string o = device.outside() + "/";
    const ProgramResult run =
        RunSteps(device, {"\\storage\\eBooks\\framed.html"},
                 "pagetext " + o + "page.txt\nshelllog " + o + "log.txt\nquit\n");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(ReadFile(o + "page.txt").find("Contents without frames"), std::string::npos);
    EXPECT_EQ(ReadFile(o + "log.txt").find("MessageBox"), std::string::npos)
        << ReadFile(o + "log.txt");
}

}  // namespace
}  // namespace fvt::test

// The library in the running program: reading lists, the memory information and the rows of
// books, driven by scripts on fixture devices.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "support/bookfiles/book_builder.h"
#include "support/shell/program_launcher.h"
#include "support/shell/screenshot.h"

namespace fvt::test {
namespace {

constexpr std::uint32_t kWhite = 0xFFFFFF;

void AddBook(const TempDevice& device, const std::string& title) {
    BookBuilder book;
    const std::string text = SampleText(1500);
    book.text.assign(text.begin(), text.end());
    book.fullName = title;
    const Bytes bytes = book.Build();
    device.WriteHost("storage/eBooks/" + title + ".prc", std::string(bytes.begin(), bytes.end()));
}

// UTF-16 of an ASCII text, as the configuration file keeps names.
std::string Utf16(const std::string& ascii) {
    std::string out;
    for (char c : ascii) {
        out.push_back(c);
        out.push_back('\0');
    }
    return out;
}

// A reading list made in the Add / Remove dialog is kept in the global configuration; after a
// restart the Reading list menu offers it, and choosing it filters the library down to the
// books that hold it (none here), where the unfiltered library shows both books.
TEST(ReadingLists, CreatedInTheDialogSurviveARestartAndFilterTheLibrary) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    AddBook(device, "Alpha");
    AddBook(device, "Beta");
    const std::string all = device.outside() + "/all.png";
    // Edit reading lists, New, OK (the new row keeps its proposed name).
    const std::string edit = "idle\nanswer 40074\nanswer 1029\nanswer 1\nsoftkey 2\nidle\n";
    ASSERT_EQ(RunSteps(device, {}, edit + "screenshot " + all + "\nquit\n").status, 0);
    const std::string config = device.ReadHost("Windows/FVT_global_configuration.fvt");
    EXPECT_NE(config.find(Utf16("My Reading list")), std::string::npos);

    const std::string filtered = device.outside() + "/filtered.png";
    ASSERT_EQ(RunSteps(device, {},
                       "idle\nanswer 10004\nsoftkey 2\nidle\nscreenshot " + filtered + "\nquit\n")
                  .status,
              0);
    Screen before, after;
    ASSERT_TRUE(before.Read(all));
    ASSERT_TRUE(after.Read(filtered));
    // The rows of the first two books (below the title strip), blank once filtered.
    EXPECT_GT(before.CountOther(0, 50, before.width, 90, kWhite), 200);
    EXPECT_EQ(after.CountOther(4, 50, after.width - 8, 60, kWhite), 0);
}

// A book's title and author in its own encoding: the same book in UTF-16 and in code page
// 1252 shows the same row in the library (UTF-16 strings were cut at their first zero byte).
TEST(LibraryRows, TitlesAndAuthorsReadInTheBooksEncoding) {
    const std::u16string title = u"\u00C9quipe du phare";
    const std::u16string author = u"L\u00E9a Martin";
    const std::u16string text = u"Le phare veille sur la baie. ";
    auto utf16 = [](const std::u16string& s) {
        Bytes out;
        for (char16_t c : s) {
            out.push_back(static_cast<std::uint8_t>(c & 0xFF));
            out.push_back(static_cast<std::uint8_t>(c >> 8));
        }
        return out;
    };
    auto latin = [](const std::u16string& s) {
        Bytes out;
        for (char16_t c : s) out.push_back(static_cast<std::uint8_t>(c));
        return out;
    };
    Screen shots[2];
    for (int wide = 0; wide < 2; ++wide) {
        TempDevice device;
        ASSERT_TRUE(device.ok());
        auto encode = [&](const std::u16string& s) { return wide ? utf16(s) : latin(s); };
        BookBuilder book;
        book.codePage = wide ? 65002 : 1252;
        book.text = encode(text);
        const Bytes name = encode(title);
        book.fullName.assign(name.begin(), name.end());
        book.exth.push_back({100, encode(author)});
        const Bytes bytes = book.Build();
        device.WriteHost("storage/eBooks/phare.prc", std::string(bytes.begin(), bytes.end()));
        const std::string shot = device.outside() + "/library.png";
        ASSERT_EQ(RunSteps(device, {}, "idle\nscreenshot " + shot + "\nquit\n").status, 0);
        ASSERT_TRUE(shots[wide].Read(shot));
    }
    // The row's title and author lines (left of where the size may stand).
    const int rowTop = 46, rowHeight = 36, width = 150;
    EXPECT_GT(shots[0].CountOther(0, rowTop, width, rowHeight, 0xFFFFFF), 200);
    int differ = 0;
    for (int y = rowTop; y < rowTop + rowHeight; ++y)
        for (int x = 0; x < width; ++x) differ += shots[0].At(x, y) != shots[1].At(x, y) ? 1 : 0;
    EXPECT_EQ(differ, 0);
}

// The selected row's bar runs to the list's right edge, or to the scroll bar that a list
// longer than the screen shows there (the room was left blank before).
TEST(LibraryRows, TheSelectionBarReachesTheEdgeOrTheScrollBar) {
    for (int books : {2, 9}) {
        TempDevice device;
        ASSERT_TRUE(device.ok());
        for (int i = 0; i < books; ++i) AddBook(device, "Book " + std::string(1, char('A' + i)));
        const std::string shot = device.outside() + "/library.png";
        ASSERT_EQ(RunSteps(device, {}, "idle\nscreenshot " + shot + "\nquit\n").status, 0);
        Screen screen;
        ASSERT_TRUE(screen.Read(shot));
        // The first row (selected) lies below the strip; its right end, in the bar's navy.
        const std::uint32_t navy = screen.At(20, 50);
        ASSERT_NE(navy, kWhite);
        if (books == 2) {
            EXPECT_EQ(screen.At(screen.width - 3, 50), navy);
        } else {
            EXPECT_EQ(screen.CountOf(screen.width - 10, 50, 8, 200, kWhite), 0);
            EXPECT_GT(screen.CountOf(screen.width - 10, 50, 8, 200, navy) +
                          screen.CountOf(screen.width - 10, 50, 8, 200, 0x808080),
                      0);
        }
    }
}

// The horizontal extent of the dark pixels of a rectangle (0 when none).
int InkWidth(const Screen& s, int x, int y, int w, int h) {
    int left = x + w, right = x - 1;
    for (int j = y; j < y + h; ++j)
        for (int i = x; i < x + w; ++i) {
            const std::uint32_t p = s.At(i, j);
            if (((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF) < 200) {
                left = std::min(left, i);
                right = std::max(right, i);
            }
        }
    return right >= left ? right - left + 1 : 0;
}

// The title strip's total size ("12 KB") is shown whole at 192 dots per inch too: the strip's
// part was measured in a 96-dpi font and the text drawn twice as large ended in "1...".
TEST(LibraryRows, TheTitleStripShowsTheTotalSizeWholeAtEitherDensity) {
    int widths[2] = {0, 0};
    const char* screens[2] = {"FOLIVANT_SCREEN=240x320@96", "FOLIVANT_SCREEN=480x640@192"};
    for (int high = 0; high < 2; ++high) {
        TempDevice device;
        ASSERT_TRUE(device.ok());
        for (const char* title : {"Alpha", "Beta"}) {
            BookBuilder book;
            const std::string text = SampleText(6000);
            book.text.assign(text.begin(), text.end());
            book.fullName = title;
            const Bytes bytes = book.Build();
            device.WriteHost(std::string("storage/eBooks/") + title + ".prc",
                             std::string(bytes.begin(), bytes.end()));
        }
        const std::string shot = device.outside() + "/library.png";
        ASSERT_EQ(
            RunSteps(device, {}, "idle\nscreenshot " + shot + "\nquit\n", {screens[high]}).status,
            0);
        Screen screen;
        ASSERT_TRUE(screen.Read(shot));
        const int scale = high ? 2 : 1;
        // The strip lies below the caption; its right part holds the size.
        widths[high] = InkWidth(screen, screen.width / 2, 28 * scale, screen.width / 2 - 2,
                                14 * scale);
    }
    ASSERT_GT(widths[0], 15);
    EXPECT_GT(widths[1], widths[0] * 3 / 2);
}

}  // namespace
}  // namespace fvt::test

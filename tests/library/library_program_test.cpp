// The library in the running program: reading lists, the memory information and the rows of
// books, driven by scripts on fixture devices.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "bookfiles/book_header.h"
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

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
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

// The selection bar's navy, as the 16-bit screen shows it.
bool IsBar(std::uint32_t p) {
    return (p & 0xFF) > 100 && ((p >> 16) & 0xFF) < 60 && ((p >> 8) & 0xFF) < 60;
}

// The band of rows the selection bar covers (the first row, selected when the library opens):
// its top and bottom, found at the left edge below the title strip; -1 when there is none.
std::pair<int, int> SelectedRow(const Screen& s) {
    int top = s.height / 10;
    while (top < s.height / 2 && !IsBar(s.At(1, top))) ++top;
    if (top == s.height / 2) return {-1, -1};
    int bottom = top;
    while (bottom + 1 < s.height && IsBar(s.At(1, bottom + 1))) ++bottom;
    return {top, bottom};
}

bool SameBand(const Screen& a, const Screen& b, int top, int bottom) {
    for (int y = top; y <= bottom; ++y)
        for (int x = 0; x < a.width; ++x)
            if (a.At(x, y) != b.At(x, y)) return false;
    return true;
}

// A book is put on a reading list as a person does it: the list made in the Add / Remove
// dialog, then the book's Properties, its Reading list page, a tap on the list's check box and
// OK. After a restart the list's filter shows that book alone and "Unfiled" the other one.
TEST(ReadingLists, ABookPutOnAListIsFoundThroughItAfterARestart) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    AddBook(device, "Alpha");
    AddBook(device, "Beta");
    const std::string o = device.outside() + "/";
    // Alpha is the first row, selected. Page 2 of the Properties sheet is its Reading list;
    // the first row's check box stands at its left.
    ASSERT_EQ(RunSteps(device, {}, "idle\nanswer 40074\nanswer 1029\nanswer 1\nsoftkey 2\nidle\n"
                                 "answer-key 0x32\nanswer-tap 13 83\nanswer 1\nanswer 2\n"
                                 "menu 40022\nidle\nquit\n").status,
              0);
    EXPECT_NE(device.ReadHost("storage/eBooks/Alpha.fvt").find(Utf16("My Reading list")),
              std::string::npos);
    EXPECT_FALSE(device.HostExists("storage/eBooks/Beta.fvt"));

    ASSERT_EQ(RunSteps(device, {}, "idle\nscreenshot " + o + "all.png\nanswer 10004\nsoftkey 2\n"
                                 "idle\nscreenshot " + o + "listed.png\nanswer 40073\n"
                                 "softkey 2\nidle\nscreenshot " + o + "unfiled.png\nquit\n").status,
              0);
    Screen all, listed, unfiled;
    ASSERT_TRUE(all.Read(o + "all.png"));
    ASSERT_TRUE(listed.Read(o + "listed.png"));
    ASSERT_TRUE(unfiled.Read(o + "unfiled.png"));
    const auto [top, bottom] = SelectedRow(all);
    ASSERT_GT(bottom - top, 8);
    // Both books in the whole library; Alpha alone on the list, Beta alone unfiled.
    EXPECT_GT(all.CountOther(0, bottom + 1, all.width, 2 * (bottom - top), kWhite), 100);
    EXPECT_TRUE(SameBand(all, listed, top, bottom));
    EXPECT_EQ(listed.CountOther(4, bottom + 1, listed.width - 8, 2 * (bottom - top), kWhite), 0);
    EXPECT_EQ(SelectedRow(unfiled), SelectedRow(all));
    EXPECT_FALSE(SameBand(all, unfiled, top, bottom));
    EXPECT_EQ(unfiled.CountOther(4, bottom + 1, unfiled.width - 8, 2 * (bottom - top), kWhite),
              0);
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
        // Sorted by author, the row shows the author at its right.
        ASSERT_EQ(RunSteps(device, {}, "idle\nmenu 40031\nidle\nscreenshot " + shot + "\nquit\n")
                      .status,
                  0);
        ASSERT_TRUE(shots[wide].Read(shot));
    }
    // The row's title and author.
    const int rowTop = 36, rowHeight = 36, width = 240;
    EXPECT_GT(shots[0].CountOther(0, rowTop, width, rowHeight, 0xFFFFFF), 200);
    int differ = 0;
    for (int y = rowTop; y < rowTop + rowHeight; ++y)
        for (int x = 0; x < width; ++x) differ += shots[0].At(x, y) != shots[1].At(x, y) ? 1 : 0;
    EXPECT_EQ(differ, 0);
}

// The selected row's bar runs to the list's right edge, or to the scroll bar that a list
// longer than the screen shows there (the room was left blank before).
TEST(LibraryRows, TheSelectionBarReachesTheEdgeOrTheScrollBar) {
    for (int books : {2, 24}) {
        TempDevice device;
        ASSERT_TRUE(device.ok());
        for (int i = 0; i < books; ++i) AddBook(device, "Book " + std::string(1, char('A' + i)));
        const std::string shot = device.outside() + "/library.png";
        ASSERT_EQ(RunSteps(device, {}, "idle\nscreenshot " + shot + "\nquit\n").status, 0);
        Screen screen;
        ASSERT_TRUE(screen.Read(shot));
        // The first row (selected) lies below the strip; its right end, in the bar's navy.
        const auto [top, bottom] = SelectedRow(screen);
        ASSERT_GT(bottom, top);
        const int middle = (top + bottom) / 2;
        const std::uint32_t navy = screen.At(1, middle);
        if (books == 2) {
            EXPECT_EQ(screen.At(screen.width - 3, middle), navy);
        } else {
            EXPECT_EQ(screen.CountOf(screen.width - 10, middle, 8, 200, kWhite), 0);
            EXPECT_GT(screen.CountOf(screen.width - 10, middle, 8, 200, navy) +
                          screen.CountOf(screen.width - 10, middle, 8, 200, 0x808080),
                      0);
        }
    }
}

// The library opens as the plain list, one line a book, at either density (it opened as the
// list of covers, a row four lines high, which nothing could switch back).
TEST(LibraryRows, TheLibraryOpensAsAPlainListOfOneLineABook) {
    for (const int scale : {1, 2}) {
        SCOPED_TRACE(scale);
        TempDevice device;
        ASSERT_TRUE(device.ok());
        for (const char* title : {"Alpha", "Beta", "Gamma"}) AddBook(device, title);
        const std::string shot = device.outside() + "/library.png";
        std::vector<std::string> env;
        if (scale == 2) env.push_back("FOLIVANT_SCREEN=480x640@192");
        ASSERT_EQ(RunSteps(device, {}, "idle\nscreenshot " + shot + "\nquit\n", env).status, 0);
        Screen screen;
        ASSERT_TRUE(screen.Read(shot));
        const auto [top, bottom] = SelectedRow(screen);
        const int line = bottom - top + 1;
        ASSERT_GT(line, 10 * scale);
        EXPECT_LT(line, 24 * scale);
        // Beta and Gamma on the next two lines, nothing below them.
        const int w = screen.width - 8;
        EXPECT_GT(screen.CountOther(4, bottom + 1, w, line, kWhite), 20 * scale);
        EXPECT_GT(screen.CountOther(4, bottom + 1 + line, w, line, kWhite), 20 * scale);
        EXPECT_EQ(screen.CountOther(4, bottom + 1 + 2 * line, w, 3 * line, kWhite), 0);
    }
}

// The accent of a capital stands above the font's ascent: a row keeps it whole, selected or
// not, after a full repaint (a dialog closed) and after the selection leaves it. "Équipe" and
// "Equipe" differ on the screen; the accent used to stick out of its row, white on white when
// selected and painted over by the row above when that was drawn again.
TEST(LibraryRows, AnAccentedCapitalKeepsItsAccentWhenItsRowIsDrawnAgain) {
    for (const int scale : {1, 2}) {
        SCOPED_TRACE(scale);
        Screen selected[2], left[2];
        for (int accent = 0; accent < 2; ++accent) {
            TempDevice device;
            ASSERT_TRUE(device.ok());
            AddBook(device, "Alpha");
            AddBook(device, "Beta");
            BookBuilder book;
            const std::string text = SampleText(1500);
            book.text.assign(text.begin(), text.end());
            book.fullName = accent ? "\xC9quipe du phare" : "Equipe du phare";
            const Bytes bytes = book.Build();
            device.WriteHost("storage/eBooks/Equipe.prc", std::string(bytes.begin(), bytes.end()));
            const std::string o = device.outside() + "/";
            std::vector<std::string> env;
            if (scale == 2) env = {"FOLIVANT_SCREEN=480x640@192", "FOLIVANT_LANGUAGE=fr"};
            // Down twice selects the third row; About opens and closes; Up leaves the row.
            ASSERT_EQ(RunSteps(device, {}, "idle\nkey 0x28\nidle\nkey 0x28\nidle\nanswer 2\nmenu 40040\n"
                                 "idle\nscreenshot " + o + "selected.png\nkey 0x26\nidle\n"
                                 "screenshot " + o + "left.png\nquit\n", env).status,
                      0);
            ASSERT_TRUE(selected[accent].Read(o + "selected.png"));
            ASSERT_TRUE(left[accent].Read(o + "left.png"));
        }
        const std::pair<int, int> band = SelectedRow(selected[1]);
        const int top = band.first, bottom = band.second;
        ASSERT_GT(bottom, top);
        // The third row holds the accent's ink: light on the bar, dark once the bar has gone.
        auto ink = [&](const Screen& s, bool light) {
            int n = 0;
            for (int y = top; y <= bottom; ++y)
                for (int x = 0; x < s.width; ++x) {
                    const std::uint32_t p = s.At(x, y);
                    const int sum = int((p >> 16) & 0xFF) + int((p >> 8) & 0xFF) + int(p & 0xFF);
                    n += light ? sum > 600 : sum < 150;
                }
            return n;
        };
        EXPECT_GE(ink(selected[1], true), ink(selected[0], true) + 2 * scale);
        EXPECT_GE(ink(left[1], false), ink(left[0], false) + 2 * scale);
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


// The title strip counts one book as "1 eBook": its text is an "s" narrower than "2 eBooks"
// (both digits are as wide), at either density and in either language.
TEST(LibraryRows, TheTitleStripCountsOneBookInTheSingular) {
    for (const char* screen : {"240x320@96", "480x640@192"})
        for (const char* language : {"en", "fr"}) {
            SCOPED_TRACE(std::string(screen) + language);
            const int scale = screen[0] == '4' ? 2 : 1;
            int widths[2] = {0, 0};
            for (int books = 1; books <= 2; ++books) {
                TempDevice device;
                ASSERT_TRUE(device.ok());
                for (int i = 0; i < books; ++i) AddBook(device, i ? "Beta" : "Alpha");
                const std::string shot = device.outside() + "/library.png";
                ASSERT_EQ(RunSteps(device, {}, "idle\nscreenshot " + shot + "\nquit\n",
                                   {std::string("FOLIVANT_SCREEN=") + screen,
                                    std::string("FOLIVANT_LANGUAGE=") + language})
                              .status,
                          0);
                Screen s;
                ASSERT_TRUE(s.Read(shot));
                // The strip's left half, below the caption.
                widths[books - 1] = InkWidth(s, 0, 28 * scale, s.width / 2, 14 * scale);
            }
            ASSERT_GT(widths[0], 20 * scale);
            EXPECT_LT(widths[0] + 3 * scale, widths[1]);
        }
}


// The library's own boxes lay out cleanly in both languages on both screens: the driver's box
// screenshot fails the run when a text does not fit. The French title "Ajouter / supprimer des
// listes de lecture" was cut to its first line on the large screen.
TEST(ReadingLists, TheListBoxesLayOutCleanlyInEitherLanguageOnEitherScreen) {
    for (const char* screen : {"240x320@96", "480x640@192"})
        for (const char* language : {"en", "fr"}) {
            SCOPED_TRACE(std::string(screen) + language);
            TempDevice device;
            ASSERT_TRUE(device.ok());
            AddBook(device, "Alpha");
            const std::string o = device.outside() + "/";
            auto box = [&](const std::string& name) {
                return "screenshot-box " + o + name + ".png\n";
            };
            // A list made first, so that the book's Reading list page has a row.
            const std::string steps =
                "idle\nanswer 40074\nanswer 1029\nanswer 1\nsoftkey 2\nidle\n" + box("lists") +
                "answer 2\nmenu 40074\nidle\n" + box("sheet") + "answer 1\n" + box("properties") +
                "answer 2\nanswer-key 0x32\n" + box("list") + "answer 2\nanswer 2\nmenu 40022\n"
                "idle\nquit\n";
            const ProgramResult run = RunSteps(device, {}, steps,
                                               {std::string("FOLIVANT_SCREEN=") + screen,
                                                std::string("FOLIVANT_LANGUAGE=") + language});
            EXPECT_EQ(run.status, 0) << run.Describe();
            for (const char* name : {"lists", "sheet", "properties", "list"})
                EXPECT_TRUE(Screen().Read(o + name + ".png")) << name;
        }
}

// A reading list is renamed and removed in the Add / Remove dialog as it was made there: Modify
// takes the typed name, Remove (confirmed) drops it, in the catalogue and in the book that held
// it, and each change is kept across restarts.
TEST(ReadingLists, RenamedAndRemovedInTheDialogAcrossRestarts) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    AddBook(device, "Alpha");
    const std::string config = "Windows/FVT_global_configuration.fvt";
    const std::string book = "storage/eBooks/Alpha.fvt";
    const std::string dialog = "idle\nanswer 40074\n";
    // Made, and Alpha put on it through its Properties' Reading list page.
    ASSERT_EQ(RunSteps(device, {}, dialog + "answer 1029\nanswer 1\nsoftkey 2\nidle\n"
                                 "answer-key 0x32\nanswer-tap 13 83\nanswer 1\nanswer 2\n"
                                 "menu 40022\nidle\nquit\n").status,
              0);
    ASSERT_NE(device.ReadHost(config).find(Utf16("My Reading list")), std::string::npos);
    ASSERT_NE(device.ReadHost(book).find(Utf16("My Reading list")), std::string::npos);
    const ProgramResult renamed =
        RunSteps(device, {}, dialog + "answer 1030\ntext Lighthouses\nanswer 1\nsoftkey 2\nidle\nquit\n");
    EXPECT_EQ(renamed.status, 0) << renamed.Describe();
    EXPECT_NE(device.ReadHost(config).find(Utf16("Lighthouses")), std::string::npos);
    EXPECT_EQ(device.ReadHost(config).find(Utf16("My Reading list")), std::string::npos);
    EXPECT_NE(device.ReadHost(book).find(Utf16("Lighthouses")), std::string::npos);
    EXPECT_EQ(device.ReadHost(book).find(Utf16("My Reading list")), std::string::npos);
    const ProgramResult removed =
        RunSteps(device, {}, dialog + "answer 1031\nanswer 1\nanswer 1\nsoftkey 2\nidle\nquit\n");
    EXPECT_EQ(removed.status, 0) << removed.Describe();
    EXPECT_EQ(device.ReadHost(config).find(Utf16("Lighthouses")), std::string::npos);
    EXPECT_EQ(device.ReadHost(book).find(Utf16("Lighthouses")), std::string::npos);
}

// While there is no reading list, both lists of them, the Add / Remove dialog's and a book's
// Reading list page, say so in their middle (the dialog's was an empty box); once a list is
// made, its row shows at the top and the middle is empty.
TEST(ReadingLists, AnEmptyListOfThemSaysSo) {
    for (const char* screen : {"240x320@96", "480x640@192"}) {
        SCOPED_TRACE(screen);
        TempDevice device;
        ASSERT_TRUE(device.ok());
        AddBook(device, "Alpha");
        const std::string o = device.outside() + "/";
        const std::vector<std::string> env = {std::string("FOLIVANT_SCREEN=") + screen,
                                              "FOLIVANT_FONTS=box"};
        auto shots = [&](const std::string& prefix) {
            return "screenshot-box " + o + prefix + "-edit.png\nanswer 2\nmenu 40074\nidle\n" +
                   "answer-key 0x32\nscreenshot-box " + o + prefix +
                   "-page.png\nanswer 2\nanswer 2\nmenu 40022\nidle\n";
        };
        ASSERT_EQ(RunSteps(device, {}, "idle\n" + shots("none") + "quit\n", env).status, 0);
        // Edit reading lists, New, OK.
        ASSERT_EQ(RunSteps(device, {},
                           "idle\nanswer 40074\nanswer 1029\nanswer 1\nsoftkey 2\nidle\n" +
                               shots("one") + "quit\n",
                           env)
                      .status,
                  0);
        for (const char* name : {"none-edit", "none-page", "one-edit", "one-page"}) {
            Screen s;
            ASSERT_TRUE(s.Read(o + name + ".png")) << name;
            const int middle = s.CountOther(s.width / 5, s.height * 9 / 20, s.width * 3 / 5,
                                            s.height / 10, kWhite);
            if (name[1] == 'o')
                EXPECT_GT(middle, 50) << name << ": no text in the empty list";
            else
                EXPECT_EQ(middle, 0) << name;
        }
    }
}

// The Properties page of a book without an author that was never opened shows no label beside
// an empty value: those rows are left out and the rows below move up. A book with an author,
// once read, shows both rows. Rows are read from the picture as bands of the box font's ink:
// each label on the left has its value on its right, but for the file name's (the path is the
// line below it). Neither book has a thumbnail: the rows start right under the title, with no
// empty cover square between them.
TEST(BookProperties, RowsWithoutAValueAreLeftOut) {
    for (const char* screen : {"240x320@96", "480x640@192"}) {
        SCOPED_TRACE(screen);
        TempDevice device;
        ASSERT_TRUE(device.ok());
        BookBuilder book;
        const std::string text = SampleText(1500), author = "Marta Keeper";
        book.text.assign(text.begin(), text.end());
        book.fullName = "Alpha";
        book.exth = {{Exth::kAuthor, Bytes(author.begin(), author.end())}};
        const Bytes bytes = book.Build();
        device.WriteHost("storage/eBooks/Alpha.prc", std::string(bytes.begin(), bytes.end()));
        AddBook(device, "Beta");
        const std::string o = device.outside() + "/";
        // Alpha is read, then its row (selected) and Beta's show their Properties pages.
        const std::string page = "answer 1\nscreenshot-box ";
        ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\Alpha.prc"},
                           "idle\nsoftkey 1\nidle\n" + page + o +
                               "alpha.png\nanswer 2\nanswer 2\nmenu 40022\nidle\nkey 0x28\nidle\n" +
                               page + o + "beta.png\nanswer 2\nanswer 2\nmenu 40022\nidle\nquit\n",
                           {std::string("FOLIVANT_SCREEN=") + screen, "FOLIVANT_FONTS=box"})
                      .status,
                  0);
        auto rows = [](const Screen& s) {
            // Bands of ink in the labels' column, below the page's header: the title first.
            std::vector<std::pair<int, int>> bands;
            bool in = false;
            for (int y = s.height * 18 / 100; y < s.height * 9 / 10; ++y) {
                const bool ink = s.CountOther(2, y, s.width * 2 / 5 - 2, 1, kWhite) > 0;
                if (ink && !in) bands.push_back({y, y});
                if (ink) bands.back().second = y;
                in = ink;
            }
            return bands;
        };
        Screen alpha, beta;
        ASSERT_TRUE(alpha.Read(o + "alpha.png"));
        ASSERT_TRUE(beta.Read(o + "beta.png"));
        const auto read = rows(alpha), unread = rows(beta);
        // The title, author, rating, size, purchase date, last read date, file name and the
        // path; Beta has neither an author nor a last read date.
        EXPECT_EQ(read.size(), 8u);
        EXPECT_EQ(unread.size(), 6u);
        for (const Screen* s : {&alpha, &beta}) {
            const auto bands = rows(*s);
            ASSERT_GE(bands.size(), 3u);
            // The first row is about as far below the title as the second is below the first.
            EXPECT_LE(bands[1].first - bands[0].first, (bands[2].first - bands[1].first) * 3 / 2)
                << (s == &alpha ? "Alpha" : "Beta") << ": a gap under the title";
            for (size_t i = 1; i + 2 < bands.size(); ++i) {
                const auto [top, bottom] = bands[i];
                EXPECT_GT(s->CountOther(s->width * 9 / 20, top, s->width * 11 / 20, bottom - top + 1,
                                        kWhite),
                          0)
                    << (s == &alpha ? "Alpha" : "Beta") << ": the label at y " << top
                    << " has no value";
            }
        }
    }
}

}  // namespace
// A library of thousands of books in one folder: every book is listed, and the last row, reached
// with the direction pad, opens its own book. (Each book's side file used to be looked for by
// listing the whole folder, and each row was put at the top of the list by moving all the
// others: a start grew with the square of the library.)
TEST(LibraryRows, AThousandsOfBooksLibraryListsEveryBookAndOpensTheLast) {
    constexpr int kBooks = 3000;
    TempDevice device;
    ASSERT_TRUE(device.ok());
    for (int i = 0; i < kBooks; ++i) {
        char title[32];
        std::snprintf(title, sizeof title, "Book %04d", i);
        BookBuilder book;
        const std::string text = "The text of " + std::string(title) + " ends here.";
        book.text.assign(text.begin(), text.end());
        book.fullName = title;
        const Bytes bytes = book.Build();
        device.WriteHost("storage/eBooks/book" + std::to_string(i) + ".prc",
                         std::string(bytes.begin(), bytes.end()));
    }
    const std::string rows = device.outside() + "/rows.txt";
    const std::string page = device.outside() + "/page.txt";
    std::string steps = "idle\nlisttext " + rows + "\n";
    for (int i = 1; i < kBooks; ++i) steps += "key 0x28\n";
    steps += "key 0x0D\nidle\npagetext " + page + "\nquit\n";
    ASSERT_EQ(RunSteps(device, {}, steps).status, 0);

    std::vector<std::string> titles;
    std::string listed = ReadFile(rows);
    for (size_t at = 0; at < listed.size();) {
        size_t end = listed.find('\n', at);
        if (end == std::string::npos) end = listed.size();
        std::string row = listed.substr(at, end - at);
        size_t tab = row.find('\t');
        if (tab != std::string::npos) titles.push_back(row.substr(tab + 1));
        at = end + 1;
    }
    ASSERT_EQ(titles.size(), static_cast<size_t>(kBooks));
    std::vector<std::string> sorted = titles;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(std::unique(sorted.begin(), sorted.end()), sorted.end());
    EXPECT_EQ(sorted.front(), "Book 0000");
    EXPECT_EQ(titles.back(), "Book 2999");
    const std::string shown = ReadFile(page);
    EXPECT_EQ(shown.substr(0, shown.find('\n')), "The text of Book 2999");
}

namespace {

// The rows' titles, in the order listed.
std::vector<std::string> ListedTitles(const std::string& listing) {
    std::vector<std::string> titles;
    for (size_t at = 0; at < listing.size();) {
        size_t end = listing.find('\n', at);
        if (end == std::string::npos) end = listing.size();
        const std::string row = listing.substr(at, end - at);
        if (size_t tab = row.find('\t'); tab != std::string::npos) titles.push_back(row.substr(tab + 1));
        at = end + 1;
    }
    return titles;
}

// The library sorted by title: letters in the reader's order (an accented capital with its
// plain letter, small before capital), and books of one title in the order of their files,
// whichever way round; the row opened is the book of that file.
TEST(LibraryRows, TitlesSortByTheirLettersAndEqualTitlesByTheirFiles) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    const std::pair<const char*, const char*> books[] = {
        {"c", "Rose"}, {"a", "Rose"}, {"b", "rose"}, {"d", "\xC9" "clair"}, {"e", "Eagle"},
        {"f", "Zebra"}};
    for (const auto& [file, title] : books) {
        BookBuilder book;
        const std::string text = std::string("The book in file ") + file + ".";
        book.text.assign(text.begin(), text.end());
        book.fullName = title;
        const Bytes bytes = book.Build();
        device.WriteHost(std::string("storage/eBooks/") + file + ".prc",
                         std::string(bytes.begin(), bytes.end()));
    }
    // The library opens sorted by title; choosing the title again turns the order round, the
    // selection staying on its book (Eagle, now the last row); three rows up is the third row.
    const std::string up = device.outside() + "/up.txt";
    const std::string down = device.outside() + "/down.txt";
    const std::string page = device.outside() + "/page.txt";
    ASSERT_EQ(RunSteps(device, {},
                       "idle\nlisttext " + up + "\nmenu 40030\nidle\nlisttext " + down +
                           "\nkey 0x26\nkey 0x26\nkey 0x26\nkey 0x0D\nidle\npagetext " + page +
                           "\nquit\n")
                  .status,
              0);
    std::vector<std::string> wanted = {"Eagle", "\xc3\x89" "clair", "rose", "Rose", "Rose",
                                       "Zebra"};
    EXPECT_EQ(ListedTitles(ReadFile(up)), wanted);
    std::reverse(wanted.begin(), wanted.end());
    EXPECT_EQ(ListedTitles(ReadFile(down)), wanted);
    // Turned round, file c's Rose comes before file a's.
    const std::string shown = ReadFile(page);
    EXPECT_EQ(shown.substr(0, shown.find('\n')), "The book in file a.");
}

}  // namespace
}  // namespace fvt::test

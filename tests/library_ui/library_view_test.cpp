// The library view on an emulated device with sample books: filters, sorting, the saved view
// state, bookstores, relative dates, ratings by the star strip, deleting, and cover thumbnails.
#include "library_ui/library_view.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bookfiles/annotation_file.h"
#include "bookfiles/configuration_store.h"
#include "core/dates.h"
#include "core/file.h"
#include "core/resources.h"
#include "library_ui/book_properties_dialog.h"
#include "library_ui/library_dialogs.h"
#include "library_ui/library_thumbnail.h"
#include "library_ui/reading_lists_dialog.h"
#include "platform/window/keys.h"
#include "platform/dialog/answers.h"
#include "platform/dialog/dialog.h"
#include "platform/shell/shell.h"
#include "platform/storage/files.h"
#include "platform/window/window_layer.h"
#include "reader/reader_controller.h"
#include "reader/reader_settings.h"
#include "support/library/library_fixture.h"
#include "support/media/image/picture_fixtures.h"
#include "support/reader/reader_fakes.h"

using fvt::test::Dev;
using fvt::test::LibraryDevice;
using fvt::test::MakeBook;
using fvt::test::Wide;

namespace {

namespace T = LibraryViewText;

Text Utf16(const std::u16string& s) { return Dev(s); }

fvt::Answer Answer(int value) {
    fvt::Answer a;
    a.value = value;
    return a;
}

// ---- Classes, bookstores, dates ----------------------------------------------------------------

TEST(LibraryViewTextTest, ClassesAndFileTypesFollowTheTypeValue) {
    EXPECT_EQ(T::BookClassOf(1), 1u);
    EXPECT_EQ(T::BookClassOf(255), 1u);
    EXPECT_EQ(T::BookClassOf(256), 2u);
    EXPECT_EQ(T::BookClassOf(511), 2u);
    EXPECT_EQ(T::BookClassOf(512), 4u);
    EXPECT_EQ(T::BookClassOf(767), 4u);
    EXPECT_EQ(T::BookClassOf(4), 8u);
    EXPECT_EQ(T::BookClassOf(0), 0u);
    EXPECT_EQ(T::BookClassOf(768), 0u);
    EXPECT_EQ(T::FileTypeOf(702), 1u);
    EXPECT_EQ(T::FileTypeOf(701), 2u);
    EXPECT_EQ(T::FileTypeOf(3), 4u);
    EXPECT_EQ(T::FileTypeOf(1), 8u);
    EXPECT_EQ(T::BookTypeName(1, false), u"eBook");
    EXPECT_EQ(T::BookTypeName(4, true), u"eDocs");
}

TEST(LibraryViewTextTest, BookstoreLinesEndAtRunsOfLineBreaksAndAtTheFirstLineWithoutATab) {
    auto stores = T::ParseBookstores(
        u"Shop\thttp://shop.example/\r\n\r\nOther\thttps://other.example/a?b=1\r\nNo tab here\r\n"
        u"Late\thttp://late.example/");
    ASSERT_EQ(stores.size(), 2u);
    EXPECT_EQ(stores[0].name, u"Shop");
    EXPECT_EQ(stores[0].url, u"http://shop.example/");
    EXPECT_EQ(stores[1].name, u"Other");
    EXPECT_EQ(stores[1].url, u"https://other.example/a?b=1");
    EXPECT_EQ(T::ParseBookstores(u"A\thttp://a/\n\rB\thttp://b/").size(), 2u);
    EXPECT_TRUE(T::ParseBookstores(u"").empty());
}

TEST(LibraryViewTextTest, OnlyWebAddressesAreTaken) {
    auto stores = T::ParseBookstores(
        u"Run\t\\Windows\\calc.exe\nFile\tfile:///x\nWeb\tHTTP://UPPER.example/\nEmpty\t\n");
    ASSERT_EQ(stores.size(), 1u);
    EXPECT_EQ(stores[0].name, u"Web");
    std::u16string many;
    for (int i = 0; i < 500; ++i) many += u"S\thttp://s/\n";
    EXPECT_EQ(T::ParseBookstores(many).size(), static_cast<size_t>(LibraryView::kMaxBookstores));
    std::u16string longUrl = u"Long\thttp://" + std::u16string(5000, u'a');
    EXPECT_TRUE(T::ParseBookstores(longUrl).empty());
}

class BookstoreFileTest : public ::testing::Test {
protected:
    std::vector<Bookstore> Read(const std::string& bytes) {
        device.WriteHost("bookstores.txt", bytes);
        return T::ReadBookstores(Dev(u"\\bookstores.txt"));
    }
    fvt::test::TempDevice device;
};

TEST_F(BookstoreFileTest, ReadsEveryByteOrderMark) {
    std::string plain = "Caf\xE9\thttp://c/\r\n";
    auto a = Read(plain);
    ASSERT_EQ(a.size(), 1u);
    EXPECT_EQ(a[0].name, u"Caf\u00e9");
    auto b = Read("\xEF\xBB\xBF" "Caf\xC3\xA9\thttp://c/\n");
    ASSERT_EQ(b.size(), 1u);
    EXPECT_EQ(b[0].name, u"Caf\u00e9");
    std::string le = "\xFF\xFE";
    for (char c : std::string("Shop\thttp://s/\r\n")) le += std::string{c, '\0'};
    auto c = Read(le);
    ASSERT_EQ(c.size(), 1u);
    EXPECT_EQ(c[0].url, u"http://s/");
    std::string be = "\xFE\xFF";
    for (char ch : std::string("Shop\thttp://s/")) be += std::string{'\0', ch};
    auto d = Read(be);
    ASSERT_EQ(d.size(), 1u);
    EXPECT_EQ(d[0].name, u"Shop");
    EXPECT_TRUE(T::ReadBookstores(Dev(u"\\missing.txt")).empty());
}

class RelativeDateTest : public ::testing::Test {
protected:
    explicit RelativeDateTest(const std::string& profile = "language = en\n") : device(profile) {}
    void TearDown() override { Resources::FlushCache(); }
    static uint64_t At(int y, int m, int d, int h = 12) {
        return UnixSecondsToFileTime(static_cast<uint32_t>(CalendarToUnix(y, m, d, h)));
    }
    static uint32_t Unix(int y, int m, int d, int h = 12) {
        return static_cast<uint32_t>(CalendarToUnix(y, m, d, h));
    }
    fvt::test::TempDevice device;
};

TEST_F(RelativeDateTest, DaysMonthsAndTheFuture) {
    uint64_t now = At(2024, 5, 20);
    EXPECT_EQ(T::FormatRelativeDate(Unix(2024, 5, 20, 1), now), u"Today");
    EXPECT_EQ(T::FormatRelativeDate(Unix(2024, 5, 19, 23), now), u"Yesterday");
    EXPECT_EQ(T::FormatRelativeDate(Unix(2024, 5, 10), now), u"10 days ago");
    EXPECT_EQ(T::FormatRelativeDate(Unix(2024, 4, 10), now), u"1 month ago");  // 40 days
    EXPECT_EQ(T::FormatRelativeDate(Unix(2024, 3, 11), now), u"2 months ago");  // 70 days
    EXPECT_EQ(T::FormatRelativeDate(Unix(2022, 5, 19), now), u"24 months ago");
    EXPECT_EQ(T::FormatRelativeDate(Unix(2024, 5, 20, 13), now), u"");
}

class RelativeDateZoneTest : public RelativeDateTest {
protected:
    RelativeDateZoneTest() : RelativeDateTest("language = en\ntimezone = +120\n") {}
};

TEST_F(RelativeDateZoneTest, DatesAreComparedInLocalTime) {
    // 23:30 UTC on the 19th is 01:30 on the 20th here: read an hour ago, that is today.
    uint64_t now = At(2024, 5, 20, 0) + 30 * 60 * kFileTimePerSecond;
    EXPECT_EQ(T::FormatRelativeDate(Unix(2024, 5, 19, 23) + 30 * 60 - 3600, now), u"Today");
    EXPECT_EQ(T::FormatRelativeDate(Unix(2024, 5, 19, 21), now), u"Yesterday");
}

// ---- Rows and thumbnails -----------------------------------------------------------------------

TEST(LibraryRowTest, IconsFollowTypeReadingAndOpening) {
    LibraryBook b(nullptr, Dev(u"\\a.prc"));
    b.SetType(1);
    b.SetLastRead(100);
    EXPECT_EQ(LibraryRow::IconIndexOf(b), 0);
    b.SetLastRead(0);
    EXPECT_EQ(LibraryRow::IconIndexOf(b), 2);
    b.SetType(300);
    EXPECT_EQ(LibraryRow::IconIndexOf(b), 3);
    b.SetType(702);
    EXPECT_EQ(LibraryRow::IconIndexOf(b), 5);
    b.SetType(701);
    EXPECT_EQ(LibraryRow::IconIndexOf(b), 6);
    b.SetType(3);
    EXPECT_EQ(LibraryRow::IconIndexOf(b), 7);
    b.SetOpenable(false);
    EXPECT_EQ(LibraryRow::IconIndexOf(b), 4);
}

// Books a key does not tell apart (no author, the same title) keep one order on every visit: by
// title, then by file, whichever way the key sorts.
TEST(LibraryRowTest, BooksEqualByTheKeyGoByTitleThenByFile) {
    LibraryBook first(nullptr, Dev(u"\\a.prc")), second(nullptr, Dev(u"\\b.prc")),
        other(nullptr, Dev(u"\\c.prc"));
    first.SetTitle(Dev(u"Twins"), false);
    second.SetTitle(Dev(u"Twins"), false);
    other.SetTitle(Dev(u"Alone"), false);
    LibraryRow a(&first), b(&second), c(&other);
    for (uint32_t ascending : {1u, 0u}) {
        EXPECT_LT(a.Compare(&b, LibraryRow::kTitle, ascending), 0);
        EXPECT_GT(b.Compare(&a, LibraryRow::kTitle, ascending), 0);
        // No author anywhere: the titles, then the files.
        EXPECT_LT(c.Compare(&a, LibraryRow::kAuthor, ascending), 0);
        EXPECT_LT(a.Compare(&b, LibraryRow::kAuthor, ascending), 0);
        EXPECT_LT(a.Compare(&b, LibraryRow::kRating, ascending), 0);
    }
    EXPECT_EQ(a.Compare(&a, LibraryRow::kTitle, 1), 0);
}

TEST(LibraryRowTest, CoverFitKeepsTheAspectAndRefusesEmptyPictures) {
    int w = 0, h = 0;
    ASSERT_TRUE(LibraryRow::FitToCell(20, 40, 30, 50, w, h));
    EXPECT_EQ(w, 20);
    EXPECT_EQ(h, 40);
    ASSERT_TRUE(LibraryRow::FitToCell(300, 200, 30, 50, w, h));  // width decides
    EXPECT_EQ(w, 30);
    EXPECT_EQ(h, 20);
    ASSERT_TRUE(LibraryRow::FitToCell(100, 500, 30, 50, w, h));  // height decides
    EXPECT_EQ(w, 10);
    EXPECT_EQ(h, 50);
    EXPECT_FALSE(LibraryRow::FitToCell(0, 50, 30, 50, w, h));
    EXPECT_FALSE(LibraryRow::FitToCell(50, 0, 30, 50, w, h));
}

class ThumbnailTest : public ::testing::Test {
protected:
    fvt::test::TempDevice device;
};

TEST_F(ThumbnailTest, JpegGifAndBmpCoversAreScaledIntoTheCell) {
    int w = 0, h = 0;
    auto jpeg = fvt::test::WriteJpeg(60, 100, 3, fvt::test::Gradient(60, 100));
    HBITMAP a = MakeThumbnailFromPicture(jpeg.data(), static_cast<uint32_t>(jpeg.size()), 30, 50, w, h);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(w, 30);
    EXPECT_EQ(h, 50);
    DeleteObject(a);
    fvt::test::GifSpec gif;
    gif.width = 90;
    gif.height = 50;
    gif.palette = {{255, 0, 0}, {0, 0, 255}};
    gif.pixels.assign(90 * 50, 1);
    auto gifBytes = fvt::test::WriteGif(gif);
    HBITMAP b = MakeThumbnailFromPicture(gifBytes.data(), static_cast<uint32_t>(gifBytes.size()), 30, 50, w, h);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(w, 30);
    EXPECT_EQ(h, 16);
    DeleteObject(b);
    fvt::test::BmpSpec bmp;
    bmp.width = 10;
    bmp.height = 10;
    bmp.palette = {{0, 255, 0}};
    bmp.pixels.assign(100, 0);
    auto bmpBytes = fvt::test::WriteBmp(bmp);
    HBITMAP c = MakeThumbnailFromPicture(bmpBytes.data(), static_cast<uint32_t>(bmpBytes.size()), 30, 50, w, h);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(w, 10);
    EXPECT_EQ(h, 10);
    DeleteObject(c);
}

TEST_F(ThumbnailTest, BrokenPicturesAndRecordsGiveNoCover) {
    int w = 7, h = 7;
    std::vector<uint8_t> junk = {0xFF, 0xD8, 0xFF, 0x00, 1, 2, 3};
    EXPECT_EQ(MakeThumbnailFromPicture(junk.data(), static_cast<uint32_t>(junk.size()), 30, 50, w, h), nullptr);
    EXPECT_EQ(w, 0);
    EXPECT_EQ(MakeThumbnailFromPicture(nullptr, 0, 30, 50, w, h), nullptr);
    // A book with one picture: offsets past the records are refused.
    BookBuilder book = MakeBook("Covered");
    fvt::test::GifSpec gif;
    gif.width = gif.height = 4;
    gif.palette = {{1, 2, 3}, {4, 5, 6}};
    gif.pixels.assign(16, 0);
    book.resources.push_back(fvt::test::WriteGif(gif));
    device.WriteHost("book.prc", [&] {
        auto bytes = book.Build();
        return std::string(bytes.begin(), bytes.end());
    }());
    HBITMAP ok = MakeThumbnail(Dev(u"\\book.prc"), 0, 30, 50, w, h);
    ASSERT_NE(ok, nullptr);
    DeleteObject(ok);
    EXPECT_EQ(MakeThumbnail(Dev(u"\\book.prc"), 1, 30, 50, w, h), nullptr);
    EXPECT_EQ(MakeThumbnail(Dev(u"\\book.prc"), 0xFFFE, 30, 50, w, h), nullptr);
    EXPECT_EQ(MakeThumbnail(Dev(u"\\book.prc"), 0xFFFF, 30, 50, w, h), nullptr);
    EXPECT_EQ(MakeThumbnail(Dev(u"\\none.prc"), 0, 30, 50, w, h), nullptr);
}

// ---- The view ----------------------------------------------------------------------------------

struct Services : LibraryViewServices {
    bool ShowOptions(HWND) override { return false; }
    bool ShowAbout(HWND) override { return ++about > 0; }
    bool ShowMemoryInfo(HWND) override { return false; }
    bool Beam(const Text& path) override {
        beamed.push_back(Wide(path));
        return true;
    }
    bool SetFullScreen(bool on) override {
        fullScreen.push_back(on);
        return true;
    }
    bool HasOnlineAccount() const override { return account; }
    BookReleaser* Releaser() override { return nullptr; }
    int about = 0;
    bool account = false;
    std::vector<std::u16string> beamed;
    std::vector<bool> fullScreen;
};

class LibraryViewTest : public ::testing::Test {
protected:
    explicit LibraryViewTest(const std::string& profile = "cards = Storage Card\nclock = virtual\n")
        : dev(profile) {}

    void SetUp() override {
        ASSERT_TRUE(dev.ok());
        dev.PutBook("eBooks/alpha.prc", Book("Alpha", 1, "Zed"));
        dev.PutBook("eBooks/news.prc", Book("Daily", 300, "Ann"));
        dev.PutBook("storage/eBooks/doc.prc", Book("Memo", 600, "Bob"));
        dev.PutBook("Storage Card/eBooks/talk.prc", Book("Talk", 4, "Cy"));
        dev.PutText("eBooks/notes.txt", std::string(3000, 'n'));
        ASSERT_EQ(store.OpenDefault("\\Windows\\FVT_global_configuration.fvt", 1), 0);
        library = std::make_unique<Library>(&dev.host);
        library->SetConfiguration(&store);
        settings.Load(true);
        settings.SetConfigurationStore(&store);
        settings.thumbnails = 0;
        controller = std::make_unique<ReaderController>();
        controller->SetDocumentController(&document);
        controller->SetSettings(&settings);
        GetDesktopWindow();
        frame = CreateWindowExW(0, u"STATIC", u"", WS_VISIBLE, 0, 0, 240, 300, nullptr, nullptr,
                                nullptr, nullptr);
        ASSERT_NE(frame, nullptr);
        fvt::ClearAnswers();
        fvt::ClearShellLog();
    }
    void TearDown() override {
        view.reset();
        controller.reset();
        if (IsWindow(frame)) DestroyWindow(frame);
        fvt::RunUntilIdle();
        Resources::FlushCache();
    }

    static BookBuilder Book(const std::string& title, uint32_t type, const std::string& author) {
        BookBuilder b = MakeBook(title, type, 0x1000 + type);
        b.text = ToBytes(std::string(100 * title.size(), 'x'));
        b.exth = {{100, ToBytes(author)}};
        return b;
    }

    void Open() {
        view = std::make_unique<LibraryView>(controller.get(), library.get(), &services);
        // The settings' thumbnails byte stands for the covers a test asks for.
        ASSERT_TRUE(view->Create(frame, settings.thumbnails != 0));
        view->Show(true);
    }
    std::vector<std::u16string> Titles() {
        std::vector<std::u16string> out;
        for (int i = 0; i < view->GetItemCount(); ++i)
            out.push_back(Wide(static_cast<LibraryRow*>(view->GetItemData(i))->book->GetTitle()));
        return out;
    }
    LibraryBook* Entry(const std::u16string& title) {
        for (int32_t i = 0; i < library->GetEntryCount(); ++i)
            if (Wide(library->GetEntry(i)->GetTitle()) == title) return library->GetEntry(i);
        return nullptr;
    }
    int32_t IndexOf(const std::u16string& title) {
        auto t = Titles();
        auto it = std::find(t.begin(), t.end(), title);
        return it == t.end() ? -1 : static_cast<int32_t>(it - t.begin());
    }

    LibraryDevice dev;
    ConfigurationStore store;
    std::unique_ptr<Library> library;
    ReaderSettings settings;
    fvt::test::FakeDocumentController document;
    std::unique_ptr<ReaderController> controller;
    Services services;
    HWND frame = nullptr;
    std::unique_ptr<LibraryView> view;
};

TEST_F(LibraryViewTest, ShowsEveryPresentBookWithCountAndSize) {
    Open();
    EXPECT_EQ(view->GetItemCount(), 5);
    std::u16string strip = view->Strip().Text1();
    EXPECT_EQ(strip, u"5 eBooks");
    EXPECT_FALSE(std::u16string(view->Strip().Text2()).empty());
    EXPECT_EQ(view->LeftKeyText(), u"Read");
    EXPECT_NE(view->GetSelectedData(), nullptr);
}

TEST_F(LibraryViewTest, BookClassFiltersAndTheEmptyList) {
    Open();
    view->OnCommand(40012);  // eNews
    EXPECT_EQ(Titles(), (std::vector<std::u16string>{u"Daily"}));
    EXPECT_EQ(std::u16string(view->Strip().Text1()), u"1 eNews");
    view->OnCommand(40014);  // eAudio
    EXPECT_EQ(Titles(), (std::vector<std::u16string>{u"Talk"}));
    view->OnCommand(40013);  // eDocs: the text file counts as one
    EXPECT_EQ(view->GetItemCount(), 2);
    view->OnCommand(40068);  // text files off
    EXPECT_EQ(Titles(), (std::vector<std::u16string>{u"Memo"}));
    EXPECT_EQ(settings.fileTypes & 2u, 0u);
    view->OnCommand(40069);  // PalmDOC off: Memo is a book of type 600, still shown
    EXPECT_EQ(view->GetItemCount(), 1);
    view->OnCommand(40070);  // every other type off
    EXPECT_EQ(view->GetItemCount(), 0);
    EXPECT_EQ(view->LeftKeyText(), u"Exit");
    EXPECT_EQ(view->TotalBytes(), 0.0);
    view->OnCommand(40001);
    EXPECT_EQ(view->GetItemCount(), 0);
    view->OnCommand(40070);
    view->OnCommand(40068);
    EXPECT_EQ(view->GetItemCount(), 5);
}

TEST_F(LibraryViewTest, LocationFilterKeepsTheBooksOfOneLocation) {
    Open();
    view->OnCommand(LibraryView::kLocationFirst + 1);
    EXPECT_EQ(Titles(), (std::vector<std::u16string>{u"Talk"}));
    EXPECT_EQ(view->LocationFilter(), 1);
    view->OnCommand(40001);
    EXPECT_EQ(view->LocationFilter(), -1);
    EXPECT_EQ(view->GetItemCount(), 5);
    // Ids beyond the locations are not the view's.
    EXPECT_FALSE(view->OnCommand(LibraryView::kLocationFirst + 5));
}

TEST_F(LibraryViewTest, ReadingListAndUnfiledFilters) {
    ASSERT_TRUE(library->CreateCategory(Utf16(u"Travel")));
    Open();
    Entry(u"Alpha")->AddCategory(Utf16(u"Travel"), true);
    view->OnCommand(LibraryView::kReadingListFirst);
    EXPECT_EQ(Titles(), (std::vector<std::u16string>{u"Alpha"}));
    view->OnCommand(40073);  // Unfiled
    EXPECT_EQ(view->ReadingListFilter(), LibraryView::kUnfiled);
    EXPECT_EQ(view->GetItemCount(), 4);
    // A book that gains a list leaves the unfiled view at the next refill.
    Entry(u"Daily")->AddCategory(Utf16(u"Travel"), true);
    view->Refill(view->Filter());
    EXPECT_EQ(view->GetItemCount(), 3);
}

TEST_F(LibraryViewTest, ALongReadingListNameIsCutBeforeTheCountItShows) {
    const std::u16string name = u"Books to read on the long journey north next summer, maybe";
    ASSERT_TRUE(library->CreateCategory(Utf16(name.c_str())));
    Open();
    Entry(u"Alpha")->AddCategory(Utf16(name.c_str()), true);
    view->OnCommand(LibraryView::kReadingListFirst);
    HWND strip = view->Strip().Window();
    ASSERT_NE(strip, nullptr);
    // Kept whole for whoever reads it; shown cut, with the count at its end.
    EXPECT_EQ(std::u16string(view->Strip().Text1()), name + u": 1 eBook");
    char16_t shown[300] = {};
    SendMessageW(strip, SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(shown));
    const std::u16string text(shown);
    ASSERT_GT(text.size(), 9u) << "nothing shown";
    EXPECT_EQ(text.substr(text.size() - 9), u": 1 eBook");
    EXPECT_NE(text.find(u'\u2026'), std::u16string::npos);
    EXPECT_EQ(text.rfind(u"Books", 0), 0u);
}

TEST_F(LibraryViewTest, ManyReadingListsNeverReachTheMoveCommands) {
    for (int i = 0; i < 40; ++i) {
        std::u16string name = u"List " + std::u16string(1, char16_t(u'A' + i / 26)) +
                              std::u16string(1, char16_t(u'a' + i % 26));
        ASSERT_TRUE(library->CreateCategory(Utf16(name)));
    }
    Open();
    HMENU lists = GetSubMenu(GetSubMenu(view->Menu(), 1), 1);
    int highest = 0;
    for (int i = 0; i < GetMenuItemCount(lists); ++i) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_ID;
        GetMenuItemInfoW(lists, static_cast<UINT>(i), TRUE, &info);
        if (info.wID >= LibraryView::kReadingListFirst && info.wID < 11000)
            highest = std::max(highest, static_cast<int>(info.wID));
    }
    EXPECT_LT(highest, static_cast<int>(LibraryView::kMoveFirst));
    // The first move id moves the book; it is never taken for a reading list.
    std::u16string before = Wide(view->SelectedRow()->book->GetPath());
    view->OnCommand(LibraryView::kMoveFirst + 1);  // to the card
    EXPECT_EQ(view->ReadingListFilter(), -1);
    EXPECT_NE(Wide(Entry(Wide(view->SelectedRow()->book->GetTitle()))->GetPath()), before);
}

TEST_F(LibraryViewTest, SortsBySixKeysAndFlipsOnTheSameKey) {
    Open();
    Entry(u"Alpha")->SetRatingField(2);
    Entry(u"Daily")->SetRatingField(5);
    Entry(u"Memo")->SetRatingField(1);
    Entry(u"Talk")->SetRatingField(4);
    Entry(u"notes")->SetRatingField(3);
    Entry(u"Alpha")->SetLastRead(300);
    Entry(u"Daily")->SetLastRead(100);
    Entry(u"Memo")->SetLastRead(500);
    Entry(u"Talk")->SetLastRead(200);
    Entry(u"notes")->SetLastRead(400);
    Entry(u"Alpha")->SetCreated(5);
    Entry(u"Daily")->SetCreated(4);
    Entry(u"Memo")->SetCreated(3);
    Entry(u"Talk")->SetCreated(2);
    Entry(u"notes")->SetCreated(1);
    view->OnCommand(40030);  // title: already the key, so this flips to descending
    EXPECT_FALSE(view->Ascending());
    EXPECT_EQ(Titles().front(), u"Talk");  // without regard to case
    view->OnCommand(40030);
    EXPECT_EQ(Titles(), (std::vector<std::u16string>{u"Alpha", u"Daily", u"Memo", u"notes", u"Talk"}));
    view->OnCommand(40031);  // author
    EXPECT_EQ(Titles().front(), u"notes");  // no author first
    EXPECT_EQ(Titles().back(), u"Alpha");   // "Zed"
    view->OnCommand(40032);  // size
    EXPECT_EQ(view->SortKey(), 1u);
    EXPECT_EQ(Titles().back(), u"notes");
    view->OnCommand(40033);  // date: the newest first
    EXPECT_EQ(Titles(), (std::vector<std::u16string>{u"Alpha", u"Daily", u"Memo", u"Talk", u"notes"}));
    view->OnCommand(40034);  // last read: the most recent first
    EXPECT_EQ(Titles(), (std::vector<std::u16string>{u"Memo", u"notes", u"Alpha", u"Talk", u"Daily"}));
    view->OnCommand(40034);
    EXPECT_EQ(Titles().front(), u"Daily");
    view->OnCommand(40062);  // rating
    EXPECT_EQ(view->SortKey(), 5u);
    view->OnCommand(40060);
    EXPECT_EQ(Titles(), (std::vector<std::u16string>{u"Memo", u"Alpha", u"notes", u"Talk", u"Daily"}));
    view->OnCommand(40061);
    EXPECT_EQ(Titles().front(), u"Daily");
}

TEST_F(LibraryViewTest, ViewStateIsSavedAndRestoredByName) {
    ASSERT_TRUE(library->CreateCategory(Utf16(u"Travel")));
    ASSERT_TRUE(library->CreateCategory(Utf16(u"Work")));
    Open();
    Entry(u"Memo")->AddCategory(Utf16(u"Work"), true);
    view->OnCommand(LibraryView::kReadingListFirst + 1);
    view->OnCommand(40031);
    view->OnCommand(40031);
    view.reset();
    // The lists come back in another order: the saved one is found by its name.
    ASSERT_TRUE(library->DeleteCategory(Utf16(u"Travel")));
    ASSERT_TRUE(library->CreateCategory(Utf16(u"Travel")));
    Open();
    EXPECT_EQ(view->SortKey(), 2u);
    EXPECT_FALSE(view->Ascending());
    EXPECT_EQ(Titles(), (std::vector<std::u16string>{u"Memo"}));
    view->OnCommand(40012);
    view.reset();
    Open();
    EXPECT_EQ(view->Filter(), 2u);
    EXPECT_EQ(view->GetItemCount(), 1);
    view->OnCommand(LibraryView::kReadingListFirst);
    view.reset();
    ASSERT_TRUE(library->DeleteCategory(Utf16(u"Work")));
    ASSERT_TRUE(library->DeleteCategory(Utf16(u"Travel")));
    Open();  // the list is gone: every book
    EXPECT_EQ(view->ReadingListFilter(), -1);
    EXPECT_EQ(view->GetItemCount(), 5);
}

TEST_F(LibraryViewTest, DeleteAsksThenRemovesTheRowAndSelectsTheNext) {
    Open();
    view->OnCommand(40030);
    view->OnCommand(40030);  // ascending titles
    view->SelectIndex(1);     // Daily
    fvt::QueueAnswer(Answer(IDCANCEL));
    view->OnCommand(40023);
    EXPECT_EQ(view->GetItemCount(), 5);
    EXPECT_TRUE(dev.Exists("eBooks/news.prc"));
    fvt::QueueAnswer(Answer(IDOK));
    view->OnCommand(40023);
    EXPECT_FALSE(dev.Exists("eBooks/news.prc"));
    EXPECT_EQ(Titles(), (std::vector<std::u16string>{u"Alpha", u"Memo", u"notes", u"Talk"}));
    EXPECT_EQ(Wide(view->SelectedRow()->book->GetTitle()), u"Memo");
}

TEST_F(LibraryViewTest, FailedDeleteKeepsTheRow) {
    Open();
    int32_t i = IndexOf(u"Talk");
    view->SelectIndex(i);
    // The card's file cannot go while this process holds it open.
    HANDLE held = CreateFileW(u"\\Storage Card\\eBooks\\talk.prc", GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    fvt::QueueAnswer(Answer(IDOK));
    view->OnCommand(40023);
    CloseHandle(held);
    EXPECT_EQ(view->GetItemCount(), 5);
    EXPECT_NE(IndexOf(u"Talk"), -1);
}

TEST_F(LibraryViewTest, StarStripRatesOnlyWhileShown) {
    Open();
    view->SelectIndex(0);
    LibraryBook* book = view->SelectedRow()->book;
    RECT r = view->GetItemBounds(0);
    int x = r.right - 2 - view->IconSize() / 2;  // the rightmost cell
    // List mode sorted by title: no stars, the tap opens the book.
    EXPECT_EQ(view->StarHit(0, x), -1);
    SendMessageW(view->List(), WM_LBUTTONDOWN, 0, MAKELPARAM(x, (r.top + r.bottom) / 2));
    SendMessageW(view->List(), WM_LBUTTONUP, 0, MAKELPARAM(x, (r.top + r.bottom) / 2));
    EXPECT_EQ(book->GetRating(), 0u);
    EXPECT_EQ(document.opened.size(), 1u);
    view->OnCommand(40062);
    int32_t row = view->FindItem(static_cast<ListItem*>(view->SelectedRow()));
    r = view->GetItemBounds(row);
    EXPECT_EQ(view->StarHit(row, x), 1);
    EXPECT_EQ(view->StarHit(row, r.right - 2 - 4 * view->IconSize() - 1), 5);
    SendMessageW(view->List(), WM_LBUTTONDOWN, 0, MAKELPARAM(r.right - 2 - 2 * view->IconSize() - 1, (r.top + r.bottom) / 2));
    SendMessageW(view->List(), WM_LBUTTONUP, 0, MAKELPARAM(r.right - 2 - 2 * view->IconSize() - 1, (r.top + r.bottom) / 2));
    EXPECT_EQ(book->GetRating(), 3u);
    EXPECT_EQ(document.opened.size(), 1u);
    // A tap on the stars of another row rates that row.
    int32_t other = row == 0 ? 1 : 0;
    LibraryBook* second = static_cast<LibraryRow*>(view->GetItemData(other))->book;
    RECT o = view->GetItemBounds(other);
    SendMessageW(view->List(), WM_LBUTTONDOWN, 0, MAKELPARAM(x, (o.top + o.bottom) / 2));
    SendMessageW(view->List(), WM_LBUTTONUP, 0, MAKELPARAM(x, (o.top + o.bottom) / 2));
    EXPECT_EQ(second->GetRating(), 1u);
    EXPECT_EQ(document.opened.size(), 1u);
}

TEST_F(LibraryViewTest, ALongTitleStaysAboveTheTextsBelowIt) {
    const std::string glossary =
        "Glossaire anglais francais des termes de la lecture, de la reliure, de la typographie "
        "et de la gravure des livres anciens et modernes";
    const std::string lexicon =
        "Lexique des termes de la lecture et de la reliure des livres anciens";
    dev.PutBook("eBooks/gloss.prc", Book(glossary, 1, ""));
    dev.PutBook("eBooks/lexicon.prc", Book(lexicon, 1, "Ann"));
    settings.thumbnails = 1;
    Open();
    HDC screen = GetDC(frame);
    HDC dc = CreateCompatibleDC(screen);
    ASSERT_NE(dc, nullptr);
    RECT row = view->GetItemRect(0);
    TEXTMETRICW metrics{};
    ASSERT_TRUE(GetTextMetricsW(dc, &metrics));
    int line = metrics.tmHeight;
    int height = std::max<int>(row.bottom - row.top, 3 * line + 8);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 230, height);
    HGDIOBJ old = SelectObject(dc, bitmap);
    // Ink in rows [top, bottom) of the cell's middle, clear of the short texts at its ends.
    auto inkBetween = [&](int top, int bottom) {
        int dark = 0;
        for (int y = top; y < bottom; ++y)
            for (int x = 70; x < 160; ++x)
                if ((GetPixel(dc, x, y) & 0xFF) < 0x40) ++dark;
        return dark;
    };
    for (const std::string& title : {glossary, lexicon}) {
        auto* item = static_cast<LibraryRow*>(view->GetItemData(
            IndexOf(std::u16string(title.begin(), title.end()))));
        ASSERT_NE(item, nullptr);
        bool authored = !item->book->GetAuthor().IsEmpty();
        SCOPED_TRACE(authored);
        RECT label{0, 0, 230, height};
        FillRect(dc, &label, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        view->DrawTitle(item, dc, label);
        int cellBottom = height - 4;
        // Below the title: the author line in the middle, or the size line at the bottom.
        int below = authored ? 4 + (cellBottom - 4 - line) / 2 : cellBottom - line;
        EXPECT_GT(inkBetween(4, 4 + line), 0);
        EXPECT_EQ(inkBetween(below, authored ? below + line : cellBottom), 0);
    }
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(frame, screen);
}

TEST_F(LibraryViewTest, OpenFailureMarksTheBookUnopenable) {
    Open();
    document.openSucceeds = false;
    dev.host.opens = false;
    view->OnCommand(40167);
    ASSERT_EQ(document.opened.size(), 1u);
    LibraryRow* row = view->SelectedRow();
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->iconIndex, 4);
}

// Back in the library from a book: the book just read shows as read (the reader wrote its
// reading time into the side file while the entry still held none).
TEST_F(LibraryViewTest, TheBookJustReadShowsAsReadWhenTheLibraryShowsAgain) {
    Open();
    LibraryBook* alpha = Entry(u"Alpha");
    ASSERT_NE(alpha, nullptr);
    ASSERT_EQ(alpha->GetLastRead(), 0u);
    {
        AnnotationFile side;
        ASSERT_EQ(side.OpenOrCreate("\\eBooks\\alpha.prc", "Alpha", 5, 0, 1, 1), 0);
        ASSERT_EQ(side.SetBookId(alpha->GetUniqueId()), 0);
        ASSERT_EQ(side.SetReadingTime(NowUnixMinutesUtc()), 0);
        ASSERT_EQ(side.Flush(), 0);
    }
    view->Show(false);
    view->Refresh(alpha->GetPath());
    view->Show(true);
    EXPECT_GT(alpha->GetLastRead(), 0u);
    LibraryRow* row = view->SelectedRow();
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->book, alpha);
    EXPECT_FALSE(view->IsBold(row));
}

TEST_F(LibraryViewTest, BookstoresComeFromTheProgramFolderAndOnlyWebLinksRun) {
    std::u16string folder = Wide(dev.paths()->ProgramFolder());
    std::string host;
    for (char16_t c : folder.substr(1)) host += c == u'\\' ? '/' : static_cast<char>(c);
    dev.device().WriteHost(host + "bookstores.txt",
                           "Shop\thttp://shop.example/\r\nEvil\t\\Windows\\evil.exe\r\n");
    services.account = true;
    Open();
    ASSERT_EQ(view->Bookstores().size(), 1u);
    EXPECT_TRUE(view->OnCommand(LibraryView::kBookstoreFirst));
    auto log = fvt::ShellLog();
    ASSERT_FALSE(log.empty());
    EXPECT_NE(log.back().find("http://shop.example/"), std::string::npos);
    EXPECT_FALSE(view->OnCommand(LibraryView::kBookstoreFirst + 1));
    HMENU stores = GetSubMenu(GetSubMenu(view->Menu(), 1), 3);
    EXPECT_EQ(GetMenuItemCount(stores), 3);  // the store, a separator, Online Account
}

TEST_F(LibraryViewTest, AClosedViewNoLongerListensToTheCatalogue) {
    Open();
    view.reset();
    // Card notices after the view went must not reach it.
    library->OnMediaRemoved(Dev(u"\\Storage Card"));
    library->OnMediaInserted(Dev(u"\\Storage Card"));
    SUCCEED();
}

TEST_F(LibraryViewTest, CardNoticesRefillTheView) {
    Open();
    library->OnMediaRemoved(Dev(u"\\Storage Card"));
    EXPECT_EQ(IndexOf(u"Talk"), -1);
    library->OnMediaInserted(Dev(u"\\Storage Card"));
    EXPECT_NE(IndexOf(u"Talk"), -1);
}

TEST_F(LibraryViewTest, BeamAndFullScreenGoThroughTheServices) {
    settings.fullScreen = 1;
    Open();
    EXPECT_EQ(services.fullScreen, (std::vector<bool>{false}));
    view->OnCommand(40025);
    EXPECT_EQ(services.beamed.size(), 1u);
    view->Show(false);
    EXPECT_EQ(services.fullScreen, (std::vector<bool>{false, true}));
    EXPECT_EQ(settings.fullScreen, 1);
}

}  // namespace

namespace {

// The Add / Remove reading lists dialog, driven through the view's command.
class ReadingListsDialogTest : public LibraryViewTest {
protected:
    // Runs `step` in the dialog once it shows; later answers go to the boxes it opens and
    // the last one closes the dialog.
    void Drive(std::function<void(HWND)> step, std::vector<int> boxAnswers = {}) {
        fvt::QueueAnswer(fvt::Answer{-1, {}, std::move(step)});
        for (int a : boxAnswers) fvt::QueueAnswer(Answer(a));
        fvt::QueueAnswer(Answer(0));
        view->OnCommand(40074);
    }
    static void Edit(HWND dialog, int row, uint32_t command, const char16_t* text) {
        HWND list = GetDlgItem(dialog, ReadingListsEditDialog::kList);
        LVITEMW state{};
        state.state = state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        if (row >= 0) SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&state));
        SendMessageW(dialog, WM_COMMAND, command, 0);
        auto edit = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETEDITCONTROL, 0, 0));
        ASSERT_NE(edit, nullptr);
        if (text) SetWindowTextW(edit, text);
        SendMessageW(edit, WM_KEYDOWN, VK_RETURN, 0);
    }
    std::vector<std::u16string> Lists() { return ReadingListNames::GlobalLists(*library); }
};

TEST_F(ReadingListsDialogTest, RenamingAListToItsOwnNameKeepsIt) {
    ASSERT_TRUE(library->CreateCategory(Utf16(u"Travel")));
    Open();
    Entry(u"Alpha")->AddCategory(Utf16(u"Travel"), true);
    Drive([](HWND d) { Edit(d, 0, ReadingListsEditDialog::kModify, u"Travel"); });
    EXPECT_EQ(Lists(), (std::vector<std::u16string>{u"Travel"}));
    EXPECT_TRUE(Entry(u"Alpha")->HasCategory(Utf16(u"Travel")));
}

TEST_F(ReadingListsDialogTest, NewListsTakeTheNextDefaultNameAndReachTheMenu) {
    ASSERT_TRUE(library->CreateCategory(Utf16(u"My Reading list")));
    Open();
    Drive([](HWND d) { Edit(d, -1, ReadingListsEditDialog::kNew, nullptr); });
    EXPECT_EQ(Lists(), (std::vector<std::u16string>{u"My Reading list", u"My Reading list 1"}));
    view->OnCommand(LibraryView::kReadingListFirst + 1);
    EXPECT_EQ(view->ReadingListFilter(), 1);
}

TEST_F(ReadingListsDialogTest, RenamingOntoAnotherListMergesOnlyWhenConfirmed) {
    ASSERT_TRUE(library->CreateCategory(Utf16(u"A list")));
    ASSERT_TRUE(library->CreateCategory(Utf16(u"B list")));
    Open();
    Entry(u"Alpha")->AddCategory(Utf16(u"A list"), true);
    Drive([](HWND d) { Edit(d, 0, ReadingListsEditDialog::kModify, u"B list"); }, {IDCANCEL});
    EXPECT_EQ(Lists().size(), 2u);
    Drive([](HWND d) { Edit(d, 0, ReadingListsEditDialog::kModify, u"B list"); }, {IDOK});
    EXPECT_EQ(Lists(), (std::vector<std::u16string>{u"B list"}));
    EXPECT_TRUE(Entry(u"Alpha")->HasCategory(Utf16(u"B list")));
}

}  // namespace

namespace {

class PropertiesDialogTest : public ReadingListsDialogTest {};

TEST_F(PropertiesDialogTest, RatingIsSavedOnOkOnly) {
    Open();
    LibraryRow* row = view->SelectedRow();
    ASSERT_NE(row, nullptr);
    {
        BookPropertiesDialog page(row);
        fvt::QueueAnswer(fvt::Answer{-1, {}, [](HWND d) { SendMessageW(d, WM_COMMAND, 2001, 0); }});
        fvt::QueueAnswer(Answer(IDCANCEL));
        page.Run(frame, controller.get(), false);
        EXPECT_EQ(page.Rating(), 3u);
    }
    EXPECT_EQ(row->book->GetRating(), 0u);
    {
        BookPropertiesDialog page(row);
        fvt::QueueAnswer(fvt::Answer{-1, {}, [](HWND d) {
            SendMessageW(d, WM_COMMAND, 2002, 0);
            SendMessageW(d, WM_KEYDOWN, VK_RIGHT, 0);
            SendMessageW(d, WM_KEYDOWN, VK_RIGHT, 0);  // stays at 5
        }});
        fvt::QueueAnswer(Answer(0));
        page.Run(frame, controller.get(), false);
    }
    EXPECT_EQ(row->book->GetRating(), 5u);
}

TEST_F(PropertiesDialogTest, ReadingListPageWritesOnOkAndNothingOnCancel) {
    ASSERT_TRUE(library->CreateCategory(Utf16(u"Travel")));
    ASSERT_TRUE(library->CreateCategory(Utf16(u"Work")));
    Open();
    LibraryRow* row = view->SelectedRow();
    ASSERT_TRUE(row->book->AddCategory(Utf16(u"Travel"), true));
    auto check = [](int index, bool on) {
        return [index, on](HWND d) {
            LVITEMW state{};
            state.state = INDEXTOSTATEIMAGEMASK(on ? 2 : 1);
            state.stateMask = LVIS_STATEIMAGEMASK;
            SendMessageW(GetDlgItem(d, ReadingListDialog::kList), LVM_SETITEMSTATE,
                         static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&state));
        };
    };
    {
        ReadingListDialog page(row, library.get());
        fvt::QueueAnswer(fvt::Answer{-1, {}, check(0, false)});
        fvt::QueueAnswer(Answer(IDCANCEL));
        page.Run(frame, controller.get(), false);
    }
    EXPECT_TRUE(row->book->HasCategory(Utf16(u"Travel")));
    {
        ReadingListDialog page(row, library.get());
        fvt::QueueAnswer(fvt::Answer{-1, {}, [&](HWND d) {
            check(0, false)(d);
            check(1, true)(d);
        }});
        fvt::QueueAnswer(Answer(0));
        page.Run(frame, controller.get(), false);
    }
    EXPECT_FALSE(row->book->HasCategory(Utf16(u"Travel")));
    EXPECT_TRUE(row->book->HasCategory(Utf16(u"Work")));
}

TEST_F(PropertiesDialogTest, ReadingListPageCreatesAListAndDropsAnEmptyName) {
    ASSERT_TRUE(library->CreateCategory(Utf16(u"My Reading list")));
    Open();
    LibraryRow* row = view->SelectedRow();
    {
        ReadingListDialog page(row, library.get());
        fvt::QueueAnswer(fvt::Answer{-1, {}, [](HWND d) {
            SendMessageW(d, WM_COMMAND, ReadingListDialog::kCreate, 0);
            HWND list = GetDlgItem(d, ReadingListDialog::kList);
            auto edit = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETEDITCONTROL, 0, 0));
            ASSERT_NE(edit, nullptr);
            char16_t proposed[64] = {};
            GetWindowTextW(edit, proposed, 64);
            EXPECT_EQ(std::u16string(proposed), u"My Reading list 1");
            SendMessageW(edit, WM_KEYDOWN, VK_RETURN, 0);
            SendMessageW(d, WM_COMMAND, ReadingListDialog::kCreate, 0);
            edit = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETEDITCONTROL, 0, 0));
            ASSERT_NE(edit, nullptr);
            SetWindowTextW(edit, u"");
            SendMessageW(edit, WM_KEYDOWN, VK_RETURN, 0);
            EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 2);
        }});
        fvt::QueueAnswer(Answer(0));
        page.Run(frame, controller.get(), false);
    }
    EXPECT_TRUE(library->HasCategory(Utf16(u"My Reading list 1")));
    EXPECT_TRUE(row->book->HasCategory(Utf16(u"My Reading list 1")));
    EXPECT_FALSE(row->book->HasCategory(Utf16(u"My Reading list")));
}

// The dark pixels in a band of a window's middle (its text, when it draws any there).
int DarkPixelsAcrossTheMiddle(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    int mid = (r.top + r.bottom) / 2;
    int dark = 0;
    for (int y = mid - 8; y < mid + 8; ++y)
        for (int x = r.left + 2; x < r.right - 2; ++x)
            if ((GdiScreenSurface()->GetPixel(x, y) & 0xFF) < 0x40) ++dark;
    return dark;
}

TEST_F(PropertiesDialogTest, AnEmptyReadingListPageSaysSoUntilAListIsMade) {
    Open();
    LibraryRow* row = view->SelectedRow();
    ASSERT_NE(row, nullptr);
    int empty = 0, filled = 0;
    ReadingListDialog page(row, library.get());
    fvt::QueueAnswer(fvt::Answer{-1, {}, [&](HWND d) {
        HWND list = GetDlgItem(d, ReadingListDialog::kList);
        UpdateWindow(list);
        empty = DarkPixelsAcrossTheMiddle(list);
        SendMessageW(d, WM_COMMAND, ReadingListDialog::kCreate, 0);
        auto edit = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETEDITCONTROL, 0, 0));
        if (edit) SendMessageW(edit, WM_KEYDOWN, VK_RETURN, 0);
        InvalidateRect(list, nullptr, TRUE);
        UpdateWindow(list);
        filled = DarkPixelsAcrossTheMiddle(list);
    }});
    fvt::QueueAnswer(Answer(IDCANCEL));
    page.Run(frame, controller.get(), false);
    EXPECT_GT(empty, 10);
    EXPECT_EQ(filled, 0);  // one row, at the top
}

TEST_F(PropertiesDialogTest, TheReadingListItemOpensTheReadingListPageKeepingTheRating) {
    ASSERT_TRUE(library->CreateCategory(Utf16(u"Travel")));
    Open();
    LibraryRow* row = view->SelectedRow();
    ASSERT_NE(row, nullptr);
    BookPropertiesSheet sheet(row, library.get());
    bool readingListShown = false;
    fvt::QueueAnswer(fvt::Answer{-1, {}, [](HWND host) {
        SendMessageW(host, WM_HOTKEY, 0, MAKELPARAM(0, '1'));  // the Properties page
    }});
    // Four stars, then the menu's Reading list item.
    fvt::QueueAnswer(fvt::Answer{static_cast<int>(BookPropertiesDialog::kReadingListItem), {},
                                 [](HWND d) { SendMessageW(d, WM_COMMAND, 2002, 0); }});
    fvt::QueueAnswer(fvt::Answer{0, {}, [&](HWND d) {
        HWND list = GetDlgItem(d, ReadingListDialog::kList);
        readingListShown = list != nullptr;
        LVITEMW state{};
        state.state = INDEXTOSTATEIMAGEMASK(2);
        state.stateMask = LVIS_STATEIMAGEMASK;
        SendMessageW(list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&state));
    }});
    fvt::QueueAnswer(Answer(PropertySheetHost::kDoneKey));
    EXPECT_TRUE(sheet.RunModal(frame, controller.get(), false));
    EXPECT_TRUE(readingListShown);
    EXPECT_EQ(row->book->GetRating(), 4u);
    EXPECT_TRUE(row->book->HasCategory(Utf16(u"Travel")));
}

}  // namespace

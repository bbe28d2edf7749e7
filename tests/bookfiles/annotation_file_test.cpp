// The per-book side file: its main record, annotations in range order, sub-records, and the
// crash-safe and damage-safe ways it is written.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "bookfiles/annotation_file.h"
#include "bookfiles/byte_order.h"
#include "bookfiles/database_file.h"
#include "bookfiles/palm_database.h"
#include "platform/storage/files.h"
#include "support/bookfiles/pdb_builder.h"
#include "support/out_text.h"
#include "support/platform/temp_device.h"

namespace {

using fvt::test::TextOf;

class AnnotationFileTest : public ::testing::Test {
protected:
    void TearDown() override { DatabaseFile::FailWritesAfterForTesting(-1); }
    AnnotationFile* OpenNew(int create = 1) {
        AnnotationFile* f = new AnnotationFile;
        last_ = f->OpenOrCreate(kBook, "Book Name", 9, 0, create, 1);
        return f;
    }
    static constexpr const char* kBook = "\\book.prc";
    fvt::test::TempDevice device_;
    int last_ = -1;
};

struct Owner : AnnotationFileOwner {
    int closed = 0;
    void OnAnnotationFileClosed(AnnotationFile*) override { ++closed; }
};

TEST_F(AnnotationFileTest, PathIsTheBookWithTheSideExtension) {
    std::string path;
    bool exists = true;
    ASSERT_TRUE(AnnotationFile::PathForBook("\\storage\\eBooks\\a.b.prc", &path, &exists));
    EXPECT_EQ("\\storage\\eBooks\\a.b.fvt", path);
    EXPECT_FALSE(exists);
    ASSERT_TRUE(AnnotationFile::PathForBook("\\dir.x\\noext", &path));
    EXPECT_EQ("\\dir.x\\noext.fvt", path);
    EXPECT_FALSE(AnnotationFile::PathForBook("\\dir\\", &path));
    EXPECT_FALSE(AnnotationFile::PathForBook("\\dir\\book.fvt", &path));
}

// Books of one base name: the first to make "zero.fvt" keeps it (names matched without case),
// the other gets "<its file name>.fvt"; a file that names no book is taken unless the caller
// wants the book's own, and two names both taken leave no side file rather than a shared one.
TEST_F(AnnotationFileTest, SideFileNamesItsBookAndAnotherBookGetsItsOwn) {
    // The book a side file names is beside it: the file is that book's.
    device_.WriteHost("zero.txt", "Zero.");
    {
        AnnotationFile txt;
        ASSERT_EQ(0, txt.OpenOrCreate("\\zero.txt", nullptr, 0, 0, 1, 1));
        EXPECT_EQ(1, txt.OwnerKind());
    }
    std::string path;
    bool exists = false;
    ASSERT_TRUE(AnnotationFile::PathForBook("\\zero.TXT", &path, &exists));
    EXPECT_EQ("\\zero.fvt", path);
    EXPECT_TRUE(exists);
    ASSERT_TRUE(AnnotationFile::PathForBook("\\zero.html", &path, &exists));
    EXPECT_EQ("\\zero.html.fvt", path);
    EXPECT_FALSE(exists);
    {
        AnnotationFile html;
        ASSERT_EQ(0, html.OpenOrCreate("\\zero.html", nullptr, 0, 0, 1, 1));
        EXPECT_EQ("\\zero.html.fvt", html.GetPath());
    }
    EXPECT_TRUE(device_.HostExists("zero.fvt"));
    // "zero.html.xyz" finds both of its names taken.
    EXPECT_FALSE(AnnotationFile::PathForBook("\\zero.html.xyz", &path, &exists) &&
                 path == "\\zero.html.fvt");

    // An older file without the book's name: anyone's, unless only the book's own will do.
    {
        AnnotationFile old;
        ASSERT_EQ(0, old.Open("\\zero.fvt", 0, 0));
        ByteSpan main;
        ASSERT_TRUE(old.GetData(0, &main));
        ASSERT_GT(main.size, AnnotationFile::kMainSize);
        const std::vector<std::uint8_t> fields(main.data, main.data + AnnotationFile::kMainSize);
        ASSERT_TRUE(old.ReplaceData(0, fields.data(), AnnotationFile::kMainSize));
    }
    ASSERT_TRUE(AnnotationFile::PathForBook("\\zero.prc", &path, &exists));
    EXPECT_EQ("\\zero.fvt", path);
    ASSERT_TRUE(AnnotationFile::PathForBook("\\zero.prc", &path, &exists, true));
    EXPECT_EQ("\\zero.prc.fvt", path);
    EXPECT_FALSE(exists);
    AnnotationFile claimed;
    ASSERT_EQ(0, claimed.OpenOrCreate("\\zero.prc", nullptr, 0, 0, 1, 1));
    EXPECT_EQ(0, claimed.OwnerKind());
    EXPECT_TRUE(claimed.Claim());
    EXPECT_EQ(1, claimed.OwnerKind());
}

TEST_F(AnnotationFileTest, NewFileHasDefaultsAndFieldsRoundTrip) {
    AnnotationFile* f = OpenNew();
    ASSERT_EQ(0, last_);
    EXPECT_TRUE(device_.HostExists("book.fvt"));
    EXPECT_EQ(0xFFFFFFFFu, f->GetBookId());
    std::uint32_t a = 1, b = 1;
    EXPECT_FALSE(f->GetReadingPosition(&a, &b, nullptr));
    EXPECT_STREQ("Book Name", f->Database()->GetName());

    const std::uint8_t state[8] = {0x45, 0x42, 0x41, 0x52, 0, 0, 0, 1};
    EXPECT_EQ(0, f->SetReadingPosition(7, 4096, state, 8));
    EXPECT_EQ(0, f->SetBookId(0x12345678));
    EXPECT_EQ(0, f->SetReadingTime(29000000));
    EXPECT_EQ(0, f->SetAudioPosition(3, 4, state, 4));
    EXPECT_EQ(0, f->SetAudioLast(true));
    EXPECT_EQ(0, f->SetRating(4));
    EXPECT_EQ(0, f->SetOpenCount(12));
    EXPECT_EQ(0, f->SetFormState(state, 8));
    EXPECT_EQ(0, f->SetAuthor(u"Ann Author", 10));
    EXPECT_EQ(0, f->SetCategories(u"one\0two", 7));
    EXPECT_EQ(0, f->Close());
    f->Release();

    f = OpenNew(0);
    ASSERT_EQ(0, last_);
    std::vector<std::uint8_t> got;
    ASSERT_TRUE(f->GetReadingPosition(&a, &b, &got));
    EXPECT_EQ(7u, a);
    EXPECT_EQ(4096u, b);
    EXPECT_EQ(std::vector<std::uint8_t>(state, state + 8), got);
    EXPECT_EQ(0x12345678u, f->GetBookId());
    EXPECT_EQ(29000000u, f->GetReadingTime());
    ASSERT_TRUE(f->GetAudioPosition(&a, &b, &got));
    EXPECT_EQ(4u, got.size());
    EXPECT_TRUE(f->GetAudioLast());
    EXPECT_EQ(4u, f->GetRating());
    EXPECT_EQ(12u, f->GetOpenCount());
    ASSERT_TRUE(f->GetFormState(&got));
    EXPECT_EQ(8u, got.size());
    std::uint32_t n = 0;
    EXPECT_EQ(u"Ann Author", TextOf(*f, &AnnotationFile::GetAuthor));
    EXPECT_EQ(std::u16string(u"one\0two", 7), TextOf(*f, &AnnotationFile::GetCategories));
    EXPECT_EQ(nullptr, f->GetTitle(&n));
    // An empty state removes its record.
    std::uint32_t before = f->RecordCount();
    EXPECT_EQ(0, f->SetFormState(nullptr, 0));
    EXPECT_EQ(before - 1, f->RecordCount());
    EXPECT_FALSE(f->GetFormState(&got));
    f->Release();
}

TEST_F(AnnotationFileTest, AnnotationsStayInRangeOrderAndIterateByPage) {
    AnnotationFile* f = OpenNew();
    ASSERT_EQ(0, last_);
    std::int32_t late = f->AddBookmark(AnnotationFile::kHighlight, 5000, 5100, 0, 0, 15, 1);
    ASSERT_GT(late, 0);
    ASSERT_EQ(0, f->SetBookmarkText(late, u"late", 4));
    std::int32_t early = f->AddBookmark(AnnotationFile::kBookmark, 100, 100, 0, 0, 0, 1);
    ASSERT_GT(early, 0);
    f->AddBookmark(AnnotationFile::kNote, 4090, 4200, 0, 0, 32, 1);
    f->AddBookmark(AnnotationFile::kNote, 9000, 9001, 0, 0, 32, 1);
    f->AddBookmark(AnnotationFile::kBookmark, 100, 50, 0, 0, 0, 1);  // reversed: stored 50-100

    std::vector<std::uint32_t> starts;
    BookmarkIterator it;
    f->StartIterator(&it, 0, 0, 0xFFFFFFFF);
    for (std::int32_t i; (i = f->FindNext(&it)) >= 0;) {
        std::uint32_t s = 0;
        ASSERT_EQ(0, f->GetBookmarkRange(i, &s, nullptr, nullptr, nullptr, nullptr));
        starts.push_back(s);
    }
    EXPECT_EQ((std::vector<std::uint32_t>{50, 100, 4090, 5000, 9000}), starts);
    // The page [4096, 8191] meets the note reaching into it and the highlight.
    std::vector<std::uint32_t> kinds;
    f->StartIterator(&it, 0, 4096, 8191);
    for (std::int32_t i; (i = f->FindNext(&it)) >= 0;) kinds.push_back(f->GetBookmarkKind(i));
    EXPECT_EQ((std::vector<std::uint32_t>{AnnotationFile::kNote, AnnotationFile::kHighlight}), kinds);
    f->StartIterator(&it, AnnotationFile::kHighlight, 0, 0xFFFFFFFF);
    std::int32_t h = f->FindNext(&it);
    EXPECT_EQ(u"late", TextOf(*f, &AnnotationFile::GetBookmarkText, h));
    std::int32_t first = -1;
    EXPECT_TRUE(f->FindFirstInRange(4096, 8191, &first));
    EXPECT_FALSE(f->FindFirstInRange(6000, 8000, &first));
    EXPECT_EQ(-1, first);
    EXPECT_EQ(0u, f->GetBookmarkKind(0));
    EXPECT_EQ(0u, f->GetBookmarkKind(999));
    EXPECT_NE(0, f->GetBookmarkRange(999, nullptr, nullptr, nullptr, nullptr, nullptr));
    f->Release();
}

TEST_F(AnnotationFileTest, DeletingAnAnnotationTakesItsSubRecordsAndLinks) {
    AnnotationFile* f = OpenNew();
    std::int32_t a = f->AddBookmark(AnnotationFile::kLink, 10, 20, 0, 0, 0, 1);
    std::int32_t b = f->AddBookmark(AnnotationFile::kLink, 30, 40, 0, 0, 0, 1);
    ASSERT_EQ(0, f->SetBookmarkText(b, u"text", 4));
    ASSERT_EQ(0, f->SetBookmarkNote(b, u"note", 4));
    ASSERT_EQ(0, f->SetBookmarkUrl(b, u"oeb:redirect?title=x", 20));
    const std::uint8_t s[4] = {1, 2, 3, 4};
    ASSERT_EQ(0, f->SetBookmarkState(b, s, 4));
    ASSERT_EQ(0, f->SetLinkedBookmark(a, b));
    ASSERT_EQ(0, f->SetLinkedBookmark(b, a));
    EXPECT_EQ(b, f->GetLinkedBookmark(a));
    // A new annotation in front moves the indexes; the links follow by id.
    f->AddBookmark(AnnotationFile::kBookmark, 1, 1, 0, 0, 0, 1);
    a += 1;
    b += 1;
    EXPECT_EQ(b, f->GetLinkedBookmark(a));
    std::uint32_t before = f->RecordCount();
    ASSERT_TRUE(f->DeleteBookmark(b));
    EXPECT_EQ(before - 5, f->RecordCount());
    EXPECT_EQ(-1, f->GetLinkedBookmark(a));
    EXPECT_EQ(2u, f->BookmarkCount());
    ASSERT_EQ(0, f->SetAuthor(u"kept", 4));
    ASSERT_EQ(0, f->SetRating(3));
    ASSERT_EQ(0, f->SetReadingPosition(1, 2, s, 4));
    ASSERT_TRUE(f->Reset());
    EXPECT_EQ(0u, f->BookmarkCount());
    std::uint32_t x = 0, y = 0;
    EXPECT_FALSE(f->GetReadingPosition(&x, &y, nullptr));
    EXPECT_EQ(3u, f->GetRating());
    EXPECT_EQ(u"kept", TextOf(*f, &AnnotationFile::GetAuthor));
    EXPECT_EQ(2u, f->RecordCount());  // the main record and AUTH
    f->Release();
}

TEST_F(AnnotationFileTest, FailedWriteLeavesThePreviousFileWhole) {
    AnnotationFile* f = OpenNew();
    f->AddBookmark(AnnotationFile::kBookmark, 1, 2, 0, 0, 0, 1);
    ASSERT_EQ(0, f->Flush());
    for (int i = 0; i < 200; ++i) f->AddBookmark(AnnotationFile::kNote, i * 10, i * 10 + 5, 0, 0, 0, 1);
    DatabaseFile::FailWritesAfterForTesting(100);
    EXPECT_NE(0, f->Flush());
    DatabaseFile::FailWritesAfterForTesting(-1);
    EXPECT_FALSE(device_.HostExists("book.fvt.tmp"));
    AnnotationFile* g = new AnnotationFile;
    ASSERT_EQ(0, g->OpenExisting(kBook, 1));
    EXPECT_EQ(1u, g->BookmarkCount());
    g->Release();
    // The changes are still held, and written once the disk works again.
    ASSERT_EQ(0, f->Flush());
    g = new AnnotationFile;
    ASSERT_EQ(0, g->OpenExisting(kBook, 1));
    EXPECT_EQ(201u, g->BookmarkCount());
    g->Release();
    f->Release();
}

TEST_F(AnnotationFileTest, DamagedFileIsSetAsideNewerOneIsKept) {
    ASSERT_TRUE(WriteFileBytes(device_.Host("book.fvt"), ToBytes("not a database at all")));
    AnnotationFile* f = OpenNew(0);
    EXPECT_EQ(10, last_);
    f->Release();
    f = OpenNew(1);
    ASSERT_EQ(0, last_);
    EXPECT_EQ("\\book.fvt.damaged", f->SetAsidePath());
    EXPECT_TRUE(device_.HostExists("book.fvt.damaged"));
    f->Release();

    // A side file from a newer version: refused, never replaced.
    PdbBuilder newer;
    newer.type = "BPAR";
    Bytes main(8 + 84, 0);
    std::copy_n("BPAR", 4, main.begin());
    SetU32(main, 4, 84);
    SetU32(main, 8, 2);
    newer.Add(main);
    Bytes bytes = newer.Build();
    ASSERT_TRUE(WriteFileBytes(device_.Host("book.fvt"), bytes));
    f = OpenNew(1);
    EXPECT_EQ(13, last_);
    f->Release();
    EXPECT_EQ(bytes.size(), std::filesystem::file_size(device_.Host("book.fvt")));
}

TEST_F(AnnotationFileTest, BadLengthsAndReferencesReadAsAbsent) {
    PdbBuilder b;
    b.type = "BPAR";
    Bytes main(8 + 84, 0);
    std::copy_n("BPAR", 4, main.begin());
    SetU32(main, 4, 84);
    SetU32(main, 8, 1);
    SetU32(main, 8 + 12, 0x777777);  // reading state: no such record
    SetU32(main, 8 + 32, 3);         // form state: names the bad-length record below
    b.Add(main);
    Bytes bk(8 + 48, 0);
    std::copy_n("BKMK", 4, bk.begin());
    SetU32(bk, 4, 48);
    SetU32(bk, 8, 1);
    SetU32(bk, 8 + 28, 2);  // text: names itself (a BKMK, not TEXT)
    b.Add(bk);
    Bytes bad(12, 0);
    std::copy_n("DATA", 4, bad.begin());
    SetU32(bad, 4, 4000);
    b.Add(bad);
    Bytes shortBk(8 + 8, 0);
    std::copy_n("BKMK", 4, shortBk.begin());
    SetU32(shortBk, 4, 8);
    b.Add(shortBk);
    ASSERT_TRUE(WriteFileBytes(device_.Host("book.fvt"), b.Build()));
    AnnotationFile* f = OpenNew(0);
    ASSERT_EQ(0, last_);
    std::vector<std::uint8_t> got;
    std::uint32_t x, y, n = 0;
    f->GetReadingPosition(&x, &y, &got);
    EXPECT_TRUE(got.empty());
    EXPECT_FALSE(f->GetFormState(&got));
    EXPECT_EQ(nullptr, f->GetBookmarkText(1, &n));
    EXPECT_EQ(1u, f->BookmarkCount());
    EXPECT_EQ(0u, f->GetBookmarkKind(3));
    f->Release();
}

TEST_F(AnnotationFileTest, OwnerHearsOfTheClose) {
    Owner owner;
    AnnotationFile* f = OpenNew();
    f->SetOwner(&owner);
    EXPECT_EQ(0, f->Close());
    EXPECT_EQ(0, f->Close());
    EXPECT_EQ(1, owner.closed);
    f->Release();
    // Letting go of the last reference closes an open file, writing it and telling the owner.
    f = OpenNew();
    f->SetOwner(&owner);
    f->SetRating(5);
    f->Release();
    EXPECT_EQ(2, owner.closed);
    f = OpenNew(0);
    EXPECT_EQ(5u, f->GetRating());
    f->Release();
    EXPECT_TRUE(AnnotationFile::Delete("\\book.fvt"));
    EXPECT_FALSE(AnnotationFile::Delete("\\book.fvt"));
}

TEST_F(AnnotationFileTest, NewFileBytesAreTheDefaultMainRecord) {
    AnnotationFile* f = new AnnotationFile;
    ASSERT_EQ(0, f->OpenInMemory(nullptr, 0, 0));
    ASSERT_EQ(1u, f->RecordCount());
    std::uint32_t length = 0;
    const std::uint8_t* r = f->Database()->GetRecord(0, &length);
    ASSERT_EQ(8u + AnnotationFile::kMainSize, length);
    Bytes expected(8 + AnnotationFile::kMainSize, 0);
    std::copy_n("BPAR", 4, expected.begin());
    SetU32(expected, 4, AnnotationFile::kMainSize);
    SetU32(expected, 8, 1);
    SetU32(expected, 8 + 24, 0xFFFFFFFF);
    EXPECT_EQ(expected, Bytes(r, r + length));
    f->Release();
}

TEST_F(AnnotationFileTest, EmptyDatabaseOfAnotherKindIsSetAsideNotTakenOver) {
    // Another program's database, empty, where the side file would go.
    PdbBuilder foreign;
    foreign.type = "DATA";
    foreign.creator = "XYZW";
    Bytes bytes = foreign.Build();
    ASSERT_TRUE(WriteFileBytes(device_.Host("book.fvt"), bytes));

    AnnotationFile* f = OpenNew(0);
    EXPECT_EQ(1, last_);  // without create it is refused and left alone
    f->Release();
    EXPECT_EQ(bytes.size(), std::filesystem::file_size(device_.Host("book.fvt")));

    f = OpenNew(1);
    ASSERT_EQ(0, last_);
    EXPECT_EQ("\\book.fvt.damaged", f->SetAsidePath());
    EXPECT_EQ(PalmCode("BPAR"), f->Database()->GetType());
    EXPECT_EQ(PalmCode("FOLV"), f->Database()->GetCreator());
    ASSERT_GT(f->AddBookmark(AnnotationFile::kNote, 10, 20, 0, 0, 0, 1), 0);
    EXPECT_EQ(0, f->Close());
    f->Release();
    EXPECT_EQ(bytes.size(), std::filesystem::file_size(device_.Host("book.fvt.damaged")));

    // The next session finds the notes of the first.
    f = OpenNew(1);
    ASSERT_EQ(0, last_);
    EXPECT_TRUE(f->SetAsidePath().empty());
    EXPECT_EQ(1u, f->BookmarkCount());
    f->Release();
    EXPECT_FALSE(device_.HostExists("book.fvt.damaged2"));
}

TEST_F(AnnotationFileTest, EmptyDatabaseOfItsOwnKindIsMadeASideFile) {
    PdbBuilder empty;
    empty.type = "BPAR";
    ASSERT_TRUE(WriteFileBytes(device_.Host("book.fvt"), empty.Build()));
    AnnotationFile* f = OpenNew(1);
    ASSERT_EQ(0, last_);
    EXPECT_TRUE(f->SetAsidePath().empty());
    EXPECT_EQ(0xFFFFFFFFu, f->GetBookId());
    f->Release();
    EXPECT_FALSE(device_.HostExists("book.fvt.damaged"));
}

TEST_F(AnnotationFileTest, TemporaryFileOfACutShortWriteIsRemoved) {
    AnnotationFile* f = OpenNew();
    ASSERT_EQ(0, last_);
    ASSERT_EQ(0, f->SetRating(2));
    f->Release();
    // A crash between writing the temporary file and the rename leaves it behind.
    device_.WriteHost("book.fvt.tmp", "half a side file");

    // Reading never writes, so it leaves the file; the next writable open removes it.
    f = new AnnotationFile;
    ASSERT_EQ(0, f->OpenExisting(kBook, 1));
    f->Release();
    EXPECT_TRUE(device_.HostExists("book.fvt.tmp"));
    f = OpenNew(0);
    ASSERT_EQ(0, last_);
    EXPECT_FALSE(device_.HostExists("book.fvt.tmp"));
    EXPECT_EQ(2u, f->GetRating());
    f->Release();

    // Deleting the side file takes its temporary file too, even with the side file gone.
    device_.WriteHost("book.fvt.tmp", "left over");
    EXPECT_TRUE(AnnotationFile::Delete("\\book.fvt"));
    EXPECT_FALSE(device_.HostExists("book.fvt"));
    EXPECT_FALSE(device_.HostExists("book.fvt.tmp"));
    device_.WriteHost("book.fvt.tmp", "left over");
    EXPECT_FALSE(AnnotationFile::Delete("\\book.fvt"));
    EXPECT_FALSE(device_.HostExists("book.fvt.tmp"));
}

TEST_F(AnnotationFileTest, CloseWritesBackOnce) {
    AnnotationFile* f = OpenNew();
    ASSERT_EQ(0, last_);
    ASSERT_EQ(0, f->Flush());
    long long before = DatabaseFile::ReplaceCountForTesting();
    EXPECT_EQ(0, f->Close());  // nothing changed: nothing written
    EXPECT_EQ(before, DatabaseFile::ReplaceCountForTesting());
    f->Release();

    f = OpenNew(0);
    ASSERT_EQ(0, f->SetRating(4));
    DatabaseFile::FailWritesAfterForTesting(0);
    before = DatabaseFile::ReplaceCountForTesting();
    EXPECT_NE(0, f->Close());
    EXPECT_EQ(before + 1, DatabaseFile::ReplaceCountForTesting());
    DatabaseFile::FailWritesAfterForTesting(-1);
    f->Release();
    EXPECT_EQ(before + 1, DatabaseFile::ReplaceCountForTesting());
    EXPECT_FALSE(device_.HostExists("book.fvt.tmp"));

    // A failed close reported the truth: the file is the previous version.
    f = OpenNew(0);
    EXPECT_EQ(0u, f->GetRating());
    ASSERT_EQ(0, f->SetRating(4));
    before = DatabaseFile::ReplaceCountForTesting();
    EXPECT_EQ(0, f->Close());
    EXPECT_EQ(before + 1, DatabaseFile::ReplaceCountForTesting());
    f->Release();
    f = OpenNew(0);
    EXPECT_EQ(4u, f->GetRating());
    f->Release();
}

}  // namespace

namespace {

// A book that changed since its side file was written.
class ChangedBook : public AnnotationFileTest {
protected:
    void TearDown() override {
        AnnotationFileTest::TearDown();
        std::u16string ignored;
        fvt::TakeWriteFailure(ignored);
    }
};

TEST_F(ChangedBook, TheOldFileIsKeptAsideUnderANameThatSaysWhy) {
    AnnotationFile* f = OpenNew();
    ASSERT_EQ(last_, 0);
    ASSERT_GE(f->AddBookmark(AnnotationFile::kBookmark, 10, 20, 0, 0, 0, 0), 0);
    ASSERT_EQ(f->Flush(), 0);
    const auto written = std::filesystem::file_size(device_.Host("book.fvt"));
    ASSERT_TRUE(f->SetAsideForChangedBook());
    EXPECT_EQ(f->TakeChangedAside(), "\\book.fvt.book-changed");
    EXPECT_EQ(f->TakeChangedAside(), "");  // told once
    EXPECT_FALSE(device_.HostExists("book.fvt.damaged"));
    EXPECT_EQ(std::filesystem::file_size(device_.Host("book.fvt.book-changed")), written);
    // The store goes on; its next write is a file of its own.
    EXPECT_EQ(f->BookmarkCount(), 1u);
    f->SetRating(3);
    ASSERT_EQ(f->Flush(), 0);
    EXPECT_TRUE(device_.HostExists("book.fvt"));
    // A second change keeps the first file aside as it was.
    ASSERT_TRUE(f->SetAsideForChangedBook());
    EXPECT_EQ(f->TakeChangedAside(), "\\book.fvt.book-changed2");
    EXPECT_EQ(std::filesystem::file_size(device_.Host("book.fvt.book-changed")), written);
    f->Release();
}

TEST_F(ChangedBook, OnlyWhatStillFallsInsideTheTextIsKept) {
    AnnotationFile* f = OpenNew();
    ASSERT_EQ(last_, 0);
    ASSERT_GE(f->AddBookmark(AnnotationFile::kBookmark, 10, 20, 0, 0, 0, 0), 0);
    ASSERT_GE(f->AddBookmark(AnnotationFile::kHighlight, 90, 100, 0, 0, 0, 0), 0);
    ASSERT_GE(f->AddBookmark(AnnotationFile::kNote, 95, 120, 0, 0, 0, 0), 0);
    ASSERT_GE(f->AddBookmark(AnnotationFile::kBookmark, 100, 100, 0, 0, 0, 0), 0);
    const std::uint32_t state[] = {1, 2};
    ASSERT_EQ(f->SetReadingPosition(1, 50, state, sizeof state), 0);
    ASSERT_TRUE(f->KeepWithin(100));
    std::vector<std::pair<std::uint32_t, std::uint32_t>> kept;
    BookmarkIterator it;
    f->StartIterator(&it, 0, 0, 0xFFFFFFFF);
    for (std::int32_t i = f->FindNext(&it); i >= 0; i = f->FindNext(&it)) {
        std::uint32_t start = 0, end = 0, a = 0, b = 0, style = 0;
        f->GetBookmarkRange(i, &start, &end, &a, &b, &style);
        kept.push_back({start, end});
    }
    EXPECT_EQ(kept, (std::vector<std::pair<std::uint32_t, std::uint32_t>>{{10, 20}, {90, 100}}));
    std::uint32_t word = 0, position = 0;
    EXPECT_TRUE(f->GetReadingPosition(&word, &position, nullptr));
    EXPECT_EQ(position, 50u);
    // A text shorter than the reading place loses the place too.
    ASSERT_TRUE(f->KeepWithin(40));
    EXPECT_EQ(f->BookmarkCount(), 1u);
    EXPECT_FALSE(f->GetReadingPosition(&word, &position, nullptr));
    f->Release();
}

// A folder stands where the side file belongs: the notes are kept in memory, and their first
// write is told as a save the device refused, naming the side file.
TEST_F(ChangedBook, ACopyInMemoryTellsTheSaveItCannotMake) {
    std::u16string ignored;
    fvt::TakeWriteFailure(ignored);
    std::filesystem::create_directories(device_.Host("book.fvt"));
    AnnotationFile* f = new AnnotationFile;
    ASSERT_NE(f->OpenOrCreate(kBook, "Book Name", 9, 0, 1, 1), 0);
    ASSERT_EQ(f->OpenInMemoryFor(kBook, "Book Name", 9), 0);
    std::u16string refused;
    EXPECT_FALSE(fvt::TakeWriteFailure(refused));  // nothing changed yet
    ASSERT_GE(f->AddBookmark(AnnotationFile::kBookmark, 1, 2, 0, 0, 0, 0), 0);
    f->Flush();
    ASSERT_TRUE(fvt::TakeWriteFailure(refused));
    EXPECT_EQ(refused, u"\\book.fvt");
    EXPECT_EQ(f->BookmarkCount(), 1u);
    f->Release();
    EXPECT_TRUE(std::filesystem::is_directory(device_.Host("book.fvt")));
}

}  // namespace

namespace {

// Side files that cannot be read whole: the records still whole go into the new file, with the
// texts, notes, state and links between annotations they name.
class DamagedSideFile : public AnnotationFileTest {
protected:
    Bytes HostBytes(const char* name) const {
        const std::string text = device_.ReadHost(name);
        return Bytes(text.begin(), text.end());
    }
    // A side file of two annotations with a text, a note and a link between them, a reading
    // position and a title; its bytes.
    Bytes Written() {
        AnnotationFile* f = OpenNew();
        EXPECT_EQ(last_, 0);
        const std::int32_t a = f->AddBookmark(AnnotationFile::kHighlight, 10, 20, 0, 0, 0, 7);
        f->SetBookmarkText(a, u"first", 5);
        const std::int32_t b = f->AddBookmark(AnnotationFile::kNote, 30, 40, 0, 0, 0, 8);
        f->SetBookmarkNote(b, u"a note", 6);
        f->SetLinkedBookmark(b, 1);
        const std::uint8_t state[8] = {'E', 'B', 'A', 'R', 0, 0, 0, 1};
        f->SetReadingPosition(3, 25, state, 8);
        f->SetTitle(u"Title", 5);
        f->SetBookId(0xABCDEF);
        EXPECT_EQ(f->Flush(), 0);
        f->Release();
        return HostBytes("book.fvt");
    }
    // Where the list places record `i`.
    static std::uint32_t Offset(const Bytes& file, std::uint32_t i) {
        return BigEndian::U32(file.data() + 78 + 8 * i);
    }
    void ExpectEverythingKept(AnnotationFile* f) {
        ASSERT_EQ(f->BookmarkCount(), 2u);
        BookmarkIterator it;
        f->StartIterator(&it, 0, 0, 0xFFFFFFFF);
        const std::int32_t a = f->FindNext(&it), b = f->FindNext(&it);
        EXPECT_EQ(f->GetBookmarkKind(a), AnnotationFile::kHighlight);
        EXPECT_EQ(TextOf(*f, &AnnotationFile::GetBookmarkText, a), u"first");
        EXPECT_EQ(TextOf(*f, &AnnotationFile::GetBookmarkNote, b), u"a note");
        EXPECT_EQ(f->GetLinkedBookmark(b), a);
        EXPECT_EQ(f->GetBookmarkTime(b), 8u);
        std::uint32_t word = 0, position = 0;
        std::vector<std::uint8_t> state;
        EXPECT_TRUE(f->GetReadingPosition(&word, &position, &state));
        EXPECT_EQ(position, 25u);
        EXPECT_EQ(state.size(), 8u);
        EXPECT_EQ(TextOf(*f, &AnnotationFile::GetTitle), u"Title");
        EXPECT_EQ(f->GetBookId(), 0xABCDEFu);
        EXPECT_EQ(f->OwnerKind(), 1);
    }
};

TEST_F(DamagedSideFile, AMisplacedRecordIsFoundWhereTheOneBeforeItEnds) {
    Bytes file = Written();
    file[78 + 8 * 1] ^= 0x40;  // the second record's place, far past the end
    ASSERT_TRUE(WriteFileBytes(device_.Host("book.fvt"), file));
    AnnotationFile* f = OpenNew();
    ASSERT_EQ(last_, 0);
    EXPECT_EQ(f->SetAsidePath(), "\\book.fvt.damaged");
    EXPECT_EQ(f->TakeDamagedAside(), "\\book.fvt.damaged");
    EXPECT_EQ(f->TakeDamagedAside(), "");  // told once
    EXPECT_EQ(HostBytes("book.fvt.damaged"), file);
    ExpectEverythingKept(f);
    f->Release();
    // Written as a sound file.
    f = OpenNew(0);
    ASSERT_EQ(last_, 0);
    ExpectEverythingKept(f);
    f->Release();
}

TEST_F(DamagedSideFile, ARecordWhoseTagChangedIsDroppedAndTheRestKept) {
    Bytes file = Written();
    std::uint32_t record = 0;
    for (std::uint32_t i = 0; i < BigEndian::U16(file.data() + 76); ++i)
        if (std::equal(file.begin() + Offset(file, i), file.begin() + Offset(file, i) + 4,
                       "TITL"))
            record = i;
    ASSERT_GT(record, 0u);
    file[Offset(file, record)] = 'X';
    ASSERT_TRUE(WriteFileBytes(device_.Host("book.fvt"), file));
    // Read as it is, the file opens (the damage reads as absent)...
    AnnotationFile* f = OpenNew(0);
    ASSERT_EQ(last_, 0);
    f->Release();
    // ...but opened to be written it is salvaged: the title alone is gone.
    f = OpenNew();
    ASSERT_EQ(last_, 0);
    EXPECT_EQ(f->TakeDamagedAside(), "\\book.fvt.damaged");
    std::uint32_t n = 0;
    EXPECT_EQ(f->GetTitle(&n), nullptr);
    EXPECT_EQ(f->BookmarkCount(), 2u);
    f->Release();
}

TEST_F(DamagedSideFile, AFileCutShortKeepsTheRecordsBeforeTheCut) {
    Bytes file = Written();
    // Cut inside the last record of the file.
    const std::uint32_t count = BigEndian::U16(file.data() + 76);
    file.resize(Offset(file, count - 1) + 6);
    ASSERT_TRUE(WriteFileBytes(device_.Host("book.fvt"), file));
    AnnotationFile* f = OpenNew();
    ASSERT_EQ(last_, 0);
    EXPECT_EQ(f->TakeDamagedAside(), "\\book.fvt.damaged");
    EXPECT_GE(f->SalvagedCount(), count - 1);
    EXPECT_GE(f->BookmarkCount(), 1u);
    f->Release();
}

// A file under the book's base name that names a book not beside it is kept aside with its
// annotations taken over; one naming a book that is there stays that book's.
TEST_F(DamagedSideFile, AFileNamingABookNotBesideItIsKeptAside) {
    Written();
    {
        AnnotationFile other;
        ASSERT_EQ(other.OpenOrCreate("\\book.txt", nullptr, 0, 0, 1, 1), 0);
        // "book.prc" is not beside the file: the base name is this book's now.
        EXPECT_EQ(other.GetPath(), "\\book.fvt");
        EXPECT_EQ(other.TakeDamagedAside(), "\\book.fvt.damaged");
        EXPECT_EQ(other.BookmarkCount(), 2u);
        EXPECT_EQ(other.OwnerKind(), 1);
    }
    EXPECT_TRUE(device_.HostExists("book.fvt.damaged"));
    // With its book there, a book of the same base name leaves the file alone.
    device_.WriteHost("song.prc", "book");
    {
        AnnotationFile prc;
        ASSERT_EQ(prc.OpenOrCreate("\\song.prc", nullptr, 0, 0, 1, 1), 0);
    }
    AnnotationFile txt;
    ASSERT_EQ(txt.OpenOrCreate("\\song.txt", nullptr, 0, 0, 1, 1), 0);
    EXPECT_EQ(txt.GetPath(), "\\song.txt.fvt");
    EXPECT_EQ(txt.TakeDamagedAside(), "");
    EXPECT_TRUE(device_.HostExists("song.fvt"));
}

}  // namespace

// Catalogue entries: classifying files, reading a book's header, completing an entry from its
// side file, and the entry's own writes (rating, title, reading lists).
#include <gtest/gtest.h>

#include "bookfiles/database_file.h"
#include "core/letter_order.h"
#include "bookfiles/palm_database.h"
#include "support/library/library_fixture.h"

using fvt::test::Dev;
using fvt::test::LibraryDevice;
using fvt::test::MakeBook;
using fvt::test::Wide;

namespace {

class LibraryBookTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dev.ok()); }
    LibraryBook* Add(const std::u16string& path) { return library.AddFile(Dev(path), false); }

    LibraryDevice dev;
    Library library{&dev.host};
};

// ---- Classification -------------------------------------------------------------------------

TEST_F(LibraryBookTest, TextAndHtmlFilesAreClassifiedByExtensionWithoutCase) {
    dev.PutText("eBooks/Notes.TXT");
    dev.PutText("eBooks/page.htm");
    dev.PutText("eBooks/page2.HTML");
    dev.PutText("eBooks/paper.pdf");
    LibraryBook* notes = Add(u"\\eBooks\\Notes.TXT");
    ASSERT_NE(notes, nullptr);
    EXPECT_EQ(notes->GetType(), LibraryBook::kTypeText);
    EXPECT_EQ(Wide(notes->GetTitle()), u"Notes");
    EXPECT_EQ(notes->GetLanguagePair(), 0);
    ASSERT_NE(Add(u"\\eBooks\\page.htm"), nullptr);
    EXPECT_EQ(Add(u"\\eBooks\\page.htm")->GetType(), LibraryBook::kTypeHtml);
    EXPECT_EQ(Add(u"\\eBooks\\page2.HTML")->GetType(), LibraryBook::kTypeHtml);
    EXPECT_EQ(Add(u"\\eBooks\\paper.pdf"), nullptr);
    EXPECT_EQ(Add(u"\\eBooks\\missing.txt"), nullptr);
    EXPECT_EQ(library.GetEntryCount(), 3);
}

TEST_F(LibraryBookTest, AddingAKnownPathGivesTheSameEntry) {
    dev.PutText("eBooks/a.txt");
    LibraryBook* a = Add(u"\\eBooks\\a.txt");
    ASSERT_NE(a, nullptr);
    a->SetPresent(false);
    EXPECT_EQ(Add(u"\\EBOOKS\\A.TXT"), a);
    EXPECT_TRUE(a->IsPresent());
    EXPECT_EQ(library.GetEntryCount(), 1);
    // With check-exists, presence follows the file.
    std::filesystem::remove(dev.device().Host("eBooks/a.txt"));
    EXPECT_EQ(library.AddFile(Dev(u"\\eBooks\\a.txt"), true), a);
    EXPECT_FALSE(a->IsPresent());
}

// ---- Book headers ---------------------------------------------------------------------------

TEST_F(LibraryBookTest, BookEntryTakesHeaderFieldsAndDecodedFullName) {
    auto book = MakeBook("Tom &amp; Jerry", 257, 0xCAFE0001);
    book.exth = {{100, ToBytes("An Author")}, {201, {0, 0, 0, 3}}, {202, {0, 1, 0, 0}},
                 {203, {0, 0, 0, 1}}};
    dev.PutBook("eBooks/tom.prc", book);
    LibraryBook* e = Add(u"\\eBooks\\tom.prc");
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(Wide(e->GetTitle()), u"Tom & Jerry");
    EXPECT_EQ(e->GetType(), 257);
    EXPECT_EQ(e->GetUniqueId(), 0xCAFE0001u);
    EXPECT_EQ(Wide(e->GetAuthor()), u"An Author");
    EXPECT_EQ(std::u16string(e->GetDatabaseName().Data(), e->GetDatabaseName().Length()),
              u"DB Tom &amp; Jerry");
    EXPECT_EQ(e->GetCoverOffset(), 3);
    // 0x10000 cannot be kept in 16 bits: it means none, not record 0.
    EXPECT_EQ(e->GetThumbnailOffset(), LibraryBook::kNoImage);
    EXPECT_TRUE(e->HasFakeCover());
    EXPECT_GT(e->GetFileSize(), 0u);
    EXPECT_GT(e->GetCreated(), 0u);
}

TEST_F(LibraryBookTest, TitleFallsBackToTheDatabaseName) {
    dev.PutBook("eBooks/n.prc", MakeBook(""));
    LibraryBook* e = Add(u"\\eBooks\\n.prc");
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(Wide(e->GetTitle()), u"DB ");
}

// A file the reader cannot read is never dropped without a word: it is listed by its file name,
// marked as damaged and as not openable, and nothing is written beside it.
TEST_F(LibraryBookTest, RefusedHeadersAreListedByNameAsDamaged) {
    auto shortHeader = MakeBook("Short");
    shortHeader.version = 3;
    shortHeader.headerLength = 100;
    dev.PutBook("eBooks/short.prc", shortHeader);
    LibraryBook* refused = Add(u"\\eBooks\\short.prc");
    ASSERT_NE(refused, nullptr);
    EXPECT_EQ(Wide(refused->GetTitle()), u"short.prc (damaged)");
    EXPECT_FALSE(refused->IsOpenable());

    PdbBuilder foreign;
    foreign.creator = "XXXX";
    foreign.Add(Bytes(64, 0));
    dev.PutBytes("eBooks/foreign.pdb", foreign.Build());
    ASSERT_NE(Add(u"\\eBooks\\foreign.pdb"), nullptr);

    dev.PutText("eBooks/junk.prc", "not a database");
    LibraryBook* junk = Add(u"\\eBooks\\junk.prc");
    ASSERT_NE(junk, nullptr);
    EXPECT_EQ(Wide(junk->GetTitle()), u"junk.prc (damaged)");
    EXPECT_EQ(library.GetEntryCount(), 3);
    // A file that is not there is still not listed.
    EXPECT_EQ(Add(u"\\eBooks\\missing.prc"), nullptr);
    EXPECT_FALSE(dev.Exists("eBooks/short.fvt"));
    EXPECT_FALSE(dev.Exists("eBooks/junk.fvt"));
}

TEST_F(LibraryBookTest, ShortBookRecordIsAcceptedWithUnknownType) {
    PdbBuilder tiny;
    tiny.name = "Tiny";
    tiny.Add(Bytes(20, 0));
    dev.PutBytes("eBooks/tiny.prc", tiny.Build());
    LibraryBook* e = Add(u"\\eBooks\\tiny.prc");
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->GetType(), LibraryBook::kTypeUnknownBook);
    EXPECT_EQ(Wide(e->GetTitle()), u"Tiny");
    EXPECT_EQ(e->GetUniqueId(), LibraryBook::kUnknownId);
}

TEST_F(LibraryBookTest, AHeaderLongerThanItsRecordIsReadOnlyWhereItLies) {
    auto book = MakeBook("Cut short", 5, 0x01020304);
    book.tables[0] = 1;
    book.inputLanguage = 9;
    book.outputLanguage = 12;
    PdbBuilder db = book.BuildDatabase();
    db.records[0].bytes.resize(16 + 40);  // the header still claims 228 bytes
    dev.PutBytes("eBooks/cut.prc", db.Build());
    LibraryBook* e = Add(u"\\eBooks\\cut.prc");
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->GetType(), 5);
    EXPECT_EQ(e->GetUniqueId(), 0x01020304u);
    // The languages and the full name lie past the record's end: no dictionary, no full name.
    EXPECT_EQ(e->GetLanguagePair(), 0);
    EXPECT_EQ(Wide(e->GetTitle()), u"DB Cut short");
}

TEST_F(LibraryBookTest, PalmDocTypesFollowTheirEncryptionWord) {
    auto doc = MakeBook("");
    doc.palmDoc = true;
    doc.databaseName = "Plain Doc";
    dev.PutBook("eBooks/plain.pdb", doc);
    LibraryBook* e = Add(u"\\eBooks\\plain.pdb");
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->GetType(), 3);
    EXPECT_EQ(Wide(e->GetTitle()), u"Plain Doc");

    doc.encryption = 1;
    dev.PutBook("eBooks/other.pdb", doc);
    e = Add(u"\\eBooks\\other.pdb");
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->GetType(), 2);
}

TEST_F(LibraryBookTest, LanguagePairKeepsEachLanguageInItsByte) {
    auto dict = MakeBook("Dict");
    dict.tables[0] = 5;
    dict.inputLanguage = 9;
    dict.outputLanguage = 12;
    dev.PutBook("eBooks/dict.prc", dict);
    LibraryBook* e = Add(u"\\eBooks\\dict.prc");
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->GetLanguagePair(), 0x090C);
    EXPECT_EQ(e->GetInputLanguage(), 9);
    EXPECT_EQ(e->GetOutputLanguage(), 12);
    EXPECT_TRUE(e->HasLanguagePair());

    dict.outputLanguage = 0x30C;  // bits 8-9 must not reach the input byte
    dev.PutBook("eBooks/wide.prc", dict);
    EXPECT_EQ(Add(u"\\eBooks\\wide.prc")->GetLanguagePair(), 0x090C);

    dict.tables[0] = 0xFFFFFFFF;
    dev.PutBook("eBooks/plain.prc", dict);
    LibraryBook* plain = Add(u"\\eBooks\\plain.prc");
    EXPECT_EQ(plain->GetLanguagePair(), 0xFFFF);
    EXPECT_FALSE(plain->HasLanguagePair());

    dict.tables[0] = 5;
    dict.inputLanguage = 0x80000000u;
    dev.PutBook("eBooks/none.prc", dict);
    EXPECT_EQ(Add(u"\\eBooks\\none.prc")->GetLanguagePair(), 0);
}

// ---- Side files -----------------------------------------------------------------------------

TEST_F(LibraryBookTest, SideFileGivesRatingTitleAndLastReadForItsOwnBook) {
    dev.PutBook("eBooks/own.prc", MakeBook("Own", 1, 0x11223344));
    ASSERT_TRUE(LibraryDevice::PutSideFile("\\eBooks\\own.prc", 0x11223344, 1000, 4, u"Renamed"));
    LibraryBook* e = Add(u"\\eBooks\\own.prc");
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->GetLastRead(), 60000u);
    EXPECT_EQ(e->GetRating(), 4u);
    EXPECT_EQ(Wide(e->GetTitle()), u"Renamed");
    EXPECT_NE(e->GetSideFileTime(), 0u);
    EXPECT_NE(e->GetFileTime(), 0u);
}

TEST_F(LibraryBookTest, ByteReversedIdentifierCountsAsTheSameBook) {
    dev.PutBook("eBooks/rev.prc", MakeBook("Rev", 1, 0x11223344));
    ASSERT_TRUE(LibraryDevice::PutSideFile("\\eBooks\\rev.prc", 0x44332211, 10, 0));
    EXPECT_EQ(Add(u"\\eBooks\\rev.prc")->GetLastRead(), 600u);
}

TEST_F(LibraryBookTest, SideFileOfAnotherBookLendsNoDate) {
    dev.PutBook("eBooks/copy.prc", MakeBook("Copy", 1, 0x11223344));
    ASSERT_TRUE(LibraryDevice::PutSideFile("\\eBooks\\copy.prc", 0x99999999, 10, 2));
    LibraryBook* e = Add(u"\\eBooks\\copy.prc");
    EXPECT_EQ(e->GetLastRead(), 0u);
    EXPECT_EQ(e->GetRating(), 2u);
}

TEST_F(LibraryBookTest, TextFilesKeepTheirLastReadDate) {
    dev.PutText("eBooks/t.txt");
    // A text file's side file holds a key of its own.
    ASSERT_TRUE(LibraryDevice::PutSideFile("\\eBooks\\t.txt", 0x5A5A1234, 20, 0));
    EXPECT_EQ(Add(u"\\eBooks\\t.txt")->GetLastRead(), 1200u);
}

TEST_F(LibraryBookTest, ReadingAnEntryNeverCreatesASideFile) {
    dev.PutBook("eBooks/b.prc", MakeBook("B"));
    dev.PutText("eBooks/t.txt");
    LibraryBook* b = Add(u"\\eBooks\\b.prc");
    Add(u"\\eBooks\\t.txt");
    ASSERT_NE(b, nullptr);
    EXPECT_FALSE(b->LoadSideFileInfo());
    EXPECT_FALSE(dev.Exists("eBooks/b.fvt"));
    EXPECT_FALSE(dev.Exists("eBooks/t.fvt"));
}

TEST_F(LibraryBookTest, RatingIsWrittenToTheSideFileAndRangeChecked) {
    dev.PutBook("eBooks/r.prc", MakeBook("R"));
    LibraryBook* e = Add(u"\\eBooks\\r.prc");
    ASSERT_NE(e, nullptr);
    EXPECT_FALSE(e->SetRating(6));
    EXPECT_FALSE(dev.Exists("eBooks/r.fvt"));
    ASSERT_TRUE(e->SetRating(3));
    EXPECT_TRUE(dev.Exists("eBooks/r.fvt"));
    e->SetRatingField(0);
    ASSERT_TRUE(e->LoadSideFileInfo());
    EXPECT_EQ(e->GetRating(), 3u);
}

TEST_F(LibraryBookTest, FailedSideFileWriteIsAFailureAndKeepsTheEntry) {
    dev.PutBook("eBooks/f.prc", MakeBook("F"));
    LibraryBook* e = Add(u"\\eBooks\\f.prc");
    ASSERT_TRUE(e->SetRating(2));
    DatabaseFile::FailWritesAfterForTesting(0);
    EXPECT_FALSE(e->SetRating(5));
    EXPECT_FALSE(e->SetTitle(Dev(u"New"), true));
    DatabaseFile::FailWritesAfterForTesting(-1);
    EXPECT_EQ(e->GetRating(), 2u);
    EXPECT_EQ(Wide(e->GetTitle()), u"F");
    ASSERT_TRUE(e->LoadSideFileInfo());
    EXPECT_EQ(e->GetRating(), 2u);
}

TEST_F(LibraryBookTest, TitleAndAuthorSavedGoToTheSideFile) {
    dev.PutBook("eBooks/s.prc", MakeBook("S"));
    LibraryBook* e = Add(u"\\eBooks\\s.prc");
    ASSERT_TRUE(e->SetTitle(Dev(u"Saved"), true));
    ASSERT_TRUE(e->SetAuthor(Dev(u"Writer")));
    LibraryBook* again = nullptr;
    Library other(&dev.host);
    again = other.AddFile(Dev(u"\\eBooks\\s.prc"), false);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(Wide(again->GetTitle()), u"Saved");
    EXPECT_EQ(Wide(again->GetAuthor()), u"Writer");
}

TEST_F(LibraryBookTest, AnOpenBookSharesItsSideFile) {
    dev.PutBook("eBooks/o.prc", MakeBook("O"));
    LibraryBook* e = Add(u"\\eBooks\\o.prc");
    auto* shared = new AnnotationFile;
    ASSERT_EQ(shared->OpenOrCreate("\\eBooks\\o.prc", "O", 1, 0, 1, 1), 0);
    dev.host.openSideFile = shared;
    ASSERT_TRUE(e->SetRating(5));
    EXPECT_EQ(shared->GetRating(), 5u);
    EXPECT_EQ(shared->RefCount(), 1);
    dev.host.openSideFile = nullptr;
    shared->Release();
}

// ---- Reading lists of a book ----------------------------------------------------------------

TEST_F(LibraryBookTest, ReadingListsAreSavedJoinedWithNul) {
    dev.PutBook("eBooks/c.prc", MakeBook("C"));
    LibraryBook* e = Add(u"\\eBooks\\c.prc");
    ASSERT_TRUE(e->AddCategory(Dev(u"Fiction"), true));
    EXPECT_FALSE(e->AddCategory(Dev(u"Fiction"), true));
    ASSERT_TRUE(e->AddCategory(Dev(u"Travel"), true));
    EXPECT_TRUE(e->HasCategory(Dev(u"Travel")));
    EXPECT_FALSE(e->HasCategory(Dev(u"travel")));
    EXPECT_FALSE(e->RemoveCategory(Dev(u"Missing"), true));
    {
        auto* f = new AnnotationFile;
        ASSERT_EQ(f->OpenExisting("\\eBooks\\c.prc", 1), 0);
        uint32_t n = 0;
        const char16_t* lists = f->GetCategories(&n);
        ASSERT_NE(lists, nullptr);
        EXPECT_EQ(std::u16string(lists, n), std::u16string(u"Fiction\0Travel", 14));
        f->Release();
    }
    ASSERT_TRUE(e->ClearCategories(true));
    auto* f = new AnnotationFile;
    ASSERT_EQ(f->OpenExisting("\\eBooks\\c.prc", 1), 0);
    uint32_t n = 7;
    const char16_t* lists = f->GetCategories(&n);
    EXPECT_TRUE(lists == nullptr || n == 0);
    f->Release();
}

TEST_F(LibraryBookTest, ReadingListsLoadSkippingEmptyPieces) {
    LibraryBook e(&library, Dev(u"\\x.txt"));
    std::u16string text(u"\0A\0\0B\0A", 7);
    e.LoadCategories(text.data(), static_cast<uint32_t>(text.size()));
    ASSERT_EQ(e.GetCategoryCount(), 2);
    Text name;
    ASSERT_TRUE(e.GetCategory(1, name));
    EXPECT_EQ(Wide(name), u"B");
    EXPECT_FALSE(e.GetCategory(2, name));
    EXPECT_EQ(Wide(e.JoinCategories()), std::u16string(u"A\0B", 3));
}

TEST_F(LibraryBookTest, TestOpenMarksTheEntry) {
    dev.PutText("eBooks/t.txt");
    LibraryBook* e = Add(u"\\eBooks\\t.txt");
    dev.host.opens = false;
    EXPECT_TRUE(e->TestOpen(0));
    EXPECT_FALSE(e->IsOpenable());
    dev.host.opens = true;
    e->TestOpen(0);
    EXPECT_TRUE(e->IsOpenable());
}

// ---- Sort keys ------------------------------------------------------------------------------

// The list sorts by keys kept in the entry: each must follow its text through every way the
// text changes, or a renamed book keeps its old place.
TEST_F(LibraryBookTest, SortKeysFollowTheTitleAndAuthorThroughEveryChange) {
    dev.PutBook("eBooks/k.prc", MakeBook("Bravo", 1, 0x11223344));
    LibraryBook* e = Add(u"\\eBooks\\k.prc");
    ASSERT_NE(e, nullptr);
    auto key = [](const std::u16string& s) { return LetterOrderKey(Dev(s)); };
    EXPECT_EQ(e->TitleOrderKey(), key(u"Bravo"));
    EXPECT_EQ(e->AuthorOrderKey(), key(u""));
    ASSERT_TRUE(e->SetTitle(Dev(u"\u00C9clair"), false));
    EXPECT_EQ(e->TitleOrderKey(), key(u"\u00C9clair"));
    ASSERT_TRUE(e->SetTitle(Dev(u"Saved"), true));
    EXPECT_EQ(e->TitleOrderKey(), key(u"Saved"));
    e->SetAuthorField(Dev(u"Writer"));
    EXPECT_EQ(e->AuthorOrderKey(), key(u"Writer"));
    ASSERT_TRUE(e->SetAuthor(Dev(u"Author")));
    EXPECT_EQ(e->AuthorOrderKey(), key(u"Author"));
    // Read again from a side file that another program wrote.
    ASSERT_TRUE(LibraryDevice::PutSideFile("\\eBooks\\k.prc", 0x11223344, 1, 0, u"Renamed"));
    ASSERT_TRUE(e->LoadSideFileInfo());
    EXPECT_EQ(e->TitleOrderKey(), key(u"Renamed"));
}

// Books whose keys are equal go in the order of their paths' code points, read without
// decoding: the same order as comparing the texts, across the basic plane's top (U+FF21),
// characters beyond it (two UTF-16 units each), case, a path that starts another, and none.
TEST_F(LibraryBookTest, PathsCompareInTheOrderOfTheirCodePoints) {
    const std::u16string paths[] = {u"",
                                    u"\\a",
                                    u"\\a\\b",
                                    u"\\a\\B",
                                    u"\\a\\b2",
                                    u"\\a\\\uD7FF",
                                    u"\\a\\\uE000",
                                    u"\\a\\\uFF21",
                                    u"\\a\\\U0001D400",
                                    u"\\a\\\U0001D401",
                                    u"\\a\\\U00010000z"};
    auto sign = [](int c) { return c < 0 ? -1 : c > 0 ? 1 : 0; };
    for (const auto& a : paths) {
        const LibraryBook x(nullptr, Dev(a));
        for (const auto& b : paths) {
            const LibraryBook y(nullptr, Dev(b));
            EXPECT_EQ(sign(LibraryBook::ComparePaths(x, y)),
                      sign(x.GetPath().Compare(y.GetPath(), true)))
                << Wide(x.GetPath()).size() << " against " << Wide(y.GetPath()).size();
        }
    }
}

}  // namespace

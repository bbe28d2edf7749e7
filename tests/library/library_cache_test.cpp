// The library cache file: round trips, header and index checks, packing, corrupt input, failed
// writes, and a catalogue merged from the cache of the previous run. The log database.
#include <gtest/gtest.h>

#include <fstream>

#include "bookfiles/database_file.h"
#include "bookfiles/palm_database.h"
#include "library/library_cache.h"
#include "library/log_database.h"
#include "platform/storage/storage_cards.h"
#include "support/library/library_fixture.h"

using fvt::test::Dev;
using fvt::test::LibraryDevice;
using fvt::test::MakeBook;
using fvt::test::Wide;

namespace {

const char16_t* kCache = u"\\Windows\\FolivantCache.fvt";
const char* kCacheHost = "Windows/FolivantCache.fvt";

// The records of a database file, and a database file from records (type MKCH, creator FOLV).
std::vector<Bytes> Records(const std::string& file) {
    Bytes bytes(file.begin(), file.end());
    int error = 0;
    std::unique_ptr<PalmDatabase> db(PalmDatabase::OpenView(bytes.data(), bytes.size(), &error));
    std::vector<Bytes> out;
    if (!db) return out;
    for (uint32_t i = 0; i < db->GetRecordCount(); ++i) {
        uint32_t n = 0;
        const uint8_t* p = db->GetRecord(i, &n);
        out.emplace_back(p, p + n);
    }
    return out;
}

std::string Rebuild(const std::vector<Bytes>& records) {
    PdbBuilder b;
    b.name = "FolivantCache.fvt";
    b.type = "MKCH";
    b.creator = "FOLV";
    for (const Bytes& r : records) b.Add(r);
    Bytes bytes = b.Build();
    return std::string(bytes.begin(), bytes.end());
}

uint32_t U32(const Bytes& b, size_t at) {
    return (uint32_t(b[at]) << 24) | (uint32_t(b[at + 1]) << 16) | (uint32_t(b[at + 2]) << 8) |
           b[at + 3];
}

class LibraryCacheTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dev.ok()); }

    LibraryBook* AddText(const std::string& name) {
        dev.PutText("eBooks/" + name);
        return library.AddFile(Dev(u"\\eBooks\\" + std::u16string(name.begin(), name.end())),
                               false);
    }
    int Write() { return LibraryCache().CreateAt(Dev(kCache), library); }
    std::string File() const { return dev.device().ReadHost(kCacheHost); }
    void PutFile(const std::string& bytes) const { dev.device().WriteHost(kCacheHost, bytes); }

    LibraryDevice dev;
    Library library{&dev.host};
};

// ---- Round trips ----------------------------------------------------------------------------

TEST_F(LibraryCacheTest, EveryFieldComesBack) {
    LibraryBook* full = AddText("full.txt");
    full->SetTitle(Dev(u"Titre \u00e9t\u00e9"), false);
    full->SetType(513);
    full->SetLanguagePair(0x090C);
    full->SetDatabaseName(String(u"DbName"));
    full->SetSideFileTime(11);
    full->SetFileTime(22);
    full->SetAuthorField(Dev(u"Someone"));
    full->SetFileSize(33);
    full->SetCreated(44);
    full->SetLastRead(55);
    full->SetRatingField(5);
    std::u16string lists(u"One\0Two", 7);
    full->LoadCategories(lists.data(), 7);
    full->SetOpenable(false);
    full->SetUniqueId(0xDEADBEEF);
    full->SetSpare(Dev(u"spare"));
    full->SetCoverOffset(7);
    full->SetThumbnailOffset(8);
    full->SetFakeCover(true);
    LibraryBook* empty = AddText("empty.txt");
    empty->SetTitle(Text(), false);
    ASSERT_EQ(Write(), 0);

    LibraryCache cache;
    ASSERT_EQ(cache.Open(Dev(kCache)), 0);
    ASSERT_EQ(cache.GetBookCount(), 2u);
    auto a = cache.ReadBook(0, &library);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(Wide(a->GetPath()), u"\\eBooks\\full.txt");
    EXPECT_EQ(Wide(a->GetTitle()), u"Titre \u00e9t\u00e9");
    EXPECT_EQ(a->GetType(), 513);
    EXPECT_EQ(a->GetLanguagePair(), 0x090C);
    EXPECT_TRUE(a->GetDatabaseName() == String(u"DbName"));
    EXPECT_EQ(a->GetSideFileTime(), 11u);
    EXPECT_EQ(a->GetFileTime(), 22u);
    EXPECT_EQ(Wide(a->GetAuthor()), u"Someone");
    EXPECT_EQ(a->GetFileSize(), 33u);
    EXPECT_EQ(a->GetCreated(), 44u);
    EXPECT_EQ(a->GetLastRead(), 55u);
    EXPECT_EQ(a->GetRating(), 5u);
    EXPECT_EQ(Wide(a->JoinCategories()), lists);
    EXPECT_FALSE(a->IsOpenable());
    EXPECT_EQ(a->GetUniqueId(), 0xDEADBEEFu);
    EXPECT_EQ(Wide(a->GetSpare()), u"spare");
    EXPECT_EQ(a->GetCoverOffset(), 7);
    EXPECT_EQ(a->GetThumbnailOffset(), 8);
    EXPECT_TRUE(a->HasFakeCover());
    EXPECT_FALSE(a->IsPresent());
    auto b = cache.ReadBook(1, &library);
    ASSERT_NE(b, nullptr);
    EXPECT_TRUE(b->GetTitle().IsEmpty());
    EXPECT_EQ(b->GetCategoryCount(), 0);
    EXPECT_EQ(cache.ReadBook(2, &library), nullptr);
    // An empty string is one zero byte.
    uint32_t n = 0;
    ASSERT_NE(cache.FindField(&n, 1, LibraryCache::kCategories, LibraryCache::FieldKind::kStri),
              nullptr);
    EXPECT_EQ(n, 1u);
}

TEST_F(LibraryCacheTest, HeaderNamesTheBooksAndRecordsWritten) {
    AddText("a.txt");
    AddText("b.txt");
    AddText("c.txt");
    ASSERT_EQ(Write(), 0);
    auto records = Records(File());
    ASSERT_EQ(records.size(), 3u);
    const Bytes& h = records[0];
    EXPECT_EQ(std::string(h.begin(), h.begin() + 4), "MKCH");
    EXPECT_EQ(U32(h, 4), 20u);
    EXPECT_EQ(U32(h, 8), 3u);
    EXPECT_EQ(U32(h, 12), 1u);
    EXPECT_EQ(U32(h, 16), 5u);
    EXPECT_EQ(U32(h, 20), 3u);
    EXPECT_EQ(U32(h, 24), 582u);
    EXPECT_EQ(U32(records[1], 4), 12u);
    std::string file = File();
    EXPECT_EQ(file.substr(0, 18), std::string("FolivantCache.fvt\0", 18));
}

TEST_F(LibraryCacheTest, TheDatabaseNameIsCutTo31Characters) {
    const std::u16string name = u"AVeryLongCacheFileNameThatGoesOn.fvt";
    ASSERT_EQ(LibraryCache().CreateAt(Dev(u"\\Windows\\" + name), library), 0);
    std::string file = dev.device().ReadHost("Windows/" + std::string(name.begin(), name.end()));
    ASSERT_GE(file.size(), 32u);
    EXPECT_EQ(file.substr(0, 32), std::string("AVeryLongCacheFileNameThatGoesO") + '\0');
}

TEST_F(LibraryCacheTest, AnEmptyLibraryWritesAValidCache) {
    ASSERT_EQ(Write(), 0);
    LibraryCache cache;
    ASSERT_EQ(cache.Open(Dev(kCache)), 0);
    EXPECT_EQ(cache.GetBookCount(), 0u);
}

// ---- Validation -----------------------------------------------------------------------------

TEST_F(LibraryCacheTest, EachHeaderWordAndTheRecordCountAreChecked) {
    AddText("a.txt");
    ASSERT_EQ(Write(), 0);
    auto good = Records(File());
    for (size_t word : {12u, 16u, 20u, 24u}) {
        auto records = good;
        records[0][word + 3] ^= 1;
        PutFile(Rebuild(records));
        EXPECT_EQ(LibraryCache().Open(Dev(kCache)), 1) << word;
    }
    auto extra = good;
    extra.push_back(extra.back());
    PutFile(Rebuild(extra));
    EXPECT_EQ(LibraryCache().Open(Dev(kCache)), 1);
    auto tagged = good;
    tagged[0][0] = 'X';
    PutFile(Rebuild(tagged));
    EXPECT_EQ(LibraryCache().Open(Dev(kCache)), 1);
    PutFile(Rebuild(good));
    EXPECT_EQ(LibraryCache().Open(Dev(kCache)), 0);
    EXPECT_EQ(LibraryCache().Open(Text()), 1);
    EXPECT_EQ(LibraryCache().Open(Dev(u"\\Windows\\none.fvt")), 1);
}

TEST_F(LibraryCacheTest, ATruncatedIndexIsRefused) {
    AddText("a.txt");
    AddText("b.txt");
    ASSERT_EQ(Write(), 0);
    auto records = Records(File());
    records[1].resize(records[1].size() - 4);  // length word still says 8
    PutFile(Rebuild(records));
    EXPECT_EQ(LibraryCache().Open(Dev(kCache)), 1);
    // A BOOK count so large that 4 × count overflows 32 bits.
    ASSERT_EQ(Write(), 0);
    auto big = Records(File());
    big[0][8] = 0x40;
    PutFile(Rebuild(big));
    EXPECT_EQ(LibraryCache().Open(Dev(kCache)), 1);
}

TEST_F(LibraryCacheTest, BadPairsAndStringsDropOnlyTheirEntry) {
    AddText("a.txt");
    AddText("b.txt");
    AddText("c.txt");
    ASSERT_EQ(Write(), 0);
    auto records = Records(File());
    records[1][8] = 0x00;
    records[1][9] = 0x63;  // entry 0 names record 99
    records[1][14] = 0xFF;
    records[1][15] = 0xF0;  // entry 1 starts past its record
    // Entry 2's path descriptor points past its record.
    uint32_t at = (uint32_t(records[1][18]) << 8) | records[1][19];
    size_t path = 8 + at + LibraryCache::kPath;
    records[2][path + 2] = 0x7F;
    PutFile(Rebuild(records));
    LibraryCache cache;
    ASSERT_EQ(cache.Open(Dev(kCache)), 0);
    EXPECT_EQ(cache.ReadBook(0, &library), nullptr);
    EXPECT_EQ(cache.ReadBook(1, &library), nullptr);
    EXPECT_EQ(cache.ReadBook(2, &library), nullptr);
    EXPECT_EQ(cache.ReadInt(0, LibraryCache::kType), 0xFFFFFFFFu);
    Text t;
    EXPECT_FALSE(cache.ReadString(2, LibraryCache::kPath, t));
    EXPECT_EQ(cache.FindField(nullptr, 2, 114, LibraryCache::FieldKind::kInte), nullptr);
}

TEST_F(LibraryCacheTest, OutOfRangeValuesDropTheEntry) {
    AddText("a.txt")->SetRatingField(9);
    ASSERT_EQ(Write(), 0);
    LibraryCache cache;
    ASSERT_EQ(cache.Open(Dev(kCache)), 0);
    EXPECT_EQ(cache.ReadBook(0, &library), nullptr);
}

// ---- Packing --------------------------------------------------------------------------------

TEST_F(LibraryCacheTest, ItemsAreAlignedAndSpillIntoNewRecords) {
    std::u16string title(3000, u'x');
    for (int i = 0; i < 40; ++i) {
        std::string name = "book" + std::to_string(i) + ".txt";
        AddText(name)->SetTitle(Dev(title + std::u16string(size_t(i % 3), u'y')), false);
    }
    ASSERT_EQ(Write(), 0);
    auto records = Records(File());
    ASSERT_GT(records.size(), 3u);
    for (size_t r = 2; r < records.size(); ++r) EXPECT_LE(records[r].size(), 8u + 0xFFF0u);
    const Bytes& index = records[1];
    for (size_t i = 0; i < 40; ++i) {
        uint32_t offset = (uint32_t(index[8 + 4 * i + 2]) << 8) | index[8 + 4 * i + 3];
        EXPECT_EQ(offset % 4, 0u);
    }
    LibraryCache cache;
    ASSERT_EQ(cache.Open(Dev(kCache)), 0);
    for (uint32_t i = 0; i < 40; ++i) {
        auto book = cache.ReadBook(i, &library);
        ASSERT_NE(book, nullptr);
        EXPECT_EQ(Wide(book->GetTitle()).substr(0, 3000), title);
    }
}

TEST_F(LibraryCacheTest, AnItemLargerThanARecordFailsAndKeepsTheOldCache) {
    AddText("a.txt");
    ASSERT_EQ(Write(), 0);
    std::string before = File();
    AddText("b.txt")->SetTitle(Dev(std::u16string(70000, u'z')), false);
    EXPECT_EQ(Write(), 1);
    EXPECT_EQ(File(), before);
}

// ---- Failed writes --------------------------------------------------------------------------

TEST_F(LibraryCacheTest, AFailedWriteAtAnyPointLeavesThePreviousCacheWhole) {
    AddText("a.txt");
    AddText("b.txt");
    ASSERT_EQ(Write(), 0);
    std::string before = File();
    AddText("c.txt");
    size_t size = before.size() + 200;
    for (size_t k = 0; k < size; k += 37) {
        DatabaseFile::FailWritesAfterForTesting(static_cast<long long>(k));
        int rc = Write();
        DatabaseFile::FailWritesAfterForTesting(-1);
        if (rc == 0) break;  // the whole file got through
        EXPECT_EQ(File(), before) << "failing after " << k << " bytes";
        LibraryCache cache;
        ASSERT_EQ(cache.Open(Dev(kCache)), 0);
        EXPECT_EQ(cache.GetBookCount(), 2u);
    }
    EXPECT_FALSE(dev.Exists("Windows/FolivantCache.fvt.tmp"));
    ASSERT_EQ(Write(), 0);
    LibraryCache cache;
    ASSERT_EQ(cache.Open(Dev(kCache)), 0);
    EXPECT_EQ(cache.GetBookCount(), 3u);
}

// ---- Merging after a restart ----------------------------------------------------------------

class LibraryRestartTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dev.ok());
        dev.PutBook("eBooks/a.prc", MakeBook("A"));
        dev.PutText("eBooks/t.txt");
        dev.PutBook("Storage Card/eBooks/c.prc", MakeBook("C"));
    }
    static LibraryBook* Find(const Library& library, const std::u16string& path) {
        LibraryBook* book = nullptr;
        library.FindBookByPath(Dev(path), &book);
        return book;
    }
    LibraryDevice dev;
};

TEST_F(LibraryRestartTest, TheNextRunTakesEntriesFromTheCache) {
    {
        Library first(&dev.host);
        first.Refresh();
        // A value only the cache can carry: it was never written to a side file.
        Find(first, u"\\eBooks\\a.prc")->SetRatingField(3);
    }
    ASSERT_TRUE(dev.Exists(kCacheHost));
    Library second(&dev.host);
    second.Refresh();
    LibraryBook* a = Find(second, u"\\eBooks\\a.prc");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->GetRating(), 3u);
    EXPECT_TRUE(a->IsPresent());
    EXPECT_EQ(second.GetEntryCount(), 3);
    EXPECT_FALSE(dev.Exists("eBooks/a.fvt"));
}

TEST_F(LibraryRestartTest, AChangedFileIsReadAgain) {
    {
        Library first(&dev.host);
        first.Refresh();
        Find(first, u"\\eBooks\\a.prc")->SetRatingField(3);
    }
    dev.PutBook("eBooks/a.prc", MakeBook("A again"));
    auto later = std::filesystem::file_time_type::clock::now() + std::chrono::hours(1);
    std::filesystem::last_write_time(dev.device().Host("eBooks/a.prc"), later);
    Library second(&dev.host);
    second.Refresh();
    LibraryBook* a = Find(second, u"\\eBooks\\a.prc");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(Wide(a->GetTitle()), u"A again");
    EXPECT_EQ(a->GetRating(), 0u);
    EXPECT_EQ(second.GetEntryCount(), 3);
}

TEST_F(LibraryRestartTest, ATrustedCacheIsNotScanned) {
    ConfigurationStore store;
    ASSERT_EQ(store.OpenDefault("\\Windows\\FVT_global_configuration.fvt", 1), 0);
    ASSERT_EQ(store.SetWord(304, 1), 0);
    {
        Library first(&dev.host);
        first.Refresh();
    }
    dev.PutBook("eBooks/new.prc", MakeBook("New"));
    std::filesystem::remove(dev.device().Host("eBooks/t.txt"));
    Library second(&dev.host);
    second.SetConfiguration(&store);
    second.Refresh();
    EXPECT_EQ(Find(second, u"\\eBooks\\new.prc"), nullptr);
    ASSERT_NE(Find(second, u"\\eBooks\\t.txt"), nullptr);
    EXPECT_TRUE(Find(second, u"\\eBooks\\t.txt")->IsPresent());
    second.Rescan();
    EXPECT_NE(Find(second, u"\\eBooks\\new.prc"), nullptr);
    EXPECT_EQ(store.Close(), 0);
}

TEST_F(LibraryRestartTest, BooksOfACardAwayAtExitComeBackWithIt) {
    {
        Library first(&dev.host);
        first.Refresh();
        Find(first, u"\\Storage Card\\eBooks\\c.prc")->SetRatingField(4);
        ASSERT_TRUE(fvt::RemoveStorageCard(u"Storage Card"));
        first.RemoveLocation(Dev(u"\\Storage Card"));
        // A book deleted from main memory is forgotten.
        std::filesystem::remove(dev.device().Host("eBooks/t.txt"));
        first.Rescan();
    }
    Library second(&dev.host);
    second.Refresh();
    LibraryBook* c = Find(second, u"\\Storage Card\\eBooks\\c.prc");
    ASSERT_NE(c, nullptr);
    EXPECT_FALSE(c->IsPresent());
    EXPECT_EQ(Find(second, u"\\eBooks\\t.txt"), nullptr);
    ASSERT_TRUE(fvt::InsertStorageCard(u"Storage Card"));
    second.AddLocation(Dev(u"\\Storage Card"), Dev(u"Storage Card"));
    second.Refresh();
    EXPECT_EQ(Find(second, u"\\Storage Card\\eBooks\\c.prc"), c);
    EXPECT_TRUE(c->IsPresent());
    EXPECT_EQ(c->GetRating(), 4u);
}

TEST_F(LibraryRestartTest, ACatalogueThatNeverReadTheCacheDoesNotWriteIt) {
    {
        Library first(&dev.host);
        first.Refresh();
    }
    std::string before = dev.device().ReadHost(kCacheHost);
    {
        Library temporary(&dev.host);
        temporary.AddFile(Dev(u"\\eBooks\\t.txt"), false);
        EXPECT_FALSE(temporary.SaveCache());
    }
    EXPECT_EQ(dev.device().ReadHost(kCacheHost), before);
}

TEST_F(LibraryRestartTest, AFailedSaveAtExitKeepsTheLastCache) {
    {
        Library first(&dev.host);
        first.Refresh();
    }
    std::string before = dev.device().ReadHost(kCacheHost);
    {
        Library second(&dev.host);
        second.Refresh();
        dev.PutText("eBooks/more.txt");
        second.AddFile(Dev(u"\\eBooks\\more.txt"), false);
        DatabaseFile::FailWritesAfterForTesting(100);
    }
    DatabaseFile::FailWritesAfterForTesting(-1);
    EXPECT_EQ(dev.device().ReadHost(kCacheHost), before);
    Library third(&dev.host);
    third.Refresh();
    EXPECT_EQ(third.GetEntryCount(), 4);
}

// ---- Log database ---------------------------------------------------------------------------

TEST(LogDatabaseTest, OpensOnceCreatingTheFileWithoutTheBackupBit) {
    LibraryDevice dev;
    ASSERT_TRUE(dev.ok());
    auto log = LogDatabase::OpenDefault(*dev.paths());
    ASSERT_NE(log, nullptr);
    ASSERT_TRUE(log->Store()->IsOpen());
    EXPECT_EQ(log->Store()->Database()->GetAttributes() & PalmDatabase::kAttrBackup, 0);
    EXPECT_EQ(LogDatabase::Open(Text()), nullptr);
    log.reset();
    EXPECT_TRUE(dev.Exists("Windows/folvbook.fvl"));
}

TEST(LogDatabaseTest, AFailedWriteLeavesThePreviousSubmissions) {
    LibraryDevice dev;
    ASSERT_TRUE(dev.ok());
    SortedRecordItem item;
    item.key = u"form";
    {
        auto log = LogDatabase::OpenDefault(*dev.paths());
        ASSERT_NE(log, nullptr);
        auto w = log->Store()->OpenEntry(item);
        ASSERT_TRUE(w->AppendPair(u"a", 1, u"1", 1));
        w->SetFlag();
        ASSERT_TRUE(w->Finish());
        ASSERT_EQ(log->Store()->Flush(), 0);
    }
    std::string before = dev.device().ReadHost("Windows/folvbook.fvl");
    {
        auto log = LogDatabase::OpenDefault(*dev.paths());
        auto w = log->Store()->OpenEntry(item);
        w->AppendPair(u"b", 1, u"2", 1);
        w->SetFlag();
        w->Finish();
        DatabaseFile::FailWritesAfterForTesting(10);
        EXPECT_NE(log->Store()->Flush(), 0);
    }
    DatabaseFile::FailWritesAfterForTesting(-1);
    EXPECT_EQ(dev.device().ReadHost("Windows/folvbook.fvl"), before);
    auto log = LogDatabase::OpenDefault(*dev.paths());
    ASSERT_NE(log, nullptr);
    EXPECT_EQ(log->Store()->SubmissionCount(item), 1u);
}

}  // namespace

// The catalogue: refresh and rescan, storage cards coming and going, deleting and moving books,
// dictionaries and the global reading lists.
#include <gtest/gtest.h>

#include <set>

#include "platform/storage/storage_cards.h"
#include "support/library/library_fixture.h"

using fvt::test::Dev;
using fvt::test::LibraryDevice;
using fvt::test::MakeBook;
using fvt::test::Wide;

namespace {

LibraryBook* Find(const Library& library, const std::u16string& path) {
    LibraryBook* book = nullptr;
    library.FindBookByPath(Dev(path), &book);
    return book;
}

std::set<std::u16string> Listed(const Library& library, int32_t location = -1) {
    std::set<std::u16string> titles;
    LibraryIterator it;
    it.Init(&library, Library::kAllTypesMin, Library::kAllTypesMax, location);
    for (LibraryBook* b = it.First(); b; b = it.Next()) titles.insert(Wide(b->GetTitle()));
    return titles;
}

struct CountingListener : LibraryListener {
    void LocationAdded(const Text& path, const Text& name) override {
        events.push_back(u"added " + Wide(path) + u" " + Wide(name));
    }
    void LocationRemoved(const Text& path) override { events.push_back(u"removed " + Wide(path)); }
    void MediaInserted(const Text& path) override { events.push_back(u"inserted " + Wide(path)); }
    void MediaRemoved(const Text& path) override { events.push_back(u"ejected " + Wide(path)); }
    std::vector<std::u16string> events;
};

struct Releaser : BookReleaser {
    bool ReleaseBook(const Text& path) override {
        released.push_back(Wide(path));
        return allow;
    }
    bool allow = true;
    std::vector<std::u16string> released;
};

class LibraryCatalogueTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dev.ok());
        dev.PutBook("eBooks/a.prc", MakeBook("A"));
        dev.PutBook("storage/eBooks/b.prc", MakeBook("B"));
        dev.PutBook("Storage Card/eBooks/sub/c.prc", MakeBook("C"));
    }
    LibraryDevice dev;
    Library library{&dev.host};
};

// ---- Refresh and rescan ---------------------------------------------------------------------

TEST_F(LibraryCatalogueTest, RefreshFindsTheBooksOfEveryLocation) {
    ASSERT_TRUE(library.Refresh());
    ASSERT_EQ(library.GetLocationCount(), 2);
    LibraryLocation card;
    ASSERT_TRUE(library.GetLocation(1, card));
    EXPECT_EQ(Wide(card.path), u"\\Storage Card\\");
    EXPECT_EQ(Wide(card.name), u"Storage Card");
    EXPECT_TRUE(card.removable);
    EXPECT_EQ(Listed(library), (std::set<std::u16string>{u"A", u"B", u"C"}));
    EXPECT_EQ(Find(library, u"\\eBooks\\a.prc")->GetLocation(), 0);
    EXPECT_EQ(Find(library, u"\\storage\\eBooks\\b.prc")->GetLocation(), 0);
    EXPECT_EQ(Find(library, u"\\storage card\\ebooks\\SUB\\c.prc")->GetLocation(), 1);
    EXPECT_EQ(Listed(library, 1), (std::set<std::u16string>{u"C"}));
    EXPECT_FALSE(library.GetLocation(2, card));
    EXPECT_TRUE(library.CheckInvariants());
}

TEST_F(LibraryCatalogueTest, RefreshScansOnceAndRescanAgain) {
    library.Refresh();
    dev.PutBook("eBooks/d.prc", MakeBook("D"));
    std::filesystem::remove(dev.device().Host("eBooks/a.prc"));
    library.Refresh();
    EXPECT_EQ(Listed(library), (std::set<std::u16string>{u"A", u"B", u"C"}));
    library.Rescan();
    EXPECT_EQ(Listed(library), (std::set<std::u16string>{u"B", u"C", u"D"}));
    // The entry of a file gone is kept, absent.
    ASSERT_NE(Find(library, u"\\eBooks\\a.prc"), nullptr);
    EXPECT_FALSE(Find(library, u"\\eBooks\\a.prc")->IsPresent());
}

TEST_F(LibraryCatalogueTest, WithoutPathsNothingIsScanned) {
    dev.host.paths = nullptr;
    library.Refresh();
    EXPECT_EQ(library.GetEntryCount(), 0);
    EXPECT_EQ(library.GetLocationCount(), 2);
    EXPECT_FALSE(library.SaveCache());
}

TEST_F(LibraryCatalogueTest, IterationFiltersTypesAndCountsOnlyPresentBytes) {
    dev.PutBook("eBooks/news.prc", MakeBook("News", 300));
    dev.PutBook("eBooks/odd.prc", MakeBook("Odd", 900));
    library.Refresh();
    LibraryIterator it;
    it.Init(&library, 256, 511, -1);
    LibraryBook* first = it.First();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(Wide(first->GetTitle()), u"News");
    EXPECT_EQ(it.Next(), nullptr);
    EXPECT_EQ(it.Next(), nullptr);
    EXPECT_EQ(Listed(library).count(u"Odd"), 0u);
    uint64_t all = library.GetTotalBookBytes();
    Find(library, u"\\eBooks\\a.prc")->SetPresent(false);
    EXPECT_EQ(library.GetTotalBookBytes(), all - Find(library, u"\\eBooks\\a.prc")->GetFileSize());
}

TEST_F(LibraryCatalogueTest, FindsBooksByDatabaseName) {
    library.Refresh();
    String path;
    ASSERT_TRUE(library.FindBookByName(String(u"DB B"), path));
    EXPECT_EQ(std::u16string(path.Data(), path.Length()), u"\\storage\\eBooks\\b.prc");
    EXPECT_FALSE(library.FindBookByName(String(u"DB Z"), path));
}

// ---- Storage cards --------------------------------------------------------------------------

TEST_F(LibraryCatalogueTest, CardRemovalKeepsItsEntriesAndTheirReturnRehomesThem) {
    CountingListener listener;
    ASSERT_TRUE(library.AddListener(&listener));
    EXPECT_FALSE(library.AddListener(&listener));
    library.Refresh();
    LibraryBook* c = Find(library, u"\\Storage Card\\eBooks\\sub\\c.prc");
    ASSERT_NE(c, nullptr);
    ASSERT_TRUE(c->AddCategory(Dev(u"Mine"), true));

    ASSERT_TRUE(fvt::RemoveStorageCard(u"Storage Card"));
    ASSERT_TRUE(library.RemoveLocation(Dev(u"\\Storage Card")));
    EXPECT_EQ(library.GetLocationCount(), 1);
    EXPECT_EQ(c->GetLocation(), -1);
    EXPECT_FALSE(c->IsPresent());
    EXPECT_EQ(Listed(library), (std::set<std::u16string>{u"A", u"B"}));
    library.Rescan();
    EXPECT_EQ(Find(library, u"\\Storage Card\\eBooks\\sub\\c.prc"), c);

    ASSERT_TRUE(fvt::InsertStorageCard(u"Storage Card"));
    ASSERT_TRUE(library.AddLocation(Dev(u"\\Storage Card\\"), Dev(u"Storage Card")));
    EXPECT_EQ(c->GetLocation(), 1);
    library.Refresh();
    EXPECT_EQ(Find(library, u"\\Storage Card\\eBooks\\sub\\c.prc"), c);
    EXPECT_TRUE(c->IsPresent());
    EXPECT_TRUE(library.CheckInvariants());
    EXPECT_TRUE(c->HasCategory(Dev(u"Mine")));
    EXPECT_TRUE(dev.Exists("Storage Card/eBooks/sub/c.fvt"));
    EXPECT_EQ(listener.events,
              (std::vector<std::u16string>{u"removed \\Storage Card\\",
                                           u"added \\Storage Card\\ Storage Card"}));
    EXPECT_TRUE(library.RemoveListener(&listener));
    EXPECT_FALSE(library.RemoveListener(&listener));
}

// A listener may take itself off the list while it is told.
struct LeavingListener : CountingListener {
    void LocationRemoved(const Text& path) override {
        CountingListener::LocationRemoved(path);
        library->RemoveListener(this);
    }
    Library* library = nullptr;
};

TEST_F(LibraryCatalogueTest, AListenerMayLeaveWhileItIsTold) {
    LeavingListener leaving;
    CountingListener staying;
    leaving.library = &library;
    library.AddListener(&leaving);
    library.AddListener(&staying);
    library.Refresh();
    ASSERT_TRUE(library.RemoveLocation(Dev(u"\\Storage Card")));
    EXPECT_EQ(leaving.events.size(), 1u);
    EXPECT_EQ(staying.events.size(), 1u);
    library.AddLocation(Dev(u"\\Storage Card"), Dev(u"Storage Card"));
    EXPECT_EQ(leaving.events.size(), 1u);
    EXPECT_EQ(staying.events.size(), 2u);
}

TEST_F(LibraryCatalogueTest, RemovingALocationMovesTheLaterOnesDown) {
    ASSERT_TRUE(fvt::InsertStorageCard(u"SD Card"));
    dev.PutBook("SD Card/eBooks/e.prc", MakeBook("E"));
    library.Refresh();
    ASSERT_EQ(library.GetLocationCount(), 3);
    LibraryBook* c = Find(library, u"\\Storage Card\\eBooks\\sub\\c.prc");
    LibraryBook* e = Find(library, u"\\SD Card\\eBooks\\e.prc");
    ASSERT_TRUE(c && e);
    // Whichever card is location 1, the other's book moves from 2 to 1.
    LibraryBook* first = c->GetLocation() == 1 ? c : e;
    LibraryBook* second = first == c ? e : c;
    ASSERT_EQ(second->GetLocation(), 2);
    LibraryLocation removed;
    ASSERT_TRUE(library.GetLocation(1, removed));
    ASSERT_TRUE(library.RemoveLocation(removed.path));
    EXPECT_EQ(library.GetLocationCount(), 2);
    EXPECT_EQ(second->GetLocation(), 1);
    EXPECT_EQ(first->GetLocation(), -1);
    EXPECT_FALSE(first->IsPresent());
    EXPECT_TRUE(library.CheckInvariants());
    EXPECT_EQ(Find(library, u"\\eBooks\\a.prc")->GetLocation(), 0);
}

TEST_F(LibraryCatalogueTest, MainMemoryIsNeverRemoved) {
    library.Refresh();
    EXPECT_FALSE(library.RemoveLocation(Dev(u"\\")));
    EXPECT_TRUE(library.RemoveLocation(Dev(u"\\Nowhere")));
    EXPECT_FALSE(library.RemoveLocation(Text()));
    EXPECT_FALSE(library.AddLocation(Dev(u"\\"), Dev(u"Root")));
    EXPECT_EQ(library.GetLocationCount(), 2);
    EXPECT_EQ(Find(library, u"\\eBooks\\a.prc")->GetLocation(), 0);
    EXPECT_TRUE(Find(library, u"\\eBooks\\a.prc")->IsPresent());
}

TEST_F(LibraryCatalogueTest, MediaNoticesMarkTheLocationForScanning) {
    CountingListener listener;
    library.AddListener(&listener);
    library.Refresh();
    EXPECT_FALSE(library.OnMediaInserted(Dev(u"\\Unknown")));
    ASSERT_TRUE(library.OnMediaRemoved(Dev(u"\\Storage Card\\")));
    EXPECT_FALSE(Find(library, u"\\Storage Card\\eBooks\\sub\\c.prc")->IsPresent());
    library.Refresh();  // the location was not marked for a scan
    EXPECT_FALSE(Find(library, u"\\Storage Card\\eBooks\\sub\\c.prc")->IsPresent());
    ASSERT_TRUE(library.OnMediaInserted(Dev(u"\\Storage Card")));
    library.Refresh();
    EXPECT_TRUE(Find(library, u"\\Storage Card\\eBooks\\sub\\c.prc")->IsPresent());
    EXPECT_EQ(listener.events, (std::vector<std::u16string>{u"ejected \\Storage Card\\",
                                                            u"inserted \\Storage Card\\"}));
}

// ---- Deleting and moving --------------------------------------------------------------------

TEST_F(LibraryCatalogueTest, DeletingABookTakesFileSideFileAndEntry) {
    library.Refresh();
    LibraryBook* a = Find(library, u"\\eBooks\\a.prc");
    ASSERT_TRUE(a->SetRating(1));
    Releaser releaser;
    releaser.allow = false;
    EXPECT_FALSE(library.DeleteBook(a, &releaser));
    EXPECT_TRUE(dev.Exists("eBooks/a.prc"));
    releaser.allow = true;
    ASSERT_TRUE(library.DeleteBook(a, &releaser));
    EXPECT_FALSE(dev.Exists("eBooks/a.prc"));
    EXPECT_FALSE(dev.Exists("eBooks/a.fvt"));
    EXPECT_EQ(Find(library, u"\\eBooks\\a.prc"), nullptr);
    EXPECT_EQ(library.GetEntryCount(), 2);
    EXPECT_TRUE(library.CheckInvariants());
    EXPECT_EQ(releaser.released.back(), u"\\eBooks\\a.prc");
}

TEST_F(LibraryCatalogueTest, DeletingABookKeepsASideFileAnotherBookShares) {
    dev.PutText("eBooks/a.txt");
    library.Refresh();
    ASSERT_TRUE(Find(library, u"\\eBooks\\a.txt")->SetRating(4));
    ASSERT_TRUE(library.DeleteBook(Find(library, u"\\eBooks\\a.prc"), nullptr));
    EXPECT_TRUE(dev.Exists("eBooks/a.fvt"));
    EXPECT_TRUE(dev.Exists("eBooks/a.txt"));
}

TEST_F(LibraryCatalogueTest, DeletingAMissingFileFailsAndKeepsTheEntry) {
    library.Refresh();
    std::filesystem::remove(dev.device().Host("eBooks/a.prc"));
    EXPECT_FALSE(library.DeleteBook(Find(library, u"\\eBooks\\a.prc"), nullptr));
    EXPECT_NE(Find(library, u"\\eBooks\\a.prc"), nullptr);
}

TEST_F(LibraryCatalogueTest, MovedBookIsFoundUnderItsNewPath) {
    library.Refresh();
    LibraryBook* c = Find(library, u"\\Storage Card\\eBooks\\sub\\c.prc");
    ASSERT_TRUE(c->SetRating(5));
    Releaser releaser;
    EXPECT_FALSE(library.MoveBookToLocation(c, 2, &releaser));
    ASSERT_TRUE(library.MoveBookToLocation(c, 0, &releaser));
    EXPECT_EQ(Wide(c->GetPath()), u"\\ebooks\\c.prc");
    EXPECT_EQ(Find(library, u"\\eBooks\\c.prc"), c);
    EXPECT_EQ(Find(library, u"\\Storage Card\\eBooks\\sub\\c.prc"), nullptr);
    EXPECT_EQ(c->GetLocation(), 0);
    EXPECT_TRUE(library.CheckInvariants());
    EXPECT_TRUE(dev.Exists("eBooks/c.fvt"));
    EXPECT_FALSE(dev.Exists("Storage Card/eBooks/sub/c.prc"));
    // Never over another book of that name.
    dev.PutBook("Storage Card/eBooks/a.prc", MakeBook("A2"));
    library.Rescan();
    EXPECT_FALSE(library.MoveBookToLocation(Find(library, u"\\Storage Card\\eBooks\\a.prc"), 0,
                                            &releaser));
    EXPECT_TRUE(dev.Exists("Storage Card/eBooks/a.prc"));
    EXPECT_EQ(Wide(Find(library, u"\\eBooks\\a.prc")->GetTitle()), u"A");
}

// ---- Dictionaries ---------------------------------------------------------------------------

class LibraryDictionaryTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dev.ok());
        Put("en-fr", 9, 12);
        Put("en-en", 9, 9);
        Put("fr-en", 12, 9);
        Put("de-fr", 7, 12);
        library.Refresh();
    }
    void Put(const std::string& name, uint32_t in, uint32_t out) {
        auto b = MakeBook(name);
        b.tables[0] = 1;
        b.inputLanguage = in;
        b.outputLanguage = out;
        dev.PutBook("eBooks/" + name + ".prc", b);
    }
    std::vector<std::u16string> Names(const std::vector<int32_t>& indices) {
        std::vector<std::u16string> names;
        for (int32_t i : indices) {
            Text t;
            library.GetBookName(i, t);
            names.push_back(Wide(t));
        }
        return names;
    }
    LibraryDevice dev;
    Library library{&dev.host};
};

TEST_F(LibraryDictionaryTest, CountsOnlyPresentDictionaries) {
    EXPECT_EQ(library.GetBookCount(), 4);
    Find(library, u"\\eBooks\\de-fr.prc")->SetPresent(false);
    EXPECT_EQ(library.GetBookCount(), 3);
    EXPECT_EQ(library.GetBook(3), nullptr);
    EXPECT_EQ(library.GetBook(-1), nullptr);
    String value, name;
    ASSERT_TRUE(library.GetBookValue(0, value));
    ASSERT_TRUE(library.GetBookString(0, name));
    uint32_t size = 0;
    ASSERT_TRUE(library.GetDictionarySize(0, size));
    EXPECT_GT(size, 0u);
    EXPECT_FALSE(library.GetDictionarySize(3, size));
}

TEST_F(LibraryDictionaryTest, ExactMatchesComeFirstThenSameLanguageThenOthers) {
    std::vector<int32_t> found;
    ASSERT_TRUE(library.FindDictionaries(9, 0, 12, found, 0));
    auto names = Names(found);
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0], u"en-fr");
    EXPECT_EQ(names[1], u"en-en");

    found.clear();
    ASSERT_TRUE(library.FindDictionaries(0, 0, 12, found, Library::kModeBilingual));
    names = Names(found);
    EXPECT_EQ(std::set<std::u16string>(names.begin(), names.begin() + 2),
              (std::set<std::u16string>{u"en-fr", u"de-fr"}));
    EXPECT_EQ(names.back(), u"fr-en");

    found.clear();
    ASSERT_TRUE(library.FindDictionaries(0, 0, 12, found, Library::kModeMonolingual));
    EXPECT_EQ(Names(found), (std::vector<std::u16string>{u"en-en"}));

    found.clear();
    EXPECT_FALSE(library.FindDictionaries(3, 4, 12, found, 0));
    // Languages compare through their low 10 bits.
    EXPECT_TRUE(library.FindDictionaries(0x409, 0, 0x40C, found, 0));
}

// ---- Global reading lists -------------------------------------------------------------------

class LibraryListsTest : public LibraryCatalogueTest {
protected:
    void SetUp() override {
        LibraryCatalogueTest::SetUp();
        ASSERT_EQ(store.OpenDefault("\\Windows\\FVT_global_configuration.fvt", 1), 0);
        library.SetConfiguration(&store);
        library.Refresh();
        a = Find(library, u"\\eBooks\\a.prc");
        b = Find(library, u"\\storage\\eBooks\\b.prc");
    }
    void TearDown() override { EXPECT_EQ(store.Close(), 0); }
    ConfigurationStore store;
    LibraryBook* a = nullptr;
    LibraryBook* b = nullptr;
};

TEST_F(LibraryCatalogueTest, ListsNeedAConfigurationStore) {
    EXPECT_EQ(library.GetCategoryCount(), 0);
    EXPECT_FALSE(library.CreateCategory(Dev(u"X")));
    EXPECT_FALSE(library.HasCategory(Dev(u"X")));
    EXPECT_FALSE(library.RenameCategory(Dev(u"X"), Dev(u"Y")));
    EXPECT_FALSE(library.MergeCategory(Dev(u"X"), Dev(u"Y")));
    EXPECT_FALSE(library.DeleteCategory(Dev(u"X")));
    Text t;
    EXPECT_FALSE(library.FirstCategory(t));
}

TEST_F(LibraryListsTest, CreatedListsAreWalkedInOrder) {
    ASSERT_TRUE(library.CreateCategory(Dev(u"One")));
    EXPECT_FALSE(library.CreateCategory(Dev(u"One")));
    EXPECT_FALSE(library.CreateCategory(Text()));
    ASSERT_TRUE(a->AddCategory(Dev(u"Two"), true));  // registered by the book
    EXPECT_EQ(library.GetCategoryCount(), 2);
    Text t;
    ASSERT_TRUE(library.FirstCategory(t));
    EXPECT_EQ(Wide(t), u"One");
    ASSERT_TRUE(library.NextCategory(t));
    EXPECT_EQ(Wide(t), u"Two");
    EXPECT_FALSE(library.NextCategory(t));
    ASSERT_TRUE(library.GetCategory(1, t));
    EXPECT_EQ(Wide(t), u"Two");
    EXPECT_FALSE(library.GetCategory(2, t));
}

TEST_F(LibraryListsTest, RenameMovesEveryBookAndRefusesATakenName) {
    ASSERT_TRUE(a->AddCategory(Dev(u"Old"), true));
    ASSERT_TRUE(b->AddCategory(Dev(u"Other"), true));
    EXPECT_FALSE(library.RenameCategory(Dev(u"Old"), Dev(u"Other")));
    EXPECT_FALSE(library.RenameCategory(Dev(u"Old"), Text()));
    EXPECT_FALSE(library.RenameCategory(Dev(u"Missing"), Dev(u"New")));
    ASSERT_TRUE(library.RenameCategory(Dev(u"Old"), Dev(u"New")));
    EXPECT_TRUE(library.HasCategory(Dev(u"New")));
    EXPECT_FALSE(library.HasCategory(Dev(u"Old")));
    EXPECT_TRUE(a->HasCategory(Dev(u"New")));
    EXPECT_FALSE(a->HasCategory(Dev(u"Old")));
    // Saved: a fresh catalogue reads it back.
    Library other(&dev.host);
    EXPECT_TRUE(other.AddFile(Dev(u"\\eBooks\\a.prc"), false)->HasCategory(Dev(u"New")));
}

TEST_F(LibraryListsTest, MergeJoinsTwoListsIntoOne) {
    ASSERT_TRUE(a->AddCategory(Dev(u"Old"), true));
    ASSERT_TRUE(b->AddCategory(Dev(u"Old"), true));
    ASSERT_TRUE(b->AddCategory(Dev(u"Kept"), true));
    EXPECT_FALSE(library.MergeCategory(Dev(u"Old"), Dev(u"Absent")));
    ASSERT_TRUE(library.MergeCategory(Dev(u"Old"), Dev(u"Kept")));
    EXPECT_FALSE(library.HasCategory(Dev(u"Old")));
    EXPECT_TRUE(a->HasCategory(Dev(u"Kept")));
    EXPECT_EQ(b->GetCategoryCount(), 1);
    EXPECT_EQ(library.GetCategoryCount(), 1);
}

TEST_F(LibraryListsTest, DeleteTakesTheListFromEveryBook) {
    ASSERT_TRUE(a->AddCategory(Dev(u"Gone"), true));
    ASSERT_TRUE(library.DeleteCategory(Dev(u"Gone")));
    EXPECT_FALSE(library.DeleteCategory(Dev(u"Gone")));
    EXPECT_FALSE(a->HasCategory(Dev(u"Gone")));
    EXPECT_EQ(library.GetCategoryCount(), 0);
}

TEST_F(LibraryListsTest, ADeletedListDoesNotComeBackWithItsCard) {
    LibraryBook* c = Find(library, u"\\Storage Card\\eBooks\\sub\\c.prc");
    ASSERT_TRUE(c->AddCategory(Dev(u"Trip"), true));
    ASSERT_TRUE(fvt::RemoveStorageCard(u"Storage Card"));
    library.RemoveLocation(Dev(u"\\Storage Card"));
    ASSERT_TRUE(library.DeleteCategory(Dev(u"Trip")));
    ASSERT_TRUE(fvt::InsertStorageCard(u"Storage Card"));
    library.AddLocation(Dev(u"\\Storage Card"), Dev(u"Storage Card"));
    library.Refresh();
    ASSERT_TRUE(library.FindBookOfDocument(c->GetPath()));
    EXPECT_FALSE(library.HasCategory(Dev(u"Trip")));
    EXPECT_EQ(library.GetCategoryCount(), 0);
}

}  // namespace

// A refresh looks the side files up in one listing of each folder: the ones there are still
// read (whatever the letter case of their names, and under the second name a side file takes
// when the first is another book's), the missing ones still read as missing, and none is made.
TEST_F(LibraryCatalogueTest, ARefreshReadsTheSideFilesTheFolderHolds) {
    dev.PutBook("storage/eBooks/rated.prc", MakeBook("Rated", 1, 0x11223344));
    ASSERT_TRUE(LibraryDevice::PutSideFile("\\storage\\eBooks\\rated.prc", 0x11223344, 10, 4));
    dev.PutBook("storage/eBooks/Shared.prc", MakeBook("Shared", 1, 0x01020304));
    dev.PutText("storage/eBooks/shared.txt");
    // shared.txt's side file is "shared.txt.fvt": "Shared.fvt" is the book's.
    ASSERT_TRUE(LibraryDevice::PutSideFile("\\storage\\eBooks\\Shared.prc", 0x01020304, 10, 2));
    ASSERT_TRUE(LibraryDevice::PutSideFile("\\storage\\eBooks\\shared.txt", 0, 30, 5));
    ASSERT_TRUE(dev.Exists("storage/eBooks/Shared.fvt"));
    ASSERT_TRUE(dev.Exists("storage/eBooks/shared.txt.fvt"));
    std::filesystem::rename(dev.device().Host("storage/eBooks/rated.fvt"),
                            dev.device().Host("storage/eBooks/RATED.FVT"));
    library.Refresh();
    LibraryBook* rated = Find(library, u"\\storage\\eBooks\\rated.prc");
    LibraryBook* shared = Find(library, u"\\storage\\eBooks\\Shared.prc");
    LibraryBook* text = Find(library, u"\\storage\\eBooks\\shared.txt");
    LibraryBook* plain = Find(library, u"\\storage\\eBooks\\b.prc");
    ASSERT_TRUE(rated && shared && text && plain);
    EXPECT_EQ(rated->GetRating(), 4u);
    EXPECT_EQ(rated->GetLastRead(), 600u);
    EXPECT_EQ(shared->GetRating(), 2u);
    EXPECT_EQ(text->GetRating(), 5u);
    EXPECT_EQ(text->GetLastRead(), 1800u);
    EXPECT_EQ(plain->GetRating(), 0u);
    EXPECT_EQ(plain->GetSideFileTime(), 0u);
    EXPECT_FALSE(dev.Exists("storage/eBooks/b.fvt"));
    EXPECT_EQ(library.Listing(), nullptr);  // only while the refresh runs
}

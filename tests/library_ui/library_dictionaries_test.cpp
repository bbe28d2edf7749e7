// The library's dictionaries as the reader's look-ups see them: the catalogue's order, a
// private catalogue for a dictionary named by path (which never writes the library cache), and
// the generation that tells the reader its answers about dictionaries are out of date.
#include <gtest/gtest.h>

#include "library_ui/library_dictionaries.h"
#include "support/library/library_fixture.h"

namespace {

using namespace fvt::test;

class LibraryDictionariesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dev.ok());
        Put("en-fr", 9, 12);
        Put("en-en", 9, 9);
        dev.PutBook("eBooks/novel.prc", MakeBook("novel"));
    }
    void Put(const std::string& name, uint32_t in, uint32_t out) {
        auto b = MakeBook(name);
        b.tables[0] = 1;
        b.inputLanguage = in;
        b.outputLanguage = out;
        dev.PutBook("eBooks/" + name + ".prc", b);
    }
    std::u16string PathOf(DictionaryCatalogue& c, uint32_t i) {
        String s;
        return c.GetPath(i, s) ? std::u16string(s.Data(), static_cast<size_t>(s.Length()))
                               : std::u16string();
    }

    LibraryDevice dev;
    Library library{&dev.host};
};

TEST_F(LibraryDictionariesTest, FindsTheCataloguesDictionariesInSearchOrder) {
    LibraryDictionaries dictionaries(library);
    dictionaries.Refresh();
    std::vector<uint32_t> found;
    ASSERT_TRUE(dictionaries.FindDictionaries(9, 0, 12, DictionaryCatalogue::kAnyDictionary,
                                              &found));
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(PathOf(dictionaries, found[0]), u"\\eBooks\\en-fr.prc");
    EXPECT_EQ(PathOf(dictionaries, found[1]), u"\\eBooks\\en-en.prc");
    found.clear();
    ASSERT_TRUE(dictionaries.FindDictionaries(9, 0, 12, DictionaryCatalogue::kMonolingual, &found));
    EXPECT_EQ(found.size(), 1u);
    EXPECT_FALSE(dictionaries.FindDictionaries(3, 0, 12, DictionaryCatalogue::kAnyDictionary, &found));
    String name;
    EXPECT_TRUE(dictionaries.GetDatabaseName(found[0], name));
    EXPECT_FALSE(dictionaries.GetPath(7, name));
}

TEST_F(LibraryDictionariesTest, APrivateCatalogueOfOneFileNeverWritesTheLibraryCache) {
    LibraryDictionaries dictionaries(library);
    {
        std::unique_ptr<DictionaryCatalogue> own =
            dictionaries.ForFile(String(u"\\eBooks\\en-en.prc"));
        ASSERT_NE(own, nullptr);
        EXPECT_EQ(PathOf(*own, 0), u"\\eBooks\\en-en.prc");
        // A file that is no dictionary leaves dictionary 0 missing (it fails to open later).
        std::unique_ptr<DictionaryCatalogue> novel =
            dictionaries.ForFile(String(u"\\eBooks\\novel.prc"));
        ASSERT_NE(novel, nullptr);
        EXPECT_EQ(PathOf(*novel, 0), u"");
    }
    EXPECT_FALSE(dev.Exists("Windows/FolivantCache.fvt"));
}

TEST_F(LibraryDictionariesTest, StorageChangesAndNewBooksCountAsNewGenerations) {
    LibraryDictionaries dictionaries(library);
    const uint32_t first = dictionaries.Generation();
    dictionaries.Refresh();  // the first scan finds the books
    const uint32_t scanned = dictionaries.Generation();
    EXPECT_NE(scanned, first);
    dictionaries.Refresh();  // nothing new
    EXPECT_EQ(dictionaries.Generation(), scanned);
    library.AddLocation(Dev(u"\\Storage Card"), Dev(u"Storage Card"));
    EXPECT_NE(dictionaries.Generation(), scanned);
}

}  // namespace

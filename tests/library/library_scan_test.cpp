// The folder scanner: which folders a location walks, recursion, extensions and hidden folders.
#include <gtest/gtest.h>

#include "library/library_scan.h"
#include "support/library/library_fixture.h"

using fvt::test::Dev;
using fvt::test::LibraryDevice;
using fvt::test::MakeBook;
using fvt::test::Wide;

namespace {

std::vector<std::u16string> Folders(const Text* location) {
    std::vector<ScanFolderEntry> list;
    ListScanFolders(location, list);
    std::vector<std::u16string> out;
    for (const auto& e : list) out.push_back(Wide(e.path) + (e.recursive ? u" *" : u""));
    return out;
}

bool Has(const Library& library, const std::u16string& path) {
    return library.FindBookByPath(Dev(path), nullptr);
}

class LibraryScanTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dev.ok()); }
    void Scan(const std::u16string& location) {
        Text root = Dev(location);
        ScanBookFolders(dev.paths(), &library, &root);
    }
    LibraryDevice dev;
    Library library{&dev.host};
};

TEST_F(LibraryScanTest, ARootListsItsBookFoldersInOrder) {
    Text card = Dev(u"\\Storage Card\\");
    EXPECT_EQ(Folders(&card),
              (std::vector<std::u16string>{
                  u"\\Storage Card", u"\\Storage Card\\eBooks *", u"\\Storage Card\\enews *",
                  u"\\Storage Card\\Palm\\Launcher", u"\\Storage Card\\Palm\\Programs\\MSFiles",
                  u"\\Storage Card\\Palm\\Programs\\MSFiles\\eBooks",
                  u"\\Storage Card\\Palm\\Applications"}));
}

TEST_F(LibraryScanTest, MainMemoryAlsoWalksTheBooksFolder) {
    Text main = Dev(u"\\");
    auto folders = Folders(&main);
    ASSERT_EQ(folders.size(), 8u);
    EXPECT_EQ(folders[0], u"");
    EXPECT_EQ(folders[1], u"\\eBooks *");
    EXPECT_EQ(folders[7], u"\\storage\\eBooks *");
}

TEST_F(LibraryScanTest, TheBooksFolderAloneAndNoLocationAtAll) {
    Text books = Dev(u"\\Storage\\EBOOKS\\");
    EXPECT_EQ(Folders(&books), (std::vector<std::u16string>{u"\\storage\\eBooks *"}));
    Text empty;
    EXPECT_TRUE(Folders(&empty).empty());
    auto all = Folders(nullptr);
    ASSERT_EQ(all.size(), 8u);
    EXPECT_EQ(all[0], u"\\storage\\eBooks *");
    EXPECT_EQ(all[1], u"\\Storage Card");
}

TEST_F(LibraryScanTest, RecursionOnlyWhereTheListSaysSo) {
    dev.PutBook("Storage Card/eBooks/deep/er/a.prc", MakeBook("A"));
    dev.PutBook("Storage Card/Palm/Launcher/b.prc", MakeBook("B"));
    dev.PutBook("Storage Card/Palm/Launcher/sub/c.prc", MakeBook("C"));
    dev.PutBook("Storage Card/elsewhere/d.prc", MakeBook("D"));
    dev.PutText("Storage Card/top.txt");
    Scan(u"\\Storage Card");
    EXPECT_TRUE(Has(library, u"\\Storage Card\\eBooks\\deep\\er\\a.prc"));
    EXPECT_TRUE(Has(library, u"\\Storage Card\\Palm\\Launcher\\b.prc"));
    EXPECT_FALSE(Has(library, u"\\Storage Card\\Palm\\Launcher\\sub\\c.prc"));
    EXPECT_FALSE(Has(library, u"\\Storage Card\\elsewhere\\d.prc"));
    EXPECT_TRUE(Has(library, u"\\Storage Card\\top.txt"));
}

TEST_F(LibraryScanTest, ExtensionsIgnoreCaseAndOthersAreSkipped) {
    dev.PutBook("Storage Card/eBooks/BIG.FOLV", MakeBook("Big"));
    dev.PutText("Storage Card/eBooks/page.Html");
    dev.PutText("Storage Card/eBooks/paper.pdf");
    dev.PutText("Storage Card/eBooks/noext");
    Scan(u"\\Storage Card\\");
    EXPECT_TRUE(Has(library, u"\\Storage Card\\eBooks\\BIG.FOLV"));
    EXPECT_TRUE(Has(library, u"\\Storage Card\\eBooks\\page.Html"));
    EXPECT_EQ(library.GetEntryCount(), 2);
}

TEST_F(LibraryScanTest, HiddenFoldersAreNeverEntered) {
    dev.PutBook("Storage Card/eBooks/.secret/a.prc", MakeBook("A"));
    dev.PutBook("Storage Card/eBooks/open/b.prc", MakeBook("B"));
    Scan(u"\\Storage Card");
    EXPECT_FALSE(Has(library, u"\\Storage Card\\eBooks\\.secret\\a.prc"));
    EXPECT_TRUE(Has(library, u"\\Storage Card\\eBooks\\open\\b.prc"));
}

TEST_F(LibraryScanTest, AFileFoundTwiceIsOneEntry) {
    dev.PutBook("Storage Card/eBooks/a.prc", MakeBook("A"));
    ScanBookFolders(dev.paths(), &library, nullptr);
    Scan(u"\\Storage Card");
    EXPECT_EQ(library.GetEntryCount(), 1);
}

TEST_F(LibraryScanTest, ScanningWritesNoFile) {
    dev.PutBook("eBooks/a.prc", MakeBook("A"));
    dev.PutText("eBooks/t.txt");
    dev.PutBook("storage/eBooks/b.prc", MakeBook("B"));
    library.Refresh();
    EXPECT_EQ(library.GetEntryCount(), 3);
    EXPECT_FALSE(dev.Exists("eBooks/a.fvt"));
    EXPECT_FALSE(dev.Exists("eBooks/t.fvt"));
    EXPECT_FALSE(dev.Exists("storage/eBooks/b.fvt"));
}

}  // namespace

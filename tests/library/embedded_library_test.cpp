// The catalogue embedded in the document loader: notices forwarded, books found by name, the
// side file an open book holds shared, trial opens, and side files closing.
#include <gtest/gtest.h>

#include "database/resource.h"
#include "document/location/location.h"
#include "document/sources/document_loader.h"
#include "library/embedded_library.h"
#include "platform/storage/storage_cards.h"
#include "support/library/library_fixture.h"

using fvt::test::Dev;
using fvt::test::LibraryDevice;
using fvt::test::MakeBook;
using fvt::test::Wide;

namespace {

class EmbeddedLibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dev.ok());
        loader.SetOptions(dev.paths(), nullptr, nullptr);
        embedded = std::make_unique<EmbeddedLibrary>(loader);
        dev.PutBook("eBooks/a.prc", MakeBook("A"));
        dev.PutText("eBooks/t.txt", "plain text");
        dev.PutText("eBooks/junk.prc", "not a book at all");
    }
    void TearDown() override { embedded.reset(); }
    Resource* Open(const std::u16string& path) {
        Location l;
        if (!l.Resolve(String(path.data(), static_cast<int32_t>(path.size())), nullptr))
            return nullptr;
        return loader.Open(l, nullptr, nullptr);
    }
    LibraryBook* Find(const std::u16string& path) {
        LibraryBook* b = nullptr;
        embedded->Catalogue().FindBookByPath(Dev(path), &b);
        return b;
    }

    LibraryDevice dev;
    DocumentLoader loader{7};
    std::unique_ptr<EmbeddedLibrary> embedded;
};

TEST_F(EmbeddedLibraryTest, TheLoaderForwardsCardNotices) {
    EXPECT_EQ(loader.Catalogue(), embedded.get());
    embedded->Refresh();
    Library& library = embedded->Catalogue();
    ASSERT_TRUE(fvt::InsertStorageCard(u"SD"));
    loader.AddLocation(Dev(u"\\SD\\"));
    ASSERT_EQ(library.GetLocationCount(), 3);
    LibraryLocation sd;
    library.GetLocation(2, sd);
    EXPECT_EQ(Wide(sd.name), u"SD");
    loader.RemoveLocation(Dev(u"\\SD"));
    EXPECT_EQ(library.GetLocationCount(), 2);
    loader.RefreshLocationBooks(Dev(u"\\Storage Card\\"));
    loader.RefreshLocation(Dev(u"\\Storage Card\\"));
    LibraryLocation card;
    library.GetLocation(1, card);
    EXPECT_FALSE(card.scanned);
}

TEST_F(EmbeddedLibraryTest, BooksAreFoundByDatabaseNameThroughTheLoader) {
    Text path;
    EXPECT_FALSE(embedded->FindBookByName(String(u"DB A"), path));  // nothing scanned yet
    embedded->Refresh();
    ASSERT_TRUE(embedded->FindBookByName(String(u"DB A"), path));
    EXPECT_EQ(Wide(path), u"\\eBooks\\a.prc");
    EXPECT_FALSE(embedded->FindBookByName(String(u"DB None"), path));
}

TEST_F(EmbeddedLibraryTest, AnOpenBookSharesItsSideFileWithTheCatalogue) {
    embedded->Refresh();
    Resource* book = Open(u"\\eBooks\\a.prc");
    ASSERT_NE(book, nullptr);
    AnnotationFile* side = loader.OpenAnnotationFile(book);
    ASSERT_NE(side, nullptr);
    LibraryBook* entry = Find(u"\\eBooks\\a.prc");
    ASSERT_NE(entry, nullptr);
    ASSERT_TRUE(entry->SetRating(4));
    EXPECT_EQ(side->GetRating(), 4u);
    EXPECT_EQ(side->RefCount(), 1);
    side->Release();
    EXPECT_TRUE(dev.Exists("eBooks/a.fvt"));
}

TEST_F(EmbeddedLibraryTest, TrialOpensMarkBooksThatDoNotOpen) {
    embedded->Refresh();
    LibraryBook* text = Find(u"\\eBooks\\t.txt");
    ASSERT_NE(text, nullptr);
    text->TestOpen(0);
    EXPECT_TRUE(text->IsOpenable());
    LibraryBook fake(&embedded->Catalogue(), Dev(u"\\eBooks\\junk.prc"));
    fake.TestOpen(0);
    EXPECT_FALSE(fake.IsOpenable());
    EXPECT_EQ(loader.ReportFailures(), 1);
}

TEST_F(EmbeddedLibraryTest, AClosingSideFileUpdatesItsEntry) {
    embedded->Refresh();
    LibraryBook* entry = Find(u"\\eBooks\\a.prc");
    ASSERT_NE(entry, nullptr);
    entry->SetSideFileTime(0);
    Resource* book = Open(u"\\eBooks\\a.prc");
    AnnotationFile* side = loader.OpenAnnotationFile(book);
    ASSERT_NE(side, nullptr);
    side->SetRating(1);
    side->Release();  // closes, written, reported to the catalogue
    EXPECT_NE(entry->GetSideFileTime(), 0u);
}

}  // namespace

// Table databases opened by name through the document loader: one object per file, shared
// by every caller while held, read-only when the user marked the file so.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "core/file.h"
#include "core/text.h"
#include "database/database.h"
#include "document/sources/document_loader.h"
#include "document/sources/loader_database_opener.h"
#include "paths/app_paths.h"
#include "support/platform/temp_device.h"

namespace {

struct LoaderDatabases : ::testing::Test {
    LoaderDatabases() {
        EXPECT_TRUE(device.ok());
        device.WriteHost("books/a.htm", "<p>a</p>");
        loader = new DocumentLoader(7);
        loader->SetOptions(&paths, nullptr, nullptr);
    }
    ~LoaderDatabases() override { delete loader; }
    fvt::test::TempDevice device;
    AppPaths paths{Text(), nullptr};
    DocumentLoader* loader = nullptr;
};

TEST_F(LoaderDatabases, LoaderOpenerSharesOneDatabasePerFile) {
    LoaderDatabaseOpener opener(loader);
    Database* db = opener.OpenDatabase(String(u"Notes"));
    ASSERT_NE(db, nullptr);
    EXPECT_EQ(db->TableCount(), 0);
    EXPECT_TRUE(db->Name() == String(u"Notes"));
    EXPECT_GE(db->CreateTable(String(u"t")), 0);
    ASSERT_TRUE(db->Save());
    Database* same = opener.OpenDatabase(String(u"Notes"));
    EXPECT_EQ(same, db);
    same->Release();
    db->Release();
    // Saved, let go and opened again: read from its file.
    Database* reread = opener.OpenDatabase(String(u"Notes"));
    ASSERT_NE(reread, nullptr);
    EXPECT_EQ(reread->TableCount(), 1);
    EXPECT_TRUE(reread->Name() == String(u"Notes"));
    EXPECT_FALSE(reread->IsReadOnly());
    reread->Release();
    // A file the user marked read-only gives a read-only database.
    ASSERT_EQ(chmod(device.Host("storage/eBooks/database/Notes.ebase").c_str(), 0444), 0);
    Database* locked = opener.OpenDatabase(String(u"Notes"));
    ASSERT_NE(locked, nullptr);
    EXPECT_TRUE(locked->IsReadOnly());
    locked->Release();
    EXPECT_EQ(opener.OpenDatabase(String(u"!!")), nullptr);
    // Something that is no database is not handed out as one.
    Location book;
    ASSERT_TRUE(book.Resolve(String(u"\\books\\a.htm"), nullptr));
    EXPECT_EQ(loader->OpenDatabase(book), nullptr);
    EXPECT_EQ(loader->CachedCount(), 0u);
}

}  // namespace

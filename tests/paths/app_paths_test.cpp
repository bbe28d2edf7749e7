// Application paths, file names, storage locations, moving a book into a books folder, and the
// interface tables.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/file.h"
#include "core/platform_helpers.h"
#include "paths/app_paths.h"
#include "paths/kept_checkpoints_file.h"
#include "paths/storage.h"
#include "platform/storage/storage_cards.h"
#include "support/platform/temp_device.h"

namespace {

Text T(const char16_t* s) {
    Text t;
    t.FromWide(s);
    return t;
}

std::u16string W(const Text& t) {
    return t.WideCStr() ? std::u16string(t.WideCStr()) : std::u16string();
}

// ---- File names -------------------------------------------------------------------------------

TEST(AppPathsNames, ProgramAndDataFilesOnPocketPc) {
    fvt::test::TempDevice device("platform = PocketPC\n");
    ASSERT_TRUE(device.ok());
    std::unique_ptr<AppPaths> paths;
    ASSERT_EQ(AppPaths::Create(nullptr, paths), 0);
    Text out;
    ASSERT_TRUE(paths->FontFile(out));
    EXPECT_EQ(W(out), u"\\Program Files\\Folivant\\folvtype.prc");
    ASSERT_TRUE(paths->LibraryFile(out));
    EXPECT_EQ(W(out), u"\\Windows\\folvbook.fvl");
    ASSERT_TRUE(paths->GlobalConfigFile(out));
    EXPECT_EQ(W(out), u"\\Windows\\FVT_global_configuration.fvt");
    ASSERT_TRUE(paths->AutogenBookmarkListFile(out));
    EXPECT_EQ(W(out), u"\\Windows\\FolivantAutogenBookmarkList.fvg");
    ASSERT_TRUE(paths->AutogenCartFile(out));
    EXPECT_EQ(W(out), u"\\Windows\\FolivantAutogenCart.fvg");
    ASSERT_TRUE(paths->AutogenInteractFile(out));
    EXPECT_EQ(W(out), u"\\Windows\\FolivantAutogenInteract.fvg");
    ASSERT_TRUE(paths->CacheFile(out));
    EXPECT_EQ(W(out), u"\\Windows\\FolivantCache.fvt");
    AppPaths::Destroy(paths);
    EXPECT_EQ(paths, nullptr);
}

TEST(AppPathsNames, DataFolderOnSmartphone) {
    fvt::test::TempDevice device("platform = Smartphone\n");
    ASSERT_TRUE(device.ok());
    std::unique_ptr<AppPaths> paths;
    ASSERT_EQ(AppPaths::Create(nullptr, paths), 0);
    Text out;
    ASSERT_TRUE(paths->CacheFile(out));
    EXPECT_EQ(W(out), u"\\Application Data\\FolivantCache.fvt");
    EXPECT_TRUE(IsSmartphone());
    EXPECT_FALSE(IsNotSmartphone());
    EXPECT_FALSE(IsPlatformUnknown());
}

TEST(AppPathsNames, ProgramFolderGetsItsBackslash) {
    fvt::test::TempDevice device;
    AppPaths paths(T(u"\\Apps"), nullptr);
    Text out;
    ASSERT_TRUE(paths.FontFile(out));
    EXPECT_EQ(W(out), u"\\Apps\\folvtype.prc");
}

TEST(AppPathsNames, DatabaseFolderIsMadeUnderTheBooksFolder) {
    fvt::test::TempDevice device;
    Text out;
    ASSERT_TRUE(AppPaths::DatabaseFolder(out));
    EXPECT_EQ(W(out), u"\\storage\\eBooks\\database");
    EXPECT_TRUE(Folders::Exists(out));
}

TEST(AppPathsNames, GeneratedPagesAreDeletedWhereTheyAreWritten) {
    fvt::test::TempDevice device("platform = PocketPC\n");
    device.WriteHost("Windows/FolivantAutogenCart.fvg", "x");
    device.WriteHost("Windows/FolivantAutogenInteract.fvg", "x");
    device.WriteHost("Windows/FolivantCache.fvt", "x");
    std::unique_ptr<AppPaths> paths;
    ASSERT_EQ(AppPaths::Create(nullptr, paths), 0);
    EXPECT_EQ(paths->DeleteAutogenFiles(), 2);
    EXPECT_FALSE(device.HostExists("Windows/FolivantAutogenCart.fvg"));
    EXPECT_TRUE(device.HostExists("Windows/FolivantCache.fvt"));
}

// ---- Storage locations ------------------------------------------------------------------------

struct Locations : LocationList {
    void ClearLocations() override { entries.clear(); }
    bool AddLocation(const Text& path, const Text& name, bool removable) override {
        entries.push_back({W(path), W(name), removable});
        return true;
    }
    struct Entry {
        std::u16string path, name;
        bool removable;
    };
    std::vector<Entry> entries;
};

TEST(StorageLocations, MainMemoryIsStorageBeforeVersionFive) {
    fvt::test::TempDevice device("os = 4.21\n");
    Locations l;
    l.entries.push_back({u"stale", u"", false});
    ASSERT_TRUE(Storage::FindBookFolders(l));
    ASSERT_GE(l.entries.size(), 1u);
    EXPECT_EQ(l.entries[0].path, u"\\Storage");
    EXPECT_EQ(l.entries[0].name, u"Main Memory");
    EXPECT_FALSE(l.entries[0].removable);
}

TEST(StorageLocations, CardsFollowTheRootFromVersionFive) {
    fvt::test::TempDevice device("os = 5.1\n");
    ASSERT_TRUE(fvt::InsertStorageCard(u"Storage Card"));
    Locations l;
    ASSERT_TRUE(Storage::FindBookFolders(l));
    ASSERT_EQ(l.entries.size(), 2u);
    EXPECT_EQ(l.entries[0].path, u"\\");
    EXPECT_EQ(l.entries[1].path, u"\\Storage Card");
    EXPECT_EQ(l.entries[1].name, u"Storage Card");
    EXPECT_TRUE(l.entries[1].removable);
}

// ---- Moving a book ----------------------------------------------------------------------------

struct Releaser : BookReleaser {
    bool ReleaseBook(const Text& path) override {
        released.push_back(W(path));
        return allow;
    }
    bool allow = true;
    std::vector<std::u16string> released;
};

class MoveBook : public ::testing::Test {
protected:
    MoveBook() : device("os = 5.1\n") {}
    fvt::test::TempDevice device;
    Releaser releaser;
};

TEST_F(MoveBook, CreatesTheFolderAndMovesBookAndSideFile) {
    device.WriteHost("books/a.prc", "book");
    device.WriteHost("books/a.fvt", "side");
    Text book = T(u"\\books\\a.prc");
    ASSERT_TRUE(Storage::MoveBookToEbooks(book, T(u"\\"), &releaser));
    EXPECT_EQ(W(book), u"\\ebooks\\a.prc");
    EXPECT_EQ(device.ReadHost("ebooks/a.prc"), "book");
    EXPECT_EQ(device.ReadHost("ebooks/a.fvt"), "side");
    EXPECT_FALSE(device.HostExists("books/a.prc"));
    EXPECT_EQ(releaser.released, (std::vector<std::u16string>{u"\\books\\a.prc"}));
}

TEST_F(MoveBook, LocationWithoutTrailingBackslashGetsOne) {
    ASSERT_TRUE(fvt::InsertStorageCard(u"Card"));
    device.WriteHost("b.prc", "book");
    Text book = T(u"\\b.prc");
    ASSERT_TRUE(Storage::MoveBookToEbooks(book, T(u"\\Card"), &releaser));
    EXPECT_EQ(W(book), u"\\Card\\ebooks\\b.prc");
    Text again = T(u"\\Card\\ebooks\\b.prc");
    EXPECT_TRUE(Files::Exists(again));
}

TEST_F(MoveBook, WithoutASideFile) {
    device.WriteHost("c.prc", "book");
    Text book = T(u"\\c.prc");
    ASSERT_TRUE(Storage::MoveBookToEbooks(book, T(u"\\"), &releaser));
    EXPECT_EQ(device.ReadHost("ebooks/c.prc"), "book");
    EXPECT_FALSE(device.HostExists("ebooks/c.fvt"));
}

TEST_F(MoveBook, ABookAlreadyThereRefusesAndNothingIsDeleted) {
    device.WriteHost("d.prc", "mine");
    device.WriteHost("d.fvt", "my notes");
    device.WriteHost("ebooks/d.prc", "theirs");
    device.WriteHost("ebooks/d.fvt", "their notes");
    Text book = T(u"\\d.prc");
    EXPECT_FALSE(Storage::MoveBookToEbooks(book, T(u"\\"), &releaser));
    EXPECT_EQ(W(book), u"\\d.prc");
    EXPECT_EQ(device.ReadHost("ebooks/d.fvt"), "their notes");
    EXPECT_EQ(device.ReadHost("ebooks/d.prc"), "theirs");
    EXPECT_EQ(device.ReadHost("d.fvt"), "my notes");
}

TEST_F(MoveBook, AnotherBooksSideFileAloneAlsoRefuses) {
    device.WriteHost("e.prc", "mine");
    device.WriteHost("e.fvt", "my notes");
    device.WriteHost("ebooks/e.fvt", "their notes");
    Text book = T(u"\\e.prc");
    EXPECT_FALSE(Storage::MoveBookToEbooks(book, T(u"\\"), &releaser));
    EXPECT_EQ(device.ReadHost("ebooks/e.fvt"), "their notes");
    EXPECT_TRUE(device.HostExists("e.prc"));
}

TEST_F(MoveBook, SideFileThatCannotFollowBringsTheBookBack) {
    device.WriteHost("f.prc", "book");
    device.WriteHost("f.fvt", "notes");
    device.WriteHost("ebooks/f.fvt/blocker", "x");  // a folder where the side file would go
    Text book = T(u"\\f.prc");
    EXPECT_FALSE(Storage::MoveBookToEbooks(book, T(u"\\"), &releaser));
    EXPECT_EQ(W(book), u"\\f.prc");
    EXPECT_EQ(device.ReadHost("f.prc"), "book");
    EXPECT_EQ(device.ReadHost("f.fvt"), "notes");
    EXPECT_FALSE(device.HostExists("ebooks/f.prc"));
}

TEST_F(MoveBook, BookStillInUseIsNotMoved) {
    device.WriteHost("g.prc", "book");
    releaser.allow = false;
    Text book = T(u"\\g.prc");
    EXPECT_FALSE(Storage::MoveBookToEbooks(book, T(u"\\"), &releaser));
    EXPECT_TRUE(device.HostExists("g.prc"));
}

TEST_F(MoveBook, AcrossVolumes) {
    std::filesystem::create_directories(device.outside() + "/far");
    ASSERT_TRUE(fvt::InsertStorageCard(u"Far", device.outside() + "/far"));
    device.WriteHost("h.prc", "book");
    device.WriteHost("h.fvt", "notes");
    Text book = T(u"\\h.prc");
    ASSERT_TRUE(Storage::MoveBookToEbooks(book, T(u"\\Far\\"), &releaser));
    EXPECT_EQ(W(book), u"\\Far\\ebooks\\h.prc");
    EXPECT_FALSE(device.HostExists("h.prc"));
    EXPECT_FALSE(device.HostExists("h.fvt"));
    Text side = T(u"\\Far\\ebooks\\h.fvt");
    EXPECT_TRUE(Files::Exists(side));
}

// The checkpoints kept for a moved book: named for the new path and naming it, read back for
// the book there and not for the old path; a file that does not read as the old path's is
// dropped, not carried along.
TEST_F(MoveBook, KeptCheckpointsFollowTheBook) {
    KeptCheckpointsFile::BookIdentity book{1000, 77, 12, 40000, {}};
    const Text from = T(u"\\books\\k.prc"), to = T(u"\\Card\\ebooks\\k.prc");
    ASSERT_TRUE(from.ToWide(book.path));
    ByteStream checkpoints, back;
    checkpoints.WriteWord32BE(0x01020304u);
    checkpoints.WriteWord32BE(99u);
    ASSERT_TRUE(KeptCheckpointsFile::Write(from, book, checkpoints));
    Text oldFile, newFile;
    ASSERT_TRUE(AppPaths::KeptCheckpointsFile(from, oldFile));
    ASSERT_TRUE(AppPaths::KeptCheckpointsFile(to, newFile));
    EXPECT_TRUE(KeptCheckpointsFile::Move(from, to));
    EXPECT_FALSE(Files::Exists(oldFile));
    ASSERT_TRUE(Files::Exists(newFile));
    EXPECT_FALSE(KeptCheckpointsFile::Read(to, book, back)) << "the file names the new path";
    ASSERT_TRUE(to.ToWide(book.path));
    ASSERT_TRUE(KeptCheckpointsFile::Read(to, book, back));
    EXPECT_EQ(std::vector<uint8_t>(back.Data(), back.Data() + back.Size()),
              std::vector<uint8_t>(checkpoints.Data(), checkpoints.Data() + checkpoints.Size()));
    // Nothing kept: nothing to do. A damaged file goes without leaving one for the new path.
    EXPECT_TRUE(KeptCheckpointsFile::Move(T(u"\\books\\none.prc"), to));
    EXPECT_TRUE(Files::Exists(newFile));
    Text damaged = T(u"\\books\\d.prc"), damagedTo = T(u"\\Card\\ebooks\\d.prc");
    Text damagedFile, damagedNew;
    ASSERT_TRUE(AppPaths::KeptCheckpointsFile(damaged, damagedFile));
    ASSERT_TRUE(AppPaths::KeptCheckpointsFile(damagedTo, damagedNew));
    {
        File file(damagedFile, File::kCreateForWriting);
        ASSERT_TRUE(file.IsOpen());
        const char junk[] = "FVKC and nothing that adds up";
        ASSERT_EQ(file.Write(junk, sizeof junk), static_cast<uint32_t>(sizeof junk));
    }
    EXPECT_TRUE(KeptCheckpointsFile::Move(damaged, damagedTo));
    EXPECT_FALSE(Files::Exists(damagedFile));
    EXPECT_FALSE(Files::Exists(damagedNew));
}

// ---- Interface tables -------------------------------------------------------------------------

TEST(UiTables, MetricsByResolution) {
    {
        fvt::test::TempDevice device;
        EXPECT_EQ(UiMetrics::Get(nullptr, 2), 24);
        EXPECT_EQ(UiMetrics::Get(nullptr, 45), 35);
        EXPECT_EQ(UiMetrics::Get(nullptr, 99), 0);
        EXPECT_EQ(UiMetrics::Get(nullptr, 18), 0);
    }
    fvt::test::TempDevice device("screen = 480x640@192\n");
    EXPECT_EQ(UiMetrics::Get(nullptr, 2), 48);
    EXPECT_EQ(UiMetrics::Get(nullptr, 24), 10);
}

TEST(UiTables, ColoursAsRgb) {
    uint32_t c = 0;
    EXPECT_EQ(UiColors::Get(c, 39), 49u | 106u << 8 | 197u << 16);
    EXPECT_EQ(c, 49u | 106u << 8 | 197u << 16);
    EXPECT_EQ(UiColors::Get(c, 41), 127u << 16);
    EXPECT_EQ(UiColors::Get(c, 99), 0xFFFFFFu);
    EXPECT_EQ(UiColors::Get(c, 22), 0u);
}

TEST(UiTables, InputPanelReportsItsRectangleAndState) {
    fvt::test::TempDevice device;
    ASSERT_TRUE(InputPanel::Show(true));
    Rect r;
    EXPECT_TRUE(InputPanel::GetInfo(&r));
    EXPECT_FALSE(r.IsEmpty());
    InputPanel::Show(false);
    EXPECT_FALSE(InputPanel::GetInfo(nullptr));
}

}  // namespace

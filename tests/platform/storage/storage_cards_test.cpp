#include <gtest/gtest.h>

#include <sys/stat.h>

#include <vector>

#include "platform/last_error.h"
#include "platform/storage/files.h"
#include "platform/storage/storage_cards.h"
#include "support/platform/temp_device.h"

namespace {

struct RootEntry {
    std::u16string name;
    DWORD attributes;
};

std::vector<RootEntry> RootListing() {
    std::vector<RootEntry> out;
    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileW(u"\\*", &data);
    if (h == INVALID_HANDLE_VALUE) return out;
    do {
        out.push_back({data.cFileName, data.dwFileAttributes});
    } while (FindNextFileW(h, &data));
    FindClose(h);
    return out;
}

// What the program does to find its cards: root entries with directory and temporary set.
std::vector<std::u16string> Cards() {
    std::vector<std::u16string> names;
    for (auto& e : RootListing()) {
        if ((e.attributes & 0x110) == 0x110) names.push_back(e.name);
    }
    return names;
}

}  // namespace

TEST(StorageCards, ProfileCardsAreListedAtTheRootAsCards) {
    fvt::test::TempDevice device("cards = Storage Card\n");
    CreateDirectoryW(u"\\My Documents", nullptr);
    EXPECT_EQ(Cards(), std::vector<std::u16string>{u"Storage Card"});
    int seen = 0;
    for (auto& e : RootListing()) seen += e.name == u"Storage Card";
    EXPECT_EQ(seen, 1);
    EXPECT_EQ(GetFileAttributesW(u"\\storage card"), 0x110u);
    EXPECT_EQ(GetFileAttributesW(u"\\My Documents"), FILE_ATTRIBUTE_DIRECTORY);
}

TEST(StorageCards, RemovalHidesTheCardAndInsertionBringsItsFilesBack) {
    fvt::test::TempDevice device("cards = SD Card\n");
    ASSERT_TRUE(CreateDirectoryW(u"\\SD Card\\eBooks", nullptr));
    HANDLE h =
        CreateFileW(u"\\sd card\\ebooks\\a.prc", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);

    std::vector<std::pair<std::u16string, bool>> notices;
    fvt::SetStorageCardListener(
        [&](const std::u16string& name, bool inserted) { notices.emplace_back(name, inserted); });
    ASSERT_TRUE(fvt::RemoveStorageCard(u"sd card"));
    EXPECT_TRUE(Cards().empty());
    for (auto& e : RootListing()) EXPECT_NE(e.name, u"SD Card");
    EXPECT_EQ(GetFileAttributesW(u"\\SD Card\\eBooks\\a.prc"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_FALSE(CreateDirectoryW(u"\\SD Card\\x", nullptr));
    EXPECT_FALSE(fvt::RemoveStorageCard(u"SD Card"));

    ASSERT_TRUE(fvt::InsertStorageCard(u"SD Card"));
    EXPECT_NE(GetFileAttributesW(u"\\SD Card\\eBooks\\a.prc"), INVALID_FILE_ATTRIBUTES);
    fvt::SetStorageCardListener(nullptr);
    ASSERT_EQ(notices.size(), 2u);
    EXPECT_EQ(notices[0], std::make_pair(std::u16string(u"SD Card"), false));
    EXPECT_EQ(notices[1], std::make_pair(std::u16string(u"SD Card"), true));
}

TEST(StorageCards, CardOnAnotherHostFolderAndBadNames) {
    fvt::test::TempDevice device;
    std::filesystem::create_directories(device.outside());
    ASSERT_TRUE(fvt::InsertStorageCard(u"CF Card", device.outside()));
    EXPECT_FALSE(fvt::InsertStorageCard(u"cf card"));
    EXPECT_FALSE(fvt::InsertStorageCard(u"a\\b"));
    EXPECT_FALSE(fvt::InsertStorageCard(u".."));
    HANDLE h = CreateFileW(u"\\CF Card\\x.txt", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
    EXPECT_TRUE(std::filesystem::exists(device.outside() + "/x.txt"));
    EXPECT_FALSE(RemoveDirectoryW(u"\\CF Card"));
    EXPECT_FALSE(MoveFileW(u"\\CF Card", u"\\elsewhere"));
}

TEST(StorageCards, MoveBetweenMainMemoryAndACardOnAnotherFileSystem) {
    fvt::test::TempDevice device;
    struct stat shm, root;
    std::string card = "/dev/shm/fvt-card-test-" + std::to_string(getpid());
    if (stat("/dev/shm", &shm) != 0 || stat(device.root().c_str(), &root) != 0 ||
        shm.st_dev == root.st_dev || mkdir(card.c_str(), 0755) != 0) {
        GTEST_SKIP() << "no second file system to move across";
    }
    ASSERT_TRUE(fvt::InsertStorageCard(u"Storage Card", card));
    device.WriteHost("book.prc", "content");
    EXPECT_TRUE(MoveFileW(u"\\book.prc", u"\\Storage Card\\book.prc"));
    EXPECT_FALSE(device.HostExists("book.prc"));
    device.WriteHost("book.prc", "second");
    EXPECT_FALSE(MoveFileW(u"\\book.prc", u"\\Storage Card\\book.prc"));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(device.ReadHost("book.prc"), "second");
    EXPECT_TRUE(MoveFileW(u"\\Storage Card\\book.prc", u"\\back.prc"));
    EXPECT_EQ(device.ReadHost("back.prc"), "content");
    std::filesystem::remove_all(card);
}

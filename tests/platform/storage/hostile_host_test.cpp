// The device against a hostile host: links, FIFOs, names the device cannot spell and folders
// swapped for links while the calls run. A sentinel folder beside the root must come out of every
// case as it went in.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <thread>

#include "platform/last_error.h"
#include "platform/storage/device_path.h"
#include "platform/storage/files.h"
#include "platform/storage/registry.h"
#include "platform/storage/storage_cards.h"
#include "support/platform/device_file_io.h"
#include "support/platform/host_sentinel.h"
#include "support/platform/temp_device.h"

namespace {

class HostileHost : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(sentinel.Changes(), ""); }
    bool SawOutsideWhileSwapping();

    HANDLE Open(LPCWSTR path, DWORD access, DWORD disposition, DWORD share = 0, DWORD flags = 0) {
        return CreateFileW(path, access, share, nullptr, disposition, flags, nullptr);
    }
    std::string Read(LPCWSTR path) { return fvt::test::ReadDeviceFile(path, "<failed>"); }
    bool Write(LPCWSTR path, const std::string& text) {
        return fvt::test::WriteDeviceFile(path, text);
    }
    void Link(const std::string& target, const std::string& relative) {
        ASSERT_EQ(symlink(target.c_str(), device.Host(relative).c_str()), 0) << relative;
    }
    bool IsLink(const std::string& relative) {
        struct stat st;
        return lstat(device.Host(relative).c_str(), &st) == 0 && S_ISLNK(st.st_mode);
    }
    std::vector<std::u16string> List(LPCWSTR pattern) {
        std::vector<std::u16string> names;
        WIN32_FIND_DATAW data;
        HANDLE h = FindFirstFileW(pattern, &data);
        if (h == INVALID_HANDLE_VALUE) return names;
        do names.push_back(data.cFileName);
        while (FindNextFileW(h, &data));
        FindClose(h);
        return names;
    }

    fvt::test::TempDevice device;
    fvt::test::HostSentinel sentinel{device.outside()};
};

// Swaps root/d and root/dlink (a link to the sentinel) until stopped or out of tries.
class FolderSwapper {
public:
    FolderSwapper(const std::string& a, const std::string& b)
        : thread_([this, a, b] {
              for (int i = 0; i < 200000 && !stop_; ++i) {
                  renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_EXCHANGE);
              }
          }) {}
    ~FolderSwapper() {
        stop_ = true;
        thread_.join();
    }

private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace

// Runs every kind of call on \d while a host thread swaps the folder with a link outside; true
// when any of them showed something from outside.
bool HostileHost::SawOutsideWhileSwapping() {
    sentinel.Put("x", "OUTSIDE");
    sentinel.Put("gone", "outside, must stay");
    device.WriteHost("d/x", "inside");
    Link(device.outside(), "dlink");
    bool sawOutside = false;
    FolderSwapper swapper(device.Host("d"), device.Host("dlink"));
    for (int i = 0; i < 400; ++i) {
        HANDLE h = Open(u"\\d\\new", GENERIC_WRITE, CREATE_NEW);
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
        DeleteFileW(u"\\d\\new");
        sawOutside = sawOutside || Read(u"\\d\\x") == "OUTSIDE";
        DeleteFileW(u"\\d\\gone");
        if (MoveFileW(u"\\d\\x", u"\\d\\y")) MoveFileW(u"\\d\\y", u"\\d\\x");
        SetFileAttributesW(u"\\d\\x", FILE_ATTRIBUTE_READONLY);
        SetFileAttributesW(u"\\d\\x", FILE_ATTRIBUTE_NORMAL);
        if (CreateDirectoryW(u"\\d\\sub2", nullptr)) RemoveDirectoryW(u"\\d\\sub2");
        for (auto& name : List(u"\\d\\*")) {
            sawOutside = sawOutside || name == u"secret.txt" || name == u"gone";
        }
        CopyFileW(u"\\d\\x", u"\\d\\copy", FALSE);
        DeleteFileW(u"\\d\\copy");
    }
    return sawOutside;
}

TEST_F(HostileHost, AFolderSwappedForALinkMidCallNeverLeadsOutside) {
    EXPECT_FALSE(SawOutsideWhileSwapping());
}

TEST_F(HostileHost, AFolderSwappedForALinkMidCallNeverLeadsOutsideWithoutOpenat2) {
    fvt::UseOpenat2ForTesting(false);
    EXPECT_FALSE(SawOutsideWhileSwapping());
    fvt::UseOpenat2ForTesting(true);
}

TEST_F(HostileHost, SetFileAttributesDoesNotFollowALastLink) {
    sentinel.Put("victim.txt", "v");
    Link(device.outside() + "/victim.txt", "file");
    EXPECT_FALSE(SetFileAttributesW(u"\\file", FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(SetFileAttributesW(u"\\file", FILE_ATTRIBUTE_NORMAL));
}

TEST_F(HostileHost, AStorageCardFolderSwappedForALinkAfterInsertionIsNotFollowed) {
    ASSERT_TRUE(fvt::InsertStorageCard(u"Storage Card"));
    device.WriteHost("Storage Card/book.prc", "card");
    EXPECT_EQ(Read(u"\\Storage Card\\book.prc"), "card");
    std::filesystem::rename(device.Host("Storage Card"), device.Host("moved"));
    Link(device.outside(), "Storage Card");
    EXPECT_EQ(Read(u"\\Storage Card\\secret.txt"), "<failed>");
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(Open(u"\\Storage Card\\new.txt", GENERIC_WRITE, CREATE_ALWAYS),
              INVALID_HANDLE_VALUE);
    EXPECT_FALSE(DeleteFileW(u"\\Storage Card\\secret.txt"));
    EXPECT_FALSE(CreateDirectoryW(u"\\Storage Card\\made", nullptr));
    EXPECT_TRUE(List(u"\\Storage Card\\*").empty());
    for (auto& name : List(u"\\*")) EXPECT_NE(name, u"Storage Card");
}

TEST_F(HostileHost, AStorageCardElsewhereSwappedForALinkIsNotFollowed) {
    std::string cardFolder = device.outside() + "-card";
    std::filesystem::create_directories(cardFolder);
    ASSERT_TRUE(fvt::InsertStorageCard(u"SD Card", cardFolder));
    std::filesystem::remove(cardFolder);
    ASSERT_EQ(symlink(device.outside().c_str(), cardFolder.c_str()), 0);
    EXPECT_EQ(Read(u"\\SD Card\\secret.txt"), "<failed>");
    EXPECT_FALSE(Write(u"\\SD Card\\new.txt", "x"));
    std::filesystem::remove(cardFolder);
}

TEST_F(HostileHost, DeleteOnCloseTakesOnlyTheFileItOpened) {
    sentinel.Put("t.tmp", "outside");
    ASSERT_TRUE(CreateDirectoryW(u"\\d", nullptr));
    HANDLE h = Open(u"\\d\\t.tmp", GENERIC_WRITE, CREATE_NEW, 0, FILE_FLAG_DELETE_ON_CLOSE);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    // The folder moves away and a link to the sentinel takes its place.
    std::filesystem::rename(device.Host("d"), device.Host("d2"));
    Link(device.outside(), "d");
    CloseHandle(h);
    EXPECT_FALSE(device.HostExists("d2/t.tmp"));  // the file itself went, where it now is
}

TEST_F(HostileHost, DeleteOnCloseSparesANewFileThatTookTheName) {
    ASSERT_TRUE(CreateDirectoryW(u"\\dir", nullptr));
    HANDLE h = Open(u"\\dir\\a.tmp", GENERIC_WRITE, CREATE_NEW, 0, FILE_FLAG_DELETE_ON_CLOSE);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(MoveFileW(u"\\dir", u"\\dir2"));
    ASSERT_TRUE(CreateDirectoryW(u"\\dir", nullptr));
    ASSERT_TRUE(Write(u"\\dir\\a.tmp", "kept"));
    CloseHandle(h);
    EXPECT_EQ(Read(u"\\dir\\a.tmp"), "kept");
    EXPECT_EQ(GetFileAttributesW(u"\\dir2\\a.tmp"), INVALID_FILE_ATTRIBUTES);
}

TEST_F(HostileHost, DeleteOnCloseHonoursReadOnlyAsDeleteFileDoes) {
    HANDLE h = Open(u"\\keep.txt", GENERIC_WRITE, CREATE_NEW, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    FILE_FLAG_DELETE_ON_CLOSE);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(SetFileAttributesW(u"\\keep.txt", FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(DeleteFileW(u"\\keep.txt"));
    CloseHandle(h);
    EXPECT_NE(GetFileAttributesW(u"\\keep.txt"), INVALID_FILE_ATTRIBUTES);
}

TEST_F(HostileHost, TheRegistryFileIsNotReadOrWrittenThroughALink) {
    sentinel.Put("bait", "# bait\nK\tHKEY_CURRENT_USER\\Bait\n");
    Link(device.outside() + "/bait", ".folivant-registry");
    HKEY key = nullptr;
    EXPECT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, u"Bait", 0, KEY_READ, &key), ERROR_SUCCESS);
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"Mine", 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                              &disposition),
              ERROR_SUCCESS);
    DWORD value = 7;
    EXPECT_EQ(RegSetValueExW(key, u"v", 0, REG_DWORD, reinterpret_cast<BYTE*>(&value),
                             sizeof value),
              ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_FALSE(IsLink(".folivant-registry"));  // replaced by the device's own file
}

TEST_F(HostileHost, AFifoIsRefusedAtOnceAndNotListed) {
    ASSERT_EQ(mkfifo(device.Host("My Documents/book.prc").c_str(), 0644), 0);
    EXPECT_EQ(Open(u"\\My Documents\\book.prc", GENERIC_READ, OPEN_EXISTING),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(Open(u"\\My Documents\\book.prc", GENERIC_WRITE, CREATE_ALWAYS),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(CopyFileW(u"\\My Documents\\book.prc", u"\\copy.prc", FALSE));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    ASSERT_TRUE(Write(u"\\real.prc", "r"));
    EXPECT_FALSE(CopyFileW(u"\\real.prc", u"\\My Documents\\book.prc", FALSE));
    EXPECT_EQ(GetFileAttributesW(u"\\My Documents\\book.prc"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(List(u"\\My Documents\\*").empty());
}

TEST_F(HostileHost, NamesTheDeviceCannotSpellAreNotListedSoNotActedOn) {
    device.WriteHost("My Documents/notes.tmp", "the user's notes");
    device.WriteHost("Temp/fvk\\..\\..\\My Documents\\notes.tmp", "bait");
    device.WriteHost("Temp/fvk*1.tmp", "bait");
    device.WriteHost("Temp/fvk|2.tmp", "bait");
    device.WriteHost("Temp/fvk3.tmp", "ours");
    std::filesystem::create_directories(device.Host("eBooks/x\\..\\.."));
    device.WriteHost("eBooks/book.prc", "b");
    EXPECT_EQ(List(u"\\Temp\\fvk*.tmp"), std::vector<std::u16string>{u"fvk3.tmp"});
    EXPECT_EQ(List(u"\\eBooks\\*"), std::vector<std::u16string>{u"book.prc"});
    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileW(u"\\Temp\\fvk*.tmp", &data);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    do {
        std::u16string path = std::u16string(u"\\Temp\\") + data.cFileName;
        EXPECT_TRUE(DeleteFileW(path.c_str()));
    } while (FindNextFileW(h, &data));
    FindClose(h);
    EXPECT_EQ(Read(u"\\My Documents\\notes.tmp"), "the user's notes");
}

TEST_F(HostileHost, MovingBetweenTwoLinksOfOneFileMovesOrFails) {
    device.WriteHost("a.txt", "one file");
    ASSERT_EQ(link(device.Host("a.txt").c_str(), device.Host("b.txt").c_str()), 0);
    EXPECT_FALSE(MoveFileW(u"\\a.txt", u"\\b.txt"));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_TRUE(MoveFileExW(u"\\a.txt", u"\\b.txt", MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(GetFileAttributesW(u"\\a.txt"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(Read(u"\\b.txt"), "one file");
}

TEST_F(HostileHost, AHiddenLinkIsNeverReplacedOrTwinned) {
    sentinel.Put("victim.txt", "v");
    ASSERT_TRUE(Write(u"\\src.txt", "mine"));
    Link(device.outside() + "/victim.txt", "Link.txt");
    EXPECT_FALSE(CopyFileW(u"\\src.txt", u"\\Link.txt", FALSE));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(CopyFileW(u"\\src.txt", u"\\link.txt", FALSE));  // nor its case twin
    EXPECT_FALSE(MoveFileExW(u"\\src.txt", u"\\LINK.TXT", MOVEFILE_REPLACE_EXISTING));
    EXPECT_FALSE(Write(u"\\link.txt", "twin"));
    EXPECT_TRUE(IsLink("Link.txt"));
    EXPECT_FALSE(device.HostExists("link.txt"));
    EXPECT_FALSE(device.HostExists("LINK.TXT"));
    EXPECT_EQ(Read(u"\\src.txt"), "mine");
}

TEST_F(HostileHost, ARemovedCardsFolderIsNeitherReplacedNorTwinned) {
    ASSERT_TRUE(fvt::InsertStorageCard(u"Storage Card"));
    ASSERT_TRUE(fvt::RemoveStorageCard(u"Storage Card"));
    ASSERT_TRUE(Write(u"\\src.txt", "mine"));
    EXPECT_FALSE(CreateDirectoryW(u"\\STORAGE CARD", nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(CopyFileW(u"\\src.txt", u"\\Storage Card", FALSE));
    EXPECT_FALSE(MoveFileExW(u"\\src.txt", u"\\storage card", MOVEFILE_REPLACE_EXISTING));
    EXPECT_FALSE(device.HostExists("STORAGE CARD"));
    EXPECT_FALSE(device.HostExists("storage card"));
    EXPECT_TRUE(std::filesystem::is_directory(device.Host("Storage Card")));
}

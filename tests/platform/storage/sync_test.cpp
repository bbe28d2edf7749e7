// Saves that are reported done stay done: folders are flushed after renames and new entries, and
// copies never leave their temp files behind.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>

#include "platform/last_error.h"
#include "platform/storage/files.h"
#include "platform/storage/sync_log.h"
#include "support/platform/device_file_io.h"
#include "support/platform/temp_device.h"

namespace {

class Durability : public ::testing::Test {
protected:
    void SetUp() override { fvt::ClearSyncLog(); }
    bool Write(LPCWSTR path, const std::string& text) {
        return fvt::test::WriteDeviceFile(path, text);
    }
    static bool Synced(const std::u16string& device, bool folder) {
        for (auto& r : fvt::SyncLog()) {
            if (r.device == device && r.folder == folder) return true;
        }
        return false;
    }
    // Temp copies left in a host folder.
    std::vector<std::string> Leftovers(const std::string& relative) {
        std::vector<std::string> found;
        for (auto& e : std::filesystem::directory_iterator(device.Host(relative))) {
            std::string name = e.path().filename().string();
            if (name.rfind(".fvt-copy-", 0) == 0) found.push_back(name);
        }
        return found;
    }
    fvt::test::TempDevice device;
};

}  // namespace

TEST_F(Durability, AReplacingMoveSyncsTheFolder) {
    ASSERT_TRUE(Write(u"\\My Documents\\notes.fvt", "old"));
    ASSERT_TRUE(Write(u"\\My Documents\\notes.fvt.tmp", "new"));
    fvt::ClearSyncLog();
    ASSERT_TRUE(MoveFileExW(u"\\My Documents\\notes.fvt.tmp", u"\\My Documents\\notes.fvt",
                            MOVEFILE_REPLACE_EXISTING));
    EXPECT_TRUE(Synced(u"\\My Documents", true));
}

TEST_F(Durability, AMoveBetweenFoldersSyncsBoth) {
    ASSERT_TRUE(CreateDirectoryW(u"\\a", nullptr));
    ASSERT_TRUE(CreateDirectoryW(u"\\b", nullptr));
    ASSERT_TRUE(Write(u"\\a\\f.txt", "x"));
    fvt::ClearSyncLog();
    ASSERT_TRUE(MoveFileW(u"\\a\\f.txt", u"\\b\\f.txt"));
    EXPECT_TRUE(Synced(u"\\a", true));
    EXPECT_TRUE(Synced(u"\\b", true));
}

TEST_F(Durability, ANewFileOrFolderSyncsItsFolderButAnOverwriteDoesNot) {
    ASSERT_TRUE(Write(u"\\My Documents\\fresh.txt", "1"));
    EXPECT_TRUE(Synced(u"\\My Documents", true));
    ASSERT_TRUE(CreateDirectoryW(u"\\My Documents\\sub", nullptr));
    fvt::ClearSyncLog();
    ASSERT_TRUE(Write(u"\\My Documents\\fresh.txt", "2"));  // the entry was already there
    EXPECT_TRUE(fvt::SyncLog().empty());
    ASSERT_TRUE(CreateDirectoryW(u"\\My Documents\\sub\\deeper", nullptr));
    EXPECT_TRUE(Synced(u"\\My Documents\\sub", true));
}

// A temporary file is made durable by the rename that links it in, not at its creation.
TEST_F(Durability, ATemporaryFileSyncsItsFolderOnlyWhenRenamedIn) {
    HANDLE h = CreateFileW(u"\\My Documents\\notes.fvt.tmp", GENERIC_WRITE, 0, nullptr,
                           CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(FlushFileBuffers(h));
    CloseHandle(h);
    EXPECT_FALSE(Synced(u"\\My Documents", true));
    EXPECT_TRUE(Synced(u"\\My Documents\\notes.fvt.tmp", false));
    ASSERT_TRUE(MoveFileExW(u"\\My Documents\\notes.fvt.tmp", u"\\My Documents\\notes.fvt",
                            MOVEFILE_REPLACE_EXISTING));
    EXPECT_TRUE(Synced(u"\\My Documents", true));
    // The attribute is not kept: the file reads as an ordinary one.
    DWORD attributes = GetFileAttributesW(u"\\My Documents\\notes.fvt");
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(attributes & FILE_ATTRIBUTE_TEMPORARY, 0u);
}

TEST_F(Durability, FlushingAFileIsRecordedByItsDevicePath) {
    HANDLE h =
        CreateFileW(u"\\My Documents\\Log.dat", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    fvt::ClearSyncLog();
    ASSERT_TRUE(FlushFileBuffers(h));
    CloseHandle(h);
    EXPECT_TRUE(Synced(u"\\My Documents\\Log.dat", false));
}

TEST_F(Durability, ACopyFlushesTheFileBeforeLinkingItIn) {
    ASSERT_TRUE(Write(u"\\book.prc", "content"));
    fvt::ClearSyncLog();
    ASSERT_TRUE(CopyFileW(u"\\book.prc", u"\\My Documents\\book.prc", TRUE));
    auto log = fvt::SyncLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].device, u"\\My Documents\\book.prc");
    EXPECT_FALSE(log[0].folder);
    EXPECT_EQ(log[1].device, u"\\My Documents");
    EXPECT_TRUE(log[1].folder);
}

TEST_F(Durability, AFailedCopyLeavesNoTempAndTheTargetAsItWas) {
    ASSERT_TRUE(Write(u"\\book.prc", std::string(200000, 'n')));
    ASSERT_TRUE(Write(u"\\My Documents\\book.prc", "previous"));
    fvt::FailNextCopyForTesting();
    EXPECT_FALSE(CopyFileW(u"\\book.prc", u"\\My Documents\\book.prc", FALSE));
    EXPECT_EQ(GetLastError(), ERROR_DISK_FULL);
    EXPECT_TRUE(Leftovers("My Documents").empty());
    EXPECT_EQ(device.ReadHost("My Documents/book.prc"), "previous");
    EXPECT_TRUE(CopyFileW(u"\\book.prc", u"\\My Documents\\book.prc", FALSE));  // the hook is spent
}

TEST_F(Durability, StaleTempCopiesAreSweptByTheNextCopyIntoTheFolder) {
    device.WriteHost("My Documents/.fvt-copy-abc123", std::string(4096, 'z'));  // a crash's
    device.WriteHost("My Documents/.fvt-copy-live99", "being written");
    // Another copy still holds its temp file: it is left alone.
    int live = open(device.Host("My Documents/.fvt-copy-live99").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(live, 0);
    ASSERT_EQ(flock(live, LOCK_EX), 0);
    device.WriteHost("My Documents/.fvt-copy-user", "not a temp name of ours");
    ASSERT_TRUE(Write(u"\\book.prc", "b"));
    ASSERT_TRUE(CopyFileW(u"\\book.prc", u"\\My Documents\\book.prc", TRUE));
    EXPECT_FALSE(device.HostExists("My Documents/.fvt-copy-abc123"));
    EXPECT_TRUE(device.HostExists("My Documents/.fvt-copy-live99"));
    EXPECT_TRUE(device.HostExists("My Documents/.fvt-copy-user"));
    close(live);
}

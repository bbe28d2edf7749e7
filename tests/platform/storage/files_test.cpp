#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "platform/last_error.h"
#include "platform/storage/files.h"
#include "support/platform/device_file_io.h"
#include "support/platform/temp_device.h"

namespace {

class Files : public ::testing::Test {
protected:
    HANDLE Open(LPCWSTR path, DWORD access, DWORD disposition, DWORD share = 0, DWORD flags = 0) {
        return CreateFileW(path, access, share, nullptr, disposition, flags, nullptr);
    }
    bool Write(LPCWSTR path, const std::string& text) {
        return fvt::test::WriteDeviceFile(path, text);
    }
    std::string Read(LPCWSTR path) { return fvt::test::ReadDeviceFile(path); }
    fvt::test::TempDevice device;
};

}  // namespace

TEST_F(Files, WriteSeekReadAndSize) {
    ASSERT_TRUE(Write(u"\\data.bin", "0123456789"));
    HANDLE h = Open(u"\\data.bin", GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD high = 99;
    EXPECT_EQ(GetFileSize(h, &high), 10u);
    EXPECT_EQ(high, 0u);
    EXPECT_EQ(SetFilePointer(h, -3, nullptr, FILE_END), 7u);
    char buffer[8] = {};
    DWORD n = 0;
    ASSERT_TRUE(ReadFile(h, buffer, 8, &n, nullptr));
    EXPECT_EQ(std::string(buffer, n), "789");
    ASSERT_TRUE(ReadFile(h, buffer, 8, &n, nullptr));
    EXPECT_EQ(n, 0u);  // end of file is a successful empty read
    EXPECT_EQ(SetFilePointer(h, 4, nullptr, FILE_BEGIN), 4u);
    ASSERT_TRUE(SetEndOfFile(h));
    EXPECT_EQ(GetFileSize(h, nullptr), 4u);
    CloseHandle(h);
    EXPECT_EQ(device.ReadHost("data.bin"), "0123");
}

TEST_F(Files, SeekingBeforeTheStartFailsAndKeepsThePosition) {
    ASSERT_TRUE(Write(u"\\data.bin", "abc"));
    HANDLE h = Open(u"\\data.bin", GENERIC_READ, OPEN_EXISTING);
    SetFilePointer(h, 1, nullptr, FILE_BEGIN);
    EXPECT_EQ(SetFilePointer(h, -5, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), ERROR_NEGATIVE_SEEK);
    EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_CURRENT), 1u);
    LONG high = 1;
    EXPECT_EQ(SetFilePointer(h, 0, &high, FILE_BEGIN), 0u);  // 4 GiB, sparse-free: only a seek
    EXPECT_EQ(high, 1);
    CloseHandle(h);
}

TEST_F(Files, DispositionsFollowTheDevice) {
    EXPECT_EQ(Open(u"\\a.txt", GENERIC_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    ASSERT_TRUE(Write(u"\\a.txt", "old"));
    EXPECT_EQ(Open(u"\\A.TXT", GENERIC_WRITE, CREATE_NEW), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
    HANDLE h = Open(u"\\a.txt", GENERIC_WRITE, CREATE_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    CloseHandle(h);
    EXPECT_EQ(device.ReadHost("a.txt"), "");
    h = Open(u"\\b.txt", GENERIC_WRITE, OPEN_ALWAYS);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    CloseHandle(h);
    EXPECT_EQ(Open(u"\\", GENERIC_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}

TEST_F(Files, AccessIsCheckedPerHandle) {
    ASSERT_TRUE(Write(u"\\a.txt", "abc"));
    HANDLE h = Open(u"\\a.txt", GENERIC_READ, OPEN_EXISTING);
    DWORD n;
    EXPECT_FALSE(WriteFile(h, "x", 1, &n, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    CloseHandle(h);
    h = Open(u"\\a.txt", GENERIC_WRITE, OPEN_EXISTING);
    char c;
    EXPECT_FALSE(ReadFile(h, &c, 1, &n, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    CloseHandle(h);
}

TEST_F(Files, SharingModesAreEnforcedWithinTheProcess) {
    HANDLE held = Open(u"\\temp1_rec0.wma", GENERIC_WRITE, CREATE_ALWAYS, 0);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Open(u"\\temp1_rec0.wma", GENERIC_WRITE, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_FALSE(DeleteFileW(u"\\temp1_rec0.wma"));
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    CloseHandle(held);
    HANDLE reader = Open(u"\\temp1_rec0.wma", GENERIC_READ, OPEN_EXISTING, FILE_SHARE_READ);
    HANDLE second = Open(u"\\temp1_rec0.wma", GENERIC_READ, OPEN_EXISTING, FILE_SHARE_READ);
    EXPECT_NE(second, INVALID_HANDLE_VALUE);
    CloseHandle(reader);
    CloseHandle(second);
}

TEST_F(Files, DeleteOnCloseRemovesTheFileAtClose) {
    HANDLE h =
        Open(u"\\fvq1.tmp", GENERIC_READ | GENERIC_WRITE, CREATE_NEW, 0, FILE_FLAG_DELETE_ON_CLOSE);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD n;
    WriteFile(h, "data", 4, &n, nullptr);
    EXPECT_TRUE(device.HostExists("fvq1.tmp"));
    CloseHandle(h);
    EXPECT_FALSE(device.HostExists("fvq1.tmp"));
}

TEST_F(Files, MoveRefusesAnExistingTargetAndLosesNothing) {
    ASSERT_TRUE(Write(u"\\from.txt", "source"));
    ASSERT_TRUE(Write(u"\\to.txt", "target"));
    EXPECT_FALSE(MoveFileW(u"\\from.txt", u"\\TO.TXT"));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(Read(u"\\from.txt"), "source");
    EXPECT_EQ(Read(u"\\to.txt"), "target");
    EXPECT_FALSE(MoveFileW(u"\\from.txt", u"\\missing\\x.txt"));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(Read(u"\\from.txt"), "source");
    EXPECT_FALSE(MoveFileW(u"\\absent.txt", u"\\y.txt"));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(Files, MoveIntoAFolderAndRenameCase) {
    ASSERT_TRUE(CreateDirectoryW(u"\\eBooks", nullptr));
    ASSERT_TRUE(Write(u"\\book.prc", "book"));
    ASSERT_TRUE(MoveFileW(u"\\BOOK.prc", u"\\ebooks\\book.prc"));
    EXPECT_EQ(device.ReadHost("eBooks/book.prc"), "book");
    EXPECT_FALSE(device.HostExists("book.prc"));
    ASSERT_TRUE(MoveFileW(u"\\eBooks\\book.prc", u"\\eBooks\\Book.PRC"));
    EXPECT_EQ(device.ReadHost("eBooks/Book.PRC"), "book");
    EXPECT_FALSE(device.HostExists("eBooks/book.prc"));
}

TEST_F(Files, MoveOfAnOpenFileIsRefused) {
    ASSERT_TRUE(Write(u"\\open.txt", "x"));
    HANDLE h = Open(u"\\open.txt", GENERIC_READ, OPEN_EXISTING, FILE_SHARE_READ);
    EXPECT_FALSE(MoveFileW(u"\\open.txt", u"\\moved.txt"));
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    CloseHandle(h);
    EXPECT_TRUE(MoveFileW(u"\\open.txt", u"\\moved.txt"));
}

TEST_F(Files, MoveFolderIntoItselfIsRefused) {
    ASSERT_TRUE(CreateDirectoryW(u"\\a", nullptr));
    ASSERT_TRUE(CreateDirectoryW(u"\\a\\b", nullptr));
    EXPECT_FALSE(MoveFileW(u"\\a", u"\\a\\b\\a"));
    EXPECT_TRUE(device.HostExists("a/b"));
}

TEST_F(Files, ReplacingMoveSwapsContentAtomically) {
    ASSERT_TRUE(Write(u"\\settings.tmp", "new"));
    ASSERT_TRUE(Write(u"\\settings.fvt", "old"));
    ASSERT_TRUE(MoveFileExW(u"\\settings.tmp", u"\\settings.fvt", MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(Read(u"\\settings.fvt"), "new");
    EXPECT_FALSE(device.HostExists("settings.tmp"));
}

TEST_F(Files, CopyKeepsTheSourceAndHonoursFailIfExists) {
    ASSERT_TRUE(Write(u"\\a.txt", "one"));
    ASSERT_TRUE(Write(u"\\b.txt", "two"));
    EXPECT_FALSE(CopyFileW(u"\\a.txt", u"\\b.txt", TRUE));
    EXPECT_EQ(Read(u"\\b.txt"), "two");
    EXPECT_TRUE(CopyFileW(u"\\a.txt", u"\\b.txt", FALSE));
    EXPECT_EQ(Read(u"\\b.txt"), "one");
    EXPECT_EQ(Read(u"\\a.txt"), "one");
}

TEST_F(Files, FolderCreationAndRemovalFailures) {
    ASSERT_TRUE(CreateDirectoryW(u"\\database", nullptr));
    EXPECT_FALSE(CreateDirectoryW(u"\\DATABASE", nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_FALSE(CreateDirectoryW(u"\\no\\such", nullptr));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    ASSERT_TRUE(Write(u"\\database\\t.db", "x"));
    EXPECT_FALSE(RemoveDirectoryW(u"\\database"));
    EXPECT_EQ(GetLastError(), ERROR_DIR_NOT_EMPTY);
    EXPECT_FALSE(DeleteFileW(u"\\database"));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(RemoveDirectoryW(u"\\database\\t.db"));
    EXPECT_EQ(GetLastError(), ERROR_DIRECTORY);
    EXPECT_TRUE(DeleteFileW(u"\\database\\T.DB"));
    EXPECT_TRUE(RemoveDirectoryW(u"\\Database"));
    EXPECT_FALSE(RemoveDirectoryW(u"\\"));
}

TEST_F(Files, AttributesReadOnlyAndHidden) {
    fvt::test::TempDevice hiddenDevice("hidden = secret.dat\n");
    ASSERT_TRUE(Write(u"\\secret.dat", "x"));
    ASSERT_TRUE(Write(u"\\.dot", "x"));
    ASSERT_TRUE(Write(u"\\plain.txt", "x"));
    EXPECT_TRUE(GetFileAttributesW(u"\\SECRET.DAT") & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_TRUE(GetFileAttributesW(u"\\.dot") & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_FALSE(GetFileAttributesW(u"\\plain.txt") & FILE_ATTRIBUTE_HIDDEN);
    ASSERT_TRUE(SetFileAttributesW(u"\\plain.txt", FILE_ATTRIBUTE_READONLY));
    EXPECT_TRUE(GetFileAttributesW(u"\\plain.txt") & FILE_ATTRIBUTE_READONLY);
    if (geteuid() != 0) {
        EXPECT_EQ(Open(u"\\plain.txt", GENERIC_WRITE, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    }
    EXPECT_FALSE(DeleteFileW(u"\\plain.txt"));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    ASSERT_TRUE(SetFileAttributesW(u"\\plain.txt", FILE_ATTRIBUTE_NORMAL));
    EXPECT_TRUE(DeleteFileW(u"\\plain.txt"));
}

TEST_F(Files, TimesComeFromTheHost) {
    ASSERT_TRUE(Write(u"\\t.txt", "x"));
    struct timespec times[2] = {{1000000000, 0}, {1200000000, 500}};
    ASSERT_EQ(utimensat(AT_FDCWD, device.Host("t.txt").c_str(), times, 0), 0);
    HANDLE h = Open(u"\\t.txt", GENERIC_READ, OPEN_EXISTING);
    FILETIME write{};
    ASSERT_TRUE(GetFileTime(h, nullptr, nullptr, &write));
    EXPECT_EQ(fvt::FileTimeValue(write), fvt::kUnixEpochFileTime + 12000000000000000ULL + 5);
    CloseHandle(h);
}

TEST_F(Files, TempPathAndUniqueTempFiles) {
    WCHAR path[MAX_PATH];
    ASSERT_EQ(GetTempPathW(MAX_PATH, path), 6u);
    EXPECT_EQ(std::u16string(path), u"\\Temp\\");
    EXPECT_EQ(GetFileAttributesW(path), FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(GetTempPathW(3, path), 7u);
    WCHAR first[MAX_PATH], second[MAX_PATH];
    ASSERT_NE(GetTempFileNameW(u"\\Temp", u"fvqueue", 0, first), 0u);
    ASSERT_NE(GetTempFileNameW(u"\\Temp\\", u"fvq", 0, second), 0u);
    EXPECT_NE(std::u16string(first), std::u16string(second));
    EXPECT_EQ(std::u16string(first).rfind(u"\\Temp\\fvq", 0), 0u);
    EXPECT_NE(GetFileAttributesW(first), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetTempFileNameW(u"\\Temp", u"fvk", 0x2A, first), 0x2Au);
    EXPECT_EQ(std::u16string(first), u"\\Temp\\fvk002A.tmp");
}

TEST_F(Files, DiskSpaceFromTheHostOrTheProfile) {
    ULARGE_INTEGER available, total, free;
    ASSERT_TRUE(GetDiskFreeSpaceExW(u"\\", &available, &total, &free));
    EXPECT_GT(total.QuadPart, 0u);
    EXPECT_LE(free.QuadPart, total.QuadPart);
    fvt::test::TempDevice fixed("disk = 1000/5000\n");
    ASSERT_TRUE(GetDiskFreeSpaceExW(nullptr, &available, &total, &free));
    EXPECT_EQ(available.QuadPart, 1000u);
    EXPECT_EQ(total.QuadPart, 5000u);
    EXPECT_FALSE(GetDiskFreeSpaceExW(u"\\nowhere", &available, &total, &free));
}

// The tests' full disk: what fits is written, the rest refused as a full disk refuses it, and
// the refused file is the one the program tells its user about.
class NearlyFullDisk : public Files {
protected:
    void TearDown() override {
        fvt::LimitDiskForTesting(-1);
        std::u16string ignored;
        fvt::TakeWriteFailure(ignored);
    }
};

TEST_F(NearlyFullDisk, AWritePastTheRoomLeftIsCutShortAndFails) {
    std::u16string ignored;
    fvt::TakeWriteFailure(ignored);
    fvt::LimitDiskForTesting(6);
    HANDLE h = Open(u"\\full.bin", GENERIC_WRITE, CREATE_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD n = 99;
    EXPECT_FALSE(WriteFile(h, "0123456789", 10, &n, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DISK_FULL));
    EXPECT_EQ(n, 6u);
    // Nothing more fits, not even one byte.
    EXPECT_FALSE(WriteFile(h, "x", 1, &n, nullptr));
    EXPECT_EQ(n, 0u);
    CloseHandle(h);
    EXPECT_EQ(Read(u"\\full.bin"), "012345");
    std::u16string refused;
    ASSERT_TRUE(fvt::TakeWriteFailure(refused));
    EXPECT_EQ(refused, u"\\full.bin");
}

TEST_F(NearlyFullDisk, WritesThatFitGoThroughAndTheLimitCanBeLifted) {
    fvt::LimitDiskForTesting(10);
    EXPECT_TRUE(Write(u"\\a.bin", "01234"));
    EXPECT_TRUE(Write(u"\\b.bin", "56789"));
    EXPECT_FALSE(Write(u"\\c.bin", "x"));
    fvt::LimitDiskForTesting(-1);
    EXPECT_TRUE(Write(u"\\c.bin", "x"));
    EXPECT_EQ(Read(u"\\b.bin"), "56789");
}

TEST_F(NearlyFullDisk, ACopyThatDoesNotFitLeavesTheTargetAsItWas) {
    ASSERT_TRUE(Write(u"\\source.bin", std::string(100, 's')));
    ASSERT_TRUE(Write(u"\\target.bin", "old"));
    fvt::LimitDiskForTesting(50);
    EXPECT_FALSE(CopyFileW(u"\\source.bin", u"\\target.bin", FALSE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DISK_FULL));
    EXPECT_EQ(Read(u"\\target.bin"), "old");
}

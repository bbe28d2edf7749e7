#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include "platform/last_error.h"
#include "platform/storage/files.h"
#include "support/platform/temp_device.h"

namespace {

class DevicePaths : public ::testing::Test {
protected:
    fvt::test::TempDevice device;
};

}  // namespace

TEST_F(DevicePaths, ComponentsAreMatchedWithoutCase) {
    device.WriteHost("storage/eBooks/Book.prc", "abc");
    fvt::ResolvedPath path;
    ASSERT_TRUE(fvt::ResolveDevicePath(u"\\STORAGE\\ebooks\\book.PRC", path));
    EXPECT_TRUE(path.exists);
    EXPECT_EQ(path.host, device.Host("storage/eBooks/Book.prc"));
    EXPECT_EQ(path.device, u"\\storage\\eBooks\\Book.prc");
    EXPECT_EQ(GetFileAttributesW(u"\\Storage\\EBOOKS"), FILE_ATTRIBUTE_DIRECTORY);
}

TEST_F(DevicePaths, AccentedNamesMatchWithoutCase) {
    device.WriteHost("\xC3\xA9t\xC3\xA9.txt", "x");  // "été.txt"
    EXPECT_NE(GetFileAttributesW(u"\\\u00C9T\u00C9.TXT"), INVALID_FILE_ATTRIBUTES);
}

TEST_F(DevicePaths, NewNamesKeepTheirCaseInAnExistingFolder) {
    device.WriteHost("My Documents/keep", "");
    HANDLE h = CreateFileW(u"\\my documents\\Fvt_Rec.WAV", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
    EXPECT_TRUE(device.HostExists("My Documents/Fvt_Rec.WAV"));
}

TEST_F(DevicePaths, SlashesDotsAndRelativeNamesAreTakenFromTheRoot) {
    device.WriteHost("a/b/c.txt", "x");
    EXPECT_NE(GetFileAttributesW(u"/a/b/c.txt"), INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(GetFileAttributesW(u"a\\.\\b\\..\\b\\c.txt"), INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(GetFileAttributesW(u"\\a\\b\\"), INVALID_FILE_ATTRIBUTES);
}

TEST_F(DevicePaths, ClimbingOutOfTheRootFailsAndTouchesNothingOutside) {
    std::filesystem::create_directories(device.outside());
    const char16_t* escapes[] = {u"\\..\\outside\\x.txt", u"\\a\\..\\..\\outside\\x.txt",
                                 u"..\\outside\\x.txt"};
    for (auto* path : escapes) {
        SetLastError(0);
        EXPECT_EQ(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr),
                  INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), ERROR_INVALID_NAME);
        EXPECT_FALSE(CreateDirectoryW(path, nullptr));
        EXPECT_FALSE(DeleteFileW(path));
    }
    EXPECT_TRUE(std::filesystem::is_empty(device.outside()));
}

TEST_F(DevicePaths, HostLinksAreNeverFollowed) {
    std::filesystem::create_directories(device.outside());
    std::ofstream(device.outside() + "/secret.txt") << "secret";
    ASSERT_EQ(symlink(device.outside().c_str(), device.Host("link").c_str()), 0);
    ASSERT_EQ(symlink((device.outside() + "/secret.txt").c_str(), device.Host("file").c_str()), 0);
    EXPECT_EQ(GetFileAttributesW(u"\\link\\secret.txt"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(CreateFileW(u"\\file", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(CreateFileW(u"\\file", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_FALSE(DeleteFileW(u"\\file"));
    WIN32_FIND_DATAW data;
    EXPECT_EQ(FindFirstFileW(u"\\link", &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(FindFirstFileW(u"\\fi*", &data), INVALID_HANDLE_VALUE);
    std::ifstream in(device.outside() + "/secret.txt");
    std::string content((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(content, "secret");
}

TEST_F(DevicePaths, WildcardsWhereANameIsExpectedAreRefused) {
    device.WriteHost("a.txt", "x");
    EXPECT_EQ(CreateFileW(u"\\*.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_NAME);
    EXPECT_FALSE(DeleteFileW(u"\\?.txt"));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_NAME);
    EXPECT_FALSE(CreateDirectoryW(u"\\new*", nullptr));
    EXPECT_TRUE(device.HostExists("a.txt"));
}

TEST_F(DevicePaths, BadCharactersAndOverLongNamesAreRefused) {
    EXPECT_EQ(GetFileAttributesW(u"\\a:b"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_NAME);
    std::u16string longName = u"\\" + std::u16string(256, u'n');
    EXPECT_FALSE(CreateDirectoryW(longName.c_str(), nullptr));
    EXPECT_EQ(GetLastError(), ERROR_FILENAME_EXCED_RANGE);
    std::u16string longPath;
    for (int i = 0; i < 30; ++i) longPath += u"\\abcdefghi";
    EXPECT_EQ(GetFileAttributesW(longPath.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), ERROR_FILENAME_EXCED_RANGE);
    EXPECT_EQ(GetFileAttributesW(nullptr), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesW(u""), INVALID_FILE_ATTRIBUTES);
}

TEST_F(DevicePaths, MissingOrFileParentsGivePathNotFound) {
    device.WriteHost("plain.txt", "x");
    EXPECT_EQ(CreateFileW(u"\\nowhere\\x", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(GetFileAttributesW(u"\\plain.txt\\x"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(GetFileAttributesW(u"\\absent.txt"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST(DeviceFolders, EveryDeviceHasTheStandardFolders) {
    fvt::test::TempDevice device;
    for (const char16_t* folder : {u"\\Windows", u"\\My Documents", u"\\Temp"}) {
        EXPECT_EQ(GetFileAttributesW(folder), FILE_ATTRIBUTE_DIRECTORY);
    }
    EXPECT_EQ(GetFileAttributesW(u"\\Storage"), INVALID_FILE_ATTRIBUTES);
    fvt::test::TempDevice older("os = 4.21\n");
    EXPECT_EQ(GetFileAttributesW(u"\\Storage"), FILE_ATTRIBUTE_DIRECTORY);
}

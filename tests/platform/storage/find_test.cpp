#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <set>
#include <vector>

#include "platform/kernel/kernel_clock.h"
#include "platform/last_error.h"
#include "platform/storage/files.h"
#include "support/platform/temp_device.h"

namespace {

std::vector<std::u16string> List(LPCWSTR pattern, std::vector<DWORD>* attributes = nullptr) {
    std::vector<std::u16string> names;
    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileW(pattern, &data);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
        names.emplace_back(data.cFileName);
        if (attributes) attributes->push_back(data.dwFileAttributes);
    } while (FindNextFileW(h, &data));
    EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
    EXPECT_TRUE(FindClose(h));
    return names;
}

using Names = std::vector<std::u16string>;

class Find : public ::testing::Test {
protected:
    void SetUp() override {
        device.WriteHost("books/a.prc", "1");
        device.WriteHost("books/B.PRC", "22");
        device.WriteHost("books/abc.txt", "333");
        device.WriteHost("books/README", "");
        device.WriteHost("books/fvk1.tmp", "");
        device.WriteHost("books/sub/deep.prc", "");
        device.WriteHost("books/.hidden", "");
    }
    fvt::test::TempDevice device;
};

}  // namespace

TEST_F(Find, SuffixPatternMatchesWithoutCaseInAFixedOrder) {
    EXPECT_EQ(List(u"\\books\\*.prc"), (Names{u"a.prc", u"B.PRC"}));
    EXPECT_EQ(List(u"\\BOOKS\\*.PRC"), (Names{u"a.prc", u"B.PRC"}));
}

TEST_F(Find, QuestionMarkTakesExactlyOneCharacter) {
    EXPECT_EQ(List(u"\\books\\a?c.txt"), (Names{u"abc.txt"}));
    EXPECT_EQ(List(u"\\books\\?.prc"), (Names{u"a.prc", u"B.PRC"}));
    EXPECT_TRUE(List(u"\\books\\??.prc").empty());
}

TEST_F(Find, StarDotStarAlsoTakesNamesWithoutADot) {
    Names all = List(u"\\books\\*.*");
    EXPECT_EQ(all.size(), 7u);
    EXPECT_EQ(List(u"\\books\\*"), all);
    EXPECT_EQ(std::set<std::u16string>(all.begin(), all.end()).count(u"README"), 1u);
}

TEST_F(Find, PrefixAndSuffixPatterns) {
    EXPECT_EQ(List(u"\\books\\fvk*.tmp"), (Names{u"fvk1.tmp"}));
}

TEST_F(Find, EntriesCarrySizeAndAttributesAndNoDotEntries) {
    std::vector<DWORD> attributes;
    Names names = List(u"\\books\\*", &attributes);
    for (size_t i = 0; i < names.size(); ++i) {
        EXPECT_NE(names[i], u".");
        EXPECT_NE(names[i], u"..");
        if (names[i] == u"sub") {
            EXPECT_TRUE(attributes[i] & FILE_ATTRIBUTE_DIRECTORY);
        }
        if (names[i] == u".hidden") {
            EXPECT_TRUE(attributes[i] & FILE_ATTRIBUTE_HIDDEN);
        }
        if (names[i] == u"a.prc") {
            EXPECT_EQ(attributes[i] & FILE_ATTRIBUTE_HIDDEN, 0u);
        }
    }
    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileW(u"\\books\\abc.TXT", &data);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(std::u16string(data.cFileName), u"abc.txt");
    EXPECT_EQ(data.nFileSizeLow, 3u);
    EXPECT_EQ(data.nFileSizeHigh, 0u);
    EXPECT_NE(fvt::FileTimeValue(data.ftLastWriteTime), 0u);
    EXPECT_NE(fvt::FileTimeValue(data.ftCreationTime), 0u);
    EXPECT_FALSE(FindNextFileW(h, &data));
    FindClose(h);
}

TEST_F(Find, NothingFoundAndMissingFoldersAreTold) {
    WIN32_FIND_DATAW data;
    EXPECT_EQ(FindFirstFileW(u"\\books\\*.zip", &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(FindFirstFileW(u"\\nowhere\\*", &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(FindFirstFileW(u"\\bo*\\a.prc", &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_NAME);
}

TEST_F(Find, SearchHandlesAreClosedOnlyByFindClose) {
    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileW(u"\\books\\*", &data);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(CloseHandle(h));
    EXPECT_TRUE(FindClose(h));
    EXPECT_FALSE(FindClose(h));
    EXPECT_FALSE(FindNextFileW(h, &data));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST(Wildcards, PathologicalPatternsEndQuickly) {
    std::u16string name(200, u'a');
    EXPECT_FALSE(fvt::MatchesPattern(u"*a*a*a*a*a*a*a*a*a*b", name));
    EXPECT_TRUE(fvt::MatchesPattern(u"*a*a*a*a*a*a*a*a*a*", name));
    EXPECT_TRUE(fvt::MatchesPattern(u"", u""));
    EXPECT_FALSE(fvt::MatchesPattern(u"", u"a"));
    EXPECT_TRUE(fvt::MatchesPattern(u"FolivantAutogen*.fvg", u"folivantautogencart.FVG"));
}

TEST_F(Find, UnreadableFolderIsAClearFailure) {
    if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind the super-user";
    ASSERT_EQ(chmod(device.Host("books/sub").c_str(), 0), 0);
    WIN32_FIND_DATAW data;
    EXPECT_EQ(FindFirstFileW(u"\\books\\sub\\*", &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    chmod(device.Host("books/sub").c_str(), 0755);
}

// Under the virtual clock a file's creation date is its modification date, which a test can set:
// the day a file was really written on the host must not show on the device.
TEST_F(Find, TheVirtualClockShowsNoHostBirthTime) {
    const std::string path = device.Host("books/abc.txt");
    const timespec when[2] = {{1769904000, 0}, {1769904000, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), when, 0), 0);
    fvt::UseVirtualClock();
    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileW(u"\\books\\abc.txt", &data);
    fvt::UseRealClock();
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    FindClose(h);
    const uint64_t written = fvt::FileTimeValue(data.ftLastWriteTime);
    EXPECT_EQ(written, fvt::kUnixEpochFileTime + 1769904000ULL * 10000000ULL);
    EXPECT_EQ(fvt::FileTimeValue(data.ftCreationTime), written);
}

// The listing of names alone: the same entries in the same order as the full one, folders and
// hidden names told apart, host links left out, and nothing looked up of the files themselves.
TEST_F(Find, NamesAloneListAsTheFullListingDoesWithoutTheFilesDetails) {
    ASSERT_EQ(symlink("a.prc", device.Host("books/link.prc").c_str()), 0);
    std::vector<DWORD> full, bare;
    const Names all = List(u"\\books\\*", &full);
    Names names;
    WIN32_FIND_DATAW data;
    HANDLE h = fvt::FindFirstNamesW(u"\\books\\*", &data);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    do {
        names.emplace_back(data.cFileName);
        bare.push_back(data.dwFileAttributes);
        EXPECT_EQ(data.nFileSizeLow, 0u);
        EXPECT_EQ(data.ftLastWriteTime.dwLowDateTime | data.ftLastWriteTime.dwHighDateTime, 0u);
    } while (FindNextFileW(h, &data));
    EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
    EXPECT_TRUE(FindClose(h));
    EXPECT_EQ(names, all);
    EXPECT_EQ(std::count(names.begin(), names.end(), u"link.prc"), 0);
    ASSERT_EQ(bare.size(), full.size());
    constexpr DWORD kKinds = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN;
    for (size_t i = 0; i < bare.size(); ++i) EXPECT_EQ(bare[i] & kKinds, full[i] & kKinds) << i;
    // A plain name is found as the full lookup finds it, its details with it.
    h = fvt::FindFirstNamesW(u"\\books\\B.PRC", &data);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(data.nFileSizeLow, 2u);
    FindClose(h);
}

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/last_error.h"
#include "platform/storage/files.h"
#include "support/platform/temp_device.h"

namespace {

class MappedFiles : public ::testing::Test {
protected:
    HANDLE OpenForMapping(LPCWSTR path) {
        return CreateFileForMappingW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                     nullptr);
    }
    fvt::test::TempDevice device;
};

}  // namespace

TEST_F(MappedFiles, ViewShowsTheWholeFileAndOutlivesItsHandles) {
    std::string content(10000, 'x');
    content[9999] = 'z';
    device.WriteHost("book.prc", content);
    HANDLE file = OpenForMapping(u"\\book.prc");
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    ASSERT_NE(mapping, nullptr);
    auto* view = static_cast<const char*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
    ASSERT_NE(view, nullptr);
    CloseHandle(mapping);
    CloseHandle(file);
    EXPECT_EQ(std::memcmp(view, content.data(), content.size()), 0);
    EXPECT_TRUE(UnmapViewOfFile(view));
    EXPECT_FALSE(UnmapViewOfFile(view));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_ADDRESS);
}

TEST_F(MappedFiles, ViewAtAnOffsetThatIsNotPageAligned) {
    device.WriteHost("f.bin", "0123456789");
    HANDLE file = OpenForMapping(u"\\f.bin");
    HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    auto* view = static_cast<const char*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 3, 4));
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(std::string(view, 4), "3456");
    EXPECT_EQ(MapViewOfFile(mapping, FILE_MAP_READ, 0, 8, 5), nullptr);
    UnmapViewOfFile(view);
    CloseHandle(mapping);
    CloseHandle(file);
}

TEST_F(MappedFiles, EmptyFilesAndWritableViewsFail) {
    device.WriteHost("empty.bin", "");
    device.WriteHost("data.bin", "abc");
    HANDLE empty = OpenForMapping(u"\\empty.bin");
    EXPECT_EQ(CreateFileMappingW(empty, nullptr, PAGE_READONLY, 0, 0, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_FILE_INVALID);
    CloseHandle(empty);
    HANDLE file = OpenForMapping(u"\\data.bin");
    EXPECT_EQ(CreateFileMappingW(file, nullptr, 0x04 /* read-write */, 0, 0, nullptr), nullptr);
    EXPECT_EQ(CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 100, nullptr), nullptr);
    HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    EXPECT_EQ(MapViewOfFile(mapping, 0x0002 /* write */, 0, 0, 0), nullptr);
    CloseHandle(mapping);
    CloseHandle(file);
}

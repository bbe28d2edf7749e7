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

namespace {

// A view of a whole file made the way the reader maps a book: every handle closed at once.
const char* MapAndCloseHandles(LPCWSTR path, DWORD share = FILE_SHARE_READ) {
    HANDLE file =
        CreateFileForMappingW(path, GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    CloseHandle(file);
    if (!mapping) return nullptr;
    auto* view = static_cast<const char*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
    CloseHandle(mapping);
    return view;
}

}  // namespace

TEST_F(MappedFiles, AMappedFileCannotBeTruncatedUnderItsView) {
    std::string content(20000, 'b');
    device.WriteHost("FolivantAutogen1.fvg", content);
    const char* view = MapAndCloseHandles(u"\\FolivantAutogen1.fvg");
    ASSERT_NE(view, nullptr);
    for (DWORD disposition : {CREATE_ALWAYS, TRUNCATE_EXISTING}) {
        EXPECT_EQ(CreateFileW(u"\\FolivantAutogen1.fvg", GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, disposition, 0, nullptr),
                  INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    }
    // Writing in place is refused too: the view did not share writing.
    EXPECT_EQ(CreateFileW(u"\\FolivantAutogen1.fvg", GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                          OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(device.ReadHost("FolivantAutogen1.fvg").size(), content.size());
    EXPECT_EQ(view[19999], 'b');  // still readable: no fault
    ASSERT_TRUE(UnmapViewOfFile(view));
    HANDLE h = CreateFileW(u"\\FolivantAutogen1.fvg", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                           nullptr);
    EXPECT_NE(h, INVALID_HANDLE_VALUE);  // unmapped: the file is free again
    CloseHandle(h);
}

TEST_F(MappedFiles, AViewSharedForWritingStillCannotBeCutShort) {
    device.WriteHost("shared.bin", std::string(9000, 's'));
    const char* view = MapAndCloseHandles(u"\\shared.bin", FILE_SHARE_READ | FILE_SHARE_WRITE);
    ASSERT_NE(view, nullptr);
    HANDLE h = CreateFileW(u"\\shared.bin", GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(SetFilePointer(h, 10, nullptr, FILE_BEGIN), 10u);
    EXPECT_FALSE(SetEndOfFile(h));
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(SetFilePointer(h, 10000, nullptr, FILE_BEGIN), 10000u);
    EXPECT_TRUE(SetEndOfFile(h));  // growing leaves the view whole
    CloseHandle(h);
    EXPECT_EQ(view[8999], 's');
    UnmapViewOfFile(view);
}

TEST_F(MappedFiles, ANewFileRenamedOverAMappedOneLeavesTheViewWithTheOldBytes) {
    device.WriteHost("FolivantAutogen2.fvg", "old page bytes");
    const char* view = MapAndCloseHandles(u"\\FolivantAutogen2.fvg");
    ASSERT_NE(view, nullptr);
    device.WriteHost("FolivantAutogen2.new", "new page bytes, longer");
    ASSERT_TRUE(
        MoveFileExW(u"\\FolivantAutogen2.new", u"\\FolivantAutogen2.fvg", MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(std::string(view, 14), "old page bytes");
    EXPECT_EQ(device.ReadHost("FolivantAutogen2.fvg"), "new page bytes, longer");
    const char* fresh = MapAndCloseHandles(u"\\FolivantAutogen2.fvg");
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(std::string(fresh, 3), "new");
    UnmapViewOfFile(fresh);
    UnmapViewOfFile(view);
}

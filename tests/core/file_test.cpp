#include "core/file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "core/containers.h"
#include "core/dates.h"
#include "platform/storage/files.h"
#include "support/platform/temp_device.h"

namespace {

Text T(const char16_t* s) {
    Text t;
    t.FromWide(s);
    return t;
}

std::u16string W(const Text& t) {
    return std::u16string(t.WideCStr());
}

class CoreFiles : public ::testing::Test {
protected:
    bool Put(const char16_t* path, const std::string& bytes) {
        File f(T(path), File::kCreateForWriting);
        return f.IsOpen() &&
               f.Write(bytes.data(), static_cast<uint32_t>(bytes.size())) == bytes.size();
    }
    std::string Get(const char16_t* path) {
        File f(T(path), File::kOpenForReading);
        if (!f.IsOpen()) return "<missing>";
        char buf[256];
        uint32_t n = f.Read(buf, sizeof(buf));
        return std::string(buf, n);
    }
    fvt::test::TempDevice device;
};

TEST_F(CoreFiles, WriteReadSeekAndSize) {
    ASSERT_TRUE(device.ok());
    ASSERT_TRUE(Put(u"\\a.txt", "hello world"));
    File f(T(u"\\a.txt"), File::kOpenForReading);
    ASSERT_TRUE(f.IsOpen());
    EXPECT_EQ(f.Size(), 11);
    ASSERT_TRUE(f.Seek(6));
    char buf[8];
    ASSERT_EQ(f.Read(buf, 8), 5u);
    EXPECT_EQ(std::string(buf, 5), "world");
    EXPECT_EQ(f.Read(buf, 8), 0u);
    File missing(T(u"\\nope.txt"), File::kOpenForReading);
    EXPECT_FALSE(missing.IsOpen());
    EXPECT_EQ(missing.Size(), -1);
}

TEST_F(CoreFiles, TempFilesAreGoneWhenClosedAndCleanedAtStart) {
    ASSERT_TRUE(device.ok());
    {
        File t;
        ASSERT_TRUE(t.CreateTemp());
        EXPECT_EQ(t.Write("abc", 3), 3u);
        ASSERT_TRUE(t.Seek(0));
        char buf[3];
        EXPECT_EQ(t.Read(buf, 3), 3u);
    }
    char16_t folder[MAX_PATH + 1];
    ASSERT_GT(GetTempPathW(MAX_PATH, folder), 0u);
    Text dir = T(folder);
    TextList left;
    Text pattern = T(u"fvk*.tmp");
    EXPECT_EQ(Files::CleanTemp(dir, pattern), 0);  // nothing left behind
    Text stale = dir;
    stale.AppendPathComponent(T(u"fvq12.tmp"));
    Text staleNew = dir;
    staleNew.AppendPathComponent(T(u"fvk3.tmp"));
    Text keep = dir;
    keep.AppendPathComponent(T(u"other.tmp"));
    for (const Text* p : {&stale, &staleNew, &keep}) {
        File f(*p, File::kCreateForWriting);
        ASSERT_TRUE(f.IsOpen());
    }
    Files::TempFolderPattern();
    EXPECT_FALSE(Files::Exists(stale));
    EXPECT_FALSE(Files::Exists(staleNew));
    EXPECT_TRUE(Files::Exists(keep));
}

TEST_F(CoreFiles, ExistsRejectsWildcardsAndFolders) {
    ASSERT_TRUE(device.ok());
    ASSERT_TRUE(Put(u"\\book.prc", "12345"));
    uint32_t size = 0;
    EXPECT_TRUE(Files::Exists(T(u"\\BOOK.PRC"), &size));
    EXPECT_EQ(size, 5u);
    EXPECT_FALSE(Files::Exists(T(u"\\*.prc")));
    EXPECT_FALSE(Files::Exists(T(u"\\b??k.prc")));
    ASSERT_TRUE(Folders::Ensure(T(u"\\dir")));
    EXPECT_FALSE(Files::Exists(T(u"\\dir")));
    EXPECT_TRUE(Folders::Exists(T(u"\\dir")));
}

TEST_F(CoreFiles, EnsureThatFailsPartWayLeavesNoFoldersBehind) {
    ASSERT_TRUE(Folders::Ensure(T(u"\\kept")));
    EXPECT_FALSE(Folders::Ensure(T(u"\\kept\\new\\newer\\bad|name")));
    EXPECT_TRUE(Folders::Exists(T(u"\\kept")));  // there before: stays
    EXPECT_FALSE(Folders::Exists(T(u"\\kept\\new")));
    ASSERT_TRUE(Put(u"\\kept\\file", "x"));
    EXPECT_FALSE(Folders::Ensure(T(u"\\a\\b\\..\\..\\kept\\file\\c")));
    EXPECT_FALSE(Folders::Exists(T(u"\\a")));
}

TEST_F(CoreFiles, EnsureCreatesMissingParents) {
    ASSERT_TRUE(device.ok());
    EXPECT_TRUE(Folders::Ensure(T(u"\\x\\y\\z")));
    EXPECT_TRUE(Folders::Ensure(T(u"\\x\\y\\z")));  // already there: still true
    EXPECT_TRUE(Folders::Exists(T(u"\\x\\y")));
    Text books;
    EXPECT_TRUE(Folders::Books(books));
    EXPECT_EQ(W(books), u"\\storage\\eBooks");
    EXPECT_TRUE(Folders::Exists(books));
}

TEST_F(CoreFiles, MoveIntoAFolderKeepsFilesSafe) {
    ASSERT_TRUE(device.ok());
    ASSERT_TRUE(Folders::Ensure(T(u"\\dest")));
    ASSERT_TRUE(Put(u"\\a.prc", "new"));
    ASSERT_TRUE(Put(u"\\dest\\a.prc", "old"));
    Text moved;
    EXPECT_FALSE(Files::Move(T(u"\\a.prc"), T(u"\\dest"), moved, false));
    EXPECT_EQ(Get(u"\\dest\\a.prc"), "old");
    ASSERT_TRUE(Files::Move(T(u"\\a.prc"), T(u"\\dest"), moved, true));
    EXPECT_EQ(W(moved), u"\\dest\\a.prc");
    EXPECT_EQ(Get(u"\\dest\\a.prc"), "new");
    EXPECT_EQ(Get(u"\\a.prc"), "<missing>");
    // Same path (names differ only in case): nothing is deleted.
    ASSERT_TRUE(Files::Move(T(u"\\dest\\A.PRC"), T(u"\\DEST"), moved, true));
    EXPECT_EQ(Get(u"\\dest\\a.prc"), "new");
    EXPECT_FALSE(Files::Move(T(u"\\dest\\a.prc"), Text(), moved, true));
    // A failing move restores the file it would have replaced.
    EXPECT_FALSE(Files::Move(T(u"\\ghost.prc"), T(u"\\dest"), moved, true));
    ASSERT_TRUE(Put(u"\\dest\\ghost.prc", "kept"));
    EXPECT_FALSE(Files::Move(T(u"\\ghost.prc"), T(u"\\dest"), moved, true));
    EXPECT_EQ(Get(u"\\dest\\ghost.prc"), "kept");
}

TEST_F(CoreFiles, LoadFileByByteOrderMark) {
    ASSERT_TRUE(device.ok());
    ASSERT_TRUE(Put(u"\\le.txt", std::string("\xFF\xFE"
                                             "A\0\xE9\0",
                                             6)));
    ASSERT_TRUE(Put(u"\\be.txt", std::string("\xFE\xFF\0A\0\xE9", 6)));
    ASSERT_TRUE(Put(u"\\u8.txt",
                    "\xEF\xBB\xBF"
                    "A\xC3\xA9"));
    ASSERT_TRUE(Put(u"\\plain.txt", "A\xE9\x80"));
    for (const char16_t* p : {u"\\le.txt", u"\\be.txt", u"\\u8.txt"}) {
        Text t;
        ASSERT_TRUE(t.LoadFile(T(p)));
        EXPECT_EQ(W(t), u"A\u00E9") << std::string(p, p + 4).size();
    }
    Text plain;
    ASSERT_TRUE(plain.LoadFile(T(u"\\plain.txt")));
    EXPECT_EQ(plain.CodePage(), 1252);
    EXPECT_EQ(W(plain), u"A\u00E9\u20AC");
    Text none;
    EXPECT_FALSE(none.LoadFile(T(u"\\absent.txt")));
    EXPECT_TRUE(none.IsEmpty());
}

TEST_F(CoreFiles, ScanFolderFindsBooksDepthFirst) {
    ASSERT_TRUE(device.ok());
    ASSERT_TRUE(Folders::Ensure(T(u"\\lib\\sub")));
    ASSERT_TRUE(Folders::Ensure(T(u"\\lib\\skip")));
    ASSERT_TRUE(Put(u"\\lib\\a.prc", "x"));
    ASSERT_TRUE(Put(u"\\lib\\b.txt", "x"));
    ASSERT_TRUE(Put(u"\\lib\\c.doc", "x"));
    ASSERT_TRUE(Put(u"\\lib\\sub\\d.PRC", "x"));
    ASSERT_TRUE(Put(u"\\lib\\skip\\e.prc", "x"));
    TextList excluded, extensions;
    excluded.Add(T(u"skip"));
    extensions.Add(T(u"prc"));
    extensions.Add(T(u"txt"));
    LibraryScan scan;
    Text path = T(u"\\lib");
    std::vector<std::u16string> found;
    bool first = true;
    while (!scan.ScanFolder(path, excluded, extensions, true, first)) {
        found.push_back(W(path));
        first = false;
        ASSERT_LT(found.size(), 10u);
    }
    std::sort(found.begin(), found.end());
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0], u"\\lib\\a.prc");
    EXPECT_EQ(found[1], u"\\lib\\b.txt");
    EXPECT_EQ(found[2], u"\\lib\\sub\\d.PRC");
    EXPECT_EQ(scan.Depth(), 0);
}

TEST_F(CoreFiles, ScanFolderStopsAtTheDepthLimit) {
    ASSERT_TRUE(device.ok());
    std::u16string deep = u"\\d";
    for (int i = 0; i < LibraryScan::kMaxDepth + 3; ++i) deep += u"\\x";
    if (deep.size() >= LibraryScan::kMaxPath - 10) GTEST_SKIP();
    ASSERT_TRUE(Folders::Ensure(T(deep.c_str())));
    ASSERT_TRUE(Put((deep + u"\\z.prc").c_str(), "x"));
    TextList excluded, extensions;
    extensions.Add(T(u"prc"));
    LibraryScan scan;
    Text path = T(u"\\d");
    int files = 0;
    for (bool first = true; !scan.ScanFolder(path, excluded, extensions, true, first);
         first = false)
        ++files;
    EXPECT_EQ(files, 0);
}

TEST_F(CoreFiles, FileTimesAndDates) {
    ASSERT_TRUE(device.ok());
    ASSERT_TRUE(Put(u"\\t.txt", "x"));
    uint32_t now = NowUnixMinutesUtc() * 60u;
    uint32_t written = FileTimeUnixSeconds(T(u"\\t.txt"));
    EXPECT_NE(written, 0u);
    EXPECT_LT(written > now ? written - now : now - written, 3600u);
    EXPECT_EQ(FileTimeUnixSeconds(T(u"\\none.txt")), 0u);
    // Asked with the file's existence, its last-write time is the same, not its creation.
    device.WriteHost("old.txt", "xy");
    std::filesystem::last_write_time(device.Host("old.txt"),
                                     std::filesystem::last_write_time(device.Host("old.txt")) -
                                         std::chrono::hours(24 * 400));
    uint32_t size = 0, asked = 0;
    EXPECT_TRUE(Files::Exists(T(u"\\old.txt"), &size, &asked));
    EXPECT_EQ(size, 2u);
    EXPECT_EQ(asked, FileTimeUnixSeconds(T(u"\\old.txt")));
    EXPECT_GT(now - asked, 399u * 24 * 3600);
    Text date;
    ASSERT_TRUE(FormatFileDate(951782400u, date));  // 2000-02-29
    EXPECT_EQ(W(date), u"2/29/2000");
}

}  // namespace

TEST_F(CoreFiles, FolderListingAnswersAsExistsDoes) {
    ASSERT_TRUE(device.ok());
    ASSERT_TRUE(Folders::Ensure(T(u"\\books\\inner")));
    ASSERT_TRUE(Put(u"\\books\\Alpha.PDB", "a"));
    ASSERT_TRUE(Put(u"\\books\\b\u00e9ta.txt", "b"));
    FolderListing listing;
    const char16_t* asked[] = {u"\\books\\alpha.pdb", u"\\BOOKS\\ALPHA.pdb", u"\\books\\B\u00c9TA.TXT",
                               u"\\books\\inner",    u"\\books\\gamma.fvt", u"\\nowhere\\a.pdb",
                               u"\\books\\"};
    for (size_t i = 0; i < std::size(asked); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(listing.Contains(asked[i]), Files::Exists(T(asked[i])));
    }
    EXPECT_TRUE(listing.ContainsUtf8("\\books\\alpha.pdb"));
    // One listing per folder, however many of its files are asked after.
    EXPECT_EQ(listing.FolderCount(), 2u);
    // What it answers is the folder as it was first listed.
    ASSERT_TRUE(Put(u"\\books\\late.fvt", "c"));
    EXPECT_FALSE(listing.Contains(u"\\books\\late.fvt"));
    FolderListing fresh;
    EXPECT_TRUE(fresh.Contains(u"\\books\\late.fvt"));
}

#include <gtest/gtest.h>

#include <string>

#include "core/dates.h"
#include "core/path.h"
#include "core/string.h"
#include "core/text.h"

namespace {

std::u16string Joined(const char16_t* base, const char16_t* child, bool baseIsFile) {
    String b(base);
    EXPECT_EQ(Path::Append(b, String(child), baseIsFile), 0);
    return std::u16string(b.Data(), b.Length());
}

TEST(PathAppend, DropsTheFileAndClimbsParentParts) {
    EXPECT_EQ(Joined(u"\\books\\a.prc", u"pics/b.gif", true), u"\\books\\pics/b.gif");
    EXPECT_EQ(Joined(u"\\books\\sub\\a.htm", u"../c.htm", true), u"\\books\\c.htm");
    EXPECT_EQ(Joined(u"\\books", u"x.txt", false), u"\\books\\x.txt");
    EXPECT_EQ(Joined(u"\\books\\", u"x.txt", false), u"\\books\\x.txt");
    EXPECT_EQ(Joined(u"\\a\\b\\c.htm", u"./d.htm", true), u"\\a\\b\\d.htm");
}

TEST(PathAppend, MoreParentsThanFoldersStopAtTheRoot) {
    EXPECT_EQ(Joined(u"\\a\\b.htm", u"../../../../x.htm", true), u"\\x.htm");
    EXPECT_EQ(Joined(u"", u"..\\x", false), u"\\x");
}

TEST(PathAppend, TextFormKeepsTheCodePage) {
    Text base;
    base.AssignAscii("\\storage\\eBooks\\old.prc");
    Text child;
    child.AssignAscii("new.prc");
    ASSERT_EQ(Path::Append(base, child, true), 0);
    EXPECT_EQ(std::u16string(base.WideCStr()), u"\\storage\\eBooks\\new.prc");
    EXPECT_EQ(base.CodePage(), 1252);
    EXPECT_TRUE(Path::StartsWithBackslash(base));
    EXPECT_FALSE(Path::StartsWithBackslash(String()));
}

TEST(PathParts, NarrowingTheView) {
    auto part = [](void (*fn)(Text&), const char16_t* p) {
        Text t;
        t.FromWide(p);
        fn(t);
        return std::u16string(t.WideCStr());
    };
    EXPECT_EQ(part(Path::FolderPart, u"\\a.b\\c.tar.gz"), u"\\a.b");
    EXPECT_EQ(part(Path::FileName, u"\\a.b\\c.tar.gz"), u"c.tar.gz");
    EXPECT_EQ(part(Path::Stem, u"\\a.b\\c.tar.gz"), u"c.tar");
    EXPECT_EQ(part(Path::Extension, u"\\a.b\\c.tar.gz"), u"gz");
    EXPECT_EQ(part(Path::Extension, u"\\a.b\\readme"), u"");
    EXPECT_EQ(part(Path::Stem, u"book"), u"book");
    EXPECT_EQ(part(Path::FolderPart, u"book"), u"");
}

TEST(PathParts, ParentPartOnlyWhenAWholePartIsDotDot) {
    auto has = [](const char16_t* p) { return Path::HasParentPart(String(p)); };
    EXPECT_TRUE(has(u".."));
    EXPECT_TRUE(has(u"..\\a.prc"));
    EXPECT_TRUE(has(u"a\\..\\..\\b.prc"));
    EXPECT_TRUE(has(u"\\books\\.."));
    EXPECT_TRUE(has(u"a/../b.prc"));  // either slash separates
    EXPECT_FALSE(has(u""));
    EXPECT_FALSE(has(u"a\\b.prc"));
    EXPECT_FALSE(has(u"..a\\b..\\...\\.\\c..prc"));
}

TEST(Dates, UnixAndFileTimesIn64Bits) {
    EXPECT_EQ(UnixSecondsToFileTime(0), kFileTimeUnixEpoch);
    EXPECT_EQ(UnixSecondsToFileTime(0xFFFFFFFFu), kFileTimeUnixEpoch + 0xFFFFFFFFull * 10000000ull);
    EXPECT_EQ(FileTimeToUnixSeconds(UnixSecondsToFileTime(1700000000u)), 1700000000u);
    EXPECT_EQ(FileTimeToUnixSeconds(0), 0u);                    // before 1970
    EXPECT_EQ(FileTimeToUnixSeconds(UINT64_MAX), 0xFFFFFFFFu);  // after 2106
    EXPECT_DOUBLE_EQ(FileTimeDiffSeconds(25000000, 5000000), 2.0);
    EXPECT_DOUBLE_EQ(FileTimeDiffSeconds(5000000, 25000000), -2.0);
}

TEST(Dates, CalendarBreakdown) {
    CalendarDate c = UnixToCalendar(951782400);  // 2000-02-29
    EXPECT_EQ(c.year, 2000);
    EXPECT_EQ(c.month, 2);
    EXPECT_EQ(c.day, 29);
    EXPECT_EQ(c.dayOfWeek, 2);
    EXPECT_EQ(CalendarToUnix(2000, 2, 29), 951782400);
    c = UnixToCalendar(-1);
    EXPECT_EQ(c.year, 1969);
    EXPECT_EQ(c.second, 59);
    EXPECT_EQ(c.dayOfWeek, 3);
}

TEST(Dates, HttpDateIsEnglishRfc1123) {
    Text t;
    ASSERT_TRUE(HttpDate::Format(UnixSecondsToFileTime(784111777u), t));
    EXPECT_EQ(std::u16string(t.WideCStr()), u"Sun, 06 Nov 1994 08:49:37 GMT");
}

}  // namespace

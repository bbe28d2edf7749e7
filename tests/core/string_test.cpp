#include "core/string.h"

#include <gtest/gtest.h>

#include "core/text.h"

namespace {

String S(const char16_t* s) {
    return String(s);
}

TEST(StringSharing, CopiesShareUntilOneIsChanged) {
    String a = S(u"hello");
    String b = a;
    EXPECT_EQ(a.Data(), b.Data());
    EXPECT_EQ(a.RefCount(), 2);
    ASSERT_EQ(b.ReplaceChar(u'l', u'L'), 2);
    EXPECT_TRUE(a.EqualsAscii("hello"));
    EXPECT_TRUE(b.EqualsAscii("heLLo"));
    EXPECT_TRUE(a.IsSoleHolder());
}

TEST(StringSharing, AppendingToAViewNeverChangesWhatOthersSee) {
    String whole = S(u"abcdef");
    String head;
    head.AssignSub(whole, 0, 3);
    ASSERT_TRUE(head.AppendChar(u'X'));
    EXPECT_TRUE(head.EqualsAscii("abcX"));
    EXPECT_TRUE(whole.EqualsAscii("abcdef"));
}

TEST(StringSharing, TwoHoldersAppendingAtTheSameEndDoNotClobberEachOther) {
    String a;
    ASSERT_TRUE(a.Reserve(32));
    a.AppendAscii("base");
    String b = a;
    ASSERT_TRUE(a.AppendAscii("-one"));
    ASSERT_TRUE(b.AppendAscii("-two"));
    EXPECT_TRUE(a.EqualsAscii("base-one"));
    EXPECT_TRUE(b.EqualsAscii("base-two"));
}

TEST(StringSharing, AppendingItsOwnCharactersWorksWhileTheBufferGrows) {
    String a = S(u"abc");
    for (int i = 0; i < 6; ++i) ASSERT_TRUE(a.AppendChars(a.Data(), a.Length()));
    EXPECT_EQ(a.Length(), 3 * 64);
    EXPECT_EQ(a.At(190), u'b');
}

TEST(StringSharing, SelfAssignmentOfASubViewKeepsTheBuffer) {
    String a = S(u"abcdef");
    String tail;
    tail.AssignSub(a, 2, -1);
    a.Release();
    tail.AssignSub(tail, 1, 2);
    EXPECT_TRUE(tail.EqualsAscii("de"));
}

// A tokenizer moves one view from word to word of a page: it holds the page once throughout.
TEST(StringSharing, AViewMovedWithinItsBufferHoldsItOnceAndShowsItsNewPart) {
    String page = S(u"one two three");
    String word;
    word.AssignSub(page, 0, 3);
    EXPECT_EQ(page.RefCount(), 2);
    word.AssignSub(page, 4, 3);
    EXPECT_TRUE(word.EqualsAscii("two"));
    EXPECT_EQ(page.RefCount(), 2);
    word.AssignSub(page, 8, 99);
    EXPECT_TRUE(word.EqualsAscii("three"));
    EXPECT_EQ(page.RefCount(), 2);
    String next = S(u"four");
    word.AssignSub(next, 0, 2);
    EXPECT_TRUE(word.EqualsAscii("fo"));
    EXPECT_EQ(page.RefCount(), 1);
    EXPECT_EQ(next.RefCount(), 2);
    next.Release();
    word.AssignSub(word, 1, 1);
    EXPECT_TRUE(word.EqualsAscii("o"));
    EXPECT_EQ(word.RefCount(), 1);
}

TEST(StringSharing, RawAppendsGrowPastTheReserve) {
    String s;
    ASSERT_TRUE(s.Reserve(2));
    String piece(u"0123456789");
    for (int i = 0; i < 10; ++i) {
        ASSERT_TRUE(s.AppendRaw(u"ab", 2));
        ASSERT_TRUE(s.AppendStringRaw(piece));
        ASSERT_TRUE(s.AppendSubRaw(piece, 8, 5));
    }
    EXPECT_EQ(s.Length(), 10 * (2 + 10 + 2));
    EXPECT_EQ(s.At(13), u'9');
}

TEST(StringViews, OutOfRangeAndInvertedArgumentsAreClamped) {
    String a = S(u"abc");
    String v;
    v.AssignSub(a, 2, 50);
    EXPECT_TRUE(v.EqualsAscii("c"));
    v.AssignSub(a, 7, 1);
    EXPECT_TRUE(v.IsEmpty());
    v.AssignSub(a, -4, 2);
    EXPECT_TRUE(v.EqualsAscii("ab"));
}

TEST(StringNumbers, AppendUnsignedInAnyBaseWithPadding) {
    String s;
    ASSERT_TRUE(s.AppendUnsigned(0, 10));
    ASSERT_TRUE(s.AppendUnsigned(255, 16));
    ASSERT_TRUE(s.AppendUnsigned(35, 36));
    ASSERT_TRUE(s.AppendUnsigned(7, 10, 2));
    ASSERT_TRUE(s.AppendUnsigned(0xBEEF, 16, 8));
    EXPECT_TRUE(s.EqualsAscii("0FFZ070000BEEF"));
    String big;
    ASSERT_TRUE(big.AppendUnsigned(0x123456789ABCDEF0ull, 16));
    EXPECT_TRUE(big.EqualsAscii("123456789ABCDEF0"));
}

TEST(StringNumbers, RadixOutsideTwoToThirtySixIsRefused) {
    String s;
    EXPECT_FALSE(s.AppendUnsigned(5, 1));
    EXPECT_FALSE(s.AppendUnsigned(5, 0));
    EXPECT_FALSE(s.AppendUnsigned(5, 37));
    uint32_t v;
    EXPECT_FALSE(S(u"11").ParseUnsigned(1, v));
    EXPECT_TRUE(s.IsEmpty());
}

TEST(StringNumbers, ParseUnsignedRejectsEmptyBadDigitsAndOverflow) {
    uint32_t v = 7;
    EXPECT_FALSE(String().ParseUnsigned(10, v));
    EXPECT_FALSE(S(u"12a").ParseUnsigned(10, v));
    EXPECT_FALSE(S(u"4294967296").ParseUnsigned(10, v));
    EXPECT_EQ(v, 7u);
    ASSERT_TRUE(S(u"4294967295").ParseUnsigned(10, v));
    EXPECT_EQ(v, 4294967295u);
    ASSERT_TRUE(S(u"ff").ParseUnsigned(16, v));
    EXPECT_EQ(v, 255u);
}

TEST(StringNumbers, ParseSignedChecksTheRange) {
    int32_t v;
    ASSERT_TRUE(S(u"-2147483648").ParseSigned(10, v));
    EXPECT_EQ(v, INT32_MIN);
    ASSERT_TRUE(S(u"+12").ParseSigned(10, v));
    EXPECT_EQ(v, 12);
    EXPECT_FALSE(S(u"2147483648").ParseSigned(10, v));
    EXPECT_FALSE(S(u"-").ParseSigned(10, v));
}

TEST(StringCompare, CompareNWithAndWithoutPrefix) {
    String s = S(u"abcd");
    EXPECT_EQ(s.CompareN(u"abcd", 4, false), 0);
    EXPECT_EQ(s.CompareN(u"ab", 2, false), 1);
    EXPECT_EQ(s.CompareN(u"ab", 2, true), 0);
    EXPECT_EQ(s.CompareN(u"abcde", 5, true), -1);
    EXPECT_EQ(s.CompareN(u"abd", 3, true), -1);
    EXPECT_EQ(S(u"ABCD").CompareN(u"abcd", 4, false), -1);
}

TEST(StringCompare, CompareWithOrdersShorterFirst) {
    EXPECT_EQ(S(u"ab").CompareWith(S(u"abc")), -1);
    EXPECT_EQ(S(u"b").CompareWith(S(u"abc")), 1);
    EXPECT_EQ(S(u"").CompareWith(String()), 0);
}

TEST(StringSearch, FindCharComparesTheWholeUnit) {
    String s = S(u"\u4E24\u2024a$b");
    int32_t pos = -1;
    ASSERT_TRUE(s.FindChar(u'$', pos));
    EXPECT_EQ(pos, 3);
    EXPECT_EQ(s.CountChar(u'$'), 1);
    EXPECT_FALSE(s.FindChar(u'$', pos, 0, 3));
    EXPECT_EQ(s.IndexOf(u'z'), s.Length());
}

TEST(StringSearch, FindSubstringFromAStart) {
    String s = S(u"abcabc");
    EXPECT_EQ(s.Find(S(u"bc")), 1);
    EXPECT_EQ(s.Find(S(u"bc"), 2), 4);
    EXPECT_EQ(s.Find(S(u"x")), 6);
    EXPECT_EQ(s.Find(String(), 3), 3);
}

TEST(StringEdit, ReplaceCharHonoursTheLimit) {
    String s = S(u"a.b.c.d");
    EXPECT_EQ(s.ReplaceChar(u'.', u'/', 2), 2);
    EXPECT_TRUE(s.EqualsAscii("a/b/c.d"));
}

TEST(StringEdit, InsertEraseAndReplaceRanges) {
    String s = S(u"hello world");
    String keep = s;
    ASSERT_TRUE(s.Insert(5, u",", 1));
    ASSERT_TRUE(s.Erase(0, 1));
    ASSERT_TRUE(s.Replace(5, 6, u"!", 1));
    EXPECT_TRUE(s.EqualsAscii("ello,!"));
    EXPECT_TRUE(keep.EqualsAscii("hello world"));
}

TEST(StringEdit, TrimRemovesTheListedBlanksOnly) {
    String s = S(u"\u00A0\t x y \r\n");
    String left = s;
    s.Trim(true, true);
    EXPECT_TRUE(s.EqualsAscii("x y"));
    left.Trim(true, false);
    EXPECT_TRUE(left.EqualsAscii("x y \r\n"));
    String other = S(u"\u2003x");
    other.Trim(true, true);
    EXPECT_EQ(other.Length(), 2);
}

TEST(StringEdit, ToLowerFoldsAccentsOutsideTheLatinPage) {
    String s = S(u"ABC\u00C9\u0102\u0160");
    ASSERT_TRUE(s.ToLower());
    EXPECT_EQ(s.CompareN(u"abc\u00E9a\u0161", 6), 0);
}

TEST(StringUri, ComponentEncodingKeepsTheUnreservedSet) {
    String s = S(u"a b&c");
    ASSERT_TRUE(s.UriEscape(true, true));
    EXPECT_TRUE(s.EqualsAscii("a%20b%26c"));
    String t = S(u"x!'()*-._~\u00E9\u4E2D/");
    ASSERT_TRUE(t.UriEscape(true, true));
    EXPECT_EQ(t.CompareN(u"x!'()*-._~%E9\u4E2D%2F", -1), 0);
}

TEST(StringUri, DecodingReadsUtf8RunsAndLatin1Bytes) {
    String a = S(u"%C3%A9t%E9");
    ASSERT_TRUE(a.UriEscape(false, true));
    EXPECT_EQ(a.CompareN(u"\u00E9t\u00E9", 3), 0);
    String own = S(u"caf\u00E9 x");
    ASSERT_TRUE(own.UriEscape(true, true));
    ASSERT_TRUE(own.UriEscape(false, true));
    EXPECT_EQ(own.CompareN(u"caf\u00E9 x", 6), 0);
}

TEST(StringUri, LongUtf8RunsDecodeWhole) {
    String s;
    s.AppendAscii("%41");  // so that the 256-byte cut falls inside a character
    for (int i = 0; i < 300; ++i) s.AppendAscii("%C3%A9");
    ASSERT_TRUE(s.UriEscape(false, true));
    ASSERT_EQ(s.Length(), 301);
    EXPECT_EQ(s.CountChar(0xE9), 300);
}

TEST(StringUri, BadEscapesFailAndLeaveTheString) {
    for (const char16_t* bad : {u"a%4", u"%", u"%zz", u"ab%g1"}) {
        String s = S(bad);
        EXPECT_FALSE(s.UriEscape(false, true));
        EXPECT_EQ(s.CompareN(bad, -1), 0);
    }
}

TEST(StringText, EmptyConvertsBothWaysWithSuccess) {
    Text t;
    String s = S(u"x");
    EXPECT_TRUE(s.AssignFromText(t));
    EXPECT_TRUE(s.IsEmpty());
    EXPECT_TRUE(String().ToText(t));
    EXPECT_TRUE(t.IsEmpty());
    EXPECT_EQ(t.CodePage(), 65002);
}

TEST(StringText, RoundTripThroughUtf8Text) {
    Text t;
    ASSERT_TRUE(t.AssignUtf8("gr\xC3\xBC\xC3\x9F \xF0\x9F\x98\x80"));
    String s;
    ASSERT_TRUE(s.AssignFromText(t));
    EXPECT_EQ(s.CompareN(u"gr\u00FC\u00DF \U0001F600", -1), 0);
    Text back;
    ASSERT_TRUE(s.ToText(back));
    EXPECT_TRUE(back.Equals(t, false, true));
}

}  // namespace

#include "core/text.h"

#include <gtest/gtest.h>

#include "core/byte_stream.h"
#include "core/containers.h"
#include "core/string.h"
#include "support/platform/temp_device.h"

namespace {

Text W(const char16_t* s) {
    Text t;
    t.FromWide(s);
    return t;
}

Text U8(const char* s) {
    Text t;
    t.AssignUtf8(s);
    return t;
}

std::u16string Wide(const Text& t) {
    return std::u16string(t.WideCStr());
}

TEST(TextCompare, EqualsAcrossCodePagesPrefixAndCase) {
    Text a = W(u"\\Storage Card\\Book.prc");
    Text b = U8("\\storage card\\book.PRC");
    EXPECT_FALSE(a.Equals(b, false, true));
    EXPECT_TRUE(a.Equals(b, false, false));
    EXPECT_TRUE(a.EqualsDefault(b));
    EXPECT_TRUE(a.Equals(U8("\\STORAGE"), true, false));
    EXPECT_FALSE(U8("\\STORAGE").Equals(a, true, false));
    EXPECT_TRUE(a.EqualsWide(u"\\STORAGE CARD\\BOOK.PRC"));
    EXPECT_TRUE(a.StartsWithWide(u"\\storage"));
    EXPECT_LT(U8("abc").Compare(U8("abd"), true), 0);
    EXPECT_GT(U8("abcd").Compare(U8("ABC"), false), 0);
}

TEST(TextCompare, HashAgreesWithCaseInsensitiveEquality) {
    Text a = W(u"\\Storage Card\\x.prc");
    Text b = U8("\\storage card\\X.PRC");
    EXPECT_EQ(a.Hash(), b.Hash());
    // Position parity matters: swapped characters usually hash differently.
    EXPECT_NE(U8("ab").Hash(), U8("ba").Hash());
}

TEST(TextContent, CountsCharactersNotBytes) {
    Text t = U8("a\xC3\xA9\xF0\x9F\x98\x80");
    EXPECT_EQ(t.ByteLength(), 7);
    EXPECT_EQ(t.CharCount(), 3);
    EXPECT_TRUE(U8(" \t\xC2\xA0").IsBlank());
    EXPECT_FALSE(U8(" x").IsBlank());
}

TEST(TextContent, AppendNumberAndCodePointUseTheTextsEncoding) {
    Text t(65001);
    ASSERT_TRUE(t.AppendNumber(255, 16));
    ASSERT_TRUE(t.AppendCodePoint(0xE9));
    ASSERT_TRUE(t.AppendCodePoint(0x110000));
    EXPECT_EQ(t.ByteLength(), 2 + 2 + 3);
    EXPECT_EQ(Wide(t), u"FF\u00E9\uFFFD");
    Text bad;
    EXPECT_FALSE(bad.AppendNumber(5, 1));
    EXPECT_EQ(bad.Error(), Text::kErrArgument);
}

TEST(TextErrors, FirstErrorSticksAndLockingSuspendsRecording) {
    Text t;
    t.SetError(Text::kErrConversion);
    t.SetError(Text::kErrMemory);
    EXPECT_EQ(t.Error(), Text::kErrConversion);
    EXPECT_FALSE(t.IsValid());
    t.Clear();
    EXPECT_TRUE(t.IsValid());
    t.LockError(true);
    t.SetError(Text::kErrArgument);
    EXPECT_TRUE(t.IsValid());
}

TEST(TextViews, SetViewCharsClampsAndInvertedGivesEmpty) {
    Text t = U8("\"x\"");
    t.SetViewChars(1, 2);
    EXPECT_EQ(Wide(t), u"x");
    Text one = U8("\"");
    one.SetViewChars(1, 0);  // stripping the quotes of a one-character argument
    EXPECT_TRUE(one.IsEmpty());
    Text w = W(u"abc");
    w.SetViewChars(1, 99);
    EXPECT_EQ(Wide(w), u"bc");
}

TEST(TextViews, CursorReadsAndDropConsumedRemovesTheReadPart) {
    Text t = U8("ab\xC3\xA9z");
    uint32_t c;
    ASSERT_TRUE(t.Next(c));
    ASSERT_TRUE(t.Next(c));
    EXPECT_EQ(t.Position(), 2);
    t.DropConsumed();
    EXPECT_EQ(Wide(t), u"\u00E9z");
    t.Rewind();
    ASSERT_TRUE(t.Next(c));
    EXPECT_EQ(c, 0xE9u);
}

TEST(TextViews, CursorStepsOverDoubleByteCharacters) {
    if (!IsKnownCodePage(932)) GTEST_SKIP() << "no Shift-JIS converter on this host";
    Text t;
    ASSERT_TRUE(t.AssignBytes(reinterpret_cast<const uint8_t*>("a\x82\xA0"
                                                               "b"),
                              4, 932));
    EXPECT_EQ(t.CharCount(), 3);
    uint32_t c;
    ASSERT_TRUE(t.Next(c));
    EXPECT_EQ(c, u'a');
    ASSERT_TRUE(t.Next(c));
    EXPECT_EQ(c, 0x3042u);
    ASSERT_TRUE(t.Next(c));
    EXPECT_EQ(c, u'b');
    EXPECT_FALSE(t.Next(c));
    t.SetViewChars(1, 2);
    EXPECT_EQ(Wide(t), u"\u3042");
}

TEST(TextSearch, WildcardsOccurrencesAndReplace) {
    int32_t n = -1;
    EXPECT_TRUE(W(u"ab\uFF1Fc").FindWildcard(n));
    EXPECT_EQ(n, 2);
    EXPECT_FALSE(W(u"abc").FindWildcard(n));
    EXPECT_EQ(U8("aaaa").CountOccurrences(U8("aa")), 2);
    EXPECT_EQ(U8("abc").CountOccurrences(Text()), 0);
    Text msg = W(u"%s of %s");
    EXPECT_EQ(msg.Replace(U8("%s"), U8("x\xC3\xA9")), 2);
    EXPECT_EQ(Wide(msg), u"x\u00E9 of x\u00E9");
}

TEST(TextSearch, SplitKeepsEmptyPieces) {
    TextList list;
    ASSERT_TRUE(U8("a;;b").Split(';', list));
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(Wide(list[1]), u"");
    EXPECT_EQ(Wide(list[2]), u"b");
}

TEST(TextPaths, ComponentsFoldersAndExtensions) {
    Text p = W(u"\\storage");
    ASSERT_TRUE(p.AppendPathComponent(W(u"eBooks")));
    ASSERT_TRUE(p.AppendPathComponent(W(u"\\a.prc")));
    EXPECT_EQ(Wide(p), u"\\storage\\eBooks\\a.prc");
    Text side = p;
    ASSERT_TRUE(side.ReplaceExtension(W(u".fvt")));
    EXPECT_EQ(Wide(side), u"\\storage\\eBooks\\a.fvt");
    Text dotted = W(u"\\my.books\\readme");
    ASSERT_TRUE(dotted.ReplaceExtension(W(u".txt")));
    EXPECT_EQ(Wide(dotted), u"\\my.books\\readme.txt");
    p.ToBackslashes();
    EXPECT_EQ(Wide(p), u"\\storage\\eBooks");
    ASSERT_TRUE(p.EnsureTrailingBackslash());
    ASSERT_TRUE(p.EnsureTrailingBackslash());
    EXPECT_EQ(Wide(p), u"\\storage\\eBooks\\");
    Text none = W(u"file");
    none.ToBackslashes();
    EXPECT_TRUE(none.IsEmpty());
}

TEST(TextConvert, ConvertToReportsCharactersTheTargetLacks) {
    Text t = W(u"caf\u00E9 \u20AC");
    ASSERT_TRUE(t.ConvertTo(1252));
    EXPECT_EQ(t.ByteLength(), 6);
    EXPECT_EQ(t.Bytes()[5], 0x80);
    Text cjk = W(u"\u4E2D");
    EXPECT_FALSE(cjk.ConvertTo(1252));
    EXPECT_EQ(cjk.Error(), Text::kErrConversion);
    EXPECT_FALSE(cjk.ConvertTo(65020));
}

TEST(TextSerialize, RoundTripAndEmptyIsOneZeroByte) {
    ByteStream s;
    ASSERT_TRUE(Text().Serialize(s));
    EXPECT_EQ(s.Size(), 1u);
    EXPECT_EQ(s.Data()[0], 0);
    s.Clear();
    Text t = W(u"Le Petit Prince \u00E9");
    ASSERT_TRUE(t.Serialize(s));
    Text back;
    ASSERT_TRUE(back.Deserialize(s.Data(), s.Size()));
    EXPECT_TRUE(back.Equals(t, false, true));
    const uint8_t junk[] = {7, 'a'};
    EXPECT_FALSE(back.Deserialize(junk, 2));
}

TEST(TextFormat, ByteSizes) {
    fvt::test::TempDevice device("language = en\n");
    ASSERT_TRUE(device.ok());
    Text t;
    ASSERT_TRUE(t.FormatByteSize(0));
    EXPECT_EQ(Wide(t), u"0 KB");
    t.FormatByteSize(1);
    EXPECT_EQ(Wide(t), u"1 KB");
    t.FormatByteSize(1536 * 1024);
    EXPECT_EQ(Wide(t), u"1.5 MB");
    t.FormatByteSize(1024 * 1024 - 1);
    EXPECT_EQ(Wide(t), u"1023 KB");
    t.FormatByteSize(5ull << 40);
    EXPECT_EQ(Wide(t), u"5242880.0 MB");
}

TEST(TextFormat, FrenchDecimalComma) {
    fvt::test::TempDevice device("language = fr\n");
    ASSERT_TRUE(device.ok());
    Text t;
    t.FormatByteSize(1536 * 1024);
    EXPECT_EQ(Wide(t), u"1,5 MB");
}

}  // namespace

#include "core/charset.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/char_props.h"

namespace {

std::u16string Convert(int cp, const std::string& bytes) {
    std::vector<char16_t> out(Charset::MaxOutput(bytes.size()));
    int32_t n = Charset::ToUtf16(cp, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(),
                                 out.data(), out.size());
    if (n < 0) return u"<fail>";
    return std::u16string(out.data(), n);
}

// Feeds the bytes in two blocks split at every position and checks the joined output.
void ExpectSameAtEverySplit(int cp, const std::string& bytes, const std::u16string& expected) {
    for (size_t cut = 0; cut <= bytes.size(); ++cut) {
        CharsetState state{};
        state.started = 1;
        std::vector<char16_t> out(bytes.size() + 16);
        const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
        int32_t a = Charset::Continue(&state, cp, p, cut, out.data(), out.size(), nullptr, false);
        ASSERT_GE(a, 0);
        int32_t b = Charset::Continue(&state, cp, p + cut, bytes.size() - cut, out.data() + a,
                                      out.size() - a, nullptr, true);
        ASSERT_GE(b, 0);
        EXPECT_EQ(std::u16string(out.data(), a + b), expected) << "cut at " << cut;
    }
}

TEST(Utf16Encode, InvalidCodePointsBecomeReplacement) {
    char16_t u[2];
    ASSERT_EQ(Utf16::Encode(0x1F600, u), 2);
    EXPECT_EQ(u[0], 0xD83D);
    EXPECT_EQ(u[1], 0xDE00);
    ASSERT_EQ(Utf16::Encode(0xD800, u), 1);
    EXPECT_EQ(u[0], 0xFFFD);
    ASSERT_EQ(Utf16::Encode(0x110000, u), 1);
    EXPECT_EQ(u[0], 0xFFFD);
}

TEST(Utf8Decode, MalformedSequencesBecomeReplacementWithoutSwallowingText) {
    EXPECT_EQ(Convert(65001, "a\xC0\x80z"), u"a\uFFFD\uFFFDz");
    EXPECT_EQ(Convert(65001, "\xED\xA0\x80x"), u"\uFFFD\uFFFD\uFFFDx");
    EXPECT_EQ(Convert(65001, "\xF4\x90\x80\x80"), u"\uFFFD\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(Convert(65001, "\xE2\x82"), u"\uFFFD");
    EXPECT_EQ(Convert(65001, "\xE2\x82x"), u"\uFFFDx");
    EXPECT_EQ(Convert(65001, "\xF0\x9F\x98\x80!"), u"\U0001F600!");
}

TEST(Utf8Decode, ASplitSequenceIsFinishedByTheNextBlock) {
    ExpectSameAtEverySplit(65001, "ab\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z",
                           u"ab\u00E9\u20AC\U0001F600z");
    ExpectSameAtEverySplit(65001, "\xE2\x82x", u"\uFFFDx");
}

TEST(Utf8Decode, AFreshBlockSkipsTheTailOfTheLastCharacter) {
    CharsetState state{};
    const uint8_t block[] = {0x82, 0xAC, 'o', 'k'};
    char16_t out[16];
    EXPECT_EQ(Charset::Continue(&state, 65001, block, 4, out, 16, nullptr, true), 2);
    EXPECT_EQ(out[0], u'o');
}

TEST(Utf8Decode, PositionMapPointsAtTheFirstByteOfEachCharacter) {
    const std::string s =
        "a\xC3\xA9\xF0\x9F\x98\x80"
        "b";
    std::vector<char16_t> out(s.size() + 4);
    std::vector<uint32_t> map(out.size());
    CharsetState state{};
    int32_t n = Charset::Continue(&state, 65001, reinterpret_cast<const uint8_t*>(s.data()),
                                  s.size(), out.data(), out.size(), map.data(), true);
    ASSERT_EQ(n, 5);
    EXPECT_EQ(map[0], 0u);
    EXPECT_EQ(map[1], 1u);
    EXPECT_EQ(map[2], 3u);
    EXPECT_EQ(map[3], 3u);
    EXPECT_EQ(map[4], 7u);
}

TEST(Utf8Decode, TooSmallOutputIsRefused) {
    const uint8_t in[] = {'a', 'b', 'c'};
    char16_t out[3];
    CharsetState state{};
    EXPECT_EQ(Charset::Continue(&state, 65001, in, 3, out, 3, nullptr, true), -1);
}

TEST(Cp1252, HighRangeAndUnassignedBytes) {
    EXPECT_EQ(Cp1252::ToUnicode(0x80), 0x20AC);
    EXPECT_EQ(Cp1252::ToUnicode(0x96), 0x2013);
    EXPECT_EQ(Cp1252::ToUnicode(0x81), 0x81);
    EXPECT_EQ(Cp1252::ToUnicode(0x9D), 0x9D);
    EXPECT_EQ(Cp1252::ToUnicode(0xE9), 0xE9);
    EXPECT_EQ(Cp1252::FromUnicode(0x2122), 0x99);
    EXPECT_EQ(Cp1252::FromUnicode(0x4E00), -1);
    EXPECT_EQ(Convert(1252, "\x80\x8D\xFF"), u"\u20AC\u008D\u00FF");
}

TEST(CodePages, DoubleBytePagesTakeTwoBytesPerCharacter) {
    for (int cp : {932, 936, 949, 950, 1361}) EXPECT_EQ(MaxBytesPerChar(cp), 2) << cp;
    EXPECT_EQ(MaxBytesPerChar(65001), 4);
    EXPECT_EQ(MaxBytesPerChar(54936), 4);
    EXPECT_EQ(MaxBytesPerChar(1252), 1);
    EXPECT_EQ(GetUnicodeCodePage(), 65002);
}

TEST(CodePages, ShiftJisLeadByteIsCarriedOver) {
    if (!IsKnownCodePage(932)) GTEST_SKIP() << "no Shift-JIS converter on this host";
    // "a" + U+3042 (82 A0) + "b"
    ExpectSameAtEverySplit(932,
                           "a\x82\xA0"
                           "b",
                           u"a\u3042b");
}

TEST(CodePages, LeadBytesOfDoubleBytePages) {
    if (!IsKnownCodePage(932) || !IsKnownCodePage(936)) GTEST_SKIP() << "no converters";
    // Shift-JIS: 0x81-0x9F and 0xE0-0xEF begin pairs; ASCII and half-width katakana do not.
    for (uint8_t b : {0x81, 0x82, 0x9F, 0xE0, 0xEA}) EXPECT_TRUE(Charset::IsLeadByte(932, b)) << +b;
    for (uint8_t b : {0x00, 0x41, 0x7F, 0xA1, 0xB1, 0xDF})
        EXPECT_FALSE(Charset::IsLeadByte(932, b));
    EXPECT_TRUE(Charset::IsLeadByte(936, 0xB0));
    EXPECT_FALSE(Charset::IsLeadByte(936, 0x41));
    // Single-byte and Unicode pages have none.
    for (int cp : {1252, 65001, 65002, 28591})
        for (uint8_t b : {0x81, 0xC3, 0xE0}) EXPECT_FALSE(Charset::IsLeadByte(cp, b)) << cp;
}

TEST(CodePages, UnknownCodePagesFailCleanly) {
    EXPECT_FALSE(IsKnownCodePage(65020));
    char16_t out[16];
    const uint8_t in[] = {'x'};
    EXPECT_EQ(Charset::ToUtf16(65020, in, 1, out, 16), -1);
}

TEST(CodePages, PagesWithoutATableConvertWholeBuffersOnly) {
    // UTF-16 in either order and GB18030 go through the host converter as a whole.
    EXPECT_EQ(Convert(1201, std::string("\x00h\x01\x00", 4)), u"h\u0100");
    EXPECT_EQ(Convert(1200, std::string("h\x00\x00\x01", 4)), u"h\u0100");
    EXPECT_EQ(Convert(54936, "a\xD6\xD0"), u"a\u4E2D");
    // A block at a time with positions they cannot give: refused, not guessed.
    CharsetState state{};
    state.started = 1;
    const uint8_t in[] = {0x00, 'h'};
    char16_t out[16];
    uint32_t positions[16];
    EXPECT_EQ(Charset::Continue(&state, 1201, in, 2, out, 16, positions, true), -1);
    EXPECT_EQ(Charset::Continue(&state, 1201, in, 2, out, 16, nullptr, true), 1);
    EXPECT_EQ(out[0], u'h');
}

TEST(CodePages, IsoPagesByTheirPartNumber) {
    EXPECT_EQ(Convert(28591, "\xE9"), u"\u00E9");
    EXPECT_EQ(Convert(28592, "\xB1"), u"\u0105");  // a with ogonek in Latin-2
    EXPECT_EQ(Convert(28605, "\xA4"), u"\u20AC");  // the euro sign of Latin-9
}

TEST(CodePages, EncodingReportsLostCharacters) {
    const char16_t in[] = {u'a', 0x20AC, 0x4E00};
    uint8_t out[16];
    bool lossy = false;
    ASSERT_EQ(Charset::FromUtf16(1252, in, 3, out, sizeof(out), &lossy), 3);
    EXPECT_TRUE(lossy);
    EXPECT_EQ(out[1], 0x80);
    EXPECT_EQ(out[2], '?');
}

TEST(CharProps, ClassesOfLettersPunctuationAndSpace) {
    EXPECT_EQ(CharProps::Class3('b'), 1);
    EXPECT_EQ(CharProps::Class3('e'), 2);
    EXPECT_EQ(CharProps::Class3(0xE9), 2);
    EXPECT_EQ(CharProps::Class3(0x0107), 1);  // c with acute folds to a consonant
    EXPECT_EQ(CharProps::Class3(','), 3);
    EXPECT_EQ(CharProps::Class3(' '), 4);
    EXPECT_EQ(CharProps::Class3(0x03B1), 0);  // Greek is never hyphenated
    EXPECT_EQ(CharProps::Class5(' '), CharProps::kClassWhiteSpace);
    EXPECT_EQ(CharProps::Class5(0xA0), CharProps::kClassWhiteSpace);
    EXPECT_EQ(CharProps::Class5('-'), CharProps::kClassHyphen);
    EXPECT_EQ(CharProps::Class5(0x2010), CharProps::kClassHyphen);
    EXPECT_NE(CharProps::Class5(0x2011), CharProps::kClassHyphen);
    EXPECT_EQ(CharProps::Class5(0xAD), 22);
    EXPECT_EQ(CharProps::Class5('A'), 1);
    EXPECT_EQ(CharProps::Class5('7'), 3);
}

TEST(CharProps, LowerCaseThroughTheLatinTableAndBeyond) {
    EXPECT_EQ(CharProps::ToLower(u'A'), u'a');
    EXPECT_EQ(CharProps::ToLower(0x0178), 0x00FF);
    EXPECT_EQ(CharProps::ToLower(0x0102), u'a');
    EXPECT_EQ(CharProps::ToLower(0x0141), u'l');
    EXPECT_EQ(CharProps::ToLower(0x0391), 0x03B1);
    EXPECT_EQ(CharProps::ToLower(0x0416), 0x0436);
    EXPECT_EQ(CharProps::ToLower(0x4E00), 0x4E00);
}

TEST(CharProps, CjkAndCombiningRanges) {
    EXPECT_TRUE(CharProps::IsCjkIdeograph(0x4E00));
    EXPECT_FALSE(CharProps::IsCjkIdeograph(0x3042));
    EXPECT_TRUE(CharProps::IsCjk(0x3042));
    EXPECT_TRUE(CharProps::IsCjk(0xAC00));
    EXPECT_TRUE(CharProps::IsCjk(0xFF21));
    EXPECT_FALSE(CharProps::IsCjk(0xFFEF));
    EXPECT_TRUE(CharProps::IsCombining(0x0301));
    EXPECT_FALSE(CharProps::IsCombining(0x0370));
}

}  // namespace

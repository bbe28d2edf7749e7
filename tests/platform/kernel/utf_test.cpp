// The one UTF-8 / UTF-16 conversion: every code point both ways, bad input replaced, never lost.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "platform/kernel/utf.h"
#include "platform/kernel/wide.h"

namespace fvt {
namespace {

std::uint32_t DecodeOne(const std::string& bytes, int* used = nullptr, bool* valid = nullptr) {
    std::uint32_t cp = 0;
    int n = utf::DecodeUtf8(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), cp,
                            valid);
    if (used) *used = n;
    return cp;
}

TEST(Utf, EveryCodePointRoundTripsThroughBothForms) {
    for (std::uint32_t cp = 0; cp <= 0x10FFFF; ++cp) {
        if (cp >= 0xD800 && cp <= 0xDFFF) continue;
        char16_t units[2];
        int n = utf::EncodeUtf16(cp, units);
        ASSERT_EQ(n, cp < 0x10000 ? 1 : 2) << cp;
        std::u16string wide(units, static_cast<size_t>(n));
        std::string bytes = WideToUtf8(wide);
        ASSERT_EQ(bytes.size(), cp < 0x80 ? 1u : cp < 0x800 ? 2u : cp < 0x10000 ? 3u : 4u) << cp;
        ASSERT_EQ(Utf8ToWide(bytes), wide) << cp;
        std::uint32_t back = 0;
        ASSERT_EQ(utf::DecodeUtf16(units, static_cast<size_t>(n), back), n);
        ASSERT_EQ(back, cp);
    }
}

TEST(Utf, SupplementaryCharactersBecomeFourBytesAndComeBackAsPairs) {
    const std::u16string text = u"a\U0001F600b\U00020000c\U0010FFFF";
    const std::string bytes = WideToUtf8(text);
    EXPECT_EQ(bytes, "a\xF0\x9F\x98\x80" "b\xF0\xA0\x80\x80" "c\xF4\x8F\xBF\xBF");
    EXPECT_EQ(Utf8ToWide(bytes), text);
    EXPECT_EQ(text.size(), 9u);  // three pairs
}

TEST(Utf, UnpairedSurrogatesBecomeReplacementsWhereverTheyStand) {
    EXPECT_EQ(WideToUtf8(u"\xD83D"), "\xEF\xBF\xBD");                 // a high half alone
    EXPECT_EQ(WideToUtf8(u"\xDE00x"), "\xEF\xBF\xBDx");               // a low half first
    EXPECT_EQ(WideToUtf8(u"x\xDE00\xD83Dy"), "x\xEF\xBF\xBD\xEF\xBF\xBDy");  // reversed pair
    EXPECT_EQ(WideToUtf8(u"ab\xD83D"), "ab\xEF\xBF\xBD");            // cut at the end
    // A high half before a full pair: the half is replaced, the pair survives.
    EXPECT_EQ(WideToUtf8(u"\xD83D\xD83D\xDE00"), "\xEF\xBF\xBD\xF0\x9F\x98\x80");
    std::uint32_t cp = 0;
    const char16_t lone[] = {0xD800};
    EXPECT_EQ(utf::DecodeUtf16(lone, 1, cp), 1);
    EXPECT_EQ(cp, 0xFFFDu);
}

TEST(Utf, CodePointsThatAreNotCharactersEncodeAsReplacements) {
    char16_t units[2];
    std::uint8_t bytes[4];
    for (std::uint32_t bad : {0xD800u, 0xDFFFu, 0x110000u, 0xFFFFFFFFu}) {
        ASSERT_EQ(utf::EncodeUtf16(bad, units), 1);
        EXPECT_EQ(units[0], 0xFFFD);
        ASSERT_EQ(utf::EncodeUtf8(bad, bytes), 3);
        EXPECT_EQ(bytes[0], 0xEF);
    }
}

TEST(Utf, BadUtf8IsReplacedByteByByteInWholeTexts) {
    EXPECT_EQ(Utf8ToWide("a\xC0\x80z"), u"a\uFFFD\uFFFDz");            // overlong NUL
    EXPECT_EQ(Utf8ToWide("\xE0\x80\xAF"), u"\uFFFD\uFFFD\uFFFD");      // overlong '/'
    EXPECT_EQ(Utf8ToWide("\xF0\x8F\xBF\xBF"), u"\uFFFD\uFFFD\uFFFD\uFFFD");  // overlong U+FFFF
    EXPECT_EQ(Utf8ToWide("\xED\xA0\xBD"), u"\uFFFD\uFFFD\uFFFD");      // an encoded surrogate
    EXPECT_EQ(Utf8ToWide("\xF4\x90\x80\x80"), u"\uFFFD\uFFFD\uFFFD\uFFFD");  // past U+10FFFF
    EXPECT_EQ(Utf8ToWide("\xFF\xFEok"), u"\uFFFD\uFFFDok");
    EXPECT_EQ(Utf8ToWide("x\xF0\x9F\x98"), u"x\uFFFD\uFFFD\uFFFD");    // cut at the end
    EXPECT_EQ(Utf8ToWide("\x80 \xBF"), u"\uFFFD \uFFFD");              // stray continuations
    EXPECT_FALSE(IsValidUtf8("\xF0\x9F\x98"));
    EXPECT_TRUE(IsValidUtf8("\xEF\xBF\xBD \xF0\x9F\x98\x80"));  // an encoded U+FFFD is valid
}

TEST(Utf, OneDecodeStepTakesTheLongestValidBeginningOfABadSequence) {
    int used = 0;
    bool valid = true;
    EXPECT_EQ(DecodeOne("\xE2\x82x", &used, &valid), 0xFFFDu);
    EXPECT_EQ(used, 2);
    EXPECT_FALSE(valid);
    EXPECT_EQ(DecodeOne("\xED\xA0\x80", &used, &valid), 0xFFFDu);  // refused at the 2nd byte
    EXPECT_EQ(used, 1);
    EXPECT_EQ(DecodeOne("\xEF\xBF\xBD", &used, &valid), 0xFFFDu);
    EXPECT_EQ(used, 3);
    EXPECT_TRUE(valid);
    EXPECT_EQ(DecodeOne("\xF0\xA0\x80\x80", &used, &valid), 0x20000u);
    EXPECT_EQ(used, 4);
    EXPECT_TRUE(valid);
}

}  // namespace
}  // namespace fvt

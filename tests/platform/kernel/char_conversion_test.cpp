#include <gtest/gtest.h>

#include <string>

#include "platform/kernel/char_conversion.h"
#include "platform/last_error.h"

namespace {

std::u16string ToWide(UINT cp, const std::string& bytes, DWORD flags = 0) {
    int n =
        MultiByteToWideChar(cp, flags, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    if (n <= 0) return u"<failed>";
    std::u16string out(static_cast<size_t>(n), 0);
    EXPECT_EQ(
        MultiByteToWideChar(cp, flags, bytes.data(), static_cast<int>(bytes.size()), out.data(), n),
        n);
    return out;
}

std::string ToBytes(UINT cp, const std::u16string& text, BOOL* usedDefault = nullptr) {
    int n = WideCharToMultiByte(cp, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                nullptr, usedDefault);
    if (n <= 0) return "<failed>";
    std::string out(static_cast<size_t>(n), 0);
    WideCharToMultiByte(cp, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr,
                        usedDefault);
    return out;
}

}  // namespace

TEST(CodePages, Windows1252HighBytesRoundTrip) {
    std::string all;
    for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
    std::u16string wide = ToWide(1252, all);
    ASSERT_EQ(wide.size(), 255u);
    EXPECT_EQ(wide[0x80 - 1], u'\u20AC');
    EXPECT_EQ(wide[0x9F - 1], u'\u0178');
    EXPECT_EQ(wide[0xE9 - 1], u'\u00E9');
    EXPECT_EQ(ToBytes(1252, wide), all);
    EXPECT_EQ(ToWide(CP_ACP, "\x80"), u"\u20AC");
}

TEST(CodePages, Windows1252MarksCharactersItLacks) {
    BOOL used = FALSE;
    EXPECT_EQ(ToBytes(1252, u"a\u4E2Db", &used), "a?b");
    EXPECT_TRUE(used);
}

TEST(CodePages, Utf8RoundTripIncludingSurrogatePairs) {
    std::u16string text = u"caf\u00e9 \u4E2D \U0001F4D6";
    std::string bytes = ToBytes(CP_UTF8, text);
    EXPECT_EQ(bytes, "caf\xC3\xA9 \xE4\xB8\xAD \xF0\x9F\x93\x96");
    EXPECT_EQ(ToWide(CP_UTF8, bytes), text);
}

TEST(CodePages, InvalidUtf8IsReplacedOrRefusedOnRequest) {
    EXPECT_EQ(ToWide(CP_UTF8, "a\xC3(b\xE2\x82"), u"a\uFFFD(b\uFFFD\uFFFD");
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "a\xC3(", 3, nullptr, 0), 0);
    EXPECT_EQ(GetLastError(), ERROR_NO_UNICODE_TRANSLATION);
    EXPECT_EQ(ToWide(CP_UTF8, "\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");  // encoded surrogate
}

TEST(CodePages, DoubleBytePagesRoundTrip) {
    struct Case {
        UINT cp;
        std::u16string text;
    } cases[] = {{932, u"\u65E5\u672C\u8A9E abc \uFF76"},
                 {936, u"\u4E2D\u6587 abc"},
                 {949, u"\uD55C\uAD6D\uC5B4 abc"},
                 {950, u"\u7E41\u9AD4 abc"}};
    for (auto& c : cases) {
        if (!IsValidCodePage(c.cp)) GTEST_SKIP() << "iconv lacks code page " << c.cp;
        std::string bytes = ToBytes(c.cp, c.text);
        EXPECT_GT(bytes.size(), c.text.size()) << c.cp;
        EXPECT_EQ(ToWide(c.cp, bytes), c.text) << c.cp;
    }
}

TEST(CodePages, CutDoubleByteSequenceDoesNotOverRead) {
    if (!IsValidCodePage(932)) GTEST_SKIP();
    std::string bytes = ToBytes(932, u"\u65E5\u672C");
    ASSERT_EQ(bytes.size(), 4u);
    EXPECT_EQ(ToWide(932, bytes.substr(0, 3)), u"\u65E5\uFFFD");
}

TEST(CodePages, LengthsTerminatorsAndBuffers) {
    WCHAR out[8];
    EXPECT_EQ(MultiByteToWideChar(1252, 0, "abc", -1, out, 8), 4);
    EXPECT_EQ(out[3], 0);
    EXPECT_EQ(MultiByteToWideChar(1252, 0, "abc", 3, out, 2), 0);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(MultiByteToWideChar(1252, 0, nullptr, 3, out, 8), 0);
    EXPECT_EQ(MultiByteToWideChar(12345, 0, "abc", 3, out, 8), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    char bytes[8];
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"\u00e9", -1, bytes, 8, nullptr, nullptr), 3);
    EXPECT_EQ(bytes[2], 0);
    EXPECT_FALSE(IsValidCodePage(1));
}

TEST(InternetConverter, ConvertsAndReportsSizes) {
    DWORD mode = 0;
    int sourceSize = 5;
    int size = 0;
    ASSERT_EQ(ConvertINetMultiByteToUnicode(&mode, 1252, "caf\xE9!", &sourceSize, nullptr, &size),
              S_OK);
    EXPECT_EQ(size, 5);
    WCHAR out[3];
    size = 3;
    ASSERT_EQ(ConvertINetMultiByteToUnicode(&mode, 1252, "caf\xE9!", &sourceSize, out, &size),
              S_OK);
    EXPECT_EQ(size, 3);
    EXPECT_EQ(std::u16string(out, 3), u"caf");
    EXPECT_EQ(ConvertINetMultiByteToUnicode(&mode, 777, "x", &sourceSize, out, &size), E_FAIL);
    EXPECT_EQ(ConvertINetMultiByteToUnicode(&mode, 1252, "x", nullptr, out, &size), E_INVALIDARG);
}

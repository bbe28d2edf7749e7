#include <gtest/gtest.h>

#include "platform/kernel/modules.h"
#include "platform/last_error.h"
#include "platform/resources/device_resources.h"

namespace fvt {
const ResourceTable& SampleResources();
}

namespace {

class Strings : public ::testing::Test {
protected:
    void SetUp() override { fvt::SetResourceTable(&fvt::SampleResources()); }
    void TearDown() override { fvt::SetResourceTable(nullptr); }
    std::u16string Load(UINT id) {
        WCHAR buffer[128];
        int n = LoadStringW(nullptr, id, buffer, 128);
        return n > 0 ? std::u16string(buffer, static_cast<size_t>(n)) : u"<none>";
    }
};

}  // namespace

TEST_F(Strings, EnglishAndFrenchAtIdPlusThousand) {
    EXPECT_EQ(Load(100), u"Open");
    EXPECT_EQ(Load(1100), u"Ouvrir");
}

TEST_F(Strings, EscapesAndCharactersBeyondAsciiSurviveCompilation) {
    EXPECT_EQ(Load(101), u"Line one\nLine two\tand a tab \\ backslash");
    EXPECT_EQ(Load(102), u"Quote \" and caf\u00e9 \u20ac \U0001F4D6");
    EXPECT_EQ(Load(1102), u"\u00c9t\u00e9 \u00ab guillemets \u00bb");
}

TEST_F(Strings, MissingFrenchFallsBackToEnglish) {
    EXPECT_EQ(Load(1103), u"English only");
}

TEST_F(Strings, UnknownIdsHaveNoText) {
    EXPECT_EQ(Load(104), u"<none>");
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
    EXPECT_EQ(Load(2100), u"<none>");  // not the French of a French text
    EXPECT_EQ(Load(0), u"<none>");
}

TEST_F(Strings, ShortBufferIsCutAndTerminated) {
    WCHAR buffer[4] = {u'x', u'x', u'x', u'x'};
    EXPECT_EQ(LoadStringW(nullptr, 100, buffer, 4), 3);
    EXPECT_EQ(std::u16string(buffer), u"Ope");
    EXPECT_EQ(LoadStringW(nullptr, 100, buffer, 1), 0);
    EXPECT_EQ(buffer[0], 0);
}

TEST_F(Strings, ZeroSizedBufferReceivesAPointerToTheText) {
    const WCHAR* text = nullptr;
    int n = LoadStringW(nullptr, 100, reinterpret_cast<LPWSTR>(&text), 0);
    ASSERT_EQ(n, 4);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::u16string(text, 4), u"Open");
}

TEST_F(Strings, ProgramInstanceHasTheStringsPlugInsDoNot) {
    WCHAR buffer[16];
    EXPECT_EQ(LoadStringW(GetModuleHandleW(nullptr), 100, buffer, 16), 4);
    EXPECT_EQ(LoadStringW(reinterpret_cast<HINSTANCE>(0x1000), 100, buffer, 16), 0);
}

TEST(BinaryResources, FoundByTypeAndIdWithTheirBytes) {
    static const BYTE group[] = {0, 0, 1, 0, 2, 0};
    static const BYTE dialog[] = {1, 2, 3};
    static const fvt::BinaryResource binaries[] = {{RT_DIALOG, 114, dialog, 3},
                                                   {RT_GROUP_ICON, 126, group, 6}};
    static const fvt::ResourceTable table = {nullptr, 0, binaries, 2};
    fvt::SetResourceTable(&table);
    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(126), MAKEINTRESOURCEW(RT_GROUP_ICON));
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(SizeofResource(nullptr, found), 6u);
    auto* bytes = static_cast<const BYTE*>(LockResource(LoadResource(nullptr, found)));
    ASSERT_NE(bytes, nullptr);
    EXPECT_EQ(bytes[4], 2);
    EXPECT_EQ(FindResourceW(nullptr, MAKEINTRESOURCEW(127), MAKEINTRESOURCEW(RT_GROUP_ICON)),
              nullptr);
    EXPECT_EQ(FindResourceW(nullptr, MAKEINTRESOURCEW(114), MAKEINTRESOURCEW(RT_MENU)), nullptr);
    EXPECT_EQ(FindResourceW(nullptr, u"named", MAKEINTRESOURCEW(RT_DIALOG)), nullptr);
    EXPECT_EQ(LoadStringW(nullptr, 100, reinterpret_cast<LPWSTR>(const_cast<BYTE*>(group)), -1), 0);
    fvt::SetResourceTable(nullptr);
}

TEST(CompiledResources, TableIsSortedAndEveryFrenchTextHasItsEnglishId) {
    const fvt::ResourceTable& table = fvt::CompiledResources();
    for (size_t i = 0; i < table.stringCount; ++i) {
        const auto& s = table.strings[i];
        if (i > 0) {
            EXPECT_LT(table.strings[i - 1].id, s.id);
        }
        EXPECT_EQ(std::u16string(s.text).size(), s.length);
    }
}

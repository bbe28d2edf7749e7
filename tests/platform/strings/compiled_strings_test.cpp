#include <gtest/gtest.h>

#include "platform/kernel/system_time.h"
#include "platform/resources/device_resources.h"
#include "platform/strings/resource_files.h"
#include "support/platform/temp_device.h"

namespace {

using fvt_test::StringTable;

std::u16string Utf16(const std::string& utf8) {
    std::u16string out;
    for (size_t i = 0; i < utf8.size();) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        int extra = c < 0x80 ? 0 : c < 0xE0 ? 1 : c < 0xF0 ? 2 : 3;
        char32_t cp = extra == 0 ? c : c & (0x3F >> extra);
        for (int k = 1; k <= extra && i + k < utf8.size(); ++k) {
            cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        }
        if (cp >= 0x10000) {
            out += char16_t(0xD800 + ((cp - 0x10000) >> 10));
            out += char16_t(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            out += char16_t(cp);
        }
        i += extra + 1;
    }
    return out;
}

std::u16string Load(UINT id) {
    const WCHAR* text = nullptr;
    int length = LoadStringW(nullptr, id, reinterpret_cast<LPWSTR>(&text), 0);
    return length > 0 && text ? std::u16string(text, length) : std::u16string();
}

// The program reads the French text at id + 1000 when the system language is French.
UINT LanguageOffset() {
    return (GetSystemDefaultLangID() & 0x3FF) == LANG_FRENCH ? 1000 : 0;
}

void ExpectTableThroughLookup(const char* profile, const char* tableFile, UINT offset) {
    fvt::test::TempDevice device(profile);
    ASSERT_TRUE(device.ok());
    ASSERT_EQ(LanguageOffset(), offset);
    StringTable table = fvt_test::ReadStringTable(fvt_test::SourceRoot() / "resources" / tableFile);
    ASSERT_FALSE(table.texts.empty());
    for (const auto& [id, text] : table.texts) {
        UINT stored = id + LanguageOffset();
        EXPECT_EQ(Load(stored), Utf16(text)) << "id " << stored;
        // A French text that is missing would be answered by the English one.
        const fvt::StringResource* found = fvt::FindString(stored);
        ASSERT_NE(found, nullptr) << "id " << stored;
        EXPECT_EQ(found->french, offset == 1000) << "id " << stored;
    }
}

TEST(CompiledStrings, GiveTheEnglishTextsOnAnEnglishDevice) {
    ExpectTableThroughLookup("language = en\n", "strings.en.txt", 0);
}

TEST(CompiledStrings, GiveTheFrenchTextsOnAFrenchDevice) {
    ExpectTableThroughLookup("language = fr\n", "strings.fr.txt", 1000);
}

TEST(CompiledStrings, HaveNoTextForAnUnusedId) {
    WCHAR buffer[16] = {u'x'};
    EXPECT_EQ(LoadStringW(nullptr, 5003, buffer, 16), 0);
    EXPECT_EQ(buffer[0], 0);
    EXPECT_EQ(LoadStringW(nullptr, 6003, buffer, 16), 0);
}

}  // namespace

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/file.h"
#include "core/optional_api.h"
#include "core/platform_helpers.h"
#include "core/resources.h"
#include "core/string.h"
#include "core/text.h"
#include "platform/kernel/modules.h"
#include "platform/resources/resource_table.h"
#include "support/platform/temp_device.h"

namespace {

TEST(OptionalFunctions, MissingFunctionsReportTheirOwnFailure) {
    fvt::test::TempDevice device(
        "missing = cellcore.dll;coredll.dll!ChangeDisplaySettingsEx;SHDoneButton;mlang.dll\n");
    ASSERT_TRUE(device.ok());
    EXPECT_FALSE(OptionalApi::Has("tapiRequestMakeCallW"));
    EXPECT_LT(OptionalApi::tapiRequestMakeCallW(u"123", nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(OptionalApi::ChangeDisplaySettingsEx(nullptr, nullptr, nullptr, 0, nullptr),
              OptionalApi::kDispChangeFailed);
    EXPECT_FALSE(OptionalApi::SHDoneButton(nullptr, 1));
    EXPECT_FALSE(ShowDoneButton(nullptr, true));
    EXPECT_EQ(OptionalApi::VoiceRecorder_Create(nullptr), nullptr);
    EXPECT_FALSE(OptionalApi::Has("ConvertINetMultiByteToUnicode"));
    EXPECT_NE(
        OptionalApi::ConvertINetMultiByteToUnicode(nullptr, 1252, "a", nullptr, nullptr, nullptr),
        0);
    EXPECT_FALSE(OptionalApi::Has("NoSuchFunction"));
}

TEST(OptionalFunctions, PresentFunctionsAreFound) {
    fvt::test::TempDevice device;
    ASSERT_TRUE(device.ok());
    EXPECT_TRUE(OptionalApi::Has("ConvertINetMultiByteToUnicode"));
}

TEST(ScreenRotation, MissingDisplayFunctionMeansNoRotation) {
    fvt::test::TempDevice device("os = 5.2\nmissing = ChangeDisplaySettingsEx\n");
    ASSERT_TRUE(device.ok());
    EXPECT_FALSE(CanRotateScreen());
    EXPECT_EQ(GetScreenOrientation(), -1);
    EXPECT_FALSE(SetScreenOrientation(1));
}

TEST(ScreenRotation, OrientationCodesMapToThePlatformsOrder) {
    struct Mode {
        WCHAR deviceName[32];
        WORD specVersion, driverVersion, size, driverExtra;
        DWORD fields;
        int16_t printerFields[13];
        WCHAR formName[32];
        WORD logPixels;
        DWORD bitsPerPel, pelsWidth, pelsHeight, displayFlags, displayFrequency;
        DWORD displayOrientation, displayQueryOrientation;
    };
    static DWORD current = 0;
    auto fake = +[](LPCWSTR, void* mode, HWND, DWORD flags, void*) -> LONG {
        auto* m = static_cast<Mode*>(mode);
        if (m->size != sizeof(Mode)) return -1;
        if (flags == 0x2) {  // test: answer the queries
            m->displayOrientation = current;
            m->displayQueryOrientation = 7;
            return 0;
        }
        current = m->displayOrientation;
        return 0;
    };
    current = 0;
    fvt::RegisterModuleFunction(u"coredll", u"ChangeDisplaySettingsEx", fake);
    {
        fvt::test::TempDevice device("os = 4.21\n");
        ASSERT_TRUE(device.ok());
        EXPECT_TRUE(CanRotateScreen());
        EXPECT_EQ(GetScreenOrientation(), 0);
        ASSERT_TRUE(SetScreenOrientation(1));
        EXPECT_EQ(current, 4u);  // 90 degrees right is the platform's 270
        EXPECT_EQ(GetScreenOrientation(), 1);
        ASSERT_TRUE(SetScreenOrientation(2));
        EXPECT_EQ(current, 1u);
        EXPECT_FALSE(SetScreenOrientation(4));
    }
    {
        fvt::test::TempDevice device("os = 4.20\n");
        ASSERT_TRUE(device.ok());
        EXPECT_FALSE(CanRotateScreen());  // too old, whatever the display says
    }
    fvt::RegisterModuleFunction(u"coredll", u"ChangeDisplaySettingsEx", FARPROC{nullptr});
}

TEST(InputPanelInfo, NoPanelMeansNotShownAndNoRectangle) {
    fvt::test::TempDevice device("missing = SipGetInfo;SipShowIM\n");
    ASSERT_TRUE(device.ok());
    Rect r{1, 2, 3, 4};
    EXPECT_FALSE(InputPanel::GetInfo(&r));
    EXPECT_EQ(r, (Rect{1, 2, 3, 4}));
    EXPECT_FALSE(InputPanel::Show(true));
}

TEST(SystemSettings, ExchangeRestoresAndNeverWritesFailure) {
    fvt::test::TempDevice device;
    ASSERT_TRUE(device.ok());
    int32_t before = ExchangeSystemSetting(3600);
    ASSERT_GE(before, 0);
    EXPECT_EQ(ExchangeSystemSetting(-1), 3600);  // a read only
    EXPECT_EQ(ExchangeSystemSetting(before), 3600);
    EXPECT_EQ(ExchangeSystemSetting(-1), before);
}

TEST(SystemSettings, AppDataFolderByPlatform) {
    {
        fvt::test::TempDevice device("platform = Smartphone\n");
        ASSERT_TRUE(device.ok());
        Text f;
        ASSERT_TRUE(GetAppDataFolder(f));
        EXPECT_EQ(std::u16string(f.WideCStr()), u"\\Application Data\\");
    }
    fvt::test::TempDevice device("platform = PocketPC\n");
    ASSERT_TRUE(device.ok());
    Text f;
    ASSERT_TRUE(GetAppDataFolder(f));
    EXPECT_EQ(std::u16string(f.WideCStr()), u"\\Windows\\");
}

class StringResources : public ::testing::Test {
protected:
    StringResources() {
        long_.assign(700, u'x');
        strings_[0] = {5002, false, u"OK", 2};
        strings_[1] = {5003, false, u"Only English", 12};
        strings_[2] = {5004, false, long_.c_str(), static_cast<UINT>(long_.size())};
        strings_[3] = {6002, true, u"D'accord", 8};
        table_ = {strings_, 4, nullptr, 0};
        fvt::SetResourceTable(&table_);
    }
    ~StringResources() override {
        fvt::SetResourceTable(nullptr);
        Resources::FlushCache();
    }
    std::u16string long_;
    fvt::StringResource strings_[4];
    fvt::ResourceTable table_;
};

TEST_F(StringResources, EnglishAndFrenchWithFallback) {
    {
        fvt::test::TempDevice device("language = en\n");
        ASSERT_TRUE(device.ok());
        ASSERT_NE(LoadResString(5002), nullptr);
        EXPECT_EQ(std::u16string(LoadResString(5002)), u"OK");
        EXPECT_EQ(LoadResString(5999), nullptr);
    }
    fvt::test::TempDevice device("language = fr\n");
    ASSERT_TRUE(device.ok());
    EXPECT_EQ(std::u16string(LoadResString(5002)), u"D'accord");
    EXPECT_EQ(std::u16string(LoadResString(5003)), u"Only English");  // no blank label
    String s(u"previous");
    EXPECT_FALSE(Resources::LoadString(s, 5999));
    EXPECT_TRUE(s.IsEmpty());
    Text t;
    ASSERT_TRUE(LoadResStringTo(5002, t));
    EXPECT_EQ(std::u16string(t.WideCStr()), u"D'accord");
}

TEST_F(StringResources, LongTextsAndBoundedBuffers) {
    fvt::test::TempDevice device("language = en\n");
    ASSERT_TRUE(device.ok());
    String s;
    ASSERT_TRUE(Resources::LoadString(s, 5004));
    EXPECT_EQ(s.Length(), 700);
    char16_t small[4] = {9, 9, 9, 9};
    EXPECT_EQ(Resources::LoadStringInto(5003, small, 4), 3);
    EXPECT_EQ(std::u16string(small), u"Onl");
    EXPECT_EQ(Resources::LoadStringInto(5999, small, 4), -1);
    EXPECT_EQ(small[0], 0);
}

}  // namespace

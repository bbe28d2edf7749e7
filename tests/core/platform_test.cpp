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
#include "platform/menu/menu.h"
#include "platform/resources/resource_table.h"
#include "platform/shell/shell.h"
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
    DWORD mode = 0;
    int sourceSize = 4;
    WCHAR out[8] = {};
    int outSize = 8;
    EXPECT_EQ(OptionalApi::ConvertINetMultiByteToUnicode(&mode, 1252, "caf\xe9", &sourceSize, out,
                                                         &outSize),
              0);
    EXPECT_EQ(std::u16string(out, outSize), u"caf\u00e9");
}

TEST(ScreenRotation, MissingDisplayFunctionMeansNoRotation) {
    fvt::test::TempDevice device("os = 5.2\nmissing = ChangeDisplaySettingsEx\n");
    ASSERT_TRUE(device.ok());
    EXPECT_FALSE(CanRotateScreen());
    EXPECT_EQ(GetScreenOrientation(), -1);
    EXPECT_FALSE(SetScreenOrientation(1));
}

TEST(ScreenRotation, OrientationCodesMapToThePlatformsOrder) {
    static DWORD current = 0;
    auto fake = +[](LPCWSTR, DEVMODEW* m, HWND, DWORD flags, void*) -> LONG {
        if (m->dmSize != sizeof(DEVMODEW)) return DISP_CHANGE_FAILED;
        if (flags == CDS_TEST) {
            m->dmDisplayOrientation = current;
            m->dmDisplayQueryOrientation = DMDO_90 | DMDO_180 | DMDO_270;
            return DISP_CHANGE_SUCCESSFUL;
        }
        current = m->dmDisplayOrientation;
        return DISP_CHANGE_SUCCESSFUL;
    };
    current = 0;
    fvt::RegisterModuleFunction(u"coredll", u"ChangeDisplaySettingsEx", fake);
    {
        fvt::test::TempDevice device("os = 4.21\n");
        ASSERT_TRUE(device.ok());
        EXPECT_TRUE(CanRotateScreen());
        EXPECT_EQ(GetScreenOrientation(), 0);
        ASSERT_TRUE(SetScreenOrientation(1));
        EXPECT_EQ(current, DMDO_270);  // 90 degrees right is the platform's 270
        EXPECT_EQ(GetScreenOrientation(), 1);
        ASSERT_TRUE(SetScreenOrientation(2));
        EXPECT_EQ(current, DMDO_90);
        EXPECT_FALSE(SetScreenOrientation(4));
    }
    {
        fvt::test::TempDevice device("os = 4.20\n");
        ASSERT_TRUE(device.ok());
        EXPECT_FALSE(CanRotateScreen());  // too old, whatever the display says
    }
    fvt::RegisterModuleFunction(u"coredll", u"ChangeDisplaySettingsEx", FARPROC{nullptr});
}

TEST(ScreenRotation, TurnsTheDevicesScreen) {
    {
        fvt::test::TempDevice device("os = 5.2\nrotate = 1\n");
        ASSERT_TRUE(device.ok());
        ASSERT_TRUE(CanRotateScreen());
        EXPECT_EQ(GetScreenOrientation(), 0);
        ASSERT_TRUE(SetScreenOrientation(1));
        EXPECT_EQ(GetScreenOrientation(), 1);
        EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 320);
        Rect work;
        ASSERT_TRUE(Screen::GetWorkArea(work));
        EXPECT_EQ(work.width, 320);
        ASSERT_TRUE(SetScreenOrientation(3));
        EXPECT_EQ(GetScreenOrientation(), 3);
        EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 240);
    }
    fvt::test::TempDevice device("os = 5.2\n");  // a display that cannot turn
    ASSERT_TRUE(device.ok());
    EXPECT_FALSE(CanRotateScreen());
    EXPECT_FALSE(SetScreenOrientation(1));
    EXPECT_EQ(GetScreenOrientation(), 0);
}

TEST(ScreenWorkArea, TheScreenWithoutTheBars) {
    fvt::test::TempDevice device;
    ASSERT_TRUE(device.ok());
    Rect work;
    ASSERT_TRUE(Screen::GetWorkArea(work));
    EXPECT_EQ(work, Rect::FromWinRect(fvt::WorkArea()));
    EXPECT_EQ(work.y, fvt::TaskBarHeight());
    EXPECT_EQ(work.width, 240);
    EXPECT_LT(work.Bottom(), 320);
}

TEST(InputPanelInfo, ShownPanelGivesItsRectangle) {
    fvt::test::TempDevice device;
    ASSERT_TRUE(device.ok());
    ASSERT_TRUE(InputPanel::Show(true));
    Rect panel;
    ASSERT_TRUE(InputPanel::GetInfo(&panel));
    Rect work;
    ASSERT_TRUE(Screen::GetWorkArea(work));
    EXPECT_FALSE(panel.IsEmpty());
    EXPECT_EQ(panel.Bottom(), work.Bottom());
    ASSERT_TRUE(InputPanel::Show(false));
    EXPECT_FALSE(InputPanel::GetInfo(nullptr));
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

TEST_F(StringResources, NotificationsReachTheShell) {
    fvt::test::TempDevice device("language = en\n");
    ASSERT_TRUE(device.ok());
    fvt::ClearShellLog();
    ASSERT_TRUE(ShowNotification(7, 5002, 5003));
    ASSERT_FALSE(fvt::ShellLog().empty());
    EXPECT_EQ(fvt::ShellLog().front(), "notification 7 Only English: OK");
    EXPECT_TRUE(RemoveNotification(7));
    EXPECT_FALSE(RemoveNotification(7));
    EXPECT_FALSE(ShowNotification(8, 5999, 5003));  // no text, no bubble
}

std::u16string MenuText(HMENU menu, UINT item, BOOL byPosition) {
    WCHAR buffer[32] = {};
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_STRING;
    info.dwTypeData = buffer;
    info.cch = 32;
    if (!GetMenuItemInfoW(menu, item, byPosition, &info)) return u"<none>";
    return buffer;
}

// A bar whose pop-up holds command 101 and a plain item at position 1 of the bar.
struct MenuWithPopUp {
    HMENU bar = CreateMenu();
    HMENU popup = CreatePopupMenu();
    MenuWithPopUp() {
        AppendMenuW(popup, MF_STRING, 101, u"open");
        AppendMenuW(popup, MF_STRING, 102, u"keep");
        AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), u"file");
        AppendMenuW(bar, MF_STRING, 7, u"seven");
    }
    ~MenuWithPopUp() { DestroyMenu(bar); }
};

TEST_F(StringResources, MenuTextsInTheProgramLanguage) {
    const MenuTextRow rows[] = {{101, 5002, false}, {1, 5003, true}, {102, 5999, false}};
    {
        fvt::test::TempDevice device("language = fr\n");
        ASSERT_TRUE(device.ok());
        MenuWithPopUp m;
        EXPECT_FALSE(SetMenuTextsRes(m.bar, rows, 3));  // one string is missing
        EXPECT_EQ(MenuText(m.bar, 101, FALSE), u"D'accord");
        EXPECT_EQ(MenuText(m.bar, 1, TRUE), u"Only English");
        EXPECT_EQ(MenuText(m.bar, 102, FALSE), u"keep");  // left as it was
        EXPECT_TRUE(SetMenuTextsRes(m.bar, rows, 2));
    }
    fvt::test::TempDevice device("language = en\n");
    ASSERT_TRUE(device.ok());
    MenuWithPopUp m;
    ASSERT_TRUE(SetMenuTextsRes(m.bar, rows, 1));
    EXPECT_EQ(MenuText(m.popup, 0, TRUE), u"OK");
    // Rows past the menu, or a menu that is gone, fail without harm.
    const MenuTextRow outside[] = {{9, 5002, true}};
    EXPECT_FALSE(SetMenuTextsRes(m.bar, outside, 1));
    EXPECT_FALSE(SetMenuTextsRes(m.bar, nullptr, 1));
    HMENU gone = CreatePopupMenu();
    DestroyMenu(gone);
    EXPECT_FALSE(SetMenuTextsRes(gone, rows, 3));
}

TEST(MenuTexts, OneItemFromAText) {
    MenuWithPopUp m;
    Text t;
    t.AssignUtf8(
        "Livres r\xc3\xa9"
        "cents");
    ASSERT_TRUE(SetMenuTextsRes(m.bar, 102, false, t));
    EXPECT_EQ(MenuText(m.popup, 1, TRUE), u"Livres r\u00e9cents");
    ASSERT_TRUE(SetMenuTextsRes(m.bar, 0, true, Text()));  // an empty text empties the item
    EXPECT_EQ(MenuText(m.bar, 0, TRUE), u"");
    EXPECT_FALSE(SetMenuTextsRes(m.bar, 3, true, t));
    t.SetError(3);  // a failed conversion is not shown as a label
    EXPECT_FALSE(SetMenuTextsRes(m.bar, 102, false, t));
    EXPECT_EQ(MenuText(m.popup, 1, TRUE), u"Livres r\u00e9cents");
}

}  // namespace

#include <gtest/gtest.h>

#include "platform/kernel/modules.h"
#include "platform/kernel/system_info.h"
#include "platform/last_error.h"
#include "support/platform/temp_device.h"

namespace {

std::u16string PlatformType() {
    WCHAR text[64] = {};
    if (!SystemParametersInfoW(SPI_GETPLATFORMTYPE, sizeof text, text, 0)) return u"<failed>";
    return text;
}

}  // namespace

TEST(SystemInfo, VersionComesFromTheProfile) {
    for (const char* os : {"os = 4.20\n", "os = 5.2\n", "os = 6.0\n"}) {
        fvt::test::TempDevice device(os);
        OSVERSIONINFOW info{};
        info.dwOSVersionInfoSize = sizeof info;
        ASSERT_TRUE(GetVersionExW(&info));
        EXPECT_EQ(info.dwPlatformId, VER_PLATFORM_WIN32_CE);
        EXPECT_EQ(info.dwMajorVersion * 100 + info.dwMinorVersion,
                  fvt::Profile().osMajor * 100 + fvt::Profile().osMinor);
    }
    OSVERSIONINFOW small{};
    small.dwOSVersionInfoSize = 8;
    EXPECT_FALSE(GetVersionExW(&small));
}

TEST(SystemInfo, PlatformTypeTextAndShortBuffer) {
    {
        fvt::test::TempDevice device;
        EXPECT_EQ(PlatformType(), u"PocketPC");
        WCHAR tiny[3];
        EXPECT_FALSE(SystemParametersInfoW(SPI_GETPLATFORMTYPE, sizeof tiny, tiny, 0));
        EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    }
    fvt::test::TempDevice device("platform = Smartphone\n");
    EXPECT_EQ(PlatformType(), u"Smartphone");
}

TEST(SystemInfo, OtherAreasAnswerTheirOwnActions) {
    fvt::SetSystemParameterHandler(48, [](UINT, LPVOID out, UINT) {
        *static_cast<int*>(out) = 7;
        return TRUE;
    });
    int value = 0;
    EXPECT_TRUE(SystemParametersInfoW(48, 0, &value, 0));
    EXPECT_EQ(value, 7);
    fvt::SetSystemParameterHandler(48, nullptr);
    EXPECT_FALSE(SystemParametersInfoW(48, 0, &value, 0));
    DWORD timeout = 0;
    EXPECT_TRUE(SystemParametersInfoW(SPI_SETBATTERYIDLETIMEOUT, 60, nullptr, 0));
    EXPECT_TRUE(SystemParametersInfoW(SPI_GETBATTERYIDLETIMEOUT, 0, &timeout, 0));
    EXPECT_EQ(timeout, 60u);
}

TEST(SystemInfo, ProgramPathAndCommandLine) {
    fvt::test::TempDevice device(
        "program_folder = \\Apps\\Reader\\\ncommand_line = \"\\a b.prc\"\n");
    WCHAR path[260];
    DWORD n = GetModuleFileNameW(nullptr, path, 260);
    EXPECT_EQ(std::u16string(path, n), u"\\Apps\\Reader\\folivant.exe");
    EXPECT_EQ(GetModuleFileNameW(GetModuleHandleW(nullptr), path, 260), n);
    WCHAR shortBuffer[5];
    EXPECT_EQ(GetModuleFileNameW(nullptr, shortBuffer, 5), 5u);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(shortBuffer[4], 0);
    EXPECT_EQ(std::u16string(GetCommandLineW()), u"\"\\a b.prc\"");
    fvt::SetCommandLine(u"/quit");
    EXPECT_EQ(std::u16string(GetCommandLineW()), u"/quit");
    fvt::SetCommandLine(u"");
}

TEST(SystemInfo, LanguageAndSpecialFolders) {
    fvt::test::TempDevice device("language = fr\n");
    EXPECT_EQ(GetSystemDefaultLangID() & 0x3FF, LANG_FRENCH);
    WCHAR path[260];
    ASSERT_TRUE(SHGetSpecialFolderPath(nullptr, path, CSIDL_APPDATA, TRUE));
    EXPECT_EQ(std::u16string(path), u"\\Application Data");
    EXPECT_TRUE(device.HostExists("Application Data"));
    EXPECT_FALSE(SHGetSpecialFolderPath(nullptr, path, 999, FALSE));
}

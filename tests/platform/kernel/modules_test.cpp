#include <gtest/gtest.h>

#include <filesystem>

#include "platform/kernel/char_conversion.h"
#include "platform/kernel/kernel_sync.h"
#include "platform/kernel/modules.h"
#include "platform/kernel/system_info.h"
#include "platform/kernel/system_time.h"
#include "platform/last_error.h"
#include "support/platform/temp_device.h"

namespace {

extern "C" int TestOnlyShellFunction(int x) {
    return x * 2;
}

}  // namespace

TEST(SystemModules, LayerFunctionsAreFoundByName) {
    fvt::test::TempDevice device;
    HMODULE kernel = LoadLibraryW(u"coredll.dll");
    ASSERT_NE(kernel, nullptr);
    auto tz = reinterpret_cast<decltype(&GetTimeZoneInformation)>(
        GetProcAddressW(kernel, u"GetTimeZoneInformation"));
    ASSERT_NE(tz, nullptr);
    TIME_ZONE_INFORMATION info;
    EXPECT_EQ(tz(&info), TIME_ZONE_ID_UNKNOWN);
    // Not registered by anyone: found through the program's exported symbols.
    EXPECT_EQ(GetProcAddressW(kernel, u"MultiByteToWideChar"),
              reinterpret_cast<FARPROC>(&MultiByteToWideChar));
    EXPECT_EQ(GetProcAddressW(kernel, u"NoSuchFunction"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
    EXPECT_TRUE(FreeLibrary(kernel));
    HMODULE mlang = LoadLibraryW(u"Mlang.dll");
    EXPECT_NE(GetProcAddressW(mlang, u"ConvertINetMultiByteToUnicode"), nullptr);
    FreeLibrary(mlang);
}

TEST(SystemModules, RegisteredFunctionsAndTheProfilesMissingList) {
    fvt::RegisterModuleFunction(u"aygshell.dll", u"SHTestOnly", &TestOnlyShellFunction);
    {
        fvt::test::TempDevice device;
        HMODULE shell = LoadLibraryW(u"AYGSHELL.DLL");
        auto f = reinterpret_cast<int (*)(int)>(GetProcAddressW(shell, u"SHTestOnly"));
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(f(21), 42);
        FreeLibrary(shell);
    }
    {
        fvt::test::TempDevice device("missing = aygshell.dll!SHTestOnly\n");
        HMODULE shell = LoadLibraryW(u"aygshell.dll");
        ASSERT_NE(shell, nullptr);
        EXPECT_EQ(GetProcAddressW(shell, u"SHTestOnly"), nullptr);
        FreeLibrary(shell);
    }
    {
        fvt::test::TempDevice device("missing = SHTestOnly; voicectl.dll\n");
        HMODULE shell = LoadLibraryW(u"aygshell.dll");
        EXPECT_EQ(GetProcAddressW(shell, u"SHTestOnly"), nullptr);
        FreeLibrary(shell);
        EXPECT_EQ(LoadLibraryW(u"voicectl.dll"), nullptr);
        EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
    }
}

TEST(SystemModules, BadHandlesAndNames) {
    fvt::test::TempDevice device;
    EXPECT_EQ(GetProcAddressW(reinterpret_cast<HMODULE>(0x1234), u"x"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(FreeLibrary(reinterpret_cast<HMODULE>(0x1234)));
    EXPECT_EQ(LoadLibraryW(nullptr), nullptr);
    EXPECT_EQ(LoadLibraryW(u"..\\..\\etc\\libc"), nullptr);
    EXPECT_EQ(LoadLibraryW(u"nosuchplugin"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
}

TEST(PlugIns, LoadedFromTheProgramFolderAndCallingBackIntoTheLayer) {
    fvt::test::TempDevice device("program_folder = \\Program Files\\Folivant\n");
    std::filesystem::create_directories(device.Host("Program Files/Folivant"));
    std::filesystem::copy_file(FVT_TEST_PLUGIN,
                               device.Host("Program Files/Folivant/folvplugin_test.so"));
    HMODULE plugin = LoadLibraryW(u"folvplugin_test");
    ASSERT_NE(plugin, nullptr) << GetLastError();
    EXPECT_EQ(fvt::LoadedPluginCount(), 1u);
    auto answer = reinterpret_cast<int (*)()>(GetProcAddressW(plugin, u"plugin_answer"));
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer(), 42);
    auto signal = reinterpret_cast<int (*)(HANDLE)>(GetProcAddressW(plugin, u"plugin_signal"));
    ASSERT_NE(signal, nullptr);
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    EXPECT_EQ(signal(event), 1);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    CloseHandle(event);
    EXPECT_EQ(GetProcAddressW(plugin, u"tts_missing_export"), nullptr);
    WCHAR path[260];
    EXPECT_GT(GetModuleFileNameW(plugin, path, 260), 0u);
    EXPECT_EQ(std::u16string(path), u"\\Program Files\\Folivant\\folvplugin_test.so");
    HMODULE again = LoadLibraryW(u"\\program files\\folivant\\FOLVPLUGIN_TEST.dll");
    EXPECT_EQ(again, plugin);
    EXPECT_TRUE(FreeLibrary(again));
    EXPECT_TRUE(FreeLibrary(plugin));
    EXPECT_EQ(fvt::LoadedPluginCount(), 0u);
    EXPECT_FALSE(FreeLibrary(plugin));
}

// Two plug-ins of different files are two libraries, also while the first stays loaded: the
// second is not mistaken for the first (each is opened through a file handle of its own).
TEST(PlugIns, TwoFilesLoadedOneAfterTheOtherAreTwoLibraries) {
    fvt::test::TempDevice device("program_folder = \\Program Files\\Folivant\n");
    std::filesystem::create_directories(device.Host("Program Files/Folivant"));
    std::filesystem::create_directories(device.Host("Program Files/Other"));
    std::filesystem::copy_file(FVT_TEST_PLUGIN,
                               device.Host("Program Files/Folivant/folvplugin_test.so"));
    std::filesystem::copy_file(FVT_TEST_PLUGIN,
                               device.Host("Program Files/Other/folvplugin_test.so"));
    HMODULE first = LoadLibraryW(u"\\Program Files\\Folivant\\folvplugin_test.so");
    ASSERT_NE(first, nullptr) << GetLastError();
    HMODULE second = LoadLibraryW(u"\\Program Files\\Other\\folvplugin_test.so");
    ASSERT_NE(second, nullptr) << GetLastError();
    EXPECT_NE(first, second);
    EXPECT_EQ(fvt::LoadedPluginCount(), 2u);
    EXPECT_NE(GetProcAddressW(first, u"plugin_answer"), GetProcAddressW(second, u"plugin_answer"));
    EXPECT_TRUE(FreeLibrary(second));
    EXPECT_TRUE(FreeLibrary(first));
    EXPECT_EQ(fvt::LoadedPluginCount(), 0u);
}

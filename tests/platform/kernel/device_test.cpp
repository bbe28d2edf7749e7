#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "platform/kernel/device.h"
#include "support/platform/temp_device.h"

TEST(DeviceProfile, DefaultsAreAPocketPcInEnglish) {
    fvt::test::TempDevice device;
    ASSERT_TRUE(device.ok());
    const auto& p = fvt::Profile();
    EXPECT_EQ(p.screenWidth, 240);
    EXPECT_EQ(p.screenHeight, 320);
    EXPECT_EQ(p.dpi, 96);
    EXPECT_EQ(p.osMajor, 5u);
    EXPECT_EQ(p.osMinor, 2u);
    EXPECT_EQ(p.platformType, u"PocketPC");
    EXPECT_FALSE(p.french);
    EXPECT_FALSE(p.canRotate);
    EXPECT_TRUE(p.cards.empty());
    EXPECT_EQ(fvt::DeviceRoot(), device.root());
}

TEST(DeviceProfile, FileBesideTheRootIsReadAndTextOverridesIt) {
    fvt::test::TempDevice scratch;
    std::string base = scratch.outside();
    std::ofstream(base + ".ini") << "screen = 480x640@192\nlanguage = fr\nos = 4.21\n";
    ASSERT_TRUE(fvt::OpenDevice(base, "os = 6.1.7\nrotate = yes\n"));
    const auto& p = fvt::Profile();
    EXPECT_EQ(p.screenWidth, 480);
    EXPECT_EQ(p.screenHeight, 640);
    EXPECT_EQ(p.dpi, 192);
    EXPECT_TRUE(p.french);
    EXPECT_EQ(p.osMajor, 6u);
    EXPECT_EQ(p.osMinor, 1u);
    EXPECT_EQ(p.osBuild, 7u);
    EXPECT_TRUE(p.canRotate);
}

TEST(DeviceProfile, BadValuesKeepTheDefaults) {
    fvt::test::TempDevice device(
        "screen = wide\ndpi = 0\nos = five\ntimezone = +99999\ndisk = 10/5\nnow = yesterday\n"
        "no equals sign here\n");
    const auto& p = fvt::Profile();
    EXPECT_EQ(p.screenWidth, 240);
    EXPECT_EQ(p.dpi, 96);
    EXPECT_EQ(p.osMajor, 5u);
    EXPECT_EQ(p.timeZoneMinutes, 0);
    EXPECT_EQ(p.diskTotal, 0u);
    EXPECT_EQ(p.startFileTime, 0u);
}

TEST(DeviceProfile, ListsAndOtherAreasKeys) {
    fvt::test::TempDevice device(
        "cards = Storage Card; SD Card\nmissing = SHFullScreen;voicectl.dll\n"
        "platform = Smartphone\nWave_Caps = 0x0FFF\n");
    const auto& p = fvt::Profile();
    ASSERT_EQ(p.cards.size(), 2u);
    EXPECT_EQ(p.cards[1], u"SD Card");
    ASSERT_EQ(p.missing.size(), 2u);
    EXPECT_EQ(p.missing[1], "voicectl.dll");
    EXPECT_TRUE(p.IsSmartphone());
    EXPECT_EQ(p.Value("wave_caps"), "0x0FFF");
    EXPECT_EQ(p.Value("absent", "x"), "x");
}

TEST(DeviceProfile, UtcTimesParse) {
    std::uint64_t t = 0;
    ASSERT_TRUE(fvt::ParseUtcTime("1970-01-02T00:00:00Z", t));
    EXPECT_EQ(t, fvt::kUnixEpochFileTime + 86400ULL * 10000000ULL);
    ASSERT_TRUE(fvt::ParseUtcTime("2000-03-01", t));
    EXPECT_FALSE(fvt::ParseUtcTime("2000-02-30T25:00:00Z", t));
    EXPECT_FALSE(fvt::ParseUtcTime("", t));
}

TEST(DeviceProfile, AfterATestDeviceGoesTheDefaultDeviceIsUsable) {
    std::string gone;
    {
        fvt::test::TempDevice device;
        gone = fvt::DeviceRoot();
    }
    std::string next = fvt::DeviceRoot();
    EXPECT_NE(next, gone);
    EXPECT_TRUE(std::filesystem::is_directory(next));
}

// ---- temporary devices are removed however the process ends ----

namespace {

// Run in a process of its own (below): makes a device, writes where it is, and ends the way the
// environment asks, without destructors or exit handlers.
TEST(DeviceTempHelper, MakeADeviceAndEnd) {
    const char* report = std::getenv("FVT_TEMP_HELPER_REPORT");
    const char* how = std::getenv("FVT_TEMP_HELPER_END");
    if (!report || !how) GTEST_SKIP() << "run by DeviceTemp only";
    auto* device = new fvt::test::TempDevice();  // never deleted, as in a fuzz target
    device->WriteHost("storage/eBooks/a.txt", "text");
    std::ofstream(report) << device->root() << "\n" << fvt::ProcessTempFolder() << "\n";
    if (std::string(how) == "kill") raise(SIGKILL);
    if (std::string(how) == "crash") raise(SIGSEGV);
    _exit(0);
}

bool GoneWithin(const std::string& path, int ms) {
    for (int waited = 0; waited < ms; waited += 20) {
        if (!std::filesystem::exists(path)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return !std::filesystem::exists(path);
}

}  // namespace

TEST(DeviceTemp, TheFolderGoesWhenTheProcessEndsHoweverItEnds) {
    fvt::test::TempDevice scratch;
    ASSERT_TRUE(scratch.ok());
    std::filesystem::create_directories(scratch.outside());
    for (const char* how : {"exit", "kill", "crash"}) {
        const std::string report = scratch.outside() + "/" + how + ".txt";
        const pid_t pid = fork();
        if (pid == 0) {
            setenv("FVT_TEMP_HELPER_REPORT", report.c_str(), 1);
            setenv("FVT_TEMP_HELPER_END", how, 1);
            // A fresh process: its temporary folder is its own.
            execl("/proc/self/exe", "platform_tests", "--gtest_filter=DeviceTempHelper.*",
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        ASSERT_GT(pid, 0);
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        std::ifstream in(report);
        std::string root, folder;
        ASSERT_TRUE(std::getline(in, root) && std::getline(in, folder)) << how;
        EXPECT_NE(folder, fvt::ProcessTempFolder());
        EXPECT_EQ(root.rfind(folder + "/fvt-device-", 0), 0u) << root;
        EXPECT_TRUE(GoneWithin(folder, 5000)) << how << ": " << folder;
    }
}

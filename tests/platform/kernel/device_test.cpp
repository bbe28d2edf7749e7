#include <gtest/gtest.h>

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

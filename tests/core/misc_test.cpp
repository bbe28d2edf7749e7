#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

#include "core/lang_name.h"
#include "core/random.h"
#include "core/string.h"
#include "core/text.h"

namespace {

TEST(LangName, NamesToCodesAndBack) {
    EXPECT_EQ(LangName::Find("en"), 9);
    EXPECT_EQ(LangName::Find("fr"), 12);
    EXPECT_EQ(LangName::Find("EN_us"), 0x0409);
    EXPECT_EQ(LangName::Find(String(u"ja")), 17);
    Text t;
    t.AssignUtf8("fr-CA");
    EXPECT_EQ(LangName::Find(t), 0x0C0C);
    EXPECT_EQ(LangName::Find("klingon"), 0);
    EXPECT_EQ(LangName::Find(""), 0);
    EXPECT_STREQ(LangName::Name(0x0409), "en");
    EXPECT_STREQ(LangName::Name(0x0C0C), "fr");
    EXPECT_STREQ(LangName::ExactName(0x0C0C), "fr-ca");
    EXPECT_EQ(LangName::Name(0x03FF), nullptr);
}

TEST(RandomSource, ThirtyBitsAndDistinctSourcesDiffer) {
    Random a, b;
    std::set<uint32_t> seen;
    bool differs = false;
    for (int i = 0; i < 1000; ++i) {
        uint32_t x = a.Next(), y = b.Next();
        EXPECT_LT(x, 1u << 30);
        differs |= x != y;
        seen.insert(x);
    }
    EXPECT_TRUE(differs);  // made in the same tick, yet not the same sequence
    EXPECT_GT(seen.size(), 990u);
    Random c(42), d(42);
    EXPECT_EQ(c.Next(), d.Next());
}

}  // namespace

#include "core/platform_helpers.h"
#include "support/platform/temp_device.h"

namespace {

TEST(PlatformHelpers, ScreenSizeClasses) {
    EXPECT_EQ(Screen::SizeClass(240, 320), 1);
    EXPECT_EQ(Screen::SizeClass(320, 240), 1);
    EXPECT_EQ(Screen::SizeClass(176, 220), 0);
    EXPECT_EQ(Screen::SizeClass(480, 640), 2);
    EXPECT_EQ(Screen::SizeClass(640, 480), 2);
    EXPECT_EQ(Screen::SizeClass(480, 480), 1);
}

TEST(PlatformHelpers, DeviceProfileAnswers) {
    fvt::test::TempDevice device("platform = Smartphone\nos = 5.1\n");
    ASSERT_TRUE(device.ok());
    EXPECT_EQ(GetPlatformType(), 2);
    uint32_t major = 0, minor = 0;
    ASSERT_TRUE(GetOsVersion(major, minor));
    EXPECT_EQ(major * 100 + minor, 501u);
    EXPECT_TRUE(IsOsVersionAtLeast51());
    EXPECT_EQ(GetProgramLanguage(), 9);
    EXPECT_EQ(CheckDisplayDepth(7), 7);  // the emulated screen reports a supported depth
    if (!std::getenv("FOLIVANT_SCREEN")) {
        EXPECT_FALSE(IsHighResolution());  // 96 dpi by default
    }
}

TEST(PlatformHelpers, OlderPocketPc) {
    fvt::test::TempDevice device("platform = PocketPC\nos = 4.21\n");
    ASSERT_TRUE(device.ok());
    EXPECT_EQ(GetPlatformType(), 1);
    EXPECT_FALSE(IsOsVersionAtLeast51());
}

TEST(PlatformHelpers, FrenchDeviceGivesFrenchProgramLanguage) {
    fvt::test::TempDevice device("language = fr\n");
    ASSERT_TRUE(device.ok());
    EXPECT_EQ(GetProgramLanguage(), 12);
}

}  // namespace

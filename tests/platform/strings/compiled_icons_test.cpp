#include <gtest/gtest.h>

#include "platform/gdi/gdi_api.h"
#include "platform/resources/device_resources.h"
#include "platform/strings/resource_files.h"
#include "support/platform/temp_device.h"

namespace {

uint16_t Le16(const uint8_t* p) {
    return uint16_t(p[0] | (p[1] << 8));
}

TEST(CompiledIcons, GroupEveryIconWithItsSmallAndLargeImage) {
    // The image objects read this directory themselves: the count at offset 4, then 14-byte
    // entries whose first two bytes are width and height; entry 1 serves high-resolution screens.
    for (int id : fvt_test::kReferencedIconIds) {
        HRSRC found =
            FindResourceW(nullptr, MAKEINTRESOURCEW(WORD(id)), MAKEINTRESOURCEW(RT_GROUP_ICON));
        ASSERT_NE(found, nullptr) << "icon " << id;
        auto* bytes = static_cast<const uint8_t*>(LockResource(LoadResource(nullptr, found)));
        ASSERT_NE(bytes, nullptr) << "icon " << id;
        ASSERT_GE(SizeofResource(nullptr, found), 6u + 2 * 14) << "icon " << id;
        EXPECT_EQ(Le16(bytes + 4), 2) << "icon " << id;
        EXPECT_EQ(bytes[6], 16) << "icon " << id;
        EXPECT_EQ(bytes[7], 16) << "icon " << id;
        EXPECT_EQ(bytes[6 + 14], 32) << "icon " << id;
        EXPECT_EQ(bytes[7 + 14], 32) << "icon " << id;
    }
}

TEST(CompiledIcons, LoadAtBothScreenSizes) {
    fvt::test::TempDevice device;
    ASSERT_TRUE(device.ok());
    for (int id : fvt_test::kReferencedIconIds) {
        for (int size : {16, 32}) {
            HANDLE icon =
                LoadImageW(nullptr, MAKEINTRESOURCEW(WORD(id)), IMAGE_ICON, size, size, 0);
            EXPECT_NE(icon, nullptr) << "icon " << id << " at " << size;
            if (icon) DestroyIcon(static_cast<HICON>(icon));
        }
    }
    HICON programIcon = LoadIconW(nullptr, MAKEINTRESOURCEW(126));
    EXPECT_NE(programIcon, nullptr);
    if (programIcon) DestroyIcon(programIcon);
}

}  // namespace

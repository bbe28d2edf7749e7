#include <gtest/gtest.h>
#include <png.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "platform/gdi.h"
#include "platform/gdi/surface.h"
#include "platform/last_error.h"
#include "platform/resources/device_resources.h"
#include "support/platform/temp_device.h"

namespace {

// A square PNG of one colour (0xAARRGGBB), made with libpng's simple writer.
std::vector<BYTE> SolidPng(int size, std::uint32_t argb) {
    std::vector<std::uint32_t> pixels(static_cast<size_t>(size) * size, argb);
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(size);
    image.height = static_cast<png_uint_32>(size);
    image.format = PNG_FORMAT_BGRA;
    png_alloc_size_t bytes = 0;
    png_image_write_to_memory(&image, nullptr, &bytes, 0, pixels.data(), 0, nullptr);
    std::vector<BYTE> out(bytes);
    png_image_write_to_memory(&image, out.data(), &bytes, 0, pixels.data(), 0, nullptr);
    out.resize(bytes);
    return out;
}

void Put16(std::vector<BYTE>& d, unsigned v) {
    d.push_back(static_cast<BYTE>(v));
    d.push_back(static_cast<BYTE>(v >> 8));
}

// Group 7 with a red 16-pixel image (icon 1) and a blue 32-pixel one (icon 2).
class IconResources : public ::testing::Test {
protected:
    void SetUp() override {
        red = SolidPng(16, 0xFFFF0000);
        blue = SolidPng(32, 0xFF0000FF);
        Put16(group, 0);
        Put16(group, 1);
        Put16(group, 2);
        for (auto [size, id, bytes] : {std::tuple{16, 1, red.size()}, {32, 2, blue.size()}}) {
            group.insert(group.end(), {BYTE(size), BYTE(size), 0, 0});
            Put16(group, 1);
            Put16(group, 32);
            Put16(group, static_cast<unsigned>(bytes));
            Put16(group, 0);
            Put16(group, static_cast<unsigned>(id));
        }
        binaries[0] = {RT_ICON, 1, red.data(), static_cast<DWORD>(red.size())};
        binaries[1] = {RT_ICON, 2, blue.data(), static_cast<DWORD>(blue.size())};
        binaries[2] = {RT_GROUP_ICON, 7, group.data(), static_cast<DWORD>(group.size())};
        table = {nullptr, 0, binaries, 3};
        fvt::SetResourceTable(&table);
    }
    void TearDown() override { fvt::SetResourceTable(nullptr); }

    // Size and the colour of the middle pixel of a loaded icon.
    std::pair<int, std::uint32_t> Look(HICON icon) {
        ICONINFO info{};
        if (!icon || !GetIconInfo(icon, &info)) return {0, 0};
        BITMAP bitmap{};
        GetObjectW(info.hbmColor, sizeof bitmap, &bitmap);
        auto surface = GdiBitmapSurface(info.hbmColor);
        std::uint32_t middle =
            surface ? surface->GetPixel(bitmap.bmWidth / 2, bitmap.bmHeight / 2) : 0;
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(icon);
        return {bitmap.bmWidth, middle & 0xFFFFFF};
    }
    HICON Load(int size) {
        return static_cast<HICON>(
            LoadImageW(nullptr, MAKEINTRESOURCEW(7), IMAGE_ICON, size, size, 0));
    }

    fvt::test::TempDevice device;
    std::vector<BYTE> red, blue, group;
    fvt::BinaryResource binaries[3];
    fvt::ResourceTable table;
};

}  // namespace

TEST_F(IconResources, ExactSizesPickTheirOwnImage) {
    auto small = Look(Load(16));
    auto large = Look(Load(32));
    EXPECT_EQ(small.first, 16);
    EXPECT_EQ(large.first, 32);
    EXPECT_NE(small.second, large.second);
}

TEST_F(IconResources, OtherSizesScaleTheNearestLargerOrTheLargest) {
    auto large = Look(Load(32)).second;
    EXPECT_EQ(Look(Load(24)), std::make_pair(24, large));
    EXPECT_EQ(Look(Load(48)), std::make_pair(48, large));
    EXPECT_EQ(Look(LoadIconW(nullptr, MAKEINTRESOURCEW(7))), std::make_pair(32, large));
}

TEST_F(IconResources, DefaultSizeFollowsTheScreensDpi) {
    fvt::test::TempDevice highRes("screen = 480x640@192\n");
    EXPECT_EQ(Look(LoadIconW(nullptr, MAKEINTRESOURCEW(7))).first, 64);
}

TEST_F(IconResources, MissingOrBrokenIconsGiveNull) {
    EXPECT_EQ(LoadIconW(nullptr, MAKEINTRESOURCEW(8)), nullptr);
    EXPECT_EQ(LoadImageW(nullptr, MAKEINTRESOURCEW(7), IMAGE_BITMAP, 0, 0, 0), nullptr);
    EXPECT_EQ(LoadAcceleratorsW(nullptr, MAKEINTRESOURCEW(211)), nullptr);
    blue.assign(blue.size(), 0);  // the 32-pixel image is no PNG any more
    EXPECT_EQ(Load(32), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_DATA);
    group.resize(4);  // no entry count
    binaries[2].size = 4;
    EXPECT_EQ(Load(16), nullptr);
}

TEST(CompiledIcons, EveryGroupHasTheLayoutIconReadersParse) {
    const fvt::ResourceTable& table = fvt::CompiledResources();
    bool applicationIcon = false;
    for (size_t i = 0; i < table.binaryCount; ++i) {
        const auto& r = table.binaries[i];
        if (r.type != RT_GROUP_ICON) continue;
        applicationIcon = applicationIcon || r.id == 126;
        ASSERT_GE(r.size, 6u);
        size_t count = r.data[4] | (r.data[5] << 8);
        ASSERT_EQ(r.size, 6 + 14 * count) << r.id;
        int previous = 0;
        for (size_t k = 0; k < count; ++k) {
            const BYTE* e = r.data + 6 + 14 * k;
            EXPECT_EQ(e[0], e[1]);
            EXPECT_GT(int(e[0]), previous);  // smallest first: entry 1 is the high-res one
            previous = e[0];
            WORD image = static_cast<WORD>(e[12] | (e[13] << 8));
            HRSRC found =
                FindResourceW(nullptr, MAKEINTRESOURCEW(image), MAKEINTRESOURCEW(RT_ICON));
            ASSERT_NE(found, nullptr);
            DWORD bytes = e[8] | (e[9] << 8) | (e[10] << 16) | (DWORD(e[11]) << 24);
            EXPECT_EQ(SizeofResource(nullptr, found), bytes);
        }
    }
    if (table.binaryCount > 0) {
        EXPECT_TRUE(applicationIcon);
    }
}

TEST(CompiledIcons, ApplicationIconLoadsAtBothSizes) {
    if (!FindResourceW(nullptr, MAKEINTRESOURCEW(126), MAKEINTRESOURCEW(RT_GROUP_ICON))) {
        GTEST_SKIP() << "no icons compiled in";
    }
    for (int size : {16, 32}) {
        HICON icon = static_cast<HICON>(
            LoadImageW(nullptr, MAKEINTRESOURCEW(126), IMAGE_ICON, size, size, 0));
        EXPECT_NE(icon, nullptr) << size;
        if (icon) DestroyIcon(icon);
    }
}

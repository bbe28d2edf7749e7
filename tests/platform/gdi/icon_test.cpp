#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "gdi_fixture.h"
#include "support/platform/temp_folder.h"

using namespace gdi_test;

namespace {

// A 2x2 icon: red top-left, transparent top-right, blue half-transparent bottom row.
HICON TestIcon() {
    const std::uint32_t px[4] = {0xFFFF0000, 0x00000000, 0x800000FF, 0x800000FF};
    return GdiCreateIconFromPixels(2, 2, px);
}

}  // namespace

TEST(Icons, DrawnMaskedAtTheirOwnSize) {
    Canvas c(4, 4);
    HICON icon = TestIcon();
    ASSERT_NE(icon, nullptr);
    EXPECT_TRUE(DrawIconEx(c.dc(), 1, 1, icon, 0, 0, 0, nullptr, DI_NORMAL));
    EXPECT_EQ(c.At(1, 1), kRed);
    EXPECT_EQ(c.At(2, 1), kWhite);
    EXPECT_EQ(c.At(1, 2), RGB(127, 127, 255));
    EXPECT_EQ(c.InkBox(kWhite), (RECT{1, 1, 3, 3}));
    EXPECT_TRUE(DestroyIcon(icon));
    EXPECT_FALSE(DestroyIcon(icon));
    EXPECT_FALSE(DrawIconEx(c.dc(), 0, 0, icon, 0, 0, 0, nullptr, DI_NORMAL));
}

TEST(Icons, FromColourAndMaskBitmaps) {
    Canvas color(2, 1);
    color.Clear(kRed);
    const std::uint8_t maskBits[2] = {0x40, 0x00};  // right pixel transparent
    HBITMAP mask = CreateBitmap(2, 1, 1, 1, maskBits);
    ICONINFO info{TRUE, 0, 0, mask, color.bitmap()};
    HICON icon = CreateIconIndirect(&info);
    ASSERT_NE(icon, nullptr);
    Canvas c(2, 1);
    c.Clear(kBlue);
    DrawIcon(c.dc(), 0, 0, icon);
    EXPECT_EQ(c.Row(0, kRed), "#.");
    EXPECT_EQ(c.Row(0, kBlue), ".#");
    ICONINFO back{};
    ASSERT_TRUE(GetIconInfo(icon, &back));
    DeleteObject(back.hbmColor);
    DeleteObject(back.hbmMask);
    DestroyIcon(icon);
    DeleteObject(mask);
    ICONINFO bad{TRUE, 0, 0, nullptr, reinterpret_cast<HBITMAP>(mask)};
    EXPECT_EQ(CreateIconIndirect(&bad), nullptr);
}

TEST(ImageList, IconsAreAddedScaledAndDrawnTransparent) {
    HIMAGELIST list = ImageList_Create(4, 4, ILC_MASK | ILC_COLOR32, 2, 0);
    ASSERT_NE(list, nullptr);
    HICON icon = TestIcon();
    EXPECT_EQ(ImageList_ReplaceIcon(list, -1, icon), 0);
    EXPECT_EQ(ImageList_ReplaceIcon(list, -1, icon), 1);
    EXPECT_EQ(ImageList_ReplaceIcon(list, 5, icon), -1);
    EXPECT_EQ(ImageList_GetImageCount(list), 2);
    int w = 0, h = 0;
    ImageList_GetIconSize(list, &w, &h);
    EXPECT_EQ(w, 4);
    Canvas c(6, 6);
    EXPECT_TRUE(ImageList_Draw(list, 1, c.dc(), 1, 1, ILD_TRANSPARENT));
    EXPECT_EQ(c.Row(1, kRed), ".##...");
    EXPECT_EQ(c.Row(2, kRed), ".##...");
    EXPECT_EQ(c.At(3, 1), kWhite);
    EXPECT_FALSE(ImageList_Draw(list, 2, c.dc(), 0, 0, ILD_NORMAL));
    // A background colour fills the transparent part unless drawn transparent.
    ImageList_SetBkColor(list, kBlack);
    ImageList_Draw(list, 0, c.dc(), 1, 1, ILD_NORMAL);
    EXPECT_EQ(c.At(3, 1), kBlack);
    DestroyIcon(icon);
    EXPECT_TRUE(ImageList_Destroy(list));
    EXPECT_EQ(ImageList_GetImageCount(list), 0);
    EXPECT_EQ(ImageList_Create(0, 16, ILC_MASK, 1, 0), nullptr);
}

TEST(ImageList, StripsOfBitmapsSplitIntoImages) {
    HIMAGELIST list = ImageList_Create(2, 1, ILC_MASK, 1, 1);
    Canvas strip(6, 1);
    SetPixel(strip.dc(), 2, 0, kRed);
    EXPECT_EQ(ImageList_AddMasked(list, strip.bitmap(), kWhite), 0);
    EXPECT_EQ(ImageList_GetImageCount(list), 3);
    Canvas c(2, 1);
    c.Clear(kBlue);
    ImageList_Draw(list, 1, c.dc(), 0, 0, ILD_TRANSPARENT);
    EXPECT_EQ(c.Row(0, kRed), "#.");
    EXPECT_EQ(c.Row(0, kBlue), ".#");
    ImageList_Destroy(list);
}

TEST(Png, AnySurfaceCanBeWrittenAndReplacedWhole) {
    Canvas c(3, 2);
    SetPixel(c.dc(), 0, 0, kRed);
    fvt::test::TempFolder folder;
    ASSERT_FALSE(folder.Path().empty());
    const std::filesystem::path path = folder.File("fvt_gdi_test.png");
    ASSERT_TRUE(GdiSavePng(c.dc(), path.c_str()));
    ASSERT_TRUE(GdiSavePng(c.bitmap(), path.c_str()));
    std::ifstream in(path, std::ios::binary);
    std::vector<unsigned char> data((std::istreambuf_iterator<char>(in)), {});
    ASSERT_GT(data.size(), 24u);
    EXPECT_EQ(data[1], 'P');
    EXPECT_EQ(data[2], 'N');
    EXPECT_EQ(data[19], 3);  // width in the header chunk
    EXPECT_EQ(data[23], 2);  // height
    EXPECT_FALSE(std::filesystem::exists(path.string() + ".tmp"));
    std::filesystem::remove(path);
    EXPECT_FALSE(GdiSavePng(c.dc(), "/nonexistent-folder/x.png"));
    EXPECT_FALSE(GdiSavePng(nullptr, path.c_str()));
}

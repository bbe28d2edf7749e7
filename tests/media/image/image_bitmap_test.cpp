// Display bitmaps (decoded into device bitmaps, read back pixel by pixel) and icon images.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "media/image/icon_image.h"
#include "media/image/image_bitmap.h"
#include "platform/resources/device_resources.h"
#include "support/media/image/picture_fixtures.h"
#include "support/platform/temp_folder.h"

using fvt::test::Rgb;

namespace {

class Surface : public DrawSurface {
public:
    Surface() : dc_(CreateCompatibleDC(nullptr)) {}
    ~Surface() { DeleteDC(dc_); }
    HDC BeginDraw() override {
        ++begins;
        return withDC ? dc_ : nullptr;
    }
    void EndDraw() override { ++ends; }
    int begins = 0, ends = 0;
    bool withDC = true;

private:
    HDC dc_;
};

class Bytes : public ImageData {
public:
    explicit Bytes(std::vector<std::uint8_t> b) : bytes(std::move(b)) {}
    bool OpenData(const std::uint8_t** data, std::uint32_t* length) override {
        *data = bytes.empty() ? nullptr : bytes.data();
        *length = std::uint32_t(bytes.size());
        return true;
    }
    void ReleaseData() override { ++released; }
    std::vector<std::uint8_t> bytes;
    int released = 0;
};

std::vector<Rgb> Colours(int n) {
    std::vector<Rgb> p;
    for (int i = 0; i < n; ++i)
        p.push_back(Rgb{std::uint8_t(i * 40), std::uint8_t(200 - i * 9), std::uint8_t(i * 13)});
    return p;
}

void ExpectPicture(HDC dc, std::uint32_t w, std::uint32_t h, const std::vector<std::uint8_t>& px,
                   const std::vector<Rgb>& pal) {
    for (std::uint32_t y = 0; y < h; ++y)
        for (std::uint32_t x = 0; x < w; ++x) {
            Rgb c = pal[px[y * w + x]];
            ASSERT_EQ(GetPixel(dc, int(x), int(y)), RGB(c.r, c.g, c.b)) << x << "," << y;
        }
}

}  // namespace

TEST(ImageBitmap, GifRowsLandAtTheirTrueRows) {
    for (int colours : {2, 16, 256}) {
        for (bool interlaced : {false, true}) {
            fvt::test::GifSpec s;
            s.width = 7;
            s.height = 11;
            s.palette = Colours(colours > 16 ? 16 : colours);
            if (colours == 256) s.palette.resize(256, Rgb{1, 2, 3});
            s.interlaced = interlaced;
            for (std::uint32_t i = 0; i < 77; ++i)
                s.pixels.push_back(std::uint8_t(i % (colours > 16 ? 16 : colours)));
            Surface surface;
            Bytes bytes(fvt::test::WriteGif(s));
            ImageBitmap bitmap(&surface);
            ASSERT_TRUE(bitmap.Load(&bytes));
            EXPECT_EQ(bitmap.RowColoursUsed(), std::uint32_t(colours));
            EXPECT_EQ(bitmap.Height(), 11u);
            ExpectPicture(bitmap.FullDC(), 7, 11, s.pixels, s.palette);
            EXPECT_EQ(bytes.released, 1);
            EXPECT_EQ(surface.begins, surface.ends);
        }
    }
}

TEST(ImageBitmap, RleSpansKeepTheirColumnsAndGapsStayWhite) {
    fvt::test::BmpSpec s;
    s.width = 8;
    s.height = -2;
    s.palette = Colours(4);
    s.compression = 1;
    s.rle = {0, 2, 3, 0, 2, 1, 0, 0, 8, 2, 0, 1};
    Surface surface;
    Bytes bytes(fvt::test::WriteBmp(s));
    ImageBitmap bitmap(&surface);
    ASSERT_TRUE(bitmap.Load(&bytes));
    HDC dc = bitmap.FullDC();
    EXPECT_EQ(GetPixel(dc, 2, 0), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(dc, 3, 0), RGB(40, 191, 13));
    EXPECT_EQ(GetPixel(dc, 4, 0), RGB(40, 191, 13));
    EXPECT_EQ(GetPixel(dc, 5, 0), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(dc, 7, 1), RGB(80, 182, 26));
}

TEST(ImageBitmap, BmpAndJpegLoad) {
    fvt::test::BmpSpec s;
    s.width = 5;
    s.height = 3;
    s.bits = 4;
    s.palette = Colours(16);
    for (int i = 0; i < 15; ++i) s.pixels.push_back(std::uint8_t(i));
    Surface surface;
    Bytes bmp(fvt::test::WriteBmp(s));
    ImageBitmap bitmap(&surface);
    ASSERT_TRUE(bitmap.Load(&bmp));
    ExpectPicture(bitmap.FullDC(), 5, 3, s.pixels, s.palette);

    std::vector<std::uint8_t> red(6 * 4 * 3);
    for (std::size_t i = 0; i < red.size(); i += 3) red[i] = 250;
    Bytes jpeg(fvt::test::WriteJpeg(6, 4, 3, red));
    ASSERT_TRUE(bitmap.Load(&jpeg));
    COLORREF c = GetPixel(bitmap.FullDC(), 5, 3);
    EXPECT_GT(GetRValue(c), 230);
    EXPECT_LT(GetGValue(c), 20);
}

TEST(ImageBitmap, FailuresLeaveNothingBehind) {
    Surface surface;
    ImageBitmap bitmap(&surface);
    Bytes junk(std::vector<std::uint8_t>(40, 7));
    EXPECT_FALSE(bitmap.Load(&junk));
    EXPECT_EQ(bitmap.FullDC(), nullptr);
    EXPECT_EQ(junk.released, 1);
    Bytes none({});
    EXPECT_FALSE(bitmap.Load(&none));
    EXPECT_FALSE(bitmap.Load(nullptr));
    auto jpeg = fvt::test::WriteJpeg(8, 8, 3, fvt::test::Gradient(8, 8));
    jpeg[jpeg.size() / 2] = 0xFF;
    jpeg[jpeg.size() / 2 + 1] = 0xC3;  // an unsupported marker in the middle of the data
    for (std::size_t i = 20; i < 40; ++i) jpeg[i] = 0xFF;  // broken tables
    Bytes bad(jpeg);
    EXPECT_FALSE(bitmap.Load(&bad));
    EXPECT_EQ(bitmap.FullBitmap(), nullptr);
    surface.withDC = false;
    fvt::test::GifSpec s;
    s.width = s.height = 2;
    s.palette = Colours(2);
    s.pixels = {0, 1, 1, 0};
    Bytes gif(fvt::test::WriteGif(s));
    EXPECT_FALSE(bitmap.Load(&gif));
    EXPECT_EQ(surface.begins, surface.ends);
}

TEST(ImageBitmap, ScaledCopyOnlyWhenSmaller) {
    fvt::test::GifSpec s;
    s.width = 8;
    s.height = 6;
    s.palette = Colours(4);
    s.pixels.assign(48, 2);
    Surface surface;
    Bytes gif(fvt::test::WriteGif(s));
    ImageBitmap bitmap(&surface);
    ASSERT_TRUE(bitmap.Load(&gif));
    EXPECT_EQ(bitmap.MakeScaled(SIZE{8, 6}, SIZE{9, 6}), nullptr);
    EXPECT_EQ(bitmap.ScaledDC(), nullptr);
    HDC scaled = bitmap.MakeScaled(SIZE{8, 6}, SIZE{4, 3});
    ASSERT_NE(scaled, nullptr);
    EXPECT_EQ(GetPixel(scaled, 3, 2), RGB(80, 182, 26));
    bitmap.Release();
    EXPECT_EQ(bitmap.ScaledDC(), nullptr);
    EXPECT_EQ(bitmap.FullDC(), nullptr);
}

namespace {

std::vector<std::uint8_t> Png(int size) {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bm = CreateCompatibleBitmap(dc, size, size);
    HGDIOBJ old = SelectObject(dc, bm);
    PatBlt(dc, 0, 0, size, size, BLACKNESS);
    fvt::test::TempFolder folder;
    const std::string path = folder.File("icon" + std::to_string(size) + ".png");
    GdiSavePng(dc, path.c_str());
    SelectObject(dc, old);
    DeleteObject(bm);
    DeleteDC(dc);
    return fvt::test::ReadFileBytes(path);
}

std::vector<std::uint8_t> Group(std::vector<std::pair<int, int>> entries) {
    std::vector<std::uint8_t> d = {0, 0, 1, 0, std::uint8_t(entries.size()), 0};
    for (auto [size, id] : entries) {
        d.insert(d.end(), {std::uint8_t(size), std::uint8_t(size), 0, 0, 1, 0, 32, 0, 0, 0, 0, 0,
                           std::uint8_t(id), 0});
    }
    return d;
}

}  // namespace

TEST(IconImage, SizeFollowsTheScreenResolution) {
    auto small = Png(16), large = Png(32);
    auto twin = Group({{16, 101}, {32, 102}});
    auto single = Group({{24, 103}});
    auto png24 = Png(24);
    fvt::BinaryResource binaries[] = {
        {RT_ICON, 101, small.data(), DWORD(small.size())},
        {RT_ICON, 102, large.data(), DWORD(large.size())},
        {RT_ICON, 103, png24.data(), DWORD(png24.size())},
        {RT_GROUP_ICON, 7, twin.data(), DWORD(twin.size())},
        {RT_GROUP_ICON, 8, single.data(), DWORD(single.size())},
    };
    fvt::ResourceTable table{nullptr, 0, binaries, 5};
    fvt::SetResourceTable(&table);
    for (auto [dpi, id, want] : {std::tuple{96, 7, 16},
                                 {129, 7, 16},
                                 {130, 7, 32},
                                 {192, 7, 32},
                                 {96, 8, 24},
                                 {192, 8, 24}}) {
        IconImage* icon = IconImage::Create(IconHost{nullptr, dpi}, WORD(id));
        ASSERT_NE(icon, nullptr) << dpi << " " << id;
        SIZE size{};
        bool scalable = false;
        EXPECT_TRUE(icon->GetSize(&size, &scalable));
        EXPECT_EQ(size.cx, want);
        EXPECT_EQ(size.cy, want);
        EXPECT_TRUE(scalable);
        EXPECT_EQ(icon->Kind(), 9);
        const std::uint8_t* b = reinterpret_cast<const std::uint8_t*>(1);
        std::uint32_t n = 5;
        EXPECT_TRUE(icon->FetchData(&b, &n));
        EXPECT_EQ(b, nullptr);
        delete icon;
    }
    EXPECT_EQ(IconImage::Create(IconHost{nullptr, 96}, 9), nullptr);

    IconImage* icon = IconImage::Create(IconHost{nullptr, 96}, 7);
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bm = CreateCompatibleBitmap(dc, 40, 40);
    HGDIOBJ old = SelectObject(dc, bm);
    PatBlt(dc, 0, 0, 40, 40, WHITENESS);
    RECT r{10, 10, 26, 26}, clip{10, 10, 18, 26};
    EXPECT_TRUE(icon->Draw(dc, r, &clip));
    EXPECT_EQ(GetPixel(dc, 12, 12), RGB(0, 0, 0));
    EXPECT_EQ(GetPixel(dc, 20, 12), RGB(255, 255, 255));
    SelectObject(dc, old);
    DeleteObject(bm);
    DeleteDC(dc);
    delete icon;
    fvt::SetResourceTable(nullptr);
}

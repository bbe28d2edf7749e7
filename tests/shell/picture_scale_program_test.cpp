// Pictures on a denser screen: at 192 dpi the text is drawn twice as large, and so are the
// pictures of a page (GIF, BMP and JPEG alike), still fitted to the column's width.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "shell/program_runs.h"
#include "support/media/image/picture_fixtures.h"
#include "support/platform/temp_device.h"
#include "support/shell/program_launcher.h"

namespace fvt::test {
namespace {

// The box of the screenshot's pixels near the colour `rgb` (0xRRGGBB): where a picture of
// that one colour was drawn.
struct Box {
    int left = 1 << 20, top = 1 << 20, right = -1, bottom = -1;
    int Width() const { return right < left ? 0 : right - left + 1; }
    int Height() const { return bottom < top ? 0 : bottom - top + 1; }
};

Box BoxOf(const Picture& shot, uint32_t rgb) {
    auto near = [](int a, int b) { return a - b < 40 && b - a < 40; };
    Box box;
    for (int y = 0; y < shot.height; ++y)
        for (int x = 0; x < shot.width; ++x) {
            const uint32_t p = shot.At(x, y);  // RGBA, red in the low byte
            if (!near(static_cast<int>(p & 0xFF), static_cast<int>(rgb >> 16 & 0xFF)) ||
                !near(static_cast<int>(p >> 8 & 0xFF), static_cast<int>(rgb >> 8 & 0xFF)) ||
                !near(static_cast<int>(p >> 16 & 0xFF), static_cast<int>(rgb & 0xFF)))
                continue;
            box.left = std::min(box.left, x);
            box.right = std::max(box.right, x);
            box.top = std::min(box.top, y);
            box.bottom = std::max(box.bottom, y);
        }
    return box;
}

std::string Bytes(const std::vector<uint8_t>& b) { return std::string(b.begin(), b.end()); }

std::string OneColourGif(uint32_t w, uint32_t h, Rgb colour) {
    GifSpec g;
    g.width = w;
    g.height = h;
    g.palette = {colour, {255, 255, 255}};
    g.pixels.assign(static_cast<size_t>(w) * h, 0);
    return Bytes(WriteGif(g));
}

// The first screen of a page holding a 40x30 red GIF, a 30x20 blue JPEG and a green GIF wider
// than any column, one per paragraph.
Picture FirstScreen(const std::string& screen) {
    TempDevice device;
    EXPECT_TRUE(device.ok());
    device.WriteHost("storage/eBooks/red.gif", OneColourGif(40, 30, {255, 0, 0}));
    std::vector<uint8_t> blue(30 * 20 * 3, 0);
    for (size_t i = 2; i < blue.size(); i += 3) blue[i] = 255;
    device.WriteHost("storage/eBooks/blue.jpg", Bytes(WriteJpeg(30, 20, 3, blue)));
    device.WriteHost("storage/eBooks/green.gif", OneColourGif(600, 10, {0, 160, 0}));
    device.WriteHost("storage/eBooks/pictures.htm",
                     "<html><body><p>Red:</p><p><img src=\"red.gif\"></p><p>Blue:</p><p><img "
                     "src=\"blue.jpg\"></p><p><img src=\"green.gif\"></p></body></html>");
    const std::string shot = device.OutsidePath("shot.png");
    EXPECT_EQ(RunSteps(device, {"\\storage\\eBooks\\pictures.htm"},
                       "idle\nscreenshot " + shot + "\nquit\n", {"FOLIVANT_SCREEN=" + screen})
                  .status,
              0);
    return ReadPicture(shot);
}

TEST(ProgramPictures, PicturesGrowWithTheScreensDensityAsTheTextDoes) {
    const Picture normal = FirstScreen("240x320");
    const Picture dense = FirstScreen("480x640@192");
    ASSERT_EQ(normal.width, 240);
    ASSERT_EQ(dense.width, 480);

    // At 96 dpi a picture is its own size; at 192 twice that.
    const Box red = BoxOf(normal, 0xFF0000), redDense = BoxOf(dense, 0xFF0000);
    EXPECT_EQ(red.Width(), 40);
    EXPECT_EQ(red.Height(), 30);
    EXPECT_EQ(redDense.Width(), 80);
    EXPECT_EQ(redDense.Height(), 60);
    const Box blue = BoxOf(normal, 0x0000FF), blueDense = BoxOf(dense, 0x0000FF);
    EXPECT_EQ(blue.Width(), 30);
    EXPECT_EQ(blue.Height(), 20);
    EXPECT_EQ(blueDense.Width(), 60);
    EXPECT_EQ(blueDense.Height(), 40);

    // One wider than the column is fitted to it on either screen: half the dense one's width.
    const Box green = BoxOf(normal, 0x00A000), greenDense = BoxOf(dense, 0x00A000);
    EXPECT_GT(green.Width(), 150);
    EXPECT_LT(green.Width(), 240);
    EXPECT_LT(greenDense.Width(), 480);
    EXPECT_NEAR(greenDense.Width(), 2 * green.Width(), 2);
}

// A photograph with smooth shapes and grain, far larger than either screen: rows top first, RGB.
std::vector<uint8_t> Photograph(uint32_t w, uint32_t h) {
    std::vector<uint8_t> v(static_cast<size_t>(w) * h * 3);
    uint32_t seed = 12345;
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) {
            seed = seed * 1103515245u + 12345u;
            uint8_t* p = &v[(static_cast<size_t>(y) * w + x) * 3];
            p[0] = static_cast<uint8_t>(x / 15 + (seed >> 28));
            p[1] = static_cast<uint8_t>(y / 11 + (seed >> 29));
            p[2] = static_cast<uint8_t>((x ^ y) / 9);
        }
    return v;
}

// What a page holding the photograph `jpeg` shows first, and the picture opened from it by a tap.
std::pair<Picture, Picture> PhotographScreens(const std::vector<uint8_t>& jpeg,
                                              const std::string& screen, const std::string& tap) {
    TempDevice device;
    EXPECT_TRUE(device.ok());
    device.WriteHost("storage/eBooks/photo.jpg", Bytes(jpeg));
    device.WriteHost("storage/eBooks/photo.htm",
                     "<html><body><p><img src=\"photo.jpg\"></p><p>The harbour at dusk.</p>"
                     "</body></html>");
    const std::string page = device.OutsidePath("page.png"),
                      opened = device.OutsidePath("open.png");
    EXPECT_EQ(RunSteps(device, {"\\storage\\eBooks\\photo.htm"},
                       "idle\nscreenshot " + page + "\ntap " + tap + "\nidle\nscreenshot " +
                           opened + "\nquit\n",
                       {"FOLIVANT_SCREEN=" + screen})
                  .status,
              0);
    return {ReadPicture(page), ReadPicture(opened)};
}

// A photograph drawn at an eighth of its size or less is decoded at 1/8; a progressive one then
// keeps only what that scale needs of its coefficients. Its page looks exactly as the page of the
// same photograph written as a baseline JPEG (the two files hold the same coefficients), at either
// screen, and a tap opens it at full size as the baseline one opens.
TEST(ProgramPictures, AProgressivePhotographLooksAsItsBaselineCopy) {
    const uint32_t w = 3712, h = 2784;  // drawn 224 or 464 pixels wide: 1/8 covers both
    const std::vector<uint8_t> photo = Photograph(w, h);
    const std::vector<uint8_t> progressive = WriteJpeg(w, h, 3, photo, 90, true, true);
    const std::vector<uint8_t> baseline = WriteJpeg(w, h, 3, photo, 90, true, false);
    // A quarter of the way across and down each screen: on the photograph.
    for (auto [screen, tap] : {std::pair{"240x320", "60 80"}, {"480x640@192", "120 160"}}) {
        const auto [page, open] = PhotographScreens(progressive, screen, tap);
        const auto [pageWanted, openWanted] = PhotographScreens(baseline, screen, tap);
        ASSERT_GT(page.width, 0) << screen;
        ASSERT_EQ(page.pixels.size(), pageWanted.pixels.size()) << screen;
        EXPECT_TRUE(page.pixels == pageWanted.pixels) << screen;
        ASSERT_EQ(open.pixels.size(), openWanted.pixels.size()) << screen;
        EXPECT_TRUE(open.pixels == openWanted.pixels) << screen;
        // The photograph is on the page, and the tap opened another screen.
        int photoRows = 0;
        for (int y = 0; y < page.height; ++y)
            if ((page.At(page.width / 2, y) & 0xFFFFFF) != 0xFFFFFF) ++photoRows;
        EXPECT_GT(photoRows, page.height / 3) << screen;
        EXPECT_FALSE(page.pixels == open.pixels) << screen;
    }
}

}  // namespace
}  // namespace fvt::test

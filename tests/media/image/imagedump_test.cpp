// imagedump, run as a program.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "media/image/cx_image.h"
#include "support/media/image/picture_fixtures.h"
#include "support/platform/temp_folder.h"

namespace {

int RunImagedump(const std::string& args) {
    std::string cmd = std::string(IMAGEDUMP_PATH) + " " + args + " 2>/dev/null";
    int status = std::system(cmd.c_str());
    return WEXITSTATUS(status);
}

}  // namespace

TEST(Imagedump, WritesThePictureAsPpm) {
    fvt::test::TempFolder folder;
    ASSERT_FALSE(folder.Path().empty());
    const std::string dir = folder.Path() + "/";
    fvt::test::GifSpec s;
    s.width = 3;
    s.height = 2;
    s.palette = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {9, 9, 9}};
    s.pixels = {0, 1, 2, 3, 2, 1};
    ASSERT_TRUE(fvt::test::WriteFileBytes(dir + "in.gif", fvt::test::WriteGif(s)));
    ASSERT_EQ(RunImagedump(dir + "in.gif " + dir + "out.ppm"), 0);
    auto ppm = fvt::test::ReadFileBytes(dir + "out.ppm");
    std::string header = "P6\n3 2\n255\n";
    ASSERT_EQ(ppm.size(), header.size() + 18);
    EXPECT_EQ(std::string(ppm.begin(), ppm.begin() + long(header.size())), header);
    EXPECT_EQ(ppm[header.size() + 3 * 3 + 0], 9);
    EXPECT_EQ(ppm[header.size() + 3 * 1 + 1], 255);

    auto jpeg = fvt::test::WriteJpeg(100, 60, 3, fvt::test::Gradient(100, 60));
    ASSERT_TRUE(fvt::test::WriteFileBytes(dir + "in.jpg", jpeg));
    ASSERT_EQ(RunImagedump("--fit 20x20 " + dir + "in.jpg " + dir + "fit.ppm"), 0);
    auto fit = fvt::test::ReadFileBytes(dir + "fit.ppm");
    std::string fitHeader = "P6\n20 12\n255\n";
    EXPECT_EQ(std::string(fit.begin(), fit.begin() + long(fitHeader.size())), fitHeader);
    EXPECT_EQ(fit.size(), fitHeader.size() + 20 * 12 * 3);
}

TEST(Imagedump, FitScalesGifWhileDecoding) {
    fvt::test::TempFolder folder;
    ASSERT_FALSE(folder.Path().empty());
    const std::string dir = folder.Path() + "/";
    fvt::test::GifSpec s;
    s.width = 8;
    s.height = 4;
    s.palette = {{0, 0, 0}, {255, 255, 255}};
    for (int i = 0; i < 32; ++i) s.pixels.push_back(std::uint8_t(1 - (i % 8) % 2));
    ASSERT_TRUE(fvt::test::WriteFileBytes(dir + "fit.gif", fvt::test::WriteGif(s)));
    ASSERT_EQ(RunImagedump("--fit 4x4 " + dir + "fit.gif " + dir + "fitgif.ppm"), 0);
    auto ppm = fvt::test::ReadFileBytes(dir + "fitgif.ppm");
    std::string header = "P6\n4 2\n255\n";
    ASSERT_EQ(ppm.size(), header.size() + 4 * 2 * 3);
    // Columns 0, 2, 4, 6 (white) are kept: the scale accumulator starts at half a step.
    for (std::size_t i = header.size(); i < ppm.size(); ++i) EXPECT_EQ(ppm[i], 255) << i;
}

// A full-size picture is written as it decodes (colour rows straight to the file, grey through
// the stored picture): either way the file holds what the picture decodes to, and a failed
// write leaves no file behind.
TEST(Imagedump, FullSizeJpegsAreWrittenAsTheyDecode) {
    fvt::test::TempFolder folder;
    ASSERT_FALSE(folder.Path().empty());
    const std::string dir = folder.Path() + "/";
    const std::uint32_t w = 45, h = 13;
    std::vector<std::uint8_t> grey(std::size_t(w) * h);
    for (std::size_t i = 0; i < grey.size(); ++i) grey[i] = std::uint8_t(i * 7);
    for (int components : {3, 1}) {
        auto jpeg = components == 3
                        ? fvt::test::WriteJpeg(w, h, 3, fvt::test::Gradient(w, h), 90, true)
                        : fvt::test::WriteJpeg(w, h, 1, grey);
        ASSERT_TRUE(fvt::test::WriteFileBytes(dir + "full.jpg", jpeg));
        ASSERT_EQ(RunImagedump(dir + "full.jpg " + dir + "full.ppm"), 0) << components;
        auto ppm = fvt::test::ReadFileBytes(dir + "full.ppm");
        const std::string header = "P6\n45 13\n255\n";
        ASSERT_EQ(ppm.size(), header.size() + w * h * 3) << components;
        EXPECT_EQ(std::string(ppm.begin(), ppm.begin() + long(header.size())), header);
        CxImage image;
        ASSERT_TRUE(image.DecodeMemory(jpeg.data(), std::uint32_t(jpeg.size()), 1));
        for (std::uint32_t y = 0; y < h; ++y)
            for (std::uint32_t x = 0; x < w; ++x) {
                RGBQUAD c = image.GetPixelColor(std::int32_t(x), std::int32_t(h - 1 - y));
                const std::uint8_t* p = &ppm[header.size() + (std::size_t(y) * w + x) * 3];
                ASSERT_EQ(p[0], c.rgbRed) << components << " " << x << "," << y;
                ASSERT_EQ(p[1], c.rgbGreen);
                ASSERT_EQ(p[2], c.rgbBlue);
            }
        EXPECT_EQ(RunImagedump(dir + "full.jpg " + dir + "missing-folder/full.ppm"), 1);
        EXPECT_TRUE(fvt::test::ReadFileBytes(dir + "missing-folder/full.ppm.tmp").empty());
    }
}

TEST(Imagedump, BadInputExitsWithOne) {
    fvt::test::TempFolder folder;
    ASSERT_FALSE(folder.Path().empty());
    const std::string dir = folder.Path() + "/";
    ASSERT_TRUE(fvt::test::WriteFileBytes(dir + "bad.gif", {'G', 'I', 'F', '8', '9', 'a', 0}));
    EXPECT_EQ(RunImagedump(dir + "bad.gif " + dir + "bad.ppm"), 1);
    EXPECT_EQ(RunImagedump(dir + "missing.bmp " + dir + "bad.ppm"), 1);
    EXPECT_EQ(RunImagedump("--fit 0x3 a b"), 2);
}

// A JPEG is read from the file as it decodes (its header once for the size, then again from the
// start): a progressive, subsampled one comes out as the picture decodes in memory, at full
// size and fitted; a file cut inside its header or empty fails with no output left behind.
TEST(Imagedump, ProgressiveJpegsAreReadFromTheFile) {
    fvt::test::TempFolder folder;
    ASSERT_FALSE(folder.Path().empty());
    const std::string dir = folder.Path() + "/";
    const std::uint32_t w = 70, h = 33;
    auto jpeg = fvt::test::WriteJpeg(w, h, 3, fvt::test::Gradient(w, h), 90, true, true);
    ASSERT_TRUE(fvt::test::WriteFileBytes(dir + "prog.jpg", jpeg));
    ASSERT_EQ(RunImagedump(dir + "prog.jpg " + dir + "prog.ppm"), 0);
    auto ppm = fvt::test::ReadFileBytes(dir + "prog.ppm");
    const std::string header = "P6\n70 33\n255\n";
    ASSERT_EQ(ppm.size(), header.size() + w * h * 3);
    CxImage image;
    ASSERT_TRUE(image.DecodeMemory(jpeg.data(), std::uint32_t(jpeg.size()), 1));
    for (std::uint32_t y = 0; y < h; ++y)
        for (std::uint32_t x = 0; x < w; ++x) {
            RGBQUAD c = image.GetPixelColor(std::int32_t(x), std::int32_t(h - 1 - y));
            const std::uint8_t* p = &ppm[header.size() + (std::size_t(y) * w + x) * 3];
            ASSERT_EQ(p[0], c.rgbRed) << x << "," << y;
            ASSERT_EQ(p[1], c.rgbGreen);
            ASSERT_EQ(p[2], c.rgbBlue);
        }
    ASSERT_EQ(RunImagedump("--fit 35x35 " + dir + "prog.jpg " + dir + "progfit.ppm"), 0);
    auto fit = fvt::test::ReadFileBytes(dir + "progfit.ppm");
    const std::string fitHeader = "P6\n35 16\n255\n";
    ASSERT_EQ(fit.size(), fitHeader.size() + 35 * 16 * 3);
    EXPECT_EQ(std::string(fit.begin(), fit.begin() + long(fitHeader.size())), fitHeader);

    const std::vector<std::uint8_t> cut(jpeg.begin(), jpeg.begin() + 40);
    ASSERT_TRUE(fvt::test::WriteFileBytes(dir + "cut.jpg", cut));
    EXPECT_EQ(RunImagedump(dir + "cut.jpg " + dir + "cut.ppm"), 1);
    EXPECT_TRUE(fvt::test::ReadFileBytes(dir + "cut.ppm").empty());
    ASSERT_TRUE(fvt::test::WriteFileBytes(dir + "empty.jpg", {}));
    EXPECT_EQ(RunImagedump(dir + "empty.jpg " + dir + "empty.ppm"), 1);
    ASSERT_TRUE(fvt::test::WriteFileBytes(dir + "two.gif", {'G', 'I'}));
    EXPECT_EQ(RunImagedump(dir + "two.gif " + dir + "two.ppm"), 1);
}

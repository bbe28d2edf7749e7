// Pictures and sound through the program: an audio book played with the WAV sink under the
// virtual clock, pictures and covers on screen.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bookfiles/book_header.h"
#include "support/bookfiles/book_builder.h"
#include "support/graphics/font_fixture.h"
#include "support/graphics/golden.h"
#include "support/layout/picture_data.h"
#include "support/media/audio_fixtures.h"
#include "support/platform/temp_device.h"
#include "support/shell/program_launcher.h"
#include "shell/program_runs.h"

extern char** environ;

namespace fvt::test {
namespace {

void WriteOutside(const TempDevice& device, const std::string& name,
                  const std::vector<std::uint8_t>& bytes) {
    std::filesystem::create_directories(device.outside());
    std::ofstream(device.outside() + "/" + name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Pixels of a screenshot near the given colour.
int PixelsNear(const std::string& png, int r, int g, int b, int tolerance = 24) {
    std::vector<std::uint8_t> rgb;
    int w = 0, h = 0;
    if (!ReadPng(png, rgb, w, h)) return -1;
    int count = 0;
    for (int i = 0; i < w * h; ++i) {
        const std::uint8_t* p = &rgb[static_cast<std::size_t>(i) * 3];
        if (std::abs(p[0] - r) <= tolerance && std::abs(p[1] - g) <= tolerance &&
            std::abs(p[2] - b) <= tolerance)
            ++count;
    }
    return count;
}

// A book whose first page offers its two tracks (records 1 and 2: a 3.5 s 440 Hz mono tone at
// 22050 Hz, then the same again) behind a link at the top of the page.
bool WriteAudioBook(const TempDevice& device) {
    const auto& tones = fixtures::Tones();
    if (!tones.ready) return false;
    BookBuilder book;
    book.text = ToBytes(
        "<html><body><p><a onclick=\"audio.show('#$1|First tone;#$2|Second tone')\">"
        "LISTEN LISTEN LISTEN LISTEN</a></p><p>Two tones.</p></body></html>");
    book.databaseName = "Tones";
    book.fullName = "Tones";
    book.resources = {tones.mono.ogg, tones.mono.ogg};
    const Bytes bytes = book.Build();
    std::filesystem::create_directories(device.outside());
    std::ofstream(device.outside() + "/tones.prc", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return true;
}

// Pixels of a screenshot that are the played part of the time line's bar (red).
int PlayedBarPixels(const std::string& png) {
    std::vector<std::uint8_t> rgb;
    int w = 0, h = 0;
    if (!ReadPng(png, rgb, w, h)) return -1;
    int count = 0;
    for (int i = 0; i < w * h; ++i) {
        const std::uint8_t* p = &rgb[static_cast<std::size_t>(i) * 3];
        if (p[0] > 150 && p[1] < 80 && p[2] < 80) ++count;
    }
    return count;
}

TEST(AudioInTheProgram, AnAudioBookPlaysBothTracksWholeInOrderAndTheTimeLineFollows) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    if (!WriteAudioBook(device)) GTEST_SKIP() << fixtures::Tones().why;
    const std::string wav = device.outside() + "/out.wav";
    const std::string at2 = device.outside() + "/at2.png", at5 = device.outside() + "/at5.png";
    // The link opens the audio page paused; Play starts it. Each track is 3.5 s long.
    const std::string script = "idle\ntap 60 46\nidle\nmenu 40087\nidle\nadvance 2500\nscreenshot " +
                               at2 + "\nadvance 2100\nscreenshot " + at5 + "\nadvance 5000\nquit\n";
    EXPECT_EQ(RunSteps(device, {device.outside() + "/tones.prc"}, script,
                       {"FOLIVANT_CLOCK=virtual", "FOLIVANT_AUDIO=wav:" + wav})
                  .status,
              0);
    std::uint32_t rate = 0, channels = 0;
    std::vector<std::int16_t> samples;
    ASSERT_TRUE(fixtures::ReadWav(wav, &rate, &channels, &samples));
    EXPECT_EQ(rate, 22050u);
    EXPECT_EQ(channels, 1u);
    std::vector<std::int16_t> track = fixtures::ReadAll(fixtures::OpenVorbis(fixtures::Tones().mono.ogg)->GetStream());
    std::vector<std::int16_t> both = track;
    both.insert(both.end(), track.begin(), track.end());
    EXPECT_EQ(samples.size(), both.size());
    EXPECT_TRUE(samples == both);
    // Two seconds into the first track the bar is further on than a second into the second.
    const int early = PlayedBarPixels(at2), late = PlayedBarPixels(at5);
    EXPECT_GT(late, 0);
    EXPECT_GT(early, late);
}

TEST(AudioInTheProgram, AnOgaFileOpenedByItselfPlaysOnTheAudioPage) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    const auto& tones = fixtures::Tones();
    if (!tones.ready) GTEST_SKIP() << tones.why;
    WriteOutside(device, "tone.oga", tones.mono.ogg);
    const std::string wav = device.outside() + "/out.wav";
    EXPECT_EQ(RunSteps(device, {device.outside() + "/tone.oga"},
                       "idle\nmenu 40087\nidle\nadvance 5000\nquit\n",
                       {"FOLIVANT_CLOCK=virtual", "FOLIVANT_AUDIO=wav:" + wav})
                  .status,
              0);
    std::uint32_t rate = 0, channels = 0;
    std::vector<std::int16_t> samples;
    ASSERT_TRUE(fixtures::ReadWav(wav, &rate, &channels, &samples));
    EXPECT_EQ(samples.size(), tones.mono.frames);
    EXPECT_NEAR(fixtures::ToneFrequency(samples, 1, 0, rate), 440, 2);
}

// A picture or a sound opened by itself has no page of text behind it: Back (the Back key, and
// the left soft key of the picture's bar) leaves it for the library, never for an empty page.
TEST(PicturesInTheProgram, BackFromAPictureOrASoundOpenedByItselfShowsTheLibrary) {
    const auto& tones = fixtures::Tones();
    if (!tones.ready) GTEST_SKIP() << tones.why;
    TempDevice device;
    ASSERT_TRUE(device.ok());
    WriteOutside(device, "tone.oga", tones.mono.ogg);
    WriteOutside(device, "blue.bmp", BmpOfSize(100, 80));
    const std::string o = device.outside() + "/";
    const std::vector<std::string> clock = {"FOLIVANT_CLOCK=virtual"};
    // Nothing read yet: the program starts with the library.
    ASSERT_EQ(RunSteps(device, {}, "idle\nscreenshot " + o + "library.png\nquit\n", clock).status, 0);
    const struct {
        const char* file;
        const char* back;
    } cases[] = {{"blue.bmp", "softkey 1"},
                 {"blue.bmp", "key 0x1b"},
                 {"tone.oga", "softkey 1"},
                 {"tone.oga", "key 0x1b"}};
    for (const auto& c : cases) {
        const std::string before = o + "before.png", after = o + "after.png";
        ASSERT_EQ(RunSteps(device, {o + c.file},
                             "idle\nscreenshot " + before + "\n" + c.back + "\nidle\nscreenshot " +
                                 after + "\nquit\n",
                             clock).status,
                  0)
            << c.file << " " << c.back;
        std::vector<std::uint8_t> shown, library, page;
        int w = 0, h = 0;
        ASSERT_TRUE(ReadPng(after, shown, w, h));
        ASSERT_TRUE(ReadPng(o + "library.png", library, w, h));
        ASSERT_TRUE(ReadPng(before, page, w, h));
        EXPECT_NE(page, library) << c.file;
        EXPECT_EQ(shown, library) << c.file << " " << c.back;
    }
}

TEST(PicturesInTheProgram, APictureFileOpenedByItselfShowsFullScreen) {
    std::vector<std::uint8_t> jpeg(static_cast<std::size_t>(100) * 80 * 3);
    for (std::size_t i = 0; i < jpeg.size(); i += 3) {
        jpeg[i] = 30;
        jpeg[i + 1] = 160;
        jpeg[i + 2] = 60;
    }
    const struct {
        const char* name;
        std::vector<std::uint8_t> bytes;
        int r, g, b;
    } cases[] = {
        {"red.gif", GifOfSize(100, 80), 200, 40, 40},
        {"green.jpg", WriteJpeg(100, 80, 3, jpeg, 95), 30, 160, 60},
        {"blue.bmp", BmpOfSize(100, 80), 40, 40, 200},
    };
    for (const auto& c : cases) {
        TempDevice device;
        ASSERT_TRUE(device.ok());
        WriteOutside(device, c.name, c.bytes);
        const std::string shot = device.outside() + "/shot.png";
        EXPECT_EQ(RunSteps(device, {device.outside() + "/" + c.name},
                           "idle\nscreenshot " + shot + "\nquit\n")
                      .status,
                  0)
            << c.name;
        // The whole picture at its own size.
        EXPECT_GE(PixelsNear(shot, c.r, c.g, c.b), 100 * 80) << c.name;
    }
}

// The picture's bar reads "Close" on its left key, with or without a page behind the picture:
// the bar of a picture opened from a page is the bar of one opened by itself, and Close goes
// back to the page.
TEST(PicturesInTheProgram, ThePicturesLeftKeyReadsCloseWithAPageBehindItOrNot) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    BmpSpec wide;  // wider than the page: a tap on it opens it
    wide.width = 480;
    wide.height = 60;
    wide.palette = {{40, 40, 200}};
    wide.pixels.assign(static_cast<std::size_t>(wide.width) * wide.height, 0);
    const std::vector<std::uint8_t> bmp = WriteBmp(wide);
    device.WriteHost("storage/eBooks/wide.bmp", std::string(bmp.begin(), bmp.end()));
    device.WriteHost("storage/eBooks/page.htm",
                     "<html><body><p><img src=\"wide.bmp\"></p><p>After the picture.</p>"
                     "</body></html>");
    const std::string o = device.outside() + "/";
    for (const char* language : {"en", "fr"}) {
        const std::vector<std::string> env = {std::string("FOLIVANT_LANGUAGE=") + language};
        ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\wide.bmp"},
                           "idle\nscreenshot " + o + "alone.png\nquit\n", env)
                      .status,
                  0);
        ASSERT_EQ(RunSteps(device, {"\\storage\\eBooks\\page.htm"},
                           "idle\ntap 100 50\nidle\nscreenshot " + o +
                               "opened.png\nsoftkey 1\nidle\npagetext " + o + "back.txt\nquit\n",
                           env)
                      .status,
                  0);
        std::vector<std::uint8_t> alone, opened;
        int w = 0, h = 0, w2 = 0, h2 = 0;
        ASSERT_TRUE(ReadPng(o + "alone.png", alone, w, h));
        ASSERT_TRUE(ReadPng(o + "opened.png", opened, w2, h2));
        ASSERT_EQ(w, w2);
        ASSERT_EQ(h, h2);
        // The picture opened from the page fills the screen as the one opened by itself.
        EXPECT_GT(PixelsNear(o + "opened.png", 40, 40, 200), 240 * 50) << language;
        const std::size_t bar = static_cast<std::size_t>(h - 26) * w * 3;
        EXPECT_TRUE(std::equal(alone.begin() + bar, alone.end(), opened.begin() + bar))
            << language;
        const std::string back = ReadFile(o + "back.txt");
        EXPECT_NE(back.find("After the picture."), std::string::npos) << language << back;
    }
}

// Every pixel of a screenshot's rectangle near the colour.
bool AllNear(const std::string& png, int x0, int y0, int x1, int y1, int r, int g, int b) {
    std::vector<std::uint8_t> rgb;
    int w = 0, h = 0;
    if (!ReadPng(png, rgb, w, h)) return false;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            const std::uint8_t* p = &rgb[(static_cast<std::size_t>(y) * w + x) * 3];
            if (std::abs(p[0] - r) > 24 || std::abs(p[1] - g) > 24 || std::abs(p[2] - b) > 24)
                return false;
        }
    return true;
}

TEST(PicturesInTheProgram, TheCoverSitsOnBlackFittedToTheScreen) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    // A cover twice as wide as the screen: red with a green left quarter and a blue right one.
    const std::uint32_t w = 480, h = 160;
    std::vector<std::uint8_t> pixels;
    for (std::uint32_t y = 0; y < h; ++y)
        for (std::uint32_t x = 0; x < w; ++x) {
            const bool left = x < w / 4, right = x >= w * 3 / 4;
            pixels.push_back(left || right ? 0 : 220);
            pixels.push_back(left ? 200 : 0);
            pixels.push_back(right ? 200 : 0);
        }
    BookBuilder book;
    book.text = ToBytes("<html><body><p>The text after the cover.</p></body></html>");
    book.fullName = "Wide";
    book.resources = {WriteJpeg(w, h, 3, pixels, 95)};
    book.exth = {{Exth::kCoverOffset, std::vector<std::uint8_t>{0, 0, 0, 0}}};
    WriteOutside(device, "wide.prc", book.Build());
    const std::string shot = device.outside() + "/cover.png";
    const std::string turned = device.outside() + "/turned.png";
    EXPECT_EQ(RunSteps(device, {device.outside() + "/wide.prc"},
                       "idle\nscreenshot " + shot + "\nrotate 90\nidle\nscreenshot " + turned +
                           "\nquit\n")
                  .status,
              0);
    // Both side quarters show, whole: the picture was scaled to the width, not cut.
    EXPECT_GT(PixelsNear(shot, 0, 200, 0), 1000);
    EXPECT_GT(PixelsNear(shot, 0, 0, 200), 1000);
    EXPECT_GT(PixelsNear(shot, 220, 0, 0), 2000);
    // Above and below it, black.
    EXPECT_TRUE(AllNear(shot, 0, 30, 240, 60, 0, 0, 0));
    EXPECT_TRUE(AllNear(shot, 0, 250, 240, 280, 0, 0, 0));
    // Turned sideways it is fitted to the new width, black above and below.
    EXPECT_GT(PixelsNear(turned, 0, 200, 0), 2000);
    EXPECT_GT(PixelsNear(turned, 0, 0, 200), 2000);
    EXPECT_TRUE(AllNear(turned, 0, 32, 320, 50, 0, 0, 0));
    EXPECT_TRUE(AllNear(turned, 0, 185, 320, 200, 0, 0, 0));
}

// The lengths of the runs of one colour down a column of a screenshot, between two rows.
std::vector<int> RunsDown(const std::string& png, int x, int y0, int y1) {
    std::vector<std::uint8_t> rgb;
    int w = 0, h = 0;
    std::vector<int> runs;
    if (!ReadPng(png, rgb, w, h)) return runs;
    auto red = [&](int y) { return rgb[(static_cast<std::size_t>(y) * w + x) * 3] > 128; };
    int length = 1;
    for (int y = y0 + 1; y < y1; ++y) {
        if (red(y) == red(y - 1)) {
            ++length;
        } else {
            runs.push_back(length);
            length = 1;
        }
    }
    return runs;
}

TEST(PicturesInTheProgram, TheImageViewRepaintsWholeAfterZooming) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    // Red and blue stripes 10 pixels high, larger than the screen.
    BmpSpec bmp;
    bmp.width = 400;
    bmp.height = 600;
    bmp.palette = {{220, 0, 0}, {0, 0, 220}};
    for (int y = 0; y < bmp.height; ++y)
        for (int x = 0; x < bmp.width; ++x) bmp.pixels.push_back((y / 10) % 2);
    WriteOutside(device, "stripes.bmp", WriteBmp(bmp));
    const std::string shot = device.outside() + "/zoomed.png";
    EXPECT_EQ(RunSteps(device, {device.outside() + "/stripes.bmp"},
                       "idle\nmenu 40082\nidle\nmenu 40082\nidle\nscreenshot " + shot + "\nquit\n")
                  .status,
              0);
    // Every stripe down either edge of the view is zoomed: none is left at its old height.
    for (int x : {5, 120, 234}) {
        std::vector<int> runs = RunsDown(shot, x, 30, 290);
        ASSERT_GE(runs.size(), 3u) << x;
        for (std::size_t i = 1; i < runs.size(); ++i) EXPECT_GT(runs[i], 12) << x << " " << i;
    }
}

// A picture of one colour as a true-colour BMP of 16, 24 or 32 bits.
std::vector<std::uint8_t> TrueColourBmp(int w, int h, int bits, int r, int g, int b) {
    auto put = [](std::vector<std::uint8_t>& v, std::uint32_t x, int n) {
        for (int i = 0; i < n; ++i) v.push_back(static_cast<std::uint8_t>(x >> (8 * i)));
    };
    const std::uint32_t stride = ((w * bits + 31) / 32) * 4;
    std::vector<std::uint8_t> v = {'B', 'M'};
    put(v, 54 + stride * h, 4);
    put(v, 0, 4);
    put(v, 54, 4);
    put(v, 40, 4);
    put(v, static_cast<std::uint32_t>(w), 4);
    put(v, static_cast<std::uint32_t>(h), 4);
    put(v, 1, 2);
    put(v, static_cast<std::uint32_t>(bits), 2);
    put(v, 0, 4);
    put(v, stride * h, 4);
    put(v, 2835, 4);
    put(v, 2835, 4);
    put(v, 0, 4);
    put(v, 0, 4);
    for (int y = 0; y < h; ++y) {
        std::size_t start = v.size();
        for (int x = 0; x < w; ++x) {
            if (bits == 16)
                put(v, ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3), 2);
            else
                put(v, (static_cast<std::uint32_t>(r) << 16) | (g << 8) | b, bits / 8);
        }
        while (v.size() - start < stride) v.push_back(0);
    }
    return v;
}

TEST(PicturesInTheProgram, PicturesOfAnHtmlPageAreDrawnScaledToFitAndATapOpensOne) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    std::vector<std::uint8_t> green(static_cast<std::size_t>(60) * 40 * 3);
    for (std::size_t i = 0; i < green.size(); i += 3) {
        green[i] = 30;
        green[i + 1] = 160;
        green[i + 2] = 60;
    }
    // 8-bit, twice as wide as the page: blue with a red right edge.
    BmpSpec wide;
    wide.width = 480;
    wide.height = 60;
    wide.palette = {{40, 40, 200}, {220, 0, 0}};
    for (int y = 0; y < wide.height; ++y)
        for (int x = 0; x < wide.width; ++x) wide.pixels.push_back(x >= 440 ? 1 : 0);
    auto bytes = [](const std::vector<std::uint8_t>& v) { return std::string(v.begin(), v.end()); };
    // In the books folder, with the pictures in a folder beside the page.
    device.WriteHost("storage/eBooks/pictures/green.jpg", bytes(WriteJpeg(60, 40, 3, green, 95)));
    device.WriteHost("storage/eBooks/pictures/wide.bmp", bytes(WriteBmp(wide)));
    device.WriteHost("storage/eBooks/pictures/deep.bmp",
                     bytes(TrueColourBmp(50, 30, 24, 250, 200, 0)));
    const std::string html =
        "<html><body><p><img src=\"pictures/green.jpg\"></p><p><img src=\"pictures/wide.bmp\">"
        "</p><p><img src=\"pictures/deep.bmp\"></p><p>After the pictures.</p></body></html>";
    device.WriteHost("storage/eBooks/pictures.html", html);
    const std::string shot = device.outside() + "/page.png", opened = device.outside() + "/opened.png";
    EXPECT_EQ(RunSteps(device, {device.Host("storage/eBooks/pictures.html")},
                       "idle\nscreenshot " + shot + "\ntap 100 100\nidle\nscreenshot " + opened +
                           "\nquit\n")
                  .status,
              0);
    // The JPEG at its size; the wide picture scaled to the page, its red edge kept.
    EXPECT_GE(PixelsNear(shot, 30, 160, 60), 60 * 40 - 60);
    EXPECT_GT(PixelsNear(shot, 220, 0, 0), 50);
    EXPECT_GT(PixelsNear(shot, 40, 40, 200), 3000);
    // A true-colour BMP is not a picture the decoder reads: nothing is placed for it.
    EXPECT_EQ(PixelsNear(shot, 250, 200, 0), 0);
    // The tapped picture opens full screen at its own size: the page is gone.
    EXPECT_GT(PixelsNear(opened, 40, 40, 200), 240 * 50);
    EXPECT_EQ(PixelsNear(opened, 30, 160, 60), 0);
}

// Every BMP depth the picture decoder reads (1, 4 and 8 bits, run-length coded 8 bits) is drawn
// in a page. A picture whose header it refuses (24 bits, not a picture) or that is missing is
// not placed at all: no box, nothing over the title bar, the text after it where it would be.
TEST(PicturesInTheProgram, EveryDepthTheDecoderReadsIsDrawnAndOthersAreNotPlaced) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    auto bytes = [](const std::vector<std::uint8_t>& v) { return std::string(v.begin(), v.end()); };
    auto plain = [](std::uint16_t bits, Rgb colour) {
        BmpSpec b;
        b.width = 30;
        b.height = 20;
        b.bits = bits;
        b.palette = {{255, 255, 255}, colour};
        if (bits == 4) b.palette.resize(16, Rgb{255, 255, 255});
        b.pixels.assign(30 * 20, 1);
        return b;
    };
    BmpSpec rle = plain(8, {0, 150, 150});
    rle.compression = 1;
    for (int y = 0; y < 20; ++y) rle.rle.insert(rle.rle.end(), {30, 1, 0, 0});
    rle.rle.insert(rle.rle.end(), {0, 1});
    device.WriteHost("storage/eBooks/p/one.bmp", bytes(WriteBmp(plain(1, {200, 0, 0}))));
    device.WriteHost("storage/eBooks/p/four.bmp", bytes(WriteBmp(plain(4, {0, 0, 200}))));
    device.WriteHost("storage/eBooks/p/eight.bmp", bytes(WriteBmp(plain(8, {0, 160, 0}))));
    device.WriteHost("storage/eBooks/p/rle.bmp", bytes(WriteBmp(rle)));
    device.WriteHost("storage/eBooks/p/deep.bmp", bytes(TrueColourBmp(30, 20, 24, 250, 200, 0)));
    device.WriteHost("storage/eBooks/p/junk.bmp", "BM this is not a picture at all");
    const std::string readable =
        "<img src=\"p/one.bmp\"> <img src=\"p/four.bmp\"> <img src=\"p/eight.bmp\"> "
        "<img src=\"p/rle.bmp\"></p>";
    const std::string o = device.outside() + "/";
    auto show = [&](const std::string& unreadable, const std::string& shot) {
        device.WriteHost("storage/eBooks/pictures.html",
                         "<html><body><p>" + unreadable + readable + "<p>After.</p></body></html>");
        return RunSteps(device, {device.Host("storage/eBooks/pictures.html")},
                          "idle\nscreenshot " + o + shot + "\nquit\n").status;
    };
    ASSERT_EQ(show("<img src=\"p/deep.bmp\"><img src=\"p/junk.bmp\"><img src=\"p/missing.bmp\">",
                   "with.png"),
              0);
    ASSERT_EQ(show("", "without.png"), 0);
    for (const char* shot : {"with.png", "without.png"}) {
        SCOPED_TRACE(shot);
        EXPECT_GE(PixelsNear(o + shot, 200, 0, 0, 8), 30 * 20);
        EXPECT_GE(PixelsNear(o + shot, 0, 0, 200, 8), 30 * 20);
        EXPECT_GE(PixelsNear(o + shot, 0, 160, 0, 8), 30 * 20);
        EXPECT_GE(PixelsNear(o + shot, 0, 150, 150, 8), 30 * 20);
        EXPECT_EQ(PixelsNear(o + shot, 250, 200, 0), 0);
    }
    // The pictures that are not read take no room: the two screens are the same.
    std::vector<std::uint8_t> a, b;
    int aw = 0, ah = 0, bw = 0, bh = 0;
    ASSERT_TRUE(ReadPng(o + "with.png", a, aw, ah));
    ASSERT_TRUE(ReadPng(o + "without.png", b, bw, bh));
    EXPECT_TRUE(a == b);
}

// ---- Bitmap font databases ---------------------------------------------------------------------

// A font database whose every printable character is a 6 x 8 checkerboard: a pattern no system
// face draws, so its cells on a screen count the characters drawn with it.
Bytes CheckerFont() {
    FontFaceSpec face;
    face.name = "Checker";
    face.size = 8;
    face.lineHeight = 12;
    face.ascent = 10;
    face.firstCode = 32;
    for (int c = 32; c < 127; ++c) {
        GlyphSpec g = BlockGlyph(6, 8, 255, 8);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 6; ++x)
                g.pixels[static_cast<size_t>(y * 6 + x)] = (x + y) % 2 ? 0 : 255;
        g.yOffset = 2;
        face.glyphs.push_back(c == ' ' ? BlockGlyph(0, 0, 0, 8) : g);
    }
    return BuildFontDatabase({face});
}

// Black pixels whose right and lower neighbours are white and whose diagonal one is black.
int CheckerCells(const std::string& png) {
    std::vector<std::uint8_t> rgb;
    int w = 0, h = 0;
    if (!ReadPng(png, rgb, w, h)) return -1;
    auto dark = [&](int x, int y) { return rgb[static_cast<size_t>(y * w + x) * 3] < 60; };
    auto light = [&](int x, int y) { return rgb[static_cast<size_t>(y * w + x) * 3] > 200; };
    int n = 0;
    for (int y = 0; y + 1 < h; ++y)
        for (int x = 0; x + 1 < w; ++x)
            if (dark(x, y) && light(x + 1, y) && light(x, y + 1) && dark(x + 1, y + 1)) ++n;
    return n;
}

TEST(FontsInTheProgram, AFontDatabaseChosenOnTheFontsPageDrawsThePageAndStaysChosen) {
    TempDevice device;
    ASSERT_TRUE(device.ok());
    const Bytes font = CheckerFont();
    device.WriteHost("Program Files/Folivant/checker.prc", std::string(font.begin(), font.end()));
    // Not a font database: not offered, and never a reason to fail.
    device.WriteHost("Program Files/Folivant/broken.prc", std::string("CLFO and nothing more"));
    device.WriteHost("storage/eBooks/words.html",
                     "<html><body><p>Some words to read in the chosen face, and some more words "
                     "after them.</p></body></html>");
    const std::string o = device.outside() + "/";
    // Fonts page, the family list (after the size list), down to its last row (the databases
    // follow the system's families), OK, then Done on the sheet.
    std::string down;
    for (int i = 0; i < 40; ++i) down += "answer-key 0x28\n";
    const std::string steps = "idle\nscreenshot " + o +
                              "before.png\n"
                              "answer-key 0x32\nanswer-key 0x09\n" +
                              down + "screenshot-box " + o +
                              "fonts.png\nanswer 1\nanswer 508\n"
                              "menu 40041\nidle\nscreenshot " +
                              o + "after.png\nquit\n";
    ASSERT_EQ(RunSteps(device, {device.Host("storage/eBooks/words.html")}, steps).status, 0);
    EXPECT_LT(CheckerCells(o + "before.png"), 20);
    EXPECT_GT(CheckerCells(o + "after.png"), 40 * 10);
    // Started again, the page is drawn with the font database still.
    ASSERT_EQ(RunSteps(device, {device.Host("storage/eBooks/words.html")},
                         "idle\nscreenshot " + o + "again.png\nquit\n").status,
              0);
    EXPECT_GT(CheckerCells(o + "again.png"), 40 * 10);
}

// A book whose link reads its page aloud, in the book's language.
std::vector<std::uint8_t> SpokenBook(std::uint32_t locale, const std::string& words) {
    BookBuilder book;
    book.text = ToBytes("<html><body><p><a onclick=\"voice.read()\">READ READ READ READ</a></p><p>" +
                        words + "</p></body></html>");
    book.fullName = "Spoken";
    book.locale = locale;
    return book.Build();
}

// The speech written to the WAV sink when the page is read aloud.
std::vector<std::int16_t> ReadAloud(std::uint32_t locale, const std::string& words) {
    TempDevice device;
    if (!device.ok()) return {};
    WriteOutside(device, "spoken.prc", SpokenBook(locale, words));
    const std::string wav = device.outside() + "/speech.wav";
    // On the real clock: the speech is made on the plug-in's own thread, in real time.
    if (RunSteps(device, {device.outside() + "/spoken.prc"},
                 "idle\ntap 60 46\nidle\nadvance 6000\nquit\n", {"FOLIVANT_AUDIO=wav:" + wav})
            .status != 0)
        return {};
    std::uint32_t rate = 0, channels = 0;
    std::vector<std::int16_t> samples;
    if (!fixtures::ReadWav(wav, &rate, &channels, &samples) || channels != 1) return {};
    return samples;
}

TEST(SpeechInTheProgram, ThePageIsReadAloudInTheBooksLanguage) {
    const std::string words = "The lamp was lit. Le phare veille.";
    const std::vector<std::int16_t> english = ReadAloud(9, words);
    // Every sentence, chunk after chunk: more than two seconds of speech, not silence.
    ASSERT_GT(english.size(), 2 * 22050u);
    EXPECT_GT(fixtures::ToneRms(english, 1, 0), 500);
    // The same words in a French book take the French voice: another sound.
    const std::vector<std::int16_t> french = ReadAloud(12, words);
    ASSERT_GT(french.size(), 2 * 22050u);
    EXPECT_NE(english, french);
}

// An X server of its own for a test, on a display number it chooses; ended with the test.
class PrivateDisplay {
public:
    PrivateDisplay() {
        if (access("/usr/bin/Xvfb", X_OK) != 0) return;
        int fds[2];
        if (pipe(fds) != 0) return;
        std::vector<std::string> args = {"/usr/bin/Xvfb", "-displayfd", std::to_string(fds[1]),
                                         "-screen", "0", "800x800x24", "-nolisten", "tcp"};
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        // The server's notes on the display numbers it tried first are not the test's.
        posix_spawn_file_actions_t quiet;
        posix_spawn_file_actions_init(&quiet);
        posix_spawn_file_actions_addopen(&quiet, 2, "/dev/null", O_WRONLY, 0);
        if (posix_spawn(&pid_, argv[0], &quiet, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&quiet);
        close(fds[1]);
        char c;
        while (pid_ > 0 && read(fds[0], &c, 1) == 1 && c != '\n') number_.push_back(c);
        close(fds[0]);
    }
    ~PrivateDisplay() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
    // ":N", or empty when there is none.
    std::string Name() const { return number_.empty() ? std::string() : ":" + number_; }

private:
    pid_t pid_ = -1;
    std::string number_;
};

// In a window the sound goes to the desktop through SDL: here SDL's disk driver stands in for
// the sound card and writes what it was given to a file.
TEST(AudioInTheProgram, InAWindowTheSoundGoesToTheDesktop) {
    const auto& tones = fixtures::Tones();
    if (!tones.ready) GTEST_SKIP() << tones.why;
    PrivateDisplay display;
    if (display.Name().empty()) GTEST_SKIP() << "no Xvfb";
    TempDevice device;
    ASSERT_TRUE(device.ok());
    WriteOutside(device, "tone.oga", tones.mono.ogg);
    const std::string raw = device.outside() + "/card.raw";
    EXPECT_EQ(RunSteps(device, {device.outside() + "/tone.oga"},
                       "idle\nmenu 40087\nidle\nadvance 4500\nquit\n",
                       {"DISPLAY=" + display.Name(), "FOLIVANT_DISPLAY=sdl", "SDL_AUDIODRIVER=disk",
                        "SDL_DISKAUDIOFILE=" + raw, "ASAN_OPTIONS=detect_leaks=0"})
                  .status,
              0);
    std::vector<std::uint8_t> bytes;
    ASSERT_TRUE(fixtures::ReadFileBytes(raw, &bytes));
    std::vector<std::int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    // The track whole, at its own rate (22050 Hz mono), and the card's silence after it.
    EXPECT_GE(samples.size(), tones.mono.frames);
    samples.resize(std::min(samples.size(), tones.mono.frames));
    EXPECT_NEAR(fixtures::ToneFrequency(samples, 1, 0, 22050), 440, 2);
    EXPECT_GT(fixtures::ToneRms(samples, 1, 0), 3000);
}

}  // namespace
}  // namespace fvt::test

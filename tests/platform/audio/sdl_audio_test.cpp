#include "platform/backend/sdl_audio.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/platform/temp_device.h"

namespace {

WAVEFORMATEX Pcm(DWORD rate, WORD channels, WORD bits = 16) {
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = channels;
    f.nSamplesPerSec = rate;
    f.wBitsPerSample = bits;
    f.nBlockAlign = static_cast<WORD>(channels * bits / 8);
    f.nAvgBytesPerSec = rate * f.nBlockAlign;
    return f;
}

TEST(SdlAudio, AsksForTheStreamsOwnRateAndChannelsWithAShortBuffer) {
    const struct {
        DWORD rate;
        WORD channels;
        int frames;
    } cases[] = {{11025, 1, 256}, {22050, 1, 256}, {22050, 2, 256}, {44100, 2, 512}, {48000, 1, 512}};
    for (const auto& c : cases) {
        fvt::SdlAudioRequest request;
        ASSERT_TRUE(fvt::SdlAudioRequestFor(Pcm(c.rate, c.channels), &request)) << c.rate;
        EXPECT_EQ(request.rate, static_cast<int>(c.rate));
        EXPECT_EQ(request.channels, c.channels);
        EXPECT_EQ(request.bufferFrames, c.frames) << c.rate;
    }
    fvt::SdlAudioRequest request;
    EXPECT_FALSE(fvt::SdlAudioRequestFor(Pcm(22050, 1, 8), &request));
    EXPECT_FALSE(fvt::SdlAudioRequestFor(Pcm(22050, 0), &request));
    EXPECT_FALSE(fvt::SdlAudioRequestFor(Pcm(0, 1), &request));
    WAVEFORMATEX other = Pcm(22050, 1);
    other.wFormatTag = 3;
    EXPECT_FALSE(fvt::SdlAudioRequestFor(other, &request));
}

// SDL's disk driver stands in for the sound card: it takes the sound at the playing rate and
// writes what it took to a file. Pacing is then a matter of bytes, not of time: after each Write,
// what the sink has handed over is never more than a short stretch ahead of what the card took.
TEST(SdlAudio, WritesArePacedByTheCard) {
    fvt::test::TempDevice scratch;
    ASSERT_TRUE(scratch.ok());
    std::filesystem::create_directories(scratch.outside());
    const std::string card = scratch.outside() + "/card.raw";
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", card.c_str(), 1);
    auto sink = fvt::MakeSdlAudioSink();
    ASSERT_TRUE(sink->PacesItself());
    const bool opened = sink->Open(Pcm(22050, 1));
    if (!opened) {
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        GTEST_SKIP() << "no SDL disk audio driver";
    }
    // A quarter second of sound (22050 Hz mono, 16-bit): the sink's own queue, the block being
    // written and the card's buffer. The driver's file holds back up to a stdio buffer more.
    constexpr std::uintmax_t kAhead = 22050 * 2 / 4 + BUFSIZ;
    // A second of sound: a sink that did not wait would be nearly all of it ahead.
    std::vector<std::int16_t> block(512, 1000);
    std::uintmax_t written = 0, mostAhead = 0;
    for (int i = 0; i < 22050 / 512; ++i) {
        sink->Write(block.data(), 512);
        written += block.size() * 2;
        std::error_code error;
        const std::uintmax_t taken = std::filesystem::file_size(card, error);
        ASSERT_FALSE(error) << error.message();
        mostAhead = std::max(mostAhead, written - std::min(taken, written));
    }
    sink->Close();
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    unsetenv("SDL_DISKAUDIOFILE");
    EXPECT_LE(mostAhead, kAhead) << "of " << written << " bytes written";
    // The card got the blocks as written, with silence where it ran dry (before the first).
    std::ifstream in(card, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    size_t sound = 0;
    for (size_t at = 0; at + 1 < bytes.size(); at += 2) {
        std::int16_t sample = 0;
        std::memcpy(&sample, bytes.data() + at, 2);
        ASSERT_TRUE(sample == 0 || sample == 1000) << sample << " at " << at;
        sound += sample == 1000 ? 2 : 0;
    }
    EXPECT_GT(sound, 0u);
}

}  // namespace

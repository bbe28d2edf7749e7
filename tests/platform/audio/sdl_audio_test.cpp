#include "platform/backend/sdl_audio.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <vector>

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

// SDL's dummy driver takes sound at the playing rate without a sound card.
TEST(SdlAudio, WritesArePacedByTheCard) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    auto sink = fvt::MakeSdlAudioSink();
    ASSERT_TRUE(sink->PacesItself());
    if (!sink->Open(Pcm(22050, 1))) GTEST_SKIP() << "no SDL audio driver";
    std::vector<std::int16_t> block(512, 1000);
    const auto start = std::chrono::steady_clock::now();
    // Half a second of sound: most of it must wait for the card.
    for (int i = 0; i < 22050 / 2 / 512; ++i) sink->Write(block.data(), 512);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    sink->Close();
    EXPECT_GE(elapsed, std::chrono::milliseconds(250));
}

}  // namespace

#include "media/audio/vorbis_source.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "media/audio/resampling_source.h"
#include "support/media/audio_fixtures.h"

namespace {

using fixtures::MemoryAudioData;
using fixtures::OpenVorbis;
using fixtures::ReadAll;

class Vorbis : public ::testing::Test {
protected:
    void SetUp() override {
        if (!tones_.ready) GTEST_FAIL() << "cannot make the fixtures: " << tones_.why;
    }
    const fixtures::ToneSet& tones_ = fixtures::Tones();
};

TEST_F(Vorbis, DecodesTonesWithTheirFrequencyAndLevel) {
    auto mono = OpenVorbis(tones_.mono.ogg);
    AudioFormat format;
    ASSERT_TRUE(mono->GetFormat(&format));
    EXPECT_EQ(format.rate, 22050u);
    EXPECT_EQ(format.channels, 1u);
    EXPECT_TRUE(format.IsPcm16());
    auto samples = ReadAll(mono->GetStream());
    EXPECT_EQ(samples.size(), tones_.mono.frames);
    EXPECT_NEAR(fixtures::ToneFrequency(samples, 1, 0, 22050), 440, 1);
    EXPECT_NEAR(fixtures::ToneRms(samples, 1, 0), 10000 / std::sqrt(2.0), 350);

    auto stereo = OpenVorbis(tones_.stereo.ogg);
    ASSERT_TRUE(stereo->GetFormat(&format));
    EXPECT_EQ(format.channels, 2u);
    samples = ReadAll(stereo->GetStream(), 1000);
    EXPECT_EQ(samples.size(), tones_.stereo.frames * 2);
    EXPECT_NEAR(fixtures::ToneFrequency(samples, 2, 0, 44100), 1000, 2);
    EXPECT_NEAR(fixtures::ToneFrequency(samples, 2, 1, 44100), 1500, 2);
    // Whole frames only, and nothing after the end.
    char buffer[8];
    std::uint32_t got = 0;
    EXPECT_FALSE(stereo->Read(buffer, sizeof buffer, &got));
    ASSERT_TRUE(stereo->SeekSeconds(0));
    EXPECT_FALSE(stereo->Read(buffer, 3, &got));
    EXPECT_TRUE(stereo->Read(buffer, 7, &got));
    EXPECT_EQ(got, 4u);
}

TEST_F(Vorbis, LengthPositionAndSeekInWholeSeconds) {
    auto source = OpenVorbis(tones_.mono.ogg);
    EXPECT_TRUE(source->CanSeek());
    EXPECT_EQ(source->LengthSeconds(), 3);  // 3.5 s, truncated
    ASSERT_TRUE(source->SeekSeconds(2));
    EXPECT_EQ(source->PositionSeconds(), 2);
    EXPECT_NEAR(static_cast<double>(ReadAll(source->GetStream()).size()), 1.5 * 22050, 64);
    EXPECT_EQ(source->PositionSeconds(), 3);
    // Back to the start after the end: the whole tone again.
    ASSERT_TRUE(source->SeekSeconds(0));
    EXPECT_EQ(ReadAll(source->GetStream()).size(), tones_.mono.frames);
    EXPECT_FALSE(source->SeekSeconds(60));
}

TEST_F(Vorbis, ConvertedToneKeepsFrequencyAndLevel) {
    struct Case {
        const fixtures::EncodedTone& tone;
        std::uint32_t rate;
        double hz, amplitude;
    } cases[] = {{tones_.pure48, 22050, 1000, 12000}, {tones_.mono, 44100, 440, 10000}};
    for (const Case& c : cases) {
        auto source = OpenVorbis(c.tone.ogg);
        auto resampler = AudioRef<ResamplingSource>::Adopt(new ResamplingSource(source.Get()));
        AudioFormat target;
        target.rate = c.rate;
        target.channels = 1;
        ASSERT_TRUE(resampler->Setup(target));
        auto samples = ReadAll(resampler->GetStream(), 1024);
        double seconds = static_cast<double>(c.tone.frames) / c.tone.rate;
        EXPECT_NEAR(static_cast<double>(samples.size()), seconds * c.rate, 8);
        EXPECT_NEAR(fixtures::ToneFrequency(samples, 1, 0, c.rate), c.hz, 2);
        EXPECT_NEAR(fixtures::ToneRms(samples, 1, 0), c.amplitude / std::sqrt(2.0), 400);
    }
}

TEST_F(Vorbis, FailedOpenIsSafeEverywhere) {
    std::string text = "This is a plain text file, not an Ogg stream at all.";
    std::vector<std::vector<std::uint8_t>> inputs = {
        std::vector<std::uint8_t>(text.begin(), text.end()),
        {},
        std::vector<std::uint8_t>(tones_.mono.ogg.begin(), tones_.mono.ogg.begin() + 40)};
    std::vector<AudioRef<VorbisSource>> sources;
    for (auto& bytes : inputs) sources.push_back(OpenVorbis(bytes));
    sources.push_back(AudioRef<VorbisSource>::Adopt(new VorbisSource(nullptr)));
    for (auto& source : sources) {
        AudioFormat format;
        char buffer[64];
        std::uint32_t got = 7;
        EXPECT_FALSE(source->IsOpen());
        EXPECT_FALSE(source->GetFormat(&format));
        EXPECT_FALSE(source->Read(buffer, sizeof buffer, &got));
        EXPECT_EQ(got, 0u);
        EXPECT_FALSE(source->CanSeek());
        EXPECT_EQ(source->LengthSeconds(), -1);
        EXPECT_EQ(source->PositionSeconds(), -1);
        EXPECT_FALSE(source->SeekSeconds(1));
    }
    // Data that cannot position itself still plays, without seeking.
    MemoryAudioData* data = MemoryAudioData::Create(tones_.mono.ogg);
    data->valid = false;
    auto unseekable = AudioRef<VorbisSource>::Adopt(new VorbisSource(data));
    data->Release();
    EXPECT_FALSE(unseekable->CanSeek());
    EXPECT_FALSE(unseekable->SeekSeconds(1));
    EXPECT_EQ(ReadAll(unseekable->GetStream()).size(), tones_.mono.frames);
}

TEST_F(Vorbis, DamageEndsOrSkipsButNeverBreaks) {
    const auto& whole = tones_.noisy.ogg;
    const std::size_t frames = tones_.noisy.frames;
    // Truncated: what is there plays.
    auto half =
        OpenVorbis(std::vector<std::uint8_t>(whole.begin(), whole.begin() + whole.size() / 2));
    std::size_t got = ReadAll(half->GetStream()).size() / 2;
    EXPECT_GT(got, frames / 4);
    EXPECT_LT(got, frames);
    // A damaged page is a hole to skip, not the end.
    std::vector<std::uint8_t> damaged = whole;
    for (std::size_t i = damaged.size() / 2; i < damaged.size() / 2 + 300; ++i) damaged[i] ^= 0x5A;
    got = ReadAll(OpenVorbis(damaged)->GetStream()).size() / 2;
    EXPECT_GT(got, frames * 3 / 4);
    EXPECT_LE(got, frames);
    // Data that stops reading ends the track.
    MemoryAudioData* data = nullptr;
    auto failing = OpenVorbis(whole, &data);
    data->failFrom = whole.size() / 3;
    EXPECT_LT(ReadAll(failing->GetStream()).size() / 2, frames);
    data->Release();
}

TEST_F(Vorbis, ChainedLinkOfAnotherFormatEndsTheTrack) {
    std::vector<std::uint8_t> chained = tones_.noisy.ogg;
    chained.insert(chained.end(), tones_.mono.ogg.begin(), tones_.mono.ogg.end());
    EXPECT_EQ(ReadAll(OpenVorbis(chained)->GetStream()).size() / 2, tones_.noisy.frames);
    // Its length is what plays; past that there is nothing to seek to.
    auto source = OpenVorbis(chained);
    EXPECT_EQ(source->LengthSeconds(), 4);
    EXPECT_TRUE(source->SeekSeconds(4));
    EXPECT_FALSE(source->SeekSeconds(5));
    // The same format goes on into the second link.
    std::vector<std::uint8_t> twice = tones_.noisy.ogg;
    twice.insert(twice.end(), tones_.noisy.ogg.begin(), tones_.noisy.ogg.end());
    EXPECT_NEAR(ReadAll(OpenVorbis(twice)->GetStream()).size() / 2.0, 2.0 * tones_.noisy.frames,
                2048);
    // Two links of one format: one length, and seeking crosses into the second.
    std::vector<std::uint8_t> both = tones_.noisy.ogg;
    both.insert(both.end(), tones_.stereo.ogg.begin(), tones_.stereo.ogg.end());
    source = OpenVorbis(both);
    EXPECT_EQ(source->LengthSeconds(), 6);  // 4 s and 2.5 s
    ASSERT_TRUE(source->SeekSeconds(5));
    EXPECT_EQ(source->PositionSeconds(), 5);
    EXPECT_NEAR(ReadAll(source->GetStream()).size() / 2.0, 1.5 * 44100, 2048);
}

TEST(VorbisCallbacks, SeekClampsIntoTheDataAndReadAdvances) {
    MemoryAudioData* data = nullptr;
    auto source = OpenVorbis(std::vector<std::uint8_t>(1000, 0x41), &data);
    void* s = source.Get();
    const struct {
        std::int64_t offset;
        int whence;
        long expected;
    } seeks[] = {{-10, SEEK_END, 990},
                 {5000, SEEK_SET, 1000},
                 {-5000, SEEK_CUR, 0},
                 {INT64_MIN, SEEK_CUR, 0},
                 {INT64_MAX, SEEK_END, 1000}};
    for (auto& seek : seeks) {
        EXPECT_EQ(VorbisSource::SeekCallback(s, seek.offset, seek.whence), 0);
        EXPECT_EQ(VorbisSource::TellCallback(s), seek.expected);
    }
    char buffer[200];
    VorbisSource::SeekCallback(s, 100, SEEK_SET);
    EXPECT_EQ(VorbisSource::ReadCallback(buffer, 1, 150, s), 150u);
    EXPECT_EQ(VorbisSource::TellCallback(s), 250);
    // Items of four bytes with ten bytes left: two whole items.
    VorbisSource::SeekCallback(s, 990, SEEK_SET);
    EXPECT_EQ(VorbisSource::ReadCallback(buffer, 4, 10, s), 2u);
    EXPECT_EQ(VorbisSource::TellCallback(s), 998);
    VorbisSource::SeekCallback(s, 0, SEEK_END);
    EXPECT_EQ(VorbisSource::ReadCallback(buffer, 1, 10, s), 0u);
    data->valid = false;
    EXPECT_EQ(VorbisSource::SeekCallback(s, 0, SEEK_SET), -1);
    EXPECT_EQ(data->RefCount(), 2);
    source.Reset();
    EXPECT_EQ(data->RefCount(), 1);
    data->Release();
}

}  // namespace

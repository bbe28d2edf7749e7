#include "media/audio/vorbis_source.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <memory>

#include "media/audio/resampling_source.h"
#include "support/media/sound_fixtures.h"

namespace {

using fixtures::MemoryAudioData;

struct Sound {
    std::vector<std::uint8_t> ogg;
    std::uint32_t rate, channels;
    std::size_t frames;
};

// Tones encoded once for the whole suite.
class VorbisFixtures : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = new fixtures::TempFolder();
        ready_ = fixtures::HaveOggenc() &&
                 Make("mono", 22050, 1, 3.5, 440, 10000, 0, &mono_) &&
                 Make("stereo", 44100, 2, 2.5, 1000, 8000, 1500, &stereo_) &&
                 Make("pure48", 48000, 2, 2.0, 1000, 12000, 0, &pure48_) &&
                 Make("noisy", 44100, 2, 4.0, 440, 8000, 0, &noisy_, 3000);
    }
    static void TearDownTestSuite() {
        delete folder_;
        folder_ = nullptr;
    }
    void SetUp() override {
        if (!ready_) GTEST_FAIL() << "oggenc (vorbis-tools) is needed to make the fixtures";
    }

    static bool Make(const char* name, std::uint32_t rate, std::uint32_t channels, double seconds,
                     double hz, double amplitude, double rightHz, Sound* sound,
                     double noise = 0) {
        std::string path = folder_->File(std::string(name) + ".ogg");
        auto samples = fixtures::SineTone(rate, channels, seconds, hz, amplitude, rightHz, noise);
        sound->rate = rate;
        sound->channels = channels;
        sound->frames = samples.size() / channels;
        return fixtures::EncodeVorbis(path, rate, channels, samples) &&
               fixtures::ReadFileBytes(path, &sound->ogg);
    }

    static AudioRef<VorbisSource> Open(std::vector<std::uint8_t> bytes,
                                       MemoryAudioData** keep = nullptr) {
        MemoryAudioData* data = MemoryAudioData::Create(std::move(bytes));
        auto source = AudioRef<VorbisSource>::Adopt(new VorbisSource(data));
        if (keep) {
            *keep = data;
        } else {
            data->Release();
        }
        return source;
    }

    static inline fixtures::TempFolder* folder_ = nullptr;
    static inline bool ready_ = false;
    static inline Sound mono_, stereo_, pure48_, noisy_;
};

TEST_F(VorbisFixtures, DecodesMonoToneWithItsFrequencyAndLevel) {
    auto source = Open(mono_.ogg);
    AudioFormat format;
    ASSERT_TRUE(source->GetFormat(&format));
    EXPECT_EQ(format.rate, 22050u);
    EXPECT_EQ(format.channels, 1u);
    EXPECT_EQ(format.bytesPerSample, 2u);
    EXPECT_TRUE(format.IsPcm16());
    auto samples = fixtures::ReadAll(source->GetStream());
    EXPECT_EQ(samples.size(), mono_.frames);
    EXPECT_NEAR(fixtures::ToneFrequency(samples, 1, 0, 22050), 440, 1);
    EXPECT_NEAR(fixtures::ToneRms(samples, 1, 0), 10000 / std::sqrt(2.0), 350);
}

TEST_F(VorbisFixtures, DecodesStereoChannelsApart) {
    auto source = Open(stereo_.ogg);
    AudioFormat format;
    ASSERT_TRUE(source->GetFormat(&format));
    EXPECT_EQ(format.channels, 2u);
    EXPECT_EQ(format.rate, 44100u);
    auto samples = fixtures::ReadAll(source->GetStream(), 1000);
    EXPECT_EQ(samples.size(), stereo_.frames * 2);
    EXPECT_NEAR(fixtures::ToneFrequency(samples, 2, 0, 44100), 1000, 2);
    EXPECT_NEAR(fixtures::ToneFrequency(samples, 2, 1, 44100), 1500, 2);
}

TEST_F(VorbisFixtures, ReadFillsTheBufferUntilTheEnd) {
    auto source = Open(mono_.ogg);
    std::vector<char> buffer(4096);
    std::uint32_t got = 0, total = 0;
    int shortReads = 0;
    while (source->Read(buffer.data(), 4096, &got)) {
        ASSERT_GT(got, 0u);
        if (got < 4096) ++shortReads;
        total += got;
    }
    EXPECT_EQ(got, 0u);
    EXPECT_LE(shortReads, 1);  // only the last one
    EXPECT_EQ(total, mono_.frames * 2);
    EXPECT_FALSE(source->Read(buffer.data(), 4096, &got));
    // Only whole frames: three bytes of a stereo stream hold none.
    auto stereo = Open(stereo_.ogg);
    EXPECT_FALSE(stereo->Read(buffer.data(), 3, &got));
    EXPECT_TRUE(stereo->Read(buffer.data(), 7, &got));
    EXPECT_EQ(got, 4u);
}

TEST_F(VorbisFixtures, LengthPositionAndSeekInWholeSeconds) {
    auto source = Open(mono_.ogg);
    EXPECT_TRUE(source->CanSeek());
    EXPECT_EQ(source->LengthSeconds(), 3);  // 3.5 s, truncated
    EXPECT_EQ(source->PositionSeconds(), 0);
    ASSERT_TRUE(source->SeekSeconds(2));
    EXPECT_EQ(source->PositionSeconds(), 2);
    auto rest = fixtures::ReadAll(source->GetStream());
    EXPECT_NEAR(static_cast<double>(rest.size()), 1.5 * 22050, 64);
    EXPECT_EQ(source->PositionSeconds(), 3);
    // Back to the start after the end: the whole tone again.
    ASSERT_TRUE(source->SeekSeconds(0));
    EXPECT_EQ(fixtures::ReadAll(source->GetStream()).size(), mono_.frames);
    EXPECT_FALSE(source->SeekSeconds(60));
}

TEST_F(VorbisFixtures, ConvertedToneKeepsFrequencyAndLevel) {
    auto source = Open(pure48_.ogg);
    auto resampler = AudioRef<ResamplingSource>::Adopt(new ResamplingSource(source.Get()));
    AudioFormat target;
    target.rate = 22050;
    target.channels = 1;
    ASSERT_TRUE(resampler->Setup(target));
    auto samples = fixtures::ReadAll(resampler->GetStream(), 1024);
    EXPECT_NEAR(static_cast<double>(samples.size()), 2.0 * 22050, 8);
    EXPECT_NEAR(fixtures::ToneFrequency(samples, 1, 0, 22050), 1000, 2);
    EXPECT_NEAR(fixtures::ToneRms(samples, 1, 0), 12000 / std::sqrt(2.0), 400);

    auto mono = Open(mono_.ogg);
    auto up = AudioRef<ResamplingSource>::Adopt(new ResamplingSource(mono.Get()));
    target.rate = 44100;
    ASSERT_TRUE(up->Setup(target));
    samples = fixtures::ReadAll(up->GetStream(), 1024);
    EXPECT_NEAR(static_cast<double>(samples.size()), 3.5 * 44100, 8);
    EXPECT_NEAR(fixtures::ToneFrequency(samples, 1, 0, 44100), 440, 1);
    EXPECT_NEAR(fixtures::ToneRms(samples, 1, 0), 10000 / std::sqrt(2.0), 350);
}

TEST_F(VorbisFixtures, ReleasesItsDataWithItself) {
    MemoryAudioData* data = nullptr;
    auto source = Open(mono_.ogg, &data);
    EXPECT_EQ(data->RefCount(), 2);
    source.Reset();
    EXPECT_EQ(data->RefCount(), 1);
    data->Release();
}

// Every operation is safe on a source whose decoder did not open.
void ExpectRefused(VorbisSource* source) {
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

TEST_F(VorbisFixtures, RefusesWhatIsNotVorbis) {
    std::string text = "This is a plain text file, not an Ogg stream at all.";
    ExpectRefused(Open(std::vector<std::uint8_t>(text.begin(), text.end())).Get());
    ExpectRefused(Open({}).Get());
    auto none = AudioRef<VorbisSource>::Adopt(new VorbisSource(nullptr));
    ExpectRefused(none.Get());
    // An Ogg page header and nothing after it.
    ExpectRefused(Open(std::vector<std::uint8_t>(mono_.ogg.begin(), mono_.ogg.begin() + 40)).Get());
    // Data whose handle cannot position itself opens as a stream but cannot seek.
    MemoryAudioData* data = MemoryAudioData::Create(mono_.ogg);
    data->valid = false;
    auto unseekable = AudioRef<VorbisSource>::Adopt(new VorbisSource(data));
    data->Release();
    EXPECT_FALSE(unseekable->CanSeek());
    EXPECT_FALSE(unseekable->SeekSeconds(1));
}

TEST_F(VorbisFixtures, TruncatedStreamPlaysWhatIsThere) {
    std::vector<std::uint8_t> half(noisy_.ogg.begin(), noisy_.ogg.begin() + noisy_.ogg.size() / 2);
    auto source = Open(half);
    auto samples = fixtures::ReadAll(source->GetStream());
    EXPECT_GT(samples.size() / 2, noisy_.frames / 4);
    EXPECT_LT(samples.size() / 2, noisy_.frames);
    std::uint32_t got = 0;
    char buffer[16];
    EXPECT_FALSE(source->Read(buffer, sizeof buffer, &got));
}

TEST_F(VorbisFixtures, DamagedPageIsSkippedNotTheEnd) {
    std::vector<std::uint8_t> bytes = noisy_.ogg;
    for (std::size_t i = bytes.size() / 2; i < bytes.size() / 2 + 300; ++i) bytes[i] ^= 0x5A;
    auto source = Open(bytes);
    auto samples = fixtures::ReadAll(source->GetStream());
    EXPECT_GT(samples.size() / 2, noisy_.frames * 3 / 4);
    EXPECT_LE(samples.size() / 2, noisy_.frames);
}

TEST_F(VorbisFixtures, FailingDataEndsTheTrack) {
    MemoryAudioData* data = nullptr;
    auto source = Open(noisy_.ogg, &data);
    data->failFrom = noisy_.ogg.size() / 3;
    auto samples = fixtures::ReadAll(source->GetStream());
    EXPECT_LT(samples.size() / 2, noisy_.frames);
    data->Release();
}

TEST_F(VorbisFixtures, ChainedLinkOfAnotherFormatEndsTheTrack) {
    std::vector<std::uint8_t> chained = noisy_.ogg;
    chained.insert(chained.end(), mono_.ogg.begin(), mono_.ogg.end());
    auto source = Open(chained);
    auto samples = fixtures::ReadAll(source->GetStream());
    EXPECT_EQ(samples.size() / 2, noisy_.frames);

    std::vector<std::uint8_t> twice = noisy_.ogg;
    twice.insert(twice.end(), noisy_.ogg.begin(), noisy_.ogg.end());
    // The same format goes on into the second link.
    EXPECT_NEAR(fixtures::ReadAll(Open(twice)->GetStream()).size() / 2.0, 2.0 * noisy_.frames,
                2048);
}

TEST(VorbisCallbacks, SeekClampsIntoTheDataAndReadAdvances) {
    MemoryAudioData* data = MemoryAudioData::Create(std::vector<std::uint8_t>(1000, 0x41));
    auto source = AudioRef<VorbisSource>::Adopt(new VorbisSource(data));
    void* s = source.Get();
    EXPECT_EQ(VorbisSource::SeekCallback(s, -10, SEEK_END), 0);
    EXPECT_EQ(VorbisSource::TellCallback(s), 990);
    EXPECT_EQ(VorbisSource::SeekCallback(s, 5000, SEEK_SET), 0);
    EXPECT_EQ(VorbisSource::TellCallback(s), 1000);
    EXPECT_EQ(VorbisSource::SeekCallback(s, -5000, SEEK_CUR), 0);
    EXPECT_EQ(VorbisSource::TellCallback(s), 0);
    EXPECT_EQ(VorbisSource::SeekCallback(s, INT64_MIN, SEEK_CUR), 0);
    EXPECT_EQ(VorbisSource::TellCallback(s), 0);
    EXPECT_EQ(VorbisSource::SeekCallback(s, INT64_MAX, SEEK_END), 0);
    EXPECT_EQ(VorbisSource::TellCallback(s), 1000);

    char buffer[200];
    EXPECT_EQ(VorbisSource::SeekCallback(s, 100, SEEK_SET), 0);
    EXPECT_EQ(VorbisSource::ReadCallback(buffer, 1, 150, s), 150u);
    EXPECT_EQ(VorbisSource::TellCallback(s), 250);
    // Items of four bytes: ten bytes are left, so two whole items come.
    EXPECT_EQ(VorbisSource::SeekCallback(s, 990, SEEK_SET), 0);
    EXPECT_EQ(VorbisSource::ReadCallback(buffer, 4, 10, s), 2u);
    EXPECT_EQ(VorbisSource::TellCallback(s), 998);
    EXPECT_EQ(VorbisSource::SeekCallback(s, 0, SEEK_END), 0);
    EXPECT_EQ(VorbisSource::ReadCallback(buffer, 1, 10, s), 0u);
    EXPECT_EQ(VorbisSource::CloseCallback(s), 0);

    data->valid = false;
    EXPECT_EQ(VorbisSource::SeekCallback(s, 0, SEEK_SET), -1);
    data->Release();
}

}  // namespace

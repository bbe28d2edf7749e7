#include "media/audio/rate_converter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "media/audio/resampling_source.h"

namespace {

AudioFormat Format(std::uint32_t rate, std::uint32_t channels) {
    AudioFormat f;
    f.rate = rate;
    f.channels = channels;
    return f;
}

// Interleaved input handed out in pieces of at most maxFrames (random sizes when jitter).
struct Feed {
    std::vector<std::int16_t> samples;
    std::uint32_t channels = 1;
    std::size_t at = 0;  // in samples
    std::uint32_t maxFrames = 1u << 30;
    std::mt19937 random{7};
    bool jitter = false;

    static std::uint32_t Read(void* buffer, std::uint32_t size, void* context) {
        auto* self = static_cast<Feed*>(context);
        std::uint32_t frames = size / (2 * self->channels);
        frames = std::min(frames, self->maxFrames);
        if (self->jitter && frames > 1) frames = 1 + self->random() % frames;
        std::size_t left = (self->samples.size() - self->at) / self->channels;
        frames = static_cast<std::uint32_t>(std::min<std::size_t>(frames, left));
        std::copy_n(self->samples.begin() + self->at, frames * self->channels,
                    static_cast<std::int16_t*>(buffer));
        self->at += frames * self->channels;
        return frames * 2 * self->channels;
    }
};

std::vector<std::int16_t> Ramp(std::size_t n, int scale = 37) {
    std::vector<std::int16_t> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::int16_t>((i * scale) % 65536 - 32768);
    return v;
}

std::vector<std::int16_t> ConvertAll(RateConverter& c, Feed& feed, std::uint32_t outFrames,
                                     std::uint32_t chunkFrames, bool varyChunks = false) {
    std::vector<std::int16_t> out;
    std::uint32_t channels = c.TargetFormat().channels;
    std::mt19937 random(3);
    while (out.size() / channels < outFrames) {
        std::uint32_t n = varyChunks ? 1 + random() % chunkFrames : chunkFrames;
        n = std::min<std::uint32_t>(n, outFrames - static_cast<std::uint32_t>(out.size() / channels));
        std::vector<std::int16_t> piece(n * channels);
        std::uint32_t bytes = c.Convert(n * 2 * channels, piece.data(), &Feed::Read, &feed);
        out.insert(out.end(), piece.begin(), piece.begin() + bytes / 2);
        if (bytes < n * 2 * channels) break;
    }
    return out;
}

// Output frame k lies at k * step in 17.15 fixed point of the whole input.
std::int16_t Reference(const std::vector<std::int16_t>& in, std::uint32_t channels,
                       std::uint32_t channel, std::uint64_t k, std::uint32_t step) {
    std::uint64_t p = k * step;
    std::uint64_t i = p >> 15;
    std::int32_t f = static_cast<std::int32_t>(p & 0x7FFF);
    std::int32_t s0 = in[i * channels + channel], s1 = in[(i + 1) * channels + channel];
    return static_cast<std::int16_t>(((32768 - f) * s0 + f * s1 + 16384) >> 15);
}

TEST(RateConverterInit, RefusesFormatsItCannotConvert) {
    RateConverter c;
    EXPECT_TRUE(c.Init(Format(22050, 2), Format(44100, 2)));
    EXPECT_TRUE(c.Init(Format(48000, 6), Format(22050, 1)));
    AudioFormat eightBit = Format(22050, 1);
    eightBit.bytesPerSample = 1;
    EXPECT_FALSE(c.Init(eightBit, Format(22050, 1)));
    AudioFormat flags = Format(22050, 1);
    flags.layoutFlag2 = 1;
    EXPECT_FALSE(c.Init(Format(22050, 1), flags));
    flags = Format(22050, 1);
    flags.layoutFlag1 = 0;
    EXPECT_FALSE(c.Init(flags, Format(22050, 1)));
    EXPECT_FALSE(c.Init(Format(0, 1), Format(22050, 1)));
    EXPECT_FALSE(c.Init(Format(22050, 1), Format(0, 1)));
    // Only equal counts or a mix down to one channel.
    EXPECT_FALSE(c.Init(Format(22050, 2), Format(22050, 6)));
    EXPECT_FALSE(c.Init(Format(22050, 1), Format(22050, 2)));
    EXPECT_FALSE(c.Init(Format(22050, 0), Format(22050, 1)));
    // A hostile rate would overflow the fixed-point step.
    EXPECT_FALSE(c.Init(Format(0x7FFFFFFF, 1), Format(11025, 1)));
    EXPECT_FALSE(c.Init(Format(22050 * 17, 1), Format(22050, 1)));
    // A refused Init leaves nothing to convert with.
    std::vector<std::int16_t> out(8);
    Feed feed{Ramp(100)};
    EXPECT_EQ(c.Convert(16, out.data(), &Feed::Read, &feed), 0u);
}

TEST(RateConverterConvert, DoublingInsertsRoundedMeans) {
    RateConverter c;
    ASSERT_TRUE(c.Init(Format(22050, 1), Format(44100, 1)));
    EXPECT_EQ(c.Step(), 16384u);
    Feed feed{{100, 201, -300, 7, 7, 32767, -32768}};
    std::vector<std::int16_t> out(12);
    EXPECT_EQ(c.Convert(24, out.data(), &Feed::Read, &feed), 24u);
    std::vector<std::int16_t> expected{100, 151, 201, -49, -300, -146, 7, 7, 7, 16387, 32767, 0};
    EXPECT_EQ(out, expected);
}

TEST(RateConverterConvert, HalvingKeepsEveryOtherFrame) {
    RateConverter c;
    ASSERT_TRUE(c.Init(Format(44100, 2), Format(22050, 2)));
    EXPECT_EQ(c.Step(), 65536u);
    Feed feed{Ramp(2 * 1000), 2};
    std::vector<std::int16_t> out = ConvertAll(c, feed, 400, 64);
    ASSERT_EQ(out.size(), 800u);
    for (std::size_t k = 0; k < 400; ++k) {
        EXPECT_EQ(out[2 * k], feed.samples[4 * k]) << k;
        EXPECT_EQ(out[2 * k + 1], feed.samples[4 * k + 1]) << k;
    }
}

TEST(RateConverterConvert, StaysContinuousAcrossCallsAtAnyRatio) {
    // 1.5 and 3 and 48 kHz to 22050 Hz: ratios above 2 make the phase overshoot the buffered
    // frames at the end of a call, and those frames must be skipped, not replayed.
    const std::uint32_t rates[][2] = {{33075, 22050}, {66150, 22050}, {48000, 22050},
                                      {11025, 44100}, {16000, 22050}, {352800, 22050}};
    for (auto& r : rates) {
        for (std::uint32_t channels : {1u, 2u}) {
            RateConverter c;
            ASSERT_TRUE(c.Init(Format(r[0], channels), Format(r[1], channels)));
            Feed feed{Ramp(channels * 60000, 91), channels};
            feed.jitter = true;
            std::vector<std::int16_t> out = ConvertAll(c, feed, 3000, 97, true);
            ASSERT_EQ(out.size(), 3000u * channels) << r[0];
            for (std::uint64_t k = 0; k < 3000; ++k) {
                for (std::uint32_t ch = 0; ch < channels; ++ch) {
                    ASSERT_EQ(out[k * channels + ch],
                              Reference(feed.samples, channels, ch, k, c.Step()))
                        << r[0] << " -> " << r[1] << " frame " << k;
                }
            }
        }
    }
}

TEST(RateConverterConvert, MixesDownWithArithmeticShifts) {
    RateConverter c;
    ASSERT_TRUE(c.Init(Format(22050, 2), Format(22050, 1)));
    Feed feed{{-3, -2, 32767, 32767, -32768, -32768, 5, -5, 1, 1}, 2};
    std::vector<std::int16_t> out(4);
    EXPECT_EQ(c.Convert(8, out.data(), &Feed::Read, &feed), 8u);
    EXPECT_EQ(out, (std::vector<std::int16_t>{-3, 32766, -32768, -1}));

    ASSERT_TRUE(c.Init(Format(22050, 6), Format(22050, 1)));
    Feed six{{6, 6, 6, 6, 6, 6, -1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 6};
    EXPECT_EQ(c.Convert(4, out.data(), &Feed::Read, &six), 4u);
    EXPECT_EQ(out[0], 6);
    EXPECT_EQ(out[1], -1);
}

TEST(RateConverterConvert, FullScaleStaysInRange) {
    RateConverter c;
    ASSERT_TRUE(c.Init(Format(17000, 1), Format(44100, 1)));
    std::vector<std::int16_t> in;
    for (int i = 0; i < 200; ++i) in.push_back(i < 100 ? 32767 : -32768);
    Feed feed{in};
    std::vector<std::int16_t> out = ConvertAll(c, feed, 200, 50);
    for (std::size_t k = 0; k < out.size(); ++k) {
        if (k * c.Step() < (99u << 15)) EXPECT_EQ(out[k], 32767) << k;
        if (k * c.Step() >= (100u << 15)) EXPECT_EQ(out[k], -32768) << k;
    }
}

TEST(RateConverterConvert, PartialFramesAndTheEnd) {
    RateConverter c;
    ASSERT_TRUE(c.Init(Format(44100, 2), Format(44100, 2)));
    Feed feed{Ramp(20), 2};
    std::vector<std::int16_t> out(64);
    EXPECT_EQ(c.Convert(6, out.data(), &Feed::Read, &feed), 0u);
    EXPECT_EQ(feed.at, 0u);
    // Ten frames in: nine come out (the last waits for a neighbour), then nothing.
    EXPECT_EQ(c.Convert(64, out.data(), &Feed::Read, &feed), 36u);
    EXPECT_EQ(std::vector<std::int16_t>(out.begin(), out.begin() + 18),
              std::vector<std::int16_t>(feed.samples.begin(), feed.samples.begin() + 18));
    EXPECT_EQ(c.Convert(64, out.data(), &Feed::Read, &feed), 0u);
}

// A ramp whose samples are twice their frame number, seekable by seconds.
class RampSource : public CountedAudioSource {
public:
    RampSource(std::uint32_t rate, std::uint32_t channels) : rate_(rate), channels_(channels) {}
    bool GetFormat(AudioFormat* f) override {
        *f = Format(rate_, channels_);
        return true;
    }
    bool Read(void* buffer, std::uint32_t size, std::uint32_t* count) override {
        auto* out = static_cast<std::int16_t*>(buffer);
        std::uint32_t frames = size / (2 * channels_);
        for (std::uint32_t i = 0; i < frames; ++i, ++frame_) {
            for (std::uint32_t c = 0; c < channels_; ++c) out[i * channels_ + c] = static_cast<std::int16_t>(2 * frame_ % 30000);
        }
        *count = frames * 2 * channels_;
        return true;
    }
    bool CanSeek() override { return true; }
    std::int64_t LengthSeconds() override { return 100; }
    std::int64_t PositionSeconds() override { return frame_ / rate_; }
    bool SeekSeconds(std::uint32_t s) override {
        frame_ = s * rate_;
        return true;
    }

private:
    std::uint32_t rate_, channels_;
    std::uint32_t frame_ = 0;
};

TEST(ResamplingSource, SeekingDropsOldFrames) {
    auto* inner = new RampSource(1000, 2);
    auto r = AudioRef<ResamplingSource>::Adopt(new ResamplingSource(inner));
    inner->Release();  // the resampler holds the only reference now
    ASSERT_TRUE(r->Setup(Format(2000, 1)));
    AudioFormat f;
    ASSERT_TRUE(r->GetFormat(&f));
    EXPECT_EQ(f.rate, 2000u);
    EXPECT_EQ(f.channels, 1u);
    std::vector<std::int16_t> out(100);
    std::uint32_t got = 0;
    ASSERT_TRUE(r->Read(out.data(), 200, &got));
    EXPECT_EQ(got, 200u);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[99], 99);  // halfway between frames 49 and 50
    ASSERT_TRUE(r->SeekSeconds(7));
    ASSERT_TRUE(r->Read(out.data(), 20, &got));
    EXPECT_EQ(out[0], 14000);
    EXPECT_EQ(out[2], 14002);
    EXPECT_EQ(r->PositionSeconds(), 7);
    EXPECT_EQ(r->LengthSeconds(), 100);
}

TEST(ResamplingSource, RefusesReadsUntilSetUp) {
    auto* inner = new RampSource(1000, 2);
    auto r = AudioRef<ResamplingSource>::Adopt(new ResamplingSource(inner));
    inner->Release();
    AudioFormat f;
    std::int16_t out[4];
    std::uint32_t got = 1;
    EXPECT_FALSE(r->GetFormat(&f));
    EXPECT_FALSE(r->Read(out, 8, &got));
    EXPECT_EQ(got, 0u);
    EXPECT_FALSE(r->Setup(Format(2000, 2 + 4)));
    EXPECT_FALSE(r->Read(out, 8, &got));
}

}  // namespace

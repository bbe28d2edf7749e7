#include "media/audio/rate_converter.h"

#include <gtest/gtest.h>

#include <vector>

#include "media/audio/resampling_source.h"
#include "support/media/audio_fixtures.h"

namespace {

using fixtures::SampleFeed;

AudioFormat Format(std::uint32_t rate, std::uint32_t channels) {
    AudioFormat f;
    f.rate = rate;
    f.channels = channels;
    return f;
}

// Converts in calls of chunk frames (of varying size when vary) until outFrames or the end.
std::vector<std::int16_t> ConvertAll(RateConverter& c, SampleFeed& feed, std::uint32_t outFrames,
                                     std::uint32_t chunk, bool vary = false) {
    std::vector<std::int16_t> out;
    const std::uint32_t channels = c.TargetFormat().channels;
    for (std::uint32_t k = 1; out.size() / channels < outFrames; k = k * 7 + 3) {
        std::uint32_t n = vary ? 1 + k % chunk : chunk;
        n = std::min<std::uint32_t>(n,
                                    outFrames - static_cast<std::uint32_t>(out.size() / channels));
        std::vector<std::int16_t> piece(n * channels);
        std::uint32_t bytes = c.Convert(n * 2 * channels, piece.data(), &SampleFeed::Read, &feed);
        out.insert(out.end(), piece.begin(), piece.begin() + bytes / 2);
        if (bytes < n * 2 * channels) break;
    }
    return out;
}

// Output frame k lies at k * step (17.15 fixed point) of the whole input.
std::int16_t Reference(const std::vector<std::int16_t>& in, std::uint32_t channels,
                       std::uint32_t channel, std::uint64_t k, std::uint32_t step) {
    std::uint64_t p = k * step, i = p >> 15;
    std::int32_t f = static_cast<std::int32_t>(p & 0x7FFF);
    std::int32_t s0 = in[i * channels + channel], s1 = in[(i + 1) * channels + channel];
    return static_cast<std::int16_t>(((32768 - f) * s0 + f * s1 + 16384) >> 15);
}

TEST(RateConverter, RefusesFormatsItCannotConvert) {
    RateConverter c;
    EXPECT_TRUE(c.Init(Format(22050, 2), Format(44100, 2)));
    EXPECT_TRUE(c.Init(Format(48000, 6), Format(22050, 1)));
    AudioFormat bad = Format(22050, 1);
    bad.bytesPerSample = 1;
    EXPECT_FALSE(c.Init(bad, Format(22050, 1)));
    bad = Format(22050, 1);
    bad.bigEndian = 1;
    EXPECT_FALSE(c.Init(Format(22050, 1), bad));
    EXPECT_FALSE(c.Init(Format(0, 1), Format(22050, 1)));
    EXPECT_FALSE(c.Init(Format(22050, 1), Format(0, 1)));
    // Only equal counts or a mix down to one channel.
    EXPECT_FALSE(c.Init(Format(22050, 2), Format(22050, 6)));
    EXPECT_FALSE(c.Init(Format(22050, 1), Format(22050, 2)));
    // A hostile rate would overflow the fixed-point step.
    EXPECT_FALSE(c.Init(Format(0x7FFFFFFF, 1), Format(11025, 1)));
    EXPECT_FALSE(c.Init(Format(22050 * 17, 1), Format(22050, 1)));
    std::vector<std::int16_t> out(8);
    SampleFeed feed{fixtures::Ramp(100)};
    EXPECT_EQ(c.Convert(16, out.data(), &SampleFeed::Read, &feed), 0u);
}

TEST(RateConverter, DoublingInsertsRoundedMeansAndHalvingKeepsEveryOtherFrame) {
    RateConverter c;
    ASSERT_TRUE(c.Init(Format(22050, 1), Format(44100, 1)));
    EXPECT_EQ(c.Step(), 16384u);
    SampleFeed feed{{100, 201, -300, 7, 7, 32767, -32768}};
    std::vector<std::int16_t> out(12);
    EXPECT_EQ(c.Convert(24, out.data(), &SampleFeed::Read, &feed), 24u);
    EXPECT_EQ(
        out, (std::vector<std::int16_t>{100, 151, 201, -49, -300, -146, 7, 7, 7, 16387, 32767, 0}));

    ASSERT_TRUE(c.Init(Format(44100, 2), Format(22050, 2)));
    EXPECT_EQ(c.Step(), 65536u);
    SampleFeed ramp{fixtures::Ramp(2 * 1000), 2};
    out = ConvertAll(c, ramp, 400, 64);
    ASSERT_EQ(out.size(), 800u);
    for (std::size_t k = 0; k < 800; ++k) EXPECT_EQ(out[k], ramp.samples[2 * k - k % 2]) << k;
}

TEST(RateConverter, StaysContinuousAcrossCallsAtAnyRatio) {
    // Ratios above 2 make the phase overshoot the buffered frames at the end of a call: those
    // frames must be skipped in the next one, not replayed.
    const std::uint32_t rates[][2] = {{33075, 22050}, {66150, 22050}, {48000, 22050},
                                      {11025, 44100}, {16000, 22050}, {352800, 22050}};
    for (auto& r : rates) {
        for (std::uint32_t channels : {1u, 2u}) {
            RateConverter c;
            ASSERT_TRUE(c.Init(Format(r[0], channels), Format(r[1], channels)));
            SampleFeed feed{fixtures::Ramp(channels * 60000, 91), channels, true};
            std::vector<std::int16_t> out = ConvertAll(c, feed, 3000, 97, true);
            ASSERT_EQ(out.size(), 3000u * channels) << r[0];
            for (std::uint64_t k = 0; k < out.size(); ++k) {
                ASSERT_EQ(out[k],
                          Reference(feed.samples, channels, k % channels, k / channels, c.Step()))
                    << r[0] << " -> " << r[1] << " sample " << k;
            }
        }
    }
}

TEST(RateConverter, MixesDownAndStaysInRange) {
    RateConverter c;
    ASSERT_TRUE(c.Init(Format(22050, 2), Format(22050, 1)));
    SampleFeed feed{{-3, -2, 32767, 32767, -32768, -32768, 5, -5, 1, 1}, 2};
    std::vector<std::int16_t> out(4);
    EXPECT_EQ(c.Convert(8, out.data(), &SampleFeed::Read, &feed), 8u);
    EXPECT_EQ(out, (std::vector<std::int16_t>{-3, 32766, -32768, -1}));
    ASSERT_TRUE(c.Init(Format(22050, 6), Format(22050, 1)));
    SampleFeed six{{6, 6, 6, 6, 6, 6, -1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 6};
    EXPECT_EQ(c.Convert(4, out.data(), &SampleFeed::Read, &six), 4u);
    EXPECT_EQ(out[0], 6);
    EXPECT_EQ(out[1], -1);

    // Full-scale neighbours give full scale at any fraction.
    ASSERT_TRUE(c.Init(Format(17000, 1), Format(44100, 1)));
    std::vector<std::int16_t> in(200, 32767);
    std::fill(in.begin() + 100, in.end(), -32768);
    SampleFeed edge{in};
    out = ConvertAll(c, edge, 200, 50);
    for (std::size_t k = 0; k < out.size(); ++k) {
        std::uint64_t at = k * c.Step();
        if (at < (99u << 15) || at >= (100u << 15)) {
            EXPECT_EQ(out[k], at < (99u << 15) ? 32767 : -32768) << k;
        }
    }
}

TEST(RateConverter, PartialFramesGiveNothingAndTheLastFrameWaits) {
    RateConverter c;
    ASSERT_TRUE(c.Init(Format(44100, 2), Format(44100, 2)));
    SampleFeed feed{fixtures::Ramp(20), 2};
    std::vector<std::int16_t> out(32);
    EXPECT_EQ(c.Convert(6, out.data(), &SampleFeed::Read, &feed), 0u);
    EXPECT_EQ(feed.at, 0u);
    // Ten frames in: nine come out (the last has no neighbour yet), then nothing.
    EXPECT_EQ(c.Convert(64, out.data(), &SampleFeed::Read, &feed), 36u);
    EXPECT_TRUE(std::equal(out.begin(), out.begin() + 18, feed.samples.begin()));
    EXPECT_EQ(c.Convert(64, out.data(), &SampleFeed::Read, &feed), 0u);
}

TEST(ResamplingSource, SeekingDropsOldFramesAndSetupComesFirst) {
    auto* inner = new fixtures::SyntheticSource(1000, 1, 100000);
    auto r = AudioRef<ResamplingSource>::Adopt(new ResamplingSource(inner));
    inner->Release();  // the resampler holds the only reference now
    std::vector<std::int16_t> out(100);
    std::uint32_t got = 7;
    AudioFormat f;
    EXPECT_FALSE(r->GetFormat(&f));
    EXPECT_FALSE(r->Read(out.data(), 8, &got));
    EXPECT_EQ(got, 0u);
    EXPECT_FALSE(r->Setup(Format(2000, 2)));
    ASSERT_TRUE(r->Setup(Format(2000, 1)));
    ASSERT_TRUE(r->GetFormat(&f));
    EXPECT_EQ(f.rate, 2000u);
    ASSERT_TRUE(r->Read(out.data(), 200, &got));
    EXPECT_EQ(got, 200u);
    EXPECT_EQ(out[99], 50);  // halfway between frames 49 and 50, rounded up
    ASSERT_TRUE(r->SeekSeconds(7));
    ASSERT_TRUE(r->Read(out.data(), 20, &got));
    EXPECT_EQ(out[0], 7000);
    EXPECT_EQ(out[2], 7001);
    EXPECT_EQ(r->PositionSeconds(), 7);
    EXPECT_EQ(r->LengthSeconds(), 100);
    r.Reset();
    EXPECT_EQ(fixtures::SyntheticSource::LiveSources.load(), 0);
}

}  // namespace

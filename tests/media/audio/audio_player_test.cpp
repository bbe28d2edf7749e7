#include "media/audio/audio_player.h"

#include <gtest/gtest.h>

#include <cmath>

#include "media/audio/resampling_source.h"
#include "platform/kernel/device.h"
#include "platform/kernel/kernel_clock.h"
#include "support/media/audio_fixtures.h"

namespace {

using fixtures::Playlist;
using fixtures::SyntheticSource;
using Log = std::vector<std::string>;

class AudioPlayerTest : public ::testing::Test {
protected:
    void SetUp() override { Device("audio = null\nclock = virtual\n"); }
    void TearDown() override {
        player_.reset();
        EXPECT_EQ(fvt::GetWaveCounters().openNow, 0u);
        EXPECT_EQ(SyntheticSource::LiveSources.load(), 0);
        fvt::OpenDevice(folder_.File("device"), "");
    }
    void Device(const std::string& profile) {
        player_.reset();
        ASSERT_TRUE(fvt::OpenDevice(folder_.File("device"), profile));
        fvt::ResetWaveCounters();
        recorder_.log.clear();
        player_ = std::make_unique<AudioPlayer>();
        player_->SetListener(&recorder_);
        player_->SetNoticePoster(&poster_);
        player_->SetPlaylist(&list_);
    }
    // Moves the test clock on in small steps, letting the device catch up after each.
    static void Advance(int ms) {
        for (int done = 0; done < ms; done += 10) {
            Sleep(10);
            ASSERT_TRUE(fixtures::WaitUntil(fvt::WaveDevicesSettled));
        }
    }
    bool PlayToEnd() {
        for (int i = 0; i < 6000; ++i) {
            player_->DeliverNotices();
            if (recorder_.Count("end") > 0) return true;
            Advance(100);
        }
        return false;
    }
    Log Delivered() {
        player_->DeliverNotices();
        return std::move(recorder_.log);
    }
    std::vector<std::int16_t> PlayIntoWav(Playlist::Maker track, const std::string& caps,
                                          std::uint32_t* rate, std::uint32_t* channels) {
        std::string path = folder_.File("out.wav");
        Device("clock = virtual\naudio = wav:" + path + "\nwave_caps = " + caps + "\n");
        list_.tracks = {track};
        std::vector<std::int16_t> samples;
        EXPECT_TRUE(player_->Play(0, false, 0));
        EXPECT_TRUE(PlayToEnd());
        player_->Stop();
        EXPECT_TRUE(fixtures::ReadWav(path, rate, channels, &samples));
        return samples;
    }

    fixtures::TempFolder folder_;
    Playlist list_;
    fixtures::NoticeRecorder recorder_;
    fixtures::NoticePoster poster_;
    std::unique_ptr<AudioPlayer> player_;
};

TEST_F(AudioPlayerTest, PlayReportsTrackPositionAndPlaying) {
    list_.tracks = {Playlist::Synthetic(22050, 1, 5), Playlist::Synthetic(22050, 1, 120)};
    EXPECT_FALSE(player_->Play(2, false, 0));
    EXPECT_EQ(Delivered(), Log{});
    ASSERT_TRUE(player_->Play(0, false, 0));
    EXPECT_TRUE(player_->IsPlaying());
    EXPECT_EQ(Delivered(), (Log{"changing", "pos 0 0", "playing", "pos 0 0"}));

    ASSERT_TRUE(player_->Play(1, false, 90));
    EXPECT_EQ(Delivered(), (Log{"paused", "changing", "pos 1 90", "playing", "pos 1 90"}));
    EXPECT_EQ(player_->GetTrack(), 1u);
    EXPECT_EQ(player_->GetPosition(), 90u);
    EXPECT_EQ(player_->GetLength(), 120u);

    ASSERT_TRUE(player_->Play(1, true, 0));
    EXPECT_FALSE(player_->IsPlaying());
    EXPECT_EQ(Delivered(), (Log{"paused", "changing", "pos 1 0"}));
}

TEST_F(AudioPlayerTest, QueuesAQuarterSecondOfBuffers) {
    // With the clock standing still every buffer is still queued, and Stop's reset returns them.
    const std::uint32_t cases[][3] = {{22050, 1, 12}, {44100, 2, 45}, {11025, 1, 7}};
    for (auto& c : cases) {
        list_.tracks = {Playlist::Synthetic(c[0], c[1], 10)};
        fvt::ResetWaveCounters();
        ASSERT_TRUE(player_->Play(0, false, 0));
        player_->Stop();
        EXPECT_EQ(fvt::GetWaveCounters().headersSkipped, c[2]) << c[0];
        EXPECT_EQ(fvt::GetWaveCounters().framesPlayed, 0u);
    }
}

TEST_F(AudioPlayerTest, PositionsEachSecondThenOneEndAfterTheLastBuffer) {
    list_.tracks = {Playlist::Synthetic(22050, 1, 3.5)};
    ASSERT_TRUE(player_->Play(0, false, 0));
    ASSERT_TRUE(PlayToEnd());
    EXPECT_EQ(recorder_.log, (Log{"changing", "pos 0 0", "playing", "pos 0 0", "pos 0 1", "pos 0 2",
                                  "pos 0 3", "end"}));
    // Every frame went to the device once, and the source was let go.
    EXPECT_EQ(fvt::GetWaveCounters().framesPlayed, static_cast<std::uint64_t>(3.5 * 22050));
    EXPECT_EQ(SyntheticSource::LiveSources.load(), 0);
    EXPECT_TRUE(player_->IsPlaying());
    EXPECT_EQ(player_->GetLength(), AudioPlayer::kUnknownLength);
    // Ended, paused, restarted: there is nothing to restart with.
    player_->TogglePause();
    player_->TogglePause();
    EXPECT_FALSE(player_->IsPlaying());
}

TEST_F(AudioPlayerTest, PauseLetsQueuedBuffersPlayOutAndHoldsTheRest) {
    list_.tracks = {Playlist::Synthetic(22050, 2, 4)};
    ASSERT_TRUE(player_->Play(0, false, 0));
    Advance(1500);
    player_->Pause();
    EXPECT_FALSE(player_->IsPlaying());
    std::uint64_t played = fvt::GetWaveCounters().framesPlayed;
    EXPECT_GT(played, 22050u);
    Advance(2000);
    EXPECT_EQ(fvt::GetWaveCounters().framesPlayed, played);
    EXPECT_EQ(player_->GetPosition(), played / 22050);
    player_->TogglePause();
    EXPECT_TRUE(player_->IsPlaying());
    ASSERT_TRUE(PlayToEnd());
    // Nothing lost or played twice across the pause.
    EXPECT_EQ(fvt::GetWaveCounters().framesPlayed, 4u * 22050);
    EXPECT_EQ(recorder_.Count("pos 0 3"), 1);
    // Stop while buffers are queued: the device closes and the source goes.
    ASSERT_TRUE(player_->Play(0, false, 0));
    EXPECT_EQ(SyntheticSource::LiveSources.load(), 1);
    player_->Stop();
    EXPECT_EQ(fvt::GetWaveCounters().openNow, 0u);
    EXPECT_EQ(SyntheticSource::LiveSources.load(), 0);
}

TEST_F(AudioPlayerTest, SeekMovesASeekableTrackAndOnlyThat) {
    list_.tracks = {Playlist::Synthetic(22050, 1, 10, false), Playlist::Synthetic(22050, 1, 10)};
    EXPECT_EQ(player_->GetLength(), AudioPlayer::kUnknownLength);
    ASSERT_TRUE(player_->Play(0, false, 0));
    Advance(1200);
    EXPECT_FALSE(player_->Seek(5));
    EXPECT_EQ(player_->GetPosition(), 1u);
    EXPECT_TRUE(player_->IsPlaying());
    EXPECT_EQ(player_->GetLength(), AudioPlayer::kUnknownLength);
    // Asked to start at 90 s: the seek fails and the position reported is where it stands.
    ASSERT_TRUE(player_->Play(0, false, 90));
    EXPECT_EQ(Delivered().back(), "pos 0 0");

    ASSERT_TRUE(player_->Play(1, false, 0));
    ASSERT_TRUE(player_->Seek(7));
    EXPECT_EQ(player_->GetPosition(), 7u);
    EXPECT_TRUE(player_->IsPlaying());
    EXPECT_EQ(Delivered().back(), "playing");
    ASSERT_TRUE(PlayToEnd());
    EXPECT_EQ(recorder_.log, (Log{"pos 1 8", "pos 1 9", "end"}));
}

TEST_F(AudioPlayerTest, TrackThatCannotOpenOrPlayIsRefused) {
    std::string text = "not a sound";
    list_.tracks = {nullptr, Playlist::Vorbis(std::vector<std::uint8_t>(text.begin(), text.end())),
                    Playlist::Vorbis({})};
    for (std::uint32_t track = 0; track < 3; ++track) EXPECT_FALSE(player_->Play(track, false, 0));
    EXPECT_EQ(Delivered(), (Log{"changing", "changing", "changing"}));
    EXPECT_EQ(fvt::GetWaveCounters().opens, 0u);
    // A device without any format to convert to.
    Device("audio = null\nclock = virtual\nwave_caps = 0\n");
    list_.tracks = {Playlist::Synthetic(16000, 1, 1)};
    EXPECT_FALSE(player_->Play(0, false, 0));
}

TEST_F(AudioPlayerTest, EmptyTrackEndsAtOnceAndAStaleEndIsDropped) {
    list_.tracks = {Playlist::Synthetic(22050, 1, 0), Playlist::Synthetic(22050, 1, 2)};
    ASSERT_TRUE(player_->Play(0, false, 0));
    // Track 0's end is undelivered when track 1 starts: the listener would skip track 1.
    ASSERT_TRUE(player_->Play(1, false, 0));
    EXPECT_EQ(Delivered(), (Log{"changing", "pos 0 0", "playing", "pos 0 0", "paused", "changing",
                                "pos 1 0", "playing", "pos 1 0"}));
    ASSERT_TRUE(player_->Play(0, false, 0));
    player_->DeliverNotices();
    EXPECT_EQ(recorder_.Count("end"), 1);
    EXPECT_TRUE(player_->IsPlaying());
}

TEST_F(AudioPlayerTest, ListenerMayPlayTheNextTrackFromTheEndNotice) {
    list_.tracks = {Playlist::Synthetic(22050, 1, 1.2), Playlist::Synthetic(11025, 2, 1.2),
                    Playlist::Synthetic(44100, 1, 1.2)};
    recorder_.onEnd = [this] {
        if (player_->GetTrack() + 1 < list_.Count())
            player_->Play(player_->GetTrack() + 1, false, 0);
    };
    ASSERT_TRUE(player_->Play(0, false, 0));
    for (int i = 0; i < 100 && recorder_.Count("end") < 3; ++i) {
        Advance(100);
        player_->DeliverNotices();
    }
    EXPECT_EQ(recorder_.Count("end"), 3);
    EXPECT_EQ(player_->GetTrack(), 2u);
    EXPECT_EQ(recorder_.Count("pos 2 1"), 1);
    EXPECT_EQ(fvt::GetWaveCounters().framesPlayed, 26460u + 13230u + 52920u);
}

TEST_F(AudioPlayerTest, DriverNoticesArePostedAndWaitForDelivery) {
    list_.tracks = {Playlist::Synthetic(22050, 1, 3)};
    ASSERT_TRUE(player_->Play(0, false, 0));
    player_->DeliverNotices();
    int posts = poster_.posts;
    Advance(1500);
    ASSERT_TRUE(fixtures::WaitUntil([&] { return poster_.posts > posts; }));
    EXPECT_NE(poster_.lastThread.load(), std::this_thread::get_id());
    EXPECT_EQ(recorder_.Count("pos 0 1"), 0);
    player_->DeliverNotices();
    EXPECT_EQ(recorder_.Count("pos 0 1"), 1);

    player_->SetVolume(0x12345);
    DWORD raw = 0;
    ASSERT_EQ(waveOutGetVolume(nullptr, &raw), MMSYSERR_NOERROR);
    EXPECT_EQ(raw, 0x23452345u);
    EXPECT_EQ(player_->GetVolume(), 0x2345u);
    player_->SetVolume(0xFFFF);
}

TEST_F(AudioPlayerTest, DeviceThatRefusesTheFormatGetsAConvertedOne) {
    const struct {
        std::uint32_t rate, channels;
        const char* caps;
        std::uint32_t deviceRate, deviceChannels;
    } cases[] = {
        {16000, 1, "0x44", 22050, 1},   // 16 kHz mono on 11/22 kHz mono
        {48000, 2, "0x800", 44100, 2},  // 48 kHz stereo on 44.1 kHz stereo only
        {22050, 2, "0x444", 22050, 1},  // stereo on a mono device
        {8000, 2, "0x888", 11025, 2},  {22050, 1, "0xCCC", 22050, 1},  // taken as it is
    };
    for (const auto& c : cases) {
        std::uint32_t rate = 0, channels = 0;
        auto samples =
            PlayIntoWav(Playlist::Synthetic(c.rate, c.channels, 1.0), c.caps, &rate, &channels);
        EXPECT_EQ(rate, c.deviceRate) << c.rate << " " << c.caps;
        EXPECT_EQ(channels, c.deviceChannels) << c.rate << " " << c.caps;
        EXPECT_NEAR(static_cast<double>(samples.size()) / c.deviceChannels, c.deviceRate, 2);
    }
}

TEST_F(AudioPlayerTest, VorbisToneThroughTheConverterReachesTheDeviceIntact) {
    const auto& tones = fixtures::Tones();
    ASSERT_TRUE(tones.ready) << tones.why;
    // What the converter makes of it, decoded directly.
    auto direct = fixtures::OpenVorbis(tones.mono.ogg);
    auto resampler = AudioRef<ResamplingSource>::Adopt(new ResamplingSource(direct.Get()));
    AudioFormat target;
    target.rate = 44100;
    target.channels = 1;
    ASSERT_TRUE(resampler->Setup(target));
    std::vector<std::int16_t> expected = fixtures::ReadAll(resampler->GetStream(), 1024);

    std::uint32_t rate = 0, channels = 0;
    auto played = PlayIntoWav(Playlist::Vorbis(tones.mono.ogg), "0x400", &rate, &channels);
    EXPECT_EQ(rate, 44100u);
    EXPECT_EQ(played, expected);
    EXPECT_NEAR(fixtures::ToneFrequency(played, 1, 0, 44100), 440, 1);

    // A truncated file plays what is there and ends.
    const auto& noisy = tones.noisy.ogg;
    played = PlayIntoWav(Playlist::Vorbis({noisy.begin(), noisy.begin() + noisy.size() / 2}),
                         "0xCCC", &rate, &channels);
    EXPECT_GT(played.size(), 44100u);
    EXPECT_EQ(recorder_.Count("end"), 1);
}

// Many transitions against a device that plays as fast as it can: run under ThreadSanitizer.
TEST_F(AudioPlayerTest, TransitionsRaceWithCompletions) {
    Device("audio = null:fast\n");
    list_.tracks = {Playlist::Synthetic(22050, 1, 0.3), Playlist::Synthetic(44100, 2, 20),
                    Playlist::Synthetic(48000, 2, 20)};
    for (int round = 0; round < 30; ++round) {
        ASSERT_TRUE(player_->Play(round % 3, round % 4 == 1, 0));
        if (round % 2) player_->TogglePause();
        player_->Seek(round % 5);
        player_->DeliverNotices();
        player_->Pause();
        player_->Restart();
        player_->GetLength();
        if (round % 3 == 0) player_->Stop();
    }
    player_->Stop();
    player_->DeliverNotices();
}

}  // namespace

namespace {

// The position counted by hand, without the device: a second passes with the rate's samples
// plus one, as it does for played buffers, and only a whole second is told.
TEST_F(AudioPlayerTest, AdvancePositionCountsSamplesLikePlayedBuffers) {
    list_.tracks = {Playlist::Synthetic(22050, 1, 10)};
    ASSERT_TRUE(player_->Play(0, true, 0));
    Delivered();
    player_->AdvancePosition(22050);
    EXPECT_EQ(Delivered(), Log{});
    EXPECT_EQ(player_->GetPosition(), 0u);
    player_->AdvancePosition(1);
    EXPECT_EQ(Delivered(), (Log{"pos 0 1"}));
    // Several seconds at once give one notice, at the second reached.
    player_->AdvancePosition(3 * 22050);
    EXPECT_EQ(Delivered(), (Log{"pos 0 4"}));
    EXPECT_EQ(player_->GetPosition(), 4u);
    // Without a device there is no rate to count against.
    player_->Stop();
    AudioPlayer idle;
    idle.AdvancePosition(100000);
    EXPECT_EQ(idle.GetPosition(), 0u);
}

}  // namespace

// Fixtures for the audio tests: encoded tones shared by the suites, synthetic sources, a
// playlist, and stand-ins for the player's listener and the main window's message queue.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "media/audio/audio_player.h"
#include "media/audio/vorbis_source.h"
#include "support/media/sound_fixtures.h"

namespace fixtures {

struct EncodedTone {
    std::vector<std::uint8_t> ogg;
    std::uint32_t rate = 0, channels = 0;
    std::size_t frames = 0;
};

// Encoded once per process with oggenc; ready is false (and why says so) when that failed.
struct ToneSet {
    bool ready = false;
    std::string why;
    EncodedTone mono;    // 22050 Hz, 3.5 s, 440 Hz at 10000
    EncodedTone stereo;  // 44100 Hz, 2.5 s, 1000 Hz left, 1500 Hz right, at 8000
    EncodedTone pure48;  // 48000 Hz stereo, 2 s, 1000 Hz at 12000
    EncodedTone noisy;   // 44100 Hz stereo, 4 s, 440 Hz with noise: many pages
};
const ToneSet& Tones();

// A Vorbis source over a copy of bytes; keep (when given) gets a reference to the data.
AudioRef<VorbisSource> OpenVorbis(std::vector<std::uint8_t> bytes,
                                  MemoryAudioData** keep = nullptr);

// Frame i of channel c holds (i + c) & 0x3FFF; counts the live ones in LiveSources.
class SyntheticSource : public CountedAudioSource {
public:
    SyntheticSource(std::uint32_t rate, std::uint32_t channels, std::uint64_t frames,
                    bool seekable = true);
    bool GetFormat(AudioFormat* format) override;
    bool Read(void* buffer, std::uint32_t size, std::uint32_t* count) override;
    bool CanSeek() override { return seekable_; }
    std::int64_t LengthSeconds() override { return static_cast<std::int64_t>(frames_ / rate_); }
    std::int64_t PositionSeconds() override { return static_cast<std::int64_t>(at_ / rate_); }
    bool SeekSeconds(std::uint32_t seconds) override;
    static std::atomic<int> LiveSources;

private:
    ~SyntheticSource() override { --LiveSources; }
    std::uint32_t rate_, channels_;
    std::uint64_t frames_, at_ = 0;
    bool seekable_;
};

// Interleaved samples handed to the converter in pieces (random sizes when jitter is set).
struct SampleFeed {
    std::vector<std::int16_t> samples;
    std::uint32_t channels = 1;
    bool jitter = false;
    std::size_t at = 0;  // in samples
    std::uint32_t seed = 7;
    static std::uint32_t Read(void* buffer, std::uint32_t size, void* context);
};
std::vector<std::int16_t> Ramp(std::size_t count, int step = 37);

// Tracks made on demand; an empty maker is an entry that cannot open.
class Playlist : public TrackList {
public:
    using Maker = std::function<AudioSource*()>;
    std::vector<Maker> tracks;
    std::uint32_t Count() override { return static_cast<std::uint32_t>(tracks.size()); }
    void GetTitle(std::uint32_t, String&) override {}
    AudioSource** OpenTrack(AudioSource** source, std::uint32_t index) override;
    static Maker Synthetic(std::uint32_t rate, std::uint32_t channels, double seconds,
                           bool seekable = true);
    static Maker Vorbis(std::vector<std::uint8_t> bytes);
};

// Logs "pos T S", "end", "changing", "playing" and "paused".
struct NoticeRecorder : AudioListener {
    std::vector<std::string> log;
    std::function<void()> onEnd;
    void OnPosition(AudioPlayer*, std::uint32_t track, std::uint32_t seconds) override;
    void OnEndOfTrack(AudioPlayer*) override;
    void OnTrackChanging(AudioPlayer*) override { log.push_back("changing"); }
    void OnPlayingChanged(bool playing) override { log.push_back(playing ? "playing" : "paused"); }
    int Count(const std::string& entry) const;
};

struct NoticePoster : AudioNoticePoster {
    std::atomic<int> posts{0};
    std::atomic<std::thread::id> lastThread{};
    void PostNotices(AudioPlayer*) override {
        ++posts;
        lastThread = std::this_thread::get_id();
    }
};

}  // namespace fixtures

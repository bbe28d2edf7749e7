// The audio-book player: plays the tracks of a track list one at a time through the wave device,
// converting a track's format when the device refuses it, and keeps a ring of small buffers
// filled from the driver's thread.
//
// Threads: everything here belongs to the GUI thread except the refill, which runs on the wave
// driver's thread from its callback. The state the two share is behind one mutex; the driver
// never calls the listener and never releases a source: it queues notices and asks the notice
// poster to wake the GUI thread, which calls DeliverNotices.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>

#include "media/audio/audio_source.h"
#include "platform/audio/wave_out.h"

class String;
class AudioPlayer;

// The reader's sound playlist.
class TrackList {
public:
    virtual std::uint32_t Count() = 0;
    virtual void GetTitle(std::uint32_t index, String& title) = 0;
    // Opens track index into *source with a new reference (null when it cannot open); returns
    // source.
    virtual AudioSource** OpenTrack(AudioSource** source, std::uint32_t index) = 0;
    virtual ~TrackList() = default;
};

class AudioListener {
public:
    virtual void OnPosition(AudioPlayer* player, std::uint32_t track, std::uint32_t seconds) = 0;
    // The current track played out; its source has been released.
    virtual void OnEndOfTrack(AudioPlayer* player) = 0;
    // Play is opening a new track (GetTrack already answers it).
    virtual void OnTrackChanging(AudioPlayer* player) = 0;
    virtual void OnPlayingChanged(bool playing) = 0;

protected:
    ~AudioListener() = default;
};

// Wakes the GUI thread: called on any thread when notices wait, it posts a message whose handler
// calls player->DeliverNotices() on the GUI thread. It must not block.
class AudioNoticePoster {
public:
    virtual void PostNotices(AudioPlayer* player) = 0;

protected:
    ~AudioNoticePoster() = default;
};

class AudioPlayer {
public:
    static constexpr std::uint32_t kBlockBytes = 1024;
    static constexpr std::uint32_t kUnknownLength = 0xFFFFFFFF;

    AudioPlayer();
    virtual ~AudioPlayer();
    AudioPlayer(const AudioPlayer&) = delete;
    AudioPlayer& operator=(const AudioPlayer&) = delete;

    void Init();
    void SetListener(AudioListener* listener);
    void SetNoticePoster(AudioNoticePoster* poster);
    void SetPlaylist(TrackList* list);
    void ClearPlaylist(bool stop);

    bool Play(std::uint32_t track, bool paused, std::uint32_t position);
    void TogglePause();
    bool Seek(std::uint32_t seconds);
    void Stop();
    void Pause();
    void Restart();

    bool IsPlaying() const { return device_ != nullptr && playing_; }
    std::uint32_t GetLength();
    std::uint32_t GetPosition();
    std::uint32_t GetTrack() const { return track_; }

    void SetVolume(std::uint32_t level);
    std::uint32_t GetVolume();

    // Counts samples as played without the device: the position moves on, with one position
    // notice when it passes a whole second. The playback itself counts its buffers the same way.
    void AdvancePosition(std::uint32_t samples);

    // GUI thread: hands the queued notices to the listener in the order they arose, and lets go
    // of a source that played out.
    void DeliverNotices();

private:
    struct Block {
        WAVEHDR header;
        char data[kBlockBytes];
        std::atomic<AudioPlayer*> owner;  // cleared when the blocks are abandoned
        bool inDevice;                    // handed to the device and not yet accounted back
    };
    enum class NoticeKind { Position, EndOfTrack, TrackChanging, PlayingChanged };
    struct Notice {
        NoticeKind kind;
        std::uint32_t track;
        std::uint32_t value;  // seconds, or the playing flag
        std::uint64_t session;
    };
    class NullListener : public AudioListener {
    public:
        void OnPosition(AudioPlayer*, std::uint32_t, std::uint32_t) override {}
        void OnEndOfTrack(AudioPlayer*) override {}
        void OnTrackChanging(AudioPlayer*) override {}
        void OnPlayingChanged(bool) override {}
    };

    bool OpenDevice(AudioSource* source, bool startPaused);
    bool OpenWave(const AudioFormat& format, HWAVEOUT* device);
    bool AllocBuffers(std::uint32_t count);
    void OnBufferDone(Block* block);  // with mutex_ held
    void Account(std::uint32_t frames);  // with mutex_ held
    void SetPlaying(bool playing);
    void Queue(NoticeKind kind, std::uint32_t value);  // with mutex_ held
    void Wake();
    bool WaitDrained(bool playOut);
    void CloseDevice();
    bool HasSource() const { return source_ && !ended_; }
    static void WaveCallback(HWAVEOUT device, UINT message, DWORD_PTR instance, DWORD_PTR param1,
                             DWORD_PTR param2);

    // GUI thread only.
    TrackList* trackList_ = nullptr;
    std::uint32_t track_ = 0;
    std::uint32_t length_ = kUnknownLength;
    bool playing_ = false;
    NullListener defaultListener_;
    AudioListener* listener_ = &defaultListener_;
    std::unique_ptr<Block[]> buffers_;
    std::uint32_t bufferCount_ = 0;

    // Shared with the driver thread: behind mutex_ (written only under it).
    mutable std::mutex mutex_;
    std::condition_variable drained_;
    HWAVEOUT device_ = nullptr;
    AudioRef<AudioSource> source_;
    bool stop_ = true;
    bool ended_ = false;  // the data ran out and every buffer came back
    std::uint32_t queued_ = 0;
    std::uint32_t position_ = 0;
    std::int64_t samplesLeft_ = 0;
    std::uint32_t deviceRate_ = 0;
    std::uint32_t frameBytes_ = 0;
    std::uint64_t session_ = 0;  // one per opened device
    std::deque<Notice> notices_;
    AudioNoticePoster* poster_ = nullptr;
};

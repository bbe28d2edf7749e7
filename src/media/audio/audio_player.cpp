#include "media/audio/audio_player.h"

#include <chrono>
#include <cstdio>
#include <new>
#include <vector>

#include "media/audio/resampling_source.h"
#include "platform/kernel/kernel_clock.h"

namespace {

constexpr std::uint32_t kMaxChannels = 8;
constexpr std::uint32_t kMaxRate = 192000;
// Pause lets the queued quarter second play out, polling with Sleep; past this the device is
// told to give the buffers back.
constexpr auto kPlayOutWait = std::chrono::seconds(3);
// A device that does not return reset buffers within this is broken: its buffers are abandoned.
constexpr auto kResetWait = std::chrono::seconds(5);

}  // namespace

AudioPlayer::AudioPlayer() {
    Init();
}

AudioPlayer::~AudioPlayer() {
    Stop();
    std::lock_guard<std::mutex> lock(mutex_);
    notices_.clear();
}

void AudioPlayer::Init() {
    trackList_ = nullptr;
    track_ = 0;
    std::lock_guard<std::mutex> lock(mutex_);
    position_ = 0;
    listener_ = &defaultListener_;
}

void AudioPlayer::SetListener(AudioListener* listener) {
    listener_ = listener ? listener : &defaultListener_;
}

void AudioPlayer::SetNoticePoster(AudioNoticePoster* poster) {
    std::lock_guard<std::mutex> lock(mutex_);
    poster_ = poster;
}

void AudioPlayer::SetPlaylist(TrackList* list) {
    ClearPlaylist(true);
    trackList_ = list;
}

void AudioPlayer::ClearPlaylist(bool stop) {
    if (stop) Stop();
    trackList_ = nullptr;
}

bool AudioPlayer::Play(std::uint32_t track, bool paused, std::uint32_t position) {
    Stop();
    if (trackList_ == nullptr || trackList_->Count() <= track) return false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        track_ = track;
        Queue(NoticeKind::TrackChanging, 0);
    }
    Wake();
    AudioSource* opened = nullptr;
    trackList_->OpenTrack(&opened, track);
    auto source = AudioRef<AudioSource>::Adopt(opened);
    if (!source) return false;
    bool startPaused = position != 0 || paused;
    if (!OpenDevice(source.Get(), startPaused)) return false;
    if (position != 0) {
        Seek(position);
        if (!paused) Restart();
    }
    {
        // The position actually reached: a failed seek leaves the track at its start.
        std::lock_guard<std::mutex> lock(mutex_);
        Queue(NoticeKind::Position, position_);
    }
    Wake();
    return true;
}

void AudioPlayer::TogglePause() {
    if (IsPlaying()) {
        Pause();
    } else {
        Restart();
    }
}

bool AudioPlayer::Seek(std::uint32_t seconds) {
    bool wasPlaying = IsPlaying();
    if (wasPlaying) Pause();
    bool done = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (HasSource() && source_->CanSeek() && source_->SeekSeconds(seconds)) {
            samplesLeft_ = deviceRate_;
            position_ = seconds;
            Queue(NoticeKind::Position, seconds);
            done = true;
        }
    }
    Wake();
    if (wasPlaying) Restart();
    return done;
}

void AudioPlayer::Stop() {
    if (device_ != nullptr) {
        {
            // Set first: a refill in progress finishes, and none starts after it.
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        waveOutReset(device_);
        CloseDevice();
    }
    SetPlaying(false);
}

void AudioPlayer::Pause() {
    if (!IsPlaying()) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    WaitDrained(true);
    waveOutPause(device_);
    SetPlaying(false);
}

void AudioPlayer::Restart() {
    if (device_ == nullptr || playing_) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        // A track that played out has nothing to restart with.
        if (!HasSource()) return;
        stop_ = false;
    }
    SetPlaying(true);
    {
        // The device is paused: the buffers fill here, and no completion comes meanwhile.
        std::lock_guard<std::mutex> lock(mutex_);
        for (std::uint32_t i = 0; i < bufferCount_; ++i) {
            if (!buffers_[i].inDevice) OnBufferDone(&buffers_[i]);
        }
    }
    Wake();
    waveOutRestart(device_);
}

std::uint32_t AudioPlayer::GetLength() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!HasSource() || !source_->CanSeek()) return kUnknownLength;
    if (length_ == kUnknownLength) {
        std::int64_t seconds = source_->LengthSeconds();
        if (seconds >= 0) {
            length_ =
                seconds < kUnknownLength ? static_cast<std::uint32_t>(seconds) : kUnknownLength - 1;
        }
    }
    return length_;
}

std::uint32_t AudioPlayer::GetPosition() {
    std::lock_guard<std::mutex> lock(mutex_);
    return position_;
}

void AudioPlayer::SetVolume(std::uint32_t level) {
    waveOutSetVolume(device_, (level & 0xFFFF) * 0x10001);
}

std::uint32_t AudioPlayer::GetVolume() {
    DWORD volume = 0;
    if (waveOutGetVolume(device_, &volume) != MMSYSERR_NOERROR) return 0;
    return volume & 0xFFFF;
}

void AudioPlayer::DeliverNotices() {
    while (true) {
        Notice notice;
        AudioRef<AudioSource> finished;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (notices_.empty()) return;
            notice = notices_.front();
            notices_.pop_front();
            if (notice.kind == NoticeKind::EndOfTrack) {
                // Stale when the track was stopped or replaced since it ended.
                if (notice.session != session_ || !ended_ || !source_) continue;
                finished = std::move(source_);
            }
        }
        // Released here, on the GUI thread, and outside the lock.
        finished.Reset();
        switch (notice.kind) {
            case NoticeKind::Position:
                listener_->OnPosition(this, notice.track, notice.value);
                break;
            case NoticeKind::EndOfTrack:
                listener_->OnEndOfTrack(this);
                break;
            case NoticeKind::TrackChanging:
                listener_->OnTrackChanging(this);
                break;
            case NoticeKind::PlayingChanged:
                listener_->OnPlayingChanged(notice.value != 0);
                break;
        }
    }
}

bool AudioPlayer::OpenWave(const AudioFormat& format, HWAVEOUT* device) {
    WAVEFORMATEX wave{};
    wave.wFormatTag = WAVE_FORMAT_PCM;
    wave.nChannels = static_cast<WORD>(format.channels);
    wave.nSamplesPerSec = format.rate;
    wave.wBitsPerSample = static_cast<WORD>(format.bytesPerSample * 8);
    wave.nBlockAlign = static_cast<WORD>(wave.nChannels * wave.wBitsPerSample / 8);
    wave.nAvgBytesPerSec = wave.nBlockAlign * wave.nSamplesPerSec;
    wave.cbSize = 0;
    *device = nullptr;
    MMRESULT result =
        waveOutOpen(device, WAVE_MAPPER, &wave,
                    reinterpret_cast<DWORD_PTR>(&AudioPlayer::WaveCallback), 0, CALLBACK_FUNCTION);
    if (result != MMSYSERR_NOERROR) *device = nullptr;
    return *device != nullptr;
}

bool AudioPlayer::OpenDevice(AudioSource* source, bool startPaused) {
    Stop();
    if (source == nullptr) return false;
    PcmStream* stream = source->GetStream();
    AudioFormat format;
    if (stream == nullptr || !stream->GetFormat(&format)) return false;
    if (!format.IsPcm16() || format.channels < 1 || format.channels > kMaxChannels ||
        format.rate < 1 || format.rate > kMaxRate) {
        return false;
    }

    auto chosen = AudioRef<AudioSource>::Share(source);
    HWAVEOUT device = nullptr;
    if (!OpenWave(format, &device)) {
        // The smallest of 11025, 22050 and 44100 Hz that the device takes and that is not below
        // the track's rate, else the largest it takes; stereo only for a stereo track.
        WAVEOUTCAPS caps{};
        if (waveOutGetDevCaps(WAVE_MAPPER, &caps, sizeof caps) != MMSYSERR_NOERROR) return false;
        auto pick = [&](DWORD low, DWORD mid, DWORD high) -> std::uint32_t {
            if ((caps.dwFormats & low) && format.rate <= 11025) return 11025;
            if ((caps.dwFormats & mid) && format.rate <= 22050) return 22050;
            if (caps.dwFormats & high) return 44100;
            if (caps.dwFormats & mid) return 22050;
            if (caps.dwFormats & low) return 11025;
            return 0;
        };
        AudioFormat target;
        target.channels = 2;
        target.rate = 0;
        if (format.channels == 2) {
            target.rate = pick(WAVE_FORMAT_1S16, WAVE_FORMAT_2S16, WAVE_FORMAT_4S16);
        }
        if (target.rate == 0) {
            target.channels = 1;
            target.rate = pick(WAVE_FORMAT_1M16, WAVE_FORMAT_2M16, WAVE_FORMAT_4M16);
        }
        if (target.rate == 0) return false;
        auto* resampler = new (std::nothrow) ResamplingSource(source);
        if (resampler == nullptr) return false;
        chosen = AudioRef<AudioSource>::Adopt(resampler);
        if (!resampler->Setup(target)) return false;
        format = target;
        if (!OpenWave(format, &device)) return false;
    }

    frameBytes_ = format.channels * 2;
    std::uint32_t rate = format.rate;
    if (!AllocBuffers(((frameBytes_ * rate) >> 12) + 2)) {
        waveOutClose(device);
        return false;
    }
    for (std::uint32_t i = 0; i < bufferCount_; ++i) buffers_[i].header.dwFlags = 0;
    waveOutPause(device);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        device_ = device;
        source_ = std::move(chosen);
        queued_ = 0;
        deviceRate_ = rate;
        samplesLeft_ = rate;
        stop_ = false;
        ended_ = false;
        position_ = 0;
        ++session_;
    }
    length_ = kUnknownLength;
    playing_ = false;
    if (!startPaused) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            Queue(NoticeKind::Position, 0);
        }
        Restart();
    }
    return true;
}

bool AudioPlayer::AllocBuffers(std::uint32_t count) {
    buffers_.reset();
    bufferCount_ = 0;
    Block* blocks = new (std::nothrow) Block[count];
    if (blocks == nullptr) return false;
    for (std::uint32_t i = 0; i < count; ++i) {
        blocks[i].header = WAVEHDR{};
        blocks[i].owner = this;
        blocks[i].inDevice = false;
    }
    buffers_.reset(blocks);
    bufferCount_ = count;
    return true;
}

void AudioPlayer::OnBufferDone(Block* block) {
    WAVEHDR& header = block->header;
    if (block->inDevice && (header.dwFlags & WHDR_DONE)) {
        Account(header.dwBufferLength / frameBytes_);
        waveOutUnprepareHeader(device_, &header, sizeof header);
        header.dwFlags &= ~WHDR_DONE;
        block->inDevice = false;
        --queued_;
    }
    if (HasSource() && !stop_) {
        // Whole frames only.
        std::uint32_t room = kBlockBytes - kBlockBytes % frameBytes_;
        std::uint32_t count = 0;
        if (source_->GetStream()->Read(block->data, room, &count) && count > 0) {
            count -= count % frameBytes_;
        } else {
            count = 0;
        }
        if (count > 0) {
            header = WAVEHDR{};
            header.lpData = block->data;
            header.dwBufferLength = count;
            header.dwUser = reinterpret_cast<DWORD_PTR>(block);
            if (waveOutPrepareHeader(device_, &header, sizeof header) == MMSYSERR_NOERROR) {
                if (waveOutWrite(device_, &header, sizeof header) == MMSYSERR_NOERROR) {
                    block->inDevice = true;
                    ++queued_;
                    return;
                }
                waveOutUnprepareHeader(device_, &header, sizeof header);
            }
        }
        // Nothing more to play: the track ends once the last buffer is back.
        if (queued_ == 0) {
            ended_ = true;
            Queue(NoticeKind::EndOfTrack, 0);
        }
    }
    if (queued_ == 0) drained_.notify_all();
}

void AudioPlayer::Account(std::uint32_t frames) {
    // Nothing to count against before a device gave the rate.
    if (deviceRate_ == 0) return;
    samplesLeft_ -= frames;
    bool moved = false;
    while (samplesLeft_ < 0) {
        samplesLeft_ += deviceRate_;
        ++position_;
        moved = true;
    }
    if (moved) Queue(NoticeKind::Position, position_);
}

void AudioPlayer::AdvancePosition(std::uint32_t samples) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        Account(samples);
    }
    Wake();
}

void AudioPlayer::WaveCallback(HWAVEOUT, UINT message, DWORD_PTR, DWORD_PTR param1, DWORD_PTR) {
    if (message != MM_WOM_DONE || param1 == 0) return;
    auto* header = reinterpret_cast<WAVEHDR*>(param1);
    auto* block = reinterpret_cast<Block*>(header->dwUser);
    AudioPlayer* player = block ? block->owner.load() : nullptr;
    if (player == nullptr) return;
    bool wake;
    {
        std::lock_guard<std::mutex> lock(player->mutex_);
        std::size_t before = player->notices_.size();
        player->OnBufferDone(block);
        wake = player->notices_.size() != before;
    }
    if (wake) player->Wake();
}

void AudioPlayer::SetPlaying(bool playing) {
    if (playing_ == playing) return;
    playing_ = playing;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        Queue(NoticeKind::PlayingChanged, playing ? 1 : 0);
    }
    Wake();
}

void AudioPlayer::Queue(NoticeKind kind, std::uint32_t value) {
    notices_.push_back(Notice{kind, track_, value, session_});
}

void AudioPlayer::Wake() {
    AudioNoticePoster* poster;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (notices_.empty()) return;
        poster = poster_;
    }
    if (poster) poster->PostNotices(this);
}

bool AudioPlayer::WaitDrained(bool playOut) {
    if (playOut) {
        // Sleep, not a wait: under the test clock it is what moves time for the device.
        auto deadline = std::chrono::steady_clock::now() + kPlayOutWait;
        while (std::chrono::steady_clock::now() < deadline) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                if (queued_ == 0) return true;
            }
            Sleep(10);
        }
        waveOutReset(device_);
    }
    std::unique_lock<std::mutex> lock(mutex_);
    return drained_.wait_for(lock, kResetWait, [this] { return queued_ == 0; });
}

void AudioPlayer::CloseDevice() {
    bool drained = WaitDrained(false);
    HWAVEOUT device = device_;
    AudioRef<AudioSource> source;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        device_ = nullptr;
        source = std::move(source_);
        ended_ = false;
        // Notices of the closed track's end are void now.
        std::erase_if(notices_, [this](const Notice& n) {
            return n.kind == NoticeKind::EndOfTrack && n.session == session_;
        });
    }
    if (drained && waveOutClose(device) == MMSYSERR_NOERROR) {
        buffers_.reset();
    } else {
        // The device still holds buffers: they must outlive it, and its late callbacks must not
        // reach this player.
        std::fprintf(stderr, "audio player: the wave device kept its buffers; abandoning them\n");
        for (std::uint32_t i = 0; i < bufferCount_; ++i) buffers_[i].owner = nullptr;
        (void)buffers_.release();
    }
    bufferCount_ = 0;
    source.Reset();
}

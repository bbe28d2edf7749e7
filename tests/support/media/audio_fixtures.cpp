#include "support/media/audio_fixtures.h"

#include <algorithm>

namespace fixtures {

namespace {

bool Encode(const TempFolder& folder, const char* name, std::uint32_t rate, std::uint32_t channels,
            double seconds, double hz, double amplitude, double rightHz, double noise,
            EncodedTone* tone, std::string* why) {
    auto samples = SineTone(rate, channels, seconds, hz, amplitude, rightHz, noise);
    tone->rate = rate;
    tone->channels = channels;
    tone->frames = samples.size() / channels;
    std::string path = folder.File(std::string(name) + ".ogg");
    return EncodeVorbis(path, rate, channels, samples, why) && ReadFileBytes(path, &tone->ogg);
}

}  // namespace

const ToneSet& Tones() {
    static const ToneSet set = [] {
        ToneSet s;
        TempFolder folder;
        s.ready = Encode(folder, "mono", 22050, 1, 3.5, 440, 10000, 0, 0, &s.mono, &s.why) &&
                  Encode(folder, "stereo", 44100, 2, 2.5, 1000, 8000, 1500, 0, &s.stereo, &s.why) &&
                  Encode(folder, "pure48", 48000, 2, 2.0, 1000, 12000, 0, 0, &s.pure48, &s.why) &&
                  Encode(folder, "noisy", 44100, 2, 4.0, 440, 8000, 0, 3000, &s.noisy, &s.why);
        return s;
    }();
    return set;
}

AudioRef<VorbisSource> OpenVorbis(std::vector<std::uint8_t> bytes, MemoryAudioData** keep) {
    MemoryAudioData* data = MemoryAudioData::Create(std::move(bytes));
    auto source = AudioRef<VorbisSource>::Adopt(new VorbisSource(data));
    if (keep) {
        *keep = data;
    } else {
        data->Release();
    }
    return source;
}

std::atomic<int> SyntheticSource::LiveSources{0};

SyntheticSource::SyntheticSource(std::uint32_t rate, std::uint32_t channels, std::uint64_t frames,
                                 bool seekable)
    : rate_(rate), channels_(channels), frames_(frames), seekable_(seekable) {
    ++LiveSources;
}

bool SyntheticSource::GetFormat(AudioFormat* format) {
    format->rate = rate_;
    format->channels = channels_;
    return true;
}

bool SyntheticSource::Read(void* buffer, std::uint32_t size, std::uint32_t* count) {
    auto* out = static_cast<std::int16_t*>(buffer);
    std::uint64_t n = std::min<std::uint64_t>(size / (2 * channels_), frames_ - at_);
    for (std::uint64_t i = 0; i < n; ++i, ++at_) {
        for (std::uint32_t c = 0; c < channels_; ++c) {
            *out++ = static_cast<std::int16_t>((at_ + c) & 0x3FFF);
        }
    }
    *count = static_cast<std::uint32_t>(n * 2 * channels_);
    return n > 0;
}

bool SyntheticSource::SeekSeconds(std::uint32_t seconds) {
    if (!seekable_ || std::uint64_t{seconds} * rate_ > frames_) return false;
    at_ = std::uint64_t{seconds} * rate_;
    return true;
}

std::uint32_t SampleFeed::Read(void* buffer, std::uint32_t size, void* context) {
    auto* self = static_cast<SampleFeed*>(context);
    std::uint32_t frames = size / (2 * self->channels);
    if (self->jitter && frames > 1) {
        self->seed = self->seed * 1664525u + 1013904223u;
        frames = 1 + (self->seed >> 8) % frames;
    }
    std::size_t left = (self->samples.size() - self->at) / self->channels;
    frames = static_cast<std::uint32_t>(std::min<std::size_t>(frames, left));
    std::copy_n(self->samples.begin() + self->at, frames * self->channels,
                static_cast<std::int16_t*>(buffer));
    self->at += frames * self->channels;
    return frames * 2 * self->channels;
}

std::vector<std::int16_t> Ramp(std::size_t count, int step) {
    std::vector<std::int16_t> v(count);
    for (std::size_t i = 0; i < count; ++i) {
        v[i] = static_cast<std::int16_t>((i * step) % 65536 - 32768);
    }
    return v;
}

AudioSource** Playlist::OpenTrack(AudioSource** source, std::uint32_t index) {
    *source = index < tracks.size() && tracks[index] ? tracks[index]() : nullptr;
    return source;
}

Playlist::Maker Playlist::Synthetic(std::uint32_t rate, std::uint32_t channels, double seconds,
                                    bool seekable) {
    return [=] {
        return new SyntheticSource(rate, channels, static_cast<std::uint64_t>(seconds * rate),
                                   seekable);
    };
}

Playlist::Maker Playlist::Vorbis(std::vector<std::uint8_t> bytes) {
    return [bytes] { return OpenVorbis(bytes).Take(); };
}

void NoticeRecorder::OnPosition(AudioPlayer*, std::uint32_t track, std::uint32_t seconds) {
    log.push_back("pos " + std::to_string(track) + " " + std::to_string(seconds));
}

void NoticeRecorder::OnEndOfTrack(AudioPlayer*) {
    log.push_back("end");
    if (onEnd) onEnd();
}

int NoticeRecorder::Count(const std::string& entry) const {
    return static_cast<int>(std::count(log.begin(), log.end(), entry));
}

}  // namespace fixtures

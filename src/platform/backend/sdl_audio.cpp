// SDL2 sound for the wave device. The device's driver thread calls Write with each header's
// frames; the sink queues them with SDL and blocks while more than a short stretch is queued,
// so the driver thread is paced by the sound card and headers come back as they play.
#include "platform/backend/sdl_audio.h"

#include <SDL.h>

#include <atomic>
#include <cstdio>
#include <mutex>

namespace fvt {

namespace {

// Queued ahead of the sound card: enough to ride over a busy moment, short enough that a pause
// or a stop is heard at once.
constexpr std::uint32_t kAheadMs = 120;
// A sound card that takes nothing for this long is gone: Write gives up rather than hang.
constexpr std::uint32_t kStallMs = 2000;

class SdlAudioSink : public WaveSink {
public:
    ~SdlAudioSink() override { Close(); }

    bool Open(const WAVEFORMATEX& format) override {
        SdlAudioRequest request;
        if (!SdlAudioRequestFor(format, &request)) return false;
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
            std::fprintf(stderr, "wave output: no SDL audio: %s\n", SDL_GetError());
            return false;
        }
        subsystem_ = true;
        SDL_AudioSpec want{};
        want.freq = request.rate;
        want.format = AUDIO_S16SYS;
        want.channels = static_cast<Uint8>(request.channels);
        want.samples = static_cast<Uint16>(request.bufferFrames);
        // No changes allowed: SDL converts to what the card takes.
        device_ = SDL_OpenAudioDevice(nullptr, 0, &want, nullptr, 0);
        if (device_ == 0) {
            std::fprintf(stderr, "wave output: cannot open the SDL audio device: %s\n",
                         SDL_GetError());
            Close();
            return false;
        }
        frameBytes_ = static_cast<std::uint32_t>(request.channels) * 2;
        limit_ = static_cast<std::uint32_t>(request.rate) * frameBytes_ * kAheadMs / 1000;
        SDL_PauseAudioDevice(device_, 0);
        return true;
    }

    void Write(const std::int16_t* samples, std::uint32_t frames) override {
        if (device_ == 0 || frames == 0) return;
        const std::uint32_t generation = discards_.load();
        std::uint32_t waited = 0;
        while (SDL_GetQueuedAudioSize(device_) > limit_ && waited < kStallMs &&
               discards_.load() == generation) {
            SDL_Delay(5);
            waited += 5;
        }
        // Frames of a header the device was reset during are not played.
        std::lock_guard<std::mutex> hold(queueing_);
        if (discards_.load() == generation) SDL_QueueAudio(device_, samples, frames * frameBytes_);
    }

    void Discard() override {
        std::lock_guard<std::mutex> hold(queueing_);
        ++discards_;
        if (device_ != 0) SDL_ClearQueuedAudio(device_);
    }

    void Close() override {
        if (device_ != 0) {
            // The end of a track is still queued: it plays out before the device goes.
            std::uint32_t waited = 0;
            while (SDL_GetQueuedAudioSize(device_) > 0 && waited < kAheadMs * 2) {
                SDL_Delay(5);
                waited += 5;
            }
            std::lock_guard<std::mutex> hold(queueing_);
            SDL_CloseAudioDevice(device_);
            device_ = 0;
        }
        if (subsystem_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
        subsystem_ = false;
    }

    bool PacesItself() const override { return true; }

private:
    SDL_AudioDeviceID device_ = 0;
    bool subsystem_ = false;
    std::uint32_t frameBytes_ = 2;
    std::uint32_t limit_ = 0;
    // Counts the resets; a Write started before one drops its frames.
    std::atomic<std::uint32_t> discards_{0};
    std::mutex queueing_;
};

}  // namespace

bool SdlAudioRequestFor(const WAVEFORMATEX& format, SdlAudioRequest* request) {
    if (!request || format.wFormatTag != WAVE_FORMAT_PCM || format.wBitsPerSample != 16)
        return false;
    if (format.nChannels < 1 || format.nChannels > 8) return false;
    if (format.nSamplesPerSec < 1000 || format.nSamplesPerSec > 192000) return false;
    request->rate = static_cast<int>(format.nSamplesPerSec);
    request->channels = format.nChannels;
    // About 20 ms, rounded down to a power of two frames, at least 256.
    int frames = 256;
    while (frames * 2 <= request->rate / 50) frames *= 2;
    request->bufferFrames = frames;
    return true;
}

std::unique_ptr<WaveSink> MakeSdlAudioSink() {
    return std::make_unique<SdlAudioSink>();
}

void RegisterSdlAudioSink() {
    RegisterWaveSink("sdl", [](const std::string&) { return MakeSdlAudioSink(); });
    SetDefaultWaveSink("sdl");
}

}  // namespace fvt

// A source that converts another source's samples to the rate and channel count a wave device
// takes. The player puts it in front of a track whose own format the device refuses.
#pragma once

#include "media/audio/audio_source.h"
#include "media/audio/rate_converter.h"

class ResamplingSource : public CountedAudioSource {
public:
    // Adds its own reference to the inner source.
    explicit ResamplingSource(AudioSource* inner);

    bool Setup(const AudioFormat& target);

    bool GetFormat(AudioFormat* format) override;
    bool Read(void* buffer, std::uint32_t size, std::uint32_t* count) override;

    bool CanSeek() override;
    std::int64_t LengthSeconds() override;
    std::int64_t PositionSeconds() override;
    bool SeekSeconds(std::uint32_t seconds) override;

private:
    ~ResamplingSource() override = default;
    static std::uint32_t ReadInner(void* buffer, std::uint32_t size, void* context);

    RateConverter converter_;
    AudioRef<AudioSource> inner_;
    bool ready_ = false;
};

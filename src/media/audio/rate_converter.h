// Sample-rate and channel conversion by linear interpolation with a 17.15 fixed-point phase.
#pragma once

#include <cstdint>
#include <vector>

#include "media/audio/audio_source.h"

class RateConverter {
public:
    // Reads up to size bytes of source frames into buffer; returns the bytes read, 0 at the end.
    using ReadFunction = std::uint32_t (*)(void* buffer, std::uint32_t size, void* context);

    static constexpr std::uint32_t kBufferFrames = 2100;
    // Ratios outside these bounds (source rate / target rate) are refused: the fixed-point step
    // must neither overflow nor round to a standstill.
    static constexpr std::uint32_t kMaxStep = 16u << 15;
    static constexpr std::uint32_t kMinStep = 1u << 10;
    static constexpr std::uint32_t kMaxRate = 384000;

    // Equal channel counts (1 or 2), or any count up to 8 down to one channel.
    bool Init(const AudioFormat& source, const AudioFormat& target);
    // Fills size bytes (whole target frames) of output; returns the bytes produced, fewer only
    // at the end of the source, 0 when size is not a whole number of frames.
    std::uint32_t Convert(std::uint32_t size, void* output, ReadFunction read, void* context);
    // Forgets buffered frames and the phase, as after a seek.
    void Reset();

    const AudioFormat& SourceFormat() const { return source_; }
    const AudioFormat& TargetFormat() const { return target_; }
    std::uint32_t Step() const { return step_; }

private:
    std::uint32_t Interpolate(std::int16_t* output, std::uint32_t wanted);
    void DropConsumed();
    std::uint32_t ReadFrames(std::uint32_t frames, ReadFunction read, void* context);

    AudioFormat source_;
    AudioFormat target_;
    std::uint32_t fillFrames_ = 0;  // buffered frames, in the target's channel layout
    std::uint32_t phase_ = 0;       // 17.15: buffered frame index and fraction
    std::uint64_t skip_ = 0;        // source frames the phase has already passed
    std::vector<std::int16_t> buffer_;
    double ratio_ = 0;
    std::uint32_t step_ = 0;
    bool ready_ = false;
};

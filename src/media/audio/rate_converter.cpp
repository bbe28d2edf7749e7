#include "media/audio/rate_converter.h"

#include <algorithm>
#include <cstring>

bool RateConverter::Init(const AudioFormat& source, const AudioFormat& target) {
    ready_ = false;
    source_ = source;
    target_ = target;
    if (!source.IsPcm16() || !target.IsPcm16()) return false;
    if (source.channels < 1 || source.channels > 8) return false;
    if (target.channels < 1 || target.channels > 2) return false;
    if (source.channels != target.channels && target.channels != 1) return false;
    if (source.rate == 0 || target.rate == 0) return false;
    if (source.rate > kMaxRate || target.rate > kMaxRate) return false;
    ratio_ = static_cast<double>(source.rate) / target.rate;
    double step = ratio_ * 32768.0 + 0.5;
    if (step >= kMaxStep + 1.0 || step < kMinStep) return false;
    step_ = static_cast<std::uint32_t>(step);

    // Room for the source frames of one read, before they are mixed down in place.
    std::size_t samples = static_cast<std::size_t>(kBufferFrames) * source.channels;
    if (buffer_.size() != samples) {
        buffer_.clear();
        buffer_.shrink_to_fit();
        buffer_.resize(samples);
    }
    Reset();
    ready_ = true;
    return true;
}

void RateConverter::Reset() {
    fillFrames_ = 0;
    phase_ = 0;
    skip_ = 0;
}

std::uint32_t RateConverter::Interpolate(std::int16_t* output, std::uint32_t wanted) {
    const std::uint32_t channels = target_.channels;
    if (fillFrames_ < 2) return 0;
    const std::uint64_t limit = static_cast<std::uint64_t>(fillFrames_ - 1) << 15;
    const std::int16_t* in = buffer_.data();
    std::uint64_t p = phase_;
    std::uint32_t written = 0;
    while (p < limit && written < wanted) {
        std::uint32_t i = static_cast<std::uint32_t>(p >> 15);
        std::int32_t f = static_cast<std::int32_t>(p & 0x7FFF);
        const std::int16_t* s = in + static_cast<std::size_t>(i) * channels;
        for (std::uint32_t c = 0; c < channels; ++c) {
            std::int32_t v = ((32768 - f) * s[c] + f * s[c + channels] + 16384) >> 15;
            output[c] = static_cast<std::int16_t>(std::clamp(v, -32768, 32767));
        }
        output += channels;
        p += step_;
        ++written;
    }
    phase_ = static_cast<std::uint32_t>(std::min<std::uint64_t>(p, 0xFFFFFFFFu));
    return written;
}

void RateConverter::DropConsumed() {
    std::uint32_t index = phase_ >> 15;
    if (index >= fillFrames_) {
        // The phase overshot the buffered frames: those it passed are skipped from the next input.
        skip_ += index - fillFrames_;
        fillFrames_ = 0;
    } else if (index > 0) {
        std::size_t keep = static_cast<std::size_t>(fillFrames_ - index) * target_.channels;
        std::memmove(buffer_.data(),
                     buffer_.data() + static_cast<std::size_t>(index) * target_.channels,
                     keep * sizeof(std::int16_t));
        fillFrames_ -= index;
    }
    phase_ &= 0x7FFF;
}

std::uint32_t RateConverter::ReadFrames(std::uint32_t frames, ReadFunction read, void* context) {
    const std::uint32_t sourceBytes = source_.FrameBytes();
    std::int16_t* at = buffer_.data() + static_cast<std::size_t>(fillFrames_) * target_.channels;
    std::uint32_t got = read(at, frames * sourceBytes, context) / sourceBytes;
    if (got > frames) got = frames;  // a source that claims more than asked
    // Mixed down as soon as they are read: the buffer holds the target's layout.
    if (source_.channels != target_.channels) {
        const std::uint32_t n = source_.channels;
        for (std::uint32_t i = 0; i < got; ++i) {
            const std::int16_t* s = at + static_cast<std::size_t>(i) * n;
            std::int32_t v;
            if (n == 2) {
                v = (s[0] >> 1) + (s[1] >> 1);
            } else {
                std::int32_t sum = 0;
                for (std::uint32_t c = 0; c < n; ++c) sum += s[c];
                v = sum >= 0 ? sum / static_cast<std::int32_t>(n)
                             : -((-sum + static_cast<std::int32_t>(n) - 1) /
                                 static_cast<std::int32_t>(n));
            }
            at[i] = static_cast<std::int16_t>(v);
        }
    }
    return got;
}

std::uint32_t RateConverter::Convert(std::uint32_t size, void* output, ReadFunction read,
                                     void* context) {
    if (!ready_ || read == nullptr || output == nullptr) return 0;
    const std::uint32_t targetBytes = target_.FrameBytes();
    if (size % targetBytes != 0) return 0;
    const std::uint32_t wanted = size / targetBytes;
    auto* out = static_cast<std::int16_t*>(output);
    std::uint32_t produced = 0;

    while (true) {
        produced += Interpolate(out + static_cast<std::size_t>(produced) * target_.channels,
                                wanted - produced);
        DropConsumed();
        if (produced == wanted) break;

        // Skipped frames first, then about as many frames as the rest of the output needs.
        if (skip_ > 0) {
            std::uint32_t n =
                static_cast<std::uint32_t>(std::min<std::uint64_t>(skip_, kBufferFrames));
            std::uint32_t got = ReadFrames(n, read, context);
            if (got == 0) break;
            skip_ -= got;
            continue;
        }
        std::uint64_t need =
            ((static_cast<std::uint64_t>(wanted - produced) * step_ + phase_) >> 15) + 2;
        need = need > fillFrames_ ? need - fillFrames_ : 1;
        std::uint32_t room = kBufferFrames - fillFrames_;
        if (room == 0) break;  // cannot happen: at most one frame stays buffered
        std::uint32_t frames = static_cast<std::uint32_t>(std::min<std::uint64_t>(need, room));
        std::uint32_t got = ReadFrames(frames, read, context);
        if (got == 0) break;
        fillFrames_ += got;
    }
    return produced * targetBytes;
}

#include "media/audio/resampling_source.h"

ResamplingSource::ResamplingSource(AudioSource* inner)
    : inner_(AudioRef<AudioSource>::Share(inner)) {}

bool ResamplingSource::Setup(const AudioFormat& target) {
    ready_ = false;
    AudioFormat source;
    if (!inner_ || !inner_->GetStream() || !inner_->GetStream()->GetFormat(&source)) return false;
    ready_ = converter_.Init(source, target);
    return ready_;
}

bool ResamplingSource::GetFormat(AudioFormat* format) {
    if (!ready_ || format == nullptr) return false;
    *format = converter_.TargetFormat();
    return true;
}

std::uint32_t ResamplingSource::ReadInner(void* buffer, std::uint32_t size, void* context) {
    auto* self = static_cast<ResamplingSource*>(context);
    std::uint32_t got = 0;
    if (!self->inner_->GetStream()->Read(buffer, size, &got)) return 0;
    return got <= size ? got : size;
}

bool ResamplingSource::Read(void* buffer, std::uint32_t size, std::uint32_t* count) {
    if (count) *count = 0;
    if (!ready_ || count == nullptr) return false;
    *count = converter_.Convert(size, buffer, &ResamplingSource::ReadInner, this);
    return true;
}

bool ResamplingSource::CanSeek() {
    return inner_ && inner_->CanSeek();
}

std::int64_t ResamplingSource::LengthSeconds() {
    return inner_ ? inner_->LengthSeconds() : -1;
}

std::int64_t ResamplingSource::PositionSeconds() {
    return inner_ ? inner_->PositionSeconds() : -1;
}

bool ResamplingSource::SeekSeconds(std::uint32_t seconds) {
    converter_.Reset();
    return inner_ && inner_->SeekSeconds(seconds);
}

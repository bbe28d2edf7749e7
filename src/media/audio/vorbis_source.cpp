#include "media/audio/vorbis_source.h"

#include <tremor/ivorbiscodec.h>
#include <tremor/ivorbisfile.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <new>

#include "media/audio/vorbis_setup_check.h"

namespace {

// Holes (damaged or missing pages) are skipped; this many in a row means the data is garbage.
constexpr int kMaxHolesInRow = 256;
// Formats the rest of the program can take.
constexpr std::uint32_t kMaxChannels = 8;
constexpr std::uint32_t kMaxRate = 384000;

}  // namespace

int OpenVorbisFile(void* source, OggVorbis_File** file, const char* initial, long count) {
    if (file == nullptr) return -1;
    *file = new (std::nothrow) OggVorbis_File{};
    if (*file == nullptr) return -1;
    ov_callbacks callbacks;
    callbacks.read_func = &VorbisSource::ReadCallback;
    callbacks.seek_func = &VorbisSource::SeekCallback;
    callbacks.close_func = &VorbisSource::CloseCallback;
    callbacks.tell_func = &VorbisSource::TellCallback;
    int result = ov_open_callbacks(source, *file, initial, count, callbacks);
    if (result != 0) {
        // A failed open leaves the file object for the caller to clear.
        CloseVorbisFile(*file);
        *file = nullptr;
        return result;
    }
    return 0;
}

int CloseVorbisFile(OggVorbis_File* file) {
    if (file) {
        ov_clear(file);
        delete file;
    }
    return 0;
}

int GetVorbisFormat(OggVorbis_File* file, int link, std::uint32_t* channels, std::uint32_t* rate) {
    vorbis_info* info = file ? ov_info(file, link) : nullptr;
    if (info == nullptr || info->channels <= 0 || info->rate <= 0) return -1;
    *channels = static_cast<std::uint32_t>(info->channels);
    *rate = static_cast<std::uint32_t>(info->rate);
    return 0;
}

VorbisSource::VorbisSource(AudioData* data) : data_(AudioRef<AudioData>::Share(data)) {
    if (!data_) return;
    if (OpenVorbisFile(this, &decoder_, nullptr, 0) != 0) return;
    if (GetVorbisFormat(decoder_, -1, &channels_, &rate_) != 0 || channels_ > kMaxChannels ||
        rate_ > kMaxRate || !CheckLinks()) {
        CloseVorbisFile(decoder_);
        decoder_ = nullptr;
    }
}

bool VorbisSource::CheckLinks() {
    // A positioned stream knows its links, and their sizes, from the open; a stream read straight
    // through shows only its first until it gets there.
    const bool seekable = ov_seekable(decoder_) != 0;
    const long links = seekable ? ov_streams(decoder_) : 1;
    std::uint64_t offset = 0;
    bool sameFormat = true;
    playableSamples_ = seekable ? 0 : -1;
    for (long link = 0; link < links; ++link) {
        if (!VorbisLinkHeadersAreSafe(data_.Get(), offset)) return false;
        if (!seekable) break;
        const int index = static_cast<int>(link);
        std::uint32_t channels = 0, rate = 0;
        if (GetVorbisFormat(decoder_, index, &channels, &rate) != 0) return false;
        // The track plays up to the first link in another format (see Read).
        sameFormat = sameFormat && channels == channels_ && rate == rate_;
        const ogg_int64_t samples = ov_pcm_total(decoder_, index);
        const ogg_int64_t size = ov_raw_total(decoder_, index);
        if (samples < 0 || size <= 0) return false;
        if (sameFormat) playableSamples_ += samples;
        offset += static_cast<std::uint64_t>(size);
    }
    return true;
}

VorbisSource::~VorbisSource() {
    CloseVorbisFile(decoder_);
    decoder_ = nullptr;
}

bool VorbisSource::GetFormat(AudioFormat* format) {
    if (decoder_ == nullptr || format == nullptr) return false;
    format->channels = channels_;
    format->rate = rate_;
    format->bytesPerSample = 2;
    format->signedSamples = 1;
    format->bigEndian = 0;
    return true;
}

bool VorbisSource::Read(void* buffer, std::uint32_t size, std::uint32_t* count) {
    if (count) *count = 0;
    if (decoder_ == nullptr || buffer == nullptr || count == nullptr || ended_) return false;
    char* out = static_cast<char*>(buffer);
    std::uint32_t gathered = 0;
    int holes = 0;
    // Only whole frames: the decoder writes nothing into a space smaller than one.
    const std::uint32_t frameBytes = channels_ * 2;
    size -= size % frameBytes;
    while (gathered < size) {
        int section = -1;
        int want = static_cast<int>(std::min<std::uint32_t>(size - gathered, 1u << 30));
        long got = ov_read(decoder_, out + gathered, want, &section);
        if (got == OV_HOLE) {
            if (++holes > kMaxHolesInRow) {
                ended_ = true;
                break;
            }
            continue;
        }
        if (got <= 0) {
            // The end, or a hard error: what was gathered still plays; the next call ends.
            ended_ = true;
            break;
        }
        holes = 0;
        if (section != section_) {
            std::uint32_t channels = 0, rate = 0;
            bool same = GetVorbisFormat(decoder_, section, &channels, &rate) == 0 &&
                        channels == channels_ && rate == rate_;
            if (!same) {
                // A chained link in another format would play wrongly: the track ends here.
                ended_ = true;
                break;
            }
            section_ = section;
        }
        gathered += static_cast<std::uint32_t>(got);
    }
    *count = gathered;
    return gathered > 0;
}

bool VorbisSource::CanSeek() {
    return decoder_ != nullptr && data_ && data_->IsValid() && ov_seekable(decoder_) != 0;
}

// Times come from sample counts and the format checked at open: the decoder's own time calls
// divide by each link's rate as its headers gave it, which damaged links leave at zero.
std::int64_t VorbisSource::LengthSeconds() {
    if (decoder_ == nullptr || playableSamples_ < 0) return -1;
    return playableSamples_ / rate_;
}

std::int64_t VorbisSource::PositionSeconds() {
    if (decoder_ == nullptr) return -1;
    ogg_int64_t samples = ov_pcm_tell(decoder_);
    return samples < 0 ? -1 : samples / rate_;
}

bool VorbisSource::SeekSeconds(std::uint32_t seconds) {
    if (decoder_ == nullptr || playableSamples_ < 0) return false;
    const std::int64_t target = std::int64_t{seconds} * rate_;
    if (target > playableSamples_ || ov_pcm_seek(decoder_, target) != 0) return false;
    ended_ = false;
    return true;
}

std::size_t VorbisSource::ReadCallback(void* ptr, std::size_t size, std::size_t items,
                                       void* source) {
    auto* self = static_cast<VorbisSource*>(source);
    if (size == 0 || items == 0 || ptr == nullptr || !self->data_) return 0;
    std::uint64_t bytes = static_cast<std::uint64_t>(size) * items;
    if (bytes / size != items || bytes > 0x7FFFFFFFu) bytes = 0x7FFFFFFFu - 0x7FFFFFFFu % size;
    std::uint32_t got = 0;
    if (!self->data_->Read(static_cast<std::uint64_t>(self->position_), ptr,
                           static_cast<std::uint32_t>(bytes), &got)) {
        return 0;
    }
    if (got > bytes) got = static_cast<std::uint32_t>(bytes);
    // Whole items only, as fread counts them.
    std::size_t whole = got / size;
    self->position_ += static_cast<std::int64_t>(whole * size);
    return whole;
}

int VorbisSource::SeekCallback(void* source, std::int64_t offset, int whence) {
    auto* self = static_cast<VorbisSource*>(source);
    std::uint64_t length = 0;
    if (!self->data_ || !self->data_->IsValid() || !self->data_->GetLength(&length)) return -1;
    const std::int64_t size =
        static_cast<std::int64_t>(std::min<std::uint64_t>(length, INT64_MAX / 2));
    std::int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_END ? size : self->position_;
    // Clamp before adding so that a hostile offset cannot overflow.
    if (offset > size) offset = size;
    if (offset < -size) offset = -size;
    std::int64_t target = base + offset;
    if (target < 0) target = 0;
    if (target > size) target = size;
    self->position_ = target;
    return 0;
}

int VorbisSource::CloseCallback(void*) {
    return 0;
}

long VorbisSource::TellCallback(void* source) {
    return static_cast<long>(static_cast<VorbisSource*>(source)->position_);
}

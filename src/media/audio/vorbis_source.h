// An Ogg Vorbis stream decoded with Tremor, the integer decoder, from counted audio data.
#pragma once

#include <cstdint>

#include "media/audio/audio_source.h"

struct OggVorbis_File;

class VorbisSource : public CountedAudioSource {
public:
    // Adds its own reference to data (which may be null). The source exists even when the
    // decoder cannot open; it then refuses GetFormat and Read.
    explicit VorbisSource(AudioData* data);

    bool IsOpen() const { return decoder_ != nullptr; }

    bool GetFormat(AudioFormat* format) override;
    bool Read(void* buffer, std::uint32_t size, std::uint32_t* count) override;

    bool CanSeek() override;
    std::int64_t LengthSeconds() override;
    std::int64_t PositionSeconds() override;
    bool SeekSeconds(std::uint32_t seconds) override;

    // The decoder's data-source callbacks (Tremor's read, seek, close and tell).
    static std::size_t ReadCallback(void* ptr, std::size_t size, std::size_t items, void* source);
    static int SeekCallback(void* source, std::int64_t offset, int whence);
    static int CloseCallback(void* source);
    static long TellCallback(void* source);

private:
    ~VorbisSource() override;
    // Whether every link the decoder knows of has a format and a set-up header it can decode
    // safely; sets playableSamples_.
    bool CheckLinks();

    OggVorbis_File* decoder_ = nullptr;
    std::int64_t position_ = 0;  // next byte the decoder reads
    AudioRef<AudioData> data_;
    std::uint32_t channels_ = 0;
    std::uint32_t rate_ = 0;
    int section_ = -1;
    std::int64_t playableSamples_ = -1;  // up to the first link in another format; -1 unknown
    bool ended_ = false;  // a hard error or a link of another format ends the stream
};

// Thin wrappers over the decoder's open, close and format calls.
int OpenVorbisFile(void* source, OggVorbis_File** file, const char* initial, long count);
int CloseVorbisFile(OggVorbis_File* file);
int GetVorbisFormat(OggVorbis_File* file, int link, std::uint32_t* channels, std::uint32_t* rate);

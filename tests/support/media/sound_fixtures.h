// Sound fixtures for the audio tests, the benchmark and audiodump: audio data over memory and
// host files, 16-bit PCM WAV files, tones, Vorbis encoding with oggenc, and tone measurements.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "media/audio/audio_source.h"
#include "support/platform/temp_folder.h"

namespace fixtures {

// Counted audio data over a private copy of some bytes.
class MemoryAudioData : public AudioData {
public:
    static MemoryAudioData* Create(std::vector<std::uint8_t> bytes) {
        return new MemoryAudioData(std::move(bytes));
    }
    bool IsValid() override { return valid; }
    bool Read(std::uint64_t offset, void* destination, std::uint32_t count,
              std::uint32_t* got) override;
    bool GetLength(std::uint64_t* length) override;
    void AddRef() override { count_.fetch_add(1); }
    void Release() override {
        if (count_.fetch_sub(1) == 1) delete this;
    }
    int RefCount() const { return count_.load(); }

    bool valid = true;
    // Reads fail from this offset on (a damaged card, a vanished record).
    std::uint64_t failFrom = UINT64_MAX;

private:
    explicit MemoryAudioData(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}
    ~MemoryAudioData() override = default;
    std::vector<std::uint8_t> bytes_;
    std::atomic<int> count_{1};
};

// Counted audio data over a host file read with its own descriptor; null when it cannot open.
AudioData* OpenFileAudioData(const std::string& path);

bool ReadFileBytes(const std::string& path, std::vector<std::uint8_t>* bytes);
bool WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);

// 16-bit PCM WAV. Writing goes through a temporary file renamed into place.
bool WriteWav(const std::string& path, std::uint32_t rate, std::uint32_t channels,
              const std::vector<std::int16_t>& samples);
bool ReadWav(const std::string& path, std::uint32_t* rate, std::uint32_t* channels,
             std::vector<std::int16_t>* samples);

// Interleaved sine tone: every channel carries the same wave unless rightHz is given. Noise
// (deterministic) makes the encoded stream large enough to span many pages.
std::vector<std::int16_t> SineTone(std::uint32_t rate, std::uint32_t channels, double seconds,
                                   double hz, double amplitude, double rightHz = 0,
                                   double noise = 0);

// Sets the checksum of every whole Ogg page in bytes, after the bytes were changed on purpose.
void FixOggChecksums(std::vector<std::uint8_t>& bytes);

// Encodes interleaved samples with oggenc into path; false (with why) when that fails.
bool HaveOggenc();
bool EncodeVorbis(const std::string& path, std::uint32_t rate, std::uint32_t channels,
                  const std::vector<std::int16_t>& samples, std::string* why = nullptr,
                  int quality = 4);

// A fresh folder under the system's temporary folder, removed with everything in it.
using TempFolder = fvt::test::TempFolder;

// Waits in real time for another thread's progress; the bound only keeps a broken build from
// hanging.
bool WaitUntil(const std::function<bool()>& done);

// Reads a stream to its end (the first Read that fails or gives nothing).
std::vector<std::int16_t> ReadAll(PcmStream* stream, std::uint32_t chunk = 4096);

// Measurements of one channel of interleaved samples.
double ToneFrequency(const std::vector<std::int16_t>& samples, std::uint32_t channels,
                     std::uint32_t channel, std::uint32_t rate);
double ToneRms(const std::vector<std::int16_t>& samples, std::uint32_t channels,
               std::uint32_t channel);

}  // namespace fixtures

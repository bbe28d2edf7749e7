// Hostile Ogg data through the Vorbis source: open, format, reading to the end, length, seeking
// and position. Each page's checksum is set right first, so that mutations reach the decoder
// instead of ending at the page check.
#include <cstdint>
#include <vector>

#include "media/audio/vorbis_source.h"
#include "support/media/sound_fixtures.h"

// Tremor loses a few bytes on some malformed headers; that is its own leak, not ours.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libvorbisidec.so\n";
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > (1u << 20)) return 0;
    std::vector<std::uint8_t> bytes(data, data + size);
    fixtures::FixOggChecksums(bytes);
    auto* memory = fixtures::MemoryAudioData::Create(std::move(bytes));
    auto source = AudioRef<VorbisSource>::Adopt(new VorbisSource(memory));
    memory->Release();
    AudioFormat format;
    source->GetFormat(&format);
    source->LengthSeconds();
    char buffer[4096];
    std::uint32_t got = 0;
    // Enough for the seeds whole; a stream that claims to go on for ever is cut here.
    for (int reads = 0; reads < 256 && source->Read(buffer, sizeof buffer, &got); ++reads) {
    }
    if (source->SeekSeconds(1)) source->Read(buffer, sizeof buffer, &got);
    source->PositionSeconds();
    if (source->SeekSeconds(0)) source->Read(buffer, 7, &got);
    return 0;
}

// audiodump IN OUT.wav
// audiodump --rate R --channels C IN OUT.wav
// Decodes an Ogg Vorbis file and writes it as 16-bit PCM WAV, at its own format or converted
// through the sample-rate converter as the player does for a device that takes only R and C.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "media/audio/resampling_source.h"
#include "media/audio/vorbis_source.h"
#include "support/media/sound_fixtures.h"

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: audiodump [--rate R --channels C] IN.ogg OUT.wav\n"
                 "  decodes IN (Ogg Vorbis) into a 16-bit PCM WAV file; with --rate and\n"
                 "  --channels the sound is converted to that rate and channel count\n");
    return 2;
}

bool ParseNumber(const char* text, std::uint32_t* value) {
    char* end = nullptr;
    unsigned long v = std::strtoul(text, &end, 10);
    if (end == text || *end != '\0' || v == 0 || v > 0xFFFFFFFFul) return false;
    *value = static_cast<std::uint32_t>(v);
    return true;
}

int Fail(const std::string& why) {
    std::fprintf(stderr, "audiodump: %s\n", why.c_str());
    return 1;
}

void Put16(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

void Put32(std::uint8_t* p, std::uint32_t v) {
    Put16(p, v & 0xFFFF);
    Put16(p + 2, v >> 16);
}

// The 44-byte header of a 16-bit PCM WAV file holding dataBytes of samples.
void WavHeader(std::uint8_t* h, std::uint32_t rate, std::uint32_t channels,
               std::uint32_t dataBytes) {
    std::memcpy(h, "RIFF", 4);
    Put32(h + 4, 36 + dataBytes);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    Put32(h + 16, 16);
    Put16(h + 20, 1);
    Put16(h + 22, channels);
    Put32(h + 24, rate);
    Put32(h + 28, rate * channels * 2);
    Put16(h + 32, channels * 2);
    Put16(h + 34, 16);
    std::memcpy(h + 36, "data", 4);
    Put32(h + 40, dataBytes);
}

// Writes the sound as it decodes, into a file beside `path` renamed over it when whole; the
// header's sizes are filled in at the end. A stream with no sound, or one too long for a WAV
// file, writes nothing.
bool WriteStreamAsWav(PcmStream* stream, const AudioFormat& format, const std::string& path,
                      std::string* why) {
    const std::string part = path + ".part";
    std::FILE* out = std::fopen(part.c_str(), "wb");
    if (!out) {
        *why = "cannot write " + path;
        return false;
    }
    std::uint8_t header[44];
    WavHeader(header, format.rate, format.channels, 0);
    bool ok = std::fwrite(header, 1, sizeof header, out) == sizeof header;
    const std::uint32_t chunk = 4096 * format.channels;
    std::vector<std::int16_t> samples(chunk / 2);
    std::vector<std::uint8_t> bytes(chunk);
    std::uint64_t total = 0;
    std::uint32_t got = 0;
    while (ok && stream->Read(samples.data(), chunk, &got) && got > 0) {
        got &= ~1u;
        for (std::uint32_t i = 0; i < got / 2; ++i)
            Put16(bytes.data() + 2 * i, static_cast<std::uint16_t>(samples[i]));
        ok = std::fwrite(bytes.data(), 1, got, out) == got;
        total += got;
    }
    if (ok && total == 0) *why = path + " would hold no sound: the input has none that decodes";
    if (ok && total > 0xFFFFFFFFull - 36) *why = "the sound is too long for a WAV file";
    ok = ok && why->empty();
    if (ok) {
        WavHeader(header, format.rate, format.channels, static_cast<std::uint32_t>(total));
        ok = std::fseek(out, 0, SEEK_SET) == 0 &&
             std::fwrite(header, 1, sizeof header, out) == sizeof header;
    }
    ok = std::fclose(out) == 0 && ok;
    if (ok) ok = std::rename(part.c_str(), path.c_str()) == 0;
    if (!ok) {
        std::remove(part.c_str());
        if (why->empty()) *why = "cannot write " + path;
    }
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    std::uint32_t rate = 0, channels = 0;
    std::vector<const char*> paths;
    std::string why;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--rate") == 0 && i + 1 < argc) {
            if (!ParseNumber(argv[++i], &rate)) return Usage();
        } else if (std::strcmp(argv[i], "--channels") == 0 && i + 1 < argc) {
            if (!ParseNumber(argv[++i], &channels)) return Usage();
        } else if (argv[i][0] == '-' && argv[i][1] != '\0') {
            return Usage();
        } else {
            paths.push_back(argv[i]);
        }
    }
    if (paths.size() != 2 || (rate == 0) != (channels == 0)) return Usage();

    AudioData* data = fixtures::OpenFileAudioData(paths[0]);
    if (data == nullptr) return Fail(std::string("cannot open ") + paths[0]);
    auto vorbis = AudioRef<VorbisSource>::Adopt(new VorbisSource(data));
    data->Release();
    AudioFormat format;
    if (!vorbis->GetFormat(&format)) {
        return Fail(std::string(paths[0]) + " is not an Ogg Vorbis stream it can decode");
    }

    PcmStream* stream = vorbis->GetStream();
    AudioRef<ResamplingSource> resampler;
    if (rate != 0) {
        AudioFormat target;
        target.rate = rate;
        target.channels = channels;
        resampler = AudioRef<ResamplingSource>::Adopt(new ResamplingSource(vorbis.Get()));
        if (!resampler->Setup(target)) {
            return Fail("cannot convert " + std::to_string(format.rate) + " Hz, " +
                        std::to_string(format.channels) + " channels to " + std::to_string(rate) +
                        " Hz, " + std::to_string(channels) + " channels");
        }
        stream = resampler->GetStream();
        format = target;
    }

    if (!WriteStreamAsWav(stream, format, paths[1], &why)) return Fail(why);
    return 0;
}

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

}  // namespace

int main(int argc, char** argv) {
    std::uint32_t rate = 0, channels = 0;
    std::vector<const char*> paths;
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

    std::vector<std::int16_t> samples = fixtures::ReadAll(stream, 4096 * format.channels);
    if (samples.empty()) return Fail(std::string(paths[0]) + " holds no sound that decodes");
    if (!fixtures::WriteWav(paths[1], format.rate, format.channels, samples)) {
        return Fail(std::string("cannot write ") + paths[1]);
    }
    return 0;
}

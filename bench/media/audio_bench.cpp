// Decoding a minute of 44.1 kHz stereo Vorbis, alone and converted to 22.05 kHz mono on top.
// The counter x_realtime is seconds of sound per second of work; the second benchmark's ratio
// to the first is the converter's cost.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

#include "media/audio/resampling_source.h"
#include "media/audio/vorbis_source.h"
#include "support/media/sound_fixtures.h"

namespace {

constexpr double kSeconds = 60;

const std::vector<std::uint8_t>& Minute() {
    static std::vector<std::uint8_t> bytes = [] {
        std::vector<std::uint8_t> out;
        fixtures::TempFolder folder;
        std::string path = folder.File("minute.ogg");
        // A tone with noise, so that the stream has a speech-like bit rate.
        auto samples = fixtures::SineTone(44100, 2, kSeconds, 440, 8000, 660, 4000);
        std::string why;
        if (!fixtures::EncodeVorbis(path, 44100, 2, samples, &why) ||
            !fixtures::ReadFileBytes(path, &out)) {
            std::fprintf(stderr, "audio_bench: %s\n", why.c_str());
        }
        return out;
    }();
    return bytes;
}

AudioRef<AudioSource> OpenMinute() {
    AudioData* data = fixtures::MemoryAudioData::Create(Minute());
    auto source = AudioRef<AudioSource>::Adopt(new VorbisSource(data));
    data->Release();
    return source;
}

std::uint64_t Drain(PcmStream* stream) {
    std::vector<char> buffer(1024);
    std::uint32_t got = 0;
    std::uint64_t total = 0;
    while (stream->Read(buffer.data(), 1024, &got) && got > 0) total += got;
    return total;
}

void BM_DecodeMinute(benchmark::State& state) {
    if (Minute().empty()) return state.SkipWithError("no fixture (oggenc missing?)");
    for (auto _ : state) {
        auto source = OpenMinute();
        benchmark::DoNotOptimize(Drain(source->GetStream()));
    }
    state.counters["x_realtime"] =
        benchmark::Counter(kSeconds, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_DecodeMinuteTo22kMono(benchmark::State& state) {
    if (Minute().empty()) return state.SkipWithError("no fixture (oggenc missing?)");
    AudioFormat target;
    target.rate = 22050;
    target.channels = 1;
    for (auto _ : state) {
        auto source = OpenMinute();
        auto resampler = AudioRef<ResamplingSource>::Adopt(new ResamplingSource(source.Get()));
        if (!resampler->Setup(target)) return state.SkipWithError("converter refused the format");
        benchmark::DoNotOptimize(Drain(resampler->GetStream()));
    }
    state.counters["x_realtime"] =
        benchmark::Counter(kSeconds, benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK(BM_DecodeMinute)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeMinuteTo22kMono)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

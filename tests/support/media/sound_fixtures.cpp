#include "support/media/sound_fixtures.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <thread>

#include "media/audio/vorbis_setup_check.h"

namespace fixtures {

bool MemoryAudioData::Read(std::uint64_t offset, void* destination, std::uint32_t count,
                           std::uint32_t* got) {
    *got = 0;
    if (offset >= bytes_.size() || offset >= failFrom) return false;
    std::uint64_t n = std::min<std::uint64_t>(count, bytes_.size() - offset);
    if (offset + n > failFrom) n = failFrom - offset;
    std::memcpy(destination, bytes_.data() + offset, n);
    *got = static_cast<std::uint32_t>(n);
    return true;
}

bool MemoryAudioData::GetLength(std::uint64_t* length) {
    *length = bytes_.size();
    return true;
}

namespace {

class FileAudioData : public AudioData {
public:
    explicit FileAudioData(int fd) : fd_(fd) {}
    bool IsValid() override { return true; }
    bool Read(std::uint64_t offset, void* destination, std::uint32_t count,
              std::uint32_t* got) override {
        *got = 0;
        std::uint64_t size = 0;
        if (!GetLength(&size) || offset >= size) return false;
        count = static_cast<std::uint32_t>(std::min<std::uint64_t>(count, size - offset));
        auto* to = static_cast<char*>(destination);
        while (*got < count) {
            ssize_t n = pread(fd_, to + *got, count - *got, static_cast<off_t>(offset + *got));
            if (n <= 0) return *got > 0;
            *got += static_cast<std::uint32_t>(n);
        }
        return true;
    }
    bool GetLength(std::uint64_t* length) override {
        off_t end = lseek(fd_, 0, SEEK_END);
        if (end < 0) return false;
        *length = static_cast<std::uint64_t>(end);
        return true;
    }
    void AddRef() override { count_.fetch_add(1); }
    void Release() override {
        if (count_.fetch_sub(1) == 1) delete this;
    }

private:
    ~FileAudioData() override { close(fd_); }
    int fd_;
    std::atomic<int> count_{1};
};

void Put16(std::vector<std::uint8_t>& b, std::uint32_t v) {
    b.push_back(v & 0xFF);
    b.push_back((v >> 8) & 0xFF);
}
void Put32(std::vector<std::uint8_t>& b, std::uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}
std::uint32_t Get16(const std::uint8_t* p) {
    return p[0] | (p[1] << 8);
}
std::uint32_t Get32(const std::uint8_t* p) {
    return Get16(p) | (Get16(p + 2) << 16);
}

}  // namespace

AudioData* OpenFileAudioData(const std::string& path) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    return new FileAudioData(fd);
}

bool ReadFileBytes(const std::string& path, std::vector<std::uint8_t>* bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::string temp = path + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        out.flush();
        if (!out) {
            std::remove(temp.c_str());
            return false;
        }
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

bool WriteWav(const std::string& path, std::uint32_t rate, std::uint32_t channels,
              const std::vector<std::int16_t>& samples) {
    std::vector<std::uint8_t> b;
    std::uint32_t dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    b.insert(b.end(), {'R', 'I', 'F', 'F'});
    Put32(b, 36 + dataBytes);
    b.insert(b.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    Put32(b, 16);
    Put16(b, 1);
    Put16(b, channels);
    Put32(b, rate);
    Put32(b, rate * channels * 2);
    Put16(b, channels * 2);
    Put16(b, 16);
    b.insert(b.end(), {'d', 'a', 't', 'a'});
    Put32(b, dataBytes);
    for (std::int16_t s : samples) Put16(b, static_cast<std::uint16_t>(s));
    return WriteFileBytes(path, b);
}

bool ReadWav(const std::string& path, std::uint32_t* rate, std::uint32_t* channels,
             std::vector<std::int16_t>* samples) {
    std::vector<std::uint8_t> b;
    if (!ReadFileBytes(path, &b) || b.size() < 12) return false;
    if (std::memcmp(b.data(), "RIFF", 4) != 0 || std::memcmp(b.data() + 8, "WAVE", 4) != 0) {
        return false;
    }
    bool haveFormat = false;
    std::size_t at = 12;
    while (at + 8 <= b.size()) {
        std::uint32_t size = Get32(&b[at + 4]);
        std::size_t body = at + 8;
        if (size > b.size() - body) return false;
        if (std::memcmp(&b[at], "fmt ", 4) == 0 && size >= 16) {
            if (Get16(&b[body]) != 1 || Get16(&b[body + 14]) != 16) return false;
            *channels = Get16(&b[body + 2]);
            *rate = Get32(&b[body + 4]);
            haveFormat = true;
        } else if (std::memcmp(&b[at], "data", 4) == 0 && haveFormat) {
            samples->resize(size / 2);
            for (std::size_t i = 0; i < samples->size(); ++i) {
                (*samples)[i] = static_cast<std::int16_t>(Get16(&b[body + 2 * i]));
            }
            return true;
        }
        at = body + size + (size & 1);
    }
    return false;
}

std::vector<std::int16_t> SineTone(std::uint32_t rate, std::uint32_t channels, double seconds,
                                   double hz, double amplitude, double rightHz, double noise) {
    std::size_t frames = static_cast<std::size_t>(seconds * rate);
    std::vector<std::int16_t> out(frames * channels);
    std::uint32_t seed = 12345;
    for (std::size_t i = 0; i < frames; ++i) {
        for (std::uint32_t c = 0; c < channels; ++c) {
            double f = (c == 1 && rightHz > 0) ? rightHz : hz;
            double v = amplitude * std::sin(2 * M_PI * f * static_cast<double>(i) / rate);
            if (noise > 0) {
                seed = seed * 1664525u + 1013904223u;
                v += noise * ((seed >> 8) / double(1 << 24) * 2 - 1);
            }
            out[i * channels + c] = static_cast<std::int16_t>(std::lround(v));
        }
    }
    return out;
}

void FixOggChecksums(std::vector<std::uint8_t>& bytes) {
    std::size_t at = 0;
    while (at + 27 <= bytes.size()) {
        if (std::memcmp(&bytes[at], "OggS", 4) != 0) {
            ++at;
            continue;
        }
        std::size_t segments = bytes[at + 26];
        std::size_t length = 27 + segments;
        if (at + length > bytes.size()) return;
        for (std::size_t i = 0; i < segments; ++i) length += bytes[at + 27 + i];
        if (at + length > bytes.size()) return;
        std::uint32_t crc = OggPageChecksum(&bytes[at], length);
        for (int i = 0; i < 4; ++i) bytes[at + 22 + i] = static_cast<std::uint8_t>(crc >> (8 * i));
        at += length;
    }
}

bool HaveOggenc() {
    return std::system("oggenc --version >/dev/null 2>&1") == 0;
}

bool EncodeVorbis(const std::string& path, std::uint32_t rate, std::uint32_t channels,
                  const std::vector<std::int16_t>& samples, std::string* why, int quality) {
    std::string wav = path + ".src.wav";
    if (!WriteWav(wav, rate, channels, samples)) {
        if (why) *why = "cannot write " + wav;
        return false;
    }
    // oggenc draws its stream serial from the clock, so two files made within one second
    // would share it, and a chain of them would not be a valid chain: number them here.
    static std::atomic<int> nextSerial{1000};
    std::string command = "oggenc -Q -q " + std::to_string(quality) + " -s " +
                          std::to_string(nextSerial++) + " -o '" + path + "' '" + wav + "' 2>&1";
    int status = std::system(command.c_str());
    std::remove(wav.c_str());
    if (status != 0) {
        if (why) *why = "oggenc failed (is vorbis-tools installed?)";
        return false;
    }
    return true;
}

bool WaitUntil(const std::function<bool()>& done) {
    for (int i = 0; i < 10000; ++i) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    return done();
}

std::vector<std::int16_t> ReadAll(PcmStream* stream, std::uint32_t chunk) {
    std::vector<std::int16_t> out;
    std::vector<std::int16_t> buffer(chunk / 2);
    std::uint32_t got = 0;
    while (stream->Read(buffer.data(), chunk, &got) && got > 0) {
        out.insert(out.end(), buffer.begin(), buffer.begin() + got / 2);
    }
    return out;
}

double ToneFrequency(const std::vector<std::int16_t>& samples, std::uint32_t channels,
                     std::uint32_t channel, std::uint32_t rate) {
    std::size_t frames = samples.size() / channels;
    // The middle of the tone, away from the encoder's edges.
    std::size_t from = frames / 10, to = frames - frames / 10;
    double first = -1, last = -1;
    int crossings = 0;
    for (std::size_t i = from + 1; i < to; ++i) {
        double a = samples[(i - 1) * channels + channel];
        double b = samples[i * channels + channel];
        if (a < 0 && b >= 0) {
            double t = (i - 1) + (-a) / (b - a);
            if (first < 0) first = t;
            last = t;
            ++crossings;
        }
    }
    if (crossings < 2) return 0;
    return (crossings - 1) * static_cast<double>(rate) / (last - first);
}

double ToneRms(const std::vector<std::int16_t>& samples, std::uint32_t channels,
               std::uint32_t channel) {
    std::size_t frames = samples.size() / channels;
    std::size_t from = frames / 10, to = frames - frames / 10;
    double sum = 0;
    for (std::size_t i = from; i < to; ++i) {
        double v = samples[i * channels + channel];
        sum += v * v;
    }
    return to > from ? std::sqrt(sum / (to - from)) : 0;
}

}  // namespace fixtures

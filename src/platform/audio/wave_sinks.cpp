// The built-in sinks: null (counts only) and a WAV file.
#include "platform/audio/wave_sinks.h"

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <map>
#include <mutex>

#include "platform/kernel/device.h"

namespace fvt {

namespace {

class NullSink : public WaveSink {
public:
    bool Open(const WAVEFORMATEX&) override { return true; }
    void Write(const std::int16_t*, std::uint32_t) override {}
    void Close() override {}
};

void Put16(unsigned char* p, std::uint32_t v) {
    p[0] = v & 0xFF;
    p[1] = (v >> 8) & 0xFF;
}
void Put32(unsigned char* p, std::uint32_t v) {
    Put16(p, v & 0xFFFF);
    Put16(p + 2, v >> 16);
}

// The files this run's devices wrote: a device opened later on the same device, in the same
// format, continues the file, so that a run's tracks land one after another in one recording.
struct Written {
    std::uint64_t generation = 0;
    WAVEFORMATEX format{};
};
std::mutex& WrittenLock() {
    static std::mutex* lock = new std::mutex;
    return *lock;
}
std::map<std::string, Written>& WrittenFiles() {
    static auto* files = new std::map<std::string, Written>;
    return *files;
}

bool SameFormat(const WAVEFORMATEX& a, const WAVEFORMATEX& b) {
    return a.nChannels == b.nChannels && a.nSamplesPerSec == b.nSamplesPerSec &&
           a.wBitsPerSample == b.wBitsPerSample;
}

// Written to a temporary file beside the target and renamed into place at close, so that the
// target is always a whole file.
class WavSink : public WaveSink {
public:
    explicit WavSink(std::string path) : path_(std::move(path)) {}
    ~WavSink() override { Abandon(); }

    bool Open(const WAVEFORMATEX& format) override {
        static std::atomic<unsigned> serial{0};
        if (path_.empty()) return false;
        temp_ = path_ + ".tmp" + std::to_string(getpid()) + "-" + std::to_string(++serial);
        file_ = std::fopen(temp_.c_str(), "wb");
        if (file_ == nullptr) return false;
        format_ = format;
        dataBytes_ = 0;
        failed_ = false;
        unsigned char header[44] = {};
        WriteHeader(header);
        if (std::fwrite(header, 1, sizeof header, file_) != sizeof header) failed_ = true;
        if (!failed_ && Continues()) CopyEarlierData();
        return !failed_;
    }

    void Write(const std::int16_t* samples, std::uint32_t frames) override {
        if (file_ == nullptr || failed_) return;
        std::size_t count = static_cast<std::size_t>(frames) * format_.nChannels;
        // Little-endian on disk, as the host already is.
        if (std::fwrite(samples, sizeof(std::int16_t), count, file_) != count) failed_ = true;
        std::uint64_t total = dataBytes_ + count * sizeof(std::int16_t);
        dataBytes_ = total > 0xFFFFFFFFull - 36 ? 0xFFFFFFFFull - 36 : total;
    }

    void Close() override {
        if (file_ == nullptr) return;
        unsigned char header[44];
        WriteHeader(header);
        if (std::fseek(file_, 0, SEEK_SET) != 0 ||
            std::fwrite(header, 1, sizeof header, file_) != sizeof header ||
            std::fflush(file_) != 0) {
            failed_ = true;
        }
        bool ok = std::fclose(file_) == 0 && !failed_;
        file_ = nullptr;
        if (!ok || std::rename(temp_.c_str(), path_.c_str()) != 0) {
            std::fprintf(stderr, "wave output: cannot write %s\n", path_.c_str());
            std::remove(temp_.c_str());
            return;
        }
        std::lock_guard<std::mutex> guard(WrittenLock());
        WrittenFiles()[path_] = Written{DeviceGeneration(), format_};
    }

private:
    bool Continues() const {
        std::lock_guard<std::mutex> guard(WrittenLock());
        auto it = WrittenFiles().find(path_);
        return it != WrittenFiles().end() && it->second.generation == DeviceGeneration() &&
               SameFormat(it->second.format, format_);
    }

    // The samples of the file as the earlier device left it.
    void CopyEarlierData() {
        std::FILE* earlier = std::fopen(path_.c_str(), "rb");
        if (earlier == nullptr) return;
        char buffer[16384];
        bool skipped = std::fseek(earlier, 44, SEEK_SET) == 0;
        std::size_t got;
        while (skipped && (got = std::fread(buffer, 1, sizeof buffer, earlier)) > 0) {
            if (std::fwrite(buffer, 1, got, file_) != got) {
                failed_ = true;
                break;
            }
            dataBytes_ += got;
        }
        std::fclose(earlier);
    }

    void WriteHeader(unsigned char* h) const {
        std::uint32_t data = static_cast<std::uint32_t>(dataBytes_);
        std::copy_n("RIFF", 4, h);
        Put32(h + 4, 36 + data);
        std::copy_n("WAVEfmt ", 8, h + 8);
        Put32(h + 16, 16);
        Put16(h + 20, WAVE_FORMAT_PCM);
        Put16(h + 22, format_.nChannels);
        Put32(h + 24, format_.nSamplesPerSec);
        Put32(h + 28, format_.nAvgBytesPerSec);
        Put16(h + 32, format_.nBlockAlign);
        Put16(h + 34, format_.wBitsPerSample);
        std::copy_n("data", 4, h + 36);
        Put32(h + 40, data);
    }

    void Abandon() {
        if (file_ == nullptr) return;
        std::fclose(file_);
        file_ = nullptr;
        std::remove(temp_.c_str());
    }

    std::string path_;
    std::string temp_;
    std::FILE* file_ = nullptr;
    WAVEFORMATEX format_{};
    std::uint64_t dataBytes_ = 0;
    bool failed_ = false;
};

}  // namespace

std::unique_ptr<WaveSink> MakeNullSink() {
    return std::make_unique<NullSink>();
}

std::unique_ptr<WaveSink> MakeWavSink(const std::string& path) {
    return std::make_unique<WavSink>(path);
}

}  // namespace fvt

#include "platform/audio/wave_out.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/audio/wave_sinks.h"
#include "platform/kernel/device.h"
#include "platform/kernel/kernel_clock.h"

namespace {

constexpr DWORD kAllFormats = WAVE_FORMAT_1M16 | WAVE_FORMAT_1S16 | WAVE_FORMAT_2M16 |
                              WAVE_FORMAT_2S16 | WAVE_FORMAT_4M16 | WAVE_FORMAT_4S16;

struct Device {
    std::mutex m;
    std::condition_variable cv;
    HWAVEOUT handle = nullptr;
    WAVEFORMATEX format{};
    WAVEOUTPROC callback = nullptr;
    DWORD_PTR instance = 0;
    std::unique_ptr<fvt::WaveSink> sink;
    bool fast = false;

    std::deque<WAVEHDR*> queue;      // to be played, in order
    std::deque<WAVEHDR*> returning;  // marked done by a reset, to be called back
    WAVEHDR* playing = nullptr;      // taken from the queue, not yet done
    bool inCallback = false;
    bool paused = false;
    bool closing = false;
    std::thread driver;

    // Pacing against the layer's clock: frames played since the clock started for this run.
    bool clockRunning = false;
    std::uint64_t startTick = 0;
    std::uint64_t framesSinceStart = 0;
    std::vector<std::int16_t> scratch;
};

struct Registry {
    std::mutex m;
    std::map<HWAVEOUT, std::shared_ptr<Device>> devices;
    std::uintptr_t nextHandle = 0x57A0001;
    DWORD volume = 0xFFFFFFFF;
    fvt::WaveCounters counters;
    std::map<std::string, fvt::WaveSinkFactory> sinks;
    std::string defaultSink = "null";
};

Registry& Reg() {
    static Registry* registry = new Registry;
    return *registry;
}

std::shared_ptr<Device> Find(HWAVEOUT handle) {
    Registry& r = Reg();
    std::lock_guard<std::mutex> guard(r.m);
    auto it = r.devices.find(handle);
    return it == r.devices.end() ? nullptr : it->second;
}

DWORD Caps() {
    std::string text = fvt::Profile().Value("wave_caps");
    if (text.empty()) return kAllFormats;
    char* end = nullptr;
    unsigned long v = std::strtoul(text.c_str(), &end, 0);
    if (end == text.c_str()) return kAllFormats;
    return static_cast<DWORD>(v) & kAllFormats;
}

DWORD FormatBit(const WAVEFORMATEX& f) {
    if (f.wFormatTag != WAVE_FORMAT_PCM || f.wBitsPerSample != 16) return 0;
    if (f.nChannels != 1 && f.nChannels != 2) return 0;
    if (f.nBlockAlign != f.nChannels * 2 || f.nAvgBytesPerSec != f.nSamplesPerSec * f.nBlockAlign) {
        return 0;
    }
    bool stereo = f.nChannels == 2;
    switch (f.nSamplesPerSec) {
        case 11025:
            return stereo ? WAVE_FORMAT_1S16 : WAVE_FORMAT_1M16;
        case 22050:
            return stereo ? WAVE_FORMAT_2S16 : WAVE_FORMAT_2M16;
        case 44100:
            return stereo ? WAVE_FORMAT_4S16 : WAVE_FORMAT_4M16;
        default:
            return 0;
    }
}

// "name" or "name:argument" from the profile's audio key.
std::unique_ptr<fvt::WaveSink> MakeSink(bool* fast) {
    std::string fallback;
    {
        Registry& r = Reg();
        std::lock_guard<std::mutex> guard(r.m);
        fallback = r.defaultSink;
    }
    std::string spec = fvt::Profile().Value("audio", fallback);
    std::string name = spec, argument;
    std::size_t colon = spec.find(':');
    if (colon != std::string::npos) {
        name = spec.substr(0, colon);
        argument = spec.substr(colon + 1);
    }
    *fast = false;
    if (name == "null" || name.empty()) {
        *fast = argument == "fast";
        return fvt::MakeNullSink();
    }
    if (name == "wav") return fvt::MakeWavSink(argument);
    Registry& r = Reg();
    fvt::WaveSinkFactory factory;
    {
        std::lock_guard<std::mutex> guard(r.m);
        auto it = r.sinks.find(name);
        if (it != r.sinks.end()) factory = it->second;
    }
    if (factory) return factory(argument);
    std::fprintf(stderr, "wave output: unknown audio sink \"%s\"; playing to the null sink\n",
                 spec.c_str());
    return fvt::MakeNullSink();
}

void ApplyVolume(const std::int16_t* in, std::int16_t* out, std::uint32_t frames,
                 std::uint32_t channels, DWORD volume) {
    const std::int32_t left = volume & 0xFFFF, right = volume >> 16;
    for (std::uint32_t i = 0; i < frames; ++i) {
        for (std::uint32_t c = 0; c < channels; ++c) {
            std::int32_t level = c == 1 ? right : left;
            std::size_t k = static_cast<std::size_t>(i) * channels + c;
            out[k] = static_cast<std::int16_t>(in[k] * level / 0xFFFF);
        }
    }
}

void Deliver(Device& d, WAVEHDR* header, bool skipped) {
    {
        Registry& r = Reg();
        std::lock_guard<std::mutex> guard(r.m);
        ++r.counters.headersDone;
        if (skipped) ++r.counters.headersSkipped;
    }
    if (d.callback) {
        d.callback(d.handle, MM_WOM_DONE, d.instance, reinterpret_cast<DWORD_PTR>(header), 0);
    }
}

// Playing time counts from when there was something to play, not from when the driver thread
// got to it. With the device's lock held.
void StartClock(Device& d) {
    if (d.clockRunning || d.paused || d.queue.empty()) return;
    d.clockRunning = true;
    d.startTick = fvt::NowTicks();
    d.framesSinceStart = 0;
}

// The tick at which the head header has had its playing time.
std::uint64_t DueTick(const Device& d, std::uint32_t frames) {
    return d.startTick + (d.framesSinceStart + frames) * 1000 / d.format.nSamplesPerSec;
}

// Waits until the head header has had its playing time on the clock; false when the state
// changed meanwhile and must be looked at again.
bool WaitForTurn(Device& d, std::unique_lock<std::mutex>& lock, std::uint32_t frames) {
    if (d.fast || d.sink->PacesItself()) return true;
    StartClock(d);
    std::uint64_t due = DueTick(d, frames);
    std::uint64_t now = fvt::NowTicks();
    if (now >= due) return true;
    // Virtual time moves only when the test driver moves it: look again often.
    auto wait =
        fvt::IsVirtualClock() ? std::chrono::milliseconds(1) : std::chrono::milliseconds(due - now);
    d.cv.wait_for(lock, wait);
    return false;
}

void Run(std::shared_ptr<Device> device) {
    Device& d = *device;
    std::unique_lock<std::mutex> lock(d.m);
    const std::uint32_t blockAlign = d.format.nBlockAlign;
    while (true) {
        if (!d.returning.empty()) {
            WAVEHDR* header = d.returning.front();
            d.returning.pop_front();
            d.inCallback = true;
            lock.unlock();
            Deliver(d, header, true);
            lock.lock();
            d.inCallback = false;
            continue;
        }
        if (d.closing) break;
        if (d.paused || d.queue.empty()) {
            d.clockRunning = false;
            d.cv.wait(lock);
            continue;
        }
        WAVEHDR* header = d.queue.front();
        std::uint32_t frames = header->dwBufferLength / blockAlign;
        if (!WaitForTurn(d, lock, frames)) continue;
        d.queue.pop_front();
        d.playing = header;
        d.framesSinceStart += frames;
        DWORD volume;
        {
            Registry& r = Reg();
            std::lock_guard<std::mutex> guard(r.m);
            volume = r.volume;
            r.counters.framesPlayed += frames;
        }
        lock.unlock();
        // The header's data is the device's until it is marked done.
        const auto* samples = reinterpret_cast<const std::int16_t*>(header->lpData);
        if (volume != 0xFFFFFFFF) {
            d.scratch.resize(static_cast<std::size_t>(frames) * d.format.nChannels);
            ApplyVolume(samples, d.scratch.data(), frames, d.format.nChannels, volume);
            samples = d.scratch.data();
        }
        if (frames > 0) d.sink->Write(samples, frames);
        lock.lock();
        header->dwFlags = (header->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
        d.playing = nullptr;
        d.inCallback = true;
        lock.unlock();
        Deliver(d, header, false);
        lock.lock();
        d.inCallback = false;
    }
    lock.unlock();
    d.sink->Close();
}

bool ValidHeader(LPWAVEHDR header, UINT size) {
    return header != nullptr && size >= sizeof(WAVEHDR);
}

}  // namespace

extern "C" {

UINT waveOutGetNumDevs() {
    return 1;
}

MMRESULT waveOutGetDevCaps(UINT_PTR deviceId, WAVEOUTCAPS* caps, UINT size) {
    if (deviceId != WAVE_MAPPER && deviceId != 0 && deviceId != static_cast<UINT_PTR>(-1)) {
        return MMSYSERR_BADDEVICEID;
    }
    if (caps == nullptr || size < sizeof(WAVEOUTCAPS)) return MMSYSERR_INVALPARAM;
    *caps = WAVEOUTCAPS{};
    caps->wMid = 0xFF;
    caps->wPid = 1;
    caps->vDriverVersion = 0x0100;
    const char16_t name[] = u"Folivant wave output";
    std::copy(std::begin(name), std::end(name), caps->szPname);
    caps->dwFormats = Caps();
    caps->wChannels = 2;
    caps->dwSupport = WAVECAPS_VOLUME | WAVECAPS_LRVOLUME;
    return MMSYSERR_NOERROR;
}

MMRESULT waveOutOpen(LPHWAVEOUT device, UINT deviceId, const WAVEFORMATEX* format,
                     DWORD_PTR callback, DWORD_PTR instance, DWORD flags) {
    if (device) *device = nullptr;
    if (deviceId != WAVE_MAPPER && deviceId != 0) return MMSYSERR_BADDEVICEID;
    if (device == nullptr || format == nullptr) return MMSYSERR_INVALPARAM;
    DWORD kind = flags & 0x70000;
    if ((flags & ~0x70000u) != 0 || (kind != CALLBACK_NULL && kind != CALLBACK_FUNCTION)) {
        return MMSYSERR_INVALFLAG;
    }
    if (kind == CALLBACK_FUNCTION && callback == 0) return MMSYSERR_INVALPARAM;
    DWORD bit = FormatBit(*format);
    if (bit == 0 || (Caps() & bit) == 0) return WAVERR_BADFORMAT;

    auto d = std::make_shared<Device>();
    d->format = *format;
    d->format.cbSize = 0;
    d->callback = kind == CALLBACK_FUNCTION ? reinterpret_cast<WAVEOUTPROC>(callback) : nullptr;
    d->instance = instance;
    d->sink = MakeSink(&d->fast);
    if (!d->sink || !d->sink->Open(d->format)) return MMSYSERR_ERROR;

    Registry& r = Reg();
    {
        std::lock_guard<std::mutex> guard(r.m);
        d->handle = reinterpret_cast<HWAVEOUT>(r.nextHandle++);
        r.devices[d->handle] = d;
        ++r.counters.opens;
    }
    d->driver = std::thread(Run, d);
    *device = d->handle;
    return MMSYSERR_NOERROR;
}

MMRESULT waveOutClose(HWAVEOUT handle) {
    std::shared_ptr<Device> d = Find(handle);
    if (!d) return MMSYSERR_INVALHANDLE;
    {
        std::lock_guard<std::mutex> guard(d->m);
        if (!d->queue.empty() || !d->returning.empty() || d->playing) return WAVERR_STILLPLAYING;
        d->closing = true;
    }
    d->cv.notify_all();
    {
        Registry& r = Reg();
        std::lock_guard<std::mutex> guard(r.m);
        r.devices.erase(handle);
    }
    // The last callback may still be running; from inside it the thread can only be let go.
    if (d->driver.get_id() == std::this_thread::get_id()) {
        d->driver.detach();
    } else {
        d->driver.join();
    }
    return MMSYSERR_NOERROR;
}

MMRESULT waveOutPrepareHeader(HWAVEOUT handle, LPWAVEHDR header, UINT size) {
    std::shared_ptr<Device> d = Find(handle);
    if (!d) return MMSYSERR_INVALHANDLE;
    if (!ValidHeader(header, size) || header->lpData == nullptr) return MMSYSERR_INVALPARAM;
    std::lock_guard<std::mutex> guard(d->m);
    if (header->dwFlags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
    header->dwFlags |= WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT waveOutUnprepareHeader(HWAVEOUT handle, LPWAVEHDR header, UINT size) {
    std::shared_ptr<Device> d = Find(handle);
    if (!d) return MMSYSERR_INVALHANDLE;
    if (!ValidHeader(header, size)) return MMSYSERR_INVALPARAM;
    std::lock_guard<std::mutex> guard(d->m);
    if (header->dwFlags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
    header->dwFlags &= ~WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT waveOutWrite(HWAVEOUT handle, LPWAVEHDR header, UINT size) {
    std::shared_ptr<Device> d = Find(handle);
    if (!d) return MMSYSERR_INVALHANDLE;
    if (!ValidHeader(header, size)) return MMSYSERR_INVALPARAM;
    {
        std::lock_guard<std::mutex> guard(d->m);
        if (!(header->dwFlags & WHDR_PREPARED)) return WAVERR_UNPREPARED;
        if (header->dwFlags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
        if (d->closing) return MMSYSERR_INVALHANDLE;
        header->dwFlags = (header->dwFlags & ~WHDR_DONE) | WHDR_INQUEUE;
        d->queue.push_back(header);
        StartClock(*d);
    }
    d->cv.notify_all();
    return MMSYSERR_NOERROR;
}

MMRESULT waveOutPause(HWAVEOUT handle) {
    std::shared_ptr<Device> d = Find(handle);
    if (!d) return MMSYSERR_INVALHANDLE;
    std::lock_guard<std::mutex> guard(d->m);
    d->paused = true;
    return MMSYSERR_NOERROR;
}

MMRESULT waveOutRestart(HWAVEOUT handle) {
    std::shared_ptr<Device> d = Find(handle);
    if (!d) return MMSYSERR_INVALHANDLE;
    {
        std::lock_guard<std::mutex> guard(d->m);
        d->paused = false;
        StartClock(*d);
    }
    d->cv.notify_all();
    return MMSYSERR_NOERROR;
}

MMRESULT waveOutReset(HWAVEOUT handle) {
    std::shared_ptr<Device> d = Find(handle);
    if (!d) return MMSYSERR_INVALHANDLE;
    {
        std::lock_guard<std::mutex> guard(d->m);
        for (WAVEHDR* header : d->queue) {
            header->dwFlags = (header->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
            d->returning.push_back(header);
        }
        d->queue.clear();
        d->clockRunning = false;
    }
    // A stop is heard at once, and the header being played does not hold the driver thread
    // (a close waits for it) while the card plays out what was queued before.
    d->sink->Discard();
    d->cv.notify_all();
    return MMSYSERR_NOERROR;
}

MMRESULT waveOutSetVolume(HWAVEOUT handle, DWORD volume) {
    if (handle != nullptr && !Find(handle)) return MMSYSERR_INVALHANDLE;
    Registry& r = Reg();
    std::lock_guard<std::mutex> guard(r.m);
    r.volume = volume;
    return MMSYSERR_NOERROR;
}

MMRESULT waveOutGetVolume(HWAVEOUT handle, DWORD* volume) {
    if (volume == nullptr) return MMSYSERR_INVALPARAM;
    if (handle != nullptr && !Find(handle)) return MMSYSERR_INVALHANDLE;
    Registry& r = Reg();
    std::lock_guard<std::mutex> guard(r.m);
    *volume = r.volume;
    return MMSYSERR_NOERROR;
}

}  // extern "C"

namespace fvt {

void RegisterWaveSink(const std::string& name, WaveSinkFactory factory) {
    Registry& r = Reg();
    std::lock_guard<std::mutex> guard(r.m);
    r.sinks[name] = std::move(factory);
}

void SetDefaultWaveSink(const std::string& name) {
    Registry& r = Reg();
    std::lock_guard<std::mutex> guard(r.m);
    r.defaultSink = name;
}

WaveCounters GetWaveCounters() {
    Registry& r = Reg();
    std::lock_guard<std::mutex> guard(r.m);
    WaveCounters counters = r.counters;
    counters.openNow = static_cast<std::uint32_t>(r.devices.size());
    return counters;
}

bool WaveDevicesSettled() {
    std::vector<std::shared_ptr<Device>> devices;
    {
        Registry& r = Reg();
        std::lock_guard<std::mutex> guard(r.m);
        for (auto& entry : r.devices) devices.push_back(entry.second);
    }
    for (auto& device : devices) {
        Device& d = *device;
        std::lock_guard<std::mutex> guard(d.m);
        if (!d.returning.empty() || d.playing || d.inCallback) return false;
        if (d.paused || d.queue.empty() || d.closing) continue;
        if (d.fast || d.sink->PacesItself() || !d.clockRunning) return false;
        if (fvt::NowTicks() >= DueTick(d, d.queue.front()->dwBufferLength / d.format.nBlockAlign)) {
            return false;
        }
    }
    return true;
}

void ResetWaveCounters() {
    Registry& r = Reg();
    std::lock_guard<std::mutex> guard(r.m);
    r.counters = WaveCounters{};
}

}  // namespace fvt

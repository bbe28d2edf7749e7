// Waveform audio output: one emulated device behind WAVE_MAPPER. Each open device has a header
// queue and its own driver thread, which plays headers in order through a sink, sets WHDR_DONE
// and then calls the open's callback with MM_WOM_DONE on that thread.
//
// Profile keys (or FOLIVANT_<KEY>):
//   audio = null | null:fast | wav:PATH | sdl | <a sink registered with RegisterWaveSink>
//           null counts samples; "fast" plays without waiting for the clock. wav writes a 16-bit
//           PCM WAV file, renamed into place when the device closes; a later device of the same
//           device session and format continues it (a run's tracks, one after another).
//   wave_caps = 0xCCC     the dwFormats bits the device reports and accepts (16-bit formats only)
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/types.h"

FVT_DECLARE_HANDLE(HWAVEOUT);
using LPHWAVEOUT = HWAVEOUT*;
using MMRESULT = UINT;
using LPSTR = char*;

constexpr MMRESULT MMSYSERR_NOERROR = 0;
constexpr MMRESULT MMSYSERR_ERROR = 1;
constexpr MMRESULT MMSYSERR_BADDEVICEID = 2;
constexpr MMRESULT MMSYSERR_HANDLEBUSY = 4;
constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;
constexpr MMRESULT MMSYSERR_NOMEM = 7;
constexpr MMRESULT MMSYSERR_INVALFLAG = 10;
constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
constexpr MMRESULT WAVERR_BADFORMAT = 32;
constexpr MMRESULT WAVERR_STILLPLAYING = 33;
constexpr MMRESULT WAVERR_UNPREPARED = 34;

constexpr UINT WAVE_MAPPER = 0xFFFFFFFFu;
constexpr DWORD CALLBACK_NULL = 0;
constexpr DWORD CALLBACK_FUNCTION = 0x30000;
constexpr UINT MM_WOM_DONE = 957;

constexpr WORD WAVE_FORMAT_PCM = 1;
constexpr DWORD WAVE_FORMAT_1M16 = 0x4;
constexpr DWORD WAVE_FORMAT_1S16 = 0x8;
constexpr DWORD WAVE_FORMAT_2M16 = 0x40;
constexpr DWORD WAVE_FORMAT_2S16 = 0x80;
constexpr DWORD WAVE_FORMAT_4M16 = 0x400;
constexpr DWORD WAVE_FORMAT_4S16 = 0x800;

constexpr DWORD WHDR_PREPARED = 0x1;
constexpr DWORD WHDR_DONE = 0x2;
constexpr DWORD WHDR_INQUEUE = 0x10;

constexpr DWORD WAVECAPS_VOLUME = 0x4;
constexpr DWORD WAVECAPS_LRVOLUME = 0x8;

struct WAVEFORMATEX {
    WORD wFormatTag;
    WORD nChannels;
    DWORD nSamplesPerSec;
    DWORD nAvgBytesPerSec;
    WORD nBlockAlign;
    WORD wBitsPerSample;
    WORD cbSize;
};

struct WAVEHDR {
    LPSTR lpData;
    DWORD dwBufferLength;
    DWORD dwBytesRecorded;
    DWORD_PTR dwUser;
    DWORD dwFlags;
    DWORD dwLoops;
    WAVEHDR* lpNext;
    DWORD_PTR reserved;
};
using LPWAVEHDR = WAVEHDR*;

struct WAVEOUTCAPS {
    WORD wMid;
    WORD wPid;
    DWORD vDriverVersion;
    WCHAR szPname[32];
    DWORD dwFormats;
    WORD wChannels;
    WORD wReserved1;
    DWORD dwSupport;
};

using WAVEOUTPROC = void (*)(HWAVEOUT device, UINT message, DWORD_PTR instance, DWORD_PTR param1,
                             DWORD_PTR param2);

extern "C" {
UINT waveOutGetNumDevs();
MMRESULT waveOutGetDevCaps(UINT_PTR deviceId, WAVEOUTCAPS* caps, UINT size);
MMRESULT waveOutOpen(LPHWAVEOUT device, UINT deviceId, const WAVEFORMATEX* format,
                     DWORD_PTR callback, DWORD_PTR instance, DWORD flags);
// Only once every header came back.
MMRESULT waveOutClose(HWAVEOUT device);
MMRESULT waveOutPrepareHeader(HWAVEOUT device, LPWAVEHDR header, UINT size);
MMRESULT waveOutUnprepareHeader(HWAVEOUT device, LPWAVEHDR header, UINT size);
MMRESULT waveOutWrite(HWAVEOUT device, LPWAVEHDR header, UINT size);
// A paused device holds its queued headers until waveOutRestart.
MMRESULT waveOutPause(HWAVEOUT device);
MMRESULT waveOutRestart(HWAVEOUT device);
// Marks every queued header done at once; the driver thread returns them in order, paused or not.
MMRESULT waveOutReset(HWAVEOUT device);
// Low word left, high word right; a null handle means the device as a whole.
MMRESULT waveOutSetVolume(HWAVEOUT device, DWORD volume);
MMRESULT waveOutGetVolume(HWAVEOUT device, DWORD* volume);
}

namespace fvt {

// Where played samples go. Write runs on the driver thread.
class WaveSink {
public:
    virtual ~WaveSink() = default;
    virtual bool Open(const WAVEFORMATEX& format) = 0;
    // Interleaved 16-bit frames, volume already applied.
    virtual void Write(const std::int16_t* samples, std::uint32_t frames) = 0;
    virtual void Close() = 0;
    // A sink that blocks in Write at the playing rate (a sound card); others are paced by the
    // device against the layer's clock unless the device runs fast.
    virtual bool PacesItself() const { return false; }
    // The device was reset: what the sink holds but has not played is dropped, and a Write
    // waiting for room gives up its frames. Called from the client's thread, not the driver's.
    virtual void Discard() {}
};

// A sink kind for the "audio" profile key (the window backend registers "sdl"). The argument is
// the text after "name:".
using WaveSinkFactory = std::function<std::unique_ptr<WaveSink>(const std::string& argument)>;
void RegisterWaveSink(const std::string& name, WaveSinkFactory factory);
// The sink of devices opened while the profile has no "audio" key: "null" until a backend with
// sound (the window) names its own.
void SetDefaultWaveSink(const std::string& name);

// What the device has played since the program (or the last ResetWaveCounters) began.
struct WaveCounters {
    std::uint64_t framesPlayed = 0;    // frames that went through a sink
    std::uint64_t headersDone = 0;     // headers returned with MM_WOM_DONE
    std::uint64_t headersSkipped = 0;  // of those, returned by waveOutReset without playing
    std::uint32_t opens = 0;
    std::uint32_t openNow = 0;  // devices open at this moment
};
WaveCounters GetWaveCounters();
void ResetWaveCounters();
// True when no open device has anything to do before the clock moves on: every one is paused,
// empty, or waiting for its head header's time. Tests wait for it after moving the test clock.
bool WaveDevicesSettled();

}  // namespace fvt

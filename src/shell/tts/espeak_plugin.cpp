// folvplugin_text_to_speech: the speech plug-in that ships with the program, over espeak-ng.
// It speaks on a thread of its own: the text is synthesised whole (espeak-ng's synchronous
// mode), then played through the device's wave output, so that it goes where the program's
// sound goes (the desktop in a window; the null or WAV sink headless). At each sentence gap it
// posts the callback message to its window; the done event is reset while it speaks and set
// when it is idle; the stop event ends the speech at the next block.
//
// The first setting is the book's language (a Windows language id: its low ten bits); a
// language espeak-ng has no voice for is read with the English voice.
#include <dlfcn.h>
#include <espeak-ng/speak_lib.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/audio/wave_out.h"
#include "platform/kernel/kernel_sync.h"
#include "platform/window/window.h"
#include "shell/tts/speech_plugin_abi.h"
#include "shell/tts/speech_voices.h"

namespace {

constexpr uint32_t kHandle = 1;
constexpr uint32_t kBlockFrames = 2048;
constexpr int kBlocks = 4;

// One reading. A stop is latched here when the worker sees it, and a newer reading (or closing)
// cancels the one before outright: the client clears the shared stop event before its next
// reading, and a reading that had not looked at the event yet would otherwise go on unheard of.
struct Reading {
    std::atomic<bool> cancelled{false};
    std::atomic<bool> finished{false};
    HANDLE stop = nullptr;
    bool Stopped() {
        if (cancelled) return true;
        if (stop && WaitForSingleObject(stop, 0) == WAIT_OBJECT_0) cancelled = true;
        return cancelled;
    }
};

struct Engine {
    std::mutex lock;  // the fields below, between the GUI thread and the speaking thread
    bool open = false;
    int rate = 0;
    std::string voice = "en";
    int32_t readMode = 0;
    HWND window = nullptr;
    HANDLE stop = nullptr;
    HANDLE done = nullptr;
    std::thread worker;
    std::shared_ptr<Reading> current;  // the reading the done event and the messages are for
    std::mutex synth;                  // espeak-ng synthesises for one thread at a time
};

Engine engine;

// What one synthesis produced: the samples and where sentences after the first begin.
struct Capture {
    std::vector<int16_t> samples;
    std::vector<size_t> gaps;
    int sentences = 0;
    Reading* reading = nullptr;
};

int OnSynth(short* wav, int count, espeak_EVENT* events) {
    auto* capture = events ? static_cast<Capture*>(events->user_data) : nullptr;
    if (!capture) return 0;
    if (wav && count > 0) capture->samples.insert(capture->samples.end(), wav, wav + count);
    for (espeak_EVENT* e = events; e->type != espeakEVENT_LIST_TERMINATED; ++e) {
        if (e->type == espeakEVENT_SENTENCE && capture->sentences++ > 0)
            capture->gaps.push_back(capture->samples.size());
    }
    // Non-zero ends the synthesis.
    return capture->reading && capture->reading->Stopped() ? 1 : 0;
}

void Utf16ToUtf8(const char16_t* text, size_t length, std::string& out) {
    for (size_t i = 0; i < length; ++i) {
        uint32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < length && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
}

// Plays the samples through the wave device, a few blocks ahead; posts the callback message as
// playing passes each gap and at the end. Stops early when the stop event is set; false then.
bool Play(const Capture& capture, int rate, HWND window, Reading& reading) {
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 1;
    format.nSamplesPerSec = static_cast<DWORD>(rate);
    format.wBitsPerSample = 16;
    format.nBlockAlign = 2;
    format.nAvgBytesPerSec = format.nSamplesPerSec * 2;
    HWAVEOUT device = nullptr;
    if (waveOutOpen(&device, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR)
        return false;
    WAVEHDR headers[kBlocks] = {};
    bool queued[kBlocks] = {};
    size_t next = 0;      // the next sample to queue
    size_t played = 0;    // samples whose blocks came back
    size_t gap = 0;       // the next gap to report
    bool stopped = false;
    const auto& samples = capture.samples;
    while (true) {
        for (int i = 0; i < kBlocks; ++i) {
            if (queued[i] && (headers[i].dwFlags & WHDR_DONE)) {
                waveOutUnprepareHeader(device, &headers[i], sizeof(WAVEHDR));
                played += headers[i].dwBufferLength / 2;
                queued[i] = false;
            }
        }
        for (; gap < capture.gaps.size() && capture.gaps[gap] <= played; ++gap)
            if (window && !reading.Stopped()) PostMessageW(window, tts::kCallbackMessage, 0, 0);
        if (!stopped && reading.Stopped()) {
            stopped = true;
            waveOutReset(device);
        }
        bool busy = false;
        for (int i = 0; i < kBlocks; ++i) {
            if (!queued[i] && !stopped && next < samples.size()) {
                const size_t count = std::min<size_t>(kBlockFrames, samples.size() - next);
                headers[i] = WAVEHDR{};
                headers[i].lpData = reinterpret_cast<LPSTR>(const_cast<int16_t*>(&samples[next]));
                headers[i].dwBufferLength = static_cast<DWORD>(count * 2);
                if (waveOutPrepareHeader(device, &headers[i], sizeof(WAVEHDR)) != MMSYSERR_NOERROR ||
                    waveOutWrite(device, &headers[i], sizeof(WAVEHDR)) != MMSYSERR_NOERROR) {
                    stopped = true;
                    break;
                }
                queued[i] = true;
                next += count;
            }
            busy = busy || queued[i];
        }
        if (!busy) break;
        // Real time: the device plays by its own clock.
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    waveOutClose(device);
    // The last sentence ends with the text.
    if (!stopped && window && !reading.Stopped()) PostMessageW(window, tts::kCallbackMessage, 0, 0);
    return !stopped;
}

void Speak(std::string text, std::string voice, int32_t readMode, int rate, HWND window,
           std::shared_ptr<Reading> reading, HANDLE done) {
    Capture capture;
    capture.reading = reading.get();
    {
        std::lock_guard<std::mutex> g(engine.synth);
        if (!reading->Stopped()) {
            if (espeak_SetVoiceByName(voice.c_str()) != EE_OK) espeak_SetVoiceByName("en");
            espeak_Synth(text.c_str(), text.size() + 1, 0, POS_CHARACTER, 0,
                         espeakCHARS_UTF8 | espeakENDPAUSE, nullptr, &capture);
        }
    }
    const bool whole = !reading->Stopped() && Play(capture, rate, window, *reading);
    {
        // A reading that a newer one replaced speaks for nobody: the done event and the
        // messages belong to the newer one.
        std::lock_guard<std::mutex> g(engine.lock);
        if (engine.current == reading) {
            // Reading a book: the program gives the next chunk. Idle first, so that it may.
            if (done) SetEvent(done);
            if (whole && readMode == tts::kReadBookMode && window && !reading->Stopped())
                PostMessageW(window, tts::kNextChunkMessage, 0, 0);
        }
    }
    reading->finished = true;
}

// Ends the current reading and waits for it, boundedly: a reading that does not end is let go
// (the plug-in stays loaded, so its thread keeps its code) rather than hang the program.
void EndReading() {
    std::shared_ptr<Reading> reading;
    {
        std::lock_guard<std::mutex> g(engine.lock);
        reading = engine.current;
    }
    if (reading) reading->cancelled = true;
    if (!engine.worker.joinable()) return;
    for (int i = 0; i < 2000 && reading && !reading->finished; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (reading && !reading->finished)
        engine.worker.detach();
    else
        engine.worker.join();
}

}  // namespace

extern "C" {

int32_t tts_open_speech(uint32_t* handle) {
    if (!handle) return 1;
    *handle = 0;
    std::lock_guard<std::mutex> g(engine.lock);
    if (engine.rate == 0) {
        // espeak-ng is set up once for the process and kept: it cannot be set up again after
        // espeak_Terminate. It stays loaded, so that the memory it keeps is still its own (and
        // a leak checker can tell it apart).
        dlopen("libespeak-ng.so.1", RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
        // The synthesised sound comes back to the callback; the plug-in plays it itself.
        const int rate = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 500, nullptr,
                                           espeakINITIALIZE_DONT_EXIT);
        if (rate <= 0) return 2;
        espeak_SetSynthCallback(OnSynth);
        engine.rate = rate;
    }
    engine.open = true;
    *handle = kHandle;
    return 0;
}

int32_t tts_set(uint32_t handle, int32_t language, int32_t, int32_t, int32_t) {
    if (handle != kHandle) return 1;
    std::lock_guard<std::mutex> g(engine.lock);
    engine.voice = tts::VoiceForLanguage(static_cast<uint32_t>(language));
    return 0;
}

int32_t tts_speak(uint32_t handle, const char16_t* text, int32_t length) {
    if (handle != kHandle || !text || length < 0) return 0;
    // One reading at a time: the one before ends here, stopped or not.
    EndReading();
    std::string utf8;
    Utf16ToUtf8(text, static_cast<size_t>(length), utf8);
    std::lock_guard<std::mutex> g(engine.lock);
    if (!engine.open) return 0;
    if (engine.done) ResetEvent(engine.done);
    auto reading = std::make_shared<Reading>();
    reading->stop = engine.stop;
    engine.current = reading;
    engine.worker = std::thread(Speak, std::move(utf8), engine.voice, engine.readMode, engine.rate,
                                engine.window, std::move(reading), engine.done);
    return 1;
}

int32_t tts_close_speech(uint32_t handle) {
    if (handle != kHandle) return 1;
    EndReading();
    std::lock_guard<std::mutex> g(engine.lock);
    engine.open = false;
    engine.window = nullptr;
    engine.stop = engine.done = nullptr;
    return 0;
}

int32_t tts_set_com(uint32_t handle, HWND window, HANDLE stop, HANDLE done, HANDLE) {
    if (handle != kHandle || !stop || !done) return 1;
    std::lock_guard<std::mutex> g(engine.lock);
    engine.window = window;
    engine.stop = stop;
    engine.done = done;
    return 0;
}

// Mode 1 reads a book chunk by chunk (asking for the next one); others read the text given.
int32_t tts_set_read_mode(uint32_t handle, int32_t mode, void*) {
    if (handle != kHandle) return 1;
    std::lock_guard<std::mutex> g(engine.lock);
    engine.readMode = mode;
    return 0;
}

}  // extern "C"

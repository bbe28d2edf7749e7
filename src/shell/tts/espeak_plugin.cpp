// folvplugin_text_to_speech: the speech plug-in that ships with the program, over espeak-ng.
// A text is synthesised whole when it is given (espeak-ng's synchronous mode, on the caller's
// thread) and queued whole on the device's wave output before tts_speak returns, so that a
// reading never starts late on the device's clock (a test's virtual clock waits for what is
// queued, not for a thread still synthesising). The sound goes where the program's goes (the
// desktop in a window; the null or WAV sink headless). As playing passes each sentence gap it
// posts the callback message to its window; reading a book (read mode 1), each gap between
// words, which are the gaps the program counts in the chunk it gives. The done event is reset
// while it speaks and set when it is idle; the stop event ends the speech at the next block.
//
// The first setting is the book's language (a Windows language id: its low ten bits); a
// language espeak-ng has no voice for is read with the English voice.
#include <dlfcn.h>
#include <espeak-ng/speak_lib.h>

#include <algorithm>
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
#include "platform/kernel/utf.h"
#include "platform/kernel/wide.h"
#include "platform/window/window.h"
#include "shell/tts/speech_plugin_abi.h"
#include "shell/tts/speech_voices.h"

namespace {

constexpr uint32_t kHandle = 1;
constexpr uint32_t kBlockFrames = 2048;

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
    // The sample at which each gap is passed: gaps[k] is gap k + 1.
    std::vector<size_t> gaps;
    int sentences = 0;
    Reading* reading = nullptr;
    // Reading a book: the gaps are those between words. spacesBefore[i] counts the spaces
    // before character i of the text (characters as espeak-ng counts them: code points).
    bool words = false;
    std::vector<uint32_t> spacesBefore;
    int rate = 0;
};

// A word starts: every gap before it not yet marked is passed where the word's sound begins.
void MarkWord(Capture& capture, const espeak_EVENT& e) {
    if (capture.spacesBefore.empty() || e.text_position < 1) return;
    const size_t at = std::min(static_cast<size_t>(e.text_position - 1),
                               capture.spacesBefore.size() - 1);
    const size_t gaps = capture.spacesBefore[at];
    size_t sample = static_cast<size_t>(std::max(e.audio_position, 0)) *
                    static_cast<size_t>(capture.rate) / 1000;
    if (!capture.gaps.empty()) sample = std::max(sample, capture.gaps.back());
    while (capture.gaps.size() < gaps) capture.gaps.push_back(sample);
}

int OnSynth(short* wav, int count, espeak_EVENT* events) {
    auto* capture = events ? static_cast<Capture*>(events->user_data) : nullptr;
    if (!capture) return 0;
    if (wav && count > 0) capture->samples.insert(capture->samples.end(), wav, wav + count);
    for (espeak_EVENT* e = events; e->type != espeakEVENT_LIST_TERMINATED; ++e) {
        if (capture->words) {
            if (e->type == espeakEVENT_WORD) MarkWord(*capture, *e);
        } else if (e->type == espeakEVENT_SENTENCE && capture->sentences++ > 0) {
            capture->gaps.push_back(capture->samples.size());
        }
    }
    // Non-zero ends the synthesis.
    return capture->reading && capture->reading->Stopped() ? 1 : 0;
}

// One reading's sound on the wave device, queued whole when tts_speak takes the text. The
// device's thread reports each block played (OnBlockDone): the gaps passed and the end are
// posted from there, so that they reach the program while that block is still the device's
// last word on the time played. The plug-in's thread only watches for the stop event and
// closes the device once every block is back. The blocks point into the samples, which do not
// change once synthesised.
struct Playback {
    Capture capture;
    std::shared_ptr<Reading> reading;
    int32_t readMode = 0;
    HWND window = nullptr;
    HANDLE done = nullptr;
    HWAVEOUT device = nullptr;
    std::vector<WAVEHDR> headers;
    std::atomic<size_t> returned{0};  // blocks back from the device
    std::atomic<bool> failed{false};  // a block could not be queued
    std::atomic<bool> ended{false};   // the end was reported from the device's thread
    // The device's thread alone.
    size_t played = 0;  // samples of the blocks back
    size_t gap = 0;     // the next gap to report
};

void Synthesise(Capture& capture, const std::string& text, const std::string& voice) {
    std::lock_guard<std::mutex> g(engine.synth);
    if (capture.reading && capture.reading->Stopped()) return;
    if (espeak_SetVoiceByName(voice.c_str()) != EE_OK) espeak_SetVoiceByName("en");
    espeak_Synth(text.c_str(), text.size() + 1, 0, POS_CHARACTER, 0,
                 espeakCHARS_UTF8 | espeakENDPAUSE, nullptr, &capture);
}

// The reading is over: the done event, and, reading a book, the request for the next chunk.
// A reading that a newer one replaced speaks for nobody: the event and the messages belong to
// the newer one.
void Finish(Playback& p, bool whole) {
    std::lock_guard<std::mutex> g(engine.lock);
    if (engine.current != p.reading) return;
    // Idle first, so that the program may give the next chunk.
    if (p.done) SetEvent(p.done);
    if (whole && p.readMode == tts::kReadBookMode && p.window && !p.reading->Stopped())
        PostMessageW(p.window, tts::kNextChunkMessage, 0, 0);
}

// On the device's thread, for each block played or handed back by a reset.
void OnBlockDone(HWAVEOUT, UINT message, DWORD_PTR instance, DWORD_PTR header, DWORD_PTR) {
    if (message != MM_WOM_DONE || !instance) return;
    Playback& p = *reinterpret_cast<Playback*>(instance);
    p.played += reinterpret_cast<WAVEHDR*>(header)->dwBufferLength / 2;
    const bool speaking = !p.reading->Stopped() && !p.failed;
    const auto& gaps = p.capture.gaps;
    for (; p.gap < gaps.size() && gaps[p.gap] <= p.played; ++p.gap)
        if (speaking && p.window) PostMessageW(p.window, tts::kCallbackMessage, 0, 0);
    if (p.returned + 1 == p.headers.size() && speaking) {
        // The last sentence or word ends with the text.
        if (p.window) PostMessageW(p.window, tts::kCallbackMessage, 0, 0);
        Finish(p, true);
        p.ended = true;
    }
    ++p.returned;  // last: the plug-in's thread may close the device once all are back
}

// Opens the device and queues every block; false when nothing could be queued.
bool StartPlayback(Playback& p) {
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 1;
    format.nSamplesPerSec = static_cast<DWORD>(p.capture.rate);
    format.wBitsPerSample = 16;
    format.nBlockAlign = 2;
    format.nAvgBytesPerSec = format.nSamplesPerSec * 2;
    const auto& samples = p.capture.samples;
    p.headers.resize((samples.size() + kBlockFrames - 1) / kBlockFrames);
    if (p.headers.empty() ||
        waveOutOpen(&p.device, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(&OnBlockDone),
                    reinterpret_cast<DWORD_PTR>(&p), CALLBACK_FUNCTION) != MMSYSERR_NOERROR) {
        p.device = nullptr;
        p.headers.clear();
        return false;
    }
    for (size_t i = 0; i < p.headers.size(); ++i) {
        const size_t at = i * kBlockFrames;
        WAVEHDR& h = p.headers[i];
        h = WAVEHDR{};
        h.lpData = reinterpret_cast<LPSTR>(const_cast<int16_t*>(&samples[at]));
        h.dwBufferLength = static_cast<DWORD>(std::min<size_t>(kBlockFrames, samples.size() - at) * 2);
        if (waveOutPrepareHeader(p.device, &h, sizeof(WAVEHDR)) != MMSYSERR_NOERROR ||
            waveOutWrite(p.device, &h, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) {
            // What was queued is handed back; the rest never will be.
            p.failed = true;
            p.returned += p.headers.size() - i;
            waveOutReset(p.device);
            break;
        }
    }
    return true;
}

// The plug-in's thread: a stop (the stop event, or a newer reading) resets the device; once
// every block is back the device is closed.
void Watch(std::unique_ptr<Playback> playback) {
    Playback& p = *playback;
    bool reset = false;
    while (p.device && p.returned < p.headers.size()) {
        if (!reset && (p.reading->Stopped() || p.failed)) {
            reset = true;
            waveOutReset(p.device);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (p.device) {
        for (WAVEHDR& h : p.headers)
            if (h.dwFlags & WHDR_PREPARED) waveOutUnprepareHeader(p.device, &h, sizeof(WAVEHDR));
        waveOutClose(p.device);
    }
    // Stopped, failed or never played: idle without asking for more.
    if (!p.ended) Finish(p, false);
    p.reading->finished = true;
}

// For each character of the text as espeak-ng counts them (code points), the spaces before it.
std::vector<uint32_t> SpacesBefore(const char16_t* text, size_t length) {
    std::vector<uint32_t> out;
    out.reserve(length);
    uint32_t spaces = 0;
    for (size_t i = 0; i < length;) {
        out.push_back(spaces);
        if (text[i] == u' ') ++spaces;
        // A surrogate pair is one character.
        uint32_t c;
        i += static_cast<size_t>(fvt::utf::DecodeUtf16(text + i, length - i, c));
    }
    return out;
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
    fvt::AppendUtf8(utf8, std::u16string_view(text, static_cast<size_t>(length)));
    auto playback = std::make_unique<Playback>();
    Playback& p = *playback;
    std::string voice;
    {
        std::lock_guard<std::mutex> g(engine.lock);
        if (!engine.open) return 0;
        if (engine.done) ResetEvent(engine.done);
        p.reading = std::make_shared<Reading>();
        p.reading->stop = engine.stop;
        engine.current = p.reading;
        p.readMode = engine.readMode;
        p.window = engine.window;
        p.done = engine.done;
        p.capture.rate = engine.rate;
        voice = engine.voice;
    }
    p.capture.reading = p.reading.get();
    if (p.readMode == tts::kReadBookMode) {
        p.capture.words = true;
        p.capture.spacesBefore = SpacesBefore(text, static_cast<size_t>(length));
    }
    Synthesise(p.capture, utf8, voice);
    p.capture.reading = nullptr;  // the synthesis is over
    if (!p.reading->Stopped()) StartPlayback(p);
    std::lock_guard<std::mutex> g(engine.lock);
    engine.worker = std::thread(Watch, std::move(playback));
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

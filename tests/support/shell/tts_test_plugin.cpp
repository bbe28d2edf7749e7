// A stand-in speech plug-in for the tests: it "speaks" by timing words on a thread of its own,
// posts message 0x8006 to its window at each sentence gap (reading a book, read mode 1, at each
// gap between words and at the end, as the shipped plug-in does), resets the done event while speaking
// and sets it when idle, and ends early when the stop event is set. It keeps what it was asked
// (text, settings, read mode) for the tests to read through tts_test_* exports.
//
// Built several times, each variant failing the client in one way:
//   FVT_TTS_NO_READ_MODE   lacks tts_set_read_mode
//   FVT_TTS_NO_OPEN        lacks tts_open_speech
//   FVT_TTS_COM_FAILS      tts_set_com answers failure
//   FVT_TTS_OPEN_FAILS     tts_open_speech answers failure yet sets a handle
//   FVT_TTS_NEVER_DONE     ignores the stop event and never sets the done event
// and one that is slow as a synthesiser is, on the caller's thread:
//   FVT_TTS_SLOW           takes 10 ms a word in tts_speak, and speaks 10 ms a word
// With FVT_TTS_LOG set, every text taken is appended to that file, each followed by a line
// "----" (for the program tests, where the plug-in lives in the reader's process).
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>

#include "platform/kernel/kernel_sync.h"
#include "platform/window/window.h"
#include "shell/tts/speech_plugin_abi.h"

namespace {

struct Engine {
    std::mutex lock;
    std::u16string spoken;  // every text taken, joined by '\n'
    int32_t settings[4] = {};
    int32_t readMode = -1;
    void* user = nullptr;
    HWND window = nullptr;
    HANDLE stop = nullptr;
    HANDLE done = nullptr;
    std::thread worker;
    std::atomic<int32_t> posted{0};
    std::atomic<int32_t> closed{0};
    std::atomic<bool> busy{false};
};

// Made by tts_open_speech and freed by tts_close_speech (a hung engine is kept for its thread).
Engine* engine = nullptr;
Engine idle;  // answers calls made without an open engine

Engine& TheEngine() {
    return engine ? *engine : idle;
}

bool StopAsked(const Engine& e) {
#ifdef FVT_TTS_NEVER_DONE
    (void)e;
    return false;
#else
    return e.stop && WaitForSingleObject(e.stop, 0) == WAIT_OBJECT_0;
#endif
}

#ifdef FVT_TTS_SLOW
constexpr int kWordMs = 10;
#else
constexpr int kWordMs = 1;
#endif

void Run(Engine* e, std::u16string text, bool words) {
    [[maybe_unused]] bool stopped = false;  // read only by the plug-ins that finish
    for (size_t i = 0; i < text.size(); ++i) {
        if (StopAsked(*e)) {
            stopped = true;
            break;
        }
        const char16_t c = text[i];
        if (c == u' ') std::this_thread::sleep_for(std::chrono::milliseconds(kWordMs));
        const bool gap = words ? c == u' ' || i + 1 == text.size()
                               : (c == u'.' || c == u'!' || c == u'?') &&
                                     (i + 1 == text.size() || text[i + 1] == u' ');
        if (gap && e->window) {
            PostMessageW(e->window, tts::kCallbackMessage, 0, 0);
            ++e->posted;
        }
    }
#ifdef FVT_TTS_NEVER_DONE
    // Hangs on: the client must not unload the plug-in under this thread.
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
#else
    if (e->done) SetEvent(e->done);
    // Read whole, a book's chunk asks for the next (as the shipped plug-in does).
    if (words && !stopped && e->window) PostMessageW(e->window, tts::kNextChunkMessage, 0, 0);
#endif
    e->busy = false;
}

// The text taken, for a program test to read.
void Log(const std::u16string& text) {
    const char* path = std::getenv("FVT_TTS_LOG");
    if (!path || !*path) return;
    std::ofstream out(path, std::ios::app | std::ios::binary);
    for (char16_t c : text) out << (c < 0x80 ? static_cast<char>(c) : '?');
    out << "\n----\n";
}

void Join(Engine& e) {
#ifdef FVT_TTS_NEVER_DONE
    if (e.worker.joinable()) e.worker.detach();
#else
    if (e.worker.joinable()) e.worker.join();
#endif
}

}  // namespace

extern "C" {

#ifndef FVT_TTS_NO_OPEN
int32_t tts_open_speech(uint32_t* handle) {
    if (!engine) engine = new Engine;
    *handle = 7;
#ifdef FVT_TTS_OPEN_FAILS
    return 5;
#else
    return 0;
#endif
}
#endif

int32_t tts_set(uint32_t, int32_t a, int32_t b, int32_t c, int32_t d) {
    Engine& e = TheEngine();
    std::lock_guard<std::mutex> g(e.lock);
    e.settings[0] = a;
    e.settings[1] = b;
    e.settings[2] = c;
    e.settings[3] = d;
    return 0;
}

int32_t tts_speak(uint32_t handle, const char16_t* text, int32_t length) {
    Engine& e = TheEngine();
    if (handle != 7 || !text || length < 0) return 0;
    Join(e);
    std::u16string copy(text, static_cast<size_t>(length));
    Log(copy);
#ifdef FVT_TTS_SLOW
    // Taking the text in costs time as a synthesiser does: the longer the text, the longer.
    for (char16_t c : copy)
        if (c == u' ') std::this_thread::sleep_for(std::chrono::milliseconds(kWordMs));
#endif
    {
        std::lock_guard<std::mutex> g(e.lock);
        if (!e.spoken.empty()) e.spoken += u'\n';
        e.spoken += copy;
    }
    if (e.done) ResetEvent(e.done);
    e.busy = true;
    bool words = false;
    {
        std::lock_guard<std::mutex> g(e.lock);
        words = e.readMode == 1;
    }
    e.worker = std::thread(Run, &e, std::move(copy), words);
    return 1;
}

int32_t tts_close_speech(uint32_t) {
    Engine& e = TheEngine();
    Join(e);
    ++e.closed;
#ifndef FVT_TTS_NEVER_DONE
    if (engine == &e) {
        delete engine;
        engine = nullptr;
    }
#endif
    return 0;
}

int32_t tts_set_com(uint32_t, HWND window, HANDLE stop, HANDLE done, HANDLE) {
    Engine& e = TheEngine();
    e.window = window;
    e.stop = stop;
    e.done = done;
#ifdef FVT_TTS_COM_FAILS
    return 1;
#else
    return 0;
#endif
}

#ifndef FVT_TTS_NO_READ_MODE
int32_t tts_set_read_mode(uint32_t, int32_t mode, void* user) {
    Engine& e = TheEngine();
    std::lock_guard<std::mutex> g(e.lock);
    e.readMode = mode;
    e.user = user;
    return 0;
}
#endif

// For the tests.
int32_t tts_test_spoken(char16_t* out, int32_t capacity) {
    Engine& e = TheEngine();
    std::lock_guard<std::mutex> g(e.lock);
    const int32_t n = static_cast<int32_t>(e.spoken.size());
    for (int32_t i = 0; i < n && i < capacity; ++i) out[i] = e.spoken[static_cast<size_t>(i)];
    return n;
}

int32_t tts_test_setting(int32_t place) {
    Engine& e = TheEngine();
    std::lock_guard<std::mutex> g(e.lock);
    return place == -1 ? e.readMode : e.settings[place & 3];
}

void* tts_test_user() {
    return TheEngine().user;
}

int32_t tts_test_closed() {
    return TheEngine().closed;
}

// Waits (really) until the current reading has ended; false after a second.
int32_t tts_test_wait_idle() {
    Engine& e = TheEngine();
    for (int i = 0; i < 1000 && e.busy; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return e.busy ? 0 : 1;
}

}  // extern "C"

// What the document controller needs of the text-to-speech client. The client itself (the
// plug-in loader of the shell) implements it and is made through a SpeechClientFactory; the
// controller gives it a SpeechListener for its view window and the page turns.
//
// Threads: every call here is made on the GUI thread. The plug-in's own thread reports back
// only by posting message 0x8006 to the listener's window and through its events.
#pragma once

#include <cstdint>
#include <memory>

#include "core/byte_stream.h"
#include "platform/types.h"

class String;

class SpeechListener {
public:
    // The window the plug-in posts its sentence callbacks to.
    virtual HWND SpeechWindow() = 0;
    // Turns to the next page for the reading; false when there is none.
    virtual bool StepPageForSpeech() = 0;

protected:
    ~SpeechListener() = default;
};

class SpeechClient {
public:
    virtual ~SpeechClient() = default;
    virtual bool IsLoaded() const = 0;
    // Asks the plug-in to stop; true when it went idle within the wait.
    virtual bool Stop() = 0;
    virtual void ClearStopEvent() = 0;
    virtual void SetFirstParam(int32_t value) = 0;
    virtual void SetReadMode(int32_t mode) = 0;
    // True when the plug-in took the text.
    virtual bool Speak(const String& text) = 0;
    // True when the plug-in is idle.
    virtual bool PollDone() = 0;
    // One sentence callback (message 0x8006).
    virtual void OnCallback() = 0;
    // The callback count at which the listener is asked to turn the page; -1 for none.
    virtual void SetSentenceTarget(int32_t target) = 0;
    // Where the reader keeps the token state of the text not yet spoken.
    virtual ByteStream& ReadingState() = 0;
};

class SpeechClientFactory {
public:
    // Null on failure; the caller owns the result (which may not be loaded).
    virtual std::unique_ptr<SpeechClient> CreateSpeechClient(SpeechListener* listener) = 0;

protected:
    ~SpeechClientFactory() = default;
};

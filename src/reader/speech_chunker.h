// Reading a book aloud one chunk at a time: the text between the source's position and the
// end of a sentence, a block or 128 characters, and what the text-to-speech client is driven
// through (the client itself belongs to the shell).
#pragma once

#include <cstdint>
#include <memory>

#include "core/string.h"

class ByteStream;
class TokenSource;

// The shell's text-to-speech client as the document controller drives it. Made on first use
// through a SpeechOutputFactory; deleted by the controller.
class SpeechOutput {
public:
    virtual ~SpeechOutput() = default;
    // False when the plug-in did not load: speech then does nothing.
    virtual bool IsLoaded() const = 0;
    virtual void Stop() = 0;
    virtual void ClearStopEvent() = 0;
    // The plug-in's first setting: the language of the text.
    virtual void SetFirstParam(uint32_t value) = 0;
    // 0 a given text, 1 the book read on.
    virtual void SetReadMode(uint32_t mode) = 0;
    virtual bool Speak(const String& text) = 0;
    // True while the plug-in is idle.
    virtual bool PollDone() = 0;
    // The plug-in's notice (message 0x8006): it may ask the reader to turn the page.
    virtual void OnCallback() = 0;
    // The callback count at which the page is turned; -1 never.
    virtual void SetCallbackTarget(int32_t count) = 0;
    // Where the book's token source stood after the last chunk, to go on from there.
    virtual ByteStream& ReadingState() = 0;
};

class SpeechOutputFactory {
public:
    // Null when no client can be made.
    virtual std::unique_ptr<SpeechOutput> CreateSpeechOutput() = 0;

protected:
    ~SpeechOutputFactory() = default;
};

struct SpeechChunk {
    static constexpr int32_t kMaxLength = 128;
    String text;
    // Gaps counted when the text first reached the end of the page pair; -1 when it did not.
    int32_t sentenceTarget = -1;
};

// Collects the next chunk from where the source stands: text, a space per gap, the PHON
// attribute of FVT:TTS in place of its content. A block tag or BR ends a collected chunk; so
// does a final '.', '!' or '?', or a chunk past kMaxLength characters (after the token that
// took it there). False when the tokens ended with nothing collected.
bool CollectSpeechChunk(TokenSource& source, uint32_t pageEnd, SpeechChunk& out);

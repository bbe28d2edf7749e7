// Reading aloud for a document controller: it makes the speech client on first use, starts a
// given text, reads the book a chunk at a time from its token stream (up to a sentence end, a
// block or 128 characters), asks for the page turn when the reading reaches the end of the
// shown pages, and stops or drops the client. A client that does not load makes every speech
// command do nothing.
#pragma once

#include <cstdint>
#include <memory>

#include "core/string.h"
#include "reader/speech_client.h"

class TokenSource;

// What the reader asks of the document controller, beyond the listener's window and page turn.
class SpeechHost : public SpeechListener {
public:
    // The book's language (its low 16 bits are used when no speech language is set).
    virtual uint32_t BookLanguage() = 0;
    // The document's token stream; null when no text page is open.
    virtual TokenSource* SpeechTokens() = 0;
    // The text position where the pages shown end; false when unknown.
    virtual bool ShownPagesEnd(uint32_t& position) = 0;

protected:
    ~SpeechHost() = default;
};

class SpeechReader {
public:
    static constexpr int32_t kMaxChunk = 128;
    // Markup ids the chunking reads.
    static constexpr uint32_t kTtsElement = 140;  // FVT:TTS
    static constexpr uint32_t kPhonAttribute = 141;
    static constexpr uint32_t kLineBreak = 32;  // BR

    SpeechReader(SpeechClientFactory* factory, SpeechHost* host)
        : factory_(factory), host_(host) {}

    // 0 uses the book's language.
    void SetLanguage(uint32_t language) { language_ = language; }
    // A script's text, read as it is.
    bool StartSpeech(const String& text);
    // The book from the position (or, continuing, from where the last chunk ended).
    bool SpeakText(bool continuing, uint32_t position);
    void StopSpeech();
    // A sentence callback (message 0x8006); a missing or unloaded client ignores it.
    void PauseSpeech();
    bool IsSpeaking();
    void DestroySpeech() { client_.reset(); }
    SpeechClient* Client() const { return client_.get(); }
    // The last chunk handed to the plug-in.
    const String& LastChunk() const { return chunk_; }

private:
    bool Prepare(int32_t readMode);
    bool CollectChunk(TokenSource& tokens);

    SpeechClientFactory* factory_;
    SpeechHost* host_;
    std::unique_ptr<SpeechClient> client_;
    uint32_t language_ = 0;
    bool speaking_ = false;
    String chunk_;
};

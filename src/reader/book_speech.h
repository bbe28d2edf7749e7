// Reading the book aloud: the speech output made through a factory (the shell's speech client
// through its bridge, or a test's), the language it speaks in, and the book spoken one chunk at a
// time up to the page's end. The output goes with the document. The page shown is asked for
// through SpeechPage.
#pragma once

#include <cstdint>
#include <memory>

#include "reader/speech_bridge.h"
#include "reader/speech_chunker.h"

class String;
class TokenSource;

class SpeechPage {
public:
    // Turns to the next page once the speech client has read the one shown; false at the end.
    virtual bool TurnPage() = 0;
    // The window the speech client's callbacks go to; null without one.
    virtual HWND SpeechWindow() = 0;
    // The laid-out page's token source; null without one.
    virtual TokenSource* PageSource() = 0;
    // The text range of the page shown; false when unknown.
    virtual bool PageRange(uint32_t& start, uint32_t& end) = 0;
    // The language code of the book shown; 0 when it names none.
    virtual uint32_t BookLanguage() = 0;

protected:
    ~SpeechPage() = default;
};

class BookSpeech {
public:
    explicit BookSpeech(SpeechPage& page) : page_(page) {}
    BookSpeech(const BookSpeech&) = delete;
    BookSpeech& operator=(const BookSpeech&) = delete;

    void SetFactory(SpeechOutputFactory* factory) { speechFactory_ = factory; }
    void SetClients(SpeechClientFactory* clients);
    void SetLanguage(uint32_t language) { speechLanguage_ = language; }
    // A script's text. One longer than kMaxPiece is handed to the plug-in a piece at a time,
    // each when the one before has been spoken, so that the reader stays live meanwhile.
    bool Start(const String& text);
    static constexpr int32_t kMaxPiece = 480;
    bool SpeakText(bool continuing, uint32_t position);
    void Stop();
    void Pause();
    bool IsSpeaking();
    void Destroy() {
        pending_.SetEmpty();
        speech_.reset();
    }

private:
    // Stops speech and makes the client ready in a read mode; false when none is loaded.
    bool PrepareSpeech(uint32_t mode);
    // Hands the plug-in the next piece of the script's text; false when none is left.
    bool SpeakNextPiece();

    SpeechPage& page_;
    // Before the output: the client made through it keeps it as its listener.
    std::unique_ptr<SpeechClientBridge> speechBridge_;
    SpeechOutputFactory* speechFactory_ = nullptr;
    std::unique_ptr<SpeechOutput> speech_;
    uint32_t speechLanguage_ = 0;
    // What is left of the script's text to speak.
    String pending_;
};

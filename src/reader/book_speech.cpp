// The document controller's speech: the output, its language and the chunks read aloud.
#include "reader/book_speech.h"

#include <new>

#include "core/byte_stream.h"
#include "document/markup/token_source.h"
#include "layout/page_layout.h"

void BookSpeech::SetClients(SpeechClientFactory* clients) {
    speech_.reset();
    speechBridge_.reset(clients ? new (std::nothrow) SpeechClientBridge(clients, &page_)
                                : nullptr);
    speechFactory_ = speechBridge_.get();
}

bool BookSpeech::PrepareSpeech(uint32_t mode) {
    if (IsSpeaking()) speech_->Stop();
    if (!speech_ && speechFactory_) speech_.reset(speechFactory_->CreateSpeechOutput());
    if (speech_ && !speech_->IsLoaded()) speech_.reset();
    if (!speech_) return false;
    uint32_t language = speechLanguage_;
    if (language == 0) language = page_.BookLanguage();
    speech_->SetFirstParam(language);
    speech_->SetReadMode(mode);
    speech_->ClearStopEvent();
    return true;
}

bool BookSpeech::Start(const String& text) {
    if (!PrepareSpeech(0)) return false;
    speech_->SetCallbackTarget(-1);
    return speech_->Speak(text);
}

bool BookSpeech::SpeakText(bool continuing, uint32_t position) {
    if (!continuing && !PrepareSpeech(1)) return false;
    if (!speech_ || !speech_->IsLoaded() || !page_.PageSource()) return false;
    ByteStream& state = speech_->ReadingState();
    bool placed = false;
    if (continuing) {
        placed = state.SetReadPosition(0) && page_.PageSource()->RestoreState(state);
    } else {
        placed = page_.PageSource()->Start(position, true);
    }
    if (!placed) {
        speech_->Stop();
        return false;
    }
    uint32_t pageStart = 0, pageEnd = 0;
    if (!page_.PageRange(pageStart, pageEnd) || pageEnd == PageLayout::kNone) pageEnd = UINT32_MAX;
    SpeechChunk chunk;
    CollectSpeechChunk(*page_.PageSource(), pageEnd, chunk);
    // The plug-in asks to turn the page when it has spoken this far; a chunk that stays on the
    // pages shown clears the target of the chunk before, which would turn the page again.
    speech_->SetCallbackTarget(chunk.sentenceTarget);
    state.Clear();
    page_.PageSource()->SaveState(state);
    page_.PageSource()->Start(0, true);
    return !chunk.text.IsEmpty() && speech_->Speak(chunk.text);
}

void BookSpeech::Stop() {
    if (speech_) speech_->Stop();
}

void BookSpeech::Pause() {
    if (speech_ && speech_->IsLoaded()) speech_->OnCallback();
}

bool BookSpeech::IsSpeaking() {
    return speech_ && speech_->IsLoaded() && !speech_->PollDone();
}

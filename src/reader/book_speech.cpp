// The document controller's speech: the output, its language and the chunks read aloud.
#include "reader/book_speech.h"

#include <new>

#include "core/byte_stream.h"
#include "document/markup/token_source.h"
#include "layout/page_layout.h"

void BookSpeech::SetClients(SpeechClientFactory* clients) {
    speech_.reset();
    speechBridge_ = clients ? std::make_unique<SpeechClientBridge>(clients, &page_) : nullptr;
    speechFactory_ = speechBridge_.get();
}

bool BookSpeech::PrepareSpeech(uint32_t mode) {
    if (IsSpeaking()) speech_->Stop();
    if (!speech_ && speechFactory_) speech_ = speechFactory_->CreateSpeechOutput();
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
    pending_.SetEmpty();
    const bool inPieces = text.Length() > kMaxPiece;
    // A long text is read as a book is, a piece at a time: the plug-in asks for the next piece
    // (message 0x8005) when it has spoken one, so that it never holds the reader while it takes
    // the whole text in. No page is turned.
    if (!PrepareSpeech(inPieces ? 1 : 0)) return false;
    speech_->SetCallbackTarget(-1);
    if (!inPieces) return speech_->Speak(text);
    pending_ = text;
    return SpeakNextPiece();
}

bool BookSpeech::SpeakNextPiece() {
    const int32_t length = pending_.Length();
    if (length == 0 || !speech_ || !speech_->IsLoaded()) return false;
    int32_t cut = length;
    if (length > kMaxPiece) {
        // After the last sentence end in the piece, else after its last space, else whole.
        int32_t space = -1, sentence = -1;
        for (int32_t i = kMaxPiece / 4; i < kMaxPiece; ++i) {
            const char16_t c = pending_.At(i);
            if (c == u' ' || c == u'\n') {
                space = i + 1;
                const char16_t before = pending_.At(i - 1);
                if (before == u'.' || before == u'!' || before == u'?') sentence = i + 1;
            }
        }
        cut = sentence > 0 ? sentence : (space > 0 ? space : kMaxPiece);
    }
    String piece, rest;
    piece.AssignSub(pending_, 0, cut);
    rest.AssignSub(pending_, cut, length - cut);
    pending_ = rest;
    return speech_->Speak(piece);
}

bool BookSpeech::SpeakText(bool continuing, uint32_t position) {
    // A script's text being spoken goes on with its next piece.
    if (continuing && !pending_.IsEmpty()) return SpeakNextPiece();
    pending_.SetEmpty();
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
    pending_.SetEmpty();
    if (speech_) speech_->Stop();
}

void BookSpeech::Pause() {
    if (speech_ && speech_->IsLoaded()) speech_->OnCallback();
}

bool BookSpeech::IsSpeaking() {
    return speech_ && speech_->IsLoaded() && !speech_->PollDone();
}

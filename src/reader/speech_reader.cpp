#include "reader/speech_reader.h"

#include "core/byte_stream.h"
#include "document/markup/markup_tags.h"
#include "document/markup/token_source.h"

bool SpeechReader::Prepare(int32_t readMode) {
    if (IsSpeaking()) client_->Stop();
    if (!client_ && factory_) client_.reset(factory_->CreateSpeechClient(host_));
    if (client_ && !client_->IsLoaded()) client_.reset();
    if (!client_) return false;
    const uint32_t language = language_ != 0 ? language_ : (host_ ? host_->BookLanguage() : 0);
    client_->SetFirstParam(static_cast<int32_t>(language & 0xFFFF));
    client_->SetReadMode(readMode);
    client_->ClearStopEvent();
    return true;
}

bool SpeechReader::StartSpeech(const String& text) {
    if (!Prepare(0)) return false;
    client_->SetSentenceTarget(-1);
    chunk_ = text;
    speaking_ = client_->Speak(text);
    return speaking_;
}

void SpeechReader::StopSpeech() {
    if (client_) client_->Stop();
}

void SpeechReader::PauseSpeech() {
    if (client_ && client_->IsLoaded()) client_->OnCallback();
}

bool SpeechReader::IsSpeaking() {
    return client_ && client_->IsLoaded() && speaking_ && !client_->PollDone();
}

bool SpeechReader::CollectChunk(TokenSource& tokens) {
    chunk_.SetEmpty();
    uint32_t pagesEnd = 0;
    const bool endKnown = host_ && host_->ShownPagesEnd(pagesEnd);
    bool targetSet = false;
    bool afterGap = false;
    int32_t gaps = 0;
    // Each pass takes at least one token; a stream that never ends is cut at the chunk size.
    for (int32_t idle = 0; idle < 4096;) {
        const uint32_t kind = tokens.NextToken();
        if (kind == kTokenEnd) break;
        if (kind == kTokenContinue) {
            ++idle;
            continue;
        }
        idle = 0;
        if (kind == kTokenText || kind == kTokenNonJoiner) {
            if (afterGap && !targetSet && endKnown) {
                uint32_t at = 0;
                if (tokens.GetPosition(at) && at >= pagesEnd) {
                    client_->SetSentenceTarget(gaps);
                    targetSet = true;
                }
            }
            afterGap = false;
            chunk_.Append(tokens.Text());
        } else if (kind == kTokenTag) {
            bool isEnd = false, isEmpty = false;
            const uint32_t id = tokens.GetTag(isEnd, isEmpty);
            if (id == kTtsElement && !isEnd) {
                String phon;
                if (tokens.GetAttributeText(kPhonAttribute, phon)) chunk_.Append(phon);
                if (!isEmpty) tokens.SkipElement();
            } else if ((MarkupTags::IsClass1or9to12(id) || id == kLineBreak) &&
                       chunk_.Length() > 0) {
                break;
            }
        } else if (kind == kTokenSpace && chunk_.Length() > 0) {
            ++gaps;
            afterGap = true;
            chunk_.AppendChar(u' ');
        }
        const int32_t n = chunk_.Length();
        if (n > kMaxChunk) break;
        if (n > 0) {
            const char16_t last = chunk_.At(n - 1);
            if (last == u'.' || last == u'!' || last == u'?') break;
        }
    }
    return chunk_.Length() > 0;
}

bool SpeechReader::SpeakText(bool continuing, uint32_t position) {
    if (!continuing) {
        if (!Prepare(1)) return false;
    }
    if (!client_ || !client_->IsLoaded()) return false;
    TokenSource* tokens = host_ ? host_->SpeechTokens() : nullptr;
    ByteStream& state = client_->ReadingState();
    bool started = false;
    if (tokens) {
        if (continuing) {
            state.SetReadPosition(0);
            started = state.Size() > 0 && tokens->RestoreState(state);
        } else {
            started = tokens->Start(position, true);
        }
    }
    if (!started) {
        StopSpeech();
        return false;
    }
    CollectChunk(*tokens);
    // Where the next chunk begins; the layout gets its token source back at its start.
    state.Clear();
    tokens->SaveState(state);
    tokens->Start(0, true);
    if (chunk_.Length() == 0) return false;
    speaking_ = client_->Speak(chunk_);
    return speaking_;
}

#include "reader/speech_bridge.h"

#include <memory>
#include <utility>

#include "reader/book_speech.h"

namespace {

class ClientOutput final : public SpeechOutput {
public:
    explicit ClientOutput(std::unique_ptr<SpeechClient> client) : client_(std::move(client)) {}

    bool IsLoaded() const override { return client_->IsLoaded(); }
    void Stop() override { client_->Stop(); }
    void ClearStopEvent() override { client_->ClearStopEvent(); }
    void SetFirstParam(uint32_t value) override {
        client_->SetFirstParam(static_cast<int32_t>(value));
    }
    void SetReadMode(uint32_t mode) override { client_->SetReadMode(static_cast<int32_t>(mode)); }
    bool Speak(const String& text) override { return client_->Speak(text); }
    bool PollDone() override { return client_->PollDone(); }
    void OnCallback() override { client_->OnCallback(); }
    void SetCallbackTarget(int32_t count) override { client_->SetSentenceTarget(count); }
    ByteStream& ReadingState() override { return client_->ReadingState(); }

private:
    std::unique_ptr<SpeechClient> client_;
};

}  // namespace

std::unique_ptr<SpeechOutput> SpeechClientBridge::CreateSpeechOutput() {
    std::unique_ptr<SpeechClient> client = clients_ ? clients_->CreateSpeechClient(this) : nullptr;
    if (!client) return nullptr;
    return std::make_unique<ClientOutput>(std::move(client));
}

HWND SpeechClientBridge::SpeechWindow() {
    return page_ ? page_->SpeechWindow() : nullptr;
}

bool SpeechClientBridge::StepPageForSpeech() {
    return page_ && page_->TurnPage();
}

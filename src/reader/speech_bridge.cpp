#include "reader/speech_bridge.h"

#include <memory>
#include <new>

#include "graphics/core/drawing_surface.h"
#include "reader/book_document_controller.h"
#include "reader/reader_controller.h"

namespace {

class ClientOutput final : public SpeechOutput {
public:
    explicit ClientOutput(SpeechClient* client) : client_(client) {}

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

SpeechOutput* SpeechClientBridge::CreateSpeechOutput() {
    SpeechClient* client = clients_ ? clients_->CreateSpeechClient(this) : nullptr;
    if (!client) return nullptr;
    SpeechOutput* output = new (std::nothrow) ClientOutput(client);
    if (!output) delete client;
    return output;
}

HWND SpeechClientBridge::SpeechWindow() {
    // The frame the surface draws into hears the callbacks.
    ReaderController* reader = controller_ ? controller_->Reader() : nullptr;
    DrawingSurface* surface = reader ? reader->GetDrawingSurface() : nullptr;
    return surface ? surface->Window() : nullptr;
}

bool SpeechClientBridge::StepPageForSpeech() {
    return controller_ && controller_->StepPage(PageStepCode::kNextPage);
}

// The document controller's speech output over a speech client (the shell's plug-in loader). The
// client is made with the bridge as its listener: its sentence callbacks go to the page's window
// and it asks the page to turn.
#pragma once

#include "reader/speech_chunker.h"
#include "reader/speech_client.h"

class SpeechPage;

class SpeechClientBridge final : public SpeechOutputFactory, private SpeechListener {
public:
    SpeechClientBridge(SpeechClientFactory* clients, SpeechPage* page)
        : clients_(clients), page_(page) {}

    std::unique_ptr<SpeechOutput> CreateSpeechOutput() override;

private:
    HWND SpeechWindow() override;
    bool StepPageForSpeech() override;

    SpeechClientFactory* clients_;
    SpeechPage* page_;
};

// The document controller's speech output over a speech client (the shell's plug-in loader). The
// client is made with the bridge as its listener: its sentence callbacks go to the controller's
// window and its page turns to the controller.
#pragma once

#include "reader/speech_chunker.h"
#include "reader/speech_client.h"

class BookDocumentController;

class SpeechClientBridge final : public SpeechOutputFactory, private SpeechListener {
public:
    SpeechClientBridge(SpeechClientFactory* clients, BookDocumentController* controller)
        : clients_(clients), controller_(controller) {}

    SpeechOutput* CreateSpeechOutput() override;

private:
    HWND SpeechWindow() override;
    bool StepPageForSpeech() override;

    SpeechClientFactory* clients_;
    BookDocumentController* controller_;
};

// The program's side of the text-to-speech plug-in: it loads "folvplugin_text_to_speech" from
// the program folder, checks that all six entry points are there, connects the plug-in to the
// listener's window with a stop event, a done event and a mutex (the plug-in's own; the program
// never takes it), and passes settings and text.
//
// Threads: the client is used on the GUI thread only. The plug-in speaks on its own thread and
// reports through the done event and message 0x8006 to the window. The library is never
// unloaded, nor its handles closed, while its thread may still run: when a stop is not answered
// within the wait, the library is kept loaded for the rest of the run.
#pragma once

#include <cstdint>
#include <memory>

#include "core/byte_stream.h"
#include "platform/kernel/modules.h"
#include "reader/speech_client.h"
#include "shell/tts/speech_plugin_abi.h"

class SpeechPlugin final : public SpeechClient {
public:
    static constexpr DWORD kStopWaitMs = 1500;
    // String ids of the wrong-version message and its caption.
    static constexpr uint32_t kWrongVersionText = 5560;
    static constexpr uint32_t kWrongVersionCaption = 5561;

    explicit SpeechPlugin(SpeechListener* listener);
    ~SpeechPlugin() override;
    SpeechPlugin(const SpeechPlugin&) = delete;
    SpeechPlugin& operator=(const SpeechPlugin&) = delete;

    bool IsLoaded() const override { return loaded_; }
    bool Stop() override;
    void ClearStopEvent() override;
    void SetFirstParam(int32_t value) override { SetParam(0, value); }
    // The three sister settings: the value in the second, third or fourth place.
    void SetParam(int place, int32_t value);
    void SetReadMode(int32_t mode) override;
    // Refused while a stop stands (until ClearStopEvent).
    bool Speak(const String& text) override;
    bool PollDone() override;
    void OnCallback() override;
    void SetSentenceTarget(int32_t target) override { target_ = target; }
    ByteStream& ReadingState() override { return state_; }

    uint32_t CallbackCount() const { return count_; }
    int32_t SentenceTarget() const { return target_; }
    // The last stop went unanswered: the library stays loaded.
    bool IsHung() const { return hung_; }

private:
    void Load();
    void CloseHandles();

    bool loaded_ = false;
    bool hung_ = false;
    ByteStream state_;
    SpeechListener* listener_;
    uint32_t count_ = 0;
    int32_t target_ = -1;
    tts::OpenSpeech open_ = nullptr;
    tts::Set set_ = nullptr;
    tts::Speak speak_ = nullptr;
    tts::CloseSpeech close_ = nullptr;
    tts::SetCom setCom_ = nullptr;
    tts::SetReadMode setReadMode_ = nullptr;
    HMODULE library_ = nullptr;
    uint32_t handle_ = 0;
    HWND window_ = nullptr;
    HANDLE stop_ = nullptr;
    HANDLE done_ = nullptr;
    HANDLE mutex_ = nullptr;
};

class SpeechPluginFactory final : public SpeechClientFactory {
public:
    std::unique_ptr<SpeechClient> CreateSpeechClient(SpeechListener* listener) override;
};

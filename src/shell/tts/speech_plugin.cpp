#include "shell/tts/speech_plugin.h"

#include <new>
#include <string>

#include "core/resources.h"
#include "core/string.h"
#include "platform/dialog/dialog.h"
#include "platform/kernel/kernel_sync.h"
#include "platform/kernel/system_info.h"

namespace {

// The program folder followed by the plug-in's name; the bare name when the folder is unknown.
std::u16string LibraryPath() {
    WCHAR path[260] = {};
    const DWORD n = GetModuleFileNameW(nullptr, path, 260);
    std::u16string folder(path, n > 0 && n < 260 ? n : 0);
    const size_t slash = folder.find_last_of(u'\\');
    if (slash == std::u16string::npos) return tts::kLibraryName;
    return folder.substr(0, slash + 1) + tts::kLibraryName;
}

template <class F>
F Entry(HMODULE library, const char16_t* name) {
    return reinterpret_cast<F>(GetProcAddressW(library, name));
}

void ShowWrongVersion() {
    String text, caption;
    Resources::LoadString(text, SpeechPlugin::kWrongVersionText);
    Resources::LoadString(caption, SpeechPlugin::kWrongVersionCaption);
    text.AppendChar(u'\0');
    caption.AppendChar(u'\0');
    MessageBoxW(nullptr, text.Data(), caption.Data(), MB_ICONERROR);
}

}  // namespace

SpeechPlugin::SpeechPlugin(SpeechListener* listener) : listener_(listener) {
    Load();
    if (!loaded_) {
        CloseHandles();
        if (library_) FreeLibrary(library_);
        library_ = nullptr;
    }
}

void SpeechPlugin::Load() {
    const std::u16string path = LibraryPath();
    library_ = LoadLibraryW(path.c_str());
    if (!library_) return;
    open_ = Entry<tts::OpenSpeech>(library_, u"tts_open_speech");
    set_ = Entry<tts::Set>(library_, u"tts_set");
    speak_ = Entry<tts::Speak>(library_, u"tts_speak");
    close_ = Entry<tts::CloseSpeech>(library_, u"tts_close_speech");
    setCom_ = Entry<tts::SetCom>(library_, u"tts_set_com");
    setReadMode_ = Entry<tts::SetReadMode>(library_, u"tts_set_read_mode");
    if (!open_) return;
    if (!set_ || !speak_ || !close_ || !setCom_ || !setReadMode_) {
        ShowWrongVersion();
        return;
    }
    uint32_t handle = 0;
    const int32_t opened = open_(&handle);
    handle_ = handle;
    if (opened != 0 || handle_ == 0) {
        // A handle set beside an error is still the plug-in's to close.
        if (handle_ != 0) close_(handle_);
        handle_ = 0;
        return;
    }
    window_ = listener_ ? listener_->SpeechWindow() : nullptr;
    stop_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    done_ = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    mutex_ = CreateMutexW(nullptr, FALSE, nullptr);
    // Without its events and mutex the plug-in cannot be driven.
    if (!stop_ || !done_ || !mutex_) {
        close_(handle_);
        handle_ = 0;
        return;
    }
    ResetEvent(stop_);
    SetEvent(done_);
    if (setCom_(handle_, window_, stop_, done_, mutex_) != 0) {
        close_(handle_);
        handle_ = 0;
        return;
    }
    loaded_ = true;
}

void SpeechPlugin::CloseHandles() {
    for (HANDLE* h : {&stop_, &done_, &mutex_}) {
        if (*h) CloseHandle(*h);
        *h = nullptr;
    }
}

SpeechPlugin::~SpeechPlugin() {
    if (!loaded_) return;
    const bool idle = Stop();
    close_(handle_);
    if (!idle) return;  // its thread may still run: keep its code and handles
    FreeLibrary(library_);
    CloseHandles();
}

bool SpeechPlugin::Stop() {
    if (!loaded_) return true;
    SetEvent(stop_);
    hung_ = WaitForSingleObject(done_, kStopWaitMs) != WAIT_OBJECT_0;
    return !hung_;
}

void SpeechPlugin::ClearStopEvent() {
    if (stop_) ResetEvent(stop_);
}

void SpeechPlugin::SetParam(int place, int32_t value) {
    if (!loaded_ || place < 0 || place > 3) return;
    int32_t v[4] = {};
    v[place] = value;
    set_(handle_, v[0], v[1], v[2], v[3]);
}

void SpeechPlugin::SetReadMode(int32_t mode) {
    if (loaded_) setReadMode_(handle_, mode, this);
}

bool SpeechPlugin::Speak(const String& text) {
    // Not loaded: nothing is read, so the caller must not think it is.
    if (!loaded_) return false;
    // A stop stands until the next reading is prepared (which clears it): the next chunk a
    // reading asked for just before the stop is not read after it.
    if (WaitForSingleObject(stop_, 0) == WAIT_OBJECT_0) return false;
    count_ = 0;
    return speak_(handle_, text.Data(), text.Length()) != 0;
}

bool SpeechPlugin::PollDone() {
    return loaded_ && WaitForSingleObject(done_, 0) == WAIT_OBJECT_0;
}

void SpeechPlugin::OnCallback() {
    if (!loaded_) return;
    if (target_ >= 0 && count_ == static_cast<uint32_t>(target_)) {
        // The listener may refuse (no next page): then the reading ends here.
        if (!listener_ || !listener_->StepPageForSpeech()) Stop();
    }
    ++count_;
}

std::unique_ptr<SpeechClient> SpeechPluginFactory::CreateSpeechClient(SpeechListener* listener) {
    return std::make_unique<SpeechPlugin>(listener);
}

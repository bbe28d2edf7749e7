#include "shell/tts/speech_plugin.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "core/string.h"
#include "platform/kernel/kernel_clock.h"
#include "platform/kernel/kernel_sync.h"
#include "platform/kernel/modules.h"
#include "shell/tts/speech_voices.h"
#include "support/platform/window_fixture.h"

namespace {

constexpr const char* kProfile =
    "clock = virtual\nprogram_folder = \\Program Files\\Folivant\n";

// The listener side: a recording window and a page-turn answer.
struct Listener : SpeechListener {
    HWND window = nullptr;
    bool nextPage = true;
    int steps = 0;
    HWND SpeechWindow() override { return window; }
    bool StepPageForSpeech() override {
        ++steps;
        return nextPage;
    }
};

class SpeechPluginTest : public fvt::test::WindowTest {
protected:
    explicit SpeechPluginTest(const char* profile = kProfile,
                              const char* folder = "Program Files/Folivant")
        : WindowTest(profile), folder_(folder) {}

    void SetUp() override {
        WindowTest::SetUp();
        listener.window = Make(0, 0, 10, 10);
        Watch({tts::kCallbackMessage});
    }

    // Puts one build of the stand-in plug-in where the client looks for it.
    void Install(const char* built) {
        const auto folder = device_.Host(folder_);
        std::filesystem::create_directories(folder);
        std::filesystem::copy_file(built, folder + "/folvplugin_text_to_speech.so",
                                   std::filesystem::copy_options::overwrite_existing);
    }

    // The plug-in's own record of what it was asked (a second reference to the loaded module).
    template <class F>
    F Probe(const char16_t* name) {
        // A second reference to the client's module, let go at once: the client keeps it.
        HMODULE m = LoadLibraryW(u"folvplugin_text_to_speech");
        if (!m) return nullptr;
        F f = reinterpret_cast<F>(GetProcAddressW(m, name));
        FreeLibrary(m);
        return f;
    }
    std::u16string Spoken() {
        auto spoken = Probe<int32_t (*)(char16_t*, int32_t)>(u"tts_test_spoken");
        if (!spoken) return u"<none>";
        char16_t buffer[512];
        const int32_t n = spoken(buffer, 512);
        return std::u16string(buffer, static_cast<size_t>(n < 512 ? n : 512));
    }
    bool WaitIdle() {
        auto wait = Probe<int32_t (*)()>(u"tts_test_wait_idle");
        return wait && wait() == 1;
    }
    int Callbacks() {
        fvt::RunUntilIdle();
        return static_cast<int>(Log().size());
    }

    Listener listener;
    std::string folder_;
};

// A hung plug-in stays loaded for the rest of the run: it gets a program folder of its own, so
// that later tests do not find it under the usual path.
class HungSpeechPluginTest : public SpeechPluginTest {
protected:
    HungSpeechPluginTest()
        : SpeechPluginTest("clock = virtual\nprogram_folder = \\Program Files\\Hung\n",
                           "Program Files/Hung") {}
};

bool MessageShown() {
    for (const std::string& line : fvt::ShellLog())
        if (line.find("Vizazadoro Zevor") != std::string::npos) return true;
    return false;
}

TEST_F(SpeechPluginTest, NoLibraryMeansNotLoadedAndNoMessage) {
    const size_t before = fvt::LoadedPluginCount();
    SpeechPlugin plugin(&listener);
    EXPECT_FALSE(plugin.IsLoaded());
    EXPECT_FALSE(MessageShown());
    EXPECT_FALSE(plugin.Speak(String(u"Hello.")));  // not loaded: nothing is read
    EXPECT_FALSE(plugin.PollDone());
    EXPECT_TRUE(plugin.Stop());
    plugin.OnCallback();  // a late callback after the plug-in went
    EXPECT_EQ(listener.steps, 0);
    EXPECT_EQ(fvt::LoadedPluginCount(), before);
}

TEST_F(SpeechPluginTest, WithoutOpenSpeechItIsUnloadedSilently) {
    const size_t before = fvt::LoadedPluginCount();
    Install(FVT_TTS_PLUGIN_NO_OPEN);
    SpeechPlugin plugin(&listener);
    EXPECT_FALSE(plugin.IsLoaded());
    EXPECT_FALSE(MessageShown());
    EXPECT_EQ(fvt::LoadedPluginCount(), before);
}

TEST_F(SpeechPluginTest, AnIncompleteInterfaceShowsTheMessageThenUnloads) {
    const size_t before = fvt::LoadedPluginCount();
    Install(FVT_TTS_PLUGIN_NO_READ_MODE);
    // The box nobody sees is told on standard error as well.
    testing::internal::CaptureStderr();
    SpeechPlugin plugin(&listener);
    const std::string told = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(plugin.IsLoaded());
    EXPECT_TRUE(MessageShown());
    EXPECT_NE(told.find(": You're dead!: You are using a wrong version"), std::string::npos)
        << told;
    EXPECT_EQ(fvt::LoadedPluginCount(), before);
}

TEST_F(SpeechPluginTest, AFailedConnectionClosesThenUnloads) {
    const size_t before = fvt::LoadedPluginCount();
    Install(FVT_TTS_PLUGIN_COM_FAILS);
    {
        SpeechPlugin plugin(&listener);
        EXPECT_FALSE(plugin.IsLoaded());
    }
    EXPECT_EQ(fvt::LoadedPluginCount(), before);
    EXPECT_FALSE(MessageShown());
}

TEST_F(SpeechPluginTest, AFailedOpenStillClosesTheHandleItSet) {
    const size_t before = fvt::LoadedPluginCount();
    Install(FVT_TTS_PLUGIN_OPEN_FAILS);
    SpeechPlugin plugin(&listener);
    EXPECT_FALSE(plugin.IsLoaded());
    EXPECT_EQ(fvt::LoadedPluginCount(), before);
}

TEST_F(SpeechPluginTest, LoadedItIsIdleWithTheStopEventClear) {
    Install(FVT_TTS_PLUGIN);
    SpeechPlugin plugin(&listener);
    ASSERT_TRUE(plugin.IsLoaded());
    EXPECT_TRUE(plugin.PollDone());
    EXPECT_EQ(plugin.SentenceTarget(), -1);
    plugin.SetFirstParam(0x40C);
    plugin.SetReadMode(1);
    auto setting = Probe<int32_t (*)(int32_t)>(u"tts_test_setting");
    ASSERT_NE(setting, nullptr);
    EXPECT_EQ(setting(0), 0x40C);
    EXPECT_EQ(setting(1), 0);
    EXPECT_EQ(setting(-1), 1);
    auto user = Probe<void* (*)()>(u"tts_test_user");
    EXPECT_EQ(user(), static_cast<void*>(&plugin));
}

TEST_F(SpeechPluginTest, SpeakPassesTheCharactersAndPostsASentenceCallback) {
    Install(FVT_TTS_PLUGIN);
    SpeechPlugin plugin(&listener);
    ASSERT_TRUE(plugin.IsLoaded());
    ASSERT_TRUE(plugin.Speak(String(u"Une phrase. \u00c9t\u00e9 deux!")));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(Spoken(), u"Une phrase. \u00c9t\u00e9 deux!");
    EXPECT_TRUE(plugin.PollDone());
    EXPECT_EQ(Callbacks(), 2);
    EXPECT_EQ(Log()[0].hwnd, listener.window);
}

TEST_F(SpeechPluginTest, SpeakResetsTheCallbackCount) {
    Install(FVT_TTS_PLUGIN);
    SpeechPlugin plugin(&listener);
    ASSERT_TRUE(plugin.IsLoaded());
    plugin.OnCallback();
    plugin.OnCallback();
    EXPECT_EQ(plugin.CallbackCount(), 2u);
    ASSERT_TRUE(plugin.Speak(String(u"x")));
    EXPECT_EQ(plugin.CallbackCount(), 0u);
    WaitIdle();
}

TEST_F(SpeechPluginTest, TheTargetCallbackTurnsThePage) {
    Install(FVT_TTS_PLUGIN);
    SpeechPlugin plugin(&listener);
    ASSERT_TRUE(plugin.IsLoaded());
    plugin.SetSentenceTarget(1);
    plugin.OnCallback();
    EXPECT_EQ(listener.steps, 0);
    plugin.OnCallback();
    EXPECT_EQ(listener.steps, 1);
    plugin.OnCallback();
    EXPECT_EQ(listener.steps, 1);
}

TEST_F(SpeechPluginTest, ARefusedPageTurnStopsTheReading) {
    Install(FVT_TTS_PLUGIN);
    SpeechPlugin plugin(&listener);
    ASSERT_TRUE(plugin.IsLoaded());
    listener.nextPage = false;
    plugin.SetSentenceTarget(0);
    std::u16string longText;
    for (int i = 0; i < 200; ++i) longText += u"word ";
    ASSERT_TRUE(plugin.Speak(String(longText.c_str())));
    plugin.OnCallback();  // the target: the listener refuses, so the plug-in is stopped
    EXPECT_EQ(listener.steps, 1);
    EXPECT_TRUE(plugin.PollDone());
    EXPECT_FALSE(plugin.IsHung());
    // The next chunk must not find the stop still set.
    plugin.ClearStopEvent();
    ASSERT_TRUE(plugin.Speak(String(u"On.")));
    ASSERT_TRUE(WaitIdle());
    EXPECT_GE(Callbacks(), 1);
}

// The next chunk a reading asked for just before a stop reaches the program after it: it is
// not read while the stop stands, and a new reading (prepared by clearing the stop) is.
TEST_F(SpeechPluginTest, AChunkAskedForBeforeAStopIsNotReadAfterIt) {
    Install(FVT_TTS_PLUGIN);
    SpeechPlugin plugin(&listener);
    ASSERT_TRUE(plugin.IsLoaded());
    ASSERT_TRUE(plugin.Speak(String(u"First.")));
    ASSERT_TRUE(WaitIdle());
    EXPECT_TRUE(plugin.Stop());
    EXPECT_FALSE(plugin.Speak(String(u"Next chunk.")));
    EXPECT_EQ(Spoken(), u"First.");
    plugin.ClearStopEvent();
    ASSERT_TRUE(plugin.Speak(String(u"Again.")));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(Spoken(), u"First.\nAgain.");
}

TEST_F(HungSpeechPluginTest, IsNotUnloadedUnderItsThread) {
    Install(FVT_TTS_PLUGIN_NEVER_DONE);
    const size_t before = fvt::LoadedPluginCount();
    {
        SpeechPlugin plugin(&listener);
        ASSERT_TRUE(plugin.IsLoaded());
        ASSERT_TRUE(plugin.Speak(String(u"Never ending.")));
        EXPECT_FALSE(plugin.Stop());  // after the wait, the program goes on
        EXPECT_TRUE(plugin.IsHung());
    }
    // Kept loaded: its thread still runs in its code.
    EXPECT_EQ(fvt::LoadedPluginCount(), before + 1);
}

TEST_F(SpeechPluginTest, DestroyingAnIdlePluginUnloadsIt) {
    Install(FVT_TTS_PLUGIN);
    const size_t before = fvt::LoadedPluginCount();
    {
        SpeechPlugin plugin(&listener);
        ASSERT_TRUE(plugin.IsLoaded());
        EXPECT_EQ(fvt::LoadedPluginCount(), before + 1);
    }
    EXPECT_EQ(fvt::LoadedPluginCount(), before);
}

TEST_F(SpeechPluginTest, TheFactoryMakesAClientEvenWithoutAPlugin) {
    SpeechPluginFactory factory;
    std::unique_ptr<SpeechClient> client = factory.CreateSpeechClient(&listener);
    ASSERT_NE(client, nullptr);
    EXPECT_FALSE(client->IsLoaded());
    client->ReadingState().WriteWord32BE(1);
    EXPECT_EQ(client->ReadingState().Size(), 4u);
}

}  // namespace

// ---- The plug-in that ships with the program (espeak-ng) ---------------------------------------
#ifdef FVT_ESPEAK_PLUGIN
namespace {

class ShippedSpeechTest : public SpeechPluginTest {
protected:
    // A program folder of its own: no stand-in loaded earlier in the run answers for it.
    ShippedSpeechTest() : ShippedSpeechTest("null:fast") {}
    explicit ShippedSpeechTest(const std::string& audio)
        : SpeechPluginTest(("clock = virtual\naudio = " + audio +
                            "\nprogram_folder = \\Program Files\\Shipped\n")
                               .c_str(),
                           "Program Files/Shipped") {}
    void SetUp() override {
        SpeechPluginTest::SetUp();
        Watch({tts::kCallbackMessage, tts::kNextChunkMessage});
        Install(FVT_ESPEAK_PLUGIN);
    }
    // Waits (really, bounded, generously for slow sanitizer builds) until the plug-in is idle
    // again; the device plays without pacing.
    bool SpeakToTheEnd(SpeechPlugin& plugin) {
        for (int i = 0; i < 60000; ++i) {
            if (plugin.PollDone()) return true;
            if (paced_) fvt::AdvanceClock(20);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return false;
    }
    // A device that plays on the virtual clock: a reading lasts until the test moves the clock.
    bool paced_ = false;
    int Count(UINT message) {
        fvt::RunUntilIdle();
        int n = 0;
        for (const auto& m : Log()) n += m.message == message ? 1 : 0;
        return n;
    }
};

TEST_F(ShippedSpeechTest, ItSpeaksPostingACallbackPerSentenceAndAsksForMoreWhenReadingABook) {
    SpeechPlugin plugin(&listener);
    ASSERT_TRUE(plugin.IsLoaded());
    plugin.SetFirstParam(0x0C);  // French
    plugin.SetReadMode(0);
    ASSERT_TRUE(plugin.Speak(String(u"Une phrase. Puis une autre.")));
    ASSERT_TRUE(SpeakToTheEnd(plugin));
    EXPECT_EQ(Count(tts::kCallbackMessage), 2);
    EXPECT_EQ(Count(tts::kNextChunkMessage), 0);
    // Reading a book, a chunk read whole asks for the next.
    plugin.SetReadMode(tts::kReadBookMode);
    ASSERT_TRUE(plugin.Speak(String(u"One more.")));
    ASSERT_TRUE(SpeakToTheEnd(plugin));
    EXPECT_EQ(Count(tts::kNextChunkMessage), 1);
}

// Reading a book, the plug-in reports every gap between words (the gaps the program counts in a
// chunk) and the end: the program turns the page at the word where the page ends.
TEST_F(ShippedSpeechTest, ReadingABookItPostsACallbackPerGapBetweenWords) {
    SpeechPlugin plugin(&listener);
    ASSERT_TRUE(plugin.IsLoaded());
    plugin.SetReadMode(tts::kReadBookMode);
    ASSERT_TRUE(plugin.Speak(String(u"The lamp was old and patient.")));
    ASSERT_TRUE(SpeakToTheEnd(plugin));
    EXPECT_EQ(Count(tts::kCallbackMessage), 6);
    EXPECT_EQ(Count(tts::kNextChunkMessage), 1);
}

// The device plays on the virtual clock, so that the first reading is still under way when the
// second comes (played as fast as it can, it could end first and rightly ask for more).
class PacedShippedSpeechTest : public ShippedSpeechTest {
protected:
    PacedShippedSpeechTest() : ShippedSpeechTest("null") { paced_ = true; }
};

// A stop the reading had not yet seen, cleared by the program before its next reading: the new
// reading ends the old one, which then neither asks for more nor marks the new one done.
TEST_F(PacedShippedSpeechTest, ANewReadingEndsTheOneBeforeEvenWhenItsStopWasCleared) {
    SpeechPlugin plugin(&listener);
    ASSERT_TRUE(plugin.IsLoaded());
    plugin.SetReadMode(tts::kReadBookMode);
    std::u16string longText;
    for (int i = 0; i < 40; ++i) longText += u"A sentence of several words that takes its time. ";
    ASSERT_TRUE(plugin.Speak(String(longText.c_str())));
    // As after a stop that timed out: the program clears the stop before its next reading.
    plugin.ClearStopEvent();
    ASSERT_TRUE(plugin.Speak(String(u"The next reading.")));
    ASSERT_TRUE(SpeakToTheEnd(plugin));
    // Only the second reading, read whole, asks for the next chunk.
    EXPECT_EQ(Count(tts::kNextChunkMessage), 1);
}

TEST_F(PacedShippedSpeechTest, StopEndsTheSpeechWithoutAskingForMore) {
    SpeechPlugin plugin(&listener);
    ASSERT_TRUE(plugin.IsLoaded());
    plugin.SetReadMode(tts::kReadBookMode);
    ASSERT_TRUE(plugin.Speak(String(u"A long sentence that goes on and on, word after word, "
                                    u"for a good many seconds of speech.")));
    fvt::AdvanceClock(100);
    plugin.Stop();
    // A stopped reading does not ask for the next chunk.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(Count(tts::kNextChunkMessage), 0);
}

TEST(SpeechVoices, ABooksLanguageChoosesItsVoiceAndOthersReadInEnglish) {
    EXPECT_STREQ(tts::VoiceForLanguage(0x409), "en");
    EXPECT_STREQ(tts::VoiceForLanguage(0x0C), "fr");
    EXPECT_STREQ(tts::VoiceForLanguage(0x40C), "fr");
    EXPECT_STREQ(tts::VoiceForLanguage(0x07), "de");
    EXPECT_STREQ(tts::VoiceForLanguage(0), "en");
    EXPECT_STREQ(tts::VoiceForLanguage(0x3FF), "en");
}

}  // namespace
#endif

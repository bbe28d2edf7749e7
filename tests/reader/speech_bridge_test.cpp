// Speech through the shell's kind of client: the controller's reading reaches the client, the
// client's page turns reach the controller, and without a loaded plug-in nothing is spoken.
#include "reader/speech_bridge.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "core/string.h"
#include "controller_fixture.h"

namespace {

struct Client : SpeechClient {
    bool loaded = true;
    std::vector<std::u16string> spoken;
    int32_t readMode = -1;
    int32_t target = -2;
    int stops = 0, callbacks = 0;
    bool done = true;
    ByteStream state;
    bool IsLoaded() const override { return loaded; }
    bool Stop() override {
        ++stops;
        done = true;
        return true;
    }
    void ClearStopEvent() override {}
    void SetFirstParam(int32_t) override {}
    void SetReadMode(int32_t m) override { readMode = m; }
    bool Speak(const String& text) override {
        spoken.push_back(fvt::test::U(text));
        done = false;
        return true;
    }
    bool PollDone() override { return done; }
    void OnCallback() override { ++callbacks; }
    void SetSentenceTarget(int32_t t) override { target = t; }
    ByteStream& ReadingState() override { return state; }
};

struct Clients : SpeechClientFactory {
    bool loads = true;
    Client* last = nullptr;
    SpeechListener* listener = nullptr;
    std::unique_ptr<SpeechClient> CreateSpeechClient(SpeechListener* l) override {
        listener = l;
        auto client = std::make_unique<Client>();
        last = client.get();
        last->loaded = loads;
        return client;
    }
};

struct SpeechBridgeTest : fvt::test::ControllerFixture {
    SpeechBridgeTest() { controller->Speech().SetClients(&clients); }
    ~SpeechBridgeTest() override { controller.reset(); }
    Clients clients;
};

TEST_F(SpeechBridgeTest, ReadingThePageSpeaksItsFirstWordsThroughTheClient) {
    ASSERT_TRUE(Open(u"\\books\\a.prc"));
    ASSERT_TRUE(controller->Speech().SpeakText(false, static_cast<uint32_t>(controller->GetPageStart())));
    ASSERT_NE(clients.last, nullptr);
    EXPECT_EQ(clients.last->readMode, 1);
    ASSERT_EQ(clients.last->spoken.size(), 1u);
    EXPECT_EQ(clients.last->spoken[0].rfind(u"Paragraph 0", 0), 0u);
    EXPECT_TRUE(controller->Speech().IsSpeaking());
    controller->Speech().Pause();
    EXPECT_EQ(clients.last->callbacks, 1);
    controller->Speech().Stop();
    EXPECT_FALSE(controller->Speech().IsSpeaking());
    EXPECT_GE(clients.last->stops, 1);
}

TEST_F(SpeechBridgeTest, TheClientsPageTurnStepsTheControllersPage) {
    ASSERT_TRUE(Open(u"\\books\\a.prc"));
    ASSERT_TRUE(controller->Speech().Start(String(u"Hello")));
    ASSERT_NE(clients.listener, nullptr);
    int32_t start = controller->GetPageStart();
    EXPECT_TRUE(clients.listener->StepPageForSpeech());
    EXPECT_GT(controller->GetPageStart(), start);
    EXPECT_EQ(clients.listener->SpeechWindow(), nullptr);  // no window in this test
}

TEST_F(SpeechBridgeTest, WithoutALoadedPluginSpeechFailsQuietly) {
    clients.loads = false;
    ASSERT_TRUE(Open(u"\\books\\a.prc"));
    EXPECT_FALSE(controller->Speech().Start(String(u"Hello")));
    EXPECT_FALSE(controller->Speech().SpeakText(false, 0));
    EXPECT_FALSE(controller->Speech().IsSpeaking());
    controller->Speech().Stop();
    controller->Speech().Pause();
}

TEST_F(SpeechBridgeTest, ControllersFromTheFactorySpeakThroughItsClients) {
    BookDocumentControllerFactory books;
    Clients others;
    books.SetSpeechClients(&others);
    std::unique_ptr<BookDocumentController> made(
        static_cast<BookDocumentController*>(books.CreateDocumentController(nullptr)));
    ASSERT_TRUE(made);
    EXPECT_TRUE(made->Speech().Start(String(u"Hello")));
    ASSERT_NE(others.last, nullptr);
    EXPECT_EQ(others.last->spoken, std::vector<std::u16string>{u"Hello"});
}

}  // namespace

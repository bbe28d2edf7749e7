// Reading aloud: chunks end at a sentence's end, at a block or BR, or once past 128
// characters; FVT:TTS speaks its PHON text for its content; the page-turn target is set when
// the text passes the end of the page pair. The controller drives the speech client through
// them and goes on where the last chunk ended.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/byte_stream.h"
#include "reader/book_document_controller.h"
#include "reader/speech_chunker.h"
#include "controller_fixture.h"
#include "support/document/markup_page.h"

namespace {

using fvt::test::U;

std::vector<std::u16string> Chunks(const std::u16string& body, uint32_t pageEnd = UINT32_MAX,
                                   std::vector<int32_t>* targets = nullptr) {
    MarkupPage page(body);
    std::vector<std::u16string> out;
    SpeechChunk chunk;
    for (int guard = 0; guard < 100 && CollectSpeechChunk(page.tokens, pageEnd, chunk); ++guard) {
        out.push_back(U(chunk.text));
        if (targets) targets->push_back(chunk.sentenceTarget);
    }
    return out;
}

TEST(SpeechChunks, ASentenceEndsItsChunk) {
    EXPECT_EQ(Chunks(u"One short sentence. And a question? Yes!"),
              (std::vector<std::u16string>{u"One short sentence.", u"And a question?", u"Yes!"}));
}

TEST(SpeechChunks, ABlockOrBreakEndsACollectedChunk) {
    EXPECT_EQ(Chunks(u"<p>First line<br>second line</p><p>next block</p>"),
              (std::vector<std::u16string>{u"First line", u"second line", u"next block"}));
}

TEST(SpeechChunks, ALongTextEndsAfterTheTokenPast128Characters) {
    std::u16string words;
    for (int i = 0; i < 60; ++i) words += u"word ";
    std::vector<std::u16string> chunks = Chunks(words);
    ASSERT_GE(chunks.size(), 2u);
    // 129 or more with the word that passed the limit, but never a word more.
    EXPECT_GT(chunks[0].size(), 128u);
    EXPECT_LE(chunks[0].size(), 128u + 5u);
    EXPECT_EQ(chunks[0].substr(chunks[0].size() - 4), u"word");
}

TEST(SpeechChunks, TheSpeechTagSaysItsPhoneticText) {
    EXPECT_EQ(Chunks(u"Read <fvt:tts phon=\"tomahto\">tomato</fvt:tts> aloud."),
              (std::vector<std::u16string>{u"Read tomahto aloud."}));
}

TEST(SpeechChunks, TheTargetIsTheGapCountWhereThePagePairEnds) {
    // "alpha beta gamma.": gaps after alpha (1) and beta (2); gamma starts at 23 in the page.
    std::vector<int32_t> targets;
    std::vector<std::u16string> chunks = Chunks(u"alpha beta gamma.", 20, &targets);
    ASSERT_EQ(chunks.size(), 1u);
    EXPECT_EQ(targets[0], 2);
    targets.clear();
    Chunks(u"alpha beta gamma.", UINT32_MAX, &targets);
    EXPECT_EQ(targets[0], -1);
}

TEST(SpeechChunks, NoTextGivesNoChunk) {
    EXPECT_TRUE(Chunks(u"<p></p><br>").empty());
}

class FakeSpeech : public SpeechOutput {
public:
    explicit FakeSpeech(std::vector<std::u16string>& spoken) : spoken_(spoken) {}
    bool IsLoaded() const override { return loaded; }
    void Stop() override { ++stops; }
    void ClearStopEvent() override {}
    void SetFirstParam(uint32_t value) override { language = value; }
    void SetReadMode(uint32_t mode) override { readMode = mode; }
    bool Speak(const String& text) override {
        spoken_.push_back(U(text));
        return true;
    }
    bool PollDone() override { return true; }
    void OnCallback() override {}
    void SetCallbackTarget(int32_t count) override { target = count; }
    ByteStream& ReadingState() override { return state; }

    bool loaded = true;
    int stops = 0;
    uint32_t language = 0, readMode = 9;
    int32_t target = -1;
    ByteStream state;

private:
    std::vector<std::u16string>& spoken_;
};

class FakeSpeechFactory : public SpeechOutputFactory {
public:
    std::unique_ptr<SpeechOutput> CreateSpeechOutput() override {
        ++made;
        auto s = std::make_unique<FakeSpeech>(spoken);
        s->loaded = loads;
        last = s.get();
        return s;
    }
    std::vector<std::u16string> spoken;
    FakeSpeech* last = nullptr;
    int made = 0;
    bool loads = true;
};

struct SpeakingTest : fvt::test::ControllerFixture {
    SpeakingTest() { controller->Speech().SetFactory(&speech); }
    ~SpeakingTest() override { controller.reset(); }  // its client reports to the factory

    FakeSpeechFactory speech;
};

TEST_F(SpeakingTest, TheBookIsReadOnFromWhereTheLastChunkEnded) {
    ASSERT_TRUE(controller->ActivateLink(String(u"\\books\\a.prc")));
    uint32_t start = static_cast<uint32_t>(controller->GetPageStart());
    ASSERT_TRUE(controller->Speech().SpeakText(false, start));
    ASSERT_TRUE(controller->Speech().SpeakText(true, 0));
    ASSERT_EQ(speech.spoken.size(), 2u);
    EXPECT_EQ(speech.spoken[0].substr(0, 11), u"Paragraph 0");
    EXPECT_NE(speech.spoken[0], speech.spoken[1]);
    EXPECT_EQ(speech.made, 1);
    EXPECT_EQ(speech.last->readMode, 1u);
    // Reading did not move the page.
    EXPECT_EQ(static_cast<uint32_t>(controller->GetPageStart()), start);
}

TEST_F(SpeakingTest, AGivenTextIsSpokenWhole) {
    ASSERT_TRUE(controller->ActivateLink(String(u"\\books\\a.prc")));
    controller->Speech().SetLanguage(0x40C);
    ASSERT_TRUE(controller->Speech().Start(String(u"Bonjour. Au revoir.")));
    ASSERT_EQ(speech.spoken.size(), 1u);
    EXPECT_EQ(speech.spoken[0], u"Bonjour. Au revoir.");
    EXPECT_EQ(speech.last->readMode, 0u);
    EXPECT_EQ(speech.last->language, 0x40Cu);
}

// A text longer than a piece goes to the plug-in a sentence-ended piece at a time, each when
// the plug-in asks for more; a stop drops the rest, and reading on then reads the book.
TEST_F(SpeakingTest, ALongGivenTextIsSpokenPieceByPieceUntilStopped) {
    ASSERT_TRUE(controller->ActivateLink(String(u"\\books\\a.prc")));
    std::u16string text;
    for (int i = 0; i < 60; ++i) text += u"A sentence of some words. ";
    ASSERT_TRUE(controller->Speech().Start(String(text.c_str())));
    ASSERT_EQ(speech.spoken.size(), 1u);
    EXPECT_LE(speech.spoken[0].size(), static_cast<size_t>(BookSpeech::kMaxPiece));
    EXPECT_EQ(speech.spoken[0].substr(speech.spoken[0].size() - 2), u". ");
    EXPECT_EQ(speech.last->readMode, 1u);
    std::u16string joined = speech.spoken[0];
    while (speech.spoken.size() < 10 && controller->Speech().SpeakText(true, 0))
        joined += speech.spoken.back();
    EXPECT_EQ(joined, text) << "the pieces do not make up the text";
    ASSERT_TRUE(controller->Speech().Start(String(text.c_str())));
    const size_t given = speech.spoken.size();
    controller->Speech().Stop();
    controller->Speech().SpeakText(true, 0);
    for (size_t i = given; i < speech.spoken.size(); ++i)
        EXPECT_NE(speech.spoken[i].substr(0, 10), u"A sentence") << "the text went on after Stop";
}

TEST_F(SpeakingTest, APlugInThatDoesNotLoadSpeaksNothing) {
    speech.loads = false;
    ASSERT_TRUE(controller->ActivateLink(String(u"\\books\\a.prc")));
    EXPECT_FALSE(controller->Speech().SpeakText(false, 0));
    EXPECT_FALSE(controller->Speech().SpeakText(true, 0));
    EXPECT_FALSE(controller->Speech().Start(String(u"x")));
    EXPECT_TRUE(speech.spoken.empty());
    EXPECT_FALSE(controller->Speech().IsSpeaking());
}

TEST_F(SpeakingTest, ClosingTheBookEndsTheSpeech) {
    ASSERT_TRUE(controller->ActivateLink(String(u"\\books\\a.prc")));
    ASSERT_TRUE(controller->Speech().SpeakText(false, 0));
    controller->CloseDocument();
    // A new client for the next speech: the old one went with the book.
    ASSERT_TRUE(controller->ActivateLink(String(u"\\books\\b.prc")));
    ASSERT_TRUE(controller->Speech().SpeakText(false, 0));
    EXPECT_EQ(speech.made, 2);
}

}  // namespace

#include "reader/speech_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/byte_stream.h"
#include "document/markup/keyword_tree.h"
#include "document/markup/token_source.h"

namespace {

std::string Narrow(const String& s) {
    std::string out;
    for (int32_t i = 0; i < s.Length(); ++i) out += static_cast<char>(s.At(i));
    return out;
}

struct Token {
    uint32_t kind = kTokenEnd;
    std::u16string text;
    uint32_t tag = 0;
    bool isEnd = false;
    bool isEmpty = false;
    std::u16string phon;
};

Token Plain(uint32_t kind, std::u16string text) {
    Token t;
    t.kind = kind;
    t.text = std::move(text);
    return t;
}

// Tokens one text position apart; the saved state is the index of the next token.
class ScriptedTokens : public TokenSource {
public:
    std::vector<Token> tokens;
    size_t next = 0;
    int starts = 0;

    void Words(const std::u16string& text) {
        std::u16string word;
        for (char16_t c : text) {
            if (c == u' ') {
                if (!word.empty()) tokens.push_back(Plain(kTokenText, word));
                word.clear();
                tokens.push_back(Plain(kTokenSpace, u" "));
            } else {
                word += c;
            }
        }
        if (!word.empty()) tokens.push_back(Plain(kTokenText, word));
    }
    void Tag(uint32_t id, bool end = false, std::u16string phon = {}) {
        Token t = Plain(kTokenTag, u"");
        t.tag = id;
        t.isEnd = end;
        t.phon = std::move(phon);
        tokens.push_back(std::move(t));
    }

    bool GetPosition(uint32_t& position) override {
        position = static_cast<uint32_t>(next == 0 ? 0 : next - 1);
        return true;
    }
    uint32_t GetTag(bool& isEnd, bool& isEmpty) override {
        const Token& t = tokens[next - 1];
        isEnd = t.isEnd;
        isEmpty = t.isEmpty;
        return t.tag;
    }
    uint32_t AttributeCount() override { return 0; }
    const AttributeItem* Attribute(uint32_t) override { return nullptr; }
    bool GetAttributeText(uint32_t id, String& out) override {
        const Token& t = tokens[next - 1];
        if (id != SpeechReader::kPhonAttribute || t.phon.empty()) return false;
        out = String(t.phon.data(), static_cast<int32_t>(t.phon.size()));
        return true;
    }
    bool Start(uint32_t position, bool) override {
        ++starts;
        if (position > tokens.size()) return false;
        next = position;
        return true;
    }
    void SetPosition(uint32_t position) override { next = position; }
    bool Attach(DocumentSource*, uint32_t) override { return true; }
    void ReleaseBuffers() override {}
    uint32_t NextToken() override {
        if (next >= tokens.size()) return kTokenEnd;
        return tokens[next++].kind;
    }
    uint32_t LastTokenKind() override { return next ? tokens[next - 1].kind : kTokenEnd; }
    const String& Text() override {
        text_ = String(tokens[next - 1].text.data(), static_cast<int32_t>(tokens[next - 1].text.size()));
        return text_;
    }
    uint32_t SkipElement() override {
        const uint32_t id = tokens[next - 1].tag;
        while (next < tokens.size()) {
            const Token& t = tokens[next++];
            if (t.kind == kTokenTag && t.tag == id && t.isEnd) break;
        }
        return id;
    }
    DocumentSource* Source() override { return nullptr; }
    uint32_t SourceMode() override { return 0; }
    bool SaveState(ByteStream& s) override { return s.WriteWord32BE(static_cast<uint32_t>(next)); }
    bool RestoreState(ByteStream& s) override {
        uint32_t v = 0;
        if (!s.ReadWord32BE(v) || v > tokens.size()) return false;
        next = v;
        return true;
    }

private:
    String text_;
};

struct Client : SpeechClient {
    bool loaded = true;
    std::vector<std::string> spoken;
    std::vector<int32_t> targets;
    int32_t firstParam = -1, readMode = -1;
    int stops = 0, clears = 0, callbacks = 0;
    bool done = false;
    ByteStream state;
    bool* destroyed = nullptr;
    ~Client() override {
        if (destroyed) *destroyed = true;
    }
    bool IsLoaded() const override { return loaded; }
    bool Stop() override {
        ++stops;
        done = true;
        return true;
    }
    void ClearStopEvent() override { ++clears; }
    void SetFirstParam(int32_t v) override { firstParam = v; }
    void SetReadMode(int32_t m) override { readMode = m; }
    bool Speak(const String& text) override {
        spoken.push_back(Narrow(text));
        done = false;
        return true;
    }
    bool PollDone() override { return done; }
    void OnCallback() override { ++callbacks; }
    void SetSentenceTarget(int32_t t) override { targets.push_back(t); }
    ByteStream& ReadingState() override { return state; }
};

struct Factory : SpeechClientFactory {
    bool loads = true;
    int made = 0;
    Client* last = nullptr;
    SpeechClient* CreateSpeechClient(SpeechListener*) override {
        ++made;
        last = new Client;
        last->loaded = loads;
        return last;
    }
};

struct Host : SpeechHost {
    ScriptedTokens tokens;
    bool hasTokens = true;
    uint32_t pagesEnd = 1000;
    HWND SpeechWindow() override { return nullptr; }
    bool StepPageForSpeech() override { return true; }
    uint32_t BookLanguage() override { return 0x1040C; }
    TokenSource* SpeechTokens() override { return hasTokens ? &tokens : nullptr; }
    bool ShownPagesEnd(uint32_t& position) override {
        position = pagesEnd;
        return true;
    }
};

class SpeechReaderTest : public ::testing::Test {
protected:
    Factory factory;
    Host host;
    SpeechReader reader{&factory, &host};
};

TEST_F(SpeechReaderTest, ANotLoadedPluginMakesSpeechDoNothing) {
    factory.loads = false;
    EXPECT_FALSE(reader.StartSpeech(String(u"Hello.")));
    EXPECT_EQ(reader.Client(), nullptr);  // dropped again
    EXPECT_FALSE(reader.SpeakText(false, 0));
    EXPECT_FALSE(reader.IsSpeaking());
    reader.PauseSpeech();
    reader.StopSpeech();
}

TEST_F(SpeechReaderTest, AScriptTextIsSpokenWithTheBooksLanguage) {
    ASSERT_TRUE(reader.StartSpeech(String(u"Bonjour.")));
    ASSERT_NE(factory.last, nullptr);
    EXPECT_EQ(factory.last->spoken, (std::vector<std::string>{"Bonjour."}));
    EXPECT_EQ(factory.last->firstParam, 0x040C);
    EXPECT_EQ(factory.last->readMode, 0);
    EXPECT_EQ(factory.last->targets, (std::vector<int32_t>{-1}));
    EXPECT_EQ(factory.last->clears, 1);
    EXPECT_TRUE(reader.IsSpeaking());
    reader.SetLanguage(0x809);
    ASSERT_TRUE(reader.StartSpeech(String(u"Hello.")));
    EXPECT_EQ(factory.made, 1);  // made once
    EXPECT_EQ(factory.last->stops, 1);  // the running reading stopped first
    EXPECT_EQ(factory.last->firstParam, 0x809);
}

TEST_F(SpeechReaderTest, OneShortSentenceIsOneChunk) {
    host.tokens.Words(u"A short one. And more.");
    ASSERT_TRUE(reader.SpeakText(false, 0));
    EXPECT_EQ(factory.last->spoken, (std::vector<std::string>{"A short one."}));
    EXPECT_EQ(factory.last->readMode, 1);
    // The next chunk continues where this one ended; the layout's source is back at 0.
    EXPECT_EQ(host.tokens.next, 0u);
    ASSERT_TRUE(reader.SpeakText(true, 0));
    EXPECT_EQ(factory.last->spoken.back(), "And more.");  // no leading gap
}

TEST_F(SpeechReaderTest, AChunkStopsAtTheTokenThatPassesTheLimit) {
    std::u16string words;
    for (int i = 0; i < 60; ++i) words += u"abc ";
    host.tokens.Words(words);
    ASSERT_TRUE(reader.SpeakText(false, 0));
    const std::string& chunk = factory.last->spoken[0];
    EXPECT_GT(chunk.size(), 128u);
    EXPECT_LE(chunk.size(), 132u);
}

TEST_F(SpeechReaderTest, BlocksEndAChunkAndPronunciationsReplaceTheirContent) {
    host.tokens.Words(u"Title");
    host.tokens.Tag(kTagP);  // a block element
    host.tokens.Words(u"Next");
    ASSERT_TRUE(reader.SpeakText(false, 0));
    EXPECT_EQ(factory.last->spoken.back(), "Title");

    Host other;
    other.tokens.Words(u"Say ");
    other.tokens.Tag(SpeechReader::kTtsElement, false, u"tomahto");
    other.tokens.Words(u"tomato");
    other.tokens.Tag(SpeechReader::kTtsElement, true);
    other.tokens.Words(u" now.");
    Factory f;
    SpeechReader r(&f, &other);
    ASSERT_TRUE(r.SpeakText(false, 0));
    EXPECT_EQ(f.last->spoken.back(), "Say tomahto now.");
}

TEST_F(SpeechReaderTest, PastTheShownPagesTheTargetIsTheGapCount) {
    host.tokens.Words(u"one two three four");
    host.pagesEnd = 4;  // the token "three" lies at position 4
    ASSERT_TRUE(reader.SpeakText(false, 0));
    EXPECT_EQ(factory.last->targets, (std::vector<int32_t>{2}));
}

TEST_F(SpeechReaderTest, WithoutTokensOrStateTheReadingStops) {
    host.hasTokens = false;
    EXPECT_FALSE(reader.SpeakText(false, 0));
    ASSERT_NE(factory.last, nullptr);
    EXPECT_EQ(factory.last->stops, 1);
    host.hasTokens = true;
    factory.last->state.Clear();
    EXPECT_FALSE(reader.SpeakText(true, 0));  // nothing saved to continue from
}

TEST_F(SpeechReaderTest, CallbacksReachOnlyALoadedClient) {
    reader.PauseSpeech();  // none yet
    ASSERT_TRUE(reader.StartSpeech(String(u"x")));
    reader.PauseSpeech();
    EXPECT_EQ(factory.last->callbacks, 1);
    bool gone = false;
    factory.last->destroyed = &gone;
    reader.DestroySpeech();
    EXPECT_TRUE(gone);
    reader.PauseSpeech();  // a callback still queued after the client went
    EXPECT_FALSE(reader.IsSpeaking());
}

}  // namespace

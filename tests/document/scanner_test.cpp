#include "document/markup/scanner.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Cut {
    std::u16string text;
    int32_t token;
};

// Cuts a whole text with one table set, the way a character stream does, following mode
// switches and stepping over a character when no token is recognised.
std::vector<Cut> CutAll(const ScannerTableSet* set, const std::u16string& s, uint32_t limit) {
    Scanner sc;
    sc.LoadTables(set);
    std::vector<Cut> out;
    uint32_t i = 0;
    while (i < s.size()) {
        sc.state = 0;
        uint32_t start = i;
        uint32_t lim = limit;
        sc.Run(s.data(), &i, static_cast<uint32_t>(s.size()), &lim);
        int32_t t = sc.Token();
        if (i == start) ++i;
        out.push_back({s.substr(start, i - start), t});
        if (const ScannerToken* info = sc.TokenInfo(t); info && (info->kind & kTokenSwitchesMode))
            sc.SetState(info->mode >> 8);
    }
    return out;
}

TEST(ScannerPlainText, BreaksAndSpaces) {
    auto cuts = CutAll(PlainTextTableSet(), u"ab  c\r\nd\n\re\r\r\nf \tg", 30);
    std::vector<std::u16string> texts;
    std::vector<int32_t> tokens;
    for (auto& c : cuts) {
        texts.push_back(c.text);
        tokens.push_back(c.token);
    }
    std::vector<std::u16string> wantTexts = {u"ab", u"  ", u"c", u"\r\n", u"d", u"\n\r", u"e",
                                             u"\r", u"\r\n", u"f", u" \t", u"g"};
    std::vector<int32_t> wantTokens = {0, 1, 0, 3, 0, 3, 0, 3, 3, 0, 2, 0};
    EXPECT_EQ(texts, wantTexts);
    EXPECT_EQ(tokens, wantTokens);
}

TEST(ScannerPlainText, ControlCharacterGivesNoTokenAndIsNotTaken) {
    Scanner sc;
    sc.LoadTables(PlainTextTableSet());
    std::u16string s = u"\x01x";
    uint32_t i = 0, lim = 30;
    EXPECT_TRUE(sc.Run(s.data(), &i, 2, &lim));
    EXPECT_EQ(sc.Token(), -1);
    EXPECT_EQ(i, 0u);
}

TEST(ScannerRun, StateCarriesAcrossCallsAndLimitStops) {
    Scanner sc;
    sc.LoadTables(PlainTextTableSet());
    std::u16string a = u"abc", b = u"de f";
    uint32_t i = 0, lim = 100;
    EXPECT_FALSE(sc.Run(a.data(), &i, 3, &lim));  // ran out inside a word
    EXPECT_EQ(i, 3u);
    i = 0;
    EXPECT_TRUE(sc.Run(b.data(), &i, 4, &lim));
    EXPECT_EQ(i, 2u);
    EXPECT_EQ(sc.Token(), 0);
    sc.state = 0;
    i = 0;
    lim = 2;
    EXPECT_TRUE(sc.Run(a.data(), &i, 3, &lim));  // the limit counts as a stop
    EXPECT_EQ(i, 2u);
    EXPECT_EQ(sc.Token(), 0);
}

// Every state of every markup mode either takes the character or stops on it, for every
// character class: a mode that did neither would make the lexer loop.
TEST(ScannerMarkup, EveryStateTakesOrStopsOnEveryCharacter) {
    const ScannerTableSet* set = MarkupTableSet();
    for (uint32_t m = 0; m < set->modeCount; ++m) {
        const ScannerMode& mode = set->modes[m];
        uint32_t rows = 0;
        while (true) {
            bool anyTarget = false;
            for (uint32_t r = 0; r <= rows; ++r)
                for (uint32_t c = 0; c + 1 < mode.classCount; ++c)
                    if (mode.next[r * mode.classCount + c] > static_cast<int>(rows)) {
                        rows = mode.next[r * mode.classCount + c];
                        anyTarget = true;
                    }
            if (!anyTarget) break;
        }
        for (uint32_t ch = 0; ch < 129; ++ch) EXPECT_LT(mode.classes[ch], mode.classCount - 1);
        for (uint32_t r = 0; r <= rows; ++r) {
            int stop = mode.next[r * mode.classCount + mode.classCount - 1];
            EXPECT_TRUE(stop == -1 || (stop >= 0 && stop < set->tokenCount)) << m << "/" << r;
        }
    }
}

TEST(ScannerMarkup, TextModeCuts) {
    auto cuts = CutAll(MarkupTableSet(), u"ab &amp; &#x41;x &", 30);
    std::vector<std::u16string> texts;
    for (auto& c : cuts) texts.push_back(c.text);
    std::vector<std::u16string> want = {u"ab", u" ", u"&amp;", u" ", u"&#x41;", u"x", u" ", u"&"};
    EXPECT_EQ(texts, want);
    EXPECT_EQ(cuts[2].token, 10);
    EXPECT_EQ(cuts[7].token, 10);
}

TEST(ScannerMarkup, TagsAndAttributes) {
    auto cuts = CutAll(MarkupTableSet(), u"<a href=\"x y\" b=c/>t</p>", 30);
    std::vector<int32_t> tokens;
    for (auto& c : cuts) tokens.push_back(c.token);
    // StartTagOpen, Name, white, Name, Equals, Quoted, white, Name, Equals, Unquoted "c/", then
    // '>' closes; t; EndTagOpen; Name; TagClose
    std::vector<int32_t> want = {8, 19, 14, 19, 15, 12, 14, 19, 15, 18, 17, 11, 7, 19, 17};
    EXPECT_EQ(tokens, want);
    EXPECT_EQ(cuts[9].text, u"c/");
}

TEST(ScannerMarkup, CommentsCDataAndDeclarations) {
    auto cuts = CutAll(MarkupTableSet(), u"<!-- a -- b --><![CDATA[<x>]]><!doctype html>", 30);
    std::vector<int32_t> tokens;
    for (auto& c : cuts) tokens.push_back(c.token);
    std::vector<int32_t> want = {6, 1, 4, 2, 5, 19, 14, 19, 17};
    EXPECT_EQ(tokens, want);
    EXPECT_EQ(cuts[3].text, u"<x>]]>");
}

}  // namespace

#include "document/markup/plain_text_token_source.h"

#include <gtest/gtest.h>

#include "core/byte_stream.h"
#include "support/document/memory_document.h"
#include "token_dump.h"

namespace {

std::string Plain(const std::u16string& text, uint32_t start = 0, uint32_t pageSize = 4096) {
    MemoryDocument doc(text, pageSize, 1);
    PlainTextTokenSource p;
    p.Attach(&doc, 0);
    p.Start(start, false);
    return DumpTokens(p);
}

TEST(PlainTextTokens, EmptyText) { EXPECT_EQ(Plain(u""), "<HTML><BODY></BODY></HTML>$"); }

TEST(PlainTextTokens, SpacesAreKept) {
    EXPECT_EQ(Plain(u"a  b"), "<HTML><BODY>'a'' '_'b'</BODY></HTML>$");
    EXPECT_EQ(Plain(u"a b"), "<HTML><BODY>'a'_'b'</BODY></HTML>$");
}

TEST(PlainTextTokens, TabsRunToColumnsOfEight) {
    EXPECT_EQ(Plain(u"\tx"), "<HTML><BODY>'       '_'x'</BODY></HTML>$");
    EXPECT_EQ(Plain(u"ab\tc"), "<HTML><BODY>'ab''     '_'c'</BODY></HTML>$");
    // Left to right: space to column 1, TAB to 8, space to 9.
    EXPECT_EQ(Plain(u" \t x"), "<HTML><BODY>'        '_'x'</BODY></HTML>$");
    // After a line break the columns start again.
    EXPECT_EQ(Plain(u"abc\n\tx"), "<HTML><BODY>'abc'<BR/>'       '_'x'</BODY></HTML>$");
}

TEST(PlainTextTokens, LineBreaks) {
    EXPECT_EQ(Plain(u"a\r\nb"), "<HTML><BODY>'a'<BR/>'b'</BODY></HTML>$");
    EXPECT_EQ(Plain(u"a\n\rb"), "<HTML><BODY>'a'<BR/>'b'</BODY></HTML>$");
    EXPECT_EQ(Plain(u"a\r\r\nb"), "<HTML><BODY>'a'<BR/><BR/>'b'</BODY></HTML>$");
}

TEST(PlainTextTokens, LongWordsAndControlCharacters) {
    std::u16string w(70, u'q');
    EXPECT_EQ(Plain(w), "<HTML><BODY>'" + std::string(30, 'q') + "''" + std::string(30, 'q') +
                            "''" + std::string(10, 'q') + "'</BODY></HTML>$");
    EXPECT_EQ(Plain(u"a\x01\x02z b"), "<HTML><BODY>'a''z'_'b'</BODY></HTML>$");
}

TEST(PlainTextTokens, StartingInsideSkipsSyntheticTags) {
    EXPECT_EQ(Plain(u"one two", 4), "'two'</BODY></HTML>$");
}

TEST(PlainTextTokens, ResyncSkipsThePartOfAWord) {
    MemoryDocument doc(u"alpha beta", 4096, 1);
    PlainTextTokenSource p;
    p.Attach(&doc, 0);
    p.Start(2, true);
    EXPECT_EQ(DumpTokens(p), "_'beta'</BODY></HTML>$");
    p.Start(6, true);  // a word start is kept
    EXPECT_EQ(DumpTokens(p), "'beta'</BODY></HTML>$");
}

TEST(PlainTextState, SaveAndRestore) {
    MemoryDocument doc(u"ab   cd\tef", 4, 1);
    PlainTextTokenSource a;
    a.Attach(&doc, 0);
    a.Start(0, false);
    for (int i = 0; i < 4; ++i) a.NextToken();  // HTML BODY 'ab' '  '
    EXPECT_EQ(a.State(), 7u);
    ByteStream s;
    ASSERT_TRUE(a.SaveState(s));
    EXPECT_EQ(s.Size(), 12u);
    std::string rest = DumpTokens(a);
    PlainTextTokenSource b;
    b.Attach(&doc, 0);
    ASSERT_TRUE(b.RestoreState(s));
    EXPECT_EQ(DumpTokens(b), rest);
    EXPECT_EQ(rest, "_'cd'_'ef'</BODY></HTML>$");  // the TAB at column 7 is one space
}

TEST(PlainTextState, BadStatesAreRefused) {
    MemoryDocument doc(u"x", 4096, 1);
    PlainTextTokenSource p;
    p.Attach(&doc, 0);
    ByteStream s;
    s.WriteWord32BE(0);
    s.WriteWord32BE(10);
    s.WriteWord32BE(0);
    EXPECT_FALSE(p.RestoreState(s));
    ByteStream shortState;
    shortState.WriteWord32BE(0);
    EXPECT_FALSE(p.RestoreState(shortState));
}

}  // namespace

namespace {

TEST(PlainTextBuffers, RestartAtZeroGivesThePagesBack) {
    std::u16string text;
    for (int i = 0; i < 100; ++i) text += u"some words ";
    MemoryDocument doc(text, 64, 1);
    PlainTextTokenSource p;
    p.Attach(&doc, 0);
    p.Start(0, false);
    std::string first = DumpTokens(p);
    EXPECT_GT(doc.LivePages(), 0u);
    p.Start(0, true);
    EXPECT_EQ(doc.LivePages(), 0u);
    EXPECT_EQ(DumpTokens(p), first);
    EXPECT_EQ(doc.badReleases, 0u);
}

}  // namespace

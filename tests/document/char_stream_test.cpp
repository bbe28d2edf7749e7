#include "document/markup/char_stream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "document/markup/html_tokenizer.h"
#include "support/document/memory_document.h"
#include "token_dump.h"

namespace {

// Reads one whitespace-free run through the plain-text scanner, so that the stream holds it as
// pieces cut at the page size.
struct Piecewise {
    explicit Piecewise(const std::u16string& text, uint32_t pageSize) : doc(text, pageSize) {
        stream.scanner.LoadTables(PlainTextTableSet());
        stream.Attach(&doc, 0);
        int32_t token;
        EXPECT_EQ(stream.ReadToken(token, 0), CharStream::kReadToken);
    }
    std::string Extract(bool decode, bool strip) {
        String out;
        EXPECT_TRUE(stream.ExtractText(out, decode, strip, false));
        return Narrow(out);
    }
    MemoryDocument doc;
    CharStream stream;
};

TEST(CharStreamPieces, TokensSpanSegments) {
    Piecewise r(u"abcdefghij", 3);
    EXPECT_EQ(r.stream.PieceCount(), 4u);
    EXPECT_EQ(r.stream.GetLength(), 10u);
    EXPECT_EQ(r.Extract(false, false), "abcdefghij");
}

TEST(CharStreamExtract, QuotesAreStrippedAtEitherEnd) {
    EXPECT_EQ(Piecewise(u"\"abc\"", 1).Extract(false, true), "abc");
    EXPECT_EQ(Piecewise(u"'abc'", 4096).Extract(false, true), "abc");
    EXPECT_EQ(Piecewise(u"\"", 4096).Extract(false, true), "");
    EXPECT_EQ(Piecewise(u"rock'n'roll'", 4096).Extract(false, true), "rock'n'roll");
}

TEST(CharStreamExtract, ReferencesAcrossPieces) {
    EXPECT_EQ(Piecewise(u"x&amp;y&#65;&#x42;&#X43;", 2).Extract(true, false), "x&yABC");
    EXPECT_EQ(Piecewise(u"a&lt", 1).Extract(true, false), "a<");
    EXPECT_EQ(Piecewise(u"&unknown;&#xZZ;", 3).Extract(true, false), "&unknown;&#xZZ;");
    EXPECT_EQ(Piecewise(u"&#150;&emsp;", 4096).Extract(true, false), "\\u8211\\u160");
    EXPECT_EQ(Piecewise(u"&#70000;", 4096).Extract(true, false), "\\u55300\\u56688");
}

TEST(CharStreamExtract, SinglePieceIsShared) {
    Piecewise r(u"word", 4096);
    String out;
    ASSERT_TRUE(r.stream.ExtractText(out, false, false, false));
    EXPECT_FALSE(out.IsSoleHolder());  // a view of the page's string, not a copy
    String more;
    more.AppendAscii("pre-");
    ASSERT_TRUE(r.stream.ExtractText(more, false, false, true));
    EXPECT_EQ(Narrow(more), "pre-word");
}

TEST(CharStreamEntities, SingleReferenceResults) {
    auto decode = [](const std::u16string& s, std::string& text) {
        Piecewise r(s, 4096);
        String out;
        int k = r.stream.DecodeSingleEntity(out, false);
        text = Narrow(out);
        return k;
    };
    std::string t;
    EXPECT_EQ(decode(u"&amp;", t), 1);
    EXPECT_EQ(t, "&");
    EXPECT_EQ(decode(u"&zwnj;", t), 5);
    EXPECT_EQ(decode(u"&#8204;", t), 5);
    EXPECT_EQ(decode(u"&#x2003;", t), 1);
    EXPECT_EQ(t, "\\u160");
    EXPECT_EQ(decode(u"&#13;", t), 1);
    EXPECT_EQ(t, " ");
    EXPECT_EQ(decode(u"&bogus;", t), 1);
    EXPECT_EQ(t, "&bogus;");
}

TEST(CharStreamAttributes, ValuesUnderThreeCharactersAreNotDecoded) {
    MemoryDocument doc(u"<html><a name=&lt title=\"&lt x\" href=\"&#9\">");
    HtmlTokenizer t;
    t.Attach(&doc, 0);
    t.Start(0, false);
    t.NextToken();
    ASSERT_EQ(t.NextToken(), kTokenTag);
    String v;
    ASSERT_TRUE(t.GetAttributeText(98, v));
    EXPECT_EQ(Narrow(v), "<");
    ASSERT_TRUE(t.GetAttributeText(5, v));
    EXPECT_EQ(Narrow(v), "< x");
    ASSERT_TRUE(t.GetAttributeText(97, v));
    EXPECT_EQ(Narrow(v), " ");
}

}  // namespace

namespace {

TEST(CharStreamSegments, ATokenOverTenThousandPagesIsWholeAndEachPageReadOnce) {
    // Each page holds one character: the token keeps 10,000 segments at once.
    std::u16string word(10000, u'w');
    Piecewise r(word + u" tail", 1);
    EXPECT_EQ(r.stream.PieceCount(), 10000u);
    EXPECT_EQ(r.stream.GetLength(), 10000u);
    String text;
    ASSERT_TRUE(r.stream.ExtractText(text, false, false, false));
    EXPECT_EQ(Narrow(text), std::string(10000, 'w'));
    EXPECT_EQ(r.doc.reads, 10001u);  // and the page after it, where the word ended
    r.stream.ClearPieces();
    r.stream.ReleaseUnused(-1);
    EXPECT_EQ(r.doc.LivePages(), 0u);
    EXPECT_EQ(r.doc.badReleases, 0u);
}

TEST(CharStreamSegments, APageHeldElsewhereIsKeptUntilLetGo) {
    Piecewise r(u"word rest", 4096);
    String held;
    ASSERT_TRUE(r.stream.ExtractText(held, false, false, false));  // a view of the page
    r.stream.ClearPieces();
    r.stream.ReleaseUnused(-1);
    EXPECT_EQ(r.doc.LivePages(), 1u);
    EXPECT_EQ(Narrow(held), "word");
    held.Release();
    r.stream.ReleaseUnused(-1);
    EXPECT_EQ(r.doc.LivePages(), 0u);
}

TEST(CharStreamSegments, DroppedPiecesFreeTheirPagesAndSlotsAreReused) {
    Piecewise r(u"abcdefghij", 3);
    r.stream.PopPieces(2);  // "ghi" and "j" go; "abc" and "def" stay referred to
    r.stream.ReleaseUnused(-1);
    EXPECT_EQ(r.doc.LivePages(), 2u);
    EXPECT_EQ(r.Extract(false, false), "abcdef");
    r.stream.ReleaseUnused(-1);
    EXPECT_EQ(r.doc.LivePages(), 2u);  // kept while the pieces still name them
    r.stream.SetPosition(0);
    int32_t token;
    ASSERT_EQ(r.stream.ReadToken(token, 0), CharStream::kReadToken);
    EXPECT_EQ(r.Extract(false, false), "abcdefghij");
    r.stream.ClearPieces();
    r.stream.ReleaseUnused(-1);
    EXPECT_EQ(r.doc.LivePages(), 0u);
    EXPECT_EQ(r.doc.badReleases, 0u);
}

}  // namespace

namespace {

// Prose read word by word over small pages: every word comes whole and in order, and each
// page is let go once the words have passed it (the words of one page share its piece).
TEST(CharStreamSegments, WordsReadOnePageAfterAnotherLetEachPageGo) {
    std::u16string html = u"<html><body><p>";
    std::vector<std::string> words;
    for (int i = 0; i < 400; ++i) {
        std::string w = "w" + std::to_string(1000 + i * 7 % 997);
        words.push_back(w);
        html += std::u16string(w.begin(), w.end()) + (i % 9 == 8 ? u"\n" : u" ");
    }
    html += u"</p></body></html>";
    MemoryDocument doc(html, 40);
    HtmlTokenizer t;
    t.Attach(&doc, 0);
    t.Start(0, false);
    std::vector<std::string> read;
    size_t most = 0;
    for (int guard = 0; guard < 5000; ++guard) {
        uint32_t kind = t.NextToken();
        if (kind == kTokenEnd) break;
        if (kind == kTokenText) read.push_back(Narrow(t.Text()));
        most = std::max(most, doc.LivePages());
    }
    EXPECT_EQ(read, words);
    EXPECT_LE(most, 3u);
    EXPECT_EQ(doc.badReleases, 0u);
}

}  // namespace

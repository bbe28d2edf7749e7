#include "document/markup/html_tokenizer.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/byte_stream.h"
#include "support/document/memory_document.h"
#include "token_dump.h"

namespace {

std::string Tokens(const std::u16string& text, uint32_t pageSize = 4096, bool cont = false) {
    MemoryDocument doc(text, pageSize);
    HtmlTokenizer t(true);
    t.Attach(&doc, 0);
    t.Start(0, false);
    std::string r = DumpTokens(t, cont);
    return r;
}

TEST(HtmlTokenizerWords, ReferencesJoinTheWordBeforeThem) {
    EXPECT_EQ(Tokens(u"<html><body><p>a&amp;b</p>", 4096, true),
              "<HTML><BODY><P>+'a&''b'</P>$");
}

TEST(HtmlTokenizerWords, LongWordsAreCutAt30) {
    std::u16string w(45, u'x');
    EXPECT_EQ(Tokens(u"<html>" + w), "<HTML>'" + std::string(30, 'x') + "''" +
                                          std::string(15, 'x') + "'$");
}

TEST(HtmlTokenizerWords, NonJoiner) {
    MemoryDocument doc(u"<html>x&zwnj;y");
    HtmlTokenizer t;
    t.Attach(&doc, 0);
    t.Start(0, false);
    EXPECT_EQ(t.NextToken(), kTokenTag);
    EXPECT_EQ(t.NextToken(), kTokenContinue);
    EXPECT_EQ(t.NextToken(), kTokenNonJoiner);
    EXPECT_EQ(Narrow(t.Text()), "x");
    EXPECT_EQ(t.NextToken(), kTokenText);
    EXPECT_EQ(Narrow(t.Text()), "y");
    EXPECT_EQ(Tokens(u"<html> &zwnj;y"), "<HTML>_~'y'$");
}

TEST(HtmlTokenizerWords, CjkCharactersAreReadAlone) {
    EXPECT_EQ(Tokens(u"<html>ab\u4e00\u4e01cd"), "<HTML>'ab''\\u19968''\\u19969''cd'$");
}

TEST(HtmlTokenizerWords, JoinsStopAfterFive) {
    // Each reference after a word joins it, at most five times in a row.
    std::string r = Tokens(u"<html>a&lt;&lt;&lt;&lt;&lt;&lt;&lt;");
    EXPECT_EQ(r, "<HTML>'a<<<<<''<<'$");
}

TEST(HtmlTokenizerWords, WordsSpanningPagesStayWhole) {
    EXPECT_EQ(Tokens(u"<html>abcdefghij klm", 4), "<HTML>'abcdefghij'_'klm'$");
}

// A '<' opens a tag only before a letter, '/', '!' or '?'; any other '<', and every '>' in
// text, is read as text.
TEST(HtmlTokenizerWords, BareAngleBracketsAreText) {
    EXPECT_EQ(Tokens(u"<html>zpipe < foo.txt > foo.txt.z"),
              "<HTML>'zpipe'_'<'_'foo.txt'_'>'_'foo.txt.z'$");
    EXPECT_EQ(Tokens(u"<html>if a <= b and c<3 then x -> y"),
              "<HTML>'if'_'a'_'<''='_'b'_'and'_'c''<''3'_'then'_'x'_'->'_'y'$");
    EXPECT_EQ(Tokens(u"<html>x << y <"), "<HTML>'x'_'<''<'_'y'_'<'$");
    EXPECT_EQ(Tokens(u"<html>a <&amp; b", 4096, true), "<HTML>'a'_+'<&'_'b'$");
}

TEST(HtmlTokenizerWords, ALetterAfterTheBracketStillOpensATag) {
    EXPECT_EQ(Tokens(u"<html><body><p>a<b>c</b> <3</p>"),
              "<HTML><BODY><P>'a'<B>'c'</B>_'<''3'</P>$");
}

TEST(HtmlTokenizerWords, ABracketAtAPageEndIsJudgedByTheNextPage) {
    // Pages of 8 characters: the '<' ends the first page of text.
    EXPECT_EQ(Tokens(u"<html>a <= b", 8), "<HTML>'a'_'<''='_'b'$");
    EXPECT_EQ(Tokens(u"<html>a <b>c", 8), "<HTML>'a'_<B>'c'$");
}

TEST(HtmlTokenizerReferences, NumericAndNamed) {
    EXPECT_EQ(Tokens(u"<html>&#x41;&#65;&#128;"), "<HTML>'AA\\u8364'$");
    EXPECT_EQ(Tokens(u"<html>&#9;x"), "<HTML>' ''x'$");
    EXPECT_EQ(Tokens(u"<html>&#8194;"), "<HTML>'\\u160'$");
    EXPECT_EQ(Tokens(u"<html>&Amp; &foo;"), "<HTML>'&Amp;'_'&foo;'$");
    EXPECT_EQ(Tokens(u"<html>&#x1F600;"), "<HTML>'\\u55357\\u56832'$");
}

TEST(HtmlTokenizerReferences, TextsKeptByTheCallerSurviveLaterReferences) {
    // The layout keeps the texts it is given; decoding the next reference must not change them.
    MemoryDocument doc(u"<html>&amp; &#x1F600; &lt;&gt; &#65;x");
    HtmlTokenizer t;
    t.Attach(&doc, 0);
    t.Start(0, false);
    std::vector<String> kept;
    for (uint32_t k; (k = t.NextToken()) != kTokenEnd;)
        if (k == kTokenText) kept.push_back(t.Text());
    std::string all;
    for (const String& s : kept) all += "'" + Narrow(s) + "'";
    EXPECT_EQ(all, "'&''\\u55357\\u56832''<>''A''x'");
}

TEST(HtmlTokenizerReferences, BadNumbersStayLiteral) {
    EXPECT_EQ(Tokens(u"<html>&#xD800;"), "<HTML>'&#xD800;'$");
    EXPECT_EQ(Tokens(u"<html>&#1114112;"), "<HTML>'&#1114112;'$");
    EXPECT_EQ(Tokens(u"<html>&#99999999999999999999;"), "<HTML>'&#99999999999999999999;'$");
    EXPECT_EQ(Tokens(u"<html>&#0;"), "<HTML>'&#0;'$");
    EXPECT_EQ(Tokens(u"<html>&#xG1;"), "<HTML>'&#xG1;'$");
}

// Content before any element is body content: HTML and BODY are open for it without showing
// as tags. An end tag with nothing open is still dropped.
TEST(HtmlTokenizerNesting, DepthZeroContentIsBodyContent) {
    EXPECT_EQ(Tokens(u"<p>a</p>"), "<P>'a'</P>$");
    EXPECT_EQ(Tokens(u"<p>a</p><p>b"), "<P>'a'</P><P>'b'$");
    EXPECT_EQ(Tokens(u"</p>a<br>b"), "'a'<BR/>'b'$");
    EXPECT_EQ(Tokens(u"<html><p>a"), "<HTML><P>'a'$");
}

// A tag the rules drop that would have broken the line still parts the words around it;
// an inline one does not.
TEST(HtmlTokenizerNesting, ADroppedBlockTagPartsTheWords) {
    EXPECT_EQ(Tokens(u"<html><p>a</td>b</p>"), "<HTML><P>'a'_'b'</P>$");
    EXPECT_EQ(Tokens(u"<html><p>a</td> b</p>"), "<HTML><P>'a'_'b'</P>$");
    EXPECT_EQ(Tokens(u"<html><b>x</i>y</b>"), "<HTML><B>'x''y'</B>$");
}

TEST(HtmlTokenizerNesting, MenuAndDirAreLists) {
    EXPECT_EQ(Tokens(u"<html><menu><li>a</menu>"), "<HTML><UL><LI>'a'</LI></UL>$");
    EXPECT_EQ(Tokens(u"<html><DIR class=\"x\"><li>a</dir>"), "<HTML><UL><LI>'a'</LI></UL>$");
}

TEST(HtmlTokenizerNesting, ParagraphClosesParagraph) {
    EXPECT_EQ(Tokens(u"<html><p>a<p>b"), "<HTML><P>'a'</P><P>'b'$");
    EXPECT_EQ(Tokens(u"<html><p><b>x<p>"), "<HTML><P><B>'x'</B></P><P>$");
}

TEST(HtmlTokenizerNesting, Tables) {
    EXPECT_EQ(Tokens(u"<html><table inline=1><tr><td>1<td>2</table>"),
              "<HTML><TABLE><TR><TD>'1'</TD><TD>'2'</TD></TR></TABLE>$");
    EXPECT_EQ(Tokens(u"<html><table><tr><td>x"), "<HTML>'x'$");
}

TEST(HtmlTokenizerNesting, NestedTableClosesTheOuterOne) {
    // The inner TABLE is dropped; its rows go to the outer table, and its end tag closes it.
    EXPECT_EQ(Tokens(u"<html><table inline=1><tr><td><table inline=1><tr><td>a</table>b"),
              "<HTML><TABLE><TR><TD></TD></TR><TR><TD>'a'</TD></TR></TABLE>'b'$");
}

TEST(HtmlTokenizerNesting, ListsAndStrayEndTags) {
    EXPECT_EQ(Tokens(u"<html><ul><li>a<li>b</ul>"), "<HTML><UL><LI>'a'</LI><LI>'b'</LI></UL>$");
    EXPECT_EQ(Tokens(u"<html><b>x</i>y</b>"), "<HTML><B>'x''y'</B>$");
    EXPECT_EQ(Tokens(u"<html><br></br>"), "<HTML><BR/>$");
    EXPECT_EQ(Tokens(u"<html><option>"), "<HTML>$");
}

TEST(HtmlTokenizerNesting, IgnoredElementTakesItsEndTagAlong) {
    EXPECT_EQ(Tokens(u"<html><div><div fvt:ignore>x</div>y</div>"),
              "<HTML><DIV>'x''y'</DIV>$");
}

TEST(HtmlTokenizerNesting, DeepNestingIsBounded) {
    std::u16string s = u"<html>";
    for (int i = 0; i < 5000; ++i) s += u"<b>";
    s += u"x";
    for (int i = 0; i < 5000; ++i) s += u"</b>";
    s += u"<p>y";
    MemoryDocument doc(s);
    HtmlTokenizer t;
    t.Attach(&doc, 0);
    t.Start(0, false);
    uint32_t maxDepth = 0;
    int opens = 0, closes = 0;
    while (true) {
        uint32_t k = t.NextToken();
        if (k == kTokenEnd) break;
        maxDepth = std::max(maxDepth, t.OpenDepth());
        if (k == kTokenTag) {
            bool e, m;
            if (t.GetTag(e, m) == 18) (e ? closes : opens)++;
        }
    }
    EXPECT_LE(maxDepth, HtmlTokenizer::kMaxDepth);
    EXPECT_EQ(opens, closes);
    EXPECT_EQ(t.OpenDepth(), 2u);  // HTML and P
}

TEST(HtmlTokenizerMarkup, AttributesAreDecodedAndUnquoted) {
    MemoryDocument doc(u"<html><a href=\"x&amp;y\" name='n' class=plain>t</a>");
    HtmlTokenizer t;
    t.Attach(&doc, 0);
    t.Start(0, false);
    ASSERT_EQ(t.NextToken(), kTokenTag);
    ASSERT_EQ(t.NextToken(), kTokenTag);
    String v;
    EXPECT_TRUE(t.GetAttributeText(97, v));
    EXPECT_EQ(Narrow(v), "x&y");
    EXPECT_TRUE(t.GetAttributeText(98, v));
    EXPECT_EQ(Narrow(v), "n");
    EXPECT_TRUE(t.GetAttributeText(57, v));
    EXPECT_EQ(Narrow(v), "plain");
    EXPECT_FALSE(t.GetAttributeText(56, v));
}

// An unquoted value runs to white space or '>': an '=' in it no longer loses the whole tag (and
// with it a link and its text's attributes).
TEST(HtmlTokenizerMarkup, UnquotedValuesKeepTheirEqualsSigns) {
    MemoryDocument doc(
        u"<html><a href=page.htm?x=1&amp;y=2 name=k=v>t</a><a foo=a=b href = 'q' >u</a>"
        u"<p title=x=>v");
    HtmlTokenizer t;
    t.Attach(&doc, 0);
    t.Start(0, false);
    ASSERT_EQ(t.NextToken(), kTokenTag);
    ASSERT_EQ(t.NextToken(), kTokenTag);
    String v;
    EXPECT_TRUE(t.GetAttributeText(97, v));
    EXPECT_EQ(Narrow(v), "page.htm?x=1&y=2");
    EXPECT_TRUE(t.GetAttributeText(98, v));
    EXPECT_EQ(Narrow(v), "k=v");
    // An unknown attribute with such a value is skipped alone; spaces around '=' still work.
    ASSERT_EQ(t.NextToken(), kTokenText);
    ASSERT_EQ(t.NextToken(), kTokenTag);
    ASSERT_EQ(t.NextToken(), kTokenTag);
    EXPECT_TRUE(t.GetAttributeText(97, v));
    EXPECT_EQ(Narrow(v), "q");
    EXPECT_EQ(Tokens(u"<html><a href=a=b>t</a><p title=x=>v"), "<HTML><A>'t'</A><P>'v'$");
}

TEST(HtmlTokenizerMarkup, UnknownAttributes) {
    // Without a value the whole tag goes; with one only the attribute.
    EXPECT_EQ(Tokens(u"<html><table inline=1><tr><td foo>a"),
              "<HTML><TABLE><TR>'a'$");
    MemoryDocument doc(u"<html><table inline=1><tr><td foo=1>a");
    HtmlTokenizer t;
    t.Attach(&doc, 0);
    t.Start(0, false);
    for (int i = 0; i < 3; ++i) t.NextToken();
    ASSERT_EQ(t.NextToken(), kTokenTag);
    bool e, m;
    EXPECT_EQ(t.GetTag(e, m), 46u);
    EXPECT_EQ(t.AttributeCount(), 0u);
}

// NOWRAP is a name of the table: the cell stays, with the attribute, and so does its text.
TEST(HtmlTokenizerMarkup, ANowrapCellKeepsItsTag) {
    EXPECT_EQ(Tokens(u"<html><table inline=1><tr><td nowrap>a<td NOWRAP=nowrap>b</table>"),
              "<HTML><TABLE><TR><TD>'a'</TD><TD>'b'</TD></TR></TABLE>$");
    MemoryDocument doc(u"<html><table inline=1><tr><td nowrap>a");
    HtmlTokenizer t;
    t.Attach(&doc, 0);
    t.Start(0, false);
    for (int i = 0; i < 3; ++i) t.NextToken();
    ASSERT_EQ(t.NextToken(), kTokenTag);
    bool e, m;
    EXPECT_EQ(t.GetTag(e, m), uint32_t{kTagTd});
    EXPECT_TRUE(t.HasAttribute(kAttrNowrap));
}

// CAPTION opens in a TABLE only; a row or a row group after it closes it when its end tag is
// missing, so the rows stay rows.
TEST(HtmlTokenizerNesting, CaptionsBelongToTheirTable) {
    EXPECT_EQ(Tokens(u"<html><table inline=1><caption><b>t</b></caption><tr><td>1</table>"),
              "<HTML><TABLE><CAPTION><B>'t'</B></CAPTION><TR><TD>'1'</TD></TR></TABLE>$");
    EXPECT_EQ(Tokens(u"<html><table inline=1><caption>t<tr><td>1</table>"),
              "<HTML><TABLE><CAPTION>'t'</CAPTION><TR><TD>'1'</TD></TR></TABLE>$");
    EXPECT_EQ(Tokens(u"<html><table inline=1><caption>t<tbody><tr><td>1</table>"),
              "<HTML><TABLE><CAPTION>'t'</CAPTION><TBODY><TR><TD>'1'</TD></TR></TBODY></TABLE>$");
    EXPECT_EQ(Tokens(u"<html><table inline=1><caption>t</table>x"),
              "<HTML><TABLE><CAPTION>'t'</CAPTION></TABLE>'x'$");
    // Outside a table, and inside a cell, only its text stays.
    EXPECT_EQ(Tokens(u"<html><p>a<caption>t</caption>"), "<HTML><P>'a'_'t'_$");
    EXPECT_EQ(Tokens(u"<html><table inline=1><tr><td><caption>t</table>"),
              "<HTML><TABLE><TR><TD>'t'</TD></TR></TABLE>$");
}

TEST(HtmlTokenizerMarkup, ScriptContentIsRaw) {
    // "</b" inside a script is content, not the end of it.
    EXPECT_EQ(Tokens(u"<html><p><script>if (a</b) x();</script>"),
              "<HTML><P><SCRIPT>'if (a''</b) x();'</SCRIPT>$");
    EXPECT_EQ(Tokens(u"<html><p><script>a<b>c</script>d"), "<HTML><P><SCRIPT>'a<b>c'</SCRIPT>'d'$");
}

TEST(HtmlTokenizerMarkup, CommentsDeclarationsAndCData) {
    EXPECT_EQ(Tokens(u"<html><!-- a -- b -->x<!doctype html>y<?pi?>z"), "<HTML>'x''y''z'$");
    EXPECT_EQ(Tokens(u"<html><![CDATA[<x>]]>"), "<HTML>'<x>'$");
}

TEST(HtmlTokenizerMarkup, MalformedTagsAreSkipped) {
    // An unknown name after '<' drops the tag; a '<' before no letter is text, not a tag.
    EXPECT_EQ(Tokens(u"<html>a<zz>b<yy q=1>c"), "<HTML>'a''b''c'$");
    EXPECT_EQ(Tokens(u"<html>a<>b< c>d<1x>e"), "<HTML>'a''<''>b''<'_'c>d''<''1x>e'$");
    // '>' inside a quoted value ends the tag there, which is dropped.
    EXPECT_EQ(Tokens(u"<html><p title=\"a>b\">c"), "<HTML>'b\">c'$");
}

TEST(HtmlTokenizerMarkup, UnclosedConstructsEndTheStream) {
    EXPECT_EQ(Tokens(u"<html>a<!-- never closed"), "<HTML>'a'$");
    EXPECT_EQ(Tokens(u"<html>a<p class=\"x"), "<HTML>'a'$");
    EXPECT_EQ(Tokens(u"<html>a<![CDATA[x"), "<HTML>'a'$");
    EXPECT_EQ(Tokens(u""), "$");
}

TEST(HtmlTokenizerState, SaveWritesDepthQueueAndPadding) {
    MemoryDocument doc(u"<html><body><div>abc def");
    HtmlTokenizer t;
    t.Attach(&doc, 0);
    t.Start(0, false);
    for (int i = 0; i < 4; ++i) t.NextToken();
    ByteStream s;
    ASSERT_TRUE(t.SaveState(s));
    EXPECT_EQ(s.Size(), 12u + 3u + 1u);
}

TEST(HtmlTokenizerState, RestoreResumesMidDocument) {
    std::u16string text = u"<html><body><ul><li>one<li>two <b>three</b> four<li>five</ul>";
    MemoryDocument doc(text, 8);
    HtmlTokenizer a;
    a.Attach(&doc, 0);
    a.Start(0, false);
    for (int i = 0; i < 6; ++i) a.NextToken();  // into the first LI
    ByteStream s;
    ASSERT_TRUE(a.SaveState(s));
    std::string rest = DumpTokens(a);

    HtmlTokenizer b;
    b.Attach(&doc, 0);
    ASSERT_TRUE(b.RestoreState(s));
    EXPECT_EQ(DumpTokens(b), rest);
}

TEST(HtmlTokenizerState, RestoreWithPendingEndTags) {
    std::u16string text = u"<html><p><b>x<p>y";
    MemoryDocument doc(text);
    HtmlTokenizer a;
    a.Attach(&doc, 0);
    a.Start(0, false);
    std::string seen;
    for (int i = 0; i < 5; ++i) a.NextToken();  // HTML P B x, then the second P is deferred
    ByteStream s;
    ASSERT_TRUE(a.SaveState(s));
    std::string rest = DumpTokens(a);
    HtmlTokenizer b;
    b.Attach(&doc, 0);
    ASSERT_TRUE(b.RestoreState(s));
    // The deferred tag itself is read again from the saved position.
    EXPECT_EQ(DumpTokens(b), rest);
}

TEST(HtmlTokenizerState, CorruptStatesAreRefused) {
    MemoryDocument doc(u"<html>abc");
    HtmlTokenizer t;
    t.Attach(&doc, 0);
    auto state = [](std::initializer_list<uint32_t> words, std::initializer_list<uint8_t> bytes) {
        auto s = std::make_unique<ByteStream>();
        for (uint32_t w : words) s->WriteWord32BE(w);
        for (uint8_t b : bytes) s->WriteByte(b);
        return s;
    };
    EXPECT_FALSE(t.RestoreState(*state({0, 0}, {})));                    // too short
    EXPECT_FALSE(t.RestoreState(*state({0, 1000000, 0}, {})));          // depth past the data
    EXPECT_FALSE(t.RestoreState(*state({0, 1, 2}, {1, 2, 3, 0})));      // queue deeper than stack
    EXPECT_FALSE(t.RestoreState(*state({0, 2, 0}, {1, 250, 0, 0})));    // no such element
    EXPECT_FALSE(t.RestoreState(*state({0, 2, 0}, {1, 32, 0, 0})));     // an empty element
    EXPECT_TRUE(t.RestoreState(*state({0, 2, 0}, {1, 2, 0, 0})));
}

TEST(HtmlTokenizerStart, ResyncFindsATokenBoundary) {
    std::u16string text = u"<html>alpha beta<b>gamma</b> delta";
    MemoryDocument doc(text);
    HtmlTokenizer t;
    t.Attach(&doc, 0);
    t.Start(8, true);  // inside "alpha"
    EXPECT_EQ(DumpTokens(t), "_'beta'<B>'gamma'</B>_'delta'$");
    t.Start(12, true);  // at "beta", after a space: a boundary already
    EXPECT_EQ(DumpTokens(t), "'beta'<B>'gamma'</B>_'delta'$");
    t.Start(19, true);  // just after '>'; B is not open here, so its end tag goes
    EXPECT_EQ(DumpTokens(t), "'gamma'_'delta'$");
    t.Start(static_cast<uint32_t>(text.size()), true);
    EXPECT_EQ(DumpTokens(t), "$");
}

TEST(HtmlTokenizerStart, ReplayDeliversTagsFlat) {
    MemoryDocument doc(u"<html><p>a<b>b</b>");
    HtmlTokenizer t;
    t.Attach(&doc, 0);
    t.Start(0, false);
    std::string all = DumpTokens(t);
    t.Start(0, false);
    for (int i = 0; i < 4; ++i) t.NextToken();  // up to <b>
    t.SeekBack(0);
    // Up to where reading had come, tags come flat, with the empty flag, unnested.
    EXPECT_EQ(DumpTokens(t), "<HTML/><P/>'a'<B/>'b'</B>$");
    EXPECT_EQ(all, "<HTML><P>'a'<B>'b'</B>$");
}

TEST(HtmlTokenizerBuffers, PagesAreGivenBack) {
    std::u16string text = u"<html>";
    for (int i = 0; i < 200; ++i) text += u"word<b>bold</b> ";
    MemoryDocument doc(text, 64);
    {
        HtmlTokenizer t;
        t.Attach(&doc, 0);
        t.Start(0, false);
        while (t.NextToken() != kTokenEnd) t.ReleaseBuffers();
        EXPECT_LE(doc.LivePages(), 2u);
        // A restart at 0 gives every page back; reading again loads them anew.
        t.Start(0, true);
        EXPECT_EQ(doc.LivePages(), 0u);
        EXPECT_EQ(t.NextToken(), kTokenTag);
    }
    EXPECT_EQ(doc.LivePages(), 0u);
    EXPECT_EQ(doc.badReleases, 0u);
}

}  // namespace

namespace {

// Every token with its position; tags with their flags and attributes (id, has-value, value).
std::string Detailed(const std::u16string& text, uint32_t pageSize, bool quick) {
    CharStream::quickPath = quick;
    MemoryDocument doc(text, pageSize);
    HtmlTokenizer t(false);  // no nesting: every tag the lexer reads is seen
    t.Attach(&doc, 0);
    t.Start(0, false);
    std::string out;
    for (int i = 0; i < 10000; ++i) {
        uint32_t k = t.NextToken();
        uint32_t position = 0;
        t.GetPosition(position);
        out += std::to_string(k) + "@" + std::to_string(position);
        if (k == kTokenEnd) break;
        if (k == kTokenText) out += "'" + Narrow(t.Text()) + "'";
        if (k == kTokenTag) {
            bool e = false, m = false;
            uint32_t id = t.GetTag(e, m);
            out += "<" + std::to_string(id) + (e ? "e" : "") + (m ? "m" : "");
            for (uint32_t a = 0; a < t.AttributeCount(); ++a) {
                const AttributeItem* item = t.Attribute(a);
                out += " " + std::to_string(item->id) + (item->hasValue ? "=" : "") +
                       Narrow(item->value);
            }
            out += ">";
        }
        out += " ";
    }
    CharStream::quickPath = true;
    return out;
}

TEST(HtmlTokenizerQuickPaths, WordsSpacesAndReferencesCutAsTheScannerCutsThem) {
    // Pages with curly quotes but no CJK take the quick cut; CJK and U+200C pages do not.
    const std::u16string cases[] = {
        u"It\u2019s \u201Cquoted\u201D \u2014 text,\tand\r\nlines.",
        u"abcdefghijklmnopqrstuvwxyz0123456789abcdefghijklmnopqrstuvwxyz0123456789 x",
        u"\u4E00\u4E8Cab c\u200Cd \u2019\u4E09",
        u"e\u0301t\u0301\u0301 a&amp;b&#233;c  \n\n\t x",
        u"trailing   ",
        // References: joined, alone, unterminated, malformed, at the word limit.
        u"it&#8217;s &#8220;x&#8221; a&amp;&amp;b &amp &;x &#;y &#x41;&#X42 &a#b; &:_9; & ",
        u"x&zwnj;y &#8204;z &emsp;w &nbsp;&shy;v &#0; &#xD800; &#1114112; &unknown; &AMP;",
        u"&abcdefghijklmnopqrstuvwxyzAB; &abcdefghijklmnopqrstuvwxyzABC; "
        u"&abcdefghijklmnopqrstuvwxyzABCD; &#1234567890123456789012345678; e\u0301&amp;",
        u"<p class=\"v\">&amp;</p>&#65;<b>&lt;</b>&",
        // Stops far into a page, behind curly quotes.
        u"it\u2019s one, it\u2019s two, it\u2019s three, and it\u2019s four; "
        u"then five and six and seven and eight and nine ab\u4E00cd and ten and x\u200Cy z",
    };
    for (const std::u16string& text : cases) {
        std::string scanned = Detailed(text, 4096, false);
        for (uint32_t page : {4096u, 1u, 7u, 31u})
            EXPECT_EQ(Detailed(text, page, true), scanned) << page;
    }
}

// Long words of lone surrogates and of pairs, cut by the limit at every place a page may end.
TEST(HtmlTokenizerQuickPaths, WordsOfSurrogatesCutAsTheScannerCutsThem) {
    const std::u16string high(31, u'\xD800');
    std::u16string pairs;
    for (int i = 0; i < 20; ++i) pairs += u"\U0001F600";
    const std::u16string cases[] = {
        u" " + high + u" x",
        u"ab" + high + high + u"\xDC00" + high,
        std::u16string(29, u'a') + u"\U0001F600b " + pairs + u" a" + pairs,
        high + u"\xDC00\xDC00" + high + u"\xD800",
    };
    for (const std::u16string& text : cases) {
        std::string scanned = Detailed(text, 4096, false);
        for (uint32_t page = 1; page <= 64; ++page) {
            EXPECT_EQ(Detailed(text, page, true), scanned) << page;
            EXPECT_EQ(Detailed(text, page, false), scanned) << page;
        }
    }
}

TEST(HtmlTokenizerQuickPaths, WholeTagsReadAsTheScannerReadsThem) {
    // Tags read in one go inside a page, and the shapes that must be left to the scanner.
    const std::u16string cases[] = {
        u"<p>a</p>",
        u"<br/><br />x<hr  noshade>",
        u"<a href=\"x&amp;y\" name='n'>t</a >",
        u"<a href = \"v\"\tclass='c'\n>t</a\n junk>",
        u"<a href=\"v\"name=\"w\">t",
        u"<p zz=\"v\" class=\"c\">unknown attribute</p>",
        u"<p class=\"a>b\">quote holding '>'</p>",
        u"<p class=\"a<b\">quote holding '<'</p>",
        u"<p class=\"a> >x<p class=\"a</p>",
        u"<p class=plain id=1>unquoted</p>",
        u"<p class>no value</p><p class=>empty</p><p class x\"v\">x</p>",
        u"<p class=\"\">empty quotes</p>",
        u"<p class=\"v\"/x>slash</p><p/ >",
        u"<xyz>unknown element</xyz><1p>digit</1p>",
        u"< p>space</ p>",
        u"<p\x01>control</p>",
        u"<p class=\"v\" \x01>control</p>",
        u"<script>if (a<b) x();</script>after<script/>after",
        u"<p fvt:ignore=\"1\">x</p><table inline=\"1\">",
        u"<a href=\"\u4E00\u2019\">\u4E00\u200Cx</a>",
        u"<P CLASS=\"Up\">upper</P>",
        // Names that share a slot of the tokenizer's memory of names found last.
        u"<body><dl><td><DL><Td></dl><link><form><LINK><p><head><h3><code><div><rel>"
        u"</td></form></link><a inline=\"1\" align=\"2\"><i fvt:ignore=\"3\">",
        u"<p a=\"1\" b=\"2\" c=\"3\" d=\"4\" e=\"5\" f=\"6\" g=\"7\" h=\"8\" i=\"9\">many</p>",
        u"<a href=\"v\" href=\"w\" href=\"x\" href=\"y\" href=\"z\" href=\"1\" href=\"2\" "
        u"href=\"3\" href=\"4\">nine</a>",
        u"<p class=\"unclosed",
        u"</p",
        u"<",
    };
    for (const std::u16string& text : cases) {
        std::string scanned = Detailed(text, 4096, false);
        EXPECT_EQ(Detailed(text, 4096, true), scanned) << Narrow(String(text.data(), text.size()));
        // Tags cut by page ends take the scanner's path.
        for (uint32_t page : {1u, 5u, 11u}) EXPECT_EQ(Detailed(text, page, true), scanned) << page;
    }
}

}  // namespace

// Inside PRE the text keeps its lines and blanks: a line end is a BR (not the one right after
// <pre>), a run of blanks keeps its width as blanks and a space, a TAB runs to the next stop
// of 8; outside PRE blanks collapse as before, and a page boundary inside a run changes
// nothing.
TEST(HtmlTokenizerPreformatted, LinesAndBlanksAreKept) {
    const std::u16string page =
        u"<html><body><p>a  b\nc</p><pre>\nint  x;\r\n\ty = 1;\n<b>z</b>  w</pre><p>d  e</p>";
    const std::string want =
        "<HTML><BODY><P>'a'_'b'_'c'</P><PRE>'int'' '_'x;'<BR/>'       '_'y'_'='_'1;'<BR/>"
        "<B>'z'</B>' '_'w'</PRE><P>'d'_'e'</P>$";
    EXPECT_EQ(Tokens(page), want);
    EXPECT_EQ(Tokens(page, 7), want);
    // "x\ty": the TAB after one column reaches column 8.
    EXPECT_EQ(Tokens(u"<html><body><pre>x\ty</pre>"),
              "<HTML><BODY><PRE>'x''      '_'y'</PRE>$");
}

// A page start inside a PRE (the layout saves the tokenizer's state at each page start) goes
// on keeping the lines.
TEST(HtmlTokenizerPreformatted, ARestoredStateInsidePreKeepsTheLines) {
    const std::u16string page = u"<html><body><pre>one\ntwo\nthree</pre>";
    MemoryDocument doc(page, 4096);
    HtmlTokenizer t(true);
    t.Attach(&doc, 0);
    t.Start(0, false);
    // Read up to and including "one".
    for (int i = 0; i < 4; ++i) t.NextToken();
    ByteStream state;
    ASSERT_TRUE(t.SaveState(state));
    HtmlTokenizer other(true);
    other.Attach(&doc, 0);
    ASSERT_TRUE(state.SetReadPosition(0));
    ASSERT_TRUE(other.RestoreState(state));
    EXPECT_EQ(DumpTokens(other, false), "<BR/>'two'<BR/>'three'</PRE>$");
}

// A word cut at the length limit is never cut inside a surrogate pair (each half would show
// as a replacement character): the pair goes whole into one token, wherever pages end.
TEST(HtmlTokenizerWords, LongWordsAreNotCutInsideAPair) {
    std::u16string word = u"a";
    for (int i = 0; i < 20; ++i) word += u"\U0001F600";
    for (uint32_t page : {4096u, 16u, 7u}) {
        std::string tokens = Tokens(u"<html>" + word, page);
        EXPECT_EQ(tokens.find("\\u55357'"), std::string::npos) << page << " " << tokens;
        EXPECT_EQ(tokens.find("'\\u56832"), std::string::npos) << page << " " << tokens;
    }
}

// A lone high surrogate is a character of its own: a word of them is cut after 30 like any
// other, wherever pages end.
TEST(HtmlTokenizerWords, LoneHighSurrogatesAreCutAt30) {
    std::string thirty, five;
    for (int i = 0; i < 30; ++i) thirty += "\\u55296";
    for (int i = 0; i < 5; ++i) five += "\\u55296";
    const std::u16string text = u"<html>" + std::u16string(35, u'\xD800') + u" x";
    for (bool quick : {true, false}) {
        CharStream::quickPath = quick;
        for (uint32_t page : {4096u, 36u, 30u, 7u, 1u})
            EXPECT_EQ(Tokens(text, page), "<HTML>'" + thirty + "''" + five + "'_'x'$")
                << quick << " " << page;
    }
    CharStream::quickPath = true;
}

// A pair whose halves a page end parts, just where the limit cuts, is still kept whole.
TEST(HtmlTokenizerWords, APairPartedByAPageEndAtTheLimitStaysWhole) {
    // Six units of markup and 29 letters: the high half ends the page of 36.
    const std::u16string text = u"<html>" + std::u16string(29, u'a') + u"\U0001F600b";
    const std::string cut = "<HTML>'" + std::string(29, 'a') + "''\\u55357\\u56832b'$";
    for (bool quick : {true, false}) {
        CharStream::quickPath = quick;
        for (uint32_t page : {36u, 35u, 37u, 4096u})
            EXPECT_EQ(Tokens(text, page), cut) << quick << " " << page;
    }
    CharStream::quickPath = true;
}

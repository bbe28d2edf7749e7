// Word hyphenation: syllable marks of English and French words, explicit hyphens, the cut of
// last resort, and the split of a word's runs in a block's contents.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "core/char_props.h"
#include "layout/block_contents.h"
#include "layout/hyphenation.h"
#include "layout/layout_fonts.h"
#include "support/layout/context_canvas.h"
#include "support/layout/layout_host.h"
#include "support/layout/utf8_text.h"
#include "support/platform/window_fixture.h"

namespace {

// The word with a '-' wherever a break may follow.
std::u16string Marked(const std::u16string& word) {
    std::vector<uint8_t> marks(word.size() + 1, 0xEE);
    Hyphenation::SyllableMarks(word.data(), static_cast<int32_t>(word.size()), marks.data());
    std::u16string out;
    for (size_t i = 0; i < word.size(); ++i) {
        out += word[i];
        if (marks[i] == 1) out += u'-';
    }
    EXPECT_EQ(marks[word.size()], 0xEE) << "wrote past the word";
    return out;
}

using fvt::test::Utf8;

}  // namespace

TEST(Syllables, EnglishWordsBreakAtTheirSyllables) {
    EXPECT_EQ(Marked(u"hyphenation"), u"hyphe-na-tion");
    EXPECT_EQ(Marked(u"problematic"), u"pro-ble-ma-tic");
    EXPECT_EQ(Marked(u"photography"), u"pho-to-gra-phy");
    EXPECT_EQ(Marked(u"wonderful"), u"won-der-ful");
    EXPECT_EQ(Marked(u"tablecloth"), u"table-cloth");
}

TEST(Syllables, FrenchWordsBreakAtTheirSyllables) {
    EXPECT_EQ(Marked(u"gouvernement"), u"gou-ver-ne-ment");
    EXPECT_EQ(Marked(u"boulangerie"), u"bou-lan-ge-rie");
    EXPECT_EQ(Marked(u"d\u00E9veloppement"), u"d\u00E9ve-lop-pe-ment");
    EXPECT_EQ(Marked(u"extraordinaire"), u"extraor-di-naire");  // three letters go over
}

TEST(Syllables, ClustersStayTogetherAtThePieceStart) {
    EXPECT_EQ(Marked(u"schoolchildren"), u"school-chil-dren");  // sch, ch, dr
    EXPECT_EQ(Marked(u"establishment"), u"esta-blish-ment");    // bl, sh
    EXPECT_EQ(Marked(u"accomplishment"), u"accom-plish-ment");  // pl
    EXPECT_EQ(Marked(u"language"), u"lan-guage");  // ng splits before g+vowel only via n rule
    EXPECT_EQ(Marked(u"sympathetic"), u"sym-pa-the-tic");  // th
}

TEST(Syllables, WordsOfFewerThanThreePiecesAreNeverMarked) {
    EXPECT_EQ(Marked(u"table"), u"table");
    EXPECT_EQ(Marked(u"kingdom"), u"kingdom");
    EXPECT_EQ(Marked(u"strengths"), u"strengths");
    std::vector<uint8_t> m(5, 7);
    EXPECT_FALSE(Hyphenation::SyllableMarks(u"table", 5, m.data()));
    EXPECT_EQ(m, std::vector<uint8_t>(5, 0));
}

TEST(Syllables, ShortAndVowelFirstWordsStayInside) {
    for (const char16_t* w : {u"", u"a", u"ie", u"eau", u"aaaa", u"oui", u"h", u"hh", u"lr", u"ebb",
                              u"--", u"'", u"rhythm"}) {
        std::u16string word(w);
        std::u16string out = Marked(word);
        EXPECT_EQ(out.find(u'-', 0), word.find(u'-', 0)) << Utf8(out);
    }
    EXPECT_EQ(Marked(u"\u00E9l\u00E9phant"), u"\u00E9l\u00E9-phant");
    EXPECT_EQ(Marked(u"\u00E9cole"), u"\u00E9cole");  // "le" alone is too short a tail
}

TEST(Syllables, NoBreakAfterTheFirstOrSecondCharacter) {
    for (const char16_t* w : {u"hyphenation", u"aeroplane", u"ideological", u"oxymoron",
                              u"\u00E9l\u00E9mentaire", u"inegalite", u"abracadabra"}) {
        std::u16string word(w);
        std::vector<uint8_t> m(word.size());
        Hyphenation::SyllableMarks(word.data(), static_cast<int32_t>(word.size()), m.data());
        EXPECT_EQ(m[0], 0) << Utf8(word);
        EXPECT_EQ(m[1], 0) << Utf8(word);
    }
}

// Addresses, identifiers, numbers and camel-case names are not prose: a hyphen put into them
// reads as part of them.
TEST(Syllables, CodeAddressesAndNumbersAreLeftWhole) {
    for (const char16_t* w :
         {u"http://www.apache.org/licenses/", u"xsltGetPlainNamespace", u"./libxslt_tutorial",
          u"somebody@example.org", u"hyphenation2", u"1234567890", u"namespace:attribute",
          u"McAllister", u"JavaScript", u"libxslt_tutorial"}) {
        std::u16string word(w);
        std::vector<uint8_t> m(word.size(), 7);
        EXPECT_FALSE(
            Hyphenation::SyllableMarks(word.data(), static_cast<int32_t>(word.size()), m.data()))
            << Utf8(word);
        EXPECT_EQ(m, std::vector<uint8_t>(word.size(), 0)) << Utf8(word);
    }
    // A capital at the start, or a word all in capitals, is prose.
    EXPECT_EQ(Marked(u"Hyphenation"), u"Hyphe-na-tion");
}

// Two letters at least stay before the break and three go after it.
TEST(Syllables, BreaksLeaveTwoLettersBeforeAndThreeAfter) {
    EXPECT_EQ(Marked(u"sentence"), u"sen-tence");  // never "senten-ce"
    EXPECT_EQ(Marked(u"Sentence."), u"Sen-tence.");
    EXPECT_EQ(Marked(u"difference"), u"dif-fe-rence");
    for (const char16_t* w : {u"hyphenation", u"problematic", u"boulangerie", u"photography",
                              u"\"catastrophe,\"", u"gouvernement", u"abracadabra"}) {
        std::u16string word(w);
        std::vector<uint8_t> m(word.size());
        Hyphenation::SyllableMarks(word.data(), static_cast<int32_t>(word.size()), m.data());
        int32_t letters = 0;
        for (char16_t c : word) letters += CharProps::Class3(c) == 1 || CharProps::Class3(c) == 2;
        int32_t before = 0;
        for (size_t i = 0; i < word.size(); ++i) {
            before += CharProps::Class3(word[i]) == 1 || CharProps::Class3(word[i]) == 2;
            if (!m[i]) continue;
            EXPECT_GE(before, 2) << Utf8(word) << " at " << i;
            EXPECT_GE(letters - before, 3) << Utf8(word) << " at " << i;
        }
    }
}

TEST(Syllables, PunctuationAroundTheWordNeedsMorePieces) {
    EXPECT_EQ(Marked(u"\"catastrophe,\""), u"\"catas-trophe,\"");
    EXPECT_EQ(Marked(u"(mathematics)"), u"(mathe-matics)");
    EXPECT_EQ(Marked(u"(wonderful)"), u"(wonderful)");  // three pieces are not enough here
}

TEST(Syllables, OtherScriptsAreLeftWhole) {
    EXPECT_EQ(Marked(u"\u03B2\u03B9\u03B2\u03BB\u03B9\u03BF\u03B8\u03AE\u03BA\u03B7"),
              u"\u03B2\u03B9\u03B2\u03BB\u03B9\u03BF\u03B8\u03AE\u03BA\u03B7");
    EXPECT_EQ(Marked(u"\u0431\u0438\u0431\u043B\u0438\u043E\u0442\u0435\u043A\u0430"),
              u"\u0431\u0438\u0431\u043B\u0438\u043E\u0442\u0435\u043A\u0430");
}

TEST(Syllables, ArbitraryWordsNeverMarkOutsideOrNearTheStart) {
    const char16_t alphabet[] = u"aeioubcdfghlnprstw.,'- \u00E9\u00E8";
    uint32_t seed = 12345;
    for (int round = 0; round < 3000; ++round) {
        seed = seed * 1103515245u + 12345u;
        int len = static_cast<int>(seed >> 16) % 24;
        std::u16string w;
        for (int i = 0; i < len; ++i) {
            seed = seed * 1103515245u + 12345u;
            w += alphabet[(seed >> 16) % (sizeof(alphabet) / sizeof(char16_t) - 1)];
        }
        std::vector<uint8_t> m(w.size() + 2, 0xEE);
        Hyphenation::SyllableMarks(w.data(), len, m.data() + 1);
        ASSERT_EQ(m.front(), 0xEE);
        ASSERT_EQ(m.back(), 0xEE);
        if (len > 0) {
            ASSERT_EQ(m[1], 0);
        }
        if (len > 1) {
            ASSERT_EQ(m[2], 0);
        }
    }
}

TEST(Syllables, LanguagesThatAreNeverHyphenated) {
    EXPECT_TRUE(Hyphenation::IsCjkLanguage(4));
    EXPECT_TRUE(Hyphenation::IsCjkLanguage(17 | (1 << 10)));
    EXPECT_TRUE(Hyphenation::IsCjkLanguage(18));
    EXPECT_FALSE(Hyphenation::IsCjkLanguage(9));
    EXPECT_FALSE(Hyphenation::IsCjkLanguage(12));
}

TEST(Syllables, OnlyAQuarterFreeLineSplitsTheNextWord) {
    EXPECT_TRUE(Hyphenation::IsQuarterFree(25, 100));
    EXPECT_FALSE(Hyphenation::IsQuarterFree(24, 100));
    EXPECT_TRUE(Hyphenation::IsQuarterFree(0, 0));
}

namespace {

// A block holding runs of one word; the box font gives every character 6 pixels (em 12).
class SplitTest : public ::testing::Test {
protected:
    void Runs(std::initializer_list<const char16_t*> runs, uint32_t position = 100) {
        for (const char16_t* r : runs) {
            TextRun run;
            run.text = String(r);
            run.width = 6 * run.text.Length();
            ASSERT_TRUE(block.Append(run, position));
            position += static_cast<uint32_t>(run.text.Length());
        }
        FlowMark end;
        end.type = kMarkTextEnd;
        ASSERT_TRUE(block.Append(end, position));
        start.Init(&block, true);
        stop = start;
        while (stop.Kind() == kItemTextRun) stop.Next();
    }
    // The items as text: runs with their positions and widths, hyphens as "(-)".
    std::string Items() {
        std::string out;
        BlockCursor c;
        c.Init(&block, true);
        for (; !c.AtEnd(); c.Next()) {
            if (c.Kind() == kItemTextRun) {
                const TextRun* r = block.Run(c.counts[kItemTextRun]);
                out += Utf8(std::u16string(r->text.Data(), static_cast<size_t>(r->text.Length())));
                out += "@" + std::to_string(block.PositionAt(c)) + "/" + std::to_string(r->width);
                out += " ";
            } else if (c.Kind() == kItemFlowMark &&
                       block.Mark(c.counts[kItemFlowMark])->type == kMarkHyphen) {
                out += "(-" + std::to_string(block.Mark(c.counts[kItemFlowMark])->width) + ") ";
            }
        }
        return out;
    }

    BlockContents block;
    LayoutFonts fonts;
    BlockCursor start;
    BlockCursor stop;
};

}  // namespace

TEST_F(SplitTest, SyllableSplitAddsAHyphenAndTakesItsWidth) {
    Runs({u"gouvernement"});
    WordSplitter split(block, fonts, nullptr);
    int32_t available = 50;
    BlockCursor after;
    ASSERT_TRUE(split.HyphenateRun(9, start, stop, available, after));
    EXPECT_EQ(Items(), "gouver@100/36 (-6) nement@106/36 ");
    EXPECT_EQ(available, 50 - 36 - 6);
    ASSERT_EQ(after.Kind(), static_cast<uint32_t>(kItemTextRun));
    EXPECT_EQ(block.PositionAt(after), 106u);
    EXPECT_TRUE(block.CheckInvariants());
}

TEST_F(SplitTest, TheBreakMayFallInALaterRunOfTheWord) {
    Runs({u"gouver", u"nement"});
    WordSplitter split(block, fonts, nullptr);
    int32_t available = 60;
    BlockCursor after;
    ASSERT_TRUE(split.HyphenateRun(12, start, stop, available, after));
    EXPECT_EQ(Items(), "gouver@100/36 ne@106/12 (-6) ment@108/24 ");
    EXPECT_EQ(available, 60 - 48 - 6);
}

TEST_F(SplitTest, ExplicitHyphenBreaksAfterItWithoutAMark) {
    Runs({u"well-known"});
    WordSplitter split(block, fonts, nullptr);
    int32_t available = 50;
    BlockCursor after;
    ASSERT_TRUE(split.HyphenateRun(9, start, stop, available, after));
    EXPECT_EQ(Items(), "well-@100/30 known@105/30 ");
    EXPECT_EQ(available, 20);
}

TEST_F(SplitTest, NothingFitsNothingChanges) {
    Runs({u"gouvernement"});
    WordSplitter split(block, fonts, nullptr);
    int32_t available = 20;  // "gou" and a hyphen need 24
    BlockCursor after;
    EXPECT_FALSE(split.HyphenateRun(9, start, stop, available, after));
    EXPECT_EQ(available, 20);
    EXPECT_EQ(Items(), "gouvernement@100/72 ");
}

TEST_F(SplitTest, CjkTextIsNotHyphenatedButCutWithoutAMark) {
    Runs({u"gouvernement"});
    WordSplitter split(block, fonts, nullptr);
    int32_t available = 50;
    BlockCursor after;
    EXPECT_FALSE(split.HyphenateRun(17, start, stop, available, after));
    ASSERT_TRUE(split.BreakRun(17, start, stop, available, after));
    EXPECT_EQ(Items(), "gouverne@100/48 ment@108/24 ");
    EXPECT_EQ(available, 2);
}

TEST_F(SplitTest, LastResortCutAddsAHyphenOnlyAfterALetter) {
    Runs({u"abc123456"});
    WordSplitter split(block, fonts, nullptr);
    int32_t available = 40;  // five characters and a hyphen fit: the cut follows a digit
    BlockCursor after;
    ASSERT_TRUE(split.BreakRun(9, start, stop, available, after));
    EXPECT_EQ(Items(), "abc12@100/30 3456@105/24 ");
    EXPECT_EQ(available, 10);
}

TEST_F(SplitTest, ACutBeforeTheFirstCharacterIsRefused) {
    Runs({u"abcdef"});
    WordSplitter split(block, fonts, nullptr);
    int32_t available = 11;  // one character and a hyphen need 12
    BlockCursor after;
    EXPECT_FALSE(split.BreakRun(9, start, stop, available, after));
    EXPECT_EQ(available, 11);
    EXPECT_EQ(Items(), "abcdef@100/36 ");
}

TEST_F(SplitTest, NarrowColumnAdvancesAtLeastOneCharacterPerLine) {
    Runs({u"abcdefghij"});
    WordSplitter split(block, fonts, nullptr);
    BlockCursor from = start;
    int lines = 0;
    for (;;) {
        BlockCursor end = from;
        while (end.Kind() == kItemTextRun) end.Next();
        int32_t available = 13;
        BlockCursor after;
        if (!split.BreakRun(9, from, end, available, after)) break;
        ASSERT_GT(after.position, from.position);
        from = after;
        ASSERT_LT(++lines, 20);
    }
    EXPECT_EQ(lines, 9);
    EXPECT_EQ(Items(),
              "a@100/6 (-6) b@101/6 (-6) c@102/6 (-6) d@103/6 (-6) e@104/6 (-6) f@105/6 (-6) "
              "g@106/6 (-6) h@107/6 (-6) i@108/6 (-6) j@109/6 ");
}

namespace {

class HyphenatedLines : public fvt::test::WindowTest {};

}  // namespace

// The line filler splits the word that overflows a line that is at least a quarter free, and a
// word that opens a line is left whole.
TEST_F(HyphenatedLines, TheOverflowingWordIsSplitAtASyllable) {
    fvt::test::LayoutHost host(u"<html><body>le gouvernement fran\u00E7ais</body></html>", 60, 320,
                               12);
    std::vector<fvt::test::LaidOutPage> pages;
    ASSERT_TRUE(host.Paginate(pages));
    ASSERT_EQ(pages.size(), 1u);
    ASSERT_GE(pages[0].lines.size(), 2u);
    EXPECT_EQ(pages[0].lines[0], "le gou");
    EXPECT_EQ(pages[0].lines[1], "vernement");
    BlockContents& b = const_cast<BlockContents&>(host.PageContents(0));
    int hyphens = 0;
    for (int32_t i = 0; i < b.KindCount(kItemFlowMark); ++i)
        hyphens += b.Mark(i)->type == kMarkHyphen ? 1 : 0;
    EXPECT_EQ(hyphens, 1);
}

TEST_F(HyphenatedLines, ALineLessThanAQuarterFreeBreaksBeforeTheWord) {
    fvt::test::LayoutHost host(u"<html><body>abcdefgh gouvernement</body></html>", 60, 320, 12);
    std::vector<fvt::test::LaidOutPage> pages;
    ASSERT_TRUE(host.Paginate(pages));
    ASSERT_EQ(pages.size(), 1u);
    // The word, wider than the line it then opens, is hyphenated there.
    EXPECT_EQ(pages[0].lines, (std::vector<std::string>{"abcdefgh", "gouverne", "ment"}));
}

namespace {

int HyphenMarks(const BlockContents& block) {
    BlockContents& b = const_cast<BlockContents&>(block);
    int hyphens = 0;
    for (int32_t i = 0; i < b.KindCount(kItemFlowMark); ++i)
        hyphens += b.Mark(i)->type == kMarkHyphen ? 1 : 0;
    return hyphens;
}

}  // namespace

// A program listing keeps its lines and blanks, laid out with the system fonts: every source
// line is a line of its own, nothing is hyphenated, and a line too long for the page wraps
// only where it must, without a hyphen. Text around it is reflowed as ever.
TEST_F(HyphenatedLines, PreformattedTextKeepsItsLinesAndIsNeverHyphenated) {
    fvt::test::LayoutHost host(
        u"<html><body><p>le gouvernement fran\u00E7ais</p><pre>\n#include &lt;stdio.h&gt;\n\n"
        u"int main(void) {\n    return  0;\n}\n</pre><p>after</p></body></html>",
        240, 400, 12, true);
    std::vector<fvt::test::LaidOutPage> pages;
    ASSERT_TRUE(host.Paginate(pages));
    ASSERT_EQ(pages.size(), 1u);
    const std::vector<std::string>& lines = pages[0].lines;
    auto at = std::find(lines.begin(), lines.end(), "#include <stdio.h>");
    ASSERT_NE(at, lines.end()) << ::testing::PrintToString(lines);
    std::vector<std::string> listing(at, lines.end());
    // The empty source line is an empty line; the blanks of the indent and between "return"
    // and "0" are kept.
    std::vector<std::string> want = {"#include <stdio.h>", "", "int main(void) {",
                                     "    return  0;", "}", "after"};
    listing.erase(std::remove(listing.begin() + 2, listing.end(), std::string()), listing.end());
    EXPECT_EQ(listing, want) << ::testing::PrintToString(lines);
    EXPECT_EQ(HyphenMarks(host.PageContents(0)), 0);

    // At a width where prose would be hyphenated, a listing's words go over whole, and a word
    // wider than the line is cut without a hyphen.
    fvt::test::LayoutHost narrow(
        u"<html><body><pre>abcdefgh gouvernement\nxsltGetPlainNamespaceDeclarations();</pre>"
        u"</body></html>",
        80, 400, 12);
    ASSERT_TRUE(narrow.Paginate(pages));
    ASSERT_EQ(pages.size(), 1u);
    ASSERT_GE(pages[0].lines.size(), 3u);
    EXPECT_EQ(pages[0].lines[0], "abcdefgh");
    EXPECT_EQ(pages[0].lines[1], "gouvernement");
    EXPECT_EQ(HyphenMarks(narrow.PageContents(0)), 0);
    std::string joined;
    for (size_t i = 2; i < pages[0].lines.size(); ++i) joined += pages[0].lines[i];
    EXPECT_EQ(joined, "xsltGetPlainNamespaceDeclarations();");
}

// A word of characters outside the basic plane is cut between characters, never between the
// halves of one (each half alone would show as a replacement character).
TEST_F(SplitTest, ACutNeverFallsInsideASurrogatePair) {
    std::u16string word;
    for (int i = 0; i < 10; ++i) word += u"\U0001F600";
    int cuts = 0;
    for (int32_t width = 8; width < 140; width += 3) {
        block.Clear();
        Runs({word.c_str()});
        WordSplitter split(block, fonts, nullptr);
        int32_t available = width;
        BlockCursor after;
        if (!split.BreakRun(1, start, stop, available, after)) continue;
        ++cuts;
        const TextRun* first = block.Run(0);
        EXPECT_EQ(first->text.Length() % 2, 0) << width;
    }
    EXPECT_GT(cuts, 10);
}

// Addresses, paths, e-mail addresses and identifiers against prose.
TEST(CodeWords, WordsThatAreNotProseAreKnownByTheirCharacters) {
    for (const char16_t* w :
         {u"http://www.apache.org/licenses/", u"/usr/share/doc", u"C:\\Windows", u"a@b.org",
          u"my_identifier", u"buffer.kMaxLength", u"serializer.writeHeader()", u"zlib1.2",
          u"www.example.com", u"namespace:attribute", u"xsltGetPlainNamespace"}) {
        std::u16string word(w);
        EXPECT_TRUE(Hyphenation::IsCodeLike(word.data(), static_cast<int32_t>(word.size())))
            << Utf8(word);
    }
    // Capitals at the start or throughout, and punctuation at a word's end, are prose.
    for (const char16_t* w : {u"Hyphenation", u"LICENSE", u"following:", u"end.", u"(word)",
                              u"well-known", u"\u00E9t\u00E9"}) {
        std::u16string word(w);
        EXPECT_FALSE(Hyphenation::IsCodeLike(word.data(), static_cast<int32_t>(word.size())))
            << Utf8(word);
    }
}

// Only a '.', a ':' or a capital tells by its neighbours, and only with a letter on each side.
TEST(CodeWords, NeighboursCountOnlyAroundDotsColonsAndInnerCapitals) {
    auto code = [](std::u16string w) {
        return Hyphenation::IsCodeLike(w.data(), static_cast<int32_t>(w.size()));
    };
    EXPECT_TRUE(code(u"McIntosh"));
    EXPECT_TRUE(code(u"\u00E9t\u00E9Fait"));  // a capital after an accented lower-case
    EXPECT_TRUE(code(u"\u65E5.\u672C"));      // caseless letters around a dot
    EXPECT_TRUE(code(u"a:b"));
    EXPECT_FALSE(code(u"ab:"));      // nothing after it
    EXPECT_FALSE(code(u".ab"));      // nothing before it
    EXPECT_FALSE(code(u"a.-b"));     // a letter on one side only
    EXPECT_FALSE(code(u"endX"));     // a capital at the end
    EXPECT_FALSE(code(u"aB."));      // ... or before punctuation
    EXPECT_FALSE(code(u"NASAs"));    // a capital after a capital
    EXPECT_FALSE(code(u"O'Neill"));  // after an apostrophe
    EXPECT_FALSE(code(u"\u00C9mile"));
    EXPECT_FALSE(code(u""));
}

TEST(CodeWords, ProseEndingInAColonIsStillHyphenated) {
    // The piece before trailing punctuation stays whole, as for any word.
    EXPECT_EQ(Marked(u"hyphenation:"), u"hyphe-nation:");
}

// A web address wider than the line it opens breaks after its last '/' that fits, and gets no
// hyphen ("http://www.apache.org/l-icenses/" was the old cut).
TEST_F(SplitTest, AnAddressBreaksAfterASlashWithoutAHyphen) {
    Runs({u"http://www.apache.org/licenses/"});
    WordSplitter split(block, fonts, nullptr);
    int32_t available = 140;  // 23 characters; "http://www.apache.org/" is 22
    BlockCursor after;
    ASSERT_TRUE(split.BreakRun(9, start, stop, available, after));
    EXPECT_EQ(Items(), "http://www.apache.org/@100/132 licenses/@122/54 ");
    EXPECT_EQ(available, 8);
}

TEST_F(SplitTest, AnIdentifierBreaksAfterItsDot) {
    Runs({u"buffer.kMaxLength"});
    WordSplitter split(block, fonts, nullptr);
    int32_t available = 60;
    BlockCursor after;
    ASSERT_TRUE(split.BreakRun(9, start, stop, available, after));
    EXPECT_EQ(Items(), "buffer.@100/42 kMaxLength@107/60 ");
}

// Two slashes in a row stay together: the break comes after the pair, and when that does not
// fit the word is cut where the line ends, without a hyphen.
TEST_F(SplitTest, AnAddressNeverBreaksInsideAPairOfSlashes) {
    Runs({u"http://a.b/cd"});
    WordSplitter split(block, fonts, nullptr);
    int32_t available = 45;  // seven characters fit: "http://"
    BlockCursor after;
    ASSERT_TRUE(split.BreakRun(9, start, stop, available, after));
    EXPECT_EQ(Items(), "http://@100/42 a.b/cd@107/36 ");

    block.Clear();
    Runs({u"http://a.b/cd"});
    WordSplitter again(block, fonts, nullptr);
    available = 40;  // six fit: "http:/" would split the pair
    ASSERT_TRUE(again.BreakRun(9, start, stop, available, after));
    EXPECT_EQ(Items(), "http:@100/30 //a.b/cd@105/48 ");
}

// A break leaves two letters or digits at least on each side: "a.b" has no break point.
TEST_F(SplitTest, AnAddressDoesNotBreakNextToAOneLetterPart) {
    Runs({u"ab/c"});
    WordSplitter split(block, fonts, nullptr);
    int32_t available = 20;
    BlockCursor after;
    EXPECT_FALSE(split.HyphenateRun(9, start, stop, available, after));
    EXPECT_EQ(Items(), "ab/c@100/24 ");
}

// With a quarter of the line free, the next word is split at its own break point.
TEST_F(SplitTest, AnAddressAfterOtherWordsBreaksAfterASlashToo) {
    Runs({u"/usr/share/doc/zlib/README"});
    WordSplitter split(block, fonts, nullptr);
    int32_t available = 100;
    BlockCursor after;
    ASSERT_TRUE(split.HyphenateRun(9, start, stop, available, after));
    EXPECT_EQ(Items(), "/usr/share/doc/@100/90 zlib/README@115/66 ");
    EXPECT_EQ(available, 10);
}

TEST_F(SplitTest, AnIdentifierWithoutABreakPointIsCutWithoutAHyphen) {
    Runs({u"my_identifier_name"});
    WordSplitter split(block, fonts, nullptr);
    int32_t available = 60;
    BlockCursor after;
    EXPECT_FALSE(split.HyphenateRun(9, start, stop, available, after));
    ASSERT_TRUE(split.BreakRun(9, start, stop, available, after));
    EXPECT_EQ(Items(), "my_identi@100/54 fier_name@109/54 ");
}

// The cut of last resort keeps two letters on the next line rather than one.
TEST_F(SplitTest, LastResortCutLeavesTwoLettersOnEachSide) {
    Runs({u"abcdefghij"});
    WordSplitter split(block, fonts, nullptr);
    int32_t available = 60;  // nine letters and a hyphen fit, which would leave "j" alone
    BlockCursor after;
    ASSERT_TRUE(split.BreakRun(9, start, stop, available, after));
    EXPECT_EQ(Items(), "abcdefgh@100/48 (-6) ij@108/12 ");
}

TEST_F(SplitTest, AnExplicitHyphenAfterOneLetterIsNoBreak) {
    Runs({u"x-rays"});
    WordSplitter split(block, fonts, nullptr);
    int32_t available = 30;
    BlockCursor after;
    EXPECT_FALSE(split.HyphenateRun(9, start, stop, available, after));
    EXPECT_EQ(Items(), "x-rays@100/36 ");
}

// A soft hyphen takes no room and is the word's only break point: the line breaks after it
// with a hyphen mark (drawn as "-"), and never at a syllable of the word.
TEST_F(SplitTest, ASoftHyphenIsTheBreakPointAndTakesAHyphenMark) {
    Runs({u"super\u00ADcalifragilistic"});
    block.Run(0)->width = 6 * 20;
    WordSplitter split(block, fonts, nullptr);
    int32_t available = 60;
    BlockCursor after;
    ASSERT_TRUE(split.HyphenateRun(9, start, stop, available, after));
    EXPECT_EQ(Items(), "super\u00AD@100/30 (-6) califragilistic@106/90 ");
    EXPECT_EQ(available, 24);

    block.Clear();
    Runs({u"super\u00ADcalifragilistic"});
    WordSplitter again(block, fonts, nullptr);
    available = 30;  // the part before it and the hyphen do not fit: no syllable is tried
    EXPECT_FALSE(again.HyphenateRun(9, start, stop, available, after));
}

TEST(SoftHyphens, TakeNoWidthWhenMeasured) {
    LayoutFonts fonts;
    Size plain, soft, alone;
    ASSERT_TRUE(fonts.Measure(u"abcd", 4, plain));
    ASSERT_TRUE(fonts.Measure(u"ab\u00ADcd", 5, soft));
    ASSERT_TRUE(fonts.Measure(u"\u00AD", 1, alone));
    EXPECT_EQ(soft.width, plain.width);
    EXPECT_EQ(soft.height, plain.height);
    EXPECT_EQ(alone.width, 0);
}

// The widths the layout keeps per font (of characters, and of words measured lately) are the
// widths the context gives, whatever font was measured in between.
TEST(KeptWidths, EachFontKeepsTheWidthsTheContextGives) {
    fvt::test::TempDevice device;
    ASSERT_TRUE(device.ok());
    fvt::test::ContextCanvas* canvas = fvt::test::NewContextCanvas(240, 320, false);
    GraphicsContext* gc = fvt::test::CanvasContext(canvas);
    LayoutFonts kept;
    kept.Attach(gc);
    ASSERT_TRUE(kept.Begin());
    const std::u16string words[] = {u"harbour", u"Ishmael", u"W", u"i", u"ex\u00ADtra",
                                    u"\u00AD", u"averyveryverylongwordindeed", u"\u65E5\u672C",
                                    u"caf\u00E9", u"harbour"};
    struct Font {
        int8_t step;
        uint8_t style;
    };
    for (int round = 0; round < 3; ++round) {
        for (Font f : {Font{0, 0}, Font{6, 0}, Font{0, 1}, Font{-2, 2}}) {
            for (const std::u16string& w : words) {
                kept.Select(f.step, f.style, 0);
                Size a;
                ASSERT_TRUE(kept.Measure(w.data(), static_cast<int32_t>(w.size()), a));
                const int32_t firstChar = kept.CharWidth(w[0]);
                const int32_t hyphen = kept.HyphenWidth();
                LayoutFonts fresh;
                fresh.Attach(gc);
                fresh.Select(f.step, f.style, 0);
                Size b, c, h;
                ASSERT_TRUE(fresh.Measure(w.data(), static_cast<int32_t>(w.size()), b));
                fresh.Measure(w.data(), 1, c);
                fresh.Measure(u"-", 1, h);
                EXPECT_EQ(a.width, b.width) << Utf8(w) << " step " << int(f.step);
                EXPECT_EQ(a.height, b.height) << Utf8(w);
                EXPECT_EQ(firstChar, c.width) << Utf8(w);
                EXPECT_EQ(hyphen, h.width);
            }
        }
    }
    kept.End();
    fvt::test::DeleteContextCanvas(canvas);
}

// Text search: the streaming matcher, and forward and backward searches over plain and
// marked-up documents, across page ends, with case and whole-word options.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>
#include <string>

#include "../support/document/memory_document.h"
#include "../support/layout/byte_document.h"
#include "bookfiles/book_document.h"
#include "bookfiles/palm_database.h"
#include "document/markup/char_stream.h"
#include "document/markup/html_tokenizer.h"
#include "layout/search_state.h"
#include "layout/searcher.h"
#include "support/bookfiles/book_builder.h"

namespace {

String S(const std::u16string& s) {
    return String(s.data(), static_cast<int32_t>(s.size()));
}

// Feeds a whole text with one position per character; the first match, or -1.
int64_t FirstMatch(const std::u16string& pattern, const std::u16string& text, bool lowerCase,
                   bool wholeWord, uint32_t* end = nullptr) {
    SearchState state;
    if (!state.Set(S(pattern), lowerCase, wholeWord)) return -2;
    SearchMatch m;
    for (size_t i = 0; i < text.size(); ++i) {
        if (state.Feed(text[i], static_cast<uint32_t>(i), static_cast<uint32_t>(i + 1), m)) {
            if (end) *end = m.end;
            return m.start;
        }
    }
    if (state.Finish(m)) {
        if (end) *end = m.end;
        return m.start;
    }
    return -1;
}

class CountingProgress : public SearchProgress {
public:
    explicit CountingProgress(int allow) : allow_(allow) {}
    bool OnProgress(uint32_t) override { return calls++ < allow_; }
    int calls = 0;

private:
    int allow_;
};

}  // namespace

TEST(Matcher, RestartsOneCharacterAfterAFailedStart) {
    EXPECT_EQ(FirstMatch(u"aab", u"aaab", false, false), 1);
    EXPECT_EQ(FirstMatch(u"abab", u"abaababab", false, false), 3);
    uint32_t end = 0;
    EXPECT_EQ(FirstMatch(u"ab", u"xxab", false, false, &end), 2);
    EXPECT_EQ(end, 4u);
}

TEST(Matcher, EmptyPatternIsRefusedAndMatchesNothing) {
    SearchState state;
    EXPECT_FALSE(state.Set(String(), true, false));
    SearchMatch m;
    EXPECT_FALSE(state.Feed(u'a', 0, 1, m));
    EXPECT_FALSE(state.Finish(m));
}

TEST(Matcher, FoldsCaseOnlyWhenAsked) {
    EXPECT_EQ(FirstMatch(u"CAT", u"a Cat", true, false), 2);
    EXPECT_EQ(FirstMatch(u"CAT", u"a Cat", false, false), -1);
    EXPECT_EQ(FirstMatch(u"Cat", u"a Cat", false, false), 2);
    EXPECT_EQ(FirstMatch(u"\u00C9T\u00C9", u"un \u00E9t\u00E9 chaud", true, false), 3);
}

TEST(Matcher, WholeWordNeedsSeparatorsOnBothSides) {
    EXPECT_EQ(FirstMatch(u"cat", u"cats", false, true), -1);
    EXPECT_EQ(FirstMatch(u"cat", u"catcat", false, true), -1);
    EXPECT_EQ(FirstMatch(u"cat", u"catcat dog", false, true), -1);
    EXPECT_EQ(FirstMatch(u"cat", u"concat", false, true), -1);
    EXPECT_EQ(FirstMatch(u"cat", u"a cat sat", false, true), 2);
    EXPECT_EQ(FirstMatch(u"cat", u"cats and a cat.", false, true), 11);
    EXPECT_EQ(FirstMatch(u"cat", u"the cat", false, true), 4);  // at the end of the text
    EXPECT_EQ(FirstMatch(u"cat", u"cat", false, true), 0);
}

TEST(Matcher, WholeWordPatternMayHoldSpaces) {
    EXPECT_EQ(FirstMatch(u"a cat", u"la cat, a cat", false, true), 8);
    EXPECT_EQ(FirstMatch(u"cat ", u"concat cat sat", false, true), 7);
}

TEST(Matcher, OverlappingOccurrencesAreAllReported) {
    SearchState state;
    ASSERT_TRUE(state.Set(S(u"aa"), false, false));
    std::u16string text = u"aaaa";
    std::vector<uint32_t> starts;
    SearchMatch m;
    for (uint32_t i = 0; i < text.size(); ++i)
        if (state.Feed(text[i], i, i + 1, m)) starts.push_back(m.start);
    EXPECT_EQ(starts, (std::vector<uint32_t>{0, 1, 2}));
}

TEST(Forward, FirstThenNextWalkTheDocument) {
    MemoryDocument doc(u"one cat, two cat, three cat", 8, 1);
    PlainSearcher s;
    s.SetSource(&doc);
    uint32_t mode = kSearchFirst;
    uint32_t start = 0, end = 0xFFFFFFFFu, found = 0;
    ASSERT_EQ(s.Search(S(u"cat"), start, end, found, false, true, mode), kSearchFound);
    EXPECT_EQ(found, 4u);
    EXPECT_EQ(start, 7u);
    EXPECT_EQ(mode, static_cast<uint32_t>(kSearchNext));
    ASSERT_EQ(s.Search(S(u"cat"), start, end, found, false, true, mode), kSearchFound);
    EXPECT_EQ(found, 13u);  // spans the page end at 16? no: 13..16
    ASSERT_EQ(s.Search(S(u"cat"), start, end, found, false, true, mode), kSearchFound);
    EXPECT_EQ(found, 24u);
    EXPECT_EQ(s.Search(S(u"cat"), start, end, found, false, true, mode), kSearchNotFound);
    EXPECT_EQ(doc.LivePages(), 0u);
    EXPECT_EQ(doc.badReleases, 0u);
}

TEST(Forward, MatchesAcrossPageEnds) {
    for (uint32_t page = 1; page <= 9; ++page) {
        MemoryDocument doc(u"abcdefghij", page, 1);
        PlainSearcher s;
        s.SetSource(&doc);
        uint32_t ms = 0, me = 0;
        ASSERT_EQ(s.Find(S(u"defg"), 0, 0xFFFFFFFFu, ms, me, false, false), kSearchFound) << page;
        EXPECT_EQ(ms, 3u);
        EXPECT_EQ(me, 7u);
        EXPECT_EQ(doc.LivePages(), 0u);
    }
}

TEST(Forward, AMatchMustStartBeforeTheRangeEnd) {
    MemoryDocument doc(u"xx cat cat", 4096, 1);
    PlainSearcher s;
    s.SetSource(&doc);
    uint32_t ms = 0, me = 0;
    ASSERT_EQ(s.Find(S(u"cat"), 0, 4, ms, me, false, false), kSearchFound);
    EXPECT_EQ(ms, 3u);
    EXPECT_EQ(me, 6u);
    EXPECT_EQ(s.Find(S(u"cat"), 4, 7, ms, me, false, false), kSearchNotFound);
    EXPECT_EQ(s.Find(S(u"cat"), 7, 3, ms, me, false, false), kSearchNotFound);
}

TEST(Forward, WholeWordLooksAtTheCharacterBeforeTheRange) {
    MemoryDocument doc(u"concat cat", 4096, 1);
    PlainSearcher s;
    s.SetSource(&doc);
    uint32_t ms = 0, me = 0;
    ASSERT_EQ(s.Find(S(u"cat"), 3, 0xFFFFFFFFu, ms, me, true, false), kSearchFound);
    EXPECT_EQ(ms, 7u);
}

TEST(Backward, LastThenPreviousWalkBackToTheStart) {
    MemoryDocument doc(u"cat a cat b cat c", 64, 1);
    PlainSearcher s;
    s.SetSource(&doc);
    uint32_t mode = kSearchLast;
    uint32_t start = 0, end = 0, found = 0;
    ASSERT_EQ(s.Search(S(u"cat"), start, end, found, false, false, mode), kSearchFound);
    EXPECT_EQ(found, 12u);  // several on one page: the last
    EXPECT_EQ(mode, static_cast<uint32_t>(kSearchPrevious));
    ASSERT_EQ(s.Search(S(u"cat"), start, end, found, false, false, mode), kSearchFound);
    EXPECT_EQ(found, 6u);
    ASSERT_EQ(s.Search(S(u"cat"), start, end, found, false, false, mode), kSearchFound);
    EXPECT_EQ(found, 0u);
    EXPECT_EQ(s.Search(S(u"cat"), start, end, found, false, false, mode), kSearchNotFound);
    EXPECT_EQ(doc.LivePages(), 0u);
}

TEST(Backward, FindsAMatchSpanningAPageEnd) {
    MemoryDocument doc(u"xxxxxcat yyyyyyy", 7, 1);  // "cat" at 5..8 crosses the end at 7
    PlainSearcher s;
    s.SetSource(&doc);
    uint32_t mode = kSearchLast;
    uint32_t start = 0, end = 0, found = 0;
    ASSERT_EQ(s.Search(S(u"cat"), start, end, found, false, false, mode), kSearchFound);
    EXPECT_EQ(found, 5u);
}

TEST(Backward, OverlappingAndWholeWordMatches) {
    MemoryDocument doc(u"aaaa", 2, 1);
    PlainSearcher s;
    s.SetSource(&doc);
    uint32_t mode = kSearchLast;
    uint32_t start = 0, end = 0, found = 0;
    ASSERT_EQ(s.Search(S(u"aa"), start, end, found, false, false, mode), kSearchFound);
    EXPECT_EQ(found, 2u);

    MemoryDocument words(u"a cat, cats, concat", 5, 1);
    s.SetSource(&words);
    mode = kSearchLast;
    ASSERT_EQ(s.Search(S(u"cat"), start, end, found, true, false, mode), kSearchFound);
    EXPECT_EQ(found, 2u);
}

TEST(Cancel, ProgressStopsBothDirections) {
    std::u16string text(20000, u'x');
    text += u"needle";
    MemoryDocument doc(text, 4096, 1);
    PlainSearcher s;
    s.SetSource(&doc);
    CountingProgress stop(1);
    s.SetProgress(&stop);
    uint32_t mode = kSearchFirst;
    uint32_t start = 0, end = 0, found = 0;
    EXPECT_EQ(s.Search(S(u"needle"), start, end, found, false, false, mode), kSearchCancelled);
    EXPECT_EQ(mode, static_cast<uint32_t>(kSearchFirst));
    CountingProgress stop2(0);
    s.SetProgress(&stop2);
    mode = kSearchLast;
    EXPECT_EQ(s.Search(S(u"x"), start, end, found, false, false, mode), kSearchCancelled);
    EXPECT_EQ(mode, static_cast<uint32_t>(kSearchLast));
    EXPECT_EQ(doc.LivePages(), 0u);

    CountingProgress go(1000000);
    s.SetProgress(&go);
    mode = kSearchFirst;
    ASSERT_EQ(s.Search(S(u"needle"), start, end, found, false, false, mode), kSearchFound);
    EXPECT_EQ(found, 20000u);
    EXPECT_GT(go.calls, 1);
}

TEST(Cancel, EmptyPatternIsNotFoundInEveryMode) {
    MemoryDocument doc(u"some text", 4, 1);
    for (bool indexed : {false, true}) {
        std::unique_ptr<Searcher> s(Searcher::Create(&doc, indexed));
        ASSERT_TRUE(s);
        for (uint32_t m0 : {0u, 1u, 2u, 3u}) {
            uint32_t mode = m0;
            uint32_t start = 0, end = 5, found = 0;
            EXPECT_EQ(s->Search(String(), start, end, found, false, true, mode), kSearchNotFound);
            EXPECT_EQ(mode, m0);
        }
    }
}

TEST(Positions, MultiByteTextReportsBytePositions) {
    ByteDocument doc(u"caf\u00E9 au lait, \u00E9t\u00E9 \u2014 caf\u00E9 noir", 5);
    PlainSearcher s;
    s.SetSource(&doc);
    uint32_t ms = 0, me = 0;
    ASSERT_EQ(s.Find(S(u"noir"), 0, 0xFFFFFFFFu, ms, me, false, false), kSearchFound);
    EXPECT_EQ(ms, doc.At(25));
    EXPECT_EQ(me, doc.At(29));
    ASSERT_EQ(s.Find(S(u"\u00C9T\u00C9"), 0, 0xFFFFFFFFu, ms, me, true, true), kSearchFound);
    EXPECT_EQ(ms, doc.At(14));
    EXPECT_EQ(me, doc.At(17));
    uint32_t mode = kSearchLast;
    uint32_t start = 0, end = 0, found = 0;
    ASSERT_EQ(s.Search(S(u"caf\u00E9"), start, end, found, true, true, mode), kSearchFound);
    EXPECT_EQ(found, doc.At(20));
    ASSERT_EQ(s.Search(S(u"caf\u00E9"), start, end, found, true, true, mode), kSearchFound);
    EXPECT_EQ(found, 0u);
    EXPECT_EQ(doc.LivePages(), 0u);
    EXPECT_EQ(doc.badReleases, 0u);
}

TEST(Indexed, TagsCountAsNothingAndReferencesAsTheirCharacters) {
    std::u16string html = u"<p>The <b>c</b>at &amp; the dog</p>";
    MemoryDocument doc(html, 8, 2);
    std::unique_ptr<Searcher> s(Searcher::Create(&doc, true));
    ASSERT_TRUE(dynamic_cast<IndexedSearcher*>(s.get()));
    uint32_t ms = 0, me = 0;
    ASSERT_EQ(s->Find(S(u"cat"), 0, 0xFFFFFFFFu, ms, me, true, true), kSearchFound);
    EXPECT_EQ(ms, html.find(u"c</b>"));
    EXPECT_EQ(me, html.find(u"at ") + 2);
    ASSERT_EQ(s->Find(S(u"& the"), 0, 0xFFFFFFFFu, ms, me, false, true), kSearchFound);
    EXPECT_EQ(ms, html.find(u"&amp;"));
    EXPECT_EQ(me, html.find(u" dog"));
    ASSERT_EQ(s->Find(S(u"dog"), 0, 0xFFFFFFFFu, ms, me, true, true), kSearchFound);
    EXPECT_EQ(ms, html.find(u"dog"));
    EXPECT_EQ(me, html.find(u"</p>"));
    EXPECT_EQ(s->Find(S(u"amp"), 0, 0xFFFFFFFFu, ms, me, false, true), kSearchNotFound);
    EXPECT_EQ(doc.LivePages(), 0u);
}

TEST(Indexed, ScriptTextAndMarkupAreNotSearched) {
    std::u16string html = u"<p>a</p><script>var hidden = 1;</script><p>b <i>x</i></p>";
    MemoryDocument doc(html, 4096, 2);
    IndexedSearcher s;
    s.SetSource(&doc);
    uint32_t ms = 0, me = 0;
    EXPECT_EQ(s.Find(S(u"hidden"), 0, 0xFFFFFFFFu, ms, me, false, true), kSearchNotFound);
    EXPECT_EQ(s.Find(S(u"script"), 0, 0xFFFFFFFFu, ms, me, false, true), kSearchNotFound);
    ASSERT_EQ(s.Find(S(u"x"), 0, 0xFFFFFFFFu, ms, me, true, true), kSearchFound);
    EXPECT_EQ(ms, html.find(u"x<"));
}

TEST(Indexed, BackwardSearchOverMarkup) {
    std::u16string html = u"<p>cat</p><p>one <b>cat</b> two</p><p>cats</p>";
    MemoryDocument doc(html, 6, 2);
    IndexedSearcher s;
    s.SetSource(&doc);
    uint32_t mode = kSearchLast;
    uint32_t start = 0, end = 0, found = 0;
    ASSERT_EQ(s.Search(S(u"cat"), start, end, found, true, true, mode), kSearchFound);
    EXPECT_EQ(found, html.find(u"cat</b>"));
    ASSERT_EQ(s.Search(S(u"cat"), start, end, found, true, true, mode), kSearchFound);
    EXPECT_EQ(found, 3u);
    EXPECT_EQ(s.Search(S(u"cat"), start, end, found, true, true, mode), kSearchNotFound);
    EXPECT_EQ(doc.LivePages(), 0u);
}

namespace {

bool IsSep(char16_t c) {
    return SearchState::IsSeparator(c);
}

// The first match starting in [from, to) by brute force: every start tried, whole words
// checked by the characters around the match.
int64_t Reference(const std::u16string& text, const std::u16string& pattern, size_t from, size_t to,
                  bool wholeWord) {
    for (size_t s = from; s < to && s + pattern.size() <= text.size(); ++s) {
        if (text.compare(s, pattern.size(), pattern) != 0) continue;
        if (wholeWord) {
            bool before = s == 0 || IsSep(text[s - 1]) || IsSep(pattern.front());
            size_t e = s + pattern.size();
            bool after = e == text.size() || IsSep(text[e]) || IsSep(pattern.back());
            if (!before || !after) continue;
        }
        return static_cast<int64_t>(s);
    }
    return -1;
}

}  // namespace

TEST(Equivalence, ForwardAndBackwardAgreeWithBruteForce) {
    const char16_t alphabet[] = u"ab .";
    uint32_t seed = 7;
    auto next = [&seed](uint32_t n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % n;
    };
    for (int round = 0; round < 400; ++round) {
        std::u16string text;
        size_t len = next(60);
        for (size_t i = 0; i < len; ++i) text += alphabet[next(4)];
        std::u16string pattern;
        size_t plen = 1 + next(4);
        for (size_t i = 0; i < plen; ++i) pattern += alphabet[next(3)];
        bool wholeWord = next(2) == 1;
        MemoryDocument doc(text, 1 + next(9), 1);
        PlainSearcher s;
        s.SetSource(&doc);
        // Forward, match after match.
        uint32_t start = 0;
        for (;;) {
            int64_t want = Reference(text, pattern, start, text.size(), wholeWord);
            uint32_t ms = 0, me = 0;
            SearchResult r = s.Find(S(pattern), start, 0xFFFFFFFFu, ms, me, wholeWord, false);
            ASSERT_EQ(r == kSearchFound, want >= 0) << round;
            if (want < 0) break;
            ASSERT_EQ(ms, static_cast<uint32_t>(want)) << round;
            ASSERT_EQ(me, ms + plen);
            start = ms + 1;
        }
        // Backward from the end: the last start before each end in turn.
        uint32_t mode = kSearchLast;
        uint32_t end = 0, found = 0, unused = 0;
        size_t limit = text.size();
        for (int guard = 0; guard < 100; ++guard) {
            int64_t want = -1;
            for (size_t p = 0; p < limit; ++p)
                if (Reference(text, pattern, p, p + 1, wholeWord) >= 0)
                    want = static_cast<int64_t>(p);
            SearchResult r = s.Search(S(pattern), unused, end, found, wholeWord, false, mode);
            ASSERT_EQ(r == kSearchFound, want >= 0) << round;
            if (want < 0) break;
            ASSERT_EQ(found, static_cast<uint32_t>(want)) << round;
            limit = found;
        }
        EXPECT_EQ(doc.LivePages(), 0u);
    }
}

namespace {

// A book over bytes the test keeps, its text in 4096-byte records.
struct BookOver {
    Bytes file;
    std::unique_ptr<PalmDatabase> db;
    BookDocument book;
    bool open = false;
    explicit BookOver(BookBuilder b) : file(b.Build()) {
        int error = 0;
        db.reset(PalmDatabase::OpenView(file.data(), file.size(), &error));
        open = db && book.Open(db.get(), 0, b.codePage, 65002) == 0;
    }
};

Bytes Latin(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

}  // namespace

TEST(Records, MatchesAcrossTheTextRecordsOfABook) {
    std::string text(4093, 'x');
    text[1000] = ' ';
    text += " needle in the second record, and a needle at the end";
    for (uint32_t compression : {1u, 2u}) {
        BookBuilder b;
        b.text = Latin(text);
        b.compression = compression;
        BookOver over(b);
        ASSERT_TRUE(over.open);
        PlainSearcher s;
        s.SetSource(&over.book);
        uint32_t mode = kSearchFirst;
        uint32_t start = 0, end = 0, found = 0;
        ASSERT_EQ(s.Search(S(u"needle"), start, end, found, true, true, mode), kSearchFound);
        EXPECT_EQ(found, 4094u);  // starts in the first record, ends in the second
        mode = kSearchLast;
        ASSERT_EQ(s.Search(S(u"NEEDLE"), start, end, found, true, true, mode), kSearchFound);
        EXPECT_EQ(found, static_cast<uint32_t>(text.rfind("needle")));
        ASSERT_EQ(s.Search(S(u"needle"), start, end, found, true, true, mode), kSearchFound);
        EXPECT_EQ(found, 4094u);
        EXPECT_EQ(s.Search(S(u"needle"), start, end, found, true, true, mode), kSearchNotFound);
    }
}

TEST(Records, MultiByteBookPositionsAreBytes) {
    // "\xC3\xA9" is é: each takes two positions of the book.
    std::string text = "x";  // the record end then falls inside a character
    for (int i = 0; i < 2100; ++i) text += "\xC3\xA9";
    text += " caf\xC3\xA9 cr\xC3\xA8me";
    BookBuilder b;
    b.text = Latin(text);
    b.codePage = 65001;
    BookOver over(b);
    ASSERT_TRUE(over.open);
    PlainSearcher s;
    s.SetSource(&over.book);
    uint32_t ms = 0, me = 0;
    ASSERT_EQ(s.Find(S(u"caf\u00E9 cr\u00E8me"), 0, 0xFFFFFFFFu, ms, me, true, false),
              kSearchFound);
    EXPECT_EQ(ms, static_cast<uint32_t>(text.find("caf")));
    EXPECT_EQ(me, static_cast<uint32_t>(text.size()));
    // Backward, over the record end that falls inside a character: every é counts once.
    uint32_t mode = kSearchLast;
    uint32_t start = 0, end = 0, found = 0;
    ASSERT_EQ(s.Search(S(u"\u00E9\u00E9"), start, end, found, false, false, mode), kSearchFound);
    EXPECT_EQ(found, static_cast<uint32_t>(text.rfind("\xC3\xA9\xC3\xA9")));
    // Down across the record end at 4096: each match one character before the last.
    for (uint32_t want = found - 2; want > 4000; want -= 2) {
        ASSERT_EQ(s.Search(S(u"\u00E9\u00E9"), start, end, found, false, false, mode),
                  kSearchFound);
        ASSERT_EQ(found, want);
    }
}

TEST(Records, TokenPositionsInAUtf8BookAreItsBytePositions) {
    // Two-byte é and three-byte € before and across the record end at 4096.
    std::string text = "<p>";
    while (text.size() < 4090) text += "caf\xC3\xA9 \xE2\x82\xAC ";
    text += "cr\xC3\xA8me br\xC3\xBB" "l\xC3\xA9" "e</p>";
    BookBuilder b;
    b.text = Latin(text);
    b.codePage = 65001;
    BookOver over(b);
    ASSERT_TRUE(over.open);
    // A character count within a page moves by whole characters, however many bytes each.
    EXPECT_EQ(over.book.Advance(3, 4, 0), 3u + 5u);
    EXPECT_EQ(over.book.Distance(3, 3 + 5, 0), 4);
    EXPECT_EQ(over.book.Advance(3 + 5, -4, 0), 3u);

    CharStream stream;
    stream.Attach(&over.book, 0);
    stream.SetPosition(3);
    char16_t c = 0;
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(stream.NextChar(c));  // "café"
    EXPECT_EQ(stream.GetPosition(), 3u + 5u);
    // Set at a byte position, the stream reads the character that starts there.
    uint32_t creme = static_cast<uint32_t>(text.find("cr\xC3\xA8me"));
    stream.SetPosition(creme + 2);
    ASSERT_TRUE(stream.NextChar(c));
    EXPECT_EQ(c, u'\u00E8');
    EXPECT_EQ(stream.GetPosition(), creme + 4);

    // The tokenizer reports every word at the byte position where it starts in the book.
    HtmlTokenizer tokens;
    tokens.Attach(&over.book, 0);
    ASSERT_TRUE(tokens.Start(0, false));
    uint32_t words = 0;
    for (int guard = 0; guard < 10000; ++guard) {
        uint32_t at = 0;
        ASSERT_TRUE(tokens.GetPosition(at));
        uint32_t kind = tokens.NextToken();
        if (kind == kTokenEnd) break;
        if (kind != kTokenText) continue;
        const String& word = tokens.Text();
        ASSERT_GT(word.Length(), 0);
        char16_t first = word.Data()[0];
        // Only ASCII first letters here: the byte there is the letter itself.
        if (first < 0x80) {
            ASSERT_EQ(static_cast<char16_t>(static_cast<unsigned char>(text[at])), first)
                << "word " << words << " at " << at;
        }
        ++words;
    }
    EXPECT_GT(words, 800u);
}

namespace {

// Every match of a pattern, walking forward (first, then next) and backward (last, then
// previous) through the searcher as the Find dialog does.
std::vector<uint32_t> Walk(Searcher& s, const std::u16string& pattern, bool wholeWord,
                           bool backward) {
    std::vector<uint32_t> out;
    uint32_t mode = backward ? kSearchLast : kSearchFirst;
    uint32_t start = 0, end = 0xFFFFFFFFu, found = 0;  // next: on to the document's end
    for (int guard = 0; guard < 100000; ++guard) {
        if (s.Search(S(pattern), start, end, found, wholeWord, true, mode) != kSearchFound) break;
        out.push_back(found);
    }
    if (backward) std::reverse(out.begin(), out.end());
    return out;
}

// Marked-up text of `paragraphs` paragraphs, with references, comments, a script and long
// stretches of words without a tag, its page ends falling anywhere.
std::u16string Markup(int paragraphs, bool tags) {
    const char16_t* words[] = {u"the",   u"harbour", u"was",  u"quiet",   u"whale",
                               u"sea",   u"caf&eacute;", u"whales", u"x&amp;y", u"seaside"};
    std::u16string text;
    uint32_t seed = 3;
    for (int p = 0; p < paragraphs; ++p) {
        if (tags) text += p % 7 == 3 ? u"<!-- a sea <b> whale -->" : u"<p>";
        if (tags && p % 11 == 5) text += u"<script>var whale = '<b>sea</b>';</script>";
        int n = 20 + static_cast<int>(seed % 40);
        for (int w = 0; w < n; ++w) {
            seed = seed * 1103515245u + 12345u;
            text += words[(seed >> 16) % 10];
            text += (seed >> 8) % 9 == 0 ? u"\n" : u" ";
            if (tags && (seed >> 12) % 23 == 0) text += u"<i>sea</i>";
        }
        if (tags) text += u"</p>\n";
    }
    return text;
}

}  // namespace

TEST(Indexed, BackwardFindsWhatForwardFindsInMarkupAndInTextWithoutTags) {
    for (bool tags : {true, false}) {
        std::u16string html = Markup(150, tags);
        ASSERT_GT(html.size(), 8000u);  // token boundaries are kept every 2048 characters
        for (uint32_t pageSize : {97u, 4096u}) {
            for (bool wholeWord : {false, true}) {
                for (const char16_t* pattern : {u"whale", u"sea", u"caf\u00e9 the", u"x&y"}) {
                    MemoryDocument doc(html, pageSize, 2);
                    IndexedSearcher s;
                    s.SetSource(&doc);
                    std::vector<uint32_t> forward = Walk(s, pattern, wholeWord, false);
                    std::vector<uint32_t> backward = Walk(s, pattern, wholeWord, true);
                    EXPECT_FALSE(forward.empty());
                    EXPECT_EQ(backward, forward)
                        << "tags " << tags << " page " << pageSize << " whole " << wholeWord;
                    EXPECT_EQ(doc.LivePages(), 0u);
                }
            }
        }
    }
}

TEST(Indexed, SearchingBackwardThroughTextWithoutTagsReadsItOnce) {
    // Each page going back used to read on to the next tag, here the document's end.
    std::u16string html = Markup(1500, false);
    MemoryDocument forwardDoc(html, 1024, 2), backwardDoc(html, 1024, 2);
    IndexedSearcher forward, backward;
    forward.SetSource(&forwardDoc);
    backward.SetSource(&backwardDoc);
    // A word that is not there: both walks read the whole document.
    std::vector<uint32_t> f = Walk(forward, u"leviathan", false, false);
    std::vector<uint32_t> b = Walk(backward, u"leviathan", false, true);
    EXPECT_TRUE(f.empty());
    EXPECT_TRUE(b.empty());
    // Reading back page by page costs about what one read forward does.
    EXPECT_LE(backwardDoc.reads, 2 * forwardDoc.reads);
}

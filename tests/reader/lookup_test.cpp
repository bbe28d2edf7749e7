#include "reader/lookup.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "bookfiles/palm_database.h"
#include "support/bookfiles/index_fixture.h"

namespace {

// One fixture dictionary: its book bytes and where its tables are.
struct Book {
    Bytes bytes;
    std::uint32_t table = IndexTableHandle::kNone;
    std::uint32_t inflections = IndexTableHandle::kNone;
    std::uint32_t naming = IndexTableHandle::kNone;
    std::uint32_t keys = IndexTableHandle::kNone;
};

struct OpenedBook {
    std::unique_ptr<PalmDatabase> db;
};

// Tables that hold their database; counted so that tests see every book released.
struct CountedTables : OpenedBook, DictionaryTables {
    explicit CountedTables(int* live) : live_(live) { ++*live_; }
    ~CountedTables() override { --*live_; }
    int* live_;
};

class FixtureSource : public DictionarySource {
public:
    std::map<std::uint32_t, Book> books;
    int live = 0;
    int opens = 0;

    std::shared_ptr<DictionaryTables> OpenDictionaryTables(std::uint32_t dictionary) override {
        ++opens;
        auto it = books.find(dictionary);
        if (it == books.end()) return nullptr;
        const Book& b = it->second;
        auto t = std::make_shared<CountedTables>(&live);
        int error = 0;
        t->db.reset(PalmDatabase::OpenView(b.bytes.data(), b.bytes.size(), &error));
        if (!t->db || !t->table.Open(t->db.get(), b.table, b.inflections, b.naming)) return nullptr;
        if (b.keys != IndexTableHandle::kNone) t->keyTable.Open(t->db.get(), b.keys);
        t->title = u"dictionary " + std::u16string(1, char16_t(u'0' + dictionary));
        return t;
    }
};

// An English dictionary where "mice" is a form of "mouse".
Book English() {
    PdbBuilder pdb;
    pdb.Add(ToBytes("record zero"));
    IndexWriter dict;
    for (const char16_t* w : {u"mouse", u"dog", u"bank", u"bank", u"walk"}) dict.Add(w, {});
    Book b;
    EXPECT_TRUE(AddIndexTable(dict, &pdb, &b.table));
    IndexWriter inflex;
    inflex.Add(u"mice", {{1, {dict.SortedNumbers()[0]}}});
    EXPECT_TRUE(AddIndexTable(inflex, &pdb, &b.inflections));
    b.bytes = pdb.Build();
    return b;
}

Book French() {
    PdbBuilder pdb;
    pdb.Add(ToBytes("record zero"));
    IndexWriter dict;
    dict.language = 12;
    for (const char16_t* w : {u"chien", u"banque", u"souris"}) dict.Add(w, {});
    Book b;
    EXPECT_TRUE(AddIndexTable(dict, &pdb, &b.table));
    b.bytes = pdb.Build();
    return b;
}

// A Japanese dictionary: `head` is a key of its own; with `reading`, its key table sends that
// reading through the naming table to the head entry.
Book Japanese(const std::u16string& head, const std::u16string& reading) {
    PdbBuilder pdb;
    pdb.Add(ToBytes("record zero"));
    IndexWriter dict;
    dict.codePage = 65002;
    dict.language = 17;
    dict.Add(head, {});
    dict.Add(u"月", {});
    Book b;
    EXPECT_TRUE(AddIndexTable(dict, &pdb, &b.table));
    if (!reading.empty()) {
        IndexWriter naming;
        naming.codePage = 65002;
        naming.Add(u"n0", {{1, {dict.SortedNumbers()[0]}}});
        EXPECT_TRUE(AddIndexTable(naming, &pdb, &b.naming));
        IndexWriter keys;
        keys.codePage = 65002;
        keys.Add(reading, {{5, {0}}});
        EXPECT_TRUE(AddIndexTable(keys, &pdb, &b.keys));
    }
    b.bytes = pdb.Build();
    return b;
}

struct Search {
    std::vector<std::uint32_t> list;
    std::vector<LookupEntry> entries;
    std::vector<LookupMatch> matches;
    std::shared_ptr<DictionaryTables> kept;
    bool ok = false;

    Search(FixtureSource& s, std::vector<std::uint32_t> dictionaries, const std::u16string& word,
           bool inflect = true)
        : list(std::move(dictionaries)) {
        ok = Lookup::BuildLookupResults(s, &list, word, inflect, &entries, &matches, &kept);
    }
    Lookup::Outcome Outcome() const {
        return Lookup::ChooseOutcome(list, entries, matches.size(), kept != nullptr);
    }
};

TEST(LookupSearchTest, ExactAndInflectedHitsInOneDictionary) {
    FixtureSource s;
    s.books[0] = English();
    {
        Search exact(s, {0}, u"dog");
        EXPECT_TRUE(exact.ok);
        ASSERT_EQ(1u, exact.matches.size());
        EXPECT_EQ(0u, exact.matches[0].dictionary);
        EXPECT_EQ(3u, exact.matches[0].length);
        EXPECT_EQ(1u, exact.entries[0].count);
        EXPECT_EQ(u"dictionary 0", exact.entries[0].title);
        EXPECT_EQ(Lookup::Outcome::kOpenEntry, exact.Outcome());
        ASSERT_TRUE(exact.kept);
        EXPECT_EQ(2, exact.kept->table.Table().EntryFromPosition(exact.matches[0].position));

        Search inflected(s, {0}, u"mice");
        ASSERT_EQ(1u, inflected.matches.size());
        EXPECT_EQ(3,
                  inflected.kept->table.Table().EntryFromPosition(inflected.matches[0].position));

        Search walked(s, {0}, u"walked");
        EXPECT_EQ(1u, walked.matches.size());

        Search twoBanks(s, {0}, u"bank");
        EXPECT_EQ(2u, twoBanks.entries[0].count);
        EXPECT_EQ(Lookup::Outcome::kLookupPage, twoBanks.Outcome());
    }
    EXPECT_EQ(0, s.live);
}

TEST(LookupSearchTest, WildcardsAndCjkTurnInflectionOff) {
    FixtureSource s;
    s.books[0] = English();
    Search plain(s, {0}, u"mice", false);
    EXPECT_FALSE(plain.ok);
    EXPECT_TRUE(Lookup::HoldsWildcard(u"mic?"));
    EXPECT_TRUE(Lookup::HoldsWildcard(u"mi\uFF0A"));
    EXPECT_FALSE(Lookup::HoldsWildcard(u"mice"));
    EXPECT_TRUE(Lookup::HoldsCjk(u"a日"));
    EXPECT_FALSE(Lookup::HoldsCjk(u"souris"));
    // "walk?" would be "walk" by the "-?" nothing rule; with a wildcard no rule applies.
    Search wild(s, {0}, u"walked*");
    EXPECT_TRUE(wild.matches.empty());
    // A CJK word is not searched in an alphabetic dictionary at all.
    Search cjk(s, {0}, u"日");
    EXPECT_FALSE(cjk.ok);
    EXPECT_TRUE(cjk.matches.empty());
    EXPECT_EQ(Lookup::Outcome::kNoMatchKept, cjk.Outcome());
}

TEST(LookupSearchTest, MatchesInSeveralDictionariesKeepNoBook) {
    FixtureSource s;
    s.books[0] = English();
    s.books[1] = French();
    s.books[2] = English();
    {
        Search one(s, {1, 0}, u"dog");
        EXPECT_TRUE(one.ok);
        ASSERT_EQ(2u, one.entries.size());
        EXPECT_EQ(0u, one.entries[0].count);
        EXPECT_EQ(1u, one.entries[1].count);
        ASSERT_TRUE(one.kept);  // the only dictionary with matches
        EXPECT_EQ(u"dictionary 0", one.kept->title);
        // A later dictionary without matches does not let go of the one that has them: its
        // entry is still opened.
        Search first(s, {0, 1}, u"dog");
        ASSERT_EQ(2u, first.entries.size());
        EXPECT_EQ(1u, first.entries[0].count);
        EXPECT_EQ(0u, first.entries[1].count);
        ASSERT_TRUE(first.kept);
        EXPECT_EQ(u"dictionary 0", first.kept->title);
        EXPECT_EQ(Lookup::Outcome::kOpenEntry, first.Outcome());

        Search both(s, {0, 2}, u"bank");
        EXPECT_EQ(4u, both.matches.size());
        EXPECT_FALSE(both.kept);
        EXPECT_EQ(Lookup::Outcome::kResultsPopup, both.Outcome());
        // Matches of one dictionary lie together, in the order of the entries.
        EXPECT_EQ(0u, both.matches[1].dictionary);
        EXPECT_EQ(2u, both.matches[2].dictionary);
    }
    EXPECT_EQ(0, s.live);
}

TEST(LookupSearchTest, DictionariesThatDoNotOpenAreMarkedAndSkipped) {
    FixtureSource s;
    s.books[1] = French();
    Search search(s, {7, 1}, u"chien");
    EXPECT_EQ(Lookup::kNoDictionary, search.list[0]);
    EXPECT_EQ(1u, search.list[1]);
    ASSERT_EQ(1u, search.entries.size());
    EXPECT_EQ(1u, search.entries[0].dictionary);

    Search none(s, {7, 8}, u"chien");
    EXPECT_FALSE(none.ok);
    EXPECT_TRUE(none.entries.empty());
    EXPECT_EQ(Lookup::Outcome::kCannotHelp, none.Outcome());
    EXPECT_FALSE(Lookup::Found(none.Outcome()));
}

TEST(LookupSearchTest, NoMatchOffersManualSearchWhetherOneOrSeveralOpened) {
    FixtureSource s;
    s.books[1] = French();
    // One of two candidates opened: still the manual-search choice, not nothing.
    Search oneOfTwo(s, {7, 1}, u"xyz");
    EXPECT_FALSE(oneOfTwo.kept);
    EXPECT_EQ(Lookup::Outcome::kNoMatchChoice, oneOfTwo.Outcome());
    Search only(s, {1}, u"xyz");
    EXPECT_TRUE(only.kept);
    EXPECT_EQ(Lookup::Outcome::kNoMatchKept, only.Outcome());
    EXPECT_FALSE(Lookup::Found(only.Outcome()));
}

TEST(LookupCjkTest, ExactMatchDropsApproximateOnesAndKeepsTheRemainingDictionary) {
    FixtureSource s;
    s.books[0] = Japanese(u"日", u"日か");  // only an approximate match for "日き"
    s.books[1] = Japanese(u"日き", u"");    // the whole word
    {
        Search search(s, {0, 1}, u"日き");
        EXPECT_TRUE(search.ok);
        ASSERT_EQ(2u, search.entries.size());
        EXPECT_EQ(0u, search.entries[0].count);
        EXPECT_EQ(1u, search.entries[1].count);
        ASSERT_EQ(1u, search.matches.size());
        EXPECT_EQ(1u, search.matches[0].dictionary);
        EXPECT_TRUE(search.matches[0].exact);
        // Both dictionaries matched during the search; the one left must still be openable.
        ASSERT_TRUE(search.kept);
        EXPECT_EQ(u"dictionary 1", search.kept->title);
        EXPECT_EQ(Lookup::Outcome::kOpenEntry, search.Outcome());
    }
    EXPECT_EQ(0, s.live);
}

TEST(LookupCjkTest, ApproximateMatchesStayWithoutAnExactOne) {
    FixtureSource s;
    s.books[0] = Japanese(u"日", u"日か");
    Search search(s, {0}, u"日き");
    EXPECT_TRUE(search.ok);
    ASSERT_EQ(1u, search.matches.size());
    EXPECT_TRUE(search.matches[0].cjk);
    EXPECT_FALSE(search.matches[0].exact);
    EXPECT_EQ(0u, search.matches[0].direct);
    // A Latin word in a CJK dictionary goes through the same search, never the ending rules.
    Search latin(s, {0}, u"moon");
    EXPECT_FALSE(latin.ok);
}

struct CjkSearch {
    std::vector<std::uint32_t> list{0};
    std::vector<LookupEntry> entries;
    std::vector<LookupMatch> matches;
    std::shared_ptr<DictionaryTables> kept;

    bool Run(FixtureSource& s, const std::u16string& character,
             const Lookup::ExtendSelection& extend) {
        return Lookup::LookupCjkCharacter(s, &list, character, extend, &entries, &matches, &kept);
    }
};

TEST(LookupCjkTest, ATappedCharacterGrowsWordByWordAndCountsAPositionOnce) {
    FixtureSource s;
    s.books[0] = Japanese(u"日本", u"日本国");  // the key table leads to "日本"
    const std::u16string page[] = {u"日", u"日本", u"日本国"};
    std::vector<int> asked;
    Lookup::ExtendSelection extend = [&](int n, std::u16string* text) {
        asked.push_back(n);
        if (n > 3) return false;
        *text = page[n - 1];
        return true;
    };
    {
        CjkSearch c;
        ASSERT_TRUE(c.Run(s, u"日", extend));
        EXPECT_EQ(asked, (std::vector<int>{2, 3, 4}));
        // "日本" directly and "日本国" through the key table reach one entry: the last stays.
        ASSERT_EQ(1u, c.matches.size());
        EXPECT_EQ(0u, c.matches[0].direct);
        EXPECT_EQ(3u, c.matches[0].length);
        ASSERT_EQ(1u, c.entries.size());
        EXPECT_EQ(1u, c.entries[0].count);
        ASSERT_TRUE(c.kept);
    }
    EXPECT_EQ(0, s.live);
}

TEST(LookupCjkTest, GrowingStopsAtALongFailingWordOrAStillSelection) {
    FixtureSource s;
    s.books[0] = Japanese(u"日本", u"日本国");  // the key table leads to "日本"
    int calls = 0;
    Lookup::ExtendSelection longer = [&](int n, std::u16string* text) {
        ++calls;
        *text = u"火" + std::u16string(static_cast<std::size_t>(n - 1), u'x');
        return true;
    };
    CjkSearch c;
    EXPECT_FALSE(c.Run(s, u"火", longer));
    EXPECT_EQ(10, calls);  // the word of 11 characters fails and ends it

    calls = 0;
    Lookup::ExtendSelection still = [&](int, std::u16string* text) {
        ++calls;
        *text = u"火";
        return true;
    };
    EXPECT_FALSE(c.Run(s, u"火", still));
    EXPECT_EQ(1, calls);
}

TEST(LookupResultsTest, ALineCarriesOnlyItsDictionarysMatches) {
    std::vector<LookupMatch> matches(5);
    for (std::size_t i = 0; i < matches.size(); ++i) {
        matches[i].dictionary = i < 2 ? 3 : 8;
        matches[i].length = static_cast<std::uint32_t>(i);
    }
    const auto three = Lookup::MatchesOf(matches, LookupEntry{8, 3, u"b"});
    ASSERT_EQ(3u, three.size());
    EXPECT_EQ(2u, three[0].length);
    // A count beyond the dictionary's group never reaches into the next one or past the end.
    EXPECT_EQ(2u, Lookup::MatchesOf(matches, LookupEntry{3, 4, u"a"}).size());
    EXPECT_EQ(3u, Lookup::MatchesOf(matches, LookupEntry{8, 9, u"b"}).size());
    EXPECT_TRUE(Lookup::MatchesOf(matches, LookupEntry{5, 2, u"c"}).empty());
    EXPECT_TRUE(Lookup::MatchesOf({}, LookupEntry{3, 2, u"a"}).empty());
}

TEST(LookupResultsTest, FormsFollowTheHeadword) {
    PdbBuilder pdb;
    pdb.Add(ToBytes("record zero"));
    IndexWriter forms;
    for (const char16_t* f : {u"went", u"goes", u"gone"}) forms.Add(f, {});
    std::uint32_t table = 0, inflections = 0;
    IndexWriter probe = forms;  // learns the forms' entry numbers
    std::vector<std::vector<std::uint8_t>> unused;
    ASSERT_TRUE(probe.Build(&unused));
    const std::vector<std::uint32_t>& n = probe.SortedNumbers();
    IndexWriter dict;
    dict.Add(u"go", {{40, {n[0], n[1], n[2]}}});
    dict.Add(u"cat", {});
    ASSERT_TRUE(AddIndexTable(dict, &pdb, &table));
    ASSERT_TRUE(AddIndexTable(forms, &pdb, &inflections));
    Bytes bytes = pdb.Build();
    int error = 0;
    std::unique_ptr<PalmDatabase> db(PalmDatabase::OpenView(bytes.data(), bytes.size(), &error));
    IndexTableHandle h;
    ASSERT_TRUE(h.Open(db.get(), table, inflections, IndexTableHandle::kNone));
    IndexPosition go, cat;
    ASSERT_TRUE(h.Table().Lookup(u"go", 2, &go, 0));
    ASSERT_TRUE(h.Table().Lookup(u"cat", 3, &cat, 0));
    EXPECT_EQ(u" went, goes, gone", Lookup::FormsText(h, go));
    EXPECT_EQ(u"", Lookup::FormsText(h, cat));
}

TEST(LookupScriptTest, ManualSearchEscapesTheReferenceAndTheWord) {
    EXPECT_EQ(u"window.open('a%24b','');index_search('','','dog')",
              Lookup::ManualSearchScript(u"a%24b", u"dog"));
    EXPECT_EQ(u"window.open('x','');index_search('','','l\\'eau \\\\ \\\"x\\\"')",
              Lookup::ManualSearchScript(u"x", u"l'eau \\ \"x\""));
}

}  // namespace

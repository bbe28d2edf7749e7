// Queries over index tables written into a fixture book: keys, ranges, tags, headwords through
// the naming table, text positions and the designations a book resolves.
#include <gtest/gtest.h>

#include <memory>

#include "bookfiles/palm_database.h"
#include "database/book_index_source.h"
#include "support/bookfiles/index_fixture.h"

// (core's byte streams and the fixture writers both name "Bytes": this file keeps to the latter.)
namespace {

String S(const char* ascii) {
    String s;
    s.AppendAscii(ascii);
    return s;
}

std::string A(const String& s) {
    std::string r;
    for (int32_t i = 0; i < s.Length(); ++i) r += static_cast<char>(s[i]);
    return r;
}

struct FixtureBook {
    PdbBuilder pdb;
    Bytes bytes;
    std::unique_ptr<PalmDatabase> db;
    uint32_t words = 0, naming = 0;

    FixtureBook() {
        pdb.Add(ToBytes("record zero"));
        IndexWriter n;
        n.name = "names";
        n.Add(u"Bank (money)", {{1, {0}}});
        n.Add(u"Bank (river)", {{1, {1}}});
        EXPECT_TRUE(AddIndexTable(n, &pdb, &naming));
        IndexWriter w;
        w.name = "words";
        w.Add(u"apple", {{1, {100}}, {7, {1}}});
        w.Add(u"bank", {{1, {200}}, {5, {0}}});
        w.Add(u"banker", {{1, {300}}, {7, {1}}});
        w.Add(u"bark", {{25, {0}}, {22, {1}}});  // links to apple (25 wins)
        w.Add(u"cat", {{1, {400}}});
        EXPECT_TRUE(AddIndexTable(w, &pdb, &words));
        bytes = pdb.Build();
        int error = 0;
        db.reset(PalmDatabase::OpenView(bytes.data(), bytes.size(), &error));
    }
};

std::string Walk(RecordSet* set) {
    std::string r;
    for (RecordPosition p = set->Next(RecordPosition::At(-1)); p.IsRow(); p = set->Next(p)) {
        String t;
        set->GetDisplayText(p, t);
        r += (r.empty() ? "" : ",") + A(t);
    }
    return r;
}

TEST(BookIndexTest, QueriesOverAWrittenTable) {
    FixtureBook book;
    ASSERT_TRUE(book.db);
    BookIndexResolver tables(book.db.get(), BookIndexSource::kNone, book.naming);
    tables.AddTable(book.words);
    IndexQuery* q = nullptr;
    ASSERT_EQ(
        SqlParser::Parse(S("SELECT * FROM '$tableid=0' AS tab WHERE tab LIKE 'ban%'"), &tables, q),
        0);
    EXPECT_EQ(Walk(q), "Bank (money),banker");  // the headword through the naming table
    q->Release();
    ASSERT_EQ(SqlParser::Parse(S("SELECT * FROM words WHERE tag7 = 1"), &tables, q), 0);
    EXPECT_EQ(Walk(q), "apple,banker");
    q->Release();
    EXPECT_EQ(SqlParser::Parse(S("SELECT * FROM nosuch"), &tables, q), 20);
    EXPECT_EQ(SqlParser::Parse(S("SELECT * FROM '$tableid=7'"), &tables, q), 20);
}

TEST(BookIndexTest, SourceFaceOverTheReader) {
    FixtureBook book;
    BookIndexSource* s = BookIndexSource::Open(book.db.get(), book.words);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->EntryCount(), 5u);
    String key;
    ASSERT_TRUE(s->Key(2, key));
    EXPECT_EQ(A(key), "banker");
    EXPECT_EQ(s->LowerBound(S("bann")), 3);  // "bark"
    EXPECT_EQ(s->LowerBound(S("zzz")), -1);
    std::vector<uint32_t> v;
    EXPECT_TRUE(s->TagValues(0, 7, v));
    EXPECT_FALSE(s->TagValues(4, 7, v));
    EXPECT_EQ(s->TextPosition(3), 100);  // bark -> apple
    EXPECT_EQ(s->TextPosition(4), 400);
    EXPECT_TRUE(s->Name(key));
    EXPECT_EQ(A(key), "words");
    EXPECT_EQ(s->Language(), 9u);
    IndexQuery* plain = IndexQuery::FromTable(s);
    EXPECT_EQ(plain->Count(), 5u);
    ResultCollection* all = plain->Run();
    EXPECT_EQ(all->TextPositionAt(1), 200);
    all->Release();
    plain->Release();
    s->Release();
    EXPECT_EQ(BookIndexSource::Open(book.db.get(), 0), nullptr);  // not an index header
}

}  // namespace

namespace {

// "mice" is a form of "mouse"; "saw" of both "see" and "saw"; the table has a spelling alphabet.
TEST(BookIndexTest, InflectionEntriesAndSpellingCandidates) {
    PdbBuilder pdb;
    pdb.Add(ToBytes("record zero"));
    IndexWriter w;
    for (const char16_t* k : {u"mouse", u"saw", u"see", u"bank"}) w.Add(k, {});
    for (char16_t c = u'a'; c <= u'z'; ++c) w.alphabet.push_back(c);
    uint32_t words = 0, inflections = 0;
    ASSERT_TRUE(AddIndexTable(w, &pdb, &words));
    const std::vector<uint32_t>& n = w.SortedNumbers();
    IndexWriter f;
    f.Add(u"mice", {{1, {n[0]}}});
    f.Add(u"saw", {{1, {n[2], n[1], 999}}});  // 999 lies outside the table
    f.Add(u"saw", {{1, {n[2]}}});
    ASSERT_TRUE(AddIndexTable(f, &pdb, &inflections));
    Bytes bytes = pdb.Build();
    int error = 0;
    std::unique_ptr<PalmDatabase> db(PalmDatabase::OpenView(bytes.data(), bytes.size(), &error));
    ASSERT_TRUE(db);

    BookIndexSource* s = BookIndexSource::Open(db.get(), words, inflections);
    ASSERT_NE(s, nullptr);
    std::vector<uint32_t> out;
    ASSERT_TRUE(s->InflectionEntries(S("Mice"), out));  // case folded
    EXPECT_EQ(out, std::vector<uint32_t>{n[0]});
    ASSERT_TRUE(s->InflectionEntries(S("saw"), out));
    EXPECT_EQ(out, (std::vector<uint32_t>{n[2], n[1]}));  // both forms, each entry once
    EXPECT_FALSE(s->InflectionEntries(S("dog"), out));
    EXPECT_TRUE(out.empty());

    ASSERT_TRUE(s->SpellingCandidates(S("bamk"), 6, out));
    EXPECT_EQ(out, std::vector<uint32_t>{n[3]});
    EXPECT_FALSE(s->SpellingCandidates(S("zzzzzz"), 6, out));
    s->Release();

    // Without an inflection table there are no forms.
    BookIndexSource* plain = BookIndexSource::Open(db.get(), words);
    ASSERT_NE(plain, nullptr);
    EXPECT_FALSE(plain->InflectionEntries(S("mice"), out));
    plain->Release();
}

}  // namespace

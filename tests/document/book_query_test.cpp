// Queries compiled against a book resource: every kind of table designation is opened through
// the resource's data handles, unknown tables are reported where they stand in the text, and
// the handles (and with them the book) are let go when the query goes.
#include <gtest/gtest.h>

#include <string>

#include "bookfiles/book_document.h"
#include "bookfiles/palm_database.h"
#include "database/index_query.h"
#include "database/sql_parser.h"
#include "document/sources/data_handles.h"
#include "document/sources/index_table_data_handle.h"
#include "support/bookfiles/book_builder.h"
#include "support/bookfiles/index_fixture.h"
#include "support/document/counting_book.h"

namespace {

// Header field 0 (the default table) "words", 5 the inflections, 6 the headwords; "gloss" is
// reached by its named target "glossary", "keys" as the key table of that name.
struct QueryBook {
    QueryBook() {
        Ids ids = Build(Ids{});
        ids = Build(ids);  // the same layout, now with the real record numbers
        words = ids.words;
        int error = 0;
        PalmDatabase* db = PalmDatabase::LoadInMemory(bytes.data(), bytes.size(), &error);
        EXPECT_EQ(resource->Book().Open(db, 1, 1252, 65002), 0);
    }
    ~QueryBook() {
        if (!resource) return;
        EXPECT_EQ(resource->HandleCount(), 0u);
        EXPECT_EQ(resource->RefCount(), 1u);
        resource->Release();
    }

    struct Ids {
        uint32_t words = 0, inflex = 0, naming = 0, gloss = 0, keys = 0;
    };
    Ids Build(const Ids& at) {
        BookBuilder b;
        b.text = ToBytes("<html><body>dictionary</body></html>");
        b.tables[0] = at.words;
        b.tables[5] = at.inflex;
        b.tables[6] = at.naming;
        BookTargetSpec table, keyTable;
        table.kind = BookDocument::kTargetTable;
        table.position = static_cast<int32_t>(at.gloss);
        table.name = "glossary";
        keyTable.kind = BookDocument::kTargetKeyTable;
        keyTable.position = static_cast<int32_t>(at.keys);
        keyTable.name = "glossary";
        // "sound" is an object of one data record that is no table.
        BookTargetSpec sound;
        sound.kind = BookDocument::kTargetObject;
        sound.position = 0;
        sound.numbers[0] = 1;
        sound.name = "sound";
        b.resources.push_back(ToBytes("OggS-not-a-table"));
        b.targets = {table, keyTable, sound};
        PdbBuilder pdb = b.BuildDatabase();
        Ids ids;
        IndexWriter w;
        w.name = "words";
        w.Add(u"apple", {{1, {10}}, {40, {0, 1}}});
        w.Add(u"bank", {{1, {20}}, {5, {0}}});
        w.Add(u"banker", {{1, {30}}});
        w.Add(u"cat", {{1, {40}}});
        EXPECT_TRUE(AddIndexTable(w, &pdb, &ids.words));
        IndexWriter infl;
        infl.name = "inflections";
        infl.Add(u"apples", {});
        infl.Add(u"appled", {});
        EXPECT_TRUE(AddIndexTable(infl, &pdb, &ids.inflex));
        IndexWriter n;
        n.name = "names";
        n.Add(u"Bank (money)", {});
        EXPECT_TRUE(AddIndexTable(n, &pdb, &ids.naming));
        IndexWriter g;
        g.name = "gloss";
        g.Add(u"noun", {});
        g.Add(u"verb", {});
        EXPECT_TRUE(AddIndexTable(g, &pdb, &ids.gloss));
        IndexWriter k;
        k.name = "keys";
        k.Add(u"k-apple", {{7, {0}}});
        k.Add(u"k-cat", {{7, {3}}});
        EXPECT_TRUE(AddIndexTable(k, &pdb, &ids.keys));
        bytes = pdb.Build();
        return ids;
    }

    Bytes bytes;
    uint32_t words = 0;
    fixtures::CountingBook* resource = new fixtures::CountingBook();
};

String S(const std::string& ascii) {
    String s;
    s.AppendAscii(ascii.c_str());
    return s;
}

std::string A(const String& s) {
    std::string r;
    for (int32_t i = 0; i < s.Length(); ++i) r += static_cast<char>(s[i]);
    return r;
}

// Display texts of every match, comma separated.
std::string Walk(RecordSet* set) {
    std::string r;
    for (RecordPosition p = set->Next(RecordPosition::At(-1)); p.IsRow(); p = set->Next(p)) {
        String t;
        set->GetDisplayText(p, t);
        r += (r.empty() ? "" : ",") + A(t);
    }
    return r;
}

std::string Matches(QueryBook& book, const std::string& text) {
    IndexQuery* q = nullptr;
    int rc = SqlParser::Parse(S(text), book.resource, q);
    if (rc) return "error " + std::to_string(rc);
    std::string r = Walk(q);
    q->Release();
    return r;
}

TEST(BookQueries, EveryDesignationOpensItsTable) {
    QueryBook book;
    const std::string id = std::to_string(book.words);
    EXPECT_EQ(Matches(book, "SELECT * FROM '$tableid=" + id + "' AS t WHERE t LIKE 'ban%'"),
              "Bank (money),banker");
    EXPECT_EQ(Matches(book, "SELECT * FROM 'tableid=" + id + "' WHERE orth = 'cat'"), "cat");
    EXPECT_EQ(Matches(book, "SELECT * FROM words WHERE ent < 2"), "apple,Bank (money)");
    EXPECT_EQ(Matches(book, "SELECT * FROM '$special_table=default' WHERE tag1 = 30"), "banker");
    EXPECT_EQ(Matches(book, "SELECT * FROM '$special_table=naming'"), "Bank (money)");
    // By a named target of the book, and the key table of the same name.
    EXPECT_EQ(Matches(book, "SELECT * FROM '$table=glossary'"), "noun,verb");
    EXPECT_EQ(Matches(book, "SELECT * FROM 'key_table=glossary'"), "k-apple,k-cat");
    // Two tables of the book in one query: the key table's entries link into the words.
    IndexQuery* q = nullptr;
    ASSERT_EQ(
        SqlParser::Parse(S("SELECT w FROM '$key_table=glossary' AS k, "
                           "'$special_table=default' AS w WHERE k.tag7 = w AND k LIKE 'k-c%'"),
                         book.resource, q),
        0);
    ASSERT_EQ(q->ActiveLeafCount(), 1);
    int32_t key = q->First(0);
    EXPECT_EQ(key, 1);
    ASSERT_TRUE(q->EvaluateLeaf(0, static_cast<uint32_t>(key)));
    EXPECT_EQ(Walk(q), "cat");
    q->Release();
}

TEST(BookQueries, EntriesReadTheBookThroughTheirTable) {
    QueryBook book;
    IndexQuery* q = nullptr;
    ASSERT_EQ(SqlParser::Parse(S("SELECT * FROM '$special_table=default' WHERE orth = 'apple'"),
                               book.resource, q),
              0);
    IndexSource* words = q->ResultSource();
    ASSERT_NE(words, nullptr);
    String name, forms;
    EXPECT_TRUE(words->Name(name));
    EXPECT_EQ(A(name), "words");
    // "special_table=default" comes with the book's inflection table.
    EXPECT_TRUE(words->InflectedForms(0, forms));
    EXPECT_EQ(A(forms), "appled, apples");
    EXPECT_EQ(words->TextPosition(0), 10);
    q->Release();
}

TEST(BookQueries, UnknownTablesAreNamedWithTheirPosition) {
    QueryBook book;
    IndexQuery* previous = nullptr;
    ASSERT_EQ(
        SqlParser::Parse(S("SELECT * FROM words WHERE orth = 'cat'"), book.resource, previous), 0);
    const char* unknown[] = {
        "SELECT * FROM words AS w, '$table=nosuch' AS n",
        "SELECT * FROM words AS w, '$tableid=7x' AS n",
        "SELECT * FROM words AS w, '$special_table=bogus' AS n",
        "SELECT * FROM words AS w, '$key_table' AS n",
        "SELECT * FROM words AS w, '$eo=sound' AS n",   // a handle, but no index table
        "SELECT * FROM words AS w, '$tableid=1' AS n",  // a record that is no table
    };
    for (const char* text : unknown) {
        SqlParser parser(book.resource);
        int rc = parser.Compile(S(text), *previous);
        parser.Destroy();
        EXPECT_EQ(rc, SqlParser::kName) << text;
        EXPECT_EQ(parser.LastError().position, 26u) << text;
        // The query compiled before is kept whole.
        EXPECT_EQ(Walk(previous), "cat") << text;
    }
    IndexQuery* out = previous;
    EXPECT_EQ(SqlParser::Parse(S("SELECT * FROM '$table='"), book.resource, out), 20);
    EXPECT_EQ(out, previous);
    // Nothing to resolve against.
    EXPECT_EQ(SqlParser::Parse(S("SELECT * FROM words"), static_cast<Resource*>(nullptr), out), 20);
    previous->Release();
    // The book fixture checks that every handle opened for the failed queries has gone.
    EXPECT_GT(book.resource->opened, 6);
}

TEST(BookQueries, QueriesKeepTheBookOpenUntilReleased) {
    QueryBook book;
    IndexQuery* q = nullptr;
    ASSERT_EQ(SqlParser::Parse(S("SELECT w FROM '$special_table=naming' AS n, words AS w"),
                               book.resource, q),
              0);
    EXPECT_EQ(book.resource->HandleCount(), 2u);
    // The caller lets go of the book first: the query's tables still hold it.
    fixtures::CountingBook* resource = book.resource;
    book.resource = nullptr;
    resource->Release();
    EXPECT_EQ(resource->HandleCount(), 2u);
    EXPECT_EQ(Walk(q), "apple,Bank (money),banker,cat");
    q->Release();  // the last handle takes the book with it (the sanitizer sees any leak)
}

}  // namespace

// Queries over index tables: key ranges, browse parts, two-table plans with links, stepping both
// ways, result collections, text positions and the script object over an entry.
#include <gtest/gtest.h>

#include "db_test_util.h"
#include "fake_index.h"
#include "script/script_engine.h"
#include "support/script/print_host.h"

namespace {

struct Book {
    FakeBook book;
    Book() {
        auto* words = new FakeIndex(
            {"abacus", "abc", "abcxyz", "Abd", "apple", "b", "banana", "cherry"}, "words");
        words->SetTag(1, 7, {1});
        words->SetTag(4, 7, {1});
        words->SetTag(6, 3, {0, 1});  // banana: classes 0 and 1
        words->SetTag(2, 25, {5});    // abcxyz links to b ...
        words->SetTag(5, 1, {777});   // ... whose text starts at 777
        words->SetTag(3, 22, {6});
        words->SetTag(3, 1, {12});
        words->SetHeadword(0, "Abacus (n.)");
        auto* classes = new FakeIndex({"fruit", "tool"}, "classes");
        classes->SetTag(0, 9, {6, 1, 99, 6});  // fruit lists banana and abc (and junk)
        book.tables = {words, classes};
    }
    IndexQuery* Compile(const char* text, int* rc = nullptr) {
        IndexQuery* q = new IndexQuery();
        int r = q->Compile(S(text), &book);
        if (rc) *rc = r;
        if (r) {
            q->Release();
            return nullptr;
        }
        return q;
    }
};

std::string Walk(RecordSet* set) {
    std::string r;
    for (RecordPosition p = set->Next(RecordPosition::At(-1)); p.IsRow(); p = set->Next(p)) {
        String t;
        set->GetText(p, t);
        r += (r.empty() ? "" : ",") + A(t);
    }
    return r;
}

std::string WalkBack(RecordSet* set) {
    std::string r;
    for (RecordPosition p = set->Previous(RecordPosition::At(-2)); p.IsRow();
         p = set->Previous(p)) {
        String t;
        set->GetText(p, t);
        r += (r.empty() ? "" : ",") + A(t);
    }
    return r;
}

TEST(IndexQueryTest, LikeOverAKeyRangeBothWays) {
    Book b;
    IndexQuery* q = b.Compile("SELECT * FROM '$table=words' AS tab WHERE tab LIKE 'a_c%'");
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(Walk(q), "abc,abcxyz");
    EXPECT_EQ(WalkBack(q), "abcxyz,abc");
    EXPECT_EQ(q->Count(), 0xFFFFFFFFu);
    EXPECT_EQ(q->ActiveLeafCount(), 0);
    q->Release();
    q = b.Compile("SELECT * FROM words WHERE orth LIKE 'AB%' AND NOT orth = 'abc'");
    EXPECT_EQ(Walk(q), "abacus,abcxyz,Abd");
    EXPECT_EQ(WalkBack(q), "Abd,abcxyz,abacus");
    q->Release();
    q = b.Compile("SELECT * FROM words WHERE orth = 'zzz'");
    EXPECT_EQ(Walk(q), "");
    EXPECT_EQ(WalkBack(q), "");
    q->Release();
}

TEST(IndexQueryTest, ComparisonsAndFields) {
    Book b;
    IndexQuery* q = b.Compile("SELECT * FROM words WHERE (orth >= 'b' AND ent < 7) OR tag7 = 1");
    EXPECT_EQ(Walk(q), "abc,apple,b,banana");
    q->Release();
    q = b.Compile("SELECT * FROM words WHERE formatted LIKE '%(n.)'");
    EXPECT_EQ(Walk(q), "abacus");
    q->Release();
}

TEST(IndexQueryTest, BrowsePartAndTheBrowseFlag) {
    Book b;
    IndexQuery* q = b.Compile("SELECT * FROM words WHERE orth LIKE 'a%' __fvt_bwhere tag7 = 1");
    ASSERT_NE(q, nullptr);
    EXPECT_TRUE(q->HasBrowsePart());
    EXPECT_TRUE(q->GetBrowse());
    EXPECT_EQ(Walk(q), "abacus,abc,abcxyz,Abd,apple");  // every entry passing WHERE
    q->SetBrowse(false);
    EXPECT_EQ(Walk(q), "abc,apple");  // only the marked ones
    q->Release();
    q = b.Compile("SELECT * FROM words __fvt_bwhere 1=1");
    q->SetBrowse(false);
    EXPECT_EQ(q->Count(), 0xFFFFFFFFu);
    EXPECT_EQ(Walk(q), "abacus,abc,abcxyz,Abd,apple,b,banana,cherry");
    q->Release();
}

TEST(IndexQueryTest, PlainTablesCountAndRunVirtually) {
    Book b;
    IndexQuery* q = IndexQuery::FromTable(b.book.tables[0]);
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(q->Count(), 8u);
    ResultCollection* all = q->Run();
    ASSERT_NE(all, nullptr);
    EXPECT_EQ(all->Count(), 8u);
    EXPECT_EQ(all->EntryAt(RecordPosition::At(7)), 7);
    EXPECT_EQ(all->TextPositionAt(2), 777);  // 25 is followed
    EXPECT_EQ(all->TextPositionAt(3), -1);   // 22 leads to banana, which has no tag 1
    EXPECT_EQ(all->TextPositionAt(0), -1);   // no link and no tag 1
    EXPECT_EQ(all->TextPositionAt(8), -1);   // out of range
    all->Release();
    q->Release();
}

TEST(IndexQueryTest, TextPositionFollowsTwentyFiveElseTwentyTwo) {
    FakeIndex* t = new FakeIndex({"a", "b", "c"});
    t->SetTag(0, 25, {1});
    t->SetTag(0, 22, {2});
    t->SetTag(1, 1, {100});
    t->SetTag(2, 1, {200});
    t->SetTag(2, 22, {1});
    EXPECT_EQ(t->TextPosition(0), 100);  // both present: 25 wins
    EXPECT_EQ(t->TextPosition(2), 100);  // only 22
    t->SetTag(0, 25, {99});              // a link past the table is not followed
    EXPECT_EQ(t->TextPosition(0), 200);
    t->Release();
}

TEST(IndexQueryTest, RunMaterialisesMatchesAsOrdinals) {
    Book b;
    IndexQuery* q = b.Compile("SELECT * FROM words WHERE orth LIKE 'b%'");
    ResultCollection* r = q->Run();
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->Count(), 2u);
    EXPECT_EQ(r->EntryAt(RecordPosition::At(0)), 5);
    EXPECT_EQ(r->Next(RecordPosition::At(1)).Get(), -2);
    EXPECT_EQ(Walk(r), "b,banana");
    r->Release();
    q->Release();
}

TEST(IndexQueryTest, TwoTablesGiveOneActiveLeafAndLinks) {
    Book b;
    IndexQuery* q = b.Compile("SELECT w FROM classes c, words w WHERE c LIKE 'f%' AND w.tag3 = c");
    ASSERT_NE(q, nullptr);
    ASSERT_EQ(q->ActiveLeafCount(), 1);
    EXPECT_EQ(A(q->ActiveLeafAlias(0)), "c");
    EXPECT_EQ(q->First(0), 0);  // "fruit"
    EXPECT_TRUE(q->EvaluateLeaf(0, 0));
    EXPECT_FALSE(q->EvaluateLeaf(0, 1));  // "tool" fails level 0
    q->EvaluateLeaf(0, 1);
    EXPECT_EQ(Walk(q), "banana");  // banana lists class 1 too
    q->EvaluateLeaf(0, 0);
    EXPECT_EQ(Walk(q), "banana");
    EXPECT_EQ(q->LookupKey(1, S("a")), 6);
    q->Release();
}

TEST(IndexQueryTest, LinkedEntriesAreSteppedThroughTheList) {
    Book b;
    IndexQuery* q = b.Compile("SELECT w FROM classes c, words w WHERE c.tag9 = w AND w LIKE '%a%'");
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(Walk(q), "");  // nothing bound yet
    ASSERT_TRUE(q->EvaluateLeaf(0, 0));
    EXPECT_EQ(Walk(q), "abc,banana");  // index order, duplicates and entries past the end gone
    EXPECT_EQ(WalkBack(q), "banana,abc");
    EXPECT_EQ(q->PreviousMatch(1, 6), 1);
    EXPECT_EQ(q->NextMatch(1, 6), -2);
    q->EvaluateLeaf(0, 1);  // "tool" lists nothing
    EXPECT_EQ(Walk(q), "");
    q->Release();
}

TEST(IndexQueryTest, CompileFailuresKeepThePreviousQuery) {
    Book b;
    IndexQuery* q = b.Compile("SELECT * FROM words WHERE orth = 'b'");
    SqlError e;
    EXPECT_EQ(q->Compile(S("SELECT * FROM nosuch"), &b.book, &e), 20);
    EXPECT_EQ(q->Compile(S("SELECT FROM words"), &b.book, &e), 19);
    EXPECT_EQ(e.position, 7u);
    EXPECT_EQ(Walk(q), "b");
    q->Release();
}

TEST(IndexQueryTest, TablesAreHeldWhileUsedAndLetGoOnFailure) {
    Book b;
    FakeIndex* words = b.book.tables[0];
    FakeIndex* classes = b.book.tables[1];
    ASSERT_EQ(words->RefCount(), 1);
    IndexQuery* q = new IndexQuery();
    SqlError e;
    // The first table opens and the second does not: the first is let go again.
    EXPECT_EQ(q->Compile(S("SELECT w FROM words w, nosuch n"), &b.book, &e), 20);
    EXPECT_EQ(words->RefCount(), 1);
    ASSERT_EQ(q->Compile(S("SELECT * FROM words"), &b.book, &e), 0);
    EXPECT_EQ(words->RefCount(), 2);
    // A query compiled anew holds its own tables only.
    ASSERT_EQ(q->Compile(S("SELECT * FROM classes"), &b.book, &e), 0);
    EXPECT_EQ(words->RefCount(), 1);
    EXPECT_EQ(classes->RefCount(), 2);
    q->Release();
    EXPECT_EQ(classes->RefCount(), 1);
}

TEST(IndexQueryTest, ParseSpellingLeavesOutUntouchedOnFailure) {
    Book b;
    IndexQuery* out = nullptr;
    EXPECT_EQ(SqlParser::Parse(S("SELECT * FROM nosuch"), &b.book, out), 20);
    EXPECT_EQ(out, nullptr);
    ASSERT_EQ(SqlParser::Parse(S("SELECT * FROM words WHERE orth = 'b'"), &b.book, out), 0);
    IndexQuery* kept = out;
    EXPECT_EQ(SqlParser::Parse(S("SELECT FROM"), &b.book, out), 19);
    EXPECT_EQ(out, kept);
    EXPECT_EQ(Walk(out), "b");
    out->Release();
}

struct IndexScript {
    ScriptHeap heap;
    std::string out;
    PrintHost printer{&out};
    ScriptContext context{&heap};
    int rc = 0;
    IndexScript() { context.Hosts().AppendObject(&printer, 0); }
    std::string Run(ScriptObject* entry, const std::string& text) {
        ScriptValue v = ScriptValues::kNull;
        heap.NewObject(entry, &v);
        heap.SetProperty(context.Global(), u"e", 1, v);
        heap.Release(v);
        out.clear();
        ScriptCode unit;
        ScriptError err;
        if (!ScriptEngine::CompileText(PrintHost::FromUtf8(text), &unit, u"t", &err))
            return "syntax";
        rc = ScriptEngine::Run(&context, &unit, nullptr, ScriptValues::kUndefined, nullptr, &err);
        if (!out.empty() && out.back() == '\n') out.pop_back();
        for (char& c : out)
            if (c == '\n') c = '|';
        return out;
    }
};

TEST(IndexRecordSetObjectTest, MembersOverAnEntry) {
    Book b;
    IndexQuery* q = b.Compile("SELECT * FROM words WHERE orth LIKE 'a%'");
    ScriptObject* o = q->MakeScriptObject(RecordPosition::At(-1));  // starts at the first match
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(static_cast<IndexRecordSetObject*>(o)->GetEntryNumber(), 0);
    static_cast<IndexRecordSetObject*>(o)->SetBookLocation(S("\\b.prc"));
    IndexScript s;
    EXPECT_EQ(s.Run(o,
                    "print(e.orth, e.Formatted, e.language, e.Count, e.BOF, e.EOF);"
                    "e.MoveNext(); e.MoveNext(); print(e.orth, e.anchor, e.href);"
                    "print(e.gramgrp == '', e.Infl == '');"
                    "e.MoveLast(); e.MoveNext(); print(e.EOF, e.orth == '')"),
              "abacus Abacus (n.) en 5 false false|abcxyz ##-pos777 \\b.prc##-pos777|true true|"
              "true true");
    EXPECT_EQ(s.rc, 0);
    q->Release();
}

TEST(IndexRecordSetObjectTest, WordListRecordInOrder) {
    Book b;
    IndexQuery* q = b.Compile("SELECT * FROM words");
    auto* o = static_cast<IndexRecordSetObject*>(q->MakeScriptObject(RecordPosition::At(0)));
    o->SetBookNames(S("EngDict"), S("ED"));
    IndexRecordSetObject::WordListRecord r;
    ASSERT_TRUE(o->GetWordListRecord(r));
    EXPECT_EQ(A(r.orth), "abacus");
    EXPECT_EQ(A(r.language), "en");
    EXPECT_EQ(A(r.databaseName), "EngDict");
    EXPECT_EQ(A(r.tableName), "words");
    EXPECT_EQ(r.entry, 0);
    EXPECT_EQ(A(r.formatted), "Abacus (n.)");
    EXPECT_EQ(A(r.shortId), "ED");
    delete o;  // never handed to a script
    auto* end = static_cast<IndexRecordSetObject*>(q->MakeScriptObject(RecordPosition::At(-2)));
    EXPECT_EQ(end->GetEntryNumber(), 0);  // made at an end: the first match
    delete end;
    q->Release();
}

}  // namespace

// The texts the reader builds around queries: dictionary links, refinements, bullet-search
// browse parts and wildcard lookups, checked by compiling them.
#include <gtest/gtest.h>

#include "database/query_text.h"
#include "database/sql_parser.h"
#include "db_test_util.h"
#include "fake_index.h"

namespace {

TEST(QueryTextTest, DictLinkUsesTheDollarForm) {
    String link;
    ASSERT_TRUE(QueryText::MakeDictLink(S("EngDict"), S("main"), link));
    EXPECT_EQ(A(link), "oeb:redirect?title=EngDict$table=main");
}

TEST(QueryTextTest, RefinementWithoutWhereOrBeforeTheBrowsePart) {
    String out;
    QueryText::Refine(S("SELECT * FROM '$tableid=1' AS tab"), S("ab%"), out);
    EXPECT_EQ(A(out), "SELECT * FROM '$tableid=1' AS tab WHERE orth LIKE 'ab%'");
    QueryText::Refine(S("SELECT * FROM t WHERE orth LIKE 'a%' __fvt_bwhere tag7 = 1"), S("ab%"),
                      out);
    EXPECT_EQ(A(out),
              "SELECT * FROM t WHERE orth LIKE 'a%' AND orth LIKE 'ab%' __fvt_bwhere tag7 = 1");
    // A quoted "where" is not the keyword.
    QueryText::Refine(S("SELECT * FROM 'where'"), S("it's"), out);
    EXPECT_EQ(A(out), "SELECT * FROM 'where' WHERE orth LIKE 'it''s'");
    SqlQuery q;
    EXPECT_EQ(SqlParser::ParseText(out, q, nullptr), 0);
}

TEST(QueryTextTest, RefinementFiltersInsteadOfChangingMarks) {
    FakeBook book;
    auto* t = new FakeIndex({"aa", "ab", "abc", "b"}, "t");
    t->SetTag(0, 7, {1});
    t->SetTag(2, 7, {1});
    book.tables.push_back(t);
    String text;
    QueryText::AddBrowsePart(S("SELECT * FROM t WHERE orth LIKE 'a%'"), S("tag7 = 1"), false, text);
    String refined;
    QueryText::Refine(text, S("ab%"), refined);
    IndexQuery* q = new IndexQuery();
    ASSERT_EQ(q->Compile(refined, &book), 0);
    EXPECT_TRUE(q->HasBrowsePart());
    int n = 0;
    for (RecordPosition p = q->Next(RecordPosition::At(-1)); p.IsRow(); p = q->Next(p)) ++n;
    EXPECT_EQ(n, 2);  // ab, abc: filtered, marks untouched
    q->SetBrowse(false);
    EXPECT_EQ(q->Next(RecordPosition::At(-1)).Get(), 2);  // the marked one among them
    q->Release();
}

TEST(QueryTextTest, BulletSearchWithoutConditionStillMarksEveryRow) {
    String out;
    QueryText::AddBrowsePart(S("SELECT * FROM t"), String(), true, out);
    SqlQuery q;
    ASSERT_EQ(SqlParser::ParseText(out, q, nullptr), 0);
    EXPECT_TRUE(q.hasBrowsePart);
    QueryText::AddBrowsePart(S("SELECT * FROM t"), String(), false, out);
    EXPECT_EQ(A(out), "SELECT * FROM t");
}

TEST(QueryTextTest, WildcardLookup) {
    String out;
    String word(u"it's?\uFF1F*\uFF0A");
    ASSERT_TRUE(QueryText::MakeWildcardLookup(3, word, out));
    EXPECT_EQ(A(out), "SELECT * FROM '$tableid=3' AS tab WHERE tab LIKE 'it''s__%%'");
    SqlQuery q;
    EXPECT_EQ(SqlParser::ParseText(out, q, nullptr), 0);
}

}  // namespace

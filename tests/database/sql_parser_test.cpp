// The query language: the queries the reader builds, aliases and fields, the tolerated AND after
// FROM, browse parts, error codes with positions, and LIKE.
#include <gtest/gtest.h>

#include "database/sql_parser.h"
#include "db_test_util.h"

namespace {

int Parse(const char* text, SqlQuery& q, SqlError* e = nullptr) {
    return SqlParser::ParseText(S(text), q, e);
}

TEST(SqlParserTest, WildcardLookupQuery) {
    SqlQuery q;
    ASSERT_EQ(Parse("SELECT * FROM '$tableid=3' AS tab WHERE tab LIKE 'it''s%'", q), 0);
    ASSERT_EQ(q.from.size(), 1u);
    EXPECT_EQ(A(q.from[0].designation), "tableid=3");
    EXPECT_EQ(A(q.from[0].alias), "tab");
    EXPECT_EQ(q.ResultTable(), 0);
    ASSERT_GE(q.where, 0);
    const SqlNode& n = q.nodes[q.where];
    EXPECT_EQ(n.op, SqlNode::kLike);
    EXPECT_EQ(n.a.kind, SqlOperand::kField);
    EXPECT_EQ(n.a.field, SqlOperand::kKey);
    EXPECT_EQ(A(n.b.text), "it's%");
    EXPECT_FALSE(q.hasBrowsePart);
}

TEST(SqlParserTest, TableDesignations) {
    SqlQuery q;
    ASSERT_EQ(Parse("select * from main, 'special_table=default' d, 'key_table x' k", q), 0);
    EXPECT_EQ(A(q.from[0].designation), "table=main");
    EXPECT_EQ(A(q.from[1].designation), "special_table=default");
    EXPECT_EQ(A(q.from[2].designation), "key_table x");
    EXPECT_EQ(q.ResultTable(), 2);  // '*': the last table
}

TEST(SqlParserTest, FieldsAndLinks) {
    SqlQuery q;
    ASSERT_EQ(Parse("SELECT d FROM 'table=drugs' d, 'table=cls' c "
                    "WHERE c.tag3 = d.ent AND (orth <> 'x' OR NOT d.formatted >= 'B') AND ent < 7",
                    q),
              0);
    EXPECT_EQ(q.ResultTable(), 0);
    std::vector<int32_t> parts;
    q.Conjuncts(q.where, parts);
    ASSERT_EQ(parts.size(), 3u);
    const SqlNode& link = q.nodes[parts[0]];
    EXPECT_EQ(link.a.table, 1);
    EXPECT_EQ(link.a.field, SqlOperand::kTag);
    EXPECT_EQ(link.a.tag, 3u);
    EXPECT_EQ(link.b.field, SqlOperand::kEnt);
    EXPECT_EQ(q.TablesUsed(parts[0]), 3u);
    EXPECT_EQ(q.TablesUsed(parts[1]), 1u);  // unqualified: the result table
    EXPECT_EQ(q.nodes[parts[2]].b.number, 7u);
}

TEST(SqlParserTest, RefinementAfterFromReadsAsWhere) {
    SqlQuery q;
    ASSERT_EQ(Parse("SELECT * FROM '$tableid=1' AS tab AND orth LIKE 'ab%'", q), 0);
    EXPECT_GE(q.where, 0);
}

TEST(SqlParserTest, BrowsePart) {
    SqlQuery q;
    ASSERT_EQ(Parse("SELECT * FROM t WHERE orth LIKE 'a%' __fvt_bwhere tag7 = 1;", q), 0);
    EXPECT_TRUE(q.hasBrowsePart);
    ASSERT_GE(q.browse, 0);
    EXPECT_EQ(q.nodes[q.browse].op, SqlNode::kBrowse);
    ASSERT_EQ(Parse("SELECT * FROM t __FVT_BWHERE 1=1", q), 0);
    EXPECT_TRUE(q.hasBrowsePart);
    EXPECT_LT(q.where, 0);
}

TEST(SqlParserTest, ErrorsCarryCodeAndPosition) {
    SqlQuery q;
    SqlError e;
    EXPECT_EQ(Parse("SELECT FROM t", q, &e), 19);
    EXPECT_EQ(e.position, 7u);
    EXPECT_NE(e.message.find("position 7"), std::string::npos);
    EXPECT_EQ(Parse("SELECT * FROM t WHERE nosuch = 1", q, &e), 20);
    EXPECT_EQ(e.position, 22u);
    EXPECT_EQ(Parse("SELECT x FROM t AS y", q, &e), 20);
    EXPECT_EQ(Parse("SELECT * FROM t a, u a", q, &e), 19);
    EXPECT_EQ(Parse("SELECT * FROM t WHERE orth LIKE 'abc", q, &e), 19);
    EXPECT_EQ(Parse("SELECT * FROM t WHERE (orth = 'a'", q, &e), 19);
    EXPECT_EQ(Parse("SELECT * FROM t WHERE orth = 'a' garbage", q, &e), 19);
    EXPECT_EQ(Parse("SELECT * FROM t WHERE z.orth = 'a'", q, &e), 20);
    EXPECT_EQ(Parse("SELECT * FROM t WHERE ent = 99999999999", q, &e), 19);
    EXPECT_EQ(Parse("", q, &e), 19);
    // A failure leaves the previous query as it was.
    ASSERT_EQ(Parse("SELECT * FROM keep", q), 0);
    EXPECT_NE(Parse("SELECT * FROM", q), 0);
    EXPECT_EQ(A(q.from[0].designation), "table=keep");
}

TEST(SqlParserTest, DeepNestingIsRefusedNotACrash) {
    std::string deep =
        "SELECT * FROM t WHERE " + std::string(5000, '(') + "orth = 'a'" + std::string(5000, ')');
    SqlQuery q;
    EXPECT_EQ(Parse(deep.c_str(), q), 19);
    std::string nots = "SELECT * FROM t WHERE ";
    for (int i = 0; i < 5000; ++i) nots += "NOT ";
    EXPECT_EQ(Parse((nots + "orth = 'a'").c_str(), q), 19);
    std::string chain = "SELECT * FROM t WHERE orth = 'a'";
    for (int i = 0; i < 20000; ++i) chain += " AND ent = 1";
    ASSERT_EQ(Parse(chain.c_str(), q), 0);
    std::vector<int32_t> parts;
    q.Conjuncts(q.where, parts);
    EXPECT_EQ(parts.size(), 20001u);
}

TEST(SqlMatchTest, LikeWildcardsAndCase) {
    EXPECT_TRUE(SqlMatch::Like(S("abcxyz"), S("a_c%")));
    EXPECT_TRUE(SqlMatch::Like(S("ABCxyz"), S("a_c%")));
    EXPECT_FALSE(SqlMatch::Like(S("ac"), S("a_c%")));
    EXPECT_TRUE(SqlMatch::Like(S(""), S("%")));
    EXPECT_TRUE(SqlMatch::Like(S("banana"), S("%an%na")));
    EXPECT_FALSE(SqlMatch::Like(S("banana"), S("%x%")));
    EXPECT_TRUE(SqlMatch::Like(S("a%b"), S("a%b")));  // no escape: '%' is a wildcard
    EXPECT_EQ(SqlMatch::LiteralPrefixLength(S("abc%d_")), 3);
    String long_a;
    long_a.AppendRepeat('a', 3000);
    String pat;
    pat.AppendAscii("%a%a%a%a%a%b");
    EXPECT_FALSE(SqlMatch::Like(long_a, pat));
}

TEST(SqlMatchTest, CompareFoldsAscii) {
    String a = S("Apple"), b = S("apple"), c = S("apples");
    EXPECT_EQ(SqlMatch::Compare(a.Data(), a.Length(), b.Data(), b.Length()), 0);
    EXPECT_LT(SqlMatch::Compare(b.Data(), b.Length(), c.Data(), c.Length()), 0);
}

}  // namespace

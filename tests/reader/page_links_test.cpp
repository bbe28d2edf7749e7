#include "reader/page_links.h"

#include <gtest/gtest.h>

namespace {

String S(const char16_t* s) { return String(s); }

// Drops the leading '$' the way the controller hands the link to the parsers.
String Body(const String& link) {
    String body;
    body.AssignSub(link, 1, -1);
    return body;
}

struct IndexFields {
    String word;
    int32_t table = 99, keyTable = 99, keyTag = 99, entry = 99;
    bool video = false;
    bool ok = false;
};

IndexFields ParseIndex(const String& link) {
    IndexFields f;
    f.ok = PageLinks::ParseIndexLink(link, f.word, f.table, f.keyTable, f.keyTag, f.entry,
                                     f.video);
    return f;
}

TEST(IndexLinkParse, AloneGivesEveryNumberMinusOne) {
    IndexFields f = ParseIndex(S(u"fvtindex"));
    EXPECT_TRUE(f.ok);
    EXPECT_EQ(f.table, -1);
    EXPECT_EQ(f.keyTable, -1);
    EXPECT_EQ(f.keyTag, -1);
    EXPECT_EQ(f.entry, -1);
}

TEST(IndexLinkParse, KeyTableWithoutKeyTagIsRejected) {
    EXPECT_FALSE(ParseIndex(S(u"fvtindex&5&7")).ok);
}

TEST(IndexLinkParse, NonNumberFieldBecomesTheWord) {
    IndexFields f = ParseIndex(S(u"fvtindex&5&apple"));
    EXPECT_TRUE(f.ok);
    EXPECT_EQ(f.table, 5);
    EXPECT_EQ(f.keyTable, -1);
    EXPECT_TRUE(f.word == S(u"apple"));
}

TEST(IndexLinkParse, PrefixMustBeAWholeField) {
    EXPECT_FALSE(ParseIndex(S(u"fvtindexes&5")).ok);
    EXPECT_FALSE(ParseIndex(S(u"fvtsql&5")).ok);
    EXPECT_FALSE(ParseIndex(S(u"")).ok);
}

TEST(IndexLinkParse, VideoFormSetsTheFlag) {
    IndexFields f = ParseIndex(S(u"fvtideo&3"));
    EXPECT_TRUE(f.ok);
    EXPECT_TRUE(f.video);
    EXPECT_EQ(f.table, 3);
}

TEST(IndexLinkParse, MissingTableIsRejected) {
    EXPECT_FALSE(ParseIndex(S(u"fvtindex&word")).ok);
    EXPECT_FALSE(ParseIndex(S(u"fvtindex&")).ok);
}

TEST(IndexLinkRoundTrip, EveryFieldComesBack) {
    String link;
    ASSERT_TRUE(PageLinks::BuildIndexLink(false, 5, 7, 12, 340, S(u"caf\u00e9 & #1 $x%"), link));
    EXPECT_EQ(link[0], u'$');
    EXPECT_EQ(link.IndexOf(u'#'), link.Length()) << "a '#' would make the location anchored";
    IndexFields f = ParseIndex(Body(link));
    ASSERT_TRUE(f.ok);
    EXPECT_EQ(f.table, 5);
    EXPECT_EQ(f.keyTable, 7);
    EXPECT_EQ(f.keyTag, 12);
    EXPECT_EQ(f.entry, 340);
    EXPECT_FALSE(f.video);
    EXPECT_TRUE(f.word == S(u"caf\u00e9 & #1 $x%"));
}

TEST(IndexLinkRoundTrip, NumericWordIsNotTakenForAField) {
    String link;
    ASSERT_TRUE(PageLinks::BuildIndexLink(true, 5, -1, -1, -1, S(u"42"), link));
    IndexFields f = ParseIndex(Body(link));
    ASSERT_TRUE(f.ok);
    EXPECT_TRUE(f.video);
    EXPECT_EQ(f.table, 5);
    EXPECT_EQ(f.keyTable, -1);
    EXPECT_TRUE(f.word == S(u"42"));
}

TEST(IndexLinkRoundTrip, KeyTableWithoutEntry) {
    String link;
    ASSERT_TRUE(PageLinks::BuildIndexLink(false, 0, 1, 2, -1, String(), link));
    EXPECT_TRUE(link == S(u"$fvtindex&0&1&2"));
    IndexFields f = ParseIndex(Body(link));
    ASSERT_TRUE(f.ok);
    EXPECT_EQ(f.table, 0);
    EXPECT_EQ(f.keyTag, 2);
    EXPECT_EQ(f.entry, -1);
    EXPECT_TRUE(f.word.IsEmpty());
}

struct SqlFields {
    uint32_t icon = 77;
    bool mark = false;
    String query = String(u"unset");
    String title = String(u"unset");
    bool ok = false;
};

SqlFields ParseSql(const String& link) {
    SqlFields f;
    f.ok = PageLinks::ParseSqlLink(link, f.icon, f.mark, f.query, f.title);
    return f;
}

TEST(SqlLinkParse, TitleKeepsTheRestOfTheLink) {
    SqlFields f = ParseSql(S(u"fvtsql&3&1&SELECT&Salt & pepper"));
    ASSERT_TRUE(f.ok);
    EXPECT_EQ(f.icon, 3u);
    EXPECT_TRUE(f.mark);
    EXPECT_TRUE(f.query == S(u"SELECT"));
    EXPECT_TRUE(f.title == S(u"Salt & pepper"));
}

TEST(SqlLinkParse, MissingOrBadFieldsKeepTheCallersValues) {
    SqlFields f = ParseSql(S(u"fvtsql&x"));
    ASSERT_TRUE(f.ok);
    EXPECT_EQ(f.icon, 77u);
    EXPECT_TRUE(f.query == S(u"unset"));
    EXPECT_TRUE(f.title == S(u"unset"));
}

TEST(SqlLinkParse, PrefixMustBeExact) {
    EXPECT_FALSE(ParseSql(S(u"fvtsqlx&1")).ok);
    EXPECT_FALSE(ParseSql(S(u"fvtindex&1")).ok);
}

TEST(SqlLinkRoundTrip, QueryAndTitleWithReservedCharacters) {
    const String query = S(u"SELECT * FROM '$tableid=3' AS t WHERE t LIKE 'a%&b#'");
    const String title = S(u"R\u00e9sultats & co #2");
    String link;
    ASSERT_TRUE(PageLinks::BuildSqlLink(232, false, query, title, link));
    EXPECT_EQ(link.IndexOf(u'#'), link.Length());
    EXPECT_EQ(link.IndexOf(u'$', 1), link.Length());
    SqlFields f = ParseSql(Body(link));
    ASSERT_TRUE(f.ok);
    EXPECT_EQ(f.icon, 232u);
    EXPECT_FALSE(f.mark);
    EXPECT_TRUE(f.query == query);
    EXPECT_TRUE(f.title == title);
}

TEST(SqlLinkRoundTrip, NoTitleWritesNoTitleField) {
    String link;
    ASSERT_TRUE(PageLinks::BuildSqlLink(0, false, S(u"q"), String(), link));
    EXPECT_TRUE(link == S(u"$fvtsql&0&0&q"));
}

}  // namespace

#include "reader/generated_pages.h"

#include <gtest/gtest.h>

#include "../database/fake_index.h"
#include "database/index_query.h"

namespace {

using namespace GeneratedPages;

String S(const char16_t* s) { return String(s); }

String Body(const String& location) {
    String body;
    body.AssignSub(location, 1, -1);
    return body;
}

String FirstRow(DatabaseView& view) {
    String s;
    view.RowText(0, s);
    return s;
}

class GeneratedPagesTest : public ::testing::Test {
protected:
    void SetUp() override {
        book.tables.push_back(new FakeIndex({"apple", "bank", "cat", "dog"}, "words"));
        book.tables.push_back(new FakeIndex({"river bank", "savings bank"}, "keys"));
        book.tables[0]->SetTag(1, 7, {0, 1});
    }
    FakeBook book;
};

TEST_F(GeneratedPagesTest, IndexTablePageRoundTrip) {
    String location;
    auto view = OpenIndexTable(&book, 0, -1, -1, -1, false, S(u"ca"), 0, location);
    ASSERT_TRUE(view);
    EXPECT_TRUE(location == S(u"$fvtindex&0&ca"));
    EXPECT_TRUE(FirstRow(*view) == S(u"cat"));

    String again;
    auto reopened = OpenPageLink(Body(location), &book, again);
    ASSERT_TRUE(reopened);
    EXPECT_TRUE(again == location);
    EXPECT_TRUE(FirstRow(*reopened) == S(u"cat"));
    EXPECT_TRUE(reopened->SearchText() == S(u"ca"));
}

TEST_F(GeneratedPagesTest, KeysOfOneEntryRoundTrip) {
    String location;
    auto view = OpenIndexTable(&book, 0, 1, 7, 1, true, String(), 0, location);
    ASSERT_TRUE(view);
    EXPECT_TRUE(location == S(u"$fvtideo&0&1&7&1"));
    EXPECT_EQ(view->Level(), 2u);
    view->SetRowsPerPage(4);
    EXPECT_EQ(view->Rows().size(), 2u);
    String again;
    auto reopened = OpenPageLink(Body(location), &book, again);
    ASSERT_TRUE(reopened);
    EXPECT_EQ(reopened->Level(), 2u);
    EXPECT_TRUE(FirstRow(*reopened) == S(u"river bank"));
}

TEST_F(GeneratedPagesTest, MissingTablesOpenNothing) {
    String location = S(u"unchanged");
    EXPECT_FALSE(OpenIndexTable(&book, 9, -1, -1, -1, false, String(), 0, location));
    EXPECT_FALSE(OpenIndexTable(&book, 0, 9, 7, 1, false, String(), 0, location));
    EXPECT_FALSE(OpenIndexTable(nullptr, 0, -1, -1, -1, false, String(), 0, location));
    EXPECT_TRUE(location == S(u"unchanged"));
    EXPECT_FALSE(OpenPageLink(S(u"fvtindex&5&7"), &book, location));
    EXPECT_FALSE(OpenPageLink(S(u"fvtother&0"), &book, location));
}

TEST_F(GeneratedPagesTest, EntryOutsideTheTableListsTheTable) {
    String location;
    auto view = OpenIndexTable(&book, 0, 1, 7, 50, false, String(), 0, location);
    ASSERT_TRUE(view);
    EXPECT_EQ(view->Level(), 1u);
}

TEST_F(GeneratedPagesTest, QueryPageRoundTripWithReservedCharacters) {
    const String query = S(u"SELECT * FROM 'tableid=0' AS tab WHERE tab LIKE 'b%'");
    const String title = S(u"B & co #1 \u00e9");
    String location;
    auto view = OpenQueryPage(query, &book, 230, true, title, 0, location);
    ASSERT_TRUE(view);
    EXPECT_TRUE(FirstRow(*view) == S(u"bank"));
    EXPECT_EQ(location.IndexOf(u'#'), location.Length());

    String again;
    auto reopened = OpenPageLink(Body(location), &book, again);
    ASSERT_TRUE(reopened);
    EXPECT_TRUE(again == location);
    EXPECT_TRUE(FirstRow(*reopened) == S(u"bank"));
    EXPECT_TRUE(reopened->Name() == title);
}

TEST_F(GeneratedPagesTest, QueryWithoutBrowsePartWritesZeros) {
    String location;
    auto view =
        OpenQueryPage(S(u"SELECT * FROM 'tableid=0' AS t"), &book, 230, true, String(), 0, location);
    ASSERT_TRUE(view);
    String head;
    head.AssignSub(location, 0, 12);
    EXPECT_TRUE(head == S(u"$fvtsql&0&0&"));
}

TEST_F(GeneratedPagesTest, QueryThatDoesNotCompileOpensNothing) {
    String location = S(u"unchanged");
    EXPECT_FALSE(OpenQueryPage(S(u"SELECT FROM"), &book, -1, false, String(), 0, location));
    EXPECT_FALSE(OpenQueryPage(S(u"SELECT * FROM 'tableid=8' AS t"), &book, -1, false, String(),
                               0, location));
    EXPECT_TRUE(location == S(u"unchanged"));
}

TEST(QueryRequests, SqlSearchArguments) {
    QueryRequest r;
    ASSERT_TRUE(ReadQueryRequest(kSqlSearch, {S(u"SELECT 1"), S(u"T"), S(u"12"), S(u"x"),
                                              S(u"1280")},
                                 r));
    EXPECT_TRUE(r.query == S(u"SELECT 1"));
    EXPECT_TRUE(r.title == S(u"T"));
    EXPECT_TRUE(r.startPosition == S(u"12"));
    EXPECT_EQ(r.number, 1280u);
    EXPECT_EQ(r.displayCode, -1);
    EXPECT_FALSE(r.flagByte);
    EXPECT_FALSE(ReadQueryRequest(kSqlSearch, {}, r));
}

TEST(QueryRequests, BulletSearchMapsTheBulletAndAddsTheBrowsePart) {
    QueryRequest r;
    ASSERT_TRUE(ReadQueryRequest(kSqlBulletSearch,
                                 {S(u"BUL_CROSS_RED"), S(u"true"), S(u"SELECT q"), S(u"c > 1"),
                                  S(u"Title")},
                                 r));
    EXPECT_EQ(r.displayCode, 230);
    EXPECT_TRUE(r.flagByte);
    EXPECT_TRUE(r.query == S(u"SELECT q __fvt_bwhere c > 1"));
    EXPECT_TRUE(r.title == S(u"Title"));
    ASSERT_TRUE(ReadQueryRequest(kSqlBulletSearch, {S(u"36"), S(u"no"), S(u"Q"), String()}, r));
    EXPECT_EQ(r.displayCode, 224);
    EXPECT_FALSE(r.flagByte);
    EXPECT_TRUE(r.query == S(u"Q"));
    EXPECT_FALSE(ReadQueryRequest(kSqlBulletSearch, {S(u"35"), S(u"true"), S(u"Q")}, r));
    EXPECT_EQ(BulletArgument(S(u"BUL_CHECK_GREEN")), 225u);
    EXPECT_EQ(BulletArgument(S(u"BUL_HOSPITAL")), 232u);
    EXPECT_EQ(BulletArgument(S(u"nonsense")), 224u);
}

std::vector<String> Numbered(int n) {
    std::vector<String> v;
    for (int i = 0; i < n; ++i) {
        String s;
        s.AppendAscii("a");
        s.AppendUnsigned(static_cast<uint32_t>(i), 10);
        v.push_back(s);
    }
    return v;
}

TEST(IndexRequests, ArgumentPositionsPerMethod) {
    IndexRequest r;
    std::vector<String> args = Numbered(5);
    args.push_back(S(u"16"));
    ASSERT_TRUE(ReadIndexRequest(kIndexSearch, args, r));
    EXPECT_TRUE(r.tableName == S(u"a0"));
    EXPECT_TRUE(r.extra[0] == S(u"a1"));
    EXPECT_TRUE(r.searchText == S(u"a2"));
    EXPECT_TRUE(r.startPosition == S(u"a3"));
    EXPECT_TRUE(r.title == S(u"a4"));
    EXPECT_EQ(r.flags, 16u);

    args = Numbered(7);
    args.push_back(S(u"8"));
    ASSERT_TRUE(ReadIndexRequest(kFilteredIndexSearch, args, r));
    EXPECT_TRUE(r.secondTableName == S(u"a1"));
    EXPECT_TRUE(r.extra[1] == S(u"a3"));
    EXPECT_TRUE(r.searchText == S(u"a4"));
    EXPECT_TRUE(r.title == S(u"a6"));
    EXPECT_EQ(r.flags, 8u);

    ASSERT_TRUE(ReadIndexRequest(kCondIndexSearch, args, r));
    EXPECT_TRUE(r.lookupKey == S(u"a2"));
    EXPECT_TRUE(r.extra[0] == S(u"a3"));
    EXPECT_TRUE(r.searchText == S(u"a4"));
    EXPECT_TRUE(r.startPosition == S(u"a5"));

    args = Numbered(4);
    args.push_back(S(u"4"));
    ASSERT_TRUE(ReadIndexRequest(kIdeogramSearch, args, r));
    EXPECT_TRUE(r.ideographic);
    EXPECT_TRUE(r.startPosition == S(u"a2"));
    EXPECT_TRUE(r.title == S(u"a3"));
    EXPECT_EQ(r.flags, 4u);
}

TEST(IndexRequests, TooFewArgumentsOrOtherMethods) {
    IndexRequest r;
    EXPECT_FALSE(ReadIndexRequest(kFilteredIndexSearch, Numbered(1), r));
    EXPECT_FALSE(ReadIndexRequest(kCondIndexSearch, Numbered(2), r));
    EXPECT_FALSE(ReadIndexRequest(kIndexSearch, {}, r));
    EXPECT_FALSE(ReadIndexRequest(96, Numbered(3), r));
    EXPECT_TRUE(ReadIndexRequest(kIndexSearch, Numbered(1), r)) << "later arguments are optional";
}

TEST(QueryRequests, OtherMethodsOpenNothing) {
    QueryRequest r;
    for (uint32_t method : {98u, 110u, 133u}) EXPECT_FALSE(ReadQueryRequest(method, {S(u"q")}, r));
}

}  // namespace

#include "reader/word_lists.h"

#include <gtest/gtest.h>

namespace {

TEST(WordListTitleTest, KnownCodesHaveTheirOwnTitles) {
    const std::u16string en = u"wl_en", fr = u"wl_fr", ko = u"wl_ko";
    EXPECT_EQ(5269, WordLists::WordListTitle(&en).stringId);
    EXPECT_EQ(5271, WordLists::WordListTitle(&fr).stringId);
    EXPECT_EQ(5274, WordLists::WordListTitle(&ko).stringId);
    EXPECT_TRUE(WordLists::WordListTitle(&fr).suffix.empty());
}

TEST(WordListTitleTest, OtherNamesGoInParentheses) {
    const std::u16string nl = u"wl_nl", shortName = u"wl_", longer = u"wl_pt_br";
    EXPECT_EQ(5061, WordLists::WordListTitle(&nl).stringId);
    EXPECT_EQ(u"(nl)", WordLists::WordListTitle(&nl).suffix);
    EXPECT_EQ(u"(wl_)", WordLists::WordListTitle(&shortName).suffix);
    EXPECT_EQ(u"(pt_br)", WordLists::WordListTitle(&longer).suffix);
    EXPECT_EQ(5061, WordLists::WordListTitle(nullptr).stringId);
    EXPECT_TRUE(WordLists::WordListTitle(nullptr).suffix.empty());
}

TEST(WordListMarkTest, MarksCycleAndStrayValuesReset) {
    EXPECT_EQ(1, WordLists::NextMark(0));
    EXPECT_EQ(2, WordLists::NextMark(1));
    EXPECT_EQ(0, WordLists::NextMark(2));
    EXPECT_EQ(0, WordLists::NextMark(std::nullopt));
    EXPECT_EQ(0, WordLists::NextMark(-1));
    EXPECT_EQ(0, WordLists::NextMark(7));
}

TEST(WordListLinkTest, LinksAndTheirNumbers) {
    std::int64_t n = 5;
    EXPECT_TRUE(WordLists::ParseWordListLink(u"fvtwordlist", &n));
    EXPECT_EQ(-1, n);
    EXPECT_TRUE(WordLists::ParseWordListLink(u"fvtwordlist&12", &n));
    EXPECT_EQ(12, n);
    EXPECT_FALSE(WordLists::ParseWordListLink(u"fvtwordlist&x", &n));
    EXPECT_FALSE(WordLists::ParseWordListLink(u"fvtwordlist&", &n));
    EXPECT_FALSE(WordLists::ParseWordListLink(u"fvtwordlist&99999999999", &n));
    EXPECT_FALSE(WordLists::ParseWordListLink(u"fvtsearchhistory", &n));
    EXPECT_TRUE(WordLists::IsSearchHistoryLink(u"fvtsearchhistory"));
    EXPECT_FALSE(WordLists::IsSearchHistoryLink(u"fvtwordlist"));
}

}  // namespace

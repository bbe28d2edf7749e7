#include "reader/database_view_text.h"

#include <gtest/gtest.h>

namespace {

using namespace DatabaseViewText;

String S(const char16_t* s) { return String(s); }

TEST(SearchTextCompare, CaseIgnoredByDefault) {
    EXPECT_TRUE(SameSearchText(S(u"Apple"), S(u"aPPLE"), 0));
    EXPECT_FALSE(SameSearchText(S(u"apple"), S(u"apples"), 0));
}

TEST(SearchTextCompare, LetterBlindInTheIdeographicInputModes) {
    // Latin letters and the Hangul vowels are what an input method is still composing.
    EXPECT_TRUE(SameSearchText(S(u"\u4e00ab\u4e8c"), S(u"\u4e00\u4e8cz"), 0x10000));
    EXPECT_TRUE(SameSearchText(S(u"\u4e00\u3150"), S(u"\u4e00"), 0x50000));
    EXPECT_FALSE(SameSearchText(S(u"\u4e00\u4e8c"), S(u"\u4e00"), 0x20000));
    EXPECT_FALSE(SameSearchText(S(u"ab"), S(u"AB1"), 0x20000));
    // Another mode compares whole texts.
    EXPECT_FALSE(SameSearchText(S(u"\u4e00ab"), S(u"\u4e00"), 0x30000));
}

TEST(SearchTextWildcards, HalfAndFullWidth) {
    EXPECT_EQ(FindWildcard(S(u"ab?c")), 2);
    EXPECT_EQ(FindWildcard(S(u"ab\uff0a")), 2);
    EXPECT_EQ(FindWildcard(S(u"\uff1f")), 0);
    EXPECT_EQ(FindWildcard(S(u"abc")), -1);
    EXPECT_TRUE(IsBlankSearch(String()));
    EXPECT_TRUE(IsBlankSearch(S(u"*ab")));
    EXPECT_FALSE(IsBlankSearch(S(u"a*")));
}

TEST(SearchTextExactKey, SkippedForPlainLowercaseDigitsAndSpaces) {
    EXPECT_TRUE(SkipsExactKey(S(u"hello world 42")));
    EXPECT_FALSE(SkipsExactKey(S(u"Hello")));
    EXPECT_FALSE(SkipsExactKey(S(u"caf\u00e9")));
    EXPECT_FALSE(SkipsExactKey(S(u"it's")));
}

TEST(TypeAheadEditing, CharactersGrowTheTextUntilQuiet) {
    TypeAhead t;
    String text;
    ASSERT_TRUE(t.Edit('a', S(u"old"), text));
    EXPECT_TRUE(text == S(u"a")) << "a new view starts a new text";
    ASSERT_TRUE(t.Edit('b', text, text));
    EXPECT_TRUE(text == S(u"ab"));
    t.Expire();
    ASSERT_TRUE(t.Edit('c', text, text));
    EXPECT_TRUE(text == S(u"c"));
}

TEST(TypeAheadEditing, BackspaceOnEmptyTextDoesNothing) {
    TypeAhead t;
    String text = S(u"keep");
    EXPECT_FALSE(t.Edit(TypeAhead::kBackspaceEvent, String(), text));
    EXPECT_TRUE(text == S(u"keep"));
    ASSERT_TRUE(t.Edit('x', String(), text));
    ASSERT_TRUE(t.Edit(TypeAhead::kBackspaceEvent, text, text));
    EXPECT_TRUE(text.IsEmpty());
    EXPECT_FALSE(t.Edit(TypeAhead::kBackspaceEvent, text, text));
}

TEST(TypeAheadEditing, CharacterIsTheEventsLowBits) {
    TypeAhead t;
    String text;
    ASSERT_TRUE(t.Edit(0x100E9, String(), text));
    EXPECT_TRUE(text == S(u"\u00e9"));
}

std::vector<TitleRun> Title(const char16_t* tmpl, uint32_t level) {
    std::vector<String> keys = {S(u"K0"), S(u"K1"), S(u"K2")};
    std::vector<TitleRun> runs;
    BuildQueryTitle(S(tmpl), level, keys, runs);
    return runs;
}

String Joined(const std::vector<TitleRun>& runs) {
    String all;
    for (const TitleRun& r : runs) {
        if (r.emphasised) all.AppendChar(u'[');
        all.Append(r.text);
        if (r.emphasised) all.AppendChar(u']');
    }
    return all;
}

TEST(QueryTitle, PiecePerLevel) {
    EXPECT_TRUE(Joined(Title(u"Words%%%Senses of %key%%%Last", 0)) == S(u"Words"));
    EXPECT_TRUE(Joined(Title(u"Words%%%Senses of %key%%%Last", 1)) == S(u"Senses of [K0]"));
    EXPECT_TRUE(Joined(Title(u"Words%%%Senses of %key%%%Last", 2)) == S(u"Last"));
}

TEST(QueryTitle, FewerPiecesGiveNoTitle) {
    EXPECT_TRUE(Title(u"Words%%%Senses", 2).empty());
}

TEST(QueryTitle, KeyAtLevelZeroStaysText) {
    EXPECT_TRUE(Joined(Title(u"All %key", 0)) == S(u"All %key"));
}

TEST(QueryTitle, NumberedKeysOnlyUpToTheCurrentLevel) {
    EXPECT_TRUE(Joined(Title(u"x%%%%1 and %3 %", 1)) == S(u"[K0] and %3 %"));
    EXPECT_TRUE(Joined(Title(u"x%%%y%%%%1/%3", 2)) == S(u"[K0]/[K2]"));
}

TEST(ViewCommands, RefusedCommands) {
    for (int32_t id : {4, 16, 26, 39, 40, 44, 50, 54, 74, 82}) EXPECT_FALSE(IsCommandEnabled(id));
    for (int32_t id : {3, 5, 15, 23, 25, 45, 49, 55, 66, 71, 73, 83})
        EXPECT_TRUE(IsCommandEnabled(id));
}

TEST(BulletSearch, DisplayCodes) {
    EXPECT_EQ(BulletDisplayCode(34), 230u);
    EXPECT_EQ(BulletDisplayCode(35), 225u);
    EXPECT_EQ(BulletDisplayCode(37), 232u);
    EXPECT_EQ(BulletDisplayCode(36), 224u);
    EXPECT_EQ(BulletDisplayCode(0), 224u);
}

}  // namespace

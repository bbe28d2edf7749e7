// The location record as the reader uses it: the empty value, clearing, copies, comparison.
#include <gtest/gtest.h>

#include "document/location/location.h"

namespace {

Location Parsed(const char16_t* s) {
    Location l;
    EXPECT_TRUE(l.Parse(String(s), true));
    return l;
}

TEST(LocationRecord, NewValueIsEmptyAndNeitherInternalNorBuiltIn) {
    Location l;
    EXPECT_EQ(l.Kind(), 9u);
    EXPECT_FALSE(l.IsInternal());
    EXPECT_FALSE(l.IsBuiltInPage());
    EXPECT_TRUE(l.Anchor().IsEmpty());
}

TEST(LocationRecord, ClearDropsTheAnchorToo) {
    Location l = Parsed(u"\\storage\\eBooks\\a.prc");
    l.SetAnchor(String(u"$1234"));
    l.Clear();
    EXPECT_EQ(l.Kind(), 9u);
    EXPECT_EQ(l.ResourceId(), 0u);
    EXPECT_TRUE(l.GetText().IsEmpty());
    EXPECT_TRUE(l.Anchor().IsEmpty());
    // An empty value equals another empty value with an empty anchor.
    Location other;
    EXPECT_TRUE(Location::EqualsString(l, other, String()));
}

TEST(LocationRecord, CopiesKeepTheirOwnAnchor) {
    Location a = Parsed(u"\\storage\\eBooks\\a.prc");
    a.SetAnchor(String(u"start"));
    Location b;
    b.CopyFrom(a);
    b.SetAnchor(String(u"$cover"));
    EXPECT_TRUE(a.Anchor() == String(u"start"));
    EXPECT_EQ(Location::Compare(a, b), 0);
    EXPECT_FALSE(Location::EqualsString(a, b, b.Anchor()));
}

TEST(LocationRecord, FilePathsCompareAcrossSeparators) {
    Location back = Parsed(u"\\storage\\eBooks\\a.prc");
    Location forward = Parsed(u"/storage/eBooks/a.prc");
    EXPECT_EQ(Location::Compare(back, forward), 0);
    Location other = Parsed(u"/storage/eBooks/b.prc");
    EXPECT_NE(Location::Compare(back, other), 0);
    EXPECT_EQ(Location::Compare(back, other), -Location::Compare(other, back));
    // Letters still count exactly: the device maps names as given.
    Location upper = Parsed(u"\\storage\\eBooks\\A.prc");
    EXPECT_NE(Location::Compare(back, upper), 0);
    Location longer = Parsed(u"\\storage\\eBooks\\a.prc2");
    EXPECT_LT(Location::Compare(back, longer), 0);
}

TEST(LocationRecord, KindThreeComparesLikeAFile) {
    Location file = Parsed(u"\\storage\\eBooks\\a.prc");
    Location typed;
    typed.CopyFrom(file);
    typed.SetKind(Location::kFileByType);
    EXPECT_EQ(Location::Compare(file, typed), 0);
}

TEST(LocationRecord, EqualsStringNeedsTheExactAnchor) {
    Location a = Parsed(u"\\storage\\eBooks\\a.prc");
    a.SetAnchor(String(u"start"));
    EXPECT_TRUE(Location::EqualsString(a, a, String(u"start")));
    EXPECT_FALSE(Location::EqualsString(a, a, String(u"Start")));
    EXPECT_FALSE(Location::EqualsString(a, a, String(u"start ")));
}

TEST(LocationRecord, InternalPagesDifferByTheirIds) {
    Location icons = Parsed(u"oeb:fvt_iconlib");
    Location cart = Parsed(u"oeb:cart");
    ASSERT_EQ(icons.Kind(), 0u);
    ASSERT_EQ(cart.Kind(), 0u);
    EXPECT_NE(Location::Compare(icons, cart), 0);
}

}  // namespace

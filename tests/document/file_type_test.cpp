#include "document/location/file_type.h"

#include <gtest/gtest.h>

namespace {

Text T(const char16_t* s) {
    Text t;
    t.FromWide(s);
    return t;
}

TEST(FileTypes, BookExtensionsIgnoreAsciiCase) {
    EXPECT_TRUE(FileType::IsBookFile(T(u"PRC")));
    EXPECT_TRUE(FileType::IsBookFile(T(u"Pdb")));
    EXPECT_TRUE(FileType::IsBookFile(T(u"FOLV")));
    EXPECT_FALSE(FileType::IsBookFile(T(u"prc2")));
    EXPECT_FALSE(FileType::IsBookFile(Text()));
    EXPECT_FALSE(FileType::IsBookFile(T(u"txt")));
    EXPECT_TRUE(FileType::IsPackageFile(T(u"FvtKg")));
}

TEST(FileTypes, Lists) {
    TextList list;
    ASSERT_TRUE(ListOpenableExtensions(list));
    ASSERT_EQ(list.Count(), 6);
    EXPECT_TRUE(list[0].EqualsWide(u"prc"));
    EXPECT_TRUE(list[1].EqualsWide(u"folv"));
    EXPECT_TRUE(list[4].EqualsWide(u"htm"));
    EXPECT_TRUE(list[5].EqualsWide(u"pdb"));
    Text t;
    ASSERT_TRUE(MakeFeedExtension(t));
    EXPECT_TRUE(t.EqualsWide(u"folvfeed"));
    Text* p = MakeBookExtension();
    ASSERT_NE(p, nullptr);
    EXPECT_TRUE(p->EqualsWide(u"folv"));
    delete p;
}

}  // namespace

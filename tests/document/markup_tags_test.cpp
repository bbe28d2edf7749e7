#include "document/markup/markup_tags.h"

#include <gtest/gtest.h>

namespace {

using namespace MarkupTags;

TEST(MarkupTagTable, ElementsAndAttributes) {
    EXPECT_TRUE(IsElement(1));
    EXPECT_EQ(Class(1), 8u);
    EXPECT_TRUE(IsElement(45));
    EXPECT_EQ(Class(45), 5u);
    EXPECT_TRUE(ClosesSame(45));
    EXPECT_FALSE(IsElement(60));  // INLINE is an attribute only
    EXPECT_TRUE(Flags(60) & kAttribute);
    EXPECT_TRUE(IsTextValued(97));  // HREF
    EXPECT_TRUE(IsElement(54));     // WIDTH is accepted as an element too
}

TEST(MarkupTagTable, EmptyElements) {
    for (uint32_t id : {3u, 4u, 32u, 33u, 50u, 64u, 68u, 77u, 82u, 83u, 88u, 121u, 143u})
        EXPECT_TRUE(IsEmpty(id)) << id;
    EXPECT_FALSE(IsEmpty(31));
    EXPECT_EQ(Class(143), 2u);
}

TEST(MarkupTagTable, IdsOutsideTheTableHaveNoEntry) {
    EXPECT_EQ(Flags(0), 0);
    EXPECT_EQ(Flags(209), 0);
    EXPECT_EQ(Flags(0xFFFFFFFFu), 0);
    EXPECT_EQ(AllowedChildren(99), 0u);
}

TEST(MarkupTagTable, ClassGroups) {
    EXPECT_TRUE(IsClass4to7(44));
    EXPECT_TRUE(IsClass4to7(46));
    EXPECT_FALSE(IsClass4to7(36));
    EXPECT_TRUE(IsClass1or9to12(40));
    EXPECT_TRUE(IsClass2or13or14or17(49));
}

TEST(MarkupTagTable, Masks) {
    EXPECT_EQ(AllowedChildren(17), 0u);  // SCRIPT takes no children
    EXPECT_EQ(AllowedChildren(5), 1u << 4);
    EXPECT_TRUE(AllowedChildren(8) & (1u << 3));
    EXPECT_EQ(WalkMaskStart(1), 0u);
    EXPECT_EQ(WalkMaskEndOrSame(12), (1u << 0) | (1u << 1) | (1u << 2) | (1u << 12));
}

}  // namespace

// Rows with links: each row's link comes back with a reference of its own, follows its row
// through a sort and is released with the set.
#include <gtest/gtest.h>

#include "document/markup/link_target.h"
#include "document/markup/linked_record_set.h"

namespace {

SortedRecordSet::Row MakeRow(const char16_t* first, uint16_t number) {
    SortedRecordSet::Row r;
    r.first = String(first);
    r.firstNumber = number;
    return r;
}

RefPtr<LinkTarget> Link(uint32_t number) {
    auto link = RefPtr<LinkTarget>::Adopt(new LinkTarget());
    link->kind = kLinkRecordRow;
    link->number = number;
    return link;
}

TEST(RowLinks, EachRowGivesItsOwnLinkWithANewReference) {
    auto set = RefPtr<LinkedRecordSet>::Adopt(new LinkedRecordSet());
    RefPtr<LinkTarget> a = Link(1);
    ASSERT_TRUE(set->AddRow(MakeRow(u"a", 1), a.Get()));
    ASSERT_TRUE(set->AddRow(MakeRow(u"b", 2), nullptr));
    ASSERT_TRUE(set->AddRow(MakeRow(u"c", 3)));
    EXPECT_EQ(a->RefCount(), 2);
    LinkTarget* got = set->GetLinkTarget(RecordPosition::At(0));
    ASSERT_EQ(got, a.Get());
    EXPECT_EQ(a->RefCount(), 3);
    got->Release();
    EXPECT_EQ(set->GetLinkTarget(RecordPosition::At(1)), nullptr);
    EXPECT_EQ(set->GetLinkTarget(RecordPosition::At(2)), nullptr);
    EXPECT_EQ(set->GetLinkTarget(RecordPosition::At(3)), nullptr);
    EXPECT_EQ(set->GetLinkTarget(RecordPosition::At(RecordPosition::kBeforeFirst)), nullptr);
    EXPECT_EQ(set->GetLinkTarget(RecordPosition::At(RecordPosition::kAfterLast)), nullptr);
    set.Reset();
    EXPECT_EQ(a->RefCount(), 1);  // released with the set
}

TEST(RowLinks, LinksFollowTheirRowsThroughASort) {
    auto set = RefPtr<LinkedRecordSet>::Adopt(new LinkedRecordSet());
    RefPtr<LinkTarget> z = Link(26), m = Link(13);
    set->AddRow(MakeRow(u"zeta", 26), z.Get());
    set->AddRow(MakeRow(u"beta", 2), nullptr);
    set->AddRow(MakeRow(u"mu", 13), m.Get());
    set->SortByFirstText();
    EXPECT_EQ(set->GetFirstNumber(0), 2);
    EXPECT_EQ(set->GetLinkTarget(RecordPosition::At(0)), nullptr);
    for (int32_t row : {1, 2}) {
        LinkTarget* link = set->GetLinkTarget(RecordPosition::At(row));
        ASSERT_NE(link, nullptr);
        EXPECT_EQ(link->number, set->GetFirstNumber(row));
        link->Release();
    }
    EXPECT_EQ(z->RefCount(), 2);
    EXPECT_EQ(m->RefCount(), 2);
}

TEST(RowLinks, RowsAddedThroughTheBaseHaveNoLink) {
    auto set = RefPtr<LinkedRecordSet>::Adopt(new LinkedRecordSet());
    SortedRecordSet* base = set.Get();
    base->AddRow(MakeRow(u"x", 1));
    RefPtr<LinkTarget> y = Link(2);
    set->AddRow(MakeRow(u"y", 2), y.Get());
    EXPECT_EQ(set->GetLinkTarget(RecordPosition::At(0)), nullptr);
    LinkTarget* got = set->GetLinkTarget(RecordPosition::At(1));
    EXPECT_EQ(got, y.Get());
    if (got) got->Release();
    base->AddRow(MakeRow(u"a", 3));
    set->SortByFirstText();
    got = set->GetLinkTarget(RecordPosition::At(2));
    EXPECT_EQ(got, y.Get());
    if (got) got->Release();
    EXPECT_EQ(set->GetLinkTarget(RecordPosition::At(0)), nullptr);
}

}  // namespace

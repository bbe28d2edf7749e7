// The list pop-up's row set: insertion order, texts, icon packing and the optional sort.
#include <gtest/gtest.h>

#include "database/sorted_record_set.h"
#include "db_test_util.h"

namespace {

TEST(SortedRecordSetTest, RowsKeepTheirOrderAndPackIcons) {
    SortedRecordSet* set = new SortedRecordSet();
    SortedRecordSet::Row r;
    r.first = S("zeta");
    r.second = S("Z");
    r.firstNumber = 225;
    r.secondNumber = 3;
    ASSERT_TRUE(set->AddRow(r));
    r.first = S("alpha");
    r.second = String();
    r.firstNumber = 0xFFFF;
    r.secondNumber = 0xFFFF;
    ASSERT_TRUE(set->AddRow(r));
    EXPECT_EQ(set->Count(), 2u);
    String s;
    ASSERT_TRUE(set->GetDisplayText(RecordPosition::At(0), s));
    EXPECT_EQ(A(s), "zeta");  // not sorted on insertion
    EXPECT_TRUE(set->GetShortId(RecordPosition::At(0), s));
    EXPECT_EQ(A(s), "Z");
    EXPECT_FALSE(set->GetShortId(RecordPosition::At(1), s));
    EXPECT_EQ(set->GetIcon(RecordPosition::At(0)), (3u << 16) | 225u);
    EXPECT_EQ(set->GetIcon(RecordPosition::At(1)), 0xFFFFFFFFu);
    EXPECT_EQ(set->GetIcon(RecordPosition::At(2)), 0u);
    EXPECT_EQ(set->GetLinkTarget(RecordPosition::At(0)), nullptr);
    EXPECT_EQ(set->Next(RecordPosition::At(1)).Get(), -2);
    set->SortByFirstText();
    ASSERT_TRUE(set->GetDisplayText(RecordPosition::At(0), s));
    EXPECT_EQ(A(s), "alpha");
    EXPECT_EQ(set->GetFirstNumber(1), 225);
    EXPECT_EQ(set->GetSecondNumber(1), 3);
    set->Release();
}

}  // namespace

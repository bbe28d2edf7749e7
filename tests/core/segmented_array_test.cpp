#include "core/segmented_array.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/containers.h"
#include "core/string.h"

namespace {

int32_t ValueAt(const SegmentedArray& a, int32_t i) {
    int32_t v;
    std::memcpy(&v, a.Get(i), sizeof(v));
    return v;
}

void Fill(SegmentedArray& a, int32_t n) {
    for (int32_t i = 0; i < n; ++i) ASSERT_EQ(a.Append(&i), i);
}

TEST(SegmentedArrayGrowth, AtRaisesTheCountAndZeroFills) {
    SegmentedArray a(4, 2);
    Fill(a, 3);
    a.FreeBlocks();  // count 0, the old values still sit in the blocks
    ASSERT_NE(a.At(5), nullptr);
    EXPECT_EQ(a.Count(), 6);
    for (int32_t i = 0; i < 6; ++i) EXPECT_EQ(ValueAt(a, i), 0);
    EXPECT_EQ(a.Get(6), nullptr);
}

TEST(SegmentedArrayGrowth, BadIndexesAreRefusedNotAllocated) {
    SegmentedArray a(8, 2);
    EXPECT_EQ(a.At(-1), nullptr);
    EXPECT_EQ(a.At(SegmentedArray::kMaxCount), nullptr);
    EXPECT_EQ(a.Count(), 0);
    EXPECT_FALSE(a.Reserve(-5));
}

TEST(SegmentedArrayGrowth, ElementAddressesStayPutWhileGrowing) {
    SegmentedArray a(4, 2);
    Fill(a, 1);
    void* first = a.Get(0);
    for (int32_t i = 1; i < 500; ++i) ASSERT_EQ(a.Append(&i), i);
    EXPECT_EQ(a.Get(0), first);
}

TEST(SegmentedArrayEdit, InsertAndRemoveAcrossBlocks) {
    SegmentedArray a(4, 2);
    Fill(a, 10);
    int32_t extra[3] = {100, 101, 102};
    ASSERT_TRUE(a.Insert(3, extra, 3));
    ASSERT_EQ(a.Count(), 13);
    EXPECT_EQ(ValueAt(a, 2), 2);
    EXPECT_EQ(ValueAt(a, 4), 101);
    EXPECT_EQ(ValueAt(a, 6), 3);
    EXPECT_EQ(ValueAt(a, 12), 9);
    a.Remove(2, 5);
    ASSERT_EQ(a.Count(), 8);
    EXPECT_EQ(ValueAt(a, 1), 1);
    EXPECT_EQ(ValueAt(a, 2), 4);
    a.Remove(6, 100);
    EXPECT_EQ(a.Count(), 6);
    EXPECT_FALSE(a.Insert(9, extra, 1));
}

// Inserts and removes of every length at every offset, against a plain vector: the shifts move
// spans block by block, so offsets and lengths that straddle block edges are the cases to cover.
TEST(SegmentedArrayEdit, ShiftsMatchAPlainVectorAtEveryBlockEdge) {
    for (int shift : {0, 1, 2, 3}) {
        for (int32_t at = 0; at <= 12; ++at) {
            for (int32_t n = 1; n <= 9; ++n) {
                SegmentedArray a(4, shift);
                std::vector<int32_t> v;
                for (int32_t i = 0; i < 20; ++i) {
                    ASSERT_EQ(a.Append(&i), i);
                    v.push_back(i);
                }
                std::vector<int32_t> extra(n);
                for (int32_t k = 0; k < n; ++k) extra[k] = 1000 + k;
                ASSERT_TRUE(a.Insert(at, extra.data(), n));
                v.insert(v.begin() + at, extra.begin(), extra.end());
                a.Remove(at + 1, n);
                v.erase(v.begin() + at + 1, v.begin() + std::min<size_t>(v.size(), at + 1 + n));
                ASSERT_EQ(a.Count(), static_cast<int32_t>(v.size()));
                for (int32_t i = 0; i < a.Count(); ++i)
                    ASSERT_EQ(ValueAt(a, i), v[i]) << "shift " << shift << " at " << at << " n " << n;
            }
        }
    }
}

TEST(TypedArray, RemovingARangeOfPlainRecordsKeepsTheRest) {
    struct Record {
        int32_t a, b;
    };
    SegArray<Record, 2> records;
    for (int32_t i = 0; i < 23; ++i) ASSERT_EQ(records.Append(Record{i, -i}), i);
    records.Remove(3, 9);
    ASSERT_EQ(records.Count(), 14);
    EXPECT_EQ(records.Get(2)->a, 2);
    EXPECT_EQ(records.Get(3)->a, 12);
    EXPECT_EQ(records.Get(13)->b, -22);
    records.Remove(10, 50);
    EXPECT_EQ(records.Count(), 10);
}

TEST(SegmentedArrayEdit, CopyMoveAndCopyRange) {
    SegmentedArray a(4, 3);
    Fill(a, 20);
    SegmentedArray b(4, 3);
    ASSERT_TRUE(b.Copy(a));
    EXPECT_EQ(ValueAt(b, 19), 19);
    SegmentedArray c(4, 3);
    c.Move(b);
    EXPECT_EQ(b.Count(), 0);
    EXPECT_EQ(c.Count(), 20);
    ASSERT_TRUE(c.CopyRangeFrom(a, 0, 5, 18));
    EXPECT_EQ(c.Count(), 23);
    EXPECT_EQ(ValueAt(c, 22), 4);
    EXPECT_FALSE(c.CopyRangeFrom(a, 18, 5, 0));
    c.FreeBlocks();
    c.FreeUnusedBlocks();
    EXPECT_EQ(c.Count(), 0);
    Fill(c, 3);
    EXPECT_EQ(ValueAt(c, 2), 2);
}

TEST(TypedArray, StringsAreCopiedAndReleasedAsObjects) {
    String shared(u"shared text");
    {
        StringArray a;
        ASSERT_EQ(a.Append(shared), 0);
        ASSERT_EQ(a.Append(shared), 1);
        EXPECT_EQ(shared.RefCount(), 3);
        StringArray b = a;
        EXPECT_EQ(shared.RefCount(), 5);
        b.Remove(0, 1);
        EXPECT_EQ(shared.RefCount(), 4);
        String more[2] = {String(u"x"), String(u"y")};
        ASSERT_TRUE(b.Insert(0, more, 2));
        EXPECT_TRUE(b[0].EqualsAscii("x"));
        EXPECT_EQ(b[2], shared);
        ASSERT_NE(b.At(6), nullptr);
        EXPECT_TRUE(b[5].IsEmpty());
    }
    EXPECT_EQ(shared.RefCount(), 1);
}

TEST(TypedArray, RemoveSwapLastAndMove) {
    PagedPtrArray a;
    int x, y, z;
    a.Append(&x);
    a.Append(&y);
    a.Append(&z);
    a.RemoveSwapLast(0);
    ASSERT_EQ(a.Count(), 2);
    EXPECT_EQ(a[0], &z);
    PagedPtrArray b;
    b.Move(a);
    EXPECT_EQ(a.Count(), 0);
    EXPECT_EQ(b[1], &y);
}

}  // namespace

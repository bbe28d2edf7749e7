#include "core/gap_array.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "core/ref_counted.h"

namespace {

std::vector<int32_t> Values(const GapArray<int32_t>& a) {
    std::vector<int32_t> out;
    for (int32_t i = 0; i < a.Count(); ++i) out.push_back(*a.Get(i));
    return out;
}

TEST(GapArrayOrder, MixedInsertionsAndRemovalsMatchAPlainArray) {
    GapArray<int32_t> a;
    std::vector<int32_t> model;
    std::mt19937 random(61);
    for (int step = 0; step < 5000; ++step) {
        int32_t n = static_cast<int32_t>(model.size());
        int kind = static_cast<int>(random() % 4);
        int32_t at = n == 0 ? 0 : static_cast<int32_t>(random() % static_cast<uint32_t>(n + 1));
        if (kind == 0) {
            ASSERT_GE(a.Append(step), 0);
            model.push_back(step);
        } else if (kind == 1 || n == 0) {
            int32_t two[2] = {step, -step};
            int32_t count = 1 + static_cast<int32_t>(random() % 2);
            ASSERT_TRUE(a.Insert(at, two, count));
            model.insert(model.begin() + at, two, two + count);
        } else if (kind == 2 && at < n) {
            int32_t count = 1 + static_cast<int32_t>(random() % 3);
            a.Remove(at, count);
            model.erase(model.begin() + at, model.begin() + std::min(n, at + count));
        } else {
            a.FreeUnusedBlocks();
        }
        ASSERT_EQ(a.Count(), static_cast<int32_t>(model.size())) << "step " << step;
    }
    EXPECT_EQ(Values(a), model);
}

TEST(GapArrayOrder, CopyAndMoveKeepTheOrderAroundTheGap) {
    GapArray<int32_t> a;
    for (int32_t i = 0; i < 20; ++i) a.Append(i);
    int32_t x = 100;
    ASSERT_TRUE(a.Insert(5, &x, 1));  // the gap now stands inside
    GapArray<int32_t> copy;
    ASSERT_TRUE(copy.Copy(a));
    EXPECT_EQ(Values(copy), Values(a));
    GapArray<int32_t> moved;
    moved.Move(a);
    EXPECT_EQ(a.Count(), 0);
    EXPECT_EQ(Values(moved), Values(copy));
    EXPECT_EQ(moved.Get(21), nullptr);
    EXPECT_EQ(moved.Get(-1), nullptr);
}

TEST(GapArrayCost, InsertingWhileWalkingMovesAConstantPerInsertion) {
    // A walk that inserts before every tenth value, as the line filler inserts a line record
    // before each line's items: moves per insertion stay the same for ten times the values.
    auto movesPerInsertion = [](int32_t n) {
        GapArray<int32_t> a;
        for (int32_t i = 0; i < n; ++i) a.Append(i);
        uint64_t before = a.Moved();
        int32_t inserted = 0;
        for (int32_t at = 0; at < a.Count(); at += 11) {
            int32_t line = -1;
            EXPECT_TRUE(a.Insert(at, &line, 1));
            ++inserted;
        }
        return static_cast<double>(a.Moved() - before) / inserted;
    };
    double small = movesPerInsertion(2000);
    double large = movesPerInsertion(20000);
    EXPECT_LT(small, 64.0);
    EXPECT_LT(large, 64.0);
    EXPECT_LT(large, 2 * small + 1);
}

TEST(GapArrayCost, AppendsNeverMoveTheGap) {
    GapArray<int32_t> a;
    for (int32_t i = 0; i < 1000; ++i) a.Append(i);
    int32_t x = 7;
    ASSERT_TRUE(a.Insert(10, &x, 1));
    uint64_t before = a.Moved();
    for (int32_t i = 0; i < 1000; ++i) a.Append(i);
    EXPECT_EQ(a.Moved(), before);
    EXPECT_EQ(*a.Get(10), 7);
    EXPECT_EQ(*a.Get(1001), 0);
}

// Counts the live references to it, as strings and link targets count theirs.
class Counted : public RefCounted {};

struct Holder {
    RefPtr<Counted> ref;
    int32_t value = 0;
};

TEST(PooledArrayItems, AddressesStayAcrossInsertionsAndRemovalsAround) {
    PooledArray<Holder, 2> a;
    for (int32_t i = 0; i < 40; ++i) a.Append(Holder{{}, i});
    Holder* kept = a.Get(20);
    for (int32_t i = 0; i < 30; ++i) {
        Holder h{{}, 1000 + i};
        ASSERT_TRUE(a.Insert(i % 2 ? 25 : 5, &h, 1));
    }
    a.Remove(0, 3);
    a.Remove(30, 5);
    bool found = false;
    for (int32_t i = 0; i < a.Count(); ++i) found = found || a.Get(i) == kept;
    EXPECT_TRUE(found);
    EXPECT_EQ(kept->value, 20);
}

TEST(PooledArrayItems, RemovalReleasesAtOnceAndSlotsAreUsedAgain) {
    RefPtr<Counted> target = RefPtr<Counted>::Adopt(new Counted());
    PooledArray<Holder, 2> a;
    for (int32_t i = 0; i < 8; ++i) a.Append(Holder{target, i});
    EXPECT_EQ(target->RefCount(), 9);
    a.Remove(2, 3);
    EXPECT_EQ(target->RefCount(), 6);
    Holder fresh{{}, 99};
    ASSERT_TRUE(a.Insert(1, &fresh, 1));
    std::vector<int32_t> values;
    for (int32_t i = 0; i < a.Count(); ++i) values.push_back(a.Get(i)->value);
    EXPECT_EQ(values, (std::vector<int32_t>{0, 99, 1, 5, 6, 7}));
    a.FreeUnusedBlocks();  // packs in order
    values.clear();
    for (int32_t i = 0; i < a.Count(); ++i) values.push_back(a.Get(i)->value);
    EXPECT_EQ(values, (std::vector<int32_t>{0, 99, 1, 5, 6, 7}));
    a.Clear();
    EXPECT_EQ(target->RefCount(), 1);
}

}  // namespace

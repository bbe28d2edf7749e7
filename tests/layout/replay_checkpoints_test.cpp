// The checkpoint store replays start from: which positions take a checkpoint, which one a
// replay starts from, and the kept ones written and read back across sessions.
#include "layout/replay_checkpoints.h"

#include <gtest/gtest.h>

#include "document/markup/render_state.h"

namespace {

using Checkpoint = ReplayCheckpoints::Checkpoint;
constexpr uint32_t kSpacing = ReplayCheckpoints::kSpacing;

Checkpoint At(uint32_t position, bool rebuilt = false) {
    Checkpoint c;
    c.position = position;
    c.rebuilt = rebuilt;
    c.scanState.WriteWord32BE(position);  // stands for the source's state there
    return c;
}

TEST(ReplayCheckpointsTest, KeepsEachKindSpacedAndChoosesTheNearestOfItsKind) {
    ReplayCheckpoints store;
    const uint32_t first = 100;
    // Exact ones: a spacing past the first page and past the last one.
    EXPECT_FALSE(store.WantsExact(first + kSpacing - 1, first));
    ASSERT_TRUE(store.WantsExact(first + kSpacing, first));
    store.AddExact(At(first + kSpacing));
    EXPECT_FALSE(store.WantsExact(first + 2 * kSpacing - 1, first));
    store.AddExact(At(first + 2 * kSpacing - 1));  // too close: not taken
    EXPECT_TRUE(store.WantsExact(first + 2 * kSpacing, first));

    // Rebuilt ones come in any order and keep the spacing on both sides.
    store.AddRebuilt(At(5 * kSpacing));
    store.AddRebuilt(At(2 * kSpacing));
    EXPECT_FALSE(store.WantsRebuilt(5 * kSpacing - kSpacing / 2));
    EXPECT_FALSE(store.WantsRebuilt(2 * kSpacing + kSpacing / 2));
    EXPECT_TRUE(store.WantsRebuilt(3 * kSpacing + 1));

    // An exact replay starts from the nearest exact checkpoint (or the first page), never from
    // a rebuilt one; a rebuilding one only from a rebuilt one.
    ReplayCheckpoints::Start s = store.Nearest(first + 10, false, first);
    EXPECT_EQ(s.position, first);
    EXPECT_EQ(s.live, nullptr);
    s = store.Nearest(10 * kSpacing, false, first);
    EXPECT_EQ(s.position, first + kSpacing);
    ASSERT_NE(s.live, nullptr);
    EXPECT_FALSE(s.rebuilt);
    s = store.Nearest(10 * kSpacing, true, first);
    EXPECT_EQ(s.position, 5 * kSpacing);
    EXPECT_TRUE(s.rebuilt && s.live && s.live->rebuilt);
    EXPECT_EQ(store.Nearest(kSpacing, true, first).position, ReplayCheckpoints::kNone);

    // A nearby one of the same kind closer to the target wins.
    store.AddNearby(At(7 * kSpacing), true);
    EXPECT_EQ(store.Nearest(10 * kSpacing, false, first).position, 7 * kSpacing);
    store.ForgetNearby();
    EXPECT_EQ(store.Nearest(10 * kSpacing, false, first).position, first + kSpacing);

    store.ForgetReadings();
    EXPECT_EQ(store.Nearest(10 * kSpacing, false, first).position, first);
}

TEST(ReplayCheckpointsTest, NearbyOnesAreCappedOldestFirst) {
    ReplayCheckpoints store;
    const int32_t cap = ReplayCheckpoints::kMaxNearby;
    for (int32_t i = 1; i <= cap + 1; ++i) store.AddNearby(At(1000u * i), true);
    // The first one went; the second is the lowest left.
    EXPECT_EQ(store.Nearest(1500, false, 0).position, 0u);
    EXPECT_EQ(store.Nearest(2500, false, 0).position, 2000u);
    // `once` keeps a position from being held twice (and the oldest from being pushed out).
    store.AddNearby(At(2000), true);
    EXPECT_EQ(store.Nearest(2500, false, 0).position, 2000u);
    // Without it the same position comes again, and the two oldest (2000 and 3000) go.
    store.AddNearby(At(2000), false);
    store.AddNearby(At(2000), false);
    EXPECT_EQ(store.Nearest(3500, false, 0).position, 2000u);
    EXPECT_EQ(store.Nearest(4500, false, 0).position, 4000u);
}

TEST(ReplayCheckpointsTest, KeptOnesRoundTripAndBadInputDropsThemAll) {
    const DocumentDefaults defaults;
    const uint32_t length = 40 * ReplayCheckpoints::kKeptSpacing;
    ReplayCheckpoints store;
    // Nothing new to keep: nothing written.
    ByteStream none;
    EXPECT_FALSE(store.SaveKept(none, length));

    store.AddExact(At(ReplayCheckpoints::kKeptSpacing));
    store.AddExact(At(ReplayCheckpoints::kKeptSpacing + kSpacing));  // thinned away
    store.AddExact(At(3 * ReplayCheckpoints::kKeptSpacing));
    store.AddRebuilt(At(10 * ReplayCheckpoints::kKeptSpacing, true));
    ByteStream saved;
    ASSERT_TRUE(store.SaveKept(saved, length));

    ReplayCheckpoints later;
    ASSERT_TRUE(saved.SetReadPosition(0));
    ASSERT_TRUE(later.LoadKept(saved, length, defaults));
    EXPECT_EQ(later.KeptCount(), 3u);
    EXPECT_EQ(later.KeptRebuiltCount(), 1u);
    ReplayCheckpoints::Start s = later.Nearest(5 * ReplayCheckpoints::kKeptSpacing, false, 0);
    EXPECT_EQ(s.position, 3 * ReplayCheckpoints::kKeptSpacing);
    ASSERT_NE(s.kept, nullptr);
    EXPECT_EQ(later.Nearest(20 * ReplayCheckpoints::kKeptSpacing, true, 0).position,
              10 * ReplayCheckpoints::kKeptSpacing);
    // Kept ones stay through new settings; they go with the source.
    later.ForgetReadings();
    EXPECT_EQ(later.KeptCount(), 3u);
    // Saving again with nothing added writes nothing.
    ByteStream again;
    EXPECT_FALSE(later.SaveKept(again, length));
    later.Clear();
    EXPECT_EQ(later.KeptCount(), 0u);

    // A text shorter than a kept position, or a stream cut short: none are taken.
    ReplayCheckpoints shorter;
    ASSERT_TRUE(saved.SetReadPosition(0));
    EXPECT_FALSE(shorter.LoadKept(saved, 2 * ReplayCheckpoints::kKeptSpacing, defaults));
    EXPECT_EQ(shorter.KeptCount(), 0u);
    ByteStream cut;
    ASSERT_TRUE(cut.WriteBytes(saved.Data(), saved.Size() - 2));
    ASSERT_TRUE(cut.SetReadPosition(0));
    EXPECT_FALSE(shorter.LoadKept(cut, length, defaults));
    EXPECT_EQ(shorter.KeptCount(), 0u);
}

}  // namespace

// State blocks inside a larger state stream.
#include "reader/state_block.h"

#include <gtest/gtest.h>

namespace {

TEST(StateBlock, EmptyStateWritesNothing) {
    StateBlock block;
    ByteStream target;
    target.WriteByte(7);
    EXPECT_TRUE(block.WriteTo(target));
    EXPECT_EQ(target.Size(), 1u);
}

TEST(StateBlock, RoundTripsAfterAnUnalignedPrefix) {
    StateBlock first, second;
    first.Stream().WriteWord32BE(0x45425653);
    first.Stream().WriteByte(9);
    second.Stream().WriteWord16BE(0x1234);
    ByteStream target;
    target.WriteByte(1);  // the block starts on the next multiple of 4
    ASSERT_TRUE(first.WriteTo(target));
    ASSERT_TRUE(second.WriteTo(target));
    EXPECT_EQ(target.Size() % 4, 0u);

    uint8_t prefix = 0;
    ASSERT_TRUE(target.ReadByte(prefix));
    StateBlock a, b;
    a.Stream().WriteByte(0xEE);  // stale contents are dropped
    ASSERT_TRUE(a.ReadFrom(target));
    ASSERT_TRUE(b.ReadFrom(target));
    uint32_t tag = 0;
    uint8_t nine = 0;
    ASSERT_TRUE(a.Stream().ReadWord32BE(tag));
    ASSERT_TRUE(a.Stream().ReadByte(nine));
    EXPECT_EQ(tag, 0x45425653u);
    EXPECT_EQ(nine, 9);
    EXPECT_EQ(a.Stream().Remaining(), 0u);
    uint16_t half = 0;
    ASSERT_TRUE(b.Stream().ReadWord16BE(half));
    EXPECT_EQ(half, 0x1234);
    EXPECT_FALSE(a.ReadFrom(target));  // nothing more
    EXPECT_EQ(a.Stream().Size(), 0u);
}

TEST(StateBlock, TruncatedSourceIsRefused) {
    StateBlock block;
    block.Stream().WriteWord32BE(1);
    block.Stream().WriteWord32BE(2);
    ByteStream target;
    ASSERT_TRUE(block.WriteTo(target));
    ByteStream cut;
    cut.WriteBytes(target.Data(), target.Size() - 4);
    StateBlock back;
    EXPECT_FALSE(back.ReadFrom(cut));
    EXPECT_FALSE(cut.Ok());
    EXPECT_EQ(back.Stream().Size(), 0u);
    // A length word larger than anything that follows.
    ByteStream huge;
    huge.WriteWord32BE(0xFFFFFFF0u);
    EXPECT_FALSE(back.ReadFrom(huge));
}

}  // namespace

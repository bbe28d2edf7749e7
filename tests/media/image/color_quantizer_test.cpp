// The octree quantizer and the fixed palette.
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "media/image/color_quantizer.h"

using C = ColorQuantizer::Color;

TEST(ColorQuantizer, LowestBitMakesSeparateLeaves) {
    ColorQuantizer q;
    q.AddColor(C{10, 20, 30, 0});
    q.AddColor(C{10, 20, 31, 0});
    EXPECT_EQ(q.LeafCount(), 2u);
    std::uint8_t pal[8] = {};
    ASSERT_EQ(q.GetPalette(pal), 2u);
    EXPECT_EQ(pal[2], 30);
    EXPECT_EQ(pal[6], 31);
    EXPECT_EQ(q.Nearest(C{10, 20, 31, 0}), 1);
}

TEST(ColorQuantizer, ReducingMergesTheNewestDeepestNode) {
    ColorQuantizer q;
    for (int i = 0; i < 257; ++i) {
        q.AddAndReduce(C{std::uint8_t(i), std::uint8_t(i * 3), std::uint8_t(255 - i), 0}, 256);
        EXPECT_LE(q.LeafCount(), 256u);
    }
    EXPECT_LE(q.LeafDepth(), 8);
    // The last colours added sit under the newest level-7 node; after the merge the colour
    // pair 255/256 no longer has two leaves of its own.
    std::vector<std::uint8_t> pal(256 * 4);
    std::uint32_t n = q.GetPalette(pal.data());
    EXPECT_EQ(n, q.LeafCount());
    std::set<int> indices;
    for (int i = 0; i < 257; ++i) {
        int index = q.Nearest(C{std::uint8_t(i), std::uint8_t(i * 3), std::uint8_t(255 - i), 0});
        ASSERT_GE(index, 0);
        ASSERT_LT(index, int(n));
        indices.insert(index);
    }
    EXPECT_EQ(indices.size(), n);
}

TEST(ColorQuantizer, MergedLeafAveragesItsColours) {
    ColorQuantizer q;
    q.AddColor(C{0, 0, 0, 0});
    q.AddColor(C{0, 0, 1, 0});
    q.AddColor(C{0, 0, 3, 0});
    // Level 7 holds two nodes: the newest (over 3 alone) merges first and changes nothing.
    ASSERT_TRUE(q.Reduce());
    EXPECT_EQ(q.LeafCount(), 3u);
    ASSERT_TRUE(q.Reduce());
    EXPECT_EQ(q.LeafCount(), 2u);
    while (q.LeafCount() > 1 && q.Reduce()) {
    }
    std::uint8_t pal[4] = {};
    ASSERT_EQ(q.GetPalette(pal), 1u);
    EXPECT_EQ(pal[2], 1);  // (0 + 1 + 3) / 3
}

TEST(ColorQuantizer, ReduceStopsWhenNothingIsLeft) {
    ColorQuantizer q;
    EXPECT_FALSE(q.Reduce());
    q.AddColor(C{1, 2, 3, 0});
    while (q.Reduce()) {
    }
    EXPECT_EQ(q.LeafCount(), 1u);
    q.AddAndReduce(C{200, 2, 3, 0}, 0);  // a wish of 0 colours is taken as 1
    EXPECT_EQ(q.LeafCount(), 1u);
}

TEST(ColorQuantizer, MissingChildFallsToTheLowestExisting) {
    ColorQuantizer q;
    q.AddColor(C{255, 255, 255, 0});
    q.AddColor(C{0, 255, 0, 0});
    q.GetPalette(nullptr);
    // (0, 0, 255) takes child 1 at the root, which is missing: the lowest existing child is
    // 2 (green), whose subtree leads to its leaf.
    EXPECT_EQ(q.Nearest(C{0, 0, 255, 0}), 0);
    ColorQuantizer empty;
    EXPECT_EQ(empty.Nearest(C{1, 2, 3, 0}), -1);
}

TEST(ColorQuantizer, SortedPaletteIsStrictAndMapped) {
    ColorQuantizer q;
    q.AddColor(C{200, 0, 0, 0});
    q.AddColor(C{0, 200, 0, 0});  // same sum
    q.AddColor(C{10, 10, 10, 0});
    std::uint8_t pal[12];
    ASSERT_EQ(q.GetSortedPalette(pal, true), 3u);
    EXPECT_EQ(pal[0], 10);
    EXPECT_LT(pal[7], pal[11]);  // equal sums ordered by leaf number
    EXPECT_EQ(q.NearestSorted(C{10, 10, 10, 0}), 0);
    ASSERT_EQ(q.GetSortedPalette(pal, false), 3u);
    EXPECT_EQ(q.NearestSorted(C{10, 10, 10, 0}), 2);
}

TEST(FixedPalette, PositionsAndNearest) {
    auto rgb = [](int p) {
        const std::uint8_t* e = FixedPaletteEntry(p);
        return std::vector<int>{e[0], e[1], e[2], e[3]};
    };
    EXPECT_EQ(rgb(0), (std::vector<int>{255, 255, 255, 0}));
    EXPECT_EQ(rgb(1), (std::vector<int>{255, 204, 255, 1}));
    EXPECT_EQ(rgb(6), (std::vector<int>{255, 255, 204, 6}));
    EXPECT_EQ(rgb(108), (std::vector<int>{255, 255, 102, 108}));
    EXPECT_EQ(rgb(215), (std::vector<int>{17, 17, 17, 215}));
    EXPECT_EQ(rgb(225), (std::vector<int>{192, 192, 192, 225}));
    EXPECT_EQ(rgb(229), (std::vector<int>{0, 128, 128, 229}));
    EXPECT_EQ(rgb(255), (std::vector<int>{0, 0, 0, 255}));
    std::set<std::vector<int>> distinct;
    for (int i = 0; i < 256; ++i) distinct.insert({rgb(i)[0], rgb(i)[1], rgb(i)[2]});
    EXPECT_EQ(distinct.size(), 231u);
    EXPECT_EQ(NearestPaletteColor(0x121212), 215);
    EXPECT_EQ(NearestPaletteColor(0), 230);
    EXPECT_EQ(NearestPaletteColor(0x010000), 255);
    ColorQuantizer q;
    q.LoadFixedPalette();
    EXPECT_EQ(q.LeafCount(), 231u);
}

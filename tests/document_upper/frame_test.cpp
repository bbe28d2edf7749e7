#include <gtest/gtest.h>

#include <climits>
#include <map>
#include <memory>
#include <vector>

#include "document_upper/frames/frame.h"

namespace {

String S(const char16_t* s) {
    return String(s);
}

struct Leaf : Node {
    explicit Leaf(int* deleted = nullptr) : deleted(deleted) {}
    ~Leaf() override {
        if (deleted) ++*deleted;
    }
    Rect& AdjustRect(Rect& out, const Rect& in) override {
        rect = in;
        out = in;
        return out;
    }
    int32_t ZOrder() const override { return 0; }
    bool Show(bool s) override {
        shown = s;
        return true;
    }
    int* deleted;
    Rect rect{};
    bool shown = false;
};

struct FakeViews : FrameViews {
    std::map<Node*, int32_t> links;
    std::map<Node*, int32_t> heights;
    std::vector<std::pair<Node*, int32_t>> marks;
    std::vector<int32_t> asked;  // heights offered to measured leaves
    int32_t CountLinkAreas(Node* leaf) override { return links.count(leaf) ? links[leaf] : 0; }
    void SelectMark(Node* leaf, int32_t n) override { marks.emplace_back(leaf, n); }
    int32_t NextLinkArea(Node* leaf, int32_t) override { return CountLinkAreas(leaf) > 0 ? 0 : -1; }
    int32_t PreviousLinkArea(Node* leaf, int32_t) override { return CountLinkAreas(leaf) - 1; }
    int32_t QueryLayoutRange(Node* leaf, int32_t, int32_t height) override {
        asked.push_back(height);
        return heights[leaf];
    }
};

}  // namespace

TEST(FrameSizing, PixelsPercentAndSharesWithTheLeftover) {
    Frame f;
    Leaf a, b, c, d;
    ASSERT_TRUE(f.AddChild(&a, S(u"a"), 20, FrameEntry::kPixels, false, true, false));
    ASSERT_TRUE(f.AddChild(&b, S(u"b"), 50, FrameEntry::kPercent, false, true, false));
    ASSERT_TRUE(f.AddChild(&c, S(u"c"), 1, FrameEntry::kShare, false, true, false));
    ASSERT_TRUE(f.AddChild(&d, S(u"d"), 2, FrameEntry::kShare, false, true, false));
    Rect out;
    f.AdjustRect(out, Rect{0, 10, 100, 301});
    EXPECT_EQ(a.rect.height, 20);
    EXPECT_EQ(b.rect.height, 150);
    EXPECT_EQ(c.rect.height, 43);
    EXPECT_EQ(d.rect.height, 88);
    EXPECT_EQ(b.rect.y, 30);
    EXPECT_EQ(d.rect.y, 10 + 20 + 150 + 43);
    EXPECT_EQ(d.rect.width, 100);
    f.DetachAll();
}

TEST(FrameSizing, HugeBookValuesNeitherOverflowNorGoNegative) {
    uint32_t sizes[] = {0xFFFFFFFFu, 300, 0xFFFFFFFFu, 1};
    uint32_t units[] = {FrameEntry::kPercent, FrameEntry::kPixels, FrameEntry::kUnits,
                        FrameEntry::kShare};
    int32_t out[4] = {-1, -1, -1, -1};
    SizeFrameChildren(200, 0xFFFFFFFFu, sizes, units, 4, out);
    for (int32_t v : out) EXPECT_GE(v, 0);
    EXPECT_EQ(out[0], INT32_MAX);
    EXPECT_EQ(out[3], 0);  // nothing left for the share
}

TEST(FrameSizing, ZeroSharesDivideNothing) {
    uint32_t sizes[] = {0, 0, 40};
    uint32_t units[] = {FrameEntry::kShare, FrameEntry::kShare, FrameEntry::kPixels};
    int32_t out[3] = {};
    SizeFrameChildren(100, 10, sizes, units, 3, out);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[1], 0);
    EXPECT_EQ(out[2], 40);
}

TEST(FrameSizing, ColumnsUnitsAndNestedFramesetsTakeTheUnitSize) {
    Frame f;
    f.SetRows(false);
    f.SetUnitSize(7);
    Leaf a, b;
    auto* nested = new Frame;
    ASSERT_TRUE(f.AddChild(&a, S(u"a"), 3, FrameEntry::kUnits, false, true, false));
    ASSERT_TRUE(f.AddChild(nested, S(u"n"), 1, FrameEntry::kShare, true, false, false));
    ASSERT_TRUE(nested->AddChild(&b, S(u"b"), 2, FrameEntry::kUnits, false, true, false));
    Rect out;
    f.AdjustRect(out, Rect{5, 0, 100, 50});
    EXPECT_EQ(a.rect.width, 21);
    EXPECT_EQ(nested->StoredRect().x, 26);
    EXPECT_EQ(nested->StoredRect().width, 79);
    EXPECT_EQ(nested->UnitSize(), 7u);
    EXPECT_EQ(b.rect.height, 14);  // rows inside the nested frameset
    f.DetachAll();
}

TEST(FrameSizing, MeasuredChildIsPixelsAgainstTheHeightLeftAndRemeasured) {
    Frame f;
    FakeViews views;
    f.SetViews(&views);
    Leaf top, body;
    views.heights[&top] = 40;
    ASSERT_TRUE(f.AddChild(&top, S(u"top"), 9, FrameEntry::kShare, false, true, true));
    ASSERT_TRUE(f.AddChild(&body, S(u"body"), 1, FrameEntry::kShare, false, true, false));
    Rect out;
    f.AdjustRect(out, Rect{0, 0, 100, 300});
    EXPECT_EQ(top.rect.height, 40);
    EXPECT_EQ(body.rect.height, 260);
    EXPECT_EQ(f.EntryAt(0)->unit, FrameEntry::kPixels);
    views.heights[&top] = 70;
    f.Relayout();
    EXPECT_EQ(top.rect.height, 70);
    EXPECT_EQ(body.rect.height, 230);
    ASSERT_EQ(views.asked.size(), 2u);
    EXPECT_EQ(views.asked[0], 300);
    f.DetachAll();
}

TEST(FrameNames, FindsLeavesDepthFirstButNeverAFramesetsOwnName) {
    Frame f;
    Leaf a, deep;
    auto* n1 = new Frame;
    auto* n2 = new Frame;
    ASSERT_TRUE(f.AddChild(n1, S(u"outer"), 1, FrameEntry::kShare, true, false, false));
    ASSERT_TRUE(n1->AddChild(n2, S(u"inner"), 1, FrameEntry::kShare, true, false, false));
    ASSERT_TRUE(n2->AddChild(&deep, S(u"target"), 1, FrameEntry::kShare, false, true, false));
    ASSERT_TRUE(f.AddChild(&a, S(u"target"), 1, FrameEntry::kShare, false, true, false));
    EXPECT_EQ(f.FindByName(S(u"target")), &deep);
    EXPECT_EQ(f.FindByName(S(u"inner")), nullptr);
    EXPECT_EQ(f.FindByName(S(u"Target")), nullptr);
    EXPECT_TRUE(f.ContainsLeaf(&deep));
    EXPECT_FALSE(f.ContainsLeaf(n2));
    f.DetachAll();
}

TEST(FrameTakedown, DefaultListenerDeletesEachReportedChildOnceAndSparesSilentOnes) {
    int deleted = 0;
    auto* f = new Frame;
    auto* nested = new Frame;
    Leaf kept(&deleted);
    ASSERT_TRUE(
        f->AddChild(new Leaf(&deleted), S(u"a"), 1, FrameEntry::kShare, false, false, false));
    ASSERT_TRUE(f->AddChild(nested, S(u"n"), 1, FrameEntry::kShare, true, false, false));
    ASSERT_TRUE(
        nested->AddChild(new Leaf(&deleted), S(u"b"), 1, FrameEntry::kShare, false, false, false));
    ASSERT_TRUE(f->AddChild(&kept, S(u"own"), 1, FrameEntry::kShare, false, true, false));
    f->DetachAll();
    EXPECT_EQ(deleted, 2);
    EXPECT_EQ(f->EntryCount(), 0);
    EXPECT_EQ(kept.Parent(), nullptr);
    EXPECT_EQ(f->ChildCount(), 0);
    delete f;
    EXPECT_EQ(deleted, 2);
}

TEST(FrameTakedown, DestructorUsesItsOwnRuleWhateverListenerWasSet) {
    struct Keeper : FrameListener {
        int calls = 0;
        void OnFrameRemoved(FrameEntry&, Node*, bool) override { ++calls; }
    };
    int deleted = 0;
    Keeper keeper;
    {
        Frame f;
        f.SetListener(&keeper);
        ASSERT_TRUE(f.AddChild(new Leaf(&deleted), S(u"a"), 1, 3, false, false, false));
    }
    EXPECT_EQ(keeper.calls, 0);
    EXPECT_EQ(deleted, 1);
}

TEST(FrameTakedown, FramesetsDeeperThanTheCapAreRefused) {
    Frame root;
    Frame* at = &root;
    int32_t added = 0;
    for (int32_t i = 0; i < Frame::kMaxDepth + 5; ++i) {
        auto* next = new Frame;
        if (!at->AddChild(next, S(u"x"), 1, 3, true, false, false)) {
            delete next;
            break;
        }
        ++added;
        at = next;
    }
    EXPECT_EQ(added, Frame::kMaxDepth - 1);
    root.DetachAll();
}

TEST(FrameFocus, NextLinkMovesThroughLeavesAndNestedFramesets) {
    Frame f;
    FakeViews views;
    f.SetViews(&views);
    Leaf a, b, c;
    auto* nested = new Frame;
    views.links[&a] = 2;
    views.links[&b] = 0;
    views.links[&c] = 3;
    ASSERT_TRUE(f.AddChild(&a, S(u"a"), 1, 3, false, true, false));
    ASSERT_TRUE(f.AddChild(nested, S(u"n"), 1, 3, true, false, false));
    ASSERT_TRUE(nested->AddChild(&b, S(u"b"), 1, 3, false, true, false));
    ASSERT_TRUE(nested->AddChild(&c, S(u"c"), 1, 3, false, true, false));
    EXPECT_EQ(f.CountLinkAreas(), 5);

    ASSERT_TRUE(f.FocusNextLink(true, true));
    ASSERT_EQ(views.marks.size(), 2u);
    EXPECT_EQ(views.marks[0], std::make_pair(static_cast<Node*>(&a), -1));
    EXPECT_EQ(views.marks[1], std::make_pair(static_cast<Node*>(&a), 0));

    // With a focused first leaf the search goes on into the nested frameset's first leaf
    // that has links.
    f.OnChildFocusChanged(&a, nullptr, true);
    EXPECT_EQ(f.FocusedLeafView(), &a);
    views.marks.clear();
    ASSERT_TRUE(f.FocusNextLink(true, false));
    EXPECT_EQ(views.marks.back(), std::make_pair(static_cast<Node*>(&c), 0));

    // Backward from the first leaf finds nothing; forward from the last leaf neither.
    EXPECT_FALSE(f.FocusNextLink(false, false));
    nested->OnChildFocusChanged(&c, nullptr, true);  // reaches f through the nested frame
    EXPECT_EQ(f.FocusedLeafView(), &c);
    EXPECT_FALSE(f.FocusNextLink(true, false));
    ASSERT_TRUE(f.FocusNextLink(false, true));
    EXPECT_EQ(views.marks.back(), std::make_pair(static_cast<Node*>(&c), 2));
    f.DetachAll();
}

TEST(FrameFocus, ShowAllReachesEveryLeaf) {
    Frame f;
    Leaf a, b;
    auto* nested = new Frame;
    ASSERT_TRUE(f.AddChild(&a, S(u"a"), 1, 3, false, true, false));
    ASSERT_TRUE(f.AddChild(nested, S(u"n"), 1, 3, true, false, false));
    ASSERT_TRUE(nested->AddChild(&b, S(u"b"), 1, 3, false, true, false));
    f.ShowAll(true);
    EXPECT_TRUE(a.shown);
    EXPECT_TRUE(b.shown);
    f.DetachAll();
}

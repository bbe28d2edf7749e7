// The node tree: ordering, event routing, focus, coordinates, index paths and the safety of
// call-outs that destroy their caller.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "graphics/core/node.h"

namespace {

std::vector<std::string>* gLog = nullptr;

void Note(const std::string& s) {
    if (gLog) gLog->push_back(s);
}

class TestNode : public Node {
public:
    explicit TestNode(std::string name, int32_t z = 0) : name_(std::move(name)), z_(z) {}
    Rect& AdjustRect(Rect& out, const Rect& in) override {
        out = in;
        return out;
    }
    int32_t ZOrder() const override { return z_; }
    bool HandleEvent(InputEvent& e) override {
        Note(name_ + ":event");
        if (onEvent) return onEvent(e);
        return handles;
    }
    void OnFocusChanged(bool gained) override {
        Note(name_ + (gained ? ":gained" : ":lost"));
        if (onFocus) onFocus(gained);
    }
    bool HitTest(const Rect& area) override { return Rect::Intersects(rect, area); }
    bool GetRect(Rect& out) override {
        out = rect;
        return true;
    }
    void Redraw(const Rect*) override { Note(name_ + ":draw"); }
    void SetCovered(const Rect&, bool covered) override {
        Note(name_ + (covered ? ":covered" : ":uncovered"));
    }
    bool IsModal() const override { return modal; }
    bool IsPopup() const override { return popup; }
    bool IsShown() const override { return shown; }
    bool Show(bool s) override {
        shown = s;
        return true;
    }

    std::string name_;
    int32_t z_;
    bool handles = false;
    bool modal = false;
    bool popup = false;
    bool shown = true;
    Rect rect{0, 0, 10, 10};
    std::function<bool(InputEvent&)> onEvent;
    std::function<void(bool)> onFocus;
};

class TestWidget : public Widget {
public:
    explicit TestWidget(std::string name, int32_t z = 0, bool scope = false)
        : name_(std::move(name)), z_(z), scope_(scope) {}
    int32_t ZOrder() const override { return z_; }
    bool IsFocusScope() const override { return scope_; }
    bool HandleEvent(InputEvent& e) override {
        if (scope_) return Widget::HandleEvent(e);
        Note(name_ + ":event");
        return handles;
    }
    void OnChildFocusChanged(Node* n, Widget* via, bool gained) override {
        Note(name_ + (gained ? ":child-gained" : ":child-lost"));
        Widget::OnChildFocusChanged(n, via, gained);
    }
    void GetTransform(Transform& out, bool withoutRotation) const override {
        out = withoutRotation ? shift : rotation;
    }
    bool IsModal() const override { return modal; }

    std::string name_;
    int32_t z_;
    bool scope_;
    bool handles = false;
    bool modal = false;
    Transform shift = Transform::Identity();
    Transform rotation = Transform::Identity();
};

class NodeTest : public ::testing::Test {
protected:
    void SetUp() override { gLog = &log; }
    void TearDown() override {
        gLog = nullptr;
        Widget::FailInsertsAfterForTesting(-1);
    }
    std::vector<std::string> log;
};

std::vector<Node*> Children(Widget& w) {
    std::vector<Node*> out;
    for (int32_t i = 0; i < w.ChildCount(); ++i) out.push_back(w.ChildAt(i));
    return out;
}

// ---- Ordering ---------------------------------------------------------------------------------

TEST_F(NodeTest, EqualZOrderGoesBeforeExistingChildren) {
    TestWidget root("root", 0, true);
    TestNode a("a", 10), b("b", -128), c("c", 10);
    ASSERT_TRUE(a.SetParent(&root));
    ASSERT_TRUE(b.SetParent(&root));
    ASSERT_TRUE(c.SetParent(&root));
    EXPECT_EQ(Children(root), (std::vector<Node*>{&c, &a, &b}));
    EXPECT_TRUE(root.CheckInvariants());
}

TEST_F(NodeTest, FailedInsertLeavesTheNodeDetachedAndTheTreeAsItWas) {
    TestWidget root("root", 0, true);
    TestNode a("a"), b("b");
    ASSERT_TRUE(a.SetParent(&root));
    Widget::FailInsertsAfterForTesting(0);
    EXPECT_FALSE(b.SetParent(&root));
    EXPECT_EQ(b.Parent(), nullptr);
    EXPECT_EQ(Children(root), (std::vector<Node*>{&a}));
    EXPECT_TRUE(root.CheckInvariants());
}

TEST_F(NodeTest, MovingToAnotherParentLeavesTheFirst) {
    TestWidget p1("p1", 0, true), p2("p2", 0, true);
    TestNode a("a");
    a.SetParent(&p1);
    a.SetParent(&p2);
    EXPECT_EQ(p1.ChildCount(), 0);
    EXPECT_EQ(a.Parent(), &p2);
    EXPECT_TRUE(a.SetParent(nullptr));
    EXPECT_EQ(p2.ChildCount(), 0);
}

TEST_F(NodeTest, RedrawDrawsInOrderAndSkipsChildrenTheAreaMisses) {
    TestWidget root("root", 0, true);
    TestNode top("top", 5), bottom("bottom", 1);
    bottom.rect = Rect{20, 20, 5, 5};
    top.SetParent(&root);
    bottom.SetParent(&root);
    root.Redraw(nullptr);
    EXPECT_EQ(log, (std::vector<std::string>{"top:draw", "bottom:draw"}));
    log.clear();
    Rect area{0, 0, 5, 5};
    root.Redraw(&area);
    EXPECT_EQ(log, (std::vector<std::string>{"top:draw"}));
}

// ---- Destruction ------------------------------------------------------------------------------

TEST_F(NodeTest, ParentDestroyedBeforeItsChildrenLetsThemGo) {
    auto root = std::make_unique<TestWidget>("root", 0, true);
    auto child = std::make_unique<TestNode>("child");
    child->SetParent(root.get());
    child->Focus();
    EXPECT_TRUE(child->IsFocused());
    root.reset();
    EXPECT_EQ(child->Parent(), nullptr);
    EXPECT_EQ(child->FocusHolder(), nullptr);
    EXPECT_FALSE(child->IsFocused());
    child.reset();  // must not reach the freed parent
}

TEST_F(NodeTest, DestroyedFocusedNodeLeavesNoDanglingFocus) {
    TestWidget root("root", 0, true);
    auto a = std::make_unique<TestNode>("a");
    a->SetParent(&root);
    a->Focus();
    a.reset();
    EXPECT_EQ(root.FocusedNode(), nullptr);
    EXPECT_TRUE(root.CheckInvariants());
}

// ---- Events -----------------------------------------------------------------------------------

TEST_F(NodeTest, EventClimbsFromTheFocusedNodeAndStopsBelowTheScope) {
    TestWidget root("root", 0, true);
    TestWidget mid("mid");
    TestNode leaf("leaf");
    mid.SetParent(&root);
    leaf.SetParent(&mid);
    leaf.Focus();
    log.clear();
    InputEvent e = InputEvent::Key(kKeyDown);
    EXPECT_FALSE(root.HandleEvent(e));
    EXPECT_EQ(log, (std::vector<std::string>{"leaf:event", "mid:event"}));
    mid.handles = true;
    log.clear();
    EXPECT_TRUE(root.HandleEvent(e));
}

TEST_F(NodeTest, NoFocusedNodeMeansUnhandled) {
    TestWidget root("root", 0, true);
    InputEvent e = InputEvent::Key(kKeyDown);
    EXPECT_FALSE(root.HandleEvent(e));
}

TEST_F(NodeTest, HandlerThatDestroysItsNodeEndsTheClimb) {
    TestWidget root("root", 0, true);
    TestWidget mid("mid");
    mid.SetParent(&root);
    auto* leaf = new TestNode("leaf");
    leaf->SetParent(&mid);
    leaf->Focus();
    leaf->onEvent = [&](InputEvent&) {
        delete leaf;
        return false;
    };
    log.clear();
    InputEvent e = InputEvent::Key(kKeyDown);
    EXPECT_FALSE(root.HandleEvent(e));
    // The dying node's blur is heard; no handler runs after it.
    EXPECT_EQ(log, (std::vector<std::string>{"leaf:event", "mid:child-lost"}));
    EXPECT_EQ(root.FocusedNode(), nullptr);
}

TEST_F(NodeTest, HooksAreOfferedFromTheLastAndMayUnregisterThemselves) {
    TestWidget root("root", 0, true);
    TestNode low("low"), high("high");
    low.SetParent(&root);
    high.SetParent(&root);
    ASSERT_TRUE(low.RegisterHook(1));
    ASSERT_TRUE(high.RegisterHook(5));
    EXPECT_EQ(root.HookCount(), 2);
    high.onEvent = [&](InputEvent&) {
        high.UnregisterHooks();
        return false;
    };
    log.clear();
    InputEvent e = InputEvent::Key(kKeyUp);
    root.HandleEvent(e);
    EXPECT_EQ(log, (std::vector<std::string>{"high:event", "low:event"}));
    EXPECT_EQ(root.HookCount(), 1);
    low.Detach();
    EXPECT_EQ(root.HookCount(), 0);
}

TEST_F(NodeTest, EventCodeReadsTheStampedColumnOfARow) {
    uint32_t row[kKeyRowColumns] = {12, 12, 1, 21, 12, 0x40e, 0x40e, 0x40e, 0x40c, 0x40c, 1, 1};
    InputEvent e = InputEvent::Row(row);
    e.column = static_cast<uint8_t>(InputState::kAutoScroll);
    EXPECT_EQ(e.Code(), static_cast<uint32_t>(kKeyFaster));
    EXPECT_EQ(e.CodeAt(4), 12u);
    EXPECT_EQ(e.CodeAt(12), 0u);
    EXPECT_EQ(e.CodeAt(-1), 0u);
    InputEvent plain = InputEvent::Key(kKeyLeft);
    EXPECT_EQ(plain.CodeAt(7), static_cast<uint32_t>(kKeyLeft));
    EXPECT_FALSE(plain.IsPen());
    EXPECT_TRUE(InputEvent::Pen(kPenDown, Point{1, 2}).IsPen());
}

TEST_F(NodeTest, HookPrioritiesKeepTheirOrder) {
    TestWidget root("root", 0, true);
    TestNode a("a"), b("b"), c("c");
    a.SetParent(&root);
    b.SetParent(&root);
    c.SetParent(&root);
    ASSERT_TRUE(a.RegisterHook(10));
    ASSERT_TRUE(b.RegisterHook(5));    // before a
    ASSERT_TRUE(c.RegisterHook(256));  // always last
    ASSERT_TRUE(b.RegisterHook(5));    // already there
    EXPECT_EQ(root.HookCount(), 3);
    InputEvent e = InputEvent::Key(kKeyUp);
    log.clear();
    root.HandleEvent(e);
    EXPECT_EQ(log, (std::vector<std::string>{"c:event", "a:event", "b:event"}));
    ASSERT_TRUE(b.RegisterHook(20));  // moves between a and c
    log.clear();
    root.HandleEvent(e);
    EXPECT_EQ(log, (std::vector<std::string>{"c:event", "b:event", "a:event"}));
    TestNode loose("loose");
    EXPECT_FALSE(loose.RegisterHook(1));
}

TEST_F(NodeTest, SetActiveStopsWhenTheWidgetIsDestroyed) {
    struct Killer : TestNode {
        Killer() : TestNode("killer", 5) {}
        void SetActive(bool) override {
            Note("killer:active");
            if (victim) delete victim;
        }
        Widget* victim = nullptr;
    };
    TestWidget root("root", 0, true);
    auto* group = new TestWidget("group");
    group->SetParent(&root);
    Killer k;
    struct Active : TestNode {
        Active() : TestNode("after") {}
        void SetActive(bool) override { Note("after:active"); }
    } after;
    k.SetParent(group);
    after.SetParent(group);
    k.victim = group;
    log.clear();
    group->SetActive(true);
    EXPECT_EQ(log, (std::vector<std::string>{"killer:active"}));
    EXPECT_EQ(k.Parent(), nullptr);
    EXPECT_EQ(after.Parent(), nullptr);
}

TEST_F(NodeTest, OrientationChangesReachEveryChild) {
    struct Turned : TestNode {
        Turned() : TestNode("t") {}
        void OnOrientationChanged(int o) override { seen = o; }
        int seen = -1;
    } a, b;
    TestWidget root("root", 0, true);
    a.SetParent(&root);
    b.SetParent(&root);
    root.OnOrientationChanged(3);
    EXPECT_EQ(a.seen, 3);
    EXPECT_EQ(b.seen, 3);
}

// ---- Focus ------------------------------------------------------------------------------------

TEST_F(NodeTest, FocusWithoutAnyScopeDoesNothing) {
    TestWidget plain("plain");
    TestNode a("a");
    a.SetParent(&plain);
    a.Focus();
    EXPECT_FALSE(a.IsFocused());
    EXPECT_EQ(plain.FocusedNode(), nullptr);
}

TEST_F(NodeTest, FocusMovesBetweenNodesAndTellsTheAncestors) {
    TestWidget root("root", 0, true);
    TestWidget group("group");
    TestNode a("a"), b("b");
    group.SetParent(&root);
    a.SetParent(&group);
    b.SetParent(&root);
    log.clear();
    a.Focus();
    EXPECT_EQ(log, (std::vector<std::string>{"a:gained", "group:child-gained"}));
    EXPECT_EQ(root.FocusedNode(), &a);
    EXPECT_EQ(a.FocusHolder(), &root);
    EXPECT_EQ(group.FocusedDescendant(), &a);
    log.clear();
    b.Focus();
    // The scope that is b's own parent still hears of it.
    EXPECT_EQ(log, (std::vector<std::string>{"a:lost", "group:child-lost", "b:gained",
                                             "root:child-gained"}));
    EXPECT_EQ(group.FocusedDescendant(), nullptr);
    EXPECT_TRUE(root.CheckInvariants());
}

TEST_F(NodeTest, ModalNodeKeepsTheFocus) {
    TestWidget root("root", 0, true);
    TestNode overlay("overlay", -128), other("other");
    overlay.modal = true;
    overlay.SetParent(&root);
    other.SetParent(&root);
    overlay.Focus();
    other.Focus();
    EXPECT_EQ(root.FocusedNode(), &overlay);
    EXPECT_FALSE(other.IsFocused());
}

TEST_F(NodeTest, TwoModalNodesDoNotHandFocusBackAndForth) {
    TestWidget root("root", 0, true);
    TestWidget popup("popup", -128);
    TestNode heading("heading"), list("list");
    heading.modal = list.modal = true;
    popup.SetParent(&root);
    heading.SetParent(&popup);
    list.SetParent(&popup);
    heading.Focus();
    EXPECT_FALSE(root.FocusChild(&list));  // no endless redirection
    EXPECT_EQ(root.FocusedNode(), &heading);
}

TEST_F(NodeTest, FocusInsideTheModalBranchIsAccepted) {
    TestWidget root("root", 0, true);
    TestWidget popup("popup", -128);
    popup.modal = true;
    TestNode inner("inner");
    popup.SetParent(&root);
    inner.SetParent(&popup);
    ASSERT_TRUE(root.FocusChild(&popup));
    EXPECT_TRUE(root.FocusChild(&inner));
    EXPECT_EQ(root.FocusedNode(), &inner);
}

TEST_F(NodeTest, ClearedFocusIsRestored) {
    TestWidget root("root", 0, true);
    TestNode a("a");
    a.SetParent(&root);
    a.Focus();
    root.ClearFocus();
    EXPECT_FALSE(a.IsFocused());
    EXPECT_EQ(root.LastFocused(), &a);
    root.RestoreFocus(nullptr);
    EXPECT_TRUE(a.IsFocused());
    EXPECT_EQ(root.LastFocused(), nullptr);
}

TEST_F(NodeTest, NodeThatDeletesItselfOnLosingFocusIsNotRemembered) {
    TestWidget root("root", 0, true);
    auto* a = new TestNode("a");
    a->SetParent(&root);
    a->Focus();
    a->onFocus = [&](bool gained) {
        if (!gained) delete a;
    };
    root.ClearFocus();
    EXPECT_EQ(root.LastFocused(), nullptr);
    EXPECT_EQ(root.FocusedNode(), nullptr);
    root.RestoreFocus(nullptr);  // nothing to restore, nothing touched
    EXPECT_TRUE(root.CheckInvariants());
}

TEST_F(NodeTest, HiddenPopupIsNeverGivenFocusBack) {
    TestWidget root("root", 0, true);
    TestNode pop("pop", -128);
    pop.popup = true;
    pop.SetParent(&root);
    pop.Focus();
    pop.shown = false;
    root.ClearFocus();
    EXPECT_EQ(root.LastFocused(), nullptr);
}

TEST_F(NodeTest, NodeInsideAHiddenPopupIsNotRestored) {
    TestWidget root("root", 0, true);
    struct Pop : TestWidget {
        Pop() : TestWidget("pop", -128) {}
        bool IsPopup() const override { return true; }
        bool IsShown() const override { return shown; }
        bool shown = true;
    } pop;
    TestNode box("box");
    pop.SetParent(&root);
    box.SetParent(&pop);
    box.Focus();
    root.ClearFocus();
    pop.shown = false;
    root.RestoreFocus(nullptr);
    EXPECT_FALSE(box.IsFocused());
}

TEST_F(NodeTest, CalleeThatFocusesAnotherNodeKeepsThatFocus) {
    TestWidget root("root", 0, true);
    TestNode a("a"), b("b");
    a.SetParent(&root);
    b.SetParent(&root);
    a.Focus();
    a.onFocus = [&](bool gained) {
        if (!gained) root.SetChildFocus(&b, true);
    };
    root.SetChildFocus(&a, false);
    EXPECT_EQ(root.FocusedNode(), &b);
    EXPECT_TRUE(b.IsFocused());
    EXPECT_TRUE(root.CheckInvariants());
}

TEST_F(NodeTest, DetachingABranchDropsTheFocusHeldAboveIt) {
    TestWidget root("root", 0, true);
    TestWidget group("group");
    TestNode a("a");
    group.SetParent(&root);
    a.SetParent(&group);
    a.Focus();
    group.Detach();
    EXPECT_EQ(root.FocusedNode(), nullptr);
    EXPECT_FALSE(a.IsFocused());
}

// ---- Coordinates and hit testing --------------------------------------------------------------

TEST_F(NodeTest, TransformsComposeUpToTheAncestor) {
    TestWidget root("root", 0, true);
    TestWidget panel("panel");
    TestNode leaf("leaf");
    panel.shift = Transform::Translation(10, 20);
    panel.rotation = panel.shift;
    root.rotation = Transform::FromOrientation(3);
    panel.SetParent(&root);
    leaf.SetParent(&panel);
    Point out;
    leaf.MapPoint(out, true, true, &root, Point{1, 2}, true);
    EXPECT_EQ(out, (Point{11, 22}));
    leaf.MapPoint(out, true, false, &root, Point{1, 2}, true);
    EXPECT_EQ(out, (Point{-11, -22}));
    leaf.MapPoint(out, true, true, &root, Point{11, 22}, false);
    EXPECT_EQ(out, (Point{1, 2}));
}

TEST_F(NodeTest, TransformToANonAncestorFails) {
    TestWidget root("root", 0, true), other("other", 0, true);
    TestNode leaf("leaf");
    leaf.SetParent(&root);
    Transform t = Transform::Translation(3, 3);
    EXPECT_FALSE(leaf.TransformToAncestor(true, false, &other, t));
    EXPECT_EQ(t, Transform::Identity());
    EXPECT_TRUE(root.TransformToAncestor(true, true, &root, t));
    EXPECT_EQ(t, Transform::Identity());
}

TEST_F(NodeTest, HitTestFollowingSeesOnlyWhatLiesAbove) {
    TestWidget root("root", 0, true);
    TestNode under("under", 5), over("over", 1);
    under.SetParent(&root);
    over.SetParent(&root);
    Rect p{2, 2, 1, 1};
    EXPECT_TRUE(under.HitTestFollowing(p));
    EXPECT_FALSE(over.HitTestFollowing(p));
    over.rect = Rect{50, 50, 1, 1};
    EXPECT_FALSE(under.HitTestFollowing(p));
}

TEST_F(NodeTest, CoverNodesBeneathTellsOnlyTheEarlierSiblings) {
    TestWidget root("root", 0, true);
    TestNode a("a", 9), b("b", 5), c("c", 1);
    a.SetParent(&root);
    b.SetParent(&root);
    c.SetParent(&root);
    log.clear();
    b.CoverNodesBeneath(true);
    EXPECT_EQ(log, (std::vector<std::string>{"a:covered"}));
}

TEST_F(NodeTest, AdjustRectPassesThroughEveryChild) {
    struct Dock : TestNode {
        Dock() : TestNode("dock") {}
        Rect& AdjustRect(Rect& out, const Rect& in) override {
            out = in;
            out.height -= 12;
            return out;
        }
    } d1, d2;
    TestWidget root("root", 0, true);
    d1.SetParent(&root);
    d2.SetParent(&root);
    Rect out;
    root.AdjustRect(out, Rect{0, 0, 240, 320});
    EXPECT_EQ(out, (Rect{0, 0, 240, 296}));
}

// ---- Index paths ------------------------------------------------------------------------------

TEST_F(NodeTest, IndexPathRoundTrips) {
    TestWidget root("root", 0, true);
    TestWidget group("group", 3);
    TestNode a("a", 5), b("b", 1), c("c");
    a.SetParent(&root);
    group.SetParent(&root);
    b.SetParent(&group);
    c.SetParent(&group);
    SegArray<int32_t> path;
    ASSERT_TRUE(root.GetIndexPath(path, &c));
    ASSERT_EQ(path.Count(), 2);
    EXPECT_EQ(path[0], 1);
    EXPECT_EQ(root.ChildByIndexPath(path), &c);
    ASSERT_TRUE(root.GetIndexPath(path, &root));
    EXPECT_EQ(path.Count(), 0);
    EXPECT_EQ(root.ChildByIndexPath(path), &root);
}

TEST_F(NodeTest, BadIndexPathsFindNothing) {
    TestWidget root("root", 0, true);
    TestNode a("a"), loose("loose");
    a.SetParent(&root);
    SegArray<int32_t> path;
    EXPECT_FALSE(root.GetIndexPath(path, &loose));
    path.Append(-1);
    EXPECT_EQ(root.ChildByIndexPath(path), nullptr);
    path.Clear();
    path.Append(1);
    EXPECT_EQ(root.ChildByIndexPath(path), nullptr);
    path.Clear();
    path.Append(0);
    path.Append(0);  // a is not a widget
    EXPECT_EQ(root.ChildByIndexPath(path), nullptr);
}

// ---- Drawing brackets -------------------------------------------------------------------------

TEST_F(NodeTest, BeginDrawWithoutARootGivesNoContext) {
    TestNode loose("loose");
    EXPECT_EQ(loose.BeginDraw(false, nullptr), nullptr);
    EXPECT_FALSE(loose.EndDraw());
}

}  // namespace

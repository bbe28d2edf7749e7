#include "core/list.h"

#include <gtest/gtest.h>

#include "core/ref_counted.h"

namespace {

struct Watched {
    List anchor;
};

TEST(WeakReference, ClearedWhenTheAnchorIsDestroyed) {
    ListIterator a, b;
    {
        Watched w;
        a.Attach(&w.anchor);
        b.Attach(&w.anchor);
        EXPECT_EQ(a.Anchor(), &w.anchor);
    }
    EXPECT_EQ(a.Anchor(), nullptr);
    EXPECT_EQ(b.Anchor(), nullptr);
}

TEST(WeakReference, AnIteratorLeavingScopeUnlinksItself) {
    Watched w;
    ListIterator outer;
    outer.Attach(&w.anchor);
    {
        ListIterator inner;
        inner.Attach(&w.anchor);
    }
    // The anchor's teardown must not touch the dead frame of inner (ASan would catch it).
    w.anchor.Init();
    EXPECT_FALSE(outer.IsAlive());
}

TEST(WeakReference, DeadAnchorsAndReattaching) {
    Watched w1, w2;
    ListIterator it;
    it.Attach(&w1.anchor);
    it.Attach(&w2.anchor);
    EXPECT_FALSE(w1.anchor.HasWatchers());
    w2.anchor.Init();
    EXPECT_FALSE(it.IsAlive());
    it.Attach(&w2.anchor);
    EXPECT_FALSE(it.IsAlive());
    it.Attach(nullptr);
    EXPECT_FALSE(it.IsAlive());
}

TEST(WeakReference, WeakPtrReadsNullAfterDestruction) {
    WeakPtr<Watched> p;
    {
        Watched w;
        p.Set(&w, &w.anchor);
        EXPECT_EQ(p.Get(), &w);
    }
    EXPECT_EQ(p.Get(), nullptr);
}

struct Node : RefCounted {
    explicit Node(int* deaths) : deaths(deaths) {}
    ~Node() override { ++*deaths; }
    int* deaths;
    RefPtr<Node> child;
};

TEST(RefCounting, ReleaseDeletesAtZero) {
    int deaths = 0;
    Node* n = new Node(&deaths);
    n->AddRef();
    EXPECT_FALSE(n->Release());
    EXPECT_TRUE(n->Release());
    EXPECT_EQ(deaths, 1);
}

TEST(RefCounting, AssigningTheOnlyHolderOfTheNewObjectIsSafe) {
    int deaths = 0;
    RefPtr<Node> holder = RefPtr<Node>::Adopt(new Node(&deaths));
    holder->child = RefPtr<Node>::Adopt(new Node(&deaths));
    // The old object holds the last reference to the new one.
    holder.Assign(holder->child);
    EXPECT_EQ(deaths, 1);
    ASSERT_TRUE(holder);
    EXPECT_EQ(holder->RefCount(), 1);
    holder.Assign(holder);
    EXPECT_EQ(deaths, 1);
    Node* raw = holder.TakePointer();
    EXPECT_FALSE(holder);
    raw->Release();
    EXPECT_EQ(deaths, 2);
}

}  // namespace

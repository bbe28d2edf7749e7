// Handles, conversions and reference counts as hosts see them.
#include <cmath>

#include <gtest/gtest.h>

#include "script_test_util.h"

namespace {

TEST(ScriptHeapTest, HandlesCarryTheirTypeTag) {
    ScriptHeap heap;
    ScriptValue b, n, s, o, w;
    ASSERT_EQ(heap.NewBoolean(true, &b), 0);
    ASSERT_EQ(heap.NewNumber(2.5, &n), 0);
    ASSERT_EQ(heap.NewStringAscii("txt", &s), 0);
    ASSERT_EQ(heap.NewPlainObject(&o), 0);
    ASSERT_EQ(heap.NewWord(0xFFFFFFFEu, &w), 0);
    EXPECT_EQ(b & 15, ScriptTag::kBoolean);
    EXPECT_EQ(n & 15, ScriptTag::kNumber);
    EXPECT_EQ(o & 15, ScriptTag::kObject);
    EXPECT_EQ(w & 15, ScriptTag::kWord);
    EXPECT_EQ(s & 15, ScriptTag::kString);
    EXPECT_STREQ(heap.TypeOf(w), "number");
    EXPECT_STREQ(heap.TypeOf(ScriptHeap::NewNull()), "object");
    EXPECT_STREQ(heap.TypeOf(ScriptValues::kNoValue), "undefined");
    std::u16string t;
    EXPECT_EQ(heap.ToText(w, &t), 0);
    EXPECT_EQ(t, u"4294967294");
    ScriptHeap::AddRef(&heap, s);
    ScriptHeap::Release(&heap, s);
    ScriptHeap::Release(nullptr, s);  // no heap: nothing happens
    for (ScriptValue v : {b, n, s, o, w}) heap.Release(v);
    EXPECT_EQ(heap.LiveCells(), 0u);
}

TEST(ScriptHeapTest, ConversionsFollowTheLanguage) {
    ScriptHeap heap;
    ScriptValue v;
    std::u16string t;
    bool flag;
    std::int32_t i;
    double d;
    heap.NewNumber(-3.7, &v);
    heap.ToInteger(v, &i);
    EXPECT_EQ(i, -3);
    heap.ToText(v, &t);
    EXPECT_EQ(t, u"-3.7");
    heap.Release(v);
    heap.NewNumber(4294967296.0 + 5, &v);
    heap.ToInteger(v, &i);
    EXPECT_EQ(i, 5);
    heap.Release(v);
    heap.NewStringAscii("", &v);
    heap.ToBoolean(v, &flag);
    EXPECT_FALSE(flag);
    heap.ToNumber(v, &d);
    EXPECT_EQ(d, 0);
    heap.Release(v);
    heap.NewStringAscii(" 0x1f ", &v);
    heap.ToNumber(v, &d);
    EXPECT_EQ(d, 31);
    heap.ToBoolean(v, &flag);
    EXPECT_TRUE(flag);
    heap.Release(v);
    EXPECT_EQ(heap.ToNumber(ScriptHeap::NewUndefined(), &d), 0);
    EXPECT_TRUE(std::isnan(d));
    // Handler results: strings quoted, so that only an empty string reads as two quotes.
    heap.NewStringAscii("", &v);
    heap.ToResultText(v, &t);
    EXPECT_EQ(t, u"\"\"");
    heap.Release(v);
    heap.ToResultText(ScriptValues::kFalse, &t);
    EXPECT_EQ(t, u"false");
    heap.ToResultText(ScriptValues::kUndefined, &t);
    EXPECT_EQ(t, u"");
}

TEST(ScriptHeapTest, StaleAndForgedHandlesAreRefused) {
    ScriptHeap heap;
    ScriptValue v;
    heap.NewStringAscii("x", &v);
    heap.Release(v);
    std::u16string t;
    EXPECT_NE(heap.ToText(v, &t), 0);
    EXPECT_FALSE(heap.IsValid(0x12345674u));
    EXPECT_FALSE(heap.IsValid(0x20u));  // a boolean tag with a payload beyond 1
    heap.Release(0x7FFFFFF1u);          // nothing happens
    heap.AddRef(0x7FFFFFF1u);
    EXPECT_EQ(heap.GetObject(ScriptValues::kNull), nullptr);
}

TEST(ScriptHeapTest, RunsBalanceTheirReferences) {
    ScriptRun r;
    std::size_t cells = r.heap.LiveCells();
    std::size_t objects = r.heap.LiveObjects();
    ASSERT_TRUE(
        r.Run("var t = ''; for (var i = 0; i < 100; i++) { t += [i, {v: i}].length; print(i % 2 ? "
              "'a' : 'b'); }"));
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.heap.LiveCells(), cells);
    r.context.ClearGlobal();
    r.heap.CollectCycles();
    EXPECT_EQ(r.heap.LiveObjects(), objects);
}

}  // namespace

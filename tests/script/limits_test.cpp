// Runaway scripts stop with an error; the reader never hangs or runs out of stack.
#include <gtest/gtest.h>

#include "script_test_util.h"

namespace {

TEST(ScriptLimitsTest, EndlessLoopsStopWithinTheBudget) {
    for (const char* text : {"while (true) {}", "for (;;) { var x = 1; }", "do {} while (1)",
                             "function f() { while (1) {} } f()"}) {
        ScriptRun r;
        r.context.instructionBudget = 100000;
        ASSERT_TRUE(r.Run(text));
        EXPECT_EQ(r.rc, ScriptErrors::kTooLong) << text;
        EXPECT_EQ(r.Message(), "Error: Script too long (line 1)");
    }
    // Native calls take 16 from the budget at once: whichever instruction the budget runs out
    // on, the run stops (the loop is bounded so that a missed stop fails instead of hanging).
    for (std::uint64_t budget = 200; budget < 240; ++budget) {
        ScriptRun r;
        r.context.instructionBudget = budget;
        ASSERT_TRUE(r.Run("for (var i = 0; i < 100000; i++) 'ab'.charAt(0)"));
        EXPECT_EQ(r.rc, ScriptErrors::kTooLong) << budget;
    }
    // The budget is per run: the next run starts with a full one.
    ScriptRun r;
    r.context.instructionBudget = 100000;
    ASSERT_TRUE(r.Run("var n = 0; while (n < 1000) n++; n"));
    ASSERT_TRUE(r.Run("while (n < 2000) n++; n"));
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.result, "2000");
}

TEST(ScriptLimitsTest, DeepRecursionStops) {
    ScriptRun r;
    ASSERT_TRUE(r.Run("function f(n) { return f(n + 1) + 1; } f(0)"));
    EXPECT_EQ(r.rc, ScriptErrors::kTooDeep);
    EXPECT_EQ(r.Message(), "Error: Too much recursion (line 1)");
    ASSERT_TRUE(r.Run("function g(n) { return n ? g(n - 1) + 1 : 0; } g(150)"));
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.result, "150");
    // Recursion through eval and through a user toString is bounded as well.
    ASSERT_TRUE(r.Run("function e() { eval('e()'); } e()"));
    EXPECT_EQ(r.rc, ScriptErrors::kTooDeep);
    ASSERT_TRUE(r.Run("var o = {}; o.toString = function() { return '' + o; }; '' + o"));
    EXPECT_EQ(r.rc, ScriptErrors::kTooDeep);
}

// A context may take a smaller value stack: ordinary calls still fit, and a run that needs
// more stops as too deep instead of writing past it.
TEST(ScriptLimitsTest, ASmallStackStopsDeepRunsAsTooDeep) {
    const char* deep =
        "function h(n, a, b, c, d, e, f, g, i, j) { var k = [a, b, c, d, e, f, g, i, j];"
        " return n ? h(n - 1, 1, 2, 3, 4, 5, 6, 7, 8, 9) + 1 : 0; } h(150)";
    ScriptRun full;
    ASSERT_TRUE(full.Run(deep));
    EXPECT_EQ(full.rc, 0) << full.Message();
    EXPECT_EQ(full.result, "150");
    ScriptRun r;
    r.context.stackSlots = 1;  // raised to the smallest stack a run takes
    ASSERT_TRUE(r.Run("function g(n) { return n ? g(n - 1) + 1 : 0; } g(20)"));
    EXPECT_EQ(r.rc, 0) << r.Message();
    EXPECT_EQ(r.result, "20");
    ASSERT_TRUE(r.Run(deep));
    EXPECT_EQ(r.rc, ScriptErrors::kTooDeep);
}

TEST(ScriptLimitsTest, HugeStringsAndArraysFail) {
    ScriptRun r;
    ASSERT_TRUE(r.Run("var s = 'xxxxxxxxxxxxxxxx'; while (true) s = s + s;"));
    EXPECT_EQ(r.rc, ScriptErrors::kOutOfMemory);
    ASSERT_TRUE(r.Run("var a = new Array(1e9)"));
    EXPECT_EQ(r.rc, ScriptErrors::kOutOfMemory);
    ASSERT_TRUE(r.Run("var b = []; b[4294967294] = 1"));
    EXPECT_EQ(r.rc, ScriptErrors::kOutOfMemory);
    ASSERT_TRUE(r.Run("var c = []; c.length = 1e12"));
    EXPECT_EQ(r.rc, ScriptErrors::kOutOfMemory);
}

TEST(ScriptLimitsTest, DeepNestingIsASyntaxErrorNotACrash) {
    for (const char* open : {"(", "[", "!", "-", "{", "if(1)", "a.b("}) {
        std::string text;
        for (int i = 0; i < 100000; ++i) text += open;
        ScriptRun r;
        EXPECT_FALSE(r.Run(text)) << open;
        EXPECT_EQ(r.err.code, ScriptErrors::kSyntax);
    }
    std::string ok = "var x = ";
    for (int i = 0; i < 50; ++i) ok += "(";
    ok += "1";
    for (int i = 0; i < 50; ++i) ok += ")";
    ScriptRun r;
    EXPECT_TRUE(r.Run(ok)) << r.Message();
}

TEST(ScriptLimitsTest, SelfReferringValuesPrintAndFree) {
    ScriptRun r;
    ASSERT_TRUE(r.Run("var a = [1]; a.push(a); var s = '' + a; s.length > 0"));
    EXPECT_EQ(r.rc, 0) << r.Message();
    EXPECT_EQ(r.result, "true");
    ASSERT_TRUE(
        r.Run("var o = {}; o.self = o; function mk() { var f = function() { return f; }; return f; "
              "} var g = mk();"));
    std::size_t before = r.heap.LiveObjects();
    r.context.Create();  // a new document: the old one's cycles go
    EXPECT_LT(r.heap.LiveObjects(), before - 4);
}

}  // namespace

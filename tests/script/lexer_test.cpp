// Tokens: line counting, identifiers beyond ASCII, literals and the special constant form.
#include <gtest/gtest.h>

#include "script_test_util.h"

namespace {

int ErrorLine(const std::u16string& text) {
    ScriptHeap heap;
    ScriptContext ctx(&heap);
    ScriptCode unit;
    ScriptError err;
    if (!ScriptEngine::CompileText(text, &unit, u"l", &err)) return -static_cast<int>(err.line);
    ScriptEngine::Run(&ctx, &unit, nullptr, ScriptValues::kUndefined, nullptr, &err);
    return static_cast<int>(err.line);
}

TEST(ScriptLexerTest, EveryKindOfLineBreakCountsOnce) {
    EXPECT_EQ(ErrorLine(u"a=1;\r\nb=2;\r\nnope()"), 3);
    EXPECT_EQ(ErrorLine(u"a=1;\rb=2;\rnope()"), 3);
    EXPECT_EQ(ErrorLine(u"a=1;\nb=2;\u2028nope()"), 3);
    EXPECT_EQ(ErrorLine(u"/* one\r\ntwo\r\n */ nope()"), 3);
    EXPECT_EQ(ErrorLine(u"var s = 'a\\\r\nb';\nnope()"), 3);  // continued string
    EXPECT_EQ(ErrorLine(u"x = 1;\r\n\r\n)"), -3);             // syntax errors too
}

TEST(ScriptLexerTest, IdentifiersBeyondAsciiAreNeverKeywordsOrHostNames) {
    ScriptRun r;
    // U+0169 U+0166 have the low bytes of "if"; U+014F... those of "open"
    EXPECT_EQ(r.Printed("var \xC5\xA9\xC5\xA6 = 5; var \xC5\x8F\xC5\xB0\xC5\xA5\xC5\xAE = 2; "
                        "print(\xC5\xA9\xC5\xA6 * \xC5\x8F\xC5\xB0\xC5\xA5\xC5\xAE)"),
              "10");
    EXPECT_EQ(r.rc, 0) << r.Message();
    EXPECT_EQ(r.Printed("var caf\xC3\xA9 = 'ok', _$x1 = 1; print(caf\xC3\xA9, _$x1)"), "ok 1");
}

TEST(ScriptLexerTest, LiteralsAndTheConstantForm) {
    ScriptRun r;
    EXPECT_EQ(r.Printed("print(0x10, 0XfF, .5, 5., 1e3, 2E-2, 010)"), "16 255 0.5 5 1000 0.02 10");
    EXPECT_EQ(r.Printed("print('\\0'.length, '\\v\\f\\b'.length, \"\\u0041\\x42\")"), "1 3 AB");
    ScriptCode unit;
    unit.AddString(u"zero", 4, true);
    unit.AddString(u"one", 3, true);
    ScriptError err;
    ASSERT_TRUE(ScriptEngine::CompileText(
        u"print(__litteralstr 1, __litteralstr  0, __litteralstr\t1)", &unit, u"c", &err));
    r.out.clear();
    ScriptEngine::Run(&r.context, &unit, nullptr, ScriptValues::kUndefined, nullptr, &err);
    EXPECT_EQ(r.out, "one zero one\n");
    for (const char16_t* bad : {u"__litteralstr", u"__litteralstr 'a'", u"__litteralstr 1.5",
                                u"__litteralstr -1", u"__litteralstr 2"}) {
        ScriptCode u2;
        u2.AddString(u"x", 1, true);
        u2.AddString(u"y", 1, true);
        EXPECT_FALSE(ScriptEngine::CompileText(bad, &u2, u"c", &err)) << A(bad);
    }
    for (const char16_t* bad : {u"0x", u"1e", u"3in", u"'\\x4'", u"'\\u12g4'", u"#"}) {
        ScriptCode u3;
        EXPECT_FALSE(ScriptEngine::CompileText(bad, &u3, u"c", &err)) << A(bad);
        EXPECT_EQ(err.code, ScriptErrors::kSyntax);
    }
}

TEST(ScriptLexerTest, KeywordsWorkAsMemberNames) {
    ScriptRun r;
    EXPECT_EQ(r.Printed("var o = {}; o.default = 1; o['new'] = 2; o.delete = 3; "
                        "print(o.default + o.new + o['delete'])"),
              "6");
    EXPECT_EQ(r.rc, 0) << r.Message();
}

TEST(ScriptLexerTest, ComparisonsOfObjectsWithPrimitives) {
    ScriptRun r;
    EXPECT_EQ(r.Printed("print([1] == 1, [] == '', [1,2] == '1,2', {} == '[object Object]', "
                        "null == false, undefined == 0, '' == 0, ' \\n' == 0)"),
              "true true true true false false true true");
    EXPECT_EQ(r.Printed("var d = new Date('not a date'); print(isNaN(d.getTime()), String(d))"),
              "true Invalid Date");
}

}  // namespace

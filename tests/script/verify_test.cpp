// The bytecode check that guards the interpreter against units it did not compile itself.
#include <gtest/gtest.h>

#include "script/script_bytecode.h"
#include "script_test_util.h"

namespace {

using namespace scr;

UnitData Unit(std::vector<std::uint8_t> code, std::uint32_t locals = 0) {
    UnitData u;
    u.names.push_back(u"x");
    u.strings.push_back(u"s");
    u.numbers.push_back(2.5);
    FuncProto top;
    top.code = {OP_RET_UNDEF};
    u.funcs.push_back(top);
    if (locals || !code.empty()) {
        FuncProto f;
        f.parent = 0;
        f.locals = locals;
        f.code = std::move(code);
        u.funcs.push_back(f);
    }
    return u;
}

std::vector<std::uint8_t> U32(std::uint8_t op, std::uint32_t v) {
    return {op, static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
            static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
}

std::vector<std::uint8_t> Cat(std::initializer_list<std::vector<std::uint8_t>> parts) {
    std::vector<std::uint8_t> r;
    for (auto& p : parts) r.insert(r.end(), p.begin(), p.end());
    return r;
}

TEST(ScriptVerifyTest, AcceptsWellFormedCodeAndMeasuresItsStack) {
    UnitData u = Unit(
        Cat({U32(OP_NUM, 0), U32(OP_STR, 0), {OP_ADD}, {OP_GET_LOCAL, 0, 0}, {OP_POP}, {OP_RET}}),
        1);
    ASSERT_TRUE(VerifyUnit(u));
    EXPECT_GE(u.funcs[1].maxStack, 2u);
}

TEST(ScriptVerifyTest, RefusesFaultyCode) {
    std::vector<std::vector<std::uint8_t>> bad = {
        {OP_POP, OP_RET_UNDEF},                                      // stack underflow
        {OP_ADD, OP_RET_UNDEF},                                      // underflow of two
        Cat({U32(OP_NUM, 1), {OP_RET}}),                             // number index out of range
        Cat({U32(OP_STR, 7), {OP_RET}}),                             // string index out of range
        Cat({U32(OP_SET_NAME, 3), {OP_RET}}),                        // name index out of range
        {OP_GET_LOCAL, 5, 0, OP_RET},                                // local out of range
        {OP_GET_ENV, 0, 0, 0, OP_RET},                               // no environment here
        Cat({U32(OP_JMP, 2)}),                                       // jump into an operand
        Cat({U32(OP_JMP, 99)}),                                      // jump past the end
        {OP_TRUE},                                                   // runs off the end
        Cat({{OP_TRUE}, U32(OP_JF, 7), {OP_TRUE}, {OP_RET_UNDEF}}),  // depths differ at a join
        {OP_COUNT, OP_RET_UNDEF},                                    // unknown opcode
        {OP_NUM, 0},                                                 // truncated operand
        Cat({U32(OP_CLOSURE, 0), {OP_RET}}),                         // closure of a non-child
        Cat({U32(OP_ARRAY, 3), {OP_RET}}),                           // array of more than the stack
        {OP_CALL, 4, OP_RET},                                        // call with missing arguments
    };
    for (std::size_t i = 0; i < bad.size(); ++i) {
        UnitData u = Unit(bad[i], 1);
        EXPECT_FALSE(VerifyUnit(u)) << "case " << i;
    }
    UnitData noTop;
    EXPECT_FALSE(VerifyUnit(noTop));
    UnitData loop = Unit({OP_RET_UNDEF});
    loop.funcs[1].parent = 1;  // its own parent
    EXPECT_FALSE(VerifyUnit(loop));
    UnitData params = Unit({OP_RET_UNDEF}, 1);
    params.funcs[1].params = 2;  // more parameters than locals
    EXPECT_FALSE(VerifyUnit(params));
}

TEST(ScriptVerifyTest, CompiledUnitsAlwaysPass) {
    const char* programs[] = {
        "var a = [1, [2, 3], {k: 'v'}]; a[1][0] += a.length; a.pop()",
        "function f(n) { var r = 0; switch (n) { case 1: r = 1; break; default: for (;;) { if (r++ "
        "> 3) break; } } return r; }",
        "function o() { var x = 1; return function(y) { return function() { x += y; return x; }; "
        "}; }",
        "var i = 0; do { i++; if (i % 2) continue; } while (i < 5); i ? i-- : ++i; delete i; "
        "typeof q",
    };
    for (const char* p : programs) {
        ScriptCode unit;
        ScriptError err;
        ASSERT_TRUE(ScriptEngine::CompileText(U(p), &unit, u"v", &err)) << p << err.MessageUtf8();
        UnitData copy = *unit.Data();
        EXPECT_TRUE(VerifyUnit(copy)) << p;
    }
}

}  // namespace

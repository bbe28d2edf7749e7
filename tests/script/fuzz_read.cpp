// Fuzz target: serialised units from anywhere are read safely; raw bytecode that passes the
// bytecode check runs safely.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "script/script_bytecode.h"
#include "script/script_engine.h"
#include "script/script_interp.h"

namespace {

void RunChecked(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return;
    auto u = std::make_shared<scr::UnitData>();
    u->names = {u"x", u"print", u"length"};
    u->strings = {u"s", u"abc"};
    u->numbers = {2.5, -1};
    scr::FuncProto top;
    top.locals = 0;
    scr::FuncProto inner;
    inner.parent = 0;
    inner.params = data[0] & 3;
    inner.locals = inner.params + (data[1] & 3);
    inner.usesEnv = (data[1] & 4) != 0;
    inner.depth = inner.usesEnv ? 1 : 0;
    inner.code.assign(data + 2, data + size);
    // the top level makes the function and calls it with two arguments
    top.code = {scr::OP_CLOSURE, 1, 0, 0, 0, scr::OP_INT,  7, 0,          0, 0,
                scr::OP_STR,     1, 0, 0, 0, scr::OP_CALL, 2, scr::OP_RET};
    u->funcs = {top, inner};
    if (!scr::VerifyUnit(*u)) return;
    ScriptHeap heap;
    ScriptContext ctx(&heap);
    ctx.instructionBudget = 20000;
    ctx.maxCallDepth = 40;
    scr::Interp in(&ctx, &heap);
    scr::Val out;
    in.RunUnit(u, scr::Val(), scr::Val(), &out);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    RunChecked(data, size);
    std::u16string text;
    text.append(u"FVSC");
    for (std::size_t i = 0; i < size; ++i) text.push_back(data[i]);
    ScriptCode unit;
    int rc = ScriptCode::kReadIncomplete;
    // fed in pieces of varying size
    for (std::size_t p = 0; p < text.size() && rc == ScriptCode::kReadIncomplete;) {
        std::size_t n = 1 + (p % 13);
        if (p + n > text.size()) n = text.size() - p;
        rc = unit.Read(text.data() + p, static_cast<std::uint32_t>(n));
        p += n;
    }
    if (rc != ScriptCode::kReadComplete) return 0;
    ScriptHeap heap;
    ScriptContext ctx(&heap);
    ctx.instructionBudget = 20000;
    ctx.maxCallDepth = 40;
    ScriptValue r;
    if (ScriptEngine::Run(&ctx, &unit, nullptr, ScriptValues::kUndefined, &r, nullptr) == 0)
        heap.Release(r);
    return 0;
}

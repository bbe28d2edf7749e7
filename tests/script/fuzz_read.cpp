// Fuzz target: serialised units from anywhere are read safely, and what reads runs safely.
#include <cstddef>
#include <cstdint>

#include "script/script_engine.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
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

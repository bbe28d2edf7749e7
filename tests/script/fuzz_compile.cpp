// Fuzz target: any text compiles or fails cleanly; what compiles runs within small limits, and
// its serialised form reads back.
#include <cstddef>
#include <cstdint>

#include "script/script_engine.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::u16string text;
    for (std::size_t i = 0; i < size; ++i) text.push_back(data[i]);  // Latin-1
    ScriptHeap heap;
    ScriptCode unit;
    unit.AddString(u"lit", 3, true);
    if (!ScriptEngine::CompileText(text, &unit, u"fuzz", nullptr)) return 0;
    {
        ScriptContext ctx(&heap);
        ctx.instructionBudget = 20000;
        ctx.maxCallDepth = 40;
        // Room for those calls: the full stack's set-up would cost more than most runs.
        ctx.stackSlots = 4096;
        ScriptValue r;
        if (ScriptEngine::Run(&ctx, &unit, nullptr, ScriptValues::kUndefined, &r, nullptr) == 0)
            heap.Release(r);
    }
    std::u16string written;
    if (unit.Write(&written)) {
        ScriptCode back;
        if (back.Read(written.data(), static_cast<std::uint32_t>(written.size())) != 0)
            __builtin_trap();
    }
    return 0;
}

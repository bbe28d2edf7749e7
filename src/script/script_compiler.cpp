#include "script/script_compiler.h"

#include "script/script_codegen.h"
#include "script/script_internal.h"
#include "script/script_parser.h"

namespace scr {

CompileResult CompileUnit(const char16_t* text, std::uint32_t length, UnitData* unit) {
    CompileResult r;
    compiler::Parser p(text ? text : u"", text ? length : 0,
                       static_cast<std::uint32_t>(unit->strings.size()));
    if (!p.ParseProgram()) {
        r.ok = false;
        r.line = p.errLine;
        r.column = p.errCol;
        AppendAscii(&r.message, p.errText.c_str());
        return r;
    }
    UnitData out;
    out.unitName = unit->unitName;
    out.strings = unit->strings;
    compiler::Gen g(&out, p.funcs);
    if (!g.Run() || !VerifyUnit(out)) {
        r.ok = false;
        AppendAscii(&r.message, g.error ? g.error : "script too large");
        return r;
    }
    unit->strings.swap(out.strings);
    unit->numbers.swap(out.numbers);
    unit->names.swap(out.names);
    unit->funcs.swap(out.funcs);
    unit->keys.clear();
    unit->keysHeap = nullptr;
    return r;
}

}  // namespace scr

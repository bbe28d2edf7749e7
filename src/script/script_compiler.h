// Source text -> unit: lexer, recursive-descent parser (binary operators from one precedence
// table), and code generation.
#pragma once

#include <cstdint>
#include <string>

#include "script/script_bytecode.h"

namespace scr {

struct CompileResult {
    bool ok = true;
    std::uint32_t line = 0;
    std::uint32_t column = 0;
    std::u16string message;
};

// Recursion steps of the parser (about four per bracket level).
constexpr int kMaxNesting = 1000;

// Compiles into unit (whose string pool may already hold forced entries). On failure the unit
// is left as it was.
CompileResult CompileUnit(const char16_t* text, std::uint32_t length, UnitData* unit);

}  // namespace scr

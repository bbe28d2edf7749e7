// The syntax tree that the parser builds and the code generator walks: one node kind per
// expression and statement, and per function its parameters, locals and hoisted declarations.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "script/script_internal.h"
#include "script/script_lexer.h"

namespace scr::compiler {

enum NK : std::uint8_t {
    N_NUM,
    N_STR,
    N_LIT,
    N_TRUE,
    N_FALSE,
    N_NULL,
    N_THIS,
    N_IDENT,
    N_ARRAY,
    N_OBJECT,
    N_FUNC,
    N_MEMBER,
    N_INDEX,
    N_CALL,
    N_NEW,
    N_UNARY,
    N_UPDATE,
    N_BINARY,
    N_AND,
    N_OR,
    N_COND,
    N_ASSIGN,
    N_COMMA,
    N_ELISION,
    S_VAR,
    S_FUNC,
    S_EXPR,
    S_BLOCK,
    S_EMPTY,
    S_IF,
    S_WHILE,
    S_DO,
    S_FOR,
    S_BREAK,
    S_CONTINUE,
    S_RETURN,
    S_SWITCH,
    S_CASE
};

struct Node {
    NK k;
    std::uint8_t op = 0;  // operator token, or flags
    bool prefix = false;
    std::uint32_t line = 0;
    double num = 0;
    U16 str;
    int fn = -1;
    std::vector<Node*> kids;
};

struct FuncInfo {
    int parent = -1;
    bool top = false;
    bool hasInner = false;
    U16 name;
    std::uint32_t params = 0;
    std::vector<U16> locals;
    std::unordered_map<U16, std::uint32_t> slot;
    std::vector<U16> globals;  // top level: declared names
    std::vector<Node*> decls;  // function declarations, hoisted
    Node* body = nullptr;

    void Declare(const U16& n) {
        if (top) {
            for (auto& g : globals) {
                if (g == n) return;
            }
            globals.push_back(n);
            return;
        }
        if (slot.count(n)) return;
        slot.emplace(n, static_cast<std::uint32_t>(locals.size()));
        locals.push_back(n);
    }
};

struct SyntaxError {};

}  // namespace scr::compiler

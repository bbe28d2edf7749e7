// Code generation: the syntax tree of each function into the byte code of its prototype in
// the unit, with names, strings and numbers pooled.
#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "script/script_bytecode.h"
#include "script/script_syntax_tree.h"

namespace scr::compiler {

class Gen {
public:
    Gen(UnitData* unit, std::vector<FuncInfo>& funcs);

    bool Run();
    const char* error = nullptr;

private:
    struct Loop {
        std::vector<std::uint32_t> breaks, continues;
        bool isSwitch;
    };

    bool Function(int index);

    // ---- emission
    void Emit(std::uint8_t op) { code_->push_back(op); }
    void Put32(std::uint32_t v);
    void EmitU32(std::uint8_t op, std::uint32_t v);
    void EmitU16(std::uint8_t op, std::uint32_t v);
    void EmitNameFlag(std::uint8_t op, std::uint32_t name, std::uint8_t flag);
    void EmitArgc(std::uint8_t op, std::size_t argc);
    std::uint32_t Here() const { return static_cast<std::uint32_t>(code_->size()); }
    std::uint32_t Jump(std::uint8_t op);
    void Patch(std::uint32_t at, std::uint32_t target);
    void Line(std::uint32_t line);
    std::uint32_t Name(const U16& n);
    std::uint32_t Str(const U16& s);
    void Number(double d);

    // ---- variables
    enum VarKind { V_LOCAL, V_ENV, V_NAME };
    VarKind Lookup(const U16& n, std::uint32_t* depth, std::uint32_t* slot);
    void LoadName(const U16& n, bool cont);
    void StoreName(const U16& n);

    // ---- statements
    bool Stmt(Node* s);
    void EndLoop(std::uint32_t breakTo, std::uint32_t continueTo);

    // ---- expressions
    static std::uint8_t BinaryOp(std::uint8_t p);
    // Pushes the base of a member path; `cont` lets a host keep its path state.
    bool Base(Node* e);
    bool Expr(Node* e);
    bool Call(Node* e);
    bool Unary(Node* e);
    bool Update(Node* e);
    static bool Mentions(Node* e, const U16& name);
    bool Assign(Node* e);

    UnitData* u_;
    std::vector<FuncInfo>& funcs_;
    FuncInfo* fi_ = nullptr;
    FuncProto* fp_ = nullptr;
    int fn_ = 0;
    std::vector<std::uint8_t>* code_ = nullptr;
    std::uint32_t lastLine_ = 0;
    std::vector<Loop> loops_;
    std::unordered_map<U16, std::uint32_t> nameIndex_;
    std::unordered_map<U16, std::size_t> strIndex_;
};

}  // namespace scr::compiler

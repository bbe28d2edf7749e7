// Static checks of a unit's bytecode, so that the interpreter can trust operands and stack
// depths of compiled and of read units alike.
#include <algorithm>

#include "script/script_bytecode.h"

namespace scr {

namespace {

struct Effect {
    int pop, push;
    bool terminal;  // no fall-through
};

Effect EffectOf(std::uint8_t op, const std::uint8_t* operands) {
    switch (op) {
        case OP_UNDEF:
        case OP_NULL:
        case OP_TRUE:
        case OP_FALSE:
        case OP_THIS:
        case OP_NEW_OBJECT:
        case OP_NUM:
        case OP_STR:
        case OP_INT:
        case OP_TYPEOF_NAME:
        case OP_DEL_NAME:
        case OP_CLOSURE:
        case OP_GET_LOCAL:
        case OP_TAKE_LOCAL:
        case OP_GET_ENV:
        case OP_GET_NAME:
            return {0, 1, false};
        case OP_POP:
        case OP_RESULT:
        case OP_JF:
        case OP_JT:
            return {1, 0, false};
        case OP_DUP:
            return {1, 2, false};
        case OP_DUP2:
            return {2, 4, false};
        case OP_ROT3:
            return {3, 3, false};
        case OP_ROT4:
            return {4, 4, false};
        case OP_ADD:
        case OP_SUB:
        case OP_MUL:
        case OP_DIV:
        case OP_MOD:
        case OP_SHL:
        case OP_SHR:
        case OP_USHR:
        case OP_BAND:
        case OP_BOR:
        case OP_BXOR:
        case OP_EQ:
        case OP_NE:
        case OP_SEQ:
        case OP_SNE:
        case OP_LT:
        case OP_GT:
        case OP_LE:
        case OP_GE:
        case OP_GET_INDEX:
        case OP_DEL_INDEX:
        case OP_SET_MEMBER:
        case OP_INIT_PROP:
            return {2, 1, false};
        case OP_NEG:
        case OP_POS:
        case OP_NOT:
        case OP_BITNOT:
        case OP_TYPEOF:
        case OP_VOID:
        case OP_TONUM:
        case OP_INC:
        case OP_DEC:
        case OP_SET_NAME:
        case OP_DEL_MEMBER:
        case OP_SET_LOCAL:
        case OP_SET_ENV:
        case OP_GET_MEMBER:
            return {1, 1, false};
        case OP_SET_INDEX:
            return {3, 1, false};
        case OP_RET:
            return {1, 0, true};
        case OP_RET_UNDEF:
            return {0, 0, true};
        case OP_DECL_NAME:
            return {0, 0, false};
        case OP_JMP:
            return {0, 0, true};
        case OP_JF_KEEP:
        case OP_JT_KEEP:
            return {1, 0, false};  // branch keeps the value
        case OP_ARRAY:
            return {static_cast<int>(ReadU32(operands)), 1, false};
        case OP_CALL:
        case OP_NEW:
            return {1 + operands[0], 1, false};
        case OP_CALL_INDEX:
            return {2 + operands[0], 1, false};
        case OP_CALL_NAME:
            return {operands[4], 1, false};
        case OP_CALL_MEMBER:
            return {1 + operands[4], 1, false};
    }
    return {0, 0, true};
}

bool IsJump(std::uint8_t op) {
    return op == OP_JMP || op == OP_JF || op == OP_JT || op == OP_JF_KEEP || op == OP_JT_KEEP;
}

bool VerifyFunction(UnitData& u, std::size_t index) {
    FuncProto& f = u.funcs[index];
    const auto& code = f.code;
    std::size_t n = code.size();
    if (n == 0 || n > (1u << 26)) return false;
    std::vector<std::uint8_t> start(n, 0);
    for (std::size_t pc = 0; pc < n;) {
        std::uint8_t op = code[pc];
        if (op >= OP_COUNT) return false;
        int size = OperandSize(OperandOf(op));
        if (pc + 1 + size > n) return false;
        start[pc] = 1;
        const std::uint8_t* o = &code[pc + 1];
        switch (op) {
            case OP_NUM:
                if (ReadU32(o) >= u.numbers.size()) return false;
                break;
            case OP_STR:
                if (ReadU32(o) >= u.strings.size()) return false;
                break;
            case OP_SET_NAME:
            case OP_TYPEOF_NAME:
            case OP_DEL_NAME:
            case OP_DECL_NAME:
            case OP_SET_MEMBER:
            case OP_DEL_MEMBER:
            case OP_INIT_PROP:
            case OP_GET_NAME:
            case OP_GET_MEMBER:
            case OP_CALL_NAME:
            case OP_CALL_MEMBER:
                if (ReadU32(o) >= u.names.size()) return false;
                break;
            case OP_CLOSURE: {
                std::uint32_t c = ReadU32(o);
                if (c >= u.funcs.size() || u.funcs[c].parent != static_cast<std::int32_t>(index))
                    return false;
                break;
            }
            case OP_ARRAY:
                if (ReadU32(o) > 0xFFFF) return false;
                break;
            case OP_GET_LOCAL:
            case OP_SET_LOCAL:
            case OP_TAKE_LOCAL:
                if (f.usesEnv || ReadU16(o) >= f.locals) return false;
                break;
            case OP_GET_ENV:
            case OP_SET_ENV: {
                std::uint32_t d = o[0];
                std::uint32_t slot = ReadU16(o + 1);
                std::int32_t g = static_cast<std::int32_t>(index);
                while (g >= 0) {
                    if (u.funcs[g].usesEnv) {
                        if (d == 0) break;
                        --d;
                    }
                    g = u.funcs[g].parent;
                }
                if (g < 0 || slot >= u.funcs[g].locals) return false;
                break;
            }
            default:
                break;
        }
        pc += 1 + size;
    }
    // Stack depths along every path.
    std::vector<int> depth(n, -1);
    std::vector<std::uint32_t> work;
    depth[0] = 0;
    work.push_back(0);
    int maxDepth = 0;
    auto reach = [&](std::size_t target, int d) {
        if (target >= n || !start[target]) return false;
        if (depth[target] < 0) {
            depth[target] = d;
            work.push_back(static_cast<std::uint32_t>(target));
            return true;
        }
        return depth[target] == d;
    };
    while (!work.empty()) {
        std::uint32_t pc = work.back();
        work.pop_back();
        int d = depth[pc];
        std::uint8_t op = code[pc];
        const std::uint8_t* o = &code[pc + 1];
        Effect e = EffectOf(op, o);
        if (d < e.pop) return false;
        std::size_t next = pc + 1 + OperandSize(OperandOf(op));
        if (IsJump(op)) {
            std::uint32_t target = ReadU32(o);
            int branchDepth =
                (op == OP_JF_KEEP || op == OP_JT_KEEP) ? d : (op == OP_JMP ? d : d - 1);
            if (!reach(target, branchDepth)) return false;
        }
        int after = d - e.pop + e.push;
        maxDepth = std::max(maxDepth, std::max(after, d + (op == OP_DUP2 ? 2 : 0)));
        if (maxDepth > 60000) return false;
        if (!e.terminal) {
            if (next >= n) return false;  // would run off the end
            if (!reach(next, after)) return false;
        }
    }
    f.maxStack = static_cast<std::uint32_t>(maxDepth) + 1;
    for (std::size_t i = 1; i < f.lines.size(); ++i) {
        if (f.lines[i].first < f.lines[i - 1].first) return false;
    }
    return true;
}

}  // namespace

bool VerifyUnit(UnitData& u) {
    if (u.funcs.empty() || u.funcs.size() > 65536) return false;
    for (std::size_t i = 0; i < u.funcs.size(); ++i) {
        FuncProto& f = u.funcs[i];
        if (i == 0) {
            if (f.parent != -1 || f.usesEnv || f.locals != 0) return false;
        } else if (f.parent < 0 || f.parent >= static_cast<std::int32_t>(i)) {
            return false;
        }
        if (f.params > f.locals || f.locals > 65535) return false;
        std::uint32_t depth = 0;
        for (std::int32_t g = static_cast<std::int32_t>(i); g >= 0; g = u.funcs[g].parent) {
            if (u.funcs[g].usesEnv) ++depth;
        }
        if (depth != f.depth) return false;
    }
    for (std::size_t i = 0; i < u.funcs.size(); ++i) {
        if (!VerifyFunction(u, i)) return false;
    }
    return true;
}

std::uint32_t LineAt(const FuncProto& f, std::uint32_t offset) {
    std::uint32_t line = f.lines.empty() ? 0 : f.lines.front().second;
    for (const auto& l : f.lines) {
        if (l.first > offset) break;
        line = l.second;
    }
    return line;
}

}  // namespace scr

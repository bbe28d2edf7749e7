// Bytecode of compiled units: one-byte opcodes with fixed operands (little-endian), absolute
// jump targets, a constant pool per unit. Each opcode has a static stack effect so that a unit
// read from outside can be checked before it runs.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace scr {

enum Op : std::uint8_t {
    // no operand
    OP_UNDEF,
    OP_NULL,
    OP_TRUE,
    OP_FALSE,
    OP_THIS,
    OP_POP,
    OP_DUP,
    OP_DUP2,
    OP_ROT3,
    OP_ROT4,
    OP_ADD,
    OP_SUB,
    OP_MUL,
    OP_DIV,
    OP_MOD,
    OP_SHL,
    OP_SHR,
    OP_USHR,
    OP_BAND,
    OP_BOR,
    OP_BXOR,
    OP_EQ,
    OP_NE,
    OP_SEQ,
    OP_SNE,
    OP_LT,
    OP_GT,
    OP_LE,
    OP_GE,
    OP_NEG,
    OP_POS,
    OP_NOT,
    OP_BITNOT,
    OP_TYPEOF,
    OP_VOID,
    OP_TONUM,
    OP_INC,
    OP_DEC,
    OP_GET_INDEX,
    OP_SET_INDEX,
    OP_DEL_INDEX,
    OP_RET,
    OP_RET_UNDEF,
    OP_RESULT,
    OP_NEW_OBJECT,
    // one u32 operand
    OP_NUM,
    OP_STR,
    OP_INT,
    OP_SET_NAME,
    OP_TYPEOF_NAME,
    OP_DEL_NAME,
    OP_DECL_NAME,
    OP_SET_MEMBER,
    OP_DEL_MEMBER,
    OP_INIT_PROP,
    OP_JMP,
    OP_JF,
    OP_JT,
    OP_JF_KEEP,
    OP_JT_KEEP,
    OP_CLOSURE,
    OP_ARRAY,
    // u16 operand
    OP_GET_LOCAL,
    OP_SET_LOCAL,
    OP_TAKE_LOCAL,
    // u8 depth, u16 slot
    OP_GET_ENV,
    OP_SET_ENV,
    // u32 name, u8 flag (1: the path continues)
    OP_GET_NAME,
    OP_GET_MEMBER,
    // u8 argument count
    OP_CALL,
    OP_CALL_INDEX,
    OP_NEW,
    // u32 name, u8 argument count
    OP_CALL_NAME,
    OP_CALL_MEMBER,
    OP_COUNT
};

enum OperandKind : std::uint8_t {
    OPD_NONE,
    OPD_U32,
    OPD_U16,
    OPD_ENV,
    OPD_NAME_FLAG,
    OPD_ARGC,
    OPD_NAME_ARGC
};

inline OperandKind OperandOf(std::uint8_t op) {
    if (op < OP_NUM) return OPD_NONE;
    if (op < OP_GET_LOCAL) return OPD_U32;
    if (op < OP_GET_ENV) return OPD_U16;
    if (op < OP_GET_NAME) return OPD_ENV;
    if (op < OP_CALL) return OPD_NAME_FLAG;
    if (op < OP_CALL_NAME) return OPD_ARGC;
    return OPD_NAME_ARGC;
}

inline int OperandSize(OperandKind k) {
    switch (k) {
        case OPD_NONE:
            return 0;
        case OPD_U32:
            return 4;
        case OPD_U16:
            return 2;
        case OPD_ENV:
            return 3;
        case OPD_NAME_FLAG:
            return 5;
        case OPD_ARGC:
            return 1;
        case OPD_NAME_ARGC:
            return 5;
    }
    return 0;
}

inline std::uint32_t ReadU32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::uint16_t ReadU16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

struct FuncProto {
    std::u16string name;  // empty for anonymous functions and the unit's top level
    std::uint32_t params = 0;
    std::uint32_t locals = 0;  // parameters included
    bool usesEnv = false;      // locals live in a heap environment (captured by inner functions)
    std::int32_t parent = -1;  // enclosing function, -1 for the top level
    std::uint32_t depth = 0;   // environments reachable from this function's code
    std::uint32_t maxStack = 0;
    std::vector<std::uint8_t> code;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> lines;  // (offset, line), rising
};

struct UnitData {
    std::u16string unitName;
    std::vector<std::u16string> strings;
    std::vector<double> numbers;
    std::vector<std::u16string> names;
    std::vector<FuncProto> funcs;  // [0] is the top level
    // Interned keys of `names` for the heap that last ran the unit.
    mutable std::vector<std::uint32_t> keys;
    mutable const void* keysHeap = nullptr;
};

// Checks operands, jump targets and stack depths of every function; false on any fault.
bool VerifyUnit(UnitData& unit);
std::uint32_t LineAt(const FuncProto& f, std::uint32_t offset);

}  // namespace scr

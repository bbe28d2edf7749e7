#include "script/script_codegen.h"

#include <cmath>
#include <cstring>

namespace scr::compiler {

Gen::Gen(UnitData* unit, std::vector<FuncInfo>& funcs) : u_(unit), funcs_(funcs) {
    for (std::size_t i = 0; i < unit->strings.size(); ++i) strIndex_.emplace(unit->strings[i], i);
}

bool Gen::Run() {
    u_->funcs.assign(funcs_.size(), FuncProto());
    for (std::size_t i = 0; i < funcs_.size(); ++i) {
        if (!Function(static_cast<int>(i))) return false;
    }
    return true;
}

bool Gen::Function(int index) {
    fi_ = &funcs_[index];
    fp_ = &u_->funcs[index];
    fn_ = index;
    fp_->name = fi_->name;
    fp_->params = fi_->params;
    fp_->locals = static_cast<std::uint32_t>(fi_->locals.size());
    fp_->usesEnv = !fi_->top && fi_->hasInner;
    fp_->parent = fi_->parent;
    std::uint32_t depth = 0;
    for (int g = index; g >= 0; g = funcs_[g].parent) {
        if (!funcs_[g].top && funcs_[g].hasInner) ++depth;
    }
    fp_->depth = depth;
    code_ = &fp_->code;
    lastLine_ = 0;
    loops_.clear();
    Line(fi_->body ? fi_->body->line : 1);
    if (fi_->top) {
        for (const U16& g : fi_->globals) EmitU32(OP_DECL_NAME, Name(g));
    }
    for (Node* d : fi_->decls) {
        EmitU32(OP_CLOSURE, static_cast<std::uint32_t>(d->fn));
        StoreName(d->str);
        Emit(OP_POP);
    }
    if (fi_->body) {
        for (Node* s : fi_->body->kids) {
            if (!Stmt(s)) return false;
        }
    }
    Emit(OP_RET_UNDEF);
    return true;
}

void Gen::Put32(std::uint32_t v) {
    for (int i = 0; i < 4; ++i) code_->push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void Gen::EmitU32(std::uint8_t op, std::uint32_t v) {
    Emit(op);
    Put32(v);
}

void Gen::EmitU16(std::uint8_t op, std::uint32_t v) {
    Emit(op);
    code_->push_back(static_cast<std::uint8_t>(v));
    code_->push_back(static_cast<std::uint8_t>(v >> 8));
}

void Gen::EmitNameFlag(std::uint8_t op, std::uint32_t name, std::uint8_t flag) {
    EmitU32(op, name);
    code_->push_back(flag);
}

void Gen::EmitArgc(std::uint8_t op, std::size_t argc) {
    Emit(op);
    code_->push_back(static_cast<std::uint8_t>(argc));
}

std::uint32_t Gen::Jump(std::uint8_t op) {
    EmitU32(op, 0);
    return Here() - 4;
}

void Gen::Patch(std::uint32_t at, std::uint32_t target) {
    for (int i = 0; i < 4; ++i) (*code_)[at + i] = static_cast<std::uint8_t>(target >> (8 * i));
}

void Gen::Line(std::uint32_t line) {
    if (line == lastLine_) return;
    lastLine_ = line;
    if (!fp_->lines.empty() && fp_->lines.back().first == Here()) {
        fp_->lines.back().second = line;
    } else {
        fp_->lines.emplace_back(Here(), line);
    }
}

std::uint32_t Gen::Name(const U16& n) {
    auto it = nameIndex_.find(n);
    if (it != nameIndex_.end()) return it->second;
    std::uint32_t i = static_cast<std::uint32_t>(u_->names.size());
    u_->names.push_back(n);
    nameIndex_.emplace(n, i);
    return i;
}

std::uint32_t Gen::Str(const U16& s) {
    auto it = strIndex_.find(s);
    if (it != strIndex_.end()) return static_cast<std::uint32_t>(it->second);
    std::uint32_t i = static_cast<std::uint32_t>(u_->strings.size());
    u_->strings.push_back(s);
    strIndex_.emplace(s, i);
    return i;
}

void Gen::Number(double d) {
    if (d == std::floor(d) && std::fabs(d) < 2147483647.0 && !(d == 0 && std::signbit(d))) {
        EmitU32(OP_INT, static_cast<std::uint32_t>(static_cast<std::int32_t>(d)));
        return;
    }
    for (std::size_t i = 0; i < u_->numbers.size(); ++i) {
        if (std::memcmp(&u_->numbers[i], &d, sizeof d) == 0) {
            EmitU32(OP_NUM, static_cast<std::uint32_t>(i));
            return;
        }
    }
    EmitU32(OP_NUM, static_cast<std::uint32_t>(u_->numbers.size()));
    u_->numbers.push_back(d);
}

Gen::VarKind Gen::Lookup(const U16& n, std::uint32_t* depth, std::uint32_t* slot) {
    std::uint32_t envs = 0;
    for (int g = fn_; g >= 0 && !funcs_[g].top; g = funcs_[g].parent) {
        FuncInfo& f = funcs_[g];
        bool env = f.hasInner;
        auto it = f.slot.find(n);
        if (it != f.slot.end()) {
            *slot = it->second;
            if (g == fn_ && !env) return V_LOCAL;
            *depth = envs;
            return V_ENV;
        }
        if (env) ++envs;
    }
    return V_NAME;
}

void Gen::LoadName(const U16& n, bool cont) {
    std::uint32_t depth = 0, slot = 0;
    switch (Lookup(n, &depth, &slot)) {
        case V_LOCAL:
            EmitU16(OP_GET_LOCAL, slot);
            break;
        case V_ENV:
            Emit(OP_GET_ENV);
            code_->push_back(static_cast<std::uint8_t>(depth));
            code_->push_back(static_cast<std::uint8_t>(slot));
            code_->push_back(static_cast<std::uint8_t>(slot >> 8));
            break;
        case V_NAME:
            EmitNameFlag(OP_GET_NAME, Name(n), cont ? 1 : 0);
            break;
    }
}

void Gen::StoreName(const U16& n) {
    std::uint32_t depth = 0, slot = 0;
    switch (Lookup(n, &depth, &slot)) {
        case V_LOCAL:
            EmitU16(OP_SET_LOCAL, slot);
            break;
        case V_ENV:
            Emit(OP_SET_ENV);
            code_->push_back(static_cast<std::uint8_t>(depth));
            code_->push_back(static_cast<std::uint8_t>(slot));
            code_->push_back(static_cast<std::uint8_t>(slot >> 8));
            break;
        case V_NAME:
            EmitU32(OP_SET_NAME, Name(n));
            break;
    }
}

bool Gen::Stmt(Node* s) {
    Line(s->line);
    switch (s->k) {
        case S_EMPTY:
        case S_FUNC:
            return true;
        case S_EXPR:
            if (!Expr(s->kids[0])) return false;
            Emit(fi_->top ? OP_RESULT : OP_POP);
            return true;
        case S_VAR:
            for (Node* id : s->kids) {
                if (id->kids.empty()) continue;
                Line(id->line);
                if (!Expr(id->kids[0])) return false;
                StoreName(id->str);
                Emit(OP_POP);
            }
            return true;
        case S_BLOCK:
            for (Node* k : s->kids) {
                if (!Stmt(k)) return false;
            }
            return true;
        case S_IF: {
            if (!Expr(s->kids[0])) return false;
            std::uint32_t jf = Jump(OP_JF);
            if (!Stmt(s->kids[1])) return false;
            if (s->kids.size() > 2) {
                std::uint32_t je = Jump(OP_JMP);
                Patch(jf, Here());
                if (!Stmt(s->kids[2])) return false;
                Patch(je, Here());
            } else {
                Patch(jf, Here());
            }
            return true;
        }
        case S_WHILE: {
            std::uint32_t top = Here();
            if (!Expr(s->kids[0])) return false;
            std::uint32_t jf = Jump(OP_JF);
            loops_.push_back(Loop{{}, {}, false});
            if (!Stmt(s->kids[1])) return false;
            EmitU32(OP_JMP, top);
            EndLoop(Here(), top);
            Patch(jf, Here());
            return true;
        }
        case S_DO: {
            std::uint32_t top = Here();
            loops_.push_back(Loop{{}, {}, false});
            if (!Stmt(s->kids[0])) return false;
            std::uint32_t cont = Here();
            Line(s->kids[1]->line);
            if (!Expr(s->kids[1])) return false;
            EmitU32(OP_JT, top);
            EndLoop(Here(), cont);
            return true;
        }
        case S_FOR: {
            if (Node* init = s->kids[0]) {
                if (init->k == S_VAR) {
                    if (!Stmt(init)) return false;
                } else {
                    if (!Expr(init->kids[0])) return false;
                    Emit(OP_POP);
                }
            }
            std::uint32_t top = Here();
            std::uint32_t jf = 0;
            bool hasCond = s->kids[1] != nullptr;
            if (hasCond) {
                if (!Expr(s->kids[1])) return false;
                jf = Jump(OP_JF);
            }
            loops_.push_back(Loop{{}, {}, false});
            if (!Stmt(s->kids[3])) return false;
            std::uint32_t cont = Here();
            if (s->kids[2]) {
                if (!Expr(s->kids[2])) return false;
                Emit(OP_POP);
            }
            EmitU32(OP_JMP, top);
            std::uint32_t end = Here();
            EndLoop(end, cont);
            if (hasCond) Patch(jf, end);
            return true;
        }
        case S_BREAK:
        case S_CONTINUE: {
            bool isBreak = s->k == S_BREAK;
            for (std::size_t i = loops_.size(); i-- > 0;) {
                Loop& l = loops_[i];
                if (l.isSwitch && !isBreak) {
                    Emit(OP_POP);  // leave the switch: drop its value
                    continue;
                }
                (isBreak ? l.breaks : l.continues).push_back(Jump(OP_JMP));
                return true;
            }
            error = "break outside a loop";
            return false;
        }
        case S_RETURN:
            if (s->kids.empty()) {
                Emit(OP_RET_UNDEF);
            } else {
                if (!Expr(s->kids[0])) return false;
                Emit(OP_RET);
            }
            return true;
        case S_SWITCH: {
            if (!Expr(s->kids[0])) return false;
            std::vector<std::uint32_t> toCase(s->kids.size(), 0);
            int defaultCase = -1;
            for (std::size_t i = 1; i < s->kids.size(); ++i) {
                Node* c = s->kids[i];
                if (c->op == 1) {
                    defaultCase = static_cast<int>(i);
                    continue;
                }
                Emit(OP_DUP);
                if (!Expr(c->kids[0])) return false;
                Emit(OP_SEQ);
                toCase[i] = Jump(OP_JT);
            }
            std::uint32_t toDefault = Jump(OP_JMP);
            loops_.push_back(Loop{{}, {}, true});
            for (std::size_t i = 1; i < s->kids.size(); ++i) {
                Node* c = s->kids[i];
                if (static_cast<int>(i) == defaultCase)
                    Patch(toDefault, Here());
                else
                    Patch(toCase[i], Here());
                for (std::size_t j = 1; j < c->kids.size(); ++j) {
                    if (!Stmt(c->kids[j])) return false;
                }
            }
            std::uint32_t end = Here();
            if (defaultCase < 0) Patch(toDefault, end);
            EndLoop(end, end);
            Emit(OP_POP);
            return true;
        }
        default:
            error = "bad statement";
            return false;
    }
}

void Gen::EndLoop(std::uint32_t breakTo, std::uint32_t continueTo) {
    Loop l = std::move(loops_.back());
    loops_.pop_back();
    for (std::uint32_t at : l.breaks) Patch(at, breakTo);
    for (std::uint32_t at : l.continues) Patch(at, continueTo);
}

std::uint8_t Gen::BinaryOp(std::uint8_t p) {
    switch (p) {
        case P_PLUS:
        case P_ADD_ASSIGN:
            return OP_ADD;
        case P_MINUS:
        case P_SUB_ASSIGN:
            return OP_SUB;
        case P_STAR:
        case P_MUL_ASSIGN:
            return OP_MUL;
        case P_SLASH:
        case P_DIV_ASSIGN:
            return OP_DIV;
        case P_PERCENT:
        case P_MOD_ASSIGN:
            return OP_MOD;
        case P_SHL:
        case P_SHL_ASSIGN:
            return OP_SHL;
        case P_SHR:
        case P_SHR_ASSIGN:
            return OP_SHR;
        case P_USHR:
        case P_USHR_ASSIGN:
            return OP_USHR;
        case P_AMP:
        case P_AND_ASSIGN:
            return OP_BAND;
        case P_PIPE:
        case P_OR_ASSIGN:
            return OP_BOR;
        case P_CARET:
        case P_XOR_ASSIGN:
            return OP_BXOR;
        case P_EQ:
            return OP_EQ;
        case P_NE:
            return OP_NE;
        case P_SEQ:
            return OP_SEQ;
        case P_SNE:
            return OP_SNE;
        case P_LT:
            return OP_LT;
        case P_GT:
            return OP_GT;
        case P_LE:
            return OP_LE;
        case P_GE:
            return OP_GE;
    }
    return OP_ADD;
}

bool Gen::Base(Node* e) {
    if (e->k == N_IDENT) {
        LoadName(e->str, true);
        return true;
    }
    if (e->k == N_MEMBER) {
        if (!Base(e->kids[0])) return false;
        EmitNameFlag(OP_GET_MEMBER, Name(e->str), 1);
        return true;
    }
    return Expr(e);
}

bool Gen::Expr(Node* e) {
    switch (e->k) {
        case N_NUM:
            Number(e->num);
            return true;
        case N_STR:
            EmitU32(OP_STR, Str(e->str));
            return true;
        case N_LIT:
            EmitU32(OP_STR, static_cast<std::uint32_t>(e->num));
            return true;
        case N_TRUE:
            Emit(OP_TRUE);
            return true;
        case N_FALSE:
            Emit(OP_FALSE);
            return true;
        case N_NULL:
            Emit(OP_NULL);
            return true;
        case N_ELISION:
            Emit(OP_UNDEF);
            return true;
        case N_THIS:
            Emit(OP_THIS);
            return true;
        case N_IDENT:
            LoadName(e->str, false);
            return true;
        case N_FUNC:
            EmitU32(OP_CLOSURE, static_cast<std::uint32_t>(e->fn));
            return true;
        case N_ARRAY:
            for (Node* k : e->kids) {
                if (!Expr(k)) return false;
            }
            EmitU32(OP_ARRAY, static_cast<std::uint32_t>(e->kids.size()));
            return true;
        case N_OBJECT:
            Emit(OP_NEW_OBJECT);
            for (std::size_t i = 0; i + 1 < e->kids.size(); i += 2) {
                if (!Expr(e->kids[i + 1])) return false;
                EmitU32(OP_INIT_PROP, Name(e->kids[i]->str));
            }
            return true;
        case N_MEMBER:
            if (!Base(e->kids[0])) return false;
            EmitNameFlag(OP_GET_MEMBER, Name(e->str), 0);
            return true;
        case N_INDEX:
            if (!Base(e->kids[0]) || !Expr(e->kids[1])) return false;
            Emit(OP_GET_INDEX);
            return true;
        case N_CALL:
            return Call(e);
        case N_NEW:
            if (!Expr(e->kids[0])) return false;
            for (std::size_t i = 1; i < e->kids.size(); ++i) {
                if (!Expr(e->kids[i])) return false;
            }
            EmitArgc(OP_NEW, e->kids.size() - 1);
            return true;
        case N_UNARY:
            return Unary(e);
        case N_UPDATE:
            return Update(e);
        case N_BINARY:
            if (!Expr(e->kids[0]) || !Expr(e->kids[1])) return false;
            Emit(BinaryOp(e->op));
            return true;
        case N_AND:
        case N_OR: {
            if (!Expr(e->kids[0])) return false;
            std::uint32_t j = Jump(e->k == N_AND ? OP_JF_KEEP : OP_JT_KEEP);
            if (!Expr(e->kids[1])) return false;
            Patch(j, Here());
            return true;
        }
        case N_COND: {
            if (!Expr(e->kids[0])) return false;
            std::uint32_t jf = Jump(OP_JF);
            if (!Expr(e->kids[1])) return false;
            std::uint32_t je = Jump(OP_JMP);
            Patch(jf, Here());
            if (!Expr(e->kids[2])) return false;
            Patch(je, Here());
            return true;
        }
        case N_COMMA:
            if (!Expr(e->kids[0])) return false;
            Emit(OP_POP);
            return Expr(e->kids[1]);
        case N_ASSIGN:
            return Assign(e);
        default:
            error = "bad expression";
            return false;
    }
}

bool Gen::Call(Node* e) {
    Node* callee = e->kids[0];
    std::size_t argc = e->kids.size() - 1;
    auto args = [&]() {
        for (std::size_t i = 1; i < e->kids.size(); ++i) {
            if (!Expr(e->kids[i])) return false;
        }
        return true;
    };
    if (callee->k == N_IDENT) {
        std::uint32_t depth, slot;
        if (Lookup(callee->str, &depth, &slot) == V_NAME) {
            if (!args()) return false;
            Emit(OP_CALL_NAME);
            Put32(Name(callee->str));
            code_->push_back(static_cast<std::uint8_t>(argc));
            return true;
        }
    } else if (callee->k == N_MEMBER) {
        if (!Base(callee->kids[0]) || !args()) return false;
        Emit(OP_CALL_MEMBER);
        Put32(Name(callee->str));
        code_->push_back(static_cast<std::uint8_t>(argc));
        return true;
    } else if (callee->k == N_INDEX) {
        if (!Base(callee->kids[0]) || !Expr(callee->kids[1]) || !args()) return false;
        EmitArgc(OP_CALL_INDEX, argc);
        return true;
    }
    if (!Expr(callee) || !args()) return false;
    EmitArgc(OP_CALL, argc);
    return true;
}

bool Gen::Unary(Node* e) {
    Node* x = e->kids[0];
    switch (e->op) {
        case 100 + K_TYPEOF: {
            std::uint32_t depth, slot;
            if (x->k == N_IDENT && Lookup(x->str, &depth, &slot) == V_NAME) {
                EmitU32(OP_TYPEOF_NAME, Name(x->str));
                return true;
            }
            if (!Expr(x)) return false;
            Emit(OP_TYPEOF);
            return true;
        }
        case 100 + K_VOID:
            if (!Expr(x)) return false;
            Emit(OP_VOID);
            return true;
        case 100 + K_DELETE: {
            std::uint32_t depth, slot;
            if (x->k == N_IDENT) {
                if (Lookup(x->str, &depth, &slot) == V_NAME)
                    EmitU32(OP_DEL_NAME, Name(x->str));
                else
                    Emit(OP_FALSE);
                return true;
            }
            if (x->k == N_MEMBER) {
                if (!Base(x->kids[0])) return false;
                EmitU32(OP_DEL_MEMBER, Name(x->str));
                return true;
            }
            if (x->k == N_INDEX) {
                if (!Base(x->kids[0]) || !Expr(x->kids[1])) return false;
                Emit(OP_DEL_INDEX);
                return true;
            }
            if (!Expr(x)) return false;
            Emit(OP_POP);
            Emit(OP_TRUE);
            return true;
        }
    }
    if (!Expr(x)) return false;
    switch (e->op) {
        case P_MINUS:
            Emit(OP_NEG);
            break;
        case P_PLUS:
            Emit(OP_POS);
            break;
        case P_BANG:
            Emit(OP_NOT);
            break;
        case P_TILDE:
            Emit(OP_BITNOT);
            break;
    }
    return true;
}

bool Gen::Update(Node* e) {
    Node* t = e->kids[0];
    std::uint8_t step = e->op == P_INC ? OP_INC : OP_DEC;
    if (t->k == N_IDENT) {
        LoadName(t->str, false);
        Emit(OP_TONUM);
        if (!e->prefix) Emit(OP_DUP);
        Emit(step);
        StoreName(t->str);
        if (!e->prefix) Emit(OP_POP);
        return true;
    }
    if (t->k == N_MEMBER) {
        if (!Base(t->kids[0])) return false;
        std::uint32_t n = Name(t->str);
        Emit(OP_DUP);
        EmitNameFlag(OP_GET_MEMBER, n, 0);
        Emit(OP_TONUM);
        if (!e->prefix) {
            Emit(OP_DUP);
            Emit(OP_ROT3);
        }
        Emit(step);
        EmitU32(OP_SET_MEMBER, n);
        if (!e->prefix) Emit(OP_POP);
        return true;
    }
    if (!Base(t->kids[0]) || !Expr(t->kids[1])) return false;
    Emit(OP_DUP2);
    Emit(OP_GET_INDEX);
    Emit(OP_TONUM);
    if (!e->prefix) {
        Emit(OP_DUP);
        Emit(OP_ROT4);
    }
    Emit(step);
    Emit(OP_SET_INDEX);
    if (!e->prefix) Emit(OP_POP);
    return true;
}

bool Gen::Mentions(Node* e, const U16& name) {
    if (!e) return false;
    if (e->k == N_IDENT && e->str == name) return true;
    if (e->k == N_FUNC) return false;  // locals of this kind are never captured
    for (Node* k : e->kids) {
        if (Mentions(k, name)) return true;
    }
    return false;
}

bool Gen::Assign(Node* e) {
    Node* t = e->kids[0];
    Node* v = e->kids[1];
    bool compound = e->op != P_ASSIGN;
    if (t->k == N_IDENT) {
        if (compound) {
            std::uint32_t depth = 0, slot = 0;
            // `s += x` on a local that x does not read: take the value, so that a string
            // held only here is extended in place instead of copied.
            if (Lookup(t->str, &depth, &slot) == V_LOCAL && !Mentions(v, t->str))
                EmitU16(OP_TAKE_LOCAL, slot);
            else
                LoadName(t->str, false);
        }
        if (!Expr(v)) return false;
        if (compound) Emit(BinaryOp(e->op));
        StoreName(t->str);
        return true;
    }
    if (t->k == N_MEMBER) {
        if (!Base(t->kids[0])) return false;
        std::uint32_t n = Name(t->str);
        if (compound) {
            Emit(OP_DUP);
            EmitNameFlag(OP_GET_MEMBER, n, 0);
        }
        if (!Expr(v)) return false;
        if (compound) Emit(BinaryOp(e->op));
        EmitU32(OP_SET_MEMBER, n);
        return true;
    }
    if (!Base(t->kids[0]) || !Expr(t->kids[1])) return false;
    if (compound) {
        Emit(OP_DUP2);
        Emit(OP_GET_INDEX);
    }
    if (!Expr(v)) return false;
    if (compound) Emit(BinaryOp(e->op));
    Emit(OP_SET_INDEX);
    return true;
}
}  // namespace scr::compiler

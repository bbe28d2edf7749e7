#include "script/script_parser.h"

#include <cmath>

namespace scr::compiler {

bool Parser::ParseProgram() {
    funcs.emplace_back();
    funcs[0].top = true;
    cur_ = 0;
    Node* body = New(S_BLOCK);
    if (!Advance()) return false;
    while (tok_.type != T_EOF) {
        Node* s = Statement();
        if (!s) return false;
        body->kids.push_back(s);
    }
    funcs[0].body = body;
    return true;
}

Node* Parser::New(NK k) {
    arena.push_back(std::make_unique<Node>());
    Node* n = arena.back().get();
    n->k = k;
    n->line = tok_.line;
    return n;
}

bool Parser::Fail(const char* what) {
    if (errText.empty()) {
        errLine = tok_.line;
        errCol = tok_.col;
        errText = what;
    }
    return false;
}

bool Parser::FailNear() {
    if (!errText.empty()) return false;
    if (tok_.type == T_EOF) return Fail("unexpected end of script");
    std::string t;
    if (tok_.type == T_IDENT || tok_.type == T_STR) {
        for (char16_t c : tok_.text) t.push_back(c < 0x80 ? static_cast<char>(c) : '?');
        if (t.size() > 32) t.resize(32);
    } else if (tok_.type == T_NUM) {
        t = "number";
    } else {
        for (const PunctText& p : kPuncts) {
            if (p.p == tok_.punct) t = p.text;
        }
    }
    if (tok_.type == T_IDENT && tok_.unsupported)
        return Fail(("unsupported construct '" + t + "'").c_str());
    return Fail(("unexpected '" + t + "'").c_str());
}

bool Parser::Advance() {
    if (!lex_.Next(&tok_)) {
        errLine = lex_.line_;
        errCol = 0;
        if (errText.empty()) errText = lex_.error_ ? lex_.error_ : "bad token";
        return false;
    }
    return true;
}

bool Parser::Expect(Punct p) {
    if (!Is(p)) return FailNear();
    return Advance();
}

void Parser::Semicolon() {
    // A statement also ends before any token that cannot continue it.
    if (Is(P_SEMI)) Advance();
}

bool Parser::IsKeywordName() const {
    return tok_.type == T_IDENT && tok_.vocab >= K_BREAK && tok_.vocab <= K_LITSTR;
}

Node* Parser::Statement() {
    Depth d(this);
    if (!d.ok) return Fail("nesting too deep"), nullptr;
    if (tok_.type == T_IDENT && tok_.unsupported) return FailNear(), nullptr;
    if (Is(P_LBRACE)) return Block();
    if (Is(P_SEMI)) {
        Node* n = New(S_EMPTY);
        if (!Advance()) return nullptr;
        return n;
    }
    if (tok_.type == T_IDENT) {
        switch (tok_.vocab) {
            case K_VAR: {
                Node* n = VarList();
                if (n) Semicolon();
                return n;
            }
            case K_FUNCTION:
                return FunctionDecl();
            case K_IF:
                return If();
            case K_WHILE:
                return While();
            case K_DO:
                return DoWhile();
            case K_FOR:
                return For();
            case K_BREAK:
            case K_CONTINUE: {
                Node* n = New(tok_.vocab == K_BREAK ? S_BREAK : S_CONTINUE);
                if (!Advance()) return nullptr;
                if (n->k == S_BREAK ? breakable_ == 0 : loops_ == 0)
                    return Fail(n->k == S_BREAK ? "break outside a loop or switch"
                                                : "continue outside a loop"),
                           nullptr;
                Semicolon();
                return n;
            }
            case K_RETURN: {
                Node* n = New(S_RETURN);
                if (!Advance()) return nullptr;
                if (!tok_.nlBefore && !Is(P_SEMI) && !Is(P_RBRACE) && tok_.type != T_EOF) {
                    Node* e = Expression();
                    if (!e) return nullptr;
                    n->kids.push_back(e);
                }
                Semicolon();
                return n;
            }
            case K_SWITCH:
                return Switch();
            case K_ELSE:
            case K_CASE:
            case K_DEFAULT:
                return FailNear(), nullptr;
            default:
                break;
        }
    }
    Node* n = New(S_EXPR);
    Node* e = Expression();
    if (!e) return nullptr;
    n->kids.push_back(e);
    Semicolon();
    return n;
}

Node* Parser::Block() {
    Node* n = New(S_BLOCK);
    if (!Advance()) return nullptr;
    while (!Is(P_RBRACE)) {
        if (tok_.type == T_EOF) return FailNear(), nullptr;
        Node* s = Statement();
        if (!s) return nullptr;
        n->kids.push_back(s);
    }
    if (!Advance()) return nullptr;
    return n;
}

Node* Parser::VarList() {
    Node* n = New(S_VAR);
    if (!Advance()) return nullptr;
    while (true) {
        if (tok_.type != T_IDENT || IsKeywordName() || tok_.isNull || tok_.unsupported)
            return FailNear(), nullptr;
        Node* id = New(N_IDENT);
        id->str = tok_.text;
        funcs[cur_].Declare(id->str);
        if (!Advance()) return nullptr;
        if (Is(P_ASSIGN)) {
            if (!Advance()) return nullptr;
            Node* init = Assign();
            if (!init) return nullptr;
            id->kids.push_back(init);
        }
        n->kids.push_back(id);
        if (!Is(P_COMMA)) break;
        if (!Advance()) return nullptr;
    }
    return n;
}

Node* Parser::FunctionDecl() {
    Node* n = New(S_FUNC);
    if (!Advance()) return nullptr;
    if (tok_.type != T_IDENT || IsKeywordName() || tok_.unsupported) return FailNear(), nullptr;
    U16 name = tok_.text;
    if (!Advance()) return nullptr;
    int fn = FunctionRest(name);
    if (fn < 0) return nullptr;
    n->fn = fn;
    n->str = name;
    funcs[cur_].Declare(name);
    funcs[cur_].decls.push_back(n);
    return n;
}

int Parser::FunctionRest(const U16& name) {
    if (funcs.size() >= 60000) return Fail("too many functions"), -1;
    int outer = cur_;
    funcs[outer].hasInner = true;
    funcs.emplace_back();
    int me = static_cast<int>(funcs.size() - 1);
    funcs[me].parent = outer;
    funcs[me].name = name;
    if (!Expect(P_LPAREN)) return -1;
    while (!Is(P_RPAREN)) {
        if (tok_.type != T_IDENT || IsKeywordName() || tok_.unsupported) return FailNear(), -1;
        funcs[me].Declare(tok_.text);
        funcs[me].params = static_cast<std::uint32_t>(funcs[me].locals.size());
        if (!Advance()) return -1;
        if (Is(P_COMMA)) {
            if (!Advance()) return -1;
        } else if (!Is(P_RPAREN)) {
            return FailNear(), -1;
        }
    }
    if (!Advance()) return -1;
    if (!Is(P_LBRACE)) return FailNear(), -1;
    int savedLoops = loops_, savedBreak = breakable_;
    loops_ = breakable_ = 0;
    cur_ = me;
    Node* body = Block();
    cur_ = outer;
    loops_ = savedLoops;
    breakable_ = savedBreak;
    if (!body) return -1;
    funcs[me].body = body;
    if (funcs[me].locals.size() > 60000) return Fail("too many variables"), -1;
    return me;
}

Node* Parser::If() {
    Node* n = New(S_IF);
    if (!Advance() || !Expect(P_LPAREN)) return nullptr;
    Node* c = Expression();
    if (!c || !Expect(P_RPAREN)) return nullptr;
    Node* a = Statement();
    if (!a) return nullptr;
    n->kids = {c, a};
    if (IsKw(K_ELSE)) {
        if (!Advance()) return nullptr;
        Node* b = Statement();
        if (!b) return nullptr;
        n->kids.push_back(b);
    }
    return n;
}

Node* Parser::LoopBody() {
    ++loops_;
    ++breakable_;
    Node* b = Statement();
    --loops_;
    --breakable_;
    return b;
}

Node* Parser::While() {
    Node* n = New(S_WHILE);
    if (!Advance() || !Expect(P_LPAREN)) return nullptr;
    Node* c = Expression();
    if (!c || !Expect(P_RPAREN)) return nullptr;
    Node* b = LoopBody();
    if (!b) return nullptr;
    n->kids = {c, b};
    return n;
}

Node* Parser::DoWhile() {
    Node* n = New(S_DO);
    if (!Advance()) return nullptr;
    Node* b = LoopBody();
    if (!b) return nullptr;
    if (!IsKw(K_WHILE)) return FailNear(), nullptr;
    if (!Advance() || !Expect(P_LPAREN)) return nullptr;
    Node* c = Expression();
    if (!c || !Expect(P_RPAREN)) return nullptr;
    Semicolon();
    n->kids = {b, c};
    return n;
}

Node* Parser::For() {
    Node* n = New(S_FOR);
    if (!Advance() || !Expect(P_LPAREN)) return nullptr;
    Node* init = nullptr;
    Node* cond = nullptr;
    Node* step = nullptr;
    if (!Is(P_SEMI)) {
        if (IsKw(K_VAR)) {
            init = VarList();
        } else {
            Node* e = Expression();
            if (e) {
                init = New(S_EXPR);
                init->kids.push_back(e);
            }
        }
        if (!init) return nullptr;
    }
    if (tok_.type == T_IDENT && tok_.unsupported) return FailNear(), nullptr;  // for-in
    if (!Expect(P_SEMI)) return nullptr;
    if (!Is(P_SEMI) && !(cond = Expression())) return nullptr;
    if (!Expect(P_SEMI)) return nullptr;
    if (!Is(P_RPAREN) && !(step = Expression())) return nullptr;
    if (!Expect(P_RPAREN)) return nullptr;
    Node* body = LoopBody();
    if (!body) return nullptr;
    n->kids = {init, cond, step, body};
    return n;
}

Node* Parser::Switch() {
    Node* n = New(S_SWITCH);
    if (!Advance() || !Expect(P_LPAREN)) return nullptr;
    Node* d = Expression();
    if (!d || !Expect(P_RPAREN) || !Expect(P_LBRACE)) return nullptr;
    n->kids.push_back(d);
    bool hasDefault = false;
    ++breakable_;
    while (!Is(P_RBRACE)) {
        Node* c = New(S_CASE);
        if (IsKw(K_CASE)) {
            if (!Advance()) return nullptr;
            Node* t = Expression();
            if (!t) return nullptr;
            c->kids.push_back(t);
        } else if (IsKw(K_DEFAULT)) {
            if (hasDefault) return Fail("two default clauses"), nullptr;
            hasDefault = true;
            c->op = 1;
            c->kids.push_back(nullptr);
            if (!Advance()) return nullptr;
        } else {
            return FailNear(), nullptr;
        }
        if (!Expect(P_COLON)) return nullptr;
        while (!Is(P_RBRACE) && !IsKw(K_CASE) && !IsKw(K_DEFAULT)) {
            if (tok_.type == T_EOF) return FailNear(), nullptr;
            Node* s = Statement();
            if (!s) return nullptr;
            c->kids.push_back(s);
        }
        n->kids.push_back(c);
    }
    --breakable_;
    if (!Advance()) return nullptr;
    return n;
}

Node* Parser::Expression() {
    Node* e = Assign();
    while (e && Is(P_COMMA)) {
        Node* n = New(N_COMMA);
        if (!Advance()) return nullptr;
        Node* r = Assign();
        if (!r) return nullptr;
        n->kids = {e, r};
        e = n;
    }
    return e;
}

bool Parser::IsAssignOp(Punct p) {
    return p == P_ASSIGN || (p >= P_ADD_ASSIGN && p <= P_XOR_ASSIGN);
}

Node* Parser::Assign() {
    Depth d(this);
    if (!d.ok) return Fail("nesting too deep"), nullptr;
    Node* left = Conditional();
    if (!left) return nullptr;
    if (tok_.type == T_PUNCT && IsAssignOp(tok_.punct)) {
        if (left->k != N_IDENT && left->k != N_MEMBER && left->k != N_INDEX)
            return Fail("invalid assignment target"), nullptr;
        Node* n = New(N_ASSIGN);
        n->op = tok_.punct;
        if (!Advance()) return nullptr;
        Node* r = Assign();
        if (!r) return nullptr;
        n->kids = {left, r};
        return n;
    }
    return left;
}

Node* Parser::Conditional() {
    Node* c = Binary(1);
    if (!c || !Is(P_QUESTION)) return c;
    Node* n = New(N_COND);
    if (!Advance()) return nullptr;
    Node* a = Assign();
    if (!a || !Expect(P_COLON)) return nullptr;
    Node* b = Assign();
    if (!b) return nullptr;
    n->kids = {c, a, b};
    return n;
}

int Parser::Precedence(const Token& t) {
    if (t.type != T_PUNCT) return 0;
    switch (t.punct) {
        case P_OR:
            return 1;
        case P_AND:
            return 2;
        case P_PIPE:
            return 3;
        case P_CARET:
            return 4;
        case P_AMP:
            return 5;
        case P_EQ:
        case P_NE:
        case P_SEQ:
        case P_SNE:
            return 6;
        case P_LT:
        case P_GT:
        case P_LE:
        case P_GE:
            return 7;
        case P_SHL:
        case P_SHR:
        case P_USHR:
            return 8;
        case P_PLUS:
        case P_MINUS:
            return 9;
        case P_STAR:
        case P_SLASH:
        case P_PERCENT:
            return 10;
        default:
            return 0;
    }
}

Node* Parser::Binary(int minPrec) {
    Depth d(this);
    if (!d.ok) return Fail("nesting too deep"), nullptr;
    Node* left = Unary();
    if (!left) return nullptr;
    while (true) {
        if (tok_.type == T_IDENT && tok_.unsupported) return FailNear(), nullptr;
        int p = Precedence(tok_);
        if (p == 0 || p < minPrec) return left;
        Punct op = tok_.punct;
        Node* n = New(op == P_AND ? N_AND : op == P_OR ? N_OR : N_BINARY);
        n->op = op;
        if (!Advance()) return nullptr;
        Node* right = Binary(p + 1);
        if (!right) return nullptr;
        n->kids = {left, right};
        left = n;
    }
}

Node* Parser::Unary() {
    Depth d(this);
    if (!d.ok) return Fail("nesting too deep"), nullptr;
    if (tok_.type == T_PUNCT && (tok_.punct == P_PLUS || tok_.punct == P_MINUS ||
                                 tok_.punct == P_BANG || tok_.punct == P_TILDE)) {
        Node* n = New(N_UNARY);
        n->op = tok_.punct;
        if (!Advance()) return nullptr;
        Node* e = Unary();
        if (!e) return nullptr;
        n->kids.push_back(e);
        return n;
    }
    if (Is(P_INC) || Is(P_DEC)) {
        Node* n = New(N_UPDATE);
        n->op = tok_.punct;
        n->prefix = true;
        if (!Advance()) return nullptr;
        Node* e = Unary();
        if (!e) return nullptr;
        if (e->k != N_IDENT && e->k != N_MEMBER && e->k != N_INDEX)
            return Fail("invalid increment target"), nullptr;
        n->kids.push_back(e);
        return n;
    }
    if (IsKw(K_TYPEOF) || IsKw(K_VOID) || IsKw(K_DELETE)) {
        Node* n = New(N_UNARY);
        n->op = static_cast<std::uint8_t>(100 + tok_.vocab);
        if (!Advance()) return nullptr;
        Node* e = Unary();
        if (!e) return nullptr;
        n->kids.push_back(e);
        return n;
    }
    Node* e = LeftSide();
    if (!e) return nullptr;
    if ((Is(P_INC) || Is(P_DEC)) && !tok_.nlBefore) {
        if (e->k != N_IDENT && e->k != N_MEMBER && e->k != N_INDEX)
            return Fail("invalid increment target"), nullptr;
        Node* n = New(N_UPDATE);
        n->op = tok_.punct;
        if (!Advance()) return nullptr;
        n->kids.push_back(e);
        return n;
    }
    return e;
}

bool Parser::Arguments(Node* call) {
    if (!Advance()) return false;  // (
    while (!Is(P_RPAREN)) {
        Node* a = Assign();
        if (!a) return false;
        call->kids.push_back(a);
        if (call->kids.size() > 250) return Fail("too many arguments");
        if (Is(P_COMMA)) {
            if (!Advance()) return false;
        } else if (!Is(P_RPAREN)) {
            return FailNear();
        }
    }
    return Advance();
}

Node* Parser::LeftSide(bool calls) {
    Depth d(this);
    if (!d.ok) return Fail("nesting too deep"), nullptr;
    Node* e;
    if (IsKw(K_NEW)) {
        Node* n = New(N_NEW);
        if (!Advance()) return nullptr;
        Node* callee = LeftSide(false);
        if (!callee) return nullptr;
        n->kids.push_back(callee);
        if (Is(P_LPAREN) && !Arguments(n)) return nullptr;
        e = n;
    } else {
        e = Primary();
    }
    return Suffixes(e, calls);
}

Node* Parser::Suffixes(Node* e, bool calls) {
    while (e) {
        if (Is(P_DOT)) {
            if (!Advance()) return nullptr;
            if (tok_.type != T_IDENT) return FailNear(), nullptr;
            Node* n = New(N_MEMBER);
            n->str = tok_.text;
            n->kids.push_back(e);
            if (!Advance()) return nullptr;
            e = n;
        } else if (Is(P_LBRACK)) {
            Node* n = New(N_INDEX);
            if (!Advance()) return nullptr;
            Node* k = Expression();
            if (!k || !Expect(P_RBRACK)) return nullptr;
            n->kids = {e, k};
            e = n;
        } else if (calls && Is(P_LPAREN)) {
            Node* n = New(N_CALL);
            n->kids.push_back(e);
            if (!Arguments(n)) return nullptr;
            e = n;
        } else {
            break;
        }
    }
    return e;
}

Node* Parser::Primary() {
    switch (tok_.type) {
        case T_NUM: {
            Node* n = New(N_NUM);
            n->num = tok_.num;
            return Advance() ? n : nullptr;
        }
        case T_STR: {
            Node* n = New(N_STR);
            n->str = tok_.text;
            return Advance() ? n : nullptr;
        }
        case T_PUNCT:
            if (Is(P_LPAREN)) {
                if (!Advance()) return nullptr;
                Node* e = Expression();
                if (!e || !Expect(P_RPAREN)) return nullptr;
                return e;
            }
            if (Is(P_LBRACK)) return ArrayLiteral();
            if (Is(P_LBRACE)) return ObjectLiteral();
            return FailNear(), nullptr;
        case T_IDENT:
            break;
        case T_EOF:
            return FailNear(), nullptr;
    }
    if (tok_.unsupported) return FailNear(), nullptr;
    if (tok_.isNull) {
        Node* n = New(N_NULL);
        return Advance() ? n : nullptr;
    }
    switch (tok_.vocab) {
        case K_TRUE:
        case K_FALSE: {
            Node* n = New(tok_.vocab == K_TRUE ? N_TRUE : N_FALSE);
            return Advance() ? n : nullptr;
        }
        case K_THIS: {
            Node* n = New(N_THIS);
            return Advance() ? n : nullptr;
        }
        case K_FUNCTION: {
            Node* n = New(N_FUNC);
            if (!Advance()) return nullptr;
            U16 name;
            if (tok_.type == T_IDENT && !IsKeywordName()) {
                name = tok_.text;
                if (!Advance()) return nullptr;
            }
            n->fn = FunctionRest(name);
            return n->fn < 0 ? nullptr : n;
        }
        case K_LITSTR: {
            // __litteralstr i: string constant i of the unit
            Node* n = New(N_LIT);
            if (!Advance()) return nullptr;
            if (tok_.type != T_NUM || tok_.num != std::floor(tok_.num) || tok_.num < 0 ||
                tok_.num >= literals_)
                return Fail("bad literal index"), nullptr;
            n->num = tok_.num;
            return Advance() ? n : nullptr;
        }
        default:
            if (IsKeywordName()) return FailNear(), nullptr;
            break;
    }
    Node* n = New(N_IDENT);
    n->str = tok_.text;
    return Advance() ? n : nullptr;
}

Node* Parser::ArrayLiteral() {
    Node* n = New(N_ARRAY);
    if (!Advance()) return nullptr;
    while (!Is(P_RBRACK)) {
        if (Is(P_COMMA)) {
            n->kids.push_back(New(N_ELISION));
            if (!Advance()) return nullptr;
            continue;
        }
        Node* e = Assign();
        if (!e) return nullptr;
        n->kids.push_back(e);
        if (Is(P_COMMA)) {
            if (!Advance()) return nullptr;
        } else if (!Is(P_RBRACK)) {
            return FailNear(), nullptr;
        }
    }
    return Advance() ? n : nullptr;
}

Node* Parser::ObjectLiteral() {
    Node* n = New(N_OBJECT);
    if (!Advance()) return nullptr;
    while (!Is(P_RBRACE)) {
        Node* key = New(N_STR);
        if (tok_.type == T_IDENT || tok_.type == T_STR) {
            key->str = tok_.text;
        } else if (tok_.type == T_NUM) {
            NumberToString(tok_.num, &key->str);
        } else {
            return FailNear(), nullptr;
        }
        if (!Advance() || !Expect(P_COLON)) return nullptr;
        Node* v = Assign();
        if (!v) return nullptr;
        n->kids.push_back(key);
        n->kids.push_back(v);
        if (Is(P_COMMA)) {
            if (!Advance()) return nullptr;
        } else if (!Is(P_RBRACE)) {
            return FailNear(), nullptr;
        }
    }
    return Advance() ? n : nullptr;
}
}  // namespace scr::compiler

// Recursive-descent parser from tokens to the syntax tree; binary operators come from one
// precedence table. Nesting deeper than kMaxNesting fails instead of exhausting the stack.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "script/script_compiler.h"
#include "script/script_lexer.h"
#include "script/script_syntax_tree.h"

namespace scr::compiler {

class Parser {
public:
    Parser(const char16_t* s, std::uint32_t n, std::uint32_t literalCount)
        : lex_(s, n), literals_(literalCount) {}

    std::vector<std::unique_ptr<Node>> arena;
    std::vector<FuncInfo> funcs;
    std::uint32_t errLine = 0, errCol = 0;
    std::string errText;

    bool ParseProgram();

private:
    Node* New(NK k);
    bool Fail(const char* what);
    bool FailNear();
    bool Advance();
    bool Is(Punct p) const { return tok_.type == T_PUNCT && tok_.punct == p; }
    bool IsKw(Kw k) const { return tok_.type == T_IDENT && tok_.vocab == k; }
    bool Expect(Punct p);
    struct Depth {
        Parser* p;
        bool ok;
        explicit Depth(Parser* q) : p(q) { ok = ++p->depth_ <= kMaxNesting; }
        ~Depth() { --p->depth_; }
    };
    void Semicolon();
    bool IsKeywordName() const;

    Node* Statement();
    Node* Block();
    Node* VarList();
    Node* FunctionDecl();
    // After the name: parameters and body. Returns the function index.
    int FunctionRest(const U16& name);
    Node* If();
    Node* LoopBody();
    Node* While();
    Node* DoWhile();
    Node* For();
    Node* Switch();

    // ---- expressions
    Node* Expression();
    static bool IsAssignOp(Punct p);
    Node* Assign();
    Node* Conditional();
    static int Precedence(const Token& t);
    Node* Binary(int minPrec);
    Node* Unary();
    bool Arguments(Node* call);
    // A member expression with its suffixes; `new` takes a callee without call suffixes, so
    // that "new F(a)" passes (a) to the constructor.
    Node* LeftSide(bool calls = true);
    Node* Suffixes(Node* e, bool calls);
    Node* Primary();
    Node* ArrayLiteral();
    Node* ObjectLiteral();

    Lexer lex_;
    Token tok_;
    std::uint32_t literals_;
    int cur_ = 0;
    int depth_ = 0;
    int loops_ = 0;
    int breakable_ = 0;
};

}  // namespace scr::compiler

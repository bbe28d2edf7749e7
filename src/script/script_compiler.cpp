#include "script/script_compiler.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <unordered_map>

#include "script/script_internal.h"
#include "script/script_names.h"

namespace scr {
namespace {

// ---------------------------------------------------------------- lexer

enum TokType : std::uint8_t { T_EOF, T_NUM, T_STR, T_IDENT, T_PUNCT };

enum Punct : std::uint8_t {
    P_NONE,
    P_LBRACE,
    P_RBRACE,
    P_LPAREN,
    P_RPAREN,
    P_LBRACK,
    P_RBRACK,
    P_DOT,
    P_SEMI,
    P_COMMA,
    P_LT,
    P_GT,
    P_LE,
    P_GE,
    P_EQ,
    P_NE,
    P_SEQ,
    P_SNE,
    P_PLUS,
    P_MINUS,
    P_STAR,
    P_SLASH,
    P_PERCENT,
    P_INC,
    P_DEC,
    P_SHL,
    P_SHR,
    P_USHR,
    P_AMP,
    P_PIPE,
    P_CARET,
    P_BANG,
    P_TILDE,
    P_AND,
    P_OR,
    P_QUESTION,
    P_COLON,
    P_ASSIGN,
    P_ADD_ASSIGN,
    P_SUB_ASSIGN,
    P_MUL_ASSIGN,
    P_DIV_ASSIGN,
    P_MOD_ASSIGN,
    P_SHL_ASSIGN,
    P_SHR_ASSIGN,
    P_USHR_ASSIGN,
    P_AND_ASSIGN,
    P_OR_ASSIGN,
    P_XOR_ASSIGN
};

struct PunctText {
    const char* text;
    Punct p;
};
// Longest first, so that the first match wins.
const PunctText kPuncts[] = {
    {">>>=", P_USHR_ASSIGN},
    {"===", P_SEQ},
    {"!==", P_SNE},
    {">>>", P_USHR},
    {"<<=", P_SHL_ASSIGN},
    {">>=", P_SHR_ASSIGN},
    {"<=", P_LE},
    {">=", P_GE},
    {"==", P_EQ},
    {"!=", P_NE},
    {"++", P_INC},
    {"--", P_DEC},
    {"<<", P_SHL},
    {">>", P_SHR},
    {"&&", P_AND},
    {"||", P_OR},
    {"+=", P_ADD_ASSIGN},
    {"-=", P_SUB_ASSIGN},
    {"*=", P_MUL_ASSIGN},
    {"/=", P_DIV_ASSIGN},
    {"%=", P_MOD_ASSIGN},
    {"&=", P_AND_ASSIGN},
    {"|=", P_OR_ASSIGN},
    {"^=", P_XOR_ASSIGN},
    {"{", P_LBRACE},
    {"}", P_RBRACE},
    {"(", P_LPAREN},
    {")", P_RPAREN},
    {"[", P_LBRACK},
    {"]", P_RBRACK},
    {".", P_DOT},
    {";", P_SEMI},
    {",", P_COMMA},
    {"<", P_LT},
    {">", P_GT},
    {"+", P_PLUS},
    {"-", P_MINUS},
    {"*", P_STAR},
    {"/", P_SLASH},
    {"%", P_PERCENT},
    {"&", P_AMP},
    {"|", P_PIPE},
    {"^", P_CARET},
    {"!", P_BANG},
    {"~", P_TILDE},
    {"?", P_QUESTION},
    {":", P_COLON},
    {"=", P_ASSIGN},
};

// Keyword ids of the vocabulary.
enum Kw : std::uint16_t {
    K_BREAK = 1,
    K_ELSE,
    K_SWITCH,
    K_CASE,
    K_RETURN,
    K_CONTINUE,
    K_FOR,
    K_VOID,
    K_DEFAULT,
    K_DO,
    K_IF,
    K_WHILE,
    K_THIS,
    K_NEW,
    K_DELETE,
    K_TYPEOF,
    K_FUNCTION,
    K_VAR,
    K_TRUE,
    K_FALSE,
    K_LITSTR
};

struct Token {
    TokType type = T_EOF;
    Punct punct = P_NONE;
    std::uint16_t vocab = 0;
    bool nlBefore = false;
    bool isNull = false;
    bool unsupported = false;  // a reserved word of constructs this language leaves out
    std::uint32_t line = 1, col = 1;
    double num = 0;
    U16 text;
};

bool IsIdStart(char16_t c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '$' ||
           (c >= 0x80 && c != 0xA0 && c != 0xFEFF && c != 0x2028 && c != 0x2029);
}
bool IsIdPart(char16_t c) {
    return IsIdStart(c) || (c >= '0' && c <= '9');
}
int HexVal(char16_t c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

class Lexer {
public:
    Lexer(const char16_t* s, std::uint32_t n) : s_(s), n_(n) {}

    // false with error set on a bad token
    bool Next(Token* t) {
        t->nlBefore = false;
        t->isNull = false;
        t->unsupported = false;
        t->vocab = 0;
        t->punct = P_NONE;
        t->text.clear();
        if (!SkipSpace(&t->nlBefore)) return false;
        t->line = line_;
        t->col = static_cast<std::uint32_t>(p_ - lineStart_) + 1;
        if (p_ >= n_) {
            t->type = T_EOF;
            return true;
        }
        char16_t c = s_[p_];
        if (IsIdStart(c)) {
            std::uint32_t b = p_;
            while (p_ < n_ && IsIdPart(s_[p_])) ++p_;
            t->type = T_IDENT;
            t->text.assign(s_ + b, p_ - b);
            t->vocab = ScriptNames::Find(s_ + b, p_ - b);
            if (t->text == u"null") t->isNull = true;
            static const char16_t* const kLeftOut[] = {u"try",  u"catch", u"finally",   u"throw",
                                                       u"with", u"in",    u"instanceof"};
            for (const char16_t* w : kLeftOut) {
                if (t->text == w) t->unsupported = true;
            }
            return true;
        }
        if ((c >= '0' && c <= '9') ||
            (c == '.' && p_ + 1 < n_ && s_[p_ + 1] >= '0' && s_[p_ + 1] <= '9'))
            return Number(t);
        if (c == '"' || c == '\'') return String(t, c);
        for (const PunctText& pt : kPuncts) {
            std::uint32_t len = static_cast<std::uint32_t>(std::strlen(pt.text));
            if (p_ + len > n_) continue;
            bool match = true;
            for (std::uint32_t i = 0; i < len; ++i) {
                if (s_[p_ + i] != static_cast<char16_t>(pt.text[i])) {
                    match = false;
                    break;
                }
            }
            if (match) {
                p_ += len;
                t->type = T_PUNCT;
                t->punct = pt.p;
                return true;
            }
        }
        error_ = c == '\\' ? "unexpected character '\\'" : "unexpected character";
        return false;
    }

    const char* error_ = nullptr;
    std::uint32_t line_ = 1;

private:
    void NewLine(std::uint32_t next) {
        ++line_;
        lineStart_ = next;
    }
    bool AtLineStartSoFar() {
        for (std::uint32_t i = lineStart_; i < p_; ++i) {
            char16_t c = s_[i];
            if (c != ' ' && c != '\t') return false;
        }
        return true;
    }
    void SkipLine() {
        while (p_ < n_ && s_[p_] != '\n' && s_[p_] != '\r' && s_[p_] != 0x2028 && s_[p_] != 0x2029)
            ++p_;
    }
    bool SkipSpace(bool* nl) {
        while (p_ < n_) {
            char16_t c = s_[p_];
            if (c == '\n' || c == 0x2028 || c == 0x2029) {
                ++p_;
                NewLine(p_);
                *nl = true;
            } else if (c == '\r') {
                ++p_;
                if (p_ < n_ && s_[p_] == '\n') ++p_;
                NewLine(p_);
                *nl = true;
            } else if (c == ' ' || c == '\t' || c == 0x0B || c == 0x0C || c == 0xA0 ||
                       c == 0xFEFF) {
                ++p_;
            } else if (c == '/' && p_ + 1 < n_ && s_[p_ + 1] == '/') {
                SkipLine();
            } else if (c == '/' && p_ + 1 < n_ && s_[p_ + 1] == '*') {
                p_ += 2;
                bool closed = false;
                while (p_ < n_) {
                    char16_t d = s_[p_];
                    if (d == '*' && p_ + 1 < n_ && s_[p_ + 1] == '/') {
                        p_ += 2;
                        closed = true;
                        break;
                    }
                    ++p_;
                    if (d == '\n' || (d == '\r' && !(p_ < n_ && s_[p_] == '\n')) || d == 0x2028 ||
                        d == 0x2029) {
                        NewLine(p_);
                        *nl = true;
                    }
                }
                if (!closed) {
                    error_ = "unterminated comment";
                    return false;
                }
            } else if (c == '<' && p_ + 3 < n_ && s_[p_ + 1] == '!' && s_[p_ + 2] == '-' &&
                       s_[p_ + 3] == '-' && AtLineStartSoFar()) {
                SkipLine();  // old inline-script habit: <!-- hides scripts from old browsers
            } else if (c == '-' && p_ + 2 < n_ && s_[p_ + 1] == '-' && s_[p_ + 2] == '>' &&
                       AtLineStartSoFar()) {
                SkipLine();
            } else {
                break;
            }
        }
        return true;
    }
    bool Number(Token* t) {
        t->type = T_NUM;
        std::uint32_t b = p_;
        if (s_[p_] == '0' && p_ + 1 < n_ && (s_[p_ + 1] == 'x' || s_[p_ + 1] == 'X')) {
            p_ += 2;
            double v = 0;
            std::uint32_t digits = 0;
            while (p_ < n_ && HexVal(s_[p_]) >= 0) v = v * 16 + HexVal(s_[p_++]), ++digits;
            if (!digits || (p_ < n_ && IsIdStart(s_[p_]))) {
                error_ = "bad number";
                return false;
            }
            t->num = v;
            return true;
        }
        while (p_ < n_ && s_[p_] >= '0' && s_[p_] <= '9') ++p_;
        if (p_ < n_ && s_[p_] == '.') {
            ++p_;
            while (p_ < n_ && s_[p_] >= '0' && s_[p_] <= '9') ++p_;
        }
        if (p_ < n_ && (s_[p_] == 'e' || s_[p_] == 'E')) {
            std::uint32_t save = p_;
            ++p_;
            if (p_ < n_ && (s_[p_] == '+' || s_[p_] == '-')) ++p_;
            if (p_ < n_ && s_[p_] >= '0' && s_[p_] <= '9') {
                while (p_ < n_ && s_[p_] >= '0' && s_[p_] <= '9') ++p_;
            } else {
                p_ = save;
            }
        }
        if (p_ < n_ && IsIdStart(s_[p_])) {
            error_ = "bad number";
            return false;
        }
        std::string a;
        for (std::uint32_t i = b; i < p_; ++i) a.push_back(static_cast<char>(s_[i]));
        t->num = std::strtod(a.c_str(), nullptr);
        return true;
    }
    bool String(Token* t, char16_t q) {
        t->type = T_STR;
        ++p_;
        while (true) {
            if (p_ >= n_) break;
            char16_t c = s_[p_++];
            if (c == q) return true;
            if (c == '\n' || c == '\r' || c == 0x2028 || c == 0x2029) break;
            if (c != '\\') {
                t->text.push_back(c);
                continue;
            }
            if (p_ >= n_) break;
            char16_t e = s_[p_++];
            switch (e) {
                case 'n':
                    t->text.push_back('\n');
                    break;
                case 'r':
                    t->text.push_back('\r');
                    break;
                case 't':
                    t->text.push_back('\t');
                    break;
                case 'b':
                    t->text.push_back('\b');
                    break;
                case 'f':
                    t->text.push_back('\f');
                    break;
                case 'v':
                    t->text.push_back('\v');
                    break;
                case '0':
                    t->text.push_back(0);
                    break;
                case 'x':
                case 'u': {
                    int count = e == 'x' ? 2 : 4;
                    if (p_ + count > n_) {
                        error_ = "bad escape";
                        return false;
                    }
                    unsigned v = 0;
                    for (int i = 0; i < count; ++i) {
                        int h = HexVal(s_[p_ + i]);
                        if (h < 0) {
                            error_ = "bad escape";
                            return false;
                        }
                        v = v * 16 + h;
                    }
                    p_ += count;
                    t->text.push_back(static_cast<char16_t>(v));
                    break;
                }
                case '\r':
                    if (p_ < n_ && s_[p_] == '\n') ++p_;
                    NewLine(p_);
                    break;
                case '\n':
                case 0x2028:
                case 0x2029:
                    NewLine(p_);
                    break;
                default:
                    t->text.push_back(e);
                    break;
            }
        }
        error_ = "unterminated string";
        return false;
    }

    const char16_t* s_;
    std::uint32_t n_;
    std::uint32_t p_ = 0;
    std::uint32_t lineStart_ = 0;
};

// ---------------------------------------------------------------- syntax tree

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

// ---------------------------------------------------------------- parser

class Parser {
public:
    Parser(const char16_t* s, std::uint32_t n, std::uint32_t literalCount)
        : lex_(s, n), literals_(literalCount) {}

    std::vector<std::unique_ptr<Node>> arena;
    std::vector<FuncInfo> funcs;
    std::uint32_t errLine = 0, errCol = 0;
    std::string errText;

    bool ParseProgram() {
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

private:
    Node* New(NK k) {
        arena.push_back(std::make_unique<Node>());
        Node* n = arena.back().get();
        n->k = k;
        n->line = tok_.line;
        return n;
    }
    bool Fail(const char* what) {
        if (errText.empty()) {
            errLine = tok_.line;
            errCol = tok_.col;
            errText = what;
        }
        return false;
    }
    bool FailNear() {
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
    bool Advance() {
        if (!lex_.Next(&tok_)) {
            errLine = lex_.line_;
            errCol = 0;
            if (errText.empty()) errText = lex_.error_ ? lex_.error_ : "bad token";
            return false;
        }
        return true;
    }
    bool Is(Punct p) const { return tok_.type == T_PUNCT && tok_.punct == p; }
    bool IsKw(Kw k) const { return tok_.type == T_IDENT && tok_.vocab == k; }
    bool Expect(Punct p) {
        if (!Is(p)) return FailNear();
        return Advance();
    }
    struct Depth {
        Parser* p;
        bool ok;
        explicit Depth(Parser* q) : p(q) { ok = ++p->depth_ <= kMaxNesting; }
        ~Depth() { --p->depth_; }
    };
    void Semicolon() {
        // A statement also ends before any token that cannot continue it.
        if (Is(P_SEMI)) Advance();
    }
    bool IsKeywordName() const {
        return tok_.type == T_IDENT && tok_.vocab >= K_BREAK && tok_.vocab <= K_LITSTR;
    }

    Node* Statement() {
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
    Node* Block() {
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
    Node* VarList() {
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
    Node* FunctionDecl() {
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
    // After the name: parameters and body. Returns the function index.
    int FunctionRest(const U16& name) {
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
    Node* If() {
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
    Node* LoopBody() {
        ++loops_;
        ++breakable_;
        Node* b = Statement();
        --loops_;
        --breakable_;
        return b;
    }
    Node* While() {
        Node* n = New(S_WHILE);
        if (!Advance() || !Expect(P_LPAREN)) return nullptr;
        Node* c = Expression();
        if (!c || !Expect(P_RPAREN)) return nullptr;
        Node* b = LoopBody();
        if (!b) return nullptr;
        n->kids = {c, b};
        return n;
    }
    Node* DoWhile() {
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
    Node* For() {
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
    Node* Switch() {
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

    // ---- expressions
    Node* Expression() {
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
    static bool IsAssignOp(Punct p) {
        return p == P_ASSIGN || (p >= P_ADD_ASSIGN && p <= P_XOR_ASSIGN);
    }
    Node* Assign() {
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
    Node* Conditional() {
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
    static int Precedence(const Token& t) {
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
    Node* Binary(int minPrec) {
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
    Node* Unary() {
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
    bool Arguments(Node* call) {
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
    // A member expression with its suffixes; `new` takes a callee without call suffixes, so
    // that "new F(a)" passes (a) to the constructor.
    Node* LeftSide(bool calls = true) {
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
    Node* Suffixes(Node* e, bool calls) {
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
    Node* Primary() {
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
    Node* ArrayLiteral() {
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
    Node* ObjectLiteral() {
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

    Lexer lex_;
    Token tok_;
    std::uint32_t literals_;
    int cur_ = 0;
    int depth_ = 0;
    int loops_ = 0;
    int breakable_ = 0;
};

// ---------------------------------------------------------------- code generation

class Gen {
public:
    Gen(UnitData* unit, std::vector<FuncInfo>& funcs) : u_(unit), funcs_(funcs) {
        for (std::size_t i = 0; i < unit->strings.size(); ++i)
            strIndex_.emplace(unit->strings[i], i);
    }

    bool Run() {
        u_->funcs.assign(funcs_.size(), FuncProto());
        for (std::size_t i = 0; i < funcs_.size(); ++i) {
            if (!Function(static_cast<int>(i))) return false;
        }
        return true;
    }
    const char* error = nullptr;

private:
    struct Loop {
        std::vector<std::uint32_t> breaks, continues;
        bool isSwitch;
    };

    bool Function(int index) {
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

    // ---- emission
    void Emit(std::uint8_t op) { code_->push_back(op); }
    void Put32(std::uint32_t v) {
        for (int i = 0; i < 4; ++i) code_->push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
    void EmitU32(std::uint8_t op, std::uint32_t v) {
        Emit(op);
        Put32(v);
    }
    void EmitU16(std::uint8_t op, std::uint32_t v) {
        Emit(op);
        code_->push_back(static_cast<std::uint8_t>(v));
        code_->push_back(static_cast<std::uint8_t>(v >> 8));
    }
    void EmitNameFlag(std::uint8_t op, std::uint32_t name, std::uint8_t flag) {
        EmitU32(op, name);
        code_->push_back(flag);
    }
    void EmitArgc(std::uint8_t op, std::size_t argc) {
        Emit(op);
        code_->push_back(static_cast<std::uint8_t>(argc));
    }
    std::uint32_t Here() const { return static_cast<std::uint32_t>(code_->size()); }
    std::uint32_t Jump(std::uint8_t op) {
        EmitU32(op, 0);
        return Here() - 4;
    }
    void Patch(std::uint32_t at, std::uint32_t target) {
        for (int i = 0; i < 4; ++i) (*code_)[at + i] = static_cast<std::uint8_t>(target >> (8 * i));
    }
    void Line(std::uint32_t line) {
        if (line == lastLine_) return;
        lastLine_ = line;
        if (!fp_->lines.empty() && fp_->lines.back().first == Here()) {
            fp_->lines.back().second = line;
        } else {
            fp_->lines.emplace_back(Here(), line);
        }
    }
    std::uint32_t Name(const U16& n) {
        auto it = nameIndex_.find(n);
        if (it != nameIndex_.end()) return it->second;
        std::uint32_t i = static_cast<std::uint32_t>(u_->names.size());
        u_->names.push_back(n);
        nameIndex_.emplace(n, i);
        return i;
    }
    std::uint32_t Str(const U16& s) {
        auto it = strIndex_.find(s);
        if (it != strIndex_.end()) return static_cast<std::uint32_t>(it->second);
        std::uint32_t i = static_cast<std::uint32_t>(u_->strings.size());
        u_->strings.push_back(s);
        strIndex_.emplace(s, i);
        return i;
    }
    void Number(double d) {
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

    // ---- variables
    enum VarKind { V_LOCAL, V_ENV, V_NAME };
    VarKind Lookup(const U16& n, std::uint32_t* depth, std::uint32_t* slot) {
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
    void LoadName(const U16& n, bool cont) {
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
    void StoreName(const U16& n) {
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

    // ---- statements
    bool Stmt(Node* s) {
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
    void EndLoop(std::uint32_t breakTo, std::uint32_t continueTo) {
        Loop l = std::move(loops_.back());
        loops_.pop_back();
        for (std::uint32_t at : l.breaks) Patch(at, breakTo);
        for (std::uint32_t at : l.continues) Patch(at, continueTo);
    }

    // ---- expressions
    static std::uint8_t BinaryOp(std::uint8_t p) {
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
    // Pushes the base of a member path; `cont` lets a host keep its path state.
    bool Base(Node* e) {
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
    bool Expr(Node* e) {
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
    bool Call(Node* e) {
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
    bool Unary(Node* e) {
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
    bool Update(Node* e) {
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
    static bool Mentions(Node* e, const U16& name) {
        if (!e) return false;
        if (e->k == N_IDENT && e->str == name) return true;
        if (e->k == N_FUNC) return false;  // locals of this kind are never captured
        for (Node* k : e->kids) {
            if (Mentions(k, name)) return true;
        }
        return false;
    }
    bool Assign(Node* e) {
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

}  // namespace

CompileResult CompileUnit(const char16_t* text, std::uint32_t length, UnitData* unit) {
    CompileResult r;
    Parser p(text ? text : u"", text ? length : 0,
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
    Gen g(&out, p.funcs);
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

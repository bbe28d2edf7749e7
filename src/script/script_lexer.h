// Tokens of the script language and the lexer that reads them from source text: punctuators
// (longest first), keyword ids of the vocabulary, numbers, strings and names.
#pragma once

#include <cstdint>

#include "script/script_internal.h"

namespace scr::compiler {

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
inline constexpr PunctText kPuncts[] = {
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

class Lexer {
public:
    Lexer(const char16_t* s, std::uint32_t n) : s_(s), n_(n) {}

    // false with error set on a bad token
    bool Next(Token* t);

    const char* error_ = nullptr;
    std::uint32_t line_ = 1;

private:
    void NewLine(std::uint32_t next);
    bool AtLineStartSoFar();
    void SkipLine();
    bool SkipSpace(bool* nl);
    bool Number(Token* t);
    bool String(Token* t, char16_t q);

    const char16_t* s_;
    std::uint32_t n_;
    std::uint32_t p_ = 0;
    std::uint32_t lineStart_ = 0;
};

}  // namespace scr::compiler

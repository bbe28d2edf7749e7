#include "script/script_lexer.h"

#include <cstdlib>
#include <cstring>

#include "script/script_names.h"

namespace scr::compiler {
namespace {

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

}  // namespace

bool Lexer::Next(Token* t) {
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

void Lexer::NewLine(std::uint32_t next) {
    ++line_;
    lineStart_ = next;
}

bool Lexer::AtLineStartSoFar() {
    for (std::uint32_t i = lineStart_; i < p_; ++i) {
        char16_t c = s_[i];
        if (c != ' ' && c != '\t') return false;
    }
    return true;
}

void Lexer::SkipLine() {
    while (p_ < n_ && s_[p_] != '\n' && s_[p_] != '\r' && s_[p_] != 0x2028 && s_[p_] != 0x2029)
        ++p_;
}

bool Lexer::SkipSpace(bool* nl) {
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
        } else if (c == ' ' || c == '\t' || c == 0x0B || c == 0x0C || c == 0xA0 || c == 0xFEFF) {
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

bool Lexer::Number(Token* t) {
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

bool Lexer::String(Token* t, char16_t q) {
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
}  // namespace scr::compiler

#include "database/sql_parser.h"

#include <new>

namespace {

char16_t Fold(char16_t c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char16_t>(c + 32) : c;
}

enum class Tok : uint8_t {
    kEnd,
    kIdent,
    kString,
    kNumber,
    kStar,
    kComma,
    kDot,
    kOpen,
    kClose,
    kSemicolon,
    kCmp,
    kBad,
};

struct Token {
    Tok kind = Tok::kEnd;
    uint32_t pos = 0;
    String text;  // identifier or string value
    uint32_t number = 0;
    SqlNode::Cmp cmp = SqlNode::kEq;
    bool numberOverflow = false;
};

class Parser {
public:
    Parser(const String& text, SqlQuery& q, SqlError& e) : s_(text), q_(q), e_(e) { Advance(); }

    int Run();

private:
    // Lexing.
    void Advance();
    bool IsKeyword(const char* word) const;
    bool Accept(const char* word) {
        if (!IsKeyword(word)) return false;
        Advance();
        return true;
    }
    bool IsAnyKeyword() const;

    // Errors: the first one sticks.
    int Fail(int code, uint32_t pos, const std::string& what) {
        if (e_.code == 0) {
            e_.code = code;
            e_.position = pos;
            e_.message = (code == SqlParser::kName ? "Unknown name at position "
                                                   : "Syntax error at position ") +
                         std::to_string(pos) + ": " + what;
        }
        return code;
    }
    int Expected(const char* what) {
        return Fail(SqlParser::kSyntax, tok_.pos, std::string("expected ") + what);
    }

    int ParseFrom();
    int ParseCond(int32_t& node);
    int ParseTerm(int32_t& node);
    int ParseFactor(int32_t& node, int depth);
    int ParsePred(int32_t& node);
    int ParseOperand(SqlOperand& out);
    int32_t FindAlias(const String& name) const;
    bool FieldName(const String& name, SqlOperand& out) const;
    int32_t DefaultTable() const;
    int32_t AddNode(SqlNode&& n) {
        try {
            q_.nodes.push_back(std::move(n));
        } catch (const std::bad_alloc&) {
            return -1;
        }
        return static_cast<int32_t>(q_.nodes.size()) - 1;
    }

    const String& s_;
    SqlQuery& q_;
    SqlError& e_;
    int32_t i_ = 0;
    Token tok_;
    int depth_ = 0;
};

void Parser::Advance() {
    const int32_t n = s_.Length();
    while (i_ < n && (s_[i_] == ' ' || s_[i_] == '\t' || s_[i_] == '\r' || s_[i_] == '\n')) ++i_;
    tok_ = Token();
    tok_.pos = static_cast<uint32_t>(i_);
    if (i_ >= n) return;
    char16_t c = s_[i_];
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_') {
        int32_t start = i_;
        while (i_ < n && ((s_[i_] >= 'A' && s_[i_] <= 'Z') || (s_[i_] >= 'a' && s_[i_] <= 'z') ||
                          (s_[i_] >= '0' && s_[i_] <= '9') || s_[i_] == '_'))
            ++i_;
        tok_.kind = Tok::kIdent;
        tok_.text.AssignSub(s_, start, i_ - start);
        return;
    }
    if (c >= '0' && c <= '9') {
        uint64_t v = 0;
        while (i_ < n && s_[i_] >= '0' && s_[i_] <= '9') {
            v = v * 10 + (s_[i_] - '0');
            if (v > 0xFFFFFFFFu) tok_.numberOverflow = true, v = 0xFFFFFFFFu;
            ++i_;
        }
        tok_.kind = Tok::kNumber;
        tok_.number = static_cast<uint32_t>(v);
        return;
    }
    if (c == '\'') {
        ++i_;
        while (true) {
            if (i_ >= n) {
                tok_.kind = Tok::kBad;  // unterminated string
                return;
            }
            if (s_[i_] == '\'') {
                if (i_ + 1 < n && s_[i_ + 1] == '\'') {
                    tok_.text.AppendChar('\'');
                    i_ += 2;
                    continue;
                }
                ++i_;
                break;
            }
            tok_.text.AppendChar(s_[i_++]);
        }
        tok_.kind = Tok::kString;
        return;
    }
    ++i_;
    char16_t d = i_ < n ? s_[i_] : 0;
    switch (c) {
        case '*':
            tok_.kind = Tok::kStar;
            return;
        case ',':
            tok_.kind = Tok::kComma;
            return;
        case '.':
            tok_.kind = Tok::kDot;
            return;
        case '(':
            tok_.kind = Tok::kOpen;
            return;
        case ')':
            tok_.kind = Tok::kClose;
            return;
        case ';':
            tok_.kind = Tok::kSemicolon;
            return;
        case '=':
            tok_.kind = Tok::kCmp;
            tok_.cmp = SqlNode::kEq;
            return;
        case '!':
            if (d == '=') {
                ++i_;
                tok_.kind = Tok::kCmp;
                tok_.cmp = SqlNode::kNe;
                return;
            }
            break;
        case '<':
            tok_.kind = Tok::kCmp;
            tok_.cmp = SqlNode::kLt;
            if (d == '>')
                tok_.cmp = SqlNode::kNe, ++i_;
            else if (d == '=')
                tok_.cmp = SqlNode::kLe, ++i_;
            return;
        case '>':
            tok_.kind = Tok::kCmp;
            tok_.cmp = SqlNode::kGt;
            if (d == '=') tok_.cmp = SqlNode::kGe, ++i_;
            return;
        default:
            break;
    }
    tok_.kind = Tok::kBad;
}

bool Parser::IsKeyword(const char* word) const {
    if (tok_.kind != Tok::kIdent) return false;
    int32_t len = tok_.text.Length();
    int32_t k = 0;
    for (; word[k]; ++k)
        if (k >= len || Fold(tok_.text[k]) != static_cast<char16_t>(word[k])) return false;
    return k == len;
}

bool Parser::IsAnyKeyword() const {
    static const char* const kWords[] = {"select", "from", "as",   "where",       "and",
                                         "or",     "not",  "like", "__fvt_bwhere"};
    for (const char* w : kWords)
        if (IsKeyword(w)) return true;
    return false;
}

int32_t Parser::FindAlias(const String& name) const {
    for (size_t t = 0; t < q_.from.size(); ++t)
        if (!q_.from[t].alias.IsEmpty() && q_.from[t].alias == name) return static_cast<int32_t>(t);
    return -1;
}

int32_t Parser::DefaultTable() const {
    return q_.from.size() == 1 ? 0 : q_.ResultTable();
}

bool Parser::FieldName(const String& name, SqlOperand& out) const {
    auto is = [&](const char* w) {
        int32_t k = 0;
        for (; w[k]; ++k)
            if (k >= name.Length() || Fold(name[k]) != static_cast<char16_t>(w[k])) return false;
        return k == name.Length();
    };
    out.kind = SqlOperand::kField;
    if (is("orth")) {
        out.field = SqlOperand::kKey;
        return true;
    }
    if (is("ent")) {
        out.field = SqlOperand::kEnt;
        return true;
    }
    if (is("formatted")) {
        out.field = SqlOperand::kFormatted;
        return true;
    }
    if (name.Length() > 3 && Fold(name[0]) == 't' && Fold(name[1]) == 'a' && Fold(name[2]) == 'g') {
        String digits;
        digits.AssignSub(name, 3, -1);
        uint32_t tag = 0;
        if (digits.ParseUnsigned(10, tag) && tag <= 255) {
            out.field = SqlOperand::kTag;
            out.tag = tag;
            return true;
        }
    }
    return false;
}

int Parser::ParseFrom() {
    while (true) {
        SqlTableRef ref;
        uint32_t pos = tok_.pos;
        ref.position = pos;
        String text;
        if (tok_.kind == Tok::kString) {
            text = tok_.text;
        } else if (tok_.kind == Tok::kIdent && !IsAnyKeyword()) {
            text = tok_.text;
        } else {
            return Expected("a table");
        }
        Advance();
        if (text.IsEmpty()) return Fail(SqlParser::kName, pos, "empty table name");
        if (text[0] == '$') {
            ref.designation.AssignSub(text, 1, -1);
        } else if (text.CompareN(u"table=", 6, true) == 0 ||
                   text.CompareN(u"key_table", 9, true) == 0 ||
                   text.CompareN(u"tableid=", 8, true) == 0 ||
                   text.CompareN(u"special_table=", 14, true) == 0) {
            ref.designation = text;
        } else {
            ref.designation.AppendAscii("table=");
            ref.designation.Append(text);
        }
        if (ref.designation.IsEmpty()) return Fail(SqlParser::kName, pos, "empty table name");
        bool as = Accept("as");
        if (tok_.kind == Tok::kIdent && !IsAnyKeyword()) {
            uint32_t apos = tok_.pos;
            if (FindAlias(tok_.text) >= 0) return Fail(SqlParser::kSyntax, apos, "duplicate alias");
            ref.alias = tok_.text;
            Advance();
        } else if (as) {
            return Expected("an alias after AS");
        }
        try {
            q_.from.push_back(std::move(ref));
        } catch (const std::bad_alloc&) {
            return SqlParser::kOutOfMemory;
        }
        if (tok_.kind != Tok::kComma) return 0;
        Advance();
    }
}

int Parser::ParseOperand(SqlOperand& out) {
    if (tok_.kind == Tok::kString) {
        out.kind = SqlOperand::kString;
        out.text = tok_.text;
        Advance();
        return 0;
    }
    if (tok_.kind == Tok::kNumber) {
        if (tok_.numberOverflow) return Fail(SqlParser::kSyntax, tok_.pos, "number too large");
        out.kind = SqlOperand::kNumber;
        out.number = tok_.number;
        out.text.AppendUnsigned(tok_.number, 10);
        Advance();
        return 0;
    }
    if (tok_.kind != Tok::kIdent || IsAnyKeyword()) return Expected("a field, string or number");
    uint32_t pos = tok_.pos;
    String name = tok_.text;
    Advance();
    if (tok_.kind == Tok::kDot) {
        Advance();
        int32_t table = FindAlias(name);
        if (table < 0) return Fail(SqlParser::kName, pos, "unknown table alias");
        if (tok_.kind != Tok::kIdent) return Expected("a field name");
        uint32_t fpos = tok_.pos;
        if (!FieldName(tok_.text, out)) return Fail(SqlParser::kName, fpos, "unknown field");
        out.table = table;
        Advance();
        return 0;
    }
    int32_t table = FindAlias(name);
    if (table >= 0) {
        out.kind = SqlOperand::kField;
        out.field = SqlOperand::kKey;
        out.table = table;
        return 0;
    }
    if (!FieldName(name, out)) return Fail(SqlParser::kName, pos, "unknown field");
    out.table = DefaultTable();
    return 0;
}

int Parser::ParsePred(int32_t& node) {
    SqlNode n;
    int rc = ParseOperand(n.a);
    if (rc) return rc;
    if (tok_.kind == Tok::kCmp) {
        n.op = SqlNode::kCompare;
        n.cmp = tok_.cmp;
        Advance();
        rc = ParseOperand(n.b);
        if (rc) return rc;
    } else {
        if (Accept("not")) n.negated = true;
        if (!Accept("like")) return Expected(n.negated ? "LIKE" : "a comparison or LIKE");
        if (tok_.kind != Tok::kString) return Expected("a quoted pattern");
        n.op = SqlNode::kLike;
        n.b.kind = SqlOperand::kString;
        n.b.text = tok_.text;
        Advance();
    }
    node = AddNode(std::move(n));
    return node < 0 ? SqlParser::kOutOfMemory : 0;
}

int Parser::ParseFactor(int32_t& node, int depth) {
    // Deep nesting is refused rather than run off the stack.
    if (depth > 200) return Fail(SqlParser::kSyntax, tok_.pos, "too deeply nested");
    if (Accept("not")) {
        int32_t inner = -1;
        int rc = ParseFactor(inner, depth + 1);
        if (rc) return rc;
        SqlNode n;
        n.op = SqlNode::kNot;
        n.left = inner;
        node = AddNode(std::move(n));
        return node < 0 ? SqlParser::kOutOfMemory : 0;
    }
    if (tok_.kind == Tok::kOpen) {
        Advance();
        ++depth_;
        if (depth_ > 200) return Fail(SqlParser::kSyntax, tok_.pos, "too deeply nested");
        int rc = ParseCond(node);
        --depth_;
        if (rc) return rc;
        if (tok_.kind != Tok::kClose) return Expected("')'");
        Advance();
        return 0;
    }
    return ParsePred(node);
}

int Parser::ParseTerm(int32_t& node) {
    int rc = ParseFactor(node, 0);
    while (!rc && IsKeyword("and")) {
        Advance();
        int32_t right = -1;
        rc = ParseFactor(right, 0);
        if (rc) return rc;
        SqlNode n;
        n.op = SqlNode::kAnd;
        n.left = node;
        n.right = right;
        node = AddNode(std::move(n));
        if (node < 0) return SqlParser::kOutOfMemory;
    }
    return rc;
}

int Parser::ParseCond(int32_t& node) {
    int rc = ParseTerm(node);
    while (!rc && IsKeyword("or")) {
        Advance();
        int32_t right = -1;
        rc = ParseTerm(right);
        if (rc) return rc;
        SqlNode n;
        n.op = SqlNode::kOr;
        n.left = node;
        n.right = right;
        node = AddNode(std::move(n));
        if (node < 0) return SqlParser::kOutOfMemory;
    }
    return rc;
}

int Parser::Run() {
    if (!Accept("select")) return Expected("SELECT");
    std::vector<std::pair<String, uint32_t>> names;
    if (tok_.kind == Tok::kStar) {
        Advance();
    } else {
        while (true) {
            if (tok_.kind != Tok::kIdent || IsAnyKeyword()) return Expected("'*' or an alias");
            names.emplace_back(tok_.text, tok_.pos);
            Advance();
            if (tok_.kind != Tok::kComma) break;
            Advance();
        }
    }
    if (!Accept("from")) return Expected("FROM");
    int rc = ParseFrom();
    if (rc) return rc;
    for (auto& [name, pos] : names) {
        int32_t t = FindAlias(name);
        if (t < 0) return Fail(SqlParser::kName, pos, "unknown table alias");
        q_.select.push_back(t);
    }
    if (IsKeyword("where") || IsKeyword("and")) {
        Advance();
        rc = ParseCond(q_.where);
        if (rc) return rc;
    }
    if (IsKeyword("__fvt_bwhere")) {
        Advance();
        int32_t cond = -1;
        rc = ParseCond(cond);
        if (rc) return rc;
        SqlNode n;
        n.op = SqlNode::kBrowse;
        n.left = cond;
        q_.browse = AddNode(std::move(n));
        if (q_.browse < 0) return SqlParser::kOutOfMemory;
        q_.hasBrowsePart = true;
    }
    if (tok_.kind == Tok::kSemicolon) Advance();
    if (tok_.kind != Tok::kEnd) {
        if (tok_.kind == Tok::kBad) return Fail(SqlParser::kSyntax, tok_.pos, "bad character");
        return Expected("the end of the query");
    }
    return 0;
}

}  // namespace

// Both walk with their own stack: a long AND chain is as deep as it is long.
void SqlQuery::Conjuncts(int32_t node, std::vector<int32_t>& out) const {
    std::vector<int32_t> stack;
    if (node >= 0) stack.push_back(node);
    while (!stack.empty()) {
        int32_t n = stack.back();
        stack.pop_back();
        if (nodes[n].op == SqlNode::kAnd) {
            stack.push_back(nodes[n].right);
            stack.push_back(nodes[n].left);
        } else {
            out.push_back(n);
        }
    }
}

uint32_t SqlQuery::TablesUsed(int32_t node) const {
    uint32_t bits = 0;
    std::vector<int32_t> stack;
    if (node >= 0) stack.push_back(node);
    while (!stack.empty()) {
        const SqlNode& n = nodes[stack.back()];
        stack.pop_back();
        if (n.left >= 0) stack.push_back(n.left);
        if (n.right >= 0) stack.push_back(n.right);
        for (const SqlOperand* o : {&n.a, &n.b})
            if (o->kind == SqlOperand::kField && o->table >= 0)
                bits |= 1u << (o->table < 31 ? o->table : 31);
    }
    return bits;
}

int SqlParser::ParseText(const String& text, SqlQuery& out, SqlError* error) {
    SqlQuery q;
    SqlError e;
    int rc = 0;
    try {
        Parser p(text, q, e);
        rc = p.Run();
    } catch (const std::bad_alloc&) {
        rc = kOutOfMemory;
    }
    if (rc && e.code == 0) {
        e.code = rc;
        e.message = "Out of memory";
    }
    if (error) *error = e;
    if (rc) return rc;
    out = std::move(q);
    return 0;
}

// ---------------------------------------------------------------- SqlMatch

bool SqlMatch::Like(const char16_t* text, int32_t length, const String& pattern) {
    // Greedy matching with one backtrack point for the last '%': linear in practice, never
    // exponential.
    const char16_t* p = pattern.Data();
    int32_t pl = pattern.Length();
    int32_t t = 0, k = 0, starK = -1, starT = 0;
    while (t < length) {
        if (k < pl && p[k] == '%') {
            starK = k++;
            starT = t;
        } else if (k < pl && (p[k] == '_' || Fold(p[k]) == Fold(text[t]))) {
            ++k;
            ++t;
        } else if (starK >= 0) {
            k = starK + 1;
            t = ++starT;
        } else {
            return false;
        }
    }
    while (k < pl && p[k] == '%') ++k;
    return k == pl;
}

int SqlMatch::Compare(const char16_t* a, int32_t aLength, const char16_t* b, int32_t bLength) {
    int32_t n = aLength < bLength ? aLength : bLength;
    for (int32_t i = 0; i < n; ++i) {
        char16_t x = Fold(a[i]), y = Fold(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    return aLength == bLength ? 0 : (aLength < bLength ? -1 : 1);
}

int32_t SqlMatch::LiteralPrefixLength(const String& pattern) {
    int32_t i = 0;
    while (i < pattern.Length() && pattern[i] != '%' && pattern[i] != '_') ++i;
    return i;
}

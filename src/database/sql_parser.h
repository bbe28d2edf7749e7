// The query language over book index tables.
//
// Grammar (keywords in any case; blanks are space, TAB, CR and LF):
//
//   query   := SELECT sel FROM from [WHERE cond | AND cond] [BWHERE cond] [';']
//   sel     := '*' | alias {',' alias}
//   from    := tref [[AS] alias] {',' tref [[AS] alias]}
//   tref    := string | ident
//   cond    := term {OR term}
//   term    := factor {AND factor}
//   factor  := NOT factor | '(' cond ')' | pred
//   pred    := opnd cmp opnd | opnd [NOT] LIKE string
//   cmp     := '=' | '<>' | '!=' | '<' | '<=' | '>' | '>='
//   opnd    := field | string | number
//   field   := alias | [alias '.'] ('orth' | 'ent' | 'formatted' | 'tag' digits)
//   BWHERE  := '__fvt_bwhere'
//   string  := "'" {char | "''"} "'"
//   number  := digits
//   ident   := [A-Za-z_][A-Za-z0-9_]*
//
// "AND cond" straight after the FROM list reads as WHERE, so that a refinement appended to a
// query without WHERE still works. A table reference beginning with '$' designates the text
// after it; one beginning with "table=", "key_table", "tableid=" or "special_table=" is that
// designation; any other text or name means "table=" + text. With one table and no alias,
// unqualified fields name it; with several, unqualified fields name the result table (the first
// selected alias, or the last table for '*').
//
// Results: 0 done, 1 out of memory, 19 syntax error (a duplicate alias too), 20 a name that
// does not resolve. Errors carry the character position where they were found.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/string.h"

struct SqlOperand {
    enum Kind : uint8_t { kField, kString, kNumber };
    // Fields: the key (an alias alone, or orth), the entry number, the headword, a tag's values.
    enum Field : uint8_t { kKey, kEnt, kFormatted, kTag };
    Kind kind = kString;
    Field field = kKey;
    int32_t table = -1;  // FROM index of a field
    uint32_t tag = 0;
    uint32_t number = 0;
    String text;
};

struct SqlNode {
    // Operator kinds as the plan records them: 0 AND, 1 OR, 2 the browse condition, 4 NOT;
    // predicates are 10 (comparison) and 11 (LIKE).
    enum Op : uint8_t { kAnd = 0, kOr = 1, kBrowse = 2, kNot = 4, kCompare = 10, kLike = 11 };
    enum Cmp : uint8_t { kEq, kNe, kLt, kLe, kGt, kGe };
    Op op = kCompare;
    Cmp cmp = kEq;
    bool negated = false;  // NOT LIKE
    int32_t left = -1;     // child nodes of AND, OR, NOT
    int32_t right = -1;
    SqlOperand a, b;  // predicate operands (b.text is the LIKE pattern)
};

struct SqlTableRef {
    String designation;
    String alias;           // empty when none
    uint32_t position = 0;  // where the reference starts in the text
};

struct SqlQuery {
    std::vector<SqlTableRef> from;
    std::vector<int32_t> select;  // FROM indexes; empty for '*'
    std::vector<SqlNode> nodes;
    int32_t where = -1;
    int32_t browse = -1;
    bool hasBrowsePart = false;

    // The FROM index of the result table.
    int32_t ResultTable() const {
        if (from.empty()) return -1;
        return select.empty() ? static_cast<int32_t>(from.size()) - 1 : select[0];
    }
    // Top-level conjuncts of a condition (the node itself when it is not an AND).
    void Conjuncts(int32_t node, std::vector<int32_t>& out) const;
    // The FROM indexes a condition reads, as bits (tables past 31 share the last bit).
    uint32_t TablesUsed(int32_t node) const;
};

struct SqlError {
    int code = 0;
    uint32_t position = 0;
    std::string message;
};

class IndexQuery;
class IndexSourceResolver;
class Resource;

class SqlParser {
public:
    enum : int { kOk = 0, kOutOfMemory = 1, kSyntax = 19, kName = 20 };

    // A compiler over the index tables of a resource (the book, or a page's owner): each
    // designation is opened with the resource's OpenDataByName and must give an index table.
    explicit SqlParser(Resource* resource) : resource_(resource) {}
    // The same over any resolver of designations.
    explicit SqlParser(IndexSourceResolver* tables) : tables_(tables) {}
    void Destroy() {}
    // Compiles into the query; on failure the query is left as it was.
    int Compile(const String& text, IndexQuery& into);
    // A new query (a reference the caller owns); out is untouched on failure.
    static int Parse(const String& text, Resource* resource, IndexQuery*& out);
    static int Parse(const String& text, IndexSourceResolver* tables, IndexQuery*& out);
    const SqlError& LastError() const { return error_; }

    // The text alone: fills out on success, else describes the error (out is then unchanged).
    static int ParseText(const String& text, SqlQuery& out, SqlError* error);

private:
    static int ParseWith(SqlParser& parser, const String& text, IndexQuery*& out);

    IndexSourceResolver* tables_ = nullptr;
    Resource* resource_ = nullptr;
    SqlError error_;
};

// Text matching of the language: LIKE with '_' (one character) and '%' (any run), and ordering
// by code unit; both fold ASCII letters.
namespace SqlMatch {
bool Like(const char16_t* text, int32_t length, const String& pattern);
int Compare(const char16_t* a, int32_t aLength, const char16_t* b, int32_t bLength);
inline bool Like(const String& text, const String& pattern) {
    return Like(text.Data(), text.Length(), pattern);
}
// The literal start of a LIKE pattern (before its first wildcard).
int32_t LiteralPrefixLength(const String& pattern);
}  // namespace SqlMatch

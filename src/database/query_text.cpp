#include "database/query_text.h"

namespace {

// The place of a keyword outside quoted literals (ASCII case folded), or -1.
int32_t FindKeyword(const String& q, const char* word) {
    int32_t n = 0;
    while (word[n]) ++n;
    bool quoted = false;
    for (int32_t i = 0; i + n <= q.Length(); ++i) {
        if (q[i] == '\'') quoted = !quoted;
        if (quoted) continue;
        bool hit = true;
        for (int32_t k = 0; k < n && hit; ++k) {
            char16_t c = q[i + k];
            if (c >= 'A' && c <= 'Z') c = static_cast<char16_t>(c + 32);
            hit = c == static_cast<char16_t>(word[k]);
        }
        if (!hit) continue;
        auto isWord = [](char16_t c) {
            return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                   c == '_';
        };
        bool before = i == 0 || !isWord(q[i - 1]);
        bool after = i + n == q.Length() || !isWord(q[i + n]);
        if (before && after) return i;
    }
    return -1;
}

}  // namespace

bool QueryText::AppendQuoted(String& out, const String& word) {
    bool ok = out.AppendChar('\'');
    for (int32_t i = 0; ok && i < word.Length(); ++i) {
        if (word[i] == '\'') ok = out.AppendChar('\'');
        ok = ok && out.AppendChar(word[i]);
    }
    return ok && out.AppendChar('\'');
}

bool QueryText::MakeDictLink(const String& database, const String& table, String& out) {
    out.Release();
    return out.AppendAscii("oeb:redirect?title=") && out.Append(database) &&
           out.AppendAscii("$table=") && out.Append(table);
}

bool QueryText::Refine(const String& query, const String& word, String& out) {
    out.Release();
    int32_t browse = FindKeyword(query, "__fvt_bwhere");
    String head, tail;
    if (browse < 0) {
        head.Assign(query);
    } else {
        head.AssignSub(query, 0, browse);
        tail.AssignSub(query, browse, -1);
    }
    head.Trim(false, true);
    bool hasWhere = FindKeyword(head, "where") >= 0;
    bool ok = out.Append(head) &&
              out.AppendAscii(hasWhere ? " AND orth LIKE " : " WHERE orth LIKE ") &&
              AppendQuoted(out, word);
    if (ok && !tail.IsEmpty()) ok = out.AppendChar(' ') && out.Append(tail);
    return ok;
}

bool QueryText::AddBrowsePart(const String& query, const String& condition, bool markAll,
                              String& out) {
    out.Release();
    bool ok = out.Append(query);
    if (!condition.IsEmpty())
        return ok && out.AppendAscii(" __fvt_bwhere ") && out.Append(condition);
    if (markAll) return ok && out.AppendAscii(" __fvt_bwhere 1=1");
    return ok;
}

bool QueryText::MakeWildcardLookup(uint32_t table, const String& word, String& out) {
    String w;
    for (int32_t i = 0; i < word.Length(); ++i) {
        char16_t c = word[i];
        if (c == '?' || c == 0xFF1F) c = '_';
        if (c == '*' || c == 0xFF0A) c = '%';
        if (!w.AppendChar(c)) return false;
    }
    out.Release();
    return out.AppendAscii("SELECT * FROM '$tableid=") && out.AppendUnsigned(table, 10) &&
           out.AppendAscii("' AS tab WHERE tab LIKE ") && AppendQuoted(out, w);
}

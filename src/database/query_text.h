// Query and link texts the reader builds: the word list's dictionary link, refining a shown
// query, the marking query of a bullet search, and the wildcard lookup.
#pragma once

#include "core/string.h"

namespace QueryText {
// "oeb:redirect?title=" + database + "$table=" + table: the '$' form that the word list reads
// back (an '&' would name an ignored parameter and open the default table).
bool MakeDictLink(const String& database, const String& table, String& out);
// Adds "orth LIKE 'word'" to a query: before its browse part, joined with AND when it has a
// WHERE and with WHERE when not, so that the refinement filters instead of changing the marks.
bool Refine(const String& query, const String& word, String& out);
// query + " __fvt_bwhere " + condition; with an empty condition and markAll, the always-true
// condition, so that every row keeps its mark.
bool AddBrowsePart(const String& query, const String& condition, bool markAll, String& out);
// "SELECT * FROM '$tableid=N' AS tab WHERE tab LIKE 'w'" with quotes doubled, '?' and U+FF1F
// as '_', '*' and U+FF0A as '%'.
bool MakeWildcardLookup(uint32_t table, const String& word, String& out);
// Appends the word as a quoted literal ('' for each quote).
bool AppendQuoted(String& out, const String& word);
}  // namespace QueryText

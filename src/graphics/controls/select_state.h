// The saved-state text of a select list (and of an index-bound field standing for one): a kind
// letter, 'I' for a list fed by a query or 'N' for a list of options, the index in decimal, ';',
// and the text (the query, or the chosen option's value). "N2;abc" selects option 2.
#pragma once

#include <cstdint>

#include "core/string.h"

namespace SelectState {
constexpr char16_t kQueryKind = u'I';
constexpr char16_t kOptionKind = u'N';

// Negative indexes (before the first and after the last row) are written as 0.
bool Format(char16_t kind, int32_t index, const String& text, String& out);
// False, with the outputs untouched, for a text whose kind is neither letter, whose index is
// missing, negative or too large, or that has no ';'.
bool Parse(const String& state, char16_t& kind, uint32_t& index, String& text);
}  // namespace SelectState

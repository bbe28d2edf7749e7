// What the look-up pop-ups say when no dictionary qualifies for a word or nothing matched.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "core/string.h"
#include "reader/lookup.h"

class TextBox;
class TextPopup;

namespace Lookup {

// The pop-up for a word no dictionary qualifies for: the purchase hint (a translation dictionary
// for command 46), or only "No matching entry" when quiet. False once the box is full.
bool FillNoDictionary(TextPopup& popup, std::uint32_t command, bool quiet);
// The caption above the manual-search links of a look-up that matched nothing; "choose" asks
// the user to pick one of several dictionaries.
bool FillNoMatch(TextPopup& popup, bool quiet, bool choose);

// The results pop-up of a word matched in several dictionaries: a caption, then one line per
// dictionary with matches, its title (with the count unless compact) linked to its matches.
// `reference` names a dictionary for its link: the encoded path, or the database name when
// compact. False once the box is full.
bool FillResultsPopup(TextBox& box, const String& word, const std::vector<LookupEntry>& entries,
                      const std::vector<LookupMatch>& matches,
                      const std::function<String(std::uint32_t dictionary)>& reference,
                      bool compact);

}  // namespace Lookup

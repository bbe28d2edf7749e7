// What the look-up pop-ups say when no dictionary qualifies for a word or nothing matched.
#pragma once

#include <cstdint>

class TextPopup;

namespace Lookup {

// The pop-up for a word no dictionary qualifies for: the purchase hint (a translation dictionary
// for command 46), or only "No matching entry" when quiet. False once the box is full.
bool FillNoDictionary(TextPopup& popup, std::uint32_t command, bool quiet);
// The caption above the manual-search links of a look-up that matched nothing; "choose" asks
// the user to pick one of several dictionaries.
bool FillNoMatch(TextPopup& popup, bool quiet, bool choose);

}  // namespace Lookup

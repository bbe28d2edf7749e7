// The text rules of a record-set view: search-text comparison and wildcards, type-ahead editing,
// the header title built from its template, the commands the view refuses, and the display
// codes of bullet searches.
#pragma once

#include <cstdint>
#include <vector>

#include "core/string.h"

namespace DatabaseViewText {

// Flags word bits of the view.
constexpr uint32_t kWildcardQuery = 0x8;
constexpr uint32_t kExactKey = 0x10;
constexpr uint32_t kInputModes = 0xF0000;

bool IsWildcard(char16_t c);
// Position of the first wildcard, or -1.
int32_t FindWildcard(const String& text);
// Empty, or starting with a wildcard: rows may stay blank until the user types more.
bool IsBlankSearch(const String& text);

// Skips A-Z, a-z and U+314F-U+3163 in both texts and compares what remains.
bool LetterBlindEqual(const String& a, const String& b);
// The comparison the flags' input mode selects: letter-blind in 0x10000, 0x20000 and 0x50000,
// otherwise equality ignoring case.
bool SameSearchText(const String& a, const String& b, uint32_t flags);

// Enter's exact-key strategy is skipped for a text of spaces, digits and a-z only.
bool SkipsExactKey(const String& text);

// Type-ahead: the text grows by one character per key, event 19 removes the last one; once the
// quiet time has passed (Expire) the next character starts a new text.
class TypeAhead {
public:
    static constexpr uint32_t kQuietMs = 1500;
    static constexpr int32_t kBackspaceEvent = 19;

    // Edits current into out for the event; false when there is nothing to do (backspace on an
    // empty text). The expired state ends here.
    bool Edit(int32_t event, const String& current, String& out);
    void Expire() { expired_ = true; }
    bool Expired() const { return expired_; }

private:
    bool expired_ = true;
};

struct TitleRun {
    String text;
    bool emphasised = false;
};

// The header of a query view at a level: the template's piece for the level (pieces cut at
// "%%%"), "%key" standing for the key chosen at the level before, "%1".."%9" for the key chosen
// at that level less one when it is not above the current level. chosenKeys[i] is the key chosen
// at level i. Fewer pieces than the level: no runs.
bool BuildQueryTitle(const String& titleTemplate, uint32_t level,
                     const std::vector<String>& chosenKeys, std::vector<TitleRun>& runs);

// View commands the record-set view does not run.
bool IsCommandEnabled(int32_t id);

// The display code of a bullet search (request 97) from its bullet's script-name id.
uint32_t BulletDisplayCode(uint32_t bullet);

}  // namespace DatabaseViewText

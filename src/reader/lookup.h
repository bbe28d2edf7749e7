// Dictionary look-up of a tapped or selected word: the search over the chosen dictionaries, the
// matches gathered per dictionary, and the choice of what the reader shows for them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bookfiles/index_table_handle.h"

// The tables of one opened dictionary. Whoever opens it may derive from this to hold the
// dictionary book's reference; dropping the last pointer releases the book.
struct DictionaryTables {
    virtual ~DictionaryTables() = default;

    std::u16string title;
    IndexTableHandle table;  // "special_table=default" with its inflection and naming tables
    IndexTable keyTable;     // "special_table=lookup_key", not open when the book has none
};

// Opens dictionaries by their index in the library's dictionary list. The library sits above
// the reader, so it implements this.
class DictionarySource {
public:
    virtual ~DictionarySource() = default;
    // Null when the book or its default table cannot be opened.
    virtual std::shared_ptr<DictionaryTables> OpenDictionaryTables(std::uint32_t dictionary) = 0;
};

// One dictionary that could be opened, in search order.
struct LookupEntry {
    std::uint32_t dictionary = 0;
    std::uint32_t count = 0;
    std::u16string title;
};

namespace Lookup {

constexpr std::uint32_t kNoDictionary = 0xFFFFFFFF;

bool HoldsCjk(const std::u16string& word);
bool HoldsWildcard(const std::u16string& word);
// Chinese, Japanese and Korean dictionaries are searched through their key table.
bool IsCjkLanguage(std::uint32_t languageCode);

// Searches every dictionary of the list in order. A dictionary that cannot be opened becomes
// kNoDictionary in the list and gets no entry. `kept` holds the tables of the one dictionary with
// matches (or of the only one searched) and is empty when several have matches. True when the
// search of at least one dictionary succeeded.
bool BuildLookupResults(DictionarySource& source, std::vector<std::uint32_t>* dictionaries,
                        const std::u16string& word, bool inflect, std::vector<LookupEntry>* entries,
                        std::vector<LookupMatch>* matches, std::shared_ptr<DictionaryTables>* kept);

// The selection extended by n - 1 further words after the tapped character; false when it
// cannot grow.
using ExtendSelection = std::function<bool(int n, std::u16string* text)>;

// A tapped CJK character starts a word whose end is open: in each dictionary the selection grows
// word by word while the search goes on, until a failing word is longer than 10 characters or
// the selection stops growing. Matches at the same position count once. True when any match
// was kept.
bool LookupCjkCharacter(DictionarySource& source, std::vector<std::uint32_t>* dictionaries,
                        const std::u16string& character, const ExtendSelection& extend,
                        std::vector<LookupEntry>* entries, std::vector<LookupMatch>* matches,
                        std::shared_ptr<DictionaryTables>* kept);

// The matches a results-popup line carries for one dictionary: those of the entry's dictionary,
// at most its count (never past that dictionary's group).
std::vector<LookupMatch> MatchesOf(const std::vector<LookupMatch>& matches,
                                   const LookupEntry& entry);

// The inflected forms of the entry at a position, as the lookup page shows them after the
// headword: " a, b, c"; empty without forms.
std::u16string FormsText(const IndexTableHandle& tables, IndexPosition position);

enum class Outcome {
    kCannotHelp,     // no dictionary could be opened: "Sorry, can't help."
    kNoMatchChoice,  // nothing matched: manual search offered in each opened dictionary
    kNoMatchKept,    // nothing matched in the one dictionary searched: its manual search
    kOpenEntry,      // exactly one match: the entry opens
    kLookupPage,     // several matches of one dictionary
    kResultsPopup,   // matches in several dictionaries
};

Outcome ChooseOutcome(const std::vector<std::uint32_t>& dictionaries,
                      const std::vector<LookupEntry>& entries, std::size_t total, bool hasKept);
// A look-up reports success only when something was found.
inline bool Found(Outcome outcome) {
    return outcome == Outcome::kOpenEntry || outcome == Outcome::kLookupPage ||
           outcome == Outcome::kResultsPopup;
}

// The script of a manual-search link: opens the dictionary and its index search for the word.
std::u16string ManualSearchScript(const std::u16string& reference, const std::u16string& word);

}  // namespace Lookup

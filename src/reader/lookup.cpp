#include "reader/lookup.h"

#include "graphics/widgets/text_popup_window.h"

#include <algorithm>

#include "core/char_props.h"
#include "core/charset.h"
#include "script/script_error.h"

namespace Lookup {

namespace {

constexpr std::uint32_t kChinese = 4;
constexpr std::uint32_t kJapanese = 17;
constexpr std::uint32_t kKorean = 18;

template <typename F>
bool AnyCodePoint(const std::u16string& word, F test) {
    for (std::size_t i = 0; i < word.size();) {
        std::uint32_t c;
        i += static_cast<std::size_t>(Utf16::Decode(word.data() + i, word.size() - i, c));
        if (test(c)) return true;
    }
    return false;
}

std::size_t CountWithMatches(const std::vector<LookupEntry>& entries) {
    return static_cast<std::size_t>(std::count_if(
        entries.begin(), entries.end(), [](const LookupEntry& e) { return e.count != 0; }));
}

// Drops the approximate CJK matches once an exact one exists anywhere.
void DropApproximate(std::vector<LookupEntry>* entries, std::vector<LookupMatch>* matches) {
    for (LookupEntry& entry : *entries) {
        if (entry.count == 0) continue;
        const auto removed = std::erase_if(*matches, [&](const LookupMatch& m) {
            return m.dictionary == entry.dictionary && m.cjk && !m.exact;
        });
        entry.count -= static_cast<std::uint32_t>(std::min<std::size_t>(removed, entry.count));
    }
}

// Opens a listed dictionary; one that cannot be opened is marked in the list. The only
// dictionary of a list is kept at once.
std::shared_ptr<DictionaryTables> OpenForSearch(DictionarySource& source, std::uint32_t* dictionary,
                                                std::size_t listSize,
                                                std::shared_ptr<DictionaryTables>* kept) {
    std::shared_ptr<DictionaryTables> tables =
        *dictionary == kNoDictionary ? nullptr : source.OpenDictionaryTables(*dictionary);
    if (!tables) {
        *dictionary = kNoDictionary;
    } else if (listSize == 1 && !*kept) {
        *kept = tables;
    }
    return tables;
}

// The tables of a dictionary with matches are kept while no earlier one has any.
void KeepWhileAlone(const std::vector<LookupEntry>& earlier,
                    const std::shared_ptr<DictionaryTables>& tables,
                    std::shared_ptr<DictionaryTables>* kept) {
    if (CountWithMatches(earlier) == 0) {
        *kept = tables;
    } else {
        kept->reset();
    }
}

}  // namespace

bool HoldsCjk(const std::u16string& word) {
    return AnyCodePoint(word, [](std::uint32_t c) { return CharProps::IsCjk(c); });
}

bool HoldsWildcard(const std::u16string& word) {
    return AnyCodePoint(
        word, [](std::uint32_t c) { return c == u'?' || c == u'*' || c == 0xFF1F || c == 0xFF0A; });
}

bool IsCjkLanguage(std::uint32_t languageCode) {
    const std::uint32_t code = languageCode & 0x3FF;
    return code == kChinese || code == kJapanese || code == kKorean;
}

namespace {
std::u16string LowerCase(const std::u16string& word) {
    std::u16string out(word);
    for (char16_t& c : out) c = CharProps::ToLower(c);
    return out;
}
}  // namespace

bool BuildLookupResults(DictionarySource& source, std::vector<std::uint32_t>* dictionaries,
                        const std::u16string& word, bool inflect, std::vector<LookupEntry>* entries,
                        std::vector<LookupMatch>* matches,
                        std::shared_ptr<DictionaryTables>* kept) {
    const bool cjk = HoldsCjk(word);
    if (cjk || HoldsWildcard(word)) inflect = false;
    bool result = false;
    bool exactSeen = false;
    for (std::uint32_t& dictionary : *dictionaries) {
        std::shared_ptr<DictionaryTables> tables =
            OpenForSearch(source, &dictionary, dictionaries->size(), kept);
        if (!tables) continue;
        LookupEntry entry{dictionary, 0, tables->title};

        const IndexTable& table = tables->table.Table();
        bool succeeded = false;
        std::size_t found = 0;
        if (IsCjkLanguage(table.GetLanguage())) {
            const std::size_t before = matches->size();
            bool exact = false;
            const IndexTable* keyTable = tables->keyTable.IsOpen() ? &tables->keyTable : nullptr;
            succeeded = tables->table.RunLookup(word.data(), word.size(), matches, keyTable,
                                                dictionary, &exact, !exactSeen);
            if (exact) exactSeen = true;
            found = matches->size() - before;
        } else if (!cjk) {
            std::vector<IndexPosition> positions;
            succeeded =
                tables->table.LookupWord(word.data(), word.size(), &positions, 0, 0, inflect);
            // A word capitalised at a sentence's start or in a title: head words are mostly
            // written in lower case, so without an entry as written it is tried so.
            const std::u16string lower = LowerCase(word);
            if (positions.empty() && lower != word) {
                succeeded = tables->table.LookupWord(lower.data(), lower.size(), &positions, 0, 0,
                                                     inflect) ||
                            succeeded;
            }
            for (const IndexPosition& position : positions) {
                LookupMatch m;
                m.position = position;
                m.length = static_cast<std::uint32_t>(word.size());
                m.dictionary = dictionary;
                matches->push_back(m);
            }
            found = positions.size();
        }
        if (succeeded) {
            entry.count = static_cast<std::uint32_t>(found);
            result = true;
            KeepWhileAlone(*entries, tables, kept);
        }
        entries->push_back(std::move(entry));
    }
    if (exactSeen) {
        DropApproximate(entries, matches);
        // Dropping may leave one dictionary with matches whose tables were let go when a second
        // one matched; without them its entry or page could not be shown.
        if (CountWithMatches(*entries) == 1) {
            const auto it = std::find_if(entries->begin(), entries->end(),
                                         [](const LookupEntry& e) { return e.count != 0; });
            *kept = source.OpenDictionaryTables(it->dictionary);
        }
    }
    return result;
}

bool LookupCjkCharacter(DictionarySource& source, std::vector<std::uint32_t>* dictionaries,
                        const std::u16string& character, const ExtendSelection& extend,
                        std::vector<LookupEntry>* entries, std::vector<LookupMatch>* matches,
                        std::shared_ptr<DictionaryTables>* kept) {
    // A page never holds this many words; the bound keeps a selection that always grows from
    // looping for ever.
    constexpr int kMostWords = 256;
    constexpr std::size_t kLongestFailing = 10;
    std::vector<LookupMatch> own;
    for (std::uint32_t& dictionary : *dictionaries) {
        std::shared_ptr<DictionaryTables> tables =
            OpenForSearch(source, &dictionary, dictionaries->size(), kept);
        if (!tables) continue;
        LookupEntry entry{dictionary, 0, tables->title};
        const IndexTable* keyTable = tables->keyTable.IsOpen() ? &tables->keyTable : nullptr;
        const std::size_t first = own.size();
        std::u16string word = character;
        for (int n = 1; n <= kMostWords; ++n) {
            bool exact = false;
            const bool found = tables->table.RunLookup(word.data(), word.size(), &own, keyTable,
                                                       dictionary, &exact, false);
            if (!found && word.size() > kLongestFailing) break;
            std::u16string next;
            if (!extend || !extend(n + 1, &next) || next == word) break;
            word = std::move(next);
        }
        // Of the matches at one position only the last stays.
        for (std::size_t i = first; i < own.size(); ++i) {
            for (std::size_t j = i + 1; j < own.size(); ++j) {
                if (own[j].position == own[i].position) {
                    own[i].position = IndexPosition();
                    break;
                }
            }
        }
        for (std::size_t i = first; i < own.size(); ++i) {
            if (!own[i].position.IsNone()) ++entry.count;
        }
        if (entry.count > 0) {
            KeepWhileAlone(*entries, tables, kept);
        }
        entries->push_back(std::move(entry));
    }
    bool result = false;
    for (const LookupMatch& m : own) {
        if (m.position.IsNone()) continue;
        matches->push_back(m);
        result = true;
    }
    return result;
}

std::vector<LookupMatch> MatchesOf(const std::vector<LookupMatch>& matches,
                                   const LookupEntry& entry) {
    std::vector<LookupMatch> out;
    auto it = std::find_if(matches.begin(), matches.end(),
                           [&](const LookupMatch& m) { return m.dictionary == entry.dictionary; });
    for (; it != matches.end() && it->dictionary == entry.dictionary && out.size() < entry.count;
         ++it) {
        out.push_back(*it);
    }
    return out;
}

std::u16string FormsText(const IndexTableHandle& tables, IndexPosition position) {
    std::u16string out;
    IndexEntryReader reader;
    std::vector<std::uint32_t> forms;
    std::uint32_t count = 0;
    if (!reader.Open(&tables.Table()) || reader.Seek(position) != 0 ||
        reader.FindTag(40, &count, &forms) != 0) {
        return out;
    }
    std::u16string key;
    for (std::uint32_t form : forms) {
        if (!tables.GetInflectionEntryKey(form, &key)) continue;
        out += out.empty() ? u" " : u", ";
        out += key;
    }
    return out;
}

Outcome ChooseOutcome(const std::vector<std::uint32_t>& dictionaries,
                      const std::vector<LookupEntry>& entries, std::size_t total, bool hasKept) {
    const auto opened = std::count_if(dictionaries.begin(), dictionaries.end(),
                                      [](std::uint32_t d) { return d != kNoDictionary; });
    if (opened == 0) return Outcome::kCannotHelp;
    if (total == 0) {
        // One dictionary opened out of several candidates gets the same manual-search offer.
        return opened == 1 && hasKept ? Outcome::kNoMatchKept : Outcome::kNoMatchChoice;
    }
    if (total == 1) return Outcome::kOpenEntry;
    return CountWithMatches(entries) > 1 ? Outcome::kResultsPopup : Outcome::kLookupPage;
}

std::u16string ManualSearchScript(const std::u16string& reference, const std::u16string& word) {
    // The pop-up window's own builder: one script for every manual-search link.
    String script;
    if (!TextPopupWindow::IndexSearchScript(
            String(reference.data(), static_cast<int32_t>(reference.size())),
            String(word.data(), static_cast<int32_t>(word.size())), script))
        return {};
    return std::u16string(script.Data(), static_cast<size_t>(script.Length()));
}

}  // namespace Lookup

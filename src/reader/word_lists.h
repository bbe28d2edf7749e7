// Pieces of the vocabulary-list and search-history windows that do not need the windows: the
// title of a list, the mark cycle of a row and the link texts that open the two lists.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace WordLists {

// The title as a string resource and, when not empty, the text that follows it after a space
// ("(xx)"). Null table name: the list has no set or no name.
struct Title {
    int stringId = 0;
    std::u16string suffix;
};
Title WordListTitle(const std::u16string* tableName);

// The row mark after a cycle: 0, 1, 2, then 0 again; an empty cell or any other value gives 0.
int NextMark(std::optional<std::int64_t> cell);

// "fvtwordlist" gives -1; "fvtwordlist&12" gives 12. False for other links or a bad number.
bool ParseWordListLink(const std::u16string& link, std::int64_t* number);
bool IsSearchHistoryLink(const std::u16string& link);

}  // namespace WordLists

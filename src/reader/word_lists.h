// Pieces of the vocabulary-list and search-history windows that do not need the windows: the
// title of a list, the mark cycle of a row and the link texts that open the two lists.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/string.h"

class DbTable;

// One word of the vocabulary list, as the lookup code fills it.
struct VocabularyEntry {
    String orth;       // the word as typed or found (the dictionary key)
    String formatted;  // the display form, when it differs from orth
    String dict;       // the dictionary's location; a "$" separates the book from the table
    uint32_t number = 0;
    int32_t ent = -1;  // entry number in the dictionary's table; -1 none, -2 unknown
    String shortid;
};

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

// The row operations of a vocabulary-list table ("orth", "dict", "icon", "formatted", "ent",
// "shortid"); a column the table lacks, or of another type, is skipped.
namespace WordList {

// The new row, or -1 without a table or when the row cannot be added.
int32_t AddRow(DbTable* table, const VocabularyEntry& entry);
// The row of the word: by "formatted" when it differs from orth, else by "orth"; with a dict,
// only a row of the same book (the dict cut before its first "$") answers. -1 none.
int32_t FindRow(const VocabularyEntry& entry, const DbTable* table);
// The word a row shows: "formatted" when not empty, else "orth".
bool RowWord(const DbTable* table, int32_t row, String& out);
// Sets the row's mark, or cycles it when mark is -1.
bool SetMark(DbTable* table, int32_t row, int mark);
// The location of a row's dictionary table: the dict, with the default table when it names
// none.
String DictionaryTable(const String& dict);
// The link that opens a dictionary entry at its text position.
String EntryLink(const String& book, uint32_t position, uint32_t table, uint32_t entry);

}  // namespace WordList

// Saves the vocabulary list after each change, so that a crash loses at most that change; a
// medium that refuses the write is reported once, not after every word.
class WordListSaver {
public:
    // False when the save failed; `report` is set on the first failure only.
    bool Save(DbTable* table, bool* report);

private:
    bool reported_ = false;
};

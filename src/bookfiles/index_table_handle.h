// Dictionary look-ups over a book's index tables: whole-word look-up with the inflection table
// and per-language ending rules, compound splitting, and the key-table look-up of CJK
// dictionaries.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "bookfiles/index_table.h"

class BookDocument;
class PalmDatabase;

struct LookupMatch {
    IndexPosition position;
    std::uint32_t length = 0;
    std::uint8_t direct = 1;
    std::uint32_t dictionary = 0xFFFFFFFF;
    std::uint8_t exact = 0;
    std::uint8_t cjk = 0;
};

class IndexTableHandle {
public:
    static constexpr std::uint32_t kNone = 0xFFFFFFFF;

    // The table and the book's inflection and naming tables (kNone: the book has none).
    bool Open(PalmDatabase* database, std::uint32_t table, std::uint32_t inflectionTable,
              std::uint32_t namingTable);
    // The same, the special tables taken from the book's header.
    bool OpenInBook(const BookDocument& book, std::uint32_t table);

    const IndexTable& Table() const { return table_; }
    const IndexTable* FindInflectionTable() const { return inflex_.IsOpen() ? &inflex_ : nullptr; }
    const IndexTable* FindNamingTable() const { return naming_.IsOpen() ? &naming_ : nullptr; }
    bool GetInflectionEntryKey(std::uint32_t entry, std::u16string* out) const;

    // Positions of the entries for a word: its own key, with `inflect` the inflection table's
    // forms and the language's ending rules, and for German, Dutch and Danish the tail of a
    // compound. Positions appear once, in the order found. False when nothing was found.
    bool LookupWord(const char16_t* word, std::size_t length, std::vector<IndexPosition>* out,
                    int, int, bool inflect) const;

    // Look-up through this (default) table and an optional key table, appending matches.
    bool RunLookup(const char16_t* word, std::size_t length, std::vector<LookupMatch>* matches,
                   const IndexTable* keyTable, std::uint32_t dictionary, bool* exact,
                   bool approximate) const;

private:
    // Every entry whose key equals `key`.
    static void AllEqual(const IndexTable& table, const char16_t* key, std::size_t length,
                         std::vector<IndexPosition>* out);
    void Append(std::uint32_t entry, std::vector<IndexPosition>* out) const;
    void NamedEntries(const IndexTable& keyTable, IndexPosition keyEntry,
                      std::vector<IndexPosition>* out) const;

    IndexTable table_;
    IndexTable inflex_;
    IndexTable naming_;
};

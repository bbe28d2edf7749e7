// Index tables for tests: an IndexWriter's records added to a Palm database fixture.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "support/bookfiles/index_writer.h"
#include "support/bookfiles/pdb_builder.h"

// Appends the table's records; the table id (its header record) goes to `table`.
bool AddIndexTable(IndexWriter& writer, PdbBuilder* pdb, std::uint32_t* table);
// A small English dictionary: "apple", "apples" (an inflected form), "bank" twice, "cat",
// "dog", ... with tag 1 = an ordinal, and a naming/inflection table when asked.
IndexWriter SampleDictionary(std::uint32_t codePage = 1252);
// A table "words" of count keys "k0000000", "k0000001", ... with tag 1 = the key's number (the
// large tables of benchmarks).
IndexWriter NumberedKeys(std::uint32_t count);
// A database of a plain record zero and that table; its id goes to `table`.
Bytes NumberedKeysBook(std::uint32_t count, std::uint32_t* table);

// A dictionary book: each (word, definition) entry's text is its definition in the book's own
// text (tag 8: start and length; tag 1: where it starts), the default table named "words" and
// an inflection table of (form, word) pairs. `input` and `output` are its language pair.
struct DictionarySpec {
    std::string name = "Dict";
    std::uint32_t input = 9;
    std::uint32_t output = 9;
    std::vector<std::pair<std::u16string, std::string>> words;
    std::vector<std::pair<std::u16string, std::u16string>> forms;
    bool entryText = true;  // false: tag 1 only (the entry opens at its place in the book)
    std::string front = {};  // markup before the entries (a link to the index, say)
    std::u16string alphabet = {};  // letters the table proposes spellings with; empty: none
    // The default table's sort weights and ligatures; empty: its keys sort by their bytes.
    std::vector<std::uint16_t> weights = {};
    std::vector<IndexKeyOrder::Ligature> ligatures = {};
};
// The default table's id (the number a "$fvtindex&" page link names) goes to `table`.
Bytes DictionaryBook(const DictionarySpec& spec, std::uint32_t* table = nullptr);

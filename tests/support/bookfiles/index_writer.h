// Builds index tables: entries (key bytes in the table's code page, tag values) are sorted by
// the table's own key order and packed into the header record, data records and the optional
// ORDT, LIGT, SPL and text records that the index reader reads.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "bookfiles/index_table.h"

class IndexWriter {
public:
    struct Entry {
        std::string key;  // bytes in the code page (65002: UTF-16 big-endian)
        std::vector<std::pair<std::uint8_t, std::vector<std::uint32_t>>> tags;
        std::vector<std::pair<std::uint8_t, std::size_t>> texts;  // (tag, text number)
    };

    std::uint32_t codePage = 1252;
    std::uint32_t language = 9;
    std::uint32_t flags = 0;  // bit 0 compare through weights and ligatures, bit 1 folded keys
    std::string name;         // UTF-8
    std::vector<std::uint16_t> weights;
    std::vector<IndexKeyOrder::Ligature> ligatures;
    std::vector<std::uint16_t> alphabet;  // spelling table; empty: none
    std::uint32_t maxEdits = 1;
    std::uint32_t recordLimit = 4096;  // bytes of entries per data record (at most 65000)

    void Add(Entry entry) { entries_.push_back(std::move(entry)); }
    // A key given as UTF-16, encoded in the table's code page.
    bool Add(const std::u16string& key,
             std::vector<std::pair<std::uint8_t, std::vector<std::uint32_t>>> tags);
    // A text for the table's text records; an entry refers to it by its number in `texts`
    // and gets the tag's values (table-relative record, offset) when the table is built.
    std::size_t AddText(const std::string& bytes);

    // The table's records, header first; false when an entry cannot be written (an empty key,
    // a key over 255 bytes, more than 16 tags, an entry larger than a record).
    bool Build(std::vector<std::vector<std::uint8_t>>* records);
    // Entry numbers after sorting, by the order entries were added.
    const std::vector<std::uint32_t>& SortedNumbers() const { return sortedNumbers_; }

private:
    std::vector<Entry> entries_;
    std::vector<std::string> texts_;
    std::vector<std::uint32_t> sortedNumbers_;
};

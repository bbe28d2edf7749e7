// Test-side encoders for book text records: PalmDOC and HUFF/CDIC.
#pragma once

#include <string>
#include <vector>

#include "support/bookfiles/pdb_builder.h"

// PalmDOC: literals, greedy back-references and space pairs, one record's bytes at a time.
Bytes PalmDocCompress(const std::uint8_t* data, std::size_t size);

// HUFF/CDIC: canonical codes built from the symbol frequencies of all records; dictionary
// entries (symbols 256 and up) for the given words. With `nestEntries`, an entry that contains
// an earlier word is stored compressed through it, so entries expand recursively.
struct HuffTables {
    Bytes huff;
    std::vector<Bytes> cdics;
    std::vector<Bytes> records;  // the compressed text records
};
HuffTables HuffCompress(const std::vector<Bytes>& records,
                        const std::vector<std::string>& dictionary, bool nestEntries,
                        std::uint32_t entriesPerCdic = 64);

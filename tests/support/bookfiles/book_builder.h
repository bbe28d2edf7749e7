// Builds book files (type "BOOK", creator "FOLV") and PalmDOC databases for tests: text in any
// supported code page, every compression, trailing entries, EXTH metadata, a full name, named
// targets, images and data records, frame-set indexes with their trees, and index-table headers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/bookfiles/pdb_builder.h"

struct BookTargetSpec {
    std::uint32_t kind = 0;
    std::int32_t position = 0;
    std::int32_t numbers[4] = {-1, -1, -1, -1};
    std::string name, value, extra;  // bytes in the book's code page
};

// A frame set starting at a text position; the tree is written as given (packed node bytes),
// followed by its names area. `values` are the payload words, root first.
struct FramesetSpec {
    std::uint32_t start = 0;
    Bytes tree;
    std::vector<std::uint32_t> values;
};

struct BookBuilder {
    Bytes text;                           // the text's bytes in `codePage`
    std::uint32_t codePage = 1252;        // written into the header (0 leaves it to the reader)
    std::uint32_t compression = 1;        // 1 none, 2 PalmDOC, 3 HUFF/CDIC
    std::vector<std::string> dictionary;  // HUFF/CDIC dictionary words
    bool nestDictionary = false;
    std::uint32_t version = 6;
    std::uint32_t headerLength = 228;
    std::uint32_t type = 1;
    std::uint32_t uniqueId = 0x12345678;
    std::uint32_t flags = 0;  // header flags; the EXTH bit is added when there is metadata
    std::uint32_t minimumVersion = 1;
    std::uint32_t encryption = 0;
    std::uint32_t locale = 9;
    std::uint32_t inputLanguage = 0x80000000u;
    std::uint32_t outputLanguage = 0;
    std::uint32_t trailingFlags = 0;  // bit 0: multibyte entries (UTF-8); bits 1-15: extra entries
    std::uint32_t framesetShift = 16;
    std::uint32_t tables[10] = {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF,
                                0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF};
    std::string fullName;  // bytes in the book's code page; empty: none
    std::string databaseName = "Fixture Book";
    std::vector<std::pair<std::uint32_t, Bytes>> exth;
    std::vector<BookTargetSpec> targets;
    std::vector<FramesetSpec> framesets;
    std::vector<Bytes> resources;                          // images and other data records
    std::vector<std::pair<int, std::string>> indexTables;  // (header field or -1, table name)
    bool palmDoc = false;  // a "TEXt"/"REAd" database instead of a book

    // Record numbers of the last build.
    std::uint32_t firstResource = 0;
    std::vector<std::uint32_t> tableRecords;

    PdbBuilder BuildDatabase();
    Bytes Build() { return BuildDatabase().Build(); }
};

// Text of `n` bytes cycling through a word list (ASCII), for larger books.
std::string SampleText(std::size_t n, std::uint32_t seed = 1);

// A frame-set tree node (12 bytes, or 16 with a child block header).
Bytes TreeNode(std::uint16_t flags, std::uint16_t number, std::uint32_t payload,
               std::uint32_t nameOffset, std::uint16_t childCount = 0,
               std::uint16_t childWords = 0);

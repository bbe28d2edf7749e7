// How much text a markup document shows, position by position: page estimates count what a page
// holds, and in a markup-heavy file most positions are tags. Counted are the characters outside
// tags, comments, declarations and the contents of SCRIPT, STYLE and HEAD; a character
// reference counts one, and a run of white space one (tags between its blanks do not break it).
//
// The count is taken once, reading the document page by page, into a cumulative table of one
// entry per page read and one bit per character (whether it is counted): the count before a
// position and the position a count is reached at are then found without reading again.
//
// Threading: GUI thread only, like the layout. The document is not owned; it is read only while
// the census is built.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class DocumentSource;

class TextCensus {
public:
    // Where the scanner stands between two characters (carried from one page to the next).
    struct ScanState {
        uint8_t mode = 0;
        uint8_t flags = 0;
        // The comment's dashes, the quote a tag is in, or the characters of a raw element's
        // end tag matched so far.
        uint8_t aux = 0;
        // The first characters of the tag name read so far, lower-cased, one a byte.
        uint64_t name = 0;
    };

    // Counts the document's shown characters. False when a page cannot be read (the census is
    // then empty: every count is 0, and Length() is still the document's).
    bool Build(DocumentSource& document);
    bool Empty() const { return entries_.empty(); }
    // The positions counted (the document's length when built).
    uint32_t Length() const { return length_; }
    // The shown characters, and the lines that blocks start (a paragraph, an item, a heading, a
    // row, a listing's line; each counted at its first character), at positions before
    // `position`, each line weighing `lineWeight` characters more: what a page holds is
    // measured in characters, and a page of short blocks (a list of names, a table of terms)
    // holds far fewer of them.
    uint64_t WeightBefore(uint32_t position, uint32_t lineWeight) const;
    uint64_t WeightBetween(uint32_t a, uint32_t b, uint32_t lineWeight) const {
        return b > a ? WeightBefore(b, lineWeight) - WeightBefore(a, lineWeight) : 0;
    }
    uint32_t CountBefore(uint32_t position) const {
        return static_cast<uint32_t>(WeightBefore(position, 0));
    }
    uint32_t Total() const { return total_; }
    uint32_t Lines() const { return lines_; }
    uint64_t TotalWeight(uint32_t lineWeight) const {
        return total_ + uint64_t{lineWeight} * lines_;
    }
    // The first position before which `weight` is reached; Length() when the text weighs less.
    uint32_t PositionOfWeight(uint64_t weight, uint32_t lineWeight) const;

private:
    struct Entry {
        uint32_t start = 0;   // the page's first position
        uint32_t span = 0;    // positions the page covers
        uint32_t count = 0;   // shown characters before it
        uint32_t lines = 0;   // lines started before it
        uint32_t length = 0;  // its characters
        uint64_t bit = 0;     // its first character's bit
    };
    // Scans characters from the state, calling shown(i, n, startsLine) for each run of n
    // characters from i counted (only the run's first may start a line).
    template <class Shown>
    static void Scan(const char16_t* text, uint32_t length, ScanState& state, Shown shown);
    // The position of the page's character at `index` (its end past the last one).
    static uint32_t Map(const Entry& entry, uint32_t index);
    // The entry of the page holding the position (the last one for a position past the end).
    size_t EntryAt(uint32_t position) const;
    // The set bits in [from, to).
    static uint32_t BitsIn(const std::vector<uint64_t>& bits, uint64_t from, uint64_t to);

    std::vector<Entry> entries_;
    // A bit a character: counted; and starting a line.
    std::vector<uint64_t> shown_;
    std::vector<uint64_t> starts_;
    uint32_t length_ = 0;
    uint32_t total_ = 0;
    uint32_t lines_ = 0;
};

// Splitting a word that does not fit at a line's end: after an explicit hyphen inside it, at a
// syllable boundary found by a small rule set for Latin-script text (adding a visible hyphen),
// or, as the last resort, at the last character that fits. A split cuts the word's TextRun in
// two in the block's contents and may insert a FlowMark of type 7 (kMarkHyphen) carrying the
// hyphen's width. Chinese, Japanese and Korean text (primary languages 4, 17, 18) is never
// hyphenated: it is only cut.
//
// A hyphen added at a break has two letters at least on each side of it, unless the line cannot
// hold two. Every cut leaves at least one character on the line: a cut before the first
// character is refused, so a column narrower than one character still advances.
#pragma once

#include <cstdint>
#include <vector>

#include "layout/block_contents.h"

class DocumentSource;
class LayoutFonts;

namespace Hyphenation {

// U+00AD: a break point the text's author allowed; it shows as a hyphen only where the line
// breaks there, and takes no room elsewhere.
constexpr char16_t kSoftHyphen = 0x00AD;

// Primary language ids (low 10 bits of a language code) that are never hyphenated.
bool IsCjkLanguage(uint32_t language);
// True when at least a quarter of the line is still free: only then is the next word split.
inline bool IsQuarterFree(int32_t free, int32_t available) {
    return static_cast<int64_t>(free) * 4 >= available;
}
// Not prose: a web address, a path, an e-mail address or an identifier (a word holding '/',
// '\', '@', '_', a digit, or a '.', ':' or inner capital between letters). Such a word takes
// no hyphen; it breaks only after '/', '.' or '-'.
bool IsCodeLike(const char16_t* word, int32_t n);
// Where a word may break at a syllable: breakAfter[i] is set when a break may follow
// character i. False, nothing set, when the word has fewer than three pieces or no mark is
// left. breakAfter must hold n entries.
bool SyllableMarks(const char16_t* word, int32_t n, uint8_t* breakAfter);

}  // namespace Hyphenation

// Splits words inside one block's contents, measuring with the layout's fonts.
class WordSplitter {
public:
    // source turns character counts into document positions (null: one position each).
    WordSplitter(BlockContents& block, LayoutFonts& fonts, DocumentSource* source);
    ~WordSplitter();
    WordSplitter(const WordSplitter&) = delete;
    WordSplitter& operator=(const WordSplitter&) = delete;

    // Tries to split the word whose runs lie in [cursor, end) so that its first part (plus a
    // hyphen when one is added) fits in available. True when split: available loses the part
    // that stays (and the hyphen), and after is the cursor just past what stays on the line.
    bool HyphenateRun(uint32_t language, BlockCursor cursor, const BlockCursor& end,
                      int32_t& available, BlockCursor& after);
    // The fallback: cuts the word at the last character that fits with a hyphen (without
    // one when addHyphen is false). False when not even the first character fits (the caller
    // places the run anyway).
    bool BreakRun(uint32_t language, BlockCursor cursor, const BlockCursor& end, int32_t& available,
                  BlockCursor& after, bool addHyphen = true);

private:
    struct Cell {
        int32_t x;
        int32_t width;
        char16_t ch;
        uint8_t breakAfter;
        int32_t run;     // index of the run (per kind) that holds it
        int32_t offset;  // within that run
    };
    // Measures the characters of the runs in [cursor, end) one by one, applying style changes;
    // stops once a character starts past limit.
    bool Build(BlockCursor cursor, const BlockCursor& end, int32_t limit);
    bool BuildCells(BlockCursor cursor, const BlockCursor& end, int32_t limit);
    // Cuts the word after cell i; hyphen adds a hyphen mark of that width (0 none).
    bool SplitAfter(int32_t i, BlockCursor cursor, int32_t hyphen, int32_t& available,
                    BlockCursor& after);

    BlockContents& block_;
    LayoutFonts& fonts_;
    DocumentSource* source_;
    // Kept from word to word (one splitter is made for each word split): no allocation per
    // word once they have grown.
    struct Scratch {
        std::vector<Cell> cells;
        std::vector<char16_t> chars;
        std::vector<uint8_t> marks;
        const WordSplitter* owner = nullptr;  // whose word the cells hold
    };
    static Scratch& Kept();
    Scratch& scratch_;
    std::vector<Cell>& cells_;
    // What cells_ were built for: a word that does not hyphenate is cut next, from the same
    // cells (a failed try changes nothing in the block).
    bool built_ = false;
    int32_t builtFrom_ = 0;
    int32_t builtEnd_ = 0;
    int32_t builtLimit_ = 0;
    bool builtResult_ = false;
};

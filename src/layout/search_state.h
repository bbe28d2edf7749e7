// The streaming matcher behind text search: characters are fed one at a time, each with the
// document positions where it starts and ends, and a match is reported with the positions of
// its first character and the end of its last. It is a prefix-table matcher, so feeding is
// linear in the text whatever the pattern; it finds the same first match as a restart-on-
// mismatch matcher would.
//
// Whole-word mode accepts an occurrence only when it starts the text fed or follows a
// separator, and is followed by a separator or the end of the text (Finish): so "cat" is not
// found in "cats", "concat" or "catcat", and a pattern may itself hold spaces.
#pragma once

#include <cstdint>
#include <vector>

#include "core/string.h"

struct SearchMatch {
    uint32_t start = 0;
    uint32_t end = 0;
};

class SearchState {
public:
    // Stores the pattern (folded when lowerCase) and resets. False for an empty pattern, which
    // matches nothing, or when memory runs out.
    bool Set(const String& pattern, bool lowerCase, bool wholeWord);
    // Forgets what was fed; the next character counts as a word start.
    void Reset();
    // Marks the text before the next character: a separator or not (for whole words).
    void SetContext(bool separatorBefore) { prevSeparator_ = separatorBefore; }
    // Feeds one character that covers [at, after); true with the match when one is complete.
    bool Feed(char16_t c, uint32_t at, uint32_t after, SearchMatch& match);
    // A word edge that is not a character (a tag between words): settles a waiting whole-word
    // match and makes the next character a word start; a match in progress goes on.
    bool Boundary(SearchMatch& match);
    // The end of the text: a whole-word match completed by the last character counts.
    bool Finish(SearchMatch& match);

    int32_t PatternLength() const { return static_cast<int32_t>(pattern_.size()); }
    static bool IsSeparator(char16_t c);

private:
    std::vector<char16_t> pattern_;
    std::vector<int32_t> failure_;    // longest proper border of each pattern prefix
    std::vector<uint32_t> starts_;    // ring: start positions of the last characters fed
    std::vector<uint8_t> wordStart_;  // ring: whether that character began a word
    bool lowerCase_ = false;
    bool wholeWord_ = false;
    int32_t matched_ = 0;
    uint32_t fed_ = 0;
    bool prevSeparator_ = true;
    bool pending_ = false;  // a whole-word candidate waiting for the next character
    SearchMatch pendingMatch_;
};

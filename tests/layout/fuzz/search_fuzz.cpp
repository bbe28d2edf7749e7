// Searches arbitrary text (and markup) for an arbitrary pattern with both searchers, both ways,
// with and without whole words, and checks the searchers' promises: a plain forward match is
// the first one a brute-force search finds, every match lies inside the document and ends
// after it starts, a backward walk only moves back and ends, and every page read is given back.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "core/char_props.h"
#include "layout/searcher.h"
#include "support/document/memory_document.h"

namespace {

int64_t BruteForce(const std::u16string& text, const std::u16string& pattern, bool lowerCase,
                   bool wholeWord) {
    auto fold = [lowerCase](char16_t c) { return lowerCase ? CharProps::ToLower(c) : c; };
    for (size_t s = 0; s + pattern.size() <= text.size(); ++s) {
        size_t i = 0;
        while (i < pattern.size() && fold(text[s + i]) == fold(pattern[i])) ++i;
        if (i < pattern.size()) continue;
        if (wholeWord) {
            size_t e = s + pattern.size();
            bool before = s == 0 || SearchState::IsSeparator(text[s - 1]) ||
                          SearchState::IsSeparator(pattern.front());
            bool after = e == text.size() || SearchState::IsSeparator(text[e]) ||
                         SearchState::IsSeparator(pattern.back());
            if (!before || !after) continue;
        }
        return static_cast<int64_t>(s);
    }
    return -1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    // First bytes: page size, flags, pattern length; then the pattern and the text, two bytes
    // a character.
    uint32_t pageSize = 1 + data[0] % 64;
    bool wholeWord = data[1] & 1;
    bool lowerCase = data[1] & 2;
    size_t patternLength = data[2] % 8;
    std::u16string chars;
    for (size_t i = 3; i + 1 < size; i += 2)
        chars.push_back(static_cast<char16_t>(data[i] | data[i + 1] << 8));
    if (patternLength > chars.size()) patternLength = chars.size();
    std::u16string pattern = chars.substr(0, patternLength);
    std::u16string text = chars.substr(patternLength);
    String p(pattern.data(), static_cast<int32_t>(pattern.size()));
    MemoryDocument doc(text, pageSize, 2);
    for (bool indexed : {false, true}) {
        std::unique_ptr<Searcher> s(Searcher::Create(&doc, indexed));
        if (!s) return 0;
        uint32_t mode = kSearchFirst;
        uint32_t start = 0, end = 0xFFFFFFFFu, found = 0;
        SearchResult r = s->Search(p, start, end, found, wholeWord, lowerCase, mode);
        if (r == kSearchFound && (found >= text.size() || start <= found || start > text.size()))
            __builtin_trap();
        if (!indexed) {
            int64_t want = pattern.empty() ? -1 : BruteForce(text, pattern, lowerCase, wholeWord);
            if ((r == kSearchFound) != (want >= 0)) __builtin_trap();
            if (want >= 0 && found != static_cast<uint32_t>(want)) __builtin_trap();
        }
        mode = kSearchLast;
        uint32_t last = 0xFFFFFFFFu;
        for (size_t steps = 0;; ++steps) {
            if (steps > text.size() + 1) __builtin_trap();  // a walk that never ends
            r = s->Search(p, start, end, found, wholeWord, lowerCase, mode);
            if (r != kSearchFound) break;
            if (found >= last || found >= text.size()) __builtin_trap();
            last = found;
        }
        if (doc.LivePages() != 0 || doc.badReleases != 0) __builtin_trap();
    }
    return 0;
}

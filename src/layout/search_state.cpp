#include "layout/search_state.h"

#include <new>

#include "core/char_props.h"

bool SearchState::IsSeparator(char16_t c) {
    int k = CharProps::Class3(c);
    return k == 3 || k == 4;
}

bool SearchState::Set(const String& pattern, bool lowerCase, bool wholeWord) {
    pattern_.clear();
    failure_.clear();
    starts_.clear();
    wordStart_.clear();
    lowerCase_ = lowerCase;
    wholeWord_ = wholeWord;
    Reset();
    int32_t n = pattern.Length();
    if (n <= 0) return false;
    try {
        pattern_.resize(static_cast<size_t>(n));
        failure_.resize(static_cast<size_t>(n));
        starts_.resize(static_cast<size_t>(n));
        wordStart_.resize(static_cast<size_t>(n));
    } catch (const std::bad_alloc&) {
        pattern_.clear();
        failure_.clear();
        starts_.clear();
        wordStart_.clear();
        return false;
    }
    for (int32_t i = 0; i < n; ++i)
        pattern_[i] = lowerCase ? CharProps::ToLower(pattern[i]) : pattern[i];
    failure_[0] = 0;
    for (int32_t i = 1, k = 0; i < n; ++i) {
        while (k > 0 && pattern_[i] != pattern_[k]) k = failure_[k - 1];
        if (pattern_[i] == pattern_[k]) ++k;
        failure_[i] = k;
    }
    return true;
}

void SearchState::Reset() {
    matched_ = 0;
    fed_ = 0;
    prevSeparator_ = true;
    pending_ = false;
}

bool SearchState::Feed(char16_t c, uint32_t at, uint32_t after, SearchMatch& match) {
    if (pattern_.empty()) return false;
    bool separator = wholeWord_ && IsSeparator(c);
    bool found = false;
    if (pending_) {
        pending_ = false;
        if (separator) {
            match = pendingMatch_;
            found = true;
        }
    }
    char16_t f = lowerCase_ ? CharProps::ToLower(c) : c;
    size_t n = pattern_.size();
    size_t slot = fed_ % n;
    starts_[slot] = at;
    wordStart_[slot] = prevSeparator_ ? 1 : 0;
    ++fed_;
    prevSeparator_ = separator;
    int32_t k = matched_;
    while (k > 0 && f != pattern_[k]) k = failure_[k - 1];
    if (f == pattern_[k]) ++k;
    if (static_cast<size_t>(k) == n) {
        size_t first = (fed_ - n) % n;
        SearchMatch m{starts_[first], after};
        k = failure_[n - 1];
        if (!wholeWord_) {
            matched_ = k;
            match = m;
            return true;
        }
        // A pattern that begins or ends with a separator carries its own word edge.
        bool starts = wordStart_[first] || IsSeparator(pattern_[0]);
        if (starts && !found) {
            if (IsSeparator(pattern_[n - 1])) {
                matched_ = k;
                match = m;
                return true;
            }
            pending_ = true;
            pendingMatch_ = m;
        }
    }
    matched_ = k;
    return found;
}

bool SearchState::Finish(SearchMatch& match) {
    if (!pending_) return false;
    pending_ = false;
    match = pendingMatch_;
    return true;
}

bool SearchState::Boundary(SearchMatch& match) {
    prevSeparator_ = true;
    return Finish(match);
}

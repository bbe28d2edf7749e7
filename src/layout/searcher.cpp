#include "layout/searcher.h"

#include <algorithm>
#include <cctype>
#include <new>
#include <vector>

#include "bookfiles/document_source.h"
#include "document/markup/html_tokenizer.h"
#include "document/markup/keyword_tree.h"

namespace {

constexpr uint32_t kNoEnd = 0xFFFFFFFFu;
constexpr uint32_t kProgressEvery = 4096;  // characters between progress reports

// Holds one page of the source and gives it back when replaced or destroyed.
class PageHold {
public:
    explicit PageHold(DocumentSource* source) : source_(source) {}
    ~PageHold() { Drop(); }
    bool Read(uint32_t position) {
        Drop();
        held_ = source_->ReadPage(position, page_, 0, 0) && page_.pageId != 0;
        return held_ && page_.spanLength > 0;
    }
    void Drop() {
        if (held_) source_->ReleasePage(page_.pageId);
        held_ = false;
    }
    const PageBuffer& Page() const { return page_; }

private:
    DocumentSource* source_;
    PageBuffer page_;
    bool held_ = false;
};

// Reads a source's characters with their positions, page by page. Positions are followed
// with Advance(position, 1) from a character's start, which every source answers with the next
// character's start; a position inside a character starts the walk at the next one.
class CharWalk {
public:
    explicit CharWalk(DocumentSource* source) : source_(source), hold_(source) {}

    // The walk at the first character starting at or after pos; false when it cannot be read.
    bool Seek(uint32_t pos) {
        if (!Load(pos)) return false;
        if (oneToOne_ && at_ < pos && page().length > 0) {
            // A character a position: straight there (a search restarts on every match and
            // every reference, most of a page from its start).
            const uint32_t skip = std::min(pos - at_, page().length);
            before_ = page().text[skip - 1];
            haveBefore_ = true;
            i_ = skip;
            at_ = page().start + skip;
        }
        while (i_ < page().length && at_ < pos) {
            before_ = page().text[i_];
            haveBefore_ = true;
            Step();
        }
        if (i_ == 0 && page().start > 0) {
            // The character before lies on the page before.
            PageHold prev(source_);
            if (prev.Read(page().start - 1) && prev.Page().length > 0) {
                before_ = prev.Page().text[prev.Page().length - 1];
                haveBefore_ = true;
            }
        }
        return true;
    }
    // The character before the sought position, when there is one.
    bool Before(char16_t& c) const {
        c = before_;
        return haveBefore_;
    }
    // The next character covering [at, after); false at the end or when a page is missing.
    bool Next(char16_t& c, uint32_t& at, uint32_t& after) {
        while (i_ >= page().length) {
            uint32_t end = page().start + page().spanLength;
            if (end >= source_->GetLength()) return false;
            if (!Load(end)) return false;
        }
        c = page().text[i_];
        at = at_;
        Step();
        after = at_;
        return true;
    }
    bool Failed() const { return failed_; }

private:
    const PageBuffer& page() const { return hold_.Page(); }
    bool Load(uint32_t pos) {
        if (!hold_.Read(pos) || page().start > pos ||
            page().start + page().spanLength <= page().start) {
            failed_ = true;
            return false;
        }
        i_ = 0;
        at_ = page().start;
        oneToOne_ = page().spanLength == page().length;
        if (!oneToOne_) {
            // A page may begin with the end of a character that the page before completed.
            uint32_t first = source_->Advance(at_, 0, 0);
            if (first > at_ && first < at_ + page().spanLength) at_ = first;
        }
        return true;
    }
    void Step() {
        ++i_;
        if (i_ >= page().length) {
            at_ = page().start + page().spanLength;
        } else if (oneToOne_) {
            ++at_;
        } else {
            uint32_t next = source_->Advance(at_, 1, 0);
            at_ = next > at_ ? next : at_ + 1;
        }
    }

    DocumentSource* source_;
    PageHold hold_;
    uint32_t i_ = 0;
    uint32_t at_ = 0;
    bool oneToOne_ = true;
    bool failed_ = false;
    char16_t before_ = 0;
    bool haveBefore_ = false;
};

// The match a Find reports: the first, or with last the last one starting before `to`.
struct MatchKeeper {
    bool last;
    uint32_t to;
    bool have = false;
    SearchMatch best;
    uint32_t from = 0;  // matches starting before it are read over, not taken
    // True when the search is over.
    bool Offer(const SearchMatch& m) {
        if (m.start < from) return false;
        if (m.start >= to) return true;  // matches come in order: none later starts before to
        best = m;
        have = true;
        return !last;
    }
    SearchResult Result(uint32_t& start, uint32_t& end) const {
        if (!have) return kSearchNotFound;
        start = best.start;
        end = best.end;
        return kSearchFound;
    }
};

constexpr uint32_t kProgressRuns = 200;    // tokens between progress reports
constexpr uint32_t kMaxIdleTokens = 4096;  // tokens in a row that do not move: a broken source

// The raw characters of [from, to) with the position of each; false when a page is missing.
bool ReadRaw(DocumentSource* source, uint32_t from, uint32_t to, std::vector<char16_t>& chars,
             std::vector<uint32_t>& positions) {
    CharWalk walk(source);
    if (!walk.Seek(from)) return false;
    char16_t c = 0;
    uint32_t at = 0;
    uint32_t after = 0;
    while (walk.Next(c, at, after) && at < to) {
        chars.push_back(c);
        positions.push_back(at);
    }
    return !walk.Failed();
}

// Positions of the characters of a token's text when references made it differ from the raw
// characters: a raw '&' stands for one or two (a surrogate pair) characters up to its ';'.
void AlignDecoded(const String& text, const std::vector<char16_t>& raw,
                  const std::vector<uint32_t>& rawPos, uint32_t end, std::vector<uint32_t>& out) {
    size_t j = 0;
    for (int32_t i = 0; i < text.Length(); ++i) {
        char16_t c = text[i];
        if (i > 0 && c >= 0xDC00 && c <= 0xDFFF && text[i - 1] >= 0xD800 && text[i - 1] <= 0xDBFF &&
            !out.empty() && (j >= raw.size() || raw[j] != c)) {
            out.push_back(out.back());  // the low half of a reference's pair
            continue;
        }
        if (j >= raw.size()) {
            out.push_back(end);
            continue;
        }
        out.push_back(rawPos[j]);
        bool reference = raw[j] == u'&' && j + 1 < raw.size() &&
                         (raw[j + 1] == u'#' || (raw[j + 1] < 0x80 && std::isalnum(raw[j + 1])));
        if (reference) {
            size_t k = j + 1;
            while (k < raw.size() && k - j < 12 && raw[k] != u';') ++k;
            j = (k < raw.size() && raw[k] == u';') ? k + 1 : j + 1;
        } else {
            ++j;
        }
    }
}

}  // namespace

std::unique_ptr<Searcher> Searcher::Create(DocumentSource* source, bool indexed) {
    std::unique_ptr<Searcher> s;
    if (indexed)
        s.reset(new (std::nothrow) IndexedSearcher);
    else
        s.reset(new (std::nothrow) PlainSearcher);
    if (s) s->SetSource(source);
    return s;
}

SearchResult Searcher::Search(const String& pattern, uint32_t& start, uint32_t& end,
                              uint32_t& found, bool wholeWord, bool lowerCase, uint32_t& mode) {
    if (!source_ || pattern.IsEmpty()) return kSearchNotFound;
    if (mode == kSearchFirst || mode == kSearchNext) {
        uint32_t from = mode == kSearchFirst ? 0 : start;
        uint32_t to = mode == kSearchFirst ? kNoEnd : end;
        uint32_t ms = 0;
        uint32_t me = 0;
        SearchResult r = Find(pattern, from, to, ms, me, wholeWord, lowerCase);
        if (r != kSearchFound) return r;
        found = ms;
        start = me;
        mode = kSearchNext;
        return r;
    }
    if (mode == kSearchLast) end = source_->GetLength();
    SearchResult r = SearchBackward(pattern, end, found, wholeWord, lowerCase);
    if (r == kSearchFound) mode = kSearchPrevious;
    return r;
}

SearchResult Searcher::BeginFind(const String& pattern, uint32_t from, uint32_t& to, bool wholeWord,
                                 bool lowerCase, uint32_t& length) {
    if (pattern.IsEmpty() || !source_) return kSearchNotFound;
    if (!state_.Set(pattern, lowerCase, wholeWord)) return kSearchFailed;
    length = source_->GetLength();
    if (to == kNoEnd || to > length) to = length;
    return from < to ? kSearchFound : kSearchNotFound;
}

SearchResult Searcher::SearchBackward(const String& pattern, uint32_t& end, uint32_t& found,
                                      bool wholeWord, bool lowerCase) {
    uint32_t length = source_->GetLength();
    if (end > length) end = length;
    PageHold hold(source_);
    uint32_t limit = end;
    while (limit > 0) {
        if (!hold.Read(limit - 1)) return kSearchFailed;
        uint32_t pageStart = hold.Page().start;
        hold.Drop();
        if (pageStart >= limit) return kSearchFailed;  // a source that does not move back
        uint32_t from = pageStart;
        SearchResult ready = RestartBefore(pageStart, from);
        if (ready != kSearchFound) return ready;
        if (from > pageStart) from = pageStart;
        // The last match from here that starts before the end, overlapping ones included.
        uint32_t ms = 0;
        uint32_t me = 0;
        SearchResult r = Find(pattern, from, limit, ms, me, wholeWord, lowerCase, true);
        if (r == kSearchFound) {
            found = ms;
            end = ms;
            return kSearchFound;
        }
        if (r != kSearchNotFound) return r;
        limit = from;
    }
    return kSearchNotFound;
}

SearchResult PlainSearcher::Find(const String& pattern, uint32_t from, uint32_t to,
                                 uint32_t& matchStart, uint32_t& matchEnd, bool wholeWord,
                                 bool lowerCase, bool last) {
    uint32_t length = 0;
    SearchResult ready = BeginFind(pattern, from, to, wholeWord, lowerCase, length);
    if (ready != kSearchFound) return ready;
    CharWalk walk(source_);
    if (!walk.Seek(from)) return kSearchFailed;
    char16_t c = 0;
    // A word may begin before the range.
    if (wholeWord && walk.Before(c)) state_.SetContext(SearchState::IsSeparator(c));
    // A match must start before `to`; past it, read only as far as one can still end.
    uint32_t past = 0;
    uint32_t pastLimit = static_cast<uint32_t>(state_.PatternLength()) + 1;
    uint32_t done = 0;
    uint32_t at = 0;
    uint32_t after = 0;
    MatchKeeper keeper{last, to, false, {}};
    SearchMatch m;
    while (walk.Next(c, at, after)) {
        if (done++ % kProgressEvery == 0 && !Report(done - 1)) return kSearchCancelled;
        if (at >= to && ++past > pastLimit) return keeper.Result(matchStart, matchEnd);
        if (state_.Feed(c, at, after, m) && keeper.Offer(m))
            return keeper.Result(matchStart, matchEnd);
    }
    if (walk.Failed()) return kSearchFailed;
    if (state_.Finish(m)) keeper.Offer(m);
    return keeper.Result(matchStart, matchEnd);
}

void IndexedSearcher::SetSource(DocumentSource* source) {
    Searcher::SetSource(source);
    restarts_.clear();
    restartsTo_ = 0;
    restartsLength_ = 0;
    restartsAtEnd_ = false;
}

SearchResult IndexedSearcher::RestartBefore(uint32_t pageStart, uint32_t& from) {
    from = 0;
    if (pageStart == 0) return kSearchFound;
    const uint32_t length = source_->GetLength();
    if (length != restartsLength_) {
        SetSource(source_);
        restartsLength_ = length;
    }
    if (!restartsAtEnd_ && restartsTo_ <= pageStart) {
        SearchResult r = ReadRestartsTo(pageStart);
        if (r != kSearchFound) return r;
    }
    auto it = std::upper_bound(restarts_.begin(), restarts_.end(), pageStart);
    if (it != restarts_.begin()) from = *(it - 1);
    return kSearchFound;
}

SearchResult IndexedSearcher::ReadRestartsTo(uint32_t position) {
    // Characters between kept boundaries: a backward step reads about a page more than it
    // must at most.
    constexpr uint32_t kRestartEvery = 2048;
    if (restarts_.empty()) restarts_.push_back(0);
    // Read on from the last boundary kept, where the tokenizer starts as it was there.
    const uint32_t start = restarts_.back();
    HtmlTokenizer tokens(false);
    if (!tokens.Attach(source_, 0) || !tokens.Start(start, true)) return kSearchFailed;
    bool inScript = false;
    bool clean = true;  // the next token starts at a boundary
    uint32_t runs = 0;
    uint32_t idle = 0;
    for (;;) {
        uint32_t p0 = 0;
        tokens.GetPosition(p0);
        if (runs++ % kProgressRuns == 0 && !Report(p0 > start ? p0 - start : 0))
            return kSearchCancelled;
        if (clean && !inScript && p0 >= restarts_.back() + kRestartEvery) {
            try {
                restarts_.push_back(p0);
            } catch (...) {
                return kSearchFailed;
            }
        }
        if (p0 > restartsTo_) restartsTo_ = p0;
        if (p0 > position) return kSearchFound;
        uint32_t kind = tokens.NextToken();
        if (kind == kTokenEnd) break;
        uint32_t p1 = 0;
        tokens.GetPosition(p1);
        idle = p1 > p0 ? 0 : idle + 1;
        if (idle >= kMaxIdleTokens) break;
        if (kind == kTokenContinue) {
            clean = false;
            continue;
        }
        if (kind == kTokenTag) {
            bool isEnd = false;
            bool isEmpty = false;
            if (tokens.GetTag(isEnd, isEmpty) == kTagScript) inScript = !isEnd && !isEmpty;
        }
        // After white space or a tag's '>' nothing is joined or half read.
        clean = kind == kTokenSpace || kind == kTokenTag;
    }
    restartsAtEnd_ = true;
    return kSearchFound;
}

SearchResult IndexedSearcher::Find(const String& pattern, uint32_t from, uint32_t to,
                                   uint32_t& matchStart, uint32_t& matchEnd, bool wholeWord,
                                   bool lowerCase, bool last) {
    uint32_t length = 0;
    SearchResult ready = BeginFind(pattern, from, to, wholeWord, lowerCase, length);
    if (ready != kSearchFound) return ready;
    // The text is read from a token boundary at or before `from`, as a read from the start
    // reads it; matches that start before `from` are passed over.
    uint32_t readFrom = from;
    ready = RestartBefore(from, readFrom);
    if (ready != kSearchFound) return ready;
    if (wholeWord && readFrom > 0) {
        // A word may begin before the range; a tag's end counts as a word edge.
        CharWalk walk(source_);
        char16_t c = 0;
        if (walk.Seek(readFrom) && walk.Before(c))
            state_.SetContext(c == u'>' || SearchState::IsSeparator(c));
    }
    HtmlTokenizer tokens(false);
    if (!tokens.Attach(source_, 0) || !tokens.Start(readFrom, true)) return kSearchFailed;
    uint32_t past = 0;
    uint32_t pastLimit = static_cast<uint32_t>(state_.PatternLength()) + 1;
    uint32_t done = 0;
    uint32_t runs = 0;
    uint32_t idle = 0;
    uint32_t pastTags = 0;
    bool inScript = false;
    std::vector<char16_t> raw;
    std::vector<uint32_t> rawPos;
    std::vector<uint32_t> at;
    SearchMatch m;
    MatchKeeper keeper{last, to, false, {}, from};
    // True when the search is over.
    auto feed = [&](char16_t c, uint32_t p, uint32_t after) -> bool {
        if (p >= to && ++past > pastLimit) return true;
        ++done;
        return state_.Feed(c, p, after, m) && keeper.Offer(m);
    };
    for (;;) {
        if (runs++ % kProgressRuns == 0 && !Report(done)) return kSearchCancelled;
        uint32_t p0 = 0;
        tokens.GetPosition(p0);
        uint32_t kind = tokens.NextToken();
        while (kind == kTokenContinue && idle < kMaxIdleTokens) {
            ++idle;
            kind = tokens.NextToken();
        }
        if (kind == kTokenEnd || kind == kTokenContinue) break;
        uint32_t p1 = 0;
        tokens.GetPosition(p1);
        idle = p1 > p0 ? 0 : idle + 1;
        if (idle >= kMaxIdleTokens) return kSearchFailed;
        if (p1 < p0) p1 = p0;
        bool over = false;
        if (kind == kTokenTag) {
            bool isEnd = false;
            bool isEmpty = false;
            if (tokens.GetTag(isEnd, isEmpty) == kTagScript) inScript = !isEnd && !isEmpty;
            // Tags end words for whole-word matching ("cat</p><p>one"), though a tag inside a
            // word then splits it too.
            if (wholeWord && state_.Boundary(m) && keeper.Offer(m))
                return keeper.Result(matchStart, matchEnd);
            // Past the range only a match already begun is followed, over a few tags.
            if (p0 >= to && ++pastTags > pastLimit + 16) return keeper.Result(matchStart, matchEnd);
            continue;
        }
        if (kind == kTokenSpace) {
            over = feed(u' ', p0, p1);
        } else if (kind == kTokenText && !inScript) {
            const String& text = tokens.Text();
            int32_t n = text.Length();
            at.clear();
            if (source_->Distance(p0, p1, 0) == n) {
                uint32_t p = p0;
                for (int32_t i = 0; i < n; ++i) {
                    at.push_back(p);
                    p = i + 1 == n ? p1 : source_->Advance(p, 1, 0);
                }
            } else {
                raw.clear();
                rawPos.clear();
                if (!ReadRaw(source_, p0, p1, raw, rawPos)) return kSearchFailed;
                AlignDecoded(text, raw, rawPos, p1, at);
            }
            for (int32_t i = 0; i < n && !over; ++i) {
                uint32_t after = i + 1 < n ? at[static_cast<size_t>(i) + 1] : p1;
                if (after < at[static_cast<size_t>(i)]) after = at[static_cast<size_t>(i)];
                if (after == at[static_cast<size_t>(i)] && i + 1 == n) after = p1;
                over = feed(text[i], at[static_cast<size_t>(i)], after);
            }
        }
        if (over) return keeper.Result(matchStart, matchEnd);
    }
    if (state_.Finish(m)) keeper.Offer(m);
    return keeper.Result(matchStart, matchEnd);
}

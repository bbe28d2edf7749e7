#include "layout/searcher.h"

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

constexpr uint32_t kProgressRuns = 200;    // tokens between progress reports
constexpr uint32_t kMaxIdleTokens = 4096;  // tokens in a row that do not move: a broken source

// The raw characters of [from, to) with the position of each; false when a page is missing.
bool ReadRaw(DocumentSource* source, uint32_t from, uint32_t to, std::vector<char16_t>& chars,
             std::vector<uint32_t>& positions) {
    PageHold hold(source);
    uint32_t pos = from;
    while (pos < to) {
        if (!hold.Read(pos)) return false;
        const PageBuffer& page = hold.Page();
        if (page.start > pos) return false;
        int32_t d = source->Distance(page.start, pos, 0);
        if (d < 0) return false;
        for (uint32_t i = static_cast<uint32_t>(d); i < page.length && pos < to; ++i) {
            chars.push_back(page.text[i]);
            positions.push_back(pos);
            uint32_t next = source->Advance(pos, 1, 0);
            pos = next > pos ? next : pos + 1;
        }
        uint32_t pageEnd = page.start + page.spanLength;
        if (pos < pageEnd && pos < to) return false;
    }
    return true;
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

Searcher* Searcher::Create(DocumentSource* source, bool indexed) {
    Searcher* s = indexed ? static_cast<Searcher*>(new (std::nothrow) IndexedSearcher)
                          : static_cast<Searcher*>(new (std::nothrow) PlainSearcher);
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
        uint32_t last = source_->Advance(limit, -1, 0);
        if (last >= limit || !hold.Read(last)) return kSearchFailed;
        uint32_t pageStart = hold.Page().start;
        hold.Drop();
        if (pageStart >= limit) return kSearchFailed;  // a source that does not move back
        // The last match on this page that starts before the end; each Find goes on one
        // character after the previous match's start, so overlapping matches count too.
        bool any = false;
        uint32_t best = 0;
        uint32_t from = pageStart;
        while (from < limit) {
            uint32_t ms = 0;
            uint32_t me = 0;
            SearchResult r = Find(pattern, from, limit, ms, me, wholeWord, lowerCase);
            if (r == kSearchNotFound) break;
            if (r != kSearchFound) return r;
            any = true;
            best = ms;
            uint32_t next = source_->Advance(ms, 1, 0);
            if (next <= ms) break;
            from = next;
        }
        if (any) {
            found = best;
            end = best;
            return kSearchFound;
        }
        limit = pageStart;
    }
    return kSearchNotFound;
}

SearchResult PlainSearcher::Find(const String& pattern, uint32_t from, uint32_t to,
                                 uint32_t& matchStart, uint32_t& matchEnd, bool wholeWord,
                                 bool lowerCase) {
    uint32_t length = 0;
    SearchResult ready = BeginFind(pattern, from, to, wholeWord, lowerCase, length);
    if (ready != kSearchFound) return ready;
    // Read the character before the range too: a word may begin there.
    uint32_t pos = from;
    if (wholeWord && from > 0) {
        uint32_t before = source_->Advance(from, -1, 0);
        if (before < from) pos = before;
    }
    bool context = pos < from;
    // A match must start before `to`; past it, read only as far as one can still end.
    uint32_t past = 0;
    uint32_t pastLimit = static_cast<uint32_t>(state_.PatternLength()) + 1;
    uint32_t done = 0;
    PageHold hold(source_);
    SearchMatch m;
    while (pos < length) {
        if (!hold.Read(pos)) return kSearchFailed;
        const PageBuffer& page = hold.Page();
        if (page.start > pos || page.start + page.spanLength <= pos) return kSearchFailed;
        bool oneToOne = page.spanLength == page.length;
        uint32_t i = oneToOne ? pos - page.start
                              : static_cast<uint32_t>(source_->Distance(page.start, pos, 0));
        if (i >= page.length) return kSearchFailed;
        for (; i < page.length; ++i) {
            if (done % kProgressEvery == 0 && !Report(done)) return kSearchCancelled;
            ++done;
            char16_t c = page.text[i];
            uint32_t after = oneToOne ? page.start + i + 1 : source_->Advance(pos, 1, 0);
            if (after <= pos) after = pos + 1;
            if (context) {
                context = false;
                state_.SetContext(SearchState::IsSeparator(c));
            } else {
                if (pos >= to && ++past > pastLimit) return kSearchNotFound;
                if (state_.Feed(c, pos, after, m)) {
                    if (m.start >= to) return kSearchNotFound;
                    matchStart = m.start;
                    matchEnd = m.end;
                    return kSearchFound;
                }
            }
            pos = after;
        }
        if (!oneToOne) pos = page.start + page.spanLength;
    }
    if (state_.Finish(m) && m.start < to) {
        matchStart = m.start;
        matchEnd = m.end;
        return kSearchFound;
    }
    return kSearchNotFound;
}

SearchResult IndexedSearcher::Find(const String& pattern, uint32_t from, uint32_t to,
                                   uint32_t& matchStart, uint32_t& matchEnd, bool wholeWord,
                                   bool lowerCase) {
    uint32_t length = 0;
    SearchResult ready = BeginFind(pattern, from, to, wholeWord, lowerCase, length);
    if (ready != kSearchFound) return ready;
    if (wholeWord && from > 0) {
        // A word may begin before the range; a tag's end counts as a word edge.
        std::vector<char16_t> raw;
        std::vector<uint32_t> rawPos;
        uint32_t before = source_->Advance(from, -1, 0);
        if (before < from && ReadRaw(source_, before, from, raw, rawPos) && !raw.empty())
            state_.SetContext(raw.back() == u'>' || SearchState::IsSeparator(raw.back()));
    }
    HtmlTokenizer tokens(false);
    if (!tokens.Attach(source_, 0) || !tokens.Start(from, true)) return kSearchFailed;
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
    auto feed = [&](char16_t c, uint32_t p, uint32_t after) -> int {
        if (p >= to && ++past > pastLimit) return 0;
        ++done;
        if (!state_.Feed(c, p, after, m)) return -1;
        return m.start < to ? 1 : 0;
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
        int r = -1;
        if (kind == kTokenTag) {
            bool isEnd = false;
            bool isEmpty = false;
            if (tokens.GetTag(isEnd, isEmpty) == kTagScript) inScript = !isEnd && !isEmpty;
            // Tags end words for whole-word matching ("cat</p><p>one"), though a tag inside a
            // word then splits it too.
            if (wholeWord && state_.Boundary(m) && m.start < to) {
                matchStart = m.start;
                matchEnd = m.end;
                return kSearchFound;
            }
            // Past the range only a match already begun is followed, over a few tags.
            if (p0 >= to && ++pastTags > pastLimit + 16) return kSearchNotFound;
            continue;
        }
        if (kind == kTokenSpace) {
            r = feed(u' ', p0, p1);
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
            for (int32_t i = 0; i < n && r < 0; ++i) {
                uint32_t after = i + 1 < n ? at[static_cast<size_t>(i) + 1] : p1;
                if (after < at[static_cast<size_t>(i)]) after = at[static_cast<size_t>(i)];
                if (after == at[static_cast<size_t>(i)] && i + 1 == n) after = p1;
                r = feed(text[i], at[static_cast<size_t>(i)], after);
            }
        }
        if (r == 0) return kSearchNotFound;
        if (r == 1) {
            matchStart = m.start;
            matchEnd = m.end;
            return kSearchFound;
        }
    }
    if (state_.Finish(m) && m.start < to) {
        matchStart = m.start;
        matchEnd = m.end;
        return kSearchFound;
    }
    return kSearchNotFound;
}

#include "layout/hyphenation.h"

#include <algorithm>
#include <string>
#include <vector>

#include "bookfiles/document_source.h"
#include "core/char_props.h"
#include "layout/layout_fonts.h"

namespace {

// Longer "words" (a URL, a base64 blob) are only cut, never hyphenated: no syllable rule fits
// them, and reading them whole at every line end would cost their length each time.
constexpr int32_t kMaxSyllableWord = 64;

// SyllableMarks for a word known to be neither code nor to hold a soft hyphen; breakAfter
// holds n zeros.
bool ProseSyllableMarks(const char16_t* word, int32_t n, uint8_t* breakAfter);

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c < 0xDC00; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c < 0xE000; }

int ClassAt(const char16_t* w, int32_t i) {
    return CharProps::Class3(w[i]);
}

// The lower-case letter at i, or 0 when i lies outside [first, n).
char16_t LowerAt(const char16_t* w, int32_t i, int32_t first) {
    return i >= first ? CharProps::ToLower(w[i]) : 0;
}

bool OneOf(char16_t c, const char* set) {
    for (; *set; ++set)
        if (c == static_cast<char16_t>(*set)) return true;
    return false;
}

// The syllable boundary before p, or -1: the index of the first character of the piece that
// ends at p. Characters before first count as missing.
int32_t BoundaryBefore(const char16_t* w, int32_t first, int32_t p) {
    int32_t i = p - 1;
    while (i >= first && ClassAt(w, i) == 1) --i;
    int32_t vowelEnd = i;
    while (i >= first && ClassAt(w, i) == 2) --i;
    if (i == vowelEnd) return -1;  // no vowel: no further boundary
    int32_t b = i + 1;
    char16_t c1 = LowerAt(w, b - 1, first);
    char16_t c2 = LowerAt(w, b - 2, first);
    int32_t boundary = -1;
    if (c1 == u'l') {
        boundary = OneOf(c2, "bcfgp") ? b - 2 : b - 1;
    } else if (c1 == u'n') {
        boundary = c2 == u'g' ? b - 2 : b - 1;
    } else if (c1 == u'r') {
        boundary = OneOf(c2, "bcdfgptv") ? b - 2 : b - 1;
    }
    int32_t q = boundary >= 0 ? boundary : b;
    char16_t d1 = LowerAt(w, q - 1, first);
    if (d1 == u'h') {
        char16_t d2 = LowerAt(w, q - 2, first);
        if (d2 == u'c')
            boundary = LowerAt(w, q - 3, first) == u's' ? q - 3 : q - 2;
        else if (OneOf(d2, "pstw"))
            boundary = q - 2;
        else
            boundary = q - 1;
    }
    if (boundary < 0) boundary = (b - 1 >= first && ClassAt(w, b - 1) == 1) ? b - 1 : b;
    return boundary;
}

// A letter of any script (Class5: caseless, upper- or lower-case letter).
bool IsAnyLetter(char16_t c) { return CharProps::Class5(c) < 3; }

bool IsSoftHyphen(char16_t c) { return c == Hyphenation::kSoftHyphen; }

// Where an address or an identifier may be cut: after these, unless another follows ("//").
bool IsCodeBreak(char16_t c) { return c == u'/' || c == u'.' || c == u'-'; }

// Letters and digits: what a cut must leave on each side of an address.
bool IsWordChar(char16_t c) { return CharProps::Class5(c) < 5; }

bool IsLetter(char16_t c) {
    int cls = CharProps::Class3(c);
    return cls == 1 || cls == 2;
}

// A cut after w[i] in an address: after '/', '.' or '-' not followed by another of them, with
// two letters or digits at least on each side.
bool IsCodeBreakAt(const char16_t* w, int32_t n, int32_t i) {
    if (i < 1 || i + 1 >= n || !IsCodeBreak(w[i]) || IsCodeBreak(w[i + 1])) return false;
    int32_t before = 0, after = 0;
    for (int32_t k = 0; k <= i && before < 2; ++k) before += IsWordChar(w[k]);
    for (int32_t k = i + 1; k < n && after < 2; ++k) after += IsWordChar(w[k]);
    return before >= 2 && after >= 2;
}

// Two letters at least before a cut after w[i] and two after it.
bool LeavesTwoLetters(const char16_t* w, int32_t n, int32_t i) {
    int32_t before = 0, after = 0;
    for (int32_t k = 0; k <= i && before < 2; ++k) before += IsAnyLetter(w[k]);
    for (int32_t k = i + 1; k < n && after < 2; ++k) after += IsAnyLetter(w[k]);
    return before >= 2 && after >= 2;
}

// How many blanks follow from `from` on (spaces, and TABs when `tabs` is set); `at` reads a
// character, 0 past the end.
template <typename CharAt>
int64_t BlankRun(const CharAt& at, int64_t from, bool tabs) {
    int64_t end = from;
    for (char16_t c = at(end); c == u' ' || (tabs && c == u'\t'); c = at(++end)) {
    }
    return end - from;
}

// The source's characters from a position on, copied page by page until `need` of them are
// read (or the text ends), with the position of each page's first one: a run that crosses the
// end of a page the source reads is followed into the next page.
class SourceStretch {
public:
    bool Read(DocumentSource* source, uint32_t from, int64_t need) {
        source_ = source;
        uint32_t at = from;
        while (static_cast<int64_t>(chars_.size()) < need && pages_.size() < kMaxPages) {
            PageBuffer page;
            if (!source->ReadPage(at, page, 0, 0)) break;
            const int64_t skip = page.text ? source->Distance(page.start, at, 0) : -1;
            const bool read = skip >= 0 && skip <= page.length;
            if (read) {
                pages_.push_back({static_cast<int64_t>(chars_.size()), at});
                const int64_t wanted = need - static_cast<int64_t>(chars_.size());
                chars_.append(page.text + skip,
                              static_cast<size_t>(std::min<int64_t>(page.length - skip, wanted)));
            }
            const uint32_t next = page.start + page.spanLength;
            source->ReleasePage(page.pageId);
            if (!read || next <= at) break;
            at = next;
        }
        return !pages_.empty();
    }

    // The i-th character, 0 past what was read.
    char16_t At(int64_t i) const {
        return i < static_cast<int64_t>(chars_.size()) ? chars_[static_cast<size_t>(i)] : u'\0';
    }

    // Where the i-th character stands (past the last one read: where the next would).
    uint32_t PositionOf(int64_t i) const {
        size_t k = pages_.size() - 1;
        while (k > 0 && pages_[k].first > i) --k;
        return source_->Advance(pages_[k].position, static_cast<int32_t>(i - pages_[k].first), 0);
    }

private:
    // A cut word and what its references and TABs can span lie within a page or two.
    static constexpr size_t kMaxPages = 3;
    struct Start {
        int64_t first;
        uint32_t position;
    };
    DocumentSource* source_ = nullptr;
    std::u16string chars_;
    std::vector<Start> pages_;
};

// Where character `keep` of a run that starts at `runPos` stands in the source. A markup
// source gives its character references decoded ("&lt;" is one character of the run), and a
// listing's TABs as the spaces up to the next stop: the source's characters are walked beside
// the run's, a reference standing for one and a stretch of TABs for the spaces it gave (a cut
// inside them stands inside the TABs, never past the words after them). Where the two part
// otherwise, the run's characters are counted. Either way the walk goes on across the end of a
// page the source reads (a position counted within a page stops at its end).
uint32_t TailPosition(DocumentSource* source, uint32_t runPos, const String& text, int32_t keep) {
    if (!source) return runPos + static_cast<uint32_t>(keep);
    // A reference spans up to 12 characters; blanks after the cut are looked at too.
    constexpr int64_t kReferenceSpan = 12, kBlanksAfter = 256;
    SourceStretch raw;
    if (!raw.Read(source, runPos, kReferenceSpan * keep + kBlanksAfter))
        return source->Advance(runPos, keep, 0);
    auto rawAt = [&](int64_t i) { return raw.At(i); };
    auto textAt = [&](int64_t i) { return i < text.Length() ? text[i] : u'\0'; };
    // A listing's first run starts at the line end its start tag is followed by, which the
    // listing drops: the run's first character stands after it.
    int64_t lead = 0;
    while (lead < 2 && (rawAt(lead) == u'\r' || rawAt(lead) == u'\n') && text.Length() > 0 &&
           text[0] != u'\r' && text[0] != u'\n')
        ++lead;
    if (lead > 0 && rawAt(lead) != text[0] && rawAt(lead) != u'&') lead = 0;
    int64_t at = lead;
    bool ok = true;
    for (int32_t k = 0; ok && k < keep; ++k) {
        const char16_t c = rawAt(at);
        if (c == u'\t' && text[k] == u' ') {
            const int64_t rawBlank = BlankRun(rawAt, at, true);
            const int64_t textBlank = BlankRun(textAt, k, false);
            if (keep - k < textBlank) {
                at += (keep - k) * rawBlank / textBlank;
                break;
            }
            at += rawBlank;
            k += static_cast<int32_t>(textBlank) - 1;
            continue;
        }
        const bool literal = c == text[k] && (c != u'&' || k + 1 >= text.Length() ||
                                              rawAt(at + 1) == text[k + 1]);
        if (literal) {
            ++at;
            continue;
        }
        int64_t end = at + 1;
        while (c == u'&' && end - at < kReferenceSpan && rawAt(end) != u'\0' && rawAt(end) != u';')
            ++end;
        ok = c == u'&' && rawAt(end) == u';';
        at = end + 1;
    }
    return raw.PositionOf(ok ? at : lead + keep);
}

}  // namespace

bool Hyphenation::IsCodeLike(const char16_t* w, int32_t n) {
    for (int32_t i = 0; i < n; ++i) {
        char16_t c = w[i];
        if (c == u'/' || c == u'\\' || c == u'@' || c == u'_') return true;
        const int cls = CharProps::Class5(c);
        if (cls == 3) return true;  // a digit
        // Only '.', ':' and a capital tell by their neighbours; a word's other letters pass on
        // without looking at theirs.
        const bool separator = c == u'.' || c == u':';
        if (!separator && cls != 1) continue;
        if (i == 0 || i + 1 >= n || !IsAnyLetter(w[i - 1]) || !IsAnyLetter(w[i + 1])) continue;
        // Between letters: "apache.org", "namespace:name", "writeHeader".
        if (separator) return true;
        if (CharProps::Class5(w[i - 1]) == 2) return true;
    }
    return false;
}

bool Hyphenation::IsCjkLanguage(uint32_t language) {
    uint32_t primary = language & 0x3FF;
    return primary == 4 || primary == 17 || primary == 18;
}

bool Hyphenation::SyllableMarks(const char16_t* word, int32_t n, uint8_t* breakAfter) {
    for (int32_t i = 0; i < n; ++i) breakAfter[i] = 0;
    if (IsCodeLike(word, n)) return false;
    for (int32_t i = 0; i < n; ++i)
        if (IsSoftHyphen(word[i])) return false;  // the author's breaks only
    return ProseSyllableMarks(word, n, breakAfter);
}

namespace {

bool ProseSyllableMarks(const char16_t* word, int32_t n, uint8_t* breakAfter) {
    // Words in capitals are names, acronyms and headings: broken, they read as two words.
    int32_t capitals = 0;
    bool lower = false;
    for (int32_t i = 0; i < n; ++i) {
        const int cls = CharProps::Class5(word[i]);
        capitals += cls == 1;
        lower = lower || cls == 2;
    }
    if (capitals >= 2 && !lower) return false;
    int32_t first = 0;
    while (first < n && ClassAt(word, first) == 3) ++first;
    bool lead = first > 0;
    while (first < n && ClassAt(word, first) == 4) ++first;
    int32_t last = n;
    while (last > first && ClassAt(word, last - 1) == 3) --last;
    bool trail = last < n;
    while (last > first && ClassAt(word, last - 1) == 4) --last;

    int32_t pieces = 1;
    bool firstFound = true;
    for (int32_t p = last; p > first;) {
        int32_t b = BoundaryBefore(word, first, p);
        // A boundary at the word's start splits nothing; one before it would write outside.
        if (b <= first || b >= p) break;
        ++pieces;
        if (!(firstFound && trail)) breakAfter[b - 1] = 1;
        firstFound = false;
        p = b;
    }
    int32_t need = (lead ? 2 : 1) + (trail ? 2 : 1);
    if (need < 3) need = 3;
    if (pieces < need) {
        for (int32_t i = 0; i < n; ++i) breakAfter[i] = 0;
        return false;
    }
    if (lead) {
        for (int32_t i = 0; i < n; ++i) {
            if (breakAfter[i]) {
                breakAfter[i] = 0;
                break;
            }
        }
    }
    if (n > 0) breakAfter[0] = 0;
    if (n > 1) breakAfter[1] = 0;
    // At least two letters stay on the line and three go to the next: a lone "ce" or "ly"
    // on a line of its own reads worse than an unbroken word.
    int32_t letters = 0;
    for (int32_t i = 0; i < n; ++i) letters += IsLetter(word[i]);
    int32_t before = 0;
    bool any = false;
    for (int32_t i = 0; i < n; ++i) {
        before += IsLetter(word[i]);
        if (!breakAfter[i]) continue;
        if (before < 2 || letters - before < 3)
            breakAfter[i] = 0;
        else
            any = true;
    }
    return any;
}

}  // namespace

WordSplitter::Scratch& WordSplitter::Kept() {
    thread_local Scratch scratch;
    return scratch;
}

WordSplitter::WordSplitter(BlockContents& block, LayoutFonts& fonts, DocumentSource* source)
    : block_(block), fonts_(fonts), source_(source), scratch_(Kept()), cells_(scratch_.cells) {}

WordSplitter::~WordSplitter() {
    if (scratch_.owner == this) scratch_.owner = nullptr;  // a later splitter may live here
}

bool WordSplitter::Build(BlockCursor cursor, const BlockCursor& end, int32_t limit) {
    if (built_ && scratch_.owner == this && builtFrom_ == cursor.position &&
        builtEnd_ == end.position && builtLimit_ == limit)
        return builtResult_;
    built_ = true;
    scratch_.owner = this;
    builtFrom_ = cursor.position;
    builtEnd_ = end.position;
    builtLimit_ = limit;
    builtResult_ = BuildCells(cursor, end, limit);
    return builtResult_;
}

bool WordSplitter::BuildCells(BlockCursor cursor, const BlockCursor& end, int32_t limit) {
    cells_.clear();
    int32_t x = 0;
    bool measuring = true;
    for (BlockCursor c = cursor; c.position < end.position && !c.AtEnd(); c.Next()) {
        uint32_t kind = c.Kind();
        if (kind == kItemStyleChange) {
            const PositionRecord* s = block_.Style(c.counts[kItemStyleChange]);
            fonts_.Select(s->size, s->style, s->face);
            continue;
        }
        if (kind != kItemTextRun) continue;
        const TextRun* run = block_.Run(c.counts[kItemTextRun]);
        int32_t n = run->text.Length();
        for (int32_t i = 0; i < n; ++i) {
            Cell cell{x, 0, run->text[i], 0, c.counts[kItemTextRun], i};
            // A surrogate pair is one character: measured whole on its first half, the
            // second half takes no width.
            bool low = i > 0 && IsHighSurrogate(run->text[i - 1]) && IsLowSurrogate(cell.ch);
            bool pair = i + 1 < n && IsHighSurrogate(cell.ch) && IsLowSurrogate(run->text[i + 1]);
            if (measuring) {
                if (n == 1) {
                    cell.width = run->width;
                } else if (pair) {
                    Size size;
                    fonts_.Measure(run->text.Data() + i, 2, size);
                    cell.width = size.width;
                } else if (!low) {
                    cell.width = fonts_.CharWidth(cell.ch);
                }
                x += cell.width;
                if (x > limit) measuring = false;
            } else {
                cell.x = x;
                cell.width = limit + 1;  // past the line: never fits
                if (static_cast<int32_t>(cells_.size()) > kMaxSyllableWord) return true;
            }
            cells_.push_back(cell);
        }
    }
    return !cells_.empty();
}

bool WordSplitter::SplitAfter(int32_t i, BlockCursor cursor, int32_t hyphen, int32_t& available,
                              BlockCursor& after) {
    built_ = false;  // the block changes below
    const Cell& cell = cells_[static_cast<size_t>(i)];
    BlockCursor c = cursor;
    while (!c.AtEnd() && !(c.Kind() == kItemTextRun && c.counts[kItemTextRun] == cell.run))
        c.Next();
    if (c.AtEnd()) return false;
    TextRun* run = block_.Run(cell.run);
    int32_t keep = cell.offset + 1;
    int32_t kept = 0;
    for (int32_t k = i - cell.offset; k <= i; ++k) kept += cells_[static_cast<size_t>(k)].width;
    uint32_t runPos = block_.PositionAt(c);
    BlockCursor rest = c;
    rest.Next();
    if (keep < run->text.Length()) {
        TextRun tail;
        tail.x = run->x;
        tail.y = run->y;
        tail.height = run->height;
        tail.width = run->width > kept ? run->width - kept : 0;
        tail.text.AssignSub(run->text, keep, run->text.Length() - keep);
        tail.cutTail = true;
        const uint32_t tailPos = TailPosition(source_, runPos, run->text, keep);
        if (!block_.Insert(rest, tail, tailPos)) return false;
        run = block_.Run(cell.run);  // the insert may have moved the array
        String head;
        head.AssignSub(run->text, 0, keep);
        run->text = head;
        run->width = kept;
    }
    available -= cell.x + cell.width;
    if (hyphen > 0) {
        FlowMark mark;
        mark.type = kMarkHyphen;
        mark.width = hyphen;
        if (block_.Insert(rest, mark, block_.PositionAt(rest), true)) {
            available -= hyphen;
            rest.Next();
        }
    }
    after = rest;
    return true;
}

bool WordSplitter::HyphenateRun(uint32_t language, BlockCursor cursor, const BlockCursor& end,
                                int32_t& available, BlockCursor& after) {
    if (!Build(cursor, end, available)) return false;
    int32_t n = static_cast<int32_t>(cells_.size());
    if (n < 2) return false;
    std::vector<char16_t>& chars = scratch_.chars;
    chars.resize(static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i) chars[i] = cells_[i].ch;
    const char16_t* w = chars.data();
    const bool code = Hyphenation::IsCodeLike(w, n);
    const int32_t hyphen = fonts_.HyphenWidth();
    // The word's own break points, the last that fits: after an explicit hyphen (nothing is
    // added), after a soft hyphen (which shows as a hyphen), and in an address or identifier
    // after '/', '.' or '-'.
    int32_t br = -1;
    bool soft = false, softBreak = false;
    for (int32_t i = 1; i + 1 < n; ++i) {
        const bool shy = IsSoftHyphen(w[i]);
        soft = soft || shy;
        bool point;
        if (shy)
            point = LeavesTwoLetters(w, n, i) || code;
        else if (code)
            point = IsCodeBreakAt(w, n, i);
        else
            point = CharProps::Class5(w[i]) == CharProps::kClassHyphen && LeavesTwoLetters(w, n, i);
        if (point && cells_[i].x + cells_[i].width + (shy ? hyphen : 0) < available) {
            br = i;
            softBreak = shy;
        }
    }
    if (br >= 0) return SplitAfter(br, cursor, softBreak ? hyphen : 0, available, after);
    // A soft hyphen at either edge offers no break, yet says the author marked the word's
    // breaks: it gets no others.
    soft = soft || IsSoftHyphen(w[0]) || IsSoftHyphen(w[n - 1]);
    if (code || soft || Hyphenation::IsCjkLanguage(language) || n > kMaxSyllableWord) return false;
    std::vector<uint8_t>& marks = scratch_.marks;
    marks.assign(static_cast<size_t>(n), 0);
    // Neither code nor holding a soft hyphen, as found above.
    if (!ProseSyllableMarks(w, n, marks.data())) return false;
    for (int32_t i = n - 2; i >= 0; --i) {
        if (marks[i] && cells_[i].x + cells_[i].width + hyphen < available)
            return SplitAfter(i, cursor, hyphen, available, after);
    }
    return false;
}

bool WordSplitter::BreakRun(uint32_t language, BlockCursor cursor, const BlockCursor& end,
                            int32_t& available, BlockCursor& after, bool addHyphen) {
    if (!Build(cursor, end, available)) return false;
    int32_t n = static_cast<int32_t>(cells_.size());
    // Cut without a hyphen: CJK text, and text asked to keep its characters as written.
    bool cjk = Hyphenation::IsCjkLanguage(language) || !addHyphen;
    int32_t hyphen = fonts_.HyphenWidth();
    int32_t cut = 0;
    while (cut < n && cells_[cut].x + cells_[cut].width + (cjk ? 0 : hyphen) <= available) ++cut;
    // Never between the halves of a pair.
    if (cut > 0 && cut < n && IsLowSurrogate(cells_[cut].ch) && IsHighSurrogate(cells_[cut - 1].ch))
        --cut;
    // A cut before the first character would leave a line of nothing but a hyphen.
    if (cut <= 0 || cut >= n) return false;
    if (!cjk) {
        std::vector<char16_t>& chars = scratch_.chars;
        chars.resize(static_cast<size_t>(n));
        for (int32_t i = 0; i < n; ++i) chars[i] = cells_[i].ch;
        const char16_t* w = chars.data();
        if (Hyphenation::IsCodeLike(w, n)) {
            // An address breaks after '/', '.' or '-'; only when none fits is it cut, and a
            // hyphen is never put into it.
            for (int32_t i = n - 2; i >= 1; --i)
                if (IsCodeBreakAt(w, n, i) && cells_[i].x + cells_[i].width <= available)
                    return SplitAfter(i, cursor, 0, available, after);
            return SplitAfter(cut - 1, cursor, 0, available, after);
        }
        // Two letters at least on each side, when the line holds two.
        for (int32_t c = cut; c >= 1; --c) {
            if (LeavesTwoLetters(w, n, c - 1)) {
                cut = c;
                break;
            }
        }
    }
    char16_t last = cells_[cut - 1].ch;
    bool letter = CharProps::Class5(last) < 3 || IsSoftHyphen(last);
    return SplitAfter(cut - 1, cursor, cjk || !letter ? 0 : hyphen, available, after);
}

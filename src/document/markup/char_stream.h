// The characters of a document source as the token sources read them: pages are loaded into
// segments, and the characters of the last token are kept as pieces, views of the segments'
// strings, so that token text is not copied.
#pragma once

#include <cstdint>
#include <vector>

#include "bookfiles/document_source.h"
#include "core/char_props.h"
#include "core/charset.h"
#include "core/string.h"
#include "document/markup/scanner.h"

class CharStream {
public:
    CharStream() = default;
    ~CharStream();
    CharStream(const CharStream&) = delete;
    CharStream& operator=(const CharStream&) = delete;

    void Attach(DocumentSource* source, uint32_t mode);
    DocumentSource* Source() const { return source_; }
    uint32_t Mode() const { return mode_; }

    // Stores the position and drops the current segment.
    void SetPosition(uint32_t position);
    uint32_t GetPosition() {
        if (cur_ >= 0 && segments_[cur_].offsetsAdd) return segments_[cur_].page.start + off_;
        return MappedPosition();
    }
    // The character at the read position; false at the end of input.
    [[gnu::always_inline]] bool Peek(char16_t& c) {
        if (cur_ >= 0 && off_ < segments_[cur_].page.length) {
            c = segments_[cur_].chars.Data()[off_];
            return true;
        }
        return PeekSlow(c);
    }
    // A cheap note of the read position, turned into a position only when needed.
    struct Mark {
        uint32_t base;
        uint32_t offset;
        bool inPage;
        bool added;  // the page's offsets add to its start
    };
    Mark GetMark() const {
        if (cur_ < 0) return {position_, 0, false, false};
        const Segment& s = segments_[cur_];
        return {s.page.start, off_, true, s.offsetsAdd};
    }
    uint32_t PositionOf(const Mark& m) {
        if (!m.inPage || !source_) return m.base;
        if (m.added) return m.base + m.offset;
        return source_->Advance(m.base, static_cast<int32_t>(m.offset), mode_);
    }
    // Reads one character; false at the end of input.
    bool NextChar(char16_t& c);

    enum ReadResult { kReadToken = 0, kReadNoToken = 1, kReadEnd = 2, kReadNoMemory = 3 };
    // Cuts one token with the scanner; limit 0 means none. With a limit, a CJK character or
    // U+200C is read alone and never joins a word.
    int ReadToken(int32_t& token, uint32_t limit);

    // A word or a run of white space of text mode that lies wholly inside the current page, cut
    // without the scanner (the same cut the scanner makes): 1 a word (its text in word), 2 white
    // space, 0 when the scanner must decide. Off when quickPath is false (tests compare both).
    // (Most tokens of a book: inline in each of its two callers.)
    [[gnu::always_inline]] inline int QuickTextToken(String& word);
    static inline bool quickPath = true;
    // Text-mode words are cut after this many characters.
    static constexpr uint32_t kWordLimit = 30;

    // The current page from the read position on (count 0 when no page is loaded), for readers
    // that cut a whole construct at once. The two calls after such a cut: the piece [from, from
    // + length), relative to the read position, becomes the one piece, as if the scanner had just
    // read it; then the read position moves count characters on within the page.
    uint32_t PageAhead(const char16_t*& chars) {
        if ((cur_ < 0 || off_ >= segments_[cur_].page.length) && !EnsureCurrent()) return 0;
        chars = segments_[cur_].chars.Data() + off_;
        return segments_[cur_].page.length - off_;
    }
    void SetPieceAhead(uint32_t from, uint32_t length) {
        DropPieces();
        AddPiece(cur_, off_ + from, length);
    }
    // A view of [from, from + length) of the current page, sharing the page's string.
    void ViewAhead(uint32_t from, uint32_t length, String& out) const {
        out.AssignSub(segments_[cur_].chars, static_cast<int32_t>(off_ + from),
                      static_cast<int32_t>(length));
    }
    void SkipAhead(uint32_t count) {
        off_ += count;
        if (off_ >= segments_[cur_].page.length) {
            position_ = segments_[cur_].page.start + segments_[cur_].page.spanLength;
            cur_ = -1;
        }
    }

    // Moves the read position on to the next `stop` character, over pages that end before
    // `before` (and, in a page whose positions count its characters, up to `before`); the
    // characters passed make no token. 0 when it did not move, else the last character
    // passed.
    char16_t SkipTo(char16_t stop, uint32_t before);

    uint32_t PieceCount() const { return static_cast<uint32_t>(pieces_.size()); }
    const char16_t* PieceData(uint32_t i) const {
        return segments_[pieces_[i].seg].chars.Data() + pieces_[i].off;
    }
    uint32_t PieceLength(uint32_t i) const { return pieces_[i].len; }
    // A view of piece i sharing the page's string.
    void PieceString(uint32_t i, String& out) const;
    uint32_t GetLength() const;
    bool AppendTo(String& out) const;
    void PopPieces(uint32_t n);
    void ClearPieces() { DropPieces(); }

    // Walks a keyword tree over the pieces (exact for entities, folded for markup names).
    uint16_t FindMarkupName() const;
    // The same for a tag's name, MENU and DIR taken as UL.
    uint16_t FindTagName() const;
    // The same for an attribute name of the tag (BODY's TEXT taken as COLOR).
    uint16_t FindAttributeName(uint32_t tag) const;
    // The name's characters when at most max; 0 otherwise.
    uint32_t ShortName(char16_t* out, uint32_t max) const;

    // The pieces as one String, with optional quote stripping and reference decoding (only
    // for texts of at least 3 characters). False when the output cannot grow.
    bool ExtractText(String& out, bool decode, bool stripQuotes, bool append);
    // Decodes the one reference the pieces hold: 1 text produced (0 when storing failed), 4 an
    // empty replacement, 5 the non-joiner.
    int DecodeSingleEntity(String& out, bool append);
    static bool AppendCodePoint(uint32_t code, String& out);

    // Gives back every loaded segment but keep whose string nobody else holds. It looks only at
    // the segments no piece refers to, so a token spanning many pages costs in proportion.
    void ReleaseUnused(int32_t keep);
    void ReleaseUnusedButCurrent() { ReleaseUnused(cur_); }
    void ClearSegments();

    Scanner scanner;

private:
    struct Segment {
        bool loaded = false;
        PageBuffer page;
        String chars;
        bool stops = false;  // holds a character that is read alone (CJK or U+200C)
        uint32_t pieces = 0;  // pieces referring to it: it is kept while there are any
        bool idle = false;    // listed in idle_
        // The source maps an offset in the page to the page's start plus the offset (asked
        // once a page).
        bool offsetsAdd = false;
    };

    // The read position through the source's own mapping of the current page's offsets.
    uint32_t MappedPosition();
    bool Load(uint32_t position);
    bool PeekSlow(char16_t& c);
    bool EnsureCurrent();
    // A token the limit cut at the current segment's end after a high surrogate gives that unit
    // back when the next segment starts with its low surrogate.
    void UnsplitPairAtSegmentEnd();
    void SetCurrentAt(int32_t seg, uint32_t position);
    static bool IsStop(char16_t c) {
        return c >= 0x1100 && (c == 0x200C || CharProps::IsCjk(c));
    }
    static bool HoldsStops(const char16_t* chars, uint32_t n);

    DocumentSource* source_ = nullptr;
    uint32_t mode_ = 0;
    // The source position of the last offset GetPosition mapped in a loaded page; forgotten
    // whenever pages are loaded or dropped.
    struct PositionMemo {
        uint32_t base = 0;
        uint32_t offset = 0;
        uint32_t result = 0;
        bool valid = false;
    };
    PositionMemo memo_;
    std::vector<Segment> segments_;
    int32_t cur_ = -1;
    uint32_t off_ = 0;
    uint32_t position_ = 0;
    // The pieces name their segments, which are kept while pieces refer to them.
    struct PieceRef {
        int32_t seg;
        uint32_t off;
        uint32_t len;
    };
    std::vector<PieceRef> pieces_;
    void AddPiece(int32_t seg, uint32_t off, uint32_t len) {
        pieces_.push_back({seg, off, len});
        ++segments_[seg].pieces;
    }
    void DropPiece(const PieceRef& p) {
        if (--segments_[p.seg].pieces == 0) MarkIdle(p.seg);
    }
    void DropPieces() {
        for (const PieceRef& p : pieces_) DropPiece(p);
        pieces_.clear();
    }
    // The pieces become the one given. A word after a word of the same segment (most of them)
    // moves its one piece on: the segment stays referred to throughout.
    void ReplacePieces(int32_t seg, uint32_t off, uint32_t len) {
        if (pieces_.size() == 1 && pieces_[0].seg == seg) {
            pieces_[0].off = off;
            pieces_[0].len = len;
            return;
        }
        DropPieces();
        AddPiece(seg, off, len);
    }
    void MarkIdle(int32_t seg) {
        if (segments_[seg].idle) return;
        segments_[seg].idle = true;
        idle_.push_back(seg);
    }
    // Loaded segments that no piece referred to when listed (the only ones ReleaseUnused looks
    // at; entries that took a piece since are dropped as it passes), and unloaded slots.
    std::vector<int32_t> idle_;
    std::vector<int32_t> free_;
    // No loaded segment reaches this position (a bound, made exact whenever the segments are
    // searched): reading on past every page needs no search.
    uint32_t loadedEnd_ = 0;
    // The text of the last reference that started a text (see DecodeSingleEntity).
    String decoded_;
    template <typename Write>
    bool WriteDecoded(String& out, bool append, Write write);
};

inline int CharStream::QuickTextToken(String& word) {
    if (!quickPath) return 0;
    // At a page end the next page is loaded, as the scanner's path would load it.
    if ((cur_ < 0 || off_ >= segments_[cur_].page.length) && !EnsureCurrent()) return 0;
    Segment& s = segments_[cur_];
    const uint32_t n = s.page.length;
    const uint32_t i = off_;
    if (s.stops) return 0;
    const char16_t* p = s.chars.Data();
    const uint32_t end = n - i > kWordLimit ? i + kWordLimit : n;
    // The characters that end a word (white space, '&', '<') all lie below 64, so one
    // comparison lets letters pass and a bit mask tells the rest.
    constexpr uint64_t kWhite = 1ull << 9 | 1ull << 10 | 1ull << 13 | 1ull << 32;
    constexpr uint64_t kWordEnd = kWhite | 1ull << '&' | 1ull << '<';
    auto is = [](uint64_t set, char16_t c) { return c < 64 && (set >> c & 1); };
    char16_t c = p[i];
    uint32_t j = i + 1;
    int kind;
    if (is(kWhite, c)) {
        while (j < end && is(kWhite, p[j])) ++j;
        kind = 2;
    } else if (c == u'&' || c == u'<') {
        return 0;
    } else {
        while (j < end && !is(kWordEnd, p[j])) ++j;
        // A word cut at the limit is not cut inside a surrogate pair: the pair is one character,
        // a lone high surrogate is one of its own. Whether a low one follows a cut at the page
        // end only the next page tells, which the scanner's path loads.
        if (j == end && j - i >= 2 && Utf16::IsHigh(p[j - 1])) {
            if (j == n) return 0;
            if (Utf16::IsLow(p[j])) --j;
        }
        kind = 1;
    }
    // A run reaching the page end short of the limit may go on in the next page.
    if (j == n && j - i < kWordLimit) return 0;
    ReplacePieces(cur_, i, j - i);
    if (kind == 1) word.AssignSub(s.chars, static_cast<int32_t>(i), static_cast<int32_t>(j - i));
    off_ = j;
    if (j >= n) {
        position_ = s.page.start + s.page.spanLength;
        cur_ = -1;
    }
    return kind;
}

// References inside a text: "&name;", "&#123;", "&#x7B;" (';' optional).
namespace Entities {
struct Found {
    int32_t start = 0;      // the '&'
    int32_t nameStart = 0;  // just after it
    int32_t nameEnd = 0;    // before the ';' or the first character that ends it
    int32_t end = 0;        // just past the reference
    bool numeric = false;
};
// The next reference at or after from; false when there is none.
bool FindEntity(const char16_t* s, int32_t n, int32_t from, Found& out);
enum DecodeKind { kNotDecodable = 0, kEntityId = 1, kCodePoint = 2 };
// An entity id (named, or a numeric value that has one) or a code point.
DecodeKind DecodeEntity(const char16_t* name, int32_t n, bool numeric, uint32_t& value);
// The character an entity id stands for (U+00A0 for the space-like ones); 0 when none.
char16_t Replacement(uint32_t id);
}  // namespace Entities

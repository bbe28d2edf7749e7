// The characters of a document source as the token sources read them: pages are loaded into
// segments, and the characters of the last token are kept as pieces, views of the segments'
// strings, so that token text is not copied.
#pragma once

#include <cstdint>
#include <vector>

#include "bookfiles/document_source.h"
#include "core/char_props.h"
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
    uint32_t GetPosition();
    // The character at the read position; false at the end of input.
    bool Peek(char16_t& c) {
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
    };
    Mark GetMark() const {
        if (cur_ < 0) return {position_, 0, false};
        return {segments_[cur_].page.start, off_, true};
    }
    uint32_t PositionOf(const Mark& m) {
        if (!m.inPage || !source_) return m.base;
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
    int QuickTextToken(String& word);
    static inline bool quickPath = true;

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
    void ClearPieces() { pieces_.clear(); }

    // Walks a keyword tree over the pieces (exact for entities, folded for markup names).
    uint16_t FindMarkupName() const;

    // The pieces as one String, with optional quote stripping and reference decoding (only
    // for texts of at least 3 characters). False when the output cannot grow.
    bool ExtractText(String& out, bool decode, bool stripQuotes, bool append);
    // Decodes the one reference the pieces hold: 1 text produced (0 when storing failed), 4 an
    // empty replacement, 5 the non-joiner.
    int DecodeSingleEntity(String& out, bool append);
    static bool AppendCodePoint(uint32_t code, String& out);

    // Gives back every loaded segment but keep whose string nobody else holds.
    void ReleaseUnused(int32_t keep);
    void ReleaseUnusedButCurrent() { ReleaseUnused(cur_); }
    void ClearSegments();

    Scanner scanner;

private:
    struct Segment {
        bool loaded = false;
        PageBuffer page;
        String chars;
        bool wide = false;  // holds a character from U+1100 up (CJK or U+200C possible)
    };

    bool Load(uint32_t position);
    bool PeekSlow(char16_t& c);
    bool EnsureCurrent();
    void SetCurrentAt(int32_t seg, uint32_t position);
    static bool IsStop(char16_t c) {
        return c >= 0x1100 && (c == 0x200C || CharProps::IsCjk(c));
    }

    DocumentSource* source_ = nullptr;
    uint32_t mode_ = 0;
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
    bool InPieces(int32_t seg) const;
};

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

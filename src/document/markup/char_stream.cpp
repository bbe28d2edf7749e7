#include "document/markup/char_stream.h"

#include <algorithm>
#include <memory>
#include <new>
#include <string>

#include "core/char_props.h"
#include "core/charset.h"
#include "core/html.h"
#include "document/markup/keyword_tree.h"
#include "document/markup/markup_tags.h"

namespace {

// The pieces flattened into one run of characters: on the stack for the short texts of
// references and attribute values, on the heap beyond.
class Flat {
public:
    bool Reserve(size_t n) {
        if (n <= sizeof(local_) / sizeof(local_[0])) return true;
        heap_.reset(new (std::nothrow) char16_t[n]);
        data_ = heap_.get();
        return data_ != nullptr;
    }
    void Append(const char16_t* p, size_t n) {
        for (size_t i = 0; i < n; ++i) data_[size_ + i] = p[i];
        size_ += n;
    }
    const char16_t* data() const { return data_; }
    size_t size() const { return size_; }

private:
    char16_t local_[128];
    std::unique_ptr<char16_t[]> heap_;
    char16_t* data_ = local_;
    size_t size_ = 0;
};

}  // namespace

CharStream::~CharStream() { ClearSegments(); }

void CharStream::Attach(DocumentSource* source, uint32_t mode) {
    ClearSegments();
    source_ = source;
    mode_ = mode;
    position_ = 0;
    memo_ = PositionMemo{};
}

void CharStream::ClearSegments() {
    pieces_.clear();  // the segments go with them
    for (Segment& s : segments_) {
        if (s.loaded && source_) source_->ReleasePage(s.page.pageId);
        s.loaded = false;
        s.chars.Release();
    }
    segments_.clear();
    idle_.clear();
    free_.clear();
    loadedEnd_ = 0;
    cur_ = -1;
    memo_ = PositionMemo{};
}

void CharStream::PieceString(uint32_t i, String& out) const {
    const PieceRef& p = pieces_[i];
    out.AssignSub(segments_[p.seg].chars, static_cast<int32_t>(p.off), static_cast<int32_t>(p.len));
}

void CharStream::ReleaseUnused(int32_t keep) {
    size_t kept = 0;
    for (size_t k = 0; k < idle_.size(); ++k) {
        int32_t i = idle_[k];
        Segment& s = segments_[i];
        if (!s.loaded || s.pieces != 0) {
            s.idle = false;  // listed again once loaded or left by its pieces
            continue;
        }
        if (i == keep || !s.chars.IsSoleHolder()) {
            idle_[kept++] = i;
            continue;
        }
        s.idle = false;
        s.chars.Release();
        s.loaded = false;
        free_.push_back(i);
        if (source_) source_->ReleasePage(s.page.pageId);
        if (i == cur_) cur_ = -1;
    }
    idle_.resize(kept);
}

void CharStream::SetPosition(uint32_t position) {
    position_ = position;
    cur_ = -1;
}

uint32_t CharStream::MappedPosition() {
    if (cur_ < 0 || !source_) return position_;
    const Segment& s = segments_[cur_];
    // The layout asks after each token and again before the next: the second answer is kept.
    if (memo_.valid && memo_.base == s.page.start && memo_.offset == off_) return memo_.result;
    uint32_t result = source_->Advance(s.page.start, static_cast<int32_t>(off_), mode_);
    memo_ = PositionMemo{s.page.start, off_, result, true};
    return result;
}

void CharStream::SetCurrentAt(int32_t seg, uint32_t position) {
    const Segment& s = segments_[seg];
    int32_t d = source_->Distance(s.page.start, position, mode_);
    if (d < 0) d = 0;
    if (static_cast<uint32_t>(d) > s.page.length) d = static_cast<int32_t>(s.page.length);
    cur_ = seg;
    off_ = static_cast<uint32_t>(d);
    position_ = s.page.start + s.page.spanLength;
}

bool CharStream::Load(uint32_t position) {
    if (!source_) return false;
    memo_ = PositionMemo{};  // a page read again need not map as the one it replaces
    if (position < loadedEnd_) {
        uint32_t end = 0;
        for (int32_t i = 0; i < static_cast<int32_t>(segments_.size()); ++i) {
            const Segment& s = segments_[i];
            if (!s.loaded) continue;
            if (position >= s.page.start && position - s.page.start < s.page.spanLength) {
                SetCurrentAt(i, position);
                return off_ < s.page.length;
            }
            uint32_t sEnd = s.page.start + s.page.spanLength;
            if (sEnd > end) end = sEnd;
        }
        loadedEnd_ = end;
    }
    if (free_.empty()) ReleaseUnused(-1);
    int32_t slot;
    if (!free_.empty()) {
        slot = free_.back();
        free_.pop_back();
    } else {
        segments_.emplace_back();
        slot = static_cast<int32_t>(segments_.size()) - 1;
    }
    Segment& s = segments_[slot];
    PageBuffer page;
    bool read = source_->ReadPage(position, page, 0, 0);
    if (!read || page.length == 0 || page.spanLength == 0 || page.start > position ||
        !s.chars.AssignChars(page.text, static_cast<int32_t>(page.length))) {
        if (read) source_->ReleasePage(page.pageId);
        free_.push_back(slot);
        return false;
    }
    s.page = page;
    s.loaded = true;
    s.stops = HoldsStops(s.chars.Data(), page.length);
    s.offsetsAdd = source_->OnePositionPerCharacter(mode_);
    MarkIdle(slot);
    uint32_t end = page.start + page.spanLength;
    if (end < page.start) end = 0xFFFFFFFFu;
    if (end > loadedEnd_) loadedEnd_ = end;
    SetCurrentAt(slot, position);
    if (off_ >= s.page.length) {
        // A position past the characters of its page: go on at the next page.
        cur_ = -1;
        return Load(s.page.start + s.page.spanLength);
    }
    return true;
}

bool CharStream::HoldsStops(const char16_t* chars, uint32_t n) {
    // Most text holds nothing from U+1100 up, which a branch-free (vectorized) pass over a block
    // tells; only blocks that do (a curly quote or a dash is enough) are looked at one by one.
    constexpr uint32_t kBlock = 32;
    for (uint32_t start = 0; start < n; start += kBlock) {
        const uint32_t end = n - start > kBlock ? start + kBlock : n;
        uint32_t high = 0;  // an integer: a bool here keeps the compiler from vectorizing
        for (uint32_t i = start; i < end; ++i) high |= chars[i] >= 0x1100;
        if (!high) continue;
        for (uint32_t i = start; i < end; ++i)
            if (IsStop(chars[i])) return true;
    }
    return false;
}

bool CharStream::EnsureCurrent() {
    if (cur_ >= 0 && off_ < segments_[cur_].page.length) return true;
    if (cur_ >= 0) {
        const Segment& s = segments_[cur_];
        position_ = s.page.start + s.page.spanLength;
        cur_ = -1;
    }
    uint32_t length = source_ ? source_->GetLength() : 0;
    if (!source_ || (length != 0xFFFFFFFFu && position_ >= length)) return false;
    return Load(position_);
}

bool CharStream::PeekSlow(char16_t& c) {
    if (!EnsureCurrent()) return false;
    c = segments_[cur_].chars[static_cast<int32_t>(off_)];
    return true;
}

char16_t CharStream::SkipTo(char16_t stop, uint32_t before) {
    char16_t last = 0;
    while (EnsureCurrent()) {
        Segment& s = segments_[cur_];
        const char16_t* chars = s.chars.Data();
        const char16_t* from = chars + off_;
        const char16_t* end = chars + s.page.length;
        if (s.page.start + s.page.spanLength >= before) {
            // A page whose positions count its characters is passed over up to `before` too.
            if (!s.offsetsAdd || before <= s.page.start + off_) break;
            end = chars + std::min<uint32_t>(s.page.length, before - s.page.start);
            const char16_t* at = std::find(from, end, stop);
            if (at != from) last = at[-1];
            off_ = static_cast<uint32_t>(at - chars);
            break;
        }
        const char16_t* at = std::find(from, end, stop);
        if (at != from) last = at[-1];
        off_ = static_cast<uint32_t>(at - chars);
        if (at != end) break;
    }
    return last;
}

bool CharStream::NextChar(char16_t& c) {
    if (!Peek(c)) return false;
    ++off_;
    return true;
}

int CharStream::ReadToken(int32_t& token, uint32_t limit) {
    DropPieces();
    scanner.state = 0;
    token = -1;
    if (!EnsureCurrent()) return kReadEnd;
    uint32_t lim = limit ? limit : 0xFFFFFFFFu;
    // The room the token has in the current segment; going: it holds characters of the
    // segments before, so it may end where this one starts.
    auto lookAhead = [&](uint32_t room, bool going) {
        const Segment& s = segments_[cur_];
        const char16_t* p = s.chars.Data();
        uint32_t end = s.page.length;
        if (s.stops) {
            for (uint32_t i = off_, k = 0; i < end && k < room; ++i, ++k)
                if (IsStop(p[i])) return k == 0 ? 1u : k;
        }
        // A token cut at the limit ends before a surrogate pair, not inside it (a lone high
        // surrogate is a character of its own). A cut at the segment's end is judged after the
        // scan, with the next segment loaded.
        if ((room >= 2 || (going && room == 1)) && off_ + room < end &&
            Utf16::IsHigh(p[off_ + room - 1]) && Utf16::IsLow(p[off_ + room]))
            return room - 1;
        return room;
    };
    if (limit) lim = lookAhead(lim, false);
    while (true) {
        Segment& s = segments_[cur_];
        uint32_t idx = off_;
        uint32_t left = lim;
        bool stopped = scanner.Run(s.chars.Data(), &idx, s.page.length, &left);
        if (idx > off_) AddPiece(cur_, off_, idx - off_);
        lim = left;
        off_ = idx;
        if (stopped) {
            token = scanner.Token();
            break;
        }
        // The segment is used up before the scanner decided: go on in the next one.
        position_ = s.page.start + s.page.spanLength;
        cur_ = -1;
        if (!EnsureCurrent()) {
            token = scanner.StopToken();
            break;
        }
        if (limit) {
            char16_t c = segments_[cur_].chars[static_cast<int32_t>(off_)];
            if (IsStop(c)) {
                token = scanner.StopToken();
                break;
            }
            lim = lookAhead(lim, true);
        }
    }
    if (limit && lim == 0 && token >= 0 && cur_ >= 0) UnsplitPairAtSegmentEnd();
    if (cur_ >= 0 && off_ >= segments_[cur_].page.length) {
        const Segment& s = segments_[cur_];
        position_ = s.page.start + s.page.spanLength;
        cur_ = -1;
    }
    return token >= 0 ? kReadToken : kReadNoToken;
}

void CharStream::UnsplitPairAtSegmentEnd() {
    const int32_t seg = cur_;
    const Segment& s = segments_[seg];
    const uint32_t n = s.page.length;
    // The token keeps at least one unit: a word is never empty.
    if (off_ != n || !Utf16::IsHigh(s.chars.Data()[n - 1]) || GetLength() < 2) return;
    // The next segment is the one the next token reads; this token's pieces keep this one.
    position_ = s.page.start + s.page.spanLength;
    cur_ = -1;
    if (!EnsureCurrent() || !Utf16::IsLow(segments_[cur_].chars.Data()[off_])) return;
    PieceRef& last = pieces_.back();
    if (--last.len == 0) {
        DropPiece(last);
        pieces_.pop_back();
    }
    cur_ = seg;
    off_ = n - 1;
    position_ = segments_[seg].page.start + segments_[seg].page.spanLength;
}

uint32_t CharStream::GetLength() const {
    uint32_t n = 0;
    for (const PieceRef& p : pieces_) n += p.len;
    return n;
}

bool CharStream::AppendTo(String& out) const {
    for (uint32_t i = 0; i < pieces_.size(); ++i)
        if (!out.AppendChars(PieceData(i), static_cast<int32_t>(pieces_[i].len))) return false;
    return true;
}

void CharStream::PopPieces(uint32_t n) {
    while (n-- && !pieces_.empty()) {
        DropPiece(pieces_.back());
        pieces_.pop_back();
    }
}

uint16_t CharStream::FindMarkupName() const {
    const KeywordTree& tree = KeywordTree::MarkupTree();
    int32_t node = KeywordTree::RootNode(tree);
    int32_t id = -1;
    for (uint32_t i = 0; i < pieces_.size(); ++i) {
        if (pieces_[i].len == 0) continue;
        if (node < 0) return 0;
        id = KeywordTree::Walk(tree, &node, PieceData(i), pieces_[i].len);
        if (id < 0) return 0;
    }
    return id > 0 ? static_cast<uint16_t>(id) : 0;
}

uint32_t CharStream::ShortName(char16_t* out, uint32_t max) const {
    uint32_t n = 0;
    for (uint32_t i = 0; i < pieces_.size(); ++i) {
        if (n + pieces_[i].len > max) return 0;
        for (uint32_t k = 0; k < pieces_[i].len; ++k) out[n++] = PieceData(i)[k];
    }
    return n;
}

uint16_t CharStream::FindTagName() const {
    uint16_t id = FindMarkupName();
    if (id != 0) return id;
    char16_t name[8];
    const uint32_t n = ShortName(name, 8);
    return static_cast<uint16_t>(MarkupTags::ListAlias(name, n));
}

uint16_t CharStream::FindAttributeName(uint32_t tag) const {
    uint16_t id = FindMarkupName();
    if (id != 0) return id;
    char16_t name[8];
    const uint32_t n = ShortName(name, 8);
    return static_cast<uint16_t>(MarkupTags::AttributeAlias(tag, name, n));
}

bool CharStream::AppendCodePoint(uint32_t code, String& out) {
    if (code >= 128 && code <= 159) return out.AppendChar(Cp1252::ToUnicode(static_cast<uint8_t>(code)));
    if ((code >= 9 && code <= 13) || code == 32) return out.AppendChar(u' ');
    char16_t units[2];
    int n = Utf16::Encode(code, units);
    return out.AppendChars(units, n);
}

namespace Entities {

namespace {
bool IsAlnum(char16_t c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}
}  // namespace

bool FindEntity(const char16_t* s, int32_t n, int32_t from, Found& out) {
    int32_t i = from;
    while (i < n && s[i] != u'&') ++i;
    if (i >= n) return false;
    out.start = i;
    out.nameStart = i + 1;
    out.numeric = false;
    int32_t j = i + 1;
    while (j < n) {
        char16_t c = s[j];
        if (c == u';') {
            out.nameEnd = j;
            out.end = j + 1;
            return true;
        }
        if (c == u'#') {
            out.numeric = true;
        } else if (!IsAlnum(c)) {
            break;
        }
        ++j;
    }
    out.nameEnd = j;
    out.end = j;
    return true;
}

DecodeKind DecodeEntity(const char16_t* name, int32_t n, bool numeric, uint32_t& value) {
    value = 0;
    if (!numeric) {
        uint16_t id = 0;
        if (!KeywordTree::FindEntityName(name, static_cast<size_t>(n), &id)) return kNotDecodable;
        value = id;
        return kEntityId;
    }
    if (n < 2 || name[0] != u'#') return kNotDecodable;
    int32_t i = 1;
    uint32_t base = 10;
    if (name[1] == u'x' || name[1] == u'X') {
        base = 16;
        i = 2;
    }
    if (i >= n) return kNotDecodable;
    uint32_t v = 0;
    for (; i < n; ++i) {
        char16_t c = name[i];
        uint32_t d;
        if (c >= '0' && c <= '9') d = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f') d = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F') d = c - 'A' + 10;
        else return kNotDecodable;
        v = v * base + d;
        // Beyond the last code point the reference stays as written (no overflow).
        if (v > 0x10FFFF) return kNotDecodable;
    }
    // NUL and lone surrogates are no characters.
    if (v == 0 || (v >= 0xD800 && v <= 0xDFFF)) return kNotDecodable;
    if (v <= 0xFFFF) {
        int id = EntityFallback::Find(v);
        if (id) {
            value = id;
            return kEntityId;
        }
    }
    value = v;
    return kCodePoint;
}

char16_t Replacement(uint32_t id) { return EntityFallback::Replacement(static_cast<int>(id)); }

}  // namespace Entities

bool CharStream::ExtractText(String& out, bool decode, bool stripQuotes, bool append) {
    if (!decode && !stripQuotes && !append && pieces_.size() == 1) {
        // The common case of a word: a view of the page's string.
        const PieceRef& p = pieces_[0];
        out.AssignSub(segments_[p.seg].chars, static_cast<int32_t>(p.off),
                      static_cast<int32_t>(p.len));
        return true;
    }
    // The pieces' range after quote stripping: first piece and offset, last piece and end.
    uint32_t n = static_cast<uint32_t>(pieces_.size());
    uint32_t first = 0, last = n;  // [first, last)
    uint32_t firstSkip = 0, lastCut = 0;
    while (first < last && pieces_[first].len == 0) ++first;
    while (last > first && pieces_[last - 1].len == 0) --last;
    if (stripQuotes && first < last) {
        const char16_t* p = PieceData(last - 1);
        char16_t c = p[pieces_[last - 1].len - 1];
        if (c == u'"' || c == u'\'') {
            if (pieces_[last - 1].len == 1) --last;
            else lastCut = 1;
        }
    }
    if (stripQuotes && first < last) {
        char16_t c = PieceData(first)[0];
        uint32_t len = pieces_[first].len - (first + 1 == last ? lastCut : 0);
        if (c == u'"' || c == u'\'') {
            if (len == 1) ++first;
            else firstSkip = 1;
        }
    }
    auto pieceStart = [&](uint32_t i) { return i == first ? firstSkip : 0u; };
    auto pieceLen = [&](uint32_t i) {
        return pieces_[i].len - pieceStart(i) - (i + 1 == last ? lastCut : 0u);
    };
    int32_t total = 0;
    for (uint32_t i = first; i < last; ++i) total += static_cast<int32_t>(pieceLen(i));
    if (total == 0) {
        if (!append) out.SetEmpty();
        return true;
    }
    // References start with '&': without one there is nothing to decode (and nothing to copy).
    auto holdsAmpersand = [&] {
        for (uint32_t i = first; i < last; ++i) {
            const char16_t* d = PieceData(i) + pieceStart(i);
            for (uint32_t k = 0, len = pieceLen(i); k < len; ++k)
                if (d[k] == u'&') return true;
        }
        return false;
    };
    if (decode && total >= 3 && holdsAmpersand()) {
        Flat flat;
        if (!flat.Reserve(static_cast<size_t>(total))) return false;
        for (uint32_t i = first; i < last; ++i) flat.Append(PieceData(i) + pieceStart(i), pieceLen(i));
        const char16_t* s = flat.data();
        Entities::Found f;
        int32_t pos = 0;
        bool any = false;
        String result;
        while (Entities::FindEntity(s, total, pos, f)) {
            if (!any) {
                any = true;
                if (append && !result.Append(out)) return false;
                if (!result.Reserve(result.Length() + total)) return false;
            }
            if (!result.AppendChars(s + pos, f.start - pos)) return false;
            uint32_t value = 0;
            auto kind = Entities::DecodeEntity(s + f.nameStart, f.nameEnd - f.nameStart,
                                               f.numeric, value);
            bool ok = true;
            if (kind == Entities::kEntityId) {
                char16_t r = Entities::Replacement(value);
                if (r) ok = result.AppendChar(r);
            } else if (kind == Entities::kCodePoint) {
                ok = AppendCodePoint(value, result);
            } else {
                ok = result.AppendChars(s + f.start, f.end - f.start);
            }
            if (!ok) return false;
            pos = f.end > f.start ? f.end : f.start + 1;
        }
        if (any) {
            if (!result.AppendChars(s + pos, total - pos)) return false;
            out = result;
            return true;
        }
    }
    if (last - first == 1) {
        String sub;
        const PieceRef& p = pieces_[first];
        sub.AssignSub(segments_[p.seg].chars, static_cast<int32_t>(p.off + pieceStart(first)),
                      static_cast<int32_t>(pieceLen(first)));
        if (!append || out.IsEmpty()) {
            out = sub;
            return true;
        }
        return out.Append(sub);
    }
    if (!append) out.SetEmpty();
    if (!out.Reserve(out.Length() + total)) return false;
    for (uint32_t i = first; i < last; ++i)
        if (!out.AppendChars(PieceData(i) + pieceStart(i), static_cast<int32_t>(pieceLen(i))))
            return false;
    return true;
}

template <typename Write>
bool CharStream::WriteDecoded(String& out, bool append, Write write) {
    if (append) return write(out);
    // A text that starts with a reference goes into a buffer of the stream's own, written in
    // place once nobody else holds it any more (copied on write before that), rather than into
    // a new buffer every time.
    decoded_.SetEmpty();
    if (!write(decoded_)) return false;
    out = decoded_;
    return true;
}

int CharStream::DecodeSingleEntity(String& out, bool append) {
    Flat flat;
    if (!flat.Reserve(GetLength())) return 0;
    for (uint32_t i = 0; i < pieces_.size(); ++i) flat.Append(PieceData(i), pieces_[i].len);
    Entities::Found f;
    uint32_t value = 0;
    Entities::DecodeKind kind = Entities::kNotDecodable;
    if (Entities::FindEntity(flat.data(), static_cast<int32_t>(flat.size()), 0, f))
        kind = Entities::DecodeEntity(flat.data() + f.nameStart, f.nameEnd - f.nameStart,
                                      f.numeric, value);
    if (kind == Entities::kEntityId) {
        if (value == kEntityZwnj) {
            if (!append) out.SetEmpty();
            return 5;
        }
        char16_t r = Entities::Replacement(value);
        if (!r) return 4;
        return WriteDecoded(out, append, [r](String& s) { return s.AppendChar(r); }) ? 1 : 0;
    }
    if (kind == Entities::kCodePoint)
        return WriteDecoded(out, append, [value](String& s) { return AppendCodePoint(value, s); })
                   ? 1
                   : 0;
    return ExtractText(out, false, false, append) ? 1 : 0;
}

#include "core/text.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/byte_stream.h"
#include "core/char_props.h"
#include "core/containers.h"
#include "core/string.h"

namespace {

constexpr int32_t kMaxBytes = 0x7FFFFFF0;

bool IsSimple(int cp) {
    return cp == CodePages::kUtf16 || cp == CodePages::kUtf8 || cp == CodePages::kWindows1252 ||
           cp == CodePages::kLatin1 || cp == CodePages::kAscii;
}

int ResolvedPage(int cp) {
    return cp == CodePages::kSystem ? SystemCodePage() : cp;
}

// Decodes one code point of a simple code page; the bytes used (0 at the end).
int DecodeSimple(int cp, const uint8_t* p, const uint8_t* end, uint32_t& c) {
    if (p >= end) return 0;
    switch (cp) {
        case CodePages::kUtf16: {
            if (end - p < 2) {
                c = 0xFFFD;
                return static_cast<int>(end - p);
            }
            const bool two = end - p >= 4;
            const char16_t units[2] = {static_cast<char16_t>(p[0] | p[1] << 8),
                                       two ? static_cast<char16_t>(p[2] | p[3] << 8) : u'\0'};
            return 2 * Utf16::Decode(units, two ? 2 : 1, c);
        }
        case CodePages::kUtf8:
            return Utf8::Decode(p, static_cast<size_t>(end - p), c);
        case CodePages::kWindows1252:
            c = Cp1252::ToUnicode(*p);
            return 1;
        case CodePages::kAscii:
            c = *p < 0x80 ? *p : 0xFFFD;
            return 1;
        default:
            c = *p;
            return 1;
    }
}

uint32_t Fold(uint32_t c) {
    return c < 0x10000 ? CharProps::ToLower(static_cast<char16_t>(c)) : c;
}

bool IsBlankChar(uint32_t c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == 0xA0 || c == 0x3000 ||
           (c >= 0x2000 && c <= 0x200B) || c == '\f' || c == '\v';
}

int32_t WideLen(const char16_t* s) {
    int32_t n = 0;
    if (s)
        while (s[n] && n < kMaxBytes / 2) ++n;
    return n;
}

}  // namespace

// ---- TextReader -------------------------------------------------------------------------------

TextReader::TextReader(const Text& text)
    : p_(text.Bytes()),
      end_(text.Bytes() + text.ByteLength()),
      codePage_(ResolvedPage(text.CodePage())) {
    if (!p_) p_ = end_ = nullptr;
    if (!IsSimple(codePage_)) {
        wide_ = text.WideCStr();
        wideLength_ = WideLen(wide_);
    }
}

TextReader::~TextReader() = default;

bool TextReader::Next(uint32_t& c) {
    if (wide_) {
        if (wideIndex_ >= wideLength_) return false;
        wideIndex_ += Utf16::Decode(wide_ + wideIndex_, wideLength_ - wideIndex_, c);
    } else {
        int used = DecodeSimple(codePage_, p_, end_, c);
        if (!used) return false;
        p_ += used;
    }
    ++position_;
    return true;
}

// ---- Text: lifetime ---------------------------------------------------------------------------

Text::Text(const Text& other) : codePage_(other.codePage_) {
    Assign(other);
}

Text::Text(Text&& other) noexcept
    : bytes_(other.bytes_),
      capacity_(other.capacity_),
      viewStart_(other.viewStart_),
      viewEnd_(other.viewEnd_),
      cursor_(other.cursor_),
      position_(other.position_),
      codePage_(other.codePage_),
      error_(other.error_),
      errorLocked_(other.errorLocked_),
      wide_(other.wide_),
      wideLength_(other.wideLength_) {
    other.bytes_ = nullptr;
    other.wide_ = nullptr;
    other.capacity_ = other.viewStart_ = other.viewEnd_ = other.cursor_ = other.position_ = 0;
    other.wideLength_ = -1;
}

Text& Text::operator=(const Text& other) {
    Assign(other);
    return *this;
}

Text& Text::operator=(Text&& other) noexcept {
    if (this == &other) return *this;
    Free();
    bytes_ = other.bytes_;
    capacity_ = other.capacity_;
    viewStart_ = other.viewStart_;
    viewEnd_ = other.viewEnd_;
    cursor_ = other.cursor_;
    position_ = other.position_;
    codePage_ = other.codePage_;
    error_ = other.error_;
    errorLocked_ = other.errorLocked_;
    wide_ = other.wide_;
    wideLength_ = other.wideLength_;
    other.bytes_ = nullptr;
    other.wide_ = nullptr;
    other.capacity_ = other.viewStart_ = other.viewEnd_ = other.cursor_ = other.position_ = 0;
    other.wideLength_ = -1;
    return *this;
}

Text::~Text() {
    Free();
}

void Text::InvalidateWide() const {
    std::free(wide_);
    wide_ = nullptr;
    wideLength_ = -1;
}

void Text::Free() {
    InvalidateWide();
    std::free(bytes_);
    bytes_ = nullptr;
    capacity_ = viewStart_ = viewEnd_ = cursor_ = position_ = 0;
    error_ = kErrNone;
}

void Text::Clear() {
    InvalidateWide();
    viewStart_ = viewEnd_ = cursor_ = position_ = 0;
    error_ = kErrNone;
}

bool Text::Fail(int error) {
    SetError(error);
    return false;
}

void Text::SetError(int error) {
    if (!errorLocked_ && error_ == kErrNone) error_ = static_cast<uint8_t>(error);
}

bool Text::Reserve(size_t bytes) {
    if (bytes > static_cast<size_t>(kMaxBytes)) return Fail(kErrMemory);
    if (static_cast<int32_t>(bytes) <= capacity_) return true;
    size_t cap = bytes + bytes / 2 + 16;
    if (cap > static_cast<size_t>(kMaxBytes)) cap = kMaxBytes;
    auto* p = static_cast<uint8_t*>(std::realloc(bytes_, cap));
    if (!p) return Fail(kErrMemory);
    bytes_ = p;
    capacity_ = static_cast<int32_t>(cap);
    return true;
}

// Appends bytes at the end of the view; whatever lay past the view is dropped.
bool Text::AppendRaw(const uint8_t* bytes, size_t n) {
    if (n == 0) return true;
    if (n > static_cast<size_t>(kMaxBytes - viewEnd_)) return Fail(kErrMemory);
    // Bytes from our own buffer would move when it grows.
    if (bytes_ && bytes >= bytes_ && bytes < bytes_ + capacity_) {
        auto* copy = static_cast<uint8_t*>(std::malloc(n));
        if (!copy) return Fail(kErrMemory);
        std::memcpy(copy, bytes, n);
        bool ok = AppendRaw(copy, n);
        std::free(copy);
        return ok;
    }
    if (!Reserve(static_cast<size_t>(viewEnd_) + n)) return false;
    std::memcpy(bytes_ + viewEnd_, bytes, n);
    viewEnd_ += static_cast<int32_t>(n);
    InvalidateWide();
    return true;
}

bool Text::Assign(const Text& other) {
    if (this == &other) return true;
    Clear();
    codePage_ = other.codePage_;
    if (!AppendRaw(other.Bytes(), static_cast<size_t>(other.ByteLength()))) return false;
    cursor_ = viewStart_ + (other.cursor_ - other.viewStart_);
    if (cursor_ < viewStart_ || cursor_ > viewEnd_) cursor_ = viewStart_;
    position_ = other.position_;
    error_ = other.error_;
    return true;
}

bool Text::AssignBytes(const uint8_t* bytes, size_t n, int codePage) {
    Clear();
    codePage_ = codePage;
    if (n > 0 && !bytes) return Fail(kErrArgument);
    return AppendRaw(bytes, n);
}

bool Text::AssignAscii(const char* s) {
    return AssignBytes(reinterpret_cast<const uint8_t*>(s), s ? std::strlen(s) : 0,
                       CodePages::kWindows1252);
}

bool Text::AssignUtf8(const char* s, size_t n) {
    if (n == static_cast<size_t>(-1)) n = s ? std::strlen(s) : 0;
    return AssignBytes(reinterpret_cast<const uint8_t*>(s), n, CodePages::kUtf8);
}

bool Text::FromWide(const char16_t* chars, int32_t count) {
    Clear();
    codePage_ = CodePages::kUtf16;
    if (count < 0 || (count > 0 && !chars)) return Fail(kErrArgument);
    return AppendWide(chars, count);
}

bool Text::FromWide(const char16_t* zeroTerminated) {
    return FromWide(zeroTerminated, WideLen(zeroTerminated));
}

bool Text::FromString(const String& s) {
    return FromWide(s.Data(), s.Length());
}

// ---- Queries ----------------------------------------------------------------------------------

int32_t Text::CharCount() const {
    int cp = ResolvedPage(codePage_);
    if (cp == CodePages::kWindows1252 || cp == CodePages::kLatin1 || cp == CodePages::kAscii)
        return ByteLength();
    TextReader r(*this);
    uint32_t c;
    while (r.Next(c)) {
    }
    return r.Position();
}

bool Text::IsBlank() const {
    TextReader r(*this);
    uint32_t c;
    while (r.Next(c))
        if (!IsBlankChar(c)) return false;
    return true;
}

const char16_t* Text::WideCStr() const {
    static const char16_t empty[1] = {0};
    if (wide_) return wide_;
    size_t n = static_cast<size_t>(ByteLength());
    size_t cap = Charset::MaxOutput(n) + 1;
    auto* w = static_cast<char16_t*>(std::malloc(sizeof(char16_t) * cap));
    if (!w) return empty;
    int32_t units = Charset::ToUtf16(codePage_, Bytes(), n, w, cap - 1);
    if (units < 0) {
        std::free(w);
        return empty;
    }
    w[units] = 0;
    wide_ = w;
    wideLength_ = units;
    return wide_;
}

bool Text::ToWide(String& out) const {
    out.SetEmpty();
    if (IsEmpty()) return true;
    if (ResolvedPage(codePage_) == CodePages::kUtf16) {
        int32_t units = ByteLength() / 2;
        if (!out.Reserve(units)) return false;
        char16_t tmp[256];
        const uint8_t* p = Bytes();
        for (int32_t i = 0; i < units;) {
            int32_t k = 0;
            for (; k < 256 && i < units; ++k, ++i)
                tmp[k] = static_cast<char16_t>(p[2 * i] | p[2 * i + 1] << 8);
            if (!out.AppendChars(tmp, k)) return false;
        }
        if (ByteLength() & 1) return out.AppendChar(0xFFFD);
        return true;
    }
    const char16_t* w = WideCStr();
    if (wideLength_ < 0) return false;
    return out.AssignChars(w, wideLength_);
}

bool Text::ConvertTo(int codePage) {
    if (codePage == codePage_) return true;
    if (!IsKnownCodePage(codePage)) return Fail(kErrConversion);
    const char16_t* w = WideCStr();
    if (wideLength_ < 0) return Fail(kErrMemory);
    size_t cap = Charset::MaxBytes(ResolvedPage(codePage), static_cast<size_t>(wideLength_));
    auto* out = static_cast<uint8_t*>(std::malloc(cap ? cap : 1));
    if (!out) return Fail(kErrMemory);
    bool lossy = false;
    int32_t n = Charset::FromUtf16(codePage, w, static_cast<size_t>(wideLength_), out, cap, &lossy);
    if (n < 0) {
        std::free(out);
        return Fail(kErrConversion);
    }
    InvalidateWide();
    std::free(bytes_);
    bytes_ = out;
    capacity_ = static_cast<int32_t>(cap ? cap : 1);
    viewStart_ = cursor_ = position_ = 0;
    viewEnd_ = n;
    codePage_ = codePage;
    if (lossy) SetError(kErrConversion);
    return !lossy;
}

// ---- Appending --------------------------------------------------------------------------------

bool Text::AppendCodePoint(uint32_t cp) {
    int page = ResolvedPage(codePage_);
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
    if (page == CodePages::kUtf8) {
        uint8_t b[4];
        return AppendRaw(b, static_cast<size_t>(Utf8::Encode(cp, b)));
    }
    char16_t u[2];
    int n = Utf16::Encode(cp, u);
    return AppendWide(u, n);
}

bool Text::AppendWide(const char16_t* chars, int32_t count) {
    if (count <= 0) return count == 0;
    if (!chars) return Fail(kErrArgument);
    int page = ResolvedPage(codePage_);
    if (page == CodePages::kUtf16) {
        if (!Reserve(static_cast<size_t>(viewEnd_) + 2 * static_cast<size_t>(count))) return false;
        uint8_t* p = bytes_ + viewEnd_;
        for (int32_t i = 0; i < count; ++i) {
            p[2 * i] = static_cast<uint8_t>(chars[i]);
            p[2 * i + 1] = static_cast<uint8_t>(chars[i] >> 8);
        }
        viewEnd_ += 2 * count;
        InvalidateWide();
        return true;
    }
    size_t cap = Charset::MaxBytes(page, static_cast<size_t>(count));
    uint8_t small[256];
    uint8_t* buf = cap <= sizeof(small) ? small : static_cast<uint8_t*>(std::malloc(cap));
    if (!buf) return Fail(kErrMemory);
    bool lossy = false;
    int32_t n = Charset::FromUtf16(page, chars, static_cast<size_t>(count), buf, cap, &lossy);
    bool ok = n >= 0 && AppendRaw(buf, static_cast<size_t>(n));
    if (buf != small) std::free(buf);
    if (n < 0) return Fail(kErrConversion);
    if (lossy) SetError(kErrConversion);
    return ok && !lossy;
}

bool Text::AppendAscii(const char* s) {
    if (!s) return true;
    char16_t buf[128];
    while (*s) {
        int k = 0;
        while (k < 128 && s[k]) {
            buf[k] = static_cast<unsigned char>(s[k]);
            ++k;
        }
        if (!AppendWide(buf, k)) return false;
        s += k;
    }
    return true;
}

bool Text::AppendNumber(uint64_t value, int radix) {
    if (radix < 2 || radix > 36) return Fail(kErrArgument);
    char digits[72];
    int n = 0;
    do {
        unsigned d = static_cast<unsigned>(value % static_cast<unsigned>(radix));
        digits[n++] = static_cast<char>(d < 10 ? '0' + d : 'A' + d - 10);
        value /= static_cast<unsigned>(radix);
    } while (value);
    char out[72];
    for (int i = 0; i < n; ++i) out[i] = digits[n - 1 - i];
    out[n] = 0;
    return AppendAscii(out);
}

bool Text::SameEncodingBytes(const Text& other) const {
    return ResolvedPage(codePage_) == ResolvedPage(other.codePage_);
}

bool Text::AppendText(const Text& other) {
    if (other.IsEmpty()) return true;
    if (SameEncodingBytes(other))
        return AppendRaw(other.Bytes(), static_cast<size_t>(other.ByteLength()));
    const char16_t* w = other.WideCStr();
    if (other.wideLength_ < 0) return Fail(kErrConversion);
    return AppendWide(w, other.wideLength_);
}

// ---- Cursor and views -------------------------------------------------------------------------

void Text::Rewind() {
    cursor_ = viewStart_;
    position_ = 0;
}

bool Text::Next(uint32_t& c) {
    int page = ResolvedPage(codePage_);
    if (cursor_ < viewStart_ || cursor_ > viewEnd_) cursor_ = viewStart_;
    if (IsSimple(page)) {
        int used = DecodeSimple(page, bytes_ + cursor_, bytes_ + viewEnd_, c);
        if (!used) return false;
        cursor_ += used;
    } else {
        // Multi-byte pages: find the character at the cursor through a one-block conversion.
        if (cursor_ >= viewEnd_) return false;
        int maxBytes = MaxBytesPerChar(page);
        size_t avail = static_cast<size_t>(viewEnd_ - cursor_);
        size_t take = avail < static_cast<size_t>(maxBytes) ? avail : static_cast<size_t>(maxBytes);
        char16_t out[16];
        uint32_t map[16];
        CharsetState st{};
        st.started = 1;
        int32_t n = Charset::Continue(&st, page, bytes_ + cursor_, take, out, 16, map, true);
        if (n <= 0) {
            int32_t all = Charset::ToUtf16(page, bytes_ + cursor_, take, out, 16);
            c = all > 0 ? out[0] : 0xFFFD;
            cursor_ += static_cast<int32_t>(take);
        } else {
            int32_t used = n > 1 ? static_cast<int32_t>(map[1]) : static_cast<int32_t>(take);
            if (n > 1 && map[1] == map[0])
                used = n > 2 ? static_cast<int32_t>(map[2]) : static_cast<int32_t>(take);
            if (used <= 0) used = 1;
            Utf16::Decode(out, static_cast<size_t>(n), c);
            cursor_ += used;
        }
    }
    ++position_;
    return true;
}

void Text::SetViewChars(int32_t start, int32_t end) {
    if (start < 0) start = 0;
    TextReader r(*this);
    int page = ResolvedPage(codePage_);
    int32_t startByte = viewEnd_, endByte = viewEnd_;
    if (IsSimple(page)) {
        int32_t pos = viewStart_;
        int32_t index = 0;
        uint32_t c;
        while (true) {
            if (index == start) startByte = pos;
            if (index == end) {
                endByte = pos;
                break;
            }
            int used = DecodeSimple(page, bytes_ + pos, bytes_ + viewEnd_, c);
            if (!used) break;
            pos += used;
            ++index;
        }
    } else {
        // Convert, then re-encode the chosen characters.
        String w;
        if (!ToWide(w)) {
            SetError(kErrMemory);
            return;
        }
        int32_t n = w.Length();
        int32_t s = start > n ? n : start;
        int32_t e = (end < 0 || end > n) ? n : end;
        if (e < s) e = s;
        Text piece(codePage_);
        piece.AppendWide(w.Data() + s, e - s);
        uint8_t keepError = error_;
        Assign(piece);
        error_ = keepError;
        return;
    }
    if (end >= 0 && endByte < startByte) endByte = startByte;
    if (end < 0) endByte = viewEnd_;
    viewStart_ = startByte;
    viewEnd_ = endByte < startByte ? startByte : endByte;
    cursor_ = viewStart_;
    position_ = 0;
    InvalidateWide();
}

void Text::DropConsumed() {
    int32_t from = cursor_ > viewStart_ && cursor_ <= viewEnd_ ? cursor_ : viewStart_;
    int32_t n = viewEnd_ - from;
    if (bytes_ && from > 0) std::memmove(bytes_, bytes_ + from, static_cast<size_t>(n));
    viewStart_ = cursor_ = position_ = 0;
    viewEnd_ = n;
    InvalidateWide();
}

// ---- Comparisons ------------------------------------------------------------------------------

bool Text::Equals(const Text& other, bool prefix, bool caseSensitive) const {
    if (caseSensitive && SameEncodingBytes(other)) {
        if (other.ByteLength() > ByteLength()) return false;
        if (!prefix && other.ByteLength() != ByteLength()) return false;
        return other.ByteLength() == 0 ||
               std::memcmp(Bytes(), other.Bytes(), static_cast<size_t>(other.ByteLength())) == 0;
    }
    TextReader a(*this), b(other);
    uint32_t ca, cb;
    while (true) {
        bool hb = b.Next(cb);
        bool ha = a.Next(ca);
        if (!hb) return prefix || !ha;
        if (!ha) return false;
        if (ca != cb && (caseSensitive || Fold(ca) != Fold(cb))) return false;
    }
}

namespace {
bool MatchesWide(const Text& t, const char16_t* lit, bool prefix) {
    TextReader r(t);
    uint32_t c;
    int32_t i = 0;
    while (lit && lit[i]) {
        if (!r.Next(c)) return false;
        uint32_t l = lit[i++];
        if (c != l && Fold(c) != Fold(l)) return false;
    }
    return prefix || !r.Next(c);
}
}  // namespace

bool Text::EqualsWide(const char16_t* literal) const {
    return MatchesWide(*this, literal, false);
}
bool Text::StartsWithWide(const char16_t* literal) const {
    return MatchesWide(*this, literal, true);
}

bool Text::EqualsAscii(const char* literal) const {
    TextReader r(*this);
    uint32_t c;
    for (int32_t i = 0; literal[i]; ++i) {
        if (!r.Next(c) || c != static_cast<unsigned char>(literal[i])) return false;
    }
    return !r.Next(c);
}

int Text::Compare(const Text& other, bool caseSensitive) const {
    TextReader a(*this), b(other);
    uint32_t ca, cb;
    while (true) {
        bool ha = a.Next(ca);
        bool hb = b.Next(cb);
        if (!ha || !hb) return ha ? 1 : (hb ? -1 : 0);
        if (!caseSensitive) {
            ca = Fold(ca);
            cb = Fold(cb);
        }
        if (ca != cb) return ca < cb ? -1 : 1;
    }
}

// ---- Search -----------------------------------------------------------------------------------

namespace {
// The code points of a text's view, for searching. False when memory runs out.
bool CodePoints(const Text& t, uint32_t*& out, int32_t& n) {
    int32_t cap = t.ByteLength() + 1;
    out = static_cast<uint32_t*>(std::malloc(sizeof(uint32_t) * static_cast<size_t>(cap)));
    if (!out) return false;
    TextReader r(t);
    n = 0;
    uint32_t c;
    while (n < cap && r.Next(c)) out[n++] = c;
    return true;
}
}  // namespace

int32_t Text::CountOccurrences(const Text& other) const {
    if (other.IsEmpty() || IsEmpty()) return 0;
    uint32_t *a = nullptr, *b = nullptr;
    int32_t na = 0, nb = 0;
    int32_t count = 0;
    if (CodePoints(*this, a, na) && CodePoints(other, b, nb)) {
        for (int32_t i = 0; i + nb <= na;) {
            if (std::memcmp(a + i, b, sizeof(uint32_t) * static_cast<size_t>(nb)) == 0) {
                ++count;
                i += nb;
            } else {
                ++i;
            }
        }
    }
    std::free(a);
    std::free(b);
    return count;
}

int32_t Text::Replace(const Text& from, const Text& to) {
    if (from.IsEmpty()) return 0;
    uint32_t *a = nullptr, *b = nullptr;
    int32_t na = 0, nb = 0;
    if (!CodePoints(*this, a, na) || !CodePoints(from, b, nb)) {
        std::free(a);
        std::free(b);
        Fail(kErrMemory);
        return -1;
    }
    Text result(codePage_);
    int32_t count = 0;
    bool ok = true;
    for (int32_t i = 0; i < na && ok;) {
        if (i + nb <= na &&
            std::memcmp(a + i, b, sizeof(uint32_t) * static_cast<size_t>(nb)) == 0) {
            ok = result.AppendText(to);
            ++count;
            i += nb;
        } else {
            ok = result.AppendCodePoint(a[i++]);
        }
    }
    std::free(a);
    std::free(b);
    if (!ok) {
        Fail(kErrMemory);
        return -1;
    }
    if (count) {
        uint8_t keep = error_;
        Assign(result);
        error_ = keep;
    }
    return count;
}

bool Text::FindWildcard(int32_t& count) const {
    TextReader r(*this);
    uint32_t c;
    while (r.Next(c)) {
        if (c == '?' || c == '*' || c == 0xFF1F || c == 0xFF0A) {
            count = r.Position() - 1;
            return true;
        }
    }
    count = r.Position();
    return false;
}

int32_t Text::Hash() const {
    TextReader r(*this);
    uint32_t c, h = 0;
    int32_t pos = 0;
    while (r.Next(c)) {
        uint32_t f = Fold(c);
        h ^= (pos % 2 == 0) ? (f << 1) : f;
        ++pos;
    }
    return static_cast<int32_t>(h);
}

bool Text::Split(uint32_t separator, TextList& out) const {
    Text piece(codePage_);
    TextReader r(*this);
    uint32_t c;
    while (r.Next(c)) {
        if (c == separator) {
            if (out.Add(piece) < 0) return false;
            piece.Clear();
        } else if (!piece.AppendCodePoint(c)) {
            return false;
        }
    }
    return out.Add(piece) >= 0;
}

// ---- Paths ------------------------------------------------------------------------------------

namespace {
// Character index of the last '\' or '/', or -1.
int32_t LastSeparator(const Text& t) {
    TextReader r(t);
    uint32_t c;
    int32_t last = -1;
    while (r.Next(c))
        if (c == '\\' || c == '/') last = r.Position() - 1;
    return last;
}

uint32_t LastChar(const Text& t) {
    TextReader r(t);
    uint32_t c, last = 0;
    while (r.Next(c)) last = c;
    return last;
}

uint32_t FirstChar(const Text& t) {
    TextReader r(t);
    uint32_t c;
    return r.Next(c) ? c : 0;
}
}  // namespace

bool Text::EnsureTrailingBackslash() {
    uint32_t last = LastChar(*this);
    if (last == '\\') return true;
    return AppendCodePoint('\\');
}

bool Text::AppendPathComponent(const Text& name) {
    uint32_t last = LastChar(*this);
    Text rest(name);
    if (FirstChar(rest) == '\\') {
        rest.SetViewChars(1, -1);
    }
    if (!IsEmpty() && last != '\\' && !AppendCodePoint('\\')) return false;
    if (IsEmpty() && FirstChar(name) == '\\' && !AppendCodePoint('\\')) return false;
    return AppendText(rest);
}

void Text::ToBackslashes(bool keepSeparator) {
    int32_t last = LastSeparator(*this);
    if (last < 0) {
        SetViewChars(0, 0);
        return;
    }
    SetViewChars(0, keepSeparator ? last + 1 : last);
}

bool Text::ReplaceExtension(const Text& ext) {
    TextReader r(*this);
    uint32_t c;
    int32_t dot = -1;
    while (r.Next(c)) {
        if (c == '\\' || c == '/')
            dot = -1;
        else if (c == '.')
            dot = r.Position() - 1;
    }
    if (dot >= 0) SetViewChars(0, dot);
    return AppendText(ext);
}

// ---- Serialised form, files, sizes ------------------------------------------------------------

bool Text::Serialize(ByteStream& out) const {
    if (IsEmpty()) {
        uint8_t zero = 0;
        return out.WriteBytes(&zero, 1);
    }
    Text utf8(CodePages::kUtf8);
    if (!utf8.AppendText(*this)) return false;
    uint8_t tag = 2;
    return out.WriteBytes(&tag, 1) &&
           out.WriteBytes(utf8.Bytes(), static_cast<size_t>(utf8.ByteLength()));
}

bool Text::Deserialize(const uint8_t* bytes, size_t n) {
    Clear();
    codePage_ = CodePages::kUtf16;
    if (n == 0 || !bytes) return Fail(kErrArgument);
    if (bytes[0] == 0) return n == 1 ? true : Fail(kErrArgument);
    if (bytes[0] != 2) return Fail(kErrArgument);
    Text utf8;
    if (!utf8.AssignBytes(bytes + 1, n - 1, CodePages::kUtf8)) return Fail(kErrMemory);
    return AppendText(utf8);
}

bool Text::FormatByteSize(uint64_t bytes) {
    Clear();
    codePage_ = CodePages::kUtf16;
    char buf[48];
    if (bytes == 0) {
        std::snprintf(buf, sizeof(buf), "0 KB");
    } else if (bytes < 1024ull * 1024) {
        uint64_t kb = (bytes + 512) / 1024;
        if (kb == 0) kb = 1;
        if (kb >= 1024) kb = 1023;
        std::snprintf(buf, sizeof(buf), "%llu KB", static_cast<unsigned long long>(kb));
    } else {
        uint64_t tenths = (bytes * 10 + 512 * 1024) / (1024 * 1024);
        if (bytes > UINT64_MAX / 10) tenths = bytes / (1024 * 1024) * 10;
        std::snprintf(buf, sizeof(buf), "%llu%c%llu MB",
                      static_cast<unsigned long long>(tenths / 10), LocaleDecimalSeparator(),
                      static_cast<unsigned long long>(tenths % 10));
    }
    return AppendAscii(buf);
}

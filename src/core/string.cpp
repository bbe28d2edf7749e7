#include "core/string.h"

#include <cstdlib>
#include <cstring>

#include "core/char_props.h"
#include "core/charset.h"
#include "core/text.h"

const char16_t String::kEmpty[1] = {0};

namespace {

constexpr int32_t kMaxLength = 0x3FFFFFF0;

int32_t Clamp(int32_t v, int32_t lo, int32_t hi) {
    return v < lo ? lo : (v > hi ? hi : v);
}

int32_t WideLength(const char16_t* s) {
    if (!s) return 0;
    int32_t n = 0;
    while (s[n] && n < kMaxLength) ++n;
    return n;
}

// Index of the first unit where a and b differ, or n; eight bytes at a time.
int32_t FirstDifference(const char16_t* a, const char16_t* b, int32_t n) {
    int32_t i = 0;
    for (; i + 4 <= n; i += 4) {
        uint64_t x, y;
        std::memcpy(&x, a + i, 8);
        std::memcpy(&y, b + i, 8);
        if (x != y) break;
    }
    while (i < n && a[i] == b[i]) ++i;
    return i;
}

int DigitValue(char16_t c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'z') return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    return 99;
}

}  // namespace

String::Buffer* String::Allocate(int32_t capacity) {
    if (capacity < 0 || capacity > kMaxLength) return nullptr;
    if (capacity < 8) capacity = 8;
    size_t bytes = offsetof(Buffer, data) + sizeof(char16_t) * static_cast<size_t>(capacity);
    auto* b = static_cast<Buffer*>(std::malloc(bytes));
    if (!b) return nullptr;
    b->refs = 1;
    b->capacity = capacity;
    b->used = 0;
    b->pad = 0;
    return b;
}

String::String(const char16_t* chars, int32_t count) {
    AssignChars(chars, count);
}

String::String(const char16_t* zeroTerminated) {
    AssignChars(zeroTerminated, WideLength(zeroTerminated));
}

String::String(const String& other)
    : buffer_(other.buffer_), offset_(other.offset_), length_(other.length_) {
    if (buffer_) ++buffer_->refs;
}

String::String(String&& other) noexcept
    : buffer_(other.buffer_), offset_(other.offset_), length_(other.length_) {
    other.ZeroInit();
}

String& String::operator=(const String& other) {
    Assign(other);
    return *this;
}

String& String::operator=(String&& other) noexcept {
    if (this != &other) {
        Release();
        buffer_ = other.buffer_;
        offset_ = other.offset_;
        length_ = other.length_;
        other.ZeroInit();
    }
    return *this;
}

void String::ZeroInit() {
    buffer_ = nullptr;
    offset_ = 0;
    length_ = 0;
}

void String::Release() {
    if (buffer_ && --buffer_->refs == 0) std::free(buffer_);
    ZeroInit();
}

bool String::IsSoleHolder() const {
    return !buffer_ || buffer_->refs == 1;
}
int32_t String::RefCount() const {
    return buffer_ ? buffer_->refs : 0;
}
int32_t String::Capacity() const {
    return buffer_ ? buffer_->capacity - offset_ : 0;
}

void String::Assign(const String& other) {
    if (other.buffer_) ++other.buffer_->refs;  // first, in case other is a view of ourselves
    Buffer* old = buffer_;
    buffer_ = other.buffer_;
    offset_ = other.offset_;
    length_ = other.length_;
    if (old && --old->refs == 0) std::free(old);
}

bool String::AssignChars(const char16_t* chars, int32_t count) {
    if (count < 0 || (count > 0 && !chars)) return false;
    if (buffer_ && buffer_->refs == 1 && buffer_->capacity >= count &&
        !(chars >= buffer_->data && chars < buffer_->data + buffer_->capacity)) {
        offset_ = 0;
        length_ = 0;
        buffer_->used = 0;
    } else {
        Release();
    }
    return AppendChars(chars, count);
}

void String::AssignSub(const String& source, int32_t start, int32_t count) {
    int32_t len = source.length_;
    start = Clamp(start, 0, len);
    if (count < 0 || count > len - start) count = len - start;
    Buffer* b = source.buffer_;
    int32_t off = source.offset_ + start;
    // A view moved within the buffer it already shares (a tokenizer's next word of a page)
    // keeps its hold on it.
    if (b != buffer_ || !b) {
        if (b) ++b->refs;
        Release();
        buffer_ = b;
    }
    offset_ = off;
    length_ = count;
}

void String::SetEmpty() {
    length_ = 0;
}

bool String::MakePrivate() {
    if (!buffer_ || buffer_->refs == 1) return true;
    Buffer* b = Allocate(length_);
    if (!b) return false;
    std::memcpy(b->data, Data(), sizeof(char16_t) * length_);
    b->used = length_;
    --buffer_->refs;
    buffer_ = b;
    offset_ = 0;
    return true;
}

// Makes room for extra characters after the view. In place when the buffer is ours (or when the
// view ends where the buffer's written part ends and there is capacity, unless privateCopy).
bool String::MakeRoom(int32_t extra, bool privateCopy) {
    if (extra < 0 || extra > kMaxLength - length_) return false;
    int32_t need = length_ + extra;
    if (buffer_) {
        bool sole = buffer_->refs == 1;
        int32_t end = offset_ + length_;
        bool atEnd = end == buffer_->used;
        if ((sole || (!privateCopy && atEnd)) && offset_ + need <= buffer_->capacity) {
            if (sole) buffer_->used = end;  // characters past the view are ours to overwrite
            return true;
        }
        if (sole && offset_ > 0 && need <= buffer_->capacity && need * 2 <= buffer_->capacity) {
            std::memmove(buffer_->data, buffer_->data + offset_, sizeof(char16_t) * length_);
            offset_ = 0;
            buffer_->used = length_;
            return true;
        }
    }
    int64_t cap = static_cast<int64_t>(need);
    if (buffer_) cap += cap / 2 + 8;  // growth when appending repeatedly
    if (cap > kMaxLength) cap = kMaxLength;
    Buffer* b = Allocate(static_cast<int32_t>(cap));
    if (!b) return false;
    if (length_) std::memcpy(b->data, Data(), sizeof(char16_t) * length_);
    b->used = length_;
    Release();
    buffer_ = b;
    offset_ = 0;
    length_ = static_cast<int32_t>(b->used);
    return true;
}

bool String::Reserve(int32_t capacity) {
    if (capacity < length_) capacity = length_;
    if (buffer_ && buffer_->refs == 1 && offset_ + capacity <= buffer_->capacity) return true;
    if (capacity > kMaxLength) return false;
    Buffer* b = Allocate(capacity);
    if (!b) return false;
    if (length_) std::memcpy(b->data, Data(), sizeof(char16_t) * length_);
    b->used = length_;
    int32_t len = length_;
    Release();
    buffer_ = b;
    length_ = len;
    return true;
}

char16_t* String::MutableData() {
    if (!buffer_) {
        if (!Reserve(8)) return nullptr;
    }
    if (!MakePrivate()) return nullptr;
    return buffer_->data + offset_;
}

bool String::AppendCharsSlow(const char16_t* chars, int32_t count) {
    if (count <= 0) return count == 0;
    if (!chars) return false;
    // The source may lie inside our own buffer, which growing would free.
    if (buffer_ && chars >= buffer_->data && chars < buffer_->data + buffer_->capacity) {
        String copy;
        if (!copy.Reserve(count)) return false;
        std::memcpy(copy.buffer_->data, chars, sizeof(char16_t) * count);
        copy.buffer_->used = count;
        copy.length_ = count;
        return AppendChars(copy.Data(), count);
    }
    if (!MakeRoom(count, false)) return false;
    std::memcpy(buffer_->data + offset_ + length_, chars, sizeof(char16_t) * count);
    length_ += count;
    buffer_->used = offset_ + length_;
    return true;
}

bool String::Append(const String& other) {
    if (other.length_ == 0) return true;
    if (length_ == 0 && !buffer_) {
        Assign(other);
        return true;
    }
    return AppendChars(other.Data(), other.length_);
}

bool String::AppendAscii(const char* s) {
    if (!s) return true;
    int32_t n = static_cast<int32_t>(std::strlen(s));
    if (!MakeRoom(n, false)) return false;
    char16_t* p = buffer_ ? buffer_->data + offset_ + length_ : nullptr;
    for (int32_t i = 0; i < n; ++i) p[i] = static_cast<unsigned char>(s[i]);
    length_ += n;
    if (buffer_) buffer_->used = offset_ + length_;
    return true;
}

bool String::AppendRepeat(char16_t c, int32_t n) {
    if (n <= 0) return n == 0;
    if (!MakeRoom(n, false)) return false;
    char16_t* p = buffer_->data + offset_ + length_;
    for (int32_t i = 0; i < n; ++i) p[i] = c;
    length_ += n;
    buffer_->used = offset_ + length_;
    return true;
}

bool String::AppendUnsigned(uint64_t value, int base, int minWidth) {
    if (base < 2 || base > 36) return false;
    char16_t digits[64];
    int n = 0;
    do {
        unsigned d = static_cast<unsigned>(value % static_cast<unsigned>(base));
        digits[n++] = static_cast<char16_t>(d < 10 ? '0' + d : 'A' + d - 10);
        value /= static_cast<unsigned>(base);
    } while (value);
    if (minWidth > 64) minWidth = 64;
    if (n < minWidth && !AppendRepeat(u'0', minWidth - n)) return false;
    char16_t out[64];
    for (int i = 0; i < n; ++i) out[i] = digits[n - 1 - i];
    return AppendChars(out, n);
}

bool String::AppendRaw(const char16_t* chars, int32_t count) {
    return AppendChars(chars, count);
}
bool String::AppendStringRaw(const String& other) {
    return Append(other);
}

bool String::AppendSubRaw(const String& other, int32_t start, int32_t count) {
    String sub;
    sub.AssignSub(other, start, count);
    return AppendChars(sub.Data(), sub.length_);
}

bool String::Replace(int32_t pos, int32_t count, const char16_t* chars, int32_t newCount) {
    pos = Clamp(pos, 0, length_);
    if (count < 0 || count > length_ - pos) count = length_ - pos;
    if (newCount < 0 || (newCount > 0 && !chars)) return false;
    if (newCount > kMaxLength - (length_ - count)) return false;
    int32_t newLength = length_ - count + newCount;
    Buffer* b = Allocate(newLength + (newLength >> 3));
    if (!b) return false;
    const char16_t* d = Data();
    std::memcpy(b->data, d, sizeof(char16_t) * pos);
    if (newCount) std::memcpy(b->data + pos, chars, sizeof(char16_t) * newCount);
    std::memcpy(b->data + pos + newCount, d + pos + count,
                sizeof(char16_t) * (length_ - pos - count));
    b->used = newLength;
    Release();
    buffer_ = b;
    length_ = newLength;
    return true;
}

bool String::Insert(int32_t pos, const char16_t* chars, int32_t count) {
    return Replace(pos, 0, chars, count);
}

bool String::Erase(int32_t pos, int32_t count) {
    if (pos < 0 || pos >= length_ || count == 0) return pos >= 0 && pos <= length_;
    if (count < 0 || count > length_ - pos) count = length_ - pos;
    if (pos + count == length_) {  // truncation keeps the buffer shared
        length_ = pos;
        return true;
    }
    if (pos == 0) {
        offset_ += count;
        length_ -= count;
        return true;
    }
    return Replace(pos, count, nullptr, 0);
}

bool String::ParseUnsigned64(int base, uint64_t& value) const {
    if (base < 2 || base > 36 || length_ == 0) return false;
    const char16_t* d = Data();
    uint64_t v = 0;
    for (int32_t i = 0; i < length_; ++i) {
        int digit = DigitValue(d[i]);
        if (digit >= base) return false;
        if (v > (UINT64_MAX - digit) / base) return false;
        v = v * base + digit;
    }
    value = v;
    return true;
}

bool String::ParseUnsigned(int base, uint32_t& value) const {
    uint64_t v;
    if (!ParseUnsigned64(base, v) || v > UINT32_MAX) return false;
    value = static_cast<uint32_t>(v);
    return true;
}

bool String::ParseSigned(int base, int32_t& value) const {
    if (length_ == 0) return false;
    char16_t sign = Data()[0];
    String digits;
    if (sign == '-' || sign == '+')
        digits.AssignSub(*this, 1, -1);
    else
        digits.Assign(*this);
    uint64_t v;
    if (!digits.ParseUnsigned64(base, v)) return false;
    if (sign == '-') {
        if (v > 0x80000000ull) return false;
        value = static_cast<int32_t>(-static_cast<int64_t>(v));
    } else {
        if (v > 0x7FFFFFFFull) return false;
        value = static_cast<int32_t>(v);
    }
    return true;
}

int String::CompareN(const char16_t* literal, int32_t count, bool prefix) const {
    if (count < 0) count = WideLength(literal);
    const char16_t* d = Data();
    int32_t n = length_ < count ? length_ : count;
    int32_t i = FirstDifference(d, literal, n);
    if (i < n) return d[i] < literal[i] ? -1 : 1;
    if (length_ < count) return -1;
    if (length_ > count && !prefix) return 1;
    return 0;
}

int String::CompareWith(const String& other) const {
    if (buffer_ == other.buffer_ && offset_ == other.offset_ && length_ == other.length_) return 0;
    int32_t n = length_ < other.length_ ? length_ : other.length_;
    int32_t i = FirstDifference(Data(), other.Data(), n);
    if (i < n) return Data()[i] < other.Data()[i] ? -1 : 1;
    return length_ == other.length_ ? 0 : (length_ < other.length_ ? -1 : 1);
}

bool String::EqualsAscii(const char* ascii) const {
    const char16_t* d = Data();
    int32_t i = 0;
    for (; ascii[i]; ++i) {
        if (i >= length_ || d[i] != static_cast<unsigned char>(ascii[i])) return false;
    }
    return i == length_;
}

bool String::FindChar(char16_t c, int32_t& position, int32_t start, int32_t end) const {
    if (end < 0 || end > length_) end = length_;
    if (start < 0) start = 0;
    const char16_t* d = Data();
    for (int32_t i = start; i < end; ++i) {
        if (d[i] == c) {
            position = i;
            return true;
        }
    }
    return false;
}

int32_t String::IndexOf(char16_t c, int32_t start) const {
    int32_t pos;
    return FindChar(c, pos, start, -1) ? pos : length_;
}

int32_t String::Find(const char16_t* needle, int32_t count, int32_t start) const {
    start = Clamp(start, 0, length_);
    if (count <= 0) return start;
    const char16_t* d = Data();
    for (int32_t i = start; i + count <= length_; ++i) {
        if (d[i] == needle[0] && std::memcmp(d + i, needle, sizeof(char16_t) * count) == 0)
            return i;
    }
    return length_;
}

int32_t String::Find(const String& needle, int32_t start) const {
    return Find(needle.Data(), needle.length_, start);
}

int32_t String::ReplaceChar(char16_t from, char16_t to, int32_t n) {
    int32_t first;
    if (n == 0 || !FindChar(from, first)) return 0;
    char16_t* d = MutableData();
    if (!d) return -1;
    int32_t done = 0;
    for (int32_t i = first; i < length_ && (n < 0 || done < n); ++i) {
        if (d[i] == from) {
            d[i] = to;
            ++done;
        }
    }
    return done;
}

int32_t String::CountChar(char16_t c) const {
    const char16_t* d = Data();
    int32_t n = 0;
    for (int32_t i = 0; i < length_; ++i) n += d[i] == c;
    return n;
}

bool String::ToLower() {
    const char16_t* d = Data();
    int32_t i = 0;
    while (i < length_ && CharProps::ToLower(d[i]) == d[i]) ++i;
    if (i == length_) return true;
    char16_t* w = MutableData();
    if (!w) return false;
    for (; i < length_; ++i) w[i] = CharProps::ToLower(w[i]);
    return true;
}

namespace {
bool IsTrimmed(char16_t c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == 0xA0;
}
}  // namespace

void String::Trim(bool left, bool right) {
    const char16_t* d = Data();
    if (right) {
        while (length_ > 0 && IsTrimmed(d[length_ - 1])) --length_;
    }
    if (left) {
        int32_t i = 0;
        while (i < length_ && IsTrimmed(d[i])) ++i;
        offset_ += i;
        length_ -= i;
    }
}

namespace {

bool StaysUnescaped(char16_t c, bool componentRules) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
    if (c >= 0x100) return true;
    switch (c) {
        case '!':
        case '\'':
        case '(':
        case ')':
        case '*':
        case '-':
        case '.':
        case '_':
        case '~':
            return true;
        case ';':
        case '/':
        case '?':
        case ':':
        case '@':
        case '&':
        case '=':
        case '+':
        case '$':
        case ',':
        case '#':
            return !componentRules;  // reserved characters keep their meaning in a whole URI
        default:
            return false;
    }
}

}  // namespace

bool String::UriEscape(bool encode, bool componentRules) {
    const char16_t* d = Data();
    String out;
    static const char hex[] = "0123456789ABCDEF";
    if (encode) {
        int32_t i = 0;
        while (i < length_ && StaysUnescaped(d[i], componentRules)) ++i;
        if (i == length_) return true;
        if (!out.Reserve(length_ + 16)) return false;
        if (!out.AppendChars(d, i)) return false;
        for (; i < length_; ++i) {
            char16_t c = d[i];
            if (StaysUnescaped(c, componentRules)) {
                if (!out.AppendChar(c)) return false;
            } else {
                char16_t esc[3] = {u'%', static_cast<char16_t>(hex[(c >> 4) & 15]),
                                   static_cast<char16_t>(hex[c & 15])};
                if (!out.AppendChars(esc, 3)) return false;
            }
        }
    } else {
        int32_t i = 0;
        while (i < length_ && d[i] != '%') ++i;
        if (i == length_) return true;
        if (!out.Reserve(length_) || !out.AppendChars(d, i)) return false;
        uint8_t bytes[260];
        while (i < length_) {
            if (d[i] != '%') {
                if (!out.AppendChar(d[i++])) return false;
                continue;
            }
            // Collect a run of escaped bytes, then decide how to read it. Long runs are cut
            // in pieces, never inside a UTF-8 sequence.
            int n = 0;
            while (i < length_ && d[i] == '%') {
                if (i + 2 >= length_) return false;
                int hi = DigitValue(d[i + 1]);
                int lo = DigitValue(d[i + 2]);
                if (hi > 15 || lo > 15) return false;
                uint8_t b = static_cast<uint8_t>(hi * 16 + lo);
                if (n >= 256 && ((b & 0xC0) != 0x80 || n >= 259)) break;
                bytes[n++] = b;
                i += 3;
            }
            bool utf8 = false;
            bool high = false;
            for (int k = 0; k < n; ++k) high |= bytes[k] >= 0x80;
            if (high) utf8 = Utf8::IsValid(bytes, n);
            if (utf8) {
                char16_t wide[264];
                int32_t w = Utf8::DecodeToUtf16(bytes, n, wide, 264);
                if (!out.AppendChars(wide, w)) return false;
            } else {
                for (int k = 0; k < n; ++k)
                    if (!out.AppendChar(bytes[k])) return false;
            }
        }
    }
    Assign(out);
    return true;
}

bool String::AssignFromText(const Text& text) {
    String s;
    if (!text.ToWide(s)) return false;
    Assign(s);
    return true;
}

bool String::AssignFromWide(const char16_t* zeroTerminated) {
    return AssignChars(zeroTerminated, WideLength(zeroTerminated));
}

bool String::ToText(Text& out) const {
    return out.FromWide(Data(), length_);
}

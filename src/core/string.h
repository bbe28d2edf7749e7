// The program's UTF-16 string: a view (offset, length) into a shared, reference-counted,
// copy-on-write buffer. No terminator is kept. Used on the GUI thread only, so the count is plain.
#pragma once

#include <cstddef>
#include <cstdint>

class Text;

class String {
public:
    String() = default;
    String(const char16_t* chars, int32_t count);
    explicit String(const char16_t* zeroTerminated);
    String(const String& other);
    String(String&& other) noexcept;
    String& operator=(const String& other);
    String& operator=(String&& other) noexcept;
    ~String() { Release(); }

    // Makes a zero-filled (never constructed) header a valid empty string; nothing is released.
    void ZeroInit();
    // Drops the buffer reference; the string becomes empty.
    void Release();

    int32_t Length() const { return length_; }
    bool IsEmpty() const { return length_ == 0; }
    // The characters of the view (not terminated); never null.
    const char16_t* Data() const { return buffer_ ? buffer_->data + offset_ : kEmpty; }
    char16_t At(int32_t i) const { return Data()[i]; }
    char16_t operator[](int32_t i) const { return Data()[i]; }
    // A pointer to private, writable characters of the view (copies a shared buffer first);
    // null when memory runs out.
    char16_t* MutableData();
    // True when no other string shares the buffer (an empty string counts as sole holder).
    bool IsSoleHolder() const;
    int32_t RefCount() const;
    int32_t Capacity() const;

    // Shares the other's buffer, offset and length.
    void Assign(const String& other);
    bool AssignChars(const char16_t* chars, int32_t count);
    // A view of source's characters [start, start + count), sharing its buffer. Out-of-range
    // arguments are clamped; a negative count means "to the end".
    void AssignSub(const String& source, int32_t start, int32_t count);
    // Makes the buffer private with room for at least capacity characters.
    bool Reserve(int32_t capacity);
    // Length 0, buffer kept.
    void SetEmpty();

    bool Append(const String& other);
    bool AppendChars(const char16_t* chars, int32_t count) {
        if (buffer_ && buffer_->refs == 1 && count > 0 &&
            count <= buffer_->capacity - offset_ - length_ && chars &&
            !(chars >= buffer_->data && chars < buffer_->data + buffer_->capacity)) {
            char16_t* d = buffer_->data + offset_ + length_;
            for (int32_t i = 0; i < count; ++i) d[i] = chars[i];
            length_ += count;
            buffer_->used = offset_ + length_;
            return true;
        }
        return AppendCharsSlow(chars, count);
    }
    bool AppendChar(char16_t c) {
        if (buffer_ && buffer_->refs == 1 && offset_ + length_ < buffer_->capacity) {
            buffer_->data[offset_ + length_++] = c;
            buffer_->used = offset_ + length_;
            return true;
        }
        return AppendCharsSlow(&c, 1);
    }
    // Appends ASCII (or Latin-1) bytes, one character each.
    bool AppendAscii(const char* s);
    bool AppendRepeat(char16_t c, int32_t n);
    // Base 2 to 36, digits 0-9 then A-Z, no leading zeros unless minWidth asks for them.
    bool AppendUnsigned(uint64_t value, int base, int minWidth = 0);
    // Checked appends meant to follow a Reserve; they grow the buffer if it is still too small.
    bool AppendRaw(const char16_t* chars, int32_t count);
    bool AppendStringRaw(const String& other);
    bool AppendSubRaw(const String& other, int32_t start, int32_t count);

    bool Insert(int32_t pos, const char16_t* chars, int32_t count);
    bool Erase(int32_t pos, int32_t count);
    bool Replace(int32_t pos, int32_t count, const char16_t* chars, int32_t newCount);

    // Whole string as a number; false on an empty string, a bad digit, overflow or a bad base.
    bool ParseUnsigned(int base, uint32_t& value) const;
    bool ParseUnsigned64(int base, uint64_t& value) const;
    // Optional '-' or '+', then digits; range-checked.
    bool ParseSigned(int base, int32_t& value) const;

    // Exact code units; 0 equal, -1 when this sorts first (shorter first), 1 otherwise. With
    // prefix it is enough that this string starts with the literal.
    int CompareN(const char16_t* literal, int32_t count, bool prefix = false) const;
    // Code-unit order, shorter first: -1, 0 or 1.
    int CompareWith(const String& other) const;
    bool EqualsAscii(const char* ascii) const;
    bool operator==(const String& other) const { return CompareWith(other) == 0; }
    bool operator!=(const String& other) const { return CompareWith(other) != 0; }
    bool operator<(const String& other) const { return CompareWith(other) < 0; }

    // First occurrence of c in [start, end) (end -1 means the length); the whole unit compares.
    bool FindChar(char16_t c, int32_t& position, int32_t start = 0, int32_t end = -1) const;
    // Position of c from start, or the length when absent.
    int32_t IndexOf(char16_t c, int32_t start = 0) const;
    // Position of the needle from start, or the length when absent; an empty needle gives start.
    int32_t Find(const String& needle, int32_t start = 0) const;
    int32_t Find(const char16_t* needle, int32_t count, int32_t start = 0) const;
    // Replaces at most n occurrences (-1 all); the count replaced, or -1 when memory runs out.
    int32_t ReplaceChar(char16_t from, char16_t to, int32_t n = -1);
    int32_t CountChar(char16_t c) const;
    // Lower-cases in place through CharProps::ToLower, so that it agrees with the text search.
    bool ToLower();
    // Removes space, TAB, CR, LF and U+00A0 from the chosen ends.
    void Trim(bool left, bool right);
    // Percent-encodes (encode) or decodes in place. Decoding fails on a '%' without two hex
    // digits; runs of escaped bytes that form valid UTF-8 decode as UTF-8, others as U+00XX.
    bool UriEscape(bool encode, bool componentRules);

    // Conversions with Text; an empty text gives an empty string (success).
    bool AssignFromText(const Text& text);
    bool AssignFromWide(const char16_t* zeroTerminated);
    bool ToText(Text& out) const;

private:
    struct Buffer {
        int32_t refs;
        int32_t capacity;
        int32_t used;  // characters written so far; the view ending there may append in place
        int32_t pad;
        char16_t data[1];
    };
    static Buffer* Allocate(int32_t capacity);
    bool AppendCharsSlow(const char16_t* chars, int32_t count);
    bool MakeRoom(int32_t extra, bool privateCopy);
    bool MakePrivate();

    static const char16_t kEmpty[1];
    Buffer* buffer_ = nullptr;
    int32_t offset_ = 0;
    int32_t length_ = 0;
};

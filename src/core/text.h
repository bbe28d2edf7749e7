// Encoded text: bytes tagged with a code page, an active view (start and end byte offsets), a
// read cursor that decodes one character at a time, and an error state. It carries file names,
// paths, URLs and every text that crosses a code-page boundary. CodePages::kUtf16 marks UTF-16LE.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/charset.h"

class String;
class ByteStream;
class TextList;

class Text {
public:
    enum Error : uint8_t {
        kErrNone = 0,
        kErrMemory = 1,
        kErrArgument = 2,    // a bad argument or range
        kErrConversion = 3,  // the text could not be converted
    };

    Text() = default;
    explicit Text(int codePage) : codePage_(codePage) {}
    Text(const Text& other);
    Text(Text&& other) noexcept;
    Text& operator=(const Text& other);
    Text& operator=(Text&& other) noexcept;
    ~Text();

    // Builders. Each replaces the contents; false (with the error recorded) on failure.
    bool Assign(const Text& other);
    bool AssignBytes(const uint8_t* bytes, size_t n, int codePage);
    bool AssignAscii(const char* s);  // 1252 text
    bool AssignUtf8(const char* s, size_t n = static_cast<size_t>(-1));
    // UTF-16 (CodePages::kUtf16) from wide characters; an empty input gives an empty text.
    bool FromWide(const char16_t* chars, int32_t count);
    bool FromWide(const char16_t* zeroTerminated);
    bool FromString(const String& s);

    // Empty view, error cleared, code page kept. Free also gives the memory back.
    void Clear();
    void Free();

    int CodePage() const { return codePage_; }
    // Bytes of the active view.
    int32_t ByteLength() const { return viewEnd_ - viewStart_; }
    const uint8_t* Bytes() const { return bytes_ ? bytes_ + viewStart_ : nullptr; }
    int32_t CharCount() const;
    bool IsEmpty() const { return viewEnd_ == viewStart_; }
    // True when empty or made of white space only.
    bool IsBlank() const;

    // Error state: the first error sticks until Clear or ClearError; a locked state records none.
    bool IsValid() const { return error_ == kErrNone; }
    int Error() const { return error_; }
    void SetError(int error);
    void ClearError() { error_ = kErrNone; }
    void LockError(bool locked) { errorLocked_ = locked; }

    // The NUL-terminated UTF-16 form of the view; valid until the next change. Never null.
    const char16_t* WideCStr() const;
    // The UTF-16 form of the view as a String (true on success; empty gives empty).
    bool ToWide(String& out) const;
    // Re-encodes in place; characters the target lacks become '?' (error 3 recorded).
    bool ConvertTo(int codePage);

    // Appends, encoded in this text's code page.
    bool AppendCodePoint(uint32_t codePoint);
    bool AppendNumber(uint64_t value, int radix);
    bool AppendAscii(const char* s);
    bool AppendWide(const char16_t* chars, int32_t count);
    bool AppendText(const Text& other);

    // Read cursor: Rewind puts it at the start of the view; Next decodes one code point
    // (false at the end); Position counts the characters read so far.
    void Rewind();
    bool Next(uint32_t& codePoint);
    int32_t Position() const { return position_; }
    int32_t CursorByte() const { return cursor_; }

    // Narrows the view to the characters [start, end) of the current view; clamped, and an
    // inverted range gives an empty view.
    void SetViewChars(int32_t start, int32_t end);
    // Removes the bytes before the cursor (or before the view when the cursor is at its start)
    // and the bytes past the view.
    void DropConsumed();

    // Equality of the active views. prefix: equal when other is a prefix of this one.
    // Without caseSensitive, letters compare through CharProps::ToLower.
    bool Equals(const Text& other, bool prefix, bool caseSensitive) const;
    bool EqualsDefault(const Text& other) const { return Equals(other, false, false); }
    // Against a UTF-16 literal, ASCII letters without case.
    bool EqualsWide(const char16_t* literal) const;
    bool StartsWithWide(const char16_t* literal) const;
    bool EqualsAscii(const char* literal) const;
    // Order: negative, 0 or positive (code points, shorter first).
    int Compare(const Text& other, bool caseSensitive) const;

    // Occurrences of other in this text (0 for an empty other).
    int32_t CountOccurrences(const Text& other) const;
    // Replaces every occurrence of from by to; the count replaced, or -1 on failure.
    int32_t Replace(const Text& from, const Text& to);
    // True when the text holds '?', '*', U+FF1F or U+FF0A; count = characters before the first.
    bool FindWildcard(int32_t& count) const;
    // XOR of the case-folded code points, each shifted left once when its position is even, so
    // that texts equal without case hash alike.
    int32_t Hash() const;
    // Splits the view at each separator into the list (empty pieces kept).
    bool Split(uint32_t separator, TextList& out) const;

    // Paths (backslash separated).
    bool AppendPathComponent(const Text& name);
    bool EnsureTrailingBackslash();
    // Cuts back to the part before the last '\' or '/' (empty when there is none); with keep,
    // the separator stays.
    void ToBackslashes(bool keepSeparator = false);
    void RemoveFileName() { ToBackslashes(true); }
    // Replaces (or adds) the extension of the file name; ext includes its dot (".fvt").
    bool ReplaceExtension(const Text& ext);

    // Byte form for private caches: 0x00 for empty, else 0x02 and the UTF-8 bytes.
    bool Serialize(ByteStream& out) const;
    bool Deserialize(const uint8_t* bytes, size_t n);

    // Reads a whole file: a byte-order mark selects UTF-16 (either order) or UTF-8; otherwise
    // 1252. An absent file gives an empty text and false.
    bool LoadFile(const Text& path);
    // "0 KB", whole KB below 1 MB (a non-empty file never shows 0), else MB with one decimal.
    bool FormatByteSize(uint64_t bytes);

private:
    bool Reserve(size_t bytes);
    bool AppendRaw(const uint8_t* bytes, size_t n);
    bool Fail(int error);
    void InvalidateWide() const;
    bool SameEncodingBytes(const Text& other) const;

    uint8_t* bytes_ = nullptr;
    int32_t capacity_ = 0;
    int32_t viewStart_ = 0;
    int32_t viewEnd_ = 0;
    int32_t cursor_ = 0;
    int32_t position_ = 0;
    int codePage_ = CodePages::kUtf16;
    uint8_t error_ = kErrNone;
    bool errorLocked_ = false;
    mutable char16_t* wide_ = nullptr;  // cached UTF-16 form for WideCStr
    mutable int32_t wideLength_ = -1;
};

// Reads the code points of a view without touching a Text's own cursor.
class TextReader {
public:
    explicit TextReader(const Text& text);
    ~TextReader();
    TextReader(const TextReader&) = delete;
    TextReader& operator=(const TextReader&) = delete;
    bool Next(uint32_t& codePoint);
    int32_t Position() const { return position_; }

private:
    const uint8_t* p_;
    const uint8_t* end_;
    int codePage_;
    const char16_t* wide_ = nullptr;
    int32_t wideIndex_ = 0;
    int32_t wideLength_ = 0;
    int32_t position_ = 0;
};

int GetUnicodeCodePage();

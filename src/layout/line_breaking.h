// The small machines of the line filler: the column being filled, a line's indents and height,
// and the ring of the last four break opportunities with the rule that picks where a full
// line is cut (no closing mark begins a line, no opening mark ends one).
#pragma once

#include <cstdint>
#include <new>
#include <type_traits>

#include "core/geometry.h"
#include "document/markup/length.h"
#include "layout/block_contents.h"

struct LineRecord;

// One column being filled. Remaining is what the line filler asks; it never reads the page.
struct ColumnBox {
    int32_t used = 0;
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
    // How far down the column is filled: its height, or less while the layout probes only
    // the top of a page (height stays the reference of lengths and pictures).
    int32_t fill = 0;
    int32_t pending[2] = {};
    bool full = false;
    bool shown = false;  // a line with text or a picture was placed

    void Set(const Rect& column) {
        *this = ColumnBox{};
        x = column.x;
        y = column.y;
        width = column.width;
        height = column.height;
        fill = column.height;
    }
    int32_t Bottom() const { return used + (pending[0] > pending[1] ? pending[0] : pending[1]); }
    int32_t Remaining() const { return full ? 0 : fill - Bottom(); }
    void Advance(int32_t gap);
    void SetUsed(int32_t y);
    void PlaceLine(LineRecord& line, int32_t indent) const;
    void MarkFull() { full = true; }
    int32_t Width() const { return width; }
    // Objects are never floated beside the text.
    bool PlaceFloat() const { return false; }
};

// A line's indents within its column.
struct LineIndents {
    static constexpr uint32_t kFramed = 1;
    int32_t left = 0;
    int32_t right = 0;
    int32_t width = 0;
    uint32_t flags = 0;

    // Margins of the box, resolved against the base unit and the reference width; with
    // inherit, the first-line indent is added. (All three are asked for every line: inline.)
    void Set(const BoxRecord& box, bool inherit, int32_t base, int32_t reference) {
        left = Length::Resolve(box.leftMargin, base, reference);
        // The first-line indent may be negative (a hanging first line); the line never starts
        // left of the column.
        if (inherit && Length::IsSet(box.firstIndent))
            left += Length::Resolve(box.firstIndent, base, reference);
        right = Length::Resolve(box.rightMargin, base, reference);
        if (left < 0) left = 0;
        if (right < 0) right = 0;
    }
    // Never below 0: deep nesting leaves a line with no room, not a negative one.
    int32_t Available() const {
        int64_t a = static_cast<int64_t>(width) - ((flags & kFramed) ? 4 : 0) - left - right;
        return a < 0 ? 0 : static_cast<int32_t>(a);
    }
    int32_t Reset(int32_t columnWidth) {
        width = columnWidth;
        if (static_cast<int64_t>(width) - ((flags & kFramed) ? 4 : 0) - left - right < 0)
            left = right = 0;
        return Available();
    }
};

// An inline object's vertical alignment (the VALIGN and ALIGN values).
enum ObjectAlignment : uint32_t {
    kAlignTop = 0,
    kAlignMiddle = 1,
    kAlignBottom = 2,
    kAlignBaseline = 3,
    kAlignTextTop = 4,
    kAlignAbsMiddle = 9,
    kAlignAbsBottom = 10,
};

struct LineMetrics {
    static constexpr uint32_t kExtraAbove = 0x01;
    static constexpr uint32_t kExtraBelow = 0x02;
    static constexpr uint32_t kHasText = 0x04;
    static constexpr uint32_t kComputed = 0x08;
    static constexpr uint32_t kPlacementShift = 4;  // 1 top, 2 bottom, 0 middle
    static constexpr uint32_t kPlacementMask = 0x30;

    int32_t ascent = 0;
    int32_t descent = 0;
    int32_t objectAbove = 0;
    int32_t objectBelow = 0;
    int32_t aligned = 0;  // top, middle and bottom aligned objects
    int32_t middle1 = 0;  // alignment 1
    int32_t textTop4 = 0;  // alignment 4
    int32_t baseline = 0;
    int32_t height = 0;
    uint32_t flags = 0;
    int32_t extraAbove = 0;
    int32_t extraBelow = 0;
    int32_t spacing = 0;  // quarters of the text height

    void AddText(int32_t a, int32_t d) {
        if (a > ascent) ascent = a;
        if (d > descent) descent = d;
    }
    // Notes whether the run shows anything but blanks; once the line holds text, nothing
    // more is looked at (the check is inline: every word of a line passes it).
    void NoteText(const String& run) {
        if (!(flags & kHasText)) NoteFirstText(run);
    }
    void NoteFirstText(const String& run);
    void AddObject(uint32_t alignment, int32_t h, int32_t below, int32_t space);
    int32_t ExtraAbove() const { return static_cast<int32_t>(flags & kExtraAbove) + extraAbove; }
    int32_t ExtraBelow() const { return ((flags & kExtraBelow) ? 1 : 0) + extraBelow; }
    void Reset();
    void Compute();
    uint32_t Placement() const { return (flags & kPlacementMask) >> kPlacementShift; }
};

// The filler's state at one break opportunity.
struct BreakCandidate {
    BlockCursor cursor;  // the item that would begin the next line
    int32_t remaining = 0;
    int32_t pendingSpace = 0;
    int32_t spaceCount = 0;
    uint8_t placeholder = 1;
    char16_t first = u' ';
    char16_t last = u' ';

    // The character is looked at first: most are no mark, and only then is the item's kind
    // looked up (the marks apply to text runs only).
    inline bool MayBeginLine() const;
    inline bool MayEndLine() const;
};

class BreakRing {
public:
    // (Every word and space of a line is one: inline.)
    void Push(const BreakCandidate& c) { PushSlot() = c; }
    // The slot of a new newest candidate, for the caller to fill in place.
    BreakCandidate& PushSlot() {
        BreakCandidate& slot = Slots()[next_];
        next_ = (next_ + 1) & 3;
        if (count_ < 4) ++count_;
        return slot;
    }
    void SetLastChar(char16_t c) {
        if (count_ == 0) return;
        Slots()[(next_ + 3) & 3].last = c;
    }
    int32_t Count() const { return count_; }
    // Newest first: 0 the newest.
    const BreakCandidate& Candidate(int32_t age) const {
        return Slots()[(next_ + 3 - age) & 3];
    }
    // The chosen candidate; false when the ring is empty or only placeholders are held (a
    // cut there would leave the line empty).
    bool ChooseBreak(BreakCandidate& out) const;

private:
    // Only the count_ newest slots are ever read, each written whole when pushed: a line's
    // ring is plain storage, not cleared first (the candidates, trivially copied and
    // destroyed, live in it from its start).
    static_assert(std::is_trivially_copyable_v<BreakCandidate> &&
                  std::is_trivially_destructible_v<BreakCandidate>);
    BreakCandidate* Slots() { return std::launder(reinterpret_cast<BreakCandidate*>(storage_)); }
    const BreakCandidate* Slots() const {
        return std::launder(reinterpret_cast<const BreakCandidate*>(storage_));
    }
    alignas(BreakCandidate) unsigned char storage_[4 * sizeof(BreakCandidate)];
    int32_t next_ = 0;
    int32_t count_ = 0;
};

namespace LineMarks {
// Bisection over an ascending table; an empty table finds nothing.
bool Find(const uint16_t* table, int32_t n, char16_t c);
bool IsClosingAbove127(char16_t c);
bool IsOpeningAbove127(char16_t c);
// The marks below 128, one bit each (every word of a line ending on a break is asked about).
inline constexpr uint64_t kClosingAscii[2] = {
    1ull << 0x21 | 1ull << 0x29 | 1ull << 0x2C | 1ull << 0x2E | 1ull << 0x3A | 1ull << 0x3B |
        1ull << 0x3F,
    1ull << (0x5D - 64) | 1ull << (0x7D - 64)};
inline constexpr uint64_t kOpeningAscii[2] = {1ull << 0x28,
                                              1ull << (0x5B - 64) | 1ull << (0x7B - 64)};
inline bool InAscii(const uint64_t (&set)[2], char16_t c) { return set[c >> 6] >> (c & 63) & 1; }
// May not begin a line.
inline bool IsClosing(char16_t c) {
    return c < 128 ? InAscii(kClosingAscii, c) : IsClosingAbove127(c);
}
// May not end a line.
inline bool IsOpening(char16_t c) {
    return c < 128 ? InAscii(kOpeningAscii, c) : IsOpeningAbove127(c);
}
}  // namespace LineMarks

bool BreakCandidate::MayBeginLine() const {
    return !LineMarks::IsClosing(first) || cursor.Kind() != kItemTextRun;
}

bool BreakCandidate::MayEndLine() const {
    return !LineMarks::IsOpening(last) || cursor.Kind() != kItemTextRun;
}

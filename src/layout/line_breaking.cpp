#include "layout/line_breaking.h"

#include <iterator>

#include "core/char_props.h"
#include "document/markup/length.h"

// ---- ColumnBox ----------------------------------------------------------------------------

void ColumnBox::Advance(int32_t gap) {
    used += (pending[0] > pending[1] ? pending[0] : pending[1]) + gap;
    pending[0] = pending[1] = 0;
}

void ColumnBox::SetUsed(int32_t value) {
    used = value;
    pending[0] = pending[1] = 0;
}

void ColumnBox::PlaceLine(LineRecord& line, int32_t indent) const {
    line.x = x + indent;
    line.y = y + used + (pending[0] > pending[1] ? pending[0] : pending[1]);
}

// ---- LineMetrics --------------------------------------------------------------------------

void LineMetrics::NoteFirstText(const String& run) {
    for (int32_t i = 0; i < run.Length(); ++i) {
        char16_t c = run[i];
        if (c != u' ' && c != u'\t' && c != u'\r' && c != u'\n' && c != 0xA0 && c != 0x3000) {
            flags |= kHasText;
            return;
        }
    }
}

void LineMetrics::AddObject(uint32_t alignment, int32_t h, int32_t below, int32_t space) {
    int32_t full = h + 2 * space;
    auto raise = [&](uint32_t placement) {
        if (full > aligned) {
            aligned = full;
            flags = (flags & ~kPlacementMask) | (placement << kPlacementShift);
        }
    };
    switch (alignment) {
        case kAlignTop: raise(1); break;
        case kAlignAbsMiddle: raise(0); break;
        case kAlignAbsBottom: raise(2); break;
        case kAlignMiddle:
            if (full > middle1) middle1 = full;
            break;
        case kAlignTextTop:
            if (full > textTop4) textTop4 = full;
            break;
        default:
            if (h - below + space > objectAbove) objectAbove = h - below + space;
            if (below + space > objectBelow) objectBelow = below + space;
            break;
    }
}

void LineMetrics::Reset() {
    uint32_t placement = flags & kPlacementMask;
    int32_t keepSpacing = spacing;
    *this = LineMetrics{};
    flags = placement;
    spacing = keepSpacing;
}

void LineMetrics::Compute() {
    int32_t top = 0;
    int32_t below = 0;
    int32_t s = 0;
    if (flags & kHasText) {
        top = ascent > objectAbove ? ascent : objectAbove;
        below = descent > objectBelow ? descent : objectBelow;
        s = ((ascent + descent) * spacing) >> 2;
        if (textTop4 > ascent + below) below = textTop4 - ascent;
        if (middle1 > 0) {
            int32_t half = (middle1 - descent + ascent) / 2;
            if (half > top) top = half;
            if (middle1 - half > below) below = middle1 - half;
        }
    } else {
        ascent = descent = 0;
        top = objectAbove;
        below = objectBelow;
        if (textTop4 > aligned) {
            aligned = textTop4;
            flags = (flags & ~kPlacementMask) | (1u << kPlacementShift);
        }
        if (middle1 > aligned) {
            aligned = middle1;
            flags = (flags & ~kPlacementMask);
        }
    }
    height = top + below;
    baseline = top;
    if (aligned > height) {
        switch (Placement()) {
            case 1: baseline = top; break;
            case 2: baseline = aligned - below; break;
            default: baseline = top + (aligned - (top + below)) / 2; break;
        }
        height = aligned;
    }
    height += ((flags & kExtraBelow) ? 1 : 0) + ((flags & kExtraAbove) ? 1 : 0) + extraBelow +
              extraAbove + s;
    baseline += s - (s >> 1);
    flags |= kComputed;
}

// ---- Marks --------------------------------------------------------------------------------

namespace {

constexpr uint16_t kClosing[] = {
    0x0021, 0x0029, 0x002C, 0x002E, 0x003A, 0x003B, 0x003F, 0x005D, 0x007D, 0x00BB, 0x2019,
    0x201B, 0x201D, 0x201F, 0x2027, 0x2035, 0x2036, 0x2037, 0x203A, 0x2040, 0x2046, 0x207E,
    0x208E, 0x2267, 0x226B, 0x3001, 0x3002, 0x3009, 0x300B, 0x300D, 0x300F, 0x3011, 0x3015,
    0x3017, 0x3019, 0x301B, 0x301E, 0x302B, 0x302D, 0x3035, 0x309C, 0x30FB, 0xFF01, 0xFF09,
    0xFF0C, 0xFF0E, 0xFF1A, 0xFF1B, 0xFF1E, 0xFF1F, 0xFF3D, 0xFF5D, 0xFF63};
constexpr uint16_t kOpening[] = {
    0x0028, 0x005B, 0x007B, 0x00A1, 0x00AB, 0x00B6, 0x00BF, 0x2018, 0x201A, 0x201C, 0x201E,
    0x2032, 0x2033, 0x2034, 0x2039, 0x203F, 0x2045, 0x207D, 0x208D, 0x2266, 0x226A, 0x3008,
    0x300A, 0x300C, 0x300E, 0x3010, 0x3014, 0x3016, 0x3018, 0x301A, 0x301D, 0x302A, 0x302C,
    0x3033, 0x3034, 0x309B, 0x30FC, 0xFF08, 0xFF1C, 0xFF3B, 0xFF5B, 0xFF62};
static_assert(sizeof(kClosing) / sizeof(kClosing[0]) == 53);
static_assert(sizeof(kOpening) / sizeof(kOpening[0]) == 42);

}  // namespace

namespace LineMarks {

bool Find(const uint16_t* table, int32_t n, char16_t c) {
    int32_t lo = 0;
    int32_t hi = n;
    while (lo < hi) {
        int32_t mid = (lo + hi) / 2;
        if (table[mid] == c) return true;
        if (c < table[mid])
            hi = mid;
        else
            lo = mid + 1;
    }
    return false;
}

bool IsClosingAbove127(char16_t c) {
    return Find(kClosing, static_cast<int32_t>(std::size(kClosing)), c);
}

bool IsOpeningAbove127(char16_t c) {
    return Find(kOpening, static_cast<int32_t>(std::size(kOpening)), c);
}

}  // namespace LineMarks

// ---- Breaks -------------------------------------------------------------------------------

bool BreakRing::ChooseBreak(BreakCandidate& out) const {
    if (count_ == 0) return false;
    const BreakCandidate* chosen = nullptr;
    // A cut at ck leaves ck+1's word at the end of the line: ck may not begin with a closing
    // mark, and the word before it may not end with an opening one.
    for (int32_t k = 0; k + 1 < count_ && k < 3 && !chosen; ++k) {
        const BreakCandidate& c = Candidate(k);
        if (c.MayBeginLine() && Candidate(k + 1).MayEndLine()) chosen = &c;
    }
    if (!chosen) {
        const BreakCandidate& oldest = Candidate(count_ - 1);
        if (oldest.MayBeginLine()) chosen = &oldest;
    }
    if (chosen && chosen->placeholder == 0) {
        out = *chosen;
        return true;
    }
    // Never cut at a placeholder: that would leave the line empty. The newest real
    // opportunity, if any, wins.
    for (int32_t k = 0; k < count_; ++k) {
        if (Candidate(k).placeholder == 0) {
            out = Candidate(k);
            return true;
        }
    }
    return false;
}

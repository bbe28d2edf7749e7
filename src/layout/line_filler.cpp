// The line filler: one line of a column at a time, from the block's items, with its box and
// indents, the break opportunities met and the word split when it does not fit; then the line
// closed after a break and its items placed.
#include "document/markup/length.h"
#include "layout/hyphenation.h"
#include "layout/inline_objects.h"
#include "layout/page_drawing.h"
#include "layout/page_layout.h"

namespace {

enum LastPlaced : uint32_t { kLastSpace = 2, kLastObject = 9, kLastText = 7 };

int32_t ResolveSpace(uint32_t length, int32_t base, int32_t total) {
    if (!Length::IsSet(length)) return 0;
    int32_t v = Length::Resolve(length, base, total);
    if (v < 0) return 0;
    return v > 1000 ? 1000 : v;
}

}  // namespace

// The steps below are used only by LayoutLines and defined inline so that they are compiled into
// its loop.
// The line LayoutLines fills: where it is in the block, its box, indents and metrics, the room
// left and the break opportunities met, and how it ended.
struct PageLayout::LineState {
    explicit LineState(ColumnBox& c) : column(c) {}
    ColumnBox& column;
    BlockCursor c;
    BlockCursor lineStart;
    BlockCursor wordStart;
    int32_t lineIndex = 0;
    int32_t base = 0;
    BoxRecord box;
    PositionRecord startStyle;
    LineIndents indents;
    LineMetrics metrics;
    int32_t lineWidth = 0;
    int32_t remaining = 0;
    BreakRing ring;
    bool pushedAny = false;
    int32_t pending = 0, pendingSpace = 0, spaceCount = 0;
    uint32_t last = kLastSpace;
    bool ended = false, endedAtBreak = false, pageBreak = false, overflowWord = false;
    bool hasContent = false, tableHere = false, topEdge = false;
    // Text or a picture: a line of rules, blanks and block ends leaves the column looking empty.
    bool visible = false;
    // Marked full only once the line is placed: the line before a cell's end still fits.
    bool columnFull = false;
    uint8_t lineFlags = 0;

    // The first line that shows something stays in the column even when taller than the room
    // left, as the column's first line does: below nothing but blank lines and block ends (a
    // page laid out from a paragraph's end), a page ended before it would show nothing.
    bool StaysAtTop(bool firstLine) const { return firstLine || (visible && !column.shown); }

    // A break opportunity before the item at c; the first of a line would leave it empty.
    void PushCandidate(char16_t first, char16_t lastChar) {
        BreakCandidate& cand = ring.PushSlot();
        cand.cursor = c;
        cand.remaining = remaining;
        cand.pendingSpace = pendingSpace;
        cand.spaceCount = spaceCount;
        cand.placeholder = pushedAny ? 0 : 1;
        cand.first = first;
        cand.last = lastChar;
        pushedAny = true;
    }
};

// Opens the line at the cursor: its line record, its box, indents and room, and the space above
// a first line. False when the block cannot take the line record.
inline bool PageLayout::StartLine(LineState& ln, const BlockCursor& cursor) {
    BlockCursor& c = ln.c;
    ColumnBox& column = ln.column;
    c = cursor;
    if (!EnsureItem(c)) return false;
    if (c.Kind() == kItemLine) {
        *block_->Line(c.counts[kItemLine]) = LineRecord{};
    } else {
        LineRecord fresh;
        if (!block_->Insert(c, fresh, block_->PositionAt(c), true)) return false;
    }
    ln.lineIndex = c.counts[kItemLine];
    c.Next();
    ln.lineStart = c;

    ln.base = fonts_.BaseSize();
    const int32_t base = ln.base;
    ln.box = next_->blockStyle;
    const BoxRecord& box = ln.box;
    ln.startStyle = lineStyle_;
    LineIndents& indents = ln.indents;
    indents.width = column.width;
    if (box.flags & BoxRecord::kFramed) indents.flags |= LineIndents::kFramed;
    indents.Set(box, (box.flags & BoxRecord::kFirstLineIndent) != 0, base, column.width);
    // Indents deeper than the column (lists and quotes nested past its width) give the line
    // the whole column back rather than push its words off the page.
    indents.Reset(column.width);
    LineMetrics& metrics = ln.metrics;
    metrics.spacing = settings_.lineSpacing;
    if (box.flags & BoxRecord::kFirstLineIndent)
        metrics.extraAbove = ResolveSpace(box.spaceBefore, base, column.height);
    ln.lineWidth = indents.Available();
    ln.remaining = ln.lineWidth;
    ln.wordStart = c;
    return true;
}

// The word from wordStart to the run at c does not fit after what the line holds: with a
// quarter of the line still free it is hyphenated. A word wider than the line it opens is
// hyphenated too, or else cut at the last character that fits; only a word of which not
// even one character fits stays whole. c then stands just past what stays on the line and
// room is what is left.
// Preformatted text is never hyphenated: a word goes to the next line whole, and one wider
// than the line is cut where the line ends, without a hyphen.
bool PageLayout::SplitWord(LineState& ln, int32_t& room, bool opensLine) {
    BlockCursor& c = ln.c;
    BoxRecord& box = ln.box;
    int32_t& lineWidth = ln.lineWidth;
    BlockCursor& wordStart = ln.wordStart;
    bool preformatted = (box.flags & BoxRecord::kPreformatted) != 0;
    if (preformatted && !opensLine) return false;
    if (!opensLine && !Hyphenation::IsQuarterFree(room, lineWidth)) return false;
    BlockCursor end = c;
    end.Next();
    ExtendToWordEnd(end);
    // The word is measured in the fonts it is drawn in, from the style in force at its start
    // (the style reached at its end may be that of a mark or link after it).
    const PositionRecord atEnd = lineStyle_;
    ApplyStyleAt(ln, wordStart);
    const uint32_t language = lineStyle_.language;
    WordSplitter split(*block_, fonts_, Document());
    BlockCursor after;
    int32_t avail = room;
    if (preformatted || !split.HyphenateRun(language, wordStart, end, avail, after)) {
        avail = room;
        if (!opensLine || !split.BreakRun(language, wordStart, end, avail, after, !preformatted)) {
            ApplyStyle(atEnd);
            return false;
        }
    }
    c = after;
    room = avail;
    ApplyStyleAt(ln, c);
    return true;
}

// Moves `end` past the rest of the word whose run it follows: the runs and style changes up to
// the next space, break, object or box (the hyphen and the line record an earlier layout of the
// block left where it cut the word are inside it). Where the word is cut and whether it reads
// as an identifier or has syllables depends on all of it, whichever runs its text came in (a
// character reference, markup inside the word, the end of a piece of text the source read at
// once): a page starting inside the word cuts it as the page before did.
void PageLayout::ExtendToWordEnd(BlockCursor& end) {
    constexpr int32_t kMaxWordItems = 64;
    BlockCursor c = end;
    for (int32_t i = 0; i < kMaxWordItems; ++i) {
        const uint32_t kind = EnsureItemKind(c);
        const bool hyphen =
            kind == kItemFlowMark && block_->Mark(c.counts[kItemFlowMark])->type == kMarkHyphen;
        if (kind != kItemTextRun && kind != kItemStyleChange && kind != kItemLine && !hyphen)
            return;
        c.Next();
        // The word ends with its last run: a style change after it is the next word's (the
        // splitter measures the hyphen in the font it leaves selected).
        if (kind == kItemTextRun) end = c;
    }
}

// The line went back to c (a break chosen before its last word, or the cut inside a word): the
// style in force there is the line's first with the style changes up to c, not the one reached
// past it. The next line and the page starting there take it.
// A style change replaces the whole style: the one in force at c is the last change between
// the line's start and c, counted by the cursors, or else the style the line started with.
void PageLayout::ApplyStyleAt(const LineState& ln, const BlockCursor& c) {
    const int32_t changes = c.counts[kItemStyleChange];
    const PositionRecord* last =
        c.position > ln.lineStart.position && changes > ln.lineStart.counts[kItemStyleChange]
            ? block_->Style(changes - 1)
            : nullptr;
    ApplyStyle(last ? *last : ln.startStyle);
}

bool PageLayout::LayoutLines(ColumnBox& column, BlockCursor& cursor, bool& goOn, bool& firstLine,
                             bool& progress) {
    progress = true;
    goOn = false;
    LineState ln(column);
    if (!StartLine(ln, cursor)) return false;
    BlockCursor& c = ln.c;
    int32_t& remaining = ln.remaining;
    int32_t& pending = ln.pending;
    uint32_t& last = ln.last;
    bool& ended = ln.ended;
    bool& hasContent = ln.hasContent;
    bool& tableHere = ln.tableHere;
    bool& columnFull = ln.columnFull;
    while (!ended) {
        const uint32_t kind = EnsureItemKind(c);
        if (kind == kItemKindCount) return false;
        FlowMark* mark = kind == kItemFlowMark ? block_->Mark(c.counts[kItemFlowMark]) : nullptr;
        if (last == kLastText && ((mark && mark->type != kMarkHyphen) || kind == kItemInlineBox)) {
            remaining -= pending;
            pending = 0;
        }
        switch (static_cast<ItemKind>(kind)) {
            case kItemBox:
                AddBoxToLine(ln);
                break;
            case kItemBoxAttribute: {
                BoxAttribute* a = block_->Attribute(c.counts[kItemBoxAttribute]);
                if (a->continuation) block_->SetContinuation(a->continuation);
                c.Next();
                break;
            }
            case kItemLine:
                block_->RemoveAt(c);  // left by an earlier layout of this block
                break;
            case kItemRow:
            case kItemCell:
                if (tableDepth_ > 0) {
                    // The next row or cell begins: this cell's content ends here.
                    ended = columnFull = true;
                } else {
                    block_->RemoveAt(c);
                }
                break;
            case kItemTable:
                ended = true;
                if (!hasContent) {
                    tableHere = true;
                    progress = false;
                }
                break;
            case kItemTextRun:
                AddRunToLine(ln);
                break;
            case kItemStyleChange:
                ApplyStyle(*block_->Style(c.counts[kItemStyleChange]));
                c.Step(kItemStyleChange);
                break;
            case kItemInlineBox:
                AddObjectToLine(ln, firstLine);
                break;
            case kItemFlowMark:
                AddMarkToLine(ln, mark, firstLine);
                break;
            case kItemKindCount:
                return false;
        }
    }
    FinishLine(ln, cursor, progress, goOn, firstLine);
    return true;
}

// An element box: the line takes its indents, and a first line its space above.
inline void PageLayout::AddBoxToLine(LineState& ln) {
    BlockCursor& c = ln.c;
    int32_t& base = ln.base;
    BoxRecord& box = ln.box;
    LineIndents& indents = ln.indents;
    LineMetrics& metrics = ln.metrics;
    int32_t& lineWidth = ln.lineWidth;
    int32_t& remaining = ln.remaining;
    bool& hasContent = ln.hasContent;
    bool& topEdge = ln.topEdge;
    ColumnBox& column = ln.column;
    BoxRecord* b = block_->Box(c.counts[kItemBox]);
    box = *b;
    int32_t used = lineWidth - remaining;
    bool first = (box.flags & BoxRecord::kFirstLineIndent) && !hasContent;
    indents.flags = (box.flags & BoxRecord::kFramed) ? LineIndents::kFramed : 0;
    indents.Set(box, first, base, column.width);
    lineWidth = indents.Reset(column.width);
    remaining = lineWidth - used;
    if (first) {
        int32_t above = ResolveSpace(box.spaceBefore, base, column.height);
        if (above > metrics.extraAbove) metrics.extraAbove = above;
    }
    if ((box.flags & BoxRecord::kFramed) && (box.flags & BoxRecord::kTopEdge)) {
        topEdge = true;
        metrics.flags |= LineMetrics::kExtraAbove;
    }
    c.Next();
}

// A text run: a word goes on the line, or the line is cut before it (or inside it).
inline void PageLayout::AddRunToLine(LineState& ln) {
    BlockCursor& c = ln.c;
    LineMetrics& metrics = ln.metrics;
    int32_t& remaining = ln.remaining;
    BreakRing& ring = ln.ring;
    BlockCursor& wordStart = ln.wordStart;
    int32_t& pending = ln.pending;
    int32_t& pendingSpace = ln.pendingSpace;
    int32_t& spaceCount = ln.spaceCount;
    uint32_t& last = ln.last;
    bool& ended = ln.ended;
    bool& overflowWord = ln.overflowWord;
    bool& hasContent = ln.hasContent;
    bool& visible = ln.visible;
    TextRun* run = block_->Run(c.counts[kItemTextRun]);
    metrics.AddText(lineAscent_, lineDescent_);
    metrics.NoteText(run->text);
    int32_t n = run->text.Length();
    char16_t firstChar = n > 0 ? run->text[0] : u' ';
    char16_t lastChar = n > 0 ? run->text[n - 1] : u' ';
    if (last != kLastText) {
        ln.PushCandidate(firstChar, lastChar);
        // The space before the word is inside the line now.
        pendingSpace = 0;
        wordStart = c;
    } else {
        ring.SetLastChar(lastChar);
    }
    pending += run->width;
    last = kLastText;
    if (!overflowWord && pending > remaining) {
        // A quarter of the line still free: split the word there if it can be.
        bool opensLine = ring.Count() > 0 && ring.Candidate(0).placeholder != 0;
        // (SplitWord asks the same first: most lines end less than a quarter free, and are
        // cut before the word without the call.)
        if ((opensLine || Hyphenation::IsQuarterFree(remaining, ln.lineWidth)) &&
            SplitWord(ln, remaining, opensLine)) {
            pending = 0;
            hasContent = true;
            visible = true;
            ended = true;
            return;
        }
        BreakCandidate chosen;
        if (ring.ChooseBreak(chosen)) {
            c = chosen.cursor;
            ApplyStyleAt(ln, c);
            remaining = chosen.remaining;
            pendingSpace = chosen.pendingSpace;
            spaceCount = chosen.spaceCount;
            pending = 0;
            last = kLastSpace;
            ended = true;
            return;
        }
        // Nothing to cut at: the word that opens the line stays whole.
        overflowWord = true;
    }
    hasContent = true;
    visible = true;
    c.Step(kItemTextRun);
    return;
}

// A picture or rule: fitted to the column and what is left of it, or left for the next line
// or page.
inline void PageLayout::AddObjectToLine(LineState& ln, bool firstLine) {
    BlockCursor& c = ln.c;
    LineMetrics& metrics = ln.metrics;
    int32_t& remaining = ln.remaining;
    int32_t& pendingSpace = ln.pendingSpace;
    uint32_t& last = ln.last;
    bool& ended = ln.ended;
    bool& pageBreak = ln.pageBreak;
    bool& overflowWord = ln.overflowWord;
    bool& hasContent = ln.hasContent;
    bool& visible = ln.visible;
    ColumnBox& column = ln.column;
    InlineBox* b = block_->Object(c.counts[kItemInlineBox]);
    if (overflowWord) {
        ended = true;
        return;
    }
    if (remaining < 0) {
        remaining += pendingSpace;
        pendingSpace = 0;
        ended = true;
        return;
    }
    ln.PushCandidate(u' ', u' ');
    int32_t w = b->width, h = b->height;
    if ((w == 0 && h == 0) || !b->object) {
        b->rect = Rect{};
        c.Next();
        return;
    }
    int32_t hs = b->hspace, vs = b->vspace;
    if (b->flags & InlineBox::kScalable) {
        int32_t maxW = column.width - 2 * hs;
        if (maxW < 1) maxW = 1;
        if (w > maxW) {
            Size s{maxW, h};
            b->object->FitSize(s);
            w = s.width;
            h = s.height;
        }
        int32_t room = column.Remaining() - 2 * vs - metrics.ExtraBelow();
        if (h > room) {
            int64_t columnRoom = static_cast<int64_t>(column.height) - 2 * vs;
            // Nothing shown above it: it stands at the column's top.
            if (firstLine || !column.shown || static_cast<int64_t>(room) * 4 >= columnRoom * 3) {
                Size s{w, room < 1 ? 1 : room};
                if (w > 0) s.width = static_cast<int32_t>(static_cast<int64_t>(w) * s.height / h);
                b->object->FitSize(s);
                w = s.width;
                h = s.height < room ? s.height : room;
            } else {
                // Too tall for what is left: the page ends before it.
                pageBreak = true;
                ended = true;
                return;
            }
        }
        if (w < 1) w = 1;
        if (h < 1) h = 1;
    }
    bool narrowed = false;
    if (remaining < static_cast<int64_t>(w) + 2 * hs) {
        if (hasContent) {
            ended = true;
            return;
        }
        // Alone on its line: narrowed to the line, never below one pixel. A picture
        // keeps its shape (an indented line is narrower than the column it was
        // fitted to above).
        w = remaining - 2 * hs;
        if (w < 1) w = 1;
        if (b->flags & InlineBox::kScalable) {
            Size s{w, h};
            b->object->FitSize(s);
            if (s.width <= w && s.height >= 1) h = s.height;
        }
        remaining = 0;
        narrowed = true;
    } else {
        remaining -= w + 2 * hs;
    }
    pendingSpace = 0;
    metrics.AddObject(b->alignment, h, b->descent, vs);
    b->rect.width = w;
    b->rect.height = h;
    b->object->SetDisplay(Size{w, h}, false);
    hasContent = true;
    if (!dynamic_cast<HorizontalRule*>(b->object.Get())) visible = true;
    last = kLastObject;
    c.Next();
    if (narrowed) ended = true;
    return;
}

// A flow mark: breaks end the line (a page break the page too), spaces open a break
// opportunity.
inline void PageLayout::AddMarkToLine(LineState& ln, FlowMark* mark, bool firstLine) {
    BlockCursor& c = ln.c;
    int32_t& base = ln.base;
    BoxRecord& box = ln.box;
    LineMetrics& metrics = ln.metrics;
    int32_t& remaining = ln.remaining;
    int32_t& pendingSpace = ln.pendingSpace;
    int32_t& spaceCount = ln.spaceCount;
    uint32_t& last = ln.last;
    bool& ended = ln.ended;
    bool& endedAtBreak = ln.endedAtBreak;
    bool& pageBreak = ln.pageBreak;
    bool& overflowWord = ln.overflowWord;
    bool& hasContent = ln.hasContent;
    bool& columnFull = ln.columnFull;
    uint8_t& lineFlags = ln.lineFlags;
    ColumnBox& column = ln.column;
    switch (static_cast<FlowMarkKind>(mark->type)) {
        case kMarkPageBreak: {
            if (tableDepth_ > 0) {
                // A cell is no page: the break ends the line, as a block's end.
                c.Next();
                if (hasContent) ended = endedAtBreak = true;
                break;
            }
            if (mark->option && !hasContent) {
                // Before anything shows in the column (an empty block's line, a
                // rule), a page break would leave a blank page.
                bool passOver = firstLine || !column.shown;
                if (!passOver) {
                    BlockCursor after = c;
                    after.Next();
                    passOver = OnlyTextEndFollows(after);
                }
                if (passOver) {
                    c.Next();
                    break;
                }
            }
            c.Next();
            ended = endedAtBreak = pageBreak = true;
            break;
        }
        case kMarkLineBreak: {
            // An empty line of its own still shows as a blank line.
            if (!hasContent) {
                metrics.AddText(lineAscent_, lineDescent_);
                metrics.flags |= LineMetrics::kHasText;
            }
            lineFlags |= LineRecord::kEndsAtLineBreak;
            metrics.extraBelow += ResolveSpace(box.spaceAfter, base, column.height);
            c.Next();
            ended = endedAtBreak = true;
            break;
        }
        case kMarkBlockEnd:
            c.Next();
            if (mark->option && !hasContent) break;
            ended = endedAtBreak = true;
            break;
        case kMarkTableEnd:
            // Inside a table it ends the cell's content and stays for the table;
            // in the flow it closes a table cut at a page end.
            if (tableDepth_ == 0) block_->RemoveAt(c);
            ended = columnFull = true;
            break;
        case kMarkRowEnd:
        case kMarkCellEnd:
            if (tableDepth_ > 0) {
                ended = columnFull = true;
            } else {
                c.Next();
                ended = endedAtBreak = true;
            }
            break;
        case kMarkSpace:
            if (overflowWord) {
                c.Next();
                ended = true;
                break;
            }
            if (last != kLastSpace) {
                remaining -= mark->width;
                pendingSpace = mark->width;
                ++spaceCount;
            }
            last = kLastSpace;
            c.Step(kItemFlowMark);
            break;
        case kMarkHyphen:
            block_->RemoveAt(c);  // from an earlier split of a word
            break;
        case kMarkTextEnd:
            ended = true;
            break;
    }
}

// Closes the line: its record placed in the column when it fits (goOn), the cursor and the
// next page's start moved past it; otherwise its styles are applied again for the next page.
inline void PageLayout::FinishLine(LineState& ln, BlockCursor& cursor, bool progress, bool& goOn,
                                   bool& firstLine) {
    BlockCursor& c = ln.c;
    int32_t& lineIndex = ln.lineIndex;
    BlockCursor& lineStart = ln.lineStart;
    BoxRecord& box = ln.box;
    PositionRecord& startStyle = ln.startStyle;
    LineIndents& indents = ln.indents;
    LineMetrics& metrics = ln.metrics;
    int32_t& lineWidth = ln.lineWidth;
    int32_t& remaining = ln.remaining;
    int32_t& pending = ln.pending;
    int32_t& pendingSpace = ln.pendingSpace;
    int32_t& spaceCount = ln.spaceCount;
    uint32_t& last = ln.last;
    bool& endedAtBreak = ln.endedAtBreak;
    bool& pageBreak = ln.pageBreak;
    bool& tableHere = ln.tableHere;
    bool& topEdge = ln.topEdge;
    bool& visible = ln.visible;
    bool& columnFull = ln.columnFull;
    uint8_t& lineFlags = ln.lineFlags;
    ColumnBox& column = ln.column;
    if (last == kLastText) {
        remaining -= pending;
        pending = 0;
    }
    BlockCursor lineEnd = c;
    if (endedAtBreak) {
        // A line that goes to the next page is closed there: reading on past its break here
        // would carry tags of the next block into the state saved for that page's start.
        LineMetrics probe = metrics;
        probe.Compute();
        if (!tableHere && (ln.StaysAtTop(firstLine) || probe.height <= column.Remaining()))
            CloseBlockLine(c, box.flags, lineFlags, metrics);
        DropLeadingSpaces(c);
    }

    if (tableHere) metrics = LineMetrics{};
    metrics.Compute();
    goOn = ln.StaysAtTop(firstLine) || metrics.height <= column.Remaining();
    LineRecord& line = *block_->Line(lineIndex);
    line = LineRecord{};
    line.width = column.width;
    line.alignment = box.alignment;
    if (progress && !tableHere) {
        int32_t frame = (indents.flags & LineIndents::kFramed) ? 2 : 0;
        column.PlaceLine(line, indents.left + frame);
        line.height = metrics.height;
        line.available = lineWidth;
        int32_t free = remaining + pendingSpace;
        line.freeWidth = free < 0 ? 0 : free;
        line.spaceCount = spaceCount + (last != kLastSpace ? 1 : 0);
        line.leftIndent = indents.left + frame;
        line.rightIndent = indents.right + frame;
        line.extraAbove = metrics.ExtraAbove();
        line.extraBelow = metrics.ExtraBelow();
        line.baseline = metrics.baseline;
        // The text's extent over every font of the line (none when it holds no text).
        line.textTop = metrics.baseline - metrics.ascent;
        line.textBottom = metrics.baseline + metrics.descent;
        line.flags = lineFlags;
        if (!endedAtBreak) line.flags |= LineRecord::kContinues;
        if (topEdge) line.flags |= LineRecord::kTopEdge;
        if (metrics.flags & LineMetrics::kExtraBelow) line.flags |= LineRecord::kBottomEdge;
        if (!(metrics.flags & LineMetrics::kHasText)) line.flags |= LineRecord::kHidden;
        if (frame) line.flags |= LineRecord::kFramed;
    } else {
        column.PlaceLine(line, 0);
    }
    if (goOn) {
        if (progress && !tableHere) {
            PlaceLineItems(lineStart, lineEnd, line);
            if (visible) column.shown = true;
            column.pending[0] = line.height;
            column.Advance(0);
            firstLine = false;
        }
        cursor = c;
        next_->start = c.AtEnd() ? block_->EndPosition() : block_->PositionAt(c);
        next_->style = lineStyle_;
        if (progress && !tableHere) box.flags &= static_cast<uint8_t>(~BoxRecord::kFirstLineIndent);
        next_->blockStyle = box;
        // The end of the text ends the column.
        if (c.Kind() == kItemFlowMark &&
            block_->Mark(c.counts[kItemFlowMark])->type == kMarkTextEnd)
            goOn = false;
    } else {
        // The line goes to the next page: its styles are applied again there.
        ApplyStyle(startStyle);
    }
    if ((pageBreak || columnFull) && goOn) column.MarkFull();
    if (pageBreak && goOn) goOn = false;
}

void PageLayout::CloseBlockLine(BlockCursor& cursor, uint8_t boxFlags, uint8_t& lineFlags,
                                LineMetrics& metrics) {
    const bool framed = (boxFlags & BoxRecord::kFramed) != 0;
    bool preformatted = (boxFlags & BoxRecord::kPreformatted) != 0;
    BlockCursor c = cursor;
    int32_t n = 0, lastBox = -1, lastBreak = -1, lastStyle = -1;
    for (bool scanning = true; scanning;) {
        if (!EnsureItem(c)) break;
        switch (c.Kind()) {
            case kItemBox:
                preformatted =
                    (block_->Box(c.counts[kItemBox])->flags & BoxRecord::kPreformatted) != 0;
                lastBox = n;
                break;
            case kItemStyleChange:
                lastStyle = n;
                break;
            case kItemLine:
                // Left by an earlier layout of this block; the next line makes its own.
                block_->RemoveAt(c);
                continue;
            case kItemFlowMark: {
                const FlowMark* m = block_->Mark(c.counts[kItemFlowMark]);
                if (m->type == kMarkLineBreak) {
                    // A listing's line ends are its own lines, blank ones too.
                    if (preformatted) {
                        scanning = false;
                        continue;
                    }
                    lastBreak = n;
                    lineFlags |= LineRecord::kEndsAtLineBreak;
                    if ((m->flags & 1) && framed) metrics.flags |= LineMetrics::kExtraBelow;
                } else if (m->type != kMarkSpace && m->type != kMarkHyphen) {
                    scanning = false;
                    continue;
                }
                break;
            }
            default:
                scanning = false;
                continue;
        }
        c.Next();
        ++n;
    }
    const int32_t boxLimit = lastBreak >= 0 && lastBreak < lastBox ? lastBreak : lastBox;
    c = cursor;
    for (int32_t i = 0; i < n; ++i) {
        bool drop = false;
        switch (c.Kind()) {
            case kItemBox:
                drop = i < boxLimit;
                break;
            case kItemStyleChange:
                drop = i < lastStyle;
                break;
            default:
                drop = i < lastBreak;
                break;
        }
        if (drop)
            block_->RemoveAt(c);
        else
            c.Next();
    }
}

void PageLayout::PlaceLineItems(BlockCursor from, const BlockCursor& to, const LineRecord& line) {
    int32_t x = line.x;
    const int32_t top = line.y + line.extraAbove;
    const PageDrawing::LineBand band = PageDrawing::BandOf(line);
    bool lastSpace = true;
    for (BlockCursor c = from; c.position < to.position;) {
        const uint32_t kind = c.Kind();
        switch (kind) {
            case kItemTextRun: {
                TextRun* run = block_->Run(c.counts[kItemTextRun]);
                run->x = x;
                run->y = line.y + line.extraAbove + line.baseline;
                x += run->width;
                lastSpace = false;
                break;
            }
            case kItemFlowMark: {
                FlowMark* m = block_->Mark(c.counts[kItemFlowMark]);
                if (m->type == kMarkSpace && !lastSpace) {
                    x += m->width;
                    lastSpace = true;
                }
                break;
            }
            case kItemInlineBox: {
                InlineBox* b = block_->Object(c.counts[kItemInlineBox]);
                if (!b->object || (b->rect.width == 0 && b->rect.height == 0)) break;
                int32_t w = b->rect.width, h = b->rect.height;
                int32_t y = PageDrawing::ObjectOffset(b->alignment, h, b->vspace, b->descent, band);
                b->rect = Rect{x + b->hspace, top + y, w, h};
                b->shownShift = 0;
                b->object->SetRect(b->rect, 0);
                x += w + 2 * b->hspace;
                lastSpace = false;
                break;
            }
            default:
                break;
        }
        c.Step(kind);
    }
}

// The page cut just above the line at `at` ends there: the flush that follows the cut takes the
// boxes, breaks and style changes before the line's first words, and the page after it starts
// with the rest of the block, the scan state and the open elements as they are now (the cut
// reads nothing the lines above it did not). Where the flush or the check for the text's end
// would read further, no record is left: the cut is made by laying the page out instead.
void PageLayout::KeepLineStart(const BlockCursor& at) {
    if (columnCount_ != 1 || stopAt_ != kNone || content_ || !FillsWholeColumn() || at.AtEnd())
        return;
    PageRecord* kept = lineStarts_->Open();
    if (!kept) return;
    PageRecord& r = *kept;
    if (!r.block) r.block.reset(new (std::nothrow) BlockContents());
    if (!r.block || !block_->CopyTail(at, *r.block)) return;
    BlockContents& b = *r.block;
    PositionRecord style = next_->style;
    BoxRecord blockStyle = next_->blockStyle;
    BlockCursor c;
    c.Init(&b, true);
    for (bool flushing = true; flushing;) {
        if (c.AtEnd()) return;
        switch (c.Kind()) {
            case kItemBox: {
                const BoxRecord* box = b.Box(c.counts[kItemBox]);
                if (box->flags & BoxRecord::kFirstLineIndent) {
                    flushing = false;
                } else {
                    blockStyle = *box;
                    c.Next();
                }
                break;
            }
            case kItemFlowMark: {
                const uint32_t type = b.Mark(c.counts[kItemFlowMark])->type;
                if (type != kMarkPageBreak && type != kMarkLineBreak && type != kMarkSpace &&
                    type != kMarkHyphen)
                    flushing = false;
                else
                    c.Next();
                break;
            }
            case kItemStyleChange:
                style = *b.Style(c.counts[kItemStyleChange]);
                c.Next();
                break;
            case kItemLine:
                return;
            default:
                flushing = false;
        }
    }
    BlockCursor from;
    from.Init(&b, true);
    b.RemoveRange(from, c);
    // A page with nothing but the text's end after it is the last one: no page starts there.
    c.Init(&b, true);
    for (TailItem kind = TailItem::kPassed; kind == TailItem::kPassed; c.Next()) {
        if (c.AtEnd()) return;
        kind = KindAfterLastLine(b, c);
        if (kind == TailItem::kTextEnd) return;
    }
    uint32_t start = 0;
    b.GetStart(start);
    r.scanState.Clear();
    if (!source_->SaveState(r.scanState)) return;
    r.elements.Clear();
    r.pageNumber = kNone;
    r.steps = 1;
    r.start = start;
    r.linkOrigin = kNone;
    r.linkStep = 0;
    r.end = kNone;
    r.useStamp = 0;
    r.style = style;
    r.blockStyle = blockStyle;
    r.markIndex = -1;
    r.stopAt = kNone;
    r.afterBreak = false;
    r.rebuilt = next_->rebuilt;
    r.colour = kNone;
    r.tables.clear();
    r.used = true;
    lineStarts_->Commit(elements_);
}

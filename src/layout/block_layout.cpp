// Filling a page: columns, the loop of tables and line runs, the line filler, and the flush
// that makes the next page start at real content.
#include "bookfiles/document_source.h"
#include "bookfiles/packed_tree.h"
#include "database/resource.h"
#include "document/markup/length.h"
#include "document/markup/token_source.h"
#include "document/sources/layout_services.h"
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

// ---- Set-up --------------------------------------------------------------------------------

PageLayout::PageLayout(BookLayoutTraits* traits) : traits_(traits) {
    columns_[0] = Rect{0, 0, 240, 320};
}

PageLayout::~PageLayout() = default;

void PageLayout::Configure(const LayoutSettings& settings) {
    settings_ = settings;
    SetPageColours(settings.pageText, settings.pageBackground);
    if (adjuster_) {
        uint32_t value = 0;
        uint32_t kind = resource_ ? resource_->GetChildKind(value) : 0;
        uint8_t& face = settings_.defaults.style.text.face;
        face = adjuster_->AdjustFace(face, kind, value);
    }
    fonts_.SetBaseSize(settings.baseFontSize < LayoutFonts::kMinEm ? LayoutFonts::kMinEm
                                                                   : settings.baseFontSize);
    fonts_.SetDefaultFace(settings_.defaults.style.text.face ? settings_.defaults.style.text.face
                                                             : settings.textFace);
    // The records kept carry items measured at the old size: a page laid out from one at the
    // new size must break its lines as a fresh layout does.
    pager_.ForgetKnownLines();
    RemeasureRecords();
}

void PageLayout::RemeasureRecords() {
    // A content layout measures its blocks in its own way.
    if (content_) return;
    bool drawing = fonts_.Begin();
    if (pager_.First().block) RemeasureRecord(pager_.First());
    for (PageRecord& r : pager_.Records())
        if (r.IsUsed() && r.block) RemeasureRecord(r);
    if (drawing) fonts_.End();
}

void PageLayout::SetColumns(const Rect* columns, int count) {
    if (count < 1) count = 1;
    if (count > kMaxColumns) count = kMaxColumns;
    for (int i = 0; i < count; ++i) columns_[i] = columns[i];
    columnCount_ = count;
    pager_.ForgetKnownLines();
}

bool PageLayout::SourceFlag() {
    return traits_ ? traits_->SourceFlag() : true;
}

uint32_t PageLayout::DocumentKey() {
    return traits_ ? traits_->DocumentKey() : 0xFFFFFFFFu;
}

bool PageLayout::KeyFollowsContent() {
    return traits_ && traits_->KeyFollowsContent();
}

bool PageLayout::SameSection(uint32_t a, uint32_t b) {
    DocumentSource* doc = source_ ? source_->Source() : nullptr;
    if (!doc) return true;
    PackedTree tree;
    uint32_t range[2] = {0, 0};
    if (!doc->PositionToRecord(a, &tree, nullptr, -1, range)) return true;
    if (tree.IsValid() && tree.IsFlagClear()) return true;
    return b < range[1];
}

void PageLayout::ApplyStyle(const PositionRecord& style) {
    lineStyle_ = style;
    fonts_.Select(style.size, style.style, style.face);
    lineAscent_ = fonts_.Ascent();
    lineDescent_ = fonts_.Descent();
}

// ---- The page ------------------------------------------------------------------------------

bool PageLayout::LayoutIntoSlot(PageSlot& slot, PageRecord& next, bool& moreText,
                                bool singleStep) {
    moreText = false;
    if (!slot.record || !source_ || &next == slot.record) return false;
    if (columns_[0].width < 1 || columns_[0].height < 1) return false;
    PageRecord& page = *slot.record;
    if (!next.CopyFrom(page)) return false;
    if (!next.block) next.block.reset(new (std::nothrow) BlockContents());
    if (!next.block) return false;

    if (page.scanState.Size() > 0) {
        ByteStream state;
        if (!state.CopyFrom(page.scanState) || !state.SetReadPosition(0) ||
            !source_->RestoreState(state))
            return false;
        if (!elements_.AssignInPlace(page.elements)) return false;
    } else {
        if (!source_->Start(page.start, page.start != 0)) return false;
        elements_.Clear();
    }
    next.stopAt = PageRecord::kNone;
    stopAt_ = page.stopAt;
    stopHit_ = false;
    next_ = &next;
    // The page is laid out in the slot's own block, whose storage the pages before grew; the
    // items carried over from the page before start it.
    if (!slot.contents.AssignFrom(*next.block)) return false;
    block_ = &slot.contents;
    textEnded_ = false;
    tableDepth_ = 0;
    bool drawing = fonts_.Begin();
    ApplyStyle(page.style);

    BlockCursor cursor;
    cursor.Init(block_, true);
    slot.contentHeight = 0;
    bool ok = true;
    bool more = true;
    for (int col = 0; col < columnCount_ && ok && more; ++col) {
        ColumnBox column;
        column.Set(columns_[col]);
        if (col == 0) column.fill = FirstColumnFill();
        uint32_t began = block_->PositionAt(cursor);
        ok = FillColumn(column, cursor, more, singleStep);
        if (column.Bottom() > slot.contentHeight) slot.contentHeight = column.Bottom();
        if (ok && more && !SameSection(began, block_->PositionAt(cursor))) break;
    }
    if (ok && more) ok = FlushPageEnd(cursor);
    // Nothing but block ends and blank lines left: they would make an empty last page.
    if (ok && more && OnlyTextEndFollows(cursor)) more = false;
    // A page that consumed nothing while text follows would be laid out again forever.
    if (ok && more && cursor.position == 0) ok = false;
    if (ok) {
        slot.contentHeight += 1;
        next.block->Clear();
        ok = slot.contents.SplitAt(cursor, slot.contents, *next.block, true);
    }
    if (ok && more && slot.contents.EndPosition() <= page.start) ok = false;
    if (ok) {
        uint32_t end = slot.contents.EndPosition();
        page.end = end;
        next.start = end;
        next.pageNumber = singleStep && page.pageNumber != 1 ? page.pageNumber : page.pageNumber + 1;
        next.linkOrigin = page.start;
        next.linkStep = singleStep ? 1 : 2;
        next.end = PageRecord::kNone;
        next.markIndex = -1;
        next.scanState.Clear();
        ok = source_->SaveState(next.scanState) && next.elements.AssignInPlace(elements_);
        next.block->Compact();
    }
    if (!ok) {
        slot.contents.Clear();
        slot.contentHeight = 0;
    } else {
        slot.cursor.Init(&slot.contents, true);
        moreText = more;
    }
    source_->ReleaseBuffers();
    if (drawing) fonts_.End();
    next_ = nullptr;
    block_ = nullptr;
    stopAt_ = kNone;
    return ok;
}

bool PageLayout::ReachesStop(BlockCursor c) {
    if (stopAt_ == kNone || tableDepth_ > 0) return false;
    for (int32_t i = 0; i < kMaxEmptyReads; ++i) {
        if (!EnsureItem(c)) return false;
        switch (c.Kind()) {
            case kItemBox:
                if (block_->Box(c.counts[kItemBox])->flags & BoxRecord::kFirstLineIndent)
                    return block_->PositionAt(c) >= stopAt_;
                break;
            case kItemFlowMark: {
                uint32_t type = block_->Mark(c.counts[kItemFlowMark])->type;
                // The end of the text ends the page anyway: it is no stop.
                if (type == kMarkTextEnd) return false;
                if (type != kMarkPageBreak && type != kMarkLineBreak && type != kMarkSpace &&
                    type != kMarkHyphen)
                    return block_->PositionAt(c) >= stopAt_;
                break;
            }
            case kItemStyleChange:
            case kItemLine:
                break;
            default:
                return block_->PositionAt(c) >= stopAt_;
        }
        c.Next();
    }
    return false;
}

bool PageLayout::FillColumn(ColumnBox& column, BlockCursor& cursor, bool& moreText,
                            bool singleStep) {
    moreText = true;
    if (column.Remaining() < 1) return true;
    bool firstLine = column.used == 0;
    bool ok = ColumnLoop(column, cursor, firstLine, singleStep);
    if (cursor.Kind() == kItemFlowMark && block_->Mark(cursor.counts[kItemFlowMark])->type == kMarkTextEnd)
        moreText = false;
    return ok;
}

bool PageLayout::ColumnLoop(ColumnBox& column, BlockCursor& cursor, bool& firstLine,
                            bool singleStep) {
    BlockCursor c = cursor;
    bool ok = true;
    for (;;) {
        uint32_t began = next_->start;
        bool goOn = false;
        bool progress = false;
        if (!EnsureItem(c)) {
            ok = false;
            break;
        }
        if (ReachesStop(c)) {
            stopHit_ = true;
            column.MarkFull();
            break;
        }
        if (c.Kind() == kItemTable) {
            ok = LayoutTable(column, c, goOn, firstLine, progress);
            if (!ok) {
                // A table that cannot be laid out is passed over as plain items, never
                // retried in this loop.
                ok = SkipTable(c);
                goOn = ok;
                progress = true;
            }
        } else {
            ok = LayoutLines(column, c, goOn, firstLine, progress);
        }
        if (singleStep && next_->start == began) progress = false;
        if (!goOn || !ok || column.Remaining() < 1 || (singleStep && !progress)) break;
    }
    cursor = c;
    return ok;
}

bool PageLayout::EnsureItem(BlockCursor& cursor) {
    for (int32_t i = 0; cursor.AtEnd(); ++i) {
        if (i >= kMaxEmptyReads || !ReadToken(*block_)) return false;
    }
    return true;
}

bool PageLayout::OnlyTextEndFollows(BlockCursor cursor) {
    for (int32_t i = 0; i < kMaxEmptyReads && EnsureItem(cursor); ++i) {
        switch (cursor.Kind()) {
            case kItemBox:
            case kItemBoxAttribute:
            case kItemStyleChange:
            case kItemLine:
                break;
            case kItemFlowMark: {
                uint32_t type = block_->Mark(cursor.counts[kItemFlowMark])->type;
                if (type == kMarkTextEnd) return true;
                if (type != kMarkBlockEnd && type != kMarkSpace && type != kMarkPageBreak)
                    return false;
                break;
            }
            default:
                return false;
        }
        cursor.Next();
    }
    return false;
}

// Runs of items to drop go in one removal; the pending run is removed before more tokens are
// read, so that reading sees the block as it would after item-by-item removal.
bool PageLayout::EnsureItemDropping(BlockCursor& cursor, BlockCursor& end) {
    if (!end.AtEnd()) return true;
    block_->RemoveRange(cursor, end);
    end = cursor;
    return EnsureItem(end);
}

void PageLayout::DropLeadingSpaces(BlockCursor& cursor) {
    BlockCursor c = cursor;
    while (EnsureItemDropping(cursor, c) && c.Kind() == kItemFlowMark &&
           block_->Mark(c.counts[kItemFlowMark])->type == kMarkSpace)
        c.Next();
    block_->RemoveRange(cursor, c);
}

bool PageLayout::LayoutLines(ColumnBox& column, BlockCursor& cursor, bool& goOn,
                             bool& firstLine, bool& progress) {
    progress = true;
    goOn = false;
    BlockCursor c = cursor;
    if (!EnsureItem(c)) return false;
    if (c.Kind() == kItemLine) {
        *block_->Line(c.counts[kItemLine]) = LineRecord{};
    } else {
        LineRecord fresh;
        if (!block_->Insert(c, fresh, block_->PositionAt(c), true)) return false;
    }
    int32_t lineIndex = c.counts[kItemLine];
    c.Next();
    const BlockCursor lineStart = c;

    const int32_t base = fonts_.BaseSize();
    BoxRecord box = next_->blockStyle;
    PositionRecord startStyle = lineStyle_;
    LineIndents indents;
    indents.width = column.width;
    if (box.flags & BoxRecord::kFramed) indents.flags |= LineIndents::kFramed;
    indents.Set(box, (box.flags & BoxRecord::kFirstLineIndent) != 0, base, column.width);
    // Indents deeper than the column (lists and quotes nested past its width) give the line
    // the whole column back rather than push its words off the page.
    indents.Reset(column.width);
    LineMetrics metrics;
    metrics.spacing = settings_.lineSpacing;
    if (box.flags & BoxRecord::kFirstLineIndent)
        metrics.extraAbove = ResolveSpace(box.spaceBefore, base, column.height);
    int32_t lineWidth = indents.Available();
    int32_t remaining = lineWidth;
    BreakRing ring;
    BlockCursor wordStart = c;
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
    // A break opportunity before the item at c; the first of a line would leave it empty.
    auto pushCandidate = [&](char16_t first, char16_t lastChar) {
        BreakCandidate cand;
        cand.cursor = c;
        cand.remaining = remaining;
        cand.pendingSpace = pendingSpace;
        cand.spaceCount = spaceCount;
        cand.placeholder = pushedAny ? 0 : 1;
        cand.first = first;
        cand.last = lastChar;
        ring.Push(cand);
        pushedAny = true;
    };

    // The word from wordStart to the run at c does not fit after what the line holds: with a
    // quarter of the line still free it is hyphenated. A word wider than the line it opens is
    // hyphenated too, or else cut at the last character that fits; only a word of which not
    // even one character fits stays whole. c then stands just past what stays on the line and
    // room is what is left.
    // Preformatted text is never hyphenated: a word goes to the next line whole, and one wider
    // than the line is cut where the line ends, without a hyphen.
    auto splitWord = [&](int32_t& room, bool opensLine) -> bool {
        bool preformatted = (box.flags & BoxRecord::kPreformatted) != 0;
        if (preformatted && !opensLine) return false;
        if (!opensLine && !Hyphenation::IsQuarterFree(room, lineWidth)) return false;
        BlockCursor end = c;
        end.Next();
        WordSplitter split(*block_, fonts_, Document());
        BlockCursor after;
        int32_t avail = room;
        if (preformatted ||
            !split.HyphenateRun(lineStyle_.language, wordStart, end, avail, after)) {
            avail = room;
            if (!opensLine || !split.BreakRun(lineStyle_.language, wordStart, end, avail, after,
                                              !preformatted))
                return false;
        }
        c = after;
        room = avail;
        return true;
    };
    while (!ended) {
        if (!EnsureItem(c)) return false;
        uint32_t kind = c.Kind();
        FlowMark* mark = kind == kItemFlowMark ? block_->Mark(c.counts[kItemFlowMark]) : nullptr;
        if (last == kLastText && ((mark && mark->type != kMarkHyphen) || kind == kItemInlineBox)) {
            remaining -= pending;
            pending = 0;
        }
        switch (static_cast<ItemKind>(kind)) {
            case kItemBox: {
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
                break;
            }
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
            case kItemTextRun: {
                TextRun* run = block_->Run(c.counts[kItemTextRun]);
                metrics.AddText(lineAscent_, lineDescent_);
                metrics.NoteText(run->text);
                int32_t n = run->text.Length();
                char16_t firstChar = n > 0 ? run->text[0] : u' ';
                char16_t lastChar = n > 0 ? run->text[n - 1] : u' ';
                if (last != kLastText) {
                    pushCandidate(firstChar, lastChar);
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
                    if (splitWord(remaining, opensLine)) {
                        pending = 0;
                        hasContent = true;
                        visible = true;
                        ended = true;
                        break;
                    }
                    BreakCandidate chosen;
                    if (ring.ChooseBreak(chosen)) {
                        c = chosen.cursor;
                        remaining = chosen.remaining;
                        pendingSpace = chosen.pendingSpace;
                        spaceCount = chosen.spaceCount;
                        pending = 0;
                        last = kLastSpace;
                        ended = true;
                        break;
                    }
                    // Nothing to cut at: the word that opens the line stays whole.
                    overflowWord = true;
                }
                hasContent = true;
                visible = true;
                c.Next();
                break;
            }
            case kItemStyleChange:
                ApplyStyle(*block_->Style(c.counts[kItemStyleChange]));
                c.Next();
                break;
            case kItemInlineBox: {
                InlineBox* b = block_->Object(c.counts[kItemInlineBox]);
                if (overflowWord) {
                    ended = true;
                    break;
                }
                if (remaining < 0) {
                    remaining += pendingSpace;
                    pendingSpace = 0;
                    ended = true;
                    break;
                }
                pushCandidate(u' ', u' ');
                int32_t w = b->width, h = b->height;
                if ((w == 0 && h == 0) || !b->object) {
                    b->rect = Rect{};
                    c.Next();
                    break;
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
                        if (firstLine || static_cast<int64_t>(room) * 4 >= columnRoom * 3) {
                            Size s{w, room < 1 ? 1 : room};
                            if (w > 0) s.width = static_cast<int32_t>(static_cast<int64_t>(w) * s.height / h);
                            b->object->FitSize(s);
                            w = s.width;
                            h = s.height < room ? s.height : room;
                        } else {
                            // Too tall for what is left: the page ends before it.
                            pageBreak = true;
                            ended = true;
                            break;
                        }
                    }
                    if (w < 1) w = 1;
                    if (h < 1) h = 1;
                }
                bool narrowed = false;
                if (remaining < static_cast<int64_t>(w) + 2 * hs) {
                    if (hasContent) {
                        ended = true;
                        break;
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
                break;
            }
            case kItemFlowMark: {
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
                        c.Next();
                        break;
                    case kMarkHyphen:
                        block_->RemoveAt(c);  // from an earlier split of a word
                        break;
                    case kMarkTextEnd:
                        ended = true;
                        break;
                }
                break;
            }
            case kItemKindCount:
                return false;
        }
    }
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
        if (!tableHere && (firstLine || probe.height <= column.Remaining()))
            CloseBlockLine(c, box.flags, lineFlags, metrics);
        DropLeadingSpaces(c);
    }

    if (tableHere) metrics = LineMetrics{};
    metrics.Compute();
    goOn = firstLine || metrics.height <= column.Remaining();
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
        if (c.Kind() == kItemFlowMark && block_->Mark(c.counts[kItemFlowMark])->type == kMarkTextEnd)
            goOn = false;
    } else {
        // The line goes to the next page: its styles are applied again there.
        ApplyStyle(startStyle);
    }
    if ((pageBreak || columnFull) && goOn) column.MarkFull();
    if (pageBreak && goOn) goOn = false;
    return true;
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
            case kItemBox: drop = i < boxLimit; break;
            case kItemStyleChange: drop = i < lastStyle; break;
            default: drop = i < lastBreak; break;
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
    for (BlockCursor c = from; c.position < to.position; c.Next()) {
        switch (c.Kind()) {
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
                b->object->SetRect(b->rect, 0);
                x += w + 2 * b->hspace;
                lastSpace = false;
                break;
            }
            default:
                break;
        }
    }
}

bool PageLayout::FlushPageEnd(BlockCursor& cursor) {
    BlockCursor c = cursor;
    auto keep = [&](bool result) {
        block_->RemoveRange(cursor, c);
        return result;
    };
    for (;;) {
        if (!EnsureItemDropping(cursor, c)) return keep(false);
        switch (c.Kind()) {
            case kItemBox: {
                BoxRecord* b = block_->Box(c.counts[kItemBox]);
                if (b->flags & BoxRecord::kFirstLineIndent) return keep(true);
                next_->blockStyle = *b;
                c.Next();
                break;
            }
            case kItemFlowMark: {
                uint32_t type = block_->Mark(c.counts[kItemFlowMark])->type;
                if (type != kMarkPageBreak && type != kMarkLineBreak && type != kMarkSpace &&
                    type != kMarkHyphen)
                    return keep(true);
                c.Next();
                break;
            }
            case kItemStyleChange:
                next_->style = *block_->Style(c.counts[kItemStyleChange]);
                c.Next();
                break;
            case kItemLine:
                // The record of the line that did not fit: the walk goes on past it, or the
                // breaks after it would open the next page with an empty line.
                block_->RemoveAt(cursor);
                break;
            default:
                return keep(true);
        }
    }
}

// ---- Queries over laid-out blocks ----------------------------------------------------------

bool PageLayout::PositionFraction(BlockContents& contents, uint32_t position,
                                  uint32_t& fraction) {
    BlockCursor c;
    c.Init(&contents, false);
    if (position >= contents.EndPosition()) {
        if (position > contents.EndPosition()) return false;
        fraction = 255;
        return true;
    }
    // Back to the last item that starts at or before the position.
    while (c.position > 0) {
        c.Back();
        const BlockItem* item = contents.ItemAt(c.position);
        if (item->HasPosition() && item->Position() <= position) break;
        if (c.position == 0) return false;
    }
    const BlockItem* item = contents.ItemAt(c.position);
    if (!item || !item->HasPosition() || item->Position() > position) return false;
    int32_t y = -1;
    if (c.Kind() == kItemInlineBox &&
        !(contents.Object(c.counts[kItemInlineBox])->flags & InlineBox::kAlignmentGiven)) {
        y = contents.Object(c.counts[kItemInlineBox])->rect.y;
    } else {
        for (BlockCursor b = c; b.position > 0;) {
            b.Back();
            if (b.Kind() == kItemLine) {
                y = contents.Line(b.counts[kItemLine])->y;
                break;
            }
            if (b.Kind() == kItemTable) {
                y = contents.Table(b.counts[kItemTable])->box.y;
                break;
            }
        }
    }
    int64_t total = 0, before = 0;
    bool found = false;
    for (int i = 0; i < columnCount_; ++i) {
        const Rect& r = columns_[i];
        if (!found && y >= r.y && y < r.Bottom()) {
            before = total + (y - r.y);
            found = true;
        }
        total += r.height;
    }
    if (!found || total <= 0) {
        fraction = 128;
        return true;
    }
    int64_t f = before * 256 / total;
    fraction = static_cast<uint32_t>(f > 255 ? 255 : f);
    return true;
}

bool PageLayout::EndsWithTypeZeroMark(BlockContents& contents) {
    BlockCursor c;
    c.Init(&contents, false);
    if (c.position == 0) return false;
    c.Back();
    return c.Kind() == kItemFlowMark &&
           contents.Mark(c.counts[kItemFlowMark])->type == kMarkPageBreak;
}

void PageLayout::RemeasureRecord(PageRecord& record) {
    if (!record.block) return;
    bool drawing = fonts_.Begin();
    PositionRecord style = record.style;
    fonts_.Select(style.size, style.style, style.face);
    BlockContents& b = *record.block;
    BlockCursor c;
    c.Init(&b, true);
    for (; !c.AtEnd(); c.Next()) {
        switch (c.Kind()) {
            case kItemStyleChange:
                style = *b.Style(c.counts[kItemStyleChange]);
                fonts_.Select(style.size, style.style, style.face);
                break;
            case kItemFlowMark: {
                FlowMark* m = b.Mark(c.counts[kItemFlowMark]);
                // Zero-width break opportunities stay zero wide.
                if (m->type == kMarkSpace && m->width != 0) m->width = fonts_.SpaceWidth();
                if (m->type == kMarkHyphen) m->width = fonts_.HyphenWidth();
                break;
            }
            case kItemTextRun: {
                TextRun* run = b.Run(c.counts[kItemTextRun]);
                Size size;
                fonts_.Measure(run->text.Data(), run->text.Length(), size);
                run->width = size.width;
                run->height = size.height;
                break;
            }
            default:
                break;
        }
    }
    if (drawing) fonts_.End();
}

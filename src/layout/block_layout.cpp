// Filling a page: columns, the loop of tables and line runs, and the flush that makes the next
// page start at real content (the line filler is line_filler.cpp).
#include "bookfiles/document_source.h"
#include "bookfiles/packed_tree.h"
#include "database/resource.h"
#include "document/markup/html_tokenizer.h"
#include "document/markup/length.h"
#include "document/markup/token_source.h"
#include "document/sources/layout_services.h"
#include "layout/hyphenation.h"
#include "layout/inline_objects.h"
#include "layout/page_drawing.h"
#include "layout/page_layout.h"

// ---- Set-up --------------------------------------------------------------------------------

PageLayout::PageLayout(BookLayoutTraits* traits) : traits_(traits) {
    columns_[0] = Rect{0, 0, 240, 320};
}

PageLayout::~PageLayout() = default;

void PageLayout::Configure(const LayoutSettings& settings) {
    settings_ = settings;
    ForgetTableMeasures();
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
    ForgetTableMeasures();
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
    // A raised or lowered run's line makes room for it.
    const int32_t shift = LayoutFonts::BaselineShift(style.style, lineAscent_ + lineDescent_);
    if (shift < 0)
        lineAscent_ -= shift;
    else
        lineDescent_ += shift;
}

// ---- The page ------------------------------------------------------------------------------

bool PageLayout::ComposePage(PageRecord& record, PageSlot& slot, bool singleStep,
                             PageRecord& follower, bool& moreText) {
    ++pagesLaidOut_;
    bool ok;
    if (content_) {
        slot.contents.Clear();
        slot.contentHeight = 0;
        ok = content_->LayoutIntoSlot(*this, record, slot, singleStep, follower, moreText);
    } else {
        ok = LayoutIntoSlot(slot, follower, moreText, singleStep);
    }
    if (ok) record.steps = PageSteps(slot);
    return ok;
}

bool PageLayout::StartsAnywhereAtOnce() {
    DocumentSource* doc = Document();
    return source_ && !markup_ && !(doc && doc->BookProperty7() == 1);
}

void PageLayout::ReleaseSourceBuffers() {
    if (source_) source_->ReleaseBuffers();
}

bool PageLayout::LayoutPageFromParagraph(uint32_t paragraph, PageRecord& record) {
    paragraphStart_ = true;
    const bool ok = LayoutPageFrom(paragraph, record, false);
    paragraphStart_ = false;
    return ok;
}

bool PageLayout::LayoutIntoSlot(PageSlot& slot, PageRecord& next, bool& moreText, bool singleStep) {
    moreText = false;
    if (!slot.record || !source_ || &next == slot.record) return false;
    if (columns_[0].width < 1 || columns_[0].height < 1) return false;
    PageRecord& page = *slot.record;
    // The items carried over from the page before go straight into the slot; the next
    // page's are what is left past this one.
    if (!next.CopyAllButBlock(page)) return false;
    if (!next.block) next.block.reset(new (std::nothrow) BlockContents());
    if (!next.block) return false;
    next.block->Clear();

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
    if (page.block) {
        if (!slot.contents.AssignFrom(*page.block)) return false;
    } else {
        slot.contents.Clear();
    }
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
    // Nothing but block ends, blank lines and the ends of tables cut at this page's end left:
    // they would make an empty last page.
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
        next.pageNumber =
            singleStep && page.pageNumber != 1 ? page.pageNumber : page.pageNumber + 1;
        next.linkOrigin = page.start;
        next.linkStep = singleStep ? 1 : 2;
        next.end = PageRecord::kNone;
        next.markIndex = -1;
        next.scanState.Clear();
        ok = source_->SaveState(next.scanState) && next.elements.AssignInPlace(elements_);
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
                // A box begins the next line only at or after the stop; one before it (a list
                // around the item that starts there) shows nothing yet.
                if ((block_->Box(c.counts[kItemBox])->flags & BoxRecord::kFirstLineIndent) &&
                    block_->PositionAt(c) >= stopAt_)
                    return true;
                break;
            case kItemFlowMark: {
                uint32_t type = block_->Mark(c.counts[kItemFlowMark])->type;
                // The end of the text ends the page anyway: it is no stop.
                if (type == kMarkTextEnd) return false;
                // A line break of markup before the stop begins a blank line written on
                // purpose (a listing's, or breaks in a row): paging forward showed it above
                // the stop when it had room, else dropped it at the page's end. A plain
                // text's blank lines only part its paragraphs.
                if (type == kMarkLineBreak && block_->PositionAt(c) < stopAt_ &&
                    dynamic_cast<HtmlTokenizer*>(source_))
                    return false;
                // A block's end before the stop shows nothing: the next block's first line
                // decides (paging forward starts the page after it there).
                if (type != kMarkPageBreak && type != kMarkLineBreak && type != kMarkSpace &&
                    type != kMarkHyphen && type != kMarkBlockEnd)
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
    if (cursor.Kind() == kItemFlowMark &&
        block_->Mark(cursor.counts[kItemFlowMark])->type == kMarkTextEnd)
        moreText = false;
    return ok;
}

bool PageLayout::ColumnLoop(ColumnBox& column, BlockCursor& cursor, bool& firstLine,
                            bool singleStep) {
    BlockCursor c = cursor;
    bool ok = true;
    // A page cut above a line ends below the last line that took room (a block's end alone
    // takes none): the lines after such a line start no page.
    int32_t lastBottom = column.Bottom();
    for (;;) {
        uint32_t began = next_->start;
        bool goOn = false;
        bool progress = false;
        if (lineStarts_ && tableDepth_ == 0 && !singleStep && column.Bottom() > lastBottom)
            KeepLineStart(c);
        lastBottom = column.Bottom();
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

PageLayout::TailItem PageLayout::KindAfterLastLine(const BlockContents& b,
                                                  const BlockCursor& c) {
    switch (c.Kind()) {
        case kItemBox:
        case kItemBoxAttribute:
        case kItemStyleChange:
        case kItemLine:
            return TailItem::kPassed;
        case kItemInlineBox:
            // A rule closing the text (a manual's last node ends with one) is no page of its own.
            return dynamic_cast<HorizontalRule*>(b.Object(c.counts[kItemInlineBox])->object.Get())
                       ? TailItem::kPassed
                       : TailItem::kShown;
        case kItemFlowMark: {
            const uint32_t type = b.Mark(c.counts[kItemFlowMark])->type;
            if (type == kMarkTextEnd) return TailItem::kTextEnd;
            return type == kMarkBlockEnd || type == kMarkSpace || type == kMarkPageBreak ||
                           type == kMarkTableEnd || type == kMarkRowEnd || type == kMarkCellEnd
                       ? TailItem::kPassed
                       : TailItem::kShown;
        }
        default:
            return TailItem::kShown;
    }
}

bool PageLayout::OnlyTextEndFollows(BlockCursor cursor) {
    for (int32_t i = 0; i < kMaxEmptyReads && EnsureItem(cursor); ++i) {
        const TailItem kind = KindAfterLastLine(*block_, cursor);
        if (kind != TailItem::kPassed) return kind == TailItem::kTextEnd;
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

bool PageLayout::PositionFraction(BlockContents& contents, uint32_t position, uint32_t& fraction) {
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

#include "layout/focus_box.h"

#include <algorithm>

#include "graphics/core/graphics_context.h"
#include "layout/hyphenation.h"
#include "layout/page_canvas.h"
#include "layout/page_layout.h"

WordItemKind ClassifyWordItem(const BlockContents& block, const BlockCursor& cursor) {
    switch (static_cast<ItemKind>(cursor.Kind())) {
        case kItemTextRun:
        case kItemInlineBox:
            return WordItemKind::kWord;
        case kItemFlowMark:
            return block.Mark(cursor.counts[kItemFlowMark])->type == kMarkHyphen
                       ? WordItemKind::kWord
                       : WordItemKind::kBoundary;
        case kItemBoxAttribute:
        case kItemTable:
        case kItemRow:
        case kItemCell:
            return WordItemKind::kBoundary;
        case kItemBox:
        case kItemLine:
        case kItemStyleChange:
        case kItemKindCount:
            return WordItemKind::kSkipped;
    }
    return WordItemKind::kSkipped;
}

namespace {

bool Matches(const BlockCursor& c, bool wantWord) {
    WordItemKind k = ClassifyWordItem(*c.block, c);
    return wantWord ? k == WordItemKind::kWord : k == WordItemKind::kBoundary;
}

}  // namespace

bool ScanWords(BlockCursor& cursor, bool forward, bool wantWord) {
    if (!cursor.block) return false;
    if (forward) {
        for (; !cursor.AtEnd(); cursor.Next())
            if (Matches(cursor, wantWord)) return true;
        return !wantWord;
    }
    while (cursor.position > 0) {
        cursor.Back();
        if (Matches(cursor, wantWord)) {
            cursor.Next();
            return true;
        }
    }
    return !wantWord;
}

void SkipWords(BlockCursor& cursor, int32_t n) {
    for (int32_t i = 0; i < n && !cursor.AtEnd(); ++i) {
        ScanWords(cursor, true, true);
        ScanWords(cursor, true, false);
    }
}

void TextFocus::Bind(PageLayout* layout, PageSlot* slot) {
    BlockContents* block = slot ? &slot->contents : nullptr;
    uint32_t start = slot && slot->record ? slot->record->start : 0xFFFFFFFFu;
    Rebind(block, start);
    layout_ = layout;
    slot_ = slot;
}

void TextFocus::BindBlock(BlockContents* block) {
    Rebind(block, 0xFFFFFFFFu);
    layout_ = nullptr;
    slot_ = nullptr;
}

void TextFocus::Rebind(BlockContents* block, uint32_t start) {
    // Any change of the block's items (a relayout into the same slot, even of the same page
    // with as many items) moves its serial on.
    uint64_t serial = block ? block->Serial() : 0;
    if (block != block_ || start != boundStart_ || serial != boundSerial_) {
        // Another page or a changed block: the old cursors point at nothing.
        block_ = block;
        ResetRanges();
        area_.Reset();
    }
    block_ = block;
    boundStart_ = start;
    boundSerial_ = serial;
    if (focus_.IsEmpty()) focus_.cursor.Init(block_, true);
}

void TextFocus::ResetRanges() {
    focus_.Clear();
    anchor_.Clear();
    active_.Clear();
    focus_.cursor.Init(block_, true);
    anchor_.cursor = focus_.cursor;
    active_.cursor = focus_.cursor;
}

void TextFocus::BackToWordStart(BlockCursor& c) const {
    ScanWords(c, false, true);
    c.Back();
    ScanWords(c, false, false);
    while (!c.AtEnd() && ClassifyWordItem(*block_, c) == WordItemKind::kSkipped) c.Next();
}

uint32_t TextFocus::PositionOf(const BlockCursor& c) const {
    return c.AtEnd() ? block_->EndPosition() : block_->PositionAt(c);
}

bool TextFocus::FocusPreviousWord() {
    if (!block_) return false;
    BlockCursor c = focus_.cursor;
    if (!ScanWords(c, false, true)) {
        c.Init(block_, false);
        if (!ScanWords(c, false, true)) return false;
    }
    uint32_t end = PositionOf(c);
    BackToWordStart(c);
    focus_.start = PositionOf(c);
    focus_.end = end;
    focus_.cursor = c;
    return true;
}

bool TextFocus::FocusNextWord(bool skipCurrent) {
    if (!block_) return false;
    BlockCursor c = focus_.cursor;
    if (skipCurrent) ScanWords(c, true, false);
    if (!ScanWords(c, true, true)) {
        c.Init(block_, true);
        if (!ScanWords(c, true, true)) return false;
    }
    SetFocusAt(c);
    return true;
}

void TextFocus::SetFocusAt(const BlockCursor& first) {
    BlockCursor e = first;
    ScanWords(e, true, false);
    focus_.start = PositionOf(first);
    focus_.end = PositionOf(e);
    focus_.cursor = first;
}

bool TextFocus::MoveFocus(uint32_t direction) {
    if (!block_) return false;
    bool fresh = focus_.IsEmpty();
    if (fresh) focus_.cursor.Init(block_, direction == kFocusLineDown || direction == kFocusWordOn);
    FocusRange before = focus_;
    bool ok = true;
    switch (direction) {
        case kFocusLineUp: {
            if (!FocusPreviousWord()) return false;
            BlockCursor& c = focus_.cursor;
            while (c.position > 0 && c.Kind() != kItemLine) c.Back();
            ok = FocusNextWord(false);
            break;
        }
        case kFocusLineDown: {
            BlockCursor& c = focus_.cursor;
            if (!c.AtEnd()) {
                do {
                    c.Next();
                } while (!c.AtEnd() && c.Kind() != kItemLine);
            }
            ok = FocusNextWord(false);
            break;
        }
        case kFocusWordBack:
            ok = FocusPreviousWord();
            break;
        case kFocusWordOn:
            // A fresh box takes the first word; otherwise the word it is on is passed, even
            // when that word opens the block.
            ok = FocusNextWord(!fresh);
            break;
        default:
            return true;
    }
    if (!ok) focus_ = before;
    return ok;
}

bool TextFocus::FocusWordAt(Point p) {
    if (!block_) return false;
    BlockCursor c;
    c.Init(block_, true);
    const LineRecord* line = nullptr;
    for (; !c.AtEnd(); c.Next()) {
        uint32_t kind = c.Kind();
        if (kind == kItemLine) {
            line = block_->Line(c.counts[kItemLine]);
            continue;
        }
        if (!line || p.y < line->y || p.y >= line->y + line->height) continue;
        int32_t x = 0;
        int32_t w = 0;
        if (kind == kItemTextRun) {
            const TextRun* run = block_->Run(c.counts[kItemTextRun]);
            x = run->x;
            w = run->width;
        } else if (kind == kItemInlineBox) {
            const InlineBox* box = block_->Object(c.counts[kItemInlineBox]);
            x = box->rect.x;
            w = box->rect.width;
        } else {
            continue;
        }
        if (p.x < x || p.x >= x + w) continue;
        // The word holding this item: back to its first item, then on to its end.
        BlockCursor s = c;
        s.Next();
        BackToWordStart(s);
        SetFocusAt(s);
        return true;
    }
    return false;
}

void TextFocus::SetRange(bool anchor, bool redraw) {
    if (focus_.IsEmpty()) return;
    (anchor ? anchor_ : active_) = focus_;
    if (redraw) RedrawSelection(true);
}

bool TextFocus::GetSelection(BlockCursor& from, BlockCursor& to) const {
    if (!block_ || HasNoSelection()) return false;
    bool anchorFirst = active_.start >= anchor_.start;
    from = anchorFirst ? anchor_.cursor : active_.cursor;
    to = anchorFirst ? active_.cursor : anchor_.cursor;
    ScanWords(to, true, false);
    return true;
}

void TextFocus::GetSelectionRange(uint32_t& start, uint32_t& end) const {
    BlockCursor from;
    BlockCursor to;
    if (!GetSelection(from, to)) {
        start = end = 0;
        return;
    }
    start = PositionOf(from);
    end = PositionOf(to);
}

bool TextFocus::RangeText(const BlockCursor& from, const BlockCursor& to, String& text,
                          uint32_t& language) const {
    text.SetEmpty();
    bool afterText = false;
    int32_t firstText = -1;
    String piece;
    for (BlockCursor c = from; !c.AtEnd() && c.position < to.position; c.Next()) {
        switch (c.Kind()) {
            case kItemTextRun: {
                // Soft hyphens are break points, not text: a looked-up word is whole.
                const String& run = block_->Run(c.counts[kItemTextRun])->text;
                const char16_t* p = run.Data();
                const char16_t* end = p + run.Length();
                for (const char16_t* soft; (soft = std::find(p, end, Hyphenation::kSoftHyphen)) != end;
                     p = soft + 1)
                    if (!text.AppendChars(p, static_cast<int32_t>(soft - p))) return false;
                if (!text.AppendChars(p, static_cast<int32_t>(end - p))) return false;
                afterText = true;
                if (firstText < 0) firstText = c.position;
                break;
            }
            case kItemInlineBox: {
                InlineObject* object = block_->Object(c.counts[kItemInlineBox])->object.Get();
                piece.SetEmpty();
                if (object && object->GetText(&piece) > 0 && !piece.IsEmpty()) {
                    if (!text.Append(piece)) return false;
                    afterText = true;
                    if (firstText < 0) firstText = c.position;
                }
                break;
            }
            case kItemFlowMark: {
                const FlowMark* m = block_->Mark(c.counts[kItemFlowMark]);
                bool zeroWidth = m->type == kMarkSpace && m->width == 0;
                if (m->type != kMarkHyphen && !zeroWidth && afterText) {
                    if (!text.AppendChar(u' ')) return false;
                    afterText = false;
                }
                break;
            }
            default:
                break;
        }
    }
    text.Trim(true, true);
    if (firstText < 0) return true;
    // The language of the style in force at the text: that of the nearest style change before
    // it, else the page's first. A style change carries its element's language or, at the
    // element's end, its parent's: one that names none ends an inner element's language.
    BlockCursor c = from;
    while (c.position < firstText) c.Next();
    const PositionRecord* style = slot_ && slot_->record ? &slot_->record->style : nullptr;
    while (c.position > 0) {
        c.Back();
        if (c.Kind() != kItemStyleChange) continue;
        style = block_->Style(c.counts[kItemStyleChange]);
        break;
    }
    if (style && style->language != 0) language = style->language;
    return true;
}

bool TextFocus::GetSelectionText(int32_t n, String& text, uint32_t& language) const {
    if (n <= 0 || !block_) return false;
    BlockCursor from;
    BlockCursor to;
    if (!GetSelection(from, to)) return false;
    SkipWords(to, n - 1);
    return RangeText(from, to, text, language);
}

bool TextFocus::GetLookupText(String& text, uint32_t& language, bool unlimited) const {
    BlockCursor from;
    BlockCursor to;
    if (!GetSelection(from, to)) {
        text.SetEmpty();
        return true;
    }
    if (!unlimited) {
        BlockCursor limit = from;
        SkipWords(limit, kLookupWords);
        if (limit.position < to.position) to = limit;
    }
    return RangeText(from, to, text, language);
}

bool TextFocus::GetBlockTextSample(String& text, uint32_t& language) const {
    if (!block_) return false;
    BlockCursor from;
    from.Init(block_, true);
    BlockCursor to = from;
    SkipWords(to, 3);
    if (!RangeText(from, to, text, language)) return false;
    if (text.Length() >= 10) return true;
    to = from;
    SkipWords(to, Hyphenation::IsCjkLanguage(language) ? 10 : 6);
    return RangeText(from, to, text, language);
}

bool TextFocus::GetSelectedObjectLocation(String& text) const {
    BlockCursor from;
    BlockCursor to;
    if (!GetSelection(from, to)) return false;
    for (BlockCursor c = from; !c.AtEnd() && c.position < to.position; c.Next()) {
        if (c.Kind() != kItemInlineBox) continue;
        InlineObject* object = block_->Object(c.counts[kItemInlineBox])->object.Get();
        if (object && object->GetLocationText(&text)) return true;
    }
    return false;
}

bool TextFocus::GetSelectionArea(Area& out) const {
    out.Reset();
    uint32_t start = 0;
    uint32_t end = 0;
    GetSelectionRange(start, end);
    if (start == end || !layout_ || !slot_) return false;
    AreaArray areas;
    areas.Init();
    RangeRegionStrategy range(start, end);
    bool ok = layout_->BuildRegions(*slot_, areas, range, 0, slot_->contents.Count(), false) &&
              areas.Count() == 1;
    if (ok) out.MoveFrom(*areas.At(0));
    areas.Destroy();
    return ok;
}

void TextFocus::DrawOutline(const Area& area) {
    if (canvas_ && !area.IsEmpty()) canvas_->DrawArea(area, true);
}

void TextFocus::RedrawSelection(bool draw) {
    Area fresh;
    GetSelectionArea(fresh);
    if (draw && canvas_ && canvas_->Begin()) {
        // Inverting twice restores: the difference of the two outlines is all that changes.
        Area diff;
        if (!area_.IsEmpty() && !fresh.IsEmpty() && Area::Combine(area_, fresh, diff)) {
            DrawOutline(diff);
        } else {
            DrawOutline(area_);
            DrawOutline(fresh);
        }
        canvas_->End();
    }
    area_.MoveFrom(fresh);
}

bool TextFocus::SelectPositions(uint32_t start, uint32_t end) {
    if (!block_ || end <= start) return false;
    ResetRanges();
    bool anchored = false;
    BlockCursor c;
    c.Init(block_, true);
    // Word by word from the block's start: each step moves on to the next word and past it.
    while (ScanWords(c, true, true)) {
        SetFocusAt(c);
        if (focus_.start >= end) break;
        if (focus_.end > start) {
            if (!anchored) SetRange(true, false);
            anchored = true;
            SetRange(false, false);
        }
        if (!ScanWords(c, true, false) || c.AtEnd()) break;
    }
    if (!anchored) {
        ResetRanges();
        return false;
    }
    RedrawSelection(true);
    return true;
}

void TextFocus::Repaint() {
    if (area_.IsEmpty() || !canvas_ || !canvas_->Begin()) return;
    DrawOutline(area_);
    canvas_->End();
}

bool TextFocus::GetFocusBox(Rect& out) const {
    out = Rect{};
    if (area_.IsEmpty()) return false;
    area_.GetBounds(out);
    return true;
}

void TextFocus::GetFocusPoint(Point& out) const {
    out = Point{0, 0};
    Rect r;
    if (GetFocusBox(r)) out = Point{r.x, r.y};
}

void TextFocus::BlinkFocusBox() {
    if (area_.IsEmpty()) return;
    for (int i = 0; i < kBlinks; ++i) {
        if (canvas_ && canvas_->Begin()) {
            DrawOutline(area_);
            canvas_->End();
        }
        if (flush_) flush_->FlushDirty();
    }
}

void TextFocus::ClearFocusBox() {
    ResetRanges();
    if (!area_.IsEmpty()) {
        if (canvas_ && canvas_->Begin()) {
            DrawOutline(area_);
            canvas_->End();
        }
        area_.Reset();
    }
}

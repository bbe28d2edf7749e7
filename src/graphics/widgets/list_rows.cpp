// The list control's rows: walking the record set from the top position, laying each record out
// as a row (label, icons, text), painting the rows that fit, and measuring lists for owners.
#include <algorithm>

#include "core/resources.h"
#include "graphics/controls/button_control.h"
#include "graphics/widgets/list_control.h"

namespace {
constexpr uint32_t kBlack = 0;
constexpr uint32_t kLabelGrey = 192 | 192 << 8 | 192 << 16;
constexpr char16_t kEllipsis[] = u"...";
const char16_t kSpace[] = u" ";
const char16_t kX[] = u"X";

bool IsHighSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}

// Characters of text that fit in width; bitmap faces answer 0 from FitCount, so those are
// measured prefix by prefix.
int32_t FitChars(GraphicsContext* gc, const char16_t* text, int32_t length, int32_t width) {
    int32_t n = gc->FitCount(text, length, width);
    if (n == 0 && length > 0) {
        Size s{};
        while (n < length && gc->MeasureText(text, n + 1, s) && s.width <= width) ++n;
    }
    n = std::clamp(n, 0, length);
    // Never split a surrogate pair.
    if (n > 0 && n < length && IsHighSurrogate(text[n - 1])) --n;
    return n;
}
}  // namespace

FontStyle ListControl::RowFont(bool bold, bool italic, bool underline) const {
    FontStyle f = listFont_;
    f.flags = static_cast<uint8_t>((f.flags & ~7u) | (bold ? 1 : 0) | (italic ? 2 : 0) |
                                   (underline ? 4 : 0));
    return f;
}

FontStyle ListControl::SmallFont() const {
    FontStyle f = listFont_;
    f.size = static_cast<int8_t>(f.size - (f.size >> 2));
    f.flags = static_cast<uint8_t>(f.flags & ~4u);
    return f;
}

FontStyle ListControl::MessageFont() const {
    FontStyle f = listFont_;
    f.flags = static_cast<uint8_t>(f.flags & ~15u);
    return f;
}

uint32_t ListControl::RowFill(bool current) const {
    if (highlightMode_ == 1 && current && selectionColours_) return selectedBackgroundColour_;
    return backgroundColour_;
}

const IconImage* ListControl::GetIconImage(uint32_t id, Size& size) {
    size = Size{};
    // 0 is "no icon" in the sets' icon words.
    if (!iconsEnabled_ || id == 0 || id == 0xFFFF) return nullptr;
    uint32_t highest = 0;
    for (const CachedIcon& e : icons_) highest = std::max(highest, e.stamp);
    int victim = 0;
    for (int i = 0; i < kIconCacheSize; ++i) {
        CachedIcon& e = icons_[i];
        if (e.id == id) {
            e.stamp = highest + 1;
            if (e.image) size = Size{e.image->Width(), e.image->Height()};
            return e.image.get();
        }
        uint32_t s = e.id == 0 ? 0 : e.stamp;
        uint32_t v = icons_[victim].id == 0 ? 0 : icons_[victim].stamp;
        if (s <= v) victim = i;
    }
    CachedIcon& e = icons_[victim];
    e.image.reset(IconImage::Create(iconHost_, static_cast<WORD>(id)));
    e.id = id;
    e.stamp = highest + 1;
    if (e.image) size = Size{e.image->Width(), e.image->Height()};
    return e.image.get();
}

Size ListControl::IconBlock(uint32_t ids, Size& main, Size& overlay) {
    GetIconImage(ids & 0xFFFF, main);
    GetIconImage(ids >> 16, overlay);
    return Size{
        main.width + overlay.width - (overlay.width * 11 >> 4),
        std::max(main.height, overlay.height) + overlay.height - (overlay.height * 11 >> 4)};
}

void ListControl::FitText(GraphicsContext* gc, const String& text, const Rect& area, String& out,
                          Size& size, bool& fits, bool& complete, bool cut) {
    size = Size{};
    if (!cut) {
        out = text;
        gc->MeasureText(text.Data(), text.Length(), size);
        fits = complete = true;
        return;
    }
    int32_t length = text.Length();
    int32_t n = FitChars(gc, text.Data(), length, area.width);
    bool done = false;
    if (n < length && n > 3) {
        for (int attempt = 0; attempt < 3 && !done; ++attempt) {
            --n;
            String candidate(text.Data(), n);
            candidate.AppendChars(kEllipsis, 3);
            if (FitChars(gc, candidate.Data(), candidate.Length(), area.width) ==
                candidate.Length()) {
                out = candidate;
                done = true;
            }
        }
    }
    if (!done) out = String(text.Data(), n);
    gc->MeasureText(out.Data(), out.Length(), size);
    complete = n == length;
    fits = size.height <= area.height;
}

void ListControl::LayoutRow(GraphicsContext* gc, const String& text, const String& label,
                            uint32_t iconIds, const Rect& area, String& fitted, const RowInfo& info,
                            RowFlags& flags, RowRecord& row, int32_t labelWidth,
                            int32_t minRowHeight, bool cut, bool fullWidth) {
    // Measured in the face it is drawn in, so that bold rows are cut before the edge.
    gc->SetFontStyle(info.bytes[4] ? SmallFont()
                                   : RowFont(info.bytes[0], info.bytes[1], info.bytes[2]));
    Rect content{area.x + labelWidth, area.y, std::max(0, area.width - labelWidth), area.height};
    row.iconArea = Rect{content.x, content.y, 0, 0};
    if (iconsEnabled_) {
        Size main{}, overlay{};
        Size block = IconBlock(iconIds, main, overlay);
        row.iconArea = Rect{content.x, content.y, block.width + 2 * margin_, block.height};
    }
    Rect avail{content.x + row.iconArea.width, content.y,
               std::max(0, content.width - row.iconArea.width), content.height};
    Size textSize{};
    FitText(gc, text, avail, fitted, textSize, flags.fits, flags.complete, cut);
    row.textArea = Rect{avail.x, avail.y, textSize.width, textSize.height};
    row.labelArea = Rect{};
    if (labelsEnabled_ && !label.IsEmpty()) {
        gc->SetFontStyle(SmallFont());
        Size s{};
        gc->MeasureText(label.Data(), label.Length(), s);
        row.labelArea = Rect{0, 0, s.width, s.height};
    }
    Rect r = row.textArea;
    if (!row.iconArea.IsEmpty()) Rect::Union(r, row.iconArea);
    r.x -= margin_;
    r.width += 2 * margin_;
    int32_t bottom = std::max({r.Bottom(), row.textArea.Bottom(), row.iconArea.Bottom(),
                               area.y + minRowHeight, area.y + 1});
    r.y = area.y;
    r.height = bottom - area.y;
    if (fullWidth) {
        r.x = content.x;
        r.width = content.width;
    }
    row.rowArea = r;
    row.textArea.y = r.y + (r.height - row.textArea.height) / 2;
    row.iconArea.y = r.y + (r.height - row.iconArea.height) / 2;
    row.labelArea.x = area.x + 4;
    row.labelArea.y = r.y + 3;
}

bool ListControl::PaintRows(GraphicsContext* gc, bool backward, bool measureOnly, bool force,
                            bool listedOnly) {
    if ((!shown_ && !force && !measureOnly) || (listedOnly && repaint_.Count() == 0)) return false;
    DrawScope scope(gc ? nullptr : this);
    GraphicsContext* g = gc ? gc : scope.Context();
    // Without a context nothing can be measured: keep the rows of the last layout.
    if (!g) return false;
    g->SetFontStyle(listFont_);
    int32_t oldCount = rows_.Count();
    rows_.Clear();

    auto step = [&](const RecordPosition& p) {
        if (!source_)
            return RecordPosition::At(backward ? RecordPosition::kBeforeFirst
                                               : RecordPosition::kAfterLast);
        return backward ? source_->Previous(p) : source_->Next(p);
    };
    RecordPosition start = top_;
    if (start.IsRow() && source_ && source_->Count() != 0xFFFFFFFFu &&
        start.value >= source_->Count()) {
        // The set shrank under the page: start again from its first (or last) record.
        start = step(RecordPosition::At(backward ? RecordPosition::kAfterLast
                                                 : RecordPosition::kBeforeFirst));
        top_ = start.IsRow() ? start : RecordPosition::At(RecordPosition::kBeforeFirst);
    } else if ((!backward && start.beforeFirst) || (backward && start.afterLast)) {
        start = step(start);
    }

    Rect area = bounds_;
    if (scrollButtons_) area.width = std::max(0, area.width - StripWidth());

    int32_t labelWidth = 0;
    int32_t minRowHeight = 0;
    if (labelsEnabled_) {
        g->SetFontStyle(SmallFont());
        Size x{};
        g->MeasureText(kX, 1, x);
        int32_t widest = x.width, tallest = x.height, remaining = area.height;
        String label;
        for (RecordPosition p = start; p.IsRow() && source_; p = step(p)) {
            label.SetEmpty();
            source_->GetShortId(p, label);
            Size s = x;
            if (!label.IsEmpty()) g->MeasureText(label.Data(), label.Length(), s);
            int32_t h = std::max(1, s.height + 5);
            if (h > remaining) break;
            remaining -= h;
            widest = std::max(widest, s.width);
            tallest = std::max(tallest, s.height);
        }
        labelWidth = widest + 8;
        minRowHeight = tallest + 5;
    }

    bool full = false;
    bool any = false;
    Rect remaining = area;
    String text, label, fitted;
    for (RecordPosition p = start; p.IsRow() && source_; p = step(p)) {
        any = true;
        text.SetEmpty();
        if (!source_->GetDisplayText(p, text) || text.IsEmpty()) text = String(kSpace);
        label.SetEmpty();
        if (labelsEnabled_) source_->GetShortId(p, label);
        uint32_t ids = source_->GetIcon(p);
        RowInfo info;
        source_->GetInfo(p, info);
        RowRecord row{};
        RowFlags flags;
        LayoutRow(g, text, label, ids, remaining, fitted, info, flags, row, labelWidth,
                  minRowHeight, true, true);
        row.position = p;
        if (remaining.height < row.rowArea.height) {
            full = true;
            // A first row taller than the list is still shown, clipped, so the list can page.
            if (rows_.Count() > 0) break;
        }
        int32_t index = rows_.Count();
        bool listed = false;
        for (int32_t i = 0; i < repaint_.Count(); ++i)
            listed = listed || *repaint_.Get(i) == static_cast<uint32_t>(index);
        if (!measureOnly && (!listedOnly || listed)) {
            bool c = static_cast<uint32_t>(index) == currentRow_;
            bool s = c && focused_;
            bool pushed = g->PushState();
            g->IntersectClip(bounds_);
            DrawRowBackground(g, row.rowArea, c, s);
            DrawRowText(g, row.textArea, fitted, info, c);
            DrawIcons(g, row.iconArea, ids, c, s);
            DrawLabel(g, Rect{area.x, row.rowArea.y, labelWidth, row.rowArea.height}, row.labelArea,
                      label);
            if (pushed) g->PopState();
        }
        if (rows_.Append(row) < 0) break;
        remaining.y += row.rowArea.height;
        remaining.height -= row.rowArea.height;
        if (full) break;
    }

    if (!measureOnly) {
        if (!listedOnly) {
            Rect rest{area.x, remaining.y, area.width, std::max(0, area.Bottom() - remaining.y)};
            if (labelWidth > 0 && !rest.IsEmpty()) {
                DrawLabel(g, Rect{rest.x, rest.y, labelWidth, rest.height}, Rect{}, String());
                rest.x += labelWidth;
                rest.width -= labelWidth;
            }
            if (!rest.IsEmpty()) {
                g->SetBrushColor(backgroundColour_);
                g->SetPenColor(backgroundColour_);
                g->DrawRectangle(rest, true);
            }
        }
        if (currentRow_ < static_cast<uint32_t>(rows_.Count())) {
            if (highlightMode_ == 0 && !listedOnly) DrawHighlight(g);
        } else {
            currentRow_ = kNoRow;
        }
        if (!listedOnly && scrollButtons_) {
            canScrollUp_ =
                source_ && top_.IsRow() &&
                source_->Previous(rows_.Count() > 0 ? rows_.Get(0)->position : top_).IsRow();
            canScrollDown_ = source_ && rows_.Count() > 0 &&
                             !source_->Next(rows_.Get(rows_.Count() - 1)->position).afterLast;
            PlaceScrollButtons();
            for (ButtonControl* b : {upButton_.Get(), downButton_.Get()}) {
                if (!b) continue;
                bool can = b == upButton_.Get() ? canScrollUp_ : canScrollDown_;
                Rect r{};
                b->GetRect(r);
                if (can) {
                    b->Draw(g, r, &bounds_);
                } else if (!r.IsEmpty()) {
                    g->SetBrushColor(backgroundColour_);
                    g->SetPenColor(backgroundColour_);
                    g->DrawRectangle(r, true);
                }
            }
        }
        String message;
        if (!any && !listedOnly && !noEmptyMessage_ &&
            Resources::LoadString(message, kEmptyMessageId) && !message.IsEmpty()) {
            g->SetFontStyle(MessageFont());
            g->SetTextColor(kBlack);
            Size s{};
            g->MeasureText(message.Data(), message.Length(), s);
            g->DrawText(
                message.Data(), message.Length(),
                Point{bounds_.x + (bounds_.width - s.width) / 2, bounds_.y + bounds_.height / 3});
        }
        repaint_.Clear();
    }
    (void)oldCount;
    return measureOnly && full;
}

void ListControl::DrawRowBackground(GraphicsContext* gc, const Rect& area, bool current,
                                    bool focused) {
    if (area.IsEmpty()) return;
    uint32_t fill = RowFill(current);
    uint32_t pen = highlightMode_ == 1 && current && focused ? frameColour_ : fill;
    gc->SetBrushColor(fill);
    gc->SetPenColor(pen);
    gc->DrawRectangle(area, true);
}

void ListControl::DrawRowText(GraphicsContext* gc, const Rect& area, const String& text,
                              const RowInfo& info, bool current) {
    gc->SetFontStyle(info.bytes[4] ? SmallFont()
                                   : RowFont(info.bytes[0], info.bytes[1], info.bytes[2]));
    bool selected = highlightMode_ == 1 && current && selectionColours_;
    uint32_t colour = selected ? selectedTextColour_ : textColour_;
    if (highlightMode_ == 1 && info.bytes[3]) colour = selected ? selectedTextColour_ : kBlack;
    gc->SetTextColor(colour);
    gc->DrawText(text.Data(), text.Length(), Point{area.x, area.y});
}

void ListControl::DrawIcons(GraphicsContext* gc, const Rect& area, uint32_t ids, bool current,
                            bool /*focused*/) {
    if (!iconsEnabled_ || area.IsEmpty()) return;
    Size main{}, overlay{};
    Size block = IconBlock(ids, main, overlay);
    // The row background under and around the block; icons draw over it.
    uint32_t fill = RowFill(current);
    gc->SetBrushColor(fill);
    gc->SetPenColor(fill);
    gc->DrawRectangle(area, true);
    Rect b{area.x + (area.width - block.width) / 2, area.y + (area.height - block.height) / 2,
           block.width, block.height};
    Size unused{};
    if (const IconImage* m = GetIconImage(ids & 0xFFFF, unused))
        gc->DrawIcon(Rect{b.x, b.y, main.width, main.height}, bounds_, m->Icon(), main);
    if (const IconImage* o = GetIconImage(ids >> 16, unused)) {
        Point at{b.x + main.width - (overlay.width * 11 >> 4),
                 b.y + std::max(main.height, overlay.height) - (overlay.height * 11 >> 4)};
        gc->DrawIcon(Rect{at.x, at.y, overlay.width, overlay.height}, bounds_, o->Icon(), overlay);
    }
}

void ListControl::DrawLabel(GraphicsContext* gc, const Rect& column, const Rect& box,
                            const String& label) {
    if (!labelsEnabled_ || column.IsEmpty()) return;
    gc->SetBrushColor(kLabelGrey);
    gc->SetPenColor(kLabelGrey);
    gc->DrawRectangle(column, true);
    if (label.IsEmpty()) return;
    Rect frame{column.x + 2, column.y + 1, box.width + 4, column.height - 1};
    if (frame.IsEmpty()) return;
    gc->SetBrushColor(backgroundColour_);
    gc->SetPenColor(backgroundColour_);
    gc->DrawRectangle(frame, true);
    // Rounded look: each corner is cut by a short diagonal, black on the outside.
    for (int corner = 0; corner < 4; ++corner) {
        Point p = Rect::Corner(frame, corner);
        int dx = corner == 0 || corner == 3 ? 1 : -1;
        int dy = corner < 2 ? 1 : -1;
        gc->SetPixel(p, kLabelGrey);
        gc->SetPixel(Point{p.x + dx, p.y}, kBlack);
        gc->SetPixel(Point{p.x, p.y + dy}, kBlack);
    }
    gc->SetFontStyle(SmallFont());
    gc->SetTextColor(kBlack);
    gc->DrawText(label.Data(), label.Length(), Point{box.x, box.y});
}

void ListControl::DrawHighlight(GraphicsContext* gc) {
    const RowRecord* row =
        currentRow_ == kNoRow ? nullptr : rows_.Get(static_cast<int32_t>(currentRow_));
    if (!row) return;
    if (highlightMode_ == 1) {
        repaint_.Append(currentRow_);
        return;
    }
    if (!gc || currentPart_ > 1) return;
    const Rect& r = currentPart_ == 0 ? row->iconArea : row->textArea;
    if (r.IsEmpty()) return;
    uint32_t old = gc->SetDrawMode(GraphicsContext::kDrawInvert);
    gc->SetBrushColor(0xFFFFFF);
    gc->SetPenColor(0xFFFFFF);
    gc->DrawRectangle(r, true);
    gc->SetDrawMode(old);
}

void ListControl::GetContentSize(Size& out, int32_t& minRowHeight, int32_t& stripWidth,
                                 GraphicsContext* gc) {
    out = Size{};
    minRowHeight = 0;
    stripWidth = 0;
    if (!source_) return;
    DrawScope scope(gc ? nullptr : this);
    GraphicsContext* g = gc ? gc : scope.Context();
    if (!g) return;
    stripWidth = StripWidth();
    const Rect unbounded{0, 0, 0x3FFFFFFF, 0x3FFFFFFF};
    String text, label, fitted;
    bool first = true;
    for (RecordPosition p = source_->Next(RecordPosition::At(RecordPosition::kBeforeFirst));
         p.IsRow(); p = source_->Next(p)) {
        text.SetEmpty();
        if (!source_->GetDisplayText(p, text) || text.IsEmpty()) text = String(kSpace);
        label.SetEmpty();
        if (labelsEnabled_) source_->GetShortId(p, label);
        RowInfo info;
        source_->GetInfo(p, info);
        RowRecord row{};
        RowFlags flags;
        LayoutRow(g, text, label, source_->GetIcon(p), unbounded, fitted, info, flags, row, 0, 0,
                  false, false);
        int32_t w = row.rowArea.width, h = row.rowArea.height;
        if (row.labelArea.width > 0 && row.labelArea.height > 0) {
            w += row.labelArea.width + 8;
            h = std::max(h, row.labelArea.height + 5);
        }
        out.width = std::max(out.width, w);
        out.height += h;
        minRowHeight = first ? h : std::min(minRowHeight, h);
        first = false;
    }
    // An empty list still answers a row height that owners can divide by.
    if (minRowHeight <= 0) {
        g->SetFontStyle(listFont_);
        minRowHeight = std::max(1, g->FontAscent() + g->FontDescent());
    }
    out.width += stripWidth;
}

void ListControl::GetPreferredSize(Size& out, int32_t rows, int32_t columns, int32_t& lineHeight,
                                   int32_t& stripWidth, GraphicsContext* gc) {
    out = Size{};
    lineHeight = 0;
    stripWidth = StripWidth();
    DrawScope scope(gc ? nullptr : this);
    GraphicsContext* g = gc ? gc : scope.Context();
    if (!g) return;
    g->SetFontStyle(RowFont(false, false, true));
    Size m{};
    g->MeasureText(u"m", 1, m);
    lineHeight = g->FontAscent() + g->FontDescent();
    out = Size{stripWidth + m.width * columns, lineHeight * rows};
}

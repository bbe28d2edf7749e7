// Marks of a laid-out page: hit regions for links, native controls and the bookmark corner,
// built from where the drawing placed each run, and the current mark.
#include <algorithm>
#include <new>
#include <string>

#include "bookfiles/annotation_file.h"
#include "document/sources/layout_services.h"
#include "graphics/core/node.h"
#include "layout/page_canvas.h"
#include "layout/page_layout.h"
#include "layout/table_scroll.h"
#include "paths/app_paths.h"
#include "script/script_error.h"

// --- Strategies ------------------------------------------------------------------------------

void LinkRegionStrategy::Step(BlockContents& contents, int32_t index, int32_t kindIndex,
                              bool& starts, bool& ends) {
    starts = ends = false;
    ended_.Reset();
    if (contents.ItemAt(index)->kind == kItemStyleChange) {
        const PositionRecord* style = contents.Style(kindIndex);
        styleLink_ = style ? style->link.Get() : nullptr;
    }
    // Text under the reader's own link is a link too, where the book gives it none.
    LinkTarget* link = TakeRegionLink(markLink_, styleLink_);
    if (link == current_) return;
    ends = current_ != nullptr;
    starts = link != nullptr;
    current_ = link;
    if (ends) ended_ = std::move(region_);
    if (starts) region_.Assign(link);
}

bool LinkRegionStrategy::MayStart(const BlockContents& contents) const {
    if (styleLink_) return true;
    for (int32_t i = 0; i < contents.KindCount(kItemStyleChange); ++i) {
        const PositionRecord* style = contents.Style(i);
        if (style && style->link) return true;
    }
    return false;
}

bool LinkRegionStrategy::Finish(Area& area) {
    RefPtr<LinkTarget> link = std::move(ended_);
    if (!link) link.Assign(region_.Get());
    if (area.IsEmpty() || !link) return false;
    area.link.Assign(link.Get());
    return true;
}

void RangeRegionStrategy::Step(BlockContents& contents, int32_t index, int32_t, bool& starts,
                               bool& ends) {
    starts = ends = false;
    const BlockItem* item = contents.ItemAt(index);
    if (!item->HasPosition()) return;
    uint32_t p = item->Position();
    if (!begun_ && p >= start_ && p < end_) {
        begun_ = true;
        starts = true;
    } else if (begun_ && p >= end_) {
        ends = true;
        begun_ = false;
    }
}

// --- The region walk -----------------------------------------------------------------------------

bool PageLayout::LineSegmentRect(const LineRecord& line, int32_t from, int32_t to, Rect& out,
                                 const Rect* clip, int32_t dy) {
    out = Rect{from, line.y + line.extraAbove + dy, to - from,
               line.height - line.extraAbove - line.extraBelow};
    if (out.width <= 0 || out.height <= 0) return false;
    return !clip || Rect::Intersect(out, *clip, out);
}

bool PageLayout::AppendArea(AreaArray& out, Area& area) {
    int32_t n = out.Count();
    if (!out.Reserve(n + 1)) return false;
    Area* slot = out.At(n);
    if (!slot) return false;
    slot->MoveFrom(area);
    return true;
}

namespace {

// Where the walk stands towards a scrollable table: inside one, what lies outside its view is
// not shown, so no mark may reach there. Runs and objects carry the places they were drawn at
// (already shifted by the table's offsets); line records keep their unshifted y, moved by dy.
struct TableClip {
    Rect viewRect{};
    const Rect* view = nullptr;
    int32_t dy = 0;
    int32_t depth = 0;  // tables open (nested ones draw inside the outermost's view)

    TableClip() = default;
    // A copy cuts to its own copy of the view.
    TableClip(const TableClip& o) { *this = o; }
    TableClip& operator=(const TableClip& o) {
        viewRect = o.viewRect;
        view = o.view ? &viewRect : nullptr;
        dy = o.dy;
        depth = o.depth;
        return *this;
    }

    // A drawn rectangle cut to the view; false when nothing of it shows.
    bool Cut(Rect& r) const { return !view || Rect::Intersect(r, *view, r); }
};

// Entering a table at the top level: a scrollable one limits the marks to its view.
void EnterTableClip(PageSlot& slot, const TableRecord* t, const BlockItem* item, TableClip& clip,
                    const Rect& view) {
    if (!t || (t->content.width <= t->box.width && t->content.height <= t->box.height)) return;
    clip.viewRect = view;
    clip.view = &clip.viewRect;
    if (!slot.record) return;
    for (const TableScrollEntry& e : slot.record->tables)
        if (e.position == item->Position()) clip.dy = -e.y;
}

// The region being collected: the span on the current line and the rectangles of lines left.
struct OpenRegion {
    const LineRecord* line = nullptr;
    TableClip clip;  // the current line's
    int32_t from = 0;
    int32_t to = 0;
    bool hasSpan = false;
    RectList* rects = nullptr;

    ~OpenRegion() { RectLists::Free(rects); }
    bool Flush() {
        Rect r;
        bool ok = true;
        if (hasSpan && line &&
            PageLayout::LineSegmentRect(*line, from, to, r, clip.view, clip.dy))
            ok = RectLists::Add(rects, r);
        hasSpan = false;
        return ok;
    }
    void Extend(int32_t x0, int32_t x1) {
        if (!hasSpan) {
            // A new span: nothing of the last one's end is kept.
            from = x0;
            to = x1;
            hasSpan = true;
        }
        to = std::max(to, x1);
        if (to < from) to = from;
    }
};

}  // namespace

bool PageLayout::BuildRegions(PageSlot& slot, AreaArray& out, RegionStrategy& strategy,
                              int32_t from, int32_t to, bool makeControls) {
    BlockContents& c = slot.contents;
    to = std::min(to, c.Count());
    int32_t counts[kItemKindCount] = {};
    OpenRegion region;
    bool open = false;
    const LineRecord* line = nullptr;
    TableClip table;      // where the walk is now
    TableClip lineClip;   // where the current line was met

    auto close = [&]() -> bool {
        region.line = line;
        region.clip = lineClip;
        if (!region.Flush()) return false;
        Area area;
        int32_t n = region.rects ? region.rects->Count() : 0;
        if (n == 1) {
            area.SetRect(*region.rects->Get(0));
        } else if (n > 1) {
            area.SetRectList(region.rects);
            region.rects = nullptr;
        }
        RectLists::Free(region.rects);
        if (!strategy.Finish(area)) return true;  // nothing to point at: dropped
        return AppendArea(out, area);
    };

    // Notes get a marker area where they start (the same place as the drawn mark).
    AnnotationCursor notes;
    bool walking = false;
    uint32_t first = 0, last = 0;
    if (makeControls && annotations_ && c.GetRange(first, last)) {
        notes.Start(annotations_, first);
        walking = notes.current >= 0;
    }
    // Most pages of prose: no annotation, no object and no link, nothing to point at.
    if (!walking && c.KindCount(kItemInlineBox) == 0 && !strategy.MayStart(c)) return true;
    Rect previousMark{};

    for (int32_t i = 0; i < to; ++i) {
        const BlockItem* item = c.ItemAt(i);
        uint32_t kind = item->kind;
        int32_t k = counts[kind]++;
        if (walking && kind == kItemTextRun && item->HasPosition()) {
            notes.Advance(item->Position(), true);
            const TextRun* run = c.Run(k);
            Rect r;
            if (run && line && notes.MarkOpen() && notes.TakePending() &&
                MarkerRect(notes.MarkStyle(),
                           Point{run->x, line->y + line->extraAbove + lineClip.dy}, *line, false,
                           r) &&
                lineClip.Cut(r) &&
                !(r.x == previousMark.x && r.y == previousMark.y && r.width == previousMark.width &&
                  r.height == previousMark.height)) {
                if (!AddMarkArea(out, notes.markRecord, r)) return false;
                previousMark = r;
            }
        }
        if (i < from) continue;
        if (i == from && item->HasPosition() && strategy.StartsAt(item->Position())) open = true;
        bool starts = false, ends = false;
        // A mark of the reader's own that links somewhere (its other end).
        strategy.NoteAnnotationLink(walking && notes.MarkOpen() && notes.leads ? notes.link.Get()
                                                                               : nullptr);
        strategy.Step(c, i, k, starts, ends);
        if (ends && open) {
            if (!close()) return false;
            open = false;
        }
        if (starts) open = true;
        switch (kind) {
            case kItemLine:
                if (open) {
                    region.line = line;
                    region.clip = lineClip;
                    if (!region.Flush()) return false;
                }
                line = c.Line(k);
                lineClip = table;
                region.line = line;
                region.clip = lineClip;
                break;
            case kItemTable:
                if (table.depth++ == 0) {
                    Rect view, left, right;
                    const TableRecord* t = c.Table(k);
                    if (t) TableScrollRects(t->box, view, left, right);
                    EnterTableClip(slot, t, item, table, view);
                }
                break;
            case kItemTextRun:
                if (open) {
                    const TextRun* run = c.Run(k);
                    if (run) region.Extend(run->x, run->x + run->width);
                }
                break;
            case kItemFlowMark: {
                const FlowMark* m = c.Mark(k);
                if (open && m && m->type == kMarkHyphen && region.hasSpan) region.to += m->width;
                if (m && m->type == kMarkTableEnd && table.depth > 0 && --table.depth == 0)
                    table = TableClip{};
                break;
            }
            case kItemInlineBox: {
                InlineBox* box = c.Object(k);
                if (!box || !box->object) break;
                // The box's rectangle is where it was drawn; inside a scrolled table only
                // what shows of it may be pointed at.
                Rect shown = box->rect;
                bool shows = table.Cut(shown);
                if (box->object->IsControl()) {
                    if (!makeControls || !shows) break;
                    Area area;
                    area.SetRect(shown);
                    ControlMark* control = new (std::nothrow) ControlMark(box->object.Get());
                    if (!control) return false;
                    area.secondLink = RefPtr<AreaLinkValue>::Adopt(control);
                    if (!AppendArea(out, area)) return false;
                } else if (open) {
                    if (box->flags & InlineBox::kAlignmentGiven) {
                        if (!shows) break;
                        Area area;
                        area.SetRect(shown);
                        if (strategy.Finish(area) && !AppendArea(out, area)) return false;
                    } else {
                        region.Extend(box->rect.x, box->rect.x + box->rect.width);
                    }
                }
                break;
            }
            default:
                break;
        }
    }
    if (open && !close()) return false;
    return true;
}

bool PageLayout::AddMarkArea(AreaArray& out, int32_t annotation, const Rect& rect) {
    RefPtr<LinkTarget> link = RefPtr<LinkTarget>::Adopt(new (std::nothrow) LinkTarget);
    if (!link) return false;
    link->SetCoordinates(25, 71, static_cast<uint32_t>(annotation));
    Area area;
    area.SetRect(rect);
    area.link.Assign(link.Get());
    return AppendArea(out, area);
}

// --- Building and the current mark
// -------------------------------------------------------------------

namespace {

void AppendNumber(std::u16string& out, int64_t n) {
    for (char ch : std::to_string(n)) out.push_back(static_cast<char16_t>(ch));
}

}  // namespace

bool PageLayout::AddScriptMark(AreaArray& out, const Rect& rect, const std::u16string& script) {
    RefPtr<LinkTarget> link = RefPtr<LinkTarget>::Adopt(new (std::nothrow) LinkTarget);
    if (!link) return false;
    link->kind = kLinkScript;
    link->text = String(script.data(), static_cast<int32_t>(script.size()));
    Area area;
    area.SetRect(rect);
    area.link.Assign(link.Get());
    return AppendArea(out, area);
}

bool PageLayout::ShowTip(PageSlot& slot, const Rect& rect, const String& text, uint32_t number) {
    String escaped;
    if (!Script::EscapeStringLiteral(text, &escaped)) return false;
    std::u16string script = u"display_tip(\"";
    script.append(escaped.Data(), static_cast<size_t>(escaped.Length()));
    script += u"\",";
    AppendNumber(script, number);
    script += u")";
    return AddScriptMark(slot.marks, rect, script);
}

bool PageLayout::BuildAreaTip(String& text, Rect& where) {
    text.SetEmpty();
    PageSlot* slot = CurrentPageSlot();
    uint32_t index = CurrentMarkIndex();
    if (!slot || index >= static_cast<uint32_t>(slot->marks.Count())) return false;
    const Area* area = slot->marks.At(static_cast<int32_t>(index));
    if (!area) return false;
    area->GetBounds(where);
    BlockContents& b = slot->contents;
    BlockCursor c;
    c.Init(&b, true);
    const LineRecord* line = nullptr;
    bool gap = false;  // a space or a new line since the last word taken
    for (; !c.AtEnd(); c.Next()) {
        switch (c.Kind()) {
            case kItemLine:
                line = b.Line(c.counts[kItemLine]);
                gap = true;
                break;
            case kItemFlowMark:
                if (b.Mark(c.counts[kItemFlowMark])->type == kMarkSpace) gap = true;
                break;
            case kItemTextRun: {
                const TextRun* run = b.Run(c.counts[kItemTextRun]);
                if (!line || run->width <= 0) break;
                Point middle{run->x + run->width / 2, line->y + line->height / 2};
                if (!area->HitTest(middle, 0)) break;
                if (gap && !text.IsEmpty() && !text.AppendChar(u' ')) return false;
                if (!text.Append(run->text)) return false;
                gap = false;
                break;
            }
            default:
                break;
        }
    }
    return !text.IsEmpty();
}

bool PageLayout::TableArrowRects(const Rect& view, Rect& left, Rect& right) const {
    // The arrows sit at the two sides of the table's view, as wide as a wide note mark.
    int32_t width = std::min(3 * UiMetrics::Get(paths_, 9), view.width / 4);
    if (width <= 0 || view.height <= 0) return false;
    left = Rect{view.x, view.y, width, view.height};
    right = Rect{view.x + view.width - width, view.y, width, view.height};
    return true;
}

bool PageLayout::TableScrollRects(const Rect& box, Rect& view, Rect& left, Rect& right) {
    TableScroll::Geometry g;
    if (painter_.Canvas() &&
        painter_.Canvas()->IconSize(TableScroll::TableIcons::kLeftArrow, g.leftIcon) &&
        painter_.Canvas()->IconSize(TableScroll::TableIcons::kRightArrow, g.rightIcon) &&
        g.leftIcon.width > 0 && g.rightIcon.width > 0) {
        g.haveIcons = true;
        g.leftMargin = marginLeft_;
        g.rightMargin = marginRight_;
        Rect area;
        bool placed = TableScroll::GetTableScrollGeometry(g, box, view, left, area, right);
        if (placed && view.width > 0) return true;
    }
    view = box;
    return TableArrowRects(box, left, right);
}

bool PageLayout::MoveTable(PageSlot& slot, const Rect& box, uint32_t id) {
    Rect view, left, right;
    if (!TableScrollRects(box, view, left, right)) return true;
    std::u16string back = u"move_table(", on = u"move_table(";
    AppendNumber(back, id);
    back += u",-";
    AppendNumber(back, kTableScrollStep);
    back += u")";
    AppendNumber(on, id);
    on += u",";
    AppendNumber(on, kTableScrollStep);
    on += u")";
    return AddScriptMark(slot.marks, left, back) && AddScriptMark(slot.marks, right, on);
}

bool PageLayout::AddTableMarks(PageSlot& slot) {
    BlockContents& c = slot.contents;
    const int32_t count = c.KindCount(kItemTable);
    int32_t tables = 0;
    for (int32_t i = 0; i < c.Count() && tables < count; ++i) {
        if (c.ItemAt(i)->kind != kItemTable) continue;
        const TableRecord* t = c.Table(tables++);
        if (!t || (t->content.width <= t->box.width && t->content.height <= t->box.height))
            continue;
        if (!MoveTable(slot, t->box, c.ItemAt(i)->Position())) return false;
    }
    return true;
}

bool PageLayout::AddBookmarkTip(PageSlot& slot) {
    if (slot.cornerBookmark < 0 || !annotations_) return true;
    Rect r = CornerRect();
    int32_t grow = UiMetrics::Get(paths_, 11);
    r = Rect{r.x - grow, r.y - grow, r.width + 2 * grow, r.height + 2 * grow};
    uint32_t length = 0;
    const char16_t* chars = annotations_->GetBookmarkText(slot.cornerBookmark, &length);
    String text = chars ? String(chars, static_cast<int32_t>(length)) : String();
    // The tip carries the bookmark's index in the side file (the first bookmark is 1).
    return ShowTip(slot, r, text, static_cast<uint32_t>(slot.cornerBookmark));
}

bool PageLayout::EnsureMarks(PageSlot& slot) {
    if (slot.marksBuilt) return true;
    if (!slot.drawn) return false;
    rememberedMark_ = kNone;
    slot.marks.Clear();
    // Text in a link the page before began is a link from the page's first item on.
    LinkRegionStrategy links(slot.record ? slot.record->style.link.Get() : nullptr);
    bool ok = AddTableMarks(slot) &&
              BuildRegions(slot, slot.marks, links, 0, slot.contents.Count(), true) &&
              AddBookmarkTip(slot);
    if (!ok) {
        slot.marks.Clear();
        return false;
    }
    // The focus moves among the page's controls in their forms' order.
    if (!SortFocusAreas(slot.marks)) {
        slot.marks.Clear();
        return false;
    }
    if (forms_) forms_->RestoreValues(slot.marks);
    slot.marksBuilt = true;
    // A mark index from a saved state or an older build may point past the new list.
    if (slot.record && slot.record->markIndex >= slot.marks.Count()) slot.record->markIndex = -1;
    return true;
}

bool PageLayout::CurrentPageTextSpan(int32_t& top, int32_t& bottom) const {
    const int32_t s = pager_.SlotOf(pager_.Current());
    if (s < 0) return false;
    const BlockContents& block = pager_.Slot(s).contents;
    bool any = false;
    for (int32_t i = 0; i < block.KindCount(kItemLine); ++i) {
        const LineRecord* line = block.Line(i);
        if (!line || line->height <= 0 || (line->flags & LineRecord::kHidden)) continue;
        const int32_t lineTop = line->y - viewport_.y;
        const int32_t lineBottom = lineTop + line->height;
        top = any ? std::min(top, lineTop) : lineTop;
        bottom = any ? std::max(bottom, lineBottom) : lineBottom;
        any = true;
    }
    return any;
}

PageSlot* PageLayout::CurrentPageSlot() {
    int32_t s = pager_.SlotOf(pager_.Current());
    if (s < 0 || !EnsureMarks(pager_.Slot(s))) return nullptr;
    return &pager_.Slot(s);
}

bool PageLayout::GetCurrentBlockMarks(AreaArray*& out) {
    out = nullptr;
    PageSlot* slot = CurrentPageSlot();
    if (!slot) return false;
    out = &slot->marks;
    return true;
}

void PageLayout::ClearCurrentBlockMarks() {
    rememberedMark_ = kNone;
    int32_t s = pager_.SlotOf(pager_.Current());
    if (s < 0) return;
    pager_.Slot(s).marks.Clear();
    pager_.Slot(s).marksBuilt = false;
}

uint32_t PageLayout::CurrentMarkIndex() {
    PageRecord* r = pager_.CurrentRecord();
    if (pager_.SlotOf(pager_.Current()) < 0 || !r || r->markIndex < 0) return kNone;
    return static_cast<uint32_t>(r->markIndex);
}

void PageLayout::SetCurrentMark(uint32_t n, bool remember, bool notify) {
    PageRecord* record = pager_.CurrentRecord();
    if (!record) return;
    PageSlot* slot = CurrentPageSlot();
    // Only -1 means none; other values past the list are brought back to its last mark.
    int32_t mark = n >= 0x80000000u ? -1 : static_cast<int32_t>(n);
    uint32_t remembered =
        remember && record->markIndex >= 0 ? static_cast<uint32_t>(record->markIndex) : kNone;
    if (!slot) {
        rememberedMark_ = remembered;
        record->markIndex = mark;
        return;
    }
    int32_t count = slot->marks.Count();
    if (mark >= count) mark = count - 1;
    rememberedMark_ = remembered;
    int32_t old = record->markIndex;
    if (old == mark) return;
    record->markIndex = mark;
    DrawScopeForMarks(*slot, old, mark, notify);
}

void PageLayout::RestoreRememberedMark() {
    if (rememberedMark_ == kNone) return;
    uint32_t mark = rememberedMark_;
    SetCurrentMark(mark, false, false);
    rememberedMark_ = kNone;
}

InlineObject* ControlMark::Of(const Area& area) {
    const auto* mark = dynamic_cast<const ControlMark*>(area.secondLink.Get());
    return mark ? mark->Control() : nullptr;
}

void PageLayout::ToggleMarkControl(bool on, const Area& mark) {
    InlineObject* control = ControlMark::Of(mark);
    Node* node = control ? control->GetNode() : nullptr;
    if (!node) {
        // A native control may hold the focus: the view takes it back so that keys reach the
        // page. Last: regaining it reaches back into the layout.
        if (on && focusNode_ && !focusNode_->IsFocused()) focusNode_->Focus();
        return;
    }
    if (on)
        node->Focus();
    else
        node->Blur();
}

void PageLayout::DrawScopeForMarks(PageSlot& slot, int32_t old, int32_t now, bool notify) {
    int32_t count = slot.marks.Count();
    Area* before = old >= 0 && old < count ? slot.marks.At(old) : nullptr;
    Area* after = now >= 0 && now < count ? slot.marks.At(now) : nullptr;
    if (painter_.Canvas() && painter_.Canvas()->Begin()) {
        // Marks are drawn by inverting: the old one drawn again comes off, the new one goes
        // on. A control shows its own focus.
        if (before && !ControlMark::Of(*before)) painter_.Canvas()->DrawArea(*before, false);
        if (after && !ControlMark::Of(*after)) painter_.Canvas()->DrawArea(*after, true);
        painter_.Canvas()->End();
    }
    if (!notify) return;
    // The focus moves last: a control's focus handling may draw.
    if (before) ToggleMarkControl(false, *before);
    if (after) ToggleMarkControl(true, *after);
}

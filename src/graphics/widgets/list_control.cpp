#include "graphics/widgets/list_control.h"

#include <algorithm>

#include "core/byte_stream.h"
#include "graphics/controls/button_control.h"
#include "graphics/widgets/state_words.h"
#include "paths/app_paths.h"
#include "platform/kernel/kernel_clock.h"

namespace {
constexpr uint32_t kGrey = 220 | 220 << 8 | 220 << 16;

uint32_t Colour(uint32_t id) {
    uint32_t c = 0xFFFFFF;
    UiColors::Get(c, id);
    return c;
}

}  // namespace

ListControl::ListControl(const AppPaths* paths, TimerList* timers, const IconHost& icons)
    : paths_(paths), timers_(timers), iconHost_(icons) {
    // Owners set their own font; until then the interface's list font size.
    int32_t size = UiMetrics::Get(paths_, 4);
    listFont_.size = static_cast<int8_t>(-(size > 0 ? size : 16));
    SetStyle(0);
}

ListControl::~ListControl() {
    for (ButtonControl* b : {upButton_.Get(), downButton_.Get()}) {
        if (!b) continue;
        b->SetListener(nullptr);
        b->Detach();
    }
    upButton_.Reset();
    downButton_.Reset();
    source_.Reset();
}

void ListControl::SetRowSource(RecordSet* source) {
    source_.Assign(source);
    rows_.Clear();
    repaint_.Clear();
    currentRow_ = kNoRow;
    top_.Assign(RecordPosition::kBeforeFirst);
}

void ListControl::SetStyle(int style) {
    if (style < 0 || style > 4) return;
    bool plain = style == 1 || style == 2;
    iconsEnabled_ = !plain;
    labelsEnabled_ = style == 0 || style == 4;
    highlightMode_ = style == 0 ? 0 : 1;
    frameColour_ = Colour(39);
    selectionColours_ = style != 0;
    selectedTextColour_ = Colour(style >= 3 ? 42 : 40);
    selectedBackgroundColour_ = Colour(39);
    textColour_ = Colour(plain ? 38 : 41);
    backgroundColour_ = Colour(style >= 3 ? 42 : 37);
    scrollButtons_ = style != 0 && !buttonsFailed_;
    margin_ = UiMetrics::Get(paths_, 44);
    if (margin_ <= 0) margin_ = 3;
    noEmptyMessage_ = style >= 2;
    pageAtEnds_ = style == 0;
    commandsToParent_ = style == 0;
    keyColumn_ = style == 0 ? 8 : (style >= 3 ? 7 : 6);
    if (!scrollButtons_) {
        for (ButtonControl* b : {upButton_.Get(), downButton_.Get()})
            if (b) b->Show(false);
    }
}

bool ListControl::Show(bool show) {
    shown_ = show;
    PlaceScrollButtons();
    return true;
}

void ListControl::SetHighlighted(bool highlighted) {
    focused_ = highlighted;
    if (shown_ && !bounds_.IsEmpty()) RedrawAll();
}

Rect& ListControl::AdjustRect(Rect& out, const Rect& in) {
    bounds_ = in;
    PlaceScrollButtons();
    out = Rect{in.x, in.Bottom(), in.width, 0};
    return out;
}

void ListControl::Redraw(const Rect* area) {
    if (!shown_) return;
    Paint(nullptr, area);
}

void ListControl::Paint(GraphicsContext* gc, const Rect* /*area*/) {
    if (pending_.IsRow()) {
        RecordPosition p = pending_;
        ShowRecord(gc, p, true);
        return;
    }
    DrawScope scope(gc ? nullptr : this);
    GraphicsContext* g = gc ? gc : scope.Context();
    if (!g) return;
    PaintRows(g, false, false, true, false);
}

void ListControl::RedrawAll() {
    if (!shown_ || bounds_.IsEmpty()) return;
    DrawScope scope(this);
    if (!scope) return;
    PaintRows(scope.Context(), false, false, false, false);
}

void ListControl::SetCurrent(uint32_t row) {
    currentRow_ = row < static_cast<uint32_t>(rows_.Count()) ? row : kNoRow;
}

void ListControl::ClearCurrent() {
    if (currentRow_ != kNoRow) {
        DrawScope scope(this);
        if (scope) DrawHighlight(scope.Context());
    }
    currentRow_ = kNoRow;
}

// --- Keys -------------------------------------------------------------------------------------

bool ListControl::HandleEvent(InputEvent& event) {
    if (!shown_) return false;
    if (event.IsPen()) return HandlePen(event);
    if (client_) {
        uint32_t command = 0;
        if (client_->TranslateEvent(event, command)) return client_->ExecuteClientCommand(command);
    }
    if (rows_.Count() == 0) return false;
    uint32_t code = event.CodeAt(keyColumn_);
    if (code >= 11 && code <= 16) return MoveBy(Cmd::kNextPage + (code - 11), false);
    if (code == kKeyActivate) {
        const RowRecord* row = rows_.Get(static_cast<int32_t>(currentRow_));
        if (currentRow_ == kNoRow || !row) return false;
        RecordPosition p = row->position;
        // The client may close the window holding the list: nothing of it is read after.
        if (client_) client_->OnActivate(p);
        return true;
    }
    if (code == kKeyItemNext || code == kKeyItemNextAlt) return MoveItem(true);
    if (code == kKeyItemPrevious || code == kKeyItemPreviousAlt) return MoveItem(false);
    return false;
}

uint32_t ListControl::RowAt(Point p) const {
    for (int32_t i = 0; i < rows_.Count(); ++i)
        if (Rect::Contains(rows_.Get(i)->rowArea, p)) return static_cast<uint32_t>(i);
    return kNoRow;
}

bool ListControl::HandlePen(InputEvent& event) {
    // A device with a pen and no keys chooses by tapping: the pen down makes the row under it
    // current, the pen up on that same row activates it (a drop-down takes the option).
    const uint32_t row = RowAt(event.point);
    if (event.code == kPenDown) {
        penRow_ = kNoRow;
        if (row == kNoRow) return false;
        if (RowBlocked(row)) return true;
        penRow_ = row;
        if (row != currentRow_) {
            ClearCurrent();
            currentPart_ = 1;
            SetCurrent(row);
            DrawScope scope(this);
            if (scope) {
                DrawHighlight(scope.Context());
                RepaintListed(scope.Context());
            }
        }
        return true;
    }
    if (event.code != kPenUp) return penRow_ != kNoRow;
    const uint32_t tapped = penRow_;
    penRow_ = kNoRow;
    if (tapped == kNoRow || row != tapped) return tapped != kNoRow;
    const RowRecord* record = rows_.Get(static_cast<int32_t>(tapped));
    if (!record) return true;
    RecordPosition p = record->position;
    // The client may close the window holding the list: nothing of it is read after.
    if (client_) client_->OnActivate(p);
    return true;
}

bool ListControl::RowBlocked(uint32_t index) {
    const RowRecord* row = rows_.Get(static_cast<int32_t>(index));
    if (!row || !source_) return false;
    RowInfo info;
    source_->GetInfo(row->position, info);
    return info.bytes[3] != 0;
}

bool ListControl::MoveItem(bool forward) {
    uint32_t count = static_cast<uint32_t>(rows_.Count());
    uint32_t old = currentRow_;
    uint32_t next;
    if (forward)
        next = old == kNoRow ? 0 : old + 1;
    else
        next = old == kNoRow ? count - 1 : old - 1;  // from row 0 wraps to kNoRow: out of range
    if (next < count && RowBlocked(next)) next = forward ? next + 1 : next - 1;
    bool inRange = next < count;
    if (old != kNoRow && (inRange || pageAtEnds_)) ClearCurrent();
    bool ok = true;
    if (!inRange) {
        if (pageAtEnds_) {
            NodeRef self(this);
            bool moved = MoveBy(forward ? Cmd::kNextPage : Cmd::kPreviousPage, true);
            if (!self.IsAlive()) return moved;
            if (!moved) {
                // The page stays; so does the current row.
                SetCurrent(old);
                if (currentRow_ != kNoRow) {
                    DrawScope scope(this);
                    if (scope) DrawHighlight(scope.Context());
                    RepaintListed(scope.Context());
                }
                return false;
            }
            next = forward ? 0 : static_cast<uint32_t>(rows_.Count()) - 1;
        } else {
            // Keep the edge row current; the scroll brings the next record under it.
            uint32_t edge = forward ? count - 1 : 0;
            if (!ScrollBy(forward ? 1 : -1, true)) {
                ok = false;
                next = old;
            } else {
                next = std::min(edge, static_cast<uint32_t>(rows_.Count()) - 1);
                if (RowBlocked(next)) {
                    const RowRecord* row = rows_.Get(static_cast<int32_t>(next));
                    if (row && source_->PositionToRow(row->position) == 0 && rows_.Count() > 1)
                        next = 1;
                    else if (ScrollBy(forward ? 1 : -1, true))
                        next = std::min(edge, static_cast<uint32_t>(rows_.Count()) - 1);
                }
            }
        }
    }
    if (old != kNoRow && !inRange && !pageAtEnds_ && currentRow_ != kNoRow && next != old)
        ClearCurrent();
    currentPart_ = 1;
    uint32_t before = currentRow_;
    SetCurrent(next);
    if (currentRow_ != kNoRow && currentRow_ != before) {
        DrawScope scope(this);
        if (scope) {
            DrawHighlight(scope.Context());
            RepaintListed(scope.Context());
        }
    }
    return ok;
}

// --- Commands ---------------------------------------------------------------------------------

bool ListControl::MoveBy(uint32_t command, bool markBusy) {
    if (markBusy) busy_ = true;
    const RowRecord* first = rows_.Get(0);
    int32_t before = first ? first->position.Get() : top_.Get();
    NodeRef self(this);
    Widget* parent = Parent();
    if (commandsToParent_ && parent)
        parent->ExecuteCommand(command, 0);
    else
        ExecuteOwnCommand(command);
    // The parent may have closed the window holding the list.
    if (!self.IsAlive()) return false;
    busy_ = false;
    first = rows_.Get(0);
    int32_t after = first ? first->position.Get() : top_.Get();
    return before != after;
}

void ListControl::ExecuteCommand(uint32_t command, uint32_t /*argument*/) {
    ExecuteOwnCommand(command);
}

RecordPosition ListControl::StepBack(RecordPosition p, int32_t n) {
    for (int32_t i = 0; i < n && p.IsRow(); ++i) p = source_->Previous(p);
    return p;
}

bool ListControl::ExecuteOwnCommand(uint32_t command) {
    if (command == Cmd::kResetList) {
        top_.Assign(RecordPosition::kBeforeFirst);
        currentRow_ = 0;
        currentPart_ = 1;
        RedrawAll();
        return true;
    }
    if (!source_ || command < Cmd::kNextPage || command > Cmd::kScrollBackThree) return false;
    int32_t count = rows_.Count();
    if (count == 0) return false;
    const RowRecord& first = *rows_.Get(0);
    const RowRecord& last = *rows_.Get(count - 1);
    bool down = command == Cmd::kNextPage || command == Cmd::kScrollForward ||
                command == Cmd::kScrollForwardThree;
    if (down && !source_->Next(last.position).IsRow()) return false;
    DrawScope scope(this);
    switch (command) {
        case Cmd::kNextPage:
            top_ = source_->Next(last.position);
            if (scope) DrawHighlight(scope.Context());
            currentRow_ = kNoRow;
            break;
        case Cmd::kPreviousPage: {
            RecordPosition p = source_->Previous(first.position);
            if (!p.IsRow()) return false;
            if (scope) DrawHighlight(scope.Context());
            currentRow_ = kNoRow;
            top_ = p;
            PaintRows(scope.Context(), true, true, true, false);
            // The backward walk laid the rows out last first.
            if (rows_.Count() > 0) top_ = rows_.Get(rows_.Count() - 1)->position;
            break;
        }
        case Cmd::kScrollForward:
            top_ = source_->Next(first.position);
            if (currentRow_ != kNoRow && currentRow_ > 0) --currentRow_;
            break;
        case Cmd::kScrollBack: {
            RecordPosition p = source_->Previous(first.position);
            if (!p.IsRow()) return false;
            top_ = p;
            if (currentRow_ != kNoRow && currentRow_ + 1 < static_cast<uint32_t>(count))
                ++currentRow_;
            break;
        }
        case Cmd::kScrollForwardThree:
            if (count < 3) return false;
            top_ = source_->Next(rows_.Get(2)->position);
            for (int i = 0; i < 3; ++i)
                if (currentRow_ != kNoRow && currentRow_ > 0) --currentRow_;
            break;
        case Cmd::kScrollBackThree: {
            RecordPosition p = StepBack(first.position, 3);
            if (!p.IsRow()) return false;
            top_ = p;
            for (int i = 0; i < 3; ++i)
                if (currentRow_ != kNoRow && currentRow_ + 1 < static_cast<uint32_t>(count))
                    ++currentRow_;
            break;
        }
        default:
            return false;
    }
    if (scope) {
        PaintRows(scope.Context(), false, !shown_, true, false);
    } else {
        // Without a surface the page is still laid out, so that paging goes on.
        PaintRows(nullptr, false, true, true, false);
    }
    return true;
}

bool ListControl::ScrollBy(int32_t n, bool keepCurrent) {
    if (!source_ || n == 0) return false;
    int32_t moved = 0;
    RecordPosition top = top_.IsRow() ? top_ : source_->Next(top_);
    if (n < 0) {
        while (moved > n) {
            RecordPosition p = source_->Previous(top);
            if (!p.IsRow()) break;
            top = p;
            --moved;
        }
    } else if (rows_.Count() > 0) {
        RecordPosition last = rows_.Get(rows_.Count() - 1)->position;
        while (moved < n) {
            last = source_->Next(last);
            if (!last.IsRow()) break;
            top = source_->Next(top);
            ++moved;
        }
    }
    if (moved == 0) return false;
    if (!keepCurrent && currentRow_ != kNoRow) {
        uint32_t c = currentRow_;
        uint32_t count = static_cast<uint32_t>(rows_.Count());
        if (moved > 0 && c < static_cast<uint32_t>(moved))
            c = 0;
        else if (moved < 0)
            c = std::min(c - moved, count - 1);
        else
            c = c - moved;
        currentRow_ = c;
    }
    top_ = top;
    DrawScope scope(this);
    PaintRows(scope.Context(), false, !scope || !shown_, true, false);
    return true;
}

void ListControl::EnsureCurrentRow() {
    if (currentRow_ != kNoRow || rows_.Count() == 0 || pending_.IsRow() || busy_) return;
    currentRow_ = 0;
    currentPart_ = 1;
    DrawScope scope(this);
    if (!scope) return;
    DrawHighlight(scope.Context());
    RepaintListed(scope.Context());
}

bool ListControl::GetCurrentItemExtent(RecordPosition& out) const {
    const RowRecord* row =
        currentRow_ == kNoRow ? nullptr : rows_.Get(static_cast<int32_t>(currentRow_));
    if (!row) return false;
    out = row->position;
    return true;
}

void ListControl::KeepCurrentInRange() {
    const RowRecord* row =
        currentRow_ == kNoRow ? nullptr : rows_.Get(static_cast<int32_t>(currentRow_));
    if (!row || !source_) return;
    if (!source_->Next(row->position).afterLast) return;
    if (currentRow_ > 0) --currentRow_;
}

bool ListControl::LocateRow(uint32_t& firstRow, uint32_t& pageRows, uint32_t& total) {
    if (!source_) return false;
    total = source_->Count();
    if (total == 0xFFFFFFFFu || rows_.Count() == 0) return false;
    firstRow = source_->PositionToRow(rows_.Get(0)->position);
    pageRows = static_cast<uint32_t>(rows_.Count());
    return true;
}

void ListControl::RepaintListed(GraphicsContext* gc) {
    if (gc) {
        // A context given is a paint under way (the page drawing the list it holds, which may
        // not count as shown yet): the chosen row is marked in it.
        PaintRows(gc, false, false, true, true);
        return;
    }
    DrawScope scope(this);
    if (scope) PaintRows(scope.Context(), false, false, false, true);
}

// --- ShowRecord -------------------------------------------------------------------------------

void ListControl::ShowRecord(GraphicsContext* gc, const RecordPosition& position, bool centre) {
    DrawScope scope(gc ? nullptr : this);
    GraphicsContext* g = gc ? gc : scope.Context();
    if ((!shown_ && !gc) || !g || bounds_.IsEmpty() || !source_) {
        pending_ = position;
        return;
    }
    pending_.Assign(RecordPosition::kAfterLast);
    DrawHighlight(g);
    currentRow_ = kNoRow;
    if (!position.IsRow()) return;
    if (!centre) {
        if (!top_.IsRow() || position.value < top_.value) return;
        SetCurrent(position.value - top_.value);
    } else {
        top_ = position;
        bool full = PaintRows(g, true, true, true, false);
        int32_t n = rows_.Count();
        if (n == 0) return;
        if (!full) {
            top_ = rows_.Get(n - 1)->position;
        } else {
            // The backward rows run downward from the target (row 0) to earlier records; the one
            // at the centre becomes the top, which puts the target near the middle.
            int32_t centreY = bounds_.y + bounds_.height / 2;
            int32_t pick = n - 1;
            for (int32_t i = 0; i < n; ++i) {
                const Rect& r = rows_.Get(i)->rowArea;
                if (centreY >= r.y && centreY < r.Bottom()) {
                    pick = i;
                    break;
                }
            }
            SegArray<RowRecord, 4> back = rows_;
            top_ = back.Get(pick)->position;
            bool forwardFull = PaintRows(g, false, true, true, false);
            if (!forwardFull) {
                int32_t used = 0;
                for (int32_t i = 0; i < rows_.Count(); ++i) used += rows_.Get(i)->rowArea.height;
                int32_t freeSpace = bounds_.height - used;
                for (int32_t i = pick + 1; i < back.Count(); ++i) {
                    int32_t h = back.Get(i)->rowArea.height;
                    if (h > freeSpace) break;
                    freeSpace -= h;
                    top_ = back.Get(i)->position;
                }
            }
        }
        PaintRows(g, false, false, true, false);
        for (int32_t i = 0; i < rows_.Count(); ++i) {
            if (rows_.Get(i)->position.value == position.value) {
                currentRow_ = static_cast<uint32_t>(i);
                break;
            }
        }
        currentPart_ = 1;
        DrawHighlight(g);
        RepaintListed(g);
        return;
    }
    currentPart_ = 1;
    DrawHighlight(g);
    RepaintListed(g);
}

// --- State ------------------------------------------------------------------------------------

bool ListControl::SaveState(ByteStream& out) {
    uint32_t entry = source_ ? source_->PositionToEntry(top_) : static_cast<uint32_t>(top_.Get());
    StateWords::Put(out, entry);
    StateWords::Put(out, currentRow_);
    StateWords::Put(out, currentPart_);
    return out.Ok();
}

bool ListControl::RestoreState(ByteStream& in) {
    if (in.Remaining() < 12 || !source_) return false;
    uint32_t entry = StateWords::Get(in);
    uint32_t row = StateWords::Get(in);
    uint32_t part = StateWords::Get(in);
    if (!in.Ok()) return false;
    RecordPosition p = source_->EntryToPosition(entry);
    uint32_t count = source_->Count();
    if (!p.beforeFirst && count != 0xFFFFFFFFu && (p.afterLast || p.value >= count)) return false;
    top_ = p;
    rows_.Clear();
    // The row is checked against the page once it is laid out again.
    currentRow_ = row;
    currentPart_ = part;
    DrawScope scope(this);
    PaintRows(scope.Context(), false, !scope || !shown_, true, false);
    if (currentRow_ >= static_cast<uint32_t>(rows_.Count())) currentRow_ = kNoRow;
    return true;
}

// --- Scroll buttons ---------------------------------------------------------------------------

int32_t ListControl::StripWidth() {
    if (!scrollButtons_ || !EnsureScrollButtons()) return 0;
    return std::max(upButton_->Image()->Width(), downButton_->Image()->Width()) + 6;
}

bool ListControl::EnsureScrollButtons() {
    if (!scrollButtons_) return false;
    if (upButton_ && downButton_) return true;
    std::shared_ptr<const IconImage> up(IconImage::Create(iconHost_, kIconUp));
    std::shared_ptr<const IconImage> down(IconImage::Create(iconHost_, kIconDown));
    if (!up || !down) {
        scrollButtons_ = false;
        buttonsFailed_ = true;
        return false;
    }
    upButton_ = RefPtr<ButtonControl>::Adopt(new ButtonControl(timers_));
    downButton_ = RefPtr<ButtonControl>::Adopt(new ButtonControl(timers_));
    upButton_->SetImage(up, false);
    downButton_->SetImage(down, false);
    for (ButtonControl* b : {upButton_.Get(), downButton_.Get()}) {
        b->SetListener(this);
        b->SetFrameColours(backgroundColour_, kGrey);
        b->SetParent(this);
    }
    return true;
}

void ListControl::PlaceScrollButtons() {
    if (bounds_.IsEmpty() || !scrollButtons_ || !EnsureScrollButtons()) return;
    int32_t strip = StripWidth();
    int32_t upper = bounds_.height / 2;
    Rect up{bounds_.Right() - strip, bounds_.y, strip, upper};
    Rect down{bounds_.Right() - strip, bounds_.y + upper, strip, (bounds_.height + 1) / 2};
    int32_t offset = (upper - strip) / 2;
    upButton_->SetFrameColours(backgroundColour_, kGrey);
    downButton_->SetFrameColours(backgroundColour_, kGrey);
    upButton_->SetRect(up, backgroundColour_);
    downButton_->SetRect(down, backgroundColour_);
    upButton_->SetLabelOffset(0, -offset);
    downButton_->SetLabelOffset(0, offset);
    upButton_->Show(shown_ && canScrollUp_);
    downButton_->Show(shown_ && canScrollDown_);
}

void ListControl::OnControlEvent(FormControl* control, uint32_t eventId, uint32_t /*argument*/,
                                 const Rect* /*rect*/) {
    if (eventId == 6) {
        repeat_ = 0;
        return;
    }
    if (eventId != 1 || (control != upButton_.Get() && control != downButton_.Get())) return;
    // Nothing tells the list that a burst of clicks ended, so a pause does.
    uint32_t now = GetTickCount();
    if (repeat_ != 0 && now - lastClick_ > kRepeatGapMs) repeat_ = 0;
    lastClick_ = now;
    repeat_ = std::min(repeat_ + repeat_ / 8 + 1, kMaxRepeat);
    int32_t step = static_cast<int32_t>(repeat_ / 8 + 1);
    ScrollBy(control == upButton_.Get() ? -step : step, false);
}

bool ListControl::CheckInvariants() const {
    int32_t n = rows_.Count();
    if (currentRow_ != kNoRow && currentRow_ >= static_cast<uint32_t>(n)) return false;
    for (int32_t i = 0; i < n; ++i) {
        const Rect& r = rows_.Get(i)->rowArea;
        if (r.y < bounds_.y || (i > 0 && r.Bottom() > bounds_.Bottom() && n > 1)) return false;
    }
    for (int i = 0; i < kIconCacheSize; ++i)
        for (int j = i + 1; j < kIconCacheSize; ++j)
            if (icons_[i].id != 0 && icons_[i].id == icons_[j].id) return false;
    return true;
}

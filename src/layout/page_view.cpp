#include "layout/page_view.h"

#include <vector>

#include "bookfiles/document_source.h"
#include "graphics/core/command_ids.h"
#include "graphics/core/graphics_context.h"
#include "layout/page_layout.h"
#include "layout/page_moves.h"

namespace {

constexpr uint32_t kNone = 0xFFFFFFFFu;
// The owner's internal pages (InternalPageId) that refuse the book commands.
constexpr uint32_t kLibraryPage = 1;
constexpr uint32_t kAnnotationsPage = 3;
constexpr uint32_t kAboutPage = 4;
// The key row column read while the focus box is on: the pop-up's, with the plain directions,
// Enter to confirm and Esc to end the box (not Back).
constexpr int kFocusBoxColumn = static_cast<int>(InputState::kPopup);

bool ContainsId(const uint32_t* ids, size_t n, uint32_t id) {
    for (size_t i = 0; i < n; ++i)
        if (ids[i] == id) return true;
    return false;
}

}  // namespace

PositionViewElement::PositionViewElement(PageViewOwner* owner) : owner_(owner) {}

PositionViewElement::~PositionViewElement() = default;

void PositionViewElement::AttachLayout(PageLayout* layout) {
    if (layout_ && layout_ != layout && layout_->FocusNode() == this)
        layout_->SetFocusNode(nullptr);
    layout_ = layout;
    // A layout comes laid out for the place the element was given.
    laidOutIn_ = bounds_;
    if (layout_) layout_->SetFocusNode(this);
    mode_ = kFocusNone;
    focus_.Bind(nullptr, nullptr);
}

void PositionViewElement::UpdateFocusBinding() {
    PageSlot* slot = layout_ ? layout_->CurrentPageSlot() : nullptr;
    focus_.Bind(layout_, slot);
    // The box and the selection are drawn where the page is, by inverting it.
    focus_.SetDrawing(layout_ ? layout_->Canvas() : nullptr,
                      layout_ ? layout_->Display() : nullptr);
}

void PositionViewElement::RepaintFocus() {
    if (!layout_) return;
    // Bound again first: a page turned or laid out anew drops the old selection.
    UpdateFocusBinding();
    focus_.Repaint();
    if (pendingStart_ == pendingEnd_) return;
    // The old outline, drawn again just now, is taken off before the new one goes on.
    focus_.ClearFocusBox();
    focus_.SelectPositions(pendingStart_, pendingEnd_);
    pendingStart_ = pendingEnd_ = 0;
}

void PositionViewElement::ShowSelection(uint32_t start, uint32_t end) {
    pendingStart_ = start;
    pendingEnd_ = end > start ? end : start;
}

bool PositionViewElement::MarkWordAt(Point p) {
    if (!layout_) return false;
    UpdateFocusBinding();
    focus_.ClearFocusBox();
    if (!focus_.FocusWordAt(p)) return false;
    focus_.SetRange(true, false);
    focus_.SetRange(false, true);
    return !focus_.HasNoSelection();
}

uint32_t PositionViewElement::CurrentPageStart() const {
    return layout_ ? layout_->CurrentPageStart() : kNone;
}

bool PositionViewElement::RestoreState(uint32_t pageNumber, uint32_t pageStart,
                                       ByteStream& stream) {
    if (!layout_) return false;
    if (!layout_->RestorePageState(pageNumber, pageStart, stream)) return false;
    // The element's own block follows the page state when one was saved; without one, the
    // block of the page shown before must not pass for this page's.
    own_.Clear();
    uint32_t length = 0;
    if (stream.Remaining() >= 4 && stream.ReadWord32BE(length) && length <= stream.Remaining()) {
        std::vector<uint8_t> bytes(length);
        if (length == 0 || stream.ReadBytes(bytes.data(), length)) {
            own_.Clear();
            if (length) own_.WriteBytes(bytes.data(), length);
        }
    }
    return true;
}

bool PositionViewElement::SaveState(uint32_t& pageNumber, uint32_t& pageStart, ByteStream& stream) {
    if (!layout_ || !layout_->SaveCurrentPageState(pageNumber, pageStart, stream)) return false;
    if (own_.Size() > 0) {
        while (stream.Size() % 4 != 0) stream.WriteByte(0);
        stream.WriteWord32BE(own_.Size());
        stream.WriteBytes(own_.Data(), own_.Size());
    }
    return stream.Ok();
}

bool PositionViewElement::GetReadingPosition(uint32_t& position, uint32_t& pageLength,
                                             uint32_t& total) {
    if (!layout_ || !owner_) return false;
    DocumentSource* source = owner_->CurrentSource();
    if (!source) return false;
    uint32_t start = layout_->CurrentPageStart();
    // Without a current page there is no position: a subtraction would wrap around.
    if (start == kNone) return false;
    uint32_t length = layout_->CurrentPageLength();
    pageLength = length == kNone ? kUnknownPageLength : length;
    uint32_t docLength = source->GetLength();
    uint32_t first = layout_->FirstPageStart();
    if (first != kNone && first <= total && first <= docLength) {
        position = start > first ? start - first : 0;
        total = docLength - first;
    } else {
        position = start;
        total = docLength;
    }
    return true;
}

void PositionViewElement::ApplySettings() {
    if (!layout_ || !owner_) return;
    owner_->PrepareRendering(*layout_);
    ClearFocus();
    ViewSettings s;
    owner_->GetViewSettings(s);
    if (s.hasLinkStyle) {
        layout_->SetLinkColour(s.linkColour);
        layout_->SetUnderlineLinks(s.underlineLinks);
    }
    uint32_t columns = s.columns < 1 ? 1 : s.columns;
    if (owner_->InternalPageId() == 0) {
        bool top = owner_->IsTopFrame();
        layout_->SetColumnCount(top ? columns : 1);
        if (s.marginH < 2 && s.marginV < 2)
            layout_->SetMargins(1, 1, 1, 1, top);
        else
            layout_->SetMargins(s.marginH, s.marginV, s.marginH, s.marginV, false);
    } else {
        layout_->SetColumnCount(columns);
        layout_->SetMargins(1, 1, 1, 1, false);
    }
    layout_->Relayout();
    ++relayouts;
}

void PositionViewElement::ClearFocus() {
    const bool selected = !focus_.HasNoSelection();
    mode_ = kFocusNone;
    focus_.ClearFocusBox();
    // The selection is drawn with the page: the page is drawn again without it.
    if (selected && owner_) owner_->InvalidateSurface();
}

void PositionViewElement::ToggleFocusMode(uint32_t mode) {
    if (mode_ != kFocusNone) {
        ClearFocus();
        return;
    }
    if (!layout_) return;
    mode_ = mode;
    if (owner_) owner_->DeselectCurrentArea();
    UpdateFocusBinding();
    focus_.ClearFocusBox();
    focus_.MoveFocus(kFocusWordOn);
    focus_.SetRange(true, false);
    focus_.SetRange(false, true);
    if (owner_) owner_->InvalidateSurface();
}

void PositionViewElement::ExecuteCommand(uint32_t command, uint32_t /*argument*/) {
    if (!owner_) return;
    switch (command) {
        case Cmd::kViewZoomIn:
            owner_->ChangeFontSize(1);
            break;
        case Cmd::kViewZoomOut:
            owner_->ChangeFontSize(-1);
            break;
        case Cmd::kBack:
            owner_->GoBack();
            break;
        case Cmd::kFocusBoxRange:
            ToggleFocusMode(kFocusRange);
            break;
        case Cmd::kFocusBoxWord:
            ToggleFocusMode(kFocusWord);
            break;
        // As PageDown and PageUp: through a table's views before the page turns.
        case Cmd::kNextPage:
        case Cmd::kPreviousPage: {
            MoveKind kind;
            if (layout_ && MoveKindForCommand(command, kind)) Move(kind);
            break;
        }
        case Cmd::kSpeakFromPage:
            owner_->SpeakText(0, layout_ ? layout_->CurrentPageStart() : 0);
            break;
        case Cmd::kSpeakNextChunk:
            owner_->SpeakText(1, 0);
            break;
        default:
            break;
    }
}

bool PositionViewElement::IsCommandEnabled(uint32_t command, uint32_t /*argument*/) {
    if (command >= Cmd::kWindowPartFirst && command <= Cmd::kWindowPartLast) return false;
    if (!owner_ || !owner_->HasDocument()) return true;
    uint32_t page = owner_->InternalPageId();
    if (page == kLibraryPage || page == kAnnotationsPage || page == kAboutPage) {
        static const uint32_t kOff[] = {
            Cmd::kBeam,
            Cmd::kToggleBookmark,
            Cmd::kContents,
            Cmd::kDeleteHighlight,
            Cmd::kHighlight,
            Cmd::kAddNote,
            Cmd::kModify,
            Cmd::kEditNote,
            Cmd::kEditModification,
            Cmd::kReservedCommand52,
            Cmd::kAddLink,
            Cmd::kSetLinkTarget,
        };
        if (ContainsId(kOff, sizeof kOff / sizeof kOff[0], command)) return false;
        if ((page == kLibraryPage && command == Cmd::kLibrary) ||
            (page == kAnnotationsPage && command == Cmd::kAnnotations) ||
            (page == kAboutPage && command == Cmd::kAbout))
            return false;
    }
    MoveKind kind;
    if (MoveKindForCommand(command, kind)) {
        if (!layout_) return false;
        const PageMove move = PageMoveFor(MoveRequest{kind});
        return (move.throughTables &&
                layout_->CanPageThroughTables(IsForwardStep(move.step) ? 1 : -1)) ||
               layout_->CanStep(move.step);
    }
    switch (command) {
        case Cmd::kStartAutoScroll:
        case Cmd::kToggleAutoScroll:
            return !layout_ || layout_->ColumnCount() <= 1;
        default:
            return true;
    }
}

bool PositionViewElement::IsCommandChecked(uint32_t command, uint32_t /*argument*/) {
    return command == Cmd::kFocusBoxRange && mode_ != kFocusNone;
}

void PositionViewElement::OnFocusChanged(bool gained) {
    if (!layout_) return;
    if (gained)
        layout_->RestoreRememberedMark();
    else
        layout_->SetCurrentMark(kNone, true, false);
}

Rect& PositionViewElement::AdjustRect(Rect& out, const Rect& in) {
    // The element takes its new place at once. Its page is laid out for it only while the
    // page is shown; a place taken under a cover or a picture lays the page out when the
    // page comes back, so the page and its tap area always agree.
    bounds_ = in;
    TakePlace();
    out = Rect{};
    return out;
}

void PositionViewElement::TakePlace() {
    if (!owner_ || !owner_->HasPositionView() || !layout_ || !RectDiffers(laidOutIn_, bounds_) ||
        bounds_.width < 1 || bounds_.height < 1)
        return;
    laidOutIn_ = bounds_;
    layout_->SetViewport(bounds_);
    layout_->Relayout();
    ++relayouts;
}

bool PositionViewElement::HitTest(const Rect& area) {
    return layout_ && Rect::Intersects(bounds_, area);
}

void PositionViewElement::Redraw(const Rect* /*area*/) {}

uint32_t PositionViewElement::GoToPosition(uint32_t position) {
    if (!layout_) return kNone;
    uint32_t start = layout_->CurrentPageStart();
    uint32_t twoOn = layout_->PageStartRelative(2);
    // An unknown start (-1) would take in every position: only known starts bound the page.
    if (start != kNone && twoOn != kNone && position >= start && position < twoOn) return start;
    if (!layout_->GoToPageContaining(position)) return kNone;
    return layout_->CurrentPageStart();
}

void PositionViewElement::OnChildFocusChanged(Node* node, Widget* via, bool gained) {
    if (gained && owner_ && node) {
        // The mark that carries the control becomes the current one.
        uint32_t index = 0;
        if (owner_->FindAreaByKey(node, index)) owner_->SelectMark(index);
    }
    Widget::OnChildFocusChanged(node, via, gained);
}

bool PositionViewElement::BringIntoView(const Rect& area, uint32_t /*id*/) {
    if (!layout_ || !owner_) return false;
    if (Rect::Intersects(bounds_, area)) return true;
    if (area.width <= 0 && area.height <= 0) return false;  // never placed
    return owner_->StepPage(area.y >= bounds_.y + bounds_.height ? PageStepCode::kSingleStep
                                                                 : PageStepCode::kPageBefore,
                            kNoPageMark);
}

void PositionViewElement::OnActivation(uint32_t value) {
    if (!layout_ || !owner_) return;
    if (value == 1) {
        if (DisplayLink* display = layout_->Display()) display->ForgetShownPage();
    } else if (value == 2) {
        owner_->ShowAreaTip();
    }
}

void PositionViewElement::SetActive(bool active) {
    // First: a child's answer may end this element.
    if (active) OnActivation(1);
    Widget::SetActive(active);
}

bool PositionViewElement::WantedInputState(InputState& state) {
    if (mode_ != kFocusNone) {
        state = static_cast<InputState>(kFocusBoxColumn);
        return true;
    }
    if (!CurrentMarkIsOnPage()) return false;
    state = InputState::kLinkFocus;
    return true;
}

bool PositionViewElement::CurrentMarkIsOnPage() {
    if (!layout_) return false;
    AreaArray* marks = nullptr;
    if (!layout_->GetCurrentBlockMarks(marks) || !marks) return false;
    uint32_t mark = layout_->CurrentMarkIndex();
    return mark != kNone && mark < static_cast<uint32_t>(marks->Count());
}

bool PositionViewElement::HandleFocusMode(uint32_t code) {
    uint32_t direction = code & ~kKeyShift;
    if (direction >= kKeyUp && direction <= kKeyRight && (code & ~(kKeyShift | 7u)) == 0) {
        bool extend = (code & kKeyShift) != 0 || mode_ == kFocusConfirmed;
        UpdateFocusBinding();
        focus_.MoveFocus(direction);
        if (!extend) focus_.SetRange(true, false);
        focus_.SetRange(false, true);
        return true;
    }
    if (code == kKeyActivate) {
        if (mode_ == kFocusRange) {
            mode_ = kFocusConfirmed;
            focus_.BlinkFocusBox();
        } else if (owner_) {
            Point p;
            focus_.GetFocusPoint(p);
            owner_->SelectAt(p);
        }
        return true;
    }
    if (code == kKeyClose) {
        ClearFocus();
        return true;
    }
    return false;
}

bool PositionViewElement::PageThroughTables(int32_t direction) {
    // A table taller than its view is paged through before the page turns past it.
    if (!layout_ || !layout_->PageThroughTables(direction)) return false;
    layout_->ClearCurrentBlockMarks();
    owner_->PagedThroughTables();
    owner_->InvalidateSurface();
    return true;
}

bool PositionViewElement::EndsWithPageBreak() {
    PageSlot* slot = layout_ ? layout_->CurrentPageSlot() : nullptr;
    return slot && PageLayout::EndsWithTypeZeroMark(slot->contents);
}

void PositionViewElement::Move(MoveKind kind) {
    MoveRequest request{kind};
    if (layout_) {
        ViewSettings s;
        owner_->GetViewSettings(s);
        request.twoColumns = s.columns >= 2;
    }
    request.endsWithPageBreak =
        kind == MoveKind::kLineDown && !request.twoColumns && EndsWithPageBreak();
    const PageMove move = PageMoveFor(request);
    if (move.throughTables && PageThroughTables(IsForwardStep(move.step) ? 1 : -1)) return;
    owner_->StepPage(move.step, move.mark);
}

bool PositionViewElement::HandleKey(uint32_t code, uint32_t argument) {
    if (!owner_) return false;
    MoveKind kind;
    if (code >= kKeyPageDown && code <= kKeyScreenUp && MoveKindForKey(code, kind)) {
        Move(kind);
        return true;
    }
    switch (code) {
        case kKeyHome:
            owner_->SelectMark(kNone);
            owner_->GoToFirstPage();
            return true;
        case kKeyEnd:
            owner_->SelectMark(kNone);
            owner_->GoToLastPage();
            return true;
        case kKeyActivate:
            if (!CurrentMarkIsOnPage()) return false;
            owner_->ActivateCurrentArea();
            return true;
        case kKeyClose:
            if (layout_ && layout_->CurrentMarkIndex() != kNone) owner_->SelectMark(kNone);
            ClearFocus();
            return true;
        case kKeyCommand:
            if (argument == kNoCommand) return false;
            owner_->PostCommand(argument, 0);
            return true;
        default:
            break;
    }
    if (code >= kKeyScrollTableUp && code <= kKeyScrollTableRight) {
        static const int32_t kSteps[4][2] = {
            {0, -kTableStep}, {0, kTableStep}, {-kTableStep, 0}, {kTableStep, 0}};
        const int32_t* step = kSteps[code - kKeyScrollTableUp];
        if (owner_->ScrollTables(step[0], step[1]) && layout_) layout_->ClearCurrentBlockMarks();
        return true;
    }
    if (code >= kKeyFocusNext && code <= kKeyFocusPreviousLine && MoveKindForKey(code, kind)) {
        const bool forward = IsForwardStep(PageMoveFor(MoveRequest{kind}).step);
        bool current = CurrentMarkIsOnPage();
        if (current && (forward ? owner_->NextLinkArea() : owner_->PreviousLinkArea())) return true;
        return owner_->MoveLinkFocus(code, !current, EndsWithPageBreak());
    }
    return false;
}

bool PositionViewElement::HandlePen(const InputEvent& event) {
    if (event.code == kPenDown && layout_ && Parent() && !IsFocused()) {
        // A tap on the page takes the keys back from a form control that had them.
        NodeRef self(this);
        Focus();
        if (!self.IsAlive()) return true;
    }
    if (event.code != kPenUp || !layout_ || !owner_) return event.code == kPenDown && layout_;
    Point p = event.point;
    if (mode_ != kFocusNone) {
        UpdateFocusBinding();
        if (!focus_.FocusWordAt(p)) return true;
        if (mode_ != kFocusConfirmed) focus_.SetRange(true, false);
        focus_.SetRange(false, true);
        return true;
    }
    // A tap on a mark makes it the link focus; the controller acts on command 90.
    AreaArray* marks = nullptr;
    if (layout_->GetCurrentBlockMarks(marks) && marks) {
        for (int32_t i = 0; i < marks->Count(); ++i) {
            Area* area = marks->At(i);
            if (!area || !area->HitTest(p, 2)) continue;
            owner_->SelectMark(static_cast<uint32_t>(i));
            owner_->PostCommand(Cmd::kActivateFocus, static_cast<uint32_t>(i));
            return true;
        }
    }
    // A tap elsewhere on a scrollable table selects it, or lets it go: the scroll keys then
    // move only the selected tables.
    uint32_t table = 0;
    bool found = false;
    layout_->TableAt(p, table, found);
    if (found && layout_->SelectTable(table)) {
        owner_->InvalidateSurface();
        return true;
    }
    // No mark or table there: an object under the pen may take the tap, else it is the
    // reader's (the word under it and its pop-up).
    return owner_->ActivateObjectAt(p) || owner_->TapAt(p);
}

bool PositionViewElement::HandleEvent(InputEvent& event) {
    if (event.IsPen()) return HandlePen(event);
    if (mode_ != kFocusNone) {
        uint32_t code = event.CodeAt(kFocusBoxColumn);
        if (!(event.flags & InputEvent::kHasRow)) code = event.code;
        if (code != kKeyNone && HandleFocusMode(code)) return true;
        uint32_t plain = event.Code();
        if (plain == kKeyActivate || plain == kKeyClose) return HandleFocusMode(plain);
        // The Back key ends the selection as it closes a pop-up, before it leaves the page.
        if ((event.flags & InputEvent::kHasRow) &&
            event.CodeAt(static_cast<int>(InputState::kPopup)) == kKeyClose)
            return HandleFocusMode(kKeyClose);
    }
    // A page with a focused link reads the link-focus column of a key row: Enter activates it.
    if ((event.flags & InputEvent::kHasRow) &&
        event.column == static_cast<uint8_t>(InputState::kReading) && CurrentMarkIsOnPage()) {
        InputEvent focused = event;
        focused.column = static_cast<uint8_t>(InputState::kLinkFocus);
        return HandleKey(focused.Code(), focused.Command());
    }
    return HandleKey(event.Code(), event.Command());
}

namespace {

// The common tail of the wrapped and clamped steps; count 0 moves nothing.
bool FinishStep(int32_t index, int32_t count, int32_t next, int32_t& out, bool& fromValid,
                bool& changed) {
    if (count <= 0) {
        out = index;
        fromValid = changed = false;
        return false;
    }
    out = next;
    changed = out != index;
    fromValid = changed && index != -1;
    return changed || index != -1;
}

}  // namespace

bool StepIndexWrapped(bool forward, int32_t index, int32_t count, int32_t& out, bool& fromValid,
                      bool& changed) {
    int32_t next = forward ? (index + 1 >= count || index < -1 ? 0 : index + 1)
                           : (index <= 0 || index >= count ? count - 1 : index - 1);
    return FinishStep(index, count, next, out, fromValid, changed);
}

bool StepIndexClamped(bool forward, int32_t index, int32_t count, int32_t& out, bool& fromValid,
                      bool& changed) {
    int32_t next;
    if (forward)
        next = index + 1 >= count ? count - 1 : (index < -1 ? 0 : index + 1);
    else
        next =
            index == -1 ? count - 1 : (index <= 0 ? 0 : (index >= count ? count - 1 : index - 1));
    return FinishStep(index, count, next, out, fromValid, changed);
}

bool StepIndex(bool forward, int32_t index, int32_t count, int32_t& out, bool& fromValid,
               bool& changed, bool& pastEnd) {
    if (forward)
        out = index + 1;
    else
        out = index == -1 && count != 0 ? count - 1 : index - 1;
    fromValid = index != -1;
    changed = true;
    pastEnd = out >= count;
    return true;
}

bool RectDiffers(const Rect& a, const Rect& b) {
    return a.x != b.x || a.y != b.y || a.width != b.width || a.height != b.height;
}

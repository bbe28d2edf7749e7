#include "graphics/controls/text_entry_control.h"

#include <algorithm>

#include "core/charset.h"
#include "core/platform_helpers.h"
#include "paths/app_paths.h"
#include "script/script_heap.h"
#include "script/script_names.h"

namespace Names = ScriptNames::Ids;

namespace {
constexpr uint32_t kBlack = 0x000000;

uint32_t UiColour(uint32_t id) {
    uint32_t c = 0xFFFFFF;
    UiColors::Get(c, id);
    return c;
}

bool IsExtendingMove(uint32_t command) {
    return command == (kKeyShift | kKeyLeft) || command == (kKeyShift | kKeyRight) ||
           command == (kKeyShift | kKeyHome) || command == (kKeyShift | kKeyEnd);
}
}  // namespace

TextEntryControl::TextEntryControl(TimerList* timers) : ControlNode(rect_), timers_(timers) {}

TextEntryControl::~TextEntryControl() {
    if (timers_) timers_->Stop(this, blinkTimer_);
    DetachFromForm();
}

void TextEntryControl::SetInputMode(const String& keyword) {
    if (keyword.EqualsAscii("HIRA"))
        inputMode_ = kModeHiragana;
    else if (keyword.EqualsAscii("KATA"))
        inputMode_ = kModeKatakana;
    else if (keyword.EqualsAscii("LATN"))
        inputMode_ = kModeLatin;
    else if (keyword.EqualsAscii("HANG"))
        inputMode_ = kModeHangul;
    else
        inputMode_ = -1;
}

void TextEntryControl::SetValue(const String& value) {
    ReplaceValue(value);
    if (!IsShownFlag()) return;
    SetCaret(0, true);
    Redraw(nullptr);
}

const String& TextEntryControl::Shown() {
    if (!password_) return value_;
    if (masked_.Length() != value_.Length()) {
        masked_ = String();
        masked_.AppendRepeat(kMask, value_.Length());
    }
    return masked_;
}

int32_t TextEntryControl::WidthTo(GraphicsContext* gc, int32_t i) {
    if (!gc || i <= 0) return 0;
    const String& text = Shown();
    Size size{};
    if (!gc->MeasureText(text.Data(), std::min(i, text.Length()), size)) return 0;
    return size.width;
}

int32_t TextEntryControl::PreviousBoundary(int32_t i) const {
    if (i <= 0) return 0;
    --i;
    if (i > 0 && Utf16::IsLow(value_[i]) && Utf16::IsHigh(value_[i - 1])) --i;
    return i;
}

int32_t TextEntryControl::NextBoundary(int32_t i) const {
    int32_t n = value_.Length();
    if (i >= n) return n;
    ++i;
    if (i < n && Utf16::IsLow(value_[i]) && Utf16::IsHigh(value_[i - 1])) ++i;
    return i;
}

Rect TextEntryControl::TextArea() const {
    Rect r = rect_;
    Rect::Inset(r, static_cast<int32_t>(borderWidth_) + (framed_ ? 1 : 0), framed_ ? 2 : 1);
    return r;
}

void TextEntryControl::SetCaret(int32_t index, bool scroll) {
    index = std::clamp(index, 0, value_.Length());
    caret_ = index;
    DrawScope scope(this);
    GraphicsContext* gc = scope.Context();
    if (!gc) return;  // not in a tree: the pixel positions wait for the next placement
    ApplyStyle(gc);
    caretX_ = WidthTo(gc, index);
    if (scroll) ScrollToCaret(gc);
}

void TextEntryControl::ScrollToCaret(GraphicsContext* gc) {
    if (!IsShownFlag()) {
        scroll_ = 0;
        firstVisible_ = 0;
        return;
    }
    int32_t inner = rect_.width - 2 * (static_cast<int32_t>(borderWidth_) + framed_);
    if (inner < 1) return;  // nothing is visible: no step could ever reach the caret
    int32_t step = std::max(1, std::min(inner / 2, 40));
    int32_t old = scroll_;
    if (caretX_ < scroll_) {
        while (caretX_ < scroll_) scroll_ -= step;
    } else {
        while (caretX_ + 2 > inner + scroll_) scroll_ += step;
    }
    if (scroll_ < 0) scroll_ = 0;
    if (scroll_ == old) return;
    firstVisible_ = PixelToIndex(gc, scroll_);
    scroll_ = WidthTo(gc, firstVisible_);
}

int32_t TextEntryControl::PixelToIndex(GraphicsContext* gc, int32_t pixel) {
    int32_t n = value_.Length();
    int32_t before = 0;
    for (int32_t i = 0; i < n;) {
        int32_t next = NextBoundary(i);
        int32_t after = WidthTo(gc, next);
        if (pixel < after) {
            // The boundary after the character when the pixel is within half its width of it.
            return (after - pixel) * 2 <= (after - before) ? next : i;
        }
        before = after;
        i = next;
    }
    return n;
}

void TextEntryControl::ReplaceValue(const String& text) {
    String v = text;
    if (maxLength_ != kNoLimit && static_cast<uint32_t>(v.Length()) > maxLength_) {
        int32_t keep = static_cast<int32_t>(maxLength_);
        if (keep > 0 && Utf16::IsHigh(v[keep - 1])) --keep;
        v.AssignSub(text, 0, keep);
    }
    value_ = v;
    // Read-only or not, nothing may point past the new end.
    int32_t n = value_.Length();
    caret_ = std::min(caret_, n);
    anchor_ = std::min(anchor_, n);
    selLength_ = 0;
    if (firstVisible_ > n) {
        firstVisible_ = 0;
        scroll_ = 0;
    }
}

void TextEntryControl::CaretToEndThenStart() {
    SetCaret(value_.Length(), true);
    if (scroll_ != 0) SetCaret(0, true);
}

bool TextEntryControl::MoveCaret(uint32_t command) {
    if (readOnly_) return false;
    int32_t target = caret_;
    switch (command & ~kKeyShift) {
        case kKeyLeft:
            target = PreviousBoundary(caret_);
            break;
        case kKeyRight:
            target = NextBoundary(caret_);
            break;
        case kKeyHome:
            target = 0;
            break;
        case kKeyEnd:
            target = value_.Length();
            break;
        default:
            return false;
    }
    bool extend = IsExtendingMove(command);
    bool changed = false;
    if (extend) {
        if (selLength_ == 0) anchor_ = caret_;
    } else if (selLength_ != 0) {
        ClearSelection();
        changed = true;
    }
    if (target == caret_) return changed;
    SetCaret(target, true);
    if (extend) selLength_ = caret_ - anchor_;
    return true;
}

bool TextEntryControl::Insert(const String& text) {
    if (readOnly_) return false;
    int32_t start = selLength_ != 0 ? SelectionStart() : caret_;
    int32_t removed = SelectionLength();
    int32_t count = text.Length();
    if (maxLength_ != kNoLimit) {
        int64_t room = static_cast<int64_t>(maxLength_) - (value_.Length() - removed);
        if (room < 0) room = 0;
        if (count > room) {
            count = static_cast<int32_t>(room);
            // Never keep half of a surrogate pair.
            if (count > 0 && Utf16::IsHigh(text[count - 1])) --count;
        }
    }
    if (count == 0 && removed == 0) return false;
    if (!value_.Replace(start, removed, text.Data(), count)) return false;
    ClearSelection();
    SetCaret(start + count, true);
    return true;
}

bool TextEntryControl::InsertChar(char16_t c) {
    String one(&c, 1);
    return Insert(one);
}

bool TextEntryControl::DeleteChar(bool backward) {
    if (readOnly_) return false;
    int32_t start, count;
    if (selLength_ != 0) {
        start = SelectionStart();
        count = SelectionLength();
    } else if (backward) {
        if (caret_ == 0) return false;
        start = PreviousBoundary(caret_);
        count = caret_ - start;
    } else {
        if (caret_ >= value_.Length()) return false;
        start = caret_;
        count = NextBoundary(caret_) - caret_;
    }
    if (!value_.Erase(start, count)) return false;
    ClearSelection();
    SetCaret(start < caret_ ? start : caret_, true);
    return true;
}

bool TextEntryControl::Draw(GraphicsContext* gc, const Rect& /*area*/, const Rect* /*clip*/) {
    if (!gc) return false;
    gc->SetBrushColor(UiColour(37));
    if (!rect_.IsEmpty()) gc->FillRect(rect_);
    if (framed_ && !rect_.IsEmpty()) {
        gc->SetPenColor(kBlack);
        gc->DrawRectangle(rect_, false);
    }
    DrawField(gc);
    return true;
}

void TextEntryControl::DrawField(GraphicsContext* gc) {
    Rect area = TextArea();
    if (area.IsEmpty()) return;
    uint32_t background = UiColour(37);
    gc->SetBrushColor(background);
    gc->FillRect(area);
    bool pushed = gc->PushState();
    gc->IntersectClip(area);
    ApplyStyle(gc);
    const String& text = Shown();
    int32_t textHeight = gc->FontAscent() + gc->FontDescent();
    Point at{area.x - scroll_, area.y + (area.height - textHeight) / 2};
    gc->SetTextColor(kBlack);
    gc->DrawText(text.Data(), text.Length(), at);
    int32_t from = SelectionStart(), count = SelectionLength();
    if (highlightMode_ == 1 && highlighted_) {
        from = 0;
        count = text.Length();
    }
    if (count > 0) {
        int32_t x0 = WidthTo(gc, from), x1 = WidthTo(gc, from + count);
        Rect sel{at.x + x0, area.y, x1 - x0, area.height};
        if (highlightMode_ == 1 && highlighted_) sel = area;
        gc->SetBrushColor(UiColour(39));
        if (!sel.IsEmpty()) gc->FillRect(sel);
        gc->SetTextColor(UiColour(40));
        gc->DrawText(text.Data() + from, count, Point{at.x + x0, at.y});
    }
    if (caretVisible_ && highlightMode_ == 0) DrawCaretBar(gc);
    if (pushed) gc->PopState();
}

void TextEntryControl::DrawCaretBar(GraphicsContext* gc) {
    Rect area = TextArea();
    Rect bar{area.x + caretX_ - scroll_, area.y, 2, area.height};
    Rect visible;
    if (!Rect::Intersect(bar, area, visible)) return;
    // A filled rectangle, not a fill: only the rectangle follows the inverting mode (a fill
    // paints the bar black, so drawing it again would not take it away), and it marks the bar
    // changed, so showing and taking it away reach the screen through the display's buffer.
    uint32_t mode = gc->SetDrawMode(GraphicsContext::kDrawInvert);
    gc->SetBrushColor(kBlack);
    gc->DrawRectangle(visible, true);
    gc->SetDrawMode(mode);
}

bool TextEntryControl::Measure(Size& size, uint8_t& flagA, GraphicsContext* gc, uint8_t& flagB,
                               uint32_t& baseline, Size& minimum) {
    flagA = 0;
    flagB = 1;
    if (!gc) return false;
    ApplyStyle(gc);
    Size m{};
    gc->MeasureText(u"m", 1, m);
    int32_t descent = gc->FontDescent();
    int32_t pad = framed_ ? 4 : 2;
    size.width = static_cast<int32_t>(size_) * m.width + pad;
    size.height = gc->FontAscent() + descent + pad;
    baseline = static_cast<uint32_t>(descent + (framed_ ? 2 : 1));
    minimum = size;
    if (size_ >= 5) minimum.width -= static_cast<int32_t>(size_ - 4) * m.width;
    return true;
}

uint32_t TextEntryControl::GetText(String* out) {
    if (password_) return 0;
    if (out) *out = value_;
    return 1;
}

bool TextEntryControl::GetSubmitValue(int32_t /*index*/, String& out) {
    out = value_;
    return true;
}

void TextEntryControl::SetReadOnly(bool readOnly) {
    readOnly_ = readOnly ? 1 : 0;
    uint32_t mode = readOnly ? 1 : 0;
    if (mode == highlightMode_) return;
    highlightMode_ = mode;
    Redraw(nullptr);
}

void TextEntryControl::SetEnabled(bool enabled) {
    // A disabled field can neither be edited nor submitted.
    enabled_ = enabled ? 1 : 0;
    if (!enabled) SetReadOnly(true);
}

bool TextEntryControl::RestoreState(const String& text) {
    ReplaceValue(text);
    CaretToEndThenStart();
    return true;
}

void TextEntryControl::PlaceCaretAt(int32_t index) {
    // Not shown yet: showing puts the caret there rather than at the start.
    if (!IsShownFlag()) {
        shownCaret_ = index;
        return;
    }
    SetCaret(std::clamp(index, 0, value_.Length()), true);
}

bool TextEntryControl::SaveState(String& out) {
    if (password_) return false;
    out = value_;
    return true;
}

int TextEntryControl::Resolve(int* err, const ScriptName& name, ScriptMemberRef* ref, bool create) {
    int rc = ResolveWithForm(err, name, ref, create);
    if (rc != ScriptErrors::kMemberUnknown || ref->IsBound()) return rc;
    if (name.id == Names::kValueLower) return BindMember(err, ref, name.id);
    return rc;
}

int TextEntryControl::SetValue(int* err, ScriptMemberRef* ref, ScriptHeap* heap,
                               ScriptValue value) {
    if (ref->code != Names::kValueLower) return Done(err, ScriptErrors::kCannotSet);
    String text;
    int rc = heap->ToString(value, &text);
    if (rc) return Done(err, rc);
    RestoreState(text);
    Refresh();
    return Done(err, 0);
}

int TextEntryControl::GetValue(int* err, ScriptMemberRef* ref, ScriptHeap* heap,
                               ScriptValue* result) {
    if (ref->code == Names::kValueLower) return Done(err, heap->NewString(value_, result));
    return FormControl::GetValue(err, ref, heap, result);
}

bool TextEntryControl::Show(bool show) {
    if (show == IsShownFlag()) return true;
    KeepAlive hold(this);
    SetShownFlag(show);
    if (show) {
        ClearSelection();
        if (shownCaret_ >= 0)
            SetCaret(std::clamp(shownCaret_, 0, value_.Length()), true);
        else
            CaretToEndThenStart();
        shownCaret_ = -1;
        caretVisible_ = highlighted_;
    } else {
        SetBlinking(false);
        Blur();
    }
    if (!hold.Orphaned()) NotifyForm(show ? 1 : 0);
    return true;
}

bool TextEntryControl::HandleEvent(InputEvent& event) {
    KeepAlive hold(this);
    if (event.IsPen()) {
        if (event.code != kPenDown) return true;
        if (!Rect::Contains(rect_, event.point)) return false;
        if (!IsFocused()) Focus();
        if (hold.Orphaned()) return true;
        DrawScope scope(this);
        if (scope && !readOnly_) {
            ApplyStyle(scope.Context());
            int32_t at = PixelToIndex(scope.Context(), event.point.x - TextArea().x + scroll_);
            ClearSelection();
            SetCaret(at, true);
        }
        Redraw(nullptr);
        return true;
    }
    uint32_t code = event.Code();
    bool wasVisible = caretVisible_ != 0;
    SetCaretVisible(false);
    bool handled = false, changed = false, redraw = false;
    switch (code) {
        case kKeyLeft:
        case kKeyRight:
        case kKeyHome:
        case kKeyEnd:
        case kKeyShift | kKeyLeft:
        case kKeyShift | kKeyRight:
        case kKeyShift | kKeyHome:
        case kKeyShift | kKeyEnd:
            // A move the caret cannot make (End at the end, Left at the start) still keeps the
            // keys in the field: passed on, the page would turn or leave and drop it.
            redraw = MoveCaret(code);
            handled = redraw || !readOnly_;
            break;
        case kKeyBackspace:
        case kKeyDelete:
            changed = DeleteChar(code == kKeyBackspace);
            handled = !readOnly_;
            break;
        case kKeyActivate:
            handled = SubmitForm();  // may leave the page and release this control
            if (hold.Orphaned()) return handled;
            break;
        case kKeyClose:
            if (!value_.IsEmpty() && !readOnly_) {
                RestoreState(String());
                changed = handled = true;
            }
            break;
        case kKeyCharacter:
            changed = InsertChar(static_cast<char16_t>(event.character));
            handled = !readOnly_;
            break;
        default:
            // Link-focus moves and the like are swallowed while scripts cannot see the control.
            if ((code & kKeyModifiers) == kKeyTab) handled = !HasScriptAccess();
            break;
    }
    if (changed) {
        Rect r = rect_;
        Fire(kFormEventEdited, 0, &r);
        if (hold.Orphaned()) return handled;
    }
    if (changed || redraw) Redraw(nullptr);
    if (wasVisible || (highlighted_ && highlightMode_ == 0 && IsShownFlag())) SetCaretVisible(true);
    return handled;
}

bool TextEntryControl::InsertText(const String& text) {
    if (!Insert(text)) return false;
    Redraw(nullptr);
    return true;
}

void TextEntryControl::Redraw(const Rect* /*area*/) {
    RedrawWhole();
}

void TextEntryControl::OnFocusChanged(bool gained) {
    // Losing focus always hides the panel, even when the field became read-only meanwhile.
    if (gained && !readOnly_) InputPanel::Show(true);
    if (!gained) InputPanel::Show(false);
    SetHighlighted(gained);
}

void TextEntryControl::SetHighlighted(bool on) {
    highlighted_ = on ? 1 : 0;
    if (!on && selLength_ != 0) {
        ClearSelection();
        Redraw(nullptr);
    }
    if (!IsShownFlag()) return;
    if (highlightMode_ == 1) Redraw(nullptr);
    SetBlinking(on);
}

void TextEntryControl::SetBlinking(bool on) {
    SetCaretVisible(on);
    if (!timers_) return;
    timers_->Stop(this, blinkTimer_);
    if (on) timers_->StartRepeating(this, kBlinkMs, blinkTimer_);
}

void TextEntryControl::OnTimer(TimerList& /*list*/, int32_t /*id*/) {
    if (IsShownFlag() && highlighted_ && highlightMode_ == 0) SetCaretVisible(!caretVisible_);
}

void TextEntryControl::SetCaretVisible(bool visible) {
    if ((caretVisible_ != 0) == visible) return;
    caretVisible_ = visible ? 1 : 0;
    if (!IsShownFlag()) return;
    if (highlightMode_ == 1) {
        Redraw(nullptr);
        return;
    }
    // The bar is inverted: drawing it again takes it away.
    DrawScope scope(this);
    if (scope) DrawCaretBar(scope.Context());
}

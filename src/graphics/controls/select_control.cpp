#include "graphics/controls/select_control.h"

#include <algorithm>

#include "database/index_query.h"
#include "database/resource.h"
#include "database/sql_parser.h"
#include "graphics/controls/button_control.h"
#include "graphics/controls/select_state.h"
#include "graphics/controls/text_entry_control.h"
#include "graphics/core/drawing_surface.h"
#include "paths/app_paths.h"
#include "script/script_heap.h"
#include "script/script_names.h"

namespace Names = ScriptNames::Ids;

namespace {
constexpr uint32_t kBlack = 0;
constexpr uint32_t kButtonGrey = 220 | 220 << 8 | 220 << 16;
constexpr int kQueryUnresolved = 20;

RecordPosition NoOption() {
    return RecordPosition::At(RecordPosition::kAfterLast);
}
RecordPosition NoRow() {
    return RecordPosition::At(RecordPosition::kBeforeFirst);
}
}  // namespace

// --- OptionList -------------------------------------------------------------------------------

RecordPosition OptionList::Previous(const RecordPosition& pos) {
    return OrdinalPrevious(pos, Count());
}

RecordPosition OptionList::Next(const RecordPosition& pos) {
    return OrdinalNext(pos, Count());
}

bool OptionList::GetText(const RecordPosition& pos, String& out) {
    const OptionItem* item = pos.IsRow() ? items_->Get(static_cast<int32_t>(pos.value)) : nullptr;
    if (!item) return false;
    out = item->label;
    return true;
}

// --- SelectDropDown ---------------------------------------------------------------------------

SelectDropDown::SelectDropDown(DrawingSurface* surface, SelectList* list)
    : OverlayWidget(surface, false, false), list_(list) {}

SelectDropDown::~SelectDropDown() {
    // Hide first (it restores what the overlay covered), then let the list go.
    Show(false);
    if (Node* list = list_.Get()) list->Detach();
}

// --- SelectList -------------------------------------------------------------------------------

SelectList::SelectList(DrawingSurface* surface, const AppPaths* paths, TimerList* timers,
                       const IconHost& icons)
    : surface_(surface), paths_(paths), list_(new ListControl(paths, timers, icons)) {
    list_->SetStyle(1);
    list_->SetClient(this);
    int32_t size = UiMetrics::Get(paths_, 4);
    list_->SetListFont(FontStyle{static_cast<int8_t>(-(size > 0 ? size : 16)), 128, 1});
    list_->SetParent(this);
    UseOptions();
}

SelectList::~SelectList() {
    CloseDropDown();
    list_->SetClient(nullptr);
    list_.reset();
    model_.Reset();
    resource_.Reset();
    DetachFromForm();
}

void SelectList::SetModel(RecordSet* model) {
    model_.Assign(model);
    list_->SetRowSource(model);
    extentValid_ = 0;
}

void SelectList::UseOptions() {
    if (model_ && !recordSetMode_) return;
    recordSetMode_ = 0;
    RefPtr<OptionList> options = RefPtr<OptionList>::Adopt(new OptionList(&options_));
    SetModel(options.Get());
}

void SelectList::SetQueryResource(Resource* resource) {
    resource_.Assign(resource);
}

int SelectList::SetQuery(const String& text) {
    IndexQuery* parsed = nullptr;
    int rc = resource_ ? SqlParser::Parse(text, resource_.Get(), parsed) : kQueryUnresolved;
    RefPtr<IndexQuery> query = RefPtr<IndexQuery>::Adopt(parsed);
    if (rc == 0 && query) {
        UseRecordSet(query.Get(), text);
        return 0;
    }
    // A failed query keeps a record set already shown; otherwise the list is an empty one.
    if (!recordSetMode_) UseOptions();
    return rc ? rc : kQueryUnresolved;
}

void SelectList::UseRecordSet(RecordSet* set, const String& query) {
    query_ = query;
    options_.Clear();
    recordSetMode_ = 1;
    SetModel(set);
    position_ = NoRow();
}

void SelectList::ClearOptions() {
    options_.Clear();
    position_ = NoOption();
    recordSetMode_ = 0;
    SetModel(nullptr);
}

bool SelectList::AddOption(const String& label, const String& value) {
    OptionItem item;
    item.label = label;
    item.value = value;
    if (options_.Append(item) < 0) return false;
    if (!model_) UseOptions();
    extentValid_ = 0;
    return true;
}

void SelectList::SelectIndex(uint32_t index, bool exclusive) {
    if (recordSetMode_ || index >= static_cast<uint32_t>(options_.Count())) return;
    if (!exclusive) {
        options_.Get(static_cast<int32_t>(index))->selected = 1;
        return;
    }
    for (int32_t i = 0; i < options_.Count(); ++i)
        options_.Get(i)->selected = static_cast<uint32_t>(i) == index;
    position_ = RecordPosition::At(static_cast<int32_t>(index));
    list_->ShowRecord(nullptr, position_, true);
}

bool SelectList::GetSelectedLabel(String& out) {
    out.SetEmpty();
    if (!position_.IsRow() || !model_) return false;
    return model_->GetText(position_, out);
}

bool SelectList::GetSubmitValue(int32_t /*index*/, String& out) {
    if (recordSetMode_ || !position_.IsRow()) return false;
    const OptionItem* item = options_.Get(static_cast<int32_t>(position_.value));
    if (!item) return false;
    out = item->value;
    return true;
}

bool SelectList::SaveState(String& out) {
    if (recordSetMode_)
        return SelectState::Format(SelectState::kQueryKind, position_.Get(), query_, out);
    const OptionItem* item =
        position_.IsRow() ? options_.Get(static_cast<int32_t>(position_.value)) : nullptr;
    if (!item) return false;
    return SelectState::Format(SelectState::kOptionKind, position_.Get(), item->value, out);
}

bool SelectList::RestoreState(const String& text) {
    char16_t kind = 0;
    uint32_t index = 0;
    String rest;
    if (!SelectState::Parse(text, kind, index, rest)) return false;
    if (kind == SelectState::kQueryKind) {
        if (SetQuery(rest) != 0) return false;
        uint32_t count = model_ ? model_->Count() : 0;
        // A row the query no longer has is not selected.
        if (count != 0xFFFFFFFFu && index >= count) return false;
        position_ = RecordPosition::At(static_cast<int32_t>(index));
        list_->ShowRecord(nullptr, position_, true);
        return true;
    }
    if (index >= static_cast<uint32_t>(options_.Count())) return false;
    SelectIndex(index, true);
    restoredIndex_ = index;
    return true;
}

void SelectList::SetStyle(const uint8_t* style3) {
    FormControl::SetStyle(style3);
    if (FontFace() != lastFace_ || FontSize() != lastSize_) {
        lastFace_ = FontFace();
        lastSize_ = FontSize();
        extentValid_ = 0;
    }
    FontStyle f = list_->ListFont();
    f.size = FontSize();
    f.face = FontFace();
    list_->SetListFont(f);
}

void SelectList::ComputeExtent(GraphicsContext* gc) {
    if (extentValid_) return;
    DrawScope scope(gc ? nullptr : this);
    GraphicsContext* g = gc ? gc : scope.Context();
    if (!g) return;
    Size size{};
    int32_t line = 0, strip = 0;
    auto preferred = [&] {
        list_->GetPreferredSize(size, rows_ ? rows_ : kDefaultRows,
                                columns_ ? columns_ : kDefaultColumns, line, strip, g);
        rowHeight_ = line;
    };
    if (recordSetMode_) {
        preferred();
    } else {
        int32_t minimum = 0;
        list_->GetContentSize(size, minimum, strip, g);
        rowHeight_ = minimum;
        if (size.width <= 0 || size.height <= 0) {
            preferred();
        } else if (rows_ > 0 && rows_ < options_.Count()) {
            size.height = rows_ * rowHeight_;
        }
    }
    textWidth_ = size.width;
    prefWidth_ = size.width + 2;
    prefHeight_ = size.height + 2;
    extentValid_ = 1;
}

bool SelectList::Measure(Size& size, uint8_t& flagA, GraphicsContext* gc, uint8_t& flagB,
                         uint32_t& baseline, Size& minimum) {
    ComputeExtent(gc);
    size = Size{prefWidth_, prefHeight_};
    flagA = 1;
    flagB = 1;
    baseline = 1;
    if (gc) {
        gc->SetFontStyle(list_->ListFont());
        baseline = static_cast<uint32_t>(std::max(0, gc->FontDescent()) + 1);
    }
    int32_t v = rowHeight_ > 0 ? prefHeight_ / rowHeight_ : 0;
    int32_t m = v < 3 ? v : (v < 7 ? 3 : v / 2);
    minimum = Size{prefWidth_, rowHeight_ * m};
    return true;
}

void SelectList::PlaceList() {
    Rect inner = rect_;
    Rect::Inset(inner, 1, 1);
    Rect rest{};
    list_->AdjustRect(rest, inner);
}

void SelectList::SetRect(const Rect& rect, uint32_t /*colour*/) {
    rect_ = rect;
    PlaceList();
}

bool SelectList::Draw(GraphicsContext* gc, const Rect& /*area*/, const Rect* /*clip*/) {
    if (!gc || rect_.IsEmpty()) return true;
    gc->SetPenColor(kBlack);
    gc->DrawRectangle(rect_, false);
    list_->Paint(gc, nullptr);
    return true;
}

void SelectList::Redraw(const Rect* /*area*/) {
    if (!IsShownFlag()) return;
    DrawScope scope(this);
    if (scope) Draw(scope.Context(), rect_, nullptr);
}

bool SelectList::Show(bool show) {
    if (show == IsShownFlag()) return true;
    KeepAlive hold(this);
    SetShownFlag(show);
    list_->Show(show);
    if (!hold.Orphaned()) NotifyForm(show ? 1 : 0);
    return true;
}

void SelectList::OnFocusChanged(bool gained) {
    list_->SetHighlighted(gained);
}

void SelectList::SetHighlighted(bool on) {
    list_->SetHighlighted(on);
}

bool SelectList::OpenDropDown(const Rect& controlRect, bool focus) {
    if (IsDropDownOpen()) return true;
    if (!surface_) return false;
    opening_ = true;
    auto* dropDown = new SelectDropDown(surface_, this);
    dropDown_.Set(dropDown);
    NodeRef self(this);
    bool ok = SetParent(dropDown);
    if (ok) {
        ComputeExtent(nullptr);
        Rect r{0, 0, controlRect.width ? controlRect.width : prefWidth_, prefHeight_};
        Rect work{};
        if (!dropDown->ClientAreaIn(work, nullptr)) work = Rect{0, 0, 240, 320};
        Point b = Rect::Corner(controlRect, 3);
        b.y += 1;
        Point a{controlRect.x, controlRect.y - 1};
        if (work.Bottom() - b.y >= r.height) {
            r.x = b.x;
            r.y = b.y;
        } else if (a.y - work.y >= r.height) {
            r.x = a.x;
            r.y = a.y - r.height + 1;
        } else {
            r.height = std::min(r.height, work.height - 4);
            r.x = b.x;
            r.y = work.y + 2;
        }
        ok = !r.IsEmpty();
        if (ok) {
            SetRect(r, 0);
            dropDown->SetRectangle(r);
            Show(true);
            list_->SetStyle(2);
            list_->Show(true);
            dropDown->Show(true);
            ok = self.IsAlive() && dropDown_.IsAlive();
        }
    }
    if (!self.IsAlive()) return false;
    opening_ = false;
    if (!ok) {
        CloseDropDown();
        return false;
    }
    if (focus) list_->Focus();
    list_->ShowRecord(nullptr, position_, true);
    return true;
}

void SelectList::CloseDropDown() {
    // Opening shows the overlay, which deactivates the page and moves focus: not a close.
    if (opening_) return;
    Node* dropDown = dropDown_.Get();
    if (!dropDown) return;
    dropDown_.Reset();
    Detach();
    delete dropDown;
    Show(false);
    list_->SetStyle(1);
}

void SelectList::OnActivate(const RecordPosition& position) {
    KeepAlive hold(this);
    CloseDropDown();
    position_ = position;
    Fire(kFormEventChange, 0, &rect_);
}

bool SelectList::TranslateEvent(InputEvent& event, uint32_t& command) {
    // An open drop-down is a pop-up: the surface's column (Esc closes it); a list box reads its
    // own.
    uint32_t code = IsDropDownOpen() ? event.Code() : event.CodeAt(kKeyColumn);
    switch (code) {
        case kKeyLeft:
        case kKeyRight:
        case kKeyClose:
        case ListControl::kKeyItemNext:
        case ListControl::kKeyItemPrevious:
            command = code;
            return true;
        case kKeyPageDown:
        case kKeyPageUp:
            command = code;
            return IsDropDownOpen();
        default:
            return false;
    }
}

bool SelectList::ExecuteClientCommand(uint32_t command) {
    if (!IsDropDownOpen()) {
        // In a list box the item moves are the list's own; the rest goes on to the ancestors.
        if (command == ListControl::kKeyItemNext || command == ListControl::kKeyItemPrevious) {
            InputEvent e = InputEvent::Key(command);
            ListClient* self = this;
            list_->SetClient(nullptr);
            bool handled = list_->HandleEvent(e);
            list_->SetClient(self);
            return handled;
        }
        return false;
    }
    KeepAlive hold(this);
    if (command == kKeyPageDown || command == kKeyPageUp || command == kKeyClose) {
        CloseDropDown();
        Fire(kFormEventDropDownClosed, 0, &rect_);
        return true;
    }
    RecordPosition current;
    bool chosen = list_->GetCurrentItemExtent(current);
    CloseDropDown();
    if (chosen) position_ = current;
    Fire(kFormEventChange, 0, &rect_);
    return true;
}

// --- Script members of the list part ----------------------------------------------------------

int SelectList::Resolve(int* err, const ScriptName& name, ScriptMemberRef* ref, bool create) {
    int rc = ResolveWithForm(err, name, ref, create);
    if (rc != ScriptErrors::kMemberUnknown || ref->IsBound()) return rc;
    switch (name.id) {
        case Names::kValueLower:
        case Names::kSelectedIndex:
        case Names::kSource:
        case Names::kRecordset:
            return BindMember(err, ref, name.id);
        default:
            return rc;
    }
}

int SelectList::GetValue(int* err, ScriptMemberRef* ref, ScriptHeap* heap, ScriptValue* result) {
    switch (ref->code) {
        case Names::kValueLower: {
            if (recordSetMode_) return Done(err, ScriptErrors::kCannotGet);
            // Nothing selected reads as an empty value.
            String value;
            GetSubmitValue(0, value);
            return Done(err, heap->NewString(value, result));
        }
        case Names::kSelectedIndex:
            if (recordSetMode_) return Done(err, ScriptErrors::kCannotGet);
            return Done(err, heap->NewNumber(position_.Get(), result));
        case Names::kSource:
            return Done(err, heap->NewString(query_, result));
        case Names::kRecordset: {
            if (!recordSetMode_ || !model_) return Done(err, ScriptErrors::kCannotGet);
            ScriptObject* object = model_->MakeScriptObject(position_);
            if (!object) return Done(err, ScriptErrors::kCannotGet);
            // The heap owns the object from here (it goes with its last value).
            return Done(err, heap->NewObject(std::unique_ptr<ScriptObject>(object), result));
        }
        default:
            return FormControl::GetValue(err, ref, heap, result);
    }
}

int SelectList::SetValue(int* err, ScriptMemberRef* ref, ScriptHeap* heap, ScriptValue value) {
    if (ref->code == Names::kSelectedIndex) {
        if (recordSetMode_) return Done(err, ScriptErrors::kCannotSet);
        double d = 0;
        int rc = heap->ToNumber(value, &d);
        if (rc) return Done(err, rc);
        if (d >= 0 && d < options_.Count() && d == static_cast<double>(static_cast<int32_t>(d)))
            SelectIndex(static_cast<uint32_t>(d), true);
        return Done(err, 0);
    }
    if (ref->code == Names::kSource) {
        String text;
        int rc = heap->ToString(value, &text);
        if (rc) return Done(err, rc);
        // The query in use is not run again.
        if (text == query_) return Done(err, 0);
        return Done(err, SetQuery(text));
    }
    return Done(err, ScriptErrors::kCannotSet);
}

// --- SelectControl ----------------------------------------------------------------------------

SelectControl::SelectControl(DrawingSurface* surface, const AppPaths* paths, TimerList* timers,
                             const IconHost& icons)
    : text_(RefPtr<TextEntryControl>::Adopt(new TextEntryControl(timers))),
      button_(RefPtr<ButtonControl>::Adopt(new ButtonControl(timers))),
      list_(RefPtr<SelectList>::Adopt(new SelectList(surface, paths, timers, icons))) {
    text_->SetFramed(false);
    text_->SetSize(1);
    int32_t border = UiMetrics::Get(paths, 44);
    text_->SetBorderWidth(static_cast<uint32_t>(border > 0 ? border : 3));
    std::shared_ptr<const IconImage> arrow(IconImage::Create(icons, kArrowIcon));
    if (arrow) buttonWidth_ = arrow->Width() + 6;
    button_->SetImage(arrow, false);
    button_->SetFrameColours(kButtonGrey, Color::kNone);
    for (FormControl* part : Parts()) part->SetListener(this);
    text_->SetParent(this);
    button_->SetParent(this);
    list_->SetParent(this);
}

std::array<FormControl*, 3> SelectControl::Parts() const {
    return {text_.Get(), button_.Get(), list_.Get()};
}

SelectControl::~SelectControl() {
    // The form reads the control's state as it lets it go: leave it while the parts still live.
    DetachFromForm();
    list_->CloseDropDown();
    for (FormControl* part : Parts()) {
        part->SetListener(nullptr);
        if (Node* node = part->GetNode()) node->Detach();
    }
}

void SelectControl::SetRows(int32_t n) {
    dropDownMode_ = n == 1;
    list_->SetRows(n == 1 ? 0 : n);
}

void SelectControl::SetStyle(const uint8_t* style3) {
    FormControl::SetStyle(style3);
    text_->SetStyle(style3);
    button_->SetStyle(style3);
    list_->SetStyle(style3);
}

void SelectControl::SelectOption(uint32_t index, bool exclusive) {
    list_->SelectIndex(index, exclusive);
    ShowSelectedLabel();
}

void SelectControl::ShowSelectedLabel() {
    String label;
    list_->GetSelectedLabel(label);
    text_->SetValue(label);
}

bool SelectControl::RestoreState(const String& text) {
    if (!list_->RestoreState(text)) return false;
    if (dropDownMode_)
        ShowSelectedLabel();
    else
        Refresh();
    return true;
}

bool SelectControl::Measure(Size& size, uint8_t& flagA, GraphicsContext* gc, uint8_t& flagB,
                            uint32_t& baseline, Size& minimum) {
    if (!dropDownMode_) return list_->Measure(size, flagA, gc, flagB, baseline, minimum);
    Size listSize{}, listMinimum{};
    uint8_t listA = 0, listB = 0;
    uint32_t listBaseline = 0;
    list_->Measure(listSize, listA, gc, listB, listBaseline, listMinimum);
    Size textSize{}, textMinimum{};
    uint8_t textA = 0, textB = 0;
    uint32_t textBaseline = 0;
    text_->Measure(textSize, textA, gc, textB, textBaseline, textMinimum);
    textHeight_ = textSize.height;
    // The list's own width less its frame: the widest option's text.
    int32_t listText = std::max(0, listSize.width - 2);
    size = Size{std::max(textSize.width, listText) + buttonWidth_ + 2, textSize.height + 2};
    baseline = textBaseline + 1;
    flagA = 1;
    flagB = static_cast<uint8_t>(textB | listB);
    minimum = size;
    return true;
}

void SelectControl::SetRect(const Rect& rect, uint32_t colour) {
    rect_ = rect;
    if (!dropDownMode_) {
        list_->SetRect(rect, colour);
        return;
    }
    // A control narrower than its button still gives the text part no negative width.
    int32_t textWidth = std::max(0, rect.width - buttonWidth_ - 2);
    Rect text{rect.x + 1, rect.y + 1, textWidth, std::max(0, rect.height - 2)};
    text_->SetRect(text, colour);
    button_->SetRect(Rect{text.Right(), rect.y + 1, buttonWidth_, std::max(0, rect.height - 2)},
                     colour);
}

bool SelectControl::Draw(GraphicsContext* gc, const Rect& area, const Rect* clip) {
    if (!gc) return true;
    if (!dropDownMode_) return list_->Draw(gc, area, clip);
    if (!textPrepared_) {
        // Focused, the read-only text part shows its whole text selected.
        text_->SetReadOnly(true);
        text_->SetSelectAllMode(1);
        textPrepared_ = true;
    }
    gc->SetPenColor(kBlack);
    gc->DrawRectangle(rect_, false);
    text_->Draw(gc, area, clip);
    button_->Draw(gc, area, clip);
    return true;
}

void SelectControl::Redraw(const Rect* /*area*/) {
    if (!IsShownFlag()) return;
    DrawScope scope(this);
    if (scope) Draw(scope.Context(), rect_, nullptr);
}

bool SelectControl::Show(bool show) {
    if (show == IsShownFlag()) return true;
    KeepAlive hold(this);
    SetShownFlag(show);
    if (dropDownMode_) {
        if (show && !textPrepared_) {
            text_->SetReadOnly(true);
            text_->SetSelectAllMode(1);
            textPrepared_ = true;
        }
        text_->Show(show);
        button_->Show(show);
        if (!show) list_->CloseDropDown();
    } else {
        list_->Show(show);
    }
    if (!hold.Orphaned()) NotifyForm(show ? 1 : 0);
    return true;
}

bool SelectControl::ShowPart(const Rect* part) {
    // The list shown in place draws through this node and is reached through its taps: the
    // part cuts both.
    shown_.Set(part);
    text_->ShowPart(part);
    button_->ShowPart(part);
    return true;
}

bool SelectControl::OpenDropDown(bool focus) {
    if (!dropDownMode_) return false;
    return list_->OpenDropDown(rect_, focus);
}

bool SelectControl::HandleEvent(InputEvent& event) {
    KeepAlive hold(this);
    if (dropDownMode_ && !event.IsPen() && event.CodeAt(ButtonControl::kKeyColumn) == kKeyActivate)
        return OpenDropDown(true);
    if (!dropDownMode_) return list_->List()->HandleEvent(event);
    return Widget::HandleEvent(event);
}

void SelectControl::SetActive(bool active) {
    if (!active) list_->CloseDropDown();
    Widget::SetActive(active);
}

void SelectControl::OnFocusChanged(bool gained) {
    if (!gained) {
        list_->CloseDropDown();
        return;
    }
    if (FocusedNode()) return;
    if (dropDownMode_)
        text_->Focus();
    else
        list_->Focus();
}

void SelectControl::OnControlEvent(FormControl* control, uint32_t eventId, uint32_t argument,
                                   const Rect* /*rect*/) {
    KeepAlive hold(this);
    if (control == button_.Get() || (control == text_.Get() && eventId == kFormEventClick)) {
        OpenDropDown(true);
        return;
    }
    if (control != list_.Get()) return;
    if (eventId == kFormEventChange) {
        ShowSelectedLabel();
        if (dropDownMode_) text_->Focus();
        if (hold.Orphaned()) return;
        Fire(kFormEventChange, argument, &rect_);
    } else if (eventId == kFormEventDropDownClosed) {
        if (dropDownMode_) text_->Focus();
        if (hold.Orphaned()) return;
        Fire(kFormEventDropDownClosed, argument, &rect_);
    }
}

// --- Script members of the select control -----------------------------------------------------

int SelectControl::Resolve(int* err, const ScriptName& name, ScriptMemberRef* ref, bool create) {
    if (name.id == Names::kForm) return ResolveWithForm(err, name, ref, create);
    int rc = list_->Resolve(err, name, ref, create);
    // Reads and writes come back here, so that a write also updates the text part.
    if (rc == 0 && ref->object == list_.Get()) ref->object = this;
    return rc;
}

int SelectControl::GetValue(int* err, ScriptMemberRef* ref, ScriptHeap* heap, ScriptValue* result) {
    if (ref->code == Names::kForm) return FormControl::GetValue(err, ref, heap, result);
    return list_->GetValue(err, ref, heap, result);
}

int SelectControl::SetValue(int* err, ScriptMemberRef* ref, ScriptHeap* heap, ScriptValue value) {
    KeepAlive hold(this);
    int rc = list_->SetValue(err, ref, heap, value);
    if (rc == 0) AfterScriptWrite();
    return rc;
}

void SelectControl::AfterScriptWrite() {
    ShowSelectedLabel();
    if (dropDownMode_) {
        list_->CloseDropDown();
        text_->Refresh();
    } else {
        Refresh();
    }
}

#include "graphics/controls/check_box_control.h"

#include "core/color.h"
#include "media/image/icon_image.h"
#include "script/script_heap.h"
#include "script/script_names.h"

namespace Names = ScriptNames::Ids;

namespace {
const char16_t kCheckedName[] = u"checked";
const char16_t kUncheckedName[] = u"unchecked";
const char16_t kIntermediateName[] = u"intermediate";

int32_t Len(const char16_t* s) {
    int32_t n = 0;
    while (s[n]) ++n;
    return n;
}
}  // namespace

CheckBoxControl::CheckBoxControl(const IconHost& icons)
    : button_(RefPtr<ButtonControl>::Adopt(new ButtonControl(nullptr))),
      iconModule_(icons.module),
      iconDpi_(icons.dpi) {
    LoadIcons(kIconUnchecked);
    button_->SetListener(this);
    button_->SetParent(this);
    ShowIcons(kIconUnchecked, kIconUncheckedPressed);
}

CheckBoxControl::~CheckBoxControl() {
    button_->SetListener(nullptr);
    button_->Detach();
    // A button still running its own click keeps itself alive until that returns.
    button_.Reset();
    DetachFromForm();
}

void CheckBoxControl::ShowIcons(uint16_t normal, uint16_t pressed) {
    button_->SetImage(icons_[normal - kIconUnchecked], false);
    button_->SetPressedImage(icons_[pressed - kIconUnchecked]);
}

void CheckBoxControl::LoadIcons(uint16_t first) {
    IconHost host;
    host.module = iconModule_;
    host.dpi = iconDpi_;
    for (uint16_t i = 0; i < 4; ++i)
        icons_[i].reset(IconImage::Create(host, static_cast<WORD>(first + i)));
}

void CheckBoxControl::ShowStateIcons() {
    if (state_ == kChecked)
        ShowIcons(kIconChecked, kIconCheckedPressed);
    else
        ShowIcons(kIconUnchecked, kIconUncheckedPressed);
}

void CheckBoxControl::SetRadio(bool radio) {
    if (radio == radio_) return;
    radio_ = radio;
    // A radio button is round: the same four states from its own icons, and no square around.
    LoadIcons(radio ? kRadioIconBase : kIconUnchecked);
    button_->SetIconOutlined(!radio);
    ShowStateIcons();
}

void CheckBoxControl::SetState(uint32_t state) {
    if (state == state_) return;
    if (state == kChecked)
        ShowIcons(kIconChecked, kIconCheckedPressed);
    else if (state == kUnchecked)
        ShowIcons(kIconUnchecked, kIconUncheckedPressed);
    // An intermediate box has no icon of its own and keeps the one it shows.
    state_ = state > kIntermediate ? kIntermediate : state;
}

uint32_t CheckBoxControl::ParseState(const String& text) {
    if (text.IsEmpty()) return kUnchecked;
    int order = text.CompareN(kIntermediateName, Len(kIntermediateName));
    if (order < 0)
        return text.CompareN(kCheckedName, Len(kCheckedName)) == 0 ? kChecked : kIntermediate;
    if (order > 0)
        return text.CompareN(kUncheckedName, Len(kUncheckedName)) == 0 ? kUnchecked : kIntermediate;
    return kIntermediate;
}

const char* CheckBoxControl::StateName(uint32_t state) {
    switch (state) {
        case kChecked:
            return "checked";
        case kUnchecked:
            return "unchecked";
        default:
            return "intermediate";
    }
}

bool CheckBoxControl::Measure(Size& size, uint8_t& flagA, GraphicsContext* gc, uint8_t& flagB,
                              uint32_t& baseline, Size& minimum) {
    bool ok = button_->Measure(size, flagA, gc, flagB, baseline, minimum);
    baseline += 1;
    return ok;
}

void CheckBoxControl::SetRect(const Rect& rect, uint32_t colour) {
    rect_ = rect;
    if (radio_) {
        // The page's colour behind a round button, given when the page is drawn (laying out
        // gives 0, no colour yet), clears its corners.
        if (colour != 0) button_->SetFrameColours(colour, Color::kNone);
        button_->SetRect(rect, colour != 0 ? colour : Color::kNone);
        return;
    }
    button_->SetRect(rect, colour);
}

bool CheckBoxControl::GetSubmitValue(int32_t /*index*/, String& out) {
    out = value_;
    return true;
}

bool CheckBoxControl::RestoreState(const String& text) {
    SetState(ParseState(text));
    return true;
}

bool CheckBoxControl::SaveState(String& out) {
    out.SetEmpty();
    return out.AppendAscii(StateName(state_));
}

int CheckBoxControl::Resolve(int* err, const ScriptName& name, ScriptMemberRef* ref, bool create) {
    int rc = ResolveWithForm(err, name, ref, create);
    if (rc != ScriptErrors::kMemberUnknown || ref->IsBound()) return rc;
    if (name.id == Names::kChecked || name.id == Names::kValueLower)
        return BindMember(err, ref, name.id);
    return rc;
}

int CheckBoxControl::SetValue(int* err, ScriptMemberRef* ref, ScriptHeap* heap, ScriptValue value) {
    if (ref->code == Names::kChecked) {
        bool on = false;
        int rc = heap->ToBoolean(value, &on);
        if (rc) return Done(err, rc);
        bool was = state_ == kChecked;
        SetState(on ? kChecked : kUnchecked);
        Refresh();
        if (on && !was && radio_) NotifyForm(kNoticeRadioChecked);
        return Done(err, 0);
    }
    if (ref->code == Names::kValueLower) {
        String text;
        int rc = heap->ToString(value, &text);
        if (rc) return Done(err, rc);
        value_ = text;
        return Done(err, 0);
    }
    return Done(err, ScriptErrors::kCannotSet);
}

int CheckBoxControl::GetValue(int* err, ScriptMemberRef* ref, ScriptHeap* heap,
                              ScriptValue* result) {
    if (ref->code == Names::kChecked)
        return Done(err, heap->NewBoolean(state_ == kChecked, result));
    if (ref->code == Names::kValueLower) return Done(err, heap->NewString(value_, result));
    return FormControl::GetValue(err, ref, heap, result);
}

bool CheckBoxControl::Show(bool show) {
    if (show == button_->IsShown()) return true;
    KeepAlive hold(this);
    if (!show) Blur();
    SetShownFlag(show);
    NotifyForm(show ? 1 : 0);
    if (hold.Orphaned()) return true;
    button_->Show(show);
    return true;
}

void CheckBoxControl::OnFocusChanged(bool gained) {
    if (gained) button_->Focus();
}

void CheckBoxControl::OnControlEvent(FormControl* /*control*/, uint32_t eventId, uint32_t argument,
                                     const Rect* rect) {
    if (eventId != kFormEventClick) return;
    bool radioChecked = false;
    if (state_ == kChecked && !radio_) {
        SetState(kUnchecked);
    } else if (state_ != kChecked && (state_ == kUnchecked || radio_)) {
        SetState(kChecked);
        radioChecked = radio_;
    }
    KeepAlive hold(this);
    if (radioChecked) NotifyForm(kNoticeRadioChecked);
    if (hold.Orphaned()) return;
    Rect r = rect ? *rect : rect_;
    Fire(kFormEventClick, argument, &r);
    if (!hold.Orphaned()) button_->Redraw(nullptr);
}

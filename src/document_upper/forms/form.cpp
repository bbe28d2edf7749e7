#include "document_upper/forms/form.h"

#include <vector>

#include "bookfiles/index_table.h"
#include "database/resource.h"
#include "document/markup/attribute_value.h"
#include "document/markup/token_source.h"
#include "document_upper/forms/form_list.h"
#include "document_upper/forms/form_markup.h"
#include "graphics/controls/check_box_control.h"
#include "graphics/core/node.h"
#include "script/script_heap.h"
#include "script/script_names.h"

using namespace FormMarkup;

namespace {

constexpr int32_t kMemberReset = 77;
constexpr int32_t kMemberSubmit = 78;
constexpr int32_t kMemberName = 280;
constexpr int32_t kPlaceholder = -2;

bool FromU16(const std::u16string& text, String& out) {
    return out.AssignChars(text.data(), static_cast<int32_t>(text.size()));
}

}  // namespace

Form::Form() : alive_(std::make_shared<bool>(true)) {}

Form::~Form() {
    destroying_ = 1;
    *alive_ = false;
    for (int32_t i = 0; i < fields_.Count(); ++i) DropControl(*fields_.Get(i));
    fields_.Destroy();
    ScriptHeap::DetachObject(heap_, this);
}

void Form::DropControl(FormFieldEntry& entry) {
    FormControl* control = entry.control;
    if (!control) return;
    bool owned = entry.owned != 0;
    // Cleared first: the control's leaving calls back into RemoveControl, which must find
    // nothing to replace.
    entry.control = nullptr;
    entry.owned = 0;
    control->DetachFromForm();
    if (owned) control->Release();
}

bool Form::SetName(FormList* list, const String& name) {
    String copy;
    if (!copy.AssignChars(name.Data(), name.Length())) return false;
    name_ = copy;
    formList_ = list;
    return true;
}

void Form::OnControlChanged(FormControl* control, uint32_t code) {
    if (code != FormControl::kNoticeRadioChecked || !control) return;
    const FormFieldEntry* own = nullptr;
    for (int32_t i = 0; i < fields_.Count() && !own; ++i)
        if (fields_.Get(i)->control == control) own = fields_.Get(i);
    if (!own || own->name.IsEmpty()) return;
    const String name = own->name;
    for (int32_t i = 0; i < fields_.Count(); ++i) {
        FormFieldEntry* entry = fields_.Get(i);
        auto* box = dynamic_cast<CheckBoxControl*>(entry->control);
        if (!box || entry->control == control || !box->IsRadio() || !(entry->name == name) ||
            box->GetState() != CheckBoxControl::kChecked)
            continue;
        box->SetState(CheckBoxControl::kUnchecked);
        box->SaveState(entry->currentState);
        box->Refresh();
    }
}

bool Form::InitFromTag(TokenSource& source, uint32_t position) {
    textStart_ = textEnd_ = position;
    uint32_t v = 0;
    encodingType_ = source.GetAttributeValue(kAttrEncType, v) ? v : kAbsent;
    method_ = source.GetAttributeValue(kAttrMethod, v) ? v : kAbsent;
    String text;
    struct {
        uint32_t id;
        String* out;
    } texts[] = {{kAttrAction, &action_}, {kAttrOnSubmit, &onSubmit_}, {kAttrOnReset, &onReset_}};
    for (auto& t : texts) {
        if (!source.GetAttributeText(t.id, text)) continue;
        if (!t.out->AssignChars(text.Data(), text.Length())) return false;
    }
    // Present or not, with a value or without, on a live tag or on the element kept for it.
    autoSubmit_ = source.HasAttribute(kAttrAutoSubmit) ? 1 : 0;
    persistent_ = source.HasAttribute(kAttrPersistent) ? 1 : 0;
    return true;
}

bool Form::InitFromEntry(const IndexTable& table, const IndexPosition& entry,
                         IndexEntryReader& reader) {
    if (reader.Seek(entry) != 0) return false;
    std::vector<uint32_t> values;
    uint32_t count = 0;
    textStart_ = textEnd_ = 0;
    if (reader.FindTag(6, &count, &values) == 0 && values.size() >= 2) {
        textStart_ = values[0];
        textEnd_ = values[1];
    }
    values.clear();
    if (reader.FindTag(11, &count, &values) == 0) {
        for (size_t i = 0; i + 3 <= values.size(); i += 3) {
            std::u16string raw;
            String text;
            // A text the table cannot give is absent.
            if (!table.GetEntryText(values[i + 1], values[i + 2], &raw) || !FromU16(raw, text))
                continue;
            uint32_t v = 0;
            switch (values[i]) {
                case 0:
                    action_ = text;
                    break;
                case 1:
                    encodingType_ = AttributeValue::Parse(kAttrEncType, text, v) ? v : kAbsent;
                    break;
                case 2:
                    method_ = AttributeValue::Parse(kAttrMethod, text, v) ? v : kAbsent;
                    break;
                case 8:
                    onSubmit_ = text;
                    break;
                default:
                    break;
            }
        }
    }
    values.clear();
    if (reader.FindTag(7, &count, &values) == 0) {
        for (size_t i = 0; i + 2 <= values.size(); i += 2) {
            if (values[i] == 7) autoSubmit_ = values[i + 1] != 0 ? 1 : 0;
            if (values[i] == 9) persistent_ = values[i + 1] != 0 ? 1 : 0;
        }
    }
    return true;
}

FormFieldEntry* Form::FindEntry(int32_t id, const String& name) {
    if (id != -1) {
        for (int32_t i = 0; i < fields_.Count(); ++i)
            if (fields_.Get(i)->id == id) return fields_.Get(i);
    }
    if (name.IsEmpty()) return nullptr;
    // Fields of one name (a radio group) are told apart by their order: a control takes the
    // first entry of its name that no other control holds.
    for (int32_t i = 0; i < fields_.Count(); ++i) {
        FormFieldEntry* e = fields_.Get(i);
        if (e->name != name) continue;
        if (e->id == -1 || id == -1 || e->id == id) return e;
    }
    return nullptr;
}

bool Form::AddControl(FormControl* control, const String& name, int32_t id, bool owned) {
    if (!control) return false;
    FormFieldEntry* entry = FindEntry(id, name);
    bool made = false;
    // A control that keeps no state (a password field) keeps the value its markup gave it.
    bool keepsState = true;
    if (entry && entry->control) {
        FormControl* old = entry->control;
        bool oldOwned = entry->owned != 0;
        String state;
        if (old->SaveState(state)) entry->currentState = state;
        entry->control = nullptr;
        entry->owned = 0;
        // Scripts that held the old control reach the new one once the old one goes.
        old->SetSuccessor(control);
        old->DetachFromForm();
        if (oldOwned) old->Release();
    } else if (entry && owned) {
        String state;
        if (control->SaveState(state)) entry->defaultState = state;
    }
    if (!entry) {
        FormFieldEntry fresh;
        fresh.id = id;
        keepsState = control->SaveState(fresh.defaultState);
        fresh.currentState = fresh.defaultState;
        int32_t at = fields_.Append(fresh);
        if (at < 0) return false;
        entry = fields_.Get(at);
        made = true;
    }
    if (id != -1) entry->id = id;
    entry->control = control;
    entry->name = name;
    entry->owned = owned ? 1 : 0;
    entry->pending = 0;
    if (!control->Bind(this, name, id, static_cast<uint32_t>(documentKey_))) {
        if (made) {
            fields_.Remove(fields_.Count() - 1, 1);
        } else {
            entry->control = nullptr;
            entry->owned = 0;
        }
        return false;
    }
    if (!entry->currentState.IsEmpty() || (made && keepsState))
        control->RestoreState(entry->currentState);
    if (entry->focusedCaret != -2) {
        const int32_t caret = entry->focusedCaret;
        entry->focusedCaret = -2;
        if (caret >= 0) control->PlaceCaretAt(caret);
        if (Node* node = control->GetNode(); node && node->Parent()) node->Focus();
    }
    return true;
}

void Form::RemoveControl(FormControl* control) {
    FormFieldEntry* entry = nullptr;
    for (int32_t i = 0; i < fields_.Count() && !entry; ++i)
        if (fields_.Get(i)->control == control) entry = fields_.Get(i);
    if (!entry) return;
    String state;
    if (control->SaveState(state)) entry->currentState = state;
    // The page laid out again (turned, rotated): the field that had the focus gives it, and
    // its caret, to the control made for it next.
    Node* node = control->GetNode();
    entry->focusedCaret = node && node->IsFocused() ? control->CaretIndex() : -2;
    int32_t type = control->GetControlType();
    bool wasOwned = entry->owned != 0;
    entry->control = nullptr;
    entry->owned = 0;
    if (destroying_ || wasOwned || !formList_) return;
    Resource* resource = formList_->OwnerResource();
    bool inBook = resource && resource->GetLocation().type == 2;
    if (!control->IsShownFlag() && !inBook) return;
    String name = entry->name;
    int32_t id = entry->id;
    FormControl* replacement = inBook ? formList_->ReplaceWithTableControl(*this, name, type, id)
                                      : formList_->CreateTableControl(*this, name, id);
    if (replacement) control->SetSuccessor(replacement);
}

bool Form::IsTrueResult(const String& result) {
    return !(result.EqualsAscii("false") || result.EqualsAscii("0") || result.EqualsAscii("\"\""));
}

bool Form::CallHandler(const String& script, String* result) {
    return formList_ && formList_->RunHandler(*this, script, result);
}

void Form::Reset() {
    // A form kept past its page, or made by a script, has no control parent: no drawing then.
    DrawScope scope(controlParent_);
    for (int32_t i = 0; i < fields_.Count(); ++i) {
        FormFieldEntry* e = fields_.Get(i);
        e->pending = 0;
        if (!e->control) {
            e->currentState = e->defaultState;
            continue;
        }
        e->control->RestoreState(e->defaultState);
        String state;
        if (e->control->SaveState(state)) e->currentState = state;
        e->control->Refresh();
    }
}

void Form::ResetWithHandler() {
    if (formList_ && !onReset_.IsEmpty()) {
        std::weak_ptr<bool> alive = alive_;
        String result;
        bool ran = CallHandler(onReset_, &result);
        if (alive.expired() || !ran || !IsTrueResult(result)) return;
    }
    Reset();
}

bool Form::SubmitWithHandler() {
    if (formList_ && !onSubmit_.IsEmpty()) {
        std::weak_ptr<bool> alive = alive_;
        String result;
        bool ran = CallHandler(onSubmit_, &result);
        // A handler that refuses cancels the submission; the user's input stays as it is.
        if (alive.expired() || !ran || !IsTrueResult(result)) return false;
    }
    return Submit();
}

bool Form::AutoSubmit() {
    if (!autoSubmit_) return false;
    SubmitWithHandler();
    return true;
}

bool Form::IsUnchanged() {
    for (int32_t i = 0; i < fields_.Count(); ++i) {
        FormFieldEntry* e = fields_.Get(i);
        String state = e->currentState;
        if (e->control) {
            String live;
            if (e->control->SaveState(live)) state = live;
        }
        if (state != e->defaultState) return false;
    }
    return true;
}

bool Form::IsInUse() {
    if (heap_) return true;
    for (int32_t i = 0; i < fields_.Count(); ++i) {
        FormFieldEntry* e = fields_.Get(i);
        if (e->control && e->control->IsShownFlag()) return true;
    }
    return false;
}

void Form::ApplyPendingStates() {
    for (int32_t i = 0; i < fields_.Count(); ++i) {
        FormFieldEntry* e = fields_.Get(i);
        if (!e->pending || !e->control) continue;
        e->pending = 0;
        e->control->RestoreState(e->currentState);
        e->control->Refresh();
    }
}

void Form::RunHandler(FormControl* control, const String& script, uint32_t eventId,
                      uint32_t argument, const Rect* /*rect*/) {
    if (formList_) formList_->FireControlHandler(control, eventId, script, argument);
}

int Form::Resolve(int* err, const ScriptName& name, ScriptMemberRef* ref, bool create) {
    if (ref->IsBound() || ref->flag) return Done(err, ScriptErrors::kMemberUnknown);
    if (name.id == kMemberSubmit || name.id == kMemberReset || name.id == kMemberName)
        return BindMember(err, ref, name.id);
    String field = name.Text();
    FormControl* control = nullptr;
    for (int32_t i = 0; i < fields_.Count(); ++i) {
        FormFieldEntry* e = fields_.Get(i);
        if (e->name == field) {
            control = e->control;
            break;
        }
    }
    if (!control && formList_) control = formList_->CreateTableControl(*this, field, -1);
    if (control) {
        // Forwarded: the control answers the rest of the path.
        ref->object = control;
        ref->index = -1;
        ref->code = 0;
        return Done(err, 0);
    }
    if (create) return BindMember(err, ref, kPlaceholder);
    return Done(err, ScriptErrors::kMemberUnknown);
}

int Form::Call(int* err, ScriptMemberRef* ref, int argc, const ScriptValue* /*stack*/,
               ScriptValue* result) {
    *result = ScriptValues::kUndefined;
    if (ref->code != kMemberSubmit && ref->code != kMemberReset)
        return Done(err, ScriptErrors::kInvalidType);
    if (argc != 0) return Done(err, ScriptErrors::kBadParameterCount);
    if (ref->code == kMemberReset) {
        ResetWithHandler();
        return Done(err, 0);
    }
    std::weak_ptr<bool> alive = alive_;
    if (SubmitWithHandler() && !alive.expired()) ResetWithHandler();
    return Done(err, 0);
}

int Form::GetValue(int* err, ScriptMemberRef* ref, ScriptHeap* heap, ScriptValue* result) {
    if (ref->flag) return Done(err, ScriptErrors::kInvalidReference);
    if (ref->code == kMemberName) return Done(err, heap->NewString(name_, result));
    if (ref->code == kPlaceholder) {
        *result = ScriptValues::kUndefined;
        return Done(err, 0);
    }
    return Done(err, ScriptErrors::kCannotGet);
}

void Form::Notify(int event, ScriptHeap* heap) {
    if (event == 0) heap_ = heap;
    if (event == 1) heap_ = nullptr;
}

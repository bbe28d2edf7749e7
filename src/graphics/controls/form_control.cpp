#include "graphics/controls/form_control.h"

#include "graphics/core/node.h"
#include "script/script_heap.h"
#include "script/script_names.h"

using namespace ScriptNames::Ids;

FormControl::~FormControl() {
    // Script values that referred to this control now refer to the one that replaced it.
    ScriptHeap::ReplaceObject(heap_, this, successor_.Get());
    successor_.Reset();
    handlers_.Destroy();
    DetachFromForm();
}

void FormControl::SetStyle(const uint8_t* style3) {
    if (!style3) return;
    fontSize_ = static_cast<int8_t>(style3[0]);
    fontFace_ = style3[2];
}

bool FormControl::GetScriptHandles(uint32_t& formHandle, uint32_t& controlHandle) {
    if (!scriptAccess_) return false;
    formHandle = form_ && formIndex_ != -1 ? form_->FormId() + 0x80000000u : 0;
    // Without an index the handle is 0 rather than whatever the caller's variable held.
    controlHandle = formIndex_ != -1 ? static_cast<uint32_t>(formIndex_) - 0x40000000u : 0;
    return true;
}

void FormControl::Fire(uint32_t eventId, uint32_t argument, const Rect* rect) {
    if (listener_) {
        listener_->OnControlEvent(this, eventId, argument, rect);
        return;
    }
    if (!form_) return;
    for (int32_t i = 0; i < handlers_.Count(); ++i) {
        const HandlerEntry* h = handlers_.Get(i);
        if (h->eventId != eventId) continue;
        // The script may replace the handler list (or release the control): run a copy.
        String script(h->script);
        form_->RunHandler(this, script, eventId, argument, rect);
        return;
    }
}

bool FormControl::SetHandler(uint32_t eventId, const String& script) {
    for (int32_t i = 0; i < handlers_.Count(); ++i) {
        HandlerEntry* h = handlers_.Get(i);
        if (h->eventId == eventId) {
            h->script = script;
            return true;
        }
    }
    HandlerEntry entry;
    entry.eventId = eventId;
    entry.script = script;
    return handlers_.Append(entry) >= 0;
}

bool FormControl::Bind(FormLink* form, const String& /*name*/, int32_t id, uint32_t documentKey) {
    form_ = form;
    id_ = id;
    documentKey_ = documentKey;
    return true;
}

void FormControl::NotifyForm(uint32_t code) {
    if (form_) form_->OnControlChanged(this, code);
}

void FormControl::DetachFromForm() {
    if (!form_) return;
    if (shown_) NotifyForm(0);
    FormLink* form = form_;
    form_ = nullptr;
    form->RemoveControl(this);
}

bool FormControl::SubmitForm() {
    return form_ && form_->SubmitIfAutomatic(this);
}

void FormControl::Refresh() {
    if (shown_) {
        if (Node* node = NodeFace()) node->Redraw(nullptr);
        return;
    }
    if (!form_) return;
    if (Node* parent = form_->ControlParent()) parent->SetActive(true);
}

void FormControl::RedrawWhole() {
    Node* node = NodeFace();
    if (!shown_ || !node) return;
    DrawScope scope(node);
    if (!scope) return;
    Draw(scope.Context(), rect_, nullptr);
    // Fills and text mark nothing changed: without this, a control drawn without a frame (the
    // text part of a drop-down) would stay in the display's back buffer, off the screen.
    scope.Context()->MarkChanged(&rect_);
}

void FormControl::ApplyStyle(GraphicsContext* gc) const {
    if (!gc) return;
    FontStyle style;
    style.size = fontSize_;
    style.flags = FontStyle::kPlain;
    style.face = fontFace_;
    gc->SetFontStyle(style);
}

void FormControl::SetSuccessor(FormControl* successor) {
    if (successor == this) return;
    successor_.Assign(successor);
}

int FormControl::ResolveWithForm(int* err, const ScriptName& name, ScriptMemberRef* ref,
                                 bool create) {
    int rc = FormControl::Resolve(err, name, ref, create);
    if (rc != ScriptErrors::kMemberUnknown || name.id != kForm || ref->IsBound()) return rc;
    ScriptObject* face = form_ ? form_->FormScriptObject() : nullptr;
    if (!face) return rc;
    // Forwarded: the next name is looked up on the form.
    ref->object = face;
    ref->index = -1;
    ref->code = 0;
    return Done(err, 0);
}

int FormControl::Resolve(int* err, const ScriptName& name, ScriptMemberRef* ref, bool /*create*/) {
    if (ref->IsBound()) return Done(err, ScriptErrors::kMemberUnknown);
    switch (name.id) {
        case kScrollIntoView:
        case kHasFocus:
        case kFocus:
        case kBlur:
            ref->flag = 0;
            return BindMember(err, ref, name.id);
        default:
            return Done(err, ScriptErrors::kMemberUnknown);
    }
}

int FormControl::Call(int* err, ScriptMemberRef* ref, int argc, const ScriptValue* /*stack*/,
                      ScriptValue* result) {
    if (argc != 0 || ref->index != -1) return Done(err, ScriptErrors::kMemberUnknown);
    *result = ScriptValues::kUndefined;
    switch (ref->code) {
        case kScrollIntoView: {  // nothing to do before the page placed the control
            Node* parent = form_ ? form_->ControlParent() : nullptr;
            if (parent) parent->BringIntoView(rect_, static_cast<uint32_t>(id_));
            return Done(err, 0);
        }
        case kFocus: {
            Node* node = NodeFace();
            if (shown_ && node) node->Focus();
            return Done(err, 0);
        }
        case kBlur:
            return Done(err, 0);
        default:
            return Done(err, ScriptErrors::kInvalidType);
    }
}

int FormControl::GetValue(int* err, ScriptMemberRef* ref, ScriptHeap* heap, ScriptValue* result) {
    if (ref->code == kHasFocus && (ref->index == -1 || ref->index == -2)) {
        Node* node = NodeFace();
        return Done(err, heap->NewBoolean(node && node->IsFocused(), result));
    }
    return Done(err, ScriptErrors::kCannotGet);
}

void FormControl::Notify(int event, ScriptHeap* heap) {
    if (event == 0) heap_ = heap;
    if (event == 1) heap_ = nullptr;
}

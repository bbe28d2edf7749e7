// The base of every control of a form in a page. A control has three faces: the inline object
// the page layout measures, places and draws; the script object the page's scripts read and
// call; and the control interface its form asks for the type, the submitted value and the
// saved state. Controls that show on screen add a Node face, reached through GetNode.
//
// Lifetime: controls are counted (InlineObject). Every call out that can run a script (FireEvent,
// SubmitForm) may release the control; callers that still touch members afterwards hold a
// counted reference (KeepAlive) across the call and check `IsOnlyHolder` before drawing.
#pragma once

#include <cstdint>

#include "core/geometry.h"
#include "core/ref_counted.h"
#include "core/segmented_array.h"
#include "core/string.h"
#include "document/sources/layout_services.h"
#include "graphics/core/graphics_context.h"
#include "script/script_object.h"

class FormControl;
class Node;
class ScriptHeap;

// The form's side of a control (the forms of the document model implement it).
class FormLink {
public:
    // The form's identifier (its handle is this plus 0x80000000).
    virtual uint32_t FormId() = 0;
    // The form's script object, null when it has none.
    virtual ScriptObject* FormScriptObject() = 0;
    // Runs a handler script for the control. The script may release the control and the form.
    virtual void RunHandler(FormControl* control, const String& script, uint32_t eventId,
                            uint32_t argument, const Rect* rect) = 0;
    // Submits when the form submits by itself; whether it did.
    virtual bool SubmitIfAutomatic(FormControl* control) = 0;
    virtual void RemoveControl(FormControl* control) = 0;
    // The change notification (code 0: the control is leaving while shown).
    virtual void OnControlChanged(FormControl* control, uint32_t code) = 0;
    // The node under which the page places the form's controls; null when not laid out.
    virtual Node* ControlParent() = 0;

protected:
    ~FormLink() = default;
};

// Receives a control's events instead of the form (a control that is part of another one).
class ControlListener {
public:
    virtual void OnControlEvent(FormControl* control, uint32_t eventId, uint32_t argument,
                                const Rect* rect) = 0;

protected:
    ~ControlListener() = default;
};

enum class ControlType : int32_t {
    kBase = 0,
    kTextEntry = 2,
    kCheckBox = 4,
    kSelect = 12,
    kButton = 14,
};

enum FormEvent : uint32_t {
    kFormEventChange = 0,
    kFormEventClick = 1,
    kFormEventEdited = 2,
    kFormEventLoad = 4,
    kFormEventDropDownClosed = 5,
};

class FormControl : public InlineObject, public ScriptObject {
public:
    FormControl() = default;
    ~FormControl() override;

    // Inline-object face.
    void SetStyle(const uint8_t* style3) override;
    bool GetScriptHandles(uint32_t& formHandle, uint32_t& controlHandle) override;
    void FireEvent(uint32_t eventId, uint32_t argument) override {
        Fire(eventId, argument, nullptr);
    }
    // The event with the rectangle it concerns (clicks and edits pass the control's).
    void Fire(uint32_t eventId, uint32_t argument, const Rect* rect);

    // Control interface.
    virtual int32_t GetControlType() { return 0; }
    virtual bool IsOn() = 0;
    virtual bool GetSubmitValue(int32_t /*index*/, String& /*out*/) { return false; }
    virtual bool FlagQuery() = 0;
    virtual void SetReadOnly(bool /*readOnly*/) {}
    virtual void SetEnabled(bool /*enabled*/) {}
    // The caret of a text control (-1 for others), and its placing.
    virtual int32_t CaretIndex() const { return -1; }
    virtual void PlaceCaretAt(int32_t /*index*/) {}
    virtual bool RestoreState(const String& text) = 0;
    virtual bool SaveState(String& out) = 0;
    // Replaces the handler of the event, else appends one; false when the list cannot grow.
    virtual bool SetHandler(uint32_t eventId, const String& script);

    // Script face: the members all controls share.
    int Kind() override { return ScriptKinds::kFormControl; }
    int Resolve(int* err, const ScriptName& name, ScriptMemberRef* ref, bool create) override;
    int Call(int* err, ScriptMemberRef* ref, int argc, const ScriptValue* stack,
             ScriptValue* result) override;
    int GetValue(int* err, ScriptMemberRef* ref, ScriptHeap* heap, ScriptValue* result) override;
    void Notify(int event, ScriptHeap* heap) override;

    bool Bind(FormLink* form, const String& name, int32_t id, uint32_t documentKey);
    void SetScriptAccess(uint8_t access) { scriptAccess_ = access; }
    void SetFormIndex(int32_t index) { formIndex_ = index; }
    void SetListener(ControlListener* listener) { listener_ = listener; }
    void NotifyForm(uint32_t code);
    // The change notices: 0 leaving while shown, 1 shown, 2 a radio button was checked.
    static constexpr uint32_t kNoticeRadioChecked = 2;
    void DetachFromForm();
    bool SubmitForm();
    void Refresh();
    // Draws the whole control through its Node face's context, while shown, and marks its
    // rectangle changed so that the display brings it to the screen.
    void RedrawWhole();
    void ApplyStyle(GraphicsContext* gc) const;
    // The control that takes over the script references to this one when it goes (counted).
    void SetSuccessor(FormControl* successor);

    FormLink* Form() const { return form_; }
    ControlListener* Listener() const { return listener_; }
    const Rect& ControlRect() const { return rect_; }
    int32_t Id() const { return id_; }
    uint32_t DocumentKey() const { return documentKey_; }
    int32_t FormIndex() const { return formIndex_; }
    bool IsShownFlag() const { return shown_ != 0; }
    bool HasScriptAccess() const { return scriptAccess_ != 0; }
    ScriptHeap* Heap() const { return heap_; }
    int8_t FontSize() const { return fontSize_; }
    uint8_t FontFace() const { return fontFace_; }
    bool IsOnlyHolder() const { return RefCount() <= 1; }

protected:
    // The common members and "form" (every class but the base offers it).
    int ResolveWithForm(int* err, const ScriptName& name, ScriptMemberRef* ref, bool create);
    // The control's Node face, null for a control that is never shown.
    Node* NodeFace() { return GetNode(); }
    void SetShownFlag(bool shown) { shown_ = shown ? 1 : 0; }
    void SetId(int32_t id) { id_ = id; }
    Rect rect_{};

private:
    struct HandlerEntry {
        uint32_t eventId = 0;
        String script;
    };
    FormLink* form_ = nullptr;
    ControlListener* listener_ = nullptr;
    uint8_t shown_ = 0;
    uint8_t scriptAccess_ = 1;
    int32_t id_ = -1;
    uint32_t documentKey_ = 0;
    int32_t formIndex_ = -1;
    SegArray<HandlerEntry, 2> handlers_;
    ScriptHeap* heap_ = nullptr;
    RefPtr<FormControl> successor_;
    uint8_t fontFace_ = 1;
    int8_t fontSize_ = -12;  // until the page gives its style
};

// Holds a counted reference to a control across a call out that may release it.
class KeepAlive {
public:
    explicit KeepAlive(FormControl* control) : control_(control) {}
    KeepAlive(const KeepAlive&) = delete;
    KeepAlive& operator=(const KeepAlive&) = delete;
    // True when everyone else let go: the control goes when this reference does.
    bool Orphaned() const { return control_->IsOnlyHolder(); }

private:
    RefPtr<FormControl> control_;
};

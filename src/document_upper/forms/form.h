// A form of a page: its fields, the controls that show them now, and its script face. The page
// layout asks the form list for the form and then the form to build each control (Build); the
// fields outlive their controls, so a page laid out again, or a script holding a field, keeps the
// user's input.
//
// Controls: a control the page owns is counted by the page; the form only points at it, and the
// control tells the form when it goes (RemoveControl). A control the form owns (one made from
// the forms table) carries the form's reference, released when its entry lets go of it.
//
// Re-entrancy: handlers, submission and the owner's calls may destroy the form. Code that calls
// out watches the form through AliveToken and touches nothing of it once it is gone.
#pragma once

#include <cstdint>
#include <memory>

#include "core/segmented_array.h"
#include "core/string.h"
#include "graphics/controls/form_control.h"
#include "script/script_object.h"

class ByteStream;
class DrawingSurface;
class FormList;
class IndexEntryReader;
class IndexTable;
class Node;
class TokenSource;
struct IndexPosition;

struct FormFieldEntry {
    int32_t id = -1;  // the control element's text position; -1 from saved state or the table
    String name;
    String defaultState;
    String currentState;
    FormControl* control = nullptr;
    uint8_t owned = 0;
    // A restored state waits for the live control (FormList::RestoreValues).
    uint8_t pending = 0;
    // The control went while it had the focus: its caret (-1 none); -2 it had no focus.
    int32_t focusedCaret = -2;
};

// A SELECT element as read from the markup: its rows, width, query and options.
struct SelectSpec {
    struct Option {
        String label;
        String value;
    };
    static constexpr uint32_t kMaxRows = 100;
    uint32_t rows = 1;
    uint32_t width = 0;
    bool hasWidth = false;
    String query;  // "sql:" source of a self-closing SELECT, else empty
    SegArray<Option, 2> options;
    int32_t selected = 0;  // the option to select (below the count only when there is one)

    // Reads the element the token source is on, and its options up to the end tag.
    bool Read(TokenSource& source);
};

class Form : public ScriptObject, public FormLink {
public:
    static constexpr uint32_t kAbsent = 1;  // METHOD and ENCTYPE without the attribute

    Form();
    ~Form() override;

    bool SetName(FormList* list, const String& name);
    bool InitFromTag(TokenSource& source, uint32_t position);
    bool InitFromEntry(const IndexTable& table, const IndexPosition& entry,
                       IndexEntryReader& reader);

    // The control for the element the token source is on, at position p, or null (no control
    // for this element, or out of memory). The result carries a reference for the caller.
    FormControl* Build(TokenSource& source, uint32_t position, const uint8_t* style3);
    bool AddControl(FormControl* control, const String& name, int32_t id, bool owned);
    FormFieldEntry* FindEntry(int32_t id, const String& name);

    void Reset();
    void ResetWithHandler();
    // False when the submission failed or a handler cancelled it (nothing is reset then).
    bool SubmitWithHandler();
    bool AutoSubmit();
    bool Submit();
    bool IsUnchanged();
    bool IsInUse();

    // One form's state record (one record of the form list's state stream).
    bool SaveState(ByteStream& stream, bool lengthPrefixed);
    bool RestoreState(ByteStream& stream);
    // Puts states restored after their control was made into the live controls.
    void ApplyPendingStates();

    // Script face.
    int Kind() override { return ScriptKinds::kForm; }
    int Resolve(int* err, const ScriptName& name, ScriptMemberRef* ref, bool create) override;
    int Call(int* err, ScriptMemberRef* ref, int argc, const ScriptValue* stack,
             ScriptValue* result) override;
    int GetValue(int* err, ScriptMemberRef* ref, ScriptHeap* heap, ScriptValue* result) override;
    void Notify(int event, ScriptHeap* heap) override;

    // FormLink face (the controls' view of the form).
    uint32_t FormId() override { return serial_; }
    ScriptObject* FormScriptObject() override { return this; }
    void RunHandler(FormControl* control, const String& script, uint32_t eventId, uint32_t argument,
                    const Rect* rect) override;
    bool SubmitIfAutomatic(FormControl*) override { return AutoSubmit(); }
    void RemoveControl(FormControl* control) override;
    // A radio button checked: the other radio buttons of its name are unchecked.
    void OnControlChanged(FormControl* control, uint32_t code) override;
    Node* ControlParent() override { return controlParent_; }

    // Set by the page layout each time it places the form's controls.
    void SetLayoutContext(DrawingSurface* context, Node* controlParent) {
        layoutContext_ = context;
        controlParent_ = controlParent;
    }
    void ForgetControlParent() { controlParent_ = nullptr; }

    std::weak_ptr<bool> AliveToken() const { return alive_; }
    FormList* List() const { return formList_; }
    const String& Name() const { return name_; }
    const String& Action() const { return action_; }
    uint32_t Method() const { return method_; }
    uint32_t EncodingType() const { return encodingType_; }
    const String& OnSubmit() const { return onSubmit_; }
    const String& OnReset() const { return onReset_; }
    bool IsAutoSubmit() const { return autoSubmit_ != 0; }
    bool IsPersistent() const { return persistent_ != 0; }
    uint32_t TextStart() const { return textStart_; }
    uint32_t TextEnd() const { return textEnd_; }
    int32_t DocumentKey() const { return documentKey_; }
    void SetDocumentKey(int32_t key) { documentKey_ = key; }
    void SetSerial(uint32_t serial) { serial_ = serial; }
    int32_t FieldCount() const { return fields_.Count(); }
    FormFieldEntry* FieldAt(int32_t i) const { return fields_.Get(i); }
    ScriptHeap* Heap() const { return heap_; }

    // A handler's answer: true unless exactly "false", "0" or two quotation marks.
    static bool IsTrueResult(const String& result);

private:
    friend class FormList;
    FormControl* BuildInput(TokenSource& source, const String& name);
    FormControl* BuildSelect(TokenSource& source);
    // Lets go of an entry's control: told to leave the form, released when the form owns it.
    static void DropControl(FormFieldEntry& entry);
    bool CallHandler(const String& script, String* result);

    FormList* formList_ = nullptr;
    DrawingSurface* layoutContext_ = nullptr;
    ScriptHeap* heap_ = nullptr;
    Node* controlParent_ = nullptr;
    String name_;
    String action_;
    uint32_t method_ = kAbsent;
    uint32_t encodingType_ = kAbsent;
    String onReset_;
    String onSubmit_;
    SegArray<FormFieldEntry, 2> fields_;
    uint8_t autoSubmit_ = 0;
    uint8_t destroying_ = 0;
    uint8_t persistent_ = 0;
    uint32_t textStart_ = 0;
    uint32_t textEnd_ = 0;
    int32_t documentKey_ = -1;
    uint32_t serial_ = 0;
    std::shared_ptr<bool> alive_;
};

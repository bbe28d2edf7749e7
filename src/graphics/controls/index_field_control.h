// A form field that is never drawn: a hidden field of a page, a field described by an entry of
// the book's index, or a field the form adds itself. Its field type stands in for the control
// type, so scripts, submission and saved state treat it like a visible control of that type.
// With type 12 and the record-set flag it stands for a list fed by a query, and gives scripts
// a record set over the query's result.
#pragma once

#include <cstdint>

#include "graphics/controls/form_control.h"

class IndexTable;
class Resource;
struct IndexPosition;

class IndexFieldControl : public FormControl {
public:
    enum class Group { kText, kChecked, kSelect, kValueless, kNone };
    static constexpr int32_t kHiddenType = 7;
    static constexpr int32_t kSelectType = 12;

    // Holds a reference to the resource (the book's index database; may be null).
    explicit IndexFieldControl(Resource* resource);
    ~IndexFieldControl() override;

    // A hidden field (type 7) with this value.
    void SetSource(const String& value);
    void SetFieldType(int32_t type) { type_ = type; }
    int32_t FieldType() const { return type_; }
    void SetValueText(const String& value) { value_ = value; }
    const String& ValueText() const { return value_; }
    bool IsChecked() const { return checked_ != 0; }
    void SetChecked(bool checked) { checked_ = checked ? 1 : 0; }
    uint32_t SelectedIndex() const { return selectedIndex_; }
    bool IsRecordSet() const { return recordSet_ != 0; }
    void SetRecordSet(bool on) { recordSet_ = on ? 1 : 0; }
    void SetExcluded(bool excluded) { excluded_ = excluded ? 1 : 0; }

    // Reads the field from an entry of the index table (tags 1 type, 2 id, 11 texts, 7 values).
    // False for a missing or unreadable entry, a type outside 2 to 14, or a value text that
    // cannot be read; the field keeps what was read before the failure.
    bool LoadFromEntry(const IndexTable* table, const IndexPosition& position);

    static Group GroupOf(int32_t type);

    // Inline-object face: nothing to see; only a hidden field answers true.
    bool Draw(GraphicsContext*, const Rect&, const Rect*) override { return type_ == kHiddenType; }
    bool Measure(Size& size, uint8_t& flagA, GraphicsContext* gc, uint8_t& flagB,
                 uint32_t& baseline, Size& minimum) override;
    bool MeasureSimple(Size& size, uint8_t& flagA) override;

    // Control interface.
    int32_t GetControlType() override { return type_; }
    bool IsOn() override;
    bool GetSubmitValue(int32_t index, String& out) override;
    bool FlagQuery() override;
    bool RestoreState(const String& text) override;
    bool SaveState(String& out) override;

    // Script face: the members of the field's group.
    int Resolve(int* err, const ScriptName& name, ScriptMemberRef* ref, bool create) override;
    int SetValue(int* err, ScriptMemberRef* ref, ScriptHeap* heap, ScriptValue value) override;
    int GetValue(int* err, ScriptMemberRef* ref, ScriptHeap* heap, ScriptValue* result) override;

private:
    bool HasMember(int32_t id) const;
    int GetRecordSet(int* err, ScriptHeap* heap, ScriptValue* result);

    int32_t type_ = 0;
    String value_;
    uint8_t checked_ = 0;
    uint8_t excluded_ = 0;
    uint32_t selectedIndex_ = 0;
    uint8_t recordSet_ = 0;
    RefPtr<Resource> resource_;
};

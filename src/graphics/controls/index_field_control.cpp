#include "graphics/controls/index_field_control.h"

#include <memory>
#include <new>
#include <vector>

#include "bookfiles/index_table.h"
#include "database/index_query.h"
#include "database/resource.h"
#include "database/sql_parser.h"
#include "graphics/controls/check_box_control.h"
#include "graphics/controls/select_state.h"
#include "script/script_heap.h"
#include "script/script_names.h"

namespace Names = ScriptNames::Ids;

IndexFieldControl::IndexFieldControl(Resource* resource) : resource_(resource) {}

IndexFieldControl::~IndexFieldControl() {
    resource_.Reset();
    DetachFromForm();
}

void IndexFieldControl::SetSource(const String& value) {
    type_ = kHiddenType;
    value_ = value;
}

IndexFieldControl::Group IndexFieldControl::GroupOf(int32_t type) {
    switch (type) {
        case 2:
        case 3:
        case 7:
            return Group::kText;
        case 4:
        case 11:
            return Group::kChecked;
        case 12:
            return Group::kSelect;
        case 5:
        case 8:
        case 9:
        case 10:
        case 14:
            return Group::kValueless;
        default:
            return Group::kNone;
    }
}

bool IndexFieldControl::LoadFromEntry(const IndexTable* table, const IndexPosition& position) {
    IndexEntryReader reader;
    if (!table || !reader.Open(table) || reader.Seek(position) != 0) return false;
    std::vector<uint32_t> values;
    uint32_t count = 0;
    if (reader.FindTag(1, &count, &values) != 0 || values.empty()) return false;
    if (values[0] < 2 || values[0] > 14) return false;
    type_ = static_cast<int32_t>(values[0]);

    values.clear();
    bool hasId = reader.FindTag(2, &count, &values) == 0 && !values.empty();
    SetId(hasId ? static_cast<int32_t>(values[0]) : -1);

    values.clear();
    if (reader.FindTag(11, &count, &values) == 0) {
        // (kind, record, offset) groups; a short last group is dropped.
        for (size_t i = 0; i + 3 <= values.size(); i += 3) {
            if (values[i] != 3) continue;
            std::u16string text;
            if (!table->GetEntryText(values[i + 1], values[i + 2], &text)) return false;
            String v;
            if (!v.AssignChars(text.data(), static_cast<int32_t>(text.size()))) return false;
            value_ = v;
        }
    }

    values.clear();
    if (reader.FindTag(7, &count, &values) == 0) {
        for (size_t i = 0; i + 2 <= values.size(); i += 2) {
            if (values[i] == 5) checked_ = values[i + 1] != 0 ? 1 : 0;
            if (values[i] == 6) selectedIndex_ = values[i + 1];
        }
    }
    return true;
}

bool IndexFieldControl::Measure(Size& size, uint8_t& flagA, GraphicsContext* /*gc*/, uint8_t& flagB,
                                uint32_t& baseline, Size& minimum) {
    flagB = 0;
    baseline = 0;
    minimum = Size{};
    return MeasureSimple(size, flagA);
}

bool IndexFieldControl::MeasureSimple(Size& size, uint8_t& flagA) {
    size = Size{};
    flagA = 0;
    return type_ == kHiddenType;
}

namespace {
// Types that never take part in submission or queries.
bool IsSilentType(int32_t type) {
    return type == 5 || type == 8 || type == 9 || type == 14;
}
}  // namespace

bool IndexFieldControl::IsOn() {
    if (GroupOf(type_) == Group::kChecked) return checked_ != 0;
    return !IsSilentType(type_);
}

bool IndexFieldControl::GetSubmitValue(int32_t /*index*/, String& out) {
    switch (type_) {
        case 12:
            // A query field holds the query, which is no value of the form.
            if (recordSet_) return false;
            [[fallthrough]];
        case 2:
        case 3:
        case 4:
        case 7:
        case 11:
            out = value_;
            return true;
        default:
            return false;
    }
}

bool IndexFieldControl::FlagQuery() {
    return !excluded_ && type_ != 3 && !IsSilentType(type_);
}

bool IndexFieldControl::RestoreState(const String& text) {
    switch (GroupOf(type_)) {
        case Group::kText:
            value_ = text;
            return true;
        case Group::kChecked:
            checked_ = CheckBoxControl::ParseState(text) == CheckBoxControl::kChecked ? 1 : 0;
            return true;
        case Group::kValueless:
            return true;
        case Group::kSelect: {
            char16_t kind = 0;
            uint32_t index = 0;
            String value;
            // An undecodable state leaves the field as it was.
            if (!SelectState::Parse(text, kind, index, value)) return false;
            recordSet_ = kind == SelectState::kQueryKind ? 1 : 0;
            selectedIndex_ = index;
            value_ = value;
            return true;
        }
        case Group::kNone:
            return false;
    }
    return false;
}

bool IndexFieldControl::SaveState(String& out) {
    switch (GroupOf(type_)) {
        case Group::kText:
            out = value_;
            return true;
        case Group::kChecked:
            out = String();
            return out.AppendAscii(CheckBoxControl::StateName(
                checked_ ? CheckBoxControl::kChecked : CheckBoxControl::kUnchecked));
        case Group::kValueless:
            out = String();
            return true;
        case Group::kSelect:
            return SelectState::Format(
                recordSet_ ? SelectState::kQueryKind : SelectState::kOptionKind,
                static_cast<int32_t>(selectedIndex_), value_, out);
        case Group::kNone:
            return false;
    }
    return false;
}

bool IndexFieldControl::HasMember(int32_t id) const {
    switch (GroupOf(type_)) {
        case Group::kText:
            return id == Names::kValueLower;
        case Group::kChecked:
            return id == Names::kChecked;
        case Group::kSelect:
            if (recordSet_) return id == Names::kSource || id == Names::kRecordset;
            return id == Names::kSelectedIndex || id == Names::kValueLower;
        case Group::kValueless:
        case Group::kNone:
            return false;
    }
    return false;
}

int IndexFieldControl::Resolve(int* err, const ScriptName& name, ScriptMemberRef* ref,
                               bool create) {
    int rc = ResolveWithForm(err, name, ref, create);
    if (rc != ScriptErrors::kMemberUnknown || ref->IsBound()) return rc;
    if (HasMember(name.id)) return BindMember(err, ref, name.id);
    return rc;
}

int IndexFieldControl::SetValue(int* err, ScriptMemberRef* ref, ScriptHeap* heap,
                                ScriptValue value) {
    if (!HasMember(ref->code)) return Done(err, ScriptErrors::kCannotSet);
    if (ref->code == Names::kChecked) {
        bool on = false;
        int rc = heap->ToBoolean(value, &on);
        if (rc) return Done(err, rc);
        checked_ = on ? 1 : 0;
        return Done(err, 0);
    }
    if (ref->code == Names::kValueLower || ref->code == Names::kSource) {
        String text;
        int rc = heap->ToString(value, &text);
        if (rc) return Done(err, rc);
        value_ = text;
        return Done(err, 0);
    }
    return Done(err, ScriptErrors::kCannotSet);  // selectedIndex and recordset are read-only
}

int IndexFieldControl::GetValue(int* err, ScriptMemberRef* ref, ScriptHeap* heap,
                                ScriptValue* result) {
    if (GroupOf(type_) == Group::kValueless) return Done(err, ScriptErrors::kCannotGet);
    if (!HasMember(ref->code)) return FormControl::GetValue(err, ref, heap, result);
    switch (ref->code) {
        case Names::kChecked:
            return Done(err, heap->NewBoolean(checked_ != 0, result));
        case Names::kSelectedIndex:
            return Done(err, heap->NewNumber(static_cast<double>(selectedIndex_), result));
        case Names::kRecordset:
            return GetRecordSet(err, heap, result);
        default:
            return Done(err, heap->NewString(value_, result));
    }
}

int IndexFieldControl::GetRecordSet(int* err, ScriptHeap* heap, ScriptValue* result) {
    IndexQuery* parsed = nullptr;
    int rc = SqlParser::Parse(value_, resource_.Get(), parsed);
    RefPtr<IndexQuery> query = RefPtr<IndexQuery>::Adopt(parsed);
    if (rc) return Done(err, rc);
    std::unique_ptr<IndexRecordSetObject> object(new (std::nothrow) IndexRecordSetObject(
        query.Get(), RecordPosition::At(RecordPosition::kBeforeFirst)));
    if (!object) return Done(err, ScriptErrors::kOutOfMemory);
    return Done(err, heap->NewObject(std::move(object), result));
}

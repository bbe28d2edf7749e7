#include "script/script_object.h"

#include "script/script_heap.h"

bool ScriptName::Equals(const char16_t* text, std::uint32_t count) const {
    if (count != length) return false;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (chars[i] != text[i]) return false;
    }
    return true;
}

bool ScriptName::EqualsAscii(const char* text) const {
    std::uint32_t i = 0;
    for (; text[i]; ++i) {
        if (i >= length || chars[i] != static_cast<unsigned char>(text[i])) return false;
    }
    return i == length;
}

ScriptObject::~ScriptObject() = default;

int ScriptObject::Kind() {
    return ScriptKinds::kBase;
}

int ScriptObject::Resolve(int* err, const ScriptName&, ScriptMemberRef*, bool) {
    return Done(err, ScriptErrors::kMemberUnknown);
}

int ScriptObject::MemberAt(int* err, int, ScriptMemberRef*, ScriptName*) {
    return Done(err, ScriptErrors::kMemberUnknown);
}

int ScriptObject::Call(int* err, ScriptMemberRef*, int, const ScriptValue*, ScriptValue*) {
    return Done(err, ScriptErrors::kInvalidType);
}

int ScriptObject::SetValue(int* err, ScriptMemberRef*, ScriptHeap*, ScriptValue) {
    return Done(err, ScriptErrors::kCannotSet);
}

int ScriptObject::GetValue(int* err, ScriptMemberRef*, ScriptHeap*, ScriptValue*) {
    return Done(err, ScriptErrors::kCannotGet);
}

int ScriptObject::DefaultValue(int* err, ScriptHeap* heap, int hint, ScriptValue* result) {
    if (!heap || !result) return Done(err, ScriptErrors::kCannotGet);
    int rc = hint == 1 ? heap->NewStringAscii("[object]", result)
                       : heap->NewNumber(__builtin_nan(""), result);
    return Done(err, rc);
}

void ScriptObject::Notify(int, ScriptHeap*) {}

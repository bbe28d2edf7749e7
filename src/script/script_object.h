// The base of every native object that scripts can see (host objects), and the two small
// records they are addressed with. The member-path protocol hosts follow is described in
// script/script_engine.h.
#pragma once

#include <cstdint>

#include "core/string.h"
#include "script/script_value.h"

class ScriptHeap;
class ScriptObject;

// A member name as the engine hands it to hosts: the text, its vocabulary id (0 when the name is
// not in the vocabulary) and the heap's interned id (vocabulary names keep their id; other names
// are numbered from 319 up). Hosts compare ids for vocabulary names and the text for user names.
struct ScriptName {
    const char16_t* chars = nullptr;  // valid during the call only
    std::uint32_t length = 0;
    std::uint16_t id = 0;
    std::uint32_t key = 0;

    bool Equals(const char16_t* text, std::uint32_t count) const;
    bool EqualsAscii(const char* text) const;
    bool Equals(const String& text) const {
        return Equals(text.Data(), static_cast<std::uint32_t>(text.Length()));
    }
    String Text() const { return String(chars, static_cast<std::int32_t>(length)); }
};

// One member lookup in progress. Bound when index is set and code is not 0.
struct ScriptMemberRef {
    ScriptObject* object = nullptr;
    std::int32_t index = -1;  // -1: a member of the object itself
    std::int32_t code = 0;    // member code (vocabulary id, or a host's own code; -2 placeholder)
    std::uint32_t flag = 0;   // "marked"; the engine never sets it

    bool IsBound() const { return code != 0; }
};

namespace ScriptKinds {
constexpr int kBase = 0;
constexpr int kController = 2;
constexpr int kFormControl = 3;
constexpr int kForm = 4;
// 5-15 databases and record sets; engine objects use 16 and up.
constexpr int kPlainObject = 16;
constexpr int kReaderObject = 17;
constexpr int kPageHost = 18;
}  // namespace ScriptKinds

// Nine virtual slots in this order; every slot returns its error code (0 on success) and also
// stores it through err when err is not null.
class ScriptObject {
public:
    virtual ~ScriptObject();
    virtual int Kind();
    virtual int Resolve(int* err, const ScriptName& name, ScriptMemberRef* ref, bool create);
    // Enumerates own members: index 0, 1, ...; 4 past the last.
    virtual int MemberAt(int* err, int index, ScriptMemberRef* ref, ScriptName* name);
    // stack holds argc borrowed argument values; *result receives a value the caller owns.
    virtual int Call(int* err, ScriptMemberRef* ref, int argc, const ScriptValue* stack,
                     ScriptValue* result);
    // value is borrowed (AddRef it to keep it).
    virtual int SetValue(int* err, ScriptMemberRef* ref, ScriptHeap* heap, ScriptValue value);
    virtual int GetValue(int* err, ScriptMemberRef* ref, ScriptHeap* heap, ScriptValue* result);
    // The object as a primitive, for conversions: hint 1 string, 0 number.
    virtual int DefaultValue(int* err, ScriptHeap* heap, int hint, ScriptValue* result);
    // 0: a heap value was made for the object; 1: the last such value is gone.
    virtual void Notify(int event, ScriptHeap* heap);

protected:
    // Stores the code for the caller (when it asked) and returns it: 0 or a ScriptErrors code.
    static int Done(int* err, int code) {
        if (err) *err = code;
        return code;
    }
    // Binds ref to this object's own member code; 0.
    int BindMember(int* err, ScriptMemberRef* ref, std::int32_t code) {
        ref->object = this;
        ref->index = -1;
        ref->code = code;
        return Done(err, 0);
    }
};

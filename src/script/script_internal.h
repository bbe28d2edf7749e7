// Engine-internal value model: what the interpreter and built-ins work with. Hosts never see
// these; they see ScriptValue handles (script/script_value.h).
#pragma once

#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "script/script_value.h"

class ScriptHeap;
class ScriptObject;

namespace scr {

using U16 = std::u16string;

// Longest string or array the engine builds; beyond it an operation fails with out of memory.
constexpr std::size_t kMaxStringUnits = 1u << 24;
constexpr std::size_t kMaxArrayLength = 1u << 22;

struct StrRec {
    std::uint32_t refs = 0;
    U16 text;
    explicit StrRec(U16 t) : text(std::move(t)) {}
};

enum class VT : std::uint8_t { Undef, Null, Bool, Num, Str, Obj, Word };

struct Obj;
void ReleaseObj(Obj* o);

class Val {
public:
    VT t = VT::Undef;
    union {
        double n;
        bool b;
        std::uint32_t w;
        StrRec* s;
        Obj* o;
    };

    Val() : n(0) {}
    static Val Null() {
        Val v;
        v.t = VT::Null;
        return v;
    }
    static Val Bool(bool x) {
        Val v;
        v.t = VT::Bool;
        v.b = x;
        return v;
    }
    static Val Num(double x) {
        Val v;
        v.t = VT::Num;
        v.n = x;
        return v;
    }
    static Val Word(std::uint32_t x) {
        Val v;
        v.t = VT::Word;
        v.w = x;
        return v;
    }
    static Val Str(StrRec* r) {  // takes a new reference
        Val v;
        v.t = VT::Str;
        v.s = r;
        ++r->refs;
        return v;
    }
    static Val Object(Obj* r);  // takes a new reference
    static Val NewStr(U16 text) { return Str(new StrRec(std::move(text))); }

    Val(const Val& o) : t(o.t), n(o.n) { Retain(); }
    Val(Val&& o) noexcept : t(o.t), n(o.n) { o.t = VT::Undef; }
    Val& operator=(const Val& o) {
        if (this != &o) {
            Val tmp(o);
            Swap(tmp);
        }
        return *this;
    }
    Val& operator=(Val&& o) noexcept {
        if (this != &o) {
            Drop();
            t = o.t;
            n = o.n;
            o.t = VT::Undef;
        }
        return *this;
    }
    ~Val() { Drop(); }
    void Swap(Val& o) {
        std::swap(t, o.t);
        std::swap(n, o.n);
    }
    void Clear() {
        Drop();
        t = VT::Undef;
    }

    bool IsUndef() const { return t == VT::Undef; }
    bool IsNullish() const { return t == VT::Undef || t == VT::Null; }
    bool IsNum() const { return t == VT::Num; }
    bool IsStr() const { return t == VT::Str; }
    bool IsObj() const { return t == VT::Obj; }
    const U16& StrText() const { return s->text; }

private:
    void Retain() {
        if (t == VT::Str)
            ++s->refs;
        else if (t == VT::Obj)
            IncObj();
    }
    void Drop() {
        if (t == VT::Str) {
            if (--s->refs == 0) delete s;
        } else if (t == VT::Obj) {
            ReleaseObj(o);
        }
    }
    void IncObj();
};

// Ordered property table keyed by interned name ids.
class PropTable {
public:
    Val* Find(std::uint32_t key);
    // Creates the property (undefined) when missing; null when the table cannot grow.
    Val* Ensure(std::uint32_t key);
    bool Remove(std::uint32_t key);
    void Clear();
    std::size_t Size() const { return items_.size(); }
    std::uint32_t KeyAt(std::size_t i) const { return items_[i].first; }
    Val& ValueAt(std::size_t i) { return items_[i].second; }

private:
    void Reindex();
    std::vector<std::pair<std::uint32_t, Val>> items_;
    std::unique_ptr<std::unordered_map<std::uint32_t, std::uint32_t>> index_;
};

enum class OK : std::uint8_t { Plain, Array, Function, Native, Date, Env, Host, Ref };

struct Obj {
    std::uint32_t refs = 0;
    OK kind;
    ScriptHeap* heap;
    Obj* prevAll = nullptr;
    Obj* nextAll = nullptr;
    PropTable props;

    Obj(OK k, ScriptHeap* h);
    virtual ~Obj();
    // Drops every value the object holds (used to break cycles).
    virtual void ClearRefs() { props.Clear(); }
};

inline Val Val::Object(Obj* r) {
    Val v;
    v.t = VT::Obj;
    v.o = r;
    ++r->refs;
    return v;
}
inline void Val::IncObj() {
    ++o->refs;
}

struct ArrayObj : Obj {
    std::vector<Val> items;
    explicit ArrayObj(ScriptHeap* h) : Obj(OK::Array, h) {}
    void ClearRefs() override {
        Obj::ClearRefs();
        std::vector<Val> tmp;
        tmp.swap(items);
    }
};

struct EnvObj : Obj {
    Val parent;  // the enclosing environment (object) or undefined
    std::vector<Val> slots;
    EnvObj(ScriptHeap* h, std::size_t n) : Obj(OK::Env, h), slots(n) {}
    void ClearRefs() override {
        Obj::ClearRefs();
        parent.Clear();
        std::vector<Val> tmp;
        tmp.swap(slots);
    }
};

struct UnitData;
struct FunctionObj : Obj {
    std::shared_ptr<const UnitData> unit;
    std::uint32_t fn;
    Val env;  // captured environment or undefined
    FunctionObj(ScriptHeap* h, std::shared_ptr<const UnitData> u, std::uint32_t f)
        : Obj(OK::Function, h), unit(std::move(u)), fn(f) {}
    void ClearRefs() override {
        Obj::ClearRefs();
        env.Clear();
    }
};

class Interp;
// A built-in function; `self` is the function object (for data kept in it).
using NativeFn = int (*)(Interp& in, const Val& self, const Val& thisv, int argc, Val* args,
                         Val* out);
struct NativeObj : Obj {
    NativeFn fn;
    std::uint32_t nameKey;
    bool constructor;  // behaves differently when called with new
    NativeObj(ScriptHeap* h, NativeFn f, std::uint32_t key, bool ctor)
        : Obj(OK::Native, h), fn(f), nameKey(key), constructor(ctor) {}
};

struct DateObj : Obj {
    double time;
    DateObj(ScriptHeap* h, double t) : Obj(OK::Date, h), time(t) {}
};

// A native host object as scripts hold it. One per native object; ReplaceObject retargets it.
struct HostObj : Obj {
    ScriptObject* target;
    HostObj(ScriptHeap* h, ScriptObject* t) : Obj(OK::Host, h), target(t) {}
    ~HostObj() override;
};

// Number and string conversions that need no interpreter.
double StringToNumber(const U16& s);
// The number of a value that is not an object; false (nothing written) for an object.
inline bool PrimitiveToNumber(const Val& v, double* out) {
    switch (v.t) {
        case VT::Undef:
            *out = std::nan("");
            return true;
        case VT::Null:
            *out = 0;
            return true;
        case VT::Bool:
            *out = v.b ? 1 : 0;
            return true;
        case VT::Num:
            *out = v.n;
            return true;
        case VT::Word:
            *out = v.w;
            return true;
        case VT::Str:
            *out = StringToNumber(v.s->text);
            return true;
        case VT::Obj:
            break;
    }
    return false;
}

void NumberToString(double d, U16* out);
void AppendAscii(U16* out, const char* s);
U16 Ascii(const char* s);
std::int32_t ToInt32(double d);
std::uint32_t ToUint32(double d);
double ToInteger(double d);
// What `typeof` says of a value.
const char* TypeName(const Val& v);

}  // namespace scr
